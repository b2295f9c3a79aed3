#include "model/draw_object.h"

#include "foundation/geometry.h"
#include "foundation/lists.h"
#include "foundation/numbers.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/default_data.h"
#include "model/drag_frame_dc.h"
#include "model/draw_group.h"
#include "model/layer.h"
#include "model/page_link.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "paint/paint_macro.h"
#include "paint/picture_cache.h"
#include "platform/cp932.h"
#include "store/history.h"
#include "store/picture_store.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr const char* kUndoDataError = "TDrawObject.Undo: Illegal Data.";
// The nearest-point search of the distance test starts from this squared
// distance: nothing farther counts.
constexpr int64_t kDistanceLimit = 1073741824;
constexpr double kFlatTolerance = 1.0;
constexpr int32_t kXorColour = 0x80FF;

bool IsEmptyRect(const TRect& R)
{
    return R.Left > R.Right;
}

int32_t QualityOf(uint8_t DisplayMode)
{
    switch (DisplayMode) {
    case 1:
        return cPaintQualityLow;
    case 2:
        return cPaintQualityMid;
    default:
        return cPaintQualityNormal;
    }
}

bool UseDisplayCache()
{
    const TDefaultData* D = GetDefaultAttributes();
    return D && D->DisplayCache != 0;
}

