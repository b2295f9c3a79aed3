// The style chooser: selecting and adding through the library file, the
// group rules, the remembered layout and the deferred cell drawing.
#include "editors/style_dialog.h"
#include "editors/style_items.h"

#include "foundation/ini_file.h"
#include "foundation/streams.h"
#include "platform/message_box.h"
#include "window_wait.h"

#include <QGuiApplication>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& P)
{
    std::ifstream In(P, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), {}};
}

// A gradation style item holding Text.
std::unique_ptr<TobjStyleItemGrad> GradItem(const std::string& Text)
{
    auto G = std::make_unique<TobjStyleItemGrad>();
    G->Text = Text;
    return G;
}

// Three groups, the first two with items.
TStyleTree SampleTree()
{
    TStyleTree T;
    TStyleGroup* Metal = T.AddGroup(nullptr, "メタル");
    T.AddChild(Metal, "暗い金属");
    TStyleGroup* Sun = T.AddGroup(nullptr, "夕焼け");
    for (const char* Name : {"ゴールド", "シルバー"})
        Metal->Items.push_back({Name, GradItem(std::string("0000255,1,0,0,16384,0,0,0,0,0,100,0,100 ") + Name)});
    Sun->Items.push_back({"夕日", GradItem("sun")});
    return T;
}

class StyleDialog : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() / ("styledlg_" + std::to_string(::getpid()));
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Ini = std::make_unique<TMemIniFile>((Dir / "tavro.ini").string());
        Style.Library = MakeStyleLibrary(TStyleKind::Gradation, Dir.string(), "");
        Style.RegistryKey = "4.0";
        Style.RegistryName = "StyleGrad";
        Style.SetIniFile(Ini.get());
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDYES;
        });
        OldQuery = TStyle::InputQuery;
        TStyle::InputQuery = [this](const std::string& Caption, const std::string&, std::string& Value) {
            Asked.push_back(Caption);
            if (Answers.empty())
                return false;
            Value = Answers.front();
            Answers.erase(Answers.begin());
            return true;
        };
    }
    void TearDown() override
    {
        TStyle::OnShowModal = nullptr;
        TStyle::InputQuery = OldQuery;
        SetMessageBoxHandler(OldBox);
        fs::remove_all(Dir);
    }
    void WriteSample() { Style.Library.SaveToFile(SampleTree()); }
    fs::path LibraryPath() const { return Dir / "Gradation.stl"; }

    fs::path Dir;
    std::unique_ptr<TMemIniFile> Ini;
    TStyle Style;
    TMessageBoxHandler OldBox;
    std::function<bool(const std::string&, const std::string&, std::string&)> OldQuery;
    std::vector<std::string> Boxes, Asked, Answers;
};

// Types Text into Line key by key, as a user does.
void TypeInto(QLineEdit& Line, const char* Text)
{
    Line.clear();
    for (const QChar C : QString::fromUtf8(Text)) {
        QKeyEvent Key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(C));
        QApplication::sendEvent(&Line, &Key);
    }
}

// Types Text into the next name box once it is shown, appends what its line
// then shows to Shown, and accepts the box.
void TypeIntoNextBox(const char* Text, std::vector<std::string>& Shown)
{
    QTimer::singleShot(0, [Text, &Shown] {
        auto* Box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        auto* Line = Box ? Box->findChild<QLineEdit*>() : nullptr;
        if (!Line)
            return;
        TypeInto(*Line, Text);
        Shown.push_back(Line->text().toStdString());
        Box->accept();
    });
}

// Name as the library file holds it: a counted string (CP932 bytes).
std::string Counted(const std::string& Ascii)
{
    return std::string{char(Ascii.size()), 0, 0, 0} + Ascii;
}

} // namespace

TEST_F(StyleDialog, SelectHandsOverTheChosenItemAndWritesNothing)
{
    WriteSample();
    const std::string Before = Bytes(LibraryPath());
    TStyle::OnShowModal = [](TfrmStyle& F) {
        EXPECT_EQ(F.windowTitle().toStdString(), "スタイルの選択");
        F.DrawGrid->setFocus();
        F.DrawGrid->SetCurrentIndex(1);
        EXPECT_TRUE(F.btnOK->isEnabled());
        F.btnOK->click();
    };
    std::string Got;
    EXPECT_TRUE(Style.Select([&](const TObject& Item) { Got = dynamic_cast<const TobjStyleItemGrad&>(Item).Text; }));
    EXPECT_NE(Got.find("シルバー"), std::string::npos);
    EXPECT_EQ(Bytes(LibraryPath()), Before);
    // The layout is remembered under the owner's name.
    const std::string Layout = Ini->ReadString("4.0", "StyleGrad", "");
    EXPECT_EQ(Layout.substr(Layout.find(",0,1,")), ",0,1,100,100,1");
}

