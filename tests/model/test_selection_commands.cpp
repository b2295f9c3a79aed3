// Captioned selection commands: exact undo/redo of the item tree, nothing
// recorded for no change, cancelled when raising; clipboard and node commands.
#include "object_test_support.h"

#include "foundation/app_environment.h"
#include "foundation/lists.h"
#include "foundation/user_error.h"
#include "model/clipboard_service.h"
#include "model/page.h"
#include "model/page_views.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/selection_commands.h"
#include "store/picture_store.h"
#include "model/text_object.h"
#include "paint/macro_list.h"
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

class TRecClipboard : public TClipboardService {
public:
    bool OpenClipboard() override { return Calls.push_back("open"), !Busy; }
    void EmptyClipboard() override { Calls.push_back("empty"); }
    void SetClipboardStream(uint32_t Format, TMemoryStream& Stream) override
    {
        Calls.push_back("set " + std::to_string(Format));
        Data = StreamText(Stream);
    }
    void CloseClipboard() override { Calls.push_back("close"); }
    bool Busy = false;
    std::vector<std::string> Calls;
    std::string Data;
};

// A leaf that refuses to move.
class TFailingLeaf : public TTestLeaf {
public:
    using TTestLeaf::TTestLeaf;
    void MoveBy(int32_t, int32_t) override { throw EUserError("move failed"); }
};

struct SelectionCommandsTest : ::testing::Test {
    TPrivateFolders Folders;
    TRealObjectTypes Types;
    std::unique_ptr<TQuietPageDocument> Doc;
    TRecClipboard Clipboard;
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBoxes;
    std::unique_ptr<TPage> Page;
    TSelectedObjects* Sel = nullptr;
    void SetUp() override
    {
        DiscardAppIniFile();
        SetClipboardService(&Clipboard);
        OldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text,
                                               const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
        SetPageSelectionFactory(&NewSelectedObjects);
        Doc = std::make_unique<TQuietPageDocument>();
        Page = std::make_unique<TPage>(&Doc->History);
        Page->SetDocument(Doc.get());
        Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
        ASSERT_NE(Sel, nullptr);
    }
    void TearDown() override
    {
        Page.reset();
        Doc.reset();
        SetPageSelectionFactory(nullptr);
        SetMessageBoxHandler(OldBoxes);
        SetClipboardService(nullptr);
        DiscardAppIniFile();
    }
    TDrawGroup& Root() { return Page->RootGroup(); }
    TRectObj* AddRect(int32_t X, int32_t Y, int32_t W, int32_t H, TDrawGroup* G = nullptr)
    {
        auto R = std::make_unique<TRectObj>(Page.get(), -1);
        R->SetFrame(X, Y, W, H);
        return static_cast<TRectObj*>((G ? G : &Root())->AddChild(std::move(R), -1));
    }
    static std::unique_ptr<TPolyLineObj> NewPoly(TPage& P, const TrecPath& Path)
    {
        auto Poly = std::make_unique<TPolyLineObj>(&P, -1);
        Poly->SetPathRecord(Path);
        return Poly;
    }
    // A polyline from "x, y, point type" triples.
    TPolyLineObj* AddPoly(const std::vector<std::tuple<int32_t, int32_t, uint8_t>>& Points,
                          TDrawGroup* G = nullptr)
    {
        return static_cast<TPolyLineObj*>((G ? G : &Root())->AddChild(NewPoly(*Page, MakePath(Points)), -1));
    }
    TDrawGroup* AddGroup()
    {
        return static_cast<TDrawGroup*>(Root().AddChild(std::make_unique<TDrawGroup>(Page.get(), -1), -1));
    }
    void Ready() { Doc->History.ResetObjCount(); }
    std::vector<uint8_t> Tree() { return StateOf(Root()); }
    static std::vector<int32_t> IDs(const std::vector<TDrawItem*>& Items)
    {
        std::vector<int32_t> R;
        for (TDrawItem* I : Items)
            R.push_back(I->ObjID());
        return R;
    }
    std::vector<int32_t> SelIDs() const { return IDs(Sel->Items()); }
    // Runs Command: one new history command with Caption; undo returns the
    // tree and the selection before it exactly, redo those after it (twice).
    void CheckCommand(const std::string& Caption, const std::function<void()>& Command)
    {
        Ready();
        const std::vector<uint8_t> Before = Tree();
        const std::vector<int32_t> SelBefore = SelIDs();
        const int32_t MenuEnd = Doc->History.MenuEnd();
        Command();
        ASSERT_NE(Doc->History.MenuEnd(), MenuEnd) << Caption;
        EXPECT_EQ(Doc->History.UndoCaption(), Caption);
        EXPECT_FALSE(Doc->History.IsCommandOpen());
        const std::vector<uint8_t> After = Tree();
        const std::vector<int32_t> SelAfter = SelIDs();
        EXPECT_NE(After, Before) << Caption;
        for (int Round = 0; Round < 2; ++Round) {
            Doc->History.Undo();
            EXPECT_EQ(Tree(), Before) << Caption;
            EXPECT_EQ(SelIDs(), SelBefore) << Caption;
            Doc->History.Redo();
            EXPECT_EQ(Tree(), After) << Caption;
            EXPECT_EQ(SelIDs(), SelAfter) << Caption;
        }
    }
    // Command leaves no history command and no change.
    void CheckNothing(const std::function<void()>& Command)
    {
        Ready();
        const std::vector<uint8_t> Before = Tree();
        const int32_t MenuEnd = Doc->History.MenuEnd();
        Command();
        EXPECT_EQ(Doc->History.MenuEnd(), MenuEnd);
        EXPECT_FALSE(Doc->History.IsCommandOpen());
        EXPECT_EQ(Tree(), Before);
    }
    void Select(const std::vector<TDrawItem*>& Items)
    {
        for (TDrawItem* I : Items)
            Sel->AddItemSub(I);
    }
    void SelectNodes(TPolyLineObj* P, const std::vector<int32_t>& Indexes)
    {
        TAnchors& A = Sel->GetAnchors();
        for (int32_t I : Indexes)
            A.SetNodeSelected(A.FindNodeAnchor(P, I), 1, -1);
    }
    static std::vector<TPoint> PointsOf(TPolyLineObj* P) { return ::PointsOf(P->BasePath()); }
    static std::vector<int> TypesOf(TPolyLineObj* P)
    {
        const TrecPath& B = P->BasePath();
        return std::vector<int>(B.pabType.begin(), B.pabType.begin() + B.Count);
    }
};

