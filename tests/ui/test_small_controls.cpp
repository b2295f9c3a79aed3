// The small controls: combo box, scroll bar, paint box, scroll box, the
// anchoring component and the clipboard watcher.
#include "ui/anchors_control_wex.h"
#include "ui/combo_box_wex.h"
#include "ui/paint_box_wex.h"
#include "ui/rv_clip_detector.h"
#include "ui/scroll_box_wex.h"
#include "ui/scroll_bar_wex.h"

#include "foundation/user_error.h"
#include "window_wait.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// A shown, active window holding a combo box and an edit after it.
struct TDialogWithCombo {
    TDialogWithCombo()
    {
        Combo = new TComboBoxWex(&Dialog);
        Combo->setEditable(true);
        Combo->addItems({"赤", "緑", "青"});
        Edit = new QLineEdit(&Dialog);
        Edit->move(0, 40);
        auto* Ok = new QPushButton("OK", &Dialog);
        Ok->move(0, 80);
        Ok->setDefault(true);
        QObject::connect(Ok, &QPushButton::clicked, &Dialog, &QDialog::accept);
        Dialog.show();
        EXPECT_TRUE(ActivateAndWait(&Dialog));
        Combo->setFocus();
    }
    QDialog Dialog;
    TComboBoxWex* Combo;
    QLineEdit* Edit;
};

TEST(ComboBoxWex, EnterGoesToTheNextControlOrStaysOrReachesTheDialog)
{
    {
        TDialogWithCombo D;
        QTest::keyClick(D.Combo, Qt::Key_Return);
        EXPECT_EQ(D.Dialog.result(), QDialog::Accepted);
    }
    {
        TDialogWithCombo D;
        D.Combo->WantReturns = true;
        QTest::keyClick(D.Combo, Qt::Key_Return);
        EXPECT_EQ(D.Dialog.result(), QDialog::Rejected);
        EXPECT_TRUE(D.Combo->hasFocus());
    }
    {
        TDialogWithCombo D;
        D.Combo->EnterNext = true;
        QTest::keyClick(D.Combo, Qt::Key_Return);
        EXPECT_EQ(D.Dialog.result(), QDialog::Rejected);
        EXPECT_TRUE(D.Edit->hasFocus());
    }
}

TEST(ComboBoxWex, ListIsAtLeastDropDownWidthWideAndItsCloseIsAnnounced)
{
    std::vector<int> CloseUps; // the item index when the list closed
    TDialogWithCombo D;
    D.Combo->resize(100, D.Combo->height());
    D.Combo->OnCloseUp = [&](QObject* Sender) { CloseUps.push_back(static_cast<QComboBox*>(Sender)->currentIndex()); };
    for (int Width : {0, 60, 250}) {
        D.Combo->DropDownWidth = Width;
        D.Combo->showPopup();
        EXPECT_EQ(D.Combo->view()->window()->width(), std::max(Width, 100)) << Width;
        D.Combo->hidePopup();
    }
    EXPECT_EQ(CloseUps, (std::vector<int>{0, 0, 0}));
    // Picking an item with the mouse closes the list too.
    D.Combo->showPopup();
    QAbstractItemView* List = D.Combo->view();
    QTest::mouseClick(List->viewport(), Qt::LeftButton, {}, List->visualRect(List->model()->index(2, 0)).center());
    EXPECT_EQ(CloseUps.size(), 4u);
    EXPECT_EQ(D.Combo->currentIndex(), 2);
    // Hiding the box with its list closed announces nothing.
    D.Dialog.hide();
    EXPECT_EQ(CloseUps.size(), 4u);
}

TEST(ComboBoxWex, LeavingWithARefusedTextPutsBackTheLastTakenOne)
{
    TDialogWithCombo D;
    std::vector<std::string> Asked;
    bool Refuse = false;
    D.Combo->OnChanging = [&](QObject*, const QString& New, const QString& Old, bool& Accept) {
        Asked.push_back(New.toStdString() + "<" + Old.toStdString());
        Accept = !Refuse;
    };
    auto Leave = [&] {
        D.Edit->setFocus();
        D.Combo->setFocus();
    };
    Leave(); // "赤" is taken
    D.Combo->setEditText("12");
    Leave(); // and "12"
    Leave(); // unchanged: not asked
    Refuse = true;
    D.Combo->setEditText("99");
    Leave();
    EXPECT_EQ(D.Combo->currentText(), "12");
    D.Combo->setCurrentIndex(2);
    Leave();
    EXPECT_EQ(Asked, (std::vector<std::string>{"赤<", "12<赤", "99<12", "青<12"}));
    EXPECT_EQ(D.Combo->currentText(), "12");
    // A refused change back to a list text selects that item.
    Refuse = false;
    D.Combo->setCurrentIndex(1);
    Leave();
    Refuse = true;
    D.Combo->setEditText("7");
    Leave();
    EXPECT_EQ(D.Combo->currentIndex(), 1);
}

