#include "raster/bmp_conv.h"

#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "raster/few_bytes.h"
#include "platform/safe_write.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr size_t InfoHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr size_t PaletteHeaderBytes = InfoHeaderBytes + 256 * sizeof(RGBQUAD); // 1064

// Bytes the header block holds after the 40-byte header; -1 when the header
// is not the start of a global block (then the table is trusted).
int64_t HeaderTailBytes(const BITMAPINFOHEADER* H)
{
    const size_t Size = GlobalSize(const_cast<BITMAPINFOHEADER*>(H));
    if (Size == 0)
        return -1;
    return Size < InfoHeaderBytes ? 0 : static_cast<int64_t>(Size - InfoHeaderBytes);
}

// Copies up to N raw table entries, starting Offset bytes after the header,
// into Dst; the ones the block does not hold become zeros.
void CopyTableEntries(const BITMAPINFOHEADER* H, int64_t N, RGBQUAD* Dst, int64_t Offset = 0)
{
    const int64_t Tail = HeaderTailBytes(H);
    const int64_t Avail = Tail < 0 ? N : std::clamp<int64_t>((Tail - Offset) / 4, 0, N);
    if (Avail > 0)
        std::memcpy(Dst, reinterpret_cast<const uint8_t*>(H) + InfoHeaderBytes + Offset,
                    static_cast<size_t>(Avail) * sizeof(RGBQUAD));
    if (N > Avail)
        std::memset(Dst + std::max<int64_t>(Avail, 0), 0,
                    static_cast<size_t>(N - std::max<int64_t>(Avail, 0)) * sizeof(RGBQUAD));
}

// The three BITFIELDS masks after the header; false when the block lacks them.
bool ReadMasks(const BITMAPINFOHEADER* H, uint32_t (&Masks)[3])
{
    const int64_t Tail = HeaderTailBytes(H);
    if (Tail >= 0 && Tail < 12)
        return false;
    std::memcpy(Masks, reinterpret_cast<const uint8_t*>(H) + InfoHeaderBytes, 12);
    return true;
}

void CheckBitCount(const BITMAPINFOHEADER* H, uint16_t Bits, const char* Routine)
{
    if (H->biBitCount != Bits)
        throw EUserError(std::string(Routine) + ": Illegal BitCount");
}

size_t ImageBytes(const BITMAPINFOHEADER* H, int32_t Bits)
{
    return static_cast<size_t>(GetDIBLineSize(H->biWidth, Bits) * H->biHeight);
}

// A new pixel block that is freed again unless released.
class TNewBlock {
public:
    explicit TNewBlock(size_t Size) : FBlock(GlobalAllocQ(GMEM_FIXED, Size)) {}
    ~TNewBlock()
    {
        if (FBlock)
            GlobalFree(FBlock);
    }
    TNewBlock(const TNewBlock&) = delete;
    TNewBlock& operator=(const TNewBlock&) = delete;
    uint8_t* Data() const { return static_cast<uint8_t*>(FBlock); }
    uint8_t* Release()
    {
        uint8_t* P = Data();
        FBlock = nullptr;
        return P;
    }

private:
    HGLOBAL FBlock;
};

// Stores the new block in the caller's variable before the old one is freed,
// so that a failing free leaves a consistent picture.
void ReplaceBits(uint8_t*& Bits, uint8_t* NewBits)
{
    HGLOBAL Old = Bits;
    Bits = NewBits;
    GlobalFreeQ(Old);
}

// The shift that brings a channel mask's top bit to bit 7: positive = left.
int32_t GetMaskShift(uint32_t Mask)
{
    int32_t Shift = 0;
    if (Mask < 128) {
        while (Mask < 128) {
            Mask <<= 1;
            ++Shift;
        }
    } else {
        while (Mask >= 256) {
            Mask >>= 1;
            --Shift;
        }
    }
    return Shift;
}

inline uint8_t MaskChannel(uint32_t Pixel, uint32_t Mask, int32_t Shift)
{
    const uint32_t V = Pixel & Mask;
    return static_cast<uint8_t>((Shift >= 0 ? V << Shift : V >> -Shift) & 255u);
}

