#include "paint/paint_functions_filter.h"

#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/platform_wrappers.h"
#include "foundation/rec_path.h"
#include "store/picture_store.h"
#include "paint/fill_value.h"
#include "paint/light_set.h"
#include "paint/paint_function_table.h"
#include "paint/picture_cache.h"
#include "raster/bmp_conv.h"
#include "raster/bmp_filter.h"
#include "raster/draw_path.h"
#include "raster/light_records.h"
#include "raster/tone_filters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <span>
#include <string>
#include <vector>

namespace {

constexpr TRect cEmptyRect{-1, -1, -2, -2};
constexpr int32_t cInt32Min = std::numeric_limits<int32_t>::min();
constexpr int32_t cInt32Max = std::numeric_limits<int32_t>::max();
// The first rectangle of a call whose every pixel may depend on any pixel
// of the destination, or on where the destination's edges lie: a part of
// the page rendered alone would give other pixels than the whole page.
constexpr TRect cEverywhere{cInt32Min, cInt32Min, cInt32Max, cInt32Max};

int32_t ClampToInt32(int64_t V)
{
    return static_cast<int32_t>(std::clamp<int64_t>(V, cInt32Min, cInt32Max));
}

// ---------------------------------------------------------------------------
// Records and rectangles

bool RectEmpty(const TRect& R)
{
    return R.Left > R.Right || R.Top > R.Bottom;
}

TRect PictureRect(const TrecPicture& P)
{
    TRect R;
    RecPictureGetRect(P, R);
    return R;
}

bool HasPixels(const TrecPicture& P)
{
    return RecPictureHeader(P) && P.pBits;
}

int32_t BitCountOf(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return H ? H->biBitCount : 0;
}

// A record the function made for itself, freed on every exit.
struct TOwnedPicture {
    TrecPicture R;
    TOwnedPicture() = default;
    TOwnedPicture(const TOwnedPicture&) = delete;
    TOwnedPicture& operator=(const TOwnedPicture&) = delete;
    ~TOwnedPicture() { RecPictureClear(R); }
};

// A kernel block made by a builder, freed on every exit.
struct TOwnedKernel {
    HGLOBAL H = nullptr;
    TOwnedKernel() = default;
    TOwnedKernel(const TOwnedKernel&) = delete;
    TOwnedKernel& operator=(const TOwnedKernel&) = delete;
    ~TOwnedKernel() { GlobalFreeQ(H); }
};

// Copy := a record of Src's place, size and depth; with its pixels when
// WithPixels. 0 or the out-of-memory code.
int32_t MakeCopy(const TrecPicture& Src, TrecPicture& Copy, bool WithPixels)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(Src);
    const int32_t Code = AllocPlaneRecord(Copy, TPoint{Src.iLeft, Src.iTop}, H->biWidth,
                                          H->biHeight, H->biBitCount, false);
    if (Code != 0)
        return Code;
    if (WithPixels)
        std::memcpy(Copy.pBits, Src.pBits, static_cast<size_t>(RecPictureGetImageSize(Src)));
    return 0;
}

// Rows of Area, top first, as 64-bit page rows so that a bottom at the end
// of the int32 range ends the walk.
template <class TRow>
void ForAreaRows(const TRect& Area, TRow&& Row)
{
    const int64_t Width = int64_t{Area.Right} - Area.Left + 1;
    for (int64_t Y = Area.Top; Y <= Area.Bottom; ++Y)
        Row(static_cast<int32_t>(Y), Width);
}

// Dest := Filtered over Area, weighted by the mask the way the filters
// weight: w = 0 leaves the byte, else (w new + (255 - w) old + 255) shr 8.
void BlendThroughMask(const TrecPicture& Dest, const TrecPicture& Filtered, const TrecPicture& Mask,
                      const TRect& Area)
{
    const int32_t Bytes = BitCountOf(Dest) / 8;
    ForAreaRows(Area, [&](int32_t Y, int64_t Width) {
        uint8_t* D = RecPictureGetPixelPtr(Dest, Area.Left, Y);
        const uint8_t* S = RecPictureGetPixelPtr(Filtered, Area.Left, Y);
        const uint8_t* M = RecPictureGetPixelPtr(Mask, Area.Left, Y);
        for (int64_t X = 0; X < Width; ++X, D += Bytes, S += Bytes) {
            const int32_t W = M[X];
            if (W == 0)
                continue;
            for (int32_t K = 0; K < Bytes; ++K)
                D[K] = MaskBlend8(W, S[K], D[K]);
        }
    });
}

// Runs Filter on the destination itself without a mask; with one, on a copy
// that is then laid over the work area through the mask.
int32_t RunThroughMask(TrecPicture& Dest, const TrecPicture* Mask, const TRect& Area,
                       bool CopyPixels, const std::function<int32_t(TrecPicture&)>& Filter)
{
    if (!Mask)
        return Filter(Dest);
    if (BitCountOf(*Mask) != 8)
        return FilterResultBadPicture;
    TOwnedPicture Copy;
    int32_t Code = MakeCopy(Dest, Copy.R, CopyPixels);
    if (Code == 0)
        Code = Filter(Copy.R);
    if (Code == 0)
        BlendThroughMask(Dest, Copy.R, *Mask, Area);
    return Code;
}

// The mask bytes that the buffer filters walk together with the destination,
// which must have the destination's size: the mask's own bits when it lies
// exactly on the destination, else a plane of the destination's place and
// size that holds the mask over the overlap and 0 elsewhere.
class TBufferMask {
public:
    TBufferMask() = default;
    TBufferMask(const TBufferMask&) = delete;
    TBufferMask& operator=(const TBufferMask&) = delete;
    ~TBufferMask() { RecPictureClear(FOwn); }

