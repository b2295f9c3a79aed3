// For the benchmarks that start the program's units: the folder the program
// runs from, and a sandbox for the run (no screen needed; the settings and
// data go to a folder of this run, removed again when the sandbox goes).
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

inline std::string ProgramDir()
{
    return std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
}

class TBenchSandbox {
public:
    // The folder is <temp>/<Name>_<process id>.
    explicit TBenchSandbox(const std::string& Name)
        : FFolder(std::filesystem::temp_directory_path() / (Name + "_" + std::to_string(getpid())))
    {
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
        std::filesystem::create_directories(FFolder / "config");
        std::filesystem::create_directories(FFolder / "data");
        setenv("XDG_CONFIG_HOME", (FFolder / "config").c_str(), 1);
        setenv("XDG_DATA_HOME", (FFolder / "data").c_str(), 1);
    }
    ~TBenchSandbox()
    {
        std::error_code Ignored;
        std::filesystem::remove_all(FFolder, Ignored);
    }
    TBenchSandbox(const TBenchSandbox&) = delete;
    TBenchSandbox& operator=(const TBenchSandbox&) = delete;

private:
    std::filesystem::path FFolder;
};
