#include "raster/lighting.h"

#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <system_error>
#include <thread>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

// Below this major half-axis the cone construction has no room between its
// 0.0001 limits (and at 0 it divides by zero).
constexpr double MinSpotHalfAxis = 0.0002;

// Accumulators are kept far from int64 overflow however strong the lights;
// the output is clamped to a byte anyway.
constexpr int64_t AccLimit = int64_t{1} << 40;

inline void AccAdd(int64_t& Acc, int64_t Term)
{
    Term = std::clamp(Term, -AccLimit, AccLimit);
    Acc = std::clamp(Acc + Term, -AccLimit, AccLimit);
}

// What one light needs per pixel, computed once per call.
struct TLightCoef {
    uint8_t Kind = 0;
    bool Negative = false; // I < 0: only the specular term, taken away
    bool Specular = false; // some Sk is not 0
    int64_t Ak[3] = {0, 0, 0};
    double Dk[3] = {0, 0, 0};
    double Sk[3] = {0, 0, 0};
    TDPoint3D Pos;  // point: position (z unused); line: first end; spot: apex
    TDPoint3D Pos2; // line: second end
    TDPoint3D Dir;  // parallel: direction; spot: axis
    double Q = 0.0; // point: reach
    double Cone = 0.0;
    double Soft = 0.0;
    double CosOut = -2.0; // below this cosine a direction is surely outside the cone
};

struct TPlane {
    const uint8_t* Bits = nullptr;
    int64_t Line = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Bytes = 0; // per sample or pixel
    TRect Rect;

    const uint8_t* Row(int32_t PageY) const // PageY inside Rect
    {
        return Bits + static_cast<int64_t>(Height - 1 - (PageY - Rect.Top)) * Line;
    }
};

// A usable picture of one of the given depths; false for a record with a
// header that cannot be read safely.
bool OpenPlane(const TrecPicture& P, int32_t BitsA, int32_t BitsB, TPlane& Plane)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    if (!H || !P.pBits || H->biWidth <= 0 || H->biHeight <= 0)
        return false;
    if (H->biBitCount != BitsA && H->biBitCount != BitsB)
        return false;
    if (int64_t{H->biWidth} * H->biHeight > MaxWorkPixels)
        return false;
    Plane.Bits = P.pBits;
    Plane.Width = H->biWidth;
    Plane.Height = H->biHeight;
    Plane.Bytes = H->biBitCount / 8;
    Plane.Line = GetDIBLineSize(H->biWidth, H->biBitCount);
    RecPictureGetRect(P, Plane.Rect);
    return true;
}

inline bool Present(const TrecPicture* P)
{
    return P && RecPictureHeader(*P);
}

inline double Mix(const TLightsAmb& Set, int K)
{
    return (100.0 - Set.M) + static_cast<double>(int64_t{Set.Color[K]} * Set.M) / 255.0;
}

