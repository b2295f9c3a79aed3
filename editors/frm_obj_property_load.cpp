// Loading a document window's selection into the panel: no item, one item,
// or the merged properties of several. Values the items disagree on show as
// mixed (an empty edit, a greyed check box, "不定", no combo item).
#include "editors/frm_obj_property.h"
#include "editors/frm_obj_property_proxy.h"

#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/draw_object.h"
#include "model/layer.h"
#include "model/line_object.h"
#include "model/outline_transform.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/text_object.h"
#include "platform/cp932.h"
#include "ui/combo_box_wex.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/edit_wex.h"
#include "ui/page_control_wex.h"
#include "ui/panel_button.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>

#include <algorithm>
#include <cmath>
#include <set>

namespace {

constexpr float AngleMixed = std::numeric_limits<float>::max();

// Integer edit: mixed (empty) when Limit is above the value.
void SetIntEdit(TCustomEditTrackBarWex* Edit, double Value, double Limit)
{
    if (Limit > Value) {
        Edit->SetPosition(0);
        Edit->setText(QString());
    } else {
        Edit->SetPosition(Value);
    }
}

// Double edit shown scaled: mixed (empty, the thumb in the middle) for the
// sentinel.
void SetDoubleEdit(TCustomEditTrackBarWex* Edit, double Value, double Scale)
{
    if (Value == OutlineDoubleSentinel) {
        Edit->SetPosition((Edit->Min() + Edit->Max()) / 2);
        Edit->setText(QString());
    } else {
        Edit->SetPosition(Value * Scale);
    }
}

void SetCheck(QCheckBox* Box, uint8_t Flag)
{
    Box->setCheckState(Flag == 255 ? Qt::PartiallyChecked : Flag != 0 ? Qt::Checked : Qt::Unchecked);
}

int32_t CornerPercent(int32_t Value)
{
    return int32_t(RoundOff(double(Value) / 32768.0 * 100.0));
}

bool CornerMixed(int32_t Value)
{
    return double(Value) / 32768.0 * 100.0 < -32768.0;
}

// A position: mixed (empty) for the leave-unchanged value.
void SetPosEdit(TCustomEditTrackBarWex* Edit, int32_t Value)
{
    if (Value == ParamPosUnchanged) {
        Edit->SetPosition(0);
        Edit->setText(QString());
    } else {
        Edit->SetPosition(Value);
    }
}

void SetCornerEdit(TCustomEditTrackBarWex* Edit, int32_t Value)
{
    if (CornerMixed(Value)) {
        Edit->SetPosition(0);
        Edit->setText(QString());
    } else {
        Edit->SetPosition(CornerPercent(Value));
    }
}

} // namespace

double TfrmObjProperty::ToPixel(int32_t Unit, double Value, int32_t DPI)
{
    if (Unit < 0 || Unit > 3)
        throw EUserError("ToPixel: Invalid gut");
    // The program's one unit conversion: halves go up, also for the
    // negative lengths a lowered base line has.
    return ConvUnit(0, Unit, DPI > 0 ? DPI : 96, Value);
}

void TfrmObjProperty::LineSpacingUnitFollowsRule()
{
    ++FiUpdating;
    if (cmbLineSpacingRule->currentIndex() <= 0) {
        cmbUTLineSpacing->clear();
        cmbUTLineSpacing->addItem("行");
        cmbUTLineSpacing->setCurrentIndex(0);
        cmbUTLineSpacing->setEnabled(false);
    } else {
        if (cmbUTLineSpacing->count() < 2) {
            cmbUTLineSpacing->clear();
            cmbUTLineSpacing->addItems({"pixel", "cm", "inch", "point"});
            cmbUTLineSpacing->setCurrentIndex(0);
        }
        cmbUTLineSpacing->setEnabled(true);
    }
    --FiUpdating;
}

void TfrmObjProperty::SetParam(TDrawItem* Item, TObjPropertyDocLink* Doc)
{
    std::vector<TDrawItem*> Items;
    if (Item)
        Items.push_back(Item);
    SetParam(Items, Doc, FiDPI);
}

