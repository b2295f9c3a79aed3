#include "raster/neighbour_filters.h"

#include "bmp_conv_test_util.h"
#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "platform/global_memory.h"
#include "raster/bmp_conv.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

using TGrid = std::vector<std::vector<int>>; // rows, top first

// H rows, each a copy of Row.
TGrid Rows(int H, const std::vector<int>& Row) { return TGrid(size_t(H), Row); }
TGrid Flat(int W, int H, int V) { return Rows(H, std::vector<int>(size_t(W), V)); }

// A picture record that frees itself; pixels start at 0.
struct TPic {
    TrecPicture P;
    int32_t W, H, B;
    TPic(int32_t Width, int32_t Height, int32_t Bits, int32_t Left = 0, int32_t Top = 0)
        : W(Width), H(Height), B(Bits / 8)
    {
        RecPictureCreate(P, TPoint{Left, Top}, W, H, Bits, false);
        std::memset(P.pBits, 0, size_t(GetDIBLineSize(W, Bits) * H));
    }
    ~TPic() { RecPictureClear(P); }
    uint8_t* At(int32_t X, int32_t Y) const
    {
        return P.pBits + (int64_t{H} - 1 - Y) * GetDIBLineSize(W, B * 8) + int64_t{X} * B;
    }
    void Set(const TGrid& G, int32_t Ch = 0)
    {
        for (int32_t Y = 0; Y < H; ++Y)
            for (int32_t X = 0; X < W; ++X)
                At(X, Y)[Ch] = static_cast<uint8_t>(G[size_t(Y)][size_t(X)]);
    }
    TGrid Get(int32_t Ch = 0) const
    {
        TGrid G = Flat(W, H, 0);
        for (int32_t Y = 0; Y < H; ++Y)
            for (int32_t X = 0; X < W; ++X)
                G[size_t(Y)][size_t(X)] = At(X, Y)[Ch];
        return G;
    }
};

struct TKernel {
    HGLOBAL H = nullptr;
    explicit TKernel(const std::vector<int32_t>& K)
    {
        H = GlobalAlloc(GPTR, K.size() * sizeof(int32_t));
        std::memcpy(H, K.data(), K.size() * sizeof(int32_t));
    }
    ~TKernel() { GlobalFree(H); }
};

struct TRun {
    int32_t Min = -1, Max = -1;
};

TRun Buf(uint8_t Type, TPic& Pic, const TPic* Mask = nullptr, int32_t Size = 3, HGLOBAL Kernel = nullptr,
         int32_t Divisor = 1, int32_t Bias = 0, int32_t Param = 0, bool Measure = false, bool Wrap = false)
{
    TRun R;
    BMPBufFilter(Type, Pic.P.pBIHeader, Pic.P.pBits, Mask ? Mask->P.pBits : nullptr, Size, Kernel, Divisor,
                 Bias, Param, &R.Min, &R.Max, Measure, Wrap);
    return R;
}

int Blend(int W, int New, int Old) { return (W * New + (255 - W) * Old + 255) >> 8; }

// Pixel (X, Y) channel C with the edge rule.
int At(const TPic& P, int32_t X, int32_t Y, int32_t C, bool Wrap)
{
    X = Wrap ? ((X % P.W) + P.W) % P.W : std::clamp(X, 0, P.W - 1);
    Y = Wrap ? ((Y % P.H) + P.H) % P.H : std::clamp(Y, 0, P.H - 1);
    return P.At(X, Y)[C];
}

void FillRandom(TPic& P, uint32_t Seed)
{
    RandomSeed = Seed;
    for (int32_t Y = 0; Y < P.H; ++Y)
        for (int32_t X = 0; X < P.W * P.B; ++X)
            P.At(0, Y)[X] = uint8_t(RandomInt(256));
}

