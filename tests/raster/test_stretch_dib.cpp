#include "raster/stretch_dib.h"

#include "bmp_conv_test_util.h"
#include "platform/dib.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

// A DIB in plain memory: header and bottom-up rows padded to 4 bytes.
struct TTestDib {
    BITMAPINFOHEADER H{};
    std::vector<uint8_t> Bits;
    int32_t Bpp = 0;
    int64_t Line = 0;

    TTestDib(int32_t W, int32_t Ht, int32_t BitCount, uint8_t Fill = 0)
        : H{40, W, Ht, 1, uint16_t(BitCount), 0, 0, 0, 0, 0, 0}, Bpp(BitCount / 8), Line(GetDIBLineSize(W, BitCount))
    {
        Bits.assign(size_t(Line * Ht), Fill);
    }
    int32_t W() const { return H.biWidth; }
    int32_t Ht() const { return H.biHeight; }
    uint8_t& At(int32_t X, int32_t Y, int32_t C = 0)
    {
        return Bits[static_cast<size_t>((H.biHeight - 1 - Y) * Line + X * Bpp + C)];
    }
    void Randomize(std::mt19937& Rng)
    {
        for (auto& B : Bits)
            B = static_cast<uint8_t>(Rng());
    }
};

void Stretch(TTestDib& S, int32_t XS, int32_t YS, int32_t WS, int32_t HS, TTestDib& D, int32_t XD,
             int32_t YD, int32_t WD, int32_t HD, uint8_t Expand, uint8_t Reduce, uint8_t Tile,
             TTestDib* Mask = nullptr)
{
    StretchDIB(&S.H, S.Bits.data(), XS, YS, WS, HS, &D.H, D.Bits.data(), XD, YD, WD, HD,
               Mask ? &Mask->H : nullptr, Mask ? Mask->Bits.data() : nullptr, Expand, Reduce, Tile);
}

void ExpectUserError(const std::function<void()>& F, const std::string& Msg) { EXPECT_EQ(BmpMessageOf(F), Msg); }

// ---------------------------------------------------------------- plain reference
// The methods written out pixel by pixel, straight from their definitions,
// for the whole of S into the whole of D (same depth, no clipping).

int32_t Aligned(int32_t I, int32_t SrcExt, int32_t DstExt)
{
    return DstExt == 1 ? 0 : int32_t(int64_t{I} * (SrcExt - 1) / (DstExt - 1));
}

void RefAreaAxis(const std::vector<int32_t>& In, int32_t SrcExt, int32_t DstExt,
                 std::vector<int32_t>& Out)
{
    Out.clear();
    int64_t P = 0, Acc = 0;
    for (int32_t S = 0; S < SrcExt; ++S) {
        if (P + DstExt < SrcExt) {
            Acc += int64_t{In[S]} * DstExt;
            P += DstExt;
        } else {
            Acc += int64_t{In[S]} * (SrcExt - P);
            Out.push_back(int32_t((Acc + SrcExt / 2) / SrcExt));
            P = P + DstExt - SrcExt;
            Acc = int64_t{In[S]} * P;
        }
    }
}

// Two passes, rows then columns; each value is Combine of its weighted taps.
using TTaps = std::vector<std::pair<int32_t, int64_t>>;
void RefSeparable(TTestDib& S, TTestDib& D, const std::function<TTaps(int32_t, int32_t, int32_t)>& Taps,
                  int32_t (*Combine)(int64_t))
{
    const int32_t WS = S.W(), HS = S.Ht(), WD = D.W(), HD = D.Ht();
    for (int32_t C = 0; C < S.Bpp; ++C) {
        std::vector<std::vector<int32_t>> Row(HS, std::vector<int32_t>(WD));
        for (int32_t Y = 0; Y < HS; ++Y)
            for (int32_t I = 0; I < WD; ++I) {
                int64_t V = 0;
                for (auto [K, W] : Taps(I, WS, WD))
                    V += W * S.At(K, Y, C);
                Row[Y][I] = Combine(V);
            }
        for (int32_t J = 0; J < HD; ++J) {
            const TTaps T = Taps(J, HS, HD);
            for (int32_t I = 0; I < WD; ++I) {
                int64_t V = 0;
                for (auto [K, W] : T)
                    V += W * Row[K][I];
                D.At(I, J, C) = uint8_t(Combine(V));
            }
        }
    }
}

