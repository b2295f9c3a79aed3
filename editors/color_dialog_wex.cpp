#include "editors/color_dialog_wex.h"

#include "editors/frm_sel_color.h"
#include "foundation/colour_models.h"
#include "foundation/text_fields.h"
#include "ui/restore_pos.h"
#include "ui/work_area.h"

#include <QCheckBox>
#include <QDialog>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

const int32_t L5[5] = {0, 0x40, 0x80, 0xC0, 0xFF};
const int32_t L6[6] = {0, 0x33, 0x66, 0x99, 0xCC, 0xFF};
const int32_t StandardColors[16] = {0x000000, 0x808080, 0xC0C0C0, 0xFFFFFF, 0x0000FF, 0x000080,
                                    0x00FFFF, 0x008080, 0x00FF00, 0x008000, 0xFFFF00, 0x808000,
                                    0xFF0000, 0x800000, 0xFF00FF, 0x800080};

int32_t Rgb(int32_t R, int32_t G, int32_t B) { return R | (G << 8) | (B << 16); }

int32_t Hsb(int32_t H, int32_t S, int32_t V)
{
    int32_t R = 0, G = 0, B = 0;
    HSBToRGB(H, S, V, R, G, B);
    return Rgb(R, G, B);
}

// Shown values round halves to even, as the edits do.
int Shown(double X) { return int(std::nearbyint(X)); }

} // namespace

int FieldCols(int Mode)
{
    static const int Cols[8] = {16, 16, 16, 11, 18, 18, 15, 18};
    return Mode >= 0 && Mode < 8 ? Cols[Mode] : 0;
}

int FieldRows(int Mode)
{
    static const int Rows[8] = {16, 16, 16, 11, 22, 22, 10, 13};
    return Mode >= 0 && Mode < 8 ? Rows[Mode] : 0;
}

QRect CellRect(QSize Box, int Mode, int Col, int Row)
{
    const int N = FieldCols(Mode), M = FieldRows(Mode);
    if (N == 0)
        return {};
    const int W = Box.width(), H = Box.height();
    const int L = Col * W / N, T = Row * H / M, R = (Col + 1) * W / N, B = (Row + 1) * H / M;
    return QRect(QPoint(L - 1, T - 1), QPoint(R, B)); // right and bottom exclusive + 1
}

bool CellAt(QSize Box, QPoint Point, int Mode, int& Col, int& Row)
{
    Col = Row = -1;
    const int N = FieldCols(Mode), M = FieldRows(Mode);
    if (N == 0 || Box.width() <= 0 || Box.height() <= 0 || Point.x() < 0 || Point.y() < 0)
        return false;
    const int C = Point.x() * N / Box.width(), R = Point.y() * M / Box.height();
    if (C >= N || R >= M || (Mode == 6 && R >= 5 && C >= 10))
        return false;
    Col = C;
    Row = R;
    return true;
}

int32_t CellColor(int Mode, int Col, int Row, int32_t Fixed, int32_t& H, int32_t& S, int32_t& V)
{
    if (Mode < 0 || Mode > 7 || Col < 0 || Row < 0 || Col >= FieldCols(Mode) || Row >= FieldRows(Mode))
        return -1;
    switch (Mode) {
    case 0:
        return Rgb(Fixed, 17 * Row, 17 * Col);
    case 1:
        return Rgb(17 * Col, Fixed, 17 * Row);
    case 2:
        return Rgb(17 * Row, 17 * Col, Fixed);
    case 3:
        S = Col * 2560 / 100;
        V = Row * 2550 / 100;
        return Hsb(H, S, V);
    case 4:
        H = ((Row / 11) * 180 + 10 * Col) * 1000;
        V = (Row % 11) * 10 * 255 / 100;
        return Hsb(H, S, V);
    case 5:
        H = ((Row / 11) * 180 + 10 * Col) * 1000;
        S = (Row % 11) * 2560 / 100;
        return Hsb(H, S, V);
    case 6:
        if (Row >= 5 && Col >= 10)
            return -1;
        return Rgb(L5[Col % 5], L5[(Row / 5) * 3 + Col / 5], L5[Row % 5]);
    default:
        if (Row < 12)
            return Rgb(L6[Col % 6], L6[(Row / 6) * 3 + Col / 6], L6[Row % 6]);
        return Col < 16 ? StandardColors[Col] : -1;
    }
}

