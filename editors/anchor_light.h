// The handles with which a light is placed on the light editor's preview:
// a main anchor per light and the secondary points that belong to it, and
// the conversions between anchor places (preview pixels) and the light's own
// shape values (fractions of the object's box).
#pragma once

#include "raster/light_records.h"

#include <cstdint>
#include <memory>
#include <vector>

class QPainter;

// Where the object's box lies in the preview, in preview pixels.
struct TLightMapping {
    double Left = 0, Top = 0, Width = 1, Height = 1;
    double X(double Fraction) const { return Left + Fraction * Width; }
    double Y(double Fraction) const { return Top + Fraction * Height; }
    double FractionX(double Pixel) const { return Width != 0 ? (Pixel - Left) / Width : 0; }
    double FractionY(double Pixel) const { return Height != 0 ? (Pixel - Top) / Height : 0; }
    double Diagonal() const;
};

class TAnchorLight {
public:
    uint8_t Kind = 1; // 1 the light's main anchor, 2 and 3 its secondary points
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Index = 0;
    bool Selected = false;
    std::vector<TAnchorLight*> Others; // the anchors moved with this one or linked to it
    int32_t Light = -1;                // index of the light in its set
    uint8_t LightKind = 0;             // the light's kind, for the figure drawn
    bool SelectedLight = false;        // drawn in red when its light is the selected one

    virtual ~TAnchorLight() = default;
    virtual bool HitTest(int32_t PX, int32_t PY, int32_t Tolerance) const;
    virtual void Draw(QPainter& Canvas, int32_t Size) const;
};

class TAnchorsLight {
public:
    std::vector<std::unique_ptr<TAnchorLight>> Items;
    TAnchorLight* LastHit = nullptr;

    // The first anchor (list order) within Tolerance of the point, or nil.
    TAnchorLight* HitTest(int32_t X, int32_t Y, int32_t Tolerance);
    void Clear();
    // The anchors of Light: point, parallel and line lights a kind 2 anchor at
    // the second point, then the main one at the first point; a spot its main
    // anchor at the axis start with kinds 2 (axis end) and 3 (rim); ambient none.
    void Build(const TrecLightUnion& Light, int32_t LightIndex, const TLightMapping& Map);
    // Writes the anchors' places back into the light's shape values.
    void ApplyTo(TrecLightUnion& Light, const TLightMapping& Map) const;
    TAnchorLight* Main() const;
    TAnchorLight* OfKind(uint8_t Kind) const;
    // Draws every anchor; consecutive anchors at one place are drawn once.
    void Draw(QPainter& Canvas, bool SelectedLight) const;
};

// The spot's flatness: the signed distance of the rim anchor from the axis
// (positive on the left of the direction main -> axis end, in pixels).
double SpotFlatness(const TAnchorLight& Main, const TAnchorLight& End, const TAnchorLight& Rim);
// Moves the axis end to (X, Y) keeping Flatness (limited to half the axis
// length) and puts the rim anchor on the perpendicular through the axis
// midpoint. False (nothing moved) when the axis would have length 0.
bool SpotMoveEnd(TAnchorLight& Main, TAnchorLight& End, TAnchorLight& Rim, int32_t X, int32_t Y, double Flatness);
// Moves the rim anchor to (X, Y) projected onto the perpendicular; a rim
// farther than half the axis length pushes the axis end outwards to match.
bool SpotMoveRim(TAnchorLight& Main, TAnchorLight& End, TAnchorLight& Rim, int32_t X, int32_t Y);
