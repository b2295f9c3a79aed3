// The number edit with its repeat buttons and pop-up track bar, the edit it
// stands on and the up-down control.
#include "ui/edit_track_bar_wex.h"
#include "ui/up_down_wex.h"

#include "golden_image.h"
#include "popup_test_support.h"

#include "foundation/user_error.h"
#include "platform/qt/qt_services.h"
#include "window_wait.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <clocale>
#include <memory>
#include <string>
#include <vector>

namespace {

// A shown, active window: an edit, the number edit and another edit.
struct TForm {
    TForm()
    {
        Window.setGeometry(100, 100, 300, 120);
        QFont F("IPAGothic");
        F.setPixelSize(12);
        Window.setFont(F);
        Before = new QLineEdit(&Window);
        Before->setGeometry(10, 10, 100, 21);
        Edit = new TEditTrackBarWex(&Window);
        Edit->setGeometry(10, 40, 90, 21);
        After = new QLineEdit(&Window);
        After->setGeometry(10, 70, 100, 21);
        Window.show();
        EXPECT_TRUE(ActivateAndWait(&Window));
        Edit->setFocus(Qt::TabFocusReason);
    }
    QWidget Window;
    QLineEdit* Before;
    TEditTrackBarWex* Edit;
    QLineEdit* After;
};

// Counts what the edit tells its owner.
struct TSpy {
    explicit TSpy(TEditTrackBarWex& E) : Edit(E)
    {
        E.OnChange = [this](QObject*) { ++Changes; };
        E.OnModifyStart = [this](QObject*) { ++Starts; };
        E.OnModifyEnd = [this](QObject*) { ++Ends; };
        E.OnCommit = [this, &E](QObject*) { Commits.push_back(E.Position()); };
    }
    // The form that holds the edit outlives the spy: a commit as it closes
    // (the edit losing the focus) must not reach a spy that is gone.
    ~TSpy() { Edit.OnChange = Edit.OnModifyStart = Edit.OnModifyEnd = Edit.OnCommit = nullptr; }
    TEditTrackBarWex& Edit;
    int Changes = 0;
    int Starts = 0;
    int Ends = 0;
    std::vector<double> Commits;
};

void SendMouse(QWidget* W, QEvent::Type Type, QPoint Pos, Qt::MouseButtons Held,
               Qt::MouseButton Button = Qt::LeftButton)
{
    QMouseEvent E(Type, Pos, W->mapToGlobal(Pos), Type == QEvent::MouseMove ? Qt::NoButton : Button, Held,
                  Qt::NoModifier);
    QApplication::sendEvent(W, &E);
}

void SendKey(QWidget* W, QEvent::Type Type, int Key, bool AutoRepeat = false)
{
    QKeyEvent E(Type, Key, Qt::NoModifier, QString(), AutoRepeat);
    QApplication::sendEvent(W, &E);
}

// Counts the beeps for the scope.
struct TBeeps {
    TBeeps() : FOld(SetMessageBeepHandler([this](uint32_t) { ++Count; })) {}
    ~TBeeps() { SetMessageBeepHandler(FOld); }
    int Count = 0;

private:
    TMessageBeepHandler FOld;
};

TEST(EditTrackBarWex, PositionIsQuantisedLimitedAndShown)
{
    struct TCase {
        double Precision, Min, Max;
        bool Hex;
        double Assigned, Position;
        const char* Text;
    };
    const TCase Cases[] = {
        {0.5, 0, 100, false, 1.26, 1.5, "1.5"}, {1, 0, 100, false, 250, 100, "100"},
        {1, 0, 100, false, -3, 0, "0"},         {0.1, 0, 10, false, 0.3, 0.3, "0.3"},
        {1, -50, 50, false, -7.5, -8, "-8"},    {0.25, 0, 10, false, 1.124, 1.0, "1"},
        {1, 0, 1000, true, 255, 255, "FF"},     {1, 0, 1000, true, 10.5, 11, "B"},
    };
    for (const TCase& C : Cases) {
        TEditTrackBarWex E;
        E.SetMax(C.Max);
        E.SetMin(C.Min);
        E.SetPrecision(C.Precision);
        E.SetHex(C.Hex);
        E.SetPosition(C.Assigned);
        EXPECT_DOUBLE_EQ(E.Position(), C.Position) << C.Assigned;
        EXPECT_EQ(E.text().toStdString(), C.Text) << C.Assigned;
    }
}

TEST(EditTrackBarWex, SettersKeepTheLimitsInOrderAndTheInputTypeFollows)
{
    TEditTrackBarWex E;
    EXPECT_EQ(E.InputType, ekitPlusInteger);
    E.SetPosition(50);
    E.SetMin(120);
    EXPECT_EQ(E.Max(), 120);
    EXPECT_EQ(E.Position(), 120);
    E.SetMax(-5);
    EXPECT_EQ(E.Min(), -5);
    EXPECT_EQ(E.InputType, ekitInteger);
    E.SetPrecision(0.5);
    EXPECT_EQ(E.InputType, ekitReal);
    E.SetPrecision(0);
    E.SetPrecision(-1);
    EXPECT_EQ(E.Precision(), 0.5);
    E.SetTrackBarMax(3);
    E.SetTrackBarMin(7);
    EXPECT_EQ(E.TrackBarMax(), 7);
    E.SetTrackBarMax(2);
    EXPECT_EQ(E.TrackBarMin(), 2);

    E.SetMax(100);
    E.SetMin(0);
    E.SetTrackBarStyle(etbksExp2);
    EXPECT_EQ(E.Min(), 0.5); // the exponential scales need a positive Min
    EXPECT_EQ(E.InputType, ekitPlusReal);

    E.SetHex(true);
    EXPECT_EQ(E.Precision(), 1);
    EXPECT_EQ(E.InputType, ekitHex);
    try {
        E.SetPrecision(2);
        ADD_FAILURE() << "no error";
    } catch (const EUserError& Error) {
        EXPECT_STREQ(Error.what(), "TCustomEditTrackBarWex.SetPrecision: (Value <> 1) and (Hex)");
    }
    EXPECT_EQ(E.Precision(), 1);
}

// Keys and repeat buttons: Up, Down, PageUp, PageDown or the button up/down.
TEST(EditTrackBarWex, SteppingByKeysAndButtonsSnapsWrapsAndRounds)
{
    struct TCase {
        double Min, Max, Precision, LineSize, PageSize;
        bool Wrap;
        double Start;
        const char* Action; // a key name or "btnUp"/"btnDown"
        double Result;
    };
    const TCase Cases[] = {
        {0, 100, 0.5, 1, 5, false, 4.5, "Up", 5},
        {0, 100, 0.5, 1, 5, false, 5, "Down", 4},
        {0, 359, 1, 1, 5, true, 359, "Up", 0},
        {0, 359, 1, 1, 5, true, 0, "Down", 359},
        {0, 100, 1, 1, 5, false, 100, "Up", 100},
        {0, 100, 1, 1, 5, false, 3, "PgUp", 5},
        {0, 100, 1, 1, 5, false, 7, "PgDown", 5},
        {0, 12345, 1, 7, 50, false, 1234, "Up", 1240}, // four digits of the range
        {0, 100, 1, 1, 5, true, 100, "btnUp", 0},
        {-1, 1, 0.001, 0.01, 0.1, false, 0.123, "Up", 0.13},
        // The key goes down from Position - Precision, the button from
        // Position - Precision / 100: a step finer than the precision
        // moves the key only.
        {0, 100, 1, 0.5, 5, false, 3, "Down", 2},
        {0, 100, 1, 0.5, 5, false, 3, "btnDown", 3},
    };
    for (const TCase& C : Cases) {
        TForm F;
        TEditTrackBarWex& E = *F.Edit;
        E.SetMax(C.Max);
        E.SetMin(C.Min);
        E.SetPrecision(C.Precision);
        E.LineSize = C.LineSize;
        E.PageSize = C.PageSize;
        E.Wrap = C.Wrap;
        E.SetPosition(C.Start);
        const std::string A = C.Action;
        if (A == "btnUp" || A == "btnDown") {
            QWidget* B = A == "btnUp" ? static_cast<QWidget*>(E.UpButton()) : E.DownButton();
            SendMouse(B, QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton);
            SendMouse(B, QEvent::MouseButtonRelease, QPoint(3, 3), Qt::NoButton);
        } else {
            QTest::keyClick(&E, QKeySequence(QString::fromStdString(A))[0].key());
        }
        EXPECT_NEAR(E.Position(), C.Result, 1e-9) << C.Start << " " << A;
    }
}

TEST(EditTrackBarWex, ShiftMakesTheButtonsPageAndOtherModifiersStopTheKeys)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    E.SetPosition(10);
    const TShiftStateReader Old = SetShiftStateReader([] { return ssShift; });
    SendMouse(E.UpButton(), QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton);
    SendMouse(E.UpButton(), QEvent::MouseButtonRelease, QPoint(3, 3), Qt::NoButton);
    SetShiftStateReader(Old);
    EXPECT_EQ(E.Position(), 15);
    QTest::keyClick(&E, Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(E.Position(), 16);
    QTest::keyClick(&E, Qt::Key_Up, Qt::ShiftModifier);
    QTest::keyClick(&E, Qt::Key_Up, Qt::AltModifier);
    EXPECT_EQ(E.Position(), 16);
}

TEST(EditTrackBarWex, TypingTakesAPointInAnyLocaleHexTakesHexDigitsOnly)
{
    const std::string OldC = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8"); // where it exists: a comma locale
    const QLocale OldQ;
    QLocale::setDefault(QLocale(QLocale::German));
    TBeeps Beeps;
    {
        TForm F;
        TEditTrackBarWex& E = *F.Edit;
        E.SetPrecision(0.01);
        E.SetMax(1000);
        E.selectAll();
        QTest::keyClicks(&E, "12,5x.25");
        EXPECT_EQ(E.text(), "125.25");
        EXPECT_EQ(Beeps.Count, 2);
        EXPECT_DOUBLE_EQ(E.Position(), 125.25);
        E.selectAll();
        QTest::keyClicks(&E, "12.5");
        EXPECT_DOUBLE_EQ(E.Position(), 12.5);

        E.SetHex(true);
        E.SetPosition(255);
        EXPECT_EQ(E.text(), "FF");
        E.selectAll();
        QTest::keyClicks(&E, "1fg");
        EXPECT_EQ(E.text(), "1F");
        EXPECT_EQ(Beeps.Count, 3);
        F.After->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(E.Position(), 31);
    }
    QLocale::setDefault(OldQ);
    std::setlocale(LC_ALL, OldC.c_str());
}

TEST(EditTrackBarWex, TextThatIsNoNumberLeavesTheValueAlone)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    E.SetMin(-10);
    E.SetPosition(4);
    E.selectAll();
    QTest::keyClicks(&E, "-");
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(E.Position(), 4);
    EXPECT_EQ(E.text(), "4"); // shown as stored
}

