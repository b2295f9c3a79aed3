#include "shell/setting_page_form.h"

#include "shell/child_print.h"
#include "shell/printer_setup_form.h"

#include "editors/color_dialog_wex.h"
#include "foundation/app_environment.h"
#include "foundation/numbers.h"
#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"
#include "raster/rec_picture.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/frm_rollup.h"
#include "ui/paint_box_wex.h"
#include "ui/restore_pos.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

const char* const Section = "4.0";
const char* const UnitNames[] = {"Pixcel", "cm", "ｲﾝﾁ"};
constexpr double ValueTolerance = 0.0001;

TPrinterSpecReader& Reader()
{
    static TPrinterSpecReader R;
    return R;
}

int32_t Saturate(double V)
{
    if (!(V == V))
        return 0;
    return static_cast<int32_t>(std::clamp(V, double(std::numeric_limits<int32_t>::min()),
                                           double(std::numeric_limits<int32_t>::max())));
}

QColor ColorOfRef(int32_t C)
{
    return QColor(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF);
}

TEditTrackBarWex* UnitEdit(QWidget* Parent)
{
    auto* E = new TEditTrackBarWex(Parent);
    E->SetButtons(etbkbUpDown);
    E->setMinimumWidth(80);
    // A size typed below its least is refused when the edit is left and the
    // edit shows the size it had, as the property panel's sizes do.
    E->RefuseBelowMin = true;
    return E;
}

void SetRange(TEditTrackBarWex* E, double Precision, double Min, double Max, double Line, double Page)
{
    E->SetPrecision(Precision);
    E->SetMin(Min);
    E->SetMax(Max);
    E->SetTrackBarMin(Min);
    E->SetTrackBarMax(Max);
    E->LineSize = Line;
    E->PageSize = Page;
}

// The preview's handles: small squares on a white brush.
constexpr int32_t HandleHalf = 3;

// A small copy of a 24-bit bottom-up page picture (no side above MaxSide),
// so that the preview costs the same for any page size.
QImage PreviewImage(const TrecPicture* Pic, int32_t MaxSide)
{
    const BITMAPINFOHEADER* H = Pic ? RecPictureHeader(*Pic) : nullptr;
    if (!H || !Pic->pBits || H->biBitCount != 24 || H->biWidth <= 0 || H->biHeight <= 0)
        return QImage();
    const int64_t W = H->biWidth, Ht = H->biHeight;
    const double F = std::min(1.0, double(MaxSide) / double(std::max(W, Ht)));
    const int OW = std::max(1, int(W * F)), OH = std::max(1, int(Ht * F));
    const int64_t Stride = (W * 3 + 3) & ~int64_t(3);
    QImage Image(OW, OH, QImage::Format_RGB32);
    for (int Y = 0; Y < OH; ++Y) {
        const int64_t SY = Ht - 1 - std::min<int64_t>(Ht - 1, int64_t(Y) * Ht / OH);
        const uint8_t* Row = Pic->pBits + SY * Stride;
        auto* Out = reinterpret_cast<QRgb*>(Image.scanLine(Y));
        for (int X = 0; X < OW; ++X) {
            const uint8_t* Px = Row + std::min<int64_t>(W - 1, int64_t(X) * W / OW) * 3;
            Out[X] = qRgb(Px[2], Px[1], Px[0]);
        }
    }
    return Image;
}

} // namespace

// ---------------------------------------------------------------------------

TPrinterSpec NoPrinterSpec()
{
    return TPrinterSpec{};
}

TPrinterSpec ReadPrinterSpec(QPrinter& Printer)
{
    // The PDF printer is a printer like any other: it has a resolution and
    // a paper, and the page prints on it where it was placed.
    const bool Pdf = Printer.outputFormat() == QPrinter::PdfFormat;
    if (!Printer.isValid() || (!Pdf && Printer.printerName().isEmpty()))
        return NoPrinterSpec();
    TPrinterSpec S;
    S.Valid = true;
    S.DpiX = S.DpiY = Printer.resolution();
    const QRectF Paper = Printer.paperRect(QPrinter::DevicePixel);
    const QRectF Page = Printer.pageRect(QPrinter::DevicePixel);
    S.PaperWidth = Saturate(std::round(Paper.width()));
    S.PaperHeight = Saturate(std::round(Paper.height()));
    S.OffsetX = Saturate(std::round(Page.left() - Paper.left()));
    S.OffsetY = Saturate(std::round(Page.top() - Paper.top()));
    S.PageWidth = Saturate(std::round(Page.width()));
    S.PageHeight = Saturate(std::round(Page.height()));
    if (S.DpiX <= 0 || S.PaperWidth <= 0 || S.PaperHeight <= 0 || S.PageWidth <= 0 || S.PageHeight <= 0)
        return NoPrinterSpec();
    S.PrinterName = Pdf ? PdfPrinterName : Printer.printerName().toStdString();
    S.PaperName = Printer.pageLayout().pageSize().name().toStdString();
    return S;
}

TPrinterSpecReader SetPrinterSpecReader(TPrinterSpecReader NewReader)
{
    TPrinterSpecReader Old = std::move(Reader());
    Reader() = std::move(NewReader);
    return Old;
}

TUnitEditRange UnitEditRange(uint8_t Unit)
{
    switch (Unit) {
    case 0:
        return {1, 1, 1000, 1, 5};
    case 1:
        return {0.01, 0.01, 50, 0.1, 0.5};
    case 2:
        return {0.01, 0.01, 20, 0.1, 0.5};
    default:
        throw EUserError("TfrmSettingPage.ResetEditParam: Illegal FrecLogPict.FutUnit");
    }
}

