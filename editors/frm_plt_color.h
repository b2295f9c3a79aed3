// The drag palette "ドラッグパレット": a roll-up tool window from which
// colours and pens are dragged onto the panel's buttons and other drop
// targets. Its page "色" shows a colour field in one of five field modes of
// the colour picker (hue, saturation or brightness fixed, the palette, the
// web colours); pressing a cell drags its colour as "Wex_Color". Its page
// "線種" holds pen controls and a drag box that drags the pen as
// "Tavro_Pen". The frame creates it once and keeps it until shutdown;
// closing it tells the frame (TToolWindowClosedEvent).
#pragma once

#include "foundation/pen_text.h"
#include "ui/frm_rollup.h"
#include "ui/made_when_asked.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <cstdint>

class QButtonGroup;
class QComboBox;
class QGroupBox;
class QRadioButton;
class QTabWidget;
class TEditTrackBarWex;
class TMemIniFile;
class TPickerBox;

// Field modes of the palette (the colour picker's numbering).
constexpr int PltModeHue = 3;
constexpr int PltModeSat = 4;
constexpr int PltModeBri = 5;
constexpr int PltModePalette = 6;
constexpr int PltModeWeb = 7;

// The window's first bounds in a work area: its left edge, 520 pixels above
// the bottom and 230 x 220 on a work area wider than 800 pixels, where the
// panel's pages take the room above; else 248 above the bottom, 230 x 248.
QRect PltColorDefaultBounds(const QRect& WorkArea);

// The choices of cmbHSV for a mode: "0" to "350" by 10 for the hue, "0" to
// "100" by 5 for saturation and brightness, none for the other modes.
QStringList HSVItems(int Mode);
// The item of the current fixed value (hue in thousandths of a degree,
// saturation 0 .. 256, brightness 0 .. 255); the last item when the value
// rounds past it, -1 for a mode without items.
int HSVItemIndex(int Mode, int32_t Hue, int32_t Sat, int32_t Bri);
// Item Index as the fixed value of Mode, into Hue, Sat or Bri.
void HSVItemValue(int Mode, int Index, int32_t& Hue, int32_t& Sat, int32_t& Bri);
// The colour (0x00BBGGRR) of item Index: its value with the other two parts.
int32_t HSVItemColor(int Mode, int Index, int32_t Hue, int32_t Sat, int32_t Bri);

// The pen record the drag box carries, all other bytes zero: the end cap
// ("丸", "角", "平") and join ("面取り", "角", "丸") items as flag bits, the
// width and miter texts as numbers (0 for a text that is no number).
TrecPenData PltPenRecord(const QString& Width, int JoinItem, int CapItem, const QString& Miter);

class TfrmPltColor : public TfrmRollup {
    Q_OBJECT
public:
    // ParentWindow owns the window and hears of its close. The placement is
    // kept in IniFile (the program's settings object when nil), section
    // "4.0"; a stored one replaces the first bounds.
    explicit TfrmPltColor(QWidget* ParentWindow, TMemIniFile* IniFile = nullptr);
    ~TfrmPltColor() override;

    int Mode() const { return FMode; }
    // Checks the mode's radio button, which refills cmbHSV and repaints.
    void SetMode(int Mode);
    int32_t Hue() const { return FHue; }
    int32_t Sat() const { return FSat; }
    int32_t Bri() const { return FBri; }
    // The fixed parts; cmbHSV's selection follows.
    void SetFixed(int32_t Hue, int32_t Sat, int32_t Bri);
    // The pen record of the pen page's controls.
    TrecPenData PenRecord() const;

    void GetMinMaxInfo(TMinMaxInfo& Info) override;

    TRestorePosRollUp* RestorePos;
    QTabWidget* PageControl;
    QWidget *TabSheetPallete, *TabSheetPen;
    TPickerBox* pboxPal;
    QRadioButton *rbtnRGB, *rbtnWeb, *rbtnH, *rbtnS, *rbtnV;
    QComboBox* cmbHSV;
    TEditTrackBarWex *edtWidth, *edtMiterLen;
    QGroupBox *radiogrpNode, *radiogrpCap;
    QButtonGroup *NodeButtons, *CapButtons;
    TPickerBox* pboxDrag;
    QImage ImageDragCur;

protected:
    void closeEvent(QCloseEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ModeChosen(int Mode);
    void FillHSV();
    void cmbHSVChange(int Index);
    void PalMouseDown(QPoint At);
    void LayoutPalettePage();

    int FMode = PltModePalette;
    int32_t FHue = 0;
    int32_t FSat = 256;
    int32_t FBri = 255;
    int FUpdating = 0;
    QPointer<QWidget> FParentWindow;
};

// The palette window of the frame, made after start-up (or at its first
// use); nil before, and once the frame has gone.
extern TMadeWhenAsked<QPointer<TfrmPltColor>> frmPltColor;