// ---------------------------------------------------------------------------

TEST_F(SelectionCommandsTest, AddNewItemCaptionsByClass)
{
    AddRect(0, 0, 5, 5);
    auto R = std::make_unique<TRectObj>(Page.get(), -1);
    R->SetFrame(10, 10, 20, 20);
    int32_t ToolCalls = 0;
    CheckCommand("四角形図形の作成", [&] { Sel->CommandAddNewDrawItem(std::move(R), [&] { ++ToolCalls; }); });
    EXPECT_EQ(ToolCalls, 1);
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{Root().GetItem(1)}));
    CheckCommand("線図形の作成", [&] {
        Sel->CommandAddNewDrawItem(NewPoly(*Page, MakePath({{0, 0, 6}, {9, 9, 2}})), nullptr);
    });
    CheckCommand("楕円図形の作成",
                 [&] { Sel->CommandAddNewDrawItem(std::make_unique<TEllipseObj>(Page.get(), -1), nullptr); });
    // An empty text, even with an effect, has nothing to paint: it is added
    // and the page renders.
    TTestMacroLibrary Library;
    TSilentFormDoc View;
    Page->SetPageSize(40, 30);
    Page->AddForm(&View);
    auto T = std::make_unique<TTextObj>(Page.get(), -1);
    T->Macros().Insert(0, *TTestMacroLibrary::Get("Tex"));
    CheckCommand("テキスト図形の作成", [&] { Sel->CommandAddNewDrawItem(std::move(T), nullptr); });
    EXPECT_NO_THROW(Page->Update());
    Page->RemoveForm(&View);
    CheckNothing([&] {
        auto G = std::make_unique<TDrawGroup>(Page.get(), -1);
        EXPECT_EQ(MessageOf<Exception>([&] { Sel->CommandAddNewDrawItem(std::move(G), nullptr); }),
                  "CommandAddNewDrawItem : ClassType Invalidate.");
    });
}

TEST_F(SelectionCommandsTest, DeleteAndEmptyTexts)
{
    TRectObj* A = AddRect(0, 0, 10, 10);
    TDrawGroup* G = AddGroup();
    TRectObj* C = AddRect(20, 0, 10, 10, G);
    AddRect(40, 0, 10, 10, G);
    CheckNothing([&] { Sel->DeleteCommand(CaptionDelete); });
    // A child of a selected group goes with its group.
    Select({C, G, A});
    CheckCommand("選択図形の削除", [&] { Sel->DeleteCommand(CaptionDelete); });
    EXPECT_EQ(Root().GetCount(), 0);
    Doc->History.Undo();
    Sel->EmptyItems();
    auto* T = static_cast<TTextObj*>(Root().AddChild(std::make_unique<TTextObj>(Page.get(), -1), -1));
    Select({T});
    EXPECT_TRUE(Sel->IsOnlyEmptyTexts());
    Ready();
    Doc->History.CommandStart("typing");
    Sel->DeleteEmptyTexts();
    Doc->History.CommandEnd();
    EXPECT_EQ(Root().IndexOf(T), -1);
    Sel->AddItemSub(Root().GetItem(0));
    EXPECT_FALSE(Sel->IsOnlyEmptyTexts());
}