void Glass(TPic& Dest, const TPic& Source, const TPic* Mask, bool Wrap, const TPic& Bump, int32_t Depth)
{
    BMPAllBufFilter(0, Dest.P, Source.P, Mask ? &Mask->P : nullptr, Wrap, Bump.P, Depth);
}

void SetBump(TPic& Bump, const TGrid& G)
{
    for (int32_t Y = 0; Y < Bump.H; ++Y)
        for (int32_t X = 0; X < Bump.W; ++X) {
            Bump.At(X, Y)[0] = uint8_t(G[size_t(Y)][size_t(X)] & 255);
            Bump.At(X, Y)[1] = uint8_t(G[size_t(Y)][size_t(X)] >> 8);
        }
}

} // namespace

TEST(NeighbourFilters, ConvolutionRounding)
{
    // Centre 9 (or 8) with eight zero neighbours, divisor 9: every clamped
    // window holds it once. Only unmasked 24-bit pixels round.
    TKernel Ones({1, 1, 1, 1, 1, 1, 1, 1, 1});
    TPic C(3, 3, 24), G(3, 3, 8), G8(3, 3, 8);
    C.At(1, 1)[0] = G.At(1, 1)[0] = 9;
    C.At(1, 1)[1] = G8.At(1, 1)[0] = 8;
    for (TPic* P : {&C, &G, &G8})
        Buf(0, *P, nullptr, 3, Ones.H, 9);
    EXPECT_EQ(C.Get(0), Flat(3, 3, 1)); // (9 + 4) div 9
    EXPECT_EQ(C.Get(1), Flat(3, 3, 1)); // (8 + 4) div 9
    EXPECT_EQ(C.Get(2), Flat(3, 3, 0));
    EXPECT_EQ(G.Get(), Flat(3, 3, 1));  // 9 div 9
    EXPECT_EQ(G8.Get(), Flat(3, 3, 0)); // 8 div 9
    // Weight -1, divisor 4, bias 10: quotients truncate toward zero.
    TKernel Neg({0, 0, 0, 0, -1, 0, 0, 0, 0});
    TPic P24(4, 1, 24), P8(4, 1, 8);
    P24.Set({{6, 7, 9, 2}});
    P8.Set({{6, 7, 9, 2}});
    Buf(0, P24, nullptr, 3, Neg.H, 4, 10);
    Buf(0, P8, nullptr, 3, Neg.H, 4, 10);
    EXPECT_EQ(P24.Get(), TGrid({{9, 9, 9, 10}})); // (-6+2)/4, (-7+2)/4, (-9+2)/4, (-2+2)/4
    EXPECT_EQ(P8.Get(), TGrid({{9, 9, 8, 10}}));  // -6/4, -7/4, -9/4, -2/4
    // 24-bit with a mask: 6 div 4 = 1 (no rounding), weighted.
    TKernel Centre({0, 0, 0, 0, 1, 0, 0, 0, 0});
    TPic P(3, 1, 24), M(3, 1, 8);
    P.Set({{6, 6, 6}});
    M.Set({{0, 128, 255}});
    Buf(0, P, &M, 3, Centre.H, 4);
    EXPECT_EQ(P.Get(), TGrid({{6, 4, 1}})); // (128 + 127 x 6 + 255) shr 8 = 4
    // 24-bit measuring rounds like the unmasked write, (6 + 2) div 4 = 2; all three channels count.
    TPic Q(1, 1, 24);
    Q.At(0, 0)[0] = Q.At(0, 0)[2] = 6;
    Q.At(0, 0)[1] = 40;
    const TRun S = Buf(0, Q, nullptr, 3, Centre.H, 4, 0, 0, true);
    EXPECT_EQ((std::vector<int>{S.Min, S.Max, Q.At(0, 0)[1]}), (std::vector<int>{2, 10, 40}));
}

