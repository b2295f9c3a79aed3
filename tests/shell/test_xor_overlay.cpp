// The drag overlay of the document window: a band drawn when the view's
// picture changes under it stays over the new picture, and a new item's
// outline shows until the page's picture has the item.
#include "mouse_test_support.h"

#include "model/param_shapes.h"
#include "shell/xor_overlay.h"

#include <QApplication>
#include <QMouseEvent>

#include <cstdlib>
#include <functional>
#include <memory>
#include <tuple>

namespace {

struct OverlayTest : MouseFormTest {
    // The view's own picture, without the overlay.
    QImage ViewPicture() const
    {
        QImage Image(W->pboxkClient->size(), QImage::Format_RGB32);
        Image.fill(Qt::white);
        W->pboxkClient->render(&Image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
        return Image;
    }
    TDrawItem* AddShape(const TRect& R)
    {
        auto Shape = std::make_unique<TRectObj>(&Page(), -1);
        Shape->SetFrame(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
        TDrawItem* Item = Shape.get();
        Page().RootGroup().AddChild(std::move(Shape), -1);
        return Item;
    }
    // The pixels where the overlay differs from the view's own picture: on
    // the border of the page rectangle R as the view maps it now (give or
    // take a pixel), and elsewhere.
    std::pair<int, int> Differences(const TRect& R)
    {
        const QImage Clean = ViewPicture();
        const QImage& Shown = W->Overlay()->Image();
        if (Shown.size() != Clean.size())
            return {0, -1};
        const QPoint A = View({R.Left, R.Top});
        const QPoint B = View({R.Right, R.Bottom});
        const auto Near = [](int V, int E) { return std::abs(V - E) <= 1; };
        int Border = 0;
        int Elsewhere = 0;
        for (int Y = 0; Y < Clean.height(); ++Y)
            for (int X = 0; X < Clean.width(); ++X) {
                if (Shown.pixel(X, Y) == Clean.pixel(X, Y))
                    continue;
                const bool Within = X >= A.x() - 1 && X <= B.x() + 1 && Y >= A.y() - 1 && Y <= B.y() + 1;
                const bool OnBorder =
                    Within && (Near(X, A.x()) || Near(X, B.x()) || Near(Y, A.y()) || Near(Y, B.y()));
                ++(OnBorder ? Border : Elsewhere);
            }
        return {Border, Elsewhere};
    }
};

} // namespace

TEST_F(OverlayTest, BandIsDrawnAgainOverTheNewPictureWhenTheViewChangesMidDrag)
{
    // Wireframe: every item's outline is in the picture.
    Page().SetDisplayMode(0);
    // Each change, and whether the view maps the page elsewhere after it.
    const std::tuple<const char*, bool, std::function<void()>> Changes[] = {
        {"page painted anew", false,
         [&] {
             AddShape({30, 30, 70, 60});
             Page().InvalidateRect(nullptr, true);
         }},
        {"view resized", true, [&] { W->SubWindow()->resize(W->SubWindow()->size() + QSize(60, 40)); }},
        // Made smaller than the page with its margins first: only then has
        // the bar a range to scroll.
        {"view scrolled", true,
         [&] {
             Resize(W, 200, 160);
             W->ScrollBarH->setValue(W->ScrollBarH->value() + 7);
         }},
    };
    for (const auto& [Name, Remaps, Change] : Changes) {
        SCOPED_TRACE(Name);
        Page().SetMouseModeCommand(0, 4);
        QApplication::processEvents();
        Press({10, 10});
        Send(QEvent::MouseMove, {100, 90}, Qt::LeftButton);
        ASSERT_TRUE(W->Overlay()->Active());
        const QPoint Was = View({10, 10});
        Change();
        QApplication::processEvents();
        EXPECT_EQ(View({10, 10}) != Was, Remaps);
        // The band where the view maps it now, and nothing else.
        const auto [Band, Elsewhere] = Differences({10, 10, 100, 90});
        EXPECT_GT(Band, 0);
        EXPECT_EQ(Elsewhere, 0);
        const QImage Shown = W->Overlay()->Image();
        // The next steps erase it where it is drawn.
        Send(QEvent::MouseMove, {120, 100}, Qt::LeftButton);
        Send(QEvent::MouseMove, {100, 90}, Qt::LeftButton);
        EXPECT_EQ(W->Overlay()->Image(), Shown);
        Release({100, 90});
        EXPECT_FALSE(W->Overlay()->Active());
    }
}

TEST_F(OverlayTest, EachDragDrawsItsOutlineAgainAfterAScroll)
{
    Page().SetDisplayMode(0);
    struct Row {
        const char* Name;
        uint8_t Mode, Poly;
        TPoint From, To;
        TRect Outline;  // in page pixels
    };
    const Row Rows[] = {
        {"rectangle tool", 15, 4, {20, 20}, {90, 70}, {20, 20, 90, 70}},
        {"move", 0, 4, {50, 45}, {56, 51}, {46, 46, 126, 106}},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(R.Name);
        Sel().ClearSelection();
        if (R.Mode == 0)
            Sel().AddItem(AddShape({40, 40, 120, 100}));
        Page().SetMouseModeCommand(R.Mode, R.Poly);
        W->ScrollBarH->setValue(W->ScrollBarH->minimum());
        QApplication::processEvents();
        Press(R.From);
        Send(QEvent::MouseMove, R.To, Qt::LeftButton);
        ASSERT_TRUE(W->Overlay()->Active());
        W->ScrollBarH->setValue(W->ScrollBarH->value() + 3);
        QApplication::processEvents();
        const auto [Outline, Elsewhere] = Differences(R.Outline);
        EXPECT_GT(Outline, 100);
        EXPECT_EQ(Elsewhere, 0);
        Send(QEvent::MouseMove, {R.To.X + 9, R.To.Y + 7}, Qt::LeftButton);
        Send(QEvent::MouseMove, R.To, Qt::LeftButton);
        EXPECT_EQ(Differences(R.Outline), std::make_pair(Outline, 0));
        Release(R.From);
    }
}

TEST_F(OverlayTest, NewItemOutlineShowsUntilThePageHasTheItem)
{
    Page().SetMouseModeCommand(15, 4);
    QApplication::processEvents();
    Drag({40, 40}, {120, 100});
    ASSERT_EQ(Page().RootGroup().GetCount(), 1);
    // Before the page renders, the outline is there for the view to show.
    EXPECT_TRUE(W->NewItemOutlineShown());
    // A paint with the page rendered has the item: the outline goes.
    ViewPicture();
    EXPECT_FALSE(W->NewItemOutlineShown());
}

TEST_F(OverlayTest, NewItemOutlineIsPaintedWhileALongRenderWaits)
{
    W = Open(2400, 2000);
    if (W->SnapObj())
        W->actSnapObjExecute();
    TrecGrid G = Page().Grid();
    G.SnapGrid = 0;
    Page().SetGridOption(G);
    Page().SetMouseModeCommand(15, 4);
    W->SetViewOrigin(-20, -20);
    Page().Update();
    QApplication::processEvents();
    const QImage Before = ViewPicture();
    // A rectangle of more than four million pixels: its rendering waits.
    Drag({5, 5}, {2300, 1900});
    ASSERT_EQ(Page().RootGroup().GetCount(), 1);
    const QImage After = ViewPicture();
    ASSERT_EQ(After.size(), Before.size());
    const QPoint C = View({5, 5});
    // What changed lies along the two edges in the view (and the selection
    // handles on them).
    int Outline = 0;
    int Elsewhere = 0;
    for (int Y = 0; Y < After.height(); ++Y)
        for (int X = 0; X < After.width(); ++X)
            if (After.pixel(X, Y) != Before.pixel(X, Y))
                ++((std::abs(X - C.x()) <= 3 || std::abs(Y - C.y()) <= 3) ? Outline : Elsewhere);
    EXPECT_GT(Outline, 100);
    EXPECT_EQ(Elsewhere, 0);
    EXPECT_TRUE(W->NewItemOutlineShown());
    // Undone before its picture is made: no outline of it stays.
    W->actUndoExecute();
    EXPECT_FALSE(W->NewItemOutlineShown());
}

TEST_F(OverlayTest, MoveOutlineIsTheSelectionMovedAndDrawingItAgainErasesIt)
{
    Page().SetMouseModeCommand(15, 4);
    Drag({40, 40}, {120, 100});
    Page().SetMouseModeCommand(0, 4);
    // Whole view pixels per page pixel, and half ones.
    for (int32_t Zoom : {100, 150}) {
        SCOPED_TRACE(Zoom);
        W->SetZoom(Zoom);
        W->SetViewOrigin(0, 0);
        QApplication::processEvents();
        Press({50, 45});
        Send(QEvent::MouseMove, {56, 51}, Qt::LeftButton);
        ASSERT_TRUE(W->Overlay()->Active());
        const QImage Base = ViewPicture();
        const QImage Shown = W->Overlay()->Image();
        QRect Changed;
        for (int Y = 0; Y < Base.height(); ++Y)
            for (int X = 0; X < Base.width(); ++X)
                if (Shown.pixel(X, Y) != Base.pixel(X, Y))
                    Changed |= QRect(X, Y, 1, 1);
        // The rectangle's outline moved by (6, 6).
        const QRect Expected(View({46, 46}), View({126, 106}));
        EXPECT_LE(std::abs(Changed.left() - Expected.left()), 1);
        EXPECT_LE(std::abs(Changed.top() - Expected.top()), 1);
        EXPECT_LE(std::abs(Changed.right() - Expected.right()), 1);
        EXPECT_LE(std::abs(Changed.bottom() - Expected.bottom()), 1);
        Send(QEvent::MouseMove, {63, 58}, Qt::LeftButton);
        EXPECT_NE(W->Overlay()->Image(), Shown);
        Send(QEvent::MouseMove, {56, 51}, Qt::LeftButton);
        EXPECT_EQ(W->Overlay()->Image(), Shown);
        Release({50, 45});
        EXPECT_FALSE(H->CanUndo() && H->UndoCaption() == "選択図形の移動");
    }
}
