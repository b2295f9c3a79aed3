// The page setup dialog on its own: conversions, edit ranges, the printer
// (a stand-in, or none), centring, the preview's scale, moves and resizes,
// and the values read back.
#include "page_setup_test_support.h"

#include "editors/frm_sel_color.h"
#include "foundation/user_error.h"
#include "platform/qt/qt_services.h"
#include "shell/grid_option_form.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/paint_box_wex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPageSize>
#include <QPushButton>

#include <cmath>
#include <limits>

TEST(PageSetupUnits, ConversionsBothWays)
{
    struct Case {
        double Value;
        uint8_t Unit;
        int32_t DPI;
        int32_t Pixels;
    };
    for (const Case& C : std::vector<Case>{{14.11, 1, 72, 400},
                                           {10.58, 1, 72, 300},
                                           {2.54, 1, 300, 300},
                                           {1.5, 2, 96, 144},
                                           {20, 2, 72, 1440},
                                           {399.5, 0, 72, 400},
                                           {0.01, 1, 72, 0},
                                           {-1, 0, 72, 0},
                                           {-1, 1, 72, -27}})
        EXPECT_EQ(TfrmSettingPage::UnitToPixel(C.Value, C.Unit, C.DPI), C.Pixels) << C.Value << " " << int(C.Unit);
    struct Back {
        int32_t Pixels;
        uint8_t Unit;
        int32_t DPI;
        double Value;
    };
    for (const Back& B : std::vector<Back>{{400, 0, 72, 400}, {400, 1, 72, 400 * 2.54 / 72}, {300, 2, 150, 2}})
        EXPECT_DOUBLE_EQ(TfrmSettingPage::PixelToUnit(B.Pixels, B.Unit, B.DPI), B.Value);
    auto Message = [](auto&& F) {
        try {
            F();
        } catch (const EUserError& E) {
            return std::string(E.what());
        }
        return std::string("(none)");
    };
    EXPECT_EQ(Message([] { TfrmSettingPage::UnitToPixel(1, 3, 72); }), "UnitToPixel: Unit Type Illegal");
    EXPECT_EQ(Message([] { TfrmSettingPage::PixelToUnit(1, 3, 72); }), "PixelToUnit: Unit Type Illegal");
    EXPECT_EQ(Message([] { TfrmSettingPage::PixelToUnit(1, 1, 0); }), "TfrmSettingPage.PixelToUnit: (FiDPI <= 0)");
    EXPECT_EQ(Message([] { UnitEditRange(3); }), "TfrmSettingPage.ResetEditParam: Illegal FrecLogPict.FutUnit");
    for (const auto& [V, Text] : std::vector<std::pair<double, QString>>{
             {400 * 2.54 / 72, "14.11"}, {20, "20"}, {0.5, "0.5"}, {0.004, "0"}, {1.006, "1.01"}})
        EXPECT_EQ(FormatUnitValue(V), Text) << V;
}

TEST_F(PageSetupTest, ShowsCentimetresAndTheUnitsRanges)
{
    Make(400, 300, 72, 1);
    EXPECT_EQ(D->windowTitle(), "ページ設定");
    EXPECT_EQ(D->EdtWidthUnit->text(), "14.11");
    EXPECT_EQ(D->EdtHeightUnit->text(), "10.58");
    EXPECT_EQ(D->EdtWidthPixel->text(), "400");
    EXPECT_EQ(D->EdtDPI->currentText(), "72");
    EXPECT_EQ(D->lblUnitH->text(), "cm");
    struct Range {
        int Unit;
        double Precision, Min, Max, Line, Page;
    };
    for (const Range& R : std::vector<Range>{{2, 0.01, 0.01, 20, 0.1, 0.5},
                                             {0, 1, 1, 1000, 1, 5},
                                             {1, 0.01, 0.01, 50, 0.1, 0.5}}) {
        D->cmbUnitType->setCurrentIndex(R.Unit);
        for (TEditTrackBarWex* E : {D->EdtWidthUnit, D->EdtHeightUnit, D->edtLeftMargin, D->edtTopMargin}) {
            EXPECT_EQ(E->Precision(), R.Precision) << R.Unit;
            EXPECT_EQ(E->Min(), E == D->edtLeftMargin || E == D->edtTopMargin ? 0 : R.Min) << R.Unit;
            EXPECT_EQ(E->Max(), R.Max) << R.Unit;
            EXPECT_EQ(E->LineSize, R.Line) << R.Unit;
            EXPECT_EQ(E->PageSize, R.Page) << R.Unit;
        }
    }
    D->cmbUnitType->setCurrentIndex(2);
    EXPECT_EQ(D->EdtWidthUnit->text(), "5.56");
    EXPECT_EQ(D->lblUnitH->text(), "ｲﾝﾁ");
    EXPECT_EQ(D->LogPict().Unit, 2);
    EXPECT_EQ(D->LogPict().Width, 400);
}