TEST_F(SelectionCommandsTest, CopyAndCutPutTheDrawItemTextOnTheClipboard)
{
    // A copy of nothing empties the clipboard.
    CheckNothing([&] { Sel->CopyToClipboard(); });
    EXPECT_EQ(Clipboard.Calls, (std::vector<std::string>{"open", "empty", "close"}));
    Clipboard.Calls.clear();
    TRectObj* A = AddRect(0, 0, 10, 10);
    TPolyLineObj* P = AddPoly({{0, 0, 6}, {5, 5, 2}});
    Select({P, A});
    CheckNothing([&] { Sel->CopyToClipboard(); });
    EXPECT_EQ(Clipboard.Calls, (std::vector<std::string>{"open", "empty", "set 1", "close"}));
    const std::string T = Clipboard.Data;
    // Header lines, then the temporary group (type 0, ID -1, no name, parent
    // 0, visible, two children), then its children in tree order: the
    // rectangle (type 3) first, each with the group as parent.
    const std::string Head = "Tavro DrawItem\r\n25\r\n0\r\n-1\r\n\r\n0\r\n1\r\n2\r\n3\r\n" +
                             std::to_string(A->ObjID()) + "\r\n\r\n-1\r\n";
    EXPECT_EQ(T.substr(0, Head.size()), Head);
    EXPECT_EQ(T.back(), '\0');
    EXPECT_NE(T.find("\r\n1\r\n" + std::to_string(P->ObjID()) + "\r\n\r\n-1\r\n"), std::string::npos);
    // Paste of what copy produced: two more items, equal to the originals
    // past the type, ID and empty name (13 bytes).
    TMemoryStreamWex In;
    In.SetPointer(T.data(), static_cast<int64_t>(T.size()));
    CheckCommand("貼り付け(&P)", [&] { Sel->PasteCommand(In, true, CaptionPaste); });
    ASSERT_EQ(Root().GetCount(), 4);
    EXPECT_EQ(Sel->Count(), 2);
    const std::vector<uint8_t> Pasted = StateOf(*Root().GetItem(2)), Orig = StateOf(*A);
    ASSERT_EQ(Pasted.size(), Orig.size());
    EXPECT_TRUE(std::equal(Pasted.begin() + 13, Pasted.end(), Orig.begin() + 13));
    // Cut: the same text, then the items go; undo brings both back selected,
    // re-created under their IDs (not at their old addresses).
    Sel->EmptyItems();
    Select({P, A});
    const std::vector<int32_t> CutIDs{P->ObjID(), A->ObjID()};
    CheckCommand("切り取り", [&] { Sel->CutToClipboard(); });
    EXPECT_EQ(Clipboard.Data, T);
    EXPECT_EQ(Root().GetCount(), 2);
    Doc->History.Undo();
    EXPECT_EQ(Root().GetCount(), 4);
    EXPECT_EQ(SelIDs(), CutIDs);
    // A busy clipboard is reported.
    Clipboard.Calls.clear();
    Clipboard.Busy = true;
    Sel->CopyToClipboard();
    EXPECT_EQ(Clipboard.Calls, (std::vector<std::string>{"open"}));
    EXPECT_EQ(Boxes, (std::vector<std::string>{"クリップボードは使用中です。"}));
}

TEST_F(SelectionCommandsTest, UngroupMovesTheChildrenToTheEndInOrder)
{
    TRectObj* First = AddRect(0, 0, 4, 4);
    TDrawGroup* G = AddGroup();
    std::vector<TDrawItem*> Items{First};
    for (int32_t X : {10, 20, 30})
        Items.push_back(AddRect(X, 0, 4, 4, G));
    Items.insert(Items.begin() + 1, AddRect(40, 0, 4, 4));
    const std::vector<int32_t> Expected = IDs(Items);
    Select({First});
    CheckNothing([&] { Sel->Ungroup(); });
    Select({G});
    CheckCommand("グループ化解除", [&] { Sel->Ungroup(); });
    std::vector<TDrawItem*> Now;
    for (int32_t I = 0; I < Root().GetCount(); ++I)
        Now.push_back(Root().GetItem(I));
    EXPECT_EQ(IDs(Now), Expected);
    EXPECT_EQ(Sel->Count(), 4); // First and the three children
}

TEST_F(SelectionCommandsTest, ToPolyLineKeepsEveryItemAtItsIndex)
{
    TRectObj* R = AddRect(0, 0, 10, 10);
    TDrawGroup* G = AddGroup();
    AddRect(20, 0, 10, 10, G);
    TPolyLineObj* P = AddPoly({{0, 0, 6}, {5, 5, 2}});
    Select({R, G, P});
    CheckCommand("線図形化", [&] { Sel->CommandToPolyLine(); });
    ASSERT_EQ(Sel->Count(), 3);
    EXPECT_STREQ(Sel->GetItem(0)->GetClass().Name, "TPolyLineObj");
    EXPECT_EQ(SelIDs(), (std::vector<int32_t>{Sel->GetItem(0)->ObjID(), G->ObjID(), P->ObjID()}));
    EXPECT_EQ(Root().IndexOf(Sel->GetItem(0)), 0);
    Sel->EmptyItems();
    Select({Root().GetItem(0), Root().GetItem(2)});
    CheckNothing([&] { Sel->CommandToPolyLine(); }); // polylines only
}