QString FormatUnitValue(double Value)
{
    QString S = QString::number(double(RoundOff(Value * 100)) / 100, 'f', 2);
    while (S.endsWith('0'))
        S.chop(1);
    if (S.endsWith('.'))
        S.chop(1);
    return S == "-0" ? "0" : S;
}

TrecPrintPosition PrintPositionOnPaper(const TrecPrintPosition& Position, const TPrinterSpec& Printer)
{
    auto OnPaper = [](int32_t Stored, int32_t Offset, int32_t Paper) {
        const int64_t V = Stored;
        return V < -int64_t(Offset) || V > int64_t(Paper) - Offset ? 0 : Stored;
    };
    TrecPrintPosition R = Position;
    R.Left = OnPaper(Position.Left, Printer.OffsetX, Printer.PaperWidth);
    R.Top = OnPaper(Position.Top, Printer.OffsetY, Printer.PaperHeight);
    return R;
}

TPreviewScale PreviewScale(int32_t W, int32_t H, int32_t PaperWidth, int32_t PaperHeight)
{
    TPreviewScale R;
    if (PaperWidth <= 0 || PaperHeight <= 0)
        return R;
    const double SX = double(W - 20) / PaperWidth;
    const double SY = double(H - 20) / PaperHeight;
    R.Scale = std::max(0.0, std::min(SX, SY));
    R.Left = Saturate((W - PaperWidth * R.Scale) / 2);
    R.Top = Saturate((H - PaperHeight * R.Scale) / 2);
    return R;
}

void PreviewRectToPageSize(int32_t Width, int32_t Height, double Scale, int32_t DpiX, int32_t DpiY,
                           int32_t PageDPI, int32_t MaxWidth, int32_t MaxHeight, int32_t& PageWidth,
                           int32_t& PageHeight)
{
    auto Convert = [&](int32_t Extent, int32_t Dpi, int32_t Max) {
        const double V = Scale > 0 && Dpi > 0 ? double(Extent) / Scale * PageDPI / Dpi : 0;
        return std::clamp<int64_t>(RoundOff(V), 1, std::max(1, Max));
    };
    PageWidth = int32_t(Convert(Width, DpiX, MaxWidth));
    PageHeight = int32_t(Convert(Height, DpiY, MaxHeight));
}

// ---------------------------------------------------------------------------

TPagePreviewSelection::TPagePreviewSelection() : FAnchors(nullptr) {}

void TPagePreviewSelection::SetRect(const TRect& Rect)
{
    FRect = Rect;
    FAnchors.SetHandleRect(Rect);
}

uint8_t TPagePreviewSelection::HitTest(int32_t X, int32_t Y)
{
    const uint8_t Kind = FAnchors.HitTest(X, Y, 100);
    if (Kind >= akTop && Kind <= akBottomRight)
        return Kind;
    if (X >= FRect.Left && X < FRect.Right && Y >= FRect.Top && Y < FRect.Bottom)
        return akInside;
    return akNone;
}

void TPagePreviewSelection::Draw(QPainter& DC)
{
    DC.save();
    DC.setPen(Qt::black);
    DC.setBrush(Qt::white);
    for (int32_t I = 0; I < FAnchors.GetCount(); ++I) {
        const TPoint P = FAnchors.GetNodeAnchor(I)->Point();
        DC.drawRect(P.X - HandleHalf, P.Y - HandleHalf, 2 * HandleHalf, 2 * HandleHalf);
    }
    DC.restore();
}

// ---------------------------------------------------------------------------

int32_t TfrmSettingPage::UnitToPixel(double Value, uint8_t Unit, int32_t DPI)
{
    switch (Unit) {
    case 0:
        return Saturate(std::trunc(Value + 0.5));
    case 1:
        return Saturate(std::trunc(Value / 2.54 * DPI + 0.5));
    case 2:
        return Saturate(std::trunc(Value * DPI + 0.5));
    default:
        throw EUserError("UnitToPixel: Unit Type Illegal");
    }
}

double TfrmSettingPage::PixelToUnit(int64_t Pixels, uint8_t Unit, int32_t DPI)
{
    if (DPI <= 0)
        throw EUserError("TfrmSettingPage.PixelToUnit: (FiDPI <= 0)");
    switch (Unit) {
    case 0:
        return double(Pixels);
    case 1:
        return double(Pixels) * 2.54 / DPI;
    case 2:
        return double(Pixels) / DPI;
    default:
        throw EUserError("PixelToUnit: Unit Type Illegal");
    }
}

