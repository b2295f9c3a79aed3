// Grouping: the new group becomes the selection in the same step, no move
// into a group leaves an emptied group behind, and groups without any item
// (documents written before either held true) open, select, show in the
// panel and save without a word.
#include "child_test_support.h"
#include "shell_test_support.h"

#include "model/clipboard_service.h"
#include "model/draw_group.h"
#include "model/param_shapes.h"
#include "shell/status_panel.h"
#include "shell/tavro_action.h"
#include "ui/edit_track_bar_wex.h"

#include <functional>

namespace {

struct GroupingTest : ChildFormTest {
    TRealObjectTypes Types;
    static TSelectedObjects& SelOf(TfrmChild* W) { return *dynamic_cast<TSelectedObjects*>(PageOf(W).Selection()); }
    static TDrawItem* AddRect(TDrawGroup& Group, int32_t X)
    {
        auto R = std::make_unique<TRectObj>(Group.Page(), -1);
        R->SetFrame(X, 0, 10, 10);
        return Group.AddChild(std::move(R), -1);
    }
    static TDrawGroup* AddGroup(TDrawGroup& Group)
    {
        return static_cast<TDrawGroup*>(Group.AddChild(std::make_unique<TDrawGroup>(Group.Page(), -1), -1));
    }
    static void Select(TfrmChild* W, const std::vector<TDrawItem*>& Items)
    {
        SelOf(W).ClearSelection();
        for (TDrawItem* I : Items)
            SelOf(W).AddItem(I);
    }
    static std::vector<uint8_t> DocStream(TfrmChild* W)
    {
        TMemoryStream S;
        W->Document()->SaveToStream(S);
        return Bytes(S);
    }
    static std::vector<int32_t> SelectedIDs(TfrmChild* W)
    {
        std::vector<int32_t> IDs;
        for (TDrawItem* I : SelOf(W).Items())
            IDs.push_back(I->ObjID());
        return IDs;
    }
};

// The tree as text: an item by its ID, a group as its ID and its children in
// brackets.
std::string Shape(TDrawItem* Item)
{
    std::string S = std::to_string(Item->ObjID());
    if (auto* G = dynamic_cast<TDrawGroup*>(Item)) {
        S += "[";
        for (int32_t I = 0; I < G->GetCount(); ++I)
            S += (I ? " " : "") + Shape(G->GetItem(I));
        S += "]";
    }
    return S;
}

} // namespace

// Grouped items leave the selection to their group, within the one step:
// a second grouping nests the group and empties nothing, and each undo gives
// back the tree and the selection of before its step, byte for byte.
TEST_F(GroupingTest, TheNewGroupIsTheSelectionAndAGroupingUndoesWithItsSelection)
{
    TfrmChild* W = Open(400, 300);
    TDrawGroup& Root = PageOf(W).RootGroup();
    TDrawItem* A = AddRect(Root, 0);
    TDrawItem* B = AddRect(Root, 20);
    TDrawItem* C = AddRect(Root, 40);
    const std::string Flat = Shape(&Root);
    Select(W, {B, A, C});
    const std::vector<int32_t> Picked = SelectedIDs(W);
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    const std::vector<uint8_t> Before = DocStream(W);

    W->actGroupExecute();
    ASSERT_EQ(Root.GetCount(), 1);
    auto* G = dynamic_cast<TDrawGroup*>(Root.GetItem(0));
    ASSERT_NE(G, nullptr);
    EXPECT_EQ(SelOf(W).Items(), std::vector<TDrawItem*>{G});
    EXPECT_EQ(Frame.Status[1], "");
    const std::vector<uint8_t> Grouped = DocStream(W);
    const std::string Once = Shape(&Root);

    W->actGroupExecute();
    ASSERT_EQ(Root.GetCount(), 1);
    auto* Outer = dynamic_cast<TDrawGroup*>(Root.GetItem(0));
    ASSERT_NE(Outer, nullptr);
    EXPECT_EQ(Shape(&Root), std::to_string(Root.ObjID()) + "[" + std::to_string(Outer->ObjID()) + "[" +
                                Once.substr(Once.find('[') + 1, Once.size() - Once.find('[') - 2) + "]]");
    EXPECT_EQ(EmptyGroupsBelow(Root), 0);
    EXPECT_EQ(SelOf(W).Items(), std::vector<TDrawItem*>{Outer});

    struct TStep {
        const char* Name;
        bool Redo;
        std::string Tree;
        std::vector<int32_t> Selected;
    };
    const int32_t GroupID = G->ObjID();
    const int32_t OuterID = Outer->ObjID();
    const std::string Twice = Shape(&Root);
    const TStep Steps[] = {
        {"undo the second", false, Once, {GroupID}},
        {"undo the first", false, Flat, Picked},
        {"redo the first", true, Once, {GroupID}},
        {"redo the second", true, Twice, {OuterID}},
        {"undo the second again", false, Once, {GroupID}},
        {"undo the first again", false, Flat, Picked},
    };
    for (const TStep& S : Steps) {
        S.Redo ? W->actRedoExecute() : W->actUndoExecute();
        EXPECT_EQ(Shape(&Root), S.Tree) << S.Name;
        EXPECT_EQ(SelectedIDs(W), S.Selected) << S.Name;
    }
    EXPECT_EQ(DocStream(W), Before);
    EXPECT_FALSE(H.CanUndo());
    W->actRedoExecute();
    EXPECT_EQ(DocStream(W), Grouped);
    EXPECT_EQ(H.UndoCaption(), "グループ化");
}

