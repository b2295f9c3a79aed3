// The panel's edits: number edits change the drawing live while typed or
// dragged and record one command when committed; the other controls record
// one command per change. Every command is rolled back when its change
// raises, so no bracket stays open.
#include "editors/frm_obj_property.h"
#include "editors/frm_obj_property_proxy.h"
#include "editors/macro_paint_page.h"
#include "editors/obj_property_doc_link.h"

#include "foundation/numbers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/default_data.h"
#include "model/document.h"
#include "model/draw_group.h"
#include "model/draw_object.h"
#include "model/layer.h"
#include "model/line_object.h"
#include "model/outline_transform.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/text_model.h"
#include "model/text_object.h"
#include "paint/macro_list.h"
#include "platform/cp932.h"
#include "platform/qt/qt_services.h"
#include "store/history.h"
#include "store/history_bracket.h"
#include "ui/combo_box_wex.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/edit_wex.h"
#include "ui/page_control_wex.h"
#include "ui/panel_button.h"
#include "ui/ui_routines.h"

#include <QAction>
#include <QApplication>
#include <QToolBar>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTextEdit>
#include <QTimer>

#include <cmath>
#include <utility>

namespace {

// A private copy of Item that is on no page: it records nothing and marks
// nothing modified. Groups are not copied (nil).
std::unique_ptr<TDrawItem> CopyOf(TDrawItem* Item)
{
    if (!Item || dynamic_cast<TDrawGroup*>(Item) || !Item->GetClass().Create)
        return nullptr;
    std::unique_ptr<TDrawItem> Copy = CreateDrawItem(Item->GetClass(), nullptr, -1);
    MarkDrawItemSilent(*Copy);
    Copy->Assign(Item);
    return Copy;
}

// What a live edit must be able to put back: a private copy of Item, a group
// with copies of all its descendants (a group's Assign matches its children
// by index and class, so assigning the copy back restores each one in place).
std::unique_ptr<TDrawItem> RevertCopyOf(TDrawItem* Item)
{
    auto* Group = dynamic_cast<TDrawGroup*>(Item);
    if (!Group)
        return CopyOf(Item);
    auto Copy = std::make_unique<TDrawGroup>(nullptr, -1);
    MarkDrawItemSilent(*Copy);
    Copy->Assign(Group);
    MarkDrawItemSilent(*Copy);
    return Copy;
}

std::string WithoutColon(const QString& Caption)
{
    QString S = Caption;
    if (S.endsWith(QStringLiteral("：")))
        S.chop(1);
    return S.toStdString();
}

} // namespace

// ---------------------------------------------------------------------------
// Copies of the selection

void TfrmObjProperty::TakeCopies()
{
    const THistoryCommand* H = FPage ? FPage->GetHistory() : nullptr;
    FiCopiesStep = H ? H->StepSerial() : 0;
    // The copies are the items as they are now: nothing live is left to put back.
    FbLiveChanged = false;
    FDrawItemCopy.clear();
    for (TDrawItem* T : FTargets)
        FDrawItemCopy.push_back(RevertCopyOf(T));
    std::unique_ptr<TDrawItem> Buf;
    if (FTargets.size() == 1 && dynamic_cast<TDrawGroup*>(FTargets.front())) {
        Buf = static_cast<TDrawGroup*>(FTargets.front())->MakePropertyObject();
    } else if (FTargets.size() > 1) {
        // The merge reads the items from a group of their copies (a group
        // owns its children, and the items belong to theirs).
        TDrawGroup Merge(nullptr, -1);
        MarkDrawItemSilent(Merge);
        for (TDrawItem* T : FTargets) {
            std::unique_ptr<TDrawItem> C = dynamic_cast<TDrawGroup*>(T)
                                               ? static_cast<TDrawGroup*>(T)->MakePropertyObject()
                                               : CopyOf(T);
            if (C) {
                MarkDrawItemSilent(*C);
                Merge.AddChild(std::move(C), -1);
            }
        }
        Buf = Merge.MakePropertyObject();
    } else if (!FTargets.empty()) {
        Buf = CopyOf(FTargets.front());
    }
    // The property object keeps its identity across edits (the macro page
    // holds on to it): the new values are copied into it.
    if (FDrawItemBuf && Buf && &FDrawItemBuf->GetClass() == &Buf->GetClass())
        FDrawItemBuf->Assign(Buf.get());
    else
        FDrawItemBuf = std::move(Buf);
    FDrawItemOrg = CopyOf(FDrawItemBuf.get());
}

