#include "platform/glyph_outline.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

namespace {

// Installed by tools/setup (fonts-ipafont-gothic, fonts-ipafont-mincho, fonts-dejavu-core).
const std::string IpaGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
const std::string IpaMincho = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
const std::string DejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::unique_ptr<TGlyphFont> OpenFont(const std::string& File, int32_t Size, TGlyphStyle Style = {})
{
    EXPECT_TRUE(std::filesystem::exists(File)) << File << " missing: run tools/setup";
    return TGlyphFont::Open(File, 0, Size, Style);
}

TGlyphPath PathOf(const TGlyphFont& Font, uint32_t CodePoint, int32_t X = 0, int32_t Y = 0)
{
    TGlyphPath P;
    Font.AppendGlyph(CodePoint, X, Y, P);
    return P;
}

// An independent decomposition of the outline in font units: each contour is
// expanded into a ring with its implied on-curve midpoints, started at the
// on-curve point that precedes point 0, then read off as lines, quadratics
// (raised to cubics) and cubics. Coordinates are exact rationals over
// 2 * 0x10000 font units, scaled and rounded with long double arithmetic.
TGlyphPath Expected(const std::string& File, uint32_t CodePoint, int32_t Size, long Embolden = 0, int32_t Shear = 0)
{
    static FT_Library Lib = [] { // loaded straight by FreeType, in font units
        FT_Library L = nullptr;
        EXPECT_EQ(FT_Init_FreeType(&L), 0);
        return L;
    }();
    FT_Face Face = nullptr;
    EXPECT_EQ(FT_New_Face(Lib, File.c_str(), 0, &Face), 0);
    const std::unique_ptr<FT_FaceRec_, decltype(&FT_Done_Face)> Owner(Face, FT_Done_Face);
    EXPECT_EQ(FT_Load_Glyph(Face, FT_Get_Char_Index(Face, CodePoint), FT_LOAD_NO_SCALE), 0);
    FT_Outline& O = Face->glyph->outline;
    if (Embolden)
        FT_Outline_EmboldenXY(&O, Embolden, 0);
    struct TPt {
        int64_t X, Y; // over 0x20000 font units
        int Tag;      // 1 on, 0 conic, 2 cubic
    };
    const long double Den = 131072.0L * Face->units_per_EM;
    const auto Px = [&](long double Nx, long double Ny, int K) {
        return TGlyphPoint{static_cast<int32_t>(std::llroundl(Nx * Size / (Den * K))),
                           static_cast<int32_t>(-std::llroundl(Ny * Size / (Den * K)))};
    };
    const auto At = [&](int I) {
        return TPt{2 * (int64_t(O.points[I].x) * 65536 + int64_t(O.points[I].y) * Shear),
                   2 * int64_t(O.points[I].y) * 65536, O.tags[I] & 3};
    };
    TGlyphPath P;
    int First = 0;
    for (int C = 0; C < O.n_contours; ++C) {
        const int Last = O.contours[C];
        std::vector<TPt> Ring;
        for (int I = First; I <= Last; ++I) {
            Ring.push_back(At(I));
            const TPt B = At(I == Last ? First : I + 1);
            if (Ring.back().Tag == 0 && B.Tag == 0)
                Ring.push_back({(Ring.back().X + B.X) / 2, (Ring.back().Y + B.Y) / 2, 1});
        }
        First = Last + 1;
        if (Ring[0].Tag != 1) {
            Ring.insert(Ring.begin(), Ring.back());
            Ring.pop_back();
        }
        const size_t M = Ring.size(), Start = P.Points.size();
        P.Points.push_back(Px(Ring[0].X, Ring[0].Y, 1));
        P.Types.push_back(GLYPH_PT_MOVETO);
        for (size_t I = 1; I < M;) {
            if (Ring[I].Tag == 1) {
                P.Points.push_back(Px(Ring[I].X, Ring[I].Y, 1));
                P.Types.push_back(GLYPH_PT_LINETO);
                I += 1;
                continue;
            }
            if (Ring[I].Tag == 0) {
                const TPt &P0 = Ring[I - 1], &Q = Ring[I], &P2 = Ring[(I + 1) % M];
                // C1 = P0 + 2/3 (Q - P0), C2 = P2 + 2/3 (Q - P2)
                P.Points.push_back(Px(3.0L * P0.X + 2.0L * (Q.X - P0.X), 3.0L * P0.Y + 2.0L * (Q.Y - P0.Y), 3));
                P.Points.push_back(Px(3.0L * P2.X + 2.0L * (Q.X - P2.X), 3.0L * P2.Y + 2.0L * (Q.Y - P2.Y), 3));
                P.Points.push_back(Px(P2.X, P2.Y, 1));
                I += 2;
            } else {
                for (size_t K = 0; K < 3; ++K)
                    P.Points.push_back(Px(Ring[(I + K) % M].X, Ring[(I + K) % M].Y, 1));
                I += 3;
            }
            P.Types.insert(P.Types.end(), 3, GLYPH_PT_BEZIERTO);
        }
        if (P.Points.size() - Start < 2) {
            P.Points.resize(Start);
            P.Types.resize(Start);
        } else {
            P.Types.back() |= GLYPH_PT_CLOSEFIGURE;
        }
    }
    return P;
}

void ExpectSamePath(const TGlyphPath& Got, const TGlyphPath& Want, const std::string& What)
{
    ASSERT_EQ(Got.Points.size(), Want.Points.size()) << What;
    EXPECT_EQ(Got.Types, Want.Types) << What;
    EXPECT_EQ(Got.Points, Want.Points) << What;
}

// Signed area (shoelace over the figure's points) of the figure starting at First.
double FigureArea(const TGlyphPath& P, size_t First, size_t Count)
{
    double A = 0;
    for (size_t I = 0; I < Count; ++I) {
        const TGlyphPoint &U = P.Points[First + I], &V = P.Points[First + (I + 1) % Count];
        A += double(U.X) * V.Y - double(V.X) * U.Y;
    }
    return A / 2;
}

struct TBox {
    int32_t L = INT32_MAX, T = INT32_MAX, R = INT32_MIN, B = INT32_MIN;
};

TBox BoxOf(const TGlyphPath& P)
{
    TBox Box;
    for (const TGlyphPoint& Q : P.Points)
        Box = {std::min(Box.L, Q.X), std::min(Box.T, Q.Y), std::max(Box.R, Q.X), std::max(Box.B, Q.Y)};
    return Box;
}

} // namespace

