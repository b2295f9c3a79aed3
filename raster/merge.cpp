// This file is compiled once per instruction set by Highway (see the
// kernels after MergeRowNormal); what precedes them is read only once.
#ifndef TAVRO_RASTER_MERGE_COMMON
#define TAVRO_RASTER_MERGE_COMMON

#include "raster/merge.h"

#include "foundation/colour_models.h"
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "raster/few_bytes.h"
#include "raster/gradation_picture.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

namespace {

// ---------------------------------------------------------------------------
// Picture geometry

// What the kernels need of a record: its rows and its page rectangle. Page
// coordinates are kept in 64 bits so that pictures near the int32 limits
// cannot overflow the intersection arithmetic.
struct TPicView {
    uint8_t* Bits = nullptr;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitCount = 0;
    int64_t Line = 0; // bytes per row
    int64_t Left = 0;
    int64_t Top = 0;

    int64_t Right() const { return Left + Width - 1; }
    int64_t Bottom() const { return Top + Height - 1; }
    // First byte of the pixel at a page point inside the picture. Rows are
    // stored bottom-up, so one page row down is -Line in memory.
    uint8_t* At(int64_t X, int64_t Y) const
    {
        return Bits + (Height - 1 - (Y - Top)) * Line + (X - Left) * BitCount / 8;
    }
};

// False for a record without header or pixels, or with an unusable header.
// Pixels in a plain global block must fill the rows the header names.
bool ViewOf(const TrecPicture& P, TPicView& V, const char* Routine)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    if (H == nullptr || P.pBits == nullptr || H->biWidth <= 0 || H->biHeight <= 0)
        return false;
    const int64_t Bits = H->biBitCount;
    if (Bits != 1 && Bits != 4 && Bits != 8 && Bits != 16 && Bits != 24 && Bits != 32)
        return false;
    if (int64_t(H->biWidth) * Bits > int64_t(INT32_MAX) - 31)
        return false;
    const int64_t Line = CalcLineBytes(H->biWidth, int32_t(Bits));
    if (P.hDIBSection == nullptr) {
        const int64_t Size = GlobalSizeSafe(P.pBits);
        if (Size >= 0 && Size < Line * H->biHeight)
            throw EUserError(std::string(Routine) + ": pixel block too small");
    }
    V.Bits = P.pBits;
    V.Width = H->biWidth;
    V.Height = H->biHeight;
    V.BitCount = int32_t(Bits);
    V.Line = Line;
    V.Left = P.iLeft;
    V.Top = P.iTop;
    return true;
}

// A page rectangle with inclusive right and bottom, empty when Left > Right
// or Top > Bottom.
struct TArea {
    int64_t Left, Top, Right, Bottom;
    bool Empty() const { return Left > Right || Top > Bottom; }
    int32_t Width() const { return int32_t(Right - Left + 1); }
};

TArea AreaOf(const TPicView& V)
{
    return TArea{V.Left, V.Top, V.Right(), V.Bottom()};
}

TArea Intersect(const TArea& A, const TArea& B)
{
    return TArea{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
                 std::min(A.Bottom, B.Bottom)};
}

// The bytes from the lowest to the highest that Rows + 1 rows of Bytes each,
// the first at First and the others Line lower each, occupy.
struct TSpan {
    uintptr_t Low, High; // High is one past the last byte
    bool Meets(const TSpan& O) const { return Low < O.High && O.Low < High; }
};

TSpan SpanOf(const uint8_t* First, int64_t Line, int64_t Rows, size_t Bytes)
{
    const uintptr_t F = reinterpret_cast<uintptr_t>(First);
    const uintptr_t Last = F - uintptr_t(Rows * Line);
    return TSpan{Last, F + Bytes};
}

[[noreturn]] void RaiseDepth(const char* Routine)
{
    throw EUserError(std::string(Routine) + ": biBitCount incorrect");
}

// An optional mask must be a usable 8-bit picture.
bool MaskView(const TrecPicture* Mask, TPicView& V, const char* Routine)
{
    if (Mask == nullptr)
        return false;
    if (!ViewOf(*Mask, V, Routine) || V.BitCount != 8)
        RaiseDepth(Routine);
    return true;
}

// Mask value m scaled by the opacity o.
inline int MaskWeight(int M, int O)
{
    return (M * O + 255) >> 8;
}

// ---------------------------------------------------------------------------
// Blend arithmetic

// Result byte of the per-byte modes for source s over destination d.
template <int Mode>
inline int BlendByte(int S, int D)
{
    if constexpr (Mode == 0)
        return S;
    else if constexpr (Mode == 1)
        return (S * D + 255) >> 8;
    else if constexpr (Mode == 2)
        return 255 - (((255 - S) * (255 - D) + 255) >> 8);
    else if constexpr (Mode == 3)
        return D < 128 ? (2 * D * S + 255) >> 8 : 255 - ((2 * (255 - D) * (255 - S) + 255) >> 8);
    else if constexpr (Mode == 4)
        return S < 128 ? (2 * D * S + 255) >> 8 : 255 - ((2 * (255 - D) * (255 - S) + 255) >> 8);
    else if constexpr (Mode == 5)
        return std::min(S, D);
    else if constexpr (Mode == 6)
        return std::max(S, D);
    else if constexpr (Mode == 7)
        return S > D ? S - D : D - S;
    else if constexpr (Mode == 11)
        return std::clamp(D + 2 * (S - 128), 0, 255);
    else if constexpr (Mode == 12)
        return D & S;
    else if constexpr (Mode == 13)
        return D | S;
    else
        static_assert(Mode == 0, "not a per-byte mode");
}

// Mode 10 on one B, G, R pixel: its hue and saturation with lightness L
// (0..65280).
void FitLightness(const uint8_t* D, int32_t L, uint8_t* Out)
{
    int32_t H, S, Lx, R, G, B;
    RGBToHLS(D[2], D[1], D[0], H, S, Lx);
    HLSToRGB(H, S, L, R, G, B);
    Out[0] = uint8_t(B);
    Out[1] = uint8_t(G);
    Out[2] = uint8_t(R);
}

