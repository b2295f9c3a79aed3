#include "foundation/text_fields.h"

#include "foundation/user_error.h"
#include "platform/cp932.h"
#include "platform/temp_file.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <charconv>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

size_t CharLength(const std::string& S, size_t I, TTextEncoding Enc)
{
    const uint8_t B = static_cast<uint8_t>(S[I]);
    if (Enc == TTextEncoding::Cp932)
        return IsSjisLeadByte(B) && I + 1 < S.size() ? 2 : 1;
    size_t Expected = 1;
    if (B >= 0xF0 && B <= 0xF7)
        Expected = 4;
    else if (B >= 0xE0)
        Expected = 3;
    else if (B >= 0xC0)
        Expected = 2;
    size_t N = 1;
    while (N < Expected && I + N < S.size() && (static_cast<uint8_t>(S[I + N]) & 0xC0) == 0x80)
        ++N;
    return N;
}

std::string FloatToStrShortest(double V)
{
    char Buf[64];
    const auto R = std::to_chars(Buf, Buf + sizeof Buf, V);
    return std::string(Buf, R.ptr);
}

std::string FloatToStr(double V, int Digits)
{
    if (std::isnan(V))
        return "NAN";
    if (std::isinf(V))
        return V > 0 ? "INF" : "-INF";
    if (V == 0.0)
        return "0";
    char Buf[48];
    std::snprintf(Buf, sizeof Buf, "%.*e", Digits - 1, std::fabs(V));
    const std::string S(Buf);
    const size_t E = S.find('e');
    std::string Mantissa = S.substr(0, 1) + (E > 2 ? S.substr(2, E - 2) : std::string());
    const int Exp = std::atoi(S.c_str() + E + 1);
    while (Mantissa.size() > 1 && Mantissa.back() == '0')
        Mantissa.pop_back();
    std::string R;
    if (Exp >= 15 || Exp < -4) {
        R = Mantissa.substr(0, 1);
        if (Mantissa.size() > 1)
            R += "." + Mantissa.substr(1);
        R += "E" + std::to_string(Exp);
    } else if (Exp < 0) {
        R = "0." + std::string(static_cast<size_t>(-Exp - 1), '0') + Mantissa;
    } else if (Mantissa.size() <= static_cast<size_t>(Exp) + 1) {
        R = Mantissa + std::string(static_cast<size_t>(Exp) + 1 - Mantissa.size(), '0');
    } else {
        const auto Int = static_cast<size_t>(Exp) + 1;
        R = Mantissa.substr(0, Int) + "." + Mantissa.substr(Int);
    }
    return V < 0 ? "-" + R : R;
}

double StrToFloat(const std::string& S)
{
    if (S == "NAN")
        return std::numeric_limits<double>::quiet_NaN();
    if (S == "INF")
        return std::numeric_limits<double>::infinity();
    if (S == "-INF")
        return -std::numeric_limits<double>::infinity();
    const double V = StrToFloatDef(S, std::numeric_limits<double>::quiet_NaN());
    if (std::isnan(V))
        throw EConvertError("'" + S + "' は有効な浮動小数点数値ではありません");
    return V;
}

namespace {

char AsciiLower(char C)
{
    return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C;
}

bool SameTextAscii(const std::string& A, const std::string& B)
{
    if (A.size() != B.size())
        return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (AsciiLower(A[I]) != AsciiLower(B[I]))
            return false;
    return true;
}

bool PathExists(const std::string& Path)
{
    struct stat St;
    return ::lstat(Path.c_str(), &St) == 0;
}

// The one entry of Dir whose name equals Name ignoring case, or empty when
// there is none or more than one.
std::string FindNameIgnoringCase(const std::string& Dir, const std::string& Name)
{
    DIR* D = ::opendir(Dir.empty() ? "/" : Dir.c_str());
    if (D == nullptr)
        return {};
    std::string Found;
    int Count = 0;
    while (dirent* E = ::readdir(D)) {
        const std::string Entry = E->d_name;
        if (Entry != "." && Entry != ".." && SameTextAscii(Entry, Name)) {
            Found = Entry;
            ++Count;
        }
    }
    ::closedir(D);
    return Count == 1 ? Found : std::string();
}

} // namespace