void TfrmObjProperty::RevertLive()
{
    if (!FbLiveChanged)
        return;
    FbLiveChanged = false;
    THistoryLock Lock(FPage ? FPage->GetHistory() : nullptr);
    for (size_t I = 0; I < FTargets.size() && I < FDrawItemCopy.size(); ++I)
        if (FDrawItemCopy[I]) {
            FTargets[I]->Invalidate(true);
            FTargets[I]->Assign(FDrawItemCopy[I].get());
            FTargets[I]->CalcExtentsAndInvalidate();
        }
    if (FDrawItemBuf && FDrawItemOrg)
        FDrawItemBuf->Assign(FDrawItemOrg.get());
}

void TfrmObjProperty::RunCommand(const std::string& Caption, const std::function<void()>& Body)
{
    RunRolledBack(FPage ? FPage->GetHistory() : nullptr, Caption, Body);
}

void TfrmObjProperty::OneStep(const std::string& Caption, const std::function<void()>& Body)
{
    if (FiUpdating > 0 || !FDrawItem)
        return;
    CommitPending();
    ++FiUpdating;
    try {
        RunCommand(Caption, Body);
    } catch (...) {
        --FiUpdating;
        TakeCopies();
        RefreshAfterEdit(false);
        throw;
    }
    --FiUpdating;
    ItemsEdited();
}

void TfrmObjProperty::ItemsEdited()
{
    TakeCopies();
    RefreshAfterEdit(false);
    PostShowItemsAgain();
}

void TfrmObjProperty::PostShowItemsAgain()
{
    if (FbShowPosted || FbShowingAgain || !FDoc)
        return;
    FbShowPosted = true;
    QTimer::singleShot(0, this, [this] {
        FbShowPosted = false;
        // Not while a value is applied or waits, typed, for its commit: the
        // load would take the items as they are live for the copies that
        // commit puts back.
        if (FDoc && !Busy() && !FbLiveChanged && !FTextLiveOrigin)
            ShowItemsAgain();
    });
}

void TfrmObjProperty::ItemsChangedLive()
{
    HoldLive(nullptr);
    RefreshAfterEdit(true);
}

void TfrmObjProperty::SetHandlesHidden(bool Hidden)
{
    if (FDoc)
        FDoc->SetHandlesHidden(Hidden);
}

void TfrmObjProperty::RefreshAfterEdit(bool Live)
{
    if (!FDoc)
        return;
    if (Live)
        FDoc->RepaintView();
    else
        FDoc->SelectionEdited();
}

// ---------------------------------------------------------------------------
// Number edits

void TfrmObjProperty::BindEdit(TEditTrackBarWex* Edit)
{
    Edit->OnChange = [this, Edit](QObject*) { LiveChange(Edit); };
    Edit->OnCommit = [this, Edit](QObject*) { CommitEdit(Edit); };
    Edit->OnModifyStart = [this, Edit](QObject*) { ModifyStart(Edit); };
    Edit->OnModifyEnd = [this, Edit](QObject*) { ModifyEnd(Edit); };
    Edit->OnRevert = [this, Edit](QObject*) { RevertEdit(Edit); };
}

