#include "platform/glyph_outline.h"

#include "platform/cp932.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_FONT_FORMATS_H
#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

int64_t GlyphRoundDiv(int64_t N, int64_t D)
{
    return N >= 0 ? (2 * N + D) / (2 * D) : -((-2 * N + D) / (2 * D));
}

namespace {

// Wrapping 32-bit sums: glyphs placed near the end of the coordinate range
// must not overflow.
int32_t WrapAdd32(int32_t A, int32_t B)
{
    return static_cast<int32_t>(static_cast<uint32_t>(A) + static_cast<uint32_t>(B));
}

}  // namespace

namespace {

// N / D rounded half away from zero, for products that may pass 64 bits.
int64_t RoundDiv128(__int128 N, __int128 D)
{
    return static_cast<int64_t>(N >= 0 ? (2 * N + D) / (2 * D) : -((-2 * N + D) / (2 * D)));
}

constexpr size_t MaxOpenFaces = 16;

struct TCachedGlyph {
    std::vector<TGlyphPoint> Points; // relative to the pen, y down
    std::vector<uint8_t> Types;
    int32_t Advance = 0;
};

// Flags: synthetic bold 1, italic 2; the weight and slant looked for in the
// fallback faces, 4 and 8. Fallbacks: the serial of the fallback table, 0
// for none.
struct TGlyphKey {
    uint32_t FaceId;
    int32_t PixelSize;
    uint32_t CodePoint;
    uint8_t Flags;
    uint64_t Fallbacks;
    friend bool operator==(const TGlyphKey&, const TGlyphKey&) = default;
};

struct TGlyphKeyHash {
    size_t operator()(const TGlyphKey& K) const
    {
        uint64_t H = (uint64_t(K.FaceId) << 40) ^ (uint64_t(uint32_t(K.PixelSize)) << 20) ^ K.Flags;
        H = (H * 0x9E3779B97F4A7C15ull ^ K.CodePoint) + K.Fallbacks;
        return static_cast<size_t>(H * 0xBF58476D1CE4E5B9ull ^ (H >> 31));
    }
};

// Which file of a fallback table draws a character: by table serial, code
// point, weight bit and slant bit; an empty file name when none does.
struct TFallbackKey {
    uint64_t Table;
    uint32_t CodePoint;
    uint8_t Flags;
    auto operator<=>(const TFallbackKey&) const = default;
};

} // namespace

struct TGlyphFont::TFace {
    FT_Face Face = nullptr;
    uint32_t Id = 0;
    std::string FileName;
    int32_t Index = 0;
    int32_t Upem = 0;
    bool PostScriptOrientation = false; // outer contours counter-clockwise (y up)
    bool Symbol = false;                // only a symbol character map
    int32_t WinAscent = 0, WinDescent = 0, ExtraLeading = 0, AvgWidth = 0, MaxAdvance = 0;
    int32_t UnderlinePos = 0, UnderlineThickness = 0, StrikePos = 0, StrikeSize = 0;
    ~TFace();
};

namespace {

struct TState {
    std::recursive_mutex Mutex;
    FT_Library Library = nullptr;
    bool LibraryFailed = false;
    uint32_t NextFaceId = 1;
    uint64_t Clock = 0;
    struct TSlot {
        std::shared_ptr<TGlyphFont::TFace> Face;
        uint64_t Used = 0;
    };
    std::map<std::pair<std::string, int32_t>, TSlot> Faces;
    std::unordered_map<TGlyphKey, TCachedGlyph, TGlyphKeyHash> Glyphs;
    size_t Capacity = 4096;
    std::map<TFallbackKey, TFontMatch> Fallbacks;
};

// Never destroyed: fonts held in other statics may outlive any order.
TState& State()
{
    static TState* S = new TState;
    return *S;
}

FT_Library Library()
{
    TState& S = State();
    if (!S.Library && !S.LibraryFailed && FT_Init_FreeType(&S.Library) != 0) {
        S.Library = nullptr;
        S.LibraryFailed = true;
    }
    return S.Library;
}

} // namespace

