// The frame's user toolbars: the built-in ones on a first start, component
// names, malformed settings, check-style buttons, the pop-up menu, the
// customisation dialogs (duplicate names, the zoom box on one toolbar only,
// deletion) and a customised layout surviving a restart byte for byte.
#include "shell_test_support.h"

#include "foundation/ini_file.h"
#include "shell/customize_form.h"
#include "shell/tavro_action.h"
#include "shell/user_toolbars.h"
#include "ui/dock97.h"
#include "ui/toolbar97.h"
#include "ui/toolbar_button97.h"

#include <QComboBox>
#include <QtGui/qevent.h>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

class TUserToolbarsTest : public TFrameTest {
protected:
    void SetUp() override
    {
        TFrameTest::SetUp();
        ClearToolbarSettings();
        FOldRun = TfrmCustomize::Run;
        FOldQuery = TfrmCustomize::InputQuery;
    }
    void TearDown() override
    {
        TfrmCustomize::Run = FOldRun;
        TfrmCustomize::InputQuery = FOldQuery;
        TFrameTest::TearDown();
        ClearToolbarSettings();
    }
    static void ClearToolbarSettings()
    {
        std::vector<std::string> Sections;
        AppIniFile().ReadSections(Sections);
        for (const std::string& S : Sections)
            if (S.rfind(UserToolbarSection, 0) == 0)
                AppIniFile().EraseSection(S);
    }
    TToolbar97* Named(const char* Caption) const
    {
        for (TToolbar97* T : Frame->UserToolbars())
            if (T->Caption() == Caption)
                return T;
        return nullptr;
    }
    static std::vector<int> Tags(TToolbar97* T)
    {
        std::vector<int> R;
        for (int32_t I = 0; I < T->OrderedControlCount(); ++I)
            R.push_back(T->GetOrderedControl(I)->property("Tag").toInt());
        return R;
    }
    // Answers the name questions in turn; false once they are used up.
    void Answer(std::vector<std::string> Names)
    {
        auto Queue = std::make_shared<std::vector<std::string>>(std::move(Names));
        TfrmCustomize::InputQuery = [Queue](const std::string&, const std::string&, std::string& Value) {
            if (Queue->empty())
                return false;
            Value = Queue->front();
            Queue->erase(Queue->begin());
            return true;
        };
    }
    std::string FileBytes()
    {
        AppIniFile().UpdateFile();
        std::ifstream In(AppIniFile().FileName(), std::ios::binary);
        std::stringstream S;
        S << In.rdbuf();
        return S.str();
    }

private:
    std::function<int(TfrmCustomize&)> FOldRun;
    std::function<bool(const std::string&, const std::string&, std::string&)> FOldQuery;
};

TEST_F(TUserToolbarsTest, AFirstStartShowsTheThreeBuiltInToolbarsAtTheTopOneRowEach)
{
    Start();
    const std::vector<TToolbar97*> Bars = Frame->UserToolbars();
    ASSERT_EQ(Bars.size(), 3u);
    const char* Captions[] = {"一般", "位置", "ノード"};
    for (size_t I = 0; I < Bars.size(); ++I) {
        EXPECT_EQ(Bars[I]->Caption(), Captions[I]);
        EXPECT_EQ(Bars[I]->DockedTo(), Frame->Dock97Top) << I;
        EXPECT_EQ(Bars[I]->DockRow(), int32_t(I));
        EXPECT_TRUE(Bars[I]->isVisible()) << I;
    }
    EXPECT_EQ(Bars[0]->objectName(), "N88EA94CA");
    // The empty field adds nothing; "$" is a separator, the zoom box its number.
    EXPECT_EQ(Tags(Bars[0]), (std::vector<int>{0, 1, 4, 12, -1, 15, 16, -1, 17, 18, 19, 20, -1, 28, 29, 74, -1, 24,
                                               25, 26, 27, 37}));
    EXPECT_EQ(Tags(Bars[2]), (std::vector<int>{59, 60, 61, -1, 62, 63, -1, 57, 58}));
    EXPECT_EQ(Frame->ZoomToolbar(), Bars[0]);
    EXPECT_EQ(Frame->ToolbarExists, (std::vector<uint8_t>{1, 1, 1}));
}

