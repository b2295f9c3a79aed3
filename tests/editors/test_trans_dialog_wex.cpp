// The opacity picker: percent rounding both ways, the bar's mapping, typing,
// the bar and swatch, the live test and the remembered place and option.
#include "editors/frm_sel_color.h"
#include "editors/frm_sel_trans.h"
#include "editors/trans_dialog_wex.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/golden_image.h"
#include "ui/restore_pos.h"
#include "ui/ui_routines.h"
#include "ui/window_test_support.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(TransDialogWex, PercentRounding)
{
    const int Bytes[][2] = {{0, 0}, {1, 0}, {2, 1}, {127, 50}, {128, 50}, {129, 51}, {254, 100}, {255, 100}};
    for (const auto& B : Bytes)
        EXPECT_EQ(TransPercentOfByte(B[0]), B[1]) << B[0];
    const int Percents[][2] = {{0, 0}, {1, 3}, {50, 128}, {99, 252}, {100, 255}};
    for (const auto& P : Percents)
        EXPECT_EQ(TransByteOfPercent(P[0]), P[1]) << P[0];
    for (int P = 0; P <= 100; ++P)
        EXPECT_EQ(TransPercentOfByte(TransByteOfPercent(P)), P); // a percentage survives the byte
}

TEST(TransDialogWex, BarMapping)
{
    const int At[][2] = {{2, 100}, {0, 100}, {197, 0}, {300, 0}, {99, 50}};
    for (const auto& A : At)
        EXPECT_EQ(TransBarPercentAt(A[0], 200), A[1]) << A[0];
    EXPECT_EQ(TransBarMarkerY(100, 200), 0);
    EXPECT_EQ(TransBarMarkerY(50, 200), 98);
    EXPECT_EQ(TransBarGrey(0, 196), 0);
    EXPECT_EQ(TransBarGrey(195, 196), 255);
}

TEST(FrmSelTrans, TypingBarAndSwatch)
{
    TfrmSelTrans F;
    std::vector<int> Previews;
    F.SetCallerValues(3, nullptr, [&](int32_t B, intptr_t) { Previews.push_back(B); });
    F.SetStartPercent(40);
    F.show();
    EXPECT_FALSE(F.btnApply->isVisible());
    F.edtTrans->setText("150");
    EXPECT_EQ(F.Percent(), 100);
    F.edtTrans->setText("x");
    EXPECT_EQ(F.Percent(), 100);
    F.cboxPreview->setChecked(true);
    QTest::mousePress(F.pboxVBar, Qt::LeftButton, {}, QPoint(20, 99));
    EXPECT_EQ(F.Percent(), 50);
    EXPECT_EQ(F.edtTrans->text(), QStringLiteral("50"));
    QTest::mouseMove(F.pboxVBar, QPoint(20, 197));
    QTest::mouseRelease(F.pboxVBar, Qt::LeftButton, {}, QPoint(20, 197));
    QTest::mousePress(F.pboxColor, Qt::LeftButton, {}, QPoint(5, 60)); // the old value
    EXPECT_EQ(F.Percent(), 40);
    EXPECT_EQ(Previews, (std::vector<int>{255, 128, 0, 102}));
}

TEST(TransDialogWex, ExecuteConvertsAndRemembers)
{
    const char* Key = "Software\\Tavro\\Test";
    WriteUserSettingText(nullptr, Key, "TransDlg", "-1,50,1");
    TTransDialogWex D;
    D.RegistryKey = Key;
    D.RegistryName = "TransDlg";
    D.Trans = 128;
    int Shown = -1;
    D.Run = [&](TfrmSelTrans* F) {
        Shown = F->Percent();
        EXPECT_TRUE(F->cboxPreview->isChecked());
        EXPECT_TRUE(WorkArea().contains(F->frameGeometry()));
        // Placed as shown: wide enough for its caption in the title bar.
        EXPECT_GE(F->width(), CaptionFitWidth(F->windowTitle())) << F->width();
        F->SetPercent(75);
        return int(QDialog::Rejected);
    };
    EXPECT_FALSE(D.Execute());
    EXPECT_EQ(Shown, 50);
    EXPECT_EQ(D.Trans, 128); // cancel keeps the value
    EXPECT_EQ(ReadUserSettingText(nullptr, Key, "TransDlg").back(), '1');
    D.Trans = 255;
    D.Run = [&](TfrmSelTrans* F) {
        Shown = F->Percent();
        F->SetPercent(50);
        F->cboxPreview->setChecked(false);
        return int(QDialog::Accepted);
    };
    EXPECT_TRUE(D.Execute());
    EXPECT_EQ(Shown, 100);
    EXPECT_EQ(D.Trans, 128);
    EXPECT_EQ(ReadUserSettingText(nullptr, Key, "TransDlg").back(), '0');
}

TEST(FrmSelTrans, GoldenBar)
{
    TfrmSelTrans F;
    F.SetStartPercent(30);
    ExpectMatchesGolden(F.pboxVBar->Picture(), "../editors/trans_bar_30.png");
}

} // namespace

// The picker is never narrower than its caption needs in a title bar, also
// in a larger face than the tests' own.
TEST(FrmSelTrans, NeverNarrowerThanItsCaption)
{
    const QFont Old = QApplication::font();
    struct TRestore {
        QFont F;
        ~TRestore() { QApplication::setFont(F); }
    } Restore{Old};
    QFont Large = Old;
    Large.setPixelSize(16);
    QApplication::setFont(Large);
    TfrmSelTrans F;
    F.adjustSize();
    F.resize(1, F.height());
    EXPECT_EQ(F.windowTitle(), "不透明度の設定");
    EXPECT_GE(F.width(), CaptionFitWidth(F.windowTitle()));
}
