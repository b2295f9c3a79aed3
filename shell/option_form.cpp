#include "shell/option_form.h"

#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "editors/style_items.h"
#include "model/default_data.h"
#include "platform/registry_store.h"
#include "raster/picture_file.h"
#include "shell/file_association.h"
#include "ui/browse_dialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

struct TClassesValue {
    const char* Key;
    std::string Value;
};

std::vector<TClassesValue> ClassesValues(const std::string& Program)
{
    return {
        {".srn", "TavroData"},
        {"TavroData", "Tavro データ"},
        {"TavroData\\DefaultIcon", Program + ",1"},
        {"TavroData\\shell\\open\\command", "\"" + Program + "\" /e \"%1\""},
        {"TavroData\\shell\\open\\ddeexec", "[open(\"%1\")]"},
        {"TavroData\\shell\\open\\ddeexec\\Application", "TAVRO"},
        {"TavroData\\shell\\open\\ddeexec\\topic", "TAVRO"},
    };
}

// The folder as typed, without trailing "/" (the root stays "/").
std::string FolderText(const QLineEdit* Edit)
{
    std::string S = Edit->text().trimmed().toStdString();
    while (S.size() > 1 && S.back() == '/')
        S.pop_back();
    return S;
}

// Makes Folder and a file in it, so that a folder that cannot take the
// files is refused before anything points to it.
void ProbeWritableFolder(const std::string& Folder)
{
    std::error_code Ec;
    std::filesystem::create_directories(Folder, Ec);
    std::string Name = Folder + "/.tavro-probe-XXXXXX";
    const int Fd = mkstemp(Name.data());
    if (Fd < 0)
        throw EFCreateError(Folder + " にファイルを作成できません。");
    close(Fd);
    unlink(Name.c_str());
}

} // namespace