// Modes 8 and 9 on one B, G, R destination pixel D with the source colour
// (R, G, B), in the HLS model of mode 10. Mode 8 takes the source's hue with
// the destination's saturation and lightness, mode 9 the source's saturation
// with the destination's hue and lightness. A grey has no hue: a grey source
// leaves the pixel in mode 8, and a grey destination stays as it is in mode 9.
template <int Mode>
void FitHueOrSaturation(const uint8_t* D, int32_t SR, int32_t SG, int32_t SB, uint8_t* Out)
{
    int32_t DH, DS, DL, SH, SS, SL;
    RGBToHLS(D[2], D[1], D[0], DH, DS, DL);
    RGBToHLS(SR, SG, SB, SH, SS, SL);
    const bool Keep = Mode == 8 ? SS == 0 : DS == 0;
    if (Keep) {
        Out[0] = D[0];
        Out[1] = D[1];
        Out[2] = D[2];
        return;
    }
    int32_t R, G, B;
    if constexpr (Mode == 8)
        HLSToRGB(SH, DS, DL, R, G, B);
    else
        HLSToRGB(DH, SS, DL, R, G, B);
    Out[0] = uint8_t(B);
    Out[1] = uint8_t(G);
    Out[2] = uint8_t(R);
}

// Mode 14 on one B, G, R pixel: its colour scaled to the luma Y
// (612 R + 1202 G + 234 B, 0..522240), channels that overflow held at 255
// and their share of Y given to the others.
void FitLuma(const uint8_t* D, int64_t Y, uint8_t* Out)
{
    static constexpr int64_t W[3] = {612, 1202, 234}; // red, green, blue
    int64_t C[3] = {D[2], D[1], D[0]};
    for (int64_t& V : C)
        if (V == 0)
            V = 1;
    const int64_t L = W[0] * C[0] + W[1] * C[1] + W[2] * C[2];
    int64_t R[3];
    bool Sat[3];
    int NSat = 0;
    for (int I = 0; I < 3; ++I) {
        R[I] = C[I] * Y / L;
        Sat[I] = R[I] > 255;
        if (Sat[I]) {
            R[I] = 255;
            ++NSat;
        }
    }
    if (NSat == 1) {
        const int K = Sat[0] ? 0 : Sat[1] ? 1 : 2;
        const int I = K == 0 ? 1 : 0;
        const int J = K == 2 ? 1 : 2;
        const int64_t Y2 = Y - 255 * W[K];
        const int64_t L2 = W[I] * C[I] + W[J] * C[J];
        R[I] = C[I] * Y2 / L2;
        R[J] = C[J] * Y2 / L2;
        if (R[I] > 255) {
            R[I] = 255;
            R[J] = (Y2 - 255 * W[I]) / W[J];
        } else if (R[J] > 255) {
            R[J] = 255;
            R[I] = (Y2 - 255 * W[J]) / W[I];
        }
    } else if (NSat == 2) {
        const int T = !Sat[0] ? 0 : !Sat[1] ? 1 : 2;
        int64_t Rest = Y;
        for (int I = 0; I < 3; ++I)
            if (I != T)
                Rest -= 255 * W[I];
        R[T] = Rest / W[T];
    }
    Out[0] = uint8_t(std::clamp<int64_t>(R[2], 0, 255));
    Out[1] = uint8_t(std::clamp<int64_t>(R[1], 0, 255));
    Out[2] = uint8_t(std::clamp<int64_t>(R[0], 0, 255));
}

inline int32_t SourceLightness(const uint8_t* S, int SBpp)
{
    return SBpp == 3 ? GetLightness(S[2], S[1], S[0]) : S[0] * 256;
}

inline int64_t SourceLuma(const uint8_t* S, int SBpp)
{
    return SBpp == 3 ? 612 * S[2] + 1202 * S[1] + 234 * S[0] : S[0] * 2048;
}

// The mode's result b for one pixel of DBpp bytes. An 8-bit source over a
// 24-bit destination acts as grey (s, s, s); modes 10 and 14 on an 8-bit
// destination take the source byte, and modes 8 and 9 leave it (a grey has
// neither hue nor saturation).
template <int Mode, int DBpp, int SBpp>
inline void PixelResult(const uint8_t* D, const uint8_t* S, uint8_t* B)
{
    if constexpr ((Mode == 10 || Mode == 14) && DBpp == 1) {
        B[0] = S[0];
    } else if constexpr ((Mode == 8 || Mode == 9) && DBpp == 1) {
        B[0] = D[0];
    } else if constexpr (Mode == 8 || Mode == 9) {
        if constexpr (SBpp == 3)
            FitHueOrSaturation<Mode>(D, S[2], S[1], S[0], B);
        else
            FitHueOrSaturation<Mode>(D, S[0], S[0], S[0], B);
    } else if constexpr (Mode == 10) {
        FitLightness(D, SourceLightness(S, SBpp), B);
    } else if constexpr (Mode == 14) {
        FitLuma(D, SourceLuma(S, SBpp), B);
    } else {
        for (int C = 0; C < DBpp; ++C)
            B[C] = uint8_t(BlendByte<Mode>(S[SBpp == 1 ? 0 : C], D[C]));
    }
}

// ---------------------------------------------------------------------------
// Row kernels of RecPictureMerge. One kernel per mode and depth pair, chosen
// before the rows are walked. Arguments: destination row, source row, mask
// row (null without mask), width in pixels, opacity.

using TMergeRow = void (*)(uint8_t*, const uint8_t*, const uint8_t*, int32_t, int);

// Weight 255 everywhere: b replaces d.
template <int Mode, int DBpp, int SBpp>
void MergeRowFull(uint8_t* D, const uint8_t* S, const uint8_t*, int32_t W, int)
{
    if constexpr (Mode == 0 && DBpp == SBpp) {
        std::memmove(D, S, size_t(W) * DBpp);
    } else if constexpr ((Mode == 10 || Mode == 14) && DBpp == 1) {
        std::memmove(D, S, size_t(W));
    } else {
        for (int32_t X = 0; X < W; ++X, D += DBpp, S += SBpp) {
            uint8_t B[DBpp];
            PixelResult<Mode, DBpp, SBpp>(D, S, B);
            for (int C = 0; C < DBpp; ++C)
                D[C] = B[C];
        }
    }
}

