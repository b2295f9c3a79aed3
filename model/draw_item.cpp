#include "model/draw_item.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <functional>
#include <vector>

#include "foundation/lists.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/draw_progress.h"
#include "model/layer.h"
#include "model/page_link.h"
#include "platform/cp932.h"

namespace {

// The short string of the name records: a length byte and the name.
std::string ShortString(const std::string& S)
{
    const std::string Held = HeldItemName(S);
    return std::string(1, static_cast<char>(Held.size())) + Held;
}

// Nesting depth of the readers running now (one UI thread).
int32_t GReadDepth = 0;

class TReadDepthGuard {
public:
    explicit TReadDepthGuard(const char* Caller)
    {
        if (GReadDepth >= DrawItemMaxDepth)
            throw EUserError(std::string(Caller) + ": groups nested deeper than " +
                             std::to_string(DrawItemMaxDepth));
        ++GReadDepth;
    }
    ~TReadDepthGuard() { --GReadDepth; }
    TReadDepthGuard(const TReadDepthGuard&) = delete;
    TReadDepthGuard& operator=(const TReadDepthGuard&) = delete;
};

std::array<TDrawItemFactory, DrawObjFileTypeCount>& Registry()
{
    static std::array<TDrawItemFactory, DrawObjFileTypeCount> R = [] {
        std::array<TDrawItemFactory, DrawObjFileTypeCount> A{};
        A[doftGroup] = TDrawGroup::ClassInfo.Create;
        return A;
    }();
    return R;
}

// Reads one item of a registered type and frees it silently when its read fails.
std::unique_ptr<TDrawItem> CreateAndRead(int32_t Type, const char* Caller, TPageLink* Page,
                                         int32_t AID,
                                         const std::function<void(TDrawItem&)>& Read)
{
    const TDrawItemFactory Factory = GetDrawItemFactory(Type);
    if (!Factory)
        throw EUserError(std::string(Caller) + ": DrawObjFileType " + std::to_string(Type) +
                         " not registered");
    std::unique_ptr<TDrawItem> Item = Factory(Page, AID);
    try {
        Read(*Item);
    } catch (...) {
        MarkDrawItemSilent(*Item);
        throw;
    }
    return Item;
}

template <class F>
void ForEachLeaf(TDrawItem& Item, F&& Fn)
{
    if (auto* Group = dynamic_cast<TDrawGroup*>(&Item)) {
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            ForEachLeaf(*Group->GetItem(I), Fn);
    } else {
        Fn(Item);
    }
}

} // namespace

// ---------------------------------------------------------------------------

std::string HeldItemName(const std::string& Cp932Name)
{
    const std::string& S = Cp932Name;
    size_t N = 0;
    while (N < S.size()) {
        const size_t Next =
            std::min(S.size(), N + (IsSjisLeadByte(static_cast<uint8_t>(S[N])) ? 2 : 1));
        if (Next > MaxItemNameBytes)
            break;
        N = Next;
    }
    return S.substr(0, N);
}

const TDrawItemClass TDrawItem::ClassInfo{"TDrawItem", nullptr, nullptr};

std::unique_ptr<TDrawItem> CreateDrawItem(const TDrawItemClass& Class, TPageLink* Page, int32_t ID)
{
    if (!Class.Create)
        throw EUserError(std::string("CreateDrawItem: ") + Class.Name + " cannot be created");
    return Class.Create(Page, ID);
}

void MergeTextParam(TrecTextParam& Dst, const TrecTextParam& Src)
{
    if (Src.Value1 != -1)
        Dst.Value1 = Src.Value1;
    if (Src.Value2 != -1)
        Dst.Value2 = Src.Value2;
    Dst.Byte1 = Src.Byte1;
    Dst.Byte2 = Src.Byte2;
    if (Src.Value3 != -1)
        Dst.Value3 = Src.Value3;
    Dst.Byte3 = Src.Byte3;
    Dst.Byte4 = Src.Byte4;
}

