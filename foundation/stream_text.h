// The primitives every stored stream format is made of: length-prefixed
// strings, text lines, binary blocks carried in text lines, and the copy of a
// memory stream into a global memory block. Strings are byte strings: callers
// convert text to CP932 at their boundary (platform/cp932.h).
//
// A binary block is three or more lines: the block type ("16" or "JIS7"), the
// byte length in decimal, then the data lines. "16" spells each byte as two
// characters '0' + nibble, 40 bytes a line; "JIS7" puts each chunk of up to 65
// bytes through EncodeBinText, 80 characters for a full chunk.
#pragma once

#include "foundation/streams.h"
#include "platform/global_memory.h"

#include <cstdint>
#include <string>

// int32 byte length (little-endian), then the bytes. EWriteError when short.
void StreamWriteString(TStream& Stream, const std::string& S);
// EReadError when the stream ends early or the stored length is negative or
// larger than what is left; S is changed only on success.
void StreamReadString(TStream& Stream, std::string& S);
std::string StreamReadString(TStream& Stream);

// The bytes of S, then CR LF.
void StreamWriteln(TStream& Stream, const std::string& S);
// The next line without its terminator: CR, LF, CR LF or SUB (0x1A). The end
// of the stream ends a line too (an empty one when nothing is left).
void StreamReadln(TStream& Stream, std::string& S);
std::string StreamReadln(TStream& Stream);

// Writes Length bytes at Data as a block of BlockType 0 ("16") or 1 ("JIS7").
void StreamWritelnBin(TStream& Stream, const void* Data, int32_t Length, int32_t BlockType);
// Reads a block and returns its byte count. A null Buffer receives a new fixed
// global block (GlobalAllocQ) of the block's length, which the caller frees;
// otherwise Buffer must have room for Capacity bytes. On failure Buffer and
// the bytes it points at are left as they were.
int32_t StreamReadlnBin(TStream& Stream, void*& Buffer, int32_t Capacity);

// Count bytes as text, two characters per 13 bits (91-character alphabet).
void EncodeBinText(const void* Data, int32_t Count, std::string& S);
// The inverse, writing at most MaxLen bytes at Dest; returns the bytes written.
// EUserError for a character outside the alphabet or an odd character count.
int32_t DecodeBinText(const std::string& S, void* Dest, int32_t MaxLen);

// H := a new global block (Flags) holding the whole stream. Never raises:
// False with H = nullptr on failure.
bool StreamToGlobal(TMemoryStream& Stream, HGLOBAL& H, uint32_t Flags);