inline void ZeroPadding(uint8_t* Row, int64_t Used, int64_t LineSize)
{
    if (LineSize > Used)
        SetFewBytes(Row + Used, 0, static_cast<size_t>(LineSize - Used));
}

// A 1064-byte zero-filled grey header made from the source's first 40 bytes.
HGLOBAL MakeGreyHeader(const BITMAPINFOHEADER* Src)
{
    HGLOBAL H = GlobalAllocQ(GPTR, PaletteHeaderBytes);
    auto* D = static_cast<BITMAPINFOHEADER*>(H);
    std::memcpy(D, Src, InfoHeaderBytes);
    D->biBitCount = 8;
    D->biCompression = BI_RGB;
    D->biClrUsed = 256;
    D->biSizeImage = static_cast<uint32_t>(ImageBytes(Src, 8));
    RGBQUAD* T = DIBColorTable(D);
    for (int I = 0; I < 256; ++I)
        T[I] = RGBQUAD{static_cast<uint8_t>(I), static_cast<uint8_t>(I), static_cast<uint8_t>(I), 0};
    return H;
}

} // namespace

int64_t GetDIBLineSize(int64_t Width, int32_t BitCount)
{
    return ((Width * BitCount + 31) / 32) * 4;
}

int64_t GetDIBImageSize(const BITMAPINFOHEADER* Header)
{
    return GetDIBLineSize(Header->biWidth, Header->biBitCount) * Header->biHeight;
}

void CheckDIBPicture(const BITMAPINFOHEADER* Header, const void* Bits, const char* Routine,
                     int64_t MaxPixels)
{
    if (!Header || !Bits)
        throw EUserError(std::string(Routine) + ": Illegal Param");
    const int64_t W = Header->biWidth;
    const int64_t H = Header->biHeight;
    if (W <= 0 || H <= 0 || W * H > MaxPixels)
        throw EUserError(std::string(Routine) + ": Illegal Size");
}

uint8_t* GetDIBPixelPtr(const BITMAPINFOHEADER* Header, uint8_t* Bits, int32_t X, int32_t Y)
{
    if (!Header || !Bits || X < 0 || Y < 0 || X >= Header->biWidth || Y >= Header->biHeight)
        return nullptr;
    const int64_t Line = GetDIBLineSize(Header->biWidth, Header->biBitCount);
    return Bits + (int64_t{Header->biHeight} - 1 - Y) * Line + (int64_t{X} * Header->biBitCount) / 8;
}

const uint8_t* GetDIBPixelPtr(const BITMAPINFOHEADER* Header, const uint8_t* Bits, int32_t X, int32_t Y)
{
    return GetDIBPixelPtr(Header, const_cast<uint8_t*>(Bits), X, Y);
}

void GetDIBTilePixelPtr(TPoint Origin, const BITMAPINFOHEADER* Header, uint8_t* Bits, TPoint Pt,
                        uint8_t*& Address, int64_t& LineSize)
{
    Address = nullptr;
    LineSize = 0;
    if (!Header)
        return;
    const int64_t W = Header->biWidth;
    const int64_t H = Header->biHeight;
    LineSize = GetDIBLineSize(W, Header->biBitCount);
    if (!Bits || W <= 0 || H <= 0)
        return;
    int64_t Dx = (int64_t{Pt.X} - Origin.X) % W;
    if (Dx < 0)
        Dx += W;
    int64_t Dy = (int64_t{Pt.Y} - Origin.Y) % H;
    if (Dy < 0)
        Dy += H;
    Address = Bits + (H - 1 - Dy) * LineSize + (Dx * Header->biBitCount) / 8;
}

