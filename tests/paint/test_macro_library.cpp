#include "paint/macro_library.h"

#include "foundation/user_error.h"
#include "paint/paint_macro.h"
#include "paint/paint_spy_table.h"
#include "platform/cp932.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

namespace {

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
        const std::string Msg = MessageOf<Exception>([&] { TMacro::ReadMacroFile(Before, Dir / "t.tvm"); });
        EXPECT_EQ(Before.get(), Held);
        EXPECT_EQ(Before->Count(), 1);
        return Msg;
    }
    static std::string OneLine(const TTvmPairs& Pairs, const std::string& Name = "m")
    {
        return TTvmWriter().Macro(Name).Line("f", 1, "", Pairs).End().End().B;
    }

    TTempDir Dir;
};

} // namespace

TEST_F(MacroLibrary, ReadsFilesRefusingDamagedOnesKeepingThePreviousLibrary)
{
    TTvmWriter F;
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
    ASSERT_EQ(M.LineCount(), 2);
    const TMacroLine& L0 = M.Line(0);
    EXPECT_EQ(std::tuple(L0.FunctionName, L0.ResultName, L0.CountWord, L0.ParamCount(), L0.Flags()),
              std::tuple("PlaneMakeForPath", "Plane1", 0x00020003u, 3, 2));
    // Fewer pairs than parameters leave the rest nil.
    EXPECT_EQ(L0.Params, (std::vector<TMacroParam>{{"", "*Primary"}, {"3", "広がり|w"}, {}}));
    EXPECT_EQ(M.Line(1).Params, (std::vector<TMacroParam>{{"0", "パターン"}}));
    EXPECT_EQ(L->Objects(1)->LineCount(), 0); // body ended at once
    // Any three bytes after the signature; a lone non-zero byte is an empty list.
    EXPECT_EQ(Read(std::string("tvm\xFF\x00\x7F\x01", 7))->Count(), 0);
    // Duplicates are kept in file order; look-up finds the first.
    TTvmWriter D;
    D.Macro("Dup").Line("SetRandomSeed", 1, "", {{"1", "p"}}).End();
    D.Macro("dup").Line("SetRandomSeed", 1, "", {{"2", "p"}}).End().End();
    gMacroLibrary = Read(D.B);
    ASSERT_EQ(gMacroLibrary->Count(), 2);
    TMacro Found;
    ASSERT_TRUE(Found.LoadFromLibrary("DUP"));
    EXPECT_EQ(Found.Line(0).Params[0].Value, "1");
    // 254 bytes fit, a double-byte character counted whole.
    L = Read(OneLine({{std::string(254, 'x'), std::string(252, 'y') + "ア"}}));
    EXPECT_EQ(L->Objects(0)->Line(0).Params[0].Value->size(), 254u);
    EXPECT_EQ(*L->Objects(0)->Line(0).Params[0].Caption, std::string(252, 'y') + "ア");
    // Damaged files are refused; the library held before stays.
    const std::string Bad = Dir / "t.tvm" + "の中身が異常です。";
    EXPECT_EQ(Failure(std::string("tvx\0\1\0\1", 7)), Bad);
    EXPECT_EQ(Failure(OneLine({{"1", "a"}, {"2", "b"}})), Bad); // more pairs than parameters
    // Strings over 254 bytes, also when a double-byte character crosses the limit.
    EXPECT_EQ(Failure(OneLine({{std::string(255, 'x'), ""}})), Bad);
    EXPECT_EQ(Failure(TTvmWriter().Macro(std::string(253, 'n') + "ア").End().End().B), Bad);
    // Ends early: the stream's read error.
    TTvmWriter Short;
    Short.Macro("m").Raw(std::string("\0f\0\1\0", 5));
    EXPECT_EQ(Failure(Short.B), "ストリームの読み込みエラー");
    EXPECT_EQ(Failure("tvm"), "ストリームの読み込みエラー");
    // A missing file, and both libraries read at start-up.
    L.reset();
    const std::string Missing = Dir / "none.tvm";
    EXPECT_EQ(MessageOf<EFOpenError>([&] { TMacro::ReadMacroFile(L, Missing); }),
              "TMacro.ReadMacroFile:" + Missing + " にアクセスできません。");
    EXPECT_EQ(L, nullptr);
    Dir.Put("Macro.tvm", TTvmWriter().Macro("効果").End().End().B);
    EXPECT_EQ(MessageOf<EFOpenError>([&] { LoadMacroLibraries(Dir.Dir); }),
              "TMacro.ReadMacroFile:" + Dir.Dir + "/MacPath.tvm にアクセスできません。");
    Dir.Put("MacPath.tvm", TTvmWriter().Macro("パス").End().End().B);
    LoadMacroLibraries(Dir.Dir);
    ASSERT_NE(gMacroLibrary, nullptr);
    ASSERT_NE(gMacPathLibrary, nullptr);
    EXPECT_EQ(gMacroLibrary->Strings(0), "効果");
    EXPECT_EQ(gMacPathLibrary->Strings(0), "パス");
    FreeMacroLibraries();
    EXPECT_EQ(gMacroLibrary, nullptr);
    EXPECT_EQ(gMacPathLibrary, nullptr);
}

// The catalogue as built (beside the test program): read whole, and refused
// with the damage named when a byte that continues its macro list is changed,
// which ended the list there and dropped the macros after it unnoticed, or
// when anything follows the list's end.
TEST_F(MacroLibrary, RefusesTheBuiltCatalogueWhenItsListEndsBeforeTheFile)
{
    const std::string Path = std::filesystem::read_symlink("/proc/self/exe").parent_path() / "Macro.tvm";
    std::ifstream In(Path, std::ios::binary);
    const std::string Good{std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
    const auto L = Read(Good);
    ASSERT_GT(L->Count(), 2);
    const std::string Bad = Dir / "t.tvm" + "の中身が異常です。";
    for (const int32_t I : {1, L->Count() - 1}) {
        // The 0x00 before the macro's name, after the previous body's end.
        const size_t At = Good.find(std::string(1, '\0') + Utf8ToCp932(L->Strings(I)) + '\0', 6);
        ASSERT_NE(At, std::string::npos) << I;
        std::string Damaged = Good;
        Damaged[At] = 1;
        EXPECT_EQ(Failure(Damaged), Bad) << L->Strings(I);
    }
    EXPECT_EQ(Failure(Good + '\1'), Bad);
}