TEST(UserToolbarNames, ComponentNamesAndCommaTexts)
{
    EXPECT_EQ(ToolbarComponentName("一般"), "N88EA94CA");
    EXPECT_EQ(ToolbarComponentName("AB"), "N4142");
    EXPECT_EQ(ToolbarComponentName(""), "N");
    // What Shift-JIS cannot hold keeps names apart: Ω is 83B6, then
    // "&#x1F600;" and "&#x1F603;".
    EXPECT_EQ(ToolbarComponentName("Ω😀"), "N83B626237831463630303B");
    EXPECT_EQ(ToolbarComponentName("Ω😃"), "N83B626237831463630333B");
    struct TCase {
        std::vector<std::string> Fields;
        const char* Text;
    };
    const TCase Cases[] = {
        {{"一般", "1", "0", "-1"}, "一般,1,0,-1"},
        {{"a b", "0"}, "\"a b\",0"},
        {{"x,y", "say \"hi\""}, "\"x,y\",\"say \"\"hi\"\"\""},
        {{"", "1"}, "\"\",1"},
    };
    for (const TCase& C : Cases) {
        EXPECT_EQ(CommaText(C.Fields), C.Text);
        EXPECT_EQ(SplitCommaText(C.Text), C.Fields) << C.Text;
    }
    // Only the first fields kept, all of them counted.
    struct TLimited {
        const char* Text;
        size_t Max;
        std::vector<std::string> Kept;
        size_t Count;
    };
    const TLimited Limited[] = {
        {"a,\"b c\",d,e", 2, {"a", "b c"}, 4},
        {"a,\"x,\"\"y\",", 1, {"a"}, 3},
        {"a,b,", 2, {"a", "b"}, 3},
        {"a,b,", 3, {"a", "b", ""}, 3},
        {"", 2, {}, 0},
    };
    for (const TLimited& C : Limited) {
        std::vector<std::string> Kept{"left over"};
        EXPECT_EQ(SplitCommaText(C.Text, Kept, C.Max), C.Count) << C.Text;
        EXPECT_EQ(Kept, C.Kept) << C.Text;
    }
}

TEST_F(TUserToolbarsTest, MalformedDefinitionsAreSkippedAndBadFieldsTakeTheirDefaults)
{
    TMemIniFile& Ini = AppIniFile();
    Ini.WriteString(UserToolbarSection, "1", "lonely");
    Ini.WriteString(UserToolbarSection, "2", "mine,abc,0,zz,999,-1");
    Start();
    ASSERT_EQ(Frame->ToolbarDefs.size(), 1u);
    EXPECT_EQ(Frame->ToolbarDefs[0].Name, "mine");
    EXPECT_EQ(Frame->ToolbarDefs[0].Items, (std::vector<int32_t>{0, -1, -1}));
    EXPECT_EQ(Frame->ToolbarExists, (std::vector<uint8_t>{1}));
    EXPECT_EQ(Frame->UserToolbars().size(), 1u);
}

// Every stored number is read within 32 bits: one beyond is no number (a
// separator as an item, shown as the visibility), never its low 32 bits.
TEST_F(TUserToolbarsTest, StoredNumbersBeyond32BitsAreNoNumbers)
{
    struct TCase {
        const char* Stored;
        std::vector<int32_t> Items;
        uint8_t Exists;
    };
    const TCase Cases[] = {
        {"mine,4294967296,4294967296,0", {-1, 0}, 1},
        {"mine,0,4294967297,-4294967295,1", {-1, -1, 1}, 0},
        {"mine,1,2147483647,-2147483648,18446744073709551616,3", {-1, 3}, 1},
        {"mine,4294967296,$4,x,0x10", {4, -1, 16}, 1},
    };
    for (const TCase& C : Cases) {
        ClearToolbarSettings();
        AppIniFile().WriteString(UserToolbarSection, "1", C.Stored);
        Start();
        ASSERT_EQ(Frame->ToolbarDefs.size(), 1u) << C.Stored;
        EXPECT_EQ(Frame->ToolbarDefs[0].Items, C.Items) << C.Stored;
        EXPECT_EQ(Frame->ToolbarExists, std::vector<uint8_t>{C.Exists}) << C.Stored;
        Close();
    }
}

// Definitions beyond what anyone places by hand are refused when read, once
// and with a message, and the save at the end does not write them back.
TEST_F(TUserToolbarsTest, DefinitionsBeyondTheLimitsAreRefusedWithAMessageAndNotWrittenBack)
{
    std::string Big = "big,1";
    for (int I = 0; I < 5000; ++I)
        Big += ",0";
    std::string Limit = "full,1";
    for (int I = 0; I < 4096; ++I)
        Limit += I % 2 ? ",-1" : ",1";
    TMemIniFile& Ini = AppIniFile();
    Ini.WriteString(UserToolbarSection, "1", Big);
    Ini.WriteString(UserToolbarSection, "2", "small,1,0,1");
    Ini.WriteString(UserToolbarSection, "3", Limit);
    Start();
    ASSERT_EQ(Frame->ToolbarDefs.size(), 2u);
    EXPECT_EQ(Frame->ToolbarDefs[0].Name, "small");
    EXPECT_EQ(Frame->ToolbarDefs[1].Items.size(), 4096u);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "設定ファイル " + Ini.FileName() +
                                 " のツールバーの定義:\r\n\"TBar4.0\" の 1 番目のツールバーは項目が 5000 個あり、"
                                 "上限の 4096 個を超えるため使いません。");
    Close();
    EXPECT_EQ(Ini.ReadString(UserToolbarSection, "1", ""), "small,1,0,1");
    EXPECT_EQ(Ini.ReadString(UserToolbarSection, "2", ""), Limit);
    EXPECT_FALSE(Ini.ValueExists(UserToolbarSection, "3"));

    // Only refused definitions: a first start, with the built-in toolbars.
    ClearToolbarSettings();
    Ini.WriteString(UserToolbarSection, "1", Big);
    Boxes.clear();
    Start();
    EXPECT_EQ(Frame->UserToolbars().size(), 3u);
    EXPECT_EQ(Boxes.size(), 1u);
    Close();

    // More toolbars than the limit: those after it are left out, and kept.
    ClearToolbarSettings();
    for (int I = 1; I <= 300; ++I)
        Ini.WriteString(UserToolbarSection, std::to_string(I), "t" + std::to_string(I) + ",0");
    Boxes.clear();
    Start();
    EXPECT_EQ(Frame->ToolbarDefs.size(), 256u);
    EXPECT_EQ(Frame->ToolbarDefs.back().Name, "t256");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "設定ファイル " + Ini.FileName() +
                                 " のツールバーの定義:\r\n\"TBar4.0\" にはツールバーが 300 個あり、上限の 256 "
                                 "個を超える分は使いません。");
    Close();
    EXPECT_EQ(Ini.ReadString(UserToolbarSection, "300", ""), "t300,0");
}

