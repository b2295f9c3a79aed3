#include "raster/gradation_picture.h"

#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "raster/draw_path.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>

namespace {

// Stands in for a zero length so that every point but the start is past
// the end of the gradation.
constexpr double TinyDivisor = 1.0 / 2147483647.0;
constexpr double MaxIntDivisor = 2147483647.0;

// Angle of (DX, DY) in turns; HalfTurn adds the half turn of the left side.
double AngleOf(double DX, double DY, bool HalfTurn)
{
    if (DX == 0)
        return DY < 1 ? -0.25 : 0.25;
    double A = std::atan(DY / DX) / (2 * std::numbers::pi);
    if (HalfTurn && DX < 0)
        A += 0.5;
    return A;
}

int32_t ClampOpacity(int32_t G)
{
    return std::clamp<int32_t>(G, 0, 255);
}

// Page row Y of a picture (bottom-up rows).
uint8_t* RowPtr(const TrecPicture& P, int64_t Line, int32_t Y)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return P.pBits + (int64_t{H->biHeight} - 1 - (int64_t{Y} - P.iTop)) * Line;
}

void CheckDepth(const TrecPicture& P, int32_t BitCount, const char* What)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    if (!H || !P.pBits || H->biBitCount != BitCount)
        throw EUserError(std::string("MakeGradation: ") + What + " must be a " +
                         std::to_string(BitCount) + "-bit picture");
}

} // namespace

// ---------------------------------------------------------------------------
// TGradationRenderer

TGradationRenderer::TGradationRenderer(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom,
                                       const TrecGradation& G)
    : FShape(G.bShape), FRepeat(G.iRepeatCount)
{
    MakeGradationTable(G, Red, Green, Blue, Alpha);
    const double W = double(Right - Left + 1);
    const double H = double(Bottom - Top + 1);
    const double Unit = GradGeometryUnit;
    const int64_t P0X = RoundOff(double(Left) + G.iX1 * W / Unit);
    const int64_t P0Y = RoundOff(double(Top) + G.iY1 * H / Unit);
    const int64_t P1X = RoundOff(double(Left) + G.iX2 * W / Unit);
    const int64_t P1Y = RoundOff(double(Top) + G.iY2 * H / Unit);
    FP0X = double(P0X);
    FP0Y = double(P0Y);
    FVX = double(P1X - P0X);
    FVY = double(P1Y - P0Y);

    const double AX = std::fabs(FVX);
    const double AY = std::fabs(FVY);
    // The ratio of the ellipse and the rectangle, zero lengths replaced.
    auto Ratio = [&] {
        if (AX == 0)
            return AY == 0 ? 1.0 : MaxIntDivisor;
        return AY == 0 ? TinyDivisor : AY / AX;
    };
    switch (FShape) {
    case GradShapeLinear:
        FVV = FVX * FVX + FVY * FVY;
        break;
    case GradShapeAngle:
        FA0 = AngleOf(FVX, FVY, false);
        break;
    case GradShapeEllipse:
    case GradShapeRectangle:
        FK = Ratio();
        FDivisor = AX == 0 ? TinyDivisor : AX;
        break;
    case GradShapeCircle: {
        const double Len = std::sqrt(FVX * FVX + FVY * FVY);
        FDivisor = Len == 0 ? TinyDivisor : Len;
        break;
    }
    case GradShapeSquare: {
        const double M = std::max(AX, AY);
        FDivisor = M == 0 ? MaxIntDivisor : M;
        break;
    }
    default:
        break;
    }
}

