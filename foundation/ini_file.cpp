#include "foundation/ini_file.h"

#include "foundation/user_error.h"
#include "foundation/string_list.h"
#include "platform/cp932.h"
#include "platform/safe_write.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUtf8Bom[] = "\xEF\xBB\xBF";

char AsciiLower(char C)
{
    return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

std::string AsciiLowerText(const std::string& S)
{
    std::string R = S;
    for (char& C : R)
        C = AsciiLower(C);
    return R;
}

bool SameText(const std::string& A, const std::string& B)
{
    if (A.size() != B.size())
        return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (AsciiLower(A[I]) != AsciiLower(B[I]))
            return false;
    return true;
}

bool IsBlank(char C)
{
    return C == ' ' || C == '\t';
}

std::string Trim(const std::string& S)
{
    size_t B = 0, E = S.size();
    while (B < E && IsBlank(S[B]))
        ++B;
    while (E > B && IsBlank(S[E - 1]))
        --E;
    return S.substr(B, E - B);
}

// The strict UTF-8 character at P (Left bytes on): its length and code
// point, or 0 when it is malformed (overlong, a surrogate, beyond U+10FFFF,
// cut off).
size_t Utf8Char(const unsigned char* P, size_t Left, uint32_t& Cp)
{
    const unsigned char C = P[0];
    if (C < 0x80) {
        Cp = C;
        return 1;
    }
    size_t Len;
    if (C >= 0xC2 && C <= 0xDF) {
        Len = 2;
        Cp = C & 0x1F;
    } else if (C >= 0xE0 && C <= 0xEF) {
        Len = 3;
        Cp = C & 0x0F;
    } else if (C >= 0xF0 && C <= 0xF4) {
        Len = 4;
        Cp = C & 0x07;
    } else {
        return 0;
    }
    if (Left < Len)
        return 0;
    for (size_t K = 1; K < Len; ++K) {
        if ((P[K] & 0xC0) != 0x80)
            return 0;
        Cp = (Cp << 6) | (P[K] & 0x3F);
    }
    if ((Len == 3 && Cp < 0x800) || (Len == 4 && Cp < 0x10000) || Cp > 0x10FFFF || (Cp >= 0xD800 && Cp <= 0xDFFF))
        return 0;
    return Len;
}

// Strict UTF-8: no overlong forms, no surrogates, nothing above U+10FFFF.
bool IsValidUtf8(const std::string& S)
{
    const auto* P = reinterpret_cast<const unsigned char*>(S.data());
    uint32_t Cp;
    for (size_t I = 0, N = S.size(); I < N;) {
        const size_t Len = Utf8Char(P + I, N - I, Cp);
        if (Len == 0)
            return false;
        I += Len;
    }
    return true;
}

// Whether CP932 holds the character: it converts and comes back the same.
bool Cp932Holds(std::string_view Utf8)
{
    std::string Enc, Back;
    return TryUtf8ToCp932(Utf8, Enc) && TryCp932ToUtf8(Enc, Back) && Back == Utf8;
}

std::string Utf8Of(uint32_t Cp)
{
    std::string R;
    if (Cp < 0x80) {
        R += char(Cp);
    } else if (Cp < 0x800) {
        R += char(0xC0 | (Cp >> 6));
        R += char(0x80 | (Cp & 0x3F));
    } else if (Cp < 0x10000) {
        R += char(0xE0 | (Cp >> 12));
        R += char(0x80 | ((Cp >> 6) & 0x3F));
        R += char(0x80 | (Cp & 0x3F));
    } else {
        R += char(0xF0 | (Cp >> 18));
        R += char(0x80 | ((Cp >> 12) & 0x3F));
        R += char(0x80 | ((Cp >> 6) & 0x3F));
        R += char(0x80 | (Cp & 0x3F));
    }
    return R;
}

std::string CodePointReference(uint32_t Cp)
{
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "&#x%X;", unsigned(Cp));
    return Buf;
}

