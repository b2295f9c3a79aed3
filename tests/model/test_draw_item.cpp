#include <gtest/gtest.h>

#include "object_test_support.h"
#include "foundation/user_error.h"
#include "model/draw_progress.h"

namespace {

std::string Message(const std::function<void()>& Fn)
{
    return MessageOf<Exception>(Fn);
}

// A group in the binary form: the common part (without the visible byte
// before version 22) and the child count.
void PutGroupHead(std::vector<uint8_t>& B, int32_t ID, const std::string& Name, int32_t Parent,
                  int32_t Count, int32_t Version = 25)
{
    B.push_back(0);
    PutI32(B, ID);
    PutI32(B, static_cast<int32_t>(Name.size()));
    B.insert(B.end(), Name.begin(), Name.end());
    PutI32(B, Parent);
    if (Version >= 22)
        B.push_back(1);
    PutI32(B, Count);
}

void PutLeaf(std::vector<uint8_t>& B, int32_t ID, int32_t Parent, uint8_t Visible, int32_t X,
             int32_t Version = 25)
{
    B.push_back(TTestLeaf::TestLeafType);
    PutI32(B, ID);
    PutI32(B, 0);
    PutI32(B, Parent);
    if (Version >= 22)
        B.push_back(Visible);
    for (int32_t V : {X, 0, 0, 0})
        PutI32(B, V);
}

struct DrawItemStream : ::testing::Test {
    TTestLeafRegistration Registration;
};

} // namespace

TEST_F(DrawItemStream, BinaryFormByteForByte)
{
    TTestPage Page;
    TTestLeaf Dummy(&Page, -1); // takes ID 0, so the root is 1 and the leaf 2
    TDrawGroup Root(&Page, -1);
    Root.SetName("R");
    TTestLeaf* Leaf = AddLeaf<TTestLeaf>(Root, 5, -1, 7);
    Leaf->SetName(Utf8ToCp932("あ"));
    ASSERT_EQ(Root.ObjID(), 1);
    ASSERT_EQ(Leaf->ObjID(), 2);
    TMemoryStream S;
    Root.WriteToStream(S);
    const std::vector<uint8_t> Expected = {
        0x00, 1, 0, 0, 0, 1, 0, 0, 0, 'R', 0, 0, 0, 0, 1, 1, 0, 0, 0,           // group
        0x01, 2, 0, 0, 0, 2, 0, 0, 0, 0x82, 0xA0, 1, 0, 0, 0, 1,                 // leaf part
        5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 7, 0, 0, 0, 0, 0, 0, 0};             // leaf fields
    EXPECT_EQ(StreamBytes(S), Expected);
    TMemoryStream T;
    Root.WriteToStreamAsText(T);
    EXPECT_EQ(StreamText(T), "0\r\n1\r\nR\r\n0\r\n1\r\n1\r\n"
                             "1\r\n2\r\n\x82\xA0\r\n1\r\n1\r\n5\r\n-1\r\n7\r\n0\r\n");
}

