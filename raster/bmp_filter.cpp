#include "raster/bmp_filter.h"

#include "foundation/lists.h"
#include "foundation/numbers.h"
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <new>
#include <numbers>
#include <string>
#include <vector>

// The hot loops are plain loops written for the vectoriser; on x86-64 they
// are built twice (AVX2 and baseline) and picked at load time.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define TAVRO_FILTER_LOOP __attribute__((target_clones("avx2", "default"), optimize("O3")))
#else
#define TAVRO_FILTER_LOOP
#endif

namespace {

// ---------------------------------------------------------------------------
// Small helpers

[[noreturn]] void RaiseParam(const char* Routine, const char* What)
{
    throw EUserParamError(std::string(Routine) + ": " + What);
}

template <class T>
std::unique_ptr<T[]> Scratch(size_t Count)
{
    T* P = new (std::nothrow) T[Count == 0 ? 1 : Count]();
    if (!P)
        throw EUserError("メモリが足りません");
    return std::unique_ptr<T[]>(P);
}

// A handle-or-address argument, locked for the lifetime of the object.
class TLockedArg {
public:
    explicit TLockedArg(HGLOBAL H) : FHandle(H)
    {
        void* P = H ? GlobalLock(H) : nullptr;
        FAddress = P ? P : H;
        FLocked = P && P != H; // fixed blocks are their own address and hold no lock
    }
    TLockedArg(const TLockedArg&) = delete;
    TLockedArg& operator=(const TLockedArg&) = delete;
    ~TLockedArg()
    {
        if (FLocked)
            GlobalUnlock(FHandle);
    }
    void* Get() const { return FAddress; }
    template <class T>
    T* As() const
    {
        return static_cast<T*>(FAddress);
    }

private:
    HGLOBAL FHandle;
    void* FAddress = nullptr;
    bool FLocked = false;
};

// Index I (any integer) brought into 0 .. N - 1 by the edge rule.
inline int32_t MapIndex(int64_t I, int32_t N, bool Wrap)
{
    if (Wrap) {
        int64_t M = I % N;
        return static_cast<int32_t>(M < 0 ? M + N : M);
    }
    return static_cast<int32_t>(I < 0 ? 0 : (I >= N ? N - 1 : I));
}

// Edge handling of one row: H pixels on each side, clamped or wrapped.
void PadRow(const uint8_t* Src, int32_t W, int32_t B, int32_t H, bool Wrap, uint8_t* Dst)
{
    for (int32_t I = 0; I < H; ++I) {
        const int32_t X = MapIndex(int64_t{I} - H, W, Wrap);
        std::memcpy(Dst + int64_t{I} * B, Src + int64_t{X} * B, B);
    }
    std::memcpy(Dst + int64_t{H} * B, Src, size_t(W) * B);
    for (int32_t I = 0; I < H; ++I) {
        const int32_t X = MapIndex(int64_t{W} + I, W, Wrap);
        std::memcpy(Dst + (int64_t{W} + H + I) * B, Src + int64_t{X} * B, B);
    }
}

// The unfiltered source rows of an in-place filter: the live rows, except
// those saved before the filter overwrites them while still needed.
class TRowSource {
public:
    TRowSource(uint8_t* Bits, int64_t LineSize, int32_t Height, int64_t RowBytes)
        : FBits(Bits), FLineSize(LineSize), FHeight(Height), FRowBytes(RowBytes)
    {
    }
    // Keeps copies of rows [Lo, Hi).
    void Save(int32_t Lo, int32_t Hi)
    {
        FSaveLo = Lo;
        FSaveHi = std::max(Lo, Hi);
        if (FSaveHi > FSaveLo) {
            FSaved = Scratch<uint8_t>(size_t(FSaveHi - FSaveLo) * size_t(FRowBytes));
            for (int32_t R = FSaveLo; R < FSaveHi; ++R)
                std::memcpy(FSaved.get() + int64_t{R - FSaveLo} * FRowBytes, Live(R), size_t(FRowBytes));
        }
    }
    uint8_t* Live(int32_t R) const { return FBits + (int64_t{FHeight} - 1 - R) * FLineSize; }
    const uint8_t* Row(int32_t R) const
    {
        if (R >= FSaveLo && R < FSaveHi)
            return FSaved.get() + int64_t{R - FSaveLo} * FRowBytes;
        return Live(R);
    }
    int32_t Height() const { return FHeight; }

private:
    uint8_t* FBits;
    int64_t FLineSize;
    int32_t FHeight;
    int64_t FRowBytes;
    int32_t FSaveLo = 0;
    int32_t FSaveHi = 0;
    std::unique_ptr<uint8_t[]> FSaved;
};

// The 2 HalfY + 1 padded source rows around output row Y, in one zeroed
// block; Rows() lists them top first (rows Y - HalfY .. Y + HalfY). A slot
// may be longer than its padded row (SlotBytes) for data a filter derives
// from it.
class TPaddedRing {
public:
    TPaddedRing(const TRowSource& Src, int32_t Width, int32_t B, int32_t HalfX, int32_t HalfY, bool Wrap,
                size_t SlotBytes = 0)
        : FSrc(Src), FWidth(Width), FB(B), FHalfX(HalfX), FHalfY(HalfY), FWrap(Wrap), FCount(2 * HalfY + 1)
    {
        FPadded = size_t(int64_t{Width} + 2 * int64_t{HalfX}) * size_t(B);
        FSlotBytes = std::max(SlotBytes, FPadded);
        FBlock = Scratch<uint8_t>(FSlotBytes * size_t(FCount));
        FSlots.resize(size_t(FCount));
        FRows.resize(size_t(FCount));
        for (int32_t I = 0; I < FCount; ++I)
            FSlots[size_t(I)] = FBlock.get() + FSlotBytes * size_t(I);
    }
    void Start(int32_t Y)
    {
        FOldest = 0;
        FY = Y;
        for (int32_t I = 0; I < FCount; ++I)
            Fill(I, int64_t{Y} - FHalfY + I);
        Update();
    }
    void Advance()
    {
        Fill(FOldest, int64_t{FY} + FHalfY + 1);
        FOldest = (FOldest + 1) % FCount;
        ++FY;
        Update();
    }
    const uint8_t* const* Rows() const { return FRows.data(); }
    // Called after a slot has been padded, with the slot's address: adds
    // what a filter keeps behind the padded row.
    std::function<void(uint8_t*)> OnFill;

private:
    void Fill(int32_t Slot, int64_t SourceRow)
    {
        const int32_t R = MapIndex(SourceRow, FSrc.Height(), FWrap);
        PadRow(FSrc.Row(R), FWidth, FB, FHalfX, FWrap, FSlots[size_t(Slot)]);
        if (OnFill)
            OnFill(FSlots[size_t(Slot)]);
    }
    void Update()
    {
        for (int32_t I = 0; I < FCount; ++I)
            FRows[size_t(I)] = FSlots[size_t((FOldest + I) % FCount)];
    }
    const TRowSource& FSrc;
    int32_t FWidth, FB, FHalfX, FHalfY;
    bool FWrap;
    int32_t FCount;
    size_t FPadded = 0;
    size_t FSlotBytes = 0;
    std::unique_ptr<uint8_t[]> FBlock;
    std::vector<uint8_t*> FSlots;
    std::vector<uint8_t*> FRows;
    int32_t FOldest = 0;
    int32_t FY = 0;
};

// ---------------------------------------------------------------------------
// Rank filter: a sliding histogram per channel along the row. The answer m
// is tracked with the count of window values below it, so each step only
// moves m by as far as the median moved.

void RankRow(const uint8_t* const* Rows, int32_t Size, int32_t W, int32_t B, int32_t K, uint8_t* Dest)
{
    int32_t Hist[256];
    for (int32_t C = 0; C < B; ++C) {
        std::memset(Hist, 0, sizeof Hist);
        for (int32_t DY = 0; DY < Size; ++DY) {
            const uint8_t* P = Rows[DY] + C;
            for (int32_t DX = 0; DX < Size; ++DX)
                ++Hist[P[int64_t{DX} * B]];
        }
        int32_t M = 0;
        int32_t Below = 0;
        while (Below + Hist[M] <= K)
            Below += Hist[M++];
        Dest[C] = static_cast<uint8_t>(M);
        for (int32_t X = 1; X < W; ++X) {
            const int64_t Out = int64_t{X - 1} * B + C;
            const int64_t In = (int64_t{X} - 1 + Size) * B + C;
            for (int32_t DY = 0; DY < Size; ++DY) {
                const int32_t VO = Rows[DY][Out];
                const int32_t VI = Rows[DY][In];
                --Hist[VO];
                ++Hist[VI];
                Below += int32_t(VI < M) - int32_t(VO < M);
            }
            while (Below > K)
                Below -= Hist[--M];
            while (Below + Hist[M] <= K)
                Below += Hist[M++];
            Dest[int64_t{X} * B + C] = static_cast<uint8_t>(M);
        }
    }
}

// ---------------------------------------------------------------------------
// Circular minimum and maximum. Every ring row carries a sparse table
// (level j: the extreme of 2^j consecutive pixels), so the extreme along the
// chord of each circle row is two look-ups, done for the whole row at once.

TAVRO_FILTER_LOOP void MinLevel(uint8_t* __restrict Dst, const uint8_t* __restrict A,
                                const uint8_t* __restrict B, int32_t N)
{
    for (int32_t I = 0; I < N; ++I)
        Dst[I] = std::min(A[I], B[I]);
}

TAVRO_FILTER_LOOP void MaxLevel(uint8_t* __restrict Dst, const uint8_t* __restrict A,
                                const uint8_t* __restrict B, int32_t N)
{
    for (int32_t I = 0; I < N; ++I)
        Dst[I] = std::max(A[I], B[I]);
}

TAVRO_FILTER_LOOP void MinChord(uint8_t* __restrict Acc, const uint8_t* A, const uint8_t* B, int32_t N)
{
    for (int32_t I = 0; I < N; ++I)
        Acc[I] = std::min(Acc[I], std::min(A[I], B[I]));
}

TAVRO_FILTER_LOOP void MaxChord(uint8_t* __restrict Acc, const uint8_t* A, const uint8_t* B, int32_t N)
{
    for (int32_t I = 0; I < N; ++I)
        Acc[I] = std::max(Acc[I], std::max(A[I], B[I]));
}

inline int32_t FloorLog2(int64_t V)
{
    int32_t J = 0;
    while ((int64_t{2} << J) <= V)
        ++J;
    return J;
}

// Half-width of the circle's row at distance DY: the largest dx with
// dx^2 + dy^2 <= (r + 0.5)^2, i.e. 4 (dx^2 + dy^2) <= (2r + 1)^2.
int32_t ChordHalf(int32_t R, int32_t DY)
{
    const int64_t Lim = (2 * int64_t{R} + 1) * (2 * int64_t{R} + 1);
    int32_t C = R;
    while (C > 0 && 4 * (int64_t{C} * C + int64_t{DY} * DY) > Lim)
        --C;
    return C;
}

// ---------------------------------------------------------------------------
// Separable filter. Both passes compute sum(weight x sample) over the kept
// taps. Taps of equal weight are summed in pairs before the multiply (exact
// in integers), which halves the multiplies of a symmetric kernel.

struct TTapPlan {
    std::vector<int32_t> PairA, PairB, PairW; // kernel indices and weight
    std::vector<int32_t> OneK, OneW;
    int64_t WeightSum = 0;
    int32_t MaxWeight = 0;
};

TTapPlan MakeTapPlan(const int32_t* Kernel, int32_t N)
{
    std::vector<std::pair<int32_t, int32_t>> Taps; // (weight, index)
    for (int32_t K = 0; K < N; ++K)
        if (Kernel[K] > 0)
            Taps.emplace_back(Kernel[K], K);
    std::stable_sort(Taps.begin(), Taps.end(),
                     [](const auto& A, const auto& B) { return A.first < B.first; });
    TTapPlan P;
    for (size_t I = 0; I < Taps.size(); ++I) {
        P.WeightSum += Taps[I].first;
        P.MaxWeight = std::max(P.MaxWeight, Taps[I].first);
        if (I + 1 < Taps.size() && Taps[I + 1].first == Taps[I].first) {
            P.PairA.push_back(Taps[I].second);
            P.PairB.push_back(Taps[I + 1].second);
            P.PairW.push_back(Taps[I].first);
            P.WeightSum += Taps[I].first;
            ++I;
        } else {
            P.OneK.push_back(Taps[I].second);
            P.OneW.push_back(Taps[I].first);
        }
    }
    return P;
}

TAVRO_FILTER_LOOP void AccPair2(int32_t* __restrict Acc, const uint16_t* A0, const uint16_t* B0, int32_t W0,
                                const uint16_t* A1, const uint16_t* B1, int32_t W1, int32_t N)
{
    for (int32_t I = 0; I < N; ++I)
        Acc[I] += W0 * (int32_t(A0[I]) + B0[I]) + W1 * (int32_t(A1[I]) + B1[I]);
}

TAVRO_FILTER_LOOP void AccPair(int32_t* __restrict Acc, const uint16_t* A, const uint16_t* B, int32_t W,
                               int32_t N)
{
    for (int32_t I = 0; I < N; ++I)
        Acc[I] += W * (int32_t(A[I]) + B[I]);
}

TAVRO_FILTER_LOOP void AccOne(int32_t* __restrict Acc, const uint16_t* A, int32_t W, int32_t N)
{
    for (int32_t I = 0; I < N; ++I)
        Acc[I] += W * int32_t(A[I]);
}

// The same with 16-bit pair sums and weights (samples below 16384, weights
// below 32768): the multiplies then work on 16-bit lanes.
TAVRO_FILTER_LOOP void AccPair2Short(int32_t* __restrict Acc, const uint16_t* A0, const uint16_t* B0, int16_t W0,
                                     const uint16_t* A1, const uint16_t* B1, int16_t W1, int32_t N)
{
    for (int32_t I = 0; I < N; ++I) {
        const int16_t S0 = static_cast<int16_t>(A0[I] + B0[I]);
        const int16_t S1 = static_cast<int16_t>(A1[I] + B1[I]);
        Acc[I] += int32_t(W0) * S0 + int32_t(W1) * S1;
    }
}

// Acc[0..N) := the tap sums of samples Src[k] + Start .. + Start + N, where
// Src[k] is the sample row of kernel index k.
void SumTaps(int32_t* Acc, const uint16_t* const* Src, const TTapPlan& P, int64_t Start, int32_t N, bool Short)
{
    std::memset(Acc, 0, size_t(N) * sizeof(int32_t));
    const size_t NP = P.PairW.size();
    size_t I = 0;
    for (; I + 1 < NP; I += 2) {
        const uint16_t* A0 = Src[P.PairA[I]] + Start;
        const uint16_t* B0 = Src[P.PairB[I]] + Start;
        const uint16_t* A1 = Src[P.PairA[I + 1]] + Start;
        const uint16_t* B1 = Src[P.PairB[I + 1]] + Start;
        if (Short)
            AccPair2Short(Acc, A0, B0, int16_t(P.PairW[I]), A1, B1, int16_t(P.PairW[I + 1]), N);
        else
            AccPair2(Acc, A0, B0, P.PairW[I], A1, B1, P.PairW[I + 1], N);
    }
    if (I < NP)
        AccPair(Acc, Src[P.PairA[I]] + Start, Src[P.PairB[I]] + Start, P.PairW[I], N);
    for (size_t J = 0; J < P.OneW.size(); ++J)
        AccOne(Acc, Src[P.OneK[J]] + Start, P.OneW[J], N);
}

// The same in 64 bits, for kernels whose sums could pass 2^31.
void SumTaps(int64_t* Acc, const uint16_t* const* Src, const TTapPlan& P, int64_t Start, int32_t N, bool)
{
    std::memset(Acc, 0, size_t(N) * sizeof(int64_t));
    for (size_t J = 0; J < P.PairW.size(); ++J) {
        const uint16_t* A = Src[P.PairA[J]] + Start;
        const uint16_t* B = Src[P.PairB[J]] + Start;
        for (int32_t I = 0; I < N; ++I)
            Acc[I] += int64_t{P.PairW[J]} * (int32_t(A[I]) + B[I]);
    }
    for (size_t J = 0; J < P.OneW.size(); ++J) {
        const uint16_t* A = Src[P.OneK[J]] + Start;
        for (int32_t I = 0; I < N; ++I)
            Acc[I] += int64_t{P.OneW[J]} * A[I];
    }
}

TAVRO_FILTER_LOOP void StoreSamples(uint16_t* __restrict Dst, const int32_t* __restrict Acc, int32_t Round,
                                    int32_t Shift, int32_t N)
{
    for (int32_t I = 0; I < N; ++I) {
        const int32_t V = (Acc[I] + Round) >> Shift;
        Dst[I] = static_cast<uint16_t>(V > 65535 ? 65535 : V);
    }
}

TAVRO_FILTER_LOOP void StoreBytes(uint8_t* __restrict Dst, const int32_t* __restrict Acc, int32_t Round,
                                  int32_t Shift, int32_t Offset, int32_t N)
{
    for (int32_t I = 0; I < N; ++I) {
        const int32_t V = ((Acc[I] + Round) >> Shift) + Offset;
        Dst[I] = static_cast<uint8_t>(V < 0 ? 0 : (V > 255 ? 255 : V));
    }
}

TAVRO_FILTER_LOOP void WidenBytes(uint16_t* __restrict Dst, const uint8_t* __restrict Src, int32_t N)
{
    for (int32_t I = 0; I < N; ++I)
        Dst[I] = Src[I];
}

inline int64_t ClampI64(int64_t V, int64_t Lo, int64_t Hi)
{
    return V < Lo ? Lo : (V > Hi ? Hi : V);
}

class TVHFilter {
public:
    // Picture geometry and the area written, in picture coordinates.
    int32_t PW = 0, PH = 0, Bits = 8, Spp = 1;
    int32_t AX0 = 0, AY0 = 0, AW = 0, AH = 0;
    int32_t Half = 0, Shift = 0, Offset = 0;
    bool Wrap = false;
    bool Sharpen = false;
    int32_t Amount = 0, Threshold = 0;
    uint8_t* PixBits = nullptr;
    int64_t LineSize = 0;
    // Mask rows: mask row of area row y starts at MaskOrigin - y * MaskLine.
    const uint8_t* MaskOrigin = nullptr;
    int64_t MaskLine = 0;
    TTapPlan Plan;

