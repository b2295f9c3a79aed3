// The shared window routines: moving pages, grid cells, status panels,
// clearing menus and halo text.
#include "ui/ui_routines.h"

#include "golden_image.h"

#include "foundation/lists.h"
#include "foundation/user_error.h"
#include "ui/string_grid_wex.h"
#include "window_wait.h"

#include <QApplication>
#include <QComboBox>
#include <QInputDialog>
#include <QTimer>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

TEST(MoveTabSheetKeepState, PageMovesWithCaptionAndComboIndexes)
{
    QTabWidget From;
    From.addTab(new QWidget, "一");
    auto* Sheet = new QWidget;
    From.addTab(Sheet, "形");
    auto* Inner = new QWidget(Sheet);
    auto* Combo = new QComboBox(Inner);
    Combo->addItems({"a", "b", "c"});
    Combo->setCurrentIndex(2);
    QWidget Window;
    Window.setGeometry(30, 40, 300, 200);
    auto* To = new QTabWidget(&Window);
    To->addTab(new QWidget, "他");
    MoveTabSheetKeepState(Sheet, To);
    EXPECT_EQ(From.count(), 1);
    ASSERT_EQ(To->count(), 2);
    EXPECT_EQ(To->widget(1), Sheet);
    EXPECT_EQ(To->tabText(1), "形");
    EXPECT_EQ(Combo->currentIndex(), 2);
    EXPECT_EQ(Window.geometry(), QRect(30, 40, 300, 200));
}

TEST(GetGridCellRect, FullCellSizeAlsoPartlyOrWhollyOutOfView)
{
    QStandardItemModel Model(20, 20);
    QTableView Grid;
    Grid.setModel(&Model);
    Grid.horizontalHeader()->hide();
    Grid.verticalHeader()->hide();
    for (int I = 0; I < 20; ++I) {
        Grid.setColumnWidth(I, 50);
        Grid.setRowHeight(I, 20);
    }
    Grid.setColumnWidth(2, 70);
    Grid.resize(130, 100);
    Grid.show();
    ASSERT_TRUE(BecomesExposed(&Grid));
    ASSERT_LT(Grid.viewport()->width(), 170); // the third column is cut
    EXPECT_EQ(GetGridCellRect(Grid, 1, 1), QRect(50, 20, 50, 20));
    EXPECT_EQ(GetGridCellRect(Grid, 2, 0), QRect(100, 0, 70, 20));
    EXPECT_EQ(GetGridCellRect(Grid, 2, 15), QRect(0, 0, 70, 20));
    Grid.verticalScrollBar()->setValue(3); // one row per step
    EXPECT_EQ(GetGridCellRect(Grid, 0, 4), QRect(0, 20, 50, 20));
    EXPECT_EQ(GetGridCellRect(Grid, 1, 0), QRect(0, 0, 50, 20));
}

TEST(GetGridCellRect, OwnGridGivesTheFullCellAlsoOutOfView)
{
    TStringGridWex Grid;
    Grid.setFrameShape(QFrame::NoFrame);
    Grid.SetColCount(20);
    Grid.SetRowCount(20);
    Grid.SetFixedCols(0);
    Grid.SetFixedRows(0);
    Grid.SetDefaultColWidth(50);
    Grid.SetDefaultRowHeight(20);
    Grid.SetColWidths(2, 70);
    Grid.resize(130, 100);
    Grid.show();
    ASSERT_TRUE(BecomesExposed(&Grid));
    ASSERT_LT(Grid.viewport()->width(), 172); // the third column is cut
    EXPECT_EQ(GetGridCellRect(Grid, 1, 1), QRect(51, 21, 50, 20));
    EXPECT_EQ(GetGridCellRect(Grid, 2, 0), QRect(102, 0, 70, 20));
    EXPECT_EQ(GetGridCellRect(Grid, 2, 15), QRect(0, 0, 70, 20));
    Grid.SetTopRow(3);
    EXPECT_EQ(GetGridCellRect(Grid, 0, 4), QRect(0, 21, 50, 20));
    EXPECT_EQ(GetGridCellRect(Grid, 1, 0), QRect(0, 0, 50, 20));
}

TEST(SetStatusPanelText, SetsOnePanelAndRefusesAMissingOne)
{
    QStatusBar Bar;
    std::vector<QLabel*> Panels;
    for (const char* Text : {"0", "1", "2"}) {
        Panels.push_back(new QLabel(Text));
        Bar.addWidget(Panels.back());
    }
    SetStatusPanelText(Bar, 1, "選択: 3");
    EXPECT_EQ(Panels[0]->text(), "0");
    EXPECT_EQ(Panels[1]->text(), "選択: 3");
    EXPECT_EQ(Panels[2]->text(), "2");
    try {
        SetStatusPanelText(Bar, 3, "x");
        ADD_FAILURE() << "no exception";
    } catch (const EListError& E) {
        EXPECT_EQ(E.Message(), "リストのインデックスが範囲を超えています (3)");
    }
}

