#include "foundation/geometry.h"

#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "foundation/wrap_int.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

namespace {

// Truncating 32-bit division that wraps like the processor for INT32_MIN / -1.
int32_t WrapDiv(int32_t A, int32_t B)
{
    return B == -1 ? WrapNeg(A) : A / B;
}

int32_t RoundOff32(double X)
{
    return static_cast<int32_t>(RoundOff(X));
}

} // namespace

int64_t SqrDist64(int64_t DX, int64_t DY)
{
    const uint64_t AX = static_cast<uint64_t>(DX < 0 ? -DX : DX);
    const uint64_t AY = static_cast<uint64_t>(DY < 0 ? -DY : DY);
    const unsigned __int128 Sum = static_cast<unsigned __int128>(AX) * AX +
                                  static_cast<unsigned __int128>(AY) * AY;
    return Sum > static_cast<unsigned __int128>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(Sum);
}

// Points and vectors.

TDPoint DPoint(double X, double Y)
{
    return TDPoint{X, Y};
}

bool PointsEqual(const TPoint& A, const TPoint& B)
{
    return A.X == B.X && A.Y == B.Y;
}

int32_t PointSqrDistance(const TPoint& A, const TPoint& B)
{
    int32_t Dx = WrapSub(B.X, A.X);
    int32_t Dy = WrapSub(B.Y, A.Y);
    return WrapAdd(WrapMul(Dx, Dx), WrapMul(Dy, Dy));
}

double PointDistance(const TPoint& A, const TPoint& B)
{
    return std::sqrt(static_cast<double>(PointSqrDistance(A, B)));
}

double DPointSqrDistance(const TDPoint& A, const TDPoint& B)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    return Dx * Dx + Dy * Dy;
}

double DPointDistance(const TDPoint& A, const TDPoint& B)
{
    return std::sqrt(DPointSqrDistance(A, B));
}

double DPointSqrDistance3D(const TDPoint3D& A, const TDPoint3D& B)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    double Dz = B.Z - A.Z;
    return Dx * Dx + Dy * Dy + Dz * Dz;
}

TPoint InterpolatePoint(const TPoint& P1, const TPoint& P2, int32_t W1, int32_t W2)
{
    int32_t W = WrapAdd(W1, W2);
    if (W == 0)
        return P1;
    return TPoint{WrapDiv(WrapAdd(WrapMul(P1.X, W1), WrapMul(P2.X, W2)), W),
                  WrapDiv(WrapAdd(WrapMul(P1.Y, W1), WrapMul(P2.Y, W2)), W)};
}

TPoint MirrorPoint(const TPoint& P, const TPoint& C)
{
    return TPoint{WrapSub(WrapMul(2, C.X), P.X), WrapSub(WrapMul(2, C.Y), P.Y)};
}

void NormalizeVector(TPoint& V)
{
    double X = V.X;
    double Y = V.Y;
    auto L = static_cast<int64_t>(std::nearbyint(std::sqrt(X * X + Y * Y)));
    if (L == 0)
        return;
    V.X = static_cast<int32_t>(static_cast<int64_t>(V.X) * 1000 / L);
    V.Y = static_cast<int32_t>(static_cast<int64_t>(V.Y) * 1000 / L);
}

void RotatePoint(TPoint& P, double Angle)
{
    double C = std::cos(Angle);
    double S = std::sin(Angle);
    double X = P.X;
    double Y = P.Y;
    P.X = RoundOff32(X * C - Y * S);
    P.Y = RoundOff32(X * S + Y * C);
}

void DNormalizeVector(TDPoint& V)
{
    double L = std::sqrt(V.X * V.X + V.Y * V.Y);
    if (L == 0.0)
        return;
    V.X /= L;
    V.Y /= L;
}

void NormalizeVector3D(TDPoint3D& V)
{
    double L = VectorLength3D(V);
    if (L == 0.0)
        return;
    V.X /= L;
    V.Y /= L;
    V.Z /= L;
}

double VectorLength3D(const TDPoint3D& V)
{
    return std::sqrt(V.X * V.X + V.Y * V.Y + V.Z * V.Z);
}

