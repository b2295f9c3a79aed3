#include "raster/picture_transfer.h"

#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"
#include "raster/stretch_dib.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

thread_local int64_t gRowsConverted = 0;

// Largest destination extent of RecPictureStretchBlt: its step tables hold
// one entry per destination column and row.
constexpr int64_t MaxBltExtent = int64_t{1} << 24;

// A work record cleared on every exit.
struct TPictureGuard {
    TrecPicture P;
    TPictureGuard() = default;
    TPictureGuard(const TPictureGuard&) = delete;
    TPictureGuard& operator=(const TPictureGuard&) = delete;
    ~TPictureGuard() { RecPictureClear(P); }
    // Hands the record over to Dest, freeing what Dest held.
    void MoveTo(TrecPicture& Dest)
    {
        RecPictureClear(Dest);
        Dest = P;
        P = TrecPicture{};
    }
};

// Floor modulo of a whole number held in a double: 0 <= result < M.
inline int32_t WrapIndex(double V, int32_t M)
{
    if (V >= 0 && V < M)
        return static_cast<int32_t>(V);
    double R = std::fmod(V, static_cast<double>(M));
    if (R < 0)
        R += M;
    return static_cast<int32_t>(R);
}

} // namespace

// ---------------------------------------------------------------- RecPictureStretchBlt

int64_t RecPictureStretchBltRowsConverted()
{
    return gRowsConverted;
}

void RecPictureStretchBlt(const TrecPicture& P, TDeviceContext& DC, int32_t X, int32_t Y,
                          int32_t W, int32_t H, int32_t XSrc, int32_t YSrc, int32_t WSrc,
                          int32_t HSrc, uint32_t Rop, const TRect* Clip)
{
    gRowsConverted = 0;
    const BITMAPINFOHEADER* Header = RecPictureHeader(P);
    if (!Header || !P.pBits)
        return;
    const int64_t PW = Header->biWidth;
    const int64_t PH = Header->biHeight;

    // The source rectangle is cut to the picture; the destination stays.
    int64_t XS = XSrc, YS = YSrc, WS = WSrc, HS = HSrc;
    if (XS < 0) {
        WS += XS;
        XS = 0;
    }
    if (YS < 0) {
        HS += YS;
        YS = 0;
    }
    if (XS + WS > PW)
        WS = PW - XS;
    if (YS + HS > PH)
        HS = PH - YS;

    const int32_t BitCount = Header->biBitCount;
    if (BitCount != 4 && BitCount != 8 && BitCount != 24)
        throw EUserError("RecPictureStretchBlt: biBitCount not in [4, 8, 24]");
    if (WS <= 0 || HS <= 0 || W <= 0 || H <= 0)
        return;
    if (W > MaxBltExtent || H > MaxBltExtent)
        throw EUserError("RecPictureStretchBlt: Illegal Size");

    // Destination rectangle, right and bottom exclusive, cut to the clip.
    int64_t L = X, T = Y, R = int64_t{X} + W, B = int64_t{Y} + H;
    if (Clip) {
        L = std::max<int64_t>(L, Clip->Left);
        T = std::max<int64_t>(T, Clip->Top);
        R = std::min<int64_t>(R, int64_t{Clip->Right} + 1);
        B = std::min<int64_t>(B, int64_t{Clip->Bottom} + 1);
    }
    if (L >= R || T >= B)
        return;

    // Destination column and row -> source column and row.
    std::vector<int32_t> ColSteps(static_cast<size_t>(W) + 1);
    std::vector<int32_t> RowSteps(static_cast<size_t>(H) + 1);
    MakeLineSteps(0, W - 1, 0, static_cast<int32_t>(WS) - 1, ColSteps.data(), true);
    MakeLineSteps(0, H - 1, 0, static_cast<int32_t>(HS) - 1, RowSteps.data(), true);

    // Colour lookup of the palette depths: blue, green, red per index.
    std::array<std::array<uint8_t, 3>, 256> Lut{};
    if (BitCount <= 8) {
        std::array<RGBQUAD, 256> Table{};
        GetDIBPaddedColorTable(Header, Table);
        for (size_t I = 0; I < 256; ++I)
            Lut[I] = {Table[I].rgbBlue, Table[I].rgbGreen, Table[I].rgbRed};
    }

    const int32_t Visible = static_cast<int32_t>(R - L);
    const int64_t FirstCol = L - X;
    std::vector<int64_t> SrcCol(static_cast<size_t>(Visible));
    for (int32_t I = 0; I < Visible; ++I)
        SrcCol[I] = XS + ColSteps[static_cast<size_t>(FirstCol + I)];
    std::vector<uint8_t> Row(static_cast<size_t>(Visible) * 3);
    const int64_t LineSize = GetDIBLineSize(PW, BitCount);

    int64_t PrevSrcRow = -1;
    for (int64_t DY = T; DY < B; ++DY) {
        const int64_t SrcRow = YS + RowSteps[static_cast<size_t>(DY - Y)];
        if (SrcRow != PrevSrcRow) {
            const uint8_t* Line = P.pBits + (PH - 1 - SrcRow) * LineSize;
            uint8_t* Out = Row.data();
            switch (BitCount) {
            case 24:
                for (int32_t I = 0; I < Visible; ++I, Out += 3)
                    std::memcpy(Out, Line + SrcCol[I] * 3, 3);
                break;
            case 8:
                for (int32_t I = 0; I < Visible; ++I, Out += 3)
                    std::memcpy(Out, Lut[Line[SrcCol[I]]].data(), 3);
                break;
            case 4:
                // High nibble first.
                for (int32_t I = 0; I < Visible; ++I, Out += 3) {
                    const int64_t C = SrcCol[I];
                    const uint8_t Byte = Line[C >> 1];
                    std::memcpy(Out, Lut[(C & 1) ? (Byte & 15) : (Byte >> 4)].data(), 3);
                }
                break;
            default:
                throw EUserError("RecPictureStretchBlt: Illegal biBitCount");
            }
            PrevSrcRow = SrcRow;
            ++gRowsConverted;
        }
        DC.BitBlt(static_cast<int32_t>(L), static_cast<int32_t>(DY), Visible, Row.data(), Rop);
    }
}

