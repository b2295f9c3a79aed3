#include "paint/paint_functions_fill.h"

#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/pen_text.h"
#include "foundation/rec_path.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "store/picture_store.h"
#include "paint/fill_value.h"
#include "paint/gradation_object.h"
#include "paint/paint_function_table.h"
#include "paint/picture_cache.h"
#include "raster/bmp_conv.h"
#include "raster/bmp_filter.h"
#include "raster/draw_path.h"
#include "raster/gradation_picture.h"
#include "raster/merge.h"
#include "raster/picture_transfer.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numbers>
#include <span>
#include <string>

void TPaintRecordDeleter::operator()(TrecPicture* P) const
{
    if (!P)
        return;
    try {
        RecPictureClear(*P);
    } catch (const Exception&) {
        // A deleter cannot raise; the record's memory is lost at worst.
    }
    delete P;
}

namespace {

constexpr TRect cEmptyRect{-1, -1, -2, -2};
// Curve flattening of the rasteriser, in sub-samples.
constexpr double cPathTolerance = 1.0;
constexpr int64_t cInt32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t cInt32Max = std::numeric_limits<int32_t>::max();
// The first rectangle of a call whose pixels follow where the destination's
// edges lie: the whole page range.
constexpr TRect cEverywhere{std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min(),
                            std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max()};
// Pen style bit whose miter limit widens the drawn outline.
constexpr uint32_t cPenMiterBit = 0x2000;
// Margin terms beyond this are far too large anyway, and three of them still add up.
constexpr int64_t cMarginTermLimit = int64_t{1} << 61;

int32_t ClampInt32(int64_t V)
{
    return static_cast<int32_t>(std::clamp(V, cInt32Min, cInt32Max));
}

int32_t ClampByte(int64_t V)
{
    return static_cast<int32_t>(std::clamp<int64_t>(V, 0, 255));
}

bool IsEmpty(const TRect& R)
{
    return R.Left > R.Right || R.Top > R.Bottom;
}

// The record's rectangle from its header (measure-only records have one too);
// right and bottom are worked out in 64 bits and clamped, never wrapped.
TRect PictureRect(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    if (!H || H->biWidth <= 0 || H->biHeight == 0)
        return cEmptyRect;
    const int64_t Height = H->biHeight < 0 ? -int64_t{H->biHeight} : H->biHeight;
    return TRect{P.iLeft, P.iTop, ClampInt32(int64_t{P.iLeft} + H->biWidth - 1),
                 ClampInt32(int64_t{P.iTop} + Height - 1)};
}

TRect Intersect(TRect A, const TRect& B)
{
    RectIntersect(A, B);
    return A;
}

// The destination's rectangle, cut to the mask's when there is one.
TRect WorkRect(const TrecPicture& Dest, const TrecPicture* Mask)
{
    const TRect R = PictureRect(Dest);
    return Mask ? Intersect(R, PictureRect(*Mask)) : R;
}

TRect Widen(const TRect& R, int64_t DX, int64_t DY)
{
    if (IsEmpty(R))
        return cEmptyRect;
    return TRect{ClampInt32(R.Left - DX), ClampInt32(R.Top - DY), ClampInt32(R.Right + DX),
                 ClampInt32(R.Bottom + DY)};
}

int64_t RectWidth(const TRect& R)
{
    return IsEmpty(R) ? 0 : int64_t{R.Right} - R.Left + 1;
}

int64_t RectHeight(const TRect& R)
{
    return IsEmpty(R) ? 0 : int64_t{R.Bottom} - R.Top + 1;
}

// Result nil and both rectangles empty: the state every function starts from.
void Begin(void*& Result, TRect& Rect1, TRect& Rect2)
{
    Result = nullptr;
    Rect1 = cEmptyRect;
    Rect2 = cEmptyRect;
}

// Rect1 first: the caller may pass one variable for both.
void Report(TRect& Rect1, TRect& Rect2, const TRect& First, const TRect& Second)
{
    Rect1 = First;
    Rect2 = Second;
}

// Percent 0..100 to the 0..255 opacity of the pixel routines.
int32_t OpacityFromPercent(int32_t Percent)
{
    return ClampByte(int64_t{Percent} * 255 / 100);
}

// A pen text that does not parse draws with width 1 and miter 1.
TrecPenData ReadPen(const char* Text)
{
    TrecPenData Pen;
    if (!StrToPenData(Text ? std::string(Text) : std::string(), Pen)) {
        Pen.Width = 1;
        Pen.MiterLimit = 1.0;
    }
    return Pen;
}

// A record owned for the duration of a call.
struct TScopedRecord {
    TrecPicture P;
    TScopedRecord() = default;
    TScopedRecord(const TScopedRecord&) = delete;
    TScopedRecord& operator=(const TScopedRecord&) = delete;
    ~TScopedRecord()
    {
        try {
            RecPictureClear(P);
        } catch (const Exception&) {
        }
    }
};

const TPaintFunctionRec* FindRec(const char* Name)
{
    const TPaintFunctionRec* Table = PaintFunctionTable();
    const int32_t I = FindPaintFunction(Table, Name);
    return I < 0 ? nullptr : &Table[I];
}

// One call's arguments, read through the function's table entry.
class TCall {
public:
    TCall(const TPaintFunctionRec* Rec, void* const* Args) : FRec(Rec), FArgs(Args) {}