void TfrmObjProperty::EnableEdit(TCustomEditTrackBarWex* Edit, bool Flag)
{
    // A disabled edit is emptied: it shows no value of items it cannot edit,
    // nor of a selection (or a document) loaded before. Enabled, it shows
    // what the load that enables it writes.
    Edit->setEnabled(Flag);
    if (!Flag)
        Edit->setText(QString());
}

void TfrmObjProperty::EnablePage(QWidget* Page, bool Flag)
{
    // A control's own parts follow it (a hidden or disabled parent hides or
    // disables them).
    const QList<QWidget*> Children = Page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* W : Children) {
        if (Page == TabSheetShape) {
            W->setVisible(Flag);
            continue;
        }
        if (auto* E = qobject_cast<TCustomEditTrackBarWex*>(W)) {
            EnableEdit(E, Flag);
            continue;
        }
        W->setEnabled(Flag);
        if (!Flag)
            ShowNoValue(W);
    }
    // Nor does the outline page show the kind's rows.
    if (Page == TabSheetOutline && !Flag)
        ShowOutlineRows({});
}

void TfrmObjProperty::ShowNoValue(QWidget* Control)
{
    // A disabled control shows nothing of the selection (or the document)
    // loaded before. The units and zoom of the text page are the panel's own
    // choice, not the selection's: they stay.
    if (Control == cmbZoom || std::count(FTextUnitCombos.begin(), FTextUnitCombos.end(), Control))
        return;
    if (auto* E = qobject_cast<QTextEdit*>(Control)) {
        E->clear();
    } else if (auto* C = qobject_cast<QComboBox*>(Control)) {
        C->setCurrentIndex(-1);
    } else if (auto* C = qobject_cast<QCheckBox*>(Control)) {
        C->setCheckState(Qt::Unchecked);
    } else if (auto* B = qobject_cast<TPanelColorButton*>(Control)) {
        B->SetColor(clBtnFace);
        B->SetCaption("");
    }
}

void TfrmObjProperty::ClearPanel()
{
    ++FiUpdating;
    if (OnMacroPageLoad)
        OnMacroPageLoad(nullptr);
    BindRichEdit(nullptr);
    for (QWidget* Page : FTabSheets)
        EnablePage(Page, false);
    --FiUpdating;
}

