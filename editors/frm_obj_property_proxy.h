// A multi-selection as one draw item: the items stay where they are (their
// own groups own them) and every tree-wide change the panel makes through
// TDrawItem's setters reaches each of them. It is no group, so the setters
// treat it as one leaf whose changes it hands on.
#pragma once

#include "model/draw_item.h"

#include <vector>

class TSelectionItems : public TDrawItem {
public:
    explicit TSelectionItems(std::vector<TDrawItem*> Items);

    const std::vector<TDrawItem*>& Items() const { return FItems; }
    TDrawItem* FirstStoodFor() override { return FItems.empty() ? nullptr : FItems.front(); }

    TRect GetPaintExtent() override;
    TRect GetSourceExtent() override;
    void CalcExtents() override;
    void ResetExtents() override;
    void Paint(TrecDrawTarget&, uint8_t, TListRecPict*, uint8_t*, int32_t) override {}
    void CalcExtentsAndInvalidate() override;
    void Invalidate(bool Flag) override;
    void DrawDragFrame(TDragFrameDC&, int32_t) override {}
    TRect GetBounds() override;
    bool SameAttributes(TDrawItem*) override { return false; }
    void RebuildPath() override;
    bool IsSameItem(const TDrawItem* Other) const override { return Other == this; }
    void CollectPictureHandles(TListPtrWex&, const TListRecPict&) override {}
    void SetLayer(TLayer* Layer) override;
    void MoveBy(int32_t DX, int32_t DY) override;
    void Rotate(double CX, double CY, double Angle) override;
    void ScaleTo(double CX, double CY, double FX, double FY) override;
    bool SnapPoint(TPoint&, int32_t) override { return false; }
    int32_t DistanceTo(const TPoint&) override { return INT32_MAX; }
    bool HitTest(const TPoint&, int32_t) override { return false; }
    bool NodeNear(const TPoint&, int32_t) override { return false; }

    bool DoSetWireframeColor(int32_t Colour) override;
    bool DoDeleteFMacro(int32_t Index) override;
    bool DoExchangeFMacro(int32_t Index1, int32_t Index2) override;
    bool DoMoveFMacro(int32_t FromIndex, int32_t ToIndex) override;
    bool DoInsertFMacro(int32_t Index, const TMacro& Macro) override;
    bool DoSetFMacros(TStream& Stream) override;
    bool DoSetFMacrosPaintParam(const TMacros& Macros) override;
    bool DoSetFMacroEnabled(int32_t Index, uint8_t Flag) override;
    bool DoClearMacrosPictCache(int32_t Index) override;
    bool DoTranslatePictureHandles(const TList2Item& Map) override;
    bool DoSetItemsFillPath(uint8_t Flag) override;
    bool DoSetItemLayer(TLayer* Layer) override;
    bool DoSetOutline(const TOutline& Outline) override;
    bool DoSetParamSize(int32_t Width, int32_t Height) override;
    bool DoSetRectParam(const TrecRectParam& Rec) override;
    bool DoSetPolygonParam(const TrecPolygonParam& Rec) override;
    bool DoSetStarParam(const TrecStarParam& Rec) override;
    bool DoSetTextPaintKind(uint8_t Kind) override;
    bool DoSetTextLayoutParam(const TrecTextParam& Rec) override;
    bool DoSetItemAngle(double Angle) override;
    bool DoSetItemPosX(int32_t X) override;
    bool DoSetItemPosY(int32_t Y) override;

private:
    std::vector<TDrawItem*> FItems; // not owned
};