template <class F>
void ForEachDrawObject(TDrawItem& Item, F&& Fn)
{
    if (auto* Group = dynamic_cast<TDrawGroup*>(&Item)) {
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            ForEachDrawObject(*Group->GetItem(I), Fn);
    } else if (auto* Obj = dynamic_cast<TDrawObject*>(&Item)) {
        Fn(*Obj);
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// Record fields

void TDrawObject::WriteRecordInt32(TStream& Stream, int32_t Value)
{
    StreamWriteInt32(Stream, Value);
}

int32_t TDrawObject::ReadRecordInt32(TStream& Stream)
{
    return StreamReadInt32(Stream);
}

uint8_t TDrawObject::ReadByteLine(TStream& Stream, const char* Caller)
{
    const int32_t V = StrToInt(StreamReadln(Stream));
    if (V < 0 || V > 255)
        throw EReadError(std::string(Caller) + ": " + std::to_string(V) + " is not a byte");
    return static_cast<uint8_t>(V);
}

std::string TDrawObject::ParamChangeRecord(int32_t MacroIndex, int32_t LineIndex,
                                           int32_t ParamNumber, const std::string& Cp932Text)
{
    std::string R(12, '\0');
    std::memcpy(&R[0], &MacroIndex, 4);
    std::memcpy(&R[4], &LineIndex, 4);
    std::memcpy(&R[8], &ParamNumber, 4);
    R += Cp932Text;
    R += '\0';
    return R;
}

void TDrawObject::TUndoRecordReader::Need(int32_t Count) const
{
    if (Count < 0 || FSize - FPos < Count)
        throw EUserError(FMessage);
}

int32_t TDrawObject::TUndoRecordReader::Int32()
{
    Need(4);
    int32_t V;
    std::memcpy(&V, FData + FPos, 4);
    FPos += 4;
    return V;
}

uint8_t TDrawObject::TUndoRecordReader::Byte()
{
    Need(1);
    return FData[FPos++];
}

double TDrawObject::TUndoRecordReader::Double()
{
    Need(8);
    double V;
    std::memcpy(&V, FData + FPos, 8);
    FPos += 8;
    return V;
}

void TDrawObject::TUndoRecordReader::Rest(TMemoryStreamWex& Stream)
{
    Stream.SetPointer(FData ? FData + FPos : nullptr, FSize - FPos);
    FPos = FSize;
}

std::string TDrawObject::TUndoRecordReader::ZeroTerminated()
{
    const void* Zero = FData ? std::memchr(FData + FPos, 0, static_cast<size_t>(FSize - FPos)) : nullptr;
    if (!Zero)
        throw EUserError(FMessage);
    const auto End = static_cast<int32_t>(static_cast<const uint8_t*>(Zero) - FData);
    std::string S(reinterpret_cast<const char*>(FData + FPos), static_cast<size_t>(End - FPos));
    FPos = End + 1;
    return S;
}

// ---------------------------------------------------------------------------

const TDrawItemClass TDrawObject::ClassInfo{"TDrawObject", &TDrawItem::ClassInfo, nullptr};

TDrawObject::TDrawObject(TPageLink* APage, int32_t AID)
    : TDrawItem(APage, AID), FMacros(std::make_unique<TMacros>())
{
    if (const TDefaultData* D = GetDefaultAttributes()) {
        FiWireframeColor = D->WireframeColor;
        FMacros->Assign(D->Macros.get());
    }
    if (APage && APage->GetLayers()) {
        FLayer = APage->GetLayers()->GetCurrent();
        FiLayerIndex = FLayer ? FLayer->Index : 0;
    }
}

TDrawObject::~TDrawObject() = default;

// ---------------------------------------------------------------------------
// Undo and redo

void TDrawObject::Undo(int32_t Command, const void* Data, int32_t Size)
{
    TUndoRecordReader R(Data, Size, kUndoDataError);
    switch (Command & 0x7F) {
    case 9: {
        const int32_t DX = R.Int32();
        const int32_t DY = R.Int32();
        MoveBy(DX, DY);
        break;
    }
    case 10:
        DoSetWireframeColor(R.Int32());
        break;
    case 11: {
        const int32_t Index = R.Int32();
        TMemoryStreamWex S;
        R.Rest(S);
        auto Macro = std::make_unique<TMacro>();
        Macro->ReadFromStream(S, DrawItemStreamVersion);
        ChangeMacros([&] { FMacros->Insert(Index, std::move(Macro)); });
        break;
    }
    case 12: {
        const int32_t I = R.Int32();
        const int32_t J = R.Int32();
        ChangeMacros([&] { FMacros->Exchange(I, J); });
        break;
    }
    case 13: {
        const int32_t From = R.Int32();
        const int32_t To = R.Int32();
        ChangeMacros([&] { FMacros->Move(From, To); });
        DeclareAnchorsInvalid();
        break;
    }
    case 14: {
        const int32_t Index = R.Int32();
        FMacros->GetMacro(Index); // range check before anything changes
        ChangeMacros([&] { FMacros->Delete(Index); });
        break;
    }
    case 15: {
        TMemoryStreamWex S;
        R.Rest(S);
        TMacros List;
        List.ReadFromStream(S, DrawItemStreamVersion);
        ChangeMacros([&] { FMacros->Assign(&List); });
        break;
    }
    case 16: {
        const int32_t M = R.Int32();
        const int32_t L = R.Int32();
        const int32_t P = R.Int32();
        ApplyParamChange(M, L, P, R.ZeroTerminated());
        break;
    }
    case 17: {
        const int32_t Index = R.Int32();
        const uint8_t Flag = R.Byte();
        DoSetFMacroEnabled(Index, Flag);
        break;
    }
    case 24: {
        const int32_t Index = R.Int32();
        TLayers* Layers = Page() ? Page()->GetLayers() : nullptr;
        if (!Layers || Index < 0 || Index >= Layers->GetCount())
            throw EUserError(kUndoDataError);
        SetLayer(Layers->GetLayer(Index));
        break;
    }
    default:
        TDrawItem::Undo(Command, Data, Size);
    }
}

void TDrawObject::Redo(int32_t Command, const void* Data, int32_t Size)
{
    TUndoRecordReader R(Data, Size, kUndoDataError);
    switch (Command & 0x7F) {
    case 11:
        DoDeleteFMacro(R.Int32());
        break;
    case 14: {
        const int32_t Index = R.Int32();
        TMemoryStreamWex S;
        R.Rest(S);
        auto Macro = std::make_unique<TMacro>();
        Macro->ReadFromStream(S, DrawItemStreamVersion);
        ChangeMacros([&] { FMacros->Insert(Index, std::move(Macro)); });
        break;
    }
    default:
        TDrawItem::Redo(Command, Data, Size);
    }
}

// ---------------------------------------------------------------------------
// Extents, painting, invalidation

void TDrawObject::ResetExtents()
{
    FrectExtent1 = EmptyExtent;
    FrectExtent2 = EmptyExtent;
    FiReadReach = 0;
}

void TDrawObject::Paint(TrecDrawTarget&, uint8_t, TListRecPict*, uint8_t*, int32_t)
{
    FbRedraw = 0;
}

void TDrawObject::Invalidate(bool Flag)
{
    if (!Page() || !Visible())
        return;
    if (IsEmptyRect(FrectExtent1) || IsEmptyRect(FrectExtent2)) {
        try {
            CalcExtents();
        } catch (...) {
            // A replay puts back a state the object had, also when a failed
            // change is rolled back: that the state it leaves cannot be
            // measured must not stop it. The whole page repaints instead.
            const THistoryCommand* H = HistoryCommand();
            if (!H || !(H->IsUndoing() || H->IsRedoing()))
                throw;
            ResetExtents();
            Page()->InvalidateRect(nullptr, Flag);
            FbRedraw = 1;
            return;
        }
    }
    TRect U;
    RectUnion(FrectExtent1, FrectExtent2, U);
    Page()->InvalidateRect(&U, Flag);
    FbRedraw = 1;
}

TMacroPaintArgs TDrawObject::FillMacroArgs(TrecPicture* Target, TListRecPict* Store,
                                           uint8_t DisplayMode, uint8_t* AbortFlag)
{
    TMacroPaintArgs Args;
    Args.Target = Target;
    Args.PrimaryPath = &FOutputPath;
    Args.Instance = ObjID();
    Args.Quality = QualityOf(DisplayMode);
    Args.Store = Store;
    Args.Abort = AbortFlag;
    Args.UseCache = UseDisplayCache();
    return Args;
}

void TDrawObject::MeasureFillMacros(TrecPicture* Target, TListRecPict* Store, uint8_t DisplayMode)
{
    TRect R1 = EmptyExtent;
    TRect R2 = EmptyExtent;
    int32_t Reach = 0;
    if (Target && FMacros->Count() > 0 && FOutputPath.Count > 0) {
        TMacroPaintArgs Args = FillMacroArgs(Target, Store, DisplayMode, nullptr);
        Args.MeasureOnly = true;
        Args.Reach = &Reach;
        FMacros->Paint(Args, {}, nullptr, R1, R2);
    }
    FrectExtent1 = R1;
    FrectExtent2 = R2;
    FiReadReach = Reach;
}

void TDrawObject::PaintFillMacros(TrecPicture& Target, TListRecPict* Store, uint8_t DisplayMode,
                                  uint8_t* AbortFlag, const TItemStepsProc* Steps)
{
    // Nothing to paint: the planes the macros make would lie at the empty
    // bounds, past the coordinates every picture has.
    if (FOutputPath.Count == 0)
        return;
    TMacroPaintArgs Args = FillMacroArgs(&Target, Store, DisplayMode, AbortFlag);
    TPaintProgress Record;
    if (Steps && *Steps) {
        // Each macro takes an equal share of the item, each of its lines an
        // equal share of that: permille of the item done.
        Record.Owner = this;
        Args.StepHook = [&Record, Steps](int32_t Done, int32_t Total) {
            if (Record.Total <= 0 || Total <= 0)
                return;
            const int64_t Macro = std::clamp<int64_t>(Record.Current - 1, 0, Record.Total - 1);
            const int64_t Line = std::clamp<int64_t>(Done, 0, Total);
            (*Steps)(static_cast<int32_t>((Macro * Total + Line) * 1000 / (int64_t{Record.Total} * Total)),
                     1000);
        };
    }
    TRect R1;
    TRect R2;
    FMacros->Paint(Args, {}, Steps ? &Record : nullptr, R1, R2);
}

void TDrawObject::DrawDragFrame(TDragFrameDC& DC, int32_t Mode)
{
    if (FLayer && !FLayer->Display)
        return;
    const TrecPath& Path = GetPath();
    int32_t OldRop;
    if (Mode == 1) {
        OldRop = DC.SetROP2(R2_XORPEN);
        DC.SelectSolidPen(kXorColour);
    } else {
        OldRop = DC.GetROP2();
        DC.SelectSolidPen(FiWireframeColor);
    }
    DC.PolyDrawPath(Path);
    DC.SetROP2(OldRop);
    DC.RestorePen();
}

TRect TDrawObject::GetBounds()
{
    return GetPath().Bounds;
}

bool TDrawObject::SameAttributes(TDrawItem* Other)
{
    auto* O = dynamic_cast<TDrawObject*>(Other);
    return O && O->FiWireframeColor == FiWireframeColor && O->FLayer == FLayer &&
           FMacros->Equals(*O->FMacros);
}

// ---------------------------------------------------------------------------
// Stream forms

void TDrawObject::WriteToStream(TStream& Stream)
{
    TDrawItem::WriteToStream(Stream);
    WriteRecordInt32(Stream, FiWireframeColor);
    if (IsPathObject())
        Stream.WriteBuffer(&FOutputPath.Flag, 1);
    else
        RecPathWriteToStream(FOutputPath, Stream);
    WriteRecordInt32(Stream, GetStoredLayerIndex().value_or(0));
    FMacros->WriteToStream(Stream);
}

void TDrawObject::ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TDrawItem::ReadFromStream(Stream, IDMap, Version);
    FiWireframeColor = ReadRecordInt32(Stream);
    if (IsPathObject() && Version >= 8)
        Stream.ReadBuffer(&FOutputPath.Flag, 1);
    else if (!IsPathObject() || Version <= 6)
        RecPathReadFromStream(FOutputPath, Stream);
    FiLayerIndex = ReadRecordInt32(Stream);
    FLayer = nullptr;
    FMacros->ReadFromStream(Stream, Version);
    FbOutputPathState = 0;
}

void TDrawObject::WriteToStreamAsText(TStream& Stream)
{
    TDrawItem::WriteToStreamAsText(Stream);
    StreamWriteln(Stream, std::to_string(FiWireframeColor));
    if (IsPathObject())
        StreamWriteln(Stream, std::to_string(FOutputPath.Flag));
    else
        RecPathWriteToStreamAsText(FOutputPath, Stream);
    StreamWriteln(Stream, std::to_string(GetStoredLayerIndex().value_or(0)));
    FMacros->WriteToStreamAsText(Stream);
}

void TDrawObject::ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TDrawItem::ReadFromStreamAsText(Stream, IDMap, Version);
    FiWireframeColor = StrToInt(StreamReadln(Stream));
    if (IsPathObject() && Version >= 8)
        FOutputPath.Flag = ReadByteLine(Stream, "TDrawObject.ReadFromStreamAsText");
    else if (!IsPathObject() || Version <= 6)
        RecPathReadFromStreamAsText(FOutputPath, Stream);
    FiLayerIndex = StrToInt(StreamReadln(Stream));
    FLayer = nullptr;
    FMacros->ReadFromStreamAsText(Stream, Version);
    FbOutputPathState = 0;
}

