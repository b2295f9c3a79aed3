#include "platform/temp_file.h"

#include <cstdlib>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool IsDir(const std::string& Path)
{
    struct stat St;
    return stat(Path.c_str(), &St) == 0 && S_ISDIR(St.st_mode);
}

} // namespace

std::string GetTempPath()
{
    std::string Dir;
    const char* T = std::getenv("TMPDIR");
    if (T && *T && IsDir(T))
        Dir = T;
    else if (IsDir("/tmp"))
        Dir = "/tmp";
    else
        return {};
    if (Dir.back() != '/')
        Dir += '/';
    return Dir;
}

bool GetTempFileName(const std::string& Dir, const std::string& Prefix, std::string& Name)
{
    Name.clear();
    // A prefix with a slash would put the file in another folder.
    if (Dir.empty() || Prefix.find('/') != std::string::npos)
        return false;
    std::string Template = Dir;
    if (Template.back() != '/')
        Template += '/';
    Template += Prefix;
    Template += "XXXXXX";
    std::vector<char> Buf(Template.begin(), Template.end());
    Buf.push_back('\0');
    int Fd = mkstemp(Buf.data());
    if (Fd < 0)
        return false;
    close(Fd);
    Name = Buf.data();
    return true;
}
