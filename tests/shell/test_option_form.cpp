// The options dialog: its folders and display cache, the data folder move,
// and the association of ".srn" files with the program in the registry's
// classes and on the desktop (entry, MIME type, caches), down to the
// desktop starting the program with a file.
#include "shell_test_support.h"

#include "platform/fifo_watch.h"
#include "raster/picture_file.h"
#include "shell/file_association.h"
#include "shell/option_form.h"
#include "shell/tavro_action.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QListView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>

#include <fstream>

namespace {

std::vector<std::string> FileLines(const std::string& Path)
{
    std::ifstream In(Path);
    std::vector<std::string> Lines;
    for (std::string L; std::getline(In, L);)
        Lines.push_back(L);
    return Lines;
}

std::string FileText(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), {}};
}

// The words a desktop makes of an Exec value, with File for "%f": the file
// format's escapes, then the quoting, then the field codes.
QStringList ExecWords(const std::string& Value, const std::string& File)
{
    std::string S;
    for (size_t I = 0; I < Value.size(); ++I)
        S += Value[I] == '\\' && I + 1 < Value.size() ? Value[++I] : Value[I];
    QStringList Words;
    std::string W;
    bool InWord = false;
    bool Quoted = false;
    for (size_t I = 0; I < S.size(); ++I) {
        const char C = S[I];
        if (C == '%' && I + 1 < S.size()) {
            const char Code = S[++I];
            EXPECT_TRUE(Code == '%' || (Code == 'f' && !Quoted)) << Value;
            W += Code == 'f' ? File : "%";
            InWord = true;
        } else if (Quoted) {
            if (C == '"')
                Quoted = false;
            else
                W += C == '\\' && I + 1 < S.size() ? S[++I] : C;
        } else if (C == ' ') {
            if (InWord)
                Words << QString::fromStdString(W);
            W.clear();
            InWord = false;
        } else {
            InWord = true;
            if (C == '"')
                Quoted = true;
            else
                W += C;
        }
    }
    EXPECT_FALSE(Quoted) << Value;
    if (InWord)
        Words << QString::fromStdString(W);
    return Words;
}

// The program's icon at each size in the theme, and where the program has it.
const std::pair<std::string, QString> IconResources[] = {
    {"16x16", ":/icons/tavro16"}, {"32x32", ":/icons/tavro32"}, {"48x48", ":/icons/tavro48"}, {"256x256", ":/icons/tavro"}};

std::string ResourceBytes(const QString& Name)
{
    QFile F(Name);
    EXPECT_TRUE(F.open(QIODevice::ReadOnly)) << Name.toStdString();
    return F.readAll().toStdString();
}

// What a fresh process's MIME database says of each file, one a line.
std::string MimeTypesOf(const QStringList& Files)
{
    QProcess P;
    P.start(TAVRO_MIME_PROBE, Files);
    EXPECT_TRUE(P.waitForFinished(30000));
    return P.readAllStandardOutput().toStdString();
}

const std::vector<std::pair<const char*, const char*>> ClassesRoot = {
    {".srn", "TavroData"},
    {"TavroData", "Tavro データ"},
    {"TavroData\\DefaultIcon", "@,1"},
    {"TavroData\\shell\\open\\command", "\"@\" /e \"%1\""},
    {"TavroData\\shell\\open\\ddeexec", "[open(\"%1\")]"},
    {"TavroData\\shell\\open\\ddeexec\\Application", "TAVRO"},
    {"TavroData\\shell\\open\\ddeexec\\topic", "TAVRO"},
};