// ---------------------------------------------------------------------------

void TDrawObject::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TDrawObject*>(Source);
    if (!S)
        throw EConvertError("TDrawObject.Assign: DrawItemSrc is not TDrawObject");
    TDrawItem::Assign(Source);
    if (S == this)
        return;
    FrectExtent1 = S->FrectExtent1;
    FrectExtent2 = S->FrectExtent2;
    FiReadReach = S->FiReadReach;
    FiWireframeColor = S->FiWireframeColor;
    FLayer = S->FLayer;
    FiLayerIndex = S->FiLayerIndex;
    FMacros->Assign(S->FMacros.get());
    RecPathAssign(FOutputPath, S->GetPath());
    FbOutputPathState = 2;
}

void TDrawObject::CollectPictureHandles(TListPtrWex& List, const TListRecPict& Store)
{
    RebuildPath();
    FMacros->CollectPictures(List, Store, FOutputPath.Bounds);
}

void TDrawObject::SetLayer(TLayer* Layer)
{
    FLayer = Layer;
    if (Layer)
        FiLayerIndex = Layer->Index;
    Invalidate(true);
    SetModified();
}

bool TDrawObject::DoSetItemLayer(TLayer* Layer)
{
    if (!Layer || Layer == FLayer)
        return true;
    if (CanRecord()) {
        const int32_t Old = FLayer ? FLayer->Index : FiLayerIndex;
        AddHistory(0, 24, &Old, 4);
        AddHistory(1, 24, &Layer->Index, 4);
    }
    SetLayer(Layer);
    return true;
}