void IntersectPlacedRects(TPoint PosA, int32_t WidthA, int32_t HeightA, TPoint PosB, int32_t WidthB,
                          int32_t HeightB, TPoint& Pos, int32_t& Width, int32_t& Height)
{
    auto Clamp = [](int64_t V) {
        return static_cast<int32_t>(std::clamp<int64_t>(V, std::numeric_limits<int32_t>::min(),
                                                        std::numeric_limits<int32_t>::max()));
    };
    const int64_t X = std::max(PosA.X, PosB.X);
    const int64_t Y = std::max(PosA.Y, PosB.Y);
    const int64_t Right = std::min(int64_t{PosA.X} + WidthA, int64_t{PosB.X} + WidthB);
    const int64_t Bottom = std::min(int64_t{PosA.Y} + HeightA, int64_t{PosB.Y} + HeightB);
    Pos.X = static_cast<int32_t>(X);
    Pos.Y = static_cast<int32_t>(Y);
    Width = Clamp(Right - X);
    Height = Clamp(Bottom - Y);
}

void ResizeDIBHeader(HGLOBAL& Header, size_t NewSize)
{
    HGLOBAL New = GlobalAllocQ(GMEM_FIXED, NewSize);
    if (Header)
        std::memcpy(New, Header, std::min(NewSize, InfoHeaderBytes));
    HGLOBAL Old = Header;
    Header = New;
    GlobalFreeQ(Old);
}

int64_t GetDIBColorCount(const BITMAPINFOHEADER* Header)
{
    if (Header->biClrUsed != 0)
        return Header->biClrUsed;
    return Header->biBitCount <= 8 ? int64_t{1} << Header->biBitCount : 0;
}

int32_t GetDIBPaddedColorTable(const BITMAPINFOHEADER* Header, std::array<RGBQUAD, 256>& Table)
{
    const int32_t Count = static_cast<int32_t>(std::min<int64_t>(GetDIBColorCount(Header), 256));
    Table.fill(RGBQUAD{0, 0, 0, 0});
    CopyTableEntries(Header, Count, Table.data());
    return Count;
}

uint32_t GetNearestPaletteIndex(const TDIBPalette& Palette, uint8_t R, uint8_t G, uint8_t B)
{
    uint32_t Best = 0;
    int32_t BestDist = std::numeric_limits<int32_t>::max();
    for (int32_t I = 0; I < Palette.Count; ++I) {
        const RGBQUAD& E = Palette.Entries[static_cast<size_t>(I)];
        const int32_t Dr = int32_t{E.rgbRed} - R;
        const int32_t Dg = int32_t{E.rgbGreen} - G;
        const int32_t Db = int32_t{E.rgbBlue} - B;
        const int32_t D = Dr * Dr + Dg * Dg + Db * Db;
        if (D < BestDist) {
            BestDist = D;
            Best = static_cast<uint32_t>(I);
            if (D == 0)
                break;
        }
    }
    return Best;
}

std::unique_ptr<TDIBPalette> CreateDIBPalette(const BITMAPINFOHEADER* Header)
{
    if (!Header)
        return nullptr;
    const int64_t Count = GetDIBColorCount(Header);
    if (Count < 1 || Count > 256)
        return nullptr;
    auto P = std::make_unique<TDIBPalette>();
    P->Count = static_cast<int32_t>(Count);
    CopyTableEntries(Header, Count, P->Entries.data());
    for (int32_t I = 0; I < P->Count; ++I)
        P->Entries[static_cast<size_t>(I)].rgbReserved = 0; // palette entry flags
    return P;
}

