#include "model/shape_outline.h"

#include "foundation/bezier.h"
#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "model/draw_item.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <numbers>
#include <vector>

namespace {

uint32_t s1 = 0;
uint32_t s2 = 0;
uint32_t s3 = 0;

TPoint Pt(int64_t X, int64_t Y)
{
    return TPoint{Sat32(X), Sat32(Y)};
}

// Builds a path point by point into the caller's arrays, which only grow.
class TPathBuilder {
public:
    TPathBuilder(TrecPolyLine& Path, int64_t Room) : FPath(Path)
    {
        if (Room > FPath.Count)
            RecPolyLineSetCount(FPath, static_cast<int32_t>(Room));
        FPath.Count = 0;
    }
    ~TPathBuilder() { FPath.Count = static_cast<int32_t>(FCount); }

    void Add(const TPoint& P, uint8_t Type)
    {
        if (FCount >= FPath.Points.size()) {
            FPath.Points.resize(FCount + 1);
            FPath.pabType.resize(FCount + 1);
        }
        FPath.Points[FCount] = P;
        FPath.pabType[FCount] = Type;
        ++FCount;
    }
    size_t Count() const { return FCount; }
    TPoint& Point(size_t I) { return FPath.Points[I]; }
    uint8_t& Type(size_t I) { return FPath.pabType[I]; }

private:
    TrecPolyLine& FPath;
    size_t FCount = 0;
};

// Vertex counts below 3 become 3, above the limit the limit.
int32_t ClampVertexCount(int32_t N)
{
    if (N < 3)
        return 3;
    if (N > MaxShapeVertexCount)
        return MaxShapeVertexCount;
    return N;
}

// A stored double that is no number (a record may hold anything) counts
// as 0 rather than turning every vertex into nonsense.
double FiniteOr0(double V)
{
    return std::isfinite(V) ? V : 0.0;
}

// The frame shared by polygon and star: centre, half width and the aspect
// that stretches a circle of the half width to the rectangle's height.
struct TRadialFrame {
    double Aspect;
    int64_t HW;
    int64_t CX;
    int64_t CY;
};

TRadialFrame MakeRadialFrame(const TRect& Rect)
{
    const int64_t W = int64_t{Rect.Right} - Rect.Left;
    const int64_t H = int64_t{Rect.Bottom} - Rect.Top;
    TRadialFrame F;
    F.Aspect = static_cast<double>(H + 1) / static_cast<double>(W + 1);
    F.HW = W / 2;
    F.CX = Rect.Left + F.HW;
    F.CY = Rect.Top + RoundOff(static_cast<double>(F.HW) * F.Aspect);
    return F;
}

TPoint PlaceVertex(const TRadialFrame& F, double A, double Rad)
{
    // Offsets far outside int32 (a degenerate frame makes the aspect huge)
    // saturate instead of wrapping when the centre is added.
    const auto Add = [](int64_t Offset, int64_t Centre) {
        return std::clamp<int64_t>(Offset, INT32_MIN * int64_t{4}, INT32_MAX * int64_t{4}) + Centre;
    };
    return Pt(Add(RoundOff(std::sin(A) * Rad), F.CX), Add(RoundOff(std::cos(A) * Rad * F.Aspect), F.CY));
}

// Squared distance without wrapping: differences of int32 reach 2^32.
unsigned __int128 SqrDist(const TPoint& A, const TPoint& B)
{
    const int64_t Dx = int64_t{A.X} - B.X;
    const int64_t Dy = int64_t{A.Y} - B.Y;
    const uint64_t Ax = static_cast<uint64_t>(Dx < 0 ? -Dx : Dx);
    const uint64_t Ay = static_cast<uint64_t>(Dy < 0 ? -Dy : Dy);
    return static_cast<unsigned __int128>(Ax * Ax) + static_cast<unsigned __int128>(Ay * Ay);
}

// Appends the closed run of vertices V[0..n-1], each rounded by its own
// radius (1/65536 of the nearer edge, negative mirrors the curve inwards).
void AppendRoundedVertices(TPathBuilder& B, const std::vector<TPoint>& V,
                           const std::vector<int32_t>& Radius)
{
    const size_t N = V.size();
    for (size_t I = 0; I < N; ++I) {
        const TPoint& P = V[(I + N - 1) % N];
        const TPoint& Vi = V[I];
        const TPoint& Nx = V[(I + 1) % N];
        const int32_t R = Radius[I];
        const TPoint& Q = SqrDist(Nx, Vi) < SqrDist(P, Vi) ? Nx : P;
        const int64_t AbsR = std::llabs(int64_t{R});
        // |Q - V| < 2^32 and |R| <= 2^31: the product stays within int64.
        const TPoint T = Pt(Vi.X + ((int64_t{Q.X} - Vi.X) * AbsR + 65535) / 32768 / 2,
                            Vi.Y + ((int64_t{Q.Y} - Vi.Y) * AbsR + 65535) / 32768 / 2);
        TPoint Curve[4];
        if (!(T == Vi) && MakeCornerBezier(P, Vi, Nx, T, Curve)) {
            if (R < 0) {
                Curve[1] = ReflectPointOnLine(Curve[1], Curve[0], Curve[3]);
                Curve[2] = ReflectPointOnLine(Curve[2], Curve[0], Curve[3]);
            }
            if (B.Count() == 0 || !(B.Point(B.Count() - 1) == Curve[0]))
                B.Add(Curve[0], PT_LINETO);
            B.Add(Curve[1], PT_BEZIERTO);
            B.Add(Curve[2], PT_BEZIERTO);
            B.Add(Curve[3], PT_BEZIERTO);
        } else {
            B.Add(Vi, PT_LINETO);
        }
    }
}

// Corner size from |radius| by count and position.
int64_t RectCornerSize(int64_t W, int64_t H, int64_t R, uint16_t Count, uint16_t Pos)
{
    const int64_t M = H < W ? H : W;
    if (Count == 1)
        return (R * M + 16384) / 32768;
    if (Count == 2) {
        if (Pos == 0 || Pos == 2) {
            if (H < W / 2)
                return (R * H + 16384) / 32768;
            return ((R * W + 32768) / 2) / 32768;
        }
        if (W <= H / 2)
            return (R * W + 16384) / 32768;
        return ((R * H + 32768) / 2) / 32768;
    }
    return ((R * M + 65535) / 2) / 32768;
}

} // namespace