double DotProduct3D(const TDPoint3D& A, const TDPoint3D& B)
{
    return A.X * B.X + A.Y * B.Y + A.Z * B.Z;
}

void CrossProduct3D(TDPoint3D& R, const TDPoint3D& A, const TDPoint3D& B)
{
    TDPoint3D T{A.Y * B.Z - A.Z * B.Y, A.Z * B.X - A.X * B.Z, A.X * B.Y - A.Y * B.X};
    R = T;
}

namespace {

double AngleOfCosine(double D)
{
    if (D >= 1.0)
        return 0.0;
    if (D <= -1.0)
        return std::numbers::pi;
    return std::acos(D);
}

} // namespace

double DVectorAngle(const TDPoint& A, const TDPoint& B)
{
    TDPoint U = A;
    TDPoint V = B;
    DNormalizeVector(U);
    DNormalizeVector(V);
    return AngleOfCosine(U.X * V.X + U.Y * V.Y);
}

double VectorAngle3D(const TDPoint3D& A, const TDPoint3D& B)
{
    TDPoint3D U = A;
    TDPoint3D V = B;
    NormalizeVector3D(U);
    NormalizeVector3D(V);
    return AngleOfCosine(DotProduct3D(U, V));
}

// Rectangles.

void RectUnion(const TRect& A, const TRect& B, TRect& R)
{
    if (A.Left > A.Right) {
        R = B;
    } else if (B.Left > B.Right) {
        R = A;
    } else {
        TRect U{std::min(A.Left, B.Left), std::min(A.Top, B.Top), std::max(A.Right, B.Right),
                std::max(A.Bottom, B.Bottom)};
        R = U;
    }
}

bool RectIntersect(TRect& A, const TRect& B)
{
    TRect R{std::max(A.Left, B.Left), std::max(A.Top, B.Top), std::min(A.Right, B.Right),
            std::min(A.Bottom, B.Bottom)};
    if (R.Top <= R.Bottom && R.Left <= R.Right) {
        A = R;
        return true;
    }
    A = TRect{-1, -1, -2, -2};
    return false;
}

int64_t RectPixelCount(const TRect& R)
{
    if (R.Left > R.Right || R.Top > R.Bottom)
        return 0;
    // Each side is at most 2^32 pixels.
    const int64_t W = int64_t{R.Right} - R.Left + 1;
    const int64_t H = int64_t{R.Bottom} - R.Top + 1;
    return W > INT64_MAX / H ? INT64_MAX : W * H;
}

bool RectsIntersect(const TRect& A, const TRect& B)
{
    TRect C = A;
    return RectIntersect(C, B);
}

bool RectInRect(const TRect& A, const TRect& B)
{
    return A.Left >= B.Left && A.Top >= B.Top && A.Right <= B.Right && A.Bottom <= B.Bottom;
}

bool PointInRectIncl(const TPoint& P, const TRect& R)
{
    return R.Left <= P.X && P.X <= R.Right && R.Top <= P.Y && P.Y <= R.Bottom;
}

void NormalizeRect(TRect& R)
{
    if (R.Left > R.Right)
        SwapInt(R.Left, R.Right);
    if (R.Top > R.Bottom)
        SwapInt(R.Top, R.Bottom);
}

bool RectsEqual(const TRect& A, const TRect& B)
{
    return A.Left == B.Left && A.Top == B.Top && A.Right == B.Right && A.Bottom == B.Bottom;
}

// Segments and lines.