TEST_F(DrawItemStream, RoundTripsWithIdentifierMap)
{
    TTestPage Page;
    TTestLeaf Dummy(&Page, -1);
    TDrawGroup Root(&Page, -1);
    Root.SetName("Root");
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 1, 2, 3);
    A->SetName("名前");
    AddLeaf<TTestLeaf>(Root, 4, 5, 6)->Undo(1, "\0", 1); // hidden
    for (bool Text : {false, true}) {
        TMemoryStream S;
        Text ? Root.WriteToStreamAsText(S) : Root.WriteToStream(S);
        S.SetPosition(0);
        TTestPage Page2;
        TList2Item Map;
        std::unique_ptr<TDrawItem> Item =
            Text ? DrawItemReadFromStreamAsTextNew(S, &Page2, &Map, DrawItemStreamVersion)
                 : DrawItemReadFromStreamNew(S, &Page2, &Map, -1, DrawItemStreamVersion);
        EXPECT_EQ(S.Position(), S.Size());
        auto* G = dynamic_cast<TDrawGroup*>(Item.get());
        ASSERT_NE(G, nullptr);
        EXPECT_EQ(G->Name(), "Root");
        ASSERT_EQ(G->GetCount(), 2);
        auto* RA = dynamic_cast<TTestLeaf*>(G->GetItem(0));
        auto* RB = dynamic_cast<TTestLeaf*>(G->GetItem(1));
        ASSERT_TRUE(RA && RB);
        EXPECT_EQ(RA->Name(), "名前");
        EXPECT_EQ(RA->Value, 3);
        EXPECT_EQ(RA->Visible(), 1);
        EXPECT_EQ(RB->Visible(), 0);
        EXPECT_EQ(RA->ReadParentID(), 1); // the stored parent until relinked
        EXPECT_EQ(RA->Parent(), G);
        // Stored IDs 1, 2, 3 map to the IDs the new items received.
        ASSERT_EQ(Map.Count(), 3);
        EXPECT_EQ(Map.GetItem(Map.IndexOfKey(1)), G->ObjID());
        EXPECT_EQ(Map.GetItem(Map.IndexOfKey(2)), RA->ObjID());
        EXPECT_EQ(Map.GetItem(Map.IndexOfKey(3)), RB->ObjID());
        // Written again, the tree gives the same form up to the new IDs.
        TMemoryStream S2;
        Text ? G->WriteToStreamAsText(S2) : G->WriteToStream(S2);
        EXPECT_EQ(S2.Size(), S.Size());
    }
}

TEST_F(DrawItemStream, NamesComeBackByteForByte)
{
    // CP932 bytes that a trip through UTF-8 would change: an NEC-selected
    // IBM extension (EE EF, whose IBM twin is FA 40), a pair no table
    // decodes (85 40) and a lead byte that ends the name.
    for (const std::string Name : {"\xEE\xEF", "\x85\x40", "ab\x82"}) {
        std::vector<uint8_t> B;
        PutGroupHead(B, -1, Name, 0, 1);
        PutLeaf(B, -1, -1, 1, 3);
        TMemoryStreamWex S;
        S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
        std::unique_ptr<TDrawItem> Item = DrawItemReadFromStreamNew(S, nullptr, nullptr, -1, 25);
        TMemoryStream Back;
        Item->WriteToStream(Back);
        EXPECT_EQ(StreamBytes(Back), B);
        const std::string Text = "0\r\n-1\r\n" + Name + "\r\n0\r\n1\r\n1\r\n" // group
                                 "1\r\n-1\r\n\r\n-1\r\n1\r\n3\r\n0\r\n0\r\n0\r\n";   // leaf
        S.SetPointer(Text.data(), static_cast<int64_t>(Text.size()));
        Item = DrawItemReadFromStreamAsTextNew(S, nullptr, nullptr, 25);
        TMemoryStream BackText;
        Item->WriteToStreamAsText(BackText);
        EXPECT_EQ(StreamText(BackText), Text);
    }
}

TEST_F(DrawItemStream, OldVersionsAndZeroIDs)
{
    // Version 21 has no visible byte: the items stay visible.
    std::vector<uint8_t> B;
    PutGroupHead(B, 0, "", 0, 1, 21);
    PutLeaf(B, 7, 0, 0, 9, 21);
    TMemoryStreamWex S;
    S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    TList2Item Map;
    std::unique_ptr<TDrawItem> Item = DrawItemReadFromStreamNew(S, nullptr, &Map, -1, 21);
    EXPECT_EQ(S.Position(), S.Size());
    auto* G = static_cast<TDrawGroup*>(Item.get());
    auto* L = static_cast<TTestLeaf*>(G->GetItem(0));
    EXPECT_EQ(L->Visible(), 1);
    EXPECT_EQ(L->X, 9);
    // The group's stored ID 0 adds nothing; the leaf's 7 does.
    ASSERT_EQ(Map.Count(), 1);
    EXPECT_EQ(Map.GetKey(0), 7);
    // The same text form with version 21 and 22.
    const std::string Old = "0\r\n0\r\n\r\n0\r\n1\r\n"                 // group
                            "1\r\n5\r\n\r\n0\r\n0\r\n1\r\n2\r\n3\r\n"; // leaf
    TMemoryStreamWex T;
    T.SetPointer(Old.data(), static_cast<int64_t>(Old.size()));
    Item = DrawItemReadFromStreamAsTextNew(T, nullptr, nullptr, 21);
    L = static_cast<TTestLeaf*>(static_cast<TDrawGroup*>(Item.get())->GetItem(0));
    EXPECT_EQ(L->Visible(), 1);
    EXPECT_EQ(L->Value, 2);
    EXPECT_EQ(L->LayerIndex, 3);
    const std::string New = "0\r\n0\r\n\r\n0\r\n1\r\n1\r\n"                // group
                            "1\r\n5\r\n\r\n0\r\n0\r\n1\r\n2\r\n3\r\n4\r\n"; // hidden leaf
    T.SetPointer(New.data(), static_cast<int64_t>(New.size()));
    Item = DrawItemReadFromStreamAsTextNew(T, nullptr, nullptr, 22);
    L = static_cast<TTestLeaf*>(static_cast<TDrawGroup*>(Item.get())->GetItem(0));
    EXPECT_EQ(L->Visible(), 0);
    EXPECT_EQ(L->X, 1);
}

