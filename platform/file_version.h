// File version strings. Files here carry no version resource; the one file
// whose version is known is the running program's own executable.
#pragma once

#include <string>

// The version "a.b.c.d" of FileName; false for any file other than the
// running executable (compared as the same file after resolving links).
bool GetFileVersionString(const std::string& FileName, std::string& Version);
