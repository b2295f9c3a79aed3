#include <gtest/gtest.h>

#include "object_test_support.h"

#include "foundation/user_error.h"
#include "model/draw_object.h"
#include "paint/macro_list.h"

#include <functional>
#include <tuple>

namespace {

struct DrawObjectTest : ::testing::Test {
    TTestMacroLibrary Library;
    TTestObjectTypes Types;
    TObjPage Page;
    TDrawGroup Root{&Page, -1};
    template <class T = TTestShape>
    T* Add(const std::string& Name = "")
    {
        auto Obj = std::make_unique<T>(&Page, -1);
        T* Raw = Obj.get();
        Root.AddChild(std::move(Obj), -1);
        if (!Name.empty()) {
            Page.History.LockAddHistory();
            Raw->SetName(Name);
            Page.History.UnLockAddHistory();
        }
        return Raw;
    }
    // Runs Change as one command; Undo must give the state before, Redo the
    // state after. Returns the (kind, code) records the object made.
    template <class T>
    std::vector<std::pair<uint8_t, int32_t>> UndoRedo(T& Obj, const std::function<void()>& Change)
    {
        Obj.Records.clear();
        const auto Before = StateOf(Obj);
        Page.History.CommandStart("change");
        Change();
        Page.History.CommandEnd();
        const auto After = StateOf(Obj);
        EXPECT_NE(Before, After);
        Page.History.Undo();
        EXPECT_EQ(StateOf(Obj), Before);
        Page.History.Redo();
        EXPECT_EQ(StateOf(Obj), After);
        return Obj.Records;
    }
};

using Recs = std::vector<std::pair<uint8_t, int32_t>>;

// The pair of records of one change with Code.
Recs Both(int32_t Code) { return {{0, Code}, {1, Code}}; }

// The binary form of a shape as written now: type, common part, the
// draw-object part, the line-object part, the shape's rectangle.
std::vector<uint8_t> ShapeBytes(int32_t ID, int32_t Parent, int32_t Colour, uint8_t Flag)
{
    std::vector<uint8_t> B{TTestShape::TypeNo};
    PutI32(B, ID);
    PutStr(B, "A");
    PutI32(B, Parent);
    B.push_back(1);      // visible
    PutI32(B, Colour);
    B.push_back(Flag);   // fill-path flag
    PutI32(B, 0);        // layer index
    PutI32(B, 0);        // no fill macros
    PutI32(B, 0);        // no path macros
    B.push_back(0);      // outline kind 0
    B.push_back(Flag);   // fill-path flag of the line object
    for (int32_t V : {10, 10, 50, 30})
        PutI32(B, V);
    return B;
}

std::vector<uint8_t> PathRecordBytes(const TrecPath& P)
{
    std::vector<uint8_t> B{P.Flag};
    for (int32_t V : {P.Bounds.Left, P.Bounds.Top, P.Bounds.Right, P.Bounds.Bottom})
        PutI32(B, V);
    PutI32(B, P.Count);
    for (int32_t I = 0; I < P.Count; ++I) {
        PutI32(B, P.Points[size_t(I)].X);
        PutI32(B, P.Points[size_t(I)].Y);
    }
    for (int32_t I = 0; I < P.Count; ++I)
        B.push_back(P.pabType[size_t(I)]);
    return B;
}

std::unique_ptr<TDrawItem> ReadBinary(const std::vector<uint8_t>& B, TPageLink* Page, int32_t Version)
{
    TMemoryStreamWex S;
    S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    return DrawItemReadFromStreamNew(S, Page, nullptr, -1, Version);
}

}  // namespace

TEST_F(DrawObjectTest, CreationTakesTheInstalledDefaultsAndTheCurrentLayer)
{
    TInstalledDefaults Defaults;
    Defaults.Data->WireframeColor = 0x00ABCDEF;
    Defaults.Data->Macros->Insert(0, *TTestMacroLibrary::Get("Blue"));
    TLayer* Second = Page.Layers.Add(std::make_unique<TLayer>());
    Page.Layers.SetCurrent(Second);
    TTestShape S(&Page, -1);
    EXPECT_EQ(S.WireframeColor(), 0x00ABCDEF);
    ASSERT_EQ(S.Macros().Count(), 1);
    EXPECT_EQ(S.Macros().GetMacro(0)->Name(), "Blue");
    EXPECT_EQ(std::tuple(S.Layer(), S.GetPaintExtent(), S.GetSourceExtent(), S.OutputPathState(),
                         S.BasePathState()),
              std::tuple(Second, EmptyExtent, EmptyExtent, 0, 0));
}