TEST_F(DrawItemStream, TypeNumbersAreChecked)
{
    const uint8_t Seven[] = {7, 0, 0, 0, 0};
    TMemoryStreamWex S;
    S.SetPointer(Seven, sizeof(Seven));
    EXPECT_EQ(Message([&] { DrawItemReadFromStreamNew(S, nullptr, nullptr, -1, 25); }),
              "DrawItemReadFromStreamNew :DrawObjFileType incorrect");
    // 5 is a known number whose class nobody registered here.
    const uint8_t Five[] = {5, 0, 0, 0, 0};
    S.SetPointer(Five, sizeof(Five));
    EXPECT_EQ(Message([&] { DrawItemReadFromStreamNew(S, nullptr, nullptr, -1, 25); }),
              "DrawItemReadFromStreamNew: DrawObjFileType 5 not registered");
    // The text form takes 0..6 after clearing bit 7 (so 128 is a group, below);
    // 135 (7), 384 (256), negative numbers and other text are refused.
    for (const char* Line : {"7", "135", "384", "-1", "-128", "abc", ""}) {
        const std::string Text = std::string(Line) + "\r\n0\r\n\r\n0\r\n1\r\n0\r\n";
        TMemoryStreamWex T;
        T.SetPointer(Text.data(), static_cast<int64_t>(Text.size()));
        EXPECT_EQ(Message([&] { DrawItemReadFromStreamAsTextNew(T, nullptr, nullptr, 25); }),
                  "DrawItemReadFromStreamAsTextNew:DrawObjFileType incorrect")
            << Line;
    }
    for (const char* Line : {"0", "128"}) {
        const std::string Group = std::string(Line) + "\r\n0\r\n\r\n0\r\n1\r\n0\r\n";
        TMemoryStreamWex T;
        T.SetPointer(Group.data(), static_cast<int64_t>(Group.size()));
        EXPECT_NE(dynamic_cast<TDrawGroup*>(
                      DrawItemReadFromStreamAsTextNew(T, nullptr, nullptr, 25).get()),
                  nullptr)
            << Line;
    }
    EXPECT_EQ(Message([] { RegisterDrawItemType(7, &NewTestItem<TTestLeaf>); }),
              "RegisterDrawItemType: DrawObjFileType 7 incorrect");
    EXPECT_EQ(GetDrawItemFactory(0), TDrawGroup::ClassInfo.Create);
    EXPECT_EQ(GetDrawItemFactory(-1), nullptr);
}

TEST_F(DrawItemStream, NestingIsLimited)
{
    auto Nested = [](int32_t Depth) {
        std::vector<uint8_t> B;
        for (int32_t K = 0; K < Depth; ++K)
            PutGroupHead(B, K + 1, "", K, K + 1 < Depth ? 1 : 0);
        return B;
    };
    std::vector<uint8_t> B = Nested(DrawItemMaxDepth);
    TMemoryStreamWex S;
    S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    EXPECT_NE(DrawItemReadFromStreamNew(S, nullptr, nullptr, -1, 25), nullptr);
    B = Nested(DrawItemMaxDepth + 1);
    S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    EXPECT_EQ(Message([&] { DrawItemReadFromStreamNew(S, nullptr, nullptr, -1, 25); }),
              "DrawItemReadFromStreamNew: groups nested deeper than 256");
    // The depth count is back to zero after the failure.
    S.SetPointer(B.data() + 18, static_cast<int64_t>(B.size()) - 18);
    EXPECT_NE(DrawItemReadFromStreamNew(S, nullptr, nullptr, -1, 25), nullptr);
}