TGlyphFont::TFace::~TFace()
{
    if (Face) {
        std::lock_guard Lock(State().Mutex);
        FT_Done_Face(Face);
    }
}

namespace {

void ReadFaceMetrics(TGlyphFont::TFace& F)
{
    FT_Face Face = F.Face;
    F.Upem = Face->units_per_EM;
    const char* Format = FT_Get_Font_Format(Face);
    F.PostScriptOrientation = !Format || std::strcmp(Format, "TrueType") != 0;

    const auto* Os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(Face, FT_SFNT_OS2));
    const auto* Hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(Face, FT_SFNT_HHEA));
    const auto* Post = static_cast<const TT_Postscript*>(FT_Get_Sfnt_Table(Face, FT_SFNT_POST));
    if (Os2 && Os2->version != 0xFFFF && Os2->usWinAscent + Os2->usWinDescent > 0) {
        F.WinAscent = Os2->usWinAscent;
        F.WinDescent = Os2->usWinDescent;
    } else {
        F.WinAscent = Face->ascender;
        F.WinDescent = -Face->descender;
    }
    const int32_t HAscent = Hhea ? Hhea->Ascender : Face->ascender;
    const int32_t HDescent = Hhea ? Hhea->Descender : Face->descender;
    const int32_t LineGap = Hhea ? Hhea->Line_Gap : std::max(0, Face->height - (HAscent - HDescent));
    F.ExtraLeading = std::max(0, LineGap - ((F.WinAscent + F.WinDescent) - (HAscent - HDescent)));
    F.AvgWidth = Os2 && Os2->version != 0xFFFF ? Os2->xAvgCharWidth : Face->max_advance_width / 2;
    F.MaxAdvance = Face->max_advance_width;
    if (Post && Post->underlineThickness > 0) {
        F.UnderlinePos = Post->underlinePosition; // top of the stroke
        F.UnderlineThickness = Post->underlineThickness;
    } else {
        F.UnderlineThickness = Face->underline_thickness > 0 ? Face->underline_thickness : F.Upem / 20;
        F.UnderlinePos = Face->underline_position + F.UnderlineThickness / 2; // FreeType gives the centre
    }
    if (Os2 && Os2->version != 0xFFFF && Os2->yStrikeoutSize > 0) {
        F.StrikePos = Os2->yStrikeoutPosition; // top of the stroke
        F.StrikeSize = Os2->yStrikeoutSize;
    } else {
        F.StrikeSize = F.UnderlineThickness;
        F.StrikePos = F.Upem * 3 / 10 + F.StrikeSize / 2;
    }

    if (!Face->charmap || Face->charmap->encoding != FT_ENCODING_UNICODE) {
        if (FT_Select_Charmap(Face, FT_ENCODING_UNICODE) != 0 &&
            FT_Select_Charmap(Face, FT_ENCODING_MS_SYMBOL) == 0)
            F.Symbol = true;
    }
}

// Caller holds the lock.
std::shared_ptr<TGlyphFont::TFace> OpenFace(const std::string& FileName, int32_t Index)
{
    TState& S = State();
    auto Key = std::make_pair(FileName, Index);
    auto It = S.Faces.find(Key);
    if (It != S.Faces.end()) {
        It->second.Used = ++S.Clock;
        return It->second.Face;
    }
    FT_Library Lib = Library();
    if (!Lib)
        return nullptr;
    FT_Face Face = nullptr;
    if (FT_New_Face(Lib, FileName.c_str(), Index, &Face) != 0)
        return nullptr;
    auto F = std::make_shared<TGlyphFont::TFace>();
    F->Face = Face;
    if (!FT_IS_SCALABLE(Face) || Face->units_per_EM == 0)
        return nullptr; // F's destructor closes the face
    F->Id = S.NextFaceId++;
    F->FileName = FileName;
    F->Index = Index;
    ReadFaceMetrics(*F);
    if (S.Faces.size() >= MaxOpenFaces) {
        auto Oldest = std::min_element(S.Faces.begin(), S.Faces.end(),
                                       [](const auto& A, const auto& B) { return A.second.Used < B.second.Used; });
        S.Faces.erase(Oldest);
    }
    S.Faces[Key] = {F, ++S.Clock};
    return F;
}

