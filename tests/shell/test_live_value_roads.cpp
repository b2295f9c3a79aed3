// A value typed into the property panel is live in the objects before it is
// committed. Through the frame, its document windows and the panel's page
// windows, for a number edit of the 形状 page and a number cell of the マクロ
// page (reached by one click and the keys typed next): every road out of the
// edit records the value as one step first (a step the road itself records
// comes after it), and Escape puts the value before it back, nothing recorded.
#include "shell_test_support.h"

#include "editors/macro_paint_page.h"
#include "model/object_test_support.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "shell/tavro_action.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/frm_rollup.h"
#include "ui/page_control_wex.h"
#include "ui/paint_box_wex.h"

#include <QTabWidget>

#include <functional>

namespace {

class TLiveValueRoadsTest : public TFrameTest {
protected:
    struct TEdit {
        const char* Name;
        QWidget* Page;
        std::function<QLineEdit*()> Show; // the edit, shown; the keys go where the focus is
        const char* Typed;
        const char* Caption;
        std::function<std::string(TRectObj*)> Value;
    };
    std::string Saved() const
    {
        TMemoryStream S;
        W->Document()->SaveToStream(S);
        return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
    }
    // The value of both objects, "" where they differ.
    std::string Value(const TEdit& E) const { return E.Value(Rects[0]) == E.Value(Rects[1]) ? E.Value(Rects[0]) : ""; }
    // Both objects selected, nothing recorded, the page in front in its
    // active page window (a closed one hid its pages), the value typed.
    QLineEdit* TypeLive(const TEdit& E)
    {
        Frame->MdiArea()->setActiveSubWindow(W->SubWindow());
        Frame->actSelAll->trigger();
        Settle();
        W->Document()->History()->ClearHistory();
        W->Document()->SetModified(false);
        EXPECT_TRUE(Saved() == Before);
        QWidget* Window = E.Page->window();
        if (auto* Rollup = qobject_cast<TfrmRollup*>(Window))
            Rollup->SetRolledUp(false);
        Window->show();
        EXPECT_TRUE(ActivateAndWait(Window));
        if (auto* Tabs = qobject_cast<QTabWidget*>(E.Page->parentWidget()->parentWidget())) {
            Tabs->setTabVisible(Tabs->indexOf(E.Page), true);
            Tabs->setCurrentWidget(E.Page);
        }
        QLineEdit* Edit = E.Show();
        EXPECT_TRUE(WaitUntil([&] { return E.Page->isAncestorOf(QApplication::focusWidget()); }))
            << DescribeActivation();
        for (const char* C = E.Typed; *C; ++C)
            QTest::keyClick(QApplication::focusWidget(), *C);
        EXPECT_EQ(Edit->text().toStdString(), E.Typed);
        EXPECT_FALSE(W->Document()->History()->CanUndo());
        return Edit;
    }

    TDocWindow* W = nullptr;
    std::vector<TRectObj*> Rects;
    std::string Before;
};

} // namespace

