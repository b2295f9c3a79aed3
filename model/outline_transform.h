// Outline transforms: the warp that turns a line object's base path into its
// output path. Kind 0 copies, the envelope kinds (1 to 6 and 8) bend the path
// between a top and a bottom edge that can be narrowed, shifted and waved
// with circular arcs, kind 7 lays it along a circular arc (a text character
// by character or point by point). The path is first cut into short Bezier
// pieces so that straight lines bend smoothly.
//
// For a multi-selection the settings of several outlines are merged into one
// whose differing values hold sentinels, and applying such a merged outline
// leaves those values alone.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/poly_line.h"
#include "foundation/streams.h"
#include "foundation/tobject.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The parameter block. Its stored form is 84 bytes, little-endian, no
// padding (OutlineParamsToBytes); in memory the fields keep their natural
// alignment. Widths and shifts are in rectangle widths; arc heights in arc
// widths. Stored offsets are given per field.
struct TrecOutlineParams {
    double TopShift = 0.0;        // 0
    double TopWidth = 1.0;        // 8
    double BottomShift = 0.0;     // 16
    double BottomWidth = 1.0;     // 24
    double TopArcHeight = 0.0;    // 32; sagitta = arc width x value / 2
    int32_t TopArcCount = 0;      // 40; below 1: no top waves
    double BottomArcHeight = 0.0; // 44; sagitta = -arc width x value / 2
    int32_t BottomArcCount = 0;   // 52; below 1: no bottom waves
    double HeightScale = 1.0;     // 56
    double ArcFactor = 0.5;       // 64; arc radius = width x ArcFactor x 10 / pi
    double Spare = 0.0;           // 72; kept, compared and merged only
    int32_t ArcMode = 0;          // 80; arc: <= 0 whole characters, > 0 every point
};

inline constexpr int32_t OutlineParamsSize = 84;

inline constexpr uint8_t OutlineKindNone = 0;
inline constexpr uint8_t OutlineKindArc = 7;
inline constexpr uint8_t OutlineKindMerged = 255;    // differing kinds in merged settings
inline constexpr double OutlineDoubleSentinel = 1.7e308;
inline constexpr int32_t OutlineIntSentinel = -2147483647 - 1;

// The ranges of the outline page: shifts and wave heights -1000 to 1000 %,
// widths 0 to 1000 %, the arc's radius and the text height 1 to 1000 % (the
// page shows ratio x 100), wave counts 0 to 100. The transforms compute with
// every value of them; the merged kind and sentinels are no values.
inline constexpr double MaxOutlineRatio = 10;
inline constexpr double MinOutlineScale = 0.01;
inline constexpr int32_t MaxOutlineWaves = 100;

// The block's stored bytes and back.
std::array<uint8_t, OutlineParamsSize> OutlineParamsToBytes(const TrecOutlineParams& P);
TrecOutlineParams OutlineParamsFromBytes(const uint8_t* Bytes);

class TOutline;
// True when the kind is 0 to 8 and every field the transforms read lies in
// its range (Spare, ArcMode and Flag take any value).
bool OutlineInRange(const TOutline& Outline);
// Every field brought to the nearest value of its range; a field that is no
// number takes its default and a kind outside 0 to 8 becomes 0 (none).
// With KeepUnchanged the merged kind and the sentinels stay (a change that
// leaves those fields, ApplyMerged). True when a field changed.
bool HoldOutline(TOutline& Outline, bool KeepUnchanged);

class TOutline : public TObject {
public:
    std::string ClassName() const override { return "TOutline"; }

    // 0 none, 1 to 6 and 8 envelope, 7 arc, 255 differing kinds (merged).
    uint8_t FOutlineKind = OutlineKindNone;
    TrecOutlineParams Params;
    // Set: the envelope and the point-wise arc only subdivide.
    uint8_t Flag = 0;

    void Assign(const TOutline& Source);
    // Kind, Flag and the 84 bytes compared byte for byte.
    bool Equals(const TOutline& Other) const;

    // Binary: kind byte; unless it is 0, the Flag byte and the 84 bytes.
    void WriteToStream(TStream& Stream) const;
    // EReadError for a short stream or a kind from 9 to 254; nothing is
    // changed then. A kind 0 leaves Flag and Params as they were.
    void ReadFromStream(TStream& Stream);
    // Text: a kind line; unless it is 0, a Flag line and the 84 bytes as a
    // "JIS7" block.
    void WriteToStreamAsText(TStream& Stream) const;
    // EConvertError for a line that is not a number; EReadError for a value
    // outside a byte, a kind from 9 to 254 or a block that is not 84 bytes.
    void ReadFromStreamAsText(TStream& Stream);

    // Folds Other into this outline: differing Flags give 255, differing
    // kinds 255; for equal kinds 1 to 8 a differing double becomes
    // 1.7e308, a differing arc count MinInt, and ArcMode MinInt when the two
    // lie on different sides of 0 (above 0 or not).
    void MergeWith(const TOutline& Other);
    // Takes Merged's values except the sentinels: the Flag when below 2;
    // nothing more for a merged kind of 9 or above; else the kind and, for
    // kinds 1 to 8, every value that is not a sentinel.
    void ApplyMerged(const TOutline& Merged);

    // Rect: the base path's bounds. Counts and Centres are a text's
    // per-character start indexes (with the total last) and glyph centres,
    // empty for other objects; Counts is rewritten to Dest's indexes.
    // Kind 0 copies, 255 does nothing, 9 to 254 raise EUserError
    // "TOutline.Transform: Illegal FOutlineKind".
    void Transform(const TRect& Rect, const TrecPolyLine& Source, TrecPolyLine& Dest,
                   std::vector<int32_t>& Counts, const std::vector<TPoint>& Centres) const;
};
