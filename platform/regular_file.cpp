#include "platform/regular_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The error for what St describes, 0 for a regular file.
int KindError(const struct stat& St)
{
    if (S_ISREG(St.st_mode))
        return 0;
    return S_ISDIR(St.st_mode) ? EISDIR : ErrNotRegularFile;
}

// What FileName holds, looked at without opening it: 0 when it is a regular
// file or nothing (the open that follows tells why), else its error.
int NameError(const std::string& FileName)
{
    struct stat St {};
    if (::stat(FileName.c_str(), &St) != 0)
        return 0;
    return KindError(St);
}

// Fd, checked to be a regular file, made blocking again; -1 with errno
// (Fd closed) when it is not one.
int Checked(int Fd)
{
    struct stat St {};
    int Err = ::fstat(Fd, &St) == 0 ? KindError(St) : errno;
    if (Err == 0) {
        const int Flags = ::fcntl(Fd, F_GETFL);
        if (Flags < 0 || ::fcntl(Fd, F_SETFL, Flags & ~O_NONBLOCK) != 0)
            Err = errno;
    }
    if (Err == 0)
        return Fd;
    ::close(Fd);
    errno = Err;
    return -1;
}

// A pipe opened for writing without a reader gives ENXIO: it is one.
int OpenError(int Err)
{
    return Err == ENXIO ? ErrNotRegularFile : Err;
}

}  // namespace

int OpenRegularFile(const std::string& FileName, int Access)
{
    if (const int Err = NameError(FileName)) {
        errno = Err;
        return -1;
    }
    const int Fd = ::open(FileName.c_str(), (Access & O_ACCMODE) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (Fd < 0) {
        errno = OpenError(errno);
        return -1;
    }
    return Checked(Fd);
}

int CreateRegularFile(const std::string& FileName, int Access)
{
    if (const int Err = NameError(FileName)) {
        errno = Err;
        return -1;
    }
    // Not O_TRUNC: nothing may be emptied before it is known to be a file.
    const int Fd =
        ::open(FileName.c_str(), (Access & O_ACCMODE) | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (Fd < 0) {
        errno = OpenError(errno);
        return -1;
    }
    if (Checked(Fd) < 0)
        return -1;
    if (::ftruncate(Fd, 0) != 0) {
        const int Err = errno;
        ::close(Fd);
        errno = Err;
        return -1;
    }
    return Fd;
}

int ReadRegularFile(const std::string& FileName, std::string& Bytes)
{
    Bytes.clear();
    const int Fd = OpenRegularFile(FileName);
    if (Fd < 0)
        return errno;
    int Err = 0;
    char Chunk[65536];
    for (;;) {
        const ssize_t N = ::read(Fd, Chunk, sizeof Chunk);
        if (N < 0 && errno == EINTR)
            continue;
        if (N < 0) {
            Err = errno;
            Bytes.clear();
            break;
        }
        if (N == 0)
            break;
        Bytes.append(Chunk, static_cast<size_t>(N));
    }
    ::close(Fd);
    return Err;
}

int ReplaceTarget(const std::string& FileName, std::string& Target)
{
    Target = FileName;
    struct stat St {};
    if (::lstat(FileName.c_str(), &St) != 0)
        return 0;
    if (S_ISLNK(St.st_mode)) {
        // A link to nothing (or a loop) is replaced itself, as a new name.
        char* Real = ::realpath(FileName.c_str(), nullptr);
        if (!Real)
            return 0;
        Target = Real;
        std::free(Real);
        if (::stat(Target.c_str(), &St) != 0)
            return 0;
    }
    return KindError(St);
}

std::string FileErrorText(int Err)
{
    if (Err == ErrNotRegularFile)
        return "通常のファイルではありません";
    return std::strerror(Err);
}