TfrmSettingPage::TfrmSettingPage(QWidget* Parent)
    : QDialog(Parent), FQPrinter(&CurrentPrinter())
{
    setWindowTitle("ページ設定");
    setProperty("HelpContext", SettingPageHelpContext);

    grpSize = new QGroupBox("画像のサイズと解像度", this);
    EdtWidthPixel = UnitEdit(grpSize);
    EdtHeightPixel = UnitEdit(grpSize);
    EdtWidthUnit = UnitEdit(grpSize);
    EdtHeightUnit = UnitEdit(grpSize);
    cmbUnitType = new QComboBox(grpSize);
    for (const char* Name : UnitNames)
        cmbUnitType->addItem(Name);
    EdtDPI = new QComboBox(grpSize);
    // The typed resolution is read as every number is: digits only, one past
    // the finest a page takes is that at once, and none or 0 is refused when
    // the box is left and the box shows the one in use again.
    FEdtDPIText = new TEditTrackBarWex(EdtDPI);
    FEdtDPIText->SetButtons(0);
    FEdtDPIText->LineSize = 0;
    FEdtDPIText->PageSize = 0;
    FEdtDPIText->SetMax(MaxPageDPI);
    FEdtDPIText->SetMin(MinPageDPI);
    FEdtDPIText->RefuseBelowMin = true;
    EdtDPI->setLineEdit(FEdtDPIText);
    // A number typed is the number typed: the list does not complete "30" to
    // "300", and Enter does not add to it.
    EdtDPI->setCompleter(nullptr);
    EdtDPI->setInsertPolicy(QComboBox::NoInsert);
    for (const char* D : {"72", "96", "180", "200", "250", "300", "360", "600"})
        EdtDPI->addItem(D);
    lblUnitW = new QLabel(grpSize);
    lblUnitH = new QLabel(grpSize);
    auto* SizeGrid = new QGridLayout(grpSize);
    SizeGrid->addWidget(new QLabel("幅:", grpSize), 0, 0);
    SizeGrid->addWidget(EdtWidthPixel, 0, 1);
    SizeGrid->addWidget(new QLabel("pixel", grpSize), 0, 2);
    SizeGrid->addWidget(EdtWidthUnit, 0, 3);
    SizeGrid->addWidget(lblUnitW, 0, 4);
    SizeGrid->addWidget(new QLabel("高さ:", grpSize), 1, 0);
    SizeGrid->addWidget(EdtHeightPixel, 1, 1);
    SizeGrid->addWidget(new QLabel("pixel", grpSize), 1, 2);
    SizeGrid->addWidget(EdtHeightUnit, 1, 3);
    SizeGrid->addWidget(lblUnitH, 1, 4);
    SizeGrid->addWidget(new QLabel("単位:", grpSize), 2, 0);
    SizeGrid->addWidget(cmbUnitType, 2, 1);
    SizeGrid->addWidget(new QLabel("解像度:", grpSize), 2, 2);
    SizeGrid->addWidget(EdtDPI, 2, 3);
    SizeGrid->addWidget(new QLabel("DPI", grpSize), 2, 4);
    pboxBackColor = new TPaintBoxWex(grpSize);
    pboxBackColor->setFixedSize(40, 20);
    pboxBackColor->setCursor(Qt::PointingHandCursor);
    SizeGrid->addWidget(new QLabel("背景色:", grpSize), 3, 0);
    SizeGrid->addWidget(pboxBackColor, 3, 1);

    grpPosition = new QGroupBox("印字位置", this);
    edtLeftMargin = UnitEdit(grpPosition);
    edtTopMargin = UnitEdit(grpPosition);
    lblRightMargin = new QLabel(grpPosition);
    lblBottomMargin = new QLabel(grpPosition);
    lblAvailable = new QLabel(grpPosition);
    lblPrinterName = new QLabel(grpPosition);
    lblPaperName = new QLabel(grpPosition);
    cboxHCenter = new QCheckBox("用紙中央(水平方向)", grpPosition);
    cboxVCenter = new QCheckBox("用紙中央(垂直方向)", grpPosition);
    btnSetPrinter = new QPushButton("プリンタの設定...", grpPosition);
    auto* PosGrid = new QGridLayout(grpPosition);
    PosGrid->addWidget(new QLabel("左余白:", grpPosition), 0, 0);
    PosGrid->addWidget(edtLeftMargin, 0, 1);
    PosGrid->addWidget(new QLabel("右余白:", grpPosition), 0, 2);
    PosGrid->addWidget(lblRightMargin, 0, 3);
    PosGrid->addWidget(new QLabel("上余白:", grpPosition), 1, 0);
    PosGrid->addWidget(edtTopMargin, 1, 1);
    PosGrid->addWidget(new QLabel("下余白:", grpPosition), 1, 2);
    PosGrid->addWidget(lblBottomMargin, 1, 3);
    PosGrid->addWidget(cboxHCenter, 2, 0, 1, 2);
    PosGrid->addWidget(cboxVCenter, 2, 2, 1, 2);
    PosGrid->addWidget(new QLabel("印字範囲：", grpPosition), 3, 0);
    PosGrid->addWidget(lblAvailable, 3, 1, 1, 3);
    PosGrid->addWidget(new QLabel("プリンタ：", grpPosition), 4, 0);
    PosGrid->addWidget(lblPrinterName, 4, 1, 1, 3);
    PosGrid->addWidget(new QLabel("用紙：", grpPosition), 5, 0);
    PosGrid->addWidget(lblPaperName, 5, 1, 1, 2);
    PosGrid->addWidget(btnSetPrinter, 5, 3);

    PaintBox = new TPaintBoxWex(this);
    PaintBox->setMinimumSize(300, 300);
    PaintBox->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    PaintBox->setMouseTracking(true);
    PaintBox->installEventFilter(this);

    btnDefault = new QPushButton("既定値に設定", this);
    btnOK = new QPushButton("OK", this);
    btnOK->setDefault(true);
    btnCancel = new QPushButton("キャンセル", this);
    auto* Buttons = new QHBoxLayout;
    Buttons->addWidget(btnDefault);
    Buttons->addStretch();
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);
    auto* Left = new QVBoxLayout;
    Left->addWidget(grpSize);
    Left->addWidget(grpPosition);
    Left->addStretch();
    auto* Top = new QHBoxLayout;
    Top->addLayout(Left);
    Top->addWidget(PaintBox, 1);
    auto* Layout = new QVBoxLayout(this);
    Layout->addLayout(Top, 1);
    Layout->addLayout(Buttons);

    RestorePos = new TRestorePos(this);
    RestorePos->SetIniFile(&AppIniFile());
    RestorePos->SetRegistryKey(Section);
    RestorePos->SetRegistryName("PosSettingPage");

    EdtWidthPixel->OnChange = [this](QObject*) { PixelChanged(true); };
    EdtHeightPixel->OnChange = [this](QObject*) { PixelChanged(false); };
    EdtWidthUnit->OnChange = [this](QObject*) { UnitChanged(true); };
    EdtHeightUnit->OnChange = [this](QObject*) { UnitChanged(false); };
    edtLeftMargin->OnChange = [this](QObject*) { MarginChanged(true); };
    edtTopMargin->OnChange = [this](QObject*) { MarginChanged(false); };
    FEdtDPIText->OnChange = [this](QObject*) { DPIChanged(); };
    connect(cmbUnitType, &QComboBox::currentIndexChanged, this, [this](int I) { UnitTypeChanged(I); });
    connect(cboxHCenter, &QCheckBox::toggled, this, [this] { CenterChanged(true); });
    connect(cboxVCenter, &QCheckBox::toggled, this, [this] { CenterChanged(false); });
    connect(btnSetPrinter, &QPushButton::clicked, this, [this] { btnSetPrinterClick(); });
    connect(btnDefault, &QPushButton::clicked, this, [this] { btnDefaultClick(); });
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    pboxBackColor->OnPaint = [this](TPaintBoxWex* Box, QPainter& DC) {
        DC.fillRect(Box->rect(), ColorOfRef(FrecLogPict.BkColor));
        DC.setPen(Qt::black);
        DC.drawRect(Box->rect().adjusted(0, 0, -1, -1));
    };
    pboxBackColor->installEventFilter(this);
    PaintBox->OnPaint = [this](TPaintBoxWex*, QPainter& DC) { PaintPreview(DC); };

    ReadPrinter();
    SetUp(FrecLogPict, FPrintPosition);
}

