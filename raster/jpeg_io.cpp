#include "raster/jpeg_io.h"

#include "foundation/platform_wrappers.h"
#include "platform/global_memory.h"
#include "raster/bmp_conv.h"

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>

#include <jerror.h>
#include <jpeglib.h>

// libjpeg reports fatal errors by calling back into us; we leave its frames
// with longjmp only. The decoder steps below are plain C-style functions: each
// sets the jump target, calls the library, and returns 0 or 1. No object with
// a destructor lives in them, and no C++ exception crosses a library frame:
// callbacks that can raise (stream reads, the progress method) catch, record
// the exception in the context and jump; the caller rethrows it.

namespace {

struct TJpegSource {
    jpeg_source_mgr Pub;
    TStream* Stream;
    JOCTET* Buffer;
};

struct TJpegContext {
    jpeg_decompress_struct Cinfo;
    jpeg_error_mgr Err;
    jpeg_progress_mgr Progress;
    TJpegSource Source;
    std::jmp_buf Jump;

    // Progress reporting.
    const TConvertProgressEvent* OnProgress;
    void* Sender;
    const std::string* Msg;
    int64_t LastTick;
    int64_t LastPercent;
    bool Cancel;

    int MsgCode;              // libjpeg's message code of a fatal error
    std::exception_ptr Error; // an exception raised in a callback
};

} // namespace

static constexpr size_t JpegSourceBufferSize = 64 * 1024;
static const char* const JpegProgressText = "JPEG 展開中";

static TJpegContext* ContextOf(j_common_ptr Cinfo)
{
    return static_cast<TJpegContext*>(Cinfo->client_data);
}

static int64_t TickCount()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Error manager: fatal errors jump out with their code; warnings are dropped.
static void JpegErrorExit(j_common_ptr Cinfo)
{
    TJpegContext* C = ContextOf(Cinfo);
    C->MsgCode = Cinfo->err->msg_code;
    std::longjmp(C->Jump, 1);
}
static void JpegOutputMessage(j_common_ptr) {}
static void JpegEmitMessage(j_common_ptr, int) {}
static void JpegFormatMessage(j_common_ptr, char* Buffer)
{
    Buffer[0] = '\0';
}
static void JpegResetErrorMgr(j_common_ptr Cinfo)
{
    Cinfo->err->num_warnings = 0;
    Cinfo->err->msg_code = 0;
}

// Stream source. The end of the stream is a fatal error: a truncated file is
// refused, not completed with grey.
static void JpegInitSource(j_decompress_ptr) {}

static boolean JpegFillInputBuffer(j_decompress_ptr Cinfo)
{
    TJpegContext* C = ContextOf(reinterpret_cast<j_common_ptr>(Cinfo));
    TJpegSource* S = &C->Source;
    int32_t Got = 0;
    bool Failed = false;
    try {
        Got = S->Stream->Read(S->Buffer, static_cast<int32_t>(JpegSourceBufferSize));
    } catch (...) {
        C->Error = std::current_exception();
        Failed = true;
    }
    if (Failed)
        std::longjmp(C->Jump, 1);
    if (Got <= 0)
        ERREXIT(Cinfo, JERR_INPUT_EOF);
    S->Pub.next_input_byte = S->Buffer;
    S->Pub.bytes_in_buffer = static_cast<size_t>(Got);
    return TRUE;
}

static void JpegSkipInputData(j_decompress_ptr Cinfo, long Count)
{
    if (Count <= 0)
        return;
    jpeg_source_mgr* Src = Cinfo->src;
    size_t Left = static_cast<size_t>(Count);
    while (Left > Src->bytes_in_buffer) {
        Left -= Src->bytes_in_buffer;
        Src->bytes_in_buffer = 0;
        JpegFillInputBuffer(Cinfo);
    }
    Src->next_input_byte += Left;
    Src->bytes_in_buffer -= Left;
}

static void JpegTermSource(j_decompress_ptr) {}