TEST(NeighbourFilters, DiffuseTakesTheDrawnNeighbour)
{
    // Pixel by pixel from the top, one RandomInt(9) each, also where the mask
    // is 0; modes: 0 any neighbour, 1 only darker, 2 only lighter, 3 none.
    const int32_t W = 4, H = 3;
    TPic M(W, H, 8), Zero(W, H, 8);
    M.Set({{0, 255, 100, 0}, {255, 0, 1, 200}, {0, 0, 255, 77}});
    for (int32_t Mode = 0; Mode <= 3; ++Mode)
        for (int Kind = 0; Kind < 4; ++Kind) { // clamped, wrapped, masked, zero mask
            const bool Wrap = Kind == 1;
            const TPic* Mask = Kind == 2 ? &M : Kind == 3 ? &Zero : nullptr;
            TPic Orig(W, H, 24), P(W, H, 24);
            for (TPic* Q : {&Orig, &P})
                for (int32_t Y = 0; Y < H; ++Y)
                    for (int32_t X = 0; X < W; ++X) {
                        Q->At(X, Y)[0] = uint8_t(10 * X + 50 * Y + 5);
                        Q->At(X, Y)[1] = uint8_t(200 - 13 * X - 40 * Y);
                        Q->At(X, Y)[2] = uint8_t((37 * X + 71 * Y) % 256);
                    }
            RandomSeed = 4242;
            std::vector<int32_t> J;
            for (int32_t I = 0; I < W * H; ++I)
                J.push_back(RandomInt(9));
            const uint32_t After = RandomSeed;
            RandomSeed = 4242;
            Buf(1, P, Mask, 3, nullptr, 1, 0, Mode, false, Wrap);
            EXPECT_EQ(RandomSeed, After);
            for (int32_t Y = 0; Y < H; ++Y)
                for (int32_t X = 0; X < W; ++X) {
                    const int32_t K = J[size_t(Y * W + X)], Wt = Mask ? Mask->At(X, Y)[0] : 255;
                    for (int32_t C = 0; C < 3; ++C) {
                        const int Old = Orig.At(X, Y)[C], New = At(Orig, X + K % 3 - 1, Y + K / 3 - 1, C, Wrap);
                        int Want = Old;
                        if (Mode == 0 || (Mode == 1 && New < Old) || (Mode == 2 && New > Old))
                            Want = New;
                        if (Mask)
                            Want = Wt == 0 ? Old : Blend(Wt, Want, Old);
                        EXPECT_EQ(P.At(X, Y)[C], Want) << Mode << " " << Kind << " " << X << "," << Y << "," << C;
                    }
                }
        }
}

TEST(NeighbourFilters, AntiJpegNoise)
{
    // One row: a dip is averaged; its right neighbour is tested against the
    // unfiltered dip (80, not 89) and stays. Differences of 49 still smooth, 50 not.
    TPic A(5, 1, 8), B(3, 1, 8), C(3, 1, 8);
    A.Set({{100, 80, 85, 95, 95}});
    B.Set({{100, 51, 100}});
    C.Set({{100, 50, 100}});
    for (TPic* P : {&A, &B, &C})
        Buf(2, *P);
    EXPECT_EQ(A.Get(), TGrid({{100, 89, 85, 95, 95}}));
    EXPECT_EQ(B.Get(), TGrid({{100, 84, 100}})); // (100 + 51 + 100 + 2) div 3
    EXPECT_EQ(C.Get(), TGrid({{100, 50, 100}}));
    // Steps at the 8-pixel block border (positions 7 and 8), across and down.
    TPic D(10, 1, 8), E(1, 10, 8);
    D.Set({{10, 10, 10, 10, 10, 10, 10, 10, 30, 31}});
    E.Set({{10}, {10}, {10}, {10}, {10}, {10}, {10}, {10}, {30}, {31}});
    Buf(2, D);
    Buf(2, E);
    EXPECT_EQ(D.Get(), TGrid({{10, 10, 10, 10, 10, 10, 10, 17, 24, 31}}));
    EXPECT_EQ(E.Get(), TGrid({{10}, {10}, {10}, {10}, {10}, {10}, {10}, {17}, {24}, {31}}));
    // Both directions: a dark pixel in a flat 24-bit area takes the five-point mean.
    TPic F(5, 5, 24), M(5, 5, 8);
    F.Set(Flat(5, 5, 100), 0);
    F.Set(Flat(5, 5, 60), 1);
    F.At(2, 2)[0] = 80;
    Buf(2, F);
    TGrid Want = Flat(5, 5, 100);
    Want[2][2] = 96; // (4 x 100 + 80 + 2) div 5
    EXPECT_EQ(F.Get(0), Want);
    EXPECT_EQ(F.Get(1), Flat(5, 5, 60));
    EXPECT_EQ(BmpMessageOf([&] { Buf(2, F, &M); }), "SubAntiJpegNoise: Mask Not Supported");
}

