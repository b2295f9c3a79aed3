// Two items selected in a document window: the general page's angle and
// position edits stay disabled and empty through the frame's own roads (the
// selection, a change of the active window, the page shown anew), so nothing
// typed there stacks the items onto one spot.
#include "shell_test_support.h"

#include "shell/tavro_action.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/page_control_wex.h"
#include "ui/panel_button.h"

#include <QWidget>

#include <functional>

namespace {

class TPanelMultiTest : public TFrameTest {
protected:
    static TRectObj* AddRect(TDocWindow* W, int32_t X)
    {
        auto R = std::make_unique<TRectObj>(W->DrawingPage(), -1);
        R->SetFrame(X, 5, 20, 10);
        return static_cast<TRectObj*>(W->DrawingPage()->RootGroup().AddChild(std::move(R), -1));
    }
    void Activate(TDocWindow* W)
    {
        Frame->MdiArea()->setActiveSubWindow(W->SubWindow());
        Settle();
    }
};

} // namespace

TEST_F(TPanelMultiTest, PlaceEditsOfTwoItemsStayDisabledAndTakeNoTyping)
{
    Start();
    TDocWindow* First = Frame->ActiveDocWindow();
    ASSERT_NE(First, nullptr);
    ASSERT_TRUE(frmObjProperty);
    TRectObj* A = AddRect(First, 30);
    TRectObj* B = AddRect(First, 70);
    Frame->actSelAll->trigger();
    Settle();
    ASSERT_EQ(frmObjProperty->Targets(), (std::vector<TDrawItem*>{A, B}));
    First->Document()->History()->ClearHistory();
    Frame->actNew->trigger();
    Settle();
    TDocWindow* Second = Frame->ActiveDocWindow();
    ASSERT_NE(Second, First);

    const std::pair<const char*, std::function<void()>> Roads[] = {
        {"back to the first window", [&] { Activate(First); }},
        {"page shown anew",
         [&] {
             // The page window that holds the page.
             QWidget* Shown = frmObjProperty->TabSheetGeneral->window();
             ASSERT_NE(Shown, frmObjProperty.get());
             Shown->hide();
             Settle();
             Shown->show();
             Settle();
         }},
        {"second window and back", [&] {
             Activate(Second);
             Activate(First);
         }},
    };
    for (const auto& [Name, Go] : Roads) {
        SCOPED_TRACE(Name);
        Go();
        ASSERT_EQ(frmObjProperty->Targets(), (std::vector<TDrawItem*>{A, B}));
        // Any general control the page enables for the selection is enabled.
        EXPECT_TRUE(frmObjProperty->pnlcolbtnDrawCol->isEnabled());
        for (TEditTrackBarWex* E :
             {frmObjProperty->edtObjAngle, frmObjProperty->edtPosiX, frmObjProperty->edtPosiY}) {
            SCOPED_TRACE(E->objectName().toStdString());
            EXPECT_FALSE(E->isEnabled());
            EXPECT_EQ(E->text(), "");
            E->setFocus();
            QTest::keyClicks(E, "10");
            QTest::keyClick(E, Qt::Key_Tab);
            Settle();
            EXPECT_EQ(E->text(), "");
        }
        EXPECT_EQ(A->X(), 30);
        EXPECT_EQ(B->X(), 70);
        EXPECT_EQ(A->Y(), 5);
        EXPECT_FALSE(First->Document()->History()->CanUndo());
    }
    First->Document()->SetModified(false);
}
