// The page defaults: written by the page setup dialog reached from the File
// menu, read by the next new document.
#include "shell_test_support.h"

#include "shell/setting_page_form.h"
#include "shell/tavro_action.h"
#include "ui/edit_track_bar_wex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include <fstream>
#include <limits>

class PageDefaultsTest : public TFrameTest {
protected:
    void SetUp() override
    {
        TFrameTest::SetUp();
        FOldReader = SetPrinterSpecReader([](QPrinter&) {
            TPrinterSpec S;
            S.Valid = true;
            S.PrinterName = "Test printer";
            return S;
        });
    }
    void TearDown() override
    {
        SetPrinterSpecReader(FOldReader);
        TFrameTest::TearDown();
    }
    TPrinterSpecReader FOldReader;
};

TEST_F(PageDefaultsTest, DefaultButtonWritesWhatTheNextNewDocumentTakes)
{
    Start();
    QAction* Setup = Frame->ActionByName("actPrintSetup");
    ASSERT_NE(Setup, nullptr);
    Frame->UpdateDocumentActions();
    EXPECT_TRUE(Setup->isEnabled());
    bool Opened = false;
    QTimer::singleShot(0, [&] {
        auto* D = qobject_cast<TfrmSettingPage*>(QApplication::activeModalWidget());
        ASSERT_NE(D, nullptr);
        Opened = true;
        D->EdtDPI->setCurrentText("96");
        D->cmbUnitType->setCurrentIndex(2);
        D->EdtWidthPixel->SetPosition(640);
        D->EdtHeightPixel->SetPosition(480);
        D->cboxHCenter->setChecked(true);
        D->RunColorDialog = [](TfrmSelColor*) { return int(QDialog::Rejected); };
        D->btnDefault->click();
        D->reject();
    });
    Setup->trigger();
    ASSERT_TRUE(Opened);
    for (const auto& [Key, Value] : std::vector<std::pair<const char*, const char*>>{{"PgDWidth", "640"},
                                                                                   {"PgDHeight", "480"},
                                                                                   {"PgDDPI", "96"},
                                                                                   {"PgDLeft", "260"},
                                                                                   {"PgDTop", "0"},
                                                                                   {"PgDHCtr", "1"},
                                                                                   {"PgDVCtr", "0"},
                                                                                   {"PgDBkCol", "16777215"},
                                                                                   {"PgDUnit", "2"}})
        EXPECT_EQ(Setting(Key), Value) << Key;
    // The dialog was cancelled: the page is as it was.
    EXPECT_EQ(ActivePage()->Width(), 400);

    Frame->actNew->trigger();
    TPage* P = ActivePage();
    ASSERT_NE(P, nullptr);
    EXPECT_EQ((std::vector<int32_t>{P->Width(), P->Height(), P->DPI(), P->Unit(), P->PrintPosition().Left,
                                    P->PrintPosition().CenterH, P->BkColor()}),
              (std::vector<int32_t>{640, 480, 96, 2, 260, 1, 0xFFFFFF}));
}

TEST_F(PageDefaultsTest, StoredPositionsAtTheEndsOfTheRangeOpenAsMissing)
{
    // The stand-in printer: 72 DPI, a 1000 x 1000 paper printable to its
    // edges; the new page is 400 x 300 at 72 DPI, in centimetres.
    AppIniFile().WriteString("4.0", "PgDLeft", "-2147483648");
    AppIniFile().WriteString("4.0", "PgDTop", "-2147483648");
    Start();
    TPage* P = ActivePage();
    ASSERT_NE(P, nullptr);
    ASSERT_EQ(P->PrintPosition().Left, std::numeric_limits<int32_t>::min());
    std::vector<std::string> Shown;
    QTimer::singleShot(0, [&] {
        auto* D = qobject_cast<TfrmSettingPage*>(QApplication::activeModalWidget());
        ASSERT_NE(D, nullptr);
        Shown = {D->edtLeftMargin->text().toStdString(), D->edtTopMargin->text().toStdString(),
                 D->lblRightMargin->text().toStdString(), D->lblBottomMargin->text().toStdString()};
        D->btnOK->click();
    });
    Frame->ActionByName("actPrintSetup")->trigger();
    EXPECT_EQ(Shown, (std::vector<std::string>{"0", "0", FormatUnitValue(600 * 2.54 / 72).toStdString() + " cm",
                                               FormatUnitValue(700 * 2.54 / 72).toStdString() + " cm"}));
    EXPECT_EQ((std::pair{P->PrintPosition().Left, P->PrintPosition().Top}), (std::pair{0, 0}));
}

