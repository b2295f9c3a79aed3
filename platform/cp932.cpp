#include "platform/cp932.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <iconv.h>

namespace {

// One converter per direction and thread, opened on first use.
class TConverter {
public:
    TConverter(const char* To, const char* From) : FCd(iconv_open(To, From)) {}
    ~TConverter()
    {
        if (FCd != Invalid())
            iconv_close(FCd);
    }
    TConverter(const TConverter&) = delete;
    TConverter& operator=(const TConverter&) = delete;

    // Converts from In onwards into Out until the end or the first bad
    // sequence; In is left at the bad sequence. Returns 0 at the end, else
    // the iconv error (EILSEQ, EINVAL) or -1 when iconv is missing.
    int Run(std::string_view& In, std::string& Out)
    {
        if (FCd == Invalid())
            return -1;
        iconv(FCd, nullptr, nullptr, nullptr, nullptr);
        char Buf[1024];
        char* Src = const_cast<char*>(In.data());
        size_t SrcLeft = In.size();
        int Err = 0;
        while (SrcLeft > 0) {
            char* Dst = Buf;
            size_t DstLeft = sizeof Buf;
            size_t R = iconv(FCd, &Src, &SrcLeft, &Dst, &DstLeft);
            Out.append(Buf, size_t(Dst - Buf));
            if (R == size_t(-1) && errno != E2BIG) {
                Err = errno;
                break;
            }
        }
        In.remove_prefix(In.size() - SrcLeft);
        return Err;
    }

private:
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }
    iconv_t FCd;
};

TConverter& ToCp932()
{
    thread_local TConverter C("CP932", "UTF-8");
    return C;
}

TConverter& FromCp932()
{
    thread_local TConverter C("UTF-8", "CP932");
    return C;
}

// Length of the well-formed UTF-8 character at the start of S, 0 if none.
size_t Utf8CharLength(std::string_view S)
{
    const auto B = [&](size_t I) { return static_cast<uint8_t>(S[I]); };
    if (S.empty())
        return 0;
    uint8_t C = B(0);
    size_t N;
    uint8_t Lo = 0x80, Hi = 0xBF;
    if (C < 0x80)
        return 1;
    if (C >= 0xC2 && C <= 0xDF)
        N = 2;
    else if (C >= 0xE0 && C <= 0xEF) {
        N = 3;
        if (C == 0xE0)
            Lo = 0xA0;
        else if (C == 0xED)
            Hi = 0x9F;
    } else if (C >= 0xF0 && C <= 0xF4) {
        N = 4;
        if (C == 0xF0)
            Lo = 0x90;
        else if (C == 0xF4)
            Hi = 0x8F;
    } else
        return 0;
    if (S.size() < N || B(1) < Lo || B(1) > Hi)
        return 0;
    for (size_t I = 2; I < N; ++I)
        if (B(I) < 0x80 || B(I) > 0xBF)
            return 0;
    return N;
}

bool IsSjisTrailByte(uint8_t B)
{
    return (B >= 0x40 && B <= 0x7E) || (B >= 0x80 && B <= 0xFC);
}

bool Strict(TConverter& C, std::string_view In, std::string& Out)
{
    Out.clear();
    if (C.Run(In, Out) != 0) {
        Out.clear();
        return false;
    }
    return true;
}

} // namespace

bool TryUtf8ToCp932(std::string_view Utf8, std::string& Out)
{
    return Strict(ToCp932(), Utf8, Out);
}

bool TryCp932ToUtf8(std::string_view Cp932, std::string& Out)
{
    return Strict(FromCp932(), Cp932, Out);
}

std::string Utf8ToCp932(std::string_view Utf8)
{
    std::string Out;
    while (!Utf8.empty()) {
        if (ToCp932().Run(Utf8, Out) == 0)
            break;
        // An unmappable character is skipped whole; a malformed byte alone.
        size_t N = Utf8CharLength(Utf8);
        Out += '?';
        Utf8.remove_prefix(N ? N : 1);
    }
    return Out;
}

std::string KeepCp932Characters(std::string_view Utf8)
{
    std::string Kept, Converted;
    while (!Utf8.empty()) {
        std::string_view Rest = Utf8;
        const int Err = ToCp932().Run(Rest, Converted);
        Kept.append(Utf8.data(), Utf8.size() - Rest.size());
        if (Err == 0)
            break;
        // The character there is left out whole; a malformed byte alone.
        const size_t N = Utf8CharLength(Rest);
        Rest.remove_prefix(N ? N : 1);
        Utf8 = Rest;
    }
    return Kept;
}

std::string Cp932ToUtf8(std::string_view Cp932)
{
    // Bytes below 0x80 are the same characters in both: most stored names
    // and values are such text, and need no converter.
    if (std::all_of(Cp932.begin(), Cp932.end(), [](char C) { return static_cast<uint8_t>(C) < 0x80; }))
        return std::string(Cp932);
    static const char Replacement[] = "\xEF\xBF\xBD";
    std::string Out;
    while (!Cp932.empty()) {
        if (FromCp932().Run(Cp932, Out) == 0)
            break;
        // An undefined double-byte code is one bad character; a lead byte
        // without a valid trail byte is bad alone.
        size_t N = Cp932.size() >= 2 && IsSjisLeadByte(static_cast<uint8_t>(Cp932[0])) &&
                           IsSjisTrailByte(static_cast<uint8_t>(Cp932[1]))
                       ? 2
                       : 1;
        Out += Replacement;
        Cp932.remove_prefix(N);
    }
    return Out;
}