TEST_F(DrawObjectTest, StoredFormsByteForByteAndBack)
{
    TTestShape* S = Add("A");
    Page.History.LockAddHistory();
    S->SetFillPath(1);
    TDrawItem::SetWireframeColor(*S, 0x123456);
    Page.History.UnLockAddHistory();
    EXPECT_EQ(StateOf(*S), ShapeBytes(S->ObjID(), Root.ObjID(), 0x123456, 1));
    // A polyline stores its base path where a shape stores its flag.
    auto* P = Add<TTestPolyLine>("A");
    const TrecPath Base = MakePath({{0, 0, PT_MOVETO}, {40, 5, PT_LINETO}});
    P->SetBase(Base);
    std::vector<uint8_t> Want{TTestPolyLine::TypeNo};
    PutI32(Want, P->ObjID());
    PutStr(Want, "A");
    PutI32(Want, Root.ObjID());
    Want.push_back(1);  // visible; then colour, flag, layer, two macro lists, outline kind
    Want.insert(Want.end(), 4 + 1 + 12 + 1, 0);
    PutBytes(Want, PathRecordBytes(Base));
    EXPECT_EQ(StateOf(*P), Want);
    // Read back: the same bytes but the object ID (bytes 1-4), both paths to
    // be rebuilt (a shape's base path too), the layer index kept for relinking.
    auto Read = ReadBinary(StateOf(*S), &Page, 25);
    auto* R = dynamic_cast<TTestShape*>(Read.get());
    ASSERT_NE(R, nullptr);
    EXPECT_EQ(std::tuple(R->OutputPathState(), R->BasePathState(), R->GetStoredLayerIndex(), R->Layer()),
              std::tuple(0, 0, 0, nullptr));
    Root.AddChild(std::move(Read), -1);
    std::vector<uint8_t> Again = StateOf(*R);
    const std::vector<uint8_t> Orig = StateOf(*S);
    std::copy(Orig.begin() + 1, Orig.begin() + 5, Again.begin() + 1);
    EXPECT_EQ(Again, Orig);
    // The text form, line by line.
    S->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    TMemoryStream T;
    S->WriteToStreamAsText(T);
    const std::string Text = StreamText(T);
    const std::string Head = "3\r\n" + std::to_string(S->ObjID()) + "\r\nA\r\n" +
                             std::to_string(Root.ObjID()) + "\r\n1\r\n1193046\r\n1\r\n0\r\n1\r\nRed\r\n";
    EXPECT_EQ(Text.substr(0, Head.size()), Head);
    // Path macros, outline kind, flag, the rectangle.
    const std::string Tail = "0\r\n0\r\n1\r\n10\r\n10\r\n50\r\n30\r\n";
    EXPECT_EQ(Text.substr(Text.size() - Tail.size()), Tail);
    T.SetPosition(0);
    auto ReadText = DrawItemReadFromStreamAsTextNew(T, &Page, nullptr, 25);
    auto* RT = dynamic_cast<TTestShape*>(ReadText.get());
    ASSERT_NE(RT, nullptr);
    EXPECT_EQ(std::tuple(RT->Name(), RT->WireframeColor(), RT->FillPath(), RT->BasePath().Flag, RT->Rect),
              std::tuple("A", 0x123456, 1, 1, S->Rect));
    EXPECT_TRUE(RT->Macros().Equals(S->Macros()));
    EXPECT_EQ(T.Position(), T.Size());
}

