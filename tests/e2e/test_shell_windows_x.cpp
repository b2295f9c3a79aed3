// The frame and its windows at a real display (Xvfb with openbox), in this
// process, driven by xdotool: a document window that is restored, or opens
// not maximised, shows its page; F1 asks for the help of the window it is
// pressed in; the box saying that no browser shows the help belongs to the
// window that asked; the keys go back where they were after the boxes of
// the options dialog. The help opener is a stand-in "xdg-open" first on PATH
// that notes the page each request names, or fails as with no browser.
#include "shell/shell_test_support.h"

#include "e2e/x_session.h"

#include "editors/color_dialog_wex.h"
#include "editors/frm_gradation.h"
#include "foundation/ini_file.h"
#include "platform/qt/qt_message_box.h"
#include "shell/option_form.h"
#include "shell/tavro_action.h"
#include "ui/paint_box_wex.h"
#include "ui/page_control_wex.h"
#include "ui/toolbar_button97.h"

#include <QCheckBox>
#include <QCursor>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

using namespace e2e;

const auto* const gShellEnvironment = ::testing::AddGlobalTestEnvironment(new TShellEnvironment);

QPoint Centre(const QWidget* W)
{
    return W->mapToGlobal(W->rect().center());
}


class ShellWindowsX : public TWithWindowManager<TFrameTest> {
protected:
    void SetUp() override
    {
        ASSERT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
        TFrameTest::SetUp();
        UseBrowser(true);
        FOldPath = std::getenv("PATH");
        setenv("PATH", (Tmp / "bin:" + FOldPath).c_str(), 1);
    }
    void TearDown() override
    {
        setenv("PATH", FOldPath.c_str(), 1);
        TFrameTest::TearDown();
    }

    void UseBrowser(bool Works)
    {
        std::filesystem::create_directories(Tmp / "bin");
        Tmp.Put("bin/xdg-open", "#!/bin/sh\ngrep -o 'f[0-9]*\\.html#[0-9]*' \"$1\" >> '" + Tmp / "asked" +
                                    "'\nexit " + (Works ? "0" : "1") + "\n");
        std::filesystem::permissions(Tmp / "bin/xdg-open", std::filesystem::perms::owner_all);
    }
    // The pages the help requests named, in order.
    std::vector<std::string> Asked() const
    {
        std::ifstream In(Tmp / "asked");
        std::vector<std::string> Lines;
        for (std::string L; std::getline(In, L);)
            Lines.push_back(L);
        return Lines;
    }
    // Presses F1 at the display: the page the help request names.
    std::string PressF1()
    {
        const size_t Before = Asked().size();
        Key("F1");
        if (!WaitFor([&] { return Asked().size() > Before; }, 5000))
            return "(no help request)";
        return Asked().back();
    }
    // Starts the frame and waits until it is the active window.
    void StartShown()
    {
        Start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Frame.get(), Deadline(5000)));
        ASSERT_TRUE(ActivateAndSettle(Frame->winId())) << DescribeDisplay();
        ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == Frame.get(); }, 5000));
    }
    // Runs Act (from the event loop, also a modal window's own) once the
    // active window is a modal one that Is accepts and the window manager
    // has given it the keys; after the deadline without one, closes any
    // modal window so that the test goes on.
    static void WhenModal(const std::function<bool(QWidget*)>& Is, const std::function<void(QWidget*)>& Act)
    {
        auto* Poll = new QTimer;
        auto Since = std::make_shared<QElapsedTimer>();
        Since->start();
        QObject::connect(Poll, &QTimer::timeout, [=] {
            QWidget* M = QApplication::activeModalWidget();
            if (M && M->isVisible() && QApplication::activeWindow() == M && Is(M)) {
                Poll->deleteLater();
                Poll->stop();
                // Keys sent from Act reach it only once it has the X focus.
                EXPECT_TRUE(WaitActiveAndSettled(M->winId())) << DescribeDisplay();
                Act(M);
            } else if (Since->elapsed() > Deadline(10000)) {
                Poll->deleteLater();
                Poll->stop();
                ADD_FAILURE() << "the modal window never came";
                if (auto* D = qobject_cast<QDialog*>(M))
                    D->reject();
            }
        });
        Poll->start(50);
    }
    // Runs Body in the modal dialog that Open shows, then ends the dialog.
    static void WithModal(const std::function<void()>& Open, const std::function<void(QWidget*)>& Body)
    {
        WhenModal([](QWidget*) { return true; }, [Body](QWidget* M) {
            Body(M);
            if (auto* D = qobject_cast<QDialog*>(M); D && D->isVisible())
                D->reject();
        });
        Open();
    }
    static bool IsBox(QWidget* W) { return qobject_cast<QMessageBox*>(W) != nullptr; }

    std::string FOldPath;
};

