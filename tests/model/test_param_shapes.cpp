#include <gtest/gtest.h>

#include "object_test_support.h"

#include "foundation/user_error.h"
#include "model/param_shapes.h"
#include "model/shape_outline.h"
#include "paint/macro_list.h"

#include <bit>
#include <cmath>
#include <functional>
#include <numbers>
#include <tuple>

namespace {

constexpr int32_t kMinInt = -2147483647 - 1;

// The four shapes registered for the scope; what was there before comes back.
class TShapeTypes {
public:
    TShapeTypes()
    {
        for (int32_t T = 2; T <= 5; ++T)
            FOld[T - 2] = GetDrawItemFactory(T);
        RegisterParamShapeTypes();
    }
    ~TShapeTypes()
    {
        for (int32_t T = 2; T <= 5; ++T)
            RegisterDrawItemType(T, FOld[T - 2]);
    }

private:
    TDrawItemFactory FOld[4];
};

// A shape that lists the (kind, code) of every record it makes.
template <class T>
class TRec : public T {
public:
    using T::T;
    void AddHistory(uint8_t Kind, int32_t Command, const void* Data, int32_t Size) override
    {
        if (this->CanRecord() && this->HistoryCommand()->IsCommandOpen())
            Records.emplace_back(Kind, Command);
        T::AddHistory(Kind, Command, Data, Size);
    }
    std::vector<std::pair<uint8_t, int32_t>> Records;
};
using Recs = std::vector<std::pair<uint8_t, int32_t>>;

std::vector<uint8_t> Tail(const std::vector<uint8_t>& B, size_t From)
{
    return std::vector<uint8_t>(B.begin() + static_cast<std::ptrdiff_t>(From), B.end());
}

// The line-object part as a file of Version holds it for a shape: empty
// name, no parent, no macros, outline kind 0, fill-path flags 1.
std::vector<uint8_t> OldLinePart(int32_t Version, int32_t ID)
{
    std::vector<uint8_t> B;
    PutI32(B, ID);
    PutStr(B, "");
    PutI32(B, 0);
    if (Version >= 22)
        B.push_back(1);
    PutI32(B, 0);  // wireframe colour
    B.push_back(1);  // fill-path flag
    for (int32_t V : {0, 0, 0})  // layer index, fill and path macros
        PutI32(B, V);
    if (Version >= 17)
        B.push_back(0);
    B.push_back(1);
    return B;
}

std::vector<uint8_t> Frame(int32_t X, int32_t Y, int32_t W, int32_t H, float A)
{
    std::vector<uint8_t> B;
    for (int32_t V : {X, Y, W, H})
        PutI32(B, V);
    PutI32(B, std::bit_cast<int32_t>(A));
    return B;
}

std::unique_ptr<TDrawItem> ReadBinary(const std::vector<uint8_t>& B, TPageLink* Page, int32_t V)
{
    TMemoryStreamWex S;
    S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    return DrawItemReadFromStreamNew(S, Page, nullptr, -1, V);
}

// The path a generator makes from Args.
template <class F, class... A>
TrecPath Generated(F Make, A&&... Args)
{
    TrecPath P;
    Make(Args..., P);
    return P;
}

struct ParamShapesTest : ::testing::Test {
    TTestMacroLibrary Library;
    TShapeTypes Types;
    TObjPage Page;
    TDrawGroup Root{&Page, -1};
    template <class T>
    T* Add(int32_t X, int32_t Y, int32_t W, int32_t H)
    {
        auto* S = static_cast<T*>(Root.AddChild(std::make_unique<T>(&Page, -1), -1));
        S->SetFrame(X, Y, W, H);
        return S;
    }
    // Runs Change as one command; undo must give back the exact prior
    // state and redo the changed one. Returns the records made.
    template <class T>
    Recs UndoRedo(TRec<T>& Obj, const std::function<void()>& Change)
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

// Filled records used by the stream tests.
TrecRectParam SomeRect() { return {1, {0, 0, 0}, 8192, 2, 3}; }
TrecPolygonParam SomePolygon() { return {6, -100, 10, 20, 12345, std::numbers::pi}; }
TrecStarParam SomeStar() { return {0.4, 7, 1, -2, 3, 4, 5, 6, 7, 8, 0.25}; }

// X, Y, width and height of a shape.
std::array<int32_t, 4> FrameOf(const TParamObj& O) { return {O.X(), O.Y(), O.Width(), O.Height()}; }

// The pair of records of one change with Code.
Recs Both(int32_t Code) { return {{0, Code}, {1, Code}}; }

}  // namespace

TEST_F(ParamShapesTest, RegisteredTypesAndNewShapes)
{
    const std::pair<int32_t, const char*> Types[] = {
        {2, "TStarObj"}, {3, "TRectObj"}, {4, "TPolygonObj"}, {5, "TEllipseObj"}};
    for (const auto& [Type, Name] : Types) {
        auto Item = GetDrawItemFactory(Type)(&Page, -1);
        EXPECT_EQ(Item->ClassName(), Name);
        auto* P = dynamic_cast<TParamObj*>(Item.get());
        ASSERT_NE(P, nullptr);
        // No installed defaults: the fill-path flag is 1 in both paths.
        EXPECT_EQ(P->FillPath(), 1);
        EXPECT_EQ(P->BasePath().Flag, 1);
    }
    TRectObj R(&Page, -1);
    EXPECT_EQ(RectParamToBytes(R.Param()),
              (std::array<uint8_t, 12>{0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0}));
    TInstalledDefaults Defaults;
    Defaults.Data->FillPath = 0;
    TEllipseObj E(&Page, -1);
    EXPECT_EQ(E.FillPath(), 0);
    EXPECT_EQ(E.BasePath().Flag, 0);
}

TEST_F(ParamShapesTest, BinaryAndTextFormsByteForByte)
{
    TRectObj R(&Page, -1);
    R.SetFrame(10, 20, 30, 40);
    R.Rotate(10, 20, 0.5);
    R.SetParam(SomeRect());
    TPolygonObj P(&Page, -1);
    P.SetFrame(-5, 7, 100, 50);
    P.SetParam(SomePolygon());
    TStarObj S(&Page, -1);
    S.SetFrame(1, 2, 3, 4);
    S.SetParam(SomeStar());
    TEllipseObj E(&Page, -1);
    E.SetFrame(0, 0, 8, 9);
    E.SetParam({1.5, -2.25});
    struct Case {
        TParamObj* Obj;
        uint8_t Type;
        std::vector<uint8_t> Record;
        std::string RecordText;
    };
    std::vector<uint8_t> PolyRec;
    for (int32_t V : {6, -100, 10, 20, 12345})
        PutI32(PolyRec, V);
    PutF64(PolyRec, std::numbers::pi);
    std::vector<uint8_t> StarRec;
    PutF64(StarRec, 0.4);
    for (int32_t V : {7, 1, -2, 3, 4, 5, 6, 7, 8})
        PutI32(StarRec, V);
    PutF64(StarRec, 0.25);
    std::vector<uint8_t> EllRec;
    PutF64(EllRec, 1.5);
    PutF64(EllRec, -2.25);
    const Case Cases[] = {
        {&R, 3, {1, 0, 0, 0, 0x00, 0x20, 0, 0, 2, 0, 3, 0}, "1\r\n8192\r\n2\r\n3\r\n"},
        {&P, 4, PolyRec, "6\r\n-100\r\n10\r\n20\r\n12345\r\n3.141592653589793\r\n"},
        {&S, 2, StarRec, "0.4\r\n7\r\n1\r\n-2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n0.25\r\n"},
        {&E, 5, EllRec, "1.5\r\n-2.25\r\n"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Obj->ClassName());
        C.Obj->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
        TMemoryStream Line;
        C.Obj->TLineObject::WriteToStream(Line);
        std::vector<uint8_t> Want{C.Type};
        PutBytes(Want, Bytes(Line));
        PutBytes(Want, Frame(C.Obj->X(), C.Obj->Y(), C.Obj->Width(), C.Obj->Height(),
                             C.Obj->Angle()));
        PutBytes(Want, C.Record);
        EXPECT_EQ(StateOf(*C.Obj), Want);
        TMemoryStream LineText;
        C.Obj->TLineObject::WriteToStreamAsText(LineText);
        TMemoryStream Text;
        C.Obj->WriteToStreamAsText(Text);
        const std::string AngleLine = C.Obj == &R ? "0.5" : "0";
        EXPECT_EQ(StreamText(Text),
                  std::to_string(C.Type) + "\r\n" + StreamText(LineText) +
                      std::to_string(C.Obj->X()) + "\r\n" + std::to_string(C.Obj->Y()) +
                      "\r\n" + std::to_string(C.Obj->Width()) + "\r\n" +
                      std::to_string(C.Obj->Height()) + "\r\n" + AngleLine + "\r\n" +
                      C.RecordText);
        // Round trips: everything after the type and the object ID returns.
        TMemoryStream Bin;
        C.Obj->WriteToStream(Bin);
        auto Back = ReadBinary(Bytes(Bin), &Page, 25);
        EXPECT_EQ(Tail(StateOf(*Back), 5), Tail(Want, 5));
        EXPECT_EQ(dynamic_cast<TLineObject&>(*Back).BasePathState(), 0);
        Text.SetPosition(0);
        auto BackText = DrawItemReadFromStreamAsTextNew(Text, &Page, nullptr, 25);
        EXPECT_EQ(Tail(StateOf(*BackText), 5), Tail(Want, 5));
    }
}

TEST_F(ParamShapesTest, OldVersionsRead)
{
    // Version 24: an 8-byte rectangle record; corner count 4, position 0.
    std::vector<uint8_t> B{3};
    PutBytes(B, OldLinePart(24, 7));
    PutBytes(B, Frame(5, 6, 30, 20, 0.0f));
    PutBytes(B, {1, 9, 9, 9});
    PutI32(B, 1000);
    auto Item = ReadBinary(B, &Page, 24);
    auto& R = dynamic_cast<TRectObj&>(*Item);
    EXPECT_EQ(RectParamToBytes(R.Param()),
              (std::array<uint8_t, 12>{1, 9, 9, 9, 0xE8, 3, 0, 0, 4, 0, 0, 0}));
    EXPECT_EQ(R.Width(), 30);
    // Version 20: no visible flag, and the size was stored one larger.
    std::vector<uint8_t> S{2};
    PutBytes(S, OldLinePart(20, 8));
    PutBytes(S, Frame(5, 6, 31, 21, 1.0f));
    PutF64(S, 0.5);
    for (int32_t V : {5, 0, 0, 0, 0, 0, 0, 0, 0})
        PutI32(S, V);
    PutF64(S, 0.0);
    auto Star = ReadBinary(S, &Page, 20);
    auto& St = dynamic_cast<TStarObj&>(*Star);
    EXPECT_EQ(std::tuple(St.Width(), St.Height(), St.Angle(), St.Param().Count), std::tuple(30, 20, 1.0f, 5));
    // Text of version 24: two rectangle lines, then the next item.
    const std::string T = "3\r\n7\r\n\r\n0\r\n1\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n1\r\n"
                          "5\r\n6\r\n30\r\n20\r\n0.25\r\n1\r\n-300\r\nNEXT\r\n";
    TMemoryStreamWex TS;
    TS.SetPointer(T.data(), static_cast<int64_t>(T.size()));
    auto TItem = DrawItemReadFromStreamAsTextNew(TS, &Page, nullptr, 24);
    auto& TR = dynamic_cast<TRectObj&>(*TItem);
    EXPECT_EQ(RectParamToBytes(TR.Param()), RectParamToBytes(TrecRectParam{1, {0, 0, 0}, -300, 4, 0}));
    EXPECT_EQ(TR.Angle(), 0.25f);
    EXPECT_EQ(StreamReadln(TS), "NEXT");
}

TEST_F(ParamShapesTest, StoredRecordsStayAsRead)
{
    // Leave-unchanged values and doubles that are no numbers, as a file may
    // hold them: read, drawn, undone and written back without a change.
    std::vector<uint8_t> RectRec{255, 0, 0, 0};
    PutI32(RectRec, kMinInt);
    PutI32(RectRec, -1);  // both 16-bit fields 65535
    std::vector<uint8_t> PolyRec;
    for (int32_t V : {-1, kMinInt, -1, -1, -1})
        PutI32(PolyRec, V);
    PutF64(PolyRec, 1.7e308);
    auto StarRec = [](double Inner, double Start) {
        std::vector<uint8_t> B;
        PutF64(B, Inner);
        for (int32_t V : {-1, kMinInt, kMinInt, -1, -1, -1, -1, -1, -1})
            PutI32(B, V);
        PutF64(B, Start);
        return B;
    };
    auto EllRec = [](double V1, double V2) {
        std::vector<uint8_t> B;
        PutF64(B, V1);
        PutF64(B, V2);
        return B;
    };
    // The text form carries no NaN: those records are tried in binary only.
    const std::tuple<uint8_t, std::vector<uint8_t>, bool> Cases[] = {
        {3, RectRec, true},
        {4, PolyRec, true},
        {2, StarRec(-1.0, 1.7e308), true},
        {5, EllRec(1.7e308, 1.7e308), true},
        {2, StarRec(std::nan(""), INFINITY), false},
        {5, EllRec(-INFINITY, std::nan("")), false},
    };
    // A frame angle that is no number is kept too, and turns nothing.
    auto RectAt = [&](float A) {
        std::vector<uint8_t> B{3};
        PutBytes(B, OldLinePart(25, 1));
        PutBytes(B, Frame(0, 0, 40, 30, A));
        PutBytes(B, RectRec);
        return B;
    };
    auto* Upright = static_cast<TParamObj*>(Root.AddChild(ReadBinary(RectAt(0), &Page, 25), -1));
    for (float A : {std::nanf(""), INFINITY}) {
        auto* Obj = static_cast<TParamObj*>(Root.AddChild(ReadBinary(RectAt(A), &Page, 25), -1));
        EXPECT_EQ(PointsOf(Obj->GetPath()), PointsOf(Upright->GetPath()));
        EXPECT_EQ(Tail(StateOf(*Obj), 5), Tail(RectAt(A), 5));
    }
    for (const auto& [Type, Rec, Text] : Cases) {
        SCOPED_TRACE(testing::PrintToString(Rec));
        std::vector<uint8_t> B{Type};
        PutBytes(B, OldLinePart(25, 1));
        PutBytes(B, Frame(0, 0, 40, 30, 0.0f));
        PutBytes(B, Rec);
        auto* Obj = static_cast<TParamObj*>(Root.AddChild(ReadBinary(B, &Page, 25), -1));
        EXPECT_EQ(Tail(StateOf(*Obj), 5), Tail(B, 5));
        EXPECT_GT(Obj->GetPath().Count, 0);
        EXPECT_EQ(Tail(StateOf(*Obj), 5), Tail(B, 5));
        if (Text) {
            TMemoryStream T;
            Obj->WriteToStreamAsText(T);
            T.SetPosition(0);
            EXPECT_EQ(Tail(StateOf(*DrawItemReadFromStreamAsTextNew(T, &Page, nullptr, 25)), 5),
                      Tail(B, 5));
        }
        // Undoing a change gives the record back as it was read.
        if (Type == doftEllipse)
            continue;  // no record of its own to change
        Page.History.ResetObjCount();
        Page.History.CommandStart("set");
        TDrawItem::SetRectParam(*Obj, SomeRect());
        TDrawItem::SetPolygonParam(*Obj, SomePolygon());
        TDrawItem::SetStarParam(*Obj, SomeStar());
        Page.History.CommandEnd();
        Page.History.Undo();
        EXPECT_EQ(Tail(StateOf(*Obj), 5), Tail(B, 5));
    }
    // A seed of all ones and its 30-bit form draw the same outline.
    const TRect Box{0, 0, 200, 200};
    EXPECT_EQ(PointsOf(Generated(MakePolygonPath, Box, TrecPolygonParam{6, -100, 10, 20, -1, 1.0})),
              PointsOf(Generated(MakePolygonPath, Box, TrecPolygonParam{6, -100, 10, 20, 0x3FFFFFFF, 1.0})));
    // Text lines outside their field, and short records, are refused.
    auto TextRect = [&](const std::string& Bevel, const std::string& Count) {
        const std::string T = "3\r\n7\r\n\r\n0\r\n1\r\n0\r\n1\r\n0\r\n0\r\n0\r\n0\r\n1\r\n"
                              "5\r\n6\r\n30\r\n20\r\n0\r\n" +
                              Bevel + "\r\n0\r\n" + Count + "\r\n0\r\n";
        TMemoryStreamWex TS;
        TS.SetPointer(T.data(), static_cast<int64_t>(T.size()));
        return MessageOf<Exception>([&] { DrawItemReadFromStreamAsTextNew(TS, &Page, nullptr, 25); });
    };
    EXPECT_EQ(TextRect("1", "70000"),
              "TRectObj.ReadFromStreamAsText: 70000 is not a 16-bit value");
    EXPECT_EQ(TextRect("256", "4"), "TRectObj.ReadFromStreamAsText: 256 is not a byte");
    EXPECT_EQ(TextRect("1", "4"), "(nothing raised)");
    std::vector<uint8_t> Short{3};
    PutBytes(Short, OldLinePart(25, 1));
    PutBytes(Short, Frame(0, 0, 40, 30, 0.0f));
    PutBytes(Short, Tail(RectRec, 1));
    EXPECT_THROW(ReadBinary(Short, &Page, 25), EReadError);
}

TEST_F(ParamShapesTest, UndoAndRedoOfEveryCode)
{
    auto* R = Add<TRec<TRectObj>>(10, 20, 30, 40);
    EXPECT_EQ(UndoRedo(*R, [&] { TDrawItem::SetParamSize(*R, 50, -1); }), Both(25));
    EXPECT_EQ(UndoRedo(*R, [&] { TDrawItem::SetParamSize(*R, 0, 60); }), Both(26));
    EXPECT_EQ(UndoRedo(*R, [&] { R->Rotate(0, 0, 0.3); }), Both(27));
    EXPECT_EQ(UndoRedo(*R, [&] { R->ScaleTo(5, 5, -1500, 700); }), Both(28));
    EXPECT_EQ(UndoRedo(*R, [&] { TDrawItem::SetRectParam(*R, SomeRect()); }), Both(29));
    EXPECT_EQ(UndoRedo(*R, [&] { R->MoveBy(-3, 4); }), Both(9));
    EXPECT_EQ(UndoRedo(*R, [&] { TDrawItem::SetItemsPosY(*R, 99); }), Both(9));
    // Fill parameters that turn with the object are recorded as code 16.
    R->Macros().Insert(0, *TTestMacroLibrary::Get("Tex"));
    const Recs Turn = UndoRedo(*R, [&] { TDrawItem::SetItemsAngle(*R, 1.0); });
    ASSERT_GE(Turn.size(), 4u);
    EXPECT_EQ(Turn[0], (std::pair<uint8_t, int32_t>{0, 27}));
    EXPECT_EQ(Turn[2], (std::pair<uint8_t, int32_t>{0, 16}));
    auto* P = Add<TRec<TPolygonObj>>(0, 0, 50, 50);
    Page.History.ResetObjCount();  // made outside a command
    EXPECT_EQ(UndoRedo(*P, [&] { TDrawItem::SetPolygonParam(*P, SomePolygon()); }), Both(30));
    auto* S = Add<TRec<TStarObj>>(0, 0, 50, 50);
    Page.History.ResetObjCount();
    EXPECT_EQ(UndoRedo(*S, [&] { TDrawItem::SetStarParam(*S, SomeStar()); }), Both(31));
    // Each class takes only its own codes; short data is refused.
    const TrecRectParam Rec = SomeRect();
    EXPECT_EQ(MessageOf<Exception>([&] { P->Undo(29, &Rec, 12); }), "TDrawItem.Undo: Illegal Command.");
    EXPECT_EQ(MessageOf<Exception>([&] { R->Undo(27, &Rec, 8); }), "TParamObj.Undo: Illegal Data.");
    EXPECT_EQ(MessageOf<Exception>([&] { S->Undo(31, &Rec, 12); }), "TParamObj.Undo: Illegal Data.");
}

TEST_F(ParamShapesTest, MergedRecordsSkipLeaveUnchangedFields)
{
    auto* R = Add<TRectObj>(0, 0, 40, 40);
    R->SetParam(SomeRect());
    TDrawItem::SetRectParam(*R, TrecRectParam{255, {0, 0, 0}, kMinInt, 65535, 65535});
    EXPECT_EQ(RectParamToBytes(R->Param()), RectParamToBytes(SomeRect()));
    TDrawItem::SetRectParam(*R, TrecRectParam{255, {0, 0, 0}, kMinInt, 1, 65535});
    EXPECT_EQ(RectParamToBytes(R->Param()), RectParamToBytes(TrecRectParam{1, {0, 0, 0}, 8192, 1, 3}));
    auto* P = Add<TPolygonObj>(0, 0, 40, 40);
    P->SetParam(SomePolygon());
    TDrawItem::SetPolygonParam(*P, TrecPolygonParam{-1, 7, 1, 2, 3, 1.7e308});
    EXPECT_EQ(PolygonParamToBytes(P->Param()),
              PolygonParamToBytes(TrecPolygonParam{6, 7, 1, 2, 3, std::numbers::pi}));
    auto* S = Add<TStarObj>(0, 0, 40, 40);
    S->SetParam(SomeStar());
    TDrawItem::SetStarParam(*S, TrecStarParam{-1.0, 9, 0, 0, 0, 0, 0, -1, 0, 0, 0.5});
    const TrecStarParam Want{0.4, 9, 0, 0, 0, 0, 0, 6, 0, 0, 0.5};
    EXPECT_EQ(StarParamToBytes(S->Param()), StarParamToBytes(Want));
    // Another shape's record leaves a star alone.
    TDrawItem::SetRectParam(*S, SomeRect());
    EXPECT_EQ(StarParamToBytes(S->Param()), StarParamToBytes(Want));
}

TEST_F(ParamShapesTest, OutlinesFollowTheParameters)
{
    auto* R = Add<TRectObj>(10, 20, 30, 40);
    EXPECT_EQ(R->GetPath().Count, 5);
    EXPECT_EQ(R->GetBounds(), (TRect{10, 20, 40, 60}));
    TDrawItem::SetRectParam(*R, TrecRectParam{1, {0, 0, 0}, 8192, 4, 0});
    EXPECT_EQ(R->BasePathState(), 0);
    EXPECT_EQ(R->GetPath().Count, 9);
    TDrawItem::SetRectParam(*R, TrecRectParam{0, {0, 0, 0}, kMinInt, 65535, 65535});
    EXPECT_EQ(R->GetPath().Count, 17);
    TDrawItem::SetParamSize(*R, 60, -1);
    EXPECT_EQ(PointsOf(R->GetBasePath()),
              PointsOf(Generated(MakeRectPath, TRect{10, 20, 70, 60},
                                 TrecRectParam{0, {0, 0, 0}, 8192, 4, 0})));
    auto* P = Add<TPolygonObj>(0, 0, 100, 80);
    P->SetParam(TrecPolygonParam{6, 0, 0, 0, 0, 0.0});
    EXPECT_EQ(P->GetPath().Count, 7);
    TDrawItem::SetPolygonParam(*P, SomePolygon());
    TrecPolygonParam Poly = SomePolygon();
    EXPECT_EQ(PointsOf(P->GetBasePath()), PointsOf(Generated(MakePolygonPath, TRect{0, 0, 100, 80}, Poly)));
    // A count below 3 is held at 3: a triangle.
    TDrawItem::SetPolygonParam(*P, TrecPolygonParam{1, 0, 0, 0, -1, 1.7e308});
    EXPECT_EQ(P->GetPath().Count, 4);
    EXPECT_EQ(P->Param().Count, 3);
    auto* S = Add<TStarObj>(0, 0, 100, 100);
    S->SetParam(SomeStar());
    TrecStarParam Star = SomeStar();
    EXPECT_EQ(PointsOf(S->GetBasePath()), PointsOf(Generated(MakeStarPath, TRect{0, 0, 100, 100}, Star)));
    // The output path is the base path turned about (X, Y).
    auto* E = Add<TEllipseObj>(50, 60, 40, 20);
    E->Rotate(50, 60, std::numbers::pi / 6);
    EXPECT_EQ(E->X(), 50);
    TrecPath Turned = Generated(GetEllipsePath, TRect{50, 60, 90, 80});
    EXPECT_EQ(Turned.Count, 13);
    RecPolyLineRotate(Turned, 50, 60, E->Angle());
    EXPECT_EQ(PointsOf(E->GetPath()), PointsOf(Turned));
}

TEST_F(ParamShapesTest, RotationAndScalingRules)
{
    auto* R = Add<TRectObj>(100, 50, 20, 10);
    R->Rotate(0, 0, std::numbers::pi / 2);
    EXPECT_EQ(FrameOf(*R), (std::array{-50, 100, 20, 10}));
    EXPECT_EQ(R->Angle(), static_cast<float>(std::numbers::pi / 2));
    TMemoryStream Text;
    R->WriteToStreamAsText(Text);
    EXPECT_NE(StreamText(Text).find("\r\n10\r\n1.57079637050629\r\n"), std::string::npos);
    auto* S = Add<TStarObj>(123, -77, 20, 10);
    S->Rotate(10.5, 20.25, 0.7);
    S->Rotate(10.5, 20.25, -0.7);
    EXPECT_NEAR(S->X(), 123, 1);
    EXPECT_NEAR(S->Y(), -77, 1);
    // With path macros the shape does not turn and records nothing.
    auto& ER = *Add<TRec<TEllipseObj>>(5, 5, 10, 10);
    ER.PathMacros().Insert(0, *TTestMacroLibrary::Get("Red"));
    Page.History.CommandStart("turn");
    ER.Rotate(0, 0, 1.0);
    TDrawItem::SetItemsAngle(ER, 2.0);
    Page.History.CommandEnd();
    EXPECT_EQ(ER.X(), 5);
    EXPECT_EQ(ER.Angle(), 0.0f);
    EXPECT_TRUE(ER.Records.empty());
    // Setting the angle turns the shape about its own centre.
    auto* C = Add<TRectObj>(100, 100, 40, 20);
    TDrawItem::SetItemsAngle(*C, std::numbers::pi / 2);
    EXPECT_EQ(C->Angle(), static_cast<float>(std::numbers::pi / 2));
    const TRect B = C->GetBounds();
    EXPECT_NEAR((B.Left + B.Right) / 2.0, 120, 1);
    EXPECT_NEAR((B.Top + B.Bottom) / 2.0, 110, 1);
    TDrawItem::SetItemsPosX(*C, 7);
    EXPECT_EQ(C->X(), 7);
    // Scaling.
    auto* Q = Add<TRectObj>(10, 20, 30, 40);
    Q->ScaleTo(0, 0, 2048, 512);
    EXPECT_EQ(FrameOf(*Q), (std::array{20, 10, 60, 20}));
    Q->SetFrame(10, 20, 30, 40);
    Q->ScaleTo(100, 100, 1536, 1024);
    EXPECT_EQ(Q->X(), -35);  // floor(-90 * 1.5 + 100 + 0.5)
    EXPECT_EQ(Q->Width(), 45);
    // Turned by 90 degrees: the horizontal factor goes to the height.
    auto* T = Add<TRectObj>(50, 50, 30, 40);
    T->Rotate(50, 50, std::numbers::pi / 2);
    T->ScaleTo(50, 50, 2048, 1024);
    EXPECT_EQ(FrameOf(*T), (std::array{50, 50, 30, 80}));
    // A negative factor mirrors the frame and keeps the size positive.
    auto* M = Add<TEllipseObj>(10, 5, 20, 8);
    M->ScaleTo(0, 0, -1024, 1024);
    EXPECT_EQ(FrameOf(*M), (std::array{-30, 5, 20, 8}));
    EXPECT_EQ(M->GetBounds(), (TRect{-30, 5, -10, 13}));
    M->ScaleTo(0, 0, 1024, -2048);
    EXPECT_EQ(FrameOf(*M), (std::array{-30, -26, 20, 16}));
    // A 1-wide shape stays 1 wide.
    auto* N = Add<TRectObj>(0, 0, 1, 1);
    N->ScaleTo(0, 0, 100, 100);
    EXPECT_EQ(FrameOf(*N), (std::array{0, 0, 1, 1}));
}

TEST_F(ParamShapesTest, AssignSameAttributesAndCommonAttributes)
{
    TRectObj R(&Page, -1);
    TStarObj S(&Page, -1);
    TParamObj Base(&Page, -1);
    TTestShape Line(&Page, -1);
    TPolygonObj P(&Page, -1);
    TEllipseObj E(&Page, -1);
    EXPECT_EQ(MessageOf<Exception>([&] { R.Assign(&S); }), "TRectObj.Assign: DrawItemSrc is not TRectObj");
    EXPECT_EQ(MessageOf<Exception>([&] { S.Assign(&R); }), "TStarObj.Assign: DrawItemSrc is not TStarObj");
    EXPECT_EQ(MessageOf<Exception>([&] { P.Assign(&R); }),
              "TPolygonObj.Assign: DrawItemSrc is not TPolygonObj");
    EXPECT_EQ(MessageOf<Exception>([&] { E.Assign(&R); }),
              "TEllipseObj.Assign: DrawItemSrc is not TEllipseObj");
    EXPECT_EQ(MessageOf<Exception>([&] { Base.Assign(&Line); }),
              "TParamObj.Assign: DrawItemSrc is not TParamObj");
    // Objects without fill macros never have the same attributes.
    for (TDrawObject* O : std::initializer_list<TDrawObject*>{&S, &E, &Base})
        O->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    S.SetFrame(1, 2, 3, 4);
    S.SetParam(SomeStar());
    TStarObj Copy(&Page, -1);
    Copy.Assign(&S);
    EXPECT_TRUE(Copy.SameAttributes(&S));
    EXPECT_EQ(Tail(StateOf(Copy), 5), Tail(StateOf(S), 5));
    TrecStarParam Kept = SomeStar();
    Kept.Kept2 = 70;
    Copy.SetParam(Kept);
    EXPECT_FALSE(Copy.SameAttributes(&S));
    E.SetFrame(1, 2, 3, 4);
    TEllipseObj E2(&Page, -1);
    E2.SetFrame(1, 2, 3, 4);
    E2.Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    EXPECT_TRUE(E.SameAttributes(&E2));
    Base.SetFrame(1, 2, 3, 4);
    EXPECT_FALSE(Base.SameAttributes(&E2));
    // A property object over a selection: differing values hold sentinels.
    auto* A = Add<TRectObj>(10, 20, 30, 40);
    auto* B = Add<TRectObj>(11, 20, 30, 41);
    A->SetParam(SomeRect());
    TrecRectParam Other = SomeRect();
    Other.CornerRadius = 1;
    B->SetParam(Other);
    B->Rotate(11, 20, 0.5);
    TRectObj Prop(nullptr, -1);
    ASSERT_TRUE(Prop.TakeCommonAttributes(Root));
    EXPECT_EQ(FrameOf(Prop), (std::array{2147483647, 20, 30, -1}));
    EXPECT_EQ(Prop.Angle(), ParamAngleUnchanged);
    EXPECT_EQ(RectParamToBytes(Prop.Param()),
              RectParamToBytes(TrecRectParam{1, {0, 0, 0}, kMinInt, 2, 3}));
    // Applying it changes only what the two share.
    TDrawItem::SetRectParam(*A, Prop.Param());
    EXPECT_EQ(A->Param().CornerRadius, 8192);
}
