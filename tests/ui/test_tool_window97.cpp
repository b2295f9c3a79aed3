// Tool windows: placement and its refusals, the re-parenting events, frames,
// showing with the form and the application, the counted event filter and
// the pictures of docked and floating windows.
#include "golden_image.h"
#include "tool_window_test_support.h"

#include <climits>
#include "ui/tool_window_hooks.h"

#include <string>
#include <vector>

using TToolWindow97Test = TDockFormTest;

TEST_F(TToolWindow97Test, PlacementOnAControlThatIsNeitherDockNorFormIsRefused)
{
    TCustomToolWindow97* T = Make(Top, 0, 0);
    auto* Panel = new QWidget(Form.get());
    try {
        T->SetParent(Panel);
        FAIL();
    } catch (const EInvalidOperation& E) {
        EXPECT_STREQ(E.what(), "A tool window can only be placed on a TDock97 or directly on the form");
    }
    EXPECT_EQ(T->parentWidget(), Top);
    EXPECT_EQ(T->DockedTo(), Top);
}

TEST_F(TToolWindow97Test, WindowWithoutFormCannotFloat)
{
    TCustomToolWindow97 T(nullptr);
    T.setObjectName("tbarLost");
    try {
        T.SetDockedTo(nullptr);
        FAIL();
    } catch (const EInvalidOperation& E) {
        EXPECT_STREQ(E.what(), "コントロール 'tbarLost' は親ウィンドウを持っていません");
    }
}

TEST_F(TToolWindow97Test, ReParentingEventsComeInOrder)
{
    TCustomToolWindow97* T = Make(Top, 0, 0);
    std::vector<std::string> Seen;
    const auto Name = [](TDock97* D) { return D ? D->objectName().toStdString() : std::string("nil"); };
    T->OnDockChanging = [&](QObject*) { Seen.push_back("Changing"); };
    T->OnDockChangingEx = [&](QObject*, TDock97* D) { Seen.push_back("ChangingEx " + Name(D)); };
    T->OnRecreating = [&](QObject*) { Seen.push_back("Recreating"); };
    T->OnDockChangingHidden = [&](QObject*, TDock97* D) {
        Seen.push_back("ChangingHidden " + Name(D) + (T->isVisible() ? " shown" : " hidden"));
    };
    T->OnMove = [&](QObject*) { Seen.push_back("Move"); };
    T->OnRecreated = [&](QObject*) { Seen.push_back("Recreated"); };
    T->OnDockChanged = [&](QObject*) { Seen.push_back("Changed " + Name(T->DockedTo())); };
    T->SetDockedTo(Left);
    T->SetDockedTo(nullptr);
    const std::vector<std::string> Expected{
        "Changing", "ChangingEx Left", "Recreating", "ChangingHidden Left hidden", "Move", "Recreated",
        "Changed Left", "Changing", "ChangingEx nil", "Recreating", "ChangingHidden nil hidden", "Move",
        "Recreated", "Changed nil"};
    EXPECT_EQ(Seen, Expected);
    // The same parent again changes nothing.
    Seen.clear();
    T->SetDockedTo(nullptr);
    EXPECT_TRUE(Seen.empty());
}

TEST_F(TToolWindow97Test, UndockingFloatsAtTheRememberedPositionAndDockingUsesRowAndPos)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    TCustomToolWindow97* T = Make(Top, 0, 100);
    T->SetFloatingPosition(QPoint(150, 220));
    T->SetDockedTo(nullptr);
    ASSERT_TRUE(T->Floating());
    EXPECT_TRUE(T->isWindow());
    EXPECT_TRUE(T->isVisible());
    EXPECT_EQ(T->pos(), QPoint(150, 220));
    EXPECT_EQ(T->ClientArea()->size(), QSize(40, 16));
    EXPECT_EQ(T->size(), QSize(40 + 8, 16 + 8 + kSmallCaption97));
    T->SetDockRow(1);
    T->SetDockPos(30);
    T->SetDockedTo(Top);
    EXPECT_EQ(T->parentWidget(), Top);
    EXPECT_EQ(T->geometry(), QRect(30, 20, 53, 20));
    EXPECT_EQ(A->geometry(), QRect(0, 0, 53, 20));
    EXPECT_TRUE(TCustomToolWindow97::FloatingToolWindows().empty());
}

