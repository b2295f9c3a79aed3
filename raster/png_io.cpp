#include "raster/png_io.h"

#include "foundation/platform_wrappers.h"
#include "raster/bmp_conv.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>

#include <png.h>

// libpng leaves its frames on errors with longjmp only. The library calls
// live in small C-style step functions: each sets the jump target, calls the
// library and returns 0, or 1 after a jump. No object with a destructor lives
// in them, and no C++ exception crosses a library frame: stream callbacks
// catch, record the exception and jump; the caller rethrows it afterwards.

namespace {

constexpr int PngJumpValue = 1;
// libpng's own default limits (1,000,000 per side) are below ours; the pixel
// cap is checked here instead.
constexpr png_uint_32 PngSideLimit = 0x7fffffff;
// Stream transfers are int32_t.
constexpr size_t PngMaxTransfer = size_t{1} << 30;

struct TPngIo {
    TStream* Stream = nullptr;
    bool ShowMessages = false; // the writer shows the library's messages
    std::exception_ptr Error;  // an exception raised in a callback
};

// A global block made here and freed unless handed over.
struct TPngBlock {
    HGLOBAL H = nullptr;
    TPngBlock() = default;
    TPngBlock(const TPngBlock&) = delete;
    TPngBlock& operator=(const TPngBlock&) = delete;
    ~TPngBlock()
    {
        if (H)
            GlobalFree(H);
    }
    HGLOBAL Release()
    {
        HGLOBAL R = H;
        H = nullptr;
        return R;
    }
};

[[noreturn]] void RaiseAfterJump(TPngIo& Io)
{
    if (Io.Error)
        std::rethrow_exception(Io.Error);
    throw ELongJump("longjmp が実行されました。\r\n" + std::to_string(PngJumpValue));
}

} // namespace

// ---- Callbacks (called from inside libpng).

static void PngWriteData(png_structp Png, png_bytep Data, size_t Length)
{
    TPngIo* Io = static_cast<TPngIo*>(png_get_io_ptr(Png));
    bool Failed = false;
    try {
        while (Length > 0) {
            const size_t N = std::min(Length, PngMaxTransfer);
            Io->Stream->WriteBuffer(Data, static_cast<int32_t>(N));
            Data += N;
            Length -= N;
        }
    } catch (...) {
        Io->Error = std::current_exception();
        Failed = true;
    }
    if (Failed)
        png_longjmp(Png, PngJumpValue);
}

static void PngReadData(png_structp Png, png_bytep Data, size_t Length)
{
    TPngIo* Io = static_cast<TPngIo*>(png_get_io_ptr(Png));
    bool Failed = false;
    try {
        while (Length > 0) {
            const size_t N = std::min(Length, PngMaxTransfer);
            Io->Stream->ReadBuffer(Data, static_cast<int32_t>(N));
            Data += N;
            Length -= N;
        }
    } catch (...) {
        Io->Error = std::current_exception();
        Failed = true;
    }
    if (Failed)
        png_longjmp(Png, PngJumpValue);
}

static void PngFlush(png_structp) {}

// Shows a library message; false (the exception recorded) when the message
// box itself raised.
static bool PngShowMessage(TPngIo* Io, png_const_charp Msg)
{
    try {
        ErrorMessageBox(std::string(Msg ? Msg : ""));
        return true;
    } catch (...) {
        if (!Io->Error)
            Io->Error = std::current_exception();
        return false;
    }
}

static void PngError(png_structp Png, png_const_charp Msg)
{
    TPngIo* Io = static_cast<TPngIo*>(png_get_error_ptr(Png));
    if (Io && Io->ShowMessages)
        PngShowMessage(Io, Msg);
    png_longjmp(Png, PngJumpValue);
}

static void PngWarning(png_structp Png, png_const_charp Msg)
{
    TPngIo* Io = static_cast<TPngIo*>(png_get_error_ptr(Png));
    if (Io && Io->ShowMessages && !PngShowMessage(Io, Msg))
        png_longjmp(Png, PngJumpValue);
}

