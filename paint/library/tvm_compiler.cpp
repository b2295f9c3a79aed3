// Build-time compiler of the effect catalogue: reads the readable macro
// sources (*.tvs, UTF-8, see README.md) and writes one macro library file
// ("tvm", three version bytes, then the macro list; strings zero-terminated
// CP932 of at most 254 bytes, numbers little-endian).
//
//   tvm_compiler [--paths] OUTPUT SOURCE...
//
// Every macro block gives the macro itself, its "_Low" variant and, when its
// middle quality differs from the normal one, its "_Mid" variant. Path
// macros (--paths) have no qualities: only the macro itself is written. The
// compiler knows nothing of the paint functions: it checks the text (names,
// references to earlier results, declared captions, string sizes) and leaves
// the function checks to the catalogue's validator, which reads the written
// file through the program's own reader.
#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr size_t cMaxStringBytes = 254;
constexpr const char* cBackGround = "PictureBackGround";

// Qualities in output order: the macro itself, "_Mid", "_Low".
enum TQuality { qNormal = 0, qMid = 1, qLow = 2 };
constexpr std::array<const char*, 3> cSuffix = {"", "_Mid", "_Low"};

struct TSourceError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One argument as written for one quality.
struct TArg {
    enum Kind { Literal, Empty, Ref, Caption, Internal } Kind = Empty;
    std::string Text; // literal value, referenced result, caption
};

struct TSourceLine {
    int LineNo = 0;
    bool In[3] = {true, true, true};
    std::string Result;
    std::string Function;
    bool Final = false;
    std::vector<std::array<TArg, 3>> Args;
};

struct TMacroBlock {
    std::string Name;
    std::string File;
    int LineNo = 0;
    std::vector<std::pair<std::string, std::string>> Params; // caption, default
    std::vector<TSourceLine> Lines;
};

// A declared caption may carry a tag after "|" (the panel reads a custom
// range text from it); lines name the caption without its tag.
std::string Untagged(const std::string& Caption)
{
    return Caption.substr(0, Caption.find('|'));
}

// One compiled line, ready to be written.
struct TOutPair {
    std::string Value;
    std::string Caption;
    bool operator==(const TOutPair&) const = default;
};
struct TOutLine {
    std::string Function;
    std::string Result;
    uint16_t Flags = 0;
    std::vector<TOutPair> Pairs;
    bool operator==(const TOutLine&) const = default;
};
struct TOutMacro {
    std::string Name;
    std::vector<TOutLine> Lines;
};

std::string Trim(const std::string& S)
{
    const size_t B = S.find_first_not_of(" \t\r");
    if (B == std::string::npos)
        return std::string();
    const size_t E = S.find_last_not_of(" \t\r");
    return S.substr(B, E - B + 1);
}

bool IsIdentifier(const std::string& S)
{
    if (S.empty())
        return false;
    for (char C : S)
        if (!((C >= 'A' && C <= 'Z') || (C >= 'a' && C <= 'z') || (C >= '0' && C <= '9') || C == '_'))
            return false;
    return !(S[0] >= '0' && S[0] <= '9');
}

std::string Lower(std::string S)
{
    for (char& C : S)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return S;
}

// Cuts a line at its comment: "#" outside a quoted text.
std::string StripComment(const std::string& Line)
{
    bool Quoted = false;
    for (size_t I = 0; I < Line.size(); ++I) {
        if (Line[I] == '"')
            Quoted = !Quoted;
        else if (Line[I] == '#' && !Quoted)
            return Line.substr(0, I);
    }
    return Line;
}

class TArgScanner {
public:
    TArgScanner(const std::string& Text, const std::string& Where) : FText(Text), FWhere(Where) {}

