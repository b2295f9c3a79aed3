#include "paint/paint_macro.h"

#include "foundation/lists.h"
#include "foundation/platform_wrappers.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/string_list.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "paint/macro_library.h"
#include "paint/macro_library_check.h"
#include "paint/paint_function_table.h"
#include "paint/picture_cache.h"
#include "platform/cp932.h"


namespace {

struct TNameRename {
    const char* OldName;
    const char* NewName;
};

constexpr TNameRename MacroNameRenames[] = {
    {"エンボス", "エンボス（照明）"},
    {"エンボス（フィルタ）", "エンボス（光沢付け）"},
    {"エンボス外（フィルタ）", "エンボス外（光沢付け）"},
    {"ベベル", "ベベル（照明）"},
    {"べベル（フィルタ）", "ベベル（光沢付け）"}, // the old name began with a hiragana "べ"
    {"塗り", "塗り(ボカシ)"},
    {"ガラス", "クリスタル"},
    {"凹凸テクスチャ", "テクスチャ（陰影）"},
    {"テクスチャ（凸凹）", "テクスチャ（陰影）"},
    {"塗り(影)", "塗り（陰影）"},
    {"(旧)かすれ", "かすれ"},
    {"(旧)かすれ(照明)", "かすれ(照明)"},
    {"(旧)スタンプ", "スタンプ"},
};

struct TCaptionRename {
    const char* MacroName; // nullptr: any macro
    const char* OldCaption;
    const char* NewCaption;
    bool OnlyBefore23;
};

constexpr TCaptionRename CaptionRenames[] = {
    {nullptr, "角度", "光源方向", false},
    {nullptr, "ボカシの広がり", "広がり", false},
    {nullptr, "ボカシの強さ", "ボカシ量", false},
    {nullptr, "塗潰し指定", "塗りつぶし指定", false},
    {nullptr, "影のボカシサイズ", "影のボカシ量", false},
    {nullptr, "影オフセット量(X)", "影のずらし量(X)", false},
    {nullptr, "影オフセット量(Y)", "影のずらし量(Y)", false},
    {"塗り(ボカシ)", "広がり", "図形の広がり", true},
    {"エンボス（照明）", "ボカシ量", "斜辺の幅", true},
    {"エンボス（光沢付け）", "幅", "斜辺の幅", true},
    {"エンボス外（光沢付け）", "幅", "斜辺の幅", true},
    {"エンボス（光沢付け）", "光沢の不透明度", "光沢の強さ", true},
    {"エンボス（光沢付け）", "影の不透明度", "影の強さ", true},
    {"エンボス外（光沢付け）", "光沢の不透明度", "光沢の強さ", true},
    {"エンボス外（光沢付け）", "影の不透明度", "影の強さ", true},
    {"ベベル（光沢付け）", "光沢の不透明度", "光沢の強さ", true},
    {"ベベル（光沢付け）", "影の不透明度", "影の強さ", true},
    {"ベベル外（光沢付け）", "光沢の不透明度", "光沢の強さ", true},
    {"ベベル外（光沢付け）", "影の不透明度", "影の強さ", true},
    {"テクスチャ（陰影）", "テクスチャ画像", "凸凹画像", false},
};

// Captions from this version on carry their current names.
constexpr int32_t cCaptionRenameVersion = 23;
// From this version on the lines come from the library.
constexpr int32_t cLibraryLinesVersion = 6;
// From this version on the enabled byte is stored.
constexpr int32_t cEnabledByteVersion = 24;

void WriteText(TStream& Stream, const std::string& S)
{
    StreamWriteString(Stream, Utf8ToCp932(S));
}

std::string ReadText(TStream& Stream)
{
    return Cp932ToUtf8(StreamReadString(Stream));
}

void WriteTextLine(TStream& Stream, const std::string& S)
{
    StreamWriteln(Stream, Utf8ToCp932(S));
}

std::string ReadTextLine(TStream& Stream)
{
    return Cp932ToUtf8(StreamReadln(Stream));
}

// A count read from a stream; a negative one means the data is damaged.
int32_t CheckCount(int32_t Count, const char* Who, const char* What)
{
    if (Count < 0)
        throw EReadError(std::string(Who) + ": " + What + "(" + std::to_string(Count) +
                         ")が不正です");
    return Count;
}


// A stored caption without a tag, read into a library macro whose caption
// carries one (a range text given after the document was written): the
// library's caption, so that the panel keeps its range. The value is
// untouched.
std::string KeepLibraryTag(const TMacro& Macro, const std::string& Caption)
{
    if (Caption.find('|') != std::string::npos)
        return Caption;
    TStringList Captions;
    TStringList Values;
    Macro.GetParams(Captions, Values);
    if (Captions.IndexOf(Caption) >= 0)
        return Caption;
    for (int32_t I = 0; I < Captions.Count(); ++I)
        if (MatchParamCaption(Captions.Strings(I), Caption))
            return Captions.Strings(I);
    return Caption;
}

// A stored pair names a user parameter; one whose caption names none (empty,
// or internal with a leading "*") would set every internal parameter of that
// caption - the library's constants and object names - and is passed over.
bool NamesUserParam(const std::string& Caption)
{
    const std::string Display = DisplayPart(Caption);
    return !Display.empty() && Display[0] != '*';
}

// A stored enabled byte: any value but 0 is on. A merged selection's "mixed"
// (255) is no state a lone macro can be in.
uint8_t StoredEnabled(int64_t Stored)
{
    return Stored != 0 ? 1 : 0;
}

} // namespace

