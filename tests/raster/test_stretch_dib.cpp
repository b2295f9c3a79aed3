#include "raster/stretch_dib.h"

#include "foundation/user_error.h"
#include "platform/dib.h"

#include <gtest/gtest.h>

#include <cmath>
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
    {
        H.biSize = 40;
        H.biWidth = W;
        H.biHeight = Ht;
        H.biPlanes = 1;
        H.biBitCount = static_cast<uint16_t>(BitCount);
        Bpp = BitCount / 8;
        Line = (int64_t{W} * BitCount + 31) / 32 * 4;
        H.biSizeImage = static_cast<uint32_t>(Line * Ht);
        Bits.assign(static_cast<size_t>(Line * Ht), Fill);
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

void ExpectUserError(const std::function<void()>& F, const std::string& Msg)
{
    try {
        F();
        ADD_FAILURE() << "no exception, expected " << Msg;
    } catch (const EUserError& E) {
        EXPECT_EQ(E.Message(), Msg);
    }
}

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
        auto Step = [&](int32_t I, int32_t SE, int32_t DE, int32_t& Idx, int32_t& W) {
            const int64_t N = Tile ? SE : SE - 1, M = Tile ? DE : DE - 1;
            if (M == 0) {
                Idx = 0;
                W = 0;
                return;
            }
            Idx = int32_t(I * N / M);
            W = int32_t(((I * N) % M) * 1024 / M);
        };
        for (int32_t C = 0; C < B; ++C) {
            std::vector<std::vector<int32_t>> Row(HS, std::vector<int32_t>(WD));
            for (int32_t Y = 0; Y < HS; ++Y)
                for (int32_t I = 0; I < WD; ++I) {
                    int32_t Idx, W;
                    Step(I, WS, WD, Idx, W);
                    Row[Y][I] = (S.At(Idx, Y, C) * (1024 - W) + S.At((Idx + 1) % WS, Y, C) * W) >> 10;
                }
            for (int32_t J = 0; J < HD; ++J) {
                int32_t Idx, W;
                Step(J, HS, HD, Idx, W);
                for (int32_t I = 0; I < WD; ++I)
                    D.At(I, J, C) =
                        uint8_t((Row[Idx][I] * (1024 - W) + Row[(Idx + 1) % HS][I] * W) >> 10);
            }
        }
    } else {
        // Cubic: positions, Lagrange weights, taps wrapped with the tile flag.
        auto Pos = [&](int32_t I, int32_t SE, int32_t DE, int32_t& Start, double& T) {
            if (Tile) {
                const double X = double(I) * SE / DE;
                Start = int32_t(std::trunc(X)) - 1;
                T = X - std::trunc(X) + 1;
                return;
            }
            const double X = double(I) * (SE - 1) / (DE - 1);
            const int32_t K = int32_t(std::trunc(X));
            const double F = X - std::trunc(X);
            if (K == 0) {
                Start = 0;
                T = F;
            } else if (K == SE - 1) {
                Start = SE - 4;
                T = 3;
            } else if (K == SE - 2) {
                Start = SE - 4;
                T = F + 2;
            } else {
                Start = K - 1;
                T = F + 1;
            }
        };
        auto Weights = [](double T, int32_t* W) {
            W[0] = int32_t(std::round((T - 1) * (T - 2) * (T - 3) / -6 * 2048));
            W[1] = int32_t(std::round(T * (T - 2) * (T - 3) / 2 * 2048));
            W[2] = int32_t(std::round(T * (T - 1) * (T - 3) / -2 * 2048));
            W[3] = int32_t(std::round(T * (T - 1) * (T - 2) / 6 * 2048));
        };
        auto Wrap = [](int32_t K, int32_t N) { return ((K % N) + N) % N; };
        auto Clamp = [](int64_t V) { return V < 0 ? 0 : (V > 255 ? 255 : int32_t(V)); };
        auto Div = [](int64_t V) { return V / 2048; }; // truncating toward zero
        for (int32_t C = 0; C < B; ++C) {
            std::vector<std::vector<int32_t>> Row(HS, std::vector<int32_t>(WD));
            for (int32_t Y = 0; Y < HS; ++Y)
                for (int32_t I = 0; I < WD; ++I) {
                    int32_t St, W[4];
                    double T;
                    Pos(I, WS, WD, St, T);
                    Weights(T, W);
                    int64_t V = 1024;
                    for (int K = 0; K < 4; ++K)
                        V += int64_t{W[K]} * S.At(Wrap(St + K, WS), Y, C);
                    Row[Y][I] = Clamp(Div(V));
                }
            for (int32_t J = 0; J < HD; ++J) {
                int32_t St, W[4];
                double T;
                Pos(J, HS, HD, St, T);
                Weights(T, W);
                for (int32_t I = 0; I < WD; ++I) {
                    int64_t V = 1024;
                    for (int K = 0; K < 4; ++K)
                        V += int64_t{W[K]} * Row[Wrap(St + K, HS)][I];
                    D.At(I, J, C) = uint8_t(Clamp(Div(V)));
                }
            }
        }
    }
}