TEST_F(DrawObjectTest, OldVersionsRead)
{
    TrecPath OutFilled = MakePath({{1, 2, PT_MOVETO}, {9, 8, PT_LINETO}});
    OutFilled.Flag = 1;
    const TrecPath Base = MakePath({{100, 100, PT_MOVETO}, {140, 100, PT_LINETO}, {140, 120, PT_LINETO}});
    // Version 6: no visible byte, the output path stored, then the base path
    // before the path macros.
    std::vector<uint8_t> B{TTestShape::TypeNo};
    PutI32(B, 7);
    PutStr(B, "old");
    PutI32(B, 0);
    PutI32(B, 0x0000FF);
    PutBytes(B, PathRecordBytes(OutFilled));
    PutI32(B, 2);
    PutI32(B, 0);
    PutBytes(B, PathRecordBytes(Base));
    PutI32(B, 0);
    for (int32_t V : {1, 2, 3, 4})
        PutI32(B, V);
    auto Item = ReadBinary(B, &Page, 6);
    auto* S = dynamic_cast<TTestShape*>(Item.get());
    ASSERT_NE(S, nullptr);
    EXPECT_EQ(std::tuple(S->Visible(), S->WireframeColor(), S->FillPath(), S->GetStoredLayerIndex(),
                         S->BasePathState(), S->Rect),
              std::tuple(1, 0xFF, 1, 2, 2, TRect{1, 2, 3, 4}));
    EXPECT_EQ(PointsOf(S->BasePath()), PointsOf(Base));
    // The stored base path is taken as it is: nothing is regenerated.
    S->GetPath();
    EXPECT_EQ(S->Builds, 0);
    EXPECT_EQ(PointsOf(S->OutputPath()), PointsOf(Base));
    // Version 7: nothing in place of the flag, no outline, no second flag.
    B = {TTestShape::TypeNo};
    PutI32(B, 7);
    PutStr(B, "");
    for (int32_t V : {0, 5, 1, 0, 0})
        PutI32(B, V);
    for (int32_t V : {1, 2, 3, 4})
        PutI32(B, V);
    Item = ReadBinary(B, &Page, 7);
    S = dynamic_cast<TTestShape*>(Item.get());
    ASSERT_NE(S, nullptr);
    EXPECT_EQ(std::tuple(S->FillPath(), S->BasePathState(), S->Rect), std::tuple(0, 0, TRect{1, 2, 3, 4}));
    // Version 16: both flags, no outline; version 21: the outline, still no
    // visible byte.
    for (int32_t Version : {16, 21}) {
        B = {TTestShape::TypeNo};
        PutI32(B, 7);
        PutStr(B, "");
        for (int32_t V : {0, 5})
            PutI32(B, V);
        B.push_back(1);
        for (int32_t V : {0, 0, 0})
            PutI32(B, V);
        if (Version >= 17)
            B.push_back(0);
        B.push_back(1);
        for (int32_t V : {1, 2, 3, 4})
            PutI32(B, V);
        Item = ReadBinary(B, &Page, Version);
        S = dynamic_cast<TTestShape*>(Item.get());
        ASSERT_NE(S, nullptr) << Version;
        EXPECT_EQ(std::tuple(S->FillPath(), S->BasePath().Flag, S->Visible(), S->Outline().FOutlineKind,
                             S->Rect),
                  std::tuple(1, 1, 1, 0, TRect{1, 2, 3, 4}));
    }
}

TEST_F(DrawObjectTest, ReadersRefuseBadData)
{
    TTestShape* S = Add("A");
    const std::vector<uint8_t> Good = StateOf(*S);
    for (size_t N = 1; N < Good.size(); ++N) {
        std::vector<uint8_t> Cut(Good.begin(), Good.begin() + long(N));
        EXPECT_THROW(ReadBinary(Cut, &Page, 25), Exception) << N;
    }
    // An outline kind outside the known ones.
    std::vector<uint8_t> Bad = Good;
    Bad[Good.size() - 18] = 9;
    EXPECT_THROW(ReadBinary(Bad, &Page, 25), EReadError);
    auto ReadText = [&](const std::string& Text) {
        TMemoryStream T;
        T.WriteBuffer(Text.data(), int32_t(Text.size()));
        T.SetPosition(0);
        return DrawItemReadFromStreamAsTextNew(T, &Page, nullptr, 25);
    };
    const std::string Head = "3\r\n5\r\nA\r\n0\r\n1\r\n";
    EXPECT_THROW(ReadText(Head + "red\r\n"), EConvertError);
    EXPECT_EQ(MessageOf<Exception>([&] { ReadText(Head + "0\r\n300\r\n"); }),
              "TDrawObject.ReadFromStreamAsText: 300 is not a byte");
    EXPECT_THROW(ReadText(Head + "0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n-4\r\n"), EReadError);
    EXPECT_NO_THROW(ReadText(Head + "0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n1\r\n1\r\n2\r\n3\r\n4\r\n"));
}