void MergeRectParam(TrecRectParam& Dst, const TrecRectParam& Src)
{
    if (Src.Bevel < 255)
        Dst.Bevel = Src.Bevel;
    if (Src.CornerRadius != INT32_MIN)
        Dst.CornerRadius = Src.CornerRadius;
    if (Src.CornerCount < 65535)
        Dst.CornerCount = Src.CornerCount;
    if (Src.CornerPosition < 65535)
        Dst.CornerPosition = Src.CornerPosition;
}

namespace {
// The unsigned 32-bit fields: every value below 0xFFFFFFFF is copied.
void MergeU32(int32_t& Dst, int32_t Src)
{
    if (static_cast<uint32_t>(Src) < 0xFFFFFFFFu)
        Dst = Src;
}
} // namespace

void MergePolygonParam(TrecPolygonParam& Dst, const TrecPolygonParam& Src)
{
    MergeU32(Dst.Count, Src.Count);
    if (Src.CornerSize != INT32_MIN)
        Dst.CornerSize = Src.CornerSize;
    MergeU32(Dst.AngleVariation, Src.AngleVariation);
    MergeU32(Dst.RadiusVariation, Src.RadiusVariation);
    MergeU32(Dst.Seed, Src.Seed);
    if (Src.StartAngle != ParamDoubleUnchanged)
        Dst.StartAngle = Src.StartAngle;
}

void MergeStarParam(TrecStarParam& Dst, const TrecStarParam& Src)
{
    if (Src.InnerRadius != -1.0)
        Dst.InnerRadius = Src.InnerRadius;
    MergeU32(Dst.Count, Src.Count);
    if (Src.Corner1 != INT32_MIN)
        Dst.Corner1 = Src.Corner1;
    if (Src.Corner2 != INT32_MIN)
        Dst.Corner2 = Src.Corner2;
    MergeU32(Dst.AngleVariation, Src.AngleVariation);
    MergeU32(Dst.InnerVariation, Src.InnerVariation);
    MergeU32(Dst.OuterVariation, Src.OuterVariation);
    MergeU32(Dst.Kept1, Src.Kept1);
    MergeU32(Dst.Kept2, Src.Kept2);
    MergeU32(Dst.Seed, Src.Seed);
    if (Src.StartAngle != ParamDoubleUnchanged)
        Dst.StartAngle = Src.StartAngle;
}

// ---------------------------------------------------------------------------
// Deletion records

namespace {
bool GWritingDeletionRecord = false;
}

TDeletionRecordScope::TDeletionRecordScope() : FOld(GWritingDeletionRecord)
{
    GWritingDeletionRecord = true;
}

TDeletionRecordScope::~TDeletionRecordScope()
{
    GWritingDeletionRecord = FOld;
}

bool WritingDeletionRecord()
{
    return GWritingDeletionRecord;
}

// ---------------------------------------------------------------------------
// TDrawItem

TDrawItem::TDrawItem(TPageLink* APage, int32_t AID)
    : TUndoObject(APage ? APage->GetHistory() : nullptr, AID), FPage(APage)
{
}

TDrawItem::~TDrawItem()
{
    if (FPage && !FbSilent && !FPage->IsDestroying())
        SetModified();
}

bool TDrawItem::InheritsFrom(const TDrawItemClass& Class) const
{
    for (const TDrawItemClass* C = &GetClass(); C; C = C->Parent)
        if (C == &Class)
            return true;
    return false;
}

void TDrawItem::Undo(int32_t Command, const void* Data, int32_t Size)
{
    const auto* P = static_cast<const uint8_t*>(Data);
    switch (Command & 0x7F) {
    case 0: {
        if (Size < 1 || !P || Size < 1 + P[0])
            throw EUserError("TDrawItem.Undo: Illegal Data.");
        SetName(std::string(reinterpret_cast<const char*>(P + 1), P[0]));
        break;
    }
    case 1: {
        if (Size < 1 || !P)
            throw EUserError("TDrawItem.Undo: Illegal Data.");
        if (P[0] != FbVisible) {
            Invalidate(true);
            FbVisible = P[0];
            Invalidate(true);
            SetModified();
        }
        break;
    }
    default:
        throw EUserError("TDrawItem.Undo: Illegal Command.");
    }
}

void TDrawItem::Redo(int32_t Command, const void* Data, int32_t Size)
{
    Undo(Command, Data, Size);
}

