#include "raster/draw_path.h"

#include "foundation/bezier.h"
#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <string>

// The crossing sums of the two-pixel runs are built by Highway once per
// instruction set and picked at run time; the rest of this file is read once.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "raster/draw_path.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace tavro_draw_path {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// For crossings Xs[0 .. Count - 1] in pixels c and c + 1, with t = x - Base
// (Base = c O, O = 2^K): Out[0] = how many lie in c + 1 (t >> K, 0 or 1) and
// Out[1] = the sum of their t - O. No branch: which pixel a crossing falls
// in follows the slope's irregular steps. t >= 0, so the shift may be a
// logical one.
void SumSecondCell(const int64_t* HWY_RESTRICT Xs, int32_t Count, int64_t Base, int K, int64_t* HWY_RESTRICT Out)
{
    const hn::ScalableTag<int64_t> d;
    const hn::RebindToUnsigned<decltype(d)> du;
    const int32_t N = static_cast<int32_t>(hn::Lanes(d));
    const int64_t O = int64_t{1} << K;
    const auto VBase = hn::Set(d, Base);
    const auto VO = hn::Set(d, O);
    auto VOnes = hn::Zero(d);
    auto VFOnes = hn::Zero(d);
    int32_t J = 0;
    for (; J + N <= Count; J += N) {
        const auto T = hn::Sub(hn::LoadU(d, Xs + J), VBase);
        const auto C = hn::BitCast(d, hn::ShiftRightSame(hn::BitCast(du, T), K));
        VOnes = hn::Add(VOnes, C);
        VFOnes = hn::Add(VFOnes, hn::And(hn::Sub(T, VO), hn::Sub(hn::Zero(d), C)));
    }
    int64_t Ones = hn::GetLane(hn::SumOfLanes(d, VOnes));
    int64_t FOnes = hn::GetLane(hn::SumOfLanes(d, VFOnes));
    for (; J < Count; ++J) {
        const int64_t T = Xs[J] - Base;
        const int64_t C = T >> K;
        Ones += C;
        FOnes += (T - O) & -C;
    }
    Out[0] = Ones;
    Out[1] = FOnes;
}

} // namespace HWY_NAMESPACE
} // namespace tavro_draw_path
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

namespace tavro_draw_path {

HWY_EXPORT(SumSecondCell);

using TSumSecondCell = void (*)(const int64_t*, int32_t, int64_t, int, int64_t*);

// Looked up once per fill, which calls it for most pixel rows of every steep
// edge.
TSumSecondCell SumSecondCellForThisProcessor()
{
    if (!hwy::GetChosenTarget().IsInitialized())
        hwy::GetChosenTarget().Update(hwy::SupportedTargets());
    return &HWY_DYNAMIC_DISPATCH(SumSecondCell);
}

} // namespace tavro_draw_path

namespace {

using Int128 = __int128;

// Largest |coordinate| of an edge end in sub-samples. Path points scaled by
// at most 256 stay below 2^41; vertices made from doubles are clamped here so
// that 2 |dx| stays below 2^55 and the start-row product fits 128 bits.
constexpr int64_t MaxCoord = int64_t{1} << 52;

// Oversampling of at most 2^8: O x O must fit the coverage row and the blend.
constexpr int MaxShift = 8;

// A crossing key: polygon number above the x bits, x + 1 (x clamped to
// -1 .. width x O, at most 2^36) below.
constexpr int KeyXBits = 37;
constexpr uint64_t KeyXMask = (uint64_t{1} << KeyXBits) - 1;
constexpr int64_t MaxPolygons = int64_t{1} << (64 - KeyXBits);

// Arcs of caps and round joins never take more steps than this: a tolerance
// of 0 or below would otherwise ask for infinitely many.
constexpr int32_t MaxArcSteps = 1024;

// Inserted parameter steps between two offset points of a curve outline.
constexpr int32_t MaxOffsetSteps = 100;

// The stroker flattens curves and arcs to at least this distance in
// sub-samples (1/1024 pixel smoothed): a tolerance of 0, below 0 or NaN would
// otherwise split curves to rounding noise, and wide pens multiply the points.
constexpr double MinStrokeTolerance = 1.0 / 64;

struct TTarget {
    uint8_t* Bits = nullptr; // first byte of the bottom row
    int64_t Stride = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t PixelBytes = 1;
    int Shift = 0;           // k = log2 O
    uint8_t Color[3] = {0, 0, 0};
};

int CheckOverSample(int32_t OverSample, const char* Routine)
{
    bool Ok = OverSample > 0;
    int K = 0;
    if (Ok) {
        K = static_cast<int>(std::lround(std::log2(static_cast<double>(OverSample))));
        Ok = K >= 0 && K <= MaxShift && std::fabs(std::ldexp(1.0, K) - OverSample) <= 0.01;
    }
    if (!Ok)
        throw EUserError(std::string(Routine) + ": iOverSample illegal.");
    return K;
}

// The pixels to draw into; EUserError for a missing picture, a bad size or
// a depth other than 8 and 24 bits. Painting draws into its working planes,
// so every record it may make is taken; a row only has to leave room for
// its crossings' keys (the widest row at the finest oversampling would not).
void MakeTarget(const TrecPicture& P, uint32_t Color, int Shift, const char* Routine, TTarget& T)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    CheckDIBPicture(H, P.pBits, Routine, MaxWorkPixels);
    if ((int64_t{H->biWidth} << Shift) >= int64_t{KeyXMask})
        throw EUserError(std::string(Routine) + ": Illegal Size");
    if (H->biBitCount != 8 && H->biBitCount != 24)
        throw EUserError(std::string(Routine) + ": biBitCount illegal (" +
                         std::to_string(H->biBitCount) + "); only 8 and 24 bits can be drawn.");
    T.Bits = P.pBits;
    T.Stride = GetDIBLineSize(H->biWidth, H->biBitCount);
    T.Width = H->biWidth;
    T.Height = H->biHeight;
    T.PixelBytes = H->biBitCount / 8;
    T.Shift = Shift;
    if (T.PixelBytes == 1) {
        T.Color[0] = static_cast<uint8_t>(Color);
    } else {
        T.Color[0] = static_cast<uint8_t>(Color >> 16); // blue
        T.Color[1] = static_cast<uint8_t>(Color >> 8);  // green
        T.Color[2] = static_cast<uint8_t>(Color);       // red
    }
}

// ---------------------------------------------------------------------------
// Scan conversion

// A segment of an outline, from its top sub-row (at x0) down to its bottom.
struct TScanSeg {
    int64_t Top = 0;    // first sub-row crossed
    int64_t Bottom = 0; // first sub-row no longer crossed
    int64_t X0 = 0;     // x at Top
    int64_t Adx = 0;    // |dx|
    int64_t Step = 1;   // +1 or -1
};

// Consecutive segments of one polygon that all run down (or all up) form a
// chain: it crosses each sub-row of its extent once, so it keeps its place
// among the crossings while its segments take over from each other. Chains
// begin and end only at the outline's turning points.
struct TChain {
    int64_t Top = 0;
    int64_t Bottom = 0;
    uint32_t First = 0; // segments First .. Last, from top to bottom
    uint32_t Last = 0;
    uint32_t Poly = 0;
};

class TEdgeList {
public:
    explicit TEdgeList(int64_t HeightO) : FHeightO(HeightO) {}

    // The segment A-B of polygon Poly; a segment that starts where the last
    // one ended continues its chain. Horizontal segments cross no sub-row.
    void Add(int64_t Xa, int64_t Ya, int64_t Xb, int64_t Yb, uint32_t Poly)
    {
        const bool Joins = FOpen && Poly == FPoly && Xa == FEndX && Ya == FEndY;
        if (Ya == Yb) {
            if (Joins)
                FEndX = Xb;
            return;
        }
        const int Dir = Yb > Ya ? 1 : -1;
        if (!Joins || Dir != FDir) {
            Close();
            if (Segs.size() >= std::numeric_limits<uint32_t>::max())
                throw EOutOfResources("DIBSectionDrawPath: 点の数が多すぎます");
            FOpen = true;
            FDir = Dir;
            FPoly = Poly;
            FFirst = Segs.size();
        }
        TScanSeg S;
        if (Dir < 0) {
            std::swap(Xa, Xb);
            std::swap(Ya, Yb);
        }
        S.Top = Ya;
        S.Bottom = Yb;
        S.X0 = Xa;
        S.Step = Xb < Xa ? -1 : 1;
        S.Adx = Xb < Xa ? Xa - Xb : Xb - Xa;
        Segs.push_back(S);
        FEndX = Dir < 0 ? Xa : Xb;
        FEndY = Dir < 0 ? Ya : Yb;
    }

    void Finish() { Close(); }

    std::vector<TScanSeg> Segs;
    std::vector<TChain> Chains;

private:
    void Close()
    {
        if (!FOpen)
            return;
        FOpen = false;
        const auto First = Segs.begin() + static_cast<std::ptrdiff_t>(FFirst);
        if (FDir < 0)
            std::reverse(First, Segs.end());
        TChain C;
        C.Top = First->Top;
        C.Bottom = Segs.back().Bottom;
        C.First = static_cast<uint32_t>(FFirst);
        C.Last = static_cast<uint32_t>(Segs.size() - 1);
        C.Poly = FPoly;
        // A chain that crosses no sub-row of the picture is not kept.
        if (C.Bottom <= 0 || C.Top >= FHeightO) {
            Segs.erase(First, Segs.end());
            return;
        }
        Chains.push_back(C);
    }