// A value or key holding a line break would split into lines of its own on
// the next load (and could forge keys or sections): store a space instead.
std::string OneLine(const std::string& S)
{
    std::string R = S;
    for (char& C : R)
        if (C == '\r' || C == '\n')
            C = ' ';
    return R;
}

std::string CreateErrorText(const std::string& FileName, int Err)
{
    return "ファイル " + FileName + " を作成できません。(" + FileErrorText(Err) + ")";
}

// The whole of a regular file; Error gets the reason when the name exists
// but cannot be read as one (a named pipe in the file's place must not hold
// up the program). No file there is no error: the settings start empty.
std::string ReadSettingsFile(const std::string& FileName, std::string& Error)
{
    Error.clear();
    std::string Bytes;
    const int Err = ReadRegularFile(FileName, Bytes);
    if (Err != 0 && Err != ENOENT && Err != ENOTDIR)
        Error = FileErrorText(Err);
    return Bytes;
}

}  // namespace

std::string SettingsTextForCp932(const std::string& Utf8)
{
    if (Utf8.find("&#x") == std::string::npos && Cp932Holds(Utf8))
        return Utf8;
    std::string Out;
    const auto* P = reinterpret_cast<const unsigned char*>(Utf8.data());
    const size_t N = Utf8.size();
    for (size_t I = 0; I < N;) {
        uint32_t Cp = 0;
        const size_t Len = Utf8Char(P + I, N - I, Cp);
        if (Len == 0) {
            // No character at all: the conversion makes it "?".
            Out += Utf8[I++];
            continue;
        }
        const std::string_view Char(Utf8.data() + I, Len);
        if (Cp == '&' ? Utf8.compare(I + 1, 2, "#x") == 0 : !Cp932Holds(Char))
            Out += CodePointReference(Cp);
        else
            Out += Char;
        I += Len;
    }
    return Out;
}

std::string SettingsTextFromCp932(const std::string& Text)
{
    size_t At = Text.find("&#x");
    if (At == std::string::npos)
        return Text;
    std::string Out;
    size_t From = 0;
    while (At != std::string::npos) {
        // Only the form SettingsTextForCp932 writes: upper-case digits, no
        // leading zero, and a character CP932 does not hold (or "&").
        size_t E = At + 3;
        uint32_t Cp = 0;
        size_t Digits = 0;
        while (E < Text.size() && Digits < 7 &&
               ((Text[E] >= '0' && Text[E] <= '9') || (Text[E] >= 'A' && Text[E] <= 'F'))) {
            Cp = Cp * 16 + uint32_t(Text[E] <= '9' ? Text[E] - '0' : Text[E] - 'A' + 10);
            ++E;
            ++Digits;
        }
        std::string Char;
        bool Ok = Digits >= 1 && Digits <= 6 && Text[At + 3] != '0' && E < Text.size() && Text[E] == ';';
        if (Ok && Cp == '&') {
            Char = "&";
        } else if (Ok && Cp <= 0x10FFFF && !(Cp >= 0xD800 && Cp <= 0xDFFF)) {
            Char = Utf8Of(Cp);
            Ok = !Cp932Holds(Char);
        } else {
            Ok = false;
        }
        if (!Ok) {
            At = Text.find("&#x", At + 1);
            continue;
        }
        Out.append(Text, From, At - From);
        Out += Char;
        From = E + 1;
        At = Text.find("&#x", From);
    }
    Out.append(Text, From, std::string::npos);
    return Out;
}

TMemIniFile::TMemIniFile(const std::string& FileName) : FFileName(FileName)
{
    LoadFromFile();
}

void TMemIniFile::LoadFromFile()
{
    FSections.clear();
    Parse(ReadSettingsFile(FFileName, FLoadError));
}

