// The document window's mouse tools, driven by synthetic mouse events on
// its view: creating items, the modifier constraints, grid snapping and the
// select tool's move, scale and rotation, each one undoable command.
#include "mouse_test_support.h"

#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/anchors.h"
#include "model/param_shapes.h"
#include "model/selection_commands.h"
#include "model/text_object.h"
#include "platform/cp932.h"
#include "platform/qt/screen_cursors.h"
#include "shell/input_text.h"
#include "shell/xor_overlay.h"
#include "store/history.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <cmath>
#include <utility>
#include <numbers>

namespace {

// A shape whose first move is recorded and then fails.
class TFailingShape : public TTestShape {
public:
    using TTestShape::TTestShape;
    void MoveBy(int32_t DX, int32_t DY) override
    {
        TTestShape::MoveBy(DX, DY);
        if (std::exchange(Fail, false))
            throw EUserError("no move");
    }
    bool Fail = true;
};

struct MouseTest : MouseFormTest {
    void Tool(uint8_t Mode, uint8_t Poly)
    {
        Page().SetMouseModeCommand(Mode, Poly);
        H->ClearHistory();
    }
    TDrawItem* Last() { return Page().RootGroup().GetItem(Page().RootGroup().GetCount() - 1); }
    static std::vector<int32_t> Frame(TDrawItem* I)
    {
        auto* S = dynamic_cast<TParamObj*>(I);
        return S ? std::vector<int32_t>{S->X(), S->Y(), S->Width(), S->Height()} : std::vector<int32_t>{};
    }
};

} // namespace

TEST_F(MouseTest, EachDrawingToolMakesItsItemAsOneStep)
{
    struct Case {
        uint8_t Poly;
        const char* Class;
        const char* Caption;
    };
    const Case Cases[] = {{1, "TPolyLineObj", "線図形の作成"},    {2, "TPolyLineObj", "線図形の作成"},
                          {3, "TPolyLineObj", "線図形の作成"},    {4, "TRectObj", "四角形図形の作成"},
                          {5, "TPolygonObj", CaptionNewPolygon}, {6, "TStarObj", CaptionNewStar},
                          {7, "TEllipseObj", CaptionNewEllipse}};
    for (const Case& C : Cases) {
        Tool(15, C.Poly);
        const int32_t Count = Page().RootGroup().GetCount();
        ExpectOneStep(C.Caption, [&] {
            Drag({20, 20}, {80, 60}, {}, 12);
            if (C.Poly <= 2)
                Click({80, 60}); // a click without a drag ends the line
        });
        ASSERT_EQ(Page().RootGroup().GetCount(), Count + 1) << C.Class;
        EXPECT_EQ(Last()->GetClass().Name, std::string(C.Class));
        EXPECT_EQ(Page().MouseMode(), 15);
        EXPECT_FALSE(W->Overlay()->Active());
        if (C.Poly >= 4)
            EXPECT_EQ(Frame(Last()), (std::vector<int32_t>{20, 20, 60, 40})) << C.Class;
    }
    // Shorter than the pick tolerance: nothing.
    const int32_t Count = Page().RootGroup().GetCount();
    H->ClearHistory();
    Drag({20, 20}, {23, 23});
    EXPECT_EQ(Page().RootGroup().GetCount(), Count);
    EXPECT_FALSE(H->CanUndo());
}

TEST_F(MouseTest, ShiftAndAltConstrainShapesAndLines)
{
    Tool(15, 4);
    const std::pair<Qt::KeyboardModifiers, std::vector<int32_t>> Cases[] = {
        {Qt::ShiftModifier, {50, 50, 20, 20}},
        {Qt::AltModifier, {30, 40, 40, 20}},
        {Qt::ShiftModifier | Qt::AltModifier, {30, 30, 40, 40}},
    };
    for (const auto& [Keys, Expected] : Cases) {
        Drag({50, 50}, {70, 60}, Keys);
        EXPECT_EQ(Frame(Last()), Expected) << int(Keys);
    }
    // Shift snaps a line to the nearest multiple of 15 degrees: 11.3 to 15.
    Tool(15, 1);
    Press({20, 20});
    Send(QEvent::MouseMove, {70, 30}, Qt::LeftButton, Qt::ShiftModifier);
    Release({70, 30}, Qt::ShiftModifier);
    Click({70, 30});
    auto* Line = dynamic_cast<TDrawObject*>(Last());
    ASSERT_NE(Line, nullptr);
    const TrecPath& Path = Line->GetPath();
    ASSERT_EQ(Path.Count, 2);
    const TPoint E = Path.Points[1];
    EXPECT_NEAR(std::atan2(E.Y - 20, E.X - 20) * 180 / std::numbers::pi, 15.0, 1.5);
}