    int64_t FHeightO;
    bool FOpen = false;
    int FDir = 0;
    uint32_t FPoly = 0;
    size_t FFirst = 0;
    int64_t FEndX = 0;
    int64_t FEndY = 0;
};

// A chain while it crosses the sub-rows being scanned.
struct TActiveEdge {
    uint64_t Key;     // crossing of the current sub-row: polygon, then x + 1
    int64_t X;        // x at the current sub-row
    int64_t Err;      // Bresenham error term, -2 dy <= Err < 0
    int64_t XStep;    // whole x steps per sub-row, signed
    int64_t Rem;      // 2 |dx| mod 2 dy
    int64_t TwoDy;
    int64_t Bottom;   // of the current segment
    int64_t Step;
    uint64_t PolyKey; // polygon number in the key's place
    int64_t ChainBottom;
    uint32_t Seg;
    uint32_t SegLast;
};

// Puts segment S on sub-row Y (S.Top <= Y < S.Bottom) with the state that
// stepping it row by row from its top would give: after k rows x has moved
// floor((2 k |dx| + dy) / (2 dy)) steps and the error is what remains.
inline void LoadSeg(TActiveEdge& A, const TScanSeg& S, int64_t Y)
{
    const int64_t Dy = S.Bottom - S.Top;
    const int64_t K = Y - S.Top;
    A.TwoDy = 2 * Dy;
    A.XStep = S.Step * (S.Adx / Dy);
    A.Rem = 2 * (S.Adx % Dy);
    A.Bottom = S.Bottom;
    A.Step = S.Step;
    if (K == 0) {
        A.X = S.X0;
        A.Err = -Dy;
    } else {
        const Int128 Num = Int128{2} * K * S.Adx + Dy;
        const Int128 M = Num / A.TwoDy; // at most |dx| + 1, as K < dy
        A.X = S.X0 + S.Step * static_cast<int64_t>(M);
        A.Err = static_cast<int64_t>(Num - Int128{Dy} - Int128{A.TwoDy} * M - Int128{Dy});
    }
}

// Records the crossing of sub-row Y (moving on to the chain's next segment
// where the current one ends) and steps to the next sub-row.
inline uint64_t CrossAndStep(TActiveEdge& E, const TScanSeg* Segs, int64_t Y, int64_t WidthO)
{
    if (Y >= E.Bottom) {
        ++E.Seg;
        LoadSeg(E, Segs[E.Seg], Y);
    }
    const int64_t X = E.X < -1 ? -1 : (E.X > WidthO ? WidthO : E.X);
    const uint64_t Key = E.PolyKey | static_cast<uint64_t>(X + 1);
    E.Err += E.Rem;
    const int64_t Carry = ~(E.Err >> 63); // all ones when Err >= 0
    E.X += E.XStep + (E.Step & Carry);
    E.Err -= E.TwoDy & Carry;
    return Key;
}

// What a pixel row's crossings of one chain add up to.
struct TRunSum {
    int64_t Sum = 0;
    int64_t Min = 0;
    int64_t Max = 0;
};

// The coverage row: per pixel the change of coverage against its left
// neighbour, so a span costs four additions whatever its length, and one
// running sum per pixel row recovers the coverage. Between two non-zero
// changes the coverage is constant and the pixels are written as one run.
class TCoverageRow {
public:
    TCoverageRow(const TTarget& T)
        : FT(T), FDelta(static_cast<size_t>(T.Width) + 3, 0),
          FSumSecondCell(tavro_draw_path::SumSecondCellForThisProcessor())
    {
        for (int I = 0; I < 48; ++I)
            FPattern[I] = T.Color[I % 3];
    }

    // Sub-samples X0 .. X1 - 1 of the current sub-row, 0 <= X0 < X1 <= W x O.
    inline void AddSpan(int64_t X0, int64_t X1)
    {
        const int K = FT.Shift;
        const int32_t O = int32_t{1} << K;
        const int32_t Mask = O - 1;
        const int64_t P0 = X0 >> K;
        const int64_t P1 = X1 >> K;
        const int32_t F0 = static_cast<int32_t>(X0 & Mask);
        const int32_t F1 = static_cast<int32_t>(X1 & Mask);
        int32_t* D = FDelta.data();
        D[P0] += O - F0;
        D[P0 + 1] += F0;
        D[P1] += F1 - O;
        D[P1 + 1] -= F1;
        FLow = std::min(FLow, P0);
        FHigh = std::max(FHigh, P1 + 1);
        Touch(P0, P0 + 1);
        Touch(P1, P1 + 1);
    }

    // The crossings Xs[0 .. Count - 1] of one chain on consecutive sub-rows,
    // each opening (Sign +1) or closing (-1) a span: the same changes as the
    // spans' own, since a span's ends clip to the picture independently;
    // they are gathered per pixel before they are added.
    void AddRun(const int64_t* Xs, int32_t Count, int32_t Sign)
    {
        // n crossings in one pixel c at x1..xn add n O - f and f to pixels c
        // and c + 1, f being the sum of x - c O: the sum of x and the count
        // carry it.
        const int K = FT.Shift;
        const int64_t O = int64_t{1} << K;
        const int64_t WidthO = int64_t{FT.Width} << K;
        int32_t* D = FDelta.data();
        int64_t X = Xs[0];
        X = X < 0 ? 0 : (X > WidthO ? WidthO : X);
        int64_t Cell = X >> K;
        int64_t Sum = X;
        int64_t N = 1;
        int64_t Lo = Cell;
        int64_t Hi = Cell;
        auto Put = [&] {
            const int64_t F = Sum - N * (Cell << K);
            D[Cell] += static_cast<int32_t>(Sign * (N * O - F));
            D[Cell + 1] += static_cast<int32_t>(Sign * F);
        };
        for (int32_t J = 1; J < Count; ++J) {
            X = Xs[J];
            X = X < 0 ? 0 : (X > WidthO ? WidthO : X);
            const int64_t C = X >> K;
            if (C != Cell) {
                Put();
                Cell = C;
                Sum = 0;
                N = 0;
                Lo = std::min(Lo, C);
                Hi = std::max(Hi, C);
            }
            Sum += X;
            ++N;
        }
        Put();
        FLow = std::min(FLow, Lo);
        FHigh = std::max(FHigh, Hi + 1);
        Touch(Lo, Hi + 1);
    }

    // AddRun knowing the crossings' sum, least and greatest. Mostly they
    // stay in the picture and in one pixel (any edge steeper than one pixel
    // per pixel row, for most rows): their changes then follow from the sum
    // alone.
    inline void AddRunSum(const int64_t* Xs, const TRunSum& Run, int32_t Count, int32_t Sign)
    {
        const int K = FT.Shift;
        const int64_t Cell = Run.Min >> K;
        if (Run.Min < 0 || Run.Max > (int64_t{FT.Width} << K) || (Run.Max >> K) > Cell + 1) {
            AddRun(Xs, Count, Sign);
            return;
        }
        int32_t* D = FDelta.data();
        if ((Run.Max >> K) != Cell) {
            // Two pixels, c and c + 1: with t = x - c O, a crossing in c + 1
            // has t >> K = 1 and f = t - O.
            const int64_t O = int64_t{1} << K;
            const int64_t Base = Cell << K;
            int64_t Sums[2];
            FSumSecondCell(Xs, Count, Base, K, Sums);
            const int64_t Ones = Sums[0];
            const int64_t FOnes = Sums[1];
            const int64_t FZeros = Run.Sum - Count * Base - Ones * O - FOnes;
            D[Cell] += static_cast<int32_t>(Sign * ((Count - Ones) * O - FZeros));
            D[Cell + 1] += static_cast<int32_t>(Sign * (FZeros + Ones * O - FOnes));
            D[Cell + 2] += static_cast<int32_t>(Sign * FOnes);
            FLow = std::min(FLow, Cell);
            FHigh = std::max(FHigh, Cell + 2);
            Touch(Cell, Cell + 2);
            return;
        }
        const int64_t F = Run.Sum - Count * (Cell << K);
        D[Cell] += static_cast<int32_t>(Sign * ((int64_t{Count} << K) - F));
        D[Cell + 1] += static_cast<int32_t>(Sign * F);
        FLow = std::min(FLow, Cell);
        FHigh = std::max(FHigh, Cell + 1);
        Touch(Cell, Cell + 1);
    }