TEST_F(DrawObjectTest, MoveAndMacroCommandsUndoAndRedoExactly)
{
    auto* P = Add<TTestPolyLine>();
    P->SetBase(MakePath({{0, 0, PT_MOVETO}, {40, 5, PT_LINETO}}));
    Page.History.LockAddHistory();
    P->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    P->Macros().Insert(1, *TTestMacroLibrary::Get("Blue"));
    Page.History.UnLockAddHistory();
    auto Names = [&] {
        std::string S;
        for (int32_t I = 0; I < P->Macros().Count(); ++I)
            S += P->Macros().GetMacro(I)->Name() + " ";
        return S;
    };
    EXPECT_EQ(UndoRedo(*P, [&] { P->MoveBy(3, -4); }), Both(9));
    EXPECT_EQ(PointsOf(P->GetBasePath()), (std::vector<TPoint>{{3, -4}, {43, 1}}));
    EXPECT_EQ(UndoRedo(*P, [&] { TDrawItem::SetWireframeColor(*P, 0xFF00); }), Both(10));
    EXPECT_EQ(UndoRedo(*P, [&] { TDrawItem::DeleteFMacro(*P, 0); }), Both(11));
    EXPECT_EQ(Names(), "Blue ");
    EXPECT_EQ(UndoRedo(*P, [&] { TDrawItem::InsertFMacro(*P, 9, *TTestMacroLibrary::Get("Tex")); }),
              Both(14));
    EXPECT_EQ(Names(), "Blue Tex ");
    EXPECT_EQ(UndoRedo(*P, [&] { TDrawItem::ExchangeFMacro(*P, 0, 1); }), Both(12));
    EXPECT_EQ(Names(), "Tex Blue ");
    const int32_t Anchors = Page.AnchorsInvalidated;
    EXPECT_EQ(UndoRedo(*P, [&] {
                  TDrawItem::InsertFMacro(*P, 0, *TTestMacroLibrary::Get("Red"));
                  TDrawItem::MoveFMacro(*P, 0, 2);
              }),
              (Recs{{0, 14}, {1, 14}, {0, 13}, {1, 13}}));
    EXPECT_EQ(Names(), "Tex Blue Red ");
    EXPECT_GT(Page.AnchorsInvalidated, Anchors);
    TMacros NewList;
    NewList.Insert(0, *TTestMacroLibrary::Get("Red"));
    TMemoryStream S;
    NewList.WriteToStream(S);
    S.SetPosition(0);
    EXPECT_EQ(UndoRedo(*P, [&] { TDrawItem::SetFMacros(*P, S); }), Both(15));
    EXPECT_EQ(Names(), "Red ");
    TMacros Params;
    Params.Assign(&P->Macros());
    Params.GetMacro(0)->SetParamValue("不透明度", "50");
    EXPECT_EQ(UndoRedo(*P, [&] { TDrawItem::SetFMacrosPaintParam(*P, Params); }), Both(16));
    EXPECT_EQ(P->Macros().GetMacro(0)->Line(0).Params[2].Value, "50");
    EXPECT_EQ(UndoRedo(*P, [&] { TDrawItem::SetFMacroEnabled(*P, 0, 0); }), Both(17));
    EXPECT_EQ(P->Macros().GetMacro(0)->Enabled(), 0);
    // A move by nothing records nothing.
    P->Records.clear();
    Page.History.CommandStart("none");
    P->MoveBy(0, 0);
    Page.History.CommandEnd();
    EXPECT_TRUE(P->Records.empty());
}