TEST_F(DrawItemStream, FailedReadLeavesTheGroupUnchanged)
{
    TTestPage Page;
    TDrawGroup Root(&Page, -1);
    Root.SetName("Root");
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 1, 1);
    TTestLeaf* B = AddLeaf<TTestLeaf>(Root, 2, 2);
    const int32_t ModifiedCalls = Page.Document.ModifiedCalls;
    const size_t Invalidated = Page.Invalidated.size();
    auto Check = [&](const std::vector<uint8_t>& Bytes, const std::string& Expected) {
        TMemoryStreamWex S;
        S.SetPointer(Bytes.data() + 1, static_cast<int64_t>(Bytes.size()) - 1); // type consumed
        TList2Item Map;
        EXPECT_EQ(Message([&] { Root.ReadFromStream(S, &Map, 25); }), Expected);
        EXPECT_EQ(Root.Name(), "Root");
        ASSERT_EQ(Root.GetCount(), 2);
        EXPECT_EQ(Root.GetItem(0), A);
        EXPECT_EQ(Root.GetItem(1), B);
        EXPECT_EQ(Page.Document.ModifiedCalls, ModifiedCalls);
        EXPECT_EQ(Page.Invalidated.size(), Invalidated);
    };
    // A good child followed by an unknown type.
    std::vector<uint8_t> Bytes;
    PutGroupHead(Bytes, 3, "X", 0, 2);
    PutLeaf(Bytes, 4, 3, 1, 8);
    Bytes.push_back(9);
    Check(Bytes, "DrawItemReadFromStreamNew :DrawObjFileType incorrect");
    // A count the bytes left cannot hold.
    Bytes.clear();
    PutGroupHead(Bytes, 3, "X", 0, 0x7FFFFFFF);
    PutLeaf(Bytes, 4, 3, 1, 8);
    Check(Bytes, "TDrawGroup.ReadFromStream: child count 2147483647 does not fit the 30 bytes left");
    Bytes.clear();
    PutGroupHead(Bytes, 3, "X", 0, -1);
    Check(Bytes, "TDrawGroup.ReadFromStream: child count -1 does not fit the 0 bytes left");
    // A stream that ends inside a child.
    Bytes.clear();
    PutGroupHead(Bytes, 3, "X", 0, 1);
    PutLeaf(Bytes, 4, 3, 1, 8);
    Bytes.resize(Bytes.size() - 3);
    Check(Bytes, "ストリームの読み込みエラー");
    // The text reader alike.
    const std::string Text = "0\r\n3\r\nX\r\n0\r\n1\r\n1000\r\n1\r\n4\r\n\r\n3\r\n1\r\n";
    TMemoryStreamWex T;
    T.SetPointer(Text.data() + 3, static_cast<int64_t>(Text.size()) - 3);
    EXPECT_EQ(Message([&] { Root.ReadFromStreamAsText(T, nullptr, 25); }),
              "TDrawGroup.ReadFromStreamAsText: child count 1000 does not fit the 14 bytes left");
    EXPECT_EQ(Root.Name(), "Root");
    EXPECT_EQ(Root.GetCount(), 2);
}