    // Writes pixel rows Row .. Row + Rows - 1 (0 = top) with the coverage
    // gathered and clears it. Rows that every edge crosses straight down
    // (vertical edges only, none beginning or ending in them) have the same
    // coverage: it is worked out once, and the runs it paints are painted
    // on each row, so that a tall picture costs per pixel, not per row.
    void FlushRows(int64_t Row, int64_t Rows)
    {
        if (Rows <= 1) {
            Flush(Row);
            return;
        }
        FRuns.clear();
        FRecording = true;
        Flush(Row);
        FRecording = false;
        uint8_t* Line = FT.Bits + (FT.Height - 1 - Row) * FT.Stride;
        const TPaintRun* const Runs = FRuns.data();
        const size_t Count = FRuns.size();
        for (int64_t R = 1; R < Rows; ++R) {
            Line -= FT.Stride;
            for (size_t I = 0; I < Count; ++I)
                PaintNow(Line, Runs[I].P, Runs[I].N, Runs[I].A);
        }
    }

    // Writes pixel row Row (0 = top) and clears the coverage.
    void Flush(int64_t Row)
    {
        if (FHigh < 0)
            return;
        uint8_t* Line = FT.Bits + (FT.Height - 1 - Row) * FT.Stride;
        const int64_t End = std::min<int64_t>(FHigh, FT.Width - 1);
        if (FRanges <= MaxRanges)
            FlushSparse(Line, End);
        else
            FlushDense(Line, End);
        // The row below is most likely drawn next over about the same
        // columns: the bytes at its ends, where it blends, are fetched while
        // its sub-rows are scanned, instead of stalling its first blends
        // (the solid runs between are written without waiting).
        if (Row + 1 < FT.Height && FLow <= End) {
            const uint8_t* Below = Line - FT.Stride;
            const int64_t From = FLow * FT.PixelBytes;
            const int64_t To = (End + 1) * FT.PixelBytes;
            __builtin_prefetch(Below + From, 1);
            __builtin_prefetch(Below + To - 1, 1);
        }
        FLow = std::numeric_limits<int64_t>::max();
        FHigh = -1;
        FRanges = 0;
    }

private:
    // Most rows change coverage in a few places only: the pixels each span
    // end or run of crossings touched are kept as ranges, and the flush
    // visits those instead of every change entry between the row's ends.
    static constexpr size_t MaxRanges = 16;

    inline void Touch(int64_t Lo, int64_t Hi)
    {
        if (FRanges < MaxRanges)
            FRange[FRanges] = TRange{Lo, Hi};
        ++FRanges; // past MaxRanges the row is flushed densely
    }

    struct TRange {
        int64_t Lo;
        int64_t Hi; // inclusive
    };

    // The ranges in order, overlapping and adjacent ones merged: between
    // two of them the coverage is constant and is written as one run; in
    // them, as FlushDense would. Runs split where a range begins write the
    // same pixels as whole ones.
    void FlushSparse(uint8_t* Line, int64_t End)
    {
        const size_t N = FRanges;
        TRange* R = FRange;
        for (size_t I = 1; I < N; ++I) {
            const TRange V = R[I];
            size_t J = I;
            while (J > 0 && R[J - 1].Lo > V.Lo) {
                R[J] = R[J - 1];
                --J;
            }
            R[J] = V;
        }
        int32_t* D = FDelta.data();
        int32_t A = 0;
        int64_t P = R[0].Lo;
        for (size_t I = 0; I < N;) {
            const int64_t Lo = R[I].Lo;
            int64_t Hi = R[I].Hi;
            for (++I; I < N && R[I].Lo <= Hi + 1; ++I)
                Hi = std::max(Hi, R[I].Hi);
            Paint(Line, P, std::min(Lo, End + 1) - P, A);
            // Ranges are a few entries long: each is cleared as it is read.
            const int64_t Stop = std::min(Hi, End);
            for (P = Lo; P <= Stop;) {
                A += D[P];
                D[P] = 0;
                int64_t Q = P + 1;
                while (Q <= Stop && D[Q] == 0)
                    ++Q;
                Paint(Line, P, Q - P, A);
                P = Q;
            }
            for (int64_t C = std::max(Lo, Stop + 1); C <= Hi; ++C)
                D[C] = 0; // beyond the last pixel
        }
    }

    inline void Paint(uint8_t* Line, int64_t P, int64_t N, int32_t A)
    {
        if (N <= 0 || A <= 0)
            return;
        if (FRecording)
            FRuns.push_back(TPaintRun{P, N, A});
        PaintNow(Line, P, N, A);
    }

    inline void PaintNow(uint8_t* Line, int64_t P, int64_t N, int32_t A) const
    {
        const int32_t Full = int32_t{1} << (2 * FT.Shift);
        if (A >= Full)
            Solid(Line, P, N);
        else
            Blend(Line, P, N, A);
    }

    void FlushDense(uint8_t* Line, int64_t End)
    {
        const int32_t* D = FDelta.data();
        int32_t A = 0;
        for (int64_t P = FLow; P <= End;) {
            A += D[P];
            // The next change, eight entries at a time through the long runs.
            int64_t Q = P + 1;
            while (Q + 7 <= End) {
                uint64_t W0, W1, W2, W3;
                std::memcpy(&W0, D + Q, 8);
                std::memcpy(&W1, D + Q + 2, 8);
                std::memcpy(&W2, D + Q + 4, 8);
                std::memcpy(&W3, D + Q + 6, 8);
                if ((W0 | W1 | W2 | W3) != 0)
                    break;
                Q += 8;
            }
            while (Q <= End && D[Q] == 0)
                ++Q;
            Paint(Line, P, Q - P, A);
            P = Q;
        }
        std::memset(FDelta.data() + FLow, 0, static_cast<size_t>(FHigh - FLow + 1) * sizeof(int32_t));
    }
    void Solid(uint8_t* Line, int64_t P, int64_t N) const
    {
        if (FT.PixelBytes == 1) {
            if (N == 1)
                Line[P] = FT.Color[0]; // a narrow picture's rows
            else
                std::memset(Line + P, FT.Color[0], static_cast<size_t>(N));
            return;
        }
        uint8_t* Px = Line + P * 3;
        for (; N >= 16; N -= 16, Px += 48)
            std::memcpy(Px, FPattern, 48);
        for (; N >= 4; N -= 4, Px += 12)
            std::memcpy(Px, FPattern, 12);
        for (; N > 0; --N, Px += 3) {
            Px[0] = FT.Color[0];
            Px[1] = FT.Color[1];
            Px[2] = FT.Color[2];
        }
    }

    void Blend(uint8_t* Line, int64_t P, int64_t N, int32_t A) const
    {
        const int Sh = 2 * FT.Shift;
        const int32_t B = (int32_t{1} << Sh) - A;
        if (FT.PixelBytes == 1) {
            const int32_t C = FT.Color[0] * A;
            for (uint8_t* Px = Line + P; N > 0; --N, ++Px)
                *Px = static_cast<uint8_t>((C + *Px * B) >> Sh);
            return;
        }
        const int32_t C0 = FT.Color[0] * A;
        const int32_t C1 = FT.Color[1] * A;
        const int32_t C2 = FT.Color[2] * A;
        for (uint8_t* Px = Line + P * 3; N > 0; --N, Px += 3) {
            Px[0] = static_cast<uint8_t>((C0 + Px[0] * B) >> Sh);
            Px[1] = static_cast<uint8_t>((C1 + Px[1] * B) >> Sh);
            Px[2] = static_cast<uint8_t>((C2 + Px[2] * B) >> Sh);
        }
    }

    // A run of pixels of one coverage, as the flush painted it.
    struct TPaintRun {
        int64_t P;
        int64_t N;
        int32_t A;
    };

    const TTarget& FT;
    std::vector<int32_t> FDelta;
    std::vector<TPaintRun> FRuns; // the runs of the row being repeated
    bool FRecording = false;
    tavro_draw_path::TSumSecondCell FSumSecondCell;
    uint8_t FPattern[48]; // sixteen pixels of the colour
    int64_t FLow = std::numeric_limits<int64_t>::max();
    int64_t FHigh = -1;
    size_t FRanges = 0;
    TRange FRange[MaxRanges];
};

// Pairs sorted crossings (even-odd within each polygon) into spans.
inline void PairCrossings(TCoverageRow& Cover, const uint64_t* Keys, size_t N, int64_t WidthO)
{
    for (size_t I = 0; I + 1 < N;) {
        const uint64_t K0 = Keys[I];
        const uint64_t K1 = Keys[I + 1];
        if ((K0 ^ K1) >> KeyXBits) {
            ++I; // a polygon with an odd count cannot be closed; skip its leftover
            continue;
        }
        I += 2;
        const int64_t X1 = static_cast<int64_t>(K1 & KeyXMask) - 1;
        int64_t X0 = static_cast<int64_t>(K0 & KeyXMask) - 1;
        if (X1 < 0 || X0 >= WidthO)
            continue;
        if (X0 < 0)
            X0 = 0;
        if (X0 < X1)
            Cover.AddSpan(X0, X1);
    }
}

inline void SortKeys(uint64_t* Keys, size_t N)
{
    for (size_t I = 1; I < N; ++I) {
        const uint64_t V = Keys[I];
        size_t J = I;
        while (J > 0 && Keys[J - 1] > V) {
            Keys[J] = Keys[J - 1];
            --J;
        }
        Keys[J] = V;
    }
}

