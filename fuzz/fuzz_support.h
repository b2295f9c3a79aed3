// What every reader harness shares. A harness file fuzz/fuzz_<reader>.cpp
// defines, in an anonymous namespace,
//   bool FuzzOne(const uint8_t* Data, size_t Size)  feeds one input to the
//       reader, frees what it made and tells whether the reader accepted it;
//   void WriteSeeds(TFuzzSeeds& Seeds)              valid inputs made by our
//       own writers;
// and ends with TAVRO_FUZZ_TARGET(<reader>). Built with TAVRO_FUZZING (the
// fuzz build) that is a libFuzzer target; otherwise it is a TFuzzReader that
// tests/regress/ replays its kept inputs through.
//
// A run is sound when the reader returns or raises an Exception, leaves no
// global memory block and no temporary file behind. Anything else is a
// finding: the fuzz target aborts so that libFuzzer keeps the input, the
// replay test fails.
#pragma once

#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "platform/global_memory.h"
#include "platform/message_box.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <unistd.h>

#ifdef TAVRO_FUZZING
#include "platform/fonts.h"

#include <sanitizer/lsan_interface.h>
#endif

// Seed inputs of one reader, by file name.
struct TFuzzSeeds {
    std::vector<std::pair<std::string, std::string>> Items;

    void Add(const std::string& Name, std::string Bytes) { Items.emplace_back(Name, std::move(Bytes)); }
    // The whole of a memory stream, behind an optional selector prefix.
    void Add(const std::string& Name, TMemoryStream& Stream, std::string_view Prefix = {})
    {
        std::string Bytes(Prefix);
        Bytes.append(static_cast<const char*>(Stream.Memory()), static_cast<size_t>(Stream.Size()));
        Add(Name, std::move(Bytes));
    }
};

using TFuzzOneProc = bool (*)(const uint8_t* Data, size_t Size);
using TFuzzSeedProc = void (*)(TFuzzSeeds& Seeds);

struct TFuzzReader {
    const char* Name; // the folder of its kept inputs: tests/data/regress/<Name>/
    TFuzzOneProc One;
    TFuzzSeedProc Seeds;
};

// The input as selector bytes followed by the reader's bytes.
class TFuzzInput {
public:
    TFuzzInput(const uint8_t* Data, size_t Size) : FData(Data), FSize(Size) {}
    // The next byte, 0 once the input is used up.
    uint8_t Byte()
    {
        if (FPos >= FSize)
            return 0;
        return FData[FPos++];
    }
    const uint8_t* Rest() const { return FData + FPos; }
    size_t RestSize() const { return FSize - FPos; }
    std::string RestString() const { return {reinterpret_cast<const char*>(Rest()), RestSize()}; }
    // A stream reading the rest in place: reading past the input's end is
    // then an overflow of the fuzzer's own buffer, which the sanitizer sees.
    void Attach(TMemoryStreamWex& Stream) const { Stream.SetPointer(RestSize() ? Rest() : nullptr, RestSize()); }

private:
    const uint8_t* FData;
    size_t FSize;
    size_t FPos = 0;
};

// The private folders of one process: Temp is its TMPDIR, which must be
// empty after every run; Inputs holds input files of file readers; the XDG
// folders keep settings and plug-in look-ups away from the user's.
class TFuzzEnvironment {
public:
    static TFuzzEnvironment& Get()
    {
        static TFuzzEnvironment E;
        return E;
    }
    const std::string& Base() const { return FBase; }
    const std::string& Temp() const { return FTemp; }
    const std::string& Inputs() const { return FInputs; }

    // Input bytes as the file Inputs/<Name>.
    std::string WriteInput(const std::string& Name, const void* Data, size_t Size) const
    {
        const std::string Path = FInputs + "/" + Name;
        std::ofstream Out(Path, std::ios::binary | std::ios::trunc);
        Out.write(static_cast<const char*>(Data), static_cast<std::streamsize>(Size));
        Out.close();
        if (!Out)
            throw std::runtime_error("cannot write " + Path);
        return Path;
    }
    // Names of what is left in Temp, each removed.
    std::vector<std::string> TakeTempLeftovers() const
    {
        std::vector<std::string> Left;
        std::error_code Ec;
        for (const auto& E : std::filesystem::directory_iterator(FTemp, Ec)) {
            Left.push_back(E.path().filename().string());
            std::filesystem::remove_all(E.path(), Ec);
        }
        return Left;
    }

