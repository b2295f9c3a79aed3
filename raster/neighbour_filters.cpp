#include "raster/neighbour_filters.h"

#include "foundation/geometry_types.h"
#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <type_traits>
#include <utility>
#include <vector>

// The run loop is a plain loop written for the vectoriser; on x86-64 it is
// built twice (AVX2 and baseline) and picked at load time.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define TAVRO_NEIGHBOUR_LOOP __attribute__((target_clones("avx2", "default"), optimize("O3")))
#else
#define TAVRO_NEIGHBOUR_LOOP
#endif

namespace {

inline uint8_t ClampByte(int64_t V)
{
    return static_cast<uint8_t>(V < 0 ? 0 : (V > 255 ? 255 : V));
}

// Window entry (DX, DY) of pixel X, first byte.
inline const uint8_t* Entry(const TFilterRow& R, int32_t X, int32_t DX, int32_t DY)
{
    return R.Rows[R.HalfY + DY] + (int64_t{X} + R.HalfX + DX) * R.BytesPerPixel;
}

// Row y (0 = top) of a bottom-up buffer.
inline uint8_t* BufferRow(uint8_t* Bits, int64_t LineSize, int32_t Height, int32_t Y)
{
    return Bits + (int64_t{Height} - 1 - Y) * LineSize;
}

// The oil-painting stroke: rows 0..5 of the 8 x 4 pattern (rows 6 and 7 are empty).
constexpr uint8_t OilStroke[8][4] = {
    {0, 1, 0, 0}, {1, 1, 0, 0}, {1, 1, 1, 0}, {1, 1, 1, 1},
    {0, 1, 1, 1}, {0, 1, 1, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},
};

// Flag of one direction of the anti-noise test: P before, C the value, N after.
inline bool NoiseFlag(int32_t P, int32_t C, int32_t N, int32_t I)
{
    const int32_t D1 = P - C;
    const int32_t D2 = C - N;
    const int32_t A1 = std::abs(D1);
    const int32_t A2 = std::abs(D2);
    if (A1 >= 50 || A2 >= 50)
        return false;
    if ((D1 > 0 && D2 < 0) || (D1 < 0 && D2 > 0))
        return true; // a peak or a dip
    const int32_t M = I % 8;
    return (M == 0 && A2 < A1) || (M == 7 && A2 > A1); // a step at a block border
}

} // namespace

// ---------------------------------------------------------------------------
// Type 0: convolution

namespace {

// The convolution's results of bytes S .. S + N - 1 of the row, from their
// weighted sums: divided, biased, clamped, then measured, written or
// weighted by the mask.
void StoreConvolved(const TFilterRow& R, const int64_t* Acc, int64_t S, int64_t N, int64_t Half, int64_t D,
                    int32_t Bias, TFilterMeasure* Measure)
{
    const int32_t B = R.BytesPerPixel;
    for (int64_t I = 0; I < N; ++I) {
        const uint8_t V = ClampByte((Acc[I] + Half) / D + Bias);
        const int64_t At = S + I;
        if (Measure) {
            Measure->Min = std::min<int32_t>(Measure->Min, V);
            Measure->Max = std::max<int32_t>(Measure->Max, V);
        } else if (!R.Mask) {
            R.Dest[At] = V;
        } else if (const int32_t W = R.Mask[At / B]; W != 0) {
            R.Dest[At] = MaskBlend8(W, V, R.Dest[At]);
        }
    }
}

// Below, with the run sums that share its divide and store.
void ConvolutionTaps32(const TFilterRow& R, const TFilterTap* Taps, int32_t TapCount, int32_t Divisor,
                       int32_t Bias, TFilterMeasure* Measure, bool Single);

} // namespace

