#include "raster/bmp_filter.h"

#include "bmp_conv_test_util.h"
#include "foundation/numbers.h"
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

int32_t MapRef(int64_t I, int32_t N, bool Wrap)
{
    if (Wrap)
        return int32_t(((I % N) + N) % N);
    return int32_t(I < 0 ? 0 : (I >= N ? N - 1 : I));
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

// A zero-filled picture record that frees itself, addressed top-down in
// picture coordinates; a 16-bit picture holds one sample per pixel.
struct TPic {
    TrecPicture P;
    int32_t W, Ht, Bits;
    TPic(int32_t Width, int32_t Height, int32_t BitCount, int32_t Left = 0, int32_t Top = 0)
        : W(Width), Ht(Height), Bits(BitCount)
    {
        RecPictureCreate(P, TPoint{Left, Top}, Width, Height, BitCount, false);
        std::memset(P.pBits, 0, size_t(RecPictureGetImageSize(P)));
    }
    ~TPic() { RecPictureClear(P); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    BITMAPINFOHEADER* H() const { return RecPictureHeader(P); }
    int32_t Spp() const { return Bits == 24 ? 3 : 1; }
    uint8_t* Row(int32_t Y) const { return P.pBits + (int64_t{Ht} - 1 - Y) * CalcLineBytes(W, Bits); }
    int32_t Get(int32_t X, int32_t Y, int32_t C = 0) const
    {
        return Bits == 16 ? reinterpret_cast<const uint16_t*>(Row(Y))[X] : Row(Y)[int64_t{X} * Spp() + C];
    }
    void Set(int32_t X, int32_t Y, int32_t C, int32_t V) const
    {
        if (Bits == 16)
            reinterpret_cast<uint16_t*>(Row(Y))[X] = uint16_t(V);
        else
            Row(Y)[int64_t{X} * Spp() + C] = uint8_t(V);
    }
    void Random(std::mt19937& G, int Hi = -1) const
    {
        std::uniform_int_distribution<int> D(0, Hi >= 0 ? Hi : Bits == 16 ? 65535 : 255);
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

// BMPBufFilter on a picture's own header and pixel blocks.
void Buf(uint8_t Type, const TPic& D, int32_t Size, int32_t Param, int32_t Wrap = 0, HGLOBAL Kernel = nullptr,
         int32_t Divisor = 0, int32_t Bias = 0, const TPic* Mask = nullptr, int32_t* Min = nullptr,
         int32_t* Max = nullptr, uint8_t Measure = 0)
{
    BMPBufFilter(Type, D.P.pBIHeader, D.P.pBits, Mask ? Mask->P.pBits : nullptr, Size, Kernel, Divisor, Bias,
                 Param, Min, Max, Measure, uint8_t(Wrap));
}

// Rank filter: Size x Size window from (x - h, y - h), SelectNthByte per channel.
std::vector<int32_t> RefRank(const TPic& D, int32_t Size, int32_t K, bool Wrap)
{
    std::vector<int32_t> Out;
    std::vector<uint8_t> Window(size_t(Size) * Size);
    for (int32_t Y = 0; Y < D.Ht; ++Y)
        for (int32_t X = 0; X < D.W; ++X)
            for (int32_t C = 0; C < D.Spp(); ++C) {
                size_t N = 0;
                for (int32_t DY = 0; DY < Size; ++DY)
                    for (int32_t DX = 0; DX < Size; ++DX)
                        Window[N++] = uint8_t(
                            D.Get(MapRef(X - Size / 2 + DX, D.W, Wrap), MapRef(Y - Size / 2 + DY, D.Ht, Wrap), C));
                Out.push_back(SelectNthByte(Window.data(), int32_t(N), K));
            }
    return Out;
}

// Circular minimum (Kind 0) / maximum with the (r + 0.5) circle, then the mask.
std::vector<int32_t> RefCircle(const TPic& D, int32_t Kind, int32_t R, bool Wrap, const TPic* Mask)
{
    std::vector<int32_t> Out;
    for (int32_t Y = 0; Y < D.Ht; ++Y)
        for (int32_t X = 0; X < D.W; ++X) {
            int32_t V = Kind == 1 ? 0 : 255;
            for (int32_t DY = -R; DY <= R; ++DY)
                for (int32_t DX = -R; DX <= R; ++DX)
                    if ((DX * DX + DY * DY) * 100 <= (10 * R + 5) * (10 * R + 5)) {
                        const int32_t P = D.Get(MapRef(X + DX, D.W, Wrap), MapRef(Y + DY, D.Ht, Wrap));
                        V = Kind == 1 ? std::max(V, P) : std::min(V, P);
                    }
            const int32_t Old = D.Get(X, Y), M = Mask ? Mask->Get(X, Y) : 255;
            Out.push_back(!Mask ? V : M == 0 ? Old : (M * V + (255 - M) * Old + 255) >> 8);
        }
    return Out;
}

// The separable filter straight from its rule, on a copy of the picture.
std::vector<int32_t> RefVH(const TPic& Pic, const TPic* Mask, const std::vector<int32_t>& K, int32_t Shift,
                           int32_t Offset, bool Wrap)
{
    const int32_t N = int32_t(K.size()), H = N / 2, S = Pic.Spp();
    const int64_t Round = Shift > 0 ? int64_t{1} << (Shift - 1) : 0, Max = Pic.Bits == 16 ? 65535 : 255;
    std::vector<int32_t> Out = Pic.Samples();
    std::vector<int64_t> Hor(size_t(Pic.W) * Pic.Ht * S); // horizontal pass over the whole picture
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
                        Sum += K[size_t(I)] * Hor[(size_t(MapRef(Y - H + I, Pic.Ht, Wrap)) * Pic.W + X) * S + C];
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

// Convolution straight from its rule: every kernel entry times the pixel it
// covers, divided (24-bit rounded unless a mask weights it), biased,
// clamped, then weighted by the mask.
std::vector<int32_t> RefConvolution(const TPic& D, const std::vector<int32_t>& K, int32_t Side, int32_t Divisor,
                                    int32_t Bias, bool Wrap, const TPic* Mask)
{
    std::vector<int32_t> Out;
    const int64_t Half = D.Bits == 24 && !Mask ? Divisor / 2 : 0;
    for (int32_t Y = 0; Y < D.Ht; ++Y)
        for (int32_t X = 0; X < D.W; ++X)
            for (int32_t C = 0; C < D.Spp(); ++C) {
                int64_t Sum = 0;
                for (int32_t KY = 0; KY < Side; ++KY)
                    for (int32_t KX = 0; KX < Side; ++KX)
                        Sum += int64_t{K[size_t(KY) * Side + KX]} *
                               D.Get(MapRef(X + KX - Side / 2, D.W, Wrap), MapRef(Y + KY - Side / 2, D.Ht, Wrap), C);
                const int32_t V = int32_t(std::clamp<int64_t>((Sum + Half) / Divisor + Bias, 0, 255));
                const int32_t Old = D.Get(X, Y, C), M = Mask ? Mask->Get(X, Y) : 255;
                Out.push_back(!Mask ? V : M == 0 ? Old : (M * V + (255 - M) * Old + 255) >> 8);
            }
    return Out;
}

// A Size x Size kernel with the given (column, row, weight) entries.
struct TSquareKernel {
    std::vector<int32_t> K;
    TSquareKernel(int32_t Size, std::initializer_list<std::array<int32_t, 3>> Entries) : K(size_t(Size) * Size, 0)
    {
        for (const auto& E : Entries)
            K[size_t(E[1]) * Size + E[0]] = E[2];
    }
    HGLOBAL H() { return K.data(); }
};

} // namespace

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
    for (double R : {0.0, -3.0, std::nan("")})
        EXPECT_EQ(GetGaussKernelSize(R, Shift, S), 0) << R;
    // A vanishing radius keeps the centre alone instead of looping on NaN.
    EXPECT_EQ(GetGaussKernelSize(1e-200, Shift, S), 1);
    // The radius is capped: 1000 sqrt(ln 128 / ln 10) = 1451.6.
    EXPECT_EQ(GetGaussKernelSize(1000.0, Shift, S), 1452);
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
    // Radius 0.5: 0.4095, 4095.18, 0.4095 round to 0, 4095, 0; the two equal
    // fractions (key 4095) and the centre's (1809) sorted by the list's
    // quicksort in descending order put index 2 first, so the right side
    // takes the unit. Radius 2: the outer pair ties the same way.
    const std::pair<double, std::vector<int32_t>> Cases[] = {
        {0.5, {0, 4095, 1}},
        {1.0, {0, 341, 3414, 341, 0}},
        {2.0, {10, 175, 986, 1753, 986, 175, 11}},
    };
    for (const auto& [Radius, Want] : Cases) {
        MakeGaussKernel(Radius, Length, K.H, Shift);
        EXPECT_EQ(Shift, 12);
        EXPECT_EQ(KernelOf(K.H, Length), Want) << Radius;
        GlobalFreeQ(K.H);
    }
    MakeGaussKernel(0.0, Length, K.H, Shift);
    EXPECT_TRUE(Length == 0 && K.H == nullptr);
    // Every kernel sums to 4096 or a little more and falls off from the
    // centre; a symmetric pair differs by at most the one rounding unit.
    int32_t Split = 0;
    for (int32_t Step = 5; Step < 3000; Step += 5) {
        MakeGaussKernel(Step / 100.0, Length, K.H, Shift);
        const std::vector<int32_t> V = KernelOf(K.H, Length);
        GlobalFreeQ(K.H);
        int64_t Sum = 0;
        for (int32_t X : V)
            Sum += X;
        EXPECT_GE(Sum, 4096) << Step;
        EXPECT_LE(Sum, 4096 + Length / 2) << Step;
        for (int32_t I = 0; I < Length / 2; ++I) {
            if (Step < 1200) { // beyond, a rounding unit may lift an entry over its inner neighbour
                EXPECT_LE(V[size_t(I)], V[size_t(I + 1)]) << Step;
            }
            const int32_t L = V[size_t(I)], R = V[size_t(Length - 1 - I)];
            Split += L != R;
            EXPECT_LE(std::abs(L - R), 1) << Step;
        }
    }
    EXPECT_GT(Split, 50);
}

TEST(BmpFilter, SquareKernelBuilders)
{
    TKernel K;
    int32_t Side = -1, Count = -1;
    auto Take = [&](int32_t N) {
        const std::vector<int32_t> V = KernelOf(K.H, N);
        GlobalFreeQ(K.H);
        return V;
    };
    // Circle: RoundOff(sqrt 2) = 1 keeps the full 3 x 3 block; at radius 2
    // the corners (sqrt 8 rounds to 3) are out, (2, 1) (sqrt 5) is in.
    MakeCircleMask(0, Side, K.H, Count);
    EXPECT_EQ(Take(Side * Side), std::vector<int32_t>{1});
    MakeCircleMask(1, Side, K.H, Count);
    EXPECT_EQ(Take(Side * Side), std::vector<int32_t>(9, 1));
    MakeCircleMask(2, Side, K.H, Count);
    EXPECT_EQ(Count, 21);
    const std::vector<int32_t> C = Take(25);
    EXPECT_EQ(C[0] + C[4] + C[20] + C[24], 0);
    EXPECT_EQ(C[1] + C[5], 2);
    MakeCircleMask(-1, Side, K.H, Count);
    EXPECT_TRUE(Side == 0 && Count == 0 && K.H == nullptr);
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] { MakeCircleMask(MaxFilterRadius + 1, Side, K.H, Count); }),
              "MakeCircleMask: Radius Too Large");
    // Emboss, size 3: +256 at (2, 1), -256 at (0, 1); angle 90 points down
    // the rows. Scale = 65536 div Divisor, taken unsigned.
    int32_t Scale = 0;
    MakeFilterEmboss(3, 0, 4, Side, K.H, Scale);
    EXPECT_EQ(Take(Side * Side), (std::vector<int32_t>{0, 0, 0, -256, 0, 256, 0, 0, 0}));
    EXPECT_EQ(Scale, 16384);
    MakeFilterEmboss(3, 90, 3, Side, K.H, Scale);
    EXPECT_EQ(Take(Side * Side), (std::vector<int32_t>{0, -256, 0, 0, 0, 0, 0, 256, 0}));
    EXPECT_EQ(Scale, 21845);
    // Size 2: centre and 1 + RoundOff(-1.42 cos a).
    MakeFilterEmboss(2, 0, -1, Side, K.H, Scale);
    EXPECT_EQ(Take(Side * Side), (std::vector<int32_t>{0, 0, 0, -256, 256, 0, 0, 0, 0}));
    EXPECT_EQ(Scale, 0);
    // Size 4, angle 0: m = 2, d = 1.5: +256 at (3, 2), -256 at (0, 2).
    MakeFilterEmboss(4, 0, 1, Side, K.H, Scale);
    EXPECT_EQ(Take(Side * Side), TSquareKernel(4, {{3, 2, 256}, {0, 2, -256}}).K);
    MakeFilterEmboss(1, 0, 1, Side, K.H, Scale);
    EXPECT_TRUE(Side == 0 && K.H == nullptr);
    EXPECT_THROW(MakeFilterEmboss(3, 0, 0, Side, K.H, Scale), EUserParamError);
    EXPECT_THROW(MakeFilterEmboss(2 * MaxFilterRadius + 2, 0, 1, Side, K.H, Scale), EUserParamError);
    // Gradate move, length 3 along the centre row: 65 steps of 1/32 share
    // out as 16.5, 32, 16.5 (x 128); angle 90 takes the centre column.
    int32_t Sum = 0;
    MakeFilterGradateMove(3, 0, Side, K.H, Sum);
    EXPECT_EQ(Take(Side * Side), (std::vector<int32_t>{0, 0, 0, 2112, 4096, 2112, 0, 0, 0}));
    EXPECT_EQ(Sum, 8320);
    MakeFilterGradateMove(3, 90, Side, K.H, Sum);
    const std::vector<int32_t> V = Take(9);
    EXPECT_EQ(V[1] + V[4] + V[7], Sum);
    EXPECT_EQ(V[4], 4096);
    // Even length: side 2 (L div 2) + 1, all inside the block.
    for (int32_t A = 0; A < 360; A += 15) {
        MakeFilterGradateMove(6, A, Side, K.H, Sum);
        EXPECT_EQ(Side, 7);
        EXPECT_NEAR(Sum, 5 * 32 * 128 + 128, 60) << A;
        GlobalFreeQ(K.H);
    }
    MakeFilterGradateMove(1, 0, Side, K.H, Sum);
    EXPECT_TRUE(Side == 0 && K.H == nullptr);
    EXPECT_THROW(MakeFilterGradateMove(3, std::nan(""), Side, K.H, Sum), EUserParamError);
    EXPECT_THROW(MakeFilterGradateMove(2 * MaxFilterRadius + 2, 0, Side, K.H, Sum), EUserParamError);
    EXPECT_EQ(K.H, nullptr);
}