void TMemIniFile::Parse(const std::string& Bytes)
{
    FSections.clear();
    FSections.emplace_back();  // the lines before the first header

    std::string Content = Bytes;
    bool Utf8 = false;
    std::string Decoded;
    if (Content.compare(0, 3, kUtf8Bom) == 0) {
        Content.erase(0, 3);
        Utf8 = true;
    } else if (!TryCp932ToUtf8(Content, Decoded) && IsValidUtf8(Content)) {
        Utf8 = true;
    }

    // CR and LF never occur inside a CP932 or UTF-8 character, so the raw
    // bytes can be split into lines before decoding.
    size_t Pos = 0;
    const size_t N = Content.size();
    while (Pos < N) {
        size_t End = Pos;
        while (End < N && Content[End] != '\r' && Content[End] != '\n')
            ++End;
        std::string Raw = Content.substr(Pos, End - Pos);
        if (End < N) {
            if (Content[End] == '\r' && End + 1 < N && Content[End + 1] == '\n')
                ++End;
            ++End;
        }
        Pos = End;

        TLine L;
        if (Utf8) {
            L.Text = Raw;
        } else {
            if (!TryCp932ToUtf8(Raw, L.Text))
                L.Text = Cp932ToUtf8(Raw);
            L.Text = SettingsTextFromCp932(L.Text);
            L.Raw = Raw;
            L.HasRaw = true;
        }

        std::string T = Trim(L.Text);
        if (!T.empty() && T[0] != ';' && T[0] != '#') {
            if (T.size() >= 2 && T.front() == '[' && T.back() == ']') {
                L.Kind = TLineKind::Section;
                L.Name = Trim(T.substr(1, T.size() - 2));
                TSection S;
                S.HasHeader = true;
                S.Header = std::move(L);
                FSections.push_back(std::move(S));
                continue;
            }
            size_t Eq = L.Text.find('=');
            if (Eq != std::string::npos && FSections.back().HasHeader) {
                std::string Key = Trim(L.Text.substr(0, Eq));
                if (!Key.empty()) {
                    L.Kind = TLineKind::Key;
                    L.Name = Key;
                    L.Value = L.Text.substr(Eq + 1);
                }
            }
        }
        FSections.back().Lines.push_back(std::move(L));
    }
}

std::string TMemIniFile::BuildFileBytes() const
{
    // Always CP932, also after loading a UTF-8 file: what CP932 cannot hold
    // is written as a character reference and read back as the character.
    std::string Out;
    auto Emit = [&](const TLine& L) {
        if (L.HasRaw)
            Out += L.Raw;
        else
            Out += Utf8ToCp932(SettingsTextForCp932(L.Text));
        Out += "\r\n";
    };
    for (const TSection& S : FSections) {
        if (S.HasHeader)
            Emit(S.Header);
        for (const TLine& L : S.Lines)
            Emit(L);
    }
    return Out;
}

const TMemIniFile::TSection* TMemIniFile::FindSection(const std::string& Section) const
{
    for (const TSection& S : FSections)
        if (S.HasHeader && SameText(S.Header.Name, Section))
            return &S;
    return nullptr;
}

TMemIniFile::TSection* TMemIniFile::FindSection(const std::string& Section)
{
    return const_cast<TSection*>(static_cast<const TMemIniFile*>(this)->FindSection(Section));
}

TMemIniFile::TSection& TMemIniFile::AppendSection(const std::string& Section)
{
    // Keep a blank line between the last section and the new one.
    TSection& Last = FSections.back();
    const std::string LastText = !Last.Lines.empty() ? Last.Lines.back().Text
                                 : Last.HasHeader     ? Last.Header.Text
                                                      : std::string();
    if (!Trim(LastText).empty()) {
        TLine Blank;
        Last.Lines.push_back(Blank);
    }
    TSection NewS;
    NewS.HasHeader = true;
    NewS.Header.Kind = TLineKind::Section;
    NewS.Header.Name = OneLine(Section);
    NewS.Header.Text = "[" + NewS.Header.Name + "]";
    FSections.push_back(std::move(NewS));
    return FSections.back();
}

const TMemIniFile::TLine* TMemIniFile::FindKey(const std::string& Section, const std::string& Key) const
{
    const TSection* S = FindSection(Section);
    if (!S)
        return nullptr;
    for (const TLine& L : S->Lines)
        if (L.Kind == TLineKind::Key && SameText(L.Name, Key))
            return &L;
    return nullptr;
}