TEST_F(SelectionCommandsTest, MergeAndUnmergeLines)
{
    TPolyLineObj* A = AddPoly({{0, 0, 6}, {10, 0, 2}});
    TDrawGroup* G = AddGroup();
    AddPoly({{0, 10, 6}, {10, 10, 2}, {10, 20, 2}}, G);
    TRectObj* R = AddRect(50, 50, 10, 10);
    Select({G, A, R});
    CheckCommand("線合成", [&] { Sel->MergeLines(); });
    ASSERT_EQ(Sel->Count(), 1);
    auto* M = dynamic_cast<TPolyLineObj*>(Sel->GetItem(0));
    ASSERT_NE(M, nullptr);
    EXPECT_EQ(M->PointCount(), 2 + 3 + 5);
    // The result stands where the first line stood: inside the group.
    EXPECT_EQ(M->Parent(), G);
    EXPECT_EQ(G->GetCount(), 1);
    EXPECT_EQ(Root().GetCount(), 1);
    CheckCommand("線合成解除", [&] { Sel->UnmergeLines(); });
    EXPECT_EQ(Sel->Count(), 3);
    EXPECT_EQ(G->GetCount(), 3);
    Sel->EmptyItems();
    Select({G->GetItem(0)});
    CheckNothing([&] { Sel->UnmergeLines(); }); // one figure only
}

TEST_F(SelectionCommandsTest, WindowCommandsMoveScaleRotateDuplicateGroup)
{
    TRectObj* A = AddRect(0, 0, 10, 10);
    TPolyLineObj* P = AddPoly({{0, 0, 6}, {50, 0, 2}, {50, 50, 2}});
    CheckNothing([&] { Sel->MoveCommand(3, 4); }); // nothing selected
    Select({P, A});
    CheckNothing([&] { Sel->MoveCommand(0, 0); });
    CheckNothing([&] { Sel->ScaleCommand(0, 0, 1024, 1024); });
    CheckNothing([&] { Sel->RotateCommand(0, 0, 0.0); });
    CheckCommand("選択図形の移動", [&] { Sel->MoveCommand(3, 4); });
    CheckCommand("選択図形の拡大／縮小", [&] { Sel->ScaleCommand(0, 0, 2048, 512); });
    CheckCommand("選択図形の回転", [&] { Sel->RotateCommand(5, 5, 0.25); });
    CheckCommand("複製(U)", [&] { Sel->DuplicateCommand(CaptionDuplicate); });
    EXPECT_EQ(Root().GetCount(), 4);
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{Root().GetItem(2), Root().GetItem(3)}));
    CheckCommand("グループ化", [&] { Sel->GroupCommand("グループ化"); });
    EXPECT_EQ(Root().GetCount(), 3);
    EXPECT_EQ(static_cast<TDrawGroup*>(Root().GetItem(2))->GetCount(), 2);
}

TEST_F(SelectionCommandsTest, ACommandThatRaisesIsCancelledAndChangesNothing)
{
    AddRect(0, 0, 4, 4);
    auto* F = static_cast<TFailingLeaf*>(Root().AddChild(std::make_unique<TFailingLeaf>(Page.get(), -1), -1));
    Select({Root().GetItem(0), F});
    Ready();
    const int32_t MenuEnd = Doc->History.MenuEnd();
    const std::vector<uint8_t> Before = Tree();
    // The rectangle has moved when F raises.
    EXPECT_EQ(MessageOf<Exception>([&] { Sel->MoveCommand(1, 1); }), "move failed");
    EXPECT_EQ(Doc->History.MenuEnd(), MenuEnd);
    EXPECT_FALSE(Doc->History.IsCommandOpen());
    EXPECT_EQ(Tree(), Before);
    EXPECT_EQ(MessageOf<Exception>([&] { Sel->CommandSetNodeType(3); }),
              "TSelectedObjects.CommandSetNodeType: Illegal NodeAnchorType");
    // A new item whose effect cannot be measured on the page raises when it
    // is added: it leaves the tree, the selection and the history as they
    // were, and the page renders.
    TTestMacroLibrary Library;
    // Its only line lacks the required arguments after the path.
    gMacroLibrary->AddObject("Bad", MakeTestMacro("Bad", {{"PlaneMakeForPath2", "P", {{"", "*Primary"}}}}));
    TSilentFormDoc View;
    Page->SetPageSize(40, 30);
    Page->AddForm(&View);
    auto R = std::make_unique<TRectObj>(Page.get(), -1);
    R->SetFrame(2, 2, 10, 10);
    R->Macros().Insert(0, *TTestMacroLibrary::Get("Bad"));
    Ready();
    const std::vector<int32_t> SelBefore = SelIDs();
    EXPECT_EQ(MessageOf<Exception>([&] { Sel->CommandAddNewDrawItem(std::move(R), nullptr); }),
              "PlaneMakeForPath2 の実行に失敗。戻り値 = 00000002");
    EXPECT_EQ(Tree(), Before);
    EXPECT_EQ(SelIDs(), SelBefore);
    EXPECT_EQ(Doc->History.MenuEnd(), MenuEnd);
    EXPECT_FALSE(Doc->History.IsCommandOpen());
    EXPECT_NO_THROW(Page->Update());
    Page->RemoveForm(&View);
}

