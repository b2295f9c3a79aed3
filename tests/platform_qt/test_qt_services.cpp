// The Qt side of the core's hubs: message boxes, the exception boundary,
// the cursor table and the modifier state.
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "model/anchors.h"
#include "model/document.h"
#include "platform/qt/application_wex.h"
#include "platform/qt/qt_message_box.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/screen_cursors.h"
#include "window_wait.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct TBoxCase {
    const char* Name;
    std::function<int()> Show;
    QString Title;
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Buttons;
    QMessageBox::StandardButton Default;
    QMessageBox::StandardButton Click; // NoButton: press Enter
    int Answer;
};

TEST(QtMessageBox, CaptionIconButtonsDefaultAndAnswer)
{
    const TMessageBoxHandler Old = InstallQtMessageBox();
    const TBoxCase Cases[] = {
        {"error", [] { return ErrorMessageBox("壊れています"); }, "エラー", QMessageBox::Critical,
         QMessageBox::Ok, QMessageBox::Ok, QMessageBox::NoButton, IDOK},
        {"question, second default, empty caption",
         [] { return MessageBox(nullptr, "保存しますか？", "", MB_YESNOCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2); },
         ApplicationTitle, QMessageBox::Question, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
         QMessageBox::No, QMessageBox::NoButton, IDNO},
        {"retry", [] { return MessageBox(nullptr, "再試行", "T", MB_RETRYCANCEL | MB_ICONERROR); }, "T",
         QMessageBox::Critical, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry,
         QMessageBox::NoButton, IDRETRY},
        {"default past the last button",
         [] { return MessageBox(nullptr, "x", "T", MB_OKCANCEL | MB_DEFBUTTON3); }, "T", QMessageBox::NoIcon,
         QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::NoButton, IDOK},
        {"no clicked", [] { return MessageBox(nullptr, "x", "T", MB_YESNO | MB_ICONWARNING); }, "T",
         QMessageBox::Warning, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No, IDNO},
    };
    for (const TBoxCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        QString Title;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons Buttons;
        QMessageBox::StandardButton Default = QMessageBox::NoButton;
        QTimer::singleShot(0, [&] {
            auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(Box, nullptr);
            Title = Box->windowTitle();
            Icon = Box->icon();
            Buttons = Box->standardButtons();
            Default = Box->standardButton(Box->defaultButton());
            if (C.Click == QMessageBox::NoButton)
                QTest::keyClick(Box, Qt::Key_Return);
            else
                Box->button(C.Click)->click();
        });
        EXPECT_EQ(C.Show(), C.Answer);
        EXPECT_EQ(Title, C.Title);
        EXPECT_EQ(Icon, C.Icon);
        EXPECT_EQ(Buttons, C.Buttons);
        EXPECT_EQ(Default, C.Default);
    }
    SetMessageBoxHandler(Old);
}

// A question asked from a tool window the frame owns, about the frame: once
// answered, the keys go back to the control that asked, not to the frame's
// own focus (a Delete meant for the text would delete the document's
// object), whichever answer was given.
TEST(QtMessageBox, TheFocusGoesBackToTheControlThatAsked)
{
    const TMessageBoxHandler Old = InstallQtMessageBox();
    QWidget Frame;
    auto* Document = new QLineEdit(&Frame);
    Frame.setGeometry(100, 100, 400, 300);
    Frame.show();
    QWidget Palette(&Frame, Qt::Tool);
    auto* Asking = new QLineEdit(&Palette);
    auto* Other = new QLineEdit(&Palette);
    Other->move(0, 40);
    Palette.setGeometry(150, 420, 200, 100);
    Palette.show();
    Document->setFocus();
    Palette.activateWindow();
    Asking->setFocus();
    ASSERT_TRUE(BecomesActive(&Palette));
    ASSERT_TRUE(GetsKeys(Asking));
    for (QMessageBox::StandardButton Click : {QMessageBox::No, QMessageBox::Yes}) {
        QTimer::singleShot(0, [&] {
            auto* Box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(Box, nullptr);
            Box->button(Click)->click();
        });
        MessageBox(&Frame, "貼り付けますか？", "確認", MB_YESNO | MB_ICONQUESTION);
        // The window system hands the activation on after the box has gone:
        // it is looked at once that is over.
        EXPECT_TRUE(BecomesActive(&Palette)) << Click;
        EXPECT_TRUE(GetsKeys(Asking)) << Click;
    }
    SetMessageBoxHandler(Old);
}

// Records the boxes instead of showing them.
class TBoxRecorder {
public:
    TBoxRecorder()
    {
        FOld = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t Flags) {
            Boxes.push_back(Caption + "|" + Text + "|" + std::to_string(Flags));
            return IDOK;
        });
    }
    ~TBoxRecorder() { SetMessageBoxHandler(FOld); }
    std::vector<std::string> Boxes;

private:
    TMessageBoxHandler FOld;
};

class TThrower : public QObject {
public:
    std::function<void()> Throw;
    int Delivered = 0;
    bool event(QEvent* E) override
    {
        if (E->type() != QEvent::User)
            return QObject::event(E);
        ++Delivered;
        if (Throw)
            Throw();
        return true;
    }
};

