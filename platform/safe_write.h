// Replacing a whole file so that a failed write loses nothing.
#pragma once

#include "platform/regular_file.h"

#include <cstddef>
#include <functional>
#include <string>

// Writes Size bytes as the new contents of FileName through a temporary file
// beside it, flushed and renamed over the old one: a failed write (disk full,
// file size limit, killed process) leaves the old file whole and no temporary
// file behind. A symbolic link is kept (the file it points to is replaced), and
// the old file's permissions are kept. Only a regular file is replaced: a
// folder, pipe, device or socket in its place (or where the link points) is
// refused with EISDIR or ErrNotRegularFile (platform/regular_file.h) and left
// as it is, before anything is made. A file that exists but may not be
// written is refused. When the folder refuses new files but the file itself
// is writable, the file is rewritten in place. Returns 0 or the errno of the
// failure (FileErrorText gives its words).
int WriteFileReplacing(const std::string& FileName, const void* Data, size_t Size);

// The same with the new contents in parts, written one after another.
struct TFilePart {
    const void* Data;
    size_t Size;
};
int WriteFileReplacing(const std::string& FileName, const TFilePart* Parts, size_t Count);

// True when Entry (a name in a folder) is FileName's name followed by "." and
// the six letters or digits mkstemp puts in place of "XXXXXX", not all of
// them lower-case letters (a word a person may have typed, "doc.srn.backup").
bool IsTempNameOf(const std::string& FileName, const std::string& Entry);

// Makes a new empty file beside FileName (open read-write, mode 0600) whose
// name IsTempNameOf recognises: a name mkstemp gives as a word is given back
// and another one taken, so that every temporary file a killed save leaves
// is found again. Fd and TempName receive it; False (errno set) when none
// can be made.
bool MakeTempBeside(const std::string& FileName, int& Fd, std::string& TempName);

// Removes the temporary files a save of FileName killed half way left beside
// it: regular files of IsTempNameOf's pattern with a single link, owned by
// this user, that IsOurs (given each one's path) recognises by content.
// Anything else is left alone. Returns the number removed.
int RemoveStaleTempFiles(const std::string& FileName,
                         const std::function<bool(const std::string& Path)>& IsOurs);
