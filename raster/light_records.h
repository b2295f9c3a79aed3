// The plain light set that the lighting renderer reads: lights with colours,
// intensities and shapes, and the surface settings shared by all of them.
// The paint engine builds it from its text form and owns it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Light kinds.
constexpr uint8_t LightKindAmbient = 0;
constexpr uint8_t LightKindPoint = 1;
constexpr uint8_t LightKindParallel = 2;
constexpr uint8_t LightKindLine = 3;
constexpr uint8_t LightKindSpot = 4;

// One light.
struct TrecLightUnion {
    std::string Name;
    uint8_t Color[3] = {0, 0, 0}; // pixel byte order: blue, green, red
    int32_t Intensity = 0;        // negative: a darkening light
    uint8_t Kind = 0;             // LightKind*
    // Shape, in fractions of the reference rectangle. Point, parallel and line
    // lights: P1 = (Shape[0], Shape[1]), P2 = (Shape[2], Shape[3]) (a line light
    // carries two more points, which the renderer does not read). Spot: centre
    // (Shape[0], Shape[1]), major-axis direction in radians, major radius (of
    // the diagonal), minor radius (of the major one), soft-edge width in radians.
    double Shape[8] = {0, 0, 0, 0, 0, 0, 0, 0};

    friend bool operator==(const TrecLightUnion&, const TrecLightUnion&) = default;
};

// A light set.
struct TLightsAmb {
    std::vector<TrecLightUnion> Lights;
    uint8_t Color[3] = {0, 0, 0}; // ambient colour, pixel byte order: blue, green, red
    int32_t Ks = 0;               // specular strength, percent
    int32_t Sh = 0;               // shininess exponent
    int32_t M = 0;                // how far the ambient colour tints highlights and reflections, percent
    double Dp = 0.0;              // bump depth

    friend bool operator==(const TLightsAmb&, const TLightsAmb&) = default;
};