void SetupLights(const TLightsAmb& Set, const TRect& Rc, std::vector<TLightCoef>& Coefs)
{
    const double W = static_cast<double>(Rc.Right) - Rc.Left;
    const double H = static_cast<double>(Rc.Bottom) - Rc.Top;
    double Mk[3];
    for (int K = 0; K < 3; ++K)
        Mk[K] = Mix(Set, K);

    for (const TrecLightUnion& Light : Set.Lights) {
        TLightCoef C;
        C.Kind = Light.Kind;
        C.Negative = Light.Intensity < 0;
        const double I = Light.Intensity;
        const double* S = Light.Shape;
        switch (Light.Kind) {
        case LightKindAmbient:
            for (int K = 0; K < 3; ++K)
                C.Ak[K] = int64_t{Light.Color[K]} * Light.Intensity / 50;
            break;
        case LightKindPoint: {
            C.Pos = TDPoint3D{Rc.Left + W * S[0], Rc.Top + H * S[1], 0.0};
            const double Dx = static_cast<double>(RoundOff(C.Pos.X) - (Rc.Left + RoundOff(W * S[2])));
            const double Dy = static_cast<double>(RoundOff(C.Pos.Y) - (Rc.Top + RoundOff(H * S[3])));
            C.Q = std::sqrt(Dx * Dx + Dy * Dy);
            for (int K = 0; K < 3; ++K) {
                C.Dk[K] = Light.Color[K] * I * (C.Q * 801) / 50;
                C.Sk[K] = Mk[K] * Set.Ks * C.Dk[K] / 100 / 100;
            }
            break;
        }
        case LightKindParallel: {
            TDPoint3D D{S[2] - S[0], S[3] - S[1], 0.0};
            const double Len = std::sqrt(D.X * D.X + D.Y * D.Y);
            NormalizeVector3D(D);
            const double E = std::max(0.0, Pi / 2 - Len * Pi / 180 * 90);
            C.Dir = TDPoint3D{D.X * std::cos(E), D.Y * std::cos(E), std::sin(E)};
            for (int K = 0; K < 3; ++K) {
                C.Dk[K] = Light.Color[K] * I / 50;
                C.Sk[K] = Mk[K] * Set.Ks / 100 / 100;
            }
            break;
        }
        case LightKindLine: {
            const double Z = 400 * ((S[2] - S[0]) * (S[2] - S[0]) + (S[3] - S[1]) * (S[3] - S[1]));
            C.Pos = TDPoint3D{Rc.Left + W * S[0], Rc.Top + H * S[1], Z};
            C.Pos2 = TDPoint3D{Rc.Left + W * S[2], Rc.Top + H * S[3], Z};
            for (int K = 0; K < 3; ++K) {
                C.Dk[K] = Light.Color[K] * I * Z;
                C.Sk[K] = Mk[K] * Set.Ks * C.Dk[K] / 100 / 100;
            }
            break;
        }
        case LightKindSpot: {
            TSpotCone Cone;
            if (!SubSpot(Light, Rc, Cone))
                continue;
            C.Pos = Cone.Apex;
            C.Dir = Cone.Axis;
            C.Cone = Cone.Cone;
            C.Soft = S[5];
            if (C.Cone + C.Soft < Pi)
                C.CosOut = std::cos(std::max(0.0, C.Cone + C.Soft)) - 1e-9;
            for (int K = 0; K < 3; ++K) {
                C.Dk[K] = Light.Color[K] * I * Cone.Lf;
                C.Sk[K] = Mk[K] * Set.Ks * C.Dk[K] / 100 / 100;
            }
            break;
        }
        default:
            continue; // no such kind: it lights nothing
        }
        C.Specular = C.Sk[0] != 0.0 || C.Sk[1] != 0.0 || C.Sk[2] != 0.0;
        Coefs.push_back(C);
    }
}

// The bump normal and the slopes the reflection reuses.
struct TNormal {
    double X = 0.0, Y = 0.0, Z = 1.0;
    double D1 = 2.0, D2 = 2.0, Dz1 = 0.0, Dz2 = 0.0;
};

inline int32_t BumpSample(const uint8_t* Row, int32_t Col, int32_t Bytes)
{
    if (Bytes == 1)
        return Row[Col];
    return Row[2 * Col] | (Row[2 * Col + 1] << 8);
}

struct TRenderer {
    const TLightsAmb* Set = nullptr;
    std::vector<TLightCoef> Coefs;
    TRect Area;
    TRect Rc;
    TPlane Pic;
    bool HasMask = false;
    TPlane MaskPlane;
    bool HasBump = false;
    TPlane BumpPlane;
    bool HasRefl = false;
    TPlane ReflPlane;
    int64_t R = 0;
    uint8_t Quality = 0;
    double Cx = 0.0, Cy = 0.0, Rr = 0.0;
    int64_t ReflFactor[3] = {0, 0, 0};