    TFuzzEnvironment(const TFuzzEnvironment&) = delete;
    TFuzzEnvironment& operator=(const TFuzzEnvironment&) = delete;
    ~TFuzzEnvironment()
    {
        std::error_code Ec;
        std::filesystem::remove_all(FBase, Ec);
    }

private:
    TFuzzEnvironment()
    {
        const char* T = std::getenv("TMPDIR");
        std::string Templ = std::string(T && *T ? T : "/tmp") + "/tavro_fuzz_XXXXXX";
        if (!mkdtemp(Templ.data()))
            throw std::runtime_error("cannot make " + Templ);
        FBase = Templ;
        FTemp = FBase + "/tmp";
        FInputs = FBase + "/in";
        for (const char* Sub : {"/tmp", "/in", "/config", "/data"})
            std::filesystem::create_directories(FBase + Sub);
        setenv("TMPDIR", FTemp.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (FBase + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (FBase + "/data").c_str(), 1);
        // Warnings a reader shows take their default answer, silently.
        SetMessageBoxHandler([](void*, const std::string&, const std::string&, uint32_t Flags) {
            return DefaultMessageBoxAnswer(Flags);
        });
    }

    std::string FBase, FTemp, FInputs;
};

inline std::string FuzzReadFile(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// Test builds report through an exception that is none of the project's.
class EFuzzFinding : public std::logic_error {
public:
    using std::logic_error::logic_error;
};

[[noreturn]] inline void FuzzFault(const std::string& What)
{
#ifdef TAVRO_FUZZING
    std::fprintf(stderr, "==tavro-fuzz== %s\n", What.c_str());
    std::abort();
#else
    throw EFuzzFinding(What);
#endif
}

// One run: the fault found ("" when sound) and whether the reader accepted
// the input. Exceptions that are not the project's pass through to the
// caller: the fuzz target lets them end the process where they were thrown.
inline std::string FuzzRunChecked(const TFuzzReader& R, const uint8_t* Data, size_t Size, bool& Accepted)
{
    TFuzzEnvironment& Env = TFuzzEnvironment::Get();
    const size_t Blocks = GlobalBlockCount();
    Accepted = false;
    try {
        Accepted = R.One(Data, Size);
    } catch (const Exception&) {
        // The reader refused the input the way it should.
    }
    std::string Fault;
    const size_t After = GlobalBlockCount();
    if (After != Blocks)
        Fault += std::to_string(static_cast<int64_t>(After) - static_cast<int64_t>(Blocks)) +
                 " global memory block(s) leaked; ";
    for (const std::string& F : Env.TakeTempLeftovers())
        Fault += "temporary file left: " + F + "; ";
    return Fault;
}

#ifdef TAVRO_FUZZING

// TAVRO_FUZZ_SEEDS_DIR=<dir> makes the target write its seeds there and stop.
inline void FuzzInitialize(const TFuzzReader& R)
{
    TFuzzEnvironment::Get();
    // fontconfig leaks a little of what it allocates while loading its
    // configuration (a path buffer, when the XDG folders have long names),
    // which the leak check at the process's exit reported as a finding of
    // whichever target drew a text first. It is loaded here, in the
    // environment the runs see, with its allocations exempt from the check,
    // so that a leak found is one of ours.
    __lsan_disable();
    EnsureFontconfig();
    __lsan_enable();
    const char* Dir = std::getenv("TAVRO_FUZZ_SEEDS_DIR");
    if (!Dir || !*Dir)
        return;
    TFuzzSeeds Seeds;
    R.Seeds(Seeds);
    std::filesystem::create_directories(Dir);
    for (const auto& [Name, Bytes] : Seeds.Items) {
        std::ofstream Out(std::string(Dir) + "/seed-" + Name, std::ios::binary | std::ios::trunc);
        Out.write(Bytes.data(), static_cast<std::streamsize>(Bytes.size()));
    }
    std::printf("%s: %zu seeds written to %s\n", R.Name, Seeds.Items.size(), Dir);
    std::exit(0);
}

inline void FuzzRunOrAbort(const TFuzzReader& R, const uint8_t* Data, size_t Size)
{
    bool Accepted = false;
    const std::string Fault = FuzzRunChecked(R, Data, Size, Accepted);
    if (!Fault.empty()) {
        std::fprintf(stderr, "==tavro-fuzz== %s: %s\n", R.Name, Fault.c_str());
        std::abort();
    }
}

#define TAVRO_FUZZ_TARGET(ReaderName)                                                   \
    namespace {                                                                         \
    const TFuzzReader TavroFuzzReader{#ReaderName, &FuzzOne, &WriteSeeds};              \
    }                                                                                   \
    extern "C" int LLVMFuzzerInitialize(int*, char***)                                  \
    {                                                                                   \
        FuzzInitialize(TavroFuzzReader);                                                \
        return 0;                                                                       \
    }                                                                                   \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)             \
    {                                                                                   \
        FuzzRunOrAbort(TavroFuzzReader, Data, Size);                                    \
        return 0;                                                                       \
    }

#else

#define TAVRO_FUZZ_TARGET(ReaderName)                                      \
    namespace {                                                            \
    const TFuzzReader TavroFuzzReader{#ReaderName, &FuzzOne, &WriteSeeds}; \
    }

#endif