uint8_t Px(TTestDib& D, int32_t X, int32_t Y, int32_t C = 0)
{
    return D.At(X, Y, C);
}

} // namespace

TEST(StretchDIB, MatchesPlainReferenceBitForBit)
{
    std::mt19937 Rng(7);
    struct TCase {
        int32_t WS, HS, WD, HD;
    };
    const TCase Cases[] = {
        {8, 8, 4, 4},   {9, 6, 3, 2},   {12, 9, 5, 4},  {7, 11, 3, 5},  {13, 7, 13, 3},
        {5, 5, 7, 9},   {4, 4, 12, 8},  {6, 5, 17, 11}, {3, 7, 10, 15}, {2, 2, 5, 5},
        {10, 10, 23, 31}, {4, 6, 4, 13}, {1, 3, 1, 10},  {3, 1, 10, 1},  {5, 5, 5, 5},
        {50, 40, 7, 3},  {31, 5, 30, 4},
    };
    for (int32_t Bits : {8, 24})
        for (const TCase& K : Cases)
            for (uint8_t Expand : {0, 1, 2})
                for (uint8_t Reduce : {0, 1})
                    for (uint8_t Tile : {0, 1}) {
                        TTestDib S(K.WS, K.HS, Bits), D(K.WD, K.HD, Bits), R(K.WD, K.HD, Bits);
                        S.Randomize(Rng);
                        Stretch(S, 0, 0, K.WS, K.HS, D, 0, 0, K.WD, K.HD, Expand, Reduce, Tile);
                        RefReference(S, R, Expand, Reduce, Tile != 0);
                        for (int32_t Y = 0; Y < K.HD; ++Y)
                            for (int32_t X = 0; X < K.WD * S.Bpp; ++X)
                                ASSERT_EQ(Px(D, 0, Y, X), Px(R, 0, Y, X))
                                    << Bits << " bits " << K.WS << "x" << K.HS << " -> " << K.WD
                                    << "x" << K.HD << " expand " << int(Expand) << " reduce "
                                    << int(Reduce) << " tile " << int(Tile) << " at " << X << ","
                                    << Y;
                    }
}