std::string TfrmObjProperty::EditCaption(TCustomEditTrackBarWex* Edit) const
{
    if (Edit == edtObjAngle)
        return "回転角の設定";
    if (Edit == edtPosiX)
        return "位置Xの設定";
    if (Edit == edtPosiY)
        return "位置Yの設定";
    if (Edit == edtWidth)
        return "幅の設定";
    if (Edit == edtHeight)
        return "高さの設定";
    if (Edit == edtCornerNum)
        return "角数の設定";
    if (Edit == edtTextStartPos)
        return "パス端から文字までの距離の設定";
    if (Edit == edtVOffset)
        return "軸方向オフセット量の設定";
    if (Edit == edtLineSpacing)
        return "行間の設定";
    if (Edit == edtSpacing)
        return "字間の設定";
    if (Edit == edtBase)
        return "縦位置の設定";
    if (Edit == edtSize)
        return "文字サイズの設定";
    const int32_t Tag = Edit->property("Tag").toInt();
    QWidget* Page = Edit->parentWidget();
    // The label of the same Tag names the value.
    for (QObject* O : Page->children())
        if (auto* L = qobject_cast<QLabel*>(O); L && L->property("Tag").toInt() == Tag && L->text() != "%" &&
                                               L != lblPixel && L != lblAbsolute)
            return WithoutColon(L->text()) + "の設定";
    return "プロパティの設定";
}

void TfrmObjProperty::LiveChange(TCustomEditTrackBarWex* Edit)
{
    if (FiUpdating > 0 || !FDrawItem || Edit->text().isEmpty())
        return;
    ++FiUpdating;
    try {
        THistoryLock Lock(FPage ? FPage->GetHistory() : nullptr);
        HoldLive(Edit);
        FbLiveChanged = true;
        ApplyEdit(Edit, Edit->Position());
    } catch (...) {
        // What the failed step changed of some items goes, as every live
        // change before it: the items are as the panel loaded them.
        try {
            RevertLive();
        } catch (...) {
        }
        --FiUpdating;
        RefreshAfterEdit(true);
        throw;
    }
    --FiUpdating;
    RefreshAfterEdit(true);
}

void TfrmObjProperty::HoldLive(TCustomEditTrackBarWex* Edit)
{
    if (Edit) {
        // The document's flag before the first live change: a revert gives
        // it back (the live changes were no change of the document).
        if (!FbLiveChanged && !FTextLiveOrigin) {
            auto* Document = FPage ? dynamic_cast<TOLEDocumentWex*>(FPage->Document()) : nullptr;
            FbLiveWasModified = !Document || Document->Modified();
        }
        FLiveEdit = Edit;
    }
    // Any step of a history while the value is live commits it first. The
    // hook outlives no panel: it asks through a guarded pointer.
    THistoryCommand::BeforeStep = [Panel = QPointer<TfrmObjProperty>(this)](THistoryCommand*) {
        if (Panel)
            Panel->CommitPending();
    };
}

void TfrmObjProperty::CommitPending()
{
    // Within the panel's own change, or while it loads: its caller ended
    // the live value first.
    if (FbEndingLive || FbCommitting || FiUpdating > 0)
        return;
    FbEndingLive = true;
    struct TEnd {
        bool& Flag;
        ~TEnd() { Flag = false; }
    } End{FbEndingLive};
    if (MacroPage)
        MacroPage->CommitLive();
    const QPointer<TCustomEditTrackBarWex> Edit = std::exchange(FLiveEdit, nullptr);
    if (Edit && (FbLiveChanged || FTextLiveOrigin))
        Edit->CommitTyped();
    if (FbLiveChanged || FTextLiveOrigin)
        RevertEdit(nullptr);
}

void TfrmObjProperty::RevertEdit(TCustomEditTrackBarWex*)
{
    if (FiUpdating > 0)
        return;
    FLiveEdit = nullptr;
    if (!FbLiveChanged && !FTextLiveOrigin)
        return;
    ++FiUpdating;
    try {
        RevertLive();
        RevertTextLive();
    } catch (...) {
        --FiUpdating;
        RefreshAfterEdit(false);
        throw;
    }
    --FiUpdating;
    if (auto* Document = FPage ? dynamic_cast<TOLEDocumentWex*>(FPage->Document()) : nullptr;
        Document && !FbLiveWasModified)
        Document->SetModified(false);
    RefreshAfterEdit(false);
}

void TfrmObjProperty::CommitEdit(TCustomEditTrackBarWex* Edit)
{
    if (FiUpdating > 0 || !FDrawItem || Edit->text().isEmpty())
        return;
    // The value as the edit quantises it: a line spacing of 1.5 stays 1.5.
    const double Precision = Edit->Precision() > 0 ? Edit->Precision() : 1;
    const double Value = double(RoundOff(Edit->Position() / Precision)) * Precision;
    ++FiUpdating;
    FbCommitting = true;
    try {
        RevertLive();
        RunCommand(EditCaption(Edit), [&] { ApplyEdit(Edit, Value); });
    } catch (...) {
        FbCommitting = false;
        --FiUpdating;
        FbLiveChanged = false;
        ItemsEdited();
        throw;
    }
    FbCommitting = false;
    --FiUpdating;
    ItemsEdited();
}