bool MatchParamCaption(std::string_view Stored, std::string_view Text)
{
    return Stored.substr(0, Text.size()) == Text &&
           (Stored.size() == Text.size() || Stored[Text.size()] == '|');
}

std::string MigrateMacroName(const std::string& Name, int32_t /*Version*/)
{
    std::string Result = Name;
    for (const TNameRename& R : MacroNameRenames)
        if (Result == R.OldName)
            Result = R.NewName;
    return Result;
}

std::vector<std::string> MigratedMacroNames()
{
    std::vector<std::string> Names;
    for (const TNameRename& R : MacroNameRenames)
        if (MigrateMacroName(R.NewName, 0) == R.NewName)
            Names.emplace_back(R.NewName);
    return Names;
}

std::string MigrateMacroParamCaption(const std::string& MacroName, const std::string& Caption,
                                     int32_t Version)
{
    std::string Result = Caption;
    for (const TCaptionRename& R : CaptionRenames) {
        if (R.OnlyBefore23 && Version >= cCaptionRenameVersion)
            continue;
        if (R.MacroName != nullptr && MacroName != R.MacroName)
            continue;
        if (Result == R.OldCaption)
            Result = R.NewCaption;
    }
    return Result;
}

// ---------------------------------------------------------------------------
// TMacro

TMacro::TMacro() : FPictureCache(std::make_unique<TPictureCache>()) {}

// The members free the lines and the cache (which frees its records).
TMacro::~TMacro() = default;

std::unique_ptr<TMacro> TMacro::CreateByName(const std::string& Name)
{
    auto Macro = std::make_unique<TMacro>();
    Macro->FEnabled = 0;
    if (!Macro->LoadFromLibrary(Name))
        WarningMessageBox("マクロ " + Name + " は、存在しません。無視します");
    return Macro;
}

void TMacro::ClearPictureCache()
{
    FPictureCache->Clear();
}

void TMacro::Clear()
{
    ClearPictureCache();
    FstrName.clear();
    FEnabled = 1;
    FLines.clear();
}

void TMacro::Assign(const TMacro& Source)
{
    if (&Source == this)
        return;
    Clear();
    FstrName = Source.FstrName;
    FEnabled = Source.FEnabled;
    FLines = Source.FLines;
}

const TMacro* TMacro::FindInLibrary(const std::string& Name)
{
    for (const TMacroLibrary* Library : {gMacroLibrary.get(), gMacPathLibrary.get()}) {
        if (Library == nullptr)
            continue;
        const int32_t Index = Library->IndexOf(Name);
        if (Index >= 0)
            return Library->Objects(Index);
    }
    return nullptr;
}

bool TMacro::LoadFromLibrary(const std::string& Name)
{
    const TMacro* Found = FindInLibrary(Name);
    if (Found)
        Assign(*Found);
    return Found != nullptr;
}

const TMacroLine& TMacro::Line(int32_t Index) const
{
    if (Index < 0 || Index >= LineCount())
        throw EListError(SListIndexError, Index);
    return FLines[static_cast<size_t>(Index)];
}

void TMacro::SetLineParamValue(int32_t LineIndex, int32_t ParamIndex, const std::string& Value)
{
    Line(LineIndex); // range check of the line
    TMacroLine& L = FLines[static_cast<size_t>(LineIndex)];
    if (ParamIndex < 0 || ParamIndex >= static_cast<int32_t>(L.Params.size()))
        throw EListError(SListIndexError, ParamIndex);
    L.Params[static_cast<size_t>(ParamIndex)].Value = Value;
    ClearPictureCache();
}

