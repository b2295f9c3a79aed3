#include "model/text_outline.h"

#include "foundation/list_utils.h"
#include "foundation/numbers.h"
#include "foundation/platform_wrappers.h"
#include "foundation/string_list.h"
#include "foundation/user_error.h"
#include "platform/cp932.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;
constexpr int32_t FirstLineDefault = 24;
// Squared distance: the guide of a text on a path is flattened to half a pixel.
constexpr double GuideFlatTolerance = 0.25;

// Halves to even, saturating; NaN gives 0.
int32_t RoundEven32(double X)
{
    const double R = std::nearbyint(X);
    if (!(R == R))
        return 0;
    if (R >= 2147483647.0)
        return std::numeric_limits<int32_t>::max();
    if (R <= -2147483648.0)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(R);
}

int32_t Round32(double X)
{
    return Sat32(RoundOff(X));
}

// ---------------------------------------------------------------------------
// Font sources and the installed-font list

class TMachineFontSource : public TTextFontSource {
public:
    std::vector<TFontFace> FontFaces() override
    {
        TStringList Names;
        std::vector<TFontFace> Faces;
        try {
            GetFontNames(&Names, true, true, true, true, true);
            Faces.reserve(static_cast<size_t>(Names.Count()));
            for (int32_t I = 0; I < Names.Count(); ++I) {
                TFontFace F;
                F.Name = Names.Strings(I);
                if (const void* Rec = Names.Objects(I))
                    std::memcpy(&F.LogFont, Rec, sizeof(TLogFont));
                F.Vertical = !F.Name.empty() && F.Name[0] == '@';
                Faces.push_back(std::move(F));
            }
        } catch (...) {
            FreeStringsPointers(&Names);
            throw;
        }
        FreeStringsPointers(&Names);
        return Faces;
    }

    std::unique_ptr<TGlyphFont> CreateFont(const TLogFont& LogFont) override
    {
        return TGlyphFont::Create(LogFont);
    }
};

struct TFontEntry {
    std::string Key; // lower-case UTF-8 name
    TLogFont LogFont;
};

struct TFontListState {
    TTextFontSource* Source = nullptr;
    std::vector<TFontEntry> List;
    bool Filled = false;
};

TFontListState& FontState()
{
    static TFontListState S;
    return S;
}

TTextFontSource& Fonts()
{
    static TMachineFontSource Machine;
    TFontListState& S = FontState();
    return S.Source ? *S.Source : Machine;
}

void FillFontList()
{
    TFontListState& S = FontState();
    std::vector<TFontFace> Faces = Fonts().FontFaces();
    std::vector<TFontEntry> List;
    List.reserve(Faces.size());
    for (const TFontFace& F : Faces)
        List.push_back({FontNameKey(F.Name), F.LogFont});
    std::stable_sort(List.begin(), List.end(),
                     [](const TFontEntry& A, const TFontEntry& B) { return A.Key < B.Key; });
    List.erase(std::unique(List.begin(), List.end(),
                           [](const TFontEntry& A, const TFontEntry& B) { return A.Key == B.Key; }),
               List.end());
    S.List = std::move(List);
    S.Filled = true;
}

// True when this call read the list.
bool EnsureFontList()
{
    if (FontState().Filled)
        return false;
    FillFontList();
    return true;
}

const TFontEntry* LookupFont(const std::string& Cp932Name)
{
    const std::vector<TFontEntry>& L = FontState().List;
    const std::string Key = FontNameKey(Cp932ToUtf8(Cp932Name));
    auto It = std::lower_bound(L.begin(), L.end(), Key,
                               [](const TFontEntry& E, const std::string& K) { return E.Key < K; });
    return It != L.end() && It->Key == Key ? &*It : nullptr;
}

// The name's entry, reading the list again once when it is missing.
const TFontEntry* FindFontEntry(const std::string& Cp932Name)
{
    const bool JustRead = EnsureFontList();
    const TFontEntry* E = LookupFont(Cp932Name);
    if (!E && !JustRead) {
        FillFontList();
        E = LookupFont(Cp932Name);
    }
    return E;
}

bool IsVerticalFace(const TLogFont& F)
{
    return F.lfFaceName[0] == 0x40;
}

