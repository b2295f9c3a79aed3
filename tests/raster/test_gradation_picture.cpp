#include "raster/gradation_picture.h"

#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "raster/draw_path.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    std::vector<uint8_t> Bytes() const
    {
        return std::vector<uint8_t>(P.pBits, P.pBits + RecPictureGetImageSize(P));
    }
};

struct TPathMaker {
    TrecPath P;
    void Add(int32_t X, int32_t Y, uint8_t Type)
    {
        RecPolyLineSetCount(P, P.Count + 1);
        P.Points[size_t(P.Count - 1)] = TPoint{X, Y};
        P.pabType[size_t(P.Count - 1)] = Type;
    }
    TPathMaker& M(int32_t X, int32_t Y) { Add(X, Y, PT_MOVETO); return *this; }
    TPathMaker& L(int32_t X, int32_t Y) { Add(X, Y, PT_LINETO); return *this; }
    TPathMaker& B(int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, int32_t X3, int32_t Y3)
    {
        Add(X1, Y1, PT_BEZIERTO);
        Add(X2, Y2, PT_BEZIERTO);
        Add(X3, Y3, PT_BEZIERTO);
        return *this;
    }
    TPathMaker& Close()
    {
        P.pabType[size_t(P.Count - 1)] |= PT_CLOSEFIGURE;
        return *this;
    }
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

int32_t IndexAt(const TrecGradation& G, int64_t X, int64_t Y)
{
    return TGradationRenderer(0, 0, 127, 127, G).Index(X, Y);
}

// The index rule written out plainly, pixel by pixel.
int32_t RefIndex(const TrecGradation& G, int64_t L, int64_t T, int64_t R, int64_t B, int64_t X,
                 int64_t Y)
{
    const double W = double(R - L + 1), H = double(B - T + 1);
    const int64_t P0X = RoundOff(double(L) + G.iX1 * W / 16384);
    const int64_t P0Y = RoundOff(double(T) + G.iY1 * H / 16384);
    const int64_t P1X = RoundOff(double(L) + G.iX2 * W / 16384);
    const int64_t P1Y = RoundOff(double(T) + G.iY2 * H / 16384);
    const double DX = double(X - P0X), DY = double(Y - P0Y);
    const double VX = double(P1X - P0X), VY = double(P1Y - P0Y);
    const double Tiny = 1.0 / 2147483647.0;
    const double AVX = std::fabs(VX), AVY = std::fabs(VY);
    const double K = AVX == 0 ? (AVY == 0 ? 1.0 : 2147483647.0) : (AVY == 0 ? Tiny : AVY / AVX);
    const double XDiv = AVX == 0 ? Tiny : AVX;
    const double Rep = G.iRepeatCount;
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
        int64_t I = int64_t((S - std::trunc(S)) * 1024);
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
    const int NC = Int(0, 4);
    for (int I = 0; I < NC; ++I)
        G.ColStops.push_back({Int(0, 1023), Int(0, 0xFFFFFF)});
    std::sort(G.ColStops.begin(), G.ColStops.end(),
              [](auto& A, auto& B) { return A.iPosition < B.iPosition; });
    const int NT = Int(0, 3);
    for (int I = 0; I < NT; ++I)
        G.TransStops.push_back({Int(0, 1023), Int(0, 255)});
    std::sort(G.TransStops.begin(), G.TransStops.end(),
              [](auto& A, auto& B) { return A.iPosition < B.iPosition; });
    return G;
}

TrecPath RandomPath(std::mt19937& Rng, int32_t X0, int32_t Y0, int32_t Size)
{
    auto Int = [&](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(Rng); };
    TPathMaker M;
    const int Figures = Int(1, 2);
    for (int F = 0; F < Figures; ++F) {
        M.M(X0 + Int(0, Size), Y0 + Int(0, Size));
        const int N = Int(2, 5);
        for (int I = 0; I < N; ++I) {
            if (Int(0, 1))
                M.L(X0 + Int(0, Size), Y0 + Int(0, Size));
            else
                M.B(X0 + Int(0, Size), Y0 + Int(0, Size), X0 + Int(0, Size), Y0 + Int(0, Size),
                    X0 + Int(0, Size), Y0 + Int(0, Size));
        }
        M.Close();
    }
    return M.Done(uint8_t(Int(0, 3) != 0));
}

// The painting step as first written: the gradation rendered over the whole
// bounds, then laid over the area through the path picture. The weight with a
// mask is the rounded one (see MakeGradation).
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
            for (int K = 0; K < 3; ++K) {
                if (!Mask) {
                    const int64_t W = (Gv * Av + 255) >> 8;
                    D[K] = uint8_t((D[K] * (255 - W) + Cp[K] * W + 255) >> 8);
                } else {
                    const int64_t W = (Mv * Av * Gv + 127) / 255;
                    D[K] = uint8_t((D[K] * (65025 - W) + Cp[K] * W) / 65025);
                }
            }
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

// ---------------------------------------------------------------------------
// Indices at known positions (128 x 128 rectangle, r = 1 unless said)

TEST(GradationRenderer, LinearIndices)
{
    const TrecGradation G = Geometry(0, 0, 0, 100, 0); // P0 (0, 0), P1 (100, 0)
    EXPECT_EQ(IndexAt(G, 50, 7), 512);   // t = 0.5
    EXPECT_EQ(IndexAt(G, 0, 0), 0);
    EXPECT_EQ(IndexAt(G, 99, 0), 1013);  // 1013.76
    EXPECT_EQ(IndexAt(G, 100, 90), 1023); // t = 1
    EXPECT_EQ(IndexAt(G, 120, 0), 1023); // clamped
    EXPECT_EQ(IndexAt(G, -5, 3), 0);     // clamped
    // r = 2 runs through the table twice; t = 1 is still the last entry.
    const TrecGradation G2 = Geometry(0, 0, 0, 100, 0, 2);
    EXPECT_EQ(IndexAt(G2, 25, 0), 512);
    EXPECT_EQ(IndexAt(G2, 50, 0), 0);
    EXPECT_EQ(IndexAt(G2, 75, 0), 512);
    EXPECT_EQ(IndexAt(G2, 100, 0), 1023);
    // Oblique: v = (100, 50), d = (30, 40): t = 5000 / 12500 = 0.4.
    EXPECT_EQ(IndexAt(Geometry(0, 0, 0, 100, 50), 30, 40), 409);
    // P0 = P1: index 0 everywhere.
    const TrecGradation Z = Geometry(0, 40, 40, 40, 40);
    for (int Y = 0; Y < 128; Y += 9)
        for (int X = 0; X < 128; X += 7)
            ASSERT_EQ(IndexAt(Z, X, Y), 0);
}

TEST(GradationRenderer, StartPointIsRoundedFromTheRectangle)
{
    // Rectangle (10, 20)-(19, 29): W = H = 10, P0 = (15, 25), P1 = (20, 25), |v| = 5.
    TrecGradation G;
    G.bShape = 3;
    G.iRepeatCount = 1;
    G.iX1 = 8192;
    G.iY1 = 8192;
    G.iX2 = 16384;
    G.iY2 = 8192;
    const TGradationRenderer R(10, 20, 19, 29, G);
    EXPECT_EQ(R.Index(15, 25), 0);
    EXPECT_EQ(R.Index(18, 25), 614); // 0.6
    EXPECT_EQ(R.Index(15, 27), 409); // 0.4
    EXPECT_EQ(R.Index(18, 29), 1023);
    // 1000 / 16384 x 10 = 0.61 rounds to 1; 819 / 16384 x 10 = 0.4999 rounds to 0.
    G.bShape = 0;
    G.iX1 = 1000;
    G.iY1 = 0;
    G.iX2 = 16384;
    G.iY2 = 0;
    EXPECT_EQ(TGradationRenderer(0, 0, 9, 9, G).Index(1, 0), 0);
    G.iX1 = 819;
    EXPECT_NE(TGradationRenderer(0, 0, 9, 9, G).Index(1, 0), 0);
}

TEST(GradationRenderer, AngleSweepIndices)
{
    // P0 (50, 50), P1 (100, 50): a0 = 0.
    const TrecGradation G = Geometry(1, 50, 50, 100, 50);
    EXPECT_EQ(IndexAt(G, 60, 50), 0);
    EXPECT_EQ(IndexAt(G, 60, 60), 128);  // atan(1) / 2 pi = 0.125
    EXPECT_EQ(IndexAt(G, 50, 60), 256);  // dx = 0, dy > 0: 0.25
    EXPECT_EQ(IndexAt(G, 40, 50), 512);  // left half: + 0.5
    EXPECT_EQ(IndexAt(G, 40, 40), 640);
    EXPECT_EQ(IndexAt(G, 50, 40), 768);  // -0.25
    EXPECT_EQ(IndexAt(G, 50, 50), 768);  // dy = 0 < 1 counts as negative
    // Repeats go round r times; a negative r runs backwards.
    EXPECT_EQ(IndexAt(Geometry(1, 50, 50, 100, 50, 2), 60, 60), 256);
    EXPECT_EQ(IndexAt(Geometry(1, 50, 50, 100, 50, -1), 60, 60), 896);
    // a0 takes no half turn: v = (-50, -50) starts at 0.125, not 0.625.
    const TrecGradation B = Geometry(1, 50, 50, 0, 0);
    EXPECT_EQ(IndexAt(B, 60, 60), 0);
    EXPECT_EQ(IndexAt(B, 40, 40), 512);
    // v straight up: a0 = -0.25.
    EXPECT_EQ(IndexAt(Geometry(1, 50, 50, 50, 0), 60, 50), 256);
}

TEST(GradationRenderer, EllipseIndices)
{
    // P0 (64, 64), P1 (104, 84): |vx| = 40, k = 0.5.
    const TrecGradation G = Geometry(2, 64, 64, 104, 84);
    EXPECT_EQ(IndexAt(G, 88, 64), 614);  // 24 / 40
    EXPECT_EQ(IndexAt(G, 64, 74), 512);  // (10 / 0.5) / 40
    EXPECT_EQ(IndexAt(G, 76, 72), 512);  // sqrt(16^2 + 12^2) / 40
    EXPECT_EQ(IndexAt(G, 104, 64), 1023);
    // |vx| = 0: every pixel but P0 reaches the end.
    for (const TrecGradation& Z : {Geometry(2, 64, 64, 64, 90), Geometry(2, 64, 64, 64, 64)}) {
        EXPECT_EQ(IndexAt(Z, 64, 64), 0);
        for (int Y = 0; Y < 128; Y += 5)
            for (int X = 0; X < 128; X += 3) {
                if (X != 64 || Y != 64) {
                    ASSERT_EQ(IndexAt(Z, X, Y), 1023) << X << "," << Y;
                }
            }
    }
    // |vy| = 0: a flat ellipse, only its own row below the end.
    const TrecGradation F = Geometry(2, 64, 64, 96, 64);
    EXPECT_EQ(IndexAt(F, 80, 64), 512);
    EXPECT_EQ(IndexAt(F, 64, 65), 1023);
}

TEST(GradationRenderer, CircleIndices)
{
    const TrecGradation G = Geometry(3, 64, 64, 94, 104); // v = (30, 40), |v| = 50
    EXPECT_EQ(IndexAt(G, 79, 84), 512);  // (15, 20) -> 25 / 50
    EXPECT_EQ(IndexAt(G, 64, 74), 204);  // 10 / 50 = 0.2 -> 204.8
    EXPECT_EQ(IndexAt(G, 34, 24), 1023); // (-30, -40)
    EXPECT_EQ(IndexAt(Geometry(3, 64, 64, 94, 104, 3), 79, 84), 512); // 1536 mod 1024
    // P0 = P1: 1023 everywhere but at P0.
    const TrecGradation Z = Geometry(3, 20, 30, 20, 30);
    EXPECT_EQ(IndexAt(Z, 20, 30), 0);
    EXPECT_EQ(IndexAt(Z, 21, 30), 1023);
    EXPECT_EQ(IndexAt(Z, 20, 29), 1023);
}

TEST(GradationRenderer, RectangleIndices)
{
    // P0 (64, 64), P1 (104, 84): |vx| = 40, k = 0.5, q = 2 |dy|.
    const TrecGradation G = Geometry(4, 64, 64, 104, 84);
    EXPECT_EQ(IndexAt(G, 74, 69), 256); // |dx| = 10 >= q = 10: 10 / 40
    EXPECT_EQ(IndexAt(G, 70, 72), 409); // |dx| = 6 < q = 16: 16 / 40
    EXPECT_EQ(IndexAt(G, 84, 60), 512); // 20 >= 8
    // k = 1.5 (v = (32, 48)): q = 4 / 1.5 = 2.67, Trunc(q) = 2.
    const TrecGradation T = Geometry(4, 64, 64, 96, 112);
    EXPECT_EQ(IndexAt(T, 66, 68), 64); // |dx| = 2 >= 2: 2 / 32
    EXPECT_EQ(IndexAt(T, 65, 68), 85); // |dx| = 1 < 2: 2.67 / 32 = 0.0833
    // P0 = P1 (k = 1): every pixel but P0 reaches the end.
    const TrecGradation Z = Geometry(4, 64, 64, 64, 64);
    EXPECT_EQ(IndexAt(Z, 64, 64), 0);
    EXPECT_EQ(IndexAt(Z, 64, 65), 1023);
    EXPECT_EQ(IndexAt(Z, 63, 64), 1023);
    // Only |vx| = 0 (k = 2147483647): q < 1, so Trunc(q) = 0 and t = |dx| / tiny; the
    // column of P0 stays at the start.
    const TrecGradation V = Geometry(4, 64, 64, 64, 100);
    EXPECT_EQ(IndexAt(V, 63, 64), 1023);
    EXPECT_EQ(IndexAt(V, 64, 100), 0);
}

TEST(GradationRenderer, SquareIndices)
{
    const TrecGradation G = Geometry(5, 64, 64, 104, 84); // max(|vx|, |vy|) = 40
    EXPECT_EQ(IndexAt(G, 74, 84), 512);  // max(10, 20) / 40
    EXPECT_EQ(IndexAt(G, 54, 34), 768);  // max(10, 30) / 40
    EXPECT_EQ(IndexAt(G, 24, 64), 1023);
    // P0 = P1: the divisor 2147483647 keeps every pixel at index 0.
    const TrecGradation Z = Geometry(5, 64, 64, 64, 64);
    for (int Y = 0; Y < 128; Y += 5)
        for (int X = 0; X < 128; X += 3)
            ASSERT_EQ(IndexAt(Z, X, Y), 0);
}

TEST(GradationRenderer, HugeRepeatsAndCoordinatesStayExact)
{
    // r t 1024 = (2^31 - 1) x 512 is far beyond int32: 2^40 - 512 = 512 mod 1024.
    EXPECT_EQ(IndexAt(Geometry(0, 0, 0, 100, 0, 2147483647), 50, 0), 512);
    EXPECT_EQ(IndexAt(Geometry(5, 64, 64, 104, 84, 2147483647), 74, 84), 512);
    // A rectangle spanning the int32 range: W = 2^32, P1.x = 2^31.
    TrecGradation G;
    G.iRepeatCount = 1;
    G.iX1 = 8192;
    G.iX2 = 16384;
    const TGradationRenderer R(-2147483647 - 1, 0, 2147483647, 99, G);
    EXPECT_EQ(R.Index(0, 5), 0);
    EXPECT_EQ(R.Index(int64_t{1} << 30, 5), 512);
    EXPECT_EQ(R.Index(int64_t{1} << 31, 5), 1023);
    // The rectangle shape's Trunc(q) with q near 2^62 (|vy| = 0: k is tiny).
    const TrecGradation F = Geometry(4, 64, 64, 96, 64);
    EXPECT_EQ(IndexAt(F, 80, 64), 512);
    EXPECT_EQ(IndexAt(F, 127, 127), 1023);
    EXPECT_EQ(IndexAt(F, -2000000000, 2000000000), 1023);
}

TEST(GradationRenderer, RowsMatchThePlainRuleOnRandomGradations)
{
    std::mt19937 Rng(105);
    for (int Case = 0; Case < 300; ++Case) {
        const TrecGradation G = RandomGradation(Rng);
        const int32_t L = std::uniform_int_distribution<int>(-50, 50)(Rng);
        const int32_t T = std::uniform_int_distribution<int>(-50, 50)(Rng);
        const int32_t W = std::uniform_int_distribution<int>(1, 90)(Rng);
        const int32_t H = std::uniform_int_distribution<int>(1, 90)(Rng);
        const TGradationRenderer R(L, T, L + W - 1, T + H - 1, G);
        std::vector<uint8_t> Color(60 * 3), Alpha(60);
        for (int32_t Y = -5; Y < 60; Y += 4) {
            R.RenderRow(-3, Y, 60, Color.data(), Alpha.data());
            for (int32_t J = 0; J < 60; ++J) {
                const int32_t I = RefIndex(G, L, T, L + W - 1, T + H - 1, J - 3, Y);
                ASSERT_EQ(R.Index(J - 3, Y), I) << Case << " shape " << int(G.bShape);
                ASSERT_EQ(Color[J * 3 + 0], R.Blue[I]);
                ASSERT_EQ(Color[J * 3 + 1], R.Green[I]);
                ASSERT_EQ(Color[J * 3 + 2], R.Red[I]);
                ASSERT_EQ(Alpha[J], R.Alpha[I]);
            }
        }
    }
}

// ---------------------------------------------------------------------------

TEST(RecPictureRenderGradation, PicturesTakeTheTablesTopRowFirst)
{
    // Vertical, black to red: row y has t = y / 128.
    TrecGradation G = Geometry(0, 0, 0, 0, 128);
    G.ColStops = {{0, 0x000000}, {1023, 0x0000FF}};
    G.TransStops = {{0, 255}, {1023, 0}};
    TDIBPicture C, A;
    RecPictureRenderGradation(TRect{0, 0, 127, 127}, 128, 100, C.FrecPicture, A.FrecPicture, G);
    const BITMAPINFOHEADER* HC = RecPictureHeader(C.FrecPicture);
    const BITMAPINFOHEADER* HA = RecPictureHeader(A.FrecPicture);
    EXPECT_EQ(HC->biBitCount, 24);
    EXPECT_EQ(HA->biBitCount, 8);
    EXPECT_EQ(HC->biWidth, 128);
    EXPECT_EQ(HC->biHeight, 100);
    EXPECT_NE(C.FrecPicture.hDIBSection, nullptr);
    EXPECT_EQ(C.FrecPicture.iLeft, 0);
    EXPECT_EQ(C.FrecPicture.iTop, 0);
    // y = 0: index 0; y = 64: 512 -> red 127; y = 99: 792 -> red 197, opacity 255 - 197.
    EXPECT_EQ(RecPictureGetPixelPtr(C.FrecPicture, 10, 0)[2], 0);
    EXPECT_EQ(*RecPictureGetPixelPtr(A.FrecPicture, 10, 0), 255);
    EXPECT_EQ(RecPictureGetPixelPtr(C.FrecPicture, 10, 64)[2], 127);
    EXPECT_EQ(RecPictureGetPixelPtr(C.FrecPicture, 10, 99)[2], 197);
    EXPECT_EQ(RecPictureGetPixelPtr(C.FrecPicture, 10, 99)[0], 0);
    EXPECT_EQ(*RecPictureGetPixelPtr(A.FrecPicture, 10, 99), 58);
    // The memory row of page row 0 is the last one (bottom-up rows).
    const int64_t Line = RecPictureGetImageSize(C.FrecPicture) / 100;
    EXPECT_EQ(C.FrecPicture.pBits[99 * Line + 2], 0);
    EXPECT_EQ(C.FrecPicture.pBits[0 * Line + 2], 197);
}

// ---------------------------------------------------------------------------

TEST(MakeGradation, FullOpacityThroughAMaskReachesTheColour)
{
    // Formerly the weight peaked at (255^3 + 255) shr 8 = 64771 of 65025: white over black gave 254.
    TrecGradation G;
    G.iOpacity = 255;
    G.ColStops = {{0, 0xFFFFFF}};
    TPic D(0, 0, 64, 64, 24, 0), M(0, 0, 64, 64, 8, 255);
    MakeGradation(RectPath(8, 8, 40, 40), D.P, &M.P, G, 1.0, true);
    EXPECT_EQ(D.At(20, 20)[0], 255);
    EXPECT_EQ(D.At(20, 20)[1], 255);
    EXPECT_EQ(D.At(20, 20)[2], 255);
    EXPECT_EQ(D.At(50, 20)[0], 0); // outside the path
    // Black over white at full weight gives 0.
    G.ColStops = {{0, 0x000000}};
    TPic W(0, 0, 64, 64, 24, 255);
    MakeGradation(RectPath(8, 8, 40, 40), W.P, &M.P, G, 1.0, true);
    EXPECT_EQ(W.At(20, 20)[1], 0);
}

TEST(MakeGradation, MaskedWeightStaysWithinOneLevelOfTheFormerRule)
{
    // One column per mask value; overall opacity g and a fixed colour.
    for (int32_t Gv : {255, 200, 77}) {
        for (int Dir = 0; Dir < 2; ++Dir) {
            const int C = Dir ? 0 : 255, D0 = Dir ? 255 : 0;
            TrecGradation G;
            G.iOpacity = Gv;
            G.ColStops = {{0, C * 0x010101}};
            TPic D(0, 0, 256, 1, 24, D0), M(0, 0, 256, 1, 8);
            for (int X = 0; X < 256; ++X)
                *M.At(X, 0) = uint8_t(X);
            MakeGradation(RectPath(0, 0, 256, 1), D.P, &M.P, G, 1.0, false);
            for (int X = 0; X < 256; ++X) {
                const int64_t WOld = (int64_t{X} * 255 * Gv + 255) >> 8;
                const int64_t Old = (D0 * (65025 - WOld) + C * WOld) / 65025;
                const int New = D.At(X, 0)[1];
                if (X == 0) {
                    ASSERT_EQ(New, D0);
                } else {
                    ASSERT_LE(std::abs(New - Old), 1) << X << " g " << Gv;
                }
            }
            if (Gv == 255) {
                EXPECT_EQ(D.At(255, 0)[1], C);
            }
        }
    }
    // m = 128, a = 255, g = 200, white over black: w = 25600, 255 x 25600 div 65025 = 100.
    TrecGradation G;
    G.iOpacity = 200;
    G.ColStops = {{0, 0xFFFFFF}};
    TPic D(0, 0, 4, 4, 24), M(0, 0, 4, 4, 8, 128);
    MakeGradation(RectPath(0, 0, 4, 4), D.P, &M.P, G, 1.0, false);
    EXPECT_EQ(D.At(1, 1)[0], 100);
}

TEST(MakeGradation, WithoutMaskByHand)
{
    // g = 128, a = 255: w = (32640 + 255) shr 8 = 128; grey 200 over 0: (200 x 128 + 255) shr 8 = 100.
    TrecGradation G;
    G.iOpacity = 128;
    G.ColStops = {{0, 0xC8C8C8}};
    TPic D(0, 0, 8, 8, 24);
    MakeGradation(RectPath(0, 0, 8, 8), D.P, nullptr, G, 1.0, true);
    EXPECT_EQ(D.At(3, 3)[0], 100);
    // g = 255: the colour itself, (200 x 255 + 255) shr 8 = 200.
    G.iOpacity = 255;
    TPic E(0, 0, 8, 8, 24, 255);
    MakeGradation(RectPath(0, 0, 8, 8), E.P, nullptr, G, 1.0, true);
    EXPECT_EQ(E.At(3, 3)[2], 200);
    // Opacity 0 in the table leaves the pixel.
    G.TransStops = {{0, 0}};
    TPic F(0, 0, 8, 8, 24, 9);
    MakeGradation(RectPath(0, 0, 8, 8), F.P, nullptr, G, 1.0, true);
    EXPECT_EQ(F.At(3, 3)[0], 9);
}

TEST(MakeGradation, PathCoverageDecidesButDoesNotWeight)
{
    TrecGradation G;
    G.iOpacity = 255;
    G.ColStops = {{0, 0x0000FF}};
    const TrecPath Tri = TPathMaker().M(0, 0).L(40, 0).L(0, 30).Close().Done(1);
    TPic D(0, 0, 48, 48, 24), Cover(0, 0, 48, 48, 8);
    MakeGradation(Tri, D.P, nullptr, G, 1.0, true);
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
}

TEST(MakeGradation, UnflaggedPathIsStrokedNotFilled)
{
    TrecGradation G;
    G.iOpacity = 255;
    G.ColStops = {{0, 0xFFFFFF}};
    TPic D(0, 0, 64, 64, 24);
    MakeGradation(RectPath(10, 10, 50, 50, 0), D.P, nullptr, G, 1.0, true);
    EXPECT_EQ(D.At(30, 30)[0], 0);
    EXPECT_EQ(D.At(10, 30)[0], 255);
    EXPECT_EQ(D.At(30, 49)[0], 255);
}

TEST(MakeGradation, ClippedAreaEqualsWholeBoundsRendering)
{
    std::mt19937 Rng(3105);
    int Painted = 0;
    for (int Case = 0; Case < 120; ++Case) {
        const TrecGradation G = RandomGradation(Rng);
        // Paths of up to 300 pixels around a 64 x 48 picture at (100, 80).
        const int32_t PX = -50 + int32_t(Rng() % 100), PY = -70 + int32_t(Rng() % 100);
        const TrecPath Path = RandomPath(Rng, PX, PY, 300);
        const bool UseMask = Case % 2;
        const bool AA = Case % 3 != 0;
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
    EXPECT_GT(Painted, 80);
}

TEST(MakeGradation, HugeBoundsRenderOnlyTheVisiblePart)
{
    // Bounds -2147483647 .. 2147483647: W = 2^32 - 1 and P1.x = W. Page x = 0 is output
    // 2147483647 (t just below 0.5, index 511), page x = 1 is just above (index 512).
    TrecGradation G;
    G.iOpacity = 255;
    G.iRepeatCount = 1;
    G.iX2 = 16384;
    G.ColStops = {{511, 0x000000}, {512, 0xFFFFFF}};
    const TrecPath Path = RectPath(-2147483647, -10, 2147483647, 100);
    TPic D(-8, 0, 16, 8, 24, 0x40);
    MakeGradation(Path, D.P, nullptr, G, 1.0, true);
    for (int X = -8; X <= 0; ++X)
        EXPECT_EQ(D.At(X, 3)[0], 0) << X;
    for (int X = 1; X < 8; ++X)
        EXPECT_EQ(D.At(X, 3)[0], 255) << X;
}

TEST(MakeGradation, RefusesOtherDepthsAndOutsidePaths)
{
    TrecGradation G;
    G.iOpacity = 255;
    TPic D8(0, 0, 8, 8, 8), D24(0, 0, 8, 8, 24, 5), M24(0, 0, 8, 8, 24);
    EXPECT_THROW(MakeGradation(RectPath(0, 0, 8, 8), D8.P, nullptr, G, 1.0, true), EUserError);
    EXPECT_THROW(MakeGradation(RectPath(0, 0, 8, 8), D24.P, &M24.P, G, 1.0, true), EUserError);
    // A path the stroker refuses (a path flagged 0 is stroked).
    TPathMaker Bad;
    Bad.L(0, 0).L(5, 5);
    const TrecPath BadPath = Bad.Done(0);
    try {
        MakeGradation(BadPath, D24.P, nullptr, G, 1.0, true);
        ADD_FAILURE() << "no exception";
    } catch (const EUserError& E) {
        EXPECT_STREQ(E.what(), "uGradation/MakeGradation : DIBSectionDrawPath Failed");
    }
    // Bounds outside the picture, or an empty path: nothing happens.
    MakeGradation(RectPath(20, 20, 30, 30), D24.P, nullptr, G, 1.0, true);
    TrecPath Empty;
    MakeGradation(Empty, D24.P, nullptr, G, 1.0, true);
    EXPECT_EQ(D24.Bytes(), std::vector<uint8_t>(size_t(RecPictureGetImageSize(D24.P)), 5));
}

// ---------------------------------------------------------------------------

namespace {

const TrecDrawPathStop RedToBlue[] = {{0, 0x0000FF, 1.0}, {100, 0xFF0000, 1.0}};

TrecPath Diagonal()
{
    return TPathMaker().M(10, 12).L(50, 40).L(20, 55).Done(0);
}

// The steps drawn one by one: widths W, W - 2, ... with the table's colours.
std::vector<uint8_t> StepsByHand(int32_t Width, int32_t Steps, int32_t Entries,
                                 const TrecDrawPathStop* Stops, int32_t StopCount)
{
    TPic P(0, 0, 64, 64, 24);
    std::vector<int32_t> Table(static_cast<size_t>(Entries));
    MakeDrawPathColorTable(Stops, StopCount, Table.data(), Entries);
    for (int32_t I = 0; I < Steps; ++I) {
        if (I > 0 && Table[size_t(I)] == Table[size_t(I - 1)])
            continue;
        TrecPenData Pen = PenOf(Width - 2 * I);
        SetPenDataColor(Pen, uint32_t(Table[size_t(I)]));
        EXPECT_EQ(DIBSectionDrawPath(P.P, Diagonal(), Pen, true, 1.0, true), 0);
    }
    return P.Bytes();
}

} // namespace

TEST(RecPictureDrawPathGradation, StepsNarrowTheirPensAlongTheTable)
{
    // Width 6: three steps (6, 4, 2), over 3 entries with the table flag, else 4.
    for (bool Flag : {true, false}) {
        TPic P(0, 0, 64, 64, 24);
        EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(6), RedToBlue, 2, 1.0, true,
                                              nullptr, Flag),
                  0);
        EXPECT_EQ(P.Bytes(), StepsByHand(6, 3, Flag ? 3 : 4, RedToBlue, 2)) << Flag;
    }
    TPic A(0, 0, 64, 64, 24), B(0, 0, 64, 64, 24);
    RecPictureDrawPathGradation(A.P, Diagonal(), PenOf(6), RedToBlue, 2, 1.0, true, nullptr, true);
    RecPictureDrawPathGradation(B.P, Diagonal(), PenOf(6), RedToBlue, 2, 1.0, true, nullptr, false);
    EXPECT_NE(A.Bytes(), B.Bytes());
    // Width 7 gives four steps (7, 5, 3, 1).
    TPic C(0, 0, 64, 64, 24);
    RecPictureDrawPathGradation(C.P, Diagonal(), PenOf(7), RedToBlue, 2, 1.0, true, nullptr, true);
    EXPECT_EQ(C.Bytes(), StepsByHand(7, 4, 4, RedToBlue, 2));
}