    bool Valid() const { return FRec != nullptr && FArgs != nullptr; }
    int32_t ParamCount() const { return FRec->ParamCount; }

    int32_t CheckRequired() const
    {
        return CheckRequiredArgs(
            FRec->Required,
            std::span<void* const>(FArgs, static_cast<size_t>(FRec->ParamCount) + 1));
    }
    const char* Text(int32_t I) const
    {
        return I < FRec->ParamCount ? static_cast<const char*>(FArgs[I]) : nullptr;
    }
    template <class T> T* Object(int32_t I) const
    {
        return I < FRec->ParamCount ? static_cast<T*>(FArgs[I]) : nullptr;
    }
    TListRecPict* Store() const { return static_cast<TListRecPict*>(FArgs[FRec->ParamCount]); }

    int32_t Choice(int32_t I) const
    {
        if (I >= FRec->ParamCount || FRec->Params[I].Kind != pkChoice)
            return 0;
        return IndexOfChoice(Text(I), FRec->Params[I].Limits.Choices);
    }
    bool Yes(int32_t I) const { return Choice(I) == 1; }

    // Numbers of parameter I (0-based). A missing or unreadable text takes
    // the default when there is one and is refused otherwise; a value below
    // the parameter's floor is refused. The result is 0 or the refusal code.
    int32_t Int(int32_t I, int32_t& Value) const { return ReadInt(I, nullptr, Floor(I), Value); }
    int32_t Int(int32_t I, int32_t Default, int32_t& Value) const
    {
        return ReadInt(I, &Default, Floor(I), Value);
    }
    int32_t IntWithFloor(int32_t I, double Floor, int32_t& Value) const
    {
        return ReadInt(I, nullptr, Floor, Value);
    }
    int32_t Real(int32_t I, double& Value) const
    {
        const TRealArg A = ReadRealArg(Text(I), 0.0);
        if (!A.Parsed || !std::isfinite(A.Value) || A.Value < Floor(I))
            return PaintArgRefused(I + 1);
        Value = A.Value;
        return 0;
    }

private:
    double Floor(int32_t I) const
    {
        return I < FRec->ParamCount ? ParamArgFloor(FRec->Params[I]) : -999.0;
    }
    int32_t ReadInt(int32_t I, const int32_t* Default, double Floor, int32_t& Value) const
    {
        const TIntArg A = ReadIntArg(Text(I), 0);
        if (!A.Parsed) {
            if (!Default)
                return PaintArgRefused(I + 1);
            Value = *Default;
            return 0;
        }
        if (A.Value < Floor)
            return PaintArgRefused(I + 1);
        Value = A.Value;
        return 0;
    }

