// Tear-off pages: the drag threshold, tearing a page into a new floating
// window, moving it to another one, freeing an emptied window, rolled-up
// windows keeping their tabs, size limits and relayout, and the closing
// notice to the owner window.
#include "ui/page_control_wex.h"

#include "platform/qt/window_routines.h"
#include "ui/anchors_control_wex.h"
#include "ui/tool_window_message.h"
#include "window_test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QTabBar>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

constexpr int kFrame = 4;
constexpr int kCaption = 18;

// The main window: notes the closing notices posted to it.
class TOwner : public QWidget {
public:
    std::vector<QWidget*> Closed;

protected:
    bool event(QEvent* Event) override
    {
        if (Event->type() != TToolWindowClosedEvent::EventType)
            return QWidget::event(Event);
        Closed.push_back(static_cast<TToolWindowClosedEvent*>(Event)->Window());
        return true;
    }
};

// A panel form whose page control has three pages; the third holds a combo
// box, the first a stretching box.
struct TPanel {
    QRect A = WorkArea();
    TOwner Owner;
    std::unique_ptr<QWidget> Form = std::make_unique<QWidget>();
    TPageControlWex* Pages = new TPageControlWex(Form.get());
    QWidget* Stretching;
    QComboBox* Combo;

    TPanel()
    {
        Form->setWindowTitle("図形のプロパティ");
        Form->setGeometry(A.x() + 20, A.y() + 20, 360, 240);
        Pages->setGeometry(0, 0, 360, 240);
        for (const char* Caption : {"一般", "マクロ", "形状"})
            Pages->addTab(new TTabsheetWex, Caption);
        Stretching = new QWidget(Pages->widget(0));
        Stretching->setGeometry(10, 10, 100, 20);
        SetAnchors(Stretching, akLeft | akTop | akRight);
        Combo = new QComboBox(Pages->widget(2));
        Combo->addItems({"pixel", "cm", "inch"});
        Combo->setCurrentIndex(2);
        Pages->SetOwnerWindow(&Owner);
        Form->show();
        Pages->Loaded();
    }

    // A point well away from every window.
    QPoint Free(int X = 0) const { return A.topLeft() + QPoint(420 + X, 300); }

