// What the program knows of the macros delivered with it, held against what
// the two library files hold when start-up reads them. The files carry no
// checksum: a byte changed where they lie shows as a macro the program
// cannot run as written - a function it lacks, arguments that do not fit the
// function, a result no earlier line made, a name no look-up finds - and
// such a library is damaged even though it reads whole.
#pragma once

#include <string>

class TMacro;
class TMacroLibrary;

// The first fault of Library as a short text for a developer (the user is
// told only that the file is damaged); empty when there is none. Paths: the
// library of path macros (paths only, no quality variants). Before: the
// library looked up before this one, or nil: a name it holds could never be
// found in this one.
std::string MacroLibraryFault(const TMacroLibrary& Library, bool Paths, const TMacroLibrary* Before);

// The first reason Macro's own lines could not run (older documents carry
// them): a function the table lacks, a parameter count unlike the
// function's, an object argument naming a result no earlier line made, a
// result without a name. Empty when every line can run; values are not
// judged here.
std::string MacroLinesFault(const TMacro& Macro);