// Progress monitor: at most one report per 100 ms, and only when it grows.
static void JpegProgressMonitor(j_common_ptr Cinfo)
{
    TJpegContext* C = ContextOf(Cinfo);
    const int64_t Now = TickCount();
    if (Now - C->LastTick < 100)
        return;
    const jpeg_progress_mgr* P = Cinfo->progress;
    const int64_t InPass = P->pass_limit > 0 ? int64_t(P->pass_counter) * 100 / P->pass_limit : 0;
    const int64_t Total = P->total_passes > 0 ? P->total_passes : 1;
    const int64_t Percent = (InPass + int64_t(P->completed_passes) * 100) / Total;
    if (Percent <= C->LastPercent)
        return;
    C->LastPercent = Percent;
    C->LastTick = Now;
    bool Failed = false;
    try {
        (*C->OnProgress)(C->Sender, static_cast<int32_t>(Percent), *C->Msg, C->Cancel);
    } catch (...) {
        C->Error = std::current_exception();
        Failed = true;
    }
    if (Failed)
        std::longjmp(C->Jump, 1);
}

// ---- C-style steps: 0 = done, 1 = the library or a callback jumped out.

[[gnu::noinline]] static int JpegStepCreate(TJpegContext* C)
{
    if (setjmp(C->Jump))
        return 1;
    jpeg_create_decompress(&C->Cinfo);
    return 0;
}

[[gnu::noinline]] static int JpegStepReadHeader(TJpegContext* C)
{
    if (setjmp(C->Jump))
        return 1;
    j_decompress_ptr Cinfo = &C->Cinfo;
    C->Source.Buffer = static_cast<JOCTET*>((*Cinfo->mem->alloc_small)(
        reinterpret_cast<j_common_ptr>(Cinfo), JPOOL_PERMANENT, JpegSourceBufferSize));
    C->Source.Pub.init_source = JpegInitSource;
    C->Source.Pub.fill_input_buffer = JpegFillInputBuffer;
    C->Source.Pub.skip_input_data = JpegSkipInputData;
    C->Source.Pub.resync_to_restart = jpeg_resync_to_restart;
    C->Source.Pub.term_source = JpegTermSource;
    C->Source.Pub.next_input_byte = nullptr;
    C->Source.Pub.bytes_in_buffer = 0;
    Cinfo->src = &C->Source.Pub;
    jpeg_read_header(Cinfo, TRUE);
    return 0;
}

// Starts the decompression; in buffered-image mode also consumes input once
// and opens the first output pass. *Rough is set when the file was not read
// through by then, so only the first scan will be shown.
[[gnu::noinline]] static int JpegStepStart(TJpegContext* C, int* Rough)
{
    if (setjmp(C->Jump))
        return 1;
    j_decompress_ptr Cinfo = &C->Cinfo;
    jpeg_start_decompress(Cinfo);
    if (Cinfo->buffered_image) {
        jpeg_consume_input(Cinfo);
        *Rough = jpeg_input_complete(Cinfo) ? 0 : 1;
        jpeg_start_output(Cinfo, Cinfo->input_scan_number);
    }
    return 0;
}

// Reads every scanline, top row first, into bottom-up DIB rows. CMYK rows go
// through a row buffer and become BGR. Stops between rows on cancel.
[[gnu::noinline]] static int JpegStepReadRows(TJpegContext* C, uint8_t* Bits, size_t LineSize)
{
    if (setjmp(C->Jump))
        return 1;
    j_decompress_ptr Cinfo = &C->Cinfo;
    const JDIMENSION Width = Cinfo->output_width;
    const JDIMENSION Height = Cinfo->output_height;
    if (Cinfo->out_color_space == JCS_CMYK) {
        JSAMPARRAY Buf = (*Cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(Cinfo),
                                                     JPOOL_IMAGE, Width * 4, 1);
        while (Cinfo->output_scanline < Height && !C->Cancel) {
            uint8_t* Row = Bits + size_t(Height - 1 - Cinfo->output_scanline) * LineSize;
            jpeg_read_scanlines(Cinfo, Buf, 1);
            const uint8_t* S = Buf[0];
            for (JDIMENSION X = 0; X < Width; ++X, S += 4, Row += 3) {
                const int K = S[3] - 255;
                const int B = S[2] + K, G = S[1] + K, R = S[0] + K;
                Row[0] = static_cast<uint8_t>(B > 0 ? B : 0);
                Row[1] = static_cast<uint8_t>(G > 0 ? G : 0);
                Row[2] = static_cast<uint8_t>(R > 0 ? R : 0);
            }
        }
    } else {
        while (Cinfo->output_scanline < Height && !C->Cancel) {
            JSAMPROW Row = Bits + size_t(Height - 1 - Cinfo->output_scanline) * LineSize;
            jpeg_read_scanlines(Cinfo, &Row, 1);
        }
    }
    return 0;
}