TEST(DrawItem, NameVisibleAndHistory)
{
    TTestPage Page;
    TTestLeaf Leaf(&Page, -1);
    Page.History.CommandStart("name");
    Leaf.SetName("一");
    Page.History.CommandEnd();
    EXPECT_TRUE(Page.Document.Modified);
    Page.History.Undo();
    EXPECT_EQ(Leaf.Name(), "");
    Page.History.Redo();
    EXPECT_EQ(Leaf.Name(), "一");
    // The same name records nothing: the command is dropped.
    THistoryCommand& H = Page.History;
    H.Undo();
    H.Undo();
    H.CommandStart("same");
    Leaf.SetName("");
    H.CommandEnd();
    EXPECT_FALSE(H.CanUndo());
    // Longer names are cut to 255 bytes where a character begins.
    const std::string Long = std::string(254, 'a') + Utf8ToCp932("あ");
    H.CommandStart("long");
    Leaf.SetName(Long);
    H.CommandEnd();
    H.CommandStart("short");
    Leaf.SetName("b");
    H.CommandEnd();
    H.Undo();
    EXPECT_EQ(Leaf.Name(), std::string(254, 'a'));
    // Undo codes 0 (name) and 1 (visible).
    const uint8_t Name[] = {2, 'o', 'k', 'x'};
    Leaf.Undo(0x80, Name, sizeof(Name)); // the low seven bits count
    EXPECT_EQ(Leaf.Name(), "ok");
    const uint8_t Hide = 0;
    Leaf.Undo(1, &Hide, 1);
    EXPECT_EQ(Leaf.Visible(), 0);
    const uint8_t Show = 1;
    Leaf.Redo(1, &Show, 1);
    EXPECT_EQ(Leaf.Visible(), 1);
    EXPECT_EQ(Message([&] { Leaf.Undo(2, nullptr, 0); }), "TDrawItem.Undo: Illegal Command.");
    EXPECT_EQ(Message([&] { Leaf.Undo(0, Name, 2); }), "TDrawItem.Undo: Illegal Data.");
    EXPECT_EQ(Message([&] { Leaf.Undo(1, nullptr, 0); }), "TDrawItem.Undo: Illegal Data.");
    // AddHistory sets the modified flag only while recording.
    Page.Document.Modified = false;
    const int32_t V = 1;
    Leaf.AddHistory(0, 100, &V, 4);
    EXPECT_FALSE(Page.Document.Modified);
    Page.History.CommandStart("c");
    Page.History.LockAddHistory();
    Leaf.AddHistory(0, 100, &V, 4);
    EXPECT_FALSE(Page.Document.Modified);
    Page.History.UnLockAddHistory();
    Leaf.AddHistory(0, 100, &V, 4);
    EXPECT_TRUE(Page.Document.Modified);
    Page.History.CommandEnd();
}

TEST(DrawItem, MergeSkipsLeaveUnchangedValues)
{
    TrecRectParam R{1, {0, 0, 0}, 20, 6, 2};
    const TrecRectParam Keep{255, {9, 9, 9}, INT32_MIN, 65535, 65535};
    TrecRectParam Copy = R;
    MergeRectParam(Copy, Keep);
    EXPECT_EQ(std::memcmp(&Copy, &R, sizeof(R)), 0);
    MergeRectParam(Copy, TrecRectParam{0, {}, -5, 65534, 0});
    EXPECT_EQ(std::tuple(+Copy.Bevel, +Copy.CornerRadius, +Copy.CornerCount, +Copy.CornerPosition),
              std::tuple(0, -5, 65534, 0));
    TrecStarParam S;
    S.InnerRadius = 0.25;
    TrecStarParam Src{-1.0, 7, INT32_MIN, 3, -1, -2, -1, -1, 8, -1, ParamDoubleUnchanged};
    MergeStarParam(S, Src);
    // InnerVariation: 0xFFFFFFFE is below 0xFFFFFFFF.
    EXPECT_EQ(std::tuple(+S.InnerRadius, +S.Count, +S.Corner1, +S.Corner2, +S.AngleVariation,
                         +S.InnerVariation, +S.Kept1, +S.Kept2, +S.StartAngle),
              std::tuple(0.25, 7, 0, 3, 0, -2, 0, 8, 0.0));
    TrecPolygonParam P;
    MergePolygonParam(P, TrecPolygonParam{-1, INT32_MIN, 4, -1, -1, 1.5});
    EXPECT_EQ(std::tuple(+P.Count, +P.CornerSize, +P.AngleVariation, +P.StartAngle),
              std::tuple(5, 0, 4, 1.5));
    TrecTextParam T{1, 2, 3, 4, {}, 5, 6, 7, {}};
    MergeTextParam(T, TrecTextParam{-1, 9, 0, 0, {}, -1, 0, 0, {}});
    EXPECT_EQ(std::tuple(T.Value1, T.Value2, T.Value3), std::tuple(1, 9, 5));
    EXPECT_EQ(T.Byte1 + T.Byte2 + T.Byte3 + T.Byte4, 0); // always copied
}

