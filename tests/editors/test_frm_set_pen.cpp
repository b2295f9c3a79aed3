#include "editors/frm_set_pen.h"
#include "editors/pen_dialog_wex.h"
#include "editors/picker_test_support.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/restore_pos.h"
#include "ui/window_test_support.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

struct TPenCase {
    const char* Param;
    const char* Width;
    const char* Miter;
    int Join; // radio item, -1 none
    int Cap;
    const char* Back;
};

TEST(FrmSetPen, ControlsShowTheStringAndGiveItBack)
{
    const TPenCase Cases[] = {
        {"-1,65280,-1", "", "", -1, -1, "-1,65280,-1.00"},
        {"3,8448,2.5", "3", "2.5", 1, 1, "3,8448,2.50"},  // miter join, square cap
        {"12,4608,1", "12", "1", 0, 2, "12,4608,1.00"},   // bevel join, flat cap
        {"5,0,4", "5", "4", 2, 0, "5,0,4.00"},            // round join, round cap
        {"7,61440,-1", "7", "", -1, 0, "7,61440,-1.00"},  // join left as it is
    };
    for (const TPenCase& C : Cases) {
        TBoxRecorder Boxes;
        TfrmSetPen Form;
        Form.strParam = C.Param;
        Form.FieldToControls();
        EXPECT_EQ(Form.edtWidth->text().toStdString(), C.Width) << C.Param;
        EXPECT_EQ(Form.edtMiterLen->text().toStdString(), C.Miter) << C.Param;
        EXPECT_EQ(Form.NodeButtons->checkedId(), C.Join) << C.Param;
        EXPECT_EQ(Form.CapButtons->checkedId(), C.Cap) << C.Param;
        Form.strParam.clear();
        Form.ControlsToField();
        EXPECT_EQ(Form.strParam, C.Back);
        EXPECT_TRUE(Boxes.Texts.empty());
    }
}

TEST(FrmSetPen, FlagsThatNameNoCapOrJoinShowTheErrorBox)
{
    TBoxRecorder Boxes;
    TfrmSetPen Form;
    Form.strParam = "1,768,1.00";
    Form.FieldToControls();
    ASSERT_EQ(Boxes.Texts, std::vector<std::string>{"TfrmSetPen.FieldToControls: Illegal EndCap"});
    Form.strParam = "1,12288,1.00";
    Form.FieldToControls();
    EXPECT_EQ(Boxes.Texts.back(), "TfrmSetPen.FieldToControls: Illegal Style");
}

TEST(FrmSetPen, LiveTestSendsTheStringOnEveryChangeOnlyWithPreview)
{
    TfrmSetPen Form;
    std::vector<std::string> Sent;
    Form.OnApply = [&Sent](QObject*, const std::string& S) { Sent.push_back(S); };
    Form.strParam = "2,8448,3.00";
    Form.show();
    ASSERT_TRUE(Form.btnApply->isVisible());
    Form.CapButtons->button(2)->click();
    EXPECT_TRUE(Sent.empty());
    Form.btnApply->click();
    ASSERT_EQ(Sent, std::vector<std::string>{"2,8704,3.00"});
    Form.cboxPreview->click();
    EXPECT_FALSE(Form.btnApply->isEnabled());
    EXPECT_EQ(Sent.size(), 2u);
    Form.edtWidth->setText("9");
    EXPECT_EQ(Sent.back(), "9,8704,3.00");
    Form.NodeButtons->button(0)->click();
    EXPECT_EQ(Sent.back(), "9,4608,3.00");

    TfrmSetPen Plain;
    Plain.show();
    EXPECT_FALSE(Plain.btnApply->isVisible());
    EXPECT_FALSE(Plain.cboxPreview->isVisible());
}

TEST(PenDialogWex, StoredPositionOffScreenOpensInsideTheWorkArea)
{
    const QRect Area = WorkArea();
    TTestIni Settings;
    WriteUserSettingText(Settings.Ini.get(), "Pickers", "Pen", "99999,99999,1");
    QWidget Owner;
    TPenDialogWex Dialog(&Owner);
    Dialog.IniFile = Settings.Ini.get();
    Dialog.RegistryKey = "Pickers";
    Dialog.RegistryName = "Pen";
    Dialog.strParam = "4,8448,2.00";
    QRect Placed;
    bool Preview = false;
    Dialog.OnShowForm = [&](TfrmSetPen* Form) {
        WhenModal(Form, [&](QDialog* D) {
            auto* Pen = static_cast<TfrmSetPen*>(D);
            Placed = Pen->geometry();
            Preview = Pen->cboxPreview->isChecked();
            Pen->edtWidth->setText("6");
            Pen->btnOK->click();
        });
    };
    ASSERT_TRUE(Dialog.Execute());
    EXPECT_EQ(Dialog.strParam, "6,8448,2.00");
    EXPECT_TRUE(Preview);
    EXPECT_TRUE(Area.contains(Placed)) << Placed.x() << "," << Placed.y();
    EXPECT_EQ(ReadUserSettingText(Settings.Ini.get(), "Pickers", "Pen"),
              JoinInts({Dialog.LeftPos, Dialog.TopPos, 1}));
    EXPECT_TRUE(Area.contains(Dialog.LeftPos, Dialog.TopPos));
}

} // namespace