// ---------------------------------------------------------------------------
// Node commands

TEST_F(SelectionCommandsTest, NodeTypeAndDeleteNodes)
{
    TPolyLineObj* P = AddPoly({{0, 0, 6}, {10, 0, 2}, {20, 5, 2}, {30, 0, 2}});
    Sel->SetEditMode(1);
    Select({P});
    SelectNodes(P, {1, 2});
    CheckCommand("ノードスムース化", [&] { Sel->CommandSetNodeType(1); });
    EXPECT_EQ(P->GetNodeKind(1), 1);
    EXPECT_EQ(P->GetNodeKind(2), 1);
    CheckNothing([&] { Sel->CommandSetNodeType(1); }); // already smooth
    CheckCommand("ノード対象化", [&] { Sel->CommandSetNodeType(2); });
    SelectNodes(P, {1, 2});
    CheckCommand("選択ノードの削除", [&] { Sel->CommandDeleteNodes(); });
    EXPECT_EQ(PointsOf(P), (std::vector<TPoint>{{0, 0}, {30, 0}}));
    // A line left with fewer than two points goes, and leaves the selection.
    SelectNodes(P, {0});
    CheckCommand("選択ノードの削除", [&] { Sel->CommandDeleteNodes(); });
    EXPECT_EQ(Root().GetCount(), 0);
    EXPECT_EQ(Sel->Count(), 0);
    // A closed figure left with three nodes goes too; the line keeps its
    // other figure.
    TPolyLineObj* Q = AddPoly({{0, 0, 6}, {10, 0, 2}, {10, 10, 2}, {0, 0, 3}, {50, 50, 6}, {60, 50, 2}});
    Select({Q});
    SelectNodes(Q, {2});
    CheckCommand("選択ノードの削除", [&] { Sel->CommandDeleteNodes(); });
    EXPECT_EQ(PointsOf(Q), (std::vector<TPoint>{{50, 50}, {60, 50}}));
}

TEST_F(SelectionCommandsTest, DivideOpenAndClosedFigures)
{
    auto Divide = [&](TPolyLineObj* P) {
        Sel->EmptyItems();
        Select({P});
        SelectNodes(P, {2});
        CheckCommand("分割", [&] {
            Doc->History.CommandStart("分割");
            Sel->CommandSetSegmentType(0);
            Doc->History.CommandEnd();
        });
    };
    Sel->SetEditMode(1);
    TPolyLineObj* P = AddPoly({{0, 0, 6}, {10, 0, 2}, {20, 0, 2}, {30, 0, 2}, {40, 0, 2}});
    Divide(P);
    ASSERT_EQ(Root().GetCount(), 2);
    auto* Q = dynamic_cast<TPolyLineObj*>(Root().GetItem(1));
    ASSERT_NE(Q, nullptr);
    EXPECT_EQ(PointsOf(P), (std::vector<TPoint>{{0, 0}, {10, 0}, {20, 0}}));
    EXPECT_EQ(PointsOf(Q), (std::vector<TPoint>{{20, 0}, {30, 0}, {40, 0}}));
    EXPECT_EQ(TypesOf(Q), (std::vector<int>{6, 2, 2}));
    // The new piece is left with state 1 and the divided object with state 0;
    // a polyline's base path is its nodes, so neither regenerates them away:
    // the painted paths are the edited nodes.
    EXPECT_EQ(Q->BasePathState(), 1);
    EXPECT_EQ(P->BasePathState(), 0);
    EXPECT_EQ(::PointsOf(Q->GetPath()), PointsOf(Q));
    EXPECT_EQ(::PointsOf(P->GetPath()), PointsOf(P));
    // A closed square opened at its third node starts and ends there.
    TPolyLineObj* S = AddPoly({{0, 0, 6}, {10, 0, 2}, {10, 10, 2}, {0, 10, 2}, {0, 0, 3}});
    Divide(S);
    EXPECT_EQ(PointsOf(S), (std::vector<TPoint>{{10, 10}, {0, 10}, {0, 0}, {10, 0}, {10, 10}}));
    EXPECT_EQ(TypesOf(S), (std::vector<int>{6, 2, 2, 2, 2}));
}