// Mode 0 over a 16-bit destination: s x 256.
void MergeRowFull16(uint8_t* D, const uint8_t* S, const uint8_t*, int32_t W, int)
{
    for (int32_t X = 0; X < W; ++X, D += 2) {
        D[0] = 0;
        D[1] = S[X];
    }
}

// Darken, lighten, hue and saturation blend in b with one rounding, which
// leaves a byte exactly where b equals it (darken under a lighter source, hue
// under a grey one); the other modes round each term by itself.
template <int Mode>
constexpr bool OneRounding = Mode == 5 || Mode == 6 || Mode == 8 || Mode == 9;

// Per-pixel weight a (mask scaled by opacity, else the opacity).
template <int Mode, int DBpp, int SBpp, bool Masked>
void MergeRowWeighted(uint8_t* D, const uint8_t* S, const uint8_t* M, int32_t W, int O)
{
    for (int32_t X = 0; X < W; ++X, D += DBpp, S += SBpp) {
        const int A = Masked ? MaskWeight(M[X], O) : O;
        if (A == 0)
            continue;
        const int IA = 255 - A;
        uint8_t B[DBpp];
        PixelResult<Mode, DBpp, SBpp>(D, S, B);
        for (int C = 0; C < DBpp; ++C) {
            if constexpr (OneRounding<Mode>)
                D[C] = uint8_t((B[C] * A + D[C] * IA + 255) >> 8);
            else
                D[C] = uint8_t(((B[C] * A + 255) >> 8) + ((D[C] * IA + 255) >> 8));
        }
    }
}

// Mode 0 weighted, one rounding: d := (s a + d (255 - a) + 255) shr 8, which
// leaves d where a = 0 and gives s where a = 255. Written as
// 255 d + (s - d) a + 255 (one product); the sum lies in 0..65280, so 16-bit
// lanes hold it exactly.
inline uint8_t BlendNormal(uint8_t S, uint8_t D, uint8_t A)
{
    return uint8_t(uint16_t(D * 255 + (S - D) * A + 255) >> 8);
}

// A fixed count of bytes: the compiler turns the loop into whole vectors.
template <int N>
inline void BlendFixed(uint8_t* __restrict D, const uint8_t* __restrict S,
                       const uint8_t* __restrict A)
{
    for (int I = 0; I < N; ++I)
        D[I] = BlendNormal(S[I], D[I], A[I]);
}

// Each of N pixel values repeated three times (grey to B, G, R).
template <int N>
inline void Triple(const uint8_t* __restrict V, uint8_t* __restrict Out)
{
    for (int I = 0; I < N; ++I) {
        Out[3 * I] = V[I];
        Out[3 * I + 1] = V[I];
        Out[3 * I + 2] = V[I];
    }
}

bool Overlap(const uint8_t* P, size_t PN, const uint8_t* Q, size_t QN)
{
    return P < Q + QN && Q < P + PN;
}

constexpr int NormalBlock = 32; // pixels per block of the mode-0 weighted rows

// Mode 0 weighted rows. Blocks of 32 pixels whose weights are all 0 are
// skipped and all 255 copied; the others go through BlendFixed. The last
// pixels of a row and rows that share memory with another picture's row
// (records may share pixel memory, see RecPictureConvertTo24) take the
// pixel loop.
template <int DBpp, int SBpp, bool Masked>
void MergeRowNormal(uint8_t* D, const uint8_t* S, const uint8_t* M, int32_t W, int O)
{
    constexpr int B = NormalBlock;
    int32_t X = 0;
    const size_t DBytes = size_t(W) * DBpp;
    const bool Shared = Overlap(D, DBytes, S, size_t(W) * SBpp) ||
                        (Masked && Overlap(D, DBytes, M, size_t(W)));
    if (!Shared) {
        uint8_t A[B];
        uint8_t A3[3 * B];
        uint8_t Grey[3 * B];
        if (!Masked) {
            std::memset(A, O, B);
            std::memset(A3, O, 3 * B);
        }
        for (; X + B <= W; X += B, D += B * DBpp, S += B * SBpp) {
            const uint8_t* Weights = A;
            if constexpr (Masked) {
                uint64_t Words[B / 8];
                std::memcpy(Words, M + X, B);
                uint64_t Any = 0, All = ~uint64_t(0);
                for (uint64_t V : Words) {
                    Any |= V;
                    All &= V;
                }
                if (Any == 0)
                    continue;
                if (O == 255 && All == ~uint64_t(0)) {
                    if constexpr (DBpp == SBpp)
                        std::memcpy(D, S, B * DBpp);
                    else
                        Triple<B>(S, D);
                    continue;
                }
                if (O == 255) {
                    Weights = M + X; // (m x 255 + 255) shr 8 = m
                } else {
                    for (int K = 0; K < B; ++K)
                        A[K] = uint8_t(uint16_t(uint16_t(M[X + K]) * O + 255) >> 8);
                }
                if constexpr (DBpp == 3)
                    Triple<B>(Weights, A3);
            }
            const uint8_t* Src = S;
            if constexpr (DBpp == 3 && SBpp == 1) {
                Triple<B>(S, Grey);
                Src = Grey;
            }
            if constexpr (DBpp == 3)
                BlendFixed<3 * B>(D, Src, A3);
            else
                BlendFixed<B>(D, Src, Weights);
        }
    }
    for (; X < W; ++X, D += DBpp, S += SBpp) {
        const int A = Masked ? MaskWeight(M[X], O) : O;
        for (int C = 0; C < DBpp; ++C)
            D[C] = BlendNormal(S[SBpp == 1 ? 0 : C], D[C], uint8_t(A));
    }
}

} // namespace

#endif // TAVRO_RASTER_MERGE_COMMON

// Mode 0 weighted rows a whole vector of pixels a step, for each instruction
// set Highway builds (the best one is picked at run time). Bit for bit the
// same as BlendNormal: the even and the odd bytes of the vector are blended
// in 16-bit lanes of their own, where d (255 - a) + s a + 255 stays below
// 65281, and put back together with no shuffle. Steps whose weights are all
// 0 are skipped and, at full opacity, all 255 copied, as in MergeRowNormal;
// the pixels after the last whole step and rows that share memory with
// another picture's row go to MergeRowNormal.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "raster/merge.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace tavro_merge {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// At most 32 bytes a step: the spreading below handles steps of one or two
// 16-byte blocks, and 64-byte steps ran no faster in bench_merge (a row is
// bound by memory).
using D8 = hn::CappedTag<uint8_t, 32>;
using V8 = hn::Vec<D8>;

