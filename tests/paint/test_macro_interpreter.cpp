#include "paint/macro_interpreter.h"

#include "foundation/string_list.h"
#include "foundation/user_error.h"
#include "model/store/picture_store.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "paint/picture_cache.h"
#include "paint/paint_spy_table.h"
#include "platform/message_box.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr TRect Empty{-1, -1, -2, -2};
constexpr uint32_t Final = 0x10000; // line flag 1
const TTvmPairs NoObjects = {{"", ""}, {"", ""}, {"", ""}};

// Use with a path, plane, picture, number and fill value.
TTvmPairs UseArgs(const std::string& Path, const std::string& Plane, const std::string& Picture,
                  const std::string& N, const std::string& NCaption = "")
{
    return {{Path, ""}, {Plane, ""}, {Picture, ""}, {N, NCaption}, {"", ""}};
}

class MacroInterpreter : public ::testing::Test {
protected:
    void SetUp() override
    {
        gSpy.Reset();
        TTvmWriter W;
        W.Macro("束縛")
            .Line("MakePlane", 1, "P", {{"1", ""}})
            .Line("MakePicture", 1, "Q", {{"2", ""}})
            .Line("MakePath", 2, "Pa", {{"", "*Primary"}, {"5", ""}})
            .Line("Use", 5, "", {{"pa", "路"}, {"P", ""}, {"q", ""}, {"7", "数"}, {"41,x", "塗り"}})
            .Line("Use", 5, "", {{"", "*primary"}, {"", "*Primary"}, {"", "*PRIMARY|x"}, {"", ""}, {"", ""}})
            .Line("Use", 5, "", UseArgs("", "mask", "PictureBackGround", "50"))
            .Line("Use", 5, "", UseArgs("", "", "picturebackground", "60"))
            .Line("Use", 2, "", {{"pa", ""}, {"p", ""}})
            .Line("Use", 7, "", {{"", ""}, {"", ""}, {"", ""}, {"", ""}, {"", ""}, {"x", ""}, {"y", ""}})
            .End();
        W.Macro("関数なし").Line("Nope", 0, "", {}).End();
        W.Macro("入口なし").Line("NoEntry", 0, "", {}).End();
        W.Macro("未登録").Line("MakePlane", 1, "P", {{"1", ""}}).Line("Use", 5, "", UseArgs("", "Q", "", "1")).End();
        W.Macro("種類違い").Line("MakePicture", 1, "Q", {{"1", ""}}).Line("Use", 5, "", UseArgs("", "Q", "", "1")).End();
        W.Macro("不足1").Line("Need", 2, "", {{"", ""}, {"5", ""}}).End();
        W.Macro("不足2").Line("MakePlane", 1, "P", {{"1", ""}}).Line("Need", 1, "", {{"P", ""}}).End();
        W.Macro("拒否").Line("Refuse", 1, "", {{"abc", ""}}).End();
        W.Macro("使う").Line("Use", 5, "", UseArgs("", "", "", "1")).End();
        W.Macro("作る").Line("MakePlane", 1, "P", {{"1", ""}}).End();
        W.Macro("荒れ").Line("PathRough", 1, "R", {{"", "*Primary"}}).End();
        W.Macro("非nil").Line("NoneButObject", 0, "", {}).End();
        W.Macro("nil").Line("MakerNil", 0, "X", {}).End();
        W.Macro("Cx").Line("Use", 5, "", UseArgs("", "", "", "3", "*cx")).End();
        W.Macro("Cy").Line("Use", 5, "", UseArgs("", "", "", "3", "*CY")).End();
        W.Macro("キャッシュ")
            .Line("MakePlane", 1, "P", {{"1", ""}})
            .Line("MakePicture", 1, "Q", {{"2", ""}})
            .Line("Use", Final | 5, "", UseArgs("", "P", "Q", "1"))
            .Line("Use", Final | 5, "", UseArgs("", "", "PictureBackGround", "2"))
            .End();
        W.Macro("キャッシュパス")
            .Line("MakePath", 2, "Pa", {{"", "*Primary"}, {"0", ""}})
            .Line("MakePlane", 1, "P", {{"1", ""}})
            .Line("Use", Final | 5, "", UseArgs("Pa", "P", "", "1"))
            .End();
        W.Macro("停止")
            .Line("MakePlane", 1, "P", {{"1", "Width"}})
            .Line("Use", 5, "", {{"", ""}, {"P", ""}, {"", "*Primary"}, {"4", "width|t"}, {"", ""}})
            .Line("Use", 5, "", UseArgs("", "", "", "5", "Width"))
            .End();
        W.Macro("中断")
            .Line("Use", 5, "", UseArgs("", "", "PictureBackGround", "50"))
            .Line("Use", 5, "", UseArgs("", "", "PictureBackGround", "60"))
            .Line("Use", 5, "", UseArgs("", "", "", "70"))
            .End();
        W.Macro("Q").Line("Use", 5, "", UseArgs("", "", "", "1", "強さ")).End();
        W.Macro("Q_Low")
            .Line("MakePlane", 1, "P", {{"9", "強さ"}})
            .Line("Use", Final | 5, "", UseArgs("", "P", "", "9", "強さ"))
            .End();
        W.Macro("R").Line("Use", 5, "", UseArgs("", "", "", "2", "強さ")).End();
        W.Macro("S").Line("Use", 5, "", UseArgs("", "", "", "3", "強さ")).End();
        W.Macro("S_Mid").Line("Use", 5, "", UseArgs("", "", "", "30")).End();
        W.End();

        TTvmWriter WP;
        WP.Macro("移動").Line("MakePath", 2, "ResultPath", {{"", "*Primary"}, {"1", ""}}).End();
        WP.Macro("移動10")
            .Line("MakePath", 2, "A", {{"", "*Primary"}, {"4", ""}})
            .Line("MakePath", 2, "ResultPath", {{"a", ""}, {"6", ""}})
            .End();
        WP.Macro("結果なし").Line("MakePath", 2, "A", {{"", "*Primary"}, {"1", ""}}).End();
        WP.Macro("未登録パス")
            .Line("MakePath", 2, "ResultPath", {{"", "*Primary"}, {"1", ""}})
            .Line("MakePath", 2, "B", {{"X", ""}, {"1", ""}})
            .End();
        WP.Macro("失敗パス").Line("Refuse", 1, "ResultPath", {{"z", ""}}).End();
        WP.Macro("面").Line("MakePlane", 1, "ResultPath", {{"1", ""}}).End();
        WP.Macro("nilパス").Line("PathNil", 0, "ResultPath", {}).End();
        WP.Macro("非nilパス").Line("NoneButObject", 0, "", {}).End();
        WP.Macro("関数なしパス").Line("Nope", 0, "", {}).End();
        WP.Macro("面引数")
            .Line("Use", 5, "", {{"", "*Primary"}, {"P", ""}, {"Q", ""}, {"1", ""}, {"", ""}})
            .Line("MakePath", 2, "ResultPath", {{"", "*Primary"}, {"0", ""}})
            .End();
        WP.End();
        Dir.Put("Macro.tvm", W.B);
        Dir.Put("MacPath.tvm", WP.B);
        LoadMacroLibraries(Dir.Dir);

        RecPictureCreate(Target, TPoint{0, 0}, 8, 8, 24, false);
        RecPictureCreate(PrimaryPicture, TPoint{0, 0}, 2, 2, 24, false);
        RecPictureCreate(Mask, TPoint{0, 0}, 2, 2, 8, false);
        Planes.AddObject("Mask", &Mask);
        RecPolyLineSetCount(Source, 3);
        Source.Points = {{0, 0}, {10, 0}, {10, 5}};
        Source.pabType = {PT_MOVETO, PT_LINETO, PT_LINETO};
        RecPathCalcBounds(Source);
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t Flags) {
            Boxes.push_back(Caption + "|" + std::to_string(Flags) + "|" + Text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHandler(OldBox);
        RecPictureClear(Target);
        RecPictureClear(PrimaryPicture);
        RecPictureClear(Mask);
        FreeMacroLibraries();
        gSpy.Reset();
    }

    static std::unique_ptr<TMacro> Lib(const std::string& Name)
    {
        auto M = std::make_unique<TMacro>();
        EXPECT_TRUE(M->LoadFromLibrary(Name)) << Name;
        return M;
    }
    TMacroPaintArgs Args(int32_t Instance = 3)
    {
        TMacroPaintArgs A;
        A.Target = &Target;
        A.NamedPlanes = &Planes;
        A.PrimaryPath = &Source;
        A.PrimaryPicture = &PrimaryPicture;
        A.Instance = Instance;
        A.Store = &Store;
        A.Table = cSpyTable;
        return A;
    }
    std::unique_ptr<TMacroStopResult> Run(const TMacro& M, const TMacroPaintArgs& A, TPictureCache* Cache = nullptr)
    {
        return MacroPaint(M, Cache, A, R1, R2);
    }
    std::string ErrorOf(const std::string& Name)
    {
        auto M = Lib(Name);
        return MessageOf<EUserError>([&] { Run(*M, Args()); });
    }
    std::string PathRun(const std::string& Name, TrecPath& Result)
    {
        Boxes.clear();
        auto M = Lib(Name);
        MacroMakePath(*M, Source, Result, nullptr, cSpyTable);
        return Boxes.empty() ? std::string() : Boxes.front();
    }

    TTempDir Dir;
    TListRecPict Store{nullptr};
    TrecPicture Target{};
    TrecPicture PrimaryPicture{};
    TrecPicture Mask{};
    TStringList Planes;
    TrecPath Source;
    TRect R1 = Empty;
    TRect R2 = Empty;
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBox;
};

TrecPath OnePointPath(int32_t X, int32_t Y)
{
    TrecPath P;
    RecPolyLineSetCount(P, 1);
    P.Points[0] = {X, Y};
    P.pabType[0] = PT_MOVETO;
    RecPathCalcBounds(P);
    return P;
}

} // namespace