TfrmSettingPage::~TfrmSettingPage() = default;

void TfrmSettingPage::ReadPrinter()
{
    FPrinter = Reader() ? Reader()(*FQPrinter) : ReadPrinterSpec(*FQPrinter);
    if (!FPrinter.Valid) {
        WarningMessageBox(this, "プリンタが有効でありません。");
        FPrinter = NoPrinterSpec();
    }
    lblPrinterName->setText(QString::fromStdString(FPrinter.PrinterName));
    lblPaperName->setText(QString::fromStdString(FPrinter.PaperName));
}

QString TfrmSettingPage::UnitName() const
{
    return FrecLogPict.Unit < 3 ? UnitNames[FrecLogPict.Unit] : QString();
}

void TfrmSettingPage::SetUp(const TrecLogPict& Pict, const TrecPrintPosition& Position)
{
    ++FiUpdating;
    FrecLogPict = Pict;
    // Whatever the caller read: a unit or resolution out of its range would
    // leave no edit range to show, so it counts as missing here too.
    FrecLogPict.Unit = StoredPageUnit(Pict.Unit);
    FrecLogPict.DPI = StoredPageDPI(Pict.DPI);
    FrecLogPict.BkColor = StoredPageBkColor(Pict.BkColor);
    FPrintPosition = PrintPositionOnPaper(Position, FPrinter);
    FiSetUpWidth = Pict.Width;
    FiSetUpHeight = Pict.Height;
    FPreviewImage = PreviewImage(Pict.Picture, 512);
    try {
        cmbUnitType->setCurrentIndex(FrecLogPict.Unit);
        ResetEditParam();
        FEdtDPIText->SetPosition(FrecLogPict.DPI);
        EdtWidthPixel->SetPosition(Pict.Width);
        EdtHeightPixel->SetPosition(Pict.Height);
        FillUnitEdits();
        cboxHCenter->setChecked(Position.CenterH != 0);
        cboxVCenter->setChecked(Position.CenterV != 0);
        edtLeftMargin->setEnabled(Position.CenterH == 0);
        edtTopMargin->setEnabled(Position.CenterV == 0);
        // The position is shown as it is stored: only the user's changes
        // centre the page again.
        ComputePrintSize();
        FillMarginEdits();
    } catch (...) {
        --FiUpdating;
        throw;
    }
    --FiUpdating;
    UpdatePreview();
}

void TfrmSettingPage::ResetEditParam()
{
    const TUnitEditRange R = UnitEditRange(FrecLogPict.Unit);
    const uint8_t U = FrecLogPict.Unit;
    const int32_t DPI = std::max(1, FrecLogPict.DPI);
    // No side beyond what a page can be, however fine the resolution.
    const int32_t Designed = int32_t(std::min<int64_t>(UnitToPixel(R.Max, U, DPI), MaxPicturePixels));
    // A new resolution or unit keeps the page's pixels: the maxima take them.
    FiMaxWidth = std::max({Designed, FiSetUpWidth, FrecLogPict.Width});
    FiMaxHeight = std::max({Designed, FiSetUpHeight, FrecLogPict.Height});
    ++FiUpdating;
    SetRange(EdtWidthUnit, R.Precision, R.Min, std::max(R.Max, PixelToUnit(FiMaxWidth, U, DPI)), R.LineSize,
             R.PageSize);
    SetRange(EdtHeightUnit, R.Precision, R.Min, std::max(R.Max, PixelToUnit(FiMaxHeight, U, DPI)), R.LineSize,
             R.PageSize);
    SetRange(EdtWidthPixel, 1, 1, FiMaxWidth, 1, 5);
    SetRange(EdtHeightPixel, 1, 1, FiMaxHeight, 1, 5);
    LimitSizeEdits();
    SetRange(edtLeftMargin, R.Precision, 0,
             std::max(R.Max, PixelToUnit(FPrintPosition.Left, U, std::max(1, FPrinter.DpiX))), R.LineSize,
             R.PageSize);
    SetRange(edtTopMargin, R.Precision, 0,
             std::max(R.Max, PixelToUnit(FPrintPosition.Top, U, std::max(1, FPrinter.DpiY))), R.LineSize,
             R.PageSize);
    lblUnitW->setText(UnitName());
    lblUnitH->setText(UnitName());
    --FiUpdating;
}

