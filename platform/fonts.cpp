#include "platform/fonts.h"

#include "platform/cp932.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

void SetLogFontFaceName(TLogFont& LogFont, std::string_view Cp932Name)
{
    std::memset(LogFont.lfFaceName, 0, sizeof LogFont.lfFaceName);
    size_t N = 0;
    while (N < Cp932Name.size() && Cp932Name[N] != '\0') {
        const size_t Step = IsSjisLeadByte(static_cast<uint8_t>(Cp932Name[N])) ? 2 : 1;
        if (N + Step > LF_FACESIZE - 1 || N + Step > Cp932Name.size())
            break;
        N += Step;
    }
    std::memcpy(LogFont.lfFaceName, Cp932Name.data(), N);
}

std::string LogFontFaceName(const TLogFont& LogFont)
{
    return std::string(LogFont.lfFaceName, strnlen(LogFont.lfFaceName, LF_FACESIZE - 1));
}

bool FaceNameToCp932(std::string_view Utf8, std::string& Cp932)
{
    std::string Full;
    if (!TryUtf8ToCp932(Utf8, Full)) {
        Cp932.clear();
        return false;
    }
    TLogFont Lf;
    SetLogFontFaceName(Lf, Full);
    Cp932 = LogFontFaceName(Lf);
    return true;
}

std::string FontNameKey(std::string_view S)
{
    std::string K(S);
    for (char& C : K)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return K;
}

namespace {

bool FaceLess(const TFontFace& A, const TFontFace& B)
{
    const std::string Ka = FontNameKey(A.Name), Kb = FontNameKey(B.Name);
    if (Ka != Kb)
        return Ka < Kb;
    return A.Name < B.Name;
}

} // namespace

void TInstalledFonts::Build(std::vector<TFontSource> Sources)
{
    static std::atomic<uint64_t> Serials{0};
    FSerial = ++Serials;
    FSources = std::move(Sources);
    std::stable_sort(FSources.begin(), FSources.end(), [](const TFontSource& A, const TFontSource& B) {
        return A.FileName != B.FileName ? A.FileName < B.FileName : A.Index < B.Index;
    });

    // Name (cut, UTF-8) -> the sources carrying it, in path order.
    struct TEntry {
        std::string Name;
        std::vector<size_t> Sources;
    };
    std::vector<TEntry> Entries;
    std::unordered_map<std::string, size_t> ByKey;
    FShown.clear();
    // A name as a face carries it: cut to what the face name field holds.
    auto Cut = [](const std::string& Family) {
        std::string Cp, Name;
        if (Family.empty() || !FaceNameToCp932(Family, Cp) || Cp.empty() || !TryCp932ToUtf8(Cp, Name))
            return std::string();
        return Name;
    };
    for (size_t S = 0; S < FSources.size(); ++S) {
        const TFontSource& Src = FSources[S];
        // Each name cut once; empty where it makes no face.
        std::vector<std::string> Names;
        Names.reserve(Src.Families.size());
        for (const std::string& Family : Src.Families)
            Names.push_back(Cut(Family));
        // Every name of a font stands for its Japanese one, where it has one.
        std::string Japanese;
        for (size_t N = 0; N < Names.size() && N < Src.FamilyLangs.size() && Japanese.empty(); ++N)
            if (Src.FamilyLangs[N] == "ja" || Src.FamilyLangs[N].starts_with("ja-"))
                Japanese = Names[N];
        for (const std::string& Name : Names) {
            if (Name.empty())
                continue;
            const std::string Key = FontNameKey(Name);
            if (!Japanese.empty())
                FShown.try_emplace(Key, Japanese);
            auto [It, Fresh] = ByKey.try_emplace(Key, Entries.size());
            if (Fresh)
                Entries.push_back({Name, {}});
            std::vector<size_t>& List = Entries[It->second].Sources;
            if (List.empty() || List.back() != S)
                List.push_back(S);
        }
    }

    struct TDraft {
        TFontFace Face;
        size_t Entry;
    };
    std::vector<TDraft> Drafts;
    for (size_t E = 0; E < Entries.size(); ++E) {
        const TEntry& Entry = Entries[E];
        bool Japanese = false;
        bool Ascii = false;
        for (size_t S : Entry.Sources) {
            Japanese = Japanese || (FSources[S].Japanese && FSources[S].Ascii);
            Ascii = Ascii || FSources[S].Ascii;
        }
        TFontFace Face;
        Face.Name = Entry.Name;
        Face.LogFont.lfCharSet = Japanese ? SHIFTJIS_CHARSET : Ascii ? ANSI_CHARSET : DEFAULT_CHARSET;
        Drafts.push_back({Face, E});
        if (Japanese) {
            std::string Cp;
            std::string Vertical;
            if (FaceNameToCp932("@" + Entry.Name, Cp) && TryCp932ToUtf8(Cp, Vertical) &&
                !ByKey.contains(FontNameKey(Vertical))) {
                TFontFace V = Face;
                V.Name = Vertical;
                V.Vertical = true;
                Drafts.push_back({V, E});
            }
        }
    }
    std::stable_sort(Drafts.begin(), Drafts.end(),
                     [](const TDraft& A, const TDraft& B) { return FaceLess(A.Face, B.Face); });

    FFaces.clear();
    FFiles.clear();
    FIndex.clear();
    for (TDraft& D : Drafts) {
        if (!FIndex.try_emplace(FontNameKey(D.Face.Name), FFaces.size()).second)
            continue; // an "@" name that a family already has
        std::string Cp;
        FaceNameToCp932(D.Face.Name, Cp);
        SetLogFontFaceName(D.Face.LogFont, Cp);
        FFiles.push_back({Entries[D.Entry].Sources});
        FFaces.push_back(std::move(D.Face));
    }
    // Weight, slant and pitch of each face's regular style.
    for (size_t F = 0; F < FFaces.size(); ++F) {
        TFontMatch M;
        Resolve(FFaces[F].Name, FW_NORMAL, false, M);
        for (size_t S : FFiles[F].Sources) {
            const TFontSource& Src = FSources[S];
            if (Src.FileName == M.FileName && Src.Index == M.Index) {
                FFaces[F].LogFont.lfWeight = Src.Weight;
                FFaces[F].LogFont.lfItalic = Src.Italic ? 1 : 0;
                FFaces[F].LogFont.lfPitchAndFamily = Src.Mono ? FIXED_PITCH : VARIABLE_PITCH;
                break;
            }
        }
    }
}