double ShapeRandom()
{
    s1 = s1 * 171 % 30269;
    s2 = s2 * 172 % 30307;
    s3 = s3 * 170 % 30323;
    double R = s1 / 30269.0 + s2 / 30307.0 + s3 / 30323.0;
    while (R >= 1.0)
        R -= 1.0;
    return R;
}

void SetShapeRandomSeed(uint32_t Seed)
{
    s1 = Seed & 0x3FF;
    s2 = (Seed >> 10) & 0x3FF;
    s3 = (Seed >> 20) & 0x3FF;
}

uint16_t RectCornerCount(const TrecRectParam& Param)
{
    return Param.CornerCount == 1 || Param.CornerCount == 2 ? Param.CornerCount : 4;
}

uint16_t RectCornerPosition(const TrecRectParam& Param)
{
    return Param.CornerPosition <= 3 ? Param.CornerPosition : 0;
}

bool MakeRectPath(const TRect& Rect, const TrecRectParam& Param, TrecPolyLine& Path)
{
    const int64_t L = Rect.Left, T = Rect.Top, R = Rect.Right, Bt = Rect.Bottom;
    const uint16_t Count = RectCornerCount(Param);
    const uint16_t Pos = RectCornerPosition(Param);

    if (Param.CornerRadius == 0) {
        TPathBuilder B(Path, 5);
        B.Add(Pt(L, T), PT_MOVETO);
        B.Add(Pt(R, T), PT_LINETO);
        B.Add(Pt(R, Bt), PT_LINETO);
        B.Add(Pt(L, Bt), PT_LINETO);
        B.Add(Pt(L, T), PT_LINETO | PT_CLOSEFIGURE);
        return true;
    }

    // A corner size beyond 2^34 puts every cut point outside int32 anyway;
    // the bound keeps the control-point arithmetic within int64.
    constexpr int64_t CLimit = int64_t{1} << 34;
    int64_t C = RectCornerSize(R - L, Bt - T, std::llabs(int64_t{Param.CornerRadius}), Count, Pos);
    C = C > CLimit ? CLimit : (C < -CLimit ? -CLimit : C);

    // Corners in outline order TL, TR, BR, BL: the corner V, the unit
    // direction u it is reached along and v it is left along.
    struct TCorner {
        int64_t X, Y, UX, UY, VX, VY;
    };
    const TCorner Corners[4] = {
        {L, T, 0, -1, 1, 0},
        {R, T, 1, 0, 0, 1},
        {R, Bt, 0, 1, -1, 0},
        {L, Bt, -1, 0, 0, -1},
    };
    bool Treated[4] = {false, false, false, false};
    int Start;            // corner the figure starts at (-1: B of TL)
    if (Count == 1) {
        Treated[Pos] = true;
        Start = Pos == 0 ? 1 : 0;
    } else if (Count == 2) {
        Treated[Pos] = true;
        Treated[(Pos + 1) % 4] = true;
        static const int BevelStart[4] = {3, 0, 1, 2};
        static const int RoundStart[4] = {-1, 0, 1, 1};
        Start = Param.Bevel != 0 ? BevelStart[Pos] : RoundStart[Pos];
    } else {
        Treated[0] = Treated[1] = Treated[2] = Treated[3] = true;
        Start = -1;
    }

    const auto A = [&](const TCorner& K) { return Pt(K.X - C * K.UX, K.Y - C * K.UY); };
    const auto Bp = [&](const TCorner& K) { return Pt(K.X + C * K.VX, K.Y + C * K.VY); };

    TPathBuilder B(Path, Param.Bevel != 0 ? 9 : 17);
    // Visits the corners after the start, in outline order; a start of -1
    // (the end point of the TL corner) visits TR, BR, BL, TL.
    const int First = Start < 0 ? 1 : Start + 1;
    const TPoint StartPt = Start < 0 ? Bp(Corners[0]) : Pt(Corners[Start].X, Corners[Start].Y);
    B.Add(StartPt, PT_MOVETO);
    const int64_t K = (C * 36194) >> 16;
    const bool Convex = Param.CornerRadius > 0;
    for (int J = 0; J < 4; ++J) {
        const int Idx = (First + J) % 4;
        if (Start >= 0 && Idx == Start)
            break;
        const TCorner& Kc = Corners[Idx];
        if (!Treated[Idx]) {
            B.Add(Pt(Kc.X, Kc.Y), PT_LINETO);
            continue;
        }
        const TPoint Pa = A(Kc);
        const TPoint Pb = Bp(Kc);
        B.Add(Pa, PT_LINETO);
        if (Param.Bevel != 0) {
            // With four corners the closing copy of the start is TL's B.
            if (!(Start < 0 && Idx == 0))
                B.Add(Pb, PT_LINETO);
            continue;
        }
        const int64_t Ax = Kc.X - C * Kc.UX, Ay = Kc.Y - C * Kc.UY;
        const int64_t Bx = Kc.X + C * Kc.VX, By = Kc.Y + C * Kc.VY;
        if (Convex) {
            B.Add(Pt(Ax + K * Kc.UX, Ay + K * Kc.UY), PT_BEZIERTO);
            B.Add(Pt(Bx - K * Kc.VX, By - K * Kc.VY), PT_BEZIERTO);
        } else {
            B.Add(Pt(Ax + (C - K) * Kc.VX, Ay + (C - K) * Kc.VY), PT_BEZIERTO);
            B.Add(Pt(Bx - (C - K) * Kc.UX, By - (C - K) * Kc.UY), PT_BEZIERTO);
        }
        B.Add(Pb, PT_BEZIERTO);
    }
    // A rounded figure that starts at TL's B ends on it with its curve;
    // every other one gets a closing copy of the start.
    if (Start < 0 && Param.Bevel == 0)
        B.Type(B.Count() - 1) = PT_BEZIERTO | PT_CLOSEFIGURE;
    else
        B.Add(StartPt, PT_LINETO | PT_CLOSEFIGURE);
    return true;
}