int64_t NearestPointOnSegment64(const TPoint& P, const TPoint& A, const TPoint& B,
                                TPoint* Nearest)
{
    double Dx = static_cast<double>(B.X) - A.X;
    double Dy = static_cast<double>(B.Y) - A.Y;
    double T = (static_cast<double>(P.X) - A.X) * Dx + (static_cast<double>(P.Y) - A.Y) * Dy;
    double DD = Dx * Dx + Dy * Dy;
    if (0.0 < T && T <= DD) {
        double Fx = A.X + Dx * T / DD;
        double Fy = A.Y + Dy * T / DD;
        double Ex = Fx - P.X;
        double Ey = Fy - P.Y;
        if (Nearest)
            *Nearest = TPoint{RoundOff32(Fx), RoundOff32(Fy)};
        double Sq = Ex * Ex + Ey * Ey;
        // RoundOff of a non-negative value in range, inline: the flatteners
        // call this twice per piece.
        return Sq < 9.2e18 ? static_cast<int64_t>(Sq + 0.5) : RoundOff(Sq);
    }
    int64_t DistA = SqrDist64(int64_t{P.X} - A.X, int64_t{P.Y} - A.Y);
    int64_t DistB = SqrDist64(int64_t{P.X} - B.X, int64_t{P.Y} - B.Y);
    if (DistB < DistA) {
        if (Nearest)
            *Nearest = B;
        return DistB;
    }
    if (Nearest)
        *Nearest = A;
    return DistA;
}

void NearestPointOnSegment(const TPoint& P, const TPoint& A, const TPoint& B,
                           TPoint* Nearest, int32_t* SqrDist)
{
    int64_t D = NearestPointOnSegment64(P, A, B, Nearest);
    if (SqrDist)
        *SqrDist = static_cast<int32_t>(D);
}

void DNearestPointOnSegment(const TDPoint& P, const TDPoint& A, const TDPoint& B,
                            TDPoint* Nearest, double* SqrDist)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    double T = (P.X - A.X) * Dx + (P.Y - A.Y) * Dy;
    double DD = Dx * Dx + Dy * Dy;
    TDPoint R;
    double D;
    if (0.0 < T && T <= DD) {
        R = TDPoint{A.X + Dx * T / DD, A.Y + Dy * T / DD};
        D = DPointSqrDistance(R, P);
    } else {
        double DistA = DPointSqrDistance(P, A);
        double DistB = DPointSqrDistance(P, B);
        if (DistA <= DistB) {
            R = A;
            D = DistA;
        } else {
            R = B;
            D = DistB;
        }
    }
    if (Nearest)
        *Nearest = R;
    if (SqrDist)
        *SqrDist = D;
}

void NearestPointOnLine(const TPoint& P, const TPoint& A, const TPoint& B,
                        TPoint* Foot, int64_t* SqrDist)
{
    int32_t Dx = WrapSub(B.X, A.X);
    int32_t Dy = WrapSub(B.Y, A.Y);
    int32_t L2 = WrapAdd(WrapMul(Dx, Dx), WrapMul(Dy, Dy));
    TPoint F = A;
    if (L2 != 0) {
        int32_t T = WrapAdd(WrapMul(WrapSub(P.X, A.X), Dx), WrapMul(WrapSub(P.Y, A.Y), Dy));
        F.X = WrapAdd(A.X, static_cast<int32_t>(int64_t{Dx} * T / L2));
        F.Y = WrapAdd(A.Y, static_cast<int32_t>(int64_t{Dy} * T / L2));
    }
    if (Foot)
        *Foot = F;
    if (SqrDist)
        *SqrDist = SqrDist64(int64_t{F.X} - P.X, int64_t{F.Y} - P.Y);
}

void DNearestPointOnLine(const TDPoint& P, const TDPoint& A, const TDPoint& B,
                         TDPoint* Foot, double* SqrDist)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    double L2 = Dx * Dx + Dy * Dy;
    TDPoint F = A;
    if (L2 != 0.0) {
        double T = (P.X - A.X) * Dx + (P.Y - A.Y) * Dy;
        F = TDPoint{A.X + Dx * T / L2, A.Y + Dy * T / L2};
    }
    if (Foot)
        *Foot = F;
    if (SqrDist)
        *SqrDist = DPointSqrDistance(F, P);
}