#if HWY_TARGET != HWY_SCALAR
// (x + 255) shr 8 of the 16-bit sums, the even bytes' in the low byte and
// the odd bytes' in the high byte.
template <class V16>
HWY_INLINE V8 Rejoin(V16 Even, V16 Odd)
{
    const hn::Repartition<uint16_t, D8> D16;
    const auto Round = hn::Set(D16, 255);
    const auto Low = hn::Set(D16, 0x00FF);
    return hn::BitCast(D8(), hn::Or(hn::ShiftRight<8>(hn::Add(Even, Round)), hn::AndNot(Low, hn::Add(Odd, Round))));
}

HWY_INLINE V8 BlendNormalV(V8 Dst, V8 Src, V8 A)
{
    const hn::Repartition<uint16_t, D8> D16;
    const auto Low = hn::Set(D16, 0x00FF);
    const auto A16 = hn::BitCast(D16, A);
    const auto IA16 = hn::BitCast(D16, hn::Xor(A, hn::Set(D8(), 0xFF))); // 255 - a
    const auto D = hn::BitCast(D16, Dst);
    const auto S = hn::BitCast(D16, Src);
    const auto Even = hn::Add(hn::Mul(hn::And(D, Low), hn::And(IA16, Low)), hn::Mul(hn::And(S, Low), hn::And(A16, Low)));
    const auto Odd = hn::Add(hn::Mul(hn::ShiftRight<8>(D), hn::ShiftRight<8>(IA16)),
                             hn::Mul(hn::ShiftRight<8>(S), hn::ShiftRight<8>(A16)));
    return Rejoin(Even, Odd);
}

// (m o + 255) shr 8 for every mask byte m.
HWY_INLINE V8 ScaleWeights(V8 M, int O)
{
    const hn::Repartition<uint16_t, D8> D16;
    const auto M16 = hn::BitCast(D16, M);
    const auto Opacity = hn::Set(D16, uint16_t(O));
    return Rejoin(hn::Mul(hn::And(M16, hn::Set(D16, 0x00FF)), Opacity), hn::Mul(hn::ShiftRight<8>(M16), Opacity));
}

// Part K (0 .. 2) of the N values at P each repeated three times (grey to
// B, G and R, a weight to its three bytes): byte I is value (K N + I) / 3.
// Each 16-byte block of the parts draws on one 16-value block of P, the
// first block for part 0, both in turn for part 1 and the last for part 2,
// so a part is one in-block byte shuffle of a load.
struct TSpread3 {
    alignas(32) uint8_t Index[2][3][32] = {}; // [blocks per step - 1][K]
    constexpr TSpread3()
    {
        for (int B = 1; B <= 2; ++B)
            for (int K = 0; K < 3; ++K)
                for (int I = 0; I < 16 * B; ++I)
                    Index[B - 1][K][I] = uint8_t((16 * ((K * B + I / 16) % 3) + I % 16) / 3);
    }
};
constexpr TSpread3 Spread3Table;

HWY_INLINE V8 Spread3(const uint8_t* P, int32_t K)
{
    const D8 d;
    const int32_t N = int32_t(hn::Lanes(d));
    const V8 Values = K == 0 ? hn::LoadDup128(d, P) : K == 2 ? hn::LoadDup128(d, P + N - 16) : hn::LoadU(d, P);
    return hn::TableLookupBytes(Values, hn::Load(d, Spread3Table.Index[N / 16 - 1][K]));
}

#endif

template <int DBpp, int SBpp, bool Masked>
HWY_INLINE void WeightedRow(uint8_t* D, const uint8_t* S, const uint8_t* M, int32_t W, int O)
{
#if HWY_TARGET == HWY_SCALAR
    // One lane has no odd byte: the processor without vectors takes the
    // plain rows.
    MergeRowNormal<DBpp, SBpp, Masked>(D, S, M, W, O);
#else
    const size_t DBytes = size_t(W) * DBpp;
    if (Overlap(D, DBytes, S, size_t(W) * SBpp) || (Masked && Overlap(D, DBytes, M, size_t(W)))) {
        MergeRowNormal<DBpp, SBpp, Masked>(D, S, M, W, O);
        return;
    }
    const D8 d;
    const int32_t N = int32_t(hn::Lanes(d));
    if (N != 16 && N != 32) { // the spreading assumes one or two blocks
        MergeRowNormal<DBpp, SBpp, Masked>(D, S, M, W, O);
        return;
    }
    const V8 Opacity = hn::Set(d, uint8_t(O));
    int32_t X = 0;
    for (; X + N <= W; X += N, D += N * DBpp, S += N * SBpp) {
        V8 A = Opacity;
        bool Copy = false;
        if constexpr (Masked) {
            A = hn::LoadU(d, M + X);
            if (hn::AllTrue(d, hn::Eq(A, hn::Zero(d))))
                continue;
            Copy = O == 255 && hn::AllTrue(d, hn::Eq(A, hn::Set(d, 0xFF)));
        }
        if constexpr (DBpp == 1) {
            const V8 Src = hn::LoadU(d, S);
            if (Masked && O != 255)
                A = ScaleWeights(A, O);
            hn::StoreU(Copy ? Src : BlendNormalV(hn::LoadU(d, D), Src, A), d, D);
        } else {
            for (int32_t K = 0; K < 3; ++K) {
                const V8 Src = SBpp == 1 ? Spread3(S, K) : hn::LoadU(d, S + K * N);
                if (Copy) {
                    hn::StoreU(Src, d, D + K * N);
                    continue;
                }
                // Without a mask every byte has the same weight.
                V8 AK = A;
                if constexpr (Masked) {
                    AK = Spread3(M + X, K);
                    if (O != 255)
                        AK = ScaleWeights(AK, O);
                }
                hn::StoreU(BlendNormalV(hn::LoadU(d, D + K * N), Src, AK), d, D + K * N);
            }
        }
    }
    if (X < W)
        MergeRowNormal<DBpp, SBpp, Masked>(D, S, Masked ? M + X : M, W - X, O);
#endif
}