    const TPaintFunctionRec* FRec;
    void* const* FArgs;
};

// ---------------------------------------------------------------- making objects

// PlaneMake and PictureMake.
int32_t MakeRecord(const TCall& C, int32_t BitCount, void*& Result, TRect& Rect1, TRect& Rect2,
                   bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    int32_t X = 0, Y = 0, W = 0, H = 0, Grey = 0;
    if (int32_t E = C.Int(0, X); E || (E = C.Int(1, Y)) || (E = C.Int(2, W)) || (E = C.Int(3, H)))
        return E;
    if (BitCount == 8)
        if (const int32_t E = C.Int(4, 0, Grey))
            return E;
    // The right and bottom edges must be page coordinates too.
    if (W < 1 || H < 1 || int64_t{X} + W - 1 > cInt32Max || int64_t{Y} + H - 1 > cInt32Max)
        return cPaintErrorOutOfMemory;
    TPaintRecordPtr Record(new TrecPicture{});
    if (const int32_t E = AllocPlaneRecord(*Record, TPoint{X, Y}, W, H, BitCount, MeasureOnly))
        return E;
    if (!MeasureOnly && Grey != 0)
        RecPictureFillColor(*Record, ClampByte(Grey));
    Report(Rect1, Rect2, cEmptyRect, PictureRect(*Record));
    Result = Record.release();
    return 0;
}

// PlaneMakeForPath2, PictureMakeForPath2 and PlaneSetReferSize.
enum class TPathSizedKind { Plane, Picture, ReferSize };

int32_t MakeForPathSized(const TCall& C, TPathSizedKind Kind, void*& Result, TRect& Rect1,
                         TRect& Rect2, bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    const TrecPath* Path = C.Object<TrecPath>(0);
    const int32_t FillChoice = C.Choice(2);
    int32_t Grey = 0;
    // The picture's fourth parameter is a placeholder.
    if (Kind != TPathSizedKind::Picture)
        if (const int32_t E = C.Int(3, Grey))
            return E;
    int32_t Margin1 = 0;
    double Margin2 = 0, Factor = 0, Margin3X = 0, Margin3Y = 0;
    if (int32_t E = C.Int(4, Margin1); E || (E = C.Real(5, Margin2)))
        return E;
    if (C.Choice(6) == 1) {
        // The margin a softening needs: no softening reaches farther than
        // the largest kernel, whatever radius the parameter's range takes.
        int32_t Shift = 0;
        double Variance = 0;
        Margin2 = GetGaussKernelSize(std::min(Margin2, double{MaxFilterRadius}), Shift, Variance);
    }
    if (int32_t E = C.Real(7, Factor); E || (E = C.Real(8, Margin3X)) || (E = C.Real(9, Margin3Y)))
        return E;

    int64_t M1 = std::max(Margin1, 0);
    const bool Outline = FillChoice == 0 || FillChoice == 2 || FillChoice == 3 ||
                         (FillChoice == 4 && Path->Flag == 0);
    if (Outline)
        M1 += ReadPen(C.Text(1)).Width / 2 + 2;
    const int64_t M2 = RoundOff(Margin2 * Factor);
    const auto Sum = [](int64_t A, int64_t B, int64_t D) {
        const auto Term = [](int64_t V) {
            return std::clamp(V, -cMarginTermLimit, cMarginTermLimit);
        };
        return ClampInt32(Term(A) + Term(B) + Term(D));
    };
    const int32_t MX = Sum(RoundOff(std::fabs(Margin3X)), M1, M2);
    const int32_t MY = Sum(RoundOff(std::fabs(Margin3Y)), M1, M2);

    const bool NoPixels = MeasureOnly || Kind == TPathSizedKind::ReferSize;
    const int32_t BitCount = Kind == TPathSizedKind::Picture ? 24 : 8;
    TPaintRecordPtr Record(new TrecPicture{});
    if (const int32_t E =
            AllocPlaneRecordForPath(*Record, *Path, BitCount, NoPixels, MX, MY, MX, MY))
        return E;
    if (!NoPixels && BitCount == 8 && Grey != 0)
        RecPictureFillColor(*Record, ClampByte(Grey));
    if (Kind == TPathSizedKind::ReferSize) {
        const TRect R = PictureRect(*Record);
        Report(Rect1, Rect2, R, R);
    }
    Result = Record.release();
    return 0;
}

// Source pixels into a duplicate of the same size.
void CopyPixels(TrecPicture& Dest, const TrecPicture& Src)
{
    const BITMAPINFOHEADER* D = RecPictureHeader(Dest);
    const BITMAPINFOHEADER* S = RecPictureHeader(Src);
    if (D->biBitCount == S->biBitCount) {
        const int64_t Size = std::min(RecPictureGetImageSize(Dest), RecPictureGetImageSize(Src));
        std::memcpy(Dest.pBits, Src.pBits, static_cast<size_t>(Size));
    } else {
        RecPictureMerge(Dest, Src, nullptr, 255, 0);
    }
}

// PlaneDuplicate (five parameters) and PictureDuplicate (one).
int32_t Duplicate(const TCall& C, void*& Result, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    const TrecPicture* Src = C.Object<TrecPicture>(0);
    const BITMAPINFOHEADER* SH = RecPictureHeader(*Src);
    if (!SH || SH->biWidth <= 0 || SH->biHeight <= 0)
        return PaintArgRefused(1);
    const bool Plane = C.ParamCount() >= 5;
    const bool NoCopy = Plane && C.Yes(1);
    int32_t BitCount = SH->biBitCount;
    if (Plane && C.Text(2))
        BitCount = C.Choice(2) == 1 ? 16 : 8;
    const char* FillFlag = Plane ? C.Text(3) : nullptr;
    const bool NoPixels =
        MeasureOnly || (Plane && C.Yes(4)) ||
        (FillFlag && (FillFlag[0] == FillMethodNone || FillFlag[0] == FillMethodNoPaint));
    TPaintRecordPtr Record(new TrecPicture{});
    if (const int32_t E = AllocPlaneRecord(*Record, TPoint{Src->iLeft, Src->iTop}, SH->biWidth,
                                           SH->biHeight, BitCount, NoPixels))
        return E;
    if (!NoPixels && !NoCopy && Src->pBits)
        CopyPixels(*Record, *Src);
    Report(Rect1, Rect2, cEmptyRect, PictureRect(*Record));
    Result = Record.release();
    return 0;
}

// ---------------------------------------------------------------- area fill

// The outline passes of a fill choice, in the given colour.
int32_t DrawPasses(TrecPicture& Picture, const TrecPath& Path, const TrecPenData& Pen,
                   int32_t FillChoice, bool AntiAlias, uint32_t Color)
{
    const auto Pass = [&](bool Stroke, uint32_t PassColor) {
        TrecPenData P = Pen;
        SetPenDataColor(P, PassColor);
        return DIBSectionDrawPath(Picture, Path, P, Stroke, cPathTolerance, AntiAlias);
    };
    switch (FillChoice) {
    case 1: // fill
        return Pass(false, Color);
    case 2: // outline and fill
        if (const int32_t E = Pass(true, Color))
            return E;
        return Pass(false, Color);
    case 3: // outer half of the outline: the fill in 0 takes the inner half away
        if (const int32_t E = Pass(true, Color))
            return E;
        return Pass(false, 0);
    case 4: // as the path's own fill flag says
        return Pass(Path.Flag == 0, Color);
    default: // outline
        return Pass(true, Color);
    }
}

// How far the passes may reach beyond the path's bounds.
int64_t PassMargin(const TrecPenData& Pen)
{
    double Width = Pen.Width;
    if ((Pen.Style & cPenMiterBit) != 0 && Pen.MiterLimit > 1)
        Width = std::ceil(Width * Pen.MiterLimit);
    return ClampInt32(RoundOff(Width)) + int64_t{3};
}

// Tile in Dest's depth: Own receives a grey or 24-bit version when the depths differ.
const TrecPicture& TileInDepth(const TrecPicture& Tile, int32_t BitCount, TScopedRecord& Own)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(Tile);
    if (!H || H->biBitCount == BitCount)
        return Tile;
    if (BitCount == 8 && H->biBitCount == 24) {
        HGLOBAL Header = nullptr;
        uint8_t* Bits = nullptr;
        BmpConv24to8Gray(H, Tile.pBits, Header, Bits, false, false);
        Own.P.pBIHeader = Header;
        Own.P.pBits = Bits;
    } else if (BitCount == 24) {
        RecPictureConvertTo24(Own.P, Tile, false); // Tile is not 24-bit: a real copy
    } else {
        return Tile; // the merge refuses the pair
    }
    Own.P.iLeft = Tile.iLeft;
    Own.P.iTop = Tile.iTop;
    return Own.P;
}

