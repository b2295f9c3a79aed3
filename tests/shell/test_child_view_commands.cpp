// The document window's view behaviour: repainting while the hand tool
// scrolls, activation coming from another window, and the status panel's
// trace progress.
#include "mouse_test_support.h"

#include "shell/status_panel.h"

#include <QPainter>

namespace {

// Counts the paints a widget gets.
struct TPaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* E) override
    {
        Paints += E->type() == QEvent::Paint;
        return false;
    }
};

int NavyInRow(const QImage& I, int Y)
{
    int N = 0;
    for (int X = 0; X < I.width(); ++X)
        N += (I.pixel(X, Y) & 0xFFFFFF) == 0x000080;
    return N;
}

} // namespace

TEST_F(MouseFormTest, ScrollBarsRepaintAtOnceButTheHandToolOnlyInvalidates)
{
    Resize(W, 150, 100);
    W->SetZoom(400);
    Settle();
    TPaintCounter Counter;
    W->pboxkClient->installEventFilter(&Counter);
    W->ScrollBarH->setValue(W->ScrollBarH->value() + 10);
    EXPECT_GT(Counter.Paints, 0);

    Page().SetMouseModeCommand(3, 0);
    const TPoint A = W->ViewToDoc({100, 60});
    const TPoint B = W->ViewToDoc({60, 40});
    Send(QEvent::MouseButtonPress, A, Qt::LeftButton);
    Counter.Paints = 0;
    const int Before = W->ScrollBarH->value();
    Send(QEvent::MouseMove, B, Qt::LeftButton);
    EXPECT_EQ(W->ScrollBarH->value(), Before + 10);
    EXPECT_EQ(Counter.Paints, 0);
    Settle();
    EXPECT_GT(Counter.Paints, 0);
    Send(QEvent::MouseButtonRelease, B, Qt::NoButton);
    W->pboxkClient->removeEventFilter(&Counter);
}

TEST_F(MouseFormTest, ActivationFromAnotherWindowRefreshesTheSelectionState)
{
    TfrmChild* Other = Open(100, 80);
    Frame.Window = W;
    Area->setActiveSubWindow(Other->SubWindow());
    Settle();
    // Again the same window: nothing to refresh.
    Frame.Status[1] = "stale";
    Other->FormActivate();
    EXPECT_EQ(Frame.Status[1], "stale");
    Area->setActiveSubWindow(W->SubWindow());
    Settle();
    EXPECT_EQ(Frame.Status[1], "");
}

TEST(StatusPanelTrace, ShowsTheTraceBarUntilATextComes)
{
    TStatusPanel Panel;
    Panel.resize(300, 22);
    Panel.ShowTraceProgress(TTraceProgress{32, 64});
    const QImage Half = Panel.grab().toImage();
    EXPECT_EQ(NavyInRow(Half, 11), 50);
    Panel.ShowTraceProgress(TTraceProgress{64, 64});
    EXPECT_EQ(NavyInRow(Panel.grab().toImage(), 11), 100);
    Panel.SetText("ready");
    EXPECT_EQ(NavyInRow(Panel.grab().toImage(), 11), 0);
}