    std::vector<std::array<TArg, 3>> All()
    {
        std::vector<std::array<TArg, 3>> Args;
        SkipSpace();
        if (AtEnd())
            return Args;
        for (;;) {
            Args.push_back(One());
            SkipSpace();
            if (AtEnd())
                return Args;
            Expect(',');
        }
    }

private:
    std::array<TArg, 3> One()
    {
        SkipSpace();
        if (Peek() == '<') {
            ++FPos;
            std::array<TArg, 3> Alt;
            for (int Q = 0; Q < 3; ++Q) {
                Alt[Q] = Single("|>");
                SkipSpace();
                Expect(Q < 2 ? '|' : '>');
            }
            return Alt;
        }
        const TArg A = Single(",");
        return {A, A, A};
    }

    // One value up to (not including) a character of Stops.
    TArg Single(const std::string& Stops)
    {
        SkipSpace();
        TArg A;
        const char C = Peek();
        if (C == '"') {
            const size_t End = FText.find('"', FPos + 1);
            if (End == std::string::npos)
                Fail("unclosed quote");
            A.Kind = TArg::Literal;
            A.Text = FText.substr(FPos + 1, End - FPos - 1);
            FPos = End + 1;
            return A;
        }
        if (C == '{') {
            const size_t End = FText.find('}', FPos + 1);
            if (End == std::string::npos)
                Fail("unclosed caption");
            A.Kind = TArg::Caption;
            A.Text = Trim(FText.substr(FPos + 1, End - FPos - 1));
            FPos = End + 1;
            if (A.Text.empty())
                Fail("empty caption");
            return A;
        }
        size_t End = FPos;
        while (End < FText.size() && Stops.find(FText[End]) == std::string::npos &&
               FText[End] != ',' && FText[End] != '"')
            ++End;
        const std::string Bare = Trim(FText.substr(FPos, End - FPos));
        FPos = End;
        if (Bare.empty())
            Fail("missing value");
        if (Bare == "-") {
            A.Kind = TArg::Empty;
        } else if (Bare[0] == '@') {
            A.Kind = TArg::Ref;
            A.Text = Bare.substr(1);
            if (A.Text != cBackGround && !IsIdentifier(A.Text))
                Fail("bad result name \"" + A.Text + "\"");
        } else if (Bare[0] == '*') {
            A.Kind = TArg::Internal;
            A.Text = Bare;
        } else {
            A.Kind = TArg::Literal;
            A.Text = Bare;
        }
        return A;
    }

    void SkipSpace()
    {
        while (FPos < FText.size() && (FText[FPos] == ' ' || FText[FPos] == '\t' || FText[FPos] == '\n'))
            ++FPos;
    }
    bool AtEnd() const { return FPos >= FText.size(); }
    char Peek() const { return AtEnd() ? '\0' : FText[FPos]; }
    void Expect(char C)
    {
        if (Peek() != C)
            Fail(std::string("expected '") + C + "'");
        ++FPos;
    }
    [[noreturn]] void Fail(const std::string& What) const
    {
        throw TSourceError(FWhere + ": " + What + " in arguments: " + FText);
    }

    const std::string& FText;
    std::string FWhere;
    size_t FPos = 0;
};

