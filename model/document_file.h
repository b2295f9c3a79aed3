// The document file (*.srn), written by TOLEDocumentWex::SaveToStream and
// read by TOLEDocumentWex::LoadFromStream (both defined in document_file.cpp).
//
// Layout (little-endian except the version):
//   0  3  signature "TAV"
//   3  2  version, big-endian (0x00 0x19 = 25)
//   5  1  0 (not read)
//   then the chunks, each: 4-byte tag, int32 length (the bytes from the
//   length field to the chunk's end, the field included), content:
//   "DOCD"  int32 page count, the page records
//   "LRPT"  the picture store, binary form
//   "PRVW"  (only with a page) the first page as a PNG thumbnail of at most
//           160 x 160 in 64 colours, for other readers of the file
// Versions 0-13 have no tags or lengths; 0-2 have one extra byte after the
// last page record. The reader accepts versions 0 to 25 and never reads
// "PRVW".
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "raster/rec_picture.h"

class TStream;

constexpr int32_t DocumentFileVersion = 25;
// The first version with chunk tags and lengths.
constexpr int32_t DocumentFileChunkVersion = 14;

using TDocumentFileHeader = std::array<uint8_t, 6>;
constexpr TDocumentFileHeader DocumentFileHeader{'T', 'A', 'V', 0x00, 0x19, 0x00};
// The header's leading bytes that make a file a document of any version
// (the version follows them).
constexpr size_t DocumentFileSignatureSize = 3;

constexpr int32_t DocumentThumbnailSize = 160;
constexpr int32_t DocumentThumbnailColors = 64;

// Thumbnail size of a W x H page: the longer side 160, the other rounded
// to nearest; each side at least 1 (also for an empty page).
void DocumentThumbnailExtent(int32_t W, int32_t H, int32_t& TW, int32_t& TH);

// Writes the thumbnail PNG of a 24-bit page picture; an empty picture gives
// a 1 x 1 thumbnail of BkColor (0x00BBGGRR).
void WriteDocumentThumbnail(TStream& Stream, const TrecPicture& PagePicture, int32_t BkColor);

// A chunk being written: the tag and a placeholder length at construction,
// the length patched by End.
class TDocumentChunkWriter {
public:
    TDocumentChunkWriter(TStream& Stream, const char (&Tag)[5]);
    // Patches the length (EWriteError when the chunk exceeds 2 GB) and
    // leaves the stream at the chunk's end.
    void End();

private:
    TStream& FStream;
    int64_t FLengthPos;
};