    int32_t Make(const TrecPicture& Dest, const TrecPicture* Mask, const TRect& Area)
    {
        if (!Mask)
            return 0;
        if (BitCountOf(*Mask) != 8)
            return FilterResultBadPicture;
        const BITMAPINFOHEADER* D = RecPictureHeader(Dest);
        const BITMAPINFOHEADER* M = RecPictureHeader(*Mask);
        if (Mask->iLeft == Dest.iLeft && Mask->iTop == Dest.iTop && M->biWidth == D->biWidth &&
            M->biHeight == D->biHeight) {
            FBits = Mask->pBits;
            return 0;
        }
        const int32_t Code = AllocPlaneRecord(FOwn, TPoint{Dest.iLeft, Dest.iTop}, D->biWidth,
                                              D->biHeight, 8, false);
        if (Code != 0)
            return Code;
        ForAreaRows(Area, [&](int32_t Y, int64_t Width) {
            std::memcpy(RecPictureGetPixelPtr(FOwn, Area.Left, Y),
                        RecPictureGetPixelPtr(*Mask, Area.Left, Y), static_cast<size_t>(Width));
        });
        FBits = FOwn.pBits;
        return 0;
    }
    HGLOBAL Bits() const { return FBits; }

private:
    TrecPicture FOwn;
    uint8_t* FBits = nullptr;
};

// ---------------------------------------------------------------------------
// Arguments

const TPaintFunctionRec* FindRec(std::string_view Name)
{
    const TPaintFunctionRec* Table = PaintFunctionTable();
    const int32_t I = FindPaintFunction(Table, Name);
    return I < 0 ? nullptr : &Table[I];
}

// One call's arguments, read through the function's table entry. Numbers
// are 1-based as the table counts them.
class TCall {
public:
    TCall(const TPaintFunctionRec& Rec, void* const* Args) : FRec(Rec), FArgs(Args) {}

    int32_t CheckRequired() const
    {
        return CheckRequiredArgs(FRec.Required,
                                 std::span<void* const>(FArgs, static_cast<size_t>(FRec.ParamCount) + 1));
    }
    const char* Text(int32_t N) const { return static_cast<const char*>(FArgs[N - 1]); }
    TrecPicture* Picture(int32_t N) const { return static_cast<TrecPicture*>(FArgs[N - 1]); }
    const TrecPath* Path(int32_t N) const { return static_cast<const TrecPath*>(FArgs[N - 1]); }
    TListRecPict* Store() const { return static_cast<TListRecPict*>(FArgs[FRec.ParamCount]); }
    int32_t Choice(int32_t N) const { return IndexOfChoice(Text(N), FRec.Params[N - 1].Limits.Choices); }

    // 0, or the refusal of argument N: unreadable, or below the lowest value
    // accepted.
    int32_t Int(int32_t N, int32_t& Value) const
    {
        const TIntArg A = ReadIntArg(Text(N), 0);
        Value = A.Value;
        return CheckNumberArg(A.Parsed, A.Value, ParamArgFloor(FRec.Params[N - 1]), N);
    }
    // An absent or unreadable text reads as Default.
    int32_t Int(int32_t N, int32_t& Value, int32_t Default) const
    {
        const TIntArg A = ReadIntArg(Text(N), Default);
        Value = A.Value;
        return CheckNumberArg(true, A.Value, ParamArgFloor(FRec.Params[N - 1]), N);
    }
    int32_t Real(int32_t N, double& Value) const
    {
        const TRealArg A = ReadRealArg(Text(N), 0.0);
        Value = A.Value;
        return CheckNumberArg(A.Parsed && std::isfinite(A.Value), A.Value,
                              ParamArgFloor(FRec.Params[N - 1]), N);
    }
    int32_t Real(int32_t N, double& Value, double Default) const
    {
        const TRealArg A = ReadRealArg(Text(N), Default);
        Value = std::isfinite(A.Value) ? A.Value : Default;
        return CheckNumberArg(true, Value, ParamArgFloor(FRec.Params[N - 1]), N);
    }

private:
    const TPaintFunctionRec& FRec;
    void* const* FArgs;
};

// Runs the readers in order and gives the first code that is not 0.
template <class... TCodes>
int32_t FirstCode(TCodes... Codes)
{
    int32_t R = 0;
    ((R = R != 0 ? R : Codes), ...);
    return R;
}

// The work area of a destination and its mask: Rect2 := their overlap.
// Paint is false when nothing is to be painted: measuring, an empty area or
// a record without pixels.
struct TWork {
    TrecPicture* Dest = nullptr;
    const TrecPicture* Mask = nullptr;
    TRect Area = cEmptyRect;
    bool Paint = false;
};

TWork MakeWork(const TCall& Call, TRect& Rect2, bool MeasureOnly)
{
    TWork W;
    W.Dest = Call.Picture(1);
    W.Mask = Call.Picture(2);
    W.Area = PictureRect(*W.Dest);
    bool Any = !RectEmpty(W.Area);
    if (Any && W.Mask)
        Any = RectIntersect(W.Area, PictureRect(*W.Mask));
    if (!Any)
        W.Area = cEmptyRect;
    Rect2 = W.Area;
    W.Paint = Any && !MeasureOnly && HasPixels(*W.Dest) && (!W.Mask || HasPixels(*W.Mask));
    return W;
}

// The common frame of every function: no result, empty rectangles, the
// table entry, its required arguments, then the body.
template <class TBody>
int32_t RunFunction(const TPaintFunctionRec* Rec, void*& Result, void* const* Args, TRect& Rect1,
                    TRect& Rect2, TBody&& Body)
{
    Result = nullptr;
    Rect1 = cEmptyRect;
    Rect2 = cEmptyRect;
    if (!Rec)
        return cPaintErrorOutOfMemory;
    const TCall Call(*Rec, Args);
    if (const int32_t Missing = Call.CheckRequired())
        return Missing;
    return Body(Call);
}

bool Aborted(const uint8_t* Abort)
{
    return Abort && *Abort != 0;
}

// ---------------------------------------------------------------------------
// Tone operations

int32_t ContBright(const TCall& Call, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    int32_t Contrast, Bright, Average;
    if (const int32_t Code = FirstCode(Call.Int(3, Contrast), Call.Int(4, Bright), Call.Int(5, Average)))
        return Code;
    const int32_t Cut = Call.Choice(6);
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    // A negative average is the mean of the whole work area.
    if (Average < 0)
        Rect1 = W.Area;
    if (!W.Paint)
        return 0;
    return RecPictureFilter(0, *W.Dest, W.Mask, Bright, Contrast, Average, Cut);
}