TEST_F(TLiveValueRoadsTest, EveryRoadOutOfTheEditRecordsTheValueAsOneStepAndEscapeNone)
{
    TCatalogueLibraries Catalogue;
    SaveDocumentFile(Tmp / "a.srn", 2, 200, 150);
    Start({QString::fromStdString(Tmp / "a.srn")});
    Frame->actNew->trigger();
    W = Frame->DocWindows().front();
    Frame->MdiArea()->setActiveSubWindow(W->SubWindow());
    for (int32_t I = 0; I < 2; ++I)
        Rects.push_back(static_cast<TRectObj*>(W->DrawingPage()->RootGroup().GetItem(I)));
    Frame->actSelAll->trigger();
    TMacroPaintPage::PickMacro = [](QWidget*, std::string& Name) {
        Name = "塗り(ボカシ)";
        return true;
    };
    frmObjProperty->MacroPage->MacroAddClick();
    TMacroPaintPage::PickMacro = nullptr;
    Settle();
    Before = Saved();
    THistoryCommand& H = *W->Document()->History();
    TfrmObjProperty& P = *frmObjProperty;
    TCtrlGridTav& Grid = *P.MacroPage->cgridMacroPaint;
    const int Col = 2 * Rects[0]->Macros().Count() - 1;
    int Row = 1;
    while (Row < Grid.RowCount() && Grid.Cells(Col - 1, Row) != QString::fromUtf8("図形の広がり"))
        ++Row;
    const TEdit Edits[] = {
        {"角のR", P.TabSheetShape,
         [&P] {
             P.edtCnrROut->setFocus();
             P.edtCnrROut->selectAll();
             return P.edtCnrROut;
         },
         "30", "角のRの設定", [](TRectObj* R) { return std::to_string(R->Param().CornerRadius); }},
        {"図形の広がり", P.TabSheetPaintProperty,
         [&]() -> QLineEdit* {
             QTest::mouseClick(Grid.viewport(), Qt::LeftButton, {}, Grid.CellRect(Col, Row).center());
             return qobject_cast<QLineEdit*>(Grid.GetCellControl(Col, Row));
         },
         "-30", "プロパティの設定",
         [](TRectObj* R) {
             std::string V;
             R->Macros().GetMacro(R->Macros().Count() - 1)->GetParamValue("図形の広がり", V);
             return V;
         }},
    };

    std::vector<std::string> Boxes;
    const TMessageBoxHandler Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&,
                                                            uint32_t) {
        Boxes.push_back(Text);
        return IDCANCEL;
    });
    const std::vector<std::string> Asked{Tmp / "a.srn" + " は変更されています。保存しますか？"};
    struct TRoad {
        const char* Name;
        std::function<void(QLineEdit*)> Leave;
        int Steps;  // recorded: the value's, then the road's own
        std::vector<std::string> Boxes;  // answered Cancel
        bool Modified;
    };
    const TRoad Roads[] = {
        {"Enter", [](QLineEdit* E) { QTest::keyClick(E, Qt::Key_Return); }, 1, {}, true},
        {"Tab", [](QLineEdit* E) { QTest::keyClick(E, Qt::Key_Tab); }, 1, {}, true},
        {"a click on the page", [&](QLineEdit*) { QTest::mouseClick(W->pboxkClient, Qt::LeftButton, {}, {5, 5}); },
         2, {}, true},
        {"a key in the document window", [&](QLineEdit*) { QTest::keyClick(W->pboxkClient, Qt::Key_Left); }, 2, {},
         true},
        {"closing the page window", [](QLineEdit* E) { E->window()->close(); }, 1, {}, true},
        {"rolling the page window up, then a key",
         [](QLineEdit* E) {
             auto* Window = qobject_cast<TfrmRollup*>(E->window());
             ASSERT_TRUE(Window);
             QTest::mouseClick(Window, Qt::LeftButton, {}, Window->RollButtonRect().center());
             ASSERT_TRUE(Window->RolledUp());
             EXPECT_TRUE(LosesKeys(E));
             QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : Window, '0');
         },
         1, {}, true},
        {"closing the document window", [&](QLineEdit*) { W->SubWindow()->close(); }, 1, Asked, true},
        {"another document window",
         [&](QLineEdit*) { Frame->MdiArea()->setActiveSubWindow(Frame->DocWindows().back()->SubWindow()); }, 1, {},
         true},
        {"saving", [&](QLineEdit*) { Frame->actSave->trigger(); }, 1, {}, false},
        {"quitting", [&](QLineEdit*) { Frame->close(); }, 1, Asked, true},
        {"Escape",
         [](QLineEdit* E) {
             QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
             EXPECT_EQ(E->text().toStdString(), "0");
         },
         0, {}, false},
    };
    for (const TEdit& E : Edits) {
        for (const TRoad& R : Roads) {
            SCOPED_TRACE(std::string(E.Name) + ", " + R.Name);
            const std::string Was = Value(E);
            QLineEdit* Edit = TypeLive(E);
            const std::string Live = Value(E);
            ASSERT_NE(Live, Was) << "not live";
            Boxes.clear();
            R.Leave(Edit);
            Settle();
            EXPECT_EQ(Boxes, R.Boxes);
            ASSERT_EQ(Frame->DocWindows().size(), 2u);
            EXPECT_EQ(W->Document()->Modified(), R.Modified);
            EXPECT_EQ(H.MenuNo() + 1, R.Steps);
            if (R.Steps > 0) {
                for (int S = R.Steps; S > 1; --S)
                    H.Undo();
                EXPECT_EQ(H.UndoCaption(), E.Caption);
                EXPECT_EQ(Value(E), Live) << "the step holds another value than the one shown";
                H.Undo();
            }
            EXPECT_TRUE(Saved() == Before);
            EXPECT_EQ(Value(E), Was);
        }
    }
    SetMessageBoxHandler(Old);
    W->Document()->SetModified(false);
}
