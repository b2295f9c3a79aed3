// Roll-up tool windows: snapping geometry, sticky moving and sizing by the
// mouse, rolling up and down, placement texts, help lookup and the caption's
// look.
#include "ui/frm_rollup.h"

#include "foundation/ini_file.h"
#include "platform/qt/window_routines.h"
#include "golden_image.h"
#include "window_test_support.h"

#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// The frame and caption of a sizeable tool window: 4 + 18 + 4.
constexpr int kFrame = 4;
constexpr int kCaption = 18;

// --- the snapping computation ---------------------------------------------

const TSnapTargets kTargets{QRect(0, 0, 800, 600), {QRect(300, 200, 200, 150), QRect(290, 100, 100, 50)}};

TEST(SnapMovingRect, EdgesInReachMoveTheWholeRectangle)
{
    struct TCase {
        const char* What;
        QRect In;
        QPoint Out;
    };
    const TCase Cases[] = {
        {"6 from it", {6, 400, 100, 80}, {0, 400}},
        {"7 from it", {7, 400, 100, 80}, {7, 400}},
        {"right edge 4 short of the work area's", {696, 400, 100, 80}, {700, 400}},
        {"left 4 past a window's right", {504, 260, 80, 60}, {500, 260}},
        {"right 6 short of a window's left", {214, 260, 80, 60}, {220, 260}},
        {"left 7 past a window's right", {507, 260, 80, 60}, {507, 260}},
        // Level with the window's bottom plus 6, then plus 7.
        {"top 6 below a window: both passes", {504, 356, 80, 60}, {500, 350}},
        {"top 7 below a window", {504, 357, 80, 60}, {504, 357}},
        {"left near two windows: the first listed wins", {295, 150, 80, 60}, {300, 150}},
        {"bottom 3 above the work area's", {40, 517, 100, 80}, {40, 520}},
        {"top 5 below a window's bottom", {385, 355, 80, 40}, {385, 350}},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(SnapMovingRect(C.In, kTargets), QRect(C.Out, C.In.size())) << C.What;
}

TEST(SnapMovingRect, WorkAreaEdgeWinsOverWindows)
{
    const TSnapTargets T{QRect(0, 0, 800, 600), {QRect(-200, 0, 203, 600)}};
    EXPECT_EQ(SnapMovingRect(QRect(4, 100, 50, 50), T), QRect(0, 100, 50, 50));
}

TEST(SnapSizingRect, OnlyTheDraggedEdgesSnap)
{
    struct TCase {
        int32_t Edge;
        QRect In;
        QRect Out;
    };
    const TCase Cases[] = {
        {WMSZ_RIGHT, {3, 400, 792, 80}, {3, 400, 797, 80}}, // left stays 3
        {WMSZ_LEFT, {3, 400, 792, 80}, {0, 400, 795, 80}},  // right stays 795
        {WMSZ_TOPLEFT, {4, 5, 100, 80}, {0, 0, 104, 85}},
        {WMSZ_BOTTOMRIGHT, {210, 100, 85, 246}, {210, 100, 90, 250}}, // to a window's left and bottom
        {WMSZ_BOTTOM, {600, 400, 100, 194}, {600, 400, 100, 200}},
        {WMSZ_TOP, {600, 7, 100, 80}, {600, 7, 100, 80}},       // 7 is out of reach
        {WMSZ_RIGHT, {100, 420, 195, 60}, {100, 420, 195, 60}}, // a window's left, but no overlap
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(SnapSizingRect(C.In, C.Edge, kTargets), C.Out) << C.Edge;
}

TEST(GetSnapTargets, OtherVisibleWindowsAndTheirMdiClientAreas)
{
    const QRect A = WorkArea();
    TfrmRollup Self;
    Self.setGeometry(A.x() + 10, A.y() + 10, 120, 80);
    Self.show();
    QWidget Frame;
    Frame.setGeometry(A.x() + 200, A.y() + 50, 300, 200);
    auto* Mdi = new QMdiArea(&Frame);
    Mdi->setGeometry(10, 20, 250, 150);
    Frame.show();
    QWidget Hidden;
    Hidden.setGeometry(A.x() + 5, A.y() + 5, 50, 50);
    const TSnapTargets T = GetSnapTargets(&Self);
    EXPECT_EQ(T.WorkArea, A);
    ASSERT_EQ(T.Windows.size(), 2u);
    EXPECT_EQ(T.Windows[0], Frame.frameGeometry());
    EXPECT_EQ(T.Windows[1], QRect(Mdi->viewport()->mapToGlobal(QPoint(0, 0)), Mdi->viewport()->size()));
}

// --- a roll-up window under the mouse --------------------------------------

struct TShownRollup {
    std::unique_ptr<TfrmRollup> Form = std::make_unique<TfrmRollup>();
    explicit TShownRollup(const QRect& Bounds)
    {
        Form->setGeometry(Bounds);
        Form->setWindowTitle("Tool");
        Form->show();
        EXPECT_TRUE(GetSnapTargets(Form.get()).Windows.empty()) << "another window is in the way";
    }
    QPoint Global(const QPoint& Local) const { return Form->mapToGlobal(Local); }
};

TEST(TfrmRollup, MovedWindowSnapsAndLeavesOnlyPastTheDistance)
{
    const QRect A = WorkArea();
    TShownRollup W(QRect(A.x() + 100, A.y() + 200, 200, 150));
    const QPoint Press = W.Global(QPoint(40, kFrame + 5));
    SendMouse(W.Form.get(), QEvent::MouseButtonPress, Press);
    // Where the window's left would be without snapping, and where it is.
    const std::pair<int, int> Steps[] = {{8, 8}, {7, 7}, {5, 0}, {-6, 0}, {-7, -7}, {-6, 0}, {6, 0}, {7, 7}, {50, 50}};
    for (const auto& [Unsnapped, Left] : Steps) {
        SendMouse(W.Form.get(), QEvent::MouseMove, Press + QPoint(Unsnapped - 100, 0));
        EXPECT_EQ(W.Form->geometry(), QRect(A.x() + Left, A.y() + 200, 200, 150)) << Unsnapped;
    }
    SendMouse(W.Form.get(), QEvent::MouseButtonRelease, Press + QPoint(-50, 0));
    SendMouse(W.Form.get(), QEvent::MouseMove, Press + QPoint(-90, 0));
    EXPECT_EQ(W.Form->x(), A.x() + 50);
}

TEST(TfrmRollup, SizedEdgeSnapsAndRolledUpWindowCannotBeSized)
{
    const QRect A = WorkArea();
    TShownRollup W(QRect(A.x() + 300, A.y() + 100, 200, 150));
    const QPoint Edge = W.Global(QPoint(199, 60));
    SendMouse(W.Form.get(), QEvent::MouseButtonPress, Edge);
    const int ToRight = A.x() + A.width() - 5 - (A.x() + 500);
    SendMouse(W.Form.get(), QEvent::MouseMove, Edge + QPoint(ToRight, 0));
    EXPECT_EQ(W.Form->geometry(), QRect(A.x() + 300, A.y() + 100, A.width() - 300, 150));
    SendMouse(W.Form.get(), QEvent::MouseMove, Edge + QPoint(-20, 0));
    EXPECT_EQ(W.Form->geometry(), QRect(A.x() + 300, A.y() + 100, 180, 150));
    SendMouse(W.Form.get(), QEvent::MouseButtonRelease, Edge + QPoint(-20, 0));

    W.Form->SetRolledUp(true);
    const QRect Rolled = W.Form->geometry();
    const QPoint Bottom = W.Global(QPoint(90, Rolled.height() - 1));
    SendMouse(W.Form.get(), QEvent::MouseButtonPress, Bottom);
    SendMouse(W.Form.get(), QEvent::MouseMove, Bottom + QPoint(0, 100));
    SendMouse(W.Form.get(), QEvent::MouseButtonRelease, Bottom + QPoint(0, 100));
    EXPECT_EQ(W.Form->geometry(), Rolled);
}

TEST(TfrmRollup, RollButtonRollsUpToTheCaptionAndBackKeepingTheSize)
{
    const QRect A = WorkArea();
    TShownRollup W(QRect(A.x() + 300, A.y() + 100, 200, 150));
    // Third place from the caption's right end.
    EXPECT_EQ(W.Form->RollButtonRect(), QRect(kFrame + 192 - 3 * 13 - 6, kFrame + 2, 13, 11));
    std::vector<QRect> Fired;
    W.Form->OnRollUp = [&](QObject* Sender, QRect& R) {
        EXPECT_EQ(Sender, W.Form.get());
        Fired.push_back(R);
    };
    const QPoint Roll = W.Global(W.Form->RollButtonRect().center());
    SendMouse(W.Form.get(), QEvent::MouseButtonPress, Roll);
    SendMouse(W.Form.get(), QEvent::MouseButtonRelease, Roll);
    const QRect Up(A.x() + 300, A.y() + 100, 200, 2 * kFrame + kCaption);
    EXPECT_TRUE(W.Form->RolledUp());
    EXPECT_EQ(W.Form->geometry(), Up);
    EXPECT_EQ(Fired, std::vector<QRect>{Up});
    EXPECT_EQ(W.Form->UnrolledSize(), QSize(200, 150));
    EXPECT_FALSE(W.Form->ClientArea()->isVisible());

    SendMouse(W.Form.get(), QEvent::MouseButtonPress, Roll);
    EXPECT_FALSE(W.Form->RolledUp());
    EXPECT_EQ(W.Form->geometry(), QRect(A.x() + 300, A.y() + 100, 200, 150));
    EXPECT_EQ(W.Form->ClientArea()->geometry(), QRect(kFrame, kFrame + kCaption, 192, 150 - 2 * kFrame - kCaption));
    EXPECT_EQ(Fired.size(), 1u);

    // The close button closes on a release over it.
    const QPoint Close = W.Global(W.Form->CloseButtonRect().center());
    SendMouse(W.Form.get(), QEvent::MouseButtonPress, Close);
    SendMouse(W.Form.get(), QEvent::MouseButtonRelease, Close + QPoint(0, 30));
    EXPECT_TRUE(W.Form->isVisible());
    SendMouse(W.Form.get(), QEvent::MouseButtonPress, Close);
    SendMouse(W.Form.get(), QEvent::MouseButtonRelease, Close);
    EXPECT_FALSE(W.Form->isVisible());
}

TEST(TfrmRollup, PositionStringTellsTheUnrolledSizeAndReadsBack)
{
    const QRect A = WorkArea();
    TfrmRollup Form;
    Form.setGeometry(A.x() + 30, A.y() + 40, 200, 150);
    EXPECT_EQ(Form.GetPositionString(), "30,40,200,150,0");
    Form.SetRolledUp(true);
    EXPECT_EQ(Form.GetPositionString(), "30,40,200,150,1");

    struct TCase {
        const char* Text;
        QRect Bounds;
        bool Rolled;
    };
    const TCase Cases[] = {
        {"10,20,300,200,1", {10, 20, 300, 2 * kFrame + kCaption}, true},
        {"11,21,310,210,0", {11, 21, 310, 210}, false},
        {"12,22", {12, 22, 310, 210}, false},           // the window's own size stays
        {"13,23,320,220,1,9", {13, 23, 320, 26}, true}, // more fields are ignored
        {",,,,0", {13, 23, 320, 220}, false},           // empty fields keep the window's values
    };
    for (const TCase& C : Cases) {
        Form.SetPositionString(C.Text);
        EXPECT_EQ(Form.geometry(), C.Bounds.translated(A.topLeft())) << C.Text;
        EXPECT_EQ(Form.RolledUp(), C.Rolled) << C.Text;
    }
}

TEST(TRestorePosRollUp, RolledUpWindowIsSavedOnDestructionAndRestoredRolledUp)
{
    const QRect A = WorkArea();
    TMemIniFile Ini("");
    auto Bind = [&Ini](QWidget* Owner) {
        auto* Pos = new TRestorePosRollUp(Owner);
        Pos->SetIniFile(&Ini);
        Pos->SetRegistryKey("4.0");
        Pos->SetRegistryName("PosGrad");
    };
    {
        TfrmRollup Form;
        Form.setGeometry(A.x() + 50, A.y() + 60, 240, 180);
        Bind(&Form);
        Form.SetRolledUp(true);
    }
    EXPECT_EQ(Ini.ReadString("4.0", "PosGrad", ""), "50,60,240,180,1");

    TfrmRollup Form;
    Form.setGeometry(A.x() + 1, A.y() + 1, 100, 100);
    Bind(&Form);
    EXPECT_TRUE(Form.RolledUp());
    EXPECT_EQ(Form.geometry(), QRect(A.x() + 50, A.y() + 60, 240, 2 * kFrame + kCaption));
    Form.SetRolledUp(false);
    EXPECT_EQ(Form.geometry(), QRect(A.x() + 50, A.y() + 60, 240, 180));

    // Any other owner keeps the plain placement.
    QWidget Plain;
    Plain.setGeometry(A.x() + 70, A.y() + 80, 90, 60);
    auto* Pos = new TRestorePosRollUp(&Plain);
    Pos->SetIniFile(&Ini);
    Pos->SetRegistryKey("4.0");
    Pos->SetRegistryName("PosPlain");
    Pos->Save();
    EXPECT_EQ(Ini.ReadString("4.0", "PosPlain", ""), "70,80,90,60,1");
}

// --- routines ---------------------------------------------------------------

TEST(SetPosInWorkArea, KeepsTheControlInsideLeftAndTopWinning)
{
    const QRect A = WorkArea();
    QWidget W;
    W.resize(200, 150);
    struct TCase {
        QPoint In, Out;
    } const Cases[] = {
        {{50, 60}, {50, 60}},
        {{-20, 10}, {0, 10}},
        {{A.width() - 100, A.height()}, {A.width() - 200, A.height() - 150}},
    };
    for (const TCase& C : Cases) {
        SetPosInWorkArea(&W, A.x() + C.In.x(), A.y() + C.In.y());
        EXPECT_EQ(W.geometry(), QRect(A.topLeft() + C.Out, QSize(200, 150)));
    }
    QWidget Huge;
    Huge.resize(A.width() + 40, 20);
    SetPosInWorkArea(&Huge, A.x() + 10, A.y());
    EXPECT_EQ(Huge.x(), A.x());
}

TEST(GetMDIChildrenState, NoneMaximisedOrNormal)
{
    QWidget Frame;
    auto* Mdi = new QMdiArea(&Frame);
    EXPECT_EQ(GetMDIChildrenState(&Frame), 0);
    QMdiSubWindow* One = Mdi->addSubWindow(new QWidget);
    Mdi->addSubWindow(new QWidget);
    EXPECT_EQ(GetMDIChildrenState(&Frame), 2);
    One->showMaximized();
    EXPECT_EQ(GetMDIChildrenState(&Frame), 1);
    QWidget NoMdi;
    EXPECT_EQ(GetMDIChildrenState(&NoMdi), 0);
}

TEST(HandleWMHelp, NearestHelpContextUpFromTheControlUnderTheMouse)
{
    TfrmRollup Form;
    Form.setGeometry(100, 100, 300, 200);
    auto* Panel = new QWidget(Form.ClientArea());
    Panel->setGeometry(0, 0, 150, 100);
    Panel->setProperty("HelpContext", 5020000);
    auto* Disabled = new QPushButton(Panel);
    Disabled->setGeometry(10, 10, 50, 20);
    Disabled->setEnabled(false);
    auto* Own = new QPushButton(Panel);
    Own->setGeometry(10, 40, 50, 20);
    Own->setProperty("HelpContext", 5020001);
    Form.show();
    std::vector<int32_t> Shown;
    SetShowHelpContextHook([&Shown](int32_t C) { Shown.push_back(C); });
    struct TCase {
        int32_t Type;
        QPoint At; // in the client area
        bool Found;
    } const Cases[] = {
        {HELPINFO_WINDOW, {20, 15}, true},   // a disabled button: its panel's context
        {HELPINFO_WINDOW, {20, 45}, true},   // a button with its own
        {HELPINFO_WINDOW, {200, 50}, false}, // the bare client area: none up to the form
        {HELPINFO_MENUITEM, {20, 45}, false}, // not about a window
        {HELPINFO_WINDOW, {400, 50}, false},  // outside the form
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(HandleWMHelp(&Form, {C.Type, Form.ClientArea()->mapToGlobal(C.At)}), C.Found);
    EXPECT_EQ(Shown, (std::vector<int32_t>{5020000, 5020001}));
    SetShowHelpContextHook(nullptr);
}

// --- the caption's look -------------------------------------------------------

TEST(TfrmRollup, CaptionUnrolledAndRolledUpMatchesTheGolden)
{
    QFont Font("IPAGothic");
    Font.setPixelSize(11);
    const int Strip = 2 * kFrame + kCaption;
    QImage Image(140, 2 * Strip, QImage::Format_RGB32);
    Image.fill(Qt::magenta);
    for (const bool Rolled : {false, true}) {
        TfrmRollup Form;
        Form.setFont(Font);
        Form.setWindowTitle("ツール窓");
        Form.setGeometry(0, 0, 140, 80);
        Form.SetRolledUp(Rolled);
        QPainter P(&Image);
        P.drawImage(0, Rolled ? Strip : 0, Form.grab(QRect(0, 0, 140, Strip)).toImage());
    }
    // The roll button (13 by 11 at 91, 6): the bar, and the arrow head's
    // wide row under the bar, then at the stroke's end.
    const auto Black = [&Image](int X, int Y) { return (Image.pixel(91 + X, Y + 6) & 0xFFFFFF) == 0; };
    EXPECT_TRUE(Black(6, 2) && Black(4, 5) && !Black(4, 6));
    EXPECT_TRUE(Black(6, Strip + 2) && Black(4, Strip + 6) && !Black(4, Strip + 5));
    ExpectMatchesGolden(Image, "rollup_caption.png", 8, 4);
}

} // namespace