    void Run()
    {
        Round = Shift > 0 ? int64_t{1} << (Shift - 1) : 0;
        const int64_t MaxIn = Bits == 16 ? 65535 : 255;
        const int64_t MaxH = std::min<int64_t>(65535, (MaxIn * Plan.WeightSum + Round) >> Shift);
        const int64_t Bound = std::max(MaxIn, MaxH) * Plan.WeightSum + Round;
        Narrow = Bound < (int64_t{1} << 31);
        Short = Narrow && std::max(MaxIn, MaxH) < 16384 && Plan.MaxWeight < 32768;
        NarrowOut = Narrow && (Bound >> Shift) + std::abs(int64_t{Offset}) < (int64_t{1} << 31);
        if (Narrow)
            Run32();
        else
            Run64();
    }

private:
    static constexpr int32_t Chunk = 2048;
    int64_t Round = 0;
    bool Narrow = true;
    bool NarrowOut = true;
    bool Short = false;

    uint8_t* PixRow(int32_t Y) const { return PixBits + (int64_t{PH} - 1 - Y) * LineSize; }

    template <class TAcc>
    void RunWith(TAcc* Acc)
    {
        const int32_t Samples = AW * Spp;         // per ring row
        const int32_t WideCols = AW + 2 * Half;   // widened source row, in pixels
        const int32_t BytesPerPixel = Bits / 8;
        TRowSource Src(PixBits, LineSize, PH, LineSize);
        if (Wrap)
            Src.Save(AY0, std::min(AY0 + AH, Half));

        // Column map of the widened row; the part inside the picture is one run.
        std::vector<int32_t> ColMap(static_cast<size_t>(WideCols));
        for (int32_t J = 0; J < WideCols; ++J)
            ColMap[size_t(J)] = MapIndex(int64_t{AX0} - Half + J, PW, Wrap);
        const int32_t InLo = static_cast<int32_t>(std::clamp<int64_t>(int64_t{Half} - AX0, 0, WideCols));
        const int32_t InHi = static_cast<int32_t>(std::clamp<int64_t>(int64_t{Half} - AX0 + PW, InLo, WideCols));

        const int32_t Slots = 2 * Half + 1;
        auto Wide = Scratch<uint16_t>(size_t(WideCols) * Spp);
        auto Ring = Scratch<uint16_t>(size_t(Slots) * size_t(Samples));
        std::vector<const uint16_t*> HSrc(static_cast<size_t>(2 * Half + 1));
        for (int32_t K = 0; K < 2 * Half + 1; ++K)
            HSrc[size_t(K)] = Wide.get() + int64_t{K} * Spp;
        std::vector<uint16_t*> SlotPtr(static_cast<size_t>(Slots));
        for (int32_t I = 0; I < Slots; ++I)
            SlotPtr[size_t(I)] = Ring.get() + int64_t{I} * Samples;
        std::vector<const uint16_t*> View(static_cast<size_t>(Slots));

        auto HorizontalPass = [&](uint16_t* Dst, int64_t SourceRow) {
            const uint8_t* Row = Src.Row(MapIndex(int64_t{AY0} + SourceRow, PH, Wrap));
            uint16_t* W = Wide.get();
            if (Bits == 16) {
                const uint16_t* R16 = reinterpret_cast<const uint16_t*>(Row);
                for (int32_t J = 0; J < InLo; ++J)
                    W[J] = R16[ColMap[size_t(J)]];
                std::memcpy(W + InLo, R16 + (int64_t{AX0} - Half + InLo),
                            size_t(InHi - InLo) * 2);
                for (int32_t J = InHi; J < WideCols; ++J)
                    W[J] = R16[ColMap[size_t(J)]];
            } else {
                for (int32_t J = 0; J < InLo; ++J)
                    for (int32_t C = 0; C < Spp; ++C)
                        W[int64_t{J} * Spp + C] = Row[int64_t{ColMap[size_t(J)]} * BytesPerPixel + C];
                WidenBytes(W + int64_t{InLo} * Spp, Row + (int64_t{AX0} - Half + InLo) * Spp,
                           (InHi - InLo) * Spp);
                for (int32_t J = InHi; J < WideCols; ++J)
                    for (int32_t C = 0; C < Spp; ++C)
                        W[int64_t{J} * Spp + C] = Row[int64_t{ColMap[size_t(J)]} * BytesPerPixel + C];
            }
            for (int32_t S = 0; S < Samples; S += Chunk) {
                const int32_t N = std::min(Chunk, Samples - S);
                SumTaps(Acc, HSrc.data(), Plan, S, N, Short);
                if constexpr (sizeof(TAcc) == 4) {
                    StoreSamples(Dst + S, Acc, int32_t(Round), Shift, N);
                } else {
                    for (int32_t I = 0; I < N; ++I)
                        Dst[S + I] = static_cast<uint16_t>(std::min<int64_t>(65535, (Acc[I] + Round) >> Shift));
                }
            }
        };

        // Fill the ring with area rows -Half .. Half.
        int32_t Oldest = 0;
        for (int32_t I = 0; I < Slots; ++I)
            HorizontalPass(SlotPtr[size_t(I)], int64_t{I} - Half);

        std::unique_ptr<int32_t[]> Blurred;
        std::unique_ptr<uint8_t[]> Flags;
        if (Sharpen) {
            Blurred = Scratch<int32_t>(size_t(Samples));
            Flags = Scratch<uint8_t>(size_t(AW) * 2);
        }
        uint8_t* FlagsCur = Flags.get();
        uint8_t* FlagsNext = Flags.get() + AW;

        for (int32_t Y = 0; Y < AH; ++Y) {
            for (int32_t I = 0; I < Slots; ++I)
                View[size_t(I)] = SlotPtr[size_t((Oldest + I) % Slots)];
            uint8_t* Row = PixRow(AY0 + Y) + int64_t{AX0} * BytesPerPixel;
            const uint8_t* MaskRow = MaskOrigin ? MaskOrigin - int64_t{Y} * MaskLine : nullptr;
            for (int32_t S = 0; S < Samples; S += Chunk) {
                const int32_t N = std::min(Chunk, Samples - S);
                SumTaps(Acc, View.data(), Plan, S, N, Short);
                WriteChunk(Acc, Row, MaskRow, S, N, Blurred.get());
            }
            if (Sharpen) {
                std::memset(FlagsNext, 0, size_t(AW));
                const uint8_t* Below = Y + 1 < AH ? PixRow(AY0 + Y + 1) + int64_t{AX0} * 3 : nullptr;
                SubUnsharp(Row, Below, Blurred.get(), AW, Amount, Threshold, FlagsCur, FlagsNext);
                std::swap(FlagsCur, FlagsNext);
            }
            if (Y + 1 < AH) {
                HorizontalPass(SlotPtr[size_t(Oldest)], int64_t{Y} + Half + 1);
                Oldest = (Oldest + 1) % Slots;
            }
        }
    }