int32_t TfrmSettingPage::HeightByArea(int32_t Width) const
{
    // The height a page of this width can have, within the height edit's.
    const int64_t ByArea = MaxPicturePixels / std::max(1, Width);
    return int32_t(std::max<int64_t>(1, std::min<int64_t>(FiMaxHeight, ByArea)));
}

void TfrmSettingPage::LimitSizeEdits()
{
    // Each side alone, as the spin edits show it: a size whose area a page
    // cannot have is still shown as typed, in both edits, and OK refuses it.
    // The unit edit stops where its pixels would pass the pixel edit's.
    const uint8_t U = FrecLogPict.Unit;
    const int32_t DPI = std::max(1, FrecLogPict.DPI);
    auto Limit = [&](TEditTrackBarWex* Pixel, TEditTrackBarWex* Unit, int32_t Max) {
        double UnitMax = std::max(UnitEditRange(U).Max, PixelToUnit(Max, U, DPI));
        if (UnitToPixel(UnitMax, U, DPI) > Max)
            UnitMax = PixelToUnit(Max, U, DPI);
        Pixel->SetMax(Max);
        Pixel->SetTrackBarMax(Max);
        Unit->SetMax(UnitMax);
        Unit->SetTrackBarMax(UnitMax);
    };
    ++FiUpdating;
    Limit(EdtWidthPixel, EdtWidthUnit, FiMaxWidth);
    Limit(EdtHeightPixel, EdtHeightUnit, FiMaxHeight);
    --FiUpdating;
}

void TfrmSettingPage::accept()
{
    // The edits keep the page within what a page can be; a size from
    // elsewhere that is not is refused here, before the page would refuse
    // it and every edit be lost.
    if (!PageSizeAllowed(FrecLogPict.Width, FrecLogPict.Height)) {
        WarningMessageBox(this, "画像が大きすぎます(" + std::to_string(FrecLogPict.Width) + " x " +
                                    std::to_string(FrecLogPict.Height) + " ピクセル)。幅と高さの積が " +
                                    std::to_string(MaxPicturePixels) + " ピクセル以下になるようにしてください。");
        return;
    }
    QDialog::accept();
}

