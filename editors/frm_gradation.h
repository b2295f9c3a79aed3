// The fill editor TfrmGradation ("塗り方法設定"): one fill value of a paint
// macro as no fill, a solid colour, a gradation (stop bars, preview with the
// two geometry points, shape and adjustment controls) or a picture. The
// caller hands it a fill code, may receive live tests of the code while it is
// open, and reads the code back after OK.
//
// Fill codes: "5" none, "1" + colour in upper-case hexadecimal without
// leading zeros, "2" + rotate digit + gradation text, "4" + rotate digit +
// picture-fill text; "" no kind chosen yet.
#pragma once

#include "editors/anchor_grad.h"
#include "paint/fill_value.h"
#include "paint/gradation_object.h"
#include "platform/global_memory.h"
#include "ui/edit_track_bar_wex.h"

#include <QDialog>
#include <QImage>
#include <QPainterPath>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QWidget;
class TGradStopBars;
class TOpenPreviewDialogQ;
class TMemIniFile;
class TListRecPict;
class TStyle;
class TfrmGradation;

// The kind and the rest of a fill code: the kind digit's value (0 for an
// empty code) and, for gradations and pictures, the rotate flag (set by an
// empty rest or a rest starting with "1") and the rest without its digit.
struct TFillCodeParts {
    int Kind = 0;
    bool Rotate = false;
    std::string Rest;
};
TFillCodeParts SplitFillCode(const std::string& Code);
// Gradation := the gradation text Text when it reads whole: four option
// digits, the shape, repetition and interpolation within the editor's lists
// and every number read (Gradation unchanged and False otherwise).
bool ReadGradationText(const std::string& Text, TGradationObject& Gradation);
// The opacity byte of an opacity percentage: (percent x 255 + 50) div 100.
int GradOpacityOfPercent(int Percent);

// The preview of the gradation over the object's outline, with the two
// geometry points as anchors that can be dragged.
class TGradPreview : public QWidget {
    Q_OBJECT
public:
    TGradPreview(TfrmGradation& Form, QWidget* Parent);
    QPoint PointAt(int Which) const; // 1 or 2, widget coordinates
    uint8_t DragMode() const { return FMode; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    TfrmGradation& FForm;
    uint8_t FMode = 0;
};

// The fill picture at its own size, centred on grey when it is smaller than
// the view; dragging with the left button pans the scroll box around it.
class TPictView : public QWidget {
    Q_OBJECT
public:
    TPictView(QScrollArea& Box, QWidget* Parent);
    void SetImage(const QImage& Image);
    const QImage& Image() const { return FImage; }
    bool Panning() const { return FPanning; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    QScrollArea& FBox;
    QImage FImage;
    bool FPanning = false;
    QPoint FDown, FScrollAtDown;
};

class TfrmGradation : public QDialog {
    Q_OBJECT
public:
    static constexpr int PreviewWidth = 240;
    static constexpr int PreviewHeight = 160;

    TfrmGradation(QWidget* Owner, TMemIniFile* Settings, std::string Section, std::string FlagsName,
                  std::string PosName, std::string PictDirName, bool PictOnly = false, bool PictNoGeometry = false);
    ~TfrmGradation() override;
    // Places the editor by its stored place when it is first shown.
    void setVisible(bool Visible) override;

    // Takes the code and the object's outline (empty: a five-pointed star in
    // a 400 x 200 box stands in for it) before the editor is shown.
    // Pictures loaded here go into Store (the document's picture store).
    void SetUp(const std::string& Code, const QPainterPath& Outline = QPainterPath(),
               TListRecPict* Store = nullptr);
    // A picture file as the fill picture: stored under a new handle with its
    // size; false (and "画像の読み込みに失敗しました。") when it cannot be read.
    bool LoadPictureFile(const std::string& FileName);
    // A packed DIB (the clipboard's or the scanner's) as the fill picture, the
    // same way; false when the block holds no picture. The block stays the
    // caller's.
    bool TakePackedDib(HGLOBAL Dib, const std::string& Name);
    // Handles of the pictures stored while the editor was open.
    const std::vector<int32_t>& AddedPictures() const { return FAdded; }
    // The object's size for btnFitSize (the stand-in star's 400 x 200 box
    // without an outline).
    QSize ObjectSize() const { return FObjectSize; }
    // The code of the value as it stands.
    std::string FillCode() const;
    int Kind() const { return FKind; }

    // Called with the editor and the current code by the test button and,
    // with quick test on, after every change.
    std::function<void(TfrmGradation* Sender, const std::string& Code)> OnTest;
    // Gives the object the picture's size (btnAdjustSizeForImage); the
    // caller resizes its objects, then the editor tests.
    std::function<void(int32_t Width, int32_t Height)> OnResize;

    TGradationObject& Gradation() { return FGrad; }
    const TFillPictParam& PictParam() const { return FPict; }
    const QPainterPath& PreviewPath() const { return FPath; }
    int Zoom() const { return FZoom; }
    // A gradation text with or without its rotate digit. A text that does
    // not read whole (ReadGradationText) changes nothing and gives False.
    bool ApplyGradationText(const std::string& Text, bool WithRotateDigit);
    // Every change ends here: repaint and, with quick test on, test.
    void Changed();
    void SetStatus(const std::string& Text);