void SubConvolution(const TFilterRow& R, const TFilterTap* Taps, int32_t TapCount, int32_t Divisor,
                    int32_t Bias, TFilterMeasure* Measure)
{
    if (Divisor == 0 || R.Width <= 0)
        return;
    const int32_t B = R.BytesPerPixel;
    const int64_t D = Divisor;
    // 24-bit results are rounded, except where a mask weights them.
    const bool Rounded = B == 3 && (Measure || !R.Mask);
    const int64_t Half = Rounded ? D / 2 : 0;
    const int64_t Total = int64_t{R.Width} * B;

    // Sums that stay within 31 bits go through 32-bit lanes and a divide
    // in floating point, which is exact for them (see DivideSums).
    int64_t Bound = std::abs(Half) + std::abs(D);
    for (int32_t T = 0; T < TapCount && Bound < (int64_t{1} << 31); ++T)
        Bound += std::abs(int64_t{Taps[T].Weight}) * 255;
    if (Bound < (int64_t{1} << 31)) {
        ConvolutionTaps32(R, Taps, TapCount, Divisor, Bias, Measure, Bound < (int64_t{1} << 24));
        return;
    }

    // The row in chunks: every tap adds its weighted row segment to the sums.
    constexpr int64_t Chunk = 1024;
    int64_t Acc[Chunk];
    for (int64_t S = 0; S < Total; S += Chunk) {
        const int64_t N = std::min(Chunk, Total - S);
        std::fill(Acc, Acc + N, int64_t{0});
        for (int32_t T = 0; T < TapCount; ++T) {
            const uint8_t* Src = Entry(R, 0, Taps[T].DX, Taps[T].DY) + S;
            const int64_t Wt = Taps[T].Weight;
            for (int64_t I = 0; I < N; ++I)
                Acc[I] += Wt * Src[I];
        }
        StoreConvolved(R, Acc, S, N, Half, D, Bias, Measure);
    }
}

