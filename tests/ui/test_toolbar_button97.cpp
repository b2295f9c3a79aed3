// Toolbar buttons: groups and their down states, repeat timing, the hot
// border's polling, the drop-down arrow's press zone, the layout of glyph
// and caption, and the property values that are refused.
#include "tool_window_test_support.h"
#include "ui/toolbar_button97.h"
#include "window_wait.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <memory>
#include <vector>

namespace {

class TToolbarButton97Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        Form = std::make_unique<QWidget>();
        Form->resize(300, 100);
        Form->show();
        // The hot border needs an active application: the form is made the
        // active window (the state change alone counts only while a tool
        // window's hooks listen).
        EXPECT_TRUE(ActivateAndWait(Form.get()));
        SetApplicationActive(true);
        FOldUnder = TToolbarButton97::ControlUnderCursor;
        TToolbarButton97::ControlUnderCursor = [this] { return Under; };
    }
    void TearDown() override
    {
        TToolbarButton97::ControlUnderCursor = FOldUnder;
        Form.reset();
    }
    TToolbarButton97* Button(int X = 0)
    {
        auto* B = new TToolbarButton97(Form.get());
        B->move(X, 0);
        B->show();
        return B;
    }
    static void Send(QWidget* W, QEvent::Type Type, QPoint P, Qt::MouseButton Button = Qt::LeftButton)
    {
        const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Button);
        QMouseEvent E(Type, P, W->mapToGlobal(P), Type == QEvent::MouseMove ? Qt::NoButton : Button, Held,
                      Qt::NoModifier);
        QApplication::sendEvent(W, &E);
    }

    std::unique_ptr<QWidget> Form;
    QWidget* Under = nullptr;

private:
    std::function<QWidget*()> FOldUnder;
};

TEST_F(TToolbarButton97Test, DownNeedsAGroupAndTheGroupKeepsOneDown)
{
    TToolbarButton97* Alone = Button();
    Alone->SetDown(true);
    EXPECT_FALSE(Alone->Down());

    std::vector<TToolbarButton97*> G = {Button(30), Button(60), Button(90)};
    for (TToolbarButton97* B : G)
        B->SetGroupIndex(5);
    G[0]->SetDown(true);
    G[1]->SetDown(true);
    EXPECT_FALSE(G[0]->Down());
    EXPECT_TRUE(G[1]->Down());
    EXPECT_EQ(G[1]->State(), bsExclusive);
    // The only down button stays down without AllowAllUp ...
    G[1]->SetDown(false);
    EXPECT_TRUE(G[1]->Down());
    // ... and a click on it leaves it down.
    G[1]->Click();
    EXPECT_TRUE(G[1]->Down());
    // AllowAllUp goes to the whole group.
    G[2]->SetAllowAllUp(true);
    EXPECT_TRUE(G[0]->AllowAllUp());
    G[1]->SetDown(false);
    EXPECT_FALSE(G[1]->Down());
}

TEST_F(TToolbarButton97Test, ARepeatingButtonClicksAtOnceAfter400AndEvery100)
{
    TToolbarButton97* B = Button();
    B->SetRepeating(true);
    QElapsedTimer Clock;
    std::vector<qint64> Clicks;
    B->OnClick = [&](TToolbarButton97*) { Clicks.push_back(Clock.elapsed()); };
    Clock.start();
    Send(B, QEvent::MouseButtonPress, QPoint(5, 5));
    ASSERT_EQ(Clicks.size(), 1u);
    // The repeat timer's own intervals say 400 ms, then 100; the click times
    // say that none came early (a timer may fire late on a loaded machine,
    // never early).
    QTimer* Repeat = nullptr;
    for (QTimer* T : B->findChildren<QTimer*>())
        if (T->isActive())
            Repeat = T;
    ASSERT_NE(Repeat, nullptr);
    EXPECT_EQ(Repeat->interval(), 400);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Clicks.size() >= 3; }, 10000));
    EXPECT_EQ(Repeat->interval(), 100);
    EXPECT_GE(Clicks[1] - Clicks[0], 390);
    EXPECT_GE(Clicks[2] - Clicks[1], 90);
    // Outside the button the clicks pause; back inside they go on.
    Send(B, QEvent::MouseMove, QPoint(100, 5));
    QTest::qWait(30);
    const size_t Paused = Clicks.size();
    QTest::qWait(300);
    EXPECT_EQ(Clicks.size(), Paused);
    Send(B, QEvent::MouseMove, QPoint(5, 5));
    EXPECT_TRUE(QTest::qWaitFor([&] { return Clicks.size() > Paused; }, 10000));
    // The release ends it without another click.
    Send(B, QEvent::MouseButtonRelease, QPoint(5, 5));
    const size_t Released = Clicks.size();
    QTest::qWait(250);
    EXPECT_EQ(Clicks.size(), Released);
}

