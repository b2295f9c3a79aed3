// The one conversion pair between the UTF-8 text held in memory and the CP932
// (Shift-JIS) bytes of stored and exchanged forms, and the Shift-JIS lead-byte
// test.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Strict conversions: false (Out left empty) when a character cannot be
// represented or the input is malformed.
bool TryUtf8ToCp932(std::string_view Utf8, std::string& Out);
bool TryCp932ToUtf8(std::string_view Cp932, std::string& Out);

// Lossy conversions for display and for writing stored forms: a character
// CP932 cannot hold becomes "?", a malformed CP932 sequence becomes U+FFFD.
std::string Utf8ToCp932(std::string_view Utf8);
std::string Cp932ToUtf8(std::string_view Cp932);

// Utf8 without the characters CP932 cannot hold (and without malformed
// bytes): what a text kept as CP932, such as a name, can take of it.
std::string KeepCp932Characters(std::string_view Utf8);

// CP932 lead bytes: 0x81..0x9F and 0xE0..0xFC.
constexpr bool IsSjisLeadByte(uint8_t B)
{
    return (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC);
}