// The value stored is the value shown: typed keys past a limit that no
// further key can undo give the limit at once, shown, with a beep; a text
// that holds no value yet changes nothing until the edit is left.
TEST(EditTrackBarWex, TypedValuesKeepToTheRangeAndShowWhatIsStored)
{
    struct TCase {
        double Min, Max, Precision, Start;
        const char* Keys;
        const char* Shown;  // after the keys
        double Typed;       // the value then
        int Changes, Beeps; // told and beeped while typing
        const char* Left;   // shown after leaving
        double Stored;      // the value then, committed unless it is Start
    };
    const TCase Cases[] = {
        {0, 100, 1, 100, "101", "100", 100, 3, 1, "100", 100},
        {0, 100, 1, 100, "1010", "100", 100, 4, 2, "100", 100},
        {-100, 100, 1, 0, "150", "100", 100, 3, 1, "100", 100},
        {-300, 600, 1, 0, "2147483647", "600", 600, 10, 7, "600", 600},
        {-300, 600, 1, 0, "-400", "-300", -300, 3, 1, "-300", -300},
        {1, 6000, 1, 20, "99999999", "6000", 6000, 8, 5, "6000", 6000},
        // On the way to a value in range: nothing yet, the limit when left.
        {10, 100, 1, 50, "5", "5", 50, 0, 0, "10", 10},
        {10, 100, 1, 50, "55", "55", 55, 1, 0, "55", 55},
        {-100, -10, 1, -50, "-5", "-5", -50, 0, 0, "-10", -10},
        {1, 9999, 1, 20, "0", "0", 20, 0, 0, "1", 1},
        // Digits finer than the quantum; another text of the value.
        {0, 100, 0.01, 0, "12.346", "12.35", 12.35, 6, 0, "12.35", 12.35},
        {0, 100, 0.5, 0, "1.0", "1.0", 1, 3, 0, "1", 1},
        {0, 100, 1, 0, "05", "05", 5, 2, 0, "5", 5},
        {-1, 1, 0.1, 0, "-0", "-0", 0, 1, 0, "0", 0},
        // No number: nothing changes; the text it had comes back.
        {-10, 10, 1, 4, "-", "-", 4, 0, 0, "4", 4},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Keys);
        TForm F;
        TEditTrackBarWex& E = *F.Edit;
        E.SetMax(C.Max);
        E.SetMin(C.Min);
        E.SetPrecision(C.Precision);
        E.SetPosition(C.Start);
        TSpy Spy(E);
        TBeeps Beeps;
        E.selectAll();
        QTest::keyClicks(&E, C.Keys);
        EXPECT_EQ(E.text().toStdString(), C.Shown);
        EXPECT_DOUBLE_EQ(E.Position(), C.Typed);
        EXPECT_EQ(Spy.Changes, C.Changes);
        EXPECT_EQ(Beeps.Count, C.Beeps);
        F.After->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(E.text().toStdString(), C.Left);
        EXPECT_DOUBLE_EQ(E.Position(), C.Stored);
        EXPECT_EQ(Spy.Commits, C.Stored == C.Start ? std::vector<double>{} : std::vector<double>{C.Stored});
    }
}