bool IsLeadByteChar(uint8_t C)
{
    return IsSjisLeadByte(C);
}

void GetField(const std::string& S, int32_t& Pos, char Sep, std::string& Field,
              const std::string& Default, TTextEncoding Enc)
{
    if (Pos < 1)
        Pos = 1;
    const size_t Start = static_cast<size_t>(Pos) - 1;
    size_t I = Start;
    while (I < S.size() && S[I] != Sep)
        I += CharLength(S, I, Enc);
    std::string Text = Start < S.size() ? S.substr(Start, I - Start) : std::string();
    if (I < S.size())
        ++I; // past the separator
    if (I > Start)
        Pos = static_cast<int32_t>(I) + 1;
    Field = Text.empty() ? Default : std::move(Text);
}

int32_t GetFieldInt(const std::string& S, int32_t& Pos, char Sep, int32_t Default)
{
    if (S.empty())
        return Default;
    std::string Field;
    GetField(S, Pos, Sep, Field, "");
    int32_t V;
    return !Field.empty() && TryStrToInt(Field, V) ? V : Default;
}

double StrToFloatDef(const std::string& S, double Default)
{
    size_t B = 0;
    size_t E = S.size();
    while (B < E && S[B] == ' ')
        ++B;
    while (E > B && S[E - 1] == ' ')
        --E;
    bool Negative = false;
    if (B < E && (S[B] == '+' || S[B] == '-')) {
        Negative = S[B] == '-';
        ++B;
    }
    // Digits or a point must follow: no "inf", "nan" or second sign.
    if (B >= E || !((S[B] >= '0' && S[B] <= '9') || S[B] == '.'))
        return Default;
    double V = 0.0;
    const auto R = std::from_chars(S.data() + B, S.data() + E, V, std::chars_format::general);
    if (R.ec != std::errc() || R.ptr != S.data() + E)
        return Default;
    return Negative ? -V : V;
}

int32_t HexDigitValue(char C)
{
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return 0;
}

int32_t HexToInt(const std::string& S)
{
    uint32_t V = 0; // wraps like the 32-bit original
    for (char C : S)
        V = V * 16 + static_cast<uint32_t>(HexDigitValue(C));
    return static_cast<int32_t>(V);
}

int32_t HexToIntDef(const std::string& S, int32_t Default)
{
    // HexToInt accepts every text, so the default is never needed.
    return HexToInt(S);
}

int32_t CommonPrefixLength(const std::string& A, const std::string& B, TTextEncoding Enc)
{
    size_t I = 0;
    while (I < A.size() && I < B.size()) {
        const size_t LenA = CharLength(A, I, Enc);
        if (LenA != CharLength(B, I, Enc) || A.compare(I, LenA, B, I, LenA) != 0)
            break;
        I += LenA;
    }
    return static_cast<int32_t>(I);
}

void AddPathDelimiter(std::string& Path)
{
    if (Path.empty() || Path.back() != '/')
        Path += '/';
}

std::string RemovePathDelimiter(const std::string& Path)
{
    if (!Path.empty() && Path.back() == '/')
        return Path.substr(0, Path.size() - 1);
    return Path;
}

std::string ExtractFileBaseName(const std::string& Name)
{
    const size_t Slash = Name.rfind('/');
    std::string Base = Slash == std::string::npos ? Name : Name.substr(Slash + 1);
    const size_t Dot = Base.rfind('.');
    if (Dot != std::string::npos)
        Base.erase(Dot);
    return Base;
}

