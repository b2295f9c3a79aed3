#include "raster/bmp_filter.h"

#include "bmp_conv_test_util.h"
#include "foundation/numbers.h"
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <initializer_list>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Helpers

int32_t MapRef(int64_t I, int32_t N, bool Wrap)
{
    if (Wrap)
        return static_cast<int32_t>(((I % N) + N) % N);
    return static_cast<int32_t>(I < 0 ? 0 : (I >= N ? N - 1 : I));
}

std::vector<int32_t> KernelOf(HGLOBAL H, int32_t Count)
{
    const int32_t* K = static_cast<const int32_t*>(H);
    return std::vector<int32_t>(K, K + Count);
}

// A kernel block freed at the end of the scope.
struct TKernel {
    HGLOBAL H = nullptr;
    ~TKernel() { GlobalFreeQ(H); }
};

// An 8- or 24-bit DIB in fixed blocks with pixels addressed top-down.
struct TDib : TBmpTestDib {
    int32_t W = 0, Ht = 0, B = 1;
    TDib(int32_t Width, int32_t Height, int32_t Bits)
    {
        MakeBmpTestDib(*this, Width, Height, uint16_t(Bits));
        W = Width;
        Ht = Height;
        B = Bits / 8;
    }
    uint8_t& At(int32_t X, int32_t Y, int32_t C = 0) const { return Row(Y)[int64_t{X} * B + C]; }
    void Random(std::mt19937& G, int Lo = 0, int Hi = 255) const
    {
        std::uniform_int_distribution<int> D(Lo, Hi);
        for (int32_t Y = 0; Y < Ht; ++Y)
            for (int32_t I = 0; I < W * B; ++I)
                Row(Y)[I] = uint8_t(D(G));
    }
    std::vector<uint8_t> Pixels() const
    {
        std::vector<uint8_t> V;
        for (int32_t Y = 0; Y < Ht; ++Y)
            V.insert(V.end(), Row(Y), Row(Y) + int64_t{W} * B);
        return V;
    }
};

// A picture record in plain global memory that frees itself.
struct TPic {
    TrecPicture P;
    int32_t W, Ht, Bits;
    TPic(int32_t Left, int32_t Top, int32_t Width, int32_t Height, int32_t BitCount)
        : W(Width), Ht(Height), Bits(BitCount)
    {
        RecPictureCreate(P, TPoint{Left, Top}, Width, Height, BitCount, false);
        std::memset(P.pBits, 0, size_t(RecPictureGetImageSize(P)));
    }
    ~TPic() { RecPictureClear(P); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    // Sample C of picture pixel (X, Y) (not page coordinates).
    int32_t Get(int32_t X, int32_t Y, int32_t C = 0) const
    {
        const uint8_t* Row = P.pBits + (int64_t{Ht} - 1 - Y) * CalcLineBytes(W, Bits);
        if (Bits == 16)
            return reinterpret_cast<const uint16_t*>(Row)[X];
        return Row[int64_t{X} * (Bits / 8) + C];
    }
    void Set(int32_t X, int32_t Y, int32_t C, int32_t V) const
    {
        uint8_t* Row = P.pBits + (int64_t{Ht} - 1 - Y) * CalcLineBytes(W, Bits);
        if (Bits == 16)
            reinterpret_cast<uint16_t*>(Row)[X] = uint16_t(V);
        else
            Row[int64_t{X} * (Bits / 8) + C] = uint8_t(V);
    }
    int32_t Spp() const { return Bits == 24 ? 3 : 1; }
    void Random(std::mt19937& G)
    {
        std::uniform_int_distribution<int> D(0, Bits == 16 ? 65535 : 255);
        for (int32_t Y = 0; Y < Ht; ++Y)
            for (int32_t X = 0; X < W; ++X)
                for (int32_t C = 0; C < Spp(); ++C)
                    Set(X, Y, C, D(G));
    }
    std::vector<int32_t> Samples() const
    {
        std::vector<int32_t> V;
        for (int32_t Y = 0; Y < Ht; ++Y)
            for (int32_t X = 0; X < W; ++X)
                for (int32_t C = 0; C < Spp(); ++C)
                    V.push_back(Get(X, Y, C));
        return V;
    }
};

// ---------------------------------------------------------------------------
// Plain reference loops of the fast kernels

// Rank filter: Size x Size window from (x - h, y - h), SelectNthByte per channel.
std::vector<uint8_t> RefRank(const TDib& D, int32_t Size, int32_t K, bool Wrap)
{
    const int32_t H = Size / 2;
    std::vector<uint8_t> Out;
    std::vector<uint8_t> Window(static_cast<size_t>(Size) * Size);
    for (int32_t Y = 0; Y < D.Ht; ++Y)
        for (int32_t X = 0; X < D.W; ++X)
            for (int32_t C = 0; C < D.B; ++C) {
                size_t N = 0;
                for (int32_t DY = 0; DY < Size; ++DY)
                    for (int32_t DX = 0; DX < Size; ++DX)
                        Window[N++] = D.At(MapRef(X - H + DX, D.W, Wrap), MapRef(Y - H + DY, D.Ht, Wrap), C);
                Out.push_back(SelectNthByte(Window.data(), int32_t(N), K));
            }
    return Out;
}

// Circular minimum / maximum with the (r + 0.5) circle, then the mask.
std::vector<uint8_t> RefCircle(const TDib& D, int32_t Kind, int32_t R, bool Wrap, const TDib* Mask)
{
    std::vector<uint8_t> Out;
    for (int32_t Y = 0; Y < D.Ht; ++Y)
        for (int32_t X = 0; X < D.W; ++X) {
            int32_t V = Kind == 1 ? 0 : 255;
            for (int32_t DY = -R; DY <= R; ++DY)
                for (int32_t DX = -R; DX <= R; ++DX) {
                    if ((DX * DX + DY * DY) * 100 > (10 * R + 5) * (10 * R + 5))
                        continue;
                    const int32_t P = D.At(MapRef(X + DX, D.W, Wrap), MapRef(Y + DY, D.Ht, Wrap));
                    V = Kind == 1 ? std::max(V, P) : std::min(V, P);
                }
            const int32_t Old = D.At(X, Y);
            const int32_t M = Mask ? Mask->At(X, Y) : 255;
            if (!Mask)
                Out.push_back(uint8_t(V));
            else if (M == 0)
                Out.push_back(uint8_t(Old));
            else
                Out.push_back(uint8_t((M * V + (255 - M) * Old + 255) >> 8));
        }
    return Out;
}

// The separable filter straight from its rule, on a copy of the picture.
std::vector<int32_t> RefVH(const TPic& Pic, const TPic* Mask, const std::vector<int32_t>& K, int32_t Shift,
                           int32_t Offset, bool Wrap)
{
    const int32_t N = int32_t(K.size()), H = N / 2, S = Pic.Spp();
    const int64_t Round = Shift > 0 ? int64_t{1} << (Shift - 1) : 0;
    const int64_t Max = Pic.Bits == 16 ? 65535 : 255;
    std::vector<int32_t> Out = Pic.Samples();
    // Horizontal pass over every row and column of the picture.
    std::vector<int64_t> Hor(static_cast<size_t>(Pic.W) * Pic.Ht * S);
    for (int32_t Y = 0; Y < Pic.Ht; ++Y)
        for (int32_t X = 0; X < Pic.W; ++X)
            for (int32_t C = 0; C < S; ++C) {
                int64_t Sum = 0;
                for (int32_t I = 0; I < N; ++I)
                    if (K[size_t(I)] > 0)
                        Sum += int64_t{K[size_t(I)]} * Pic.Get(MapRef(X - H + I, Pic.W, Wrap), Y, C);
                Hor[(size_t(Y) * Pic.W + X) * S + C] = std::min<int64_t>(65535, (Sum + Round) >> Shift);
            }
    for (int32_t Y = 0; Y < Pic.Ht; ++Y)
        for (int32_t X = 0; X < Pic.W; ++X) {
            int32_t M = 255;
            if (Mask) {
                const int32_t MX = Pic.P.iLeft + X - Mask->P.iLeft, MY = Pic.P.iTop + Y - Mask->P.iTop;
                if (MX < 0 || MY < 0 || MX >= Mask->W || MY >= Mask->Ht)
                    continue; // outside the overlap: untouched
                M = Mask->Get(MX, MY);
            }
            for (int32_t C = 0; C < S; ++C) {
                int64_t Sum = 0;
                for (int32_t I = 0; I < N; ++I)
                    if (K[size_t(I)] > 0)
                        Sum += int64_t{K[size_t(I)]} *
                               Hor[(size_t(MapRef(Y - H + I, Pic.Ht, Wrap)) * Pic.W + X) * S + C];
                const int64_t V = std::clamp<int64_t>(((Sum + Round) >> Shift) + Offset, 0, Max);
                int32_t& O = Out[(size_t(Y) * Pic.W + X) * S + C];
                if (!Mask)
                    O = int32_t(V);
                else if (M != 0)
                    O = Pic.Bits == 16 ? std::min<int32_t>(65535, int32_t((M * V + (255 - M) * O + 255) / 255))
                                       : int32_t((M * V + (255 - M) * O + 255) >> 8);
            }
        }
    return Out;
}

} // namespace