void TDrawObject::MoveBy(int32_t DX, int32_t DY)
{
    if (DX == 0 && DY == 0)
        return;
    // -MinInt wraps to itself, as in 32-bit arithmetic.
    const int32_t Back[2] = {static_cast<int32_t>(0u - static_cast<uint32_t>(DX)),
                             static_cast<int32_t>(0u - static_cast<uint32_t>(DY))};
    const int32_t Forth[2] = {DX, DY};
    AddHistory(0, 9, Back, 8);
    AddHistory(1, 9, Forth, 8);
}

bool TDrawObject::SnapPoint(TPoint& Point, int32_t SqrRadius)
{
    return RecPolyLineSnapPoint(GetPath(), Point, SqrRadius);
}

int32_t TDrawObject::DistanceTo(const TPoint& Point)
{
    int64_t Sqr = kDistanceLimit;
    int32_t Index = -1;
    RecPolyLineNearestPoint(GetPath(), Point, kFlatTolerance, &Sqr, nullptr, nullptr, &Index);
    if (Index < 0 || Sqr > kDistanceLimit)
        Sqr = kDistanceLimit;
    return static_cast<int32_t>(RoundOff(std::sqrt(static_cast<double>(Sqr))));
}

bool TDrawObject::HitTest(const TPoint& Point, int32_t Tolerance)
{
    return RecPathHitTest(GetPath(), Point, Tolerance, kFlatTolerance);
}