// Method 4: the set's picture tiled over Area, centred on it.
void MergePictureFill(const TrecPicture& Dest, const TrecPicture* Mask, int32_t Opacity,
                      uint8_t Mode, const TRect& Area, const TFillPictParam& Set,
                      TListRecPict* Store)
{
    if (IsEmpty(Area))
        return;
    const TPoint Centre{ClampInt32((int64_t{Area.Left} + Area.Right) / 2),
                        ClampInt32((int64_t{Area.Top} + Area.Bottom) / 2)};
    TScopedRecord Made;
    TrecPicture Tile; // a view: the position is ours, the pixels belong to the store or Made
    const TListRecPictItem* Item = Store ? Store->GetItemByHandle(Set.iHandle) : nullptr;
    const BITMAPINFOHEADER* SH = Item ? RecPictureHeader(Item->Picture) : nullptr;
    if (!SH || !Item->Picture.pBits || SH->biWidth <= 0 || SH->biHeight <= 0) {
        RecPictureCreate(Made.P, TPoint{}, 16, 16, 24, false);
        RecPictureFillChecker(Made.P, 8, 0xFFFFFF, 0xC0C0C0);
        Tile = Made.P;
        Tile.iLeft = ClampInt32(int64_t{Centre.X} - 8);
        Tile.iTop = ClampInt32(int64_t{Centre.Y} - 8);
    } else {
        const TrecPicture& Source = Item->Picture;
        // A set without a size of its own keeps the picture's.
        const int32_t W = Set.iWidth > 0 ? Set.iWidth : SH->biWidth;
        const int32_t H = Set.iHeight > 0 ? Set.iHeight : SH->biHeight;
        const bool Smooth = Set.bOption1 != 0;
        if (W != SH->biWidth || H != SH->biHeight || std::fabs(Set.dAngle) >= 0.001) {
            const TPoint Offset{Set.iOffsetX, Set.iOffsetY};
            const int32_t AreaW = ClampInt32(RectWidth(Area));
            const int32_t AreaH = ClampInt32(RectHeight(Area));
            int32_t Handle = -1;
            TListRecPictItem* Derived =
                Store->FindByCondition(Set.iHandle, Set.iWidth, Set.iHeight, Set.dAngle,
                                       Set.bOption1, Offset, AreaW, AreaH, &Handle);
            if (!Derived) {
                TScopedRecord Scaled;
                RecPictureStretch(Scaled.P, Source, TPoint{}, W, H, Smooth ? 1 : 0, Smooth ? 1 : 0,
                                  1);
                TScopedRecord Turned;
                RecPictureRotate(Turned.P, Scaled.P, Centre, Area,
                                 Set.dAngle * std::numbers::pi / 180, Set.iOffsetX, Set.iOffsetY,
                                 Smooth);
                Handle = Store->AddPicture(Set.iHandle, Set.iWidth, Set.iHeight, Set.dAngle, Offset,
                                           AreaW, AreaH, Set.bOption1, Turned.P, std::string());
                Derived = Store->GetItemByHandle(Handle);
            }
            if (!Derived)
                return;
            // Made for an area of this size, wherever it lay then.
            Tile = Derived->Picture;
            Tile.iLeft = Area.Left;
            Tile.iTop = Area.Top;
        } else {
            Tile = Source;
            Tile.iLeft =
                ClampInt32(int64_t{Centre.X} - SH->biWidth / 2 + Set.iOffsetX % SH->biWidth);
            Tile.iTop =
                ClampInt32(int64_t{Centre.Y} - SH->biHeight / 2 + Set.iOffsetY % SH->biHeight);
        }
    }
    const BITMAPINFOHEADER* DH = RecPictureHeader(Dest);
    TScopedRecord Converted;
    const TrecPicture& Use = TileInDepth(Tile, DH ? DH->biBitCount : 24, Converted);
    RecPictureMergeTile(Dest, Mask, Opacity, Use, Mode);
}