namespace {

// The table index of parameter T: the end for T >= 1, else the repeated
// position. 64-bit: R T 1024 exceeds int32 for large repeat counts.
inline int32_t IndexOfT(double T, double Repeat)
{
    if (!(T < 1.0))
        return GradationTableSize - 1;
    const double V = Repeat * T * 1024.0;
    return static_cast<int32_t>(static_cast<int64_t>(V) & (GradationTableSize - 1));
}

// One shape's index at (DX, DY) from the start point. The forms are written so
// that the row-invariant parts can be hoisted out of a row loop unchanged.
template <uint8_t Shape>
inline int32_t ShapeIndex(double DX, double DY, double VX, double VY, double VV, double A0, double K,
                          double Div, double Repeat)
{
    double T = 0;
    if constexpr (Shape == GradShapeLinear) {
        if (VV != 0) {
            T = (DX * VX + DY * VY) / VV;
            T = std::clamp(T, 0.0, 1.0);
        }
    } else if constexpr (Shape == GradShapeAngle) {
        const double A = AngleOf(DX, DY, true);
        const double S = Repeat * (A - A0 + 3);
        const double F = S - std::trunc(S);
        int64_t I = static_cast<int64_t>(F * 1024.0);
        if (I < 0)
            I += GradationTableSize;
        return static_cast<int32_t>(I & (GradationTableSize - 1));
    } else if constexpr (Shape == GradShapeEllipse) {
        const double Q = std::fabs(DY) / K;
        T = std::sqrt(Q * Q + DX * DX) / Div;
    } else if constexpr (Shape == GradShapeCircle) {
        T = std::sqrt(DX * DX + DY * DY) / Div;
    } else if constexpr (Shape == GradShapeRectangle) {
        const double Q = std::fabs(DY) / K;
        // Compared in doubles: Q can be far beyond any integer type.
        T = std::fabs(DX) >= std::trunc(Q) ? std::fabs(DX) / Div : Q / Div;
    } else if constexpr (Shape == GradShapeSquare) {
        T = std::max(std::fabs(DX), std::fabs(DY)) / Div;
    }
    // Unknown shapes stay at the start (T = 0).
    return IndexOfT(T, Repeat);
}

} // namespace

int32_t TGradationRenderer::Index(int64_t X, int64_t Y) const
{
    const double DX = double(X) - FP0X;
    const double DY = double(Y) - FP0Y;
    switch (FShape) {
#define TAVRO_GRAD_CASE(S)                                                                         \
    case S:                                                                                        \
        return ShapeIndex<S>(DX, DY, FVX, FVY, FVV, FA0, FK, FDivisor, FRepeat);
        TAVRO_GRAD_CASE(GradShapeLinear)
        TAVRO_GRAD_CASE(GradShapeAngle)
        TAVRO_GRAD_CASE(GradShapeEllipse)
        TAVRO_GRAD_CASE(GradShapeCircle)
        TAVRO_GRAD_CASE(GradShapeRectangle)
        TAVRO_GRAD_CASE(GradShapeSquare)
#undef TAVRO_GRAD_CASE
    default:
        return IndexOfT(0, FRepeat);
    }
}

namespace {

template <uint8_t Shape>
void RenderRowT(const TGradationRenderer& R, double DX0, double DY, double VX, double VY, double VV,
                double A0, double K, double Div, double Repeat, int32_t Count, uint8_t* Color,
                uint8_t* Opacity)
{
    const uint8_t* Red = R.Red.data();
    const uint8_t* Green = R.Green.data();
    const uint8_t* Blue = R.Blue.data();
    const uint8_t* Alpha = R.Alpha.data();
    for (int32_t J = 0; J < Count; ++J) {
        const int32_t I = ShapeIndex<Shape>(DX0 + J, DY, VX, VY, VV, A0, K, Div, Repeat);
        if (Color) {
            Color[0] = Blue[I];
            Color[1] = Green[I];
            Color[2] = Red[I];
            Color += 3;
        }
        if (Opacity)
            *Opacity++ = Alpha[I];
    }
}

} // namespace

