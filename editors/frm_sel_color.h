// The colour picker form "色の選択": RGB and HSV fields, a full-colour field
// with its value bar (smooth or in blocks), the 125-colour palette page, the
// web page of 216 colours and 16 standard ones, the eyedropper, hexadecimal
// entry, colour copy and paste, and the caller's live test.
#pragma once

#include "editors/color_dialog_wex.h"

#include <QDialog>
#include <QImage>

#include <functional>

class QCheckBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class TEditTrackBarWex;
class TRvClipDetector;

// The hint of a grid cell: the text on the cell's own colour, in black or
// white as SwatchTextColor says, drawn 2 pixels in from the left and top.
class TMyHintWindow : public QWidget {
    Q_OBJECT
public:
    explicit TMyHintWindow(QWidget* Parent = nullptr);
    void ActivateHint(QPoint Global, const QString& Text, int32_t Color);
    const QString& Text() const { return FText; }
    int32_t Color() const { return FColor; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QString FText;
    int32_t FColor = 0;
};

// What a box's hint shows over a cell: none when Text stays empty.
struct TCellHint {
    QString Text;
    int32_t Color = 0;
    QRect Cell; // the hint stays while the cursor is inside
};

// A box painted and clicked through handlers, standing for the form's paint
// boxes.
class TPickerBox : public QWidget {
    Q_OBJECT
public:
    explicit TPickerBox(QSize Size, QWidget* Parent = nullptr);
    std::function<void(QPainter&)> OnPaint;
    std::function<void(QMouseEvent*)> OnMouseDown, OnMouseMove, OnMouseUp, OnDblClick;
    std::function<TCellHint(QPoint)> OnHint;
    // What the box shows, at its own size.
    QImage Picture();
    TMyHintWindow* HintWindow() const { return FHint; } // nil before the first cell hint

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    bool event(QEvent* Event) override;
    void leaveEvent(QEvent* Event) override;

private:
    TMyHintWindow* FHint = nullptr;
    QRect FHintCell;
};

// The whole screen showing the global point At as a picture, with the
// screen's geometry in global coordinates; a null picture where the platform
// cannot grab the screen (Wayland, for one, does not let a program read it).
using TScreenGrab = std::function<QImage(QPoint At, QRect& Geometry)>;
QImage GrabWholeScreen(QPoint At, QRect& Geometry);

// The colour of Global in a grabbed screen; -1 outside it.
int32_t ScreenPixelColor(const QImage& Screen, const QRect& Geometry, QPoint Global);

class TfrmSelColor : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelColor(QWidget* Owner = nullptr);
    ~TfrmSelColor() override;

    int HelpContext = 0; // btnHelp asks the application's help for it

    void SetCallerValues(intptr_t Context, TColorProc Apply, TColorProc Preview);
    // The starting and the current colour.
    void SetStartColor(int32_t Color);
    // Every change of the colour: the current colour and its components
    // (H, S, V kept when they were the values set), fields, swatch, preview.
    void SetColor(int32_t Color, bool FromHSV = false);
    int32_t CurrentColor() const { return FColor; }
    int32_t StartColor() const { return FStartColor; }
    const int32_t* Components() const { return FValues; }
    int Selected() const { return FSelected; }
    void SetSelected(int Component); // checks its radio button
    void SetPage(int Page);          // 1 full colour, 2 palette, 3 web
    int ActivePage() const;
    // The eyedropper's screen; a grab that gives nothing disables it (Default:
    // the real screen, whose test is made once a run).
    void SetScreenGrab(TScreenGrab Grab, bool Default = false);

    QTabWidget* PageControl;
    QWidget *TabSheetFull, *TabSheetPallete, *TabSheetWeb;
    TPickerBox *pbox, *pboxVBar, *pboxPalette, *pboxWeb, *pboxColor, *pboxSpoit;
    QRadioButton *rbtnRed, *rbtnGrn, *rbtnBlu, *rbtnHue, *rbtnSat, *rbtnBri;
    TEditTrackBarWex *edtRed, *edtGrn, *edtBlu, *edtHue, *edtSat, *edtBri;
    QLabel *lblR, *lblG, *lblB;
    QCheckBox *cboxHex, *cboxBlock, *cboxPreview;
    QToolButton *sbtnColorCopy, *sbtnColorPaste;
    QPushButton *btnApply, *btnOK, *btnCancel, *btnHelp;

protected:
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void FillFields();
    void RepaintAll();
    void edtFactorChange(int Component);
    void rbtnClick(int Component);
    void cboxHexClick();
    void cboxPreviewClick();
    void SetComponent(int Component, int32_t Value);
    void SetValues(const int32_t Values[6], bool FromHSV);
    void PaintFieldBox(QPainter& P);
    void PaintBar(QPainter& P);
    void PaintSwatch(QPainter& P);
    void PaintSpoit(QPainter& P);
    void FieldMouse(QPoint At);
    void BarMouse(QPoint At);
    void GridMouseDown(int Mode, QSize Box, QPoint At);
    void SpoitMove(QPoint Global);
    void ClipChanged();
    TCellHint FieldHint(QPoint At) const;
    TCellHint BarHint(QPoint At) const;

    int32_t FValues[6] = {};
    int FSelected = 0;
    int32_t FStartColor = 0;
    int32_t FColor = 0;
    int FUpdating = 0;
    int FTyping = -1; // the component whose edit the user is typing in
    bool FSpoitCapture = false;
    bool FFieldDrag = false, FBarDrag = false;
    intptr_t FContext = 0;
    TColorProc FApply, FPreview;
    TScreenGrab FGrab;
    QImage FScreen;
    QRect FScreenGeometry;
    TRvClipDetector* RvClipDetector;
};

// Paints every cell of a field mode in a box of Size: the cell's colour
// inside a 2-pixel sunken edge.
void PaintField(QPainter& P, QSize Size, int Mode, int32_t Fixed, int32_t H, int32_t S, int32_t V);
// The sunken edge of the system's buttons and fields.
void DrawSunkenEdge(QPainter& P, const QRect& R);
QColor ColorOfRef(int32_t Color);