    template <class TAcc>
    void WriteChunk(const TAcc* Acc, uint8_t* Row, const uint8_t* MaskRow, int32_t S, int32_t N,
                    int32_t* Blurred)
    {
        if constexpr (sizeof(TAcc) == 4) {
            if (!MaskRow && !Sharpen && Bits != 16 && NarrowOut) {
                StoreBytes(Row + S, Acc, int32_t(Round), Shift, Offset, N);
                return;
            }
        }
        for (int32_t I = 0; I < N; ++I) {
            const int64_t V = ((int64_t{Acc[I]} + Round) >> Shift) + Offset;
            const int64_t X = int64_t{S} + I; // sample index in the area row
            if (Sharpen) {
                Blurred[X] = static_cast<int32_t>(ClampI64(V, INT32_MIN, INT32_MAX));
                continue;
            }
            const int32_t W = MaskRow ? MaskRow[X / Spp] : 255;
            if (Bits == 16) {
                uint16_t* P = reinterpret_cast<uint16_t*>(Row) + X;
                const int32_t New = static_cast<int32_t>(ClampI64(V, 0, 65535));
                if (!MaskRow)
                    *P = static_cast<uint16_t>(New);
                else if (W != 0)
                    *P = MaskBlend16(W, New, *P);
            } else {
                const int32_t New = static_cast<int32_t>(ClampI64(V, 0, 255));
                if (!MaskRow)
                    Row[X] = static_cast<uint8_t>(New);
                else if (W != 0)
                    Row[X] = MaskBlend8(W, New, Row[X]);
            }
        }
    }

