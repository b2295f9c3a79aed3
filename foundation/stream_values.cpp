#include "foundation/stream_values.h"

#include "foundation/stream_text.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"

#include <bit>

void StreamWriteInt32(TStream& Stream, int32_t V)
{
    const auto U = static_cast<uint32_t>(V);
    const uint8_t B[4] = {uint8_t(U), uint8_t(U >> 8), uint8_t(U >> 16), uint8_t(U >> 24)};
    Stream.WriteBuffer(B, 4);
}

int32_t StreamReadInt32(TStream& Stream)
{
    uint8_t B[4];
    Stream.ReadBuffer(B, 4);
    return static_cast<int32_t>(uint32_t(B[0]) | uint32_t(B[1]) << 8 | uint32_t(B[2]) << 16 |
                                uint32_t(B[3]) << 24);
}

void StreamWriteByte(TStream& Stream, uint8_t V)
{
    Stream.WriteBuffer(&V, 1);
}

uint8_t StreamReadByte(TStream& Stream)
{
    uint8_t V;
    Stream.ReadBuffer(&V, 1);
    return V;
}

void StreamWriteDouble(TStream& Stream, double V)
{
    uint64_t U = std::bit_cast<uint64_t>(V);
    uint8_t B[8];
    for (int I = 0; I < 8; ++I) {
        B[I] = static_cast<uint8_t>(U);
        U >>= 8;
    }
    Stream.WriteBuffer(B, 8);
}

double StreamReadDouble(TStream& Stream)
{
    uint8_t B[8];
    Stream.ReadBuffer(B, 8);
    uint64_t U = 0;
    for (int I = 7; I >= 0; --I)
        U = U << 8 | B[I];
    return std::bit_cast<double>(U);
}

std::string StreamReadRequiredLine(TStream& Stream)
{
    if (Stream.Size() - Stream.Position() <= 0)
        throw EReadError();
    return StreamReadln(Stream);
}

int32_t StreamReadIntLine(TStream& Stream)
{
    return StrToInt(StreamReadRequiredLine(Stream));
}

void StreamWriteIntLine(TStream& Stream, int32_t V)
{
    StreamWriteln(Stream, std::to_string(V));
}
