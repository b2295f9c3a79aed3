#include "paint/macro_interpreter.h"

#include "foundation/geometry.h"
#include "foundation/platform_wrappers.h"
#include "foundation/string_list.h"
#include "foundation/user_error.h"
#include "paint/macro_library.h"
#include "paint/paint_functions_filter.h"
#include "paint/paint_macro.h"
#include "paint/picture_cache.h"
#include "platform/message_box.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <limits>
#include <utility>

namespace {

constexpr TRect cEmptyRect{-1, -1, -2, -2};

TPaintCallHook PaintCallHook;

char UpperAscii(char C)
{
    return C >= 'a' && C <= 'z' ? static_cast<char>(C - 'a' + 'A') : C;
}

bool SameTextI(std::string_view A, std::string_view B)
{
    if (A.size() != B.size())
        return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (UpperAscii(A[I]) != UpperAscii(B[I]))
            return false;
    return true;
}

std::string Hex8(int32_t Code)
{
    char Buf[16];
    std::snprintf(Buf, sizeof Buf, "%08X", static_cast<uint32_t>(Code));
    return Buf;
}


bool IsPrimaryCaption(const TMacroParam& P)
{
    return P.Caption && MatchParamCaptionI(*P.Caption, "*Primary");
}

bool IsEmptyValue(const TMacroParam& P)
{
    return !P.Value || P.Value->empty();
}

// The table of a run; the program's when none is given.
const TPaintFunctionRec* TableOf(const TPaintFunctionRec* Table)
{
    return Table ? Table : PaintFunctionTable();
}

// The entry of a line's function, or nil when the table has no callable one.
const TPaintFunctionRec* FindEntry(const TPaintFunctionRec* Table, const std::string& Name)
{
    const int32_t I = FindPaintFunction(Table, Name);
    if (I < 0 || !Table[I].Entry)
        return nullptr;
    return &Table[I];
}

int32_t ParamKind(const TPaintFunctionRec& F, int32_t I)
{
    return F.Params ? F.Params[I].Kind : pkUnused;
}

struct TNamedObject {
    std::string Name;
    void* Object;
    int32_t Kind;
    bool Owned; // made by a line of this run and not handed over
};

// One name list of a run.
class TNameList {
public:
    int32_t IndexOf(std::string_view Name) const
    {
        for (size_t I = 0; I < Items.size(); ++I)
            if (SameTextI(Items[I].Name, Name))
                return static_cast<int32_t>(I);
        return -1;
    }
    std::vector<TNamedObject> Items;
};

// The name lists of a run: paths, planes and pictures. Frees the
// intermediate objects it still owns.
class TRunObjects {
public:
    TRunObjects() = default;
    TRunObjects(const TRunObjects&) = delete;
    TRunObjects& operator=(const TRunObjects&) = delete;
    ~TRunObjects()
    {
        try {
            FreeOwned();
        } catch (const Exception&) {
            // A destructor cannot raise; FreeOwned has freed every other object.
        }
    }

    TNameList& ListOf(int32_t Kind)
    {
        return Kind == pkPath ? Paths : Kind == pkPlane ? Planes : Pictures;
    }

    void Add(int32_t Kind, std::string Name, void* Object, bool Owned)
    {
        ListOf(Kind).Items.push_back(TNamedObject{std::move(Name), Object, Kind, Owned});
    }

    // The run no longer frees Object; true when it owned it until now.
    bool Release(const void* Object)
    {
        bool Was = false;
        for (TNameList* L : {&Paths, &Planes, &Pictures})
            for (TNamedObject& E : L->Items)
                if (E.Object == Object && E.Owned) {
                    E.Owned = false;
                    Was = true;
                }
        return Was;
    }

    // Frees every owned object; the first failure is raised once all were tried.
    void FreeOwned()
    {
        std::exception_ptr Failure;
        for (TNameList* L : {&Paths, &Planes, &Pictures})
            for (TNamedObject& E : L->Items) {
                if (!E.Owned)
                    continue;
                // One object may stand under several names.
                Release(E.Object);
                try {
                    FreePaintObject(E.Kind, E.Object);
                } catch (const Exception&) {
                    if (!Failure)
                        Failure = std::current_exception();
                }
            }
        if (Failure)
            std::rethrow_exception(Failure);
    }

