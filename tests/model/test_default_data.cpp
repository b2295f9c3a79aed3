#include <gtest/gtest.h>

#include "object_test_support.h"

#include "foundation/app_environment.h"
#include "foundation/user_error.h"
#include "model/default_data.h"
#include "model/param_shapes.h"
#include "model/text_model.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "paint/paint_macro.h"
#include "platform/message_box.h"

#include <filesystem>
#include <fstream>
#include <functional>
#include <numbers>
#include <tuple>

namespace {

struct TBox {
    std::string Text, Caption;
    uint32_t Flags;
};

// Records every message box; answers with the queued buttons, then Default.
class TBoxRecorder {
public:
    explicit TBoxRecorder(std::vector<int> Answers = {}, int Default = IDOK)
        : FAnswers(std::move(Answers)), FDefault(Default)
    {
        FOld = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption,
                                           uint32_t Flags) {
            Boxes.push_back({Text, Caption, Flags});
            if (FNext < FAnswers.size())
                return FAnswers[FNext++];
            return FDefault;
        });
    }
    ~TBoxRecorder() { SetMessageBoxHandler(FOld); }
    std::vector<TBox> Boxes;

private:
    TMessageBoxHandler FOld;
    std::vector<int> FAnswers;
    size_t FNext = 0;
    int FDefault;
};

std::string FileBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

void PutFile(const std::string& Path, const std::vector<uint8_t>& B)
{
    std::ofstream(Path, std::ios::binary).write(reinterpret_cast<const char*>(B.data()),
                                                std::streamsize(B.size()));
}

std::vector<uint8_t> Header(int32_t Version)
{
    return {'Q', 'V', 'D', uint8_t(Version >> 8), uint8_t(Version & 0xFF), 0};
}

// The whole file as the factory values write it, with the given first
// macro list bytes.
std::vector<uint8_t> FactoryFile(const std::vector<uint8_t>& Macros = {0, 0, 0, 0})
{
    std::vector<uint8_t> B = Header(25);
    PutI32(B, 0);  // wireframe colour
    PutBytes(B, Macros);
    for (int32_t V : {0, 0, 5, 0, 0, 0})  // second macro list, text layout (20 bytes)
        PutI32(B, V);
    PutStr(B, "ＭＳ Ｐゴシック");
    PutStr(B, "48");
    for (int32_t V : {0, 0, 0, 0})  // style bytes, the font's two values, Value1
        PutI32(B, V);
    B.push_back(0);
    PutF64(B, 1.0);
    B.insert(B.end(), {1, 1});  // second flag, first flag
    for (int32_t V : {0, 0, 4, 5, 0, 0, 0, 0x0F0F0F0F})  // rectangle (12 bytes), polygon
        PutI32(B, V);
    PutF64(B, std::numbers::pi);
    PutF64(B, 0.5);
    for (int32_t V : {5, 0, 0, 0, 0, 0, 0, 0, 0x0F0F0F0F})
        PutI32(B, V);
    PutF64(B, std::numbers::pi);
    PutF64(B, 15.0);
    PutI32(B, 3);
    PutI32(B, 5);
    B.push_back(0);
    return B;
}