void TfrmObjProperty::SetParam(const std::vector<TDrawItem*>& Items, TObjPropertyDocLink* Doc, int32_t DPI)
{
    FiDPI = DPI;
    FDoc = Items.empty() ? nullptr : Doc;
    if (Items.empty()) {
        FDrawItem = nullptr;
        FTargets.clear();
        FProxy.reset();
        FDrawItemBuf.reset();
        FDrawItemOrg.reset();
        FDrawItemCopy.clear();
        FPage = nullptr;
        FDocument = nullptr;
        FbMulti = false;
        ClearPanel();
        return;
    }
    TPage* Page = nullptr;
    for (TDrawItem* I : Items)
        if (!Page)
            Page = dynamic_cast<TPage*>(I->Page());
    if (!Page)
        throw EUserError("TfrmObjProperty.SetParam: (FPage = nil)");
    ++FiUpdating;
    try {
        FPage = Page;
        FDocument = Page->GetDocument();
        FTargets = Items;
        FbMulti = Items.size() > 1;
        if (FbMulti) {
            FProxy = std::make_unique<TSelectionItems>(FTargets);
            FDrawItem = FProxy.get();
        } else {
            FProxy.reset();
            FDrawItem = Items.front();
        }
        TakeCopies();

        const int32_t PW = Page->Width();
        const int32_t PH = Page->Height();
        edtPosiX->SetMin(-(PW / 2));
        edtPosiX->SetMax(PW);
        edtPosiY->SetMin(-(PH / 2));
        edtPosiY->SetMax(PH);
        edtWidth->SetMax(2.0 * PW);
        edtWidth->SetTrackBarMax(PW);
        edtHeight->SetMax(2.0 * PH);
        edtHeight->SetTrackBarMax(PH);

        if (FbMulti)
            edtObjName->hide();
        else
            edtObjName->setText(QString::fromStdString(Cp932ToUtf8(Items.front()->Name())));

        TDrawItem* Buf = FDrawItemBuf.get();
        auto* Obj = dynamic_cast<TDrawObject*>(Buf);
        cmbLayer->clear();
        if (TLayers* Layers = Page->GetLayers())
            for (int32_t I = 0; I < Layers->GetCount(); ++I)
                cmbLayer->addItem(QString::fromStdString(Layers->GetLayer(I)->Name));
        if (Obj) {
            cmbLayer->setCurrentIndex(Obj->Layer() ? Obj->Layer()->Index : -1);
            // Items of differing colours: the button reads "不定".
            const bool Mixed = Obj->WireframeColor() == -1;
            pnlcolbtnDrawCol->SetColor(Mixed ? clBtnFace : Obj->WireframeColor());
            pnlcolbtnDrawCol->SetCaption(Mixed ? "不定" : "");
        }

        EnablePage(TabSheetGeneral, true);
        auto* Text = dynamic_cast<TTextObj*>(Buf);
        auto* Shape = dynamic_cast<TParamObj*>(Buf);
        // Only one text or shape object is turned and placed from here: a
        // typed position would stack a selection's items onto one spot.
        const bool Placed = !FbMulti && (Text || Shape);
        for (TEditTrackBarWex* E : {edtObjAngle, edtPosiX, edtPosiY})
            EnableEdit(E, Placed);

        // The grid shows what its own changes set; loaded again it would
        // take a cell's edit from under the keys.
        const bool LoadGrid = OnMacroPageLoad && !FbShowingAgain;
        if (auto* Line = dynamic_cast<TLineObject*>(Buf)) {
            EnablePage(TabSheetPaintProperty, true);
            if (LoadGrid)
                OnMacroPageLoad(Buf);
            EnablePage(TabSheetOutline, true);
            LoadOutlinePage();
            SetCheck(cboxFillPath, Line->FillPath());
        } else {
            EnablePage(TabSheetPaintProperty, false);
            EnablePage(TabSheetOutline, false);
            if (LoadGrid)
                OnMacroPageLoad(nullptr);
        }

        if (Text) {
            if (Placed) {
                const float A = Text->Angle();
                if (A == AngleMixed)
                    edtObjAngle->setText(QString());
                else
                    edtObjAngle->SetPosition(double(A) * 180.0 / M_PI);
                SetPosEdit(edtPosiX, Text->X());
                SetPosEdit(edtPosiY, Text->Y());
            }
            EnablePage(TabSheetText, true);
            // Only a single text object is edited character by character. The
            // edit bound to it shows it already, caret and all.
            TTextObj* Single = FTargets.size() == 1 ? dynamic_cast<TTextObj*>(FTargets.front()) : nullptr;
            if (!FbShowingAgain || Single != FBoundText)
                BindRichEdit(Single);
            cmbTextPaintKind->setCurrentIndex(Text->PaintKind() <= 2 ? Text->PaintKind() : -1);
            LoadTextPage();
            const bool OnPath = Text->LinkedPath() != nullptr;
            EnablePage(TabSheetOnPath, OnPath);
            if (OnPath)
                edtTextStartPos->SetPosition(Text->Layout().Value1);
        } else {
            BindRichEdit(nullptr);
            EnablePage(TabSheetText, false);
            EnablePage(TabSheetOnPath, false);
        }

        if (Shape) {
            SetIntEdit(edtWidth, Shape->Width(), 1);
            SetIntEdit(edtHeight, Shape->Height(), 1);
            if (Placed) {
                if (Shape->Angle() == ParamAngleUnchanged)
                    edtObjAngle->setText(QString());
                else
                    edtObjAngle->SetPosition(double(Shape->Angle()) * 180.0 / M_PI);
                SetPosEdit(edtPosiX, Shape->X());
                SetPosEdit(edtPosiY, Shape->Y());
            }
            LoadShapePage();
        } else {
            EnablePage(TabSheetShape, false);
        }
    } catch (...) {
        --FiUpdating;
        throw;
    }
    --FiUpdating;
}