TEST(StretchDIB, ReductionsOfTheWorkedExamples)
{
    // 4 x 4 -> 2 x 2: block mean truncated, or the block's top-left pixel.
    TTestDib S(4, 4, 8);
    const uint8_t V[4][4] = {{0, 0, 10, 20}, {0, 1, 30, 40}, {5, 6, 200, 201}, {7, 9, 202, 203}};
    for (int Y = 0; Y < 4; ++Y)
        for (int X = 0; X < 4; ++X)
            S.At(X, Y) = V[Y][X];
    TTestDib A(2, 2, 8), N(2, 2, 8);
    Stretch(S, 0, 0, 4, 4, A, 0, 0, 2, 2, 0, 1, 0);
    Stretch(S, 0, 0, 4, 4, N, 0, 0, 2, 2, 0, 0, 0);
    EXPECT_EQ(Px(A, 0, 0), 0); // (0 + 0 + 0 + 1) div 4
    EXPECT_EQ(Px(A, 1, 0), 25);
    EXPECT_EQ(Px(A, 0, 1), 6);  // 27 div 4
    EXPECT_EQ(Px(A, 1, 1), 201); // 806 div 4
    EXPECT_EQ(Px(N, 0, 0), 0);
    EXPECT_EQ(Px(N, 1, 0), 10);
    EXPECT_EQ(Px(N, 0, 1), 5);
    EXPECT_EQ(Px(N, 1, 1), 200);

    // Three pixels a, b, c to two by area: (2a + b + 1) div 3, (b + 2c + 1) div 3.
    TTestDib T(3, 1, 24), U(2, 1, 24);
    const uint8_t Abc[3][3] = {{10, 0, 255}, {20, 1, 254}, {31, 2, 0}};
    for (int X = 0; X < 3; ++X)
        for (int C = 0; C < 3; ++C)
            T.At(X, 0, C) = Abc[X][C];
    Stretch(T, 0, 0, 3, 1, U, 0, 0, 2, 1, 0, 1, 0);
    for (int C = 0; C < 3; ++C) {
        EXPECT_EQ(Px(U, 0, 0, C), (2 * Abc[0][C] + Abc[1][C] + 1) / 3) << C;
        EXPECT_EQ(Px(U, 1, 0, C), (Abc[1][C] + 2 * Abc[2][C] + 1) / 3) << C;
    }
    EXPECT_EQ(Px(U, 0, 0, 0), 13);
    EXPECT_EQ(Px(U, 1, 0, 2), 85);
}

TEST(StretchDIB, EnlargementsOfTheWorkedExamples)
{
    TTestDib S(2, 2, 8);
    S.At(0, 0) = 1;
    S.At(1, 0) = 2;
    S.At(0, 1) = 3;
    S.At(1, 1) = 4;
    // Whole factor: 3 x 3 blocks.
    TTestDib R(6, 6, 8);
    Stretch(S, 0, 0, 2, 2, R, 0, 0, 6, 6, 0, 0, 0);
    for (int Y = 0; Y < 6; ++Y)
        for (int X = 0; X < 6; ++X)
            EXPECT_EQ(Px(R, X, Y), 1 + X / 3 + 2 * (Y / 3)) << X << "," << Y;
    // 2 -> 5: end-point-aligned sampling, i x 1 div 4: columns 0..3 take pixel 0.
    TTestDib P(5, 5, 8);
    Stretch(S, 0, 0, 2, 2, P, 0, 0, 5, 5, 0, 0, 0);
    for (int Y = 0; Y < 5; ++Y)
        for (int X = 0; X < 5; ++X)
            EXPECT_EQ(Px(P, X, Y), 1 + (X == 4) + 2 * (Y == 4)) << X << "," << Y;
    // Linear weights: 2 -> 5 without tile, column 1 is 3/4 of pixel 0 and 1/4 of pixel 1.
    TTestDib L(5, 2, 8);
    TTestDib S2(2, 2, 8);
    S2.At(0, 0) = S2.At(0, 1) = 100;
    S2.At(1, 0) = S2.At(1, 1) = 200;
    Stretch(S2, 0, 0, 2, 2, L, 0, 0, 5, 2, 1, 0, 0);
    EXPECT_EQ(Px(L, 0, 0), 100);
    EXPECT_EQ(Px(L, 1, 0), (100 * 768 + 200 * 256) >> 10);
    EXPECT_EQ(Px(L, 2, 0), 150);
    EXPECT_EQ(Px(L, 4, 0), 200);
}