    void Run32()
    {
        auto Acc = Scratch<int32_t>(Chunk);
        RunWith(Acc.get());
    }
    void Run64()
    {
        auto Acc = Scratch<int64_t>(Chunk);
        RunWith(Acc.get());
    }
};

} // namespace

// ===========================================================================
// Kernel builders

void MakeCircleMask(int32_t R, int32_t& Side, HGLOBAL& Kernel, int32_t& Count)
{
    Side = 0;
    Kernel = nullptr;
    Count = 0;
    if (R < 0)
        return;
    if (R > MaxFilterRadius)
        RaiseParam("MakeCircleMask", "Radius Too Large");
    const int32_t S = 2 * R + 1;
    HGLOBAL H = GlobalAllocQ(GPTR, size_t(S) * S * sizeof(int32_t));
    int32_t* K = static_cast<int32_t*>(H);
    int32_t N = 0;
    for (int32_t Y = -R; Y <= R; ++Y)
        for (int32_t X = -R; X <= R; ++X) {
            const bool In = RoundOff(std::sqrt(double(X) * X + double(Y) * Y)) <= R;
            K[int64_t{Y + R} * S + (X + R)] = In ? 1 : 0;
            N += In;
        }
    Side = S;
    Kernel = H;
    Count = N;
}

int32_t GetGaussKernelSize(double R, int32_t& Shift, double& S)
{
    Shift = 12;
    S = 0;
    if (!(R > 0))
        return 0;
    if (R > MaxFilterRadius)
        RaiseParam("GetGaussKernelSize", "Radius Too Large");
    S = -(R * R / 2) / std::log(0.1);
    if (!(S > 0))
        return 1; // the variance underflowed: only the centre has weight
    const double C = 1.0 / (2 * std::numbers::pi * S);
    for (int32_t N = 1;; ++N) {
        const double G = std::exp(-double(N) * N / (2 * S)) / (2 * std::numbers::pi * S);
        if (G < C / 128)
            return N;
    }
}

