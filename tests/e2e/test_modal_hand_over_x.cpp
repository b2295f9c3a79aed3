// A document handed over ("tavro -e", the DDE stand-in's client) while the
// fill editor of the panel runs, at a real display (Xvfb with openbox), in
// this process, with xdotool's clicks: the editor, its value tested live in
// the object, keeps the document and its OK is one step; the document handed
// over opens once the editor has closed.
#include "shell/shell_test_support.h"
#include "shell/tavro_action.h"

#include "e2e/x_session.h"

#include "editors/frm_gradation.h"
#include "editors/macro_paint_page.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/page_control_wex.h"

#include <QCursor>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTimer>

#include <utility>

namespace {

using namespace e2e;

const auto* const gShellEnvironment = ::testing::AddGlobalTestEnvironment(new TShellEnvironment);

QPoint Centre(const QWidget* W)
{
    return W->mapToGlobal(W->rect().center());
}


class ModalHandOverX : public TWithWindowManager<TFrameTest> {};

TEST_F(ModalHandOverX, AHandOverWaitsUntilTheFillEditorHasClosed)
{
    ASSERT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
    for (const char* Name : {"a.srn", "b.srn"})
        SaveDocumentFile(Tmp / Name, 1, 200, 150);
    Start({QString::fromStdString(Tmp / "a.srn")});
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Frame.get(), Deadline(5000)));
    ASSERT_TRUE(ActivateAndSettle(Frame->winId())) << DescribeDisplay();
    TDocWindow* W = Frame->ActiveDocWindow();
    Frame->actSelAll->trigger();
    const auto Pick = std::exchange(TMacroPaintPage::PickMacro, [](QWidget*, std::string& Name) {
        Name = "グラデーション塗り";
        return true;
    });
    frmObjProperty->MacroPage->MacroAddClick();
    TMacroPaintPage::PickMacro = Pick;
    QWidget* Sheet = frmObjProperty->TabSheetPaintProperty;
    if (auto* Tabs = qobject_cast<QTabWidget*>(Sheet->parentWidget()->parentWidget()))
        Tabs->setCurrentWidget(Sheet);
    // The cell is clicked where the window manager has put the page window.
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Sheet->window(), Deadline(5000)));
    ASSERT_TRUE(ActivateAndSettle(Sheet->window()->winId())) << DescribeDisplay();
    ASSERT_TRUE(WaitFor([&] { return Sheet->isVisible(); }, 5000));
    THistoryCommand& H = *W->Document()->History();
    H.ClearHistory();
    W->Document()->SetModified(false);
    const auto Saved = [&] {
        TMemoryStream S;
        W->Document()->SaveToStream(S);
        return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
    };
    const std::string Before = Saved();
    TCtrlGridTav& Grid = *frmObjProperty->MacroPage->cgridMacroPaint;
    int Row = 1;
    while (Row < Grid.RowCount() && Grid.Cells(Grid.ColCount() - 2, Row) != QString::fromUtf8("塗り方法"))
        ++Row;
    ASSERT_LT(Row, Grid.RowCount());
    // The fill editor from a click on the cell; from its loop, once it has
    // the keys: no fill, テスト, the hand-over, OK.
    bool Done = false;
    QTimer Poll;
    QObject::connect(&Poll, &QTimer::timeout, [&] {
        auto* F = dynamic_cast<TfrmGradation*>(QApplication::activeModalWidget());
        if (!F || QApplication::activeWindow() != F || std::exchange(Done, true))
            return;
        EXPECT_TRUE(WaitActiveAndSettled(F->winId())) << DescribeDisplay();
        Click(Centre(F->rbtnFTNone));
        Click(Centre(F->btnApply));
        EXPECT_TRUE(WaitFor([&] { return Saved() != Before; }, 3000)) << "the test did not show in the object";
        EXPECT_TRUE(HandOver({"-e", QString::fromStdString(Tmp / "b.srn")}));
        EXPECT_TRUE(Settled(F->winId()));
        EXPECT_EQ(DocNames(), std::vector<std::string>{"a.srn"}) << "opened behind the editor";
        EXPECT_EQ(frmObjProperty->DocLink(), W);
        Click(Centre(F->btnOK));
        QTimer::singleShot(Deadline(5000), F, [F] {
            ADD_FAILURE() << "the editor stayed open";
            F->reject();
        });
    });
    Poll.start(50);
    Click(Centre(Grid.GetCellControl(Grid.ColCount() - 1, Row)));
    ASSERT_TRUE(WaitFor([&] { return Done && !QApplication::activeModalWidget(); }, 20000)) << DescribeDisplay();
    EXPECT_TRUE(WaitFor([&] { return DocNames().size() == 2; }, 5000)) << "b.srn never opened";
    EXPECT_EQ(H.MenuNo(), 0) << "steps: " << H.MenuNo() + 1;
    EXPECT_TRUE(W->Document()->Modified());
    H.Undo();
    EXPECT_TRUE(Saved() == Before);
}

} // namespace