TEST(BmpFilter, RankHandComputed)
{
    TPic D(3, 3, 8), C(3, 3, 8);
    for (int32_t I = 0; I < 18; ++I)
        (I < 9 ? D : C).Set(I % 3, I / 3 % 3, 0, 10 * (I % 9 + 1)); // 10 .. 90, top row first
    // Clamped median at (0, 0): 10 10 20 / 10 10 20 / 40 40 50 -> 20; wrapped, all nine values.
    Buf(6, D, 3, 4);
    EXPECT_EQ(D.Get(0, 0), 20);
    EXPECT_EQ(D.Get(1, 1), 50);
    Buf(6, C, 3, 4, 1);
    EXPECT_EQ(C.Samples(), std::vector<int32_t>(9, 50));
    // A 1 x 1 picture, Wrap clear: every neighbour is the pixel itself; nothing measured.
    TPic One(1, 1, 8);
    One.Set(0, 0, 0, 77);
    int32_t Min = -1, Max = -1;
    Buf(6, One, 5, 12, 0, nullptr, 0, 0, nullptr, &Min, &Max);
    EXPECT_EQ((std::vector<int32_t>{One.Get(0, 0), Min, Max}), (std::vector<int32_t>{77, 255, 0}));
}

TEST(BmpFilter, BufFilterRefusals)
{
    TPic D(4, 4, 8);
    D.Set(1, 1, 0, 9);
    const std::vector<int32_t> Before = D.Samples();
    // The rank must lie inside the window (Size^2 values); the side is capped.
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] { Buf(6, D, 3, 9); }), "BMPBufFilter: Illegal Param");
    EXPECT_THROW(Buf(6, D, 3, -1), EUserParamError);
    EXPECT_THROW(Buf(6, D, 0, 0), EUserParamError);
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] { Buf(6, D, 2 * MaxFilterRadius + 3, 0); }),
              "BMPBufFilter: Radius Too Large");
    TPic Mask(4, 4, 8);
    EXPECT_EQ(BmpMessageOf([&] { Buf(6, D, 3, 4, 0, nullptr, 0, 0, &Mask); }), "SubRankFilter: Mask Not Supported");
    EXPECT_EQ(D.Samples(), Before);
    // Type 0 with Divisor 0 returns before looking at the depth.
    D.H()->biBitCount = 16;
    EXPECT_NO_THROW(Buf(0, D, 3, 0));
    EXPECT_EQ(BmpMessageOf([&] { Buf(6, D, 3, 4, 0, nullptr, 1); }), "BMPBufFilter: (pBInfo^.biBitCount in [8, 24]");
    D.H()->biBitCount = 8;
    // Width or height 0: nothing, not even the rank check; a negative height is refused.
    D.H()->biWidth = 0;
    EXPECT_NO_THROW(Buf(6, D, 3, 99, 0, nullptr, 1));
    D.H()->biWidth = 4;
    D.H()->biHeight = -4;
    EXPECT_THROW(Buf(6, D, 3, 4, 0, nullptr, 1), EUserParamError);
    D.H()->biHeight = 4;
    // Unknown types leave the buffer and report the empty range.
    int32_t Min = -1, Max = -1;
    Buf(9, D, 3, 0, 0, nullptr, 1, 0, nullptr, &Min, &Max);
    EXPECT_EQ(D.Samples(), Before);
    EXPECT_EQ(std::pair(Min, Max), std::pair(255, 0));
}