int32_t PaintFill2(const TCall& C, void*& Result, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    TrecPicture& Dest = *C.Object<TrecPicture>(0);
    const TrecPicture* Mask = C.Object<TrecPicture>(1);
    int32_t Percent = 100;
    if (const int32_t E = C.Int(2, 100, Percent))
        return E;
    const int32_t Opacity = OpacityFromPercent(Percent);
    const TrecPath* Path = C.Object<TrecPath>(3);
    // An empty pen text is no pen.
    const char* PenText = C.Text(4) && *C.Text(4) ? C.Text(4) : nullptr;
    const TrecPenData Pen = ReadPen(PenText);
    const std::string Method = C.Text(5) ? C.Text(5) : "";
    const char Digit = Method.empty() ? FillMethodNone : Method[0];

    if (Digit == FillMethodNone || Digit == FillMethodNoPaint) {
        TRect R = WorkRect(Dest, Mask);
        if (!IsEmpty(R)) {
            const int32_t X = static_cast<int32_t>((int64_t{R.Left} + R.Right) / 2);
            const int32_t Y = static_cast<int32_t>((int64_t{R.Top} + R.Bottom) / 2);
            R = TRect{X, Y, X, Y};
        }
        Report(Rect1, Rect2, cEmptyRect, R);
        return 0;
    }

    const int32_t FillChoice = C.Choice(6);
    const bool AntiAlias = C.Yes(7);
    const uint8_t Mode = static_cast<uint8_t>(C.Choice(8));
    const int32_t Color = Digit == FillMethodColor ? HexToInt(Method.substr(1)) : 0;

    TRect Area = PictureRect(Dest); // where the fill is laid out
    TRect Painted = Area;           // where it may land
    const TrecPicture* UseMask = Mask;
    TScopedRecord PathMask;
    if (Path && PenText) {
        const int64_t Margin = PassMargin(Pen);
        // The outer-outline choice clears the inside, so it never draws
        // straight into the destination.
        if (!Mask && Opacity == 255 && Digit == FillMethodColor && FillChoice != 3) {
            const TRect R = Widen(Path->Bounds, Margin, Margin);
            if (!MeasureOnly) {
                const BITMAPINFOHEADER* DH = RecPictureHeader(Dest);
                // A plane reads the colour as the merges do (bits 16..23).
                const uint32_t PenColor = DH && DH->biBitCount == 8
                                              ? ((uint32_t(Color) >> 16) & 0xFF) * 0x010101u
                                              : uint32_t(Color);
                if (const int32_t E = DrawPasses(Dest, *Path, Pen, FillChoice, AntiAlias, PenColor))
                    return E;
            }
            Report(Rect1, Rect2, cEmptyRect, R);
            return 0;
        }
        const int32_t M = ClampInt32(Margin);
        if (const int32_t E =
                AllocPlaneRecordForPath(PathMask.P, *Path, 8, MeasureOnly, M, M, M, M))
            return E;
        if (!MeasureOnly)
            if (const int32_t E =
                    DrawPasses(PathMask.P, *Path, Pen, FillChoice, AntiAlias, 0xFFFFFF))
                return E;
        UseMask = &PathMask.P;
        Area = Path->Bounds;
        // The outline reaches past the bounds: report what the mask covers.
        Painted = PictureRect(PathMask.P);
    } else if (Path) {
        // A path without a pen draws nothing: the given mask stays, and the
        // fill is laid out over the shape's bounds rather than over whatever
        // picture it lands on. So an effect can paint its own softened shape
        // straight onto the target, and a gradation's transparent parts let
        // the target show through instead of an intermediate picture's black.
        Area = Path->Bounds;
    }
    TRect R = UseMask ? Intersect(Painted, PictureRect(*UseMask)) : Painted;
    if (IsEmpty(R))
        R = TRect{Dest.iLeft, Dest.iTop, Dest.iLeft, Dest.iTop};

    if (!MeasureOnly) {
        switch (Digit) {
        case FillMethodColor:
            RecPictureMergeColor(Dest, UseMask, Opacity, Color, Mode);
            break;
        case FillMethodGradation: {
            TGradationObject Gradation;
            Gradation.StrToGradation(Method.size() > 2 ? Method.substr(2) : std::string());
            RecPictureMergeGradation(Dest, UseMask, Opacity, Area, Gradation, Mode);
            break;
        }
        case FillMethodPicture: {
            TFillPictParam Set;
            StrToFillPictParam(Method.size() > 2 ? Method.substr(2) : std::string(), Set);
            MergePictureFill(Dest, UseMask, Opacity, Mode, Area, Set, C.Store());
            break;
        }
        default:
            break;
        }
    }
    // Without a path a gradation or a picture is laid out over the whole
    // destination.
    const bool OverDest = !Path && (Digit == FillMethodGradation || Digit == FillMethodPicture);
    Report(Rect1, Rect2, OverDest ? cEverywhere : cEmptyRect, R);
    return 0;
}

// NilPlanePaintFillCol and NilPlanePaintFillCol100: a solid grey through the area fill.
int32_t PaintFillGrey(const TCall& C, bool Percent, void*& Result, void* const* Args,
                      const uint8_t* Abort, TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    int32_t Density = 0;
    if (const int32_t E = C.Int(5, Density))
        return E;
    const int32_t Grey =
        ClampByte(Percent ? RoundOff(double(Density) * 255 / 100) : int64_t{Density});
    char Method[8];
    std::snprintf(Method, sizeof Method, "1%02X%02X%02X", Grey, Grey, Grey);
    void* const Fill2Args[] = {Args[0], Args[1], Args[2], Args[3], Args[4],
                               Method,  Args[6], Args[7], Args[8], Args[9]};
    return NilPlanePaintFill2(Result, Fill2Args, Abort, Rect1, Rect2, MeasureOnly);
}

// ---------------------------------------------------------------- path gradation