TEST_F(SelectionCommandsTest, JoinEndNodes)
{
    TPolyLineObj* A = AddPoly({{0, 0, 6}, {10, 0, 2}});
    TPolyLineObj* B = AddPoly({{10, 0, 6}, {20, 5, 2}});
    Sel->SetEditMode(1);
    Select({A, B});
    std::string Message;
    SelectNodes(A, {1});
    CheckNothing([&] { EXPECT_FALSE(Sel->JoinEndNodes(Message)); });
    EXPECT_EQ(Message, "２つの端点ノードを選択してください");
    SelectNodes(B, {0});
    CheckCommand("端点連結", [&] { EXPECT_TRUE(Sel->JoinEndNodes(Message)); });
    EXPECT_EQ(Message, "");
    // The equal end points merged: no duplicate point; B is gone.
    EXPECT_EQ(PointsOf(A), (std::vector<TPoint>{{0, 0}, {10, 0}, {20, 5}}));
    EXPECT_EQ(Root().GetCount(), 1);
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{A}));
    // The two ends of one open figure: it closes.
    Sel->GetAnchors().ClearNodeSelection(-1);
    SelectNodes(A, {0, 2});
    CheckCommand("端点連結", [&] { EXPECT_TRUE(Sel->JoinEndNodes(Message)); });
    EXPECT_EQ(A->GetPointType(A->PointCount() - 1) & 1, 1);
}

// ---------------------------------------------------------------------------
// The undo guarantee: random commands on a random document, then undo all
// (the tree is byte-identical to the start) and redo all (identical to the
// end). TAVRO_SELECTION_SEEDS=n runs n seeds instead of a few.

struct TRandomRun {
    SelectionCommandsTest& T;
    std::mt19937 Rng;
    int32_t Pick(int32_t N) { return static_cast<int32_t>(Rng() % static_cast<uint32_t>(N)); }
    std::unique_ptr<TDrawItem> NewItem()
    {
        const int32_t X = Pick(200), Y = Pick(200);
        if (Pick(2) == 0) {
            auto R = std::make_unique<TRectObj>(T.Page.get(), -1);
            R->SetFrame(X, Y, 5 + Pick(40), 5 + Pick(40));
            return R;
        }
        std::vector<std::tuple<int32_t, int32_t, uint8_t>> P;
        const int32_t N = 2 + Pick(5);
        for (int32_t I = 0; I < N; ++I)
            P.emplace_back(X + Pick(60), Y + Pick(60), I == 0 ? 6 : 2);
        if (Pick(3) == 0 && N >= 3)
            P.emplace_back(std::get<0>(P[0]), std::get<1>(P[0]), 3);
        return SelectionCommandsTest::NewPoly(*T.Page, MakePath(P));
    }
    // One recorded change of the selection or node selection.
    void Select(bool Nodes)
    {
        THistoryCommand& H = T.Doc->History;
        const int32_t Kind = Nodes && T.Sel->Count() && Pick(2) == 0 ? 0 : Pick(4) == 0 ? 1 : 2;
        H.CommandStart(Kind == 0 ? "ノード選択" : Kind == 1 ? "選択解除" : "選択");
        TDrawGroup& R = T.Root();
        if (Kind == 0) {
            TAnchors& A = T.Sel->GetAnchors();
            if (A.GetCount()) {
                auto* N = dynamic_cast<TNodeAnchor*>(A.GetNodeAnchor(Pick(A.GetCount())));
                if (N && N->Kind == akNode)
                    A.SetNodeSelected(N, N->Selected ^ 1, NodeSelectCode);
            }
        } else if (Kind == 1) {
            T.Sel->ClearSelection();
        } else if (TDrawItem* I = R.GetCount() ? R.GetItem(Pick(R.GetCount())) : nullptr) {
            if (T.Sel->IsSelected(I))
                T.Sel->RemoveItem(I);
            else
                T.Sel->AddItem(I);
        }
        H.CommandEnd();
    }
    void Step(bool Nodes)
    {
        TSelectedObjects& S = *T.Sel;
        THistoryCommand& H = T.Doc->History;
        const int32_t K = Pick(Nodes ? 12 : 17);
        if (K < 4)
            return Select(Nodes);
        if (!Nodes) {
            switch (K) {
            case 4: S.CommandAddNewDrawItem(NewItem(), nullptr); break;
            case 5: S.DeleteCommand(CaptionDelete); break;
            case 6: S.CutToClipboard(); break;
            case 7:
                if (!T.Clipboard.Data.empty()) {
                    TMemoryStreamWex In;
                    In.SetPointer(T.Clipboard.Data.data(), int64_t(T.Clipboard.Data.size()));
                    S.PasteCommand(In, true, CaptionPaste);
                } else {
                    S.CopyToClipboard();
                }
                break;
            case 8: S.DuplicateCommand(CaptionDuplicate); break;
            case 9: S.GroupCommand("グループ化"); break;
            case 10: S.Ungroup(); break;
            case 11: S.CommandToPolyLine(); break;
            case 12: S.MergeLines(); break;
            case 13: S.UnmergeLines(); break;
            case 14: S.MoveCommand(Pick(21) - 10, Pick(21) - 10); break;
            case 15: S.ScaleCommand(Pick(100), Pick(100), 512 + Pick(1024), 512 + Pick(1024)); break;
            default: S.RotateCommand(Pick(100), Pick(100), (Pick(60) - 30) / 20.0); break;
            }
            return;
        }
        std::string M;
        switch (K) {
        case 4: S.CommandSetNodeType(static_cast<uint8_t>(Pick(3))); break;
        case 5: S.CommandDeleteNodes(); break;
        case 6:
        case 7:
            H.CommandStart("線分");
            S.CommandSetSegmentType(static_cast<uint8_t>(Pick(3)));
            H.CommandEnd();
            break;
        case 8: S.JoinEndNodes(M); break;
        case 9: S.CommandAddNewDrawItem(NewItem(), nullptr); break;
        case 10: S.MoveCommand(Pick(21) - 10, Pick(21) - 10); break;
        default: {
            H.CommandStart("範囲選択");
            const int32_t X = Pick(200), Y = Pick(200);
            S.SelectNodesInRect({X, Y, X + 40, Y + 40}, NodeSelectCode, T.Root());
            H.CommandEnd();
        }
        }
    }
};

