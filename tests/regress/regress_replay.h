// Replays the inputs the fuzz targets once found faulty, kept under
// tests/data/regress/<reader>/, through the very harness of the reader's fuzz
// target: each must be read or refused with one of the project's exceptions,
// leaving no global memory block and no temporary file behind. The seeds of
// the target, made by our own writers, must all be accepted. Each kept input
// runs in a child process of its own, limited in time and memory.
//
// A reader's test file includes fuzz/fuzz_<reader>.cpp and then names the
// test with TAVRO_REGRESS_TEST(<UnitName>).
#pragma once

#include "fuzz/fuzz_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <typeinfo>
#include <vector>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

inline std::set<std::string>& RegressReaders()
{
    static std::set<std::string> Names;
    return Names;
}

inline bool RegisterRegressReader(const char* Name)
{
    RegressReaders().insert(Name);
    return true;
}

// The fault of one run ("" when sound); Accepted tells whether the reader
// took the input.
inline std::string RegressRun(const TFuzzReader& R, const std::string& Bytes, bool& Accepted)
{
    // A block of exactly the input's size, as the fuzzer gives it.
    std::unique_ptr<uint8_t[]> Data(new uint8_t[Bytes.size()]);
    std::copy(Bytes.begin(), Bytes.end(), Data.get());
    try {
        return FuzzRunChecked(R, Data.get(), Bytes.size(), Accepted);
    } catch (const std::exception& E) {
        return std::string("raised ") + typeid(E).name() + ": " + E.what();
    } catch (...) {
        return "raised an object that is no exception";
    }
}

inline std::vector<std::filesystem::path> RegressInputs(const std::string& Reader)
{
    std::vector<std::filesystem::path> Files;
    const std::filesystem::path Dir = std::filesystem::path(TAVRO_TEST_DATA_DIR) / "regress" / Reader;
    std::error_code Ec;
    for (const auto& E : std::filesystem::recursive_directory_iterator(Dir, Ec))
        if (E.is_regular_file())
            Files.push_back(E.path());
    std::sort(Files.begin(), Files.end());
    return Files;
}

// Runs one kept input in a child process, so that a crash, a hang or a
// runaway allocation fails the test instead of ending or swamping the test
// program: the child is killed after Seconds or once it holds more than
// MaxResidentMB. Kept inputs are small; a few seconds is a hang.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr int RegressSeconds = 30; // sanitised builds run several times slower
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr int RegressSeconds = 30;
#else
inline constexpr int RegressSeconds = 5;
#endif
#else
inline constexpr int RegressSeconds = 5;
#endif

inline std::string RegressRunIsolated(const TFuzzReader& R, const std::string& Bytes,
                                      int Seconds = RegressSeconds, long MaxResidentMB = 2048)
{
    TFuzzEnvironment::Get(); // made once, before the children share it
    int Pipe[2];
    if (pipe(Pipe) != 0)
        return "cannot make a pipe";
    std::fflush(nullptr);
    const pid_t Pid = fork();
    if (Pid < 0)
        return "cannot fork";
    if (Pid == 0) {
        close(Pipe[0]);
        bool Accepted = false;
        const std::string Fault = RegressRun(R, Bytes, Accepted);
        const ssize_t Written = write(Pipe[1], Fault.data(), Fault.size());
        _exit(Written == static_cast<ssize_t>(Fault.size()) ? 0 : 3);
    }
    close(Pipe[1]);
    fcntl(Pipe[0], F_SETFL, O_NONBLOCK);
    const long PageKB = sysconf(_SC_PAGESIZE) / 1024;
    const auto Start = std::chrono::steady_clock::now();
    std::string Out, Killed;
    int Status = 0;
    for (;;) {
        char Buffer[4096];
        ssize_t N;
        while ((N = read(Pipe[0], Buffer, sizeof Buffer)) > 0)
            Out.append(Buffer, static_cast<size_t>(N));
        if (waitpid(Pid, &Status, WNOHANG) == Pid)
            break;
        long Pages = 0, Resident = 0;
        std::ifstream Statm("/proc/" + std::to_string(Pid) + "/statm");
        Statm >> Pages >> Resident;
        if (Killed.empty() && Resident * PageKB / 1024 > MaxResidentMB)
            Killed = "used more than " + std::to_string(MaxResidentMB) + " MB";
        if (Killed.empty() && std::chrono::steady_clock::now() - Start > std::chrono::seconds(Seconds))
            Killed = "ran for more than " + std::to_string(Seconds) + " seconds";
        if (!Killed.empty())
            kill(Pid, SIGKILL);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    char Buffer[4096];
    ssize_t N;
    while ((N = read(Pipe[0], Buffer, sizeof Buffer)) > 0)
        Out.append(Buffer, static_cast<size_t>(N));
    close(Pipe[0]);
    if (!Killed.empty())
        return Killed;
    if (WIFSIGNALED(Status))
        return std::string("crashed: ") + strsignal(WTERMSIG(Status));
    if (!WIFEXITED(Status) || WEXITSTATUS(Status) != 0)
        return "exited with status " + std::to_string(WEXITSTATUS(Status));
    return Out;
}

inline void ReplayRegressInputs(const TFuzzReader& R)
{
    for (const auto& File : RegressInputs(R.Name))
        EXPECT_EQ(RegressRunIsolated(R, FuzzReadFile(File.string())), "") << File.string();
}

inline void CheckSeedsAccepted(const TFuzzReader& R)
{
    TFuzzSeeds Seeds;
    R.Seeds(Seeds);
    EXPECT_FALSE(Seeds.Items.empty());
    for (const auto& [Name, Bytes] : Seeds.Items) {
        bool Accepted = false;
        EXPECT_EQ(RegressRun(R, Bytes, Accepted), "") << Name;
        EXPECT_TRUE(Accepted) << Name;
    }
}

#define TAVRO_REGRESS_TEST(UnitName)                                                     \
    namespace {                                                                          \
    [[maybe_unused]] const bool TavroRegressRegistered = RegisterRegressReader(TavroFuzzReader.Name); \
    }                                                                                    \
    TEST(Regress##UnitName, KeptInputsAreReadOrRefusedSafely) { ReplayRegressInputs(TavroFuzzReader); } \
    TEST(Regress##UnitName, SeedsAreAccepted) { CheckSeedsAccepted(TavroFuzzReader); }