bool SaveBmpFile(const std::string& FileName, const BITMAPINFOHEADER* Header, const uint8_t* Bits,
                 bool FullTable)
{
    CheckDIBPicture(Header, Bits, "SaveBmpFile");
    const uint16_t BitCount = Header->biBitCount;
    int64_t Colors;
    if (FullTable || Header->biClrUsed == 0)
        Colors = BitCount <= 8 ? int64_t{1} << BitCount : 0;
    else
        Colors = Header->biClrUsed;
    Colors = std::min<int64_t>(Colors, 256); // no table holds more
    const bool HasMasks = (BitCount == 16 || BitCount == 32) && Header->biCompression == BI_BITFIELDS;
    const bool Packed = Header->biCompression == BI_RGB || Header->biCompression == BI_BITFIELDS;
    const int64_t Image = Packed ? GetDIBImageSize(Header) : int64_t{Header->biSizeImage};

    const size_t TableBytes = static_cast<size_t>(Colors) * 4 + (HasMasks ? 12 : 0);
    const uint32_t OffBits = static_cast<uint32_t>(14 + InfoHeaderBytes + TableBytes);
    std::vector<uint8_t> Head(OffBits, 0);
    const uint32_t FileSize = OffBits + static_cast<uint32_t>(Image);
    Head[0] = 'B';
    Head[1] = 'M';
    for (int I = 0; I < 4; ++I) {
        Head[2 + static_cast<size_t>(I)] = static_cast<uint8_t>(FileSize >> (8 * I));
        Head[10 + static_cast<size_t>(I)] = static_cast<uint8_t>(OffBits >> (8 * I));
    }
    WriteBitmapInfoHeader(*Header, Head.data() + 14);
    uint8_t* Tail = Head.data() + 14 + InfoHeaderBytes;
    if (HasMasks) {
        uint32_t Masks[3];
        if (!ReadMasks(Header, Masks)) {
            if (BitCount == 16) {
                Masks[0] = 0x7C00;
                Masks[1] = 0x03E0;
                Masks[2] = 0x001F;
            } else {
                Masks[0] = 0xFF0000;
                Masks[1] = 0x00FF00;
                Masks[2] = 0x0000FF;
            }
        }
        for (int M = 0; M < 3; ++M)
            for (int I = 0; I < 4; ++I)
                Tail[M * 4 + I] = static_cast<uint8_t>(Masks[M] >> (8 * I));
    }
    if (Colors > 0) {
        const int64_t MaskBytes = HasMasks ? 12 : 0;
        CopyTableEntries(Header, Colors, reinterpret_cast<RGBQUAD*>(Tail + MaskBytes), MaskBytes);
    }

    // A new file renamed over the old one, and only over a regular file: a
    // full disk keeps the old picture, a pipe or device in its place is left.
    const TFilePart Parts[] = {{Head.data(), Head.size()}, {Bits, Image > 0 ? static_cast<size_t>(Image) : 0}};
    switch (WriteFileReplacing(FileName, Parts, 2)) {
    case 0:
        return true;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
    case EIO:
        throw EWriteError();
    default:
        return false;
    }
}

void BmpConv1to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst)
{
    CheckDIBPicture(Header, Src, "BmpConv1to24");
    CheckDIBPicture(Header, Dst, "BmpConv1to24");
    CheckBitCount(Header, 1, "BmpConv1to24");
    std::array<RGBQUAD, 256> Table;
    GetDIBPaddedColorTable(Header, Table);
    if (Header->biClrUsed == 1)
        Table[0] = Table[1] = RGBQUAD{255, 255, 255, 0};
    const uint8_t Col[2][3] = {{Table[0].rgbBlue, Table[0].rgbGreen, Table[0].rgbRed},
                               {Table[1].rgbBlue, Table[1].rgbGreen, Table[1].rgbRed}};
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 1);
    const int64_t DstLine = GetDIBLineSize(W, 24);
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Src + Y * SrcLine;
        uint8_t* D = Dst + Y * DstLine;
        uint8_t* const RowStart = D;
        const int64_t Whole = W / 8;
        for (int64_t I = 0; I < Whole; ++I) {
            const uint32_t Byte = *S++;
            for (int K = 7; K >= 0; --K) {
                const uint8_t* C = Col[(Byte >> K) & 1];
                D[0] = C[0];
                D[1] = C[1];
                D[2] = C[2];
                D += 3;
            }
        }
        const int64_t Rest = W % 8;
        if (Rest) {
            const uint32_t Byte = *S;
            for (int64_t K = 0; K < Rest; ++K) {
                const uint8_t* C = Col[(Byte >> (7 - K)) & 1];
                D[0] = C[0];
                D[1] = C[1];
                D[2] = C[2];
                D += 3;
            }
        }
        ZeroPadding(RowStart, W * 3, DstLine);
    }
}