TEST_F(TToolWindow97Test, DockedFrameHasADragHandleOnlyWhereTheDockAllowsDragging)
{
    struct {
        TDragHandleStyle Style;
        bool Close;
        int32_t Handle;
    } Cases[] = {{dhDouble, false, 9}, {dhSingle, false, 6}, {dhNone, false, 0}, {dhNone, true, 14},
                 {dhDouble, true, 14}};
    TCustomToolWindow97* T = Make(Top, 0, 0);
    for (const auto& C : Cases) {
        T->SetDragHandleStyle(C.Style);
        T->SetCloseButtonWhenDocked(C.Close);
        EXPECT_EQ(T->DockedFrameMargins(Top), QMargins(2 + C.Handle, 2, 2, 2));
        EXPECT_EQ(T->DockedFrameMargins(Left), QMargins(2, 2 + C.Handle, 2, 2));
        EXPECT_EQ(T->width(), 40 + 4 + C.Handle);
        EXPECT_EQ(T->ClientArea()->geometry(), QRect(2 + C.Handle, 2, 40, 16));
    }
    Top->SetAllowDrag(false);
    EXPECT_EQ(T->FrameMargins(), QMargins(2, 2, 2, 2));
    EXPECT_EQ(T->width(), 44);
    EXPECT_TRUE(T->CloseButtonRect().isEmpty());
}

TEST_F(TToolWindow97Test, FloatingFrameHasBorderCaptionAndCloseButton)
{
    TCustomToolWindow97* T = Make(nullptr, 0, 0, 60, 30);
    EXPECT_EQ(T->FloatingFrameMargins(), QMargins(4, 4 + 15, 4, 4));
    EXPECT_EQ(T->CaptionRect(), QRect(4, 4, 60, 15));
    EXPECT_EQ(T->CloseButtonRect(), QRect(4 + 60 - 14, 4, 14, 14));
    T->SetResizable(false);
    EXPECT_EQ(T->FloatingFrameMargins(), QMargins(3, 18, 3, 3));
    T->SetShowCaption(false);
    EXPECT_EQ(T->size(), QSize(66, 36));
    EXPECT_TRUE(T->CloseButtonRect().isEmpty());
}

TEST_F(TToolWindow97Test, FloatingWindowsHideWhileTheApplicationIsInactive)
{
    TCustomToolWindow97* Hides = Make(nullptr, 0, 0);
    TCustomToolWindow97* Stays = Make(nullptr, 0, 0);
    Stays->SetHideWhenInactive(false);
    TCustomToolWindow97* Docked = Make(Top, 0, 0);
    SetApplicationActive(false);
    EXPECT_FALSE(Hides->isVisible());
    EXPECT_TRUE(Stays->isVisible());
    EXPECT_TRUE(Stays->InactiveCaption());
    EXPECT_TRUE(Docked->isVisible());
    EXPECT_TRUE(Hides->Visible());
    SetApplicationActive(true);
    EXPECT_TRUE(Hides->isVisible());
    EXPECT_FALSE(Stays->InactiveCaption());
}

TEST_F(TToolWindow97Test, FloatingWindowsFollowTheirFormsShowing)
{
    TCustomToolWindow97* T = Make(nullptr, 0, 0);
    ASSERT_TRUE(T->isVisible());
    Form->hide();
    EXPECT_FALSE(T->isVisible());
    Form->show();
    EXPECT_TRUE(T->isVisible());
    T->setVisible(false);
    EXPECT_FALSE(T->isVisible());
    EXPECT_FALSE(T->Visible());
}

