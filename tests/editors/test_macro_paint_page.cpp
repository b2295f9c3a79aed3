// The macro page over a real document: a page with polylines painted by the
// effect catalogue, a recording link in place of the panel.
#include "editors/macro_paint_page.h"

#include "macro_page_test_link.h"
#include "model/object_test_support.h"

#include "editors/frm_gradation.h"
#include "editors/anchor_light.h"
#include "editors/frm_light.h"
#include "editors/frm_obj_property_proxy.h"
#include "editors/frm_sel_color.h"
#include "editors/frm_set_pen.h"
#include "editors/macro_page_link.h"
#include "editors/style_dialog.h"
#include "editors/style_items.h"
#include "foundation/ini_file.h"
#include "foundation/streams.h"
#include "model/document.h"
#include "model/draw_group.h"
#include "model/page.h"
#include "model/page_views.h"
#include "paint/macro_list.h"
#include "paint/paint_function_table.h"
#include "platform/message_box.h"
#include "raster/rec_picture.h"
#include "store/history.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/panel_button.h"
#include "ui/popup_test_support.h"
#include "ui/restore_pos.h"
#include "window_wait.h"

#include <QAbstractItemView>
#include <QCursor>
#include <QComboBox>
#include <QIcon>
#include <QLayout>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <cmath>
#include <set>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class TRecLink : public TMacroPageLink {
public:
    TDrawItem* DrawItem() const override { return Item; }
    TDrawItem* DrawItemBuf() const override { return Buf; }
    TPage* Page() const override { return PageOf; }
    bool Updating() const override { return Lock > 0; }
    void BeginUpdate() override { ++Lock; }
    void EndUpdate() override { --Lock; }
    void ItemsEdited() override { ++Edited; }
    void ItemsChangedLive() override { ++Live; }
    void SetHandlesHidden(bool Hidden) override { Handles.push_back(Hidden); }
    QWidget* DialogOwner() const override { return Owner; }

    QWidget* Owner = nullptr;
    TDrawItem* Item = nullptr;
    TDrawItem* Buf = nullptr;
    TPage* PageOf = nullptr;
    int Lock = 0, Edited = 0, Live = 0;
    std::vector<bool> Handles;
};

const char* const Fill = "塗り(ボカシ)";

using test_support::ParamKindOf;

struct MacroPage : ::testing::Test {
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Catalogue;
    TOLEDocumentWex Doc{nullptr, nullptr};
    TPage* Page = nullptr;
    TSilentFormDoc View;
    TPolyLineObj* Line = nullptr;
    std::unique_ptr<TPolyLineObj> Buf;
    TRecLink Link;
    std::unique_ptr<TMacroPaintPage> P;
    TMessageBoxHandler OldBox;
    std::vector<std::string> Boxes;
    decltype(TMacroPaintPage::PickMacro) OldPick = TMacroPaintPage::PickMacro;
    decltype(TStyle::InputQuery) OldQuery = TStyle::InputQuery;

    void SetUp() override
    {
        Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(200, 150);
        Page->AddForm(&View);
        auto L = std::make_unique<TPolyLineObj>(Page, -1);
        L->SetPathRecord(MakePath({{40, 30, PT_MOVETO}, {160, 30, PT_LINETO}, {160, 120, PT_LINETO},
                                   {40, 120, PT_LINETO | PT_CLOSEFIGURE}}));
        L->SetFillPath(1);
        Line = L.get();
        Page->RootGroup().AddChild(std::move(L), -1);
        SetMacros({Fill});
        Buf = std::make_unique<TPolyLineObj>(nullptr, -1);
        Link.Item = Line;
        Link.Buf = Buf.get();
        Link.PageOf = Page;
        LoadBuf();
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDYES;
        });
        P = std::make_unique<TMacroPaintPage>(Link);
        P->SetStyleFolders(Defaults.Folders.DataDir(), std::string());
        P->resize(640, 260);
        P->SetCgridQuickParam();
        P->show();
        ASSERT_TRUE(BecomesExposed(P.get()));
        Doc.History()->ClearHistory();
        Doc.SetModified(false);
    }
    void TearDown() override
    {
        P.reset();
        TMacroPaintPage::PickMacro = OldPick;
        TMacroPaintPage::RunDialog = [](QDialog* D) { return D->exec(); };
        TStyle::OnShowModal = nullptr;
        TStyle::InputQuery = OldQuery;
        SetMessageBoxHandler(OldBox);
        Page->RemoveForm(&View);
    }
    void SetMacros(const std::vector<std::string>& Names)
    {
        Line->Macros().Clear();
        for (const std::string& N : Names)
            Line->Macros().Add(TTestMacroLibrary::Get(N));
        Line->Refresh();
    }
    // The panel's property object: a copy of the object's macros.
    void LoadBuf() { Buf->Macros().Assign(&Line->Macros()); }
    void Reload()
    {
        LoadBuf();
        P->SetCgridQuickParam();
        Doc.History()->ClearHistory();
        Doc.SetModified(false);
    }
    TCtrlGridTav& Grid() { return *P->cgridMacroPaint; }
    int RowOf(int Item, const std::string& Caption)
    {
        for (int R = 1; R < Grid().RowCount(); ++R)
            if (Grid().Cells(2 * Item, R).toStdString() == Caption)
                return R;
        return -1;
    }
    // The first value under Caption in any line of the object's macro.
    std::string Value(const std::string& Caption, int Macro = 0)
    {
        const TMacro& M = *Line->Macros().GetMacro(Macro);
        for (int32_t L = 0; L < M.LineCount(); ++L)
            for (const TMacroParam& Q : M.Line(L).Params)
                if (Q.Caption.value_or("") == Caption && Q.Value)
                    return *Q.Value;
        return {};
    }
    std::vector<std::string> Names()
    {
        std::vector<std::string> N;
        for (int32_t I = 0; I < Line->Macros().Count(); ++I)
            N.push_back(Line->Macros().GetMacro(I)->Name());
        return N;
    }
    // The one command the history holds: its caption, and undoing it.
    void ExpectOneStep(const std::string& Caption)
    {
        THistoryCommand& H = *Doc.History();
        EXPECT_EQ(H.UndoCaption(), Caption);
        EXPECT_TRUE(Doc.Modified());
        H.Undo();
        EXPECT_FALSE(H.CanUndo());
    }
    // The number edit the grid hosts over the first macro's cell in Row,
    // the grid focused and the cell current.
    TEditTrackBarWex* CellEdit(int Row)
    {
        Grid().setFocus();
        Grid().MoveToCell(1, Row);
        return qobject_cast<TEditTrackBarWex*>(Grid().CurrentControl());
    }
    // The document as a save writes it.
    std::vector<uint8_t> Saved()
    {
        TMemoryStream S;
        Doc.SaveToStream(S);
        const auto* B = static_cast<const uint8_t*>(S.Memory());
        return std::vector<uint8_t>(B, B + S.Size());
    }
    // The rendered page's pixels inside the object's rectangle.
    std::vector<uint8_t> Rendered()
    {
        Page->InvalidateRect(nullptr, false);
        Page->Update();
        const TrecPicture& Pic = Page->PagePicture();
        const int64_t Stride = (int64_t(200) * 3 + 3) & ~int64_t(3);
        std::vector<uint8_t> Px;
        for (int Y = 30; Y <= 120; Y += 5)
            for (int X = 40; X <= 160; X += 5) {
                const uint8_t* Q = Pic.pBits + (150 - 1 - Y) * Stride + 3 * X;
                Px.insert(Px.end(), Q, Q + 3);
            }
        return Px;
    }
    // Presses at a point of the grid's viewport, moves and releases.
    void GridMouse(QEvent::Type Type, QPoint At, Qt::MouseButtons Held)
    {
        QWidget* V = Grid().viewport();
        QMouseEvent E(Type, At, V->mapToGlobal(At), Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      Held, Qt::NoModifier);
        QApplication::sendEvent(V, &E);
    }
};

} // namespace