TEST(RecPictureDrawPathGradation, RepeatedColoursAreDrawnOnce)
{
    const TrecDrawPathStop Same[] = {{0, 0x0000FF, 1.0}, {100, 0x0000FF, 1.0}};
    TPic P(0, 0, 64, 64, 24);
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(6), Same, 2, 1.0, true, nullptr, true), 0);
    EXPECT_EQ(P.Bytes(), StepsByHand(6, 1, 3, Same, 2));
}

TEST(RecPictureDrawPathGradation, NarrowPensStrokeOnceInTheFirstColour)
{
    for (int32_t Width : {1, 2}) {
        TPic P(0, 0, 64, 64, 24), Ref(0, 0, 64, 64, 24);
        bool Cancel = false;
        int Polls = 0;
        EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(Width), RedToBlue, 2, 1.0, true,
                                              &Cancel, true, [&](bool&) { ++Polls; }),
                  0);
        TrecPenData Pen = PenOf(Width);
        SetPenDataColor(Pen, 0x0000FF);
        ASSERT_EQ(DIBSectionDrawPath(Ref.P, Diagonal(), Pen, true, 1.0, true), 0);
        EXPECT_EQ(P.Bytes(), Ref.Bytes());
        EXPECT_EQ(Polls, 0);
    }
}