TEST_F(MacroInterpreter, BindsObjectArgumentsByResultName)
{
    auto M = Lib("束縛");
    EXPECT_EQ(Run(*M, Args(12345)), nullptr);

    ASSERT_EQ(gSpy.Names(), (std::vector<std::string>{"MakePlane", "MakePicture", "MakePath", "Use", "Use",
                                                      "Use", "Use", "Use", "Use"}));
    void* Plane = gSpy.Calls[0].Made;
    void* Picture = gSpy.Calls[1].Made;
    void* Path = gSpy.Calls[2].Made;
    EXPECT_EQ(gSpy.Calls[2].Args[0], &Source); // empty path captioned *Primary
    EXPECT_EQ(std::string(gSpy.Text(2, 1)), "5");

    // Results by name, whatever the letter case; texts as they are.
    const TSpyCall& Named = gSpy.Calls[3];
    EXPECT_EQ(Named.Args[0], Path);
    EXPECT_EQ(Named.Args[1], Plane);
    EXPECT_EQ(Named.Args[2], Picture);
    EXPECT_EQ(std::string(gSpy.Text(3, 3)), "7");
    EXPECT_EQ(std::string(gSpy.Text(3, 4)), "41,x");
    EXPECT_EQ(Named.Args[5], &Store);
    EXPECT_EQ(Named.Abort, nullptr);
    EXPECT_FALSE(Named.MeasureOnly);

    // Empty values: *Primary gives the primary path or picture, a plane nil.
    const TSpyCall& Primary = gSpy.Calls[4];
    EXPECT_EQ(Primary.Args[0], &Source);
    EXPECT_EQ(Primary.Args[1], nullptr);
    EXPECT_EQ(Primary.Args[2], &PrimaryPicture);
    EXPECT_EQ(Primary.Texts[3], ""); // an empty text is still a text, not nil

    // The caller's named plane and the target.
    EXPECT_EQ(gSpy.Calls[5].Args[0], nullptr);
    EXPECT_EQ(gSpy.Calls[5].Args[1], &Mask);
    EXPECT_EQ(gSpy.Calls[5].Args[2], &Target);
    EXPECT_EQ(gSpy.Calls[6].Args[2], &Target);

    // Only the lines that bind the target widen the caller's rectangles.
    EXPECT_EQ(R1, (TRect{50, 50, 61, 61}));
    EXPECT_EQ(R2, (TRect{100, 100, 121, 121}));
}

