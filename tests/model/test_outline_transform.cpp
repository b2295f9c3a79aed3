#include "model/outline_transform.h"

#include "draw_test_doubles.h"
#include "platform/test_support.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

namespace {

TrecPolyLine MakePath(const std::vector<TPoint>& Pts, bool Close = true)
{
    TrecPolyLine P;
    RecPolyLineSetCount(P, static_cast<int32_t>(Pts.size()));
    for (size_t I = 0; I < Pts.size(); ++I) {
        P.Points[I] = Pts[I];
        P.pabType[I] = I == 0 ? PT_MOVETO : PT_LINETO;
    }
    if (Close)
        P.pabType[Pts.size() - 1] |= PT_CLOSEFIGURE;
    return P;
}

// Every line here is shorter than the subdivision step, so it becomes three
// Bezier points and source point i (after the leading move) lands at 3 i.
TPoint At(const TrecPolyLine& Dest, int32_t SourceIndex)
{
    return Dest.Points[static_cast<size_t>(3 * SourceIndex)];
}

TOutline Outline(uint8_t Kind)
{
    TOutline O;
    O.FOutlineKind = Kind;
    return O;
}

// Points 0..7: (0,0) (25,0) (50,0) (75,0) (100,0) (50,50) (50,100) (0,100).
const std::vector<TPoint> EnvelopeSource{{0, 0},  {25, 0},   {50, 0},   {75, 0},
                                         {100, 0}, {50, 50}, {50, 100}, {0, 100}};

TrecPolyLine Envelope(const TOutline& O, const TRect& R = TRect{0, 0, 100, 100})
{
    TrecPolyLine Src = MakePath(EnvelopeSource);
    TrecPolyLine Dest;
    std::vector<int32_t> Counts;
    O.Transform(R, Src, Dest, Counts, {});
    EXPECT_EQ(Dest.Count, 22);
    return Dest;
}

std::vector<uint8_t> DoubleBytes(uint64_t Bits)
{
    std::vector<uint8_t> B;
    for (int I = 0; I < 8; ++I)
        B.push_back(static_cast<uint8_t>(Bits >> (8 * I)));
    return B;
}

} // namespace

TEST(OutlineTransform, ParameterBlockBytes)
{
    TOutline O = Outline(3);
    O.Flag = 1;
    O.Params.TopArcCount = 2;
    O.Params.BottomArcCount = -1;
    O.Params.HeightScale = 2.0;
    O.Params.Spare = -0.5;
    O.Params.ArcMode = 0x01020304;
    TMemoryStream S;
    O.WriteToStream(S);
    std::vector<uint8_t> Expected{3, 1};
    const auto Add = [&](const std::vector<uint8_t>& B) {
        Expected.insert(Expected.end(), B.begin(), B.end());
    };
    Add(DoubleBytes(0));                     // TopShift
    Add(DoubleBytes(0x3FF0000000000000));    // TopWidth 1.0
    Add(DoubleBytes(0));                     // BottomShift
    Add(DoubleBytes(0x3FF0000000000000));    // BottomWidth
    Add(DoubleBytes(0));                     // TopArcHeight
    Add({2, 0, 0, 0});                       // TopArcCount
    Add(DoubleBytes(0));                     // BottomArcHeight
    Add({0xFF, 0xFF, 0xFF, 0xFF});           // BottomArcCount
    Add(DoubleBytes(0x4000000000000000));    // HeightScale 2.0
    Add(DoubleBytes(0x3FE0000000000000));    // ArcFactor 0.5
    Add(DoubleBytes(0xBFE0000000000000));    // Spare -0.5
    Add({4, 3, 2, 1});                       // ArcMode
    EXPECT_EQ(StreamBytes(S), Expected);
    EXPECT_EQ(Expected.size(), 86u);
    // The block alone, and back.
    const auto Block = OutlineParamsToBytes(O.Params);
    EXPECT_EQ(std::vector<uint8_t>(Block.begin(), Block.end()),
              std::vector<uint8_t>(Expected.begin() + 2, Expected.end()));
    TOutline Back;
    Back.FOutlineKind = 3;
    Back.Flag = 1;
    Back.Params = OutlineParamsFromBytes(Block.data());
    EXPECT_TRUE(Back.Equals(O));
    S.SetPosition(0);
    TOutline R;
    R.ReadFromStream(S);
    EXPECT_TRUE(R.Equals(O));
    EXPECT_EQ(S.Position(), 86);
    // Kind 0 is one byte and reads back without touching Flag or Params.
    TMemoryStream Z;
    Outline(0).WriteToStream(Z);
    EXPECT_EQ(StreamBytes(Z), std::vector<uint8_t>{0});
    Z.SetPosition(0);
    R.ReadFromStream(Z);
    EXPECT_EQ(R.FOutlineKind, 0);
    EXPECT_EQ(R.Flag, 1);
    EXPECT_EQ(R.Params.ArcMode, 0x01020304);
}