TEST_F(PageSetupTest, WithoutPrinterSaysSoAndUsesAThousandSquare)
{
    SetPrinterSpecReader([](QPrinter&) { return TPrinterSpec{}; });
    Make(400, 300, 72, 0);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], "プリンタが有効でありません。");
    const TPrinterSpec& P = D->Printer();
    EXPECT_EQ((std::vector<int32_t>{P.DpiX, P.DpiY, P.PaperWidth, P.PaperHeight, P.PageWidth, P.PageHeight}),
              (std::vector<int32_t>{72, 72, 1000, 1000, 1000, 1000}));
    EXPECT_EQ(D->PrintWidth(), 400);
    EXPECT_EQ(D->lblAvailable->text(), "(0, 0)-(1000, 1000)Pixcel");
}

TEST(PageSetupPrinter, ThePdfPrinterIsAPrinterWithItsResolutionAndPaper)
{
    struct Case {
        int Dpi;
        QPageSize::PageSizeId Paper;
        QMarginsF Margins; // in points
    };
    for (const Case& C : std::vector<Case>{{1200, QPageSize::A4, {10, 10, 10, 10}},
                                           {300, QPageSize::A3, {0, 36, 0, 0}},
                                           {600, QPageSize::Letter, {72, 18, 36, 9}}}) {
        QPrinter Pdf;
        Pdf.setOutputFormat(QPrinter::PdfFormat);
        Pdf.setResolution(C.Dpi);
        Pdf.setPageSize(QPageSize(C.Paper));
        Pdf.setPageMargins(C.Margins, QPageLayout::Point);
        const TPrinterSpec S = ReadPrinterSpec(Pdf);
        const QSize Paper = QPageSize(C.Paper).sizePixels(C.Dpi);
        auto Px = [&](double Points) { return int32_t(std::lround(Points * C.Dpi / 72)); };
        EXPECT_TRUE(S.Valid);
        EXPECT_EQ((std::vector<int32_t>{S.DpiX, S.DpiY, S.PaperWidth, S.PaperHeight, S.OffsetX, S.OffsetY}),
                  (std::vector<int32_t>{C.Dpi, C.Dpi, Paper.width(), Paper.height(), Px(C.Margins.left()),
                                        Px(C.Margins.top())}))
            << C.Dpi;
        EXPECT_NEAR(S.PageWidth, Paper.width() - Px(C.Margins.left()) - Px(C.Margins.right()), 1);
        EXPECT_NEAR(S.PageHeight, Paper.height() - Px(C.Margins.top()) - Px(C.Margins.bottom()), 1);
        EXPECT_EQ(S.PrinterName, PdfPrinterName);
        EXPECT_EQ(QString::fromStdString(S.PaperName), QPageSize(C.Paper).name());
    }
}

TEST_F(PageSetupTest, CentringDisablesTheMarginAndCentresOnThePrintableArea)
{
    Make(400, 300, 72, 1);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(D->lblPrinterName->text(), "Test printer");
    EXPECT_EQ(D->lblPaperName->text(), "A4");
    EXPECT_EQ(D->PrintWidth(), 1667);
    EXPECT_EQ(D->PrintHeight(), 1250);
    D->cboxHCenter->setChecked(true);
    EXPECT_FALSE(D->edtLeftMargin->isEnabled());
    EXPECT_EQ(D->PrintPosition().Left, (2380 - 1667) / 2);
    EXPECT_EQ(D->PrintPosition().CenterH, 1);
    EXPECT_EQ(D->edtLeftMargin->text(), FormatUnitValue((2380 - 1667) / 2 * 2.54 / 300));
    D->cboxVCenter->setChecked(true);
    EXPECT_EQ(D->PrintPosition().Top, (3366 - 1250) / 2);
    // A new size stays centred.
    TypeInto(D->EdtWidthPixel, "200");
    EXPECT_EQ(D->PrintPosition().Left, (2380 - 833) / 2);
    D->cboxHCenter->setChecked(false);
    EXPECT_TRUE(D->edtLeftMargin->isEnabled());
    TypeInto(D->edtLeftMargin, "1");
    EXPECT_EQ(D->PrintPosition().Left, 118);
    EXPECT_EQ(D->PrintPosition().CenterH, 0);
}

