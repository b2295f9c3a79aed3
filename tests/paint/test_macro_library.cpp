#include "paint/macro_library.h"

#include "foundation/user_error.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

// Library file bytes, written independently of the reader. Raw() takes bytes
// as they are; the others convert UTF-8 to CP932.
struct TTvm {
    std::string B = std::string("tvm\0\1\0", 6);
    TTvm& Raw(const std::string& Bytes)
    {
        B += Bytes;
        return *this;
    }
    TTvm& Byte(uint8_t V) { return Raw(std::string(1, static_cast<char>(V))); }
    TTvm& Str(const std::string& Utf8) { return Raw(Utf8ToCp932(Utf8) + '\0'); }
    TTvm& Macro(const std::string& Name) { return Byte(0).Str(Name); }
    TTvm& Line(const std::string& Func, uint32_t Word, const std::string& Result,
               const std::vector<std::pair<std::string, std::string>>& Pairs)
    {
        Byte(0).Str(Func);
        for (int S = 0; S < 32; S += 8)
            Byte(static_cast<uint8_t>(Word >> S));
        Str(Result);
        for (const auto& [Value, Caption] : Pairs)
            Byte(0).Str(Value).Str(Caption);
        return Byte(1);
    }
    TTvm& End() { return Byte(1); }
};

class MacroLibrary : public ::testing::Test {
protected:
    void TearDown() override { FreeMacroLibraries(); }

    std::unique_ptr<TMacroLibrary> Read(const std::string& Bytes)
    {
        Dir.Put("t.tvm", Bytes);
        std::unique_ptr<TMacroLibrary> L;
        TMacro::ReadMacroFile(L, Dir / "t.tvm");
        return L;
    }
    // The message of the error reading Bytes raises, after checking that the
    // library held before is still in place.
    std::string Failure(const std::string& Bytes)
    {
        Dir.Put("t.tvm", Bytes);
        auto Before = std::make_unique<TMacroLibrary>();
        Before->AddObject("前", std::make_unique<TMacro>());
        const TMacroLibrary* Held = Before.get();
        std::string Msg = "(nothing raised)";
        try {
            TMacro::ReadMacroFile(Before, Dir / "t.tvm");
        } catch (const Exception& E) {
            Msg = E.what();
        }
        EXPECT_EQ(Before.get(), Held);
        EXPECT_EQ(Before->Count(), 1);
        return Msg;
    }

    TTempDir Dir;
};

} // namespace

TEST_F(MacroLibrary, ReadsNamesLinesAndPairs)
{
    TTvm F;
    F.Macro("塗り(ボカシ)")
        .Line("PlaneMakeForPath", 0x00020003, "Plane1", {{"", "*Primary"}, {"3", "広がり|w"}})
        .Line("SetRandomSeed", 1, "", {{"0", "パターン"}})
        .End();
    F.Macro("二").End().End();
    auto L = Read(F.B);
    ASSERT_EQ(L->Count(), 2);
    EXPECT_EQ(L->Strings(0), "塗り(ボカシ)");
    const TMacro& M = *L->Objects(0);
    EXPECT_EQ(M.Name(), "塗り(ボカシ)");
    EXPECT_EQ(M.Enabled(), 1);
    ASSERT_EQ(M.LineCount(), 2);
    const TMacroLine& L0 = M.Line(0);
    EXPECT_EQ(L0.FunctionName, "PlaneMakeForPath");
    EXPECT_EQ(L0.ResultName, "Plane1");
    EXPECT_EQ(L0.CountWord, 0x00020003u);
    EXPECT_EQ(L0.ParamCount(), 3);
    EXPECT_EQ(L0.Flags(), 2);
    // Fewer pairs than parameters leave the rest nil.
    EXPECT_EQ(L0.Params, (std::vector<TMacroParam>{{"", "*Primary"}, {"3", "広がり|w"}, {}}));
    EXPECT_EQ(M.Line(1).Params, (std::vector<TMacroParam>{{"0", "パターン"}}));
    EXPECT_EQ(L->Objects(1)->LineCount(), 0); // body ended at once
}

