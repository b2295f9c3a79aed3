// The number edit's pop-up track bar under a real X server with a window
// manager: the button is pressed and the pointer moved by xdotool, so the
// pop-up opens under a held real button and the moves come as X sends them.
#include "e2e/x_session.h"
#include "editors/frm_gradation.h"
#include "editors/panel_test_support.h"
#include "editors/picker_test_support.h"

#include "ui/page_control_wex.h"

#include <QApplication>
#include <QCursor>
#include <QScreen>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using namespace e2e;

class PopupTrackBarX : public TWithWindowManager<PanelTest> {
protected:
    // The panel's general page in front, in its own window at Left, Top as
    // X places it.
    void ShowGeneralPage(int Left, int Top)
    {
        QWidget* Page = Panel.FTabSheets[0];
        for (TfrmPltChild* W : Panel.PageControlWex->FloatingWindows())
            if (W->PageControl()->indexOf(Page) >= 0)
                W->PageControl()->setCurrentWidget(Page);
        QWidget* Window = Page->window();
        Window->setWindowTitle("popup-track-bar-under-x");
        Window->move(Left, Top);
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window, Deadline(5000)));
        const unsigned long Id = WaitWindow("popup-track-bar-under-x", 5000);
        ASSERT_NE(Id, 0u);
        ASSERT_TRUE(WaitFor([&] { return Geometry(Id).topLeft() == Window->mapToGlobal(QPoint(0, 0)); }, 5000));
        ASSERT_TRUE(Panel.edtObjAngle->isVisible());
    }
};

void MoveTo(QPoint At)
{
    Run("xdotool", {"mousemove", "--sync", QString::number(At.x()), QString::number(At.y())});
}

// Pressing the button at the right end of 回転角 and moving 2 pixels took
// the angle from 0 to -293: the pop-up spanned the screen, its thumb far
// from the pointer.
TEST_F(PopupTrackBarX, TheAnglePopupOpensWithTheThumbUnderThePointerAndMovesWithIt)
{
    ASSERT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
    TRectObj* R = Add<TRectObj>(60, 40, 120, 80);
    Load({R});
    ShowGeneralPage(300, 300);
    TEditTrackBarWex* E = Panel.edtObjAngle;
    ASSERT_EQ(E->text(), "0");
    QWidget* B = E->EllipsisButton();
    const QPoint At = B->mapToGlobal(B->rect().center());
    MoveTo(At);
    e2e::Run("xdotool", {"mousedown", "1"});
    ASSERT_TRUE(WaitFor([&] { return E->Popup() && E->Popup()->isVisible(); }, 3000)) << "no pop-up came";
    TfrmPopup* P = E->Popup();
    TTrackBarWexChild* T = P->TrackBar();
    EXPECT_EQ(QCursor::pos(), At);
    EXPECT_LE(P->width(), 400) << "the pop-up spans " << P->width() << " pixels";
    EXPECT_TRUE(E->screen()->geometry().contains(P->geometry()));
    EXPECT_EQ(T->mapToGlobal(QPoint(T->PositionX(T->value()), 0)).x(), At.x());
    // What 2 pixels of the bar mean, and one step of the scale.
    const double Bound = 2.5 * 720 / (T->PositionX(T->maximum()) - T->PositionX(T->minimum())) + E->LineSize;
    for (const int Dx : {2, -2}) {
        MoveTo(At + QPoint(Dx, 0));
        // The thumb follows the pointer's way, and no further.
        EXPECT_TRUE(WaitFor([&] { return E->Position() * Dx > 0; }, 2000)) << "a move of " << Dx << " pixels";
        EXPECT_LE(std::fabs(E->Position()), Bound) << "a move of " << Dx << " pixels";
    }
    e2e::Run("xdotool", {"mouseup", "1"});
    ASSERT_TRUE(WaitFor([&] { return E->Popup() == nullptr; }, 3000)) << "the pop-up stayed";
    EXPECT_LE(std::fabs(R->Angle() * 180 / M_PI), Bound);
    EXPECT_LE(Steps(), 1);
    MoveTo(At + QPoint(0, 200));
}