const TFontFace* TInstalledFonts::Find(std::string_view Name) const
{
    auto It = FIndex.find(FontNameKey(Name));
    return It == FIndex.end() ? nullptr : &FFaces[It->second];
}

std::string TInstalledFonts::ShownName(std::string_view Name) const
{
    const TFontFace* Face = Find(Name);
    if (!Face)
        return {};
    if (Face->Vertical) {
        const std::string Upright = ShownName(Face->Name.substr(1));
        const TFontFace* Shown = Upright.empty() ? nullptr : Find("@" + Upright);
        return Shown ? Shown->Name : Face->Name;
    }
    auto It = FShown.find(FontNameKey(Face->Name));
    // A Japanese name that CP932 cannot write is no face: the font keeps
    // the name it was asked by.
    const TFontFace* Shown = It == FShown.end() ? nullptr : Find(It->second);
    return Shown ? Shown->Name : Face->Name;
}

std::vector<std::string> TInstalledFonts::ShownNames() const
{
    std::vector<std::string> Names;
    for (const TFontFace& F : FFaces)
        if (!F.Vertical && ShownName(F.Name) == F.Name)
            Names.push_back(F.Name);
    return Names;
}

const TFontFace* TInstalledFonts::DefaultFace() const
{
    for (uint8_t CharSet : {SHIFTJIS_CHARSET, ANSI_CHARSET})
        for (const TFontFace& F : FFaces)
            if (F.LogFont.lfCharSet == CharSet && !F.Vertical)
                return &F;
    return FFaces.empty() ? nullptr : &FFaces.front();
}

bool TInstalledFonts::Resolve(std::string_view Name, int32_t Weight, bool Italic, TFontMatch& Match) const
{
    auto It = FIndex.find(FontNameKey(Name));
    if (It == FIndex.end())
        return false;
    const TFontSource* Best = nullptr;
    int64_t BestScore = 0;
    for (size_t S : FFiles[It->second].Sources) {
        const TFontSource& Src = FSources[S];
        const int64_t Score = int64_t(std::abs(Src.Width - 100)) * 1000000 +
                              (Src.Italic != Italic ? 100000 : 0) + std::abs(Src.Weight - Weight);
        if (!Best || Score < BestScore) {
            Best = &Src;
            BestScore = Score;
        }
    }
    if (!Best)
        return false;
    Match.FileName = Best->FileName;
    Match.Index = Best->Index;
    Match.SynthesizeBold = Weight >= 600 && Best->Weight < 600;
    Match.SynthesizeItalic = Italic && !Best->Italic;
    return true;
}

// Initialises fontconfig once for the process and releases it at exit, so that
// nothing it holds outlives the program (leak checkers report it otherwise).
bool EnsureFontconfig()
{
    static const bool Ready = [] {
        if (!FcInit())
            return false;
        std::atexit(FcFini);
        return true;
    }();
    return Ready;
}