TEST(DrawItem, RelinkLayersAndTreeWideChanges)
{
    TTestPage Page;
    Page.Layers.Add(std::make_unique<TLayer>());
    TDrawGroup Root(&Page, -1);
    TTestLeaf* A = AddLeaf<TTestLeaf>(Root, 0, 0);
    auto* Sub = static_cast<TDrawGroup*>(Root.AddChild(std::make_unique<TDrawGroup>(&Page, -1), -1));
    TTestLeaf* B = AddLeaf<TTestLeaf>(*Sub, 0, 0);
    A->LayerIndex = 1;
    B->LayerIndex = 2;
    EXPECT_EQ(Message([&] { TDrawItem::RelinkLayers(Root, Page.Layers); }),
              "TDrawItem.RelinkLayers: layer index 2 out of range (2 layers)");
    EXPECT_EQ(A->Layer, nullptr);
    B->LayerIndex = -1;
    EXPECT_THROW(TDrawItem::RelinkLayers(Root, Page.Layers), EUserError);
    B->LayerIndex = 0;
    TDrawItem::RelinkLayers(Root, Page.Layers);
    EXPECT_EQ(A->Layer, Page.Layers.GetLayer(1));
    EXPECT_EQ(B->Layer, Page.Layers.GetLayer(0));
    // Tree-wide changes walk every leaf.
    TDrawItem::SetWireframeColor(Root, 0x123456);
    EXPECT_EQ(A->Value, 0x123456);
    EXPECT_EQ(B->Value, 0x123456);
    // Every object reads the new list from the same place.
    TMemoryStream S;
    const int32_t V = 42;
    S.WriteBuffer(&V, 4);
    S.SetPosition(0);
    TDrawItem::SetFMacros(Root, S);
    EXPECT_EQ(A->Value, 42);
    EXPECT_EQ(B->Value, 42);
    B->AcceptsMacros = false;
    EXPECT_EQ(Message([&] { TDrawItem::SetFMacroEnabled(Root, 0, 1); }),
              "TDrawItem.SetFMacroEnabled: Illegal Class");
    EXPECT_EQ(Message([&] { TDrawItem::ClearMacrosPictCache(Root, -1); }),
              "TDrawItem.ClearMacrosPictCache: Illegal Class");
    // A change that does not apply to the class is skipped.
    TDrawItem::SetRectParam(Root, TrecRectParam{});
    EXPECT_EQ(TDrawItem::GetFirstDrawObject(&Root), A);
    Root.OneUp(A);
    EXPECT_EQ(TDrawItem::GetFirstDrawObject(&Root), B);
    TDrawGroup Empty(nullptr, -1);
    EXPECT_EQ(TDrawItem::GetFirstDrawObject(&Empty), nullptr);
}

TEST(DrawItem, HelpersOfTheGroup)
{
    TrecDrawProgress P{3, 4, 1, 2};
    EXPECT_EQ(DrawProgressBarWidth(P), 62); // (2 x 2 + 1) x 100 div 8
    P = {1, 1, 5, 2};
    EXPECT_EQ(DrawProgressBarWidth(P), 100);
    P = {1, 0, 0, 1};
    EXPECT_EQ(DrawProgressBarWidth(P), 0);
    const int32_t R1[3] = {9, 9, 5};
    const int32_t R2[3] = {0, 0, 3};
    const int32_t R3[3] = {0, 0, -1};
    EXPECT_GT(CompareRec12ByThird(R1, R2), 0);
    EXPECT_GT(CompareRec12ByThird(R3, R1), 0); // unsigned
    const uint32_t U1 = 0x80000000u, U2 = 1;
    EXPECT_GT(CompareUInt32(&U1, &U2), 0);
}
