// Tool windows under the mouse: dragging between docks and the floating
// state, Ctrl and Escape, sizing by each edge and corner, double clicks and
// the close button, all driven by synthetic mouse and key events.
#include "tool_window_test_support.h"
#include "ui/tool_window_drag97.h"

#include <QLabel>
#include <QTest>
#include <QWindow>

namespace {

void Mouse(QWidget* W, QEvent::Type Type, const QPoint& Global, Qt::KeyboardModifiers Mods = Qt::NoModifier)
{
    const Qt::MouseButton Button = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    const Qt::MouseButtons Held = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent E(Type, W->mapFromGlobal(QPointF(Global)), QPointF(Global), Button, Held, Mods);
    QApplication::sendEvent(W, &E);
}

void Drag(QWidget* W, const QPoint& From, const QPoint& To)
{
    Mouse(W, QEvent::MouseButtonPress, From);
    Mouse(W, QEvent::MouseMove, To);
    Mouse(W, QEvent::MouseButtonRelease, To);
}

void DoubleClick(QWidget* W, const QPoint& At)
{
    Mouse(W, QEvent::MouseButtonPress, At);
    Mouse(W, QEvent::MouseButtonRelease, At);
    Mouse(W, QEvent::MouseButtonDblClick, At);
    Mouse(W, QEvent::MouseButtonRelease, At);
}

} // namespace

using TToolWindowDrag97Test = TDockFormTest;

TEST_F(TToolWindowDrag97Test, DockedWindowIsDraggedOutToFloatAndBackIntoAnotherDock)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    ASSERT_EQ(A->mapToGlobal(QPoint(0, 0)), QPoint(100, 100));
    Mouse(A, QEvent::MouseButtonPress, QPoint(105, 110));
    ASSERT_TRUE(A->Moving());
    EXPECT_EQ(A->DragTarget(), Top);
    EXPECT_EQ(A->DragOutlineRect(), QRect(100, 100, 53, 20));
    EXPECT_EQ(A->DragOutlineThickness(), 1);
    Mouse(A, QEvent::MouseMove, QPoint(300, 300));
    EXPECT_EQ(A->DragTarget(), nullptr);
    EXPECT_EQ(A->DragOutlineRect(), QRect(295, 280, 48, 39));
    EXPECT_EQ(A->DragOutlineThickness(), 4);
    Mouse(A, QEvent::MouseButtonRelease, QPoint(300, 300));
    EXPECT_FALSE(A->Moving());
    ASSERT_TRUE(A->Floating());
    EXPECT_EQ(A->geometry(), QRect(295, 280, 48, 39));
    EXPECT_EQ(Top->height(), 0);

    // From its caption into the empty bottom dock.
    Mouse(A, QEvent::MouseButtonPress, QPoint(305, 288));
    Mouse(A, QEvent::MouseMove, QPoint(200, 395));
    EXPECT_EQ(A->DragTarget(), Bottom);
    EXPECT_EQ(A->DragOutlineRect(), QRect(189, 391, 53, 20));
    Mouse(A, QEvent::MouseButtonRelease, QPoint(200, 395));
    EXPECT_EQ(A->DockedTo(), Bottom);
    EXPECT_EQ(A->DockRow(), 0);
    EXPECT_EQ(A->geometry(), QRect(89, 0, 53, 20));
    EXPECT_EQ(Bottom->geometry(), QRect(0, 280, 400, 20));
    EXPECT_EQ(A->LastDock(), Bottom);
    EXPECT_TRUE(Top->ToolWindows().empty());
}

// Three rows of 20 pixels in the top dock; the bottom window is dropped with
// its middle at a cursor height: into the band above row 1 it opens a row
// there, inside row 1 it joins it.
TEST_F(TToolWindowDrag97Test, DropIntoTheBandBetweenRowsOpensANewRow)
{
    struct {
        int32_t CursorY;
        int32_t RowA, RowB, RowC;
        int32_t Height;
    } Cases[] = {{121, 0, 2, 1, 60}, {130, 0, 1, 1, 40}};
    for (const auto& C : Cases) {
        SetUp();
        TCustomToolWindow97* A = Make(Top, 0, 0);
        TCustomToolWindow97* B = Make(Top, 1, 0);
        TCustomToolWindow97* W = Make(Top, 2, 0);
        Drag(W, QPoint(105, 150), QPoint(250, C.CursorY));
        EXPECT_EQ(A->DockRow(), C.RowA) << C.CursorY;
        EXPECT_EQ(B->DockRow(), C.RowB) << C.CursorY;
        EXPECT_EQ(W->DockRow(), C.RowC) << C.CursorY;
        EXPECT_EQ(W->DockPos(), 145) << C.CursorY;
        EXPECT_EQ(W->x(), 145) << C.CursorY;
        EXPECT_EQ(Top->height(), C.Height) << C.CursorY;
    }
}