// The items of all toolbars together have a limit too: reading stops at the
// first toolbar that would pass it, with one line in the one message.
TEST_F(TUserToolbarsTest, ItemsBeyondTheLimitOfAllToolbarsTogetherStopTheReading)
{
    // 4000 + 4000 items are taken; 500 more would pass 8192, and the small
    // toolbar after them is not read either.
    const auto Items = [](int Count) {
        std::string R;
        for (int I = 0; I < Count; ++I)
            R += I % 3 ? ",-1" : ",0";
        return R;
    };
    TMemIniFile& Ini = AppIniFile();
    const int Counts[] = {4000, 4000, 500, 1};
    for (int I = 0; I < 4; ++I)
        Ini.WriteString(UserToolbarSection, std::to_string(I + 1), "t" + std::to_string(I + 1) + ",1" + Items(Counts[I]));
    Start();
    ASSERT_EQ(Frame->ToolbarDefs.size(), 2u);
    EXPECT_EQ(Frame->ToolbarDefs[1].Name, "t2");
    EXPECT_EQ(Frame->UserToolbars().size(), 2u);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "設定ファイル " + Ini.FileName() +
                                 " のツールバーの定義:\r\n\"TBar4.0\" の 3 番目からのツールバーは、項目が合わせて上限の "
                                 "8192 個を超えるため使いません。");
    Close();
    EXPECT_EQ(Ini.ReadString(UserToolbarSection, "2", ""), "t2,1" + Items(4000));
    EXPECT_EQ(Ini.ReadString(UserToolbarSection, "3", ""), "t3,1" + Items(500));
    EXPECT_EQ(Ini.ReadString(UserToolbarSection, "4", ""), "t4,1" + Items(1));
}

// 256 toolbars of 4,096 items: two are loaded, and the rest stay in the
// settings file byte for byte after the two, also a name the file would
// write otherwise ("&#x" is written "&#x26;#x").
TEST_F(TUserToolbarsTest, ToolbarsPastTheLimitOfAllTogetherStayAsTheyWere)
{
    std::string Items;
    for (int I = 0; I < 4096; ++I)
        Items += I % 2 ? ",-1" : ",0";
    std::string Section = "[TBar4.0]\r\n";
    for (int I = 1; I <= 256; ++I)
        Section += std::to_string(I) + "=" + (I == 100 ? "t&#x" : "t") + std::to_string(I) + ",1" + Items + "\r\n";
    TMemIniFile& Ini = AppIniFile();
    const std::string Before = FileBytes();
    std::ofstream(Ini.FileName(), std::ios::binary) << Before + "\r\n" + Section;
    Ini.Rename(Ini.FileName(), true);
    Start();
    EXPECT_EQ(Frame->UserToolbars().size(), 2u);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].Text.find("の 3 番目からのツールバーは、項目が合わせて上限の 8192 個を超えるため使いません。"),
              std::string::npos);
    Close();
    const std::string Bytes = FileBytes();
    const size_t At = Bytes.find("[TBar4.0]\r\n");
    ASSERT_NE(At, std::string::npos);
    EXPECT_TRUE(Bytes.substr(At, Section.size()) == Section);
    // Nothing more in the section: a blank line and the next, or the end.
    const std::string After = Bytes.substr(At + Section.size(), 3);
    EXPECT_TRUE(After.empty() || After == "\r\n[") << After;
}