// ===========================================================================
// Kernel builders

TEST(BmpFilter, GaussKernelSize)
{
    int32_t Shift = 0;
    double S = -1;
    // Weight at distance r is a tenth of the centre's: s = r^2 / (2 ln 10).
    EXPECT_EQ(GetGaussKernelSize(1.0, Shift, S), 2);
    EXPECT_EQ(Shift, 12);
    EXPECT_DOUBLE_EQ(S, 1 / (2 * std::log(10.0)));
    // First n with n^2 > 2 s ln 128: r = 2 -> 8.43 -> 3; r = 10 -> 210.7 -> 15; r = 30 -> 1896.5 -> 44.
    EXPECT_EQ(GetGaussKernelSize(2.0, Shift, S), 3);
    EXPECT_EQ(GetGaussKernelSize(10.0, Shift, S), 15);
    EXPECT_EQ(GetGaussKernelSize(30.0, Shift, S), 44);
    EXPECT_EQ(GetGaussKernelSize(0.0, Shift, S), 0);
    EXPECT_EQ(GetGaussKernelSize(-3.0, Shift, S), 0);
    EXPECT_EQ(GetGaussKernelSize(std::nan(""), Shift, S), 0);
    EXPECT_EQ(Shift, 12);
    // A vanishing radius keeps the centre alone instead of looping on NaN.
    EXPECT_EQ(GetGaussKernelSize(1e-200, Shift, S), 1);
    // The radius is capped (the paint functions go up to 50).
    EXPECT_EQ(GetGaussKernelSize(1000.0, Shift, S), 1452); // 1000 sqrt(ln 128 / ln 10) = 1451.6
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] { GetGaussKernelSize(1000.5, Shift, S); }),
              "GetGaussKernelSize: Radius Too Large");
    EXPECT_THROW(GetGaussKernelSize(INFINITY, Shift, S), EUserParamError);
}

TEST(BmpFilter, GaussKernelContents)
{
    TKernel K;
    int32_t Length = -1, Shift = 0;
    // Radius 1: weights 1e-4, 0.1, 1, 0.1, 1e-4 scaled to 4096 round to
    // 0, 341, 3413, 341, 0 (sum 4095); the largest fraction (.76, centre) takes the 1.
    MakeGaussKernel(1.0, Length, K.H, Shift);
    ASSERT_EQ(Length, 5);
    EXPECT_EQ(Shift, 12);
    EXPECT_EQ(KernelOf(K.H, 5), (std::vector<int32_t>{0, 341, 3414, 341, 0}));
    GlobalFreeQ(K.H);

    MakeGaussKernel(0.0, Length, K.H, Shift);
    EXPECT_EQ(Length, 0);
    EXPECT_EQ(K.H, nullptr);

    // Every kernel sums to 4096 or a little more and falls off from the centre.
    for (double R = 0.3; R < 12; R += 0.37) {
        MakeGaussKernel(R, Length, K.H, Shift);
        const std::vector<int32_t> V = KernelOf(K.H, Length);
        int64_t Sum = 0;
        for (int32_t X : V)
            Sum += X;
        EXPECT_GE(Sum, 4096) << R;
        EXPECT_LE(Sum, 4096 + Length / 2) << R;
        for (int32_t I = 0; I < Length / 2; ++I)
            EXPECT_LE(V[size_t(I)], V[size_t(I + 1)]) << R;
        GlobalFreeQ(K.H);
    }
}

TEST(BmpFilter, GaussKernelEqualFractionsGoLeftFirst)
{
    // The two entries of a symmetric pair have equal fractions; when only one
    // of them gets a rounding unit, it is the left one (lower index).
    int32_t Split = 0;
    for (int32_t Step = 5; Step < 3000; ++Step) {
        TKernel K;
        int32_t Length, Shift;
        MakeGaussKernel(Step / 100.0, Length, K.H, Shift);
        const std::vector<int32_t> V = KernelOf(K.H, Length);
        for (int32_t I = 0; I < Length / 2; ++I) {
            const int32_t L = V[size_t(I)], R = V[size_t(Length - 1 - I)];
            if (L != R) {
                EXPECT_EQ(L, R + 1) << Step;
                ++Split;
            }
        }
    }
    EXPECT_GT(Split, 10);
}