void TfrmSettingPage::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_F1) {
        ShowKeyHelp(this);
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TfrmSettingPage::FillUnitEdits()
{
    ++FiUpdating;
    const int32_t DPI = std::max(1, FrecLogPict.DPI);
    EdtWidthUnit->SetPosition(PixelToUnit(FrecLogPict.Width, FrecLogPict.Unit, DPI));
    EdtHeightUnit->SetPosition(PixelToUnit(FrecLogPict.Height, FrecLogPict.Unit, DPI));
    EdtWidthUnit->setText(FormatUnitValue(EdtWidthUnit->Position()));
    EdtHeightUnit->setText(FormatUnitValue(EdtHeightUnit->Position()));
    --FiUpdating;
}

void TfrmSettingPage::FillMarginEdits()
{
    ++FiUpdating;
    // A margin below 0 (a page centred on a narrower printable area, or
    // one stored so) is shown as it is: the edit goes down to it.
    auto Fill = [](TEditTrackBarWex* E, double Value) {
        const double Min = std::min(0.0, Value);
        if (E->Min() != Min)
            E->SetMin(Min);
        E->SetPosition(Value);
        E->setText(FormatUnitValue(E->Position()));
    };
    Fill(edtLeftMargin, PixelToUnit(ShownLeft(), FrecLogPict.Unit, FPrinter.DpiX));
    Fill(edtTopMargin, PixelToUnit(ShownTop(), FrecLogPict.Unit, FPrinter.DpiY));
    --FiUpdating;
    ShowMarginLabels();
}

void TfrmSettingPage::ShowMarginLabels()
{
    const uint8_t U = FrecLogPict.Unit;
    const TPrinterSpec& P = FPrinter;
    // In 64 bits: a page as large as a page can be ends far beyond the paper.
    lblRightMargin->setText(
        FormatUnitValue(PixelToUnit(int64_t(P.PageWidth) - ShownLeft() - FiPrintWidth, U, P.DpiX)) + " " +
        UnitName());
    lblBottomMargin->setText(
        FormatUnitValue(PixelToUnit(int64_t(P.PageHeight) - ShownTop() - FiPrintHeight, U, P.DpiY)) + " " +
        UnitName());
    lblAvailable->setText("(" + FormatUnitValue(PixelToUnit(P.OffsetX, U, P.DpiX)) + ", " +
                          FormatUnitValue(PixelToUnit(P.OffsetY, U, P.DpiY)) + ")-(" +
                          FormatUnitValue(PixelToUnit(int64_t(P.OffsetX) + P.PageWidth, U, P.DpiX)) + ", " +
                          FormatUnitValue(PixelToUnit(int64_t(P.OffsetY) + P.PageHeight, U, P.DpiY)) + ")" +
                          UnitName());
}

void TfrmSettingPage::ComputePrintSize()
{
    const int32_t DPI = std::max(1, FrecLogPict.DPI);
    FiPrintWidth = Saturate(double(RoundOff(double(FrecLogPict.Width) * FPrinter.DpiX / DPI)));
    FiPrintHeight = Saturate(double(RoundOff(double(FrecLogPict.Height) * FPrinter.DpiY / DPI)));
}

int32_t TfrmSettingPage::ShownLeft() const
{
    return FPrintPosition.CenterH ? int32_t((int64_t(FPrinter.PageWidth) - FiPrintWidth) / 2) : FPrintPosition.Left;
}

int32_t TfrmSettingPage::ShownTop() const
{
    return FPrintPosition.CenterV ? int32_t((int64_t(FPrinter.PageHeight) - FiPrintHeight) / 2) : FPrintPosition.Top;
}

void TfrmSettingPage::ApplyCentring(bool Horizontal, bool Vertical)
{
    // A direction not centred shows its stored position: it stays.
    if (Horizontal)
        FPrintPosition.Left = ShownLeft();
    if (Vertical)
        FPrintPosition.Top = ShownTop();
}

int32_t TfrmSettingPage::PrintableLeftX() const
{
    return FPreview.Left + Saturate(std::round(FPrinter.OffsetX * FPreview.Scale));
}

int32_t TfrmSettingPage::PrintableTopY() const
{
    return FPreview.Top + Saturate(std::round(FPrinter.OffsetY * FPreview.Scale));
}

TRect TfrmSettingPage::PageRectInPreview() const
{
    const double S = FPreview.Scale;
    const int32_t X = FPreview.Left + Saturate(std::round((double(FPrinter.OffsetX) + ShownLeft()) * S));
    const int32_t Y = FPreview.Top + Saturate(std::round((double(FPrinter.OffsetY) + ShownTop()) * S));
    return {X, Y, X + Saturate(std::round(FiPrintWidth * S)), Y + Saturate(std::round(FiPrintHeight * S))};
}

void TfrmSettingPage::UpdatePreview()
{
    FPreview = PreviewScale(PaintBox->width(), PaintBox->height(), FPrinter.PaperWidth, FPrinter.PaperHeight);
    if (!FbResized)
        FSelection.SetRect(PageRectInPreview());
    PaintBox->update();
}

void TfrmSettingPage::SetPixelSize(int32_t Width, int32_t Height)
{
    FrecLogPict.Width = std::clamp(Width, 1, FiMaxWidth);
    FrecLogPict.Height = std::clamp(Height, 1, FiMaxHeight);
    ++FiUpdating;
    EdtWidthPixel->SetPosition(FrecLogPict.Width);
    EdtHeightPixel->SetPosition(FrecLogPict.Height);
    --FiUpdating;
}

void TfrmSettingPage::PixelChanged(bool Width)
{
    if (FiUpdating)
        return;
    TEditTrackBarWex* E = Width ? EdtWidthPixel : EdtHeightPixel;
    ++FiUpdating;
    (Width ? FrecLogPict.Width : FrecLogPict.Height) = std::max(1, Saturate(E->Position()));
    --FiUpdating;
    FillUnitEdits();
    ComputePrintSize();
    ApplyCentring();
    FillMarginEdits();
    UpdatePreview();
}

void TfrmSettingPage::UnitChanged(bool Width)
{
    if (FiUpdating)
        return;
    // The edit keeps its value for a text that is no number and holds a
    // number in its range; the pixels are held to the pixel edit's range
    // too, since a small length rounds to no pixel at all.
    TEditTrackBarWex* E = Width ? EdtWidthUnit : EdtHeightUnit;
    const int32_t DPI = std::max(1, FrecLogPict.DPI);
    const double Current = PixelToUnit(Width ? FrecLogPict.Width : FrecLogPict.Height, FrecLogPict.Unit, DPI);
    if (std::fabs(E->Position() - Current) <= ValueTolerance)
        return;
    const int32_t Pixels = UnitToPixel(E->Position(), FrecLogPict.Unit, DPI);
    if (Width)
        SetPixelSize(Pixels, FrecLogPict.Height);
    else
        SetPixelSize(FrecLogPict.Width, Pixels);
    ComputePrintSize();
    ApplyCentring();
    FillMarginEdits();
    UpdatePreview();
}

void TfrmSettingPage::MarginChanged(bool Left)
{
    if (FiUpdating)
        return;
    TEditTrackBarWex* E = Left ? edtLeftMargin : edtTopMargin;
    const int32_t Dpi = Left ? FPrinter.DpiX : FPrinter.DpiY;
    int32_t& Field = Left ? FPrintPosition.Left : FPrintPosition.Top;
    if (std::fabs(E->Position() - PixelToUnit(Field, FrecLogPict.Unit, Dpi)) <= ValueTolerance)
        return;
    Field = UnitToPixel(E->Position(), FrecLogPict.Unit, Dpi);
    ShowMarginLabels();
    UpdatePreview();
}

void TfrmSettingPage::DPIChanged()
{
    if (FiUpdating)
        return;
    // The edit holds the resolution to the page's range.
    const int32_t Value = int32_t(RoundOff(FEdtDPIText->Position()));
    if (Value == FrecLogPict.DPI)
        return;
    FrecLogPict.DPI = Value;
    ResetEditParam();
    FillUnitEdits();
    ComputePrintSize();
    ApplyCentring();
    FillMarginEdits();
    UpdatePreview();
}

void TfrmSettingPage::UnitTypeChanged(int Index)
{
    if (FiUpdating || Index < 0)
        return;
    FrecLogPict.Unit = uint8_t(Index);
    ResetEditParam();
    FillUnitEdits();
    FillMarginEdits();
}

void TfrmSettingPage::CenterChanged(bool Horizontal)
{
    if (FiUpdating)
        return;
    const bool On = (Horizontal ? cboxHCenter : cboxVCenter)->isChecked();
    (Horizontal ? FPrintPosition.CenterH : FPrintPosition.CenterV) = On ? 1 : 0;
    (Horizontal ? edtLeftMargin : edtTopMargin)->setEnabled(!On);
    // The box checked centres its own direction only.
    ApplyCentring(Horizontal, !Horizontal);
    FillMarginEdits();
    UpdatePreview();
}

void TfrmSettingPage::pboxBackColorClick()
{
    TColorDialogWex Dialog(this);
    Dialog.Color = FrecLogPict.BkColor;
    Dialog.Run = RunColorDialog;
    if (!Dialog.Execute() || !PageBkColorInRange(Dialog.Color))
        return;
    FrecLogPict.BkColor = Dialog.Color;
    pboxBackColor->update();
    PaintBox->update();
}

void TfrmSettingPage::btnSetPrinterClick()
{
    // The printer's own set-up (printer and paper), on the session's printer.
    const bool Ok = RunPrinterSetup ? RunPrinterSetup(*FQPrinter) : ExecutePrinterSetup(*FQPrinter, this);
    if (!Ok)
        return;
    ReadPrinter();
    ComputePrintSize();
    ApplyCentring();
    ResetEditParam();
    FillMarginEdits();
    UpdatePreview();
}

void TfrmSettingPage::btnDefaultClick()
{
    TMemIniFile& Ini = AppIniFile();
    Ini.WriteInteger(Section, "PgDWidth", FrecLogPict.Width);
    Ini.WriteInteger(Section, "PgDHeight", FrecLogPict.Height);
    Ini.WriteInteger(Section, "PgDDPI", FrecLogPict.DPI);
    Ini.WriteInteger(Section, "PgDLeft", FPrintPosition.Left);
    Ini.WriteInteger(Section, "PgDTop", FPrintPosition.Top);
    Ini.WriteBool(Section, "PgDHCtr", FPrintPosition.CenterH != 0);
    Ini.WriteBool(Section, "PgDVCtr", FPrintPosition.CenterV != 0);
    Ini.WriteInteger(Section, "PgDBkCol", FrecLogPict.BkColor);
    Ini.WriteInteger(Section, "PgDUnit", FrecLogPict.Unit);
}

// ---------------------------------------------------------------------------
// Preview

void TfrmSettingPage::PaintPreview(QPainter& DC)
{
    DC.fillRect(PaintBox->rect(), palette().window());
    const double S = FPreview.Scale;
    const QRect Paper(FPreview.Left, FPreview.Top, Saturate(std::round(FPrinter.PaperWidth * S)),
                      Saturate(std::round(FPrinter.PaperHeight * S)));
    DC.fillRect(Paper, Qt::white);
    DC.setPen(QColor(0x80, 0x80, 0x80));
    DC.setBrush(Qt::NoBrush);
    DC.drawRect(Paper.adjusted(0, 0, -1, -1));

    const TRect R = FbResized ? FDragRect : PageRectInPreview();
    const QRect Page = QRect(QPoint(std::min(R.Left, R.Right), std::min(R.Top, R.Bottom)),
                             QPoint(std::max(R.Left, R.Right) - 1, std::max(R.Top, R.Bottom) - 1));
    DC.save();
    DC.setClipRect(Paper);
    if (!FPreviewImage.isNull() && !FbResized) {
        DC.setRenderHint(QPainter::SmoothPixmapTransform);
        DC.drawImage(Page, FPreviewImage);
    } else {
        DC.fillRect(Page, ColorOfRef(FrecLogPict.BkColor));
    }
    if (FbResized) {
        DC.setPen(QPen(Qt::black, 1, Qt::DashLine));
        DC.drawRect(Page);
    }
    DC.restore();

    QPen Focus(Qt::black, 1, Qt::DotLine);
    DC.setPen(Focus);
    DC.drawRect(FPreview.Left + Saturate(std::round(FPrinter.OffsetX * S)),
                FPreview.Top + Saturate(std::round(FPrinter.OffsetY * S)),
                Saturate(std::round(FPrinter.PageWidth * S)) - 1, Saturate(std::round(FPrinter.PageHeight * S)) - 1);
    if (!FbResized)
        FSelection.Draw(DC);
}

bool TfrmSettingPage::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == pboxBackColor && Event->type() == QEvent::MouseButtonRelease) {
        if (static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton &&
            pboxBackColor->rect().contains(static_cast<QMouseEvent*>(Event)->position().toPoint()))
            pboxBackColorClick();
        return true;
    }
    if (Watched == PaintBox) {
        switch (Event->type()) {
        case QEvent::Resize:
            UpdatePreview();
            break;
        case QEvent::MouseButtonPress:
            if (static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton)
                PaintBoxMouseDown(static_cast<QMouseEvent*>(Event)->position().toPoint());
            return true;
        case QEvent::MouseMove:
            PaintBoxMouseMove(static_cast<QMouseEvent*>(Event)->position().toPoint());
            return true;
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton)
                PaintBoxMouseUp(static_cast<QMouseEvent*>(Event)->position().toPoint());
            return true;
        default:
            break;
        }
    }
    return QDialog::eventFilter(Watched, Event);
}

