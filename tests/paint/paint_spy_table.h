// Test helpers for the paint tests: library file bytes and stream bytes
// written by hand, and a function table of spies that record how they were
// called and return the codes a test chooses.
#pragma once

#include "foundation/rec_path.h"
#include "foundation/streams.h"
#include "paint/paint_function_table.h"
#include "paint/picture_cache.h"
#include "platform/cp932.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using TTvmPairs = std::vector<std::pair<std::string, std::string>>; // value, caption

// Library file bytes ("tvm" header, macros, lines).
struct TTvmWriter {
    std::string B = std::string("tvm\0\1\0", 6);
    void Byte(uint8_t V) { B += static_cast<char>(V); }
    void Str(const std::string& Utf8) { B += Utf8ToCp932(Utf8) + '\0'; }
    TTvmWriter& Raw(const std::string& Bytes)
    {
        B += Bytes;
        return *this;
    }
    TTvmWriter& Macro(const std::string& Name)
    {
        Byte(0);
        Str(Name);
        return *this;
    }
    // Word: parameter count in the low 16 bits, line flags in the high ones.
    TTvmWriter& Line(const std::string& Func, uint32_t Word, const std::string& Result, const TTvmPairs& Pairs)
    {
        Byte(0);
        Str(Func);
        for (int S = 0; S < 32; S += 8)
            Byte(static_cast<uint8_t>(Word >> S));
        Str(Result);
        for (const auto& [Value, Caption] : Pairs) {
            Byte(0);
            Str(Value);
            Str(Caption);
        }
        Byte(1);
        return *this;
    }
    TTvmWriter& End()
    {
        Byte(1);
        return *this;
    }
};

// Stream bytes: little-endian int32 and a length-prefixed CP932 string.
inline std::string I32(int32_t V)
{
    const uint32_t U = static_cast<uint32_t>(V);
    return {static_cast<char>(U), static_cast<char>(U >> 8), static_cast<char>(U >> 16), static_cast<char>(U >> 24)};
}
inline std::string LStr(const std::string& Utf8)
{
    const std::string S = Utf8ToCp932(Utf8);
    return I32(static_cast<int32_t>(S.size())) + S;
}
inline std::string StreamBytes(TMemoryStream& S)
{
    return {static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size())};
}
// S := B, at position 0.
inline void LoadStream(TMemoryStream& S, const std::string& B)
{
    S.Clear();
    S.WriteBuffer(B.data(), static_cast<int32_t>(B.size()));
    S.SetPosition(0);
}

struct TSpyCall {
    std::string Function;
    std::vector<void*> Args; // the parameters and the picture store after them
    std::vector<std::optional<std::string>> Texts; // copies of the value texts
    const uint8_t* Abort = nullptr;
    bool MeasureOnly = false;
    void* Made = nullptr;        // what a maker returned
    uint8_t* MadeBits = nullptr; // its pixels then
};

struct TSpyState {
    std::vector<TSpyCall> Calls;
    std::map<std::string, int32_t> Codes; // returned by the function of that name
    std::function<void(const TSpyCall&)> OnCall;

    void Reset() { *this = TSpyState{}; }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> N;
        for (const TSpyCall& C : Calls)
            N.push_back(C.Function);
        return N;
    }
    const char* Text(size_t Call, size_t Arg) const
    {
        const std::optional<std::string>& T = Calls.at(Call).Texts.at(Arg);
        return T ? T->c_str() : nullptr;
    }
};

inline TSpyState gSpy;

inline int32_t SpyInt(void* Arg)
{
    return Arg ? std::atoi(static_cast<const char*>(Arg)) : 0;
}

// Kinds: one letter per parameter, "o" for an object, "t" for a text.
inline int32_t SpyRecord(const char* Name, const char* Kinds, void* Made, void* const* Args,
                         const uint8_t* Abort, bool MeasureOnly)
{
    const int32_t ParamCount = static_cast<int32_t>(std::string_view(Kinds).size());
    TSpyCall C{Name, std::vector<void*>(Args, Args + ParamCount + 1), {}, Abort, MeasureOnly, Made, nullptr};
    for (int32_t I = 0; I < ParamCount; ++I)
        C.Texts.push_back(Kinds[I] == 't' && Args[I] ? std::optional<std::string>(static_cast<const char*>(Args[I]))
                                                     : std::nullopt);
    gSpy.Calls.push_back(C);
    if (gSpy.OnCall)
        gSpy.OnCall(gSpy.Calls.back());
    const auto Code = gSpy.Codes.find(Name);
    return Code == gSpy.Codes.end() ? 0 : Code->second;
}

// Makers: a 4 x 3 plane or picture at (W, 0) and a path copied from the
// source and moved by D.
template <int32_t Bits>
int32_t SpyMakeRecord(void*& Result, void* const* Args, const uint8_t* Abort, TRect&, TRect& Rect2, bool M)
{
    auto* P = new TrecPicture;
    AllocPlaneRecord(*P, TPoint{SpyInt(Args[0]), 0}, 4, 3, Bits, M);
    Result = P;
    RecPictureGetRect(*P, Rect2);
    const int32_t Code = SpyRecord(Bits == 8 ? "MakePlane" : "MakePicture", "t", P, Args, Abort, M);
    gSpy.Calls.back().MadeBits = P->pBits;
    return Code;
}

