// The selection: its records 48 to 53 and 55 with undo and redo, change
// notifications, bounds, handles and hit testing, drag clones and the
// selection stream layout.
#include "object_test_support.h"

#include "foundation/app_environment.h"
#include "foundation/lists.h"
#include "foundation/user_error.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/selection.h"
#include "store/picture_store.h"
#include "model/text_object.h"
#include "platform/cp932.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct SelectionTest : ::testing::Test {
    TPrivateFolders Folders;
    TRealObjectTypes Types;
    TQuietPageDocument Doc;
    std::unique_ptr<TPage> Page;
    TSelectedObjects* Sel = nullptr;
    void SetUp() override
    {
        DiscardAppIniFile();
        SetPageSelectionFactory(&NewSelectedObjects);
        Page = std::make_unique<TPage>(&Doc.History);
        Page->SetDocument(&Doc);
        Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
        ASSERT_NE(Sel, nullptr);
    }
    void TearDown() override
    {
        Page.reset();
        SetPageSelectionFactory(nullptr);
        DiscardAppIniFile();
    }
    TRectObj* AddRect(int32_t X, int32_t Y, int32_t W, int32_t H)
    {
        auto R = std::make_unique<TRectObj>(Page.get(), -1);
        R->SetFrame(X, Y, W, H);
        return static_cast<TRectObj*>(Page->RootGroup().AddChild(std::move(R), -1));
    }
    TPolyLineObj* AddPoly(const TrecPath& Path)
    {
        auto P = std::make_unique<TPolyLineObj>(Page.get(), -1);
        P->SetPathRecord(Path);
        return static_cast<TPolyLineObj*>(Page->RootGroup().AddChild(std::move(P), -1));
    }
    // Objects made so far belong to no command.
    void Ready() { Doc.History.ResetObjCount(); }
    void InCommand(const std::function<void()>& F)
    {
        Doc.History.CommandStart("test");
        F();
        Doc.History.CommandEnd();
    }
    std::vector<uint8_t> Tree() { return StateOf(Page->RootGroup()); }
};

TEST_F(SelectionTest, AddRemoveAndClearUndoAndRedoTheList)
{
    TRectObj* A = AddRect(0, 0, 10, 10);
    TRectObj* B = AddRect(20, 0, 10, 10);
    TRectObj* C = AddRect(40, 0, 10, 10);
    Ready();
    InCommand([&] {
        Sel->AddItem(B);
        Sel->AddItem(A);
        Sel->AddItem(C);
    });
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{B, A, C}));
    InCommand([&] { Sel->RemoveItem(A); });
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{B, C}));
    // Undo puts the removed item back at its place.
    Doc.History.Undo();
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{B, A, C}));
    Doc.History.Redo();
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{B, C}));
    // A record of the ID alone appends.
    const int32_t ID = A->ObjID();
    Sel->Undo(TSelectedObjects::CmdRemoveItem, &ID, 4);
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{B, C, A}));
    Sel->RemoveItemSub(A);
    // Undoing a clear brings the same items back in their order.
    InCommand([&] { Sel->AddItem(A); });
    InCommand([&] { Sel->ClearSelection(); });
    EXPECT_EQ(Sel->Count(), 0);
    Doc.History.Undo();
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{B, C, A}));
    Doc.History.Redo();
    EXPECT_EQ(Sel->Count(), 0);
    // Clearing the empty selection records and notifies nothing: a command
    // without records is dropped, so the next undo is the clear above.
    int32_t Calls = 0;
    Sel->OnChange = [&](TSelectedObjects*, bool) { ++Calls; };
    InCommand([&] { Sel->ClearSelection(); });
    EXPECT_EQ(Calls, 0);
    Doc.History.Undo();
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{B, C, A}));
}

TEST_F(SelectionTest, SelectInRectNotifiesTwiceWhenItAddsAndOnceWhenNot)
{
    for (int32_t I = 0; I < 10; ++I)
        AddRect(I * 20, 0, 10, 10);
    std::vector<bool> Flags;
    Sel->OnChange = [&](TSelectedObjects*, bool F) { Flags.push_back(F); };
    Sel->SelectInRect({-5, -5, 500, 50}, true, Page->RootGroup());
    EXPECT_EQ(Sel->Count(), 10);
    EXPECT_EQ(Flags, (std::vector<bool>{false, true}));
    Sel->EmptyItems();
    Flags.clear();
    Sel->SelectInRect({1000, 1000, 1100, 1100}, false, Page->RootGroup());
    EXPECT_EQ(Flags, (std::vector<bool>{false}));
    // Inside-only needs the whole bounds; intersecting needs a touch.
    Sel->SelectInRect({0, 0, 5, 5}, true, Page->RootGroup());
    EXPECT_EQ(Sel->Count(), 0);
    Sel->SelectInRect({0, 0, 5, 5}, false, Page->RootGroup());
    EXPECT_EQ(Sel->Count(), 1);
}