void TMacro::SetParamValue(const std::string& Caption, const std::string& Value)
{
    const std::string Display = DisplayPart(Caption);
    for (TMacroLine& L : FLines)
        for (TMacroParam& P : L.Params)
            if (P.Caption && MatchParamCaption(*P.Caption, Display)) {
                P.Value = Value;
                P.Caption = Caption;
                ClearPictureCache();
            }
}

void TMacro::SetParamValueByTag(const std::string& Tag, const std::string& Value)
{
    for (TMacroLine& L : FLines)
        for (TMacroParam& P : L.Params) {
            if (!P.Caption)
                continue;
            const size_t Bar = P.Caption->find('|');
            if (Bar != std::string::npos && P.Caption->compare(Bar + 1, std::string::npos, Tag) == 0) {
                P.Value = Value;
                ClearPictureCache();
            }
        }
}

bool TMacro::GetParamValue(const std::string& Caption, std::string& Value) const
{
    const std::string Display = DisplayPart(Caption);
    bool Found = false;
    std::string Result;
    for (size_t I = 1; I < FLines.size(); ++I)
        for (const TMacroParam& P : FLines[I].Params) {
            if (!P.Caption || !MatchParamCaption(*P.Caption, Display))
                continue;
            if (!Found || Result.empty()) {
                Found = true;
                Result = P.Value.value_or(std::string());
            }
        }
    if (Found)
        Value = Result;
    return Found;
}

void TMacro::GetParams(TStringList& Captions, TStringList& Values) const
{
    Captions.Clear();
    Values.Clear();
    const TPaintFunctionRec* Table = PaintFunctionTable();
    for (const TMacroLine& L : FLines) {
        const int32_t Pos = FindPaintFunction(L.FunctionName);
        const TPaintFunctionRec* Func = Pos >= 0 ? &Table[Pos] : nullptr;
        for (size_t I = 0; I < L.Params.size(); ++I) {
            const TMacroParam& P = L.Params[I];
            // A parameter the function does not declare is never a user parameter.
            if (Func == nullptr || static_cast<int32_t>(I) >= Func->ParamCount ||
                Func->Params[I].Kind == pkUnused)
                continue;
            if (!P.Caption || P.Caption->empty() || (*P.Caption)[0] == '*' || !P.Value)
                continue;
            const int32_t Index = Captions.IndexOf(*P.Caption);
            if (Index < 0) {
                Captions.Add(*P.Caption);
                Values.Add(*P.Value);
            } else if (Values.Strings(Index).empty()) {
                Values.Delete(Index);
                Values.Insert(Index, *P.Value);
            }
        }
    }
}

bool TMacro::Equals(const TMacro& Other) const
{
    return FstrName == Other.FstrName && FEnabled == Other.FEnabled && FLines == Other.FLines;
}

void TMacro::IntersectWith(const TMacro& Other)
{
    if (FEnabled != Other.FEnabled)
        FEnabled = 255;
    bool Changed = false;
    for (size_t I = 0; I < FLines.size(); ++I) {
        const TMacroLine* OtherLine = I < Other.FLines.size() ? &Other.FLines[I] : nullptr;
        std::vector<TMacroParam>& Params = FLines[I].Params;
        for (size_t J = 0; J < Params.size(); ++J) {
            if (!Params[J].Value)
                continue;
            const bool Same = OtherLine != nullptr && J < OtherLine->Params.size() &&
                              OtherLine->Params[J].Value == Params[J].Value;
            if (!Same) {
                Params[J].Value.reset();
                Changed = true;
            }
        }
    }
    if (Changed)
        ClearPictureCache();
}

void TMacro::WriteToStream(TStream& Stream) const
{
    TStringList Captions;
    TStringList Values;
    GetParams(Captions, Values);
    WriteText(Stream, FstrName);
    Stream.WriteBuffer(&FEnabled, 1);
    StreamWriteInt32(Stream, Captions.Count());
    for (int32_t I = 0; I < Captions.Count(); ++I) {
        WriteText(Stream, Captions.Strings(I));
        WriteText(Stream, Values.Strings(I));
    }
}

