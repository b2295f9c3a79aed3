#include "model/bitmap_trace.h"

#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "model/curve_fit.h"
#include "raster/bmp_conv.h"
#include "raster/tone_filters.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>

namespace {

constexpr int32_t ProgressRowStep = 64;
constexpr int32_t PathGrowPoints = 100;

// Full contrast around the middle grey: each channel becomes 0 or 255.
constexpr int32_t ToneBrightness = 0;
constexpr int32_t ToneContrast = 200;
constexpr int32_t ToneAverage = 128;

const char* const IllegalBmp = "TraceOutline: Illegal BMP";

int32_t RoundCoord(double V)
{
    const int64_t R = RoundOff(V);
    return static_cast<int32_t>(std::clamp<int64_t>(R, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

inline int32_t PixelColor(const uint8_t* P)
{
    return (int32_t{P[0]} << 16) + (int32_t{P[1]} << 8) + int32_t{P[2]};
}

struct TStep {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TStep&, const TStep&) = default;
};

inline TStep StepBetween(const TDPoint& A, const TDPoint& B)
{
    return TStep{static_cast<int32_t>(RoundOff(B.X - A.X)), static_cast<int32_t>(RoundOff(B.Y - A.Y))};
}

inline int32_t Cross(const TStep& U, const TStep& V)
{
    return U.X * V.Y - U.Y * V.X;
}

inline int32_t TurnOf(const TStep& A, const TStep& B)
{
    if (A.X < -1 || A.X > 1 || A.Y < -1 || A.Y > 1 || B.X < -1 || B.X > 1 || B.Y < -1 || B.Y > 1)
        return 0;
    return TraceTurnTable.V[TraceTurnIndex(A.X, A.Y, B.X, B.Y)];
}

inline bool SamePixel(const uint8_t* A, const uint8_t* B)
{
    return A[0] == B[0] && A[1] == B[1] && A[2] == B[2];
}

// Out := the pixels (ascending x) at which two rows of Width 24-bit pixels
// differ, compared eight bytes at a time: the rows of a scan mostly repeat.
void RowDifferences(const uint8_t* A, const uint8_t* B, int32_t Width, std::vector<int32_t>& Out)
{
    Out.clear();
    const int64_t Bytes = int64_t{Width} * 3;
    int32_t Last = -1;
    int64_t I = 0;
    for (; I + 8 <= Bytes; I += 8) {
        uint64_t WA;
        uint64_t WB;
        std::memcpy(&WA, A + I, 8);
        std::memcpy(&WB, B + I, 8);
        uint64_t X = WA ^ WB;
        while (X) {
            const int32_t Bit = std::countr_zero(X);
            const int32_t Pixel = static_cast<int32_t>((I + Bit / 8) / 3);
            if (Pixel != Last) {
                Out.push_back(Pixel);
                Last = Pixel;
            }
            X &= ~(uint64_t{0xFF} << (Bit & ~7));
        }
    }
    for (; I < Bytes; ++I)
        if (A[I] != B[I]) {
            const int32_t Pixel = static_cast<int32_t>(I / 3);
            if (Pixel != Last) {
                Out.push_back(Pixel);
                Last = Pixel;
            }
        }
}

// The 24-bit pixels and the done map of one trace. Rows are bottom-up, so a
// step down moves the address back by one row. The scan only looks at the
// pixels that differ from the one above (kept for the few rows around it);
// the boundary walk reads pixels through per-direction offsets.
struct TTracer {
    uint8_t* Bits = nullptr;
    int64_t Stride = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t> Done;
    int64_t PixelOffset[8] = {};
    int64_t DoneOffset[8] = {};
    std::vector<int32_t> DiffRing[4];
    int32_t DiffRow[4] = {-1, -1, -1, -1};
    std::vector<int32_t> AllColumns;

    bool Inside(int32_t X, int32_t Y) const
    {
        return static_cast<uint32_t>(X) < static_cast<uint32_t>(Width) &&
               static_cast<uint32_t>(Y) < static_cast<uint32_t>(Height);
    }
    uint8_t* PixelAt(int32_t X, int32_t Y) const
    {
        return Bits + (int64_t{Height} - 1 - Y) * Stride + int64_t{X} * 3;
    }
    uint8_t* DoneAt(int32_t X, int32_t Y) { return &Done[static_cast<size_t>(int64_t{Y} * Width + X)]; }

    // The pixels of row Y (0 .. Height) whose colour differs from the pixel
    // above; outside the picture every pixel differs.
    const std::vector<int32_t>& DiffersFromAbove(int32_t Y)
    {
        if (Y <= 0 || Y >= Height) {
            if (AllColumns.empty())
                for (int32_t X = 0; X < Width; ++X)
                    AllColumns.push_back(X);
            return AllColumns;
        }
        const int32_t Slot = Y & 3;
        if (DiffRow[Slot] != Y) {
            RowDifferences(PixelAt(0, Y), PixelAt(0, Y - 1), Width, DiffRing[Slot]);
            DiffRow[Slot] = Y;
        }
        return DiffRing[Slot];
    }

    // The first neighbour of colour C from direction Dir on, clockwise;
    // every neighbour probed inside the picture is flagged. -1 when none.
    int32_t NextDirection(int32_t X, int32_t Y, const uint8_t* Pixel, uint8_t* DoneHere, int32_t Dir,
                          int32_t C)
    {
        for (int32_t T = 0; T < 8; ++T, Dir = (Dir + 1) & 7) {
            if (!Inside(X + TraceDirX[Dir], Y + TraceDirY[Dir]))
                continue;
            DoneHere[DoneOffset[Dir]] = 1;
            if (PixelColor(Pixel + PixelOffset[Dir]) == C)
                return Dir;
        }
        return -1;
    }

    void FlagIsolatedPixels(int32_t Y);
};

// A pixel with no side neighbour of its colour starts no outline, nor do the
// pixels above and below it (no hole is traced around it). Only pixels that
// differ from both the pixel above and the one below can be such a pixel.
void TTracer::FlagIsolatedPixels(int32_t Y)
{
    const std::vector<int32_t>& Up = DiffersFromAbove(Y);
    const std::vector<int32_t>& Down = DiffersFromAbove(Y + 1);
    const uint8_t* Row = PixelAt(0, Y);
    uint8_t* DoneRow = DoneAt(0, Y);
    size_t J = 0;
    for (const int32_t X : Up) {
        while (J < Down.size() && Down[J] < X)
            ++J;
        if (J == Down.size())
            break;
        if (Down[J] != X)
            continue;
        const uint8_t* P = Row + int64_t{X} * 3;
        if (X > 0 && SamePixel(P, P - 3))
            continue;
        if (X + 1 < Width && SamePixel(P, P + 3))
            continue;
        DoneRow[X] = 1;
        if (Y > 0)
            DoneRow[X - Width] = 1;
        if (Y < Height - 1)
            DoneRow[X + Width] = 1;
    }
}

// The outline being built: count starts at 1 (the move), the arrays grow in
// whole steps of 100 points.
void AppendPoint(TrecPolyLine& Path, const TDPoint& P, uint8_t Type)
{
    const int32_t N = Path.Count;
    if (static_cast<size_t>(N) + 1 > Path.Points.size()) {
        const size_t Size = (static_cast<size_t>(N) + 1 + PathGrowPoints - 1) / PathGrowPoints * PathGrowPoints;
        Path.Points.resize(Size);
        Path.pabType.resize(Size);
    }
    Path.Points[N] = TPoint{RoundCoord(P.X), RoundCoord(P.Y)};
    Path.pabType[N] = Type;
    Path.Count = N + 1;
}

void FitRun(const TDPoint* P, int32_t N, std::vector<TDPoint>& Segments, TrecPolyLine& Path)
{
    int32_t Count = 0;
    FitCurve(P, N, Segments, TraceFitTolerance, Count);
    for (int32_t S = 0; S < Count; ++S) {
        const TDPoint* B = &Segments[static_cast<size_t>(S) * 4];
        double D1 = 0.0;
        double D2 = 0.0;
        DNearestPointOnLine(B[1], B[0], B[3], nullptr, &D1);
        DNearestPointOnLine(B[2], B[0], B[3], nullptr, &D2);
        if (D1 > TraceLineTolerance || D2 > TraceLineTolerance) {
            AppendPoint(Path, B[1], PT_BEZIERTO);
            AppendPoint(Path, B[2], PT_BEZIERTO);
            AppendPoint(Path, B[3], PT_BEZIERTO);
        } else {
            AppendPoint(Path, B[3], PT_LINETO);
        }
    }
}

// A 45-degree turn is a corner where it joins straight stretches or where
// the turn goes on in the same sense at the next point (or came from the
// previous one).
bool IsCorner(const TDPoint* P, int32_t N, int32_t I)
{
    const TStep A = StepBetween(P[I - 1], P[I]);
    const TStep B = StepBetween(P[I], P[I + 1]);
    const int32_t Turn = TurnOf(A, B);
    if (Turn == 0)
        return true;
    if (Turn != 1 || I < 2 || I > N - 3)
        return false;
    const TStep Q = StepBetween(P[I - 2], P[I - 1]);
    const TStep R = StepBetween(P[I + 1], P[I + 2]);
    if (Q == A && R == B)
        return true;
    if (Q == A && R != B && Cross(A, B) == Cross(B, R))
        return true;
    if (Q != A && R == B && Cross(Q, A) == Cross(A, B))
        return true;
    return false;
}

// The closed outline of the traced points P[0 .. N-1] (P[N-1] = P[0]).
std::unique_ptr<TrecPolyLine> MakeOutline(const TDPoint* P, int32_t N, std::vector<TDPoint>& Segments)
{
    auto Path = std::make_unique<TrecPolyLine>();
    Path->Points.resize(PathGrowPoints);
    Path->pabType.resize(PathGrowPoints);
    Path->Points[0] = TPoint{RoundCoord(P[0].X), RoundCoord(P[0].Y)};
    Path->pabType[0] = PT_MOVETO;
    Path->Count = 1;

    int32_t S = 0;
    int32_t I = 1;
    while (I <= N - 2) {
        if (IsCorner(P, N, I)) {
            FitRun(P + S, I - S + 1, Segments, *Path);
            S = I;
            I += 3;
        } else {
            ++I;
        }
    }
    FitRun(P + S, N - S, Segments, *Path);
    Path->pabType[Path->Count - 1] |= PT_CLOSEFIGURE;
    return Path;
}

bool TraceableHeader(const BITMAPINFOHEADER* H)
{
    if (!H || H->biWidth <= 0 || H->biHeight <= 0)
        return false;
    if (int64_t{H->biWidth} * H->biHeight > MaxPicturePixels)
        return false;
    if (H->biCompression != BI_RGB)
        return false;
    const int32_t Depth = H->biBitCount;
    return Depth == 1 || Depth == 4 || Depth == 8 || Depth == 24;
}

template <class T>
void ReserveOneMore(std::vector<T>& V)
{
    if (V.size() == V.capacity())
        V.reserve(std::max<size_t>(16, V.capacity() * 2));
}

} // namespace

int64_t TraceOutlineStepCap(int32_t Width, int32_t Height)
{
    // Every (pixel, direction) state once, and no more points than an int32 counts.
    const int64_t Cap = 8 * int64_t{std::max(Width, 0)} * std::max(Height, 0) + 8;
    return std::min<int64_t>(Cap, std::numeric_limits<int32_t>::max() - 1);
}

void TraceOutline(TrecPicture& Picture, std::vector<std::unique_ptr<TrecPolyLine>>& Paths,
                  std::vector<uint32_t>& Colors, TTraceProgress& Progress,
                  const TTraceProgressProc& ProgressProc, int64_t MaxSteps)
{
    if (!TraceableHeader(RecPictureHeader(Picture)) || !Picture.pBits)
        throw EUserError(IllegalBmp);

    if (RecPictureHeader(Picture)->biBitCount != 24) {
        // A DIB section's pixels are not a global block the converter may free.
        if (Picture.hDIBSection)
            RecPictureConvertTo24(Picture, Picture, true);
        else
            ConvBmpTo24(Picture.pBIHeader, Picture.pBits);
    }
    const BITMAPINFOHEADER* H = RecPictureHeader(Picture);
    if (!H || !Picture.pBits || H->biBitCount != 24)
        throw EUserError(IllegalBmp);
    if (RecPictureFilter(0, Picture, nullptr, ToneBrightness, ToneContrast, ToneAverage, 0, 0, 0) !=
        FilterResultOK)
        throw EUserError(IllegalBmp);

    TTracer T;
    T.Bits = Picture.pBits;
    T.Width = H->biWidth;
    T.Height = H->biHeight;
    T.Stride = GetDIBLineSize(T.Width, 24);
    T.Done.assign(static_cast<size_t>(int64_t{T.Width} * T.Height), 0);
    for (int32_t D = 0; D < 8; ++D) {
        T.PixelOffset[D] = -int64_t{TraceDirY[D]} * T.Stride + int64_t{TraceDirX[D]} * 3;
        T.DoneOffset[D] = int64_t{TraceDirY[D]} * T.Width + TraceDirX[D];
    }
    if (MaxSteps <= 0)
        MaxSteps = TraceOutlineStepCap(T.Width, T.Height);

    std::vector<TDPoint> Points;
    std::vector<TDPoint> Segments;
    Progress.Max = T.Height - 1;
    // Isolated pixels flag the rows next to them, so each row is marked one
    // row ahead of the scan.
    T.FlagIsolatedPixels(0);
    for (int32_t Y = 0; Y < T.Height; ++Y) {
        if (Y + 1 < T.Height)
            T.FlagIsolatedPixels(Y + 1);
        if (Y % ProgressRowStep == 0) {
            Progress.Position = Y;
            if (ProgressProc)
                ProgressProc(Progress);
        }
        // A boundary starts where the pixel above has another colour (above
        // the top row lies -1). The pixel and the one above it count as read
        // from here on; the scan never comes back to them.
        const uint8_t* DoneRow = T.DoneAt(0, Y);
        for (const int32_t X : T.DiffersFromAbove(Y)) {
            if (DoneRow[X])
                continue;
            const int32_t C = PixelColor(T.PixelAt(X, Y));

            const uint8_t* Pixel = T.PixelAt(X, Y);
            uint8_t* DoneHere = T.DoneAt(X, Y);
            int32_t Dir = T.NextDirection(X, Y, Pixel, DoneHere, 1, C);
            if (Dir < 0)
                continue; // a lone pixel

            Points.clear();
            Points.push_back(TDPoint{static_cast<double>(X), static_cast<double>(Y)});
            int32_t CX = X;
            int32_t CY = Y;
            int64_t Steps = 0;
            bool Complete = true;
            for (;;) {
                CX += TraceDirX[Dir];
                CY += TraceDirY[Dir];
                Pixel += T.PixelOffset[Dir];
                DoneHere += T.DoneOffset[Dir];
                ++Steps;
                Points.push_back(TDPoint{static_cast<double>(CX), static_cast<double>(CY)});
                if (CX == X && CY == Y)
                    break;
                // A walk that has not come back after this many steps never will.
                if (Steps >= MaxSteps) {
                    Complete = false;
                    break;
                }
                *DoneHere = 1;
                Dir = T.NextDirection(CX, CY, Pixel, DoneHere, TraceRestartDir[Dir], C);
                if (Dir < 0) {
                    Complete = false;
                    break;
                }
            }
            if (!Complete)
                continue;

            std::unique_ptr<TrecPolyLine> Path =
                MakeOutline(Points.data(), static_cast<int32_t>(Points.size()), Segments);
            // Room first, so that a path is never listed without its colour.
            ReserveOneMore(Paths);
            ReserveOneMore(Colors);
            Paths.push_back(std::move(Path));
            Colors.push_back(static_cast<uint32_t>(C));
        }
    }
}