    // Specular power, skipped where the highlight term is 0. The exponent is
    // an integer: repeated squaring. A negative exponent counts as 0.
    double Power(double Rv, bool Specular) const
    {
        if (!Specular)
            return 0.0;
        if (Set->Sh <= 0)
            return 1.0;
        if (Rv <= 0.0)
            return 0.0;
        uint32_t Y = static_cast<uint32_t>(Set->Sh);
        double Base = Rv;
        double Result = 1.0;
        while (Y > 0) {
            while ((Y & 1) == 0) {
                Y >>= 1;
                Base *= Base;
            }
            --Y;
            Result *= Base;
        }
        return Result;
    }

    void Normal(int32_t Px, const uint8_t* RowA, const uint8_t* Row0, const uint8_t* RowB,
                double D2, TNormal& N) const
    {
        const TRect& B = BumpPlane.Rect;
        const int32_t Xl = std::clamp(Px - 1, B.Left, B.Right) - B.Left;
        const int32_t X0 = std::clamp(Px, B.Left, B.Right) - B.Left;
        const int32_t Xr = std::clamp(Px + 1, B.Left, B.Right) - B.Left;
        const int32_t Bytes = BumpPlane.Bytes;
        const int32_t Hl = BumpSample(Row0, Xl, Bytes);
        const int32_t Hr = BumpSample(Row0, Xr, Bytes);
        const int32_t Ha = BumpSample(RowA, X0, Bytes);
        const int32_t Hb = BumpSample(RowB, X0, Bytes);
        N.D1 = Xr > Xl ? static_cast<double>(Xr - Xl) : 1.0;
        N.D2 = D2;
        N.Dz1 = (Hr - Hl) * Set->Dp / 500;
        N.Dz2 = (Hb - Ha) * Set->Dp / 500;
        if (Bytes == 2) {
            N.Dz1 /= 256;
            N.Dz2 /= 256;
        }
        N.X = 0 * N.Dz2 - N.Dz1 * N.D2;
        N.Y = N.Dz1 * 0 - N.D1 * N.Dz2;
        N.Z = N.D1 * N.D2 - 0 * 0;
        const double Len = std::sqrt(N.X * N.X + N.Y * N.Y + N.Z * N.Z);
        N.X /= Len;
        N.Y /= Len;
        N.Z /= Len;
    }