bool MakePolygonPath(const TRect& Rect, TrecPolygonParam& Param, TrecPolyLine& Path)
{
    const int32_t N = ClampVertexCount(Param.Count);
    Param.Count = N;
    const TRadialFrame F = MakeRadialFrame(Rect);
    const double Step = 2 * std::numbers::pi / N;
    const double Jitter = Step * Param.AngleVariation / 100;
    const double Start = FiniteOr0(Param.StartAngle);
    SetShapeRandomSeed(static_cast<uint32_t>(Param.Seed));

    std::vector<TPoint> V(static_cast<size_t>(N));
    for (int32_t I = 0; I < N; ++I) {
        const double A = ShapeRandom() * Jitter + (I * Step + Start) - Jitter / 2;
        const double Rad = static_cast<double>(F.HW) -
                           ShapeRandom() * static_cast<double>(F.HW) * Param.RadiusVariation / 100;
        V[static_cast<size_t>(I)] = PlaceVertex(F, A, Rad);
    }

    TPathBuilder B(Path, int64_t{4} * N + 2);
    AppendRoundedVertices(B, V, std::vector<int32_t>(static_cast<size_t>(N), Param.CornerSize));
    if (!(B.Point(B.Count() - 1) == B.Point(0)))
        B.Add(B.Point(0), PT_LINETO | PT_CLOSEFIGURE);
    B.Type(0) = PT_MOVETO;
    return true;
}