std::vector<TFontSource> ReadFontconfigSources()
{
    std::vector<TFontSource> Result;
    if (!EnsureFontconfig())
        return Result;
    std::unique_ptr<FcPattern, decltype(&FcPatternDestroy)> Pattern(FcPatternCreate(), FcPatternDestroy);
    if (!Pattern)
        return Result;
    FcPatternAddBool(Pattern.get(), FC_SCALABLE, FcTrue);
    std::unique_ptr<FcObjectSet, decltype(&FcObjectSetDestroy)> Objects(
        FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_FILE, FC_INDEX, FC_WEIGHT, FC_SLANT, FC_WIDTH, FC_LANG, FC_FONTFORMAT,
                         FC_SPACING, FC_VARIABLE, FC_CHARSET, static_cast<char*>(nullptr)),
        FcObjectSetDestroy);
    if (!Objects)
        return Result;
    std::unique_ptr<FcFontSet, decltype(&FcFontSetDestroy)> Set(FcFontList(nullptr, Pattern.get(), Objects.get()),
                                                                FcFontSetDestroy);
    if (!Set)
        return Result;
    for (int I = 0; I < Set->nfont; ++I) {
        FcPattern* P = Set->fonts[I];
        FcChar8* Format = nullptr;
        if (FcPatternGetString(P, FC_FONTFORMAT, 0, &Format) != FcResultMatch)
            continue;
        // TrueType outlines, and OpenType with PostScript (CFF) outlines.
        if (std::strcmp(reinterpret_cast<const char*>(Format), "TrueType") != 0 &&
            std::strcmp(reinterpret_cast<const char*>(Format), "CFF") != 0)
            continue;
        FcBool Variable = FcFalse;
        if (FcPatternGetBool(P, FC_VARIABLE, 0, &Variable) == FcResultMatch && Variable)
            continue; // the named instances are listed on their own
        FcChar8* File = nullptr;
        if (FcPatternGetString(P, FC_FILE, 0, &File) != FcResultMatch)
            continue;
        TFontSource S;
        S.FileName = reinterpret_cast<const char*>(File);
        for (int N = 0;; ++N) {
            FcChar8* Family = nullptr;
            if (FcPatternGetString(P, FC_FAMILY, N, &Family) != FcResultMatch)
                break;
            S.Families.emplace_back(reinterpret_cast<const char*>(Family));
            FcChar8* Lang = nullptr;
            S.FamilyLangs.emplace_back(FcPatternGetString(P, FC_FAMILYLANG, N, &Lang) == FcResultMatch
                                           ? reinterpret_cast<const char*>(Lang)
                                           : "");
        }
        int Index = 0;
        if (FcPatternGetInteger(P, FC_INDEX, 0, &Index) == FcResultMatch)
            S.Index = Index;
        double Weight = FC_WEIGHT_REGULAR;
        if (FcPatternGetDouble(P, FC_WEIGHT, 0, &Weight) == FcResultMatch)
            S.Weight = static_cast<int32_t>(FcWeightToOpenTypeDouble(Weight) + 0.5);
        int Slant = FC_SLANT_ROMAN;
        if (FcPatternGetInteger(P, FC_SLANT, 0, &Slant) == FcResultMatch)
            S.Italic = Slant != FC_SLANT_ROMAN;
        int Width = FC_WIDTH_NORMAL;
        if (FcPatternGetInteger(P, FC_WIDTH, 0, &Width) == FcResultMatch)
            S.Width = Width;
        FcLangSet* Langs = nullptr;
        if (FcPatternGetLangSet(P, FC_LANG, 0, &Langs) == FcResultMatch)
            S.Japanese = FcLangSetHasLang(Langs, reinterpret_cast<const FcChar8*>("ja")) != FcLangDifferentLang;
        FcCharSet* Chars = nullptr;
        if (FcPatternGetCharSet(P, FC_CHARSET, 0, &Chars) == FcResultMatch) {
            for (FcChar32 C = 0x21; C <= 0x7E && S.Ascii; ++C)
                S.Ascii = FcCharSetHasChar(Chars, C);
        }
        int Spacing = FC_PROPORTIONAL;
        if (FcPatternGetInteger(P, FC_SPACING, 0, &Spacing) == FcResultMatch)
            S.Mono = Spacing >= FC_MONO;
        Result.push_back(std::move(S));
    }
    return Result;
}

namespace {

std::mutex& InstalledMutex()
{
    static std::mutex M;
    return M;
}

TInstalledFonts*& InstalledPtr()
{
    static TInstalledFonts* P = nullptr;
    return P;
}

// Tables replaced by an update are kept: a caller may still hold a
// reference from before; updates are rare (fonts installed while running).
std::vector<std::unique_ptr<TInstalledFonts>>& InstalledTables()
{
    static std::vector<std::unique_ptr<TInstalledFonts>> Tables;
    return Tables;
}

const TInstalledFonts& ReadInstalled()
{
    auto Table = std::make_unique<TInstalledFonts>();
    Table->Build(ReadFontconfigSources());
    InstalledPtr() = Table.get();
    InstalledTables().push_back(std::move(Table));
    return *InstalledPtr();
}

} // namespace

const TInstalledFonts& InstalledFonts()
{
    std::lock_guard Lock(InstalledMutex());
    if (!InstalledPtr())
        return ReadInstalled();
    return *InstalledPtr();
}

const TInstalledFonts& UpdateInstalledFonts()
{
    std::lock_guard Lock(InstalledMutex());
    if (!InstalledPtr())
        return ReadInstalled();
    EnsureFontconfig();
    if (FcConfigUptoDate(nullptr))
        return *InstalledPtr();
    FcInitReinitialize();
    return ReadInstalled();
}