// The managed windows from the bottom of the stack to its top.
QList<unsigned long> StackingOrder() { return RootWindowList("_NET_CLIENT_LIST_STACKING"); }

// The white of the page inside the sub-window, as the screen shows it.
QRect PageOnScreen(QMdiSubWindow* Sub)
{
    const QRect Inside(Sub->widget()->mapToGlobal(QPoint(0, 0)), Sub->widget()->size());
    return WhiteBox(Screen(), Inside);
}

TEST_F(ShellWindowsX, ADocumentWindowThatIsNotMaximisedShowsItsPage)
{
    StartShown();
    QMdiSubWindow* Sub = Frame->DocWindows().at(0)->SubWindow();
    ASSERT_TRUE(Sub->isMaximized());
    // The restore button among the window buttons at the menu bar's end.
    QWidget* Buttons = Frame->menuBar()->cornerWidget(Qt::TopRightCorner);
    ASSERT_NE(Buttons, nullptr);
    ASSERT_TRUE(WaitFor([&] { return Buttons->isVisible(); }, 3000));
    Click(Centre(Buttons));
    ASSERT_TRUE(WaitFor([&] { return !Sub->isMaximized(); }, 3000)) << "the click did not restore the window";
    // The page (400 x 300 of white) shows whole, inside the client area.
    const QRect Area(Frame->MdiArea()->viewport()->mapToGlobal(QPoint(0, 0)), Frame->MdiArea()->viewport()->size());
    QSize Shown;
    EXPECT_TRUE(WaitFor([&] { return (Shown = PageOnScreen(Sub).size()) == QSize(400, 300); }, 3000))
        << "the page shows " << Shown.width() << " x " << Shown.height();
    if (const char* Shots = std::getenv("TAVRO_E2E_SHOTS"))
        Screen().save(QString(Shots) + "/restored.png");
    EXPECT_TRUE(Area.contains(QRect(Sub->mapToGlobal(QPoint(0, 0)), Sub->size())));
    // A place left too small to show anything is not given back.
    Sub->setGeometry(0, 0, 95, 24);
    Sub->showMaximized();
    ASSERT_TRUE(WaitFor([&] { return Buttons->isVisible(); }, 3000));
    Click(Centre(Buttons));
    ASSERT_TRUE(WaitFor([&] { return !Sub->isMaximized(); }, 3000));
    EXPECT_TRUE(WaitFor([&] { return (Shown = PageOnScreen(Sub).size()) == QSize(400, 300); }, 3000))
        << "restored to a bare title bar: the page shows " << Shown.width() << " x " << Shown.height();

    // Once restored, a new start opens its window so; the next one a title
    // bar lower and further right.
    Close();
    ASSERT_EQ(Setting("MaxFrmChild"), "0");
    StartShown();
    Frame->actNew->trigger();
    const std::vector<TDocWindow*> Windows = Frame->DocWindows();
    ASSERT_EQ(Windows.size(), 2u);
    QMdiSubWindow* First = Windows[0]->SubWindow();
    QMdiSubWindow* Second = Windows[1]->SubWindow();
    EXPECT_FALSE(First->isMaximized());
    EXPECT_GT(Second->x(), First->x());
    EXPECT_EQ(Second->y() - First->y(), Second->x() - First->x());
    EXPECT_TRUE(WaitFor([&] { return (Shown = PageOnScreen(Second).size()) == QSize(400, 300); }, 3000))
        << "the page shows " << Shown.width() << " x " << Shown.height();
}

TEST_F(ShellWindowsX, F1AsksForTheHelpOfTheWindowItIsPressedIn)
{
    StartShown();
    // The document window, with the mouse on its page.
    TDocWindow* Doc = Frame->DocWindows().at(0);
    Click(Centre(Doc->pboxkClient));
    ASSERT_TRUE(WaitFor([&] { return Doc->isAncestorOf(QApplication::focusWidget()) ||
                                     QApplication::focusWidget() == Doc; }, 3000));
    EXPECT_EQ(PressF1(), "f0001.html#0000") << "document window";
    // The frame with no document, the mouse on its empty client area.
    Frame->actClose->trigger();
    Settle();
    ASSERT_TRUE(Frame->DocWindows().empty());
    Click(Centre(Frame->MdiArea()));
    EXPECT_EQ(PressF1(), "f0001.html#0000") << "frame";
    // A page of the property panel in its page window.
    ASSERT_FALSE(frmObjProperty->PageControlWex->FloatingWindows().empty());
    TfrmPltChild* Pages = frmObjProperty->PageControlWex->FloatingWindows().front();
    ASSERT_TRUE(WaitFor([&] { return Pages->isVisible(); }, 3000));
    Click(Centre(Pages));
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == Pages; }, 3000));
    EXPECT_EQ(PressF1(), "f0500.html#0000") << "property panel";
    // The colour picker with the help context of its caller.
    std::string Picker;
    TColorDialogWex Colours;
    Colours.HelpContext = 5010203;
    WithModal([&] { Colours.Execute(); }, [&](QWidget* M) {
        Picker = PressF1();
    });
    EXPECT_EQ(Picker, "f0501.html#0203") << "colour picker";
    // The fill editor, which has no help of its own.
    std::string Fill;
    TMemIniFile Ini(Tmp / "fill.ini");
    TfrmGradation Editor(nullptr, &Ini, "4.0", "FlgGrad", "PosGrad", "DirGrph");
    Editor.SetUp("5");
    WithModal([&] { Editor.exec(); }, [&](QWidget* M) {
        Fill = PressF1();
    });
    EXPECT_EQ(Fill, "f0001.html#0000") << "fill editor";
}

