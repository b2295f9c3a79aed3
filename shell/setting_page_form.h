// The page setup dialog: a page's size, resolution, display unit and
// background colour, and where it prints on the current printer's paper, with
// a preview in which the page is moved and resized on the paper. It also
// stores its values as the defaults of new pages (the "PgD" keys).
//
// The geometry is in pure functions (unit conversions, edit ranges, preview
// scale, resize) that tests call directly; the printer is read through an
// exchangeable reader so that the dialog can be tested with and without one.
#pragma once

#include "model/anchors.h"
#include "model/page.h"

#include <QDialog>
#include <QImage>
#include <QPoint>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QPainter;
class QPrinter;
class QPushButton;
class TEditTrackBarWex;
class TfrmSelColor;
class TPaintBoxWex;
class TRestorePos;
struct TrecPicture;

// What the dialog edits of a page. The picture only feeds the preview.
struct TrecLogPict {
    int32_t Width = 400;
    int32_t Height = 300;
    int32_t DPI = 72;
    uint8_t Unit = 1; // 0 pixel, 1 centimetre, 2 inch
    int32_t BkColor = 0xFFFFFF;
    const TrecPicture* Picture = nullptr; // not owned
};

// The printer as the dialog sees it, in printer pixels.
struct TPrinterSpec {
    bool Valid = false;
    int32_t DpiX = 72;
    int32_t DpiY = 72;
    int32_t OffsetX = 0; // the printable area's top-left on the paper
    int32_t OffsetY = 0;
    int32_t PaperWidth = 1000;
    int32_t PaperHeight = 1000;
    int32_t PageWidth = 1000; // the printable area
    int32_t PageHeight = 1000;
    std::string PrinterName;
    std::string PaperName;
};

// What the dialog assumes without a usable printer: 72 by 72 DPI, a
// 1000 by 1000 paper printable to its edges.
TPrinterSpec NoPrinterSpec();
// The name the PDF printer goes by.
inline constexpr char PdfPrinterName[] = "PDF ファイル";
// The printer's data through Qt Print Support, the PDF printer's too; not
// Valid when Printer cannot print (a system printer without a name, no
// resolution or no paper).
TPrinterSpec ReadPrinterSpec(QPrinter& Printer);
// How the dialog reads its printer; tests install their own (nil: the real
// one). Returns the reader in place before.
using TPrinterSpecReader = std::function<TPrinterSpec(QPrinter& Printer)>;
TPrinterSpecReader SetPrinterSpecReader(TPrinterSpecReader Reader);

// A stored print position as it stands on Printer's paper: a left or top
// beyond the paper (the page would start off it; a settings file or
// document can hold any number) counts as missing, 0, the printable area's
// edge. The centring flags are kept.
TrecPrintPosition PrintPositionOnPaper(const TrecPrintPosition& Position, const TPrinterSpec& Printer);

// The edits' steps and limits in a display unit. EUserError
// "TfrmSettingPage.ResetEditParam: Illegal FrecLogPict.FutUnit" for others.
struct TUnitEditRange {
    double Precision;
    double Min;
    double Max;
    double LineSize;
    double PageSize;
};
TUnitEditRange UnitEditRange(uint8_t Unit);

// A unit value as the dialog shows it: at most two decimals, no trailing
// zeros ("14.11", "20", "0.5").
QString FormatUnitValue(double Value);

// The preview's paper: scale and top-left for a paper in a W x H box.
struct TPreviewScale {
    double Scale = 0;
    int32_t Left = 0;
    int32_t Top = 0;
};
TPreviewScale PreviewScale(int32_t W, int32_t H, int32_t PaperWidth, int32_t PaperHeight);

// The page size in page pixels of a Width x Height preview rectangle at
// Scale: the width by the horizontal and the height by the vertical printer
// resolution, each over the page's DPI, then held in Min .. MaxWidth and
// Min .. MaxHeight, so that no drag makes the page empty or larger than the
// edits allow.
void PreviewRectToPageSize(int32_t Width, int32_t Height, double Scale, int32_t DpiX, int32_t DpiY,
                           int32_t PageDPI, int32_t MaxWidth, int32_t MaxHeight, int32_t& PageWidth,
                           int32_t& PageHeight);

// The page rectangle's handles in the preview: hit code 2 to 9 for a
// handle, 1 inside the rectangle, 0 elsewhere.
class TPagePreviewSelection {
public:
    TPagePreviewSelection();
    const TRect& Rect() const { return FRect; }
    void SetRect(const TRect& Rect);
    uint8_t HitTest(int32_t X, int32_t Y);
    void Draw(QPainter& DC);

private:
    TAnchors FAnchors;
    TRect FRect{-1, -1, -2, -2};
};

// The dialog's help topic: its command's.
inline constexpr int32_t SettingPageHelpContext = 2000108;

