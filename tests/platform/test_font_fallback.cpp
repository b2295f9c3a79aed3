// Faces that cannot draw a character: a Japanese face without Latin letters
// (a CJK fallback font) is no Shift-JIS face and never the default, a
// character a face lacks is drawn by another installed face, and control
// characters draw nothing.
#include "platform/fonts.h"
#include "platform/glyph_outline.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// Installed by tools/setup (fonts-droid-fallback, fonts-ipafont-gothic, fonts-dejavu-core).
const std::string Droid = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
const std::string IpaGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
const std::string DejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

bool FontsMissing()
{
    for (const std::string& F : {Droid, IpaGothic, DejaVuSans})
        if (!std::filesystem::exists(F))
            return true;
    return false;
}

// Droid Sans Fallback covers Japanese but has no Latin letters; it sorts
// before the IPA faces.
std::vector<TFontSource> MachineLikeSources()
{
    return {{.Families = {"Droid Sans Fallback"}, .FileName = Droid, .Japanese = true, .Ascii = false},
            {.Families = {"IPAGothic", "IPAゴシック"}, .FileName = IpaGothic, .Japanese = true},
            {.Families = {"DejaVu Sans"}, .FileName = DejaVuSans}};
}

TLogFont LogFontOf(const std::string& Face, int32_t Weight = FW_NORMAL)
{
    TLogFont Lf;
    Lf.lfHeight = -48;
    Lf.lfWeight = Weight;
    std::string Cp;
    EXPECT_TRUE(FaceNameToCp932(Face, Cp));
    SetLogFontFaceName(Lf, Cp);
    return Lf;
}

TGlyphPath PathOf(const TGlyphFont& Font, uint32_t CodePoint, int32_t& Advance)
{
    TGlyphPath P;
    Advance = Font.AppendGlyph(CodePoint, 5, 60, P);
    return P;
}

} // namespace

TEST(FontFallback, AJapaneseFaceWithoutAsciiIsNoShiftJisFace)
{
    TInstalledFonts F;
    F.Build(MachineLikeSources());
    const std::pair<const char*, int> Cases[] = {
        {"Droid Sans Fallback", DEFAULT_CHARSET}, {"@Droid Sans Fallback", -1}, {"IPAGothic", SHIFTJIS_CHARSET},
        {"@IPAGothic", SHIFTJIS_CHARSET},         {"DejaVu Sans", ANSI_CHARSET}};
    for (const auto& [Name, CharSet] : Cases) {
        const TFontFace* Face = F.Find(Name);
        EXPECT_EQ(Face ? Face->LogFont.lfCharSet : -1, CharSet) << Name;
    }
    ASSERT_TRUE(F.DefaultFace());
    EXPECT_EQ(F.DefaultFace()->Name, "IPAGothic");
}

TEST(FontFallback, FontconfigTellsWhichFilesDrawAscii)
{
    if (FontsMissing())
        GTEST_SKIP() << "fonts missing: run tools/setup";
    int Seen = 0;
    for (const TFontSource& S : ReadFontconfigSources()) {
        if (S.FileName == Droid || S.FileName == IpaGothic) {
            ++Seen;
            EXPECT_TRUE(S.Japanese) << S.FileName;
            EXPECT_EQ(S.Ascii, S.FileName == IpaGothic) << S.FileName;
        }
    }
    EXPECT_EQ(Seen, 2);
    EXPECT_NE(InstalledFonts().Find("Droid Sans Fallback")->LogFont.lfCharSet, SHIFTJIS_CHARSET);
    EXPECT_EQ(InstalledFonts().DefaultFace()->LogFont.lfCharSet, SHIFTJIS_CHARSET);
}

// Each character drawn by a font of the table is the glyph of the file that
// has it, outline and advance, at the same size and weight.
TEST(FontFallback, MissingCharactersComeFromAFaceThatHasThem)
{
    if (FontsMissing())
        GTEST_SKIP() << "fonts missing: run tools/setup";
    TInstalledFonts Table;
    Table.Build(MachineLikeSources());
    struct Case {
        const char* Face;
        int32_t Weight;
        uint32_t CodePoint;
        const std::string& DrawnBy;
    };
    const Case Cases[] = {
        {"Droid Sans Fallback", FW_NORMAL, 'T', IpaGothic}, {"Droid Sans Fallback", FW_NORMAL, '!', IpaGothic},
        {"Droid Sans Fallback", FW_BOLD, '1', IpaGothic},   {"Droid Sans Fallback", FW_NORMAL, 0x6587, Droid},
        {"DejaVu Sans", FW_NORMAL, 0x6587, IpaGothic},      {"DejaVu Sans", FW_NORMAL, 'T', DejaVuSans},
        {"IPAGothic", FW_NORMAL, 'T', IpaGothic},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(std::string(C.Face) + " " + std::to_string(C.CodePoint) + " " + std::to_string(C.Weight));
        const auto Font = TGlyphFont::Create(LogFontOf(C.Face, C.Weight), Table);
        ASSERT_TRUE(Font);
        const auto Own = TGlyphFont::Open(C.DrawnBy, 0, 48, {.Bold = C.Weight == FW_BOLD});
        ASSERT_NE(Own->GlyphIndex(C.CodePoint), 0u);
        int32_t Got = 0, Want = 0;
        const TGlyphPath P = PathOf(*Font, C.CodePoint, Got);
        const TGlyphPath Q = PathOf(*Own, C.CodePoint, Want);
        EXPECT_EQ(P.Points, Q.Points);
        EXPECT_EQ(P.Types, Q.Types);
        EXPECT_EQ(Got, Want);
        EXPECT_EQ(Font->Advance(C.CodePoint), Want);
    }
    // A character no face has, and any font without a table: the face's own
    // missing-character glyph.
    const auto Droids = TGlyphFont::Create(LogFontOf("Droid Sans Fallback"), Table);
    const auto Bare = TGlyphFont::Open(Droid, 0, 48, {});
    int32_t A = 0;
    const TGlyphPath Notdef = PathOf(*Bare, 0x10FFFD, A);
    EXPECT_FALSE(Notdef.Points.empty());
    EXPECT_EQ(PathOf(*Droids, 0x10FFFD, A).Points, Notdef.Points);
    EXPECT_EQ(PathOf(*Bare, 'T', A).Points, Notdef.Points);
}

TEST(FontFallback, ControlCharactersDrawNothingAndATabAdvancesAsASpace)
{
    if (FontsMissing())
        GTEST_SKIP() << "fonts missing: run tools/setup";
    TInstalledFonts Table;
    Table.Build(MachineLikeSources());
    const auto Made = TGlyphFont::Create(LogFontOf("IPAGothic"), Table);
    const auto Opened = TGlyphFont::Open(IpaGothic, 0, 48, {});
    for (const TGlyphFont* Font : {Made.get(), Opened.get()}) {
        for (uint32_t CodePoint : {0x09u, 0x01u, 0x1Fu, 0x7Fu}) {
            int32_t Advance = -1;
            EXPECT_TRUE(PathOf(*Font, CodePoint, Advance).Points.empty()) << CodePoint;
            EXPECT_EQ(Advance, CodePoint == 0x09 ? Font->Advance(' ') : 0) << CodePoint;
        }
    }
}