// ---------------------------------------------------------------------------
// Layout

void GlyphToPolyLine(const TGlyphPath& Glyph, TrecPolyLine& Path)
{
    const auto N = static_cast<int32_t>(Glyph.Points.size());
    RecPolyLineSetCount(Path, N);
    for (int32_t I = 0; I < N; ++I) {
        Path.Points[I] = TPoint{Glyph.Points[I].X, Glyph.Points[I].Y};
        Path.pabType[I] = Glyph.Types[I];
    }
}

// The font of the last character, made again only when an attribute that
// shapes the font changes.
class TLayoutFonts {
public:
    // nullptr when the font cannot be made.
    const TGlyphFont* Select(const TrecCharAttr& A)
    {
        if (FValid && SameFont(FAttr, A))
            return FFont.get();
        TLogFont LogFont;
        MakeCharFont(LogFont, A);
        FFont.reset();
        FFont = Fonts().CreateFont(LogFont);
        FAttr = A;
        FValid = true;
        return FFont.get();
    }

private:
    static bool SameFont(const TrecCharAttr& A, const TrecCharAttr& B)
    {
        return A.Size == B.Size && std::memcmp(A.FaceName, B.FaceName, sizeof(A.FaceName)) == 0 &&
               A.Bold == B.Bold && A.Italic == B.Italic && A.Underline == B.Underline &&
               A.StrikeOut == B.StrikeOut;
    }
    bool FValid = false;
    TrecCharAttr FAttr;
    std::unique_ptr<TGlyphFont> FFont;
};

int32_t ApplyLineSpacing(int32_t Height, const TParagraphStyle& P, int32_t Dpi)
{
    switch (P.FLineSpacingRule) {
    case LineSpacingMultiple:
        return RoundEven32(Height * P.LineSpacing);
    case LineSpacingAtLeast:
        return std::max(Height, RoundEven32(ToPixel(P.SpacingUnit, Dpi, P.LineSpacing)));
    case LineSpacingExactly:
        return RoundEven32(ToPixel(P.SpacingUnit, Dpi, P.LineSpacing));
    default:
        throw EUserError("RecPolyLineGetStyledTextPath: Illegal FLineSpacingRule");
    }
}

bool IsLineBreak(uint8_t B)
{
    return B == CR || B == LF;
}

// Both variants. Per character (Counts and Centres given) each glyph's
// figures are closed and appended to Result; otherwise the glyphs are
// recorded one after another as they come.
bool LayoutText(TrecPolyLine& Result, int32_t StartX, int32_t StartY, int32_t Dpi, const std::string& Text,
                const TListCharStyle& Styles, const TParagraphStyle& Paragraph,
                std::vector<int32_t>* Counts, std::vector<TPoint>* Centres)
{
    const bool PerChar = Counts != nullptr;
    RecPolyLineClear(Result);
    if (PerChar) {
        const auto N = static_cast<size_t>(CountTextChars(Text)) + 1;
        Counts->assign(N, 0);
        Centres->assign(N, TPoint{});
    }
    TLayoutFonts LayoutFonts;
    TGlyphPath Recorded;
    TrecPolyLine CharPath;

    const size_t N = Text.size();
    int32_t Descent = 0;
    int32_t Height = LineHeight(Text, Styles, 0, FirstLineDefault, Descent);
    int64_t X = StartX;
    int64_t Y = int64_t(StartY) + Height;
    size_t I = 0;
    size_t C = 0;
    while (I < N) {
        const auto B = static_cast<uint8_t>(Text[I]);
        if (IsLineBreak(B)) {
            // CR LF, and a lone CR or LF as well, start a new line.
            I += (B == CR && I + 1 < N && static_cast<uint8_t>(Text[I + 1]) == LF) ? 2 : 1;
            if (I >= N)
                break;
            Height = LineHeight(Text, Styles, static_cast<int32_t>(I), Height, Descent);
            Height = ApplyLineSpacing(Height, Paragraph, Dpi);
            Y += Height;
            X = 0;
            continue;
        }
        const TCharStyle* Style = Styles.GetItem(static_cast<int32_t>(I));
        if (!Style)
            throw EUserError("RecPolyLineGetStyledTextPath: Illegal iCntr");
        const bool Lead = IsSjisLeadByte(B);
        if (Lead && I + 1 >= N)
            break; // a lead byte without its trail byte is no character
        const TGlyphFont* Font = LayoutFonts.Select(Style->Attr);
        if (!Font) {
            if (!PerChar)
                RecPolyLineClear(Result);
            return false;
        }
        const size_t Len = Lead ? 2 : 1;
        const int32_t PenX = Sat32(X);
        const int32_t PenY = Sat32(Y - Style->Attr.Rise);
        if (PerChar)
            Recorded.Clear();
        const int32_t Advance = Font->AppendChar(std::string_view(Text).substr(I, Len), PenX, PenY, Recorded);
        const int64_t EndX = int64_t(PenX) + Advance;
        const int64_t EndY = PenY;
        if (PerChar) {
            (*Centres)[C] = TPoint{Sat32((X + EndX) / 2), Sat32((Y + EndY) / 2)};
            (*Counts)[C] = Result.Count;
        }
        X = EndX + Style->Attr.ExtraAdvance;
        if (PerChar) {
            GlyphToPolyLine(Recorded, CharPath);
            RecPolyLineCloseFigures(CharPath);
            RecPolyLineAppend(Result, CharPath);
            ++C;
        }
        I += Len;
    }
    if (PerChar)
        (*Counts)[C] = Result.Count;
    else
        GlyphToPolyLine(Recorded, Result);
    return true;
}

