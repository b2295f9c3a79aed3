#include "shell/file_association.h"

#include "platform/safe_write.h"
#include "raster/picture_file.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace {

std::string Reason(int Err)
{
    return std::strerror(Err);
}

bool WriteLines(const std::string& Path, const std::vector<std::string>& Lines, std::string& Error)
{
    std::error_code Ec;
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path(), Ec);
    std::string Bytes;
    for (const std::string& L : Lines)
        Bytes += L + "\n";
    const int Err = WriteFileReplacing(Path, Bytes.data(), Bytes.size());
    if (Err == 0)
        return true;
    Error = Path + " を書き込めません。\r\n" + Reason(Err);
    return false;
}

bool RemoveFile(const std::string& Path, bool& Removed, std::string& Error)
{
    std::error_code Ec;
    Removed = std::filesystem::remove(Path, Ec) || Removed;
    if (!Ec)
        return true;
    Error = Path + " を削除できません。\r\n" + Ec.message();
    return false;
}

// Runs Tool on Folder when the desktop has it; a tool that is missing leaves
// the cache as it is, which the desktop then rebuilds by itself or never uses.
bool RunUpdateTool(const char* Tool, const std::string& Folder, std::string& Error)
{
    const QString Program = QStandardPaths::findExecutable(Tool);
    if (Program.isEmpty())
        return true;
    std::error_code Ec;
    std::filesystem::create_directories(Folder, Ec);
    QProcess P;
    P.setProcessChannelMode(QProcess::MergedChannels);
    P.start(Program, {QString::fromStdString(Folder)});
    const bool Finished = P.waitForStarted(10000) && P.waitForFinished(60000);
    if (Finished && P.exitStatus() == QProcess::NormalExit && P.exitCode() == 0)
        return true;
    if (!Finished)
        P.kill();
    P.waitForFinished(1000);
    const std::string Output = QString::fromLocal8Bit(P.readAll()).trimmed().toStdString();
    Error = std::string(Tool) + " " + Folder + " が失敗しました。";
    if (!Output.empty())
        Error += "\r\n" + Output;
    return false;
}

bool UpdateCaches(std::string& Error)
{
    const std::string Home = DesktopDataHome();
    return RunUpdateTool("update-mime-database", Home + "/mime", Error) &&
           RunUpdateTool("update-desktop-database", Home + "/applications", Error);
}

bool NoDataHome(std::string& Error)
{
    if (!DesktopDataHome().empty())
        return false;
    Error = "XDG_DATA_HOME も HOME も設定されていません。";
    return true;
}

} // namespace

std::string DesktopDataHome()
{
    std::string Dir;
    return GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, Dir) ? Dir : std::string();
}

std::string DesktopEntryPath()
{
    return DesktopDataHome() + "/applications/" + TavroDesktopFileName;
}

std::string MimePackagePath()
{
    return DesktopDataHome() + "/mime/packages/" + TavroMimePackageFileName;
}

std::string DesktopExecQuote(const std::string& Program)
{
    // Inside the quotes a backslash escapes '"', '`', '$' and itself; the
    // file format then wants every backslash doubled, and '%' is a field
    // code unless doubled.
    std::string Quoted = "\"";
    for (const char C : Program) {
        if (C == '"' || C == '`' || C == '$')
            Quoted += "\\\\";
        if (C == '\\')
            Quoted += "\\\\\\";
        if (C == '%')
            Quoted += '%';
        Quoted += C;
    }
    return Quoted + "\"";
}

std::vector<std::string> DesktopEntryLines(const std::string& Program)
{
    return {
        "[Desktop Entry]",
        "Type=Application",
        "Name=Tavro",
        "Name[ja]=タヴロ",
        "Comment=Decorated lettering and logo artwork",
        "Comment[ja]=装飾文字とロゴのデザイン",
        // "-e" hands the file to a Tavro that is running, else opens it.
        "Exec=" + DesktopExecQuote(Program) + " -e %f",
        "MimeType=" + std::string(TavroMimeType) + ";",
        "Categories=Graphics;VectorGraphics;",
        "Terminal=false",
    };
}

std::vector<std::string> MimePackageLines()
{
    return {
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">",
        "  <mime-type type=\"" + std::string(TavroMimeType) + "\">",
        "    <comment>Tavro data</comment>",
        "    <comment xml:lang=\"ja\">Tavro データ</comment>",
        // Every document starts with its signature, whatever its name.
        "    <magic priority=\"50\">",
        "      <match type=\"string\" offset=\"0\" value=\"TAV\"/>",
        "    </magic>",
        "    <glob pattern=\"*.srn\"/>",
        "  </mime-type>",
        "</mime-info>",
    };
}

bool WriteDesktopAssociation(const std::string& Program, std::string& Error)
{
    if (NoDataHome(Error))
        return false;
    for (const char C : Program)
        if (static_cast<unsigned char>(C) < 0x20) {
            Error = "プログラムのパスに制御文字が含まれています。";
            return false;
        }
    return WriteLines(MimePackagePath(), MimePackageLines(), Error) &&
           WriteLines(DesktopEntryPath(), DesktopEntryLines(Program), Error) && UpdateCaches(Error);
}

bool RemoveDesktopAssociation(std::string& Error)
{
    if (NoDataHome(Error))
        return false;
    bool Removed = false;
    if (!RemoveFile(DesktopEntryPath(), Removed, Error) || !RemoveFile(MimePackagePath(), Removed, Error))
        return false;
    // Nothing went: the caches already say what they should.
    return !Removed || UpdateCaches(Error);
}

bool DesktopAssociationExists()
{
    std::error_code Ec;
    return !DesktopDataHome().empty() && std::filesystem::exists(DesktopEntryPath(), Ec) &&
           std::filesystem::exists(MimePackagePath(), Ec);
}