    void AddLights(double Px, double Py, const TNormal& N, const uint8_t* Pix, int64_t* Acc) const
    {
        for (const TLightCoef& C : Coefs) {
            if (C.Kind == LightKindAmbient) {
                for (int K = 0; K < 3; ++K)
                    AccAdd(Acc[K], Pix[K] * C.Ak[K] / 256);
                continue;
            }
            if (C.Negative && !C.Specular)
                continue; // a darkening light acts through its highlight only
            double Lx, Ly, Lz;
            double Scale = 1.0; // the divisor or factor of the kind
            switch (C.Kind) {
            case LightKindPoint: {
                Lx = C.Pos.X - Px;
                Ly = C.Pos.Y - Py;
                Lz = C.Q;
                const double Len = std::sqrt(Lx * Lx + Ly * Ly + Lz * Lz);
                if (!(Len > 0.0))
                    continue; // a light without reach on the pixel it stands on
                Scale = Len + 800 * C.Q;
                Lx /= Len;
                Ly /= Len;
                Lz /= Len;
                break;
            }
            case LightKindParallel:
                Lx = C.Dir.X;
                Ly = C.Dir.Y;
                Lz = C.Dir.Z;
                break;
            case LightKindLine: {
                const TDPoint3D P{Px, Py, 0.0};
                TDPoint3D F;
                double D2;
                NearestPointOnLine3D(P, C.Pos, C.Pos2, &F, &D2);
                if (D2 == 0.0)
                    D2 = 0.0001;
                Scale = D2;
                TDPoint3D L{F.X - Px, F.Y - Py, F.Z};
                NormalizeVector3D(L);
                Lx = L.X;
                Ly = L.Y;
                Lz = L.Z;
                break;
            }
            default: { // spot
                Lx = C.Pos.X - Px;
                Ly = C.Pos.Y - Py;
                Lz = C.Pos.Z;
                const double Len = std::sqrt(Lx * Lx + Ly * Ly + Lz * Lz);
                if (!(Len > 0.0))
                    continue;
                Lx /= Len;
                Ly /= Len;
                Lz /= Len;
                // Far outside the cone the angle itself is not needed.
                if (Lx * C.Dir.X + Ly * C.Dir.Y + Lz * C.Dir.Z < C.CosOut)
                    continue;
                double Att = 0.05 / Len;
                const double G = VectorAngle3D(C.Dir, TDPoint3D{Lx, Ly, Lz});
                if (G >= C.Cone + C.Soft)
                    continue;
                if (C.Cone - C.Soft < G && G < C.Cone + C.Soft)
                    Att *= (std::cos(Pi * (G - (C.Cone - C.Soft)) / C.Soft / 2) + 1) / 2;
                Scale = Att;
                break;
            }
            }
            const double Nl = std::max(0.0, N.X * Lx + N.Y * Ly + N.Z * Lz);
            const double Rv = std::max(0.0, 2 * Nl * N.Z - Lz);
            const double P = Power(Rv, C.Specular);
            const bool Divide = C.Kind == LightKindPoint || C.Kind == LightKindLine;
            for (int K = 0; K < 3; ++K) {
                double V;
                if (C.Kind == LightKindParallel) {
                    V = C.Negative ? C.Sk[K] * P * C.Dk[K]
                                   : (Pix[K] * Nl / 255 + C.Sk[K] * P) * C.Dk[K];
                } else {
                    const double T =
                        C.Negative ? C.Sk[K] * P : Pix[K] * C.Dk[K] * Nl / 255 + C.Sk[K] * P;
                    V = Divide ? T / Scale : T * Scale;
                }
                if (C.Negative)
                    AccAdd(Acc[K], -RoundOff(std::fabs(V)));
                else
                    AccAdd(Acc[K], RoundOff(V));
            }
        }
    }

    void AddReflection(double Px, double Py, const TNormal& N, int64_t* Acc) const
    {
        const TDPoint3D C{(Rc.Left + static_cast<double>(Rc.Right)) / 2 - Px,
                          (Rc.Top + static_cast<double>(Rc.Bottom)) / 2 - Py,
                          2.0 * std::max(static_cast<double>(Rc.Bottom) - Rc.Top,
                                         static_cast<double>(Rc.Right) - Rc.Left)};
        TDPoint3D Nf{0.0, 0.0, 1.0};
        if (HasBump) {
            const TDPoint3D T1{N.D1, 0.0, N.Dz1 / 5};
            const TDPoint3D T2{0.0, N.D2, N.Dz2 / 5};
            CrossProduct3D(Nf, T1, T2);
        }
        TDPoint3D Pn;
        NearestPointOnLine3D(C, TDPoint3D{}, Nf, &Pn, nullptr);
        TDPoint3D Rf{2 * Pn.X - C.X, 2 * Pn.Y - C.Y, 2 * Pn.Z - C.Z};
        NormalizeVector3D(Rf);
        const double Theta = (Rf.X == 0.0 && Rf.Y == 0.0) ? 0.0 : std::atan2(Rf.Y, Rf.X);
        const double Phi = std::min(1.0, std::acos(std::clamp(Rf.Z, -1.0, 1.0)) / (Pi / 2));
        double Sx = std::cos(Theta) * Rr * Phi + Cx;
        double Sy = std::sin(Theta) * Rr * Phi + Cy;
        const int32_t Wp = ReflPlane.Width;
        const int32_t Hp = ReflPlane.Height;
        auto Pixel = [&](int32_t X, int32_t Y) {
            return ReflPlane.Bits + static_cast<int64_t>(Hp - 1 - Y) * ReflPlane.Line + 3 * X;
        };
        if (Quality == 0) {
            const int32_t X = static_cast<int32_t>(std::clamp<int64_t>(RoundOff(Sx), 0, Wp - 1));
            const int32_t Y = static_cast<int32_t>(std::clamp<int64_t>(RoundOff(Sy), 0, Hp - 1));
            const uint8_t* S = Pixel(X, Y);
            for (int K = 0; K < 3; ++K)
                AccAdd(Acc[K], S[K] * R / 256);
            return;
        }
        auto Axis = [](double& S, int32_t Size, int32_t& I0, int32_t& I1, double& F) {
            if (!(S >= 0.0))
                S = 0.0;
            if (S >= Size) {
                I0 = I1 = Size - 1;
                F = 0.0;
                return;
            }
            I0 = static_cast<int32_t>(S);
            F = S - I0;
            I1 = I0 + 1 < Size ? I0 + 1 : 0;
        };
        int32_t X0, X1, Y0, Y1;
        double Fx, Fy;
        Axis(Sx, Wp, X0, X1, Fx);
        Axis(Sy, Hp, Y0, Y1, Fy);
        const uint8_t* P00 = Pixel(X0, Y0);
        const uint8_t* P10 = Pixel(X1, Y0);
        const uint8_t* P01 = Pixel(X0, Y1);
        const uint8_t* P11 = Pixel(X1, Y1);
        const double W00 = (1 - Fx) * (1 - Fy), W10 = Fx * (1 - Fy);
        const double W01 = (1 - Fx) * Fy, W11 = Fx * Fy;
        for (int K = 0; K < 3; ++K) {
            const int64_t V = static_cast<int64_t>(
                std::trunc(W00 * P00[K] + W10 * P10[K] + W01 * P01[K] + W11 * P11[K] + 0.5));
            AccAdd(Acc[K], V * ReflFactor[K] / 25600);
        }
    }