void TDrawItem::AddHistory(uint8_t Kind, int32_t Command, const void* Data, int32_t Size)
{
    TUndoObject::AddHistory(Kind, Command, Data, Size);
    THistoryCommand* H = HistoryCommand();
    if (H && H->IsCommandOpen() && !H->IsLockAddHistory())
        SetModified();
}

void TDrawItem::ReplaceReference(TDrawItem*, TDrawItem*) {}

bool TDrawItem::MoveKeepsReach(int32_t, int32_t)
{
    return true;
}

void TDrawItem::NotifyItemChanged(TDrawItem*) {}

void TDrawItem::WriteToStream(TStream& Stream)
{
    StreamWriteInt32(Stream, ObjID());
    StreamWriteString(Stream, FstrName);
    StreamWriteInt32(Stream, FParent ? FParent->ObjID() : 0);
    Stream.WriteBuffer(&FbVisible, 1);
}

void TDrawItem::ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    ResetExtents();
    const int32_t StoredID = StreamReadInt32(Stream);
    std::string Name;
    StreamReadString(Stream, Name);
    const int32_t ParentID = StreamReadInt32(Stream);
    uint8_t Visible = 1;
    if (Version >= 22)
        Stream.ReadBuffer(&Visible, 1);
    if (IDMap && StoredID != 0)
        IDMap->Add(StoredID, ObjID());
    FstrName = Name;
    FiReadParentID = ParentID;
    FbVisible = Visible;
}

void TDrawItem::WriteToStreamAsText(TStream& Stream)
{
    StreamWriteln(Stream, std::to_string(ObjID()));
    StreamWriteln(Stream, FstrName);
    StreamWriteln(Stream, std::to_string(FParent ? FParent->ObjID() : 0));
    StreamWriteln(Stream, std::to_string(FbVisible));
}

void TDrawItem::ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    ResetExtents();
    const int32_t StoredID = StrToInt(StreamReadln(Stream));
    const std::string Name = StreamReadln(Stream);
    const int32_t ParentID = StrToInt(StreamReadln(Stream));
    uint8_t Visible = 1;
    if (Version >= 22) {
        // A number past a byte is not cut to its low byte, which could turn
        // a shown item (256) into a hidden one: it stays a value other than
        // 0, out of the flag's range like any other but 0 and 1.
        const int32_t V = StrToInt(StreamReadln(Stream));
        Visible = static_cast<uint8_t>(V == 0 ? 0 : std::clamp(V, 1, 255));
    }
    if (IDMap && StoredID != 0)
        IDMap->Add(StoredID, ObjID());
    FstrName = Name;
    FiReadParentID = ParentID;
    FbVisible = Visible;
}

void TDrawItem::Assign(TDrawItem* Source)
{
    if (!Source)
        RaiseAssignError(this, Source);
    // The parent link keeps naming the group that holds this item.
    FstrName = Source->FstrName;
    SetModified();
}

void TDrawItem::DeleteFromParent()
{
    if (!FParent)
        throw EUserError("TDrawItem.DeleteFromParent: (Parent = nil)");
    FParent->DeleteChild(this);
}

bool TDrawItem::TakeCommonAttributes(TDrawGroup&) { return false; }
bool TDrawItem::ValuesDrawable(int32_t) const
{
    return FstrName.size() <= MaxItemNameBytes && FbVisible <= 1;
}

void TDrawItem::BringValuesIntoRange(int32_t)
{
    FstrName = HeldItemName(FstrName);
    // Any byte but 0 showed the item.
    FbVisible = FbVisible != 0;
}
void TDrawItem::RelinkReadItems(const TList2Item*) {}
std::optional<int32_t> TDrawItem::GetStoredLayerIndex() const { return std::nullopt; }
void TDrawItem::LinkLayer(TLayer*) {}