TEST_F(MacroPage, SharedCaptionsMakeOneRowAndInternalCaptionsNone)
{
    const TMacro& M = *Line->Macros().GetMacro(0);
    int PenParams = 0;
    for (int32_t L = 0; L < M.LineCount(); ++L)
        for (const TMacroParam& Q : M.Line(L).Params)
            PenParams += Q.Caption.value_or("") == "線種";
    ASSERT_GE(PenParams, 2);

    EXPECT_EQ(Grid().ColCount(), 2);
    EXPECT_EQ(Grid().Cells(0, 0).toStdString(), Fill);
    ASSERT_EQ(Grid().ItemRows, std::vector<int32_t>{7});
    EXPECT_EQ(Grid().RowCount(), 8);
    std::vector<std::string> Captions;
    for (int R = 1; R <= 7; ++R)
        Captions.push_back(Grid().Cells(0, R).toStdString());
    std::vector<std::string> Sorted = Captions;
    std::sort(Sorted.begin(), Sorted.end());
    EXPECT_EQ(std::unique(Sorted.begin(), Sorted.end()), Sorted.end()) << "a caption twice";
    EXPECT_EQ(std::count(Captions.begin(), Captions.end(), "*Primary"), 0);

    // One edit of the shared row changes every parameter under it.
    P->SetQuickParam(1, RowOf(0, "線種"), "5,0,1.00");
    for (int32_t L = 0; L < M.LineCount(); ++L)
        for (const TMacroParam& Q : M.Line(L).Params)
            if (Q.Caption.value_or("") == "線種") {
                EXPECT_EQ(Q.Value.value_or(""), "5,0,1.00");
            }
    ExpectOneStep("プロパティの設定");
    EXPECT_EQ(Value("線種"), "2,0,1.00");
}

TEST_F(MacroPage, EveryParameterKindOfTheCatalogueGetsItsControl)
{
    std::set<int32_t> Seen;
    for (const std::string& Name : TCatalogueLibraries::Effects()) {
        SCOPED_TRACE(Name);
        SetMacros({Name});
        ASSERT_NO_THROW(Reload());
        const TMacro& M = *Line->Macros().GetMacro(0);
        for (int R = 1; R <= Grid().ItemRows[0]; ++R) {
            const int32_t Kind = ParamKindOf(M, P->RowCaption(0, R));
            Seen.insert(Kind);
            QWidget* C = Grid().GetCellControl(1, R);
            switch (Kind) {
            case pkInteger:
            case pkReal:
                EXPECT_TRUE(qobject_cast<TEditTrackBarWex*>(C));
                break;
            case pkChoice: {
                auto* Combo = qobject_cast<QComboBox*>(C);
                ASSERT_TRUE(Combo);
                EXPECT_EQ(Combo->maxVisibleItems(), 20);
                break;
            }
            case pkColor:
                EXPECT_TRUE(qobject_cast<TPanelColorButton*>(C));
                break;
            case pkFill:
            case pkPlaneFill:
            case pkReflection: {
                auto* B = qobject_cast<TPanelPaintFillButton*>(C);
                ASSERT_TRUE(B);
                EXPECT_EQ(B->Kinds(), Kind == pkFill ? 0x0Fu : Kind == pkPlaneFill ? 0x11u : 0x21u);
                break;
            }
            case pkLights:
                EXPECT_TRUE(qobject_cast<TPanelButton*>(C) && !qobject_cast<TPanelButtonDropSource*>(C));
                break;
            case pkLineType:
                EXPECT_TRUE(qobject_cast<TPanelPenButton*>(C));
                break;
            default:
                ADD_FAILURE() << "kind " << Kind << " in row " << R;
            }
        }
    }
    for (int32_t Kind : {pkInteger, pkChoice, pkColor, pkFill, pkLights, pkLineType})
        EXPECT_TRUE(Seen.count(Kind)) << "no catalogue parameter of kind " << Kind;
}

// The bevel's width slides over a designer's range, 0-100 px, while its edit
// takes up to the largest Gaussian radius the renderer accepts; no other
// effect's number slides over tens of thousands either.
TEST_F(MacroPage, CatalogueWidthsSlideOverASensibleRange)
{
    SetMacros({"ベベル（照明）"});
    Reload();
    const int Row = RowOf(0, "斜辺の幅");
    ASSERT_GT(Row, 0);
    auto* Width = qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, Row));
    ASSERT_TRUE(Width);
    EXPECT_EQ(Width->TrackBarMin(), 0);
    EXPECT_EQ(Width->TrackBarMax(), 100);
    EXPECT_EQ(Width->Min(), 0);
    EXPECT_EQ(Width->Max(), 1000);
    // Typed beyond it: the edit's Max at once, shown and painted.
    TEditTrackBarWex* Edit = CellEdit(Row);
    ASSERT_TRUE(Edit);
    Edit->setFocus();
    Edit->selectAll();
    QTest::keyClicks(Edit, "5000");
    const std::string Tagged = "斜辺の幅|0,1000,0,100";
    EXPECT_EQ(Edit->text().toStdString(), "1000");
    EXPECT_EQ(Value(Tagged), "1000");
    QTest::keyClick(Edit, Qt::Key_Return);
    EXPECT_EQ(Value(Tagged), "1000");
    EXPECT_EQ(Grid().Cells(1, Row).toStdString(), "1000");
    // A spread may narrow the shape: it keeps its negative half.
    SetMacros({"塗り(ボカシ)"});
    Reload();
    const int Spread = RowOf(0, "図形の広がり");
    ASSERT_GT(Spread, 0);
    auto* SpreadEdit = qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, Spread));
    ASSERT_TRUE(SpreadEdit);
    // No lower than the filter that widens or narrows the shape reads.
    EXPECT_EQ(SpreadEdit->Min(), -999);
    EXPECT_EQ(SpreadEdit->TrackBarMin(), -100);
    for (const std::string& Name : TCatalogueLibraries::Effects()) {
        SetMacros({Name});
        Reload();
        for (int R = 1; R <= Grid().ItemRows[0]; ++R)
            if (auto* E = qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, R))) {
                EXPECT_LE(E->TrackBarMax() - E->TrackBarMin(), 1000) << Name << " " << P->RowCaption(0, R);
                EXPECT_LE(E->Max(), 1000) << Name << " " << P->RowCaption(0, R);
            }
    }
}

