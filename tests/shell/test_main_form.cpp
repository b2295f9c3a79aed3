// The frame's creation, start-up and shutdown with the settings they read
// and write, the command table, placement, the floating windows, enabling
// without documents, and the help frame page.
#include "shell_test_support.h"

#include "editors/frm_plt_color.h"
#include "foundation/user_error.h"
#include "paint/macro_library.h"
#include "platform/cp932.h"
#include "platform/module_loader.h"
#include "platform/qt/window_routines.h"
#include "shell/about_form.h"
#include "shell/grid_option_form.h"
#include "shell/status_panel.h"
#include "shell/tavro_action.h"
#include "ui/page_control_wex.h"
#include "ui/rv_clip_detector.h"
#include "ui/toolbar97.h"
#include "ui/toolbar_button97.h"
#include "ui/ui_routines.h"

#include <QClipboard>
#include <QComboBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUrl>

#include <fstream>
#include <functional>
#include <map>

namespace {

const auto* const gShellEnvironment = ::testing::AddGlobalTestEnvironment(new TShellEnvironment);

TEST(CommandTable, HintsDropTheAcceleratorSuffixOnly)
{
    const std::pair<const char*, const char*> Cases[] = {
        {"開く(&O)...", "開く"},
        {"新規作成(&N)", "新規作成"},
        {"グリッド", "グリッド"},
        {"複製(U)", "複製(U)"},
        {"画像として保存...", "画像として保存..."},
        {"(&X)", ""},
        {"A(&XY)", "A(&XY)"},
    };
    for (const auto& [Caption, Hint] : Cases)
        EXPECT_EQ(CaptionToHint(Caption), Hint) << Caption;
}

TEST_F(TFrameTest, CommandTableNumbersTheCommandsAndDerivesTheirHints)
{
    // As created, before a document window checks its page's commands.
    Frame = std::make_unique<TfrmTavro>();
    const char* const Names[TfrmTavro::CommandCount] = {
        "actNew", "actOpen", "actOpenImage", "actClose", "actSave", "actSaveAs", "actSaveBMP", "actBmpTrace",
        "actSelectTwain", "actInputTwain", "actMorvo", "actPrintSetup", "actPrint", "actConvertToBmp",
        "actExit", "actUndo", "actRedo", "actCut", "actCopy", "actPaste", "actDel", "actDup", "actSelAll",
        "actCopyAsBMP", "actDispHigh", "actDispMid", "actDispLow", "actDispWire", "actZoomIn", "actZoomOut",
        "actCommonPage", "actMacPaintPropertyPage", "actShapePage", "actTextPage", "actOutlinePage",
        "actPageAll", "actDispColPlt", "actDispAnchor", "actShowGrid", "actRuler", "act1Up", "act1Down",
        "actTop", "actBottom", "actArngLeft", "actArngRight", "actCenterH", "actImgCenterH", "actEqualH",
        "actArngTop", "actArngBottom", "actCenterV", "actImgCenterV", "actEqualV", "actToPolyLine",
        "actMerge", "actUnMerge", "actBezierToLine", "actLineToBezier", "actNodeSym", "actNodeSmooth",
        "actNodeSharp", "actNodeConnect", "actNodeDivide", "actOption", "actGridOption", "actSnapGrid",
        "actSnapObj", "actTileV", "actTileH", "actCascade", "actHelpContents", "actHP", "actAbout", "cmbZoom",
        "actDispSmooth"};
    ASSERT_EQ(Frame->CommandCaptions().Count(), TfrmTavro::CommandCount);
    for (int32_t I = 0; I < TfrmTavro::CommandCount; ++I) {
        QObject* C = Frame->Command(I);
        EXPECT_EQ(C->objectName(), Names[I]) << I;
        EXPECT_EQ(Frame->CommandCaptions().Objects(I), static_cast<void*>(C)) << I;
        if (auto* A = dynamic_cast<TAction*>(C)) {
            EXPECT_EQ(A->Tag, I);
            EXPECT_EQ(A->Hint().toStdString(), CaptionToHint(A->text().toStdString())) << I;
            EXPECT_EQ(Frame->CommandCaptions().Strings(I), A->Hint().toStdString()) << I;
        }
    }
    EXPECT_EQ(Frame->CommandCaptions().Strings(TfrmTavro::ZoomBoxCommand), "表示倍率ボックス");
    EXPECT_EQ(Frame->Command(TfrmTavro::ZoomBoxCommand), Frame->cmbZoom);
    // Spot checks of captions, help contexts and shortcuts.
    EXPECT_EQ(Frame->actSaveAs->text(), "名前をつけて保存(&A)...");
    EXPECT_EQ(Frame->actSaveAs->shortcut(), QKeySequence("Ctrl+Shift+S"));
    EXPECT_EQ(Frame->actDispLow->HelpContext, 200304);
    EXPECT_EQ(Frame->actOutlinePage->HelpContext, 2000313);
    EXPECT_EQ(Frame->actDel->shortcut(), QKeySequence(Qt::Key_Delete));
    EXPECT_EQ(Frame->actMorvo->shortcut(), QKeySequence("Ctrl+Shift+G"));
    EXPECT_TRUE(Frame->actDispWire->isChecked());
    EXPECT_FALSE(Frame->actDispHigh->isChecked());
    EXPECT_EQ(Frame->windowTitle(), "タヴロ");
    // No display name for Qt to add after every window's caption: the
    // name stays the application's own.
    EXPECT_EQ(QGuiApplication::applicationDisplayName().toStdString(),
              QCoreApplication::applicationName().toStdString());
}

TEST(Placement, WorkAreaUpTo800WideGivesTheFullWidth)
{
    struct TCase {
        TRect WorkArea;
        TRect Frame;
    };
    const TCase Cases[] = {
        {{0, 0, 800, 600}, {0, 0, 800, 352}},
        {{0, 0, 801, 600}, {230, 0, 801, 300}},
        {{10, 20, 1290, 1044}, {240, 20, 1290, 744}},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(FramePlacement(C.WorkArea), C.Frame);
}

TEST_F(TFrameTest, StartUpOpensOneUntitledDocumentAndShutdownWritesTheSettings)
{
    Frame = std::make_unique<TfrmTavro>();
    // Before a placement was saved the frame sits where the work area puts it.
    TRect Work;
    ASSERT_TRUE(GetWorkAreaRect(Work));
    const TRect P = FramePlacement(Work);
    const QRect Whole(P.Left, P.Top, P.Right - P.Left, P.Bottom - P.Top);
    EXPECT_EQ(Frame->geometry(), Whole);
    Frame->StartUp();
    Frame->show();
    // Once framed, the whole window, title bar included, keeps to those
    // bounds: it ends where the panel's band begins.
    EXPECT_TRUE(WaitUntil([&] { return Frame->frameGeometry() == Whole; }))
        << Frame->frameGeometry().height() << " high, not " << Whole.height();
    EXPECT_NE(Frame->geometry(), Whole);

    EXPECT_EQ(DocNames(), std::vector<std::string>{"画像1"});
    ASSERT_NE(ActivePage(), nullptr);
    EXPECT_EQ(ActivePage()->Width(), 400);
    EXPECT_EQ(ActivePage()->Height(), 300);
    EXPECT_TRUE(Frame->ActiveDocWindow()->SubWindow()->isMaximized());
    EXPECT_TRUE(Frame->MdiArea()->isVisible());
    // Later steps of start-up ran: the watch, the drop target, the floating windows.
    EXPECT_TRUE(bool(Frame->ClipDetector()->OnClipChange()));
    EXPECT_NE(Frame->DropTarget(), nullptr);
    EXPECT_TRUE(Frame->acceptDrops());
    ASSERT_TRUE(frmPltColor);
    EXPECT_TRUE(frmPltColor->isVisible());
    EXPECT_EQ(frmPltColor->windowTitle(), "ドラッグパレット");
    EXPECT_EQ(frmPltColor->parentWidget(), Frame.get());
    EXPECT_TRUE(Frame->actDispColPlt->isChecked());
    EXPECT_TRUE(Frame->actCommonPage->isChecked());
    EXPECT_EQ(gDocuments->GetDocument(0)->History()->ObjCount(),
              gDocuments->GetDocument(0)->History()->ObjListCount());
    // The zoom box stands on a toolbar in the top dock.
    ASSERT_NE(Frame->ZoomToolbar(), nullptr);
    EXPECT_EQ(Frame->cmbZoom->parentWidget(), Frame->ZoomToolbar()->ClientArea());
    EXPECT_EQ(Frame->ZoomToolbar()->DockedTo(), Frame->Dock97Top);
    EXPECT_TRUE(Frame->cmbZoom->isVisible());

    Frame->actDispSmooth->trigger();
    Close();
    EXPECT_EQ(Setting("MaxFrmChild"), "1");
    EXPECT_EQ(Setting("Flags"), "1,1,1,1");
    EXPECT_EQ(Setting("DspSmth"), "1");
    EXPECT_NE(Setting("PosMain"), "(none)");
    // The palette window went with the frame and kept its placement.
    EXPECT_FALSE(frmPltColor);
    EXPECT_NE(Setting("PosPltColor"), "(none)");
}

TEST_F(TFrameTest, SavedSettingsAreReadAtStartUp)
{
    AppIniFile().WriteString("4.0", "Flags", "1,1,1,0");
    AppIniFile().WriteBool("4.0", "DspSmth", true);
    AppIniFile().WriteInteger("4.0", "MaxFrmChild", 0);
    AppIniFile().WriteInteger("4.0", "PgDWidth", 320);
    AppIniFile().WriteInteger("4.0", "PgDHeight", 200);
    AppIniFile().WriteString("4.0", "PosMain", "5,6,500,400,1");
    Start();
    EXPECT_FALSE(frmPltColor->isVisible());
    EXPECT_FALSE(Frame->actDispColPlt->isChecked());
    EXPECT_TRUE(Frame->actDispSmooth->isChecked());
    EXPECT_EQ(Frame->FbSmooth, 1);
    EXPECT_FALSE(Frame->ActiveDocWindow()->SubWindow()->isMaximized());
    EXPECT_EQ(ActivePage()->Width(), 320);
    EXPECT_EQ(ActivePage()->Height(), 200);
    EXPECT_EQ(Frame->size(), QSize(500, 400));
    // The palette comes back by its command; the window that is not
    // maximised is written as such.
    Frame->actDispColPlt->trigger();
    EXPECT_TRUE(frmPltColor->isVisible());
    Close();
    EXPECT_EQ(Setting("MaxFrmChild"), "0");
    EXPECT_EQ(Setting("Flags"), "1,1,1,1");
    EXPECT_EQ(Setting("DspSmth"), "1");
}

TEST_F(TFrameTest, NoDocumentWindowAtCloseWritesMaxFrmChild1AndLeavesDocumentCommandsOff)
{
    AppIniFile().WriteInteger("4.0", "MaxFrmChild", 0);
    Start();
    Frame->actClose->trigger();
    Settle();
    EXPECT_TRUE(Frame->DocWindows().empty());
    for (TAction* A : {Frame->actNew, Frame->actOpen, Frame->actOpenImage, Frame->actConvertToBmp,
                       Frame->actExit, Frame->actCommonPage, Frame->actPageAll, Frame->actDispColPlt,
                       Frame->actOption, Frame->actCustomize, Frame->actTileV, Frame->actCascade,
                       Frame->actHelpContents, Frame->actAbout})
        EXPECT_TRUE(A->isEnabled()) << A->objectName().toStdString();
    for (TAction* A : {Frame->actSave, Frame->actCut, Frame->actDel, Frame->actZoomIn, Frame->actDispHigh,
                       Frame->actDispSmooth, Frame->actUndo})
        EXPECT_FALSE(A->isEnabled()) << A->objectName().toStdString();
    EXPECT_FALSE(Frame->sbtnArrow->isEnabled());
    EXPECT_FALSE(Frame->cmbZoom->isEnabled());
    Frame->actNew->trigger();
    EXPECT_TRUE(Frame->actZoomIn->isEnabled());
    EXPECT_FALSE(Frame->actCut->isEnabled()); // nothing selected
    EXPECT_TRUE(Frame->sbtnRect->isEnabled());
    Frame->actClose->trigger();
    Settle();
    Close();
    EXPECT_EQ(Setting("MaxFrmChild"), "1");
}

TEST_F(TFrameTest, ARefusedSaveQuestionKeepsTheProgramRunning)
{
    Start();
    ActivePage()->SetPageSize(50, 50); // modified
    SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t) {
        Boxes.push_back({Text, Caption});
        return IDCANCEL;
    });
    EXPECT_FALSE(Frame->close());
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Setting("Flags"), "(none)");
    gDocuments->GetDocument(0)->SetModified(false);
}