// The selection as redo depends on it: the list, and the anchors with their
// selected states in list order.
std::string SelectionState(SelectionCommandsTest& T)
{
    std::string S;
    for (TDrawItem* I : T.Sel->Items())
        S += std::to_string(I->ObjID()) + " ";
    S += "|";
    for (TNodeAnchor* N : T.Sel->OrderedNodeAnchors())
        S += " " + std::to_string(N->Owner->ObjID()) + ":" + std::to_string(N->Index) +
             (N->Selected ? "*" : "");
    return S;
}

void RunRandom(SelectionCommandsTest& T, uint32_t Seed, bool Nodes, int32_t Steps)
{
    TRandomRun R{T, std::mt19937(Seed)};
    THistoryCommand& H = T.Doc->History;
    T.Sel->SetEditMode(Nodes ? 1 : 0);
    for (int32_t I = 0; I < 8; ++I)
        T.Root().AddChild(R.NewItem(), -1);
    T.Ready();
    const std::vector<uint8_t> Start = T.Tree();
    std::string Where;
    try {
        for (int32_t I = 0; I < Steps; ++I) {
            // Each command on its own first: undone and redone at once.
            Where = "seed " + std::to_string(Seed) + " step " + std::to_string(I);
            const std::vector<uint8_t> B = T.Tree();
            const std::string SB = SelectionState(T);
            const int32_t MenuEnd = H.MenuEnd(), MenuNo = H.MenuNo();
            R.Step(Nodes);
            if (H.MenuNo() == MenuNo && H.MenuEnd() == MenuEnd)
                continue;
            Where += " " + H.UndoCaption();
            const std::vector<uint8_t> A = T.Tree();
            H.Undo();
            ASSERT_EQ(T.Tree(), B) << Where << " undo";
            ASSERT_EQ(SelectionState(T), SB) << Where << " undo";
            H.Redo();
            ASSERT_EQ(T.Tree(), A) << Where << " redo";
        }
        ASSERT_FALSE(H.IsCommandOpen());
        const std::vector<uint8_t> End = T.Tree();
        Where = "seed " + std::to_string(Seed) + " undoing all";
        while (H.CanUndo())
            H.Undo();
        ASSERT_FALSE(H.IsOverflow());
        EXPECT_EQ(T.Tree(), Start) << Where;
        Where = "seed " + std::to_string(Seed) + " redoing all";
        while (H.CanRedo())
            H.Redo();
        EXPECT_EQ(T.Tree(), End) << Where;
    } catch (const Exception& E) {
        FAIL() << Where << ": " << E.Message();
    }
}

TEST_F(SelectionCommandsTest, RandomCommandsUndoAndRedoExactly)
{
    const char* Env = std::getenv("TAVRO_SELECTION_SEEDS");
    const int32_t Seeds = Env ? std::max(1, std::atoi(Env)) : 4;
    for (bool Nodes : {false, true})
        for (int32_t S = 0; S < Seeds && !HasFailure(); ++S) {
            TearDown();
            SetUp();
            RunRandom(*this, (Nodes ? 2000u : 1000u) + uint32_t(S), Nodes, 100);
        }
}

} // namespace