TEST(MacroPageTexts, CellTextsAndCustomRanges)
{
    EXPECT_EQ(FillCellText("1B06000"), "[#0060B0]");
    EXPECT_EQ(FillCellText("210,1"), "[ｸﾞﾗﾃﾞｰｼｮﾝ]");
    EXPECT_EQ(FillCellText("4..."), "[画像]");
    EXPECT_EQ(FillCellText("5"), "[なし]");
    EXPECT_EQ(FillCellText(""), "[不定]");
    EXPECT_EQ(ColorCellText("255"), "$FF0000");
    EXPECT_EQ(ColorCellText("-1"), "不定");
    EXPECT_EQ(PenCellText("2,0,1.00"), "幅=2");
    EXPECT_EQ(PenCellText(""), "不定");
    TQuickRange R;
    ParseQuickRangeText("-2.5,10.5,0,0,0,2,0.5,etbksExp2", true, R);
    EXPECT_EQ(R.Min, -3);
    EXPECT_EQ(R.Max, 11);
    EXPECT_EQ(R.LineSize, 1); // 0 keeps the default
    EXPECT_EQ(R.PageSize, 2);
    EXPECT_EQ(R.Precision, 0.5);
    EXPECT_EQ(R.Style, 2);
}

TEST_F(MacroPage, EnterIsOneUndoStepAndMarksTheDocument)
{
    const int Row = RowOf(0, "不透明度");
    TEditTrackBarWex* Edit = CellEdit(Row);
    ASSERT_TRUE(Edit);
    Edit->setFocus();
    Edit->selectAll();
    QTest::keyClicks(Edit, "55");
    EXPECT_EQ(Value("不透明度"), "55"); // live
    EXPECT_FALSE(Doc.History()->CanUndo());
    QTest::keyClick(Edit, Qt::Key_Return);
    EXPECT_EQ(Value("不透明度"), "55");
    EXPECT_EQ(Grid().Cells(1, Row).toStdString(), "55");
    ExpectOneStep("プロパティの設定");
    EXPECT_EQ(Value("不透明度"), "100");
}

// A drag on the edit's track bar changes the drawing live and records the
// whole drag as one command from the value before it.
TEST_F(MacroPage, TrackBarDragIsOneUndoStepAndMarksTheDocument)
{
    const int Row = RowOf(0, "不透明度");
    TEditTrackBarWex* Edit = CellEdit(Row);
    ASSERT_TRUE(Edit);
    QWidget* Button = Edit->EllipsisButton();
    auto Mouse = [&](QEvent::Type Type, QPoint At, Qt::MouseButtons Held) {
        QMouseEvent E(Type, At, Button->mapToGlobal(At), Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                      Held, Qt::NoModifier);
        QApplication::sendEvent(Button, &E);
    };
    Mouse(QEvent::MouseButtonPress, QPoint(6, 8), Qt::LeftButton);
    ASSERT_TRUE(Edit->Popup());
    Mouse(QEvent::MouseMove, QPoint(-300, 8), Qt::LeftButton);
    Mouse(QEvent::MouseMove, QPoint(-400, 8), Qt::LeftButton);
    const std::string Dragged = Value("不透明度");
    EXPECT_EQ(Dragged, "0");
    EXPECT_GE(Link.Live, 1);
    Mouse(QEvent::MouseButtonRelease, QPoint(400, 8), Qt::NoButton);
    EXPECT_EQ(Link.Handles, (std::vector<bool>{true, false}));
    EXPECT_EQ(Value("不透明度"), Dragged);
    ExpectOneStep("プロパティの設定");
    EXPECT_EQ(Value("不透明度"), "100");
}

TEST_F(MacroPage, AMacroFromThePickerPaintsOnThePage)
{
    SetMacros({});
    Reload();
    EXPECT_EQ(Grid().ColCount(), 0);
    const std::vector<uint8_t> Before = Rendered();
    TMacroPaintPage::PickMacro = [](QWidget*, std::string& Name) {
        Name = Fill;
        return true;
    };
    P->sbtnPaintMacroAdd->click();
    EXPECT_EQ(Names(), std::vector<std::string>{Fill});
    EXPECT_EQ(Grid().ColCount(), 2);
    EXPECT_EQ(Grid().Col(), 1);
    EXPECT_NE(Rendered(), Before);
    ExpectOneStep(std::string("描画マクロ'") + Fill + "'の追加");
    EXPECT_EQ(Rendered(), Before);
}

TEST_F(MacroPage, DeletingTheLastMacroLeavesAnEmptyGrid)
{
    EXPECT_FALSE(P->sbtnMacroDel->isEnabled());
    Grid().SetItemIndex(0);
    EXPECT_TRUE(P->sbtnMacroDel->isEnabled());
    P->sbtnMacroDel->click();
    EXPECT_EQ(Boxes, std::vector<std::string>{std::string(Fill) + " を削除します。\r\nよろしいですか？"});
    EXPECT_EQ(Grid().ColCount(), 0);
    EXPECT_EQ(Grid().ItemIndex(), -1);
    EXPECT_TRUE(Names().empty());
    EXPECT_FALSE(P->sbtnMacroDel->isEnabled());
    ExpectOneStep(std::string("描画マクロ'") + Fill + "'の削除");
    EXPECT_EQ(Names(), std::vector<std::string>{Fill});
}

TEST_F(MacroPage, ButtonsAndADraggedHeaderReorderTheMacros)
{
    const std::string A = Fill, B = "グラデーション塗り";
    SetMacros({A, B});
    Reload();
    Grid().SetItemIndex(0);
    EXPECT_FALSE(P->sbtnMacroLeft->isEnabled());
    EXPECT_TRUE(P->sbtnMacroRight->isEnabled());
    P->sbtnMacroRight->click();
    EXPECT_EQ(Names(), (std::vector<std::string>{B, A}));
    EXPECT_EQ(Grid().ItemIndex(), 1);
    EXPECT_EQ(Grid().Cells(2, 0).toStdString(), A);
    EXPECT_EQ(Doc.History()->UndoCaption(), "マクロを一つ右に移動");
    P->sbtnMacroLeft->click();
    EXPECT_EQ(Names(), (std::vector<std::string>{A, B}));
    Reload();

    // The first header dragged beyond the second.
    const QRect H0 = Grid().CellRect(0, 0), V1 = Grid().CellRect(3, 0);
    const QPoint From(H0.left() + H0.height() + 10, H0.center().y());
    GridMouse(QEvent::MouseButtonPress, From, Qt::LeftButton);
    GridMouse(QEvent::MouseMove, From + QPoint(10, 0), Qt::LeftButton);
    GridMouse(QEvent::MouseMove, QPoint(V1.right() - 2, V1.center().y()), Qt::LeftButton);
    GridMouse(QEvent::MouseButtonRelease, QPoint(V1.right() - 2, V1.center().y()), Qt::NoButton);
    EXPECT_EQ(Names(), (std::vector<std::string>{B, A}));
    EXPECT_EQ(Grid().Col(), 3);
    ExpectOneStep("描画マクロの移動");
    EXPECT_EQ(Names(), (std::vector<std::string>{A, B}));
}