TEST(EditTrackBarWex, ATextEmptiedAfterAValueShowsTheValueTakenWhenLeft)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    E.SetPosition(10);
    TSpy Spy(E);
    E.selectAll();
    QTest::keyClicks(&E, "42");
    QTest::keyClick(&E, Qt::Key_Backspace);
    QTest::keyClick(&E, Qt::Key_Backspace);
    EXPECT_EQ(E.text(), "");
    EXPECT_EQ(E.Position(), 4);
    QTest::keyClick(&E, Qt::Key_Return);
    EXPECT_EQ(E.text(), "4");
    EXPECT_EQ(Spy.Commits, std::vector<double>{4});

    // A mixed value (empty) stays empty when nothing was typed into it.
    F.After->setFocus(Qt::TabFocusReason);
    E.setText(QString());
    E.setFocus(Qt::TabFocusReason);
    QTest::keyClicks(&E, "-");
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(E.text(), "");
    EXPECT_EQ(Spy.Commits.size(), 1u);

    // Hexadecimal above Max.
    E.SetMax(1000);
    E.SetHex(true);
    E.setFocus(Qt::TabFocusReason);
    E.selectAll();
    QTest::keyClicks(&E, "fff");
    EXPECT_EQ(E.text(), "3E8");
    EXPECT_EQ(E.Position(), 1000);
}

TEST(EditTrackBarWex, EachEditCommitsOnce)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    E.SetPosition(10);
    TSpy Spy(E);

    // Typing, Enter, Enter again, leaving: one commit.
    E.selectAll();
    QTest::keyClicks(&E, "42");
    EXPECT_EQ(E.Position(), 42);
    EXPECT_EQ(Spy.Changes, 2); // "4", "42": live
    EXPECT_TRUE(Spy.Commits.empty());
    QTest::keyClick(&E, Qt::Key_Return);
    QTest::keyClick(&E, Qt::Key_Return);
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Spy.Commits, std::vector<double>{42});

    // Typing and leaving: one more.
    E.setFocus(Qt::TabFocusReason);
    E.selectAll();
    QTest::keyClicks(&E, "7");
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Spy.Commits, (std::vector<double>{42, 7}));

    // A held key: one run, one commit at the real release.
    E.setFocus(Qt::TabFocusReason);
    Spy.Changes = 0;
    SendKey(&E, QEvent::KeyPress, Qt::Key_Up);
    for (int I = 0; I < 2; ++I) {
        SendKey(&E, QEvent::KeyRelease, Qt::Key_Up, true);
        SendKey(&E, QEvent::KeyPress, Qt::Key_Up, true);
    }
    EXPECT_EQ(Spy.Commits.size(), 2u);
    SendKey(&E, QEvent::KeyRelease, Qt::Key_Up);
    EXPECT_EQ(Spy.Changes, 3);
    EXPECT_EQ(Spy.Starts, 1);
    EXPECT_EQ(Spy.Ends, 1);
    EXPECT_EQ(Spy.Commits, (std::vector<double>{42, 7, 10}));
    QTest::keyClick(&E, Qt::Key_Return);
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Spy.Commits.size(), 3u);

    // A value the owner sets is no edit.
    E.setFocus(Qt::TabFocusReason);
    E.SetPosition(33);
    QTest::keyClick(&E, Qt::Key_Return);
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Spy.Commits.size(), 3u);
}