namespace {

// A run of one kernel row is the difference of two running sums. The sums,
// and the weighted sums here, are kept modulo 2^16 or 2^32 (TSum): the
// driver picks the width in which every true sum fits, so the wrapped
// results are exact. Sixteen bits give twice the vector lanes.
template <class TSum>
TAVRO_NEIGHBOUR_LOOP void AddRuns(TSum* __restrict Acc, const TSum* Hi, const TSum* Lo, TSum Weight, int64_t N)
{
    // Products in unsigned 32 bits at least: 16-bit operands would be
    // promoted to int, where the wrap-around is not defined.
    using TWide = std::conditional_t<(sizeof(TSum) < 4), uint32_t, TSum>;
    if (Weight == 1)
        for (int64_t I = 0; I < N; ++I)
            Acc[I] = static_cast<TSum>(TWide{Acc[I]} + TWide{Hi[I]} - TWide{Lo[I]});
    else
        for (int64_t I = 0; I < N; ++I)
            Acc[I] = static_cast<TSum>(TWide{Acc[I]} + TWide{Weight} * (TWide{Hi[I]} - TWide{Lo[I]}));
}

// The signed weighted sum a wrapped TSum stands for.
inline int32_t SignedSum(uint32_t V)
{
    return static_cast<int32_t>(V);
}
inline int32_t SignedSum(uint16_t V)
{
    return static_cast<int16_t>(V);
}

// (Acc + Half) / D + Bias, clamped. The quotient of two numbers of at most
// 31 bits is exact in double after truncation (the distance of a true
// quotient from the next whole number, 1/|D|, exceeds the rounding error),
// and so it is in single precision while |Acc + Half| + |D| stays below
// 2^24 (the circular mean up to a radius of about 140); the loop runs in
// vector lanes where the integer division would not.
template <class TSum, class TReal>
TAVRO_NEIGHBOUR_LOOP void DivideSums(uint8_t* __restrict Out, const TSum* Acc, int32_t Half, int32_t D, int32_t Bias,
                                     int64_t N)
{
    const TReal Divisor = static_cast<TReal>(D);
    for (int64_t I = 0; I < N; ++I) {
        const int32_t Sum = SignedSum(Acc[I]) + Half;
        const int32_t V = static_cast<int32_t>(static_cast<TReal>(Sum) / Divisor) + Bias;
        Out[I] = static_cast<uint8_t>(V < 0 ? 0 : (V > 255 ? 255 : V));
    }
}

// Bytes S .. S + N - 1 of the row from their results Out: measured,
// written, or weighted by the mask. Chunks hold whole pixels.
void StoreResults(const TFilterRow& R, const uint8_t* Out, int64_t S, int64_t N, TFilterMeasure* Measure)
{
    const int32_t B = R.BytesPerPixel;
    if (Measure) {
        for (int64_t I = 0; I < N; ++I) {
            Measure->Min = std::min<int32_t>(Measure->Min, Out[I]);
            Measure->Max = std::max<int32_t>(Measure->Max, Out[I]);
        }
    } else if (!R.Mask) {
        std::memcpy(R.Dest + S, Out, size_t(N));
    } else {
        const uint8_t* Mask = R.Mask + S / B;
        uint8_t* Dest = R.Dest + S;
        for (int64_t P = 0; P < N / B; ++P)
            if (const int32_t W = Mask[P]; W != 0)
                for (int32_t C = 0; C < B; ++C)
                    Dest[P * B + C] = MaskBlend8(W, Out[P * B + C], Dest[P * B + C]);
    }
}

constexpr int64_t cChunk32 = 1023; // whole pixels of one and of three bytes

template <class TSum>
void Divide(uint8_t* Out, const TSum* Acc, int32_t Half, int32_t Divisor, int32_t Bias, int64_t N, bool Single)
{
    if (Single)
        DivideSums<TSum, float>(Out, Acc, Half, Divisor, Bias, N);
    else
        DivideSums<TSum, double>(Out, Acc, Half, Divisor, Bias, N);
}

template <class TSum>
void ConvolutionRuns(const TFilterRow& R, const TFilterRun* Runs, int32_t RunCount, size_t PrefixOffset,
                     int32_t Divisor, int32_t Bias, TFilterMeasure* Measure, bool Single)
{
    const int32_t B = R.BytesPerPixel;
    const bool Rounded = B == 3 && (Measure || !R.Mask);
    const int32_t Half = Rounded ? Divisor / 2 : 0;
    const int64_t Total = int64_t{R.Width} * B;
    TSum Acc[cChunk32];
    uint8_t Out[cChunk32];
    for (int64_t S = 0; S < Total; S += cChunk32) {
        const int64_t N = std::min(cChunk32, Total - S);
        std::fill(Acc, Acc + N, TSum{0});
        for (int32_t T = 0; T < RunCount; ++T) {
            const TFilterRun& Run = Runs[T];
            const TSum* Prefix = reinterpret_cast<const TSum*>(R.Rows[R.HalfY + Run.DY] + PrefixOffset) + S;
            AddRuns<TSum>(Acc, Prefix + (int64_t{R.HalfX} + Run.Right + 1) * B,
                          Prefix + (int64_t{R.HalfX} + Run.Left) * B, static_cast<TSum>(Run.Weight), N);
        }
        Divide(Out, Acc, Half, Divisor, Bias, N, Single);
        StoreResults(R, Out, S, N, Measure);
    }
}

// Weighted bytes added into 32-bit lanes, modulo 2^32 (exact: the caller
// checked that every true sum fits in 31 bits).
TAVRO_NEIGHBOUR_LOOP void AddTap(uint32_t* __restrict Acc, const uint8_t* Src, uint32_t Weight, int64_t N)
{
    for (int64_t I = 0; I < N; ++I)
        Acc[I] += Weight * Src[I];
}

void ConvolutionTaps32(const TFilterRow& R, const TFilterTap* Taps, int32_t TapCount, int32_t Divisor,
                       int32_t Bias, TFilterMeasure* Measure, bool Single)
{
    using TSum = uint32_t;
    const int32_t B = R.BytesPerPixel;
    const bool Rounded = B == 3 && (Measure || !R.Mask);
    const int32_t Half = Rounded ? Divisor / 2 : 0;
    const int64_t Total = int64_t{R.Width} * B;
    TSum Acc[cChunk32];
    uint8_t Out[cChunk32];
    for (int64_t S = 0; S < Total; S += cChunk32) {
        const int64_t N = std::min(cChunk32, Total - S);
        std::fill(Acc, Acc + N, TSum{0});
        for (int32_t T = 0; T < TapCount; ++T)
            AddTap(Acc, Entry(R, 0, Taps[T].DX, Taps[T].DY) + S, static_cast<uint32_t>(Taps[T].Weight), N);
        Divide(Out, Acc, Half, Divisor, Bias, N, Single);
        StoreResults(R, Out, S, N, Measure);
    }
}

} // namespace

