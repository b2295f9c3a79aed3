#include "paint/paint_macro.h"

#include "foundation/string_list.h"
#include "foundation/user_error.h"
#include "paint/macro_library.h"
#include "paint/paint_spy_table.h"
#include "platform/message_box.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class PaintMacro : public ::testing::Test {
protected:
    void SetUp() override
    {
        TTvmWriter W1;
        W1.Macro("塗り(ボカシ)")
            .Line("PlaneMakeForPath", 6, "Plane1",
                  {{"", "*Primary"}, {"3", "図形の広がり"}, {"4", "広がり"}, {"0", ""}, {"0", "余白"},
                   {"255", "濃さ|d"}})
            .Line("NilPlaneFillCol", 0x10003, "", {{"Plane1", ""}, {"", ""}, {"", "色"}})
            .Line("NilPictureFillColEmboss", 4, "",
                  {{"PictureBackGround", ""}, {"Plane1", ""}, {"255", "色"}, {"0", "影色"}})
            .End();
        W1.Macro("幅テスト")
            .Line("Dummy", 2, "", {{"7", "幅"}, {"8", "奥行"}})
            .Line("PlaneMake", 5, "P", {{"1", "幅"}, {"2", "幅|w1"}, {"3", "幅広"}, {"4", "*Cx"}, {"5", "高さ|h"}})
            .End();
        W1.Macro("エンボス（照明）")
            .Line("SetRandomSeed", 1, "", {{"0", "パターン"}})
            .Line("NilPlaneContBright", 6, "",
                  {{"P", ""}, {"", ""}, {"10", "斜辺の幅"}, {"20", "光源方向"}, {"30", "ボカシ量"}, {"No", ""}})
            .End();
        W1.Macro("A").Line("SetRandomSeed", 1, "", {{"0", "パターン"}}).End();
        W1.Macro("空").Line("NilPlaneFillCol", 0, "", {}).End();
        W1.End();
        TTvmWriter W2;
        W2.Macro("A").Line("SetRandomSeed", 1, "", {{"1", "別"}}).End();
        W2.Macro("パス").Line("PathRough", 7, "ResultPath", {{"", "*Primary"}, {"2", "ピッチ"}}).End();
        W2.End();
        Dir.Put("Macro.tvm", W1.B);
        Dir.Put("MacPath.tvm", W2.B);
        LoadMacroLibraries(Dir.Dir);
    }
    void TearDown() override { FreeMacroLibraries(); }

    static std::unique_ptr<TMacro> Lib(const std::string& Name)
    {
        auto M = std::make_unique<TMacro>();
        EXPECT_TRUE(M->LoadFromLibrary(Name)) << Name;
        return M;
    }
    static std::string Value(const TMacro& M, const std::string& Caption)
    {
        std::string V = "(none)";
        M.GetParamValue(Caption, V);
        return V;
    }
    static std::vector<std::string> Params(const TMacro& M)
    {
        TStringList C, V;
        C.Add("stale");
        M.GetParams(C, V);
        std::vector<std::string> Got;
        for (int32_t I = 0; I < C.Count(); ++I)
            Got.push_back(C.Strings(I) + "=" + V.Strings(I));
        return Got;
    }

    TTempDir Dir;
};

} // namespace

TEST_F(PaintMacro, CreateByNameLoadAndClear)
{
    auto M = TMacro::CreateByName("塗り(ボカシ)");
    EXPECT_EQ(M->Enabled(), 1);
    ASSERT_EQ(M->LineCount(), 3);
    EXPECT_EQ(M->Line(1).Flags(), 1);
    M->Clear();
    EXPECT_EQ(M->Name(), "");
    EXPECT_THROW(M->Line(0), EListError);
    std::vector<std::string> Boxes;
    auto Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string& Caption, uint32_t) {
        Boxes.push_back(Caption + ":" + Text);
        return IDOK;
    });
    auto Unknown = TMacro::CreateByName("無い");
    SetMessageBoxHandler(Old);
    EXPECT_EQ(Boxes, std::vector<std::string>{"警告:マクロ 無い は、存在しません。無視します"});
    EXPECT_EQ(Unknown->Enabled(), 0);
    EXPECT_EQ(Unknown->LineCount(), 0);
    // The first library first, names case-insensitive with the library spelling kept.
    ASSERT_TRUE(M->LoadFromLibrary("a"));
    EXPECT_EQ(M->Name(), "A");
    EXPECT_EQ(M->Line(0).Params[0].Caption, "パターン");
    ASSERT_TRUE(M->LoadFromLibrary("パス"));
    ASSERT_EQ(M->Line(0).Params.size(), 7u);
    EXPECT_EQ(M->Line(0).Params[1].Value, "2");
    EXPECT_FALSE(M->Line(0).Params[2].Value.has_value()); // pairs not in the file stay nil
    EXPECT_FALSE(M->LoadFromLibrary("無い"));
    EXPECT_EQ(M->Name(), "パス");
}

