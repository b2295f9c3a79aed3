#include "shell/file_association.h"

#include "platform/safe_write.h"
#include "raster/picture_file.h"

#include <QFile>
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
    return FileErrorText(Err);
}

std::string JoinLines(const std::vector<std::string>& Lines)
{
    std::string Bytes;
    for (const std::string& L : Lines)
        Bytes += L + "\n";
    return Bytes;
}

bool WriteBytes(const std::string& Path, const std::string& Bytes, std::string& Error)
{
    std::error_code Ec;
    std::filesystem::create_directories(std::filesystem::path(Path).parent_path(), Ec);
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

// The program's icon at Size pixels, as the program carries it.
bool IconBytes(int Size, std::string& Bytes, std::string& Error)
{
    const QString Name = Size == 256 ? QStringLiteral(":/icons/tavro") : QStringLiteral(":/icons/tavro%1").arg(Size);
    QFile File(Name);
    if (!File.open(QIODevice::ReadOnly)) {
        Error = "プログラムのアイコン " + Name.toStdString() + " を読めません。";
        return false;
    }
    Bytes = File.readAll().toStdString();
    return true;
}

// The files a change of the association touches, as they were before it,
// to be put back when the change fails part way.
class TFilesBefore {
public:
    void Keep(const std::string& Path)
    {
        TFile F{Path, TKind::Missing, {}};
        std::error_code Ec;
        const auto Status = std::filesystem::symlink_status(Path, Ec);
        if (std::filesystem::is_regular_file(Status)) {
            // A file that cannot be read back is left where it is.
            F.Kind = ReadRegularFile(Path, F.Bytes) == 0 ? TKind::File : TKind::Other;
        } else if (std::filesystem::exists(Status)) {
            F.Kind = TKind::Other;
        }
        FFiles.push_back(std::move(F));
    }
    void Restore() const
    {
        for (const TFile& F : FFiles) {
            std::error_code Ec;
            if (F.Kind == TKind::File)
                WriteFileReplacing(F.Path, F.Bytes.data(), F.Bytes.size());
            else if (F.Kind == TKind::Missing)
                std::filesystem::remove(F.Path, Ec);
        }
    }

private:
    enum class TKind { Missing, File, Other };
    struct TFile {
        std::string Path;
        TKind Kind;
        std::string Bytes;
    };
    std::vector<TFile> FFiles;
};

std::vector<std::string> AssociationFiles()
{
    std::vector<std::string> Paths{DesktopEntryPath(), MimePackagePath()};
    for (const int Size : TavroIconSizes)
        Paths.push_back(IconPath(Size));
    return Paths;
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

std::string IconPath(int Size)
{
    const std::string Dir = std::to_string(Size) + "x" + std::to_string(Size);
    return DesktopDataHome() + "/icons/hicolor/" + Dir + "/apps/" + TavroIconName + ".png";
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
        "Icon=" + std::string(TavroIconName),
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
    std::vector<std::pair<std::string, std::string>> Files;
    for (const int Size : TavroIconSizes) {
        std::string Bytes;
        if (!IconBytes(Size, Bytes, Error))
            return false;
        Files.emplace_back(IconPath(Size), std::move(Bytes));
    }
    // The entry last: a desktop that sees it finds its type and icon there.
    Files.emplace_back(MimePackagePath(), JoinLines(MimePackageLines()));
    Files.emplace_back(DesktopEntryPath(), JoinLines(DesktopEntryLines(Program)));
    TFilesBefore Before;
    for (const auto& [Path, Bytes] : Files) {
        Before.Keep(Path);
        if (!WriteBytes(Path, Bytes, Error)) {
            Before.Restore();
            return false;
        }
    }
    if (UpdateCaches(Error))
        return true;
    // A cache may have taken the new files in already: it learns again
    // what is there once they are back as they were.
    Before.Restore();
    std::string Ignored;
    UpdateCaches(Ignored);
    return false;
}

bool RemoveDesktopAssociation(std::string& Error)
{
    if (NoDataHome(Error))
        return false;
    TFilesBefore Before;
    bool Removed = false;
    for (const std::string& Path : AssociationFiles()) {
        Before.Keep(Path);
        if (!RemoveFile(Path, Removed, Error)) {
            Before.Restore();
            return false;
        }
    }
    // Nothing went: the caches already say what they should.
    if (!Removed || UpdateCaches(Error))
        return true;
    Before.Restore();
    std::string Ignored;
    UpdateCaches(Ignored);
    return false;
}

bool DesktopAssociationExists()
{
    std::error_code Ec;
    return !DesktopDataHome().empty() && std::filesystem::exists(DesktopEntryPath(), Ec) &&
           std::filesystem::exists(MimePackagePath(), Ec);
}