TEST_F(MacroInterpreter, ArgumentsFollowTheFunctionsParameterList)
{
    auto M = Lib("束縛");
    Run(*M, Args());
    ASSERT_EQ(gSpy.Calls.size(), 9u);
    // A line with two parameters: the others are nil, the store after the last.
    const TSpyCall& Short = gSpy.Calls[7];
    EXPECT_EQ(Short.Args[0], gSpy.Calls[2].Made);
    EXPECT_EQ(Short.Args[1], gSpy.Calls[0].Made);
    EXPECT_EQ(Short.Args[2], nullptr);
    EXPECT_EQ(Short.Args[4], nullptr);
    EXPECT_EQ(Short.Args[5], &Store);
    // A line with seven: the two beyond the function's five are not passed.
    EXPECT_EQ(gSpy.Calls[8].Args[5], &Store);
}

TEST_F(MacroInterpreter, ErrorTexts)
{
    EXPECT_EQ(ErrorOf("関数なし"), "TMacro.Paint: Function Not Found");
    EXPECT_EQ(ErrorOf("入口なし"), "TMacro.Paint: Function Not Found");
    EXPECT_EQ(ErrorOf("未登録"), "未登録:2行目のQ は、登録されていません。");
    // Each kind has its own names: a picture does not bind a plane argument.
    EXPECT_EQ(ErrorOf("種類違い"), "種類違い:2行目のQ は、登録されていません。");
    EXPECT_EQ(ErrorOf("不足1"), "Need の実行に失敗。戻り値 = 00000001");
    EXPECT_EQ(ErrorOf("不足2"), "Need の実行に失敗。戻り値 = 00000002");
    EXPECT_EQ(ErrorOf("拒否"), "Refuse の実行に失敗。戻り値 = 00010001");
    gSpy.Codes["Use"] = 0x80000;
    EXPECT_EQ(ErrorOf("使う"), "Use の実行に失敗。戻り値 = 00080000");
    gSpy.Codes["Use"] = 0x10004;
    EXPECT_EQ(ErrorOf("使う"), "Use の実行に失敗。戻り値 = 00010004");
    gSpy.Codes["MakePlane"] = 3; // the plane it made is freed with the failure
    EXPECT_EQ(ErrorOf("作る"), "MakePlane の実行に失敗。戻り値 = 00000003");
    EXPECT_EQ(ErrorOf("荒れ"), "PathRough の実行に失敗。戻り値 = 00000009");
    EXPECT_EQ(ErrorOf("非nil"), "NoneButObject関数の戻り値が nil ではありません。");
    EXPECT_EQ(ErrorOf("nil"), "MakerNil関数の戻り値が nil です。");
    EXPECT_EQ(ErrorOf("Cx"), "TMacro.Paint: (strIComp(pcQuickName, cstrCxParam) = 0)");
    EXPECT_EQ(ErrorOf("Cy"), "(strIComp(pcQuickName, cstrCyParam) = 0)");
}