TEST_F(PageSetupTest, UnreadableOrTinyLengthsKeepAPage)
{
    Make(400, 300, 72, 1);
    // Nothing typed yet, or letters: the page stays as it was.
    TypeInto(D->EdtWidthUnit, "");
    D->EdtHeightUnit->setText("abc");
    EXPECT_EQ(D->LogPict().Width, 400);
    EXPECT_EQ(D->LogPict().Height, 300);
    // Less than half a pixel is still one pixel. No length at all ("0", on
    // its way into the range until entered) is refused when entered, as a
    // size below its least is in every number edit: the page keeps its size
    // and the edit shows it.
    TypeInto(D->EdtWidthUnit, "0");
    QTest::keyClick(D->EdtWidthUnit, Qt::Key_Return);
    EXPECT_EQ(D->LogPict().Width, 400);
    EXPECT_EQ(D->EdtWidthUnit->text(), "14.11");
    TypeInto(D->EdtWidthUnit, "0.01");
    QTest::keyClick(D->EdtWidthUnit, Qt::Key_Return);
    EXPECT_EQ(D->LogPict().Width, 1);
    D->cmbUnitType->setCurrentIndex(0);
    TypeInto(D->EdtHeightUnit, "0");
    QTest::keyClick(D->EdtHeightUnit, Qt::Key_Return);
    EXPECT_EQ(D->LogPict().Height, 300);
    EXPECT_EQ(D->EdtHeightUnit->text(), "300");
    TypeInto(D->EdtHeightUnit, "250");
    EXPECT_EQ(D->LogPict().Height, 250);
    EXPECT_EQ(D->EdtHeightPixel->text(), "250");
}

TEST_F(PageSetupTest, MaximaAreAtLeastTheOpenedPage)
{
    Make(3000, 200, 72, 0);
    EXPECT_EQ(D->EdtWidthUnit->Max(), 3000);
    EXPECT_EQ(D->EdtHeightUnit->Max(), 1000);
    EXPECT_EQ(D->MaxPixelWidth(), 3000);
    EXPECT_EQ(D->EdtWidthUnit->text(), "3000");
    D->cmbUnitType->setCurrentIndex(2);
    EXPECT_EQ(D->EdtWidthUnit->Max(), 3000.0 / 72);
    EXPECT_EQ(D->EdtHeightUnit->Max(), 20);
    EXPECT_EQ(D->LogPict().Width, 3000);
}

TEST(PageSetupPreview, ScaleCentresThePaperWhereThereIsRoom)
{
    struct Case {
        int32_t W, H, PaperW, PaperH;
        double Scale;
        int32_t Left, Top;
    };
    for (const Case& C : std::vector<Case>{{220, 320, 1000, 2000, 0.15, 35, 10},
                                           {420, 220, 1000, 1000, 0.2, 110, 10},
                                           {120, 120, 1000, 1000, 0.1, 10, 10}}) {
        const TPreviewScale S = PreviewScale(C.W, C.H, C.PaperW, C.PaperH);
        EXPECT_DOUBLE_EQ(S.Scale, C.Scale);
        EXPECT_EQ(S.Left, C.Left);
        EXPECT_EQ(S.Top, C.Top);
    }
}

TEST(PageSetupPreview, ResizeTakesEachSideByItsOwnResolutionWithinTheEdits)
{
    struct Case {
        int32_t W, H, DpiX, DpiY, MaxW, MaxH;
        int32_t PageW, PageH;
    };
    // 0.1 preview pixels per printer pixel, a 72 DPI page.
    for (const Case& C : std::vector<Case>{{30, 30, 300, 150, 1000, 1000, 72, 144},
                                           {30, 30, 150, 300, 1000, 1000, 144, 72},
                                           {0, -5, 300, 300, 1000, 1000, 1, 1},
                                           {900, 900, 72, 72, 1000, 500, 1000, 500}}) {
        int32_t PW = 0, PH = 0;
        PreviewRectToPageSize(C.W, C.H, 0.1, C.DpiX, C.DpiY, 72, C.MaxW, C.MaxH, PW, PH);
        EXPECT_EQ(PW, C.PageW) << C.W << " " << C.DpiX;
        EXPECT_EQ(PH, C.PageH) << C.H << " " << C.DpiY;
    }
}