// "[NML] Result = Function!(args)" with the argument text already joined.
TSourceLine ParseCall(const std::string& Text, const std::string& Where, int LineNo)
{
    TSourceLine L;
    L.LineNo = LineNo;
    std::string S = Trim(Text);
    if (!S.empty() && S[0] == '[') {
        const size_t End = S.find(']');
        if (End == std::string::npos)
            throw TSourceError(Where + ": unclosed quality list");
        L.In[qNormal] = L.In[qMid] = L.In[qLow] = false;
        for (char C : S.substr(1, End - 1)) {
            if (C == 'N')
                L.In[qNormal] = true;
            else if (C == 'M')
                L.In[qMid] = true;
            else if (C == 'L')
                L.In[qLow] = true;
            else if (C != ' ')
                throw TSourceError(Where + ": unknown quality '" + std::string(1, C) + "'");
        }
        S = Trim(S.substr(End + 1));
    }
    const size_t Open = S.find('(');
    if (Open == std::string::npos || S.back() != ')')
        throw TSourceError(Where + ": a line is Function(arguments)");
    std::string Head = Trim(S.substr(0, Open));
    const size_t Eq = Head.find('=');
    if (Eq != std::string::npos) {
        L.Result = Trim(Head.substr(0, Eq));
        Head = Trim(Head.substr(Eq + 1));
        if (!IsIdentifier(L.Result))
            throw TSourceError(Where + ": bad result name \"" + L.Result + "\"");
    }
    if (!Head.empty() && Head.back() == '!') {
        L.Final = true;
        Head = Trim(Head.substr(0, Head.size() - 1));
    }
    if (!IsIdentifier(Head))
        throw TSourceError(Where + ": bad function name \"" + Head + "\"");
    L.Function = Head;
    const std::string ArgText = S.substr(Open + 1, S.size() - Open - 2);
    L.Args = TArgScanner(ArgText, Where).All();
    return L;
}

// Parentheses still open in a piece of a call, quoted texts skipped.
int OpenParens(const std::string& S)
{
    int Depth = 0;
    bool Quoted = false;
    for (char C : S) {
        if (C == '"')
            Quoted = !Quoted;
        else if (!Quoted && C == '(')
            ++Depth;
        else if (!Quoted && C == ')')
            --Depth;
    }
    return Depth;
}

std::vector<TMacroBlock> ParseFile(const std::string& FileName)
{
    std::ifstream In(FileName, std::ios::binary);
    if (!In)
        throw TSourceError(FileName + ": cannot be read");
    std::vector<TMacroBlock> Blocks;
    TMacroBlock* Current = nullptr;
    std::string Pending;
    int PendingLine = 0;
    std::string Raw;
    int LineNo = 0;
    while (std::getline(In, Raw)) {
        ++LineNo;
        const std::string Where = FileName + ":" + std::to_string(LineNo);
        const std::string Line = Trim(StripComment(Raw));
        if (!Pending.empty()) {
            Pending += ' ' + Line;
            if (OpenParens(Pending) <= 0) {
                Current->Lines.push_back(
                    ParseCall(Pending, FileName + ":" + std::to_string(PendingLine), PendingLine));
                Pending.clear();
            }
            continue;
        }
        if (Line.empty())
            continue;
        if (Line.rfind("macro ", 0) == 0) {
            if (Current)
                throw TSourceError(Where + ": \"end\" missing before this macro");
            Blocks.emplace_back();
            Current = &Blocks.back();
            Current->Name = Trim(Line.substr(6));
            Current->File = FileName;
            Current->LineNo = LineNo;
            if (Current->Name.empty())
                throw TSourceError(Where + ": macro without a name");
            continue;
        }
        if (!Current)
            throw TSourceError(Where + ": text outside a macro");
        if (Line == "end") {
            if (Current->Lines.empty())
                throw TSourceError(Where + ": macro " + Current->Name + " has no lines");
            Current = nullptr;
            continue;
        }
        if (Line.rfind("param ", 0) == 0) {
            const std::string Rest = Line.substr(6);
            const size_t Eq = Rest.find('=');
            if (Eq == std::string::npos)
                throw TSourceError(Where + ": param Caption = value");
            const std::string Caption = Trim(Rest.substr(0, Eq));
            std::string Value = Trim(Rest.substr(Eq + 1));
            if (Value.size() >= 2 && Value.front() == '"' && Value.back() == '"')
                Value = Value.substr(1, Value.size() - 2);
            if (Caption.empty() || Caption[0] == '*')
                throw TSourceError(Where + ": a user caption may not be empty or begin with \"*\"");
            for (const auto& P : Current->Params)
                if (Untagged(P.first) == Untagged(Caption))
                    throw TSourceError(Where + ": caption " + Caption + " declared twice");
            Current->Params.emplace_back(Caption, Value);
            continue;
        }
        if (OpenParens(Line) > 0) {
            Pending = Line;
            PendingLine = LineNo;
            continue;
        }
        Current->Lines.push_back(ParseCall(Line, Where, LineNo));
    }
    if (!Pending.empty())
        throw TSourceError(FileName + ":" + std::to_string(PendingLine) + ": unclosed call");
    if (Current)
        throw TSourceError(FileName + ": macro " + Current->Name + " lacks its \"end\"");
    return Blocks;
}

