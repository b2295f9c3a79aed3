#include "paint/paint_function_table.h"
#include "paint/paint_function_entries.h"

#include "platform/global_memory.h"

#include <gtest/gtest.h>

#include <iterator>
#include <set>
#include <span>
#include <string>
#include <vector>

namespace {

const TPaintFunctionRec& Entry(const char* Name)
{
    const int32_t I = FindPaintFunction(Name);
    EXPECT_GE(I, 0) << Name;
    return PaintFunctionTable()[I < 0 ? 0 : I];
}

std::vector<std::string> ChoiceTexts(const TPaintParamDesc& D)
{
    std::vector<std::string> R;
    for (const char* const* C = D.Limits.Choices; C && *C; ++C)
        R.emplace_back(*C);
    return R;
}

// One parameter against the table's text: display name, kind and limits.
void ExpectParam(const TPaintFunctionRec& F, int32_t Number, const std::string& Name,
                 int32_t Kind)
{
    ASSERT_LE(Number, F.ParamCount) << F.Name;
    const TPaintParamDesc& D = F.Params[Number - 1];
    EXPECT_EQ(std::string(D.Name), Name) << F.Name << " " << Number;
    EXPECT_EQ(D.Kind, Kind) << F.Name << " " << Number;
    if (Kind == 5) {
        EXPECT_NE(D.Limits.Choices, nullptr) << F.Name << " " << Number;
    } else if (Kind != 1 && Kind != 4) {
        EXPECT_EQ(D.Limits.None, nullptr) << F.Name << " " << Number;
    }
}

void ExpectInt(const TPaintFunctionRec& F, int32_t Number, const std::string& Name, int32_t Min,
               int32_t Max, int32_t BarMin = 0, int32_t BarMax = 0)
{
    ExpectParam(F, Number, Name, 1);
    const TIntParamRange* R = F.Params[Number - 1].Limits.Int;
    ASSERT_NE(R, nullptr) << F.Name << " " << Number;
    EXPECT_EQ(R->Min, Min);
    EXPECT_EQ(R->Max, Max);
    EXPECT_EQ(R->TrackBarMin, BarMin);
    EXPECT_EQ(R->TrackBarMax, BarMax);
    EXPECT_EQ(R->TrackBarStyle, 0);
}

void ExpectReal(const TPaintFunctionRec& F, int32_t Number, const std::string& Name, double Min,
                double Max, double BarMin = 0, double BarMax = 0)
{
    ExpectParam(F, Number, Name, 4);
    const TFloatParamRange* R = F.Params[Number - 1].Limits.Real;
    ASSERT_NE(R, nullptr) << F.Name << " " << Number;
    EXPECT_EQ(R->Min, Min);
    EXPECT_EQ(R->Max, Max);
    EXPECT_EQ(R->TrackBarMin, BarMin);
    EXPECT_EQ(R->TrackBarMax, BarMax);
}

void ExpectChoice(const TPaintFunctionRec& F, int32_t Number, const std::string& Name,
                  const std::vector<std::string>& Choices)
{
    ExpectParam(F, Number, Name, 5);
    EXPECT_EQ(ChoiceTexts(F.Params[Number - 1]), Choices) << F.Name << " " << Number;
}

// Required argument numbers are 1-based, as the table lists them.
void ExpectRequired(const TPaintFunctionRec& F, const std::set<int32_t>& Numbers)
{
    for (int32_t I = 0; I < 256; ++I)
        EXPECT_EQ(F.Required.Contains(I), Numbers.count(I + 1) == 1) << F.Name << " arg " << I + 1;
}

const std::vector<std::string> cNoYes{"No", "Yes"};
const std::vector<std::string> cFillArea{"線", "塗りつぶし", "線と塗りつぶし", "線(外側)",
                                         "プロパティ指定"};
const std::vector<std::string> cBlend{"通常", "乗算", "スクリーン", "オーバーレイ",
                                      "ハードライト", "比較(暗)", "比較(明)", "差",
                                      "色相", "彩度", "輝度", "加減算"};

} // namespace