bool MakeStarPath(const TRect& Rect, TrecStarParam& Param, TrecPolyLine& Path)
{
    RecPolyLineClear(Path);
    const int32_t N = ClampVertexCount(Param.Count);
    Param.Count = N;
    const TRadialFrame F = MakeRadialFrame(Rect);
    const double HW = static_cast<double>(F.HW);
    const double Inner = static_cast<double>(RoundOff(HW * FiniteOr0(Param.InnerRadius)));
    const double Step = std::numbers::pi / N;
    const double Jitter = Step * Param.AngleVariation / 100;
    const double Start = FiniteOr0(Param.StartAngle);
    SetShapeRandomSeed(static_cast<uint32_t>(Param.Seed));

    std::vector<TPoint> V(static_cast<size_t>(N) * 2);
    for (int32_t K = 0; K < N; ++K) {
        const double A = ShapeRandom() * Jitter + (2 * K * Step + Start) - Jitter / 2;
        const double TipRad = HW - ShapeRandom() * (HW - Inner) * Param.OuterVariation / 100;
        const double A2 = ShapeRandom() * Jitter + ((2 * K + 1) * Step + Start) - Jitter / 2;
        const double InRad = Inner - ShapeRandom() * Inner * Param.InnerVariation / 100;
        V[static_cast<size_t>(2 * K)] = PlaceVertex(F, A, TipRad);
        V[static_cast<size_t>(2 * K + 1)] = PlaceVertex(F, A2, InRad);
    }
    std::vector<int32_t> Radius(V.size());
    for (size_t I = 0; I < V.size(); ++I)
        Radius[I] = I % 2 == 0 ? Param.Corner2 : Param.Corner1;

    TPathBuilder B(Path, int64_t{8} * N + 2);
    AppendRoundedVertices(B, V, Radius);
    if (!(B.Point(B.Count() - 1) == B.Point(0)))
        B.Add(B.Point(0), PT_LINETO | PT_CLOSEFIGURE);
    // A figure that begins with a straight edge starts in that edge's middle.
    if (B.Count() > 1 && B.Type(1) == PT_LINETO) {
        const TPoint P0 = B.Point(0), P1 = B.Point(1);
        const TPoint Mid = Pt((int64_t{P0.X} + P1.X) / 2, (int64_t{P0.Y} + P1.Y) / 2);
        B.Point(0) = Mid;
        B.Type(B.Count() - 1) &= static_cast<uint8_t>(~PT_CLOSEFIGURE);
        B.Add(Mid, PT_LINETO | PT_CLOSEFIGURE);
    }
    B.Type(0) = PT_MOVETO;
    B.Type(B.Count() - 1) |= PT_CLOSEFIGURE;
    return true;
}

void GetEllipsePath(const TRect& Rect, TrecPolyLine& Path)
{
    RecPolyLineClear(Path);
    const int64_t L = Rect.Left, T = Rect.Top, R = Rect.Right, Bt = Rect.Bottom;
    // 118664 / 65536 = 1 / 0.5523, the quarter-circle Bezier constant.
    const int64_t KX = ((R - L) * 65536 / 118664) / 2;
    const int64_t KY = ((Bt - T) * 65536 / 118664) / 2;
    const int64_t CX = (L + R) / 2;
    const int64_t CY = (T + Bt) / 2;
    TPathBuilder B(Path, 13);
    B.Add(Pt(CX, T), PT_MOVETO);
    B.Add(Pt(CX + KX, T), PT_BEZIERTO);
    B.Add(Pt(R, CY - KY), PT_BEZIERTO);
    B.Add(Pt(R, CY), PT_BEZIERTO);
    B.Add(Pt(R, CY + KY), PT_BEZIERTO);
    B.Add(Pt(CX + KX, Bt), PT_BEZIERTO);
    B.Add(Pt(CX, Bt), PT_BEZIERTO);
    B.Add(Pt(CX - KX, Bt), PT_BEZIERTO);
    B.Add(Pt(L, CY + KY), PT_BEZIERTO);
    B.Add(Pt(L, CY), PT_BEZIERTO);
    B.Add(Pt(L, CY - KY), PT_BEZIERTO);
    B.Add(Pt(CX - KX, T), PT_BEZIERTO);
    B.Add(Pt(CX, T), PT_BEZIERTO | PT_CLOSEFIGURE);
}

bool GetRectPath(const TRect& Rect, const TrecRectParam& Param, TrecRectParam& Copy,
                 TrecPolyLine& Path)
{
    Copy = Param;
    return MakeRectPath(Rect, Copy, Path);
}

bool GetPolygonPath(const TRect& Rect, const TrecPolygonParam& Param, TrecPolygonParam& Copy,
                    TrecPolyLine& Path)
{
    Copy = Param;
    return MakePolygonPath(Rect, Copy, Path);
}

bool GetStarPath(const TRect& Rect, const TrecStarParam& Param, TrecStarParam& Copy,
                 TrecPolyLine& Path)
{
    Copy = Param;
    return MakeStarPath(Rect, Copy, Path);
}