void TfrmObjProperty::ModifyStart(TCustomEditTrackBarWex*)
{
    if (FbModifying)
        return;
    FbModifying = true;
    if (THistoryCommand* H = FPage ? FPage->GetHistory() : nullptr)
        H->LockAddHistory();
    SetHandlesHidden(true);
    if (FDoc)
        FDoc->RepaintView();
    if (RichEdit)
        RichEdit->setUpdatesEnabled(false);
}

void TfrmObjProperty::ModifyEnd(TCustomEditTrackBarWex*)
{
    if (!FbModifying)
        return;
    FbModifying = false;
    if (THistoryCommand* H = FPage ? FPage->GetHistory() : nullptr)
        H->UnLockAddHistory();
    // The edit commits right after this (its OnCommit).
    if (RichEdit) {
        RichEdit->setUpdatesEnabled(true);
        RichEdit->update();
    }
    if (FDoc)
        FDoc->RepaintView();
    SetHandlesHidden(false);
}

void TfrmObjProperty::ApplyEdit(TCustomEditTrackBarWex* Edit, double Value)
{
    TDrawItem* Buf = FDrawItemBuf.get();
    auto Both = [&](const std::function<void(TDrawItem&)>& Fn) {
        Fn(*FDrawItem);
        if (Buf)
            Fn(*Buf);
    };
    if (Edit == edtObjAngle) {
        const double Angle = double(float(Value * M_PI / 180.0));
        Both([&](TDrawItem& I) { TDrawItem::SetItemsAngle(I, Angle); });
    } else if (Edit == edtPosiX) {
        Both([&](TDrawItem& I) { TDrawItem::SetItemsPosX(I, int32_t(RoundOff(Value))); });
    } else if (Edit == edtPosiY) {
        Both([&](TDrawItem& I) { TDrawItem::SetItemsPosY(I, int32_t(RoundOff(Value))); });
    } else if (Edit == edtWidth || Edit == edtHeight) {
        SizeEdit(Edit);
    } else if (Edit == edtCornerNum) {
        CornerNumEdit();
    } else if (Edit == edtRIn || Edit == edtAbsRIn) {
        RInEdit(Edit, Value);
    } else if (Edit->parentWidget() == TabSheetShape) {
        RatioEdit(Edit, Value);
    } else if (Edit->parentWidget() == TabSheetOutline) {
        OutlineEdit(Edit, Value);
    } else if (Edit == edtTextStartPos || Edit == edtVOffset) {
        auto* Text = dynamic_cast<TTextObj*>(Buf);
        if (!Text)
            return;
        TrecTextParam Rec = Text->Layout();
        (Edit == edtTextStartPos ? Rec.Value1 : Rec.Value2) = int32_t(RoundOff(Value));
        Both([&](TDrawItem& I) { TDrawItem::SetTextLayoutParam(I, Rec); });
    } else if (Edit == edtLineSpacing) {
        for (TDrawItem* T : FTargets)
            if (auto* Text = dynamic_cast<TTextObj*>(T); Text && Text->ParagraphStyle().LineSpacing != Value)
                Text->SetLineSpacing(Value);
        if (auto* Text = dynamic_cast<TTextObj*>(Buf))
            Text->ParagraphStyle().LineSpacing = Value;
    }
}

void TfrmObjProperty::SizeEdit(TCustomEditTrackBarWex* Edit)
{
    auto* Shape = dynamic_cast<TParamObj*>(FDrawItemBuf.get());
    if (!Shape)
        return;
    if (Edit != edtWidth && Edit != edtHeight)
        throw EUserError("TfrmObjProperty.edtWidthHeightChange: Illegal Tag");
    // The edit holds the size to its range (1 to twice the page).
    const int32_t V = int32_t(RoundOff(Edit->Position()));
    const int32_t W = Edit == edtWidth ? V : Shape->Width();
    const int32_t H = Edit == edtHeight ? V : Shape->Height();
    Shape->SetFrame(Shape->X(), Shape->Y(), W, H);
    TDrawItem::SetParamSize(*FDrawItem, Shape->Width(), Shape->Height());
    if (Shape->Width() > 0)
        edtAbsRIn->SetMax(Shape->Width() / 2);
}