TEST_F(MacroInterpreter, DisabledMacroDoesNothing)
{
    auto M = Lib("束縛");
    M->SetEnabled(0);
    R1 = R2 = TRect{9, 9, 9, 9};
    EXPECT_EQ(Run(*M, Args()), nullptr);
    EXPECT_TRUE(gSpy.Calls.empty());
    EXPECT_EQ(R1, (TRect{9, 9, 9, 9}));
    EXPECT_EQ(R2, (TRect{9, 9, 9, 9}));
}

TEST_F(MacroInterpreter, CacheRunsCallOnlyFinalLines)
{
    auto M = Lib("キャッシュ");
    TPictureCache Cache;
    TMacroPaintArgs A = Args(7);
    A.UseCache = true;

    Run(*M, A, &Cache); // filling run
    ASSERT_EQ(gSpy.Names(), (std::vector<std::string>{"MakePlane", "MakePicture", "Use", "Use"}));
    ASSERT_EQ(Cache.Count(), 2); // the final lines' inputs, not the target
    TrecPicture* P = Cache.Find("P\t7");
    TrecPicture* Q = Cache.Find("Q\t7");
    ASSERT_NE(P, nullptr);
    ASSERT_NE(Q, nullptr);
    ASSERT_NE(P->pBits, nullptr);
    EXPECT_EQ(P->pBits, gSpy.Calls[0].MadeBits); // the made plane's pixels, now the cache's
    EXPECT_EQ(Cache.Find("PictureBackGround\t7"), nullptr);

    gSpy.Calls.clear();
    R1 = R2 = Empty;
    Run(*M, A, &Cache); // reusing run
    ASSERT_EQ(gSpy.Names(), (std::vector<std::string>{"Use", "Use"}));
    EXPECT_EQ(gSpy.Calls[0].Args[1], P);
    EXPECT_EQ(gSpy.Calls[0].Args[2], Q);
    EXPECT_EQ(gSpy.Calls[1].Args[2], &Target);
    EXPECT_EQ(R1, (TRect{2, 2, 3, 3}));

    gSpy.Calls.clear();
    TMacroPaintArgs Other = Args(8);
    Other.UseCache = true;
    Run(*M, Other, &Cache);
    EXPECT_EQ(gSpy.Calls.size(), 4u); // another instance fills its own entries
    EXPECT_EQ(Cache.Count(), 4);

    gSpy.Calls.clear();
    TMacroPaintArgs Measure = A;
    Measure.MeasureOnly = true;
    Run(*M, Measure, &Cache); // measuring neither uses nor clears the cache
    EXPECT_EQ(gSpy.Calls.size(), 4u);
    EXPECT_TRUE(gSpy.Calls[2].MeasureOnly);
    EXPECT_EQ(gSpy.Calls[0].MadeBits, nullptr);
    EXPECT_EQ(Cache.Count(), 4);

    gSpy.Calls.clear();
    Run(*M, Args(7), &Cache); // a paint without the flag clears the cache
    EXPECT_EQ(gSpy.Calls.size(), 4u);
    EXPECT_EQ(Cache.Count(), 0);

    gSpy.Calls.clear();
    Run(*M, A, nullptr); // without a cache every run is a full run
    Run(*M, A, nullptr);
    EXPECT_EQ(gSpy.Calls.size(), 8u);
}