TOutMacro Compile(const TMacroBlock& B, TQuality Q, std::set<std::string>& UsedCaptions)
{
    TOutMacro M;
    M.Name = B.Name + cSuffix[Q];
    std::map<std::string, std::pair<std::string, std::string>> Defaults; // caption -> tagged, default
    for (const auto& P : B.Params)
        Defaults[Untagged(P.first)] = P;
    std::set<std::string> Results;
    for (const TSourceLine& L : B.Lines) {
        if (!L.In[Q])
            continue;
        const std::string Where = B.File + ":" + std::to_string(L.LineNo);
        TOutLine Out;
        Out.Function = L.Function;
        Out.Result = L.Result;
        Out.Flags = L.Final ? 1 : 0;
        for (const auto& Alt : L.Args) {
            const TArg& A = Alt[Q];
            TOutPair P;
            switch (A.Kind) {
            case TArg::Literal:
                P.Value = A.Text;
                break;
            case TArg::Empty:
                break;
            case TArg::Internal:
                P.Caption = A.Text;
                break;
            case TArg::Ref:
                if (A.Text != cBackGround && !Results.count(Lower(A.Text)))
                    throw TSourceError(Where + ": " + M.Name + " uses " + A.Text +
                                       " before a line makes it");
                P.Value = A.Text;
                break;
            case TArg::Caption: {
                const auto It = Defaults.find(A.Text);
                if (It == Defaults.end())
                    throw TSourceError(Where + ": caption " + A.Text + " is not declared");
                P.Value = It->second.second;
                P.Caption = It->second.first;
                UsedCaptions.insert(A.Text);
                break;
            }
            }
            Out.Pairs.push_back(P);
        }
        if (Out.Pairs.size() > 0xFFFF)
            throw TSourceError(Where + ": too many arguments");
        if (!L.Result.empty())
            Results.insert(Lower(L.Result));
        M.Lines.push_back(std::move(Out));
    }
    if (M.Lines.empty())
        throw TSourceError(B.File + ":" + std::to_string(B.LineNo) + ": " + M.Name + " has no lines");
    return M;
}

class TCp932 {
public:
    TCp932() : FCd(iconv_open("CP932", "UTF-8"))
    {
        if (FCd == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error("iconv cannot convert UTF-8 to CP932");
    }
    ~TCp932() { iconv_close(FCd); }
    TCp932(const TCp932&) = delete;
    TCp932& operator=(const TCp932&) = delete;

    std::string operator()(const std::string& Text)
    {
        iconv(FCd, nullptr, nullptr, nullptr, nullptr);
        std::string In = Text;
        std::string Out(Text.size() * 2 + 8, '\0');
        char* Src = In.data();
        size_t SrcLeft = In.size();
        char* Dst = Out.data();
        size_t DstLeft = Out.size();
        if (iconv(FCd, &Src, &SrcLeft, &Dst, &DstLeft) == static_cast<size_t>(-1))
            throw TSourceError("\"" + Text + "\" has a character CP932 cannot hold");
        Out.resize(Out.size() - DstLeft);
        return Out;
    }

private:
    iconv_t FCd;
};

class TTvmWriter {
public:
    explicit TTvmWriter(TCp932& Conv) : FConv(Conv) { FBytes.append("tvm\x00\x01\x00", 6); }

