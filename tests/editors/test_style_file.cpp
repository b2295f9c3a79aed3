// The style library's file form, tree edits and open/save rules.
#include "editors/style_file.h"
#include "editors/style_items.h"

#include "foundation/streams.h"
#include "model/object_test_support.h"
#include "paint/macro_param_range.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "platform/fifo_watch.h"
#include "platform/hostile_files.h"
#include "platform/message_box.h"
#include "platform/regular_file.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// Hand-made file bytes, built the way the format lays them out.
struct TBytes {
    std::string Data;
    TBytes& Raw(uint32_t Count, const std::string& Bytes)
    {
        for (int I = 0; I < 4; ++I)
            Data.push_back(static_cast<char>(Count >> (8 * I)));
        Data += Bytes;
        return *this;
    }
    TBytes& S(const std::string& Utf8)
    {
        const std::string B = Utf8ToCp932(Utf8);
        return Raw(static_cast<uint32_t>(B.size()), B);
    }
    TBytes& I32(int32_t V)
    {
        for (int I = 0; I < 4; ++I)
            Data.push_back(static_cast<char>(static_cast<uint32_t>(V) >> (8 * I)));
        return *this;
    }
};

std::string Saved(const TStyleTree& Tree, const std::string& Header, int32_t Version,
                  const TStyleItemSave& Save)
{
    TMemoryStream M;
    SaveStyleStream(M, Header, Version, Tree, Save);
    return {static_cast<const char*>(M.Memory()), static_cast<size_t>(M.Size())};
}

void Load(const std::string& Bytes, const std::string& Header, const TStyleItemLoad& ItemLoad,
          TStyleTree& Tree, int32_t* Version = nullptr)
{
    TMemoryStreamWex M;
    M.SetPointer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
    LoadStyleStream(M, Header, ItemLoad, Tree, Version);
}

std::string ReadFile(const fs::path& P)
{
    std::ifstream In(P, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), {}};
}

void WriteFile(const fs::path& P, const std::string& Bytes)
{
    std::ofstream(P, std::ios::binary) << Bytes;
}

std::string GradLibrary()
{
    TBytes B;
    B.S("StyleSepranGradation").S("100").S("4");
    B.S("0").S("メタル").S("2");
    B.S("ゴールド").S("0000255,1,0,8192,16384,8192,2,0,0,1023,16777215,0,0,0,100,0,100");
    B.S("シルバー").S("0000255,1,0,8192,16384,8192,2,0,12632256,1023,16777215,0,0,0,100,0,100");
    B.S("1").S("暗い金属").S("0");
    B.S("2").S("鉄").S("1").S("鉄１").S("0000255,1,0,0,16384,0,0,0,0,0,100,0,100");
    B.S("0").S("夕焼け").S("0");
    return B.Data;
}

// The tree as "level:name(items)" in tree order.
std::string Shape(const TStyleTree& Tree)
{
    std::string Out;
    for (int32_t I = 0; I < Tree.NodeCount(); ++I) {
        const TStyleGroup* G = Tree.NodeAt(I);
        Out += std::to_string(TStyleTree::LevelOf(G)) + ":" + G->Name + "(" +
               std::to_string(G->Items.size()) + ") ";
    }
    return Out;
}

} // namespace

TEST(StyleFile, GradationLibraryRoundTripsByteForByte)
{
    TStyleTree Tree;
    Load(GradLibrary(), "StyleSepranGradation", LoadGradItem, Tree);
    EXPECT_EQ(Shape(Tree), "0:メタル(2) 1:暗い金属(0) 2:鉄(1) 0:夕焼け(0) ");
    EXPECT_EQ(dynamic_cast<TobjStyleItemGrad*>(Tree.Roots[0]->Items[1].Data.get())->Text.substr(0, 7), "0000255");
    EXPECT_EQ(Saved(Tree, "StyleSepranGradation", 100, SaveGradItem), GradLibrary());
}