TEST(EditTrackBarWex, RepeatButtonsClickAtOnceThenAfterTheDelayThenAtTheInterval)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    TSpy Spy(E);
    TTimerSpeedButtonWex* Up = E.UpButton();
    EXPECT_EQ(Up->RepeatDelay, 400);
    EXPECT_EQ(Up->RepeatInterval, 100);
    Up->RepeatDelay = 80;
    Up->RepeatInterval = 20;
    QElapsedTimer Clock;
    std::vector<qint64> Times;
    const TNotifyEvent Step = Up->OnClick;
    Up->OnClick = [&](QObject* S) {
        Times.push_back(Clock.elapsed());
        Step(S);
    };
    F.After->setFocus(Qt::TabFocusReason);
    Clock.start();
    SendMouse(Up, QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton);
    EXPECT_TRUE(E.hasFocus());
    ASSERT_EQ(Times.size(), 1u);
    ASSERT_TRUE(Up->RepeatTimer() && Up->RepeatTimer()->isActive());
    EXPECT_EQ(Up->RepeatTimer()->interval(), 80);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Times.size() >= 3; }, 10000));
    EXPECT_EQ(Up->RepeatTimer()->interval(), 20);
    SendMouse(Up, QEvent::MouseButtonRelease, QPoint(3, 3), Qt::NoButton);
    EXPECT_FALSE(Up->RepeatTimer()->isActive());
    const size_t Clicks = Times.size();
    QTest::qWait(60);
    EXPECT_EQ(Times.size(), Clicks);
    EXPECT_GE(Times[1] - Times[0], 79);
    EXPECT_GE(Times[2] - Times[1], 19);
    EXPECT_EQ(E.Position(), double(Clicks));
    EXPECT_EQ(Spy.Starts, 1);
    EXPECT_EQ(Spy.Ends, 1);
    EXPECT_EQ(Spy.Commits, std::vector<double>{double(Clicks)});
}

// Opens the pop-up by pressing the track-bar button of E.
TfrmPopup* PressTrackBarButton(TEditTrackBarWex& E, QPoint At = QPoint(6, 8))
{
    SendMouse(E.EllipsisButton(), QEvent::MouseButtonPress, At, Qt::LeftButton);
    return E.Popup();
}

TEST(EditTrackBarWex, PopUpOpensUnderTheEditWithTheThumbUnderThePointerAndDragsOnce)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    E.SetPosition(37);
    TSpy Spy(E);
    QWidget* Button = E.EllipsisButton();
    TfrmPopup* Popup = PressTrackBarButton(E);
    ASSERT_TRUE(Popup);
    EXPECT_TRUE(Popup->isVisible());
    EXPECT_TRUE(E.hasFocus());
    EXPECT_EQ(Popup->y(), E.mapToGlobal(QPoint(0, E.height())).y());
    TTrackBarWexChild* T = Popup->TrackBar();
    EXPECT_EQ(T->value(), 37);
    EXPECT_EQ(T->mapToGlobal(T->ThumbCentre()).x(), Button->mapToGlobal(QPoint(6, 8)).x());
    EXPECT_EQ(Spy.Starts, 1);
    EXPECT_EQ(Spy.Changes, 0);

    // Far right, far left, back near the middle: live changes, no commit.
    SendMouse(Button, QEvent::MouseMove, QPoint(600, 8), Qt::LeftButton);
    EXPECT_EQ(E.Position(), 100);
    SendMouse(Button, QEvent::MouseMove, QPoint(-600, 8), Qt::LeftButton);
    EXPECT_EQ(E.Position(), 0);
    SendMouse(Button, QEvent::MouseMove, QPoint(0, 8), Qt::LeftButton);
    const double Dropped = E.Position();
    EXPECT_GT(Dropped, 0);
    EXPECT_LT(Dropped, 37);
    EXPECT_EQ(Spy.Changes, 3);
    EXPECT_TRUE(Spy.Commits.empty());
    SendMouse(Button, QEvent::MouseButtonRelease, QPoint(0, 8), Qt::NoButton);
    EXPECT_EQ(E.Popup(), nullptr);
    EXPECT_EQ(Spy.Ends, 1);
    EXPECT_EQ(Spy.Commits, std::vector<double>{Dropped});
    QTest::keyClick(&E, Qt::Key_Return);
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Spy.Commits.size(), 1u);

    // Leaving while it is open closes it; the drag is committed once.
    E.setFocus(Qt::TabFocusReason);
    PressTrackBarButton(E);
    SendMouse(Button, QEvent::MouseMove, QPoint(600, 8), Qt::LeftButton);
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(E.Popup(), nullptr);
    EXPECT_EQ(Spy.Ends, 2);
    EXPECT_EQ(Spy.Commits, (std::vector<double>{Dropped, 100}));
}