TEST_F(PageSetupTest, DraggingThePageMovesItAndEndsTheCentring)
{
    Make(400, 300, 72, 1);
    D->cboxHCenter->setChecked(true);
    const TRect R = D->PreviewSelection().Rect();
    const QPoint Inside((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
    const int32_t Left = D->PrintPosition().Left;
    QTest::mousePress(D->PaintBox, Qt::LeftButton, {}, Inside);
    QTest::mouseMove(D->PaintBox, Inside + QPoint(2, 2));
    EXPECT_TRUE(D->cboxHCenter->isChecked()) << "3 pixels or less is no move";
    QTest::mouseMove(D->PaintBox, Inside + QPoint(20, 0));
    QTest::mouseRelease(D->PaintBox, Qt::LeftButton, {}, Inside + QPoint(20, 0));
    EXPECT_FALSE(D->cboxHCenter->isChecked());
    EXPECT_TRUE(D->edtLeftMargin->isEnabled());
    const double S = D->Preview().Scale;
    EXPECT_NEAR(D->PrintPosition().Left, Left + 20 / S, 1 / S + 1);
    EXPECT_EQ(D->PreviewSelection().Rect().Left, R.Left + 20);
    EXPECT_EQ(D->LogPict().Width, 400);
}

TEST_F(PageSetupTest, ResizingThePageInThePreviewStaysInTheEditsRange)
{
    Printer.DpiY = 150;
    Make(400, 300, 72, 0);
    D->cboxHCenter->setChecked(true);
    const double S = D->Preview().Scale;
    // The bottom-right corner: the width by the horizontal, the height by
    // the vertical resolution.
    TRect R = D->PreviewSelection().Rect();
    QTest::mousePress(D->PaintBox, Qt::LeftButton, {}, QPoint(R.Right, R.Bottom));
    QTest::mouseMove(D->PaintBox, QPoint(R.Right + 10, R.Bottom + 10));
    QTest::mouseMove(D->PaintBox, QPoint(R.Left + 40, R.Top + 40));
    QTest::mouseRelease(D->PaintBox, Qt::LeftButton, {}, QPoint(R.Left + 40, R.Top + 40));
    EXPECT_EQ(D->LogPict().Width, std::lround(40 / S * 72 / 300));
    EXPECT_EQ(D->LogPict().Height, std::lround(40 / S * 72 / 150));
    EXPECT_FALSE(D->cboxHCenter->isChecked());
    EXPECT_EQ(D->EdtHeightUnit->text(), QString::number(D->LogPict().Height));
    R = D->PreviewSelection().Rect();
    EXPECT_NEAR(R.Right - R.Left, 40, 1);
    EXPECT_NEAR(R.Bottom - R.Top, 40, 1);
    // The right edge beyond the left one: no page of 0 pixels, and none
    // beyond the largest the edits take.
    const int32_t Y = (R.Top + R.Bottom) / 2;
    QTest::mousePress(D->PaintBox, Qt::LeftButton, {}, QPoint(R.Right, Y));
    QTest::mouseMove(D->PaintBox, QPoint(R.Right - 10, Y));
    QTest::mouseMove(D->PaintBox, QPoint(R.Left, Y));
    QTest::mouseRelease(D->PaintBox, Qt::LeftButton, {}, QPoint(R.Left, Y));
    EXPECT_EQ(D->LogPict().Width, 1);
    EXPECT_EQ(D->EdtWidthPixel->text(), "1");
    R = D->PreviewSelection().Rect();
    QTest::mousePress(D->PaintBox, Qt::LeftButton, {}, QPoint(R.Left, R.Bottom));
    QTest::mouseMove(D->PaintBox, QPoint(R.Left, R.Bottom + 10));
    QTest::mouseMove(D->PaintBox, QPoint(R.Left, D->PaintBox->height() * 3));
    QTest::mouseRelease(D->PaintBox, Qt::LeftButton, {}, QPoint(R.Left, D->PaintBox->height() * 3));
    EXPECT_EQ(D->LogPict().Height, 1000);
}

TEST_F(PageSetupTest, ColourBoxRunsThePickerAndKeepsItsChoice)
{
    Make(400, 300, 72, 1);
    int32_t Start = -1;
    D->RunColorDialog = [&](TfrmSelColor* F) {
        Start = F->StartColor();
        F->SetColor(0x123456);
        return int(QDialog::Accepted);
    };
    QTest::mouseClick(D->pboxBackColor, Qt::LeftButton);
    EXPECT_EQ(Start, 0xFFFFFF);
    EXPECT_EQ(D->LogPict().BkColor, 0x123456);
    EXPECT_EQ(D->pboxBackColor->grab().toImage().pixelColor(20, 10), QColor(0x56, 0x34, 0x12));
    D->RunColorDialog = [](TfrmSelColor* F) {
        F->SetColor(0);
        return int(QDialog::Rejected);
    };
    D->pboxBackColorClick();
    EXPECT_EQ(D->LogPict().BkColor, 0x123456);
}

TEST_F(PageSetupTest, PrinterSetupReadsThePrinterAgain)
{
    Make(400, 300, 72, 1);
    D->cboxHCenter->setChecked(true);
    D->RunPrinterSetup = [&](QPrinter&) {
        Printer.PageWidth = 3000;
        Printer.PaperName = "B4";
        return true;
    };
    D->btnSetPrinter->click();
    EXPECT_EQ(D->lblPaperName->text(), "B4");
    EXPECT_EQ(D->PrintPosition().Left, (3000 - 1667) / 2);
}

TEST_F(PageSetupTest, SizeEditsShowOneSizeAndOkRefusesALargerPageThanAPageCanBe)
{
    const std::string TooLarge = "画像が大きすぎます(47244 x 47244 ピクセル)。幅と高さの積が "
                                 "268435456 ピクセル以下になるようにしてください。";
    Make(400, 300, 72, 1);
    D->EdtDPI->setCurrentText("2400");
    TypeInto(D->EdtWidthUnit, "50");
    TypeInto(D->EdtHeightUnit, "50");
    // 50 cm at 2400 DPI are 47244 pixels, each side in both of its edits,
    // although a page cannot have that area.
    auto Shown = [&] {
        std::vector<std::string> Texts;
        for (const TEditTrackBarWex* E : {D->EdtWidthPixel, D->EdtWidthUnit, D->EdtHeightPixel, D->EdtHeightUnit})
            Texts.push_back(E->text().toStdString());
        return Texts;
    };
    EXPECT_EQ(Shown(), (std::vector<std::string>{"47244", "50", "47244", "50"}));
    EXPECT_EQ((std::pair{D->LogPict().Width, D->LogPict().Height}), (std::pair{47244, 47244}));
    TypeInto(D->EdtHeightPixel, "20000");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"47244", "50", "20000", "21.17"}));
    EXPECT_EQ(D->LogPict().Height, 20000);
    // Past an edit's maximum, both edits show where it holds.
    TypeInto(D->EdtHeightPixel, "99999");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"47244", "50", "47244", "50"}));
    TypeInto(D->EdtHeightUnit, "10");
    TypeInto(D->EdtHeightUnit, "60");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"47244", "50", "47244", "50"}));
    EXPECT_EQ(D->LogPict().Height, 47244);
    // A coarser resolution keeps the pixels, shown in both edits.
    D->EdtDPI->setCurrentText("72");
    EXPECT_EQ(Shown(), (std::vector<std::string>{"47244", "1666.66", "47244", "1666.66"}));
    D->EdtDPI->setCurrentText("2400");
    // OK keeps the dialog open with one message and the size as it is.
    D->btnOK->click();
    EXPECT_TRUE(D->isVisible());
    EXPECT_NE(D->result(), QDialog::Accepted);
    EXPECT_EQ(Boxes, std::vector<std::string>{TooLarge});
    EXPECT_EQ(Shown(), (std::vector<std::string>{"47244", "50", "47244", "50"}));
    // The largest height for that width is taken.
    TypeInto(D->EdtHeightPixel, QString::number((int64_t{1} << 28) / 47244));
    D->btnOK->click();
    EXPECT_FALSE(D->isVisible());
    EXPECT_EQ(D->result(), QDialog::Accepted);
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ((std::pair{D->LogPict().Width, D->LogPict().Height}), (std::pair{47244, 5681}));

    // A page larger than a page can be, from elsewhere, likewise.
    Boxes.clear();
    Make(47244, 47244, 2400, 1);
    D->btnOK->click();
    EXPECT_TRUE(D->isVisible());
    EXPECT_EQ(Boxes, std::vector<std::string>{TooLarge});
}

