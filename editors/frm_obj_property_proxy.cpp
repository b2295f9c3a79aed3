#include "editors/frm_obj_property_proxy.h"

#include "foundation/streams.h"

#include <algorithm>

TSelectionItems::TSelectionItems(std::vector<TDrawItem*> Items) : TDrawItem(nullptr, -1), FItems(std::move(Items))
{
    MarkDrawItemSilent(*this);
}

namespace {

TRect Union(const std::vector<TDrawItem*>& Items, TRect (TDrawItem::*Fn)())
{
    TRect R{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (TDrawItem* I : Items) {
        const TRect B = (I->*Fn)();
        R.Left = std::min(R.Left, B.Left);
        R.Top = std::min(R.Top, B.Top);
        R.Right = std::max(R.Right, B.Right);
        R.Bottom = std::max(R.Bottom, B.Bottom);
    }
    return R;
}

} // namespace

TRect TSelectionItems::GetPaintExtent() { return Union(FItems, &TDrawItem::GetPaintExtent); }
TRect TSelectionItems::GetSourceExtent() { return Union(FItems, &TDrawItem::GetSourceExtent); }
TRect TSelectionItems::GetBounds() { return Union(FItems, &TDrawItem::GetBounds); }

void TSelectionItems::CalcExtents()
{
    for (TDrawItem* I : FItems)
        I->CalcExtents();
}

void TSelectionItems::ResetExtents()
{
    for (TDrawItem* I : FItems)
        I->ResetExtents();
}

void TSelectionItems::CalcExtentsAndInvalidate()
{
    for (TDrawItem* I : FItems)
        I->CalcExtentsAndInvalidate();
}

void TSelectionItems::Invalidate(bool Flag)
{
    for (TDrawItem* I : FItems)
        I->Invalidate(Flag);
}

void TSelectionItems::RebuildPath()
{
    for (TDrawItem* I : FItems)
        I->RebuildPath();
}

void TSelectionItems::SetLayer(TLayer* Layer)
{
    for (TDrawItem* I : FItems)
        I->SetLayer(Layer);
}

void TSelectionItems::MoveBy(int32_t DX, int32_t DY)
{
    for (TDrawItem* I : FItems)
        I->MoveBy(DX, DY);
}

void TSelectionItems::Rotate(double CX, double CY, double Angle)
{
    for (TDrawItem* I : FItems)
        I->Rotate(CX, CY, Angle);
}

void TSelectionItems::ScaleTo(double CX, double CY, double FX, double FY)
{
    for (TDrawItem* I : FItems)
        I->ScaleTo(CX, CY, FX, FY);
}

// Each change goes through the tree-wide setter of each item, so that groups
// among the selected items reach their leaves.
#define FORWARD(Call)            \
    for (TDrawItem* I : FItems)  \
        TDrawItem::Call;         \
    return true

bool TSelectionItems::DoSetWireframeColor(int32_t Colour) { FORWARD(SetWireframeColor(*I, Colour)); }
bool TSelectionItems::DoDeleteFMacro(int32_t Index) { FORWARD(DeleteFMacro(*I, Index)); }
bool TSelectionItems::DoExchangeFMacro(int32_t Index1, int32_t Index2) { FORWARD(ExchangeFMacro(*I, Index1, Index2)); }
bool TSelectionItems::DoMoveFMacro(int32_t FromIndex, int32_t ToIndex) { FORWARD(MoveFMacro(*I, FromIndex, ToIndex)); }
bool TSelectionItems::DoInsertFMacro(int32_t Index, const TMacro& Macro) { FORWARD(InsertFMacro(*I, Index, Macro)); }
bool TSelectionItems::DoSetFMacrosPaintParam(const TMacros& Macros) { FORWARD(SetFMacrosPaintParam(*I, Macros)); }
bool TSelectionItems::DoSetFMacroEnabled(int32_t Index, uint8_t Flag) { FORWARD(SetFMacroEnabled(*I, Index, Flag)); }
bool TSelectionItems::DoClearMacrosPictCache(int32_t Index) { FORWARD(ClearMacrosPictCache(*I, Index)); }
bool TSelectionItems::DoTranslatePictureHandles(const TList2Item& Map) { FORWARD(TranslatePictureHandles(*I, Map)); }
bool TSelectionItems::DoSetItemsFillPath(uint8_t Flag) { FORWARD(SetItemsFillPath(*I, Flag)); }
bool TSelectionItems::DoSetItemLayer(TLayer* Layer) { FORWARD(SetItemsLayer(*I, Layer)); }
bool TSelectionItems::DoSetOutline(const TOutline& Outline) { FORWARD(SetOutline(*I, Outline)); }
bool TSelectionItems::DoSetParamSize(int32_t Width, int32_t Height) { FORWARD(SetParamSize(*I, Width, Height)); }
bool TSelectionItems::DoSetRectParam(const TrecRectParam& Rec) { FORWARD(SetRectParam(*I, Rec)); }
bool TSelectionItems::DoSetPolygonParam(const TrecPolygonParam& Rec) { FORWARD(SetPolygonParam(*I, Rec)); }
bool TSelectionItems::DoSetStarParam(const TrecStarParam& Rec) { FORWARD(SetStarParam(*I, Rec)); }
bool TSelectionItems::DoSetTextPaintKind(uint8_t Kind) { FORWARD(SetTextPaintKind(*I, Kind)); }
bool TSelectionItems::DoSetTextLayoutParam(const TrecTextParam& Rec) { FORWARD(SetTextLayoutParam(*I, Rec)); }
bool TSelectionItems::DoSetItemAngle(double Angle) { FORWARD(SetItemsAngle(*I, Angle)); }
bool TSelectionItems::DoSetItemPosX(int32_t X) { FORWARD(SetItemsPosX(*I, X)); }
bool TSelectionItems::DoSetItemPosY(int32_t Y) { FORWARD(SetItemsPosY(*I, Y)); }

bool TSelectionItems::DoSetFMacros(TStream& Stream)
{
    const int64_t Start = Stream.Position();
    for (TDrawItem* I : FItems) {
        Stream.SetPosition(Start);
        TDrawItem::SetFMacros(*I, Stream);
    }
    return true;
}
#undef FORWARD
