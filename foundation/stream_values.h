// Single values in the stored stream forms. Binary values are little-endian
// whatever the host, read exactly (a short stream raises EReadError, a short
// write EWriteError). Text values are one decimal line each (see
// stream_text.h for the line form).
#pragma once

#include "foundation/streams.h"

#include <cstdint>
#include <string>

void StreamWriteInt32(TStream& Stream, int32_t V);
int32_t StreamReadInt32(TStream& Stream);
void StreamWriteByte(TStream& Stream, uint8_t V);
uint8_t StreamReadByte(TStream& Stream);
// The eight bytes of the IEEE double.
void StreamWriteDouble(TStream& Stream, double V);
double StreamReadDouble(TStream& Stream);

// The next text line, where the end of the stream is an EReadError rather
// than an empty line.
std::string StreamReadRequiredLine(TStream& Stream);
// StrToInt of the required line (EConvertError for text that is no integer).
int32_t StreamReadIntLine(TStream& Stream);
// V in decimal, then CR LF.
void StreamWriteIntLine(TStream& Stream, int32_t V);
