#include "foundation/stream_values.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/test_support.h"

namespace {

std::string Bytes(TMemoryStream& S)
{
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

void Load(TMemoryStream& S, const std::string& B)
{
    S.Clear();
    S.WriteBuffer(B.data(), static_cast<int32_t>(B.size()));
    S.SetPosition(0);
}

} // namespace

TEST(StreamValues, WritersLayOutLittleEndian)
{
    TMemoryStream S;
    StreamWriteInt32(S, 0x12345678);
    StreamWriteInt32(S, -2);
    StreamWriteByte(S, 0xAB);
    StreamWriteDouble(S, 1.0);
    StreamWriteDouble(S, -2.5);
    StreamWriteIntLine(S, -42);
    EXPECT_EQ(Bytes(S), std::string("\x78\x56\x34\x12" "\xFE\xFF\xFF\xFF" "\xAB" "\x00\x00\x00\x00\x00\x00\xF0\x3F"
                                    "\x00\x00\x00\x00\x00\x00\x04\xC0" "-42\r\n", 30));
}

TEST(StreamValues, RoundTripShortStreamsAndRequiredLines)
{
    TMemoryStream S;
    StreamWriteInt32(S, INT32_MIN);
    StreamWriteByte(S, 0);
    StreamWriteDouble(S, 0.1);
    StreamWriteIntLine(S, INT32_MAX);
    S.SetPosition(0);
    EXPECT_EQ(StreamReadInt32(S), INT32_MIN);
    EXPECT_EQ(StreamReadByte(S), 0);
    EXPECT_EQ(StreamReadDouble(S), 0.1);
    EXPECT_EQ(StreamReadIntLine(S), INT32_MAX);
    EXPECT_EQ(S.Position(), S.Size());
    Load(S, std::string("\x01\x02\x03", 3));
    EXPECT_THROW(StreamReadInt32(S), EReadError);
    Load(S, std::string(7, '\0'));
    EXPECT_THROW(StreamReadDouble(S), EReadError);
    Load(S, "");
    EXPECT_THROW(StreamReadByte(S), EReadError);
    Load(S, "\r\n7");
    // An empty line is still a line; only the end of the stream is an error.
    EXPECT_EQ(StreamReadRequiredLine(S), "");
    EXPECT_EQ(StreamReadIntLine(S), 7);
    EXPECT_EQ(MessageOf<EReadError>([&] { StreamReadRequiredLine(S); }), "ストリームの読み込みエラー");
    EXPECT_THROW(StreamReadIntLine(S), EReadError);
    Load(S, "x\r\n");
    EXPECT_THROW(StreamReadIntLine(S), EConvertError);
}

TEST(TextFields, CharLengthAndShortestFloat)
{
    // The last UTF-8 sequence is cut short.
    const std::string U = "a\xC3\xA9\xE3\x81", J = "\x82\xA0\x82";
    EXPECT_EQ((std::vector{CharLength(U, 0), CharLength(U, 1), CharLength(U, 3), CharLength(J, 0, TTextEncoding::Cp932),
                           CharLength(J, 2, TTextEncoding::Cp932)}),
              (std::vector<size_t>{1, 2, 2, 2, 1}));
    for (const auto& [D, Text] : {std::pair{0.1, "0.1"}, {100.0, "100"}, {-2.5, "-2.5"}, {1e20, "1e+20"},
                                  {3.141592653589793, "3.141592653589793"}})
        EXPECT_EQ(FloatToStrShortest(D), Text);
}