// A file of Version in the layout before version 15: application values
// first, the font's two values as doubles up to version 12, the macro lists
// last: Macros (by default "Red" with no values), then an empty one.
std::vector<uint8_t> OldLayoutFile(int32_t Version, std::vector<uint8_t> Macros = {})
{
    if (Macros.empty()) {
        PutI32(Macros, 1);
        PutStr(Macros, "Red");
        PutI32(Macros, 0);
    }
    std::vector<uint8_t> B = Header(Version);
    PutF64(B, 7.5);
    PutI32(B, 8);
    PutI32(B, 9);
    PutI32(B, 0x0A0B0C);                       // wireframe colour
    B.insert(B.end(), {1, 0, 0, 0});           // rectangle, 8 bytes
    PutI32(B, -9);
    for (int32_t V : {6, 1, 2, 3, 4})          // polygon
        PutI32(B, V);
    PutF64(B, 0.75);
    PutF64(B, 0.3);                            // star
    for (int32_t V : {7, 1, 2, 3, 4, 5, 6, 7, 8})
        PutI32(B, V);
    PutF64(B, 0.125);
    for (int32_t V : {21, 22, 0x0201, 23, 0x0403})  // text layout
        PutI32(B, V);
    PutStr(B, "Courier");
    PutStr(B, " 36");
    B.insert(B.end(), {1, 0, 1, 0});
    if (Version >= 11) {
        if (Version <= 12) {
            PutF64(B, 2.4);
            PutF64(B, -3.6);
        } else {
            PutI32(B, 2);
            PutI32(B, -4);
        }
        PutI32(B, LineSpacingAtLeast);
        B.push_back(2);
        PutF64(B, 3.5);
    }
    if (Version >= 12)
        B.push_back(0);                        // second flag
    PutBytes(B, Macros);
    PutI32(B, 0);
    return B;
}

std::vector<uint8_t> BodyOf(TDefaultData& D)
{
    TMemoryStream S;
    D.WriteBody(S);
    return Bytes(S);
}

// The factory values: the file's body byte for byte, and the face's character set.
void ExpectFactoryValues(TDefaultData& D)
{
    const std::vector<uint8_t> File = FactoryFile();
    EXPECT_EQ(BodyOf(D), std::vector<uint8_t>(File.begin() + 6, File.end()));
    EXPECT_EQ(D.Font.CharSet, 128);
}

// Defaults that are not written back at the end of the scope.
struct TScratchData : TDefaultData {
    TScratchData() { SaveOnDestroy = 0; }
};

std::string ExeDir()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

struct DefaultDataTest : ::testing::Test {
    TPrivateFolders F;
    std::string DataFile() const { return F.DataDir() + "/TavDef.dat"; }
    std::string ProgramFile() const { return F.ProgramDir() + "/TavDef.dat"; }
    std::string OrgFile() const { return F.ProgramDir() + "/TavDef.dat.org"; }
};

}  // namespace

TEST_F(DefaultDataTest, FactoryValuesWithoutAnyFileAndWrittenAtTheEnd)
{
    TBoxRecorder Boxes;
    {
        TDefaultData D;
        ExpectFactoryValues(D);
        EXPECT_EQ(D.GetFileName(), DataFile());
        EXPECT_FALSE(std::filesystem::exists(DataFile()));
    }
    EXPECT_TRUE(Boxes.Boxes.empty());
    const std::vector<uint8_t> Want = FactoryFile();
    EXPECT_EQ(FileBytes(DataFile()), std::string(Want.begin(), Want.end()));
}

// A data-folder setting start-up refuses (too long to name a folder) is not
// the defaults' folder either: they are read from and written to the folder
// start-up uses instead, and nothing tries the refused one (whose name in a
// message box alone would hold the program for minutes).
TEST_F(DefaultDataTest, ARefusedDataFolderSettingIsNeverWrittenTo)
{
    TBoxRecorder Boxes;
    const std::string Absurd = "/" + std::string(10 * 1024 * 1024, 'a');
    SetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, Absurd);
    std::string Dir;
    GetEnvDataDir(Dir);
    EXPECT_EQ(Dir, F.Tmp / "xdgdata/tavro/");
    {
        TDefaultData D;
        EXPECT_EQ(D.DataFolder(), "");
        EXPECT_EQ(D.GetFileName(), Dir + "TavDef.dat");
    }
    EXPECT_TRUE(Boxes.Boxes.empty());
    const std::vector<uint8_t> Want = FactoryFile();
    EXPECT_EQ(FileBytes(Dir + "TavDef.dat"), std::string(Want.begin(), Want.end()));
}

