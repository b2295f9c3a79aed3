#include "raster/gradation_picture.h"

#include "bmp_conv_test_util.h"
#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "raster/draw_path.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <random>
#include <vector>

namespace {

// A picture record that frees itself.
struct TPic {
    TrecPicture P;
    TPic(int32_t Left, int32_t Top, int32_t W, int32_t H, int32_t Bits, int Fill = 0)
    {
        RecPictureCreate(P, TPoint{Left, Top}, W, H, Bits, false);
        std::memset(P.pBits, Fill, size_t(RecPictureGetImageSize(P)));
    }
    ~TPic() { RecPictureClear(P); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    uint8_t* At(int32_t X, int32_t Y) const { return RecPictureGetPixelPtr(P, X, Y); }
    std::vector<uint8_t> Bytes() const { return {P.pBits, P.pBits + RecPictureGetImageSize(P)}; }
};

struct TPathMaker {
    TrecPath P;
    TPathMaker& T(int32_t X, int32_t Y, uint8_t Type)
    {
        RecPolyLineSetCount(P, P.Count + 1);
        P.Points[size_t(P.Count - 1)] = TPoint{X, Y};
        P.pabType[size_t(P.Count - 1)] = Type;
        return *this;
    }
    TPathMaker& M(int32_t X, int32_t Y) { return T(X, Y, PT_MOVETO); }
    TPathMaker& L(int32_t X, int32_t Y) { return T(X, Y, PT_LINETO); }
    TPathMaker& Close() { P.pabType[size_t(P.Count - 1)] |= PT_CLOSEFIGURE; return *this; }
    TrecPath Done(uint8_t Flag = 1)
    {
        RecPathCalcBounds(P);
        P.Flag = Flag;
        return std::move(P);
    }
};

TrecPath RectPath(int32_t L, int32_t T, int32_t R, int32_t B, uint8_t Flag = 1)
{
    return TPathMaker().M(L, T).L(R, T).L(R, B).L(L, B).Close().Done(Flag);
}

// A gradation of one colour at opacity Opacity.
TrecGradation Plain(int32_t Color, int32_t Opacity = 255)
{
    TrecGradation G;
    G.iOpacity = Opacity;
    G.ColStops = {{0, Color}};
    return G;
}

// Geometry on a 128 x 128 rectangle: a field value is 128 times the pixel.
TrecGradation Geometry(uint8_t Shape, int32_t X0, int32_t Y0, int32_t X1, int32_t Y1, int32_t R = 1)
{
    TrecGradation G;
    G.bShape = Shape;
    G.iOpacity = 255;
    G.iRepeatCount = R;
    G.iX1 = X0 * 128;
    G.iY1 = Y0 * 128;
    G.iX2 = X1 * 128;
    G.iY2 = Y1 * 128;
    return G;
}

// The index rule written out plainly, pixel by pixel.
int32_t RefIndex(const TrecGradation& G, int64_t L, int64_t T, int64_t R, int64_t B, int64_t X, int64_t Y)
{
    const double W = double(R - L + 1), H = double(B - T + 1);
    const int64_t P0X = RoundOff(double(L) + G.iX1 * W / 16384), P0Y = RoundOff(double(T) + G.iY1 * H / 16384);
    const int64_t P1X = RoundOff(double(L) + G.iX2 * W / 16384), P1Y = RoundOff(double(T) + G.iY2 * H / 16384);
    const double DX = double(X - P0X), DY = double(Y - P0Y), VX = double(P1X - P0X), VY = double(P1Y - P0Y);
    const double Tiny = 1.0 / 2147483647.0, AVX = std::fabs(VX), AVY = std::fabs(VY);
    const double K = AVX == 0 ? (AVY == 0 ? 1.0 : 2147483647.0) : (AVY == 0 ? Tiny : AVY / AVX);
    const double XDiv = AVX == 0 ? Tiny : AVX, Rep = G.iRepeatCount;
    double Tp = 0;
    switch (G.bShape) {
    case 0:
        if (VX * VX + VY * VY != 0)
            Tp = std::clamp((DX * VX + DY * VY) / (VX * VX + VY * VY), 0.0, 1.0);
        break;
    case 1: {
        auto Angle = [](double AX, double AY, bool Half) {
            if (AX == 0)
                return AY < 1 ? -0.25 : 0.25;
            return std::atan(AY / AX) / (2 * std::numbers::pi) + (Half && AX < 0 ? 0.5 : 0.0);
        };
        const double S = Rep * (Angle(DX, DY, true) - Angle(VX, VY, false) + 3);
        const int64_t I = int64_t((S - std::trunc(S)) * 1024);
        return int32_t(I < 0 ? I + 1024 : I);
    }
    case 2:
        Tp = std::sqrt((std::fabs(DY) / K) * (std::fabs(DY) / K) + DX * DX) / XDiv;
        break;
    case 3: {
        const double Len = std::sqrt(VX * VX + VY * VY);
        Tp = std::sqrt(DX * DX + DY * DY) / (Len == 0 ? Tiny : Len);
        break;
    }
    case 4: {
        const double Q = std::fabs(DY) / K;
        Tp = std::fabs(DX) >= std::trunc(Q) ? std::fabs(DX) / XDiv : Q / XDiv;
        break;
    }
    case 5: {
        const double M = std::max(AVX, AVY);
        Tp = std::max(std::fabs(DX), std::fabs(DY)) / (M == 0 ? 2147483647.0 : M);
        break;
    }
    default:
        break;
    }
    if (Tp >= 1)
        return 1023;
    const int64_t V = int64_t(Rep * Tp * 1024);
    return int32_t(((V % 1024) + 1024) % 1024);
}

TrecGradation RandomGradation(std::mt19937& Rng)
{
    auto Int = [&](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(Rng); };
    TrecGradation G;
    G.bShape = uint8_t(Int(0, 5));
    G.iOpacity = Int(0, 3) == 0 ? 255 : Int(0, 255);
    G.bRepetition = uint8_t(Int(0, 2));
    G.bInterpolation = uint8_t(Int(0, 1));
    G.iRepeatCount = Int(0, 4) == 0 ? Int(-3, 0) : Int(1, 5);
    // Points often coincide in one coordinate to reach the zero-divisor rules.
    G.iX1 = Int(-4096, 20480);
    G.iY1 = Int(0, 2) == 0 ? G.iX1 : Int(-4096, 20480);
    G.iX2 = Int(0, 3) == 0 ? G.iX1 : Int(-4096, 20480);
    G.iY2 = Int(0, 3) == 0 ? G.iY1 : Int(-4096, 20480);
    for (int I = Int(0, 4); I > 0; --I)
        G.ColStops.push_back({Int(0, 1023), Int(0, 0xFFFFFF)});
    std::sort(G.ColStops.begin(), G.ColStops.end(), [](auto& A, auto& B) { return A.iPosition < B.iPosition; });
    for (int I = Int(0, 3); I > 0; --I)
        G.TransStops.push_back({Int(0, 1023), Int(0, 255)});
    std::sort(G.TransStops.begin(), G.TransStops.end(), [](auto& A, auto& B) { return A.iPosition < B.iPosition; });
    return G;
}

TrecPath RandomPath(std::mt19937& Rng, int32_t X0, int32_t Y0, int32_t Size)
{
    auto Int = [&](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(Rng); };
    TPathMaker M;
    for (int F = Int(1, 2); F > 0; --F) {
        M.M(X0 + Int(0, Size), Y0 + Int(0, Size));
        for (int I = Int(2, 5); I > 0; --I) {
            const int N = Int(0, 1) ? 1 : 3; // a line or a curve
            for (int J = 0; J < N; ++J) {
                const int32_t X = X0 + Int(0, Size);
                M.T(X, Y0 + Int(0, Size), N == 1 ? PT_LINETO : PT_BEZIERTO);
            }
        }
        M.Close();
    }
    return M.Done(uint8_t(Int(0, 3) != 0));
}

// The painting step as first written: the gradation rendered over the whole
// bounds, then laid over the area through the path picture; with a mask the
// weight is the rounded one.
void WholeBoundsMakeGradation(const TrecPath& Path, const TrecPicture& Dest, const TrecPicture* Mask,
                              const TrecGradation& G, double Tol, bool AA)
{
    const TRect& B = Path.Bounds;
    TRect Area, DestArea;
    if (!RecPictureIntersectWithRect(Dest, B, Area))
        return;
    if (Mask) {
        DestArea = Area;
        if (!RecPictureIntersectWithRect(*Mask, DestArea, Area))
            return;
    }
    const int32_t BW = B.Right - B.Left + 1, BH = B.Bottom - B.Top + 1;
    TDIBPicture C, A, PP;
    RecPictureRenderGradation(TRect{0, 0, BW - 1, BH - 1}, BW, BH, C.FrecPicture, A.FrecPicture, G);
    C.FrecPicture.iLeft = A.FrecPicture.iLeft = B.Left;
    C.FrecPicture.iTop = A.FrecPicture.iTop = B.Top;
    PP.SetSize(Area.Right - Area.Left + 1, Area.Bottom - Area.Top + 1, 8);
    PP.FrecPicture.iLeft = Area.Left;
    PP.FrecPicture.iTop = Area.Top;
    std::memset(PP.FrecPicture.pBits, 0, size_t(RecPictureGetImageSize(PP.FrecPicture)));
    TrecPenData Pen{};
    Pen.Style = 0x2200;
    Pen.Width = 5;
    Pen.MiterLimit = 3.0;
    SetPenDataColor(Pen, 255);
    ASSERT_EQ(DIBSectionDrawPath(PP.FrecPicture, Path, Pen, Path.Flag == 0, Tol, AA), 0);
    const int64_t Gv = std::clamp(G.iOpacity, 0, 255);
    for (int32_t Y = Area.Top; Y <= Area.Bottom; ++Y)
        for (int32_t X = Area.Left; X <= Area.Right; ++X) {
            const int64_t P = *RecPictureGetPixelPtr(PP.FrecPicture, X, Y);
            const int64_t Av = *RecPictureGetPixelPtr(A.FrecPicture, X, Y);
            const uint8_t* Cp = RecPictureGetPixelPtr(C.FrecPicture, X, Y);
            uint8_t* D = RecPictureGetPixelPtr(Dest, X, Y);
            const int64_t Mv = Mask ? *RecPictureGetPixelPtr(*Mask, X, Y) : 255;
            if (P == 0 || Av == 0 || Mv == 0)
                continue;
            const int64_t W = Mask ? (Mv * Av * Gv + 127) / 255 : (Gv * Av + 255) >> 8;
            for (int K = 0; K < 3; ++K)
                D[K] = uint8_t(Mask ? (D[K] * (65025 - W) + Cp[K] * W) / 65025
                                    : (D[K] * (255 - W) + Cp[K] * W + 255) >> 8);
        }
}

TrecPenData PenOf(int32_t Width, uint32_t Style = 0)
{
    TrecPenData P{};
    P.Style = Style;
    P.Width = Width;
    P.MiterLimit = 10.0;
    return P;
}

} // namespace

TEST(GradationRenderer, IndicesByHand)
{
    // Shape, P0, P1, repeat count, then (x, y, index) triples.
    struct TCase {
        uint8_t Shape;
        int32_t X0, Y0, X1, Y1, R;
        std::vector<std::array<int64_t, 3>> At;
    };
    const TCase Cases[] = {
        // Linear: t clamped to 0..1; r = 2 runs through the table twice, t = 1
        // is still the last entry. Oblique v = (100, 50), d = (30, 40): t = 0.4.
        {0, 0, 0, 100, 0, 1, {{50, 7, 512}, {99, 0, 1013}, {120, 0, 1023}, {-5, 3, 0}}},
        {0, 0, 0, 100, 0, 2, {{25, 0, 512}, {50, 0, 0}, {100, 0, 1023}}},
        {0, 0, 0, 100, 50, 1, {{30, 40, 409}}},
        // Angle sweep: atan(1) / 2 pi = 0.125; dx = 0 gives +-0.25 (dy = 0 < 1
        // counts as negative); the left half adds 0.5. r = -1 runs backwards.
        // The start angle takes no half turn.
        {1, 50, 50, 100, 50, 1, {{60, 60, 128}, {50, 60, 256}, {40, 40, 640}, {50, 50, 768}}},
        {1, 50, 50, 100, 50, -1, {{60, 60, 896}}},
        {1, 50, 50, 0, 0, 1, {{60, 60, 0}, {40, 40, 512}}},
        // Ellipse, |vx| = 40, k = 0.5: (0, 10 / 0.5), (16, 12 / 0.5). |vx| = 0:
        // every pixel but P0 reaches the end.
        {2, 64, 64, 104, 84, 1, {{88, 64, 614}, {64, 74, 512}, {76, 72, 512}}},
        {2, 64, 64, 64, 90, 1, {{64, 64, 0}, {65, 64, 1023}}},
        // Circle, |v| = 50: 25 / 50; 10 / 50 -> 204.8; r = 3: 1536 mod 1024.
        // P0 = P1: 1023 everywhere but at P0.
        {3, 64, 64, 94, 104, 1, {{79, 84, 512}, {64, 74, 204}, {34, 24, 1023}}},
        {3, 64, 64, 94, 104, 3, {{79, 84, 512}}},
        {3, 20, 30, 20, 30, 1, {{20, 30, 0}, {21, 30, 1023}}},
        // Rectangle, |vx| = 40, k = 0.5, q = 2 |dy|: |dx| = 10 >= 10: 10 / 40;
        // |dx| = 6 < 16: 16 / 40. k = 1.5: q = 2.67, Trunc(q) = 2: 2 / 32, or
        // 2.67 / 32 for |dx| = 1. Only |vx| = 0: Trunc(q) = 0, t = |dx| / tiny.
        // |vy| = 0: q near 2^62.
        {4, 64, 64, 104, 84, 1, {{74, 69, 256}, {70, 72, 409}}},
        {4, 64, 64, 96, 112, 1, {{66, 68, 64}, {65, 68, 85}}},
        {4, 64, 64, 64, 100, 1, {{63, 64, 1023}, {64, 100, 0}}},
        {4, 64, 64, 96, 64, 1, {{80, 64, 512}, {-2000000000, 2000000000, 1023}}},
        // Square, max(|vx|, |vy|) = 40. P0 = P1: the divisor 2147483647 keeps index 0.
        {5, 64, 64, 104, 84, 1, {{74, 84, 512}, {54, 34, 768}}},
        {5, 64, 64, 64, 64, 1, {{0, 0, 0}, {127, 3, 0}}},
        // r t 1024 = (2^31 - 1) x 512 is far beyond int32: 2^40 - 512 = 512 mod 1024.
        {0, 0, 0, 100, 0, 2147483647, {{50, 0, 512}}},
        {5, 64, 64, 104, 84, 2147483647, {{74, 84, 512}}},
    };
    for (const TCase& C : Cases) {
        const TGradationRenderer R(0, 0, 127, 127, Geometry(C.Shape, C.X0, C.Y0, C.X1, C.Y1, C.R));
        for (const auto& A : C.At)
            EXPECT_EQ(R.Index(A[0], A[1]), A[2]) << "shape " << int(C.Shape) << " P1 " << C.X1 << "," << C.Y1
                                                 << " r " << C.R << " at " << A[0] << "," << A[1];
    }
}

TEST(GradationRenderer, PointsAreRoundedFromTheRectangle)
{
    // Rectangle (10, 20)-(19, 29): W = H = 10, P0 = (15, 25), P1 = (20, 25), |v| = 5.
    TrecGradation G = Geometry(3, 0, 0, 0, 0);
    G.iX1 = G.iY1 = G.iY2 = 8192;
    G.iX2 = 16384;
    const TGradationRenderer R(10, 20, 19, 29, G);
    EXPECT_EQ((std::vector<int32_t>{R.Index(15, 25), R.Index(18, 25), R.Index(15, 27), R.Index(18, 29)}),
              (std::vector<int32_t>{0, 614, 409, 1023})); // t 0, 0.6, 0.4, past the end
    // 1000 / 16384 x 10 = 0.61 rounds to 1; 819 / 16384 x 10 = 0.4999 rounds to 0.
    G.bShape = 0;
    G.iX1 = 1000;
    G.iY1 = G.iY2 = 0;
    EXPECT_EQ(TGradationRenderer(0, 0, 9, 9, G).Index(1, 0), 0);
    G.iX1 = 819;
    EXPECT_NE(TGradationRenderer(0, 0, 9, 9, G).Index(1, 0), 0);
    // A rectangle spanning the int32 range: W = 2^32, P1.x = 2^31.
    G.iX1 = 8192;
    G.iX2 = 16384;
    const TGradationRenderer Huge(-2147483647 - 1, 0, 2147483647, 99, G);
    for (int32_t Sh : {0, 30, 31})
        EXPECT_EQ(Huge.Index(Sh ? int64_t{1} << Sh : 0, 5), Sh == 0 ? 0 : Sh == 30 ? 512 : 1023) << Sh;
}

TEST(GradationRenderer, RowsMatchThePlainRuleOnRandomGradations)
{
    std::mt19937 Rng(105);
    auto Int = [&](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(Rng); };
    for (int Case = 0; Case < 300; ++Case) {
        const TrecGradation G = RandomGradation(Rng);
        const int32_t L = Int(-50, 50), T = Int(-50, 50), W = Int(1, 90), H = Int(1, 90);
        const TGradationRenderer R(L, T, L + W - 1, T + H - 1, G);
        std::vector<uint8_t> Color(60 * 3), Alpha(60);
        for (int32_t Y = -5; Y < 60; Y += 4) {
            R.RenderRow(-3, Y, 60, Color.data(), Alpha.data());
            for (int32_t J = 0; J < 60; ++J) {
                const int32_t I = RefIndex(G, L, T, L + W - 1, T + H - 1, J - 3, Y);
                ASSERT_EQ(R.Index(J - 3, Y), I) << Case << " shape " << int(G.bShape);
                ASSERT_EQ((std::array<int, 4>{Color[J * 3], Color[J * 3 + 1], Color[J * 3 + 2], Alpha[J]}),
                          (std::array<int, 4>{R.Blue[I], R.Green[I], R.Red[I], R.Alpha[I]}));
            }
        }
    }
}

TEST(RecPictureRenderGradation, PicturesTakeTheTablesTopRowFirst)
{
    // Vertical, black to red: row y has t = y / 128.
    TrecGradation G = Geometry(0, 0, 0, 0, 128);
    G.ColStops = {{0, 0x000000}, {1023, 0x0000FF}};
    G.TransStops = {{0, 255}, {1023, 0}};
    TDIBPicture C, A;
    RecPictureRenderGradation(TRect{0, 0, 127, 127}, 128, 100, C.FrecPicture, A.FrecPicture, G);
    EXPECT_EQ(BmpShape(RecPictureHeader(C.FrecPicture)), (std::vector<int64_t>{128, 100, 24, 38400, 0}));
    EXPECT_EQ(BmpShape(RecPictureHeader(A.FrecPicture)), (std::vector<int64_t>{128, 100, 8, 12800, 0}));
    EXPECT_NE(C.FrecPicture.hDIBSection, nullptr);
    // y = 0: index 0; y = 64: 512 -> red 127; y = 99: 792 -> red 197, opacity 255 - 197.
    auto Px = [&](int32_t Y) {
        const uint8_t* Cp = RecPictureGetPixelPtr(C.FrecPicture, 10, Y);
        return std::array<int, 3>{Cp[2], Cp[0], *RecPictureGetPixelPtr(A.FrecPicture, 10, Y)};
    };
    EXPECT_EQ(Px(0), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(Px(64)[0], 127);
    EXPECT_EQ(Px(99), (std::array<int, 3>{197, 0, 58}));
    // The memory row of page row 0 is the last one (bottom-up rows).
    const int64_t Line = RecPictureGetImageSize(C.FrecPicture) / 100;
    EXPECT_EQ(C.FrecPicture.pBits[99 * Line + 2], 0);
    EXPECT_EQ(C.FrecPicture.pBits[2], 197);
}

TEST(MakeGradation, WeightsByHand)
{
    // Through a mask, full opacity reaches the colour: the weight once peaked
    // at (255^3 + 255) shr 8 = 64771 of 65025, white over black gave 254.
    TPic D(0, 0, 64, 64, 24, 0), W(0, 0, 64, 64, 24, 255), M(0, 0, 64, 64, 8, 255);
    MakeGradation(RectPath(8, 8, 40, 40), D.P, &M.P, Plain(0xFFFFFF), 1.0, true);
    EXPECT_TRUE(D.At(20, 20)[0] == 255 && D.At(20, 20)[2] == 255);
    EXPECT_EQ(D.At(50, 20)[0], 0); // outside the path
    MakeGradation(RectPath(8, 8, 40, 40), W.P, &M.P, Plain(0), 1.0, true);
    EXPECT_EQ(W.At(20, 20)[1], 0);
    // m = 128, a = 255, g = 200, white over black: w = 25600, 255 x 25600 div 65025 = 100.
    TPic D2(0, 0, 4, 4, 24), M2(0, 0, 4, 4, 8, 128);
    MakeGradation(RectPath(0, 0, 4, 4), D2.P, &M2.P, Plain(0xFFFFFF, 200), 1.0, false);
    EXPECT_EQ(D2.At(1, 1)[0], 100);
    // Without a mask, g = 128, a = 255: w = (32640 + 255) shr 8 = 128; grey 200
    // over 0: (200 x 128 + 255) shr 8 = 100; g = 255 gives the colour itself.
    TPic E(0, 0, 8, 8, 24), F(0, 0, 8, 8, 24, 255), Z(0, 0, 8, 8, 24, 9);
    MakeGradation(RectPath(0, 0, 8, 8), E.P, nullptr, Plain(0xC8C8C8, 128), 1.0, true);
    EXPECT_EQ(E.At(3, 3)[0], 100);
    MakeGradation(RectPath(0, 0, 8, 8), F.P, nullptr, Plain(0xC8C8C8), 1.0, true);
    EXPECT_EQ(F.At(3, 3)[2], 200);
    // Opacity 0 in the table leaves the pixel.
    TrecGradation Clear = Plain(0xC8C8C8);
    Clear.TransStops = {{0, 0}};
    MakeGradation(RectPath(0, 0, 8, 8), Z.P, nullptr, Clear, 1.0, true);
    EXPECT_EQ(Z.At(3, 3)[0], 9);
}

TEST(MakeGradation, PathCoverageDecidesButDoesNotWeight)
{
    const TrecPath Tri = TPathMaker().M(0, 0).L(40, 0).L(0, 30).Close().Done(1);
    TPic D(0, 0, 48, 48, 24), Cover(0, 0, 48, 48, 8);
    MakeGradation(Tri, D.P, nullptr, Plain(0x0000FF), 1.0, true);
    TrecPenData Pen{};
    SetPenDataColor(Pen, 255);
    ASSERT_EQ(DIBSectionDrawPath(Cover.P, Tri, Pen, false, 1.0, true), 0);
    int Partial = 0;
    for (int Y = 0; Y < 31; ++Y)
        for (int X = 0; X < 41; ++X) {
            const int P = *Cover.At(X, Y);
            Partial += P > 0 && P < 255;
            ASSERT_EQ(D.At(X, Y)[2], P ? 255 : 0) << X << "," << Y;
        }
    EXPECT_GT(Partial, 10);
    // A path flagged 0 is stroked, not filled.
    TPic S(0, 0, 64, 64, 24);
    MakeGradation(RectPath(10, 10, 50, 50, 0), S.P, nullptr, Plain(0xFFFFFF), 1.0, true);
    EXPECT_EQ((std::vector<int>{S.At(30, 30)[0], S.At(10, 30)[0], S.At(30, 49)[0]}), (std::vector<int>{0, 255, 255}));
}

TEST(MakeGradation, ClippedAreaEqualsWholeBoundsRendering)
{
    std::mt19937 Rng(3105);
    int Painted = 0;
    for (int Case = 0; Case < 100; ++Case) {
        const TrecGradation G = RandomGradation(Rng);
        // Paths of up to 300 pixels around a 64 x 48 picture at (100, 80).
        const int32_t PX = -50 + int32_t(Rng() % 100), PY = -70 + int32_t(Rng() % 100);
        const TrecPath Path = RandomPath(Rng, PX, PY, 300);
        const bool UseMask = Case % 2, AA = Case % 3 != 0;
        const int32_t ML = 90 + int32_t(Rng() % 20), MT = 70 + int32_t(Rng() % 20);
        TPic D1(100, 80, 64, 48, 24), D2(100, 80, 64, 48, 24), M(ML, MT, 64, 48, 8);
        for (int64_t I = 0; I < RecPictureGetImageSize(D1.P); ++I)
            D1.P.pBits[I] = D2.P.pBits[I] = uint8_t(Rng());
        for (int64_t I = 0; I < RecPictureGetImageSize(M.P); ++I)
            M.P.pBits[I] = uint8_t(I % 7 == 0 ? 0 : Rng());
        const std::vector<uint8_t> Before = D1.Bytes();
        MakeGradation(Path, D1.P, UseMask ? &M.P : nullptr, G, 1.0, AA);
        Painted += D1.Bytes() != Before;
        WholeBoundsMakeGradation(Path, D2.P, UseMask ? &M.P : nullptr, G, 1.0, AA);
        ASSERT_EQ(D1.Bytes(), D2.Bytes()) << "case " << Case << " shape " << int(G.bShape);
    }
    EXPECT_GT(Painted, 60);
}

TEST(MakeGradation, HugeBoundsRenderOnlyTheVisiblePart)
{
    // Bounds -2147483647 .. 2147483647: W = 2^32 - 1 and P1.x = W. Page x = 0
    // is output 2147483647 (t just below 0.5, index 511), x = 1 just above.
    TrecGradation G = Plain(0);
    G.iRepeatCount = 1;
    G.iX2 = 16384;
    G.ColStops = {{511, 0x000000}, {512, 0xFFFFFF}};
    TPic D(-8, 0, 16, 8, 24, 0x40);
    MakeGradation(RectPath(-2147483647, -10, 2147483647, 100), D.P, nullptr, G, 1.0, true);
    for (int X = -8; X < 8; ++X)
        EXPECT_EQ(D.At(X, 3)[0], X <= 0 ? 0 : 255) << X;
}

TEST(MakeGradation, RefusesOtherDepthsAndOutsidePaths)
{
    const TrecGradation G = Plain(0);
    TPic D8(0, 0, 8, 8, 8), D24(0, 0, 8, 8, 24, 5), M24(0, 0, 8, 8, 24);
    EXPECT_THROW(MakeGradation(RectPath(0, 0, 8, 8), D8.P, nullptr, G, 1.0, true), EUserError);
    EXPECT_THROW(MakeGradation(RectPath(0, 0, 8, 8), D24.P, &M24.P, G, 1.0, true), EUserError);
    // A path the stroker refuses (a path flagged 0 is stroked).
    EXPECT_EQ(BmpMessageOf([&] { MakeGradation(TPathMaker().L(0, 0).L(5, 5).Done(0), D24.P, nullptr, G, 1.0, true); }),
              "uGradation/MakeGradation : DIBSectionDrawPath Failed");
    // Bounds outside the picture, or an empty path: nothing happens.
    MakeGradation(RectPath(20, 20, 30, 30), D24.P, nullptr, G, 1.0, true);
    MakeGradation(TrecPath{}, D24.P, nullptr, G, 1.0, true);
    EXPECT_EQ(D24.Bytes(), std::vector<uint8_t>(size_t(RecPictureGetImageSize(D24.P)), 5));
}

namespace {

const TrecDrawPathStop RedToBlue[] = {{0, 0x0000FF, 1.0}, {100, 0xFF0000, 1.0}};

TrecPath Diagonal() { return TPathMaker().M(10, 12).L(50, 40).L(20, 55).Done(0); }

// The steps drawn one by one: widths W, W - 2, ... with the table's colours,
// a step of the previous step's colour skipped.
std::vector<uint8_t> StepsByHand(int32_t Width, int32_t Steps, int32_t Entries,
                                 const TrecDrawPathStop* Stops = RedToBlue)
{
    TPic P(0, 0, 64, 64, 24);
    std::vector<int32_t> Table(static_cast<size_t>(Entries));
    MakeDrawPathColorTable(Stops, 2, Table.data(), Entries);
    for (int32_t I = 0; I < Steps; ++I) {
        if (I > 0 && Table[size_t(I)] == Table[size_t(I - 1)])
            continue;
        TrecPenData Pen = PenOf(Width - 2 * I);
        SetPenDataColor(Pen, uint32_t(Table[size_t(I)]));
        EXPECT_EQ(DIBSectionDrawPath(P.P, Diagonal(), Pen, true, 1.0, true), 0);
    }
    return P.Bytes();
}

// RecPictureDrawPathGradation of Diagonal() into a fresh 64 x 64 24-bit picture.
std::vector<uint8_t> Gradate(int32_t Width, bool Flag, bool* Cancel = nullptr, const TDrawPathGradationPoll& Poll = {},
                             const TrecDrawPathStop* Stops = RedToBlue)
{
    TPic P(0, 0, 64, 64, 24);
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(Width), Stops, 2, 1.0, true, Cancel, Flag, Poll), 0);
    return P.Bytes();
}

} // namespace

