// Point paths: a run of integer points, each with a type byte saying how the
// point is reached (move, line, or one of the three points of a cubic Bezier;
// bit 0 closes the figure). Every outline of the program is one of these.
//
// Every walk is safe on malformed paths: a path that does not start with a
// move, a Bezier triple cut short by the end of the path and stray close bits
// never make a routine read outside 0..Count-1. A Bezier point that lacks its
// previous point or the rest of its triple is taken as a line point.
#pragma once

#include "foundation/geometry_types.h"

#include <cstdint>
#include <vector>

// Point types (the platform's path point types).
inline constexpr uint8_t PT_CLOSEFIGURE = 0x01;
inline constexpr uint8_t PT_LINETO = 0x02;
inline constexpr uint8_t PT_BEZIERTO = 0x04;
inline constexpr uint8_t PT_MOVETO = 0x06;

// The kind of a type byte: the byte with the close bit cleared.
inline constexpr uint8_t PathPointKind(uint8_t Type)
{
    return static_cast<uint8_t>(Type & ~PT_CLOSEFIGURE);
}

// Count is authoritative; both arrays always hold at least Count entries (a
// shrunk path keeps its larger arrays). The record is copied only through
// RecPolyLineAssign: copying is deleted, moving leaves the source empty.
struct TrecPolyLine {
    int32_t Count = 0;
    std::vector<uint8_t> pabType;
    std::vector<TPoint> Points;

    TrecPolyLine() = default;
    TrecPolyLine(const TrecPolyLine&) = delete;
    TrecPolyLine& operator=(const TrecPolyLine&) = delete;
    TrecPolyLine(TrecPolyLine&& Other) noexcept;
    TrecPolyLine& operator=(TrecPolyLine&& Other) noexcept;
    ~TrecPolyLine() = default;
};

// Count := 0 and both arrays released.
void RecPolyLineClear(TrecPolyLine& Path);
// Grows both arrays when N > Count (new entries zero); Count := N.
// EListError for a negative N.
void RecPolyLineSetCount(TrecPolyLine& Path, int32_t N);
// Dest := a copy of Source. With Keep, Dest's arrays are reused when large
// enough; without, Dest starts afresh.
void RecPolyLineAssign(TrecPolyLine& Dest, const TrecPolyLine& Source, bool Keep = true);
// B's points and types behind A's.
void RecPolyLineAppend(TrecPolyLine& A, const TrecPolyLine& B);
void RecPolyLineOffset(TrecPolyLine& Path, int32_t DX, int32_t DY);
// Factors in 1/1024: x := CX + ((x - CX) * SX) div 1024, 32-bit wrapping
// product, division truncating toward zero.
void RecPolyLineScale(TrecPolyLine& Path, int32_t CX, int32_t CY, int32_t SX, int32_t SY);
// Angle in radians about (CX, CY), coordinates RoundOff; Angle 0 changes nothing.
void RecPolyLineRotate(TrecPolyLine& Path, int32_t CX, int32_t CY, double Angle);
// Raises P.X / P.Y to the largest x / y of the points.
void RecPolyLineMaxPoint(const TrecPolyLine& Path, TPoint& P);
// The figure holding point I: First back to the nearest move (or 0), Last up
// to the point before the next move (or Count - 1). I out of range: -1, -2.
void RecPolyLineGetFigureRange(const TrecPolyLine& Path, int32_t I, int32_t& First, int32_t& Last);
// True when every painter walks the path as its types say: it starts with a
// move; every type is a move (6), a line (2, 3) or a Bezier point (4; 5 on
// a triple's last point only); Bezier points come in whole triples after a
// point.
bool RecPolyLineWalkable(const TrecPolyLine& Path);
// Rewrites the types that keep the path from being walkable, and returns
// True when it did: the first point becomes a move, an unknown type or a
// Bezier point outside a whole triple a line point (a line keeps its close
// bit), a close bit inside a triple or on a move goes. The points stay.
bool RecPolyLineMendTypes(TrecPolyLine& Path);
// Every figure that carries a close bit ends with an explicit closing line to
// its start; the point before each move gets the close bit.
void RecPolyLineCloseFigures(TrecPolyLine& Path);
// Reverses the direction of the figure holding point I; each segment type
// stays with its segment and a close bit moves to the new last point.
void RecPolyLineReverseFigure(TrecPolyLine& Path, int32_t I);
// Dest := Bezier runs with pieces at most about Step long. Map gets Count + 1
// entries: Dest's index for each source point (0 for the 2nd and 3rd point of
// a triple) and Dest's final count. EUserError for Step <= 0, EOutOfResources
// beyond 2^24 points.
void RecPolyLineSubdivide(const TrecPolyLine& Source, TrecPolyLine& Dest, int32_t Step,
                          std::vector<int32_t>& Map);
// Dest := Source with every Bezier replaced by line points (Tolerance is a
// squared distance). With CloseOpen every open figure gets a closing line
// point (type 3) at its start. Dest's arrays are reused; Dest may be Source.
void RecPolyLineFlatten(const TrecPolyLine& Source, TrecPolyLine& Dest, bool CloseOpen,
                        double Tolerance);
// True when some segment lies within Tolerance of P. Bezier distances come
// from flattening with FlatTolerance; the jump between figures and the
// implicit closing edge are not tested.
bool RecPolyLineHitTest(const TrecPolyLine& Path, const TPoint& P, int32_t Tolerance,
                        double FlatTolerance);
// The segment nearest to P (the first of equally near ones). Index is the
// segment's first point, -1 when there is no segment; T is the curve
// parameter for a Bezier, 0 for a line. Each output may be null.
void RecPolyLineNearestPoint(const TrecPolyLine& Path, const TPoint& P, double FlatTolerance,
                             int64_t* SqrDistance, TPoint* Nearest, double* T, int32_t* Index);
// P := the first on-curve point or line midpoint, in path order, whose squared
// distance from P is at most SquaredRadius; False and P unchanged when none.
bool RecPolyLineSnapPoint(const TrecPolyLine& Path, TPoint& P, int64_t SquaredRadius);
