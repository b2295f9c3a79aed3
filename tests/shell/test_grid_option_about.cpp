// The grid and ruler options dialog through the document window's command,
// the about box and the application properties.
#include "child_test_support.h"
#include "platform/qt/qt_services.h"
#include "shell/about_form.h"
#include "shell/app_property.h"
#include "shell/grid_option_form.h"
#include "ui/edit_track_bar_wex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QToolTip>

namespace {

// The modal dialog the command opened, handed to Body once it is running.
template <class F>
void WithModalDialog(F&& Body)
{
    QTimer::singleShot(0, [Body] {
        auto* D = qobject_cast<TfrmDocOption*>(QApplication::activeModalWidget());
        ASSERT_NE(D, nullptr);
        Body(*D);
    });
}

// Typed into Edit with the keys, as a person does.
void Type(QLineEdit* Edit, const QString& Text)
{
    Edit->setFocus();
    Edit->selectAll();
    if (Text.isEmpty())
        QTest::keyClick(Edit, Qt::Key_Backspace);
    QTest::keyClicks(Edit, Text);
}

} // namespace

TEST_F(ChildFormTest, GridOptionDialogLoadsAndAppliesAsOneStep)
{
    TfrmChild* W = Open(200, 150);
    TPage& P = PageOf(W);
    TrecGrid G = P.Grid();
    G.ShowGrid = 1;
    G.SnapGrid = 0;
    G.Value1 = 3;
    G.Value2 = 4;
    G.Value3 = 5;
    G.Value4 = 6;
    G.Value5 = 7;
    G.Value6 = 8;
    G.Byte1 = 2;
    P.SetGridOption(G);
    P.SetRulerUnit(1);
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    Frame.Actions[FrameCommand::actGridOption]->setText("グリッド・ルーラ設定");
    int Beeps = 0;
    const TMessageBeepHandler OldBeep = SetMessageBeepHandler([&](uint32_t) { ++Beeps; });

    std::vector<QString> Shown;
    std::vector<std::string> Typed;
    WithModalDialog([&](TfrmDocOption& D) {
        EXPECT_EQ(D.windowTitle(), "グリッド・ルーラ設定");
        for (QLineEdit* E : {D.edtOffsetX, D.edtOffsetY, D.edtGridNumX, D.edtGridNumY, D.edtUnitNumX, D.edtUnitNumY})
            Shown.push_back(E->text());
        Shown.push_back(D.cmbUnitType->currentText());
        Shown.push_back(D.lblUnitX->text());
        Shown.push_back(D.cmbRulerUnitType->currentText());
        Shown.push_back(D.cboxDispGrid->isChecked() ? "shown" : "hidden");
        Shown.push_back(D.cboxSnapToGrid->isChecked() ? "snap" : "free");
        // The dialog has the keys: leaving an edit settles it.
        QApplication::setActiveWindow(&D);
        // What each edit shows is what OK hands back: a step of 0 is no step
        // and is refused when left, the edit showing the step it had, as the
        // panel's sizes do; an emptied edit settles to its value, a letter
        // beeps, a number past the largest one is that one at once.
        Type(D.edtGridNumX, "0");
        Typed.push_back(D.edtGridNumX->text().toStdString());
        Type(D.edtUnitNumY, "");
        Typed.push_back(D.edtUnitNumY->text().toStdString());
        Typed.push_back(D.edtGridNumX->text().toStdString());
        Type(D.edtUnitNumX, "1x2");
        Type(D.edtOffsetX, "2147483648");
        Typed.push_back(D.edtOffsetX->text().toStdString());
        D.cmbUnitType->setCurrentIndex(3);
        EXPECT_EQ(D.lblUnitY->text(), "point");
        D.cboxSnapToGrid->setChecked(true);
        D.cmbRulerUnitType->setCurrentIndex(2);
        Type(D.edtOffsetY, "0");
        for (QLineEdit* E : {D.edtOffsetX, D.edtOffsetY, D.edtGridNumX, D.edtGridNumY, D.edtUnitNumX, D.edtUnitNumY})
            Typed.push_back(E->text().toStdString());
        // Enter in an edit is OK.
        QTest::keyClick(D.edtOffsetY, Qt::Key_Return);
        EXPECT_EQ(D.result(), QDialog::Accepted);
    });
    W->actGridOptionExecute();
    SetMessageBeepHandler(OldBeep);

    EXPECT_EQ(Shown, (std::vector<QString>{"3", "4", "5", "6", "7", "8", "inch", "inch", "cm", "shown", "free"}));
    EXPECT_EQ(Typed, (std::vector<std::string>{"0", "", "5", "2147483647", "2147483647", "0", "5", "6", "12", "8"}));
    // The letter, the step refused, the number past the largest.
    EXPECT_EQ(Beeps, 3);
    const TrecGrid& N = P.Grid();
    EXPECT_EQ((std::vector<int32_t>{N.ShowGrid, N.SnapGrid, N.Value1, N.Value2, N.Value3, N.Value4, N.Value5,
                                    N.Value6, N.Byte1}),
              (std::vector<int32_t>{1, 1, 2147483647, 0, 5, 6, 12, 8, 3}));
    EXPECT_EQ(P.RulerUnit(), 2);
    EXPECT_EQ(H.UndoCaption(), "グリッド・ルーラ設定");
    H.Undo();
    EXPECT_TRUE(GridOptionEqual(P.Grid(), G));
    EXPECT_EQ(P.RulerUnit(), 1);
    EXPECT_FALSE(H.CanUndo());
    H.Redo();
    EXPECT_EQ(P.Grid().Value5, 12);
    EXPECT_EQ(P.RulerUnit(), 2);

    // Cancel, and OK with nothing changed, record nothing.
    H.ClearHistory();
    WithModalDialog([](TfrmDocOption& D) {
        D.cmbRulerUnitType->setCurrentIndex(0);
        D.reject();
    });
    W->actGridOptionExecute();
    WithModalDialog([](TfrmDocOption& D) { D.accept(); });
    W->actGridOptionExecute();
    EXPECT_FALSE(H.CanUndo());
    EXPECT_EQ(P.RulerUnit(), 2);

    // A stored step of 0 (which no edit can show) is shown, and applied, as 1.
    G = P.Grid();
    G.Value4 = 0;
    P.SetGridOption(G);
    QString Step;
    WithModalDialog([&](TfrmDocOption& D) {
        Step = D.edtGridNumY->text();
        D.accept();
    });
    W->actGridOptionExecute();
    EXPECT_EQ(Step, "1");
    EXPECT_EQ(P.Grid().Value4, 1);
}