// ---------------------------------------------------------------- RecPictureStretchDraw

namespace {

// Cuts a rectangle (X, W) to 0..Limit on one axis; the other rectangle
// (OX, OW) loses its share, cut x OW div W, from the same side. False when
// nothing is left.
bool ClipPair(int64_t& X, int64_t& W, int64_t Limit, int64_t& OX, int64_t& OW)
{
    if (X < 0) {
        const int64_t Cut = -X;
        if (Cut >= W)
            return false;
        const int64_t OCut = Cut * OW / W;
        X = 0;
        W -= Cut;
        OX += OCut;
        OW -= OCut;
        if (OW <= 0)
            return false;
    }
    const int64_t Cut = X + W - Limit;
    if (Cut > 0) {
        if (Cut >= W)
            return false;
        OW -= Cut * OW / W;
        W -= Cut;
        if (OW <= 0)
            return false;
    }
    return true;
}

} // namespace

void RecPictureStretchDraw(TrecPicture& D, int32_t XD, int32_t YD, int32_t WD, int32_t HD,
                           const TrecPicture& S, int32_t XS, int32_t YS, int32_t WS, int32_t HS,
                           const TrecPicture* Companion, uint8_t bExpandMode, uint8_t bReduceMode,
                           uint8_t bTile)
{
    const BITMAPINFOHEADER* DH = RecPictureHeader(D);
    const BITMAPINFOHEADER* SH = RecPictureHeader(S);
    if (!DH || !SH || !D.pBits || !S.pBits)
        return;
    int64_t xd = int64_t{XD} - D.iLeft, yd = int64_t{YD} - D.iTop, wd = WD, hd = HD;
    int64_t xs = int64_t{XS} - S.iLeft, ys = int64_t{YS} - S.iTop, ws = WS, hs = HS;
    if (wd <= 0 || hd <= 0 || ws <= 0 || hs <= 0)
        return;
    if (!ClipPair(xd, wd, DH->biWidth, xs, ws) || !ClipPair(yd, hd, DH->biHeight, ys, hs) ||
        !ClipPair(xs, ws, SH->biWidth, xd, wd) || !ClipPair(ys, hs, SH->biHeight, yd, hd))
        return;
    if (xd < 0 || yd < 0 || xs < 0 || ys < 0 || xd >= DH->biWidth || yd >= DH->biHeight ||
        xs >= SH->biWidth || ys >= SH->biHeight)
        return;

    const BITMAPINFOHEADER* MH = nullptr;
    const uint8_t* MB = nullptr;
    if (Companion && Companion->pBIHeader && Companion->pBits) {
        MH = RecPictureHeader(*Companion);
        MB = Companion->pBits;
    }
    StretchDIB(SH, S.pBits, int32_t(xs), int32_t(ys), int32_t(ws), int32_t(hs), DH, D.pBits,
               int32_t(xd), int32_t(yd), int32_t(wd), int32_t(hd), MH, MB, bExpandMode,
               bReduceMode, bTile);
}