TEST_F(PaintMacro, SetGetAndListParamValues)
{
    auto M = Lib("幅テスト");
    auto Before = Lib("幅テスト");
    M->SetParamValue("無し", "1");
    M->SetParamValueByTag("zz", "1");
    EXPECT_TRUE(M->Equals(*Before));
    // The display part before "|" is matched, in every line.
    M->SetParamValue("幅|w2", "9");
    EXPECT_EQ(M->Line(0).Params[0], (TMacroParam{"9", "幅|w2"}));
    EXPECT_EQ(M->Line(1).Params[1], (TMacroParam{"9", "幅|w2"}));
    EXPECT_EQ(M->Line(1).Params[2], (TMacroParam{"3", "幅広"}));
    M->SetParamValueByTag("w2", "10");
    EXPECT_EQ(M->Line(1).Params[1].Value, "10");
    EXPECT_EQ(M->Line(1).Params[2].Value, "3");
    EXPECT_TRUE(MatchParamCaption("幅|x", "幅"));
    EXPECT_FALSE(MatchParamCaption("Ab", "ab"));
    // Reading skips the first line and prefers a non-empty value.
    auto W = Lib("幅テスト");
    EXPECT_EQ(Value(*W, "奥行"), "(none)");
    EXPECT_EQ(Value(*W, "高さ|other"), "5");
    auto F = Lib("塗り(ボカシ)");
    EXPECT_EQ(Value(*F, "色"), "255"); // the first match is empty
    F->SetParamValue("色", "");
    EXPECT_EQ(Value(*F, "色"), "");
    // "色" is listed at its first place with the first non-empty value.
    EXPECT_EQ(Params(*Lib("塗り(ボカシ)")),
              (std::vector<std::string>{"図形の広がり=3", "広がり=4", "余白=0", "濃さ|d=255", "色=255", "影色=0"}));
    // Dummy's parameters never count; "*" captions are internal.
    EXPECT_EQ(Params(*Lib("幅テスト")), (std::vector<std::string>{"幅=1", "幅|w1=2", "幅広=3", "高さ|h=5"}));
}

TEST_F(PaintMacro, AssignEqualsAndIntersect)
{
    auto A = Lib("塗り(ボカシ)");
    TMacro B;
    B.Assign(*A);
    B.Assign(B);
    EXPECT_TRUE(B.Equals(*A));
    B.SetEnabled(0);
    EXPECT_FALSE(B.Equals(*A));
    B.SetEnabled(1);
    B.SetParamValue("余白", "1");
    EXPECT_FALSE(B.Equals(*A));
    TMacro E;
    E.Assign(*Lib("空")); // lines but no parameters
    EXPECT_TRUE(E.Equals(*Lib("空")));
    // Intersection: a differing value becomes nil, which differs from "".
    B.SetEnabled(0);
    B.IntersectWith(*A);
    EXPECT_EQ(B.Enabled(), 255);
    EXPECT_EQ(B.Line(0).Params[4], (TMacroParam{std::nullopt, "余白"}));
    EXPECT_EQ(B.Line(0).Params[1].Value, "3");
    EXPECT_EQ(Params(B).size(), 5u); // a nil value is not a user parameter
    TMacro D;
    D.Assign(B);
    D.SetParamValue("余白", "");
    EXPECT_FALSE(D.Equals(B));
}