// A move of the selection at the edge of the reach (or of the int32 range,
// where a file may have left an item) moves every item whole, or is refused
// before anything moves: no item narrowed at the limit, none wrapped round.
TEST_F(SelectionCommandsTest, AMoveAtTheEdgeOfTheReachMovesWholeOrIsRefused)
{
    constexpr int32_t R = MaxItemReach;
    constexpr int32_t Max = INT32_MAX;
    constexpr int32_t Min = INT32_MIN;
    auto Rect = [this](int32_t X, int32_t Y, int32_t W, int32_t H) {
        return [=, this] { return static_cast<TDrawItem*>(AddRect(X, Y, W, H)); };
    };
    auto Poly = [this](int32_t X, int32_t Y) {
        return [=, this] { return static_cast<TDrawItem*>(AddPoly({{X - 30, Y, 6}, {X, Y, 2}, {X - 10, Y - 20, 2}})); };
    };
    auto Text = [this](int32_t X, int32_t Y) {
        return [=, this] {
            auto T = std::make_unique<TTextObj>(Page.get(), -1);
            T->SetPosition(X, Y);
            return Root().AddChild(std::move(T), -1);
        };
    };
    auto Grouped = [this](int32_t X) {
        return [=, this] {
            TDrawGroup* G = AddGroup();
            AddRect(0, 0, 10, 10, G);
            AddRect(X - 10, 0, 10, 10, G);
            return static_cast<TDrawItem*>(G);
        };
    };
    struct TCase {
        const char* Name;
        std::function<TDrawItem*()> Make;
        int32_t DX, DY;
        bool Moves;
    };
    const TCase Cases[] = {
        {"right edge at the reach, 1 right", Rect(R - 20, 0, 20, 10), 1, 0, false},
        {"right edge at the reach, 1 left", Rect(R - 20, 0, 20, 10), -1, 0, true},
        {"right edge 5 short, 5 right", Rect(R - 25, 0, 20, 10), 5, 0, true},
        {"right edge 4 short, 5 right", Rect(R - 24, 0, 20, 10), 5, 0, false},
        {"right edge 4 short, 1 right", Rect(R - 24, 0, 20, 10), 1, 0, true},
        {"bottom at the reach, 5 down", Rect(0, R - 10, 20, 10), 0, 5, false},
        {"left edge at the reach's other end, 1 left", Rect(-R, 0, 20, 10), -1, 0, false},
        {"left edge at the reach's other end, 5 right", Rect(-R, 0, 20, 10), 5, 0, true},
        {"right edge at the int32 limit, 1 right", Rect(Max - 20, 0, 20, 10), 1, 0, false},
        {"right edge at the int32 limit, 5 right", Rect(Max - 20, 0, 20, 10), 5, 0, false},
        {"right edge at the int32 limit, 1 left", Rect(Max - 20, 0, 20, 10), -1, 0, true},
        {"right edge at the int32 limit, 5 left", Rect(Max - 20, 0, 20, 10), -5, 0, true},
        {"beyond the reach, 5 down", Rect(Max - 20, 0, 20, 10), 0, 5, true},
        {"top at the int32 limit, 1 up", Rect(0, Min, 20, 10), 0, -1, false},
        {"top at the int32 limit, 5 down", Rect(0, Min, 20, 10), 0, 5, true},
        {"polyline point at the int32 limit, 1 right", Poly(Max, 100), 1, 0, false},
        {"polyline point at the int32 limit, 5 left", Poly(Max, 100), -5, 0, true},
        {"polyline point at the reach, 5 right", Poly(R, 100), 5, 0, false},
        {"text at the reach, 1 down", Text(0, R), 0, 1, false},
        {"text at the int32 limit, 5 up", Text(0, Max), 0, -5, true},
        {"group with an item at the reach, 1 right", Grouped(R), 1, 0, false},
        {"group with an item at the reach, 5 left", Grouped(R), -5, 0, true},
    };
    // Where an item stands: a shape's frame, a text's position, else the
    // bounds of what it draws.
    auto Place = [](TDrawItem* I) {
        if (auto* P = dynamic_cast<TParamObj*>(I))
            return std::array<int64_t, 4>{P->X(), P->Y(), int64_t{P->X()} + P->Width(), int64_t{P->Y()} + P->Height()};
        if (auto* T = dynamic_cast<TTextObj*>(I))
            return std::array<int64_t, 4>{T->X(), T->Y(), T->X(), T->Y()};
        const TRect B = I->GetBounds();
        return std::array<int64_t, 4>{B.Left, B.Top, B.Right, B.Bottom};
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Sel->EmptyItems();
        Root().Clear();
        TDrawItem* Item = C.Make();
        Select({Item});
        Ready();
        const std::vector<uint8_t> Before = Tree();
        const int32_t MenuEnd = Doc->History.MenuEnd();
        const auto From = Place(Item);
        const TRect Drawn = Item->GetBounds();
        if (!C.Moves) {
            EXPECT_EQ(MessageOf<Exception>([&] { Sel->MoveCommand(C.DX, C.DY); }), MoveBeyondReachText);
            EXPECT_TRUE(Tree() == Before);
            EXPECT_EQ(Doc->History.MenuEnd(), MenuEnd);
            EXPECT_FALSE(Doc->History.IsCommandOpen());
            continue;
        }
        Sel->MoveCommand(C.DX, C.DY);
        EXPECT_EQ(Place(Item),
                  (std::array<int64_t, 4>{From[0] + C.DX, From[1] + C.DY, From[2] + C.DX, From[3] + C.DY}));
        const TRect Now = Item->GetBounds();
        EXPECT_EQ(int64_t{Now.Right} - Now.Left, int64_t{Drawn.Right} - Drawn.Left);
        EXPECT_EQ(int64_t{Now.Bottom} - Now.Top, int64_t{Drawn.Bottom} - Drawn.Top);
        Doc->History.Undo();
        EXPECT_TRUE(Tree() == Before);
    }
}
