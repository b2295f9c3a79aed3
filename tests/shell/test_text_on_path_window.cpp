// Text on a path in the frame: a text laid on a free-hand stroke with
// テキストをパスに沿わせる, the stroke deleted with the frame's delete: the
// window shows the page exactly as the saved document shows it reopened, and
// the undo gives back the text on the stroke pixel for pixel.
#include "shell_test_support.h"

#include "foundation/rec_path.h"
#include "model/poly_line_obj.h"
#include "model/text_object.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "raster/rec_picture.h"
#include "shell/child_form.h"
#include "shell/child_menus.h"
#include "shell/tavro_action.h"
#include "ui/paint_box_wex.h"

#include <QKeyEvent>

#include <filesystem>
#include <fstream>

namespace {

// Every object paints with the basic fill.
void GiveFill(TDrawObject& Object)
{
    auto M = std::make_unique<TMacro>();
    ASSERT_TRUE(M->LoadFromLibrary("塗り(ボカシ)"));
    Object.Macros().Clear();
    Object.Macros().Add(std::move(M));
}

// A free-hand stroke: a wave across the page, as the tool leaves one.
TrecPath MakeStrokePath()
{
    const TPoint Points[] = {{20, 140}, {70, 90}, {120, 70}, {170, 110}, {220, 150}, {270, 120}, {330, 80}, {380, 100}};
    TrecPath P;
    RecPolyLineSetCount(P, static_cast<int32_t>(std::size(Points)));
    for (size_t I = 0; I < std::size(Points); ++I) {
        P.Points[I] = Points[I];
        P.pabType[I] = I == 0 ? PT_MOVETO : PT_LINETO;
    }
    RecPathCalcBounds(P);
    return P;
}

// A filled text, and a filled stroke beside it.
void AddTextAndStroke(TPage& Page, TTextObj*& T, TDrawItem*& Stroke)
{
    auto NewText = std::make_unique<TTextObj>(&Page, -1);
    NewText->SetPosition(30, 260);
    NewText->SetNewText(Utf8ToCp932("Tavro 文字列"));
    ASSERT_NO_FATAL_FAILURE(GiveFill(*NewText));
    T = static_cast<TTextObj*>(Page.RootGroup().AddChild(std::move(NewText), -1));
    auto NewStroke = std::make_unique<TPolyLineObj>(&Page, -1);
    NewStroke->SetPathRecord(MakeStrokePath());
    ASSERT_NO_FATAL_FAILURE(GiveFill(*NewStroke));
    Stroke = Page.RootGroup().AddChild(std::move(NewStroke), -1);
}

// The page as Window has drawn it: its picture after the window painted.
std::vector<uint8_t> Rendered(TfrmChild& Window)
{
    Window.pboxkClient->grab();
    QTest::qWait(1);
    Window.pboxkClient->grab();
    const TrecPicture* P = static_cast<TPage*>(Window.Page())->GetPagePicture();
    if (!P || !P->pBits)
        return {};
    return std::vector<uint8_t>(P->pBits, P->pBits + RecPictureGetImageSize(*P));
}

int32_t DifferingBytes(const std::vector<uint8_t>& A, const std::vector<uint8_t>& B)
{
    int32_t N = A.size() == B.size() ? 0 : -1;
    for (size_t I = 0; I < std::min(A.size(), B.size()); ++I)
        N += A[I] != B[I];
    return N;
}

TEST_F(TFrameTest, ATextWhosePathIsDeletedShowsAsTheSavedDocumentReopens)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Settle();
    TfrmChild* W = Frame->ActiveDocWindow();
    ASSERT_NE(W, nullptr);
    TPage* Page = ActivePage();
    auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
    ASSERT_NE(Sel, nullptr);

    TTextObj* T = nullptr;
    TDrawItem* Stroke = nullptr;
    ASSERT_NO_FATAL_FAILURE(AddTextAndStroke(*Page, T, Stroke));
    THistoryCommand* History = W->Document()->History();
    History->ClearHistory();
    History->ResetObjCount();
    const std::vector<uint8_t> Straight = Rendered(*W);

    Sel->ClearSelection();
    Sel->AddItem(T);
    Sel->AddItem(Stroke);
    TChildMenus* Menus = Frame->findChild<TChildMenus*>();
    ASSERT_NE(Menus, nullptr);
    Menus->UpdateOwnCommands();
    ASSERT_TRUE(Menus->actTextWithPath->isEnabled());
    Menus->actTextWithPath->trigger();
    ASSERT_EQ(T->LinkedPath(), Stroke);
    const std::vector<uint8_t> Bent = Rendered(*W);
    ASSERT_GT(DifferingBytes(Bent, Straight), 0) << "the text does not follow the stroke";

