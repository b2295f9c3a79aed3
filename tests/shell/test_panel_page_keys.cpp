// The property panel's edit keys in its pages while the frame is running:
// the frame's commands of the same keys reach the page windows as well, and
// the keys must still run the panel's items, once, and never be ambiguous.
#include "shell_test_support.h"

#include "editors/frm_obj_property.h"
#include "editors/macro_paint_page.h"
#include "shell/tavro_action.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/page_control_wex.h"

#include <QSignalSpy>
#include <QTabWidget>

namespace {

std::vector<std::string> gQtMessages;

void RecordQtMessage(QtMsgType, const QMessageLogContext&, const QString& Text)
{
    gQtMessages.push_back(Text.toStdString());
}

// Counts the presses of one key that reach a widget.
class TKeyCounter : public QObject {
public:
    int Key = 0;
    int Count = 0;

protected:
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(Event)->key() == Key)
            ++Count;
        return false;
    }
};

class TPanelPageKeysTest : public TFrameTest {};

} // namespace

TEST_F(TPanelPageKeysTest, TheMacroPagesEditKeysRunThePanelsItemsOnce)
{
    Start();
    auto R = std::make_unique<TRectObj>(ActivePage(), -1);
    R->SetFrame(5, 5, 20, 10);
    ActivePage()->RootGroup().AddChild(std::move(R), -1);
    // The frame's cut, copy, delete and select-all are live, as with a selection.
    Frame->actSelAll->trigger();
    Settle();
    ASSERT_TRUE(Frame->actCut->isEnabled() && Frame->actCopy->isEnabled() && Frame->actDel->isEnabled());

    QWidget* Page = frmObjProperty->TabSheetPaintProperty;
    QWidget* Window = Page->window();
    ASSERT_NE(Window, Frame.get());
    Window->show();
    ASSERT_TRUE(ActivateAndWait(Window));
    if (auto* Tabs = qobject_cast<QTabWidget*>(Page->parentWidget()->parentWidget()))
        Tabs->setCurrentWidget(Page);
    QWidget* Grid = frmObjProperty->MacroPage->cgridMacroPaint;
    Grid->setFocus();
    ASSERT_TRUE(GetsKeys(Grid));

    const struct {
        QAction* Item;
        TAction* FrameCommand;
    } Cases[] = {
        {frmObjProperty->mitemCtrlX, Frame->actCut},
        {frmObjProperty->mitemCtrlC, Frame->actCopy},
        {frmObjProperty->mitemDel, Frame->actDel},
        {frmObjProperty->mitemCtrlA, Frame->actSelAll},
    };
    gQtMessages.clear();
    const QtMessageHandler Old = qInstallMessageHandler(RecordQtMessage);
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Item->objectName().toStdString());
        const QKeyCombination Keys = C.Item->shortcut()[0];
        QSignalSpy Item(C.Item, &QAction::triggered);
        QSignalSpy Command(C.FrameCommand, &QAction::triggered);
        TKeyCounter Reached;
        Reached.Key = Keys.key();
        Grid->installEventFilter(&Reached);
        QTest::keyClick(Grid, Keys.key(), Keys.keyboardModifiers());
        Grid->removeEventFilter(&Reached);
        EXPECT_EQ(Item.count(), 1);
        EXPECT_EQ(Command.count(), 0);
        // The grid gets the keystroke the item sends on, and only that.
        EXPECT_EQ(Reached.Count, 1);
    }
    qInstallMessageHandler(Old);
    for (const std::string& M : gQtMessages)
        EXPECT_EQ(M.find("Ambiguous shortcut"), std::string::npos) << M;
}