void MakeGaussKernel(double R, int32_t& Length, HGLOBAL& Kernel, int32_t& Shift)
{
    Length = 0;
    Kernel = nullptr;
    double S = 0;
    const int32_t N = GetGaussKernelSize(R, Shift, S);
    if (N == 0)
        return;
    const int32_t L = 2 * N + 1;
    std::vector<double> W(static_cast<size_t>(L));
    double Total = 0;
    for (int32_t I = -N; I <= N; ++I) {
        W[size_t(I + N)] = std::exp(-double(I) * I / (2 * S)) / (2 * std::numbers::pi * S);
        Total += W[size_t(I + N)];
    }
    if (!std::isfinite(Total) || !(Total > 0)) {
        // A vanishing radius: the common factor overflows; the shape is exp alone.
        Total = 0;
        for (int32_t I = -N; I <= N; ++I) {
            W[size_t(I + N)] = std::exp(-double(I) * I / (2 * S));
            Total += W[size_t(I + N)];
        }
    }
    const int32_t One = 1 << Shift;
    const double Scale = One / Total;
    std::vector<int32_t> K(static_cast<size_t>(L));
    TList2Item Fractions; // (key, index) in index order
    int64_t Sum = 0;
    for (int32_t I = 0; I < L; ++I) {
        const double V = W[size_t(I)] * Scale;
        K[size_t(I)] = static_cast<int32_t>(RoundOff(V));
        Sum += K[size_t(I)];
        Fractions.Add(static_cast<int32_t>(std::trunc((V - std::trunc(V)) * 10000)), I);
    }
    // Largest fractions first. Equal fractions (the two sides of the curve)
    // come in the order the list's quicksort leaves them, which decides
    // which side of a symmetric pair gets the rounding unit.
    Fractions.SortByKey([](int32_t Key1, int32_t Key2) { return Key2 - Key1; });
    const int64_t D = std::min<int64_t>(One - Sum, L);
    for (int32_t J = 0; J < D; ++J)
        ++K[size_t(Fractions.GetItem(J))];
    HGLOBAL H = GlobalAllocQ(GPTR, size_t(L) * sizeof(int32_t));
    std::memcpy(H, K.data(), size_t(L) * sizeof(int32_t));
    Length = L;
    Kernel = H;
}

void MakeFilterGradateMove(int32_t Length, double Angle, int32_t& Side, HGLOBAL& Kernel, int32_t& Sum)
{
    static const char* const Routine = "MakeFilterGradateMove";
    Side = 0;
    Kernel = nullptr;
    Sum = 0;
    if (Length <= 1)
        return;
    if (Length > 2 * MaxFilterRadius + 1)
        RaiseParam(Routine, "Radius Too Large");
    if (!std::isfinite(Angle))
        RaiseParam(Routine, "Illegal Param");
    const int32_t S = 2 * (Length / 2) + 1;
    const int64_t Count = int64_t{S} * S;
    const int64_t M = Count / 2;
    const double C = (Length - 1) / 2.0;
    const double A = std::numbers::pi * Angle / 180;
    std::vector<double> Acc(size_t(Count), 0.0);
    auto Add = [&](int64_t P, double V) {
        if (P < 0 || P >= Count)
            throw EUserError("MakeFilterGradateMove: iIdx11 Too Large");
        Acc[size_t(P)] += V;
    };
    const int32_t Steps = (Length - 1) * 32;
    for (int32_t I = 0; I <= Steps; ++I) {
        const double T = -C + I / 32.0;
        const double X = std::cos(A) * T;
        const double Y = std::sin(A) * T;
        const double IX = std::floor(X);
        const double IY = std::floor(Y);
        const double FX = X - IX; // already in [0, 1)
        const double FY = Y - IY;
        const int64_t P = int64_t{S} * static_cast<int64_t>(IY) + M + static_cast<int64_t>(IX);
        if (FY != 0 && Count <= P + S + 1)
            throw EUserError("MakeFilterGradateMove: iIdx11 Too Large");
        Add(P, (1 - FX) * (1 - FY));
        Add(P + 1, FX * (1 - FY));
        if (FY != 0) {
            Add(P + S, (1 - FX) * FY);
            Add(P + S + 1, FX * FY);
        }
    }
    HGLOBAL H = GlobalAllocQ(GPTR, size_t(Count) * sizeof(int32_t));
    int32_t* K = static_cast<int32_t*>(H);
    int64_t Total = 0;
    for (int64_t I = 0; I < Count; ++I) {
        K[I] = static_cast<int32_t>(RoundOff(Acc[size_t(I)] * 128));
        Total += K[I];
    }
    Side = S;
    Kernel = H;
    Sum = static_cast<int32_t>(Total);
}

