#include "foundation/app_environment.h"

#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "platform/font_query.h"
#include "platform/registry_store.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <pwd.h>
#include <unistd.h>

bool UIFontInstalled = false;

namespace {

const char kEnvKey[] = "SOFTWARE\\ZELBAR\\Tavro\\4";
const char kIniName[] = "tavro.ini";

std::unique_ptr<TMemIniFile> gAppIniFile;
TDirWritableCheck gDirWritable;

bool DirWritable(const std::string& Dir)
{
    if (gDirWritable)
        return gDirWritable(Dir);
    return ::access(Dir.c_str(), W_OK) == 0;
}

std::string ExecutableDir()
{
    std::error_code Ec;
    std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Ec);
    if (Ec || Exe.empty())
        return std::filesystem::current_path(Ec).string();
    return Exe.parent_path().string();
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

}  // namespace

void GetEnvDataDir(std::string& Dir)
{
    std::string S;
    GetRegistryVal(HKEY_CURRENT_USER, kEnvKey, "EnvData", S);
    if (S.empty())
        S = ExecutableDir();
    if (S.empty())
        S = ".";
    AddPathDelimiter(S);
    // An installed program's folder is read-only: keep the settings in the
    // user's data folder rather than losing them at shutdown.
    if (!DirWritable(S))
        S = UserDataDir();
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
    AppIniFile();
}

bool FinalizeAppEnvironment()
{
    if (!gAppIniFile)
        return true;
    try {
        gAppIniFile->UpdateFile();
        return true;
    } catch (const std::exception& E) {
        ErrorMessageBox(E.what());
    } catch (...) {
        ErrorMessageBox("ファイル " + gAppIniFile->FileName() + " を作成できません。");
    }
    return false;
}

void SetDirWritableCheck(TDirWritableCheck Check)
{
    gDirWritable = std::move(Check);
}

void DiscardAppIniFile()
{
    gAppIniFile.reset();
}

bool GridOptionEqual(const TrecGrid& A, const TrecGrid& B)
{
    return A.Value0 == B.Value0 && A.Byte0 == B.Byte0 && A.ShowGrid == B.ShowGrid &&
           A.SnapGrid == B.SnapGrid && A.Value1 == B.Value1 && A.Value2 == B.Value2 &&
           A.Value3 == B.Value3 && A.Value4 == B.Value4 && A.Value5 == B.Value5 &&
           A.Value6 == B.Value6 && A.Byte1 == B.Byte1;
}
