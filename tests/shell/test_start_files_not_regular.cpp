// Start-up with one of the files it reads replaced by a named pipe: the
// start never waits on it, the box that file has tells of it once, and the
// end of the run writes nothing over the pipe. A delivered file stops the
// start as damaged; the user's settings, registry stand-in and defaults
// count as unreadable and the program runs on with its own.
#include "shell_test_support.h"

#include "paint/macro_library.h"
#include "platform/fifo_watch.h"
#include "platform/module_loader.h"

#include <QTimer>

#include <sys/stat.h>

namespace {

bool IsPipe(const std::string& Path)
{
    struct stat St {};
    return ::lstat(Path.c_str(), &St) == 0 && S_ISFIFO(St.st_mode);
}

std::string FileBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(In)), {});
}

} // namespace

TEST_F(TFrameTest, AStartWithAFileThatIsAPipeTellsItOnceAndNeverWaits)
{
    const std::filesystem::path Own = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string Lib = Tmp / "program";
    const std::string Data = TShellEnvironment::Data;
    const std::string Registry = RegistryFilePath();
    const std::string NotAFile = "通常のファイルではありません";
    const std::string Reinstall = " は壊れているため読み込めません。プログラムを再インストールしてください。";
    const auto Unread = [&](const std::string& Path) {
        return "設定ファイル " + Path + " を読み込めません。(" + NotAFile + ")\r\n既定の設定で起動します。";
    };
    struct TRow {
        std::string Pipe;
        bool Refused;                   // the start ends after the boxes
        std::vector<std::string> Boxes; // at start-up, in the run and at its end
    };
    const std::string UserDefaults = Data + "/TavDef.dat";
    const std::string Settings = Data + "/tavro.ini";
    const TRow Rows[] = {
        {Lib + "/Macro.tvm", true, {"マクロライブラリファイル " + Lib + "/Macro.tvm" + Reinstall}},
        {Lib + "/MacPath.tvm", true, {"マクロライブラリファイル " + Lib + "/MacPath.tvm" + Reinstall}},
        {Lib + "/TavDef.dat.org", true, {"デフォルトデータファイル " + Lib + "/TavDef.dat.org" + Reinstall}},
        {UserDefaults,
         false,
         {"デフォルトデータファイル " + UserDefaults + " を読み込めませんでした。\r\nファイル " + UserDefaults +
              " を開けません。 (" + NotAFile + ")",
          "ﾌｧｲﾙ " + UserDefaults + " の作成に失敗しました。(" + NotAFile + ")"}},
        {Settings, false, {Unread(Settings), "ファイル " + Settings + " を作成できません。(" + NotAFile + ")"}},
        {Registry, false, {Unread(Registry)}},
    };
    std::filesystem::create_directories(Lib);
    for (const char* Name : {"Macro.tvm", "MacPath.tvm", "TavDef.dat.org"})
        std::filesystem::copy_file(Own / Name, Lib + "/" + Name);
    SetModuleDirectories(Lib, "", "");
    // The registry stand-in holds the data folder: kept aside meanwhile.
    const std::string RegistryBytes = FileBytes(Registry);
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Pipe);
        const std::string Kept = FileBytes(Row.Pipe);
        std::filesystem::remove(Row.Pipe);
        int Result = -1;
        {
            TFifoWatch Pipe(Row.Pipe);
            RegistryReload();
            DiscardAppIniFile();
            Boxes.clear();
            if (StartUnits(Lib)) {
                QTimer::singleShot(0, qApp, &QCoreApplication::quit);
                Result = RunMainBlock({});
                SetDefaultAttributes(TShellEnvironment::Defaults.get());
                // The settings go back to their file as the program ends.
                FinalizeAppEnvironment();
            }
            EXPECT_FALSE(Pipe.ReaderBlocked()) << "the start waited on the pipe";
        }
        // (The watch removes nothing: the pipe is still where it was.)
        EXPECT_TRUE(IsPipe(Row.Pipe)) << "the pipe was written over";
        EXPECT_EQ(Result == -1 || Result == RefusedStartExitCode, Row.Refused) << Result;
        std::vector<std::string> Texts;
        for (const TBox& B : Boxes)
            Texts.push_back(B.Text);
        EXPECT_EQ(Texts, Row.Boxes);
        std::filesystem::remove(Row.Pipe);
        if (!Kept.empty())
            std::ofstream(Row.Pipe, std::ios::binary) << Kept;
    }

    // The program's own again, as the test program started it.
    SetModuleDirectories("", "", "");
    std::ofstream(Registry, std::ios::binary | std::ios::trunc) << RegistryBytes;
    RegistryReload();
    DiscardAppIniFile();
    ASSERT_TRUE(StartUnits());
    SetDefaultAttributes(TShellEnvironment::Defaults.get());
}
