// Macro library files for the seeds of the library reader and for the macro
// list readers, which rebuild every macro from the libraries by name. The
// program never writes these files, so they are put together here from
// their layout; texts are UTF-8 and converted to CP932.
#pragma once

#include "fuzz/fuzz_support.h"
#include "paint/macro_library.h"
#include "platform/cp932.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TSeedTvm {
public:
    TSeedTvm& Macro(const std::string& Name)
    {
        EndBody();
        FBytes += '\0';
        Str(Name);
        FInBody = true;
        return *this;
    }
    // Value and caption pairs; the count word holds their number and Flags.
    TSeedTvm& Line(const std::string& Function, const std::string& Result,
                   const std::vector<std::pair<std::string, std::string>>& Params, uint16_t Flags = 0)
    {
        FBytes += '\0';
        Str(Function);
        const uint32_t Word = static_cast<uint32_t>(Params.size()) | (static_cast<uint32_t>(Flags) << 16);
        for (int S = 0; S < 32; S += 8)
            FBytes += static_cast<char>(Word >> S);
        Str(Result);
        for (const auto& [Value, Caption] : Params) {
            FBytes += '\0';
            Str(Value);
            Str(Caption);
        }
        FBytes += '\1';
        return *this;
    }
    std::string Bytes()
    {
        EndBody();
        return FBytes + '\1';
    }

private:
    void Str(const std::string& Utf8) { FBytes += Utf8ToCp932(Utf8) + '\0'; }
    void EndBody()
    {
        if (FInBody)
            FBytes += '\1';
        FInBody = false;
    }

    std::string FBytes = std::string("tvm\0\1\0", 6);
    bool FInBody = false;
};

// The paint macros the macro list seeds name.
inline std::string SeedPaintLibrary()
{
    TSeedTvm T;
    T.Macro("塗りつぶし")
        .Line("PlaneMakeForPath", "Plane1",
              {{"", "Path"}, {"2", "余白|margin"}, {"2", "余白|margin"}, {"2", ""}, {"2", "*"}, {"255", ""}})
        .Line("NilPlaneFillCol", "", {{"Plane1", ""}, {"", ""}, {"128", "濃さ|depth"}});
    T.Macro("影")
        .Line("PlaneMakeForPath", "Plane1",
              {{"", "Path"}, {"0", ""}, {"0", ""}, {"0", ""}, {"0", ""}, {"255", "濃さ"}}, 1)
        .Line("NilPlaneMove", "", {{"Plane1", ""}, {"", ""}, {"4", "ずれX"}, {"4", "ずれY"}});
    T.Macro("Empty");
    return T.Bytes();
}

inline std::string SeedPathLibrary()
{
    TSeedTvm T;
    T.Macro("ラフ").Line("PathRough", "Path",
                         {{"Path", ""}, {"10", "ピッチ"}, {"20", "ピッチ"}, {"1", "振り幅"}, {"3", "振り幅"},
                          {"0.5", "前の影響力"}, {"0", "*曲線"}});
    return T.Bytes();
}

// Both libraries read once from files of the seed libraries.
inline void InstallSeedLibraries()
{
    static const bool Installed = [] {
        TFuzzEnvironment& Env = TFuzzEnvironment::Get();
        const std::string Dir = Env.Base() + "/lib";
        std::filesystem::create_directories(Dir);
        const std::string Paint = SeedPaintLibrary(), Path = SeedPathLibrary();
        std::ofstream(Dir + "/Macro.tvm", std::ios::binary).write(Paint.data(), static_cast<std::streamsize>(Paint.size()));
        std::ofstream(Dir + "/MacPath.tvm", std::ios::binary).write(Path.data(), static_cast<std::streamsize>(Path.size()));
        LoadMacroLibraries(Dir);
        return true;
    }();
    (void)Installed;
}
