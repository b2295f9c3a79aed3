// The text form of a light set, carried by the light parameters of paint
// macros, the light clipboard format and the light style library.
//
// Items follow each other directly: a number is its decimal (or shortest
// real) text and ","; a colour six upper-case hexadecimal digits RRGGBB; a
// text its length, ",", then the text. The set: bump depth (real), ambient
// colour, Ks, Sh, M, the number of lights, then per light its name, colour,
// intensity, kind and shape values (kinds 1 and 2: two points, kind 3: four
// points, kind 4: a point and four reals). Example:
//   50,FFFFFF80,20,0,1,1,AFF0000100,0,
// A name's length counts the bytes it has in the stored forms (CP932), so
// the prefix stays right when the whole text is converted at that boundary.
#pragma once

#include "raster/light_records.h"

#include <string>

// The kinds as the editors name them, in kind order.
inline constexpr const char* LightKindNames[5] = {"環境光", "点光源", "平行光源", "線光源",
                                                  "スポットライト"};

// The ranges the light editor gives a set's fields; every reader of a light
// set from outside holds it to them, as the gradations' readers do. The
// lights' points have none; they must be numbers.
inline constexpr int32_t MaxLightIntensity = 100;   // either way
inline constexpr int32_t MaxLightPercent = 100;     // Ks and M, from 0
inline constexpr int32_t MinLightShininess = 1;
inline constexpr int32_t MaxLightShininess = 100;
inline constexpr double MaxLightBumpDepth = 100;    // from 0
inline constexpr uint8_t MaxLightKind = LightKindSpot;
// A spot's soft edge, radians: 0 to a quarter turn.
inline constexpr double MaxLightSpotSoftness = 1.5707963267948966;

// True when every field lies in its range.
bool LightsInEditorRange(const TLightsAmb& Lights);
// Every field brought to the nearest value of its range (a value that is no
// number to 0, a light of an unknown kind, which has no points, to an
// ambient light);
// True when anything changed.
bool HoldLightsInEditorRange(TLightsAmb& Lights);

std::string LightsToStr(const TLightsAmb& Lights);
// Sets the set's own fields and appends the lights of Text. False for an
// empty text (nothing changes) and for a malformed one: a bad number or
// colour, a name length that is negative or runs past the end. The fields
// and the whole lights read before the fault stay.
bool StrToLights(TLightsAmb& Lights, const std::string& Text);