// Owned by a control inside a window (the macro page in the panel), the
// chooser opens centred over that control on the screen.
TEST_F(StyleDialog, OpensCentredOverItsOwnerControl)
{
    WriteSample();
    const QRect Work = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget Window;
    Window.setGeometry(Work.left() + 60, Work.top() + 40, 600, 500);
    auto* Control = new QWidget(&Window);
    Control->setGeometry(220, 180, 200, 100);
    Window.show();
    auto* Owned = new TStyle(Control);
    Owned->Library = MakeStyleLibrary(TStyleKind::Gradation, Dir.string(), "");
    QRect Shown;
    TStyle::OnShowModal = [&](TfrmStyle& F) {
        Shown = F.frameGeometry();
        F.reject();
    };
    EXPECT_FALSE(Owned->Select([](const TObject&) {}));
    const QPoint Centre(Work.left() + 60 + 220 + 100, Work.top() + 40 + 180 + 50);
    ASSERT_TRUE(Work.contains(Shown)) << Shown.x() << "," << Shown.y();
    EXPECT_LE(std::abs(Shown.center().x() - Centre.x()), 1) << Shown.x();
    EXPECT_LE(std::abs(Shown.center().y() - Centre.y()), 1) << Shown.y();
}

TEST_F(StyleDialog, AddStoresTheValueInTheChosenGroup)
{
    WriteSample();
    Answers = {"新しい夕焼け"};
    TStyle::OnShowModal = [](TfrmStyle& F) {
        EXPECT_EQ(F.windowTitle().toStdString(), "スタイルを追加するグループの選択");
        EXPECT_FALSE(F.DrawGrid->isEnabled());
        F.SelectGroup(F.Tree.NodeAt(2));
        F.accept();
    };
    std::unique_ptr<TObject> Data = GradItem("added");
    ASSERT_TRUE(Style.Add(Data));
    EXPECT_EQ(Data, nullptr);
    EXPECT_EQ(Asked, std::vector<std::string>{"スタイルの追加"});
    TStyleTree Back;
    Style.Library.LoadFromFile(LibraryPath().string(), Back);
    const TStyleGroup* Sun = Back.NodeAt(2);
    ASSERT_EQ(Sun->Items.size(), 2u);
    EXPECT_EQ(Sun->Items[1].Title, "新しい夕焼け");
    EXPECT_EQ(dynamic_cast<TobjStyleItemGrad&>(*Sun->Items[1].Data).Text, "added");
}

// Names are kept as CP932 in the library file: the name boxes leave out,
// while typed, what CP932 cannot hold, and what they show is what is stored.
TEST_F(StyleDialog, TheAddBoxLeavesOutWhatANameCannotHold)
{
    WriteSample();
    TStyle::InputQuery = OldQuery; // the chooser's own box
    std::vector<std::string> Shown;
    TypeIntoNextBox("a€b✓", Shown);
    TStyle::OnShowModal = [](TfrmStyle& F) {
        F.SelectGroup(F.Tree.NodeAt(2));
        F.accept();
    };
    std::unique_ptr<TObject> Data = GradItem("added");
    ASSERT_TRUE(Style.Add(Data));
    EXPECT_EQ(Shown, std::vector<std::string>{"ab"});
    TStyleTree Back;
    Style.Library.LoadFromFile(LibraryPath().string(), Back);
    ASSERT_EQ(Back.NodeAt(2)->Items.size(), 2u);
    EXPECT_EQ(Back.NodeAt(2)->Items[1].Title, "ab");
    EXPECT_NE(Bytes(LibraryPath()).find(Counted("ab")), std::string::npos);
}