bool TDrawObject::NodeNear(const TPoint& Point, int32_t SqrTolerance)
{
    const TrecPath& Path = GetPath();
    for (int32_t I = 0; I < Path.Count; ++I) {
        // A Bezier triple is tested by its end point; a triple cut short by
        // the end of the path has its points taken as they are.
        if (PathPointKind(Path.pabType[static_cast<size_t>(I)]) == PT_BEZIERTO &&
            I + 2 < Path.Count)
            I += 2;
        const TPoint& P = Path.Points[static_cast<size_t>(I)];
        const int64_t DX = int64_t{P.X} - Point.X;
        const int64_t DY = int64_t{P.Y} - Point.Y;
        if (DX * DX + DY * DY < SqrTolerance)
            return true;
    }
    return false;
}

bool TDrawObject::TakeCommonAttributes(TDrawGroup& Group)
{
    auto* First = dynamic_cast<TDrawObject*>(TDrawItem::GetFirstDrawObject(&Group));
    if (!First)
        return false;
    int32_t Colour = First->FiWireframeColor;
    TLayer* Layer = First->FLayer;
    TMacros Common;
    Common.Assign(First->FMacros.get());
    bool Done = false;
    ForEachDrawObject(Group, [&](TDrawObject& Obj) {
        if (Done)
            return;
        if (Obj.FiWireframeColor != Colour)
            Colour = -1;
        if (Obj.FLayer != Layer)
            Layer = nullptr;
        Common.IntersectWith(*Obj.FMacros);
        Done = Colour == -1 && !Layer && Common.Count() == 0;
    });
    FMacros->Assign(&Common);
    FiWireframeColor = Colour;
    FLayer = Layer;
    return true;
}

std::optional<int32_t> TDrawObject::GetStoredLayerIndex() const
{
    return FLayer ? FLayer->Index : FiLayerIndex;
}

void TDrawObject::LinkLayer(TLayer* Layer)
{
    FLayer = Layer;
    if (Layer)
        FiLayerIndex = Layer->Index;
}

// ---------------------------------------------------------------------------
// The per-object parts of the tree-wide changes

template <class F>
void TDrawObject::ChangeMacros(F&& Change)
{
    Invalidate(true);
    Change();
    ResetExtents();
    Invalidate(true);
    SetModified();
}

bool TDrawObject::DoSetWireframeColor(int32_t Colour)
{
    Colour = HeldWireframeColor(Colour);
    const int32_t Old = FiWireframeColor;
    AddHistory(0, 10, &Old, 4);
    AddHistory(1, 10, &Colour, 4);
    FiWireframeColor = Colour;
    Invalidate(true);
    SetModified();
    return true;
}