void TMacro::ReadFromStream(TStream& Stream, int32_t Version)
{
    Clear();
    FstrName = MigrateMacroName(ReadText(Stream), Version);

    if (Version < cLibraryLinesVersion) {
        // Old documents carry the lines themselves. A save writes the current
        // form - the name and the user's values - which reopens with the
        // library's lines: the document shows those lines from the start,
        // the stored ones giving only the values, so that what is shown is
        // what a save keeps. A macro the library lacks, or lines that could
        // not run, would save a file that cannot be opened again (or paint
        // nothing it claims): the document is refused.
        TMacro Own;
        Own.FstrName = FstrName;
        const int32_t LineCount = CheckCount(StreamReadInt32(Stream), "TMacro.ReadFromStream", "行数");
        for (int32_t I = 0; I < LineCount; ++I) {
            TMacroLine L;
            L.FunctionName = ReadText(Stream);
            const int32_t Count = StreamReadInt32(Stream);
            if (Count < 0 || Count > 0xFFFF)
                throw EReadError("TMacro.ReadFromStream: パラメータ数(" + std::to_string(Count) +
                                 ")が不正です");
            L.ResultName = ReadText(Stream);
            L.CountWord = static_cast<uint32_t>(Count);
            L.Params.resize(static_cast<size_t>(Count));
            for (TMacroParam& P : L.Params) {
                P.Value = ReadText(Stream);
                P.Caption = ReadText(Stream);
            }
            Own.FLines.push_back(std::move(L));
        }
        const std::string Name = FstrName;
        if (!LoadFromLibrary(Name))
            throw EMacroNotRegistered("\"" + Name + "\"は登録されていません");
        if (!MacroLinesFault(Own).empty())
            throw EUserError("マクロ\"" + Name + "\"は壊れているため読み込めません");
        TStringList Captions;
        TStringList Values;
        Own.GetParams(Captions, Values);
        for (int32_t I = 0; I < Captions.Count(); ++I) {
            const std::string& Caption = Captions.Strings(I);
            // The library's caption, its range tag included: a tag the file
            // gives is no range of the library's parameter.
            if (NamesUserParam(Caption))
                SetParamValue(KeepLibraryTag(*this, DisplayPart(MigrateMacroParamCaption(
                                                        FstrName, DisplayPart(Caption), Version))),
                              Values.Strings(I));
        }
        return;
    }

    const std::string Name = FstrName;
    if (!LoadFromLibrary(Name))
        throw EMacroNotRegistered("\"" + Name + "\"は登録されていません");
    if (Version >= cEnabledByteVersion) {
        uint8_t Enabled = 1;
        Stream.ReadBuffer(&Enabled, 1);
        FEnabled = StoredEnabled(Enabled);
    }
    const int32_t Count = CheckCount(StreamReadInt32(Stream), "TMacro.ReadFromStream", "パラメータ数");
    for (int32_t I = 0; I < Count; ++I) {
        const std::string Caption = ReadText(Stream);
        const std::string Value = ReadText(Stream);
        if (NamesUserParam(Caption))
            SetParamValue(KeepLibraryTag(*this, MigrateMacroParamCaption(FstrName, Caption, Version)), Value);
    }
}

void TMacro::WriteToStreamAsText(TStream& Stream) const
{
    TStringList Captions;
    TStringList Values;
    GetParams(Captions, Values);
    WriteTextLine(Stream, FstrName);
    WriteTextLine(Stream, std::to_string(FEnabled));
    WriteTextLine(Stream, std::to_string(Captions.Count()));
    for (int32_t I = 0; I < Captions.Count(); ++I) {
        WriteTextLine(Stream, Captions.Strings(I));
        WriteTextLine(Stream, Values.Strings(I));
    }
}

void TMacro::ReadFromStreamAsText(TStream& Stream, int32_t Version)
{
    Clear();
    FstrName = MigrateMacroName(ReadTextLine(Stream), Version);
    // A macro the library lacks would save a document that cannot be opened
    // again: refused as the binary form refuses it.
    const std::string Name = FstrName;
    if (!LoadFromLibrary(Name))
        throw EMacroNotRegistered("\"" + Name + "\"は登録されていません");
    if (Version >= cEnabledByteVersion) {
        FEnabled = StoredEnabled(StrToInt(ReadTextLine(Stream)));
    }
    const int32_t Count =
        CheckCount(StrToInt(ReadTextLine(Stream)), "TMacro.ReadFromStreamAsText", "パラメータ数");
    // Each pair takes two lines, every line but the stream's last at least its
    // terminator: a count the rest cannot hold would read empty lines forever.
    if (int64_t{Count} * 2 - 1 > Stream.Size() - Stream.Position())
        throw EReadError("TMacro.ReadFromStreamAsText: パラメータ数(" + std::to_string(Count) + ")が不正です");
    for (int32_t I = 0; I < Count; ++I) {
        const std::string Caption = ReadTextLine(Stream);
        const std::string Value = ReadTextLine(Stream);
        if (NamesUserParam(Caption))
            SetParamValue(KeepLibraryTag(*this, MigrateMacroParamCaption(FstrName, Caption, Version)), Value);
    }
}