void BmpConv4to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst)
{
    CheckDIBPicture(Header, Src, "BmpConv4to24");
    CheckDIBPicture(Header, Dst, "BmpConv4to24");
    CheckBitCount(Header, 4, "BmpConv4to24");
    std::array<RGBQUAD, 256> Table; // 16 entries used, padded
    GetDIBPaddedColorTable(Header, Table);
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 4);
    const int64_t DstLine = GetDIBLineSize(W, 24);
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Src + Y * SrcLine;
        uint8_t* D = Dst + Y * DstLine;
        for (int64_t X = 0; X < W; ++X) {
            const uint32_t Byte = S[X >> 1];
            const RGBQUAD& C = Table[(X & 1) ? (Byte & 15) : (Byte >> 4)];
            D[0] = C.rgbBlue;
            D[1] = C.rgbGreen;
            D[2] = C.rgbRed;
            D += 3;
        }
        ZeroPadding(Dst + Y * DstLine, W * 3, DstLine);
    }
}

void BmpConv8to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst)
{
    CheckDIBPicture(Header, Src, "BmpConv8to24");
    CheckDIBPicture(Header, Dst, "BmpConv8to24");
    CheckBitCount(Header, 8, "BmpConv8to24");
    std::array<RGBQUAD, 256> Table;
    GetDIBPaddedColorTable(Header, Table);
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 8);
    const int64_t DstLine = GetDIBLineSize(W, 24);
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Src + Y * SrcLine;
        const uint8_t* const End = S + W;
        uint8_t* D = Dst + Y * DstLine;
        while (S < End) {
            const RGBQUAD& C = Table[*S++];
            D[0] = C.rgbBlue;
            D[1] = C.rgbGreen;
            D[2] = C.rgbRed;
            D += 3;
        }
        ZeroPadding(Dst + Y * DstLine, W * 3, DstLine);
    }
}

void BmpConv16to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst)
{
    if (!Header || !Src || !Dst)
        throw EUserError("BmpConv16to24: Illegal Param");
    if (Header->biBitCount != 16)
        throw EUserError("BmpConv16to24: (biBitCount <> 16)");
    CheckDIBPicture(Header, Src, "BmpConv16to24");
    uint32_t Masks[3] = {0x7C00, 0x03E0, 0x001F};
    if (Header->biCompression != BI_RGB) {
        uint32_t Stored[3];
        if (ReadMasks(Header, Stored)) {
            Stored[0] &= 0xFFFF;
            Stored[1] &= 0xFFFF;
            Stored[2] &= 0xFFFF;
            if (Stored[0] && Stored[1] && Stored[2])
                std::memcpy(Masks, Stored, sizeof(Masks));
        }
    }
    const int32_t ShR = GetMaskShift(Masks[0]);
    const int32_t ShG = GetMaskShift(Masks[1]);
    const int32_t ShB = GetMaskShift(Masks[2]);
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 16);
    const int64_t DstLine = GetDIBLineSize(W, 24);
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Src + Y * SrcLine;
        uint8_t* D = Dst + Y * DstLine;
        for (int64_t X = 0; X < W; ++X) {
            const uint32_t P = uint32_t{S[0]} | uint32_t{S[1]} << 8;
            D[0] = MaskChannel(P, Masks[2], ShB);
            D[1] = MaskChannel(P, Masks[1], ShG);
            D[2] = MaskChannel(P, Masks[0], ShR);
            S += 2;
            D += 3;
        }
        ZeroPadding(Dst + Y * DstLine, W * 3, DstLine);
    }
}

void BmpConv32to24(const BITMAPINFOHEADER* Header, const uint8_t* Src, uint8_t* Dst)
{
    CheckDIBPicture(Header, Src, "BmpConv32to24");
    CheckDIBPicture(Header, Dst, "BmpConv32to24");
    CheckBitCount(Header, 32, "BmpConv32to24");
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = W * 4;
    const int64_t DstLine = GetDIBLineSize(W, 24);
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Src + Y * SrcLine;
        uint8_t* D = Dst + Y * DstLine;
        for (int64_t X = 0; X < W; ++X) {
            D[0] = S[0];
            D[1] = S[1];
            D[2] = S[2];
            S += 4;
            D += 3;
        }
        ZeroPadding(Dst + Y * DstLine, W * 3, DstLine);
    }
}