TEST_F(MacroLibrary, EdgeCases)
{
    // Any three bytes after the signature; a lone non-zero byte is an empty list.
    auto L = Read(std::string("tvm\xFF\x00\x7F\x01", 7));
    EXPECT_EQ(L->Count(), 0);

    // Duplicates are kept in file order; look-up finds the first.
    TTvm F;
    F.Macro("Dup").Line("SetRandomSeed", 1, "", {{"1", "p"}}).End();
    F.Macro("dup").Line("SetRandomSeed", 1, "", {{"2", "p"}}).End();
    F.End();
    gMacroLibrary = Read(F.B);
    ASSERT_EQ(gMacroLibrary->Count(), 2);
    EXPECT_EQ(gMacroLibrary->IndexOf("DUP"), 0);
    TMacro M;
    ASSERT_TRUE(M.LoadFromLibrary("dup"));
    EXPECT_EQ(M.Line(0).Params[0].Value, "1");

    // 254 bytes fit, a double-byte character counted whole.
    TTvm Long;
    Long.Macro("m").Line("f", 1, "", {{std::string(254, 'x'), std::string(252, 'y') + "ア"}}).End().End();
    L = Read(Long.B);
    EXPECT_EQ(L->Objects(0)->Line(0).Params[0].Value->size(), 254u);
    EXPECT_EQ(*L->Objects(0)->Line(0).Params[0].Caption, std::string(252, 'y') + "ア");
}

TEST_F(MacroLibrary, DamagedFilesKeepThePreviousLibrary)
{
    const std::string Path = Dir / "t.tvm";
    EXPECT_EQ(Failure(std::string("tvx\0\1\0\1", 7)), Path + "の中身が異常です。");

    // More pairs than the parameter count.
    TTvm Pairs;
    Pairs.Macro("m").Line("f", 1, "", {{"1", "a"}, {"2", "b"}}).End().End();
    EXPECT_EQ(Failure(Pairs.B), Path + "の中身が異常です。");

    // Strings over 254 bytes, also when a double-byte character crosses the limit.
    TTvm Long;
    Long.Macro("m").Line("f", 1, "", {{std::string(255, 'x'), ""}}).End().End();
    EXPECT_EQ(Failure(Long.B), Path + "の中身が異常です。");
    TTvm Straddle;
    Straddle.Macro(std::string(253, 'n') + "ア").End().End();
    EXPECT_EQ(Failure(Straddle.B), Path + "の中身が異常です。");

    // Ends early: the stream's read error.
    TTvm Short;
    Short.Macro("m").Byte(0).Str("f").Raw(std::string("\1\0", 2));
    EXPECT_EQ(Failure(Short.B), "ストリームの読み込みエラー");
    EXPECT_EQ(Failure("tvm"), "ストリームの読み込みエラー");
}

TEST_F(MacroLibrary, MissingFileAndStartUp)
{
    std::unique_ptr<TMacroLibrary> L;
    const std::string Missing = Dir / "none.tvm";
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TMacro::ReadMacroFile(L, Missing); }),
              "TMacro.ReadMacroFile:" + Missing + " にアクセスできません。");
    EXPECT_EQ(L, nullptr);

    TTvm Main, Path;
    Main.Macro("効果").End().End();
    Path.Macro("パス").End().End();
    Dir.Put("Macro.tvm", Main.B);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { LoadMacroLibraries(Dir.Dir); }),
              "TMacro.ReadMacroFile:" + Dir.Dir + "/MacPath.tvm にアクセスできません。");
    Dir.Put("MacPath.tvm", Path.B);
    LoadMacroLibraries(Dir.Dir);
    ASSERT_NE(gMacroLibrary, nullptr);
    ASSERT_NE(gMacPathLibrary, nullptr);
    EXPECT_EQ(gMacroLibrary->Strings(0), "効果");
    EXPECT_EQ(gMacPathLibrary->Strings(0), "パス");
    FreeMacroLibraries();
    EXPECT_EQ(gMacroLibrary, nullptr);
    EXPECT_EQ(gMacPathLibrary, nullptr);
}