TEST(StretchDIB, CubicWeightsAndPositions)
{
    EXPECT_EQ(StretchCubicWeights(0), (std::array<int32_t, 4>{2048, 0, 0, 0}));
    EXPECT_EQ(StretchCubicWeights(1), (std::array<int32_t, 4>{0, 2048, 0, 0}));
    EXPECT_EQ(StretchCubicWeights(3), (std::array<int32_t, 4>{0, 0, 0, 2048}));
    // t = 1.5: -1/16, 9/16, 9/16, -1/16.
    EXPECT_EQ(StretchCubicWeights(1.5), (std::array<int32_t, 4>{-128, 1152, 1152, -128}));
    // t = 0.5: 5/16, 15/16, -5/16, 1/16 -> 640, 1920, -640, 128.
    EXPECT_EQ(StretchCubicWeights(0.5), (std::array<int32_t, 4>{640, 1920, -640, 128}));

    int32_t Start;
    double T;
    StretchCubicStep(0, 10, 19, false, Start, T); // x = 0
    EXPECT_EQ(Start, 0);
    EXPECT_DOUBLE_EQ(T, 0);
    StretchCubicStep(1, 10, 19, false, Start, T); // x = 0.5
    EXPECT_EQ(Start, 0);
    EXPECT_DOUBLE_EQ(T, 0.5);
    StretchCubicStep(9, 10, 19, false, Start, T); // x = 4.5
    EXPECT_EQ(Start, 3);
    EXPECT_DOUBLE_EQ(T, 1.5);
    StretchCubicStep(17, 10, 19, false, Start, T); // x = 8.5, k = wS - 2
    EXPECT_EQ(Start, 6);
    EXPECT_DOUBLE_EQ(T, 2.5);
    StretchCubicStep(18, 10, 19, false, Start, T); // x = 9, the last pixel
    EXPECT_EQ(Start, 6);
    EXPECT_DOUBLE_EQ(T, 3);
    StretchCubicStep(0, 10, 20, true, Start, T); // tile: taps start left of the row
    EXPECT_EQ(Start, -1);
    EXPECT_DOUBLE_EQ(T, 1);

    int32_t Index, Weight;
    StretchLinearStep(3, 2, 4, true, Index, Weight); // x = 1.5
    EXPECT_EQ(Index, 1);
    EXPECT_EQ(Weight, 512);
    StretchLinearStep(1, 2, 5, false, Index, Weight);
    EXPECT_EQ(Index, 0);
    EXPECT_EQ(Weight, 256);
}

TEST(StretchDIB, EndPixelsLineUpWithoutTile)
{
    std::mt19937 Rng(3);
    for (uint8_t Expand : {0, 1, 2}) {
        TTestDib S(6, 5, 24), D(17, 13, 24);
        S.Randomize(Rng);
        Stretch(S, 0, 0, 6, 5, D, 0, 0, 17, 13, Expand, 0, 0);
        for (int C = 0; C < 3; ++C) {
            EXPECT_EQ(Px(D, 0, 0, C), Px(S, 0, 0, C)) << int(Expand);
            EXPECT_EQ(Px(D, 16, 12, C), Px(S, 5, 4, C)) << int(Expand);
            EXPECT_EQ(Px(D, 16, 0, C), Px(S, 5, 0, C)) << int(Expand);
        }
    }
}

TEST(StretchDIB, TiledLinearBlendsLastWithFirst)
{
    TTestDib S(2, 1, 8), D(4, 1, 8);
    S.At(0, 0) = 10;
    S.At(1, 0) = 90;
    Stretch(S, 0, 0, 2, 1, D, 0, 0, 4, 1, 1, 0, 1);
    EXPECT_EQ(Px(D, 0, 0), 10);
    EXPECT_EQ(Px(D, 1, 0), 50);
    EXPECT_EQ(Px(D, 2, 0), 90);
    EXPECT_EQ(Px(D, 3, 0), 50); // half the last, half the first
    // Expand mode 2 with a source narrower than 4 is the linear method.
    TTestDib S3(3, 4, 8), A(10, 9, 8), B(10, 9, 8);
    std::mt19937 Rng(11);
    S3.Randomize(Rng);
    Stretch(S3, 0, 0, 3, 4, A, 0, 0, 10, 9, 2, 0, 0);
    Stretch(S3, 0, 0, 3, 4, B, 0, 0, 10, 9, 1, 0, 0);
    EXPECT_EQ(A.Bits, B.Bits);
}