// "面を刻む": facets, which weigh by no mask themselves.
int32_t FilterNoParam(const TCall& Call, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    const int32_t Type = Call.Choice(3);
    const uint8_t Wrap = static_cast<uint8_t>(Call.Choice(4));
    if (Type != 0 && Wrap)
        Rect1 = cEverywhere;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    if (Type == 0)
        return RecPictureFilter(1, *W.Dest, W.Mask);
    return RunThroughMask(*W.Dest, W.Mask, W.Area, true, [&](TrecPicture& P) {
        BMPBufFilter(5, P.pBIHeader, P.pBits, nullptr, 5, nullptr, 0, 0, 0, nullptr, nullptr, 0, Wrap);
        return 0;
    });
}

int32_t Level(const TCall& Call, TRect& Rect2, bool MeasureOnly)
{
    int32_t InMin, InMax, OutMin, OutMax;
    double Gamma;
    if (const int32_t Code = FirstCode(Call.Int(3, InMin), Call.Int(4, InMax), Call.Real(5, Gamma),
                                       Call.Int(6, OutMin), Call.Int(7, OutMax)))
        return Code;
    const int32_t Range = Call.Choice(8);
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    return RecPictureFilter(2, *W.Dest, W.Mask, InMin, InMax, OutMin, OutMax, Range, &Gamma);
}

// A tone curve through Waves + 2 points alternating between 0 and 255.
int32_t ToneMetal(const TCall& Call, TRect& Rect2, bool MeasureOnly)
{
    int32_t Waves;
    if (const int32_t Code = Call.Int(3, Waves, 1))
        return Code;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    const int64_t Count = int64_t{Waves} + 2;
    // Below two points the rule has no curve, and beyond 256 points the x
    // values repeat: the tone operation leaves the picture as it is.
    if (Waves < 0 || Count > 256)
        return RecPictureFilter(3, *W.Dest, W.Mask, 0);
    std::vector<TPoint> Points(static_cast<size_t>(Count));
    for (int32_t I = 0; I < Count; ++I)
        Points[static_cast<size_t>(I)] = TPoint{I * 255 / (Waves + 1), I % 2 == 0 ? 0 : 255};
    return RecPictureFilter(3, *W.Dest, W.Mask, static_cast<int32_t>(Count), {}, {}, {}, {},
                            static_cast<const void*>(Points.data()));
}

// HSI, HLS and YCbCr: three shifts and the colourise choice.
int32_t ColourShift(uint8_t Kind, const TCall& Call, TRect& Rect2, bool MeasureOnly)
{
    int32_t A, B, C;
    if (const int32_t Code = FirstCode(Call.Int(3, A), Call.Int(4, B), Call.Int(5, C)))
        return Code;
    const int32_t Colourise = Call.Choice(6);
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    return RecPictureFilter(Kind, *W.Dest, W.Mask, A, B, C, Colourise);
}

// The texture covers the whole record it is drawn into, so with a mask it is
// drawn into a record of the destination's size and laid over it: the same
// seed gives the same texture with and without a mask. Its grain follows the
// destination's size.
int32_t Cloud(const TCall& Call, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    int32_t Base, Height, Attenuation;
    if (const int32_t Code = FirstCode(Call.Int(3, Base), Call.Int(4, Height), Call.Int(5, Attenuation)))
        return Code;
    Rect1 = cEverywhere;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    return RunThroughMask(*W.Dest, W.Mask, W.Area, false, [&](TrecPicture& P) {
        return RecPictureFilter(8, P, nullptr, Base, Height, Attenuation);
    });
}

int32_t Noise(const TCall& Call, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    int32_t Size, Deviation;
    if (const int32_t Code = FirstCode(Call.Int(5, Size), Call.Int(6, Deviation)))
        return Code;
    const int32_t Colour = Call.Choice(3);
    const int32_t Distribution = Call.Choice(4);
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    // The random numbers are drawn row by row over the work area: another
    // area draws them in other places.
    Rect1 = W.Area;
    if (!W.Paint)
        return 0;
    return RecPictureFilter(9, *W.Dest, W.Mask, Colour, Distribution, Size, Deviation);
}

// ---------------------------------------------------------------------------
// Neighbourhood filters

// Filter types of BMPBufFilter used here.
constexpr uint8_t cBufConvolution = 0;
constexpr uint8_t cBufDiffuse = 1;
constexpr uint8_t cBufOilPaint = 3;
constexpr uint8_t cBufSobel = 4;
constexpr uint8_t cBufRank = 6;

// Choices of "Type" of the size filters.
constexpr int32_t cSizeGauss = 0;
constexpr int32_t cSizeMean = 1;
constexpr int32_t cSizeMax = 2;
constexpr int32_t cSizeMin = 3;
constexpr int32_t cSizeMedian = 4;

// Whole pixels of a real size, within the int32 range (the kernel builders
// refuse what is too large for them).
int32_t WholeSize(double Size)
{
    return ClampToInt32(RoundOff(Size));
}

