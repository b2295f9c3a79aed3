#include "platform/safe_write.h"

#include "platform/regular_file.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

bool WriteAll(int Fd, const void* Data, size_t Size)
{
    const char* P = static_cast<const char*>(Data);
    size_t Done = 0;
    while (Done < Size) {
        const ssize_t W = ::write(Fd, P + Done, Size - Done);
        if (W < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        Done += static_cast<size_t>(W);
    }
    return true;
}

}  // namespace

int WriteFileReplacing(const std::string& FileName, const void* Data, size_t Size)
{
    const TFilePart Whole{Data, Size};
    return WriteFileReplacing(FileName, &Whole, 1);
}

int WriteFileReplacing(const std::string& FileName, const TFilePart* Parts, size_t Count)
{
    // Only a regular file is written over, the one a link names included;
    // anything else is refused before a temporary file is made.
    std::string Target;
    if (const int Refused = ReplaceTarget(FileName, Target))
        return Refused;
    struct stat St {};
    const bool Exists = ::stat(Target.c_str(), &St) == 0;
    // Renaming over a file ignores its own permissions: honour them.
    if (Exists && ::access(Target.c_str(), W_OK) != 0)
        return errno;
    mode_t Mode;
    if (Exists) {
        Mode = St.st_mode & 07777;
    } else {
        const mode_t Mask = ::umask(0);
        ::umask(Mask);
        Mode = 0666 & ~Mask;
    }
    const auto WriteParts = [Parts, Count](int Fd) {
        for (size_t I = 0; I < Count; ++I)
            if (!WriteAll(Fd, Parts[I].Data, Parts[I].Size))
                return false;
        return true;
    };

    std::string Temp;
    int Fd = -1;
    if (!MakeTempBeside(Target, Fd, Temp)) {
        const int Err = errno;
        if (Err == ENOENT || Err == ENOTDIR)
            return Err;
        Fd = CreateRegularFile(Target, O_WRONLY);
        if (Fd < 0)
            return errno;
        bool Ok = WriteParts(Fd);
        int WErr = errno;
        if (::close(Fd) != 0 && Ok) {
            Ok = false;
            WErr = errno;
        }
        return Ok ? 0 : (WErr ? WErr : EIO);
    }
    bool Ok = WriteParts(Fd) && ::fchmod(Fd, Mode) == 0 && ::fsync(Fd) == 0;
    int Err = errno;
    if (::close(Fd) != 0 && Ok) {
        Ok = false;
        Err = errno;
    }
    if (Ok && ::rename(Temp.c_str(), Target.c_str()) != 0) {
        Ok = false;
        Err = errno;
    }
    if (!Ok) {
        ::unlink(Temp.c_str());
        return Err ? Err : EIO;
    }
    return 0;
}

bool IsTempNameOf(const std::string& FileName, const std::string& Entry)
{
    const size_t Slash = FileName.rfind('/');
    const std::string Base = Slash == std::string::npos ? FileName : FileName.substr(Slash + 1);
    if (Base.empty() || Entry.size() != Base.size() + 7 || Entry.compare(0, Base.size(), Base) != 0 ||
        Entry[Base.size()] != '.')
        return false;
    // A suffix of lower-case letters only is a word a person may have typed
    // ("doc.srn.backup"); such a file is never taken for a leftover of ours,
    // at the price of keeping the rare temporary name that happens to look so.
    bool Word = true;
    for (size_t I = Base.size() + 1; I < Entry.size(); ++I) {
        const char C = Entry[I];
        const bool Lower = C >= 'a' && C <= 'z';
        if (!(Lower || (C >= 'A' && C <= 'Z') || (C >= '0' && C <= '9')))
            return false;
        Word = Word && Lower;
    }
    return !Word;
}

bool MakeTempBeside(const std::string& FileName, int& Fd, std::string& TempName)
{
    const size_t Slash = FileName.rfind('/');
    // One name in 185 is a word; a hundred in a row is a name no temporary
    // file can match (one without a base name), taken as it comes.
    for (int Try = 0;; ++Try) {
        std::string Name = FileName + ".XXXXXX";
        Fd = ::mkstemp(Name.data());
        if (Fd < 0)
            return false;
        const std::string Made = Slash == std::string::npos ? Name : Name.substr(Slash + 1);
        if (Try == 100 || IsTempNameOf(FileName, Made)) {
            TempName = std::move(Name);
            return true;
        }
        ::close(Fd);
        ::unlink(Name.c_str());
    }
}

int RemoveStaleTempFiles(const std::string& FileName,
                         const std::function<bool(const std::string& Path)>& IsOurs)
{
    const size_t Slash = FileName.rfind('/');
    const std::string Dir = Slash == std::string::npos ? std::string(".") : FileName.substr(0, Slash + 1);
    DIR* D = ::opendir(Dir.c_str());
    if (!D)
        return 0;
    std::vector<std::string> Found;
    while (const dirent* E = ::readdir(D)) {
        const std::string Entry = E->d_name;
        if (!IsTempNameOf(FileName, Entry))
            continue;
        struct stat St {};
        if (::fstatat(::dirfd(D), Entry.c_str(), &St, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(St.st_mode) && St.st_nlink == 1 && St.st_uid == ::geteuid())
            Found.push_back(Slash == std::string::npos ? Entry : Dir + Entry);
    }
    ::closedir(D);
    int Removed = 0;
    for (const std::string& Path : Found)
        if (IsOurs(Path) && ::unlink(Path.c_str()) == 0)
            ++Removed;
    return Removed;
}