// Walks the contours of an outline in font units and writes them as
// figures in pixels. Coordinates are kept exact in units of 1 / 0x20000
// font unit (sheared, and doubled so that implied on-curve midpoints stay
// whole) until the single rounding of each output point.
class TOutlineWriter {
public:
    TOutlineWriter(int32_t Upem, int32_t PixelSize, int32_t Shear, TCachedGlyph& Out)
        : FDen(__int128(0x20000) * Upem), FSize(PixelSize), FShear(Shear), FOut(Out)
    {
    }

    void Write(const FT_Outline& Outline)
    {
        int32_t First = 0;
        for (int32_t C = 0; C < Outline.n_contours; ++C) {
            const int32_t Last = Outline.contours[C];
            if (Last < First || Last >= Outline.n_points)
                break;
            Contour(Outline, First, Last);
            First = Last + 1;
        }
    }

private:
    struct TV {
        int64_t X, Y;
    };

    TV Scaled(const FT_Vector& P) const
    {
        return {2 * (int64_t(P.x) * 0x10000 + int64_t(P.y) * FShear), 2 * int64_t(P.y) * 0x10000};
    }
    // The point (A + 2 B) / 3 (K = 3) or A (K = 1, B unused) in pixels.
    TGlyphPoint Pixel(const TV& A, const TV& B, int K) const
    {
        const __int128 Nx = K == 1 ? A.X : A.X + 2 * B.X;
        const __int128 Ny = K == 1 ? A.Y : A.Y + 2 * B.Y;
        return {static_cast<int32_t>(RoundDiv128(Nx * FSize, FDen * K)),
                static_cast<int32_t>(-RoundDiv128(Ny * FSize, FDen * K))};
    }
    void Put(const TGlyphPoint& P, uint8_t Type)
    {
        FOut.Points.push_back(P);
        FOut.Types.push_back(Type);
    }
    void Line(const TV& P) { Put(Pixel(P, P, 1), GLYPH_PT_LINETO); }
    // Quadratic raised to cubic exactly: C1 = (P0 + 2Q) / 3, C2 = (P2 + 2Q) / 3.
    void Quad(const TV& P0, const TV& Q, const TV& P2)
    {
        Put(Pixel(P0, Q, 3), GLYPH_PT_BEZIERTO);
        Put(Pixel(P2, Q, 3), GLYPH_PT_BEZIERTO);
        Put(Pixel(P2, P2, 1), GLYPH_PT_BEZIERTO);
    }
    void Cubic(const TV& C1, const TV& C2, const TV& P)
    {
        Put(Pixel(C1, C1, 1), GLYPH_PT_BEZIERTO);
        Put(Pixel(C2, C2, 1), GLYPH_PT_BEZIERTO);
        Put(Pixel(P, P, 1), GLYPH_PT_BEZIERTO);
    }
    static TV Mid(const TV& A, const TV& B) { return {(A.X + B.X) / 2, (A.Y + B.Y) / 2}; }

