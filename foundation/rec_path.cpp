#include "foundation/rec_path.h"

#include "foundation/geometry.h"
#include "foundation/stream_text.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "foundation/wrap_int.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

namespace {

constexpr int32_t HeaderBytes = 21;
constexpr int32_t BytesPerPoint = 9; // 8 point bytes and 1 type byte
constexpr int32_t ChunkPoints = 8192;

void PutLE32(uint8_t* P, int32_t V)
{
    const uint32_t U = static_cast<uint32_t>(V);
    P[0] = static_cast<uint8_t>(U);
    P[1] = static_cast<uint8_t>(U >> 8);
    P[2] = static_cast<uint8_t>(U >> 16);
    P[3] = static_cast<uint8_t>(U >> 24);
}

int32_t GetLE32(const uint8_t* P)
{
    return static_cast<int32_t>(uint32_t{P[0]} | uint32_t{P[1]} << 8 | uint32_t{P[2]} << 16 |
                                uint32_t{P[3]} << 24);
}

// Trunc toward zero, kept to the low 32 bits as the 32-bit store does; values
// beyond what a 64-bit integer holds (and NaN) give 0.
int32_t TruncLow32(double V)
{
    if (!(std::fabs(V) < 9.2e18))
        return 0;
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(static_cast<int64_t>(V))));
}

std::string CountMessage(const char* Who, int64_t Count, int64_t Left)
{
    if (Count < 0)
        return std::string(Who) + ": 点の数(" + std::to_string(Count) + ")が不正です";
    return std::string(Who) + ": 点の数(" + std::to_string(Count) + ")がストリームの残り(" +
           std::to_string(Left) + " バイト)を超えています";
}

} // namespace

TrecPath::TrecPath(TrecPath&& Other) noexcept
    : TrecPolyLine(std::move(Other)), Bounds(Other.Bounds), Flag(Other.Flag)
{
    Other.Bounds = TRect{RecPathEmptyLow, RecPathEmptyLow, RecPathEmptyHigh, RecPathEmptyHigh};
}

TrecPath& TrecPath::operator=(TrecPath&& Other) noexcept
{
    if (this != &Other) {
        TrecPolyLine::operator=(std::move(Other));
        Bounds = Other.Bounds;
        Flag = Other.Flag;
        Other.Bounds =
            TRect{RecPathEmptyLow, RecPathEmptyLow, RecPathEmptyHigh, RecPathEmptyHigh};
    }
    return *this;
}

void RecPathClear(TrecPath& Path)
{
    RecPolyLineClear(Path);
    Path.Bounds = TRect{RecPathEmptyLow, RecPathEmptyLow, RecPathEmptyHigh, RecPathEmptyHigh};
}

void RecPathCalcBounds(TrecPath& Path)
{
    TRect R{RecPathEmptyLow, RecPathEmptyLow, RecPathEmptyHigh, RecPathEmptyHigh};
    const TPoint* Pts = Path.Points.data();
    for (int32_t I = 0; I < Path.Count; ++I) {
        R.Left = std::min(R.Left, Pts[I].X);
        R.Top = std::min(R.Top, Pts[I].Y);
        R.Right = std::max(R.Right, Pts[I].X);
        R.Bottom = std::max(R.Bottom, Pts[I].Y);
    }
    Path.Bounds = R;
}

void RecPathAssign(TrecPath& Dest, const TrecPath& Source, bool Keep)
{
    RecPolyLineAssign(Dest, Source, Keep);
    Dest.Bounds = Source.Bounds;
    Dest.Flag = Source.Flag;
}

void RecPathAppend(TrecPath& A, const TrecPath& B)
{
    RecPolyLineAppend(A, B);
}

void RecPathOffset(TrecPath& Path, int32_t DX, int32_t DY)
{
    RecPolyLineOffset(Path, DX, DY);
    // Moving the empty bounds would wrap them into a small real rectangle.
    TRect& R = Path.Bounds;
    if (R.Left > R.Right || R.Top > R.Bottom)
        return;
    R.Left = WrapAdd(R.Left, DX);
    R.Right = WrapAdd(R.Right, DX);
    R.Top = WrapAdd(R.Top, DY);
    R.Bottom = WrapAdd(R.Bottom, DY);
}

void RecPathRotate(TrecPath& Path, int32_t CX, int32_t CY, double Angle)
{
    RecPolyLineRotate(Path, CX, CY, Angle);
    RecPathCalcBounds(Path);
}

void RecPathScale(TrecPath& Path, int32_t CX, int32_t CY, double FX, double FY)
{
    TPoint* Pts = Path.Points.data();
    for (int32_t I = 0; I < Path.Count; ++I) {
        Pts[I].X = TruncLow32((double(Pts[I].X) - CX) * FX / 1024.0 + CX);
        Pts[I].Y = TruncLow32((double(Pts[I].Y) - CY) * FY / 1024.0 + CY);
    }
    RecPathCalcBounds(Path);
}

bool RecPathHitTest(const TrecPath& Path, const TPoint& P, int32_t Tolerance,
                    double FlatTolerance)
{
    const TRect& R = Path.Bounds;
    if (int64_t{P.X} < int64_t{R.Left} - Tolerance || int64_t{P.X} > int64_t{R.Right} + Tolerance ||
        int64_t{P.Y} < int64_t{R.Top} - Tolerance || int64_t{P.Y} > int64_t{R.Bottom} + Tolerance)
        return false;
    return RecPolyLineHitTest(Path, P, Tolerance, FlatTolerance);
}

// Stream forms.