TEST_F(TFrameTest, MissingDocumentRegistryStopsStartUp)
{
    std::unique_ptr<TDocuments> Saved = std::move(gDocuments);
    Frame = std::make_unique<TfrmTavro>();
    EXPECT_EQ(MessageOf<EUserError>([&] { Frame->StartUp(); }),
              "uDocumentAC.initialization: gDocuments = nil");
    gDocuments = std::move(Saved);
}

TEST_F(TFrameTest, MissingMacroLibraryStopsTheProgramWithItsMessage)
{
    const std::string Empty = Tmp / "nolib";
    std::filesystem::create_directories(Empty);
    EXPECT_FALSE(StartUnits(Empty));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "TMacro.ReadMacroFile:" + Empty + "/Macro.tvm にアクセスできません。");
    EXPECT_EQ(Boxes[0].Caption, "エラー");
    // The test program's own libraries again.
    LoadMacroLibraries();
}

// A library file that does not read whole is the installation gone bad: one
// box names it and asks for a reinstall, and the program does not start.
TEST_F(TFrameTest, ADamagedMacroLibraryStopsTheProgramNamingIt)
{
    const std::filesystem::path Own = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string Lib = Tmp / "lib";
    std::filesystem::create_directories(Lib);
    const auto Damage = std::vector<std::pair<const char*, std::function<void(std::string&)>>>{
        {"cut short", [](std::string& B) { B.resize(B.size() / 2); }},
        {"its last byte 0", [](std::string& B) { B.back() = 0; }},
        {"its signature changed", [](std::string& B) { B[0] = 'x'; }},
    };
    for (const char* File : {"Macro.tvm", "MacPath.tvm"})
        for (const auto& [How, Change] : Damage) {
            for (const char* Each : {"Macro.tvm", "MacPath.tvm"})
                std::filesystem::copy_file(Own / Each, Lib + "/" + Each,
                                           std::filesystem::copy_options::overwrite_existing);
            std::ifstream In(Lib + "/" + File, std::ios::binary);
            std::string Bytes((std::istreambuf_iterator<char>(In)), {});
            In.close();
            Change(Bytes);
            std::ofstream(Lib + "/" + File, std::ios::binary | std::ios::trunc) << Bytes;
            Boxes.clear();
            EXPECT_FALSE(StartUnits(Lib)) << File << " " << How;
            ASSERT_EQ(Boxes.size(), 1u) << File << " " << How;
            EXPECT_EQ(Boxes[0].Text, "マクロライブラリファイル " + Lib + "/" + File +
                                         " は壊れているため読み込めません。プログラムを再インストールしてください。")
                << How;
            EXPECT_EQ(Boxes[0].Caption, "エラー");
        }
    LoadMacroLibraries();
}