TEST_F(ShellWindowsX, TheNoBrowserBoxBelongsToThePickerThatAsked)
{
    const TMessageBoxHandler Recording = SetMessageBoxHandler(QtMessageBox);
    UseBrowser(false);
    StartShown();
    TColorDialogWex Colours(Frame.get());
    QWidget* Picker = nullptr;
    QWidget* BoxOwner = nullptr;
    bool PickerAboveFrame = false;
    WithModal([&] { Colours.Execute(); }, [&](QWidget* M) {
        Picker = M;
        WhenModal(IsBox, [&](QWidget* Box) {
            BoxOwner = Box->parentWidget();
            PickerAboveFrame = WaitFor([&] {
                const QList<unsigned long> Stack = StackingOrder();
                return Stack.indexOf(Picker->winId()) > Stack.indexOf(Frame->winId());
            }, 3000);
            static_cast<QDialog*>(Box)->accept();
        });
        Key("F1");
        WaitFor([&] { return BoxOwner != nullptr; }, 5000);
    });
    EXPECT_EQ(BoxOwner, Picker);
    EXPECT_TRUE(PickerAboveFrame);
    SetMessageBoxHandler(Recording);
}

TEST_F(ShellWindowsX, KeysGoBackToTheDocumentAfterTheOptionsBoxes)
{
    const TMessageBoxHandler Recording = SetMessageBoxHandler(QtMessageBox);
    Tmp.Put("file", "");
    struct TCase {
        const char* What;
        std::function<void(TfrmOption&)> Spoil;
    };
    const TCase Cases[] = {
        {"data folder", [&](TfrmOption& D) { D.edtDefDataDir->setText(QString::fromStdString(Tmp / "file/sub")); }},
        {"association", [&](TfrmOption& D) {
             setenv("XDG_DATA_HOME", (Tmp / "file/sub").c_str(), 1);
             D.cboxRelateExt->setChecked(!D.cboxRelateExt->isChecked());
         }},
    };
    const std::string DataHome = std::getenv("XDG_DATA_HOME");
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.What);
        StartShown();
        TDocWindow* Doc = Frame->DocWindows().at(0);
        Click(Centre(Doc->pboxkClient));
        Frame->sbtnRect->Click();
        ASSERT_EQ(ActivePage()->MouseMode(), 15);
        bool Boxed = false;
        WithModal([&] { Frame->actOption->trigger(); }, [&](QWidget* M) {
            auto* Dialog = dynamic_cast<TfrmOption*>(M);
            ASSERT_NE(Dialog, nullptr);
            C.Spoil(*Dialog);
            WhenModal(IsBox, [&](QWidget* Box) {
                Boxed = true;
                Click(Centre(static_cast<QMessageBox*>(Box)->buttons().first()));
            });
            Click(Centre(Dialog->btnOK));
            WaitFor([&] { return !Dialog->isVisible(); }, 8000);
        });
        setenv("XDG_DATA_HOME", DataHome.c_str(), 1);
        EXPECT_TRUE(Boxed);
        EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == Frame.get(); }, 3000))
            << "active: " << (QApplication::activeWindow() ? QApplication::activeWindow()->windowTitle().toStdString()
                                                           : std::string("none"));
        Key("ctrl+z");
        EXPECT_TRUE(WaitFor([&] { return ActivePage()->MouseMode() == 0; }, 3000)) << "Ctrl+Z did not reach the document";
        // The save question as the frame closes is answered by the record.
        SetMessageBoxHandler(Recording);
        Close();
        SetMessageBoxHandler(QtMessageBox);
    }
    SetMessageBoxHandler(Recording);
}

} // namespace
