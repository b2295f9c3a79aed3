// Replacing a whole file so that a failed write loses nothing.
#pragma once

#include <cstddef>
#include <string>

// Writes Size bytes as the new contents of FileName through a temporary file
// beside it, flushed and renamed over the old one: a failed write (disk full,
// file size limit, killed process) leaves the old file whole and no temporary
// file behind. A symbolic link is kept (the file it points to is replaced), and
// the old file's permissions are kept. A file that exists but may not be
// written is refused. When the folder refuses new files but the file itself
// is writable, the file is rewritten in place. Returns 0 or the errno of the
// failure.
int WriteFileReplacing(const std::string& FileName, const void* Data, size_t Size);