// Items that stand inside a group (as a selection made before the group
// existed could hold them) move into the new group: the group they leave
// empty goes in the same step, and comes back with the undo.
TEST_F(GroupingTest, AGroupEmptiedByAMoveGoesWithIt)
{
    TfrmChild* W = Open(400, 300);
    TDrawGroup& Root = PageOf(W).RootGroup();
    TDrawGroup* Outer = AddGroup(Root);
    TDrawGroup* Inner = AddGroup(*Outer);
    TDrawItem* A = AddRect(*Inner, 0);
    TDrawItem* B = AddRect(*Inner, 20);
    TDrawItem* C = AddRect(Root, 40);
    TDrawItem* D = AddRect(*Outer, 60);
    struct TCase {
        const char* Name;
        std::vector<TDrawItem*> Picked;
        int32_t Left; // root children after grouping
    };
    const TCase Cases[] = {
        // Outer keeps D: only Inner goes.
        {"inner emptied", {A, B}, 3},
        // Outer is left with Inner only, emptied in turn: both go.
        {"both emptied", {A, B, D}, 2},
    };
    THistoryCommand& H = *W->Document()->History();
    const std::string Tree = Shape(&Root);
    for (const TCase& T : Cases) {
        Select(W, T.Picked);
        H.ClearHistory();
        const std::vector<uint8_t> Before = DocStream(W);
        W->actGroupExecute();
        EXPECT_EQ(EmptyGroupsBelow(Root), 0) << T.Name;
        EXPECT_EQ(Root.GetCount(), T.Left) << T.Name;
        const std::vector<uint8_t> After = DocStream(W);
        W->actUndoExecute();
        EXPECT_EQ(DocStream(W), Before) << T.Name;
        EXPECT_EQ(Shape(&Root), Tree) << T.Name;
        W->actRedoExecute();
        EXPECT_EQ(DocStream(W), After) << T.Name;
        EXPECT_EQ(EmptyGroupsBelow(Root), 0) << T.Name;
        W->actUndoExecute();
    }
    EXPECT_EQ(Root.GetItem(1), C);
}

