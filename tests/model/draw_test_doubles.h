// Recording doubles for the draw-item tests: a page with its own history,
// document and layers, and minimal leaf classes standing in for the draw
// objects.
#pragma once

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "foundation/lists.h"
#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/draw_item.h"
#include "model/layer.h"
#include "model/page_link.h"
#include "store/history.h"

class TTestDocument : public TDocumentLink {
public:
    void SetModified(bool Value) override
    {
        Modified = Value;
        ++ModifiedCalls;
    }
    TListRecPict* GetPictureStore() override { return nullptr; }
    bool Modified = false;
    int32_t ModifiedCalls = 0;
};

class TTestPage : public TPageLink {
public:
    THistoryCommand* GetHistory() override { return WithHistory ? &History : nullptr; }
    TDocumentLink* GetDocument() override { return &Document; }
    bool IsDestroying() const override { return Destroying; }
    void InvalidateRect(const TRect* Rect, bool) override
    {
        Invalidated.push_back(Rect ? *Rect : TRect{0, 0, -1, -1});
    }
    TLayers* GetLayers() override { return &Layers; }
    uint8_t GetDisplayMode() const override { return 3; }
    TrecPicture* GetPagePicture() override { return nullptr; }
    uint32_t GetDrawStartTime() const override { return DrawStartTime; }
    void SetDrawStartTime(uint32_t Value) override { DrawStartTime = Value; }
    void SetAnchorsValid(bool Value) override { AnchorsInvalidated += Value ? 0 : 1; }
    bool WithHistory = true;
    THistoryCommand History;
    TTestDocument Document;
    TLayers Layers;
    bool Destroying = false;
    std::vector<TRect> Invalidated;
    uint32_t DrawStartTime = 0;
    int32_t AnchorsInvalidated = 0;
};

// A leaf with a position, a value and a layer index; stored as type
// TestLeafType: the common part, then int32 X, Y, Value and layer index.
class TTestLeaf : public TDrawItem {
public:
    static constexpr uint8_t TestLeafType = 1;
    TTestLeaf(TPageLink* APage, int32_t AID) : TDrawItem(APage, AID) {}
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }
    TRect GetPaintExtent() override { return Extent; }
    TRect GetSourceExtent() override { return Extent; }
    void CalcExtents() override { Extent = {X, Y, X + 9, Y + 9}; }
    // A change: what failed to draw is tried again.
    void ResetExtents() override
    {
        ForgetDrawFailure();
        Extent = EmptyExtent;
    }
    void Paint(TrecDrawTarget&, uint8_t, TListRecPict*, uint8_t* AbortFlag, int32_t) override
    {
        ++Painted;
        if (AbortFlag && AbortOnPaint)
            *AbortFlag = 1;
        if (!FailOnPaint.empty())
            throw EUserError(FailOnPaint);
    }
    void CalcExtentsAndInvalidate() override
    {
        CalcExtents();
        Invalidate(true);
    }
    void Invalidate(bool Flag) override
    {
        ForgetDrawFailure();
        if (Page() && Visible()) {
            const TRect R{X, Y, X + 9, Y + 9};
            Page()->InvalidateRect(&R, Flag);
        }
    }
    void DrawDragFrame(TDragFrameDC&, int32_t) override {}
    TRect GetBounds() override { return {X, Y, X + 9, Y + 9}; }
    bool SameAttributes(TDrawItem* Other) override
    {
        auto* L = dynamic_cast<TTestLeaf*>(Other);
        return L && L->Value == Value;
    }
    void RebuildPath() override {}
    bool IsSameItem(const TDrawItem* Other) const override { return Other == this; }
    void WriteToStream(TStream& Stream) override
    {
        const uint8_t T = TestLeafType;
        Stream.WriteBuffer(&T, 1);
        WriteFields(Stream);
    }
    void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version) override
    {
        TDrawItem::ReadFromStream(Stream, IDMap, Version);
        for (int32_t* V : {&X, &Y, &Value, &LayerIndex})
            Stream.ReadBuffer(V, 4);
        Layer = nullptr;
    }
    void WriteToStreamAsText(TStream& Stream) override
    {
        StreamWriteln(Stream, std::to_string(TestLeafType));
        TDrawItem::WriteToStreamAsText(Stream);
        for (int32_t V : {X, Y, Value, CurrentLayerIndex()})
            StreamWriteln(Stream, std::to_string(V));
    }
    void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version) override
    {
        TDrawItem::ReadFromStreamAsText(Stream, IDMap, Version);
        for (int32_t* V : {&X, &Y, &Value, &LayerIndex})
            *V = StrToInt(StreamReadln(Stream));
        Layer = nullptr;
    }
    void Assign(TDrawItem* Source) override
    {
        TDrawItem::Assign(Source);
        auto* L = dynamic_cast<TTestLeaf*>(Source);
        std::tie(X, Y, Value, Layer) = std::tie(L->X, L->Y, L->Value, L->Layer);
    }
    void CollectPictureHandles(TListPtrWex&, const TListRecPict&) override {}
    void SetLayer(TLayer* ALayer) override { Layer = ALayer; }
    void MoveBy(int32_t DX, int32_t DY) override
    {
        if (DX == 0 && DY == 0)
            return;
        X += DX;
        Y += DY;
    }
    void Rotate(double, double, double Angle) override { Rotated += Angle; }
    void ScaleTo(double, double, double FX, double) override { Scaled = FX; }
    bool SnapPoint(TPoint& P, int32_t SqrRadius) override
    {
        if (SqrDist(P) > SqrRadius)
            return false;
        P = {X, Y};
        return true;
    }
    int32_t DistanceTo(const TPoint& P) override
    {
        return static_cast<int32_t>(std::lround(std::sqrt(double(SqrDist(P)))));
    }
    bool HitTest(const TPoint& P, int32_t Tolerance) override
    {
        return DistanceTo(P) <= Tolerance;
    }
    bool NodeNear(const TPoint& P, int32_t SqrTolerance) override
    {
        return SqrDist(P) < SqrTolerance;
    }
    bool TakeCommonAttributes(TDrawGroup& Group) override
    {
        bool First = true;
        Walk(Group, [&](TTestLeaf& L) {
            if (First)
                Value = L.Value;
            else if (Value != L.Value)
                Value = -1;
            First = false;
        });
        return true;
    }
    std::optional<int32_t> GetStoredLayerIndex() const override { return CurrentLayerIndex(); }
    void LinkLayer(TLayer* ALayer) override
    {
        Layer = ALayer;
        LayerIndex = ALayer ? ALayer->Index : -1;
    }
    bool DoSetWireframeColor(int32_t Colour) override
    {
        Value = Colour;
        return true;
    }
    bool DoSetFMacros(TStream& Stream) override
    {
        int32_t V = 0;
        Stream.ReadBuffer(&V, 4);
        Value = V;
        return true;
    }
    bool DoSetFMacroEnabled(int32_t, uint8_t) override { return AcceptsMacros; }
    bool DoClearMacrosPictCache(int32_t) override { return AcceptsMacros; }
    template <class F>
    static void Walk(TDrawItem& Item, F&& Fn)
    {
        if (auto* G = dynamic_cast<TDrawGroup*>(&Item)) {
            for (int32_t I = 0; I < G->GetCount(); ++I)
                Walk(*G->GetItem(I), Fn);
        } else if (auto* L = dynamic_cast<TTestLeaf*>(&Item)) {
            Fn(*L);
        }
    }
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Value = 0;
    int32_t LayerIndex = 0;
    TLayer* Layer = nullptr;
    TRect Extent = EmptyExtent;
    int32_t Painted = 0;
    double Rotated = 0.0;
    double Scaled = 0.0;
    bool AbortOnPaint = false;
    std::string FailOnPaint; // raised by Paint when not empty
    bool AcceptsMacros = true;