class TOptionFormTest : public TFrameTest {
protected:
    void SetUp() override
    {
        TFrameTest::SetUp();
        FOldDataHome = std::getenv("XDG_DATA_HOME");
        DataHome = Tmp / "share";
        setenv("XDG_DATA_HOME", DataHome.c_str(), 1);
        FOldSpi = GetSpiFolder();
        GetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, FOldEnvData);
        FOldCache = TShellEnvironment::Defaults->DisplayCache;
        FDefaultsFileWasThere = std::filesystem::exists(TShellEnvironment::Data + "/TavDef.dat");
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, ".srn");
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, "TavroData");
    }
    void TearDown() override
    {
        setenv("XDG_DATA_HOME", FOldDataHome.c_str(), 1);
        SetSpiFolder(FOldSpi);
        TShellEnvironment::Defaults->DisplayCache = FOldCache;
        if (EnvData() != FOldEnvData) {
            TShellEnvironment::Defaults->SetDataFolder(FOldEnvData);
            AppIniFile().Rename(FOldEnvData + "/tavro.ini");
            if (!FDefaultsFileWasThere)
                std::filesystem::remove(TShellEnvironment::Data + "/TavDef.dat");
        }
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, ".srn");
        RegDeleteKeyTree(HKEY_CLASSES_ROOT, "TavroData");
        TFrameTest::TearDown();
    }
    static std::string EnvData()
    {
        std::string S;
        GetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, S);
        return S;
    }
    static std::string ClassValue(const std::string& Key)
    {
        std::string V = "(none)";
        RegQueryString(HKEY_CLASSES_ROOT, Key, "", V);
        return V;
    }
    // The dialog the frame's command opened, handed to Body once it runs.
    template <class F>
    void WithModalDialog(F&& Body)
    {
        QTimer::singleShot(0, [Body] {
            auto* D = qobject_cast<TfrmOption*>(QApplication::activeModalWidget());
            ASSERT_NE(D, nullptr);
            Body(*D);
        });
    }

    // The files under the data folder the association writes into, but
    // the caches the update programs keep, relative and sorted.
    std::vector<std::string> DesktopFiles() const
    {
        std::vector<std::string> Files;
        std::error_code Ec;
        for (auto It = std::filesystem::recursive_directory_iterator(DataHome, Ec);
             !Ec && It != std::filesystem::recursive_directory_iterator(); It.increment(Ec)) {
            const std::string Rel = std::filesystem::relative(It->path(), DataHome).string();
            const bool Cache = Rel.rfind("mime/", 0) == 0 && Rel.rfind("mime/packages", 0) != 0;
            if (!Cache && Rel != "applications/mimeinfo.cache" && !It->is_directory())
                Files.push_back(Rel);
        }
        std::sort(Files.begin(), Files.end());
        return Files;
    }

    std::string DataHome;
    // Blanks, quotes, dollars and percents all reach the desktop intact.
    const std::string Program = Tmp / "Ta vro $HOME \"q\" 100%/tavro";

private:
    std::string FOldDataHome;
    std::string FOldSpi;
    std::string FOldEnvData;
    uint8_t FOldCache = 1;
    bool FDefaultsFileWasThere = false;
};

} // namespace

TEST_F(TOptionFormTest, ShowsTheSettingsAndCancelChangesNothing)
{
    SetSpiFolder(Tmp / "spi");
    TShellEnvironment::Defaults->DisplayCache = 0;
    std::string Error;
    ASSERT_TRUE(WriteDesktopAssociation(Program, Error)) << Error;
    Start();
    WithModalDialog([this](TfrmOption& D) {
        EXPECT_EQ(D.windowTitle().toStdString(), "環境設定");
        EXPECT_EQ(D.edtSPIDir->text().toStdString(), Tmp / "spi");
        EXPECT_EQ(D.edtDefDataDir->text().toStdString(), TShellEnvironment::Data);
        EXPECT_FALSE(D.cboxDispCache->isChecked());
        EXPECT_TRUE(D.cboxRelateExt->isChecked());
        EXPECT_EQ(D.cboxDispCache->text().toStdString(), "高速再描画");
        EXPECT_EQ(D.cboxRelateExt->text().toStdString(), "データファイルの拡張子を関連づける");
        EXPECT_EQ(D.btnRefSPIDir->text().toStdString(), "参照(&B)...");
        EXPECT_EQ(D.btnCancel->text().toStdString(), "キャンセル");
        std::vector<std::string> Labels;
        for (const QLabel* L : D.findChildren<QLabel*>())
            Labels.push_back(L->text().toStdString());
        EXPECT_EQ(Labels, (std::vector<std::string>{"[SPIプラグインを検索するフォルダ]", "[設定内容を保存するフォルダ]"}));
        D.edtSPIDir->setText(QString::fromStdString(Tmp / "other"));
        D.edtDefDataDir->setText(QString::fromStdString(Tmp / "elsewhere"));
        D.cboxDispCache->setChecked(true);
        D.cboxRelateExt->setChecked(false);
        D.btnCancel->click();
    });
    Frame->actOption->trigger();
    EXPECT_EQ(GetSpiFolder(), Tmp / "spi");
    EXPECT_EQ(EnvData(), TShellEnvironment::Data);
    EXPECT_EQ(TShellEnvironment::Defaults->DisplayCache, 0);
    EXPECT_TRUE(DesktopAssociationExists());
    EXPECT_FALSE(std::filesystem::exists(Tmp / "elsewhere"));
    EXPECT_TRUE(Boxes.empty());
    ASSERT_TRUE(RemoveDesktopAssociation(Error)) << Error;
}