void TfrmObjProperty::CornerNumEdit()
{
    TDrawItem* Buf = FDrawItemBuf.get();
    auto* Star = dynamic_cast<TStarObj*>(Buf);
    auto* Poly = dynamic_cast<TPolygonObj*>(Buf);
    if (!Star && !Poly)
        return;
    // The edit's range runs from the shape's least count to 10000.
    const int32_t N = int32_t(RoundOff(edtCornerNum->Position()));
    if (Star) {
        TrecStarParam P = Star->Param();
        P.Count = N;
        Star->SetParam(P);
        TDrawItem::SetStarParam(*FDrawItem, P);
    } else {
        TrecPolygonParam P = Poly->Param();
        P.Count = N;
        Poly->SetParam(P);
        TDrawItem::SetPolygonParam(*FDrawItem, P);
    }
}

void TfrmObjProperty::RInEdit(TCustomEditTrackBarWex* Edit, double Value)
{
    auto* Star = dynamic_cast<TStarObj*>(FDrawItemBuf.get());
    if (!Star)
        return;
    TrecStarParam P = Star->Param();
    const int32_t Width = Star->Width();
    // Each edit holds its value to its range: 0 to 100 %, 0 to half the width.
    double Ratio;
    if (Edit == edtRIn) {
        Ratio = std::clamp(Value / 100, 0.0, 1.0);
        if (Width > 0)
            edtAbsRIn->SetPosition(double(int32_t((Width / 2) * Ratio)));
    } else {
        Ratio = Width == 0 ? 1 : std::clamp(2 * double(RoundOff(Value)) / Width, 0.0, 1.0);
        edtRIn->SetPosition(double(RoundOff(100 * Ratio)));
    }
    P.InnerRadius = Ratio;
    Star->SetParam(P);
    TDrawItem::SetStarParam(*FDrawItem, P);
}

void TfrmObjProperty::RatioEdit(TCustomEditTrackBarWex* Edit, double Value)
{
    const int32_t Tag = Edit->property("Tag").toInt();
    if (Tag > 6)
        throw EUserError("TfrmObjProperty.edtRatioChange: edit.tag is Illegal");
    TDrawItem* Buf = FDrawItemBuf.get();
    const bool Corner = Tag == 4 || Tag == 5;
    // The edit holds the value to its range: -100 to 100 % for the corner
    // radii, 0 to 100 % for the others.
    const int32_t V = int32_t(RoundOff(Value));
    auto ToStored = [](int32_t Percent) { return int32_t(int64_t(Percent) * 32768 / 100); };
    // As the page shows a stored radius: to the nearest percent.
    auto ToPercent = [](int32_t Stored) { return int32_t(RoundOff(double(Stored) * 100 / 32768)); };
    if (auto* Star = dynamic_cast<TStarObj*>(Buf)) {
        TrecStarParam P = Star->Param();
        int32_t* Fields[6] = {nullptr, &P.AngleVariation, &P.OuterVariation, &P.InnerVariation, &P.Corner1, &P.Corner2};
        int32_t* F = Fields[Tag >= 1 && Tag <= 5 ? Tag : 0];
        if (!F)
            return;
        const int32_t Current = Corner ? ToPercent(*F) : *F;
        if (V == Current)
            return;
        *F = Corner ? ToStored(V) : V;
        Star->SetParam(P);
        TDrawItem::SetStarParam(*FDrawItem, P);
    } else if (auto* Poly = dynamic_cast<TPolygonObj*>(Buf)) {
        TrecPolygonParam P = Poly->Param();
        int32_t* F = Tag == 1 ? &P.AngleVariation : Tag == 2 ? &P.RadiusVariation : Tag == 4 ? &P.CornerSize : nullptr;
        if (!F)
            return;
        const int32_t Current = Corner ? ToPercent(*F) : *F;
        if (V == Current)
            return;
        *F = Corner ? ToStored(V) : V;
        Poly->SetParam(P);
        TDrawItem::SetPolygonParam(*FDrawItem, P);
    } else if (auto* Rect = dynamic_cast<TRectObj*>(Buf)) {
        if (Tag != 4)
            return;
        TrecRectParam P = Rect->Param();
        const int32_t Current = ToPercent(P.CornerRadius);
        if (V == Current)
            return;
        P.CornerRadius = ToStored(V);
        Rect->SetParam(P);
        TDrawItem::SetRectParam(*FDrawItem, P);
    } else {
        throw EUserError("TfrmObjProperty.edtCnrROutChange: FDrawItemBuf is Illegal");
    }
}