// A clipboard text written with empty groups pastes without them, in one
// step that undoes and redoes exactly.
TEST_F(GroupingTest, APasteLeavesOutGroupsWithoutItems)
{
    std::string Text;
    {
        TOLEDocumentWex Doc(nullptr, nullptr);
        auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(100, 100);
        TDrawGroup& Root = Page->RootGroup();
        auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
        Sel->AddItem(AddGroup(Root));
        TDrawGroup* Full = AddGroup(Root);
        AddRect(*Full, 0);
        AddGroup(*AddGroup(*Full));
        Sel->AddItem(Full);
        Sel->AddItem(AddRect(Root, 30));
        Text = CopiedText(*Sel);
    }
    TfrmChild* W = Open(400, 300);
    TDrawGroup& Root = PageOf(W).RootGroup();
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    const std::vector<uint8_t> Before = DocStream(W);
    W->PasteText(Text);
    ASSERT_EQ(Root.GetCount(), 2);
    auto* Full = dynamic_cast<TDrawGroup*>(Root.GetItem(0));
    ASSERT_NE(Full, nullptr);
    EXPECT_EQ(Full->GetCount(), 1);
    EXPECT_EQ(EmptyGroupsBelow(Root), 0);
    EXPECT_EQ(SelOf(W).Items(), (std::vector<TDrawItem*>{Full, Root.GetItem(1)}));
    const std::vector<uint8_t> After = DocStream(W);
    W->actUndoExecute();
    EXPECT_EQ(DocStream(W), Before);
    W->actRedoExecute();
    EXPECT_EQ(DocStream(W), After);
    EXPECT_EQ(EmptyGroupsBelow(Root), 0);
    // Later steps replay over the redone paste: its items kept their IDs.
    W->actSelAllExecute();
    W->actArngRightExecute();
    EXPECT_EQ(H.UndoCaption(), "右寄せ配置");
    const std::vector<uint8_t> Moved = DocStream(W);
    EXPECT_NE(Moved, After);
    for (int I = 0; I < 3; ++I)
        W->actUndoExecute();
    EXPECT_EQ(DocStream(W), Before);
    for (int I = 0; I < 3; ++I)
        W->actRedoExecute();
    EXPECT_EQ(DocStream(W), Moved);
}

// A clipboard of nothing but empty groups pastes nothing: the document, its
// selection and its history stay as they were, and nothing is said.
TEST_F(GroupingTest, AClipboardOfEmptyGroupsOnlyPastesAndRecordsNothing)
{
    std::string Text;
    {
        TOLEDocumentWex Doc(nullptr, nullptr);
        auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(100, 100);
        auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
        Sel->AddItem(AddGroup(Page->RootGroup()));
        TMemoryStream S;
        Sel->SaveToStream(S, true);
        Text.assign(static_cast<const char*>(S.Memory()), size_t(S.Size()));
    }
    std::vector<std::string> Boxes;
    TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string& T, const std::string&, uint32_t) {
        Boxes.push_back(T);
        return IDOK;
    });
    TfrmChild* W = Open(400, 300);
    TDrawItem* R = AddRect(PageOf(W).RootGroup(), 10);
    Select(W, {R});
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    W->Document()->SetModified(false);
    const std::vector<uint8_t> Before = DocStream(W);
    TMemoryStream Clip;
    Clip.Write(Text.data(), static_cast<int32_t>(Text.size()));
    Clip.SetPosition(0);
    SelOf(W).PasteCommand(Clip, false, "貼り付け");
    SetMessageBoxHandler(Old);
    EXPECT_EQ(DocStream(W), Before);
    EXPECT_EQ(SelOf(W).Items(), std::vector<TDrawItem*>{R});
    EXPECT_FALSE(H.CanUndo());
    EXPECT_FALSE(W->Document()->Modified());
    EXPECT_TRUE(Boxes.empty());
}