TEST_F(MacroPage, TheHeaderCheckBoxTogglesTheMacro)
{
    const std::vector<uint8_t> On = Rendered();
    const QRect H0 = Grid().CellRect(0, 0);
    const QPoint Box(H0.left() + 6, H0.center().y());
    GridMouse(QEvent::MouseButtonPress, Box, Qt::LeftButton);
    GridMouse(QEvent::MouseButtonRelease, Box, Qt::NoButton);
    EXPECT_EQ(Line->Macros().GetMacro(0)->Enabled(), 0);
    EXPECT_EQ(Buf->Macros().GetMacro(0)->Enabled(), 0);
    EXPECT_NE(Rendered(), On);
    ExpectOneStep("「マクロの表示／非表示」の設定");
    EXPECT_EQ(Line->Macros().GetMacro(0)->Enabled(), 1);
}

TEST_F(MacroPage, PaintStylesAreStoredAndLoaded)
{
    P->SetQuickParam(1, RowOf(0, "不透明度"), "40");
    Reload();
    TStyle::InputQuery = [](const std::string&, const std::string&, std::string& Value) {
        Value = "mine";
        return true;
    };
    TStyle::OnShowModal = [](TfrmStyle& F) {
        F.SelectGroup(F.Tree.NodeAt(0));
        F.accept();
    };
    P->btnStyleAdd->click();

    SetMacros({"グラデーション塗り"});
    Reload();
    TStyle::OnShowModal = [](TfrmStyle& F) {
        F.SelectGroup(F.Tree.NodeAt(0));
        F.DrawGrid->setFocus();
        F.DrawGrid->SetCurrentIndex(0);
        F.btnOK->click();
    };
    P->btnStyleLoad->click();
    EXPECT_EQ(Names(), std::vector<std::string>{Fill});
    EXPECT_EQ(Value("不透明度"), "40");
    EXPECT_EQ(Grid().Cells(0, 0).toStdString(), Fill);
    ExpectOneStep("描画スタイルの読み込み");
    EXPECT_EQ(Names(), std::vector<std::string>{"グラデーション塗り"});
}

TEST_F(MacroPage, StylePayloadCarriesPicturesOnlyFromVersion20)
{
    TStyleItem Item;
    Item.Add(TTestMacroLibrary::Get(Fill));
    TMemoryStream Saved;
    TMacroPaintPage::StyleItemSave(Saved, &Item);
    Saved.SetPosition(0);
    auto Back = TMacroPaintPage::StyleItemLoad(Saved, StyleMacroVersion);
    EXPECT_EQ(Saved.Position(), Saved.Size());
    ASSERT_TRUE(dynamic_cast<TStyleItem*>(Back.get()));
    EXPECT_TRUE(dynamic_cast<TStyleItem&>(*Back).Equals(Item));

    // An older style: the macro list alone (no enabled byte yet, one
    // parameter), then whatever follows.
    std::vector<uint8_t> B;
    PutI32(B, 1);
    PutStr(B, Fill);
    PutI32(B, 1);
    PutStr(B, "不透明度");
    PutStr(B, "70");
    const int64_t End = int64_t(B.size());
    PutI32(B, int32_t(0xDEADBEEF));
    TMemoryStream Old;
    Old.WriteBuffer(B.data(), int32_t(B.size()));
    Old.SetPosition(0);
    auto Older = TMacroPaintPage::StyleItemLoad(Old, 19);
    EXPECT_EQ(Old.Position(), End);
    ASSERT_EQ(dynamic_cast<TStyleItem&>(*Older).Count(), 1);
    std::string V;
    dynamic_cast<TStyleItem&>(*Older).GetMacro(0)->GetParamValue("不透明度", V);
    EXPECT_EQ(V, "70");
    EXPECT_EQ(dynamic_cast<TStyleItem&>(*Older).Pictures().Items().Count(), 0);
}

TEST_F(MacroPage, LightCellCancelChangesAndRecordsNothing)
{
    std::string Name;
    for (const std::string& N : TCatalogueLibraries::Effects()) {
        SetMacros({N});
        Reload();
        for (int R = 1; R <= Grid().ItemRows[0] && Name.empty(); ++R)
            if (ParamKindOf(*Line->Macros().GetMacro(0), P->RowCaption(0, R)) == pkLights)
                Name = N;
        if (!Name.empty())
            break;
    }
    ASSERT_FALSE(Name.empty());
    int Row = 1;
    while (ParamKindOf(*Line->Macros().GetMacro(0), P->RowCaption(0, Row)) != pkLights)
        ++Row;
    const std::string Caption = P->RowCaption(0, Row);
    const std::string Before = Value(Caption);
    const QString Cell = Grid().Cells(1, Row);
    bool Opened = false;
    TMacroPaintPage::RunDialog = [&](QDialog* D) {
        auto* Light = dynamic_cast<TfrmLight*>(D);
        EXPECT_TRUE(Light);
        Opened = true;
        if (Light) {
            // A live test shows in the drawing, recording nothing.
            Light->AddLight();
            Light->OnTest(*Light, Light->LightText());
            EXPECT_NE(Value(Caption), Before);
        }
        return int(QDialog::Rejected);
    };
    auto* Button = qobject_cast<TPanelButton*>(Grid().GetCellControl(1, Row));
    ASSERT_TRUE(Button);
    Button->Click();
    EXPECT_TRUE(Opened);
    EXPECT_EQ(Value(Caption), Before);
    EXPECT_EQ(Grid().Cells(1, Row), Cell);
    EXPECT_FALSE(Doc.History()->CanUndo());
    EXPECT_FALSE(Doc.Modified());
}

TEST_F(MacroPage, GridHoldsWholeRowsAndThePageLooksRight)
{
    SetMacros({Fill, "グラデーション塗り"});
    Reload();
    for (int Height : {200, 260, 331}) {
        P->resize(640, Height);
        QApplication::processEvents();
        const int Step = Grid().DefaultRowHeight() + Grid().GridLineWidth();
        EXPECT_EQ((Grid().viewport()->height() + Grid().GridLineWidth() - 1) % Step, 0) << Height;
    }
    P->resize(640, 260);
    QApplication::processEvents();
    const QImage Shot = P->grab().toImage();
    EXPECT_FALSE(Shot.isNull());
    Shot.save(QString::fromStdString(Defaults.Folders.Tmp / "macro_page.png"));
    if (const char* Keep = std::getenv("TAVRO_KEEP_GRAB"))
        Shot.save(QString::fromUtf8(Keep));
}

