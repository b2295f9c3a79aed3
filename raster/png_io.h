// PNG reading and writing of DIBs (header block and bottom-up pixel rows in
// global memory) through libpng. PNG is how pictures are stored everywhere:
// picture streams, documents, the picture store, the clipboard.
#pragma once

#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "platform/dib.h"
#include "platform/global_memory.h"
#include "raster/convert_progress.h"

#include <cstdint>
#include <string>

// A fatal libpng error (corrupt or truncated data, CRC error):
// "longjmp が実行されました。" CR LF <jump value>.
class ELongJump : public Exception {
public:
    using Exception::Exception;
};

// zlib level of every PNG written. On 2000 x 2000 artwork level 6 (zlib's
// default) stores about 10% smaller than 3 and 16% smaller than 1, for about
// 40% more time; stored documents favour size.
constexpr int PngCompressionLevel = 6;

// Writes one complete PNG at the stream's position. Pictures of up to 8 bits
// become palette PNGs of the smallest depth holding biClrUsed colours (0 means
// 2^bits); 24 bits are written as RGB, 16 and 32 bits as RGB of their 24-bit
// expansion. TransCol >= 0 adds a tRNS chunk (index 0, or for true colour the
// COLORREF 0x00BBGGRR). OnProgress (optional, ignored when interlacing) hears
// "PNG 圧縮中" every 8 rows; its cancel flag stops the writing at once,
// leaving a partial PNG. Library errors and warnings are shown with
// ErrorMessageBox; an error then raises ELongJump. Nothing is written before
// the picture has passed its checks.
void PNGSaveToStream(TStream& Stream, const BITMAPINFOHEADER* Header, const uint8_t* Bits,
                     int32_t TransCol, bool Interlace, void* Sender,
                     const TConvertProgressEvent& OnProgress, bool& Cancel);

// Reads one PNG from the stream's position through its IEND chunk. Header and
// Bits receive new blocks (their old values are not freed); on failure they
// are left as they were and nothing is leaked. Grey PNGs give 1/4/8-bit
// DIBs with an even grey ramp, 2-bit grey and 2-bit palette PNGs 8-bit DIBs,
// RGB(A) 24-bit DIBs (alpha dropped), palette PNGs their palette; tRNS is
// ignored. 16-bit channels are refused. Cancel is only cleared.
void PNGLoadFromStream(TStream& Stream, HGLOBAL& Header, uint8_t*& Bits, bool& Cancel);

// The same from a file opened read-only.
void PNGLoadFromFile(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits, bool& Cancel);