    void Macro(const TOutMacro& M)
    {
        Byte(0);
        String(M.Name);
        for (const TOutLine& L : M.Lines) {
            Byte(0);
            String(L.Function);
            const uint32_t Word = static_cast<uint32_t>(L.Pairs.size()) | (uint32_t{L.Flags} << 16);
            for (int I = 0; I < 4; ++I)
                FBytes += static_cast<char>((Word >> (8 * I)) & 0xFF);
            String(L.Result);
            for (const TOutPair& P : L.Pairs) {
                Byte(0);
                String(P.Value);
                String(P.Caption);
            }
            Byte(1);
        }
        Byte(1);
    }
    std::string Finish()
    {
        Byte(1);
        return FBytes;
    }

private:
    void Byte(uint8_t B) { FBytes += static_cast<char>(B); }
    void String(const std::string& Text)
    {
        const std::string S = FConv(Text);
        if (S.size() > cMaxStringBytes)
            throw TSourceError("\"" + Text + "\" is longer than " + std::to_string(cMaxStringBytes) +
                               " bytes in CP932");
        if (S.find('\0') != std::string::npos)
            throw TSourceError("\"" + Text + "\" holds a 0 byte");
        FBytes += S;
        Byte(0);
    }

    TCp932& FConv;
    std::string FBytes;
};

int Run(int argc, char** argv)
{
    int First = 1;
    const bool Paths = argc > 1 && std::string(argv[1]) == "--paths";
    if (Paths)
        ++First;
    if (argc - First < 2) {
        std::cerr << "usage: tvm_compiler [--paths] OUTPUT SOURCE...\n";
        return 2;
    }
    const std::string Output = argv[First];
    std::vector<TMacroBlock> Blocks;
    for (int I = First + 1; I < argc; ++I) {
        std::vector<TMacroBlock> More = ParseFile(argv[I]);
        Blocks.insert(Blocks.end(), More.begin(), More.end());
    }
    TCp932 Conv;
    TTvmWriter Writer(Conv);
    std::set<std::string> Names; // lower case: the libraries look names up without case
    auto Claim = [&](const std::string& Name, const TMacroBlock& B) {
        if (!Names.insert(Lower(Name)).second)
            throw TSourceError(B.File + ":" + std::to_string(B.LineNo) + ": macro " + Name +
                               " defined twice");
    };
    for (const TMacroBlock& B : Blocks) {
        std::set<std::string> Used;
        const TOutMacro Normal = Compile(B, qNormal, Used);
        const TOutMacro Mid = Compile(B, qMid, Used);
        const TOutMacro Low = Compile(B, qLow, Used);
        for (const auto& P : B.Params)
            if (!Used.count(Untagged(P.first)))
                throw TSourceError(B.File + ":" + std::to_string(B.LineNo) + ": caption " + P.first +
                                   " of " + B.Name + " is never used");
        Claim(Normal.Name, B);
        Writer.Macro(Normal);
        if (Paths) {
            if (Mid.Lines != Normal.Lines || Low.Lines != Normal.Lines)
                throw TSourceError(B.File + ":" + std::to_string(B.LineNo) + ": path macro " +
                                   B.Name + " has quality marks");
            continue;
        }
        if (Mid.Lines != Normal.Lines) {
            Claim(Mid.Name, B);
            Writer.Macro(Mid);
        }
        Claim(Low.Name, B);
        Writer.Macro(Low);
    }
    const std::string Bytes = Writer.Finish();
    const std::string Temp = Output + ".part";
    {
        std::ofstream Out(Temp, std::ios::binary | std::ios::trunc);
        Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
        if (!Out)
            throw std::runtime_error(Temp + ": cannot be written");
    }
    if (std::rename(Temp.c_str(), Output.c_str()) != 0)
        throw std::runtime_error(Output + ": cannot be written");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception& E) {
        std::cerr << "tvm_compiler: " << E.what() << "\n";
        return 1;
    }
}