TEST_F(StyleDialog, TheGroupAndRenameBoxesLeaveOutWhatANameCannotHold)
{
    WriteSample();
    TStyle::InputQuery = OldQuery;
    std::vector<std::string> Shown;
    TStyle::OnShowModal = [&](TfrmStyle& F) {
        // The buttons act on the part that has the focus.
        const auto Activate = [&F] { return ActivateAndWait(&F); };
        TypeIntoNextBox("a€b✓", Shown);
        F.AddGroup();
        // A group's name is changed in place, in the tree.
        ASSERT_TRUE(Activate());
        F.SelectGroup(F.Tree.NodeAt(0));
        F.tvGroup->setFocus();
        F.sbtnRename->click();
        auto* Line = F.tvGroup->findChild<QLineEdit*>();
        ASSERT_NE(Line, nullptr);
        TypeInto(*Line, "c€d✓");
        Shown.push_back(Line->text().toStdString());
        QTest::keyClick(Line, Qt::Key_Return);
        F.DrawGrid->setFocus();
        F.DrawGrid->SetCurrentIndex(0);
        TypeIntoNextBox("e€f✓", Shown);
        F.sbtnRename->click();
        F.accept();
    };
    EXPECT_TRUE(Style.Select([](const TObject&) {}));
    EXPECT_EQ(Shown, (std::vector<std::string>{"ab", "cd", "ef"}));
    TStyleTree Back;
    Style.Library.LoadFromFile(LibraryPath().string(), Back);
    ASSERT_EQ(Back.NodeCount(), 4);
    EXPECT_EQ(Back.NodeAt(3)->Name, "ab");
    EXPECT_EQ(Back.NodeAt(0)->Name, "cd");
    EXPECT_EQ(Back.NodeAt(0)->Items[0].Title, "ef");
    const std::string File = Bytes(LibraryPath());
    for (const char* Name : {"ab", "cd", "ef"})
        EXPECT_NE(File.find(Counted(Name)), std::string::npos) << Name;
}

// A name that reaches the chooser past its boxes keeps to the same rule.
TEST_F(StyleDialog, NamesEnterWithoutWhatCp932CannotHold)
{
    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    Answers = {"a€b✓", "e€f✓"};
    F.AddGroup();
    EXPECT_EQ(F.Tree.NodeAt(3)->Name, "ab");
    F.tvGroup->topLevelItem(0)->setText(0, QString::fromUtf8("c€d✓"));
    EXPECT_EQ(F.Tree.NodeAt(0)->Name, "cd");
    EXPECT_EQ(F.tvGroup->topLevelItem(0)->text(0).toStdString(), "cd");
    F.SelectGroup(F.Tree.NodeAt(0));
    F.DrawGrid->SetCurrentIndex(0);
    F.RenameSelected(true);
    EXPECT_EQ(F.Tree.NodeAt(0)->Items[0].Title, "ef");
}

TEST_F(StyleDialog, WithoutAnyLibraryCancelLeavesNoFile)
{
    std::unique_ptr<TObject> Data = std::make_unique<TobjStyleItemGrad>();
    EXPECT_FALSE(Style.Add(Data)); // the name query is cancelled
    EXPECT_NE(Data, nullptr);
    TStyle::OnShowModal = [](TfrmStyle& F) {
        ASSERT_EQ(F.Tree.NodeCount(), 1);
        EXPECT_EQ(F.Tree.NodeAt(0)->Name, "新規");
        F.reject();
    };
    EXPECT_FALSE(Style.Select([](const TObject&) {}));
    EXPECT_FALSE(fs::exists(LibraryPath()));
}

TEST_F(StyleDialog, GroupCommands)
{
    TfrmStyle F(Style, 1);
    F.Tree.AddGroup(nullptr, "only");
    F.FillTree();
    F.DeleteSelected(false);
    EXPECT_EQ(Boxes, std::vector<std::string>{"グループは最低１つ必要です"});
    EXPECT_EQ(F.Tree.NodeCount(), 1);

    F.Tree = SampleTree();
    F.FillTree();
    Answers = {"追加"};
    F.AddGroup();
    EXPECT_EQ(F.Tree.NodeAt(3)->Name, "追加");
    EXPECT_EQ(F.SelectedGroup(), F.Tree.NodeAt(3));
    F.SelectGroup(F.Tree.NodeAt(0));
    F.DeleteSelected(false); // with its subgroup and items
    EXPECT_EQ(F.Tree.NodeCount(), 2);
    EXPECT_NE(Boxes.back().find("\"メタル\" を削除します。よろしいですか？"), std::string::npos);
    EXPECT_TRUE(F.Modified);
}