int32_t DrawPathGradation(const TCall& C, bool Plane, void*& Result, const uint8_t* Abort,
                          TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    TrecPicture& Dest = *C.Object<TrecPicture>(0);
    const TrecPicture* Mask = C.Object<TrecPicture>(1);
    int32_t Percent = 100, Inner = 0, Outer = 255;
    double Gamma = 1;
    if (int32_t E = C.Int(2, 100, Percent);
        E || (E = C.Int(5, 0, Inner)) || (E = C.Int(6, 255, Outer)) || (E = C.Real(7, Gamma)))
        return E;
    const int32_t Opacity = OpacityFromPercent(Percent);
    const TrecPath& Path = *C.Object<TrecPath>(3);
    const TrecPenData Pen = ReadPen(C.Text(4));
    const bool AntiAlias = C.Yes(8);
    const int64_t Steps = std::max<int64_t>((int64_t{Pen.Width} + 1) / 2, 0);
    const TRect Reach = Widen(Path.Bounds, Steps, Steps);
    if (MeasureOnly || Opacity == 0) {
        Report(Rect1, Rect2, cEmptyRect, Reach);
        return 0;
    }

    int32_t InnerColor = Inner & 0xFFFFFF;
    int32_t OuterColor = Outer & 0xFFFFFF;
    if (Plane) {
        // One grey level per pixel at most, so the ramp reaches over the whole
        // half width instead of ending in a flat top.
        const int64_t Out = ClampByte(Outer);
        int64_t In = ClampByte(Inner);
        const int64_t Span = std::max<int64_t>(Steps - 1, 0);
        In = std::clamp(In, Out - Span, Out + Span);
        InnerColor = static_cast<int32_t>(In * 0x010101);
        OuterColor = static_cast<int32_t>(Out * 0x010101);
    }
    const TrecDrawPathStop Stops[2] = {{0, OuterColor, 1.0}, {1023, InnerColor, Gamma}};
    bool Cancel = false;
    const TDrawPathGradationPoll Poll = [Abort](bool& Flag) {
        if (*Abort != 0)
            Flag = true;
    };
    const auto Draw = [&](TrecPicture& Target) {
        return RecPictureDrawPathGradation(Target, Path, Pen, Stops, 2, cPathTolerance, AntiAlias,
                                           Abort ? &Cancel : nullptr, true,
                                           Abort ? Poll : TDrawPathGradationPoll());
    };

    int32_t Code = 0;
    if (!Mask && Opacity == 255) {
        Code = Draw(Dest);
    } else {
        // Drawn over a copy of the area, then laid back through the mask and opacity.
        const TRect Area = Intersect(Reach, WorkRect(Dest, Mask));
        if (!IsEmpty(Area)) {
            const BITMAPINFOHEADER* DH = RecPictureHeader(Dest);
            TScopedRecord Work;
            if (const int32_t E = AllocPlaneRecord(
                    Work.P, TPoint{Area.Left, Area.Top}, ClampInt32(RectWidth(Area)),
                    ClampInt32(RectHeight(Area)), DH ? DH->biBitCount : 24, false))
                return E;
            RecPictureMerge(Work.P, Dest, nullptr, 255, 0);
            Code = Draw(Work.P);
            if (Code == 0)
                RecPictureMerge(Dest, Work.P, Mask, Opacity, 0);
        }
    }
    if (Code != 0)
        return Code;
    Report(Rect1, Rect2, cEmptyRect, Reach);
    return 0;
}

// ---------------------------------------------------------------- merges

// NilPictureMerge and NilPictureMergePlane.
int32_t MergeThroughMask(const TCall& C, void*& Result, TRect& Rect1, TRect& Rect2,
                         bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    const TrecPicture& Dest = *C.Object<TrecPicture>(0);
    const TrecPicture& Src = *C.Object<TrecPicture>(1);
    const TrecPicture* Mask = C.Object<TrecPicture>(2);
    const uint8_t Mode = static_cast<uint8_t>(C.Choice(3));
    int32_t Percent = 100;
    if (const int32_t E = C.Int(4, 100, Percent))
        return E;
    const TRect R = Intersect(WorkRect(Dest, Mask), PictureRect(Src));
    if (!MeasureOnly)
        RecPictureMerge(Dest, Src, Mask, OpacityFromPercent(Percent), Mode);
    Report(Rect1, Rect2, cEmptyRect, R);
    return 0;
}

// Each function looks its table entry up once.
template <size_t N> struct TFunctionName {
    char Text[N];
    constexpr TFunctionName(const char (&Name)[N]) { std::copy_n(Name, N, Text); }
};

template <TFunctionName Name> const TPaintFunctionRec* RecOf()
{
    static const TPaintFunctionRec* const Rec = FindRec(Name.Text);
    return Rec;
}

} // namespace

// ---------------------------------------------------------------- entry points

int32_t Dummy(void*& Result, void* const*, const uint8_t*, TRect& Rect1, TRect& Rect2, bool)
{
    Begin(Result, Rect1, Rect2);
    return 0;
}

int32_t SetRandomSeed(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                      bool)
{
    Begin(Result, Rect1, Rect2);
    const TCall C(RecOf<"SetRandomSeed">(), Args);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    int32_t Seed = 0;
    if (const int32_t E = C.Int(0, 2147483647, Seed))
        return E;
    RandomSeed = static_cast<uint32_t>(Seed);
    return 0;
}

int32_t PlaneMake(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                  bool MeasureOnly)
{
    return MakeRecord(TCall(RecOf<"PlaneMake">(), Args), 8, Result, Rect1, Rect2, MeasureOnly);
}

