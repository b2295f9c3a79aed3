#include "paint/macro_interpreter.h"

#include "foundation/string_list.h"
#include "foundation/user_error.h"
#include "store/picture_store.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "paint/paint_spy_table.h"
#include "paint/picture_cache.h"
#include "platform/message_box.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

using TNames = std::vector<std::string>;
constexpr TRect Empty{-1, -1, -2, -2};
constexpr TRect Nines{9, 9, 9, 9};
constexpr uint32_t Final = 0x10000; // line flag 1

// Use with a path, plane, picture, number and fill value.
TTvmPairs UseArgs(const std::string& Path, const std::string& Plane, const std::string& Picture,
                  const std::string& N, const std::string& NCaption = "")
{
    return {{Path, ""}, {Plane, ""}, {Picture, ""}, {N, NCaption}, {"", ""}};
}

TrecPath OnePointPath(int32_t X, int32_t Y)
{
    TrecPath P;
    RecPolyLineSetCount(P, 1);
    P.Points[0] = {X, Y};
    P.pabType[0] = PT_MOVETO;
    RecPathCalcBounds(P);
    return P;
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
        const std::pair<const char*, const char*> Single[] = {
            {"関数なし", "Nope"}, {"入口なし", "NoEntry"}, {"非nil", "NoneButObject"}, {"関数なしパス", "Nope"}};
        for (const auto& [Name, Function] : Single)
            W.Macro(Name).Line(Function, 0, "", {}).End();
        W.Macro("未登録").Line("MakePlane", 1, "P", {{"1", ""}}).Line("Use", 5, "", UseArgs("", "Q", "", "1")).End();
        W.Macro("種類違い").Line("MakePicture", 1, "Q", {{"1", ""}}).Line("Use", 5, "", UseArgs("", "Q", "", "1")).End();
        W.Macro("不足1").Line("Need", 2, "", {{"", ""}, {"5", ""}}).End();
        W.Macro("不足2").Line("MakePlane", 1, "P", {{"1", ""}}).Line("Need", 1, "", {{"P", ""}}).End();
        W.Macro("拒否").Line("Refuse", 1, "", {{"abc", ""}}).End();
        W.Macro("使う").Line("Use", 5, "", UseArgs("", "", "", "1")).End();
        W.Macro("作る").Line("MakePlane", 1, "P", {{"1", ""}}).End();
        W.Macro("荒れ").Line("PathRough", 1, "R", {{"", "*Primary"}}).End();
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
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t F) {
            Boxes.push_back(Caption + "|" + std::to_string(F) + "|" + Text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHandler(OldBox);
        for (TrecPicture* P : {&Target, &PrimaryPicture, &Mask})
            RecPictureClear(*P);
        FreeMacroLibraries();
        gSpy.Reset();
    }

    static std::unique_ptr<TMacro> Lib(const std::string& Name)
    {
        auto M = std::make_unique<TMacro>();
        EXPECT_TRUE(M->LoadFromLibrary(Name)) << Name;
        return M;
    }
    TMacroPaintArgs Args(int32_t Instance = 3, bool UseCache = false)
    {
        TMacroPaintArgs A;
        A.Target = &Target;
        A.NamedPlanes = &Planes;
        A.PrimaryPath = &Source;
        A.PrimaryPicture = &PrimaryPicture;
        A.Instance = Instance;
        A.Store = &Store;
        A.Table = cSpyTable;
        A.UseCache = UseCache;
        return A;
    }
    std::unique_ptr<TMacroStopResult> Run(const TMacro& M, const TMacroPaintArgs& A, TPictureCache* Cache = nullptr)
    {
        gSpy.Calls.clear();
        return MacroPaint(M, Cache, A, R1, R2);
    }
    std::string PathRun(const std::string& Name, TrecPath& Result)
    {
        Boxes.clear();
        gSpy.Calls.clear();
        MacroMakePath(*Lib(Name), Source, Result, nullptr, cSpyTable);
        return Boxes.empty() ? std::string() : Boxes.front();
    }

    TTempDir Dir;
    TListRecPict Store{nullptr};
    TrecPicture Target{}, PrimaryPicture{}, Mask{};
    TStringList Planes;
    TrecPath Source;
    TRect R1 = Empty, R2 = Empty;
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBox;
};

} // namespace