int64_t ConvolutionRunsBound(const TFilterRun* Runs, int32_t RunCount, int32_t Divisor)
{
    int64_t Bound = std::abs(int64_t{Divisor}) / 2;
    for (int32_t T = 0; T < RunCount; ++T)
        Bound += std::abs(int64_t{Runs[T].Weight}) * (int64_t{Runs[T].Right} - Runs[T].Left + 1) * 255;
    return Bound;
}

void SubConvolutionRuns(const TFilterRow& R, const TFilterRun* Runs, int32_t RunCount, size_t PrefixOffset,
                        int32_t SumBytes, int32_t Divisor, int32_t Bias, TFilterMeasure* Measure)
{
    if (Divisor == 0 || R.Width <= 0)
        return;
    const bool Single =
        ConvolutionRunsBound(Runs, RunCount, Divisor) + std::abs(int64_t{Divisor}) < (int64_t{1} << 24);
    if (SumBytes == 2)
        ConvolutionRuns<uint16_t>(R, Runs, RunCount, PrefixOffset, Divisor, Bias, Measure, Single);
    else
        ConvolutionRuns<uint32_t>(R, Runs, RunCount, PrefixOffset, Divisor, Bias, Measure, Single);
}

// ---------------------------------------------------------------------------
// Type 1: diffuse

void SubDiffuse(const TFilterRow& R, int32_t Mode)
{
    const int32_t B = R.BytesPerPixel;
    for (int32_t X = 0; X < R.Width; ++X) {
        // One draw per pixel, always: the sequence must not depend on the mask.
        const int32_t J = RandomInt(9);
        const int32_t W = R.Mask ? R.Mask[X] : 255;
        if (W == 0 || Mode < 0 || Mode > 2)
            continue;
        const uint8_t* Pick = Entry(R, X, J % 3 - 1, J / 3 - 1);
        const uint8_t* Own = Entry(R, X, 0, 0);
        uint8_t* Dst = R.Dest + int64_t{X} * B;
        for (int32_t C = 0; C < B; ++C) {
            const int32_t New = Pick[C];
            const int32_t Old = Own[C];
            if ((Mode == 1 && New >= Old) || (Mode == 2 && New <= Old))
                continue;
            Dst[C] = R.Mask ? MaskBlend8(W, New, Old) : static_cast<uint8_t>(New);
        }
    }
}

// ---------------------------------------------------------------------------
// Type 2: anti-JPEG-noise smoothing

void SubAntiJpegNoise(uint8_t* Bits, int64_t LineSize, int32_t Width, int32_t Height, int32_t BytesPerPixel)
{
    if (!Bits || Width <= 0 || Height <= 0)
        return;
    const int32_t B = BytesPerPixel;
    const size_t RowBytes = size_t(Width) * size_t(B);
    // Unfiltered copies of the row above and of the current row.
    std::vector<uint8_t> Above(RowBytes), Cur(RowBytes);
    for (int32_t Y = 0; Y < Height; ++Y) {
        uint8_t* Row = BufferRow(Bits, LineSize, Height, Y);
        const uint8_t* Below = Y + 1 < Height ? BufferRow(Bits, LineSize, Height, Y + 1) : nullptr;
        std::memcpy(Cur.data(), Row, RowBytes);
        const bool VLine = Y > 0 && Y < Height - 1;
        for (int32_t X = 0; X < Width; ++X) {
            const bool HLine = X > 0 && X < Width - 1;
            for (int32_t Ch = 0; Ch < B; ++Ch) {
                const size_t I = size_t(X) * B + Ch;
                const int32_t C = Cur[I];
                const bool H = HLine && NoiseFlag(Cur[I - B], C, Cur[I + B], X);
                const bool V = VLine && NoiseFlag(Above[I], C, Below[I], Y);
                if (H && V)
                    Row[I] = static_cast<uint8_t>((Cur[I - B] + C + Cur[I + B] + Above[I] + Below[I] + 2) / 5);
                else if (V)
                    Row[I] = static_cast<uint8_t>((Above[I] + C + Below[I] + 2) / 3);
                else if (H)
                    Row[I] = static_cast<uint8_t>((Cur[I - B] + C + Cur[I + B] + 2) / 3);
            }
        }
        std::swap(Above, Cur);
    }
}