TEST_F(MacroPage, AHeaderRunsUnbrokenAcrossItsTwoColumns)
{
    SetMacros({Fill, "グラデーション塗り"});
    Reload();
    P->resize(640, 260);
    QApplication::processEvents();
    const QImage Shot = Grid().viewport()->grab().toImage();
    const int Line = Grid().GridLineWidth();
    ASSERT_GT(Line, 0);
    for (const int Item : {0, 1}) {
        // Between the caption column and the value column of one macro, in
        // the header row: the header's colour, not a grid line through the caption.
        const QRect Value = Grid().CellRect(Item * 2 + 1, 0);
        // (The caption's own strokes may cross there: the edges show the
        // colour behind them.)
        const QRgb Back = Shot.pixel(Value.right() - 2, Value.top() + 1);
        for (const int Y : {Value.top() + 1, Value.bottom() - 1})
            EXPECT_EQ(Shot.pixel(Value.left() - 1, Y), Back) << Item << " " << Y;
    }
    // Between two macros the line stays.
    const QRect Next = Grid().CellRect(2, 0);
    EXPECT_NE(Shot.pixel(Next.left() - 1, Next.top() + 1), Shot.pixel(Next.left() + 2, Next.top() + 1));
}

// The colour, pen and fill cells: the dialog's live tests show in the drawing, OK
// records one command from the value before the dialog.
TEST_F(MacroPage, ColourAndPenDialogsRecordOneCommandOnOk)
{
    struct Case {
        int32_t Kind;
        std::function<void()> Drive;
        std::string Expected;
    };
    const Case Cases[] = {
        {pkColor,
         [] {
             TMacroPaintPage::ColorDialogRun = [](TfrmSelColor* F) {
                 F->SetColor(0x00FF00);
                 return int(QDialog::Accepted);
             };
         },
         "65280"},
        {pkLineType,
         [] {
             TMacroPaintPage::PenFormShown = [](TfrmSetPen* F) {
                 QTimer::singleShot(0, F, [F] {
                     F->edtWidth->SetPosition(6);
                     F->Apply();
                     F->btnOK->click();
                 });
             };
         },
         "6"},
        {pkFill,
         [] {
             TMacroPaintPage::RunDialog = [](QDialog* D) {
                 auto* G = dynamic_cast<TfrmGradation*>(D);
                 EXPECT_TRUE(G);
                 if (G)
                     G->rbtnFTNone->click();
                 return int(QDialog::Accepted);
             };
         },
         "5"},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Kind);
        int Row = -1;
        for (const std::string& N : TCatalogueLibraries::Effects()) {
            SetMacros({N});
            Reload();
            for (int R = 1; R <= Grid().ItemRows[0] && Row < 0; ++R)
                if (ParamKindOf(*Line->Macros().GetMacro(0), P->RowCaption(0, R)) == C.Kind)
                    Row = R;
            if (Row > 0)
                break;
        }
        ASSERT_GT(Row, 0);
        const std::string Caption = P->RowCaption(0, Row);
        const std::string Before = Value(Caption);
        C.Drive();
        auto* Button = qobject_cast<TPanelButton*>(Grid().GetCellControl(1, Row));
        ASSERT_TRUE(Button);
        Button->Click();
        EXPECT_EQ(Value(Caption).substr(0, C.Expected.size()), C.Expected);
        EXPECT_EQ(Grid().Cells(1, Row).toStdString(), Value(Caption));
        ExpectOneStep("プロパティの設定");
        EXPECT_EQ(Value(Caption), Before);
        if (C.Kind == pkColor) {
            // The panel's colour picker keeps its settings under the panel's name.
            EXPECT_NE(ReadUserSettingText(nullptr, "4.0", "ColDlgObjPro"), "");
            EXPECT_EQ(ReadUserSettingText(nullptr, "4.0", "PosColor"), "");
        }
        TMacroPaintPage::ColorDialogRun = nullptr;
        TMacroPaintPage::PenFormShown = nullptr;
    }
}

// The pen picker of a pen cell belongs to the frame and opens where the
// mouse is, as the colour picker does.
TEST_F(MacroPage, ThePenPickerOpensAtTheMouse)
{
    int Row = -1;
    for (const std::string& N : TCatalogueLibraries::Effects()) {
        SetMacros({N});
        Reload();
        for (int R = 1; R <= Grid().ItemRows[0] && Row < 0; ++R)
            if (ParamKindOf(*Line->Macros().GetMacro(0), P->RowCaption(0, R)) == pkLineType)
                Row = R;
        if (Row > 0)
            break;
    }
    ASSERT_GT(Row, 0);
    TMemIniFile Settings(Defaults.Folders.Tmp / "pen_picker.ini");
    P->SetIniFile(&Settings);
    Link.Owner = P.get();
    const QPoint Mouse(130, 90);
    QCursor::setPos(Mouse);
    ASSERT_EQ(QCursor::pos(), Mouse);
    QPoint Shown(-1, -1);
    QWidget* Parent = nullptr;
    TMacroPaintPage::PenFormShown = [&](TfrmSetPen* F) {
        Shown = F->pos();
        Parent = F->parentWidget();
        QTimer::singleShot(0, F, [F] { F->reject(); });
    };
    auto* Button = qobject_cast<TPanelButton*>(Grid().GetCellControl(1, Row));
    ASSERT_TRUE(Button);
    Button->Click();
    TMacroPaintPage::PenFormShown = nullptr;
    P->SetIniFile(nullptr);
    Link.Owner = nullptr;
    EXPECT_EQ(Shown, Mouse);
    EXPECT_EQ(Parent, P->window());
    EXPECT_FALSE(Doc.History()->CanUndo()) << "Cancel recorded nothing";
}

// A selection of two objects with different values: the live change and
// its commit reach both, and one undo gives each its own value back.
TEST_F(MacroPage, AMixedValueOfTwoObjectsIsSetAndUndoneOnBoth)
{
    auto Group = std::make_unique<TDrawGroup>(Page, -1);
    TDrawGroup* G = Group.get();
    Page->RootGroup().AddChild(std::move(Group), -1);
    auto Second = std::make_unique<TPolyLineObj>(Page, -1);
    Second->SetPathRecord(MakePath({{10, 10, PT_MOVETO}, {30, 10, PT_LINETO}, {30, 30, PT_LINETO | PT_CLOSEFIGURE}}));
    Second->Macros().Assign(&Line->Macros());
    Second->Macros().GetMacro(0)->SetParamValue("不透明度", "70");
    TPolyLineObj* Other = Second.get();
    G->AddChild(std::move(Second), -1);
    auto Third = std::make_unique<TPolyLineObj>(Page, -1);
    Third->SetPathRecord(MakePath({{50, 10, PT_MOVETO}, {70, 10, PT_LINETO}, {70, 30, PT_LINETO | PT_CLOSEFIGURE}}));
    Third->Macros().Assign(&Line->Macros());
    TPolyLineObj* Same = Third.get();
    G->AddChild(std::move(Third), -1);
    Link.Item = G;
    LoadBuf();
    Buf->Macros().IntersectWith(Other->Macros());
    P->SetCgridQuickParam();
    Doc.History()->ClearHistory();
    const int Row = RowOf(0, "不透明度");
    EXPECT_EQ(Grid().Cells(1, Row).toStdString(), ""); // mixed

    // Only the group's objects change; the line outside it keeps its value.
    P->SetQuickParam(1, Row, "30", true);
    P->SetQuickParam(1, Row, "30");
    auto Opacity = [](TDrawObject& O) {
        std::string V;
        for (int32_t L = 0; L < O.Macros().GetMacro(0)->LineCount(); ++L)
            for (const TMacroParam& Q : O.Macros().GetMacro(0)->Line(L).Params)
                if (Q.Caption.value_or("") == "不透明度" && Q.Value)
                    return *Q.Value;
        return V;
    };
    EXPECT_EQ(Opacity(*Other), "30");
    EXPECT_EQ(Opacity(*Same), "30");
    EXPECT_EQ(Value("不透明度"), "100");
    ExpectOneStep("プロパティの設定");
    EXPECT_EQ(Opacity(*Other), "70");
    EXPECT_EQ(Opacity(*Same), "100");
}