TEST(BmpFilter, BufFilterUnlocksMoveableArguments)
{
    // Header, bits and mask as moveable handles: locked for the call and
    // unlocked again, also when the call raises.
    TPic D(5, 4, 8);
    HGLOBAL HH = GlobalAlloc(GMEM_MOVEABLE, 40);
    HGLOBAL HB = GlobalAlloc(GMEM_MOVEABLE, 8 * 4);
    HGLOBAL HM = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8 * 4);
    std::memcpy(GlobalLock(HH), D.P.pBIHeader, 40);
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
    for (HGLOBAL H : {HH, HB, HM}) {
        EXPECT_EQ(GlobalFlags(H) & GMEM_LOCKCOUNT, 0u);
        GlobalFree(H);
    }
}

TEST(BmpFilter, RankMatchesSelectionDifferential)
{
    std::mt19937 G(6);
    const int32_t Sizes[][2] = {{1, 1}, {2, 3}, {7, 5}, {16, 9}, {5, 40}};
    for (const auto& Sz : Sizes)
        for (int32_t Bits : {8, 24})
            for (int32_t Wrap : {0, 1})
                for (int32_t Size : {1, 2, 3, 4, 7, 9}) {
                    TPic D(Sz[0], Sz[1], Bits);
                    D.Random(G, Size % 2 ? 255 : 3); // few levels make long runs of equal values
                    const int32_t K = std::uniform_int_distribution<int32_t>(0, Size * Size - 1)(G);
                    const std::vector<int32_t> Want = RefRank(D, Size, K, Wrap);
                    Buf(6, D, Size, K, Wrap);
                    ASSERT_EQ(D.Samples(), Want) << Sz[0] << "x" << Sz[1] << " bits " << Bits << " wrap " << Wrap
                                                 << " size " << Size << " k " << K;
                }
}

