#include "model/bitmap_trace.h"

#include "foundation/user_error.h"
#include "platform/global_memory.h"
#include "raster/bmp_conv.h"

#include <gtest/gtest.h>

#include "platform/test_support.h"

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

using TOutline = std::vector<std::tuple<int32_t, int32_t, int>>; // x, y, type

struct TPic {
    TrecPicture P;
    TPic() = default;
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    ~TPic() { RecPictureClear(P); }
};

// '#' black, '.' white, 'b' blue-ish (bytes 200, 30, 100: blue 200, red 100).
void MakePicture24(TrecPicture& P, const std::vector<std::string>& Rows)
{
    const int32_t W = static_cast<int32_t>(Rows[0].size());
    const int32_t H = static_cast<int32_t>(Rows.size());
    RecPictureCreate(P, TPoint{0, 0}, W, H, 24, false);
    for (int32_t Y = 0; Y < H; ++Y)
        for (int32_t X = 0; X < W; ++X) {
            uint8_t* Px = GetDIBPixelPtr(RecPictureHeader(P), P.pBits, X, Y);
            const char C = Rows[Y][X];
            Px[0] = C == '#' ? 0 : C == '.' ? 255 : 200;
            Px[1] = C == '#' ? 0 : C == '.' ? 255 : 30;
            Px[2] = C == '#' ? 0 : C == '.' ? 255 : 100;
        }
}

std::vector<std::string> Uniform(int32_t W, int32_t H, char C)
{
    return std::vector<std::string>(static_cast<size_t>(H), std::string(static_cast<size_t>(W), C));
}

// W x H rows, black where In(X, Y), white elsewhere.
template <class F>
std::vector<std::string> Shape(int32_t W, int32_t H, F&& In)
{
    std::vector<std::string> Rows = Uniform(W, H, '.');
    for (int32_t Y = 0; Y < H; ++Y)
        for (int32_t X = 0; X < W; ++X)
            if (In(X, Y))
                Rows[Y][X] = '#';
    return Rows;
}

TOutline OutlineOf(const TrecPolyLine& Path)
{
    TOutline O;
    for (int32_t I = 0; I < Path.Count; ++I)
        O.emplace_back(Path.Points[I].X, Path.Points[I].Y, Path.pabType[I]);
    return O;
}

// The closed rectangle outline the tracer gives for a block of one colour
// (sides of at least 4 pixels).
TOutline Rectangle(int32_t L, int32_t T, int32_t R, int32_t B)
{
    return {{L, T, 6}, {R, T, 2}, {R, B, 2}, {L, B, 2}, {L, T, 3}};
}

struct TResult {
    std::vector<std::unique_ptr<TrecPolyLine>> Paths;
    std::vector<uint32_t> Colors;
    TTraceProgress Progress;
};

void Trace(TrecPicture& P, TResult& R, int64_t MaxSteps = 0)
{
    TraceOutline(P, R.Paths, R.Colors, R.Progress, {}, MaxSteps);
    ASSERT_EQ(R.Paths.size(), R.Colors.size());
}

// Traces a picture made from Rows.
TResult TraceRows(const std::vector<std::string>& Rows)
{
    TPic Pic;
    MakePicture24(Pic.P, Rows);
    TResult R;
    Trace(Pic.P, R);
    return R;
}

} // namespace

