#include "paint/paint_function_table.h"
#include "paint/paint_function_entries.h"

#include "platform/global_memory.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <span>
#include <string>
#include <tuple>
#include <vector>

namespace {

const TPaintFunctionRec& Entry(const char* Name)
{
    const int32_t I = FindPaintFunction(Name);
    EXPECT_GE(I, 0) << Name;
    return PaintFunctionTable()[I < 0 ? 0 : I];
}

// A parameter as the table holds it: display name (spaces count), kind, and
// the limits: "min..max", the track bar "/min..max" and style "~n" where set,
// or the choices between "|".
std::string Param(const char* Function, int32_t Number)
{
    const TPaintFunctionRec& F = Entry(Function);
    if (Number > F.ParamCount)
        return "(beyond the count)";
    const TPaintParamDesc& D = F.Params[Number - 1];
    std::ostringstream S;
    S << D.Name << " " << D.Kind;
    const auto Range = [&](const auto& R) {
        S << " " << R.Min << ".." << R.Max;
        if (R.TrackBarMin != 0 || R.TrackBarMax != 0)
            S << "/" << R.TrackBarMin << ".." << R.TrackBarMax;
        if (R.TrackBarStyle != 0)
            S << "~" << int(R.TrackBarStyle);
    };
    if (D.Kind == pkInteger && D.Limits.Int)
        Range(*D.Limits.Int);
    else if (D.Kind == pkReal && D.Limits.Real)
        Range(*D.Limits.Real);
    else if (D.Kind == pkChoice)
        for (const char* const* C = D.Limits.Choices; C && *C; ++C)
            S << (C == D.Limits.Choices ? " " : "|") << *C;
    else if (D.Limits.None)
        S << " (limits)";
    return S.str();
}

// The required argument numbers, 1-based as the table lists them.
std::string Required(const char* Function)
{
    std::string S;
    for (int32_t I = 0; I < 256; ++I)
        if (Entry(Function).Required.Contains(I))
            S += (S.empty() ? "" : ",") + std::to_string(I + 1);
    return S;
}

} // namespace

TEST(PaintFunctionTable, BlockOrderKindsAndCounts)
{
    const size_t Blocks = GlobalBlockCount();
    TPaintFunctionRec* T = MakePaintFunctionTable();
    ASSERT_NE(T, nullptr);
    EXPECT_EQ(GlobalSize(T), 54 * sizeof(TPaintFunctionRec));
    std::set<const TPaintParamDesc*> Definitions;
    for (int32_t I = 0; I < 53; ++I) {
        ASSERT_NE(T[I].Name, nullptr) << I;
        ASSERT_NE(T[I].Entry, nullptr) << I; // every function paints
        EXPECT_EQ(T[I].Entry, PaintFunctionEntry(T[I].Name)) << I;
        Definitions.insert(T[I].Params);
        // The emboss and directional-blur filters read "Size" as a real number.
        for (int32_t P = 0; P < T[I].ParamCount; ++P)
            if (std::string(T[I].Params[P].Name) == "Size") {
                EXPECT_EQ(T[I].Params[P].Kind, pkReal) << T[I].Name;
            }
    }
    EXPECT_EQ(T[53].Name, nullptr);
    EXPECT_EQ(T[53].Params, nullptr);
    // The diffusion filter sits twice, with one definition.
    EXPECT_STREQ(T[46].Name, "NilPictureFilterDiffuse");
    EXPECT_EQ(T[46].Entry, T[38].Entry);
    EXPECT_EQ(T[46].Params, T[38].Params);
    EXPECT_EQ(Definitions.size(), 52u);
    EXPECT_EQ(GlobalFree(T), nullptr);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
    // Name, position, result kind, parameter count.
    const std::tuple<const char*, int32_t, int32_t, int32_t> Rows[] = {
        {"Dummy", 0, 0, 20}, {"SetRandomSeed", 1, 0, 1}, {"PlaneSetReferSize", 2, 9, 11}, {"PlaneMake", 3, 9, 5},
        {"PlaneDuplicate", 6, 9, 5}, {"NilPlaneMove", 7, 0, 4}, {"PictureMake", 15, 10, 4},
        {"PictureMakeForPath2", 16, 10, 10}, {"PictureDuplicate", 17, 10, 1}, {"NilPictureLight", 33, 0, 8},
        {"NilPictureFilterDiffuse", 38, 0, 5}, {"NilPlaneFilterSobel", 43, 0, 2}, {"NilPlaneFilterDiffuse", 45, 0, 5},
        {"NilPictureStainedGlass", 51, 0, 11}, {"PathRough", 52, 8, 7}};
    const TPaintFunctionRec* Table = PaintFunctionTable();
    ASSERT_NE(Table, nullptr);
    for (const auto& [Name, Position, Result, Count] : Rows) {
        EXPECT_EQ(FindPaintFunction(Name), Position) << Name; // a twin is found at its first position
        EXPECT_EQ(std::pair(Table[Position].ResultKind, Table[Position].ParamCount), std::pair(Result, Count)) << Name;
    }
    for (const char* Miss : {"", "planemake", "PlaneMake ", "Plane"})
        EXPECT_EQ(FindPaintFunction(Miss), -1) << Miss;
    EXPECT_EQ(FindPaintFunction(nullptr, "PlaneMake"), -1); // no table: its allocation failed
}

