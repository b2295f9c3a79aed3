// The macro grid's value buttons under a real X server with a window manager:
// the right click comes from xdotool, so the context-menu request arrives on
// the press as X11 sends it, not as a synthetic press and release would.
#include "e2e/x_session.h"

#include "macro_page_test_link.h"
#include "model/object_test_support.h"

#include "editors/macro_paint_page.h"
#include "model/document.h"
#include "model/page.h"
#include "model/page_views.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "platform/message_box.h"
#include "ui/edit_track_bar_wex.h"
#include "paint/macro_list.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace e2e;

using test_support::ParamKindOf;
using test_support::TMacroPageTestLink;

// A catalogue effect with a row of Kind.
std::string EffectWith(int32_t Kind)
{
    for (const std::string& Name : TCatalogueLibraries::Effects()) {
        auto M = TTestMacroLibrary::Get(Name);
        for (int32_t L = 0; L < M->LineCount(); ++L)
            for (const TMacroParam& Q : M->Line(L).Params) {
                const std::string C = Q.Caption.value_or("");
                if (!C.empty() && C[0] != '*' && ParamKindOf(*M, C) == Kind)
                    return Name;
            }
    }
    return {};
}

class ValueMenuX : public TWithWindowManager<> {
protected:
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Catalogue;
    TOLEDocumentWex Doc{nullptr, nullptr};
    TPage* Page = nullptr;
    TSilentFormDoc View;
    TPolyLineObj* Line = nullptr;
    std::unique_ptr<TPolyLineObj> Buf;
    TMacroPageTestLink Link;
    std::unique_ptr<TMacroPaintPage> P;

    void SetUp() override
    {
        ASSERT_STREQ(std::getenv("QT_QPA_PLATFORM"), "xcb");
        Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(200, 150);
        Page->AddForm(&View);
        auto L = std::make_unique<TPolyLineObj>(Page, -1);
        L->SetPathRecord(MakePath({{40, 30, PT_MOVETO}, {160, 30, PT_LINETO}, {160, 120, PT_LINETO},
                                   {40, 120, PT_LINETO | PT_CLOSEFIGURE}}));
        L->SetFillPath(1);
        Line = static_cast<TPolyLineObj*>(Page->RootGroup().AddChild(std::move(L), -1));
        Buf = std::make_unique<TPolyLineObj>(nullptr, -1);
        Link.Buf = Buf.get();
        Link.PageOf = Page;
        Link.Item = Line;
        P = std::make_unique<TMacroPaintPage>(Link);
        P->SetStyleFolders(Defaults.Folders.DataDir(), std::string());
        P->setWindowTitle("value-menu-under-x");
        P->setGeometry(200, 150, 640, 300);
        P->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(P.get(), Deadline(5000)));
        // The window manager has placed the window where X says it is.
        const unsigned long Id = WaitWindow("value-menu-under-x", 5000);
        ASSERT_NE(Id, 0u);
        ASSERT_TRUE(WaitFor([&] { return Geometry(Id).topLeft() == P->mapToGlobal(QPoint(0, 0)); }, 5000))
            << "X puts the window at " << Geometry(Id).x() << "," << Geometry(Id).y();
    }
    void TearDown() override
    {
        P.reset();
        Page->RemoveForm(&View);
    }
    TCtrlGridTav& Grid() { return *P->cgridMacroPaint; }
    void Load(const std::string& Name)
    {
        Line->Macros().Clear();
        Line->Macros().Add(TTestMacroLibrary::Get(Name));
        Line->Refresh();
        Buf->Macros().Assign(&Line->Macros());
        P->SetCgridQuickParam();
        QTest::qWait(50);
        Doc.History()->ClearHistory();
    }
    int RowOfKind(int32_t Kind)
    {
        for (int R = 1; R <= Grid().ItemRows[0]; ++R)
            if (ParamKindOf(*Line->Macros().GetMacro(0), P->RowCaption(0, R)) == Kind)
                return R;
        return -1;
    }
};

TEST_F(ValueMenuX, ARightClickOnAValueButtonOpensItsMenuAtThePointer)
{
    for (const int32_t Kind : {pkColor, pkFill, pkLineType, pkLights}) {
        SCOPED_TRACE(Kind);
        const std::string Name = EffectWith(Kind);
        ASSERT_FALSE(Name.empty());
        Load(Name);
        const int Row = RowOfKind(Kind);
        ASSERT_GT(Row, 0);
        QWidget* Button = Grid().GetCellControl(1, Row);
        ASSERT_TRUE(Button && Button->isVisible());
        const QPoint At = Button->mapToGlobal(Button->rect().center());
        Click(At, 3);
        ASSERT_TRUE(WaitFor([&] { return P->pMenuBtn->isVisible() || P->pMenuMacro->isVisible(); }, 3000))
            << "no menu came";
        // Whatever else the click brings has come once the events are handled.
        ASSERT_TRUE(Settled(P->winId()));
        EXPECT_FALSE(P->pMenuMacro->isVisible()) << "the grid's macro menu answered a value button";
        EXPECT_TRUE(P->pMenuBtn->isVisible());
        if (P->pMenuBtn->isVisible()) {
            EXPECT_EQ(P->pMenuBtn->geometry().topLeft(), At);
            EXPECT_EQ(P->pMenuBtn->actions().value(0)->text().toStdString(), "コピー(&C)");
            EXPECT_EQ(P->pMenuBtn->actions().value(1)->text().toStdString(), "貼り付け(&P)");
        }
        Key("Escape");
        EXPECT_TRUE(WaitFor([&] { return !P->pMenuBtn->isVisible() && !P->pMenuMacro->isVisible(); }, 3000));
        EXPECT_FALSE(Doc.History()->CanUndo()) << "the right click changed the value";
        EXPECT_FALSE(QApplication::activeModalWidget()) << "the right click opened the value's dialog";
    }
}