void TfrmObjProperty::ShowItemsAgain()
{
    // The focused edit keeps its caret and selection where its text stays.
    QPointer<QLineEdit> Line = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    const QString Text = Line ? Line->text() : QString();
    const int Cursor = Line ? Line->cursorPosition() : 0;
    const int SelStart = Line ? Line->selectionStart() : -1;
    const int SelLength = Line ? Line->selectionLength() : 0;
    FbShowingAgain = true;
    try {
        SetParam(std::vector<TDrawItem*>(FTargets), FDoc, FiDPI);
    } catch (...) {
        FbShowingAgain = false;
        throw;
    }
    FbShowingAgain = false;
    if (!Line || Line->text() != Text)
        return;
    if (SelLength > 0)
        Line->setSelection(SelStart, SelLength);
    else
        Line->setCursorPosition(Cursor);
}

void TfrmObjProperty::ShowShapeTags(const std::vector<int32_t>& Tags)
{
    // A "%" shows where its row does, whatever the Tag of the units.
    const std::set<int32_t> Set(Tags.begin(), Tags.end());
    for (QObject* O : TabSheetShape->children())
        if (auto* W = qobject_cast<QWidget*>(O)) {
            const QVariant Row = W->property("RowTag");
            W->setVisible(Set.count(Row.isValid() ? Row.toInt() : W->property("Tag").toInt()) > 0);
        }
}

void TfrmObjProperty::SetRowTop(QWidget* Control, int32_t Y)
{
    Control->move(Control->x(), Y + Control->property("RowDY").toInt());
}

void TfrmObjProperty::MoveShapeRow(int32_t Tag, int32_t Y)
{
    // The "%" labels carry the Tag of the units and the row's as RowTag.
    for (QObject* O : TabSheetShape->children())
        if (auto* W = qobject_cast<QWidget*>(O)) {
            const QVariant Row = W->property("RowTag");
            if ((Row.isValid() ? Row.toInt() : W->property("Tag").toInt()) == Tag)
                SetRowTop(W, Y);
        }
}

void TfrmObjProperty::LoadRectCorners(int32_t Count, int32_t Position)
{
    cmbRPos->clear();
    if (Count == 1)
        cmbRPos->addItems({"左上", "右上", "右下", "左下"});
    else if (Count == 2)
        cmbRPos->addItems({"上", "右", "下", "左"});
    cmbRPos->setEnabled(Count == 1 || Count == 2);
    cmbRPos->setCurrentIndex(Position < cmbRPos->count() ? Position : -1);
}