// Every file of a folder (and below) with its bytes.
std::map<std::string, std::string> FolderBytes(const std::string& Folder)
{
    std::map<std::string, std::string> Files;
    for (const auto& E : std::filesystem::recursive_directory_iterator(Folder))
        if (E.is_regular_file()) {
            std::ifstream In(E.path(), std::ios::binary);
            Files[E.path()] = std::string((std::istreambuf_iterator<char>(In)), {});
        }
    return Files;
}

// Delivered files beside the program that read whole but do not hold what
// the program knows, or that disagree with each other, are a damaged
// installation: one box names the file, the program ends, and neither the
// user's defaults nor the program's folder change. Each row changes one
// byte of a delivered file as it was built (the tester's damages among
// them); the start goes as the program's own: units, then the main block.
TEST_F(TFrameTest, DeliveredFilesThatDisagreeStopTheProgramNamingTheDamagedOne)
{
    const std::filesystem::path Own = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string Lib = Tmp / "program";
    const std::string UserDefaults = TShellEnvironment::Data + "/TavDef.dat";
    const auto Read = [](const std::string& Path) {
        std::ifstream In(Path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(In)), {});
    };
    const std::string Macro = Read(Own / "Macro.tvm");
    const std::string Path = Read(Own / "MacPath.tvm");
    const std::string Factory = Read(Own / "TavDef.dat.org");
    const std::string Fill = Utf8ToCp932("塗り(ボカシ)");
    // Byte Offset of the first Pattern at or after From, changed to To.
    const auto Change = [](std::string B, const std::string& Pattern, size_t Offset, char To, size_t From = 0) {
        const size_t At = B.find(Pattern, From);
        EXPECT_NE(At, std::string::npos) << Pattern;
        B.at(At + Offset) = To;
        return B;
    };
    const size_t LowVariant = Macro.find(Utf8ToCp932("塗り(ボカシ)_Low"));
    const std::string LibraryText = " は壊れているため読み込めません。プログラムを再インストールしてください。";
    struct TRow {
        const char* How;
        std::string Macro, Path, Factory, User;
        std::string Named; // the file the box names
    };
    const std::string LineType = Utf8ToCp932("線種");
    const TRow Rows[] = {
        // The tester's: the first macro's name, which both defaults files name.
        {"a byte in the default fill's name", Change(Macro, Fill, 1, 0x69), Path, Factory, Factory, "Macro.tvm"},
        {"a byte in a macro name", Change(Macro, Utf8ToCp932("金属光沢"), 1, 0x4A), Path, Factory, Factory,
         "Macro.tvm"},
        {"a byte in a function name", Change(Macro, std::string("\0PlaneMakeForPath2\0", 19), 1, 'Q'), Path,
         Factory, Factory, "Macro.tvm"},
        {"a byte in a caption (a variant's)", Change(Macro, LineType + '\0', 3, '\xEE', LowVariant), Path, Factory,
         Factory, "Macro.tvm"},
        {"a caption no longer CP932", Change(Macro, LineType + '\0', 3, '\x7F'), Path, Factory, Factory,
         "Macro.tvm"},
        {"a byte in a caption's range", Change(Macro, "|0,1000,0,100", 10, 'l'), Path, Factory, Factory,
         "Macro.tvm"},
        {"a line's parameter count", Change(Macro, std::string("PlaneMakeForPath2\0\x0A", 19), 18, 0x0B), Path,
         Factory, Factory, "Macro.tvm"},
        {"a choice no longer of its kind", Change(Macro, Utf8ToCp932("ガウス") + '\0', 5, 0x59), Path, Factory,
         Factory, "Macro.tvm"},
        {"a result name", Change(Macro, std::string("\0Shape\0", 7), 5, 'f'), Path, Factory, Factory, "Macro.tvm"},
        {"a line made final", Change(Macro, std::string("PlaneMakeForPath2\0\x0A", 19), 20, 1), Path, Factory,
         Factory, "Macro.tvm"},
        {"a byte in a path function name", Macro, Change(Path, "PathRough", 8, 'i'), Factory, Factory,
         "MacPath.tvm"},
        {"the factory defaults name a macro the library lacks", Macro, Path, Change(Factory, Fill, 1, 0x69),
         Factory, "Macro.tvm"},
        {"the factory defaults cut short", Macro, Path, Factory.substr(0, 100), Factory, "TavDef.dat.org"},
    };
    std::filesystem::create_directories(Lib);
    SetModuleDirectories(Lib, "", "");
    for (const TRow& Row : Rows) {
        for (const auto& [Name, Bytes] : {std::pair{"/Macro.tvm", &Row.Macro}, std::pair{"/MacPath.tvm", &Row.Path},
                                          std::pair{"/TavDef.dat.org", &Row.Factory}})
            std::ofstream(Lib + Name, std::ios::binary | std::ios::trunc) << *Bytes;
        std::ofstream(UserDefaults, std::ios::binary | std::ios::trunc) << Row.User;
        const auto Program = FolderBytes(Lib);
        const auto Data = FolderBytes(TShellEnvironment::Data);
        Boxes.clear();
        int Result = 1;
        if (StartUnits(Lib)) {
            // Past the units: the main block, whose message loop (were it
            // reached) ends at once.
            QTimer Quit;
            Quit.setSingleShot(true);
            QObject::connect(&Quit, &QTimer::timeout, qApp, &QCoreApplication::quit);
            Quit.start(0);
            Result = RunMainBlock({});
            SetDefaultAttributes(TShellEnvironment::Defaults.get());
        }
        EXPECT_NE(Result, 0) << Row.How;
        const std::string Head = Row.Named == "TavDef.dat.org" ? "デフォルトデータファイル " : "マクロライブラリファイル ";
        EXPECT_EQ(Boxes.size(), 1u) << Row.How;
        EXPECT_EQ(Boxes.empty() ? "" : Boxes[0].Text, Head + Lib + "/" + Row.Named + LibraryText) << Row.How;
        EXPECT_EQ(FolderBytes(Lib), Program) << Row.How;
        EXPECT_EQ(FolderBytes(TShellEnvironment::Data), Data) << Row.How;
    }

    // The user's own defaults naming a macro the library (which agrees with
    // the factory copy) lacks may come from another installation: they are
    // kept aside, said once, and the program starts on the factory ones.
    for (const auto& [Name, Bytes] :
         {std::pair{"/Macro.tvm", &Macro}, std::pair{"/MacPath.tvm", &Path}, std::pair{"/TavDef.dat.org", &Factory}})
        std::ofstream(Lib + Name, std::ios::binary | std::ios::trunc) << *Bytes;
    const std::string Foreign = Change(Factory, Fill, 1, 0x69);
    std::ofstream(UserDefaults, std::ios::binary | std::ios::trunc) << Foreign;
    std::filesystem::remove(UserDefaults + ".bad");
    const auto Program = FolderBytes(Lib);
    Boxes.clear();
    ASSERT_TRUE(StartUnits(Lib));
    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    EXPECT_EQ(RunMainBlock({}), 0);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text.rfind("デフォルトデータファイル " + UserDefaults + " を読み込めませんでした。\r\n", 0), 0u)
        << Boxes[0].Text;
    EXPECT_NE(Boxes[0].Text.find("は登録されていません"), std::string::npos) << Boxes[0].Text;
    EXPECT_EQ(Read(UserDefaults + ".bad"), Foreign);
    EXPECT_EQ(FolderBytes(Lib), Program);
    SetDefaultAttributes(TShellEnvironment::Defaults.get());

    std::filesystem::remove(UserDefaults);
    std::filesystem::remove(UserDefaults + ".bad");
    SetModuleDirectories("", "", "");
    LoadMacroLibraries();
}

