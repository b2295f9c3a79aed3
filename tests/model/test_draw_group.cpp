#include <gtest/gtest.h>

#include "draw_test_doubles.h"
#include "platform/test_support.h"
#include "foundation/user_error.h"
#include "model/draw_progress.h"
#include "platform/message_box.h"

namespace {

std::string Message(const std::function<void()>& Fn)
{
    return MessageOf<Exception>(Fn);
}

struct DrawGroupTest : ::testing::Test {
    TTestLeafRegistration Registration;
    TTestPage Page;
    std::unique_ptr<TDrawGroup> RootOwner = std::make_unique<TDrawGroup>(&Page, -1);
    TDrawGroup& Root = *RootOwner;
    TDrawGroup* AddGroup(TDrawGroup& Parent)
    {
        return static_cast<TDrawGroup*>(
            Parent.AddChild(std::make_unique<TDrawGroup>(&Page, -1), -1));
    }
    void Command(const std::function<void()>& Fn)
    {
        Page.History.CommandStart("test");
        Fn();
        Page.History.CommandEnd();
    }
    // The children's X values, which the tests use as names.
    static std::vector<int32_t> Order(TDrawGroup& G)
    {
        std::vector<int32_t> R;
        for (int32_t I = 0; I < G.GetCount(); ++I) {
            auto* L = dynamic_cast<TTestLeaf*>(G.GetItem(I));
            R.push_back(L ? L->X : -100);
        }
        return R;
    }
    TDrawItem* ByID(int32_t ID) { return dynamic_cast<TDrawItem*>(Page.History.GetObj(ID)); }
};

using V = std::vector<int32_t>;

class TRecordingPanel : public TDrawProgressPanel {
public:
    std::string GetText() const override { return Texts.empty() ? "" : Texts.back(); }
    void SetText(const std::string& T) override { Texts.push_back(T); }
    void ShowProgress(const TrecDrawProgress& P) override { Shown.push_back(P.Index); }
    std::vector<std::string> Texts;
    std::vector<int32_t> Shown;
};

} // namespace

TEST_F(DrawGroupTest, AddChildCommandUndoAndRedo)
{
    int32_t ID = -1;
    Command([&] {
        // Made inside the command, as the tools do: redo re-creates it under its ID.
        auto Leaf = std::make_unique<TTestLeaf>(&Page, -1);
        Leaf->X = 3;
        Page.History.LockAddHistory(); // a new item records nothing of its own
        Leaf->SetName("n");
        Page.History.UnLockAddHistory();
        ID = Leaf->ObjID();
        Root.AddChildCommand(std::move(Leaf));
    });
    EXPECT_EQ(Order(Root), V{3});
    Page.History.Undo();
    EXPECT_EQ(Root.GetCount(), 0);
    EXPECT_EQ(Page.History.GetObj(ID), nullptr);
    Page.History.Redo();
    ASSERT_EQ(Order(Root), V{3});
    EXPECT_EQ(Root.GetItem(0)->ObjID(), ID); // re-created under the same ID
    EXPECT_EQ(Root.GetItem(0)->Name(), "n");
    EXPECT_EQ(Root.GetItem(0)->Parent(), &Root);
}

