// The property panel's value clipboard, edit menu and macro keys: values,
// macros and styles through the real clipboard between the cells of two
// objects, one undo step per paste, the paste buttons, the menu's shortcuts
// on each page and the arrow keys of the macro grid.
#include "editors/macro_paint_page.h"
#include "macro_page_test_link.h"
#include "panel_test_support.h"
#include "picker_test_support.h"

#include "model/object_test_support.h"

#include "editors/frm_gradation.h"
#include "editors/macro_page_link.h"
#include "editors/rich_edit_q.h"
#include "editors/rich_edit_tav.h"
#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/document.h"
#include "model/page.h"
#include "model/page_views.h"
#include "paint/fill_value.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"
#include "store/picture_store.h"
#include "paint/macro_list.h"
#include "paint/paint_function_table.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "platform/qt/clipboard.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/data_object.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_light.h"
#include "ui/ole2_mac_paint.h"
#include "ui/ole2_pen.h"
#include "ui/ole_qt_bridge.h"
#include "ui/panel_button.h"
#include "window_wait.h"

#include <functional>
#include <limits>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

using test_support::ParamKindOf;

std::string MacroBytes(const TMacros& Macros)
{
    TMemoryStream S;
    Macros.WriteToStream(S);
    return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
}

struct ClipPage : ::testing::Test {
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Catalogue;
    TOLEDocumentWex Doc{nullptr, nullptr};
    TPage* Page = nullptr;
    TSilentFormDoc View;
    TPolyLineObj* A = nullptr;
    TPolyLineObj* B = nullptr;
    std::unique_ptr<TPolyLineObj> Buf;
    test_support::TMacroPageTestLink Link;
    std::unique_ptr<TMacroPaintPage> P;

    TPolyLineObj* AddLine()
    {
        auto L = std::make_unique<TPolyLineObj>(Page, -1);
        L->SetPathRecord(MakePath({{40, 30, PT_MOVETO}, {160, 30, PT_LINETO}, {160, 120, PT_LINETO},
                                   {40, 120, PT_LINETO | PT_CLOSEFIGURE}}));
        L->SetFillPath(1);
        return static_cast<TPolyLineObj*>(Page->RootGroup().AddChild(std::move(L), -1));
    }
    void SetUp() override
    {
        Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(200, 150);
        Page->AddForm(&View);
        A = AddLine();
        B = AddLine();
        Buf = std::make_unique<TPolyLineObj>(nullptr, -1);
        Link.Buf = Buf.get();
        Link.PageOf = Page;
        P = std::make_unique<TMacroPaintPage>(Link);
        P->SetStyleFolders(Defaults.Folders.DataDir(), std::string());
        P->resize(640, 260);
        P->show();
        ASSERT_TRUE(BecomesExposed(P.get()));
        QGuiApplication::clipboard()->clear();
    }
    void TearDown() override
    {
        P.reset();
        Page->RemoveForm(&View);
    }
    static void SetMacros(TPolyLineObj* O, const std::vector<std::string>& Names)
    {
        O->Macros().Clear();
        for (const std::string& N : Names)
            O->Macros().Add(TTestMacroLibrary::Get(N));
        O->Refresh();
    }
    void Load(TPolyLineObj* O)
    {
        Link.Item = O;
        Buf->Macros().Assign(&O->Macros());
        P->SetCgridQuickParam();
        Doc.History()->ClearHistory();
        Doc.SetModified(false);
    }
    TCtrlGridTav& Grid() { return *P->cgridMacroPaint; }
    // The first row of macro Item whose parameter is of Kind; -1 for none.
    int RowOfKind(const TPolyLineObj* O, int Item, int32_t Kind)
    {
        for (int R = 1; R <= Grid().ItemRows[size_t(Item)]; ++R)
            if (ParamKindOf(*O->Macros().GetMacro(Item), P->RowCaption(Item, R)) == Kind)
                return R;
        return -1;
    }
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
    std::string Cell(int Col, int Row) { return Grid().Cells(Col, Row).toStdString(); }
    // Pastes into (Col, Row) of the loaded object: one command, undone to the
    // exact macros before.
    void ExpectOnePasteStep(TPolyLineObj* O, const std::string& Before, const std::string& Caption)
    {
        THistoryCommand& H = *Doc.History();
        EXPECT_EQ(H.UndoCaption(), Caption);
        EXPECT_TRUE(Doc.Modified());
        H.Undo();
        EXPECT_FALSE(H.CanUndo());
        EXPECT_EQ(MacroBytes(O->Macros()), Before);
    }
};

struct TValueCase {
    int32_t Kind;
    std::string Source; // "" keeps the macro's own value
    bool (*OnClipboard)();
};

bool HasPen()
{
    return IsClipboardFormatAvailable(CFTavroPen());
}

