// The colour picker's field routines at chosen cells, and its form: typing,
// hexadecimal entry, the grids, the eyedropper on a known screen, the
// clipboard, the live test and the remembered page, place and options.
#include "../editors/color_dialog_wex.h"
#include "editors/frm_sel_color.h"
#include "foundation/ini_file.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/frm_rollup.h"
#include "ui/golden_image.h"
#include "ui/restore_pos.h"
#include "ui/window_test_support.h"
#include "window_wait.h"

#include <QCheckBox>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct CellCase {
    int Mode, Col, Row;
    int32_t Fixed, H, S, V;
    int32_t Color;
};

TEST(ColorField, CellColoursOfEveryModeAtChosenCells)
{
    const CellCase Cases[] = {
        {0, 2, 3, 10, 0, 0, 0, 0x22330A},         // red fixed: green 17r, blue 17c
        {1, 15, 0, 128, 0, 0, 0, 0x0080FF},       // green fixed: red 17c, blue 17r
        {2, 1, 15, 7, 0, 0, 0, 0x0711FF},         // blue fixed: red 17r, green 17c
        {3, 10, 10, 0, 0, 0, 0, 0x0000FF},        // hue 0 at full saturation and brightness
        {3, 0, 10, 0, 120000, 0, 0, 0xFFFFFF},    // no saturation: white
        {4, 6, 21, 0, 0, 256, 0, 0xFF0000},       // hue 240, brightness 255
        {4, 0, 11, 0, 0, 256, 0, 0x000000},       // brightness 0
        {5, 12, 10, 0, 0, 0, 255, 0x00FF00},      // hue 120, saturation 256
        {6, 4, 0, 0, 0, 0, 0, 0x0000FF},
        {6, 9, 4, 0, 0, 0, 0, 0xFF40FF},
        {6, 9, 9, 0, 0, 0, 0, 0xFFFFFF},
        {6, 12, 7, 0, 0, 0, 0, -1},               // the empty block
        {7, 5, 5, 0, 0, 0, 0, 0xFF00FF},
        {7, 17, 11, 0, 0, 0, 0, 0xFFFFFF},
        {7, 4, 12, 0, 0, 0, 0, 0x0000FF},         // standard colours
        {7, 15, 12, 0, 0, 0, 0, 0x800080},
        {7, 16, 12, 0, 0, 0, 0, -1},
        {7, 17, 12, 0, 0, 0, 0, -1},
        {8, 0, 0, 0, 0, 0, 0, -1},
        {0, 16, 0, 0, 0, 0, 0, -1},
    };
    for (const CellCase& C : Cases) {
        int32_t H = C.H, S = C.S, V = C.V;
        EXPECT_EQ(CellColor(C.Mode, C.Col, C.Row, C.Fixed, H, S, V), C.Color)
            << "mode " << C.Mode << " cell " << C.Col << "," << C.Row;
    }
}

TEST(ColorField, HsvModesGiveBackTheCellsValues)
{
    int32_t H = 50000, S = 100, V = 200;
    CellColor(3, 5, 10, 0, H, S, V);
    EXPECT_EQ((std::vector<int32_t>{H, S, V}), (std::vector<int32_t>{50000, 128, 255}));
    H = 0, S = 100, V = 200;
    CellColor(4, 3, 13, 0, H, S, V);
    EXPECT_EQ((std::vector<int32_t>{H, S, V}), (std::vector<int32_t>{210000, 100, 51}));
    H = 0, S = 100, V = 200;
    CellColor(5, 1, 5, 0, H, S, V);
    EXPECT_EQ((std::vector<int32_t>{H, S, V}), (std::vector<int32_t>{10000, 128, 200}));
    H = S = V = 0;
    EXPECT_EQ(CellColorHSB(7, 4, 12, 0, H, S, V), 0x0000FF);
    EXPECT_EQ((std::vector<int32_t>{H, S, V}), (std::vector<int32_t>{0, 256, 255}));
}