TEST(StretchDIB, ExtentOfOneDoesNotDivideByZero)
{
    // 1 x 2 -> 1 x 5 samples (the width is 1 on both sides).
    TTestDib S(1, 2, 8), D(1, 5, 8, 77);
    S.At(0, 0) = 10;
    S.At(0, 1) = 20;
    Stretch(S, 0, 0, 1, 2, D, 0, 0, 1, 5, 0, 0, 0);
    for (int Y = 0; Y < 5; ++Y)
        EXPECT_EQ(Px(D, 0, Y), Y == 4 ? 20 : 10) << Y;
    // Linear and cubic modes on 1 x N and N x 1.
    for (uint8_t Expand : {1, 2}) {
        TTestDib V(1, 3, 24), W(1, 10, 24);
        V.At(0, 0, 1) = 0;
        V.At(0, 1, 1) = 100;
        V.At(0, 2, 1) = 200;
        Stretch(V, 0, 0, 1, 3, W, 0, 0, 1, 10, Expand, 0, 0);
        EXPECT_EQ(Px(W, 0, 0, 1), 0);
        EXPECT_EQ(Px(W, 0, 9, 1), 200);
        EXPECT_EQ(Px(W, 0, 3, 1), 66); // 3 x 2 / 9 = 0.667: (100 x 682) shr 10
        TTestDib H(3, 1, 8), K(10, 1, 8);
        H.At(0, 0) = 0;
        H.At(1, 0) = 100;
        H.At(2, 0) = 200;
        Stretch(H, 0, 0, 3, 1, K, 0, 0, 10, 1, Expand, 0, 0);
        EXPECT_EQ(Px(K, 0, 0), 0);
        EXPECT_EQ(Px(K, 9, 0), 200);
        EXPECT_EQ(Px(K, 3, 0), 66);
    }
}

TEST(StretchDIB, IdentityCopiesExactlyAndTouchesNothingElse)
{
    std::mt19937 Rng(5);
    for (int32_t Bits : {8, 24}) {
        TTestDib S(7, 5, Bits), D(9, 8, Bits, 0xAB);
        S.Randomize(Rng);
        Stretch(S, 1, 1, 5, 3, D, 2, 3, 5, 3, 2, 1, 1);
        for (int Y = 0; Y < 8; ++Y)
            for (int X = 0; X < 9; ++X)
                for (int C = 0; C < S.Bpp; ++C) {
                    const bool In = X >= 2 && X < 7 && Y >= 3 && Y < 6;
                    EXPECT_EQ(Px(D, X, Y, C), In ? Px(S, X - 1, Y - 2, C) : 0xAB);
                }
    }
}

TEST(StretchDIB, ShrinkingAConstantPictureKeepsIt)
{
    const int32_t Sizes[][4] = {{40, 30, 10, 10}, {41, 29, 13, 7}, {17, 23, 16, 22}, {9, 9, 1, 1}};
    for (const auto& Z : Sizes)
        for (uint8_t Reduce : {0, 1}) {
            TTestDib S(Z[0], Z[1], 24), D(Z[2], Z[3], 24);
            for (int Y = 0; Y < Z[1]; ++Y)
                for (int X = 0; X < Z[0]; ++X) {
                    S.At(X, Y, 0) = 17;
                    S.At(X, Y, 1) = 254;
                    S.At(X, Y, 2) = 131;
                }
            Stretch(S, 0, 0, Z[0], Z[1], D, 0, 0, Z[2], Z[3], 0, Reduce, 0);
            for (int Y = 0; Y < Z[3]; ++Y)
                for (int X = 0; X < Z[2]; ++X) {
                    ASSERT_EQ(Px(D, X, Y, 0), 17);
                    ASSERT_EQ(Px(D, X, Y, 1), 254);
                    ASSERT_EQ(Px(D, X, Y, 2), 131);
                }
        }
}