    TNameList Paths;
    TNameList Planes;
    TNameList Pictures;
};

// A function's result until a name list takes it.
class TResultHolder {
public:
    explicit TResultHolder(int32_t Kind) : FKind(Kind) {}
    TResultHolder(const TResultHolder&) = delete;
    TResultHolder& operator=(const TResultHolder&) = delete;
    ~TResultHolder()
    {
        try {
            FreePaintObject(FKind, Object);
        } catch (const Exception&) {
            // Only reached while another failure is on its way out.
        }
    }
    void* Release() { return std::exchange(Object, nullptr); }

    void* Object = nullptr;

private:
    int32_t FKind;
};

// Whether the cache holds a run of this instance: some input of a final line
// is stored under its name. Only a filling run of these lines stores entries,
// so this tells the same as looking for any name with the suffix.
bool CacheHoldsRun(const TMacro& Macro, const TPictureCache& Cache, const std::string& Suffix,
                   const TPaintFunctionRec* Table)
{
    if (Cache.Count() == 0)
        return false;
    for (int32_t L = 0; L < Macro.LineCount(); ++L) {
        const TMacroLine& Line = Macro.Line(L);
        if (Line.Flags() == 0)
            continue;
        const TPaintFunctionRec* F = FindEntry(Table, Line.FunctionName);
        if (!F)
            continue;
        const int32_t N = std::min<int32_t>(F->ParamCount, static_cast<int32_t>(Line.Params.size()));
        for (int32_t I = 0; I < N; ++I) {
            const int32_t Kind = ParamKind(*F, I);
            const TMacroParam& P = Line.Params[static_cast<size_t>(I)];
            if ((Kind == pkPlane || Kind == pkPicture) && !IsEmptyValue(P) &&
                Cache.Find(*P.Value + Suffix))
                return true;
        }
    }
    return false;
}

// The variant of Macro for a quality mode, with Macro's user parameters, or
// nil when the first library has none.
std::unique_ptr<TMacro> MakeQualityVariant(const TMacro& Macro, const char* Suffix)
{
    const std::string Name = Macro.Name() + Suffix;
    if (!gMacroLibrary || gMacroLibrary->IndexOf(Name) < 0)
        return nullptr;
    std::unique_ptr<TMacro> Variant = TMacro::CreateByName(Name);
    // From the last parameter backwards, so the last one of a caption wins.
    std::vector<std::string> Taken;
    for (int32_t L = Macro.LineCount() - 1; L >= 0; --L) {
        const std::vector<TMacroParam>& Params = Macro.Line(L).Params;
        for (auto P = Params.rbegin(); P != Params.rend(); ++P) {
            if (!P->Caption || P->Caption->empty() || (*P->Caption)[0] == '*')
                continue;
            if (std::any_of(Taken.begin(), Taken.end(),
                            [&](const std::string& T) { return SameTextI(T, *P->Caption); }))
                continue;
            Taken.push_back(*P->Caption);
            // An unknown value (nil) leaves the variant's own.
            if (P->Value)
                Variant->SetParamValue(*P->Caption, *P->Value);
        }
    }
    return Variant;
}


// The run proper, after the enabled byte and the quality mode were settled.
std::unique_ptr<TMacroStopResult> RunLines(const TMacro& Macro, TPictureCache* Cache,
                                           const TMacroPaintArgs& Args, TRect& Rect1,
                                           TRect& Rect2)
{
    const TPaintFunctionRec* Table = TableOf(Args.Table);
    const std::string Suffix = "\t" + std::to_string(Args.Instance);

    bool Caching = false;
    bool Reusing = false;
    if (!Args.MeasureOnly && Cache) {
        if (!Args.UseCache) {
            Cache->Clear();
        } else {
            Caching = true;
            Reusing = CacheHoldsRun(Macro, *Cache, Suffix, Table);
        }
    }
    const bool Filling = Caching && !Reusing;

    TRunObjects Objects;
    Objects.Add(pkPicture, cPictureBackGround, Args.Target, false);
    if (Args.NamedPlanes)
        for (int32_t I = 0; I < Args.NamedPlanes->Count(); ++I)
            Objects.Add(pkPlane, Args.NamedPlanes->Strings(I) + Suffix,
                        Args.NamedPlanes->Objects(I), false);

    // Inputs of final lines that a filling run leaves in the cache once the
    // whole run has succeeded, so that the cache never holds a record that a
    // later line of the run replaced.
    std::vector<std::pair<std::string, TrecPicture*>> ToCache;
    std::optional<std::string> StopText;
    if (Args.StopCaption)
        StopText = DisplayPart(*Args.StopCaption);

    std::vector<void*> Argv;
    const int32_t LineCount = Macro.LineCount();
    for (int32_t L = 0; L < LineCount; ++L) {
        const TMacroLine& Line = Macro.Line(L);
        const TPaintFunctionRec* F = FindEntry(Table, Line.FunctionName);
        if (!F)
            throw EUserError("TMacro.Paint: Function Not Found");
        if (Reusing && Line.Flags() == 0)
            continue;

        // Arguments follow the function's own parameter list, so that the
        // picture store always lands after its last parameter.
        const int32_t ParamCount = std::max<int32_t>(F->ParamCount, 0);
        Argv.assign(static_cast<size_t>(ParamCount) + 1, nullptr);
        bool BoundTarget = false;
        bool Stop = false;
        const int32_t Given = std::min<int32_t>(ParamCount, static_cast<int32_t>(Line.Params.size()));
        for (int32_t I = 0; I < Given; ++I) {
            const TMacroParam& P = Line.Params[static_cast<size_t>(I)];
            const int32_t Kind = ParamKind(*F, I);
            if (StopText && L > 0 && P.Caption && MatchParamCaptionI(*P.Caption, *StopText))
                Stop = true;

            if (!IsObjectKind(Kind)) {
                if (P.Caption && SameTextI(*P.Caption, "*Cx"))
                    throw EUserError("TMacro.Paint: (strIComp(pcQuickName, cstrCxParam) = 0)");
                if (P.Caption && SameTextI(*P.Caption, "*Cy"))
                    throw EUserError("(strIComp(pcQuickName, cstrCyParam) = 0)");
                Argv[static_cast<size_t>(I)] = P.Value ? const_cast<char*>(P.Value->c_str()) : nullptr;
                continue;
            }

            if (IsEmptyValue(P)) {
                if (IsPrimaryCaption(P))
                    Argv[static_cast<size_t>(I)] = Kind == pkPath      ? static_cast<void*>(Args.PrimaryPath)
                                                   : Kind == pkPicture ? static_cast<void*>(Args.PrimaryPicture)
                                                                       : nullptr;
                continue;
            }

            const std::string& Value = *P.Value;
            const bool IsTarget = SameTextI(Value, cPictureBackGround);
            if (IsTarget)
                BoundTarget = true;
            const std::string Name = IsTarget ? std::string(cPictureBackGround) : Value + Suffix;
            // The cache holds planes and pictures only.
            if (Reusing && Kind != pkPath)
                if (TrecPicture* Cached = Cache->Find(Value + Suffix)) {
                    Argv[static_cast<size_t>(I)] = Cached;
                    continue;
                }
            TNameList& List = Objects.ListOf(Kind);
            const int32_t Index = List.IndexOf(Name);
            if (Index < 0) {
                std::string Msg = std::to_string(L + 1) + "行目の" + Value + " は、登録されていません。";
                throw EUserError(Reusing ? Msg : Macro.Name() + ":" + Msg);
            }
            const TNamedObject& E = List.Items[static_cast<size_t>(Index)];
            Argv[static_cast<size_t>(I)] = E.Object;
            if (Filling && Line.Flags() != 0 && E.Owned && Kind != pkPath && E.Object)
                ToCache.emplace_back(Value + Suffix, static_cast<TrecPicture*>(E.Object));
        }
        Argv[static_cast<size_t>(ParamCount)] = Args.Store;

        if (Stop) {
            auto Result = std::make_unique<TMacroStopResult>();
            Result->LineIndex = L;
            Result->Args.assign(static_cast<size_t>(ParamCount), nullptr);
            for (int32_t I = 0; I < ParamCount; ++I) {
                const int32_t Kind = ParamKind(*F, I);
                if (Kind != pkPlane && Kind != pkPicture)
                    continue;
                auto* Pic = static_cast<TrecPicture*>(Argv[static_cast<size_t>(I)]);
                Result->Args[static_cast<size_t>(I)] = Pic;
                if (Pic && Objects.Release(Pic))
                    Result->Owned.push_back(Pic);
            }
            Objects.FreeOwned();
            return Result;
        }

        TResultHolder Made(F->ResultKind);
        TRect R1 = cEmptyRect;
        TRect R2 = cEmptyRect;
        const int32_t Failed = PaintCallHook ? PaintCallHook(F->Name, Args) : 0;
        const int32_t Code =
            Failed != 0 ? Failed : F->Entry(Made.Object, Argv.data(), Args.Abort, R1, R2, Args.MeasureOnly);

        if (Args.Abort) {
            if (Args.StepHook)
                Args.StepHook(L + 1, LineCount);
            if (*Args.Abort != 0) {
                Objects.FreeOwned();
                return nullptr;
            }
        }
        if (Code != 0)
            throw EUserError(std::string(F->Name) + " の実行に失敗。戻り値 = " + Hex8(Code));
        if (BoundTarget) {
            RectUnion(Rect1, R1, Rect1);
            RectUnion(Rect2, R2, Rect2);
            // The target as the destination, the first argument.
            if (Args.Reach && Args.Target && Argv[0] == Args.Target)
                *Args.Reach = static_cast<int32_t>(std::min<int64_t>(
                    int64_t{*Args.Reach} + PaintDestinationReach(F->Name, Argv.data()),
                    std::numeric_limits<int32_t>::max()));
        }
        if (F->ResultKind == rkNone) {
            if (Made.Object) {
                // Of no declared kind: nobody can tell how to free it.
                Made.Release();
                throw EUserError(std::string(F->Name) + "関数の戻り値が nil ではありません。");
            }
        } else {
            if (!Made.Object)
                throw EUserError(std::string(F->Name) + "関数の戻り値が nil です。");
            Objects.Add(F->ResultKind, Line.ResultName + Suffix, Made.Release(), true);
        }
    }

    for (const auto& [Name, Record] : ToCache) {
        if (Cache->Find(Name) || !Objects.Release(Record))
            continue;
        Cache->Add(Name, *Record);
        delete Record; // the cache owns its pixels now
    }
    Objects.FreeOwned();
    return nullptr;
}

} // namespace

