// The real program on a real X server (Xvfb): started with a document on
// its command line, its page must be on the screen.
#include "platform/test_support.h"

#include "e2e/red_document.h"
#include "e2e/x_session.h"

#include "foundation/platform_wrappers.h"
#include "platform/registry_store.h"
#include "shell/tavro_program.h"

#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// Starts the program in Tmp's own folders with a red document (red.srn) on
// its command line.
void StartWithRedDocument(TTempDir& Tmp, QProcess& Tavro)
{
    const char* Program = std::getenv("TAVRO_PROGRAM");
    ASSERT_NE(Program, nullptr);
    ASSERT_EQ(QGuiApplication::platformName(), "xcb");
    for (const char* Name : {"config", "data", "cache", "tmp"})
        std::filesystem::create_directories(Tmp / Name);
    setenv("XDG_CONFIG_HOME", (Tmp / "config").c_str(), 1);
    RegistryReload();
    ASSERT_TRUE(StartUnits());
    WriteRedDocument(Tmp / "red.srn");
    FinishUnits();
    // The drag palette shows pure red cells of its own: it starts hidden.
    std::filesystem::create_directories(Tmp / "data/tavro");
    std::ofstream(Tmp / "data/tavro/tavro.ini") << "[4.0]\nFlags=1,1,1,0\n";

    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    Env.insert("XDG_CONFIG_HOME", QString::fromStdString(Tmp / "config"));
    Env.insert("XDG_DATA_HOME", QString::fromStdString(Tmp / "data"));
    Env.insert("XDG_CACHE_HOME", QString::fromStdString(Tmp / "cache"));
    Env.insert("TMPDIR", QString::fromStdString(Tmp / "tmp"));
    Env.insert("QT_QPA_PLATFORM", "xcb");
    Tavro.setProcessEnvironment(Env);
    Tavro.start(Program, {QString::fromStdString(Tmp / "red.srn")});
    ASSERT_TRUE(Tavro.waitForStarted(e2e::Deadline(10000)));
}

QString Output(const QString& Program, const QStringList& Args)
{
    QProcess P;
    P.start(Program, Args);
    P.waitForFinished(e2e::Deadline(10000));
    return QString::fromUtf8(P.readAllStandardOutput()).trimmed();
}

TEST(Program, ShowsTheDocumentOfItsCommandLine)
{
    TTempDir Tmp;
    QProcess Tavro;
    StartWithRedDocument(Tmp, Tavro);
    if (HasFatalFailure())
        return;
    // The rectangle's inside is pure red at 100 %; its anti-aliased edge is not.
    int Red = 0;
    for (int I = 0; I < e2e::Deadline(10000) / 100 && Red < 198 * 148; ++I) {
        QTest::qWait(100);
        Red = RedPixels(QGuiApplication::primaryScreen()->grabWindow(0).toImage());
    }
    Tavro.terminate();
    Tavro.waitForFinished(5000);
    EXPECT_GE(Red, 198 * 148);
    EXPECT_LE(Red, 200 * 150);
}

// The frame's title on the X server is the caption the program builds for
// the maximised document ("red" of red.srn), once: no application name added
// after it.
TEST(Program, TheFrameIsTitledWithItsCaptionOnce)
{
    const QString Xdotool = QStandardPaths::findExecutable("xdotool");
    const QString Xprop = QStandardPaths::findExecutable("xprop");
    if (Xdotool.isEmpty() || Xprop.isEmpty())
        GTEST_SKIP() << "xdotool or xprop is not installed (tools/setup installs them)";
    TTempDir Tmp;
    QProcess Tavro;
    StartWithRedDocument(Tmp, Tavro);
    if (HasFatalFailure())
        return;
    QString Id;
    for (int I = 0; I < e2e::Deadline(20000) / 100 && Id.isEmpty(); ++I) {
        QTest::qWait(100);
        Id = Output(Xdotool, {"search", "--name", "\\[red\\]"}).section('\n', 0, 0);
    }
    if (Id.isEmpty()) {
        QString Names;
        for (const QString& W : Output(Xdotool, {"search", "--name", "."}).split('\n'))
            Names += " \"" + Output(Xdotool, {"getwindowname", W}) + "\"";
        Tavro.terminate();
        Tavro.waitForFinished(5000);
        FAIL() << "no window is named after the document \"red\"; the windows:" << Names.toStdString();
    }
    const QString Want = "タヴロ - [red]";
    // The name a desktop shows (UTF-8) and the old one (compound text).
    EXPECT_EQ(Output(Xprop, {"-id", Id, "_NET_WM_NAME"}).toStdString(),
              ("_NET_WM_NAME(UTF8_STRING) = \"" + Want + "\"").toStdString());
    EXPECT_EQ(Output(Xprop, {"-id", Id, "WM_NAME"}).toStdString(),
              ("WM_NAME(COMPOUND_TEXT) = \"" + Want + "\"").toStdString());
    Tavro.terminate();
    Tavro.waitForFinished(5000);
}

} // namespace