TEST(OutlineTransform, TextFormRoundTrip)
{
    TOutline O = Outline(7);
    O.Flag = 1;
    O.Params.ArcFactor = 0.25;
    O.Params.ArcMode = 1;
    TMemoryStream S;
    O.WriteToStreamAsText(S);
    S.SetPosition(0);
    EXPECT_EQ(StreamReadln(S), "7");
    EXPECT_EQ(StreamReadln(S), "1");
    EXPECT_EQ(StreamReadln(S), "JIS7");
    EXPECT_EQ(StreamReadln(S), "84");
    EXPECT_EQ(StreamReadln(S).size(), 80u);   // 65 bytes
    EXPECT_EQ(StreamReadln(S).size(), 24u);   // 19 bytes: 2 x ceil(152 / 13)
    EXPECT_EQ(S.Position(), S.Size());
    S.SetPosition(0);
    TOutline R;
    R.ReadFromStreamAsText(S);
    EXPECT_TRUE(R.Equals(O));
    TMemoryStream Z;
    Outline(0).WriteToStreamAsText(Z);
    EXPECT_EQ(StreamBytes(Z), (std::vector<uint8_t>{'0', 13, 10}));
}

TEST(OutlineTransform, ReadersRefuseIllegalKinds)
{
    TMemoryStream Stream;
    const auto Text = [&](const std::string& Bytes) -> TMemoryStream& {
        Stream.Clear();
        Stream.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
        Stream.SetPosition(0);
        return Stream;
    };
    TOutline Keep = Outline(2);
    Keep.Params.TopShift = 0.25;
    for (uint8_t Kind : {9, 100, 254}) {
        std::string Data(86, '\0');
        Data[0] = static_cast<char>(Kind);
        TOutline R;
        R.Assign(Keep);
        EXPECT_THROW(R.ReadFromStream(Text(Data)), EReadError);
        EXPECT_TRUE(R.Equals(Keep));
        EXPECT_THROW(R.ReadFromStreamAsText(Text(std::to_string(Kind) + "\r\n0\r\n")), EReadError);
        EXPECT_TRUE(R.Equals(Keep));
    }
    // 255 (merged settings travel in undo records) is accepted.
    TOutline M = Outline(255);
    M.Flag = 255;
    TMemoryStream S;
    M.WriteToStream(S);
    S.SetPosition(0);
    TOutline R;
    R.ReadFromStream(S);
    EXPECT_TRUE(R.Equals(M));
    // A short stream, a value outside a byte, a non-number.
    R.Assign(Keep);
    EXPECT_THROW(R.ReadFromStream(Text(std::string("\x03\x00\x01", 3))), EReadError);
    EXPECT_TRUE(R.Equals(Keep));
    EXPECT_THROW(R.ReadFromStreamAsText(Text("300\r\n")), EReadError);
    EXPECT_THROW(R.ReadFromStreamAsText(Text("arc\r\n")), EConvertError);
    EXPECT_TRUE(R.Equals(Keep));
}