void TGradationRenderer::RenderRow(int64_t X, int64_t Y, int32_t Count, uint8_t* Color,
                                   uint8_t* Opacity) const
{
    // DX0 + J equals double(X + J) - P0X exactly while the values stay below
    // 2^53, as every page coordinate does.
    const double DX0 = double(X) - FP0X;
    const double DY = double(Y) - FP0Y;
    switch (FShape) {
#define TAVRO_GRAD_CASE(S)                                                                         \
    case S:                                                                                        \
        RenderRowT<S>(*this, DX0, DY, FVX, FVY, FVV, FA0, FK, FDivisor, FRepeat, Count, Color,     \
                      Opacity);                                                                    \
        return;
        TAVRO_GRAD_CASE(GradShapeLinear)
        TAVRO_GRAD_CASE(GradShapeAngle)
        TAVRO_GRAD_CASE(GradShapeEllipse)
        TAVRO_GRAD_CASE(GradShapeCircle)
        TAVRO_GRAD_CASE(GradShapeRectangle)
        TAVRO_GRAD_CASE(GradShapeSquare)
#undef TAVRO_GRAD_CASE
    default:
        RenderRowT<255>(*this, DX0, DY, FVX, FVY, FVV, FA0, FK, FDivisor, FRepeat, Count, Color,
                        Opacity);
        return;
    }
}

// ---------------------------------------------------------------------------

void RecPictureRenderGradation(const TRect& Rect, int32_t Width, int32_t Height,
                               TrecPicture& ColorPicture, TrecPicture& OpacityPicture,
                               const TrecGradation& Gradation)
{
    RecPictureCreate(ColorPicture, TPoint{0, 0}, Width, Height, 24, true);
    RecPictureCreate(OpacityPicture, TPoint{0, 0}, Width, Height, 8, true);
    const TGradationRenderer R(Rect.Left, Rect.Top, Rect.Right, Rect.Bottom, Gradation);
    const int64_t ColorLine = RecPictureGetImageSize(ColorPicture) / Height;
    const int64_t AlphaLine = RecPictureGetImageSize(OpacityPicture) / Height;
    for (int32_t Y = 0; Y < Height; ++Y)
        R.RenderRow(0, Y, Width, RowPtr(ColorPicture, ColorLine, Y),
                    RowPtr(OpacityPicture, AlphaLine, Y));
}

void MakeGradation(const TrecPath& Path, const TrecPicture& Dest, const TrecPicture* Mask,
                   const TrecGradation& Gradation, double Tolerance, bool AntiAlias)
{
    CheckDepth(Dest, 24, "the destination");
    if (Mask)
        CheckDepth(*Mask, 8, "the mask");
    const TRect& B = Path.Bounds;
    if (B.Left > B.Right || B.Top > B.Bottom)
        return;
    TRect Area;
    if (!RecPictureIntersectWithRect(Dest, B, Area))
        return;
    if (Mask) {
        const TRect DestArea = Area;
        if (!RecPictureIntersectWithRect(*Mask, DestArea, Area))
            return;
    }
    const int32_t AreaW = Area.Right - Area.Left + 1;
    const int32_t AreaH = Area.Bottom - Area.Top + 1;

    // The path's coverage of the area only decides which pixels are painted.
    TDIBPicture PathPicture;
    PathPicture.SetSize(AreaW, AreaH, 8);
    TrecPicture& PP = PathPicture.FrecPicture;
    PP.iLeft = Area.Left;
    PP.iTop = Area.Top;
    std::fill_n(PP.pBits, RecPictureGetImageSize(PP), uint8_t{0});
    TrecPenData Pen{};
    Pen.Style = PenCapNone | PenJoinMiter;
    Pen.Width = 5;
    Pen.MiterLimit = 3.0;
    SetPenDataColor(Pen, 255);
    if (DIBSectionDrawPath(PP, Path, Pen, Path.Flag == 0, Tolerance, AntiAlias) != 0)
        throw EUserError("uGradation/MakeGradation : DIBSectionDrawPath Failed");

    // The gradation spans the whole bounds, but only the visible rows and
    // columns are computed: output pixel (x, y) is page (B.Left + x, B.Top + y).
    const TGradationRenderer R(0, 0, int64_t{B.Right} - B.Left, int64_t{B.Bottom} - B.Top, Gradation);
    const int64_t G = ClampOpacity(Gradation.iOpacity);
    const int64_t DestLine = RecPictureGetImageSize(Dest) / RecPictureHeader(Dest)->biHeight;
    const int64_t PathLine = RecPictureGetImageSize(PP) / AreaH;
    const int64_t MaskLine = Mask ? RecPictureGetImageSize(*Mask) / RecPictureHeader(*Mask)->biHeight : 0;
    const int64_t OX = int64_t{Area.Left} - B.Left;

    for (int32_t Y = Area.Top; Y <= Area.Bottom; ++Y) {
        const int64_t OY = int64_t{Y} - B.Top;
        uint8_t* D = RowPtr(Dest, DestLine, Y) + int64_t{Area.Left - Dest.iLeft} * 3;
        const uint8_t* P = RowPtr(PP, PathLine, Y);
        const uint8_t* M = Mask ? RowPtr(*Mask, MaskLine, Y) + (Area.Left - Mask->iLeft) : nullptr;
        for (int32_t J = 0; J < AreaW; ++J, D += 3) {
            if (P[J] == 0)
                continue;
            int64_t MV = 255;
            if (M) {
                MV = M[J];
                if (MV == 0)
                    continue;
            }
            const int32_t I = R.Index(OX + J, OY);
            const int64_t A = R.Alpha[I];
            if (A == 0)
                continue;
            const uint8_t C[3] = {R.Blue[I], R.Green[I], R.Red[I]};
            if (!M) {
                const int64_t W = (G * A + 255) >> 8;
                for (int K = 0; K < 3; ++K)
                    D[K] = uint8_t((D[K] * (255 - W) + C[K] * W + 255) >> 8);
            } else {
                // The weight of mask, opacity and overall opacity on the scale
                // 0..65025, rounded: full opacity must reach 65025 exactly.
                const int64_t W = (MV * A * G + 127) / 255;
                for (int K = 0; K < 3; ++K)
                    D[K] = uint8_t((D[K] * (65025 - W) + C[K] * W) / 65025);
            }
        }
    }
}