TEST_F(DefaultDataTest, GeneratedFactoryFileReadsBackWithTheCatalogueFill)
{
    std::filesystem::copy_file(ExeDir() + "/TavDef.dat.org", OrgFile());
    std::unique_ptr<TMacroLibrary> OldMacros = std::move(gMacroLibrary);
    std::unique_ptr<TMacroLibrary> OldPaths = std::move(gMacPathLibrary);
    LoadMacroLibraries(ExeDir());
    {
        TBoxRecorder Boxes;
        TScratchData D;
        EXPECT_TRUE(Boxes.Boxes.empty());
        ASSERT_EQ(D.Macros->Count(), 1);
        const TMacro& Fill = *D.Macros->GetMacro(0);
        EXPECT_EQ(std::tuple(Fill.Name(), Fill.Enabled(), Fill.LineCount() > 0),
                  std::tuple("塗り(ボカシ)", 1, true));
        D.Macros->Delete(0);
        ExpectFactoryValues(D);
        // The file is the factory values with that macro under its name.
        std::vector<uint8_t> Macro;
        PutI32(Macro, 1);
        PutStr(Macro, "塗り(ボカシ)");
        Macro.push_back(1);
        PutI32(Macro, 0);
        const std::vector<uint8_t> Want = FactoryFile(Macro);
        EXPECT_EQ(FileBytes(OrgFile()), std::string(Want.begin(), Want.end()));
    }
    FreeMacroLibraries();
    gMacroLibrary = std::move(OldMacros);
    gMacPathLibrary = std::move(OldPaths);
}

TEST_F(DefaultDataTest, EveryFieldRoundTrips)
{
    TTestMacroLibrary Library;
    std::vector<uint8_t> Saved;
    {
        TDefaultData D;
        D.WireframeColor = 0x102030;
        D.Macros->Insert(0, *TTestMacroLibrary::Get("Red"));
        D.Macros2->Insert(0, *TTestMacroLibrary::Get("Blue"));
        D.FillPath = 0;
        D.DisplayCache = 0;
        D.TextParam = {7, 8, 1, 2, {0, 0}, 9, 3, 4, {0, 0}};
        D.SetFaceName("Arial");
        D.Font.Height = 72;
        D.Font.Style[1] = 1;
        D.Font.Value1 = -5;
        D.Font.Value2 = 6;
        D.Value1 = LineSpacingExactly;
        D.Byte1 = 3;
        D.Double1 = 2.25;
        D.RectParam = {1, {0, 0, 0}, -300, 2, 3};
        D.PolygonParam = {7, 1, 2, 3, 4, 0.5};
        D.StarParam = {0.25, 9, 1, 2, 3, 4, 5, 6, 7, 8, 1.5};
        D.AngleStep = 45.0;
        D.Value3 = 13;
        D.PickTolerance = 14;
        D.SetShowRuler(1);
        Saved = BodyOf(D);
    }
    TScratchData E;
    EXPECT_EQ(BodyOf(E), Saved);
    // And the values were written at all.
    EXPECT_EQ(std::tuple(E.GetFaceName(), E.Font.Height, E.RectParam.CornerRadius, E.StarParam.Kept2),
              std::tuple("Arial", 72, -300, 7));
    EXPECT_EQ(E.ShowRuler(), 1);
    ASSERT_EQ(E.Macros->Count(), 1);
    EXPECT_EQ(E.Macros->GetMacro(0)->Name() + E.Macros2->GetMacro(0)->Name(), "RedBlue");
}