TEST(BmpFilter, ConvolutionWindowAndEdges)
{
    // A single entry two columns right of the centre of a 5 x 5 kernel (the
    // window narrowed to 5 x 1): each pixel takes the one two to its right.
    for (int32_t Wrap : {0, 1}) {
        TSquareKernel K(5, {{4, 2, 1}});
        TPic D(5, 1, 8);
        for (int32_t X = 0; X < 5; ++X)
            D.Set(X, 0, 0, 10 * (X + 1));
        Buf(0, D, 5, 0, Wrap, K.H(), 1);
        EXPECT_EQ(D.Samples(), (std::vector<int32_t>{30, 40, 50, Wrap ? 10 : 50, Wrap ? 20 : 50}));
    }
    // Two rows up or down; wrapping reads the top rows again after they were overwritten.
    for (int32_t Wrap : {0, 1})
        for (int32_t Row : {0, 4}) {
            TSquareKernel K(5, {{2, Row, 1}});
            TPic D(1, 5, 8);
            std::vector<int32_t> Want;
            for (int32_t Y = 0; Y < 5; ++Y) {
                D.Set(0, Y, 0, 10 * (Y + 1));
                Want.push_back(10 * (MapRef(Y + Row - 2, 5, Wrap) + 1));
            }
            Buf(0, D, 5, 0, Wrap, K.H(), 1);
            EXPECT_EQ(D.Samples(), Want) << Wrap << " " << Row;
        }
}