bool TDrawItem::DoSetWireframeColor(int32_t) { return false; }
bool TDrawItem::DoDeleteFMacro(int32_t) { return false; }
bool TDrawItem::DoExchangeFMacro(int32_t, int32_t) { return false; }
bool TDrawItem::DoMoveFMacro(int32_t, int32_t) { return false; }
bool TDrawItem::DoInsertFMacro(int32_t, const TMacro&) { return false; }
bool TDrawItem::DoSetFMacros(TStream&) { return false; }
bool TDrawItem::DoSetFMacrosPaintParam(const TMacros&) { return false; }
bool TDrawItem::DoSetFMacroEnabled(int32_t, uint8_t) { return false; }
bool TDrawItem::DoClearMacrosPictCache(int32_t) { return false; }
bool TDrawItem::DoTranslatePictureHandles(const TList2Item&) { return false; }
bool TDrawItem::DoDropMissingPictures(const TListRecPict&) { return false; }
bool TDrawItem::DoSetItemsFillPath(uint8_t) { return false; }
bool TDrawItem::DoSetOutline(const TOutline&) { return false; }
bool TDrawItem::DoSetParamSize(int32_t, int32_t) { return false; }
bool TDrawItem::DoSetRectParam(const TrecRectParam&) { return false; }
bool TDrawItem::DoSetPolygonParam(const TrecPolygonParam&) { return false; }
bool TDrawItem::DoSetStarParam(const TrecStarParam&) { return false; }
bool TDrawItem::DoSetTextPaintKind(uint8_t) { return false; }
bool TDrawItem::DoSetTextLayoutParam(const TrecTextParam&) { return false; }
bool TDrawItem::DoSetItemAngle(double) { return false; }
bool TDrawItem::DoSetItemPosX(int32_t) { return false; }
bool TDrawItem::DoSetItemPosY(int32_t) { return false; }
bool TDrawItem::DoSetItemLayer(TLayer*) { return false; }

void TDrawItem::SetWireframeColor(TDrawItem& Item, int32_t Colour)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetWireframeColor(Colour); });
}

void TDrawItem::DeleteFMacro(TDrawItem& Item, int32_t Index)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoDeleteFMacro(Index); });
}

void TDrawItem::ExchangeFMacro(TDrawItem& Item, int32_t Index1, int32_t Index2)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoExchangeFMacro(Index1, Index2); });
}

void TDrawItem::MoveFMacro(TDrawItem& Item, int32_t FromIndex, int32_t ToIndex)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoMoveFMacro(FromIndex, ToIndex); });
}

void TDrawItem::InsertFMacro(TDrawItem& Item, int32_t Index, const TMacro& Macro)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoInsertFMacro(Index, Macro); });
}

void TDrawItem::SetFMacros(TDrawItem& Item, TStream& Stream)
{
    const int64_t Start = Stream.Position();
    ForEachLeaf(Item, [&](TDrawItem& L) {
        Stream.SetPosition(Start);
        L.DoSetFMacros(Stream);
    });
}

void TDrawItem::SetFMacrosPaintParam(TDrawItem& Item, const TMacros& Macros)
{
    ForEachLeaf(Item, [&](TDrawItem& L) {
        if (!L.DoSetFMacrosPaintParam(Macros))
            throw EUserError("TDrawItem.SetFMacrosPaintParam: Illegal Class");
    });
}

void TDrawItem::SetFMacroEnabled(TDrawItem& Item, int32_t Index, uint8_t Flag)
{
    ForEachLeaf(Item, [&](TDrawItem& L) {
        if (!L.DoSetFMacroEnabled(Index, Flag))
            throw EUserError("TDrawItem.SetFMacroEnabled: Illegal Class");
    });
}

void TDrawItem::ClearMacrosPictCache(TDrawItem& Item, int32_t Index)
{
    ForEachLeaf(Item, [&](TDrawItem& L) {
        if (!L.DoClearMacrosPictCache(Index))
            throw EUserError("TDrawItem.ClearMacrosPictCache: Illegal Class");
    });
}

void TDrawItem::TranslatePictureHandles(TDrawItem& Item, const TList2Item& Map)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoTranslatePictureHandles(Map); });
}

void TDrawItem::DropMissingPictures(TDrawItem& Item, const TListRecPict& Store)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoDropMissingPictures(Store); });
}

void TDrawItem::SetItemsLayer(TDrawItem& Item, TLayer* Layer)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetItemLayer(Layer); });
}