TEST_F(StyleDialog, StoredLayoutIsClampedAndAFarGroupFallsBackToTheFirst)
{
    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    F.ApplyLayout("10,10,500,400,7,3,8,300,1");
    EXPECT_EQ(F.SelectedGroup(), F.Tree.NodeAt(0));
    EXPECT_EQ(F.CellWidth, 16);
    EXPECT_EQ(F.CellHeight, 255);
    EXPECT_EQ(F.DrawGrid->CurrentIndex(), 0);
    F.ApplyLayout("-90000,-90000,500,400,0,1,64,64,0");
    EXPECT_TRUE(F.geometry().intersects(QApplication::primaryScreen()->availableGeometry()));
    EXPECT_EQ(F.DrawGrid->CurrentIndex(), 1);
    EXPECT_FALSE(F.ToolbarVisible);
}

TEST_F(StyleDialog, AFailingLateCellIsDrawnOnceAsAPlaceholder)
{
    int Calls = 0;
    Style.LateDrawing = true;
    Style.OnDrawCellLate = [&](QPainter&, const std::string&, const TObject*, const QRect&, bool) {
        ++Calls;
        throw EConvertError("empty light");
    };
    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    F.resize(400, 300);
    F.show();
    F.DrawGrid->repaint();
    for (int I = 0; I < 10; ++I)
        QCoreApplication::processEvents();
    EXPECT_EQ(Calls, 2); // the two items of the first group, each once
    EXPECT_FALSE(F.DrawLateCell());
    ASSERT_NE(F.LateImage(0), nullptr);
    EXPECT_EQ(F.LateImage(0)->pixelColor(50, 85), QColor(0xC0, 0xC0, 0xC0));
}

#include "ui/golden_image.h"

// The grid's face with owner-drawn swatches, the current cell framed.
TEST_F(StyleDialog, GridFaceMatchesTheGolden)
{
    Style.OnDrawCell = [](QPainter& Canvas, const std::string&, const TObject* Data, const QRect& Rect, bool) {
        const std::string& Text = dynamic_cast<const TobjStyleItemGrad&>(*Data).Text;
        const QColor C = Text == "sun" ? QColor(240, 120, 40) : Text.find("シルバー") != std::string::npos
                                                                    ? QColor(190, 190, 200)
                                                                    : QColor(210, 160, 40);
        Canvas.fillRect(Rect.adjusted(4, 4, -4, -4), C);
    };
    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    F.ApplySettings(60, 50, true);
    F.DrawGrid->setFixedSize(200, 120);
    F.DrawGrid->Relayout();
    F.DrawGrid->SetCurrentIndex(1);
    ExpectMatchesGolden(F.DrawGrid->grab().toImage(), "style_grid.png");
}

TEST_F(StyleDialog, SettingsTakeDigitsOnlyAndClampTheCellSize)
{
    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    TfrmStyle::OnSettingsShown = [](TfrmSettingfrmStyle& D) {
        EXPECT_EQ(D.edtX->text().toStdString(), "100");
        D.edtX->clear();
        QTest::keyClicks(D.edtX, "9a9-9");
        EXPECT_EQ(D.edtX->text().toStdString(), "999");
        D.edtY->setText("");
        D.accept();
    };
    F.RunSettings();
    TfrmStyle::OnSettingsShown = nullptr;
    EXPECT_EQ(F.CellWidth, 255); // 999 clamped
    EXPECT_EQ(F.CellHeight, 100); // empty: the old value
}

TEST_F(StyleDialog, AppendingAFileAddsItsGroupsAfterTheLastOne)
{
    TStyleTree Other;
    TStyleGroup* G = Other.AddGroup(nullptr, "追加分");
    for (const char* Sub : {"一", "二", "三"})
        Other.AddChild(G, Sub);
    TCustomStyle Writer = Style.Library;
    Writer.FileName = (Dir / "other.stl").string();
    Writer.SaveToFile(Other);

    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    F.AppendFromFile(Writer.FileName);
    ASSERT_EQ(F.Tree.NodeCount(), 7);
    EXPECT_EQ(F.Tree.NodeAt(3)->Name, "追加分");
    EXPECT_EQ(F.Tree.NodeAt(3)->Children.size(), 3u);
    EXPECT_EQ(F.Tree.NodeAt(6)->Name, "三");
    EXPECT_TRUE(F.Modified);
    // A file of another kind changes nothing.
    TCustomStyle Light = MakeStyleLibrary(TStyleKind::Light, Dir.string(), "");
    Light.SaveToFile(Other);
    F.Modified = false;
    EXPECT_THROW(F.AppendFromFile(Light.FileName), EStyleInvalidateData);
    EXPECT_EQ(F.Tree.NodeCount(), 7);
    EXPECT_FALSE(F.Modified);
}