// Three hundred thousand definitions: the start goes on with the first 256
// and the one message. (The key names are read in one pass; comparing each
// with all before it took minutes here. Its speed is not timed in a test.)
TEST_F(TUserToolbarsTest, AHugeNumberOfDefinitionsIsCountedInOnePass)
{
    TMemIniFile& Ini = AppIniFile();
    std::string Bytes = FileBytes() + "\r\n[TBar4.0]\r\n";
    for (int I = 1; I <= 300000; ++I)
        Bytes += std::to_string(I) + "=t" + std::to_string(I) + ",0\r\n";
    std::ofstream(Ini.FileName(), std::ios::binary) << Bytes;
    Ini.Rename(Ini.FileName(), true);
    Start();
    EXPECT_EQ(Frame->ToolbarDefs.size(), 256u);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].Text.find("にはツールバーが 300000 個あり、上限の 256 個を超える分は使いません。"), std::string::npos);
}

// A name of three million characters (a million "&#x", which the settings
// file keeps as they are): refused with the one message, never written back
// (each "&" would come back as "&#x26;"), and the next start reads the same.
TEST_F(TUserToolbarsTest, ANameBeyondTheLengthLimitIsRefusedAndNotWrittenBack)
{
    std::string Huge;
    for (int I = 0; I < 1000000; ++I)
        Huge += "&#x";
    TMemIniFile& Ini = AppIniFile();
    Ini.WriteString(UserToolbarSection, "1", "first,1,0");
    Ini.WriteString(UserToolbarSection, "2", Huge + ",1,1");
    // The longest name taken: 255 characters, two bytes each in CP932.
    std::string Longest;
    for (size_t I = 0; I < MaxToolbarNameLength; ++I)
        Longest += "名";
    Ini.WriteString(UserToolbarSection, "3", Longest + ",1,4");
    const std::string Refusal = "設定ファイル " + Ini.FileName() +
                                " のツールバーの定義:\r\n\"TBar4.0\" の 2 番目のツールバーは名前が 3000000 文字あり、"
                                "上限の 255 文字を超えるため使いません。";
    Start();
    ASSERT_EQ(Frame->ToolbarDefs.size(), 2u);
    EXPECT_EQ(Frame->ToolbarDefs[1].Name, Longest);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, Refusal);
    Close();
    const std::string Bytes = FileBytes();
    EXPECT_LT(Bytes.size(), 10000u);
    EXPECT_EQ(Ini.ReadString(UserToolbarSection, "2", ""), Longest + ",1,4");
    EXPECT_FALSE(Ini.ValueExists(UserToolbarSection, "3"));
    EXPECT_EQ(ToolbarNameLength(Longest), 255u);
    EXPECT_EQ(ToolbarNameLength("a\xFF" "b"), 3u);
}

// Definitions without a place of their own (no position section, one
// without a dock, one naming a dock there is not) go to the end of the top
// dock, a row each, shown as their definitions say, and are saved there.
TEST_F(TUserToolbarsTest, ToolbarsWithoutAStoredPlaceGoToTheEndOfTheTopDock)
{
    TMemIniFile& Ini = AppIniFile();
    Ini.WriteString(UserToolbarSection, "1", "placed,1,0");
    const std::string Placed = UserToolbarSection + ToolbarComponentName("placed");
    for (const auto& [Key, Value] : {std::pair<const char*, const char*>{"Rev", "3"}, {"Visible", "1"},
                                     {"DockedTo", "Dock97Top"}, {"DockRow", "0"}, {"DockPos", "0"}})
        Ini.WriteString(Placed, Key, Value);
    Ini.WriteString(UserToolbarSection, "2", "none,1,1");
    Ini.WriteString(UserToolbarSection, "3", "hidden,0,4");
    Ini.WriteString(UserToolbarSection, "4", "gone,1,12");
    const std::string Gone = UserToolbarSection + ToolbarComponentName("gone");
    Ini.WriteString(Gone, "Rev", "3");
    Ini.WriteString(Gone, "DockedTo", "Dock97Nowhere");
    // Each toolbar on a row of its own of the top dock, in the order of its
    // definition; all but "hidden" shown (and, at the first start, inside it).
    const auto ExpectInTheTopDock = [&](bool First) {
        const char* Names[] = {"placed", "none", "hidden", "gone"};
        for (int I = 0; I < 4; ++I) {
            TToolbar97* T = Named(Names[I]);
            ASSERT_NE(T, nullptr) << Names[I];
            EXPECT_EQ(T->DockedTo(), Frame->Dock97Top) << Names[I];
            EXPECT_EQ(T->DockRow(), I) << Names[I];
            EXPECT_EQ(T->Visible(), I != 2) << Names[I];
            if (!First)
                continue;
            EXPECT_EQ(T->isVisible(), I != 2) << Names[I];
            if (I != 2)
                EXPECT_TRUE(Frame->Dock97Top->rect().contains(T->geometry())) << Names[I];
        }
    };
    Start();
    ExpectInTheTopDock(true);
    Close();
    Start();
    ExpectInTheTopDock(false);
    Close();
    EXPECT_EQ(Ini.ReadString(Gone, "DockedTo", ""), "Dock97Top");
    EXPECT_EQ(Ini.ReadString(UserToolbarSection + ToolbarComponentName("none"), "DockRow", ""), "1");
}

