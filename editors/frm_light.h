// The light editor "照明設定": edits a light set on a lit preview of the
// picture the lighting effect works on. Lights are added, deleted, renamed
// and given a kind in a list; they are placed with anchors on the preview;
// the gloss and bump values are set on a second page. Named sets are kept
// in the light style library.
#pragma once

#include "editors/anchor_light.h"
#include "foundation/geometry_types.h"
#include "raster/light_records.h"
#include "raster/rec_picture.h"

#include <QDialog>
#include <QImage>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QPushButton;
class QSlider;
class QSpinBox;
class QDoubleSpinBox;
class QStatusBar;
class QTabWidget;
class QToolButton;
class TMemIniFile;
class TStyle;
class TObject;

// The light set being edited and the operations on its list, without a window.
class TLightEditModel {
public:
    TLightEditModel();
    TLightsAmb Lights;
    int32_t Selected = -1;
    // The object's box (any unit): a spot's axis length is kept as a
    // fraction of its diagonal, so seeding one needs the box's shape.
    double BoxWidth = 1;
    double BoxHeight = 1;

    TrecLightUnion* SelectedLight();
    // The kind's name followed by the smallest n >= 1 not yet in the list.
    std::string UniqueName(uint8_t Kind) const;
    // A white parallel light of brightness 50, appended and selected.
    int32_t Add();
    // Removes the selected light; the entry now at its index (or the
    // previous one, for the last) becomes the selected one. False when none.
    bool Delete();
    enum class TRename { Unchanged, Empty, Taken, Renamed };
    // Name first loses the characters a name, kept as CP932, cannot hold.
    TRename Rename(std::string& Name);
    // The selected light takes Kind and the kind's starting points.
    void SetKind(uint8_t Kind);
    static void Seed(TrecLightUnion& Light, uint8_t Kind, double BoxWidth, double BoxHeight);
    // A spot's soft edge as the 0..100 of "ぼけ具合" (0 to a quarter turn).
    static int32_t SpotSpread(const TrecLightUnion& Light);
    static void SetSpotSpread(TrecLightUnion& Light, int32_t Spread);

    std::string Text() const;
    // Replaces the set with the text's (the lights read before a fault
    // stay); an empty text gives the empty set with the default surface.
    bool SetText(const std::string& Text);
    // The selected light's placement as the status bar says it.
    std::string StatusText() const;
};

// The warnings of a refused name.
std::string LightRenameWarning(TLightEditModel::TRename Result, const std::string& Name);

class TfrmLight;
class TLightPreview : public QWidget {
    Q_OBJECT
public:
    explicit TLightPreview(TfrmLight& Form);
    QSize sizeHint() const override { return QSize(256, 256); }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;

private:
    TfrmLight& FForm;
};

class TfrmLight : public QDialog {
    Q_OBJECT
public:
    TfrmLight(QWidget* Owner, TMemIniFile* IniFile, const std::string& Section, const std::string& FlagsName,
              const std::string& PositionName);
    ~TfrmLight() override;
    // Places the editor by its stored place when it is first shown.
    void setVisible(bool Visible) override;

    // The light text and the pictures the effect works on. False without a
    // destination (after the error box) or when a plane misses it.
    bool SetParam(const std::string& LightText, const TrecPicture* Dest, const TRect* ObjectRect,
                  const TrecPicture* Bump, const TrecPicture* Mask);
    // The light text as it stands now.
    std::string LightText();
    // Applies a text as a paste or a style does: zoom back to 100 %.
    void ApplyLightText(const std::string& Text);

    // Called with the current text by "テスト" and, with "即テスト", after each change.
    std::function<void(TfrmLight& Form, const std::string& Text)> OnTest;
    // Runs the colour picker in place of a person (see TColorDialogWex::Run).
    std::function<int(class TfrmSelColor* Form)> ColorDialogRun;
    // The rename question; tests replace it.
    static std::function<bool(const std::string& Caption, const std::string& Prompt, std::string& Value)> InputQuery;

    TLightEditModel Model;
    std::vector<TAnchorsLight> Anchors; // per light, in the set's order
    TLightMapping Mapping() const;
    int Zoom() const { return FZoom; }
    void SetZoomIndex(int Index);
    const QImage& ResultImage() const { return FResultImage; }

    // Rebuilds every light's anchors for the current mapping.
    void RebuildAnchors();
    void SelectLight(int Index);
    void AddLight();
    void DeleteLight();
    void RenameLight();
    void SetLightKind(int Kind);
    void RunTest();
    void StyleAdd();
    void StyleLoad();
    void CopyLight();
    // Picks the selected light's (or the gloss) colour with the colour picker.
    void PickColor(bool Gloss);
    void PasteLight();
    // The settings values as written at close.
    void SaveSettings();

    QTabWidget* pgcMain;
    TLightPreview* pboxPreView;
    QComboBox* cmbZoom;
    QListWidget* lboxLightName;
    QPushButton* btnAddLight;
    QPushButton* btnDelLight;
    QPushButton* btnRename;
    QComboBox* cmbLightType;
    QPushButton* pboxLight;
    QSlider* tkbarBright;
    QSpinBox* edtBright;
    QSlider* tkbarBoke;
    QSpinBox* edtBoke;
    QSlider* tkbarMetalic;
    QSpinBox* edtMetalic;
    QSlider* tkbarSpecExp;
    QSpinBox* edtSpecExp;
    QSlider* tkbarSpecBright;
    QSpinBox* edtSpecBright;
    QPushButton* pboxSpeculum;
    QSlider* tkbarHeight;
    QDoubleSpinBox* edtHeight;
    QCheckBox* cboxQuickTest;
    QPushButton* btnApply;
    QToolButton* sbtnLightCopy;
    QToolButton* sbtnLightPaste;
    QPushButton* btnStyleAdd;
    QPushButton* btnStyleLoad;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QStatusBar* StatusBar;
    // Kept hidden: painting the background, mask and bump planes is not offered.
    QPushButton* btnBackPaijnt;
    QPushButton* btnMaskPaint;
    QPushButton* btnBumpPaint;
    TStyle* Style;

    // Drawing and reading a light style cell (the library's handlers).
    static void StyleDrawCell(QPainter& Canvas, const std::string& Title, const TObject* Data, const QRect& Rect,
                              bool Selected);
    static void StyleDrawCellLate(QPainter& Canvas, const std::string& Title, const TObject* Data,
                                  const QRect& Rect, bool Selected);

protected:
    void showEvent(QShowEvent*) override;
    void done(int Result) override;

private:
    friend class TLightPreview;
    void Render();
    void Changed(bool Rerender = true);
    void LoadLightControls();
    void LoadSurfaceControls();
    void UpdateStatus();
    void SwatchColors();
    void MousePress(QPoint P);
    void MouseMove(QPoint P);
    void MouseRelease();

    TMemIniFile* FIniFile;
    std::string FSection, FFlagsName, FPositionName;
    int FLock = 0;
    int FZoom = 100;
    bool FShownOnce = false;
    bool FPlaced = false;
    // The reduced copies: destination and result (24 bits), mask and bump (8 bits).
    struct TOwnedPicture {
        TrecPicture P;
        ~TOwnedPicture() { RecPictureClear(P); }
    };
    TOwnedPicture FDest, FResult, FMask, FBump;
    bool FHasMask = false, FHasBump = false;
    TRect FObject{0, 0, 0, 0}; // the object's box in the reduced copies
    QImage FResultImage;
    // Dragging.
    TAnchorLight* FDragAnchor = nullptr;
    QPoint FDownPoint, FLastPoint;
    bool FDragging = false;
    double FFlatness = 0;
};
