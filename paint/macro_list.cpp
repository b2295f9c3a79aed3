#include "paint/macro_list.h"

#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "store/picture_store.h"
#include "paint/fill_value.h"
#include "paint/gradation_object.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"

#include <algorithm>
#include <limits>
#include <numbers>

namespace {

void* AsEntry(TMacro* Macro)
{
    return static_cast<TObject*>(Macro);
}

TMacro* AsMacro(void* Entry)
{
    return static_cast<TMacro*>(static_cast<TObject*>(Entry));
}

// A stored macro count must be non-negative and fit in what is left of the
// stream: every macro takes at least MinBytes of it (its name's length field,
// or in the text form its name line), so an absurd count cannot keep the
// reader making empty macros at the end of the stream.
int32_t CheckMacroCount(int32_t Count, const char* Who, TStream& Stream, int64_t MinBytes)
{
    const int64_t Left = Stream.Size() - Stream.Position();
    if (Count < 0 || int64_t{Count} * MinBytes > Left)
        throw EReadError(std::string(Who) + ": マクロ数(" + std::to_string(Count) + ")が不正です");
    return Count;
}

bool IsPictureBearing(int32_t Kind)
{
    return Kind == pkFill || Kind == pkPlaneFill || Kind == pkReflection;
}

// Calls Visit(macro index, line index, parameter index, macro, value) for
// every set value of a fill or reflection parameter. Visit gets a copy of the
// value, so it may rewrite the parameter.
template <class TVisit>
void ForEachPictureParam(const TMacros& List, TVisit Visit)
{
    const TPaintFunctionRec* Table = PaintFunctionTable();
    for (int32_t M = 0; M < List.Count(); ++M) {
        TMacro& Macro = *List.GetMacro(M);
        for (int32_t L = 0; L < Macro.LineCount(); ++L) {
            const TMacroLine& Line = Macro.Line(L);
            const int32_t FI = FindPaintFunction(Table, Line.FunctionName);
            if (FI < 0 || !Table[FI].Params)
                continue;
            const TPaintFunctionRec& F = Table[FI];
            const int32_t N = std::min<int32_t>(F.ParamCount, static_cast<int32_t>(Line.Params.size()));
            for (int32_t I = 0; I < N; ++I) {
                const TMacroParam& P = Line.Params[static_cast<size_t>(I)];
                if (IsPictureBearing(F.Params[I].Kind) && P.Value)
                    Visit(M, L, I, Macro, std::string(*P.Value));
            }
        }
    }
}

// The method data of a fill value: the text from its third character.
std::string FillData(const std::string& Value)
{
    return Value.size() > 2 ? Value.substr(2) : std::string();
}

// Width or height of inclusive bounds, saturated to int32.
int32_t BoundsSpan(int32_t Low, int32_t High)
{
    const int64_t Span = int64_t{High} - Low + 1;
    return static_cast<int32_t>(std::clamp<int64_t>(Span, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

int32_t RoundTo32(double X)
{
    return static_cast<int32_t>(std::clamp<int64_t>(RoundOff(X), std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

void AddHandleOnce(TListPtrWex& Handles, int32_t Handle)
{
    void* Item = reinterpret_cast<void*>(static_cast<intptr_t>(Handle));
    if (Handles.IndexOf(Item) < 0)
        Handles.Add(Item);
}

} // namespace

TMacros::TMacros() = default;

TMacros::~TMacros()
{
    FList.FreeObjects();
}

void TMacros::Assign(const TObject* Source)
{
    const auto* Other = dynamic_cast<const TMacros*>(Source);
    if (Other == nullptr)
        RaiseAssignError(this, Source);
    if (Other == this)
        return;
    Clear();
    for (int32_t I = 0; I < Other->Count(); ++I)
        Insert(Count(), *Other->GetMacro(I));
}

void TMacros::SetParamValueByTag(const std::string& Tag, const std::string& Value)
{
    for (int32_t I = 0; I < Count(); ++I)
        GetMacro(I)->SetParamValueByTag(Tag, Value);
}

void TMacros::Clear()
{
    FList.FreeObjects();
    FList.Clear();
}

void TMacros::Delete(int32_t Index)
{
    FList.DeleteRangeFree(Index, 1);
}

void TMacros::Insert(int32_t Index, const TMacro& Macro)
{
    auto Copy = std::make_unique<TMacro>();
    Copy->Assign(Macro);
    Insert(Index, std::move(Copy));
}

void TMacros::Insert(int32_t Index, std::unique_ptr<TMacro> Macro)
{
    FList.Insert(std::clamp(Index, 0, Count()), AsEntry(Macro.get()));
    Macro.release(); // owned by the list from now on
}

void TMacros::Exchange(int32_t Index1, int32_t Index2)
{
    for (const int32_t Index : {Index1, Index2})
        if (Index < 0 || Index >= Count())
            FList.Error(SListIndexError, Index);
    FList.Exchange(Index1, Index2);
}

int32_t TMacros::Add(std::unique_ptr<TMacro> Macro)
{
    const int32_t Index = FList.Add(AsEntry(Macro.get()));
    Macro.release(); // owned by the list from now on
    return Index;
}

void TMacros::Move(int32_t CurIndex, int32_t NewIndex)
{
    FList.Move(CurIndex, NewIndex);
}

TMacro* TMacros::GetMacro(int32_t Index) const
{
    return AsMacro(FList.Get(Index));
}

bool TMacros::Equals(const TMacros& Other) const
{
    if (Count() != Other.Count())
        return false;
    for (int32_t I = 0; I < Count(); ++I)
        if (!GetMacro(I)->Equals(*Other.GetMacro(I)))
            return false;
    return true;
}

void TMacros::IntersectWith(const TMacros& Other)
{
    if (Count() == 0)
        return;
    bool Match = Count() == Other.Count();
    for (int32_t I = 0; Match && I < Count(); ++I)
        Match = GetMacro(I)->Name() == Other.GetMacro(I)->Name();
    if (!Match) {
        Clear();
        return;
    }
    for (int32_t I = 0; I < Count(); ++I)
        GetMacro(I)->IntersectWith(*Other.GetMacro(I));
}

void TMacros::WriteToStream(TStream& Stream) const
{
    StreamWriteInt32(Stream, Count());
    for (int32_t I = 0; I < Count(); ++I)
        GetMacro(I)->WriteToStream(Stream);
}

void TMacros::ReadFromStream(TStream& Stream, int32_t Version)
{
    Clear();
    const int32_t N = CheckMacroCount(StreamReadInt32(Stream), "TMacros.ReadFromStream", Stream, 4);
    for (int32_t I = 0; I < N; ++I) {
        auto Macro = std::make_unique<TMacro>();
        Macro->ReadFromStream(Stream, Version);
        Add(std::move(Macro));
    }
}

void TMacros::WriteToStreamAsText(TStream& Stream) const
{
    StreamWriteln(Stream, std::to_string(Count()));
    for (int32_t I = 0; I < Count(); ++I)
        GetMacro(I)->WriteToStreamAsText(Stream);
}

void TMacros::ReadFromStreamAsText(TStream& Stream, int32_t Version)
{
    Clear();
    const int32_t N = CheckMacroCount(StrToInt(StreamReadln(Stream)), "TMacros.ReadFromStreamAsText", Stream, 1);
    for (int32_t I = 0; I < N; ++I) {
        auto Macro = std::make_unique<TMacro>();
        Macro->ReadFromStreamAsText(Stream, Version);
        Add(std::move(Macro));
    }
}

void TMacros::Paint(const TMacroPaintArgs& Args, const TPaintProgressProc& Progress,
                    TPaintProgress* ProgressRecord, TRect& Rect1, TRect& Rect2) const
{
    const bool Report = !Args.MeasureOnly && ProgressRecord && ProgressRecord->Owner;
    if (Report)
        ProgressRecord->Total = Count();
    Rect1 = TRect{-1, -1, -2, -2};
    Rect2 = Rect1;
    TMacroPaintArgs MacroArgs = Args;
    MacroArgs.StopCaption.reset();
    for (int32_t I = 0; I < Count(); ++I) {
        if (Report) {
            ProgressRecord->Current = I + 1;
            if (Progress)
                Progress(*ProgressRecord);
        }
        MacroPaint(*GetMacro(I), &GetMacro(I)->PictureCache(), MacroArgs, Rect1, Rect2);
        if (Args.Abort && *Args.Abort != 0)
            break;
    }
}

void TMacros::MakePath(const TrecPath& Source, TrecPath& Result, uint8_t* Abort,
                       const TPaintStepHook& Hook, const TPaintFunctionRec* Table) const
{
    if (Count() == 0) {
        RecPathAssign(Result, Source);
        return;
    }
    TrecPath Work;
    RecPathAssign(Work, Source);
    for (int32_t I = 0; I < Count(); ++I) {
        MacroMakePath(*GetMacro(I), Work, Result, Abort, Table);
        RecPathAssign(Work, Result);
        if (Abort) {
            if (Hook)
                Hook(I + 1, Count());
            if (*Abort != 0) {
                RecPathAssign(Result, Source);
                break;
            }
        }
    }
}

void TMacros::TransformParams(double Angle, const TPoint& Centre, const TRect& OldBounds,
                              const TRect& NewBounds, TStream* Undo)
{
    const double OldWidth = BoundsSpan(OldBounds.Left, OldBounds.Right);
    const double OldHeight = BoundsSpan(OldBounds.Top, OldBounds.Bottom);
    const int32_t NewWidth = BoundsSpan(NewBounds.Left, NewBounds.Right);
    const int32_t NewHeight = BoundsSpan(NewBounds.Top, NewBounds.Bottom);
    // A stored point's place on the page, turned about the centre, in
    // 1/16384 of the new bounds.
    auto Turn = [&](int32_t& X, int32_t& Y) {
        const double PageX = static_cast<double>(RoundOff(OldBounds.Left + OldWidth * X / 16384.0));
        const double PageY = static_cast<double>(RoundOff(OldBounds.Top + OldHeight * Y / 16384.0));
        TPoint P{RoundTo32(PageX - Centre.X), RoundTo32(PageY - Centre.Y)};
        RotatePoint(P, Angle);
        X = RoundTo32(16384.0 * (static_cast<double>(P.X) + Centre.X - NewBounds.Left) / NewWidth);
        Y = RoundTo32(16384.0 * (static_cast<double>(P.Y) + Centre.Y - NewBounds.Top) / NewHeight);
    };

    ForEachPictureParam(*this, [&](int32_t M, int32_t L, int32_t I, TMacro& Macro, const std::string& Value) {
        if (Value.size() <= 2 || (Value[0] != FillMethodGradation && Value[0] != FillMethodPicture) ||
            Value[1] == '0')
            return;
        std::string NewData;
        if (Value[0] == FillMethodGradation) {
            // Bounds without width or height give no place to measure in.
            if (NewWidth <= 0 || NewHeight <= 0)
                return;
            TGradationObject Gradation;
            Gradation.StrToGradation(FillData(Value));
            Turn(Gradation.iX1, Gradation.iY1);
            Turn(Gradation.iX2, Gradation.iY2);
            NewData = Gradation.GradationToStr();
        } else {
            TFillPictParam Param;
            StrToFillPictParam(FillData(Value), Param);
            Param.dAngle += Angle * 180.0 / std::numbers::pi;
            TPoint Offset{Param.iOffsetX, Param.iOffsetY};
            RotatePoint(Offset, Angle);
            Param.iOffsetX = Offset.X;
            Param.iOffsetY = Offset.Y;
            NewData = FillPictParamToStr(Param);
        }
        std::string NewValue = Value.substr(0, 2) + NewData;
        if (Undo) {
            StreamWriteInt32(*Undo, M);
            StreamWriteInt32(*Undo, L);
            StreamWriteInt32(*Undo, I + 1);
            StreamWriteString(*Undo, Utf8ToCp932(Value));
            StreamWriteString(*Undo, Utf8ToCp932(NewValue));
        }
        Macro.SetLineParamValue(L, I, NewValue);
    });
}

void TMacros::CollectPictures(TListPtrWex& Handles, const TListRecPict& Store, const TRect& Bounds) const
{
    const int32_t Width = BoundsSpan(Bounds.Left, Bounds.Right);
    const int32_t Height = BoundsSpan(Bounds.Top, Bounds.Bottom);
    ForEachPictureParam(*this, [&](int32_t, int32_t, int32_t, TMacro&, const std::string& Value) {
        if (Value.empty() || Value[0] != FillMethodPicture)
            return;
        TFillPictParam Param;
        StrToFillPictParam(FillData(Value), Param);
        if (Param.iHandle < 0)
            return;
        AddHandleOnce(Handles, Param.iHandle);
        int32_t Derived = -1;
        // The condition under which the fill stores the picture it derived.
        Store.FindByCondition(Param.iHandle, Param.iWidth, Param.iHeight, Param.dAngle, Param.bOption1,
                              TPoint{Param.iOffsetX, Param.iOffsetY}, Width, Height, &Derived);
        if (Derived >= 0)
            AddHandleOnce(Handles, Derived);
    });
}

bool TMacros::PicturesHeld(const std::function<bool(int32_t)>& Held) const
{
    bool All = true;
    ForEachPictureParam(*this, [&](int32_t, int32_t, int32_t, TMacro&, const std::string& Value) {
        if (!All || Value.size() <= 1 || Value[0] != FillMethodPicture)
            return;
        TFillPictParam Param;
        StrToFillPictParam(FillData(Value), Param);
        All = Param.iHandle < 0 || Held(Param.iHandle);
    });
    return All;
}

bool TMacros::DropPicturesNotHeld(const std::function<bool(int32_t)>& Held)
{
    bool Changed = false;
    ForEachPictureParam(*this, [&](int32_t, int32_t L, int32_t I, TMacro& Macro, const std::string& Value) {
        if (Value.size() <= 1 || Value[0] != FillMethodPicture)
            return;
        TFillPictParam Param;
        try {
            StrToFillPictParam(FillData(Value), Param);
        } catch (const EUserError&) {
            return; // no picture is read from it
        }
        if (Param.iHandle < 0 || Held(Param.iHandle))
            return;
        Param.iHandle = -1;
        Macro.SetLineParamValue(L, I, Value.substr(0, 2) + FillPictParamToStr(Param));
        Changed = true;
    });
    return Changed;
}

void TMacros::RemapPictures(const TList2Item& Map)
{
    ForEachPictureParam(*this, [&](int32_t, int32_t L, int32_t I, TMacro& Macro, const std::string& Value) {
        if (Value.size() <= 1 || Value[0] != FillMethodPicture)
            return;
        TFillPictParam Param;
        StrToFillPictParam(FillData(Value), Param);
        const int32_t Index = Map.IndexOfKey(Param.iHandle);
        if (Index < 0)
            return;
        Param.iHandle = static_cast<int32_t>(Map.GetItem(Index));
        Macro.SetLineParamValue(L, I, Value.substr(0, 2) + FillPictParamToStr(Param));
    });
}