TEST_F(ClipPage, EachValueKindGoesFromACellOfOneObjectToAnother)
{
    const TValueCase Cases[] = {{pkColor, "255", &ClipboardHasColor},
                                {pkFill, "100FF00", &ClipboardHasColor},
                                {pkLineType, "7,0,1.00", &HasPen},
                                {pkLights, "", &ClipboardHasLight}};
    for (const TValueCase& C : Cases) {
        SCOPED_TRACE(C.Kind);
        const std::string Name = EffectWith(C.Kind);
        ASSERT_FALSE(Name.empty());
        SetMacros(A, {Name});
        SetMacros(B, {Name});
        Load(A);
        const int Row = RowOfKind(A, 0, C.Kind);
        ASSERT_GT(Row, 0);
        std::string Source = C.Source;
        if (Source.empty()) {
            // A light set that differs from the object's: the first light's
            // strength changed.
            Source = Cell(1, Row);
            const size_t Comma = Source.find(',');
            ASSERT_NE(Comma, std::string::npos) << Source;
            Source = "73" + Source.substr(Comma);
        }
        P->SetQuickParam(1, Row, Source);
        ASSERT_EQ(Cell(1, Row), Source);
        EXPECT_TRUE(P->CanCopyValue(1, Row));
        P->ValueCopy(1, Row);
        EXPECT_TRUE(C.OnClipboard());

        Load(B);
        const std::string Before = MacroBytes(B->Macros());
        ASSERT_NE(Cell(1, Row), Source);
        EXPECT_TRUE(P->CanPasteValue(1, Row));
        P->ValuePaste(1, Row);
        EXPECT_EQ(Cell(1, Row), Source);
        EXPECT_EQ(MacroBytes(Buf->Macros()), MacroBytes(B->Macros()));
        ExpectOnePasteStep(B, Before, "プロパティの設定");
    }
}

TEST_F(ClipPage, FillsBetweenColoursAndGradations)
{
    const std::string Name = EffectWith(pkFill);
    SetMacros(A, {Name});
    Load(A);
    const int Fill = RowOfKind(A, 0, pkFill);
    ASSERT_GT(Fill, 0);
    // A colour fill onto a colour button gives the same colour.
    P->SetQuickParam(1, Fill, "100FF00");
    P->ValueCopy(1, Fill);
    const std::string ColorMacro = EffectWith(pkColor);
    SetMacros(B, {ColorMacro});
    Load(B);
    const int ColorRow = RowOfKind(B, 0, pkColor);
    P->ValuePaste(1, ColorRow);
    EXPECT_EQ(Cell(1, ColorRow), std::to_string(0x00FF00));

    // A gradation onto a gradation keeps that fill's kind digit; onto a
    // colour fill it is "20" and the text.
    const std::string Grad = "0000255,1,8192,0,8192,16384,3,0,4251903,512,1073392,1023,2109664,0,0,0,100,0,100";
    const std::string Other = "0000200,1,8192,0,8192,16384,3,0,4251903,512,1073392,1023,2109664,0,0,0,100,0,100";
    OleSetClipboard(MakeCom<TDataObjectGradation>(std::string(GradationClipboardHeader) + Grad).Get());
    SetMacros(B, {Name});
    Load(B);
    P->SetQuickParam(1, Fill, "23" + Other);
    P->ValuePaste(1, Fill);
    EXPECT_EQ(Cell(1, Fill), "23" + Grad);
    P->SetQuickParam(1, Fill, "1FFFFFF");
    Doc.History()->ClearHistory();
    P->ValuePaste(1, Fill);
    EXPECT_EQ(Cell(1, Fill), "20" + Grad);
    EXPECT_EQ(Doc.History()->UndoCaption(), "プロパティの設定");

    // Copying a gradation fill puts the gradation with its header.
    P->ValueCopy(1, Fill);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), std::string(GradationClipboardHeader) + Grad);
    // A fill of another kind cannot be copied; copying empties the clipboard.
    P->SetQuickParam(1, Fill, "5");
    EXPECT_FALSE(P->CanCopyValue(1, Fill));
    P->ValueCopy(1, Fill);
    EXPECT_FALSE(ClipboardHasGradation());
}

TEST_F(ClipPage, AnEmptyOrForeignClipboardPastesNothing)
{
    SetMacros(A, {EffectWith(pkColor)});
    Load(A);
    const int Row = RowOfKind(A, 0, pkColor);
    const std::string Before = Cell(1, Row);
    QGuiApplication::clipboard()->setText("no colour");
    EXPECT_FALSE(P->CanPasteValue(1, Row));
    P->ValuePaste(1, Row);
    P->MacroPasteClick();
    P->sbtnStylePasteClick();
    EXPECT_EQ(Cell(1, Row), Before);
    EXPECT_FALSE(Doc.History()->CanUndo());
    EXPECT_FALSE(Doc.Modified());
}

TEST_F(ClipPage, AMacroIsCopiedAndPastedIntoAnotherObject)
{
    const std::string Color = EffectWith(pkColor), Pen = EffectWith(pkLineType);
    SetMacros(A, {Color, Pen});
    SetMacros(B, {Color});
    Load(A);
    const int Row = RowOfKind(A, 1, pkLineType);
    P->SetQuickParam(3, Row, "9,0,1.00");
    // Nothing selected: nothing copied.
    QGuiApplication::clipboard()->setText("before");
    EXPECT_FALSE(P->sbtnMacroCopy->isEnabled());
    P->MacroCopyClick();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "before");
    EXPECT_FALSE(P->sbtnMacroPaste->isEnabled());

    Grid().SetItemIndex(1);
    P->UpdateMacroButtons();
    EXPECT_TRUE(P->sbtnMacroCopy->isEnabled());
    P->sbtnMacroCopy->click();
    EXPECT_TRUE(ClipboardHasPaintMacro());
    EXPECT_TRUE(P->sbtnMacroPaste->isEnabled()) << "the watcher enables the paste button";

    Load(B);
    const std::string Before = MacroBytes(B->Macros());
    P->sbtnMacroPaste->click();
    ASSERT_EQ(B->Macros().Count(), 2);
    EXPECT_EQ(B->Macros().GetMacro(1)->Name(), Pen);
    EXPECT_EQ(Cell(3, Row), "9,0,1.00");
    ExpectOnePasteStep(B, Before, "描画マクロの貼り付け");
}