// A key acts on release only when it went down in the grid itself.
TEST_F(StyleDialog, DeleteKeyActsOnlyWhenPressedInTheGrid)
{
    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    F.show();
    F.DrawGrid->setFocus();
    F.DrawGrid->SetCurrentIndex(0);
    QKeyEvent Release(QEvent::KeyRelease, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(F.DrawGrid, &Release);
    EXPECT_EQ(F.Tree.NodeAt(0)->Items.size(), 2u);
    QTest::keyClick(F.DrawGrid, Qt::Key_Delete);
    ASSERT_EQ(F.Tree.NodeAt(0)->Items.size(), 1u);
    EXPECT_EQ(F.Tree.NodeAt(0)->Items[0].Title, "シルバー");
    EXPECT_NE(Boxes.back().find("\"ゴールド\" を削除します。"), std::string::npos);
}

namespace {

// A library of item-less groups at the given levels, named by their order.
std::string LevelsLibrary(const std::vector<int32_t>& Levels)
{
    std::string Out;
    auto S = [&Out](const std::string& Text) {
        for (int I = 0; I < 4; ++I)
            Out.push_back(static_cast<char>(static_cast<uint32_t>(Text.size()) >> (8 * I)));
        Out += Text;
    };
    S("StyleSepranGradation");
    S("100");
    S(std::to_string(Levels.size()));
    for (size_t I = 0; I < Levels.size(); ++I) {
        S(std::to_string(Levels[I]));
        S("g" + std::to_string(I));
        S("0");
    }
    return Out;
}

int DepthOf(const QTreeWidgetItem* Item)
{
    int Depth = 0;
    for (; Item->parent(); Item = Item->parent())
        ++Depth;
    return Depth;
}

} // namespace

// Groups at levels 1, 1, 0 are three top-level groups: shown so, and
// written back so when a style is added to the last one.
TEST_F(StyleDialog, AFirstGroupAtLevelOneStaysAtTheTopThroughAnAdd)
{
    std::ofstream(LibraryPath(), std::ios::binary) << LevelsLibrary({1, 1, 0});
    Answers = {"新しい"};
    TStyle::OnShowModal = [](TfrmStyle& F) {
        ASSERT_EQ(F.tvGroup->topLevelItemCount(), 3);
        for (int I = 0; I < 3; ++I)
            EXPECT_EQ(F.tvGroup->topLevelItem(I)->childCount(), 0) << I;
        F.SelectGroup(F.Tree.NodeAt(2));
        F.accept();
    };
    std::unique_ptr<TObject> Data = GradItem("added");
    ASSERT_TRUE(Style.Add(Data));

    TStyleTree Expected;
    for (const char* Name : {"g0", "g1", "g2"})
        Expected.AddGroup(nullptr, Name);
    Expected.NodeAt(2)->Items.push_back({"新しい", GradItem("added")});
    TMemoryStream M;
    SaveStyleStream(M, "StyleSepranGradation", 100, Expected, SaveGradItem);
    EXPECT_EQ(Bytes(LibraryPath()), std::string(static_cast<const char*>(M.Memory()), static_cast<size_t>(M.Size())));
}

// The tree view shows a library as deep as one may go; a file nesting
// 200,000 levels is set aside as damaged and the chooser opens without it.
TEST_F(StyleDialog, DeepLibrariesAreShownOrSetAsideWithoutRecursingPerLevel)
{
    std::vector<int32_t> Levels(StyleMaxLevel + 1);
    for (size_t I = 0; I < Levels.size(); ++I)
        Levels[I] = static_cast<int32_t>(I);
    std::ofstream(LibraryPath(), std::ios::binary) << LevelsLibrary(Levels);
    TStyle::OnShowModal = [](TfrmStyle& F) {
        const QTreeWidgetItem* Deepest = F.tvGroup->topLevelItem(0);
        while (Deepest->childCount() > 0)
            Deepest = Deepest->child(0);
        EXPECT_EQ(DepthOf(Deepest), StyleMaxLevel);
        EXPECT_EQ(Deepest->text(0).toStdString(), "g" + std::to_string(StyleMaxLevel));
        F.reject();
    };
    EXPECT_FALSE(Style.Select([](const TObject&) {}));
    EXPECT_TRUE(Boxes.empty());

    Levels.resize(200000);
    for (size_t I = 0; I < Levels.size(); ++I)
        Levels[I] = static_cast<int32_t>(I);
    const std::string Deep = LevelsLibrary(Levels);
    std::ofstream(LibraryPath(), std::ios::binary) << Deep;
    TStyle::OnShowModal = [](TfrmStyle& F) {
        ASSERT_EQ(F.tvGroup->topLevelItemCount(), 1);
        EXPECT_EQ(F.tvGroup->topLevelItem(0)->text(0).toStdString(), "新規");
        F.reject();
    };
    EXPECT_FALSE(Style.Select([](const TObject&) {}));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], StyleUnreadableMessage(LibraryPath().string(), LibraryPath().string() + ".bad"));
    EXPECT_EQ(Bytes(LibraryPath().string() + ".bad"), Deep);
}