TEST(ColorField, CellGeometry)
{
    EXPECT_EQ(CellRect(QSize(160, 160), 0, 1, 2), QRect(9, 19, 12, 12));
    struct {
        QPoint At;
        int Col, Row;
    } const Cases[] = {{{0, 0}, 0, 0}, {{199, 199}, 9, 9}, {{250, 150}, -1, -1}, {{299, 199}, -1, -1},
                       {{300, 10}, -1, -1}, {{-1, 10}, -1, -1}};
    for (const auto& C : Cases) {
        int Col = 7, Row = 7;
        EXPECT_EQ(CellAt(QSize(300, 200), C.At, 6, Col, Row), C.Col >= 0);
        EXPECT_EQ(QPoint(Col, Row), QPoint(C.Col, C.Row)) << C.At.x() << "," << C.At.y();
    }
    EXPECT_EQ(BarCellRect(QSize(40, 160), 0, 15), QRect(7, -1, 26, 12)); // the top cell is the largest
}

TEST(ColorField, BarCellsAndValues)
{
    const int Cells[6] = {16, 16, 16, 24, 11, 11};
    for (int M = 0; M < 6; ++M)
        EXPECT_EQ(BarCells(M), Cells[M]);
    struct {
        int Mode, Index;
        int32_t Value;
    } const Cases[] = {{0, 15, 255}, {1, 1, 17}, {3, 23, 345000}, {3, 12, 180000}, {4, 10, 256}, {5, 10, 255}, {5, 3, 76}};
    for (const auto& C : Cases)
        EXPECT_EQ(BarCellValue(C.Mode, C.Index), C.Value) << C.Mode << " " << C.Index;
}

TEST(ColorField, SmoothFieldAndBarMapping)
{
    EXPECT_EQ(AxisValueAt(ccRed, 2, 260), 0);
    EXPECT_EQ(AxisValueAt(ccRed, 257, 260), 255);
    EXPECT_EQ(AxisValueAt(ccRed, -40, 260), 0);
    EXPECT_EQ(AxisValueAt(ccHue, 400, 260), 360000);
    EXPECT_EQ(AxisValueAt(ccSat, 129, 260), 127); // 256 x 127 / 255 truncated
    EXPECT_EQ(AxisPixelOf(ccGreen, 255, 260), 257);
    EXPECT_EQ(BarValueAt(ccRed, 2, 260), 255);
    EXPECT_EQ(BarValueAt(ccRed, 257, 260), 0);
    EXPECT_EQ(BarPixelOf(ccBri, 255, 260), 2);
    EXPECT_EQ(BarPixelOf(ccBri, 0, 260), 257);
    int X = 0, Y = 0;
    const int Axes[6][2] = {{2, 1}, {0, 2}, {1, 0}, {4, 5}, {3, 5}, {3, 4}};
    for (int K = 0; K < 6; ++K) {
        FieldAxes(K, X, Y);
        EXPECT_EQ(X, Axes[K][0]) << K;
        EXPECT_EQ(Y, Axes[K][1]) << K;
    }
    const int32_t Values[6] = {100, 0, 0, 0, 0, 0};
    EXPECT_EQ(FieldColorAt(ccRed, QSize(260, 260), QPoint(257, 2), Values), 0xFF0064);
    const int32_t Red[6] = {255, 0, 0, 0, 256, 255};
    EXPECT_EQ(FieldColorAt(ccHue, QSize(260, 260), QPoint(2, 257), Red), 0xFFFFFF); // no saturation, full brightness
}