TEST(PaintFunctionTable, KindCodes)
{
    EXPECT_EQ(pkUnused, 0);
    EXPECT_EQ(pkInteger, 1);
    EXPECT_EQ(pkReal, 4);
    EXPECT_EQ(pkChoice, 5);
    EXPECT_EQ(pkPath, 8);
    EXPECT_EQ(pkPlane, 9);
    EXPECT_EQ(pkPicture, 10);
    EXPECT_EQ(pkColor, 11);
    EXPECT_EQ(pkFill, 12);
    EXPECT_EQ(pkPlaneFill, 13);
    EXPECT_EQ(pkReflection, 14);
    EXPECT_EQ(pkLights, 15);
    EXPECT_EQ(pkLineType, 18);
    EXPECT_EQ(rkNone, 0);
    EXPECT_EQ(rkPath, 8);
    EXPECT_EQ(rkPlane, 9);
    EXPECT_EQ(rkPicture, 10);
}

TEST(PaintFunctionTable, BlockSizeAndTerminator)
{
    const size_t Blocks = GlobalBlockCount();
    TPaintFunctionRec* T = MakePaintFunctionTable();
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(GlobalSize(T), 54 * sizeof(TPaintFunctionRec));
    for (int32_t I = 0; I < 53; ++I) {
        ASSERT_NE(T[I].Name, nullptr) << I;
        EXPECT_EQ(std::string(T[I].Name), PaintFunctionTable()[I].Name);
        ASSERT_NE(T[I].Entry, nullptr) << I; // every function paints
        EXPECT_EQ(T[I].Entry, PaintFunctionEntry(T[I].Name)) << I;
    }
    EXPECT_EQ(T[53].Name, nullptr);
    EXPECT_EQ(T[53].ParamCount, 0);
    EXPECT_EQ(T[53].Params, nullptr);
    EXPECT_EQ(FindPaintFunction(T, "PathRough"), 52);
    EXPECT_EQ(T[38].Entry, T[46].Entry); // the diffusion filter sits twice
    EXPECT_EQ(GlobalFree(T), nullptr);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(PaintFunctionTable, OrderResultKindsAndCounts)
{
    struct TRow {
        const char* Name;
        int32_t Result;
        int32_t Count;
    };
    const TRow Rows[] = {
        {"Dummy", 0, 20}, {"SetRandomSeed", 0, 1}, {"PlaneSetReferSize", 9, 11},
        {"PlaneMake", 9, 5}, {"PlaneMakeForPath", 9, 6}, {"PlaneMakeForPath2", 9, 10},
        {"PlaneDuplicate", 9, 5}, {"NilPlaneMove", 0, 4}, {"NilPlaneMerge", 0, 7},
        {"NilPlaneDrawPathGradation", 0, 9}, {"NilPlanePaintFill2", 0, 9},
        {"NilPlanePaintFillCol", 0, 9}, {"NilPlanePaintFillCol100", 0, 9},
        {"NilPlaneFillCol", 0, 3}, {"NilPlaneNoise", 0, 6}, {"PictureMake", 10, 4},
        {"PictureMakeForPath2", 10, 10}, {"PictureDuplicate", 10, 1}, {"NilPictureMerge", 0, 5},
        {"NilPictureMergePlane", 0, 5}, {"NilPictureFillColEmboss", 0, 4},
        {"NilPictureDrawPathGradation", 0, 9}, {"NilPicturePaintFill2", 0, 9},
        {"NilPlaneContBright", 0, 6}, {"NilPictureContBright", 0, 6}, {"NilPictureHSI", 0, 6},
        {"NilPictureHLS", 0, 6}, {"NilPictureYCbCr", 0, 6}, {"NilPictureFilterEmboss", 0, 9},
        {"NilPlaneFilterEmboss", 0, 9}, {"NilPictureFilterGradateMove", 0, 5},
        {"NilPlaneFilterGradateMove", 0, 5}, {"NilPictureGlass1", 0, 5},
        {"NilPictureLight", 0, 8}, {"NilPlaneToneMetal", 0, 3}, {"NilPictureToneMetal", 0, 3},
        {"NilPlaneLevel", 0, 8}, {"NilPictureLevel", 0, 8}, {"NilPictureFilterDiffuse", 0, 5},
        {"NilPlaneFilterSize", 0, 6}, {"NilPictureFilterSize", 0, 6},
        {"NilPlaneFilterNoParam", 0, 4}, {"NilPictureFilterNoParam", 0, 4},
        {"NilPlaneFilterSobel", 0, 2}, {"NilPictureFilterSobel", 0, 2},
        {"NilPlaneFilterDiffuse", 0, 5}, {"NilPictureFilterDiffuse", 0, 5},
        {"NilPlaneCloud", 0, 5}, {"NilPictureCloud", 0, 5}, {"NilPictureNoise", 0, 6},
        {"NilPlaneStainedGlass", 0, 11}, {"NilPictureStainedGlass", 0, 11}, {"PathRough", 8, 7},
    };
    static_assert(std::size(Rows) == 53);
    const TPaintFunctionRec* T = PaintFunctionTable();
    ASSERT_NE(T, nullptr);
    for (int32_t I = 0; I < 53; ++I) {
        EXPECT_EQ(std::string(T[I].Name), Rows[I].Name) << I;
        EXPECT_EQ(T[I].ResultKind, Rows[I].Result) << Rows[I].Name;
        EXPECT_EQ(T[I].ParamCount, Rows[I].Count) << Rows[I].Name;
    }
    EXPECT_EQ(T[53].Name, nullptr);
}

TEST(PaintFunctionTable, LookupByName)
{
    EXPECT_EQ(FindPaintFunction("Dummy"), 0);
    EXPECT_EQ(FindPaintFunction("PlaneMake"), 3);
    EXPECT_EQ(FindPaintFunction("NilPlaneFilterDiffuse"), 45);
    EXPECT_EQ(FindPaintFunction("PathRough"), 52);
    // Held twice; the first position wins.
    EXPECT_EQ(FindPaintFunction("NilPictureFilterDiffuse"), 38);
    EXPECT_EQ(FindPaintFunction(""), -1);
    EXPECT_EQ(FindPaintFunction("NoSuchFunction"), -1);
    EXPECT_EQ(FindPaintFunction("planemake"), -1);
    EXPECT_EQ(FindPaintFunction("PLANEMAKE"), -1);
    EXPECT_EQ(FindPaintFunction("PlaneMake "), -1);
    EXPECT_EQ(FindPaintFunction("Plane"), -1);
    // Without a table (its allocation failed) nothing is found.
    EXPECT_EQ(FindPaintFunction(nullptr, "PlaneMake"), -1);
}

TEST(PaintFunctionTable, DiffuseTwinAndDistinctDefinitions)
{
    const TPaintFunctionRec* T = PaintFunctionTable();
    ASSERT_NE(T, nullptr);
    EXPECT_STREQ(T[46].Name, "NilPictureFilterDiffuse");
    EXPECT_EQ(T[46].Params, T[38].Params);
    EXPECT_EQ(T[46].ParamCount, T[38].ParamCount);
    EXPECT_EQ(T[46].ResultKind, T[38].ResultKind);
    for (int32_t I = 0; I < 256; ++I)
        EXPECT_EQ(T[46].Required.Contains(I), T[38].Required.Contains(I));
    std::set<const TPaintParamDesc*> Definitions;
    for (int32_t I = 0; I < 53; ++I)
        Definitions.insert(T[I].Params);
    EXPECT_EQ(Definitions.size(), 52u);
}

TEST(PaintFunctionTable, EntriesFieldByField)
{
    {
        const TPaintFunctionRec& F = Entry("Dummy");
        for (int32_t I = 1; I <= 20; ++I) {
            ExpectParam(F, I, std::to_string(I), 0);
            EXPECT_EQ(F.Params[I - 1].Limits.None, nullptr);
        }
        ExpectRequired(F, {});
    }
    {
        const TPaintFunctionRec& F = Entry("PlaneSetReferSize");
        ExpectParam(F, 1, "Path", 8);
        ExpectParam(F, 2, "線種", 18);
        ExpectChoice(F, 3, "塗りつぶし指定", cFillArea);
        ExpectInt(F, 4, "カラー", 0, 255);
        ExpectInt(F, 5, "余白値１", -99999, 99999);
        ExpectReal(F, 6, "余白値２", 0, 99999);
        ExpectChoice(F, 7, "余白値２種類", {"絶対値", "ガウス"});
        ExpectInt(F, 8, "余白値２引数", -100, 100);
        ExpectInt(F, 9, "余白値３(X)", -100, 100);
        ExpectInt(F, 10, "余白値３(Y)", -100, 100);
        ExpectParam(F, 11, "BackGroudnPict", 10);
        ExpectRequired(F, {1, 2, 3, 4});
    }
    {
        const TPaintFunctionRec& F = Entry("PlaneMake");
        ExpectInt(F, 1, "X(Cx)", -99999, 99999);
        ExpectInt(F, 3, "幅(W)", 1, 99999);
        ExpectInt(F, 5, "塗り潰し値", 0, 255);
        ExpectRequired(F, {1, 2, 3, 4, 5, 6}); // 6: the picture store
    }
    {
        const TPaintFunctionRec& F = Entry("PlaneDuplicate");
        ExpectParam(F, 1, "Src Plane", 9);
        ExpectChoice(F, 2, "NoCopy", cNoYes);
        ExpectChoice(F, 3, "BitCount", {"8", "16"});
        ExpectParam(F, 4, "塗りFlag", 13);
        ExpectChoice(F, 5, "NoExec", cNoYes);
        ExpectRequired(F, {1});
    }
    {
        const TPaintFunctionRec& F = Entry("NilPlaneMove");
        ExpectParam(F, 1, "Dest  Plane", 9);
        ExpectParam(F, 2, "Mask  Plane", 9);
        ExpectInt(F, 3, "Dx", -1000, 1000, -50, 50);
        ExpectInt(F, 4, "Dy", -1000, 1000, -50, 50);
        ExpectRequired(F, {1, 3, 4});
    }
    {
        const TPaintFunctionRec& F = Entry("NilPlaneDrawPathGradation");
        ExpectReal(F, 8, "ガンマ値(>0.01)", 0.01, 10, 0.1, 10);
        const TFloatParamRange& G = *F.Params[7].Limits.Real;
        EXPECT_EQ(G.Precision, 0.01);
        EXPECT_EQ(G.LineSize, 0.01);
        EXPECT_EQ(G.PageSize, 0.05);
        EXPECT_EQ(G.TrackBarStyle, 1);
        ExpectChoice(F, 9, "アンチエリアス", cNoYes);
        ExpectRequired(F, {1, 4, 5, 6, 7, 8, 9});
    }
    {
        const TPaintFunctionRec& F = Entry("NilPlanePaintFill2");
        ExpectParam(F, 6, "塗り方法", 13);
        ExpectChoice(F, 7, "塗りつぶし指定", cFillArea);
        ExpectChoice(F, 9, "描画方法", cBlend);
        ExpectRequired(F, {1, 3, 6});
    }
    {
        const TPaintFunctionRec& F = Entry("NilPlaneFillCol");
        ExpectParam(F, 1, "Dst   Plane", 9);
        ExpectInt(F, 3, "Color       ", 0, 255);
        ExpectRequired(F, {1});
    }
    {
        const TPaintFunctionRec& F = Entry("PictureMakeForPath2");
        ExpectParam(F, 4, "ダミー", 1);
        EXPECT_EQ(F.Params[3].Limits.Int, nullptr);
        ExpectInt(F, 5, "余白値１", 0, 99999);
        ExpectReal(F, 8, "余白値２引数", -99999, 99999);
        ExpectReal(F, 10, "余白値３(Y)", 0, 99999);
    }
    {
        const TPaintFunctionRec& F = Entry("NilPictureMerge");
        ExpectParam(F, 3, "Plane Mask  ", 9);
        ExpectChoice(F, 4, "Merge Mode", cBlend);
    }
    {
        const TPaintFunctionRec& F = Entry("NilPictureFillColEmboss");
        ExpectParam(F, 3, "ColorHighlight", 11);
        ExpectParam(F, 4, "ColorShadow", 11);
        ExpectRequired(F, {1, 2, 3, 4, 5});
    }
    {
        const TPaintFunctionRec& F = Entry("NilPicturePaintFill2");
        ExpectParam(F, 1, "Dest  Picture", 10);
        ExpectParam(F, 6, "塗り方法", 12);
    }
    {
        const TPaintFunctionRec& F = Entry("NilPlaneContBright");
        ExpectInt(F, 3, "Contrast   ", 0, 200);
        ExpectInt(F, 4, "Bright", -255, 255);
        ExpectRequired(F, {1, 3, 4, 5});
    }
    {
        const TPaintFunctionRec& F = Entry("NilPlaneFilterEmboss");
        ExpectReal(F, 3, "Size", 0, 50);
        ExpectInt(F, 5, "適用度(%)", 0, 200, 0, 200);
        ExpectChoice(F, 9, "ラップ", cNoYes);
        ExpectRequired(F, {1, 3, 4, 5});
    }
    {
        const TPaintFunctionRec& F = Entry("NilPictureLight");
        ExpectParam(F, 3, "Bump Plane", 9);
        ExpectParam(F, 4, "照明設定", 15);
        ExpectParam(F, 5, "Path", 8);
        ExpectParam(F, 6, "反射画像", 14);
        ExpectInt(F, 7, "反射率", 0, 100);
        ExpectChoice(F, 8, "反射の画質", {"低", "普通", "きれい"});
        ExpectRequired(F, {1, 4});
    }
    {
        const TPaintFunctionRec& F = Entry("NilPictureFilterSize");
        ExpectChoice(F, 3, "Type", {"ガウス", "平均", "最大", "最小", "中央値", "油絵"});
        ExpectReal(F, 4, "Size", 0, 50);
        ExpectInt(F, 5, "回数", 0, 10, 0, 5);
    }
    {
        const TPaintFunctionRec& F = Entry("NilPlaneStainedGlass");
        ExpectChoice(F, 3, "角数", {"4", "6"});
        ExpectParam(F, 6, "線の色", 11);
        ExpectInt(F, 8, "iDx", -200, 200);
        ExpectChoice(F, 11, "アンチエリアス", cNoYes);
        ExpectRequired(F, {1, 3, 4, 5});
    }
    {
        const TPaintFunctionRec& F = Entry("PathRough");
        ExpectParam(F, 1, "パス", 8);
        ExpectParam(F, 2, "ピッチ下限", 1);
        ExpectParam(F, 6, "前の影響力", 4);
        ExpectParam(F, 7, "曲線0／直線1", 1);
        for (int32_t I = 1; I < 7; ++I)
            EXPECT_EQ(F.Params[I].Limits.None, nullptr) << I;
        ExpectRequired(F, {});
    }
}

// The emboss and directional-blur filters read "Size" as a real number; the
// table gives it that kind (positions 28 to 31) and no entry has an integer
// "Size" any more.
TEST(PaintFunctionTable, SizeParametersAreReal)
{
    ExpectReal(Entry("NilPictureFilterEmboss"), 3, "Size", 0, 50);
    ExpectReal(Entry("NilPlaneFilterEmboss"), 3, "Size", 0, 50);
    ExpectReal(Entry("NilPictureFilterGradateMove"), 3, "Size", 0, 1000);
    ExpectReal(Entry("NilPlaneFilterGradateMove"), 3, "Size", 0, 1000);
    const TPaintFunctionRec* T = PaintFunctionTable();
    for (int32_t I = 0; I < 53; ++I)
        for (int32_t P = 0; P < T[I].ParamCount; ++P)
            if (std::string(T[I].Params[P].Name) == "Size") {
                EXPECT_EQ(T[I].Params[P].Kind, pkReal) << T[I].Name;
            }
}

TEST(PaintFunctionTable, IndexOfChoice)
{
    const char* const* Blend = Entry("NilPictureMerge").Params[3].Limits.Choices;
    EXPECT_EQ(IndexOfChoice("通常", Blend), 0);
    EXPECT_EQ(IndexOfChoice("スクリーン", Blend), 2);
    EXPECT_EQ(IndexOfChoice("加減算", Blend), 11);
    // Unknown or missing texts give 0, the same as the first choice.
    EXPECT_EQ(IndexOfChoice("Unknown", Blend), 0);
    EXPECT_EQ(IndexOfChoice("", Blend), 0);
    EXPECT_EQ(IndexOfChoice(nullptr, Blend), 0);
    EXPECT_EQ(IndexOfChoice("Yes", nullptr), 0);
    const char* const* NoYes = Entry("NilPlaneMerge").Params[5].Limits.Choices;
    EXPECT_EQ(IndexOfChoice("Yes", NoYes), 1);
    EXPECT_EQ(IndexOfChoice("yes", NoYes), 0);
    EXPECT_EQ(IndexOfChoice("Yes ", NoYes), 0);
}

TEST(PaintFunctionTable, CheckRequiredArgs)
{
    int Dummy = 0;
    void* const P = &Dummy;

    const TArgSet& Move = Entry("NilPlaneMove").Required; // 1, 3-4
    void* Args[5] = {P, nullptr, P, P, nullptr};
    EXPECT_EQ(CheckRequiredArgs(Move, Args), 0); // 2 and the store are optional
    Args[3] = nullptr;
    EXPECT_EQ(CheckRequiredArgs(Move, Args), 4);
    Args[2] = nullptr;
    EXPECT_EQ(CheckRequiredArgs(Move, Args), 3);
    Args[0] = nullptr;
    EXPECT_EQ(CheckRequiredArgs(Move, Args), 1);

    // PlaneMake with all five values but no picture store.
    void* Make[6] = {P, P, P, P, P, nullptr};
    EXPECT_EQ(CheckRequiredArgs(Entry("PlaneMake").Required, Make), 6);
    Make[5] = P;
    EXPECT_EQ(CheckRequiredArgs(Entry("PlaneMake").Required, Make), 0);
    // An argument the caller did not pass at all counts as nil.
    EXPECT_EQ(CheckRequiredArgs(Entry("PlaneMake").Required, std::span<void* const>(Make, 5)), 6);

    // NilPictureLight without its light set.
    void* Light[9] = {P, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, P};
    EXPECT_EQ(CheckRequiredArgs(Entry("NilPictureLight").Required, Light), 4);

    EXPECT_EQ(CheckRequiredArgs(TArgSet{}, std::span<void* const>()), 0);
    std::vector<void*> Many(256, P);
    Many[255] = nullptr;
    EXPECT_EQ(CheckRequiredArgs(ArgNumbers({256}), Many), 256);
}

// A failed read is a flag of its own: "-1000" is a number like any other.
TEST(PaintFunctionTable, ReadNumberArgs)
{
    TIntArg I = ReadIntArg("-1000", 5);
    EXPECT_TRUE(I.Parsed);
    EXPECT_EQ(I.Value, -1000);
    I = ReadIntArg("-99999", 5);
    EXPECT_TRUE(I.Parsed);
    EXPECT_EQ(I.Value, -99999);
    I = ReadIntArg("abc", 7);
    EXPECT_FALSE(I.Parsed);
    EXPECT_EQ(I.Value, 7);
    I = ReadIntArg("", 7);
    EXPECT_FALSE(I.Parsed);
    EXPECT_EQ(I.Value, 7);
    I = ReadIntArg(nullptr, 100);
    EXPECT_FALSE(I.Parsed);
    EXPECT_EQ(I.Value, 100);
    EXPECT_FALSE(ReadIntArg("12x", 0).Parsed);

    TRealArg R = ReadRealArg("-1000", 1);
    EXPECT_TRUE(R.Parsed);
    EXPECT_EQ(R.Value, -1000.0);
    R = ReadRealArg("2.5", 1);
    EXPECT_TRUE(R.Parsed);
    EXPECT_EQ(R.Value, 2.5);
    R = ReadRealArg("nan", -1);
    EXPECT_FALSE(R.Parsed);
    EXPECT_EQ(R.Value, -1.0);
    EXPECT_FALSE(ReadRealArg("", 0).Parsed);
    EXPECT_FALSE(ReadRealArg(nullptr, 0).Parsed);
}

TEST(PaintFunctionTable, RangeRefusal)
{
    const TPaintFunctionRec& Make = Entry("PlaneMake");
    const double XFloor = ParamArgFloor(Make.Params[0]);
    EXPECT_EQ(XFloor, -99999.0);
    // Legal positions below -999 are accepted; below the range they are not.
    TIntArg X = ReadIntArg("-5000", 0);
    EXPECT_EQ(CheckNumberArg(X.Parsed, X.Value, XFloor, 1), 0);
    X = ReadIntArg("-1000", 0);
    EXPECT_EQ(CheckNumberArg(X.Parsed, X.Value, XFloor, 1), 0);
    X = ReadIntArg("-100000", 0);
    EXPECT_EQ(CheckNumberArg(X.Parsed, X.Value, XFloor, 1), 0x10001);
    X = ReadIntArg("left", 0);
    EXPECT_EQ(CheckNumberArg(X.Parsed, X.Value, XFloor, 1), 0x10001);

    // A parameter whose range starts above -999 keeps -999 as its floor.
    const TPaintParamDesc& Opacity = Entry("NilPlaneMerge").Params[3];
    EXPECT_EQ(ParamArgFloor(Opacity), -999.0);
    EXPECT_EQ(CheckNumberArg(true, -999, ParamArgFloor(Opacity), 4), 0);
    EXPECT_EQ(CheckNumberArg(true, -1000, ParamArgFloor(Opacity), 4), 0x10004);

    // Real margins run to -99999 as well; unlimited parameters keep -999.
    EXPECT_EQ(ParamArgFloor(Entry("PictureMakeForPath2").Params[7]), -99999.0);
    EXPECT_EQ(ParamArgFloor(Entry("PathRough").Params[1]), -999.0);
    const TRealArg M = ReadRealArg("-20000.5", 0);
    EXPECT_EQ(CheckNumberArg(M.Parsed, M.Value, -99999, 8), 0);

    // NilPlaneMove reports an unreadable Dx as 0x10003 and Dy as 0x10004.
    EXPECT_EQ(PaintArgRefused(3), 0x10003);
    const TIntArg Dy = ReadIntArg("?", 0);
    EXPECT_EQ(CheckNumberArg(Dy.Parsed, Dy.Value, -999999, 4), 0x10004);
}