TEST_F(ClipPage, AStyleCarriesEveryMacroWithItsValues)
{
    const std::string Color = EffectWith(pkColor), Pen = EffectWith(pkLineType);
    SetMacros(A, {Color, Pen});
    SetMacros(B, {Pen});
    Load(A);
    P->SetQuickParam(1, RowOfKind(A, 0, pkColor), "4660");
    P->SetQuickParam(3, RowOfKind(A, 1, pkLineType), "3,0,1.00");
    QGuiApplication::clipboard()->setText("x");
    EXPECT_FALSE(P->sbtnStylePaste->isEnabled());
    ASSERT_TRUE(P->sbtnStyleCopy->isEnabled());
    P->sbtnStyleCopy->click();
    EXPECT_TRUE(ClipboardHasPaintStyle());
    EXPECT_TRUE(P->sbtnStylePaste->isEnabled());

    Load(B);
    const std::string Before = MacroBytes(B->Macros());
    P->sbtnStylePaste->click();
    EXPECT_EQ(MacroBytes(B->Macros()), MacroBytes(A->Macros()));
    EXPECT_EQ(Grid().ColCount(), 4);
    ExpectOnePasteStep(B, Before, "描画スタイルの貼り付け");
}

TEST_F(ClipPage, AStyleCarriesItsPicturesIntoAnotherDocument)
{
    TListRecPict& Store = *Doc.GetPictureStore();
    TrecPicture Pic;
    RecPictureCreate(Pic, TPoint{0, 0}, 4, 4, 24, false);
    RecPictureFillColor(Pic, 0x00FF00);
    const int32_t Handle = Store.AddPicture(-1, 0, 0, 0, TPoint{0, 0}, 4, 4, 0, Pic, "");
    RecPictureClear(Pic);
    TFillPictParam Param;
    Param.iWidth = Param.iHeight = 4;
    Param.iHandle = Handle;
    const std::string Name = EffectWith(pkFill);
    SetMacros(A, {Name});
    Load(A);
    const int Fill = RowOfKind(A, 0, pkFill);
    P->SetQuickParam(1, Fill, "41" + FillPictParamToStr(Param));
    P->sbtnStyleCopyClick();

    // The other document: its store starts empty.
    TOLEDocumentWex Doc2{nullptr, nullptr};
    auto* Page2 = static_cast<TPage*>(Doc2.AddPage(NewPageTPage(Doc2.History())));
    Page2->SetPageSize(200, 150);
    TSilentFormDoc View2;
    Page2->AddForm(&View2);
    auto L = std::make_unique<TPolyLineObj>(Page2, -1);
    L->SetPathRecord(MakePath({{10, 10, PT_MOVETO}, {90, 10, PT_LINETO}, {90, 90, PT_LINETO | PT_CLOSEFIGURE}}));
    auto* B2 = static_cast<TPolyLineObj*>(Page2->RootGroup().AddChild(std::move(L), -1));
    SetMacros(B2, {Name});
    Link.PageOf = Page2;
    Load(B2);
    Doc2.History()->ClearHistory();
    const std::string Before = MacroBytes(B2->Macros());
    P->sbtnStylePasteClick();
    std::string Value = Cell(1, Fill);
    ASSERT_EQ(Value.substr(0, 2), "41");
    TFillPictParam Pasted;
    StrToFillPictParam(Value.substr(2), Pasted);
    TListRecPictItem* Item = Doc2.GetPictureStore()->GetItemByHandle(Pasted.iHandle);
    ASSERT_TRUE(Item) << "the picture joined the other document's store";
    EXPECT_EQ(Doc2.History()->UndoCaption(), "描画スタイルの貼り付け");
    Doc2.History()->Undo();
    EXPECT_EQ(MacroBytes(B2->Macros()), Before);
    EXPECT_FALSE(Doc2.GetPictureStore()->GetItemByHandle(Pasted.iHandle));
    Page2->RemoveForm(&View2);
    Link.Item = nullptr;
    Link.PageOf = Page;
    P->ClearGrid();
}

TEST_F(ClipPage, AStyleWithAMacroTheLibraryLacksIsNotCopied)
{
    SetMacros(A, {EffectWith(pkColor)});
    Load(A);
    Buf->Macros().Insert(1, MakeFillMacro("no such macro", "10000FF"));
    QGuiApplication::clipboard()->setText("kept");
    std::string Message;
    try {
        P->sbtnStyleCopyClick();
    } catch (const EUserError& E) {
        Message = E.what();
    }
    EXPECT_EQ(Message, "TfrmObjProperty.MacrosDuplicateForClipBoard: Macro Name 'no such macro' Not Found.");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "kept");
}

TEST_F(ClipPage, ARightClickOnAValueButtonOffersCopyAndPaste)
{
    SetMacros(A, {EffectWith(pkLineType)});
    Load(A);
    const int Row = RowOfKind(A, 0, pkLineType);
    QWidget* Button = Grid().GetCellControl(1, Row);
    ASSERT_TRUE(qobject_cast<TPanelPenButton*>(Button));
    QGuiApplication::clipboard()->setText("x");
    for (QEvent::Type T : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent E(T, QPointF(5, 5), Button->mapToGlobal(QPointF(5, 5)), Qt::RightButton,
                      T == QEvent::MouseButtonPress ? Qt::RightButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Button, &E);
    }
    ASSERT_TRUE(P->pMenuBtn->isVisible());
    EXPECT_TRUE(P->mitemBtnCopy->isEnabled());
    EXPECT_FALSE(P->mitemBtnPaste->isEnabled());
    P->mitemBtnCopy->trigger();
    P->pMenuBtn->hide();
    EXPECT_TRUE(HasPen());
    EXPECT_FALSE(Doc.History()->CanUndo()) << "the right click did not open the pen dialog";
}