inline void SortActive(TActiveEdge* Act, size_t N)
{
    for (size_t I = 1; I < N; ++I) {
        if (Act[I - 1].Key <= Act[I].Key)
            continue;
        const TActiveEdge V = Act[I];
        size_t J = I;
        do {
            Act[J] = Act[J - 1];
            --J;
        } while (J > 0 && Act[J - 1].Key > V.Key);
        Act[J] = V;
    }
}

// One Bresenham step of x, without a branch (the carry pattern of a slope
// is too irregular to predict); the error's next value is picked from two
// sums made side by side, so one step waits only an addition and a
// conditional move on the last. x is picked by the same test made on the
// other sum (A >= 0 is Bv >= -2 dy): GCC turns one select per condition
// into a conditional move and makes branches of the rest.
inline void StepX(int64_t& X, int64_t& Err, int64_t XStep, int64_t Step, int64_t Rem,
                  int64_t RemLessTwoDy)
{
    const int64_t Bv = Err + RemLessTwoDy;
    const int64_t A = Err + Rem;
    const int64_t Xa = X + XStep;
    Err = A >= 0 ? Bv : A;
    X = Bv >= RemLessTwoDy - Rem ? Xa + Step : Xa;
}

// The crossings of chain E on sub-rows Y .. Y + O - 1 into Row, moving on
// through its segments; E is left on sub-row Y + O.
inline void StepChain(TActiveEdge& E, const TScanSeg* Segs, int64_t Y, int64_t O, int64_t* Row,
                      TRunSum& Run)
{
    int64_t Sum = 0;
    int64_t Min = std::numeric_limits<int64_t>::max();
    int64_t Max = std::numeric_limits<int64_t>::min();
    for (int64_t J = 0; J < O;) {
        if (Y + J >= E.Bottom) {
            ++E.Seg;
            LoadSeg(E, Segs[E.Seg], Y + J);
        }
        const int64_t Stop = std::min(O, E.Bottom - Y);
        int64_t X = E.X;
        int64_t Err = E.Err;
        const int64_t RemLess = E.Rem - E.TwoDy;
        // On one segment x runs monotonically: its ends are its extremes.
        Min = std::min(Min, X);
        Max = std::max(Max, X);
        for (; J < Stop; ++J) {
            Row[J] = X;
            Sum += X;
            StepX(X, Err, E.XStep, E.Step, E.Rem, RemLess);
        }
        Min = std::min(Min, Row[J - 1]);
        Max = std::max(Max, Row[J - 1]);
        E.X = X;
        E.Err = Err;
    }
    Run = TRunSum{Sum, Min, Max};
}

// StepChain for two chains whose current segments both cross all O
// sub-rows: each runs monotonically, from its first crossing to its last.
inline void StepTwo(TActiveEdge& E1, int64_t* Row1, TActiveEdge& E2, int64_t* Row2, int64_t O,
                    TRunSum& Run1, TRunSum& Run2)
{
    int64_t X1 = E1.X, Err1 = E1.Err, X2 = E2.X, Err2 = E2.Err;
    const int64_t Less1 = E1.Rem - E1.TwoDy, Less2 = E2.Rem - E2.TwoDy;
    int64_t S1 = 0, S2 = 0;
    for (int64_t J = 0; J < O; ++J) {
        Row1[J] = X1;
        Row2[J] = X2;
        S1 += X1;
        S2 += X2;
        StepX(X1, Err1, E1.XStep, E1.Step, E1.Rem, Less1);
        StepX(X2, Err2, E2.XStep, E2.Step, E2.Rem, Less2);
    }
    E1.X = X1;
    E1.Err = Err1;
    E2.X = X2;
    E2.Err = Err2;
    Run1 = TRunSum{S1, std::min(Row1[0], Row1[O - 1]), std::max(Row1[0], Row1[O - 1])};
    Run2 = TRunSum{S2, std::min(Row2[0], Row2[O - 1]), std::max(Row2[0], Row2[O - 1])};
}

// Largest batch of crossings (chains x sub-rows) scanned a pixel row at a time.
constexpr size_t MaxBatch = 1 << 16;

// Scans the chains: per sub-row the crossings of each polygon are sorted and
// paired (even-odd within the polygon) and all pairs add to one coverage row.
//
// A pixel row in which no chain begins or ends is scanned chain by chain:
// each chain's crossings of all sub-rows first, then, when every sub-row
// finds the chains in the same order, each chain opens or closes spans on
// all sub-rows alike and its changes are added at once. Otherwise the
// sub-rows of that pixel row are paired one by one.
void ScanEdges(const TTarget& T, TEdgeList& List)
{
    List.Finish();
    std::vector<TChain>& Chains = List.Chains;
    if (Chains.empty())
        return;
    const int K = T.Shift;
    const int64_t O = int64_t{1} << K;
    const int64_t Mask = O - 1;
    const int64_t HeightO = int64_t{T.Height} << K;
    const int64_t WidthO = int64_t{T.Width} << K;

    int64_t MinTop = std::numeric_limits<int64_t>::max();
    int64_t MaxBottom = std::numeric_limits<int64_t>::min();
    for (const TChain& C : Chains) {
        MinTop = std::min(MinTop, C.Top);
        MaxBottom = std::max(MaxBottom, C.Bottom);
    }
    const int64_t First = std::max<int64_t>(MinTop, 0);
    const int64_t Last = std::min(MaxBottom - 1, HeightO - 1);
    if (First > Last)
        return;

    std::sort(Chains.begin(), Chains.end(),
              [](const TChain& A, const TChain& B) { return A.Top < B.Top; });
    const TScanSeg* const Segs = List.Segs.data();
    const size_t Count = Chains.size();
    std::vector<TActiveEdge> ActiveList(Count);
    TActiveEdge* const Act = ActiveList.data();
    std::vector<int64_t> Batch(std::min(Count * static_cast<size_t>(O), MaxBatch));
    std::vector<uint64_t> Keys(Count);
    std::vector<int32_t> Signs(Count);
    std::vector<TRunSum> Runs(Count);
    size_t N = 0;
    TCoverageRow Cover(T);
    size_t Next = 0;

    int64_t Y = First;
    for (;;) {
        // Chains that begin here, or above the picture, join.
        while (Next < Count && Chains[Next].Top <= Y) {
            const TChain& C = Chains[Next++];
            uint32_t S = C.First;
            while (S < C.Last && Segs[S].Bottom <= Y)
                ++S;
            if (Segs[S].Bottom <= Y)
                continue;
            TActiveEdge& A = Act[N++];
            A.Key = 0;
            A.PolyKey = uint64_t{C.Poly} << KeyXBits;
            A.ChainBottom = C.Bottom;
            A.Seg = S;
            A.SegLast = C.Last;
            LoadSeg(A, Segs[S], std::max(Y, Segs[S].Top));
        }

        bool Whole = (Y & Mask) == 0 && Y + Mask <= Last && N > 0 &&
                     N * static_cast<size_t>(O) <= Batch.size() &&
                     (Next == Count || Chains[Next].Top > Y + Mask);
        for (size_t I = 0; Whole && I < N; ++I)
            Whole = Act[I].ChainBottom > Y + Mask;

        // Vertical edges only, all the row through: the rows below have
        // the same crossings until one of them ends or a chain begins.
        bool Straight = false;
        if (Whole) {
            int64_t* B = Batch.data();
            const size_t Os = static_cast<size_t>(O);
            size_t I = 0;
            // Two chains at a time where neither changes segment in these
            // sub-rows: their steps interleave, one waiting on the other's.
            for (; I + 1 < N; I += 2) {
                TActiveEdge& E1 = Act[I];
                TActiveEdge& E2 = Act[I + 1];
                if (E1.Bottom - Y < O || E2.Bottom - Y < O)
                    break;
                StepTwo(E1, B + I * Os, E2, B + (I + 1) * Os, O, Runs[I], Runs[I + 1]);
            }
            for (; I < N; ++I)
                StepChain(Act[I], Segs, Y, O, B + I * Os, Runs[I]);
            // Same order on every sub-row: by polygon, then by x (an order
            // of the raw x is also one of the clipped x).
            bool Ordered = true;
            for (size_t I = 1; Ordered && I < N; ++I) {
                if (Act[I - 1].PolyKey != Act[I].PolyKey) {
                    Ordered = Act[I - 1].PolyKey < Act[I].PolyKey;
                    continue;
                }
                const int64_t* P = B + (I - 1) * Os;
                const int64_t* Q = P + Os;
                // Wholly left of the next, a run cannot cross it.
                if (Runs[I - 1].Max <= Runs[I].Min)
                    continue;
                for (int64_t J = 0; J < O; ++J)
                    Ordered = Ordered && P[J] <= Q[J];
            }
            if (Ordered) {
                for (size_t I = 0; I < N;) {
                    if (I + 1 < N && Act[I].PolyKey == Act[I + 1].PolyKey) {
                        Signs[I] = 1;
                        Signs[I + 1] = -1;
                        I += 2;
                    } else {
                        Signs[I++] = 0;
                    }
                }
                for (size_t I = 0; I < N; ++I)
                    if (Signs[I] != 0) {
                        const int64_t* Row = B + I * Os;
                        Cover.AddRunSum(Row, Runs[I], static_cast<int32_t>(O), Signs[I]);
                    }
            } else {
                auto KeyOf = [&](size_t I, int64_t J) {
                    const int64_t X = B[I * Os + static_cast<size_t>(J)];
                    return Act[I].PolyKey |
                           static_cast<uint64_t>((X < -1 ? -1 : (X > WidthO ? WidthO : X)) + 1);
                };
                for (int64_t J = 0; J < O; ++J) {
                    for (size_t I = 0; I < N; ++I)
                        Keys[I] = KeyOf(I, J);
                    SortKeys(Keys.data(), N);
                    PairCrossings(Cover, Keys.data(), N, WidthO);
                }
                for (size_t I = 0; I < N; ++I)
                    Act[I].Key = KeyOf(I, Mask);
                SortActive(Act, N);
            }
            Y += Mask;
            // (Each chain on one vertical segment since the row's first
            // sub-row: a segment that took over inside the row left the
            // row's coverage unlike the next one's.)
            Straight = true;
            for (size_t I = 0; Straight && I < N; ++I)
                Straight = Act[I].XStep == 0 && Act[I].Rem == 0 && Segs[Act[I].Seg].Top <= Y - Mask;
        } else {
            // Record each chain's crossing and step it; finished chains leave.
            size_t M = 0;
            for (size_t I = 0; I < N; ++I) {
                TActiveEdge& E = Act[I];
                if (Y >= E.Bottom && E.Seg == E.SegLast)
                    continue;
                E.Key = CrossAndStep(E, Segs, Y, WidthO);
                if (M != I)
                    Act[M] = E;
                ++M;
            }
            N = M;
            // Kept in crossing order, the list needs few moves from row to row.
            SortActive(Act, N);
            for (size_t I = 0; I < N; ++I)
                Keys[I] = Act[I].Key;
            PairCrossings(Cover, Keys.data(), N, WidthO);
        }

        const bool RowEnd = (Y & Mask) == Mask || Y == Last;
        if (Straight) {
            // Pixel rows that lie wholly above Limit, the first sub-row where
            // a segment ends or a chain begins, repeat this one.
            int64_t Limit = Last + 1;
            if (Next < Count)
                Limit = std::min(Limit, Chains[Next].Top);
            for (size_t I = 0; I < N; ++I)
                Limit = std::min(Limit, Act[I].Bottom);
            const int64_t More = Limit > Y + 1 ? (Limit - (Y + 1)) >> K : 0;
            Cover.FlushRows(Y >> K, 1 + More);
            Y += More << K;
        } else if (RowEnd) {
            Cover.Flush(Y >> K);
        }
        if (Y >= Last)
            break;
        int64_t NextY = Y + 1;
        if (N == 0) {
            // Skip the rows where nothing is active.
            if (Next == Count || Chains[Next].Top > Last) {
                if (!RowEnd)
                    Cover.Flush(Y >> K);
                break;
            }
            NextY = std::max(NextY, Chains[Next].Top);
            if (!RowEnd && (NextY >> K) != (Y >> K))
                Cover.Flush(Y >> K);
        }
        Y = NextY;
    }
}