void TfrmObjProperty::OutlineEdit(TCustomEditTrackBarWex* Edit, double Value)
{
    const int32_t Tag = Edit->property("Tag").toInt();
    if (Tag > 10 || Tag < 1)
        throw EUserError("TfrmObjProperty.edtOutlinePageChange: edit.tag is Illegal");
    auto* Line = dynamic_cast<TLineObject*>(FDrawItemBuf.get());
    if (!Line)
        throw EUserError("TfrmObjProperty.edtOutlinePageChange: FDrawItemBuf is Illegal");
    TOutline O;
    O.Assign(Line->Outline());
    TrecOutlineParams& P = O.Params;
    const double Ratio = Value / 100;
    const int32_t Count = int32_t(RoundOff(Value));
    switch (Tag) {
    case 1: P.TopShift = Ratio; break;
    case 2: P.TopWidth = Ratio; break;
    case 4: P.BottomWidth = Ratio; break;
    case 5:
        P.TopArcHeight = Ratio;
        if (O.FOutlineKind == 3)
            P.BottomArcHeight = -Ratio;
        else if (O.FOutlineKind == 5)
            P.BottomArcHeight = Ratio;
        break;
    case 6: P.BottomArcHeight = Ratio; break;
    case 7:
        if (P.TopArcCount == Count)
            return;
        P.TopArcCount = Count;
        if (O.FOutlineKind == 5)
            P.BottomArcCount = Count;
        break;
    case 8:
        if (P.BottomArcCount == Count)
            return;
        P.BottomArcCount = Count;
        break;
    case 9: P.ArcFactor = Ratio; break;
    case 10: P.HeightScale = Ratio; break;
    default: return;
    }
    TDrawItem::SetOutline(*Line, O);
    TDrawItem::SetOutline(*FDrawItem, O);
}

// ---------------------------------------------------------------------------
// One-step controls

void TfrmObjProperty::ApplyWireframeColor(int32_t Color)
{
    OneStep("ワイヤフレーム表示色の設定", [&] { TDrawItem::SetWireframeColor(*FDrawItem, Color); });
    pnlcolbtnDrawCol->SetColor(Color);
    pnlcolbtnDrawCol->SetCaption("");
}

void TfrmObjProperty::pnlcolbtnDrawColClick()
{
    if (FiUpdating > 0 || !FDrawItem)
        return;
    ColorDialogWex.Color = pnlcolbtnDrawCol->Color();
    if (ColorDialogWex.Execute())
        ApplyWireframeColor(ColorDialogWex.Color);
}

void TfrmObjProperty::pnlcolbtnDrawColColorDropped(int32_t Color)
{
    ApplyWireframeColor(Color);
}

void TfrmObjProperty::btnSeedClick()
{
    const int32_t Seed = RandomSeed ? RandomSeed() : int32_t(QRandomGenerator::global()->bounded(0x40000000));
    TDrawItem* Buf = FDrawItemBuf.get();
    if (auto* Star = dynamic_cast<TStarObj*>(Buf)) {
        TrecStarParam P = Star->Param();
        P.Seed = Seed;
        OneStep("「別パターン」の実行", [&] { TDrawItem::SetStarParam(*FDrawItem, P); });
    } else if (auto* Poly = dynamic_cast<TPolygonObj*>(Buf)) {
        TrecPolygonParam P = Poly->Param();
        P.Seed = Seed;
        OneStep("「別パターン」の実行", [&] { TDrawItem::SetPolygonParam(*FDrawItem, P); });
    }
}

