// The document window's copy of the part of the page it shows, and the
// window at the edges of what a page may be: pages far wider than any image
// the screen can hold, sides at the largest int32_t, painting that must not
// paint other windows from inside itself, and a modal dialog in front.
#include "child_test_support.h"

#include "model/draw_progress.h"
#include "shell/ruler.h"

#include <QFileDialog>
#include <QImage>
#include <QScreen>
#include <QTimer>

#include <climits>

namespace {

uint32_t Shown(TfrmChild* W, const TPoint& Page)
{
    const TPoint V = W->DocToView(Page);
    return W->pboxkClient->grab().toImage().pixel(V.X, V.Y) & 0xFFFFFF;
}

// A page whose own size is set past what the reader and SetPageSize allow,
// over a small picture: the view's arithmetic must still hold.
class TOutsizePage : public TPage {
public:
    TOutsizePage(THistoryCommand* History, int32_t Width, int32_t Height) : TPage(History)
    {
        SetPageSize(40, 30);
        FiWidth = Width;
        FiHeight = Height;
    }
};

// Records whether the page's rendering reached the status bar while the
// view was painting.
class TPaintingPanel : public TDrawProgressPanel {
public:
    explicit TPaintingPanel(QWidget& View) : FView(View) {}
    std::string GetText() const override { return Note(), ""; }
    void SetText(const std::string&) override
    {
        Note();
        const QCursor* C = QApplication::overrideCursor();
        Cursor = C ? C->shape() : Qt::ArrowCursor;
    }
    mutable Qt::CursorShape Cursor = Qt::ArrowCursor;
    void ShowProgress(const TrecDrawProgress&) override
    {
        Note();
        ++Shown;
    }
    mutable int Shown = 0;
    mutable int Calls = 0;
    mutable int CallsWhilePainting = 0;

private:
    void Note() const
    {
        ++Calls;
        CallsWhilePainting += FView.testAttribute(Qt::WA_WState_InPaintEvent);
    }
    QWidget& FView;
};

} // namespace

TEST_F(ChildFormTest, AWideStripShowsItsFarEnd)
{
    // Wider than any 32-bit image may be: the view converts only what it shows.
    constexpr int32_t Width = 67200000;
    TfrmChild* W = Open(Width, 1);
    TPage& P = PageOf(W);
    P.Update();
    for (int32_t X = Width - 400; X < Width; ++X)
        SetPagePixel(P, X, 0, X % 2 ? 0x00FF00 : 0x0000FF);
    W->InvalidatePageRect(nullptr);
    // The page point looked at, the view centred on the page's end.
    const struct {
        int32_t Zoom;
        int32_t X;
        uint32_t Colour;
    } Cases[] = {{100, Width - 1, 0x00FF00}, {800, Width - 2, 0x0000FF}};
    for (const auto& C : Cases) {
        W->SetZoom(C.Zoom);
        W->SetViewOrigin(Width - W->pboxkClient->width() * 50 / C.Zoom, 0);
        EXPECT_EQ(Shown(W, {C.X, 0}), C.Colour) << C.Zoom;
        EXPECT_EQ(Shown(W, {C.X, 5}), 0u) << C.Zoom;  // its shadow
    }
}

TEST_F(ChildFormTest, APartlyRenewedViewCopyMatchesOneMadeWhole)
{
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    const struct {
        int32_t Zoom;
        bool Smooth;
    } Cases[] = {{100, false}, {300, false}, {50, false}, {33, true}};
    uint32_t Colour = 0x123456;
    for (const auto& C : Cases) {
        Frame.Smooth = C.Smooth;
        W->SetZoom(C.Zoom);
        const QImage Before = W->pboxkClient->grab().toImage();
        // New pixels in a small area, reported as such.
        Colour += 0x302010;
        const TRect R{61, 40, 77, 52};
        for (int32_t Y = R.Top; Y <= R.Bottom; ++Y)
            for (int32_t X = R.Left; X <= R.Right; ++X)
                SetPagePixel(P, X, Y, (X + Y) % 3 ? Colour : 0xFFFFFF);
        W->InvalidatePageRect(&R);
        const QImage Part = W->pboxkClient->grab().toImage();
        W->InvalidatePageRect(nullptr);
        EXPECT_EQ(Part, W->pboxkClient->grab().toImage()) << C.Zoom;
        EXPECT_NE(Part, Before) << C.Zoom;
    }
}

TEST_F(ChildFormTest, PageRendersInsideAPaintWithoutRepaintingTheStatusBar)
{
    TfrmChild* W = Open(200, 150);
    TPaintingPanel Panel(*W->pboxkClient);
    SetProgressStatusPanel(&Panel);
    PageOf(W).InvalidateRect(nullptr, true);
    W->pboxkClient->repaint();
    SetProgressStatusPanel(nullptr);
    EXPECT_EQ(Panel.CallsWhilePainting, 0);
    // Outside a paint the rendering reports as before.
    PageOf(W).InvalidateRect(nullptr, false);
    SetProgressStatusPanel(&Panel);
    PageOf(W).Update();
    SetProgressStatusPanel(nullptr);
    EXPECT_GT(Panel.Calls, 0);
}