namespace {

// The titles the grid paints, each time it paints them.
struct TPaintRecord {
    std::vector<std::string> Titles;
    TDrawStyleCellEvent Handler()
    {
        return [this](QPainter&, const std::string& Title, const TObject*, const QRect&, bool) {
            Titles.push_back(Title);
        };
    }
};

} // namespace

// After a group goes, the grid shows the group the tree selects in its
// place, from its first cell: what a double click then takes is what is shown.
TEST_F(StyleDialog, DeletingAGroupShowsTheCellsOfTheGroupSelectedNext)
{
    TPaintRecord Painted;
    Style.OnDrawCell = Painted.Handler();
    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    F.resize(400, 300);
    F.show();
    ASSERT_TRUE(BecomesExposed(&F));
    F.SelectGroup(F.Tree.NodeAt(2)); // 夕焼け
    F.DrawGrid->SetCurrentIndex(0);
    QTest::qWait(20);
    ASSERT_EQ(F.CurrentItem()->Title, "夕日");
    Painted.Titles.clear();
    F.DeleteSelected(false);
    QTest::qWait(20);
    ASSERT_EQ(F.SelectedGroup(), F.Tree.NodeAt(0));
    EXPECT_EQ(Painted.Titles, (std::vector<std::string>{"ゴールド", "シルバー"}));
    EXPECT_EQ(F.DrawGrid->CurrentIndex(), 0);

    // A group at a later cell gives way to one whose cells start again at the first.
    F.SelectGroup(F.Tree.NodeAt(0));
    F.DrawGrid->SetCurrentIndex(1);
    Answers = {"もう一つ"};
    F.AddGroup();
    F.DeleteSelected(false);
    QTest::qWait(20);
    EXPECT_EQ(F.DrawGrid->CurrentIndex(), 0);
    ASSERT_TRUE(F.CurrentItem());
    EXPECT_EQ(F.CurrentItem()->Title, "ゴールド");
}

// A renamed style's finished cell is drawn again with its new title.
TEST_F(StyleDialog, ARenamedStyleIsDrawnWithItsNewTitle)
{
    TPaintRecord Late;
    Style.LateDrawing = true;
    Style.OnDrawCellLate = Late.Handler();
    TfrmStyle F(Style, 1);
    F.Tree = SampleTree();
    F.FillTree();
    F.resize(400, 300);
    F.show();
    ASSERT_TRUE(BecomesExposed(&F));
    QTest::qWait(50);
    ASSERT_EQ(Late.Titles, (std::vector<std::string>{"ゴールド", "シルバー"}));
    F.DrawGrid->setFocus();
    F.DrawGrid->SetCurrentIndex(1);
    Late.Titles.clear();
    Answers = {"プラチナ"};
    F.RenameSelected(true);
    QTest::qWait(50);
    EXPECT_EQ(Late.Titles, std::vector<std::string>{"プラチナ"});
    EXPECT_TRUE(F.Modified);
}

#include "editors/frm_gradation.h"
#include "editors/frm_light.h"
#include "editors/macro_paint_page.h"
#include "ui/frm_rollup.h"
#include "macro_page_test_link.h"
#include "window_wait.h"

#include <QCursor>
#include <QToolButton>