TEST_F(TToolWindowDrag97Test, FullSizeWindowDroppedOnAnOccupiedRowGetsARowAfterIt)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    TCustomToolWindow97* F = Make(Bottom, 0, 0);
    F->SetFullSize(true);
    Drag(F, F->mapToGlobal(QPoint(5, 10)), QPoint(300, 110));
    EXPECT_EQ(F->DockedTo(), Top);
    EXPECT_EQ(A->DockRow(), 0);
    EXPECT_EQ(F->DockRow(), 1);
    EXPECT_EQ(F->width(), 400);
}

TEST_F(TToolWindowDrag97Test, CtrlPreventsDockingAndSwitchesAtOnce)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    Mouse(A, QEvent::MouseButtonPress, QPoint(105, 110));
    EXPECT_EQ(A->DragTarget(), Top);
    QTest::keyPress(A, Qt::Key_Control);
    EXPECT_EQ(A->DragTarget(), nullptr);
    EXPECT_EQ(A->DragOutlineThickness(), 4);
    QTest::keyRelease(A, Qt::Key_Control);
    EXPECT_EQ(A->DragTarget(), Top);
    Mouse(A, QEvent::MouseButtonRelease, QPoint(105, 110));
    EXPECT_EQ(A->DockedTo(), Top);

    // Held from the start: released at the same place it floats there.
    Mouse(A, QEvent::MouseButtonPress, QPoint(105, 110), Qt::ControlModifier);
    EXPECT_EQ(A->DragTarget(), nullptr);
    Mouse(A, QEvent::MouseButtonRelease, QPoint(105, 110));
    EXPECT_TRUE(A->Floating());
}