// ---------------------------------------------------------------------------
// Path fill

inline bool FitsInt32(int64_t V)
{
    return V >= std::numeric_limits<int32_t>::min() && V <= std::numeric_limits<int32_t>::max();
}

// The rounded halving of the integer curve split, in 64 bits.
inline int64_t Half2(int64_t A, int64_t B)
{
    return (A + B + 1) >> 1;
}
inline int64_t Half4(int64_t A, int64_t B, int64_t C)
{
    return (A + 2 * B + C + 2) >> 2;
}
inline int64_t Half8(int64_t A, int64_t B, int64_t C, int64_t D)
{
    return (A + 3 * B + 3 * C + D + 4) >> 3;
}

// Feeds the flattened points of a path to an edge list, as the point path
// flattener would make them with closing: moves and lines as they are, each
// curve replaced by its flattened points, every open figure closed by a
// line to its start. Coordinates in 64 bits; curves that fit 32 bits go
// through the shared flattener unchanged.
class TFillFlattener {
public:
    TFillFlattener(TEdgeList& Edges, double Tolerance, int64_t WidthO, int64_t HeightO)
        : FEdges(Edges), FTol(Tolerance), FWidthO(WidthO), FHeightO(HeightO)
    {
    }

    void Run(const TDrawPathPoint* Pts, const uint8_t* Types, int32_t N)
    {
        bool HasFigure = false;
        bool Closed = true;
        TDrawPathPoint Start;
        for (int32_t I = 0; I < N; ++I) {
            const uint8_t T = Types[I];
            const uint8_t Kind = PathPointKind(T);
            if (Kind == PT_MOVETO) {
                if (HasFigure && !Closed)
                    Emit(Start, PT_LINETO | PT_CLOSEFIGURE);
                Start = Pts[I];
                HasFigure = true;
                Closed = (T & PT_CLOSEFIGURE) != 0;
                Emit(Pts[I], T);
                continue;
            }
            if (!HasFigure) {
                Start = Pts[I];
                HasFigure = true;
            }
            if (Kind == PT_BEZIERTO && I >= 1 && I + 2 < N) {
                const uint8_t Close = static_cast<uint8_t>(Types[I + 2] & PT_CLOSEFIGURE);
                FlattenCurve(&Pts[I - 1], Close);
                Closed = Close != 0;
                I += 2;
            } else {
                Emit(Pts[I], Kind == PT_BEZIERTO ? static_cast<uint8_t>(PT_LINETO | (T & 1)) : T);
                Closed = (T & PT_CLOSEFIGURE) != 0;
            }
        }
        if (HasFigure && !Closed)
            Emit(Start, PT_LINETO | PT_CLOSEFIGURE);
    }

private:
    // Point i and point i + 1 make an edge unless point i closes its figure.
    // A closing point away from the start of its run of edges is joined back
    // to it, so that every run is a closed loop and the crossings of a row
    // pair up within their figure.
    void Emit(const TDrawPathPoint& P, uint8_t Type)
    {
        if (FHavePrev && !FPrevClosed)
            FEdges.Add(FPrev.X, FPrev.Y, P.X, P.Y, 0);
        else
            FRunStart = P;
        FPrev = P;
        FPrevClosed = (Type & PT_CLOSEFIGURE) != 0;
        FHavePrev = true;
        if (FPrevClosed && !(P == FRunStart))
            FEdges.Add(P.X, P.Y, FRunStart.X, FRunStart.Y, 0);
    }

    void FlattenCurve(const TDrawPathPoint* P, uint8_t Close)
    {
        FOut.clear();
        FlattenPiece(P, 0);
        for (size_t I = 0; I < FOut.size(); ++I)
            Emit(FOut[I], I + 1 == FOut.size() ? static_cast<uint8_t>(PT_LINETO | Close)
                                                : PT_LINETO);
    }

    // True when the curve's control points, and so the curve and its chord,
    // lie wholly above, below, left or right of the picture. Its flattened
    // points can then be replaced by the chord without a visible change:
    // no row of the picture is crossed above or below it, and left or right
    // of it every crossing clips to the same edge and only the number of
    // crossings per row counts, whose parity any chain of edges from P0 to
    // P3 shares.
    bool Outside(const TDrawPathPoint* P) const
    {
        bool Above = true, Below = true, Left = true, Right = true;
        for (int I = 0; I < 4; ++I) {
            Above = Above && P[I].Y <= 0;
            Below = Below && P[I].Y >= FHeightO;
            Left = Left && P[I].X < 0;
            Right = Right && P[I].X >= FWidthO;
        }
        return Above || Below || Left || Right;
    }

    // Curves outside the picture become their chords. Curves of 32-bit
    // coordinates go straight to the shared flattener; wider ones are moved
    // next to the origin (the flattener's halving moves with its points), and
    // curves wider than 2^31 sub-samples are halved first.
    void FlattenPiece(const TDrawPathPoint* P, int Depth)
    {
        // Only where an edge leads into the curve from P0 (else the run of
        // edges would start at the curve's first flattened point).
        const bool FromP0 = !FOut.empty() || (FHavePrev && !FPrevClosed);
        if (FromP0 && Outside(P)) {
            FOut.push_back(P[3]);
            return;
        }
        bool Fits = true;
        bool Near = true;
        for (int I = 0; I < 4; ++I) {
            Fits = Fits && FitsInt32(P[I].X) && FitsInt32(P[I].Y);
            Near = Near && FitsInt32(P[I].X - P[0].X) && FitsInt32(P[I].Y - P[0].Y);
        }
        if (Fits || Near || Depth >= 40) {
            const int64_t Ox = Fits ? 0 : P[0].X;
            const int64_t Oy = Fits ? 0 : P[0].Y;
            TPoint Q[4];
            for (int I = 0; I < 4; ++I)
                Q[I] = TPoint{static_cast<int32_t>(std::clamp<int64_t>(P[I].X - Ox, INT32_MIN, INT32_MAX)),
                              static_cast<int32_t>(std::clamp<int64_t>(P[I].Y - Oy, INT32_MIN, INT32_MAX))};
            FScratch.clear();
            BezierFlattenAppend(Q, FTol, FScratch);
            if (FScratch.empty())
                FScratch.push_back(Q[3]);
            for (const TPoint& S : FScratch)
                FOut.push_back(TDrawPathPoint{S.X + Ox, S.Y + Oy});
            return;
        }
        TDrawPathPoint L[4], R[4];
        L[0] = P[0];
        L[1] = {Half2(P[0].X, P[1].X), Half2(P[0].Y, P[1].Y)};
        L[2] = {Half4(P[0].X, P[1].X, P[2].X), Half4(P[0].Y, P[1].Y, P[2].Y)};
        L[3] = {Half8(P[0].X, P[1].X, P[2].X, P[3].X), Half8(P[0].Y, P[1].Y, P[2].Y, P[3].Y)};
        R[0] = L[3];
        R[1] = {Half4(P[1].X, P[2].X, P[3].X), Half4(P[1].Y, P[2].Y, P[3].Y)};
        R[2] = {Half2(P[2].X, P[3].X), Half2(P[2].Y, P[3].Y)};
        R[3] = P[3];
        FlattenPiece(L, Depth + 1);
        FlattenPiece(R, Depth + 1);
    }