TEST(ColorField, SwatchTextAndHints)
{
    EXPECT_EQ(SwatchTextColor(0x0000CC), 0x000000);
    EXPECT_EQ(SwatchTextColor(0x00C000), 0x000000);
    EXPECT_EQ(SwatchTextColor(0xFFBFCB), 0xFFFFFF);
    EXPECT_EQ(CellHintText(7, 4, 12, 0, 0, 0, 0), QStringLiteral("RGB = $FF0000"));
    EXPECT_EQ(CellHintText(0, 1, 1, 0x80, 0, 0, 0), QStringLiteral("RGB = $801111"));
    EXPECT_EQ(CellHintText(3, 5, 10, 0, 120000, 0, 0), QStringLiteral("色相 = 120\n彩度 = 50 %\n明度 = 100 %"));
    EXPECT_EQ(CellHintText(6, 12, 7, 0, 0, 0, 0), QString());
}

TEST(ColorField, HexReadersTakeOneToEightDigits)
{
    struct {
        const char* Text;
        bool Ok;
        uint32_t Value;
    } const Cases[] = {{"F", true, 15},          {"ff", true, 255},        {"$1A", true, 26},
                       {"#00FF", true, 255},     {"0000FF", true, 255},    {"FFFFFFFF", true, 0xFFFFFFFF},
                       {"123456789", false, 0},  {"", false, 0},           {"$", false, 0},
                       {"G1", false, 0},         {" 1", false, 0}};
    for (const auto& C : Cases) {
        uint32_t V = 0;
        EXPECT_EQ(ReadHexValue(C.Text, V), C.Ok) << C.Text;
        if (C.Ok) {
            EXPECT_EQ(V, C.Value) << C.Text;
        }
    }
}

// The form, shown offscreen with a colour.
struct Form {
    TfrmSelColor F;
    explicit Form(int32_t Color = 0x336699)
    {
        F.SetStartColor(Color);
        F.show();
    }
};

TEST(FrmSelColor, TypedValuesAreClampedAndScaled)
{
    struct {
        int Component;
        const char* Text;
        int32_t Stored;
    } const Cases[] = {{ccHue, "400", 360000}, {ccHue, "120", 120000}, {ccSat, "50", 128},
                       {ccBri, "50", 128},     {ccRed, "300", 255},    {ccGreen, "-5", 0}};
    for (const auto& C : Cases) {
        Form T;
        TEditTrackBarWex* Edits[6] = {T.F.edtRed, T.F.edtGrn, T.F.edtBlu, T.F.edtHue, T.F.edtSat, T.F.edtBri};
        Edits[C.Component]->setText(QString::fromLatin1(C.Text));
        EXPECT_EQ(T.F.Components()[C.Component], C.Stored) << C.Text;
    }
    Form T;
    T.F.edtRed->setText("abc"); // unreadable: the old value stays
    EXPECT_EQ(T.F.CurrentColor(), 0x336699);
}

TEST(FrmSelColor, HexadecimalEntry)
{
    Form T(0x0000C8);
    EXPECT_EQ(T.F.lblR->text(), QStringLiteral("($C8)"));
    T.F.cboxHex->setChecked(true);
    EXPECT_EQ(T.F.lblR->text(), QStringLiteral("(200)"));
    EXPECT_EQ(T.F.edtRed->PageSize, 8);
    T.F.edtGrn->setText("0000A");
    EXPECT_EQ(T.F.CurrentColor(), 0x000AC8);
    T.F.edtBlu->setText("1FF");
    EXPECT_EQ(T.F.CurrentColor(), 0xFF0AC8);
    EXPECT_EQ(T.F.edtBlu->text(), QStringLiteral("FF")); // above 255: shown as stored
    EXPECT_EQ(T.F.lblB->text(), QStringLiteral("(255)"));
    T.F.edtRed->setFocus();
    T.F.edtRed->selectAll();
    QTest::keyClicks(T.F.edtRed, "0000000F"); // eight digits, typed
    EXPECT_EQ(T.F.CurrentColor(), 0xFF0A0F);
    T.F.SetColor(0x0A0B0C); // a colour from elsewhere is written in the edits' own form
    EXPECT_EQ(T.F.edtRed->text(), QStringLiteral("C"));
    T.F.cboxHex->setChecked(false);
    EXPECT_EQ(T.F.edtRed->PageSize, 5);
}