void ZeroPath(TrecPath& Path)
{
    RecPolyLineClear(Path);
    Path.Bounds = TRect{0, 0, 0, 0};
    Path.Flag = 0;
}

void SetOriginBounds(TrecPath& Path)
{
    TPoint P{0, 0};
    RecPolyLineMaxPoint(Path, P);
    Path.Bounds = TRect{0, 0, P.X, P.Y};
}

// ---------------------------------------------------------------------------
// Guides

struct TGuideSegment {
    double X, Y;   // start
    double UX, UY; // unit direction
    double Start;  // distance of the start from the guide's start
};

struct TGuide {
    std::vector<TGuideSegment> Segments;
    double Length = 0;

    // Position and direction at distance S; before the first and past the
    // last segment the guide goes on straight.
    void At(double S, double& PX, double& PY, double& UX, double& UY) const
    {
        auto It = std::upper_bound(Segments.begin(), Segments.end(), S,
                                   [](double V, const TGuideSegment& G) { return V < G.Start; });
        const TGuideSegment& G = It == Segments.begin() ? Segments.front() : *(It - 1);
        const double T = S - G.Start;
        PX = G.X + T * G.UX;
        PY = G.Y + T * G.UY;
        UX = G.UX;
        UY = G.UY;
    }
};

TGuide MakeGuide(const TrecPolyLine& Source)
{
    TrecPolyLine Flat;
    RecPolyLineFlatten(Source, Flat, false, GuideFlatTolerance);
    RecPolyLineCloseFigures(Flat);
    TGuide G;
    for (int32_t I = 1; I < Flat.Count; ++I) {
        if (PathPointKind(Flat.pabType[I]) == PT_MOVETO)
            continue;
        const double X0 = Flat.Points[I - 1].X, Y0 = Flat.Points[I - 1].Y;
        const double DX = Flat.Points[I].X - X0, DY = Flat.Points[I].Y - Y0;
        const double L = std::hypot(DX, DY);
        if (L <= 0)
            continue;
        G.Segments.push_back({X0, Y0, DX / L, DY / L, G.Length});
        G.Length += L;
    }
    return G;
}

} // namespace

// ---------------------------------------------------------------------------
// Fonts

TTextFontSource* SetTextFontSource(TTextFontSource* Source)
{
    TFontListState& S = FontState();
    TTextFontSource* Old = S.Source;
    S.Source = Source;
    ClearFontList();
    return Old;
}

bool GetFontCharset(uint8_t& CharSet, const std::string& Name)
{
    if (const TFontEntry* E = FindFontEntry(Name)) {
        CharSet = E->LogFont.lfCharSet;
        return true;
    }
    CharSet = DEFAULT_CHARSET;
    return false;
}