TEST_F(TToolWindowDrag97Test, WindowThatCannotFloatShowsNoEntryAwayFromDocksAndStays)
{
    TCustomToolWindow97* A = Make(Top, 0, 30);
    A->SetDockMode(dmCannotFloat);
    Mouse(A, QEvent::MouseButtonPress, QPoint(135, 110));
    Mouse(A, QEvent::MouseMove, QPoint(300, 300));
    EXPECT_TRUE(A->DragOutlineRect().isEmpty());
    EXPECT_EQ(A->cursor().shape(), Qt::ForbiddenCursor);
    Mouse(A, QEvent::MouseButtonRelease, QPoint(300, 300));
    EXPECT_EQ(A->DockedTo(), Top);
    EXPECT_EQ(A->x(), 30);
    EXPECT_EQ(A->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(TToolWindowDrag97Test, EscapeEndsTheDragWithoutMoving)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    Mouse(A, QEvent::MouseButtonPress, QPoint(105, 110));
    Mouse(A, QEvent::MouseMove, QPoint(300, 300));
    QTest::keyClick(A, Qt::Key_Escape);
    EXPECT_FALSE(A->Moving());
    EXPECT_TRUE(A->DragOutlineRect().isEmpty());
    Mouse(A, QEvent::MouseButtonRelease, QPoint(300, 300));
    EXPECT_EQ(A->DockedTo(), Top);
}

TEST_F(TToolWindowDrag97Test, FloatingOutlineStaysReachableAtTheWorkAreasEdges)
{
    TCustomToolWindow97* T = Make(nullptr, 0, 0, 60, 40);
    T->SetFloatingPosition(QPoint(200, 200));
    const QRect WA = WorkAreaAt(QPoint(200, 200));
    // Grabbed at the caption's left end and pulled past the right edge: the
    // frame width + 4 pixels stay inside.
    Mouse(T, QEvent::MouseButtonPress, QPoint(204, 205));
    Mouse(T, QEvent::MouseMove, QPoint(WA.right() + 500, 300));
    EXPECT_EQ(T->DragOutlineRect().left(), WA.right() - 8);
    Mouse(T, QEvent::MouseButtonRelease, QPoint(WA.right() + 500, 300));
    EXPECT_EQ(T->x(), WA.right() - 8);
    // Grabbed low in the client area and pulled above the top: the caption
    // may not leave it.
    T->SetFloatingPosition(QPoint(200, 200));
    Mouse(T, QEvent::MouseButtonPress, QPoint(230, 250));
    Mouse(T, QEvent::MouseMove, QPoint(230, WA.top() - 300));
    EXPECT_EQ(T->DragOutlineRect().top(), WA.top() + 4 - 19);
    Mouse(T, QEvent::MouseButtonRelease, QPoint(230, WA.top() - 300));
}

// A floating 68 x 63 window at (200, 200): a press at each edge and corner,
// then the cursor moved by (10, 7).
struct TSizeCase {
    QPoint Press;
    TToolWindowHit Hit;
    QRect Expected;
};

class TToolWindowSizing : public TDockFormTest, public ::testing::WithParamInterface<TSizeCase> {};

TEST_P(TToolWindowSizing, EdgesAndCornersFollowTheCursor)
{
    const TSizeCase& C = GetParam();
    TCustomToolWindow97* T = Make(nullptr, 0, 0, 60, 40);
    T->SetFloatingPosition(QPoint(200, 200));
    ASSERT_EQ(T->geometry(), QRect(200, 200, 68, 63));
    EXPECT_EQ(T->HitTest(C.Press), C.Hit);
    const QPoint G = T->mapToGlobal(C.Press);
    Mouse(T, QEvent::MouseButtonPress, G);
    ASSERT_TRUE(T->Sizing());
    EXPECT_EQ(T->DragOutlineThickness(), 4);
    Mouse(T, QEvent::MouseMove, G + QPoint(10, 7));
    EXPECT_EQ(T->DragOutlineRect(), C.Expected);
    Mouse(T, QEvent::MouseButtonRelease, G + QPoint(10, 7));
    EXPECT_EQ(T->geometry(), C.Expected);
    EXPECT_EQ(T->ClientAreaSize(), C.Expected.size() - QSize(8, 23));
    EXPECT_EQ(T->ClientArea()->size(), C.Expected.size() - QSize(8, 23));
}

INSTANTIATE_TEST_SUITE_P(
    EachEdge, TToolWindowSizing,
    ::testing::Values(TSizeCase{{1, 30}, htLeft, QRect(210, 200, 58, 63)},
                      TSizeCase{{66, 30}, htRight, QRect(200, 200, 78, 63)},
                      TSizeCase{{30, 1}, htTop, QRect(200, 207, 68, 56)},
                      TSizeCase{{30, 61}, htBottom, QRect(200, 200, 68, 70)},
                      TSizeCase{{1, 17}, htTopLeft, QRect(210, 207, 58, 56)},
                      TSizeCase{{50, 2}, htTopRight, QRect(200, 207, 78, 56)},
                      TSizeCase{{3, 50}, htBottomLeft, QRect(210, 200, 58, 70)},
                      TSizeCase{{66, 61}, htBottomRight, QRect(200, 200, 78, 70)}));

TEST_F(TToolWindowDrag97Test, SizingKeepsTheMinimumAndEscapeCancels)
{
    TCustomToolWindow97* T = Make(nullptr, 0, 0, 60, 40);
    T->SetFloatingPosition(QPoint(200, 200));
    EXPECT_EQ(T->HitTest(QPoint(30, 10)), htClient);
    EXPECT_EQ(T->HitTest(QPoint(60, 8)), htClose);
    Mouse(T, QEvent::MouseButtonPress, QPoint(201, 230));
    Mouse(T, QEvent::MouseMove, QPoint(501, 230));
    EXPECT_EQ(T->DragOutlineRect(), QRect(260, 200, 8, 63));
    QTest::keyClick(T, Qt::Key_Escape);
    EXPECT_FALSE(T->Sizing());
    EXPECT_EQ(T->geometry(), QRect(200, 200, 68, 63));
    // A fixed frame does not size.
    T->SetResizable(false);
    EXPECT_EQ(T->HitTest(QPoint(1, 30)), htNowhere);
}

TEST_F(TToolWindowDrag97Test, DoubleClicksFloatAndDock)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    TCustomToolWindow97* B = Make(Bottom, 0, 0);
    A->SetFloatingPosition(QPoint(250, 250));
    DoubleClick(A, QPoint(105, 110));
    ASSERT_TRUE(A->Floating());
    EXPECT_EQ(A->pos(), QPoint(250, 250));
    // Back to its last dock.
    DoubleClick(A, QPoint(260, 258));
    EXPECT_EQ(A->DockedTo(), Top);

    // Without a last dock: the default dock, first on row 0.
    DoubleClick(A, QPoint(105, 110));
    A->SetUseLastDock(false);
    A->SetDefaultDock(Bottom);
    DoubleClick(A, QPoint(260, 258));
    EXPECT_EQ(A->DockedTo(), Bottom);
    EXPECT_EQ(A->DockRow(), 0);
    EXPECT_EQ(A->x(), 0);
    EXPECT_EQ(B->x(), A->width());

    // Neither: nothing happens.
    DoubleClick(A, A->mapToGlobal(QPoint(5, 10)));
    ASSERT_TRUE(A->Floating());
    A->SetUseLastDock(false);
    A->SetDefaultDock(nullptr);
    const QPoint Was = A->pos();
    DoubleClick(A, A->mapToGlobal(QPoint(10, 8)));
    EXPECT_TRUE(A->Floating());
    EXPECT_EQ(A->pos(), Was);

    // A window that may not float stays docked.
    B->SetDockMode(dmCannotFloat);
    DoubleClick(B, B->mapToGlobal(QPoint(5, 10)));
    EXPECT_EQ(B->DockedTo(), Bottom);
}