TEST(RecPictureDrawPathGradation, CancelStopsBeforeTheNextStep)
{
    // The poll sets the flag at its third call: steps 0 and 1 stay drawn.
    TPic P(0, 0, 64, 64, 24);
    bool Cancel = false;
    int Polls = 0;
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(10), RedToBlue, 2, 1.0, true, &Cancel,
                                          true, [&](bool& C) { C = ++Polls == 3; }),
              0);
    EXPECT_EQ(Polls, 3);
    EXPECT_TRUE(Cancel);
    EXPECT_EQ(P.Bytes(), StepsByHand(10, 2, 5, RedToBlue, 2));

    // A flag already set: nothing is drawn, even for a pen far too wide for any table.
    TPic Q(0, 0, 64, 64, 24);
    EXPECT_EQ(RecPictureDrawPathGradation(Q.P, Diagonal(), PenOf(2147483647), RedToBlue, 2, 1.0, true,
                                          &Cancel, false),
              0);
    EXPECT_EQ(Q.Bytes(), std::vector<uint8_t>(size_t(RecPictureGetImageSize(Q.P)), 0));

    // Without a flag the poll is never called and every step is drawn.
    TPic R(0, 0, 64, 64, 24);
    Polls = 0;
    RecPictureDrawPathGradation(R.P, Diagonal(), PenOf(10), RedToBlue, 2, 1.0, true, nullptr, true,
                                [&](bool&) { ++Polls; });
    EXPECT_EQ(Polls, 0);
    EXPECT_EQ(R.Bytes(), StepsByHand(10, 5, 5, RedToBlue, 2));
}

