#include "paint/macro_list.h"

#include "foundation/user_error.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"
#include "paint/paint_spy_table.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class MacroList : public ::testing::Test {
protected:
    // Macros A, B, C: one parameter captioned "パターン"; X: four captioned.
    void SetUp() override
    {
        TTvmWriter W;
        for (const char* Name : {"A", "B", "C"})
            W.Macro(Name).Line("SetRandomSeed", 1, "", {{"0", "パターン"}}).End();
        W.Macro("X")
            .Line("PlaneMake", 5, "", {{"1", "X"}, {"2", "Y"}, {"3", "幅"}, {"4", "高さ"}, {"0", ""}})
            .End()
            .End();
        Dir.Put("Macro.tvm", W.B);
        Dir.Put("MacPath.tvm", TTvmWriter().End().B);
        LoadMacroLibraries(Dir.Dir);
    }
    void TearDown() override { FreeMacroLibraries(); }

    static std::unique_ptr<TMacro> Make(const std::string& Name, const std::string& Pattern = "0")
    {
        auto M = std::make_unique<TMacro>();
        EXPECT_TRUE(M->LoadFromLibrary(Name));
        M->SetParamValue(Name == "X" ? "幅" : "パターン", Pattern);
        return M;
    }
    static void Fill(TMacros& L, const std::string& Names)
    {
        for (char C : Names)
            L.Add(Make(std::string(1, C)));
    }
    static std::string Names(const TMacros& L)
    {
        std::string S;
        for (int32_t I = 0; I < L.Count(); ++I)
            S += L.GetMacro(I)->Name();
        return S;
    }

    TTempDir Dir;
};

} // namespace

TEST_F(MacroList, EditingAssignEqualsAndIntersect)
{
    TMacros L;
    Fill(L, "AB");
    TMacro* Owned = Make("C").release();
    L.Insert(-5, std::unique_ptr<TMacro>(Owned)); // clamped to 0, the object itself
    EXPECT_EQ(L.GetMacro(0), Owned);
    const auto Source = Make("X");
    L.Insert(L.Count() + 10, *Source); // clamped to Count, a copy
    EXPECT_EQ(Names(L), "CABX");
    EXPECT_NE(L.GetMacro(3), Source.get());
    EXPECT_TRUE(L.GetMacro(3)->Equals(*Source));
    L.Exchange(0, 3);
    EXPECT_EQ(MessageOf<EListError>([&] { L.Exchange(4, -1); }), "リストのインデックスが範囲を超えています (4)");
    EXPECT_EQ(MessageOf<EListError>([&] { L.Exchange(1, -1); }), "リストのインデックスが範囲を超えています (-1)");
    EXPECT_EQ(Names(L), "XABC");
    L.Move(0, 2);
    L.Delete(2);
    EXPECT_EQ(Names(L), "ABC");
    EXPECT_THROW(L.Delete(3), EListError);
    EXPECT_THROW(L.GetMacro(-1), EListError);
    TMacros B;
    B.Assign(&L);
    B.Assign(&B);
    EXPECT_EQ(Names(B), "ABC");
    EXPECT_NE(B.GetMacro(0), L.GetMacro(0));
    EXPECT_EQ(MessageOf<EConvertError>([&] { B.Assign(nullptr); }), "nil を TMacros に代入することはできません");
    TMacro M;
    EXPECT_EQ(MessageOf<EConvertError>([&] { B.Assign(&M); }), "TMacro を TMacros に代入することはできません");
    EXPECT_EQ(Names(B), "ABC");
    B.GetMacro(1)->SetParamValue("パターン|t", "0");
    B.SetParamValueByTag("t", "9");
    EXPECT_EQ(B.GetMacro(1)->Line(0).Params[0].Value, "9");
    EXPECT_EQ(B.GetMacro(0)->Line(0).Params[0].Value, "0");
    TMacros Empty, One, Other;
    Fill(One, "A");
    Fill(Other, "A");
    EXPECT_FALSE(Empty.Equals(One));
    EXPECT_FALSE(One.Equals(Empty));
    EXPECT_TRUE(One.Equals(Other));
    Other.GetMacro(0)->SetParamValue("パターン", "1");
    EXPECT_FALSE(One.Equals(Other));
    // Empty stays empty; a count or name mismatch clears.
    Empty.IntersectWith(One);
    EXPECT_EQ(Empty.Count(), 0);
    TMacros AB, AC;
    Fill(AB, "AB");
    Fill(AC, "AC");
    AB.IntersectWith(AC);
    EXPECT_EQ(AB.Count(), 0);
    Fill(AB, "AB");
    AB.IntersectWith(One);
    EXPECT_EQ(AB.Count(), 0);
    // One differing value becomes nil; the others and the names stay.
    TMacros X1, X2;
    X1.Add(Make("X", "10"));
    X2.Add(Make("X", "20"));
    X2.GetMacro(0)->SetEnabled(0);
    X1.IntersectWith(X2);
    ASSERT_EQ(X1.Count(), 1);
    const TMacroLine& Line = X1.GetMacro(0)->Line(0);
    EXPECT_EQ(Line.Params[2], (TMacroParam{std::nullopt, "幅"}));
    EXPECT_EQ(Line.Params[3].Value, "4");
    EXPECT_EQ(X1.GetMacro(0)->Enabled(), 255);
}