TEST_F(MouseTest, GridSnapsToTheNearestLineOnBothSidesOfItsOrigin)
{
    TrecGrid G = Page().Grid();
    G.SnapGrid = 1;
    G.Value1 = 100;  // origin
    G.Value2 = 100;
    G.Value3 = 1;  // divisions
    G.Value4 = 1;
    G.Value5 = 10;  // spacing
    G.Value6 = 10;
    G.Byte1 = 0;
    Page().SetGridOption(G);
    const std::pair<TPoint, TPoint> Cases[] = {
        {{94, 94}, {90, 90}},   {{86, 104}, {90, 100}}, {{106, 96}, {110, 100}},
        {{-3, -7}, {0, -10}},   {{104, 115}, {100, 120}},
    };
    for (const auto& [In, Out] : Cases) {
        const TPoint S = W->SnapPoint(In);
        EXPECT_EQ((std::pair{S.X, S.Y}), (std::pair{Out.X, Out.Y})) << In.X << "," << In.Y;
    }
    // No usable step (no divisions, no spacing): no snapping.
    for (int32_t Field : {0, 1}) {
        TrecGrid Z = G;
        (Field ? Z.Value5 : Z.Value3) = 0;
        (Field ? Z.Value6 : Z.Value4) = 0;
        Page().SetGridOption(Z);
        const TPoint S = W->SnapPoint({94, 97});
        EXPECT_EQ((std::pair{S.X, S.Y}), (std::pair{94, 97}));
    }
}

