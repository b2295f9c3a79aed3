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
