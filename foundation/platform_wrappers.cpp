#include "foundation/platform_wrappers.h"

#include "foundation/string_list.h"
#include "foundation/user_error.h"
#include "platform/file_version.h"
#include "platform/fonts.h"
#include "platform/message_box.h"
#include "platform/shell_open.h"

#include <cstdlib>
#include <cstring>
#include <vector>

HGLOBAL GlobalAllocQ(uint32_t Flags, size_t Size)
{
    HGLOBAL H = GlobalAlloc(Flags, Size);
    if (!H)
        throw EUserError("メモリが足りません");
    return H;
}

void GlobalFreeQ(HGLOBAL& H)
{
    if (!H)
        return;
    HGLOBAL Old = H;
    H = nullptr;
    if (GlobalFree(Old) != nullptr) {
        const uint32_t Code = GetLastError();
        throw EUserError("GlobalFreeQ: GlobalFreeFailed(" + std::to_string(Code) + ")");
    }
}

void GlobalEnsureSize(HGLOBAL& H, size_t Size)
{
    if (H && GlobalSize(H) >= Size)
        return;
    // The contents are not kept: the caller fills the block anew.
    GlobalFreeQ(H);
    H = GlobalAllocQ(GMEM_FIXED, Size);
}

HGLOBAL SubCopyHandle(HGLOBAL H)
{
    const size_t Size = GlobalSize(H);
    if (Size == 0)
        throw EUserError("SubCopyHandle: GlobalSize Failed");
    HGLOBAL Result = GlobalAllocQ(GMEM_FIXED, Size);
    const void* Src = GlobalLock(H);
    if (!Src) {
        GlobalFree(Result);
        throw EUserError("SubCopyHandle: GlobalLock Failed");
    }
    std::memcpy(Result, Src, Size);
    GlobalUnlock(H);
    return Result;
}

int64_t GlobalSizeSafe(HGLOBAL H)
{
    const uint32_t Flags = GlobalFlags(H);
    if ((Flags & GMEM_INVALID_HANDLE) == GMEM_INVALID_HANDLE || (Flags & GMEM_DISCARDED) != 0)
        return -1;
    return static_cast<int64_t>(GlobalSize(H));
}

int32_t CalcLineBytes(int32_t Width, int32_t Bits)
{
    // 32-bit arithmetic that wraps, as the row sizes always were.
    const int32_t Sum = static_cast<int32_t>(static_cast<uint32_t>(Width) * static_cast<uint32_t>(Bits) + 31u);
    return static_cast<int32_t>(static_cast<uint32_t>(Sum / 32) * 4u);
}

void GetRegistryVal(HKEY Root, const std::string& Key, const std::string& ValueName, std::string& S)
{
    S.clear();
    if (Key.empty())
        return;
    try {
        if (!RegQueryString(Root, Key, ValueName, S))
            S.clear();
    } catch (...) {
        S.clear();
    }
}

void SetRegistryVal(HKEY Root, const std::string& Key, const std::string& ValueName, const std::string& Value)
{
    if (!RegCreateKey(Root, Key))
        throw ERegistryError("SetRegistryVal: RegCreateKeyEx failed");
    if (!RegSetString(Root, Key, ValueName, Value))
        throw ERegistryError("SetRegistryVal: RegSetValueEx failed");
}

bool GetRegDefaultValue(HKEY Root, const std::string& Key, std::string& S)
{
    S.clear();
    try {
        if (!RegKeyExists(Root, Key))
            return false;
        if (!RegQueryString(Root, Key, "", S))
            S.clear();
        return true;
    } catch (...) {
        S.clear();
        return false;
    }
}