int32_t CellColorHSB(int Mode, int Col, int Row, int32_t Fixed, int32_t& H, int32_t& S, int32_t& V)
{
    const int32_t C = CellColor(Mode, Col, Row, Fixed, H, S, V);
    if (C >= 0 && (Mode < 3 || Mode > 5))
        RGBToHSB(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF, H, S, V);
    return C;
}

int32_t SwatchTextColor(int32_t Color)
{
    return (Color & 0xFF) >= 204 || ((Color >> 8) & 0xFF) >= 192 ? 0x000000 : 0xFFFFFF;
}

QString CellHintText(int Mode, int Col, int Row, int32_t Fixed, int32_t H, int32_t S, int32_t V)
{
    const int32_t C = CellColor(Mode, Col, Row, Fixed, H, S, V);
    if (C < 0)
        return {};
    if (Mode >= 3 && Mode <= 5)
        return QStringLiteral("色相 = %1\n彩度 = %2 %\n明度 = %3 %")
            .arg(Shown(H / 1000.0))
            .arg(Shown(S * 100.0 / 256))
            .arg(Shown(V * 100.0 / 255));
    char Text[16];
    std::snprintf(Text, sizeof Text, "%06X", unsigned(SwapRB(C)));
    return QStringLiteral("RGB = $") + QString::fromLatin1(Text);
}

int BarCells(int Mode)
{
    static const int Cells[6] = {16, 16, 16, 24, 11, 11};
    return Mode >= 0 && Mode < 6 ? Cells[Mode] : 0;
}

// Cell 0 sits at the bottom, like the smooth bar's 0.
QRect BarCellRect(QSize Box, int Mode, int Index)
{
    const int N = BarCells(Mode);
    if (N == 0)
        return {};
    const int Row = N - 1 - Index;
    const int T = Row * Box.height() / N, B = (Row + 1) * Box.height() / N;
    return QRect(QPoint(8 - 1, T - 1), QPoint(Box.width() - 8, B));
}

int32_t BarCellValue(int Mode, int Index)
{
    switch (Mode) {
    case 0:
    case 1:
    case 2:
        return Index * 255 / 15;
    case 3:
        return Index * 360000 / 24;
    case 4:
        return Index * 256 / 10;
    case 5:
        return Index * 255 / 10;
    default:
        return 0;
    }
}

int32_t ComponentMax(int Component)
{
    static const int32_t Max[6] = {255, 255, 255, 360000, 256, 255};
    return Component >= 0 && Component < 6 ? Max[Component] : 0;
}

void DeriveComponents(int Component, int32_t Values[6])
{
    if (Component < 3)
        RGBToHSB(Values[0], Values[1], Values[2], Values[3], Values[4], Values[5]);
    else
        HSBToRGB(Values[3], Values[4], Values[5], Values[0], Values[1], Values[2]);
}

int32_t ColorOfComponents(const int32_t Values[6]) { return Rgb(Values[0], Values[1], Values[2]); }

void FieldAxes(int Selected, int& XComponent, int& YComponent)
{
    switch (Selected) {
    case ccHue:
        XComponent = ccSat;
        YComponent = ccBri;
        break;
    case ccSat:
        XComponent = ccHue;
        YComponent = ccBri;
        break;
    case ccBri:
        XComponent = ccHue;
        YComponent = ccSat;
        break;
    default:
        XComponent = (Selected + 2) % 3;
        YComponent = (Selected + 1) % 3;
    }
}

int32_t AxisValueAt(int Component, int Pixel, int Extent)
{
    const int Span = Extent - 5;
    if (Span <= 0)
        return 0;
    return int32_t(int64_t(ComponentMax(Component)) * std::clamp(Pixel - 2, 0, Span) / Span);
}

int AxisPixelOf(int Component, int32_t Value, int Extent)
{
    const int32_t Max = ComponentMax(Component);
    return 2 + int(int64_t(std::clamp(Value, 0, Max)) * std::max(Extent - 5, 0) / Max);
}

void FieldValuesAt(int Selected, QSize Box, QPoint Point, int32_t Values[6])
{
    int X = 0, Y = 0;
    FieldAxes(Selected, X, Y);
    Values[X] = AxisValueAt(X, Point.x(), Box.width());
    Values[Y] = AxisValueAt(Y, Point.y(), Box.height());
    DeriveComponents(Selected, Values);
}

int32_t FieldColorAt(int Selected, QSize Box, QPoint Point, const int32_t Values[6])
{
    int32_t V[6];
    std::copy(Values, Values + 6, V);
    FieldValuesAt(Selected, Box, Point, V);
    return ColorOfComponents(V);
}