// Escape while the angle's thumb is held and dragged: the angle from before
// the drag comes back, on the shape and in the edit, the drag ends, and
// nothing is recorded; the pointer moved on and released after it changes
// nothing either.
TEST_F(PopupTrackBarX, EscapeDuringTheDragPutsBackTheAngleAndRecordsNothing)
{
    TRectObj* R = Add<TRectObj>(60, 40, 120, 80);
    Load({R});
    ShowGeneralPage(300, 300);
    TEditTrackBarWex* E = Panel.edtObjAngle;
    QWidget* Window = E->window();
    ASSERT_TRUE(ActivateAndSettle(Window->winId())) << DescribeDisplay();
    ASSERT_EQ(E->text(), "0");
    TSpeedButtonWex* B = E->EllipsisButton();
    const QPoint At = B->mapToGlobal(B->rect().center());
    if (QCursor::pos() == At)
        MoveTo(At + QPoint(0, 50));
    MoveTo(At);
    e2e::Run("xdotool", {"mousedown", "1"});
    // A failure below leaves no button held for the tests that follow.
    struct TRelease {
        bool Held = true;
        ~TRelease()
        {
            if (Held)
                e2e::Run("xdotool", {"mouseup", "1"});
        }
    } Release;
    ASSERT_TRUE(WaitFor([&] { return E->Popup() && E->Popup()->isVisible(); }, 3000)) << "no pop-up came";
    ASSERT_TRUE(WaitFor([&] { return E->hasFocus() && QApplication::activeWindow() == Window; }, 3000))
        << "the edit has not the keys";
    MoveTo(At + QPoint(30, 0));
    ASSERT_TRUE(WaitFor([&] { return E->Position() > 0 && R->Angle() != 0; }, 2000)) << "the drag did not come";
    ASSERT_NE(E->Popup(), nullptr);
    // The key alone: the session's Key clears the modifiers, and the held
    // button with them.
    e2e::Run("xdotool", {"key", "Escape"});
    ASSERT_TRUE(WaitFor([&] { return E->Popup() == nullptr; }, 3000)) << "the pop-up stayed";
    EXPECT_EQ(E->Position(), 0);
    EXPECT_EQ(E->text(), "0");
    EXPECT_EQ(R->Angle(), 0);
    MoveTo(At + QPoint(60, 0));
    e2e::Run("xdotool", {"mouseup", "1"});
    Release.Held = false;
    ASSERT_TRUE(Settled(Window->winId()));
    EXPECT_EQ(E->Popup(), nullptr);
    EXPECT_EQ(E->Position(), 0);
    EXPECT_EQ(E->text(), "0");
    EXPECT_EQ(R->Angle(), 0);
    EXPECT_EQ(Steps(), 0);
    EXPECT_FALSE(Doc->Modified());
    EXPECT_TRUE(Window->isVisible());
    MoveTo(At + QPoint(0, 200));
}

// The fill editor's opacity at 100 %, its button 40 pixels inside the
// screen's left edge: the pop-up cannot stand with the thumb at its right
// end under the pointer, and the thumb still moves only as the pointer does.
TEST_F(PopupTrackBarX, TheOpacityPopupAtTheScreensEdgeMovesWithThePointer)
{
    TTestIni Ini;
    TfrmGradation F(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph");
    F.SetUp("210000255,1,3000,3000,13000,13000,2,0,0,1023,16777215,2,0,255,1023,0");
    F.setWindowTitle("opacity-under-x");
    F.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&F, Deadline(5000)));
    const unsigned long Id = WaitWindow("opacity-under-x", 5000);
    ASSERT_NE(Id, 0u);
    TEditTrackBarWex* E = F.edtTrans;
    QWidget* B = E->EllipsisButton();
    const int ButtonX = B->mapTo(&F, B->rect().center()).x();
    e2e::Run("xdotool", {"windowmove", "--sync", QString::number(Id), QString::number(40 - ButtonX), "200"});
    // (the window manager's frame may shift it by a pixel or two)
    ASSERT_TRUE(WaitFor([&] { return std::abs(B->mapToGlobal(B->rect().center()).x() - 40) <= 8; }, 5000))
        << "the button stands at " << B->mapToGlobal(B->rect().center()).x();
    E->SetPosition(100);
    const QPoint At = B->mapToGlobal(B->rect().center());
    MoveTo(At);
    e2e::Run("xdotool", {"mousedown", "1"});
    ASSERT_TRUE(WaitFor([&] { return E->Popup() && E->Popup()->isVisible(); }, 3000)) << "no pop-up came";
    TTrackBarWexChild* T = E->Popup()->TrackBar();
    EXPECT_LE(E->Popup()->width(), 400);
    EXPECT_GE(E->Popup()->x(), E->screen()->geometry().left());
    const double Bound = 2.5 * 100 / (T->PositionX(T->maximum()) - T->PositionX(T->minimum())) + E->LineSize;
    MoveTo(At + QPoint(-2, 0));
    EXPECT_TRUE(WaitFor([&] { return E->Position() < 100; }, 2000)) << "the move did not come";
    EXPECT_GE(E->Position(), 100 - Bound);
    e2e::Run("xdotool", {"mouseup", "1"});
    ASSERT_TRUE(WaitFor([&] { return E->Popup() == nullptr; }, 3000)) << "the pop-up stayed";
    EXPECT_GE(F.Gradation().iOpacity, GradOpacityOfPercent(int(100 - Bound)));
    MoveTo(At + QPoint(300, 300));
}

} // namespace