void TfrmObjProperty::LoadShapePage()
{
    TDrawItem* Buf = FDrawItemBuf.get();
    auto* Shape = dynamic_cast<TParamObj*>(Buf);
    const int32_t Y = edtRIn->y();
    if (auto* Star = dynamic_cast<TStarObj*>(Buf)) {
        ShowShapeTags({0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 11, 12, 13, 14});
        MoveShapeRow(4, Y + 20);
        MoveShapeRow(1, Y + 60);
        MoveShapeRow(2, Y + 60);
        MoveShapeRow(8, Y + 60);
        lblROutRatio->setText("振れ(外径)：");
        lblCnrROut->setText("凸角のR：");
        const TrecStarParam& P = Star->Param();
        edtCornerNum->SetMin(4);
        // Typing makes four points or more; a star of three (an older
        // file's) shows its three, and nothing is written until a value is.
        if (P.Count == 3)
            edtCornerNum->ShowHeld(P.Count);
        else
            SetIntEdit(edtCornerNum, P.Count, 1);
        const bool RatioMixed = P.InnerRadius < 0;
        if (RatioMixed) {
            edtRIn->setText(QString());
            edtAbsRIn->SetMax(FPage ? FPage->Width() / 2 : 3000);
        } else {
            edtRIn->SetPosition(double(RoundOff(100 * P.InnerRadius)));
        }
        const bool WidthMixed = Shape->Width() < 1;
        for (QWidget* W : std::initializer_list<QWidget*>{edtAbsRIn, lblPixel, lblAbsolute})
            W->setVisible(!WidthMixed);
        if (!WidthMixed) {
            edtAbsRIn->SetMax(Shape->Width() / 2);
            if (RatioMixed)
                edtAbsRIn->setText(QString());
            else
                edtAbsRIn->SetPosition(double(RoundOff((Shape->Width() / 2) * P.InnerRadius)));
        }
        SetIntEdit(edtAngleRatio, P.AngleVariation, 0);
        SetIntEdit(edtROutRatio, P.OuterVariation, 0);
        SetIntEdit(edtRInRatio, P.InnerVariation, 0);
        SetCornerEdit(edtCnrROut, P.Corner1);
        SetCornerEdit(edtCnrRIn, P.Corner2);
    } else if (auto* Poly = dynamic_cast<TPolygonObj*>(Buf)) {
        ShowShapeTags({0, 1, 2, 4, 7, 8, 10, 12, 13, 14});
        MoveShapeRow(4, Y);
        MoveShapeRow(1, Y + 20);
        MoveShapeRow(2, Y + 20);
        MoveShapeRow(8, Y + 20);
        lblROutRatio->setText("振れ(径)：");
        lblCnrROut->setText("角のR：");
        const TrecPolygonParam& P = Poly->Param();
        edtCornerNum->SetMin(3);
        SetIntEdit(edtCornerNum, P.Count, 1);
        SetIntEdit(edtAngleRatio, P.AngleVariation, 0);
        SetIntEdit(edtROutRatio, P.RadiusVariation, 0);
        SetCornerEdit(edtCnrROut, P.CornerSize);
    } else if (auto* Rect = dynamic_cast<TRectObj*>(Buf)) {
        ShowShapeTags({0, 4, 9, 12, 13, 14, 15, 16});
        MoveShapeRow(15, Y);
        MoveShapeRow(16, Y + 20);
        MoveShapeRow(4, Y + 40);
        MoveShapeRow(9, Y);
        lblCnrROut->setText("角のR：");
        const TrecRectParam& P = Rect->Param();
        SetCornerEdit(edtCnrROut, P.CornerRadius);
        SetCheck(cboxBeveled, P.Bevel);
        const int32_t Index = P.CornerCount == 65535 ? -1 : P.CornerCount >> 1;
        cmbRNum->setCurrentIndex(Index <= 2 ? Index : -1);
        LoadRectCorners(P.CornerCount, P.CornerPosition);
    } else if (dynamic_cast<TEllipseObj*>(Buf)) {
        ShowShapeTags({0, 13, 14});
    } else {
        EnablePage(TabSheetShape, false);
    }
}

namespace {

// The rows of each outline kind (Tags 1 to 11).
const std::vector<int32_t>& OutlineRowsOf(int32_t Kind)
{
    static const std::vector<int32_t> Rows[9] = {
        {}, {1, 10}, {1, 2, 4, 10}, {5, 10}, {5, 6, 10}, {1, 2, 5, 7, 10}, {1, 2, 5, 6, 7, 8, 10}, {9, 10, 11},
        {1, 2, 4, 10}};
    static const std::vector<int32_t> None;
    return Kind >= 0 && Kind <= 8 ? Rows[Kind] : None;
}

} // namespace