// The circular mean of Dest under Mask (no wrapping): only the pixels of
// Area change, and each reads no farther than Radius, so the mean runs on
// a copy of Area widened by Radius where the picture reaches (at the
// picture's own edges the copy's edges repeat the same pixels) and only
// Area is copied back: the same pixels as the whole picture would give,
// without filtering what the mask leaves alone.
int32_t CircularMeanUnderMask(TrecPicture& Dest, const TrecPicture& Mask, const TRect& Area, int32_t Radius,
                              HGLOBAL Kernel, int32_t Side, int32_t Count)
{
    if (Side == 0)
        return 0;
    if (BitCountOf(Mask) != 8)
        return FilterResultBadPicture;
    const TRect Whole = PictureRect(Dest);
    const TRect Part{static_cast<int32_t>(std::max<int64_t>(Whole.Left, int64_t{Area.Left} - Radius)),
                     static_cast<int32_t>(std::max<int64_t>(Whole.Top, int64_t{Area.Top} - Radius)),
                     static_cast<int32_t>(std::min<int64_t>(Whole.Right, int64_t{Area.Right} + Radius)),
                     static_cast<int32_t>(std::min<int64_t>(Whole.Bottom, int64_t{Area.Bottom} + Radius))};
    const int32_t Bytes = BitCountOf(Dest) / 8;
    TOwnedPicture Copy;
    if (const int32_t Code = AllocPlaneRecord(Copy.R, TPoint{Part.Left, Part.Top}, Part.Right - Part.Left + 1,
                                              Part.Bottom - Part.Top + 1, BitCountOf(Dest), false))
        return Code;
    ForAreaRows(Part, [&](int32_t Y, int64_t Width) {
        std::memcpy(RecPictureGetPixelPtr(Copy.R, Part.Left, Y), RecPictureGetPixelPtr(Dest, Part.Left, Y),
                    static_cast<size_t>(Width * Bytes));
    });
    TBufferMask BufMask;
    if (const int32_t Code = BufMask.Make(Copy.R, &Mask, Area))
        return Code;
    BMPBufFilter(cBufConvolution, Copy.R.pBIHeader, Copy.R.pBits, BufMask.Bits(), Side, Kernel, Count, 0, 0,
                 nullptr, nullptr, 0, 0);
    ForAreaRows(Area, [&](int32_t Y, int64_t Width) {
        std::memcpy(RecPictureGetPixelPtr(Dest, Area.Left, Y), RecPictureGetPixelPtr(Copy.R, Area.Left, Y),
                    static_cast<size_t>(Width * Bytes));
    });
    return 0;
}

// The circle filter repeats the edge pixels of the plane outward, but a
// plane holds a shape's cover and nothing lies outside it. A shape that
// reaches the plane's edge (a fill's plane starts on the shape's left and top
// edges, while the fill stops a pixel short of its right and bottom ones)
// would shrink only from the other sides; so every pixel whose window
// reaches past the edge is left empty, as it is where the window meets empty
// pixels inside the plane.
void EmptyShrinkFrame(const TrecPicture& Dest, const TrecPicture* Mask, const TRect& Area, int32_t Radius)
{
    if (Radius <= 0)
        return;
    const TRect Plane = PictureRect(Dest);
    const TRect& Rows = Mask ? Area : Plane; // outside the work area the mask weighs nothing
    const int64_t InLeft = int64_t{Plane.Left} + Radius, InRight = int64_t{Plane.Right} - Radius;
    const int64_t InTop = int64_t{Plane.Top} + Radius, InBottom = int64_t{Plane.Bottom} - Radius;
    ForAreaRows(Rows, [&](int32_t Y, int64_t Width) {
        const bool WholeRow = Y < InTop || Y > InBottom;
        uint8_t* D = RecPictureGetPixelPtr(Dest, Rows.Left, Y);
        const uint8_t* M = Mask ? RecPictureGetPixelPtr(*Mask, Rows.Left, Y) : nullptr;
        for (int64_t I = 0; I < Width; ++I) {
            const int64_t X = Rows.Left + I;
            if (!WholeRow && X >= InLeft && X <= InRight)
                continue;
            if (!M)
                D[I] = 0;
            else if (M[I] != 0)
                D[I] = MaskBlend8(M[I], 0, D[I]);
        }
    });
}

// One pass of a size filter.
int32_t SizeFilterPass(int32_t Type, double Size, TrecPicture& Dest, const TrecPicture* Mask,
                       const TRect& Area, uint8_t Wrap, HGLOBAL GaussKernel, int32_t GaussLength)
{
    if (Type == cSizeGauss) {
        if (GaussLength > 0)
            BMPVHMaskFilter8(Dest, Mask, GaussKernel, GaussLength, 12, 0, Wrap);
        return 0;
    }
    if (Type == cSizeMedian) {
        // An odd window of about Size pixels, and one rank above the middle.
        const double HalfSize = std::min(std::trunc(Size / 2), double{MaxFilterRadius} + 1);
        const int64_t Half = std::max<int64_t>(1, static_cast<int64_t>(HalfSize));
        const int32_t Side = static_cast<int32_t>(std::min<int64_t>(2 * Half + 1, 2 * MaxFilterRadius + 3));
        const int32_t Rank = Side * Side / 2 + 1;
        return RunThroughMask(Dest, Mask, Area, true, [&](TrecPicture& P) {
            BMPBufFilter(cBufRank, P.pBIHeader, P.pBits, nullptr, Side, nullptr, 0, 0, Rank, nullptr,
                         nullptr, 0, Wrap);
            return 0;
        });
    }
    if (Type > cSizeMedian) // oil painting
        return RunThroughMask(Dest, Mask, Area, true, [&](TrecPicture& P) {
            BMPBufFilter(cBufOilPaint, P.pBIHeader, P.pBits, nullptr, 13, nullptr, 0, 0, 0, nullptr,
                         nullptr, 0, Wrap);
            return 0;
        });

    const int32_t Radius = WholeSize(Size);
    if (Type == cSizeMean && Mask && !Wrap && Radius >= 0 && Radius <= MaxFilterRadius) {
        TOwnedKernel Kernel;
        int32_t Side = 0, Count = 0;
        MakeCircleMask(Radius, Side, Kernel.H, Count);
        return CircularMeanUnderMask(Dest, *Mask, Area, Radius, Kernel.H, Side, Count);
    }
    TBufferMask BufMask;
    if (const int32_t Code = BufMask.Make(Dest, Mask, Area))
        return Code;
    if (Type == cSizeMax || Type == cSizeMin) {
        if (const int32_t Code = BMPCircleMaskFilter(Type == cSizeMax ? 1 : 0, Dest.pBIHeader, Dest.pBits,
                                                     BufMask.Bits(), Radius, Wrap))
            return Code;
        if (Type == cSizeMin && !Wrap)
            EmptyShrinkFrame(Dest, Mask, Area, Radius);
        return 0;
    }
    TOwnedKernel Kernel;
    int32_t Side = 0, Count = 0;
    MakeCircleMask(Radius, Side, Kernel.H, Count);
    if (Side == 0)
        return 0;
    BMPBufFilter(cBufConvolution, Dest.pBIHeader, Dest.pBits, BufMask.Bits(), Side, Kernel.H, Count, 0, 0,
                 nullptr, nullptr, 0, Wrap);
    return 0;
}

