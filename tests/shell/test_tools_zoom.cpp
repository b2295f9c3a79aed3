// The tool palette (modes, undo captions, layouts), the zoom box's keys and
// the Ctrl+wheel ladder, and the frame's Alt+Backspace.
#include "shell_test_support.h"

#include "foundation/user_error.h"
#include "platform/qt/qt_services.h"
#include "shell/tavro_action.h"
#include "ui/toolbar_button97.h"

#include <QComboBox>
#include <QLineEdit>
#include <QWheelEvent>

namespace {

TEST_F(TFrameTest, ToolButtonsSetTheModeInOneCommandEach)
{
    Start();
    TPage* Page = ActivePage();
    ASSERT_NE(Page, nullptr);
    THistoryCommand* History = Page->HistoryCommand();
    struct TCase {
        TToolbarButton97* TfrmTavro::*Button;
        uint8_t Mode;
        uint8_t Poly;
        const char* Caption;
    };
    // Each row changes the tool of the row before.
    const TCase Cases[] = {
        {&TfrmTavro::sbtnEditNode, 6, 0, "「ノード編集」ツールの選択"},
        {&TfrmTavro::sbtnAddNode, 13, 0, "「ノード追加」ツールの選択"},
        {&TfrmTavro::sbtnHand, 3, 0, "「ハンド」ツールの選択"},
        {&TfrmTavro::sbtnPolyLine, 15, 1, "「直線」ツールの選択"},
        {&TfrmTavro::sbtnPolyBezier, 15, 2, "「ベジェ曲線」ツールの選択"},
        {&TfrmTavro::sbtnFreeHand, 15, 3, "「手書き」ツールの選択"},
        {&TfrmTavro::sbtnRect, 15, 4, "「四角形」ツールの選択"},
        {&TfrmTavro::sbtnPolygon, 15, 5, "「多角形」ツールの選択"},
        {&TfrmTavro::sbtnStar, 15, 6, "「星型」ツールの選択"},
        {&TfrmTavro::sbtnEllipse, 15, 7, "「円／楕円」ツールの選択"},
        {&TfrmTavro::sbtnText, 14, 0, "「テキスト」ツールの選択"},
        {&TfrmTavro::sbtnArrow, 0, 0, "「選択・変形」ツールの選択"},
    };
    for (const TCase& C : Cases) {
        QTest::mouseClick(Frame.get()->*C.Button, Qt::LeftButton);
        EXPECT_EQ(Page->MouseMode(), C.Mode) << C.Caption;
        EXPECT_EQ(Page->PolySubMode(), C.Poly) << C.Caption;
        EXPECT_EQ(History->UndoCaption(), C.Caption);
        EXPECT_TRUE((Frame.get()->*C.Button)->Down()) << C.Caption;
    }
    // Undo gives the tool before back, and the page presses its button.
    History->Undo();
    EXPECT_EQ(Page->MouseMode(), 14);
    EXPECT_TRUE(Frame->sbtnText->Down());
    // Inside an open command the change joins it.
    History->CommandStart("outer");
    QTest::mouseClick(Frame->sbtnStar, Qt::LeftButton);
    History->CommandEnd();
    EXPECT_EQ(History->UndoCaption(), "outer");
    EXPECT_EQ(MessageOf<EUserError>([&] { Frame->sbtnToolsClick(Frame->actNew); }),
              "sbtnToolsClick: Illegal Sender");
}

// A rectangle whose outline cannot be built, once.
class TOnceFailingRect : public TRectObj {
public:
    using TRectObj::TRectObj;
    const TrecPath& GetPath() override
    {
        if (FailNext) {
            FailNext = false;
            throw EUserError("path failed");
        }
        return TRectObj::GetPath();
    }
    bool FailNext = false;
};

TEST_F(TFrameTest, AToolThatCannotBeTakenIsReportedOnceAndRecordsNothing)
{
    Start();
    TPage* Page = ActivePage();
    ASSERT_NE(Page, nullptr);
    auto R = std::make_unique<TOnceFailingRect>(Page, -1);
    R->SetFrame(10, 10, 40, 30);
    auto* Rect = static_cast<TOnceFailingRect*>(Page->RootGroup().AddChild(std::move(R), -1));
    auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
    ASSERT_NE(Sel, nullptr);
    Sel->AddItem(Rect);
    THistoryCommand* History = Page->HistoryCommand();
    History->ClearHistory();
    Boxes.clear();
    // The hand tool keeps the selection and builds its handles, which fails.
    Rect->FailNext = true;
    Frame->sbtnToolsClick(Frame->sbtnHand);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "path failed");
    EXPECT_EQ(Page->MouseMode(), 0);
    EXPECT_FALSE(History->CanUndo());
    EXPECT_FALSE(History->IsCommandOpen());
    EXPECT_EQ(Sel->Count(), 1);
}