std::optional<TLogFont> FindFontRecord(const std::string& Name)
{
    if (const TFontEntry* E = FindFontEntry(Name))
        return E->LogFont;
    ErrorMessageBox("フォント (" + Cp932ToUtf8(Name) + ") が見つかりません");
    return std::nullopt;
}

std::optional<TLogFont> FindFontByCharset(uint8_t CharSet)
{
    EnsureFontList();
    for (const TFontEntry& E : FontState().List)
        if (E.LogFont.lfCharSet == CharSet && !IsVerticalFace(E.LogFont))
            return E.LogFont;
    return std::nullopt;
}

TLogFont GetDefaultFont()
{
    if (auto F = FindFontByCharset(SHIFTJIS_CHARSET))
        return *F;
    if (auto F = FindFontByCharset(ANSI_CHARSET))
        return *F;
    const std::vector<TFontEntry>& L = FontState().List;
    if (L.empty())
        throw EUserError("GetDefaultFont: There is not any Truetype Font");
    return L.front().LogFont;
}

void ValidateFontName(const std::string& Name, std::string& FaceName, uint8_t& CharSet)
{
    uint8_t Found = DEFAULT_CHARSET;
    TLogFont F;
    if (GetFontCharset(Found, Name)) {
        SetLogFontFaceName(F, Name);
        FaceName = LogFontFaceName(F);
        CharSet = Found;
        return;
    }
    F = GetDefaultFont();
    FaceName = LogFontFaceName(F);
    CharSet = F.lfCharSet;
}

void ClearFontList()
{
    TFontListState& S = FontState();
    S.List.clear();
    S.List.shrink_to_fit();
    S.Filled = false;
}

// ---------------------------------------------------------------------------
// Layout

int32_t LineHeight(const std::string& Text, const TListCharStyle& Styles, int32_t Start, int32_t Default,
                   int32_t& Descent)
{
    const auto N = static_cast<int64_t>(Text.size());
    int32_t MaxHeight = 0;
    int32_t Deepest = 0; // the largest -Rise
    int64_t I = std::max<int32_t>(Start, 0);
    while (I < N) {
        const auto B = static_cast<uint8_t>(Text[static_cast<size_t>(I)]);
        if (IsLineBreak(B))
            break;
        const bool Lead = IsSjisLeadByte(B);
        if (Lead && I + 1 >= N)
            break;
        if (const TCharStyle* S = Styles.GetItem(static_cast<int32_t>(I))) {
            const int32_t Rise = S->Attr.Rise;
            const int32_t H = Rise >= 1 ? Sat32(int64_t(S->Attr.Size) + Rise) : S->Attr.Size;
            if (-int64_t(Rise) > Deepest)
                Deepest = Sat32(-int64_t(Rise));
            MaxHeight = std::max(MaxHeight, H);
        }
        I += Lead ? 2 : 1;
    }
    if (MaxHeight < 1)
        return Default;
    const int32_t Result = Sat32(int64_t(Descent) + MaxHeight);
    Descent = Deepest;
    return Result;
}

bool RecPolyLineGetStyledTextPath(TrecPolyLine& Result, int32_t StartX, int32_t StartY, int32_t Dpi,
                                  const std::string& Text, const TListCharStyle& Styles,
                                  const TParagraphStyle& Paragraph, std::vector<int32_t>& Counts,
                                  std::vector<TPoint>& Centres)
{
    return LayoutText(Result, StartX, StartY, Dpi, Text, Styles, Paragraph, &Counts, &Centres);
}

bool GetTextOutlinePath(TrecPolyLine& Result, int32_t StartX, int32_t StartY, int32_t Dpi,
                        const std::string& Text, const TListCharStyle& Styles,
                        const TParagraphStyle& Paragraph)
{
    return LayoutText(Result, StartX, StartY, Dpi, Text, Styles, Paragraph, nullptr, nullptr);
}

void MakeTextPath(const std::string& Text, int32_t Dpi, const TListCharStyle& Styles,
                  const TParagraphStyle& Paragraph, TrecPath& Path)
{
    ZeroPath(Path);
    if (!GetTextOutlinePath(Path, 0, 0, Dpi, Text, Styles, Paragraph))
        ErrorMessageBox("MakeTextPath: GetTextPath Failed!");
    SetOriginBounds(Path);
}