// X11 asks for the context menu on the press, before the release: the value
// button answers with its own menu at the pointer, once, and the grid's
// macro menu stays shut.
TEST_F(ClipPage, AMenuRequestOnThePressOpensTheValueMenuAtThePointer)
{
    for (const int32_t Kind : {pkColor, pkFill, pkLineType, pkLights}) {
        SCOPED_TRACE(Kind);
        SetMacros(A, {EffectWith(Kind)});
        Load(A);
        const int Row = RowOfKind(A, 0, Kind);
        ASSERT_GT(Row, 0);
        QWidget* Button = Grid().GetCellControl(1, Row);
        ASSERT_TRUE(Button);
        const QPoint Local(6, 5), Global = Button->mapToGlobal(Local);
        int Shown = 0;
        const QMetaObject::Connection Count = QObject::connect(P->pMenuBtn, &QMenu::aboutToShow, [&] { ++Shown; });
        QMouseEvent Press(QEvent::MouseButtonPress, QPointF(Local), QPointF(Global), Qt::RightButton, Qt::RightButton,
                          Qt::NoModifier);
        QApplication::sendEvent(Button, &Press);
        QContextMenuEvent Menu(QContextMenuEvent::Mouse, Local, Global, Qt::NoModifier);
        QApplication::sendEvent(Button, &Menu);
        QMouseEvent Release(QEvent::MouseButtonRelease, QPointF(Local), QPointF(Global), Qt::RightButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(Button, &Release);
        QObject::disconnect(Count);
        EXPECT_FALSE(P->pMenuMacro->isVisible()) << "the grid's menu answered a value button";
        ASSERT_TRUE(P->pMenuBtn->isVisible());
        EXPECT_EQ(Shown, 1);
        EXPECT_EQ(P->pMenuBtn->geometry().topLeft(), Global);
        EXPECT_EQ(P->pMenuBtn->actions().value(0)->text().toStdString(), "コピー(&C)");
        EXPECT_EQ(P->pMenuBtn->actions().value(1)->text().toStdString(), "貼り付け(&P)");
        P->pMenuBtn->hide();
        P->pMenuMacro->hide();
        EXPECT_FALSE(Doc.History()->CanUndo()) << "the right click opened no dialog";
    }
}

TEST_F(ClipPage, ArrowsMoveBetweenMacrosAndWrap)
{
    const std::string Color = EffectWith(pkColor);
    SetMacros(A, {Color, Color, Color});
    Load(A);
    const int Row = RowOfKind(A, 0, pkColor);
    auto Focused = [&](int Col) { return GetsKeys(Grid().GetCellControl(Col, Row)); };
    Grid().GetCellControl(1, Row)->setFocus();
    ASSERT_TRUE(Focused(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Left);
    EXPECT_EQ(Grid().Col(), 5) << "from the first to the last";
    EXPECT_TRUE(Focused(5));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(Grid().Col(), 1) << "from the last to the first";
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    EXPECT_EQ(Grid().Col(), 3);
    EXPECT_TRUE(Focused(3));

    // In an edit: the caret moves first; Ctrl moves at once.
    int Number = -1;
    for (int R = 1; R <= Grid().ItemRows[0] && Number < 0; ++R)
        if (qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, R)))
            Number = R;
    ASSERT_GT(Number, 0);
    auto* Edit = qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(3, Number));
    Edit->setFocus();
    Edit->setText("123");
    Edit->setCursorPosition(1);
    QTest::keyClick(Edit, Qt::Key_Right);
    EXPECT_EQ(Edit->cursorPosition(), 2);
    EXPECT_EQ(Grid().Col(), 3);
    QTest::keyClick(Edit, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(Grid().Col(), 1);
    EXPECT_TRUE(GetsKeys(Grid().GetCellControl(1, Number)));
    auto* First = qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, Number));
    First->deselect();
    First->setCursorPosition(First->text().size());
    QTest::keyClick(First, Qt::Key_Right);
    EXPECT_EQ(Grid().Col(), 3) << "at the end of the text, Right moves on";
}

TEST_F(ClipPage, OnlyUsedValueCellsAreSelectedAndPairsScrollTogether)
{
    const std::string Color = EffectWith(pkColor), Pen = EffectWith(pkLineType);
    SetMacros(A, {Color, Pen, Color, Pen});
    Load(A);
    ASSERT_NE(Grid().ItemRows[0], Grid().ItemRows[1]);
    const int Short = Grid().ItemRows[0] < Grid().ItemRows[1] ? 0 : 1;
    const int Long = 1 - Short;
    Grid().MoveToCell(2 * Long + 1, 1);
    ASSERT_EQ(Grid().Col(), 2 * Long + 1);
    Grid().MoveToCell(2 * Long, 1);
    EXPECT_EQ(Grid().Col(), 2 * Long + 1) << "a caption cell";
    Grid().MoveToCell(2 * Short + 1, Grid().ItemRows[size_t(Long)]);
    EXPECT_EQ(Grid().Col(), 2 * Long + 1) << "a row the macro does not use";

    P->resize(260, 260);
    QApplication::processEvents();
    Grid().SetLeftCol(0);
    Grid().SetLeftCol(1);
    EXPECT_EQ(Grid().LeftCol(), 2);
    Grid().SetLeftCol(3);
    EXPECT_EQ(Grid().LeftCol(), 4);
    Grid().SetLeftCol(3);
    EXPECT_EQ(Grid().LeftCol(), 2);
}