void RefReference(TTestDib& S, TTestDib& D, uint8_t Expand, uint8_t Reduce, bool Tile)
{
    const int32_t WS = S.W(), HS = S.Ht(), WD = D.W(), HD = D.Ht(), B = S.Bpp;
    if (WD <= WS && HD <= HS && WS % WD == 0 && HS % HD == 0) {
        const int32_t FX = WS / WD, FY = HS / HD;
        for (int32_t J = 0; J < HD; ++J)
            for (int32_t I = 0; I < WD; ++I)
                for (int32_t C = 0; C < B; ++C) {
                    if (Reduce != 1) {
                        D.At(I, J, C) = S.At(I * FX, J * FY, C);
                        continue;
                    }
                    int64_t Sum = 0;
                    for (int32_t Y = 0; Y < FY; ++Y)
                        for (int32_t X = 0; X < FX; ++X)
                            Sum += S.At(I * FX + X, J * FY + Y, C);
                    D.At(I, J, C) = uint8_t(Sum / (FX * FY));
                }
    } else if (WD <= WS && HD <= HS && Reduce == 1) {
        for (int32_t C = 0; C < B; ++C) {
            std::vector<std::vector<int32_t>> Mid(HS);
            for (int32_t Y = 0; Y < HS; ++Y) {
                std::vector<int32_t> In(WS);
                for (int32_t X = 0; X < WS; ++X)
                    In[X] = S.At(X, Y, C);
                RefAreaAxis(In, WS, WD, Mid[Y]);
            }
            for (int32_t X = 0; X < WD; ++X) {
                std::vector<int32_t> In(HS), Out;
                for (int32_t Y = 0; Y < HS; ++Y)
                    In[Y] = Mid[Y][X];
                RefAreaAxis(In, HS, HD, Out);
                for (int32_t Y = 0; Y < HD; ++Y)
                    D.At(X, Y, C) = uint8_t(Out[Y]);
            }
        }
    } else if ((WD <= WS && HD <= HS) || Expand == 0) {
        const bool Whole = WD % WS == 0 && HD % HS == 0 && WD >= WS;
        for (int32_t J = 0; J < HD; ++J)
            for (int32_t I = 0; I < WD; ++I)
                for (int32_t C = 0; C < B; ++C)
                    D.At(I, J, C) = Whole ? S.At(I / (WD / WS), J / (HD / HS), C)
                                          : S.At(Aligned(I, WS, WD), Aligned(J, HS, HD), C);
    } else if (Expand == 1 || WS < 4 || HS < 4) {
        // Linear: two taps, weights in 1/1024, the second wrapping with the tile flag.
        RefSeparable(S, D, [&](int32_t I, int32_t SE, int32_t DE) {
            const int64_t N = Tile ? SE : SE - 1, M = Tile ? DE : DE - 1;
            const int32_t Idx = M ? int32_t(I * N / M) : 0, W = M ? int32_t((I * N) % M * 1024 / M) : 0;
            return TTaps{{Idx, 1024 - W}, {(Idx + 1) % SE, W}};
        }, [](int64_t V) { return int32_t(V >> 10); });
    } else {
        // Cubic: positions, Lagrange weights, taps wrapped with the tile flag.
        RefSeparable(S, D, [&](int32_t I, int32_t SE, int32_t DE) {
            int32_t Start;
            double T;
            const double X = Tile ? double(I) * SE / DE : double(I) * (SE - 1) / (DE - 1), F = X - std::trunc(X);
            const int32_t K = int32_t(std::trunc(X));
            if (Tile)
                Start = K - 1, T = F + 1;
            else if (K == 0)
                Start = 0, T = F;
            else if (K >= SE - 2)
                Start = SE - 4, T = K == SE - 1 ? 3 : F + 2;
            else
                Start = K - 1, T = F + 1;
            const double W[4] = {(T - 1) * (T - 2) * (T - 3) / -6, T * (T - 2) * (T - 3) / 2,
                                 T * (T - 1) * (T - 3) / -2, T * (T - 1) * (T - 2) / 6};
            TTaps Taps;
            for (int J = 0; J < 4; ++J)
                Taps.emplace_back(((Start + J) % SE + SE) % SE, int64_t(std::round(W[J] * 2048)));
            return Taps;
        }, [](int64_t V) { return int32_t(std::clamp<int64_t>((V + 1024) / 2048, 0, 255)); }); // division truncates
    }
}

} // namespace

