// Thin wrappers over the platform layer that turn its failures into
// exceptions or defaults: global memory, registry values, shell-open,
// message boxes, file versions and bitmap row sizes.
#pragma once

#include "platform/global_memory.h"
#include "platform/registry_store.h"

#include <cstdint>
#include <string>

// Global memory.
HGLOBAL GlobalAllocQ(uint32_t Flags, size_t Size);      // raises EUserError "メモリが足りません"
void GlobalFreeQ(HGLOBAL& H);                           // H := nullptr in every case
void GlobalEnsureSize(HGLOBAL& H, size_t Size);
HGLOBAL SubCopyHandle(HGLOBAL H);
int64_t GlobalSizeSafe(HGLOBAL H);                      // -1 for an invalid or discarded block

// Bytes per bitmap row: ((Width * Bits + 31) / 32) * 4.
int32_t CalcLineBytes(int32_t Width, int32_t Bits);

// Registry values. GetRegistryVal gives "" when Key is empty or the value
// cannot be read; SetRegistryVal creates the key when needed and raises
// ERegistryError when the store refuses. GetRegDefaultValue reads the key's
// unnamed value and is true when the key exists.
void GetRegistryVal(HKEY Root, const std::string& Key, const std::string& ValueName, std::string& S);
void SetRegistryVal(HKEY Root, const std::string& Key, const std::string& ValueName, const std::string& Value);
bool GetRegDefaultValue(HKEY Root, const std::string& Key, std::string& S);

// Opens Target with the desktop's handler, else with the command registered
// for ".html" (Target passed as one argument, never through a shell). True
// when either started. ShowCmd is accepted for the callers' sake; the
// desktop decides how windows show.
bool ShellOpenURL(const std::string& Target, int32_t ShowCmd = 1);

// The build number of a file's version "a.b.c.d" (the part after the third
// "."); -1 when the file has no version or it does not parse.
int32_t GetFileBuildNumber(const std::string& FileName);
int32_t ParseBuildNumber(const std::string& Version);

// Message boxes through the hub: caption "警告" with the exclamation icon,
// "エラー" with the stop icon. Return the button pressed.
int WarningMessageBox(void* Owner, const std::string& Text);
int ErrorMessageBox(void* Owner, const std::string& Text);
int WarningMessageBox(const std::string& Text);
int ErrorMessageBox(const std::string& Text);

// Fonts. Strings := the installed TrueType and OpenType face names (UTF-8)
// of the kinds asked: character set 0 when Ansi, 128 when ShiftJis (an "@"
// vertical-writing face only when Vertical too), any other when Other. With
// WithLogFont each entry's object is a new 60-byte TLogFont copy (std::malloc,
// released by FreeStringsPointers). Reads the fonts again when fontconfig
// reports a change. A null Strings is ignored.
class TStringList;
void GetFontNames(TStringList* Strings, bool Ansi, bool Other, bool ShiftJis, bool Vertical, bool WithLogFont);