TEST(BmpFilter, CircleMask)
{
    TKernel K;
    int32_t Side = -1, Count = -1;
    MakeCircleMask(0, Side, K.H, Count);
    EXPECT_EQ(Side, 1);
    EXPECT_EQ(Count, 1);
    EXPECT_EQ(KernelOf(K.H, 1), std::vector<int32_t>{1});
    GlobalFreeQ(K.H);

    // RoundOff(sqrt 2) = 1: the full 3 x 3 block.
    MakeCircleMask(1, Side, K.H, Count);
    EXPECT_EQ(Side, 3);
    EXPECT_EQ(Count, 9);
    EXPECT_EQ(KernelOf(K.H, 9), std::vector<int32_t>(9, 1));
    GlobalFreeQ(K.H);

    // Radius 2: the corners (sqrt 8 rounds to 3) are out, (2, 1) (sqrt 5) is in.
    MakeCircleMask(2, Side, K.H, Count);
    EXPECT_EQ(Side, 5);
    EXPECT_EQ(Count, 21);
    const std::vector<int32_t> V = KernelOf(K.H, 25);
    EXPECT_EQ(V[0], 0);
    EXPECT_EQ(V[4], 0);
    EXPECT_EQ(V[20], 0);
    EXPECT_EQ(V[24], 0);
    EXPECT_EQ(V[1], 1);
    EXPECT_EQ(V[5], 1);
    GlobalFreeQ(K.H);

    MakeCircleMask(-1, Side, K.H, Count);
    EXPECT_EQ(Side, 0);
    EXPECT_EQ(K.H, nullptr);
    EXPECT_EQ(Count, 0);
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] { MakeCircleMask(MaxFilterRadius + 1, Side, K.H, Count); }),
              "MakeCircleMask: Radius Too Large");
    EXPECT_EQ(K.H, nullptr);
}

TEST(BmpFilter, EmbossKernel)
{
    TKernel K;
    int32_t Side = 0, Scale = 0;
    // Size 3, angle 0: +256 at (2, 1), -256 at (0, 1).
    MakeFilterEmboss(3, 0, 4, Side, K.H, Scale);
    EXPECT_EQ(Side, 3);
    EXPECT_EQ(Scale, 16384);
    EXPECT_EQ(KernelOf(K.H, 9), (std::vector<int32_t>{0, 0, 0, -256, 0, 256, 0, 0, 0}));
    GlobalFreeQ(K.H);
    // Angle 90 points down the rows: +256 at (1, 2), -256 at (1, 0).
    MakeFilterEmboss(3, 90, 1, Side, K.H, Scale);
    EXPECT_EQ(KernelOf(K.H, 9), (std::vector<int32_t>{0, -256, 0, 0, 0, 0, 0, 256, 0}));
    EXPECT_EQ(Scale, 65536);
    GlobalFreeQ(K.H);
    // Size 2: centre and 1 + RoundOff(-1.42 cos a).
    MakeFilterEmboss(2, 0, 1, Side, K.H, Scale);
    EXPECT_EQ(Side, 3);
    EXPECT_EQ(KernelOf(K.H, 9), (std::vector<int32_t>{0, 0, 0, -256, 256, 0, 0, 0, 0}));
    GlobalFreeQ(K.H);
    // Size 4, angle 0: m = 2, d = 1.5: +256 at (2 + 2 - 1, 2), -256 at (2 - 1 - 1, 2).
    MakeFilterEmboss(4, 0, 1, Side, K.H, Scale);
    EXPECT_EQ(Side, 4);
    std::vector<int32_t> E(16, 0);
    E[2 * 4 + 3] = 256;
    E[2 * 4 + 0] = -256;
    EXPECT_EQ(KernelOf(K.H, 16), E);
    GlobalFreeQ(K.H);
    // Divisor 3: 65536 div 3; a negative divisor is taken unsigned.
    MakeFilterEmboss(5, 45, 3, Side, K.H, Scale);
    EXPECT_EQ(Scale, 21845);
    GlobalFreeQ(K.H);
    MakeFilterEmboss(5, 45, -1, Side, K.H, Scale);
    EXPECT_EQ(Scale, 0);
    GlobalFreeQ(K.H);

    MakeFilterEmboss(1, 0, 1, Side, K.H, Scale);
    EXPECT_EQ(Side, 0);
    EXPECT_EQ(K.H, nullptr);
    EXPECT_THROW(MakeFilterEmboss(3, 0, 0, Side, K.H, Scale), EUserParamError);
    EXPECT_THROW(MakeFilterEmboss(2 * MaxFilterRadius + 2, 0, 1, Side, K.H, Scale), EUserParamError);
    EXPECT_EQ(K.H, nullptr);
}

TEST(BmpFilter, GradateMoveKernel)
{
    TKernel K;
    int32_t Side = 0, Sum = 0;
    // Length 3 along the centre row: 65 steps of 1/32 share out as
    // 16.5, 32, 16.5 (x 128 = 2112, 4096, 2112).
    MakeFilterGradateMove(3, 0, Side, K.H, Sum);
    EXPECT_EQ(Side, 3);
    EXPECT_EQ(KernelOf(K.H, 9), (std::vector<int32_t>{0, 0, 0, 2112, 4096, 2112, 0, 0, 0}));
    EXPECT_EQ(Sum, 8320);
    GlobalFreeQ(K.H);
    // Angle 90: the centre column instead.
    MakeFilterGradateMove(3, 90, Side, K.H, Sum);
    const std::vector<int32_t> V = KernelOf(K.H, 9);
    EXPECT_EQ(V[1] + V[4] + V[7], Sum);
    EXPECT_EQ(V[4], 4096);
    GlobalFreeQ(K.H);
    // Even length: side 2 (L div 2) + 1, all inside the block.
    for (int32_t A = 0; A < 360; A += 15) {
        MakeFilterGradateMove(6, A, Side, K.H, Sum);
        EXPECT_EQ(Side, 7);
        EXPECT_NEAR(Sum, 5 * 32 * 128 + 128, 60) << A;
        GlobalFreeQ(K.H);
    }
    MakeFilterGradateMove(1, 0, Side, K.H, Sum);
    EXPECT_EQ(Side, 0);
    EXPECT_EQ(K.H, nullptr);
    EXPECT_THROW(MakeFilterGradateMove(3, std::nan(""), Side, K.H, Sum), EUserParamError);
    EXPECT_THROW(MakeFilterGradateMove(2 * MaxFilterRadius + 2, 0, Side, K.H, Sum), EUserParamError);
}

// ===========================================================================
// BMPBufFilter: the window driver (rank filter of its own; the other types
// are tested with the filters)

TEST(BmpFilter, RankHandComputed)
{
    TDib D(3, 3, 8);
    for (int32_t Y = 0; Y < 3; ++Y)
        for (int32_t X = 0; X < 3; ++X)
            D.At(X, Y) = uint8_t(10 * (3 * Y + X + 1)); // 10 .. 90, top row first
    TDib C(3, 3, 8);
    std::memcpy(C.Bits, D.Bits, 4 * 3);
    // Clamped median at (0, 0): 10 10 20 / 10 10 20 / 40 40 50 -> 20.
    BMPBufFilter(6, D.Header, D.Bits, nullptr, 3, nullptr, 0, 0, 4, nullptr, nullptr, 0, 0);
    EXPECT_EQ(D.At(0, 0), 20);
    EXPECT_EQ(D.At(1, 1), 50);
    // Wrapped: the window at (0, 0) holds all nine values -> 50.
    BMPBufFilter(6, C.Header, C.Bits, nullptr, 3, nullptr, 0, 0, 4, nullptr, nullptr, 0, 1);
    EXPECT_EQ(C.Pixels(), std::vector<uint8_t>(9, 50));

    // Minimum (k = 0) at (2, 2) clamped: 50 60 60 / 80 90 90 / 80 90 90.
    TDib M(3, 3, 8);
    for (int32_t Y = 0; Y < 3; ++Y)
        for (int32_t X = 0; X < 3; ++X)
            M.At(X, Y) = uint8_t(10 * (3 * Y + X + 1));
    BMPBufFilter(6, M.Header, M.Bits, nullptr, 3, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0);
    EXPECT_EQ(M.At(2, 2), 50);
    EXPECT_EQ(M.At(0, 0), 10);

    // 24-bit: each byte is its own channel.
    TDib T(2, 1, 24);
    const uint8_t Px[6] = {1, 200, 7, 3, 100, 9};
    std::memcpy(T.Bits, Px, 6);
    BMPBufFilter(6, T.Header, T.Bits, nullptr, 3, nullptr, 0, 0, 8, nullptr, nullptr, 0, 0); // maximum
    EXPECT_EQ(T.Pixels(), (std::vector<uint8_t>{3, 200, 9, 3, 200, 9}));

    // A 1 x 1 picture with Wrap clear: every neighbour is the pixel itself.
    TDib One(1, 1, 8);
    One.At(0, 0) = 77;
    int32_t Min = -1, Max = -1;
    BMPBufFilter(6, One.Header, One.Bits, nullptr, 5, nullptr, 0, 0, 12, &Min, &Max, 0, 0);
    EXPECT_EQ(One.At(0, 0), 77);
    EXPECT_EQ(Min, 255); // nothing measured
    EXPECT_EQ(Max, 0);
}