TEST(GlyphOutline, RoundingHalvesAwayFromZero)
{
    EXPECT_EQ((std::vector<int64_t>{GlyphRoundDiv(3, 2), GlyphRoundDiv(-3, 2), GlyphRoundDiv(5, 3), GlyphRoundDiv(-4, 3)}),
              (std::vector<int64_t>{2, -2, 2, -1}));
}

TEST(GlyphOutline, OutlinesMatchAnIndependentDecomposition)
{
    for (const std::string& File : {IpaGothic, IpaMincho, DejaVuSans})
        for (int32_t Size : {48, 13, 200}) {
            auto Font = OpenFont(File, Size);
            ASSERT_TRUE(Font) << File;
            for (uint32_t C : {0x41u, 0x67u, 0x3042u, 0x6F22u}) {
                const std::string What = File + " U+" + std::to_string(C) + " at " + std::to_string(Size);
                const TGlyphPath Got = PathOf(*Font, C);
                ExpectSamePath(Got, Expected(File, C, Size), What);
                EXPECT_FALSE(Got.Points.empty()) << What;
            }
        }
    // DejaVu "g" and IPA Mincho "漢" are all quadratics, raised exactly by the
    // reference. DejaVu figures that start off the curve: U+0238 (last point on the
    // curve), U+0298 (last point off it too: the figure starts at the
    // midpoint of the two).
    auto Dv = OpenFont(DejaVuSans, 48);
    for (uint32_t C : {0x238u, 0x298u})
        ExpectSamePath(PathOf(*Dv, C), Expected(DejaVuSans, C, 48), "U+" + std::to_string(C));
}