TEST_F(ClipPage, RedrawSetsAHostedEditsTextIntoItsCell)
{
    SetMacros(A, {EffectWith(pkColor)});
    Load(A);
    int Number = -1;
    for (int R = 1; R <= Grid().ItemRows[0] && Number < 0; ++R)
        if (qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, R)))
            Number = R;
    ASSERT_GT(Number, 0);
    auto* Edit = qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, Number));
    const std::string Value = std::to_string(int(Edit->Position()) == 1 ? 2 : 1);
    Edit->blockSignals(true);
    Edit->setText(QString::fromStdString(Value));
    Edit->blockSignals(false);
    EXPECT_FALSE(P->SetHostedEditText(P->sbtnMacroCopy));
    EXPECT_TRUE(P->SetHostedEditText(Edit));
    EXPECT_EQ(Cell(1, Number), Value);
    EXPECT_EQ(Doc.History()->UndoCaption(), "プロパティの設定");
}

// ---------------------------------------------------------------- the panel's edit menu

struct ClipPanel : PanelTest {
    TMessageBoxHandler OldBox;
    std::vector<std::string> Boxes;
    int Answer = IDYES;
    ClipPanel()
    {
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return Answer;
        });
    }
    ~ClipPanel() override { SetMessageBoxHandler(OldBox); }
    // The window showing Page, shown and active.
    void ShowPage(QWidget* Page)
    {
        QWidget* W = Page->window();
        W->show();
        ASSERT_TRUE(ActivateAndWait(W));
        if (auto* Tabs = qobject_cast<QTabWidget*>(Page->parentWidget() ? Page->parentWidget()->parentWidget() : nullptr))
            Tabs->setCurrentWidget(Page);
    }
    TTextObj* Text(const std::string& Cp932)
    {
        auto T = std::make_unique<TTextObj>(&Page(), -1);
        T->SetText(Cp932);
        return static_cast<TTextObj*>(Page().RootGroup().AddChild(std::move(T), -1));
    }
};

TEST_F(ClipPanel, TheMenuHasItsItemsAndTheHiddenOnesStayOutOfIt)
{
    const std::vector<std::pair<QAction*, std::pair<const char*, QKeySequence>>> Items = {
        {Panel.mitemCtrlX, {"切り取り(&T)", QKeySequence("Ctrl+X")}},
        {Panel.mitemCtrlC, {"ｺﾋﾟｰ(&C)", QKeySequence("Ctrl+C")}},
        {Panel.mitemCtrlV, {"貼り付け(&P)", QKeySequence("Ctrl+V")}},
        {Panel.mitemCtrlA, {"全て選択(&A)", QKeySequence("Ctrl+A")}},
        {Panel.mitemDel, {"削除(&D)", QKeySequence("Del")}},
        {Panel.mitemCtrlL, {"再描画(&L)", QKeySequence("Ctrl+L")}}};
    for (const auto& [A, Expected] : Items) {
        EXPECT_EQ(A->text().toStdString(), Expected.first);
        EXPECT_EQ(A->shortcut(), Expected.second);
    }
    EXPECT_EQ(Panel.PopupMenuPageControl->actions(),
              (QList<QAction*>{Panel.mitemCtrlX, Panel.mitemCtrlC, Panel.mitemCtrlV}));
}

TEST_F(ClipPanel, TheShortcutsWorkOnEveryPage)
{
    TTextObj* T = Text("abc");
    Load({T});
    int Pages = 0;
    for (QWidget* Page : Panel.FTabSheets) {
        SCOPED_TRACE(Page->objectName().toStdString());
        // The path page is off for a text on no path: nothing there has focus.
        if (!Page->isEnabled() || (Page == Panel.TabSheetOnPath && !Panel.edtTextStartPos->isEnabled()))
            continue;
        ++Pages;
        ShowPage(Page);
        // A control that is no text edit: the menu's shortcuts reach it.
        auto* Focus = new QPushButton("probe", Page);
        Focus->setFocusPolicy(Qt::StrongFocus);
        Focus->show();
        Focus->setFocus();
        ASSERT_TRUE(GetsKeys(Focus));
        for (QAction* A : {Panel.mitemCtrlX, Panel.mitemCtrlC, Panel.mitemCtrlV, Panel.mitemCtrlA, Panel.mitemDel,
                           Panel.mitemCtrlL}) {
            QSignalSpy Spy(A, &QAction::triggered);
            const QKeyCombination Keys = A->shortcut()[0];
            QTest::keyClick(Focus, Keys.key(), Keys.keyboardModifiers());
            EXPECT_EQ(Spy.count(), 1) << A->objectName().toStdString();
        }
        delete Focus;
    }
    EXPECT_EQ(Pages, 5);
}

TEST_F(ClipPanel, OtherControlsGetTheKeystrokes)
{
    Load({Add<TRectObj>(10, 10, 50, 40)});
    ShowPage(Panel.TabSheetGeneral);
    Panel.edtPosiX->setFocus();
    ASSERT_TRUE(GetsKeys(Panel.edtPosiX));
    Panel.edtPosiX->deselect();
    Panel.mitemCtrlA->trigger();
    EXPECT_EQ(Panel.edtPosiX->selectedText(), Panel.edtPosiX->text());
    Panel.mitemCtrlC->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "10");
}