TEST_F(TOptionFormTest, OkMovesDefaultsSettingsAndStylesIntoTheNewDataFolder)
{
    const std::string NewDir = Tmp / "new data";
    const std::string Style = TShellEnvironment::Data + "/Light.stl";
    std::ofstream(Style) << "mine";
    Start();
    WithModalDialog([&](TfrmOption& D) {
        D.edtDefDataDir->setText(QString::fromStdString(NewDir + "/"));
        D.edtSPIDir->setText(QString::fromStdString(Tmp / "plugins"));
        D.cboxDispCache->setChecked(false);
        D.btnOK->click();
    });
    Frame->actOption->trigger();
    std::filesystem::remove(Style);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(EnvData(), NewDir);
    EXPECT_EQ(TShellEnvironment::Defaults->DataFolder(), NewDir);
    EXPECT_EQ(FileText(NewDir + "/TavDef.dat").substr(0, 3), "QVD");
    EXPECT_EQ(AppIniFile().FileName(), NewDir + "/tavro.ini");
    EXPECT_TRUE(std::filesystem::exists(NewDir + "/tavro.ini"));
    EXPECT_EQ(FileText(NewDir + "/Light.stl"), "mine");
    EXPECT_EQ(GetSpiFolder(), Tmp / "plugins");
    EXPECT_EQ(TShellEnvironment::Defaults->DisplayCache, 0);
}

TEST_F(TOptionFormTest, ADataFolderThatCannotTakeFilesIsRefusedAndTheRestApplies)
{
    std::ofstream(Tmp / "file") << "x";
    const std::string OldIni = AppIniFile().FileName();
    TfrmOption D;
    D.FormShow();
    D.edtDefDataDir->setText(QString::fromStdString(Tmp / "file/sub"));
    D.edtSPIDir->setText(QString::fromStdString(Tmp / "plugins"));
    D.cboxDispCache->setChecked(!D.cboxDispCache->isChecked());
    const uint8_t Cache = D.cboxDispCache->isChecked();
    D.btnOKClick();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "データファイルの作成に失敗しました");
    EXPECT_EQ(Boxes[0].Caption, "エラー");
    EXPECT_EQ(EnvData(), TShellEnvironment::Data);
    EXPECT_EQ(AppIniFile().FileName(), OldIni);
    EXPECT_EQ(GetSpiFolder(), Tmp / "plugins");
    EXPECT_EQ(TShellEnvironment::Defaults->DisplayCache, Cache);
    EXPECT_EQ(D.result(), QDialog::Accepted);
}