TEST(StretchDIB, MaskBlendsCopyAndSampling)
{
    std::mt19937 Rng(9);
    TTestDib S(6, 4, 24), M(6, 4, 8, 255);
    S.Randomize(Rng);
    // All 255: the plain copy.
    TTestDib D(6, 4, 24, 9);
    Stretch(S, 0, 0, 6, 4, D, 0, 0, 6, 4, 0, 0, 0, &M);
    for (int Y = 0; Y < 4; ++Y)
        for (int X = 0; X < 18; ++X)
            EXPECT_EQ(Px(D, 0, Y, X), Px(S, 0, Y, X));
    // All 0: unchanged, also through general sampling.
    TTestDib Z(6, 4, 8, 0), E(6, 4, 24, 9), F(9, 7, 24, 9);
    Stretch(S, 0, 0, 6, 4, E, 0, 0, 6, 4, 0, 0, 0, &Z);
    Stretch(S, 0, 0, 6, 4, F, 0, 0, 9, 7, 0, 0, 0, &Z);
    for (auto B : E.Bits)
        ASSERT_EQ(B, 9);
    for (auto B : F.Bits)
        ASSERT_EQ(B, 9);
    // A half mask: (s x 128 + d x 127 + 255) shr 8.
    TTestDib H(6, 4, 8, 128), G(6, 4, 24, 9);
    Stretch(S, 0, 0, 6, 4, G, 0, 0, 6, 4, 0, 0, 0, &H);
    EXPECT_EQ(Px(G, 2, 1, 1), (Px(S, 2, 1, 1) * 128 + 9 * 127 + 255) >> 8);
}

TEST(StretchDIB, MixedScalingGoesThroughATemporaryAndIgnoresTheMask)
{
    std::mt19937 Rng(13);
    TTestDib S(8, 3, 24), Z(8, 3, 8, 0);
    S.Randomize(Rng);
    TTestDib A(4, 7, 24, 1), B(4, 7, 24, 2);
    const size_t Sections = DIBSectionCount();
    Stretch(S, 0, 0, 8, 3, A, 0, 0, 4, 7, 1, 1, 0, &Z);
    Stretch(S, 0, 0, 8, 3, B, 0, 0, 4, 7, 1, 1, 0);
    EXPECT_EQ(DIBSectionCount(), Sections);
    EXPECT_EQ(A.Bits, B.Bits);
    // Height first (3 -> 7 linear), then width (8 -> 4 averaging).
    TTestDib T(8, 7, 24), R(4, 7, 24);
    Stretch(S, 0, 0, 8, 3, T, 0, 0, 8, 7, 1, 1, 0);
    Stretch(T, 0, 0, 8, 7, R, 0, 0, 4, 7, 1, 1, 0);
    EXPECT_EQ(A.Bits, R.Bits);
}