// One exported function per picture pair, as Highway dispatches by name.
#define TAVRO_WEIGHTED_ROW(DBpp, SBpp, Masked, Name)                                  \
    void Name(uint8_t* D, const uint8_t* S, const uint8_t* M, int32_t W, int O)       \
    {                                                                                 \
        WeightedRow<DBpp, SBpp, Masked>(D, S, M, W, O);                               \
    }
TAVRO_WEIGHTED_ROW(1, 1, true, MaskedRow11)
TAVRO_WEIGHTED_ROW(3, 1, true, MaskedRow31)
TAVRO_WEIGHTED_ROW(3, 3, true, MaskedRow33)
TAVRO_WEIGHTED_ROW(1, 1, false, WeightedRow11)
TAVRO_WEIGHTED_ROW(3, 1, false, WeightedRow31)
TAVRO_WEIGHTED_ROW(3, 3, false, WeightedRow33)
#undef TAVRO_WEIGHTED_ROW

} // namespace HWY_NAMESPACE
} // namespace tavro_merge
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

namespace tavro_merge {

HWY_EXPORT(MaskedRow11);
HWY_EXPORT(MaskedRow31);
HWY_EXPORT(MaskedRow33);
HWY_EXPORT(WeightedRow11);
HWY_EXPORT(WeightedRow31);
HWY_EXPORT(WeightedRow33);

template <int DBpp, int SBpp, bool Masked>
void NormalRow(uint8_t* D, const uint8_t* S, const uint8_t* M, int32_t W, int O)
{
    if constexpr (Masked && DBpp == 1)
        HWY_DYNAMIC_DISPATCH(MaskedRow11)(D, S, M, W, O);
    else if constexpr (Masked && SBpp == 1)
        HWY_DYNAMIC_DISPATCH(MaskedRow31)(D, S, M, W, O);
    else if constexpr (Masked)
        HWY_DYNAMIC_DISPATCH(MaskedRow33)(D, S, M, W, O);
    else if constexpr (DBpp == 1)
        HWY_DYNAMIC_DISPATCH(WeightedRow11)(D, S, M, W, O);
    else if constexpr (SBpp == 1)
        HWY_DYNAMIC_DISPATCH(WeightedRow31)(D, S, M, W, O);
    else
        HWY_DYNAMIC_DISPATCH(WeightedRow33)(D, S, M, W, O);
}

} // namespace tavro_merge