TEST_F(TFrameTest, FloatingWindowsFollowTheFrameWhenItIsMinimised)
{
    AppIniFile().WriteString("4.0", "Flags", "1,1,1,0");
    Start();
    // The panel's pages live in a page window; the panel itself stays hidden.
    ASSERT_TRUE(frmObjProperty && !frmObjProperty->isVisible());
    const std::vector<TfrmPltChild*> Pages = frmObjProperty->PageControlWex->FloatingWindows();
    ASSERT_EQ(Pages.size(), 1u);
    ASSERT_TRUE(Pages[0]->isVisible());
    ASSERT_FALSE(frmPltColor->isVisible());
    Frame->setWindowState(Qt::WindowMinimized);
    EXPECT_FALSE(Pages[0]->isVisible());
    EXPECT_FALSE(frmPltColor->isVisible());
    Frame->setWindowState(Qt::WindowNoState);
    EXPECT_TRUE(Pages[0]->isVisible());
    EXPECT_FALSE(frmObjProperty->isVisible());
    EXPECT_FALSE(frmPltColor->isVisible());
}

// Made active again (restored, or back from another window), the frame gives
// the keys back where they were; with none in it (a document opened from a
// dialog gets them by a window shortcut only) to the document window, not to
// the zoom box, the first control in line.
TEST_F(TFrameTest, ActiveAgainTheKeysGoBackToTheDocumentNotTheZoomBox)
{
    Start();
    TDocWindow* Doc = Frame->ActiveDocWindow();
    ASSERT_TRUE(Doc);
    QWidget Other;
    Other.show();
    const auto InZoomBox = [&](QWidget* W) { return W == Frame->cmbZoom || Frame->cmbZoom->isAncestorOf(W); };
    const auto InDocument = [&](QWidget* W) { return W == Doc || Doc->isAncestorOf(W); };
    for (const bool KeysInZoomBox : {false, true}) {
        SCOPED_TRACE(KeysInZoomBox ? "keys in the zoom box" : "keys in no control");
        ASSERT_TRUE(ActivateAndWait(Frame.get()));
        if (KeysInZoomBox) {
            Frame->cmbZoom->setFocus();
            ASSERT_TRUE(WaitUntil([&] { return InZoomBox(QApplication::focusWidget()); })) << DescribeActivation();
        } else if (QWidget* Focus = QApplication::focusWidget()) {
            Focus->clearFocus();
        }
        ASSERT_TRUE(ActivateAndWait(&Other));
        ASSERT_TRUE(ActivateAndWait(Frame.get()));
        // Where the keys went: the zoom box when they were there, else the
        // document window.
        EXPECT_TRUE(WaitUntil([&] {
            QWidget* Focus = QApplication::focusWidget();
            return Focus && InZoomBox(Focus) == KeysInZoomBox && InDocument(Focus) == !KeysInZoomBox;
        })) << DescribeActivation();
    }
}