TEST(NeighbourFilters, OilPaintStrokes)
{
    // Seed 182 draws (rx, ry) = (1, 0), (0, 0), (1, 1).
    RandomSeed = 182;
    for (const auto& D : {std::pair{2, 1}, {4, 0}, {2, 0}, {4, 0}, {2, 1}, {4, 1}})
        EXPECT_EQ(RandomInt(D.first), D.second);
    const uint32_t After = RandomSeed;
    TPic P(6, 4, 8);
    P.Set({{1, 2, 3, 4, 5, 6}, {11, 12, 13, 14, 15, 16}, {21, 22, 23, 24, 25, 26}, {31, 32, 33, 34, 35, 36}});
    RandomSeed = 182;
    Buf(3, P);
    EXPECT_EQ(RandomSeed, After); // three attempts: the third samples outside
    // Stroke 1 at X 1 takes (3, 3) = 34 and paints (4, 3); stroke 2 at X 2
    // samples (4, 3), already painted.
    EXPECT_EQ(P.Get(), TGrid({{1, 2, 34, 34, 5, 6}, {11, 34, 34, 34, 15, 16}, {21, 34, 34, 34, 34, 26},
                              {31, 34, 34, 34, 34, 34}}));
    // Too narrow or too low: nothing painted.
    TPic N(2, 8, 24), L(8, 3, 24);
    N.Set(Flat(2, 8, 7), 1);
    N.At(1, 5)[1] = 200;
    L.Set(Flat(8, 3, 7), 1);
    L.At(3, 2)[1] = 200;
    RandomSeed = 5;
    Buf(3, N);
    Buf(3, L);
    EXPECT_EQ((std::vector<int>{N.At(1, 5)[1], N.At(1, 4)[1], L.At(3, 2)[1], L.At(2, 1)[1]}),
              (std::vector<int>{200, 7, 200, 7}));
}

TEST(NeighbourFilters, Sobel)
{
    // gx: 4 x (60 - 10) = 200 at the centre; clamped left edge 4 x (20 - 10);
    // wrapped left edge 4 x (20 - 60).
    TPic A(3, 3, 8), B(3, 3, 8), C(3, 3, 24), D(3, 3, 24), M(3, 3, 8);
    for (TPic* P : {&A, &B})
        P->Set(Rows(3, {10, 20, 60}));
    Buf(4, A);
    Buf(4, B, nullptr, 3, nullptr, 1, 0, 0, false, true);
    EXPECT_EQ(A.Get(), Rows(3, {235, 155, 175}));
    EXPECT_EQ(B.Get(), Rows(3, {175, 155, 235}));
    // gy = 4 x 255 next to the bright row: 255 - 510 < 0 gives 0. Wrapped,
    // the bright row sits between two dark ones and the top row sees it above.
    for (TPic* P : {&C, &D}) {
        P->Set({{0, 0, 0}, {0, 0, 0}, {255, 255, 255}}, 2);
        P->Set(Flat(3, 3, 33), 0);
    }
    Buf(4, C);
    Buf(4, D, nullptr, 3, nullptr, 1, 0, 0, false, true);
    EXPECT_EQ(C.Get(2), TGrid({{255, 255, 255}, {0, 0, 0}, {0, 0, 0}}));
    EXPECT_EQ(D.Get(2), TGrid({{0, 0, 0}, {0, 0, 0}, {255, 255, 255}}));
    EXPECT_EQ(C.Get(0), Flat(3, 3, 255)); // flat becomes white
    EXPECT_EQ(BmpMessageOf([&] { Buf(4, C, &M); }), "SubSobel: Mask Not Supported");
}