TEST(BmpFilter, RankChecksItsParameters)
{
    TDib D(4, 4, 8);
    D.At(1, 1) = 9;
    const std::vector<uint8_t> Before = D.Pixels();
    // The rank must lie inside the window (Size^2 values).
    EXPECT_EQ(BmpMessageOf<EUserParamError>(
                  [&] { BMPBufFilter(6, D.Header, D.Bits, nullptr, 3, nullptr, 0, 0, 9, nullptr, nullptr, 0, 0); }),
              "BMPBufFilter: Illegal Param");
    EXPECT_THROW(BMPBufFilter(6, D.Header, D.Bits, nullptr, 3, nullptr, 0, 0, -1, nullptr, nullptr, 0, 0),
                 EUserParamError);
    EXPECT_THROW(BMPBufFilter(6, D.Header, D.Bits, nullptr, 0, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0),
                 EUserParamError);
    // The window side is capped.
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] {
                  BMPBufFilter(6, D.Header, D.Bits, nullptr, 2 * MaxFilterRadius + 3, nullptr, 0, 0, 0, nullptr,
                               nullptr, 0, 0);
              }),
              "BMPBufFilter: Radius Too Large");
    // A mask plane is refused.
    TDib Mask(4, 4, 8);
    EXPECT_EQ(BmpMessageOf([&] {
                  BMPBufFilter(6, D.Header, D.Bits, Mask.Bits, 3, nullptr, 0, 0, 4, nullptr, nullptr, 0, 0);
              }),
              "SubRankFilter: Mask Not Supported");
    EXPECT_EQ(D.Pixels(), Before);
}

TEST(BmpFilter, BufFilterRefusalsAndEmptyBuffers)
{
    TDib D(3, 2, 8);
    BITMAPINFOHEADER* H = D.H();
    // Type 0 with Divisor 0 returns before looking at anything.
    H->biBitCount = 16;
    EXPECT_NO_THROW(BMPBufFilter(0, D.Header, D.Bits, nullptr, 3, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0));
    EXPECT_EQ(BmpMessageOf([&] {
                  BMPBufFilter(6, D.Header, D.Bits, nullptr, 3, nullptr, 1, 0, 4, nullptr, nullptr, 0, 0);
              }),
              "BMPBufFilter: (pBInfo^.biBitCount in [8, 24]");
    H->biBitCount = 8;
    // Width or height 0: nothing, not even the rank check.
    H->biWidth = 0;
    EXPECT_NO_THROW(BMPBufFilter(6, D.Header, D.Bits, nullptr, 3, nullptr, 1, 0, 99, nullptr, nullptr, 0, 0));
    H->biWidth = 3;
    H->biHeight = -2;
    EXPECT_THROW(BMPBufFilter(6, D.Header, D.Bits, nullptr, 3, nullptr, 1, 0, 4, nullptr, nullptr, 0, 0),
                 EUserParamError);
    H->biHeight = 2;
    // Unknown types leave the buffer and report the empty range.
    D.At(0, 0) = 5;
    int32_t Min = -1, Max = -1;
    BMPBufFilter(9, D.Header, D.Bits, nullptr, 3, nullptr, 1, 0, 0, &Min, &Max, 0, 0);
    EXPECT_EQ(D.At(0, 0), 5);
    EXPECT_EQ(Min, 255);
    EXPECT_EQ(Max, 0);
}