TEST(AboutBox, NameAndVersionWithAndWithoutBuild)
{
    for (const auto& [Build, Version] : std::vector<std::pair<int32_t, QString>>{
             {7, "Version 4.0 Build 7"}, {-1, "Version 4.0"}, {TfrmAbout::ProgramBuildNumber(), "Version 4.0 Build 1"}}) {
        TfrmAbout About(nullptr, Build);
        EXPECT_EQ(About.lblVersion->text(), Version);
    }
    TfrmAbout About(nullptr, 7);
    EXPECT_EQ(About.lblProduct->text(), "タヴロ");
    EXPECT_EQ(About.btnClose->text(), "閉じる");
}

TEST(AppProperty, HintColourAndTitleOnlyWhereUnset)
{
    const QString OldName = QApplication::applicationDisplayName();
    const QPalette OldTips = QToolTip::palette();
    QApplication::setApplicationDisplayName("Kept");
    TAppProperty Props;
    Props.Title = "タヴロ";
    Props.HelpFile = "/help/index.html";
    auto& App = *qApp;
    App.setProperty("HelpFile", QVariant());
    Props.Loaded(*qobject_cast<QApplication*>(&App));
    EXPECT_EQ(QToolTip::palette().color(QPalette::ToolTipBase), QColor(255, 255, 225));
    EXPECT_EQ(QApplication::applicationDisplayName(), "Kept");
    EXPECT_EQ(App.property("HelpFile").toString(), "/help/index.html");
    EXPECT_EQ(App.property("HintPause").toInt(), 200);
    QApplication::setApplicationDisplayName(OldName);
    QToolTip::setPalette(OldTips);
    App.setProperty("HelpFile", QVariant());
}