TEST(NeighbourFilters, FacetsPickTheCalmestSubWindow)
{
    // Sub-windows (0, 0) and (2, 2) have the same spread 648 (eight equal
    // values and one 9 apart), means 1 and 8; all others are far wider.
    TGrid G = {{0, 0, 0, 200, 200}, {0, 0, 0, 200, 200}, {0, 0, 9, 9, 9}, {200, 200, 9, 9, 9}, {200, 200, 9, 9, 0}};
    TPic A(5, 5, 24), B(5, 5, 8), M(5, 5, 8);
    A.Set(G, 1);
    A.Set(Flat(5, 5, 70), 0);
    Buf(5, A);
    EXPECT_EQ(A.At(2, 2)[1], 1); // the earlier of two equal spreads
    EXPECT_EQ(A.Get(0), Flat(5, 5, 70));
    G[4][4] = 9; // (2, 2) becomes flat: spread 0
    B.Set(G);
    Buf(5, B);
    EXPECT_EQ(B.At(2, 2)[0], 9);
    EXPECT_EQ(BmpMessageOf([&] { Buf(5, B, &M); }), "SubPixelateMen: Mask Not Supported");
}

TEST(NeighbourFilters, ThresholdSmoothing)
{
    TPic A(3, 3, 24), B(3, 3, 24);
    for (TPic* P : {&A, &B}) {
        for (int32_t C = 0; C < 3; ++C)
            P->Set({{0, 100, 0}, {100, 100, 100}, {0, 100, 0}}, C);
        P->At(1, 0)[0] = 104;
        P->At(0, 1)[1] = 96;
        P->At(2, 1)[2] = 103;
        P->At(1, 2)[0] = 98;
    }
    Buf(7, A, nullptr, 3, nullptr, 1, 0, 4);
    Buf(7, B, nullptr, 3, nullptr, 1, 0, 3);
    // Within 4 in every channel: the five-point mean per channel.
    // (100 + 104 + 100 + 100 + 98 + 2) div 5, (4 x 100 + 96 + 2) div 5, (4 x 100 + 103 + 2) div 5.
    EXPECT_EQ((std::vector<int>{A.At(1, 1)[0], A.At(1, 1)[1], A.At(1, 1)[2]}), (std::vector<int>{100, 99, 101}));
    EXPECT_EQ(A.At(1, 0)[0], 104); // the edge pixels touch a black corner
    for (int32_t C = 0; C < 3; ++C)
        EXPECT_EQ(B.At(1, 1)[C], 100); // the blue 104 is 4 away: the pixel stays
    // One channel on 8 bits; neighbours are read unfiltered.
    TPic C(3, 1, 8), D(3, 1, 8), M(3, 1, 8);
    C.Set({{10, 14, 15}});
    D.Set({{10, 14, 15}});
    Buf(7, C, nullptr, 3, nullptr, 1, 0, 4);
    Buf(7, D, nullptr, 3, nullptr, 1, 0, 4, false, true);
    EXPECT_EQ(C.Get(), TGrid({{11, 13, 15}}));
    EXPECT_EQ(D.Get(), TGrid({{10, 13, 15}})); // wrapped: 10 and 15 are 5 apart
    EXPECT_EQ(BmpMessageOf([&] { Buf(7, C, &M); }), "SubThresholdSmooth: Mask Not Supported");
}

