#include "editors/font_name_dialog.h"
#include "editors/frm_sel_font_name.h"
#include "editors/picker_test_support.h"
#include "foundation/list_utils.h"
#include "foundation/platform_wrappers.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/restore_pos.h"
#include "ui/window_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <gtest/gtest.h>

namespace {

std::vector<std::string> Listed(const TfrmSelFontName& Form)
{
    std::vector<std::string> Names;
    for (int I = 0; I < Form.ListBox->count(); ++I)
        Names.push_back(Form.ListBox->item(I)->text().toStdString());
    return Names;
}

TEST(FrmSelFontName, ListsTheInstalledFacesOfTheCheckedKinds)
{
    const struct { bool Ansi, Kanji, Vert, Symbol; } Cases[] = {
        {true, false, false, false}, {false, true, false, false}, {false, true, true, false},
        {false, false, false, true}, {true, true, true, true},
    };
    for (const auto& C : Cases) {
        TfrmSelFontName Form;
        Form.cboxAnsi->setChecked(C.Ansi);
        Form.cboxETC->setChecked(C.Kanji);
        Form.cboxVert->setChecked(C.Vert);
        Form.cboxSymbol->setChecked(C.Symbol);
        Form.FillList();
        TStringList Expected;
        GetFontNames(&Expected, C.Ansi, C.Symbol, C.Kanji, C.Vert, false);
        std::vector<std::string> Names;
        for (int32_t I = 0; I < Expected.Count(); ++I)
            Names.push_back(Expected.Strings(I));
        EXPECT_EQ(Listed(Form), Names);
    }
}

TEST(FrmSelFontName, ClickingAKindRefillsAndSelectsTheFaceAgain)
{
    TfrmSelFontName Form;
    Form.cboxAnsi->setChecked(true);
    Form.show();
    ASSERT_GE(Form.ListBox->count(), 2) << "needs two installed Latin faces";
    const std::string Second = Form.ListBox->item(1)->text().toStdString();
    Form.ListBox->setCurrentRow(1);
    QTest::mouseClick(Form.ListBox->viewport(), Qt::LeftButton, {},
                      Form.ListBox->visualItemRect(Form.ListBox->item(1)).center());
    EXPECT_EQ(Form.FontName(), Second);
    EXPECT_EQ(Form.StatusBar->currentMessage().toStdString(), Second);
    const int Latin = Form.ListBox->count();
    Form.cboxSymbol->click();
    EXPECT_GE(Form.ListBox->count(), Latin);
    EXPECT_EQ(Form.ListBox->currentItem()->text().toStdString(), Second);
    const QPoint First = Form.ListBox->visualItemRect(Form.ListBox->item(0)).center();
    QTest::mouseClick(Form.ListBox->viewport(), Qt::LeftButton, {}, First);
    QTest::mouseDClick(Form.ListBox->viewport(), Qt::LeftButton, {}, First);
    EXPECT_EQ(Form.result(), QDialog::Accepted);
    EXPECT_EQ(Form.FontName(), Form.ListBox->item(0)->text().toStdString());
}

TEST(FrmSelFontName, AnEmptyListSelectsNothingAndClosesWithoutAFace)
{
    TfrmSelFontName Form;
    Form.SetFontName("DejaVu Sans");
    Form.show();
    for (QCheckBox* Box : {Form.cboxAnsi, Form.cboxETC, Form.cboxVert, Form.cboxSymbol})
        Box->setChecked(false);
    Form.FillList();
    EXPECT_EQ(Form.ListBox->count(), 0);
    EXPECT_EQ(Form.ListBox->currentItem(), nullptr);
    Form.btnOK->click();
    EXPECT_EQ(Form.FontName(), "");
}

TEST(FrmSelFontName, ItemsAreTwoPixelsTallerThanTheSize)
{
    TfrmSelFontName Form;
    Form.cboxAnsi->setChecked(true);
    Form.show();
    ASSERT_GT(Form.ListBox->count(), 0);
    for (const auto& [Given, Size] : {std::pair{30, 30}, {0, 16}, {-4, 16}}) {
        Form.SetItemSize(Given);
        EXPECT_EQ(Form.ItemSize(), Size);
        EXPECT_EQ(Form.ListBox->visualItemRect(Form.ListBox->item(0)).height(), Size + 2);
    }
    Form.edtSize->setText("40");
    EXPECT_EQ(Form.ItemSize(), 40);
}

// The item's picture as the list shows it, and the same text drawn by hand
// in Font on the list's colours.
QImage ItemPicture(TfrmSelFontName& Form, int Row)
{
    const QRect R = Form.ListBox->visualItemRect(Form.ListBox->item(Row));
    return Form.ListBox->viewport()->grab(R).toImage().convertToFormat(QImage::Format_RGB32);
}

QImage Drawn(const TfrmSelFontName& Form, const QSize& Size, const QString& Text, const QFont& Font)
{
    QImage Image(Size, QImage::Format_RGB32);
    Image.fill(Form.ListBox->palette().base().color());
    QPainter P(&Image);
    P.setPen(Form.ListBox->palette().text().color());
    P.setFont(Font);
    P.drawText(QRect(QPoint(0, 0), Size).adjusted(1, 1, -1, -1), Qt::AlignLeft | Qt::AlignVCenter, Text);
    return Image;
}

TEST(FrmSelFontName, EachFaceIsDrawnInItself)
{
    TfrmSelFontName Form;
    Form.cboxAnsi->setChecked(true);
    Form.SetItemSize(22);
    Form.show();
    for (const char* Face : {"DejaVu Sans Mono", "DejaVu Serif"}) {
        const int Row = Form.Faces().IndexOf(Face);
        ASSERT_GE(Row, 0) << Face;
        Form.ListBox->setCurrentRow(Row == 0 ? 1 : 0);
        const QImage Item = ItemPicture(Form, Row);
        QFont Own(Face);
        Own.setPixelSize(22);
        QFont Plain = Form.font();
        Plain.setPixelSize(22);
        EXPECT_EQ(Item, Drawn(Form, Item.size(), Face, Own)) << Face;
        EXPECT_NE(Item, Drawn(Form, Item.size(), Face, Plain)) << Face;
    }
}

TEST(FrmSelFontName, SizeTakesDigitsOnly)
{
    TfrmSelFontName Form;
    Form.edtSize->clear();
    QTest::keyClicks(Form.edtSize, "3x-2");
    EXPECT_EQ(Form.edtSize->text(), "32");
    EXPECT_EQ(Form.ItemSize(), 32);
}

TEST(FontNameDialog, StoredBoundsAndNumbersAreBroughtIntoRange)
{
    const QRect Area = WorkArea();
    TTestIni Settings;
    WriteUserSettingText(Settings.Ini.get(), "Pickers", "Font", "-30000,90000,99999,99999,1,0,0,0,5000,Nimbus Sans,99");
    TFontNameDialog Dialog;
    Dialog.IniFile = Settings.Ini.get();
    Dialog.RegistryKey = "Pickers";
    Dialog.RegistryName = "Font";
    Dialog.FontName = "DejaVu Sans";
    QRect Placed;
    QSize Client;
    int Size = 0;
    int Columns = -1;
    std::string Current;
    Dialog.OnShowForm = [&](TfrmSelFontName* Form) {
        WhenModal(Form, [&](QDialog* D) {
            auto* F = static_cast<TfrmSelFontName*>(D);
            Placed = F->frameGeometry();
            Client = F->size();
            Size = F->ItemSize();
            Columns = F->Columns();
            Current = F->ListBox->currentItem() ? F->ListBox->currentItem()->text().toStdString() : "";
            F->btnOK->click();
        });
    };
    ASSERT_TRUE(Dialog.Execute());
    // Reachable: some of it across and its title bar inside, no larger than the area.
    EXPECT_GE(Placed.right(), Area.left() + 15) << Placed.x() << "," << Placed.y();
    EXPECT_LE(Placed.left(), Area.right() - 15);
    EXPECT_GE(Placed.top(), Area.top());
    EXPECT_LE(Placed.top(), Area.bottom() - 15);
    EXPECT_LE(Client.height(), Area.height());
    EXPECT_LE(Client.width(), Area.width());
    EXPECT_EQ(Size, 999);
    EXPECT_EQ(Columns, 10);
    EXPECT_EQ(Current, "DejaVu Sans"); // the caller's face wins over the stored one
    EXPECT_EQ(Dialog.FontName, "DejaVu Sans");
    const std::string Stored = ReadUserSettingText(Settings.Ini.get(), "Pickers", "Font");
    EXPECT_NE(Stored.find(",1,0,0,0,999,DejaVu Sans,10"), std::string::npos) << Stored;
}

TEST(FontNameDialog, WithoutAStringTheFaceIsTheCallersAndCancelKeepsIt)
{
    TFontNameDialog Dialog;
    Dialog.FontName = "Nimbus Sans";
    Dialog.Text = "即テスト";
    std::string Current;
    Dialog.OnShowForm = [&](TfrmSelFontName* Form) {
        WhenModal(Form, [&](QDialog* D) {
            auto* F = static_cast<TfrmSelFontName*>(D);
            Current = F->ListBox->currentItem() ? F->ListBox->currentItem()->text().toStdString() : "";
            F->ListBox->setCurrentRow(0);
            F->btnCancel->click();
        });
    };
    EXPECT_FALSE(Dialog.Execute());
    EXPECT_EQ(Current, "Nimbus Sans");
    EXPECT_EQ(Dialog.FontName, "Nimbus Sans");
}

} // namespace