void MakeFilterEmboss(int32_t Size, int32_t Angle, int32_t Divisor, int32_t& Side, HGLOBAL& Kernel,
                      int32_t& Scale)
{
    static const char* const Routine = "MakeFilterEmboss";
    Side = 0;
    Kernel = nullptr;
    Scale = 0;
    if (Size < 2)
        return;
    if (Size > 2 * MaxFilterRadius + 1)
        RaiseParam(Routine, "Radius Too Large");
    if (Divisor == 0)
        RaiseParam(Routine, "Illegal Param");
    const double A = Angle * std::numbers::pi / 180;
    int32_t S, PX, PY, NX, NY; // column, row of +256 and of -256
    if (Size == 2) {
        S = 3;
        PX = PY = 1;
        NX = 1 + static_cast<int32_t>(RoundOff(-1.42 * std::cos(A)));
        NY = 1 + static_cast<int32_t>(RoundOff(-1.42 * std::sin(A)));
    } else if (Size % 2 == 1) {
        S = Size;
        const int32_t M = Size / 2;
        const int32_t X = static_cast<int32_t>(std::floor(std::cos(A) * M + 0.5));
        const int32_t Y = static_cast<int32_t>(std::floor(std::sin(A) * M + 0.5));
        PX = M + X;
        PY = M + Y;
        NX = M - X;
        NY = M - Y;
    } else {
        S = Size;
        const int32_t M = Size / 2;
        const double D = M - 0.5;
        const double DX = std::cos(A) * D;
        const double DY = std::sin(A) * D;
        PX = M + static_cast<int32_t>(std::ceil(0.499 + DX)) - 1;
        PY = M + static_cast<int32_t>(std::ceil(0.499 + DY)) - 1;
        NX = M + static_cast<int32_t>(std::ceil(0.499 - DX)) - 1;
        NY = M + static_cast<int32_t>(std::ceil(0.499 - DY)) - 1;
    }
    HGLOBAL H = GlobalAllocQ(GPTR, size_t(S) * S * sizeof(int32_t));
    int32_t* K = static_cast<int32_t*>(H);
    K[int64_t{S} * PY + PX] = 256;
    K[int64_t{S} * NY + NX] = -256;
    Side = S;
    Kernel = H;
    Scale = static_cast<int32_t>(65536u / static_cast<uint32_t>(Divisor));
}

// ===========================================================================
// Drivers

namespace {

// The taps (row by row, left to right) as runs of neighbours of equal
// weight.
void KernelRuns(const std::vector<TFilterTap>& Taps, std::vector<TFilterRun>& Runs)
{
    Runs.clear();
    for (const TFilterTap& T : Taps) {
        if (!Runs.empty() && Runs.back().DY == T.DY && Runs.back().Right + 1 == T.DX &&
            Runs.back().Weight == T.Weight)
            Runs.back().Right = T.DX;
        else
            Runs.push_back(TFilterRun{T.DY, T.DX, T.DX, T.Weight});
    }
}

template <class TSum>
TAVRO_FILTER_LOOP void LiftSums(TSum* Sums, size_t N, TSum By)
{
    for (size_t J = 0; J < N; ++J)
        Sums[J] = static_cast<TSum>(Sums[J] + By);
}

// Running sums of a padded row, channel by channel, modulo the range of
// TSum: Sums[j + B] = Sums[j] + Row[j], starting from B zeros.
template <class TSum>
void RunningSums(const uint8_t* Row, size_t Bytes, int32_t B, TSum* Sums)
{
    for (int32_t C = 0; C < B; ++C)
        Sums[C] = 0;
    if (B == 3) { // three channels: three chains side by side already
        for (size_t J = 0; J < Bytes; ++J)
            Sums[J + 3] = static_cast<TSum>(Sums[J] + Row[J]);
        return;
    }
    // One channel: four quarters summed side by side, then each quarter
    // lifted by the total of those before it.
    const size_t Q = Bytes / 4;
    TSum S0 = 0, S1 = 0, S2 = 0, S3 = 0;
    for (size_t J = 0; J < Q; ++J) {
        Sums[J + 1] = S0 = static_cast<TSum>(S0 + Row[J]);
        Sums[Q + J + 1] = S1 = static_cast<TSum>(S1 + Row[Q + J]);
        Sums[2 * Q + J + 1] = S2 = static_cast<TSum>(S2 + Row[2 * Q + J]);
        Sums[3 * Q + J + 1] = S3 = static_cast<TSum>(S3 + Row[3 * Q + J]);
    }
    for (size_t J = 4 * Q; J < Bytes; ++J)
        Sums[J + 1] = S3 = static_cast<TSum>(S3 + Row[J]);
    for (size_t K = 1; K < 4; ++K)
        LiftSums(Sums + K * Q + 1, K < 3 ? Q : Bytes - 3 * Q, Sums[K * Q]);
}

// Width, height and row size of a buffer driver's header; false for an
// empty bitmap.
bool BufferGeometry(const BITMAPINFOHEADER* H, const void* Bits, const char* Routine, int32_t& W,
                    int32_t& Ht)
{
    if (!H)
        RaiseParam(Routine, "Illegal Param");
    W = H->biWidth;
    Ht = H->biHeight;
    if (W == 0 || Ht == 0)
        return false;
    if (W < 0 || Ht < 0 || int64_t{W} * Ht > MaxWorkPixels || !Bits)
        RaiseParam(Routine, "Illegal Param");
    return true;
}

} // namespace