    // Drags tab Index of Control by the mouse to To; emptied windows go.
    static void DragTab(TPageControlWex* Control, int Index, const QPoint& To)
    {
        QTabBar* Bar = Control->tabBar();
        SendMouse(Bar, QEvent::MouseButtonPress, Bar->mapToGlobal(Bar->tabRect(Index).center()));
        SendMouse(Bar, QEvent::MouseMove, To);
        SendMouse(Bar, QEvent::MouseButtonRelease, To);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

std::vector<QWidget*> PagesOf(const TPageControlWex* C)
{
    std::vector<QWidget*> L;
    for (int I = 0; I < C->count(); ++I)
        L.push_back(C->widget(I));
    return L;
}

TEST(TPageControlWex, DragStartsOnlyMoreThanFivePixelsFromThePress)
{
    const std::pair<QPoint, bool> Cases[] = {
        {{5, 0}, false}, {{3, 4}, false}, {{0, -5}, false}, {{6, 0}, true}, {{4, 4}, true}};
    for (const auto& [Offset, Drags] : Cases) {
        TPanel P;
        QTabBar* Bar = P.Pages->tabBar();
        const QPoint From = Bar->mapToGlobal(Bar->tabRect(1).center());
        TPanel::DragTab(P.Pages, 1, From + Offset);
        EXPECT_EQ(P.Pages->FloatingWindows().size(), Drags ? 1u : 0u) << Offset.x() << "," << Offset.y();
        EXPECT_EQ(P.Pages->count(), Drags ? 2 : 3);
    }
}

TEST(TPageControlWex, TornOffPageGetsAWindowThatTellsItsOwnerWhenItCloses)
{
    TPanel P;
    QWidget* Page = P.Pages->widget(2);
    QTabBar* Bar = P.Pages->tabBar();
    const QPoint From = Bar->mapToGlobal(Bar->tabRect(2).center());
    const QWidget* Area = Page->parentWidget();
    const QRect PageArea(Area->mapToGlobal(QPoint(0, 0)), Area->size());
    const QRect Tab(From - Bar->tabRect(2).center() + Bar->tabRect(2).topLeft(), Bar->tabRect(2).size() - QSize(2, 2));
    // While dragged, an outline of the tab joined to its page follows the
    // mouse.
    SendMouse(Bar, QEvent::MouseButtonPress, From);
    SendMouse(Bar, QEvent::MouseMove, P.Free());
    const QWidget* Outline = nullptr;
    for (const QWidget* T : QApplication::topLevelWidgets())
        if (T->windowType() == Qt::ToolTip && T->isVisible())
            Outline = T;
    ASSERT_TRUE(Outline);
    EXPECT_EQ(Outline->geometry(), Tab.united(PageArea).translated(P.Free() - From));
    SendMouse(Bar, QEvent::MouseButtonRelease, P.Free());
    EXPECT_FALSE(Outline->isVisible());

    EXPECT_EQ(PagesOf(P.Pages), (std::vector<QWidget*>{P.Pages->TabSheets()[0], P.Pages->TabSheets()[1]}));
    EXPECT_EQ(P.Pages->currentIndex(), 1);
    ASSERT_EQ(P.Pages->FloatingWindows().size(), 1u);
    TfrmPltChild* W = P.Pages->FloatingWindows()[0];
    EXPECT_EQ(PagesOf(W->PageControl()), std::vector<QWidget*>{Page});
    EXPECT_EQ(W->PageControl()->tabText(0), "形状");
    EXPECT_EQ(P.Combo->currentIndex(), 2);
    EXPECT_EQ(W->windowTitle(), "図形のプロパティ");
    EXPECT_EQ(W->parentWidget(), &P.Owner);
    EXPECT_EQ(W->Origin(), P.Pages);
    EXPECT_TRUE(W->isVisible());
    // The page area where the outline left it, one pixel on.
    EXPECT_EQ(W->geometry(), PageArea.translated(P.Free() - From + QPoint(1, 1)));

    P.Owner.show();
    W->close();
    EXPECT_FALSE(W->PageControl()->isTabVisible(0));
    EXPECT_TRUE(P.Owner.Closed.empty()) << "posted, not sent";
    QCoreApplication::sendPostedEvents(&P.Owner);
    EXPECT_EQ(P.Owner.Closed, std::vector<QWidget*>{W});
}

TEST(TPageControlWex, WindowClosedWithItsHiddenOwnerKeepsItsPagesShown)
{
    // The program quitting: the frame hides, then its page windows close;
    // the layout saved afterwards must still show their pages.
    TPanel P;
    TPanel::DragTab(P.Pages, 2, P.Free());
    ASSERT_EQ(P.Pages->FloatingWindows().size(), 1u);
    TfrmPltChild* W = P.Pages->FloatingWindows()[0];
    P.Owner.show();
    P.Owner.hide();
    W->close();
    EXPECT_TRUE(W->PageControl()->isTabVisible(0));
}

TEST(TPageControlWex, DropsMovePagesBetweenWindowsAndAnEmptiedWindowIsFreed)
{
    TPanel P;
    QWidget* General = P.Pages->widget(0);
    QWidget* Macro = P.Pages->widget(1);
    TPanel::DragTab(P.Pages, 0, P.Free());
    ASSERT_EQ(P.Pages->FloatingWindows().size(), 1u);
    QPointer<TfrmPltChild> W1 = P.Pages->FloatingWindows()[0];

    // Onto the floating window: the page moves there and is its active page.
    TPanel::DragTab(P.Pages, 0, W1->geometry().center());
    EXPECT_EQ(PagesOf(W1->PageControl()), (std::vector<QWidget*>{General, Macro}));
    EXPECT_EQ(W1->PageControl()->currentWidget(), Macro);
    EXPECT_EQ(P.Pages->FloatingWindows().size(), 1u);

    // Onto its own window: nothing changes.
    TPanel::DragTab(W1->PageControl(), 0, W1->geometry().center() + QPoint(0, 20));
    EXPECT_EQ(PagesOf(W1->PageControl()), (std::vector<QWidget*>{General, Macro}));
    EXPECT_EQ(W1->PageControl()->currentWidget(), General);
    EXPECT_EQ(P.Pages->FloatingWindows().size(), 1u);

    // Out of it into a new window, then its last page into that one.
    TPanel::DragTab(W1->PageControl(), 0, P.Free(-300));
    ASSERT_EQ(P.Pages->FloatingWindows().size(), 2u);
    QPointer<TfrmPltChild> W2 = P.Pages->FloatingWindows()[1];
    EXPECT_EQ(PagesOf(W2->PageControl()), std::vector<QWidget*>{General});
    EXPECT_EQ(W1->PageControl()->currentWidget(), Macro);
    TPanel::DragTab(W1->PageControl(), 0, W2->geometry().center());
    EXPECT_TRUE(W1.isNull());
    EXPECT_EQ(P.Pages->FloatingWindows(), std::vector<TfrmPltChild*>{W2.data()});
    EXPECT_EQ(PagesOf(W2->PageControl()), (std::vector<QWidget*>{General, Macro}));
}

TEST(TPageControlWex, RolledUpWindowShowsItsTabsAndAPressOnThemUnrollsIt)
{
    TPanel P;
    TPanel::DragTab(P.Pages, 1, P.Free());
    TfrmPltChild* W = P.Pages->FloatingWindows()[0];
    const QSize Unrolled = W->size();
    W->SetRolledUp(true);
    const QTabBar* Bar = W->PageControl()->tabBar();
    EXPECT_EQ(W->height(), 2 * kFrame + kCaption + Bar->y() + Bar->height());
    EXPECT_EQ(Bar->mapTo(W, QPoint(0, Bar->height())).y(), W->height() - kFrame);
    EXPECT_TRUE(W->ClientArea()->isVisible());

    QTabBar* Tabs = W->PageControl()->tabBar();
    SendMouse(Tabs, QEvent::MouseButtonPress, Tabs->mapToGlobal(Tabs->tabRect(0).center()));
    SendMouse(Tabs, QEvent::MouseButtonRelease, Tabs->mapToGlobal(Tabs->tabRect(0).center()));
    EXPECT_FALSE(W->RolledUp());
    EXPECT_EQ(W->size(), Unrolled);
}

TEST(TPageControlWex, FloatingWindowAsksItsPagesForSizeLimitsAndRealignsThemOnResize)
{
    TPanel P;
    std::vector<std::pair<QObject*, int32_t>> Asked;
    P.Pages->OnGetMinMaxInfo = [&Asked](QObject* Sender, int32_t Page, TMinMaxInfo& Info) {
        Asked.emplace_back(Sender, Page);
        // In client sizes: the window's frame and caption are not counted.
        Info.MinTrackSize = Info.MinTrackSize.expandedTo(QSize(300 + 10 * Page, 200));
    };
    std::vector<std::pair<QObject*, QWidget*>> Resized;
    P.Pages->OnResizeOwner = [&Resized](QObject* Sender, QWidget* Form) { Resized.emplace_back(Sender, Form); };

    TPanel::DragTab(P.Pages, 2, P.Free());
    // Asked for its one page only (when torn off and when shown).
    ASSERT_FALSE(Asked.empty());
    EXPECT_EQ(Asked, (std::vector<std::pair<QObject*, int32_t>>(Asked.size(), {P.Pages, 2})));
    Asked.clear();
    TPanel::DragTab(P.Pages, 0, P.Pages->FloatingWindows()[0]->geometry().center());
    TfrmPltChild* W = P.Pages->FloatingWindows()[0];
    // Asked once per page when the second page came.
    EXPECT_EQ(Asked, (std::vector<std::pair<QObject*, int32_t>>{{P.Pages, 2}, {P.Pages, 0}}));
    EXPECT_GE(W->width(), 320 + 2 * kFrame);
    EXPECT_GE(W->height(), 200 + 2 * kFrame + kCaption);
    TMinMaxInfo Info;
    W->GetMinMaxInfo(Info);
    EXPECT_EQ(Info.MinTrackSize, QSize(320 + 2 * kFrame, 200 + 2 * kFrame + kCaption));
    // The window manager is told the same least size, and sizing by any
    // other road stops there; rolled up the window is less, unrolled again not.
    EXPECT_EQ(W->minimumSize(), Info.MinTrackSize);
    const QSize Before = W->size();
    W->resize(100, 50);
    EXPECT_EQ(W->size(), Info.MinTrackSize);
    W->resize(Before);
    W->SetRolledUp(true);
    EXPECT_LT(W->height(), Info.MinTrackSize.height());
    W->SetRolledUp(false);
    EXPECT_EQ(W->size(), Before);
    EXPECT_EQ(W->minimumSize(), Info.MinTrackSize);

    // The stretching box keeps its distance to its page area's right edge.
    const QWidget* Area = P.Stretching->parentWidget()->parentWidget();
    ASSERT_EQ(Area->parentWidget(), W->PageControl());
    const int Distance = P.Pages->AnchorsControl(0)->Records().at(0).Right;
    EXPECT_EQ(P.Stretching->geometry().right() + 1, Area->width() - Distance);
    Resized.clear();
    W->resize(W->width() + 40, W->height());
    EXPECT_EQ(P.Stretching->geometry().right() + 1, Area->width() - Distance);
    EXPECT_EQ(Resized, (std::vector<std::pair<QObject*, QWidget*>>{{P.Pages, W}}));
}

TEST(TPageControlWex, TearOffBoundsKeepTheNewWindowSensiblySizedAndWhollyInTheWorkArea)
{
    const QRect Area(0, 0, 1600, 1160);
    struct Case {
        QRect Dropped;
        QSize Min;
        QRect Expected;
    };
    for (const Case& C : std::vector<Case>{
             // The page area of a window as wide as the screen, dropped mid-screen.
             {{807, 1000, 1588, 150}, {180, 120}, {800, 1000, 800, 150}},
             {{100, 200, 300, 250}, {180, 120}, {100, 200, 300, 250}},
             {{-40, -30, 300, 250}, {180, 120}, {0, 0, 300, 250}},
             {{1500, 1100, 300, 250}, {180, 120}, {1300, 910, 300, 250}},
             {{100, 100, 300, 900}, {900, 120}, {100, 100, 900, 580}},
             {{100, 100, 300, 250}, {2000, 1300}, {0, 0, 1600, 1160}}})
        EXPECT_EQ(TearOffBounds(C.Dropped, C.Min, Area), C.Expected) << C.Dropped.x() << "," << C.Dropped.y();
    EXPECT_EQ(TearOffBounds(QRect(5, 6, 7, 8), QSize(1, 1), QRect()), QRect(5, 6, 7, 8));
}

TEST(TPageControlWex, APageTornOffAPanelAsWideAsTheScreenOpensWhollyOnIt)
{
    TPanel P;
    P.Form->setGeometry(P.A.x(), P.A.y(), P.A.width(), 240);
    P.Pages->setGeometry(0, 0, P.A.width(), 240);
    QCoreApplication::processEvents();
    const QPoint Drop = P.A.center() + QPoint(P.A.width() / 4, 0);
    TPanel::DragTab(P.Pages, 0, Drop);
    ASSERT_EQ(P.Pages->FloatingWindows().size(), 1u);
    const TfrmPltChild* W = P.Pages->FloatingWindows()[0];
    EXPECT_TRUE(P.A.contains(W->frameGeometry())) << W->frameGeometry().x() << "+" << W->frameGeometry().width();
    EXPECT_LE(W->width(), P.A.width() / 2);
}

} // namespace
