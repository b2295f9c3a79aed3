#include "raster/tone_filters.h"

#include "foundation/colour_models.h"
#include "foundation/numbers.h"
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"
#include "raster/lighting.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// The part of the picture an operation works on and the mask bytes that go
// with it. Rows run from the area's top down; in memory that is toward the
// start of the bits.
struct TArea {
    uint8_t* Pic = nullptr;        // first byte of the area's top-left pixel
    int64_t PicLine = 0;
    const uint8_t* Mask = nullptr; // mask byte of that pixel, or nullptr
    int64_t MaskLine = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Bytes = 0;             // per pixel: 1 or 3
    uint8_t* Bits = nullptr;       // the whole pixel buffer
    int64_t ImageSize = 0;         // its size, row filler bytes included

    uint8_t* PicRow(int32_t Y) const { return Pic - Y * PicLine; }
    const uint8_t* MaskRow(int32_t Y) const { return Mask - Y * MaskLine; }
};

inline uint8_t Weigh(uint32_t M, uint32_t New, uint32_t Old)
{
    return static_cast<uint8_t>((M * New + (255 - M) * Old + 255) >> 8);
}

inline uint8_t ClampByte(int64_t V)
{
    return static_cast<uint8_t>(std::clamp<int64_t>(V, 0, 255));
}

// A usable 8- or 24-bit record (or 8-bit only for masks) that painting may have made.
bool UsablePicture(const TrecPicture& P, bool MaskOnly)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    if (!H || !P.pBits || H->biWidth <= 0 || H->biHeight <= 0)
        return false;
    if (H->biBitCount != 8 && (MaskOnly || H->biBitCount != 24))
        return false;
    return int64_t{H->biWidth} * H->biHeight <= MaxWorkPixels;
}

// Every byte of the area through the table, weighted by the mask.
void ApplyTable(const TArea& A, const uint8_t* T)
{
    const int64_t RowBytes = int64_t{A.Width} * A.Bytes;
    for (int32_t Y = 0; Y < A.Height; ++Y) {
        uint8_t* P = A.PicRow(Y);
        if (!A.Mask) {
            for (int64_t I = 0; I < RowBytes; ++I)
                P[I] = T[P[I]];
            continue;
        }
        const uint8_t* M = A.MaskRow(Y);
        for (int32_t X = 0; X < A.Width; ++X, P += A.Bytes) {
            const uint32_t W = M[X];
            if (W == 0)
                continue;
            for (int32_t K = 0; K < A.Bytes; ++K)
                P[K] = Weigh(W, T[P[K]], P[K]);
        }
    }
}

// Without a mask inversion and the tone curve run over the whole buffer, the
// filler bytes at the row ends included; with one, over the area.
void ApplyTableWholeOrArea(const TArea& A, const uint8_t* T)
{
    if (A.Mask) {
        ApplyTable(A, T);
        return;
    }
    for (int64_t I = 0; I < A.ImageSize; ++I)
        A.Bits[I] = T[A.Bits[I]];
}

// Every 24-bit pixel of the area through Op(in, out), written or weighted.
template <class TOp>
void ApplyPixels(const TArea& A, TOp&& Op)
{
    uint8_t New[3];
    for (int32_t Y = 0; Y < A.Height; ++Y) {
        uint8_t* P = A.PicRow(Y);
        const uint8_t* M = A.Mask ? A.MaskRow(Y) : nullptr;
        for (int32_t X = 0; X < A.Width; ++X, P += 3) {
            const uint32_t W = M ? M[X] : 255;
            if (W == 0)
                continue;
            Op(P, New);
            if (!M) {
                P[0] = New[0];
                P[1] = New[1];
                P[2] = New[2];
            } else {
                for (int K = 0; K < 3; ++K)
                    P[K] = Weigh(W, New[K], P[K]);
            }
        }
    }
}

// ---------------------------------------------------------------- kinds 0-3

