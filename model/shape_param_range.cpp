#include "model/shape_param_range.h"

#include "foundation/numbers.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int32_t kMinInt = -2147483647 - 1;
constexpr int32_t kCornerLow = -ShapeCornerFull;
constexpr int32_t kCornerHigh = ShapeCornerFull;

bool Within(int64_t V, int64_t Low, int64_t High) { return V >= Low && V <= High; }

bool CornerInRange(int32_t V) { return Within(V, kCornerLow, kCornerHigh); }
bool JitterInRange(int32_t V) { return Within(V, 0, MaxShapeJitterPercent); }

// A field of the merge routines' unsigned kind: 0xFFFFFFFF leaves it.
constexpr int32_t kUnchanged32 = -1;

void HoldInt(int32_t& V, int32_t Low, int32_t High, int32_t Unchanged, bool KeepUnchanged)
{
    if (!(KeepUnchanged && V == Unchanged))
        V = std::clamp(V, Low, High);
}

void HoldCount(int32_t& V, int32_t Low, bool KeepUnchanged)
{
    HoldInt(V, Low, MaxShapeCorners, kUnchanged32, KeepUnchanged);
}

}  // namespace

int32_t ShapeCornerOfPercent(int32_t Percent)
{
    return static_cast<int32_t>(int64_t{Percent} * ShapeCornerFull / 100);
}

int32_t ShapeCornerPercent(int32_t Stored)
{
    return static_cast<int32_t>(RoundOff(double(Stored) * 100 / ShapeCornerFull));
}

bool RectParamInRange(const TrecRectParam& P)
{
    return P.Bevel <= 1 && CornerInRange(P.CornerRadius) &&
           (P.CornerCount == 1 || P.CornerCount == 2 || P.CornerCount == 4) && P.CornerPosition <= 3;
}

bool PolygonParamInRange(const TrecPolygonParam& P)
{
    return Within(P.Count, MinPolygonCorners, MaxShapeCorners) && CornerInRange(P.CornerSize) &&
           JitterInRange(P.AngleVariation) && JitterInRange(P.RadiusVariation);
}

bool StarParamInRange(const TrecStarParam& P)
{
    return P.InnerRadius >= 0 && P.InnerRadius <= 1 && Within(P.Count, MinStoredStarPoints, MaxShapeCorners) &&
           CornerInRange(P.Corner1) && CornerInRange(P.Corner2) && JitterInRange(P.AngleVariation) &&
           JitterInRange(P.InnerVariation) && JitterInRange(P.OuterVariation);
}

void HoldRectParam(TrecRectParam& P, bool KeepUnchanged)
{
    // A corner count other than 1 and 2 makes four corners, a position past
    // 3 is the first, a bevel flag other than 0 is 1: brought into the
    // range they draw as they did.
    if (!(KeepUnchanged && P.Bevel == 255))
        P.Bevel = P.Bevel != 0;
    HoldInt(P.CornerRadius, kCornerLow, kCornerHigh, kMinInt, KeepUnchanged);
    if (!(KeepUnchanged && P.CornerCount == 65535) && P.CornerCount != 1 && P.CornerCount != 2)
        P.CornerCount = 4;
    if (!(KeepUnchanged && P.CornerPosition == 65535) && P.CornerPosition > 3)
        P.CornerPosition = 0;
}

void HoldPolygonParam(TrecPolygonParam& P, bool KeepUnchanged)
{
    HoldCount(P.Count, MinPolygonCorners, KeepUnchanged);
    HoldInt(P.CornerSize, kCornerLow, kCornerHigh, kMinInt, KeepUnchanged);
    HoldInt(P.AngleVariation, 0, MaxShapeJitterPercent, kUnchanged32, KeepUnchanged);
    HoldInt(P.RadiusVariation, 0, MaxShapeJitterPercent, kUnchanged32, KeepUnchanged);
}

void HoldStarParam(TrecStarParam& P, bool KeepUnchanged)
{
    if (!(KeepUnchanged && P.InnerRadius == -1.0))
        // A ratio that is no number draws as 0.
        P.InnerRadius = std::isnan(P.InnerRadius) ? 0.0 : ClampedValue(P.InnerRadius, 0.0, 1.0);
    HoldCount(P.Count, MinStoredStarPoints, KeepUnchanged);
    HoldInt(P.Corner1, kCornerLow, kCornerHigh, kMinInt, KeepUnchanged);
    HoldInt(P.Corner2, kCornerLow, kCornerHigh, kMinInt, KeepUnchanged);
    for (int32_t* F : {&P.AngleVariation, &P.InnerVariation, &P.OuterVariation})
        HoldInt(*F, 0, MaxShapeJitterPercent, kUnchanged32, KeepUnchanged);
}
