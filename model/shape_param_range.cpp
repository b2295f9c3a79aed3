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

void ShapeFrameBox(int64_t Width, int64_t Height, double Angle, int64_t& BoxWidth, int64_t& BoxHeight)
{
    const double C = std::fabs(std::cos(Angle));
    const double S = std::fabs(std::sin(Angle));
    // A hair below a whole number is that number: a quarter turn's cosine
    // is not quite 0.
    const auto Side = [](double V) { return static_cast<int64_t>(std::ceil(V - 1e-6)); };
    BoxWidth = Side(double(Width) * C + double(Height) * S);
    BoxHeight = Side(double(Width) * S + double(Height) * C);
}

bool ShapeFrameDrawable(const TShapeFrame& F, double Angle)
{
    if (!(F.Width >= 1 && F.Height >= 1 && WithinItemReach(F.Width) && WithinItemReach(F.Height) &&
          WithinItemReach(F.X) && WithinItemReach(F.Y) && WithinItemReach(int64_t{F.X} + F.Width) &&
          WithinItemReach(int64_t{F.Y} + F.Height)))
        return false;
    int64_t BoxW = 0, BoxH = 0;
    ShapeFrameBox(F.Width, F.Height, Angle, BoxW, BoxH);
    return BoxWithinPicture(BoxW, BoxH);
}

bool HoldShapeFrame(TShapeFrame& F, double Angle)
{
    const TShapeFrame Was = F;
    const double W0 = std::max(F.Width, 1);
    const double H0 = std::max(F.Height, 1);
    int64_t W = static_cast<int64_t>(W0);
    int64_t H = static_cast<int64_t>(H0);
    int64_t BoxW = 0, BoxH = 0;
    ShapeFrameBox(W, H, Angle, BoxW, BoxH);
    if (!(W <= MaxItemReach && H <= MaxItemReach && BoxWithinPicture(BoxW, BoxH))) {
        // Too large to draw: brought down to what paints (BoxHeldToPaint).
        // The largest factor that box allows, then a little less while the
        // rounding still leaves it too large; 1 x 1 always fits.
        const double BW = double(std::max<int64_t>(BoxW, 1));
        const double BH = double(std::max<int64_t>(BoxH, 1));
        double Factor = std::min({double(MaxHeldItemSide) / BW, double(MaxHeldItemSide) / BH,
                                  std::sqrt(double(MaxPicturePixels) / (BW * BH)), 1.0});
        // A hair is added before the floor so that a side the factor
        // makes whole in exact arithmetic stays whole.
        for (;;) {
            W = std::max<int64_t>(1, static_cast<int64_t>(std::floor(W0 * Factor + 1e-7)));
            H = std::max<int64_t>(1, static_cast<int64_t>(std::floor(H0 * Factor + 1e-7)));
            ShapeFrameBox(W, H, Angle, BoxW, BoxH);
            if (BoxHeldToPaint(BoxW, BoxH))
                break;
            Factor *= 0.999;
        }
    }
    F.Width = static_cast<int32_t>(W);
    F.Height = static_cast<int32_t>(H);
    F.X = static_cast<int32_t>(std::clamp<int64_t>(F.X, -int64_t{MaxItemReach}, MaxItemReach - W));
    F.Y = static_cast<int32_t>(std::clamp<int64_t>(F.Y, -int64_t{MaxItemReach}, MaxItemReach - H));
    return !(F == Was);
}