bool TDrawObject::DoDeleteFMacro(int32_t Index)
{
    const TMacro* Macro = FMacros->GetMacro(Index);
    if (CanRecord()) {
        TMemoryStream Undo;
        WriteRecordInt32(Undo, Index);
        Macro->WriteToStream(Undo);
        AddHistory(0, 11, Undo.Memory(), static_cast<int32_t>(Undo.Size()));
        AddHistory(1, 11, &Index, 4);
    }
    ChangeMacros([&] { FMacros->Delete(Index); });
    return true;
}

bool TDrawObject::DoExchangeFMacro(int32_t Index1, int32_t Index2)
{
    FMacros->GetMacro(Index1);
    FMacros->GetMacro(Index2);
    const int32_t Rec[2] = {Index1, Index2};
    AddHistory(0, 12, Rec, 8);
    AddHistory(1, 12, Rec, 8);
    ChangeMacros([&] { FMacros->Exchange(Index1, Index2); });
    return true;
}

bool TDrawObject::DoMoveFMacro(int32_t FromIndex, int32_t ToIndex)
{
    FMacros->GetMacro(FromIndex);
    FMacros->GetMacro(ToIndex);
    const int32_t Back[2] = {ToIndex, FromIndex};
    const int32_t Forth[2] = {FromIndex, ToIndex};
    AddHistory(0, 13, Back, 8);
    AddHistory(1, 13, Forth, 8);
    ChangeMacros([&] { FMacros->Move(FromIndex, ToIndex); });
    DeclareAnchorsInvalid();
    return true;
}

bool TDrawObject::DoInsertFMacro(int32_t Index, const TMacro& Macro)
{
    const int32_t At = Index < 0 ? 0 : (Index > FMacros->Count() ? FMacros->Count() : Index);
    if (CanRecord()) {
        TMemoryStream Redo;
        WriteRecordInt32(Redo, At);
        Macro.WriteToStream(Redo);
        AddHistory(0, 14, &At, 4);
        AddHistory(1, 14, Redo.Memory(), static_cast<int32_t>(Redo.Size()));
    }
    ChangeMacros([&] { FMacros->Insert(At, Macro); });
    return true;
}

bool TDrawObject::DoSetFMacros(TStream& Stream)
{
    TMacros List;
    List.ReadFromStream(Stream, DrawItemStreamVersion);
    // A value the object's parameter would refuse changes nothing: the
    // object stays drawable (style files hold their values as they are read).
    std::string Refused;
    if (!MacrosValuesAccepted(List, &Refused))
        throw EUserError(Refused + " の値は読み込めないか、範囲外のため、設定できません。");
    if (CanRecord()) {
        TMemoryStream Undo;
        FMacros->WriteToStream(Undo);
        TMemoryStream Redo;
        List.WriteToStream(Redo);
        AddHistory(0, 15, Undo.Memory(), static_cast<int32_t>(Undo.Size()));
        AddHistory(1, 15, Redo.Memory(), static_cast<int32_t>(Redo.Size()));
    }
    ChangeMacros([&] { FMacros->Assign(&List); });
    return true;
}