int32_t PictureMake(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                    bool MeasureOnly)
{
    return MakeRecord(TCall(RecOf<"PictureMake">(), Args), 24, Result, Rect1, Rect2, MeasureOnly);
}

int32_t PlaneMakeForPath(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                         TRect& Rect2, bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    const TCall C(RecOf<"PlaneMakeForPath">(), Args);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    const TrecPath& Path = *C.Object<TrecPath>(0);
    int32_t L = 0, T = 0, R = 0, B = 0, Grey = 0;
    if (int32_t E = C.Int(1, 0, L); E || (E = C.Int(2, 0, T)) || (E = C.Int(3, 0, R)) ||
                                    (E = C.Int(4, 0, B)) || (E = C.Int(5, 0, Grey)))
        return E;
    TPaintRecordPtr Record(new TrecPicture{});
    if (const int32_t E = AllocPlaneRecordForPath(*Record, Path, 8, MeasureOnly, L, T, R, B))
        return E;
    if (!MeasureOnly && Grey != 0)
        RecPictureFillColor(*Record, ClampByte(Grey));
    Report(Rect1, Rect2, cEmptyRect, PictureRect(*Record));
    Result = Record.release();
    return 0;
}

int32_t PlaneMakeForPath2(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                          TRect& Rect2, bool MeasureOnly)
{
    return MakeForPathSized(TCall(RecOf<"PlaneMakeForPath2">(), Args), TPathSizedKind::Plane,
                            Result, Rect1, Rect2, MeasureOnly);
}

int32_t PictureMakeForPath2(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                            TRect& Rect2, bool MeasureOnly)
{
    return MakeForPathSized(TCall(RecOf<"PictureMakeForPath2">(), Args), TPathSizedKind::Picture,
                            Result, Rect1, Rect2, MeasureOnly);
}

int32_t PlaneSetReferSize(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                          TRect& Rect2, bool MeasureOnly)
{
    return MakeForPathSized(TCall(RecOf<"PlaneSetReferSize">(), Args), TPathSizedKind::ReferSize,
                            Result, Rect1, Rect2, MeasureOnly);
}

int32_t PlaneDuplicate(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                       bool MeasureOnly)
{
    return Duplicate(TCall(RecOf<"PlaneDuplicate">(), Args), Result, Rect1, Rect2, MeasureOnly);
}

int32_t PictureDuplicate(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                         TRect& Rect2, bool MeasureOnly)
{
    return Duplicate(TCall(RecOf<"PictureDuplicate">(), Args), Result, Rect1, Rect2, MeasureOnly);
}

int32_t PathRough(void*&, void* const*, const uint8_t*, TRect&, TRect&, bool)
{
    return 9;
}

int32_t NilPlanePaintFill2(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                           TRect& Rect2, bool MeasureOnly)
{
    return PaintFill2(TCall(RecOf<"NilPlanePaintFill2">(), Args), Result, Rect1, Rect2,
                      MeasureOnly);
}

int32_t NilPicturePaintFill2(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly)
{
    return PaintFill2(TCall(RecOf<"NilPicturePaintFill2">(), Args), Result, Rect1, Rect2,
                      MeasureOnly);
}

int32_t NilPlanePaintFillCol(void*& Result, void* const* Args, const uint8_t* Abort, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly)
{
    return PaintFillGrey(TCall(RecOf<"NilPlanePaintFillCol">(), Args), false, Result, Args, Abort,
                         Rect1, Rect2, MeasureOnly);
}

int32_t NilPlanePaintFillCol100(void*& Result, void* const* Args, const uint8_t* Abort,
                                TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    return PaintFillGrey(TCall(RecOf<"NilPlanePaintFillCol100">(), Args), true, Result, Args, Abort,
                         Rect1, Rect2, MeasureOnly);
}

int32_t NilPlaneDrawPathGradation(void*& Result, void* const* Args, const uint8_t* Abort,
                                  TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    return DrawPathGradation(TCall(RecOf<"NilPlaneDrawPathGradation">(), Args), true, Result, Abort,
                             Rect1, Rect2, MeasureOnly);
}

int32_t NilPictureDrawPathGradation(void*& Result, void* const* Args, const uint8_t* Abort,
                                    TRect& Rect1, TRect& Rect2, bool MeasureOnly)
{
    return DrawPathGradation(TCall(RecOf<"NilPictureDrawPathGradation">(), Args), false, Result,
                             Abort, Rect1, Rect2, MeasureOnly);
}

int32_t NilPlaneFillCol(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    const TCall C(RecOf<"NilPlaneFillCol">(), Args);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    const TrecPicture& Dest = *C.Object<TrecPicture>(0);
    const TrecPicture* Mask = C.Object<TrecPicture>(1);
    int32_t Color = 0;
    if (const int32_t E = C.Int(2, Color))
        return E;
    const int32_t Grey = ClampByte(Color);
    const TRect R = WorkRect(Dest, Mask);
    if (!MeasureOnly) {
        if (!Mask)
            RecPictureFillColor(Dest, Grey);
        else // weight m: ((255 - m) d + m c + 255) shr 8
            RecPictureMergeColor(Dest, Mask, 255, Grey * 0x010101, 0);
    }
    Report(Rect1, Rect2, cEmptyRect, R);
    return 0;
}

