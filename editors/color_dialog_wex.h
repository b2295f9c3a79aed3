// The colour picker as a component (TColorDialogWex runs the modal form
// TfrmSelColor and remembers its page, place and options), and the colour
// field routines the picker and the palette window share: the grid of each
// of the eight field modes, the colour of a cell, the value bar's cells, the
// smooth field's and bar's pixel mapping. The routines are pure: they take a
// paint box's size, never the box, so that tests call them directly.
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QWidget;
class TMemIniFile;

// Component indexes of the picker's value array.
enum TColorComponent { ccRed = 0, ccGreen = 1, ccBlue = 2, ccHue = 3, ccSat = 4, ccBri = 5 };

// Columns and rows of a field mode (0 .. 7); 0 for any other mode.
int FieldCols(int Mode);
int FieldRows(int Mode);

// The cell's rectangle in a box of Box's size, grown by 1 on each side.
QRect CellRect(QSize Box, int Mode, int Col, int Row);
// The cell under Point; false (and -1, -1) outside the grid and in the
// empty block of the palette mode.
bool CellAt(QSize Box, QPoint Point, int Mode, int& Col, int& Row);
// The colour of a cell, -1 for none. Modes 3 to 5 take the fixed hue,
// saturation or brightness from H, S, V and give back the cell's three.
int32_t CellColor(int Mode, int Col, int Row, int32_t Fixed, int32_t& H, int32_t& S, int32_t& V);
// CellColor, and for the RGB and palette modes the cell colour's H, S, V.
int32_t CellColorHSB(int Mode, int Col, int Row, int32_t Fixed, int32_t& H, int32_t& S, int32_t& V);
// Black on light swatches (red >= 204 or green >= 192), else white.
int32_t SwatchTextColor(int32_t Color);
// The hint of a cell: "RGB = $RRGGBB", or three lines of hue, saturation
// and brightness for the HSV modes; "" for no cell.
QString CellHintText(int Mode, int Col, int Row, int32_t Fixed, int32_t H, int32_t S, int32_t V);

// The value bar in block display: cells per mode (0 .. 5), the cell's
// rectangle and the value cell Index gives the selected component.
int BarCells(int Mode);
QRect BarCellRect(QSize Box, int Mode, int Index);
int32_t BarCellValue(int Mode, int Index);

// Largest value of a component: 255, 255, 255, 359999 shown as 360000, 256, 255.
int32_t ComponentMax(int Component);
// Fills in the model the component does not belong to: from R, G, B the
// H, S, V (Component 0 .. 2), else from H, S, V the R, G, B.
void DeriveComponents(int Component, int32_t Values[6]);
int32_t ColorOfComponents(const int32_t Values[6]);

// The smooth field of the full-colour page, for the selected component:
// which components its x and y axes show, the values at a point of the box,
// the point of the current values, and the colour at a point.
void FieldAxes(int Selected, int& XComponent, int& YComponent);
int32_t AxisValueAt(int Component, int Pixel, int Extent);
int AxisPixelOf(int Component, int32_t Value, int Extent);
void FieldValuesAt(int Selected, QSize Box, QPoint Point, int32_t Values[6]);
int32_t FieldColorAt(int Selected, QSize Box, QPoint Point, const int32_t Values[6]);
// The smooth bar: maximum at the top, 0 at the bottom.
int32_t BarValueAt(int Selected, int Y, int Height);
int BarPixelOf(int Selected, int32_t Value, int Height);

// Hexadecimal colour and component texts: 1 to 8 hexadecimal digits after
// an optional "$" or "#" are read as their value; anything else is false.
// Stored colours keep the form they were written in and are compared by
// value, so "0000FF" and "FF" are the same colour.
bool ReadHexValue(const std::string& Text, uint32_t& Value);

// Caller procedures of the pickers: the value and the caller's context.
using TColorProc = std::function<void(int32_t Color, intptr_t Context)>;

class TColorDialogWex {
public:
    explicit TColorDialogWex(QWidget* Owner = nullptr) : FOwner(Owner) {}

    int32_t Color = 0;
    int HelpContext = 0;
    int Page = 0; // 1 full colour, 2 palette, 3 web; 0 the remembered page
    std::string RegistryKey;
    std::string RegistryName;
    bool SavePosition = true;
    int LeftPos = -1;
    int TopPos = -1;
    intptr_t Context = 0;
    TColorProc OnApply;
    TColorProc OnPreview;

    TMemIniFile* Storage() const { return FStorage; }
    void SetStorage(TMemIniFile* Value) { FStorage = Value; }

    // Runs the form; true when the user pressed OK. Tests set Run to press
    // buttons on the form instead of waiting for a person (the form is shown,
    // not run modally, while Run works; its result is what Run returns).
    bool Execute();
    std::function<int(class TfrmSelColor* Form)> Run;

private:
    QWidget* FOwner;
    TMemIniFile* FStorage = nullptr;
};

// Places a picker form: at Left, Top kept in the desktop work area when both
// are >= 0 and Save is set, else centred over the owner's window.
void PlacePickerForm(QWidget* Form, QWidget* Owner, int Left, int Top, bool Save);

// Runs a picker form modally, or through Run where a test stands in for
// the modal loop (the form is shown meanwhile); the dialog's result.
template <class TForm>
int RunPickerForm(TForm& Form, const std::function<int(TForm*)>& Run)
{
    if (!Run)
        return Form.exec();
    Form.show();
    const int Result = Run(&Form);
    Form.hide();
    return Result;
}

// The remembered integers of a picker (none without both names) and writing
// its text back, in Storage when set, else in the registry.
std::vector<int32_t> ReadPickerSetting(TMemIniFile* Storage, const std::string& Key, const std::string& Name);
void WritePickerSetting(TMemIniFile* Storage, const std::string& Key, const std::string& Name,
                        const std::string& Text);