TEST(BitmapTrace, Tables)
{
    int32_t Twos = 0, Ones = 0;
    for (int32_t V : TraceTurnTable.V) {
        Twos += V == 2;
        Ones += V == 1;
    }
    EXPECT_EQ(Twos, 8);
    EXPECT_EQ(Ones, 16);
    EXPECT_EQ(TraceTurnIndex(-1, -1, -1, -1), 0);
    EXPECT_EQ(TraceTurnIndex(1, 1, 1, 1), 80);
    EXPECT_EQ(TraceTurnTable.V[TraceTurnIndex(1, 0, 1, 0)], 2);   // east, east
    EXPECT_EQ(TraceTurnTable.V[TraceTurnIndex(1, 0, 1, 1)], 1);   // east, south-east
    EXPECT_EQ(TraceTurnTable.V[TraceTurnIndex(1, 0, 1, -1)], 1);  // east, north-east
    EXPECT_EQ(TraceTurnTable.V[TraceTurnIndex(-1, -1, 0, -1)], 1); // north-west, north
    EXPECT_EQ(TraceTurnTable.V[TraceTurnIndex(1, 0, 0, 1)], 0);   // east, south
    EXPECT_EQ(TraceTurnTable.V[TraceTurnIndex(1, 0, -1, 0)], 0);  // east, west
    EXPECT_EQ(TraceTurnTable.V[TraceTurnIndex(0, 0, 0, 0)], 0);
    // Restart: after an even direction d - 1, after an odd one d - 2.
    for (int32_t D = 0; D < 8; ++D)
        EXPECT_EQ(TraceRestartDir[D], (D - 1 - D % 2 + 8) % 8) << D;
}

TEST(BitmapTrace, OneColourGivesItsBorder)
{
    TPic Pic;
    MakePicture24(Pic.P, Uniform(6, 5, 'b'));
    TResult R;
    Trace(Pic.P, R);
    ASSERT_EQ(R.Paths.size(), 1u);
    EXPECT_EQ(OutlineOf(*R.Paths[0]), Rectangle(0, 0, 5, 4));
    // Blue 200 and red 100 go to 255 and 0 under full contrast around 128.
    EXPECT_EQ(R.Colors[0], 0x00FF0000u);
    const uint8_t* Px = GetDIBPixelPtr(RecPictureHeader(Pic.P), Pic.P.pBits, 2, 2);
    EXPECT_EQ(std::tuple(Px[0], Px[1], Px[2]), std::tuple(255, 0, 0));
    // Arrays grow in whole steps of 100 points.
    EXPECT_EQ(R.Paths[0]->Points.size(), 100u);
    EXPECT_EQ(R.Paths[0]->pabType.size(), 100u);
}

TEST(BitmapTrace, RegionsHolesAndLonePixels)
{
    TResult R = TraceRows(std::vector<std::string>(6, "####...."));
    ASSERT_EQ(R.Paths.size(), 2u);
    EXPECT_EQ(R.Colors, (std::vector<uint32_t>{0, 0x00FFFFFF}));
    EXPECT_EQ(OutlineOf(*R.Paths[0]), Rectangle(0, 0, 3, 5));
    // The black boundary probed the whole first white column, so the white
    // region starts one pixel further right and ends with a short closing line.
    EXPECT_EQ(OutlineOf(*R.Paths[1]),
              (TOutline{{5, 0, 6}, {7, 0, 2}, {7, 5, 2}, {4, 5, 2}, {4, 0, 2}, {5, 0, 3}}));
    // A black ring with a white hole: the hole is traced inside.
    R = TraceRows(Shape(12, 12, [](int X, int Y) {
        return X >= 2 && X <= 9 && Y >= 2 && Y <= 9 && !(X >= 4 && X <= 7 && Y >= 4 && Y <= 7);
    }));
    ASSERT_EQ(R.Paths.size(), 3u);
    EXPECT_EQ(R.Colors, (std::vector<uint32_t>{0x00FFFFFF, 0, 0x00FFFFFF}));
    EXPECT_EQ(OutlineOf(*R.Paths[0]), Rectangle(0, 0, 11, 11));
    EXPECT_EQ(OutlineOf(*R.Paths[1]), Rectangle(2, 2, 9, 9));
    EXPECT_EQ(OutlineOf(*R.Paths[2]), Rectangle(4, 4, 7, 7));
    // Lone pixels give no outline.
    R = TraceRows(Shape(7, 7, [](int X, int Y) { return X == 3 && Y == 3; }));
    ASSERT_EQ(R.Paths.size(), 1u);
    EXPECT_EQ(OutlineOf(*R.Paths[0]), Rectangle(0, 0, 6, 6));
    EXPECT_TRUE(TraceRows(Uniform(1, 1, '#')).Paths.empty());
}