    void Contour(const FT_Outline& O, int32_t First, int32_t Last)
    {
        const auto Tag = [&](int32_t I) { return FT_CURVE_TAG(O.tags[I]); };
        TV Start;
        int32_t From = First, To = Last;
        if (Tag(First) == FT_CURVE_TAG_ON) {
            Start = Scaled(O.points[First]);
            From = First + 1;
        } else if (Tag(First) == FT_CURVE_TAG_CONIC) {
            if (Tag(Last) == FT_CURVE_TAG_ON) {
                Start = Scaled(O.points[Last]);
                To = Last - 1;
            } else {
                Start = Mid(Scaled(O.points[First]), Scaled(O.points[Last]));
            }
        } else {
            return; // a contour cannot start with a cubic control point
        }
        const size_t FigureStart = FOut.Points.size();
        Put(Pixel(Start, Start, 1), GLYPH_PT_MOVETO);

        TV Cur = Start;
        TV Controls[2];
        int NControls = 0;
        bool Conic = false;
        // Ends the pending segment at on-curve point P.
        const auto OnPoint = [&](const TV& P, bool Closing) {
            if (NControls == 0) {
                if (!Closing)
                    Line(P); // the closing edge stays implicit
            } else if (Conic || NControls == 1) {
                Quad(Cur, Controls[0], P);
            } else {
                Cubic(Controls[0], Controls[1], P);
            }
            NControls = 0;
            Conic = false;
            Cur = P;
        };
        for (int32_t I = From; I <= To; ++I) {
            const TV P = Scaled(O.points[I]);
            switch (Tag(I)) {
            case FT_CURVE_TAG_ON:
                OnPoint(P, false);
                break;
            case FT_CURVE_TAG_CONIC:
                if (NControls > 0 && Conic) {
                    const TV M = Mid(Controls[0], P);
                    Quad(Cur, Controls[0], M);
                    Cur = M;
                } else if (NControls > 0) {
                    OnPoint(Controls[NControls - 1], false); // malformed: cubic run cut short
                }
                Controls[0] = P;
                NControls = 1;
                Conic = true;
                break;
            default: // cubic
                if (Conic || NControls == 2)
                    OnPoint(Controls[NControls - 1], false); // malformed run
                Controls[NControls++] = P;
                Conic = false;
                break;
            }
        }
        OnPoint(Start, true);

        if (FOut.Points.size() - FigureStart < 2) {
            FOut.Points.resize(FigureStart);
            FOut.Types.resize(FigureStart);
        } else {
            FOut.Types.back() |= GLYPH_PT_CLOSEFIGURE;
        }
    }

    __int128 FDen;
    int32_t FSize;
    int32_t FShear;
    TCachedGlyph& FOut;
};

// Caller holds the lock.
void BuildGlyph(const TGlyphFont::TFace& F, int32_t PixelSize, const TGlyphStyle& Style, uint32_t GlyphIndex,
                TCachedGlyph& Out)
{
    Out = {};
    // Font units: no hinting, no bitmaps.
    if (FT_Load_Glyph(F.Face, GlyphIndex, FT_LOAD_NO_SCALE) != 0)
        return;
    FT_GlyphSlot Slot = F.Face->glyph;
    int64_t Advance = Slot->metrics.horiAdvance;
    if (Style.Bold) {
        const int32_t Strength = static_cast<int32_t>(GlyphRoundDiv(F.Upem, GlyphBoldDivisor));
        if (Slot->format == FT_GLYPH_FORMAT_OUTLINE)
            FT_Outline_EmboldenXY(&Slot->outline, Strength, 0);
        Advance += Strength;
    }
    Out.Advance = static_cast<int32_t>(GlyphRoundDiv(Advance * PixelSize, F.Upem));
    if (Slot->format != FT_GLYPH_FORMAT_OUTLINE)
        return;
    TOutlineWriter W(F.Upem, PixelSize, Style.Italic ? GlyphItalicShear : 0, Out);
    W.Write(Slot->outline);
}

uint32_t DecodeUtf8(std::string_view S)
{
    if (S.empty())
        return 0;
    const auto B = [&](size_t I) { return static_cast<uint8_t>(S[I]); };
    const uint8_t C = B(0);
    size_t N;
    uint32_t V;
    if (C < 0x80)
        return C;
    if (C >= 0xF0) {
        N = 4;
        V = C & 0x07;
    } else if (C >= 0xE0) {
        N = 3;
        V = C & 0x0F;
    } else {
        N = 2;
        V = C & 0x1F;
    }
    if (S.size() < N)
        return 0xFFFD;
    for (size_t I = 1; I < N; ++I)
        V = (V << 6) | (B(I) & 0x3F);
    return V;
}

} // namespace

uint32_t Cp932CharToCodePoint(std::string_view Cp932Char)
{
    if (Cp932Char.empty())
        return 0;
    const uint8_t Lead = static_cast<uint8_t>(Cp932Char[0]);
    if (Lead < 0x80)
        return Lead;
    if (Lead >= 0xA1 && Lead <= 0xDF)
        return 0xFF61 + (Lead - 0xA1); // half-width katakana
    const size_t Length = IsSjisLeadByte(Lead) && Cp932Char.size() >= 2 ? 2 : 1;
    std::string Utf8;
    if (!TryCp932ToUtf8(Cp932Char.substr(0, Length), Utf8) || Utf8.empty())
        return 0xFFFD;
    return DecodeUtf8(Utf8);
}