void TfrmSettingPage::PaintBoxMouseDown(QPoint P)
{
    FbHit = FSelection.HitTest(P.x(), P.y());
    FbMoving = false;
    FbResized = false;
    FPressPoint = FLastPoint = P;
    FDragRect = FSelection.Rect();
    switch (FbHit) {
    case akNone:
        return;
    case akInside:
        PaintBox->setCursor(Qt::SizeAllCursor);
        return;
    case akTop:
    case akBottom:
        PaintBox->setCursor(Qt::SizeVerCursor);
        return;
    case akLeft:
    case akRight:
        PaintBox->setCursor(Qt::SizeHorCursor);
        return;
    case akTopLeft:
    case akBottomRight:
        PaintBox->setCursor(Qt::SizeFDiagCursor);
        return;
    case akTopRight:
    case akBottomLeft:
        PaintBox->setCursor(Qt::SizeBDiagCursor);
        return;
    default:
        FbHit = akNone;
        throw EUserError("PaintBoxMouseDown: Invalid atTmp");
    }
}

void TfrmSettingPage::PaintBoxMouseMove(QPoint P)
{
    if (FbHit == akNone)
        return;
    const QPoint D = P - FPressPoint;
    if (!FbMoving && !FbResized && D.x() * D.x() + D.y() * D.y() <= 9)
        return;
    if (!FbMoving && !FbResized) {
        // Placing the page by hand ends the centring.
        cboxHCenter->setChecked(false);
        cboxVCenter->setChecked(false);
        FbMoving = FbHit == akInside;
        FbResized = !FbMoving;
    }
    const double S = FPreview.Scale;
    if (FbMoving) {
        // The page goes where the mouse takes it, but stops at the
        // printable area's left and top (the margins' 0) and at the paper's
        // right and bottom: a page pushed off the paper would print cut.
        FLastPoint = P;
        if (S > 0) {
            const auto Held = [](double V, int32_t Max) { return std::max(0.0, std::min(V, double(Max))); };
            FPrintPosition.Left = Saturate(double(RoundOff(
                Held((FDragRect.Left + D.x() - FPreview.Left) / S - FPrinter.OffsetX,
                     FPrinter.PaperWidth - FPrinter.OffsetX - FiPrintWidth))));
            FPrintPosition.Top = Saturate(double(RoundOff(
                Held((FDragRect.Top + D.y() - FPreview.Top) / S - FPrinter.OffsetY,
                     FPrinter.PaperHeight - FPrinter.OffsetY - FiPrintHeight))));
        }
        FSelection.SetRect(PageRectInPreview());
        FillMarginEdits();
        PaintBox->update();
        return;
    }
    // A handle stays between the printable area's top-left and the paper's
    // bottom-right, for the same reason.
    const int32_t MinX = PrintableLeftX();
    const int32_t MinY = PrintableTopY();
    const int32_t MaxX = FPreview.Left + Saturate(std::floor(FPrinter.PaperWidth * S));
    const int32_t MaxY = FPreview.Top + Saturate(std::floor(FPrinter.PaperHeight * S));
    P = QPoint(std::clamp(P.x(), MinX, std::max(MinX, MaxX)), std::clamp(P.y(), MinY, std::max(MinY, MaxY)));
    TRect& R = FDragRect;
    if (FbHit == akLeft || FbHit == akTopLeft || FbHit == akBottomLeft)
        R.Left = P.x();
    if (FbHit == akRight || FbHit == akTopRight || FbHit == akBottomRight)
        R.Right = P.x();
    if (FbHit == akTop || FbHit == akTopLeft || FbHit == akTopRight)
        R.Top = P.y();
    if (FbHit == akBottom || FbHit == akBottomLeft || FbHit == akBottomRight)
        R.Bottom = P.y();
    PaintBox->update();
}

