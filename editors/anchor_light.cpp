#include "editors/anchor_light.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {
constexpr double Pi = 3.14159265358979323846;

int32_t RoundPixel(double V)
{
    return static_cast<int32_t>(std::lround(std::clamp(V, -1.0e9, 1.0e9)));
}

struct TAxis {
    double MidX, MidY, Length, UX, UY; // unit along the axis
    double NX() const { return -UY; }  // unit across it (left of the direction)
    double NY() const { return UX; }
};

bool AxisOf(int32_t AX, int32_t AY, int32_t BX, int32_t BY, TAxis& A)
{
    const double DX = static_cast<double>(BX) - AX, DY = static_cast<double>(BY) - AY;
    A.Length = std::hypot(DX, DY);
    A.MidX = (static_cast<double>(AX) + BX) / 2;
    A.MidY = (static_cast<double>(AY) + BY) / 2;
    if (A.Length == 0) {
        A.UX = 1;
        A.UY = 0;
        return false;
    }
    A.UX = DX / A.Length;
    A.UY = DY / A.Length;
    return true;
}

TAnchorLight* Add(TAnchorsLight& List, uint8_t Kind, double X, double Y, int32_t LightIndex, uint8_t LightKind)
{
    auto A = std::make_unique<TAnchorLight>();
    A->Kind = Kind;
    A->X = RoundPixel(X);
    A->Y = RoundPixel(Y);
    A->Index = static_cast<int32_t>(List.Items.size());
    A->Light = LightIndex;
    A->LightKind = LightKind;
    List.Items.push_back(std::move(A));
    return List.Items.back().get();
}
} // namespace

double TLightMapping::Diagonal() const { return std::hypot(Width, Height); }

bool TAnchorLight::HitTest(int32_t PX, int32_t PY, int32_t Tolerance) const
{
    return std::llabs(int64_t{PX} - X) <= Tolerance && std::llabs(int64_t{PY} - Y) <= Tolerance;
}

void TAnchorLight::Draw(QPainter& Canvas, int32_t Size) const
{
    Canvas.setPen(QPen(SelectedLight ? QColor(Qt::red) : QColor(Qt::black), 1));
    if (Kind == 1 && !Others.empty()) {
        Canvas.setBrush(Qt::NoBrush);
        const TAnchorLight* S = Others.front();
        switch (LightKind) {
        case LightKindPoint: {
            const double R = std::hypot(double(S->X) - X, double(S->Y) - Y);
            Canvas.drawEllipse(QPointF(X, Y), R, R);
            break;
        }
        case LightKindParallel:
        case LightKindLine:
            Canvas.drawLine(X, Y, S->X, S->Y);
            break;
        case LightKindSpot:
            if (Others.size() >= 2) {
                TAxis A;
                AxisOf(X, Y, Others[0]->X, Others[0]->Y, A);
                const double Flat = SpotFlatness(*this, *Others[0], *Others[1]);
                Canvas.save();
                Canvas.translate(A.MidX, A.MidY);
                Canvas.rotate(std::atan2(A.UY, A.UX) * 180 / Pi);
                Canvas.drawEllipse(QPointF(0, 0), A.Length / 2, std::fabs(Flat));
                Canvas.restore();
            }
            break;
        default:
            break;
        }
    }
    Canvas.setBrush(QColor(Qt::yellow));
    if (Kind == 1)
        Canvas.drawRect(X - Size, Y - Size, 2 * Size, 2 * Size);
    else
        Canvas.drawEllipse(QPoint(X, Y), Size, Size);
}

TAnchorLight* TAnchorsLight::HitTest(int32_t X, int32_t Y, int32_t Tolerance)
{
    for (auto& A : Items)
        if (A->HitTest(X, Y, Tolerance))
            return LastHit = A.get();
    return nullptr;
}

void TAnchorsLight::Clear()
{
    Items.clear();
    LastHit = nullptr;
}