// Stored positions at the ends of the 32-bit range, as start-up reads them:
// the frame starts with its toolbars on the docks or the screen, and the
// save at its end writes where they are, not the stored numbers.
TEST_F(TUserToolbarsTest, StoredPositionsAtTheEndsOfTheRangeStartAndAreNotKept)
{
    const std::string Max = "2147483647";
    struct TCase {
        const char* DockedTo;
        std::vector<std::pair<std::string, std::string>> Values;
    };
    const TCase Cases[] = {
        {"Dock97Top", {{"DockRow", "0"}, {"DockPos", Max}}},
        {"Dock97Left", {{"DockRow", "0"}, {"DockPos", Max}}},
        {"Dock97Right", {{"DockRow", "0"}, {"DockPos", Max}}},
        {"Dock97Bottom", {{"DockRow", "0"}, {"DockPos", Max}}},
        {"+", {{"FloatLeft", Max}, {"FloatTop", "20"}}},
        {"+", {{"FloatLeft", "2147483600"}, {"FloatTop", Max}, {"FloatRightX", Max}}},
    };
    const std::vector<std::string> Names = {"一般", "位置", "ノード"};
    for (const TCase& C : Cases) {
        ClearToolbarSettings();
        TMemIniFile& Ini = AppIniFile();
        for (size_t I = 0; I < Names.size(); ++I) {
            Ini.WriteString(UserToolbarSection, std::to_string(I + 1), Names[I] + ",1,0,-1,1");
            const std::string Section = UserToolbarSection + ToolbarComponentName(Names[I]);
            Ini.WriteString(Section, "Rev", "3");
            Ini.WriteString(Section, "DockedTo", C.DockedTo);
            for (const auto& [Key, Value] : C.Values)
                Ini.WriteString(Section, Key, Value);
        }
        Start();
        ASSERT_EQ(Frame->UserToolbars().size(), 3u) << C.DockedTo;
        for (TToolbar97* T : Frame->UserToolbars()) {
            if (TDock97* D = T->DockedTo())
                EXPECT_TRUE(D->rect().contains(T->geometry())) << C.DockedTo;
            else
                EXPECT_TRUE(WorkAreaNear(T->frameGeometry()).intersects(T->frameGeometry())) << C.DockedTo;
        }
        Close();
        for (const std::string& Name : Names) {
            const std::string Section = UserToolbarSection + ToolbarComponentName(Name);
            for (const char* Key : {"DockPos", "FloatLeft", "FloatTop", "FloatRightX"})
                EXPECT_LE(std::abs(Ini.ReadInteger(Section, Key, 0)), 1 << 24) << C.DockedTo << " " << Key;
        }
    }
}

// Saving walks each toolbar's items once: asking for every item by its
// index cleaned the whole list per item, the square of the count (and the
// cube in time).
TEST_F(TUserToolbarsTest, SavingALongToolbarLooksAtEachItemOnce)
{
    Start();
    std::vector<int32_t> Items;
    std::vector<std::string> Fields{"long", "1"};
    // Commands of the built-in toolbars, and separators.
    const int32_t Commands[] = {0, 1, 4, 12, -1, 15, 16, 17, 18, 19, 20, -1};
    for (size_t I = 0; I < 3000; ++I) {
        Items.push_back(Commands[I % std::size(Commands)]);
        Fields.push_back(std::to_string(Items.back()));
    }
    Frame->ToolbarDefs = {{"long", Items}};
    Frame->ToolbarExists = {1};
    Frame->BuildUserToolbars();
    TToolbar97* Long = Named("long");
    ASSERT_NE(Long, nullptr);
    const uint64_t Before = Long->OrderCleanVisits();
    Frame->SaveUserToolbars();
    EXPECT_LE(Long->OrderCleanVisits() - Before, 2 * Items.size());
    EXPECT_EQ(AppIniFile().ReadString(UserToolbarSection, "1", ""), CommaText(Fields));
}

TEST_F(TUserToolbarsTest, CheckStyleButtonsStandAloneAndShowTheirCommandsState)
{
    Start();
    TToolbar97* General = Named("一般");
    ASSERT_NE(General, nullptr);
    std::vector<TToolbarButton97*> Checks;
    for (QObject* O : General->ClientArea()->children())
        if (auto* B = qobject_cast<TToolbarButton97*>(O); B && B->GroupIndex() != 0)
            Checks.push_back(B);
    // High, middle, low, wire frame, anchors.
    ASSERT_EQ(Checks.size(), 5u);
    for (size_t I = 0; I < Checks.size(); ++I) {
        EXPECT_TRUE(Checks[I]->AllowAllUp());
        for (size_t J = 0; J < I; ++J)
            EXPECT_NE(Checks[I]->GroupIndex(), Checks[J]->GroupIndex());
        EXPECT_EQ(Checks[I]->Down(), Checks[I]->Action()->isChecked()) << I;
    }
    QAction* Anchor = Frame->actDispAnchor;
    TToolbarButton97* B = Checks.back();
    ASSERT_EQ(B->Action(), Anchor);
    Anchor->setChecked(false);
    EXPECT_FALSE(B->Down());
    Anchor->setChecked(true);
    EXPECT_TRUE(B->Down());
    // Plain commands have no group.
    auto* New = qobject_cast<TToolbarButton97*>(General->GetOrderedControl(0));
    ASSERT_NE(New, nullptr);
    EXPECT_EQ(New->GroupIndex(), 0);
    EXPECT_EQ(New->size(), QSize(24, 24));
}

