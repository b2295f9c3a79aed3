#include "shell/ruler.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

bool IsLengthUnit(uint8_t Unit)
{
    return Unit == RulerUnitCm || Unit == RulerUnitInch || Unit == RulerUnitPoint;
}

double RulerUnitsToPixels(double Units, int32_t DPI, uint8_t Unit)
{
    switch (Unit) {
    case RulerUnitCm:
        return DPI * Units / 2.54;
    case RulerUnitInch:
        return DPI * Units;
    case RulerUnitPoint:
        return DPI * Units / 72.0;
    default:
        return Units;
    }
}

const QPixmap& DigitStrip(bool Horizontal)
{
    static const QPixmap H(":/rulers/RULERDIGITH");
    static const QPixmap V(":/rulers/RULERDIGITV");
    return Horizontal ? H : V;
}

} // namespace

// Far page points at high zooms lie past what int32_t holds: they saturate.
int32_t DocToViewCoord(int32_t Doc, int32_t Origin, int32_t Zoom)
{
    return static_cast<int32_t>(std::clamp<int64_t>(((int64_t(Doc) - Origin) * Zoom + 50) / 100, INT32_MIN, INT32_MAX));
}

int32_t ViewToDocCoord(int32_t View, int32_t Origin, int32_t Zoom)
{
    return static_cast<int32_t>(std::clamp<int64_t>((int64_t(View) * 100 + Zoom / 2) / Zoom + Origin, INT32_MIN, INT32_MAX));
}

double PixelsToRulerUnits(double Pixels, int32_t DPI, uint8_t Unit)
{
    switch (Unit) {
    case RulerUnitCm:
        return Pixels / DPI * 2.54;
    case RulerUnitInch:
        return Pixels / DPI;
    case RulerUnitPoint:
        return Pixels / DPI * 72.0;
    default:
        return Pixels;
    }
}

TRulerStep GetRulerStep(int32_t Zoom, int32_t DPI, uint8_t Unit)
{
    TRulerStep R;
    // Without a resolution a length has no size in pixels: the step would be
    // zero or no number, and the ticks would never end.
    if (Zoom < 1 || (IsLengthUnit(Unit) && DPI < 1))
        return R;
    const double B = PixelsToRulerUnits(2000.0 / Zoom, DPI, Unit);
    const double L = std::log10(B);
    const double Floor = std::floor(L);
    const double F = L - Floor;
    double S = std::pow(10.0, Floor);
    if (F >= 0.6) {
        S *= 5;
        R.Kind = 5;
    } else if (F >= 0.3) {
        S *= 2;
        R.Kind = 2;
    } else {
        R.Kind = 1;
    }
    R.UnitStep = S;
    R.PixelStep = RulerUnitsToPixels(S, DPI, Unit);
    if (!(R.PixelStep > 0) || !std::isfinite(R.PixelStep))
        R = TRulerStep{};
    return R;
}

std::string RulerLabel(double Value)
{
    char Buf[64];
    std::snprintf(Buf, sizeof(Buf), "%.4f", std::round(Value * 10000.0) / 10000.0);
    std::string S = Buf;
    if (S.find('.') != std::string::npos) {
        while (S.back() == '0')
            S.pop_back();
        if (S.back() == '.')
            S.pop_back();
    }
    if (S == "-0")
        S = "0";
    return S;
}

std::vector<TRulerTick> RulerTicks(int32_t Origin, int32_t Extent, int32_t Zoom, int32_t DPI,
                                   uint8_t Unit)
{
    std::vector<TRulerTick> Ticks;
    const TRulerStep Step = GetRulerStep(Zoom, DPI, Unit);
    if (Step.Kind == 0)
        return Ticks;
    const double P = Step.PixelStep;
    const double End = Origin + double(int64_t(Extent) * 100 / Zoom);
    const int64_t First = static_cast<int64_t>(std::floor(Origin / P));
    const int64_t Last = static_cast<int64_t>(std::floor(End / P + 1));
    for (int64_t I = First; I <= Last; ++I) {
        const double Pos = double(I) * P;
        const double U = PixelsToRulerUnits(Pos, DPI, Unit);
        const int64_t N = std::llabs(std::llround(U / Step.UnitStep));
        bool Label = false;
        TTickLength Length = TTickLength::Short;
        switch (Step.Kind) {
        case 1:
            Label = N % 10 == 0;
            if (N % 10 == 5)
                Length = TTickLength::Medium;
            break;
        case 2:
            Label = N % 5 == 0;
            break;
        default:
            Label = N % 10 == 0;
            if (!Label && N % 2 == 0)
                Length = TTickLength::Medium;
            break;
        }
        if (Label)
            Length = TTickLength::Long;
        const auto View = static_cast<int32_t>(std::floor((Pos - Origin) * Zoom / 100.0 + 0.5));
        Ticks.push_back({View, Length, Label ? RulerLabel(U) : std::string()});
    }
    return Ticks;
}

