// Page setup and printing on the session's one printer, the real one (here
// the PDF printer, no system printer being installed): margins set up are
// the margins printed, and the printer set-up changes the printer both use.
#include "page_setup_test_support.h"

#include "shell/child_print.h"
#include "shell/printer_setup_form.h"
#include "ui/edit_track_bar_wex.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QPageSize>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

namespace {

// Body gets the modal dialog of type D once it is open; any other modal
// window is closed, so that a test never hangs on it.
template <class D, class F>
void WithModal(F&& Body, QString* Seen = nullptr)
{
    QTimer::singleShot(0, [Body, Seen] {
        QWidget* W = QApplication::activeModalWidget();
        if (Seen)
            *Seen = W ? QString(W->metaObject()->className()) + ":" + W->windowTitle() : QString();
        if (auto* Dialog = qobject_cast<D*>(W))
            Body(*Dialog);
        else if (auto* Other = qobject_cast<QDialog*>(W))
            Other->reject();
    });
}

// The real printer reader and a fresh session printer; message boxes recorded.
struct SessionPrinterTest : ChildFormTest {
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBoxes;
    TPrinterSpecReader OldReader;
    void SetUp() override
    {
        ChildFormTest::SetUp();
        ResetCurrentPrinter();
        OldReader = SetPrinterSpecReader(nullptr);
        OldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t F) {
            Boxes.push_back(Text);
            return DefaultMessageBoxAnswer(F);
        });
    }
    void TearDown() override
    {
        SetPrintDialogProc(nullptr);
        SetMessageBoxHandler(OldBoxes);
        SetPrinterSpecReader(OldReader);
        ResetCurrentPrinter();
        ChildFormTest::TearDown();
    }
};

} // namespace

TEST_F(SessionPrinterTest, MarginsSetUpAreTheMarginsPrinted)
{
    if (QProcess::execute("pdftoppm", {"-v"}) < 0)
        GTEST_SKIP() << "poppler-utils missing (tools/setup installs them)";
    TfrmChild* W = Open(400, 300);
    TPage& P = PageOf(W);
    P.SetBkColor(0xFF0000); // blue
    int32_t Dpi = 0;
    WithModal<TfrmSettingPage>([&](TfrmSettingPage& D) {
        // A paper of its own first: the print is on the printer set up here.
        WithModal<TfrmPrinterSetup>([](TfrmPrinterSetup& S) {
            S.cmbPaper->setCurrentText(QPageSize(QPageSize::A3).name());
            S.rbLandscape->setChecked(true);
            S.btnOK->click();
        });
        D.btnSetPrinter->click();
        Dpi = D.Printer().DpiX;
        TypeInto(D.edtLeftMargin, "2");
        TypeInto(D.edtTopMargin, "3");
        D.accept();
    });
    W->actPrintSetupExecute();
    // The PDF printer at its own resolution, no warning of a missing printer.
    EXPECT_EQ(Boxes, std::vector<std::string>{});
    EXPECT_EQ(Dpi, CurrentPrinter().resolution());
    EXPECT_EQ(P.PrintPosition().Left, TfrmSettingPage::UnitToPixel(2, 1, Dpi));
    EXPECT_EQ(P.PrintPosition().Top, TfrmSettingPage::UnitToPixel(3, 1, Dpi));

    const std::string Pdf = Folders.Tmp.Dir + "/margins.pdf";
    SetPrintDialogProc([&](QPrinter& Printer, QWidget*) {
        Printer.setOutputFileName(QString::fromStdString(Pdf));
        return true;
    });
    W->actPrintExecute();
    ASSERT_EQ(QProcess::execute("pdftoppm", {"-r", "300", "-png", "-singlefile", QString::fromStdString(Pdf),
                                             QString::fromStdString(Folders.Tmp.Dir + "/margins")}),
              0);
    const QImage Printed(QString::fromStdString(Folders.Tmp.Dir + "/margins.png"));
    ASSERT_FALSE(Printed.isNull());
    // A3 lying at 300 dpi (the PDF rounds its sides to whole points).
    EXPECT_NEAR(Printed.width(), 420 / 25.4 * 300, 3);
    EXPECT_NEAR(Printed.height(), 297 / 25.4 * 300, 3);
    // The blue block's edges on the paper, in pixels at 300 dpi.
    int Left = Printed.width(), Top = Printed.height(), Right = -1, Bottom = -1;
    for (int Y = 0; Y < Printed.height(); ++Y)
        for (int X = 0; X < Printed.width(); ++X)
            if (qBlue(Printed.pixel(X, Y)) > 200 && qRed(Printed.pixel(X, Y)) < 60) {
                Left = std::min(Left, X), Right = std::max(Right, X);
                Top = std::min(Top, Y), Bottom = std::max(Bottom, Y);
            }
    // The printable area's corner, then 2 cm and 3 cm; the page 400 x 300
    // pixels at 72 DPI.
    const QMarginsF M = CurrentPrinter().pageLayout().margins(QPageLayout::Point);
    EXPECT_NEAR(Left, (M.left() / 72 + 2 / 2.54) * 300, 1.5);
    EXPECT_NEAR(Top, (M.top() / 72 + 3 / 2.54) * 300, 1.5);
    EXPECT_NEAR(Right + 1 - Left, 400.0 / 72 * 300, 1.5);
    EXPECT_NEAR(Bottom + 1 - Top, 300.0 / 72 * 300, 1.5);
}