TEST(NeighbourFilters, ConvolutionAndFacetsMatchPlainLoops)
{
    // 700 pixels of 3 bytes: rows longer than the convolution's chunks.
    std::vector<int32_t> K(25, 0);
    RandomSeed = 7;
    for (int32_t& V : K)
        V = RandomInt(3) == 0 ? 0 : RandomInt(41) - 20;
    TKernel Kernel(K);
    for (bool Wrap : {false, true})
        for (bool Masked : {false, true}) {
            TPic Orig(700, 4, 24), P(700, 4, 24), M(700, 4, 8);
            FillRandom(Orig, 11);
            FillRandom(P, 11);
            FillRandom(M, 12);
            Buf(0, P, Masked ? &M : nullptr, 5, Kernel.H, 7, 3, 0, false, Wrap);
            int Bad = 0;
            for (int32_t Y = 0; Y < 4; ++Y)
                for (int32_t X = 0; X < 700; ++X)
                    for (int32_t C = 0; C < 3; ++C) {
                        int64_t S = 0;
                        for (int32_t I = 0; I < 25; ++I)
                            S += int64_t{K[size_t(I)]} * At(Orig, X + I % 5 - 2, Y + I / 5 - 2, C, Wrap);
                        const int New = int(std::clamp<int64_t>((Masked ? S / 7 : (S + 3) / 7) + 3, 0, 255));
                        const int Old = Orig.At(X, Y)[C], W = M.At(X, Y)[0];
                        Bad += P.At(X, Y)[C] != (!Masked ? New : (W == 0 ? Old : Blend(W, New, Old)));
                    }
            EXPECT_EQ(Bad, 0) << Wrap << Masked;
        }
    for (bool Wrap : {false, true}) {
        TPic Orig(9, 7, 24), P(9, 7, 24);
        FillRandom(Orig, 21);
        FillRandom(P, 21);
        Buf(5, P, nullptr, 5, nullptr, 1, 0, 0, false, Wrap);
        int Bad = 0;
        for (int32_t Y = 0; Y < 7; ++Y)
            for (int32_t X = 0; X < 9; ++X)
                for (int32_t C = 0; C < 3; ++C) {
                    int64_t Best = -1, Mean = 0;
                    for (int32_t RY = 0; RY < 3; ++RY)
                        for (int32_t CX = 0; CX < 3; ++CX) {
                            int64_t S = 0, Q = 0;
                            for (int32_t I = 0; I < 9; ++I) {
                                const int V = At(Orig, X - 2 + CX + I % 3, Y - 2 + RY + I / 3, C, Wrap);
                                S += V;
                                Q += V * V;
                            }
                            if (Best < 0 || 9 * Q - S * S < Best) {
                                Best = 9 * Q - S * S;
                                Mean = (S + 4) / 9;
                            }
                        }
                    Bad += P.At(X, Y)[C] != Mean;
                }
        EXPECT_EQ(Bad, 0) << Wrap;
    }
}