// Escape while the pop-up's thumb is dragged undoes the drag: the value and
// text from before it come back and the owner hears of them live, the run
// ends, and nothing is committed, not at Escape, nor at the release that
// follows, nor at Enter or leaving. A value typed before the drag is as it
// was: still waiting for its commit. An owner that puts back live changes
// is told when the committed text shows again. In a dialog the key is the
// edit's: the dialog stays.
TEST(EditTrackBarWex, EscapeDuringAPopupDragPutsBackTheValueFromBeforeIt)
{
    struct TCase {
        const char* Name;
        bool Reverts;      // the owner sets OnRevert
        const char* Typed; // typed before the drag ("" none)
        double Before;     // the value the drag started from
        int Reverted;
        std::vector<double> CommitsAfterEnter;
    };
    const TCase Cases[] = {
        {"committed value", false, "", 37, 0, {}},
        {"committed value, an owner that puts back", true, "", 37, 1, {}},
        {"a typed value waiting", false, "45", 45, 0, {45}},
        {"a typed value waiting, an owner that puts back", true, "45", 45, 0, {45}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        TForm F;
        TEditTrackBarWex& E = *F.Edit;
        E.SetPosition(37);
        TSpy Spy(E);
        std::vector<double> Live;
        E.OnChange = [&](QObject*) { Live.push_back(E.Position()); };
        int Reverted = 0;
        if (C.Reverts)
            E.OnRevert = [&](QObject*) { ++Reverted; };
        if (*C.Typed) {
            E.selectAll();
            QTest::keyClicks(&E, C.Typed);
        }
        const QString TextBefore = E.text();
        Live.clear();
        QWidget* Button = E.EllipsisButton();
        ASSERT_TRUE(PressTrackBarButton(E));
        SendMouse(Button, QEvent::MouseMove, QPoint(600, 8), Qt::LeftButton);
        ASSERT_EQ(E.Position(), 100);
        QTest::keyClick(&E, Qt::Key_Escape);
        EXPECT_EQ(E.Popup(), nullptr);
        EXPECT_EQ(E.Position(), C.Before);
        EXPECT_EQ(E.text(), TextBefore);
        EXPECT_EQ(Live, (std::vector<double>{100, C.Before}));
        EXPECT_EQ(Spy.Starts, 1);
        EXPECT_EQ(Spy.Ends, 1);
        EXPECT_EQ(Reverted, C.Reverted);
        // The button still held moves nothing; its release commits nothing.
        SendMouse(Button, QEvent::MouseMove, QPoint(-600, 8), Qt::LeftButton);
        SendMouse(Button, QEvent::MouseButtonRelease, QPoint(-600, 8), Qt::NoButton);
        EXPECT_EQ(E.Position(), C.Before);
        EXPECT_EQ(E.text(), TextBefore);
        EXPECT_EQ(Spy.Ends, 1);
        EXPECT_TRUE(Spy.Commits.empty());
        QTest::keyClick(&E, Qt::Key_Return);
        F.After->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(Spy.Commits, C.CommitsAfterEnter);
        EXPECT_EQ(Live.size(), 2u);
    }

    QDialog Dialog;
    auto* E = new TEditTrackBarWex(&Dialog);
    E->setGeometry(10, 10, 90, 21);
    E->SetPosition(37);
    Dialog.show();
    Dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Dialog));
    E->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(PressTrackBarButton(*E));
    SendMouse(E->EllipsisButton(), QEvent::MouseMove, QPoint(600, 8), Qt::LeftButton);
    QTest::keyClick(E, Qt::Key_Escape);
    EXPECT_TRUE(Dialog.isVisible());
    EXPECT_EQ(E->text(), "37");
    SendMouse(E->EllipsisButton(), QEvent::MouseButtonRelease, QPoint(600, 8), Qt::NoButton);
    // Once the drag is over, Escape is the dialog's again.
    QTest::keyClick(E, Qt::Key_Escape);
    EXPECT_FALSE(Dialog.isVisible());
    EXPECT_EQ(Dialog.result(), QDialog::Rejected);
}

// The pop-up opened and closed without a move ends a run as Enter does: a
// text that holds no value yet settles first, so that a commit always
// carries a value.
TEST(EditTrackBarWex, APopupClosedOverANumberBegunCommitsOnlyAValue)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    E.SetMin(-100);
    E.SetPosition(10);
    TSpy Spy(E);
    const auto Click = [&] {
        ASSERT_TRUE(PressTrackBarButton(E));
        SendMouse(E.EllipsisButton(), QEvent::MouseButtonRelease, QPoint(6, 8), Qt::NoButton);
        EXPECT_EQ(E.Popup(), nullptr);
    };
    // Nothing taken: the text it had comes back, nothing is committed.
    E.selectAll();
    QTest::keyClicks(&E, "-");
    ASSERT_EQ(E.text(), "-");
    Click();
    EXPECT_EQ(E.text(), "10");
    EXPECT_TRUE(Spy.Commits.empty());
    // A value taken, then its digits removed: that value, committed once.
    E.selectAll();
    QTest::keyClicks(&E, "4");
    QTest::keyClick(&E, Qt::Key_Backspace);
    EXPECT_EQ(E.text(), "");
    Click();
    EXPECT_EQ(E.text(), "4");
    EXPECT_EQ(Spy.Commits, std::vector<double>{4});
}