TEST(GlyphOutline, AdvancesAndMissingCharacters)
{
    auto Dv = OpenFont(DejaVuSans, 48);
    // Advances 1401, 651 and 2048 units of 2048, at 48 px.
    EXPECT_EQ(Dv->Advance('A'), 33); // 32.84
    EXPECT_EQ(Dv->Advance(' '), 15); // 15.26
    EXPECT_EQ(OpenFont(IpaGothic, 48)->Advance(0x3042), 48);
    TGlyphPath P;
    EXPECT_EQ(Dv->AppendGlyph(' ', 0, 0, P), 15);
    EXPECT_TRUE(P.Points.empty()); // a space has no figures
    // DejaVu has no "あ": the missing-character glyph (a box of two figures,
    // 1229 units wide) is drawn.
    EXPECT_EQ(Dv->GlyphIndex(0x3042), 0u);
    EXPECT_EQ(Dv->Advance(0x3042), 29); // 28.8
    const TGlyphPath Box = PathOf(*Dv, 0x3042);
    EXPECT_EQ(std::count(Box.Types.begin(), Box.Types.end(), GLYPH_PT_MOVETO), 2);
}

TEST(GlyphOutline, PenPositionTranslatesTheOutline)
{
    auto Font = OpenFont(IpaGothic, 48);
    const TGlyphPath At0 = PathOf(*Font, 0x6F22);
    TGlyphPath Moved;
    Moved.Points.push_back({7, 7}); // appends after what is there
    Moved.Types.push_back(GLYPH_PT_MOVETO);
    EXPECT_EQ(Font->AppendGlyph(0x6F22, -1003, 517, Moved), 48);
    TGlyphPath Want{{{7, 7}}, {GLYPH_PT_MOVETO}};
    for (const TGlyphPoint& Q : At0.Points)
        Want.Points.push_back({Q.X - 1003, Q.Y + 517});
    Want.Types.insert(Want.Types.end(), At0.Types.begin(), At0.Types.end());
    ExpectSamePath(Moved, Want, "moved");
    // y grows downwards: the glyph sits above the baseline.
    EXPECT_LT(BoxOf(At0).T, -30);
    EXPECT_GT(BoxOf(At0).B, -10);
}

TEST(GlyphOutline, TextMetrics)
{
    // DejaVu Sans: 2048 units, Windows ascent 1901, descent 483, average
    // width 1038, widest advance 3838, line gap 0.
    auto Dv = OpenFont(DejaVuSans, 48), Ipa = OpenFont(IpaGothic, 48);
    const TTextMetric &M = Dv->TextMetric(), &I = Ipa->TextMetric();
    // 44.55, 11.32, 56, 24.33, 89.95
    EXPECT_EQ((std::vector{M.tmAscent, M.tmDescent, M.tmHeight, M.tmAveCharWidth, M.tmMaxCharWidth, M.tmWeight}),
              (std::vector<int32_t>{45, 11, 56, 24, 90, FW_NORMAL}));
    // IPA Gothic: ascent 1802 (42.23), descent 401 (9.40); the horizontal
    // header's smaller descent (246) with a zero gap leaves no external leading.
    EXPECT_EQ((std::vector{I.tmAscent, I.tmDescent, I.tmExternalLeading}), (std::vector<int32_t>{42, 9, 0}));
}