TEST(StretchDIB, ClippingCutsBothRectanglesInProportion)
{
    TTestDib S(4, 1, 8), D(8, 1, 8, 5);
    for (int X = 0; X < 4; ++X)
        S.At(X, 0) = uint8_t(10 * (X + 1));
    // Destination 4..11 of an 8-wide picture: 4 columns cut, the source loses 4 x 4 div 8 = 2.
    Stretch(S, 0, 0, 4, 1, D, 4, 0, 8, 1, 0, 0, 0);
    const uint8_t Want[8] = {5, 5, 5, 5, 10, 10, 20, 20};
    for (int X = 0; X < 8; ++X)
        EXPECT_EQ(Px(D, X, 0), Want[X]) << X;
    // A negative source left: the destination loses its share from the left.
    TTestDib E(8, 1, 8, 5);
    Stretch(S, -2, 0, 4, 1, E, 0, 0, 8, 1, 0, 0, 0); // 2 of 4 cut, 4 of 8 destination columns
    const uint8_t Want2[8] = {5, 5, 5, 5, 10, 10, 20, 20};
    for (int X = 0; X < 8; ++X)
        EXPECT_EQ(Px(E, X, 0), Want2[X]) << X;
    // Fully outside: nothing drawn, no error.
    TTestDib F(8, 1, 8, 5);
    Stretch(S, 0, 0, 4, 1, F, 8, 0, 4, 1, 0, 0, 0);
    Stretch(S, 0, 0, 4, 1, F, -20, 0, 4, 1, 0, 0, 0);
    for (auto B : F.Bits)
        EXPECT_EQ(B, 5);
}

TEST(StretchDIB, RefusesBadParameters)
{
    TTestDib S(4, 4, 24), D(4, 4, 24, 3), S8(4, 4, 8);
    TTestDib S16(4, 4, 16), D16(4, 4, 16);
    ExpectUserError([&] { Stretch(S16, 0, 0, 4, 4, D16, 0, 0, 2, 2, 0, 0, 0); },
                    "StretchDIB: Illegal biBitCount");
    ExpectUserError([&] { Stretch(S8, 0, 0, 4, 4, D, 0, 0, 2, 2, 0, 0, 0); },
                    "StretchDIB: Illegal biBitCount");
    ExpectUserError([&] { Stretch(S, 0, 0, 0, 4, D, 0, 0, 2, 2, 0, 0, 0); },
                    "StretchDIB: Illegal (iWSrc, iHSrc)");
    Stretch(S, 0, 0, 0, 4, D, 0, 0, 0, 2, 0, 0, 0); // a zero destination ends silently
    ExpectUserError(
        [&] {
            StretchDIB(&S.H, S.Bits.data(), 0, 0, 4, 4, &D.H, nullptr, 0, 0, 2, 2, nullptr,
                       nullptr, 0, 0, 0);
        },
        "StretchDIB: Illegal (pbTopLeftSrc or pbTopLeftDst)");
    ExpectUserError(
        [&] { SubStretchDIBReduceN_NoIP(S.Bits.data(), 12, D.Bits.data(), 12, 1, 1, 0, 1, 3); },
        "SubStretchDIBReduceN_NoIP");
    ExpectUserError(
        [&] { SubStretchDIBExpandN_NoIP(S.Bits.data(), 12, D.Bits.data(), 12, 1, 1, 1, 0, 3); },
        "SubStretchDIBExpandN_NoIP");

    // Masks of the wrong depth or size are refused before any pixel changes.
    TTestDib M24(4, 4, 24, 255), MSmall(3, 4, 8, 255), MLow(4, 3, 8, 255);
    ExpectUserError([&] { Stretch(S, 0, 0, 4, 4, D, 0, 0, 4, 4, 0, 0, 0, &M24); },
                    "StretchDIB: Illegal Mask biBitCount");
    ExpectUserError([&] { Stretch(S, 0, 0, 3, 4, D, 0, 0, 3, 4, 0, 0, 0, &MSmall); },
                    "StretchDIB: Illegal Mask Size");
    ExpectUserError([&] { Stretch(S, 0, 0, 4, 3, D, 0, 0, 4, 3, 0, 0, 0, &MLow); },
                    "StretchDIB: Illegal Mask Size");
    ExpectUserError(
        [&] {
            StretchDIB(&S.H, S.Bits.data(), 0, 0, 4, 4, &D.H, D.Bits.data(), 0, 0, 4, 4,
                       &MLow.H, nullptr, 0, 0, 0);
        },
        "StretchDIB: Illegal Mask (pBIHMask or pbBitsMask = nil)");
    for (auto B : D.Bits)
        EXPECT_EQ(B, 3);
}
