// The document window's editing commands: clipboard between documents,
// stacking and grouping, alignment and spacing, arrow keys, node commands,
// command enabling by selection state, and exact undo and redo of each.
#include "child_test_support.h"
#include "shell_test_support.h"

#include "model/clipboard_service.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/text_object.h"
#include "editors/frm_obj_property.h"
#include "editors/macro_paint_page.h"
#include "paint/macro_list.h"
#include "platform/cp932.h"
#include "model/draw_group.h"
#include "ui/edit_track_bar_wex.h"

#include <QPointer>
#include "ui/draw_item_clipboard.h"

#include "foundation/user_error.h"
#include "platform/message_box.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QTextCursor>
#include <QTextEdit>

#include <functional>

namespace {

// A rectangle that refuses to move.
class TFailingRect : public TRectObj {
public:
    using TRectObj::TRectObj;
    void MoveBy(int32_t, int32_t) override { throw EUserError("move failed"); }
};

// A rectangle whose next invalidation fails (once), as a change that
// raises half way through a command.
class TOnceFailingRect : public TRectObj {
public:
    using TRectObj::TRectObj;
    void Invalidate(bool Flag) override
    {
        if (FailNext) {
            FailNext = false;
            throw EUserError("invalidate failed");
        }
        TRectObj::Invalidate(Flag);
    }
    bool FailNext = false;
};

// A rectangle that counts its paints.
class TCountingRect : public TRectObj {
public:
    using TRectObj::TRectObj;
    void Paint(TrecDrawTarget& Target, uint8_t Mode, TListRecPict* Store, uint8_t* Abort, int32_t Flags) override
    {
        ++Paints;
        TRectObj::Paint(Target, Mode, Store, Abort, Flags);
    }
    int32_t Paints = 0;
};

struct DocCommandsTest : ChildFormTest {
    TRealObjectTypes Types;
    TClipboardServiceQt Clipboard;
    void SetUp() override
    {
        ChildFormTest::SetUp();
        SetClipboardService(&Clipboard);
    }
    void TearDown() override
    {
        SetClipboardService(nullptr);
        ChildFormTest::TearDown();
    }
    static TSelectedObjects& SelOf(TfrmChild* W) { return *dynamic_cast<TSelectedObjects*>(PageOf(W).Selection()); }
    static TRectObj* AddRect(TfrmChild* W, int32_t X, int32_t Y, int32_t Width, int32_t Height)
    {
        auto R = std::make_unique<TRectObj>(&PageOf(W), -1);
        R->SetFrame(X, Y, Width, Height);
        return static_cast<TRectObj*>(PageOf(W).RootGroup().AddChild(std::move(R), -1));
    }
    static TPolyLineObj* AddPoly(TfrmChild* W, const std::vector<std::tuple<int32_t, int32_t, uint8_t>>& Points)
    {
        auto P = std::make_unique<TPolyLineObj>(&PageOf(W), -1);
        P->SetPathRecord(MakePath(Points));
        return static_cast<TPolyLineObj*>(PageOf(W).RootGroup().AddChild(std::move(P), -1));
    }
    static void Select(TfrmChild* W, const std::vector<TDrawItem*>& Items)
    {
        SelOf(W).ClearSelection();
        for (TDrawItem* I : Items)
            SelOf(W).AddItem(I);
        SelOf(W).CalcBounds();
    }
    // Node mode on the one selected polyline with the nodes at Indexes selected.
    static void SelectNodes(TfrmChild* W, TPolyLineObj* P, const std::vector<int32_t>& Indexes)
    {
        Select(W, {P});
        TSelectedObjects& S = SelOf(W);
        S.SetEditMode(1);
        S.RebuildAnchors();
        for (int32_t I : Indexes)
            S.GetAnchors().SetNodeSelected(S.GetAnchors().FindNodeAnchor(P, I), 1, -1);
    }
    static std::vector<uint8_t> DocStream(TfrmChild* W)
    {
        TMemoryStream S;
        W->Document()->SaveToStream(S);
        return Bytes(S);
    }
    static TRect BoundsOf(TDrawItem* I) { return I->GetBounds(); }
    static void Key(TfrmChild* W, Qt::Key K, Qt::KeyboardModifiers M = Qt::NoModifier)
    {
        QKeyEvent E(QEvent::KeyPress, K, M);
        QApplication::sendEvent(W, &E);
    }
};

} // namespace

