#include "paint/macro_list.h"

#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

// Library file bytes: each macro one SetRandomSeed line whose parameter is
// captioned "パターン", and "X" with two captioned parameters.
std::string MakeLibrary()
{
    std::string B("tvm\0\1\0", 6);
    auto Str = [&](const std::string& S) { B += Utf8ToCp932(S) + '\0'; };
    auto Line = [&](const std::string& Func, char Count, const std::vector<std::string>& Pairs) {
        B += '\0';
        Str(Func);
        B += std::string{Count, 0, 0, 0};
        Str("");
        for (size_t I = 0; I < Pairs.size(); I += 2) {
            B += '\0';
            Str(Pairs[I]);
            Str(Pairs[I + 1]);
        }
        B += '\1';
    };
    for (const char* Name : {"A", "B", "C"}) {
        B += '\0';
        Str(Name);
        Line("SetRandomSeed", 1, {"0", "パターン"});
        B += '\1';
    }
    B += '\0';
    Str("X");
    Line("PlaneMake", 5, {"1", "X", "2", "Y", "3", "幅", "4", "高さ", "0", ""});
    B += '\1';
    B += '\1';
    return B;
}

std::string I32(int32_t V)
{
    const uint32_t U = static_cast<uint32_t>(V);
    return {static_cast<char>(U), static_cast<char>(U >> 8), static_cast<char>(U >> 16),
            static_cast<char>(U >> 24)};
}

std::string LStr(const std::string& Utf8)
{
    const std::string S = Utf8ToCp932(Utf8);
    return I32(static_cast<int32_t>(S.size())) + S;
}

std::string Bytes(TMemoryStream& S)
{
    return {static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size())};
}

class MacroList : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir.Put("Macro.tvm", MakeLibrary());
        Dir.Put("MacPath.tvm", std::string("tvm\0\1\0\1", 7));
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

TEST_F(MacroList, InsertDeleteExchangeMove)
{
    TMacros L;
    Fill(L, "AB");
    TMacro* Owned = Make("C").release();
    L.Insert(-5, std::unique_ptr<TMacro>(Owned)); // clamped to 0, the object itself
    EXPECT_EQ(Names(L), "CAB");
    EXPECT_EQ(L.GetMacro(0), Owned);
    const auto Source = Make("X");
    L.Insert(L.Count() + 10, *Source); // clamped to Count, a copy
    EXPECT_EQ(Names(L), "CABX");
    EXPECT_NE(L.GetMacro(3), Source.get());
    EXPECT_TRUE(L.GetMacro(3)->Equals(*Source));

    L.Exchange(0, 3);
    EXPECT_EQ(Names(L), "XABC");
    EXPECT_EQ(MessageOf<EListError>([&] { L.Exchange(4, -1); }), "リストのインデックスが範囲を超えています (4)");
    EXPECT_EQ(MessageOf<EListError>([&] { L.Exchange(1, -1); }), "リストのインデックスが範囲を超えています (-1)");
    EXPECT_EQ(Names(L), "XABC");

    L.Move(0, 2);
    EXPECT_EQ(Names(L), "ABXC");
    L.Delete(2);
    EXPECT_EQ(Names(L), "ABC");
    EXPECT_THROW(L.Delete(3), EListError);
    EXPECT_THROW(L.GetMacro(-1), EListError);
    L.Clear();
    EXPECT_EQ(L.Count(), 0);
}

TEST_F(MacroList, AssignAndSetParamValueByTag)
{
    TMacros A, B;
    Fill(A, "AB");
    B.Add(Make("C"));
    B.Assign(&A);
    EXPECT_EQ(Names(B), "AB");
    EXPECT_NE(B.GetMacro(0), A.GetMacro(0));
    EXPECT_TRUE(B.Equals(A));
    B.Assign(&B);
    EXPECT_EQ(Names(B), "AB");

    EXPECT_EQ(MessageOf<EConvertError>([&] { B.Assign(nullptr); }), "nil を TMacros に代入することはできません");
    TMacro M;
    EXPECT_EQ(MessageOf<EConvertError>([&] { B.Assign(&M); }), "TMacro を TMacros に代入することはできません");
    EXPECT_EQ(Names(B), "AB");

    B.GetMacro(1)->SetParamValue("パターン|t", "0");
    B.SetParamValueByTag("t", "9");
    EXPECT_EQ(B.GetMacro(1)->Line(0).Params[0].Value, "9");
    EXPECT_EQ(B.GetMacro(0)->Line(0).Params[0].Value, "0");
}