TEST(RecPictureDrawPathGradation, StepsNarrowTheirPensAlongTheTable)
{
    // Width 6: three steps (6, 4, 2), over 3 entries with the table flag, else 4.
    EXPECT_EQ(Gradate(6, true), StepsByHand(6, 3, 3));
    EXPECT_EQ(Gradate(6, false), StepsByHand(6, 3, 4));
    EXPECT_NE(Gradate(6, true), Gradate(6, false));
    // Width 7 gives four steps (7, 5, 3, 1).
    EXPECT_EQ(Gradate(7, true), StepsByHand(7, 4, 4));
    // Repeated colours are drawn once.
    const TrecDrawPathStop Same[] = {{0, 0x0000FF, 1.0}, {100, 0x0000FF, 1.0}};
    EXPECT_EQ(Gradate(6, true, nullptr, {}, Same), StepsByHand(6, 1, 3, Same));
    // Pens of width 1 or 2 stroke once in the first colour, without polling.
    for (int32_t Width : {1, 2}) {
        TPic Ref(0, 0, 64, 64, 24);
        TrecPenData Pen = PenOf(Width);
        SetPenDataColor(Pen, 0x0000FF);
        ASSERT_EQ(DIBSectionDrawPath(Ref.P, Diagonal(), Pen, true, 1.0, true), 0);
        bool Cancel = false;
        int Polls = 0;
        EXPECT_EQ(Gradate(Width, true, &Cancel, [&](bool&) { ++Polls; }), Ref.Bytes());
        EXPECT_EQ(Polls, 0);
    }
}