TEST_F(DefaultDataTest, OlderVersionsRead)
{
    TTestMacroLibrary Library;
    TScratchData D;
    // Version 24: an 8-byte rectangle record; its 16-bit fields become 4, 0.
    std::vector<uint8_t> V24 = FactoryFile();
    V24[4] = 24;
    const size_t Rect = V24.size() - (17 + 52 + 28 + 12);
    V24[Rect] = 1;
    V24.erase(V24.begin() + long(Rect + 8), V24.begin() + long(Rect + 12));
    V24.pop_back();
    V24.push_back(1);  // ruler, read from version 16 on
    PutFile(DataFile(), V24);
    D.RectParam.CornerCount = 2;
    D.RectParam.CornerPosition = 3;
    ASSERT_TRUE(D.LoadFromFile(DataFile()));
    EXPECT_EQ(RectParamToBytes(D.RectParam),
              (std::array<uint8_t, 12>{1, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0}));
    EXPECT_EQ(D.ShowRuler(), 1);
    // Version 12 in the older layout: application values first, the font's
    // two values as doubles, the macro lists last, no first flag (1), no
    // ruler flag (kept).
    for (int32_t Version : {12, 14}) {
        PutFile(DataFile(), OldLayoutFile(Version));
        D.FillPath = 0;
        D.DisplayCache = 1;
        ASSERT_TRUE(D.LoadFromFile(DataFile())) << Version;
        EXPECT_EQ(std::tuple(D.AngleStep, D.Value3, D.PickTolerance, D.WireframeColor),
                  std::tuple(7.5, 8, 9, 0x0A0B0C));
        EXPECT_EQ(std::tuple(D.RectParam.Bevel, D.RectParam.CornerRadius, +D.PolygonParam.StartAngle,
                             +D.StarParam.StartAngle),
                  std::tuple(1, -9, 0.75, 0.125));
        EXPECT_EQ(std::tuple(D.TextParam.Value1, D.TextParam.Byte2, D.GetFaceName(), D.Font.Height),
                  std::tuple(21, 2, "Courier", 36));
        EXPECT_EQ(std::tuple(D.Font.Style[2], D.Font.Value1, D.Font.Value2, D.Value1, D.Byte1, D.Double1),
                  std::tuple(1, 2, -4, LineSpacingAtLeast, 2, 3.5));
        // No first flag before 15 (1); the ruler flag is kept.
        EXPECT_EQ(std::tuple(D.DisplayCache, D.FillPath, D.ShowRuler()), std::tuple(0, 1, 1));
        ASSERT_EQ(D.Macros->Count(), 1);
        EXPECT_EQ(D.Macros->GetMacro(0)->Name(), "Red");
    }
    // Version 10: none of the optional font fields, no second flag.
    D.Double1 = 9.0;
    std::vector<uint8_t> V10 = OldLayoutFile(10);
    PutFile(DataFile(), V10);
    ASSERT_TRUE(D.LoadFromFile(DataFile()));
    EXPECT_EQ(D.Double1, 9.0);
    EXPECT_EQ(D.DisplayCache, 0);
    EXPECT_EQ(D.GetFaceName(), "Courier");
}