uint8_t* BmpConv1to8(BITMAPINFOHEADER* Header, const uint8_t* Bits)
{
    CheckDIBPicture(Header, Bits, "BmpConv1to8");
    CheckBitCount(Header, 1, "BmpConv1to8");
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 1);
    const int64_t DstLine = GetDIBLineSize(W, 8);
    TNewBlock New(ImageBytes(Header, 8));
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Bits + Y * SrcLine;
        uint8_t* D = New.Data() + Y * DstLine;
        for (int64_t X = 0; X < W; ++X)
            D[X] = static_cast<uint8_t>((S[X >> 3] >> (7 - (X & 7))) & 1);
        ZeroPadding(D, W, DstLine);
    }
    if (Header->biClrUsed == 0)
        Header->biClrUsed = 2;
    Header->biBitCount = 8;
    Header->biSizeImage = static_cast<uint32_t>(ImageBytes(Header, 8));
    return New.Release();
}

uint8_t* BmpConv4to8(BITMAPINFOHEADER* Header, const uint8_t* Bits)
{
    CheckDIBPicture(Header, Bits, "BmpConv4to8");
    CheckBitCount(Header, 4, "BmpConv4to8");
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 4);
    const int64_t DstLine = GetDIBLineSize(W, 8);
    TNewBlock New(ImageBytes(Header, 8));
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Bits + Y * SrcLine;
        uint8_t* D = New.Data() + Y * DstLine;
        for (int64_t X = 0; X < W; ++X)
            D[X] = static_cast<uint8_t>((X & 1) ? (S[X >> 1] & 15) : (S[X >> 1] >> 4));
        ZeroPadding(D, W, DstLine);
    }
    if (Header->biClrUsed == 0)
        Header->biClrUsed = 16;
    Header->biBitCount = 8;
    Header->biSizeImage = static_cast<uint32_t>(ImageBytes(Header, 8));
    return New.Release();
}

uint8_t* BmpConv8to1(BITMAPINFOHEADER* Header, const uint8_t* Bits)
{
    CheckDIBPicture(Header, Bits, "BmpConv8to1");
    CheckBitCount(Header, 8, "BmpConv8to1");
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 8);
    const int64_t DstLine = GetDIBLineSize(W, 1);
    TNewBlock New(ImageBytes(Header, 1));
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Bits + Y * SrcLine;
        uint8_t* D = New.Data() + Y * DstLine;
        const int64_t Bytes = (W + 7) / 8;
        for (int64_t I = 0; I < Bytes; ++I) {
            const int64_t N = std::min<int64_t>(8, W - I * 8);
            uint32_t Byte = 0;
            for (int64_t K = 0; K < N; ++K)
                if (S[K])
                    Byte |= 0x80u >> K;
            D[I] = static_cast<uint8_t>(Byte);
            S += 8;
        }
        ZeroPadding(D, Bytes, DstLine);
    }
    Header->biBitCount = 1;
    Header->biCompression = BI_RGB;
    Header->biSizeImage = static_cast<uint32_t>(ImageBytes(Header, 1));
    return New.Release();
}

uint8_t* BmpConv8to2(BITMAPINFOHEADER* Header, const uint8_t* Bits)
{
    CheckDIBPicture(Header, Bits, "BmpConv8to2");
    CheckBitCount(Header, 8, "BmpConv8to2");
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 8);
    const int64_t DstLine = GetDIBLineSize(W, 2);
    TNewBlock New(ImageBytes(Header, 2));
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Bits + Y * SrcLine;
        uint8_t* D = New.Data() + Y * DstLine;
        const int64_t Groups = (W + 3) / 4;
        for (int64_t I = 0; I < Groups; ++I) {
            // Pixels past the width count as 0 rather than the row padding.
            uint32_t P[4] = {0, 0, 0, 0};
            const int64_t N = std::min<int64_t>(4, W - I * 4);
            for (int64_t K = 0; K < N; ++K)
                P[K] = S[K];
            D[I] = static_cast<uint8_t>(((P[0] << 6) & 255) | ((P[1] << 4) & 255) |
                                        ((P[2] << 2) & 255) | P[3]);
            S += 4;
        }
        ZeroPadding(D, Groups, DstLine);
    }
    Header->biBitCount = 2;
    Header->biCompression = BI_RGB;
    Header->biSizeImage = static_cast<uint32_t>(ImageBytes(Header, 2));
    return New.Release();
}