TEST_F(DrawObjectTest, MacroCommandsRefuseMismatches)
{
    TTestShape* S = Add();
    S->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    const auto Before = StateOf(*S);
    EXPECT_EQ(MessageOf<Exception>([&] { TDrawItem::ClearMacrosPictCache(*S, 1); }),
              "TDrawItem.ClearMacrosPictCache: iIndex >= MacrosDst.Count");
    TMacros Two;
    Two.Insert(0, *TTestMacroLibrary::Get("Red"));
    Two.Insert(1, *TTestMacroLibrary::Get("Red"));
    EXPECT_EQ(MessageOf<Exception>([&] { TDrawItem::SetFMacrosPaintParam(*S, Two); }),
              "TDrawItem.SetFMacrosPaintParam: iMacroCount <> MacrosSrc.Count - 1");
    TMacros Other;
    Other.Insert(0, *TTestMacroLibrary::Get("Blue"));
    EXPECT_EQ(MessageOf<Exception>([&] { TDrawItem::SetFMacrosPaintParam(*S, Other); }),
              "TDrawItem.SetFMacrosPaintParam: MacroDst.FstrName <> MacroSrc.FstrName");
    EXPECT_THROW(TDrawItem::DeleteFMacro(*S, 1), EListError);
    EXPECT_EQ(StateOf(*S), Before);
    // Short undo data is refused, not read past.
    EXPECT_EQ(MessageOf<Exception>([&] { S->Undo(9, "\x01\x00", 2); }), "TDrawObject.Undo: Illegal Data.");
    EXPECT_EQ(MessageOf<Exception>(
                  [&] { S->Undo(16, "\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00x", 13); }),
              "TDrawObject.Undo: Illegal Data.");
}

TEST_F(DrawObjectTest, InvalidationPaintAndDragFrame)
{
    TTestShape* S = Add();
    S->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    S->GetPath();
    S->ResetExtents();
    Page.Invalidated.clear();
    S->Invalidate(true);
    // The solid fill covers the path's bounds (10, 10, 50, 30) widened by
    // the pen width 1 plus 3; it reads nothing beneath.
    EXPECT_EQ(std::tuple(S->GetPaintExtent(), S->GetSourceExtent(), S->RedrawPending()),
              std::tuple(TRect{6, 6, 54, 34}, EmptyExtent, 1));
    ASSERT_FALSE(Page.Invalidated.empty());
    EXPECT_EQ(Page.Invalidated.back(), (TRect{6, 6, 54, 34}));
    // Without a page: measured and painted on the target itself.
    TTestShape Free(nullptr, -1);
    Free.Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    TrecDrawTarget Target;
    RecPictureCreate(Target.Picture, TPoint{0, 0}, 64, 64, 24, false);
    std::memset(Target.Picture.pBits, 0, size_t(64 * 64 * 3));
    Free.SetRedrawPending(1);
    Free.Paint(Target, 3, nullptr, nullptr, 0);
    EXPECT_EQ(std::tuple(Free.RedrawPending(), Free.GetPaintExtent()), std::tuple(0, TRect{6, 6, 54, 34}));
    const uint8_t* Inside = RecPictureGetPixelPtr(Target.Picture, 20, 20);
    EXPECT_EQ(std::tuple(Inside[2], Inside[0], RecPictureGetPixelPtr(Target.Picture, 60, 60)[2]),
              std::tuple(255, 0, 0));
    RecPictureClear(Target.Picture);
    // The drag frame follows the mode and the layer.
    Page.History.LockAddHistory();
    TDrawItem::SetWireframeColor(*S, 0x112233);
    Page.History.UnLockAddHistory();
    TRecordingDC Xor;
    S->DrawDragFrame(Xor, 1);
    EXPECT_EQ(Xor.Calls, (std::vector<std::string>{"rop 7", "pen 33023", "path 4 rop 7",
                                                   "rop 13", "restore pen"}));
    TRecordingDC Plain;
    S->DrawDragFrame(Plain, 0);
    EXPECT_EQ(Plain.Calls, (std::vector<std::string>{"pen 1122867", "path 4 rop 13", "rop 13",
                                                     "restore pen"}));
    S->Layer()->Display = 0;
    TRecordingDC Hidden;
    S->DrawDragFrame(Hidden, 1);
    EXPECT_TRUE(Hidden.Calls.empty());
}