TEST(RecPictureDrawPathGradation, FailuresGiveNine)
{
    TPic P16(0, 0, 16, 16, 16);
    EXPECT_EQ(RecPictureDrawPathGradation(P16.P, Diagonal(), PenOf(6), RedToBlue, 2, 1.0, true,
                                          nullptr, true),
              9);
    TPic P(0, 0, 64, 64, 24);
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(6), RedToBlue, 0, 1.0, true,
                                          nullptr, true),
              9);
    // A stroke that fails ends the steps with 9.
    TPathMaker Bad;
    Bad.L(0, 0).L(5, 5);
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, Bad.Done(0), PenOf(6), RedToBlue, 2, 1.0, true, nullptr,
                                          true),
              9);
    // A throwing poll is caught too.
    bool Cancel = false;
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, Diagonal(), PenOf(6), RedToBlue, 2, 1.0, true, &Cancel,
                                          true, [](bool&) { throw EUserError("stop"); }),
              9);
    // Empty bounds: 0 before anything is read.
    TrecPath Empty;
    EXPECT_EQ(RecPictureDrawPathGradation(P16.P, Empty, PenOf(6), nullptr, 0, 1.0, true, nullptr, true), 0);
}

TEST(RecPictureDrawPathGradation, EightBitPlanesTakeTheRedByte)
{
    const TrecDrawPathStop Grey[] = {{0, 0x000010, 1.0}, {10, 0x0000F0, 1.0}};
    TPic P(0, 0, 64, 64, 8);
    EXPECT_EQ(RecPictureDrawPathGradation(P.P, RectPath(10, 10, 50, 50, 0), PenOf(8, 0x2200), Grey, 2,
                                          1.0, false, nullptr, true),
              0);
    // Aliased pens of widths 8, 6, 4, 2 about x = 10 cover columns 6..13, 7..12, 8..11
    // and 9..10; entries at x = 0, 3, 7, 10: 16, 83 (16 + 224 x 0.3), 173, 240.
    EXPECT_EQ(*P.At(6, 30), 16);
    EXPECT_EQ(*P.At(7, 30), 83);
    EXPECT_EQ(*P.At(8, 30), 173);
    EXPECT_EQ(*P.At(10, 30), 240);
    EXPECT_EQ(*P.At(13, 30), 16);
    EXPECT_EQ(*P.At(30, 30), 0);
}
