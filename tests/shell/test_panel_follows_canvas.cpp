// The property panel follows what the select tool does on the canvas: once
// a move, a resize or a rotation by mouse is done it shows the new values,
// and a value then typed into it changes that value alone.
#include "mouse_test_support.h"

#include "editors/frm_obj_property.h"
#include "model/anchors.h"
#include "model/param_shapes.h"
#include "model/text_object.h"
#include "platform/cp932.h"
#include "store/history.h"
#include "ui/edit_track_bar_wex.h"

#include <QTextEdit>

#include <cmath>
#include <numbers>

namespace {

struct PanelFollowsCanvasTest : MouseFormTest {
    void SetUp() override
    {
        MouseFormTest::SetUp();
        frmObjProperty = std::make_unique<TfrmObjProperty>(nullptr);
    }
    void TearDown() override
    {
        frmObjProperty.reset();
        MouseFormTest::TearDown();
    }
    struct Values {
        int32_t X, Y, Width, Height;
        long Degrees;
        bool operator==(const Values&) const = default;
    };
    static Values Of(TParamObj* S)
    {
        return {S->X(), S->Y(), S->Width(), S->Height(), std::lround(S->Angle() * 180 / std::numbers::pi)};
    }
    static Values Shown()
    {
        const TfrmObjProperty& F = *frmObjProperty;
        return {int32_t(std::lround(F.edtPosiX->Position())), int32_t(std::lround(F.edtPosiY->Position())),
                int32_t(std::lround(F.edtWidth->Position())), int32_t(std::lround(F.edtHeight->Position())),
                std::lround(F.edtObjAngle->Position())};
    }
};

std::ostream& operator<<(std::ostream& O, const PanelFollowsCanvasTest::Values& V)
{
    return O << V.X << "," << V.Y << " " << V.Width << "x" << V.Height << " " << V.Degrees << "°";
}

} // namespace

TEST_F(PanelFollowsCanvasTest, APageEditAfterAMouseEditChangesOnlyItsValue)
{
    Page().SetMouseModeCommand(15, 4);
    Drag({40, 40}, {120, 100});
    auto* R = dynamic_cast<TRectObj*>(Page().RootGroup().GetItem(0));
    ASSERT_TRUE(R && Sel().IsSelected(R));
    Page().SetMouseModeCommand(0, 4);
    W->SelectionChanged(false);
    const Values Drawn{40, 40, 80, 60, 0};
    ASSERT_EQ(Of(R), Drawn);
    ASSERT_EQ(Shown(), Drawn);

    // The top-middle handle up, the body across, the rotation handle a
    // quarter turn about the centre.
    TPoint Target{0, 0};
    TAnchors& A = Sel().GetAnchors();
    for (int32_t I = 0; I < A.GetCount(); ++I)
        if (auto* T = dynamic_cast<TAnchor*>(A.GetNodeAnchor(I)); T && T->Kind == akRotTarget)
            Target = {T->X, T->Y};
    const TPoint C{A.GetRotationCenter()->X, A.GetRotationCenter()->Y};
    struct Case {
        const char* Name;
        TPoint From, To;
        Values After;
    };
    const Case Cases[] = {
        {"resize", {80, 40}, {80, 10}, {40, 10, 80, 90, 0}},
        {"move", {50, 45}, {60, 60}, {50, 55, 80, 60, 0}},
        {"rotate", Target, {C.X - (Target.Y - C.Y), C.Y + (Target.X - C.X)}, {0, 0, 80, 60, 90}},
    };
    for (const Case& K : Cases) {
        SCOPED_TRACE(K.Name);
        H->ClearHistory();
        const std::string Before = DocumentBytes(W);
        Drag(K.From, K.To, {}, 8);
        Settle();
        Values After = Of(R);
        if (K.After.Degrees == 0)
            EXPECT_EQ(After, K.After);
        else
            EXPECT_EQ(After.Degrees, K.After.Degrees);
        EXPECT_EQ(Shown(), After);
        const std::string Moved = DocumentBytes(W);

        // 位置X typed (live) and committed: the mouse edit stays.
        frmObjProperty->edtPosiX->setText(QString::number(After.X + 5));
        frmObjProperty->CommitEdit(frmObjProperty->edtPosiX);
        Values Typed = After;
        Typed.X += 5;
        EXPECT_EQ(Of(R), Typed);
        EXPECT_EQ(Shown(), Typed);
        EXPECT_EQ(H->UndoCaption(), "位置Xの設定");
        const std::string Edited = DocumentBytes(W);

        W->actUndoExecute();
        EXPECT_EQ(DocumentBytes(W), Moved);
        EXPECT_EQ(Shown(), After);
        W->actUndoExecute();
        EXPECT_EQ(DocumentBytes(W), Before);
        EXPECT_FALSE(H->CanUndo());
        W->actRedoExecute();
        W->actRedoExecute();
        EXPECT_EQ(DocumentBytes(W), Edited);
        EXPECT_EQ(Shown(), Typed);
        W->actUndoExecute();
        W->actUndoExecute();
        ASSERT_EQ(Of(R), Drawn);
    }
}

