// The help as a person meets it: ヘルプ > 目次, the home page and the colour
// picker's help button hand their page to xdg-open, and when no browser can
// be started (no xdg-open, or one that finds no browser) the user is told
// which file or address to open. A stand-in xdg-open on PATH plays the
// desktop.
#include "shell_test_support.h"

#include "editors/frm_sel_color.h"
#include "shell/browser_open.h"
#include "shell/grid_option_form.h"
#include "shell/setting_page_form.h"
#include "shell/tavro_action.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/frm_rollup.h"
#include "platform/fifo_watch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QPushButton>
#include <QTabWidget>

#include <fstream>
#include <sys/stat.h>

namespace {

const auto* const gShellEnvironment = ::testing::AddGlobalTestEnvironment(new TShellEnvironment);

class HelpTest : public TFrameTest {
protected:
    void SetUp() override
    {
        TFrameTest::SetUp();
        std::filesystem::create_directories(Tmp / "bin");
        setenv("PATH", (Tmp / "bin").c_str(), 1);
    }
    // An xdg-open that notes its arguments and ends with Status; none for
    // Status < 0.
    void Launcher(int Status)
    {
        const std::string Path = Tmp / "bin/xdg-open";
        std::filesystem::remove(Path);
        if (Status < 0)
            return;
        std::ofstream(Path) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << (Tmp / "opened.tmp") << "'\n/bin/mv '"
                            << (Tmp / "opened.tmp") << "' '" << (Tmp / "opened") << "'\nexit " << Status << "\n";
        chmod(Path.c_str(), 0755);
    }
    // What the launcher was given, once it ran (or after 5 s; at once when
    // there is none); the boxes from its end have come by then.
    std::string Opened(bool Ran = true)
    {
        std::string Text;
        for (int I = 0; Ran && I < 500 && (Text = Tmp.Get("opened")).empty(); ++I)
            Settle(10);
        Settle(100);
        std::filesystem::remove(Tmp / "opened");
        return Text;
    }

private:
    TSavedEnv FPath{"PATH"};
};

TEST_F(HelpTest, TheHelpAndTheHomePageGoToTheBrowserOrTheUserIsTold)
{
    Start();
    const std::string Home = "http://www.tavro.example/";
    struct TCase {
        const char* What;
        int Launcher;      // its exit status; -1: there is none
        bool HomePage;     // else ヘルプ > 目次
        bool Told;
    };
    for (const TCase& C : {TCase{"a desktop that shows it", 0, false, false},
                           TCase{"no launcher", -1, false, true},
                           TCase{"a launcher that finds no browser", 3, false, true},
                           TCase{"a launcher whose browser fails", 4, false, true},
                           TCase{"home page shown", 0, true, false},
                           TCase{"home page, no launcher", -1, true, true},
                           TCase{"home page, no browser", 3, true, true}}) {
        Boxes.clear();
        std::filesystem::remove(gstrHelpFile);
        Launcher(C.Launcher);
        (C.HomePage ? Frame->actHP : Frame->actHelpContents)->trigger();
        const std::string Target = C.HomePage ? Home : gstrHelpFile;
        EXPECT_EQ(Opened(C.Launcher >= 0), C.Launcher < 0 ? "" : Target + "\n") << C.What;
        if (!C.HomePage)
            EXPECT_TRUE(std::filesystem::exists(gstrHelpFile)) << C.What;
        if (!C.Told) {
            EXPECT_TRUE(Boxes.empty()) << C.What << ": " << (Boxes.empty() ? "" : Boxes[0].Text);
            continue;
        }
        ASSERT_EQ(Boxes.size(), 1u) << C.What;
        EXPECT_EQ(Boxes[0].Caption, "警告") << C.What;
        EXPECT_EQ(Boxes[0].Text,
                  std::string(C.HomePage ? HomePageBrowserFailedText : HelpBrowserFailedText) + "\r\n" + Target)
            << C.What;
    }
}

TEST_F(HelpTest, TheColourPickersHelpButtonOpensItsPageOrTheContents)
{
    Start();
    Launcher(0);
    struct TCase {
        int32_t Context;
        const char* Page; // the frame page's main frame
    };
    for (const TCase& C : {TCase{0, "f0001.html#0000"}, TCase{2000302, "f0200.html#0302"}}) {
        std::filesystem::remove(gstrHelpFile);
        TfrmSelColor Picker(Frame.get());
        Picker.HelpContext = C.Context;
        Picker.btnHelp->click();
        EXPECT_EQ(Opened(), gstrHelpFile + "\n") << C.Context;
        std::ifstream In(gstrHelpFile, std::ios::binary);
        const std::string Text{std::istreambuf_iterator<char>(In), {}};
        EXPECT_NE(Text.find("  <frame name=\"main\" src=\"" +
                            QUrl::fromLocalFile(QString::fromStdString(gstrHelpFolder)).toString().toStdString() +
                            C.Page + "\">\r\n"),
                  std::string::npos)
            << C.Context << "\n" << Text;
    }
    EXPECT_TRUE(Boxes.empty());
}

// F1 in the page setup and in the grid and ruler options, as in the other
// dialogs: the topic of the control with the keys (the pointer being
// elsewhere), which for most of them is the dialog's own, its command's.
TEST_F(HelpTest, F1InThePageSetupAndTheGridOptionsShowsTheirTopics)
{
    std::vector<int32_t> Helps;
    SetShowHelpContextHook([&](int32_t C) { Helps.push_back(C); });
    const TPrinterSpecReader OldReader = SetPrinterSpecReader([](QPrinter&) {
        TPrinterSpec Spec;
        Spec.Valid = true;
        return Spec;
    });
    TfrmSettingPage Page;
    TfrmDocOption Grid;
    struct TCase {
        const char* Name;
        QDialog* Dialog;
        int Tab; // of the grid options; -1 none
        QWidget* Keys;
        int32_t Context;
    };
    const TCase Cases[] = {
        {"ページ設定, 解像度", &Page, -1, Page.EdtDPI, 2000108},
        {"ページ設定, 幅", &Page, -1, Page.EdtWidthPixel, 2000108},
        {"ページ設定, 用紙中央", &Page, -1, Page.cboxHCenter, 2000108},
        {"グリッド", &Grid, 0, Grid.edtGridNumX, 2000701},
        {"グリッド, 単位", &Grid, 0, Grid.cmbUnitType, 2000701},
        {"ルーラ", &Grid, 1, Grid.cmbRulerUnitType, 2060200},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Helps.clear();
        if (!C.Dialog->isVisible()) {
            C.Dialog->move(300, 300);
            C.Dialog->show();
            C.Dialog->activateWindow();
            ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == C.Dialog; }));
        }
        if (C.Tab >= 0)
            Grid.PageControl->setCurrentIndex(C.Tab);
        C.Keys->setFocus(Qt::TabFocusReason);
        QCursor::setPos(C.Dialog->mapToGlobal(QPoint(-100, -100)));
        QTest::keyClick(C.Keys, Qt::Key_F1);
        EXPECT_EQ(Helps, std::vector<int32_t>{C.Context});
        EXPECT_TRUE(C.Dialog->isVisible());
        if (&C == &Cases[2])
            Page.hide();
    }
    SetPrinterSpecReader(OldReader);
    SetShowHelpContextHook(nullptr);
    EXPECT_TRUE(Boxes.empty());
}

// The help's frame page replaces only a file of its own: a pipe put in its
// place is told and left as it was, nothing written to it, and no browser
// is started.
TEST_F(HelpTest, AHelpPageThatIsAPipeIsToldAndLeftAlone)
{
    Start();
    Launcher(0);
    std::filesystem::remove(gstrHelpFile);
    std::filesystem::create_directories(std::filesystem::path(gstrHelpFile).parent_path());
    TFifoWriteWatch Pipe(gstrHelpFile);
    Frame->actHelpContents->trigger();
    EXPECT_EQ(Opened(false), "");
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, gstrHelpFile + " を書き込めません。");
    struct stat St {};
    EXPECT_TRUE(::lstat(gstrHelpFile.c_str(), &St) == 0 && S_ISFIFO(St.st_mode));
    EXPECT_EQ(Pipe.Written(), 0u);
    std::filesystem::remove(gstrHelpFile);
}

} // namespace