int32_t RecPictureDrawPathGradation(TrecPicture& Picture, const TrecPath& Path,
                                    const TrecPenData& Pen, const TrecDrawPathStop* Stops,
                                    int32_t StopCount, double Tolerance, bool AntiAlias,
                                    bool* Cancel, bool TableFlag, const TDrawPathGradationPoll& Poll)
{
    try {
        const TRect& B = Path.Bounds;
        if (B.Left > B.Right || B.Top > B.Bottom)
            return 0;
        if (!Stops || StopCount <= 0)
            throw EUserError("RecPictureDrawPathGradation: no stops");
        TrecPenData StepPen = Pen;
        const int64_t N = (int64_t{Pen.Width} + 1) >> 1;
        if (N <= 1) {
            SetPenDataColor(StepPen, static_cast<uint32_t>(Stops[0].Color));
            return DIBSectionDrawPath(Picture, Path, StepPen, true, Tolerance, AntiAlias) == 0
                       ? 0
                       : DrawPathFailed;
        }
        // Each entry is computed when its step comes: a wide pen needs no table.
        const int32_t Entries = static_cast<int32_t>(TableFlag ? N : N + 1);
        int32_t Previous = 0;
        for (int32_t I = 0; I < N; ++I) {
            if (Cancel) {
                if (Poll)
                    Poll(*Cancel);
                if (*Cancel)
                    break;
            }
            const int32_t Color = DrawPathColorTableEntry(Stops, StopCount, I, Entries);
            if (I > 0 && Color == Previous)
                continue;
            Previous = Color;
            StepPen.Width = static_cast<int32_t>(int64_t{Pen.Width} - 2 * int64_t{I});
            SetPenDataColor(StepPen, static_cast<uint32_t>(Color));
            if (DIBSectionDrawPath(Picture, Path, StepPen, true, Tolerance, AntiAlias) != 0)
                return DrawPathFailed;
        }
        return 0;
    } catch (...) {
        return DrawPathFailed;
    }
}