void DNearestPointOnRay(const TDPoint& P, const TDPoint& A, const TDPoint& B,
                        TDPoint* Nearest, double* SqrDist)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    double T = (P.X - A.X) * Dx + (P.Y - A.Y) * Dy;
    TDPoint F = A;
    if (T > 0.0) {
        double L2 = Dx * Dx + Dy * Dy;
        F = TDPoint{A.X + Dx * T / L2, A.Y + Dy * T / L2};
    }
    if (Nearest)
        *Nearest = F;
    if (SqrDist)
        *SqrDist = DPointSqrDistance(F, P);
}

void NearestPointOnLine3D(const TDPoint3D& P, const TDPoint3D& A, const TDPoint3D& B,
                          TDPoint3D* Foot, double* SqrDist)
{
    TDPoint3D D{B.X - A.X, B.Y - A.Y, B.Z - A.Z};
    double L2 = DotProduct3D(D, D);
    TDPoint3D F = P;
    if (L2 != 0.0) {
        TDPoint3D W{P.X - A.X, P.Y - A.Y, P.Z - A.Z};
        double T = DotProduct3D(W, D);
        F = TDPoint3D{A.X + D.X * T / L2, A.Y + D.Y * T / L2, A.Z + D.Z * T / L2};
    }
    if (Foot)
        *Foot = F;
    if (SqrDist)
        *SqrDist = DPointSqrDistance3D(F, P);
}

TPoint ReflectPointOnLine(const TPoint& P, const TPoint& A, const TPoint& B)
{
    int32_t Dx = WrapSub(B.X, A.X);
    int32_t Dy = WrapSub(B.Y, A.Y);
    int32_t L2 = WrapAdd(WrapMul(Dx, Dx), WrapMul(Dy, Dy));
    if (L2 == 0)
        return MirrorPoint(P, A);
    int32_t T = WrapAdd(WrapMul(WrapSub(P.X, A.X), Dx), WrapMul(WrapSub(P.Y, A.Y), Dy));
    TPoint F{WrapAdd(A.X, static_cast<int32_t>(int64_t{Dx} * T / L2)),
             WrapAdd(A.Y, static_cast<int32_t>(int64_t{Dy} * T / L2))};
    return MirrorPoint(P, F);
}

namespace {

// Parameter u of the intersection along A + u (B - A); false when parallel.
bool IntersectParam(double Ax, double Ay, double Bx, double By, double Cx, double Cy,
                    double Dx, double Dy, double& Rx, double& Ry, double& U)
{
    Rx = Bx - Ax;
    Ry = By - Ay;
    double Sx = Dx - Cx;
    double Sy = Dy - Cy;
    double Den = Rx * Sy - Ry * Sx;
    if (Den == 0.0)
        return false;
    U = ((Ay - Cy) * Sx - (Ax - Cx) * Sy) / Den;
    return true;
}

} // namespace

bool LineIntersection(const TPoint& A, const TPoint& B, const TPoint& C, const TPoint& D,
                      TPoint* Pt)
{
    double Rx, Ry, U;
    if (!IntersectParam(A.X, A.Y, B.X, B.Y, C.X, C.Y, D.X, D.Y, Rx, Ry, U))
        return false;
    if (Pt)
        *Pt = TPoint{RoundEven32(A.X + Rx * U), RoundEven32(A.Y + Ry * U)};
    return true;
}

bool DLineIntersection(const TDPoint& A, const TDPoint& B, const TDPoint& C, const TDPoint& D,
                       TDPoint* Pt)
{
    double Rx, Ry, U;
    if (!IntersectParam(A.X, A.Y, B.X, B.Y, C.X, C.Y, D.X, D.Y, Rx, Ry, U))
        return false;
    if (Pt)
        *Pt = TDPoint{std::nearbyint(A.X + Rx * U), std::nearbyint(A.Y + Ry * U)};
    return true;
}

void PerpendicularBisector(const TPoint& P1, const TPoint& P2, TPoint& S1, TPoint& S2)
{
    TPoint M{static_cast<int32_t>((int64_t{P1.X} + P2.X) / 2),
             static_cast<int32_t>((int64_t{P1.Y} + P2.Y) / 2)};
    int32_t Rx = WrapSub(P2.X, M.X);
    int32_t Ry = WrapSub(P2.Y, M.Y);
    S1 = TPoint{WrapSub(M.X, Ry), WrapAdd(M.Y, Rx)};
    S2 = TPoint{WrapAdd(M.X, Ry), WrapSub(M.Y, Rx)};
}