TEST_F(TOptionFormTest, RegisteringWritesTheClassesAndTheDesktopFilesAndRemovingTakesThemAway)
{
    TfrmOption D;
    D.ProgramPath = Program;
    D.FormShow();
    EXPECT_FALSE(D.cboxRelateExt->isChecked());
    D.cboxRelateExt->setChecked(true);
    D.btnOKClick();
    EXPECT_TRUE(Boxes.empty());
    for (const auto& [Key, Value] : ClassesRoot) {
        std::string Expected = Value;
        if (const size_t At = Expected.find('@'); At != std::string::npos)
            Expected.replace(At, 1, Program);
        EXPECT_EQ(ClassValue(Key), Expected) << Key;
    }
    const std::string Entry = DataHome + "/applications/tavro.desktop";
    const std::string Package = DataHome + "/mime/packages/tavro.xml";
    EXPECT_EQ(FileLines(Entry), (std::vector<std::string>{
        "[Desktop Entry]",
        "Type=Application",
        "Name=Tavro",
        "Name[ja]=タヴロ",
        "Comment=Decorated lettering and logo artwork",
        "Comment[ja]=装飾文字とロゴのデザイン",
        "Exec=\"" + Tmp.Dir + "/Ta vro \\\\$HOME \\\\\"q\\\\\" 100%%/tavro\" -e %f",
        "Icon=tavro",
        "MimeType=application/x-tavro-document;",
        "Categories=Graphics;VectorGraphics;",
        "Terminal=false",
    }));
    EXPECT_EQ(FileLines(Package), (std::vector<std::string>{
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>",
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">",
        "  <mime-type type=\"application/x-tavro-document\">",
        "    <comment>Tavro data</comment>",
        "    <comment xml:lang=\"ja\">Tavro データ</comment>",
        "    <magic priority=\"50\">",
        "      <match type=\"string\" offset=\"0\" value=\"TAV\"/>",
        "    </magic>",
        "    <glob pattern=\"*.srn\"/>",
        "  </mime-type>",
        "</mime-info>",
    }));
    // The icon the entry names, in the hicolor theme at each size.
    for (const auto& [Size, Resource] : IconResources)
        EXPECT_EQ(FileText(DataHome + "/icons/hicolor/" + Size + "/apps/tavro.png"), ResourceBytes(Resource)) << Size;
    const QString Validate = QStandardPaths::findExecutable("desktop-file-validate");
    if (!Validate.isEmpty()) {
        QProcess P;
        P.setProcessChannelMode(QProcess::MergedChannels);
        P.start(Validate, {QString::fromStdString(Entry)});
        ASSERT_TRUE(P.waitForFinished(30000));
        EXPECT_EQ(P.exitCode(), 0) << P.readAll().toStdString();
    }
    const std::string DesktopCache = DataHome + "/applications/mimeinfo.cache";
    if (!QStandardPaths::findExecutable("update-desktop-database").isEmpty())
        EXPECT_NE(FileText(DesktopCache).find("application/x-tavro-document=tavro.desktop;"), std::string::npos);
    if (!QStandardPaths::findExecutable("update-mime-database").isEmpty())
        EXPECT_NE(FileText(DataHome + "/mime/globs2").find("application/x-tavro-document:*.srn"), std::string::npos);

    // Shown checked next time; unchecking removes all of it.
    TfrmOption Again;
    Again.FormShow();
    EXPECT_TRUE(Again.cboxRelateExt->isChecked());
    Again.cboxRelateExt->setChecked(false);
    Again.btnOKClick();
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ".srn"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "TavroData"));
    EXPECT_FALSE(std::filesystem::exists(Entry));
    EXPECT_FALSE(std::filesystem::exists(Package));
    for (const auto& [Size, Resource] : IconResources)
        EXPECT_FALSE(std::filesystem::exists(DataHome + "/icons/hicolor/" + Size + "/apps/tavro.png")) << Size;
    EXPECT_EQ(FileText(DesktopCache).find("tavro"), std::string::npos);
    EXPECT_EQ(FileText(DataHome + "/mime/globs2").find("tavro"), std::string::npos);
}