// A paint-style library from before pictures were stored with the styles:
// its items end after the macro list.
TEST(StyleFile, OlderPaintStyleLibraryLoadsWithTheFilesOwnVersion)
{
    TBytes B;
    B.S("StyleSepranMacroPaint").S("19").S("1").S("0").S("古い").S("2");
    B.S("なし").I32(0);
    B.S("空").I32(0);
    TStyleTree Tree;
    int32_t Version = 0;
    ASSERT_NO_THROW(Load(B.Data, "StyleSepranMacroPaint", LoadMacroItem, Tree, &Version));
    EXPECT_EQ(Version, 19);
    ASSERT_EQ(Tree.Roots.at(0)->Items.size(), 2u);
    EXPECT_EQ(Tree.Roots[0]->Items[1].Title, "空");

    // Saved again it is a current library, which reads back the same.
    const std::string Now = Saved(Tree, "StyleSepranMacroPaint", StyleMacroVersion, SaveMacroItem);
    TBytes Expected;
    Expected.S("StyleSepranMacroPaint").S("25").S("1").S("0").S("古い").S("2");
    Expected.S("なし").I32(0).I32(0).S("空").I32(0).I32(0);
    EXPECT_EQ(Now, Expected.Data);
    TStyleTree Again;
    Load(Now, "StyleSepranMacroPaint", LoadMacroItem, Again, &Version);
    EXPECT_EQ(Version, 25);
    EXPECT_EQ(Saved(Again, "StyleSepranMacroPaint", 25, SaveMacroItem), Now);
}

// A paint style is applied as it is: its values are held as it is read,
// as a document's, in libraries of every version (before version 6 the
// macros carry their lines).
TEST(StyleFile, PaintStyleValuesAreHeldAsTheyAreRead)
{
    TTestMacroLibrary Library;
    for (const int32_t FileVersion : {25, 5}) {
        SCOPED_TRACE(FileVersion);
        TBytes B;
        B.S("StyleSepranMacroPaint").S(std::to_string(FileVersion)).S("1").S("0").S("赤").S("1");
        B.S("壊れた").I32(1).S("Red");
        if (FileVersion == 25) {
            B.Data.push_back('\xFF'); // enabled: neither on nor off
            B.I32(2).S("不透明度").S("nan").S("線種").S("2,99999,1.00").I32(0);
        } else {
            B.I32(1).S("NilPicturePaintFill2").I32(9).S("");
            for (const char* Text : {"PictureBackGround", "", "", "", "nan", "不透明度", "", "*Primary",
                                     "2,99999,1.00", "線種", "10000FF", "塗り方法", "塗りつぶし",
                                     "塗りつぶし指定", "No", "アンチエリアス", "通常", "描画方法"})
                B.S(Text);
        }
        TStyleTree Tree;
        Load(B.Data, "StyleSepranMacroPaint", LoadMacroItem, Tree);
        const auto* Item = dynamic_cast<const TStyleItem*>(Tree.Roots.at(0)->Items.at(0).Data.get());
        ASSERT_NE(Item, nullptr);
        ASSERT_EQ(Item->Count(), 1);
        const TMacro& Red = *Item->GetMacro(0);
        EXPECT_EQ(Red.Enabled(), 1);
        ASSERT_EQ(Red.LineCount(), 1);
        EXPECT_EQ(Red.Line(0).Params[2].Value, "100");
        EXPECT_EQ(Red.Line(0).Params[4].Value, "2,512,1.00");
        EXPECT_TRUE(MacrosValuesAccepted(*Item));
    }
}

namespace {

// A library of groups a, b, c, ... at the given levels, without items.
std::string LevelsLibrary(const std::vector<int32_t>& Levels)
{
    TBytes B;
    B.S("H").S("100").S(std::to_string(Levels.size()));
    for (size_t I = 0; I < Levels.size(); ++I)
        B.S(std::to_string(Levels[I])).S(std::string(1, static_cast<char>('a' + I % 26))).S("0");
    return B.Data;
}

} // namespace

TEST(StyleFile, LevelsNestTheWayIndentationDoes)
{
    struct TCase {
        std::vector<int32_t> Levels;
        const char* Shape;
    } Cases[] = {
        {{0, 2}, "0:a(0) 1:b(0) "},
        {{3}, "0:a(0) "},
        {{0, -1}, "0:a(0) 0:b(0) "},
        {{-1, 0}, "0:a(0) 0:b(0) "},
        {{0, 1, 7, 0, 9}, "0:a(0) 1:b(0) 2:c(0) 0:d(0) 1:e(0) "},
        {{0, 1, 2, 1}, "0:a(0) 1:b(0) 2:c(0) 1:d(0) "},
        {{1, 1, 0}, "0:a(0) 0:b(0) 0:c(0) "},
        {{1, 2, 1, 0}, "0:a(0) 1:b(0) 0:c(0) 0:d(0) "},
        {{2, 1, 0, 1}, "0:a(0) 0:b(0) 0:c(0) 1:d(0) "},
        {{0, 1, 2, 0, 2, 1}, "0:a(0) 1:b(0) 2:c(0) 0:d(0) 1:e(0) 1:f(0) "},
        {{0, 5, 3, 4}, "0:a(0) 1:b(0) 1:c(0) 2:d(0) "},
    };
    for (const TCase& C : Cases) {
        TStyleTree Tree;
        Load(LevelsLibrary(C.Levels), "H", nullptr, Tree);
        EXPECT_EQ(Shape(Tree), C.Shape);
    }
}

