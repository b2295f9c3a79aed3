#include "ui/preview_dialogs.h"

#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "platform/qt/window_routines.h"
#include "raster/bmp_conv.h"
#include "raster/picture_file.h"
#include "ui/restore_pos.h"
#include "ui/work_area.h"

#include <QCheckBox>
#include <QCompleter>
#include <QFileInfo>
#include <QGridLayout>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QSizeGrip>
#include <QSoundEffect>
#include <QUrl>

#include <algorithm>
#include <vector>

namespace {

constexpr int32_t MinPaneWidth = 3;
constexpr int32_t GripSize = 12;

std::string LowerExtension(const std::string& Path)
{
    const size_t Slash = Path.rfind('/');
    const size_t Dot = Path.rfind('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
        return "";
    std::string E = Path.substr(Dot);
    for (char& C : E)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return E;
}

void FreeBits(uint8_t*& Bits)
{
    HGLOBAL H = Bits;
    GlobalFreeQ(H);
    Bits = nullptr;
}

// The picture as a Qt image (depths 8, 16, 24 and 32; others give none).
QImage DIBToImage(const BITMAPINFOHEADER* H, const uint8_t* Bits)
{
    const int32_t W = H->biWidth;
    const int32_t Hgt = H->biHeight;
    if (W <= 0 || Hgt <= 0)
        return {};
    const int64_t Stride = GetDIBLineSize(W, 24);
    std::vector<uint8_t> Rows;
    const uint8_t* Src = Bits;
    if (H->biBitCount != 24) {
        Rows.resize(static_cast<size_t>(Stride * Hgt));
        switch (H->biBitCount) {
        case 8: BmpConv8to24(H, Bits, Rows.data()); break;
        case 16: BmpConv16to24(H, Bits, Rows.data()); break;
        case 32: BmpConv32to24(H, Bits, Rows.data()); break;
        default: return {};
        }
        Src = Rows.data();
    }
    QImage Img(W, Hgt, QImage::Format_BGR888);
    for (int32_t Y = 0; Y < Hgt; ++Y)
        std::copy_n(Src + Stride * (Hgt - 1 - Y), static_cast<size_t>(W) * 3, Img.scanLine(Y));
    return Img;
}

// The size grip, drawn with the "BMSIZE" picture.
class TSizeGripBM : public QSizeGrip {
public:
    explicit TSizeGripBM(QWidget* Parent) : QSizeGrip(Parent), FPicture(":/bitmaps/BMSIZE")
    {
        setObjectName("sizeGrip");
        setFixedSize(GripSize, GripSize);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter P(this);
        P.drawPixmap(0, 0, FPicture);
    }

private:
    QPixmap FPicture;
};

} // namespace

QStringList FilterToNameFilters(const std::string& Filter)
{
    QStringList Parts = QString::fromStdString(Filter).split('|');
    QStringList Result;
    for (qsizetype I = 0; I + 1 < Parts.size(); I += 2) {
        if (Parts[I].isEmpty())
            break;
        QString Masks = Parts[I + 1];
        Masks.replace(';', ' ');
        Result << Parts[I] + " (" + Masks.simplified() + ")";
    }
    return Result;
}

std::string PreviewNameFromSpec(const std::string& Spec)
{
    if (Spec.empty() || Spec[0] != '"')
        return Spec;
    const size_t End = Spec.find('"', 1);
    return Spec.substr(1, End == std::string::npos ? std::string::npos : End - 1);
}

// ---------------------------------------------------------------------------

TFileDialogQ::TFileDialogQ(QWidget* Parent) : QFileDialog(Parent)
{
    setOption(QFileDialog::DontUseNativeDialog);
    // The filters' own descriptions already name their masks.
    setOption(QFileDialog::HideNameFilterDetails);
    setSizeGripEnabled(false);
}

void TFileDialogQ::hideEvent(QHideEvent* Event)
{
    // The file name's completion list is a window of its own, which Enter
    // in the name leaves up when it ends the dialog.
    for (QCompleter* C : findChildren<QCompleter*>())
        if (QWidget* List = C->popup(); List->isVisible())
            List->hide();
    QFileDialog::hideEvent(Event);
}

void TFileDialogQ::PrepareDialog()
{
    const QStringList Names = FilterToNameFilters(Filter);
    if (!Names.isEmpty())
        setNameFilters(Names);
    if (!InitialDir.empty())
        setDirectory(QString::fromStdString(InitialDir));
    if (!FileName.empty()) {
        selectFile(QString::fromStdString(FileName));
    } else {
        // No name asked for: the dialog, made once and used again, shows
        // none rather than the one taken at its last use (which OK or Enter
        // would open again).
        if (auto* List = findChild<QListView*>("listView"))
            List->selectionModel()->clear();
        if (auto* Edit = findChild<QLineEdit*>("fileNameEdit"))
            Edit->clear();
    }
    if (!Title.empty())
        setWindowTitle(QString::fromStdString(Title));
}

void TFileDialogQ::TakeSelection()
{
    Files.Clear();
    for (const QString& F : selectedFiles())
        Files.Add(F.toStdString());
    FileName = Files.Count() > 0 ? Files.Strings(0) : std::string();
}

std::string TFileDialogQ::ReadSettingText() const
{
    if (FRegistryName.empty())
        return "";
    return ReadUserSettingText(FIniFile, FRegistryKey, FRegistryName);
}

void TFileDialogQ::WriteSettingText(const std::string& Text)
{
    if (FRegistryKey.empty() || FRegistryName.empty())
        return;
    WriteUserSettingText(FIniFile, FRegistryKey, FRegistryName, Text);
}

void TFileDialogQ::ApplyRectFields(const std::string& S, int32_t& Pos)
{
    const QRect G = geometry();
    int32_t Left = GetFieldInt(S, Pos, ',', G.left());
    int32_t Top = GetFieldInt(S, Pos, ',', G.top());
    const int32_t Right = GetFieldInt(S, Pos, ',', G.left() + G.width());
    const int32_t Bottom = GetFieldInt(S, Pos, ',', G.top() + G.height());
    // Stored numbers of any size: the sides in 64 bits, fitted to the screen.
    TRect R{Left, Top, Right, Bottom};
    if (TRect Area; GetWorkAreaRect(Area))
        R = FitBoundsInArea(Area, Left, Top, int64_t(Right) - Left, int64_t(Bottom) - Top);
    setGeometry(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
}

std::string TFileDialogQ::RectFieldsText() const
{
    const QRect G = geometry();
    return JoinInts({G.left(), G.top(), G.left() + G.width(), G.top() + G.height()});
}

void TFileDialogQ::resizeEvent(QResizeEvent* Event)
{
    QFileDialog::resizeEvent(Event);
    if (FGrip && FGrip->parentWidget() == this) {
        FGrip->move(width() - GripSize, height() - GripSize);
        FGrip->raise();
    }
}

// ---------------------------------------------------------------------------

// The preview pane: the picture, the load progress or a sunken grey face.
class TPreviewPane : public QWidget {
public:
    explicit TPreviewPane(QWidget* Parent) : QWidget(Parent) {}

    QImage Picture;
    // While a picture loads: the step reported and the number of steps.
    bool Loading = false;
    int32_t Step = 0;
    int32_t Steps = 0;

    static int32_t Progress(int32_t Num, int32_t Denom, intptr_t Data)
    {
        auto* Pane = reinterpret_cast<TPreviewPane*>(Data);
        Pane->Loading = true;
        Pane->Step = Num;
        Pane->Steps = Denom;
        Pane->repaint();
        return 0;
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter P(this);
        const TRect R{0, 0, width(), height()};
        if (Loading) {
            if (Steps > 0 && Step < Steps) {
                DrawBevelFrame(P, R, false, 0x808080);
                const int64_t W = int64_t{width() - 4} * std::max(Step, 0) / Steps;
                P.fillRect(2, 2, static_cast<int>(W), height() - 4, QColor(0xC0, 0xC0, 0xC0));
            } else {
                P.fillRect(rect(), QColor(0x80, 0x80, 0x80));
                P.setPen(Qt::white);
                P.drawRect(0, 0, width() - 1, height() - 1);
            }
            return;
        }
        if (Picture.isNull()) {
            DrawBevelFrame(P, R, false, 0x808080);
            return;
        }
        P.fillRect(rect(), palette().window());
        const int64_t AW = width() - 4;
        const int64_t AH = height() - 4;
        const int64_t PW = Picture.width();
        const int64_t PH = Picture.height();
        if (AW <= 0 || AH <= 0)
            return;
        int64_t DW = AW;
        int64_t DH = AH;
        if (PW * AH > PH * AW)
            DH = std::max<int64_t>(1, PH * AW / PW);
        else
            DW = std::max<int64_t>(1, PW * AH / PH);
        P.setRenderHint(QPainter::SmoothPixmapTransform);
        P.drawImage(QRect(static_cast<int>(2 + (AW - DW) / 2), static_cast<int>(2 + (AH - DH) / 2),
                          static_cast<int>(DW), static_cast<int>(DH)),
                    Picture);
    }
};

TOpenPreviewDialogQ::TOpenPreviewDialogQ(QWidget* Parent) : TFileDialogQ(Parent)
{
    setFileMode(QFileDialog::ExistingFile);
    if (auto* List = findChild<QListView*>("listView"))
        connect(List->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { SelectionChanged(); });
    connect(this, &QFileDialog::currentChanged, this, [this] { SelectionChanged(); });
    connect(this, &QFileDialog::directoryEntered, this, [this] { SelectionChanged(); });
}

TOpenPreviewDialogQ::~TOpenPreviewDialogQ()
{
    ClearPicture();
}

QWidget* TOpenPreviewDialogQ::PreviewPane() const
{
    return FPane;
}

const BITMAPINFOHEADER* TOpenPreviewDialogQ::PreviewHeader() const
{
    return static_cast<const BITMAPINFOHEADER*>(FPictureHeader);
}

void TOpenPreviewDialogQ::BuildFilter()
{
    if (!Filter.empty() || !(OptionsEx & opdoPreview))
        return;
    std::string S;
    if (PreviewTypes & opdftWave)
        S = "サウンドファイル(*.wav)|*.wav";
    if (PreviewTypes & opdftGraphic) {
        std::string Pictures;
        GetPictureFileFilter(Pictures);
        // Without a sound entry a leading "|" would make an empty entry that
        // ends the list and hides every picture type.
        S += (S.empty() ? "" : "|") + Pictures;
    }
    Filter = S.empty() ? "全てのファイル(*.*)|*.*" : "全てのファイル(*.*)|*.*|" + S;
}

bool TOpenPreviewDialogQ::Execute()
{
    BuildFilter();
    setFileMode(AllowMultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    PrepareDialog();
    FFolderChosen = false;
    FChosenFolder.clear();
    FLastPreviewed.clear();
    const int Result = exec();
    if (FFolderChosen) {
        FileName = FChosenFolder;
        Files.Clear();
        Files.Add(FChosenFolder);
        return true;
    }
    if (Result != QDialog::Accepted)
        return false;
    TakeSelection();
    return true;
}

void TOpenPreviewDialogQ::showEvent(QShowEvent* Event)
{
    if (!FPanel) {
        CreatePanel();
        const std::string S = ReadSettingText();
        if (!S.empty()) {
            int32_t Pos = 1;
            CheckPreview = GetFieldInt(S, Pos, ',', CheckPreview ? 1 : 0) != 0;
            ApplyRectFields(S, Pos);
            FPaneWidth = std::max(MinPaneWidth, GetFieldInt(S, Pos, ',', FPaneWidth));
        }
        FCheck->setChecked(CheckPreview);
        FPane->setVisible(CheckPreview);
        LayoutPanel();
    }
    TFileDialogQ::showEvent(Event);
}

void TOpenPreviewDialogQ::CreatePanel()
{
    auto* Grid = qobject_cast<QGridLayout*>(layout());
    auto* Panel = new QWidget(this);
    FPanel = Panel;
    FPane = new TPreviewPane(Panel);
    FCheck = new QCheckBox("プレビュー", Panel);
    connect(FCheck, &QCheckBox::toggled, this, [this](bool On) { PreviewCheckClick(On); });
    FFolderButton = nullptr;
    if (OptionsEx & opdoAllowOpenFolder) {
        FFolderButton = new QPushButton("フォルダを開く", Panel);
        connect(FFolderButton, &QPushButton::clicked, this, [this] { OpenFolderClick(); });
    }
    FGrip = new TSizeGripBM(Panel);
    Panel->installEventFilter(this);
    if (Grid)
        Grid->addWidget(Panel, 0, Grid->columnCount(), std::max(Grid->rowCount(), 1), 1);
    Panel->show();
}

void TOpenPreviewDialogQ::LayoutPanel()
{
    if (!FPanel)
        return;
    const int32_t PanelWidth = std::max(FPaneWidth + 8, 110);
    FPanel->setFixedWidth(PanelWidth);
    const int32_t H = FPanel->height();
    int32_t PaneBottom = H - 30;
    if (FFolderButton) {
        FFolderButton->setGeometry(4, H - 56, PanelWidth - 8, 24);
        PaneBottom = H - 60;
    }
    FPane->setGeometry(4, 4, FPaneWidth, std::max(PaneBottom - 4, 1));
    FCheck->setGeometry(10, H - 25, 100, 20);
    FGrip->move(PanelWidth - GripSize, H - GripSize);
}

void TOpenPreviewDialogQ::DestroyPanel()
{
    if (!FPanel)
        return;
    if (QLayout* L = layout())
        L->removeWidget(FPanel);
    FPanel->hide();
    // Closing may come from the panel's own button.
    FPanel->deleteLater();
    FPanel = nullptr;
    FPane = nullptr;
    FCheck = nullptr;
    FFolderButton = nullptr;
    FGrip = nullptr;
}

void TOpenPreviewDialogQ::done(int Result)
{
    if (!FPanel) {
        TFileDialogQ::done(Result);
        return;
    }
    CheckPreview = FCheck->isChecked();
    const std::string Text = JoinInts({CheckPreview ? 1 : 0}) + "," + RectFieldsText() + "," +
                             std::to_string(FPaneWidth);
    DestroyPanel();
    TFileDialogQ::done(Result);
    // Last, so that a store that refuses cannot keep the dialog open.
    WriteSettingText(Text);
}

bool TOpenPreviewDialogQ::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FPanel && Event->type() == QEvent::Resize)
        LayoutPanel();
    return TFileDialogQ::eventFilter(Watched, Event);
}

std::string TOpenPreviewDialogQ::SelectionText() const
{
    // The names selected in the list, quoted when there are several, as the
    // dialog shows them; else what the name field holds.
    QStringList Names;
    if (const auto* List = findChild<QListView*>("listView"))
        for (const QModelIndex& I : List->selectionModel()->selectedRows())
            Names << I.data().toString();
    if (Names.size() > 1)
        for (QString& N : Names)
            N = '"' + N + '"';
    if (!Names.isEmpty())
        return Names.join(' ').toStdString();
    if (const auto* Edit = findChild<QLineEdit*>("fileNameEdit"))
        return Edit->text().toStdString();
    return "";
}

void TOpenPreviewDialogQ::SelectionChanged()
{
    if (!(OptionsEx & opdoPreview) || !FCheck || !FCheck->isChecked())
        return;
    const std::string Name = PreviewNameFromSpec(SelectionText());
    if (Name.empty())
        return;
    const std::string Path = directory().absoluteFilePath(QString::fromStdString(Name)).toStdString();
    if (Path == FLastPreviewed)
        return;
    FLastPreviewed = Path;
    Preview(Path);
}

void TOpenPreviewDialogQ::Preview(const std::string& Path)
{
    const std::string Ext = LowerExtension(Path);
    if (Ext == ".wav" && (PreviewTypes & opdftWave)) {
        if (!FSound)
            FSound = std::make_unique<QSoundEffect>();
        FSound->setSource(QUrl::fromLocalFile(QString::fromStdString(Path)));
        FSound->play();
    } else if (Ext != ".ico" && Ext != ".ani" && (PreviewTypes & opdftGraphic)) {
        ClearPicture();
        HGLOBAL Header = nullptr;
        uint8_t* Bits = nullptr;
        std::string InfoText;
        TPictureInfo Info{};
        FPane->Loading = false;
        const int32_t R = LoadPicture(Path, Header, Bits, 0, &TPreviewPane::Progress,
                                      reinterpret_cast<intptr_t>(FPane), (OptionsEx & opdoQuick) != 0,
                                      InfoText, Info);
        FPane->Loading = false;
        if (R == lpOK) {
            FPictureHeader = Header;
            FPictureBits = Bits;
            // A picture that cannot be shown leaves the pane empty, unreported.
            try {
                const uint16_t Depth = PreviewHeader()->biBitCount;
                if (Depth == 1 || Depth == 4 || IsPaletteDevice())
                    ConvBmpTo8(FPictureHeader, FPictureBits);
                FPane->Picture = DIBToImage(PreviewHeader(), FPictureBits);
            } catch (const std::exception&) {
                ClearPicture();
            }
        }
    }
    FPane->update();
}

void TOpenPreviewDialogQ::ClearPicture()
{
    GlobalFreeQ(FPictureHeader);
    FreeBits(FPictureBits);
    if (FPane)
        FPane->Picture = QImage();
}

void TOpenPreviewDialogQ::OpenFolderClick()
{
    const QString Name = QString::fromStdString(SelectionText());
    const QString Path = directory().absoluteFilePath(Name);
    if (!Name.isEmpty() && QFileInfo(Path).isDir())
        FChosenFolder = QFileInfo(Path).absoluteFilePath().toStdString();
    else
        FChosenFolder = directory().absolutePath().toStdString();
    FFolderChosen = true;
    reject();
}

void TOpenPreviewDialogQ::PreviewCheckClick(bool Checked)
{
    FPane->setVisible(Checked);
    if (Checked)
        SelectionChanged();
}

// ---------------------------------------------------------------------------

TSaveDialogWex::TSaveDialogWex(QWidget* Parent) : TFileDialogQ(Parent)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    // As the platform's save dialog without its overwrite prompt option.
    setOption(QFileDialog::DontConfirmOverwrite);
    FGrip = new TSizeGripBM(this);
}

bool TSaveDialogWex::Execute()
{
    PrepareDialog();
    FShown = false;
    if (exec() != QDialog::Accepted)
        return false;
    TakeSelection();
    return true;
}

void TSaveDialogWex::showEvent(QShowEvent* Event)
{
    if (!FShown) {
        FShown = true;
        const std::string S = ReadSettingText();
        if (!S.empty()) {
            int32_t Pos = 1;
            ApplyRectFields(S, Pos);
        }
    }
    TFileDialogQ::showEvent(Event);
}

void TSaveDialogWex::done(int Result)
{
    const bool Write = FShown;
    const std::string Text = RectFieldsText();
    FShown = false;
    TFileDialogQ::done(Result);
    if (Write)
        WriteSettingText(Text);
}