TEST(GlyphOutline, SyntheticBoldAndItalic)
{
    // em / 24 = 85 units at 2048 units per em: 1.99 px at 48 px, to the
    // right only; the advance grows as much.
    auto Bold = OpenFont(DejaVuSans, 48, {true, false, false, false});
    EXPECT_EQ(Bold->Advance('A'), 35); // (1401 + 85) * 48 / 2048 = 34.83
    EXPECT_EQ(OpenFont(IpaGothic, 48, {true, false, false, false})->Advance(0x3042), 50); // 49.99
    EXPECT_EQ(Bold->TextMetric().tmWeight, FW_BOLD);
    for (uint32_t C : {0x41u, 0x67u})
        ExpectSamePath(PathOf(*Bold, C), Expected(DejaVuSans, C, 48, 85), "bold");
    auto Upright = OpenFont(IpaGothic, 48);
    auto Italic = OpenFont(IpaGothic, 48, {false, true, false, false});
    for (uint32_t C : {0x41u, 0x3042u, 0x6F22u}) {
        const TGlyphPath P = PathOf(*Upright, C), I = PathOf(*Italic, C);
        ExpectSamePath(I, Expected(IpaGothic, C, 48, 0, GlyphItalicShear), "italic");
        ASSERT_EQ(P.Points.size(), I.Points.size());
        // Heights stay; x moves right by height above the baseline x 0.2126.
        for (size_t K = 0; K < P.Points.size(); ++K) {
            EXPECT_EQ(I.Points[K].Y, P.Points[K].Y);
            EXPECT_NEAR(I.Points[K].X, P.Points[K].X - P.Points[K].Y * (0x366A / 65536.0), 1.0);
        }
    }
    EXPECT_EQ(Italic->Advance('A'), Upright->Advance('A'));
    // Bold and italic together: bolden, then shear.
    ExpectSamePath(PathOf(*OpenFont(IpaGothic, 48, {true, true, false, false}), 0x3042),
                   Expected(IpaGothic, 0x3042, 48, 85, GlyphItalicShear), "bold italic");
}

TEST(GlyphOutline, UnderlineAndStrikeOutBands)
{
    // DejaVu Sans: underline top -40, thickness 90; strike-out top 530,
    // thickness 102 (units of 2048), at 48 px.
    TGlyphPath P;
    EXPECT_EQ(OpenFont(DejaVuSans, 48, {false, false, true, true})->AppendGlyph('A', 100, 200, P), 33);
    const TGlyphPath Glyph = PathOf(*OpenFont(DejaVuSans, 48), 'A', 100, 200);
    ASSERT_EQ(P.Points.size(), Glyph.Points.size() + 8);
    const size_t U = Glyph.Points.size(), S = U + 4;
    const TGlyphPoint Underline[4]{{100, 201}, {133, 201}, {133, 203}, {100, 203}};
    const TGlyphPoint Strike[4]{{100, 188}, {133, 188}, {133, 190}, {100, 190}};
    for (size_t K = 0; K < 4; ++K) {
        EXPECT_EQ(P.Points[U + K], Underline[K]) << K;
        EXPECT_EQ(P.Points[S + K], Strike[K]) << K;
        const uint8_t Type = K == 0 ? GLYPH_PT_MOVETO : K == 3 ? (GLYPH_PT_LINETO | GLYPH_PT_CLOSEFIGURE) : GLYPH_PT_LINETO;
        EXPECT_EQ(P.Types[U + K], Type);
        EXPECT_EQ(P.Types[S + K], Type);
    }
    // The bands turn the way the glyph's outer (largest) figure does.
    double Outer = 0;
    for (size_t F = 0, I = 0; I < Glyph.Types.size(); ++I)
        if (Glyph.Types[I] & GLYPH_PT_CLOSEFIGURE) {
            const double A = FigureArea(Glyph, F, I + 1 - F);
            Outer = std::abs(A) > std::abs(Outer) ? A : Outer;
            F = I + 1;
        }
    EXPECT_GT(Outer * FigureArea(P, U, 4), 0);
    EXPECT_GT(Outer * FigureArea(P, S, 4), 0);
}

TEST(GlyphOutline, Cp932CharactersToCodePoints)
{
    EXPECT_EQ(Cp932CharToCodePoint("\\"), 0x5Cu);
    EXPECT_EQ(Cp932CharToCodePoint("\x82\xA0"), 0x3042u); // あ
    EXPECT_EQ(Cp932CharToCodePoint("\x81\x60"), 0xFF5Eu); // full-width tilde
    EXPECT_EQ(Cp932CharToCodePoint("\xB1"), 0xFF71u);     // half-width ｱ
    EXPECT_EQ(Cp932CharToCodePoint("\x82"), 0xFFFDu);     // lead byte without its trail
    EXPECT_EQ(Cp932CharToCodePoint(""), 0u);
    auto Font = OpenFont(IpaGothic, 48);
    TGlyphPath A;
    EXPECT_EQ(Font->AppendChar("\x8A\xBF", 5, 60, A), 48); // 漢
    ExpectSamePath(A, PathOf(*Font, 0x6F22, 5, 60), "漢");
}