inline int32_t SpyMakePath(void*& Result, void* const* Args, const uint8_t* Abort, TRect&, TRect&, bool M)
{
    auto* P = new TrecPath;
    if (Args[0])
        RecPathAssign(*P, *static_cast<const TrecPath*>(Args[0]));
    const int32_t D = SpyInt(Args[1]);
    RecPathOffset(*P, D, D);
    Result = P;
    return SpyRecord("MakePath", "ot", P, Args, Abort, M);
}

// Reports (n, n, n + 1, n + 1) and (2n, 2n, 2n + 1, 2n + 1) for its number n.
inline int32_t SpyUse(void*&, void* const* Args, const uint8_t* Abort, TRect& R1, TRect& R2, bool M)
{
    const int32_t N = SpyInt(Args[3]);
    R1 = TRect{N, N, N + 1, N + 1};
    R2 = TRect{2 * N, 2 * N, 2 * N + 1, 2 * N + 1};
    return SpyRecord("Use", "ooott", nullptr, Args, Abort, M);
}

// Requires both its arguments.
inline int32_t SpyNeed(void*&, void* const* Args, const uint8_t* Abort, TRect&, TRect&, bool M)
{
    SpyRecord("Need", "ot", nullptr, Args, Abort, M);
    return CheckRequiredArgs(ArgNumbers({1, 2}), std::span<void* const>(Args, 3));
}

// Refuses a number it cannot read.
inline int32_t SpyRefuse(void*&, void* const* Args, const uint8_t* Abort, TRect&, TRect&, bool M)
{
    SpyRecord("Refuse", "t", nullptr, Args, Abort, M);
    return ReadIntArg(static_cast<const char*>(Args[0]), 0).Parsed ? 0 : PaintArgRefused(1);
}

inline int32_t gSpyNotAnObject = 0;

// Spies that return Code (or the one the test chose) and a result that is
// either nil or no object at all.
template <const char* Name, const char* Kinds, int32_t Code, bool NotAnObject>
int32_t SpyPlain(void*& Result, void* const* Args, const uint8_t* Abort, TRect&, TRect&, bool M)
{
    if (NotAnObject)
        Result = &gSpyNotAnObject;
    const int32_t Chosen = SpyRecord(Name, Kinds, nullptr, Args, Abort, M);
    return gSpy.Codes.count(Name) ? Chosen : Code;
}
inline constexpr char cSpyNoneButObject[] = "NoneButObject", cSpyMakerNil[] = "MakerNil", cSpyPathNil[] = "PathNil",
                      cSpyPathRough[] = "PathRough", cSpyNoKinds[] = "", cSpyOneObject[] = "o";

inline const TIntParamRange cSpyIntRange{-1000, 1000, 0, 0, 0};
inline const TPaintParamDesc cSpyMakeParams[] = {{"W", pkInteger, {.Int = &cSpyIntRange}}};
inline const TPaintParamDesc cSpyPathParams[] = {{"Src", pkPath, {}}, {"D", pkInteger, {.Int = &cSpyIntRange}}};
inline const TPaintParamDesc cSpyUseParams[] = {{"Path", pkPath, {}},
                                                {"Plane", pkPlane, {}},
                                                {"Picture", pkPicture, {}},
                                                {"N", pkInteger, {.Int = &cSpyIntRange}},
                                                {"Fill", pkFill, {}}};
inline const TPaintParamDesc cSpyNeedParams[] = {{"Plane", pkPlane, {}}, {"N", pkInteger, {.Int = &cSpyIntRange}}};
inline const TPaintParamDesc cSpyRoughParams[] = {{"Src", pkPath, {}}};

inline const TPaintFunctionRec cSpyTable[] = {
    {"MakePlane", rkPlane, 1, cSpyMakeParams, SpyMakeRecord<8>, {}},
    {"MakePicture", rkPicture, 1, cSpyMakeParams, SpyMakeRecord<24>, {}},
    {"MakePath", rkPath, 2, cSpyPathParams, SpyMakePath, {}},
    {"Use", rkNone, 5, cSpyUseParams, SpyUse, {}},
    {"Need", rkNone, 2, cSpyNeedParams, SpyNeed, {}},
    {"Refuse", rkNone, 1, cSpyMakeParams, SpyRefuse, {}},
    {"NoneButObject", rkNone, 0, nullptr, SpyPlain<cSpyNoneButObject, cSpyNoKinds, 0, true>, {}},
    {"MakerNil", rkPlane, 0, nullptr, SpyPlain<cSpyMakerNil, cSpyNoKinds, 0, false>, {}},
    {"PathNil", rkPath, 0, nullptr, SpyPlain<cSpyPathNil, cSpyNoKinds, 0, false>, {}},
    {"PathRough", rkPath, 1, cSpyRoughParams, SpyPlain<cSpyPathRough, cSpyOneObject, 9, false>, {}},
    {"NoEntry", rkNone, 0, nullptr, nullptr, {}},
    {nullptr, rkNone, 0, nullptr, nullptr, {}},
};