TEST_F(PanelFollowsCanvasTest, ACornerCountAfterANarrowingKeepsTheWidth)
{
    Page().SetMouseModeCommand(15, 6);
    Drag({40, 40}, {130, 120}, {}, 12);
    auto* S = dynamic_cast<TStarObj*>(Page().RootGroup().GetItem(0));
    ASSERT_TRUE(S && Sel().IsSelected(S));
    Page().SetMouseModeCommand(0, 6);
    W->SelectionChanged(false);
    H->ClearHistory();
    const std::string Before = DocumentBytes(W);

    // The right-middle handle drawn in.
    const TRect B = Sel().GetBounds();
    Drag({B.Right, (B.Top + B.Bottom) / 2}, {B.Right - 30, (B.Top + B.Bottom) / 2}, {}, 6);
    Settle();
    const Values Narrowed = Of(S);
    ASSERT_LT(Narrowed.Width, B.Right - B.Left - 20);
    EXPECT_EQ(Shown(), Narrowed);
    const std::string Moved = DocumentBytes(W);

    frmObjProperty->edtCornerNum->setText("6");
    frmObjProperty->CommitEdit(frmObjProperty->edtCornerNum);
    EXPECT_EQ(S->Param().Count, 6);
    EXPECT_EQ(Of(S), Narrowed);
    EXPECT_EQ(H->UndoCaption(), "角数の設定");
    W->actUndoExecute();
    EXPECT_EQ(DocumentBytes(W), Moved);
    W->actUndoExecute();
    EXPECT_EQ(DocumentBytes(W), Before);
}

// A change the panel makes itself is no reason to load it again: the caret
// typed on in the text page stays where the typing left it.
TEST_F(PanelFollowsCanvasTest, TypingInTheTextPageKeepsItsCaret)
{
    auto* T = static_cast<TTextObj*>(Page().RootGroup().AddChild(std::make_unique<TTextObj>(&Page(), -1), -1));
    T->SetPosition(60, 60);
    T->SetNewText(Utf8ToCp932("A"));
    Sel().AddItem(T);
    W->SelectionChanged(false);
    QTextEdit* Edit = frmObjProperty->RichEdit;
    QTextCursor C = Edit->textCursor();
    C.movePosition(QTextCursor::End);
    Edit->setTextCursor(C);
    QTest::keyClick(Edit, Qt::Key_B);
    Settle();
    EXPECT_EQ(T->Text(), "Ab");
    EXPECT_EQ(H->UndoCaption(), "１文字挿入");
    EXPECT_FALSE(Edit->textCursor().hasSelection());
    EXPECT_EQ(Edit->textCursor().position(), 2);
}