bool TDrawObject::DoSetFMacrosPaintParam(const TMacros& Macros)
{
    // Every check first: a mismatch changes nothing.
    if (FMacros->Count() != Macros.Count())
        throw EUserError("TDrawItem.SetFMacrosPaintParam: iMacroCount <> MacrosSrc.Count - 1");
    for (int32_t M = 0; M < Macros.Count(); ++M) {
        const TMacro& Src = *Macros.GetMacro(M);
        const TMacro& Dst = *FMacros->GetMacro(M);
        if (Dst.Name() != Src.Name())
            throw EUserError("TDrawItem.SetFMacrosPaintParam: MacroDst.FstrName <> MacroSrc.FstrName");
        bool Same = Dst.LineCount() == Src.LineCount();
        for (int32_t L = 0; Same && L < Src.LineCount(); ++L)
            Same = Dst.Line(L).Params.size() == Src.Line(L).Params.size();
        if (!Same)
            throw EUserError(
                "TDrawItem.SetFMacrosPaintParam: iParamNum <> integer(paParamRecordDst[0].wParamCount");
    }
    // Each new value must be one the parameter takes; a refused one changes
    // nothing.
    struct TChange {
        int32_t M, L, Number;
        std::string Old, New; // UTF-8
    };
    std::vector<TChange> Changes;
    for (int32_t M = 0; M < Macros.Count(); ++M) {
        const TMacro& Src = *Macros.GetMacro(M);
        const TMacro& Dst = *FMacros->GetMacro(M);
        for (int32_t L = 0; L < Src.LineCount(); ++L) {
            const auto& SrcParams = Src.Line(L).Params;
            for (size_t P = 0; P < SrcParams.size(); ++P) {
                const std::optional<std::string>& New = SrcParams[P].Value;
                const std::optional<std::string>& Old = Dst.Line(L).Params[P].Value;
                if (!New || New == Old)
                    continue;
                if (!MacroParamValueAccepted(Dst, L, P, *New)) {
                    const std::string Caption = Dst.Line(L).Params[P].Caption.value_or(std::string());
                    throw EUserError(Caption.substr(0, Caption.find('|')) +
                                     " の値は読み込めないか、範囲外のため、設定できません。");
                }
                // As the undo record will hold it.
                Changes.push_back(
                    {M, L, static_cast<int32_t>(P) + 1, Old.value_or(""), Cp932ToUtf8(Utf8ToCp932(*New))});
            }
        }
    }
    if (Changes.empty())
        return true;
    // The values are measured together: one that cannot be drawn puts every
    // value back and records nothing, so the object stays drawable.
    const auto Put = [&](bool Forth) {
        for (const TChange& C : Changes)
            FMacros->GetMacro(C.M)->SetLineParamValue(C.L, C.Number - 1, Forth ? C.New : C.Old);
        ResetExtents();
    };
    InvalidateAsItIs();
    Put(true);
    try {
        Invalidate(true);
    } catch (...) {
        Put(false);
        InvalidateAsItIs();
        throw;
    }
    for (const TChange& C : Changes) {
        const std::string Undo = ParamChangeRecord(C.M, C.L, C.Number, Utf8ToCp932(C.Old));
        const std::string Redo = ParamChangeRecord(C.M, C.L, C.Number, Utf8ToCp932(C.New));
        AddHistory(0, 16, Undo.data(), static_cast<int32_t>(Undo.size()));
        AddHistory(1, 16, Redo.data(), static_cast<int32_t>(Redo.size()));
    }
    SetModified();
    return true;
}

bool TDrawObject::ValuesDrawable(int32_t Dpi) const
{
    return FiWireframeColor == HeldWireframeColor(FiWireframeColor) && FOutputPath.Flag <= 1 &&
           MacrosValuesAccepted(*FMacros) && TDrawItem::ValuesDrawable(Dpi);
}

void TDrawObject::BringValuesIntoRange(int32_t Dpi)
{
    FiWireframeColor = HeldWireframeColor(FiWireframeColor);
    // Any byte but 0 filled the path.
    FOutputPath.Flag = FOutputPath.Flag != 0;
    if (HoldMacrosValues(*FMacros))
        ResetExtents();
    TDrawItem::BringValuesIntoRange(Dpi);
}

void TDrawObject::PutBackParamValues(const TMacros& Snapshot)
{
    InvalidateAsItIs();
    for (int32_t M = 0; M < Snapshot.Count() && M < FMacros->Count(); ++M) {
        const TMacro& From = *Snapshot.GetMacro(M);
        TMacro& To = *FMacros->GetMacro(M);
        if (From.Name() != To.Name())
            continue;
        for (int32_t L = 0; L < From.LineCount() && L < To.LineCount(); ++L) {
            const auto& Params = From.Line(L).Params;
            for (size_t P = 0; P < Params.size() && P < To.Line(L).Params.size(); ++P)
                if (Params[P].Value && To.Line(L).Params[P].Value != Params[P].Value)
                    To.SetLineParamValue(L, int32_t(P), *Params[P].Value);
        }
    }
    ResetExtents();
    InvalidateAsItIs();
}

void TDrawObject::InvalidateAsItIs()
{
    try {
        Invalidate(true);
    } catch (const Exception&) {
        // What the object shows now cannot be measured (a file may hold such
        // values): the whole page repaints instead, and the change that
        // mends it goes on.
        ResetExtents();
        if (Page())
            Page()->InvalidateRect(nullptr, true);
        FbRedraw = 1;
    }
}