TMacroStopResult::~TMacroStopResult()
{
    for (TrecPicture* P : Owned) {
        try {
            FreePaintObject(pkPicture, P);
        } catch (const Exception&) {
            // A destructor cannot raise; the other records are still freed.
        }
    }
}

bool MatchParamCaptionI(std::string_view Stored, std::string_view Text)
{
    return Stored.size() >= Text.size() && SameTextI(Stored.substr(0, Text.size()), Text) &&
           (Stored.size() == Text.size() || Stored[Text.size()] == '|');
}

void FreePaintObject(int32_t Kind, void* Object)
{
    if (!Object)
        return;
    if (Kind == pkPath) {
        delete static_cast<TrecPath*>(Object);
    } else if (Kind == pkPlane || Kind == pkPicture) {
        std::unique_ptr<TrecPicture> P(static_cast<TrecPicture*>(Object));
        RecPictureClear(*P);
    }
}

std::unique_ptr<TMacroStopResult> MacroPaint(const TMacro& Macro, TPictureCache* Cache,
                                             const TMacroPaintArgs& Args, TRect& Rect1,
                                             TRect& Rect2)
{
    if (Macro.Enabled() == 0)
        return nullptr;
    if (Args.Quality == cPaintQualityLow || Args.Quality == cPaintQualityMid) {
        std::unique_ptr<TMacro> Variant =
            MakeQualityVariant(Macro, Args.Quality == cPaintQualityLow ? "_Low" : "_Mid");
        if (!Variant && Args.Quality == cPaintQualityLow)
            return nullptr;
        if (Variant) {
            // The variant paints with this macro's cache, so whatever it keeps
            // stays with this macro.
            TMacroPaintArgs VariantArgs = Args;
            VariantArgs.Quality = cPaintQualityVariant;
            return MacroPaint(*Variant, Cache, VariantArgs, Rect1, Rect2);
        }
    }
    return RunLines(Macro, Cache, Args, Rect1, Rect2);
}

