// Lighting of a 24-bit picture: each pixel is a surface colour, its normal
// comes from an optional bump picture (a height map), and the lights of a
// light set (ambient, point, parallel, line, spot) are summed in a Phong-type
// model; an optional reflection picture is mapped onto the surface as an
// environment reflection. Reached as kind 7 of the tone operations.
#pragma once

#include "foundation/geometry.h"
#include "foundation/geometry_types.h"
#include "raster/light_records.h"
#include "raster/rec_picture.h"

#include <cstdint>

// Results of RecPictureLight.
constexpr int32_t LightResultOK = 0;
constexpr int32_t LightResultBadPicture = 3; // picture, mask, bump or reflection of a depth not served
constexpr int32_t LightResultBumpMissed = 6; // the bump picture does not overlap the area

// The cone of a spot light, in page coordinates (z up from the page).
struct TSpotCone {
    TDPoint3D Apex;
    TDPoint3D Axis; // unit vector from the lit ellipse up towards the apex
    double Cone = 0.0; // half-angle, radians
    double Lf = 0.0;   // strength factor of the cone
};

// The cone whose footprint on the page is the spot light's ellipse, for the
// reference rectangle Rc. False for a spot whose major radius is too small to
// build a cone from (below 0.0002 units, e.g. zero) or whose shape values give
// no finite cone: such a spot lights nothing. Raises EUserError
// "SubSpot: CheckConflict2UnLimitedLineD() = FALSE" when the construction
// lines are parallel.
bool SubSpot(const TrecLightUnion& Light, const TRect& Rc, TSpotCone& Cone);

// Lights the 24-bit Picture in place over its area (its rectangle, or its
// overlap with the 8-bit Mask; masked-out pixels stay, the others are
// weighted by the mask). Bump: 8- or 16-bit height map, or nullptr; where it
// does not cover the area its edge samples are repeated. Reflection: 24-bit,
// or nullptr; used only with a mask and a non-zero Reflectance (percent).
// Rect: the rectangle the lights are placed in, or nullptr for the area.
// Quality: 0 (or nullptr) nearest reflection sample, otherwise bilinear.
// Records without a header block count as absent (the picture then gives 3).
// Returns LightResult*; a mask that misses the picture gives 0 and changes
// nothing. A nullptr light set gives 3.
int32_t RecPictureLight(TrecPicture& Picture, const TrecPicture* Mask, const TLightsAmb* Lights,
                        const TrecPicture* Bump, const TrecPicture* Reflection,
                        int32_t Reflectance, const TRect* Rect, const uint8_t* Quality);