    TEdgeList& FEdges;
    double FTol;
    int64_t FWidthO;
    int64_t FHeightO;
    TDrawPathPoint FPrev;
    TDrawPathPoint FRunStart;
    bool FHavePrev = false;
    bool FPrevClosed = false;
    std::vector<TDrawPathPoint> FOut;
    std::vector<TPoint> FScratch;
};

// Path points in sub-samples: moved to the picture and scaled, or as they are.
std::vector<TDrawPathPoint> PathPoints(const TrecPath& Path, int32_t N, bool Scale, int32_t Left,
                                       int32_t Top, int Shift)
{
    std::vector<TDrawPathPoint> Pts(static_cast<size_t>(N));
    for (int32_t I = 0; I < N; ++I) {
        const TPoint& P = Path.Points[static_cast<size_t>(I)];
        if (Scale)
            Pts[static_cast<size_t>(I)] = TDrawPathPoint{(int64_t{P.X} - Left) * (int64_t{1} << Shift),
                                                         (int64_t{P.Y} - Top) * (int64_t{1} << Shift)};
        else
            Pts[static_cast<size_t>(I)] = TDrawPathPoint{P.X, P.Y};
    }
    return Pts;
}

int32_t PathCount(const TrecPath& Path)
{
    int64_t N = std::max<int32_t>(Path.Count, 0);
    N = std::min<int64_t>(N, static_cast<int64_t>(Path.Points.size()));
    N = std::min<int64_t>(N, static_cast<int64_t>(Path.pabType.size()));
    return static_cast<int32_t>(N);
}

// ---------------------------------------------------------------------------
// Stroke outline

inline int64_t RoundCoord(double V)
{
    if (!(V == V))
        return 0;
    const double Lim = static_cast<double>(MaxCoord);
    return static_cast<int64_t>(std::nearbyint(std::clamp(V, -Lim, Lim)));
}

inline TDPoint ToD(const TDrawPathPoint& P)
{
    return TDPoint{static_cast<double>(P.X), static_cast<double>(P.Y)};
}

inline bool IsZero(const TDPoint& V)
{
    return V.X == 0.0 && V.Y == 0.0;
}

// Arc steps for an angle Theta on radius R at the tolerance: the chord of one
// step lies within Tolerance of the arc. The argument of the arc cosine is
// kept in -1 .. 1 and the count in 1 .. MaxArcSteps.
int32_t ArcSteps(double Theta, double Tolerance, double R)
{
    double C = 1.0 - Tolerance / R;
    if (!(C > -1.0))
        C = -1.0;
    if (C >= 1.0)
        return MaxArcSteps;
    const double Step = std::acos(C);
    const double N = std::ceil(Theta / Step);
    if (!(N >= 1.0))
        return 1;
    return N >= MaxArcSteps ? MaxArcSteps : static_cast<int32_t>(N);
}

struct TPiece {
    bool Curve = false;
    TDrawPathPoint P[4];  // a line uses P[0] and P[1]
    TDPoint DirIn;        // direction leaving the start
    TDPoint DirOut;       // direction arriving at the end
    TDrawPathPoint Start() const { return P[0]; }
};

class TStroker {
public:
    TStroker(const TrecPenData& Pen, int Shift, double Tolerance, TStrokeOutline& Out)
        : FOut(Out), FTol(Tolerance >= MinStrokeTolerance ? Tolerance : MinStrokeTolerance)
    {
        const double O = std::ldexp(1.0, Shift);
        double Ratio = Pen.MiterLimit;
        if (!(Ratio >= 1.0))
            Ratio = 1.0;
        FH = Pen.Width / 2.0 * O;
        const double Limit = Pen.Width * Ratio / 2.0 * O;
        FLimitSq = Limit * Limit;
        FCap = Pen.Style & PenCapMask;
        FJoin = Pen.Style & PenJoinMask;
    }

    void Run(const TDrawPathPoint* Pts, const uint8_t* Types, int32_t N)
    {
        if (N == 0)
            return;
        if (PathPointKind(Types[0]) != PT_MOVETO)
            throw EUserError("RecPictureDrawPathAntiAlias: pabType[0] <> PT_MOVETO");
        for (int32_t I = 0; I < N; ++I) {
            const uint8_t K = PathPointKind(Types[I]);
            if (K != PT_MOVETO && K != PT_LINETO && K != PT_BEZIERTO)
                throw EUserError("RecPictureDrawPathAntiAlias: pabType[iCntrPnt] Illegal");
        }
        int32_t First = 0;
        while (First < N) {
            int32_t Last = First;
            while (Last + 1 < N && PathPointKind(Types[Last + 1]) != PT_MOVETO)
                ++Last;
            Figure(Pts, Types, First, Last);
            First = Last + 1;
        }
    }

private:
    void Figure(const TDrawPathPoint* Pts, const uint8_t* Types, int32_t First, int32_t Last)
    {
        FPieces.clear();
        for (int32_t J = First + 1; J <= Last; ++J) {
            if (PathPointKind(Types[J]) == PT_BEZIERTO) {
                if (J + 2 > Last || PathPointKind(Types[J + 1]) != PT_BEZIERTO ||
                    PathPointKind(Types[J + 2]) != PT_BEZIERTO)
                    throw EUserError(
                        "RecPictureDrawPathAntiAlias: recPolyOver.pabType[iCntrPnt] <> PT_BezierTo");
                AddCurve(&Pts[J - 1]);
                J += 2;
            } else {
                AddLine(Pts[J - 1], Pts[J]);
            }
        }
        const bool Closed = (Types[Last] & PT_CLOSEFIGURE) != 0;
        if (Closed && !(Pts[Last] == Pts[First]))
            AddLine(Pts[Last], Pts[First]);
        if (FPieces.empty())
            return; // a figure of one point (or of coinciding points) has no direction

        const size_t N = FPieces.size();
        for (size_t I = 0; I < N; ++I) {
            const TPiece* Prev = nullptr;
            if (I > 0)
                Prev = &FPieces[I - 1];
            else if (Closed)
                Prev = &FPieces[N - 1];
            if (FPieces[I].Curve)
                OutlineCurve(FPieces[I], Prev);
            else
                OutlineLine(FPieces[I], Prev);
        }
        if (!Closed) {
            // The first point that differs from the end gives the cap's direction.
            int32_t J = First + 1;
            while (J <= Last && Pts[J] == Pts[First])
                ++J;
            if (J <= Last)
                Cap(Pts[First], Pts[J]);
            J = Last - 1;
            while (J >= First && Pts[J] == Pts[Last])
                --J;
            if (J >= First)
                Cap(Pts[Last], Pts[J]);
        }
    }

    void AddLine(const TDrawPathPoint& A, const TDrawPathPoint& B)
    {
        if (A == B)
            return; // zero-length segments have no direction and add nothing
        TPiece P;
        P.P[0] = A;
        P.P[1] = B;
        P.DirIn = TDPoint{static_cast<double>(B.X - A.X), static_cast<double>(B.Y - A.Y)};
        P.DirOut = P.DirIn;
        FPieces.push_back(P);
    }

    void AddCurve(const TDrawPathPoint* Q)
    {
        if (Q[1] == Q[0] && Q[2] == Q[0] && Q[3] == Q[0])
            return;
        TPiece P;
        P.Curve = true;
        for (int I = 0; I < 4; ++I)
            P.P[I] = Q[I];
        TDPoint D[4];
        for (int I = 0; I < 4; ++I)
            D[I] = ToD(Q[I]);
        // Leaving the start: toward the first control point, else the curve's
        // own tangent, else the first distinct point.
        P.DirIn = TDPoint{D[1].X - D[0].X, D[1].Y - D[0].Y};
        if (IsZero(P.DirIn)) {
            const TDPoint B = DBezierPoint(D, 0.01);
            P.DirIn = TDPoint{B.X - D[0].X, B.Y - D[0].Y};
        }
        for (int I = 2; I < 4 && IsZero(P.DirIn); ++I)
            P.DirIn = TDPoint{D[I].X - D[0].X, D[I].Y - D[0].Y};
        // Arriving at the end: from the last control point, else the tangent
        // at 1 (length 100), else from the first distinct point.
        P.DirOut = TDPoint{D[3].X - D[2].X, D[3].Y - D[2].Y};
        if (IsZero(P.DirOut)) {
            const TDPoint B = DBezierPoint(D, 0.99);
            TDPoint V{D[3].X - B.X, D[3].Y - B.Y};
            const double L = std::hypot(V.X, V.Y);
            if (L > 0.0)
                V = TDPoint{V.X * 100.0 / L, V.Y * 100.0 / L};
            P.DirOut = V;
        }
        for (int I = 1; I >= 0 && IsZero(P.DirOut); --I)
            P.DirOut = TDPoint{D[3].X - D[I].X, D[3].Y - D[I].Y};
        if (IsZero(P.DirIn) || IsZero(P.DirOut))
            return;
        FPieces.push_back(P);
    }