namespace {

// Mode 0 weighted over a 16-bit destination.
template <bool Masked>
void MergeRowWeighted16(uint8_t* D, const uint8_t* S, const uint8_t* M, int32_t W, int O)
{
    for (int32_t X = 0; X < W; ++X, D += 2) {
        const int A = Masked ? MaskWeight(M[X], O) : O;
        if (A == 0)
            continue;
        const uint32_t Old = uint32_t(D[0]) | uint32_t(D[1]) << 8;
        const uint32_t New = Old * uint32_t(255 - A) / 255 + uint32_t(S[X]) * uint32_t(A);
        D[0] = uint8_t(New);
        D[1] = uint8_t(New >> 8);
    }
}

// Modes 12 and 13 through a mask: the weight is the mask value alone and the
// blended byte is combined with the old one.
template <int Mode, int DBpp, int SBpp>
void MergeRowLogicMasked(uint8_t* D, const uint8_t* S, const uint8_t* M, int32_t W, int)
{
    for (int32_t X = 0; X < W; ++X, D += DBpp, S += SBpp) {
        const int A = M[X];
        for (int C = 0; C < DBpp; ++C) {
            const int Mixed = (S[SBpp == 1 ? 0 : C] * A + D[C] * (255 - A) + 255) >> 8;
            D[C] = uint8_t(BlendByte<Mode>(Mixed, D[C]));
        }
    }
}

template <int Mode, int DBpp, int SBpp>
TMergeRow PickRow(bool Full, bool Masked)
{
    if constexpr (Mode == 12 || Mode == 13) {
        if (Masked)
            return MergeRowLogicMasked<Mode, DBpp, SBpp>;
        return MergeRowFull<Mode, DBpp, SBpp>;
    } else {
        if (Full)
            return MergeRowFull<Mode, DBpp, SBpp>;
        if (Masked)
            return MergeRowWeighted<Mode, DBpp, SBpp, true>;
        return MergeRowWeighted<Mode, DBpp, SBpp, false>;
    }
}

template <int DBpp, int SBpp>
TMergeRow PickRowForMode(uint8_t Mode, bool Full, bool Masked)
{
    switch (Mode) {
    case 1: return PickRow<1, DBpp, SBpp>(Full, Masked);
    case 2: return PickRow<2, DBpp, SBpp>(Full, Masked);
    case 3: return PickRow<3, DBpp, SBpp>(Full, Masked);
    case 4: return PickRow<4, DBpp, SBpp>(Full, Masked);
    case 5: return PickRow<5, DBpp, SBpp>(Full, Masked);
    case 6: return PickRow<6, DBpp, SBpp>(Full, Masked);
    case 7: return PickRow<7, DBpp, SBpp>(Full, Masked);
    case 8: return PickRow<8, DBpp, SBpp>(Full, Masked);
    case 9: return PickRow<9, DBpp, SBpp>(Full, Masked);
    case 10: return PickRow<10, DBpp, SBpp>(Full, Masked);
    case 11: return PickRow<11, DBpp, SBpp>(Full, Masked);
    case 12: return PickRow<12, DBpp, SBpp>(Full, Masked);
    case 13: return PickRow<13, DBpp, SBpp>(Full, Masked);
    case 14: return PickRow<14, DBpp, SBpp>(Full, Masked);
    default: return nullptr; // above 14: nothing to do
    }
}

// Sets every pixel of an area (inside the picture) to one pixel value: the
// first row pixel by pixel up to 16 of them, then doubling what is filled;
// each further row a copy of it.
void FillArea(const TPicView& V, const TArea& R, const uint8_t* Pixel, int Bpp)
{
    if (R.Empty())
        return;
    uint8_t* First = V.At(R.Left, R.Top);
    const int32_t W = R.Width();
    const size_t Bytes = size_t(W) * Bpp;
    if (Bpp == 1) {
        SetFewBytes(First, Pixel[0], Bytes);
    } else {
        const size_t Start = std::min<size_t>(Bytes, size_t(16) * Bpp);
        for (size_t I = 0; I < Start; I += size_t(Bpp))
            CopyFewBytes(First + I, Pixel, size_t(Bpp));
        for (size_t Done = Start; Done < Bytes;) {
            const size_t N = std::min(Done, Bytes - Done);
            std::memcpy(First + Done, First, N);
            Done += N;
        }
    }
    uint8_t* Row = First;
    for (int64_t Y = R.Top + 1; Y <= R.Bottom; ++Y) {
        Row -= V.Line;
        CopyFewBytes(Row, First, Bytes);
    }
}

// Sets the destination to 0 outside Region (all of it when Region is empty):
// the strips above and below over the full width, left and right beside it.
void ClearOutside(const TPicView& V, const TArea& Region)
{
    static constexpr uint8_t Zero[3] = {0, 0, 0};
    const int Bpp = V.BitCount / 8;
    const TArea All = AreaOf(V);
    if (Region.Empty()) {
        FillArea(V, All, Zero, Bpp);
        return;
    }
    FillArea(V, {All.Left, All.Top, All.Right, Region.Top - 1}, Zero, Bpp);
    FillArea(V, {All.Left, Region.Bottom + 1, All.Right, All.Bottom}, Zero, Bpp);
    FillArea(V, {All.Left, Region.Top, Region.Left - 1, Region.Bottom}, Zero, Bpp);
    FillArea(V, {Region.Right + 1, Region.Top, All.Right, Region.Bottom}, Zero, Bpp);
}

// ---------------------------------------------------------------------------
// Per-pixel blenders of the colour, tile and gradation merges.

// The modes that work on the whole pixel: b for a source pixel of the
// destination's size, as RecPictureMerge computes it.
template <int Mode>
constexpr bool WholePixel = Mode == 8 || Mode == 9 || Mode == 10 || Mode == 14;

template <int Mode>
inline void PixelResultOfSize(const uint8_t* D, const uint8_t* S, int Bpp, uint8_t* B)
{
    if (Bpp == 3)
        PixelResult<Mode, 3, 3>(D, S, B);
    else
        PixelResult<Mode, 1, 1>(D, S, B);
}

template <int Mode>
inline void BlendFull(uint8_t* D, const uint8_t* S, int Bpp)
{
    if constexpr (WholePixel<Mode>) {
        uint8_t B[3];
        PixelResultOfSize<Mode>(D, S, Bpp, B);
        for (int C = 0; C < Bpp; ++C)
            D[C] = B[C];
    } else {
        for (int C = 0; C < Bpp; ++C)
            D[C] = uint8_t(BlendByte<Mode>(S[C], D[C]));
    }
}

// One rounding, except modes 10 and 14, whose terms are rounded each by
// itself as in RecPictureMerge.
template <int Mode>
inline void BlendWeighted(uint8_t* D, const uint8_t* S, int Bpp, int A, int IA)
{
    if (A == 0)
        return;
    if constexpr (WholePixel<Mode>) {
        uint8_t B[3];
        PixelResultOfSize<Mode>(D, S, Bpp, B);
        for (int C = 0; C < Bpp; ++C) {
            if constexpr (OneRounding<Mode>)
                D[C] = uint8_t((IA * D[C] + A * B[C] + 255) >> 8);
            else
                D[C] = uint8_t(((D[C] * IA + 255) >> 8) + ((A * B[C] + 255) >> 8));
        }
    } else {
        for (int C = 0; C < Bpp; ++C)
            D[C] = uint8_t((IA * D[C] + A * BlendByte<Mode>(S[C], D[C]) + 255) >> 8);
    }
}

// Modes above 14 leave the pixels.
bool BlenderActs(uint8_t Mode)
{
    return Mode <= 14;
}

// Walks a run of pixels with one source pixel per destination pixel; the
// weight is 255 (full), or per pixel from the mask, or the opacity. Src(X)
// gives the source pixel of destination pixel X.
template <int Mode, typename TSource>
void BlendRun(uint8_t* D, int Bpp, int32_t W, const uint8_t* M, int O, const uint8_t* Alpha,
              int G, TSource&& Src)
{
    for (int32_t X = 0; X < W; ++X, D += Bpp) {
        const uint8_t* S = Src(X);
        int A = M ? MaskWeight(M[X], O) : O;
        if (Alpha) {
            A = (Alpha[X] * A + 255) >> 8;
            A = (A * G + 255) >> 8;
        }
        if (A == 255)
            BlendFull<Mode>(D, S, Bpp);
        else
            BlendWeighted<Mode>(D, S, Bpp, A, 255 - A);
    }
}

// Calls F with the mode as a compile-time constant.
template <typename TFunc>
void WithBlenderMode(uint8_t Mode, TFunc&& F)
{
    switch (Mode) {
    case 0: F(std::integral_constant<int, 0>()); break;
    case 1: F(std::integral_constant<int, 1>()); break;
    case 2: F(std::integral_constant<int, 2>()); break;
    case 3: F(std::integral_constant<int, 3>()); break;
    case 4: F(std::integral_constant<int, 4>()); break;
    case 5: F(std::integral_constant<int, 5>()); break;
    case 6: F(std::integral_constant<int, 6>()); break;
    case 7: F(std::integral_constant<int, 7>()); break;
    case 8: F(std::integral_constant<int, 8>()); break;
    case 9: F(std::integral_constant<int, 9>()); break;
    case 10: F(std::integral_constant<int, 10>()); break;
    case 11: F(std::integral_constant<int, 11>()); break;
    case 12: F(std::integral_constant<int, 12>()); break;
    case 13: F(std::integral_constant<int, 13>()); break;
    case 14: F(std::integral_constant<int, 14>()); break;
    default: break;
    }
}

int ClampOpacity(int32_t Opacity)
{
    return std::clamp<int32_t>(Opacity, 0, 255);
}

} // namespace

// ---------------------------------------------------------------------------

void BlendPixelFull(TrecBlendPixel& B)
{
    const int Bpp = B.iBytesPerPixel == 1 ? 1 : 3;
    WithBlenderMode(B.bMode, [&](auto M) { BlendFull<decltype(M)::value>(B.pDest, B.pSrc, Bpp); });
    B.pDest += Bpp;
    B.pSrc += Bpp;
}