void TfrmObjProperty::ShowOutlineRows(const std::vector<int32_t>& Tags)
{
    const std::set<int32_t> Set(Tags.begin(), Tags.end());
    for (QObject* O : TabSheetOutline->children())
        if (auto* W = qobject_cast<QWidget*>(O)) {
            const int32_t T = W->property("Tag").toInt();
            if (T == 0)
                continue;
            const bool Shown = Set.count(T) > 0;
            W->setVisible(Shown);
            if (auto* E = qobject_cast<TCustomEditTrackBarWex*>(W))
                EnableEdit(E, Shown);
            else
                W->setEnabled(Shown);
        }
    if (!cboxTransChar->isHidden())
        cboxTransChar->setEnabled(dynamic_cast<TTextObj*>(FDrawItemBuf.get()) != nullptr);
}

int TfrmObjProperty::OutlineRowsBottom() const
{
    // As the rows are stacked: from y 40 in steps of 20, the check box next.
    int Bottom = 0;
    for (int32_t Kind = 0; Kind <= 8; ++Kind) {
        int32_t Y = 40;
        for (const int32_t Tag : OutlineRowsOf(Kind))
            if (Tag >= 1 && Tag <= 9 && FOutlineEdits[Tag - 1]) {
                Bottom = std::max(Bottom, Y - 4 + FOutlineEdits[Tag - 1]->height());
                Y += 20;
            }
        for (const int32_t Tag : OutlineRowsOf(Kind))
            if (Tag == 11)
                Bottom = std::max(Bottom, Y + cboxTransChar->height());
    }
    return Bottom;
}

void TfrmObjProperty::LoadOutlinePage()
{
    auto* Line = dynamic_cast<TLineObject*>(FDrawItemBuf.get());
    if (!Line)
        return;
    const TOutline& O = Line->Outline();
    const int32_t Kind = O.FOutlineKind;
    cmbOutline->setCurrentIndex(Kind <= 7 ? Kind : -1);
    if (Kind >= 1 && Kind <= 8) {
        const TrecOutlineParams& P = O.Params;
        SetDoubleEdit(edtTopLeft, P.TopShift, 100);
        SetDoubleEdit(edtTopWidth, P.TopWidth, 100);
        SetDoubleEdit(edtBtmWidth, P.BottomWidth, 100);
        SetDoubleEdit(edtHeightTop, P.TopArcHeight, 100);
        SetDoubleEdit(edtHeightBtm, P.BottomArcHeight, 100);
        SetPosEdit(edtWaveNumTop, P.TopArcCount == OutlineIntSentinel ? ParamPosUnchanged : P.TopArcCount);
        SetPosEdit(edtWaveNumBtm, P.BottomArcCount == OutlineIntSentinel ? ParamPosUnchanged : P.BottomArcCount);
        SetDoubleEdit(edtRadius, P.ArcFactor, 100);
        SetDoubleEdit(edtTextHeight, P.HeightScale, 100);
        SetCheck(cboxTransChar, P.ArcMode == OutlineIntSentinel ? 255 : P.ArcMode > 0 ? 1 : 0);
    }
    RelabelOutline(Kind);
    ShowOutlineRows(OutlineRowsOf(Kind));
    lblOutlineKind->setEnabled(true);
    cmbOutline->setEnabled(true);
    btnDefOutline->setEnabled(true);
    StackOutlineRows();
}

void TfrmObjProperty::RelabelOutline(int32_t Kind)
{
    QLabel* HeightTop = FOutlineLabels[4];
    QLabel* HeightBtm = FOutlineLabels[5];
    QLabel* WaveTop = FOutlineLabels[6];
    switch (Kind) {
    case 3:
        HeightTop->setText("波高：");
        break;
    case 4:
        HeightTop->setText("波高(上)：");
        HeightBtm->setText("波高(下)：");
        break;
    case 5:
        HeightTop->setText("波高：");
        WaveTop->setText("波数：");
        break;
    case 6:
        HeightTop->setText("波高(上)：");
        HeightBtm->setText("波高(下)：");
        WaveTop->setText("波数(上)：");
        break;
    case 7:
        FOutlineLabels[8]->setText("半径：");
        break;
    default:
        break;
    }
    for (QLabel* L : FOutlineLabels)
        if (L)
            L->adjustSize();
}