TEST(BmpFilter, ConvolutionMaskRowsAndMeasuring)
{
    // Mask row y weights buffer row y: the right neighbours 20 30 40 50 50
    // under weights 0, 255, 128, 255, 255.
    TSquareKernel Shift(3, {{2, 1, 1}});
    TPic D(5, 2, 8), M(5, 2, 8);
    const int32_t Weights[5] = {0, 255, 128, 255, 255};
    for (int32_t X = 0; X < 5; ++X) {
        D.Set(X, 0, 0, 10 * (X + 1));
        D.Set(X, 1, 0, 7);
        M.Set(X, 0, 0, Weights[X]);
    }
    Buf(0, D, 3, 0, 0, Shift.H(), 1, 0, &M);
    // (255 x 30 + 255) shr 8 = 30, (128 x 40 + 127 x 30 + 255) shr 8 = 35.
    EXPECT_EQ(D.Samples(), (std::vector<int32_t>{10, 30, 35, 50, 50, 7, 7, 7, 7, 7}));
    // Measuring: forward difference plus 128 gives 228, 328 -> 255, 228; nothing is written.
    TSquareKernel Diff(3, {{2, 1, 1}, {0, 1, -1}});
    TPic E(3, 1, 8);
    E.Set(1, 0, 0, 100);
    E.Set(2, 0, 0, 200);
    int32_t Min = -1, Max = -1;
    Buf(0, E, 3, 0, 0, Diff.H(), 1, 128, nullptr, &Min, &Max, 1);
    EXPECT_EQ(std::pair(Min, Max), std::pair(228, 255));
    EXPECT_EQ(E.Samples(), (std::vector<int32_t>{0, 100, 200}));
    Buf(0, E, 3, 0, 0, Diff.H(), 1, 128, nullptr, &Min, &Max);
    EXPECT_EQ(E.Samples(), (std::vector<int32_t>{228, 255, 228}));
    EXPECT_EQ(std::pair(Min, Max), std::pair(255, 0));
    // A kernel block smaller than Size x Size is refused.
    HGLOBAL Small = GlobalAlloc(GPTR, 8 * sizeof(int32_t));
    EXPECT_EQ(BmpMessageOf<EUserParamError>([&] { Buf(0, E, 3, 0, 0, Small, 1); }), "BMPBufFilter: Illegal Param");
    GlobalFree(Small);
}

TEST(BmpFilter, DiffuseWindowIsAlwaysThreeByThree)
{
    // Whatever Size the caller passes, diffuse draws from the 3 x 3 window.
    std::mt19937 G(12);
    TPic A(9, 6, 24), B(9, 6, 24);
    A.Random(G);
    std::memcpy(B.P.pBits, A.P.pBits, size_t(RecPictureGetImageSize(A.P)));
    RandomSeed = 77;
    Buf(1, A, 1, 0);
    RandomSeed = 77;
    Buf(1, B, 3, 0);
    EXPECT_EQ(A.Samples(), B.Samples());
}

TEST(BmpFilter, CircleHandComputedAndResultCodes)
{
    // A bright dot: maximum radius 2 covers the 5 x 5 block without its corners (8 > 6.25).
    TPic D(7, 7, 8);
    std::memset(D.P.pBits, 10, 8 * 7);
    D.Set(3, 3, 0, 200);
    ASSERT_EQ(BMPCircleMaskFilter(1, D.P.pBIHeader, D.P.pBits, nullptr, 2, 0), 0);
    for (int32_t Y = 0; Y < 7; ++Y)
        for (int32_t X = 0; X < 7; ++X) {
            const int32_t DX = std::abs(X - 3), DY = std::abs(Y - 3);
            EXPECT_EQ(D.Get(X, Y), DX <= 2 && DY <= 2 && DX + DY < 4 ? 200 : 10) << X << "," << Y;
        }
    // Mask weights: 0 unchanged, (128 x 200 + 255) shr 8 = 100, 255 the maximum.
    TPic P(3, 1, 8), M(3, 1, 8);
    P.Set(2, 0, 0, 200);
    M.Set(1, 0, 0, 128);
    M.Set(2, 0, 0, 255);
    ASSERT_EQ(BMPCircleMaskFilter(1, P.P.pBIHeader, P.P.pBits, M.P.pBits, 1, 0), 0);
    EXPECT_EQ(P.Samples(), (std::vector<int32_t>{0, 100, 200}));
    // Result codes; the picture stays.
    std::memset(D.P.pBits, 0, 8 * 7);
    D.Set(2, 2, 0, 50);
    const std::vector<int32_t> Before = D.Samples();
    // The header must be a block of 40 bytes or more.
    BITMAPINFOHEADER Local = *D.H();
    EXPECT_EQ(BMPCircleMaskFilter(1, &Local, D.P.pBits, nullptr, 1, 0), 1);
    HGLOBAL Small = GlobalAlloc(GPTR, 39);
    std::memcpy(Small, D.P.pBIHeader, 39);
    EXPECT_EQ(BMPCircleMaskFilter(1, Small, D.P.pBits, nullptr, 1, 0), 1);
    GlobalFree(Small);
    // Other kinds and negative radii do nothing.
    EXPECT_EQ(BMPCircleMaskFilter(2, D.P.pBIHeader, D.P.pBits, nullptr, 1, 0), 0);
    EXPECT_EQ(BMPCircleMaskFilter(1, D.P.pBIHeader, D.P.pBits, nullptr, -1, 0), 0);
    EXPECT_EQ(BmpMessageOf<EUserParamError>(
                  [&] { BMPCircleMaskFilter(1, D.P.pBIHeader, D.P.pBits, nullptr, MaxFilterRadius + 1, 0); }),
              "BMPCircleMaskFilter: Radius Too Large");
    // Not 8-bit, or empty: 3.
    D.H()->biBitCount = 24;
    EXPECT_EQ(BMPCircleMaskFilter(0, D.P.pBIHeader, D.P.pBits, nullptr, 1, 0), 3);
    D.H()->biBitCount = 8;
    D.H()->biHeight = 0;
    EXPECT_EQ(BMPCircleMaskFilter(0, D.P.pBIHeader, D.P.pBits, nullptr, 1, 0), 3);
    D.H()->biHeight = 7;
    EXPECT_EQ(D.Samples(), Before);
}

