// Text helpers shared by the stream readers and the user interface: cutting
// separator-delimited fields with multi-byte characters kept whole, tolerant
// number parsing, hexadecimal, common prefixes, file names and file URLs, and
// the character-class table. Positions are 1-based.
#pragma once

#include <array>
#include <cstdint>
#include <string>

// How multi-byte characters are recognised when cutting text. Utf8 keeps a
// UTF-8 sequence whole; Cp932 keeps a Shift-JIS lead byte and its trail byte
// whole (a trail byte may equal an ASCII separator such as "\").
enum class TTextEncoding { Utf8, Cp932 };

// One entry per byte value:
//   0x0001 upper-case letters, 0x0002 lower-case letters, 0x0004 digits,
//   0x0080 hexadecimal digits, 0x0100 0x80 and 0xF0..0xFF,
//   0x0200 0x80..0x9F and 0xE0..0xFF.
constexpr std::array<uint16_t, 256> MakeCharClassTable()
{
    std::array<uint16_t, 256> T{};
    for (int C = 0; C < 256; ++C) {
        uint16_t V = 0;
        if (C >= 'A' && C <= 'Z')
            V |= 0x0001;
        if (C >= 'a' && C <= 'z')
            V |= 0x0002;
        if (C >= '0' && C <= '9')
            V |= 0x0004 | 0x0080;
        if ((C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f'))
            V |= 0x0080;
        if (C == 0x80 || C >= 0xF0)
            V |= 0x0100;
        if ((C >= 0x80 && C <= 0x9F) || C >= 0xE0)
            V |= 0x0200;
        T[C] = static_cast<uint16_t>(V);
    }
    return T;
}
inline constexpr std::array<uint16_t, 256> CharClassTable = MakeCharClassTable();

// True when C starts a two-byte CP932 character (0x81..0x9F, 0xE0..0xFC).
bool IsLeadByteChar(uint8_t C);

// Bytes of the character starting at S[I] (I < S.size()), never reaching
// past the end; an incomplete sequence counts the bytes it has.
size_t CharLength(const std::string& S, size_t I, TTextEncoding Enc = TTextEncoding::Utf8);

// From byte position Pos, the text up to the next Sep or the end of S; Pos
// moves past the separator (to Length + 1 at the end). Field := Default when
// the text is empty. A lead byte at the very end is taken alone.
void GetField(const std::string& S, int32_t& Pos, char Sep, std::string& Field,
              const std::string& Default, TTextEncoding Enc = TTextEncoding::Utf8);
// The next field as an integer; Default when it is empty or not a number.
// Integer text as the class library reads it: leading blanks, a sign, decimal
// digits or "$" / "0x" hexadecimal, nothing after the digits, within int32.
bool TryStrToInt(const std::string& S, int32_t& Out);
// The same, raising EConvertError "'S' は有効な整数値ではありません".
int32_t StrToInt(const std::string& S);

int32_t GetFieldInt(const std::string& S, int32_t& Pos, char Sep, int32_t Default);

// The shortest text that reads back as the same double ("." as the decimal
// point, exponent form where it is shorter): "0.1", "1e+20", "nan", "inf".
std::string FloatToStrShortest(double V);

// General format with Digits significant digits and "." as the decimal point,
// the exponent form from 1E15 and below 1E-4: "1.5", "0.0001", "1E-5", "1E15",
// "NAN", "INF", "-INF".
std::string FloatToStr(double V, int Digits = 15);
// Its reverse: a number, "NAN", "INF" or "-INF"; anything else raises
// EConvertError "'S' は有効な浮動小数点数値ではありません".
double StrToFloat(const std::string& S);

// Default when S is empty or not a number (the decimal point is always ".").
double StrToFloatDef(const std::string& S, double Default);

// "0".."9", "a".."f", "A".."F" -> 0..15; anything else 0.
int32_t HexDigitValue(char C);
// Four bits per character, other characters counting 0; "" gives 0.
int32_t HexToInt(const std::string& S);
int32_t HexToIntDef(const std::string& S, int32_t Default);

// Leading bytes A and B share, a multi-byte character compared whole.
int32_t CommonPrefixLength(const std::string& A, const std::string& B,
                           TTextEncoding Enc = TTextEncoding::Utf8);

// Appends "/" unless Path already ends in one.
void AddPathDelimiter(std::string& Path);
// Path without one trailing "/".
std::string RemovePathDelimiter(const std::string& Path);
// The file name without folder and extension.
std::string ExtractFileBaseName(const std::string& Name);
// Path made absolute and normalised, each existing component spelled as the
// file system has it (a unique case-insensitive match counts); from the first
// component not found on, the rest is kept as given.
std::string GetLongFileName(const std::string& Path);
// Creates a new empty file in the temporary folder; Name := its full name.
// EUserError when the folder or the file cannot be had.
void makeTmpFilename(const std::string& Prefix, std::string& Name);
// "file:///a/b" -> "/a/b", "file://host/x" -> "//host/x" (scheme in any case);
// EUserError for anything else.
std::string FileURLToPath(const std::string& URL);