TEST(StretchDIB, MatchesPlainReferenceBitForBit)
{
    std::mt19937 Rng(7);
    const int32_t Cases[][4] = {{8, 8, 4, 4},  {12, 9, 5, 4}, {7, 11, 3, 5}, {13, 7, 13, 3},  {5, 5, 7, 9},
                                {4, 4, 12, 8}, {6, 5, 17, 11}, {3, 7, 10, 15}, {10, 10, 23, 31}, {4, 6, 4, 13},
                                {1, 3, 1, 10}, {3, 1, 10, 1}, {5, 5, 5, 5},  {50, 40, 7, 3},   {31, 5, 30, 4}};
    for (int32_t Bits : {8, 24})
        for (const auto& K : Cases)
            for (int Mode = 0; Mode < 12; ++Mode) {
                const uint8_t Expand = uint8_t(Mode / 4), Reduce = uint8_t(Mode / 2 % 2), Tile = uint8_t(Mode % 2);
                TTestDib S(K[0], K[1], Bits), D(K[2], K[3], Bits), R(K[2], K[3], Bits);
                S.Randomize(Rng);
                Stretch(S, 0, 0, K[0], K[1], D, 0, 0, K[2], K[3], Expand, Reduce, Tile);
                RefReference(S, R, Expand, Reduce, Tile != 0);
                ASSERT_EQ(D.Bits, R.Bits) << Bits << " bits " << K[0] << "x" << K[1] << " -> " << K[2] << "x" << K[3]
                                          << " expand " << int(Expand) << " reduce " << int(Reduce) << " tile "
                                          << int(Tile);
            }
}

TEST(StretchDIB, WorkedExamples)
{
    // 4 x 4 -> 2 x 2: block mean truncated, or the block's top-left pixel.
    TTestDib S(4, 4, 8);
    const uint8_t V[16] = {0, 0, 10, 20, 0, 1, 30, 40, 5, 6, 200, 201, 7, 9, 202, 203};
    for (int I = 0; I < 16; ++I)
        S.At(I % 4, I / 4) = V[I];
    TTestDib A(2, 2, 8), N(2, 2, 8);
    Stretch(S, 0, 0, 4, 4, A, 0, 0, 2, 2, 0, 1, 0);
    Stretch(S, 0, 0, 4, 4, N, 0, 0, 2, 2, 0, 0, 0);
    // (0 + 0 + 0 + 1) div 4, 100 div 4, 27 div 4, 806 div 4; bottom row first in memory.
    EXPECT_EQ(A.Bits, (std::vector<uint8_t>{6, 201, 0, 0, 0, 25, 0, 0}));
    EXPECT_EQ(N.Bits, (std::vector<uint8_t>{5, 200, 0, 0, 0, 10, 0, 0}));
    // Three pixels a, b, c to two by area: (2a + b + 1) div 3, (b + 2c + 1) div 3.
    TTestDib T(3, 1, 24), U(2, 1, 24);
    const uint8_t Abc[9] = {10, 0, 255, 20, 1, 254, 31, 2, 0};
    std::copy(Abc, Abc + 9, T.Bits.begin());
    Stretch(T, 0, 0, 3, 1, U, 0, 0, 2, 1, 0, 1, 0);
    EXPECT_EQ(U.Bits, (std::vector<uint8_t>{13, 0, 255, 27, 2, 85, 0, 0}));
    TTestDib Q(2, 2, 8);
    for (int I = 0; I < 4; ++I)
        Q.At(I % 2, I / 2) = uint8_t(I + 1);
    // Whole factor: 3 x 3 blocks; 2 -> 5: end-point-aligned sampling, i x 1 div 4.
    TTestDib R(6, 6, 8), P(5, 5, 8);
    Stretch(Q, 0, 0, 2, 2, R, 0, 0, 6, 6, 0, 0, 0);
    Stretch(Q, 0, 0, 2, 2, P, 0, 0, 5, 5, 0, 0, 0);
    for (int I = 0; I < 36; ++I)
        EXPECT_EQ(R.At(I % 6, I / 6), 1 + I % 6 / 3 + 2 * (I / 18)) << I;
    for (int I = 0; I < 25; ++I)
        EXPECT_EQ(P.At(I % 5, I / 5), 1 + (I % 5 == 4) + 2 * (I / 5 == 4)) << I;
    // Linear weights: 2 -> 5 without tile, column 1 is 3/4 of pixel 0 and 1/4 of pixel 1;
    // tiled 2 -> 4 blends the last pixel with the first.
    TTestDib S2(2, 1, 8), L(5, 1, 8), W(4, 1, 8);
    S2.At(0, 0) = 100;
    S2.At(1, 0) = 200;
    Stretch(S2, 0, 0, 2, 1, L, 0, 0, 5, 1, 1, 0, 0);
    EXPECT_EQ(L.Bits, (std::vector<uint8_t>{100, (100 * 768 + 200 * 256) >> 10, 150, 175, 200, 0, 0, 0}));
    Stretch(S2, 0, 0, 2, 1, W, 0, 0, 4, 1, 1, 0, 1);
    EXPECT_EQ(W.Bits, (std::vector<uint8_t>{100, 150, 200, 150}));
}

