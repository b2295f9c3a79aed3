#include "raster/png_io.h"

#include "foundation/platform_wrappers.h"
#include "raster/bmp_conv.h"
#include "raster/few_bytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <exception>
#include <vector>

#include <png.h>
#include <zlib.h>

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
// The largest chunk a PNG can hold.
constexpr uint32_t PngMaxChunk = 0x7fffffff;

// Follows the chunk framing of the bytes the library reads, so that the
// reader knows where the library stopped.
class TPngFraming {
public:
    void Take(const uint8_t* P, size_t N)
    {
        while (N > 0) {
            size_t K;
            if (FPos < FNextHead) {
                K = size_t(std::min<uint64_t>(N, FNextHead - FPos));
            } else {
                const size_t Off = size_t(FPos - FNextHead);
                K = std::min(N, 8 - Off);
                std::memcpy(FHead + Off, P, K);
                if (Off + K == 8) {
                    FHeadEnd = FPos + K;
                    FNextHead = FHeadEnd + Length() + 4;
                }
            }
            P += K;
            N -= K;
            FPos += K;
        }
    }
    // Right after a chunk's header, nothing of its data read.
    bool JustAfterHead() const { return FHeadEnd > 0 && FPos == FHeadEnd; }
    bool HeadIs(const char* Type) const { return std::memcmp(FHead + 4, Type, 4) == 0; }
    uint32_t Length() const
    {
        return uint32_t(FHead[0]) << 24 | uint32_t(FHead[1]) << 16 | uint32_t(FHead[2]) << 8 | FHead[3];
    }

private:
    uint64_t FPos = 0;      // bytes read
    uint64_t FNextHead = 8; // where the next chunk header starts (after the signature)
    uint64_t FHeadEnd = 0;  // where the last whole header ended
    uint8_t FHead[8] = {};
};

struct TPngIo {
    TStream* Stream = nullptr;
    bool ShowMessages = false; // the writer shows the library's messages
    std::exception_ptr Error;  // an exception raised in a callback
    TPngFraming Framing;       // what the reader's library read
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

[[noreturn]] void RaiseLongJump()
{
    throw ELongJump("longjmp が実行されました。\r\n" + std::to_string(PngJumpValue));
}

[[noreturn]] void RaiseAfterJump(TPngIo& Io)
{
    if (Io.Error)
        std::rethrow_exception(Io.Error);
    RaiseLongJump();
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
            Io->Framing.Take(Data, N);
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
    int Interlace = PNG_INTERLACE_NONE;
    png_colorp Palette = nullptr;
    int PaletteCount = 0;
};

} // namespace

// Reads the chunks up to the first IDAT chunk's header.
[[gnu::noinline]] static int PngStepReadInfo(png_structp Png, png_infop Info, TPngIo* Io,
                                             TPngReadInfo* R)
{
    if (setjmp(png_jmpbuf(Png)))
        return 1;
    png_set_read_fn(Png, Io, PngReadData);
    png_set_user_limits(Png, PngSideLimit, PngSideLimit);
    png_read_info(Png, Info);
    int Compression, Filter;
    png_get_IHDR(Png, Info, &R->Width, &R->Height, &R->BitDepth, &R->ColorType, &R->Interlace,
                 &Compression, &Filter);
    if (R->ColorType == PNG_COLOR_TYPE_PALETTE)
        png_get_PLTE(Png, Info, &R->Palette, &R->PaletteCount);
    return 0;
}

// ---- The image data.
//
// libpng inflates and unfilters one row per call, at a cost of tens of
// nanoseconds per row whatever its length, so that a picture of short rows
// (1 x 100,000,000 is legal) cost many times what a square one of the same
// pixels does. So the library reads and checks the chunks before the image
// data, and the reader below takes the IDAT chunks and the rest through IEND:
// it inflates in large blocks, unfilters and places the rows itself with the
// results of the library's transformations (BGR order, alpha dropped, 2-bit
// samples one per byte, the bits past a row's last pixel left 0). Damage ends
// in the library's long jump: a CRC error in a critical chunk, too little or
// broken image data, and any critical chunk but IEND after the image data,
// where the format allows none.