// Parameters bound to pictures or planes have no editor: their row shows
// "!" and the value, until a later parameter of the same caption brings one.
TEST_F(MacroPage, ParametersWithoutEditorShowBangAndUnknownMacrosRaise)
{
    TTestMacroLibrary Library;
    gMacroLibrary->AddObject(
        "Bang", MakeTestMacro("Bang", {{"PlaneMakeForPath2", "Shape",
                                        {{"", "経路"}, {"2,0,1.00", "線種"}, {"塗りつぶし", "塗りつぶし指定"},
                                         {"255", "カラー"}, {"0", ""}, {"0", ""}, {"ガウス", ""}, {"1", ""},
                                         {"0", ""}, {"0", ""}}},
                                       {"NilPlaneMove", "",
                                        {{"@Shape", "板"}, {"", ""}, {"5", "経路"}, {"0", "ずれ"}}}}));
    Line->Macros().Clear();
    Line->Macros().Add(TTestMacroLibrary::Get("Bang"));
    Reload();
    ASSERT_EQ(Grid().ItemRows, std::vector<int32_t>{6});
    const int Plate = RowOf(0, "板");
    ASSERT_GT(Plate, 0);
    EXPECT_EQ(Grid().Cells(1, Plate).toStdString(), "!@Shape");
    EXPECT_EQ(Grid().GetCellControl(1, Plate), nullptr);
    // The path row took the later number's value and editor.
    EXPECT_EQ(Grid().Cells(1, RowOf(0, "経路")).toStdString(), "5");
    EXPECT_TRUE(qobject_cast<TEditTrackBarWex*>(Grid().GetCellControl(1, RowOf(0, "経路"))));

    Buf->Macros().Clear();
    Buf->Macros().Add(MakeTestMacro("Missing", {}));
    try {
        P->SetCgridQuickParam();
        ADD_FAILURE() << "no error";
    } catch (const EUserError& E) {
        EXPECT_STREQ(E.what(), "TfrmObjProperty.SetCgridQuickParam: MacroDef Not Found.");
    }
}

// A choice cell makes its drop-down list only when it drops down (loading a
// selection makes every cell anew), and the list then shows the cell's font.
TEST_F(MacroPage, AChoiceCellMakesItsListOnlyWhenDroppedDown)
{
    auto* Combo = qobject_cast<QComboBox*>(Grid().GetCellControl(1, RowOf(0, "描画方法")));
    ASSERT_TRUE(Combo);
    EXPECT_EQ(Combo->currentText().toStdString(), "通常");
    EXPECT_EQ(Combo->font().pixelSize(), std::max(Grid().DefaultRowHeight() - 7, 6));
    EXPECT_EQ(Combo->findChild<QAbstractItemView*>(), nullptr);

    Combo->showPopup();
    const QAbstractItemView* List = Combo->view();
    EXPECT_EQ(List->font().pixelSize(), Combo->font().pixelSize());
    EXPECT_TRUE(List->isVisible());
    Combo->hidePopup();
}

// Every speed button shows a drawn glyph, no text, with its own disabled
// face, keeps its hint, and the whole button row fits the page at its
// narrowest (328 pixels) at the buttons' natural sizes.
TEST_F(MacroPage, SpeedButtonsShowGlyphsAndFitTheNarrowestPage)
{
    const struct {
        QToolButton* Button;
        const char* Hint;
    } Cases[] = {{P->sbtnPaintMacroAdd, "マクロを追加"},
                 {P->sbtnMacroDel, "マクロを削除"},
                 {P->sbtnMacroLeft, "マクロを左に移動"},
                 {P->sbtnMacroRight, "マクロを右に移動"},
                 {P->sbtnMacroCopy, "選択したマクロをクリップボードにコピー"},
                 {P->sbtnMacroPaste, "クリップボードのマクロを貼付け"},
                 {P->sbtnStyleCopy, "今のスタイルをクリップボードにコピー"},
                 {P->sbtnStylePaste, "スタイルをクリップボードから貼付け"}};
    std::vector<QImage> Faces;
    for (const auto& C : Cases) {
        SCOPED_TRACE(C.Button->objectName().toStdString());
        EXPECT_TRUE(C.Button->text().isEmpty());
        EXPECT_EQ(C.Button->toolTip().toStdString(), C.Hint);
        const QIcon Icon = C.Button->icon();
        ASSERT_FALSE(Icon.isNull());
        const QImage Normal = Icon.pixmap(C.Button->iconSize(), QIcon::Normal).toImage();
        const QImage Disabled = Icon.pixmap(C.Button->iconSize(), QIcon::Disabled).toImage();
        EXPECT_GE(Normal.width(), 16);
        EXPECT_NE(Normal, Disabled);
        for (const QImage& Other : Faces)
            EXPECT_NE(Normal, Other);
        Faces.push_back(Normal);
    }

    P->resize(328, 260);
    QApplication::processEvents();
    int Right = 0;
    for (QWidget* W : std::initializer_list<QWidget*>{P->sbtnPaintMacroAdd, P->sbtnMacroDel, P->sbtnMacroLeft,
                                                      P->sbtnMacroRight, P->sbtnMacroCopy, P->sbtnMacroPaste,
                                                      P->btnStyleAdd, P->btnStyleLoad, P->sbtnStyleCopy,
                                                      P->sbtnStylePaste}) {
        SCOPED_TRACE(W->objectName().toStdString());
        // Room for the glyph inside the raised frame, or for the caption.
        if (auto* T = qobject_cast<QToolButton*>(W)) {
            EXPECT_GE(T->width(), T->iconSize().width() + 4);
            EXPECT_GE(T->height(), T->iconSize().height() + 4);
        } else {
            auto* B = static_cast<QPushButton*>(W);
            EXPECT_GE(B->width(), B->fontMetrics().horizontalAdvance(B->text()) + 12);
        }
        EXPECT_GT(W->x(), Right);
        Right = W->geometry().right();
    }
    EXPECT_LE(Right, 328 - P->layout()->contentsMargins().right());
}