TEST(StretchDIB, CubicWeightsAndSteps)
{
    EXPECT_EQ(StretchCubicWeights(0), (std::array<int32_t, 4>{2048, 0, 0, 0}));
    EXPECT_EQ(StretchCubicWeights(3), (std::array<int32_t, 4>{0, 0, 0, 2048}));
    // t = 1.5: -1/16, 9/16, 9/16, -1/16; t = 0.5: 5/16, 15/16, -5/16, 1/16.
    EXPECT_EQ(StretchCubicWeights(1.5), (std::array<int32_t, 4>{-128, 1152, 1152, -128}));
    EXPECT_EQ(StretchCubicWeights(0.5), (std::array<int32_t, 4>{640, 1920, -640, 128}));
    // 10 -> 19 without tile: x = i / 2; k = 0 starts at 0, k = wS - 2 and the last
    // pixel start at wS - 4; tiled, taps start left of the row.
    const struct {
        int32_t I, DE;
        bool Tile;
        int32_t Start;
        double T;
    } Steps[] = {{0, 19, false, 0, 0}, {1, 19, false, 0, 0.5}, {9, 19, false, 3, 1.5},
                 {17, 19, false, 6, 2.5}, {18, 19, false, 6, 3}, {0, 20, true, -1, 1}};
    for (const auto& C : Steps) {
        int32_t Start;
        double T;
        StretchCubicStep(C.I, 10, C.DE, C.Tile, Start, T);
        EXPECT_EQ(std::pair(Start, T), std::pair(C.Start, C.T)) << C.I;
    }
    int32_t Index, Weight;
    StretchLinearStep(3, 2, 4, true, Index, Weight); // x = 1.5
    EXPECT_EQ(std::pair(Index, Weight), std::pair(1, 512));
    StretchLinearStep(1, 2, 5, false, Index, Weight);
    EXPECT_EQ(std::pair(Index, Weight), std::pair(0, 256));
}

TEST(StretchDIB, ExtentOfOneDoesNotDivideByZero)
{
    // 1 x 2 -> 1 x 5 samples (the width is 1 on both sides).
    TTestDib S(1, 2, 8), D(1, 5, 8, 77);
    S.At(0, 0) = 10;
    S.At(0, 1) = 20;
    Stretch(S, 0, 0, 1, 2, D, 0, 0, 1, 5, 0, 0, 0);
    for (int Y = 0; Y < 5; ++Y)
        EXPECT_EQ(D.At(0, Y), Y == 4 ? 20 : 10) << Y;
    // Linear and cubic modes on 1 x N and N x 1: 3 x 2 / 9 = 0.667 is (100 x 682) shr 10.
    for (uint8_t Expand : {1, 2}) {
        TTestDib V(1, 3, 8), W(1, 10, 8), H(3, 1, 8), K(10, 1, 8);
        for (int I = 0; I < 3; ++I)
            V.At(0, I) = H.At(I, 0) = uint8_t(100 * I);
        Stretch(V, 0, 0, 1, 3, W, 0, 0, 1, 10, Expand, 0, 0);
        Stretch(H, 0, 0, 3, 1, K, 0, 0, 10, 1, Expand, 0, 0);
        EXPECT_EQ(std::vector<int>({W.At(0, 0), W.At(0, 3), W.At(0, 9), K.At(0, 0), K.At(3, 0), K.At(9, 0)}),
                  std::vector<int>({0, 66, 200, 0, 66, 200}));
    }
}