int32_t RulerDigitIndex(char C)
{
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C == '-')
        return 10;
    if (C == '.')
        return 11;
    return 0;
}

void PaintRuler(QPainter& DC, bool Horizontal, int32_t Length, const std::vector<TRulerTick>& Ticks,
                int32_t CursorPos)
{
    const int32_t T = RulerThickness;
    DC.fillRect(Horizontal ? QRect(0, 0, Length, T) : QRect(0, 0, T, Length), Qt::white);
    DC.setPen(Qt::black);
    const QPixmap& Digits = DigitStrip(Horizontal);
    // Only the ticks of the area being painted (the paint engine's system
    // clip, in the device's pixels): a mouse move repaints a pixel's line.
    int32_t Lo = 0;
    int32_t Hi = Length;
    if (const QPaintEngine* E = DC.paintEngine(); E && !E->systemClip().isEmpty()) {
        const QRect Dirty = DC.deviceTransform().inverted().mapRect(E->systemClip().boundingRect());
        Lo = Horizontal ? Dirty.left() : Dirty.top();
        Hi = Horizontal ? Dirty.right() : Dirty.bottom();
    }
    for (const TRulerTick& Tick : Ticks) {
        // A label ends at its tick.
        if (Tick.Pos < Lo - 1 ||
            Tick.Pos - RulerDigitAdvance * static_cast<int32_t>(Tick.Label.size()) > Hi + 1)
            continue;
        const int32_t From = Tick.Length == TTickLength::Long     ? 1
                             : Tick.Length == TTickLength::Medium ? 6
                                                                 : 11;
        // The tick stops short of the inner edge line, as a line drawn to a
        // point leaves that point out.
        if (Horizontal)
            DC.drawLine(Tick.Pos, From, Tick.Pos, T - 2);
        else
            DC.drawLine(From, Tick.Pos, T - 2, Tick.Pos);
        const int32_t N = static_cast<int32_t>(Tick.Label.size());
        for (int32_t I = 0; I < N; ++I) {
            const int32_t Index = RulerDigitIndex(Tick.Label[size_t(I)]);
            const int32_t A = RulerDigitAdvance;
            if (Horizontal)
                DC.drawPixmap(Tick.Pos - A * (N - I), 2, Digits, Index * A, 0, A, Digits.height());
            else
                DC.drawPixmap(2, Tick.Pos - A * (I + 1), Digits, 0, Index * A, Digits.width(), A);
        }
    }
    if (Horizontal)
        DC.drawLine(0, T - 1, Length - 1, T - 1);
    else
        DC.drawLine(T - 1, 0, T - 1, Length - 1);
    if (CursorPos >= 0) {
        DC.save();
        DC.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        DC.setPen(QColor(255, 255, 0));
        if (Horizontal)
            DC.drawLine(CursorPos, 0, CursorPos, T - 1);
        else
            DC.drawLine(0, CursorPos, T - 1, CursorPos);
        DC.restore();
    }
}

const char* RulerHeadName(uint8_t Unit)
{
    switch (Unit) {
    case RulerUnitCm:
        return "RHCM";
    case RulerUnitInch:
        return "RHINCH";
    case RulerUnitPoint:
        return "RHPOINT";
    default:
        return "RHPIXEL";
    }
}

QPixmap RulerHeadPixmap(uint8_t Unit)
{
    return QPixmap(QString(":/rulers/") + RulerHeadName(Unit));
}