TEST_F(MacroInterpreter, BindsObjectArgumentsByResultName)
{
    EXPECT_EQ(Run(*Lib("束縛"), Args(12345)), nullptr);
    ASSERT_EQ(gSpy.Names(), (TNames{"MakePlane", "MakePicture", "MakePath", "Use", "Use", "Use", "Use", "Use", "Use"}));
    void* Plane = gSpy.Calls[0].Made;
    void* Picture = gSpy.Calls[1].Made;
    void* Path = gSpy.Calls[2].Made;
    EXPECT_EQ(gSpy.Calls[2].Args[0], &Source); // empty path captioned *Primary
    // Results by name, whatever the letter case; texts as they are; the store last.
    EXPECT_EQ(gSpy.Calls[3].Args, (std::vector<void*>{Path, Plane, Picture, gSpy.Calls[3].Args[3],
                                                      gSpy.Calls[3].Args[4], &Store}));
    EXPECT_EQ(gSpy.Calls[3].Texts, (std::vector<std::optional<std::string>>{{}, {}, {}, "7", "41,x"}));
    EXPECT_TRUE(!gSpy.Calls[3].Abort && !gSpy.Calls[3].MeasureOnly);
    // Empty values: *Primary gives the primary path or picture, a plane nil;
    // an empty text is still a text.
    EXPECT_EQ(std::vector<void*>(gSpy.Calls[4].Args.begin(), gSpy.Calls[4].Args.begin() + 3),
              (std::vector<void*>{&Source, nullptr, &PrimaryPicture}));
    EXPECT_EQ(gSpy.Calls[4].Texts[3], "");
    // The caller's named plane and the target.
    EXPECT_EQ(gSpy.Calls[5].Args[1], &Mask);
    EXPECT_EQ(gSpy.Calls[5].Args[2], &Target);
    EXPECT_EQ(gSpy.Calls[6].Args[2], &Target);
    // A line with two parameters: the others nil, the store after the last;
    // a line with seven: the two beyond the function's five are not passed.
    EXPECT_EQ(gSpy.Calls[7].Args, (std::vector<void*>{Path, Plane, nullptr, nullptr, nullptr, &Store}));
    EXPECT_EQ(gSpy.Calls[8].Args[5], &Store);
    // Only the lines that bind the target widen the caller's rectangles.
    EXPECT_EQ(R1, (TRect{50, 50, 61, 61}));
    EXPECT_EQ(R2, (TRect{100, 100, 121, 121}));
    // A disabled macro does nothing.
    auto M = Lib("束縛");
    M->SetEnabled(0);
    R1 = R2 = Nines;
    EXPECT_EQ(Run(*M, Args()), nullptr);
    EXPECT_TRUE(gSpy.Calls.empty());
    EXPECT_EQ(std::pair(R1, R2), std::pair(Nines, Nines));
}

TEST_F(MacroInterpreter, ErrorTexts)
{
    const std::pair<const char*, const char*> Cases[] = {
        {"関数なし", "TMacro.Paint: Function Not Found"},
        {"入口なし", "TMacro.Paint: Function Not Found"},
        {"未登録", "未登録:2行目のQ は、登録されていません。"},
        // Each kind has its own names: a picture does not bind a plane argument.
        {"種類違い", "種類違い:2行目のQ は、登録されていません。"},
        {"不足1", "Need の実行に失敗。戻り値 = 00000001"},
        {"不足2", "Need の実行に失敗。戻り値 = 00000002"},
        {"拒否", "Refuse の実行に失敗。戻り値 = 00010001"},
        {"荒れ", "PathRough の実行に失敗。戻り値 = 00000009"},
        {"非nil", "NoneButObject関数の戻り値が nil ではありません。"},
        {"nil", "MakerNil関数の戻り値が nil です。"},
        {"Cx", "TMacro.Paint: (strIComp(pcQuickName, cstrCxParam) = 0)"},
        {"Cy", "(strIComp(pcQuickName, cstrCyParam) = 0)"},
    };
    for (const auto& [Name, Message] : Cases)
        EXPECT_EQ(MessageOf<EUserError>([&] { Run(*Lib(Name), Args()); }), Message) << Name;
    gSpy.Codes["Use"] = 0x80000;
    EXPECT_EQ(MessageOf<EUserError>([&] { Run(*Lib("使う"), Args()); }), "Use の実行に失敗。戻り値 = 00080000");
    gSpy.Codes["MakePlane"] = 3; // the plane it made is freed with the failure
    EXPECT_EQ(MessageOf<EUserError>([&] { Run(*Lib("作る"), Args()); }), "MakePlane の実行に失敗。戻り値 = 00000003");
}