TEST(ScrollBarWex, ParamsSetRangePositionAndPage)
{
    TScrollBarWex Bar(Qt::Horizontal);
    Bar.SetParams(150, 10, 100, 30);
    EXPECT_EQ(Bar.value(), 100);
    EXPECT_EQ(Bar.minimum(), 10);
    EXPECT_EQ(Bar.maximum(), 100);
    EXPECT_EQ(Bar.pageStep(), 30);
    Bar.SetPage(0xFFFFFFFFu);
    EXPECT_EQ(Bar.Page(), 0xFFFFFFFFu);
    EXPECT_EQ(Bar.pageStep(), INT_MAX);
}

TEST(PaintBoxWex, PaintsEntersLeavesAndRepaintsWhenMadeOpaque)
{
    QWidget Parent;
    Parent.resize(100, 100);
    auto* Box = new TPaintBoxWex(&Parent);
    Box->setGeometry(10, 20, 50, 40);
    std::vector<std::string> Events;
    Box->OnPaint = [&](TPaintBoxWex*, QPainter&) { Events.push_back("paint"); };
    Box->OnMouseEnter = [&](QObject*) { Events.push_back("enter"); };
    Box->OnMouseLeave = [&](QObject*) { Events.push_back("leave"); };
    Parent.show();
    ASSERT_TRUE(BecomesExposed(&Parent));
    QCoreApplication::processEvents();
    Events.clear();
    QEnterEvent Enter(QPointF(5, 5), QPointF(15, 25), QPointF(15, 25));
    QApplication::sendEvent(Box, &Enter);
    QEvent Leave(QEvent::Leave);
    QApplication::sendEvent(Box, &Leave);
    Box->SetOpaque(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(Events, (std::vector<std::string>{"enter", "leave", "paint"}));
    EXPECT_TRUE(Box->testAttribute(Qt::WA_OpaquePaintEvent));
}

TEST(PaintBoxWex, HintCanBeChangedOrSuppressed)
{
    QWidget Parent;
    auto* Box = new TPaintBoxWex(&Parent);
    Box->setGeometry(0, 0, 50, 40);
    Box->setToolTip("元のヒント");
    Parent.show();
    ASSERT_TRUE(BecomesExposed(&Parent));
    bool Show = true;
    QString Seen;
    Box->OnShowHint = [&](QObject*, bool& CanShow, THintInfo& Info) {
        Seen = Info.HintStr;
        Info.HintStr = "変えたヒント";
        CanShow = Show;
    };
    QHelpEvent Help(QEvent::ToolTip, QPoint(5, 5), Box->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(Box, &Help);
    EXPECT_EQ(Seen, "元のヒント");
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_EQ(QToolTip::text(), "変えたヒント");
    Show = false;
    QApplication::sendEvent(Box, &Help);
    EXPECT_TRUE(QTest::qWaitFor([] { return !QToolTip::isVisible(); }, 2000));
}

class TWheelRecorder : public QWidget {
public:
    struct TWheel {
        QPointF Position;
        Qt::KeyboardModifiers Modifiers;
        QPoint Delta;
    };
    std::vector<TWheel> Wheels;

protected:
    void wheelEvent(QWheelEvent* E) override { Wheels.push_back({E->position(), E->modifiers(), E->angleDelta()}); }
};

TEST(PaintBoxWex, WheelGoesToTheParentAtItsPoint)
{
    TWheelRecorder Parent;
    auto* Box = new TPaintBoxWex(&Parent);
    Box->setGeometry(10, 20, 50, 40);
    QWheelEvent Wheel(QPointF(3, 4), QPointF(3, 4), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(Box, &Wheel);
    ASSERT_EQ(Parent.Wheels.size(), 1u);
    EXPECT_EQ(Parent.Wheels[0].Position, QPointF(13, 24));
    EXPECT_EQ(Parent.Wheels[0].Modifiers, Qt::ControlModifier);
    EXPECT_EQ(Parent.Wheels[0].Delta, QPoint(0, 120));
}

TEST(ScrollBoxWex, UserScrollingIsAnnouncedAfterTheMoveScrollingFromCodeIsNot)
{
    TScrollBoxWex Box;
    Box.resize(100, 100);
    auto* Content = new QWidget;
    Content->resize(400, 80);
    Box.setWidget(Content);
    Box.show();
    ASSERT_TRUE(BecomesExposed(&Box));
    std::vector<int> H;
    int V = 0;
    Box.OnHScroll = [&](QObject*) { H.push_back(Box.horizontalScrollBar()->value()); };
    Box.OnVScroll = [&](QObject*) { ++V; };
    Box.horizontalScrollBar()->setValue(10);
    QCoreApplication::processEvents();
    EXPECT_TRUE(H.empty());
    Box.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_TRUE(H.empty()); // not before the move has been handled
    QCoreApplication::processEvents();
    ASSERT_EQ(H.size(), 1u);
    EXPECT_EQ(H[0], 10 + Box.horizontalScrollBar()->pageStep());
    EXPECT_EQ(Content->x(), -H[0]);
    // The vertical bar is hidden: nothing from it.
    Box.verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCoreApplication::processEvents();
    EXPECT_EQ(V, 0);
}

TEST(AnchorsControlWex, RealignKeepsAnchoredEdgesAtTheirDistance)
{
    QWidget Target;
    Target.resize(200, 100);
    auto Child = [&](int X, int Y, int W, int H, TAnchors A) {
        auto* C = new QWidget(&Target);
        C->setGeometry(X, Y, W, H);
        if (A != (akLeft | akTop))
            SetAnchors(C, A);
        return C;
    };
    QWidget* Plain = Child(10, 10, 30, 20, akLeft | akTop);
    QWidget* Stretch = Child(20, 5, 150, 20, akLeft | akTop | akRight); // right edge 30 from the container's
    QWidget* Corner = Child(170, 70, 20, 20, akRight | akBottom);
    QWidget* Tall = Child(5, 40, 10, 50, akLeft | akTop | akBottom);
    TAnchorsControlWex Anchors;
    Anchors.SetTarget(&Target);
    ASSERT_EQ(Anchors.Records().size(), 4u);
    EXPECT_EQ(Anchors.Records()[1].Right, 30);
    EXPECT_EQ(Anchors.Records()[2].Bottom, 10);

    Target.resize(300, 160);
    Anchors.Realign();
    EXPECT_EQ(Plain->geometry(), QRect(10, 10, 30, 20));
    EXPECT_EQ(Stretch->geometry(), QRect(20, 5, 250, 20));
    EXPECT_EQ(Corner->geometry(), QRect(270, 130, 20, 20));
    EXPECT_EQ(Tall->geometry(), QRect(5, 40, 10, 110));

    // A freed child's record goes; the later ones move up and still work.
    delete Stretch;
    ASSERT_EQ(Anchors.Records().size(), 3u);
    EXPECT_EQ(Anchors.Records()[1].Control, Corner);
    Target.resize(250, 120);
    Anchors.Realign();
    EXPECT_EQ(Corner->geometry(), QRect(220, 90, 20, 20));
}

TEST(AnchorsControlWex, PageOfAPageControlUsesItsDisplayAreaAndFreedTargetClears)
{
    QTabWidget Pages;
    Pages.resize(300, 200);
    Pages.addTab(new QWidget, "一");
    auto* Page = new QWidget;
    Pages.addTab(Page, "二");
    auto* Stretch = new QWidget(Page);
    SetAnchors(Stretch, akLeft | akTop | akRight);
    Pages.show();
    ASSERT_TRUE(BecomesExposed(&Pages));
    Pages.setCurrentIndex(1);
    QCoreApplication::processEvents();
    Stretch->setGeometry(10, 10, Page->width() - 30, 20);
    auto Anchors = std::make_unique<TAnchorsControlWex>();
    Anchors->SetTarget(Page);
    // The hidden page keeps its old size; the display area grows.
    Pages.setCurrentIndex(0);
    Pages.resize(400, 200);
    QCoreApplication::processEvents();
    Anchors->Realign();
    const QWidget* Display = Page->parentWidget();
    EXPECT_EQ(Stretch->geometry().right() + 1, Display->width() - 20);

    delete Pages.widget(1);
    EXPECT_EQ(Anchors->Target(), nullptr);
    EXPECT_TRUE(Anchors->Records().empty());
    Anchors->Realign();
}

TEST(RvClipDetector, FiresOncePerChangeAndNotWhenJoiningWithIgnoreFirst)
{
    QClipboard* Clipboard = QGuiApplication::clipboard();
    for (bool IgnoreFirst : {true, false}) {
        SCOPED_TRACE(IgnoreFirst);
        int Changes = 0;
        auto Detector = std::make_unique<TRvClipDetector>();
        Detector->IgnoreFirst = IgnoreFirst;
        Detector->SetOnClipChange([&](QObject*) { ++Changes; });
        EXPECT_EQ(Changes, IgnoreFirst ? 0 : 1);
        Changes = 0;
        Clipboard->setText("一");
        Clipboard->setText("二");
        EXPECT_EQ(Changes, 2);
        // A new handler takes over without joining again.
        int Other = 0;
        Detector->SetOnClipChange([&](QObject*) { ++Other; });
        Clipboard->setText("三");
        EXPECT_EQ(Changes, 2);
        EXPECT_EQ(Other, 1);
        // No handler: the watch ends; freed, nothing is called.
        Detector->SetOnClipChange(nullptr);
        Clipboard->setText("四");
        EXPECT_EQ(Other, 1);
        Detector->SetOnClipChange([&](QObject*) { ++Other; });
        Detector.reset();
        Clipboard->setText("五");
        EXPECT_EQ(Other, IgnoreFirst ? 1 : 2);
    }
}

} // namespace