TEST(BitmapTrace, CornerRules)
{
    // An octagon: straight sides joined by diagonal ones, each vertex a
    // single 45-degree turn between straight stretches.
    TResult R = TraceRows(Shape(16, 16, [](int X, int Y) {
        X -= 2;
        Y -= 2;
        return X >= 0 && Y >= 0 && X < 12 && Y < 12 && X + Y >= 4 && 11 - X + Y >= 4 &&
               X + 11 - Y >= 4 && 22 - X - Y >= 4;
    }));
    ASSERT_EQ(R.Paths.size(), 2u);
    EXPECT_EQ(R.Colors[1], 0u);
    EXPECT_EQ(OutlineOf(*R.Paths[1]),
              (TOutline{{6, 2, 6}, {9, 2, 2}, {13, 6, 2}, {13, 9, 2}, {9, 13, 2}, {6, 13, 2},
                        {2, 9, 2}, {2, 6, 2}, {6, 2, 3}}));
    // A block with its corner pixels cut: east, south-east, south turns right
    // twice in a row; the first of the two turns is the corner.
    R = TraceRows(Shape(12, 12, [](int X, int Y) {
        return X >= 2 && X <= 9 && Y >= 2 && Y <= 9 && ((X != 2 && X != 9) || (Y != 2 && Y != 9));
    }));
    ASSERT_EQ(R.Paths.size(), 2u);
    const TOutline O = OutlineOf(*R.Paths[1]);
    ASSERT_GE(O.size(), 5u);
    EXPECT_EQ(TOutline(O.begin(), O.begin() + 4),
              (TOutline{{3, 2, 6}, {8, 2, 2}, {9, 8, 2}, {3, 9, 2}}));
    // The last side runs into the start without a corner check: a fit.
    const auto [LastX, LastY, LastType] = O.back();
    EXPECT_EQ(std::tuple(LastX, LastY, LastType & PT_CLOSEFIGURE), std::tuple(3, 2, PT_CLOSEFIGURE));
    // In a block 3 pixels high the corner (5, 2) lies two points after the
    // corner (5, 0): it is not looked at, and the run from (5, 0) to the next
    // corner (0, 2) goes round it.
    R = TraceRows(Uniform(6, 3, '#'));
    ASSERT_EQ(R.Paths.size(), 1u);
    const TrecPolyLine& Path = *R.Paths[0];
    std::vector<TPoint> OnCurve;
    for (int32_t I = 0; I < Path.Count; ++I) {
        if (PathPointKind(Path.pabType[I]) == PT_BEZIERTO)
            I += 2;
        OnCurve.push_back(Path.Points[I]);
    }
    ASSERT_GE(OnCurve.size(), 4u);
    EXPECT_EQ(OnCurve[1], (TPoint{5, 0}));
    EXPECT_EQ(OnCurve[OnCurve.size() - 2], (TPoint{0, 2}));
    EXPECT_EQ(OnCurve.back(), (TPoint{0, 0}));
    for (const TPoint& P : OnCurve)
        EXPECT_FALSE(P == (TPoint{5, 2}));
}

TEST(BitmapTrace, LonePixelsGiveNoOutline)
{
    std::vector<std::string> Rows = Uniform(7, 7, '.');
    Rows[3][3] = '#';
    TResult R = TraceRows(Rows);
    ASSERT_EQ(R.Paths.size(), 1u);
    EXPECT_EQ(OutlineOf(*R.Paths[0]), Rectangle(0, 0, 6, 6));
    TResult R1 = TraceRows(Uniform(1, 1, '#'));
    EXPECT_TRUE(R1.Paths.empty());
}

