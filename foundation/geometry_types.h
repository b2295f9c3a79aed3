// The plain point and rectangle records of the whole system. Rectangles are
// inclusive of Right and Bottom; an empty extent is (-1, -1, -2, -2).
#pragma once

#include <cstdint>

struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    friend bool operator==(const TRect&, const TRect&) = default;
};

struct TDPoint {
    double X = 0.0;
    double Y = 0.0;
    friend bool operator==(const TDPoint&, const TDPoint&) = default;
};