TEST_F(TOptionFormTest, TheBoxShowsTheDesktopsAssociationAndOkClearsTheKeysOfAnotherInstallation)
{
    // Keys another installation left, but nothing on the desktop: ".srn"
    // files do not open with the program.
    for (const char* Key : {".srn", "TavroData\\shell\\open\\command", "TavroData\\Other"}) {
        RegCreateKey(HKEY_CLASSES_ROOT, Key);
        RegSetString(HKEY_CLASSES_ROOT, Key, "", "C:\\Program Files\\Tavro\\Tavro.exe");
    }
    TfrmOption D;
    D.FormShow();
    EXPECT_FALSE(D.cboxRelateExt->isChecked());
    D.btnOKClick();
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ".srn"));
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, "TavroData"));
    EXPECT_TRUE(Boxes.empty());
    // The desktop's files without the keys: associated.
    std::string Error;
    ASSERT_TRUE(WriteDesktopAssociation(Program, Error)) << Error;
    TfrmOption Again;
    Again.FormShow();
    EXPECT_TRUE(Again.cboxRelateExt->isChecked());
    ASSERT_TRUE(RemoveDesktopAssociation(Error)) << Error;
}

TEST_F(TOptionFormTest, TheMimeDatabaseNamesDocumentsByNameAndBySignature)
{
    if (QStandardPaths::findExecutable("update-mime-database").isEmpty())
        GTEST_SKIP() << "update-mime-database is not installed (tools/setup installs it)";
    const std::string Doc = Tmp / "a.srn";
    const std::string Unnamed = Tmp / "drawing";
    SaveDocumentFile(Doc, 1);
    std::filesystem::copy_file(Doc, Unnamed);
    const QStringList Files{QString::fromStdString(Doc), QString::fromStdString(Unnamed)};
    EXPECT_EQ(MimeTypesOf(Files).find("tavro"), std::string::npos);
    std::string Error;
    ASSERT_TRUE(WriteDesktopAssociation(Program, Error)) << Error;
    EXPECT_EQ(MimeTypesOf(Files), "application/x-tavro-document\napplication/x-tavro-document\n");
    ASSERT_TRUE(RemoveDesktopAssociation(Error)) << Error;
    EXPECT_EQ(MimeTypesOf(Files).find("tavro"), std::string::npos);
}

TEST_F(TOptionFormTest, TheDesktopEntryHandsAFileToTheRunningProgram)
{
    Start();
    const std::string Doc = Tmp / "my drawing $1.srn";
    SaveDocumentFile(Doc, 1);
    std::string Error;
    ASSERT_TRUE(WriteDesktopAssociation(Program, Error)) << Error;
    std::string Exec;
    for (const std::string& L : FileLines(DesktopEntryPath()))
        if (L.rfind("Exec=", 0) == 0)
            Exec = L.substr(5);
    const QStringList Words = ExecWords(Exec, Doc);
    ASSERT_EQ(Words.join('|').toStdString(), Program + "|-e|" + Doc);
    ASSERT_TRUE(HandOver(Words.mid(1)));
    // A busy machine may show the untitled window first; the file takes
    // its place when the hand-over arrives.
    const std::vector<std::string> Expected{"my drawing $1.srn"};
    for (int I = 0; I < 1000 && DocNames() != Expected; ++I)
        Settle(10);
    EXPECT_EQ(DocNames(), Expected);
    ASSERT_TRUE(RemoveDesktopAssociation(Error)) << Error;
}