namespace {

// Inflated bytes taken per zlib call; compressed bytes read per stream read.
constexpr size_t PngInflateBlock = size_t{256} << 10;
constexpr size_t PngReadBlock = size_t{64} << 10;

// Adam7: first column, first row, column step, row step of each pass.
constexpr uint32_t cAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                   {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};

uint32_t PassSpan(uint32_t Size, uint32_t First, uint32_t Step)
{
    return Size > First ? (Size - First + Step - 1) / Step : 0;
}

uint8_t GetSample(const uint8_t* Row, size_t I, int Bits)
{
    if (Bits == 8)
        return Row[I];
    const size_t Bit = I * size_t(Bits);
    return static_cast<uint8_t>((Row[Bit >> 3] >> (8 - Bits - int(Bit & 7))) & ((1 << Bits) - 1));
}

// Into a zeroed row, where each pixel is written once.
void PutSample(uint8_t* Row, size_t X, int Bits, uint8_t V)
{
    if (Bits == 8) {
        Row[X] = V;
        return;
    }
    const size_t Bit = X * size_t(Bits);
    Row[Bit >> 3] |= static_cast<uint8_t>(V << (8 - Bits - int(Bit & 7)));
}

// Inflates the image data and places its rows, pass by pass, into the DIB.
class TPngRowDecoder {
public:
    TPngRowDecoder() = default;
    TPngRowDecoder(const TPngRowDecoder&) = delete;
    TPngRowDecoder& operator=(const TPngRowDecoder&) = delete;
    ~TPngRowDecoder()
    {
        if (FZReady)
            inflateEnd(&FZ);
    }

    // Bits: the zeroed bottom-up DIB rows of LineSize bytes; OutBits the
    // DIB's depth. Samples are of 1, 2, 4 or 8 bits.
    void Start(const TPngReadInfo& R, uint8_t* Bits, size_t LineSize, int OutBits);
    // The next compressed bytes; false once the data is broken or ends
    // before the last row.
    bool Feed(const uint8_t* In, size_t N);
    // Every row of every pass placed.
    bool Done() const { return FDone; }

private:
    bool NextPass();
    bool Row(uint8_t* Filtered);
    bool TakeRows(size_t& Pos);
    // Inlined into the row loops: a call for each row of a few bytes costs
    // more than the row.
    [[gnu::always_inline]] inline bool Unfilter(uint8_t Filter, uint8_t* Cur, const uint8_t* Up) const;
    [[gnu::always_inline]] inline void Place(uint8_t* Out, const uint8_t* Cur) const;
    uint8_t* RowOut() const { return FBits + size_t(FHeight - 1 - (FY0 + FRow * FDy)) * FLineSize; }

