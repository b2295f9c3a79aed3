#include "platform/registry_store.h"
#include "platform/safe_write.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <map>
#include <mutex>
#include <new>
#include <vector>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

// File layout, one item a line:
//   [HKEY_CURRENT_USER\SOFTWARE\ZELBAR\Tavro\4]
//   "EnvData"=sz:"/home/user/tavro"
//   @=sz:"default value"
//   "Count"=dword:0000000a
// Names and strings are quoted with C-like escapes (\\ \" \n \r \t \xHH), so
// any bytes survive; key names are written as they are (no control characters).
// A line that does not parse is skipped, and so are the values of a section
// whose header does not parse.

namespace {

struct TValue {
    std::string Name; // as first written
    uint32_t Type = REG_SZ;
    std::string Str;
    uint32_t Dword = 0;
};

struct TKey {
    std::string Path; // root name + "\" + key path, as first written
    std::map<std::string, TValue> Values; // by lower-case name
};

using TKeys = std::map<std::string, TKey>; // by lower-case full path

struct TStore {
    std::mutex Lock;
    bool Loaded = false;
    std::string FilePath;
    int LoadError = 0;
    TKeys Keys;
};

TStore& Store()
{
    static TStore S;
    return S;
}

const char* RootName(HKEY Root)
{
    switch (Root) {
    case HKEY_CLASSES_ROOT:
        return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER:
        return "HKEY_CURRENT_USER";
    default:
        return nullptr;
    }
}

std::string Lower(const std::string& S)
{
    std::string R = S;
    for (char& C : R)
        if (C >= 'A' && C <= 'Z')
            C = char(C - 'A' + 'a');
    return R;
}

// Root plus the non-empty components of Key; false for an unknown root or a
// key name with control characters.
bool FullPath(HKEY Root, const std::string& Key, std::string& Path)
{
    const char* R = RootName(Root);
    if (!R)
        return false;
    Path = R;
    size_t I = 0;
    while (I <= Key.size()) {
        size_t J = Key.find('\\', I);
        if (J == std::string::npos)
            J = Key.size();
        if (J > I) {
            std::string Part = Key.substr(I, J - I);
            for (unsigned char C : Part)
                if (C < 0x20 || C == 0x7F)
                    return false;
            Path += '\\';
            Path += Part;
        }
        I = J + 1;
    }
    return true;
}

void AddKeyWithParents(TKeys& Keys, const std::string& Path)
{
    size_t Pos = Path.find('\\');
    while (true) {
        std::string Sub = Pos == std::string::npos ? Path : Path.substr(0, Pos);
        TKey& K = Keys[Lower(Sub)];
        if (K.Path.empty())
            K.Path = Sub;
        if (Pos == std::string::npos)
            break;
        Pos = Path.find('\\', Pos + 1);
    }
}

std::string ConfigDir()
{
    const char* X = std::getenv("XDG_CONFIG_HOME");
    if (X && X[0] == '/')
        return X;
    const char* H = std::getenv("HOME");
    if (H && H[0] == '/')
        return std::string(H) + "/.config";
    if (const passwd* P = getpwuid(getuid()))
        if (P->pw_dir && P->pw_dir[0] == '/')
            return std::string(P->pw_dir) + "/.config";
    return {};
}

// ---- text form ----

std::string Quote(const std::string& S)
{
    static const char Hex[] = "0123456789abcdef";
    std::string R = "\"";
    for (unsigned char C : S) {
        switch (C) {
        case '\\': R += "\\\\"; break;
        case '"': R += "\\\""; break;
        case '\n': R += "\\n"; break;
        case '\r': R += "\\r"; break;
        case '\t': R += "\\t"; break;
        default:
            if (C < 0x20 || C == 0x7F) {
                R += "\\x";
                R += Hex[C >> 4];
                R += Hex[C & 15];
            } else {
                R += char(C);
            }
        }
    }
    R += '"';
    return R;
}

int HexDigit(char C)
{
    if (C >= '0' && C <= '9')
        return C - '0';
    if (C >= 'a' && C <= 'f')
        return C - 'a' + 10;
    if (C >= 'A' && C <= 'F')
        return C - 'A' + 10;
    return -1;
}

// Reads a quoted string starting at Line[Pos]; Pos moves past it.
bool Unquote(const std::string& Line, size_t& Pos, std::string& Out)
{
    if (Pos >= Line.size() || Line[Pos] != '"')
        return false;
    Out.clear();
    for (size_t I = Pos + 1; I < Line.size(); ++I) {
        char C = Line[I];
        if (C == '"') {
            Pos = I + 1;
            return true;
        }
        if (C != '\\') {
            Out += C;
            continue;
        }
        if (++I >= Line.size())
            return false;
        switch (Line[I]) {
        case '\\': Out += '\\'; break;
        case '"': Out += '"'; break;
        case 'n': Out += '\n'; break;
        case 'r': Out += '\r'; break;
        case 't': Out += '\t'; break;
        case 'x': {
            if (I + 2 >= Line.size())
                return false;
            int A = HexDigit(Line[I + 1]), B = HexDigit(Line[I + 2]);
            if (A < 0 || B < 0)
                return false;
            Out += char(A * 16 + B);
            I += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

bool ParseValueLine(const std::string& Line, TValue& V)
{
    size_t Pos = 0;
    if (Line.compare(0, 2, "@=") == 0) {
        V.Name.clear();
        Pos = 1;
    } else if (!Unquote(Line, Pos, V.Name) || Pos >= Line.size() || Line[Pos] != '=') {
        return false;
    }
    ++Pos;
    if (Line.compare(Pos, 3, "sz:") == 0) {
        Pos += 3;
        V.Type = REG_SZ;
        return Unquote(Line, Pos, V.Str) && Pos == Line.size();
    }
    if (Line.compare(Pos, 6, "dword:") == 0) {
        Pos += 6;
        if (Line.size() - Pos != 8)
            return false;
        uint32_t D = 0;
        for (; Pos < Line.size(); ++Pos) {
            int H = HexDigit(Line[Pos]);
            if (H < 0)
                return false;
            D = D * 16 + uint32_t(H);
        }
        V.Type = REG_DWORD;
        V.Dword = D;
        return true;
    }
    return false;
}

// A section header "[ROOT\path]" naming a known root and valid key names.
bool ParseHeader(const std::string& Line, std::string& Path)
{
    if (Line.size() < 2 || Line.front() != '[' || Line.back() != ']')
        return false;
    std::string Inner = Line.substr(1, Line.size() - 2);
    size_t Sep = Inner.find('\\');
    std::string Root = Inner.substr(0, Sep);
    std::string Rest = Sep == std::string::npos ? std::string() : Inner.substr(Sep + 1);
    for (HKEY R : {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER})
        if (Root == RootName(R))
            return FullPath(R, Rest, Path);
    return false;
}

// The keys of FileName. A file that cannot be read (a folder, a pipe or a
// device in its place, no permission) counts as missing; LoadError gets
// why, 0 when the file read or is not there.
TKeys ReadFile(const std::string& FileName, int& LoadError)
{
    TKeys Keys;
    LoadError = 0;
    if (FileName.empty())
        return Keys;
    std::string Bytes;
    if (const int Err = ReadRegularFile(FileName, Bytes)) {
        if (Err != ENOENT && Err != ENOTDIR)
            LoadError = Err;
        return Keys;
    }
    std::istringstream In(Bytes);
    std::string Line;
    TKey* Current = nullptr;
    while (std::getline(In, Line)) {
        if (!Line.empty() && Line.back() == '\r')
            Line.pop_back();
        if (Line.empty() || Line[0] == ';')
            continue;
        if (Line[0] == '[') {
            std::string Path;
            Current = nullptr;
            if (ParseHeader(Line, Path)) {
                AddKeyWithParents(Keys, Path);
                Current = &Keys[Lower(Path)];
            }
            continue;
        }
        TValue V;
        if (Current && ParseValueLine(Line, V))
            Current->Values[Lower(V.Name)] = std::move(V);
    }
    return Keys;
}

std::string Format(const TKeys& Keys)
{
    std::string Out = "; Tavro registry\n";
    char Buf[16];
    for (const auto& [_, K] : Keys) {
        Out += "\n[" + K.Path + "]\n";
        for (const auto& [__, V] : K.Values) {
            Out += V.Name.empty() ? std::string("@") : Quote(V.Name);
            if (V.Type == REG_DWORD) {
                std::snprintf(Buf, sizeof Buf, "%08x", V.Dword);
                Out += std::string("=dword:") + Buf + "\n";
            } else {
                Out += "=sz:" + Quote(V.Str) + "\n";
            }
        }
    }
    return Out;
}

bool MakeDirs(const std::string& Dir)
{
    struct stat St;
    if (stat(Dir.c_str(), &St) == 0)
        return S_ISDIR(St.st_mode);
    size_t Slash = Dir.find_last_of('/');
    if (Slash != std::string::npos && Slash > 0 && !MakeDirs(Dir.substr(0, Slash)))
        return false;
    return mkdir(Dir.c_str(), 0700) == 0 || errno == EEXIST;
}

bool WriteFile(const std::string& FileName, const TKeys& Keys)
{
    if (FileName.empty())
        return false;
    size_t Slash = FileName.find_last_of('/');
    if (Slash == std::string::npos || !MakeDirs(FileName.substr(0, Slash)))
        return false;
    const std::string Bytes = Format(Keys);
    return WriteFileReplacing(FileName, Bytes.data(), Bytes.size()) == 0;
}

void EnsureLoaded(TStore& S)
{
    if (S.Loaded)
        return;
    std::string Dir = ConfigDir();
    S.FilePath = Dir.empty() ? std::string() : Dir + "/tavro/registry.ini";
    S.Keys = ReadFile(S.FilePath, S.LoadError);
    S.Loaded = true;
}

const TValue* FindValue(TStore& S, HKEY Root, const std::string& Key, const std::string& Name)
{
    std::string Path;
    if (!FullPath(Root, Key, Path))
        return nullptr;
    auto K = S.Keys.find(Lower(Path));
    if (K == S.Keys.end())
        return nullptr;
    auto V = K->second.Values.find(Lower(Name));
    return V == K->second.Values.end() ? nullptr : &V->second;
}

// Applies Change to a copy of the store and keeps it only when the file
// took it. Change returns false to refuse (nothing is written then).
template <class F>
bool Modify(F&& Change)
{
    TStore& S = Store();
    std::lock_guard<std::mutex> G(S.Lock);
    try {
        EnsureLoaded(S);
        TKeys Next = S.Keys;
        bool Changed = false;
        if (!Change(Next, Changed))
            return false;
        if (!Changed)
            return true;
        // A file that did not read is never written over with what little
        // this run would put into it.
        if (S.LoadError != 0 || !WriteFile(S.FilePath, Next))
            return false;
        S.Keys = std::move(Next);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool SetValue(HKEY Root, const std::string& Key, TValue V)
{
    std::string Path;
    if (!FullPath(Root, Key, Path))
        return false;
    return Modify([&](TKeys& Keys, bool& Changed) {
        if (Path.find('\\') == std::string::npos)
            AddKeyWithParents(Keys, Path); // a root always exists
        auto K = Keys.find(Lower(Path));
        if (K == Keys.end())
            return false;
        std::string LowerName = Lower(V.Name);
        auto Old = K->second.Values.find(LowerName);
        if (Old != K->second.Values.end()) {
            V.Name = Old->second.Name;
            Changed = Old->second.Type != V.Type || Old->second.Str != V.Str || Old->second.Dword != V.Dword;
        } else {
            Changed = true;
        }
        K->second.Values[LowerName] = std::move(V);
        return true;
    });
}

} // namespace

std::string RegistryFilePath()
{
    TStore& S = Store();
    std::lock_guard<std::mutex> G(S.Lock);
    EnsureLoaded(S);
    return S.FilePath;
}

int RegistryLoadError()
{
    TStore& S = Store();
    std::lock_guard<std::mutex> G(S.Lock);
    EnsureLoaded(S);
    return S.LoadError;
}

void RegistryReload()
{
    TStore& S = Store();
    std::lock_guard<std::mutex> G(S.Lock);
    S.Loaded = false;
    S.Keys.clear();
    try {
        EnsureLoaded(S);
    } catch (const std::bad_alloc&) {
        S.Keys.clear();
    }
}

bool RegKeyExists(HKEY Root, const std::string& Key)
{
    std::string Path;
    if (!FullPath(Root, Key, Path))
        return false;
    TStore& S = Store();
    std::lock_guard<std::mutex> G(S.Lock);
    EnsureLoaded(S);
    // The roots themselves always exist.
    return Path.find('\\') == std::string::npos || S.Keys.count(Lower(Path)) != 0;
}

bool RegCreateKey(HKEY Root, const std::string& Key)
{
    std::string Path;
    if (!FullPath(Root, Key, Path))
        return false;
    return Modify([&](TKeys& Keys, bool& Changed) {
        size_t Before = Keys.size();
        AddKeyWithParents(Keys, Path);
        Changed = Keys.size() != Before;
        return true;
    });
}

bool RegDeleteKeyTree(HKEY Root, const std::string& Key)
{
    std::string Path;
    if (!FullPath(Root, Key, Path) || Path.find('\\') == std::string::npos)
        return false;
    const std::string L = Lower(Path);
    return Modify([&](TKeys& Keys, bool& Changed) {
        auto It = Keys.find(L);
        if (It == Keys.end())
            return false;
        It = Keys.erase(It);
        // Keys below sort right after it: "path\..." with no other key between.
        while (It != Keys.end() && It->first.size() > L.size() && It->first.compare(0, L.size(), L) == 0) {
            if (It->first[L.size()] == '\\')
                It = Keys.erase(It);
            else
                ++It;
        }
        Changed = true;
        return true;
    });
}

bool RegQueryValueType(HKEY Root, const std::string& Key, const std::string& Name, uint32_t& Type)
{
    TStore& S = Store();
    std::lock_guard<std::mutex> G(S.Lock);
    EnsureLoaded(S);
    const TValue* V = FindValue(S, Root, Key, Name);
    if (!V)
        return false;
    Type = V->Type;
    return true;
}

bool RegQueryString(HKEY Root, const std::string& Key, const std::string& Name, std::string& Value)
{
    TStore& S = Store();
    std::lock_guard<std::mutex> G(S.Lock);
    EnsureLoaded(S);
    const TValue* V = FindValue(S, Root, Key, Name);
    if (!V || V->Type != REG_SZ)
        return false;
    Value = V->Str;
    return true;
}

bool RegQueryDword(HKEY Root, const std::string& Key, const std::string& Name, uint32_t& Value)
{
    TStore& S = Store();
    std::lock_guard<std::mutex> G(S.Lock);
    EnsureLoaded(S);
    const TValue* V = FindValue(S, Root, Key, Name);
    if (!V || V->Type != REG_DWORD)
        return false;
    Value = V->Dword;
    return true;
}

bool RegSetString(HKEY Root, const std::string& Key, const std::string& Name, const std::string& Value)
{
    TValue V;
    V.Name = Name;
    V.Type = REG_SZ;
    V.Str = Value;
    return SetValue(Root, Key, std::move(V));
}

bool RegSetDword(HKEY Root, const std::string& Key, const std::string& Name, uint32_t Value)
{
    TValue V;
    V.Name = Name;
    V.Type = REG_DWORD;
    V.Dword = Value;
    return SetValue(Root, Key, std::move(V));
}

bool RegDeleteValue(HKEY Root, const std::string& Key, const std::string& Name)
{
    std::string Path;
    if (!FullPath(Root, Key, Path))
        return false;
    return Modify([&](TKeys& Keys, bool& Changed) {
        auto K = Keys.find(Lower(Path));
        if (K == Keys.end() || K->second.Values.erase(Lower(Name)) == 0)
            return false;
        Changed = true;
        return true;
    });
}