TEST_F(ClipPanel, TheRichEditsCutIsOneDeleteCommand)
{
    TTextObj* T = Text("abcdef");
    Load({T});
    ShowPage(Panel.TabSheetText);
    Panel.RichEdit->setFocus();
    ASSERT_TRUE(GetsKeys(Panel.RichEdit));
    Panel.RichEditTav()->SetSelection(1, 3);
    QTest::keyClick(Panel.RichEdit, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(T->Text(), "aef");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "bcd");
    EXPECT_EQ(History().UndoCaption(), "１文字削除");
    EXPECT_EQ(Steps(), 1);
    History().Undo();
    EXPECT_EQ(T->Text(), "abcdef");
}

TEST_F(ClipPanel, ALongTextIsPastedOnlyWhenConfirmed)
{
    TTextObj* T = Text("x");
    Load({T});
    ShowPage(Panel.TabSheetText);
    Panel.RichEdit->setFocus();
    QApplication::processEvents();
    Panel.RichEditTav()->SetSelection(1, 0);
    // Exactly 20 characters: no question.
    QGuiApplication::clipboard()->setText(QString(20, 'a'));
    QTest::keyClick(Panel.RichEdit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(T->Text(), "x" + std::string(20, 'a'));
    EXPECT_EQ(History().UndoCaption(), "貼り付け");
    EXPECT_EQ(Steps(), 1);

    QGuiApplication::clipboard()->setText(QString(21, 'b'));
    Answer = IDNO;
    QTest::keyClick(Panel.RichEdit, Qt::Key_V, Qt::ControlModifier);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0], "21文字のテキストを貼り付けようとしています。\r\n"
                        "処理に非常に時間がかかる場合があります。実行しますか？");
    EXPECT_EQ(Steps(), 1);
    Answer = IDYES;
    Panel.mitemCtrlVClick();
    EXPECT_EQ(T->Text(), "x" + std::string(20, 'a') + std::string(21, 'b'));
    EXPECT_EQ(Steps(), 2);
}


// The rich edit is no drop target once the panel has started: text comes in
// through the paste command only, which asks before a long text. A drop over
// it, long or short, changes nothing and records nothing.
TEST_F(ClipPanel, TheRichEditTakesNoDrops)
{
    TTextObj* T = Text("x");
    Load({T});
    ShowPage(Panel.TabSheetText);
    auto* Rich = dynamic_cast<TCustomRichEditWex*>(Panel.RichEdit);
    ASSERT_NE(Rich, nullptr);
    EXPECT_FALSE(Rich->IsDropTarget());
    EXPECT_FALSE(Rich->acceptDrops());
    EXPECT_FALSE(Rich->viewport()->acceptDrops());
    // Selecting with the mouse and dragging out keep working.
    EXPECT_TRUE(Rich->AllowOLEDragDrop());
    for (const int Length : {5, 26}) {
        QMimeData Mime;
        Mime.setText(QString(Length, 'd'));
        const QPoint At = Rich->viewport()->rect().center();
        QDragEnterEvent Enter(At, Qt::CopyAction | Qt::MoveAction, &Mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Rich->viewport(), &Enter);
        EXPECT_FALSE(Enter.isAccepted()) << Length;
        QDropEvent Drop(QPointF(At), Qt::CopyAction | Qt::MoveAction, &Mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Rich->viewport(), &Drop);
        EXPECT_FALSE(Drop.isAccepted()) << Length;
        EXPECT_EQ(T->Text(), "x") << Length;
        EXPECT_EQ(Rich->toPlainText(), QStringLiteral("x")) << Length;
        EXPECT_TRUE(Boxes.empty()) << Length;
        EXPECT_EQ(Steps(), 0) << Length;
    }
}

// A text past what a text object may take is refused where the long-paste
// question would be asked: one message, no question, nothing read or changed.
TEST_F(ClipPanel, ATextPastTheLimitIsRefusedInsteadOfAsked)
{
    TTextObj* T = Text("x");
    Load({T});
    ShowPage(Panel.TabSheetText);
    Panel.RichEdit->setFocus();
    QApplication::processEvents();
    Panel.RichEditTav()->SetSelection(0, 1);
    QGuiApplication::clipboard()->setText(QString(MaxTextObjectBytes + 1, 'a'));
    QTest::keyClick(Panel.RichEdit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Boxes, std::vector<std::string>{"貼り付けるテキストが長すぎます。\r\n"
                                              "貼り付けられるのはシフトJISで16384バイトまでです。"});
    EXPECT_EQ(T->Text(), "x");
    EXPECT_EQ(Steps(), 0);
}

// A light or gradation text far past any such value is refused unread on
// its cell: one message, the cell and the object as they were.
TEST_F(ClipPage, OversizedValueTextsAreRefused)
{
    struct TCase {
        int32_t Kind;
        std::function<void()> Put;
        size_t Limit;
    } const Cases[] = {
        {pkLights,
         [] {
             OleSetClipboard(
                 MakeCom<TLightDataObject>(LightClipboardHeader + std::string(MaxLightTextBytes + 1, '1')).Get());
         },
         MaxLightTextBytes},
        {pkFill,
         [] {
             OleSetClipboard(MakeCom<TDataObjectGradation>(GradationClipboardHeader +
                                                          std::string(MaxGradationTextBytes + 1, '1'))
                                 .Get());
         },
         MaxGradationTextBytes},
    };
    for (const TCase& C : Cases) {
        SetMacros(A, {EffectWith(C.Kind)});
        Load(A);
        const int Row = RowOfKind(A, 0, C.Kind);
        ASSERT_GT(Row, 0);
        const std::string Before = Cell(1, Row);
        const std::string Bytes = MacroBytes(A->Macros());
        C.Put();
        std::vector<std::string> Boxes;
        const TMessageBoxHandler Old =
            SetMessageBoxHandler([&Boxes](void*, const std::string& Text, const std::string&, uint32_t) {
                Boxes.push_back(Text);
                return IDOK;
            });
        P->ValuePaste(1, Row);
        SetMessageBoxHandler(Old);
        EXPECT_EQ(Boxes, std::vector<std::string>{"クリップボードのデータが大きすぎるため、貼り付けできません。\r\n(" +
                                                  std::to_string(C.Limit) + "バイトまで)"});
        EXPECT_EQ(Cell(1, Row), Before);
        EXPECT_EQ(MacroBytes(A->Macros()), Bytes);
        EXPECT_FALSE(Doc.History()->CanUndo());
    }
}