TEST(OutlineTransform, MergeWithSentinelsAndKinds)
{
    TOutline A = Outline(1), B = Outline(1);
    A.Flag = 0;
    B.Flag = 1;
    A.Params.TopWidth = 0.5;
    B.Params.TopWidth = 0.75;
    A.Params.TopShift = B.Params.TopShift = 0.1;
    A.Params.TopArcCount = 2;
    B.Params.TopArcCount = 3;
    A.Params.BottomArcCount = B.Params.BottomArcCount = 4;
    A.Params.ArcMode = 0;
    B.Params.ArcMode = -3;  // the same side of 0
    A.MergeWith(B);
    const auto Fields = [](const TOutline& O) {
        return std::tuple(O.FOutlineKind, O.Flag, O.Params.TopWidth, O.Params.TopShift,
                          O.Params.TopArcCount, O.Params.BottomArcCount, O.Params.ArcMode);
    };
    EXPECT_EQ(Fields(A), std::tuple(1, 255, 1.7e308, 0.1, -2147483647 - 1, 4, 0));
    TOutline C = Outline(1);
    C.Params.ArcMode = 2;
    C.Params.TopShift = 0.1;
    C.Params.BottomArcCount = 4;
    A.MergeWith(C);
    EXPECT_EQ(A.Params.ArcMode, -2147483647 - 1);
    // Applying skips the sentinels and a Flag of 255.
    TOutline T = Outline(8);
    T.Flag = 1;
    T.Params.TopWidth = 0.3;
    T.Params.TopArcCount = 7;
    T.Params.ArcMode = 5;
    T.ApplyMerged(A);
    EXPECT_EQ(Fields(T), std::tuple(1, 1, 0.3, 0.1, 7, 4, 5));
    // Different kinds merge to 255; applying that changes nothing but the Flag.
    A = Outline(7);
    A.Flag = 1;
    A.MergeWith(B);
    EXPECT_EQ(std::tuple(A.FOutlineKind, A.Flag), std::tuple(255, 1));
    T = Outline(3);
    T.Params.TopShift = 0.4;
    TOutline Before;
    Before.Assign(T);
    T.ApplyMerged(A);
    EXPECT_EQ(T.Flag, 1);
    T.Flag = 0;
    EXPECT_TRUE(T.Equals(Before));
    // A merged kind 0 takes the kind only.
    T.ApplyMerged(Outline(0));
    EXPECT_EQ(T.FOutlineKind, 0);
    EXPECT_EQ(T.Params.TopShift, 0.4);
}

TEST(OutlineTransform, CopyNothingAndIllegalKinds)
{
    const TrecPolyLine Src = MakePath({{0, 0}, {20000, 0}, {20000, 100}});
    TrecPolyLine Dest;
    std::vector<int32_t> Counts{0, 3};
    Outline(0).Transform(TRect{0, 0, 20000, 100}, Src, Dest, Counts, {});
    ASSERT_EQ(Dest.Count, 3);   // no subdivision
    EXPECT_EQ(Dest.Points[1], (TPoint{20000, 0}));
    EXPECT_EQ(Counts, (std::vector<int32_t>{0, 3}));
    TrecPolyLine Kept = MakePath({{1, 2}, {3, 4}});
    Outline(255).Transform(TRect{0, 0, 20000, 100}, Src, Kept, Counts, {});
    EXPECT_EQ(Kept.Count, 2);
    EXPECT_EQ(Kept.Points[1], (TPoint{3, 4}));
    for (uint8_t Kind : {9, 128, 254})
        EXPECT_EQ(MessageOf<EUserError>([&] {
                      Outline(Kind).Transform(TRect{0, 0, 20000, 100}, Src, Dest, Counts, {});
                  }),
                  "TOutline.Transform: Illegal FOutlineKind");
}

TEST(OutlineTransform, EnvelopeIdentityAndSubdivision)
{
    // The defaults with one arc a side leave every point where it was.
    TOutline O = Outline(1);
    O.Params.TopArcCount = O.Params.BottomArcCount = 1;
    const TrecPolyLine Dest = Envelope(O);
    for (int32_t I = 0; I < 8; ++I)
        EXPECT_EQ(At(Dest, I), EnvelopeSource[static_cast<size_t>(I)]) << I;
    // The line (0,0)-(25,0) became thirds, all Bezier points; the close bit stays.
    EXPECT_EQ(Dest.Points[1], (TPoint{8, 0}));
    EXPECT_EQ(Dest.pabType[1], PT_BEZIERTO);
    EXPECT_EQ(Dest.pabType[21], PT_BEZIERTO | PT_CLOSEFIGURE);
    // A long line is cut into pieces of at most the step 10000.
    const TrecPolyLine Long = MakePath({{0, 0}, {25000, 0}}, false);
    TrecPolyLine LongDest;
    std::vector<int32_t> Counts{0, 2};
    O.Transform(TRect{0, 0, 25000, 0}, Long, LongDest, Counts, {});
    EXPECT_EQ(LongDest.Count, 1 + 9);
    EXPECT_EQ(Counts, (std::vector<int32_t>{0, 10}));   // rewritten to Dest's indexes
}