int32_t ContrastBrightness(const TArea& A, int32_t Br, int32_t Ct, int32_t Av, bool Cut)
{
    if (Ct < 0 || Ct > 200)
        return FilterResultBadContrast;
    int64_t Average = Av;
    if (Av < 0) {
        uint64_t Sum = 0;
        uint64_t Count = 0;
        for (int32_t Y = 0; Y < A.Height; ++Y) {
            const uint8_t* P = A.PicRow(Y);
            const uint8_t* M = A.Mask ? A.MaskRow(Y) : nullptr;
            for (int32_t X = 0; X < A.Width; ++X, P += A.Bytes) {
                if (M && M[X] == 0)
                    continue;
                ++Count;
                for (int32_t K = 0; K < A.Bytes; ++K)
                    Sum += P[K];
            }
        }
        // A mask that is 0 everywhere selects no pixel: there is no mean and
        // nothing would change.
        if (Count == 0)
            return FilterResultOK;
        Average = static_cast<int64_t>(Sum / Count / static_cast<uint64_t>(A.Bytes));
        if (Cut)
            Average += Br;
    }
    uint8_t T[256];
    if (Ct == 200) {
        for (int32_t V = 0; V < 256; ++V)
            T[V] = V > Average ? 255 : 0;
    } else {
        const int64_t Factor = Ct <= 100 ? int64_t{Ct} * 256 / 100 : 25600 / (200 - int64_t{Ct});
        for (int32_t V = 0; V < 256; ++V) {
            const int64_t R = Cut ? Average + ((V + int64_t{Br} - Average) * Factor) / 256
                                  : Average + ((V - Average) * Factor) / 256 + Br;
            T[V] = ClampByte(R);
        }
    }
    ApplyTable(A, T);
    return FilterResultOK;
}

void Invert(const TArea& A)
{
    uint8_t T[256];
    for (int32_t V = 0; V < 256; ++V)
        T[V] = static_cast<uint8_t>(255 - V);
    ApplyTableWholeOrArea(A, T);
}

void Levels(const TArea& A, int32_t I0, int32_t I1, int32_t O0, int32_t O1, const double* Gamma)
{
    const double G = Gamma ? *Gamma : 1.0;
    uint8_t T[256];
    for (int32_t V = 0; V < 256; ++V) {
        double R;
        if (V <= I0) {
            R = O0;
        } else if (V >= I1) {
            R = O1;
        } else {
            const double Ratio = static_cast<double>(V - int64_t{I0}) / static_cast<double>(int64_t{I1} - I0);
            double Term = std::trunc(std::pow(Ratio, G) * (static_cast<double>(O1) - O0));
            if (std::isnan(Term)) // a gamma that is not a number bends nothing
                Term = 0;
            R = O0 + Term;
        }
        T[V] = static_cast<uint8_t>(std::clamp(R, 0.0, 255.0));
    }
    ApplyTable(A, T);
}

// The natural spline through fewer than four points, where the general
// set-up has nothing to solve: 3 points have one inner curvature, 2 points
// give a straight line, 1 point a constant. False when x does not increase.
bool ShortSplineSetup(int32_t N, const double* X, const double* Y, double* Z)
{
    for (int32_t I = 0; I + 1 < N; ++I)
        if (!(X[I + 1] > X[I]))
            return false;
    std::fill(Z, Z + N, 0.0);
    if (N == 3) {
        const double Slope0 = (Y[1] - Y[0]) / (X[1] - X[0]);
        const double Slope1 = (Y[2] - Y[1]) / (X[2] - X[1]);
        Z[1] = (Slope1 - Slope0) / (2 * (X[2] - X[0]));
        if (!std::isfinite(Z[1]))
            return false;
    }
    return true;
}

// Nothing is done without points or when the points do not make a curve.
void ToneCurve(const TArea& A, int32_t N, const TPoint* Points)
{
    if (N <= 0 || !Points)
        return;
    std::vector<double> X(N), Y(N), Z(N);
    for (int32_t I = 0; I < N; ++I) {
        X[I] = Points[I].X;
        Y[I] = Points[I].Y;
    }
    const bool Ok = N >= 4 ? NaturalSplineSetup(N, X.data(), Y.data(), Z.data())
                           : ShortSplineSetup(N, X.data(), Y.data(), Z.data());
    if (!Ok)
        return;
    uint8_t T[256];
    for (int32_t V = 0; V < 256; ++V) {
        const double S = std::trunc(NaturalSplineEval(N, X.data(), Y.data(), Z.data(), V) + 0.5);
        T[V] = std::isnan(S) ? 0 : static_cast<uint8_t>(std::clamp(S, 0.0, 255.0));
    }
    ApplyTableWholeOrArea(A, T);
}

// ---------------------------------------------------------------- kinds 4-6