TEST(BmpFilter, CircleMatchesPlainLoopDifferential)
{
    std::mt19937 G(61);
    const int32_t Sizes[][2] = {{1, 1}, {3, 2}, {9, 7}, {23, 17}, {40, 6}};
    for (const auto& Sz : Sizes)
        for (int32_t R : {0, 1, 2, 3, 5, 13})
            for (int32_t Kind : {0, 1})
                for (int32_t Wrap : {0, 1})
                    for (bool WithMask : {false, true}) {
                        TPic D(Sz[0], Sz[1], 8), M(Sz[0], Sz[1], 8);
                        D.Random(G);
                        M.Random(G);
                        M.Set(0, 0, 0, 0);
                        const std::vector<int32_t> Want = RefCircle(D, Kind, R, Wrap, WithMask ? &M : nullptr);
                        ASSERT_EQ(BMPCircleMaskFilter(uint8_t(Kind), D.P.pBIHeader, D.P.pBits,
                                                      WithMask ? M.P.pBits : nullptr, R, uint8_t(Wrap)), 0);
                        ASSERT_EQ(D.Samples(), Want) << Sz[0] << "x" << Sz[1] << " r " << R << " kind " << Kind
                                                     << " wrap " << Wrap << " mask " << WithMask;
                    }
}

TEST(BmpFilter, CircularMeanMatchesPlainLoopDifferential)
{
    // The circular mean is summed by runs of each kernel row; it must give
    // what the entry-by-entry sum gives, at every radius, size and edge rule.
    std::mt19937 G(25);
    const int32_t Sizes[][2] = {{1, 1}, {3, 2}, {7, 9}, {37, 5}, {19, 15}};
    for (int32_t R = 0; R <= 30; ++R) {
        TKernel K;
        int32_t Side = 0, Count = 0;
        MakeCircleMask(R, Side, K.H, Count);
        // Weights of 1, 2 and 3 by turns, negative ones, and one so large
        // that the sums need more than single precision.
        const int32_t Weight = R == 7 ? 20000 : R % 4 == 3 ? -2 : 1 + R % 3;
        std::vector<int32_t> Kernel = KernelOf(K.H, Side * Side);
        for (int32_t& E : Kernel)
            E *= Weight;
        for (const auto& Sz : Sizes)
            for (int32_t Bits : {8, 24})
                for (int32_t Wrap : {0, 1})
                    for (bool WithMask : {false, true}) {
                        TPic D(Sz[0], Sz[1], Bits), M(Sz[0], Sz[1], 8);
                        D.Random(G);
                        M.Random(G);
                        M.Set(0, 0, 0, 0);
                        const int32_t Bias = WithMask ? 0 : int32_t(G() % 7) - 3;
                        const std::vector<int32_t> Want =
                            RefConvolution(D, Kernel, Side, Count * Weight, Bias, Wrap, WithMask ? &M : nullptr);
                        Buf(0, D, Side, 0, Wrap, Kernel.data(), Count * Weight, Bias, WithMask ? &M : nullptr);
                        ASSERT_EQ(D.Samples(), Want) << Sz[0] << "x" << Sz[1] << " r " << R << " bits " << Bits
                                                     << " wrap " << Wrap << " mask " << WithMask;
                    }
    }
    // Measuring by runs reports the same range as the plain sum, writing nothing.
    TKernel K;
    int32_t Side = 0, Count = 0;
    MakeCircleMask(4, Side, K.H, Count);
    TPic D(20, 11, 24);
    D.Random(G);
    const std::vector<int32_t> Before = D.Samples();
    const std::vector<int32_t> Want = RefConvolution(D, KernelOf(K.H, Side * Side), Side, Count / 2, -60, false, nullptr);
    int32_t Min = -1, Max = -1;
    Buf(0, D, Side, 0, 0, K.H, Count / 2, -60, nullptr, &Min, &Max, 1);
    EXPECT_EQ(std::pair(Min, Max), std::pair(*std::min_element(Want.begin(), Want.end()),
                                             *std::max_element(Want.begin(), Want.end())));
    EXPECT_EQ(D.Samples(), Before);
}

TEST(BmpFilter, ConvolutionMatchesPlainLoopForAnyKernel)
{
    // Kernels of every shape the convolution takes its short cuts for (runs
    // of equal weights, sums within 16, 24 or 31 bits) and beyond them:
    // random sparse ones, motion blurs, and weights that need 64-bit sums.
    std::mt19937 G(31);
    std::vector<std::pair<std::vector<int32_t>, int32_t>> Kernels; // entries, side
    for (int32_t Side : {1, 3, 5, 9})
        for (int32_t Range : {1, 300, 40000, 9000000}) {
            std::vector<int32_t> K(size_t(Side) * Side);
            std::uniform_int_distribution<int32_t> W(-Range, Range);
            for (int32_t& E : K)
                E = G() % 3 == 0 ? 0 : (G() % 2 ? W(G) : Range); // runs of equal weights among random ones
            Kernels.emplace_back(K, Side);
        }
    for (double Angle : {0.0, 90.0, 30.0}) {
        TKernel K;
        int32_t Side = 0, Sum = 0;
        MakeFilterGradateMove(13, Angle, Side, K.H, Sum);
        Kernels.emplace_back(KernelOf(K.H, Side * Side), Side);
    }
    for (const auto& [Kernel, Side] : Kernels)
        for (int32_t Bits : {8, 24})
            for (int32_t Wrap : {0, 1})
                for (int32_t Mode : {0, 1, 2}) { // plain, masked, measuring
                    TPic D(17, 6, Bits), M(17, 6, 8);
                    D.Random(G);
                    M.Random(G);
                    int64_t Total = 0;
                    for (int32_t E : Kernel)
                        Total += E;
                    const int32_t Divisor =
                        Total != 0 && std::abs(Total) < (int64_t{1} << 31) ? int32_t(Total) : 1 + int32_t(G() % 1000);
                    const int32_t Bias = int32_t(G() % 61) - 30;
                    std::vector<int32_t> K = Kernel;
                    std::vector<int32_t> Want =
                        RefConvolution(D, K, Side, Divisor, Bias, Wrap, Mode == 1 ? &M : nullptr);
                    if (Mode == 2) {
                        // Measuring: rounded as unmasked results are, nothing written.
                        const std::vector<int32_t> Before = D.Samples();
                        int32_t Min = -1, Max = -1;
                        Buf(0, D, Side, 0, Wrap, K.data(), Divisor, Bias, nullptr, &Min, &Max, 1);
                        ASSERT_EQ(std::pair(Min, Max), std::pair(*std::min_element(Want.begin(), Want.end()),
                                                                 *std::max_element(Want.begin(), Want.end())))
                            << "side " << Side << " bits " << Bits << " wrap " << Wrap;
                        ASSERT_EQ(D.Samples(), Before);
                        continue;
                    }
                    Buf(0, D, Side, 0, Wrap, K.data(), Divisor, Bias, Mode == 1 ? &M : nullptr);
                    ASSERT_EQ(D.Samples(), Want) << "side " << Side << " bits " << Bits << " wrap " << Wrap
                                                 << " mode " << Mode << " divisor " << Divisor;
                }
    // A quotient just below a whole number that single precision would
    // round up: 255 x 6274527 = 1600004385 = 200 x 8000022 - 19.
    TPic One(4, 1, 8);
    std::memset(One.P.pBits, 255, 4);
    int32_t Weight = 6274527;
    Buf(0, One, 1, 0, 0, &Weight, 8000022);
    EXPECT_EQ(One.Samples(), (std::vector<int32_t>{199, 199, 199, 199}));
}

