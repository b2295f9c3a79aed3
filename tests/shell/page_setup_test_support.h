// The page setup dialog under test: a stand-in printer (300 DPI, an A4
// sheet with margins, changeable by the test), recorded message boxes, and
// typing into the dialog's edits.
#pragma once

#include "child_test_support.h"

#include "platform/message_box.h"
#include "shell/setting_page_form.h"

#include <QLineEdit>
#include <QPrinter>

// Installs a reader that answers Spec as it stands when the dialog reads it,
// and records the message boxes; both go back when this goes.
class TStandInPrinter {
public:
    TStandInPrinter()
    {
        Spec.Valid = true;
        Spec.DpiX = Spec.DpiY = 300;
        Spec.PaperWidth = 2480;
        Spec.PaperHeight = 3508;
        Spec.OffsetX = 50;
        Spec.OffsetY = 71;
        Spec.PageWidth = 2380;
        Spec.PageHeight = 3366;
        Spec.PrinterName = "Test printer";
        Spec.PaperName = "A4";
        FOldReader = SetPrinterSpecReader([this](QPrinter&) { return Spec; });
        FOldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t Flags) {
            Boxes.push_back(Text);
            return DefaultMessageBoxAnswer(Flags);
        });
    }
    ~TStandInPrinter()
    {
        SetPrinterSpecReader(FOldReader);
        SetMessageBoxHandler(FOldBoxes);
    }
    TPrinterSpec Spec;
    std::vector<std::string> Boxes;

private:
    TPrinterSpecReader FOldReader;
    TMessageBoxHandler FOldBoxes;
};

// Selects the edit's text and types Text over it ("" empties it).
inline void TypeInto(QLineEdit* Edit, const QString& Text)
{
    Edit->setFocus();
    Edit->selectAll();
    QTest::keyClick(Edit, Qt::Key_Backspace);
    if (!Text.isEmpty())
        QTest::keyClicks(Edit, Text);
}

struct PageSetupTest : ::testing::Test {
    TPrivateFolders Folders;
    TStandInPrinter Stand;
    TPrinterSpec& Printer = Stand.Spec;
    std::vector<std::string>& Boxes = Stand.Boxes;
    std::unique_ptr<TfrmSettingPage> D;

    void SetUp() override { DiscardAppIniFile(); }
    void TearDown() override
    {
        D.reset();
        DiscardAppIniFile();
    }
    // A dialog for a Width x Height page shown at 760 x 460.
    void Make(int32_t Width, int32_t Height, int32_t DPI, uint8_t Unit, TrecPrintPosition Position = {})
    {
        D = std::make_unique<TfrmSettingPage>();
        TrecLogPict Pict;
        Pict.Width = Width;
        Pict.Height = Height;
        Pict.DPI = DPI;
        Pict.Unit = Unit;
        D->SetUp(Pict, Position);
        D->resize(760, 460);
        D->show();
        ASSERT_TRUE(BecomesExposed(D.get()));
    }
};