TGlyphFont::TGlyphFont(std::shared_ptr<TFace> Face, int32_t PixelSize, const TGlyphStyle& Style)
    : FFace(std::move(Face)), FPixelSize(PixelSize), FStyle(Style)
{
    const TFace& F = *FFace;
    const auto Px = [&](int64_t Units) { return static_cast<int32_t>(GlyphRoundDiv(Units * FPixelSize, F.Upem)); };
    FMetric.tmAscent = Px(F.WinAscent);
    FMetric.tmDescent = Px(F.WinDescent);
    FMetric.tmHeight = FMetric.tmAscent + FMetric.tmDescent;
    FMetric.tmInternalLeading = FMetric.tmHeight - FPixelSize;
    FMetric.tmExternalLeading = Px(F.ExtraLeading);
    FMetric.tmAveCharWidth = Px(F.AvgWidth);
    FMetric.tmMaxCharWidth = Px(F.MaxAdvance);
    FMetric.tmWeight = Style.Bold ? FW_BOLD : FW_NORMAL;
    FMetric.tmItalic = Style.Italic ? 1 : 0;
    FMetric.tmUnderlined = Style.Underline ? 1 : 0;
    FMetric.tmStruckOut = Style.StrikeOut ? 1 : 0;
    FUnderlineTop = -Px(F.UnderlinePos);
    FUnderlineHeight = std::max(1, Px(F.UnderlineThickness));
    FStrikeOutTop = -Px(F.StrikePos);
    FStrikeOutHeight = std::max(1, Px(F.StrikeSize));
}

TGlyphFont::~TGlyphFont() = default;

std::unique_ptr<TGlyphFont> TGlyphFont::Open(const std::string& FileName, int32_t Index, int32_t PixelSize,
                                             const TGlyphStyle& Style, uint8_t CharSet)
{
    if (PixelSize < 1 || PixelSize > 65535)
        return nullptr;
    std::lock_guard Lock(State().Mutex);
    std::shared_ptr<TFace> Face = OpenFace(FileName, Index);
    if (!Face)
        return nullptr;
    std::unique_ptr<TGlyphFont> Font(new TGlyphFont(std::move(Face), PixelSize, Style));
    Font->FMetric.tmCharSet = CharSet;
    return Font;
}

std::unique_ptr<TGlyphFont> TGlyphFont::Create(const TLogFont& LogFont)
{
    return Create(LogFont, InstalledFonts());
}

std::unique_ptr<TGlyphFont> TGlyphFont::Create(const TLogFont& LogFont, const TInstalledFonts& Fonts)
{
    const TFontFace* Face = Fonts.Find(Cp932ToUtf8(LogFontFaceName(LogFont)));
    if (!Face)
        Face = Fonts.DefaultFace();
    const int32_t Weight = LogFont.lfWeight == 0 ? FW_NORMAL : LogFont.lfWeight;
    TFontMatch Match;
    if (!Face || !Fonts.Resolve(Face->Name, Weight, LogFont.lfItalic != 0, Match))
        return nullptr;
    const TGlyphStyle Style{Match.SynthesizeBold, Match.SynthesizeItalic, LogFont.lfUnderline != 0,
                            LogFont.lfStrikeOut != 0};

    std::lock_guard Lock(State().Mutex);
    std::shared_ptr<TFace> F = OpenFace(Match.FileName, Match.Index);
    if (!F)
        return nullptr;
    int64_t Size;
    if (LogFont.lfHeight < 0) {
        Size = -int64_t(LogFont.lfHeight);
    } else {
        const int64_t Cell = LogFont.lfHeight == 0 ? 16 : LogFont.lfHeight;
        Size = GlyphRoundDiv(Cell * F->Upem, std::max(1, F->WinAscent + F->WinDescent));
    }
    Size = std::clamp<int64_t>(Size, 1, 65535);
    std::unique_ptr<TGlyphFont> Font(new TGlyphFont(std::move(F), static_cast<int32_t>(Size), Style));
    Font->FMetric.tmWeight = Weight;
    Font->FMetric.tmItalic = LogFont.lfItalic != 0 ? 1 : 0;
    Font->FMetric.tmCharSet = Face->LogFont.lfCharSet;
    Font->FFallbacks = &Fonts;
    Font->FFallbackWeight = Weight >= 600 ? FW_BOLD : FW_NORMAL;
    Font->FFallbackItalic = LogFont.lfItalic != 0;
    return Font;
}