// Each library's chooser offers its settings (the cell size) and answers
// F1 with the owner's help topic.
TEST_F(StyleDialog, EveryOwnerOffersTheSettingsAndItsHelp)
{
    TfrmGradation Grad(nullptr, Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph");
    TfrmLight Light(nullptr, Ini.get(), "4.0", "frmLight", "PosLight");
    test_support::TMacroPageTestLink Link;
    TMacroPaintPage Page(Link);
    Page.SetIniFile(Ini.get());
    Page.SetStyleFolders(Dir.string(), std::string());
    std::vector<int32_t> Helps;
    SetShowHelpContextHook([&](int32_t C) { Helps.push_back(C); });
    TfrmStyle::OnSettingsShown = [](TfrmSettingfrmStyle& D) {
        D.edtX->setText("40");
        D.edtY->setText("300");
        D.accept();
    };
    const std::pair<TStyle*, int32_t> Cases[] = {{Grad.Style, 3621}, {Light.Style, 3730}, {Page.Style, 3210}};
    for (const auto& [Owner, Help] : Cases) {
        SCOPED_TRACE(Help);
        Helps.clear();
        bool Shown = false;
        int Width = 0, Height = 0;
        TStyle::OnShowModal = [&](TfrmStyle& F) {
            Shown = F.sbtnSetting->isVisible();
            F.DrawGrid->setFocus();
            QCursor::setPos(F.DrawGrid->mapToGlobal(F.DrawGrid->rect().center()));
            QTest::keyClick(F.DrawGrid, Qt::Key_F1);
            // Over a button its own topic.
            QCursor::setPos(F.sbtnSetting->mapToGlobal(F.sbtnSetting->rect().center()));
            QTest::keyClick(F.DrawGrid, Qt::Key_F1);
            if (Shown)
                F.sbtnSetting->click();
            Width = F.CellWidth;
            Height = F.CellHeight;
            F.reject();
        };
        Owner->Select([](const TObject&) {});
        EXPECT_TRUE(Shown) << "the settings button is hidden";
        EXPECT_EQ(Helps, (std::vector<int32_t>{Help, 5020005}));
        EXPECT_EQ(Width, 40);
        EXPECT_EQ(Height, 255);
    }
    TfrmStyle::OnSettingsShown = nullptr;
    SetShowHelpContextHook(nullptr);
}

// The light styles' titles: black in a white rim over the sample and the
// plain face, whatever lies under them; never an inversion of it.
TEST_F(StyleDialog, ALightStyleTitleStaysReadable)
{
    TfrmLight Light(nullptr, Ini.get(), "4.0", "frmLight", "PosLight");
    TobjStyleItemLight Item;
    Item.Text = Light.LightText();
    using TDraw = void (*)(QPainter&, const std::string&, const TObject*, const QRect&, bool);
    for (const TDraw Draw : {TDraw(&TfrmLight::StyleDrawCellLate), TDraw(&TfrmLight::StyleDrawCell)}) {
        auto Render = [&](const std::string& Title) {
            QImage Image(100, 100, QImage::Format_RGB32);
            Image.fill(QColor(0x80, 0x80, 0x80));
            QPainter P(&Image);
            // Whole pixels, for the colours to be exact.
            QFont Font = P.font();
            Font.setStyleStrategy(QFont::NoAntialias);
            P.setFont(Font);
            Draw(P, Title, &Item, QRect(0, 0, 100, 100), false);
            return Image;
        };
        const QImage Plain = Render(""), Titled = Render("WMW");
        const QRgb Black = qRgb(0, 0, 0), White = qRgb(255, 255, 255);
        auto At = [&](int X, int Y) { return Titled.pixel(std::clamp(X, 0, 99), std::clamp(Y, 0, 99)); };
        int Strokes = 0, Others = 0, Bare = 0;
        for (int Y = 0; Y < 100; ++Y)
            for (int X = 0; X < 100; ++X) {
                const QRgb C = Titled.pixel(X, Y);
                if (C == Plain.pixel(X, Y))
                    continue;
                if (C == Black) {
                    ++Strokes;
                    for (const QPoint D : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
                        if (At(X + D.x(), Y + D.y()) != Black && At(X + D.x(), Y + D.y()) != White)
                            ++Bare;
                } else if (C != White) {
                    ++Others;
                }
            }
        EXPECT_GT(Strokes, 20);
        EXPECT_EQ(Others, 0) << "the title changes what lies under it";
        EXPECT_EQ(Bare, 0) << "strokes touch the sample without a rim";
    }
}