[[gnu::noinline]] static int JpegStepFinish(TJpegContext* C, int Rough)
{
    if (setjmp(C->Jump))
        return 1;
    j_decompress_ptr Cinfo = &C->Cinfo;
    if (Cinfo->buffered_image)
        jpeg_finish_output(Cinfo);
    if (!Rough)
        jpeg_finish_decompress(Cinfo);
    return 0;
}

// ---- The C++ side: owns the context, turns jumps into exceptions.

namespace {

class TJpegDecoder {
public:
    TJpegDecoder() : FC(std::make_unique<TJpegContext>()) {}
    ~TJpegDecoder() { jpeg_destroy_decompress(&FC->Cinfo); }
    TJpegDecoder(const TJpegDecoder&) = delete;
    TJpegDecoder& operator=(const TJpegDecoder&) = delete;

    TJpegContext* C() { return FC.get(); }

    // After a step returned 1: the recorded exception, else EJPEG.
    [[noreturn]] void Raise()
    {
        if (FC->Error)
            std::rethrow_exception(FC->Error);
        char Buf[64];
        std::snprintf(Buf, sizeof Buf, "uLibJPeg Error #%d", FC->MsgCode);
        throw EJPEG(Buf);
    }
    void Check(int Status)
    {
        if (Status != 0)
            Raise();
    }

private:
    std::unique_ptr<TJpegContext> FC;
};

// A global block made here, freed unless handed over.
struct TJpegNewBlock {
    HGLOBAL H = nullptr;
    ~TJpegNewBlock()
    {
        if (H)
            GlobalFree(H);
    }
};

} // namespace