TEST_F(DrawGroupTest, DeleteChildUndoRestoresTheSubtree)
{
    AddLeaf<TTestLeaf>(Root, 1, 0);
    TDrawGroup* Sub = AddGroup(Root);
    Sub->SetName("sub");
    TTestLeaf* B = AddLeaf<TTestLeaf>(*Sub, 2, 0, 22);
    AddLeaf<TTestLeafA>(*Sub, 3, 0, 33);
    TDrawGroup* Outer = AddGroup(Root);
    TDrawGroup* Inner = AddGroup(*Outer);
    TTestLeaf* E = AddLeaf<TTestLeaf>(*Inner, 5, 0);
    const int32_t SubID = Sub->ObjID(), BID = B->ObjID();
    const int32_t OuterID = Outer->ObjID(), InnerID = Inner->ObjID();
    Command([&] { Root.DeleteChild(Sub); });
    EXPECT_EQ(Order(Root), (V{1, -100}));
    EXPECT_EQ(ByID(SubID), nullptr);
    const int32_t Anchors = Page.AnchorsInvalidated;
    Page.History.Undo();
    ASSERT_EQ(Order(Root), (V{1, -100, -100}));
    auto* R = dynamic_cast<TDrawGroup*>(Root.GetItem(1));
    EXPECT_EQ(R->ObjID(), SubID);
    EXPECT_EQ(R->Name(), "sub");
    EXPECT_EQ(R->Parent(), &Root);
    // The children come back under their own IDs, so later records find them.
    EXPECT_EQ(Order(*R), (V{2, 3}));
    EXPECT_EQ(ByID(BID), R->GetItem(0));
    EXPECT_EQ(static_cast<TTestLeaf*>(R->GetItem(0))->Value, 22);
    EXPECT_EQ(R->GetItem(0)->Parent(), R);
    EXPECT_EQ(Page.AnchorsInvalidated, Anchors + 1);
    EXPECT_EQ(Message([&] { Root.DeleteChild(B); }), "TDrawGroup.DeleteChild: Not Found");
    // Inner and then Outer are left empty and freed; the modified flag is
    // still set through the document taken before.
    Page.Document.Modified = false;
    Command([&] { Inner->DeleteChild(E); });
    EXPECT_EQ(Order(Root), (V{1, -100}));
    EXPECT_EQ(ByID(OuterID), nullptr);
    EXPECT_EQ(ByID(InnerID), nullptr);
    EXPECT_TRUE(Page.Document.Modified);
    Page.History.Undo();
    auto* O = dynamic_cast<TDrawGroup*>(Root.GetItem(2));
    ASSERT_TRUE(O && O->GetCount() == 1);
    EXPECT_EQ(O->ObjID(), OuterID);
    auto* I = dynamic_cast<TDrawGroup*>(O->GetItem(0));
    ASSERT_NE(I, nullptr);
    EXPECT_EQ(I->ObjID(), InnerID);
    EXPECT_EQ(Order(*I), V{5});
    // The root has no parent: it stays, empty.
    Command([&] {
        while (Root.GetCount() > 0)
            Root.DeleteChild(Root.GetItem(0));
    });
    EXPECT_EQ(Root.GetCount(), 0);
    EXPECT_EQ(Message([&] { Root.DeleteFromParent(); }), "TDrawItem.DeleteFromParent: (Parent = nil)");
}