TEST(BmpFilter, GaussBlurHandComputed)
{
    // Radius 1: taps 341, 3414, 341. A dot of 255 in one row:
    // (3414 x 255 + 2048) shr 12 = 213, (341 x 255 + 2048) shr 12 = 21; the
    // vertical pass over a single row (clamped) gives the value back.
    TPic P(5, 1, 8, 10, 20), Q(5, 1, 16), C(3, 1, 24), Z(3, 3, 8);
    P.Set(2, 0, 0, 255);
    BMPGaussBlur8(P.P, nullptr, 0, 1.0);
    EXPECT_EQ(P.Samples(), (std::vector<int32_t>{0, 21, 213, 21, 0}));
    // 16 bits keep their precision in both passes: 60000 -> 4995, 50010.
    Q.Set(2, 0, 0, 60000);
    BMPGaussBlur8(Q.P, nullptr, 0, 1.0);
    EXPECT_EQ(Q.Samples(), (std::vector<int32_t>{0, 4995, 50010, 4995, 0}));
    // 24-bit channels separately; (341 + 3414) x 255 + 2048 -> 234 at the clamped edge.
    C.Set(0, 0, 2, 255);
    BMPGaussBlur8(C.P, nullptr, 0, 1.0);
    EXPECT_EQ(C.Samples(), (std::vector<int32_t>{0, 0, 234, 0, 0, 21, 0, 0, 0}));
    // Radius 0 leaves the picture alone.
    Z.Set(1, 1, 0, 99);
    BMPGaussBlur8(Z.P, nullptr, 1, 0.0);
    EXPECT_EQ(Z.Get(1, 1), 99);
}