TEST_F(MacroInterpreter, CacheRunsCallOnlyFinalLines)
{
    auto M = Lib("キャッシュ");
    TPictureCache Cache;
    const TMacroPaintArgs A = Args(7, true);
    Run(*M, A, &Cache); // filling run
    ASSERT_EQ(gSpy.Names(), (TNames{"MakePlane", "MakePicture", "Use", "Use"}));
    ASSERT_EQ(Cache.Count(), 2); // the final lines' inputs, not the target
    TrecPicture *P = Cache.Find("P\t7"), *Q = Cache.Find("Q\t7");
    ASSERT_TRUE(P && Q && P->pBits);
    EXPECT_EQ(P->pBits, gSpy.Calls[0].MadeBits); // the made plane's pixels, now the cache's
    R1 = R2 = Empty;
    Run(*M, A, &Cache); // reusing run
    ASSERT_EQ(gSpy.Names(), (TNames{"Use", "Use"}));
    EXPECT_EQ((std::vector<void*>{gSpy.Calls[0].Args[1], gSpy.Calls[0].Args[2], gSpy.Calls[1].Args[2]}),
              (std::vector<void*>{P, Q, &Target}));
    EXPECT_EQ(R1, (TRect{2, 2, 3, 3}));
    Run(*M, Args(8, true), &Cache);
    EXPECT_EQ(gSpy.Calls.size(), 4u); // another instance fills its own entries
    EXPECT_EQ(Cache.Count(), 4);
    TMacroPaintArgs Measure = A;
    Measure.MeasureOnly = true;
    Run(*M, Measure, &Cache); // measuring neither uses nor clears the cache
    ASSERT_EQ(gSpy.Calls.size(), 4u);
    EXPECT_TRUE(gSpy.Calls[2].MeasureOnly && !gSpy.Calls[0].MadeBits);
    EXPECT_EQ(Cache.Count(), 4);
    Run(*M, Args(7), &Cache); // a paint without the flag clears the cache
    EXPECT_EQ(gSpy.Calls.size(), 4u);
    EXPECT_EQ(Cache.Count(), 0);
    Run(*M, A, nullptr); // without a cache every run is a full run
    Run(*M, A, nullptr);
    EXPECT_EQ(gSpy.Calls.size(), 4u);
    // Paths are not kept in the cache: a final line that needs one made by a
    // skipped line cannot run again, and the error names no macro.
    auto Pa = Lib("キャッシュパス");
    Run(*Pa, Args(3, true), &Cache);
    ASSERT_NE(Cache.Find("P\t3"), nullptr);
    EXPECT_EQ(MessageOf<EUserError>([&] { Run(*Pa, Args(3, true), &Cache); }), "3行目のPa は、登録されていません。");
}

TEST_F(MacroInterpreter, StopResultHandsBackTheLinesPlanesAndPictures)
{
    auto M = Lib("停止");
    TMacroPaintArgs A = Args();
    A.StopCaption = "WIDTH"; // the first line matches too, but it never stops
    std::unique_ptr<TMacroStopResult> Stop = Run(*M, A);
    ASSERT_NE(Stop, nullptr);
    EXPECT_EQ(gSpy.Names(), TNames{"MakePlane"});
    EXPECT_EQ(Stop->LineIndex, 1);
    auto* Plane = static_cast<TrecPicture*>(gSpy.Calls[0].Made);
    EXPECT_EQ(Stop->Args, (std::vector<TrecPicture*>{nullptr, Plane, &PrimaryPicture, nullptr, nullptr}));
    // The plane made by the run now belongs to the result; the caller's
    // primary picture does not.
    EXPECT_EQ(Stop->Owned, std::vector<TrecPicture*>{Plane});
    EXPECT_NE(Plane->pBits, nullptr);
    A.StopCaption = "Widt"; // matches up to "|" only
    EXPECT_EQ(Run(*M, A), nullptr);
    EXPECT_EQ(gSpy.Calls.size(), 3u);
    // A list paint has no stop caption.
    TMacros List;
    List.Add(Lib("停止"));
    gSpy.Calls.clear();
    List.Paint(A, nullptr, nullptr, R1, R2);
    EXPECT_EQ(gSpy.Calls.size(), 3u);
}

