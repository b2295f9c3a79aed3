// Paths built point by point for the painting tests.
#pragma once

#include "foundation/poly_line.h"
#include "foundation/rec_path.h"

#include <cstddef>
#include <cstdint>

// Appends one point of the given type (PT_MOVETO, PT_LINETO, ...) to P.
inline void AddPoint(TrecPath& P, int32_t X, int32_t Y, uint8_t Type)
{
    RecPolyLineSetCount(P, P.Count + 1);
    P.Points[static_cast<size_t>(P.Count - 1)] = TPoint{X, Y};
    P.pabType[static_cast<size_t>(P.Count - 1)] = Type;
}
