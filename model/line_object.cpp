#include "model/line_object.h"

#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/page_link.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "raster/rec_picture.h"

#include <vector>

namespace {

constexpr const char* kUndoDataError = "TLineObject.Undo: Illegal Data.";

void DefaultOutlineTransform(const TOutline& Outline, const TRect& Rect, const TrecPath& Source,
                             TrecPath& Dest)
{
    std::vector<int32_t> Counts;
    const std::vector<TPoint> Centres;
    Outline.Transform(Rect, Source, Dest, Counts, Centres);
}

TOutlineTransformHook gOutlineTransform = &DefaultOutlineTransform;

bool IsEmptyRect(const TRect& R)
{
    return R.Left > R.Right;
}

std::unique_ptr<TDrawItem> NewLineObject(TPageLink* Page, int32_t ID)
{
    return std::make_unique<TLineObject>(Page, ID);
}

template <class F>
void ForEachLineObject(TDrawItem& Item, F&& Fn)
{
    if (auto* Group = dynamic_cast<TDrawGroup*>(&Item)) {
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            ForEachLineObject(*Group->GetItem(I), Fn);
    } else if (auto* Obj = dynamic_cast<TLineObject*>(&Item)) {
        Fn(*Obj);
    }
}

}  // namespace

void SetOutlineTransformHook(TOutlineTransformHook Hook)
{
    gOutlineTransform = Hook ? Hook : &DefaultOutlineTransform;
}

const TDrawItemClass TLineObject::ClassInfo{"TLineObject", &TDrawObject::ClassInfo, &NewLineObject};

TLineObject::TLineObject(TPageLink* APage, int32_t AID)
    : TDrawObject(APage, AID), FPathMacros(std::make_unique<TMacros>())
{
}

TLineObject::~TLineObject() = default;

// ---------------------------------------------------------------------------
// Undo and redo

void TLineObject::Undo(int32_t Command, const void* Data, int32_t Size)
{
    TUndoRecordReader R(Data, Size, kUndoDataError);
    switch (Command & 0x7F) {
    case 18: {
        TMemoryStreamWex S;
        R.Rest(S);
        TMacros List;
        List.ReadFromStream(S, DrawItemStreamVersion);
        Invalidate(true);
        FPathMacros->Assign(&List);
        SetOutputPathState(0);
        DeclareAnchorsInvalid();
        break;
    }
    case 19:
        DoSetItemsFillPath(R.Byte());
        break;
    case 20: {
        TMemoryStreamWex S;
        R.Rest(S);
        TOutline Outline;
        Outline.ReadFromStream(S);
        Invalidate(true);
        DoSetOutline(Outline);
        DeclareAnchorsInvalid();
        break;
    }
    case 22:
        RestoreBasePath(Data, Size);
        break;
    case 23:
        if (Size > 0)
            RestoreBasePath(Data, Size);
        break;
    default:
        TDrawObject::Undo(Command, Data, Size);
    }
}

void TLineObject::Redo(int32_t Command, const void* Data, int32_t Size)
{
    TUndoRecordReader R(Data, Size, kUndoDataError);
    switch (Command & 0x7F) {
    case 22: {
        const double CX = R.Double();
        const double CY = R.Double();
        const double Angle = R.Double();
        Rotate(CX, CY, Angle);
        DeclareAnchorsInvalid();
        break;
    }
    case 23: {
        const double CX = R.Double();
        const double CY = R.Double();
        const double FX = R.Double();
        const double FY = R.Double();
        ScaleTo(CX, CY, FX, FY);
        DeclareAnchorsInvalid();
        break;
    }
    default:
        TDrawObject::Redo(Command, Data, Size);
    }
}

void TLineObject::RestoreBasePath(const void* Data, int32_t Size)
{
    TMemoryStreamWex S;
    S.SetPointer(Data, Size);
    TrecPath Path;
    RecPathReadFromStream(Path, S);
    Invalidate(true);
    RecPathAssign(FBasePath, Path);
    SetPathState(2);
    SetOutputPathState(0);
    DeclareAnchorsInvalid();
}

// ---------------------------------------------------------------------------
// Paths

void TLineObject::SetPathState(uint8_t State)
{
    if (State == FbBasePathState)
        return;
    // The area of the path being left is invalidated before the state says
    // the path is stale.
    DoClearMacrosPictCache(-1);
    FbBasePathState = State;
    if (State == 0)
        FbOutputPathState = 0;
    else if (State == 1 && FbOutputPathState == 2)
        FbOutputPathState = 1;
    ResetExtents();
}