TEST(StretchDIB, SubRectanglesClippingAndConstantPictures)
{
    std::mt19937 Rng(5);
    for (int32_t Bits : {8, 24}) { // identity copies exactly and touches nothing else
        TTestDib S(7, 5, Bits), D(9, 8, Bits, 0xAB);
        S.Randomize(Rng);
        Stretch(S, 1, 1, 5, 3, D, 2, 3, 5, 3, 2, 1, 1);
        for (int Y = 0; Y < 8; ++Y)
            for (int X = 0; X < 9; ++X)
                for (int C = 0; C < S.Bpp; ++C) {
                    const bool In = X >= 2 && X < 7 && Y >= 3 && Y < 6;
                    EXPECT_EQ(D.At(X, Y, C), In ? S.At(X - 1, Y - 2, C) : 0xAB);
                }
    }
    // Destination 4..11 of an 8-wide picture: 4 columns cut, the source loses 4 x 4 div 8 = 2;
    // a negative source left: the destination loses its share from the left.
    TTestDib S(4, 1, 8), D(8, 1, 8, 5), E(8, 1, 8, 5), F(8, 1, 8, 5);
    for (int X = 0; X < 4; ++X)
        S.At(X, 0) = uint8_t(10 * (X + 1));
    Stretch(S, 0, 0, 4, 1, D, 4, 0, 8, 1, 0, 0, 0);
    Stretch(S, -2, 0, 4, 1, E, 0, 0, 8, 1, 0, 0, 0);
    EXPECT_EQ(D.Bits, (std::vector<uint8_t>{5, 5, 5, 5, 10, 10, 20, 20}));
    EXPECT_EQ(E.Bits, D.Bits);
    Stretch(S, 0, 0, 4, 1, F, 8, 0, 4, 1, 0, 0, 0); // fully outside: nothing drawn, no error
    Stretch(S, 0, 0, 4, 1, F, -20, 0, 4, 1, 0, 0, 0);
    EXPECT_EQ(F.Bits, std::vector<uint8_t>(8, 5));
    for (const auto& Z : {std::array<int32_t, 4>{41, 29, 13, 7}, {9, 9, 1, 1}})
        for (uint8_t Reduce : {0, 1}) {
            TTestDib C(Z[0], Z[1], 24), R(Z[2], Z[3], 24);
            for (int Y = 0; Y < Z[1]; ++Y)
                for (int X = 0; X < Z[0]; ++X)
                    std::copy_n("\x11\xFE\x83", 3, &C.At(X, Y));
            Stretch(C, 0, 0, Z[0], Z[1], R, 0, 0, Z[2], Z[3], 0, Reduce, 0);
            for (int Y = 0; Y < Z[3]; ++Y)
                for (int X = 0; X < Z[2]; ++X)
                    ASSERT_EQ(std::string(reinterpret_cast<char*>(&R.At(X, Y)), 3), "\x11\xFE\x83");
        }
}