TEST(RecPictureDrawPathGradation, CancelStopsBeforeTheNextStep)
{
    // The poll sets the flag at its third call: steps 0 and 1 stay drawn.
    bool Cancel = false;
    int Polls = 0;
    EXPECT_EQ(Gradate(10, true, &Cancel, [&](bool& C) { C = ++Polls == 3; }), StepsByHand(10, 2, 5));
    EXPECT_EQ(Polls, 3);
    EXPECT_TRUE(Cancel);
    // A flag already set: nothing is drawn, even for a pen far too wide for any table.
    EXPECT_EQ(Gradate(2147483647, false, &Cancel), std::vector<uint8_t>(64 * 64 * 3, 0));
    // Without a flag the poll is never called and every step is drawn.
    Polls = 0;
    EXPECT_EQ(Gradate(10, true, nullptr, [&](bool&) { ++Polls; }), StepsByHand(10, 5, 5));
    EXPECT_EQ(Polls, 0);
}

TEST(RecPictureDrawPathGradation, FailuresGiveNine)
{
    TPic P16(0, 0, 16, 16, 16), P(0, 0, 64, 64, 24);
    EXPECT_EQ(RecPictureDrawPathGradation(P16.P, Diagonal(), PenOf(6), RedToBlue, 2, 1.0, true, nullptr, true), 9);
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(6), RedToBlue, 0, 1.0, true, nullptr, true), 9);
    // A stroke that fails ends the steps with 9; a throwing poll is caught too.
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, TPathMaker().L(0, 0).L(5, 5).Done(0), PenOf(6), RedToBlue, 2, 1.0,
                                          true, nullptr, true),
              9);
    bool Cancel = false;
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(6), RedToBlue, 2, 1.0, true, &Cancel, true,
                                          [](bool&) { throw EUserError("stop"); }),
              9);
    // Empty bounds: 0 before anything is read.
    EXPECT_EQ(RecPictureDrawPathGradation(P16.P, TrecPath{}, PenOf(6), nullptr, 0, 1.0, true, nullptr, true), 0);
}

TEST(RecPictureDrawPathGradation, EightBitPlanesTakeTheRedByte)
{
    const TrecDrawPathStop Grey[] = {{0, 0x000010, 1.0}, {10, 0x0000F0, 1.0}};
    TPic P(0, 0, 64, 64, 8);
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, RectPath(10, 10, 50, 50, 0), PenOf(8, 0x2200), Grey, 2, 1.0, false,
                                          nullptr, true),
              0);
    // Aliased pens of widths 8, 6, 4, 2 about x = 10 cover columns 6..13, 7..12,
    // 8..11 and 9..10; entries at x = 0, 3, 7, 10: 16, 83 (16 + 224 x 0.3), 173, 240.
    std::vector<int> Row;
    for (int32_t X : {6, 7, 8, 10, 13, 30})
        Row.push_back(*P.At(X, 30));
    EXPECT_EQ(Row, (std::vector<int>{16, 83, 173, 240, 16, 0}));
}