TEST(OutlineTransform, EnvelopeWidthsShiftsAndHeight)
{
    TOutline O = Outline(2);
    O.Params.TopWidth = 0.5;
    TrecPolyLine D = Envelope(O);
    EXPECT_EQ(At(D, 0), (TPoint{25, 0}));     // the top narrowed and centred
    EXPECT_EQ(At(D, 1), (TPoint{38, 0}));     // 0.5 x 25 + 25 = 37.5
    EXPECT_EQ(At(D, 4), (TPoint{75, 0}));
    EXPECT_EQ(At(D, 5), (TPoint{50, 50}));
    EXPECT_EQ(At(D, 7), (TPoint{0, 100}));    // the bottom stays
    O = Outline(3);
    O.Params.TopShift = 0.1;
    O.Params.BottomShift = -0.2;
    D = Envelope(O);
    EXPECT_EQ(At(D, 0), (TPoint{10, 0}));
    EXPECT_EQ(At(D, 5), (TPoint{45, 50}));    // halfway between 60 and 30
    EXPECT_EQ(At(D, 6), (TPoint{30, 100}));
    O = Outline(4);
    O.Params.HeightScale = 2.0;
    D = Envelope(O);
    EXPECT_EQ(At(D, 2), (TPoint{50, -100}));  // twice the height above the bottom
    EXPECT_EQ(At(D, 5), (TPoint{50, 0}));
    EXPECT_EQ(At(D, 6), (TPoint{50, 100}));
    // Height 0: flattened onto the bottom line.
    D = Envelope(Outline(5), TRect{0, 60, 100, 60});
    for (int32_t I = 0; I < D.Count; ++I)
        EXPECT_EQ(D.Points[static_cast<size_t>(I)].Y, 60);
    EXPECT_EQ(At(D, 4).X, 100);
    // With the Flag only the subdivision happens.
    O = Outline(6);
    O.Params.TopWidth = 0.5;
    O.Flag = 1;
    D = Envelope(O);
    EXPECT_EQ(At(D, 0), (TPoint{0, 0}));
    EXPECT_EQ(At(D, 4), (TPoint{100, 0}));
}

TEST(OutlineTransform, EnvelopeArcs)
{
    // One top arc: chord 100, sagitta 10, radius 100^2 / 8 / 10 + 5 = 130.
    TOutline O = Outline(8);
    O.Params.TopArcCount = 1;
    O.Params.TopArcHeight = 0.2;
    TrecPolyLine D = Envelope(O);
    EXPECT_EQ(At(D, 0), (TPoint{0, 0}));
    EXPECT_EQ(At(D, 1), (TPoint{25, -8}));    // sqrt(130^2 - 25^2) - 120 = 7.57
    EXPECT_EQ(At(D, 2), (TPoint{50, -10}));   // the full sagitta
    EXPECT_EQ(At(D, 3), (TPoint{75, -8}));
    EXPECT_EQ(At(D, 4), (TPoint{100, 0}));
    EXPECT_EQ(At(D, 5), (TPoint{50, 45}));    // halfway between -10 and 100
    // Two arcs alternate: chord 50, sagitta 5, radius 65; up, then down.
    O.Params.TopArcCount = 2;
    D = Envelope(O);
    EXPECT_EQ(At(D, 1), (TPoint{25, -5}));
    EXPECT_EQ(At(D, 2), (TPoint{50, 0}));
    EXPECT_EQ(At(D, 3), (TPoint{75, 5}));
    // A bottom arc: sagitta -10, radius -130; its middle rises by 10.
    O = Outline(1);
    O.Params.BottomArcCount = 1;
    O.Params.BottomArcHeight = 0.2;
    D = Envelope(O);
    EXPECT_EQ(At(D, 6), (TPoint{50, 90}));
    EXPECT_EQ(At(D, 7), (TPoint{0, 100}));
    EXPECT_EQ(At(D, 5), (TPoint{50, 45}));
    // Counts default to 0 and are not checked in files: no division by them.
    for (int32_t Count : {0, -3, -2147483647 - 1}) {
        TOutline O = Outline(1);
        O.Params.TopArcHeight = 0.2;
        O.Params.BottomArcHeight = 0.4;
        O.Params.TopArcCount = Count;
        O.Params.BottomArcCount = Count;
        const TrecPolyLine D = Envelope(O);
        for (int32_t I = 0; I < 8; ++I)
            EXPECT_EQ(At(D, I), EnvelopeSource[static_cast<size_t>(I)]) << Count << " " << I;
    }
}