    // Rows First .. Last - 1 of the area, counted from its top.
    void Run(int32_t First, int32_t Last) const
    {
        const int32_t AreaW = Area.Right - Area.Left + 1;
        const bool Reflect = HasRefl && HasMask && R != 0;
        uint8_t* PicRow = const_cast<uint8_t*>(Pic.Row(Area.Top + First)) +
                          int64_t{3} * (Area.Left - Pic.Rect.Left);
        const uint8_t* MaskRow = nullptr;
        if (HasMask)
            MaskRow = MaskPlane.Row(Area.Top + First) + (Area.Left - MaskPlane.Rect.Left);
        TNormal Flat;
        for (int32_t Row = First; Row < Last; ++Row, PicRow -= Pic.Line) {
            const int32_t Py = Area.Top + Row;
            const uint8_t *BumpA = nullptr, *Bump0 = nullptr, *BumpB = nullptr;
            double D2 = 2.0;
            if (HasBump) {
                const TRect& B = BumpPlane.Rect;
                const int32_t Ya = std::clamp(Py - 1, B.Top, B.Bottom);
                const int32_t Yb = std::clamp(Py + 1, B.Top, B.Bottom);
                BumpA = BumpPlane.Row(Ya);
                Bump0 = BumpPlane.Row(std::clamp(Py, B.Top, B.Bottom));
                BumpB = BumpPlane.Row(Yb);
                D2 = Yb > Ya ? static_cast<double>(Yb - Ya) : 1.0;
            }
            uint8_t* Pix = PicRow;
            for (int32_t Col = 0; Col < AreaW; ++Col, Pix += 3) {
                int32_t M = 255;
                if (HasMask) {
                    M = MaskRow[Col];
                    if (M == 0)
                        continue;
                }
                const int32_t Px = Area.Left + Col;
                TNormal N = Flat;
                if (HasBump)
                    Normal(Px, BumpA, Bump0, BumpB, D2, N);
                int64_t Acc[3] = {0, 0, 0};
                AddLights(Px, Py, N, Pix, Acc);
                if (Reflect)
                    AddReflection(Px, Py, N, Acc);
                for (int K = 0; K < 3; ++K) {
                    int64_t V = Acc[K];
                    if (HasMask)
                        V = (M * V + (255 - M) * int64_t{Pix[K]} + 255) >> 8;
                    Pix[K] = static_cast<uint8_t>(std::clamp<int64_t>(V, 0, 255));
                }
            }
            if (HasMask)
                MaskRow -= MaskPlane.Line;
        }
    }