TEST(EditTrackBarWex, PopupPlaceKeepsTheThumbUnderThePointerInsideTheArea)
{
    struct TCase {
        int MouseX, ThumbX, Top;
        QSize Size;
        QPoint Place;
    };
    const QRect Area(0, 0, 1280, 1000);
    const TCase Cases[] = {
        {500, 100, 300, {200, 40}, {400, 300}},   // the thumb under the pointer
        {50, 150, 300, {200, 40}, {0, 300}},      // the left edge stops it
        {1270, 20, 300, {200, 40}, {1080, 300}},  // the right edge
        {600, 10, 990, {200, 40}, {590, 960}},    // the bottom edge
        {600, 10, 300, {1500, 40}, {0, 300}},     // wider than the screen: from its left
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(PopupPlace(C.MouseX, C.ThumbX, C.Top, C.Size, Area), C.Place) << C.MouseX << " " << C.ThumbX;
    EXPECT_EQ(PopupPlace(-600, 40, 50, {200, 40}, QRect(-1280, 20, 1280, 900)), QPoint(-640, 50));
    EXPECT_EQ(PopupPlace(100, 40, 50, {200, 40}, QRect(-1280, 20, 1280, 900)), QPoint(-200, 50));
}

// An angle edit (-360 to 360 in hundredths) opened at its value 0: the
// pop-up spanned the whole screen, its thumb far from the pointer, and a
// 2-pixel move took the value to -293.
TEST(EditTrackBarWex, PopupThumbStandsUnderThePointerAndMovesWithIt)
{
    struct TCase {
        double Min, Max, Precision, Position;
        int WindowX;
        bool UnderPointer;
    } const Cases[] = {
        {-360, 360, 0.01, 0, 300, true},
        {0, 100, 1, 100, 300, true},
        {0, 100, 1, 37, 300, true},
        {-360, 360, 0.01, 360, 0, false}, // the thumb at the right end, the edit at the screen's left
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Position);
        TForm F;
        F.Window.move(C.WindowX, 100);
        F.Edit->move(0, 40);
        TEditTrackBarWex& E = *F.Edit;
        E.SetMin(C.Min);
        E.SetMax(C.Max);
        E.SetPrecision(C.Precision);
        E.SetPosition(C.Position);
        test_support::ExpectPopupFollowsThePointer(E, C.UnderPointer);
    }
}

TEST(EditTrackBarWex, TrackBarScalesAndTheirLabels)
{
    struct TCase {
        TEditTrackBarWexStyle Style;
        double Min, Max, TrackBarMin, TrackBarMax, LineSize, Precision;
        int Count;
        std::vector<std::pair<int, double>> Values; // position, value
        std::vector<std::string> Labels;
    };
    const TCase Cases[] = {
        {etbksNormal, 0, 100, 0, 0, 1, 1, 101, {{0, 0}, {37, 37}}, {"0", "20", "40", "60", "80"}},
        {etbksNormal, 0, 100, 10, 50, 0.5, 0.5, 81, {{0, 10}, {3, 11.5}}, {"10", "20", "30", "40"}},
        {etbksNormal, -1, 1, 0, 0, 0.1, 0.1, 21, {{0, -1}, {10, 0}, {13, 0.3}}, {"-1", "-0.5", "0", "0.5"}},
        {etbksExp1, 1, 1000, 0, 0, 0.1, 0.01, 31, {{10, 10}, {3, 1.9952623149688795}},
         {"1", "3.16", "10", "31.6", "100", "316"}},
        {etbksExp2, 1, 1000, 0, 0, 1, 1, 28, {{0, 1}, {8, 9}, {9, 10}, {10, 20}, {20, 300}, {27, 1000}},
         {"1", "6", "20", "70", "300", "800"}},
    };
    for (const TCase& C : Cases) {
        TForm F;
        TEditTrackBarWex& E = *F.Edit;
        E.SetMax(C.Max);
        E.SetMin(C.Min);
        E.SetPrecision(C.Precision);
        E.LineSize = C.LineSize;
        E.SetTrackBarMin(C.TrackBarMin);
        E.SetTrackBarMax(C.TrackBarMax);
        E.SetTrackBarStyle(C.Style);
        EXPECT_EQ(E.TrackBarCount(), C.Count) << C.Style << " " << C.Max;
        for (const auto& [Position, Value] : C.Values) {
            EXPECT_DOUBLE_EQ(E.TrackBarValue(Position), Value) << C.Style << " " << Position;
            EXPECT_EQ(E.TrackBarIndex(Value), Position) << C.Style << " " << Value;
        }
        TfrmPopup* Popup = PressTrackBarButton(E);
        ASSERT_TRUE(Popup);
        std::vector<std::string> Labels;
        std::vector<QLabel*> L = Popup->Labels();
        std::sort(L.begin(), L.end(), [](QLabel* A, QLabel* B) { return A->x() < B->x(); });
        for (QLabel* Label : L)
            Labels.push_back(Label->text().toStdString());
        EXPECT_EQ(Labels, C.Labels) << C.Style << " " << C.Max;
        EXPECT_EQ(Popup->TrackBar()->Ticks().size(), C.Labels.size() - 1);
        E.ClosePopup();
    }
}

