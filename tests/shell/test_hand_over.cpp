// "tavro -e FILE" hands the file over only to an instance that says it took
// it; otherwise this program opens the file itself.
#include "shell_test_support.h"

#include "editors/frm_gradation.h"
#include "editors/frm_sel_macro.h"
#include "editors/macro_paint_page.h"
#include "model/object_test_support.h"
#include "platform/qt/dde_server.h"
#include "platform/qt/qt_message_box.h"
#include "shell/tavro_action.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/panel_button.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <atomic>
#include <functional>
#include <thread>
#include <utility>

namespace {

class THandOverTest : public TFrameTest {
protected:
    void SetUp() override
    {
        TFrameTest::SetUp();
        Doc = Tmp / "doc.srn";
        SaveDocumentFile(Doc, 1);
    }
    bool HandOver() { return TFrameTest::HandOver({"-e", QString::fromStdString(Doc)}); }
    std::string Doc;
};

} // namespace

TEST_F(THandOverTest, ARunningInstanceTakesTheFileAndSaysSo)
{
    Start();
    ASSERT_TRUE(Frame->DdeServer()->Active());
    // A second frame finds the name served and serves nothing.
    auto Second = std::make_unique<TfrmTavro>();
    EXPECT_FALSE(Second->DdeServer()->Active());
    Second.reset();

    ASSERT_TRUE(HandOver());
    for (int I = 0; I < 200 && DocNames() != std::vector<std::string>{"doc.srn"}; ++I)
        Settle(10);
    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
    EXPECT_TRUE(Frame->isEnabled());
    Close();
    // Nobody serves the name now: the caller must become the instance.
    EXPECT_FALSE(HandOver());
    EXPECT_FALSE(HandOverToRunningInstance({QString::fromStdString(Doc)}));
}

TEST_F(THandOverTest, ANameHeldByAProgramThatNeverAnswersIsNoHandOver)
{
    QLocalServer Holder;
    QLocalServer::removeServer(TavroDdeServerName());
    ASSERT_TRUE(Holder.listen(TavroDdeServerName()));
    std::vector<std::unique_ptr<QLocalSocket>> Held;
    QObject::connect(&Holder, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* S = Holder.nextPendingConnection())
            Held.emplace_back(S); // takes the bytes, never answers
    });
    EXPECT_FALSE(HandOver());
    // So this program is the one to open it, as the start-up does for "-e".
    Start({"-e", QString::fromStdString(Doc)});
    EXPECT_FALSE(Frame->DdeServer()->Active());
    Frame->TAVROExecuteMacro(Frame->DdeServer(), DdeOpenCommand({"-e", QString::fromStdString(Doc)}));
    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"});
}

// Failed requests to a running instance each get one box of their own, one
// after another, naming the file and why, nothing chained; a name reaches the
// instance byte for byte, a line feed in it too.
TEST_F(THandOverTest, EachFailedRequestIsToldAloneAndNamesArriveByteForByte)
{
    Start();
    ASSERT_TRUE(Frame->DdeServer()->Active());
    Tmp.Put("bad.srn", "not a document");
    const std::string Feed = Tmp / "line\nfeed.srn";
    SaveDocumentFile(Feed, 1);
    const std::vector<std::string> Files = {Tmp / "none.srn", Tmp / "bad.srn",  Tmp / "none.png",
                                            Tmp / "a\nb.srn", Tmp / "c\r\nd.png", Tmp / "bad.srn"};
    std::atomic<bool> Sent{false};
    int Depth = 0, Deepest = 0;
    std::vector<std::string> Texts;
    const TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
        Texts.push_back(Text);
        Deepest = std::max(Deepest, ++Depth);
        // A box runs its own loop until answered: the requests sent
        // meanwhile arrive while it is open.
        while (!Sent)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        --Depth;
        return IDOK;
    });
    std::thread Second([&] {
        for (const std::string& F : Files)
            HandOverToRunningInstance({"-e", QString::fromStdString(F)});
        HandOverToRunningInstance({"-e", QString::fromStdString(Feed)});
        Sent = true;
    });
    const QDeadlineTimer Bound(60000);
    while ((!Sent || Texts.size() < Files.size() || DocNames() != std::vector<std::string>{"line\nfeed.srn"}) &&
           !Bound.hasExpired())
        QTest::qWait(5);
    Second.join();
    SetMessageBoxHandler(Old);
    std::vector<std::string> Told;
    for (const std::string& F : Files)
        Told.push_back(F + " の読み込みに失敗しました。\n" +
                       (F.ends_with("bad.srn") ? "データ形式が違います。" : F + " を開けません。"));
    EXPECT_EQ(Texts, Told);
    EXPECT_EQ(Deepest, 1);
    EXPECT_EQ(DocNames(), std::vector<std::string>{"line\nfeed.srn"});
}

// Presses OK or Cancel of a dialog that has them.
template <class TForm>
void Press(QWidget* M, bool Ok)
{
    auto* F = static_cast<TForm*>(M);
    (Ok ? F->btnOK : F->btnCancel)->click();
}