// A first group at level 1 is a top-level group like the level-0 group after
// it: the rewrite stores the three at the top, and reads back to itself.
TEST(StyleFile, AFirstGroupAtLevelOneIsWrittenBackAtTheTop)
{
    auto Library = [](const char* FirstTwo) {
        TBytes B;
        B.S("StyleSepranGradation").S("100").S("3");
        B.S(FirstTwo).S("A").S("1").S("金").S("0000255,1,0,0,16384,0,0,0,0,0,100,0,100");
        B.S(FirstTwo).S("B").S("0");
        B.S("0").S("C").S("1").S("銀").S("0000255,1,0,0,16384,0,0,0,12632256,0,100,0,100");
        return B.Data;
    };
    TStyleTree Tree;
    Load(Library("1"), "StyleSepranGradation", LoadGradItem, Tree);
    EXPECT_EQ(Shape(Tree), "0:A(1) 0:B(0) 0:C(1) ");
    const std::string Rewritten = Saved(Tree, "StyleSepranGradation", 100, SaveGradItem);
    EXPECT_EQ(Rewritten, Library("0"));
    TStyleTree Again;
    Load(Rewritten, "StyleSepranGradation", LoadGradItem, Again);
    EXPECT_EQ(Saved(Again, "StyleSepranGradation", 100, SaveGradItem), Rewritten);
}

// As deep as a library may go it reads and writes back byte for byte; one
// level deeper, and a file of 200,000 levels, are damaged libraries. None of
// it may cost a stack frame per level.
TEST(StyleFile, NestingIsLimitedAndNeverRecursedPerLevel)
{
    auto Chain = [](int32_t Depth) {
        std::vector<int32_t> Levels(static_cast<size_t>(Depth));
        for (int32_t I = 0; I < Depth; ++I)
            Levels[static_cast<size_t>(I)] = I;
        return LevelsLibrary(Levels);
    };
    const std::string Deepest = Chain(StyleMaxLevel + 1);
    TStyleTree Tree;
    Load(Deepest, "H", nullptr, Tree);
    EXPECT_EQ(Tree.NodeCount(), StyleMaxLevel + 1);
    EXPECT_EQ(TStyleTree::LevelOf(Tree.NodeAt(StyleMaxLevel)), StyleMaxLevel);
    EXPECT_EQ(Saved(Tree, "H", 100, nullptr), Deepest);

    for (const int32_t Depth : {StyleMaxLevel + 2, 200000}) {
        TStyleTree Kept;
        Load(LevelsLibrary({0}), "H", nullptr, Kept);
        EXPECT_THROW(Load(Chain(Depth), "H", nullptr, Kept), EStyleInvalidateData) << Depth;
        EXPECT_EQ(Shape(Kept), "0:a(0) ") << Depth;
    }

    // No edit nests a group deeper either, so no saved library is refused.
    TStyleGroup* Last = Tree.NodeAt(StyleMaxLevel);
    EXPECT_THROW(Tree.AddChild(Last, "x"), EStyleError);
    EXPECT_EQ(Tree.NodeCount(), StyleMaxLevel + 1);
    TStyleGroup* Top = Tree.AddGroup(nullptr, "top");
    Tree.AddChild(Top, "child");
    EXPECT_FALSE(Tree.MoveGroup(Top, Tree.NodeAt(StyleMaxLevel - 1), 0));
    EXPECT_TRUE(Tree.MoveGroup(Top, Tree.NodeAt(StyleMaxLevel - 2), 0));
    EXPECT_EQ(TStyleTree::LevelOf(Top->Children[0].get()), StyleMaxLevel);
}