TEST_F(MacroList, BinaryForm)
{
    TMacros L;
    L.Add(Make("A", "5"));
    L.Add(Make("B"));
    L.GetMacro(1)->SetEnabled(0);
    TMemoryStream S;
    L.WriteToStream(S);
    const std::string Macro1 = LStr("A") + '\1' + I32(1) + LStr("パターン") + LStr("5");
    EXPECT_EQ(StreamBytes(S), I32(2) + Macro1 + LStr("B") + '\0' + I32(1) + LStr("パターン") + LStr("0"));
    TMacros R;
    R.Add(Make("C"));
    S.SetPosition(0);
    R.ReadFromStream(S, 25);
    EXPECT_TRUE(R.Equals(L));
    // An error on the second macro keeps the first.
    LoadStream(S, I32(3) + Macro1 + LStr("無し") + '\1' + I32(0));
    EXPECT_EQ(MessageOf<EUserError>([&] { R.ReadFromStream(S, 25); }), "\"無し\"は登録されていません");
    EXPECT_EQ(Names(R), "A");
    LoadStream(S, I32(-1));
    EXPECT_THROW(R.ReadFromStream(S, 25), EReadError);
    EXPECT_EQ(R.Count(), 0);
}

TEST_F(MacroList, TextForm)
{
    TMacros L;
    L.Add(Make("A", "5"));
    L.Add(Make("X", "7"));
    TMemoryStream S;
    L.WriteToStreamAsText(S);
    const std::string A = "A\r\n1\r\n1\r\nパターン\r\n5\r\n";
    EXPECT_EQ(StreamBytes(S), Utf8ToCp932("2\r\n" + A + "X\r\n1\r\n4\r\nX\r\n1\r\nY\r\n2\r\n幅\r\n7\r\n高さ\r\n4\r\n"));
    TMacros R;
    S.SetPosition(0);
    R.ReadFromStreamAsText(S, 25);
    EXPECT_TRUE(R.Equals(L));
    // An unknown macro in the middle would be saved by a name no document
    // opens with: refused as the binary form refuses it.
    LoadStream(S, Utf8ToCp932("3\r\n" + A + "Q\r\n1\r\n1\r\na\r\nb\r\nX\r\n1\r\n1\r\n幅\r\n7\r\n"));
    EXPECT_EQ(MessageOf<EUserError>([&] { R.ReadFromStreamAsText(S, 25); }), "\"Q\"は登録されていません");
}