void TLineObject::SetOutputPathState(uint8_t State)
{
    if (State == FbOutputPathState)
        return;
    DoClearMacrosPictCache(-1);
    FbOutputPathState = State;
    if (State == 2)
        FbBasePathState = 2;
    ResetExtents();
}

void TLineObject::BuildBasePath()
{
    FbBasePathState = 2;
}

void TLineObject::EnsureBasePath()
{
    CheckPathSource();
    if (FbBasePathState == 2)
        return;
    TBuildGuard Guard(FbBuilding);
    BuildBasePath();
    RecPathCalcBounds(FBasePath);
    SetPathState(2);
}

const TrecPath& TLineObject::GetBasePath()
{
    EnsureBasePath();
    return FBasePath;
}

void TLineObject::RebuildPath()
{
    if (FbOutputPathState == 2 || FbBuilding)
        return;
    if (FbOutputPathState == 1) {
        RecPathCalcBounds(FOutputPath);
        FbOutputPathState = 2;
        return;
    }
    {
        TBuildGuard Guard(FbBuilding);
        EnsureBasePath();
        gOutlineTransform(FOutline, FBasePath.Bounds, FBasePath, FOutputPath);
        RecPathCalcBounds(FOutputPath);
        FbOutputPathState = 2;
    }
    Invalidate(true);
}

void TLineObject::SetFillPath(uint8_t Flag)
{
    if (Flag == FOutputPath.Flag && Flag == FBasePath.Flag)
        return;
    FOutputPath.Flag = Flag;
    FBasePath.Flag = Flag;
    Invalidate(true);
    DoClearMacrosPictCache(-1);
    ResetExtents();
    SetModified();
}

bool TLineObject::ValuesDrawable(int32_t Dpi) const
{
    return OutlineInRange(FOutline) && FBasePath.Flag <= 1 && MacrosValuesAccepted(*FPathMacros) &&
           TDrawObject::ValuesDrawable(Dpi);
}

void TLineObject::BringValuesIntoRange(int32_t Dpi)
{
    FBasePath.Flag = FBasePath.Flag != 0;
    const bool Outline = HoldOutline(FOutline, false);
    if (HoldMacrosValues(*FPathMacros) || Outline)
        SetOutputPathState(0);
    TDrawObject::BringValuesIntoRange(Dpi);
}

void TLineObject::SetPathRecord(const TrecPath& Path)
{
    EnsureBasePath();
    Invalidate(true);
    RecPathAssign(FBasePath, Path);
    SetPathState(1);
    SetOutputPathState(0);
}

// ---------------------------------------------------------------------------
// Extents and painting

void TLineObject::CalcExtents()
{
    if (!Visible() || !Page() || FMacros->Count() == 0 || FbBuilding)
        return;
    if (!IsEmptyRect(FrectExtent1) || !IsEmptyRect(FrectExtent2))
        return;
    GetPath();
    // Building the path may have measured it already.
    if (!IsEmptyRect(FrectExtent1) || !IsEmptyRect(FrectExtent2))
        return;
    TDocumentLink* Doc = GetDocument();
    MeasureFillMacros(Page()->GetPagePicture(), Doc ? Doc->GetPictureStore() : nullptr,
                      Page()->GetDisplayMode());
}

void TLineObject::CalcExtentsAndInvalidate()
{
    CalcExtents();
    Invalidate(true);
}

void TLineObject::Paint(TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
                        uint8_t* AbortFlag, int32_t Flags)
{
    if (!Visible())
        return;
    TDrawObject::Paint(Target, DisplayMode, PictureStore, AbortFlag, Flags);
    GetPath();
    if (IsEmptyRect(FrectExtent1) || IsEmptyRect(FrectExtent2)) {
        if (Page())
            CalcExtents();
        else
            MeasureFillMacros(&Target.Picture, PictureStore, DisplayMode);
    }
    TRect R;
    RecPictureGetRect(Target.Picture, R);
    if (RectsIntersect(R, FrectExtent1) || RectsIntersect(R, FrectExtent2))
        PaintFillMacros(Target.Picture, PictureStore, DisplayMode, AbortFlag, &Target.ItemSteps);
}

bool TLineObject::SameAttributes(TDrawItem* Other)
{
    auto* O = dynamic_cast<TLineObject*>(Other);
    return O && TDrawObject::SameAttributes(Other) && O->FillPath() == FillPath() &&
           FOutline.Equals(O->FOutline);
}

// ---------------------------------------------------------------------------
// Stream forms

void TLineObject::WriteToStream(TStream& Stream)
{
    TDrawObject::WriteToStream(Stream);
    FPathMacros->WriteToStream(Stream);
    FOutline.WriteToStream(Stream);
    if (IsPolyLine())
        RecPathWriteToStream(FBasePath, Stream);
    else
        Stream.WriteBuffer(&FOutputPath.Flag, 1);
}