TEST_F(TToolWindowDrag97Test, CloseButtonHidesOnReleaseOverIt)
{
    TCustomToolWindow97* T = Make(nullptr, 0, 0, 60, 40);
    T->SetFloatingPosition(QPoint(200, 200));
    int32_t Queries = 0, Closes = 0;
    bool Allow = false;
    T->OnCloseQuery = [&](QObject*, bool& CanClose) {
        ++Queries;
        CanClose = Allow;
    };
    T->OnClose = [&](QObject*) { ++Closes; };
    const QPoint X = T->mapToGlobal(T->CloseButtonRect().center());
    // Released outside: nothing.
    Mouse(T, QEvent::MouseButtonPress, X);
    EXPECT_TRUE(T->CloseButtonDown());
    Mouse(T, QEvent::MouseMove, X + QPoint(0, 30));
    EXPECT_FALSE(T->CloseButtonDown());
    Mouse(T, QEvent::MouseMove, X);
    EXPECT_TRUE(T->CloseButtonDown());
    Mouse(T, QEvent::MouseMove, X + QPoint(0, 30));
    Mouse(T, QEvent::MouseButtonRelease, X + QPoint(0, 30));
    EXPECT_EQ(Queries, 0);
    // Refused.
    Mouse(T, QEvent::MouseButtonPress, X);
    Mouse(T, QEvent::MouseButtonRelease, X);
    EXPECT_EQ(Queries, 1);
    EXPECT_TRUE(T->isVisible());
    Allow = true;
    Mouse(T, QEvent::MouseButtonPress, X);
    Mouse(T, QEvent::MouseButtonRelease, X);
    EXPECT_FALSE(T->isVisible());
    EXPECT_FALSE(T->Visible());
    EXPECT_EQ(Closes, 1);
}

TEST_F(TToolWindowDrag97Test, DockedCloseButtonHidesTheWindowAndItsRow)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    A->SetCloseButtonWhenDocked(true);
    EXPECT_EQ(A->CloseButtonRect(), QRect(3, 2, 11, 11));
    const QPoint X = A->mapToGlobal(QPoint(8, 7));
    Mouse(A, QEvent::MouseButtonPress, X);
    EXPECT_FALSE(A->Moving());
    Mouse(A, QEvent::MouseButtonRelease, X);
    EXPECT_FALSE(A->Visible());
    EXPECT_EQ(Top->height(), 0);
}

