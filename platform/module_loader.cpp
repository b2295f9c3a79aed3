#include "platform/module_loader.h"

#include "platform/regular_file.h"

#include <cerrno>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <malloc.h>
#include <sys/stat.h>

namespace {

thread_local std::string LastLoadError;

std::string ProgramOverride;
std::string SystemOverride;
std::string WindowsOverride;

void NoteLoadError()
{
    const char* E = ::dlerror();
    LastLoadError = E ? E : "";
}

} // namespace

HMODULE LoadLibrary(const std::string& FileName)
{
    LastLoadError.clear();
    if (FileName.empty()) {
        LastLoadError = "empty module name";
        return nullptr;
    }
    // A path naming a pipe or a device would hold the loader up in its open
    // (a plug-in folder is anybody's to fill): only a regular file is loaded.
    struct stat St {};
    if (FileName.find('/') != std::string::npos && ::stat(FileName.c_str(), &St) == 0 && !S_ISREG(St.st_mode)) {
        LastLoadError = FileName + ": " + FileErrorText(S_ISDIR(St.st_mode) ? EISDIR : ErrNotRegularFile);
        return nullptr;
    }
    void* H = ::dlopen(FileName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!H)
        NoteLoadError();
    return H;
}

void* GetProcAddress(HMODULE Module, const char* Name)
{
    if (!Module || !Name)
        return nullptr;
    ::dlerror();
    void* P = ::dlsym(Module, Name);
    if (!P)
        NoteLoadError();
    return P;
}

bool FreeLibrary(HMODULE Module)
{
    if (!Module)
        return false;
    if (::dlclose(Module) != 0) {
        NoteLoadError();
        return false;
    }
    return true;
}

std::string GetModuleLoadError()
{
    return LastLoadError;
}

size_t ForeignBlockSize(const void* Block)
{
    return Block ? ::malloc_usable_size(const_cast<void*>(Block)) : 0;
}

void ForeignBlockFree(void* Block)
{
    std::free(Block);
}

std::string GetProgramDirectory()
{
    if (!ProgramOverride.empty())
        return ProgramOverride;
    std::error_code Ec;
    std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Ec);
    if (Ec || Exe.empty())
        return std::filesystem::current_path(Ec).string();
    return Exe.parent_path().string();
}

std::string GetSystemDirectory()
{
    return SystemOverride.empty() ? std::string("/usr/lib") : SystemOverride;
}

std::string GetWindowsDirectory()
{
    return WindowsOverride.empty() ? std::string("/usr/local/lib") : WindowsOverride;
}

void SetModuleDirectories(const std::string& Program, const std::string& System,
                          const std::string& Windows)
{
    ProgramOverride = Program;
    SystemOverride = System;
    WindowsOverride = Windows;
}