TEST(FrmSelColor, GridPagesPickTheirCellsAndADoubleClickConfirms)
{
    Form T;
    T.F.SetPage(2);
    QTest::mousePress(T.F.pboxPalette, Qt::LeftButton, {}, QPoint(4 * 20 + 5, 5));
    EXPECT_EQ(T.F.CurrentColor(), 0x0000FF);
    QTest::mousePress(T.F.pboxPalette, Qt::LeftButton, {}, QPoint(250, 150)); // the empty block
    EXPECT_EQ(T.F.CurrentColor(), 0x0000FF);
    T.F.SetPage(3);
    QTest::mousePress(T.F.pboxWeb, Qt::LeftButton, {}, QPoint(15 * 17 + 5, 12 * 17 + 5));
    EXPECT_EQ(T.F.CurrentColor(), 0x800080);
    QTest::mouseDClick(T.F.pboxWeb, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(T.F.result(), QDialog::Accepted);
}

TEST(FrmSelColor, FullColourFieldAndBarSetTheOtherComponents)
{
    Form T(0x000064);
    QTest::mousePress(T.F.pbox, Qt::LeftButton, {}, QPoint(257, 2)); // red selected: x blue, y green
    EXPECT_EQ(T.F.CurrentColor(), 0xFF0064);
    QTest::mouseRelease(T.F.pbox, Qt::LeftButton, {}, QPoint(257, 2));
    QTest::mousePress(T.F.pboxVBar, Qt::LeftButton, {}, QPoint(20, 257));
    EXPECT_EQ(T.F.CurrentColor(), 0xFF0000);
    T.F.SetSelected(ccHue);
    T.F.cboxBlock->setChecked(true);
    // hue fixed in blocks: column 10 row 10 is full saturation and brightness
    QTest::mousePress(T.F.pbox, Qt::LeftButton, {}, QPoint(255, 255));
    EXPECT_EQ(T.F.Components()[ccSat], 256);
    EXPECT_EQ(T.F.Components()[ccBri], 255);
    EXPECT_EQ(T.F.Components()[ccHue], 240000); // kept from blue
    EXPECT_EQ(T.F.CurrentColor(), 0xFF0000);
    QTest::mousePress(T.F.pboxVBar, Qt::LeftButton, {}, QPoint(20, 250)); // bottom block: hue 0
    EXPECT_EQ(T.F.CurrentColor(), 0x0000FF);
    QTest::mousePress(T.F.pboxColor, Qt::LeftButton, {}, QPoint(5, 60)); // the old colour again
    EXPECT_EQ(T.F.CurrentColor(), 0x000064);
}

TEST(FrmSelColor, EyedropperReadsTheGrabbedScreen)
{
    Form T;
    QImage Screen(8, 8, QImage::Format_RGB32); // a screen of twice the pixel density
    Screen.fill(qRgb(1, 2, 3));
    Screen.setPixel(4, 2, qRgb(10, 20, 30));
    Screen.setPixel(6, 6, qRgb(200, 100, 50));
    int Grabs = 0;
    QImage Second(2, 2, QImage::Format_RGB32); // a second screen to the right
    Second.fill(qRgb(7, 8, 9));
    T.F.SetScreenGrab([&](QPoint At, QRect& Geometry) {
        ++Grabs;
        Geometry = At.x() >= 104 ? QRect(104, 200, 2, 2) : QRect(100, 200, 4, 4);
        return At.x() >= 104 ? Second : Screen;
    });
    EXPECT_TRUE(T.F.pboxSpoit->isEnabled());
    SendMouse(T.F.pboxSpoit, QEvent::MouseButtonPress, QPoint(102, 201));
    EXPECT_EQ(T.F.CurrentColor(), 0x1E140A);
    SendMouse(T.F.pboxSpoit, QEvent::MouseMove, QPoint(103, 203));
    EXPECT_EQ(T.F.CurrentColor(), 0x3264C8);
    SendMouse(T.F.pboxSpoit, QEvent::MouseMove, QPoint(500, 500)); // off every screen: kept
    EXPECT_EQ(T.F.CurrentColor(), 0x3264C8);
    SendMouse(T.F.pboxSpoit, QEvent::MouseMove, QPoint(105, 201));
    EXPECT_EQ(T.F.CurrentColor(), 0x090807);
    SendMouse(T.F.pboxSpoit, QEvent::MouseButtonRelease, QPoint(500, 500));
    SendMouse(T.F.pboxSpoit, QEvent::MouseMove, QPoint(100, 200)); // no longer captured
    EXPECT_EQ(T.F.CurrentColor(), 0x090807);
    EXPECT_EQ(Grabs, 4); // the probe, the press and one for each move off the screen grabbed
}

TEST(FrmSelColor, EyedropperIsOffWithItsReasonWhereTheScreenCannotBeGrabbed)
{
    Form T;
    T.F.SetScreenGrab([](QPoint, QRect&) { return QImage(); });
    EXPECT_FALSE(T.F.pboxSpoit->isEnabled());
    EXPECT_TRUE(T.F.pboxSpoit->toolTip().contains(QStringLiteral("画面の内容を読み取れません")));
}

TEST(FrmSelColor, ColoursGoThroughTheClipboard)
{
    Form T(0x123456);
    T.F.sbtnColorCopy->click();
    QTest::qWait(20);
    EXPECT_TRUE(T.F.sbtnColorPaste->isEnabled());
    T.F.SetColor(0);
    T.F.sbtnColorPaste->click();
    EXPECT_EQ(T.F.CurrentColor(), 0x123456);
}

TEST(FrmSelColor, LiveTestCallsTheCaller)
{
    Form T(0x112233);
    std::vector<std::pair<int32_t, intptr_t>> Previews, Applies;
    T.F.SetCallerValues(
        7, [&](int32_t C, intptr_t X) { Applies.push_back({C, X}); },
        [&](int32_t C, intptr_t X) { Previews.push_back({C, X}); });
    EXPECT_TRUE(T.F.btnApply->isVisible());
    T.F.btnApply->click();
    T.F.cboxPreview->setChecked(true);
    EXPECT_FALSE(T.F.btnApply->isEnabled());
    T.F.SetColor(0x445566);
    using P = std::pair<int32_t, intptr_t>;
    EXPECT_EQ(Applies, (std::vector<P>{{0x112233, 7}}));
    EXPECT_EQ(Previews, (std::vector<P>{{0x112233, 7}, {0x445566, 7}}));
    std::vector<int32_t> Helps;
    SetShowHelpContextHook([&](int32_t C) { Helps.push_back(C); });
    T.F.HelpContext = 42;
    T.F.btnHelp->click();
    SetShowHelpContextHook(nullptr);
    EXPECT_EQ(Helps, std::vector<int32_t>{42});
    TfrmSelColor Plain;
    Plain.show();
    EXPECT_FALSE(Plain.btnApply->isVisible());
    EXPECT_FALSE(Plain.cboxPreview->isVisible());
}

const char* const Key = "Software\\Tavro\\Test";

TEST(ColorDialogWex, RemembersPagePlaceAndOptions)
{
    WriteUserSettingText(nullptr, Key, "ColDlg", "2,-5,40,1,1,0");
    TColorDialogWex D;
    D.RegistryKey = Key;
    D.RegistryName = "ColDlg";
    D.Color = 0x010203;
    D.Run = [](TfrmSelColor* F) {
        EXPECT_EQ(F->ActivePage(), 2);
        EXPECT_TRUE(F->cboxHex->isChecked());
        EXPECT_TRUE(F->cboxPreview->isChecked());
        EXPECT_FALSE(F->cboxBlock->isChecked());
        EXPECT_TRUE(WorkArea().contains(F->frameGeometry())); // centred: the stored left is negative
        F->SetColor(0xABCDEF);
        F->SetPage(1);
        F->cboxBlock->setChecked(true);
        return int(QDialog::Rejected);
    };
    EXPECT_FALSE(D.Execute());
    EXPECT_EQ(D.Color, 0x010203); // cancel keeps the colour
    const std::string Saved = ReadUserSettingText(nullptr, Key, "ColDlg");
    EXPECT_EQ(Saved.substr(0, 2), "1,");
    EXPECT_EQ(Saved.substr(Saved.size() - 6), ",1,1,1");
}

TEST(ColorDialogWex, PlacedWhereRememberedOrCentredOverItsOwner)
{
    QWidget Owner;
    const QRect Area = WorkArea();
    Owner.setGeometry(QRect(QPoint(0, 0), Area.size() * 3 / 4).translated(Area.topLeft() + QPoint(Area.width() / 8, Area.height() / 8)));
    Owner.show();
    struct {
        const char* Saved;
        bool SavePosition;
        bool Centred;
    } const Cases[] = {{"1,40,30,0,0,0", true, false}, {"1,40,30,0,0,0", false, true},
                       {"1,-1,30,0,0,0", true, true},  {"1,40,-30,0,0,0", true, true}, {"", true, true}};
    for (const auto& C : Cases) {
        WriteUserSettingText(nullptr, Key, "ColDlgObjPro", C.Saved);
        TColorDialogWex D(&Owner);
        D.RegistryKey = Key;
        D.RegistryName = "ColDlgObjPro";
        D.SavePosition = C.SavePosition;
        QRect Placed;
        D.Run = [&](TfrmSelColor* F) { return Placed = F->frameGeometry(), int(QDialog::Rejected); };
        D.Execute();
        if (C.Centred) {
            EXPECT_LE((Placed.center() - Owner.frameGeometry().center()).manhattanLength(), 2) << C.Saved;
        } else {
            EXPECT_EQ(Placed.topLeft(), Area.topLeft() + QPoint(40, 30)) << C.Saved;
        }
    }
}

TEST(ColorDialogWex, OffScreenPlacesAndWildPagesAreBroughtBack)
{
    const std::filesystem::path Ini = std::filesystem::temp_directory_path() / "color_dialog_wex_test.ini";
    std::filesystem::remove(Ini);
    TMemIniFile Settings(Ini.string());
    Settings.WriteString("4.0", "ColDlgNuri", "9,100000,-100000,0,0,1");
    TColorDialogWex D;
    D.SetStorage(&Settings);
    D.RegistryKey = "4.0";
    D.RegistryName = "ColDlgNuri";
    D.Color = 0x102030;
    QRect Placed;
    int Page = 0;
    D.Run = [&](TfrmSelColor* F) {
        Placed = F->geometry();
        Page = F->ActivePage();
        F->SetColor(0x405060);
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(D.Execute());
    EXPECT_EQ(D.Color, 0x405060);
    EXPECT_EQ(Page, 3);
    EXPECT_TRUE(WorkArea().intersects(Placed));
    EXPECT_GE(Placed.top(), WorkArea().top());
    EXPECT_EQ(Settings.ReadString("4.0", "ColDlgNuri", "").substr(0, 2), "3,");
    D.Page = 2; // a page asked for wins over the remembered one
    D.Run = [&](TfrmSelColor* F) { return Page = F->ActivePage(), int(QDialog::Rejected); };
    D.Execute();
    EXPECT_EQ(Page, 2);
}

// The hint window over a cell: its text on the cell's colour; gone when the
// cursor leaves the cell.
TEST(FrmSelColor, CellHints)
{
    Form T;
    T.F.SetPage(3);
    QHelpEvent Help(QEvent::ToolTip, QPoint(4 * 17 + 5, 12 * 17 + 5), QPoint(300, 300));
    QApplication::sendEvent(T.F.pboxWeb, &Help);
    ASSERT_NE(T.F.pboxWeb->HintWindow(), nullptr);
    EXPECT_TRUE(T.F.pboxWeb->HintWindow()->isVisible());
    EXPECT_EQ(T.F.pboxWeb->HintWindow()->Text(), QStringLiteral("RGB = $FF0000"));
    EXPECT_EQ(T.F.pboxWeb->HintWindow()->Color(), 0x0000FF);
    QTest::mouseMove(T.F.pboxWeb, QPoint(4 * 17 + 8, 12 * 17 + 8)); // same cell
    EXPECT_TRUE(T.F.pboxWeb->HintWindow()->isVisible());
    QTest::mouseMove(T.F.pboxWeb, QPoint(5 * 17 + 8, 12 * 17 + 8));
    EXPECT_FALSE(T.F.pboxWeb->HintWindow()->isVisible());
    QHelpEvent Empty(QEvent::ToolTip, QPoint(16 * 17 + 5, 12 * 17 + 5), QPoint(300, 300));
    QApplication::sendEvent(T.F.pboxWeb, &Empty); // no colour there: no hint
    EXPECT_FALSE(T.F.pboxWeb->HintWindow()->isVisible());
    T.F.SetPage(1);
    T.F.cboxBlock->setChecked(true);
    T.F.SetSelected(ccSat);
    QHelpEvent Bar(QEvent::ToolTip, QPoint(20, 5), QPoint(300, 300)); // the top cell: saturation 256
    QApplication::sendEvent(T.F.pboxVBar, &Bar);
    ASSERT_NE(T.F.pboxVBar->HintWindow(), nullptr);
    EXPECT_TRUE(T.F.pboxVBar->HintWindow()->Text().contains(QStringLiteral("彩度 = 100 %")));
}

// The custom-drawn parts at their fixed sizes.
TEST(FrmSelColor, GoldenFields)
{
    Form T(0x3366CC);
    T.F.SetSelected(ccHue);
    ExpectMatchesGolden(T.F.pbox->Picture(), "../editors/color_field_hue.png");
    ExpectMatchesGolden(T.F.pboxVBar->Picture(), "../editors/color_bar_hue.png");
    T.F.cboxBlock->setChecked(true);
    T.F.SetSelected(ccRed);
    ExpectMatchesGolden(T.F.pbox->Picture(), "../editors/color_blocks_red.png");
    ExpectMatchesGolden(T.F.pboxVBar->Picture(), "../editors/color_blockbar_red.png");
    ExpectMatchesGolden(T.F.pboxPalette->Picture(), "../editors/color_palette.png");
    ExpectMatchesGolden(T.F.pboxWeb->Picture(), "../editors/color_web.png");
}

} // namespace

namespace {

// The real screen: a window of a known colour is read back where it stands.
// Offscreen and under X11 (Xvfb) the screen can be grabbed; where it cannot
// the eyedropper is off, which the test above pins.
TEST(FrmSelColor, EyedropperReadsTheRealScreen)
{
    QWidget Patch(nullptr, Qt::FramelessWindowHint);
    Patch.setAutoFillBackground(true);
    QPalette Pal = Patch.palette();
    Pal.setColor(QPalette::Window, QColor(0x12, 0x34, 0x56));
    Patch.setPalette(Pal);
    Patch.setGeometry(WorkArea().left() + 50, WorkArea().top() + 50, 40, 40);
    Patch.show();
    ASSERT_TRUE(BecomesExposed(&Patch));
    QTest::qWait(50);
    const QPoint Centre = Patch.mapToGlobal(QPoint(20, 20));
    QRect Geometry;
    const QImage Screen = GrabWholeScreen(Centre, Geometry);
    if (Screen.isNull())
        GTEST_SKIP() << "this platform cannot grab the screen";
    EXPECT_EQ(ScreenPixelColor(Screen, Geometry, Centre), 0x563412);
    TfrmSelColor F;
    EXPECT_TRUE(F.pboxSpoit->isEnabled());
}

} // namespace