void TLineObject::WriteToStreamAsText(TStream& Stream)
{
    TDrawObject::WriteToStreamAsText(Stream);
    FPathMacros->WriteToStreamAsText(Stream);
    FOutline.WriteToStreamAsText(Stream);
    if (IsPolyLine())
        RecPathWriteToStreamAsText(FBasePath, Stream);
    else
        StreamWriteln(Stream, std::to_string(FOutputPath.Flag));
}

void TLineObject::ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TDrawObject::ReadFromStream(Stream, IDMap, Version);
    ReadLinePart(Stream, Version, false);
}

void TLineObject::ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version)
{
    TDrawObject::ReadFromStreamAsText(Stream, IDMap, Version);
    ReadLinePart(Stream, Version, true);
}

void TLineObject::ReadLinePart(TStream& Stream, int32_t Version, bool Text)
{
    auto ReadPath = [&] {
        if (Text)
            RecPathReadFromStreamAsText(FBasePath, Stream);
        else
            RecPathReadFromStream(FBasePath, Stream);
    };
    auto ReadMacros = [&] {
        if (Text)
            FPathMacros->ReadFromStreamAsText(Stream, Version);
        else
            FPathMacros->ReadFromStream(Stream, Version);
    };
    if (Version > 6) {
        ReadMacros();
        if (Version >= 17) {
            if (Text)
                FOutline.ReadFromStreamAsText(Stream);
            else
                FOutline.ReadFromStream(Stream);
        }
        if (IsPolyLine()) {
            ReadPath();
            FbBasePathState = 2;
        } else {
            FbBasePathState = 0;
            if (Version >= 8) {
                // The flag of both paths; the object is not drawn yet, so
                // nothing is invalidated or rebuilt here.
                const uint8_t Flag = Text ? ReadByteLine(Stream, "TLineObject.ReadFromStreamAsText")
                                          : StreamReadByte(Stream);
                FBasePath.Flag = Flag;
                if (Text)
                    FOutputPath.Flag = Flag;
            }
        }
    } else {
        ReadPath();
        ReadMacros();
        FbBasePathState = 2;
    }
    FbOutputPathState = 0;
}

// ---------------------------------------------------------------------------

void TLineObject::Assign(TDrawItem* Source)
{
    auto* S = dynamic_cast<TLineObject*>(Source);
    if (!S)
        throw EConvertError("TLineObject.Assign: DrawItemSrc is not TLineObject");
    TDrawObject::Assign(Source);
    if (S == this)
        return;
    FPathMacros->Assign(S->FPathMacros.get());
    FOutline.Assign(S->FOutline);
    RecPathAssign(FBasePath, S->GetBasePath());
    FBasePath.Flag = S->FillPath();
    FOutputPath.Flag = S->FillPath();
    SetPathState(2);
}

bool TLineObject::MoveKeepsReach(int32_t DX, int32_t DY)
{
    for (const TrecPath* P : {&GetBasePath(), &GetPath()}) {
        const TRect& B = P->Bounds;
        if (B.Left > B.Right || B.Top > B.Bottom)
            continue;
        if (!SpanKeepsReach(B.Left, B.Right, DX) || !SpanKeepsReach(B.Top, B.Bottom, DY))
            return false;
    }
    return true;
}

void TLineObject::MoveBy(int32_t DX, int32_t DY)
{
    if (DX == 0 && DY == 0)
        return;
    DeclareAnchorsInvalid();
    TDrawObject::MoveBy(DX, DY);
    ResetExtents();
    Invalidate(true);
    SetModified();
}

void TLineObject::Rotate(double CX, double CY, double Angle)
{
    DeclareAnchorsInvalid();
    Invalidate(true);
    EnsureBasePath();
    const TRect OldBounds = FBasePath.Bounds;
    const bool Recording = CanRecord();
    if (Recording) {
        TMemoryStream Undo;
        RecPathWriteToStream(FBasePath, Undo);
        const double Redo[3] = {CX, CY, Angle};
        AddHistory(0, 22, Undo.Memory(), static_cast<int32_t>(Undo.Size()));
        AddHistory(1, 22, Redo, 24);
    }
    const TPoint Centre{Sat32(RoundOff(CX)), Sat32(RoundOff(CY))};
    TrecPath Turned;
    RecPathAssign(Turned, FBasePath);
    RecPathRotate(Turned, Centre.X, Centre.Y, Angle);
    TMemoryStream Changes;
    FMacros->TransformParams(Angle, Centre, OldBounds, Turned.Bounds, Recording ? &Changes : nullptr);
    if (Recording)
        RecordParamChanges(Changes);
    RecPathAssign(FBasePath, Turned);
    SetOutputPathState(0);
}