TEST_F(ChildFormTest, AChangedPageIsRenderedBeforeItsPaintWhereTheProgressCanShow)
{
    TfrmChild* W = Open(200, 150);
    W->show();
    QCoreApplication::processEvents();
    TPaintingPanel Panel(*W->pboxkClient);
    SetProgressStatusPanel(&Panel);
    SetPagePixel(PageOf(W), 10, 10, 0x123456);
    PageOf(W).InvalidateRect(nullptr, true);
    // The queued rendering comes before the view's update.
    QCoreApplication::sendPostedEvents(W, QEvent::MetaCall);
    SetProgressStatusPanel(nullptr);
    EXPECT_GT(Panel.Calls, 0);
    EXPECT_EQ(Panel.CallsWhilePainting, 0);
    EXPECT_EQ(PagePixel(PageOf(W), 10, 10), 0xFFFFFFu);  // rendered anew: white page
    EXPECT_EQ(Panel.Cursor, Qt::ArrowCursor);

    // A large page renders under the wait cursor, given back afterwards.
    TfrmChild* Large = Open(2000, 2000);
    Large->show();
    QCoreApplication::processEvents();
    SetProgressStatusPanel(&Panel);
    PageOf(Large).InvalidateRect(nullptr, true);
    QCoreApplication::sendPostedEvents(Large, QEvent::MetaCall);
    SetProgressStatusPanel(nullptr);
    EXPECT_EQ(Panel.Cursor, Qt::WaitCursor);
    EXPECT_EQ(Panel.Shown, 1);  // the bar from the start, not only after the first item
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ChildFormTest, SidesOfTheLargestInt32ScrollWithoutOverflow)
{
    std::unique_ptr<TOLEDocumentWex> Doc = gDocuments->DocumentClass()(nullptr, gDocuments.get());
    Doc->AddPage(std::make_unique<TOutsizePage>(Doc->History(), INT32_MAX, INT32_MAX));
    TOLEDocumentWex* D = gDocuments->AddDocument(std::move(Doc));
    TfrmChild* W = CreateChildForm(*Area, *D, Frame);
    Frame.Window = W;
    Resize(W, 420, 320);
    const int32_t Margin = INT32_MAX / 10;
    for (int32_t Zoom : {1, 100, 1600}) {
        W->SetZoom(Zoom);
        for (TScrollBarWex* Bar : {W->ScrollBarH, W->ScrollBarV}) {
            EXPECT_TRUE(Bar->isVisible() && Bar->isEnabled()) << Zoom;
            EXPECT_GT(Bar->maximum(), INT32_MAX / 2) << Zoom;
        }
        W->SetViewOrigin(INT32_MIN, INT32_MIN);
        EXPECT_EQ(W->ViewOrigin(), (TPoint{-Margin, -Margin})) << Zoom;
        EXPECT_EQ(W->ScrollBarH->value(), 0);
        W->SetViewOrigin(INT32_MAX, INT32_MAX);
        EXPECT_EQ(W->ScrollBarV->value(), W->ScrollBarV->maximum());
        EXPECT_GT(W->ViewOrigin().Y, INT32_MAX / 2) << Zoom;
        // Far page points saturate instead of wrapping round.
        EXPECT_EQ(W->DocToView({INT32_MIN, INT32_MIN}).X, Zoom == 1 ? -42949672 : INT32_MIN) << Zoom;
        EXPECT_EQ(W->DocToView(W->ViewOrigin()), (TPoint{0, 0})) << Zoom;
        EXPECT_EQ(W->ViewToDoc({0, 0}), W->ViewOrigin()) << Zoom;
        W->pboxkClient->grab();
        W->pboxRulerH->grab();
    }
    EXPECT_EQ(DocToViewCoord(INT32_MAX, INT32_MIN, 1600), INT32_MAX);
    EXPECT_EQ(DocToViewCoord(INT32_MIN, INT32_MAX, 1600), INT32_MIN);
    EXPECT_EQ(ViewToDocCoord(INT32_MAX, INT32_MAX, 1), INT32_MAX);
    EXPECT_EQ(ViewToDocCoord(INT32_MIN, INT32_MIN, 1), INT32_MIN);
}

TEST_F(ChildFormTest, PageKeepsPaintingBehindAModalFileDialog)
{
    TfrmChild* W = Open(200, 150);
    PageOf(W).SetBkColor(0x0000FF);
    PageOf(W).InvalidateRect(nullptr, true);
    Settle();
    const QPoint Centre = W->pboxkClient->mapTo(Area.get(), QPoint(W->DocToView({100, 75}).X, W->DocToView({100, 75}).Y));
    // What the window itself shows on the screen, not a fresh rendering.
    auto OnScreen = [&] {
        return QGuiApplication::primaryScreen()->grabWindow(Area->winId()).toImage().pixel(Centre) & 0xFFFFFF;
    };
    ASSERT_EQ(OnScreen(), 0xFF0000u);
    QFileDialog Dialog(Area.get());
    Dialog.setOption(QFileDialog::DontUseNativeDialog);
    uint32_t During = 0;
    bool Blocked = false;
    QTimer::singleShot(0, &Dialog, [&] {
        Blocked = QApplication::activeModalWidget() == &Dialog;
        // The whole window painted anew while the dialog is up, as its
        // deactivation and any exposure do.
        Area->repaint();
        // And a change of the page meanwhile shows.
        PageOf(W).SetBkColor(0x00FF00);
        PageOf(W).InvalidateRect(nullptr, true);
        W->pboxkClient->repaint();
        During = OnScreen();
        Dialog.reject();
    });
    Dialog.exec();
    EXPECT_TRUE(Blocked);
    EXPECT_EQ(During, 0x00FF00u);
}