TEST(PaintFunctionTable, EntriesFieldByField)
{
    for (int32_t I = 1; I <= 20; ++I)
        EXPECT_EQ(Param("Dummy", I), std::to_string(I) + " 0");
    const std::string NoYes = " 5 No|Yes", FillArea = " 5 線|塗りつぶし|線と塗りつぶし|線(外側)|プロパティ指定";
    const std::string Blend = " 5 通常|乗算|スクリーン|オーバーレイ|ハードライト|比較(暗)|比較(明)|差|色相|彩度|輝度|加減算";
    // Parameters 1, 2, ... of each function; "" is not checked.
    const std::pair<const char*, std::vector<std::string>> Functions[] = {
        {"PlaneSetReferSize",
         {"Path 8", "線種 18", "塗りつぶし指定" + FillArea, "カラー 1 0..255", "余白値１ 1 -99999..99999",
          "余白値２ 4 0..99999", "余白値２種類 5 絶対値|ガウス", "余白値２引数 1 -100..100", "余白値３(X) 1 -100..100",
          "余白値３(Y) 1 -100..100", "BackGroudnPict 10"}},
        {"PlaneMake", {"X(Cx) 1 -99999..99999", "", "幅(W) 1 1..99999", "", "塗り潰し値 1 0..255"}},
        {"PlaneDuplicate", {"Src Plane 9", "NoCopy" + NoYes, "BitCount 5 8|16", "塗りFlag 13", "NoExec" + NoYes}},
        {"NilPlaneMove", {"Dest  Plane 9", "Mask  Plane 9", "Dx 1 -1000..1000/-50..50", "Dy 1 -1000..1000/-50..50"}},
        {"NilPlaneDrawPathGradation",
         {"", "", "", "", "", "", "", "ガンマ値(>0.01) 4 0.01..10/0.1..10~1", "アンチエリアス" + NoYes}},
        {"NilPlanePaintFill2", {"", "", "", "", "", "塗り方法 13", "塗りつぶし指定" + FillArea, "", "描画方法" + Blend}},
        {"NilPlaneFillCol", {"Dst   Plane 9", "", "Color        1 0..255"}},
        {"PictureMakeForPath2",
         {"", "", "", "ダミー 1", "余白値１ 1 0..99999", "", "", "余白値２引数 4 -99999..99999", "", "余白値３(Y) 4 0..99999"}},
        {"NilPictureMerge", {"", "", "Plane Mask   9", "Merge Mode" + Blend}},
        {"NilPictureFillColEmboss", {"", "", "ColorHighlight 11", "ColorShadow 11"}},
        {"NilPicturePaintFill2", {"Dest  Picture 10", "", "", "", "", "塗り方法 12"}},
        {"NilPlaneContBright", {"", "", "Contrast    1 0..200", "Bright 1 -255..255"}},
        {"NilPictureFilterEmboss", {"", "", "Size 4 0..50"}},
        {"NilPlaneFilterGradateMove", {"", "", "Size 4 0..1000"}},
        {"NilPlaneFilterEmboss", {"", "", "Size 4 0..50", "", "適用度(%) 1 0..200/0..200", "", "", "", "ラップ" + NoYes}},
        {"NilPictureLight",
         {"", "", "Bump Plane 9", "照明設定 15", "Path 8", "反射画像 14", "反射率 1 0..100", "反射の画質 5 低|普通|きれい"}},
        {"NilPictureFilterSize", {"", "", "Type 5 ガウス|平均|最大|最小|中央値|油絵", "Size 4 0..50", "回数 1 0..10/0..5"}},
        {"NilPlaneStainedGlass",
         {"", "", "角数 5 4|6", "", "", "線の色 11", "", "iDx 1 -200..200", "", "", "アンチエリアス" + NoYes}},
        {"PathRough", {"パス 8", "ピッチ下限 1", "", "", "", "前の影響力 4", "曲線0／直線1 1"}},
    };
    for (const auto& [Function, Params] : Functions)
        for (size_t I = 0; I < Params.size(); ++I)
            if (!Params[I].empty()) {
                EXPECT_EQ(Param(Function, int32_t(I) + 1), Params[I]) << Function;
            }
    for (int32_t I = 1; I < 7; ++I)
        EXPECT_EQ(Entry("PathRough").Params[I].Limits.None, nullptr) << I;
    const TFloatParamRange& G = *Entry("NilPlaneDrawPathGradation").Params[7].Limits.Real;
    EXPECT_EQ((std::vector<double>{G.Precision, G.LineSize, G.PageSize}), (std::vector<double>{0.01, 0.01, 0.05}));
    const std::pair<const char*, const char*> Sets[] = {
        {"Dummy", ""}, {"PlaneSetReferSize", "1,2,3,4"}, {"PlaneMake", "1,2,3,4,5,6"}, // 6: the picture store
        {"PlaneDuplicate", "1"}, {"NilPlaneMove", "1,3,4"}, {"NilPlaneDrawPathGradation", "1,4,5,6,7,8,9"},
        {"NilPlanePaintFill2", "1,3,6"}, {"NilPlaneFillCol", "1"}, {"NilPictureFillColEmboss", "1,2,3,4,5"},
        {"NilPlaneContBright", "1,3,4,5"}, {"NilPlaneFilterEmboss", "1,3,4,5"}, {"NilPictureLight", "1,4"},
        {"NilPlaneStainedGlass", "1,3,4,5"}, {"PathRough", ""}};
    for (const auto& [Function, Set] : Sets)
        EXPECT_EQ(Required(Function), Set) << Function;
}