TEST(NeighbourFilters, UnsharpRow)
{
    // Blue, green, red per pixel.
    uint8_t Row[9] = {100, 100, 100, 100, 100, 130, 50, 50, 50};
    const uint8_t Below[9] = {100, 100, 100, 100, 100, 100, 100, 100, 100};
    const int32_t Blurred[9] = {90, 103, 100, 100, 100, -200, 0, 0, 0};
    uint8_t Cur[3] = {0, 0, 0}, Next[3] = {0, 0, 0};
    SubUnsharp(Row, Below, Blurred, 3, (50 * 256 + 50) / 100, 20, Cur, Next); // amount 128
    // Pixel 0: red 30 from its right neighbour: (100 - 90) x 128 / 256 = 5,
    // (100 - 103) x 128 / 256 = -1.5 toward zero. Pixel 1: flagged, red
    // 130 + 165 clamps. Pixel 2 is in the last column and stays.
    EXPECT_EQ(std::vector<uint8_t>(Row, Row + 9), (std::vector<uint8_t>{105, 99, 100, 100, 100, 255, 50, 50, 50}));
    EXPECT_EQ(std::vector<uint8_t>(Next, Next + 3), (std::vector<uint8_t>{0, 1, 0}));
    EXPECT_EQ(Cur[1] + Cur[2], 2);
    // A flag from the row above selects a pixel with no edge of its own; the last row stays.
    uint8_t Flat6[6] = {100, 100, 100, 100, 100, 100}, Last[6] = {100, 100, 100, 100, 100, 100};
    const int32_t Blur2[6] = {90, 90, 90, 90, 90, 90};
    uint8_t Cur2[2] = {1, 0}, Next2[2] = {0, 0};
    SubUnsharp(Flat6, Below, Blur2, 2, 256, 20, Cur2, Next2);
    EXPECT_EQ(std::vector<uint8_t>(Flat6, Flat6 + 6), (std::vector<uint8_t>{110, 110, 110, 100, 100, 100}));
    SubUnsharp(Last, nullptr, Blur2, 2, 256, 0, Cur2, Next2);
    EXPECT_EQ(std::vector<uint8_t>(Last, Last + 6), std::vector<uint8_t>(6, 100));
}

TEST(NeighbourFilters, GlassRefraction)
{
    // Source points along x: -0.2685, 1.188, 2.1969, 3.2059, 3.6777 at depth
    // 10; huge depths send them billions of pixels away (about 2e11 at 100000,
    // 2e24 at 2e9): clamped to the edges (the neighbour of a clamped column 0
    // is column 1), wrapped exactly.
    const TGrid Row = Rows(3, {10, 50, 90, 130, 170});
    TPic Bump(5, 3, 16);
    SetBump(Bump, Rows(3, {20000, 21000, 22000, 23000, 24000}));
    struct TCase {
        int32_t Depth;
        bool Wrap;
        std::vector<int> Want;
    };
    const TCase Cases[] = {
        {10, false, {39, 58, 98, 138, 157}},
        {10, true, {53, 58, 98, 138, 157}},
        {100000, false, {44, 170, 170, 170, 19}},
        {100000, true, {84, 91, 74, 159, 99}},
        {2000000000, false, {10, 170, 170, 170, 10}},
        {2000000000, true, {90, 10, 90, 130, 170}},
        {-2000000000, false, {170, 10, 10, 10, 170}},
    };
    for (const TCase& C : Cases) {
        TPic D(5, 3, 8), S(5, 3, 8);
        D.Set(Row);
        S.Set(Row);
        Glass(D, S, nullptr, C.Wrap, Bump, C.Depth);
        EXPECT_EQ(D.Get(), Rows(3, C.Want)) << C.Depth << " " << C.Wrap;
    }
    // A flat bump leaves the picture as it is.
    TPic Flat2(2, 2, 16), D(5, 3, 24), S(5, 3, 24);
    SetBump(Flat2, Flat(2, 2, 40000));
    D.Set(Row, 1);
    S.Set(Row, 1);
    Glass(D, S, nullptr, true, Flat2, 300);
    EXPECT_EQ(D.Get(1), Row);
}