TEST(EditTrackBarWex, PopupLabelsOfLongNumbersStandApartInsideThePopup)
{
    // A macro parameter without a range of its own spans 0 to 100000: five
    // six-digit labels on the least pop-up ran together as "0 200004000060000".
    for (const double Max : {100000.0, 1000000.0, 10.0}) {
        TForm F;
        TEditTrackBarWex& E = *F.Edit;
        E.SetMin(0);
        E.SetMax(Max);
        TfrmPopup* Popup = PressTrackBarButton(E);
        ASSERT_TRUE(Popup);
        std::vector<QLabel*> L = Popup->Labels();
        ASSERT_GE(L.size(), 3u) << Max;
        std::sort(L.begin(), L.end(), [](QLabel* A, QLabel* B) { return A->x() < B->x(); });
        EXPECT_GE(L.front()->x(), 0) << Max;
        EXPECT_LE(L.back()->geometry().right(), Popup->width() - 1) << Max;
        for (size_t I = 1; I < L.size(); ++I)
            EXPECT_GT(L[I]->x(), L[I - 1]->geometry().right() + 1) << Max << " " << L[I]->text().toStdString();
        // The thumb still sits on the value.
        EXPECT_EQ(Popup->TrackBar()->value(), E.TrackBarIndex(E.Position())) << Max;
        E.ClosePopup();
    }
}

TEST(EditTrackBarWex, DraggedValuesAreRoundedToTheStepAndToFourDigits)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    E.SetMax(100);
    E.SetMin(1);
    E.SetPrecision(0.01);
    E.LineSize = 0.1;
    E.PageSize = 1;
    E.SetTrackBarStyle(etbksExp1);
    TfrmPopup* Popup = PressTrackBarButton(E);
    ASSERT_TRUE(Popup);
    Popup->TrackBar()->setValue(3); // 10^0.3 = 1.995...
    EXPECT_DOUBLE_EQ(E.Position(), 2);
    Popup->TrackBar()->setValue(17); // 50.118...: to the line size 0.1, then to four digits of 100
    EXPECT_DOUBLE_EQ(E.Position(), 50.1);
    const TShiftStateReader Old = SetShiftStateReader([] { return ssShift; });
    Popup->TrackBar()->setValue(16); // 39.81...: to the page size 1
    SetShiftStateReader(Old);
    EXPECT_DOUBLE_EQ(E.Position(), 40);
    E.ClosePopup();
}

TEST(EditTrackBarWex, ButtonsShowAsAskedAndTabSkipsThem)
{
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    EXPECT_TRUE(E.UpButton()->isVisible());
    EXPECT_TRUE(E.EllipsisButton()->isVisible());
    EXPECT_EQ(E.EllipsisButton()->geometry(), QRect(E.width() - 14, 2, 12, E.height() - 4));
    EXPECT_EQ(E.UpButton()->geometry(), QRect(E.width() - 26, 2, 12, (E.height() - 4) / 2));
    EXPECT_EQ(E.DownButton()->geometry().top(), 2 + (E.height() - 4) / 2);
    E.SetButtons(etbkbUpDown);
    EXPECT_EQ(E.Style(), eksSimple);
    EXPECT_FALSE(E.EllipsisButton()->isVisible());
    EXPECT_EQ(E.UpButton()->x(), E.width() - 14);
    EXPECT_EQ(PressTrackBarButton(E), nullptr);
    E.SetButtons(etbkbTrackBar);
    EXPECT_FALSE(E.UpButton()->isVisible());
    EXPECT_TRUE(E.EllipsisButton()->isVisible());

    F.Before->setFocus(Qt::TabFocusReason);
    QTest::keyClick(F.Before, Qt::Key_Tab);
    EXPECT_TRUE(E.hasFocus());
    QTest::keyClick(&E, Qt::Key_Tab);
    EXPECT_TRUE(F.After->hasFocus());
}

TEST(EditTrackBarWex, FaceAndPopUpMatchTheirGoldens)
{
    const int Flash = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0); // the caret steady, not blinking
    TForm F;
    TEditTrackBarWex& E = *F.Edit;
    E.SetPrecision(0.5);
    E.SetPosition(12.5);
    F.After->setFocus(Qt::TabFocusReason);
    const QImage Face = E.grab().toImage();
    E.setFocus(Qt::TabFocusReason);
    E.deselect();
    const QImage Focused = E.grab().toImage();
    TfrmPopup* Popup = PressTrackBarButton(E);
    ASSERT_TRUE(Popup);
    const QImage PopupFace = Popup->grab().toImage();
    E.ClosePopup();

    QImage Sheet(std::max(Face.width(), PopupFace.width()), Face.height() * 2 + PopupFace.height() + 4,
                 QImage::Format_RGB32);
    Sheet.fill(Qt::white);
    QPainter P(&Sheet);
    P.drawImage(0, 0, Face);
    P.drawImage(0, Face.height() + 2, Focused);
    P.drawImage(0, Face.height() * 2 + 4, PopupFace);
    P.end();
    QApplication::setCursorFlashTime(Flash);
    ExpectMatchesGolden(Sheet, "edit_track_bar_wex.png", 8, 8);
}

TEST(EditWex, EscapePutsBackTheCancelTextAndARefusedTextComesBack)
{
    TForm F;
    auto* E = new TEditWex(&F.Window);
    E->setGeometry(120, 40, 100, 21);
    E->show();
    E->setText("abcdef");
    E->UseCancel = true;
    E->OnCancel = [](QObject*, QString& Text) { Text += "!"; };
    E->setFocus(Qt::TabFocusReason);
    QTest::keyClicks(E, "xy");
    QTest::keyClick(E, Qt::Key_Escape);
    EXPECT_EQ(E->text(), "abcdef!");

    std::vector<std::string> Asked;
    E->OnChanging = [&](QObject*, const QString& New, const QString& Old, bool& Accept) {
        Asked.push_back(New.toStdString() + "|" + Old.toStdString());
        Accept = New != "abcXYZ";
    };
    F.After->setFocus(Qt::TabFocusReason);
    E->setFocus(Qt::TabFocusReason);
    E->setText("abcXYZ");
    F.After->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(Asked, (std::vector<std::string>{"abcdef!|", "abcXYZ|abcdef!"}));
    EXPECT_EQ(E->text(), "abcdef!");
    EXPECT_EQ(E->cursorPosition(), 3);
    EXPECT_FALSE(E->hasSelectedText());
}