TEST_F(DrawObjectTest, PointTests)
{
    auto* P = Add<TTestPolyLine>();
    // A Bezier figure: only its start and the end of each triple are nodes.
    P->SetBase(MakePath({{0, 0, PT_MOVETO}, {10, 10, PT_BEZIERTO}, {20, 10, PT_BEZIERTO}, {30, 0, PT_BEZIERTO},
                         {60, 0, PT_LINETO}}));
    // Squared distance 4 is not below 4.
    for (const auto& [Q, Near] : {std::pair{TPoint{1, 1}, true}, {TPoint{2, 0}, false}, {TPoint{10, 10}, false},
                                  {TPoint{20, 10}, false}, {TPoint{30, 1}, true}, {TPoint{60, 0}, true}})
        EXPECT_EQ(P->NodeNear(Q, 4), Near) << Q.X;
    // A triple cut short by the end of the path: its points are taken as
    // they are, nothing beyond the last point is read.
    P->SetBase(MakePath({{0, 0, PT_MOVETO}, {10, 10, PT_BEZIERTO}, {20, 20, PT_BEZIERTO}}));
    EXPECT_TRUE(P->NodeNear({20, 20}, 1) && P->NodeNear({10, 10}, 1));
    EXPECT_FALSE(P->NodeNear({30, 30}, 1));
    P->SetBase(MakePath({{0, 0, PT_MOVETO}, {100, 0, PT_LINETO}}));
    EXPECT_EQ(P->DistanceTo({50, 30}), 30);
    EXPECT_EQ(P->DistanceTo({50, 40000}), 32768);
    EXPECT_TRUE(P->HitTest({50, 3}, 3));
    EXPECT_FALSE(P->HitTest({50, 5}, 3));
    TPoint Q{98, 1};
    EXPECT_TRUE(P->SnapPoint(Q, 9));
    EXPECT_EQ(Q, (TPoint{100, 0}));
    EXPECT_EQ(P->GetBounds(), (TRect{0, 0, 100, 0}));
}

TEST_F(DrawObjectTest, CommonAttributesAssignAndLayer)
{
    TTestShape* A = Add("A");
    TTestShape* B = Add("B");
    Page.History.LockAddHistory();
    for (TTestShape* S : {A, B})
        S->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    TDrawItem::SetWireframeColor(*A, 77);
    TDrawItem::SetWireframeColor(*B, 2);
    Page.History.UnLockAddHistory();
    auto Prop = Root.MakePropertyObject();
    auto* O = dynamic_cast<TDrawObject*>(Prop.get());
    ASSERT_NE(O, nullptr);
    EXPECT_EQ(O->WireframeColor(), -1);
    EXPECT_EQ(O->Layer(), Page.Layers.GetCurrent());
    ASSERT_EQ(O->Macros().Count(), 1);
    EXPECT_EQ(O->Macros().GetMacro(0)->Name(), "Red");
    EXPECT_FALSE(B->SameAttributes(A));
    B->Assign(A);
    EXPECT_EQ(B->Name(), "A");
    EXPECT_EQ(B->WireframeColor(), 77);
    EXPECT_TRUE(B->SameAttributes(A));
    EXPECT_EQ(B->OutputPathState(), 2);
    EXPECT_EQ(PointsOf(B->OutputPath()), PointsOf(A->GetPath()));
    TDrawGroup Group(&Page, -1);
    EXPECT_EQ(MessageOf<Exception>([&] { B->TDrawObject::Assign(&Group); }),
              "TDrawObject.Assign: DrawItemSrc is not TDrawObject");
    EXPECT_EQ(MessageOf<Exception>([&] { B->Assign(&Group); }),
              "TLineObject.Assign: DrawItemSrc is not TLineObject");
    TLayer* L = Page.Layers.Add(std::make_unique<TLayer>());
    Page.Invalidated.clear();
    Page.Document.Modified = false;
    B->SetLayer(L);
    EXPECT_EQ(B->Layer(), L);
    EXPECT_EQ(B->GetStoredLayerIndex(), 1);
    EXPECT_FALSE(Page.Invalidated.empty());
    EXPECT_TRUE(Page.Document.Modified);
    EXPECT_FALSE(B->SameAttributes(A));
    // Differing layers and macros have nothing in common.
    Page.History.LockAddHistory();
    B->Macros().Delete(0);
    B->Macros().Insert(0, *TTestMacroLibrary::Get("Blue"));
    Page.History.UnLockAddHistory();
    Prop = Root.MakePropertyObject();
    O = dynamic_cast<TDrawObject*>(Prop.get());
    ASSERT_NE(O, nullptr);
    EXPECT_EQ(O->Layer(), nullptr);
    EXPECT_EQ(O->Macros().Count(), 0);
}