TEST_F(TUserToolbarsTest, ThePopupMenuListsTheToolbarsAndTogglesThem)
{
    Start();
    emit Frame->pmnuTBarPopup->aboutToShow();
    emit Frame->pmnuTBarPopup->aboutToShow();
    const QList<QAction*> Items = Frame->pmnuTBarPopup->actions();
    ASSERT_EQ(Items.size(), 5);
    EXPECT_EQ(Items[0]->text(), "一般");
    EXPECT_TRUE(Items[1]->isChecked());
    EXPECT_TRUE(Items[3]->isSeparator());
    EXPECT_EQ(Items[4], Frame->actCustomize);
    EXPECT_EQ(Frame->actCustomize->text(), "ツールバーの設定(&C)...");
    Items[1]->trigger();
    EXPECT_FALSE(Named("位置")->Visible());
    EXPECT_EQ(Frame->ToolbarExists, (std::vector<uint8_t>{1, 0, 1}));
}

TEST_F(TUserToolbarsTest, AFloatingToolbarHidesWhileTheFrameIsMinimisedAndStaysOpen)
{
    Start();
    // The program is the active one, as it is when the user works in it.
    QApplicationStateChangeEvent Active(Qt::ApplicationActive);
    QApplication::sendEvent(qApp, &Active);
    TToolbar97* T = Named("位置");
    ASSERT_NE(T, nullptr);
    T->SetFloatingPosition(QPoint(300, 300));
    T->SetDockedTo(nullptr);
    ASSERT_TRUE(T->Floating());
    ASSERT_TRUE(T->isVisible());
    Frame->setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(T->isVisible());
    EXPECT_TRUE(T->Visible());
    // The window manager minimises the frame's transient windows with it;
    // shown minimised, the toolbar would minimise the frame again.
    T->setWindowState(T->windowState() | Qt::WindowMinimized);
    Frame->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(T->isVisible());
    EXPECT_FALSE(T->isMinimized());
    EXPECT_TRUE(T->Visible());
    EXPECT_EQ(Frame->ToolbarExists, (std::vector<uint8_t>{1, 1, 1}));
    emit Frame->pmnuTBarPopup->aboutToShow();
    EXPECT_TRUE(Frame->pmnuTBarPopup->actions().value(1)->isChecked());
    // Twice, the way a window manager may report it.
    for (int I = 0; I < 2; ++I) {
        Frame->setWindowState(Qt::WindowMinimized);
        Frame->setWindowState(Qt::WindowMaximized);
    }
    EXPECT_TRUE(T->isVisible());
    const std::string Section = std::string(UserToolbarSection) + T->objectName().toStdString();
    Close();
    EXPECT_EQ(AppIniFile().ReadString(Section, "Visible", ""), "1");
    EXPECT_EQ(AppIniFile().ReadString(Section, "DockedTo", ""), "+");
    EXPECT_EQ(AppIniFile().ReadString(UserToolbarSection, "2", "").substr(0, std::string("位置,1,").size()), "位置,1,");
}

TEST_F(TUserToolbarsTest, DuplicateAndEmptyNamesAreRefusedUntilAValidOne)
{
    Start();
    std::vector<TUserToolbarDef> BuiltIn;
    Frame->MakeDefaultToolbars(BuiltIn);
    TfrmCustomize D(Frame.get(), Frame->ImageListBtn.get(), Frame->ToolbarExists, BuiltIn, Frame->ToolbarDefs, {},
                    true);
    Answer({"一般", "   ", "ノード", "  私の  "});
    D.NewTBar();
    ASSERT_EQ(Boxes.size(), 3u);
    EXPECT_EQ(Boxes[0].Text, "その名前は、既に登録されています。");
    EXPECT_EQ(Boxes[1].Text, "名前が空欄です。");
    EXPECT_EQ(Boxes[2].Text, "その名前は、既に登録されています。");
    EXPECT_EQ(Boxes[0].Caption, "新規作成");
    ASSERT_EQ(D.Toolbars.size(), 4u);
    EXPECT_EQ(D.Toolbars[3].Name, "私の");
    EXPECT_TRUE(D.Checked(3));
    EXPECT_EQ(D.clboxTBar->currentRow(), 3);
    // Built-in toolbars are neither renamed nor deleted; the user's are.
    EXPECT_TRUE(D.btnRenameTBar->isEnabled());
    D.clboxTBar->setCurrentRow(0);
    EXPECT_FALSE(D.btnRenameTBar->isEnabled());
    EXPECT_FALSE(D.btnDelTBar->isEnabled());
    EXPECT_TRUE(D.btnEditButton->isEnabled());
    // Names up to 255 characters; a longer one is asked for again.
    Boxes.clear();
    const std::string Longest(MaxToolbarNameLength, 'n');
    Answer({Longest + "n", Longest});
    D.NewTBar();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "名前が長すぎます。255 文字までにしてください。");
    ASSERT_EQ(D.Toolbars.size(), 5u);
    EXPECT_EQ(D.Toolbars[4].Name, Longest);
    // A rename to its own name is fine; to another's is not.
    D.clboxTBar->setCurrentRow(3);
    Boxes.clear();
    Answer({"位置", "私の2"});
    D.RenameTBar();
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(D.Toolbars[3].Name, "私の2");
}

