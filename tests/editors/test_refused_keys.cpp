// A character a number edit refuses is refused audibly, once, in every
// number edit of the editors: the program's own, the spin boxes and the
// edits that keep to a pattern alike.
#include "editors/frm_gradation.h"
#include "editors/frm_light.h"
#include "editors/frm_sel_color.h"
#include "editors/frm_set_pen.h"
#include "editors/style_dialog.h"
#include "picker_test_support.h"
#include "platform/qt/qt_services.h"
#include "raster/rec_picture.h"

#include <QAbstractSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <set>

namespace {

// Types each refused key with the caret at the end of every edit of Form
// that takes keys and shows a value; the edits typed into.
std::set<QLineEdit*> TypeRefusedKeys(QWidget& Form)
{
    Form.show();
    QApplication::setActiveWindow(&Form);
    std::set<QLineEdit*> Typed;
    for (QLineEdit* E : Form.findChildren<QLineEdit*>()) {
        if (!E->isVisible() || !E->isEnabled() || E->isReadOnly() || E->text().isEmpty())
            continue;
        QWidget* Target = qobject_cast<QAbstractSpinBox*>(E->parentWidget()) ? E->parentWidget() : E;
        for (const char* Key : {"-", "@"}) {
            SCOPED_TRACE(Form.windowTitle().toStdString() + " " + E->objectName().toStdString() + " " + Key);
            Target->setFocus();
            E->end(false);
            const QString Before = E->text();
            int Beeps = 0;
            const TMessageBeepHandler Old = SetMessageBeepHandler([&](uint32_t) { ++Beeps; });
            QTest::keyClicks(Target, Key);
            SetMessageBeepHandler(Old);
            EXPECT_EQ(E->text(), Before);
            EXPECT_EQ(Beeps, 1);
        }
        Typed.insert(E);
    }
    Form.hide();
    return Typed;
}

} // namespace

TEST(RefusedKeys, EveryNumberEditOfTheEditorsBeepsOnceForAKeyItRefuses)
{
    TTestIni Ini;
    TfrmGradation Fill(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph");
    Fill.SetUp("5");
    Fill.rbtnFTSolid->click();
    EXPECT_TRUE(TypeRefusedKeys(Fill).contains(Fill.edtHex));
    Fill.rbtnFTGrad->click();
    TypeRefusedKeys(Fill);
    Fill.rbtnFTPict->click();
    EXPECT_TRUE(TypeRefusedKeys(Fill).contains(Fill.edtWidth));
    TfrmSetPen Pen;
    TypeRefusedKeys(Pen);
    TfrmSelColor Colour;
    TypeRefusedKeys(Colour);
    TrecPicture P;
    RecPictureCreate(P, TPoint{0, 0}, 32, 32, 24, false);
    TfrmLight Light(nullptr, Ini.Ini.get(), "4.0", "frmLight", "PosLight");
    ASSERT_TRUE(Light.SetParam("20,FFFFFF40,20,0,2,3,Sun80C0FF20,2,0.2,0.2,0.5,0.5,3,", &P, nullptr, nullptr, nullptr));
    Light.lboxLightName->setCurrentRow(0);
    Light.pgcMain->setCurrentIndex(0);
    EXPECT_TRUE(TypeRefusedKeys(Light).contains(Light.edtBright->findChild<QLineEdit*>()));
    Light.pgcMain->setCurrentIndex(1);
    EXPECT_TRUE(TypeRefusedKeys(Light).contains(Light.edtHeight->findChild<QLineEdit*>()));
    RecPictureClear(P);
    TfrmSettingfrmStyle Style(nullptr);
    Style.edtX->setText("5");
    Style.edtY->setText("5");
    EXPECT_EQ(TypeRefusedKeys(Style).size(), 2u);
}