// ---- Writing steps.

namespace {

struct TPngWriteSetup {
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    int BitDepth = 8;
    int ColorType = PNG_COLOR_TYPE_RGB;
    bool Interlace = false;
    std::array<png_color, 256> Palette{};
    int PaletteCount = 0;
    bool TransIndex0 = false;  // tRNS: index 0 fully transparent
    bool TransColour = false;  // tRNS: one RGB colour
    png_color_16 TransRGB{};
    bool Bgr = false;
    int Level = PngCompressionLevel;
};

} // namespace

[[gnu::noinline]] static int PngStepWriteInfo(png_structp Png, png_infop Info, TPngIo* Io,
                                              const TPngWriteSetup* S, int* Passes)
{
    if (setjmp(png_jmpbuf(Png)))
        return 1;
    png_set_write_fn(Png, Io, PngWriteData, PngFlush);
    png_set_user_limits(Png, PngSideLimit, PngSideLimit);
    png_set_compression_level(Png, S->Level);
    png_set_IHDR(Png, Info, S->Width, S->Height, S->BitDepth, S->ColorType,
                 S->Interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (S->ColorType == PNG_COLOR_TYPE_PALETTE)
        png_set_PLTE(Png, Info, S->Palette.data(), S->PaletteCount);
    if (S->TransIndex0) {
        png_byte Alpha[1] = {0};
        png_set_tRNS(Png, Info, Alpha, 1, nullptr);
    }
    if (S->TransColour)
        png_set_tRNS(Png, Info, nullptr, 0, &S->TransRGB);
    png_write_info(Png, Info);
    if (S->Bgr)
        png_set_bgr(Png);
    *Passes = S->Interlace ? png_set_interlace_handling(Png) : 1;
    return 0;
}

// Rows First .. First+Count-1 (0 = top row) of bottom-up DIB rows, once per pass.
[[gnu::noinline]] static int PngStepWriteRows(png_structp Png, const uint8_t* Bits, size_t LineSize,
                                              png_uint_32 Height, png_uint_32 First,
                                              png_uint_32 Count, int Passes)
{
    if (setjmp(png_jmpbuf(Png)))
        return 1;
    for (int P = 0; P < Passes; ++P) {
        const uint8_t* Row = Bits + size_t(Height - 1 - First) * LineSize;
        for (png_uint_32 I = 0; I < Count; ++I, Row -= LineSize)
            png_write_row(Png, Row);
    }
    return 0;
}

[[gnu::noinline]] static int PngStepWriteEnd(png_structp Png, png_infop Info)
{
    if (setjmp(png_jmpbuf(Png)))
        return 1;
    png_write_end(Png, Info);
    return 0;
}

// ---- Reading steps.

namespace {

struct TPngReadInfo {
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    int BitDepth = 0;
    int ColorType = 0;
    png_colorp Palette = nullptr;
    int PaletteCount = 0;
};

} // namespace

[[gnu::noinline]] static int PngStepReadInfo(png_structp Png, png_infop Info, TPngIo* Io,
                                             TPngReadInfo* R)
{
    if (setjmp(png_jmpbuf(Png)))
        return 1;
    png_set_read_fn(Png, Io, PngReadData);
    png_set_user_limits(Png, PngSideLimit, PngSideLimit);
    png_read_info(Png, Info);
    int Interlace, Compression, Filter;
    png_get_IHDR(Png, Info, &R->Width, &R->Height, &R->BitDepth, &R->ColorType, &Interlace,
                 &Compression, &Filter);
    if (R->ColorType == PNG_COLOR_TYPE_PALETTE)
        png_get_PLTE(Png, Info, &R->Palette, &R->PaletteCount);
    return 0;
}

// Sets the transformations and reads every row (all passes) into bottom-up
// DIB rows, then the chunks up to IEND. Returns 2 when a transformed row
// would not fit the DIB row.
[[gnu::noinline]] static int PngStepReadImage(png_structp Png, png_infop Info, uint8_t* Bits,
                                              size_t LineSize, png_uint_32 Height, int Bgr,
                                              int StripAlpha, int Unpack, size_t* RowBytes)
{
    if (setjmp(png_jmpbuf(Png)))
        return 1;
    if (Bgr)
        png_set_bgr(Png);
    if (StripAlpha)
        png_set_strip_alpha(Png);
    if (Unpack)
        png_set_packing(Png);
    const int Passes = png_set_interlace_handling(Png);
    png_read_update_info(Png, Info);
    *RowBytes = png_get_rowbytes(Png, Info);
    if (*RowBytes > LineSize)
        return 2;
    for (int P = 0; P < Passes; ++P) {
        uint8_t* Row = Bits + size_t(Height - 1) * LineSize;
        for (png_uint_32 Y = 0; Y < Height; ++Y, Row -= LineSize)
            png_read_row(Png, Row, nullptr);
    }
    png_read_end(Png, nullptr);
    return 0;
}

// ---- Pixel helpers for the palette shift of the transparent colour.

static uint32_t GetPackedIndex(const uint8_t* Row, int64_t X, int Bits)
{
    switch (Bits) {
    case 8: return Row[X];
    case 4: return (Row[X >> 1] >> ((X & 1) ? 0 : 4)) & 0x0F;
    case 2: return (Row[X >> 2] >> (6 - 2 * (X & 3))) & 0x03;
    default: return (Row[X >> 3] >> (7 - (X & 7))) & 0x01;
    }
}

static void SetPackedIndex(uint8_t* Row, int64_t X, int Bits, uint32_t V)
{
    const uint32_t Mask = (1u << Bits) - 1;
    V &= Mask;
    int Shift;
    uint8_t* P;
    switch (Bits) {
    case 8: Row[X] = static_cast<uint8_t>(V); return;
    case 4: P = Row + (X >> 1); Shift = (X & 1) ? 0 : 4; break;
    case 2: P = Row + (X >> 2); Shift = 6 - 2 * int(X & 3); break;
    default: P = Row + (X >> 3); Shift = 7 - int(X & 7); break;
    }
    *P = static_cast<uint8_t>((*P & ~(Mask << Shift)) | (V << Shift));
}

// ---- Writing.

void PNGSaveToStream(TStream& Stream, const BITMAPINFOHEADER* Header, const uint8_t* Bits,
                     int32_t TransCol, bool Interlace, void* Sender,
                     const TConvertProgressEvent& OnProgress, bool& Cancel)
{
    Cancel = false;
    if (!Header || Header->biWidth == 0 || Header->biHeight == 0)
        throw EUserError("PNGSaveToStream: biWidth or biHeight = 0");
    CheckDIBPicture(Header, Bits, "PNGSaveToStream");

    const int32_t Width = Header->biWidth;
    const int32_t Height = Header->biHeight;
    const int BitCount = Header->biBitCount;

    TPngWriteSetup S;
    S.Width = static_cast<png_uint_32>(Width);
    S.Height = static_cast<png_uint_32>(Height);
    S.Interlace = Interlace;

    // The pixels written: the caller's, or a converted copy.
    const uint8_t* OutBits = Bits;
    int64_t OutLineSize = GetDIBLineSize(Width, BitCount);
    TPngBlock HeaderCopy, BitsCopy;

    if (BitCount <= 8) {
        const int64_t Colours = GetDIBColorCount(Header);
        if (TransCol > 0 && TransCol != Colours)
            throw EUserError("WritePngFile: Illegal iTransCol");
        if (BitCount == 0)
            throw EUserError("pBInfoTmp.bmiHeader.biBitCount = 0");
        if (BitCount != 1 && BitCount != 2 && BitCount != 4 && BitCount != 8)
            throw EUserError("PNGSaveToStream: Illegal biBitCount(" + std::to_string(BitCount) + ")");
        if (Header->biCompression != BI_RGB)
            throw EUserError("PNGSaveToStream: Illegal biCompression");
        if (Colours > 256)
            throw EUserError("pBInfoTmp.bmiHeader.biBitCount");

        // A private header with the whole table (missing entries read black).
        std::array<RGBQUAD, 256> Table{};
        GetDIBPaddedColorTable(Header, Table);
        HeaderCopy.H = GlobalAllocQ(GPTR, sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        BITMAPINFOHEADER* H = static_cast<BITMAPINFOHEADER*>(HeaderCopy.H);
        *H = *Header;
        H->biClrUsed = static_cast<uint32_t>(Colours);
        std::memcpy(DIBColorTable(H), Table.data(), sizeof Table);

        if (TransCol > 0) {
            // The last entry becomes entry 0: the palette moves up one place
            // and so does every index, the last one wrapping to 0.
            const uint32_t N = static_cast<uint32_t>(Colours);
            RGBQUAD* Pal = DIBColorTable(H);
            std::memmove(Pal + 1, Pal, (N - 1) * sizeof(RGBQUAD));
            const int64_t ImageSize = OutLineSize * Height;
            BitsCopy.H = GlobalAllocQ(GMEM_FIXED, static_cast<size_t>(ImageSize));
            uint8_t* Copy = static_cast<uint8_t*>(BitsCopy.H);
            std::memcpy(Copy, Bits, static_cast<size_t>(ImageSize));
            for (int32_t Y = 0; Y < Height; ++Y) {
                uint8_t* Row = Copy + int64_t(Y) * OutLineSize;
                for (int32_t X = 0; X < Width; ++X) {
                    const uint32_t I = GetPackedIndex(Row, X, BitCount);
                    SetPackedIndex(Row, X, BitCount, I == N - 1 ? 0 : I + 1);
                }
            }
            OutBits = Copy;
        }

        // The smallest depth for the colour count; only 8-bit pixels are packed.
        if (BitCount == 8 && Colours <= 16) {
            uint8_t* Packed;
            if (Colours <= 2)
                Packed = BmpConv8to1(H, OutBits);
            else if (Colours <= 4)
                Packed = BmpConv8to2(H, OutBits);
            else
                Packed = BmpConv8to4(H, OutBits);
            TPngBlock Old;
            Old.H = BitsCopy.Release();
            BitsCopy.H = Packed;
            OutBits = Packed;
            OutLineSize = GetDIBLineSize(Width, H->biBitCount);
        }

        S.BitDepth = H->biBitCount;
        S.ColorType = PNG_COLOR_TYPE_PALETTE;
        // Entries beyond what the depth can address are never used.
        S.PaletteCount = static_cast<int>(std::min<int64_t>(Colours, int64_t{1} << S.BitDepth));
        const RGBQUAD* Pal = DIBColorTable(H);
        for (int I = 0; I < S.PaletteCount; ++I)
            S.Palette[I] = png_color{Pal[I].rgbRed, Pal[I].rgbGreen, Pal[I].rgbBlue};
        S.TransIndex0 = TransCol >= 0;
    } else {
        if (BitCount == 16 || BitCount == 32) {
            // Written as their 24-bit expansion.
            const int64_t Line24 = GetDIBLineSize(Width, 24);
            BitsCopy.H = GlobalAllocQ(GMEM_FIXED, static_cast<size_t>(Line24 * Height));
            uint8_t* Copy = static_cast<uint8_t*>(BitsCopy.H);
            if (BitCount == 16)
                BmpConv16to24(Header, Bits, Copy);
            else
                BmpConv32to24(Header, Bits, Copy);
            OutBits = Copy;
            OutLineSize = Line24;
        } else if (BitCount != 24) {
            throw EUserError("PNGSaveToStream: Illegal biBitCount(" + std::to_string(BitCount) + ")");
        } else if (Header->biCompression != BI_RGB) {
            throw EUserError("PNGSaveToStream: Illegal biCompression");
        }
        S.BitDepth = 8;
        S.ColorType = PNG_COLOR_TYPE_RGB;
        S.Bgr = true;
        if (TransCol >= 0) {
            S.TransColour = true;
            S.TransRGB.red = static_cast<png_uint_16>(TransCol & 0xFF);
            S.TransRGB.green = static_cast<png_uint_16>((TransCol >> 8) & 0xFF);
            S.TransRGB.blue = static_cast<png_uint_16>((TransCol >> 16) & 0xFF);
        }
    }

    TPngIo Io;
    Io.Stream = &Stream;
    Io.ShowMessages = true;
    png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &Io, PngError, PngWarning);
    if (!Png)
        throw EUserError("PNGSaveToStream: png_create_write_struct Failed");
    png_infop Info = png_create_info_struct(Png);
    struct TGuard {
        png_structp& Png;
        png_infop& Info;
        ~TGuard() { png_destroy_write_struct(&Png, &Info); }
    } Guard{Png, Info};
    if (!Info)
        throw EUserError("PNGSaveToStream: png_create_info_struct Failed");

    int Passes = 1;
    if (PngStepWriteInfo(Png, Info, &Io, &S, &Passes))
        RaiseAfterJump(Io);

    const size_t LineSize = static_cast<size_t>(OutLineSize);
    const png_uint_32 H = S.Height;
    if (!OnProgress || Interlace) {
        if (PngStepWriteRows(Png, OutBits, LineSize, H, 0, H, Passes))
            RaiseAfterJump(Io);
    } else {
        const std::string Msg = "PNG 圧縮中";
        png_uint_32 Done = 0;
        while (H - Done >= 8) {
            if (PngStepWriteRows(Png, OutBits, LineSize, H, Done, 8, 1))
                RaiseAfterJump(Io);
            Done += 8;
            OnProgress(Sender, static_cast<int32_t>(int64_t(Done) * 100 / H), Msg, Cancel);
            if (Cancel)
                return;
        }
        if (Done < H && PngStepWriteRows(Png, OutBits, LineSize, H, Done, H - Done, 1))
            RaiseAfterJump(Io);
    }
    if (PngStepWriteEnd(Png, Info))
        RaiseAfterJump(Io);
}

// ---- Reading.

void PNGLoadFromStream(TStream& Stream, HGLOBAL& Header, uint8_t*& Bits, bool& Cancel)
{
    Cancel = false;
    TPngIo Io;
    Io.Stream = &Stream;
    png_structp Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &Io, PngError, PngWarning);
    if (!Png)
        throw EUserError("PNGLoadFromStream: png_create_write_struct Failed");
    // Ancillary chunks (text, profiles, scales) never hold more than a few megabytes;
    // a chunk claiming gigabytes would make the library allocate it all first.
    // The chunks we never use are skipped without being read into memory.
    png_set_chunk_malloc_max(Png, 8u << 20);
    static const png_byte cSkipped[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf\0pCAL\0sCAL";
    png_set_keep_unknown_chunks(Png, PNG_HANDLE_CHUNK_NEVER, cSkipped, 8);
    png_infop Info = png_create_info_struct(Png);
    struct TGuard {
        png_structp& Png;
        png_infop& Info;
        ~TGuard() { png_destroy_read_struct(&Png, &Info, nullptr); }
    } Guard{Png, Info};
    if (!Info)
        throw EUserError("PNGLoadFromStream: png_create_info_struct Failed");

    TPngReadInfo R;
    if (PngStepReadInfo(Png, Info, &Io, &R))
        RaiseAfterJump(Io);
    if (R.BitDepth == 16)
        throw EUserError("PNGLoadFromStream: Not Suppoert (BitDepth = 16)");
    if (R.Width == 0 || R.Height == 0 || R.Width > 0x7fffffffu || R.Height > 0x7fffffffu ||
        uint64_t(R.Width) * R.Height > uint64_t(MaxPicturePixels))
        throw EUserError("PNGLoadFromStream: Illegal Size");

    const int32_t Width = static_cast<int32_t>(R.Width);
    const int32_t Height = static_cast<int32_t>(R.Height);
    int BitCount;
    int Colours = 0;
    std::array<RGBQUAD, 256> Table{};
    bool Bgr = false, StripAlpha = false;
    switch (R.ColorType) {
    case PNG_COLOR_TYPE_GRAY:
    case PNG_COLOR_TYPE_GRAY_ALPHA: {
        // An even ramp from black to white over the depth's levels.
        Colours = 1 << R.BitDepth;
        for (int I = 0; I < Colours; ++I) {
            const uint8_t V = static_cast<uint8_t>(I * 255 / (Colours - 1));
            Table[I] = RGBQUAD{V, V, V, 0};
        }
        BitCount = R.BitDepth;
        StripAlpha = R.ColorType == PNG_COLOR_TYPE_GRAY_ALPHA;
        break;
    }
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_RGB_ALPHA:
        BitCount = 3 * R.BitDepth;
        Bgr = true;
        StripAlpha = R.ColorType == PNG_COLOR_TYPE_RGB_ALPHA;
        break;
    case PNG_COLOR_TYPE_PALETTE:
        Colours = std::min(R.PaletteCount, 1 << R.BitDepth);
        for (int I = 0; I < Colours; ++I)
            Table[I] = RGBQUAD{R.Palette[I].blue, R.Palette[I].green, R.Palette[I].red, 0};
        BitCount = R.BitDepth;
        break;
    default:
        throw EUserError("PNGLoadFromStream: Illegal ColorType(" + std::to_string(R.ColorType) + ")");
    }
    // 2-bit pictures are unpacked to one byte per pixel.
    const bool Unpack = BitCount == 2;
    if (Unpack)
        BitCount = 8;

    const int64_t LineSize = GetDIBLineSize(Width, BitCount);
    const int64_t ImageSize = LineSize * Height;
    const size_t TableBytes = BitCount <= 8 ? (size_t{1} << BitCount) * sizeof(RGBQUAD) : 0;

    TPngBlock NewHeader, NewBits;
    NewHeader.H = GlobalAllocQ(GPTR, sizeof(BITMAPINFOHEADER) + TableBytes);
    // Zeroed: libpng keeps the bits past a row's last pixel, and equal
    // pictures must have equal blocks.
    NewBits.H = GlobalAllocQ(GPTR, static_cast<size_t>(ImageSize));
    uint8_t* B = static_cast<uint8_t*>(NewBits.H);

    size_t RowBytes = 0;
    const int Status = PngStepReadImage(Png, Info, B, static_cast<size_t>(LineSize), R.Height, Bgr,
                                        StripAlpha, Unpack, &RowBytes);
    if (Status == 1)
        RaiseAfterJump(Io);
    if (Status == 2)
        throw EUserError("PNGLoadFromStream: Illegal Row Size");

    BITMAPINFOHEADER* H = static_cast<BITMAPINFOHEADER*>(NewHeader.H);
    H->biSize = sizeof(BITMAPINFOHEADER);
    H->biWidth = Width;
    H->biHeight = Height;
    H->biPlanes = 1;
    H->biBitCount = static_cast<uint16_t>(BitCount);
    H->biCompression = BI_RGB;
    H->biSizeImage = static_cast<uint32_t>(ImageSize);
    H->biClrUsed = static_cast<uint32_t>(Colours);
    if (Colours > 0)
        std::memcpy(DIBColorTable(H), Table.data(), size_t(Colours) * sizeof(RGBQUAD));

    Header = NewHeader.Release();
    Bits = static_cast<uint8_t*>(NewBits.Release());
}

void PNGLoadFromFile(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits, bool& Cancel)
{
    TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
    PNGLoadFromStream(Stream, Header, Bits, Cancel);
}