TEST_F(TOptionFormTest, DesktopFilesThatCannotBeWrittenOrRemovedAreToldAndNothingChanges)
{
    std::filesystem::create_directories(DataHome);
    std::ofstream(DataHome + "/applications") << "not a folder";
    TfrmOption D;
    D.ProgramPath = Program;
    D.FormShow();
    D.cboxRelateExt->setChecked(true);
    D.btnOKClick();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Caption, "エラー");
    EXPECT_EQ(Boxes[0].Text.rfind(std::string(AssociationWriteFailedText) + "\r\n" + DataHome +
                                      "/applications/tavro.desktop を書き込めません。",
                                  0),
              0u)
        << Boxes[0].Text;
    // Nothing half written: no MIME package, no icon, no keys; the box
    // shows it so.
    EXPECT_EQ(DesktopFiles(), std::vector<std::string>{"applications"});
    EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ".srn"));
    TfrmOption Shown;
    Shown.FormShow();
    EXPECT_FALSE(Shown.cboxRelateExt->isChecked());

    // A folder where the largest icon should be cannot be removed as a
    // file: the entry and the MIME package, gone before it, come back, the
    // keys stay, and so does the check.
    std::filesystem::remove(DataHome + "/applications");
    std::string Error;
    ASSERT_TRUE(WriteDesktopAssociation(Program, Error)) << Error;
    RegCreateKey(HKEY_CLASSES_ROOT, ".srn");
    std::filesystem::remove(IconPath(256));
    std::filesystem::create_directories(IconPath(256) + "/x");
    const std::vector<std::string> Before = DesktopFiles();
    const std::string Entry = FileText(DesktopEntryPath());
    const std::string Package = FileText(MimePackagePath());
    Boxes.clear();
    TfrmOption Again;
    Again.FormShow();
    ASSERT_TRUE(Again.cboxRelateExt->isChecked());
    Again.cboxRelateExt->setChecked(false);
    Again.btnOKClick();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text.rfind(std::string(AssociationRemoveFailedText) + "\r\n" + DataHome +
                                      "/icons/hicolor/256x256/apps/tavro.png を削除できません。",
                                  0),
              0u)
        << Boxes[0].Text;
    EXPECT_EQ(DesktopFiles(), Before);
    EXPECT_EQ(FileText(DesktopEntryPath()), Entry);
    EXPECT_EQ(FileText(MimePackagePath()), Package);
    EXPECT_TRUE(RegKeyExists(HKEY_CLASSES_ROOT, ".srn"));
    std::filesystem::remove_all(IconPath(256));
    ASSERT_TRUE(RemoveDesktopAssociation(Error)) << Error;
}

// A named pipe (or a link to one) where the desktop entry goes is no file
// to replace: the association says so, naming it, writes nothing into it,
// and takes back what it had written before it.
TEST_F(TOptionFormTest, APipeInTheEntrysPlaceIsToldAndLeftAsItWas)
{
    for (const bool Linked : {false, true}) {
        SCOPED_TRACE(Linked ? "a link to a pipe" : "a pipe");
        std::filesystem::remove_all(DataHome);
        std::filesystem::create_directories(DataHome + "/applications");
        const std::string Pipe = DataHome + (Linked ? "/elsewhere.desktop" : "/applications/tavro.desktop");
        TFifoWriteWatch Watch(Pipe);
        if (Linked)
            std::filesystem::create_symlink(Pipe, DesktopEntryPath());
        std::string Error;
        EXPECT_FALSE(WriteDesktopAssociation(Program, Error));
        EXPECT_EQ(Error, DesktopEntryPath() + " を書き込めません。\r\n通常のファイルではありません");
        EXPECT_EQ(Watch.Written(), 0u);
        EXPECT_TRUE(std::filesystem::is_fifo(DesktopEntryPath()));
        EXPECT_EQ(std::filesystem::is_symlink(DesktopEntryPath()), Linked);
        // The icons and the MIME package written before it are gone again.
        EXPECT_EQ(DesktopFiles().size(), Linked ? 2u : 1u);
        EXPECT_FALSE(std::filesystem::exists(MimePackagePath()));
        for (const int Size : TavroIconSizes)
            EXPECT_FALSE(std::filesystem::exists(IconPath(Size))) << Size;
    }
}