TPaintCallHook SetPaintCallHook(TPaintCallHook Hook)
{
    return std::exchange(PaintCallHook, std::move(Hook));
}

void MacroMakePath(const TMacro& Macro, TrecPath& Input, TrecPath& Result, uint8_t* Abort,
                   const TPaintFunctionRec* Table)
{
    Table = TableOf(Table);
    TRunObjects Objects;
    TNameList& Paths = Objects.Paths;
    std::vector<void*> Argv;
    for (int32_t L = 0; L < Macro.LineCount(); ++L) {
        const TMacroLine& Line = Macro.Line(L);
        const TPaintFunctionRec* F = FindEntry(Table, Line.FunctionName);
        if (!F) {
            ErrorMessageBox("TMacro.MakePath: Function Not Found");
            return;
        }
        const int32_t ParamCount = std::max<int32_t>(F->ParamCount, 0);
        Argv.assign(static_cast<size_t>(ParamCount) + 1, nullptr);
        const int32_t Given = std::min<int32_t>(ParamCount, static_cast<int32_t>(Line.Params.size()));
        for (int32_t I = 0; I < Given; ++I) {
            const TMacroParam& P = Line.Params[static_cast<size_t>(I)];
            const int32_t Kind = ParamKind(*F, I);
            // A path run makes no planes or pictures: such arguments stay nil
            // rather than handing a text to a function that expects a record.
            if (Kind == pkPlane || Kind == pkPicture)
                continue;
            if (Kind != pkPath) {
                Argv[static_cast<size_t>(I)] = P.Value ? const_cast<char*>(P.Value->c_str()) : nullptr;
                continue;
            }
            if (IsEmptyValue(P)) {
                if (IsPrimaryCaption(P))
                    Argv[static_cast<size_t>(I)] = &Input;
                continue;
            }
            const int32_t Index = Paths.IndexOf(*P.Value);
            if (Index < 0) {
                ErrorMessageBox(std::to_string(L + 1) + "行目の" + *P.Value + " は、登録されていません。");
                return;
            }
            Argv[static_cast<size_t>(I)] = Paths.Items[static_cast<size_t>(Index)].Object;
        }

        TResultHolder Made(F->ResultKind);
        TRect R = cEmptyRect;
        const int32_t Code = F->Entry(Made.Object, Argv.data(), Abort, R, R, false);
        if (Code != 0) {
            ErrorMessageBox(std::string(F->Name) + " の実行に失敗。戻り値 = " + Hex8(Code));
            return;
        }
        if (F->ResultKind != rkNone && F->ResultKind != rkPath) {
            MessageBox(nullptr, std::string(F->Name) + "関数の戻り値が パス以外です", "", MB_OK);
            return;
        }
        if (F->ResultKind == rkNone && Made.Object) {
            Made.Release();
            MessageBox(nullptr, std::string(F->Name) + "関数の戻り値が nil ではありません。", "", MB_OK);
            return;
        }
        if (F->ResultKind == rkPath && !Made.Object) {
            MessageBox(nullptr, std::string(F->Name) + "関数の戻り値が nil です。", "", MB_OK);
            return;
        }
        if (Made.Object)
            Objects.Add(pkPath, Line.ResultName, Made.Release(), true);
    }
    const int32_t Index = Paths.IndexOf(cResultPath);
    if (Index < 0) {
        ErrorMessageBox(Macro.Name() + ":戻り値(" + cResultPath + ")がありません。");
        return;
    }
    RecPathAssign(Result, *static_cast<const TrecPath*>(Paths.Items[static_cast<size_t>(Index)].Object));
}