TEST(BmpFilter, BufFilterUnlocksMoveableArguments)
{
    // Header, bits and mask as moveable handles: locked for the call and
    // unlocked again, also when the call raises.
    TDib D(5, 4, 8);
    HGLOBAL HH = GlobalAlloc(GMEM_MOVEABLE, 40);
    HGLOBAL HB = GlobalAlloc(GMEM_MOVEABLE, 8 * 4);
    HGLOBAL HM = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8 * 4);
    std::memcpy(GlobalLock(HH), D.Header, 40);
    GlobalUnlock(HH);
    uint8_t* P = static_cast<uint8_t*>(GlobalLock(HB));
    for (int I = 0; I < 32; ++I)
        P[I] = uint8_t(I * 7);
    GlobalUnlock(HB);
    BMPBufFilter(6, HH, HB, nullptr, 3, nullptr, 0, 0, 8, nullptr, nullptr, 0, 0);
    EXPECT_EQ(GlobalFlags(HH) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(GlobalFlags(HB) & GMEM_LOCKCOUNT, 0u);
    P = static_cast<uint8_t*>(GlobalLock(HB));
    EXPECT_EQ(P[3 * 8 + 0], 25 * 7); // top-left maximum of 24, 25 (top) and 16, 17 (x 7)
    GlobalUnlock(HB);
    EXPECT_THROW(BMPBufFilter(6, HH, HB, HM, 3, nullptr, 0, 0, 4, nullptr, nullptr, 0, 0), EUserError);
    EXPECT_EQ(GlobalFlags(HH) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(GlobalFlags(HB) & GMEM_LOCKCOUNT, 0u);
    EXPECT_EQ(GlobalFlags(HM) & GMEM_LOCKCOUNT, 0u);
    GlobalFree(HH);
    GlobalFree(HB);
    GlobalFree(HM);
}

TEST(BmpFilter, RankMatchesSelectionDifferential)
{
    std::mt19937 G(6);
    const int32_t Sizes[][2] = {{1, 1}, {2, 3}, {3, 1}, {7, 5}, {16, 9}, {31, 12}, {5, 40}};
    for (const auto& Sz : Sizes)
        for (int32_t Bits : {8, 24})
            for (int32_t Wrap : {0, 1})
                for (int32_t Size : {1, 2, 3, 4, 5, 7, 9}) {
                    TDib D(Sz[0], Sz[1], Bits);
                    // Few levels make long runs of equal values, many make a spread.
                    D.Random(G, 0, Size % 2 ? 255 : 3);
                    const int32_t K = std::uniform_int_distribution<int32_t>(0, Size * Size - 1)(G);
                    const std::vector<uint8_t> Want = RefRank(D, Size, K, Wrap);
                    BMPBufFilter(6, D.Header, D.Bits, nullptr, Size, nullptr, 0, 0, K, nullptr, nullptr, 0,
                                 uint8_t(Wrap));
                    ASSERT_EQ(D.Pixels(), Want) << Sz[0] << "x" << Sz[1] << " bits " << Bits << " wrap " << Wrap
                                                << " size " << Size << " k " << K;
                }
}

// ===========================================================================
// BMPCircleMaskFilter

TEST(BmpFilter, CircleMaxMinHandComputed)
{
    // A bright dot: maximum radius 1 covers the 3 x 3 block (diagonals: 2 <= 2.25),
    // radius 2 the 5 x 5 block without its corners (8 > 6.25).
    TDib D(7, 7, 8);
    std::memset(D.Bits, 10, 8 * 7);
    D.At(3, 3) = 200;
    ASSERT_EQ(BMPCircleMaskFilter(1, D.Header, D.Bits, nullptr, 2, 0), 0);
    for (int32_t Y = 0; Y < 7; ++Y)
        for (int32_t X = 0; X < 7; ++X) {
            const int32_t DX = X - 3, DY = Y - 3;
            const bool In = std::abs(DX) <= 2 && std::abs(DY) <= 2 && !(std::abs(DX) == 2 && std::abs(DY) == 2);
            EXPECT_EQ(D.At(X, Y), In ? 200 : 10) << X << "," << Y;
        }
    // Minimum of a dark dot in the corner: clamped stays near the corner,
    // wrapped reaches the opposite edges.
    for (int32_t Wrap : {0, 1}) {
        TDib C(5, 4, 8);
        std::memset(C.Bits, 90, 8 * 4);
        C.At(0, 0) = 3;
        ASSERT_EQ(BMPCircleMaskFilter(0, C.Header, C.Bits, nullptr, 1, uint8_t(Wrap)), 0);
        EXPECT_EQ(C.At(1, 1), 3);
        EXPECT_EQ(C.At(2, 0), 90);
        EXPECT_EQ(C.At(4, 3), Wrap ? 3 : 90);
        EXPECT_EQ(C.At(4, 0), Wrap ? 3 : 90);
        EXPECT_EQ(C.At(0, 3), Wrap ? 3 : 90);
    }
    // A 1 x 1 picture keeps its value.
    TDib One(1, 1, 8);
    One.At(0, 0) = 42;
    EXPECT_EQ(BMPCircleMaskFilter(0, One.Header, One.Bits, nullptr, 6, 0), 0);
    EXPECT_EQ(One.At(0, 0), 42);
}

TEST(BmpFilter, CircleMaskPlaneWeights)
{
    TDib D(3, 1, 8), M(3, 1, 8);
    const uint8_t Px[3] = {0, 0, 200};
    std::memcpy(D.Bits, Px, 3);
    M.At(0, 0) = 0;   // unchanged
    M.At(1, 0) = 128; // (128 x 200 + 127 x 0 + 255) shr 8 = 100
    M.At(2, 0) = 255; // (255 x 200 + 0 + 255) shr 8 = 200
    ASSERT_EQ(BMPCircleMaskFilter(1, D.Header, D.Bits, M.Bits, 1, 0), 0);
    EXPECT_EQ(D.Pixels(), (std::vector<uint8_t>{0, 100, 200}));
}

TEST(BmpFilter, CircleResultCodes)
{
    TDib D(4, 4, 8);
    D.At(2, 2) = 50;
    const std::vector<uint8_t> Before = D.Pixels();
    // The header must be a block of 40 bytes or more.
    BITMAPINFOHEADER Local = *D.H();
    EXPECT_EQ(BMPCircleMaskFilter(1, &Local, D.Bits, nullptr, 1, 0), 1);
    HGLOBAL Small = GlobalAlloc(GPTR, 39);
    std::memcpy(Small, D.Header, 39);
    EXPECT_EQ(BMPCircleMaskFilter(1, Small, D.Bits, nullptr, 1, 0), 1);
    GlobalFree(Small);
    // Other kinds and negative radii do nothing.
    EXPECT_EQ(BMPCircleMaskFilter(2, D.Header, D.Bits, nullptr, 1, 0), 0);
    EXPECT_EQ(BMPCircleMaskFilter(1, D.Header, D.Bits, nullptr, -1, 0), 0);
    EXPECT_EQ(D.Pixels(), Before);
    EXPECT_EQ(BmpMessageOf<EUserParamError>(
                  [&] { BMPCircleMaskFilter(1, D.Header, D.Bits, nullptr, MaxFilterRadius + 1, 0); }),
              "BMPCircleMaskFilter: Radius Too Large");
    // Not 8-bit, or empty: 3.
    D.H()->biBitCount = 24;
    EXPECT_EQ(BMPCircleMaskFilter(0, D.Header, D.Bits, nullptr, 1, 0), 3);
    D.H()->biBitCount = 8;
    D.H()->biHeight = 0;
    EXPECT_EQ(BMPCircleMaskFilter(0, D.Header, D.Bits, nullptr, 1, 0), 3);
    D.H()->biHeight = 4;
    EXPECT_EQ(D.Pixels(), Before);
}

TEST(BmpFilter, CircleMatchesPlainLoopDifferential)
{
    std::mt19937 G(61);
    const int32_t Sizes[][2] = {{1, 1}, {3, 2}, {9, 7}, {23, 17}, {40, 6}};
    for (const auto& Sz : Sizes)
        for (int32_t R : {0, 1, 2, 3, 4, 5, 8, 13})
            for (int32_t Kind : {0, 1})
                for (int32_t Wrap : {0, 1})
                    for (bool WithMask : {false, true}) {
                        TDib D(Sz[0], Sz[1], 8), M(Sz[0], Sz[1], 8);
                        D.Random(G);
                        M.Random(G);
                        M.At(0, 0) = 0;
                        const std::vector<uint8_t> Want = RefCircle(D, Kind, R, Wrap, WithMask ? &M : nullptr);
                        ASSERT_EQ(BMPCircleMaskFilter(uint8_t(Kind), D.Header, D.Bits, WithMask ? M.Bits : nullptr,
                                                      R, uint8_t(Wrap)),
                                  0);
                        ASSERT_EQ(D.Pixels(), Want) << Sz[0] << "x" << Sz[1] << " r " << R << " kind " << Kind
                                                    << " wrap " << Wrap << " mask " << WithMask;
                    }
}

// ===========================================================================
// BMPVHMaskFilter8 and BMPGaussBlur8

TEST(BmpFilter, GaussBlurHandComputed)
{
    // Radius 1: taps 341, 3414, 341 (sum 4096). A dot of 255 in one row:
    // (3414 x 255 + 2048) shr 12 = 213, (341 x 255 + 2048) shr 12 = 21; the
    // vertical pass over a single row (clamped) gives the value back.
    TPic P(10, 20, 5, 1, 8);
    P.Set(2, 0, 0, 255);
    BMPGaussBlur8(P.P, nullptr, 0, 1.0);
    EXPECT_EQ(P.Samples(), (std::vector<int32_t>{0, 21, 213, 21, 0}));

    // 16 bits keep their precision in both passes: 60000 -> 4995, 50010.
    TPic Q(0, 0, 5, 1, 16);
    Q.Set(2, 0, 0, 60000);
    BMPGaussBlur8(Q.P, nullptr, 0, 1.0);
    EXPECT_EQ(Q.Samples(), (std::vector<int32_t>{0, 4995, 50010, 4995, 0}));

    // 24-bit channels separately.
    TPic C(0, 0, 3, 1, 24);
    C.Set(0, 0, 2, 255);
    BMPGaussBlur8(C.P, nullptr, 0, 1.0);
    EXPECT_EQ(C.Samples(), (std::vector<int32_t>{0, 0, 234, 0, 0, 21, 0, 0, 0}));
    // (341 + 3414) x 255 = 957525 + 2048 -> 234 at the clamped edge.

    // Radius 0 leaves the picture alone.
    TPic Z(0, 0, 3, 3, 8);
    Z.Set(1, 1, 0, 99);
    BMPGaussBlur8(Z.P, nullptr, 1, 0.0);
    EXPECT_EQ(Z.Get(1, 1), 99);
}

TEST(BmpFilter, GaussBlurEdgesClampedAndWrapped)
{
    // Left column black, the rest white: wrapping darkens the right column too.
    for (int32_t Wrap : {0, 1}) {
        TPic P(0, 0, 6, 4, 8);
        for (int32_t Y = 0; Y < 4; ++Y)
            for (int32_t X = 1; X < 6; ++X)
                P.Set(X, Y, 0, 255);
        BMPGaussBlur8(P.P, nullptr, uint8_t(Wrap), 1.0);
        for (int32_t Y = 0; Y < 4; ++Y) {
            EXPECT_EQ(P.Get(0, Y), Wrap ? 42 : 21); // (2 or 1) x 341 x 255 + 2048, shr 12
            EXPECT_EQ(P.Get(1, Y), 234); // (3755 x 255 + 2048) shr 12
            EXPECT_EQ(P.Get(5, Y), Wrap ? 234 : 255);
        }
    }
    // Rows: a black top row darkens the bottom row only when wrapped.
    for (int32_t Wrap : {0, 1}) {
        TPic P(0, 0, 2, 5, 8);
        for (int32_t Y = 1; Y < 5; ++Y)
            for (int32_t X = 0; X < 2; ++X)
                P.Set(X, Y, 0, 255);
        BMPGaussBlur8(P.P, nullptr, uint8_t(Wrap), 1.0);
        EXPECT_EQ(P.Get(0, 4), Wrap ? 234 : 255);
        EXPECT_EQ(P.Get(1, 0), Wrap ? 42 : 21);
    }
}

TEST(BmpFilter, VHOffsetShiftAndZeroEntries)
{
    // Kernel (0, 2, 0), shift 1: each pass gives the value back ((2v + 1) shr 1);
    // the zero entries take no part. Offset is added after the vertical shift.
    TPic P(0, 0, 3, 2, 8);
    P.Set(0, 0, 0, 100);
    P.Set(1, 0, 0, 250);
    P.Set(2, 1, 0, 3);
    const int32_t K[3] = {0, 2, 0};
    BMPVHMaskFilter8(P.P, nullptr, const_cast<int32_t*>(K), 3, 1, 10, 0);
    EXPECT_EQ(P.Samples(), (std::vector<int32_t>{110, 255, 10, 10, 10, 13}));
    BMPVHMaskFilter8(P.P, nullptr, const_cast<int32_t*>(K), 3, 1, -20, 0);
    EXPECT_EQ(P.Samples(), (std::vector<int32_t>{90, 235, 0, 0, 0, 0}));
}

TEST(BmpFilter, VHRefusals)
{
    TPic P(0, 0, 4, 4, 32);
    const int32_t K[3] = {1, 2, 1};
    EXPECT_EQ(BmpMessageOf([&] { BMPVHMaskFilter8(P.P, nullptr, const_cast<int32_t*>(K), 3, 2, 0, 0); }),
              "BMPVHMaskFilter8: (pBIHeaderDst.biBitCount in [8, 24]");
    TPic Q(0, 0, 4, 4, 8);
    EXPECT_THROW(BMPVHMaskFilter8(Q.P, nullptr, const_cast<int32_t*>(K), 0, 2, 0, 0), EUserParamError);
    EXPECT_THROW(BMPVHMaskFilter8(Q.P, nullptr, nullptr, 3, 2, 0, 0), EUserParamError);
    EXPECT_THROW(BMPVHMaskFilter8(Q.P, nullptr, const_cast<int32_t*>(K), 3, 32, 0, 0), EUserParamError);
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] {
                  BMPVHMaskFilter8(Q.P, nullptr, const_cast<int32_t*>(K), MaxFilterKernelLength + 1, 2, 0, 0);
              }),
              "BMPVHMaskFilter8: Radius Too Large");
    // A 24-bit mask picture is refused; an empty picture does nothing.
    TPic M(0, 0, 4, 4, 24);
    EXPECT_THROW(BMPVHMaskFilter8(Q.P, &M.P, const_cast<int32_t*>(K), 3, 2, 0, 0), EUserParamError);
    TrecPicture Empty;
    EXPECT_NO_THROW(BMPVHMaskFilter8(Empty, nullptr, const_cast<int32_t*>(K), 3, 2, 0, 0));
    // The Gaussian frees its kernel, also when the filter raises.
    const size_t Blocks = GlobalBlockCount();
    EXPECT_THROW(BMPGaussBlur8(P.P, nullptr, 0, 3.0), EUserError);
    BMPGaussBlur8(Q.P, nullptr, 0, 3.0);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(BmpFilter, VH16BitMaskKeepsWhite)
{
    // Full mask weight on 16-bit white: (255 x 65535 + 255) div 255 = 65536
    // would wrap to black; it stays 65535.
    TPic P(0, 0, 4, 3, 16), M(0, 0, 4, 3, 8);
    for (int32_t Y = 0; Y < 3; ++Y)
        for (int32_t X = 0; X < 4; ++X) {
            P.Set(X, Y, 0, 65535);
            M.Set(X, Y, 0, 255);
        }
    M.Set(0, 0, 0, 0);
    P.Set(0, 0, 0, 1000);
    BMPGaussBlur8(P.P, &M.P, 0, 1.0);
    EXPECT_EQ(P.Get(0, 0), 1000); // weight 0: untouched
    EXPECT_EQ(P.Get(3, 2), 65535);
    EXPECT_EQ(P.Get(2, 1), 65535);
    EXPECT_EQ(MaskBlend16(255, 65535, 0), 65535);
    EXPECT_EQ(MaskBlend16(128, 1000, 3000), (128 * 1000 + 127 * 3000 + 255) / 255);
}