TEST_F(MacroInterpreter, ReusingRunNamesLineWithoutMacroName)
{
    // Paths are not kept in the picture cache: a final line that needs one
    // made by a skipped line cannot run again.
    auto M = Lib("キャッシュパス");
    TPictureCache Cache;
    TMacroPaintArgs A = Args();
    A.UseCache = true;
    Run(*M, A, &Cache);
    ASSERT_NE(Cache.Find("P\t3"), nullptr);
    EXPECT_EQ(MessageOf<EUserError>([&] { Run(*M, A, &Cache); }), "3行目のPa は、登録されていません。");
}

TEST_F(MacroInterpreter, StopResultHandsBackTheLinesPlanesAndPictures)
{
    auto M = Lib("停止");
    TMacroPaintArgs A = Args();
    A.StopCaption = "WIDTH"; // the first line matches too, but it never stops
    std::unique_ptr<TMacroStopResult> Stop = Run(*M, A);
    ASSERT_NE(Stop, nullptr);
    EXPECT_EQ(gSpy.Names(), std::vector<std::string>{"MakePlane"});
    EXPECT_EQ(Stop->LineIndex, 1);
    void* Plane = gSpy.Calls[0].Made;
    EXPECT_EQ(Stop->Args, (std::vector<TrecPicture*>{nullptr, static_cast<TrecPicture*>(Plane),
                                                     &PrimaryPicture, nullptr, nullptr}));
    // The plane made by the run now belongs to the result; the caller's
    // primary picture does not.
    EXPECT_EQ(Stop->Owned, std::vector<TrecPicture*>{static_cast<TrecPicture*>(Plane)});
    EXPECT_NE(static_cast<TrecPicture*>(Plane)->pBits, nullptr);

    gSpy.Calls.clear();
    A.StopCaption = "Widt"; // matches up to "|" only
    EXPECT_EQ(Run(*M, A), nullptr);
    EXPECT_EQ(gSpy.Calls.size(), 3u);
}