TEST_F(DrawGroupTest, ZOrderCommandsUndoAndRedo)
{
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 1, 0);
    TTestLeaf* B = AddLeaf<TTestLeaf>(Root, 2, 0);
    TTestLeaf* C = AddLeaf<TTestLeaf>(Root, 3, 0);
    TTestLeaf* D = AddLeaf<TTestLeaf>(Root, 4, 0);
    Command([&] {
        Root.OneDown(A);
        Root.OneUp(D);
    });
    EXPECT_EQ(Order(Root), (V{1, 2, 3, 4}));
    EXPECT_FALSE(Page.History.CanUndo()); // nothing was recorded
    Command([&] { Root.OneUp(A); });
    Command([&] { Root.OneDown(D); });
    EXPECT_EQ(Order(Root), (V{2, 1, 4, 3}));
    Page.History.Undo();
    EXPECT_EQ(Order(Root), (V{2, 1, 3, 4}));
    Page.History.Undo();
    EXPECT_EQ(Order(Root), (V{1, 2, 3, 4}));
    Page.History.Redo();
    Page.History.Redo();
    EXPECT_EQ(Order(Root), (V{2, 1, 4, 3}));
    Page.History.Undo();
    Page.History.Undo();
    Command([&] { Root.ToTop({C, A}); });
    EXPECT_EQ(Order(Root), (V{2, 4, 1, 3}));
    Page.History.Undo();
    EXPECT_EQ(Order(Root), (V{1, 2, 3, 4}));
    Page.History.Redo();
    EXPECT_EQ(Order(Root), (V{2, 4, 1, 3}));
    Page.History.Undo();
    Command([&] { Root.ToBottom({D, B}); });
    EXPECT_EQ(Order(Root), (V{2, 4, 1, 3}));
    Page.History.Undo();
    Root.ToTop({D, C, B, A});
    Root.ToBottom({});
    EXPECT_EQ(Order(Root), (V{1, 2, 3, 4}));
    TTestLeaf Stranger(&Page, -1);
    EXPECT_EQ(Message([&] { Root.OneDown(&Stranger); }), "TDrawGroup.OneDown: DrawItem Not Found.");
    EXPECT_EQ(Message([&] { Root.OneUp(&Stranger); }), "TDrawGroup.OneUp: DrawItem Not Found.");
    TTestLeaf* Deep = AddLeaf<TTestLeaf>(*AddGroup(Root), 9, 0);
    EXPECT_EQ(Message([&] { Root.ToTop({A, Deep}); }), "TDrawGroup.ToTop");
    EXPECT_EQ(Message([&] { Root.ToBottom({Deep, B}); }), "TDrawGroup.ToBottom");
    EXPECT_EQ(Order(Root), (V{1, 2, 3, 4, -100}));
}

TEST_F(DrawGroupTest, MovesBetweenGroupsAreUndoneToTheirPlaces)
{
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 1, 0);
    TDrawGroup* Sub = AddGroup(Root);
    TTestLeaf* B = AddLeaf<TTestLeaf>(*Sub, 2, 0);
    AddLeaf<TTestLeaf>(*Sub, 3, 0);
    TDrawGroup* Target = AddGroup(Root);
    Command([&] {
        Target->AddChildToEnd(B);
        Target->AddChildToEnd(A);
    });
    EXPECT_EQ(Order(*Target), (V{2, 1}));
    EXPECT_EQ(Order(*Sub), V{3});
    EXPECT_EQ(B->Parent(), Target);
    Page.History.Undo();
    EXPECT_EQ(Order(Root), (V{1, -100, -100}));
    EXPECT_EQ(Order(*Sub), (V{2, 3}));
    EXPECT_EQ(Target->GetCount(), 0);
    EXPECT_EQ(B->Parent(), Sub);
    EXPECT_EQ(A->Parent(), &Root);
    Page.History.Redo();
    EXPECT_EQ(Order(*Target), (V{2, 1}));
    EXPECT_EQ(Message([&] { Target->AddChildToEnd(&Root); }),
              "TDrawGroup.AddChildToEnd: (Parent = nil)");
    EXPECT_EQ(Message([&] { Sub->AddChildToEnd(Root.GetItem(0)); }),
              "TDrawGroup.AddChildToEnd: item contains the group");
}

TEST_F(DrawGroupTest, DuplicateKeepsZOrder)
{
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 1, 0, 10);
    AddLeaf<TTestLeaf>(Root, 2, 0, 20);
    TTestLeafA* C = AddLeaf<TTestLeafA>(Root, 3, 0, 30);
    C->SetName("c");
    std::vector<TDrawItem*> Clones;
    Command([&] { Root.DuplicateItems({C, A}, Clones); });
    EXPECT_EQ(Order(Root), (V{1, 2, 3, 1, 3}));
    ASSERT_EQ(Clones, (std::vector<TDrawItem*>{Root.GetItem(3), Root.GetItem(4)}));
    EXPECT_EQ(&Clones[1]->GetClass(), &TTestLeafA::ClassInfo);
    EXPECT_EQ(Clones[1]->Name(), "c");
    EXPECT_EQ(static_cast<TTestLeaf*>(Clones[1])->Value, 30);
    EXPECT_NE(Clones[1]->ObjID(), C->ObjID());
    EXPECT_EQ(Clones[1]->Parent(), &Root);
    Page.History.Undo();
    EXPECT_EQ(Order(Root), (V{1, 2, 3}));
    std::vector<TDrawItem*> Sorted;
    TTestLeaf Stranger(&Page, -1);
    Root.SortByZOrder({C, &Stranger, A}, Sorted);
    EXPECT_EQ(Sorted, (std::vector<TDrawItem*>{A, C}));
}