struct TSizeArgs {
    int32_t Type = cSizeGauss;
    double Size = 0;
    int32_t Passes = 1;
    uint8_t Wrap = 0;
};

int32_t ReadSizeArgs(const TCall& Call, TSizeArgs& A)
{
    if (const int32_t Code = FirstCode(Call.Real(4, A.Size), Call.Int(5, A.Passes, 1)))
        return Code;
    A.Type = Call.Choice(3);
    A.Wrap = static_cast<uint8_t>(Call.Choice(6));
    if (A.Size < 0) {
        // A negative size turns maximum into minimum and back.
        if (A.Type == cSizeMax)
            A.Type = cSizeMin;
        else if (A.Type == cSizeMin)
            A.Type = cSizeMax;
        else
            return PaintArgRefused(4);
        A.Size = -A.Size;
    }
    return 0;
}

// How far from the pixel it writes one pass reads (a size the kernels
// refuse paints nothing, and reads no farther than the largest).
int32_t SizePassReach(int32_t Type, double Size)
{
    Size = std::min(Size, double{MaxFilterRadius});
    if (Type == cSizeGauss) {
        int32_t Shift = 0;
        double Variance = 0;
        return GetGaussKernelSize(Size, Shift, Variance);
    }
    if (Type == cSizeMedian)
        return static_cast<int32_t>(std::max(1.0, std::trunc(Size / 2)));
    if (Type > cSizeMedian)
        return 6; // the oil painting's 13 x 13 strokes
    return std::max(WholeSize(Size), 0);
}

int32_t FilterSize(const TCall& Call, const uint8_t* Abort, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    TSizeArgs A;
    if (const int32_t Code = ReadSizeArgs(Call, A))
        return Code;
    if (A.Size == 0 || A.Passes < 1)
        return 0;
    // The oil painting's strokes fall where random numbers drawn over the
    // whole destination put them.
    if (A.Wrap || A.Type > cSizeMedian)
        Rect1 = cEverywhere;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    TOwnedKernel Gauss;
    int32_t GaussLength = 0;
    if (A.Type == cSizeGauss) {
        int32_t Shift = 12;
        MakeGaussKernel(A.Size, GaussLength, Gauss.H, Shift);
    }
    for (int32_t I = 0; I < A.Passes && !Aborted(Abort); ++I)
        if (const int32_t Code =
                SizeFilterPass(A.Type, A.Size, *W.Dest, W.Mask, W.Area, A.Wrap, Gauss.H, GaussLength))
            return Code;
    return 0;
}

int32_t FilterSizeReach(const TCall& Call)
{
    TSizeArgs A;
    if (ReadSizeArgs(Call, A) != 0 || A.Size == 0 || A.Passes < 1)
        return 0;
    return static_cast<int32_t>(
        std::min<int64_t>(int64_t{SizePassReach(A.Type, A.Size)} * A.Passes, cInt32Max));
}

// Bytes of Area limited to Lo..Hi.
void LimitBytes(const TrecPicture& P, const TRect& Area, int32_t Lo, int32_t Hi)
{
    const int32_t Bytes = BitCountOf(P) / 8;
    ForAreaRows(Area, [&](int32_t Y, int64_t Width) {
        uint8_t* D = RecPictureGetPixelPtr(P, Area.Left, Y);
        for (int64_t I = 0; I < Width * Bytes; ++I) {
            if (D[I] < Lo)
                D[I] = static_cast<uint8_t>(Lo);
            else if (D[I] > Hi)
                D[I] = static_cast<uint8_t>(Hi);
        }
    });
}

// The emboss kernel's difference of two pixels times the gain "適用度(%)"
// (100 = the difference itself), plus Offset. A first measuring pass tells
// whether the results stay within Min..Max; when they do not, the results
// are limited to that range before they are weighted by the mask.
int32_t FilterEmboss(const TCall& Call, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    double Size;
    int32_t Angle, Percent, Offset, Lo, Hi;
    if (const int32_t Code = FirstCode(Call.Real(3, Size, -1), Call.Int(4, Angle), Call.Int(5, Percent, 100),
                                       Call.Int(6, Offset, 128), Call.Int(7, Lo, 0), Call.Int(8, Hi, 255)))
        return Code;
    const uint8_t Wrap = static_cast<uint8_t>(Call.Choice(9));
    if (Wrap)
        Rect1 = cEverywhere;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint || Percent <= 0)
        return 0;
    const int32_t Divisor = static_cast<int32_t>(std::clamp<int64_t>(int64_t{Percent} * 256 / 100, 1, 65536));
    TOwnedKernel Kernel;
    int32_t Side = 0, Scale = 0;
    MakeFilterEmboss(WholeSize(Size), Angle, Divisor, Side, Kernel.H, Scale);
    if (Side == 0)
        return 0;
    TrecPicture& Dest = *W.Dest;
    TBufferMask BufMask;
    if (const int32_t Code = BufMask.Make(Dest, W.Mask, W.Area))
        return Code;
    bool Inside = Lo <= 0 && Hi >= 255;
    if (!Inside) {
        int32_t MeasuredMin = 255, MeasuredMax = 0;
        BMPBufFilter(cBufConvolution, Dest.pBIHeader, Dest.pBits, BufMask.Bits(), Side, Kernel.H, Scale,
                     Offset, 0, &MeasuredMin, &MeasuredMax, 1, Wrap);
        Inside = MeasuredMin >= Lo && MeasuredMax <= Hi;
    }
    if (Inside) {
        BMPBufFilter(cBufConvolution, Dest.pBIHeader, Dest.pBits, BufMask.Bits(), Side, Kernel.H, Scale,
                     Offset, 0, nullptr, nullptr, 0, Wrap);
        return 0;
    }
    return RunThroughMask(Dest, W.Mask, W.Area, true, [&](TrecPicture& P) {
        BMPBufFilter(cBufConvolution, P.pBIHeader, P.pBits, nullptr, Side, Kernel.H, Scale, Offset, 0,
                     nullptr, nullptr, 0, Wrap);
        LimitBytes(P, W.Area, Lo, Hi);
        return 0;
    });
}

