// The two macro libraries read at start-up from the program's folder:
// "Macro.tvm" (the paint effects) and "MacPath.tvm" (the path macros). Every
// macro of a document is rebuilt from them by name; the files are never
// written by the program.
//
// File layout (little-endian): "tvm", three bytes not checked, then
//   macro list: { 0x00, name, body } ..., a non-zero byte;
//   body:       { 0x00, line } ..., a non-zero byte;
//   line:       function name, int32 (low 16 bits parameter count, high 16
//               bits line flags), result name, { 0x00, value, caption } ...
//               (at most the parameter count), a non-zero byte.
// A string is CP932 text of at most 254 bytes ended by a 0 byte; the byte
// after a lead byte belongs to the character whatever its value. The file
// ends with the macro list's last byte; anything after it is damage.
#pragma once

#include "foundation/string_list.h"
#include "foundation/tobject.h"
#include "foundation/user_error.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TMacro;

// Macros by name, in file order; duplicates are kept and look-up finds the
// first. Owns its macros.
class TMacroLibrary : public TObject {
public:
    TMacroLibrary();
    ~TMacroLibrary() override;
    TMacroLibrary(const TMacroLibrary&) = delete;
    TMacroLibrary& operator=(const TMacroLibrary&) = delete;

    std::string ClassName() const override { return "TMacroLibrary"; }

    int32_t Count() const { return FNames.Count(); }
    const std::string& Strings(int32_t Index) const { return FNames.Strings(Index); }
    const TMacro* Objects(int32_t Index) const;
    // First index of Name, ignoring ASCII letter case; -1 when none.
    int32_t IndexOf(const std::string& Name) const { return FNames.IndexOf(Name); }
    int32_t AddObject(const std::string& Name, std::unique_ptr<TMacro> Macro);

private:
    TStringList FNames;
    std::vector<std::unique_ptr<TMacro>> FMacros;
};

// The libraries of "Macro.tvm" and "MacPath.tvm"; nil before start-up.
extern std::unique_ptr<TMacroLibrary> gMacroLibrary;
extern std::unique_ptr<TMacroLibrary> gMacPathLibrary;

// Start-up: two empty libraries, then both files read from Folder (the
// program's own folder when empty). A missing file raises EFOpenError
// "TMacro.ReadMacroFile:" + path + " にアクセスできません。"; a file that does
// not read whole (cut short, a byte changed), or a pipe, device or socket
// in a file's place, raises DamagedMacroLibraryError of it.
void LoadMacroLibraries(const std::string& Folder = std::string());
// Start-up, after LoadMacroLibraries: DamagedMacroLibraryError of the first
// file whose library holds what the program cannot run as written
// (MacroLibraryFault), which only a changed byte explains.
void CheckMacroLibraries();
// The path of "Macro.tvm" as start-up reads it (the program's folder's
// before): the file the drawing defaults' macros come from.
std::string MacroLibraryFileName();
// The error of a library file that is damaged where it lies: it names the
// file and asks for the program to be installed again.
EUserError DamagedMacroLibraryError(const std::string& FileName);
// Shutdown: frees both libraries and their macros.
void FreeMacroLibraries();