uint8_t* BmpConv8to4(BITMAPINFOHEADER* Header, const uint8_t* Bits)
{
    CheckDIBPicture(Header, Bits, "BmpConv8to4");
    CheckBitCount(Header, 8, "BmpConv8to4");
    const int64_t W = Header->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 8);
    const int64_t DstLine = GetDIBLineSize(W, 4);
    TNewBlock New(ImageBytes(Header, 4));
    for (int64_t Y = 0; Y < Header->biHeight; ++Y) {
        const uint8_t* S = Bits + Y * SrcLine;
        uint8_t* D = New.Data() + Y * DstLine;
        const int64_t Pairs = (W + 1) / 2;
        for (int64_t I = 0; I < Pairs; ++I) {
            const uint32_t P0 = S[0];
            const uint32_t P1 = (I * 2 + 1 < W) ? S[1] : 0;
            D[I] = static_cast<uint8_t>(((P0 << 4) & 255) | (P1 & 15));
            S += 2;
        }
        ZeroPadding(D, Pairs, DstLine);
    }
    Header->biBitCount = 4;
    Header->biCompression = BI_RGB;
    Header->biSizeImage = static_cast<uint32_t>(ImageBytes(Header, 4));
    return New.Release();
}

void ConvBmpTo24(HGLOBAL& Header, uint8_t*& Bits)
{
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    if (!H)
        throw EUserError("ConvBmpTo24: Illegal Param");
    const uint16_t Depth = H->biBitCount;
    if (Depth != 1 && Depth != 4 && Depth != 8)
        return;
    CheckDIBPicture(H, Bits, "ConvBmpTo24");
    TNewBlock New(ImageBytes(H, 24));
    if (Depth == 1)
        BmpConv1to24(H, Bits, New.Data());
    else if (Depth == 4)
        BmpConv4to24(H, Bits, New.Data());
    else
        BmpConv8to24(H, Bits, New.Data());
    H->biBitCount = 24;
    H->biSizeImage = static_cast<uint32_t>(ImageBytes(H, 24));
    ReplaceBits(Bits, New.Release());
}

void ConvBmpTo8(HGLOBAL& Header, uint8_t*& Bits)
{
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    if (!H)
        throw EUserError("ConvBmpTo8: Illegal Param");
    switch (H->biBitCount) {
    case 1:
        ReplaceBits(Bits, BmpConv1to8(H, Bits));
        break;
    case 4:
        ReplaceBits(Bits, BmpConv4to8(H, Bits));
        break;
    case 24:
        ReplaceBits(Bits, BmpConv24to8C(Header, Bits));
        break;
    default:
        break;
    }
}

void ConvBmpTo1(HGLOBAL& Header, uint8_t*& Bits)
{
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    if (!H)
        throw EUserError("ConvBmpTo1: Illegal Param");
    if (H->biBitCount == 8)
        ReplaceBits(Bits, BmpConv8to1(H, Bits));
}

void ConvBmpTo2(HGLOBAL& Header, uint8_t*& Bits)
{
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    if (!H)
        throw EUserError("ConvBmpTo2: Illegal Param");
    if (H->biBitCount == 8)
        ReplaceBits(Bits, BmpConv8to2(H, Bits));
}

void ConvBmpTo4(HGLOBAL& Header, uint8_t*& Bits)
{
    auto* H = static_cast<BITMAPINFOHEADER*>(Header);
    if (!H)
        throw EUserError("ConvBmpTo4: Illegal Param");
    switch (H->biBitCount) {
    case 1:
        throw EUserError("ConvBmpTo4: Illegal BitCount");
    case 8:
        ReplaceBits(Bits, BmpConv8to4(H, Bits));
        break;
    case 24:
        ReplaceBits(Bits, BmpConv24to4B(Header, Bits));
        break;
    default:
        break;
    }
}