bool TDrawObject::DoSetFMacroEnabled(int32_t Index, uint8_t Flag)
{
    TMacro* Macro = FMacros->GetMacro(Index);
    // Index, flag byte, three filler bytes.
    uint8_t Undo[8] = {0, 0, 0, 0, Macro->Enabled(), 0, 0, 0};
    uint8_t Redo[8] = {0, 0, 0, 0, Flag, 0, 0, 0};
    std::memcpy(Undo, &Index, 4);
    std::memcpy(Redo, &Index, 4);
    AddHistory(0, 17, Undo, 8);
    AddHistory(1, 17, Redo, 8);
    ChangeMacros([&] { Macro->SetEnabled(Flag); });
    return true;
}

bool TDrawObject::DoClearMacrosPictCache(int32_t Index)
{
    Invalidate(true);
    if (Index >= FMacros->Count())
        throw EUserError("TDrawItem.ClearMacrosPictCache: iIndex >= MacrosDst.Count");
    if (Index < 0) {
        for (int32_t I = 0; I < FMacros->Count(); ++I)
            FMacros->GetMacro(I)->PictureCache().Clear();
    } else {
        FMacros->GetMacro(Index)->PictureCache().Clear();
    }
    return true;
}

bool TDrawObject::DoTranslatePictureHandles(const TList2Item& Map)
{
    if (!FMacros->PicturesHeld([&Map](int32_t Handle) { return Map.IndexOfKey(Handle) >= 0; }))
        throw EUserError("TDrawObject.TranslatePictureHandles: a picture the data does not hold");
    FMacros->RemapPictures(Map);
    return true;
}

bool TDrawObject::DoDropMissingPictures(const TListRecPict& Store)
{
    if (FMacros->DropPicturesNotHeld([&Store](int32_t Handle) { return Store.GetItemByHandle(Handle) != nullptr; }))
        ResetExtents();
    return true;
}

void TDrawObject::ApplyParamChange(int32_t MacroIndex, int32_t LineIndex, int32_t ParamNumber,
                                   const std::string& Cp932Text)
{
    TMacro* Macro = FMacros->GetMacro(MacroIndex);
    Macro->Line(LineIndex); // range checks before anything changes
    ChangeMacros([&] { Macro->SetLineParamValue(LineIndex, ParamNumber - 1, Cp932ToUtf8(Cp932Text)); });
}

void TDrawObject::RecordParamChanges(TStream& Changes)
{
    Changes.SetPosition(0);
    const int64_t End = Changes.Size();
    while (Changes.Position() < End) {
        const int32_t M = ReadRecordInt32(Changes);
        const int32_t L = ReadRecordInt32(Changes);
        const int32_t P = ReadRecordInt32(Changes);
        std::string Old;
        std::string New;
        StreamReadString(Changes, Old);
        StreamReadString(Changes, New);
        const std::string Undo = ParamChangeRecord(M, L, P, Old);
        const std::string Redo = ParamChangeRecord(M, L, P, New);
        AddHistory(0, 16, Undo.data(), static_cast<int32_t>(Undo.size()));
        AddHistory(1, 16, Redo.data(), static_cast<int32_t>(Redo.size()));
    }
}

void TDrawObject::DeclareAnchorsInvalid()
{
    if (Page())
        Page()->SetAnchorsValid(false);
}

// ---------------------------------------------------------------------------

void TDrawObject::SetFillPath(uint8_t Flag)
{
    if (Flag == FOutputPath.Flag)
        return;
    FOutputPath.Flag = Flag;
    Invalidate(true);
    DoClearMacrosPictCache(-1);
    ResetExtents();
    SetModified();
}

void TDrawObject::SetOutputPathState(uint8_t State)
{
    if (State == FbOutputPathState)
        return;
    FbOutputPathState = State;
    SetModified();
}

const TrecPath& TDrawObject::GetPath()
{
    RebuildPath();
    return FOutputPath;
}

void TDrawObject::Refresh()
{
    DoClearMacrosPictCache(-1);
    ResetExtents();
    SetModified();
}