TEST(BitmapTrace, StaircaseIsOneLine)
{
    // Black below the line y = x / 2: its top edge steps south-east and east
    // by turns, smooth at every point and straight within the fit.
    TResult R = TraceRows(Shape(40, 24, [](int X, int Y) { return 2 * Y >= X; }));
    ASSERT_FALSE(R.Paths.empty());
    ASSERT_EQ(R.Colors[0], 0u);
    const TrecPolyLine& Black = *R.Paths[0];
    ASSERT_GE(Black.Count, 2);
    EXPECT_EQ(Black.pabType[0], PT_MOVETO);
    EXPECT_EQ(Black.Points[0], (TPoint{0, 0}));
    EXPECT_EQ(Black.pabType[1], PT_LINETO);
    EXPECT_EQ(Black.Points[1].X, 39);
    EXPECT_NEAR(Black.Points[1].Y, 19.5, 1);
    EXPECT_EQ(Black.pabType[Black.Count - 1] & PT_CLOSEFIGURE, PT_CLOSEFIGURE);
}

TEST(BitmapTrace, DiscGivesCurves)
{
    const int32_t C = 30, Radius = 20;
    TResult R = TraceRows(Shape(61, 61, [&](int X, int Y) {
        return (X - C) * (X - C) + (Y - C) * (Y - C) <= Radius * Radius;
    }));
    ASSERT_EQ(R.Paths.size(), 2u);
    ASSERT_EQ(R.Colors[1], 0u);
    const TrecPolyLine& Disc = *R.Paths[1];
    int32_t Curves = 0;
    for (int32_t I = 1; I < Disc.Count; ++I) {
        const uint8_t Kind = PathPointKind(Disc.pabType[I]);
        ASSERT_TRUE(Kind == PT_LINETO || Kind == PT_BEZIERTO) << I;
        if (Kind == PT_BEZIERTO) {
            ++Curves;
            if (Curves % 3 != 0)
                continue; // control points
        }
        const double D = std::hypot(Disc.Points[I].X - C, Disc.Points[I].Y - C);
        EXPECT_NEAR(D, Radius, 1.5) << I;
    }
    EXPECT_GT(Curves, 0);
    EXPECT_EQ(Curves % 3, 0);
    EXPECT_EQ(Disc.Points[Disc.Count - 1], Disc.Points[0]);
}

TEST(BitmapTrace, StepCapDropsARunawayBoundary)
{
    EXPECT_EQ(TraceOutlineStepCap(6, 5), 8 * 30 + 8);
    // The border of a 6 x 5 block takes 18 steps.
    for (int64_t Cap : {18, 17}) {
        TPic Pic;
        MakePicture24(Pic.P, Uniform(6, 5, '#'));
        TResult R;
        Trace(Pic.P, R, Cap);
        ASSERT_EQ(R.Paths.size(), Cap == 18 ? 1u : 0u);
        EXPECT_EQ(R.Colors.size(), R.Paths.size());
        if (Cap == 18) {
            EXPECT_EQ(OutlineOf(*R.Paths[0]), Rectangle(0, 0, 5, 4));
        }
    }
}

TEST(BitmapTrace, ProgressEvery64Rows)
{
    TPic Pic;
    MakePicture24(Pic.P, Uniform(3, 130, '#'));
    TResult R;
    std::vector<std::pair<int32_t, int32_t>> Calls;
    TraceOutline(Pic.P, R.Paths, R.Colors, R.Progress,
                 [&](TTraceProgress& P) { Calls.emplace_back(P.Position, P.Max); });
    EXPECT_EQ(Calls, (std::vector<std::pair<int32_t, int32_t>>{{0, 129}, {64, 129}, {128, 129}}));
    EXPECT_EQ(R.Paths.size(), 1u);
}