    // Pixels are independent of each other, so rows may be split over
    // threads with the very same result, unless an input picture shares
    // bytes with the one being written.
    bool ReadsPicture() const
    {
        auto Overlaps = [&](const TPlane& P) {
            const uint8_t* PicEnd = Pic.Bits + Pic.Line * Pic.Height;
            const uint8_t* End = P.Bits + P.Line * P.Height;
            return P.Bits < PicEnd && Pic.Bits < End;
        };
        return (HasMask && Overlaps(MaskPlane)) || (HasBump && Overlaps(BumpPlane)) ||
               (HasRefl && Overlaps(ReflPlane));
    }

    void RunAll() const
    {
        const int32_t AreaH = Area.Bottom - Area.Top + 1;
        const int64_t Pixels = int64_t{AreaH} * (Area.Right - Area.Left + 1);
        int32_t Threads = static_cast<int32_t>(std::min(8u, std::thread::hardware_concurrency()));
        Threads = static_cast<int32_t>(std::min<int64_t>({Threads, Pixels / 65536, AreaH / 16}));
        if (Threads <= 1 || ReadsPicture()) {
            Run(0, AreaH);
            return;
        }
        std::vector<std::thread> Workers;
        auto Bound = [&](int32_t I) { return static_cast<int32_t>(int64_t{AreaH} * I / Threads); };
        for (int32_t I = 1; I < Threads; ++I) {
            try {
                Workers.emplace_back([this, First = Bound(I), Last = Bound(I + 1)] { Run(First, Last); });
            } catch (const std::system_error&) {
                Run(Bound(I), Bound(I + 1)); // no thread to be had: do it here
            }
        }
        Run(0, Bound(1));
        for (std::thread& T : Workers)
            T.join();
    }
};

} // namespace