TEST(StyleFile, BadDataIsRefusedAndLeavesTheTreeAsItWas)
{
    const std::string Good = GradLibrary();
    struct TCase {
        const char* What;
        std::string Bytes;
    } Cases[] = {
        {"header", TBytes().S("StyleSepranLight").S("100").S("0").Data},
        {"count past the end", TBytes().S("StyleSepranGradation").Raw(0x7FFFFFF0u, "100").Data},
        {"negative count", TBytes().S("StyleSepranGradation").Raw(0xFFFFFFFFu, "").Data},
        {"number", TBytes().S("StyleSepranGradation").S("1O0").S("0").Data},
        {"group count", TBytes().S("StyleSepranGradation").S("100").S("-1").Data},
        {"item count", TBytes().S("StyleSepranGradation").S("100").S("1").S("0").S("g").S("x").Data},
    };
    for (const TCase& C : Cases) {
        TStyleTree Tree;
        Load(Good, "StyleSepranGradation", LoadGradItem, Tree);
        EXPECT_THROW(Load(C.Bytes, "StyleSepranGradation", LoadGradItem, Tree), EStyleInvalidateData) << C.What;
        EXPECT_EQ(Tree.NodeCount(), 4) << C.What;
    }
    TStyleTree Tree;
    EXPECT_THROW(Load(Good.substr(0, Good.size() - 3), "StyleSepranGradation", LoadGradItem, Tree), EReadError);
}

TEST(StyleFile, TreeEditsKeepTheNesting)
{
    TStyleTree Tree;
    Load(GradLibrary(), "StyleSepranGradation", LoadGradItem, Tree);
    TStyleGroup* Dark = Tree.NodeAt(1);
    Tree.AddGroup(Dark, "銅");                       // after the last sibling of 暗い金属
    Tree.AddGroup(nullptr, "ネオン");
    EXPECT_EQ(Shape(Tree), "0:メタル(2) 1:暗い金属(0) 2:鉄(1) 1:銅(0) 0:夕焼け(0) 0:ネオン(0) ");
    EXPECT_FALSE(Tree.MoveGroup(Tree.NodeAt(0), Tree.NodeAt(2), 0)); // not into itself
    EXPECT_TRUE(Tree.MoveGroup(Tree.NodeAt(5), nullptr, 0));
    EXPECT_TRUE(Tree.MoveGroup(Tree.NodeAt(3), Tree.NodeAt(4), 9));
    EXPECT_EQ(Shape(Tree), "0:ネオン(0) 0:メタル(2) 1:暗い金属(0) 1:銅(0) 2:鉄(1) 0:夕焼け(0) ");
    TStyleTree::MoveItem(*Tree.NodeAt(1), 0, *Tree.NodeAt(0), 0);
    EXPECT_EQ(Tree.NodeAt(0)->Items.at(0).Title, "ゴールド");
    Tree.DeleteGroup(Tree.NodeAt(3)); // with its subgroup
    EXPECT_EQ(Shape(Tree), "0:ネオン(1) 0:メタル(1) 1:暗い金属(0) 0:夕焼け(0) ");
    TStyleTree Other;
    Load(GradLibrary(), "StyleSepranGradation", LoadGradItem, Other);
    Tree.Append(std::move(Other));
    EXPECT_EQ(Tree.NodeCount(), 8);
    EXPECT_EQ(TStyleTree::LevelOf(Tree.NodeAt(6)), 2);
}

class StyleLibraryFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        Root = fs::temp_directory_path() / ("style_" + std::to_string(::getpid()) + "_" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Root);
        fs::create_directories(Root / "data");
        fs::create_directories(Root / "prog");
        Old = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
        Style = MakeStyleLibrary(TStyleKind::Gradation, (Root / "data").string(), (Root / "prog").string());
    }
    void TearDown() override
    {
        SetMessageBoxHandler(Old);
        fs::remove_all(Root);
    }
    fs::path Root;
    TMessageBoxHandler Old;
    std::vector<std::string> Boxes;
    TCustomStyle Style;
};