TEST_F(MacroInterpreter, QualityVariants)
{
    auto Q = Lib("Q");
    Q->SetParamValue("強さ", "4");
    TMacroPaintArgs A = Args(0, true);
    A.Quality = cPaintQualityLow;
    TPictureCache Cache;
    EXPECT_EQ(Run(*Q, A, &Cache), nullptr);
    ASSERT_EQ(gSpy.Names(), (TNames{"MakePlane", "Use"})); // Q_Low's lines
    EXPECT_STREQ(gSpy.Text(0, 0), "4"); // with Q's user parameters
    EXPECT_STREQ(gSpy.Text(1, 3), "4");
    // The variant keeps its pictures in Q's cache.
    ASSERT_NE(Cache.Find("P\t0"), nullptr);
    Run(*Q, A, &Cache);
    ASSERT_EQ(gSpy.Names(), TNames{"Use"});
    EXPECT_EQ(gSpy.Calls[0].Args[1], Cache.Find("P\t0"));
    R1 = Nines;
    A = Args(0);
    A.Quality = cPaintQualityLow; // no R_Low: nothing is painted
    Run(*Lib("R"), A);
    EXPECT_TRUE(gSpy.Calls.empty());
    EXPECT_EQ(R1, Nines);
    const std::tuple<const char*, int32_t, const char*> Cases[] = {
        {"R", cPaintQualityMid, "2"}, // no R_Mid: R itself
        {"S", cPaintQualityMid, "30"}, {"S", cPaintQualityVariant, "3"}, {"S", 7, "3"},
        {"Q", cPaintQualityNormal, "1"}};
    for (const auto& [Name, Quality, N] : Cases) {
        A.Quality = Quality;
        Run(*Lib(Name), A);
        ASSERT_EQ(gSpy.Calls.size(), 1u) << Name << Quality;
        EXPECT_STREQ(gSpy.Text(0, 3), N) << Name << Quality;
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
        Abort = Done == 2;
    };
    EXPECT_EQ(Run(*M, A), nullptr);
    EXPECT_EQ(Steps, (std::vector<std::pair<int32_t, int32_t>>{{1, 3}, {2, 3}}));
    ASSERT_EQ(gSpy.Calls.size(), 2u);
    EXPECT_EQ(gSpy.Calls[0].Abort, &Abort);
    EXPECT_EQ(R1, (TRect{50, 50, 51, 51})); // the line that saw the abort adds nothing
    // Without an abort byte the hook is not called.
    Steps.clear();
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
    EXPECT_EQ(PathRun("面引数", Result), "");
    EXPECT_EQ(gSpy.Calls.at(0).Args, (std::vector<void*>{&Source, nullptr, nullptr, gSpy.Calls[0].Args[3],
                                                         gSpy.Calls[0].Args[4], nullptr}));
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
        {"非nil", Plain + "NoneButObject関数の戻り値が nil ではありません。"},
    };
    for (const auto& [Name, Box] : Cases) {
        TrecPath Kept = OnePointPath(99, 99);
        EXPECT_EQ(PathRun(Name, Kept), Box) << Name;
        EXPECT_EQ(Boxes.size(), 1u) << Name;
        ASSERT_EQ(Kept.Count, 1) << Name;
        EXPECT_EQ(Kept.Points[0], (TPoint{99, 99})) << Name;
    }
    EXPECT_TRUE(MatchParamCaptionI("*PRIMARY|tag", "*Primary"));
    EXPECT_FALSE(MatchParamCaptionI("*Primary2", "*Primary"));
    EXPECT_FALSE(MatchParamCaptionI("*Prim", "*Primary"));
}

TEST_F(MacroInterpreter, ListPaintAndListMakePath)
{
    TMacros List;
    List.Add(Lib("中断"));
    List.Add(Lib("R"));
    TPaintProgress Record;
    int Owner = 0;
    Record.Owner = &Owner;
    std::vector<int32_t> Seen;
    auto Progress = [&](TPaintProgress& P) { Seen.push_back(P.Current * 100 + P.Total); };
    R1 = R2 = Nines;
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
        if (C.Texts.size() > 3 && C.Texts[3] == "60")
            Abort = 1;
    };
    List.Paint(A, nullptr, nullptr, R1, R2);
    gSpy.OnCall = nullptr;
    EXPECT_EQ(gSpy.Calls.size(), 2u);
    EXPECT_EQ(R1, (TRect{50, 50, 51, 51}));
    TMacros Paths;
    TrecPath Result = OnePointPath(99, 99);
    Paths.MakePath(Source, Result, nullptr, {}, cSpyTable); // no macros: a copy
    ASSERT_EQ(Result.Count, 3);
    EXPECT_EQ(Result.Points[2], (TPoint{10, 5}));
    EXPECT_EQ(Result.Bounds, Source.Bounds);
    Paths.Add(Lib("移動"));
    Paths.Add(Lib("移動10"));
    Paths.MakePath(Source, Result, nullptr, {}, cSpyTable);
    EXPECT_EQ(Result.Points[2], (TPoint{21, 16}));
    // An abort after the first macro gives back the source.
    std::vector<int32_t> Steps;
    Abort = 0;
    Paths.MakePath(Source, Result, &Abort, [&](int32_t Done, int32_t Total) {
        Steps.push_back(Done * 10 + Total);
        Abort = 1;
    }, cSpyTable);
    EXPECT_EQ(Steps, std::vector<int32_t>{12});
    EXPECT_EQ(Result.Points[2], (TPoint{10, 5}));
}