TEST_F(MouseTest, SelectMovesScalesAndRotatesAboutTheRightPoints)
{
    Tool(15, 4);
    Drag({40, 40}, {120, 100});
    auto* R = dynamic_cast<TRectObj*>(Last());
    ASSERT_TRUE(R && Sel().IsSelected(R));
    Tool(0, 4);
    const TRect B = Sel().GetBounds();
    ASSERT_EQ((std::vector<int32_t>{B.Left, B.Top, B.Right, B.Bottom}), (std::vector<int32_t>{40, 40, 120, 100}));

    // A press and release inside the selection, and drags of the selection,
    // a handle and the rotation handle that come back where they began,
    // change nothing and record nothing.
    Drag({50, 45}, {51, 46}, {}, 1);
    for (TPoint From : {TPoint{50, 45}, TPoint{40, 40}, TPoint{80, 55}}) {
        Press(From);
        Send(QEvent::MouseMove, {From.X - 20, From.Y - 20}, Qt::LeftButton);
        Send(QEvent::MouseMove, From, Qt::LeftButton);
        Release(From);
        EXPECT_EQ(Page().MouseMode(), 0);
    }
    EXPECT_FALSE(H->CanUndo());
    EXPECT_EQ(Frame(R), (std::vector<int32_t>{40, 40, 80, 60}));

    ExpectOneStep("選択図形の移動", [&] { Drag({50, 45}, {60, 60}); });
    EXPECT_EQ(Frame(R), (std::vector<int32_t>{50, 55, 80, 60}));
    W->actUndoExecute();

    // Top-left handle: the bottom-right corner stays; with Shift the centre;
    // Alt whole multiples; Ctrl the larger factor on both. The left-middle
    // handle past the right edge mirrors about the right edge.
    ExpectOneStep("選択図形の拡大／縮小", [&] { Drag({40, 40}, {20, 10}); });
    EXPECT_EQ(Frame(R), (std::vector<int32_t>{20, 10, 100, 90}));
    W->actUndoExecute();
    struct Scale {
        TPoint From, To;
        Qt::KeyboardModifiers Keys;
        std::vector<int32_t> Frame;
    };
    const Scale Scales[] = {
        {{40, 40}, {30, 25}, Qt::ShiftModifier, {30, 25, 100, 90}},
        {{40, 40}, {0, -10}, Qt::AltModifier, {-40, -20, 160, 120}},
        {{40, 40}, {20, 30}, Qt::ControlModifier, {20, 25, 100, 75}},
        {{40, 70}, {160, 70}, {}, {120, 40, 40, 60}},
    };
    for (const Scale& S : Scales) {
        // Ctrl at the press would start a rubber band: it comes afterwards.
        Press(S.From, S.Keys & ~Qt::ControlModifier);
        Send(QEvent::MouseMove, S.To, Qt::LeftButton, S.Keys);
        Release(S.To, S.Keys);
        EXPECT_EQ(Frame(R), S.Frame) << int(S.Keys);
        W->actUndoExecute();
        EXPECT_EQ(Frame(R), (std::vector<int32_t>{40, 40, 80, 60}));
    }

    // The rotation handle turned a quarter about the rotation centre.
    TAnchors& A = Sel().GetAnchors();
    TAnchor* Centre = A.GetRotationCenter();
    ASSERT_NE(Centre, nullptr);
    TPoint Target{0, 0};
    for (int32_t I = 0; I < A.GetCount(); ++I)
        if (auto* T = dynamic_cast<TAnchor*>(A.GetNodeAnchor(I)); T && T->Kind == akRotTarget)
            Target = {T->X, T->Y};
    const TPoint C{Centre->X, Centre->Y};
    const TPoint To{C.X - (Target.Y - C.Y), C.Y + (Target.X - C.X)};
    ExpectOneStep("選択図形の回転", [&] { Drag(Target, To, {}, 8); });
    EXPECT_NEAR(R->Angle(), std::numbers::pi / 2, 1e-6);
    const TRect B2 = Sel().GetBounds();
    EXPECT_EQ((std::vector<int32_t>{B2.Left + B2.Right, B2.Top + B2.Bottom}),
              (std::vector<int32_t>{B.Left + B.Right, B.Top + B.Bottom}));
    W->actUndoExecute();
    // Released right on the centre (no direction): the last angle stands.
    Press(Target);
    Send(QEvent::MouseMove, To, Qt::LeftButton);
    Send(QEvent::MouseMove, C, Qt::LeftButton);
    Release(C);
    EXPECT_NEAR(R->Angle(), std::numbers::pi / 2, 1e-6);
    W->actUndoExecute();
    // Shift steps the angle by 15 degrees: 47.7 gives 45.
    Drag(Target, {91, 60}, Qt::ShiftModifier);
    EXPECT_NEAR(R->Angle(), std::numbers::pi / 4, 1e-6);
    W->actUndoExecute();
    // The rotation centre moves without a history step.
    H->ClearHistory();
    Drag(C, {90, 75});
    ASSERT_NE(Sel().GetAnchors().GetRotationCenter(), nullptr);
    EXPECT_EQ((std::pair{Sel().GetAnchors().GetRotationCenter()->X, Sel().GetAnchors().GetRotationCenter()->Y}),
              (std::pair{90, 75}));
    EXPECT_FALSE(H->CanUndo());
}

TEST_F(MouseTest, RubberBandIsXorAndLeavesTheViewAsItWas)
{
    Tool(15, 4);
    Drag({40, 40}, {80, 60});
    Tool(0, 4);
    Press({10, 10});
    Send(QEvent::MouseMove, {100, 90}, Qt::LeftButton);
    const QImage Shown = W->Overlay()->Image();
    Send(QEvent::MouseMove, {120, 100}, Qt::LeftButton);
    Send(QEvent::MouseMove, {100, 90}, Qt::LeftButton);
    EXPECT_EQ(W->Overlay()->Image(), Shown);
    Release({100, 90});
    EXPECT_EQ(Sel().Count(), 1);
    EXPECT_EQ(H->UndoCaption(), "図形の選択･解除");
}

