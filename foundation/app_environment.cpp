#include "foundation/app_environment.h"

#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "platform/font_query.h"
#include "platform/regular_file.h"
#include "platform/registry_store.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

bool UIFontInstalled = false;

namespace {

const char kEnvKey[] = "SOFTWARE\\ZELBAR\\Tavro\\4";
const char kIniName[] = "tavro.ini";

std::unique_ptr<TMemIniFile> gAppIniFile;
bool gReported = false;     // start-up has looked at the settings' place
std::string gUnwritableDir; // the data folder it found closed to us
size_t gRefusedEnvData = 0; // length of an "EnvData" too long to be a folder

// errno of why Dir cannot take new files, 0 when it can.
int DirWriteError(const std::string& Dir)
{
    struct stat St {};
    if (::stat(Dir.c_str(), &St) != 0)
        return errno;
    if (!S_ISDIR(St.st_mode))
        return ENOTDIR;
    return ::access(Dir.c_str(), W_OK) == 0 ? 0 : errno;
}

std::string HomeDir()
{
    const char* Home = std::getenv("HOME");
    if (Home && *Home)
        return Home;
    if (const passwd* Pw = ::getpwuid(::getuid()))
        if (Pw->pw_dir)
            return Pw->pw_dir;
    return std::string();
}

// "$XDG_DATA_HOME/tavro/", created when missing; XDG wants the variable
// ignored unless it holds an absolute path.
std::string UserDataDir()
{
    std::string Base;
    const char* Xdg = std::getenv("XDG_DATA_HOME");
    if (Xdg && Xdg[0] == '/')
        Base = Xdg;
    else
        Base = HomeDir() + "/.local/share";
    std::string Dir = Base;
    AddPathDelimiter(Dir);
    Dir += "tavro/";
    std::error_code Ec;
    std::filesystem::create_directories(Dir, Ec);
    return Dir;
}

// Says once what start-up found wrong with the settings' place.
void ReportSettingsPlace(const TMemIniFile& Ini)
{
    if (gReported)
        return;
    gReported = true;
    // The folder of the settings file itself: the one the user is told of.
    std::string Dir = std::filesystem::path(Ini.FileName()).parent_path().string();
    AddPathDelimiter(Dir);
    // A folder chosen in the options may not be there yet.
    std::error_code Ec;
    std::filesystem::create_directories(Dir, Ec);
    std::string Text;
    if (gRefusedEnvData)
        Text = "データフォルダの設定 (EnvData, " + std::to_string(gRefusedEnvData) +
               " バイト) はフォルダ名として長すぎるため使いません。";
    if (const int Err = DirWriteError(Dir)) {
        gUnwritableDir = Dir;
        if (!Text.empty())
            Text += "\r\n";
        Text += "データフォルダ " + Dir + " に書き込めません。(" + std::strerror(Err) +
               ")\r\n設定と既定値はこの実行の終わりに保存されません。";
    }
    if (!Ini.LoadError().empty()) {
        if (!Text.empty())
            Text += "\r\n\r\n";
        Text += "設定ファイル " + Ini.FileName() + " を読み込めません。(" + Ini.LoadError() +
                ")\r\n既定の設定で起動します。";
    }
    // The registry stand-in that does not read counts as missing.
    if (const int Err = RegistryLoadError()) {
        if (!Text.empty())
            Text += "\r\n\r\n";
        Text += "設定ファイル " + RegistryFilePath() + " を読み込めません。(" + FileErrorText(Err) +
                ")\r\n既定の設定で起動します。";
    }
    if (!Text.empty())
        ErrorMessageBox(Text);
}

}  // namespace

bool DataFolderSettingUsable(const std::string& Folder)
{
    // No folder name is that long: such a value would only make every
    // message that names the folder unreadable.
    return Folder.size() < PATH_MAX;
}

void GetEnvDataDir(std::string& Dir)
{
    std::string S;
    GetRegistryVal(HKEY_CURRENT_USER, kEnvKey, "EnvData", S);
    if (!DataFolderSettingUsable(S)) {
        gRefusedEnvData = S.size();
        S.clear();
    }
    if (S.empty())
        S = UserDataDir();
    AddPathDelimiter(S);
    Dir = S;
}

TMemIniFile& AppIniFile()
{
    if (!gAppIniFile) {
        std::string Dir;
        GetEnvDataDir(Dir);
        gAppIniFile = std::make_unique<TMemIniFile>(Dir + kIniName);
    }
    return *gAppIniFile;
}

void InitAppEnvironment()
{
    UIFontInstalled = IsFontFamilyInstalled("MS UI Gothic");
    ReportSettingsPlace(AppIniFile());
}

bool FinalizeAppEnvironment()
{
    if (!gAppIniFile)
        return true;
    try {
        gAppIniFile->UpdateFile();
        return true;
    } catch (const std::exception& E) {
        if (gUnwritableDir.empty())
            ErrorMessageBox(E.what());
    } catch (...) {
        if (gUnwritableDir.empty())
            ErrorMessageBox("ファイル " + gAppIniFile->FileName() + " を作成できません。");
    }
    return false;
}

const std::string& UnwritableDataDir()
{
    return gUnwritableDir;
}

void DiscardAppIniFile()
{
    gAppIniFile.reset();
    gReported = false;
    gUnwritableDir.clear();
    gRefusedEnvData = 0;
}

bool GridOptionEqual(const TrecGrid& A, const TrecGrid& B)
{
    return A.Value0 == B.Value0 && A.Byte0 == B.Byte0 && A.ShowGrid == B.ShowGrid &&
           A.SnapGrid == B.SnapGrid && A.Value1 == B.Value1 && A.Value2 == B.Value2 &&
           A.Value3 == B.Value3 && A.Value4 == B.Value4 && A.Value5 == B.Value5 &&
           A.Value6 == B.Value6 && A.Byte1 == B.Byte1;
}