// The resolution keeps to the page's range: typed past 9600 it is 9600 at
// once, shown and taken; 0 is no resolution. A unit or resolution handed in
// out of its range counts as missing.
TEST_F(PageSetupTest, TheResolutionAndUnitKeepToThePagesRange)
{
    Make(400, 300, 0, 44);
    EXPECT_EQ(D->cmbUnitType->currentText(), "cm");
    EXPECT_EQ(D->EdtDPI->currentText(), "72");
    EXPECT_EQ(D->EdtWidthUnit->text(), "14.11");
    TypeInto(D->EdtDPI->lineEdit(), "99999");
    EXPECT_EQ(D->EdtDPI->currentText(), "9600");
    EXPECT_EQ(D->LogPict().DPI, 9600);
    EXPECT_EQ(D->EdtWidthUnit->text(), "0.11");
    TypeInto(D->EdtDPI->lineEdit(), "0");
    EXPECT_EQ(D->LogPict().DPI, 9600);
    TypeInto(D->EdtDPI->lineEdit(), "5");
    EXPECT_EQ(D->LogPict().DPI, 5);
    EXPECT_EQ(D->EdtWidthUnit->text(), "203.2");
    EXPECT_TRUE(Boxes.empty());
}

// What is typed into the resolution box, a size and the grid's steps is
// read as every number edit reads it: digits only (any other key beeps and
// is dropped), a number past the largest is the largest at once (with a
// beep), and one the box cannot take (0, a step or size of 0) is refused
// when the box is left, Enter is pressed or OK is clicked: a beep, and the
// box shows the value in use again, which is what OK hands back. An emptied
// box shows it again without a word. The list of resolutions completes
// nothing that is typed: "30" is 30.
TEST_F(PageSetupTest, TypedResolutionsSizesAndGridStepsFollowTheNumberEditsRule)
{
    enum TBox { Resolution, Width, GridStep };
    enum TEnd { Leave, Enter, Ok };
    struct TCase {
        TBox Box;
        const char* Typed;
        TEnd End;
        const char* Shown;
        int32_t Value;
        int Beeps;
    };
    const TCase Cases[] = {
        {Resolution, "", Leave, "72", 72, 0},       {Resolution, "0", Leave, "72", 72, 1},
        {Resolution, "0", Enter, "72", 72, 1},      {Resolution, "0", Ok, "72", 72, 1},
        {Resolution, "", Ok, "72", 72, 0},          {Resolution, "000", Ok, "72", 72, 1},
        {Resolution, "9x6", Leave, "96", 96, 1},    {Resolution, "9x6", Ok, "96", 96, 1},
        {Resolution, "-5", Ok, "5", 5, 1},          {Resolution, "30", Leave, "30", 30, 0},
        {Resolution, "30", Ok, "30", 30, 0},        {Resolution, "0300", Leave, "300", 300, 0},
        {Resolution, "12345", Leave, "9600", 9600, 1}, {Resolution, "600", Enter, "600", 600, 0},
        {Width, "0", Leave, "400", 400, 1},         {Width, "0", Enter, "400", 400, 1},
        {Width, "0", Ok, "400", 400, 1},            {Width, "250", Leave, "250", 250, 0},
        {GridStep, "0", Leave, "5", 5, 1},          {GridStep, "0", Enter, "5", 5, 1},
        {GridStep, "00", Leave, "5", 5, 1},         {GridStep, "", Leave, "5", 5, 0},
        {GridStep, "3x", Leave, "3", 3, 1},         {GridStep, "012", Enter, "12", 12, 0},
    };
    int Beeps = 0;
    const TMessageBeepHandler OldBeep = SetMessageBeepHandler([&](uint32_t) { ++Beeps; });
    for (const TCase& C : Cases) {
        SCOPED_TRACE(std::string(C.Box == Resolution ? "解像度" : C.Box == Width ? "幅" : "グリッド") + " \"" +
                     C.Typed + "\" " + (C.End == Leave ? "left" : C.End == Enter ? "Enter" : "OK"));
        TfrmDocOption Grid;
        QDialog* Dialog = &Grid;
        QWidget* Keys = Grid.edtGridNumX;
        QLineEdit* Box = Grid.edtGridNumX;
        QWidget* Next = Grid.edtGridNumY;
        if (C.Box == GridStep) {
            TrecGrid G{};
            G.Value3 = 5;
            G.Value4 = G.Value5 = G.Value6 = 1;
            Grid.SetUp(G, 0);
            Grid.show();
        } else {
            Make(400, 300, 72, 0);
            Dialog = D.get();
            Keys = C.Box == Resolution ? static_cast<QWidget*>(D->EdtDPI) : D->EdtWidthPixel;
            Box = C.Box == Resolution ? D->EdtDPI->lineEdit() : D->EdtWidthPixel;
            Next = D->EdtHeightPixel;
        }
        const auto Value = [&] {
            return C.Box == GridStep ? Grid.Grid().Value3 : C.Box == Resolution ? D->LogPict().DPI : D->LogPict().Width;
        };
        Dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Dialog));
        Keys->setFocus(Qt::TabFocusReason);
        Box->selectAll();
        QTest::keyClick(Keys, Qt::Key_Backspace);
        Beeps = 0;
        QTest::keyClicks(Keys, C.Typed);
        switch (C.End) {
        case Leave:
            Next->setFocus(Qt::TabFocusReason);
            break;
        case Enter:
            QTest::keyClick(Keys, Qt::Key_Return);
            break;
        case Ok:
            D->btnOK->click();
            break;
        }
        EXPECT_EQ(Box->text(), C.Shown);
        EXPECT_EQ(Value(), C.Value);
        EXPECT_EQ(Beeps, C.Beeps);
        EXPECT_EQ(Dialog->result(), C.End == Leave ? QDialog::Rejected : QDialog::Accepted);
        EXPECT_TRUE(Boxes.empty());
    }
    SetMessageBeepHandler(OldBeep);
}