TEST(DragOutline97, IsMaskedToItsFrameWithTheHalfTonePattern)
{
    TDragOutline97 O;
    O.SetOutline(QRect(10, 20, 30, 16), 4);
    EXPECT_TRUE(O.isVisible());
    EXPECT_TRUE(O.testAttribute(Qt::WA_TransparentForMouseEvents));
    EXPECT_TRUE(O.windowFlags() & Qt::WindowTransparentForInput);
    EXPECT_TRUE(O.mask().contains(QPoint(3, 3)));
    EXPECT_FALSE(O.mask().contains(QPoint(4, 4)));
    EXPECT_TRUE(O.mask().contains(QPoint(26, 12)));
    const QImage I = O.grab().toImage();
    for (const QPoint P : {QPoint(0, 0), QPoint(1, 0), QPoint(2, 3), QPoint(29, 15)})
        EXPECT_EQ(QColor(I.pixel(P)) == QColor(Qt::black), TDragOutline97::PatternDark(P.x() + 10, P.y() + 20))
            << P.x() << "," << P.y();
    O.SetOutline(QRect(), 1);
    EXPECT_FALSE(O.isVisible());
}

namespace {

// Labels stand for separators: presses on them drag the window.
class TLabelsTransparent : public TCustomToolWindow97 {
public:
    using TCustomToolWindow97::TCustomToolWindow97;
    bool IsTransparentChild(QWidget* Control) override { return qobject_cast<QLabel*>(Control) != nullptr; }
};

} // namespace

TEST_F(TToolWindowDrag97Test, PressOnATransparentControlDragsTheWindowAndOnOthersNot)
{
    auto* T = new TLabelsTransparent(Form.get());
    T->SetClientAreaSize(QSize(60, 16));
    T->SetDockedTo(Top);
    auto* Sep = new QLabel(T->ClientArea());
    Sep->setGeometry(0, 0, 10, 16);
    auto* Button = new QWidget(T->ClientArea());
    Button->setGeometry(20, 0, 20, 16);
    Sep->show();
    Button->show();
    QCoreApplication::sendPostedEvents();
    QWindow* Window = Form->windowHandle();
    ASSERT_NE(Window, nullptr);
    const QPoint OnButton = T->ClientArea()->mapTo(Form.get(), QPoint(25, 8));
    QTest::mousePress(Window, Qt::LeftButton, Qt::NoModifier, OnButton);
    EXPECT_FALSE(T->Moving());
    QTest::mouseRelease(Window, Qt::LeftButton, Qt::NoModifier, OnButton);
    const QPoint OnSep = T->ClientArea()->mapTo(Form.get(), QPoint(5, 8));
    QTest::mousePress(Window, Qt::LeftButton, Qt::NoModifier, OnSep);
    EXPECT_TRUE(T->Moving());
    QTest::mouseRelease(Window, Qt::LeftButton, Qt::NoModifier, OnSep);
    EXPECT_FALSE(T->Moving());
    EXPECT_EQ(T->DockedTo(), Top);
}

TEST_F(TToolWindowDrag97Test, RefusedAndForbiddenDocksAreNoTargets)
{
    TCustomToolWindow97* A = Make(Top, 0, 0);
    A->SetDockableTo(kDockableToAll & ~(1u << dpBottom));
    const QPoint OverBottom(200, 395);
    Mouse(A, QEvent::MouseButtonPress, QPoint(105, 110));
    Mouse(A, QEvent::MouseMove, OverBottom);
    EXPECT_EQ(A->DragTarget(), nullptr);
    QTest::keyClick(A, Qt::Key_Escape);
    A->SetDockableTo(kDockableToAll);
    int32_t Asked = 0;
    Bottom->OnRequestDock = [&](QObject* Sender, TCustomToolWindow97* Bar, bool& Accept) {
        EXPECT_EQ(Sender, Bottom);
        EXPECT_EQ(Bar, A);
        ++Asked;
        Accept = false;
    };
    Mouse(A, QEvent::MouseButtonPress, QPoint(105, 110));
    Mouse(A, QEvent::MouseMove, OverBottom);
    EXPECT_EQ(A->DragTarget(), nullptr);
    EXPECT_GT(Asked, 0);
    Bottom->OnRequestDock = nullptr;
    Mouse(A, QEvent::MouseMove, OverBottom + QPoint(1, 0));
    EXPECT_EQ(A->DragTarget(), Bottom);
    Mouse(A, QEvent::MouseButtonRelease, OverBottom);
    EXPECT_EQ(A->DockedTo(), Bottom);
    // A dock that does not allow dragging neither gives nor takes windows.
    Bottom->SetAllowDrag(false);
    Mouse(A, QEvent::MouseButtonPress, A->mapToGlobal(QPoint(5, 10)));
    EXPECT_FALSE(A->Moving());
}
