// Qt's own dialogs and buttons in the program's language, and the program's
// title on the document boxes.
#include "model/document.h"
#include "platform/qt/application_wex.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <gtest/gtest.h>

#include <string>

TEST(QtTranslations, StandardButtonsAndFileDialogSpeakJapanese)
{
    ASSERT_TRUE(LoadQtTranslations());
    EXPECT_TRUE(LoadQtTranslations()); // once is enough: a second call changes nothing
    QMessageBox Box(QMessageBox::Question, "t", "x", QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(Box.button(QMessageBox::Yes)->text(), QString("はい(&Y)"));
    EXPECT_EQ(Box.button(QMessageBox::No)->text(), QString("いいえ(&N)"));
    EXPECT_EQ(Box.button(QMessageBox::Cancel)->text(), QString("キャンセル"));
    QFileDialog Dialog(nullptr, QString(), QString());
    Dialog.setOption(QFileDialog::DontUseNativeDialog);
    Dialog.setAcceptMode(QFileDialog::AcceptSave);
    bool LookIn = false;
    for (const QLabel* Label : Dialog.findChildren<QLabel*>())
        LookIn = LookIn || Label->text() == QCoreApplication::translate("QFileDialog", "Look in:");
    EXPECT_TRUE(LookIn);
    EXPECT_NE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Look in:"));
}

TEST(QtTranslations, DocumentBoxesCarryTheApplicationTitle)
{
    // Boxes without a caption of their own take it too (see QtMessageBox).
    EXPECT_EQ(std::string(ApplicationTitle), "タヴロ");
}