// ---------------------------------------------------------------- RecPictureStretch

void RecPictureStretch(TrecPicture& D, const TrecPicture& S, const TPoint& Pt, int32_t W,
                       int32_t H, uint8_t bExpandMode, uint8_t bReduceMode, uint8_t bTile)
{
    if (&D == &S) {
        // Made aside: creating D would free the pixels being read.
        TPictureGuard Work;
        RecPictureStretch(Work.P, S, Pt, W, H, bExpandMode, bReduceMode, bTile);
        Work.MoveTo(D);
        return;
    }
    const BITMAPINFOHEADER* SH = RecPictureHeader(S);
    if (!SH || !S.pBits)
        throw EUserError("RecPictureStretch: pBIHeader = nil");
    if (SH->biBitCount != 8 && SH->biBitCount != 24)
        throw EUserError("StretchDIB: Illegal biBitCount");
    const int32_t SW = SH->biWidth;
    const int32_t SHt = SH->biHeight;
    // Truncating division, then wrapped to 32 bits like every page coordinate.
    const int64_t Left = (int64_t{S.iLeft} - Pt.X) * W / SW + Pt.X;
    const int64_t Top = (int64_t{S.iTop} - Pt.Y) * H / SHt + Pt.Y;
    RecPictureCreate(D, TPoint{static_cast<int32_t>(Left), static_cast<int32_t>(Top)}, W, H,
                     SH->biBitCount, S.hDIBSection != nullptr);
    StretchDIB(SH, S.pBits, 0, 0, SW, SHt, RecPictureHeader(D), D.pBits, 0, 0, W, H, nullptr,
               nullptr, bExpandMode, bReduceMode, bTile);
}

// ---------------------------------------------------------------- RecPictureRotate