TEST(StretchDIB, MaskBlendsAndMixedScalingIgnoresIt)
{
    std::mt19937 Rng(9);
    TTestDib S(6, 4, 24), One(6, 4, 8, 255), Zero(6, 4, 8, 0), Half(6, 4, 8, 128);
    S.Randomize(Rng);
    TTestDib D(6, 4, 24, 9), E(6, 4, 24, 9), F(9, 7, 24, 9), G(6, 4, 24, 9);
    Stretch(S, 0, 0, 6, 4, D, 0, 0, 6, 4, 0, 0, 0, &One); // all 255: the plain copy
    for (int Y = 0; Y < 4; ++Y)
        EXPECT_EQ(std::memcmp(&D.At(0, Y), &S.At(0, Y), 18), 0);
    Stretch(S, 0, 0, 6, 4, E, 0, 0, 6, 4, 0, 0, 0, &Zero); // all 0: unchanged, also through general sampling
    Stretch(S, 0, 0, 6, 4, F, 0, 0, 9, 7, 0, 0, 0, &Zero);
    EXPECT_EQ(E.Bits, std::vector<uint8_t>(E.Bits.size(), 9));
    EXPECT_EQ(F.Bits, std::vector<uint8_t>(F.Bits.size(), 9));
    Stretch(S, 0, 0, 6, 4, G, 0, 0, 6, 4, 0, 0, 0, &Half); // (s x 128 + d x 127 + 255) shr 8
    EXPECT_EQ(G.At(2, 1, 1), (S.At(2, 1, 1) * 128 + 9 * 127 + 255) >> 8);
    // Height first (3 -> 7 linear), then width (8 -> 4 averaging), through a
    // temporary picture; the mask plays no part.
    TTestDib M(8, 3, 24), Z(8, 3, 8, 0), A(4, 7, 24, 1), B(4, 7, 24, 2), T(8, 7, 24), R(4, 7, 24);
    M.Randomize(Rng);
    const size_t Sections = DIBSectionCount();
    Stretch(M, 0, 0, 8, 3, A, 0, 0, 4, 7, 1, 1, 0, &Z);
    Stretch(M, 0, 0, 8, 3, B, 0, 0, 4, 7, 1, 1, 0);
    EXPECT_EQ(DIBSectionCount(), Sections);
    EXPECT_EQ(A.Bits, B.Bits);
    Stretch(M, 0, 0, 8, 3, T, 0, 0, 8, 7, 1, 1, 0);
    Stretch(T, 0, 0, 8, 7, R, 0, 0, 4, 7, 1, 1, 0);
    EXPECT_EQ(A.Bits, R.Bits);
}

TEST(StretchDIB, RefusesBadParameters)
{
    TTestDib S(4, 4, 24), D(4, 4, 24, 3), S8(4, 4, 8), S16(4, 4, 16), D16(4, 4, 16);
    ExpectUserError([&] { Stretch(S16, 0, 0, 4, 4, D16, 0, 0, 2, 2, 0, 0, 0); }, "StretchDIB: Illegal biBitCount");
    ExpectUserError([&] { Stretch(S8, 0, 0, 4, 4, D, 0, 0, 2, 2, 0, 0, 0); }, "StretchDIB: Illegal biBitCount");
    ExpectUserError([&] { Stretch(S, 0, 0, 0, 4, D, 0, 0, 2, 2, 0, 0, 0); }, "StretchDIB: Illegal (iWSrc, iHSrc)");
    Stretch(S, 0, 0, 0, 4, D, 0, 0, 0, 2, 0, 0, 0); // a zero destination ends silently
    ExpectUserError(
        [&] { StretchDIB(&S.H, S.Bits.data(), 0, 0, 4, 4, &D.H, nullptr, 0, 0, 2, 2, nullptr, nullptr, 0, 0, 0); },
        "StretchDIB: Illegal (pbTopLeftSrc or pbTopLeftDst)");
    ExpectUserError([&] { SubStretchDIBReduceN_NoIP(S.Bits.data(), 12, D.Bits.data(), 12, 1, 1, 0, 1, 3); },
                    "SubStretchDIBReduceN_NoIP");
    ExpectUserError([&] { SubStretchDIBExpandN_NoIP(S.Bits.data(), 12, D.Bits.data(), 12, 1, 1, 1, 0, 3); },
                    "SubStretchDIBExpandN_NoIP");
    // Masks of the wrong depth or size are refused before any pixel changes.
    TTestDib M24(4, 4, 24, 255), MSmall(3, 4, 8, 255), MLow(4, 3, 8, 255);
    ExpectUserError([&] { Stretch(S, 0, 0, 4, 4, D, 0, 0, 4, 4, 0, 0, 0, &M24); },
                    "StretchDIB: Illegal Mask biBitCount");
    ExpectUserError([&] { Stretch(S, 0, 0, 3, 4, D, 0, 0, 3, 4, 0, 0, 0, &MSmall); }, "StretchDIB: Illegal Mask Size");
    ExpectUserError([&] { Stretch(S, 0, 0, 4, 3, D, 0, 0, 4, 3, 0, 0, 0, &MLow); }, "StretchDIB: Illegal Mask Size");
    ExpectUserError(
        [&] {
            StretchDIB(&S.H, S.Bits.data(), 0, 0, 4, 4, &D.H, D.Bits.data(), 0, 0, 4, 4, &MLow.H, nullptr, 0, 0, 0);
        },
        "StretchDIB: Illegal Mask (pBIHMask or pbBitsMask = nil)");
    EXPECT_EQ(D.Bits, std::vector<uint8_t>(D.Bits.size(), 3));
}