TEST_F(PaintMacro, BinaryFormByteForByteAndOlderVersions)
{
    auto A = Lib("A");
    A->SetParamValue("パターン", "5");
    A->SetEnabled(0);
    TMemoryStream S;
    A->WriteToStream(S);
    EXPECT_EQ(StreamBytes(S), LStr("A") + std::string(1, '\0') + I32(1) +
                                  std::string("\x08\0\0\0\x83\x70\x83\x5E\x81\x5B\x83\x93", 12) + LStr("5"));
    S.SetPosition(0);
    TMacro R;
    R.ReadFromStream(S, 25);
    EXPECT_TRUE(R.Equals(*A));
    EXPECT_EQ(S.Position(), S.Size());
    // A whole macro: the pairs in GetParams order, tags kept.
    auto F = Lib("塗り(ボカシ)");
    F->SetParamValue("濃さ|d", "128");
    S.Clear();
    F->WriteToStream(S);
    EXPECT_EQ(StreamBytes(S), LStr("塗り(ボカシ)") + std::string(1, '\1') + I32(6) + LStr("図形の広がり") +
                                  LStr("3") + LStr("広がり") + LStr("4") + LStr("余白") + LStr("0") +
                                  LStr("濃さ|d") + LStr("128") + LStr("色") + LStr("255") + LStr("影色") + LStr("0"));
    S.SetPosition(0);
    R.ReadFromStream(S, 25);
    // A shared caption gives every parameter it names the one stored value.
    EXPECT_EQ(R.Line(1).Params[2].Value, "255");
    F->SetParamValue("色", "255");
    EXPECT_TRUE(R.Equals(*F));
    // Written before the library's caption had its tag (a range text): the
    // value is read, the library's tag kept, in both forms.
    LoadStream(S, LStr("塗り(ボカシ)") + std::string(1, '\1') + I32(1) + LStr("濃さ") + LStr("77"));
    R.ReadFromStream(S, 25);
    EXPECT_EQ(R.Line(0).Params[5].Caption, "濃さ|d");
    EXPECT_EQ(R.Line(0).Params[5].Value, "77");
    LoadStream(S, Utf8ToCp932("塗り(ボカシ)\r\n1\r\n1\r\n濃さ\r\n66\r\n"));
    R.ReadFromStreamAsText(S, 25);
    EXPECT_EQ(R.Line(0).Params[5].Caption, "濃さ|d");
    EXPECT_EQ(R.Line(0).Params[5].Value, "66");
    LoadStream(S, StreamBytes(S).substr(0, 20)); // cut short: the stream's read error
    EXPECT_THROW(R.ReadFromStream(S, 25), EReadError);
    LoadStream(S, LStr("名無し") + std::string(1, '\1') + I32(0));
    EXPECT_EQ(MessageOf<EUserError>([&] { R.ReadFromStream(S, 25); }), "\"名無し\"は登録されていません");
    EXPECT_EQ(R.Name(), "名無し");
    EXPECT_EQ(R.LineCount(), 0);
    TMacro M;
    // Before version 24 there is no enabled byte: the macro comes back enabled.
    LoadStream(S, LStr("A") + I32(1) + LStr("パターン") + LStr("7"));
    M.SetEnabled(0);
    M.ReadFromStream(S, 23);
    EXPECT_EQ(M.Enabled(), 1);
    EXPECT_EQ(M.Line(0).Params[0].Value, "7");
    EXPECT_EQ(S.Position(), S.Size());
    // Name and caption renames chain; those for old versions stop at 23.
    LoadStream(S, LStr("塗り") + I32(1) + LStr("ボカシの広がり") + LStr("9"));
    M.ReadFromStream(S, 22);
    EXPECT_EQ(M.Name(), "塗り(ボカシ)");
    EXPECT_EQ(M.Line(0).Params[1].Value, "9"); // 図形の広がり
    EXPECT_EQ(M.Line(0).Params[2].Value, "4");
    S.SetPosition(0);
    M.ReadFromStream(S, 23);
    EXPECT_EQ(M.Line(0).Params[1].Value, "3");
    EXPECT_EQ(M.Line(0).Params[2].Value, "9"); // 広がり
    LoadStream(S, LStr("エンボス") + I32(1) + LStr("ボカシの強さ") + LStr("11"));
    M.ReadFromStream(S, 22);
    EXPECT_EQ(M.Name(), "エンボス（照明）");
    EXPECT_EQ(Value(M, "斜辺の幅"), "11");
    EXPECT_EQ(Value(M, "ボカシ量"), "30");
    // Below version 6 the lines are stored; nothing else follows. They give
    // the user's values to the library's lines, which a save reopens with
    // (a tag the file gives its caption is no range of the library's).
    const auto Fill = [](const std::string& Dst, const std::string& Color, const std::string& Caption) {
        return LStr("NilPlaneFillCol") + I32(3) + LStr("") + LStr(Dst) + LStr("") + LStr("") + LStr("") +
               LStr(Color) + LStr(Caption);
    };
    for (const std::string Caption : {"色", "色|0,5"}) {
        LoadStream(S, LStr("塗り") + I32(1) + Fill("", "12", Caption) + "tail");
        M.ReadFromStream(S, 5);
        auto Want = Lib("塗り(ボカシ)");
        Want->SetParamValue("色", "12");
        EXPECT_TRUE(M.Equals(*Want)) << Caption;
        EXPECT_EQ(S.Position(), S.Size() - 4);
    }
    // A macro the library lacks would save a file that never opens again.
    LoadStream(S, LStr("ガラス") + I32(1) + Fill("", "12", "色"));
    EXPECT_EQ(MessageOf<EUserError>([&] { M.ReadFromStream(S, 5); }), "\"クリスタル\"は登録されていません");
    EXPECT_EQ(M.LineCount(), 0);
    // Lines that could not run are refused, naming the macro.
    const std::vector<std::string> Damaged = {
        Fill("a", "12", "色"),                                           // a plane no line makes
        LStr("Nope") + I32(1) + LStr("") + LStr("1") + LStr("色"),           // no such function
        LStr("NilPlaneFillCol") + I32(1) + LStr("") + LStr("1") + LStr("色"), // a count unlike the function's
        LStr("PlaneMake") + I32(5) + LStr("") + LStr("1") + LStr("") + LStr("2") + LStr("") + LStr("3") +
            LStr("") + LStr("4") + LStr("") + LStr("5") + LStr(""), // a plane made without a name
    };
    for (const std::string& Line : Damaged) {
        LoadStream(S, LStr("塗り") + I32(1) + Line);
        EXPECT_EQ(MessageOf<EUserError>([&] { M.ReadFromStream(S, 5); }),
                  "マクロ\"塗り(ボカシ)\"は壊れているため読み込めません")
            << &Line - Damaged.data();
    }
    LoadStream(S, LStr("x") + I32(1) + LStr("F") + I32(-1)); // a negative count is refused
    EXPECT_THROW(M.ReadFromStream(S, 5), EReadError);
}