// Half the kernel's side (3 for a size of 2, else the size).
int32_t FilterEmbossReach(const TCall& Call)
{
    double Size;
    int32_t Percent;
    if (FirstCode(Call.Real(3, Size, -1), Call.Int(5, Percent, 100)) != 0 || Percent <= 0)
        return 0;
    const int32_t Whole = std::min(WholeSize(Size), 2 * MaxFilterRadius + 1);
    return Whole < 2 ? 0 : Whole == 2 ? 1 : Whole / 2;
}

// A blur along a line of "Size" pixels at "角度".
int32_t FilterGradateMove(const TCall& Call, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    double Size;
    int32_t Angle;
    if (const int32_t Code = FirstCode(Call.Real(3, Size), Call.Int(4, Angle)))
        return Code;
    const uint8_t Wrap = static_cast<uint8_t>(Call.Choice(5));
    if (Wrap)
        Rect1 = cEverywhere;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    TOwnedKernel Kernel;
    int32_t Side = 0, Sum = 0;
    MakeFilterGradateMove(WholeSize(Size), Angle, Side, Kernel.H, Sum);
    if (Side == 0)
        return 0;
    TBufferMask BufMask;
    if (const int32_t Code = BufMask.Make(*W.Dest, W.Mask, W.Area))
        return Code;
    BMPBufFilter(cBufConvolution, W.Dest->pBIHeader, W.Dest->pBits, BufMask.Bits(), Side, Kernel.H, Sum, 0,
                 0, nullptr, nullptr, 0, Wrap);
    return 0;
}

int32_t FilterGradateMoveReach(const TCall& Call)
{
    double Size;
    if (Call.Real(3, Size) != 0)
        return 0;
    const int32_t Length = std::min(WholeSize(Size), 2 * MaxFilterRadius + 1);
    return Length <= 1 ? 0 : Length / 2;
}

int32_t FilterSobel(const TCall& Call, TRect& Rect2, bool MeasureOnly)
{
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    return RunThroughMask(*W.Dest, W.Mask, W.Area, true, [&](TrecPicture& P) {
        BMPBufFilter(cBufSobel, P.pBIHeader, P.pBits, nullptr, 3, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0);
        return 0;
    });
}

// "通常", "薄く", "濃く" are the diffusion modes 0, 1 and 2.
int32_t FilterDiffuse(const TCall& Call, const uint8_t* Abort, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    int32_t Passes;
    if (const int32_t Code = Call.Int(4, Passes, 1))
        return Code;
    const int32_t Mode = Call.Choice(3);
    const uint8_t Wrap = static_cast<uint8_t>(Call.Choice(5));
    // One random number is drawn for every pixel of the destination.
    if (Passes > 0)
        Rect1 = cEverywhere;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint)
        return 0;
    TBufferMask BufMask;
    if (const int32_t Code = BufMask.Make(*W.Dest, W.Mask, W.Area))
        return Code;
    for (int32_t I = 0; I < Passes && !Aborted(Abort); ++I)
        BMPBufFilter(cBufDiffuse, W.Dest->pBIHeader, W.Dest->pBits, BufMask.Bits(), 3, nullptr, 0, 0, Mode,
                     nullptr, nullptr, 0, Wrap);
    return 0;
}

// ---------------------------------------------------------------------------
// Lighting and glass

int32_t Light(const TCall& Call, TRect& Rect2, bool MeasureOnly)
{
    const std::string LightText = Call.Text(4);
    if (LightText.empty())
        return 1;
    int32_t Reflectance;
    if (const int32_t Code = Call.Int(7, Reflectance, 0))
        return Code;
    const uint8_t Quality = static_cast<uint8_t>(Call.Choice(8));
    const TrecPicture* Bump = Call.Picture(3);
    const TrecPath* Path = Call.Path(5);
    // A text that breaks off part-way still lights with the lights read
    // before the break; a text with none paints nothing.
    TLightsAmb Lights;
    StrToLights(Lights, LightText);

    TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (Bump && !RectEmpty(Rect2))
        RectIntersect(Rect2, PictureRect(*Bump));
    if (!W.Paint || Lights.Lights.empty() || (Bump && !HasPixels(*Bump)))
        return 0;

    const TrecPicture* Reflection = nullptr;
    if (const char* Value = Call.Text(6); Value && Call.Store())
        Reflection = GetFillPictParamPicture(Value, *Call.Store());
    if (!Reflection)
        Reflectance = 0;
    const TRect* Bounds = Path && !RectEmpty(Path->Bounds) ? &Path->Bounds : nullptr;
    return RecPictureFilter(7, *W.Dest, W.Mask, static_cast<const void*>(&Lights),
                            static_cast<const void*>(Bump), static_cast<const void*>(Reflection), Reflectance,
                            static_cast<const void*>(Bounds), static_cast<const void*>(&Quality));
}

// Refraction through the bump plane; without one the glass is flat and
// moves nothing.
int32_t Glass(const TCall& Call, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    int32_t Depth;
    if (const int32_t Code = Call.Int(4, Depth, 25))
        return Code;
    const uint8_t Wrap = static_cast<uint8_t>(Call.Choice(5));
    const TrecPicture* Bump = Call.Picture(3);
    Rect1 = cEverywhere;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint || !Bump || !HasPixels(*Bump))
        return 0;
    TOwnedPicture Source;
    if (const int32_t Code = MakeCopy(*W.Dest, Source.R, true))
        return Code;
    BMPAllBufFilter(0, *W.Dest, Source.R, W.Mask, Wrap, *Bump, Depth);
    return 0;
}

// ---------------------------------------------------------------------------
// Stained glass