TEST(BmpFilter, VHRefusals)
{
    TPic P(4, 4, 32), Q(4, 4, 8), M(4, 4, 24);
    int32_t K[3] = {1, 2, 1};
    EXPECT_EQ(BmpMessageOf([&] { BMPVHMaskFilter8(P.P, nullptr, K, 3, 2, 0, 0); }),
              "BMPVHMaskFilter8: (pBIHeaderDst.biBitCount in [8, 24]");
    EXPECT_THROW(BMPVHMaskFilter8(Q.P, nullptr, K, 0, 2, 0, 0), EUserParamError);
    EXPECT_THROW(BMPVHMaskFilter8(Q.P, nullptr, nullptr, 3, 2, 0, 0), EUserParamError);
    EXPECT_THROW(BMPVHMaskFilter8(Q.P, nullptr, K, 3, 32, 0, 0), EUserParamError);
    EXPECT_EQ(BmpMessageOf<EUserParamError>(
                  [&] { BMPVHMaskFilter8(Q.P, nullptr, K, MaxFilterKernelLength + 1, 2, 0, 0); }),
              "BMPVHMaskFilter8: Radius Too Large");
    // A 24-bit mask picture is refused; an empty picture does nothing.
    EXPECT_THROW(BMPVHMaskFilter8(Q.P, &M.P, K, 3, 2, 0, 0), EUserParamError);
    TrecPicture Empty;
    EXPECT_NO_THROW(BMPVHMaskFilter8(Empty, nullptr, K, 3, 2, 0, 0));
    // The Gaussian frees its kernel, also when the filter raises.
    const size_t Blocks = GlobalBlockCount();
    EXPECT_THROW(BMPGaussBlur8(P.P, nullptr, 0, 3.0), EUserError);
    BMPGaussBlur8(Q.P, nullptr, 0, 3.0);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(BmpFilter, VH16BitMaskKeepsWhite)
{
    // Full weight on 16-bit white: (255 x 65535 + 255) div 255 = 65536
    // would wrap to black; it stays 65535.
    TPic P(4, 3, 16), M(4, 3, 8);
    std::memset(P.P.pBits, 0xFF, size_t(RecPictureGetImageSize(P.P)));
    std::memset(M.P.pBits, 0xFF, size_t(RecPictureGetImageSize(M.P)));
    M.Set(0, 0, 0, 0);
    P.Set(0, 0, 0, 1000);
    BMPGaussBlur8(P.P, &M.P, 0, 1.0);
    EXPECT_EQ((std::vector<int32_t>{P.Get(0, 0), P.Get(3, 2), P.Get(2, 1)}),
              (std::vector<int32_t>{1000, 65535, 65535})); // weight 0 untouched
    EXPECT_EQ(MaskBlend16(255, 65535, 0), 65535);
    EXPECT_EQ(MaskBlend16(128, 1000, 3000), (128 * 1000 + 127 * 3000 + 255) / 255);
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
                    TPic P(W, H, Bits, -5, 9);
                    P.Random(G);
                    std::vector<int32_t> K(static_cast<size_t>(N));
                    for (int32_t& X : K)
                        X = Weight(G);
                    if (Case % 3 == 0) // symmetric kernels take the paired path
                        for (int32_t I = 0; I < N / 2; ++I)
                            K[size_t(N - 1 - I)] = K[size_t(I)];
                    const int32_t Shift = int32_t(G() % 12), Offset = int32_t(G() % 41) - 20;
                    // Mask: none, covering all, or a smaller one at an offset.
                    std::unique_ptr<TPic> M;
                    if (MaskKind == 1)
                        M = std::make_unique<TPic>(W, H, 8, -5, 9);
                    else if (MaskKind == 2)
                        M = std::make_unique<TPic>(1 + int32_t(G() % 20), 1 + int32_t(G() % 15), 8,
                                                   -5 + int32_t(G() % (W + 1)) - 2, 9 + int32_t(G() % (H + 1)) - 2);
                    if (M)
                        M->Random(G);
                    const std::vector<int32_t> Want = RefVH(P, M.get(), K, Shift, Offset, Wrap);
                    BMPVHMaskFilter8(P.P, M ? &M->P : nullptr, K.data(), N, Shift, Offset, uint8_t(Wrap));
                    ASSERT_EQ(P.Samples(), Want) << "bits " << Bits << " wrap " << Wrap << " n " << N << " mask "
                                                 << MaskKind << " " << W << "x" << H;
                    // A mask that misses the picture changes nothing.
                    TPic Far(3, 3, 8, 500, 500);
                    BMPVHMaskFilter8(P.P, &Far.P, K.data(), N, Shift, Offset, uint8_t(Wrap));
                    ASSERT_EQ(P.Samples(), Want);
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
        TPic P(17, 9, 8);
        P.Random(G);
        for (int32_t I = 0; I < 4; ++I)
            P.Set(3 + I % 2, 3 + I / 2, 0, 255);
        std::vector<int32_t> K{32, 32};
        const std::vector<int32_t> Want = RefVH(P, nullptr, K, 0, -1000000, Wrap);
        BMPVHMaskFilter8(P.P, nullptr, K.data(), 2, 0, -1000000, uint8_t(Wrap));
        EXPECT_EQ(P.Samples(), Want);
        EXPECT_EQ(P.Get(4, 4), 255);
    }
    // Weights so large that 65535 x sum passes 2^31: 64-bit sums agree with the plain loop.
    for (int32_t Bits : {16, 8}) {
        TPic P(13, 11, Bits);
        P.Random(G);
        std::vector<int32_t> K{40000, 1, 90000, 5, 40000};
        const std::vector<int32_t> Want = RefVH(P, nullptr, K, 17, 3, true);
        BMPVHMaskFilter8(P.P, nullptr, K.data(), 5, 17, 3, 1);
        EXPECT_EQ(P.Samples(), Want) << Bits;
    }
}

TEST(BmpFilter, GaussBlurMatchesPlainLoopAtLargeRadii)
{
    // Radius 10 and 30 on a picture smaller than the kernel: rows and columns wrap several times.
    std::mt19937 G(10);
    for (double R : {2.0, 10.0, 30.0})
        for (int32_t Wrap : {0, 1}) {
            TPic P(37, 29, 24);
            P.Random(G);
            TKernel K;
            int32_t Length, Shift;
            MakeGaussKernel(R, Length, K.H, Shift);
            const std::vector<int32_t> Want = RefVH(P, nullptr, KernelOf(K.H, Length), 12, 0, Wrap);
            BMPGaussBlur8(P.P, nullptr, uint8_t(Wrap), R);
            EXPECT_EQ(P.Samples(), Want) << R << " " << Wrap;
        }
}

TEST(BmpFilter, VHSharpeningPath)
{
    // 3 x 2, grey 100 with one pixel of 200 at (1, 0); kernel 1 2 1, shift 2,
    // 100 % (A = 256), threshold 10. Blurred row 0: horizontal 125 150 125,
    // vertical (3 x 125 + 100 + 2) shr 2 = 119 and (3 x 150 + 100 + 2) shr 2 = 138.
    // (0, 0) and (1, 0) are selected: 100 + (100 - 119) = 81, 200 + 62 -> 255;
    // the last column and the last row stay.
    TPic P(3, 2, 24), Q(3, 2, 24), M(3, 2, 8);
    for (int32_t I = 0; I < 18; ++I)
        P.Set(I / 3 % 3, I / 9, I % 3, I / 3 == 1 ? 200 : 100);
    int32_t K[3] = {1, 2, 1};
    const int32_t Percent = 100, Threshold = 10;
    BMPVHMaskFilter8(P.P, nullptr, K, 3, 2, 0, 0, 0, &Percent, &Threshold);
    std::vector<int32_t> Want(18, 100);
    std::fill_n(Want.begin(), 3, 81);
    std::fill_n(Want.begin() + 3, 3, 255);
    EXPECT_EQ(P.Samples(), Want);
    // With a mask picture the sharpening is ignored: a plain weighted blur.
    for (int32_t X = 0; X < 3; ++X)
        M.Set(X, 0, 0, 255);
    Q.Set(1, 0, 0, 200);
    const std::vector<int32_t> Blur = RefVH(Q, &M, {1, 2, 1}, 2, 0, false);
    BMPVHMaskFilter8(Q.P, &M.P, K, 3, 2, 0, 0, 0, &Percent, &Threshold);
    EXPECT_EQ(Q.Samples(), Blur);
}