void RecPathWriteToStream(const TrecPath& Path, TStream& Stream)
{
    uint8_t Header[HeaderBytes];
    Header[0] = Path.Flag;
    PutLE32(Header + 1, Path.Bounds.Left);
    PutLE32(Header + 5, Path.Bounds.Top);
    PutLE32(Header + 9, Path.Bounds.Right);
    PutLE32(Header + 13, Path.Bounds.Bottom);
    PutLE32(Header + 17, Path.Count);
    Stream.WriteBuffer(Header, HeaderBytes);

    const int32_t N = Path.Count;
    if (N <= 0)
        return;
    std::vector<uint8_t> Buf(static_cast<size_t>(std::min(N, ChunkPoints)) * 8);
    for (int32_t Done = 0; Done < N;) {
        const int32_t Chunk = std::min(N - Done, ChunkPoints);
        for (int32_t K = 0; K < Chunk; ++K) {
            PutLE32(&Buf[static_cast<size_t>(K) * 8], Path.Points[static_cast<size_t>(Done + K)].X);
            PutLE32(&Buf[static_cast<size_t>(K) * 8 + 4],
                    Path.Points[static_cast<size_t>(Done + K)].Y);
        }
        Stream.WriteBuffer(Buf.data(), Chunk * 8);
        Done += Chunk;
    }
    Stream.WriteBuffer(Path.pabType.data(), N);
}

void RecPathReadFromStream(TrecPath& Path, TStream& Stream)
{
    uint8_t Header[HeaderBytes];
    Stream.ReadBuffer(Header, HeaderBytes);
    const int32_t N = GetLE32(Header + 17);
    const int64_t Left = Stream.Size() - Stream.Position();
    if (N < 0 || N > Left / BytesPerPoint)
        throw EReadError(CountMessage("RecPathReadFromStream", N, Left));

    TrecPath Read;
    Read.Flag = Header[0];
    Read.Bounds = TRect{GetLE32(Header + 1), GetLE32(Header + 5), GetLE32(Header + 9),
                        GetLE32(Header + 13)};
    if (N > 0) {
        RecPolyLineSetCount(Read, N);
        std::vector<uint8_t> Buf(static_cast<size_t>(std::min(N, ChunkPoints)) * 8);
        for (int32_t Done = 0; Done < N;) {
            const int32_t Chunk = std::min(N - Done, ChunkPoints);
            Stream.ReadBuffer(Buf.data(), Chunk * 8);
            for (int32_t K = 0; K < Chunk; ++K)
                Read.Points[static_cast<size_t>(Done + K)] =
                    TPoint{GetLE32(&Buf[static_cast<size_t>(K) * 8]),
                           GetLE32(&Buf[static_cast<size_t>(K) * 8 + 4])};
            Done += Chunk;
        }
        Stream.ReadBuffer(Read.pabType.data(), N);
    }
    Path = std::move(Read);
}

void RecPathWriteToStreamAsText(const TrecPath& Path, TStream& Stream)
{
    StreamWriteln(Stream, std::to_string(Path.Flag));
    StreamWriteln(Stream, std::to_string(Path.Bounds.Left));
    StreamWriteln(Stream, std::to_string(Path.Bounds.Top));
    StreamWriteln(Stream, std::to_string(Path.Bounds.Right));
    StreamWriteln(Stream, std::to_string(Path.Bounds.Bottom));
    StreamWriteln(Stream, std::to_string(Path.Count));
    std::string Line;
    for (int32_t I = 0; I < Path.Count; ++I) {
        const TPoint& Pt = Path.Points[static_cast<size_t>(I)];
        Line = std::to_string(Pt.X);
        Line += ',';
        Line += std::to_string(Pt.Y);
        Line += ',';
        Line += std::to_string(Path.pabType[static_cast<size_t>(I)]);
        StreamWriteln(Stream, Line);
    }
}

void RecPathReadFromStreamAsText(TrecPath& Path, TStream& Stream)
{
    static constexpr const char* Who = "RecPathReadFromStreamAsText";
    TrecPath Read;
    Read.Flag = static_cast<uint8_t>(StrToInt(StreamReadln(Stream)));
    Read.Bounds.Left = StrToInt(StreamReadln(Stream));
    Read.Bounds.Top = StrToInt(StreamReadln(Stream));
    Read.Bounds.Right = StrToInt(StreamReadln(Stream));
    Read.Bounds.Bottom = StrToInt(StreamReadln(Stream));
    const int32_t N = StrToInt(StreamReadln(Stream));
    // A point line is at least one character and its line end (the last one
    // may lack the line end), so N lines need at least 2 N - 1 bytes.
    const int64_t Left = Stream.Size() - Stream.Position();
    if (N < 0 || N > (Left + 1) / 2)
        throw EReadError(CountMessage(Who, N, Left));

    RecPolyLineSetCount(Read, N);
    const int64_t End = Stream.Size();
    std::string Line;
    for (int32_t I = 0; I < N;) {
        if (Stream.Position() >= End)
            throw EReadError(std::string(Who) + ": 点の行が足りません (" + std::to_string(I) +
                             " / " + std::to_string(N) + ")");
        StreamReadln(Stream, Line);
        if (Line.empty())
            continue;
        int32_t Pos = 1;
        const int32_t X = GetFieldInt(Line, Pos, ',', 0);
        const int32_t Y = GetFieldInt(Line, Pos, ',', 0);
        const int32_t T = GetFieldInt(Line, Pos, ',', 0);
        Read.Points[static_cast<size_t>(I)] = TPoint{X, Y};
        Read.pabType[static_cast<size_t>(I)] = static_cast<uint8_t>(T & 0xFF);
        ++I;
    }
    Path = std::move(Read);
}