void ShiftHSI(const TArea& A, int32_t Dh, int32_t Ds, int32_t Db, bool Colourise)
{
    const int64_t HueShift = int64_t{Dh} * 1000;
    const int64_t SatShift = int64_t{Ds} * 255 / 100;
    const int64_t BriShift = int64_t{Db} * 255 / 100;
    ApplyPixels(A, [&](const uint8_t* P, uint8_t* Out) {
        int32_t H, S, V;
        RGBToHSB(P[2], P[1], P[0], H, S, V);
        int64_t Hue, Sat;
        if (Colourise) {
            Hue = HueShift % 360000;
            Sat = SatShift;
        } else {
            Hue = (H + HueShift) % 360000;
            Sat = S + SatShift;
        }
        if (Hue < 0)
            Hue += 360000;
        const int64_t Bri = std::clamp<int64_t>(V + BriShift, 0, 255);
        Sat = std::clamp<int64_t>(Sat, 0, 256);
        int32_t R, G, B;
        HSBToRGB(static_cast<int32_t>(Hue), static_cast<int32_t>(Sat), static_cast<int32_t>(Bri), R, G, B);
        Out[0] = ClampByte(B);
        Out[1] = ClampByte(G);
        Out[2] = ClampByte(R);
    });
}

void ShiftHLS(const TArea& A, int32_t Dh, int32_t Ds, int32_t Dl, bool Colourise)
{
    int64_t HueShift = ((int64_t{Dh} * 6144 + 180) / 360) % 6144;
    if (Colourise && HueShift < 0)
        HueShift += 6144;
    const int64_t SatShift = (int64_t{Ds} * 65280 + 50) / 100;
    const int64_t LightShift = (int64_t{Dl} * 65280 + 50) / 100;
    ApplyPixels(A, [&](const uint8_t* P, uint8_t* Out) {
        int32_t H, S, L;
        RGBToHLS(P[2], P[1], P[0], H, S, L);
        int64_t Hue, Sat;
        if (Colourise) {
            Hue = HueShift;
            Sat = SatShift;
        } else {
            Hue = (HueShift + H + 6144) % 6144;
            Sat = S + SatShift;
        }
        Sat = std::clamp<int64_t>(Sat, 0, 65280);
        const int64_t Light = std::clamp<int64_t>(L + LightShift, 0, 65280);
        int32_t R, G, B;
        HLSToRGB(static_cast<int32_t>(Hue), static_cast<int32_t>(Sat), static_cast<int32_t>(Light), R, G, B);
        Out[0] = ClampByte(B);
        Out[1] = ClampByte(G);
        Out[2] = ClampByte(R);
    });
}

void ShiftYCbCr(const TArea& A, int32_t DY, int32_t DCb, int32_t DCr, bool Colourise)
{
    const int64_t YShift = (int64_t{DY} * 65280 + 50) / 100;
    const int64_t CbShift = (int64_t{DCb} * 65280 + 50) / 100;
    const int64_t CrShift = (int64_t{DCr} * 65280 + 50) / 100;
    auto Limit = [](int64_t V) { return static_cast<int32_t>(std::clamp<int64_t>(V, 0, 65280)); };
    ApplyPixels(A, [&](const uint8_t* P, uint8_t* Out) {
        int32_t Y, Cb, Cr;
        RGBToYCbCr(P[2] * 256, P[1] * 256, P[0] * 256, Y, Cb, Cr);
        const int32_t Y2 = Limit(Y + YShift);
        const int32_t Cb2 = Limit(Colourise ? 32640 + CbShift : Cb + CbShift);
        const int32_t Cr2 = Limit(Colourise ? 32640 + CrShift : Cr + CrShift);
        int32_t R, G, B;
        YCbCrToRGB(Y2, Cb2, Cr2, R, G, B);
        Out[0] = ClampByte(B / 256);
        Out[1] = ClampByte(G / 256);
        Out[2] = ClampByte(R / 256);
    });
}

// ---------------------------------------------------------------- kind 8

// Memory the machine has. A block beyond it could only be had from an
// overcommitting allocator and would kill the process when filled.
uint64_t PhysicalMemoryBytes()
{
    const long Pages = sysconf(_SC_PHYS_PAGES);
    const long PageSize = sysconf(_SC_PAGE_SIZE);
    if (Pages <= 0 || PageSize <= 0)
        return UINT64_MAX;
    return static_cast<uint64_t>(Pages) * static_cast<uint64_t>(PageSize);
}

// Frees the grid on every exit.
struct TGridBlock {
    HGLOBAL H = nullptr;
    ~TGridBlock() { GlobalFreeQ(H); }
};

inline int16_t GridValue(double V)
{
    return static_cast<int16_t>(std::clamp<int64_t>(RoundOff(V), -32767, 32767));
}