// A macro or style whose values no editor could set is refused whole: the
// object keeps its macros, nothing is recorded, and the page says so once.
TEST_F(ClipPage, OutOfRangeMacrosAndStylesPasteNothing)
{
    const std::string Fill = "塗り(ボカシ)";
    SetMacros(A, {Fill});
    Load(A);
    TMacro Bad;
    ASSERT_TRUE(Bad.LoadFromLibrary(Fill));
    Bad.SetParamValue("ボカシ量", "2000000000");
    TMacros BadStyle;
    BadStyle.Insert(0, Bad);
    TMacros Crowd;
    for (int32_t I = 0; I <= MaxPaintStyleMacros; ++I)
        Crowd.Add(TTestMacroLibrary::Get(Fill));
    TMemoryStream NoPictures;
    const int32_t None = 0;
    NoPictures.WriteBuffer(&None, sizeof None);
    struct TCase {
        const char* Name;
        std::function<void()> Put;
        void (TMacroPaintPage::*Click)();
        std::string Message;
    } const Cases[] = {
        {"macro", [&] { OleSetClipboard(MakeCom<TDataObjectMacPaint>(Bad).Get()); }, &TMacroPaintPage::MacroPasteClick,
         "クリップボードの描画マクロは読み込めないか、値が範囲外のため、貼り付けできません。"},
        {"macro text",
         [&] {
             TMemoryStream S;
             StreamWriteln(S, "Tavro Paint Macro");
             Bad.WriteToStreamAsText(S);
             QGuiApplication::clipboard()->setText(
                 QString::fromStdString(Cp932ToUtf8(std::string(static_cast<const char*>(S.Memory()), size_t(S.Size())))));
         },
         &TMacroPaintPage::MacroPasteClick, "クリップボードの描画マクロは読み込めないか、値が範囲外のため、貼り付けできません。"},
        {"style",
         [&] {
             NoPictures.SetPosition(0);
             OleSetClipboard(MakeCom<TDataObjectPaintStyle>(BadStyle, NoPictures).Get());
         },
         &TMacroPaintPage::sbtnStylePasteClick,
         "クリップボードの描画スタイルは読み込めないか、値が範囲外のため、貼り付けできません。"},
        {"crowded style",
         [&] {
             NoPictures.SetPosition(0);
             OleSetClipboard(MakeCom<TDataObjectPaintStyle>(Crowd, NoPictures).Get());
         },
         &TMacroPaintPage::sbtnStylePasteClick,
         "クリップボードの描画スタイルはマクロが多すぎるため、貼り付けできません。\r\n(256個まで)"},
        {"crowded style text",
         [&] {
             NoPictures.SetPosition(0);
             OleSetClipboard(MakeCom<TDataObjectPaintStyle>(Crowd, NoPictures).Get());
             const QString Text = QGuiApplication::clipboard()->text();
             ASSERT_TRUE(Text.startsWith("Tavro Paint Style\r\n257\r\n"));
             QGuiApplication::clipboard()->setText(Text);
         },
         &TMacroPaintPage::sbtnStylePasteClick,
         "クリップボードの描画スタイルはマクロが多すぎるため、貼り付けできません。\r\n(256個まで)"},
    };
    for (const TCase& C : Cases) {
        C.Put();
        const std::string Before = MacroBytes(A->Macros());
        std::vector<std::string> Boxes;
        const TMessageBoxHandler Old =
            SetMessageBoxHandler([&Boxes](void*, const std::string& Text, const std::string&, uint32_t) {
                Boxes.push_back(Text);
                return IDOK;
            });
        (P.get()->*C.Click)();
        SetMessageBoxHandler(Old);
        EXPECT_EQ(Boxes, std::vector<std::string>{C.Message}) << C.Name;
        EXPECT_EQ(MacroBytes(A->Macros()), Before) << C.Name;
        EXPECT_EQ(MacroBytes(Buf->Macros()), Before) << C.Name;
        EXPECT_EQ(Grid().ColCount(), 2) << C.Name;
        EXPECT_FALSE(Doc.History()->CanUndo()) << C.Name;
        EXPECT_FALSE(Doc.Modified()) << C.Name;
    }
}