TEST_F(TFrameTest, ClosingThePaletteUnchecksItsCommand)
{
    Start();
    ASSERT_TRUE(Frame->actDispColPlt->isChecked());
    frmPltColor->close();
    Settle();
    EXPECT_FALSE(Frame->actDispColPlt->isChecked());
}

TEST_F(TFrameTest, PageCommandsHideAndShowTheirPages)
{
    Start();
    const std::vector<TfrmPltChild*> Windows = frmObjProperty->PageControlWex->FloatingWindows();
    ASSERT_EQ(Windows.size(), 1u);
    TPageControlWex* Tabs = Windows[0]->PageControl();
    QWidget* Shape = frmObjProperty->TabSheetShape;
    Frame->actShapePage->trigger();
    EXPECT_FALSE(Frame->actShapePage->isChecked());
    EXPECT_FALSE(Tabs->isTabVisible(Tabs->indexOf(Shape)));
    for (TAction* A : {Frame->actCommonPage, Frame->actMacPaintPropertyPage, Frame->actTextPage, Frame->actOutlinePage})
        A->trigger();
    EXPECT_FALSE(Windows[0]->isVisible());
    Frame->actPageAll->trigger();
    EXPECT_TRUE(Windows[0]->isVisible());
    for (TAction* A : {Frame->actCommonPage, Frame->actMacPaintPropertyPage, Frame->actShapePage,
                       Frame->actTextPage, Frame->actOutlinePage})
        EXPECT_TRUE(A->isChecked()) << A->objectName().toStdString();
    EXPECT_EQ(MessageOf<EUserError>([&] { Frame->actDispPageClick(Frame->actNew); }),
              "DispPageClick: Illegal Sender");
}