    z_stream FZ{};
    bool FZReady = false;
    bool FDone = false;
    std::vector<uint8_t> FBuf; // inflated bytes not yet taken as rows
    size_t FHave = 0;
    std::vector<uint8_t> FKept;     // the row above, kept when its block moves
    const uint8_t* FPrev = nullptr; // the row above; nil on a pass's first row
    // The picture.
    uint32_t FWidth = 0, FHeight = 0;
    int FDepth = 8, FChannels = 1, FOutBits = 8;
    size_t FBpp = 1; // distance of the byte a filter refers to
    uint8_t* FBits = nullptr;
    size_t FLineSize = 0;
    // The current pass.
    int FPass = -1, FPasses = 1;
    uint32_t FX0 = 0, FY0 = 0, FDx = 1, FDy = 1, FPassWidth = 0, FPassRows = 0, FRow = 0;
    size_t FRowBytes = 0; // a row of the pass without its filter byte
};

void TPngRowDecoder::Start(const TPngReadInfo& R, uint8_t* Bits, size_t LineSize, int OutBits)
{
    FWidth = R.Width;
    FHeight = R.Height;
    FDepth = R.BitDepth;
    FChannels = R.ColorType == PNG_COLOR_TYPE_RGB         ? 3
                : R.ColorType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                : R.ColorType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                           : 1;
    FOutBits = OutBits;
    FBpp = std::max<size_t>(1, size_t(FDepth * FChannels) / 8);
    FBits = Bits;
    FLineSize = LineSize;
    FPasses = R.Interlace == PNG_INTERLACE_NONE ? 1 : 7;
    const size_t MaxRow = (size_t(FWidth) * size_t(FDepth * FChannels) + 7) / 8;
    FKept.resize(MaxRow);
    // A block, or about the whole image when smaller; at least a row.
    const uint64_t Image = uint64_t(FHeight) * (MaxRow + 1) * uint64_t(FPasses == 1 ? 1 : 2);
    FBuf.resize(std::max<size_t>(MaxRow + 1, size_t(std::min<uint64_t>(PngInflateBlock, Image))));
    if (inflateInit(&FZ) != Z_OK)
        throw EUserError("PNGLoadFromStream: inflateInit Failed");
    FZReady = true;
    FDone = !NextPass();
}

// Moves to the next pass that has pixels; false after the last.
bool TPngRowDecoder::NextPass()
{
    while (++FPass < FPasses) {
        static constexpr uint32_t cWhole[4] = {0, 0, 1, 1};
        const uint32_t* P = FPasses == 1 ? cWhole : cAdam7[FPass];
        FX0 = P[0];
        FY0 = P[1];
        FDx = P[2];
        FDy = P[3];
        FPassWidth = PassSpan(FWidth, FX0, FDx);
        FPassRows = PassSpan(FHeight, FY0, FDy);
        if (FPassWidth == 0 || FPassRows == 0)
            continue; // a pass without pixels stores no rows
        FRow = 0;
        FRowBytes = (size_t(FPassWidth) * size_t(FDepth * FChannels) + 7) / 8;
        FPrev = nullptr;
        return true;
    }
    return false;
}

bool TPngRowDecoder::Feed(const uint8_t* In, size_t N)
{
    FZ.next_in = const_cast<Bytef*>(In);
    FZ.avail_in = static_cast<uInt>(N);
    while (!FDone) {
        FZ.next_out = FBuf.data() + FHave;
        FZ.avail_out = static_cast<uInt>(FBuf.size() - FHave);
        const int Ret = inflate(&FZ, Z_NO_FLUSH);
        FHave = FBuf.size() - FZ.avail_out;
        size_t Pos = 0;
        if (FPasses == 1 && !TakeRows(Pos))
            return false;
        while (!FDone && FHave - Pos > FRowBytes) {
            const size_t Length = FRowBytes + 1; // the next pass's rows differ
            if (!Row(FBuf.data() + Pos))
                return false;
            Pos += Length;
        }
        if (FDone)
            return true;
        if (Pos > 0) {
            // Rows are unfiltered in place; the one above the next row moves away.
            if (FPrev) {
                std::memcpy(FKept.data(), FPrev, FRowBytes);
                FPrev = FKept.data();
            }
            std::memmove(FBuf.data(), FBuf.data() + Pos, FHave - Pos);
            FHave -= Pos;
        }
        if (Ret == Z_BUF_ERROR && FZ.avail_in == 0)
            return true; // the next bytes are needed
        if (Ret != Z_OK)
            return false; // broken, or ended before the last row
    }
    return true;
}

bool TPngRowDecoder::Row(uint8_t* Filtered)
{
    uint8_t* Cur = Filtered + 1;
    if (!Unfilter(Filtered[0], Cur, FPrev))
        return false;
    Place(RowOut(), Cur);
    FPrev = Cur;
    if (++FRow == FPassRows && !NextPass())
        FDone = true;
    return true;
}

// The whole rows of a picture that is not interlaced inflated so far, from
// Pos on, in one loop with its state in locals: a row of a few bytes (a
// picture a pixel wide and millions tall) costs little more than its bytes.
// False when a row's filter is unknown.
bool TPngRowDecoder::TakeRows(size_t& Pos)
{
    const size_t N = FRowBytes, Length = N + 1;
    uint8_t* const Buf = FBuf.data();
    const size_t Have = FHave;
    uint32_t Row = FRow;
    const uint8_t* Up = FPrev;
    uint8_t* Out = RowOut();
    bool Sound = true;
    while (Row < FPassRows && Have - Pos > N) {
        uint8_t* Cur = Buf + Pos + 1;
        if (!Unfilter(Buf[Pos], Cur, Up)) {
            Sound = false;
            break;
        }
        Place(Out, Cur);
        Up = Cur;
        ++Row;
        Out -= FLineSize;
        Pos += Length;
    }
    FRow = Row;
    FPrev = Up;
    if (Row == FPassRows)
        FDone = true;
    return Sound;
}

bool TPngRowDecoder::Unfilter(uint8_t Filter, uint8_t* Cur, const uint8_t* Up) const
{
    const size_t N = FRowBytes, Bpp = std::min(FBpp, N);
    // Above a pass's first row lies a row of zeros: up adds nothing and
    // Paeth predicts the byte to the left, as sub does.
    if (!Up && Filter == 2)
        return true;
    if (!Up && Filter == 4)
        Filter = 1;
    switch (Filter) {
    case 0: // none
        return true;
    case 1: // sub
        for (size_t I = Bpp; I < N; ++I)
            Cur[I] = static_cast<uint8_t>(Cur[I] + Cur[I - Bpp]);
        return true;
    case 2: // up
        for (size_t I = 0; I < N; ++I)
            Cur[I] = static_cast<uint8_t>(Cur[I] + Up[I]);
        return true;
    case 3: // average
        for (size_t I = 0; I < N; ++I) {
            const int Left = I >= Bpp ? Cur[I - Bpp] : 0;
            Cur[I] = static_cast<uint8_t>(Cur[I] + ((Left + (Up ? Up[I] : 0)) >> 1));
        }
        return true;
    case 4: // Paeth
        for (size_t I = 0; I < N; ++I) {
            const int A = I >= Bpp ? Cur[I - Bpp] : 0, B = Up[I], C = I >= Bpp ? Up[I - Bpp] : 0;
            const int P = A + B - C, Pa = std::abs(P - A), Pb = std::abs(P - B), Pc = std::abs(P - C);
            Cur[I] = static_cast<uint8_t>(Cur[I] + (Pa <= Pb && Pa <= Pc ? A : Pb <= Pc ? B : C));
        }
        return true;
    default:
        return false;
    }
}

// The row's pixels into their DIB row Out.
void TPngRowDecoder::Place(uint8_t* Out, const uint8_t* Cur) const
{
    const uint32_t W = FPassWidth;
    if (FOutBits == 24) {
        uint8_t* D = Out + size_t(FX0) * 3;
        const size_t Step = size_t(FDx) * 3;
        for (uint32_t I = 0; I < W; ++I, Cur += FChannels, D += Step) {
            D[0] = Cur[2];
            D[1] = Cur[1];
            D[2] = Cur[0];
        }
    } else if (FChannels == 2) { // grey and alpha: the grey byte
        for (uint32_t I = 0; I < W; ++I)
            Out[FX0 + size_t(I) * FDx] = Cur[2 * size_t(I)];
    } else if (FDepth == FOutBits && FDx == 1) {
        CopyFewBytes(Out, Cur, FRowBytes);
        const int Used = int((size_t(W) * size_t(FDepth)) & 7);
        if (Used != 0)
            Out[FRowBytes - 1] &= static_cast<uint8_t>(0xFF << (8 - Used));
    } else { // interlaced packed samples, or 2 bits widened to a byte
        for (uint32_t I = 0; I < W; ++I)
            PutSample(Out, FX0 + size_t(I) * FDx, FOutBits, GetSample(Cur, I, FDepth));
    }
}

// Chunk headers and CRCs read by the reader itself.
class TPngChunkReader {
public:
    explicit TPngChunkReader(TStream& Stream) : FStream(Stream), FBuf(PngReadBlock) {}