void BlendPixelWeighted(TrecBlendPixel& B)
{
    const int Bpp = B.iBytesPerPixel == 1 ? 1 : 3;
    const int A = std::clamp<int32_t>(B.iWeight, 0, 255);
    WithBlenderMode(B.bMode, [&](auto M) {
        BlendWeighted<decltype(M)::value>(B.pDest, B.pSrc, Bpp, A, 255 - A);
    });
    B.pDest += Bpp;
    B.pSrc += Bpp;
}

void RecPictureMerge(const TrecPicture& Dest, const TrecPicture& Src, const TrecPicture* Mask,
                     int32_t Opacity, uint8_t Mode, bool ClearOutsideFlag)
{
    static const char* const Routine = "RecPictureMerge";
    TPicView D, S, M;
    if (!ViewOf(Dest, D, Routine) || !ViewOf(Src, S, Routine))
        RaiseDepth(Routine);
    const int DBits = D.BitCount, SBits = S.BitCount;
    const bool PairOk = (DBits == 24 && (SBits == 8 || SBits == 24)) ||
                        ((DBits == 8 || DBits == 16) && SBits == 8);
    if (!PairOk)
        RaiseDepth(Routine);
    const bool Masked = MaskView(Mask, M, Routine);

    const int O = ClampOpacity(Opacity);
    if (O == 0)
        return;

    TArea Region = Intersect(AreaOf(D), AreaOf(S));
    if (Masked)
        Region = Intersect(Region, AreaOf(M));
    if (ClearOutsideFlag)
        ClearOutside(D, Region);
    if (Region.Empty())
        return;

    const bool Full = !Masked && O == 255;
    TMergeRow Row = nullptr;
    if (DBits == 16) {
        if (Mode == 0)
            Row = Full     ? MergeRowFull16
                  : Masked ? MergeRowWeighted16<true>
                           : MergeRowWeighted16<false>;
    } else if (Mode == 0) {
        if (DBits == 8)
            Row = Full     ? MergeRowFull<0, 1, 1>
                  : Masked ? tavro_merge::NormalRow<1, 1, true>
                           : tavro_merge::NormalRow<1, 1, false>;
        else if (SBits == 8)
            Row = Full     ? MergeRowFull<0, 3, 1>
                  : Masked ? tavro_merge::NormalRow<3, 1, true>
                           : tavro_merge::NormalRow<3, 1, false>;
        else
            Row = Full     ? MergeRowFull<0, 3, 3>
                  : Masked ? tavro_merge::NormalRow<3, 3, true>
                           : tavro_merge::NormalRow<3, 3, false>;
    } else if (DBits == 24 && SBits == 24) {
        Row = PickRowForMode<3, 3>(Mode, Full, Masked);
    } else if (DBits == 24) {
        Row = PickRowForMode<3, 1>(Mode, Full, Masked);
    } else {
        Row = PickRowForMode<1, 1>(Mode, Full, Masked);
    }
    if (Row == nullptr)
        return;

    const int32_t W = Region.Width();
    uint8_t* DRow = D.At(Region.Left, Region.Top);
    const uint8_t* SRow = S.At(Region.Left, Region.Top);
    const uint8_t* MRow = Masked ? M.At(Region.Left, Region.Top) : nullptr;
    int64_t DStep = -D.Line, SStep = -S.Line, MStep = -M.Line;
    // Rows lie bottom-up; walked upwards in memory the reads stream forwards,
    // which the processor's prefetch follows far better (a masked merge of a
    // large picture takes about half the time). Only when the destination's
    // rows share no memory with the others': records may share pixels, and
    // then the page's row order is kept.
    const int64_t Rows = Region.Bottom - Region.Top;
    const TSpan DSpan = SpanOf(DRow, D.Line, Rows, size_t(W) * (D.BitCount / 8));
    if (!DSpan.Meets(SpanOf(SRow, S.Line, Rows, size_t(W) * (S.BitCount / 8))) &&
        !(MRow && DSpan.Meets(SpanOf(MRow, M.Line, Rows, size_t(W))))) {
        DRow -= Rows * D.Line;
        SRow -= Rows * S.Line;
        if (MRow)
            MRow -= Rows * M.Line;
        DStep = D.Line;
        SStep = S.Line;
        MStep = M.Line;
    }
    for (int64_t Y = Region.Top; Y <= Region.Bottom; ++Y) {
        Row(DRow, SRow, MRow, W, O);
        DRow += DStep;
        SRow += SStep;
        if (MRow)
            MRow += MStep;
    }
}

void RecPictureMergeTile(const TrecPicture& Dest, const TrecPicture* Mask, int32_t Opacity,
                         const TrecPicture& Tile, uint8_t Mode)
{
    static const char* const Routine = "RecPictureMergeTile";
    const int O = ClampOpacity(Opacity);
    if (O == 0)
        return;
    TPicView D, M, T;
    if (!ViewOf(Dest, D, Routine) || (D.BitCount != 8 && D.BitCount != 24))
        RaiseDepth(Routine);
    // The tile is walked with the destination's pixel size.
    if (!ViewOf(Tile, T, Routine) || T.BitCount != D.BitCount)
        RaiseDepth(Routine);
    const bool Masked = MaskView(Mask, M, Routine);
    if (!BlenderActs(Mode))
        return;

    const TArea Region = Masked ? Intersect(AreaOf(D), AreaOf(M)) : AreaOf(D);
    if (Region.Empty())
        return;
    const int Bpp = D.BitCount / 8;
    const int32_t W = Region.Width();
    uint8_t* DRow = D.At(Region.Left, Region.Top);
    const uint8_t* MRow = Masked ? M.At(Region.Left, Region.Top) : nullptr;
    // The tile's column under the region's left edge, and its row under a
    // page row (page coordinates taken as 32-bit values). Each page row down
    // is the tile's next row, its first again after its last: the rows are
    // stepped, not divided out, so that short rows cost no more than long ones.
    const int64_t TW = T.Width, TH = T.Height;
    const auto Wrap = [](int64_t V, int64_t N) {
        V %= N;
        return V < 0 ? V + N : V;
    };
    const int64_t Dx = Wrap(int64_t(int32_t(Region.Left)) - Tile.iLeft, TW);
    const auto TileRow = [&](int64_t Y) { return Wrap(int64_t(int32_t(uint32_t(Y))) - Tile.iTop, TH); };
    WithBlenderMode(Mode, [&](auto ModeC) {
        constexpr int MC = decltype(ModeC)::value;
        int64_t Dy = TileRow(Region.Top);
        for (int64_t Y = Region.Top; Y <= Region.Bottom; ++Y) {
            // The tile row's first pixel and the one under the region's left
            // edge; the walk wraps from the row's end back to its start.
            const uint8_t* TRowStart = T.Bits + (TH - 1 - Dy) * T.Line;
            const uint8_t* TRowEnd = TRowStart + TW * Bpp;
            const uint8_t* TP = TRowStart + Dx * Bpp;
            Dy = Y + 1 <= INT32_MAX ? (Dy + 1 == TH ? 0 : Dy + 1) : TileRow(Y + 1);
            BlendRun<MC>(DRow, Bpp, W, MRow, O, nullptr, 0, [&](int32_t) {
                const uint8_t* P = TP;
                TP += Bpp;
                if (TP == TRowEnd)
                    TP = TRowStart;
                return P;
            });
            DRow -= D.Line;
            if (MRow)
                MRow -= M.Line;
        }
    });
}