TEST_F(TUserToolbarsTest, TheZoomBoxStandsOnOneToolbarOnly)
{
    Start();
    std::vector<std::string> Captions;
    for (int32_t I = 0; I < TfrmTavro::CommandCount; ++I)
        Captions.push_back("c" + std::to_string(I));
    const int32_t Zoom = TfrmTavro::ZoomBoxCommand;
    // Another toolbar: the zoom box is in use and cannot be added.
    TfrmCustomTBar Other(Frame.get(), {0, -1}, nullptr, Captions, nullptr, true);
    EXPECT_TRUE(Other.Used(Zoom));
    EXPECT_TRUE(Other.Used(0));
    EXPECT_FALSE(Other.Used(1));
    Other.lvCommand->setCurrentRow(Zoom + 1);
    Other.Add();
    EXPECT_EQ(Other.Items(), (std::vector<int32_t>{0, -1}));
    // The separator can be added any number of times.
    Other.lvCommand->setCurrentRow(0);
    Other.Add();
    EXPECT_EQ(Other.Items(), (std::vector<int32_t>{0, -1, -1}));
    // On its own toolbar, removing it makes it free again.
    TfrmCustomTBar Own(Frame.get(), {Zoom, 3}, nullptr, Captions, nullptr, false);
    EXPECT_TRUE(Own.ZoomUsed());
    Own.lvTBar->setCurrentRow(0);
    Own.Del();
    EXPECT_FALSE(Own.Used(Zoom));
    EXPECT_FALSE(Own.ZoomUsed());
    EXPECT_EQ(Own.lvTBar->currentRow(), 0);
    Own.lvCommand->setCurrentRow(Zoom + 1);
    Own.Add();
    EXPECT_EQ(Own.Items(), (std::vector<int32_t>{3, Zoom}));
    // Reset of a built-in toolbar skips the zoom box another toolbar holds.
    std::vector<int32_t> BuiltIn = {1, Zoom, 2};
    TfrmCustomTBar Reset(Frame.get(), {}, &BuiltIn, Captions, nullptr, true);
    EXPECT_TRUE(Reset.btnReset->isEnabled());
    Reset.Reset();
    EXPECT_EQ(Reset.Items(), (std::vector<int32_t>{1, 2}));
}

TEST_F(TUserToolbarsTest, DeletingAUserToolbarFreesItAndErasesItsPositionSection)
{
    Start();
    Answer({"私の"});
    TfrmCustomize::Run = [](TfrmCustomize& D) {
        D.NewTBar();
        return int(QDialog::Accepted);
    };
    Frame->actCustomize->trigger();
    TToolbar97* Mine = Named("私の");
    ASSERT_NE(Mine, nullptr);
    EXPECT_EQ(Mine->DockedTo(), Frame->Dock97Top);
    EXPECT_EQ(Mine->DockRow(), 3);
    Frame->SaveUserToolbars();
    const std::string Section = std::string(UserToolbarSection) + Mine->objectName().toStdString();
    EXPECT_TRUE(AppIniFile().SectionExists(Section));
    EXPECT_EQ(AppIniFile().ReadString(UserToolbarSection, "4", ""), "私の,1");

    TfrmCustomize::Run = [](TfrmCustomize& D) {
        D.clboxTBar->setCurrentRow(3);
        D.DelTBar();
        return int(QDialog::Accepted);
    };
    Boxes.clear();
    Frame->actCustomize->trigger();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "ツールバー\"私の\"を削除しますよろしいですか？");
    EXPECT_EQ(Boxes[0].Caption, "カスタマイズ");
    EXPECT_EQ(Named("私の"), nullptr);
    EXPECT_FALSE(AppIniFile().SectionExists(Section));
    EXPECT_EQ(Frame->UserToolbars().size(), 3u);
}

