#include "paint/picture_cache.h"

#include "foundation/user_error.h"
#include "foundation/wrap_int.h"
#include "paint/paint_function_table.h"
#include "raster/bmp_conv.h"

#include <cstring>
#include <exception>
#include <limits>
#include <new>

namespace {

constexpr int64_t Int32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t Int32Max = std::numeric_limits<int32_t>::max();

bool FitsRecord(int64_t Left, int64_t Top, int64_t Width, int64_t Height)
{
    return Left >= Int32Min && Left <= Int32Max && Top >= Int32Min && Top <= Int32Max &&
           Width >= 1 && Width <= Int32Max && Height >= 1 && Height <= Int32Max;
}

// A record the raster routines would refuse to work on is not made at all:
// its allocation and clearing could take gigabytes for nothing.
bool WithinWorkLimit(int64_t Width, int64_t Height)
{
    return Width * Height <= MaxWorkPixels;
}

// The watch that hears the measure-only records made now (one UI thread).
TMeasuredRecords* gMeasuredRecords = nullptr;

int32_t AllocMeasureRecord(TrecPicture& Record, int32_t Left, int32_t Top, int32_t Width,
                           int32_t Height, int32_t BitCount)
{
    if (gMeasuredRecords)
        gMeasuredRecords->Note(Width, Height, BitCount);
    HGLOBAL Header = GlobalAlloc(GMEM_FIXED | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER));
    if (!Header)
        return cPaintErrorOutOfMemory;
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    H->biWidth = Width;
    H->biHeight = Height;
    H->biBitCount = static_cast<uint16_t>(BitCount);
    Record.pBIHeader = Header;
    Record.iLeft = Left;
    Record.iTop = Top;
    return 0;
}

// Runs the creation routine; a failure to get the memory leaves the record
// empty and becomes the out-of-memory code.
template <typename TCreate>
int32_t CreateZeroed(TrecPicture& Record, TCreate Create)
{
    try {
        Create();
    } catch (const Exception&) {
        RecPictureClear(Record);
        return cPaintErrorOutOfMemory;
    } catch (const std::bad_alloc&) {
        RecPictureClear(Record);
        return cPaintErrorOutOfMemory;
    }
    std::memset(Record.pBits, 0, static_cast<size_t>(RecPictureGetImageSize(Record)));
    return 0;
}

bool SameTextAscii(const std::string& A, const std::string& B)
{
    if (A.size() != B.size())
        return false;
    for (size_t I = 0; I < A.size(); ++I) {
        char X = A[I];
        char Y = B[I];
        if (X >= 'a' && X <= 'z')
            X = static_cast<char>(X - 'a' + 'A');
        if (Y >= 'a' && Y <= 'z')
            Y = static_cast<char>(Y - 'a' + 'A');
        if (X != Y)
            return false;
    }
    return true;
}

} // namespace

int32_t AllocPlaneRecord(TrecPicture& Record, const TPoint& Position, int32_t Width,
                         int32_t Height, int32_t BitCount, bool MeasureOnly)
{
    RecPictureClear(Record);
    if (Width < 1 || Height < 1)
        return cPaintErrorOutOfMemory;
    if (MeasureOnly)
        return AllocMeasureRecord(Record, Position.X, Position.Y, Width, Height, BitCount);
    if (!WithinWorkLimit(Width, Height))
        return cPaintErrorOutOfMemory;
    return CreateZeroed(Record, [&] {
        RecPictureCreate(Record, Position, Width, Height, BitCount, false);
    });
}