TEST_F(MacroInterpreter, QualityVariants)
{
    auto Q = Lib("Q");
    Q->SetParamValue("強さ", "4");
    TMacroPaintArgs A = Args(0);
    A.Quality = cPaintQualityLow;
    EXPECT_EQ(Run(*Q, A), nullptr);
    ASSERT_EQ(gSpy.Names(), (std::vector<std::string>{"MakePlane", "Use"})); // Q_Low's lines
    EXPECT_STREQ(gSpy.Text(0, 0), "4"); // with Q's user parameters
    EXPECT_STREQ(gSpy.Text(1, 3), "4");

    // The variant keeps its pictures in Q's cache.
    TPictureCache Cache;
    A.UseCache = true;
    gSpy.Calls.clear();
    Run(*Q, A, &Cache);
    ASSERT_NE(Cache.Find("P\t0"), nullptr);
    gSpy.Calls.clear();
    Run(*Q, A, &Cache);
    ASSERT_EQ(gSpy.Names(), std::vector<std::string>{"Use"});
    EXPECT_EQ(gSpy.Calls[0].Args[1], Cache.Find("P\t0"));

    auto R = Lib("R");
    gSpy.Calls.clear();
    R1 = R2 = TRect{9, 9, 9, 9};
    A = Args(0);
    A.Quality = cPaintQualityLow; // no R_Low: nothing is painted
    EXPECT_EQ(Run(*R, A), nullptr);
    EXPECT_TRUE(gSpy.Calls.empty());
    EXPECT_EQ(R1, (TRect{9, 9, 9, 9}));

    const std::pair<const char*, int32_t> Cases[] = {
        {"R", cPaintQualityMid}, // no R_Mid: R itself
        {"S", cPaintQualityMid},
        {"S", cPaintQualityVariant},
        {"S", 7},
        {"Q", cPaintQualityNormal},
    };
    const char* Expected[] = {"2", "30", "3", "3", "1"};
    for (size_t I = 0; I < std::size(Cases); ++I) {
        gSpy.Calls.clear();
        A.Quality = Cases[I].second;
        Run(*Lib(Cases[I].first), A);
        ASSERT_EQ(gSpy.Calls.size(), 1u) << I;
        EXPECT_STREQ(gSpy.Text(0, 3), Expected[I]) << I;
    }
}

TEST_F(MacroInterpreter, StepHookAndAbortBetweenLines)
{
    auto M = Lib("中断");
    uint8_t Abort = 0;
    std::vector<std::pair<int32_t, int32_t>> Steps;
    TMacroPaintArgs A = Args();
    A.Abort = &Abort;
    A.StepHook = [&](int32_t Done, int32_t Total) {
        Steps.emplace_back(Done, Total);
        if (Done == 2)
            Abort = 1;
    };
    EXPECT_EQ(Run(*M, A), nullptr);
    EXPECT_EQ(Steps, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}, {2, 3}}));
    ASSERT_EQ(gSpy.Calls.size(), 2u);
    EXPECT_EQ(gSpy.Calls[0].Abort, &Abort);
    // The line that saw the abort adds nothing to the rectangles.
    EXPECT_EQ(R1, (TRect{50, 50, 51, 51}));

    // Without an abort byte the hook is not called.
    Steps.clear();
    gSpy.Calls.clear();
    A.Abort = nullptr;
    Run(*M, A);
    EXPECT_TRUE(Steps.empty());
    EXPECT_EQ(gSpy.Calls.size(), 3u);
}

TEST_F(MacroInterpreter, MakePath)
{
    TrecPath Result = OnePointPath(99, 99);
    EXPECT_EQ(PathRun("移動", Result), "");
    ASSERT_EQ(Result.Count, 3);
    EXPECT_EQ(Result.Points[2], (TPoint{11, 6}));
    EXPECT_EQ(gSpy.Calls[0].Args[2], nullptr); // no picture store

    EXPECT_EQ(PathRun("移動10", Result), "");
    EXPECT_EQ(Result.Points[2], (TPoint{20, 15}));

    // Plane and picture arguments stay nil in a path run.
    gSpy.Calls.clear();
    EXPECT_EQ(PathRun("面引数", Result), "");
    ASSERT_EQ(gSpy.Calls.size(), 2u);
    EXPECT_EQ(gSpy.Calls[0].Args[0], &Source);
    EXPECT_EQ(gSpy.Calls[0].Args[1], nullptr);
    EXPECT_EQ(gSpy.Calls[0].Args[2], nullptr);

    // Failures show a box and leave the result as it was.
    const std::string Error = "エラー|" + std::to_string(MB_ICONHAND) + "|";
    const std::string Plain = "|" + std::to_string(MB_OK) + "|";
    const std::pair<const char*, std::string> Cases[] = {
        {"結果なし", Error + "結果なし:戻り値(ResultPath)がありません。"},
        {"未登録パス", Error + "2行目のX は、登録されていません。"},
        {"失敗パス", Error + "Refuse の実行に失敗。戻り値 = 00010001"},
        {"関数なしパス", Error + "TMacro.MakePath: Function Not Found"},
        {"面", Plain + "MakePlane関数の戻り値が パス以外です"},
        {"nilパス", Plain + "PathNil関数の戻り値が nil です。"},
        {"非nilパス", Plain + "NoneButObject関数の戻り値が nil ではありません。"},
    };
    for (const auto& [Name, Box] : Cases) {
        TrecPath Kept = OnePointPath(99, 99);
        EXPECT_EQ(PathRun(Name, Kept), Box) << Name;
        EXPECT_EQ(Boxes.size(), 1u) << Name;
        ASSERT_EQ(Kept.Count, 1) << Name;
        EXPECT_EQ(Kept.Points[0], (TPoint{99, 99})) << Name;
    }
}

