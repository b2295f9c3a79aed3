// Loading the selection: no item, one item, several with mixed values.
#include "panel_test_support.h"

#include "ui/panel_button.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

#include <functional>
#include <map>

namespace {

using FrmObjPropertyLoad = PanelTest;

TEST_F(FrmObjPropertyLoad, NoSelectionLeavesEveryPageDisabled)
{
    TRectObj* R = Add<TRectObj>(10, 10, 50, 40);
    Load({R});
    bool Loaded = false;
    const auto PageLoad = Panel.OnMacroPageLoad;
    Panel.OnMacroPageLoad = [&](TDrawItem* Item) { Loaded = Item != nullptr; };
    Load({});
    // The hook goes before Loaded does (the panel unloads once more at the end).
    Panel.OnMacroPageLoad = PageLoad;
    EXPECT_FALSE(Loaded);
    EXPECT_EQ(Panel.DrawItem(), nullptr);
    EXPECT_EQ(Panel.DrawItemBuf(), nullptr);
    for (QWidget* Page : Panel.FTabSheets)
        for (QObject* O : Page->children()) {
            if (auto* W = qobject_cast<QWidget*>(O)) {
                EXPECT_TRUE(Page == Panel.TabSheetShape ? W->isHidden() : !W->isEnabled())
                    << W->objectName().toStdString();
            }
        }
}

TEST_F(FrmObjPropertyLoad, OneRectangleAndNothingRecorded)
{
    TRectObj* R = Add<TRectObj>(10, 20, 50, 40);
    TrecRectParam P = R->Param();
    P.CornerCount = 2;
    P.CornerPosition = 1;
    P.CornerRadius = 16384;
    R->SetParam(P);
    History().ClearHistory();
    Doc->SetModified(false);
    Panel.SetParam({R}, &Link);
    EXPECT_FALSE(History().CanUndo());
    EXPECT_FALSE(Doc->Modified());
    EXPECT_EQ(Panel.edtWidth->text(), "50");
    EXPECT_EQ(Panel.edtHeight->text(), "40");
    EXPECT_EQ(Panel.edtPosiX->text(), "10");
    EXPECT_EQ(Panel.edtPosiY->text(), "20");
    EXPECT_EQ(Panel.edtCnrROut->text(), "50");
    EXPECT_EQ(Panel.lblCnrROut->text(), "角のR：");
    EXPECT_EQ(Panel.edtPosiX->Min(), -200);
    EXPECT_EQ(Panel.edtWidth->Max(), 800);
    // Two rounded corners: sides to choose from.
    ASSERT_EQ(Panel.cmbRPos->count(), 4);
    EXPECT_EQ(Panel.cmbRPos->itemText(0), "上");
    EXPECT_EQ(Panel.cmbRPos->itemText(3), "左");
    EXPECT_EQ(Panel.cmbRPos->currentIndex(), 1);
    EXPECT_TRUE(Panel.cmbRPos->isEnabled());
    EXPECT_EQ(Panel.cmbRNum->currentIndex(), 1);
    for (QWidget* W : std::initializer_list<QWidget*>{Panel.cmbRNum, Panel.cmbRPos, Panel.cboxBeveled, Panel.edtCnrROut})
        EXPECT_TRUE(Shown(W)) << W->objectName().toStdString();
    for (QWidget* W : std::initializer_list<QWidget*>{Panel.edtCornerNum, Panel.edtRIn, Panel.btnRandomSeed})
        EXPECT_FALSE(Shown(W)) << W->objectName().toStdString();
    // Rows stacked from the inner-radius row's top.
    EXPECT_EQ(Panel.cmbRPos->y(), Panel.edtRIn->y() + 20);
    EXPECT_EQ(Panel.edtCnrROut->y(), Panel.edtRIn->y() + 40);
}

TEST_F(FrmObjPropertyLoad, FourRoundedCornersDisableThePosition)
{
    TRectObj* R = Add<TRectObj>(10, 20, 50, 40);
    Load({R});
    EXPECT_EQ(Panel.cmbRNum->currentIndex(), 2);
    EXPECT_FALSE(Panel.cmbRPos->isEnabled());
    TrecRectParam P = R->Param();
    P.CornerCount = 1;
    R->SetParam(P);
    Load({R});
    EXPECT_EQ(Panel.cmbRPos->itemText(0), "左上");
}

TEST_F(FrmObjPropertyLoad, EllipseShowsOnlyItsSizeAndTheDefaultButton)
{
    TEllipseObj* E = Add<TEllipseObj>(0, 0, 30, 20);
    Load({E});
    std::vector<std::string> Visible;
    for (QObject* O : Panel.TabSheetShape->children())
        if (auto* W = qobject_cast<QWidget*>(O); W && Shown(W))
            Visible.push_back(W->objectName().toStdString());
    std::sort(Visible.begin(), Visible.end());
    EXPECT_EQ(Visible, (std::vector<std::string>{"btnDefShape", "edtHeight", "edtWidth", "lblHeight", "lblWidth"}));
}

TEST_F(FrmObjPropertyLoad, StarAndPolygonRows)
{
    TStarObj* S = Add<TStarObj>(0, 0, 100, 100);
    S->SetParam(TrecStarParam{});
    Load({S});
    EXPECT_EQ(Panel.lblROutRatio->text(), "振れ(外径)：");
    EXPECT_EQ(Panel.lblCnrROut->text(), "凸角のR：");
    EXPECT_EQ(Panel.edtRIn->text(), "50");
    EXPECT_EQ(Panel.edtAbsRIn->text(), "25");
    EXPECT_EQ(Panel.edtCornerNum->Min(), 4);
    EXPECT_TRUE(Shown(Panel.edtCnrRIn));
    EXPECT_EQ(Panel.edtAngleRatio->y(), Panel.edtRIn->y() + 60);
    TPolygonObj* P = Add<TPolygonObj>(0, 0, 100, 100);
    P->SetParam(TrecPolygonParam{});
    Load({P});
    EXPECT_EQ(Panel.lblROutRatio->text(), "振れ(径)：");
    EXPECT_EQ(Panel.lblCnrROut->text(), "角のR：");
    EXPECT_EQ(Panel.edtCornerNum->Min(), 3);
    EXPECT_EQ(Panel.edtCornerNum->text(), "5");
    EXPECT_FALSE(Shown(Panel.edtRIn));
    EXPECT_FALSE(Shown(Panel.edtCnrRIn));
    EXPECT_EQ(Panel.edtCnrROut->y(), Panel.edtRIn->y());
    EXPECT_EQ(Panel.edtAngleRatio->y(), Panel.edtRIn->y() + 20);
}

// Every "%" stands beside its row's edit, and only where that row shows (the
// polygon moves its jitter rows up and leaves the inner-radius rows out).
TEST_F(FrmObjPropertyLoad, EachPercentShowsBesideItsRowOnly)
{
    TStarObj* S = Add<TStarObj>(0, 0, 100, 100);
    S->SetParam(TrecStarParam{});
    TPolygonObj* P = Add<TPolygonObj>(0, 0, 100, 100);
    P->SetParam(TrecPolygonParam{});
    TRectObj* R = Add<TRectObj>(0, 0, 100, 100);
    const std::vector<std::string> Rows = {"RIn", "CnrROut", "CnrRIn", "RInRatio", "AngleRatio", "ROutRatio"};
    for (TDrawItem* Item : std::vector<TDrawItem*>{S, P, R}) {
        Load({Item});
        std::vector<std::string> WithPercent;
        for (const std::string& Row : Rows) {
            SCOPED_TRACE(std::string(Item->GetClass().Name) + " " + Row);
            auto* Edit = Panel.TabSheetShape->findChild<QWidget*>(QString::fromStdString("edt" + Row));
            auto* Unit = Panel.TabSheetShape->findChild<QLabel*>(QString::fromStdString("lbl" + Row + "Percent"));
            ASSERT_TRUE(Edit && Unit);
            EXPECT_EQ(Shown(Unit), Shown(Edit));
            if (!Shown(Edit))
                continue;
            WithPercent.push_back(Row);
            EXPECT_EQ(Unit->pos(), Edit->geometry().topRight() + QPoint(3, 3));
        }
        const std::vector<std::string> Expected =
            Item == S ? Rows : Item == P ? std::vector<std::string>{"CnrROut", "AngleRatio", "ROutRatio"}
                                         : std::vector<std::string>{"CnrROut"};
        EXPECT_EQ(WithPercent, Expected) << Item->GetClass().Name;
    }
}

TEST_F(FrmObjPropertyLoad, ShapePageControlsStandClearForEveryClass)
{
    // A caption's colon hid under its edit ("振れ(内径)" on a wider face).
    TStarObj* S = Add<TStarObj>(0, 0, 100, 100);
    S->SetParam(TrecStarParam{});
    TPolygonObj* P = Add<TPolygonObj>(0, 0, 100, 100);
    P->SetParam(TrecPolygonParam{});
    TRectObj* R = Add<TRectObj>(0, 0, 100, 100);
    for (TDrawItem* Item : std::vector<TDrawItem*>{S, P, R}) {
        Load({Item});
        std::vector<QWidget*> Shown;
        for (QWidget* W : Panel.TabSheetShape->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (!W->isHidden())
                Shown.push_back(W);
        ASSERT_GE(Shown.size(), 4u);
        // (Two unit labels of the same text on the same spot read as one.)
        auto Twins = [](QWidget* A, QWidget* B) {
            auto* LA = qobject_cast<QLabel*>(A);
            auto* LB = qobject_cast<QLabel*>(B);
            return LA && LB && LA->text() == LB->text() && LA->geometry() == LB->geometry();
        };
        for (size_t I = 0; I < Shown.size(); ++I)
            for (size_t J = I + 1; J < Shown.size(); ++J)
                EXPECT_FALSE(Shown[I]->geometry().intersects(Shown[J]->geometry()) && !Twins(Shown[I], Shown[J]))
                    << Item->GetClass().Name << ": " << Shown[I]->objectName().toStdString() << " and "
                    << Shown[J]->objectName().toStdString();
    }
}

// Two items that differ in one value show it mixed.
struct TMixedCase {
    const char* Name;
    std::function<void(TDrawItem& Second)> Differ;
    std::function<bool(TfrmObjProperty& P)> Mixed;
};

TEST_F(FrmObjPropertyLoad, SeveralItemsShowDifferingValuesMixed)
{
    auto RectOf = [](TDrawItem& I) -> TRectObj& { return static_cast<TRectObj&>(I); };
    const TMixedCase Cases[] = {
        {"bevel",
         [&](TDrawItem& I) {
             TrecRectParam P = RectOf(I).Param();
             P.Bevel = 1;
             RectOf(I).SetParam(P);
         },
         [](TfrmObjProperty& P) { return P.cboxBeveled->checkState() == Qt::PartiallyChecked; }},
        {"width", [&](TDrawItem& I) { RectOf(I).SetFrame(0, 0, 99, 40); },
         [](TfrmObjProperty& P) { return P.edtWidth->text().isEmpty() && P.edtHeight->text() == "40"; }},
        {"position", [&](TDrawItem& I) { RectOf(I).SetFrame(70, 0, 50, 40); },
         // Several items are not placed from the panel: no position shows.
         [](TfrmObjProperty& P) {
             return P.edtPosiX->text().isEmpty() && P.edtPosiY->text().isEmpty() && !P.edtPosiY->isEnabled();
         }},
        {"angle", [&](TDrawItem& I) { TDrawItem::SetItemsAngle(I, 0.5); },
         [](TfrmObjProperty& P) { return P.edtObjAngle->text().isEmpty(); }},
        {"wireframe colour", [&](TDrawItem& I) { TDrawItem::SetWireframeColor(I, 0xFF); },
         [](TfrmObjProperty& P) { return P.pnlcolbtnDrawCol->Caption() == "不定"; }},
        {"fill path", [&](TDrawItem& I) { TDrawItem::SetItemsFillPath(I, 0); },
         [](TfrmObjProperty& P) { return P.cboxFillPath->checkState() == Qt::PartiallyChecked; }},
        {"corner radius",
         [&](TDrawItem& I) {
             TrecRectParam P = RectOf(I).Param();
             P.CornerRadius = 32768;
             RectOf(I).SetParam(P);
         },
         [](TfrmObjProperty& P) { return P.edtCnrROut->text().isEmpty(); }},
        {"corner count",
         [&](TDrawItem& I) {
             TrecRectParam P = RectOf(I).Param();
             P.CornerCount = 1;
             RectOf(I).SetParam(P);
         },
         [](TfrmObjProperty& P) { return P.cmbRNum->currentIndex() == -1; }},
        {"outline value",
         [&](TDrawItem& I) {
             TOutline O;
             O.FOutlineKind = 2;
             O.Params.TopShift = 0.3;
             TDrawItem::SetOutline(I, O);
         },
         [](TfrmObjProperty& P) { return P.edtTopLeft->text().isEmpty() && P.edtTopWidth->text() == "100"; }},
        {"outline kind",
         [&](TDrawItem& I) {
             TOutline O;
             O.FOutlineKind = 1;
             TDrawItem::SetOutline(I, O);
         },
         [](TfrmObjProperty& P) { return P.cmbOutline->currentIndex() == -1; }},
    };
    for (const TMixedCase& C : Cases) {
        TRectObj* A = Add<TRectObj>(0, 0, 50, 40);
        TRectObj* B = Add<TRectObj>(0, 0, 50, 40);
        if (std::string(C.Name) == "outline value") {
            TOutline O;
            O.FOutlineKind = 2;
            TDrawItem::SetOutline(*A, O);
        }
        C.Differ(*B);
        Load({A, B});
        EXPECT_TRUE(Panel.MultiSelection());
        EXPECT_TRUE(C.Mixed(Panel)) << C.Name;
        Load({});
    }
}

// A selection whose items have no common place shows no angle nor position:
// the disabled edits are empty, not left with the values loaded before.
TEST_F(FrmObjPropertyLoad, DisabledPlaceEditsShowNoValueOfAnEarlierSelection)
{
    TRectObj* R = Add<TRectObj>(150, 50, 60, 40);
    auto Text = std::make_unique<TTextObj>(&Page(), -1);
    auto* T = static_cast<TTextObj*>(Page().RootGroup().AddChild(std::move(Text), -1));
    Load({R});
    ASSERT_EQ(Panel.edtPosiX->text(), "150");
    ASSERT_EQ(Panel.edtPosiY->text(), "50");
    ASSERT_EQ(Panel.edtObjAngle->text(), "0");
    Load({R, T});
    for (TEditTrackBarWex* E : {Panel.edtObjAngle, Panel.edtPosiX, Panel.edtPosiY}) {
        SCOPED_TRACE(E->objectName().toStdString());
        EXPECT_FALSE(E->isEnabled());
        EXPECT_EQ(E->text(), "");
    }
    // Enabled again with the values of a placed item.
    Load({R});
    EXPECT_TRUE(Panel.edtPosiX->isEnabled());
    EXPECT_EQ(Panel.edtPosiX->text(), "150");
    EXPECT_EQ(History().MenuNo(), -1);
}

// Each page's number edits, disabled by a selection that has no common value
// for them, are empty: none keeps the greyed value of the selection loaded
// before (nor of another document's).
TEST_F(FrmObjPropertyLoad, DisabledNumberEditsOfEveryPageShowNoValueOfAnEarlierSelection)
{
    const auto Outline = [](TDrawItem& I, uint8_t Kind) {
        TOutline O;
        O.FOutlineKind = Kind;
        O.Params.TopShift = 0.25;
        TDrawItem::SetOutline(I, O);
    };
    TRectObj* R = Add<TRectObj>(10, 20, 50, 40);
    Outline(*R, 2);
    TRectObj* R1 = Add<TRectObj>(10, 20, 50, 40);
    Outline(*R1, 1);
    auto* T = static_cast<TTextObj*>(Page().RootGroup().AddChild(std::make_unique<TTextObj>(&Page(), -1), -1));
    auto* OnPath = static_cast<TTextObj*>(Page().RootGroup().AddChild(std::make_unique<TTextObj>(&Page(), -1), -1));
    OnPath->SetLinkedPath(R);
    struct TCase {
        const char* Name;
        std::vector<TDrawItem*> Before, After;
        std::vector<TEditTrackBarWex*> Edits;
    };
    TfrmObjProperty& F = Panel;
    const std::vector<TEditTrackBarWex*> OutlineKind2 = {F.edtTopLeft, F.edtTopWidth, F.edtBtmWidth, F.edtTextHeight};
    const TCase Cases[] = {
        // A text and a rectangle: no common text.
        {"text page", {T}, {T, R}, {F.edtLineSpacing}},
        // A text off any path.
        {"path page", {OnPath}, {T}, {F.edtTextStartPos}},
        // No selection at all.
        {"outline page, nothing selected", {R}, {}, OutlineKind2},
        {"general page, nothing selected", {R}, {}, {F.edtObjAngle, F.edtPosiX, F.edtPosiY}},
        // Outlines of two kinds: no row is common.
        {"outline rows, mixed kinds", {R}, {R, R1}, OutlineKind2},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Load(C.Before);
        for (TEditTrackBarWex* E : C.Edits) {
            ASSERT_TRUE(E->isEnabled()) << E->objectName().toStdString();
            ASSERT_FALSE(E->text().isEmpty()) << E->objectName().toStdString();
        }
        Load(C.After);
        for (TEditTrackBarWex* E : C.Edits) {
            EXPECT_FALSE(E->isEnabled()) << E->objectName().toStdString();
            EXPECT_EQ(E->text(), "") << E->objectName().toStdString();
        }
    }
}

// Disabled, the outline page shows no kind and no rows of the selection (or
// the document) loaded before; loaded again, it shows them.
TEST_F(FrmObjPropertyLoad, TheDisabledOutlinePageShowsNoKindOfAnEarlierSelection)
{
    TRectObj* R = Add<TRectObj>(10, 20, 50, 40);
    TOutline O;
    O.FOutlineKind = 6;
    TDrawItem::SetOutline(*R, O);
    const auto ShownOnPage = [&] {
        std::vector<std::string> Names;
        for (QObject* C : Panel.TabSheetOutline->children())
            if (auto* W = qobject_cast<QWidget*>(C); W && !W->isHidden())
                Names.push_back(W->objectName().toStdString());
        std::sort(Names.begin(), Names.end());
        return Names;
    };
    Load({R});
    ASSERT_EQ(Panel.cmbOutline->currentText(), "波(自由設定)");
    const std::vector<std::string> Rows = ShownOnPage();
    ASSERT_GT(Rows.size(), 10u);
    Load({});
    EXPECT_FALSE(Panel.cmbOutline->isEnabled());
    EXPECT_EQ(Panel.cmbOutline->currentText(), "");
    EXPECT_EQ(ShownOnPage(), (std::vector<std::string>{"btnDefOutline", "cmbOutline", "lblOutlineKind"}));
    Load({R});
    EXPECT_EQ(Panel.cmbOutline->currentText(), "波(自由設定)");
    EXPECT_EQ(ShownOnPage(), Rows);
}

// Disabled, a page shows nothing of the selection (or the document) loaded
// before: each colour button, check box and combo as an unloaded panel shows it.
TEST_F(FrmObjPropertyLoad, DisabledPagesShowNothingOfAnEarlierSelection)
{
    const auto Disabled = [this] {
        std::map<QWidget*, std::string> Shown;
        for (QWidget* Page : Panel.FTabSheets)
            for (QWidget* W : Page->findChildren<QWidget*>()) {
                QString V;
                if (auto* B = qobject_cast<TPanelColorButton*>(W))
                    V = QString::number(B->Color()) + B->Caption();
                else if (auto* C = qobject_cast<QCheckBox*>(W))
                    V = QString::number(C->checkState());
                else if (auto* C = qobject_cast<QComboBox*>(W))
                    V = "=" + C->currentText();
                if (!V.isNull() && !W->isEnabled() && W->isVisibleTo(Page))
                    Shown[W] = V.toStdString();
            }
        return Shown;
    };
    Load({});
    const std::map<QWidget*, std::string> Unloaded = Disabled();
    TPolygonObj* P = Add<TPolygonObj>(10, 20, 50, 40);
    TDrawItem::SetWireframeColor(*P, 0x0000FF);
    TDrawItem::SetItemsFillPath(*P, 1);
    auto* T = static_cast<TTextObj*>(Page().RootGroup().AddChild(std::make_unique<TTextObj>(&Page(), -1), -1));
    T->ParagraphStyle().FLineSpacingRule = 2;
    T->ParagraphStyle().SpacingUnit = 1;
    TDrawItem::SetTextPaintKind(*T, 2);
    for (const auto& [Before, After] : std::vector<std::pair<TDrawItem*, std::vector<TDrawItem*>>>{
             {P, {}}, {T, {}}, {T, {P}}}) {
        Load({Before});
        Load(After);
        for (const auto& [W, V] : Disabled())
            EXPECT_EQ(V, Unloaded.count(W) ? Unloaded.at(W) : "not shown") << W->objectName().toStdString();
    }
}

TEST_F(FrmObjPropertyLoad, StarsWithDifferentRatiosShowEmptyRatios)
{
    TStarObj* A = Add<TStarObj>(0, 0, 100, 100);
    TStarObj* B = Add<TStarObj>(0, 0, 60, 100);
    A->SetParam(TrecStarParam{});
    TrecStarParam P{};
    P.InnerRadius = 0.3;
    P.Corner2 = 8192;
    B->SetParam(P);
    Load({A, B});
    EXPECT_TRUE(Panel.edtRIn->text().isEmpty());
    EXPECT_TRUE(Panel.edtCnrRIn->text().isEmpty());
    // No common width: the absolute radius is not offered.
    EXPECT_FALSE(Shown(Panel.edtAbsRIn));
    EXPECT_FALSE(Shown(Panel.lblAbsolute));
}

struct TOutlineRows {
    int Kind;
    std::vector<QString> Edits;
};

TEST_F(FrmObjPropertyLoad, OutlineRowsByKind)
{
    const TOutlineRows Cases[] = {
        {0, {}},
        {1, {"edtTopLeft"}},
        {2, {"edtTopLeft", "edtTopWidth", "edtBtmWidth"}},
        {3, {"edtHeightTop"}},
        {4, {"edtHeightTop", "edtHeightBtm"}},
        {5, {"edtTopLeft", "edtTopWidth", "edtHeightTop", "edtWaveNumTop"}},
        {6, {"edtTopLeft", "edtTopWidth", "edtHeightTop", "edtHeightBtm", "edtWaveNumTop", "edtWaveNumBtm"}},
        {7, {"edtRadius"}},
        {8, {"edtTopLeft", "edtTopWidth", "edtBtmWidth"}},
    };
    TRectObj* R = Add<TRectObj>(0, 0, 50, 40);
    for (const TOutlineRows& C : Cases) {
        TOutline O;
        O.FOutlineKind = uint8_t(C.Kind);
        TDrawItem::SetOutline(*R, O);
        Load({R});
        std::vector<QString> Shown;
        int Y = 40;
        for (TEditTrackBarWex* E : Panel.FOutlineEdits)
            if (E && !E->isHidden()) {
                Shown.push_back(E->objectName());
                EXPECT_EQ(E->y(), Y - 4) << C.Kind;
                EXPECT_TRUE(E->isEnabled());
                Y += 20;
            }
        EXPECT_EQ(Shown, C.Edits) << C.Kind;
        // No shown caption, edit or "%" runs into another (a caption's colon
        // hid under its edit on a wider face).
        std::vector<QWidget*> Parts;
        for (QWidget* W : Panel.TabSheetOutline->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (!W->isHidden() && W->property("Tag").toInt() >= 1 && W->property("Tag").toInt() <= 10)
                Parts.push_back(W);
        for (size_t I = 0; I < Parts.size(); ++I)
            for (size_t J = I + 1; J < Parts.size(); ++J)
                EXPECT_FALSE(Parts[I]->geometry().intersects(Parts[J]->geometry()))
                    << C.Kind << ": " << Parts[I]->objectName().toStdString() << " and "
                    << Parts[J]->objectName().toStdString();
        EXPECT_EQ(!Panel.edtTextHeight->isHidden(), C.Kind != 0);
        // Only a text transforms characters.
        EXPECT_EQ(!Panel.cboxTransChar->isHidden(), C.Kind == 7);
        EXPECT_FALSE(Panel.cboxTransChar->isEnabled());
    }
    EXPECT_EQ(Panel.cmbOutline->currentIndex(), -1); // kind 8 has no item
}

TEST_F(FrmObjPropertyLoad, AGroupIsLoadedAsItsMergedProperties)
{
    auto Group = std::make_unique<TDrawGroup>(&Page(), -1);
    for (int I = 0; I < 2; ++I) {
        auto R = std::make_unique<TRectObj>(&Page(), -1);
        R->SetFrame(0, 0, 30 + I, 30);
        Group->AddChild(std::move(R), -1);
    }
    TDrawItem* G = Page().RootGroup().AddChild(std::move(Group), -1);
    Load({G});
    ASSERT_NE(dynamic_cast<TRectObj*>(Panel.DrawItemBuf()), nullptr);
    EXPECT_TRUE(Panel.edtWidth->text().isEmpty());
    EXPECT_EQ(Panel.edtHeight->text(), "30");
}

TEST_F(FrmObjPropertyLoad, ATextShowsItsAngleAndPaintKind)
{
    auto Text = std::make_unique<TTextObj>(&Page(), -1);
    Text->SetPosition(12, 34);
    auto* T = static_cast<TTextObj*>(Page().RootGroup().AddChild(std::move(Text), -1));
    TDrawItem::SetTextPaintKind(*T, 2);
    TDrawItem::SetItemsAngle(*T, 0.25 * M_PI);
    Load({T});
    EXPECT_EQ(Panel.edtObjAngle->text(), "45");
    EXPECT_EQ(Panel.edtPosiX->text(), "12");
    EXPECT_EQ(Panel.cmbTextPaintKind->currentIndex(), 2);
    EXPECT_TRUE(Panel.cmbTextPaintKind->isEnabled());
    // Not on a path: the path page is off; a text has no shape page.
    EXPECT_FALSE(Panel.edtTextStartPos->isEnabled());
    EXPECT_TRUE(Panel.edtWidth->isHidden());
    emit Panel.cmbTextPaintKind->activated(0);
    EXPECT_EQ(T->PaintKind(), 0);
    EXPECT_EQ(History().UndoCaption(), "'描画方法'の変更");
}

TEST_F(FrmObjPropertyLoad, AnItemOnNoPageIsRefused)
{
    TRectObj Loose(nullptr, -1);
    std::string Message;
    try {
        Panel.SetParam({&Loose}, &Link);
    } catch (const EUserError& E) {
        Message = E.what();
    }
    EXPECT_EQ(Message, "TfrmObjProperty.SetParam: (FPage = nil)");
    EXPECT_EQ(Panel.FiUpdating, 0);
}

TEST_F(FrmObjPropertyLoad, LineSpacingUnitFollowsTheRule)
{
    Panel.cmbLineSpacingRule->setCurrentIndex(0);
    Panel.LineSpacingUnitFollowsRule();
    ASSERT_EQ(Panel.cmbUTLineSpacing->count(), 1);
    EXPECT_EQ(Panel.cmbUTLineSpacing->itemText(0), "行");
    EXPECT_FALSE(Panel.cmbUTLineSpacing->isEnabled());
    Panel.cmbLineSpacingRule->setCurrentIndex(2);
    Panel.LineSpacingUnitFollowsRule();
    EXPECT_EQ(Panel.cmbUTLineSpacing->count(), 4);
    EXPECT_EQ(Panel.cmbUTLineSpacing->itemText(3), "point");
    EXPECT_TRUE(Panel.cmbUTLineSpacing->isEnabled());
}

TEST(FrmObjPropertyToPixel, HalvesRoundUpAlsoBelowZero)
{
    const struct {
        int Unit;
        double Value, Expected;
    } Cases[] = {
        {0, 2.5, 3}, {0, -2.5, -2}, {0, -2.7, -3}, {0, -2.2, -2},
        {1, 96, 2.54}, {1, -96, -2.54}, {2, -144, -1.5}, {3, -10, -7.5}, {3, 10, 7.5},
    };
    for (const auto& C : Cases)
        EXPECT_DOUBLE_EQ(TfrmObjProperty::ToPixel(C.Unit, C.Value, 96), C.Expected) << C.Unit << " " << C.Value;
    EXPECT_THROW(TfrmObjProperty::ToPixel(4, 1, 96), EUserError);
}

} // namespace