bool ShellOpenURL(const std::string& Target, int32_t ShowCmd)
{
    if (ShellExecuteOpen(Target))
        return true;
    // Fallback: the browser registered for ".html".
    std::string Type, Command;
    if (!GetRegDefaultValue(HKEY_CLASSES_ROOT, ".html", Type) || Type.empty())
        return false;
    if (!GetRegDefaultValue(HKEY_CLASSES_ROOT, Type + "\\shell\\open\\command", Command))
        return false;
    std::vector<std::string> Argv = SplitCommandLine(Command);
    if (Argv.empty())
        return false;
    // The target replaces the first "%1" (quoted or not) as one argument, or
    // is appended as one; it is never parsed as part of a command line.
    bool Placed = false;
    for (size_t I = 1; I < Argv.size() && !Placed; ++I) {
        size_t Pos = Argv[I].find("%1");
        if (Pos != std::string::npos) {
            Argv[I].replace(Pos, 2, Target);
            Placed = true;
        }
    }
    if (!Placed)
        Argv.push_back(Target);
    return SpawnDetached(Argv);
}

int32_t ParseBuildNumber(const std::string& Version)
{
    size_t Pos = 0;
    for (int Dots = 0; Dots < 3; ++Dots) {
        Pos = Version.find('.', Pos);
        if (Pos == std::string::npos)
            return -1;
        ++Pos;
    }
    // The rest must be a whole decimal int32, as a strict integer conversion
    // would take it.
    size_t I = Pos;
    while (I < Version.size() && Version[I] == ' ')
        ++I;
    bool Negative = false;
    if (I < Version.size() && (Version[I] == '+' || Version[I] == '-'))
        Negative = Version[I++] == '-';
    if (I >= Version.size())
        return -1;
    int64_t N = 0;
    for (; I < Version.size(); ++I) {
        char C = Version[I];
        if (C < '0' || C > '9')
            return -1;
        N = N * 10 + (C - '0');
        if (N > int64_t(INT32_MAX) + 1)
            return -1;
    }
    if (Negative)
        N = -N;
    if (N > INT32_MAX || N < INT32_MIN)
        return -1;
    return static_cast<int32_t>(N);
}

int32_t GetFileBuildNumber(const std::string& FileName)
{
    try {
        std::string Version;
        if (!GetFileVersionString(FileName, Version))
            return -1;
        return ParseBuildNumber(Version);
    } catch (...) {
        return -1;
    }
}

int WarningMessageBox(void* Owner, const std::string& Text)
{
    return MessageBox(Owner, Text, "警告", MB_ICONEXCLAMATION);
}

int ErrorMessageBox(void* Owner, const std::string& Text)
{
    return MessageBox(Owner, Text, "エラー", MB_ICONHAND);
}

int WarningMessageBox(const std::string& Text)
{
    return WarningMessageBox(nullptr, Text);
}

int ErrorMessageBox(const std::string& Text)
{
    return ErrorMessageBox(nullptr, Text);
}

void GetFontNames(TStringList* Strings, bool Ansi, bool Other, bool ShiftJis, bool Vertical, bool WithLogFont)
{
    if (!Strings)
        return;
    Strings->Clear();
    const TInstalledFonts& Fonts = UpdateInstalledFonts();
    Strings->BeginUpdate();
    try {
        for (const TFontFace& Face : Fonts.Faces()) {
            const uint8_t CharSet = Face.LogFont.lfCharSet;
            const bool Wanted = CharSet == ANSI_CHARSET       ? Ansi
                                : CharSet == SHIFTJIS_CHARSET ? ShiftJis && (!Face.Vertical || Vertical)
                                                              : Other;
            if (!Wanted)
                continue;
            void* Copy = nullptr;
            if (WithLogFont) {
                Copy = std::malloc(sizeof(TLogFont));
                if (!Copy)
                    throw EUserError("メモリが足りません");
                std::memcpy(Copy, &Face.LogFont, sizeof(TLogFont));
            }
            try {
                Strings->AddObject(Face.Name, Copy);
            } catch (...) {
                std::free(Copy);
                throw;
            }
        }
    } catch (...) {
        Strings->EndUpdate();
        throw;
    }
    Strings->EndUpdate();
}