void RecPictureMergeColor(const TrecPicture& Dest, const TrecPicture* Mask, int32_t Opacity,
                          int32_t Color, uint8_t Mode)
{
    static const char* const Routine = "RecPictureMergeColor";
    const int O = ClampOpacity(Opacity);
    if (O == 0)
        return;
    TPicView D, M;
    if (!ViewOf(Dest, D, Routine) || (D.BitCount != 8 && D.BitCount != 24))
        RaiseDepth(Routine);
    const bool Masked = MaskView(Mask, M, Routine);
    if (!BlenderActs(Mode))
        return;

    const TArea Region = Masked ? Intersect(AreaOf(D), AreaOf(M)) : AreaOf(D);
    if (Region.Empty())
        return;
    // Blue, green, red; an 8-bit destination reads the first byte (bits 16..23).
    const uint32_t C = uint32_t(Color);
    const uint8_t Pixel[3] = {uint8_t(C >> 16), uint8_t(C >> 8), uint8_t(C)};
    const int Bpp = D.BitCount / 8;
    const int32_t W = Region.Width();
    uint8_t* DRow = D.At(Region.Left, Region.Top);
    const uint8_t* MRow = Masked ? M.At(Region.Left, Region.Top) : nullptr;
    WithBlenderMode(Mode, [&](auto ModeC) {
        constexpr int MC = decltype(ModeC)::value;
        for (int64_t Y = Region.Top; Y <= Region.Bottom; ++Y) {
            BlendRun<MC>(DRow, Bpp, W, MRow, O, nullptr, 0, [&](int32_t) { return Pixel; });
            DRow -= D.Line;
            if (MRow)
                MRow -= M.Line;
        }
    });
}

void RecPictureMergeGradation(const TrecPicture& Dest, const TrecPicture* Mask, int32_t Opacity,
                              const TRect& Rect, const TrecGradation& Gradation, uint8_t Mode)
{
    static const char* const Routine = "RecPictureMergeGradation";
    const int O = ClampOpacity(Opacity);
    if (O == 0)
        return;
    TPicView D, M;
    if (!ViewOf(Dest, D, Routine) || D.BitCount != 24)
        RaiseDepth(Routine);
    const bool Masked = MaskView(Mask, M, Routine);
    if (!BlenderActs(Mode))
        return;

    const TArea Region = Masked ? Intersect(AreaOf(D), AreaOf(M)) : AreaOf(D);
    if (Region.Empty())
        return;
    // The gradation lies on the picture it is rendered for (the mask, else
    // the destination), with Rect taken relative to that picture's position.
    // Only the rows and columns of the region are rendered: the same pixels
    // as a rendering of the whole picture.
    const int64_t OriginX = Masked ? M.Left : D.Left;
    const int64_t OriginY = Masked ? M.Top : D.Top;
    const TGradationRenderer Renderer(int64_t(Rect.Left) - OriginX, int64_t(Rect.Top) - OriginY,
                                      int64_t(Rect.Right) - OriginX, int64_t(Rect.Bottom) - OriginY,
                                      Gradation);
    const int G = ClampOpacity(Gradation.iOpacity);
    const int32_t W = Region.Width();
    std::vector<uint8_t> Color(static_cast<size_t>(W) * 3);
    std::vector<uint8_t> Alpha(static_cast<size_t>(W));
    uint8_t* DRow = D.At(Region.Left, Region.Top);
    const uint8_t* MRow = Masked ? M.At(Region.Left, Region.Top) : nullptr;
    WithBlenderMode(Mode, [&](auto ModeC) {
        constexpr int MC = decltype(ModeC)::value;
        for (int64_t Y = Region.Top; Y <= Region.Bottom; ++Y) {
            Renderer.RenderRow(Region.Left - OriginX, Y - OriginY, W, Color.data(), Alpha.data());
            const uint8_t* C = Color.data();
            BlendRun<MC>(DRow, 3, W, MRow, O, Alpha.data(), G, [&](int32_t X) { return C + 3 * X; });
            DRow -= D.Line;
            if (MRow)
                MRow -= M.Line;
        }
    });
}

void RecPictureFillColor(const TrecPicture& P, int32_t Color, const TRect* R)
{
    static const char* const Routine = "RecPictureFillColor";
    TPicView V;
    if (!ViewOf(P, V, Routine) || (V.BitCount != 8 && V.BitCount != 24))
        RaiseDepth(Routine);
    const uint32_t C = uint32_t(Color);
    if (V.BitCount == 8 && R == nullptr) {
        std::memset(V.Bits, uint8_t(C), size_t(V.Line) * size_t(V.Height));
        return;
    }
    TArea Area = AreaOf(V);
    if (R != nullptr)
        Area = Intersect(Area, TArea{R->Left, R->Top, R->Right, R->Bottom});
    const uint8_t Pixel[3] = {uint8_t(C >> 16), uint8_t(C >> 8), uint8_t(C)};
    if (V.BitCount == 8)
        FillArea(V, Area, Pixel + 2, 1);
    else
        FillArea(V, Area, Pixel, 3);
}

#endif // HWY_ONCE
