// Temporary files in the user's temporary folder.
#pragma once

#include <string>

// The temporary folder: $TMPDIR, else /tmp, always ending in '/'; empty when
// no such folder exists.
std::string GetTempPath();

// Creates a new empty file with a unique name in Dir (which ends in '/'),
// whose name starts with Prefix (mkstemp). Name receives the full path.
// False, with Name empty, when the file cannot be made.
bool GetTempFileName(const std::string& Dir, const std::string& Prefix, std::string& Name);