std::string TMemIniFile::ReadString(const std::string& Section, const std::string& Key,
                                    const std::string& Default) const
{
    const TLine* L = FindKey(Section, Key);
    return L ? L->Value : Default;
}

void TMemIniFile::WriteString(const std::string& Section, const std::string& Key, const std::string& Value)
{
    const std::string V = OneLine(Value);
    TSection* S = FindSection(Section);
    if (!S)
        S = &AppendSection(Section);

    size_t InsertAt = 0;
    for (size_t I = 0; I < S->Lines.size(); ++I) {
        TLine& L = S->Lines[I];
        if (L.Kind != TLineKind::Key)
            continue;
        if (SameText(L.Name, Key)) {
            if (L.Value != V) {
                L.Value = V;
                L.Text = L.Name + "=" + V;
                L.HasRaw = false;
                L.Raw.clear();
            }
            return;
        }
        InsertAt = I + 1;
    }
    TLine L;
    L.Kind = TLineKind::Key;
    L.Name = OneLine(Key);
    L.Value = V;
    L.Text = L.Name + "=" + V;
    S->Lines.insert(S->Lines.begin() + static_cast<std::ptrdiff_t>(InsertAt), std::move(L));
}

int32_t TMemIniFile::ReadInteger(const std::string& Section, const std::string& Key, int32_t Default) const
{
    const TLine* L = FindKey(Section, Key);
    if (!L)
        return Default;
    const std::string T = Trim(L->Value);
    size_t I = 0;
    bool Neg = false;
    if (I < T.size() && (T[I] == '+' || T[I] == '-')) {
        Neg = T[I] == '-';
        ++I;
    }
    int Base = 10;
    if (I < T.size() && T[I] == '$') {
        Base = 16;
        ++I;
    } else if (I + 1 < T.size() && T[I] == '0' && (T[I + 1] == 'x' || T[I + 1] == 'X')) {
        Base = 16;
        I += 2;
    }
    if (I >= T.size())
        return Default;
    uint64_t Acc = 0;
    for (; I < T.size(); ++I) {
        char C = T[I];
        int D;
        if (C >= '0' && C <= '9')
            D = C - '0';
        else if (Base == 16 && C >= 'a' && C <= 'f')
            D = C - 'a' + 10;
        else if (Base == 16 && C >= 'A' && C <= 'F')
            D = C - 'A' + 10;
        else
            return Default;
        Acc = Acc * static_cast<uint64_t>(Base) + static_cast<uint64_t>(D);
        if (Acc > 0xFFFFFFFFull)
            return Default;
    }
    if (Base == 10) {
        if ((!Neg && Acc > static_cast<uint64_t>(INT32_MAX)) ||
            (Neg && Acc > static_cast<uint64_t>(INT32_MAX) + 1))
            return Default;
    }
    // Hexadecimal takes all 32 bits ("$FFFFFFFF" is -1).
    uint32_t U = static_cast<uint32_t>(Acc);
    if (Neg)
        U = 0u - U;
    return static_cast<int32_t>(U);
}

void TMemIniFile::WriteInteger(const std::string& Section, const std::string& Key, int32_t Value)
{
    WriteString(Section, Key, std::to_string(Value));
}

bool TMemIniFile::ReadBool(const std::string& Section, const std::string& Key, bool Default) const
{
    return ReadInteger(Section, Key, Default ? 1 : 0) != 0;
}

void TMemIniFile::WriteBool(const std::string& Section, const std::string& Key, bool Value)
{
    WriteString(Section, Key, Value ? "1" : "0");
}

void TMemIniFile::ReadSection(const std::string& Section, std::vector<std::string>& Keys) const
{
    std::vector<std::pair<std::string, std::string>> Values;
    ReadSectionValues(Section, Values);
    Keys.clear();
    Keys.reserve(Values.size());
    for (auto& V : Values)
        Keys.push_back(std::move(V.first));
}