TEST_F(DrawGroupTest, GeometryReachesEveryChild)
{
    EXPECT_EQ(Root.GetBounds(), (TRect{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}));
    EXPECT_EQ(Root.GetPaintExtent(), EmptyExtent);
    EXPECT_EQ(Root.GetSourceExtent(), EmptyExtent);
    EXPECT_EQ(Root.DistanceTo({0, 0}), INT32_MAX);
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 0, 0);
    TTestLeaf* B = AddLeaf<TTestLeaf>(*AddGroup(Root), 20, -5);
    EXPECT_EQ(Root.GetBounds(), (TRect{0, -5, 29, 9}));
    Root.CalcExtents();
    EXPECT_EQ(Root.GetPaintExtent(), (TRect{0, -5, 29, 9}));
    Root.ResetExtents();
    EXPECT_EQ(A->Extent, EmptyExtent);
    EXPECT_EQ(Root.DistanceTo({3, 4}), 5);
    EXPECT_TRUE(Root.HitTest({20, -4}, 1));
    EXPECT_FALSE(Root.HitTest({10, 10}, 1));
    TPoint P{19, -5};
    EXPECT_TRUE(Root.SnapPoint(P, 2));
    EXPECT_EQ(P, (TPoint{20, -5}));
    EXPECT_TRUE(Root.NodeNear({1, 0}, 2));
    EXPECT_TRUE(Root.IsSameItem(A));
    EXPECT_FALSE(Root.IsSameItem(B));
    // The topmost item in reach wins, not the nearest: B at sqrt(19^2 + 5^2) = 19.6.
    int32_t D = 0;
    TDrawItem* Item = nullptr;
    FindTopItemNearPoint(Root, {1, 0}, 30, D, Item);
    EXPECT_EQ(std::tuple(Item, D), std::tuple(B, 20));
    FindTopItemNearPoint(Root, {1, 0}, 5, D, Item);
    EXPECT_EQ(std::tuple(Item, D), std::tuple(A, 1));
    FindTopItemNearPoint(Root, {100, 0}, 5, D, Item);
    EXPECT_EQ(std::tuple(Item, D), std::tuple(nullptr, INT32_MAX));
    // A move along one axis still reaches every child.
    Root.MoveBy(5, 0);
    Root.MoveBy(0, -3);
    EXPECT_EQ(std::tuple(A->X, A->Y, B->X, B->Y), std::tuple(5, -3, 25, -8));
    Root.Rotate(0, 0, 0.5);
    Root.ScaleTo(0, 0, 2048, 1024);
    EXPECT_EQ(std::tuple(B->Rotated, A->Scaled), std::tuple(0.5, 2048.0));
}