TEST(NeighbourFilters, GlassPicturesOfOtherSizesAndPlaces)
{
    // 24-bit picture at (10, 20); the bump (one column, tiled from (0, 0))
    // bends only vertically: source rows 19.3197, 20.4629, 23.2169.
    TPic D(3, 3, 24, 10, 20), S(3, 3, 24, 10, 20), Bump(1, 3, 16), M(2, 2, 8, 11, 21);
    for (TPic* P : {&D, &S}) {
        P->Set(Rows(3, {20, 80, 140}), 0);
        P->Set({{30, 30, 30}, {80, 80, 80}, {130, 130, 130}}, 1);
        P->Set(Flat(3, 3, 77), 2);
    }
    SetBump(Bump, {{30000}, {34000}, {38000}});
    M.Set({{255, 128}, {0, 255}});
    Glass(D, S, &M, true, Bump, 10);
    // Unmasked results would be green 98, 53, 41 by rows; only the overlap
    // is touched, 128 blends (128 x 53 + 127 x 80 + 255) shr 8 = 67.
    EXPECT_EQ(D.Get(1), TGrid({{30, 30, 30}, {80, 53, 67}, {130, 130, 41}}));
    EXPECT_EQ(D.Get(0), Rows(3, {20, 80, 140}));
    EXPECT_EQ(D.Get(2), Flat(3, 3, 77));
    // A mask that misses the picture: nothing happens.
    TPic Far(2, 2, 8, 100, 100), E(3, 3, 24, 10, 20);
    Far.Set(Flat(2, 2, 255));
    E.Set({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, 1);
    Glass(E, S, &Far, true, Bump, 10);
    EXPECT_EQ(E.Get(1), TGrid({{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}));
    // Flat bump: each pixel reads the source at its own page position,
    // clamped or wrapped to the 2 x 2 source at (1, 1).
    TPic Flat1(1, 1, 16), Src(2, 2, 8, 1, 1), A(4, 3, 8), B(4, 3, 8);
    SetBump(Flat1, {{5000}});
    Src.Set({{11, 22}, {33, 44}});
    Glass(A, Src, nullptr, false, Flat1, 50);
    Glass(B, Src, nullptr, true, Flat1, 50);
    EXPECT_EQ(A.Get(), TGrid({{11, 11, 22, 22}, {11, 11, 22, 22}, {33, 33, 44, 44}}));
    EXPECT_EQ(B.Get(), TGrid({{44, 33, 44, 33}, {22, 11, 22, 11}, {44, 33, 44, 33}}));
}

TEST(NeighbourFilters, GlassRefusesBadPictures)
{
    TPic D(3, 2, 8), S(3, 2, 8), Bump(2, 2, 16), S24(3, 2, 24), Bump8(2, 2, 8), M24(3, 2, 24), D32(3, 2, 32);
    TPic Slope(3, 1, 16);
    D.Set({{1, 2, 3}, {4, 5, 6}});
    SetBump(Slope, {{0, 30000, 60000}});
    const TrecPicture Empty;
    auto Msg = [&](const TrecPicture& Dst, const TrecPicture& Src, const TrecPicture* Msk, const TrecPicture& Bmp) {
        return BmpMessageOf<EUserParamError>([&] { BMPAllBufFilter(0, Dst, Src, Msk, 0, Bmp, 100); });
    };
    EXPECT_EQ(Msg(D32.P, S.P, nullptr, Bump.P), "BMPAllBufFilter: Illegal Param");
    EXPECT_EQ(Msg(D.P, S24.P, nullptr, Slope.P), "BMPAllBufFilter: Illegal Source Picture");
    EXPECT_EQ(Msg(D.P, Empty, nullptr, Slope.P), "BMPAllBufFilter: Illegal Source Picture");
    EXPECT_EQ(Msg(D.P, S.P, nullptr, Bump8.P), "BMPAllBufFilter: Illegal Bump Picture");
    EXPECT_EQ(Msg(D.P, S.P, nullptr, Empty), "BMPAllBufFilter: Illegal Bump Picture");
    EXPECT_EQ(Msg(D.P, S.P, &M24.P, Slope.P), "BMPAllBufFilter: Illegal Mask Picture");
    EXPECT_EQ(D.Get(), TGrid({{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(BmpMessageOf([&] { BMPAllBufFilter(1, D.P, S.P, nullptr, 0, Slope.P, 10); }),
              "BMPAllBufFilter: Invalid AllBufFilterType ");
}