TEST_F(StyleLibraryFiles, AnUnreadableFileIsSetAsideAndTheDeliveredLibraryUsed)
{
    WriteFile(Root / "prog/Gradation.stl", GradLibrary());
    WriteFile(Root / "data/Gradation.stl", "not a library");
    TStyleTree Tree;
    Style.LoadLibrary(Tree);
    EXPECT_EQ(Tree.NodeCount(), 4);
    EXPECT_EQ(ReadFile(Root / "data/Gradation.stl.bad"), "not a library");
    EXPECT_FALSE(fs::exists(Root / "data/Gradation.stl"));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].find("Gradation.stl.bad"), std::string::npos);

    Tree.AddGroup(nullptr, "追加");
    Style.SaveToFile(Tree);
    EXPECT_EQ(ReadFile(Root / "data/Gradation.stl"), Saved(Tree, "StyleSepranGradation", 100, SaveGradItem));
    EXPECT_EQ(ReadFile(Root / "data/Gradation.stl.bad"), "not a library");
    // A second unreadable file does not take the first one's place.
    WriteFile(Root / "data/Gradation.stl", "broken again");
    Style.LoadLibrary(Tree);
    EXPECT_EQ(ReadFile(Root / "data/Gradation.stl.bad2"), "broken again");
    EXPECT_EQ(ReadFile(Root / "data/Gradation.stl.bad"), "not a library");
}

TEST_F(StyleLibraryFiles, MissingFilesFallBackSilently)
{
    TStyleTree Tree;
    Style.LoadLibrary(Tree);
    EXPECT_TRUE(Tree.Empty());
    WriteFile(Root / "prog/Gradation.org", GradLibrary());
    Style.LoadLibrary(Tree);
    EXPECT_EQ(Tree.NodeCount(), 4);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(fs::exists(Root / "data/Gradation.stl"));
}

TEST_F(StyleLibraryFiles, SavingLeavesOnlyTheLibraryBehind)
{
    TStyleTree Tree;
    Tree.AddGroup(nullptr, "新規");
    Style.SaveToFile(Tree);
    std::vector<std::string> Names;
    for (const auto& E : fs::directory_iterator(Root / "data"))
        Names.push_back(E.path().filename().string());
    EXPECT_EQ(Names, std::vector<std::string>{"Gradation.stl"});
    TStyleTree Back;
    Style.LoadLibrary(Back);
    EXPECT_EQ(Shape(Back), "0:新規(0) ");
}

TEST_F(StyleLibraryFiles, MovingTheDataFolderTakesTheLibraryAlongWithoutOverwriting)
{
    WriteFile(Root / "data/Gradation.stl", GradLibrary());
    fs::create_directories(Root / "new");
    EXPECT_TRUE(Style.MoveToFolder((Root / "new").string()));
    EXPECT_EQ(Style.FileName, (Root / "new/Gradation.stl").string());
    EXPECT_EQ(ReadFile(Root / "new/Gradation.stl"), GradLibrary());
    EXPECT_EQ(ReadFile(Root / "data/Gradation.stl"), GradLibrary());

    fs::create_directories(Root / "other");
    WriteFile(Root / "other/Gradation.stl", "theirs");
    EXPECT_TRUE(Style.MoveToFolder((Root / "other").string()));
    EXPECT_EQ(ReadFile(Root / "other/Gradation.stl"), "theirs");
}

// Damage anywhere in a library ends in a clean refusal or a library, never
// in a crash or a huge allocation.
TEST(StyleFile, EveryTruncationAndByteFlipEndsCleanly)
{
    const std::string Good = GradLibrary();
    int Refused = 0;
    auto Try = [&](const std::string& Bytes) {
        TStyleTree Tree;
        try {
            Load(Bytes, "StyleSepranGradation", LoadGradItem, Tree);
        } catch (const Exception&) {
            ++Refused;
            EXPECT_TRUE(Tree.Empty());
        }
    };
    for (size_t N = 0; N < Good.size(); ++N)
        Try(Good.substr(0, N));
    EXPECT_EQ(Refused, static_cast<int>(Good.size()));
    for (size_t I = 0; I < Good.size(); ++I)
        for (uint8_t Flip : {0x80, 0xFF, 0x01}) {
            std::string Bad = Good;
            Bad[I] = static_cast<char>(Bad[I] ^ Flip);
            Try(Bad);
        }
}

// When the unreadable file cannot be set aside, it stays as it is and is
// never replaced.
TEST_F(StyleLibraryFiles, AnUnreadableFileThatCannotBeSetAsideIsNeverReplaced)
{
    WriteFile(Root / "prog/Gradation.stl", GradLibrary());
    WriteFile(Root / "data/Gradation.stl", "not a library");
    WriteFile(Root / "data/Gradation.stl.bad", "");
    for (int N = 2; N < 1000; ++N)
        WriteFile(Root / ("data/Gradation.stl.bad" + std::to_string(N)), "");
    TStyleTree Tree;
    Style.LoadLibrary(Tree);
    EXPECT_EQ(Tree.NodeCount(), 4);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].find("上書きしません"), std::string::npos);
    EXPECT_THROW(Style.SaveToFile(Tree), EFCreateError);
    EXPECT_EQ(ReadFile(Root / "data/Gradation.stl"), "not a library");
}