void TfrmSettingPage::PaintBoxMouseUp(QPoint)
{
    PaintBox->unsetCursor();
    const bool Resized = FbResized;
    FbHit = akNone;
    FbMoving = false;
    FbResized = false;
    if (!Resized)
        return;
    const TRect R{std::min(FDragRect.Left, FDragRect.Right), std::min(FDragRect.Top, FDragRect.Bottom),
                  std::max(FDragRect.Left, FDragRect.Right), std::max(FDragRect.Top, FDragRect.Bottom)};
    const double S = FPreview.Scale;
    if (S > 0) {
        // An edge held at the printable area's is a margin of 0.
        FPrintPosition.Left = R.Left <= PrintableLeftX()
                                  ? 0
                                  : std::max(0, Saturate(double(RoundOff((R.Left - FPreview.Left) / S))) -
                                                    FPrinter.OffsetX);
        FPrintPosition.Top =
            R.Top <= PrintableTopY()
                ? 0
                : std::max(0, Saturate(double(RoundOff((R.Top - FPreview.Top) / S))) - FPrinter.OffsetY);
    }
    int32_t W = 0, H = 0;
    PreviewRectToPageSize(R.Right - R.Left, R.Bottom - R.Top, S, FPrinter.DpiX, FPrinter.DpiY,
                          std::max(1, FrecLogPict.DPI), FiMaxWidth, FiMaxHeight, W, H);
    // Within the area a page can have: the width first, the height by it.
    W = std::clamp(W, 1, FiMaxWidth);
    SetPixelSize(W, std::min(H, HeightByArea(W)));
    FillUnitEdits();
    ComputePrintSize();
    FillMarginEdits();
    UpdatePreview();
}