void TAnchorsLight::Build(const TrecLightUnion& Light, int32_t LightIndex, const TLightMapping& Map)
{
    Clear();
    const double* S = Light.Shape;
    switch (Light.Kind) {
    case LightKindPoint:
    case LightKindParallel:
    case LightKindLine: {
        TAnchorLight* Second = Add(*this, 2, Map.X(S[2]), Map.Y(S[3]), LightIndex, Light.Kind);
        TAnchorLight* Main = Add(*this, 1, Map.X(S[0]), Map.Y(S[1]), LightIndex, Light.Kind);
        Main->Others.push_back(Second);
        Second->Others.push_back(Main);
        break;
    }
    case LightKindSpot: {
        const double X0 = Map.X(S[0]), Y0 = Map.Y(S[1]);
        const double L = Map.Diagonal() * S[3];
        const double X1 = X0 + L * std::cos(S[2]), Y1 = Y0 + L * std::sin(S[2]);
        const double X2 = (X0 + X1) / 2 + L * S[4] * std::cos(S[2] + Pi / 2);
        const double Y2 = (Y0 + Y1) / 2 + L * S[4] * std::sin(S[2] + Pi / 2);
        TAnchorLight* Main = Add(*this, 1, X0, Y0, LightIndex, Light.Kind);
        TAnchorLight* End = Add(*this, 2, X1, Y1, LightIndex, Light.Kind);
        TAnchorLight* Rim = Add(*this, 3, X2, Y2, LightIndex, Light.Kind);
        Main->Others = {End, Rim};
        End->Others = {Main};
        Rim->Others = {Main};
        break;
    }
    default:
        break;
    }
}

TAnchorLight* TAnchorsLight::Main() const { return OfKind(1); }

TAnchorLight* TAnchorsLight::OfKind(uint8_t Kind) const
{
    for (auto& A : Items)
        if (A->Kind == Kind)
            return A.get();
    return nullptr;
}

void TAnchorsLight::ApplyTo(TrecLightUnion& Light, const TLightMapping& Map) const
{
    TAnchorLight* Main = this->Main();
    TAnchorLight* Second = OfKind(2);
    if (!Main || !Second)
        return;
    Light.Shape[0] = Map.FractionX(Main->X);
    Light.Shape[1] = Map.FractionY(Main->Y);
    if (Light.Kind != LightKindSpot) {
        Light.Shape[2] = Map.FractionX(Second->X);
        Light.Shape[3] = Map.FractionY(Second->Y);
        return;
    }
    TAnchorLight* Rim = OfKind(3);
    TAxis A;
    if (!Rim || !AxisOf(Main->X, Main->Y, Second->X, Second->Y, A))
        return;
    Light.Shape[2] = std::atan2(A.UY, A.UX);
    const double Diagonal = Map.Diagonal();
    Light.Shape[3] = Diagonal > 0 ? A.Length / Diagonal : 0;
    Light.Shape[4] = SpotFlatness(*Main, *Second, *Rim) / A.Length;
}

void TAnchorsLight::Draw(QPainter& Canvas, bool SelectedLight) const
{
    const TAnchorLight* Previous = nullptr;
    for (auto& A : Items) {
        A->SelectedLight = SelectedLight;
        if (Previous && Previous->X == A->X && Previous->Y == A->Y && Previous->Kind == A->Kind)
            continue;
        A->Draw(Canvas, 4);
        Previous = A.get();
    }
}

double SpotFlatness(const TAnchorLight& Main, const TAnchorLight& End, const TAnchorLight& Rim)
{
    TAxis A;
    AxisOf(Main.X, Main.Y, End.X, End.Y, A);
    return (Rim.X - A.MidX) * A.NX() + (Rim.Y - A.MidY) * A.NY();
}

bool SpotMoveEnd(TAnchorLight& Main, TAnchorLight& End, TAnchorLight& Rim, int32_t X, int32_t Y, double Flatness)
{
    TAxis A;
    if (!AxisOf(Main.X, Main.Y, X, Y, A))
        return false;
    const double Half = std::round(A.Length / 2);
    const double F = std::clamp(Flatness, -Half, Half);
    End.X = X;
    End.Y = Y;
    Rim.X = RoundPixel(A.MidX + F * A.NX());
    Rim.Y = RoundPixel(A.MidY + F * A.NY());
    return true;
}

bool SpotMoveRim(TAnchorLight& Main, TAnchorLight& End, TAnchorLight& Rim, int32_t X, int32_t Y)
{
    TAxis A;
    if (!AxisOf(Main.X, Main.Y, End.X, End.Y, A))
        return false;
    const double D = (X - A.MidX) * A.NX() + (Y - A.MidY) * A.NY();
    if (std::fabs(D) > A.Length / 2) {
        const double L = 2 * std::fabs(D);
        End.X = RoundPixel(Main.X + A.UX * L);
        End.Y = RoundPixel(Main.Y + A.UY * L);
        AxisOf(Main.X, Main.Y, End.X, End.Y, A);
    }
    Rim.X = RoundPixel(A.MidX + D * A.NX());
    Rim.Y = RoundPixel(A.MidY + D * A.NY());
    return true;
}
