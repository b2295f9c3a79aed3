// The one door to the files the program reads, and the one check before it
// writes one: only a regular file (a symbolic link to one is followed) is
// opened or written over. A named pipe would hold the program up until a
// writer came, a device would feed it without end or take what is written
// to it, and a socket or a folder is no file at all.
#pragma once

#include <fcntl.h>

#include <string>

// The error for a name that holds a named pipe, a device or a socket (a
// folder gives EISDIR). Not one of the system's errno values: FileErrorText
// gives its words.
constexpr int ErrNotRegularFile = 0x10000;

// Opens FileName with Access (O_RDONLY, O_WRONLY or O_RDWR) and never
// waits: what the name holds is looked at first and anything but a regular
// file refused unopened; the file is then opened with O_NONBLOCK, O_NOCTTY
// and O_CLOEXEC, its descriptor checked again (the name may have changed in
// between) and O_NONBLOCK cleared. The descriptor, or -1 with errno set:
// EISDIR, ErrNotRegularFile or the system's reason (ENOENT for no file).
int OpenRegularFile(const std::string& FileName, int Access = O_RDONLY);

// Opens FileName for writing as O_CREAT | O_TRUNC would (a new file gets
// 0666 less the umask) under the same rule: something there that is not a
// regular file is refused before anything is done, and emptied only once
// the descriptor shows a regular file. The descriptor, or -1 with errno.
int CreateRegularFile(const std::string& FileName, int Access = O_RDWR);

// The whole of a regular file into Bytes (empty on failure). 0 or the
// error as OpenRegularFile gives it, or the read's.
int ReadRegularFile(const std::string& FileName, std::string& Bytes);

// Where a write that replaces FileName's file by another one goes, and
// whether it may: a symbolic link is followed to the file it names, which
// is replaced and the link kept; a name with nothing there (a link to
// nothing included) takes the new file itself. When something is there
// that is not a regular file, 0 is not returned but EISDIR or
// ErrNotRegularFile, and it must be left as it is. Target receives the
// path to replace.
int ReplaceTarget(const std::string& FileName, std::string& Target);

// The words for an error these routines give: the system's, or
// "通常のファイルではありません" for ErrNotRegularFile.
std::string FileErrorText(int Err);