TEST(ApplicationWex, ExceptionsEndAtTheEventBoundaryInTheErrorBox)
{
    ASSERT_NE(qobject_cast<TApplicationWex*>(qApp), nullptr);
    const std::string Generic = std::string("エラー|") + SUnexpectedError + "|16";
    const struct {
        std::function<void()> Throw;
        std::string Box;
    } Cases[] = {
        {[] { throw EUserError("図形が壊れています"); }, "エラー|図形が壊れています|16"},
        {[] { throw EOutOfResources("SetCursorByResource: Too Many Cursors"); },
         "エラー|SetCursorByResource: Too Many Cursors|16"},
        {[] { throw std::runtime_error("internal"); }, Generic},
        {[] { throw 42; }, Generic},
    };
    for (const auto& C : Cases) {
        TBoxRecorder Recorder;
        TThrower Target;
        Target.Throw = C.Throw;
        QEvent Sent(QEvent::User);
        EXPECT_FALSE(QCoreApplication::sendEvent(&Target, &Sent));
        // A posted event fails inside the event loop, which then goes on.
        QCoreApplication::postEvent(&Target, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        Target.Throw = nullptr;
        QCoreApplication::postEvent(&Target, new QEvent(QEvent::User));
        QCoreApplication::processEvents();
        EXPECT_EQ(Target.Delivered, 3);
        EXPECT_EQ(Recorder.Boxes, (std::vector<std::string>{C.Box, C.Box}));
    }
}

// A box runs an event loop of its own: an event that fails meanwhile gets a
// box telling its own failure alone, not chained to the one on screen; from
// the event boundary and from a command's handler alike.
TEST(ApplicationWex, AFailureWhileABoxIsOpenIsToldAlone)
{
    TThrower Second;
    Second.Throw = [] { throw EUserError("second"); };
    std::vector<std::string> Texts;
    TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
        Texts.push_back(Text);
        if (Text == "first") {
            QCoreApplication::postEvent(&Second, new QEvent(QEvent::User));
            QCoreApplication::processEvents();
        }
        return IDOK;
    });
    TThrower First;
    First.Throw = [] { throw EUserError("first"); };
    QCoreApplication::postEvent(&First, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    RunReporting([] { throw EUserError("first"); });
    SetMessageBoxHandler(Old);
    EXPECT_EQ(Texts, (std::vector<std::string>{"first", "second", "first", "second"}));
}

TEST(ScreenCursors, SlotsCountDownFrom32767AndRepeatTheSameCursor)
{
    TScreenCursors Table;
    EXPECT_EQ(Table.SetCursorByResource(nullptr, "CSIZEALL"), 32767);
    EXPECT_EQ(Table.SetCursorByResource(nullptr, "CSIZEV"), 32766);
    EXPECT_EQ(Table.SetCursorByResource(nullptr, "CSIZEALL"), 32767);
    EXPECT_EQ(Table.Cursor(32767).hotSpot(), QPoint(15, 15));
    EXPECT_EQ(Table.Cursor(32767).pixmap().size(), QSize(32, 32));
    EXPECT_TRUE(Table.Cursor(32765) == Table.Cursor(0));

    // A slot given back to the default cursor is free again; one holding
    // another cursor is passed over.
    Table.SetCursor(32767, Table.Cursor(0));
    Table.SetCursor(32765, QCursor(Qt::CrossCursor));
    EXPECT_EQ(Table.SetCursorByResource(nullptr, "CROTCTR"), 32767);
    EXPECT_EQ(Table.SetCursorByResource(nullptr, "CSIZEH"), 32764);
    EXPECT_EQ(Table.SetCursorByResource(nullptr, "CSIZEV"), 32766);
}

TEST(ScreenCursors, FailuresRaiseAndLeaveTheTable)
{
    TScreenCursors Table;
    try {
        Table.SetCursorByResource(nullptr, "NOSUCHCURSOR");
        ADD_FAILURE() << "no exception";
    } catch (const EOutOfResources& E) {
        EXPECT_EQ(E.Message(), "SetCursorByResource: Can't load Cursor");
    }
    EXPECT_TRUE(Table.Cursor(32767) == Table.Cursor(0));

    const QCursor Cross(Qt::CrossCursor);
    for (int32_t I = 1; I <= 32767; ++I)
        Table.SetCursor(I, Cross);
    try {
        Table.SetCursorByResource(nullptr, "CSIZEV");
        ADD_FAILURE() << "no exception";
    } catch (const EOutOfResources& E) {
        EXPECT_EQ(E.Message(), "SetCursorByResource: Too Many Cursors");
    }
}

TEST(ScreenCursors, TheHandlesRegisterTheirElevenCursors)
{
    TScreenCursors Table;
    AnchorsStartup(Table);
    // Seven distinct resources; kinds sharing a resource share its slot.
    const int32_t Expected[12] = {0, 32767, 32766, 32765, 32765, 32766, 32764, 32763, 32763, 32764, 32762, 32761};
    for (uint8_t Kind = 0; Kind <= 11; ++Kind)
        EXPECT_EQ(AnchorCursor(Kind), Expected[Kind]) << int(Kind);
    AnchorsShutdown();
}

TEST(ShiftState, ModifiersMapToShift1Alt2Ctrl4AndTestsCanInjectThem)
{
    const struct {
        Qt::KeyboardModifiers Modifiers;
        TShiftState State;
    } Cases[] = {
        {Qt::NoModifier, 0},
        {Qt::ShiftModifier, 1},
        {Qt::AltModifier, 2},
        {Qt::ControlModifier, 4},
        {Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier, 7},
        {Qt::MetaModifier | Qt::KeypadModifier, 0},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(ShiftStateFromModifiers(C.Modifiers), C.State) << C.Modifiers.toInt();

    const TShiftStateReader Old = SetShiftStateReader([] { return TShiftState(ssShift | ssCtrl); });
    EXPECT_EQ(GetAsyncShiftState(), 5);
    SetShiftStateReader(Old);
}

} // namespace