void BMPBufFilter(uint8_t FilterType, HGLOBAL Header, HGLOBAL Bits, HGLOBAL MaskPlane, int32_t Size,
                  HGLOBAL Kernel, int32_t Divisor, int32_t Bias, int32_t Param, int32_t* Min,
                  int32_t* Max, uint8_t MeasureOnly, uint8_t Wrap)
{
    static const char* const Routine = "BMPBufFilter";
    if (FilterType == 0 && Divisor == 0)
        return;
    TLockedArg HeaderArg(Header), BitsArg(Bits), MaskArg(MaskPlane), KernelArg(Kernel);
    const BITMAPINFOHEADER* BI = HeaderArg.As<BITMAPINFOHEADER>();
    if (!BI)
        RaiseParam(Routine, "Illegal Param");
    int32_t B;
    if (BI->biBitCount == 8)
        B = 1;
    else if (BI->biBitCount == 24)
        B = 3;
    else
        throw EUserError("BMPBufFilter: (pBInfo^.biBitCount in [8, 24]");
    int32_t W, H;
    if (!BufferGeometry(BI, BitsArg.Get(), Routine, W, H))
        return;
    uint8_t* Pix = BitsArg.As<uint8_t>();
    const uint8_t* MaskBits = MaskArg.As<const uint8_t>();
    const int64_t LineSize = GetDIBLineSize(W, BI->biBitCount);
    const int64_t MaskLine = GetDIBLineSize(W, 8);

    TFilterMeasure Measure;
    auto Report = [&] {
        if (Min)
            *Min = Measure.Min;
        if (Max)
            *Max = Measure.Max;
    };
    if (FilterType > 7) {
        Report();
        return;
    }
    if (MaskBits) {
        switch (FilterType) {
        case 2: throw EUserError("SubAntiJpegNoise: Mask Not Supported");
        case 4: throw EUserError("SubSobel: Mask Not Supported");
        case 5: throw EUserError("SubPixelateMen: Mask Not Supported");
        case 6: throw EUserError("SubRankFilter: Mask Not Supported");
        case 7: throw EUserError("SubThresholdSmooth: Mask Not Supported");
        default: break;
        }
    }
    switch (FilterType) {
    case 1: // the 3 x 3 window whatever Size says
    case 2:
    case 4:
    case 7: Size = 3; break;
    case 3: Size = 13; break;
    case 5: Size = 5; break;
    default:
        if (Size > 2 * MaxFilterRadius + 1)
            RaiseParam(Routine, "Radius Too Large");
        break;
    }

    if (FilterType == 2 || FilterType == 3) {
        if (FilterType == 2)
            SubAntiJpegNoise(Pix, LineSize, W, H, B);
        else
            SubOilPaint(Pix, LineSize, W, H, B);
        return;
    }

    int32_t HX = Size / 2;
    int32_t HY = HX;
    std::vector<TFilterTap> Taps;
    if (FilterType == 0) {
        const int32_t* K = KernelArg.As<const int32_t>();
        const int64_t Entries = Size > 0 ? int64_t{Size} * Size : 0;
        const int64_t Held = GlobalSizeSafe(Kernel);
        if ((!K && Entries > 0) || (Held >= 0 && Held < Entries * int64_t{sizeof(int32_t)}))
            RaiseParam(Routine, "Illegal Param");
        const int32_t C = Size / 2;
        HX = HY = 0;
        for (int32_t Row = 0; Row < Size; ++Row)
            for (int32_t Col = 0; Col < Size; ++Col) {
                const int32_t V = K[int64_t{Row} * Size + Col];
                if (V == 0)
                    continue;
                Taps.push_back(TFilterTap{Col - C, Row - C, V});
                HX = std::max(HX, std::abs(Col - C));
                HY = std::max(HY, std::abs(Row - C));
            }
    } else if (FilterType == 6) {
        if (Size < 1 || Param < 0 || int64_t{Param} >= int64_t{Size} * Size)
            RaiseParam(Routine, "Illegal Param");
    }

    // Kernels made of long runs of equal weights (the circular mean, a
    // straight motion blur) are summed run by run from running sums kept
    // behind each padded row, in 16 bits where every sum fits (the mean up
    // to a radius of about 8), else in 32; other kernels go entry by entry.
    std::vector<TFilterRun> Runs;
    if (FilterType == 0)
        KernelRuns(Taps, Runs);
    bool ByRuns = FilterType == 0 && Runs.size() * 3 < Taps.size();
    const int64_t Bound =
        ByRuns ? ConvolutionRunsBound(Runs.data(), static_cast<int32_t>(Runs.size()), Divisor) : 0;
    ByRuns = ByRuns && Bound < (int64_t{1} << 31);
    const int32_t SumBytes = Bound < (int64_t{1} << 15) ? 2 : 4;
    const size_t PaddedBytes = size_t(int64_t{W} + 2 * int64_t{HX}) * size_t(B);
    const size_t PrefixOffset = (PaddedBytes + 7) / 8 * 8;
    const size_t SlotBytes = ByRuns ? PrefixOffset + (PaddedBytes + size_t(B)) * size_t(SumBytes) : 0;

    TRowSource Src(Pix, LineSize, H, int64_t{W} * B);
    if (Wrap)
        Src.Save(0, std::min(HY, H));
    TPaddedRing Ring(Src, W, B, HX, HY, Wrap != 0, SlotBytes);
    if (ByRuns)
        Ring.OnFill = [&](uint8_t* Slot) {
            if (SumBytes == 2)
                RunningSums(Slot, PaddedBytes, B, reinterpret_cast<uint16_t*>(Slot + PrefixOffset));
            else
                RunningSums(Slot, PaddedBytes, B, reinterpret_cast<uint32_t*>(Slot + PrefixOffset));
        };
    Ring.Start(0);
    const bool Measuring = FilterType == 0 && MeasureOnly;
    for (int32_t Y = 0; Y < H; ++Y) {
        TFilterRow R;
        R.Rows = Ring.Rows();
        R.HalfX = HX;
        R.HalfY = HY;
        R.Width = W;
        R.BytesPerPixel = B;
        R.Y = Y;
        R.Dest = Src.Live(Y);
        R.Mask = MaskBits ? MaskBits + (int64_t{H} - 1 - Y) * MaskLine : nullptr;
        switch (FilterType) {
        case 6: RankRow(R.Rows, Size, W, B, Param, R.Dest); break;
        case 0:
            if (ByRuns)
                SubConvolutionRuns(R, Runs.data(), static_cast<int32_t>(Runs.size()), PrefixOffset, SumBytes,
                                   Divisor, Bias, Measuring ? &Measure : nullptr);
            else
                SubConvolution(R, Taps.data(), static_cast<int32_t>(Taps.size()), Divisor, Bias,
                               Measuring ? &Measure : nullptr);
            break;
        case 1: SubDiffuse(R, Param); break;
        case 4: SubSobel(R); break;
        case 5: SubPixelateMen(R); break;
        case 7: SubThresholdSmooth(R, Param); break;
        }
        if (Y + 1 < H)
            Ring.Advance();
    }
    Report();
}