    QRadioButton* rbtnFTNone;
    QRadioButton* rbtnFTSolid;
    QRadioButton* rbtnFTGrad;
    QRadioButton* rbtnFTPict;
    QCheckBox* cboxRotate;
    QCheckBox* cboxQuickTest;
    QPushButton* btnApply;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QLabel* StatusBar;
    // Solid colour.
    QWidget* pnlMono;
    QLineEdit* edtHex;
    QPushButton* btnColor;
    // The colour picker's pages, fields and eyedropper, embedded.
    class TfrmSelColor* frmMono;
    // Gradation.
    QWidget* pnlGrad;
    TGradStopBars* pboxBars;
    TGradPreview* pboxPreView;
    QComboBox* cmbType;
    QComboBox* cmbWay;
    QComboBox* cmbInterpolation;
    QComboBox* cmbZoomGrad;
    TEditTrackBarWex* edtLoopNum;
    TEditTrackBarWex* edtTrans;
    TEditTrackBarWex* edtHOffest;
    TEditTrackBarWex* edtVOffest;
    TEditTrackBarWex* edtVScale;
    TEditTrackBarWex* edtSOffest;
    TEditTrackBarWex* edtSScale;
    QPushButton* btnReverse;
    QPushButton* btnDoCottection;
    QPushButton* sbtnGraCopy;
    QPushButton* sbtnGraPaste;
    QPushButton* btnStyleAdd;
    QPushButton* btnStyleLoad;
    // The gradation library "Gradation.stl" (in the settings file's folder
    // until SetStyleFolders says otherwise).
    TStyle* Style;
    void SetStyleFolders(const std::string& DataFolder, const std::string& ProgramFolder);
    // Zoom by the combo's index 0..3 (10, 25, 50, 100 %); EUserError otherwise.
    void SetZoomIndex(int Index);
    // Picture.
    QWidget* pnlPicture;
    TEditTrackBarWex* edtX;
    TEditTrackBarWex* edtY;
    TEditTrackBarWex* edtWidth;
    TEditTrackBarWex* edtHeight;
    TEditTrackBarWex* edtDegree;
    TEditTrackBarWex* edtWPer;
    TEditTrackBarWex* edtHPer;
    // Scaling quality, the first option byte: none, smooth, best.
    class QButtonGroup* rgrpIPolation;
    QCheckBox* cboxConstRatio;
    QPushButton* btnAdjustSizeForImage;
    QPushButton* btnFitSize;
    QPushButton* sbtnImgLoad;
    // The program's picture-open dialog with its preview, "画像読み込み".
    TOpenPreviewDialogQ* dlgOpen = nullptr; // made at the first picture load
    QPushButton* sbtnImgCopy;
    QPushButton* sbtnImgPaste;
    QPushButton* sbtnInputTwain;
    QScrollArea* sboxGrph;
    TPictView* pboxGrph;

protected:
    void showEvent(QShowEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void done(int Result) override;

private:
    void BuildControls();
    // False, with nothing changed, when Rest does not read whole.
    bool ApplyKind(int Kind, const std::string& Rest);
    void TakeGradation(TGradationObject&& Gradation);
    void LoadGradControls();
    void LoadPictControls();
    void SetColor(int32_t Color);
    // A number edit of Parent over Lo..Hi in steps of Precision.
    static TEditTrackBarWex* NewNumberEdit(QWidget* Parent, double Lo, double Hi, double Precision = 1);
    // Every change of Edit's value goes to Set: the edit holds it to its
    // range and shows what is stored.
    void WireNumberEdit(TEditTrackBarWex* Edit, const std::function<void(double)>& Set);
    void IntEdit(TEditTrackBarWex* Edit, const std::function<void(int)>& Set);
    void PictEdit(TEditTrackBarWex* Edit, int32_t TFillPictParam::*Field);
    void TakeRatio();
    bool AddPictureImage(QImage Image, const std::string& Name);
    void CopyPicture();
    void PastePicture();
    void InputTwain();
    // The stored picture's own size (0 x 0 without one).
    QSize PictureSize() const;
    void PercentEdit(TEditTrackBarWex* Edit, bool Width);
    // The percent of the picture's side the fill gives it; empty without a picture.
    QString PercentText(bool Width) const;
    void QuickTest();

    TMemIniFile* FSettings;
    std::string FSection, FFlagsName, FPosName, FPictDirName;
    bool FPlaced = false;
    bool FPictOnly, FPictNoGeometry;
    int FKind = 255;
    int32_t FColor = 0;
    TGradationObject FGrad;
    TFillPictParam FPict;
    QPainterPath FPath;
    QSize FObjectSize{400, 200};
    TListRecPict* FStore = nullptr;
    std::vector<int32_t> FAdded;
    // The store's picture pboxGrph shows, while it shows one.
    bool FShowing = false;
    int32_t FShownHandle = 0;
    double FRatio = 1.0; // width / height kept with cboxConstRatio
    int FZoom = 100;
    int FLock = 0;
    int FPage = 1;
    bool FHex = false, FBlock = false;
    bool FFirstColor = false;
};