TEST_F(SelectionTest, BoundsHandlesAndHitTest)
{
    TRectObj* A = AddRect(10, 20, 30, 40);
    TRectObj* B = AddRect(100, 200, 10, 10);
    Sel->AddItemSub(A);
    Sel->AddItemSub(B);
    const TRect BA = A->GetBounds(), BB = B->GetBounds();
    const TRect U{std::min(BA.Left, BB.Left), std::min(BA.Top, BB.Top),
                  std::max(BA.Right, BB.Right), std::max(BA.Bottom, BB.Bottom)};
    EXPECT_EQ(Sel->GetBounds(), U);
    // The handles are those of the union (their order is the anchors' own).
    TAnchors& An = Sel->GetAnchors();
    ASSERT_EQ(An.GetCount(), 10);
    EXPECT_EQ(An.GetRect(), U);
    const int32_t CY = (U.Top + U.Bottom) / 2;
    // The anchors' tolerance, 700 div zoom.
    EXPECT_EQ(Sel->HitTest(U.Right + 7, U.Top - 7, 100), 7);
    EXPECT_EQ(Sel->HitTest(U.Right + 8, U.Top, 100), 0);
    EXPECT_EQ(Sel->HitTest(U.Left - 2, U.Top + 2, 350), 6);
    // Inside the bounds, border included.
    EXPECT_EQ(Sel->HitTest(U.Left, CY + 50, 100), 1);
    EXPECT_EQ(Sel->HitTest(U.Left + 20, U.Bottom, 800), 1);
    EXPECT_EQ(Sel->HitTest(U.Left - 1, CY + 50, 800), 0);
    // The extent takes the rotation centre in.
    EXPECT_EQ(Sel->GetExtent().Left, U.Left);
    EXPECT_EQ(Sel->GetExtent().Bottom, U.Bottom);
    // Empty bounds get no handles.
    Sel->EmptyItems();
    Sel->AddItemSub(AddPoly(TrecPath{}));
    EXPECT_EQ(Sel->GetAnchors().GetCount(), 0);
    EXPECT_EQ(Sel->GetBounds().Left, 2147483647);
    EXPECT_EQ(Sel->HitTest(0, 0, 100), 0);
}

TEST_F(SelectionTest, TransformsGoThroughTheItemsUndoablyAndDragClonesKeepNothing)
{
    TRectObj* A = AddRect(10, 20, 30, 40);
    TPolyLineObj* P = AddPoly(MakePath({{0, 0, 6}, {50, 0, 2}, {50, 50, 2}}));
    Sel->AddItemSub(A);
    Sel->AddItemSub(P);
    Ready();
    const std::vector<uint8_t> Before = Tree();
    const TRect B0 = Sel->GetBounds();
    InCommand([&] { Sel->MoveBy(5, -3); });
    const TRect B1 = Sel->GetBounds();
    EXPECT_EQ(B1.Left, B0.Left + 5);
    EXPECT_EQ(B1.Top, B0.Top - 3);
    EXPECT_EQ(Sel->GetAnchors().GetNodeAnchor(1)->GetX(), B1.Left); // handles follow
    InCommand([&] { Sel->ScaleTo(0, 0, 2048, 2048); });
    InCommand([&] { Sel->RotateBy(20, 30, 0.5); });
    for (int I = 0; I < 3; ++I)
        Doc.History.Undo();
    EXPECT_EQ(Tree(), Before);
    // The drag group shows transforms of clones without keeping them.
    Sel->DuplicateToDragGroup();
    ASSERT_EQ(Sel->DragGroup().GetCount(), 2);
    EXPECT_STREQ(Sel->DragGroup().GetItem(0)->GetClass().Name, "TRectObj");
    EXPECT_STREQ(Sel->DragGroup().GetItem(1)->GetClass().Name, "TPolyLineObj");
    EXPECT_EQ(Sel->DragGroup().GetItem(1)->GetBounds().Right, 50);
    TRecordingDC DC;
    Doc.History.CommandStart("drag");
    Sel->RotateDragGroup(DC, 25, 25, 1.0);
    Sel->ScaleDragGroup(DC, 0, 0, 3000, 1024);
    Doc.History.CommandEnd();
    EXPECT_FALSE(DC.Calls.empty());
    EXPECT_EQ(Tree(), Before);
    EXPECT_FALSE(Doc.History.CanUndo()); // nothing recorded
    // A new snapshot replaces the old clones.
    Sel->RemoveItemSub(A);
    Sel->DuplicateToDragGroup();
    EXPECT_EQ(Sel->DragGroup().GetCount(), 1);
}