void TMemIniFile::ReadSectionValues(const std::string& Section,
                                    std::vector<std::pair<std::string, std::string>>& Values) const
{
    Values.clear();
    const TSection* S = FindSection(Section);
    if (!S)
        return;
    // One look-up per line: comparing each with every key taken so far
    // would cost the square of the key count.
    std::unordered_set<std::string> Seen;
    for (const TLine& L : S->Lines)
        if (L.Kind == TLineKind::Key && Seen.insert(AsciiLowerText(L.Name)).second)
            Values.emplace_back(L.Name, L.Value);
}

void TMemIniFile::WriteSectionValues(const std::string& Section,
                                     const std::vector<std::pair<std::string, std::string>>& Values)
{
    // The key lines as they were, each key's first, taken out by its name.
    std::unordered_map<std::string, TLine> Old;
    if (TSection* S = FindSection(Section))
        for (TLine& L : S->Lines)
            if (L.Kind == TLineKind::Key)
                Old.try_emplace(AsciiLowerText(L.Name), std::move(L));
    EraseSection(Section);
    if (Values.empty())
        return;
    TSection& S = AppendSection(Section);
    S.Lines.reserve(Values.size());
    for (const auto& [Key, Value] : Values) {
        const std::string Name = OneLine(Key);
        const std::string V = OneLine(Value);
        auto It = Old.find(AsciiLowerText(Name));
        if (It != Old.end() && It->second.Name == Name && It->second.Value == V) {
            S.Lines.push_back(std::move(It->second));
            Old.erase(It);
            continue;
        }
        TLine L;
        L.Kind = TLineKind::Key;
        L.Name = Name;
        L.Value = V;
        L.Text = L.Name + "=" + V;
        S.Lines.push_back(std::move(L));
    }
}

void TMemIniFile::ReadSections(std::vector<std::string>& Sections) const
{
    Sections.clear();
    std::unordered_set<std::string> Seen;
    for (const TSection& S : FSections)
        if (S.HasHeader && Seen.insert(AsciiLowerText(S.Header.Name)).second)
            Sections.push_back(S.Header.Name);
}

void TMemIniFile::ReadSection(const std::string& Section, TStringList& Keys) const
{
    std::vector<std::string> V;
    ReadSection(Section, V);
    Keys.Clear();
    for (const std::string& K : V)
        Keys.Add(K);
}

void TMemIniFile::ReadSections(TStringList& Sections) const
{
    std::vector<std::string> V;
    ReadSections(V);
    Sections.Clear();
    for (const std::string& N : V)
        Sections.Add(N);
}

bool TMemIniFile::SectionExists(const std::string& Section) const
{
    return FindSection(Section) != nullptr;
}

bool TMemIniFile::ValueExists(const std::string& Section, const std::string& Key) const
{
    return FindKey(Section, Key) != nullptr;
}

void TMemIniFile::EraseSection(const std::string& Section)
{
    for (size_t I = FSections.size(); I-- > 0;)
        if (FSections[I].HasHeader && SameText(FSections[I].Header.Name, Section))
            FSections.erase(FSections.begin() + static_cast<std::ptrdiff_t>(I));
}

void TMemIniFile::DeleteKey(const std::string& Section, const std::string& Key)
{
    TSection* S = FindSection(Section);
    if (!S)
        return;
    std::erase_if(S->Lines, [&](const TLine& L) { return L.Kind == TLineKind::Key && SameText(L.Name, Key); });
}

void TMemIniFile::UpdateFile()
{
    const std::string Bytes = BuildFileBytes();
    int Err = WriteFileReplacing(FFileName, Bytes.data(), Bytes.size());
    if (Err != 0)
        throw EFCreateError(CreateErrorText(FFileName, Err));
}

void TMemIniFile::Rename(const std::string& NewFileName, bool Reload)
{
    FFileName = NewFileName;
    if (Reload)
        LoadFromFile();
}