TEST_F(TOptionFormTest, AFailingCacheUpdatePutsTheFilesAndTheCachesBack)
{
    if (QStandardPaths::findExecutable("update-mime-database").isEmpty())
        GTEST_SKIP() << "update-mime-database is not installed (tools/setup installs it)";
    // update-desktop-database, the last step, fails.
    const std::string Bin = Tmp / "bin";
    std::filesystem::create_directories(Bin);
    std::ofstream(Bin + "/update-desktop-database") << "#!/bin/sh\necho cache locked\nexit 1\n";
    std::filesystem::permissions(Bin + "/update-desktop-database", std::filesystem::perms::owner_all);
    TSavedEnv Path("PATH");
    setenv("PATH", (Bin + ":" + *Path.Value).c_str(), 1);
    const std::string Globs = DataHome + "/mime/globs2";
    struct TCase {
        const char* What;
        bool AssociatedBefore; // with another program
    };
    for (const TCase& C : {TCase{"new", false}, TCase{"rewritten", true}}) {
        std::filesystem::remove_all(DataHome);
        std::string Error;
        if (C.AssociatedBefore) {
            setenv("PATH", Path.Value->c_str(), 1);
            ASSERT_TRUE(WriteDesktopAssociation("/opt/old/tavro", Error)) << Error;
            setenv("PATH", (Bin + ":" + *Path.Value).c_str(), 1);
        }
        const std::vector<std::string> Files = DesktopFiles();
        const std::string Entry = FileText(DesktopEntryPath());
        const std::string MimeCache = FileText(Globs);
        Boxes.clear();
        TfrmOption D;
        D.ProgramPath = Program;
        D.FormShow();
        EXPECT_EQ(D.cboxRelateExt->isChecked(), C.AssociatedBefore) << C.What;
        D.cboxRelateExt->setChecked(true);
        D.btnOKClick();
        ASSERT_EQ(Boxes.size(), 1u) << C.What;
        EXPECT_EQ(Boxes[0].Text, std::string(AssociationWriteFailedText) + "\r\nupdate-desktop-database " + DataHome +
                                     "/applications が失敗しました。\r\ncache locked")
            << C.What;
        EXPECT_EQ(DesktopFiles(), Files) << C.What;
        EXPECT_EQ(FileText(DesktopEntryPath()), Entry) << C.What;
        // The MIME cache says what it said before.
        EXPECT_EQ(FileText(Globs).find("tavro") != std::string::npos, C.AssociatedBefore) << C.What;
        if (C.AssociatedBefore)
            EXPECT_EQ(FileText(Globs), MimeCache) << C.What;
        EXPECT_FALSE(RegKeyExists(HKEY_CLASSES_ROOT, ".srn")) << C.What;
    }
}

TEST_F(TOptionFormTest, TheFolderPickerStartsAtTheEditAndPutsItsChoiceThere)
{
    std::filesystem::create_directories(Tmp / "a/b");
    TfrmOption D;
    D.edtSPIDir->setText(QString::fromStdString(Tmp / "a"));
    D.edtDefDataDir->setText(QString::fromStdString(Tmp / "a"));
    std::string Title;
    std::string Start;
    auto Pick = [&](bool Choose) {
        QTimer::singleShot(0, [&, Choose] {
            auto* F = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(F, nullptr);
            Title = F->windowTitle().toStdString();
            Start = F->directory().absolutePath().toStdString();
            if (!Choose) {
                F->reject();
                return;
            }
            auto* List = F->findChild<QListView*>("listView");
            QModelIndex B;
            (void)QTest::qWaitFor([&] {
                for (int R = 0; R < List->model()->rowCount(List->rootIndex()); ++R)
                    if (List->model()->index(R, 0, List->rootIndex()).data().toString() == "b")
                        B = List->model()->index(R, 0, List->rootIndex());
                return B.isValid();
            }, 5000);
            List->selectionModel()->setCurrentIndex(B, QItemSelectionModel::ClearAndSelect |
                                                           QItemSelectionModel::Rows);
            F->findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Open)->click();
        });
    };
    Pick(true);
    D.btnRefSPIDir->click();
    EXPECT_EQ(Title, "[SPIプラグインを検索するディレクトリ]を選択してください。");
    EXPECT_EQ(Start, Tmp / "a");
    EXPECT_EQ(D.edtSPIDir->text().toStdString(), Tmp / "a/b");
    Title.clear();
    Pick(false);
    D.btnRefDefData->click();
    EXPECT_EQ(Title, "[SPIプラグインを検索するディレクトリ]を選択してください。");
    EXPECT_EQ(D.edtDefDataDir->text().toStdString(), Tmp / "a");
}