const std::string& TGlyphFont::FileName() const
{
    return FFace->FileName;
}

int32_t TGlyphFont::FaceIndex() const
{
    return FFace->Index;
}

int32_t TGlyphFont::UnitsPerEm() const
{
    return FFace->Upem;
}

uint32_t TGlyphFont::GlyphIndex(uint32_t CodePoint) const
{
    std::lock_guard Lock(State().Mutex);
    uint32_t Index = 0;
    if (FFace->Symbol && CodePoint < 0x100)
        Index = FT_Get_Char_Index(FFace->Face, 0xF000 + CodePoint); // symbol fonts sit at U+F0xx
    if (Index == 0)
        Index = FT_Get_Char_Index(FFace->Face, CodePoint);
    return Index;
}

bool TGlyphFont::FindFallback(uint32_t CodePoint, std::shared_ptr<TFace>& Face, TGlyphStyle& Style,
                              uint32_t& Index) const
{
    if (!FFallbacks)
        return false;
    TState& S = State();
    const TFallbackKey Key{FFallbacks->Serial(), CodePoint,
                           static_cast<uint8_t>((FFallbackWeight >= 600 ? 1 : 0) | (FFallbackItalic ? 2 : 0))};
    auto It = S.Fallbacks.find(Key);
    if (It == S.Fallbacks.end()) {
        // The default face first, as the face a text most likely falls
        // back to, then the others in list order; each file is asked once.
        TFontMatch Found;
        std::vector<std::pair<std::string, int32_t>> Asked{{FFace->FileName, FFace->Index}};
        const auto Try = [&](const TFontFace& Candidate) {
            TFontMatch M;
            if (Candidate.Vertical || !FFallbacks->Resolve(Candidate.Name, FFallbackWeight, FFallbackItalic, M))
                return false;
            const auto File = std::make_pair(M.FileName, M.Index);
            if (std::find(Asked.begin(), Asked.end(), File) != Asked.end())
                return false;
            Asked.push_back(File);
            std::shared_ptr<TFace> F = OpenFace(M.FileName, M.Index);
            if (!F || FT_Get_Char_Index(F->Face, CodePoint) == 0)
                return false;
            Found = M;
            return true;
        };
        const TFontFace* Default = FFallbacks->DefaultFace();
        if (!Default || !Try(*Default))
            for (const TFontFace& Candidate : FFallbacks->Faces())
                if (Try(Candidate))
                    break;
        It = S.Fallbacks.emplace(Key, Found).first;
    }
    const TFontMatch& M = It->second;
    if (M.FileName.empty())
        return false;
    Face = OpenFace(M.FileName, M.Index);
    if (!Face)
        return false;
    Index = FT_Get_Char_Index(Face->Face, CodePoint);
    Style = {M.SynthesizeBold, M.SynthesizeItalic, false, false};
    return Index != 0;
}