// ---------------------------------------------------------------------------
// Type 3: oil-painting strokes

void SubOilPaint(uint8_t* Bits, int64_t LineSize, int32_t Width, int32_t Height, int32_t BytesPerPixel)
{
    if (!Bits || Width <= 0 || Height <= 0)
        return;
    const int32_t B = BytesPerPixel;
    for (int32_t J = 0; J < Height / 4; ++J) {
        const int32_t Y = 4 * J;
        int32_t X = 0;
        for (int32_t Attempt = 0; Attempt < Width / 2; ++Attempt) {
            const int32_t RX = RandomInt(2);
            const int32_t RY = RandomInt(4);
            const int32_t SX = X + RX + 2;
            const int32_t SY = Y + RY + 3;
            if (SX >= Width || SY >= Height)
                continue;
            uint8_t Colour[3];
            std::memcpy(Colour, BufferRow(Bits, LineSize, Height, SY) + int64_t{SX} * B, size_t(B));
            for (int32_t Rw = 0; Rw < 8; ++Rw) {
                const int32_t PY = Y + RY + Rw;
                if (PY >= Height)
                    break;
                uint8_t* Row = BufferRow(Bits, LineSize, Height, PY);
                for (int32_t Cl = 0; Cl < 4; ++Cl) {
                    const int32_t PX = X + RX + Cl;
                    if (OilStroke[Rw][Cl] && PX < Width)
                        std::memcpy(Row + int64_t{PX} * B, Colour, size_t(B));
                }
            }
            X += 2;
        }
    }
}

// ---------------------------------------------------------------------------
// Type 4: Sobel edges

void SubSobel(const TFilterRow& R)
{
    const int32_t B = R.BytesPerPixel;
    const uint8_t* A = Entry(R, 0, 0, -1);
    const uint8_t* M = Entry(R, 0, 0, 0);
    const uint8_t* C = Entry(R, 0, 0, 1);
    const int64_t Total = int64_t{R.Width} * B;
    for (int64_t I = 0; I < Total; ++I) {
        const int32_t GX = (A[I + B] + 2 * M[I + B] + C[I + B]) - (A[I - B] + 2 * M[I - B] + C[I - B]);
        const int32_t GY = (C[I - B] + 2 * C[I] + C[I + B]) - (A[I - B] + 2 * A[I] + A[I + B]);
        const int32_t V = 255 - ((std::abs(GX) + std::abs(GY) + 1) >> 1);
        R.Dest[I] = static_cast<uint8_t>(V < 0 ? 0 : V);
    }
}

// ---------------------------------------------------------------------------
// Type 5: facets