TEST_F(DefaultDataTest, FallbackChain)
{
    std::vector<uint8_t> Org = FactoryFile();
    Org[6] = 42;  // wireframe colour 42 marks the ".org" copy
    PutFile(OrgFile(), Org);
    std::vector<uint8_t> Good = FactoryFile();
    Good[6] = 7;
    {   // A good file in the data folder wins.
        PutFile(DataFile(), Good);
        TBoxRecorder Boxes;
        TScratchData D;
        EXPECT_EQ(D.WireframeColor, 7);
        EXPECT_TRUE(Boxes.Boxes.empty());
    }
    {   // A version above 25 is passed over silently for the next candidate.
        std::vector<uint8_t> Newer = Good;
        Newer[4] = 26;
        PutFile(DataFile(), Newer);
        PutFile(ProgramFile(), Good);
        TBoxRecorder Boxes;
        TScratchData D;
        EXPECT_EQ(D.WireframeColor, 7);
        EXPECT_TRUE(Boxes.Boxes.empty());
        std::filesystem::remove(ProgramFile());
    }
    // Bad files: a wrong signature, a short body, a height that is no number.
    std::vector<uint8_t> BadSignature = Good;
    BadSignature[0] = 'X';
    std::vector<uint8_t> Short(Good.begin(), Good.begin() + 30);
    std::vector<uint8_t> BadHeight = Good;
    const size_t Height = 6 + 12 + 20 + 4 + 15 + 4;
    ASSERT_EQ(BadHeight[Height], '4');
    BadHeight[Height] = 'z';
    for (const auto& Bad : {BadSignature, Short, BadHeight}) {
        PutFile(DataFile(), Bad);
        std::filesystem::remove(DataFile() + ".bad");
        TBoxRecorder Boxes;
        {
            TDefaultData D;
            EXPECT_EQ(D.WireframeColor, 42);
            ASSERT_EQ(Boxes.Boxes.size(), 1u);
            EXPECT_NE(Boxes.Boxes[0].Text.find(DataFile()), std::string::npos);
            EXPECT_NE(Boxes.Boxes[0].Text.find(DataFile() + ".bad"), std::string::npos);
            EXPECT_EQ(Boxes.Boxes[0].Caption, "タヴロ");
            EXPECT_EQ(Boxes.Boxes[0].Flags, MB_OK | MB_ICONWARNING);
            EXPECT_EQ(FileBytes(DataFile() + ".bad"), std::string(Bad.begin(), Bad.end()));
        }
        EXPECT_EQ(Boxes.Boxes.size(), 1u);
        // The end of the run wrote sound defaults over the bad file.
        EXPECT_EQ(TScratchData().WireframeColor, 42);
    }
    {   // The delivered ".org" copy bad: the installation is damaged. The
        // error names the copy, and no file is set aside.
        PutFile(DataFile(), BadSignature);
        std::filesystem::remove(DataFile() + ".bad");
        PutFile(OrgFile(), Short);
        TBoxRecorder Boxes;
        EXPECT_EQ(MessageOf<EUserError>([] { TScratchData D; }),
                  "デフォルトデータファイル " + OrgFile() +
                      " は壊れているため読み込めません。プログラムを再インストールしてください。");
        EXPECT_TRUE(Boxes.Boxes.empty());
        EXPECT_FALSE(std::filesystem::exists(OrgFile() + ".bad"));
        EXPECT_FALSE(std::filesystem::exists(DataFile() + ".bad"));
    }
    {   // Nothing at all: built-in values, no message.
        std::filesystem::remove(DataFile());
        std::filesystem::remove(OrgFile());
        TBoxRecorder Boxes;
        TScratchData D;
        ExpectFactoryValues(D);
        EXPECT_TRUE(Boxes.Boxes.empty());
    }
}

TEST_F(DefaultDataTest, LoadFromFileRefusesBadFilesAndKeepsItsValues)
{
    TScratchData D;
    D.WireframeColor = 99;
    D.SetFaceName("Keep");
    const std::vector<uint8_t> Before = BodyOf(D);
    EXPECT_FALSE(D.LoadFromFile(F.Tmp / "missing.dat"));
    std::vector<uint8_t> Bad = FactoryFile();
    Bad[2] = 'X';
    PutFile(DataFile(), Bad);
    EXPECT_EQ(MessageOf<EUserError>([&] { D.LoadFromFile(DataFile()); }),
              "デフォルトデータファイル形式ではありません。");
    const std::vector<uint8_t> Good = FactoryFile();
    for (size_t N : {size_t(3), size_t(40), Good.size() - 1}) {
        PutFile(DataFile(), std::vector<uint8_t>(Good.begin(), Good.begin() + long(N)));
        EXPECT_THROW(D.LoadFromFile(DataFile()), EReadError) << N;
    }
    EXPECT_EQ(BodyOf(D), Before);
}