int32_t AllocPlaneRecordForPath(TrecPicture& Record, const TrecPath& Path, int32_t BitCount,
                                bool MeasureOnly, int32_t LeftMargin, int32_t TopMargin,
                                int32_t RightMargin, int32_t BottomMargin)
{
    RecPictureClear(Record);
    const TRect& B = Path.Bounds;
    // An empty path keeps the empty bounds (MaxInt, MaxInt, MinInt, MinInt).
    // In the formula's 32-bit arithmetic they span one unit and the record
    // starts just before MaxInt, so its rectangle wraps round and meets no
    // picture: the empty path is painted as nothing, without failing.
    const bool Empty = B.Left > B.Right || B.Top > B.Bottom;
    const int64_t Left = Empty ? WrapSub(B.Left, LeftMargin) : int64_t{B.Left} - LeftMargin;
    const int64_t Top = Empty ? WrapSub(B.Top, TopMargin) : int64_t{B.Top} - TopMargin;
    const int64_t SpanX = Empty ? WrapSub(B.Right, B.Left) : int64_t{B.Right} - B.Left;
    const int64_t SpanY = Empty ? WrapSub(B.Bottom, B.Top) : int64_t{B.Bottom} - B.Top;
    const int64_t Width = SpanX + LeftMargin + RightMargin + 1;
    const int64_t Height = SpanY + TopMargin + BottomMargin + 1;
    if (!FitsRecord(Left, Top, Width, Height))
        return cPaintErrorOutOfMemory;
    const auto L = static_cast<int32_t>(Left);
    const auto T = static_cast<int32_t>(Top);
    const auto W = static_cast<int32_t>(Width);
    const auto H = static_cast<int32_t>(Height);
    if (MeasureOnly)
        return AllocMeasureRecord(Record, L, T, W, H, BitCount);
    if (!WithinWorkLimit(W, H))
        return cPaintErrorOutOfMemory;
    return CreateZeroed(Record, [&] {
        if (Empty)
            RecPictureCreate(Record, TPoint{L, T}, W, H, BitCount, false);
        else
            RecPictureCreateForRect(Record, Path, BitCount, LeftMargin, TopMargin, RightMargin,
                                    BottomMargin, false);
    });
}

TMeasuredRecords::TMeasuredRecords() : FOuter(gMeasuredRecords)
{
    gMeasuredRecords = this;
}

TMeasuredRecords::~TMeasuredRecords()
{
    gMeasuredRecords = FOuter;
}

void TMeasuredRecords::Note(int32_t AWidth, int32_t AHeight, int32_t ABitCount)
{
    if (!Workable)
        return;
    const bool Fits = RecordWorkable(AWidth, AHeight, ABitCount);
    if (Fits && int64_t{AWidth} * AHeight <= int64_t{Width} * Height)
        return;
    Workable = Fits;
    Width = AWidth;
    Height = AHeight;
    BitCount = ABitCount;
}

TPictureCache::~TPictureCache()
{
    // A destructor cannot raise; Clear has emptied the cache before it does.
    try {
        Clear();
    } catch (const Exception&) {
    }
}

void TPictureCache::Clear()
{
    std::exception_ptr Failure;
    for (TItem& Item : FItems) {
        try {
            RecPictureClear(*Item.Record);
        } catch (const Exception&) {
            if (!Failure)
                Failure = std::current_exception();
        }
    }
    FItems.clear();
    if (Failure) {
        // Raised inside the handler so that the message carries the cause.
        try {
            std::rethrow_exception(Failure);
        } catch (const Exception&) {
            throw EUserError("TPictureCache.Clear: RecPictureClear Failed");
        }
    }
}

int32_t TPictureCache::IndexOf(const std::string& Name) const
{
    for (size_t I = 0; I < FItems.size(); ++I)
        if (SameTextAscii(FItems[I].Name, Name))
            return static_cast<int32_t>(I);
    return -1;
}

TrecPicture* TPictureCache::Find(const std::string& Name) const
{
    const int32_t I = IndexOf(Name);
    return I < 0 ? nullptr : FItems[static_cast<size_t>(I)].Record.get();
}

int32_t TPictureCache::Add(const std::string& Name, const TrecPicture& Record)
{
    const int32_t I = IndexOf(Name);
    if (I >= 0)
        return I;
    FItems.push_back(TItem{Name, std::make_unique<TrecPicture>(Record)});
    return static_cast<int32_t>(FItems.size() - 1);
}