void SubPixelateMen(const TFilterRow& R)
{
    const int32_t B = R.BytesPerPixel;
    const uint8_t* Rows[5];
    for (int32_t K = 0; K < 5; ++K)
        Rows[K] = Entry(R, 0, -2, K - 2);
    const int64_t Total = int64_t{R.Width} * B;
    for (int64_t I = 0; I < Total; ++I) {
        // Sums and square sums of three rows, per window column.
        int32_t CS[3][5], CQ[3][5];
        for (int32_t Col = 0; Col < 5; ++Col) {
            int32_t V[5];
            for (int32_t K = 0; K < 5; ++K)
                V[K] = Rows[K][I + int64_t{Col} * B];
            for (int32_t RY = 0; RY < 3; ++RY) {
                CS[RY][Col] = V[RY] + V[RY + 1] + V[RY + 2];
                CQ[RY][Col] = V[RY] * V[RY] + V[RY + 1] * V[RY + 1] + V[RY + 2] * V[RY + 2];
            }
        }
        int32_t Best = 0;
        int32_t BestMean = 0;
        bool First = true;
        for (int32_t RY = 0; RY < 3; ++RY)
            for (int32_t CX = 0; CX < 3; ++CX) {
                const int32_t S = CS[RY][CX] + CS[RY][CX + 1] + CS[RY][CX + 2];
                const int32_t Q = CQ[RY][CX] + CQ[RY][CX + 1] + CQ[RY][CX + 2];
                const int32_t Spread = 9 * Q - S * S;
                if (First || Spread < Best) {
                    First = false;
                    Best = Spread;
                    BestMean = (S + 4) / 9;
                }
            }
        R.Dest[I] = static_cast<uint8_t>(BestMean);
    }
}

// ---------------------------------------------------------------------------
// Type 7: threshold smoothing

void SubThresholdSmooth(const TFilterRow& R, int32_t Threshold)
{
    const int32_t B = R.BytesPerPixel;
    for (int32_t X = 0; X < R.Width; ++X) {
        const uint8_t* C = Entry(R, X, 0, 0);
        const uint8_t* Up = Entry(R, X, 0, -1);
        const uint8_t* Down = Entry(R, X, 0, 1);
        const uint8_t* Left = C - B;
        const uint8_t* Right = C + B;
        bool Close = true;
        for (int32_t Ch = 0; Ch < B && Close; ++Ch) {
            const int32_t V = C[Ch];
            Close = std::abs(V - Up[Ch]) <= Threshold && std::abs(V - Left[Ch]) <= Threshold &&
                    std::abs(V - Right[Ch]) <= Threshold && std::abs(V - Down[Ch]) <= Threshold;
        }
        if (!Close)
            continue;
        uint8_t* Dst = R.Dest + int64_t{X} * B;
        for (int32_t Ch = 0; Ch < B; ++Ch)
            Dst[Ch] = static_cast<uint8_t>((C[Ch] + Up[Ch] + Left[Ch] + Right[Ch] + Down[Ch] + 2) / 5);
    }
}

// ---------------------------------------------------------------------------
// Sharpening of BMPVHMaskFilter8

void SubUnsharp(uint8_t* Row, const uint8_t* Below, const int32_t* Blurred, int32_t Width, int32_t Amount,
                int32_t Threshold, uint8_t* FlagsCur, uint8_t* FlagsNext)
{
    if (!Below)
        return; // the last row stays
    for (int32_t X = 0; X + 1 < Width; ++X) {
        uint8_t* P = Row + int64_t{X} * 3;
        const uint8_t* Right = P + 3;
        const uint8_t* Down = Below + int64_t{X} * 3;
        bool Selected = FlagsCur[X] != 0;
        bool EdgeRight = false, EdgeDown = false;
        for (int32_t C = 0; C < 3; ++C) {
            EdgeRight = EdgeRight || std::abs(P[C] - Right[C]) >= Threshold;
            EdgeDown = EdgeDown || std::abs(P[C] - Down[C]) >= Threshold;
        }
        if (EdgeRight) {
            Selected = true;
            FlagsCur[X + 1] = 1;
        }
        if (EdgeDown) {
            Selected = true;
            FlagsNext[X] = 1;
        }
        if (!Selected)
            continue;
        // P is compared before it is written, and Right only after: all tests
        // see unfiltered values.
        for (int32_t C = 0; C < 3; ++C) {
            const int64_t Old = P[C];
            const int64_t D = (Old - Blurred[int64_t{X} * 3 + C]) * Amount / 256;
            P[C] = ClampByte(Old + D);
        }
    }
}

// ---------------------------------------------------------------------------
// Glass refraction (BMPAllBufFilter type 0)