TEST(PaintMacroMigration, RenamesApplyInOrder)
{
    EXPECT_EQ(MigrateMacroName("べベル（フィルタ）", 25), "ベベル（光沢付け）"); // hiragana べ
    EXPECT_EQ(MigrateMacroName("ベベル（フィルタ）", 25), "ベベル（フィルタ）");
    EXPECT_EQ(MigrateMacroName("テクスチャ（凸凹）", 3), "テクスチャ（陰影）");
    EXPECT_EQ(MigrateMacroName("(旧)かすれ(照明)", 25), "かすれ(照明)");
    EXPECT_EQ(MigrateMacroParamCaption("テクスチャ（陰影）", "テクスチャ画像", 25), "凸凹画像");
    EXPECT_EQ(MigrateMacroParamCaption("塗り", "テクスチャ画像", 25), "テクスチャ画像");
    EXPECT_EQ(MigrateMacroParamCaption("エンボス（光沢付け）", "光沢の不透明度", 22), "光沢の強さ");
    EXPECT_EQ(MigrateMacroParamCaption("エンボス（光沢付け）", "光沢の不透明度", 23), "光沢の不透明度");
    EXPECT_EQ(MigrateMacroParamCaption("エンボス外（光沢付け）", "幅", 10), "斜辺の幅");
    EXPECT_EQ(MigrateMacroParamCaption("x", "影オフセット量(X)", 25), "影のずらし量(X)");
    EXPECT_EQ(MigrateMacroParamCaption("x", "角度", 25), "光源方向");
}

TEST_F(PaintMacro, TextForm)
{
    auto F = Lib("塗り(ボカシ)");
    F->SetEnabled(0);
    F->SetParamValue("色", "255");
    TMemoryStream S;
    F->WriteToStreamAsText(S);
    EXPECT_EQ(StreamBytes(S), Utf8ToCp932("塗り(ボカシ)\r\n0\r\n6\r\n図形の広がり\r\n3\r\n広がり\r\n4\r\n余白\r\n0\r\n"
                                          "濃さ|d\r\n255\r\n色\r\n255\r\n影色\r\n0\r\n"));
    S.SetPosition(0);
    TMacro R;
    R.ReadFromStreamAsText(S, 25);
    EXPECT_TRUE(R.Equals(*F));
    // Version 23: no enabled line, captions migrated.
    LoadStream(S, Utf8ToCp932("塗り\r\n1\r\nボカシの広がり\r\n8\r\n"));
    R.ReadFromStreamAsText(S, 22);
    EXPECT_EQ(R.Enabled(), 1);
    EXPECT_EQ(R.Line(0).Params[1].Value, "8");
    EXPECT_EQ(S.Position(), S.Size());
    LoadStream(S, "A\r\n1\r\nx\r\n");
    EXPECT_THROW(R.ReadFromStreamAsText(S, 25), EConvertError);
}