protected:
    int32_t CurrentLayerIndex() const { return Layer ? Layer->Index : LayerIndex; }
    void WriteFields(TStream& Stream)
    {
        TDrawItem::WriteToStream(Stream);
        const int32_t V[4] = {X, Y, Value, CurrentLayerIndex()};
        Stream.WriteBuffer(V, 16);
    }
    int32_t SqrDist(const TPoint& P) const
    {
        return (P.X - X) * (P.X - X) + (P.Y - Y) * (P.Y - Y);
    }
};

// Two subclasses for the common-class search.
class TTestLeafA : public TTestLeaf {
public:
    using TTestLeaf::TTestLeaf;
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }
};
class TTestLeafB : public TTestLeaf {
public:
    using TTestLeaf::TTestLeaf;
    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }
};

template <class T>
std::unique_ptr<TDrawItem> NewTestItem(TPageLink* Page, int32_t ID)
{
    return std::make_unique<T>(Page, ID);
}

inline const TDrawItemClass TTestLeaf::ClassInfo{"TTestLeaf", &TDrawItem::ClassInfo,
                                                 &NewTestItem<TTestLeaf>};
inline const TDrawItemClass TTestLeafA::ClassInfo{"TTestLeafA", &TTestLeaf::ClassInfo,
                                                  &NewTestItem<TTestLeafA>};
inline const TDrawItemClass TTestLeafB::ClassInfo{"TTestLeafB", &TTestLeaf::ClassInfo,
                                                  &NewTestItem<TTestLeafB>};

// Registers the test leaf under its type number for the lifetime of the
// object and restores what was registered before.
class TTestLeafRegistration {
public:
    TTestLeafRegistration() : FOld(GetDrawItemFactory(TTestLeaf::TestLeafType))
    {
        RegisterDrawItemType(TTestLeaf::TestLeafType, &NewTestItem<TTestLeaf>);
    }
    ~TTestLeafRegistration() { RegisterDrawItemType(TTestLeaf::TestLeafType, FOld); }
    TTestLeafRegistration(const TTestLeafRegistration&) = delete;
    TTestLeafRegistration& operator=(const TTestLeafRegistration&) = delete;

private:
    TDrawItemFactory FOld;
};

inline std::vector<uint8_t> StreamBytes(TMemoryStream& S)
{
    const auto* P = static_cast<const uint8_t*>(S.Memory());
    return std::vector<uint8_t>(P, P + S.Size());
}

inline std::string StreamText(TMemoryStream& S)
{
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

template <class T>
T* AddLeaf(TDrawGroup& G, int32_t X, int32_t Y, int32_t Value = 0)
{
    auto L = std::make_unique<T>(G.Page(), -1);
    L->X = X;
    L->Y = Y;
    L->Value = Value;
    return static_cast<T*>(G.AddChild(std::move(L), -1));
}