TEST_F(PageSetupTest, DraggingThePageStopsAtTheMarginsZeroAndThePapersEdge)
{
    Make(400, 300, 72, 1, {200, 300, 0, 0});
    const double S = D->Preview().Scale;
    TRect R = D->PreviewSelection().Rect();
    const QPoint Inside((R.Left + R.Right) / 2, (R.Top + R.Bottom) / 2);
    QTest::mousePress(D->PaintBox, Qt::LeftButton, {}, Inside);
    QTest::mouseMove(D->PaintBox, Inside + QPoint(-5, 0));
    QTest::mouseMove(D->PaintBox, Inside + QPoint(-400, -400));
    EXPECT_EQ(D->PrintPosition().Left, 0);
    EXPECT_EQ(D->PrintPosition().Top, 0);
    EXPECT_EQ(D->edtLeftMargin->text(), "0");
    EXPECT_EQ(D->PreviewSelection().Rect().Left, D->Preview().Left + std::lround(50 * S));
    // Off the right and bottom: held at the paper's edge, where the
    // printable area's margins are below 0 (the paper is 2480 x 3508, the
    // printable area 2380 x 3366 from 50, 71; the page 1667 x 1250).
    QTest::mouseMove(D->PaintBox, Inside + QPoint(2000, 2000));
    EXPECT_EQ(D->PrintPosition().Left, 2480 - 50 - 1667);
    EXPECT_EQ(D->PrintPosition().Top, 3508 - 71 - 1250);
    EXPECT_EQ(D->lblRightMargin->text(), FormatUnitValue(-50 * 2.54 / 300) + " cm");
    QTest::mouseRelease(D->PaintBox, Qt::LeftButton, {}, Inside + QPoint(2000, 2000));
    // A handle dragged beyond the printable area's corner stops there too.
    R = D->PreviewSelection().Rect();
    QTest::mousePress(D->PaintBox, Qt::LeftButton, {}, QPoint(R.Left, R.Top));
    QTest::mouseMove(D->PaintBox, QPoint(R.Left - 10, R.Top - 10));
    QTest::mouseMove(D->PaintBox, QPoint(-50, -50));
    QTest::mouseRelease(D->PaintBox, Qt::LeftButton, {}, QPoint(-50, -50));
    EXPECT_EQ(D->PrintPosition().Left, 0);
    EXPECT_EQ(D->PrintPosition().Top, 0);
    EXPECT_EQ(D->edtTopMargin->text(), "0");
}