TEST(OutlineTransform, ArcPointByPoint)
{
    // W 100, ArcFactor 0.5: R = 500 / pi = 159.15, an arc of pi / 5; centre
    // (50, cos(pi / 10) R + 20 = 171.37).
    TOutline O = Outline(7);
    O.Params.ArcMode = 1;
    const TrecPolyLine Src = MakePath({{0, 20}, {50, 0}, {100, 20}, {50, 20}, {0, 0}});
    TrecPolyLine D;
    std::vector<int32_t> NoCounts;
    O.Transform(TRect{0, 0, 100, 20}, Src, D, NoCounts, {});
    EXPECT_EQ(At(D, 0), (TPoint{1, 20}));     // both bottom ends stay on the bottom line
    EXPECT_EQ(At(D, 2), (TPoint{99, 20}));
    EXPECT_EQ(At(D, 1), (TPoint{50, -8}));    // 171.37 - (20 + 159.15)
    EXPECT_EQ(At(D, 3), (TPoint{50, 12}));
    EXPECT_EQ(At(D, 4), (TPoint{-5, 1}));
    // Without counts ArcMode 0 moves every point too; the Flag stops it.
    O.Params.ArcMode = 0;
    O.Transform(TRect{0, 0, 100, 20}, Src, D, NoCounts, {});
    EXPECT_EQ(At(D, 1), (TPoint{50, -8}));
    O.Flag = 1;
    O.Transform(TRect{0, 0, 100, 20}, Src, D, NoCounts, {});
    EXPECT_EQ(At(D, 1), (TPoint{50, 0}));
}

TEST(OutlineTransform, ArcWholeCharacters)
{
    // Two squares 10 x 20 with centres (5,10) and (95,10).
    TrecPolyLine Src = MakePath({{0, 0}, {10, 0}, {10, 20}, {0, 20}, {0, 0}});
    const TrecPolyLine Second = MakePath({{90, 0}, {100, 0}, {100, 20}, {90, 20}, {90, 0}});
    RecPolyLineAppend(Src, Second);
    const std::vector<TPoint> Centres{{5, 10}, {95, 10}};
    TOutline O = Outline(7);
    std::vector<int32_t> Counts{0, 5, 10};
    TrecPolyLine D;
    O.Transform(TRect{0, 0, 100, 20}, Src, D, Counts, Centres);
    ASSERT_EQ(Counts, (std::vector<int32_t>{0, 13, 26}));
    // Character 0: new centre (3, 9), turned by theta - pi/2 = -0.283.
    EXPECT_EQ(D.Points[0], (TPoint{-5, 1}));
    EXPECT_EQ(D.Points[6], (TPoint{11, 17}));
    // Character 1 mirrors it: new centre (97, 9).
    EXPECT_EQ(D.Points[13], (TPoint{95, -2}));
    EXPECT_EQ(D.Points[19], (TPoint{99, 20}));
    // HeightScale 2 scales each character about its centre first (2048/1024).
    O.Params.HeightScale = 2.0;
    Counts = {0, 5, 10};
    O.Transform(TRect{0, 0, 100, 20}, Src, D, Counts, Centres);
    EXPECT_EQ(D.Points[0], (TPoint{-12, -7}));
    EXPECT_EQ(D.Points[6], (TPoint{18, 25}));
    // Counts that do not end at the source count are left alone; a single
    // entry moves nothing.
    O.Params.HeightScale = 1.0;
    Counts = {0, 4};
    O.Transform(TRect{0, 0, 100, 20}, Src, D, Counts, Centres);
    EXPECT_EQ(Counts, (std::vector<int32_t>{0, 4}));
    Counts = {10};
    O.Transform(TRect{0, 0, 100, 20}, Src, D, Counts, Centres);
    EXPECT_EQ(D.Points[0], (TPoint{0, 0}));
    EXPECT_EQ(D.Points[6], (TPoint{10, 20}));
}