class TfrmSettingPage : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSettingPage(QWidget* Parent = nullptr);
    ~TfrmSettingPage() override;

    static int32_t UnitToPixel(double Value, uint8_t Unit, int32_t DPI);
    static double PixelToUnit(int64_t Pixels, uint8_t Unit, int32_t DPI);

    // Copies the values in and fills the controls. The size maxima are at
    // least this page's own size: opened pictures may be larger than a page
    // made here.
    void SetUp(const TrecLogPict& Pict, const TrecPrintPosition& Position);
    // The edited values, read back after OK.
    const TrecLogPict& LogPict() const { return FrecLogPict; }
    const TrecPrintPosition& PrintPosition() const { return FPrintPosition; }
    const TPrinterSpec& Printer() const { return FPrinter; }
    // The page's size on the printer, in printer pixels.
    int32_t PrintWidth() const { return FiPrintWidth; }
    int32_t PrintHeight() const { return FiPrintHeight; }
    // The largest page the pixel edits take.
    int32_t MaxPixelWidth() const { return FiMaxWidth; }
    int32_t MaxPixelHeight() const { return FiMaxHeight; }
    const TPreviewScale& Preview() const { return FPreview; }
    const TPagePreviewSelection& PreviewSelection() const { return FSelection; }

    // Tests stand in for the modal colour picker and printer set-up.
    std::function<int(TfrmSelColor* Form)> RunColorDialog;
    std::function<bool(QPrinter& Printer)> RunPrinterSetup;

    // OK: refused, with a message, for a page larger than a page can be.
    void accept() override;

    void pboxBackColorClick();
    void btnSetPrinterClick();
    void btnDefaultClick();

    QGroupBox* grpSize;
    TEditTrackBarWex* EdtWidthPixel;
    TEditTrackBarWex* EdtHeightPixel;
    TEditTrackBarWex* EdtWidthUnit;
    TEditTrackBarWex* EdtHeightUnit;
    QComboBox* cmbUnitType;
    // The resolution: a list of the usual ones over a number edit, which
    // takes the typed text by the number edits' rule.
    QComboBox* EdtDPI;
    QLabel* lblUnitH;
    QLabel* lblUnitW;
    QGroupBox* grpPosition;
    TEditTrackBarWex* edtLeftMargin;
    TEditTrackBarWex* edtTopMargin;
    QLabel* lblRightMargin;
    QLabel* lblBottomMargin;
    QLabel* lblAvailable;
    QLabel* lblPrinterName;
    QLabel* lblPaperName;
    QCheckBox* cboxHCenter;
    QCheckBox* cboxVCenter;
    TPaintBoxWex* pboxBackColor;
    QPushButton* btnSetPrinter;
    QPushButton* btnDefault;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    TPaintBoxWex* PaintBox;
    TRestorePos* RestorePos;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    // F1: the help of the control under the mouse or with the keys.
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void ReadPrinter();
    void ResetEditParam();
    int32_t HeightByArea(int32_t Width) const;
    void LimitSizeEdits();
    void FillUnitEdits();
    void FillMarginEdits();
    void ShowMarginLabels();
    void ComputePrintSize();
    void ApplyCentring(bool Horizontal = true, bool Vertical = true);
    // Where the page stands on the printable area: centred by a flag as
    // printing centres it, else at the stored position.
    int32_t ShownLeft() const;
    int32_t ShownTop() const;
    void UpdatePreview();
    // Each side held to its edit's range; the pixel edits show them.
    void SetPixelSize(int32_t Width, int32_t Height);
    void PixelChanged(bool Width);
    void UnitChanged(bool Width);
    void MarginChanged(bool Left);
    void DPIChanged();
    void UnitTypeChanged(int Index);
    void CenterChanged(bool Horizontal);
    void PaintPreview(QPainter& DC);
    void PaintBoxMouseDown(QPoint P);
    void PaintBoxMouseMove(QPoint P);
    void PaintBoxMouseUp(QPoint P);
    TRect PageRectInPreview() const;
    // The printable area's left and top in the preview.
    int32_t PrintableLeftX() const;
    int32_t PrintableTopY() const;
    QString UnitName() const;

    TEditTrackBarWex* FEdtDPIText; // the resolution box's text
    TrecLogPict FrecLogPict;
    TrecPrintPosition FPrintPosition;
    TPrinterSpec FPrinter;
    QPrinter* FQPrinter; // the session's current printer
    int32_t FiPrintWidth = 0;
    int32_t FiPrintHeight = 0;
    int32_t FiMaxWidth = 1000;
    int32_t FiMaxHeight = 1000;
    int32_t FiSetUpWidth = 0;  // the page's own size at set-up
    int32_t FiSetUpHeight = 0;
    int32_t FiUpdating = 0;
    TPreviewScale FPreview;
    QImage FPreviewImage;
    TPagePreviewSelection FSelection;
    uint8_t FbHit = 0;        // what the press hit
    bool FbMoving = false;    // a move has started
    bool FbResized = false;   // a handle was dragged
    QPoint FPressPoint;
    QPoint FLastPoint;
    TRect FDragRect{};
};
