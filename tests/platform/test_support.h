// Test helpers shared by the test programs.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string>

// A private folder under $TMPDIR, removed at the end of the scope.
struct TTempDir {
    std::string Dir;
    TTempDir()
    {
        const char* T = std::getenv("TMPDIR");
        Dir = std::string(T && *T ? T : "/tmp") + "/tavro_test_XXXXXX";
        if (!mkdtemp(Dir.data()))
            throw std::runtime_error("cannot make " + Dir);
    }
    ~TTempDir()
    {
        std::error_code Ec;
        std::filesystem::remove_all(Dir, Ec);
    }
    std::string operator/(const std::string& Name) const { return Dir + "/" + Name; }
    void Put(const std::string& Name, const std::string& Bytes) const
    {
        std::ofstream(*this / Name, std::ios::binary) << Bytes;
    }
    std::string Get(const std::string& Name) const
    {
        std::ifstream In(*this / Name, std::ios::binary);
        return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
    }
};

// An environment variable restored at the end of the scope.
struct TSavedEnv {
    const char* Name;
    std::optional<std::string> Value;
    explicit TSavedEnv(const char* N) : Name(N)
    {
        if (const char* V = std::getenv(N))
            Value = V;
    }
    ~TSavedEnv() { Value ? setenv(Name, Value->c_str(), 1) : unsetenv(Name); }
};

// what() of the E that Call raises, else "(nothing raised)".
template <class E, class F>
std::string MessageOf(F&& Call)
{
    try {
        Call();
    } catch (const E& Ex) {
        return Ex.what();
    }
    return "(nothing raised)";
}

#include <csignal>
#include <sys/resource.h>

// A full disk for this process: regular files cannot grow past Bytes until the
// end of the scope (writes beyond fail with EFBIG instead of raising SIGXFSZ).
struct TFileSizeLimit {
    rlimit Old{};
    void (*OldHandler)(int);
    explicit TFileSizeLimit(rlim_t Bytes)
    {
        OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &Old);
        rlimit New = Old;
        New.rlim_cur = Bytes;
        if (setrlimit(RLIMIT_FSIZE, &New) != 0)
            throw std::runtime_error("cannot limit file sizes");
    }
    ~TFileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
    }
};