void TfrmObjProperty::cmbOutlineChange()
{
    auto* Line = dynamic_cast<TLineObject*>(FDrawItemBuf.get());
    const int32_t Kind = cmbOutline->currentIndex();
    if (FiUpdating > 0 || !Line || Kind < 0 || Kind == Line->Outline().FOutlineKind)
        return;
    TOutline O;
    O.Assign(Line->Outline());
    O.FOutlineKind = uint8_t(Kind);
    OneStep("アウトラインの種類を設定", [&] { TDrawItem::SetOutline(*FDrawItem, O); });
    ++FiUpdating;
    LoadOutlinePage();
    --FiUpdating;
}

void TfrmObjProperty::btnDefaultClick(QPushButton* Button)
{
    TDefaultData* D = GetDefaultAttributes();
    auto* Obj = dynamic_cast<TDrawObject*>(FDrawItemBuf.get());
    if (!D || !Obj)
        return;
    if (Button == btnDefGeneral) {
        if (Obj->WireframeColor() != -1)
            D->WireframeColor = Obj->WireframeColor();
    } else if (Button == btnDefMacPaint) {
        if (D->Macros)
            D->Macros->Assign(&Obj->Macros());
        if (cboxFillPath->checkState() != Qt::PartiallyChecked)
            D->FillPath = cboxFillPath->isChecked() ? 1 : 0;
    } else if (Button == btnDefShape) {
        if (auto* R = dynamic_cast<TRectObj*>(Obj))
            MergeRectParam(D->RectParam, R->Param());
        else if (auto* P = dynamic_cast<TPolygonObj*>(Obj))
            MergePolygonParam(D->PolygonParam, P->Param());
        else if (auto* S = dynamic_cast<TStarObj*>(Obj))
            MergeStarParam(D->StarParam, S->Param());
    } else if (Button == btnDefText) {
        // Lengths in the text page's units become pixels.
        auto Pixels = [this](TCustomEditTrackBarWex* Edit, QComboBox* Unit) {
            return int32_t(::ToPixel(std::max(0, Unit->currentIndex()), FiDPI, Edit->Position()));
        };
        if (!edtSize->text().isEmpty())
            D->Font.Height = Pixels(edtSize, cmbUTSize);
        const QList<QAction*> Styles = ToolBarFontStyle->actions();
        if (Styles.size() >= 2) {
            D->Font.Style[0] = Styles[0]->isChecked() ? 1 : 0;
            D->Font.Style[1] = Styles[1]->isChecked() ? 1 : 0;
        }
        if (!edtSpacing->text().isEmpty())
            D->Font.Value2 = Pixels(edtSpacing, cmbUTSpacing);
        if (!edtBase->text().isEmpty())
            D->Font.Value1 = Pixels(edtBase, cmbUTBase);
        if (cmbLineSpacingRule->currentIndex() >= 0) {
            D->Value1 = cmbLineSpacingRule->currentIndex();
            D->Byte1 = uint8_t(cmbLineSpacingRule->currentIndex() == 0 ? 0 : std::max(0, cmbUTLineSpacing->currentIndex()));
        }
        if (!edtLineSpacing->text().isEmpty())
            D->Double1 = edtLineSpacing->Position();
    }
}