void TDrawItem::SetItemsFillPath(TDrawItem& Item, uint8_t Flag)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetItemsFillPath(Flag); });
}

void TDrawItem::SetOutline(TDrawItem& Item, const TOutline& Outline)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetOutline(Outline); });
}

void TDrawItem::SetParamSize(TDrawItem& Item, int32_t Width, int32_t Height)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetParamSize(Width, Height); });
}

void TDrawItem::SetRectParam(TDrawItem& Item, const TrecRectParam& Rec)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetRectParam(Rec); });
}

void TDrawItem::SetPolygonParam(TDrawItem& Item, const TrecPolygonParam& Rec)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetPolygonParam(Rec); });
}

void TDrawItem::SetStarParam(TDrawItem& Item, const TrecStarParam& Rec)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetStarParam(Rec); });
}

void TDrawItem::SetTextPaintKind(TDrawItem& Item, uint8_t Kind)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetTextPaintKind(Kind); });
}

void TDrawItem::SetTextLayoutParam(TDrawItem& Item, const TrecTextParam& Rec)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetTextLayoutParam(Rec); });
}

void TDrawItem::SetItemsAngle(TDrawItem& Item, double Angle)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetItemAngle(Angle); });
}

void TDrawItem::SetItemsPosX(TDrawItem& Item, int32_t X)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetItemPosX(X); });
}

void TDrawItem::SetItemsPosY(TDrawItem& Item, int32_t Y)
{
    ForEachLeaf(Item, [&](TDrawItem& L) { L.DoSetItemPosY(Y); });
}

TDrawItem* TDrawItem::GetFirstDrawObject(TDrawItem* Item)
{
    while (Item) {
        if (auto* Group = dynamic_cast<TDrawGroup*>(Item))
            Item = Group->GetCount() == 0 ? nullptr : Group->GetItem(0);
        else if (TDrawItem* First = Item->FirstStoodFor())
            Item = First;
        else
            return Item;
    }
    return nullptr;
}

void TDrawItem::RelinkLayers(TDrawItem& Item, TLayers& Layers, bool HoldIndexes)
{
    std::vector<std::pair<TDrawItem*, int32_t>> Links;
    ForEachLeaf(Item, [&](TDrawItem& L) {
        std::optional<int32_t> Index = L.GetStoredLayerIndex();
        if (!Index)
            return;
        if (HoldIndexes && Layers.GetCount() > 0)
            Index = std::clamp(*Index, 0, Layers.GetCount() - 1);
        if (*Index < 0 || *Index >= Layers.GetCount())
            throw EUserError("TDrawItem.RelinkLayers: layer index " + std::to_string(*Index) +
                             " out of range (" + std::to_string(Layers.GetCount()) +
                             " layers)");
        Links.emplace_back(&L, *Index);
    });
    for (const auto& [L, Index] : Links)
        L->LinkLayer(Layers.GetLayer(Index));
}

void TDrawItem::SetName(const std::string& Cp932Name)
{
    const std::string Name = HeldItemName(Cp932Name);
    if (Name == FstrName)
        return;
    const std::string Old = ShortString(FstrName);
    const std::string New = ShortString(Name);
    AddHistory(0, 0, Old.data(), static_cast<int32_t>(Old.size()));
    AddHistory(1, 0, New.data(), static_cast<int32_t>(New.size()));
    FstrName = Name;
    SetModified();
}

TDocumentLink* TDrawItem::GetDocument() const
{
    return FPage ? FPage->GetDocument() : nullptr;
}

void TDrawItem::SetModified()
{
    if (TDocumentLink* Doc = GetDocument())
        Doc->SetModified(true);
}

bool TDrawItem::CanRecord() const
{
    const THistoryCommand* H = HistoryCommand();
    return H && !H->IsLockAddHistory();
}

void MarkDrawItemSilent(TDrawItem& Item)
{
    Item.FbSilent = true;
    if (auto* Group = dynamic_cast<TDrawGroup*>(&Item))
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            MarkDrawItemSilent(*Group->GetItem(I));
}

// ---------------------------------------------------------------------------
// Readers and the registry