void MakeTextPathPerChar(const std::string& Text, int32_t Dpi, const TListCharStyle& Styles,
                         const TParagraphStyle& Paragraph, std::vector<int32_t>& Counts,
                         std::vector<TPoint>& Centres, TrecPath& Path)
{
    ZeroPath(Path);
    if (!RecPolyLineGetStyledTextPath(Path, 0, 0, Dpi, Text, Styles, Paragraph, Counts, Centres))
        ErrorMessageBox("MakeTextPath: GetTextPath Failed!");
    SetOriginBounds(Path);
}

// ---------------------------------------------------------------------------
// Text along a path

bool RecPolyLineFollowPath(TrecPolyLine& Path, const std::vector<int32_t>& Counts,
                           std::vector<TPoint>& Centres, const TrecPolyLine& Guide, int32_t BaselineY,
                           int32_t StartDistance, int32_t Offset)
{
    if (Counts.empty() || Counts.back() != Path.Count || Centres.size() + 1 < Counts.size())
        return false;
    for (size_t I = 0; I + 1 < Counts.size(); ++I)
        if (Counts[I] < 0 || Counts[I] > Counts[I + 1])
            return false;
    const TGuide G = MakeGuide(Guide);
    if (G.Segments.empty())
        return false;
    for (size_t I = 0; I + 1 < Counts.size(); ++I) {
        const TPoint Centre = Centres[I];
        double PX, PY, UX, UY;
        G.At(double(StartDistance) + Centre.X, PX, PY, UX, UY);
        // The left of the direction of travel in page coordinates (y down).
        const double NX = UY, NY = -UX;
        const auto Place = [&](double U, double V, TPoint& Out) {
            const double Up = Offset - V;
            Out.X = Round32(PX + U * UX + Up * NX);
            Out.Y = Round32(PY + U * UY + Up * NY);
        };
        for (int32_t K = Counts[I]; K < Counts[I + 1]; ++K) {
            const TPoint P = Path.Points[K];
            Place(double(P.X) - Centre.X, double(P.Y) - BaselineY, Path.Points[K]);
        }
        Place(0.0, double(Centre.Y) - BaselineY, Centres[I]);
    }
    return true;
}

void MakeTextPathOnPath(const std::string& Text, int32_t Dpi, const TListCharStyle& Styles,
                        const TParagraphStyle& Paragraph, const TrecPolyLine& Guide,
                        int32_t StartDistance, int32_t Offset, std::vector<int32_t>& Counts,
                        std::vector<TPoint>& Centres, TrecPath& Path)
{
    MakeTextPathPerChar(Text, Dpi, Styles, Paragraph, Counts, Centres, Path);
    int32_t Descent = 0;
    const int32_t Baseline = LineHeight(Text, Styles, 0, FirstLineDefault, Descent);
    RecPolyLineFollowPath(Path, Counts, Centres, Guide, Baseline, StartDistance, Offset);
    RecPathCalcBounds(Path);
}

// ---------------------------------------------------------------------------
// Haloed cell text

void DrawOutlinedText(TOutlinedTextCanvas& Canvas, const std::string& Text, const TRect& Rect,
                      uint32_t HaloColour, uint32_t TextColour)
{
    Canvas.SetBkModeTransparent();
    TRect Measured = Rect;
    const int32_t Height = Canvas.DrawText(Text, Measured, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL);
    TRect At = Rect;
    if (Height > 0 && Height < Rect.Bottom - Rect.Top)
        At.Top = Rect.Bottom - Height;
    static constexpr int32_t Offsets[8][2] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1},
                                              {-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
    Canvas.SetTextColor(HaloColour);
    for (const auto& O : Offsets) {
        TRect R{At.Left + O[0], At.Top + O[1], At.Right + O[0], At.Bottom + O[1]};
        Canvas.DrawText(Text, R, DT_WORDBREAK | DT_EDITCONTROL);
    }
    Canvas.SetTextColor(TextColour);
    TRect R = At;
    Canvas.DrawText(Text, R, DT_WORDBREAK | DT_EDITCONTROL);
}