namespace {

struct TPlane {
    uint8_t* Bits = nullptr;
    int64_t LineSize = 0;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0, BitCount = 0;
};

// False for a record without header, bits or pixels.
bool PlaneOf(const TrecPicture& P, TPlane& Out)
{
    const BITMAPINFOHEADER* BI = RecPictureHeader(P);
    if (!BI)
        return false;
    Out.BitCount = BI->biBitCount;
    if (!P.pBits || BI->biWidth <= 0 || BI->biHeight <= 0)
        return false;
    Out.Bits = P.pBits;
    Out.Width = BI->biWidth;
    Out.Height = BI->biHeight;
    Out.LineSize = GetDIBLineSize(Out.Width, Out.BitCount);
    Out.Left = P.iLeft;
    Out.Top = P.iTop;
    return true;
}

inline uint8_t* PlaneRow(const TPlane& P, int32_t LocalY)
{
    return P.Bits + (int64_t{P.Height} - 1 - LocalY) * P.LineSize;
}

inline int32_t WrapIndex(int64_t I, int32_t N)
{
    const int64_t M = I % N;
    return static_cast<int32_t>(M < 0 ? M + N : M);
}

// The source column (or row) of a page coordinate: its whole part relative
// to Origin, wrapped or clamped to Extent, the neighbour after it, and the
// fraction. Done in doubles, so a coordinate of any size is reduced safely.
void SourceIndex(double Pos, int32_t Origin, int32_t Extent, bool Wrap, int32_t& I0, int32_t& I1,
                 double& Frac)
{
    if (!(Pos == Pos))
        Pos = Origin;
    Pos = std::clamp(Pos, -DBL_MAX, DBL_MAX); // infinities to the far ends
    const double Whole = std::floor(Pos);
    Frac = Pos - Whole;
    const double Rel = Whole - Origin; // an integral value
    if (Wrap) {
        double M = std::fmod(Rel, static_cast<double>(Extent)); // exact
        if (M < 0)
            M += Extent;
        I0 = static_cast<int32_t>(M);
        I1 = I0 + 1 < Extent ? I0 + 1 : 0;
    } else {
        I0 = Rel <= 0 ? 0 : (Rel >= Extent - 1 ? Extent - 1 : static_cast<int32_t>(Rel));
        I1 = I0 + 1 < Extent ? I0 + 1 : Extent - 1;
    }
}

inline int32_t Sample16(const uint8_t* Row, int32_t X)
{
    return Row[int64_t{X} * 2] | (Row[int64_t{X} * 2 + 1] << 8);
}

} // namespace