TEST_F(TFrameTest, PageCommandTearsAPageOffThePanel)
{
    Start();
    QWidget* General = frmObjProperty->TabSheetGeneral;
    // The page goes home (as after a layout that could not be restored).
    Frame->actCommonPage->trigger();
    MoveTabSheetKeepState(General, frmObjProperty->PageControlWex);
    Frame->UpdatePageActions();
    ASSERT_FALSE(Frame->actCommonPage->isChecked());
    const size_t Before = frmObjProperty->PageControlWex->FloatingWindows().size();
    Frame->actCommonPage->trigger();
    const std::vector<TfrmPltChild*> Windows = frmObjProperty->PageControlWex->FloatingWindows();
    ASSERT_EQ(Windows.size(), Before + 1);
    EXPECT_EQ(Windows.back()->PageControl()->indexOf(General), 0);
    // Near the frame's top right corner, as far left as it must go to be
    // wholly on the screen.
    const QPoint Corner = Frame->mapToGlobal(QPoint(Frame->width() - 50, 0));
    const QRect Area = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect Placed = Windows.back()->frameGeometry();
    EXPECT_EQ(Placed.topLeft(), QPoint(std::min(Corner.x(), Area.right() + 1 - Placed.width()), Corner.y()));
    EXPECT_TRUE(Area.contains(Placed));
    EXPECT_TRUE(Windows.back()->isVisible());
    EXPECT_TRUE(Frame->actCommonPage->isChecked());
}