TEST(BitmapTrace, PalettePicturesAreConverted)
{
    // 8-bit grey: 120 falls to black, 140 rises to white. Once with plain
    // pixel blocks and once as a DIB section.
    for (bool Section : {false, true}) {
        const size_t Blocks = GlobalBlockCount();
        const size_t Sections = DIBSectionCount();
        {
            TPic Pic;
            RecPictureCreate(Pic.P, TPoint{0, 0}, 8, 6, 8, Section);
            for (int32_t Y = 0; Y < 6; ++Y)
                for (int32_t X = 0; X < 8; ++X)
                    *GetDIBPixelPtr(RecPictureHeader(Pic.P), Pic.P.pBits, X, Y) = X < 4 ? 120 : 140;
            TResult R;
            Trace(Pic.P, R);
            EXPECT_EQ(RecPictureHeader(Pic.P)->biBitCount, 24);
            ASSERT_EQ(R.Paths.size(), 2u) << Section;
            EXPECT_EQ(R.Colors, (std::vector<uint32_t>{0, 0x00FFFFFF}));
            EXPECT_EQ(OutlineOf(*R.Paths[0]), Rectangle(0, 0, 3, 5));
        }
        EXPECT_EQ(GlobalBlockCount(), Blocks);
        EXPECT_EQ(DIBSectionCount(), Sections);
    }
    // 1-bit with a black and white table: the right half set.
    TPic Pic;
    RecPictureCreate(Pic.P, TPoint{0, 0}, 8, 6, 1, false);
    RGBQUAD* Table = DIBColorTable(RecPictureHeader(Pic.P));
    Table[0] = RGBQUAD{0, 0, 0, 0};
    Table[1] = RGBQUAD{255, 255, 255, 0};
    for (int32_t Y = 0; Y < 6; ++Y)
        *GetDIBPixelPtr(RecPictureHeader(Pic.P), Pic.P.pBits, 0, Y) = 0x0F;
    TResult R;
    Trace(Pic.P, R);
    ASSERT_EQ(R.Paths.size(), 2u);
    EXPECT_EQ(R.Colors, (std::vector<uint32_t>{0, 0x00FFFFFF}));
}

TEST(BitmapTrace, BadPicturesAreRefused)
{
    // A refusal keeps what the lists held.
    auto Refused = [&](TrecPicture& P) {
        TResult R;
        R.Paths.push_back(std::make_unique<TrecPolyLine>());
        R.Colors.push_back(7);
        const std::string Msg = MessageOf<EUserError>([&] { Trace(P, R); });
        EXPECT_EQ(R.Paths.size(), 1u);
        EXPECT_EQ(R.Colors, std::vector<uint32_t>{7});
        return Msg;
    };
    TrecPicture Empty;
    EXPECT_EQ(Refused(Empty), "TraceOutline: Illegal BMP");
    // Depths the tracer cannot read as colours stay untouched.
    for (int32_t Depth : {16, 32}) {
        TPic Pic;
        RecPictureCreate(Pic.P, TPoint{0, 0}, 5, 4, Depth, false);
        const size_t Size = static_cast<size_t>(RecPictureGetImageSize(Pic.P));
        std::memset(Pic.P.pBits, 0x5A, Size);
        const TrecPicture Before = Pic.P;
        EXPECT_EQ(Refused(Pic.P), "TraceOutline: Illegal BMP") << Depth;
        EXPECT_EQ(Pic.P.pBits, Before.pBits);
        EXPECT_EQ(RecPictureHeader(Pic.P)->biBitCount, Depth);
        for (size_t I = 0; I < Size; ++I)
            ASSERT_EQ(Pic.P.pBits[I], 0x5A);
    }
    // More pixels than any picture may have: refused before a pixel is read.
    {
        TPic Big;
        MakePicture24(Big.P, Uniform(4, 4, '#'));
        BITMAPINFOHEADER* H = RecPictureHeader(Big.P);
        H->biWidth = 1 << 15;
        H->biHeight = 1 << 14;
        EXPECT_EQ(Refused(Big.P), "TraceOutline: Illegal BMP");
        H->biWidth = 4;
        H->biHeight = -4; // top-down rows are not this system's pictures
        EXPECT_EQ(Refused(Big.P), "TraceOutline: Illegal BMP");
        H->biHeight = 4;
    }
    // Zero width, no pixels.
    TPic Pic;
    MakePicture24(Pic.P, Uniform(4, 4, '#'));
    RecPictureHeader(Pic.P)->biWidth = 0;
    EXPECT_EQ(Refused(Pic.P), "TraceOutline: Illegal BMP");
    RecPictureHeader(Pic.P)->biWidth = 4;
    uint8_t* Bits = Pic.P.pBits;
    Pic.P.pBits = nullptr;
    EXPECT_EQ(Refused(Pic.P), "TraceOutline: Illegal BMP");
    Pic.P.pBits = Bits;
}