int32_t NilPictureFillColEmboss(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                                TRect& Rect2, bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    const TCall C(RecOf<"NilPictureFillColEmboss">(), Args);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    const TrecPicture& Dest = *C.Object<TrecPicture>(0);
    const TrecPicture& Mask = *C.Object<TrecPicture>(1);
    int32_t Highlight = 255, Shadow = 0;
    if (int32_t E = C.Int(2, 255, Highlight); E || (E = C.Int(3, 0, Shadow)))
        return E;
    const TRect R = Intersect(PictureRect(Dest), PictureRect(Mask));
    if (!MeasureOnly && !IsEmpty(R)) {
        const BITMAPINFOHEADER* DH = RecPictureHeader(Dest);
        const BITMAPINFOHEADER* MH = RecPictureHeader(Mask);
        if (!DH || !Dest.pBits || DH->biBitCount != 24)
            return PaintArgRefused(1);
        if (!MH || !Mask.pBits || MH->biBitCount != 8)
            return PaintArgRefused(2);
        // Blue, green, red: the pixel's byte order.
        const int32_t Hi[3] = {(Highlight >> 16) & 0xFF, (Highlight >> 8) & 0xFF, Highlight & 0xFF};
        const int32_t Sh[3] = {(Shadow >> 16) & 0xFF, (Shadow >> 8) & 0xFF, Shadow & 0xFF};
        const int64_t Width = RectWidth(R);
        for (int64_t Y = R.Top; Y <= R.Bottom; ++Y) {
            uint8_t* D = RecPictureGetPixelPtr(Dest, R.Left, static_cast<int32_t>(Y));
            const uint8_t* M = RecPictureGetPixelPtr(Mask, R.Left, static_cast<int32_t>(Y));
            for (int64_t X = 0; X < Width; ++X, D += 3) {
                const int32_t V = M[X];
                if (V == 127)
                    continue;
                const int32_t* Col = V < 127 ? Hi : Sh;
                const int32_t W = std::min(V < 127 ? (127 - V) * 2 : (V - 127) * 2, 255);
                for (int K = 0; K < 3; ++K)
                    D[K] = static_cast<uint8_t>((Col[K] * W + D[K] * (255 - W) + 255) >> 8);
            }
        }
    }
    Report(Rect1, Rect2, cEmptyRect, R);
    return 0;
}

int32_t NilPictureMerge(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                        TRect& Rect2, bool MeasureOnly)
{
    return MergeThroughMask(TCall(RecOf<"NilPictureMerge">(), Args), Result, Rect1, Rect2,
                            MeasureOnly);
}

int32_t NilPictureMergePlane(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1,
                             TRect& Rect2, bool MeasureOnly)
{
    return MergeThroughMask(TCall(RecOf<"NilPictureMergePlane">(), Args), Result, Rect1, Rect2,
                            MeasureOnly);
}

int32_t NilPlaneMerge(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                      bool MeasureOnly)
{
    Begin(Result, Rect1, Rect2);
    const TCall C(RecOf<"NilPlaneMerge">(), Args);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    const TrecPicture& Dest = *C.Object<TrecPicture>(0);
    const TrecPicture& Src = *C.Object<TrecPicture>(1);
    const uint8_t Mode = static_cast<uint8_t>(C.Choice(2));
    int32_t Percent = 100;
    if (const int32_t E = C.Int(3, 100, Percent))
        return E;
    const char* FillFlag = C.Text(4);
    const bool NoPaint =
        C.Yes(5) ||
        (FillFlag && (FillFlag[0] == FillMethodNone || FillFlag[0] == FillMethodNoPaint));
    const TRect R = Intersect(PictureRect(Dest), PictureRect(Src));
    if (!MeasureOnly && !NoPaint)
        RecPictureMerge(Dest, Src, nullptr, OpacityFromPercent(Percent), Mode, C.Yes(6));
    Report(Rect1, Rect2, cEmptyRect, R);
    return 0;
}

int32_t NilPlaneMove(void*& Result, void* const* Args, const uint8_t*, TRect& Rect1, TRect& Rect2,
                     bool)
{
    Begin(Result, Rect1, Rect2);
    const TCall C(RecOf<"NilPlaneMove">(), Args);
    if (!C.Valid())
        return cPaintErrorOutOfMemory;
    if (const int32_t E = C.CheckRequired())
        return E;
    TrecPicture& Dest = *C.Object<TrecPicture>(0);
    const TrecPicture* Mask = C.Object<TrecPicture>(1);
    constexpr double Floor = -999999;
    int32_t DX = 0, DY = 0;
    if (int32_t E = C.IntWithFloor(2, Floor, DX); E || (E = C.IntWithFloor(3, Floor, DY)))
        return E;
    if (DX == 0 && DY == 0)
        return 0;
    // Only the position changes, so a measure-only plane moves too.
    const int64_t Left = int64_t{Dest.iLeft} + DX;
    const int64_t Top = int64_t{Dest.iTop} + DY;
    if (Left < cInt32Min || Left > cInt32Max)
        return PaintArgRefused(3);
    if (Top < cInt32Min || Top > cInt32Max)
        return PaintArgRefused(4);
    Dest.iLeft = static_cast<int32_t>(Left);
    Dest.iTop = static_cast<int32_t>(Top);
    Report(Rect1, Rect2, cEmptyRect, WorkRect(Dest, Mask));
    return 0;
}