TEST_F(TFrameTest, PasteFollowsDrawItemsOnTheClipboard)
{
    Start();
    QGuiApplication::clipboard()->setText("plain");
    EXPECT_FALSE(Frame->actPaste->isEnabled());
    QGuiApplication::clipboard()->setText(QString::fromStdString(DrawItemText(1)));
    EXPECT_TRUE(Frame->actPaste->isEnabled());
}

TEST_F(TFrameTest, HelpFramePageNamesThePageAndAnchorOfTheContext)
{
    Start();
    struct TCase {
        int32_t Context;
        std::string Main;
    };
    for (const TCase& C : {TCase{2000101, "f0200.html#0101"}, TCase{10000, "f0001.html#0000"},
                           TCase{200304, "f0020.html#0304"}}) {
        Frame->ShowHelpContext(C.Context);
        std::ifstream In(gstrHelpFile, std::ios::binary);
        const std::string Bytes((std::istreambuf_iterator<char>(In)), std::istreambuf_iterator<char>());
        const std::string Url = QUrl::fromLocalFile(QString::fromStdString(gstrHelpFolder)).toString().toStdString();
        const std::string Expected =
            "<html>\r\n<head>\r\n<title>タヴロのヘルプ</title>\r\n</head>\r\n<frameset cols=\"170,*\">\r\n"
            "  <frame name=\"contents\" target=\"main\" src=\"" + Url + "menu.html\"\r\n"
            "   scrolling=\"auto\" marginwidth=\"0\" marginheight=\"0\">\r\n"
            "  <frame name=\"main\" src=\"" + Url + C.Main + "\">\r\n"
            "  <noframes>\r\n  <body>\r\n"
            "  <p>このページにはフレームが使用されていますが、お使いのブラウザではサポートされていません。</p>\r\n"
            "  </body>\r\n  </noframes>\r\n</frameset>\r\n</html>\r\n";
        EXPECT_EQ(Bytes, Expected) << C.Context;
    }
    // Written per user, never into the program's folder.
    EXPECT_EQ(gstrHelpFile, std::string(getenv("XDG_CACHE_HOME")) + "/tavro/tmpindex.html");
    EXPECT_EQ(gstrHelpFolder, QCoreApplication::applicationDirPath().toStdString() + "/help/");
}

} // namespace

TEST_F(TFrameTest, AboutAndGridOptionsOpenTheirModalDialogs)
{
    Start();
    std::vector<std::string> Seen;
    auto Close = [&] {
        QDialog* D = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(D, nullptr);
        Seen.push_back(std::string(D->metaObject()->className()) + " " + D->windowTitle().toStdString());
        D->reject();
    };
    QTimer::singleShot(0, Close);
    Frame->actAbout->trigger();
    QTimer::singleShot(0, Close);
    Frame->actGridOption->trigger();
    EXPECT_EQ(Seen, (std::vector<std::string>{"TfrmAbout タヴロ について", "TfrmDocOption グリッド・ルーラ設定"}));
}