TEST_F(TToolWindow97Test, MoveOnScreenBringsBackAWindowThatLeftEveryWorkArea)
{
    TCustomToolWindow97* T = Make(nullptr, 0, 0);
    const QRect WA = WorkAreaAt(QPoint(0, 0));
    T->SetFloatingPosition(WA.bottomRight() + QPoint(500, 500));
    T->MoveOnScreen(true);
    EXPECT_EQ(T->geometry().bottomRight(), WA.bottomRight());
    T->SetFloatingPosition(WA.topLeft() + QPoint(-10, 5));
    T->MoveOnScreen(true);
    EXPECT_EQ(T->pos(), WA.topLeft() + QPoint(-10, 5));
    T->MoveOnScreen(false);
    EXPECT_EQ(T->pos(), WA.topLeft() + QPoint(0, 5));
}

// Positions at the ends of the 32-bit range: no edge of the window is
// worked out past them, and the window still comes back on the screen.
TEST_F(TToolWindow97Test, FloatingPositionsAtTheEndsOfTheRangeComeBackOnTheScreen)
{
    TCustomToolWindow97* T = Make(nullptr, 0, 0);
    const QRect WA = WorkAreaAt(QPoint(0, 0));
    struct TCase {
        QPoint Set, Kept;
    };
    constexpr int32_t L = kToolWindowCoordinateLimit97;
    const TCase Cases[] = {
        {{INT_MAX, INT_MAX}, {L, L}},
        {{2147483600, 10}, {L, 10}},
        {{INT_MIN, INT_MIN}, {-L, -L}},
    };
    for (const TCase& C : Cases) {
        T->SetFloatingPosition(C.Set);
        EXPECT_EQ(T->FloatingPosition(), C.Kept) << C.Set.x();
        T->MoveOnScreen(true);
        EXPECT_TRUE(WA.contains(QRect(T->FloatingPosition(), T->size()))) << C.Set.x();
        EXPECT_EQ(T->pos(), T->FloatingPosition()) << C.Set.x();
    }
}

void CountingProc(int32_t, QObject*, QEvent*) {}

TEST(ToolWindowHooks, FilterIsInstalledWithTheFirstUserAndRemovedWithTheLast)
{
    ASSERT_FALSE(HookFilterInstalled());
    InstallHookProc(&CountingProc, HookBit(hpGetMessageMouseMove), false);
    InstallHookProc(&CountingProc, HookBit(hpGetMessageMouseMove), false);
    EXPECT_TRUE(HookFilterInstalled());
    EXPECT_EQ(HookUseCount(hpGetMessageMouseMove), 2);
    EXPECT_EQ(HookUseCount(hpAppActivateDeactivate), 0);
    {
        QWidget Owner;
        TCustomToolWindow97 T(&Owner);
        EXPECT_EQ(HookUseCount(hpAppActivateDeactivate), 1);
        EXPECT_EQ(HookUseCount(hpWindowPosChanged), 1);
    }
    EXPECT_EQ(HookUseCount(hpWindowPosChanged), 0);
    UninstallHookProc(&CountingProc);
    EXPECT_TRUE(HookFilterInstalled());
    UninstallHookProc(&CountingProc);
    EXPECT_FALSE(HookFilterInstalled());
    EXPECT_EQ(HookUseCount(hpGetMessageMouseMove), 0);
}

TEST_F(TToolWindow97Test, PictureOfADockWithThreeToolWindows)
{
    Top->SetBoundLines(BoundLineBit(blTop) | BoundLineBit(blBottom));
    Make(Top, 0, 0, 60, 22);
    TCustomToolWindow97* B = Make(Top, 0, 80, 40, 16);
    B->SetDragHandleStyle(dhSingle);
    TCustomToolWindow97* C = Make(Top, 1, 20, 50, 16);
    C->SetCloseButtonWhenDocked(true);
    Form->resize(220, 150);
    ExpectMatchesGolden(Top->grab().toImage(), "dock97_three_windows.png");
}