TEST_F(DocCommandsTest, CopyAndPasteBetweenTwoDocumentsThroughTheClipboard)
{
    TfrmChild* A = Open(400, 300);
    TRectObj* R = AddRect(A, 10, 20, 30, 40);
    Select(A, {R});
    A->actCopyExecute();
    EXPECT_TRUE(ClipboardHasDrawItem());

    TfrmChild* B = Open(400, 300);
    const std::vector<uint8_t> Before = DocStream(B);
    B->actPasteExecute();
    TDrawGroup& Root = PageOf(B).RootGroup();
    ASSERT_EQ(Root.GetCount(), 1);
    EXPECT_EQ(Root.GetItem(0)->GetClass().Name, std::string("TRectObj"));
    EXPECT_TRUE(BoundsOf(Root.GetItem(0)) == BoundsOf(R));
    EXPECT_EQ(SelOf(B).Count(), 1);
    THistoryCommand& H = *B->Document()->History();
    EXPECT_EQ(H.UndoCaption(), "貼り付け(&P)");
    const std::vector<uint8_t> After = DocStream(B);
    B->actUndoExecute();
    EXPECT_EQ(DocStream(B), Before);
    B->actRedoExecute();
    EXPECT_EQ(DocStream(B), After);
}

// Ctrl+V and the window's repaint: the pasted rectangle shows in the page
// picture, painted over the page as it was; the one beneath is not painted
// again.
TEST_F(DocCommandsTest, APasteShowsInThePagePictureWithoutPaintingWhatLiesBeneath)
{
    TTestMacroLibrary Macros;
    const auto Filled = [](TRectObj& R, const char* Colour) {
        R.Macros().Clear();
        R.Macros().Add(TTestMacroLibrary::Get(Colour));
        R.SetFillPath(1);
    };
    TfrmChild* B = Open(200, 150);
    TRectObj* Blue = AddRect(B, 40, 30, 60, 50);
    Filled(*Blue, "Blue");
    Select(B, {Blue});
    B->actCopyExecute();
    TfrmChild* A = Open(200, 150);
    auto Under = std::make_unique<TCountingRect>(&PageOf(A), -1);
    Under->SetFrame(10, 10, 120, 100);
    Filled(*Under, "Red");
    auto* U = static_cast<TCountingRect*>(PageOf(A).RootGroup().AddChild(std::move(Under), -1));
    Settle();
    ASSERT_EQ(PageOf(A).DirtyRect(), EmptyExtent);
    EXPECT_EQ(PagePixel(PageOf(A), 70, 60), 0xFF0000u);
    U->Paints = 0;
    A->actPasteExecute();
    Settle();
    EXPECT_EQ(PageOf(A).DirtyRect(), EmptyExtent);
    EXPECT_EQ(U->Paints, 0);
    EXPECT_EQ(PagePixel(PageOf(A), 70, 60), 0x0000FFu);
    EXPECT_EQ(PagePixel(PageOf(A), 20, 20), 0xFF0000u);
    EXPECT_EQ(PagePixel(PageOf(A), 150, 20), 0xFFFFFFu);
}

// Ctrl+V of three shapes carrying effects that shade, shadow and blur what
// lies beneath, over shapes carrying the same, then Ctrl+Z: the page picture
// is again exactly what it was.
TEST_F(DocCommandsTest, UndoingAPasteOverEffectsGivesThePagePictureBackExactly)
{
    TCatalogueLibraries Catalogue;
    const auto AddLaden = [](TfrmChild* W, int32_t X, int32_t Y, int32_t Width, int32_t Height) {
        auto R = std::make_unique<TRectObj>(&PageOf(W), -1);
        R->SetFrame(X, Y, Width, Height);
        R->Macros().Clear();
        for (const char* Name : {"塗り(ボカシ)", "塗り（影）", "エンボス（照明）", "ベベル（照明）", "ぼかし"}) {
            R->Macros().Add(std::make_unique<TMacro>());
            EXPECT_TRUE(R->Macros().GetMacro(R->Macros().Count() - 1)->LoadFromLibrary(Name));
        }
        R->SetFillPath(1);
        return PageOf(W).RootGroup().AddChild(std::move(R), -1);
    };
    TfrmChild* B = Open(200, 150);
    Select(B, {AddLaden(B, 30, 25, 40, 35), AddLaden(B, 75, 45, 40, 35), AddLaden(B, 120, 65, 40, 35)});
    B->actCopyExecute();
    TfrmChild* A = Open(200, 150);
    for (int32_t I = 0; I < 8; ++I)
        AddLaden(A, 8 + 22 * I, 12 + 30 * (I % 4), 30, 28);
    const auto Picture = [&] {
        Settle();
        std::vector<uint32_t> P;
        for (int32_t Y = 0; Y < 150; ++Y)
            for (int32_t X = 0; X < 200; ++X)
                P.push_back(PagePixel(PageOf(A), X, Y));
        return P;
    };
    const std::vector<uint32_t> Before = Picture();
    A->actPasteExecute();
    ASSERT_NE(Picture(), Before);
    A->actUndoExecute();
    const std::vector<uint32_t> Undone = Picture();
    int32_t Differ = 0;
    for (size_t I = 0; I < Before.size(); ++I)
        Differ += Undone[I] != Before[I];
    EXPECT_EQ(Differ, 0);
}