void Clouds(const TrecPicture& Picture, int32_t Base, int32_t Height, int32_t Attenuation)
{
    const BITMAPINFOHEADER* Hdr = RecPictureHeader(Picture);
    const int32_t W = Hdr->biWidth;
    const int32_t H = Hdr->biHeight;
    const int32_t Bytes = Hdr->biBitCount / 8;
    const int32_t Side = std::max(W, H);
    int32_t L = 0;
    while ((int64_t{1} << L) < Side)
        ++L;
    const int64_t N = int64_t{1} << L;
    const uint64_t GridBytes = 2 * static_cast<uint64_t>(N) * static_cast<uint64_t>(N);
    // The grid is never made smaller than the rule asks, since that would
    // change the texture a seed gives; it is refused only where it cannot
    // be held at all, before any random number is drawn.
    if (GridBytes > PhysicalMemoryBytes() || GridBytes > SIZE_MAX)
        throw EUserError("メモリが足りません");
    TGridBlock Block;
    Block.H = GlobalAllocQ(GPTR, static_cast<size_t>(GridBytes));
    int16_t* G = static_cast<int16_t*>(Block.H);

    for (int I = 0; I < 97; ++I)
        RandomFloat();

    std::vector<int64_t> Amp(L);
    for (int32_t I = 0; I < L; ++I)
        Amp[I] = 2 * (RoundOff(std::exp(-Attenuation / 100.0 * I) * Height) / 2);

    const int64_t Wrap = N - 1;
    int32_t Level = 0;
    for (int64_t Step = N; Step >= 2; Step /= 2, ++Level) {
        const int64_t Half = Step / 2;
        const bool Draw = Level >= 2;
        const double A = Draw ? static_cast<double>(Amp[Level - 2]) : 0.0;
        const double HalfA = Draw ? static_cast<double>(Amp[Level - 2] / 2) : 0.0;
        auto R = [&]() { return Draw ? RandomFloat() * A - HalfA : 0.0; };
        for (int64_t Y = 0; Y < N; Y += Step) {
            int16_t* Row = G + Y * N;
            int16_t* RowMid = G + (Y + Half) * N;
            int16_t* RowNext = G + ((Y + Step) & Wrap) * N;
            for (int64_t X = 0; X < N; X += Step) {
                const int64_t X2 = (X + Step) & Wrap;
                const int64_t XM = X + Half;
                const int32_t Ca = Row[X];
                const int32_t Cb = Row[X2];
                const int32_t Cc = RowNext[X];
                const int32_t Cd = RowNext[X2];
                const int16_t Top = GridValue(R() + (Ca + Cb) / 2.0);
                Row[XM] = Top;
                const int16_t Bottom = GridValue(R() + (Cd + Cc + 1) / 2.0);
                RowNext[XM] = Bottom;
                const int16_t Left = GridValue(R() + (Ca + Cc) / 2.0);
                RowMid[X] = Left;
                const int16_t Right = GridValue(R() + (Cd + Cb) / 2.0);
                RowMid[X2] = Right;
                RowMid[XM] = GridValue(R() + (int32_t{Top} + Bottom + Left + Right) / 4.0);
            }
        }
    }

    const int64_t Line = GetDIBLineSize(W, Hdr->biBitCount);
    for (int32_t Y = 0; Y < H; ++Y) {
        uint8_t* P = Picture.pBits + (H - 1 - Y) * Line;
        const int16_t* Src = G + Y * N;
        for (int32_t X = 0; X < W; ++X, P += Bytes) {
            const uint8_t V = ClampByte(RoundOff(Src[X] / 128.0) + Base);
            for (int32_t K = 0; K < Bytes; ++K)
                P[K] = V;
        }
    }
}

// ---------------------------------------------------------------- kind 9

void Noise(const TArea& A, bool Colour, bool Gauss, int32_t Size, int32_t Dev)
{
    if (Size <= 0)
        return;
    const bool Impulse = Size == 1000;
    // The uniform range 2n + 1 must fit the generator's 32-bit range.
    const int32_t Half = std::min(Size, 1073741823);
    const double Deviation = Dev / 100.0;
    auto Draw = [&]() -> int64_t {
        const int64_t V = Gauss ? RoundOff(RandomGauss(0.0, Deviation) * Size) : RandomInt(2 * Half + 1) - Half;
        return std::clamp<int64_t>(V, -256, 256);
    };
    auto Pulse = [] { return static_cast<uint8_t>(RandomInt(2) ? 255 : 0); };
    uint8_t New[3];
    for (int32_t Y = 0; Y < A.Height; ++Y) {
        uint8_t* P = A.PicRow(Y);
        const uint8_t* M = A.Mask ? A.MaskRow(Y) : nullptr;
        for (int32_t X = 0; X < A.Width; ++X, P += A.Bytes) {
            const uint32_t W = M ? M[X] : 255;
            if (W == 0)
                continue;
            if (Colour) {
                for (int32_t K = 0; K < A.Bytes; ++K)
                    New[K] = Impulse ? Pulse() : ClampByte(P[K] + Draw());
            } else if (Impulse) {
                const uint8_t V = Pulse();
                for (int32_t K = 0; K < A.Bytes; ++K)
                    New[K] = V;
            } else {
                const int64_t D = Draw();
                for (int32_t K = 0; K < A.Bytes; ++K)
                    New[K] = ClampByte(P[K] + D);
            }
            for (int32_t K = 0; K < A.Bytes; ++K)
                P[K] = M ? Weigh(W, New[K], P[K]) : New[K];
        }
    }
}

} // namespace