void SubGlassRefraction(const TrecPicture& Dest, const TrecPicture& Source, const TrecPicture* Mask,
                        bool Wrap, const TrecPicture& Bump, int32_t Depth)
{
    static const char* const Routine = "BMPAllBufFilter: ";
    TPlane Dst, Src, Bmp, Msk;
    const bool DstHasPixels = PlaneOf(Dest, Dst);
    if (!RecPictureHeader(Dest))
        return; // an empty record
    if (Dst.BitCount != 8 && Dst.BitCount != 24)
        throw EUserParamError(std::string(Routine) + "Illegal Param");
    if (!PlaneOf(Source, Src) || Src.BitCount != Dst.BitCount)
        throw EUserParamError(std::string(Routine) + "Illegal Source Picture");
    if (!PlaneOf(Bump, Bmp) || Bmp.BitCount != 16)
        throw EUserParamError(std::string(Routine) + "Illegal Bump Picture");
    bool HasMask = false;
    if (Mask) {
        HasMask = PlaneOf(*Mask, Msk);
        if (RecPictureHeader(*Mask) && Msk.BitCount != 8)
            throw EUserParamError(std::string(Routine) + "Illegal Mask Picture");
        if (!HasMask)
            return; // an empty mask covers nothing
    }
    if (!DstHasPixels)
        return;

    TRect Area;
    if (HasMask) {
        if (!RecPictureIntersectRect(Dest, *Mask, Area))
            return;
    } else {
        RecPictureGetRect(Dest, Area);
    }

    const int32_t B = Dst.BitCount / 8;
    const double K = GlassRefractiveIndex;
    const double InvK2Minus1 = 1.0 / (K * K) - 1.0;
    const double D = (static_cast<double>(Depth) * 256) / 100;
    const double HeightScale = D * D * D;
    const int32_t BX0 = WrapIndex(int64_t{Area.Left} - Bmp.Left, Bmp.Width);

    for (int64_t Y = Area.Top; Y <= Area.Bottom; ++Y) {
        const int32_t BY = WrapIndex(Y - Bmp.Top, Bmp.Height);
        const uint8_t* BRow = PlaneRow(Bmp, BY);
        const uint8_t* BUp = PlaneRow(Bmp, BY == 0 ? Bmp.Height - 1 : BY - 1);
        const uint8_t* BDown = PlaneRow(Bmp, BY + 1 == Bmp.Height ? 0 : BY + 1);
        uint8_t* DRow = PlaneRow(Dst, static_cast<int32_t>(Y - Dst.Top)) + (int64_t{Area.Left} - Dst.Left) * B;
        const uint8_t* MRow =
            HasMask ? PlaneRow(Msk, static_cast<int32_t>(Y - Msk.Top)) + (int64_t{Area.Left} - Msk.Left) : nullptr;
        int32_t BX = BX0;
        for (int64_t X = Area.Left; X <= Area.Right; ++X, DRow += B) {
            const int32_t BXL = BX == 0 ? Bmp.Width - 1 : BX - 1;
            const int32_t BXR = BX + 1 == Bmp.Width ? 0 : BX + 1;
            const int32_t Here = Sample16(BRow, BX);
            const int32_t L = Sample16(BRow, BXL);
            const int32_t Rt = Sample16(BRow, BXR);
            const int32_t U = Sample16(BUp, BX);
            const int32_t Bt = Sample16(BDown, BX);
            BX = BXR;
            const int32_t M = MRow ? *MRow++ : 255;
            if (M == 0)
                continue;

            // Normal: (2, 0, (R - L) / 65536) x (0, 2, (B - U) / 65536), normalised.
            const double AZ = (Rt - L) / 65536.0;
            const double BZ = (Bt - U) / 65536.0;
            const double NX0 = -2 * AZ, NY0 = -2 * BZ, NZ0 = 4;
            const double Len = std::sqrt(NX0 * NX0 + NY0 * NY0 + NZ0 * NZ0);
            const double NX = NX0 / Len, NY = NY0 / Len, NZ = NZ0 / Len;
            const double T = std::sqrt(InvK2Minus1 + NZ * NZ) - NZ;
            const double RX = K * (-T * NX), RY = K * (-T * NY), RZ = K * (-1 - T * NZ);
            const double H = Here * HeightScale / 256 / 65536;
            const double SX = static_cast<double>(X) - H * RX / RZ;
            const double SY = static_cast<double>(Y) - H * RY / RZ;

            int32_t C0, C1, R0, R1;
            double FX, FY;
            SourceIndex(SX, Src.Left, Src.Width, Wrap, C0, C1, FX);
            SourceIndex(SY, Src.Top, Src.Height, Wrap, R0, R1, FY);
            const uint8_t* Row0 = PlaneRow(Src, R0);
            const uint8_t* Row1 = PlaneRow(Src, R1);
            const uint8_t* P00 = Row0 + int64_t{C0} * B;
            const uint8_t* P01 = Row1 + int64_t{C0} * B;
            const uint8_t* P10 = Row0 + int64_t{C1} * B;
            const uint8_t* P11 = Row1 + int64_t{C1} * B;
            const double W00 = (1 - FX) * (1 - FY), W01 = (1 - FX) * FY, W10 = FX * (1 - FY), W11 = FX * FY;
            for (int32_t Ch = 0; Ch < B; ++Ch) {
                const double V = P00[Ch] * W00 + P01[Ch] * W01 + P10[Ch] * W10 + P11[Ch] * W11;
                const int32_t New = ClampByte(static_cast<int64_t>(std::trunc(V + 0.5)));
                DRow[Ch] = M < 255 ? MaskBlend8(M, New, DRow[Ch]) : static_cast<uint8_t>(New);
            }
        }
    }
}
