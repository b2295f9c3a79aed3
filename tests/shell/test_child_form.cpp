// The document window: layout, scrolling, zoom, painting of the page
// picture, rulers and grid, and the commands it carries.
#include "child_test_support.h"

#include "foundation/user_error.h"
#include "model/draw_test_doubles.h"
#include "model/bitmap_trace.h"
#include "platform/message_box.h"
#include "platform/qt/qt_services.h"

#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPainter>

namespace {

uint32_t Rgb(const QImage& I, int X, int Y)
{
    return I.pixel(X, Y) & 0xFFFFFF;
}

// Every page pixel its own colour: red x, green y.
void FillPattern(TOLECustomPage& P)
{
    P.Update();
    for (int32_t Y = 0; Y < P.Height(); ++Y)
        for (int32_t X = 0; X < P.Width(); ++X)
            SetPagePixel(P, X, Y, (uint32_t(X) << 16) | (uint32_t(Y) << 8) | 0x55);
}

} // namespace

TEST(CascadedWindowPlace, StepsDownTheAreaAndStartsOverAtItsCorner)
{
    struct TCase {
        QSize Wanted;
        QSize Area;
        int32_t Index;
        QRect Place;
    };
    const TCase Cases[] = {
        {{300, 200}, {1000, 800}, 0, {0, 0, 300, 200}},
        {{300, 200}, {1000, 800}, 2, {48, 48, 300, 200}},
        // Room for 600 / 24 + 1 = 26 places: the 27th is the corner again.
        {{300, 200}, {1000, 800}, 26, {0, 0, 300, 200}},
        {{300, 200}, {1000, 800}, 27, {24, 24, 300, 200}},
        // A page larger than the area: the area's size, at the corner.
        {{3000, 500}, {1000, 800}, 3, {0, 0, 1000, 500}},
        {{3000, 900}, {1000, 800}, 1, {0, 0, 1000, 800}},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(CascadedWindowPlace(C.Wanted, C.Area, C.Index, 24), C.Place) << C.Index;
}

TEST_F(ChildFormTest, SmallPageIsCentredWithBothBarsDisabled)
{
    TfrmChild* W = Open(100, 80);
    // Rulers 16, border 2 on each side: a view of 400 x 300.
    ASSERT_EQ(W->pboxkClient->geometry(), QRect(18, 18, 400, 300));
    EXPECT_EQ(W->ViewOrigin().X, -150); // -((400 - 100) div 2)
    EXPECT_EQ(W->ViewOrigin().Y, -110); // -((300 - 80) div 2)
    EXPECT_EQ(W->DocToView({0, 0}).X, 150);
    for (TScrollBarWex* Bar : {W->ScrollBarH, W->ScrollBarV}) {
        EXPECT_FALSE(Bar->isEnabled());
        EXPECT_TRUE(Bar->isHidden());
    }
    // Without rulers the view takes their place.
    Frame.Ruler = false;
    W->FormResize();
    EXPECT_EQ(W->pboxkClient->geometry(), QRect(2, 2, 416, 316));
    EXPECT_TRUE(W->pboxRulerH->isHidden());
    EXPECT_TRUE(W->imgRulerHead->isHidden());
    EXPECT_EQ(W->ViewOrigin().X, -158);
}

TEST_F(ChildFormTest, ScrollRangesZoomAroundTheCentreAndScrolling)
{
    const int32_t E = BarExtent();
    // The client leaves a view of 400 x 300 beside both bars.
    TfrmChild* W = Open(1000, 800, 420 + E, 320 + E);
    ASSERT_EQ(W->pboxkClient->size(), QSize(400, 300));
    W->SetViewOrigin(300, 250); // centred: ((1000 - 400) div 2, (800 - 300) div 2)
    struct Expect {
        int32_t Zoom, OX, OY, PosH, MaxH, PageH, LargeH, SmallH, PosV, MaxV;
    };
    // Margin m = page div 10, bar range 0..page + 2m - view, position
    // origin + m.
    // Each zoom keeps the page point (500, 400) at the view's centre.
    const Expect Steps[] = {
        {100, 300, 250, 400, 800, 400, 320, 80, 330, 660},
        {200, 400, 325, 500, 1000, 200, 160, 40, 405, 810},
        {100, 300, 250, 400, 800, 400, 320, 80, 330, 660},
        {50, 100, 100, 200, 400, 800, 640, 160, 180, 360},
    };
    Frame.Shown.clear();
    for (const Expect& S : Steps) {
        SCOPED_TRACE(S.Zoom);
        W->SetZoom(S.Zoom);
        EXPECT_EQ(W->GetZoomPercent(), S.Zoom);
        EXPECT_EQ(W->ViewOrigin().X, S.OX);
        EXPECT_EQ(W->ViewOrigin().Y, S.OY);
        EXPECT_TRUE(W->ScrollBarH->isEnabled());
        EXPECT_EQ(W->ScrollBarH->value(), S.PosH);
        EXPECT_EQ(W->ScrollBarH->maximum(), S.MaxH);
        EXPECT_EQ(W->ScrollBarH->Page(), uint32_t(S.PageH));
        EXPECT_EQ(W->ScrollBarH->property("LargeChange").toInt(), S.LargeH);
        EXPECT_EQ(W->ScrollBarH->singleStep(), S.SmallH);
        EXPECT_EQ(W->ScrollBarV->value(), S.PosV);
        EXPECT_EQ(W->ScrollBarV->maximum(), S.MaxV);
    }
    EXPECT_EQ(Frame.Shown, (std::vector<int32_t>{200, 100, 50}));
    W->SetZoom(2000); // out of range: nothing
    EXPECT_EQ(W->GetZoomPercent(), 50);

    // The bars move the origin: position 0 shows the margin left of the page.
    W->SetZoom(100);
    W->ScrollBarH->setValue(0);
    EXPECT_EQ(W->ViewOrigin().X, -100);
    W->ScrollBarV->setValue(660);
    EXPECT_EQ(W->ViewOrigin().Y, 580);
    // A click beside the thumb moves by the large change, not by the page.
    W->ScrollBarH->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(W->ScrollBarH->value(), 320);
    EXPECT_EQ(W->ViewOrigin().X, 220);
}

TEST_F(ChildFormTest, PaintsThePagePictureItsBackgroundAndTheGrid)
{
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    P.SetShowGrid(1); // the default grid: a dot every 10 pixels from (0, 0)
    FillPattern(P);
    W->InvalidatePageRect(nullptr);
    const QImage G = W->pboxkClient->grab().toImage();
    ASSERT_EQ(W->ViewOrigin().X, -100);
    ASSERT_EQ(W->ViewOrigin().Y, -75);
    int Wrong = 0;
    for (int32_t Y = 0; Y < 150; ++Y)
        for (int32_t X = 0; X < 200; ++X) {
            const uint32_t Dot = X % 10 == 0 && Y % 10 == 0 ? 0xFFFFFF : 0;
            Wrong += Rgb(G, X + 100, Y + 75) != (PagePixel(P, X, Y) ^ Dot);
        }
    EXPECT_EQ(Wrong, 0);
    // Grey round the page; its shadow black, 10 pixels wide from (10, 10).
    const std::pair<TPoint, uint32_t> Around[] = {
        {{-1, 20}, 0x808080}, {{20, -1}, 0x808080}, {{205, 5}, 0x808080},  {{205, 10}, 0},
        {{209, 159}, 0},      {{5, 155}, 0x808080}, {{10, 155}, 0},        {{210, 20}, 0x808080},
        {{20, 160}, 0x808080}};
    for (const auto& [Pt, Colour] : Around)
        EXPECT_EQ(Rgb(G, Pt.X + 100, Pt.Y + 75), Colour) << Pt.X << "," << Pt.Y;

    // At 200 % every page pixel is a 2 x 2 square.
    P.SetShowGrid(0);
    FillPattern(P);
    W->InvalidatePageRect(nullptr);
    W->SetZoom(200);
    const QImage G2 = W->pboxkClient->grab().toImage();
    const TPoint O = W->ViewOrigin();
    Wrong = 0;
    int Seen = 0;
    for (int32_t VY = 0; VY < G2.height(); ++VY)
        for (int32_t VX = 0; VX < G2.width(); ++VX) {
            const int32_t X = O.X + VX / 2;
            const int32_t Y = O.Y + VY / 2;
            if (X < 0 || Y < 0 || X >= 200 || Y >= 150)
                continue;
            ++Seen;
            Wrong += Rgb(G2, VX, VY) != PagePixel(P, X, Y);
        }
    EXPECT_GT(Seen, 90000);
    EXPECT_EQ(Wrong, 0);

    // At 50 % each view pixel shows one of the four page pixels it covers.
    W->SetZoom(50);
    auto Covered = [&](const QImage& I, int32_t VX, int32_t VY) {
        const TPoint D{W->ViewOrigin().X + 2 * VX, W->ViewOrigin().Y + 2 * VY};
        for (int32_t J = 0; J < 2; ++J)
            for (int32_t I2 = 0; I2 < 2; ++I2)
                if (Rgb(I, VX, VY) == PagePixel(P, D.X + I2, D.Y + J))
                    return true;
        return false;
    };
    const TPoint V0 = W->DocToView({0, 0});
    const QImage G3 = W->pboxkClient->grab().toImage();
    Wrong = 0;
    for (int32_t VY = V0.Y; VY < V0.Y + 75; ++VY)
        for (int32_t VX = V0.X; VX < V0.X + 100; ++VX)
            Wrong += !Covered(G3, VX, VY);
    EXPECT_EQ(Wrong, 0);
    // A checkerboard of single pixels stays black and white, unless the
    // smoothing flag mixes it to grey.
    for (int32_t Y = 0; Y < 150; ++Y)
        for (int32_t X = 0; X < 200; ++X)
            SetPagePixel(P, X, Y, (X + Y) % 2 ? 0xFFFFFF : 0);
    W->InvalidatePageRect(nullptr);
    auto Greys = [&] {
        const QImage I = W->pboxkClient->grab().toImage();
        int N = 0;
        for (int32_t VY = V0.Y + 1; VY < V0.Y + 74; ++VY)
            for (int32_t VX = V0.X + 1; VX < V0.X + 99; ++VX)
                N += Rgb(I, VX, VY) != 0 && Rgb(I, VX, VY) != 0xFFFFFF;
        return N;
    };
    EXPECT_EQ(Greys(), 0);
    Frame.Smooth = true;
    EXPECT_EQ(Greys(), 73 * 98);
}

TEST_F(ChildFormTest, OnlyWhatThePageRendersAnewIsTakenIntoTheView)
{
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    auto Shown = [&](TPoint Pt) {
        const TPoint V = W->DocToView(Pt);
        return Rgb(W->pboxkClient->grab().toImage(), V.X, V.Y);
    };
    EXPECT_EQ(Shown({30, 30}), 0xFFFFFFu);
    P.SetBkColor(0x0000FF); // red; the page renders only the area it is told
    const TRect R{20, 20, 59, 39};
    P.InvalidateRect(&R, true);
    EXPECT_EQ(Shown({20, 20}), 0xFF0000u);
    EXPECT_EQ(Shown({59, 39}), 0xFF0000u);
    EXPECT_EQ(Shown({60, 39}), 0xFFFFFFu);
    EXPECT_EQ(Shown({19, 20}), 0xFFFFFFu);
    P.InvalidateRect(nullptr, true);
    EXPECT_EQ(Shown({199, 149}), 0xFF0000u);
}

// An object whose paint macro fails is reported once, after the paint, not
// by a box at every repaint of the window.
TEST_F(ChildFormTest, AnObjectThatFailsToPaintIsReportedOnce)
{
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    std::vector<std::string> Boxes;
    const TMessageBoxHandler Old =
        SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
    auto Leaf = std::make_unique<TTestLeaf>(&P, -1);
    Leaf->X = 20;
    Leaf->Y = 20;
    Leaf->FailOnPaint = "GetGaussKernelSize: Radius Too Large";
    auto* L = static_cast<TTestLeaf*>(P.RootGroup().AddChild(std::move(Leaf), -1));
    L->CalcExtentsAndInvalidate();
    for (int I = 0; I < 2; ++I) {
        W->pboxkClient->grab();
        W->pboxkClient->repaint();
        QApplication::processEvents();
    }
    SetMessageBoxHandler(Old);
    EXPECT_EQ(L->Painted, 1);
    EXPECT_EQ(Boxes, std::vector<std::string>{"GetGaussKernelSize: Radius Too Large"});
}

TEST_F(ChildFormTest, RulersAndHeadFollowTheRulerUnitNotThePageSetupUnit)
{
    TfrmChild* W = Open(400, 300);
    TPage& P = PageOf(W);
    P.SetUnit(RulerUnitCm);
    P.SetRulerUnit(RulerUnitPixel);
    W->UpdateRulerHead();
    EXPECT_EQ(W->RulerUnit(), RulerUnitPixel);
    EXPECT_EQ(W->imgRulerHead->pixmap().toImage(), RulerHeadPixmap(RulerUnitPixel).toImage());
    EXPECT_EQ(W->GetRulerStep().UnitStep, 20);
    // The options' ruler unit reaches the head through the page.
    P.SetRulerUnit(RulerUnitPoint);
    EXPECT_EQ(W->imgRulerHead->pixmap().toImage(), RulerHeadPixmap(RulerUnitPoint).toImage());
    EXPECT_EQ(W->GetRulerStep().UnitStep, 20);
    EXPECT_EQ(P.Unit(), RulerUnitCm);
    // The mouse-position line inverts a column to yellow's complement; drawn
    // again at the same place it goes.
    const QImage Before = W->pboxRulerH->grab().toImage();
    W->DrawRulerCursorH(57);
    const QImage With = W->pboxRulerH->grab().toImage();
    for (int32_t Y : {0, 7, 14})
        EXPECT_EQ(Rgb(With, 57, Y), Rgb(Before, 57, Y) ^ 0xFFFF00) << Y;
    EXPECT_EQ(Rgb(With, 58, 7), Rgb(Before, 58, 7));
    W->DrawRulerCursorH(57);
    EXPECT_EQ(W->pboxRulerH->grab().toImage(), Before);
}

// A page always has a resolution (the ruler's and grid's answer to none is
// tested on their own): no resolution is refused, and lengths keep their ticks.
TEST_F(ChildFormTest, APageRefusesNoResolutionAndItsLengthsKeepTheirTicks)
{
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    EXPECT_THROW(P.SetDPI(0), EUserError);
    EXPECT_EQ(P.DPI(), 72);
    P.SetRulerUnit(RulerUnitCm);
    const QImage Ruler = W->pboxRulerH->grab().toImage();
    int Ink = 0;
    for (int32_t Y = 0; Y < 15; ++Y)
        for (int32_t X = 0; X < Ruler.width(); ++X)
            Ink += Rgb(Ruler, X, Y) != 0xFFFFFF;
    EXPECT_GT(Ink, 0);
}

TEST_F(ChildFormTest, HandlesOfTheSelectionAreDrawn)
{
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    P.RootGroup().AddChild(std::make_unique<TTestShape>(&P, -1), -1); // (10, 10)-(50, 30)
    W->actSelAllExecute();
    ASSERT_EQ(dynamic_cast<TSelectedObjects*>(P.Selection())->Count(), 1);
    EXPECT_TRUE(PageOf(W).HistoryCommand()->CanUndo());
    const QImage G = W->pboxkClient->grab().toImage();
    // A 7 x 7 handle centred on each corner: black with a white rim.
    for (TPoint Corner : {TPoint{10, 10}, TPoint{50, 30}}) {
        const TPoint V = W->DocToView(Corner);
        EXPECT_EQ(Rgb(G, V.X, V.Y), 0u);
        EXPECT_EQ(Rgb(G, V.X - 3, V.Y - 3), 0xFFFFFFu);
        EXPECT_EQ(Rgb(G, V.X + 3, V.Y), 0xFFFFFFu);
    }
}

TEST_F(ChildFormTest, ZoomDisplayModeGridAndMenuCommands)
{
    TfrmChild* W = Open(400, 300);
    struct Zoom {
        int32_t From;
        bool In;
        int32_t To;
    };
    // Doubling up to 800, halving down to 20; the frame's zoom routine sets it.
    for (const Zoom& Z : {Zoom{800, true, 1600}, Zoom{1000, true, 1000}, Zoom{15, false, 15}, Zoom{25, false, 12}}) {
        W->SetZoom(Z.From);
        Z.In ? W->actZoomInExecute() : W->actZoomOutExecute();
        EXPECT_EQ(W->GetZoomPercent(), Z.To) << Z.From;
    }

    TPage& P = PageOf(W);
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    QAction* High = Frame.Actions[FrameCommand::actDispHigh];
    QAction* Wire = Frame.Actions[FrameCommand::actDispWire];
    W->actDispModeExecute(High); // already the page's mode: no step
    EXPECT_FALSE(H.CanUndo());
    W->actDispModeExecute(Wire);
    EXPECT_EQ(P.DisplayMode(), 0);
    EXPECT_TRUE(Wire->isChecked());
    EXPECT_TRUE(Frame.Actions[FrameCommand::actUndo]->isEnabled());
    H.Undo();
    EXPECT_EQ(P.DisplayMode(), 3);

    const uint8_t Shown = P.Grid().ShowGrid;
    W->actShowGridExecute();
    EXPECT_EQ(P.Grid().ShowGrid, !Shown);
    EXPECT_EQ(Frame.Actions[FrameCommand::actShowGrid]->isChecked(), !Shown);
    W->actSnapObjExecute();
    EXPECT_EQ(Frame.Actions[FrameCommand::actSnapObj]->isChecked(), W->SnapObj());

    W->BuildPopupMenu(0);
    const QList<QAction*> Items = W->PopupMenu->actions();
    ASSERT_EQ(Items.size(), 5);
    EXPECT_EQ(Items[0], Frame.Actions[FrameCommand::actShowGrid]);
    EXPECT_EQ(Items[2], Frame.Actions[FrameCommand::actSnapObj]);
    EXPECT_TRUE(Items[3]->isSeparator());
    EXPECT_EQ(Items[4], Frame.Actions[FrameCommand::actPaste]);
    W->BuildPopupMenu(2);
    EXPECT_EQ(W->PopupMenu->actions().size(), 16);

    try {
        W->GetDocWinControl();
        ADD_FAILURE();
    } catch (const EUserError& E) {
        EXPECT_EQ(E.Message(), "GetDocWinControl");
    }
}

TEST_F(ChildFormTest, DragRectangleByModifierKeys)
{
    TfrmChild* W = Open(100, 100);
    TShiftState Keys = 0;
    const TShiftStateReader Old = SetShiftStateReader([&] { return Keys; });
    const std::pair<TShiftState, TRect> Cases[] = {
        {0, {10, 10, 30, 15}},
        {ssShift, {10, 10, 30, 30}},
        {ssAlt, {-10, 5, 30, 15}},
        {ssShift | ssAlt, {-10, -10, 30, 30}},
    };
    for (const auto& [State, R] : Cases) {
        Keys = State;
        const TRect D = W->GetDragRect({10, 10}, {30, 15});
        EXPECT_EQ((std::vector<int32_t>{D.Left, D.Top, D.Right, D.Bottom}),
                  (std::vector<int32_t>{R.Left, R.Top, R.Right, R.Bottom}))
            << int(State);
    }
    Keys = ssShift;
    const TRect Up = W->GetDragRect({10, 10}, {0, 5}); // towards the top left
    EXPECT_EQ((std::vector<int32_t>{Up.Left, Up.Top, Up.Right, Up.Bottom}), (std::vector<int32_t>{0, 0, 10, 10}));
    SetShiftStateReader(Old);
}

TEST_F(ChildFormTest, WindowAndDocumentGoTogetherAndMaximisedIsRemembered)
{
    // A new window opens maximised when the setting says so, the page
    // centred in it.
    AppIniFile().WriteInteger(MaxFrmChildSection, MaxFrmChildKey, 1);
    TfrmChild* Big = Open(3000, 2000, 0, 0);
    EXPECT_TRUE(Big->SubWindow()->isMaximized());
    const QSize V = Big->pboxkClient->size();
    EXPECT_LE(std::abs(2 * Big->ViewOrigin().X + V.width() - 3000), 1);
    EXPECT_LE(std::abs(2 * Big->ViewOrigin().Y + V.height() - 2000), 1);
    Big->actCloseExecute();
    Settle();

    TfrmChild* W = Open(100, 100);
    EXPECT_EQ(W->windowTitle(), QString::fromUtf8("画像1"));
    W->SubWindow()->showMaximized();
    EXPECT_EQ(AppIniFile().ReadInteger(MaxFrmChildSection, MaxFrmChildKey, -1), 1);
    W->SubWindow()->showNormal();
    EXPECT_EQ(AppIniFile().ReadInteger(MaxFrmChildSection, MaxFrmChildKey, -1), 0);

    // Closing the only window of an unmodified document frees it.
    W->actCloseExecute();
    Settle();
    EXPECT_EQ(gDocuments->GetCount(), 0);
    EXPECT_TRUE(Area->subWindowList().isEmpty());

    // A freed document takes its window with it.
    TfrmChild* W2 = Open(100, 100);
    gDocuments->FreeDocument(W2->Document());
    EXPECT_EQ(W2->Page(), nullptr);
    Settle();
    EXPECT_TRUE(Area->subWindowList().isEmpty());
}

TEST(TraceProgress, TextFrameAndBarDoneInNavy)
{
    QImage I(300, 24, QImage::Format_RGB32);
    I.fill(Qt::white);
    QPainter DC(&I);
    DrawProgress(DC, QRect(0, 0, 300, 24), nullptr);
    DrawProgress(DC, QRect(), nullptr);
    EXPECT_EQ(I.pixel(150, 12) & 0xFFFFFF, 0xFFFFFFu); // nothing without a record
    const TTraceProgress Half{30, 60};
    DrawProgress(DC, QRect(0, 0, 300, 24), &Half);
    int Navy = 0;
    for (int X = 0; X < 300; ++X)
        Navy += (I.pixel(X, 12) & 0xFFFFFF) == 0x000080;
    EXPECT_EQ(Navy, 50);
}