// A request that arrives while a modal window runs (a dialog showing its
// value live in the document's items, a box of the panel) waits until the
// window has closed and its caller has gone on; minimising the frame leaves
// the window running. The window's value ends as it would alone: one step on
// OK, nothing on Cancel, to the exact bytes; the other document opens after.
TEST_F(THandOverTest, ARequestWaitsForTheModalWindowWhoseValueEndsAsItWouldAlone)
{
    TCatalogueLibraries Catalogue;
    const std::string Other = Tmp / "other.srn";
    SaveDocumentFile(Other, 1);
    Start({QString::fromStdString(Doc)});
    TDocWindow* W = Frame->ActiveDocWindow();
    ASSERT_TRUE(W);
    Frame->actSelAll->trigger();
    const auto Pick = std::exchange(TMacroPaintPage::PickMacro, [](QWidget*, std::string& Name) {
        Name = "グラデーション塗り";
        return true;
    });
    frmObjProperty->MacroPage->MacroAddClick();
    TMacroPaintPage::PickMacro = Pick;
    THistoryCommand& H = *W->Document()->History();
    const auto Saved = [&] {
        TMemoryStream S;
        W->Document()->SaveToStream(S);
        return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
    };
    TCtrlGridTav& Grid = *frmObjProperty->MacroPage->cgridMacroPaint;
    const auto FillRow = [&] {
        int Row = 1;
        while (Row < Grid.RowCount() && Grid.Cells(Grid.ColCount() - 2, Row) != QString::fromUtf8("塗り方法"))
            ++Row;
        return Row;
    };
    struct TWindow {
        const char* Name;
        std::function<void()> Open; // returns once the window has closed
        std::function<void(QWidget*)> Test; // a value live in the items
        void (*End)(QWidget*, bool Ok);
        bool Records; // on OK
    };
    const TWindow Windows[] = {
        {"the fill editor",
         [&] { static_cast<TPanelButton*>(Grid.GetCellControl(Grid.ColCount() - 1, FillRow()))->Click(); },
         [](QWidget* M) {
             static_cast<TfrmGradation*>(M)->rbtnFTNone->click();
             static_cast<TfrmGradation*>(M)->btnApply->click();
         },
         Press<TfrmGradation>, true},
        {"the macro picker", [&] { frmObjProperty->MacroPage->MacroAddClick(); }, [](QWidget*) {}, Press<TfrmSelMacro>,
         true},
        {"a refusal box of the panel",
         [&] {
             auto* Mime = new QMimeData;
             Mime->setData("application/x-tavro-Wex_Color", QByteArray("#GG00ZZ", 8));
             QGuiApplication::clipboard()->setMimeData(Mime);
             const TMessageBoxHandler Old = SetMessageBoxHandler(QtMessageBox);
             frmObjProperty->MacroPage->ValuePaste(Grid.ColCount() - 1, FillRow());
             SetMessageBoxHandler(Old);
         },
         [](QWidget*) {}, [](QWidget* M, bool) { QTest::keyClick(M, Qt::Key_Return); }, false},
    };
    const std::function<void()> Meanwhile[] = {
        [&] { EXPECT_TRUE(TFrameTest::HandOver({"-e", QString::fromStdString(Other)})); },
        [&] {
            Frame->setWindowState(Qt::WindowMinimized);
            EXPECT_TRUE(QApplication::activeModalWidget()) << "the window went with the frame";
            Frame->setWindowState(Qt::WindowNoState);
        },
    };
    for (const TWindow& Window : Windows)
        for (size_t Road = 0; Road < 2; ++Road)
            for (const bool Ok : {true, false}) {
                SCOPED_TRACE(std::string(Window.Name) + (Road == 0 ? ", a hand-over" : ", minimised") +
                             (Ok ? ", OK" : ", Cancel"));
                Frame->MdiArea()->setActiveSubWindow(W->SubWindow());
                Frame->actSelAll->trigger();
                Settle();
                H.ClearHistory();
                W->Document()->SetModified(false);
                const std::string Before = Saved();
                bool Ran = false;
                QTimer Poll;
                QObject::connect(&Poll, &QTimer::timeout, [&] {
                    QWidget* M = QApplication::activeModalWidget();
                    if (!M || std::exchange(Ran, true))
                        return;
                    Window.Test(M);
                    Meanwhile[Road]();
                    Settle(20);
                    EXPECT_EQ(DocNames(), std::vector<std::string>{"doc.srn"}) << "opened behind the window";
                    EXPECT_EQ(frmObjProperty->DocLink(), W);
                    EXPECT_TRUE(M->isVisible() && M->isEnabled());
                    Window.End(M, Ok);
                    if (auto* D = qobject_cast<QDialog*>(M); D && D->isVisible())
                        D->reject(); // so that the test goes on
                });
                Poll.start(5);
                Window.Open();
                EXPECT_TRUE(Ran) << "no modal window came";
                Settle(20);
                EXPECT_EQ(DocNames().size(), Road == 0 ? 2u : 1u);
                const bool Recorded = Ok && Window.Records;
                EXPECT_EQ(H.CanUndo(), Recorded);
                EXPECT_EQ(H.MenuNo(), Recorded ? 0 : -1);
                EXPECT_EQ(W->Document()->Modified(), Recorded);
                if (Recorded)
                    H.Undo();
                EXPECT_TRUE(Saved() == Before);
                for (TDocWindow* D : Frame->DocWindows())
                    if (D != W)
                        D->SubWindow()->close();
            }
    W->Document()->SetModified(false);
}