// The panel over groups that hold no item: nothing to show, no error box.
TEST_F(GroupingTest, ThePanelOverGroupsWithoutItemsShowsNoBox)
{
    std::vector<std::string> Boxes;
    TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
        Boxes.push_back(Text);
        return IDOK;
    });
    frmObjProperty = std::make_unique<TfrmObjProperty>(nullptr);
    TfrmChild* W = Open(400, 300);
    TDrawGroup& Root = PageOf(W).RootGroup();
    TDrawGroup* Empty = AddGroup(Root);
    TDrawGroup* Holder = AddGroup(Root);
    AddGroup(*Holder);
    TDrawItem* A = AddRect(Root, 0);
    const std::vector<std::vector<TDrawItem*>> Cases{{Empty}, {Empty, Holder}, {Empty, A}, {Holder, A}};
    for (const std::vector<TDrawItem*>& Items : Cases) {
        Select(W, Items);
        EXPECT_EQ(frmObjProperty->Targets(), Items);
    }
    EXPECT_EQ(Boxes, std::vector<std::string>{});
    // The rectangle's own values stand for the pair.
    EXPECT_EQ(frmObjProperty->edtWidth->text(), "10");
    Select(W, {});
    frmObjProperty.reset();
    SetMessageBoxHandler(Old);
}

// A document written with empty groups opens without them, selects all, shows
// its panel and saves, all without a box; what it saves holds no empty group.
TEST_F(TFrameTest, ADocumentWithEmptyGroupsOpensSelectsShowsAndSaves)
{
    TRealObjectTypes Types;
    const std::string Path = Tmp / "old.srn";
    {
        TOLEDocumentWex Doc(nullptr, nullptr);
        auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(200, 100);
        TDrawGroup& Root = Page->RootGroup();
        Root.AddChild(std::make_unique<TDrawGroup>(Page, -1), -1);
        auto* Full = static_cast<TDrawGroup*>(Root.AddChild(std::make_unique<TDrawGroup>(Page, -1), -1));
        for (int32_t X : {0, 30}) {
            auto R = std::make_unique<TRectObj>(Page, -1);
            R->SetFrame(X, 5, 20, 10);
            Full->AddChild(std::move(R), -1);
        }
        // A group holding only an empty group is as empty.
        auto* Shell = static_cast<TDrawGroup*>(Root.AddChild(std::make_unique<TDrawGroup>(Page, -1), -1));
        Shell->AddChild(std::make_unique<TDrawGroup>(Page, -1), -1);
        Full->AddChild(std::make_unique<TDrawGroup>(Page, -1), 1);
        auto R = std::make_unique<TRectObj>(Page, -1);
        R->SetFrame(60, 5, 20, 10);
        Root.AddChild(std::move(R), -1);
        ASSERT_EQ(EmptyGroupsBelow(Root), 3);
        ASSERT_TRUE(Doc.SaveToFile(Path));
    }
    Start({QString::fromStdString(Path)});
    Settle();
    TDocWindow* W = Frame->ActiveDocWindow();
    ASSERT_NE(W, nullptr);
    TDrawGroup& Root = W->DrawingPage()->RootGroup();
    EXPECT_EQ(EmptyGroupsBelow(Root), 0);
    ASSERT_EQ(Root.GetCount(), 2);
    EXPECT_EQ(dynamic_cast<TDrawGroup*>(Root.GetItem(0))->GetCount(), 2);
    EXPECT_FALSE(W->Document()->Modified());

    Frame->actSelAll->trigger();
    Settle();
    EXPECT_EQ(frmObjProperty->Targets(), (std::vector<TDrawItem*>{Root.GetItem(0), Root.GetItem(1)}));
    EXPECT_EQ(Frame->StatusPanel(1)->GetText(), "2個の図形を選択中");
    EXPECT_EQ(frmObjProperty->edtWidth->text(), "20");
    // The document goes back to being saved (a change, then the save).
    Frame->actArngLeft->trigger();
    Frame->actSave->trigger();
    Settle();
    EXPECT_FALSE(W->Document()->Modified());
    EXPECT_TRUE(Boxes.empty()) << Boxes.front().Text;

    Close();
    Start({QString::fromStdString(Path)});
    TDrawGroup& Saved = Frame->ActiveDocWindow()->DrawingPage()->RootGroup();
    EXPECT_EQ(Saved.GetCount(), 2);
    EXPECT_EQ(EmptyGroupsBelow(Saved), 0);
}