TEST_F(DefaultDataTest, FaceNameFitsItsFieldAtACharacterBoundary)
{
    TScratchData D;
    D.SetFaceName("ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯＰ");  // 32 bytes
    EXPECT_EQ(D.GetFaceName(), "ＡＢＣＤＥＦＧＨＩＪＫＬＭＮＯ");
    EXPECT_EQ(D.Font.FaceName[30], 0);
    D.SetFaceName(std::string(30, 'a') + "あ");
    EXPECT_EQ(D.GetFaceName(), std::string(30, 'a'));
    D.SetFaceName(std::string(31, 'b'));
    EXPECT_EQ(D.GetFaceName(), std::string(31, 'b'));
    EXPECT_EQ(D.Font.FaceName[31], 0);
    // A stored name of 41 bytes is cut the same way when read.
    std::vector<uint8_t> File = Header(25);
    for (int32_t V : {0, 0, 0})
        PutI32(File, V);
    File.insert(File.end(), 20, 0);
    PutStr(File, "x" + std::string("あいうえおかきくけこさしすせそたちつてと"));
    std::vector<uint8_t> Rest = FactoryFile();
    const size_t AfterFace = 6 + 12 + 20 + 4 + 15;
    File.insert(File.end(), Rest.begin() + long(AfterFace), Rest.end());
    PutFile(DataFile(), File);
    ASSERT_TRUE(D.LoadFromFile(DataFile()));
    EXPECT_EQ(D.GetFaceName(), "xあいうえおかきくけこさしすせそ");
    EXPECT_EQ(D.Font.Height, 48);
}

TEST_F(DefaultDataTest, SaveToFileMakesFoldersAndAsksOnFailure)
{
    TScratchData D;
    const std::string Deep = F.Tmp / "new/sub/TavDef.dat";
    EXPECT_TRUE(D.SaveToFile(Deep));
    EXPECT_EQ(FileBytes(Deep).size(), FactoryFile().size());
    F.Tmp.Put("blocker", "x");
    const std::string Bad = F.Tmp / "blocker/TavDef.dat";
    {
        TBoxRecorder Boxes({IDRETRY}, IDCANCEL);
        EXPECT_FALSE(D.SaveToFile(Bad));
        ASSERT_EQ(Boxes.Boxes.size(), 2u);
        EXPECT_EQ(Boxes.Boxes[0].Text, "ﾌｧｲﾙ " + Bad + " の作成に失敗しました。");
        EXPECT_EQ(Boxes.Boxes[0].Caption, "タヴロ");
        EXPECT_EQ(Boxes.Boxes[0].Flags, 0x5u /* Retry, Cancel */ | MB_ICONERROR);
        EXPECT_EQ(Boxes.Boxes[1].Text, Boxes.Boxes[0].Text);
    }
    // Unattended, the default answer gives up at once.
    int32_t Asked = 0;
    TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string&, const std::string&,
                                                      uint32_t Flags) {
        ++Asked;
        return DefaultMessageBoxAnswer(Flags);
    });
    EXPECT_FALSE(D.SaveToFile(Bad));
    SetMessageBoxHandler(Old);
    EXPECT_EQ(Asked, 1);
}

TEST_F(DefaultDataTest, FullDiskKeepsTheOldDefaults)
{
    TDefaultData D;
    D.SaveOnDestroy = 0;
    ASSERT_TRUE(D.SaveToFile(DataFile()));
    const std::string Old = FileBytes(DataFile());
    D.PickTolerance = 9;
    D.SetFaceName("IPAGothic");
    TBoxRecorder Boxes({}, IDCANCEL);
    // Fails at every size short of the whole file, then succeeds.
    size_t N = 0;
    for (;; ++N) {
        ASSERT_LT(N, 4096u);
        bool Saved;
        {
            TFileSizeLimit Full(N);
            Saved = D.SaveToFile(DataFile());
        }
        if (Saved)
            break;
        ASSERT_EQ(FileBytes(DataFile()), Old) << N;
    }
    EXPECT_EQ(N, FileBytes(DataFile()).size());
    EXPECT_EQ(Boxes.Boxes.size(), N);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(F.DataDir()),
                            std::filesystem::directory_iterator()), 1);
    ASSERT_TRUE(D.SaveToFile(DataFile()));
    TDefaultData Back;
    Back.SaveOnDestroy = 0;
    ASSERT_TRUE(Back.LoadFromFile(DataFile()));
    EXPECT_EQ(Back.PickTolerance, 9);
}