struct TLattice {
    std::vector<TDPoint> Points; // row by row
    int32_t Columns = 0;         // points per row
    int32_t Rows = 0;
    bool Hex = false;

    const TDPoint& At(int32_t C, int32_t R) const
    {
        return Points[static_cast<size_t>(R) * static_cast<size_t>(Columns) + static_cast<size_t>(C)];
    }
};

// Every cell's corners in order round the cell. A rectangular cell has the
// four points (c, r), (c + 1, r), (c + 1, r + 1), (c, r + 1). The hexagonal
// lattice holds the corners of pointed-top hexagons on zigzag rows: a point
// with c + r odd is a row's upper corner, so the hexagon between rows r and
// r + 1 centred on such a column c has the corners c - 1 .. c + 1 of both.
template <class TCell>
void ForEachCell(const TLattice& L, TCell&& Cell)
{
    std::vector<TDPoint> Corners;
    for (int32_t R = 0; R + 1 < L.Rows; ++R) {
        if (!L.Hex) {
            for (int32_t C = 0; C + 1 < L.Columns; ++C) {
                Corners = {L.At(C, R), L.At(C + 1, R), L.At(C + 1, R + 1), L.At(C, R + 1)};
                Cell(Corners);
            }
            continue;
        }
        for (int32_t C = 1; C + 1 < L.Columns; ++C) {
            if ((C + R) % 2 == 0)
                continue;
            Corners = {L.At(C - 1, R),     L.At(C, R),     L.At(C + 1, R),
                       L.At(C + 1, R + 1), L.At(C, R + 1), L.At(C - 1, R + 1)};
            Cell(Corners);
        }
    }
}

// The pixel colour at the rounded point; outside the picture the point wraps
// or is moved to the nearest edge. 24-bit gives 0x00BBGGRR, 8-bit the grey.
uint32_t ColourAt(const TrecPicture& P, const TDPoint& Pt, bool Wrap)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    const int64_t W = H->biWidth;
    const int64_t Ht = H->biHeight;
    int64_t X = RoundOff(Pt.X) - P.iLeft;
    int64_t Y = RoundOff(Pt.Y) - P.iTop;
    if (Wrap) {
        X = (X % W + W) % W;
        Y = (Y % Ht + Ht) % Ht;
    } else {
        X = std::clamp<int64_t>(X, 0, W - 1);
        Y = std::clamp<int64_t>(Y, 0, Ht - 1);
    }
    const uint8_t* Px = RecPictureGetPixelPtr(P, static_cast<int32_t>(P.iLeft + X),
                                              static_cast<int32_t>(P.iTop + Y));
    if (H->biBitCount == 24)
        return Px[2] | (uint32_t{Px[1]} << 8) | (uint32_t{Px[0]} << 16);
    return Px[0];
}

// One open polyline through the points, rounded to whole pixels.
int32_t StrokePolyline(TrecPicture& P, const std::vector<TDPoint>& Points, const TrecPenData& Pen,
                       bool AntiAlias)
{
    TrecPath Path;
    RecPolyLineSetCount(Path, static_cast<int32_t>(Points.size()));
    for (size_t I = 0; I < Points.size(); ++I) {
        Path.Points[I] = TPoint{ClampToInt32(RoundOff(Points[I].X)), ClampToInt32(RoundOff(Points[I].Y))};
        Path.pabType[I] = I == 0 ? PT_MOVETO : PT_LINETO;
    }
    RecPathCalcBounds(Path);
    return DIBSectionDrawPath(P, Path, Pen, true, 1.0, AntiAlias);
}

// The lattice's lines: every row; then every column of the rectangular
// lattice, or the upright sides of the hexagons (from a lower corner,
// c + r even, down to the next row).
int32_t StrokeLattice(TrecPicture& P, const TLattice& L, const TrecPenData& Pen, bool AntiAlias)
{
    std::vector<TDPoint> Line;
    for (int32_t R = 0; R < L.Rows; ++R) {
        Line.clear();
        for (int32_t C = 0; C < L.Columns; ++C)
            Line.push_back(L.At(C, R));
        if (const int32_t Code = StrokePolyline(P, Line, Pen, AntiAlias))
            return Code;
    }
    for (int32_t C = 0; C < L.Columns; ++C) {
        if (!L.Hex) {
            Line.clear();
            for (int32_t R = 0; R < L.Rows; ++R)
                Line.push_back(L.At(C, R));
            if (const int32_t Code = StrokePolyline(P, Line, Pen, AntiAlias))
                return Code;
            continue;
        }
        for (int32_t R = 0; R + 1 < L.Rows; ++R) {
            if ((C + R) % 2 != 0)
                continue;
            Line = {L.At(C, R), L.At(C, R + 1)};
            if (const int32_t Code = StrokePolyline(P, Line, Pen, AntiAlias))
                return Code;
        }
    }
    return 0;
}

