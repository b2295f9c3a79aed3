// Run-time module loading: shared objects opened by path (dlopen), their
// entry points looked up by name, and the folders where system-wide modules
// (image plug-ins, the scanner source manager) are looked for.
//
// Blocks handed over by a loaded module (pictures, texts, capability
// containers) are allocated by the module with malloc, as every module of the
// process shares one C heap; the program measures them with
// ForeignBlockSize and releases them with ForeignBlockFree.
#pragma once

#include <cstddef>
#include <string>

using HMODULE = void*;

// Opens the shared object at FileName (symbols bound at once, kept local).
// nullptr on failure; GetModuleLoadError tells why.
HMODULE LoadLibrary(const std::string& FileName);
// Address of an exported symbol; nullptr when the module lacks it.
void* GetProcAddress(HMODULE Module, const char* Name);
// False for a null module or when the loader refuses.
bool FreeLibrary(HMODULE Module);
// The loader's text for the latest failure of this thread ("" when none).
std::string GetModuleLoadError();

// Bytes usable in a block a module allocated (at least what it asked for);
// 0 for nullptr.
size_t ForeignBlockSize(const void* Block);
void ForeignBlockFree(void* Block);

// Folders, without a trailing "/":
//   program folder: the folder of the executable;
//   system folder:  "/usr/lib";
//   Windows folder: "/usr/local/lib".
std::string GetProgramDirectory();
std::string GetSystemDirectory();
std::string GetWindowsDirectory();
// Replaces the three folders (an empty text restores that default). For tests.
void SetModuleDirectories(const std::string& Program, const std::string& System,
                          const std::string& Windows);