TPoint OffsetPointFromLine(const TPoint& P, const TDPoint& A, const TDPoint& B, double D)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    double L = std::sqrt(Dx * Dx + Dy * Dy);
    if (!(L > 0.0))
        return P;
    double K = D / L;
    return TPoint{WrapAdd(P.X, RoundEven32(Dy * K)), WrapSub(P.Y, RoundEven32(Dx * K))};
}

TDPoint DOffsetPointFromLine(const TDPoint& P, const TDPoint& A, const TDPoint& B, double D)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    double K = D / std::sqrt(Dx * Dx + Dy * Dy);
    return TDPoint{P.X + Dy * K, P.Y - Dx * K};
}

void DPerpendicularSegment(const TDPoint& P, const TDPoint& A, const TDPoint& B, double D,
                           TDPoint& S1, TDPoint& S2)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    double K = D / std::sqrt(Dx * Dx + Dy * Dy);
    double Ox = Dy * K;
    double Oy = -Dx * K;
    TDPoint C = P;
    S1 = TDPoint{C.X + Ox, C.Y + Oy};
    S2 = TDPoint{C.X - Ox, C.Y - Oy};
}

void DPerpendicularLine(const TDPoint& P, const TDPoint& A, const TDPoint& B,
                        TDPoint& L1, TDPoint& L2)
{
    double Dx = B.X - A.X;
    double Dy = B.Y - A.Y;
    TDPoint F;
    DNearestPointOnLine(P, A, B, &F, nullptr);
    L1 = F;
    L2 = TDPoint{F.X + Dy, F.Y - Dx};
}

void OffsetLine(const TPoint& A, const TPoint& B, double D,
                TPoint& A1, TPoint& B1, TPoint& A2, TPoint& B2)
{
    // In doubles: the stroker works at 16 times the page scale, where int32
    // squares of a long segment would overflow.
    double Dx = static_cast<double>(B.X) - A.X;
    double Dy = static_cast<double>(B.Y) - A.Y;
    double Length = std::sqrt(Dx * Dx + Dy * Dy);
    if (Length <= 0.0)
        throw EUserError("OffsetLine: dLength <= 0");
    int32_t Ox = RoundEven32(Dx * D / Length);
    int32_t Oy = RoundEven32(Dy * D / Length);
    TPoint Pa = A;
    TPoint Pb = B;
    A1 = TPoint{WrapAdd(Pa.X, Oy), WrapSub(Pa.Y, Ox)};
    B1 = TPoint{WrapAdd(Pb.X, Oy), WrapSub(Pb.Y, Ox)};
    A2 = TPoint{WrapSub(Pa.X, Oy), WrapAdd(Pa.Y, Ox)};
    B2 = TPoint{WrapSub(Pb.X, Oy), WrapAdd(Pb.Y, Ox)};
}

void SnapPointToAngle(const TPoint& O, TPoint& P, double Step)
{
    if (!(Step > 0.0) || !std::isfinite(Step))
        return;
    double Count = std::ceil(360.0 / Step);
    if (!(Count <= 2147483647.0))
        return;
    int32_t N = CeilInt(360.0 / Step);
    TDPoint Od{static_cast<double>(O.X), static_cast<double>(O.Y)};
    TDPoint Pd{static_cast<double>(P.X), static_cast<double>(P.Y)};
    double Best = 1.7E308;
    TDPoint Win = Pd;
    for (int32_t K = 0; K < N; ++K) {
        double A = K * Step * std::numbers::pi / 180.0;
        TDPoint Dir{Od.X + std::sin(A), Od.Y - std::cos(A)};
        TDPoint Q;
        double D;
        DNearestPointOnRay(Pd, Od, Dir, &Q, &D);
        if (D < Best) {
            Best = D;
            Win = Q;
        }
    }
    P = TPoint{RoundOff32(Win.X), RoundOff32(Win.Y)};
}