void RecPictureRotate(TrecPicture& D, const TrecPicture& S, const TPoint& C, const TRect& R,
                      double Angle, double OX, double OY, bool bSmooth)
{
    if (!std::isfinite(Angle) || !std::isfinite(OX) || !std::isfinite(OY))
        throw EUserError("RecPictureRotate: Illegal Param (angle or offset not finite)");
    if (&D == &S) {
        TPictureGuard Work;
        RecPictureRotate(Work.P, S, C, R, Angle, OX, OY, bSmooth);
        Work.MoveTo(D);
        return;
    }
    const BITMAPINFOHEADER* SH = RecPictureHeader(S);
    if (!SH || !S.pBits)
        throw EUserError("RecPictureRotate: pBIHeader = nil");
    const int32_t BitCount = SH->biBitCount;
    if (BitCount != 8 && BitCount != 24)
        throw EUserError("RecPictureRotate: Illegal biBitCount");
    const int32_t Sw = SH->biWidth;
    const int32_t Sh = SH->biHeight;
    if (Sw <= 0 || Sh <= 0)
        throw EUserError("RecPictureRotate: Illegal Size");

    const int32_t X0 = std::min(R.Left, R.Right), X1 = std::max(R.Left, R.Right);
    const int32_t Y0 = std::min(R.Top, R.Bottom), Y1 = std::max(R.Top, R.Bottom);
    const int64_t DW = int64_t{X1} - X0 + 1;
    const int64_t DHt = int64_t{Y1} - Y0 + 1;
    // The result covers a painted area, which may reach past the largest picture.
    if (DW > INT32_MAX || DHt > INT32_MAX || DW * DHt > MaxWorkPixels)
        throw EUserError("RecPictureRotate: Illegal Size");
    RecPictureCreate(D, TPoint{X0, Y0}, static_cast<int32_t>(DW), static_cast<int32_t>(DHt),
                     BitCount, S.hDIBSection != nullptr);

    // The source repeats with its size as period, so whole periods of the
    // offsets change nothing; removing them keeps the coordinates small and
    // exact however far the offsets reach.
    OX = std::fmod(OX, static_cast<double>(Sw));
    OY = std::fmod(OY, static_cast<double>(Sh));

    const double CosA = std::cos(Angle);
    const double SinA = std::sin(Angle);
    const double Dx = double(X0) - C.X + 0.5;
    const double Dy = double(Y0) - C.Y + 0.5;
    double SX = Sw / 2.0 - OX + CosA * Dx + SinA * Dy;
    double SY = Sh / 2.0 - OY - SinA * Dx + CosA * Dy;
    const double Shift = bSmooth ? -0.5 : 0.5;
    SX += Shift;
    SY += Shift;

    const int32_t Bpp = BitCount / 8;
    const int64_t LineS = GetDIBLineSize(Sw, BitCount);
    const int64_t LineD = GetDIBLineSize(DW, BitCount);
    const uint8_t* SBits = S.pBits;
    auto SrcPixel = [&](int32_t XI, int32_t YI) {
        return SBits + (int64_t{Sh} - 1 - YI) * LineS + int64_t{XI} * Bpp;
    };
    const double RowX = SinA - static_cast<double>(DW) * CosA;
    const double RowY = CosA + static_cast<double>(DW) * SinA;

    for (int64_t J = 0; J < DHt; ++J) {
        uint8_t* Out = D.pBits + (DHt - 1 - J) * LineD;
        for (int64_t I = 0; I < DW; ++I, Out += Bpp) {
            const double FlX = std::floor(SX);
            const double FlY = std::floor(SY);
            const int32_t XI = WrapIndex(FlX, Sw);
            const int32_t YI = WrapIndex(FlY, Sh);
            if (!bSmooth) {
                std::memcpy(Out, SrcPixel(XI, YI), Bpp);
            } else {
                const int32_t XN = XI + 1 < Sw ? XI + 1 : 0;
                const int32_t YN = YI + 1 < Sh ? YI + 1 : 0;
                const double FX = SX - FlX;
                const double FY = SY - FlY;
                const double W00 = (1 - FX) * (1 - FY), W10 = FX * (1 - FY);
                const double W01 = (1 - FX) * FY, W11 = FX * FY;
                const uint8_t* P00 = SrcPixel(XI, YI);
                const uint8_t* P10 = SrcPixel(XN, YI);
                const uint8_t* P01 = SrcPixel(XI, YN);
                const uint8_t* P11 = SrcPixel(XN, YN);
                for (int32_t K = 0; K < Bpp; ++K) {
                    const double V = P00[K] * W00 + P10[K] * W10 + P01[K] * W01 + P11[K] * W11;
                    const int32_t Q = static_cast<int32_t>(V + 0.5);
                    Out[K] = static_cast<uint8_t>(Q > 255 ? 255 : Q);
                }
            }
            SX += CosA;
            SY -= SinA;
        }
        SX += RowX;
        SY += RowY;
    }
}

// ---------------------------------------------------------------- RecPictureFillChecker

void RecPictureFillChecker(TrecPicture& P, int32_t Size, uint32_t Color1, uint32_t Color2)
{
    const BITMAPINFOHEADER* Header = RecPictureHeader(P);
    if (!Header || !P.pBits)
        return;
    if (Header->biBitCount != 24)
        throw EUserError("RecPictureFillChecker: biBitCount <> 24");
    const int64_t S = Size < 1 ? 1 : Size;
    const int64_t W = Header->biWidth;
    const int64_t H = Header->biHeight;
    if (W <= 0 || H <= 0)
        return;
    const int64_t Line = GetDIBLineSize(W, 24);
    const uint8_t C1[3] = {uint8_t(Color1), uint8_t(Color1 >> 8), uint8_t(Color1 >> 16)};
    const uint8_t C2[3] = {uint8_t(Color2), uint8_t(Color2 >> 8), uint8_t(Color2 >> 16)};

    // The two kinds of row: cells starting with Color1, and with Color2.
    std::vector<uint8_t> Even(static_cast<size_t>(W) * 3), Odd(static_cast<size_t>(W) * 3);
    for (int64_t X = 0; X < W; ++X) {
        const bool First = ((X / S) & 1) == 0;
        std::memcpy(&Even[X * 3], First ? C1 : C2, 3);
        std::memcpy(&Odd[X * 3], First ? C2 : C1, 3);
    }
    for (int64_t Y = 0; Y < H; ++Y)
        std::memcpy(P.pBits + Y * Line, ((Y / S) & 1) == 0 ? Even.data() : Odd.data(),
                    static_cast<size_t>(W) * 3);
}