void JpegLoadFromStream(TStream& Stream, HGLOBAL& Header, uint8_t*& Bits,
                        bool ProgressivePreview, int32_t ScaleShift, bool BlockSmoothing,
                        bool Fast, void* Sender, const TConvertProgressEvent& OnProgress,
                        bool& Cancel)
{
    Cancel = false;
    if (ScaleShift < 0 || ScaleShift > 3)
        throw EUserError("JpegLoadFromStream: Illegal ScaleShift(" + std::to_string(ScaleShift) + ")");

    const std::string Msg = JpegProgressText;
    TJpegDecoder Dec;
    TJpegContext* C = Dec.C();
    C->Cinfo.err = jpeg_std_error(&C->Err);
    C->Err.error_exit = JpegErrorExit;
    C->Err.output_message = JpegOutputMessage;
    C->Err.emit_message = JpegEmitMessage;
    C->Err.format_message = JpegFormatMessage;
    C->Err.reset_error_mgr = JpegResetErrorMgr;
    C->Cinfo.client_data = C;
    C->Source.Stream = &Stream;
    Dec.Check(JpegStepCreate(C));

    if (OnProgress) {
        C->OnProgress = &OnProgress;
        C->Sender = Sender;
        C->Msg = &Msg;
        C->Progress.progress_monitor = JpegProgressMonitor;
        C->Cinfo.progress = &C->Progress;
        OnProgress(Sender, 0, Msg, C->Cancel);
    }

    Dec.Check(JpegStepReadHeader(C));
    j_decompress_ptr Cinfo = &C->Cinfo;
    if (uint64_t(Cinfo->image_width) * Cinfo->image_height > uint64_t(MaxPicturePixels))
        throw EUserError("JpegLoadFromStream: Picture Too Large (" +
                         std::to_string(Cinfo->image_width) + " x " +
                         std::to_string(Cinfo->image_height) + ")");

    Cinfo->scale_num = 1;
    Cinfo->scale_denom = 1u << ScaleShift;
    Cinfo->do_block_smoothing = BlockSmoothing ? TRUE : FALSE;
    if (Cinfo->out_color_space == JCS_GRAYSCALE) {
        Cinfo->quantize_colors = TRUE;
        Cinfo->desired_number_of_colors = 256;
    }
    if (Fast) {
        Cinfo->dct_method = JDCT_IFAST;
        Cinfo->dither_mode = JDITHER_ORDERED;
        Cinfo->two_pass_quantize = FALSE;
    }
    if (ProgressivePreview && jpeg_has_multiple_scans(Cinfo)) {
        Cinfo->buffered_image = TRUE;
        Cinfo->dct_method = JDCT_IFAST;
        Cinfo->dither_mode = JDITHER_ORDERED;
        Cinfo->two_pass_quantize = FALSE;
    }
    // Rows arrive in the DIB's blue-green-red order straight from the decoder.
    if (Cinfo->out_color_space == JCS_RGB)
        Cinfo->out_color_space = JCS_EXT_BGR;

    int32_t BitCount;
    switch (Cinfo->out_color_space) {
    case JCS_GRAYSCALE:
        BitCount = 8;
        break;
    case JCS_EXT_BGR:
    case JCS_CMYK:
        BitCount = 24;
        break;
    default:
        throw EUserError("JpegLoadFromStream: Not Support Color Space:" +
                         std::to_string(int(Cinfo->out_color_space)));
    }

    int Rough = 0;
    Dec.Check(JpegStepStart(C, &Rough));
    const int32_t Width = static_cast<int32_t>(Cinfo->output_width);
    const int32_t Height = static_cast<int32_t>(Cinfo->output_height);
    const int ExpectComponents = Cinfo->out_color_space == JCS_CMYK ? 4 : BitCount / 8;
    if (Cinfo->output_components != ExpectComponents || Width <= 0 || Height <= 0)
        throw EUserError("JpegLoadFromStream: Not Support Color Space:" +
                         std::to_string(int(Cinfo->out_color_space)));

    const uint64_t LineSize = ((uint64_t(Width) * uint64_t(BitCount) + 31) / 32) * 4;
    const uint64_t ImageSize = LineSize * uint64_t(Height);
    const size_t HeaderSize = sizeof(BITMAPINFOHEADER) + (BitCount == 8 ? 256 * sizeof(RGBQUAD) : 0);

    // The caller's blocks are reused when large enough; new ones replace
    // them only when the decode has succeeded.
    TJpegNewBlock NewHeader, NewBits;
    BITMAPINFOHEADER* H = static_cast<BITMAPINFOHEADER*>(Header);
    if (!H || GlobalSize(H) < HeaderSize) {
        NewHeader.H = GlobalAllocQ(GMEM_FIXED, HeaderSize);
        H = static_cast<BITMAPINFOHEADER*>(NewHeader.H);
    }
    uint8_t* B = Bits;
    if (!B || GlobalSize(B) < ImageSize) {
        NewBits.H = GlobalAllocQ(GMEM_FIXED, static_cast<size_t>(ImageSize));
        B = static_cast<uint8_t*>(NewBits.H);
    }

    // Row padding is zero, so that the same file always gives the same bytes;
    // a new block starts zeroed too (a cancelled decode leaves rows unread).
    if (NewBits.H) {
        std::memset(B, 0, static_cast<size_t>(ImageSize));
    } else {
        const size_t RowBytes = size_t(Width) * size_t(BitCount / 8);
        for (int64_t Y = 0; Y < Height; ++Y)
            std::memset(B + size_t(Y) * size_t(LineSize) + RowBytes, 0, size_t(LineSize) - RowBytes);
    }
    Dec.Check(JpegStepReadRows(C, B, static_cast<size_t>(LineSize)));
    if (!C->Cancel)
        Dec.Check(JpegStepFinish(C, Rough));

    std::memset(H, 0, sizeof(BITMAPINFOHEADER));
    H->biSize = sizeof(BITMAPINFOHEADER);
    H->biWidth = Width;
    H->biHeight = Height;
    H->biPlanes = 1;
    H->biBitCount = static_cast<uint16_t>(BitCount);
    H->biCompression = BI_RGB;
    H->biSizeImage = static_cast<uint32_t>(ImageSize);
    if (BitCount == 8) {
        H->biClrUsed = 256;
        RGBQUAD* Pal = DIBColorTable(H);
        for (int I = 0; I < 256; ++I)
            Pal[I] = RGBQUAD{uint8_t(I), uint8_t(I), uint8_t(I), 0};
    }

    if (NewHeader.H) {
        HGLOBAL Old = Header;
        Header = H;
        NewHeader.H = nullptr;
        GlobalFreeQ(Old);
    }
    if (NewBits.H) {
        HGLOBAL Old = Bits;
        Bits = B;
        NewBits.H = nullptr;
        GlobalFreeQ(Old);
    }
    Cancel = C->Cancel;
}

void JpegLoadFromFile(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits,
                      bool ProgressivePreview, int32_t ScaleShift, bool BlockSmoothing,
                      bool Fast, void* Sender, const TConvertProgressEvent& OnProgress,
                      bool& Cancel)
{
    TFileStream Stream(FileName, fmOpenRead | fmShareDenyWrite);
    JpegLoadFromStream(Stream, Header, Bits, ProgressivePreview, ScaleShift, BlockSmoothing, Fast,
                       Sender, OnProgress, Cancel);
}