TEST_F(DrawGroupTest, CommonClassAndPropertyObject)
{
    std::vector<std::string> Boxes;
    TMessageBoxHandler Old = SetMessageBoxHandler(
        [&](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
    TDrawGroup* Empty = AddGroup(Root);
    EXPECT_EQ(&Root.GetCommonClass(), &TDrawItem::ClassInfo);
    // Nothing to show is no error.
    EXPECT_EQ(Root.MakePropertyObject(), nullptr);
    EXPECT_TRUE(Boxes.empty());
    AddLeaf<TTestLeafA>(*Empty, 0, 0, 5);
    AddLeaf<TTestLeafA>(Root, 0, 0, 5);
    EXPECT_EQ(&Root.GetCommonClass(), &TTestLeafA::ClassInfo);
    AddLeaf<TTestLeafB>(Root, 0, 0, 5);
    EXPECT_EQ(&Root.GetCommonClass(), &TTestLeaf::ClassInfo);
    Page.Document.Modified = false;
    std::unique_ptr<TDrawItem> Obj = Root.MakePropertyObject();
    ASSERT_NE(Obj, nullptr);
    EXPECT_EQ(&Obj->GetClass(), &TTestLeaf::ClassInfo);
    EXPECT_EQ(static_cast<TTestLeaf*>(Obj.get())->Value, 5);
    EXPECT_EQ(Obj->Page(), nullptr);
    AddLeaf<TTestLeafB>(Root, 0, 0, 6);
    Obj = Root.MakePropertyObject();
    EXPECT_EQ(static_cast<TTestLeaf*>(Obj.get())->Value, -1);
    Obj.reset();
    EXPECT_TRUE(Boxes.empty());
    SetMessageBoxHandler(Old);
}

TEST_F(DrawGroupTest, AssignMatchesChildrenByClass)
{
    TDrawGroup Src(&Page, -1);
    AddLeaf<TTestLeafA>(Src, 1, 0, 11);
    TDrawGroup* SrcSub = AddGroup(Src);
    AddLeaf<TTestLeaf>(*SrcSub, 2, 0, 22);
    Src.SetName("src");
    for (int I = 0; I < 3; ++I)
        AddLeaf<TTestLeafB>(Root, 0, 0);
    Root.Assign(&Src);
    EXPECT_EQ(Root.Name(), "src");
    ASSERT_EQ(Root.GetCount(), 2);
    EXPECT_EQ(&Root.GetItem(0)->GetClass(), &TTestLeafA::ClassInfo);
    EXPECT_EQ(static_cast<TTestLeaf*>(Root.GetItem(0))->Value, 11);
    auto* Sub = dynamic_cast<TDrawGroup*>(Root.GetItem(1));
    ASSERT_NE(Sub, nullptr);
    EXPECT_EQ(Order(*Sub), V{2});
    EXPECT_EQ(Sub->Parent(), &Root);
    EXPECT_NE(Sub->GetItem(0), SrcSub->GetItem(0));
    EXPECT_TRUE(Root.SameAttributes(&Src));
    static_cast<TTestLeaf*>(Sub->GetItem(0))->Value = 0;
    EXPECT_FALSE(Root.SameAttributes(&Src));
    TDrawGroup E1(nullptr, -1), E2(nullptr, -1);
    EXPECT_TRUE(E1.SameAttributes(&E2));
    TTestLeaf Leaf(nullptr, -1);
    EXPECT_EQ(MessageOf<EConvertError>([&] { Root.Assign(&Leaf); }),
              "TDrawGroup.Assign: DrawItemSrc is not TDrawGroup");
}

TEST_F(DrawGroupTest, RelinkingAfterARead)
{
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 1, 0);
    TDrawGroup* Sub = AddGroup(Root);
    TTestLeaf* B = AddLeaf<TTestLeaf>(*Sub, 2, 0);
    Page.Layers.Add(std::make_unique<TLayer>());
    A->LinkLayer(Page.Layers.GetLayer(1));
    B->LinkLayer(Page.Layers.GetLayer(0));
    TMemoryStream S;
    Root.WriteToStream(S);
    TTestPage Page2;
    Page2.Layers.Add(std::make_unique<TLayer>());
    TTestLeaf Filler(&Page2, -1); // the new IDs differ from the stored ones
    TList2Item Map;
    S.SetPosition(1);
    TDrawGroup NewRoot(&Page2, -1);
    NewRoot.ReadFromStream(S, &Map, DrawItemStreamVersion);
    auto* NewSub = static_cast<TDrawGroup*>(NewRoot.GetItem(1));
    auto* NewB = static_cast<TTestLeaf*>(NewSub->GetItem(0));
    EXPECT_EQ(NewB->ReadParentID(), Sub->ObjID());
    EXPECT_NE(NewSub->ObjID(), Sub->ObjID());
    NewRoot.RelinkReadItems(&Map);
    TDrawItem::RelinkLayers(NewRoot, Page2.Layers);
    EXPECT_EQ(NewB->Parent(), NewSub);
    EXPECT_EQ(NewRoot.GetItem(0)->Parent(), &NewRoot);
    EXPECT_EQ(static_cast<TTestLeaf*>(NewRoot.GetItem(0))->Layer, Page2.Layers.GetLayer(1));
    EXPECT_EQ(NewB->Layer, Page2.Layers.GetLayer(0));
}

TEST_F(DrawGroupTest, UndoDataIsChecked)
{
    AddLeaf<TTestLeaf>(Root, 1, 0);
    const int32_t Index = 5;
    EXPECT_EQ(Message([&] { Root.Undo(2, &Index, 4); }), "TDrawGroup.Undo: Illegal Index.");
    EXPECT_EQ(Message([&] { Root.Undo(8, &Index, 2); }), "TDrawGroup.Undo: Illegal Data.");
    const int32_t Huge[2] = {1000, 0};
    EXPECT_EQ(Message([&] { Root.Undo(6, Huge, 8); }), "TDrawGroup.Undo: Illegal Data.");
    const int32_t Missing[4] = {1, 999, Root.ObjID(), 0};
    EXPECT_EQ(Message([&] { Root.Undo(6, Missing, 16); }), "TDrawGroup.Undo: item 999 not found");
    EXPECT_EQ(Order(Root), V{1});
    // A stored layer index the page does not have: nothing is inserted.
    TTestLeaf Bad(&Page, -1);
    Bad.LayerIndex = 7;
    TMemoryStream S;
    Bad.WriteToStream(S);
    EXPECT_EQ(Message([&] { Root.Redo(3, S.Memory(), static_cast<int32_t>(S.Size())); }),
              "TDrawItem.RelinkLayers: layer index 7 out of range (1 layers)");
    EXPECT_EQ(Order(Root), V{1});
}

TEST_F(DrawGroupTest, PaintAbortProgressAndFreeing)
{
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 1, 0);
    TTestLeaf* B = AddLeaf<TTestLeaf>(Root, 2, 0);
    TTestLeaf* C = AddLeaf<TTestLeaf>(Root, 3, 0);
    TrecDrawTarget Target;
    uint8_t Abort = 0;
    B->AbortOnPaint = true;
    Root.Paint(Target, 3, nullptr, &Abort, 0);
    EXPECT_EQ(A->Painted + B->Painted + C->Painted, 2);
    TRecordingPanel Panel;
    SetProgressStatusPanel(&Panel);
    B->AbortOnPaint = false;
    Page.DrawStartTime = DrawTickCount() - 1000; // long ago
    Root.Paint(Target, 3, nullptr, nullptr, 0);
    SetProgressStatusPanel(nullptr);
    EXPECT_EQ(C->Painted, 1);
    EXPECT_EQ(Panel.Shown, V{1}); // then the time was reset
    EXPECT_EQ(Panel.Texts, (std::vector<std::string>{"", " ", ""}));
    Root.Undo(1, "\0", 1); // hidden
    Root.Paint(Target, 3, nullptr, nullptr, 0);
    EXPECT_EQ(C->Painted, 1);
    // Freeing invalidates, unless the page goes too.
    TDrawGroup* Sub = AddGroup(Root);
    AddLeaf<TTestLeaf>(*Sub, 1, 0);
    size_t Before = Page.Invalidated.size();
    Root.DeleteChild(Sub);
    EXPECT_GT(Page.Invalidated.size(), Before);
    AddLeaf<TTestLeaf>(Root, 1, 0);
    Page.Destroying = true;
    Page.Document.Modified = false;
    Before = Page.Invalidated.size();
    RootOwner.reset();
    EXPECT_EQ(Page.Invalidated.size(), Before);
    EXPECT_FALSE(Page.Document.Modified);
}