TEST_F(MacroList, EqualsAndIntersectWith)
{
    TMacros Empty1, Empty2, One, Other;
    EXPECT_TRUE(Empty1.Equals(Empty2));
    Fill(One, "A");
    EXPECT_FALSE(Empty1.Equals(One));
    EXPECT_FALSE(One.Equals(Empty1));
    Fill(Other, "A");
    EXPECT_TRUE(One.Equals(Other));
    Other.GetMacro(0)->SetParamValue("パターン", "1");
    EXPECT_FALSE(One.Equals(Other));

    // Empty stays empty; a count or name mismatch clears.
    Empty1.IntersectWith(One);
    EXPECT_EQ(Empty1.Count(), 0);
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
    EXPECT_FALSE(Line.Params[2].Value.has_value());
    EXPECT_EQ(Line.Params[2].Caption, "幅");
    EXPECT_EQ(Line.Params[0].Value, "1");
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
    const std::string Macro2 = LStr("B") + '\0' + I32(1) + LStr("パターン") + LStr("0");
    EXPECT_EQ(Bytes(S), I32(2) + Macro1 + Macro2);

    TMacros R;
    R.Add(Make("C"));
    S.SetPosition(0);
    R.ReadFromStream(S, 25);
    EXPECT_TRUE(R.Equals(L));

    // An error on the second macro keeps the first.
    S.Clear();
    const std::string Broken = I32(3) + Macro1 + LStr("無し") + '\1' + I32(0);
    S.WriteBuffer(Broken.data(), static_cast<int32_t>(Broken.size()));
    S.SetPosition(0);
    EXPECT_EQ(MessageOf<EUserError>([&] { R.ReadFromStream(S, 25); }), "\"無し\"は登録されていません");
    EXPECT_EQ(Names(R), "A");

    S.Clear();
    S.WriteBuffer(I32(-1).data(), 4);
    S.SetPosition(0);
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
    EXPECT_EQ(Bytes(S), Utf8ToCp932("2\r\nA\r\n1\r\n1\r\nパターン\r\n5\r\n"
                                    "X\r\n1\r\n4\r\nX\r\n1\r\nY\r\n2\r\n幅\r\n7\r\n高さ\r\n4\r\n"));
    TMacros R;
    S.SetPosition(0);
    R.ReadFromStreamAsText(S, 25);
    EXPECT_TRUE(R.Equals(L));

    // An unknown macro in the middle keeps its name and the rest in step.
    S.Clear();
    StreamWriteln(S, "3");
    StreamWriteln(S, "Q");
    StreamWriteln(S, "1");
    StreamWriteln(S, "1");
    StreamWriteln(S, "a");
    StreamWriteln(S, "b");
    const std::string Rest = Utf8ToCp932("A\r\n1\r\n1\r\nパターン\r\n5\r\nX\r\n1\r\n1\r\n幅\r\n7\r\n");
    S.WriteBuffer(Rest.data(), static_cast<int32_t>(Rest.size()));
    S.SetPosition(0);
    R.ReadFromStreamAsText(S, 25);
    EXPECT_EQ(Names(R), "QAX");
    EXPECT_EQ(R.GetMacro(0)->LineCount(), 0);
    EXPECT_TRUE(R.GetMacro(1)->Equals(*L.GetMacro(0)));
    EXPECT_TRUE(R.GetMacro(2)->Equals(*L.GetMacro(1)));
    EXPECT_EQ(S.Position(), S.Size());
}