int32_t StainedGlass(const TCall& Call, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    int32_t Size, LineWidth, LineColour, Shake, DX, DY;
    if (const int32_t Code = FirstCode(Call.Int(4, Size, 10), Call.Int(5, LineWidth, 5), Call.Int(6, LineColour, 0),
                                       Call.Int(7, Shake, 0), Call.Int(8, DX, 0), Call.Int(9, DY, 0)))
        return Code;
    TLattice L;
    L.Hex = Call.Choice(3) == 1;
    const bool Wrap = Call.Choice(10) != 0;
    const bool AntiAlias = Call.Choice(11) != 0;
    // The lattice is laid over the work area, and each cell takes the colour
    // at its centre, which may lie anywhere in the destination.
    if (Size > 0)
        Rect1 = cEverywhere;
    const TWork W = MakeWork(Call, Rect2, MeasureOnly);
    if (!W.Paint || Size <= 0)
        return 0;

    const int32_t AreaWidth = ClampToInt32(int64_t{W.Area.Right} - W.Area.Left + 1);
    const int32_t AreaHeight = ClampToInt32(int64_t{W.Area.Bottom} - W.Area.Top + 1);
    const double Jitter = Shake / 100.0;
    if (L.Hex)
        MakeHexPoint(Size, Size, DX, Wrap, L.Points, L.Columns, L.Rows, Jitter, AreaWidth, AreaHeight, DY);
    else
        MakeRectPoint(Size, Size, DX, Wrap, L.Points, L.Columns, L.Rows, Jitter, AreaWidth, AreaHeight, DY);
    for (TDPoint& Pt : L.Points) {
        Pt.X += W.Area.Left;
        Pt.Y += W.Area.Top;
    }

    // Colours first: painted cells must not colour their neighbours.
    std::vector<uint32_t> Colours;
    ForEachCell(L, [&](const std::vector<TDPoint>& Corners) {
        TDPoint Centre;
        for (const TDPoint& Pt : Corners) {
            Centre.X += Pt.X;
            Centre.Y += Pt.Y;
        }
        Centre.X /= static_cast<double>(Corners.size());
        Centre.Y /= static_cast<double>(Corners.size());
        Colours.push_back(ColourAt(*W.Dest, Centre, Wrap));
    });

    const int32_t OverSample = LineWidth < 1 && AntiAlias ? 8 : 1;
    TrecPenData Pen{};
    Pen.Width = LineWidth;
    Pen.Style = PenCapRound | PenJoinRound;
    SetPenDataColor(Pen, static_cast<uint32_t>(LineColour));
    return RunThroughMask(*W.Dest, W.Mask, W.Area, true, [&](TrecPicture& P) {
        size_t I = 0;
        ForEachCell(L, [&](const std::vector<TDPoint>& Corners) {
            RecPictureFillConvexPolygon(P, Corners, Colours[I++], OverSample);
        });
        return LineWidth < 1 ? 0 : StrokeLattice(P, L, Pen, AntiAlias);
    });
}

} // namespace

int32_t PaintDestinationReach(std::string_view Name, void* const* Args)
{
    struct TReach {
        std::string_view Name;
        int32_t (*Of)(const TCall&);
    };
    static constexpr TReach Reaches[] = {
        {"NilPictureFilterSize", FilterSizeReach},
        {"NilPictureFilterEmboss", FilterEmbossReach},
        {"NilPictureFilterGradateMove", FilterGradateMoveReach},
        {"NilPictureFilterSobel", [](const TCall&) { return 1; }},
        // Facets choose among the 3 x 3 squares of a 5 x 5 window.
        {"NilPictureFilterNoParam", [](const TCall& C) { return C.Choice(3) != 0 ? 2 : 0; }},
    };
    if (!Args)
        return 0;
    for (const TReach& R : Reaches)
        if (R.Name == Name) {
            const TPaintFunctionRec* Rec = FindRec(Name);
            return Rec ? R.Of(TCall(*Rec, Args)) : 0;
        }
    return 0;
}

// ---------------------------------------------------------------------------
// Entry points

int32_t NilPlaneContBright(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                           bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneContBright");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return ContBright(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureContBright(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                             bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureContBright");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return ContBright(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPlaneFilterNoParam(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                              bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneFilterNoParam");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterNoParam(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureFilterNoParam(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                                TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureFilterNoParam");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterNoParam(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPlaneLevel(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                      bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneLevel");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return Level(Call, Rect2, MeasureOnly); });
}

int32_t NilPictureLevel(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                        bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureLevel");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return Level(Call, Rect2, MeasureOnly); });
}

int32_t NilPlaneToneMetal(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                          bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneToneMetal");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return ToneMetal(Call, Rect2, MeasureOnly); });
}

int32_t NilPictureToneMetal(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                            bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureToneMetal");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return ToneMetal(Call, Rect2, MeasureOnly); });
}

int32_t NilPictureHSI(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                      bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureHSI");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return ColourShift(4, Call, Rect2, MeasureOnly); });
}

int32_t NilPictureHLS(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                      bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureHLS");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return ColourShift(5, Call, Rect2, MeasureOnly); });
}

int32_t NilPictureYCbCr(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                        bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureYCbCr");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return ColourShift(6, Call, Rect2, MeasureOnly); });
}

int32_t NilPictureLight(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                        bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureLight");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return Light(Call, Rect2, MeasureOnly); });
}

int32_t NilPlaneCloud(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                      bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneCloud");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return Cloud(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureCloud(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                        bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureCloud");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return Cloud(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPlaneNoise(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                      bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneNoise");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return Noise(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureNoise(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                        bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureNoise");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return Noise(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPlaneFilterSize(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                           TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneFilterSize");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterSize(Call, Abort, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureFilterSize(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureFilterSize");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterSize(Call, Abort, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPlaneFilterEmboss(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                             bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneFilterEmboss");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterEmboss(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureFilterEmboss(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                               TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureFilterEmboss");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterEmboss(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPlaneFilterGradateMove(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                                  TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneFilterGradateMove");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterGradateMove(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureFilterGradateMove(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                                    TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureFilterGradateMove");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterGradateMove(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPlaneFilterSobel(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                            bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneFilterSobel");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterSobel(Call, Rect2, MeasureOnly); });
}

int32_t NilPictureFilterSobel(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                              bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureFilterSobel");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterSobel(Call, Rect2, MeasureOnly); });
}

int32_t NilPlaneFilterDiffuse(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                              TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneFilterDiffuse");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterDiffuse(Call, Abort, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureFilterDiffuse(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                                TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureFilterDiffuse");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return FilterDiffuse(Call, Abort, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureGlass1(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                         bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureGlass1");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return Glass(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPlaneStainedGlass(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                             bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPlaneStainedGlass");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return StainedGlass(Call, Rect1, Rect2, MeasureOnly); });
}

int32_t NilPictureStainedGlass(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                               TRect& Rect2, bool MeasureOnly)
{
    static const TPaintFunctionRec* const Rec = FindRec("NilPictureStainedGlass");
    return RunFunction(Rec, Result, Args, Rect1, Rect2,
                       [&](const TCall& Call) { return StainedGlass(Call, Rect1, Rect2, MeasureOnly); });
}