TEST_F(TToolbarButton97Test, TheHotBorderGoesWithin125MsOfTheCursorLeaving)
{
    TToolbarButton97* B = Button();
    EXPECT_EQ(TToolbarButton97::HoverInterval(), 125);
    Under = B;
    QEvent Enter(QEvent::Enter);
    QApplication::sendEvent(B, &Enter);
    EXPECT_EQ(TToolbarButton97::HotButton(), B);
    EXPECT_EQ(B->State(), bsHot);
    EXPECT_TRUE(TToolbarButton97::HoverTimerActive());
    // The cursor goes somewhere no window of ours tells us of: the next
    // tick of the poll ends the hot state. Its ticks are counted, not timed,
    // so that a loaded machine's late timers do not count against it.
    QTest::qWait(30);
    struct TTicks : QObject {
        int Count = 0;
        bool eventFilter(QObject* Watched, QEvent* Event) override
        {
            if (auto* T = qobject_cast<QTimer*>(Watched); T && Event->type() == QEvent::Timer && !T->parent() &&
                                                          T->interval() == TToolbarButton97::HoverInterval())
                ++Count;
            return false;
        }
    } Ticks;
    qApp->installEventFilter(&Ticks);
    Under = nullptr;
    EXPECT_TRUE(QTest::qWaitFor([] { return TToolbarButton97::HotButton() == nullptr; }, 10000));
    qApp->removeEventFilter(&Ticks);
    EXPECT_EQ(Ticks.Count, 1);
    EXPECT_EQ(B->State(), bsUp);
    EXPECT_FALSE(TToolbarButton97::HoverTimerActive());
}

TEST_F(TToolbarButton97Test, AMoveOntoAnotherControlEndsTheHotStateAtOnce)
{
    TToolbarButton97* B = Button();
    auto* Other = new QWidget(Form.get());
    Other->setGeometry(100, 0, 50, 20);
    Other->show();
    Under = B;
    QEvent Enter(QEvent::Enter);
    QApplication::sendEvent(B, &Enter);
    ASSERT_EQ(TToolbarButton97::HotButton(), B);
    // A move the button passed on to its parent is still over the button.
    Send(Form.get(), QEvent::MouseMove, QPoint(5, 5));
    EXPECT_EQ(TToolbarButton97::HotButton(), B);
    Send(Other, QEvent::MouseMove, QPoint(5, 5));
    EXPECT_EQ(TToolbarButton97::HotButton(), nullptr);
    EXPECT_EQ(B->State(), bsUp);
}