TEST(BmpFilter, VHMaskOfOtherSizeAndPosition)
{
    // The mask covers part of the picture at an offset: only the overlap is
    // written, weighted, and its edges read real pixels beyond the overlap.
    std::mt19937 G(7);
    TPic P(100, 50, 9, 7, 24), M(104, 47, 8, 6, 8);
    P.Random(G);
    M.Random(G);
    M.Set(0, 3, 0, 0);
    const std::vector<int32_t> Before = P.Samples();
    const int32_t K[5] = {1, 4, 6, 4, 1};
    const std::vector<int32_t> Want = RefVH(P, &M, {1, 4, 6, 4, 1}, 4, 0, false);
    BMPVHMaskFilter8(P.P, &M.P, const_cast<int32_t*>(K), 5, 4, 0, 0);
    EXPECT_EQ(P.Samples(), Want);
    // Columns 0..3 (page 100..103) and rows 3..6 are outside the overlap.
    for (int32_t Y = 0; Y < 7; ++Y)
        for (int32_t X = 0; X < 9; ++X)
            if (X < 4 || Y > 2) {
                for (int32_t C = 0; C < 3; ++C)
                    EXPECT_EQ(P.Get(X, Y, C), Before[(size_t(Y) * 9 + X) * 3 + C]);
            }
    // No overlap: nothing happens.
    TPic Far(500, 500, 3, 3, 8);
    BMPVHMaskFilter8(P.P, &Far.P, const_cast<int32_t*>(K), 5, 4, 0, 0);
    EXPECT_EQ(P.Samples(), Want);
}