int32_t RecPictureFilter(uint8_t Kind, TrecPicture& Picture, const TrecPicture* Mask, TFilterParam A,
                         TFilterParam B, TFilterParam C, TFilterParam D, TFilterParam E, TFilterParam F)
{
    if (!UsablePicture(Picture, false))
        return FilterResultBadPicture;
    const BITMAPINFOHEADER* Hdr = RecPictureHeader(Picture);

    const bool HasMask = Mask && RecPictureHeader(*Mask);
    TRect Rect;
    if (HasMask) {
        const BITMAPINFOHEADER* MH = RecPictureHeader(*Mask);
        if (MH->biWidth <= 0 || MH->biHeight <= 0)
            return FilterResultOK; // an empty mask overlaps nothing
        if (!UsablePicture(*Mask, true))
            return FilterResultBadPicture;
        if (!RecPictureIntersectRect(Picture, *Mask, Rect))
            return FilterResultOK;
    } else {
        RecPictureGetRect(Picture, Rect);
    }
    if (Kind > 9)
        return FilterResultBadKind;

    TArea Area;
    Area.Bytes = Hdr->biBitCount / 8;
    Area.Width = static_cast<int32_t>(int64_t{Rect.Right} - Rect.Left + 1);
    Area.Height = static_cast<int32_t>(int64_t{Rect.Bottom} - Rect.Top + 1);
    Area.Pic = RecPictureGetPixelPtr(Picture, Rect.Left, Rect.Top);
    Area.PicLine = GetDIBLineSize(Hdr->biWidth, Hdr->biBitCount);
    Area.Bits = Picture.pBits;
    Area.ImageSize = Area.PicLine * Hdr->biHeight;
    if (HasMask) {
        Area.Mask = RecPictureGetPixelPtr(*Mask, Rect.Left, Rect.Top);
        Area.MaskLine = GetDIBLineSize(RecPictureHeader(*Mask)->biWidth, 8);
        if (!Area.Mask)
            return FilterResultBadPicture;
    }
    if (!Area.Pic || Area.Width <= 0 || Area.Height <= 0)
        return FilterResultBadPicture;

    switch (Kind) {
    case 0:
        return ContrastBrightness(Area, A.Int, B.Int, C.Int, D.Int != 0);
    case 1:
        Invert(Area);
        return FilterResultOK;
    case 2:
        Levels(Area, A.Int, B.Int, C.Int, D.Int, static_cast<const double*>(F.Ptr));
        return FilterResultOK;
    case 3:
        ToneCurve(Area, A.Int, static_cast<const TPoint*>(F.Ptr));
        return FilterResultOK;
    case 4:
    case 5:
    case 6:
        // Three bytes per pixel: an 8-bit picture is not served.
        if (Area.Bytes != 3)
            return FilterResultBadPicture;
        if (Kind == 4) {
            ShiftHSI(Area, A.Int, B.Int, C.Int, D.Int != 0);
        } else if (Kind == 5) {
            if (A.Int == 0 && B.Int == 0 && C.Int == 0 && D.Int == 0)
                return FilterResultOK;
            ShiftHLS(Area, A.Int, B.Int, C.Int, D.Int != 0);
        } else {
            ShiftYCbCr(Area, A.Int, B.Int, C.Int, D.Int != 0);
        }
        return FilterResultOK;
    case 7:
        return RecPictureLight(Picture, HasMask ? Mask : nullptr, static_cast<const TLightsAmb*>(A.Ptr),
                               static_cast<const TrecPicture*>(B.Ptr), static_cast<const TrecPicture*>(C.Ptr),
                               D.Int, static_cast<const TRect*>(E.Ptr), static_cast<const uint8_t*>(F.Ptr));
    case 8:
        Clouds(Picture, A.Int, B.Int, C.Int);
        return FilterResultOK;
    default:
        Noise(Area, A.Int != 0, B.Int == 0, C.Int, D.Int);
        return FilterResultOK;
    }
}