// The user's library nesting 200,000 levels deep is a damaged one: set
// aside, the user told once, the delivered library used in its place.
TEST_F(StyleLibraryFiles, ALibraryNestingTooDeepIsSetAside)
{
    TBytes Deep;
    constexpr int32_t Depth = 200000;
    Deep.S("StyleSepranGradation").S("100").S(std::to_string(Depth));
    for (int32_t I = 0; I < Depth; ++I)
        Deep.S(std::to_string(I)).S("g").S("0");
    WriteFile(Root / "prog/Gradation.stl", GradLibrary());
    WriteFile(Root / "data/Gradation.stl", Deep.Data);
    TStyleTree Tree;
    Style.LoadLibrary(Tree);
    EXPECT_EQ(Shape(Tree), "0:メタル(2) 1:暗い金属(0) 2:鉄(1) 0:夕焼け(0) ");
    EXPECT_EQ(ReadFile(Root / "data/Gradation.stl.bad"), Deep.Data);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], StyleUnreadableMessage((Root / "data/Gradation.stl").string(),
                                               (Root / "data/Gradation.stl.bad").string()));
}

// A named pipe in the library's place is never opened for a blocking read:
// it is refused at once as a damaged library, and it does not come along
// when the data folder moves.
TEST_F(StyleLibraryFiles, ANamedPipeIsNotReadAsALibrary)
{
    WriteFile(Root / "prog/Gradation.stl", GradLibrary());
    // A read that would block is held in open() until the watch opens the
    // other end, and the watch notes it: no clock is needed to tell.
    {
        TFifoWatch Pipe((Root / "data/Gradation.stl").string());
        TStyleTree Tree;
        EXPECT_THROW(Style.LoadFromFile(Pipe.Path(), Tree), EFOpenError);
        EXPECT_TRUE(Tree.Empty());
        Style.LoadLibrary(Tree);
        EXPECT_EQ(Tree.NodeCount(), 4);
        EXPECT_FALSE(Pipe.ReaderBlocked());
    }
    EXPECT_TRUE(fs::is_fifo(Root / "data/Gradation.stl.bad"));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].find("Gradation.stl.bad"), std::string::npos);

    fs::remove(Root / "data/Gradation.stl.bad");
    fs::create_directories(Root / "new");
    {
        TFifoWatch Pipe((Root / "data/Gradation.stl").string());
        EXPECT_FALSE(Style.MoveToFolder((Root / "new").string()));
        EXPECT_FALSE(Pipe.ReaderBlocked());
    }
    EXPECT_FALSE(fs::exists(Root / "new/Gradation.stl"));
}

// Storing the user's library replaces only a regular file (through a link
// to one): a pipe, device, socket or folder in its place is refused naming
// the library, and left as it was.
TEST_F(StyleLibraryFiles, StoringReplacesOnlyAFile)
{
    TStyleTree Tree;
    Tree.AddGroup(nullptr, "追加");
    const std::string Bytes = Saved(Tree, "StyleSepranGradation", 100, SaveGradItem);
    for (const THostileRow& Row : HostileRows(ErrNotRegularFile)) {
        SCOPED_TRACE(Row.What);
        fs::remove_all(Root / "data");
        fs::create_directories(Root / "data");
        std::vector<std::string> Pipes;
        MakeHostile((Root / "data").string(), "Gradation.stl", Row.Kind, Pipes);
        const auto Before = FolderPrint((Root / "data").string());
        const std::string Error = WithinDeadline(
            [&] {
                return MessageOf<EFCreateError>([&] { Style.SaveToFile(Tree); });
            },
            Pipes, "SaveToFile");
        if (Row.WriteError != 0) {
            EXPECT_EQ(Error, "スタイルファイル " + (Root / "data/Gradation.stl").string() + " を書き込めません。");
            EXPECT_EQ(FolderPrint((Root / "data").string()), Before);
        } else {
            EXPECT_EQ(Error, "(nothing raised)");
            EXPECT_EQ(ReadFile(Root / "data/Gradation.stl"), Bytes);
        }
    }
}