TEST(GlyphOutline, CacheGivesTheSameOutlines)
{
    auto Font = OpenFont(IpaMincho, 48, {true, true, true, false});
    SetGlyphCacheCapacity(0);
    const TGlyphPath Uncached = PathOf(*Font, 0x6F22, 11, 22);
    EXPECT_EQ(GlyphCacheCount(), 0u);
    SetGlyphCacheCapacity(2);
    const TGlyphPath First = PathOf(*Font, 0x6F22, 11, 22), Second = PathOf(*Font, 0x6F22, 11, 22);
    EXPECT_EQ(GlyphCacheCount(), 1u);
    ExpectSamePath(First, Uncached, "first");
    ExpectSamePath(Second, Uncached, "cached");
    // Other sizes and styles are other entries; a full cache starts afresh.
    PathOf(*OpenFont(IpaMincho, 12, {true, true, true, false}), 0x6F22);
    EXPECT_EQ(GlyphCacheCount(), 2u);
    PathOf(*Font, 'A');
    EXPECT_EQ(GlyphCacheCount(), 1u);
    SetGlyphCacheCapacity(4096);
}

TEST(GlyphOutline, OpenRejectsBadArguments)
{
    EXPECT_FALSE(TGlyphFont::Open(IpaGothic, 0, 0, {}));
    EXPECT_FALSE(TGlyphFont::Open(IpaGothic, 0, 65536, {}));
    EXPECT_FALSE(TGlyphFont::Open("/nonexistent/font.ttf", 0, 48, {}));
    EXPECT_FALSE(TGlyphFont::Open(IpaGothic, 5, 48, {})); // no such face in the file
    EXPECT_TRUE(TGlyphFont::Open(IpaGothic, 0, 65535, {}));
}

TEST(GlyphOutline, FontsFromLogFontRecords)
{
    TLogFont Lf;
    Lf.lfHeight = -48;
    Lf.lfWeight = FW_NORMAL;
    SetLogFontFaceName(Lf, "IPA\x83\x53\x83\x56\x83\x62\x83\x4E"); // IPAゴシック
    auto Font = TGlyphFont::Create(Lf);
    ASSERT_TRUE(Font);
    EXPECT_TRUE(std::filesystem::equivalent(Font->FileName(), IpaGothic));
    EXPECT_EQ(Font->PixelSize(), 48);
    EXPECT_EQ(Font->TextMetric().tmCharSet, SHIFTJIS_CHARSET);
    // A cell height: 51 px for 1802 + 401 units of 2048 is an em of 47.41.
    Lf.lfHeight = 51;
    EXPECT_EQ(TGlyphFont::Create(Lf)->PixelSize(), 47);
    // IPA Gothic has no bold face: it is synthesised; underline is drawn.
    Lf.lfHeight = -48;
    Lf.lfWeight = FW_BOLD;
    Lf.lfUnderline = 1;
    auto Bold = TGlyphFont::Create(Lf);
    EXPECT_TRUE(Bold->Style().Bold && Bold->Style().Underline);
    EXPECT_EQ(Bold->TextMetric().tmWeight, FW_BOLD);
    // DejaVu Sans has one: its file draws, nothing synthesised.
    SetLogFontFaceName(Lf, "dejavu sans");
    auto DvBold = TGlyphFont::Create(Lf);
    ASSERT_TRUE(DvBold);
    EXPECT_EQ(std::filesystem::path(DvBold->FileName()).filename(), "DejaVuSans-Bold.ttf");
    EXPECT_FALSE(DvBold->Style().Bold);
    // A face that is not installed falls back to the default (Japanese) face.
    SetLogFontFaceName(Lf, "No Such Face 7f3a");
    auto Fallback = TGlyphFont::Create(Lf);
    ASSERT_TRUE(Fallback);
    EXPECT_EQ(Fallback->TextMetric().tmCharSet, SHIFTJIS_CHARSET);
    EXPECT_NE(Fallback->GlyphIndex(0x3042), 0u);
}