TEST_F(TToolbarButton97Test, AComboOpensItsMenuFromTheLast11Pixels)
{
    TToolbarButton97* B = Button();
    B->resize(40, 22);
    B->SetDropdownAlways(true);
    B->SetDropdownCombo(true);
    int Clicks = 0, Dropdowns = 0;
    B->OnClick = [&](TToolbarButton97*) { ++Clicks; };
    B->OnDropdown = [&](TToolbarButton97*, bool& ShowMenu, bool&) {
        ++Dropdowns;
        ShowMenu = false;
    };
    struct TCase {
        int X;
        int Clicks, Dropdowns;
    };
    for (const TCase& C : {TCase{28, 1, 0}, TCase{29, 0, 1}, TCase{39, 0, 1}, TCase{0, 1, 0}}) {
        Clicks = Dropdowns = 0;
        Send(B, QEvent::MouseButtonPress, QPoint(C.X, 5));
        Send(B, QEvent::MouseButtonRelease, QPoint(C.X, 5));
        EXPECT_EQ(Clicks, C.Clicks) << C.X;
        EXPECT_EQ(Dropdowns, C.Dropdowns) << C.X;
    }
    // A whole-button drop-down clicks and drops down at once.
    B->SetDropdownCombo(false);
    Clicks = Dropdowns = 0;
    Send(B, QEvent::MouseButtonPress, QPoint(0, 5));
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(Dropdowns, 1);
    Send(B, QEvent::MouseButtonRelease, QPoint(0, 5));
    EXPECT_EQ(Clicks, 1);
}

