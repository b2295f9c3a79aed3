// A document with an item that cannot be drawn, opened by the real program
// at a real display (Xvfb with openbox): the page shows the rest, the error
// box comes once, after the window painted, and goes with a real key; clicks
// and repaints bring no box again, and the program lives on. No document the
// reader lets in fails to draw, so the program is told which paint function
// fails (TAVRO_TEST_FAILING_PAINT_FUNCTION).
#include "e2e/red_document.h"
#include "e2e/x_session.h"
#include "platform/test_support.h"

#include "foundation/app_environment.h"
#include "platform/registry_store.h"
#include "shell/tavro_program.h"

#include <QGuiApplication>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using namespace e2e;

constexpr int WindowTimeout = 20000;

// A 400 x 200 page: left a rectangle filled pure red, right one filled blue
// whose brightness is then changed (明るさ・コントラスト, the only effect of
// the two that calls NilPictureContBright).
void WriteDocument(const std::string& Path)
{
    TOLEDocumentWex Doc(nullptr, nullptr);
    auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
    Page->SetPageSize(400, 200);
    const auto Add = [&](int32_t X, const char* Fill, bool Brightness) {
        auto Rect = std::make_unique<TRectObj>(Page, -1);
        Rect->SetFrame(X, 25, 150, 150);
        auto Macro = std::make_unique<TMacro>();
        ASSERT_TRUE(Macro->LoadFromLibrary("塗り(ボカシ)"));
        Macro->SetParamValue("塗り方法", Fill);
        Rect->Macros().Clear();
        Rect->Macros().Add(std::move(Macro));
        if (Brightness) {
            auto Tone = std::make_unique<TMacro>();
            ASSERT_TRUE(Tone->LoadFromLibrary("明るさ・コントラスト"));
            Rect->Macros().Add(std::move(Tone));
        }
        Rect->SetFillPath(1);
        Page->RootGroup().AddChild(std::move(Rect), -1);
    };
    Add(20, "10000FF", false);
    Add(230, "1FF0000", true);
    ASSERT_TRUE(Doc.SaveToFile(Path));
}

class PaintFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::platformName(), "xcb");
        MakeSandbox(Tmp.Dir);
        // The document is written by the program's own code, in this process.
        setenv("XDG_CONFIG_HOME", (Tmp / "config").c_str(), 1);
        RegistryReload();
        ASSERT_TRUE(StartUnits());
        WriteDocument(Tmp / "failing.srn");
        FinishUnits();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(StartWindowManager(Openbox));
    }

    void TearDown() override
    {
        Tavro.Stop();
        Openbox.Stop();
    }

    void Start()
    {
        MakeSandbox(Tmp.Dir);
        QProcessEnvironment Env = SandboxEnvironment(Tmp.Dir);
        Env.insert("TAVRO_TEST_FAILING_PAINT_FUNCTION", "NilPictureContBright");
        Tavro.P.setProcessEnvironment(Env);
        Tavro.P.setWorkingDirectory(QString::fromStdString(Tmp.Dir));
        Tavro.P.setProcessChannelMode(QProcess::ForwardedChannels);
        Tavro.P.start(std::getenv("TAVRO_PROGRAM"), {QString::fromStdString(Tmp / "failing.srn")});
    }

    bool Running() { return Tavro.P.state() == QProcess::Running; }

    TTempDir Tmp;
    TOwnedProcess Openbox;
    TOwnedProcess Tavro;
};

} // namespace

TEST_F(PaintFailure, TheBoxComesOnceAfterThePaintAndTheProgramLives)
{
    Start();
    ASSERT_TRUE(Tavro.P.waitForStarted(Deadline(10000)));
    const unsigned long Frame = WaitWindow("^タヴロ", WindowTimeout);
    ASSERT_NE(Frame, 0u) << "the frame never came";
    const unsigned long Box = WaitWindow("^エラー", WindowTimeout);
    ASSERT_NE(Box, 0u) << "no error box told the failure: " << DescribeDisplay();
    // Behind it the page was painted: the rectangle that can be drawn shows
    // round the box.
    EXPECT_TRUE(WaitFor([] { return RedPixels(Screen()) > 1000; }, 10000))
        << "the page was not painted before the box came";
    ASSERT_TRUE(WaitActiveAndSettled(Box)) << "the box has not the keys: " << DescribeDisplay();
    Key("Return");
    ASSERT_TRUE(WaitWindowGone("^エラー", 5000)) << "Return did not close the box";
    // The program has handled all that followed: no second box, and the
    // whole rectangle that can be drawn shows.
    ASSERT_TRUE(Settled(Frame));
    EXPECT_EQ(FindWindow("^エラー"), 0u) << "the failure was told again: " << DescribeDisplay();
    ASSERT_TRUE(WaitFor([] { return RedPixels(Screen()) >= 148 * 148; }, 10000))
        << "the red rectangle is not on the screen: " << RedPixels(Screen()) << " red pixels";

    // Clicks on the page, the item that fails included, and the repaints
    // they bring (a selection's handles, all selected, none) tell nothing.
    const QRect Red = [] {
        const QImage S = Screen();
        QRect R;
        for (int Y = 0; Y < S.height(); ++Y)
            for (int X = 0; X < S.width(); ++X)
                if ((S.pixel(X, Y) & 0xFFFFFF) == 0xFF0000)
                    R |= QRect(X, Y, 1, 1);
        return R;
    }();
    const QPoint Failing = Red.center() + QPoint(210, 0);
    for (const QPoint& At : {Red.center(), Failing, Red.center() + QPoint(100, 0), Failing})
        Click(At);
    ASSERT_TRUE(ActivateAndSettle(Frame)) << DescribeDisplay();
    Key("ctrl+a");
    ASSERT_TRUE(Settled(Frame));
    EXPECT_EQ(FindWindow("^エラー"), 0u) << "a click or a repaint told the failure again: " << DescribeDisplay();
    EXPECT_TRUE(Running()) << "the program ended: exit code " << Tavro.P.exitCode();
    EXPECT_GE(RedPixels(Screen()), 140 * 140);
}