int32_t BMPCircleMaskFilter(uint8_t Kind, HGLOBAL Header, HGLOBAL Bits, HGLOBAL MaskPlane, int32_t Radius,
                            uint8_t Wrap)
{
    static const char* const Routine = "BMPCircleMaskFilter";
    if (GlobalSizeSafe(Header) < 40)
        return 1;
    TLockedArg HeaderArg(Header), BitsArg(Bits), MaskArg(MaskPlane);
    const BITMAPINFOHEADER* BI = HeaderArg.As<BITMAPINFOHEADER>();
    if (!BI || BI->biWidth == 0 || BI->biHeight == 0)
        return 3;
    if (Kind > 1)
        return 0;
    if (BI->biBitCount != 8)
        return 3;
    int32_t W, H;
    if (!BufferGeometry(BI, BitsArg.Get(), Routine, W, H))
        return 3;
    if (Radius < 0)
        return 0;
    if (Radius > MaxFilterRadius)
        RaiseParam(Routine, "Radius Too Large");
    uint8_t* Pix = BitsArg.As<uint8_t>();
    const uint8_t* MaskBits = MaskArg.As<const uint8_t>();
    const int64_t LineSize = GetDIBLineSize(W, 8);
    const int32_t R = Radius;
    const int32_t Padded = W + 2 * R;

    // Chord half-widths and sparse-table levels per circle row.
    std::vector<int32_t> Chord(size_t(R) + 1), Level(size_t(R) + 1);
    for (int32_t DY = 0; DY <= R; ++DY) {
        Chord[size_t(DY)] = ChordHalf(R, DY);
        Level[size_t(DY)] = FloorLog2(2 * int64_t{Chord[size_t(DY)]} + 1);
    }
    const int32_t Levels = Level[0] + 1;

    TRowSource Src(Pix, LineSize, H, W);
    if (Wrap)
        Src.Save(0, std::min(R, H));
    TPaddedRing Ring(Src, W, 1, R, R, Wrap != 0, size_t(Padded) * size_t(Levels));
    const bool IsMax = Kind == 1;
    Ring.OnFill = [&](uint8_t* Slot) {
        for (int32_t J = 1; J < Levels; ++J) {
            const int32_t Step = 1 << (J - 1);
            const int32_t N = Padded - (1 << J) + 1;
            uint8_t* Prev = Slot + int64_t{J - 1} * Padded;
            uint8_t* Cur = Slot + int64_t{J} * Padded;
            if (IsMax)
                MaxLevel(Cur, Prev, Prev + Step, N);
            else
                MinLevel(Cur, Prev, Prev + Step, N);
        }
    };
    Ring.Start(0);
    auto Acc = Scratch<uint8_t>(size_t(W));
    for (int32_t Y = 0; Y < H; ++Y) {
        const uint8_t* const* Rows = Ring.Rows();
        std::memset(Acc.get(), IsMax ? 0 : 255, size_t(W));
        for (int32_t DY = -R; DY <= R; ++DY) {
            const int32_t C = Chord[size_t(std::abs(DY))];
            const int32_t J = Level[size_t(std::abs(DY))];
            const uint8_t* L = Rows[DY + R] + int64_t{J} * Padded;
            const uint8_t* A = L + (R - C);
            const uint8_t* B = L + (int64_t{R} + C - (1 << J) + 1);
            if (IsMax)
                MaxChord(Acc.get(), A, B, W);
            else
                MinChord(Acc.get(), A, B, W);
        }
        uint8_t* Dest = Src.Live(Y);
        if (!MaskBits) {
            std::memcpy(Dest, Acc.get(), size_t(W));
        } else {
            const uint8_t* M = MaskBits + (int64_t{H} - 1 - Y) * LineSize;
            for (int32_t X = 0; X < W; ++X)
                if (M[X] != 0)
                    Dest[X] = MaskBlend8(M[X], Acc[X], Dest[X]);
        }
        if (Y + 1 < H)
            Ring.Advance();
    }
    return 0;
}

void BMPVHMaskFilter8(const TrecPicture& Picture, const TrecPicture* Mask, HGLOBAL Kernel, int32_t N,
                      int32_t Shift, int32_t Offset, uint8_t Wrap, int32_t Reserved,
                      const int32_t* SharpPercent, const int32_t* SharpThreshold)
{
    static const char* const Routine = "BMPVHMaskFilter8";
    const BITMAPINFOHEADER* BI = RecPictureHeader(Picture);
    if (!BI || BI->biWidth == 0 || BI->biHeight == 0)
        return;
    const int32_t Bits = BI->biBitCount;
    if (Bits != 8 && Bits != 16 && Bits != 24)
        throw EUserError("BMPVHMaskFilter8: (pBIHeaderDst.biBitCount in [8, 24]");
    int32_t PW, PH;
    if (!BufferGeometry(BI, Picture.pBits, Routine, PW, PH))
        return;
    if (N > MaxFilterKernelLength)
        RaiseParam(Routine, "Radius Too Large");
    TLockedArg KernelArg(Kernel);
    const int32_t* K = KernelArg.As<const int32_t>();
    const int64_t Held = GlobalSizeSafe(Kernel);
    if (N < 1 || !K || Shift < 0 || Shift > 31 || (Held >= 0 && Held < int64_t{N} * 4))
        RaiseParam(Routine, "Illegal Param");

    TVHFilter F;
    if (SharpPercent) {
        if (!SharpThreshold)
            RaiseParam(Routine, "Illegal Param");
        F.Amount = static_cast<int32_t>((int64_t{*SharpPercent} * 256 + 50) / 100);
        F.Threshold = *SharpThreshold;
    }
    TRect Area;
    if (Mask) {
        const BITMAPINFOHEADER* MI = RecPictureHeader(*Mask);
        if (!MI || MI->biWidth <= 0 || MI->biHeight <= 0 || !Mask->pBits)
            return; // an empty mask overlaps nothing
        if (MI->biBitCount != 8)
            RaiseParam(Routine, "Illegal Param");
        if (!RecPictureIntersectRect(Picture, *Mask, Area))
            return;
        F.MaskOrigin = RecPictureGetPixelPtr(*Mask, Area.Left, Area.Top);
        F.MaskLine = GetDIBLineSize(MI->biWidth, 8);
    } else {
        RecPictureGetRect(Picture, Area);
    }
    F.PW = PW;
    F.PH = PH;
    F.Bits = Bits;
    F.Spp = Bits == 24 ? 3 : 1;
    F.AX0 = static_cast<int32_t>(int64_t{Area.Left} - Picture.iLeft);
    F.AY0 = static_cast<int32_t>(int64_t{Area.Top} - Picture.iTop);
    F.AW = static_cast<int32_t>(int64_t{Area.Right} - Area.Left + 1);
    F.AH = static_cast<int32_t>(int64_t{Area.Bottom} - Area.Top + 1);
    F.Half = N / 2;
    F.Shift = Shift;
    F.Offset = Offset;
    F.Wrap = Wrap != 0;
    F.Sharpen = SharpPercent && Bits == 24 && !Mask;
    F.PixBits = Picture.pBits;
    F.LineSize = GetDIBLineSize(PW, Bits);
    F.Plan = MakeTapPlan(K, N);
    F.Run();
}

void BMPGaussBlur8(const TrecPicture& Picture, const TrecPicture* Mask, uint8_t Wrap, double Radius,
                   int32_t Reserved)
{
    int32_t Length = 0, Shift = 12;
    HGLOBAL Kernel = nullptr;
    MakeGaussKernel(Radius, Length, Kernel, Shift);
    if (Length == 0)
        return;
    struct TFree {
        HGLOBAL& H;
        ~TFree() { GlobalFreeQ(H); }
    } Free{Kernel};
    BMPVHMaskFilter8(Picture, Mask, Kernel, Length, 12, 0, Wrap, Reserved, nullptr, nullptr);
}

void BMPAllBufFilter(uint8_t AllBufFilterType, const TrecPicture& Dest, const TrecPicture& Source,
                     const TrecPicture* Mask, uint8_t Wrap, const TrecPicture& Bump, int32_t Depth,
                     int32_t Reserved1, int32_t Reserved2, int32_t Reserved3)
{
    if (AllBufFilterType != 0)
        throw EUserError("BMPAllBufFilter: Invalid AllBufFilterType ");
    SubGlassRefraction(Dest, Source, Mask, Wrap != 0, Bump, Depth);
}