// A paint style whose blur cannot be drawn, pasted with the style paste
// button: the command fails and the object, its drawing and the history are
// as they were, with one error passed on for the box.
TEST_F(MacroPage, AStylePasteThatCannotBeDrawnLeavesTheObjectAsItWas)
{
    // The style goes to the clipboard from a property object holding it.
    Buf->Macros().GetMacro(0)->SetParamValue("ボカシ量", "2000000000");
    P->sbtnStyleCopyClick();
    Reload();
    const std::vector<uint8_t> Before = Saved();
    const std::vector<uint8_t> Picture = Rendered();
    const std::string Blur = Value("ボカシ量");
    try {
        P->sbtnStylePasteClick();
    } catch (const Exception&) {
        // Refused or failed: either way nothing of it may stay.
    }
    EXPECT_EQ(Value("ボカシ量"), Blur);
    EXPECT_EQ(Saved(), Before);
    EXPECT_FALSE(Doc.History()->CanUndo());
    EXPECT_FALSE(Doc.History()->IsCommandOpen());
    EXPECT_FALSE(Doc.Modified());
    EXPECT_EQ(Rendered(), Picture);
}

// A minus begins a number: nothing is set or recorded, no box, the object
// keeps its last drawn value and the document saves. A number begun and
// left is no value; a value the objects refuse is refused once. A number
// taken and then shortened to a minus settles, as the edit does, to the
// value it took: that value is recorded, one step.
TEST_F(MacroPage, ANumberBegunIsNoValueAndARefusedValueIsSaidOnce)
{
    const std::string Spread = "図形の広がり|-1000,1000,-100,100";
    const int Row = RowOf(0, "図形の広がり");
    ASSERT_GT(Row, 0);
    TEditTrackBarWex* Edit = CellEdit(Row);
    ASSERT_TRUE(Edit);
    const std::vector<uint8_t> Before = Saved();
    const std::vector<uint8_t> Picture = Rendered();
    const auto ExpectAsBefore = [&](const char* Step) {
        SCOPED_TRACE(Step);
        EXPECT_EQ(Boxes, std::vector<std::string>());
        EXPECT_EQ(Value(Spread), "0");
        EXPECT_EQ(Grid().Cells(1, Row).toStdString(), "0");
        EXPECT_FALSE(Doc.History()->CanUndo());
        EXPECT_FALSE(Doc.History()->IsCommandOpen());
        EXPECT_FALSE(Doc.Modified());
        EXPECT_EQ(Saved(), Before);
        EXPECT_EQ(Rendered(), Picture);
    };
    Edit->setFocus();
    Edit->selectAll();
    QTest::keyClick(Edit, Qt::Key_Minus);
    EXPECT_EQ(Edit->text().toStdString(), "-");
    ExpectAsBefore("minus");
    // Entered as it is: no value, the edit shows the kept one again.
    QTest::keyClick(Edit, Qt::Key_Return);
    EXPECT_EQ(Edit->text().toStdString(), "0");
    ExpectAsBefore("entered");
    // Begun again, and the pop-up track bar opened and closed without a
    // move: no value either.
    Edit->selectAll();
    QTest::keyClick(Edit, Qt::Key_Minus);
    ASSERT_EQ(Edit->text().toStdString(), "-");
    const QPoint At = Edit->EllipsisButton()->rect().center();
    test_support::SendButtonMouse(Edit->EllipsisButton(), QEvent::MouseButtonPress, At, Qt::LeftButton);
    ASSERT_TRUE(Edit->Popup());
    test_support::SendButtonMouse(Edit->EllipsisButton(), QEvent::MouseButtonRelease, At, Qt::NoButton);
    EXPECT_EQ(Edit->Popup(), nullptr);
    EXPECT_EQ(Edit->text().toStdString(), "0");
    ExpectAsBefore("track bar clicked");

    // Set into the cell (as the cell editor and the pastes set values).
    QMetaObject::invokeMethod(
        P.get(), [&] { Grid().OnSetEditText(&Grid(), 1, Row, QStringLiteral("-1000")); }, Qt::QueuedConnection);
    QTest::qWait(20);
    EXPECT_EQ(Boxes, std::vector<std::string>{"図形の広がり の値は読み込めないか、範囲外のため、設定できません。"});
    Boxes.clear();
    EXPECT_EQ(Edit->text().toStdString(), "0");
    ExpectAsBefore("refused");

    // The edit takes the next value as one step, undone to the exact bytes.
    Edit->setFocus();
    Edit->selectAll();
    QTest::keyClicks(Edit, "-3");
    QTest::keyClick(Edit, Qt::Key_Return);
    EXPECT_EQ(Value(Spread), "-3");
    ExpectOneStep("プロパティの設定");
    EXPECT_EQ(Saved(), Before);
    EXPECT_EQ(Boxes, std::vector<std::string>());

    // A digit makes it a value, drawn live; taken away again, the object
    // keeps it, and Enter settles to it.
    Grid().MoveToCell(1, Row);
    Edit = qobject_cast<TEditTrackBarWex*>(Grid().CurrentControl());
    ASSERT_TRUE(Edit);
    Edit->setFocus();
    Edit->selectAll();
    QTest::keyClicks(Edit, "-5");
    EXPECT_EQ(Value(Spread), "-5");
    EXPECT_FALSE(Doc.History()->CanUndo());
    QTest::keyClick(Edit, Qt::Key_Backspace);
    EXPECT_EQ(Edit->text().toStdString(), "-");
    EXPECT_EQ(Value(Spread), "-5");
    QTest::keyClick(Edit, Qt::Key_Return);
    EXPECT_EQ(Edit->text().toStdString(), "-5");
    EXPECT_EQ(Value(Spread), "-5");
    EXPECT_EQ(Grid().Cells(1, Row).toStdString(), "-5");
    ExpectOneStep("プロパティの設定");
    EXPECT_EQ(Saved(), Before);
    EXPECT_EQ(Boxes, std::vector<std::string>());
}