TEST_F(MouseTest, CursorsFollowTheToolAndTheHandleUnderTheMouse)
{
    Tool(15, 4);
    Drag({40, 40}, {120, 100});
    const auto Shown = [&] { return W->pboxkClient->cursor().pixmap().toImage(); };
    struct Case {
        uint8_t Mode, Poly;
        TPoint At;
        std::string Name;
    };
    const Case Cases[] = {{15, 4, {10, 10}, "CRECT"},  {15, 1, {10, 10}, "CLINE"},
                          {15, 7, {10, 10}, "CELLIPSE"}, {3, 0, {10, 10}, "CHNDOPN"},
                          {14, 0, {10, 10}, "CTEXT"},    {0, 0, {40, 40}, AnchorCursorName(akTopLeft)},
                          {0, 0, {120, 70}, AnchorCursorName(akRight)}};
    for (const Case& C : Cases) {
        Tool(C.Mode, C.Poly);
        if (C.Mode == 0)
            W->actSelAllExecute();  // the tool change cleared it
        Send(QEvent::MouseMove, C.At, Qt::NoButton);
        const std::optional<QCursor> Expected = LoadCursorResource(C.Name);
        ASSERT_TRUE(Expected) << C.Name;
        EXPECT_EQ(Shown(), Expected->pixmap().toImage()) << C.Name;
        EXPECT_EQ(W->pboxRulerH->cursor().shape(), Qt::BitmapCursor) << C.Name;
    }
    Send(QEvent::MouseMove, {10, 10}, Qt::NoButton);
    EXPECT_EQ(W->pboxkClient->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(MouseTest, TextToolAsksForTheTextAndAddsItAtThePress)
{
    Tool(14, 0);
    std::string Title;
    std::string Label;
    const auto Answer = [&](const char* Text, bool OK) {
        QTimer::singleShot(0, [&, Text, OK] {
            auto* D = qobject_cast<TfrmInputText*>(QApplication::activeModalWidget());
            ASSERT_NE(D, nullptr);
            Title = D->windowTitle().toStdString();
            Label = D->Label1->text().toStdString();
            D->Memo1->setPlainText(QString::fromUtf8(Text));
            (OK ? D->btnOK : D->btnCancel)->click();
        });
    };
    H->ClearHistory();
    Answer("x", false);
    Click({30, 40});
    EXPECT_EQ(Page().RootGroup().GetCount(), 0);
    EXPECT_FALSE(H->CanUndo());
    EXPECT_EQ(Title, "テキスト作成");
    EXPECT_EQ(Label, "テキストを入力してください。");

    ExpectOneStep(CaptionNewText, [&] {
        Answer("あ\nB", true);
        Click({30, 40});
    });
    ASSERT_EQ(Page().RootGroup().GetCount(), 1);
    auto* T = dynamic_cast<TTextObj*>(Last());
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(T->Text(), Utf8ToCp932("あ\r\nB"));
    EXPECT_EQ((std::pair{T->X(), T->Y()}), (std::pair{30, 40}));
    EXPECT_TRUE(Sel().IsSelected(T));
}

TEST_F(MouseTest, AnEditThatFailsLeavesTheDocumentAsItWas)
{
    Tool(15, 4);
    Drag({40, 40}, {120, 100});
    Tool(0, 0);
    auto* Failing = static_cast<TTestShape*>(Page().RootGroup().AddChild(std::make_unique<TFailingShape>(&Page(), -1), -1));
    Failing->SetRect({50, 50, 60, 60});
    W->actSelAllExecute();
    ASSERT_EQ(Sel().Count(), 2);
    H->ClearHistory();
    const std::string Before = DocumentBytes(W);
    Drag({60, 85}, {80, 95});
    EXPECT_EQ(DocumentBytes(W), Before);
    EXPECT_FALSE(H->CanUndo());
    EXPECT_EQ(Page().MouseMode(), 0);
}

TEST_F(MouseTest, StatusReadoutsWhileDrawingAndTransforming)
{
    struct Step {
        uint8_t Mode, Poly;
        TPoint From, To;
        std::string Panel1;
    };
    const Step Steps[] = {
        {15, 4, {20, 20}, {80, 60}, "中心=(50,40), (幅,高さ)=(60,40)"},
        {15, 1, {20, 20}, {80, 60}, "(X,Y)=(80,60), (Δ)=(60,40), Len=72"},
        {0, 0, {30, 30}, {40, 45}, "(dx,dy)=(10,15)"},
        {0, 0, {20, 20}, {5, 10}, "(Sx,Sy)=(125,125)%,(幅,高)=(75,50)"},
    };
    Tool(15, 4);
    Drag({20, 20}, {80, 60});  // the selection of the select steps
    for (const Step& S : Steps) {
        if (S.Mode != Page().MouseMode() || S.Poly != Page().PolySubMode())
            Tool(S.Mode, S.Poly);
        if (S.Mode == 0)
            W->actSelAllExecute();
        Press(S.From);
        Send(QEvent::MouseMove, S.To, Qt::LeftButton);
        Send(QEvent::MouseMove, S.To, Qt::LeftButton);  // the select tool's first step only starts
        EXPECT_EQ(ChildFormTest::Frame.Status[1], S.Panel1);
        EXPECT_EQ(ChildFormTest::Frame.Status[0], "(X,Y)=(" + std::to_string(S.To.X) + "," + std::to_string(S.To.Y) + ")");
        Release(S.To);
        if (S.Poly == 1)
            Click(S.To);
        W->actUndoExecute();
    }
}

TEST_F(MouseTest, HandToolScrollsByTheMouseTravel)
{
    Resize(W, 300, 200);
    W->SetZoom(200);
    Tool(3, 0);
    const int X0 = W->ScrollBarH->value();
    const int Y0 = W->ScrollBarV->value();
    const TPoint A = W->ViewToDoc({150, 100});
    const TPoint B = W->ViewToDoc({110, 80});
    Press(A);
    EXPECT_EQ(Page().MouseMode(), 5);
    Send(QEvent::MouseMove, B, Qt::LeftButton);
    // 40 and 20 view pixels at 200 %.
    EXPECT_EQ(W->ScrollBarH->value(), X0 + 20);
    EXPECT_EQ(W->ScrollBarV->value(), Y0 + 10);
    Release(B);
    EXPECT_EQ(Page().MouseMode(), 3);
}

TEST_F(MouseTest, MiddleButtonAndSpaceSwitchBetweenSelectAndHand)
{
    Tool(0, 0);
    for (uint8_t Expected : {3, 0, 3}) {
        QTest::mouseClick(W->pboxkClient, Qt::MiddleButton, {}, QPoint(20, 20));
        EXPECT_EQ(Page().MouseMode(), Expected);
    }
    // Space alone toggles; with a modifier, or held down, it does not.
    QTest::keyClick(W, Qt::Key_Space);
    EXPECT_EQ(Page().MouseMode(), 0);
    QTest::keyClick(W, Qt::Key_Space, Qt::ShiftModifier);
    EXPECT_EQ(Page().MouseMode(), 0);
    QKeyEvent Held(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ", true);
    QApplication::sendEvent(W, &Held);
    EXPECT_EQ(Page().MouseMode(), 0);
    QTest::keyClick(W, Qt::Key_Space);
    EXPECT_EQ(Page().MouseMode(), 3);
}

TEST_F(MouseTest, ClickPicksTheBackmostAndRubberBandsSelectByModifier)
{
    Tool(15, 4);
    Drag({40, 40}, {120, 100});
    TDrawItem* Back = Last();
    Drag({40, 60}, {100, 90});  // shares the left edge
    TDrawItem* Front = Last();
    Tool(0, 0);
    const auto Selected = [&] {
        return std::pair{Sel().IsSelected(Back), Sel().IsSelected(Front)};
    };
    Click({150, 130});  // on nothing: clears
    EXPECT_EQ(Selected(), (std::pair{false, false}));
    Click({40, 70});
    EXPECT_EQ(Selected(), (std::pair{true, false}));
    EXPECT_EQ(H->UndoCaption(), "図形の選択･解除");
    // Inside the selection a press moves it; Ctrl makes it a click.
    Click({40, 70}, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(Selected(), (std::pair{false, false}));
    Drag({30, 50}, {110, 95}, Qt::ControlModifier);  // wholly inside only
    EXPECT_EQ(Selected(), (std::pair{false, true}));
    Drag({30, 50}, {110, 95});  // touching
    EXPECT_EQ(Selected(), (std::pair{true, true}));
}

TEST_F(MouseTest, RulersMarkTheMousePosition)
{
    const QImage Before = W->pboxRulerH->grab().toImage();
    Send(QEvent::MouseMove, W->ViewToDoc({57, 40}), Qt::NoButton);
    Settle();
    const QImage After = W->pboxRulerH->grab().toImage();
    const int Row = W->pboxRulerH->height() / 2;
    EXPECT_NE(After.pixel(57, Row), Before.pixel(57, Row));
    EXPECT_EQ(After.pixel(70, Row), Before.pixel(70, Row));
    Send(QEvent::MouseMove, W->ViewToDoc({57, 80}), Qt::NoButton);  // same column: it stays
    Settle();
    EXPECT_EQ(W->pboxRulerH->grab().toImage().pixel(57, Row), After.pixel(57, Row));
}