TfrmOption::TfrmOption(QWidget* Parent)
    : QDialog(Parent), dlgBrows(std::make_unique<TBrowseDialog>())
{
    setWindowTitle("環境設定");
    edtSPIDir = new QLineEdit(this);
    btnRefSPIDir = new QPushButton("参照(&B)...", this);
    edtDefDataDir = new QLineEdit(this);
    btnRefDefData = new QPushButton("参照(&B)...", this);
    cboxDispCache = new QCheckBox("高速再描画", this);
    cboxRelateExt = new QCheckBox("データファイルの拡張子を関連づける", this);
    btnOK = new QPushButton("OK", this);
    btnCancel = new QPushButton("キャンセル", this);
    btnOK->setDefault(true);

    auto FolderRow = [this](QVBoxLayout* Into, const char* Label, QLineEdit* Edit, QPushButton* Button) {
        Into->addWidget(new QLabel(Label, this));
        auto* Row = new QHBoxLayout;
        Edit->setMinimumWidth(320);
        Row->addWidget(Edit, 1);
        Row->addWidget(Button);
        Into->addLayout(Row);
    };
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    auto* Layout = new QVBoxLayout(this);
    Layout->setSizeConstraint(QLayout::SetFixedSize);
    FolderRow(Layout, "[SPIプラグインを検索するフォルダ]", edtSPIDir, btnRefSPIDir);
    FolderRow(Layout, "[設定内容を保存するフォルダ]", edtDefDataDir, btnRefDefData);
    Layout->addWidget(cboxDispCache);
    Layout->addWidget(cboxRelateExt);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);
    Layout->addLayout(Buttons);

    dlgBrows->OnInitialized = [](TBrowseDialog*, QWidget* Dialog) {
        Dialog->setWindowTitle("[SPIプラグインを検索するディレクトリ]を選択してください。");
    };
    connect(btnRefSPIDir, &QPushButton::clicked, this, [this] { btnRefSPIDirClick(); });
    connect(btnRefDefData, &QPushButton::clicked, this, [this] { btnRefDefDataClick(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOKClick(); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmOption::~TfrmOption() = default;

void TfrmOption::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        FormShow();
}

void TfrmOption::FormShow()
{
    edtSPIDir->setText(QString::fromStdString(GetSpiFolder()));
    const TDefaultData* Defaults = GetDefaultAttributes();
    std::string Dir = Defaults ? Defaults->DataFolder() : std::string();
    if (Dir.empty())
        GetEnvDataDir(Dir);
    while (Dir.size() > 1 && Dir.back() == '/')
        Dir.pop_back();
    FShownDataDir = Dir;
    edtDefDataDir->setText(QString::fromStdString(Dir));
    cboxDispCache->setChecked(Defaults ? Defaults->DisplayCache != 0 : true);
    // What the desktop really does with ".srn" files, whatever the classes
    // say.
    cboxRelateExt->setChecked(DesktopAssociationExists());
}

void TfrmOption::BrowseInto(QLineEdit* Edit)
{
    dlgBrows->Directory = Edit->text().toStdString();
    if (dlgBrows->Execute())
        Edit->setText(QString::fromStdString(dlgBrows->Directory));
}

void TfrmOption::btnRefSPIDirClick()
{
    BrowseInto(edtSPIDir);
}

void TfrmOption::btnRefDefDataClick()
{
    BrowseInto(edtDefDataDir);
}

void TfrmOption::ApplyDataFolder()
{
    std::string Folder = FolderText(edtDefDataDir);
    // An emptied edit keeps the folder: the defaults need one to live in.
    if (Folder.empty() || Folder == FShownDataDir)
        return;
    Folder = std::filesystem::absolute(Folder).lexically_normal().string();
    while (Folder.size() > 1 && Folder.back() == '/')
        Folder.pop_back();
    try {
        // Checked first, so that a folder that cannot take the files never
        // becomes the data folder of the next run.
        ProbeWritableFolder(Folder);
        if (TDefaultData* Defaults = GetDefaultAttributes())
            Defaults->SetDataFolder(Folder);
        else
            SetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, Folder);
        std::string Dir;
        GetEnvDataDir(Dir);
        AppIniFile().Rename(Dir + "tavro.ini");
        // Written now, so that the settings are in the new folder even if
        // the program never ends cleanly.
        AppIniFile().UpdateFile();
    } catch (const std::exception&) {
        ErrorMessageBox(this, DataFileCreateFailedText);
    }
}

void TfrmOption::btnOKClick()
{
    try {
        SetSpiFolder(FolderText(edtSPIDir));
    } catch (const std::exception& E) {
        // The other settings still apply.
        ErrorMessageBox(this, E.what());
    }
    ApplyDataFolder();
    if (TDefaultData* Defaults = GetDefaultAttributes()) {
        const uint8_t Cache = cboxDispCache->isChecked() ? 1 : 0;
        if (Cache != Defaults->DisplayCache)
            Defaults->DisplayCache = Cache;
    }
    if (cboxRelateExt->isChecked())
        RegisterAssociation();
    else
        UnregisterAssociation();
    accept();
}

void TfrmOption::RegisterAssociation()
{
    const std::string Program =
        ProgramPath.empty() ? QCoreApplication::applicationFilePath().toStdString() : ProgramPath;
    // The desktop first: when it fails, nothing has changed anywhere.
    std::string Error;
    if (!WriteDesktopAssociation(Program, Error)) {
        ErrorMessageBox(this, std::string(AssociationWriteFailedText) + "\r\n" + Error);
        return;
    }
    // The classes are our own record beside it.
    for (const TClassesValue& V : ClassesValues(Program))
        if (RegCreateKey(HKEY_CLASSES_ROOT, V.Key))
            RegSetString(HKEY_CLASSES_ROOT, V.Key, "", V.Value);
}

void TfrmOption::UnregisterAssociation()
{
    std::string Error;
    if (!RemoveDesktopAssociation(Error)) {
        ErrorMessageBox(this, std::string(AssociationRemoveFailedText) + "\r\n" + Error);
        return;
    }
    RegDeleteKeyTree(HKEY_CLASSES_ROOT, ".srn");
    RegDeleteKeyTree(HKEY_CLASSES_ROOT, "TavroData");
}

void MoveStyleLibraries(const std::string& OldDir)
{
    std::string NewDir;
    GetEnvDataDir(NewDir);
    if (NewDir == OldDir)
        return;
    for (const TStyleKind Kind : {TStyleKind::Gradation, TStyleKind::Light, TStyleKind::MacroPaint}) {
        TCustomStyle Style = MakeStyleLibrary(Kind, OldDir, std::string());
        const std::string From = Style.FileName;
        if (!Style.MoveToFolder(NewDir))
            ErrorMessageBox("スタイルファイル " + From + " を " + NewDir + " へ移せませんでした。");
    }
}