TEST_F(MacroInterpreter, MatchParamCaptionI)
{
    EXPECT_TRUE(MatchParamCaptionI("*Primary", "*primary"));
    EXPECT_TRUE(MatchParamCaptionI("*PRIMARY|tag", "*Primary"));
    EXPECT_FALSE(MatchParamCaptionI("*Primary2", "*Primary"));
    EXPECT_FALSE(MatchParamCaptionI("*Prim", "*Primary"));
}

// The list's paint and path runs over the interpreter.
TEST_F(MacroInterpreter, ListPaintProgressRectanglesAndAbort)
{
    TMacros List;
    List.Add(Lib("中断"));
    List.Add(Lib("R"));
    TPaintProgress Record;
    int Owner = 0;
    Record.Owner = &Owner;
    std::vector<int32_t> Seen;
    auto Progress = [&](TPaintProgress& P) { Seen.push_back(P.Current * 100 + P.Total); };
    R1 = R2 = TRect{9, 9, 9, 9};
    List.Paint(Args(), Progress, &Record, R1, R2);
    EXPECT_EQ(Seen, (std::vector<int32_t>{102, 202}));
    EXPECT_EQ(gSpy.Calls.size(), 4u);
    EXPECT_EQ(R1, (TRect{50, 50, 61, 61})); // the caller's rectangles start empty
    EXPECT_EQ(R2, (TRect{100, 100, 121, 121}));

    // Measuring reports no progress; without an owner the record is not used.
    Seen.clear();
    TMacroPaintArgs Measure = Args();
    Measure.MeasureOnly = true;
    List.Paint(Measure, Progress, &Record, R1, R2);
    TPaintProgress NoOwner;
    List.Paint(Args(), Progress, &NoOwner, R1, R2);
    EXPECT_TRUE(Seen.empty());
    EXPECT_EQ(NoOwner.Total, 0);

    // An abort set during the first macro ends the list after it.
    uint8_t Abort = 0;
    TMacroPaintArgs A = Args();
    A.Abort = &Abort;
    gSpy.Calls.clear();
    gSpy.OnCall = [&](const TSpyCall& C) {
        if (C.Function == "Use" && C.Texts[3] == "60")
            Abort = 1;
    };
    List.Paint(A, nullptr, nullptr, R1, R2);
    EXPECT_EQ(gSpy.Calls.size(), 2u);
    EXPECT_EQ(R1, (TRect{50, 50, 51, 51}));
}

TEST_F(MacroInterpreter, ListPaintHasNoStopCaption)
{
    TMacros List;
    List.Add(Lib("停止"));
    TMacroPaintArgs A = Args();
    A.StopCaption = "Width";
    List.Paint(A, nullptr, nullptr, R1, R2);
    EXPECT_EQ(gSpy.Calls.size(), 3u);
}

TEST_F(MacroInterpreter, ListMakePathChainsMacros)
{
    TMacros List;
    TrecPath Result = OnePointPath(99, 99);
    List.MakePath(Source, Result, nullptr, {}, cSpyTable); // no macros: a copy
    ASSERT_EQ(Result.Count, 3);
    EXPECT_EQ(Result.Points[2], (TPoint{10, 5}));
    EXPECT_EQ(Result.Bounds, Source.Bounds);

    List.Add(Lib("移動"));
    List.Add(Lib("移動10"));
    List.MakePath(Source, Result, nullptr, {}, cSpyTable);
    EXPECT_EQ(Result.Points[2], (TPoint{21, 16}));

    // An abort after the first macro gives back the source.
    uint8_t Abort = 0;
    std::vector<int32_t> Steps;
    List.MakePath(Source, Result, &Abort, [&](int32_t Done, int32_t Total) {
        Steps.push_back(Done * 10 + Total);
        Abort = 1;
    }, cSpyTable);
    EXPECT_EQ(Steps, std::vector<int32_t>{12});
    EXPECT_EQ(Result.Points[2], (TPoint{10, 5}));
}
