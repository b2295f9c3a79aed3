#include "platform/file_version.h"

#include <sys/stat.h>

#ifndef TAVRO_VERSION
#define TAVRO_VERSION "4.0.0.1"
#endif

bool GetFileVersionString(const std::string& FileName, std::string& Version)
{
    Version.clear();
    struct stat File, Self;
    if (FileName.empty() || stat(FileName.c_str(), &File) != 0 || stat("/proc/self/exe", &Self) != 0)
        return false;
    if (File.st_dev != Self.st_dev || File.st_ino != Self.st_ino)
        return false;
    Version = TAVRO_VERSION;
    return true;
}