TEST_F(DefaultDataTest, DataFolderRulerAndFontHeight)
{
    TDefaultData D;
    D.SetDataFolder(F.DataDir());
    EXPECT_FALSE(std::filesystem::exists(DataFile()));
    const std::string Moved = F.Tmp / "moved";
    D.SetDataFolder(Moved);
    EXPECT_EQ(D.DataFolder(), Moved);
    EXPECT_EQ(D.GetFileName(), Moved + "/TavDef.dat");
    EXPECT_TRUE(std::filesystem::exists(Moved + "/TavDef.dat"));
    std::string Stored;
    GetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, Stored);
    EXPECT_EQ(Stored, Moved);
    int32_t Changes = 0;
    D.OnChange = [&](TDefaultData* Sender) {
        EXPECT_EQ(Sender, &D);
        ++Changes;
    };
    D.SetShowRuler(1);
    D.SetShowRuler(1);
    D.SetShowRuler(0);
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(GetDefaultFontHeight(), 48);
    D.Font.Height = 30;
    SetDefaultAttributes(&D);
    EXPECT_EQ(GetDefaultFontHeight(), 30);
    SetDefaultAttributes(nullptr);
}

// Every new object starts from the defaults' macros: their values are held
// as an object's own, in files of every version (those before version 6
// carry the macros' lines), and a stored enabled byte other than 0 is on.
TEST_F(DefaultDataTest, MacroValuesAreHeldAsAnObjectsOwn)
{
    TTestMacroLibrary Library;
    TScratchData D;
    std::vector<uint8_t> Current;
    PutI32(Current, 1);
    PutStr(Current, "Red");
    Current.push_back(255);
    PutI32(Current, 2);
    for (const char* Text : {"不透明度", "nan", "線種", "2,99999,1.00"})
        PutStr(Current, Text);
    // Version 5: the lines themselves, the pen's width no number and the
    // fill's second option byte beyond a digit.
    std::vector<uint8_t> Old;
    PutI32(Old, 1);
    PutStr(Old, "Red");
    PutI32(Old, 1);
    PutStr(Old, "NilPicturePaintFill2");
    PutI32(Old, 9);
    PutStr(Old, "");
    for (const char* Text : {"PictureBackGround", "", "", "", "nan", "不透明度", "", "*Primary", "nan,0,1.00",
                             "線種", "411,0,0,0,0,0,-1,0,99999", "塗り方法", "塗りつぶし", "塗りつぶし指定", "No",
                             "アンチエリアス", "通常", "描画方法"})
        PutStr(Old, Text);
    struct Row {
        std::vector<uint8_t> File;
        const char *Opacity, *Pen, *Fill;
    };
    const Row Rows[] = {
        {FactoryFile(Current), "100", "2,512,1.00", "10000FF"},
        {OldLayoutFile(5, Old), "100", "-1,0,1.00", "411,0,0,0,0,0,-1,0,1"},
    };
    for (const Row& R : Rows) {
        PutFile(DataFile(), R.File);
        ASSERT_TRUE(D.LoadFromFile(DataFile()));
        ASSERT_EQ(D.Macros->Count(), 1);
        const TMacro& Red = *D.Macros->GetMacro(0);
        EXPECT_EQ(Red.Enabled(), 1);
        ASSERT_EQ(Red.LineCount(), 1);
        const std::vector<TMacroParam>& P = Red.Line(0).Params;
        EXPECT_EQ(std::tuple(P[2].Value, P[4].Value, P[5].Value), std::tuple(R.Opacity, R.Pen, R.Fill));
        EXPECT_TRUE(MacrosValuesAccepted(*D.Macros));
    }
}