TEST_F(SessionPrinterTest, PrinterSetupChoosesPrinterAndPaperOfTheSessionsPrinter)
{
    auto Dialog = std::make_unique<TfrmSettingPage>();
    TrecLogPict Pict;
    Dialog->SetUp(Pict, TrecPrintPosition{});
    EXPECT_EQ(Boxes, std::vector<std::string>{});
    EXPECT_EQ(Dialog->lblPrinterName->text(), PdfPrinterName);
    QString Seen;
    QStringList Printers, Papers;
    WithModal<TfrmPrinterSetup>(
        [&](TfrmPrinterSetup& S) {
            for (int I = 0; I < S.cmbPrinter->count(); ++I)
                Printers << S.cmbPrinter->itemText(I);
            for (int I = 0; I < S.cmbPaper->count(); ++I)
                Papers << S.cmbPaper->itemText(I);
            S.cmbPaper->setCurrentText(QPageSize(QPageSize::A3).name());
            S.rbLandscape->setChecked(true);
            S.btnOK->click();
        },
        &Seen);
    Dialog->btnSetPrinter->click();
    EXPECT_EQ(Seen, "TfrmPrinterSetup:プリンタの設定");
    EXPECT_EQ(Printers.value(Printers.size() - 1), PdfPrinterName);
    EXPECT_TRUE(Papers.contains(QPageSize(QPageSize::A4).name())) << Papers.join(",").toStdString();
    EXPECT_EQ(Boxes, std::vector<std::string>{});
    // A3 lying, at the printer's resolution, in the dialog and in the
    // printer that printing uses.
    const int32_t Dpi = CurrentPrinter().resolution();
    const QSize A3 = QPageSize(QPageSize::A3).sizePixels(Dpi);
    const TPrinterSpec& S = Dialog->Printer();
    EXPECT_EQ((std::vector<int32_t>{S.DpiX, S.PaperWidth, S.PaperHeight}),
              (std::vector<int32_t>{Dpi, A3.height(), A3.width()}));
    EXPECT_EQ(Dialog->lblPaperName->text(), QPageSize(QPageSize::A3).name());
    EXPECT_TRUE(CurrentPrinter().pageLayout().pageSize().isEquivalentTo(QPageSize(QPageSize::A3)));
    EXPECT_EQ(CurrentPrinter().pageLayout().orientation(), QPageLayout::Landscape);
    // The next page setup measures on it; Cancel in the set-up changes nothing.
    Dialog = std::make_unique<TfrmSettingPage>();
    EXPECT_EQ(Dialog->Printer().PaperWidth, A3.height());
    WithModal<TfrmPrinterSetup>([](TfrmPrinterSetup& S) {
        S.cmbPaper->setCurrentText(QPageSize(QPageSize::A5).name());
        S.btnCancel->click();
    });
    Dialog->btnSetPrinter->click();
    EXPECT_EQ(Dialog->Printer().PaperWidth, A3.height());
    EXPECT_TRUE(CurrentPrinter().pageLayout().pageSize().isEquivalentTo(QPageSize(QPageSize::A3)));
}