void TLineObject::ScaleTo(double CX, double CY, double FX, double FY)
{
    DeclareAnchorsInvalid();
    Invalidate(true);
    EnsureBasePath();
    if (CanRecord()) {
        TMemoryStream Undo;
        RecPathWriteToStream(FBasePath, Undo);
        const double Redo[4] = {CX, CY, FX, FY};
        AddHistory(0, 23, Undo.Memory(), static_cast<int32_t>(Undo.Size()));
        AddHistory(1, 23, Redo, 32);
    }
    Invalidate(true);
    RecPathScale(FBasePath, Sat32(RoundOff(CX)), Sat32(RoundOff(CY)), FX, FY);
    SetPathState(2);
    SetOutputPathState(0);
}

bool TLineObject::TakeCommonAttributes(TDrawGroup& Group)
{
    if (!TDrawObject::TakeCommonAttributes(Group))
        return false;
    auto* First = dynamic_cast<TLineObject*>(TDrawItem::GetFirstDrawObject(&Group));
    if (!First)
        return true;
    uint8_t Flag = First->FillPath();
    TMacros Common;
    Common.Assign(First->FPathMacros.get());
    TOutline Merged;
    Merged.Assign(First->FOutline);
    ForEachLineObject(Group, [&](TLineObject& Obj) {
        if (Obj.FillPath() != Flag)
            Flag = 255;
        Common.IntersectWith(*Obj.FPathMacros);
        Merged.MergeWith(Obj.FOutline);
    });
    FPathMacros->Assign(&Common);
    FOutline.Assign(Merged);
    SetFillPath(Flag);
    return true;
}

bool TLineObject::DoSetItemsFillPath(uint8_t Flag)
{
    Flag = Flag != 0;
    const uint8_t Old = FillPath();
    AddHistory(0, 19, &Old, 1);
    AddHistory(1, 19, &Flag, 1);
    SetFillPath(Flag);
    return true;
}

bool TLineObject::DoSetOutline(const TOutline& Change)
{
    TOutline Outline;
    Outline.Assign(Change);
    HoldOutline(Outline, true);
    if (CanRecord()) {
        TMemoryStream Undo;
        FOutline.WriteToStream(Undo);
        TMemoryStream Redo;
        Outline.WriteToStream(Redo);
        AddHistory(0, 20, Undo.Memory(), static_cast<int32_t>(Undo.Size()));
        AddHistory(1, 20, Redo.Memory(), static_cast<int32_t>(Redo.Size()));
    }
    Invalidate(true);
    FOutline.ApplyMerged(Outline);
    SetOutputPathState(0);
    SetModified();
    return true;
}

// ---------------------------------------------------------------------------

TLineObject* TLineObject::ConvertToPolyLine(TDrawItem* Caller, int32_t AID)
{
    if (IsPolyLine())
        return nullptr;
    TDrawGroup* Group = Parent();
    const int32_t Index = Group ? Group->IndexOf(this) : -1;
    if (Index < 0)
        throw EUserError("TLineObject.ConvertToPolyLine: (iIndex < 0)");
    const TDrawItemFactory Factory = GetDrawItemFactory(1);
    if (!Factory)
        throw EUserError("TLineObject.ConvertToPolyLine: TPolyLineObj is not registered");
    std::unique_ptr<TDrawItem> Item = Factory(Page(), AID);
    auto* Poly = dynamic_cast<TLineObject*>(Item.get());
    if (!Poly || !Poly->IsPolyLine()) {
        MarkDrawItemSilent(*Item);
        throw EUserError("TLineObject.ConvertToPolyLine: type 1 is not a polyline");
    }

    const TrecPath& Out = GetPath();
    Poly->TDrawItem::Assign(this);
    Poly->FiWireframeColor = FiWireframeColor;
    Poly->FLayer = FLayer;
    Poly->FiLayerIndex = FiLayerIndex;
    Poly->FMacros->Assign(FMacros.get());
    Poly->SetPathRecord(Out);
    RecPathAssign(Poly->FOutputPath, Out);
    Poly->FbBasePathState = 2;
    Poly->FbOutputPathState = 2;

    // Everything needed after the deletion is taken first: DeleteChild
    // frees this object.
    TDocumentLink* Doc = GetDocument();
    Group->AddChild(std::move(Item), Index);
    if (Caller)
        Caller->ReplaceReference(this, Poly);
    Group->DeleteChild(this);
    if (Doc)
        Doc->SetModified(true);
    return Poly;
}