TEST_F(TFrameTest, UpdateToolButtonPressesTheButtonOfAMode)
{
    Start();
    struct TCase {
        uint8_t Mode, Poly;
        TToolbarButton97* TfrmTavro::*Button;
    };
    const TCase Cases[] = {
        {15, 5, &TfrmTavro::sbtnPolygon}, {3, 0, &TfrmTavro::sbtnHand},   {15, 7, &TfrmTavro::sbtnEllipse},
        {6, 0, &TfrmTavro::sbtnEditNode}, {13, 0, &TfrmTavro::sbtnAddNode}, {14, 0, &TfrmTavro::sbtnText},
        {15, 1, &TfrmTavro::sbtnPolyLine}, {0, 0, &TfrmTavro::sbtnArrow},
        // Pressed and dragging states and unknown poly modes leave the buttons.
        {21, 0, &TfrmTavro::sbtnArrow},   {15, 9, &TfrmTavro::sbtnArrow},
    };
    for (const TCase& C : Cases) {
        Frame->UpdateToolButton(C.Mode, C.Poly);
        EXPECT_TRUE((Frame.get()->*C.Button)->Down()) << int(C.Mode) << "/" << int(C.Poly);
    }
}

TEST_F(TFrameTest, ToolPaletteLayoutFollowsItsHeight)
{
    Start();
    struct TCase {
        int Height, Width;
        QPoint Rect, Text, FreeHand;
    };
    const TCase Cases[] = {
        {171, 76, {49, 1}, {49, 97}, {25, 49}},
        {172, 52, {25, 1}, {25, 97}, {1, 149}},
        {295, 52, {25, 1}, {25, 97}, {1, 149}},
        {296, 28, {1, 177}, {1, 273}, {1, 149}},
    };
    for (const TCase& C : Cases) {
        Frame->pnlToolbarV->setFixedHeight(C.Height);
        Frame->pnlToolbarV->resize(Frame->pnlToolbarV->width(), C.Height);
        EXPECT_EQ(Frame->pnlToolbarV->width(), C.Width) << C.Height;
        EXPECT_EQ(Frame->sbtnRect->pos(), C.Rect) << C.Height;
        EXPECT_EQ(Frame->sbtnText->pos(), C.Text) << C.Height;
        EXPECT_EQ(Frame->sbtnFreeHand->pos(), C.FreeHand) << C.Height;
        EXPECT_EQ(Frame->sbtnHand->pos(), QPoint(1, 73)) << C.Height;
        EXPECT_EQ(Frame->sbtnRect->size(), QSize(24, 24));
    }
}

