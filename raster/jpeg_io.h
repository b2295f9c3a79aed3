// JPEG reading: decodes a JPEG stream or file into a DIB (header block and
// bottom-up pixel rows in global memory) through libjpeg. Greyscale gives an
// 8-bit picture with the identity grey palette, RGB and CMYK a 24-bit one.
// The program only reads JPEG.
#pragma once

#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "platform/dib.h"
#include "platform/global_memory.h"
#include "raster/convert_progress.h"

#include <cstdint>
#include <string>

// A fatal decoder error: "uLibJPeg Error #<libjpeg message code>".
class EJPEG : public EUserError {
public:
    using EUserError::EUserError;
};

// Decodes one JPEG from Stream's position into Header and Bits.
//   ProgressivePreview: a multi-scan file yields only its first scan (quick, rough).
//   ScaleShift 0..3: the picture is decoded at 1 / (1 << ScaleShift) of its size.
//   BlockSmoothing: the decoder's smoothing of progressive blocks.
//   Fast: fast integer transform and ordered dithering.
// OnProgress (optional) hears "JPEG 展開中" with a percentage at most every
// 100 ms; setting its cancel flag stops the decode between rows, and the
// partly filled picture is returned with Cancel set.
//
// Header and Bits are reused when the blocks they name are large enough, else
// replaced (the old blocks are freed) once the decode has succeeded. On any
// failure the variables keep the blocks they named (a reused pixel block may
// be partly written) and whatever was allocated here is freed. Header blocks
// need 40 bytes (24 bits) or 1064 (8 bits, grey palette). Pictures of more
// than MaxPicturePixels pixels, or a scale shift outside 0..3, are refused
// (EUserError) before any pixel is decoded.
void JpegLoadFromStream(TStream& Stream, HGLOBAL& Header, uint8_t*& Bits,
                        bool ProgressivePreview, int32_t ScaleShift, bool BlockSmoothing,
                        bool Fast, void* Sender, const TConvertProgressEvent& OnProgress,
                        bool& Cancel);

// The same from a file opened read-only.
void JpegLoadFromFile(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits,
                      bool ProgressivePreview, int32_t ScaleShift, bool BlockSmoothing,
                      bool Fast, void* Sender, const TConvertProgressEvent& OnProgress,
                      bool& Cancel);