TEST_F(PageSetupTest, MarginsBelowZeroAreShownAsTheyAre)
{
    // 1000 pixels at 72 DPI are 4167 printer pixels, wider than the
    // printable 2380: centred, the page starts left of the printable area.
    Make(1000, 300, 72, 1, {0, 0, 1, 0});
    EXPECT_EQ(D->edtLeftMargin->text(), FormatUnitValue((2380 - 4167) / 2 * 2.54 / 300));
    EXPECT_EQ(D->edtLeftMargin->text(), "-7.56");
    // A stored position left of it, too.
    Make(400, 300, 72, 0, {-30, 12, 0, 0});
    EXPECT_EQ(D->edtLeftMargin->text(), "-30");
    EXPECT_EQ(D->PrintPosition().Left, -30);
    EXPECT_EQ(D->edtTopMargin->text(), "12");
}

TEST_F(PageSetupTest, StoredPositionsBeyondThePaperCountAsMissing)
{
    // The stand-in's paper runs from -50 to 2430 across and from -71 to
    // 3437 down the printable area's pixels.
    constexpr int32_t Low = std::numeric_limits<int32_t>::min(), High = std::numeric_limits<int32_t>::max();
    struct Case {
        int32_t Left, Top;
        uint8_t CenterH;
        int32_t ShownLeft, ShownTop;
    };
    for (const Case& C : std::vector<Case>{{Low, Low, 0, 0, 0},
                                           {High, High, 0, 0, 0},
                                           {Low, High, 1, 0, 0},
                                           {-51, 3438, 0, 0, 0},
                                           {-50, 3437, 0, -50, 3437},
                                           {2430, -71, 0, 2430, -71},
                                           {2431, -72, 0, 0, 0}}) {
        Make(400, 300, 72, 0, {C.Left, C.Top, C.CenterH, 0});
        EXPECT_EQ((std::pair{D->PrintPosition().Left, D->PrintPosition().Top}), (std::pair{C.ShownLeft, C.ShownTop}))
            << C.Left << " " << C.Top;
        EXPECT_EQ(D->PrintPosition().CenterH, C.CenterH);
        // Uncentred, the edits and the far margins show that place.
        D->cboxHCenter->setChecked(false);
        const int32_t Left = C.ShownLeft;
        EXPECT_EQ(D->PrintPosition().Left, Left);
        EXPECT_EQ((std::vector<std::string>{D->edtLeftMargin->text().toStdString(),
                                            D->edtTopMargin->text().toStdString(),
                                            D->lblRightMargin->text().toStdString(),
                                            D->lblBottomMargin->text().toStdString()}),
                  (std::vector<std::string>{std::to_string(Left), std::to_string(C.ShownTop),
                                            std::to_string(2380 - Left - 1667) + " Pixcel",
                                            std::to_string(3366 - C.ShownTop - 1250) + " Pixcel"}))
            << C.Left << " " << C.Top;
    }
}