int32_t BarValueAt(int Selected, int Y, int Height)
{
    const int Span = Height - 5;
    if (Span <= 0)
        return 0;
    return int32_t(int64_t(ComponentMax(Selected)) * std::clamp(Span - (Y - 2), 0, Span) / Span);
}

int BarPixelOf(int Selected, int32_t Value, int Height)
{
    const int32_t Max = ComponentMax(Selected);
    const int Span = std::max(Height - 5, 0);
    return 2 + Span - int(int64_t(std::clamp(Value, 0, Max)) * Span / Max);
}

bool ReadHexValue(const std::string& Text, uint32_t& Value)
{
    std::string Digits = Text;
    if (!Digits.empty() && (Digits[0] == '$' || Digits[0] == '#'))
        Digits.erase(0, 1);
    if (Digits.empty() || Digits.size() > 8)
        return false;
    uint32_t V = 0;
    for (char C : Digits) {
        if (!std::isxdigit(static_cast<unsigned char>(C)))
            return false;
        V = (V << 4) | uint32_t(HexDigitValue(C));
    }
    Value = V;
    return true;
}

void PlacePickerForm(QWidget* Form, QWidget* Owner, int Left, int Top, bool Save)
{
    Form->adjustSize();
    const QSize Size = Form->size();
    if (Save && Left >= 0 && Top >= 0) {
        SetBoundsInWorkArea(Form, Left, Top, Size.width(), Size.height());
        return;
    }
    QRect Over;
    if (Owner && Owner->window()->isVisible())
        Over = Owner->window()->frameGeometry();
    else if (const QScreen* Screen = QGuiApplication::primaryScreen())
        Over = Screen->availableGeometry();
    const QPoint At = Over.center() - QPoint(Size.width() / 2, Size.height() / 2);
    // Centred over a window near the edge may still leave the desktop.
    SetBoundsInWorkArea(Form, At.x(), At.y(), Size.width(), Size.height());
}

namespace {

std::vector<int32_t> SplitInts(const std::string& Text)
{
    std::vector<int32_t> Out;
    size_t Start = 0;
    while (Start <= Text.size()) {
        const size_t Comma = std::min(Text.find(',', Start), Text.size());
        int32_t V = 0;
        if (!TryStrToInt(Text.substr(Start, Comma - Start), V))
            break;
        Out.push_back(V);
        Start = Comma + 1;
    }
    return Out;
}

} // namespace

std::vector<int32_t> ReadPickerSetting(TMemIniFile* Storage, const std::string& Key, const std::string& Name)
{
    if (Key.empty() || Name.empty())
        return {};
    return SplitInts(ReadUserSettingText(Storage, Key, Name));
}

void WritePickerSetting(TMemIniFile* Storage, const std::string& Key, const std::string& Name,
                        const std::string& Text)
{
    if (!Key.empty() && !Name.empty())
        WriteUserSettingText(Storage, Key, Name, Text);
}

bool TColorDialogWex::Execute()
{
    TfrmSelColor Form(FOwner);
    Form.HelpContext = HelpContext;
    Form.SetCallerValues(Context, OnApply, OnPreview);
    Form.SetStartColor(Color);

    const std::vector<int32_t> Saved = ReadPickerSetting(FStorage, RegistryKey, RegistryName);
    auto Field = [&](size_t I, int32_t Default) { return I < Saved.size() ? Saved[I] : Default; };
    PlacePickerForm(&Form, FOwner, Field(1, LeftPos), Field(2, TopPos), SavePosition);
    Form.cboxPreview->setChecked(Field(3, 0) != 0);
    Form.cboxHex->setChecked(Field(4, 0) != 0);
    Form.cboxBlock->setChecked(Field(5, 0) != 0);
    // A page number from an older or damaged setting still opens a page.
    Form.SetPage(std::clamp(Page != 0 ? Page : Field(0, 1), 1, 3));

    const int Result = RunPickerForm(Form, Run);
    WritePickerSetting(FStorage, RegistryKey, RegistryName,
                       JoinInts({Form.ActivePage(), Form.x(), Form.y(), Form.cboxPreview->isChecked() ? 1 : 0,
                                 Form.cboxHex->isChecked() ? 1 : 0, Form.cboxBlock->isChecked() ? 1 : 0}));
    if (Result != QDialog::Accepted)
        return false;
    Color = Form.CurrentColor();
    return true;
}