// A fill holds a loaded picture at its own size, past what a window shows
// at once: the macro and the style made of it paste back whole.
TEST_F(ClipPage, APictureFillAtItsLoadedSizePastesBack)
{
    for (const QSize Size : {QSize(10001, 40), QSize(300, 12000)}) {
        SCOPED_TRACE(Size.width());
        const std::string Fill = "塗り(ボカシ)";
        SetMacros(A, {Fill});
        SetMacros(B, {Fill});
        Load(A);
        const int Row = RowOfKind(A, 0, pkFill);
        ASSERT_GT(Row, 0);
        TTestIni Ini;
        TfrmGradation Form(nullptr, Ini.Ini.get(), "4.0", "FlgGrad", "PosGrad", "DirGrph");
        Form.SetUp("41", QPainterPath(), Doc.GetPictureStore());
        const std::string Png = Ini.Dir + "/wide.png";
        QImage Image(Size, QImage::Format_RGB32);
        Image.fill(Qt::red);
        ASSERT_TRUE(Image.save(QString::fromStdString(Png)));
        ASSERT_TRUE(Form.LoadPictureFile(Png));
        EXPECT_EQ(Form.edtWidth->text().toInt(), Size.width());
        EXPECT_EQ(Form.edtHeight->text().toInt(), Size.height());
        const std::string Code = Form.FillCode();
        P->SetQuickParam(1, Row, Code);
        ASSERT_EQ(Cell(1, Row), Code);
        TBoxRecorder Boxes;
        P->sbtnStyleCopyClick();
        Load(B);
        P->sbtnStylePasteClick();
        EXPECT_EQ(MacroBytes(B->Macros()), MacroBytes(A->Macros()));
        Load(A);
        Grid().SetItemIndex(0);
        P->MacroCopyClick();
        Load(B);
        P->MacroPasteClick();
        ASSERT_EQ(B->Macros().Count(), 2);
        std::string Pasted;
        EXPECT_TRUE(B->Macros().GetMacro(1)->GetParamValue("塗り方法", Pasted));
        EXPECT_EQ(Pasted, Code);
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>());
    }
}

// Values of the program's own formats that do not read (a cut-short
// gradation or light set, a pen beyond the pens' limits, a colour that is
// none), pasted through a cell's value menu: refused with one message (the
// editors' own for gradations and lights), the object, the cell and the
// history as they were.
TEST_F(ClipPage, AValueThatDoesNotReadIsRefusedByTheValueMenuOnce)
{
    const auto Pen = [](int32_t Width, double Miter) {
        TrecPenData P{};
        P.Width = Width;
        P.MiterLimit = Miter;
        return TComPtr<IDataObject>(MakeCom<TOle2DataObjPenWex>(P));
    };
    // The colour format holding a text that names no colour: a "#" with no
    // digits, too few, too many or others is no black nor any colour.
    struct TNoColour : TTextDataObject {
        explicit TNoColour(const char* Text) : TTextDataObject(Text, TOle2DataObjColorWex::GetFormats()) {}
    };
    const auto NoColour = [](const char* Text) { return TComPtr<IDataObject>(MakeCom<TNoColour>(Text)); };
    const char* const kValueRefused = "クリップボードの値は読み込めないか、範囲外のため、貼り付けできません。";
    struct TCase {
        std::string Name;
        int32_t Kind;
        TComPtr<IDataObject> Data;
        const char* Message;
    } const Cases[] = {
        {"塗り(ボカシ)", pkFill,
         MakeCom<TDataObjectGradation>(std::string(GradationClipboardHeader) +
                                       "0000255,1,8192,0,8192,16384,5,0,1059402,320,84"),
         GradationPasteRefused},
        {EffectWith(pkLights), pkLights,
         MakeCom<TLightDataObject>(std::string(LightClipboardHeader) +
                                   "8,FFFFFF60,20,0,2,6,環境光FFFFFF10,0,8,平行光源FFFF"),
         LightPasteRefused},
        {EffectWith(pkLineType), pkLineType, Pen(MaxPenWidth + 1, 1.0), kValueRefused},
        {EffectWith(pkLineType), pkLineType, Pen(1, std::numeric_limits<double>::quiet_NaN()), kValueRefused},
        {EffectWith(pkColor), pkColor, NoColour("#12345G"), kValueRefused},
        {"塗り(ボカシ)", pkFill, NoColour("#12345G"), kValueRefused},
        {EffectWith(pkColor), pkColor, NoColour("#"), kValueRefused},
        {"塗り(ボカシ)", pkFill, NoColour("#"), kValueRefused},
        {EffectWith(pkColor), pkColor, NoColour("#12"), kValueRefused},
        {"塗り(ボカシ)", pkFill, NoColour("#12"), kValueRefused},
        {EffectWith(pkColor), pkColor, NoColour("#GGGGGG"), kValueRefused},
        {EffectWith(pkColor), pkColor, NoColour("#1234567"), kValueRefused},
        {"塗り(ボカシ)", pkFill, NoColour("#1234567"), kValueRefused},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name + " " + std::to_string(C.Kind));
        SetMacros(A, {C.Name});
        Load(A);
        const int Row = RowOfKind(A, 0, C.Kind);
        ASSERT_GT(Row, 0);
        const std::string Cell1 = Cell(1, Row);
        const std::string Bytes = MacroBytes(A->Macros());
        OleSetClipboard(C.Data.Get());
        TBoxRecorder Boxes;
        P->PopupValueMenu(1, Row, P->mapToGlobal(QPoint(10, 10)));
        ASSERT_TRUE(P->mitemBtnPaste->isEnabled());
        P->pMenuBtn->hide();
        P->mitemBtnPaste->trigger();
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>{C.Message});
        EXPECT_EQ(Cell(1, Row), Cell1);
        EXPECT_EQ(MacroBytes(A->Macros()), Bytes);
        EXPECT_EQ(MacroBytes(Buf->Macros()), Bytes);
        EXPECT_FALSE(Doc.History()->CanUndo());
        EXPECT_FALSE(Doc.Modified());
    }
}

} // namespace
