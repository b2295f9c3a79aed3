// Path records: a point path with its bounding rectangle and a flag byte that
// belongs to the owning object, and their binary and text stream forms. Draw
// objects, the clipboard and the document file store paths only through
// these routines.
//
// Binary form (little-endian): flag (1 byte), Left, Top, Right, Bottom (int32
// each), count (int32), count points (x, y int32), count type bytes.
// Text form, one value a line (CR LF): flag, Left, Top, Right, Bottom, count,
// then count lines "x,y,type".
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/poly_line.h"
#include "foundation/streams.h"

#include <cstdint>

// Bounds of an empty path.
inline constexpr int32_t RecPathEmptyLow = 2147483647;   // Left, Top
inline constexpr int32_t RecPathEmptyHigh = -2147483647 - 1; // Right, Bottom

// The bounds cover every point, control points included, but are updated only
// by the routines that say so. Copied only through RecPathAssign.
struct TrecPath : TrecPolyLine {
    TRect Bounds{RecPathEmptyLow, RecPathEmptyLow, RecPathEmptyHigh, RecPathEmptyHigh};
    uint8_t Flag = 0;

    TrecPath() = default;
    TrecPath(TrecPath&& Other) noexcept;
    TrecPath& operator=(TrecPath&& Other) noexcept;
};

// No points, empty bounds; the flag is kept.
void RecPathClear(TrecPath& Path);
// Bounds from all points; an empty path gets the empty bounds.
void RecPathCalcBounds(TrecPath& Path);
// RecPolyLineAssign, then the bounds and the flag.
void RecPathAssign(TrecPath& Dest, const TrecPath& Source, bool Keep = true);
// B's points behind A's; A's bounds are not changed.
void RecPathAppend(TrecPath& A, const TrecPath& B);
// Points and bounds moved (empty bounds stay empty).
void RecPathOffset(TrecPath& Path, int32_t DX, int32_t DY);
// RecPolyLineRotate, then RecPathCalcBounds.
void RecPathRotate(TrecPath& Path, int32_t CX, int32_t CY, double Angle);
// Double factors in 1/1024: x := Trunc((x - CX) * FX / 1024 + CX); then bounds.
void RecPathScale(TrecPath& Path, int32_t CX, int32_t CY, double FX, double FY);
// False at once when P lies outside the bounds grown by Tolerance, else
// RecPolyLineHitTest.
bool RecPathHitTest(const TrecPath& Path, const TPoint& P, int32_t Tolerance,
                    double FlatTolerance);

// EWriteError when the stream takes less than everything.
void RecPathWriteToStream(const TrecPath& Path, TStream& Stream);
// EReadError for a short stream or a count the rest of the stream cannot hold.
// Path is changed only when the whole record was read.
void RecPathReadFromStream(TrecPath& Path, TStream& Stream);
void RecPathWriteToStreamAsText(const TrecPath& Path, TStream& Stream);
// EConvertError for a header line that is not a number; EReadError for a
// negative count, one the rest of the stream cannot hold, or a stream that
// ends before all point lines were read. Empty lines between point lines are
// skipped. Path is changed only when the whole record was read.
void RecPathReadFromStreamAsText(TrecPath& Path, TStream& Stream);