void RegisterDrawItemType(int32_t TypeNo, TDrawItemFactory Factory)
{
    if (TypeNo < 0 || TypeNo >= DrawObjFileTypeCount)
        throw EUserError("RegisterDrawItemType: DrawObjFileType " + std::to_string(TypeNo) +
                         " incorrect");
    Registry()[static_cast<size_t>(TypeNo)] = Factory;
}

TDrawItemFactory GetDrawItemFactory(int32_t TypeNo)
{
    if (TypeNo < 0 || TypeNo >= DrawObjFileTypeCount)
        return nullptr;
    return Registry()[static_cast<size_t>(TypeNo)];
}

std::unique_ptr<TDrawItem> DrawItemReadFromStreamNew(TStream& Stream, TPageLink* Page,
                                                     TList2Item* IDMap, int32_t AID,
                                                     int32_t Version)
{
    static const char* const Caller = "DrawItemReadFromStreamNew";
    TReadDepthGuard Depth(Caller);
    uint8_t Type = 0;
    Stream.ReadBuffer(&Type, 1);
    if (Type >= DrawObjFileTypeCount)
        throw EUserError("DrawItemReadFromStreamNew :DrawObjFileType incorrect");
    return CreateAndRead(Type, Caller, Page, AID, [&](TDrawItem& Item) {
        Item.ReadFromStream(Stream, IDMap, Version);
    });
}

std::unique_ptr<TDrawItem> DrawItemReadFromStreamAsTextNew(TStream& Stream, TPageLink* Page,
                                                           TList2Item* IDMap, int32_t Version)
{
    static const char* const Caller = "DrawItemReadFromStreamAsTextNew";
    TReadDepthGuard Depth(Caller);
    int32_t Type = -1;
    if (!TryStrToInt(StreamReadln(Stream), Type))
        throw EUserError("DrawItemReadFromStreamAsTextNew:DrawObjFileType incorrect");
    // The type line may carry a flag in the top bit of its low byte, which
    // does not take part in the type: 128 reads as a group.
    Type &= ~int32_t{0x80};
    if (Type < 0 || Type >= DrawObjFileTypeCount)
        throw EUserError("DrawItemReadFromStreamAsTextNew:DrawObjFileType incorrect");
    return CreateAndRead(Type, Caller, Page, -1, [&](TDrawItem& Item) {
        Item.ReadFromStreamAsText(Stream, IDMap, Version);
    });
}

int32_t CompareRec12ByThird(const void* A, const void* B)
{
    uint32_t X = 0;
    uint32_t Y = 0;
    std::memcpy(&X, static_cast<const uint8_t*>(A) + 8, 4);
    std::memcpy(&Y, static_cast<const uint8_t*>(B) + 8, 4);
    return X < Y ? -1 : (X > Y ? 1 : 0);
}

int32_t CompareUInt32(const void* A, const void* B)
{
    uint32_t X = 0;
    uint32_t Y = 0;
    std::memcpy(&X, A, 4);
    std::memcpy(&Y, B, 4);
    return X < Y ? -1 : (X > Y ? 1 : 0);
}

// ---------------------------------------------------------------------------
// Drawing progress

const char* const DrawProgressText = "描画中：";

namespace {
TDrawProgressPanel* GProgressPanel = nullptr;
} // namespace

void SetProgressStatusPanel(TDrawProgressPanel* Panel)
{
    GProgressPanel = Panel;
}

TDrawProgressPanel* GetProgressStatusPanel()
{
    return GProgressPanel;
}

int32_t DrawProgressBarWidth(const TrecDrawProgress& P)
{
    const int64_t Den = int64_t(P.SubCount) * P.Count;
    if (Den <= 0)
        return 0;
    const int64_t W = (int64_t(P.Index - 1) * P.SubCount + P.SubStep) * 100 / Den;
    return static_cast<int32_t>(W < 0 ? 0 : (W > 100 ? 100 : W));
}

namespace {
uint32_t (*GDrawTickSource)() = nullptr;
} // namespace

void SetDrawTickSource(uint32_t (*Source)())
{
    GDrawTickSource = Source;
}

uint32_t DrawTickCount()
{
    if (GDrawTickSource)
        return GDrawTickSource();
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}