TEST(BmpFilter, VHMatchesPlainLoopDifferential)
{
    std::mt19937 G(8);
    std::uniform_int_distribution<int32_t> Weight(-3, 300);
    int32_t Case = 0;
    for (int32_t Bits : {8, 16, 24})
        for (int32_t Wrap : {0, 1})
            for (int32_t N : {1, 2, 3, 5, 8, 13, 31})
                for (int32_t MaskKind : {0, 1, 2}) {
                    ++Case;
                    const int32_t W = 1 + int32_t(G() % 37), H = 1 + int32_t(G() % 23);
                    TPic P(-5, 9, W, H, Bits);
                    P.Random(G);
                    std::vector<int32_t> K(static_cast<size_t>(N));
                    for (int32_t& X : K)
                        X = Weight(G);
                    if (Case % 3 == 0) // symmetric kernels take the paired path
                        for (int32_t I = 0; I < N / 2; ++I)
                            K[size_t(N - 1 - I)] = K[size_t(I)];
                    const int32_t Shift = int32_t(G() % 12);
                    const int32_t Offset = int32_t(G() % 41) - 20;
                    // Mask: none, covering all, or a smaller one at an offset.
                    std::unique_ptr<TPic> M;
                    if (MaskKind == 1)
                        M = std::make_unique<TPic>(-5, 9, W, H, 8);
                    else if (MaskKind == 2)
                        M = std::make_unique<TPic>(-5 + int32_t(G() % (W + 1)) - 2, 9 + int32_t(G() % (H + 1)) - 2,
                                                   1 + int32_t(G() % 20), 1 + int32_t(G() % 15), 8);
                    if (M)
                        M->Random(G);
                    const std::vector<int32_t> Want = RefVH(P, M.get(), K, Shift, Offset, Wrap);
                    BMPVHMaskFilter8(P.P, M ? &M->P : nullptr, K.data(), N, Shift, Offset, uint8_t(Wrap));
                    ASSERT_EQ(P.Samples(), Want) << "bits " << Bits << " wrap " << Wrap << " n " << N << " mask "
                                                 << MaskKind << " " << W << "x" << H;
                }
}

TEST(BmpFilter, VHSumsAtTheLimitsOfTheirWidth)
{
    std::mt19937 G(9);
    // Shift 0 with weights 32 + 32: horizontal samples up to 16320 and pair
    // sums up to 32640, the most the 16-bit multiplies take. Only the white
    // 2 x 2 patch reaches 32 x 32640 - 1000000 > 255; a pair sum wrapped
    // to 16 bits would turn it black.
    for (int32_t Wrap : {0, 1}) {
        TPic P(0, 0, 17, 9, 8);
        P.Random(G);
        P.Set(3, 3, 0, 255);
        P.Set(4, 3, 0, 255);
        P.Set(3, 4, 0, 255);
        P.Set(4, 4, 0, 255);
        const std::vector<int32_t> K{32, 32};
        const std::vector<int32_t> Want = RefVH(P, nullptr, K, 0, -1000000, Wrap);
        BMPVHMaskFilter8(P.P, nullptr, const_cast<int32_t*>(K.data()), 2, 0, -1000000, uint8_t(Wrap));
        EXPECT_EQ(P.Samples(), Want);
        EXPECT_EQ(P.Get(4, 4), 255);
    }
    // Weights so large that 65535 x sum passes 2^31: the 64-bit sums agree
    // with the plain loop.
    for (int32_t Bits : {16, 8}) {
        TPic P(0, 0, 13, 11, Bits);
        P.Random(G);
        const std::vector<int32_t> K{40000, 1, 90000, 5, 40000};
        const std::vector<int32_t> Want = RefVH(P, nullptr, K, 17, 3, true);
        BMPVHMaskFilter8(P.P, nullptr, const_cast<int32_t*>(K.data()), 5, 17, 3, 1);
        EXPECT_EQ(P.Samples(), Want) << Bits;
    }
}

TEST(BmpFilter, GaussBlurMatchesPlainLoopAtLargeRadii)
{
    // Radius 10 and 30 on a picture smaller than the kernel: rows and
    // columns wrap several times.
    std::mt19937 G(10);
    for (double R : {2.0, 10.0, 30.0})
        for (int32_t Wrap : {0, 1}) {
            TPic P(0, 0, 37, 29, 24);
            P.Random(G);
            TKernel K;
            int32_t Length, Shift;
            MakeGaussKernel(R, Length, K.H, Shift);
            const std::vector<int32_t> Want = RefVH(P, nullptr, KernelOf(K.H, Length), 12, 0, Wrap);
            BMPGaussBlur8(P.P, nullptr, uint8_t(Wrap), R);
            EXPECT_EQ(P.Samples(), Want) << R << " " << Wrap;
        }
}

// ===========================================================================
// BMPBufFilter type 0 through the driver: window compaction, edges, mask
// rows, measuring

namespace {

// A Size x Size kernel with the given (column, row, weight) entries.
struct TSquareKernel {
    std::vector<int32_t> K;
    TSquareKernel(int32_t Size, std::initializer_list<std::array<int32_t, 3>> Entries)
        : K(static_cast<size_t>(Size) * Size, 0)
    {
        for (const auto& E : Entries)
            K[size_t(E[1]) * Size + E[0]] = E[2];
    }
    HGLOBAL H() { return K.data(); }
};

} // namespace