TEST_F(TUserToolbarsTest, NamesShiftJisCannotHoldKeepTheirOwnPlacesInACp932File)
{
    Start();
    Answer({"Ω😀", "Ω😃"});
    TfrmCustomize::Run = [](TfrmCustomize& D) {
        D.NewTBar();
        D.NewTBar();
        D.Toolbars[3].Items = {0};
        D.Toolbars[4].Items = {1};
        return int(QDialog::Accepted);
    };
    Frame->actCustomize->trigger();
    const QPoint Places[] = {QPoint(200, 210), QPoint(420, 430)};
    const char* Names[] = {"Ω😀", "Ω😃"};
    for (int I = 0; I < 2; ++I) {
        TToolbar97* T = Named(Names[I]);
        ASSERT_NE(T, nullptr) << Names[I];
        T->SetFloatingPosition(Places[I]);
        T->SetDockedTo(nullptr);
    }
    EXPECT_NE(Named(Names[0])->objectName(), Named(Names[1])->objectName());
    Close();
    const std::string Bytes = FileBytes();
    EXPECT_NE(Bytes.rfind("\xEF\xBB\xBF", 0), 0u) << "the settings file became UTF-8";
    EXPECT_NE(Bytes.find("4=\x83\xB6&#x1F600;,1,0\r\n5=\x83\xB6&#x1F603;,1,1\r\n"), std::string::npos);
    Start();
    for (int I = 0; I < 2; ++I) {
        TToolbar97* T = Named(Names[I]);
        ASSERT_NE(T, nullptr) << Names[I];
        EXPECT_TRUE(T->Floating()) << Names[I];
        EXPECT_EQ(T->FloatingPosition(), Places[I]) << Names[I];
        EXPECT_EQ(Tags(T), std::vector<int>{I}) << Names[I];
    }
}

// OK in the customisation dialog without a change: every toolbar is filled
// anew, its old buttons freed and new ones made (often where the old ones
// lay); each toolbar keeps exactly its items, and the settings file stays
// as it was, byte for byte.
TEST_F(TUserToolbarsTest, OkWithoutAChangeLeavesTheToolbarsAndTheSettingsFileAsTheyWere)
{
    // The first save moves the sections other closings rewrite; from then
    // on every restart writes the same bytes.
    for (int I = 0; I < 2; ++I) {
        Start();
        Close();
    }
    const std::string Before = FileBytes();
    Start();
    std::vector<std::vector<int>> Items;
    for (TToolbar97* T : Frame->UserToolbars())
        Items.push_back(Tags(T));
    TfrmCustomize::Run = [](TfrmCustomize&) { return int(QDialog::Accepted); };
    for (int Round = 0; Round < 2; ++Round) {
        Frame->actCustomize->trigger();
        const std::vector<TToolbar97*> Bars = Frame->UserToolbars();
        ASSERT_EQ(Bars.size(), Items.size());
        for (size_t I = 0; I < Bars.size(); ++I) {
            EXPECT_EQ(Tags(Bars[I]), Items[I]) << I << " round " << Round;
            // No empty band before the first item.
            EXPECT_EQ(Bars[I]->GetOrderedControl(0)->x(), 0) << I << " round " << Round;
        }
    }
    Close();
    EXPECT_EQ(FileBytes(), Before);
}

TEST_F(TUserToolbarsTest, ACustomisedLayoutSurvivesARestartByteForByte)
{
    Start();
    // Float one toolbar, wrapped; hide another; give the zoom box to a new one.
    TToolbar97* Place = Named("位置");
    Place->SetFloatingPosition(QPoint(120, 140));
    Place->SetDockedTo(nullptr);
    Place->SetFloatRightX(100);
    Named("ノード")->setVisible(false);
    Answer({"ズーム"});
    TfrmCustomize::Run = [](TfrmCustomize& D) {
        D.NewTBar();
        D.Toolbars[0].Items.erase(std::remove(D.Toolbars[0].Items.begin(), D.Toolbars[0].Items.end(),
                                              TfrmTavro::ZoomBoxCommand),
                                  D.Toolbars[0].Items.end());
        D.Toolbars[3].Items = {TfrmTavro::ZoomBoxCommand, -1, 0};
        return int(QDialog::Accepted);
    };
    Frame->actCustomize->trigger();
    Close();
    // The first save moves the sections other closings rewrite; from then
    // on every restart writes the same bytes.
    Start();
    Close();
    const std::string First = FileBytes();

    Start();
    Place = Named("位置");
    ASSERT_NE(Place, nullptr);
    EXPECT_TRUE(Place->Floating());
    EXPECT_EQ(Place->FloatingPosition(), QPoint(120, 140));
    EXPECT_EQ(Place->FloatRightX(), 100);
    EXPECT_FALSE(Named("ノード")->Visible());
    ASSERT_NE(Named("ズーム"), nullptr);
    EXPECT_EQ(Frame->ZoomToolbar(), Named("ズーム"));
    EXPECT_EQ(Tags(Named("ズーム")), (std::vector<int>{74, -1, 0}));
    Close();
    EXPECT_EQ(FileBytes(), First);
    EXPECT_NE(First.find("[TBar4.0]"), std::string::npos);
}

} // namespace