// A stored unit, resolution or background colour out of its range counts as
// missing (centimetres, 72 DPI, white): the new page takes the default and
// its page setup opens on it. The ends of each range are taken as stored.
TEST_F(PageDefaultsTest, AUnitResolutionOrColourOutOfItsRangeCountsAsMissing)
{
    const struct {
        const char* Key;
        const char* Value;
        int32_t Unit, DPI, BkColor;
        const char* Width; // the page's 400 pixels in its unit
    } Cases[] = {
        {"PgDUnit", "300", 1, 72, 0xFFFFFF, "14.11"},  {"PgDUnit", "256", 1, 72, 0xFFFFFF, "14.11"},
        {"PgDUnit", "3", 1, 72, 0xFFFFFF, "14.11"},    {"PgDUnit", "-1", 1, 72, 0xFFFFFF, "14.11"},
        {"PgDUnit", "2", 2, 72, 0xFFFFFF, "5.56"},     {"PgDUnit", "0", 0, 72, 0xFFFFFF, "400"},
        {"PgDDPI", "0", 1, 72, 0xFFFFFF, "14.11"},     {"PgDDPI", "-72", 1, 72, 0xFFFFFF, "14.11"},
        {"PgDDPI", "9601", 1, 72, 0xFFFFFF, "14.11"},  {"PgDDPI", "2147483647", 1, 72, 0xFFFFFF, "14.11"},
        {"PgDDPI", "1", 1, 1, 0xFFFFFF, "1016"},       {"PgDDPI", "9600", 1, 9600, 0xFFFFFF, "0.11"},
        {"PgDBkCol", "-1", 1, 72, 0xFFFFFF, "14.11"},  {"PgDBkCol", "16777216", 1, 72, 0xFFFFFF, "14.11"},
        {"PgDBkCol", "0", 1, 72, 0, "14.11"},
    };
    for (const auto& C : Cases) {
        AppIniFile().EraseSection("4.0");
        AppIniFile().WriteString("4.0", C.Key, C.Value);
        Boxes.clear();
        Start();
        TPage* P = ActivePage();
        ASSERT_NE(P, nullptr);
        EXPECT_EQ((std::vector<int32_t>{P->Unit(), P->DPI(), P->BkColor()}),
                  (std::vector<int32_t>{C.Unit, C.DPI, C.BkColor}))
            << C.Key << "=" << C.Value;
        std::vector<QString> Shown;
        QTimer::singleShot(0, [&] {
            if (auto* D = qobject_cast<TfrmSettingPage*>(QApplication::activeModalWidget())) {
                Shown = {D->cmbUnitType->currentText(), D->EdtDPI->currentText(), D->EdtWidthUnit->text()};
                D->btnOK->click();
            }
        });
        Frame->ActionByName("actPrintSetup")->trigger();
        const char* Units[] = {"Pixcel", "cm", "ｲﾝﾁ"};
        EXPECT_EQ(Shown, (std::vector<QString>{Units[C.Unit], QString::number(C.DPI), C.Width}))
            << C.Key << "=" << C.Value;
        EXPECT_TRUE(Boxes.empty()) << C.Key << "=" << C.Value << ": " << (Boxes.empty() ? "" : Boxes[0].Text);
        Close();
    }
}

// A document holding such values (written before they were checked) opens
// with them counted as missing, and its page setup works.
TEST_F(PageDefaultsTest, ADocumentHoldingAUnitResolutionAndColourOutOfRangeOpens)
{
    const std::string Path = Tmp / "old.srn";
    SaveDocumentFile(Path, 1, 400, 300);
    std::fstream File(Path, std::ios::binary | std::ios::in | std::ios::out);
    // The page's resolution, unit byte and colour follow its width and height
    // (at 66): 0 DPI, "PgDUnit=300" as a byte, -1.
    File.seekp(74).write("\0\0\0\0\x2C\0\0\xFF\xFF\xFF\xFF", 11);
    File.close();
    Start();
    Frame->OpenFile(Path);
    TPage* P = ActivePage();
    ASSERT_NE(P, nullptr);
    EXPECT_EQ((std::vector<int32_t>{P->Width(), P->Unit(), P->DPI(), P->BkColor()}),
              (std::vector<int32_t>{400, 1, 72, 0xFFFFFF}));
    std::vector<QString> Shown;
    QTimer::singleShot(0, [&] {
        if (auto* D = qobject_cast<TfrmSettingPage*>(QApplication::activeModalWidget())) {
            Shown = {D->cmbUnitType->currentText(), D->EdtDPI->currentText(), D->EdtHeightUnit->text()};
            D->EdtDPI->setCurrentText("96");
            D->btnOK->click();
        }
    });
    Frame->ActionByName("actPrintSetup")->trigger();
    EXPECT_EQ(Shown, (std::vector<QString>{"cm", "72", "10.58"}));
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(P->DPI(), 96);
    gDocuments->GetDocument(0)->SetModified(false);
}