TEST_F(TToolWindow97Test, PictureOfAFloatingToolWindow)
{
    TCustomToolWindow97* T = Make(nullptr, 0, 0, 90, 30);
    T->SetCaption("ツール");
    ExpectMatchesGolden(T->grab().toImage(), "tool_window97_floating.png", 8, 40);
    T->SetHideWhenInactive(false);
    SetApplicationActive(false);
    const QImage Inactive = T->grab().toImage();
    SetApplicationActive(true);
    EXPECT_EQ(QColor(Inactive.pixel(6, 6)), QColor(0x80, 0x80, 0x80));
}

TEST_F(TToolWindow97Test, ControlsKnowTheirToolWindowsDockPosition)
{
    TCustomToolWindow97* T = Make(Left, 0, 0);
    auto* Item = new QWidget(T->ClientArea());
    EXPECT_EQ(ControlDockPosition(Item), int32_t(dpLeft));
    T->SetDockedTo(Bottom);
    EXPECT_EQ(ControlDockPosition(Item), int32_t(dpBottom));
    T->SetDockedTo(nullptr);
    EXPECT_EQ(ControlDockPosition(Item), 4);
    EXPECT_EQ(ControlDockPosition(Form.get()), 4);
}

namespace {
std::vector<std::pair<int32_t, QEvent::Type>> gNotices;
void RecordingProc(int32_t Code, QObject*, QEvent* Event)
{
    gNotices.emplace_back(Code, Event->type());
}
} // namespace

TEST(ToolWindowHooks, ProceduresHearOnlyTheirCodes)
{
    gNotices.clear();
    InstallHookProc(&RecordingProc, HookBit(hpGetMessageMouseMove), false);
    QWidget W;
    W.show();
    QMouseEvent Move(QEvent::MouseMove, QPointF(1, 1), QPointF(1, 1), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(&W, &Move);
    SetApplicationActive(true);
    UninstallHookProc(&RecordingProc);
    QApplication::sendEvent(&W, &Move);
    ASSERT_EQ(gNotices.size(), 1u);
    EXPECT_EQ(gNotices[0], std::make_pair(int32_t(hpGetMessageMouseMove), QEvent::MouseMove));

    gNotices.clear();
    InstallHookProc(&RecordingProc, HookBit(hpAppActivateDeactivate) | HookBit(hpWindowPosChanged), false);
    W.hide();
    SetApplicationActive(false);
    EXPECT_FALSE(ApplicationIsActive());
    SetApplicationActive(true);
    UninstallHookProc(&RecordingProc);
    const std::vector<std::pair<int32_t, QEvent::Type>> Expected{
        {hpWindowPosChanged, QEvent::Hide},
        {hpAppActivateDeactivate, QEvent::ApplicationStateChange},
        {hpAppActivateDeactivate, QEvent::ApplicationStateChange}};
    EXPECT_EQ(gNotices, Expected);
}

TEST(FitCaptionText, DropsCharactersBeforeTheDotsUntilItFitsOrIsShort)
{
    const auto Ten = [](const QString& S) { return int32_t(S.length()) * 10; };
    struct {
        const char* Text;
        int32_t Width;
        const char* Expected;
    } Cases[] = {{"Toolbar", 70, "Toolbar"}, {"Toolbar", 69, "Tool..."}, {"Toolbar", 80, "Toolbar"},
                 {"Toolbar", 30, "Tool..."}, {"Tools!", 50, "Tool..."}, {"Abc", 10, "Abc..."}};
    for (const auto& C : Cases)
        EXPECT_EQ(FitCaptionText(C.Text, Ten, C.Width).toStdString(), C.Expected) << C.Text << " " << C.Width;
}