TEST(BmpFilter, ConvolutionWindowAndEdges)
{
    // A single entry two columns right of the centre of a 5 x 5 kernel: each
    // pixel takes the one two to its right (the window is narrowed to 5 x 1).
    for (int32_t Wrap : {0, 1}) {
        TSquareKernel K(5, {{4, 2, 1}});
        TDib D(5, 1, 8);
        for (int32_t X = 0; X < 5; ++X)
            D.At(X, 0) = uint8_t(10 * (X + 1));
        BMPBufFilter(0, D.Header, D.Bits, nullptr, 5, K.H(), 1, 0, 0, nullptr, nullptr, 0, uint8_t(Wrap));
        EXPECT_EQ(D.Pixels(), Wrap ? (std::vector<uint8_t>{30, 40, 50, 10, 20})
                                   : (std::vector<uint8_t>{30, 40, 50, 50, 50}));
    }
    // Rows: two up and two down; wrapping reads the top rows again after
    // they have been overwritten.
    for (int32_t Wrap : {0, 1})
        for (int32_t Row : {0, 4}) {
            TSquareKernel K(5, {{2, Row, 1}});
            TDib D(1, 5, 8);
            for (int32_t Y = 0; Y < 5; ++Y)
                D.At(0, Y) = uint8_t(10 * (Y + 1));
            BMPBufFilter(0, D.Header, D.Bits, nullptr, 5, K.H(), 1, 0, 0, nullptr, nullptr, 0, uint8_t(Wrap));
            std::vector<uint8_t> Want;
            for (int32_t Y = 0; Y < 5; ++Y)
                Want.push_back(uint8_t(10 * (MapRef(Y + Row - 2, 5, Wrap) + 1)));
            EXPECT_EQ(D.Pixels(), Want) << Wrap << " " << Row;
        }
}

TEST(BmpFilter, ConvolutionMaskRowsAndMeasuring)
{
    // Mask row y weights buffer row y: the right neighbours 20 30 40 50 50
    // under weights 0, 255, 128, 255, 255.
    TSquareKernel Shift(3, {{2, 1, 1}});
    TDib D(5, 2, 8), M(5, 2, 8);
    const uint8_t Weights[5] = {0, 255, 128, 255, 255};
    for (int32_t X = 0; X < 5; ++X) {
        D.At(X, 0) = uint8_t(10 * (X + 1));
        D.At(X, 1) = 7;
        M.At(X, 0) = Weights[X];
        M.At(X, 1) = 0;
    }
    BMPBufFilter(0, D.Header, D.Bits, M.Bits, 3, Shift.H(), 1, 0, 0, nullptr, nullptr, 0, 0);
    // (255 x 30 + 255) shr 8 = 30, (128 x 40 + 127 x 30 + 255) shr 8 = 35.
    EXPECT_EQ(D.Pixels(), (std::vector<uint8_t>{10, 30, 35, 50, 50, 7, 7, 7, 7, 7}));

    // Measuring: forward difference plus 128 gives 228, 328 -> 255, 228;
    // nothing is written.
    TSquareKernel Diff(3, {{2, 1, 1}, {0, 1, -1}});
    TDib E(3, 1, 8);
    E.At(1, 0) = 100;
    E.At(2, 0) = 200;
    int32_t Min = -1, Max = -1;
    BMPBufFilter(0, E.Header, E.Bits, nullptr, 3, Diff.H(), 1, 128, 0, &Min, &Max, 1, 0);
    EXPECT_EQ(Min, 228);
    EXPECT_EQ(Max, 255);
    EXPECT_EQ(E.Pixels(), (std::vector<uint8_t>{0, 100, 200}));
    BMPBufFilter(0, E.Header, E.Bits, nullptr, 3, Diff.H(), 1, 128, 0, &Min, &Max, 0, 0);
    EXPECT_EQ(E.Pixels(), (std::vector<uint8_t>{228, 255, 228}));
    EXPECT_EQ(Min, 255);
    EXPECT_EQ(Max, 0);

    // A kernel block smaller than Size x Size is refused.
    HGLOBAL Small = GlobalAlloc(GPTR, 8 * sizeof(int32_t));
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] {
                  BMPBufFilter(0, E.Header, E.Bits, nullptr, 3, Small, 1, 0, 0, nullptr, nullptr, 0, 0);
              }),
              "BMPBufFilter: Illegal Param");
    GlobalFree(Small);
}

TEST(BmpFilter, DiffuseWindowIsAlwaysThreeByThree)
{
    // Whatever Size the caller passes, diffuse draws from the 3 x 3 window
    // (a smaller side would read outside the ring, a larger one shift it).
    std::mt19937 G(12);
    TDib A(9, 6, 24), B(9, 6, 24);
    A.Random(G);
    std::memcpy(B.Bits, A.Bits, size_t(A.Line()) * 6);
    RandomSeed = 77;
    BMPBufFilter(1, A.Header, A.Bits, nullptr, 1, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0);
    RandomSeed = 77;
    BMPBufFilter(1, B.Header, B.Bits, nullptr, 3, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0);
    EXPECT_EQ(A.Pixels(), B.Pixels());
}

TEST(BmpFilter, VHSharpeningPath)
{
    // 3 x 2, grey 100 with one pixel of 200 at (1, 0); kernel 1 2 1, shift 2,
    // 100 % (A = 256), threshold 10. Blurred row 0: horizontal 125 150 125,
    // vertical (3 x 125 + 100 + 2) shr 2 = 119 and (3 x 150 + 100 + 2) shr 2 = 138.
    // (0, 0) and (1, 0) are selected: 100 + (100 - 119) = 81, 200 + 62 -> 255;
    // the last column and the last row stay.
    TPic P(0, 0, 3, 2, 24);
    for (int32_t Y = 0; Y < 2; ++Y)
        for (int32_t X = 0; X < 3; ++X)
            for (int32_t C = 0; C < 3; ++C)
                P.Set(X, Y, C, X == 1 && Y == 0 ? 200 : 100);
    const int32_t K[3] = {1, 2, 1};
    const int32_t Percent = 100, Threshold = 10;
    BMPVHMaskFilter8(P.P, nullptr, const_cast<int32_t*>(K), 3, 2, 0, 0, 0, &Percent, &Threshold);
    EXPECT_EQ(P.Samples(), (std::vector<int32_t>{81, 81, 81, 255, 255, 255, 100, 100, 100, 100, 100, 100,
                                                 100, 100, 100, 100, 100, 100}));
    // With a mask picture the sharpening is ignored: a plain weighted blur.
    TPic Q(0, 0, 3, 2, 24), M(0, 0, 3, 2, 8);
    for (int32_t X = 0; X < 3; ++X)
        M.Set(X, 0, 0, 255);
    Q.Set(1, 0, 0, 200);
    const std::vector<int32_t> Want = RefVH(Q, &M, {1, 2, 1}, 2, 0, false);
    BMPVHMaskFilter8(Q.P, &M.P, const_cast<int32_t*>(K), 3, 2, 0, 0, 0, &Percent, &Threshold);
    EXPECT_EQ(Q.Samples(), Want);
}

TEST(BmpFilter, AllBufFilterTypes)
{
    TPic D(0, 0, 4, 3, 24), S(0, 0, 4, 3, 24), Bump(0, 0, 2, 2, 16);
    EXPECT_EQ(BmpMessageOf([&] { BMPAllBufFilter(1, D.P, S.P, nullptr, 0, Bump.P, 50); }),
              "BMPAllBufFilter: Invalid AllBufFilterType ");
    // Type 0 is the glass: a flat bump plane leaves the picture as the source.
    std::mt19937 G(13);
    S.Random(G);
    BMPAllBufFilter(0, D.P, S.P, nullptr, 0, Bump.P, 50);
    EXPECT_EQ(D.Samples(), S.Samples());
}