TEST_F(TFrameTest, ZoomBoxKeys)
{
    Start();
    TDocWindow* C = Frame->ActiveDocWindow();
    ASSERT_NE(C, nullptr);
    QLineEdit* Edit = Frame->cmbZoom->lineEdit();
    int Beeps = 0;
    const TMessageBeepHandler OldBeep = SetMessageBeepHandler([&](uint32_t) { ++Beeps; });
    const auto Type = [&](const QString& Text) {
        Frame->cmbZoom->setFocus();
        Edit->clear();
        QTest::keyClicks(Edit, Text);
        QTest::keyClick(Edit, Qt::Key_Return);
    };
    struct TCase {
        const char* Typed;
        int32_t Zoom;
    };
    for (const TCase& T : {TCase{"5", 10}, TCase{"2000", 1600}, TCase{"250", 250}, TCase{"", 250}, TCase{"0", 250}}) {
        Type(T.Typed);
        EXPECT_EQ(C->GetZoomPercent(), T.Zoom) << T.Typed;
        EXPECT_EQ(Edit->text(), QString::number(T.Zoom)) << T.Typed;
    }
    EXPECT_EQ(Beeps, 0);
    // A letter beeps and is dropped; Backspace is taken.
    Edit->setText("12");
    Edit->end(false);
    QTest::keyClick(Edit, Qt::Key_A);
    EXPECT_EQ(Beeps, 1);
    EXPECT_EQ(Edit->text(), "12");
    QTest::keyClick(Edit, Qt::Key_Backspace);
    EXPECT_EQ(Edit->text(), "1");
    // Escape puts the window's zoom back.
    QTest::keyClick(Edit, Qt::Key_Escape);
    EXPECT_EQ(Edit->text(), "250");
    EXPECT_EQ(Edit->selectedText(), "250");
    // Picking an entry applies it.
    Frame->cmbZoom->setCurrentIndex(1);
    emit Frame->cmbZoom->activated(1);
    EXPECT_EQ(C->GetZoomPercent(), 25);
    SetMessageBeepHandler(OldBeep);
}

TEST(ZoomWheel, LadderKeepsEveryStepOfTheExamples)
{
    struct TCase {
        int32_t From;
        bool Down;
        int32_t To;
    };
    const TCase Cases[] = {
        {10, false, 25}, {25, false, 50}, {50, false, 100}, {100, false, 200}, {800, false, 1600},
        {1600, false, 1600}, {25, true, 10}, {10, true, 10}, {100, true, 50}, {1600, true, 800},
        {75, true, 50}, {75, false, 100}, {12, true, 10}, {1000, false, 1600},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(WheelZoomStep(C.From, C.Down), C.To) << C.From << (C.Down ? " down" : " up");
}

TEST_F(TFrameTest, CtrlWheelZoomsTheActiveWindow)
{
    Start();
    TDocWindow* C = Frame->ActiveDocWindow();
    const auto Wheel = [&](int Delta, Qt::KeyboardModifiers Mods) {
        QWheelEvent E(QPointF(5, 5), C->mapToGlobal(QPointF(5, 5)), QPoint(), QPoint(0, Delta), Qt::NoButton,
                      Mods, Qt::NoScrollPhase, false);
        QApplication::sendEvent(C, &E);
    };
    Wheel(120, Qt::ControlModifier);
    EXPECT_EQ(C->GetZoomPercent(), 50);
    Wheel(120, Qt::ControlModifier);
    Wheel(120, Qt::ControlModifier);
    EXPECT_EQ(C->GetZoomPercent(), 10);
    Wheel(-120, Qt::ControlModifier);
    EXPECT_EQ(C->GetZoomPercent(), 25);
    EXPECT_EQ(Frame->cmbZoom->currentText(), "25");
    Wheel(-120, Qt::NoModifier);
    EXPECT_EQ(C->GetZoomPercent(), 25);
}

TEST_F(TFrameTest, AltBackspaceUndoes)
{
    Start();
    QTest::mouseClick(Frame->sbtnRect, Qt::LeftButton);
    ASSERT_EQ(ActivePage()->MouseMode(), 15);
    ASSERT_TRUE(Frame->actUndo->isEnabled());
    // Shortcuts belong to the active window.
    QApplication::setActiveWindow(Frame.get());
    Frame->ActiveDocWindow()->setFocus();
    QTest::keyClick(Frame->ActiveDocWindow(), Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(ActivePage()->MouseMode(), 0);
}

} // namespace