TEST(PaintFunctionTable, ChoicesRequiredArgsNumbersAndRanges)
{
    const char* const* Blend = Entry("NilPictureMerge").Params[3].Limits.Choices;
    const char* const* NoYes = Entry("NilPlaneMerge").Params[5].Limits.Choices;
    // Unknown or missing texts give 0, the same as the first choice.
    EXPECT_EQ((std::vector<int32_t>{IndexOfChoice("加減算", Blend), IndexOfChoice("Unknown", Blend),
                                    IndexOfChoice(nullptr, Blend), IndexOfChoice("Yes", nullptr),
                                    IndexOfChoice("Yes", NoYes), IndexOfChoice("yes", NoYes)}),
              (std::vector<int32_t>{11, 0, 0, 0, 1, 0}));
    int Dummy = 0;
    void* const P = &Dummy;
    void* Args[5] = {P, nullptr, P, P, nullptr};
    EXPECT_EQ(CheckRequiredArgs(Entry("NilPlaneMove").Required, Args), 0); // 2 and the store are optional
    Args[3] = Args[0] = nullptr;
    EXPECT_EQ(CheckRequiredArgs(Entry("NilPlaneMove").Required, Args), 1); // the lowest missing
    void* Make[6] = {P, P, P, P, P, P};
    EXPECT_EQ(CheckRequiredArgs(Entry("PlaneMake").Required, Make), 0);
    // An argument the caller did not pass at all counts as nil.
    EXPECT_EQ(CheckRequiredArgs(Entry("PlaneMake").Required, std::span<void* const>(Make, 5)), 6);
    EXPECT_EQ(CheckRequiredArgs(TArgSet{}, std::span<void* const>()), 0);
    std::vector<void*> Many(256, P);
    Many[255] = nullptr;
    EXPECT_EQ(CheckRequiredArgs(ArgNumbers({256}), Many), 256);
    // A failed read is a flag of its own: "-1000" is a number like any other.
    EXPECT_EQ((std::pair{ReadIntArg("-1000", 5).Value, ReadIntArg("-1000", 5).Parsed}), (std::pair{-1000, true}));
    EXPECT_EQ(ReadIntArg("-99999", 5).Value, -99999);
    for (const char* Bad : {"abc", "", "12x", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(ReadIntArg(Bad, 7).Parsed) << Bad;
        EXPECT_EQ(ReadIntArg(Bad, 7).Value, 7) << Bad;
    }
    EXPECT_EQ((std::pair{ReadRealArg("-1000", 1).Value, ReadRealArg("-1000", 1).Parsed}), (std::pair{-1000.0, true}));
    EXPECT_EQ(ReadRealArg("2.5", 1).Value, 2.5);
    for (const char* Bad : {"nan", "", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(ReadRealArg(Bad, -1).Parsed);
        EXPECT_EQ(ReadRealArg(Bad, -1).Value, -1.0);
    }
    // Positions reach -99999: legal values below -999 are accepted.
    const double XFloor = ParamArgFloor(Entry("PlaneMake").Params[0]);
    EXPECT_EQ(XFloor, -99999.0);
    for (const auto& [Text, Code] : {std::pair{"-5000", 0}, {"-1000", 0}, {"-100000", 0x10001}, {"left", 0x10001}}) {
        const TIntArg X = ReadIntArg(Text, 0);
        EXPECT_EQ(CheckNumberArg(X.Parsed, X.Value, XFloor, 1), Code) << Text;
    }
    // A parameter whose range starts above -999 keeps -999 as its floor.
    const double Floor = ParamArgFloor(Entry("NilPlaneMerge").Params[3]);
    EXPECT_EQ(Floor, -999.0);
    EXPECT_EQ(CheckNumberArg(true, -999, Floor, 4), 0);
    EXPECT_EQ(CheckNumberArg(true, -1000, Floor, 4), 0x10004);
    // Real margins run to -99999 as well; unlimited parameters keep -999.
    EXPECT_EQ(ParamArgFloor(Entry("PictureMakeForPath2").Params[7]), -99999.0);
    EXPECT_EQ(ParamArgFloor(Entry("PathRough").Params[1]), -999.0);
    EXPECT_EQ(CheckNumberArg(true, -20000.5, -99999, 8), 0);
}