TEST(EditWex, AnEditWithAButtonKeepsEnterFromTheDialog)
{
    struct TCase {
        TEditWexStyle Style;
        bool EnterNext;
        bool Accepted, OkFocused;
    };
    for (const TCase& C : {TCase{eksSimple, false, true, false}, TCase{eksEllipsis, false, false, false},
                           TCase{eksEllipsis, true, false, true}}) {
        QDialog D;
        auto* E = new TEditWex(&D);
        E->SetStyle(C.Style);
        E->EnterNext = C.EnterNext;
        auto* Ok = new QPushButton("OK", &D);
        Ok->move(0, 40);
        Ok->setDefault(true);
        QObject::connect(Ok, &QPushButton::clicked, &D, &QDialog::accept);
        D.show();
        ASSERT_TRUE(ActivateAndWait(&D));
        E->setFocus();
        QTest::keyClick(E, Qt::Key_Return);
        EXPECT_EQ(D.result() == QDialog::Accepted, C.Accepted) << C.Style;
        EXPECT_EQ(Ok->hasFocus(), C.OkFocused) << C.Style;
    }
}

TEST(UpDownWex, SitsBesideOrInsideItsEditAndStepsKeepingTheCaret)
{
    TForm F;
    auto* Edit = new QLineEdit(&F.Window);
    Edit->setGeometry(120, 40, 80, 24);
    Edit->show();
    auto* UpDown = new TUpDownWex(&F.Window);
    UpDown->resize(15, 24);
    UpDown->show();
    UpDown->Max = 10;
    UpDown->SetAssociate(Edit);
    EXPECT_EQ(Edit->width(), 65);
    EXPECT_EQ(UpDown->geometry(), QRect(185, 40, 15, 24));
    Edit->resize(80, 24);
    UpDown->SetInner(true);
    EXPECT_EQ(UpDown->geometry(), QRect(120 + 80 - 15 - 2, 42, 15, 20));

    std::vector<TUDBtnType> Clicks;
    UpDown->OnClick = [&](QObject*, TUDBtnType B) { Clicks.push_back(B); };
    UpDown->Wrap = true;
    UpDown->SetPosition(9);
    F.After->setFocus(Qt::TabFocusReason);
    SendMouse(UpDown->UpButton(), QEvent::MouseButtonPress, QPoint(3, 3), Qt::LeftButton);
    SendMouse(UpDown->UpButton(), QEvent::MouseButtonRelease, QPoint(3, 3), Qt::NoButton);
    EXPECT_TRUE(Edit->hasFocus());
    Edit->setCursorPosition(0);
    QTest::keyClick(Edit, Qt::Key_Up); // 10 wraps to 0: reported as going down
    EXPECT_EQ(Edit->text(), "0");
    EXPECT_EQ(Edit->cursorPosition(), 0);
    QTest::keyClick(Edit, Qt::Key_Down);
    EXPECT_EQ(UpDown->Position(), 10);
    EXPECT_EQ(Clicks, (std::vector<TUDBtnType>{btNext, btPrev, btNext}));
}

} // namespace

// An edit fitted to its range shows its widest value whole, in the edit's
// font, beside its buttons; the widest is found at either end of the range
// and one step inside it.
TEST(EditTrackBarWex, AFittedEditShowsItsWidestValueWhole)
{
    struct TCase {
        double Precision, Min, Max;
        bool Hex;
        const char* Widest;
    } const Cases[] = {
        {1, 1, 400, false, "400"},          {0.01, 0.01, 10, false, "9.99"},
        {0.1, -999, 999, false, "-998.9"},  {1, -100000, 100000, false, "-100000"},
        {1, 1, 9999, false, "9999"},        {0.01, -360, 360, false, "-359.99"},
        {1, 0, 0xFFFFFF, true, "FFFFFE"},
    };
    for (const TCase& C : Cases) {
        TEditTrackBarWex E;
        E.resize(30, 20);
        E.SetHex(C.Hex);
        E.SetMin(C.Min);
        E.SetMax(C.Max);
        E.SetPrecision(C.Precision);
        // As wide as the widest of the values named (another may tie).
        const QString Widest = E.WidestText();
        const int Advance = E.fontMetrics().horizontalAdvance(Widest);
        EXPECT_EQ(Advance, E.fontMetrics().horizontalAdvance(C.Widest)) << Widest.toStdString();
        EXPECT_LT(EditTextRoom(&E), Advance + 1) << C.Widest;
        FitEditWidth(&E, {Widest});
        // Room for the text and the caret after it, and no more; a layout
        // may not squeeze it.
        EXPECT_EQ(EditTextRoom(&E), Advance + 1) << C.Widest;
        EXPECT_EQ(E.minimumWidth(), E.width()) << C.Widest;
        // The room is what the style leaves inside the frame and beside
        // the buttons.
        EXPECT_LE(EditTextRoom(&E) + E.textMargins().right(), E.width() - 4) << C.Widest;
    }
}
