// Macro values that do not read, or read beyond their range, held to what
// the paint functions take: the nearest value where one exists, else the
// library's default of the parameter, else the parameter's own. Also the
// stored byte flags of macros and picture fills, and values of macros that
// carry lines of their own.
#include "model/object_test_support.h"

#include "foundation/pen_text.h"
#include "paint/fill_value.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

const TPaintParamDesc& Desc(const char* Function, int32_t Param)
{
    const int32_t Pos = FindPaintFunction(Function);
    EXPECT_GE(Pos, 0) << Function;
    return PaintFunctionTable()[Pos].Params[Param];
}

const std::string Digits400(400, '9');

} // namespace

TEST(MacroValuesHeld, HostileValuesOfEveryKind)
{
    struct Row {
        const char* Function;
        int32_t Param;
        const char* Caption;
        std::string Value;
        std::optional<std::string> Default;
        std::string Held;
    };
    // NilPlaneMove's Dx: an integer -1000..1000. NilPlaneFilterSize's Size:
    // a real 0..50, which a caption's tag widens to 0..1000.
    // NilPictureFillColEmboss: colours. NilPicturePaintFill2: pen (4), fill
    // (5), blend mode (8).
    const std::vector<Row> Rows = {
        {"NilPlaneMove", 2, "影のずらし量(X)", "nan", "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "inf", "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "-inf", "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "1e308", "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", Digits400, "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "2147483648", "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "\x81", "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "", "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "12abc", "4", "4"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "1.5", "4", "4"},
        // No declared default, or one the parameter does not take: the
        // number nearest 0 in the range.
        {"NilPlaneMove", 2, "影のずらし量(X)", "nan", std::nullopt, "0"},
        {"NilPlaneMove", 2, "影のずらし量(X)", "nan", "zzz", "0"},
        {"NilPlaneFilterSize", 3, "影のボカシ量|0,1000,0,100", "nan", "2", "2"},
        {"NilPlaneFilterSize", 3, "影のボカシ量|0,1000,0,100", "inf", "2", "2"},
        {"NilPlaneFilterSize", 3, "影のボカシ量|0,1000,0,100", Digits400, "2", "2"},
        {"NilPlaneFilterSize", 3, "影のボカシ量|0,1000,0,100", "\x81", "2", "2"},
        {"NilPlaneFilterSize", 3, "", "nan", std::nullopt, "0"},
        {"NilPictureFillColEmboss", 2, "光の色", "nan", "8421504", "8421504"},
        {"NilPictureFillColEmboss", 2, "光の色", "1e308", "8421504", "8421504"},
        {"NilPictureFillColEmboss", 2, "光の色", "\x81", "8421504", "8421504"},
        {"NilPictureFillColEmboss", 2, "光の色", "nan", std::nullopt, "0"},
        {"NilPicturePaintFill2", 8, "描画方法", "nan", "乗算", "乗算"},
        {"NilPicturePaintFill2", 8, "描画方法", "", "乗算", "乗算"},
        {"NilPicturePaintFill2", 8, "描画方法", "x", std::nullopt, "通常"},
        // A pen always reads, a field that does not taking its default: it
        // is written whole, as it was drawn.
        {"NilPicturePaintFill2", 4, "線種", "nan,0,1.00", "2,0,1.00", "-1,0,1.00"},
        {"NilPicturePaintFill2", 4, "線種", "inf,inf,inf", "2,0,1.00", "-1,65280,-1.00"},
        {"NilPicturePaintFill2", 4, "線種", "\x81", "2,0,1.00", "-1,65280,-1.00"},
        {"NilPicturePaintFill2", 4, "線種", "2,0,nan", "2,0,1.00", "2,0,-1.00"},
        // Styles: 99999 = 0x1869F draws cap 0x200 (flat) and join 0 (round);
        // -1 is "as it is" in both fields; a cap of 3 draws flat, a join of 3
        // none, as all ones does.
        {"NilPicturePaintFill2", 4, "線種", "2,99999,1.00", "2,0,1.00", "2,512,1.00"},
        {"NilPicturePaintFill2", 4, "線種", "2,-1,1.00", "2,0,1.00", "2,65280,1.00"},
        {"NilPicturePaintFill2", 4, "線種", "2,768,1.00", "2,0,1.00", "2,512,1.00"},
        {"NilPicturePaintFill2", 4, "線種", "2,12288,1.00", "2,0,1.00", "2,61440,1.00"},
        {"NilPicturePaintFill2", 5, "塗り方法", "nan", "1B06000", "1B06000"},
        {"NilPicturePaintFill2", 5, "塗り方法", "", "1B06000", "1B06000"},
        {"NilPicturePaintFill2", 5, "塗り方法", "\x81", "1B06000", "1B06000"},
        {"NilPicturePaintFill2", 5, "塗り方法", "411,0,0,0,0,0,-1,99999,-1", "1B06000", "411,0,0,0,0,0,-1,1,1"},
        {"NilPicturePaintFill2", 5, "塗り方法", "411,0,0,0,0,0,-1,-1", "1B06000", "411,0,0,0,0,0,-1,1,0"},
        {"NilPicturePaintFill2", 5, "塗り方法", "411,0,0,0,0,nan,-1,0,0", "1B06000", "1B06000"},
        {"NilPicturePaintFill2", 5, "塗り方法", "zzz", std::nullopt, "0"},
        {"NilPictureLight", 3, "照明設定", "nan", "8,FFFFFF60,20,0,1,6,環境光FFFFFF10,0,",
         "8,FFFFFF60,20,0,1,6,環境光FFFFFF10,0,"},
    };
    // Values the parameters take stand as they are: no default replaces a
    // number, a choice, a pen with every field read or none, a fill whose
    // option bytes are digits.
    const std::vector<Row> Taken = {
        {"NilPlaneMove", 2, "影のずらし量(X)", "-5", "4", "-5"},
        {"NilPlaneFilterSize", 3, "影のボカシ量|0,1000,0,100", "2.5", "2", "2.5"},
        {"NilPictureFillColEmboss", 2, "光の色", "255", "8421504", "255"},
        {"NilPicturePaintFill2", 8, "描画方法", "通常", "乗算", "通常"},
        {"NilPicturePaintFill2", 4, "線種", "2,8448,1.00", "2,0,1.00", "2,8448,1.00"},
        {"NilPicturePaintFill2", 4, "線種", "", "2,0,1.00", ""},
        {"NilPicturePaintFill2", 5, "塗り方法", "411,0,0,0,0,0,-1,9,3", "1B06000", "411,0,0,0,0,0,-1,9,3"},
    };
    for (const Row& R : Taken) {
        const TPaintParamDesc& D = Desc(R.Function, R.Param);
        EXPECT_EQ(ParamValueHeld(D.Kind, D.Limits.None, R.Caption, R.Value, R.Default), R.Held) << R.Value;
    }
    for (const Row& R : Rows) {
        const TPaintParamDesc& D = Desc(R.Function, R.Param);
        EXPECT_EQ(ParamValueHeld(D.Kind, D.Limits.None, R.Caption, R.Value, R.Default), R.Held)
            << "row " << &R - Rows.data();
        // What it holds to is taken as it stands.
        EXPECT_TRUE(ParamValueInDeclaredRange(D.Kind, D.Limits.None, R.Caption, R.Held)) << "row " << &R - Rows.data();
    }
}

// A macro with lines of its own that no library holds: every value the
// paint functions read is judged by their own limits, internal ones too.
TEST(MacroValuesHeld, OwnLinesOfAMacroNoLibraryHolds)
{
    TTestMacroLibrary Library;
    const auto Macro = MakeTestMacro(
        "旧ボカシ", {{"PlaneMakeForPath2", "Shape",
                     {{"", "*Primary"}, {"2,0,1.00", "線種"}, {"塗りつぶし", ""}, {"0", ""}, {"0", ""},
                      {"nan", "ボカシ量|0,1000000,0,100"}, {"ガウス", ""}, {"1", ""}, {"0", ""}, {"0", ""}}},
                    {"NilPlaneFilterSize", "", {{"Shape", ""}, {"", ""}, {"中間", ""}, {"nan", ""}, {"99", ""}, {"No", ""}}},
                    {"NilPicturePaintFill2", "",
                     {{"PictureBackGround", ""}, {"Shape", ""}, {"1000", "不透明度|0,1000,0,100"}, {"", "*Primary"}, {"", ""},
                      {"1B06000", ""}, {"塗りつぶし", ""}, {"No", ""}, {"通常", ""}}}});
    struct Row {
        int32_t Line;
        size_t Param;
        std::string Value;
        std::string Held;
    };
    // The tag a file gives is no declaration: the functions' own 0..99999,
    // 0..50, 0..100.
    const std::vector<Row> Rows = {
        {0, 5, "nan", "0"},
        {0, 5, "1000000", "99999"},
        {1, 2, "中間", "ガウス"},
        {1, 3, "nan", "0"},
        {1, 3, "1000000", "50"},
        {1, 4, "99", "10"},
        {2, 2, "1000", "100"},
        {2, 5, "\x81", "0"},
    };
    for (const Row& R : Rows) {
        EXPECT_FALSE(MacroParamValueAccepted(*Macro, R.Line, R.Param, R.Value)) << "row " << &R - Rows.data() << ": own";
        EXPECT_EQ(MacroParamValueHeld(*Macro, R.Line, R.Param, R.Value), R.Held) << "row " << &R - Rows.data() << ": own";
    }
    // Object arguments are names, not judged here.
    EXPECT_TRUE(MacroParamValueAccepted(*Macro, 1, 0, "Shape"));

    TMacros List;
    List.Add(MakeTestMacro("旧ボカシ", {{"NilPlaneFilterSize", "", {{"Shape", ""}, {"", ""}, {"ガウス", ""},
                                                                  {"nan", ""}, {"1", ""}, {"No", ""}}}}));
    EXPECT_FALSE(MacrosValuesAccepted(List));
    EXPECT_TRUE(HoldMacrosValues(List));
    EXPECT_EQ(List.GetMacro(0)->Line(0).Params[3].Value, "0");
    EXPECT_TRUE(MacrosValuesAccepted(List));
    EXPECT_FALSE(HoldMacrosValues(List));
}

// A macro the library holds, read with lines of its own that call the same
// functions: the library's captions declare the ranges and its values the
// defaults.
TEST(MacroValuesHeld, OwnLinesOfALibraryMacro)
{
    TTestMacroLibrary Library;
    const auto Macro = MakeTestMacro("Red", {{"NilPicturePaintFill2", "",
                                              {{"PictureBackGround", ""}, {"", ""}, {"nan", "不透明度"},
                                               {"", "*Primary"}, {"1,0,1.00", "線種"}, {"zzz", "塗り方法"},
                                               {"塗りつぶし", "塗りつぶし指定"}, {"No", "アンチエリアス"},
                                               {"通常", "描画方法"}}}});
    EXPECT_FALSE(MacroParamValueAccepted(*Macro, 0, 2, "nan"));
    EXPECT_EQ(MacroParamValueHeld(*Macro, 0, 2, "nan"), "100");
    EXPECT_EQ(MacroParamValueHeld(*Macro, 0, 5, "zzz"), "10000FF");
    TMacros List;
    List.Add(std::make_unique<TMacro>());
    List.GetMacro(0)->Assign(*Macro);
    EXPECT_TRUE(HoldMacrosValues(List));
    const auto Held = TTestMacroLibrary::Get("Red");
    EXPECT_TRUE(List.GetMacro(0)->Equals(*Held));
}

// Stored pairs whose caption names no user parameter would set the
// library's internal values; they are passed over. A stored enabled byte
// other than 0 is on.
TEST(MacroValuesHeld, ReadersKeepInternalValuesAndFlagsOnOrOff)
{
    TTestMacroLibrary Library;
    const auto Red = TTestMacroLibrary::Get("Red");
    struct Row {
        std::string Caption;
        int32_t EnabledText; // the text form's line
        uint8_t EnabledByte; // the binary form's byte
        uint8_t Enabled;
    };
    const std::vector<Row> Rows = {
        {"", 99999, 255, 1},  {"*Primary", -1, 2, 1}, {"|tag", 255, 128, 1},
        {"*Primary|tag", 2, 7, 1}, {"|", -255, 254, 1},
    };
    for (const Row& R : Rows) {
        std::vector<uint8_t> B;
        PutStr(B, "Red");
        B.push_back(R.EnabledByte);
        PutI32(B, 1);
        PutStr(B, R.Caption);
        PutStr(B, "nan");
        TMemoryStreamWex S;
        S.SetPointer(B.data(), int64_t(B.size()));
        TMacro Read;
        Read.ReadFromStream(S, 25);
        EXPECT_EQ(Read.Enabled(), R.Enabled) << R.Caption;
        Read.SetEnabled(1);
        EXPECT_TRUE(Read.Equals(*Red)) << R.Caption;

        const std::string Text =
            "Red\r\n" + std::to_string(R.EnabledText) + "\r\n1\r\n" + Utf8ToCp932(R.Caption) + "\r\nnan\r\n";
        TMemoryStream T;
        T.WriteBuffer(Text.data(), int32_t(Text.size()));
        T.SetPosition(0);
        TMacro ReadText;
        ReadText.ReadFromStreamAsText(T, 25);
        EXPECT_EQ(ReadText.Enabled(), R.Enabled) << R.EnabledText;
        ReadText.SetEnabled(1);
        EXPECT_TRUE(ReadText.Equals(*Red)) << R.Caption;
        EXPECT_EQ(T.Position(), T.Size());
    }
}

TEST(MacroValuesHeld, PictureFillOptionBytesBeyondADigitReadOne)
{
    struct Row {
        const char* Text;
        uint8_t Option1, Option2;
        bool AsStored;
    };
    // Each is one digit; the low byte of 256 would be 0, of -1 255.
    const Row Rows[] = {
        {"1,0,0,0,0,0,-1,0,0", 0, 0, true},       {"1,0,0,0,0,0,-1,2,1", 2, 1, true},
        {"1,0,0,0,0,0,-1,9,3", 9, 3, true},       {"1,0,0,0,0,0,-1,10,99999", 1, 1, false},
        {"1,0,0,0,0,0,-1,-1,-1", 1, 1, false},    {"1,0,0,0,0,0,-1,256,255", 1, 1, false},
        {"1,0,0,0,0,0,-1,x,y", 0, 0, true},       {"1,0,0,0,0,0,-1,0,-1", 0, 1, false},
    };
    for (const Row& R : Rows) {
        TFillPictParam P;
        StrToFillPictParam(R.Text, P);
        EXPECT_EQ(P.bOption1, R.Option1) << R.Text;
        EXPECT_EQ(P.bOption2, R.Option2) << R.Text;
        EXPECT_EQ(FillPictOptionsAsStored(R.Text), R.AsStored) << R.Text;
    }
}