TEST_F(DocCommandsTest, APasteThatCannotBeReadShowsTheErrorAndAddsNothing)
{
    TfrmChild* W = Open(400, 300);
    std::vector<std::string> Boxes;
    const TMessageBoxHandler Old = SetMessageBoxHandler(
        [&](void*, const std::string& Text, const std::string& Caption, uint32_t) {
            Boxes.push_back(Caption + ":" + Text);
            return IDOK;
        });
    // The header of the text form, then the text cut off in the middle.
    const std::string Text = DrawItemText(1);
    QGuiApplication::clipboard()->setText(QString::fromStdString(Text.substr(0, Text.size() / 2)));
    ASSERT_TRUE(ClipboardHasDrawItem());
    W->Document()->History()->ClearHistory();
    const std::vector<uint8_t> Before = DocStream(W);
    W->actPasteExecute();
    SetMessageBoxHandler(Old);
    EXPECT_EQ(Boxes, std::vector<std::string>{"エラー:クリップボードからの読み込みに失敗しました"});
    EXPECT_EQ(DocStream(W), Before);
    EXPECT_EQ(SelOf(W).Count(), 0);
    EXPECT_FALSE(W->Document()->History()->CanUndo());
}

TEST_F(DocCommandsTest, AlignmentSpacingAndNudgingGiveExactPositions)
{
    TfrmChild* W = Open(400, 300);
    TRectObj* A = AddRect(W, 0, 0, 20, 10);
    TRectObj* B = AddRect(W, 10, 30, 40, 10);
    TRectObj* C = AddRect(W, 100, 60, 10, 30);
    ASSERT_TRUE(BoundsOf(A) == (TRect{0, 0, 20, 10}));
    struct TCase {
        std::function<void(TfrmChild*)> Command;
        TRect A, B, C;
    };
    // The selection's bounds are (0, 0)-(110, 90); the page is 400 x 300.
    const TCase Cases[] = {
        {&TfrmChild::actArngLeftExecute, {0, 0, 20, 10}, {0, 30, 40, 40}, {0, 60, 10, 90}},
        {&TfrmChild::actArngRightExecute, {90, 0, 110, 10}, {70, 30, 110, 40}, {100, 60, 110, 90}},
        {&TfrmChild::actCenterHExecute, {45, 0, 65, 10}, {35, 30, 75, 40}, {50, 60, 60, 90}},
        {&TfrmChild::actImgCenterHExecute, {190, 0, 210, 10}, {180, 30, 220, 40}, {195, 60, 205, 90}},
        {&TfrmChild::actArngTopExecute, {0, 0, 20, 10}, {10, 0, 50, 10}, {100, 0, 110, 30}},
        {&TfrmChild::actArngBottomExecute, {0, 80, 20, 90}, {10, 80, 50, 90}, {100, 60, 110, 90}},
        {&TfrmChild::actCenterVExecute, {0, 40, 20, 50}, {10, 40, 50, 50}, {100, 30, 110, 60}},
        {&TfrmChild::actImgCenterVExecute, {0, 145, 20, 155}, {10, 145, 50, 155}, {100, 135, 110, 165}},
        // Left edges 0, 10, 100: the middle one goes to 50.
        {&TfrmChild::actEqualHExecute, {0, 0, 20, 10}, {50, 30, 90, 40}, {100, 60, 110, 90}},
        {&TfrmChild::actEqualVExecute, {0, 0, 20, 10}, {10, 30, 50, 40}, {100, 60, 110, 90}},
        {[](TfrmChild* W) { Key(W, Qt::Key_Right); }, {1, 0, 21, 10}, {11, 30, 51, 40}, {101, 60, 111, 90}},
        {[](TfrmChild* W) { Key(W, Qt::Key_Up, Qt::ShiftModifier); }, {0, -5, 20, 5}, {10, 25, 50, 35}, {100, 55, 110, 85}},
    };
    THistoryCommand& H = *W->Document()->History();
    for (const TCase& T : Cases) {
        Select(W, {A, B, C});
        T.Command(W);
        EXPECT_TRUE(BoundsOf(A) == T.A) << H.UndoCaption();
        EXPECT_TRUE(BoundsOf(B) == T.B) << H.UndoCaption();
        EXPECT_TRUE(BoundsOf(C) == T.C) << H.UndoCaption();
        W->actUndoExecute();
        ASSERT_TRUE(BoundsOf(B) == (TRect{10, 30, 50, 40})) << H.RedoCaption();
    }
    // Ctrl+Right grows the selection by one step with its left edge kept.
    Select(W, {A});
    Key(W, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(H.UndoCaption(), "選択図形の拡大／縮小");
    EXPECT_EQ(BoundsOf(A).Left, 0);
    EXPECT_EQ(BoundsOf(A).Right, 21);
}

TEST_F(DocCommandsTest, StackingAndGrouping)
{
    TfrmChild* W = Open(400, 300);
    TRectObj* A = AddRect(W, 0, 0, 10, 10);
    TRectObj* B = AddRect(W, 20, 0, 10, 10);
    TRectObj* C = AddRect(W, 40, 0, 10, 10);
    TDrawGroup& Root = PageOf(W).RootGroup();
    auto Order = [&] {
        std::vector<TDrawItem*> R;
        for (int32_t I = 0; I < Root.GetCount(); ++I)
            R.push_back(Root.GetItem(I));
        return R;
    };
    Select(W, {A});
    W->act1UpExecute();
    EXPECT_EQ(Order(), (std::vector<TDrawItem*>{B, A, C}));
    W->act1DownExecute();
    EXPECT_EQ(Order(), (std::vector<TDrawItem*>{A, B, C}));
    Select(W, {C, A});
    W->act1UpExecute(); // two selected: nothing
    EXPECT_EQ(Order(), (std::vector<TDrawItem*>{A, B, C}));
    W->actBottomExecute();
    EXPECT_EQ(Order(), (std::vector<TDrawItem*>{A, C, B}));
    W->actTopExecute();
    EXPECT_EQ(Order(), (std::vector<TDrawItem*>{B, A, C}));
    // Grouping keeps the stacking order of the selection order given.
    Select(W, {B, A, C});
    W->actGroupExecute();
    ASSERT_EQ(Root.GetCount(), 1);
    auto* G = dynamic_cast<TDrawGroup*>(Root.GetItem(0));
    ASSERT_NE(G, nullptr);
    EXPECT_EQ(G->GetItem(0), B);
    EXPECT_EQ(G->GetItem(1), A);
    EXPECT_EQ(G->GetItem(2), C);
    EXPECT_EQ(W->Document()->History()->UndoCaption(), "グループ化");
}

TEST_F(DocCommandsTest, NodeCommandsOnAHandMadePolyline)
{
    TfrmChild* W = Open(400, 300);
    TPolyLineObj* P = AddPoly(W, {{0, 0, 6}, {10, 0, 2}, {20, 5, 2}, {30, 0, 2}});
    SelectNodes(W, P, {1, 2});
    W->actNodeSmoothExecute();
    EXPECT_EQ(P->GetNodeKind(1), 1);
    EXPECT_EQ(P->GetNodeKind(2), 1);
    W->actNodeSharpExecute();
    EXPECT_EQ(P->GetNodeKind(1), 0);
    // Nodes align on their own bounds and move with the arrow keys.
    W->actArngTopExecute();
    EXPECT_EQ(PointsOf(P->BasePath()), (std::vector<TPoint>{{0, 0}, {10, 0}, {20, 0}, {30, 0}}));
    Key(W, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(PointsOf(P->BasePath()), (std::vector<TPoint>{{0, 0}, {10, 5}, {20, 5}, {30, 0}}));
    EXPECT_EQ(W->Document()->History()->UndoCaption(), "選択ノードの移動");
    // The segment between the two nodes becomes a curve: two control points.
    W->actLineToBezierExecute();
    EXPECT_EQ(P->BasePath().Count, 6);
}

TEST_F(DocCommandsTest, CommandsFollowTheSelectionState)
{
    TfrmChild* W = Open(400, 300);
    TRectObj* A = AddRect(W, 0, 0, 10, 10);
    TRectObj* B = AddRect(W, 20, 0, 10, 10);
    TPolyLineObj* P = AddPoly(W, {{0, 0, 6}, {10, 0, 2}, {20, 5, 2}});
    TPolyLineObj* Q = AddPoly(W, {{0, 50, 6}, {10, 50, 2}});
    using namespace FrameCommand;
    const int32_t Watched[] = {actCut,      actDel,      actMerge,    actUnMerge, actToPolyLine, act1Up,
                               actTop,      actArngLeft, actEqualV,   actImgCenterH, actNodeSmooth,
                               actNodeSharp, actNodeSym, actNodeDivide, actNodeConnect, actBezierToLine,
                               actLineToBezier};
    struct TCase {
        const char* Name;
        std::function<void()> Set;
        std::vector<int32_t> Enabled;
    };
    const TCase Cases[] = {
        {"none", [&] { Select(W, {}); }, {}},
        {"one rect", [&] { Select(W, {A}); }, {actCut, actDel, actToPolyLine, act1Up, actTop, actImgCenterH}},
        {"two rects", [&] { Select(W, {A, B}); },
         {actCut, actDel, actToPolyLine, actTop, actArngLeft, actEqualV, actImgCenterH}},
        {"one line", [&] { Select(W, {P}); }, {actCut, actDel, actUnMerge, act1Up, actTop, actImgCenterH}},
        {"two lines", [&] { Select(W, {P, Q}); },
         {actCut, actDel, actMerge, actUnMerge, actToPolyLine, actTop, actArngLeft, actEqualV, actImgCenterH}},
        {"a middle node", [&] { SelectNodes(W, P, {1}); },
         {actDel, actImgCenterH, actNodeSmooth, actNodeSym, actNodeDivide}},
        {"two neighbour nodes", [&] { SelectNodes(W, P, {1, 2}); },
         {actDel, actArngLeft, actEqualV, actImgCenterH, actNodeSmooth, actNodeSym, actNodeDivide, actLineToBezier}},
        {"two end nodes", [&] { SelectNodes(W, P, {0, 2}); },
         {actDel, actArngLeft, actEqualV, actImgCenterH, actNodeConnect}},
    };
    for (const TCase& C : Cases) {
        SelOf(W).SetEditMode(0);
        C.Set();
        W->UpdateActionStates();
        for (int32_t I : Watched) {
            const bool Expected = std::find(C.Enabled.begin(), C.Enabled.end(), I) != C.Enabled.end();
            EXPECT_EQ(Frame.Actions[I]->isEnabled(), Expected) << C.Name << " command " << I;
        }
    }
}

TEST_F(DocCommandsTest, SelectionStatusAndTextOnAPath)
{
    TfrmChild* W = Open(400, 300);
    TRectObj* A = AddRect(W, 10, 20, 30, 41);
    TRectObj* B = AddRect(W, 20, 0, 10, 10);
    auto* T = static_cast<TTextObj*>(PageOf(W).RootGroup().AddChild(std::make_unique<TTextObj>(&PageOf(W), -1), -1));
    const std::pair<std::vector<TDrawItem*>, std::string> Cases[] = {
        {{A}, "中心=(25,40),回転角=0.0'"}, {{A, B}, "2個の図形を選択中"}, {{}, ""}, {{T}, "回転角=0.0'"}};
    for (const auto& [Items, Status] : Cases) {
        Select(W, Items);
        W->SelectionChanged(false);
        EXPECT_EQ(Frame.Status[1], Status);
    }
    // The text follows the other item; the link is no step of the history.
    Select(W, {T, A});
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    W->actTextWithPathExecute();
    EXPECT_EQ(T->LinkedPath(), A);
    EXPECT_FALSE(H.CanUndo());
}

TEST_F(DocCommandsTest, SelectionIsHandedToThePropertyPanel)
{
    frmObjProperty = std::make_unique<TfrmObjProperty>(nullptr);
    TfrmChild* W = Open(400, 300);
    TRectObj* A = AddRect(W, 0, 0, 10, 10);
    TRectObj* B = AddRect(W, 20, 0, 10, 10);
    for (const std::vector<TDrawItem*>& Items : {std::vector<TDrawItem*>{}, {A}, {A, B}}) {
        Select(W, Items);
        W->SelectionChanged(false);
        EXPECT_EQ(frmObjProperty->Targets(), Items);
        EXPECT_EQ(frmObjProperty->Page(), Items.empty() ? nullptr : &PageOf(W));
        // One item is itself the panel's item; several stand together.
        if (Items.size() == 1) {
            EXPECT_EQ(frmObjProperty->DrawItem(), A);
        }
        EXPECT_EQ(frmObjProperty->DrawItem() != nullptr, !Items.empty());
        EXPECT_EQ(frmObjProperty->MultiSelection(), Items.size() > 1);
    }
    // An edit in the panel is one step of the window's document.
    Select(W, {A, B});
    W->SelectionChanged(false);
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    frmObjProperty->edtWidth->setText("40");
    frmObjProperty->CommitEdit(frmObjProperty->edtWidth);
    EXPECT_EQ(A->Width(), 40);
    EXPECT_EQ(B->Width(), 40);
    EXPECT_EQ(H.UndoCaption(), "幅の設定");
    H.Undo();
    EXPECT_EQ(A->Width(), 10);
    EXPECT_EQ(B->Width(), 10);
    // A window that goes takes its selection out of the panel.
    W->Document()->SetModified(false);
    QPointer<TfrmChild> Gone(W);
    W->SubWindow()->close();
    Settle();
    ASSERT_TRUE(Gone.isNull());
    EXPECT_EQ(frmObjProperty->DrawItem(), nullptr);
    EXPECT_EQ(frmObjProperty->DocLink(), nullptr);
    frmObjProperty.reset();
}

// The panel at work on a window's text: a fill added from the macro page
// paints the text on the page, and what an input method commits into the
// text page's edit is typed into the object and shown, each one undo step.
TEST_F(DocCommandsTest, ThePanelAddsEffectsAndTypesTextOntoThePage)
{
    TCatalogueLibraries Catalogue;
    frmObjProperty = std::make_unique<TfrmObjProperty>(nullptr);
    TfrmChild* W = Open(400, 300);
    auto* T = static_cast<TTextObj*>(PageOf(W).RootGroup().AddChild(std::make_unique<TTextObj>(&PageOf(W), -1), -1));
    T->SetPosition(150, 120);
    T->SetNewText(Utf8ToCp932("A"));
    Select(W, {T});
    W->SelectionChanged(false);
    ASSERT_EQ(frmObjProperty->DrawItem(), T);
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    W->Document()->SetModified(false);
    auto Grab = [&] {
        Settle();
        return W->pboxkClient->grab().toImage().convertToFormat(QImage::Format_RGB32);
    };
    auto Changed = [](const QImage& A, const QImage& B) {
        int N = 0;
        for (int Y = 0; Y < std::min(A.height(), B.height()); ++Y)
            for (int X = 0; X < std::min(A.width(), B.width()); ++X)
                N += A.pixel(X, Y) != B.pixel(X, Y);
        return N;
    };
    const QImage Bare = Grab();
    const int32_t Macros = T->Macros().Count();

    TMacroPaintPage::PickMacro = [](QWidget*, std::string& Name) {
        Name = "塗り(ボカシ)";
        return true;
    };
    frmObjProperty->MacroPage->MacroAddClick();
    TMacroPaintPage::PickMacro = nullptr;
    ASSERT_EQ(T->Macros().Count(), Macros + 1);
    EXPECT_EQ(H.UndoCaption(), "描画マクロ'塗り(ボカシ)'の追加");
    EXPECT_TRUE(W->Document()->Modified());
    const QImage Painted = Grab();
    EXPECT_GT(Changed(Bare, Painted), 50);

    // The caret after "A"; the input method commits two kanji there.
    auto* Edit = frmObjProperty->RichEdit;
    QTextCursor C = Edit->textCursor();
    C.movePosition(QTextCursor::End);
    Edit->setTextCursor(C);
    QInputMethodEvent Commit;
    Commit.setCommitString(QString::fromUtf8("文字"));
    QApplication::sendEvent(Edit, &Commit);
    EXPECT_EQ(T->Text(), Utf8ToCp932("A文字"));
    EXPECT_EQ(H.UndoCaption(), "文字列の挿入");
    EXPECT_GT(Changed(Painted, Grab()), 50);

    // Undo from the window: the edit shows the text as it is again.
    W->actUndoExecute();
    EXPECT_EQ(T->Text(), Utf8ToCp932("A"));
    EXPECT_EQ(Edit->toPlainText(), "A");
    // The caret stays where it was, as far as the text now goes.
    EXPECT_EQ(Edit->textCursor().position(), 1);
    EXPECT_FALSE(Edit->textCursor().hasSelection());
    W->actRedoExecute();
    EXPECT_EQ(Edit->toPlainText(), QString::fromUtf8("A文字"));
    frmObjProperty.reset();
}

// Every recorded command: one step with its caption; undo gives the
// document's stream back byte for byte and redo the stream after it.
TEST_F(DocCommandsTest, EveryCommandUndoesAndRedoesExactly)
{
    TfrmChild* W = Open(400, 300);
    // Undo brings deleted items back as new objects under their IDs: the
    // cases find them by ID each time.
    const int32_t IDs[] = {AddRect(W, 0, 0, 20, 10)->ObjID(), AddRect(W, 10, 30, 40, 10)->ObjID(),
                           AddRect(W, 100, 60, 10, 30)->ObjID(),
                           AddPoly(W, {{0, 0, 6}, {10, 0, 2}, {20, 5, 2}, {30, 0, 2}})->ObjID(),
                           AddPoly(W, {{0, 50, 6}, {10, 50, 2}})->ObjID()};
    auto Item = [&](int32_t N) -> TDrawItem* {
        TDrawGroup& Root = PageOf(W).RootGroup();
        for (int32_t I = 0; I < Root.GetCount(); ++I)
            if (Root.GetItem(I)->ObjID() == IDs[N])
                return Root.GetItem(I);
        ADD_FAILURE() << "item " << N << " is gone";
        return nullptr;
    };
    enum { A, B, C, P, Q };
    struct TCase {
        const char* Caption;
        std::function<void()> Set;
        std::function<void()> Run;
    };
    auto Sel = [&](std::initializer_list<int32_t> Ns) {
        std::vector<TDrawItem*> Items;
        for (int32_t N : Ns)
            Items.push_back(Item(N));
        Select(W, Items);
    };
    auto Items = [&] { Sel({A, B, C}); };
    auto Nodes = [&] { SelectNodes(W, static_cast<TPolyLineObj*>(Item(P)), {1, 2}); };
    const TCase Cases[] = {
        {"左寄せ配置", Items, [&] { W->actArngLeftExecute(); }},
        {"右寄せ配置", Items, [&] { W->actArngRightExecute(); }},
        {"水平に中央配置", Items, [&] { W->actCenterHExecute(); }},
        {"水平に画像中央配置", Items, [&] { W->actImgCenterHExecute(); }},
        {"上寄せ配置", Items, [&] { W->actArngTopExecute(); }},
        {"下寄せ配置", Items, [&] { W->actArngBottomExecute(); }},
        {"垂直に中央配置", Items, [&] { W->actCenterVExecute(); }},
        {"垂直に画像中央配置", Items, [&] { W->actImgCenterVExecute(); }},
        {"水平に均等配置", Items, [&] { W->actEqualHExecute(); }},
        {"垂直に均等配置", [&] { Sel({A, C, Q}); }, [&] { W->actEqualVExecute(); }},
        {"１つ手前に", [&] { Sel({A}); }, [&] { W->act1UpExecute(); }},
        {"１つ後ろへ", [&] { Sel({B}); }, [&] { W->act1DownExecute(); }},
        {"１番手前に", [&] { Sel({A}); }, [&] { W->actTopExecute(); }},
        {"１番後ろへ", [&] { Sel({C}); }, [&] { W->actBottomExecute(); }},
        {"グループ化", Items, [&] { W->actGroupExecute(); }},
        {"選択図形の移動", Items, [&] { Key(W, Qt::Key_Left, Qt::ShiftModifier); }},
        {"選択図形の拡大／縮小", Items, [&] { Key(W, Qt::Key_Down, Qt::ControlModifier); }},
        {"線図形化", [&] { Sel({A}); }, [&] { W->actToPolyLineExecute(); }},
        {"線合成", [&] { Sel({P, Q}); }, [&] { W->actMergeExecute(); }},
        {"ノードスムース化", Nodes, [&] { W->actNodeSmoothExecute(); }},
        {"ノード対象化", Nodes, [&] { W->actNodeSymExecute(); }},
        {"曲線化", Nodes, [&] { W->actLineToBezierExecute(); }},
        {"分割", Nodes, [&] { W->actNodeDivideExecute(); }},
        {"選択ノードの移動", Nodes, [&] { Key(W, Qt::Key_Right); }},
        {"垂直に中央配置", Nodes, [&] { W->actCenterVExecute(); }},
    };
    THistoryCommand& H = *W->Document()->History();
    for (const TCase& T : Cases) {
        SelOf(W).SetEditMode(0);
        T.Set();
        H.ClearHistory();
        const std::vector<uint8_t> Before = DocStream(W);
        T.Run();
        ASSERT_TRUE(H.CanUndo()) << T.Caption;
        EXPECT_EQ(H.UndoCaption(), T.Caption);
        const std::vector<uint8_t> After = DocStream(W);
        EXPECT_NE(After, Before) << T.Caption;
        W->actUndoExecute();
        EXPECT_EQ(DocStream(W), Before) << T.Caption;
        W->actRedoExecute();
        EXPECT_EQ(DocStream(W), After) << T.Caption;
        W->actUndoExecute();
    }
    // A command that changes nothing leaves no step.
    SelOf(W).SetEditMode(0);
    Sel({A});
    H.ClearHistory();
    W->actArngLeftExecute();
    W->act1DownExecute();
    EXPECT_FALSE(H.CanUndo());
}

TEST_F(DocCommandsTest, AnEditThatRaisesLeavesTheDocumentAsItWas)
{
    TfrmChild* W = Open(400, 300);
    TRectObj* A = AddRect(W, 50, 0, 10, 10);
    auto F = std::make_unique<TFailingRect>(&PageOf(W), -1);
    F->SetFrame(100, 0, 10, 10);
    TDrawItem* Failing = PageOf(W).RootGroup().AddChild(std::move(F), -1);
    TRectObj* C = AddRect(W, 0, 0, 10, 10);
    THistoryCommand& H = *W->Document()->History();
    for (auto Command : {&TfrmChild::actArngLeftExecute, &TfrmChild::actEqualHExecute}) {
        Select(W, {A, Failing, C});
        H.ClearHistory();
        const std::vector<uint8_t> Before = DocStream(W);
        (W->*Command)(); // A moves first, then the failing one raises
        EXPECT_EQ(DocStream(W), Before);
        EXPECT_EQ(BoundsOf(A).Left, 50);
        EXPECT_FALSE(H.CanUndo());
        EXPECT_FALSE(H.IsCommandOpen());
    }
}

TEST_F(DocCommandsTest, ACommandThatFailsIsReportedOnceAndLeavesNothing)
{
    TfrmChild* W = Open(400, 300);
    TRectObj* A = AddRect(W, 50, 0, 10, 10);
    auto F = std::make_unique<TFailingRect>(&PageOf(W), -1);
    F->SetFrame(100, 0, 10, 10);
    TDrawItem* Failing = PageOf(W).RootGroup().AddChild(std::move(F), -1);
    auto O = std::make_unique<TOnceFailingRect>(&PageOf(W), -1);
    O->SetFrame(150, 40, 10, 10);
    auto* Once = static_cast<TOnceFailingRect*>(PageOf(W).RootGroup().AddChild(std::move(O), -1));
    TRectObj* C = AddRect(W, 0, 0, 10, 10);
    THistoryCommand& H = *W->Document()->History();
    std::vector<std::string> Boxes;
    const TMessageBoxHandler Old = SetMessageBoxHandler(
        [&](void*, const std::string& Text, const std::string& Caption, uint32_t) {
            Boxes.push_back(Caption + ":" + Text);
            return IDOK;
        });
    struct TCase {
        const char* Name;
        std::vector<TDrawItem*> Items;
        std::function<void()> Run;
        const char* Message;
    };
    const TCase Cases[] = {
        {"左寄せ配置", {A, Failing, C}, [&] { W->actArngLeftExecute(); }, "move failed"},
        {"水平に均等配置", {C, Failing, Once}, [&] { W->actEqualHExecute(); }, "move failed"},
        {"矢印キー", {A, Failing}, [&] { Key(W, Qt::Key_Right); }, "move failed"},
        {"グループ化", {A, Once, C}, [&] {
             Once->FailNext = true;
             W->actGroupExecute();
         }, "invalidate failed"},
    };
    for (const TCase& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        Select(W, Case.Items);
        H.ClearHistory();
        Boxes.clear();
        W->Document()->SetModified(false);
        const std::vector<uint8_t> Before = DocStream(W);
        Case.Run();
        EXPECT_FALSE(W->Document()->Modified());
        EXPECT_EQ(Boxes, std::vector<std::string>{std::string("エラー:") + Case.Message});
        EXPECT_EQ(DocStream(W), Before);
        EXPECT_EQ(PageOf(W).RootGroup().GetCount(), 4);
        EXPECT_FALSE(H.CanUndo());
        EXPECT_FALSE(H.IsCommandOpen());
    }
    SetMessageBoxHandler(Old);
}

// An arrow move of items at the edge of the reach (or of the int32 range,
// where a file may have left them) moves them whole, or is refused: the
// document unchanged, nothing recorded and the refusal shown once.
TEST_F(DocCommandsTest, AnArrowMoveAtTheEdgeMovesWholeOrIsRefusedOnce)
{
    TfrmChild* W = Open(400, 300);
    constexpr int32_t Reach = MaxItemReach;
    TRectObj* AtLimit = AddRect(W, INT32_MAX - 20, INT32_MIN, 20, 10);
    TRectObj* Near = AddRect(W, Reach - 23, 0, 20, 10); // right edge 3 short of the reach
    TRectObj* Inside = AddRect(W, 10, 20, 30, 40);
    THistoryCommand& H = *W->Document()->History();
    std::vector<std::string> Boxes;
    const TMessageBoxHandler Old = SetMessageBoxHandler(
        [&](void*, const std::string& Text, const std::string& Caption, uint32_t) {
            Boxes.push_back(Caption + ":" + Text);
            return IDOK;
        });
    struct TCase {
        const char* Name;
        std::vector<TDrawItem*> Items;
        Qt::Key Key;
        bool Shift;
        bool Moves;
    };
    const TCase Cases[] = {
        {"at the limit and inside, right", {AtLimit, Inside}, Qt::Key_Right, false, false},
        {"at the limit and inside, Shift+right", {AtLimit, Inside}, Qt::Key_Right, true, false},
        {"at the limit, up", {AtLimit}, Qt::Key_Up, false, false},
        {"at the limit, Shift+up", {AtLimit}, Qt::Key_Up, true, false},
        {"at the limit and inside, left", {AtLimit, Inside}, Qt::Key_Left, false, true},
        {"at the limit and inside, Shift+left", {AtLimit, Inside}, Qt::Key_Left, true, true},
        {"at the limit, Shift+down", {AtLimit}, Qt::Key_Down, true, true},
        {"3 short of the reach, Shift+right", {Near}, Qt::Key_Right, true, false},
        {"3 short of the reach and inside, right", {Near, Inside}, Qt::Key_Right, false, true},
        {"3 short of the reach, Shift+left", {Near}, Qt::Key_Left, true, true},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Select(W, C.Items);
        H.ClearHistory();
        Boxes.clear();
        W->Document()->SetModified(false);
        std::vector<TRect> Before;
        for (TDrawItem* I : C.Items)
            Before.push_back(BoundsOf(I));
        const std::vector<uint8_t> Doc = DocStream(W);
        Key(W, C.Key, C.Shift ? Qt::ShiftModifier : Qt::NoModifier);
        if (!C.Moves) {
            EXPECT_EQ(Boxes, std::vector<std::string>{std::string("エラー:") + MoveBeyondReachText});
            EXPECT_EQ(DocStream(W), Doc);
            EXPECT_FALSE(W->Document()->Modified());
            EXPECT_FALSE(H.CanUndo());
            EXPECT_FALSE(H.IsCommandOpen());
            continue;
        }
        EXPECT_TRUE(Boxes.empty());
        const int32_t Step = C.Shift ? 5 : 1;
        const int32_t DX = C.Key == Qt::Key_Left ? -Step : C.Key == Qt::Key_Right ? Step : 0;
        const int32_t DY = C.Key == Qt::Key_Up ? -Step : C.Key == Qt::Key_Down ? Step : 0;
        for (size_t I = 0; I < C.Items.size(); ++I) {
            const TRect& B = Before[I];
            EXPECT_EQ(BoundsOf(C.Items[I]), (TRect{B.Left + DX, B.Top + DY, B.Right + DX, B.Bottom + DY})) << I;
        }
        EXPECT_EQ(H.UndoCaption(), "選択図形の移動");
        W->actUndoExecute();
        EXPECT_EQ(DocStream(W), Doc);
    }
    SetMessageBoxHandler(Old);
}