// With several objects selected the light editor previews the first of them
// as it previews that object alone: the macros before the edited one painted
// at the object's size.
TEST_F(MacroPage, TheLightPreviewOfASelectionShowsItsFirstObject)
{
    SetMacros({Fill, "エンボス（照明）"});
    auto Other = std::make_unique<TPolyLineObj>(Page, -1);
    Other->SetPathRecord(MakePath({{10, 10, PT_MOVETO}, {60, 10, PT_LINETO}, {60, 40, PT_LINETO},
                                   {10, 40, PT_LINETO | PT_CLOSEFIGURE}}));
    Other->SetFillPath(1);
    Other->Macros().Assign(&Line->Macros());
    TPolyLineObj* Second = Other.get();
    Page->RootGroup().AddChild(std::move(Other), -1);
    Reload();
    int Row = 1;
    while (Row <= Grid().ItemRows[1] && ParamKindOf(*Line->Macros().GetMacro(1), P->RowCaption(1, Row)) != pkLights)
        ++Row;
    ASSERT_LE(Row, Grid().ItemRows[1]);
    QImage Shown;
    TMacroPaintPage::RunDialog = [&](QDialog* D) {
        if (auto* Light = dynamic_cast<TfrmLight*>(D))
            Shown = Light->ResultImage().convertToFormat(QImage::Format_RGB32);
        return int(QDialog::Rejected);
    };
    auto Preview = [&] {
        Shown = QImage();
        auto* Button = qobject_cast<TPanelButton*>(Grid().GetCellControl(3, Row));
        EXPECT_TRUE(Button);
        if (Button)
            Button->Click();
        return Shown;
    };
    const QImage Alone = Preview();
    ASSERT_FALSE(Alone.isNull());
    // The fill painted before the light covers the object's box: white (the
    // empty picture's) only where a light shines brightest.
    int White = 0;
    for (int Y = 0; Y < Alone.height(); ++Y)
        for (int X = 0; X < Alone.width(); ++X)
            White += (Alone.pixel(X, Y) & 0xFFFFFF) == 0xFFFFFF;
    EXPECT_LT(White, Alone.width() * Alone.height() / 10);

    TSelectionItems Both({Line, Second});
    Link.Item = &Both;
    const QImage Selected = Preview();
    Link.Item = Line;
    EXPECT_EQ(Selected.size(), Alone.size());
    EXPECT_TRUE(Selected == Alone);
}

// A point light in the middle of the object: the editor's preview shows its
// brightest spot where the page shows it, for an object away from the page's
// origin, and the light's anchor sits over that spot.
TEST_F(MacroPage, TheLightPreviewShowsTheLightWhereThePageDoes)
{
    SetMacros({"エンボス（照明）"});
    Reload();
    int Row = 1;
    while (Row <= Grid().ItemRows[0] && ParamKindOf(*Line->Macros().GetMacro(0), P->RowCaption(0, Row)) != pkLights)
        ++Row;
    ASSERT_LE(Row, Grid().ItemRows[0]);
    const TRect Box = Line->GetPath().Bounds; // 40,30 - 160,120
    // The middle of the brightest pixels of a W x H picture (a light
    // saturates a patch of them).
    auto Brightest = [](int X0, int Y0, int W, int H, const std::function<int(int, int)>& Level) {
        int Max = -1;
        for (int Y = Y0; Y < Y0 + H; ++Y)
            for (int X = X0; X < X0 + W; ++X)
                Max = std::max(Max, Level(X, Y));
        double SX = 0, SY = 0;
        int N = 0;
        for (int Y = Y0; Y < Y0 + H; ++Y)
            for (int X = X0; X < X0 + W; ++X)
                if (Level(X, Y) == Max) {
                    SX += X;
                    SY += Y;
                    ++N;
                }
        return QPointF(SX / N, SY / N);
    };
    auto PageBrightest = [&] {
        Page->InvalidateRect(nullptr, false);
        Page->Update();
        const TrecPicture& Pic = Page->PagePicture();
        const int64_t Stride = (int64_t(200) * 3 + 3) & ~int64_t(3);
        return Brightest(Box.Left, Box.Top, Box.Right - Box.Left, Box.Bottom - Box.Top, [&](int X, int Y) {
            const uint8_t* Q = Pic.pBits + (150 - 1 - Y) * Stride + 3 * X;
            return Q[0] + Q[1] + Q[2];
        });
    };
    QPointF OnPage, InPreview;
    QPoint Anchor;
    double Scale = 0;
    TMacroPaintPage::RunDialog = [&](QDialog* D) {
        auto* Light = dynamic_cast<TfrmLight*>(D);
        EXPECT_TRUE(Light);
        if (!Light)
            return int(QDialog::Rejected);
        while (Light->lboxLightName->count() > 0) {
            Light->SelectLight(0);
            Light->DeleteLight();
        }
        Light->AddLight();
        Light->SetLightKind(LightKindPoint); // at (0.5, 0.5)
        Light->OnTest(*Light, Light->LightText());
        OnPage = PageBrightest();
        const QImage& Img = Light->ResultImage();
        InPreview = Brightest(0, 0, Img.width(), Img.height(), [&](int X, int Y) {
            const QRgb C = Img.pixel(X, Y);
            return qRed(C) + qGreen(C) + qBlue(C);
        });
        // The preview picture is the object's box, fitted and centred.
        Scale = double(Img.width()) / (Box.Right - Box.Left + 1);
        // The main anchor, in the picture's pixels (the picture is drawn
        // centred in the preview at 100 %).
        const TAnchorLight& Main = *Light->Anchors[0].Items[1];
        Anchor = QPoint(Main.X - (Light->pboxPreView->width() - Img.width()) / 2,
                        Main.Y - (Light->pboxPreView->height() - Img.height()) / 2);
        return int(QDialog::Rejected);
    };
    auto* Button = qobject_cast<TPanelButton*>(Grid().GetCellControl(1, Row));
    ASSERT_TRUE(Button);
    Button->Click();
    ASSERT_GT(Scale, 0);
    const QPointF PreviewOnPage(Box.Left + (InPreview.x() + 0.5) / Scale - 0.5,
                                Box.Top + (InPreview.y() + 0.5) / Scale - 0.5);
    SCOPED_TRACE("page " + std::to_string(OnPage.x()) + "," + std::to_string(OnPage.y()) + ", preview " +
                 std::to_string(PreviewOnPage.x()) + "," + std::to_string(PreviewOnPage.y()));
    EXPECT_LE(std::abs(PreviewOnPage.x() - OnPage.x()), 1);
    EXPECT_LE(std::abs(PreviewOnPage.y() - OnPage.y()), 1);
    EXPECT_LE(std::abs(Anchor.x() - InPreview.x()), 1);
    EXPECT_LE(std::abs(Anchor.y() - InPreview.y()), 1);
}

// A value the parameter no longer takes (an older file holds -7 under
// 反射率 0..100): a good value typed over it, drawn live on the way, is one
// step with no box, and undo brings back the stored bytes exactly.
TEST_F(MacroPage, AGoodValueTypedOverABadStoredOneIsOneStep)
{
    SetMacros({"エンボス（照明）"});
    Line->Macros().GetMacro(0)->SetParamValue("反射率", "-7");
    Reload();
    const std::vector<uint8_t> Before = Saved();
    const int Row = RowOf(0, "反射率");
    ASSERT_GT(Row, 0);
    TEditTrackBarWex* Edit = CellEdit(Row);
    ASSERT_TRUE(Edit);
    Edit->setFocus();
    Edit->selectAll();
    QTest::keyClicks(Edit, "50");
    QTest::keyClick(Edit, Qt::Key_Return);
    EXPECT_EQ(Boxes, std::vector<std::string>());
    EXPECT_EQ(Value("反射率"), "50");
    THistoryCommand& H = *Doc.History();
    EXPECT_EQ(H.UndoCaption(), "プロパティの設定");
    H.Undo();
    EXPECT_FALSE(H.CanUndo());
    EXPECT_EQ(Value("反射率"), "-7");
    EXPECT_EQ(Saved(), Before);
    H.Redo();
    EXPECT_EQ(Value("反射率"), "50");
}