void BmpConv24to8Gray(const BITMAPINFOHEADER* SrcHeader, uint8_t* pbDataSrc, HGLOBAL& DstHeader,
                      uint8_t*& DstBits, bool SameBuffer, bool HeaderOnly)
{
    if (!pbDataSrc)
        throw EUserError("BmpConv24to8Gray: (pbDataSrc = nil)");
    if (!SrcHeader)
        throw EUserError("BmpConv24to8Gray: Illegal Param");
    if (SrcHeader->biBitCount != 24)
        throw EUserError("BmpConv24to8Gray: biBitCount <> 24");
    CheckDIBPicture(SrcHeader, pbDataSrc, "BmpConv24to8Gray", MaxWorkPixels);
    HGLOBAL NewHeader = MakeGreyHeader(SrcHeader);
    uint8_t* Dst = pbDataSrc;
    if (!SameBuffer) {
        try {
            Dst = static_cast<uint8_t*>(GlobalAllocQ(GMEM_FIXED, ImageBytes(SrcHeader, 8)));
        } catch (...) {
            GlobalFree(NewHeader);
            throw;
        }
    }
    if (!HeaderOnly) {
        const int64_t W = SrcHeader->biWidth;
        const int64_t SrcLine = GetDIBLineSize(W, 24);
        const int64_t DstLine = GetDIBLineSize(W, 8);
        // Rows in memory order: each 8-bit row ends before the 24-bit row it
        // comes from, so the same block can be converted in place.
        for (int64_t Y = 0; Y < SrcHeader->biHeight; ++Y) {
            const uint8_t* S = pbDataSrc + Y * SrcLine;
            uint8_t* D = Dst + Y * DstLine;
            for (int64_t X = 0; X < W; ++X) {
                const uint32_t B = S[0], G = S[1], R = S[2];
                D[X] = static_cast<uint8_t>((1225 * R + 2404 * G + 467 * B) >> 12);
                S += 3;
            }
            ZeroPadding(D, W, DstLine);
        }
    }
    DstHeader = NewHeader;
    DstBits = Dst;
}

void BmpConv16to8Gray(const BITMAPINFOHEADER* SrcHeader, uint8_t* SrcBits, HGLOBAL& DstHeader,
                      uint8_t*& DstBits, bool SameBuffer)
{
    if (!SrcHeader || !SrcBits || SrcHeader->biBitCount != 16)
        throw EUserError("BmpConv24to8Gray: Illegal Param");
    CheckDIBPicture(SrcHeader, SrcBits, "BmpConv16to8Gray");
    HGLOBAL NewHeader = MakeGreyHeader(SrcHeader);
    uint8_t* Dst = SrcBits;
    if (!SameBuffer) {
        try {
            Dst = static_cast<uint8_t*>(GlobalAllocQ(GMEM_FIXED, ImageBytes(SrcHeader, 8)));
        } catch (...) {
            GlobalFree(NewHeader);
            throw;
        }
    }
    const int64_t W = SrcHeader->biWidth;
    const int64_t SrcLine = GetDIBLineSize(W, 16);
    const int64_t DstLine = GetDIBLineSize(W, 8);
    for (int64_t Y = 0; Y < SrcHeader->biHeight; ++Y) {
        const uint8_t* S = SrcBits + Y * SrcLine;
        uint8_t* D = Dst + Y * DstLine;
        for (int64_t X = 0; X < W; ++X) {
            const uint32_t Sample = uint32_t{S[0]} | uint32_t{S[1]} << 8;
            D[X] = static_cast<uint8_t>(std::min<uint32_t>((Sample + 128) >> 8, 255));
            S += 2;
        }
        ZeroPadding(D, W, DstLine);
    }
    DstHeader = NewHeader;
    DstBits = Dst;
}