    // Side 1 of a direction: (dy, -dx) scaled to the half width.
    TDPoint Normal(const TDPoint& D) const
    {
        const double L = std::hypot(D.X, D.Y);
        return TDPoint{D.Y * FH / L, -D.X * FH / L};
    }

    void Put(const TDPoint& P)
    {
        FOut.Points.push_back(TDrawPathPoint{RoundCoord(P.X), RoundCoord(P.Y)});
    }

    void BeginPolygon()
    {
        FOut.Starts.back() = static_cast<int32_t>(FOut.Points.size());
        FPolyFirst = FOut.Points.size();
    }

    void EndPolygon()
    {
        FOut.Points.push_back(FOut.Points[FPolyFirst]);
        if (FOut.Points.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()) ||
            static_cast<int64_t>(FOut.Starts.size()) >= MaxPolygons)
            throw EOutOfResources("RecPictureDrawPathAntiAlias: 点の数が多すぎます");
        FOut.Starts.push_back(static_cast<int32_t>(FOut.Points.size()));
    }

    // The join at the start of piece Next, after Prev, into the open polygon:
    // its points go between the start's side-2 and side-1 offsets, so that
    // the polygon stays convex.
    void Join(const TPiece& Prev, const TPiece& Next)
    {
        if (FJoin == PenJoinNone)
            return;
        const TDPoint D1 = Prev.DirOut;
        const TDPoint D2 = Next.DirIn;
        const double Cross = D1.X * D2.Y - D1.Y * D2.X;
        const double Dot = D1.X * D2.X + D1.Y * D2.Y;
        if (Cross == 0.0 && Dot > 0.0)
            return; // straight on
        const double Side = Cross >= 0.0 ? 1.0 : -1.0;
        const TDPoint C = ToD(Next.Start());
        const TDPoint N1 = Normal(D1);
        const TDPoint N2 = Normal(D2);
        const TDPoint E{C.X + Side * N1.X, C.Y + Side * N1.Y}; // end of the previous outline
        const TDPoint A{C.X + Side * N2.X, C.Y + Side * N2.Y}; // start of this one
        FJoinPts.clear();
        FJoinPts.push_back(E);
        if (FJoin == PenJoinMiter) {
            const TDPoint E2{E.X + D1.X, E.Y + D1.Y};
            const TDPoint A2{A.X + D2.X, A.Y + D2.Y};
            TDPoint M;
            if (DLineIntersection(E, E2, A, A2, &M)) {
                const double Sq = DPointSqrDistance(M, C);
                if (Sq <= FLimitSq) {
                    FJoinPts.push_back(M);
                } else {
                    // Cut square at the limit's distance from the corner.
                    const double K = std::sqrt(FLimitSq / Sq);
                    const TDPoint L{C.X + (M.X - C.X) * K, C.Y + (M.Y - C.Y) * K};
                    TDPoint F1, F2, X1, X2;
                    DPerpendicularLine(L, C, M, F1, F2);
                    if (DLineIntersection(F1, F2, E, E2, &X1) &&
                        DLineIntersection(F1, F2, A, A2, &X2)) {
                        FJoinPts.push_back(X1);
                        FJoinPts.push_back(X2);
                    }
                }
            }
        } else if (FJoin == PenJoinRound) {
            const double R = DPointDistance(E, C);
            if (!(R > 0.0))
                return;
            const double Theta =
                std::numbers::pi - DVectorAngle(TDPoint{-D1.X, -D1.Y}, D2);
            const int32_t Steps = ArcSteps(Theta, FTol, R);
            const double A0 = std::atan2(E.Y - C.Y, E.X - C.X);
            for (int32_t J = 1; J < Steps; ++J) {
                const double Ang = A0 + Side * Theta * J / Steps;
                FJoinPts.push_back(TDPoint{C.X + R * std::cos(Ang), C.Y + R * std::sin(Ang)});
            }
        }
        FJoinPts.push_back(A);
        if (Side > 0.0) {
            for (const TDPoint& P : FJoinPts)
                Put(P);
        } else {
            for (size_t I = FJoinPts.size(); I-- > 0;)
                Put(FJoinPts[I]);
        }
    }

    void OutlineLine(const TPiece& P, const TPiece* Prev)
    {
        const TDrawPathPoint A = P.P[0];
        const TDrawPathPoint B = P.P[1];
        int64_t Dx = B.X - A.X;
        int64_t Dy = B.Y - A.Y;
        // The offset comes from the segment's direction only; a direction
        // wider than 32 bits is shortened first.
        while (!FitsInt32(Dx) || !FitsInt32(Dy)) {
            Dx /= 2;
            Dy /= 2;
        }
        TPoint A1, B1, A2, B2;
        OffsetLine(TPoint{0, 0}, TPoint{static_cast<int32_t>(Dx), static_cast<int32_t>(Dy)}, FH,
                   A1, B1, A2, B2);
        BeginPolygon();
        FOut.Points.push_back(TDrawPathPoint{A.X + A1.X, A.Y + A1.Y});
        FOut.Points.push_back(TDrawPathPoint{B.X + A1.X, B.Y + A1.Y});
        FOut.Points.push_back(TDrawPathPoint{B.X + A2.X, B.Y + A2.Y});
        FOut.Points.push_back(TDrawPathPoint{A.X + A2.X, A.Y + A2.Y});
        if (Prev != nullptr)
            Join(*Prev, P);
        EndPolygon();
    }

    // Unit-free tangent of the curve at T, or false where it vanishes. At an
    // end the tangent routine itself is the only exact judge of a vanishing
    // fallback chord, so its refusal is the answer there.
    bool Tangent(const TDPoint Q[4], double T, TDPoint& V) const
    {
        try {
            V = DBezierGetTanT(Q, T);
        } catch (const EUserError&) {
            return false;
        }
        return !IsZero(V) && std::isfinite(V.X) && std::isfinite(V.Y);
    }

    // Offset of the curve point at T; where the tangent vanishes (a cusp) the
    // last good normal is kept.
    TDPoint OffsetNormal(const TDPoint Q[4], double T)
    {
        TDPoint V;
        if (Tangent(Q, T, V))
            FLastNormal = Normal(V);
        return FLastNormal;
    }

    // Inserted points on one side between two neighbouring offset points
    // that lie farther apart than their curve points.
    void Refine(const TDPoint Q[4], double T0, double T1, const TDPoint& C0, const TDPoint& C1,
                const TDPoint& O0, const TDPoint& O1, double Sign, std::vector<TDPoint>& Side)
    {
        const double Off = DPointSqrDistance(O0, O1);
        const double Crv = DPointSqrDistance(C0, C1);
        if (!(Off > Crv))
            return;
        int32_t Steps = MaxOffsetSteps;
        if (Crv > 0.0) {
            const double S = std::ceil(std::sqrt(Off / Crv));
            if (S < MaxOffsetSteps)
                Steps = static_cast<int32_t>(S);
        }
        const TDPoint Keep = FLastNormal;
        for (int32_t J = 1; J < Steps; ++J) {
            const double T = T0 + (T1 - T0) * J / Steps;
            const TDPoint C = DBezierPoint(Q, T);
            const TDPoint N = OffsetNormal(Q, T);
            Side.push_back(TDPoint{C.X + Sign * N.X, C.Y + Sign * N.Y});
        }
        FLastNormal = Keep;
    }

    void OutlineHalf(const TDPoint Q[4], const TPiece& Piece, const TPiece* Prev)
    {
        FPts.assign(1, Q[0]);
        FParams.assign(1, 0.0);
        DBezierToPolyLineAppend(Q, FTol, FPts, FParams);
        // A normal to start from where the curve begins with a cusp.
        TDPoint V{Q[3].X - Q[0].X, Q[3].Y - Q[0].Y};
        for (int I = 1; I < 4 && IsZero(V); ++I)
            V = TDPoint{Q[I].X - Q[0].X, Q[I].Y - Q[0].Y};
        if (IsZero(V))
            V = Piece.DirIn;
        FLastNormal = Normal(V);
        FSide1.clear();
        FSide2.clear();
        TDPoint PrevN;
        for (size_t I = 0; I < FPts.size(); ++I) {
            const TDPoint C = FPts[I];
            const TDPoint N = OffsetNormal(Q, FParams[I]);
            const TDPoint O1{C.X + N.X, C.Y + N.Y};
            const TDPoint O2{C.X - N.X, C.Y - N.Y};
            if (I > 0) {
                const TDPoint Cp = FPts[I - 1];
                const TDPoint P1{Cp.X + PrevN.X, Cp.Y + PrevN.Y};
                const TDPoint P2{Cp.X - PrevN.X, Cp.Y - PrevN.Y};
                Refine(Q, FParams[I - 1], FParams[I], Cp, C, P1, O1, 1.0, FSide1);
                Refine(Q, FParams[I - 1], FParams[I], Cp, C, P2, O2, -1.0, FSide2);
            }
            FSide1.push_back(O1);
            FSide2.push_back(O2);
            PrevN = N;
        }
        BeginPolygon();
        for (const TDPoint& P : FSide1)
            Put(P);
        for (size_t I = FSide2.size(); I-- > 0;)
            Put(FSide2[I]);
        if (Prev != nullptr)
            Join(*Prev, Piece);
        EndPolygon();
    }

    void OutlineCurve(const TPiece& P, const TPiece* Prev)
    {
        TDPoint D[4], L[4], R[4];
        for (int I = 0; I < 4; ++I)
            D[I] = ToD(P.P[I]);
        DBezierSplitHalf(D, L, R);
        OutlineHalf(L, P, Prev);
        OutlineHalf(R, P, nullptr);
    }

    // Cap at End, pointing away from Other.
    void Cap(const TDrawPathPoint& End, const TDrawPathPoint& Other)
    {
        const TDPoint E = ToD(End);
        TDPoint U{E.X - static_cast<double>(Other.X), E.Y - static_cast<double>(Other.Y)};
        const double L = std::hypot(U.X, U.Y);
        U = TDPoint{U.X * FH / L, U.Y * FH / L};
        if (FCap == PenCapSquare) {
            const TDPoint N{U.Y, -U.X};
            BeginPolygon();
            Put(TDPoint{E.X + N.X, E.Y + N.Y});
            Put(TDPoint{E.X + N.X + U.X, E.Y + N.Y + U.Y});
            Put(TDPoint{E.X - N.X + U.X, E.Y - N.Y + U.Y});
            Put(TDPoint{E.X - N.X, E.Y - N.Y});
            EndPolygon();
        } else if (FCap == PenCapRound) {
            if (!(FTol <= FH))
                return;
            const int32_t Steps = ArcSteps(std::numbers::pi, FTol, FH);
            BeginPolygon();
            for (int32_t J = 0; J <= Steps; ++J) {
                const double Ang = -std::numbers::pi / 2 + std::numbers::pi * J / Steps;
                const double Cs = std::cos(Ang);
                const double Sn = std::sin(Ang);
                Put(TDPoint{E.X + U.X * Cs - U.Y * Sn, E.Y + U.X * Sn + U.Y * Cs});
            }
            EndPolygon();
        }
    }

    TStrokeOutline& FOut;
    double FTol;
    double FH = 0.0;
    double FLimitSq = 0.0;
    uint32_t FCap = 0;
    uint32_t FJoin = 0;
    size_t FPolyFirst = 0;
    TDPoint FLastNormal;
    std::vector<TPiece> FPieces;
    std::vector<TDPoint> FJoinPts;
    std::vector<TDPoint> FPts;
    std::vector<double> FParams;
    std::vector<TDPoint> FSide1;
    std::vector<TDPoint> FSide2;
};