TEST_F(PageSetupTest, SetUpKeepsTheStoredPlaceOfACentredPage)
{
    Make(400, 300, 72, 1, {5, 7, 1, 1});
    EXPECT_EQ(D->PrintPosition().Left, 5);
    EXPECT_EQ(D->PrintPosition().Top, 7);
    D->btnDefault->click();
    EXPECT_EQ(AppIniFile().ReadInteger("4.0", "PgDLeft", -1), 5);
    EXPECT_EQ(AppIniFile().ReadInteger("4.0", "PgDTop", -1), 7);
    // Shown where it prints: centred on the printable area.
    const int32_t Left = (2380 - 1667) / 2, Top = (3366 - 1250) / 2;
    EXPECT_EQ(D->edtLeftMargin->text(), FormatUnitValue(Left * 2.54 / 300));
    EXPECT_EQ(D->edtTopMargin->text(), FormatUnitValue(Top * 2.54 / 300));
    EXPECT_EQ(D->PreviewSelection().Rect().Left, D->Preview().Left + std::lround((50 + Left) * D->Preview().Scale));
    // Checking the box is what centres it.
    D->cboxHCenter->setChecked(false);
    EXPECT_EQ(D->PrintPosition().Left, 5);
    EXPECT_EQ(D->edtLeftMargin->text(), FormatUnitValue(5 * 2.54 / 300));
    D->cboxHCenter->setChecked(true);
    EXPECT_EQ(D->PrintPosition().Left, Left);
    EXPECT_EQ(D->PrintPosition().Top, 7);
}