void TfrmObjProperty::BindHandlers()
{
    for (QPushButton* B : {btnDefGeneral, btnDefMacPaint, btnDefShape, btnDefText, btnDefOutline})
        connect(B, &QPushButton::clicked, this, [this, B] { btnDefaultClick(B); });
    connect(btnRandomSeed, &QPushButton::clicked, this, [this] { btnSeedClick(); });
    pnlcolbtnDrawCol->OnClick = [this](QObject*) { pnlcolbtnDrawColClick(); };
    pnlcolbtnDrawCol->OnColorDropped = [this](QObject*, int32_t C) { pnlcolbtnDrawColColorDropped(C); };
    // The name is kept as CP932: what it cannot hold is left out as it is
    // typed or pasted, and again where the name enters the item, rather than
    // stored as "?".
    KeepToCp932(*edtObjName);
    connect(edtObjName, &QLineEdit::editingFinished, this, [this] {
        if (FbMulti || !FDrawItem)
            return;
        const std::string Name = Utf8ToCp932(KeepCp932Characters(edtObjName->text().toStdString()));
        if (Name != FDrawItem->Name())
            OneStep("名前の変更", [&] { FDrawItem->SetName(Name); });
    });
    connect(cmbLayer, &QComboBox::activated, this, [this](int Index) {
        TLayers* Layers = FPage ? FPage->GetLayers() : nullptr;
        if (!Layers || Index < 0 || Index >= Layers->GetCount())
            return;
        TLayer* Layer = Layers->GetLayer(Index);
        OneStep("レイヤの変更", [&] { TDrawItem::SetItemsLayer(*FDrawItem, Layer); });
    });
    // A click on a greyed box decides for checked.
    auto Decided = [](QCheckBox* Box) {
        if (Box->checkState() == Qt::PartiallyChecked)
            Box->setCheckState(Qt::Checked);
        return uint8_t(Box->isChecked() ? 1 : 0);
    };
    connect(cboxFillPath, &QCheckBox::clicked, this, [this, Decided] {
        const uint8_t Flag = Decided(cboxFillPath);
        OneStep("「内部を塗り潰す」の変更", [&] { TDrawItem::SetItemsFillPath(*FDrawItem, Flag); });
    });
    connect(cmbTextPaintKind, &QComboBox::activated, this, [this](int Index) {
        if (Index >= 0)
            OneStep("'描画方法'の変更", [&] { TDrawItem::SetTextPaintKind(*FDrawItem, uint8_t(Index)); });
    });
    connect(cboxBeveled, &QCheckBox::clicked, this, [this, Decided] {
        auto* Rect = dynamic_cast<TRectObj*>(FDrawItemBuf.get());
        if (!Rect)
            return;
        TrecRectParam P = Rect->Param();
        P.Bevel = Decided(cboxBeveled);
        OneStep("「ベベル形状」の変更", [&] { TDrawItem::SetRectParam(*FDrawItem, P); });
    });
    connect(cmbRNum, &QComboBox::activated, this, [this](int Index) {
        auto* Rect = dynamic_cast<TRectObj*>(FDrawItemBuf.get());
        if (!Rect || Index < 0 || Index > 2)
            return;
        TrecRectParam P = Rect->Param();
        P.CornerCount = uint16_t(1 << Index);
        OneStep("「角数」の変更", [&] { TDrawItem::SetRectParam(*FDrawItem, P); });
        ++FiUpdating;
        LoadRectCorners(P.CornerCount, P.CornerPosition);
        --FiUpdating;
    });
    connect(cmbRPos, &QComboBox::activated, this, [this](int Index) {
        auto* Rect = dynamic_cast<TRectObj*>(FDrawItemBuf.get());
        if (!Rect || Index < 0)
            return;
        TrecRectParam P = Rect->Param();
        P.CornerPosition = uint16_t(Index);
        OneStep("「角の位置」の変更", [&] { TDrawItem::SetRectParam(*FDrawItem, P); });
    });
    connect(cmbOutline, &QComboBox::activated, this, [this](int) { cmbOutlineChange(); });
    connect(cboxTransChar, &QCheckBox::clicked, this, [this, Decided] {
        auto* Line = dynamic_cast<TLineObject*>(FDrawItemBuf.get());
        if (!Line)
            return;
        TOutline O;
        O.Assign(Line->Outline());
        O.Params.ArcMode = Decided(cboxTransChar);
        OneStep("「" + cboxTransChar->text().toStdString() + "」の変更",
                [&] { TDrawItem::SetOutline(*FDrawItem, O); });
    });
    connect(cmbZoom, &QComboBox::currentIndexChanged, this, [this](int Index) {
        if (FiUpdating > 0 || Index < 0 || !RichEdit)
            return;
        const int Zoom = (Index + 1) * 10;
        if (RichEdit->property("Zoom").toInt() != Zoom)
            RichEdit->setProperty("Zoom", Zoom);
    });
}