    uint32_t Length = 0;
    char Type[4] = {};
    bool Is(const char* T) const { return std::memcmp(Type, T, 4) == 0; }
    bool Critical() const { return (Type[0] & 0x20) == 0; }

    // The current chunk's data, handed to Take in blocks, and its CRC;
    // false on a CRC error.
    template <class F>
    bool ReadData(uint32_t Crc, F Take)
    {
        for (uint32_t Left = Length; Left > 0;) {
            const uint32_t N = std::min<uint32_t>(Left, uint32_t(FBuf.size()));
            FStream.ReadBuffer(FBuf.data(), int32_t(N));
            Crc = uint32_t(crc32(Crc, FBuf.data(), N));
            Take(FBuf.data(), size_t(N));
            Left -= N;
        }
        uint8_t Stored[4];
        FStream.ReadBuffer(Stored, 4);
        return Crc == Be32(Stored);
    }
    // The CRC of the type, where a chunk's CRC starts.
    uint32_t TypeCrc() const { return uint32_t(crc32(0, reinterpret_cast<const Bytef*>(Type), 4)); }
    // The next chunk's header; false when its length or type is not one a PNG can hold.
    bool Next()
    {
        uint8_t Head[8];
        FStream.ReadBuffer(Head, 8);
        Length = Be32(Head);
        std::memcpy(Type, Head + 4, 4);
        for (char C : Type)
            if (!((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z')))
                return false;
        return Length <= PngMaxChunk;
    }

private:
    static uint32_t Be32(const uint8_t* P)
    {
        return uint32_t(P[0]) << 24 | uint32_t(P[1]) << 16 | uint32_t(P[2]) << 8 | P[3];
    }

    TStream& FStream;
    std::vector<uint8_t> FBuf;
};

// The IDAT chunks, the first of them of Length bytes with its header read,
// and the chunks after them through IEND. Ancillary chunks after the image
// data are skipped (a CRC error drops them, as the library does).
void ReadImageData(TStream& Stream, uint32_t Length, TPngRowDecoder& Decoder)
{
    TPngChunkReader C(Stream);
    C.Length = Length;
    std::memcpy(C.Type, "IDAT", 4);
    bool Sound = true;
    const auto Feed = [&](const uint8_t* P, size_t N) {
        if (Sound && !Decoder.Done())
            Sound = Decoder.Feed(P, N);
    };
    do {
        if (!C.ReadData(C.TypeCrc(), Feed))
            RaiseLongJump();
        if (!C.Next())
            RaiseLongJump();
    } while (C.Is("IDAT"));
    if (!Sound || !Decoder.Done())
        RaiseLongJump();
    for (;;) {
        if (C.Critical() && !C.Is("IEND"))
            RaiseLongJump(); // IHDR, PLTE, IDAT or an unknown critical chunk after the image
        if (!C.ReadData(C.TypeCrc(), [](const uint8_t*, size_t) {}) && C.Critical())
            RaiseLongJump();
        if (C.Is("IEND"))
            return;
        if (!C.Next())
            RaiseLongJump();
    }
}

} // namespace

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
    // The library stops after the first IDAT chunk's header.
    if (!Io.Framing.JustAfterHead() || !Io.Framing.HeadIs("IDAT"))
        RaiseLongJump();
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
        break;
    }
    case PNG_COLOR_TYPE_RGB:
    case PNG_COLOR_TYPE_RGB_ALPHA:
        BitCount = 3 * R.BitDepth; // BGR, alpha dropped
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
    if (BitCount == 2)
        BitCount = 8;

    const int64_t LineSize = GetDIBLineSize(Width, BitCount);
    const int64_t ImageSize = LineSize * Height;
    const size_t TableBytes = BitCount <= 8 ? (size_t{1} << BitCount) * sizeof(RGBQUAD) : 0;

    TPngBlock NewHeader, NewBits;
    NewHeader.H = GlobalAllocQ(GPTR, sizeof(BITMAPINFOHEADER) + TableBytes);
    // Zeroed: the rows' padding is never written, and equal pictures must
    // have equal blocks.
    NewBits.H = GlobalAllocQ(GPTR, static_cast<size_t>(ImageSize));
    uint8_t* B = static_cast<uint8_t*>(NewBits.H);

    TPngRowDecoder Decoder;
    Decoder.Start(R, B, static_cast<size_t>(LineSize), BitCount);
    ReadImageData(Stream, Io.Framing.Length(), Decoder);

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