TEST_F(TToolbarButton97Test, ThePressThatClosesTheMenuDoesNotPressTheButtonAgain)
{
    TToolbarButton97* B = Button();
    TToolbarButton97* Other = Button(40);
    QMenu Menu;
    Menu.addAction("item");
    B->SetDropdownMenu(&Menu);
    int Clicks = 0, OtherClicks = 0, Menus = 0;
    B->OnClick = [&](TToolbarButton97*) { ++Clicks; };
    Other->OnClick = [&](TToolbarButton97*) { ++OtherClicks; };
    bool Remove = true;
    B->OnDropdown = [&](TToolbarButton97*, bool& ShowMenu, bool& RemoveClicks) {
        ++Menus;
        EXPECT_TRUE(ShowMenu);
        RemoveClicks = Remove;
    };
    // The closing press lands on Target while the menu is open.
    const auto OpenAndCloseOn = [&](QWidget* Target) {
        QTimer::singleShot(30, &Menu, [&Menu, Target] {
            const QPoint P(5, 5);
            QCoreApplication::postEvent(Target, new QMouseEvent(QEvent::MouseButtonPress, P, Target->mapToGlobal(P),
                                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
            QCoreApplication::postEvent(Target, new QMouseEvent(QEvent::MouseButtonRelease, P, Target->mapToGlobal(P),
                                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
            Menu.close();
        });
        B->Click();
        QTest::qWait(20);
    };
    OpenAndCloseOn(B);
    EXPECT_EQ(Menus, 1);
    EXPECT_EQ(Clicks, 1); // the click that opened it, not the one that closed it
    EXPECT_FALSE(B->MenuIsDown());
    OpenAndCloseOn(Other);
    EXPECT_EQ(OtherClicks, 1);
    // A press right after the menu closed counts as the closing one only
    // with RemoveClicks.
    for (bool R : {true, false}) {
        Remove = R;
        Menus = 0;
        QTimer::singleShot(30, &Menu, [&Menu] { Menu.close(); });
        B->Click();
        QTimer::singleShot(30, &Menu, [&Menu] { Menu.close(); });
        Send(B, QEvent::MouseButtonPress, QPoint(5, 5));
        Send(B, QEvent::MouseButtonRelease, QPoint(5, 5));
        QTimer::singleShot(0, &Menu, [&Menu] { Menu.close(); });
        QTest::qWait(50);
        EXPECT_EQ(Menus, R ? 1 : 2) << R;
    }
}

TEST_F(TToolbarButton97Test, TheCaptionsAcceleratorClicksUnlessOnlyTheGlyphShows)
{
    TToolbarButton97* B = Button();
    B->SetCaption("開く(&O)");
    int Clicks = 0;
    B->OnClick = [&](TToolbarButton97*) { ++Clicks; };
    QApplication::setActiveWindow(Form.get());
    Form->activateWindow();
    QTest::keyClick(Form.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(Clicks, 1);
    B->SetDisplayMode(dmGlyphOnly);
    QTest::keyClick(Form.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(Clicks, 1);
    B->SetDisplayMode(dmBoth);
    B->setEnabled(false);
    QTest::keyClick(Form.get(), Qt::Key_O, Qt::AltModifier);
    EXPECT_EQ(Clicks, 1);
}

TEST_F(TToolbarButton97Test, RefusedValuesOfMarginAndNumGlyphs)
{
    TToolbarButton97* B = Button();
    B->SetMargin(3);
    B->SetMargin(-2);
    EXPECT_EQ(B->Margin(), 3);
    B->SetMargin(-1);
    EXPECT_EQ(B->Margin(), -1);
    struct TCase {
        int Set, Want;
    };
    for (const TCase& C : {TCase{6, 1}, TCase{0, 1}, TCase{5, 5}, TCase{2, 2}}) {
        B->SetNumGlyphs(C.Set);
        EXPECT_EQ(B->NumGlyphs(), C.Want) << C.Set;
    }
    // A strip of square images tells its count; more than five counts as one.
    B->SetGlyph(QPixmap(80, 16));
    EXPECT_EQ(B->NumGlyphs(), 5);
    B->SetGlyph(QPixmap(96, 16));
    EXPECT_EQ(B->NumGlyphs(), 1);
    // With an image list there is one image per index.
    TImageList97 List;
    B->SetNumGlyphs(3);
    B->SetImages(&List);
    EXPECT_EQ(B->NumGlyphs(), 1);
}

TEST_F(TToolbarButton97Test, TheDisabledFaceIsOnePixelLargerAndEmbossed)
{
    TToolbarButton97* B = Button();
    QImage G(16, 16, QImage::Format_RGB32);
    G.fill(QColor(0, 128, 0)); // bottom-left: the transparent colour
    for (int Y = 4; Y < 8; ++Y)
        for (int X = 4; X < 8; ++X)
            G.setPixelColor(X, Y, Qt::black);
    B->SetGlyph(QPixmap::fromImage(G));
    const QImage D = B->StateImage(bsDisabled).toImage();
    EXPECT_EQ(D.size(), QSize(17, 17));
    EXPECT_EQ(QColor(D.pixel(4, 4)), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(QColor(D.pixel(8, 8)), QColor(0xFF, 0xFF, 0xFF));
    EXPECT_EQ(qAlpha(D.pixel(0, 0)), 0);
    EXPECT_EQ(B->StateImage(bsUp).size(), QSize(16, 16));
}

TEST(ButtonLayout, MarginAndSpacingPlaceGlyphAndCaption)
{
    struct TCase {
        const char* Name;
        TButtonLayout97 Layout;
        int32_t Margin, Spacing;
        QPoint Glyph;
        int32_t TextLeft;
    };
    // Content 60 x 20, glyph 16 x 16, caption 20 x 12.
    const TCase Cases[] = {
        {"centred", blGlyphLeft, -1, 4, {10, 2}, 30},
        {"even", blGlyphLeft, -1, -1, {8, 2}, 32},
        {"margin", blGlyphLeft, 2, 4, {2, 2}, 22},
        {"spread", blGlyphLeft, 2, -1, {2, 2}, 29},
        {"right", blGlyphRight, 2, 4, {42, 2}, 18},
    };
    for (const TCase& C : Cases) {
        const TButtonLayoutResult R =
            CalcButtonLayout(QSize(60, 20), QSize(16, 16), QSize(20, 12), 0, C.Layout, C.Margin, C.Spacing);
        EXPECT_EQ(R.GlyphPos, C.Glyph) << C.Name;
        EXPECT_EQ(R.TextRect.left(), C.TextLeft) << C.Name;
        EXPECT_EQ(R.TextRect.top(), 4) << C.Name;
    }
    // Glyph on top: the caption goes below it.
    const TButtonLayoutResult Top =
        CalcButtonLayout(QSize(40, 40), QSize(16, 16), QSize(20, 12), 0, blGlyphTop, 2, 4);
    EXPECT_EQ(Top.GlyphPos, QPoint(12, 2));
    EXPECT_EQ(Top.TextRect.topLeft(), QPoint(10, 22));
}

} // namespace