    Sel->ClearSelection();
    Sel->AddItem(Stroke);
    Frame->actDel->trigger();
    ASSERT_EQ(Page->RootGroup().GetCount(), 1);
    const std::vector<uint8_t> Shown = Rendered(*W);

    const std::string Path = Tmp / "on-path.srn";
    {
        TMemoryStream S;
        W->Document()->SaveToStream(S);
        std::ofstream(Path, std::ios::binary)
            .write(static_cast<const char*>(S.Memory()), static_cast<std::streamsize>(S.Size()));
    }
    Frame->OpenFile(Path);
    Settle();
    TfrmChild* Reopened = Frame->ActiveDocWindow();
    ASSERT_NE(Reopened, nullptr);
    ASSERT_NE(Reopened, W);
    const std::vector<uint8_t> Read = Rendered(*Reopened);
    ASSERT_FALSE(Read.empty());
    EXPECT_EQ(DifferingBytes(Shown, Read), 0);

    // The undo gives the stroke back, and the text on it.
    W->actUndoExecute();
    EXPECT_EQ(DifferingBytes(Rendered(*W), Bent), 0);
    W->actRedoExecute();
    EXPECT_EQ(DifferingBytes(Rendered(*W), Shown), 0);
}

// The stroke moved with the arrow keys after the text was laid on it: the
// window shows the text on the moved stroke exactly as the saved document
// shows it reopened, and undo and redo show the text on the stroke as it was
// and is, pixel for pixel.
TEST_F(TFrameTest, ATextFollowsItsPathMovedWithTheArrowKeysAsTheSavedDocumentReopens)
{
    ASSERT_NO_FATAL_FAILURE(Start());
    Settle();
    TfrmChild* W = Frame->ActiveDocWindow();
    ASSERT_NE(W, nullptr);
    TPage* Page = ActivePage();
    auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
    ASSERT_NE(Sel, nullptr);

    TTextObj* T = nullptr;
    TDrawItem* Stroke = nullptr;
    ASSERT_NO_FATAL_FAILURE(AddTextAndStroke(*Page, T, Stroke));
    THistoryCommand* History = W->Document()->History();
    History->ClearHistory();
    History->ResetObjCount();

    Sel->ClearSelection();
    Sel->AddItem(T);
    Sel->AddItem(Stroke);
    TChildMenus* Menus = Frame->findChild<TChildMenus*>();
    ASSERT_NE(Menus, nullptr);
    Menus->UpdateOwnCommands();
    ASSERT_TRUE(Menus->actTextWithPath->isEnabled());
    Menus->actTextWithPath->trigger();
    ASSERT_EQ(T->LinkedPath(), Stroke);
    const std::vector<uint8_t> Bent = Rendered(*W);

    Sel->ClearSelection();
    Sel->AddItem(Stroke);
    const TRect Was = Stroke->GetBounds();
    for (Qt::Key K : {Qt::Key_Right, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right}) {
        QKeyEvent E(QEvent::KeyPress, K, Qt::ShiftModifier);
        QApplication::sendEvent(W, &E);
    }
    ASSERT_EQ(Stroke->GetBounds().Left, Was.Left + 15);
    ASSERT_EQ(Stroke->GetBounds().Top, Was.Top + 5);
    // Nothing selected: the selection's frame is not part of the picture.
    Sel->ClearSelection();
    const std::vector<uint8_t> Shown = Rendered(*W);
    ASSERT_GT(DifferingBytes(Shown, Bent), 0);

    const std::string Path = Tmp / "moved-path.srn";
    {
        TMemoryStream S;
        W->Document()->SaveToStream(S);
        std::ofstream(Path, std::ios::binary)
            .write(static_cast<const char*>(S.Memory()), static_cast<std::streamsize>(S.Size()));
    }
    Frame->OpenFile(Path);
    Settle();
    TfrmChild* Reopened = Frame->ActiveDocWindow();
    ASSERT_NE(Reopened, nullptr);
    ASSERT_NE(Reopened, W);
    const std::vector<uint8_t> Read = Rendered(*Reopened);
    ASSERT_FALSE(Read.empty());
    EXPECT_EQ(DifferingBytes(Shown, Read), 0);

    for (int I = 0; I < 4; ++I)
        W->actUndoExecute();
    Sel->ClearSelection();
    EXPECT_EQ(DifferingBytes(Rendered(*W), Bent), 0);
    for (int I = 0; I < 4; ++I)
        W->actRedoExecute();
    Sel->ClearSelection();
    EXPECT_EQ(DifferingBytes(Rendered(*W), Shown), 0);
}

} // namespace