TEST_F(SelectionTest, StreamLayoutOfTheSelectedItems)
{
    TRectObj* A = AddRect(10, 20, 30, 40);
    TPolyLineObj* P = AddPoly(MakePath({{0, 0, 6}, {50, 0, 2}}));
    A->SetName("箱");
    // Selection order P, A; the stream keeps the tree order A, P.
    Sel->AddItemSub(P);
    Sel->AddItemSub(A);
    TMemoryStream S;
    S.WriteBuffer("junk", 4);
    Sel->SaveToStream(S, false);
    std::vector<uint8_t> E;
    PutI32(E, 25);
    E.push_back(0);      // group type
    PutI32(E, -1);       // the temporary group's ID
    PutI32(E, 0);        // empty name
    PutI32(E, 0);        // no parent
    E.push_back(1);      // visible
    PutI32(E, 2);        // two children
    const int32_t Root = Page->RootGroup().ObjID();
    for (TDrawItem* Item : {static_cast<TDrawItem*>(A), static_cast<TDrawItem*>(P)}) {
        std::vector<uint8_t> CB = StateOf(*Item);
        const size_t Off = 1 + 4 + 4 + Item->Name().size();
        int32_t Parent = 0;
        std::memcpy(&Parent, &CB[Off], 4);
        ASSERT_EQ(Parent, Root);
        std::fill_n(CB.begin() + long(Off), 4, 0xFF); // parent: the group (-1)
        E.insert(E.end(), CB.begin(), CB.end());
    }
    PutI32(E, 0); // the picture store part, no pictures
    EXPECT_EQ(Bytes(S), E);
    // The page reads it back as pasted items.
    S.SetPosition(0);
    Page->PasteFromStream(S);
    EXPECT_EQ(Page->RootGroup().GetCount(), 4);
    EXPECT_EQ(Sel->Count(), 2);
    EXPECT_STREQ(Sel->GetItem(0)->GetClass().Name, "TRectObj");
    EXPECT_EQ(Sel->GetItem(0)->Name(), "箱");
}

TEST_F(SelectionTest, IllegalCommandsRaise)
{
    const int32_t ID = 0;
    for (auto Call : std::vector<std::function<void()>>{[&] { Sel->Undo(54, &ID, 4); },
                                                        [&] { Sel->Undo(55, nullptr, 0); },
                                                        [&] { Sel->Redo(70, nullptr, 0); }})
        EXPECT_EQ(MessageOf<Exception>(Call), "TSelectedObjects.Undo: Illegal Command.");
}

TEST_F(SelectionTest, NodeSelectionRecordsUndoAndRedo)
{
    TPolyLineObj* P = AddPoly(MakePath({{0, 0, 6}, {50, 0, 2}, {50, 50, 2}, {0, 50, 2}}));
    Sel->SetEditMode(1);
    Sel->AddItemSub(P);
    TAnchors& A = Sel->GetAnchors();
    ASSERT_EQ(A.GetCount(), 4);
    Ready();
    InCommand([&] { A.SetNodeSelected(A.FindNodeAnchor(P, 1), 1, NodeSelectCode); });
    InCommand([&] {
        A.SetNodeSelected(A.FindNodeAnchor(P, 2), 1, NodeSelectCode);
        A.SetNodeSelected(A.FindNodeAnchor(P, 1), 0, NodeSelectCode);
    });
    auto States = [&] {
        std::vector<int> R;
        for (int32_t I = 0; I < 4; ++I)
            R.push_back(Sel->GetAnchors().FindNodeAnchor(P, I)->Selected);
        return R;
    };
    EXPECT_EQ(States(), (std::vector<int>{0, 0, 1, 0}));
    Doc.History.Undo();
    EXPECT_EQ(States(), (std::vector<int>{0, 1, 0, 0}));
    Doc.History.Redo();
    EXPECT_EQ(States(), (std::vector<int>{0, 0, 1, 0}));
    // Clearing in node mode keeps the node selection for undo.
    TRectObj* R = AddRect(100, 100, 10, 10);
    Ready();
    InCommand([&] { Sel->AddItem(R); });
    // The anchors are rebuilt for the new list: select again.
    InCommand([&] {
        Sel->GetAnchors().SetNodeSelected(Sel->GetAnchors().FindNodeAnchor(P, 2), 1, NodeSelectCode);
    });
    InCommand([&] { Sel->ClearSelection(); });
    EXPECT_EQ(Sel->Count(), 0);
    Doc.History.Undo();
    EXPECT_EQ(Sel->Items(), (std::vector<TDrawItem*>{P, R}));
    EXPECT_EQ(States(), (std::vector<int>{0, 0, 1, 0}));
    Doc.History.Redo();
    EXPECT_EQ(Sel->Count(), 0);
    // The node rubber band adds the items and selects the nodes inside.
    InCommand([&] { Sel->SelectNodesInRect({40, -5, 60, 5}, NodeSelectCode, Page->RootGroup()); });
    ASSERT_EQ(Sel->Items(), (std::vector<TDrawItem*>{P}));
    EXPECT_EQ(States(), (std::vector<int>{0, 1, 0, 0}));
    Doc.History.Undo();
    EXPECT_EQ(Sel->Count(), 0);
}

} // namespace