// Beside the buttons the grid keeps its own menu, at the pointer too.
TEST_F(ValueMenuX, ARightClickOnACaptionOpensTheMacroMenuAtThePointer)
{
    Load(EffectWith(pkColor));
    const int Row = RowOfKind(pkColor);
    ASSERT_GT(Row, 0);
    const QRect Caption = Grid().CellRect(0, Row);
    const QPoint At = Grid().viewport()->mapToGlobal(Caption.center());
    Click(At, 3);
    ASSERT_TRUE(WaitFor([&] { return P->pMenuMacro->isVisible(); }, 3000));
    EXPECT_FALSE(P->pMenuBtn->isVisible());
    EXPECT_EQ(P->pMenuMacro->geometry().topLeft(), At);
    Key("Escape");
    EXPECT_TRUE(WaitFor([&] { return !P->pMenuMacro->isVisible(); }, 3000));
}

// The spread's number edit typed into from the keyboard under X: the minus
// that begins a negative number shows no box, sets and records nothing and
// leaves the document drawable and saveable; a value that cannot be drawn,
// entered, is refused with one box and recorded nowhere; the next value is
// one step that undoes to the exact bytes.
TEST_F(ValueMenuX, AMinusBeginsANumberAndAnUndrawableValueIsRefusedOnce)
{
    // A line whose shape cannot be measured while its spread is -7.
    auto F = std::make_unique<TUnmeasurableAt<TPolyLineObj>>(Page, "図形の広がり", "-7");
    F->SetPathRecord(MakePath({{20, 20, PT_MOVETO}, {180, 20, PT_LINETO}, {180, 130, PT_LINETO},
                               {20, 130, PT_LINETO | PT_CLOSEFIGURE}}));
    F->SetFillPath(1);
    Line = static_cast<TPolyLineObj*>(Page->RootGroup().AddChild(std::move(F), -1));
    Link.Item = Line;
    Load("塗り(ボカシ)");
    std::vector<std::string> Boxes;
    const TMessageBoxHandler OldBox =
        SetMessageBoxHandler([&Boxes](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
    struct TRestore {
        TMessageBoxHandler Old;
        ~TRestore() { SetMessageBoxHandler(Old); }
    } Restore{OldBox};
    const auto Saved = [this] {
        TMemoryStream S;
        Doc.SaveToStream(S);
        return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
    };
    const auto Spread = [this] {
        std::string V;
        Line->Macros().GetMacro(0)->GetParamValue("図形の広がり", V);
        return V;
    };
    int Row = -1;
    for (int R = 1; R <= Grid().ItemRows[0]; ++R)
        if (Grid().Cells(0, R) == QString::fromUtf8("図形の広がり"))
            Row = R;
    ASSERT_GT(Row, 0);
    auto* Edit = qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, Row));
    ASSERT_TRUE(Edit);
    const std::string Before = Saved();
    // A click on the cell shows its edit; a click into the edit gives it the keys.
    Click(Grid().viewport()->mapToGlobal(Grid().CellRect(1, Row).center()));
    ASSERT_TRUE(WaitFor([&] { return Edit->isVisible(); }, 3000));
    if (!Edit->hasFocus())
        Click(Edit->mapToGlobal(QPoint(Edit->width() / 4, Edit->height() / 2)));
    ASSERT_TRUE(WaitFor([&] { return Edit->hasFocus(); }, 3000));
    Key("ctrl+a");
    Key("minus");
    ASSERT_TRUE(WaitFor([&] { return Edit->text() == "-"; }, 3000)) << Edit->text().toStdString();
    ASSERT_TRUE(Settled(P->winId()));
    EXPECT_EQ(Boxes, std::vector<std::string>());
    EXPECT_EQ(Spread(), "0");
    EXPECT_FALSE(Doc.History()->CanUndo());
    std::string Now;
    ASSERT_NO_THROW(Now = Saved());
    EXPECT_EQ(Now, Before);

    Key("7");
    ASSERT_TRUE(WaitFor([&] { return Edit->text() == "-7"; }, 3000));
    EXPECT_EQ(Spread(), "0") << "a value that cannot be drawn was drawn live";
    EXPECT_EQ(Boxes, std::vector<std::string>());
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return !Boxes.empty(); }, 3000));
    ASSERT_TRUE(Settled(P->winId()));
    EXPECT_EQ(Boxes, std::vector<std::string>{UnmeasurableMessage});
    EXPECT_EQ(Edit->text().toStdString(), "0");
    EXPECT_EQ(Spread(), "0");
    EXPECT_FALSE(Doc.History()->CanUndo());
    EXPECT_FALSE(Doc.History()->IsCommandOpen());
    EXPECT_EQ(Saved(), Before);

    Boxes.clear();
    Key("ctrl+a");
    Key("minus");
    Key("3");
    ASSERT_TRUE(WaitFor([&] { return Edit->text() == "-3"; }, 3000)) << Edit->text().toStdString();
    Key("Return");
    ASSERT_TRUE(WaitFor([&] { return Doc.History()->CanUndo(); }, 3000));
    EXPECT_EQ(Spread(), "-3");
    EXPECT_EQ(Doc.History()->UndoCaption(), "プロパティの設定");
    Doc.History()->Undo();
    EXPECT_FALSE(Doc.History()->CanUndo());
    EXPECT_EQ(Saved(), Before);
    EXPECT_EQ(Boxes, std::vector<std::string>());
}

} // namespace