std::string GetLongFileName(const std::string& Path)
{
    if (Path.empty())
        return {};
    std::string Full = Path;
    if (Full[0] != '/') {
        std::vector<char> Cwd(4096);
        while (::getcwd(Cwd.data(), Cwd.size()) == nullptr) {
            if (errno != ERANGE)
                return Path;
            Cwd.resize(Cwd.size() * 2);
        }
        Full = std::string(Cwd.data()) + "/" + Path;
    }
    const bool TrailingDelimiter = Full.back() == '/';

    std::vector<std::string> Parts;
    size_t I = 0;
    while (I < Full.size()) {
        size_t J = Full.find('/', I);
        if (J == std::string::npos)
            J = Full.size();
        const std::string Part = Full.substr(I, J - I);
        if (Part == "..") {
            if (!Parts.empty())
                Parts.pop_back();
        } else if (!Part.empty() && Part != ".") {
            Parts.push_back(Part);
        }
        I = J + 1;
    }

    std::string Result;
    for (size_t K = 0; K < Parts.size(); ++K) {
        if (PathExists(Result + "/" + Parts[K])) {
            Result += "/" + Parts[K];
            continue;
        }
        const std::string Found = FindNameIgnoringCase(Result, Parts[K]);
        if (!Found.empty()) {
            Result += "/" + Found;
            continue;
        }
        for (size_t L = K; L < Parts.size(); ++L)
            Result += "/" + Parts[L];
        break;
    }
    if (Result.empty() || TrailingDelimiter)
        Result += '/';
    return Result;
}

void makeTmpFilename(const std::string& Prefix, std::string& Name)
{
    const std::string Dir = GetTempPath();
    if (Dir.empty())
        throw EUserError("MakeTempFileanme: GetTempPath Failed.");
    std::string Made;
    if (!GetTempFileName(Dir, Prefix, Made))
        throw EUserError("makeTmpFilename: GetTempFileName Failed.");
    Name = Made;
}

std::string FileURLToPath(const std::string& URL)
{
    auto StartsWithNoCase = [&URL](const std::string& Head) {
        return URL.size() >= Head.size() && SameTextAscii(URL.substr(0, Head.size()), Head);
    };
    if (StartsWithNoCase("file:///"))
        return URL.substr(7);
    if (StartsWithNoCase("file://"))
        return URL.substr(5);
    throw EUserError("MyUnit.FileURLToPath: ファイル名が不正です。(" + URL + ")");
}

// Integer text the way the class library reads it: leading blanks, a sign,
// decimal digits or "$" / "0x" hexadecimal; nothing after the digits.
bool TryStrToInt(const std::string& S, int32_t& Out)
{
    size_t I = 0;
    while (I < S.size() && S[I] == ' ')
        ++I;
    bool Negative = false;
    if (I < S.size() && (S[I] == '-' || S[I] == '+')) {
        Negative = S[I] == '-';
        ++I;
    }
    bool Hex = false;
    if (I < S.size() && (S[I] == '$' || S[I] == 'x' || S[I] == 'X')) {
        Hex = true;
        ++I;
    } else if (I + 1 < S.size() && S[I] == '0' && (S[I + 1] == 'x' || S[I + 1] == 'X')) {
        Hex = true;
        I += 2;
    }
    if (I >= S.size())
        return false;
    uint64_t V = 0;
    for (; I < S.size(); ++I) {
        const char C = S[I];
        int D;
        if (C >= '0' && C <= '9')
            D = C - '0';
        else if (Hex && C >= 'a' && C <= 'f')
            D = C - 'a' + 10;
        else if (Hex && C >= 'A' && C <= 'F')
            D = C - 'A' + 10;
        else
            return false;
        V = V * (Hex ? 16 : 10) + static_cast<uint64_t>(D);
        if (V > 0xFFFFFFFFull)
            return false;
    }
    if (Hex) {
        uint32_t U = static_cast<uint32_t>(V);
        if (Negative)
            U = 0u - U;
        Out = static_cast<int32_t>(U);
        return true;
    }
    if (V > (Negative ? 0x80000000ull : 0x7FFFFFFFull))
        return false;
    Out = Negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(V)) : static_cast<int32_t>(V);
    return true;
}

int32_t StrToInt(const std::string& S)
{
    int32_t V = 0;
    if (!TryStrToInt(S, V))
        throw EConvertError("'" + S + "' は有効な整数値ではありません");
    return V;
}