bool SubSpot(const TrecLightUnion& Light, const TRect& Rc, TSpotCone& Cone)
{
    const double* S = Light.Shape;
    const double W = static_cast<double>(Rc.Right) - Rc.Left;
    const double Hr = static_cast<double>(Rc.Bottom) - Rc.Top;
    const TDPoint P0{W * S[0], Hr * S[1]};
    const double Lm = std::sqrt(W * W + Hr * Hr) * S[3];
    const TDPoint P1{P0.X + Lm * std::cos(S[2]), P0.Y + Lm * std::sin(S[2])};
    const TDPoint P2{(P0.X + P1.X) / 2 + Lm * S[4] * std::cos(S[2] + Pi / 2),
                     (P0.Y + P1.Y) / 2 + Lm * S[4] * std::sin(S[2] + Pi / 2)};
    const double A = DPointDistance(P0, P1) / 2;
    if (!(A >= MinSpotHalfAxis))
        return false;
    double B2;
    DNearestPointOnLine(P2, P0, P1, nullptr, &B2);
    double B = std::sqrt(B2);
    if (B < 0.0001)
        B = 0.0001;
    if (A - B < 0.0001)
        B = A - 0.0001;

    const double C = 2 * A;
    const double A4 = A * A * A * A;
    const double Bq = C * C * A * A - A4;
    const double Cq = -B * B * C * C;
    const double X = (std::sqrt(Bq * Bq - 4 * A4 * Cq) - Bq) / (2 * A4);
    const double Theta = std::acos(std::sqrt(X));
    // Rounding can take the radicand a hair below 0 for very thin ellipses.
    const double T = std::sqrt(std::max(0.0, std::cos(Theta) * std::cos(Theta) * A * A - B * B)) / A;
    const double Alpha = std::atan(T / std::sin(Theta));

    const TDPoint E{A * std::cos(Theta) - A * std::sin(Theta) * std::tan(Alpha), A * std::sin(Theta)};
    const double R9 = DPointDistance(E, TDPoint{0.0, C});
    const double Height = std::cos(Theta - Alpha) * R9;
    const double Ev = std::sin(Theta - Alpha) * R9;
    const TDPoint3D Apex{P0.X + (P0.X - P1.X) * Ev / (2 * A) + Rc.Left,
                         P0.Y + (P0.Y - P1.Y) * Ev / (2 * A) + Rc.Top, Height};
    const double Psi = std::atan2(P0.Y - P1.Y, P0.X - P1.X);
    const TDPoint3D Axis{std::sin(Theta) * std::cos(Psi), std::sin(Theta) * std::sin(Psi),
                         std::cos(Theta)};

    const double Sv = A * std::sin(Theta) * std::tan(Alpha);
    const double H = A * std::sin(Theta);
    TDPoint Cross;
    if (!DLineIntersection(TDPoint{B - Sv, H}, TDPoint{-B - Sv, -H}, TDPoint{0.0, C},
                           TDPoint{0.0, 0.0}, &Cross))
        throw EUserError("SubSpot: CheckConflict2UnLimitedLineD() = FALSE");
    const double Lf = C - Cross.Y;

    const double All[] = {Apex.X, Apex.Y, Apex.Z, Axis.X, Axis.Y, Axis.Z, Alpha, Lf};
    for (double V : All)
        if (!std::isfinite(V))
            return false;
    Cone.Apex = Apex;
    Cone.Axis = Axis;
    Cone.Cone = Alpha;
    Cone.Lf = Lf;
    return true;
}

int32_t RecPictureLight(TrecPicture& Picture, const TrecPicture* Mask, const TLightsAmb* Lights,
                        const TrecPicture* Bump, const TrecPicture* Reflection,
                        int32_t Reflectance, const TRect* Rect, const uint8_t* Quality)
{
    TRenderer Rd;
    if (!Lights || !OpenPlane(Picture, 24, 24, Rd.Pic))
        return LightResultBadPicture;
    Rd.Set = Lights;
    Rd.HasMask = Present(Mask);
    if (Rd.HasMask && !OpenPlane(*Mask, 8, 8, Rd.MaskPlane))
        return LightResultBadPicture;
    Rd.HasBump = Present(Bump);
    if (Rd.HasBump && !OpenPlane(*Bump, 8, 16, Rd.BumpPlane))
        return LightResultBadPicture;
    Rd.HasRefl = Present(Reflection);
    if (Rd.HasRefl && !OpenPlane(*Reflection, 24, 24, Rd.ReflPlane))
        return LightResultBadPicture;

    Rd.Area = Rd.Pic.Rect;
    if (Rd.HasMask && !RecPictureIntersectRect(Picture, *Mask, Rd.Area))
        return LightResultOK;
    if (Rd.HasBump && !RectsIntersect(Rd.Area, Rd.BumpPlane.Rect))
        return LightResultBumpMissed;
    Rd.Rc = Rect ? *Rect : Rd.Area;

    if (Rd.HasRefl) {
        Rd.R = int64_t{Reflectance} * 256 / 100;
        Rd.Cx = Rd.ReflPlane.Width / 2.0;
        Rd.Cy = Rd.ReflPlane.Height / 2.0;
        Rd.Rr = std::min(Rd.Cx, Rd.Cy);
        for (int K = 0; K < 3; ++K)
            Rd.ReflFactor[K] =
                ((int64_t{Lights->Color[K]} * Lights->M + 128) / 255 + 100 - Lights->M) * Rd.R + 50;
    }
    Rd.Quality = Quality ? *Quality : 0;

    SetupLights(*Lights, Rd.Rc, Rd.Coefs);
    Rd.RunAll();
    return LightResultOK;
}