void BuildStrokeOutline(const TrecPath& Path, const TrecPenData& Pen, int Shift,
                        double Tolerance, int32_t OriginX, int32_t OriginY,
                        TStrokeOutline& Outline)
{
    Outline.Points.clear();
    Outline.Starts.assign(1, 0);
    const int32_t N = PathCount(Path);
    const std::vector<TDrawPathPoint> Pts = PathPoints(Path, N, true, OriginX, OriginY, Shift);
    TStroker S(Pen, Shift, Tolerance, Outline);
    S.Run(Pts.data(), Path.pabType.data(), N);
}

} // namespace

void RecPictureFillPathAntiAlias(TrecPicture& Picture, const TrecPath& Path, uint32_t Color,
                                 int32_t OverSample, double Tolerance, bool Scale)
{
    const int Shift = CheckOverSample(OverSample, "RecPictureFillPathAntiAlias");
    TTarget T;
    MakeTarget(Picture, Color, Shift, "RecPictureFillPathAntiAlias", T);
    const int32_t N = PathCount(Path);
    if (N < 2)
        return;
    const std::vector<TDrawPathPoint> Pts =
        PathPoints(Path, N, Scale, Picture.iLeft, Picture.iTop, Shift);
    TEdgeList Edges(int64_t{T.Height} << Shift);
    Edges.Segs.reserve(static_cast<size_t>(N) + 8);
    TFillFlattener F(Edges, Tolerance, int64_t{T.Width} << Shift, int64_t{T.Height} << Shift);
    F.Run(Pts.data(), Path.pabType.data(), N);
    ScanEdges(T, Edges);
}

void MakeStrokeOutline(const TrecPath& Path, const TrecPenData& Pen, int32_t OverSample,
                       double Tolerance, int32_t OriginX, int32_t OriginY,
                       TStrokeOutline& Outline)
{
    const int Shift = CheckOverSample(OverSample, "RecPictureDrawPathAntiAlias");
    BuildStrokeOutline(Path, Pen, Shift, Tolerance, OriginX, OriginY, Outline);
}

void RecPictureDrawPathAntiAlias(TrecPicture& Picture, const TrecPath& Path,
                                 const TrecPenData& Pen, int32_t OverSample, double Tolerance)
{
    const int Shift = CheckOverSample(OverSample, "RecPictureDrawPathAntiAlias");
    TTarget T;
    MakeTarget(Picture, PenDataColor(Pen), Shift, "RecPictureDrawPathAntiAlias", T);
    TStrokeOutline Outline;
    BuildStrokeOutline(Path, Pen, Shift, Tolerance, Picture.iLeft, Picture.iTop, Outline);
    TEdgeList Edges(int64_t{T.Height} << Shift);
    Edges.Segs.reserve(Outline.Points.size());
    const size_t Polys = Outline.Starts.size() - 1;
    for (size_t I = 0; I < Polys; ++I) {
        const int32_t S = Outline.Starts[I];
        const int32_t E = Outline.Starts[I + 1];
        for (int32_t J = S; J + 1 < E; ++J) {
            const TDrawPathPoint& A = Outline.Points[static_cast<size_t>(J)];
            const TDrawPathPoint& B = Outline.Points[static_cast<size_t>(J + 1)];
            Edges.Add(A.X, A.Y, B.X, B.Y, static_cast<uint32_t>(I));
        }
    }
    ScanEdges(T, Edges);
}

void RecPictureFillConvexPolygon(TrecPicture& Picture, const std::vector<TDPoint>& Points,
                                 uint32_t Color, int32_t OverSample)
{
    const int Shift = CheckOverSample(OverSample, "RecPictureFillConvexPolygon");
    TTarget T;
    MakeTarget(Picture, Color, Shift, "RecPictureFillConvexPolygon", T);
    if (Points.size() < 2)
        return;
    // Whole pixels beyond 2^40 are far enough outside any picture.
    const double Lim = std::ldexp(1.0, 40);
    std::vector<TDrawPathPoint> Pts;
    Pts.reserve(Points.size());
    for (const TDPoint& P : Points) {
        const double X = std::clamp(static_cast<double>(RoundOff(P.X - Picture.iLeft)), -Lim, Lim);
        const double Y = std::clamp(static_cast<double>(RoundOff(P.Y - Picture.iTop)), -Lim, Lim);
        Pts.push_back(TDrawPathPoint{static_cast<int64_t>(X) * (int64_t{1} << Shift),
                                     static_cast<int64_t>(Y) * (int64_t{1} << Shift)});
    }
    TEdgeList Edges(int64_t{T.Height} << Shift);
    Edges.Segs.reserve(Pts.size());
    for (size_t I = 0; I < Pts.size(); ++I) {
        const TDrawPathPoint& A = Pts[I];
        const TDrawPathPoint& B = Pts[(I + 1) % Pts.size()];
        Edges.Add(A.X, A.Y, B.X, B.Y, 0);
    }
    ScanEdges(T, Edges);
}

int32_t DIBSectionDrawPath(TrecPicture& Picture, const TrecPath& Path, const TrecPenData& Pen,
                           bool Stroke, double Tolerance, bool AntiAlias)
{
    if (Path.Bounds.Left > Path.Bounds.Right || Path.Bounds.Top > Path.Bounds.Bottom)
        return 0;
    try {
        const int32_t OverSample = AntiAlias ? 16 : 1;
        if (Stroke)
            RecPictureDrawPathAntiAlias(Picture, Path, Pen, OverSample, Tolerance);
        else
            RecPictureFillPathAntiAlias(Picture, Path, PenDataColor(Pen), OverSample, Tolerance,
                                        true);
        return 0;
    } catch (...) {
        return DrawPathFailed;
    }
}

#endif // HWY_ONCE