TEST(ClearMenuItems, FreesOwnEntriesLastFirstAndKeepsSharedCommands)
{
    QObject Commands;
    auto* Shared = new QAction("共有", &Commands);
    QMenu Menu;
    std::vector<std::string> Freed;
    auto Watch = [&](QObject* O, const char* Name) {
        QObject::connect(O, &QObject::destroyed, [&Freed, Name] { Freed.push_back(Name); });
    };
    Watch(Menu.addAction("a"), "a");
    Watch(Menu.addAction("b"), "b");
    QMenu* Sub = Menu.addMenu("sub");
    Watch(Sub, "sub");
    Watch(Sub->addAction("c"), "c");
    Menu.addAction(Shared);
    ClearMenuItems(Menu);
    EXPECT_TRUE(Menu.actions().empty());
    EXPECT_EQ(Freed, (std::vector<std::string>{"sub", "c", "b", "a"}));
    EXPECT_EQ(Shared->parent(), &Commands);
    ClearMenuItems(Menu);
}

TEST(DrawHaloText, OutlinedTextAtTheBottomMatchesTheGolden)
{
    QFont Font("IPAGothic");
    Font.setPixelSize(16);
    QImage Image(72, 40, QImage::Format_RGB32);
    const QRgb Background = qRgb(0x60, 0x80, 0xA0);
    Image.fill(Background);
    const QRect R(4, 4, 64, 32);
    {
        QPainter P(&Image);
        P.setFont(Font);
        P.setPen(Qt::green);
        DrawHaloText(P, "Halo 字", R, Qt::black, Qt::white);
        EXPECT_EQ(P.pen().color(), QColor(Qt::green)); // the painter is left as it was
    }
    // One line, aligned to the bottom: the rows above its box are untouched.
    const int LineTop = R.bottom() + 1 - QFontMetrics(Font).height();
    int Outline = 0;
    int Text = 0;
    for (int Y = 0; Y < Image.height(); ++Y)
        for (int X = 0; X < Image.width(); ++X) {
            const QRgb C = Image.pixel(X, Y) & 0xFFFFFF;
            if (Y < LineTop - 2) {
                ASSERT_EQ(C, Background & 0xFFFFFF) << X << "," << Y;
            }
            Outline += qGray(C) < 0x20;
            Text += qGray(C) > 0xE0;
        }
    EXPECT_GT(Outline, 40);
    EXPECT_GT(Text, 20);

    ExpectMatchesGolden(Image, "halo_text.png", 8, 4);
}

} // namespace

// The line question is wide enough for its caption; OK gives the edited
// text, Cancel leaves the value.
TEST(InputQueryBox, CaptionShowsWholeAndOkGivesTheText)
{
    struct Case {
        const char* Caption;
        bool Ok;
        const char* Expected;
    };
    const Case Cases[] = {
        {"名前の変更", true, "新しい"},
        {"スタイルの追加", false, "元"},
        // Wider than the box its controls alone would make.
        {"グラデーションのスタイルを新しい名前で登録します（既存の名前とは重ならないように）", true, "新しい"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Caption);
        int Width = 0;
        QString Title;
        QTimer::singleShot(0, [&] {
            auto* Box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            if (!Box)
                return;
            Width = Box->width();
            Title = Box->windowTitle();
            Box->setTextValue("新しい");
            C.Ok ? Box->accept() : Box->reject();
        });
        std::string Value = "元";
        EXPECT_EQ(InputQueryBox(C.Caption, "名前:", Value), C.Ok);
        EXPECT_EQ(Value, C.Expected);
        EXPECT_EQ(Title.toStdString(), C.Caption);
        EXPECT_GE(Width, CaptionFitWidth(QString::fromUtf8(C.Caption)));
        // A caption's room grows with its text.
        EXPECT_GT(CaptionFitWidth(QString::fromUtf8(C.Caption) + "の続き"), CaptionFitWidth(QString::fromUtf8(C.Caption)));
    }
}

// The name box leaves out what CP932 cannot hold while it is typed or
// pasted, the caret staying where it was; the plain box keeps everything.
TEST(InputQueryBox, TheCp932BoxLeavesOutWhatANameCannotHold)
{
    for (const bool Cp932 : {true, false}) {
        QString Shown;
        int Caret = -1;
        QTimer::singleShot(0, [&] {
            auto* Box = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            auto* Line = Box ? Box->findChild<QLineEdit*>() : nullptr;
            if (!Line)
                return;
            Line->end(false); // the box shows its text selected
            for (const QChar C : QString::fromUtf8("a€b")) {
                QKeyEvent Key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(C));
                QApplication::sendEvent(Line, &Key);
            }
            Line->setCursorPosition(1);
            Line->insert(QString::fromUtf8("✓x\U0001F600")); // a paste
            Shown = Line->text();
            Caret = Line->cursorPosition();
            Box->accept();
        });
        std::string Value = "名€";
        ASSERT_TRUE((Cp932 ? InputCp932QueryBox : InputQueryBox)("名前の変更", "名前:", Value));
        const char* Want = Cp932 ? "名xab" : "名✓x\U0001F600€a€b";
        EXPECT_EQ(Shown.toStdString(), Want);
        EXPECT_EQ(Value, Want);
        EXPECT_EQ(Caret, Cp932 ? 2 : 5);
    }
}

TEST(KeepCaptionWhole, RaisesTheMinimumWidthOnly)
{
    QWidget Narrow, Wide;
    Narrow.setWindowTitle("不透明度の設定");
    Wide.setWindowTitle("不透明度の設定");
    Wide.setMinimumWidth(2000);
    KeepCaptionWhole(&Narrow);
    KeepCaptionWhole(&Wide);
    KeepCaptionWhole(nullptr);
    EXPECT_EQ(Narrow.minimumWidth(), CaptionFitWidth("不透明度の設定"));
    EXPECT_EQ(Wide.minimumWidth(), 2000);
}
