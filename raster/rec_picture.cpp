#include "raster/rec_picture.h"

#include "foundation/geometry.h"
#include "foundation/platform_wrappers.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"
#include "raster/png_io.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

constexpr size_t InfoHeaderSize = sizeof(BITMAPINFOHEADER);

int32_t WrapAdd(int32_t A, int32_t B)
{
    return static_cast<int32_t>(static_cast<uint32_t>(A) + static_cast<uint32_t>(B));
}

int32_t ClampToInt32(int64_t V)
{
    return static_cast<int32_t>(std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t PictureWidth(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return H && P.pBits ? H->biWidth : 0;
}

int32_t PictureHeight(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return H && P.pBits ? H->biHeight : 0;
}

// The extent a header describes, pixels or not: measure-only runs make records
// with a header and no pixels and still ask for their rectangles.
int32_t HeaderWidth(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return H ? H->biWidth : 0;
}

int32_t HeaderHeight(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return H ? H->biHeight : 0;
}

// Header block size of a record made here: a full colour table up to 8 bits,
// three masks for 16 and 32 bits.
size_t CreateHeaderSize(int32_t BitCount)
{
    if (BitCount >= 1 && BitCount <= 8)
        return InfoHeaderSize + 4 * (size_t{1} << BitCount);
    if (BitCount == 16 || BitCount == 32)
        return InfoHeaderSize + 12;
    return InfoHeaderSize;
}

void WriteGreyTable(BITMAPINFOHEADER* H, int32_t Entries)
{
    RGBQUAD* T = DIBColorTable(H);
    for (int32_t I = 0; I < Entries; ++I) {
        const auto V = static_cast<uint8_t>(Entries > 1 ? I * 255 / (Entries - 1) : 0);
        T[I].rgbBlue = V;
        T[I].rgbGreen = V;
        T[I].rgbRed = V;
    }
}

// A failed CreateDIBSection: the platform's last error.
[[noreturn]] void RaiseLastPlatformError()
{
    const uint32_t Code = GetLastError();
    throw EOutOfResources("システム エラー。 コード: " + std::to_string(Code) + "。");
}

void Put32(uint8_t* P, uint32_t V)
{
    P[0] = static_cast<uint8_t>(V);
    P[1] = static_cast<uint8_t>(V >> 8);
    P[2] = static_cast<uint8_t>(V >> 16);
    P[3] = static_cast<uint8_t>(V >> 24);
}

int32_t Get32(const uint8_t* P)
{
    return static_cast<int32_t>(uint32_t{P[0]} | uint32_t{P[1]} << 8 | uint32_t{P[2]} << 16 |
                                uint32_t{P[3]} << 24);
}

void WritePosition(const TrecPicture& P, TStream& Stream)
{
    uint8_t B[8];
    Put32(B, static_cast<uint32_t>(P.iLeft));
    Put32(B + 4, static_cast<uint32_t>(P.iTop));
    Stream.WriteBuffer(B, 8);
}

void ReadPosition(TStream& Stream, int32_t& Left, int32_t& Top)
{
    uint8_t B[8];
    Stream.ReadBuffer(B, 8);
    Left = Get32(B);
    Top = Get32(B + 4);
}

int64_t BytesLeft(TStream& Stream)
{
    return std::max<int64_t>(0, Stream.Size() - Stream.Position());
}

void SavePng(const TrecPicture& P, TStream& Stream)
{
    bool Cancel = false;
    PNGSaveToStream(Stream, RecPictureHeader(P), P.pBits, -1, false, nullptr, TConvertProgressEvent{},
                    Cancel);
}

// Pads the colour table of a picture of 8 bits or fewer to 2^bits entries, so
// that every index a pixel can hold lies inside the header block.
void PadColourTable(HGLOBAL& Header)
{
    const auto* H = static_cast<const BITMAPINFOHEADER*>(Header);
    if (H->biBitCount < 1 || H->biBitCount > 8)
        return;
    const size_t Need = CreateHeaderSize(H->biBitCount);
    const size_t Have = GlobalSize(Header);
    if (Have >= Need)
        return;
    HGLOBAL Bigger = GlobalAllocQ(GMEM_FIXED | GMEM_ZEROINIT, Need);
    std::memcpy(Bigger, Header, Have);
    GlobalFreeQ(Header);
    Header = Bigger;
}

// P (already cleared) := the PNG at Stream's position, position Left, Top.
void LoadPng(TrecPicture& P, TStream& Stream, int32_t Left, int32_t Top)
{
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    bool Cancel = false;
    PNGLoadFromStream(Stream, Header, Bits, Cancel);
    TrecPicture R;
    R.pBIHeader = Header;
    R.pBits = Bits;
    R.iLeft = Left;
    R.iTop = Top;
    try {
        PadColourTable(R.pBIHeader);
    } catch (...) {
        RecPictureClear(R);
        throw;
    }
    P = R;
}

// What a stored or pasted header must satisfy; returns the image size of the
// rows (|height| rows). E is the error the reader raises.
struct THeaderRules {
    bool TopDownAllowed = false;  // a negative height (rows top-down)
    bool CheckSizeImage = false;  // biSizeImage must be 0 or the image size
};

template <class E>
int64_t CheckStoredHeader(const BITMAPINFOHEADER& H, const std::string& Who, const THeaderRules& Rules)
{
    if (H.biSize != InfoHeaderSize)
        throw E(Who + ": ヘッダーの大きさ(biSize = " + std::to_string(H.biSize) + ")が不正です");
    const int64_t Height = H.biHeight < 0 && Rules.TopDownAllowed ? -int64_t{H.biHeight} : H.biHeight;
    if (H.biWidth <= 0 || Height <= 0)
        throw E(Who + ": 画像の大きさ(" + std::to_string(H.biWidth) + " x " + std::to_string(H.biHeight) +
                ")が不正です");
    if (H.biPlanes != 1)
        throw E(Who + ": biPlanes(" + std::to_string(H.biPlanes) + ")が不正です");
    const uint16_t Bits = H.biBitCount;
    if (Bits != 1 && Bits != 4 && Bits != 8 && Bits != 16 && Bits != 24 && Bits != 32)
        throw E(Who + ": この色数(biBitCount = " + std::to_string(Bits) + ")には対応していません");
    if (H.biCompression == BI_RLE8 || H.biCompression == BI_RLE4)
        throw E(Who + ": 圧縮された DIB(biCompression = " + std::to_string(H.biCompression) +
                ")には対応していません");
    if (H.biCompression != BI_RGB && !(H.biCompression == BI_BITFIELDS && (Bits == 16 || Bits == 32)))
        throw E(Who + ": この圧縮形式(biCompression = " + std::to_string(H.biCompression) +
                ")には対応していません");
    if (int64_t{H.biWidth} * Height > MaxPicturePixels)
        throw E(Who + ": 画像が大きすぎます(" + std::to_string(H.biWidth) + " x " + std::to_string(Height) +
                ")");
    const int64_t Image = GetDIBLineSize(H.biWidth, Bits) * Height;
    if (Rules.CheckSizeImage && H.biSizeImage != 0 && H.biSizeImage != Image)
        throw E(Who + ": biSizeImage(" + std::to_string(H.biSizeImage) + ")が画像の大きさ(" +
                std::to_string(Image) + " バイト)と一致しません");
    return Image;
}

// The record of an old-form picture: a DIB section made from the stored
// header. The old forms carry no colour table; pictures of 8 bits or fewer
// get a grey ramp. 16 and 32 bits get the default masks, which are also what
// a BI_RGB header of those depths means.
void CreateOldFormRecord(TrecPicture& P, int32_t Left, int32_t Top, const BITMAPINFOHEADER& H)
{
    RecPictureCreate(P, TPoint{Left, Top}, H.biWidth, H.biHeight, H.biBitCount, true);
    if (H.biBitCount < 8)
        WriteGreyTable(RecPictureHeader(P), 1 << H.biBitCount);
}

const THeaderRules OldFormRules{false, true};

} // namespace

// ---------------------------------------------------------------------------
// Making and freeing

void RecPictureCreate(TrecPicture& P, const TPoint& Pt, int32_t iWidth, int32_t iHeight,
                      int32_t BitCount, bool bDIBSection)
{
    if (iWidth <= 0)
        throw EUserError("RecPictureCreate(): (iWidth  <= 0)");
    if (iHeight <= 0)
        throw EUserError("RecPictureCreate(): (iHeight <= 0)");
    if (BitCount < 1 || BitCount > 32)
        throw EUserError("RecPictureCreate(): Illegal iBitCount(" + std::to_string(BitCount) + ")");
    // biSizeImage is 32 bits wide; anything larger cannot be described. The
    // row is judged first: a row of up to 2^33 bytes times 2^31 rows would
    // overflow the product.
    const int64_t Line = GetDIBLineSize(iWidth, BitCount);
    if (Line > std::numeric_limits<int32_t>::max())
        throw EUserError("メモリが足りません");
    const int64_t Image = Line * iHeight;
    if (Image > std::numeric_limits<uint32_t>::max())
        throw EUserError("メモリが足りません");

    BITMAPINFOHEADER* H = RecPictureHeader(P);
    if (H && P.pBits && H->biWidth == iWidth && H->biHeight == iHeight && H->biBitCount == BitCount &&
        (P.hDIBSection != nullptr) == bDIBSection) {
        P.iLeft = Pt.X;
        P.iTop = Pt.Y;
        return;
    }

    const size_t HeaderSize = CreateHeaderSize(BitCount);
    if (P.pBIHeader) {
        if (GlobalSize(P.pBIHeader) < HeaderSize) {
            GlobalEnsureSize(P.pBIHeader, HeaderSize);
            std::memset(P.pBIHeader, 0, HeaderSize);
        }
    } else {
        P.pBIHeader = GlobalAllocQ(GMEM_FIXED | GMEM_ZEROINIT, HeaderSize);
    }
    if (!P.pBIHeader)
        throw EUserError("RecPictureCreate(): pBIHeader = nil");
    H = RecPictureHeader(P);
    if (BitCount == 8)
        WriteGreyTable(H, 256);

    // The old pixels go; the record stays consistent if what follows fails.
    if (P.hDIBSection) {
        HBITMAP Old = P.hDIBSection;
        P.hDIBSection = nullptr;
        P.pBits = nullptr;
        if (!DeleteObject(Old))
            throw EUserError("RecPictureCreate(): DeleteObject() Failure");
    } else if (P.pBits) {
        HGLOBAL Old = P.pBits;
        P.pBits = nullptr;
        GlobalFreeQ(Old);
    }

    H->biSize = InfoHeaderSize;
    H->biWidth = iWidth;
    H->biHeight = iHeight;
    H->biPlanes = 1;
    H->biBitCount = static_cast<uint16_t>(BitCount);
    H->biXPelsPerMeter = 0;
    H->biYPelsPerMeter = 0;
    H->biClrUsed = 0;
    H->biClrImportant = 0;
    H->biSizeImage = static_cast<uint32_t>(Image);
    if (BitCount == 16 || BitCount == 32) {
        H->biCompression = BI_BITFIELDS;
        auto* Masks = reinterpret_cast<uint8_t*>(DIBColorTable(H));
        const uint32_t R = BitCount == 16 ? 0x7C00 : 0xFF0000;
        const uint32_t G = BitCount == 16 ? 0x03E0 : 0x00FF00;
        const uint32_t B = BitCount == 16 ? 0x001F : 0x0000FF;
        Put32(Masks, R);
        Put32(Masks + 4, G);
        Put32(Masks + 8, B);
    } else {
        H->biCompression = BI_RGB;
    }

    if (bDIBSection) {
        void* Bits = nullptr;
        HBITMAP Section = CreateDIBSection(H, DIB_RGB_COLORS, &Bits);
        if (!Section)
            RaiseLastPlatformError();
        P.hDIBSection = Section;
        P.pBits = static_cast<uint8_t*>(Bits);
    } else {
        P.pBits = static_cast<uint8_t*>(GlobalAllocQ(GMEM_FIXED, static_cast<size_t>(Image)));
    }
    P.iLeft = Pt.X;
    P.iTop = Pt.Y;
}

void RecPictureClear(TrecPicture& P)
{
    const TrecPicture Old = P;
    P = TrecPicture{};
    HGLOBAL Pixels = nullptr;
    if (Old.hDIBSection)
        DeleteObject(Old.hDIBSection);
    else
        Pixels = Old.pBits;
    HGLOBAL Header = Old.pBIHeader;
    try {
        GlobalFreeQ(Pixels);
    } catch (...) {
        GlobalFree(Header);
        throw;
    }
    GlobalFreeQ(Header);
}

void RecPictureCopy(TrecPicture& Dest, const TrecPicture& Src, bool bDIBSection)
{
    if (&Dest == &Src)
        return;
    // A record that names Src's handles (RecPictureConvertTo24) becomes a real copy.
    if (Dest.pBIHeader && Dest.pBIHeader == Src.pBIHeader)
        Dest = TrecPicture{};
    const BITMAPINFOHEADER* S = RecPictureHeader(Src);
    if (!S || !Src.pBits) {
        RecPictureClear(Dest);
        return;
    }
    RecPictureCreate(Dest, TPoint{Src.iLeft, Src.iTop}, S->biWidth, S->biHeight, S->biBitCount,
                     bDIBSection);
    const size_t SrcBlock = GlobalSize(Src.pBIHeader);
    GlobalEnsureSize(Dest.pBIHeader, SrcBlock);
    std::memcpy(Dest.pBIHeader, Src.pBIHeader, SrcBlock);
    const int64_t Image = RecPictureGetImageSize(Dest);
    RecPictureHeader(Dest)->biSizeImage = static_cast<uint32_t>(Image);
    std::memcpy(Dest.pBits, Src.pBits, static_cast<size_t>(Image));
    Dest.iLeft = Src.iLeft;
    Dest.iTop = Src.iTop;
}

void RecPictureConvertTo24(TrecPicture& Dest, const TrecPicture& Src, bool bDIBSection)
{
    const BITMAPINFOHEADER* S = RecPictureHeader(Src);
    if (&Dest == &Src) {
        if (!S || !Src.pBits || S->biBitCount == 24)
            return;
        TrecPicture Converted;
        try {
            RecPictureConvertTo24(Converted, Src, bDIBSection);
        } catch (...) {
            RecPictureClear(Converted);
            throw;
        }
        RecPictureClear(Dest);
        Dest = Converted;
        return;
    }
    const bool Shared = Dest.pBIHeader && Dest.pBIHeader == Src.pBIHeader;
    if (S && S->biBitCount == 24) {
        // Handed over, not copied: both records now name the same blocks.
        if (!Shared)
            RecPictureClear(Dest);
        Dest = Src;
        return;
    }
    if (Shared)
        Dest = TrecPicture{};
    if (!S || !Src.pBits) {
        RecPictureClear(Dest);
        return;
    }
    RecPictureCreate(Dest, TPoint{Src.iLeft, Src.iTop}, S->biWidth, S->biHeight, 24, bDIBSection);
    switch (S->biBitCount) {
    case 1:
        BmpConv1to24(S, Src.pBits, Dest.pBits);
        break;
    case 4:
        BmpConv4to24(S, Src.pBits, Dest.pBits);
        break;
    case 8:
        BmpConv8to24(S, Src.pBits, Dest.pBits);
        break;
    case 16:
        BmpConv16to24(S, Src.pBits, Dest.pBits);
        break;
    case 32:
        BmpConv32to24(S, Src.pBits, Dest.pBits);
        break;
    default:
        throw EUserError("RecPictureConvertTo24: Not Supprot Format:" + std::to_string(S->biBitCount));
    }
}

void RecPictureCreateForRect(TrecPicture& P, const TrecPath& Path, int32_t BitCount,
                             int32_t LeftMargin, int32_t TopMargin, int32_t RightMargin,
                             int32_t BottomMargin, bool bDIBSection)
{
    const TRect& B = Path.Bounds;
    const int64_t Width = int64_t{B.Right} - B.Left + LeftMargin + RightMargin + 1;
    const int64_t Height = int64_t{B.Bottom} - B.Top + TopMargin + BottomMargin + 1;
    RecPictureCreate(P, TPoint{WrapAdd(B.Left, -LeftMargin), WrapAdd(B.Top, -TopMargin)},
                     ClampToInt32(Width), ClampToInt32(Height), BitCount, bDIBSection);
}

// ---------------------------------------------------------------------------
// Geometry

void RecPictureGetRect(const TrecPicture& P, TRect& R)
{
    R.Left = P.iLeft;
    R.Top = P.iTop;
    R.Right = WrapAdd(P.iLeft, WrapAdd(HeaderWidth(P), -1));
    R.Bottom = WrapAdd(P.iTop, WrapAdd(HeaderHeight(P), -1));
}

bool RecPictureIntersectRect(const TrecPicture& A, const TrecPicture& B, TRect& R)
{
    TRect RB;
    RecPictureGetRect(A, R);
    RecPictureGetRect(B, RB);
    return RectIntersect(R, RB);
}

bool RecPictureIntersectWithRect(const TrecPicture& P, const TRect& Rect, TRect& R)
{
    RecPictureGetRect(P, R);
    return RectIntersect(R, Rect);
}

uint8_t* RecPictureGetPixelPtr(const TrecPicture& P, int32_t X, int32_t Y)
{
    const int64_t DX = int64_t{X} - P.iLeft;
    const int64_t DY = int64_t{Y} - P.iTop;
    if (DX < 0 || DX >= PictureWidth(P) || DY < 0 || DY >= PictureHeight(P))
        return nullptr;
    return GetDIBPixelPtr(RecPictureHeader(P), P.pBits, static_cast<int32_t>(DX), static_cast<int32_t>(DY));
}

void RecPictureGetTilePixelPtr(const TrecPicture& P, const TPoint& Pt, uint8_t*& Pixel, int32_t& LineSize)
{
    Pixel = nullptr;
    LineSize = 0;
    if (PictureWidth(P) <= 0 || PictureHeight(P) <= 0)
        return;
    int64_t Line = 0;
    GetDIBTilePixelPtr(TPoint{P.iLeft, P.iTop}, RecPictureHeader(P), P.pBits, Pt, Pixel, Line);
    LineSize = static_cast<int32_t>(Line);
}

int64_t RecPictureGetImageSize(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    if (!H || H->biWidth <= 0 || H->biHeight <= 0)
        return 0;
    // A header of any bit count: the row alone may pass 2^44 bytes, and
    // times 2^31 rows the product would overflow.
    const int64_t Line = GetDIBLineSize(H->biWidth, H->biBitCount);
    constexpr int64_t Largest = std::numeric_limits<int64_t>::max();
    return Line > Largest / H->biHeight ? Largest : Line * H->biHeight;
}

// ---------------------------------------------------------------------------
// Stream forms

void RecPictureSaveToStream(const TrecPicture& P, TStream& Stream)
{
    WritePosition(P, Stream);
    SavePng(P, Stream);
}

void RecPictureLoadFromStream(TrecPicture& P, TStream& Stream)
{
    RecPictureClear(P);
    int32_t Left = 0, Top = 0;
    ReadPosition(Stream, Left, Top);
    LoadPng(P, Stream, Left, Top);
}

void RecPictureLoadFromStreamRaw(TrecPicture& P, TStream& Stream)
{
    static const std::string Who = "RecPictureLoadFromStreamRaw";
    RecPictureClear(P);
    int32_t Left = 0, Top = 0;
    ReadPosition(Stream, Left, Top);
    uint8_t HeaderBytes[InfoHeaderSize];
    Stream.ReadBuffer(HeaderBytes, InfoHeaderSize);
    BITMAPINFOHEADER H;
    ReadBitmapInfoHeader(HeaderBytes, H);
    const int64_t Image = CheckStoredHeader<EReadError>(H, Who, OldFormRules);
    if (Image > BytesLeft(Stream))
        throw EReadError(Who + ": 画素データが途中で終わっています(" + std::to_string(BytesLeft(Stream)) +
                         "/" + std::to_string(Image) + " バイト)");
    try {
        CreateOldFormRecord(P, Left, Top, H);
        Stream.ReadBuffer(P.pBits, static_cast<int32_t>(Image));
    } catch (...) {
        RecPictureClear(P);
        throw;
    }
}

void RecPictureSaveToTextStream(const TrecPicture& P, TStream& Stream)
{
    StreamWriteln(Stream, std::to_string(P.iLeft));
    StreamWriteln(Stream, std::to_string(P.iTop));
    TMemoryStream Png;
    SavePng(P, Png);
    if (Png.Size() > std::numeric_limits<int32_t>::max())
        throw EWriteError();
    const auto Count = static_cast<int32_t>(Png.Size());
    StreamWriteln(Stream, std::to_string(Count));
    StreamWritelnBin(Stream, Png.Memory(), Count, 1);
}

void RecPictureLoadFromTextStream(TrecPicture& P, TStream& Stream)
{
    static const std::string Who = "RecPictureLoadFromTextStream";
    RecPictureClear(P);
    const int32_t Left = StreamReadIntLine(Stream);
    const int32_t Top = StreamReadIntLine(Stream);
    const int32_t Count = StreamReadIntLine(Stream);
    // Every byte of the block takes at least one character of the stream.
    if (Count <= 0)
        throw EReadError(Who + ": PNG のバイト数(" + std::to_string(Count) + ")が不正です");
    if (Count > BytesLeft(Stream))
        throw EReadError(Who + ": PNG のバイト数(" + std::to_string(Count) + ")がストリームの残り(" +
                         std::to_string(BytesLeft(Stream)) + " バイト)を超えています");
    TMemoryStream Png;
    Png.SetSize(Count);
    void* Buffer = Png.Memory();
    const int32_t Got = StreamReadlnBin(Stream, Buffer, Count);
    if (Got != Count)
        throw EReadError(Who + ": PNG のバイト数(" + std::to_string(Count) + ")とデータの長さ(" +
                         std::to_string(Got) + ")が一致しません");
    Png.SetPosition(0);
    LoadPng(P, Png, Left, Top);
}

void RecPictureLoadFromTextStreamRaw(TrecPicture& P, TStream& Stream)
{
    static const std::string Who = "RecPictureLoadFromTextStreamRaw";
    RecPictureClear(P);
    const int32_t Left = StreamReadIntLine(Stream);
    const int32_t Top = StreamReadIntLine(Stream);
    uint8_t HeaderBytes[InfoHeaderSize];
    void* Buffer = HeaderBytes;
    const int32_t Got = StreamReadlnBin(Stream, Buffer, InfoHeaderSize);
    if (Got != static_cast<int32_t>(InfoHeaderSize))
        throw EReadError(Who + ": ヘッダーの長さ(" + std::to_string(Got) + ")が不正です");
    BITMAPINFOHEADER H;
    ReadBitmapInfoHeader(HeaderBytes, H);
    const int64_t Image = CheckStoredHeader<EReadError>(H, Who, OldFormRules);
    if (Image > BytesLeft(Stream))
        throw EReadError(Who + ": 画素データが途中で終わっています(" + std::to_string(BytesLeft(Stream)) +
                         "/" + std::to_string(Image) + " バイト)");
    try {
        CreateOldFormRecord(P, Left, Top, H);
        void* Pixels = P.pBits;
        const int32_t GotPixels = StreamReadlnBin(Stream, Pixels, static_cast<int32_t>(Image));
        if (GotPixels != Image)
            throw EReadError(Who + ": 画素データの長さ(" + std::to_string(GotPixels) + ")が画像の大きさ(" +
                             std::to_string(Image) + " バイト)と一致しません");
    } catch (...) {
        RecPictureClear(P);
        throw;
    }
}

// ---------------------------------------------------------------------------
// Clipboard

void RecPictureSaveToClipboardFormat(const TrecPicture& P, uint16_t& Format, HGLOBAL& Data)
{
    static const std::string Who = "RecPictureSaveToClipboardFormat";
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    if (!H || !P.pBits)
        throw EUserError(Who + ": Invalid Param");
    int64_t Entries = GetDIBColorCount(H);
    if (H->biCompression == BI_BITFIELDS)
        Entries += 3;
    const int64_t HeaderPart = static_cast<int64_t>(InfoHeaderSize) + 4 * Entries;
    if (HeaderPart > static_cast<int64_t>(GlobalSize(P.pBIHeader)))
        throw EUserError(Who + ": pBIHeader Too Small");
    const int64_t DataSize = RecPictureGetImageSize(P);
    HGLOBAL Block = GlobalAllocQ(GMEM_DDESHARE, static_cast<size_t>(HeaderPart + DataSize));
    auto* Dst = static_cast<uint8_t*>(GlobalLock(Block));
    std::memcpy(Dst, H, static_cast<size_t>(HeaderPart));
    std::memcpy(Dst + HeaderPart, P.pBits, static_cast<size_t>(DataSize));
    GlobalUnlock(Block);
    Format = CF_DIB;
    Data = Block;
}

HGLOBAL RecPictureSaveToClipboardFormat(const TrecPicture& P)
{
    uint16_t Format = 0;
    HGLOBAL Data = nullptr;
    RecPictureSaveToClipboardFormat(P, Format, Data);
    return Data;
}

void RecPictureLoadFromClipboardFormat(TrecPicture& P, uint16_t Format, HGLOBAL Data, bool bDIBSection)
{
    static const std::string Who = "RecPictureLoadFromClipboardFormat";
    if ((Format != CF_DIB && Format != CF_BITMAP) || !Data)
        throw EUserError(Who + ": Invalid Param");
    const int64_t BlockSize = GlobalSizeSafe(Data);
    const auto* Mem = BlockSize > 0 ? static_cast<const uint8_t*>(GlobalLock(Data)) : nullptr;
    if (!Mem)
        throw EUserError(Who + ": Invalid Param");
    struct TUnlock {
        HGLOBAL H;
        ~TUnlock() { GlobalUnlock(H); }
    } Unlock{Data};

    if (BlockSize >= 4 && static_cast<uint32_t>(Get32(Mem)) != InfoHeaderSize)
        return; // not a BITMAPINFOHEADER: nothing is read
    if (BlockSize < static_cast<int64_t>(InfoHeaderSize))
        throw EUserError(Who + ": ヘッダーが途中で終わっています(" + std::to_string(BlockSize) + " バイト)");
    BITMAPINFOHEADER H;
    ReadBitmapInfoHeader(Mem, H);
    const int64_t Image = CheckStoredHeader<EUserError>(H, Who, THeaderRules{true, false});
    int64_t Entries = GetDIBColorCount(&H);
    if (H.biCompression == BI_BITFIELDS)
        Entries += 3;
    const int64_t HeaderPart = static_cast<int64_t>(InfoHeaderSize) + 4 * Entries;
    if (HeaderPart > BlockSize || Image > BlockSize - HeaderPart)
        throw EUserError(Who + ": データが足りません(" + std::to_string(BlockSize) + "/" +
                         std::to_string(HeaderPart + Image) + " バイト)");
    const bool TopDown = H.biHeight < 0;
    const int32_t Height = TopDown ? -H.biHeight : H.biHeight;

    // Built aside, so that the record is unchanged on every refusal.
    TrecPicture R;
    try {
        if (bDIBSection) {
            RecPictureCreate(R, TPoint{0, 0}, H.biWidth, Height, H.biBitCount, true);
            if (HeaderPart > static_cast<int64_t>(GlobalSize(R.pBIHeader)))
                throw EUserError(Who + ": pBIHeader Too Small");
        } else {
            const size_t HeaderBlock =
                std::max(static_cast<size_t>(HeaderPart), CreateHeaderSize(H.biBitCount));
            R.pBIHeader = GlobalAllocQ(GMEM_FIXED | GMEM_ZEROINIT, HeaderBlock);
            R.pBits = static_cast<uint8_t*>(GlobalAllocQ(GMEM_FIXED, static_cast<size_t>(Image)));
        }
        std::memcpy(R.pBIHeader, Mem, static_cast<size_t>(HeaderPart));
        BITMAPINFOHEADER* RH = RecPictureHeader(R);
        RH->biHeight = Height;
        RH->biSizeImage = static_cast<uint32_t>(Image);
        const uint8_t* Rows = Mem + HeaderPart;
        if (TopDown) {
            const int64_t Line = GetDIBLineSize(H.biWidth, H.biBitCount);
            for (int32_t Y = 0; Y < Height; ++Y)
                std::memcpy(R.pBits + (Height - 1 - Y) * Line, Rows + Y * Line, static_cast<size_t>(Line));
        } else {
            std::memcpy(R.pBits, Rows, static_cast<size_t>(Image));
        }
    } catch (...) {
        RecPictureClear(R);
        throw;
    }
    RecPictureClear(P);
    P = R;
}

// ---------------------------------------------------------------------------
// TDIBPicture

TDIBPicture::TDIBPicture()
{
    FrecPicture.pBIHeader = GlobalAllocQ(GMEM_FIXED | GMEM_ZEROINIT, CreateHeaderSize(8));
    WriteGreyTable(RecPictureHeader(FrecPicture), 256);
}

TDIBPicture::~TDIBPicture()
{
    try {
        RecPictureClear(FrecPicture);
    } catch (...) {
        // A destructor cannot report; the blocks are the record's own.
    }
}

void TDIBPicture::SetSize(int32_t Width, int32_t Height, int32_t BitCount)
{
    RecPictureCreate(FrecPicture, TPoint{0, 0}, Width, Height, BitCount, true);
}
