// Tracing a raster picture into vector outlines: the boundary of every region
// of one colour is followed pixel by pixel, split at its corners, fitted with
// cubic Bezier segments and returned as a closed point path with the
// region's colour. The bitmap-trace command turns the results into line
// objects.
//
// The picture is changed in place: converted to 24 bits and pushed to full
// contrast around the middle grey, so that each channel is either 0 or 255.
// Path coordinates are pixel centres, x from 0 at the left, y from 0 at the
// top row. Colours are 0x00BBGGRR values.
#pragma once

#include "foundation/poly_line.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// Directions 0..7, clockwise from north.
inline constexpr int32_t TraceDirX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
inline constexpr int32_t TraceDirY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
// Where the neighbour search starts after a move in each direction.
inline constexpr int32_t TraceRestartDir[8] = {7, 7, 1, 1, 3, 3, 5, 5};

// Index of the turn from step (DX1, DY1) to step (DX2, DY2), each -1..1.
inline constexpr int32_t TraceTurnIndex(int32_t DX1, int32_t DY1, int32_t DX2, int32_t DY2)
{
    return (DY1 + 1) * 27 + (DX1 + 1) * 9 + (DY2 + 1) * 3 + (DX2 + 1);
}

// The turn table: 2 for a straight step, 1 for a 45-degree turn either way,
// 0 for anything else (a sharper turn, a reversal, a zero step).
struct TTraceTurnTable {
    int32_t V[81];
};

constexpr int32_t TraceTurnValue(int32_t Index)
{
    const int32_t DY1 = Index / 27 - 1;
    const int32_t DX1 = Index / 9 % 3 - 1;
    const int32_t DY2 = Index / 3 % 3 - 1;
    const int32_t DX2 = Index % 3 - 1;
    int32_t D1 = -1;
    int32_t D2 = -1;
    for (int32_t D = 0; D < 8; ++D) {
        if (TraceDirX[D] == DX1 && TraceDirY[D] == DY1)
            D1 = D;
        if (TraceDirX[D] == DX2 && TraceDirY[D] == DY2)
            D2 = D;
    }
    if (D1 < 0 || D2 < 0)
        return 0;
    if (D1 == D2)
        return 2;
    return (D1 + 1) % 8 == D2 || (D2 + 1) % 8 == D1 ? 1 : 0;
}

constexpr TTraceTurnTable MakeTraceTurnTable()
{
    TTraceTurnTable T{};
    for (int32_t I = 0; I < 81; ++I)
        T.V[I] = TraceTurnValue(I);
    return T;
}

inline constexpr TTraceTurnTable TraceTurnTable = MakeTraceTurnTable();

// Tolerance of the fits (a squared distance) and the squared distance from
// the chord above which a fitted segment stays a curve.
inline constexpr double TraceFitTolerance = 0.5;
inline constexpr double TraceLineTolerance = 0.26;

// Progress: Max := height - 1; Position := the row every 64 rows.
struct TTraceProgress {
    int32_t Position = 0;
    int32_t Max = 0;
};
using TTraceProgressProc = std::function<void(TTraceProgress&)>;

// The boundary-following step cap of a picture: more steps than there are
// (pixel, direction) states mean the walk can no longer come back.
int64_t TraceOutlineStepCap(int32_t Width, int32_t Height);

// Appends one path and one colour per traced boundary. Raises EUserError
// "TraceOutline: Illegal BMP", adding nothing and changing nothing, for an
// empty picture, one without pixels, one above MaxPicturePixels, and depths
// other than 1, 4, 8 and 24 bits (uncompressed). A boundary that runs past
// MaxSteps (0: TraceOutlineStepCap) is dropped. ProgressProc may be empty.
void TraceOutline(TrecPicture& Picture, std::vector<std::unique_ptr<TrecPolyLine>>& Paths,
                  std::vector<uint32_t>& Colors, TTraceProgress& Progress,
                  const TTraceProgressProc& ProgressProc, int64_t MaxSteps = 0);