int32_t TGlyphFont::AppendGlyph(uint32_t CodePoint, int32_t X, int32_t Y, TGlyphPath& Path) const
{
    TState& S = State();
    std::lock_guard Lock(S.Mutex);
    const TGlyphKey Key{FFace->Id, FPixelSize, CodePoint,
                        static_cast<uint8_t>((FStyle.Bold ? 1 : 0) | (FStyle.Italic ? 2 : 0) |
                                             (FFallbackWeight >= 600 ? 4 : 0) | (FFallbackItalic ? 8 : 0)),
                        FFallbacks ? FFallbacks->Serial() : 0};
    TCachedGlyph Local;
    const TCachedGlyph* G = nullptr;
    if (S.Capacity > 0) {
        auto It = S.Glyphs.find(Key);
        if (It != S.Glyphs.end())
            G = &It->second;
    }
    if (!G) {
        // Control characters have no picture; a tab leaves a space's gap.
        const bool Control = CodePoint < 0x20 || CodePoint == 0x7F;
        const uint32_t Drawn = CodePoint == '\t' ? ' ' : CodePoint;
        if (Control && Drawn != ' ') {
            Local = {};
        } else {
            std::shared_ptr<TFace> Fallback;
            TGlyphStyle FallbackStyle;
            uint32_t FallbackIndex = 0;
            const uint32_t Index = GlyphIndex(Drawn);
            if (Index == 0 && FindFallback(Drawn, Fallback, FallbackStyle, FallbackIndex))
                BuildGlyph(*Fallback, FPixelSize, FallbackStyle, FallbackIndex, Local);
            else
                BuildGlyph(*FFace, FPixelSize, FStyle, Index, Local);
            if (Control) {
                Local.Points.clear();
                Local.Types.clear();
            }
        }
        if (S.Capacity > 0) {
            if (S.Glyphs.size() >= S.Capacity)
                S.Glyphs.clear();
            G = &S.Glyphs.emplace(Key, std::move(Local)).first->second;
        } else {
            G = &Local;
        }
    }

    const size_t Base = Path.Points.size();
    Path.Points.resize(Base + G->Points.size());
    for (size_t I = 0; I < G->Points.size(); ++I)
        Path.Points[Base + I] = {WrapAdd32(G->Points[I].X, X), WrapAdd32(G->Points[I].Y, Y)};
    Path.Types.insert(Path.Types.end(), G->Types.begin(), G->Types.end());

    const int32_t Advance = G->Advance;
    const auto Band = [&](int32_t Top, int32_t Height) {
        if (Advance <= 0)
            return;
        const int32_t L = X, R = WrapAdd32(X, Advance), T = WrapAdd32(Y, Top), B = WrapAdd32(T, Height);
        // The turning sense of the face's outer contours, so that a nonzero
        // fill joins the band to the glyphs it crosses.
        const TGlyphPoint Corners[4] = {{L, T}, {R, T}, {R, B}, {L, B}};
        const TGlyphPoint Reversed[4] = {{L, T}, {L, B}, {R, B}, {R, T}};
        const TGlyphPoint* P = FFace->PostScriptOrientation ? Reversed : Corners;
        for (int I = 0; I < 4; ++I) {
            Path.Points.push_back(P[I]);
            Path.Types.push_back(I == 0 ? GLYPH_PT_MOVETO : GLYPH_PT_LINETO);
        }
        Path.Types.back() |= GLYPH_PT_CLOSEFIGURE;
    };
    if (FStyle.Underline)
        Band(FUnderlineTop, FUnderlineHeight);
    if (FStyle.StrikeOut)
        Band(FStrikeOutTop, FStrikeOutHeight);
    return Advance;
}

int32_t TGlyphFont::AppendChar(std::string_view Cp932Char, int32_t X, int32_t Y, TGlyphPath& Path) const
{
    if (Cp932Char.empty())
        return 0;
    return AppendGlyph(Cp932CharToCodePoint(Cp932Char), X, Y, Path);
}

int32_t TGlyphFont::Advance(uint32_t CodePoint) const
{
    TGlyphPath Scratch;
    TGlyphFont Plain(FFace, FPixelSize, {FStyle.Bold, FStyle.Italic, false, false});
    Plain.FFallbacks = FFallbacks;
    Plain.FFallbackWeight = FFallbackWeight;
    Plain.FFallbackItalic = FFallbackItalic;
    return Plain.AppendGlyph(CodePoint, 0, 0, Scratch);
}

void SetGlyphCacheCapacity(size_t Capacity)
{
    TState& S = State();
    std::lock_guard Lock(S.Mutex);
    S.Capacity = Capacity;
    if (Capacity == 0 || S.Glyphs.size() > Capacity)
        S.Glyphs.clear();
}

size_t GlyphCacheCount()
{
    TState& S = State();
    std::lock_guard Lock(S.Mutex);
    return S.Glyphs.size();
}
