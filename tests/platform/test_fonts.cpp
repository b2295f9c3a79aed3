#include "platform/fonts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

namespace {

std::vector<std::string> Names(const TInstalledFonts& Fonts)
{
    std::vector<std::string> N;
    for (const TFontFace& F : Fonts.Faces())
        N.push_back(F.Name);
    return N;
}

// IPAゴシック in CP932.
const std::string IpaGothicCp = "IPA\x83\x53\x83\x56\x83\x62\x83\x4E";

TInstalledFonts SampleFonts()
{
    TInstalledFonts F;
    F.Build({
        {.Families = {"DejaVu Sans"}, .FileName = "/f/DejaVuSans.ttf"},
        {.Families = {"DejaVu Sans"}, .FileName = "/f/DejaVuSans-Bold.ttf", .Weight = FW_BOLD},
        {.Families = {"DejaVu Sans"}, .FileName = "/f/DejaVuSans-Oblique.ttf", .Italic = true},
        {.Families = {"DejaVu Sans", "DejaVu Sans Condensed"}, .FileName = "/f/DejaVuSansCondensed.ttf", .Width = 87},
        {.Families = {"dejavu sans"}, .FileName = "/f/z-other.ttf", .Weight = 380},
        {.Families = {"IPAGothic", "IPAゴシック"}, .FileName = "/f/ipag.ttf", .Japanese = true},
        {.Families = {"IPAGothic", "IPAゴシック"}, .FileName = "/f/a-link-to-ipag.ttf", .Japanese = true},
        // 驿 has no CP932 code: only the Latin name is a face.
        {.Families = {"文泉驿正黑", "WenQuanYi Zen Hei"}, .FileName = "/f/wqy.ttc"},
        // 32 CP932 bytes: cut to 31, then to a character boundary.
        {.Families = {"Abcdefghijklmnopqrstuvwxyz Long Name", "あいうえおかきくけこさしすせそた"},
         .FileName = "/f/long.ttf", .Japanese = true},
    });
    return F;
}

} // namespace

TEST(Fonts, LogFontLayout)
{
    EXPECT_EQ((std::vector<size_t>{sizeof(TLogFont), offsetof(TLogFont, lfWeight), offsetof(TLogFont, lfItalic),
                                   offsetof(TLogFont, lfCharSet), offsetof(TLogFont, lfPitchAndFamily),
                                   offsetof(TLogFont, lfFaceName)}),
              (std::vector<size_t>{60, 16, 20, 23, 27, 28}));
}

TEST(Fonts, FaceNameFieldKeeps31BytesWholeCharacters)
{
    TLogFont Lf;
    std::memset(Lf.lfFaceName, 'x', sizeof Lf.lfFaceName);
    SetLogFontFaceName(Lf, IpaGothicCp);
    EXPECT_EQ(LogFontFaceName(Lf), IpaGothicCp);
    EXPECT_EQ(Lf.lfFaceName[31], '\0'); // the rest of the field is cleared
    const std::string A29(29, 'a'), A30(30, 'a');
    SetLogFontFaceName(Lf, A29 + "\x82\xA0"); // 31 bytes: fits
    EXPECT_EQ(LogFontFaceName(Lf), A29 + "\x82\xA0");
    SetLogFontFaceName(Lf, A30 + "\x82\xA0"); // the character would end at byte 32
    EXPECT_EQ(LogFontFaceName(Lf), A30);
    SetLogFontFaceName(Lf, std::string(40, 'a'));
    EXPECT_EQ(LogFontFaceName(Lf), std::string(31, 'a'));
    SetLogFontFaceName(Lf, A29 + "\x82"); // a lead byte cut off by the end of the name
    EXPECT_EQ(LogFontFaceName(Lf), A29);
    std::string Cp;
    EXPECT_TRUE(FaceNameToCp932("IPAゴシック", Cp));
    EXPECT_EQ(Cp, IpaGothicCp);
    EXPECT_FALSE(FaceNameToCp932("文泉驿", Cp));
    EXPECT_EQ(Cp, "");
}

TEST(Fonts, FacesFromSources)
{
    const TInstalledFonts F = SampleFonts();
    // Sorted ignoring ASCII case; "@" faces for the Japanese ones; the face
    // keeps the spelling of the first file by path.
    EXPECT_EQ(Names(F), (std::vector<std::string>{
                            "@Abcdefghijklmnopqrstuvwxyz Lon", "@IPAGothic", "@IPAゴシック",
                            "@あいうえおかきくけこさしすせそ", "Abcdefghijklmnopqrstuvwxyz Long", "DejaVu Sans",
                            "DejaVu Sans Condensed", "IPAGothic", "IPAゴシック", "WenQuanYi Zen Hei",
                            "あいうえおかきくけこさしすせそ"}));
    const TFontFace* Ipa = F.Find("ipaゴシック");
    const TFontFace *Vertical = F.Find("@IPAゴシック"), *Dv = F.Find("DEJAVU SANS");
    ASSERT_TRUE(Ipa && Vertical && Dv);
    const TLogFont& L = Ipa->LogFont;
    EXPECT_EQ(std::tuple(Ipa->Name, LogFontFaceName(L), int(L.lfCharSet), int(L.lfWeight), int(L.lfPitchAndFamily), Ipa->Vertical),
              std::tuple("IPAゴシック", IpaGothicCp, SHIFTJIS_CHARSET, FW_NORMAL, VARIABLE_PITCH, false));
    EXPECT_TRUE(Vertical->Vertical);
    EXPECT_EQ(LogFontFaceName(Vertical->LogFont), "@" + IpaGothicCp);
    EXPECT_EQ(std::pair(int(Dv->LogFont.lfCharSet), int(Dv->LogFont.lfWeight)), std::pair(int(ANSI_CHARSET), FW_NORMAL));
    EXPECT_EQ(F.Find("@DejaVu Sans"), nullptr);
    EXPECT_EQ(F.Find("文泉驿正黑"), nullptr);
    EXPECT_EQ(F.Find("Abcdefghijklmnopqrstuvwxyz Long Name"), nullptr);
    // 31 bytes: 15 characters of two bytes; its "@" face is "@" and the same 15.
    ASSERT_TRUE(F.Find("あいうえおかきくけこさしすせそ"));
    EXPECT_EQ(std::strlen(F.Find("あいうえおかきくけこさしすせそ")->LogFont.lfFaceName), 30u);
    EXPECT_EQ(std::strlen(F.Find("@あいうえおかきくけこさしすせそ")->LogFont.lfFaceName), 31u);
    EXPECT_EQ(F.Find("Abcdefghijklmnopqrstuvwxyz Long")->LogFont.lfCharSet, SHIFTJIS_CHARSET);
}

TEST(Fonts, ResolveChoosesTheStyleFile)
{
    const TInstalledFonts F = SampleFonts();
    // The file, plus " +b" / " +i" for what is synthesised.
    const auto Resolve = [&](const std::string& Face, int32_t Weight, bool Italic) -> std::string {
        TFontMatch M;
        if (!F.Resolve(Face, Weight, Italic, M))
            return "none";
        return M.FileName + (M.SynthesizeBold ? " +b" : "") + (M.SynthesizeItalic ? " +i" : "");
    };
    EXPECT_EQ(Resolve("DejaVu Sans", FW_NORMAL, false), "/f/DejaVuSans.ttf");
    EXPECT_EQ(Resolve("dejavu sans", FW_BOLD, false), "/f/DejaVuSans-Bold.ttf");
    // No bold oblique: the slant wins over the weight, bold is synthesised.
    EXPECT_EQ(Resolve("DejaVu Sans", FW_BOLD, true), "/f/DejaVuSans-Oblique.ttf +b");
    EXPECT_EQ(Resolve("DejaVu Sans Condensed", FW_NORMAL, true), "/f/DejaVuSansCondensed.ttf +i");
    // Two files of one face: the first by path; the "@" face draws with it.
    EXPECT_EQ(Resolve("@IPAゴシック", FW_BOLD, true), "/f/a-link-to-ipag.ttf +b +i");
    EXPECT_EQ(Resolve("IPAGothic", 550, false), "/f/a-link-to-ipag.ttf"); // below 600 is not bold
    EXPECT_EQ(Resolve("No Such Face", FW_NORMAL, false), "none");
}

TEST(Fonts, DefaultFace)
{
    ASSERT_TRUE(SampleFonts().DefaultFace());
    EXPECT_EQ(SampleFonts().DefaultFace()->Name, "Abcdefghijklmnopqrstuvwxyz Long"); // first Japanese, not "@"
    TInstalledFonts Latin;
    Latin.Build({{.Families = {"Zeta"}, .FileName = "/f/z.ttf"}, {.Families = {"Alpha"}, .FileName = "/f/a.ttf"}});
    ASSERT_TRUE(Latin.DefaultFace());
    EXPECT_EQ(Latin.DefaultFace()->Name, "Alpha");
    TInstalledFonts None;
    None.Build({});
    EXPECT_EQ(None.DefaultFace(), nullptr);
}

TEST(Fonts, InstalledFontsOfThisMachine)
{
    // tools/setup installs IPA Gothic, IPA Mincho and DejaVu.
    const TInstalledFonts& F = InstalledFonts();
    for (const char* Name : {"IPAゴシック", "@IPAゴシック", "IPAMincho", "@IPA明朝"}) {
        const TFontFace* Face = F.Find(Name);
        ASSERT_TRUE(Face) << Name << ": run tools/setup";
        EXPECT_EQ(Face->LogFont.lfCharSet, SHIFTJIS_CHARSET) << Name;
    }
    for (const char* Name : {"DejaVu Sans", "DejaVu Sans Mono"}) {
        ASSERT_TRUE(F.Find(Name)) << Name;
        EXPECT_EQ(F.Find(Name)->LogFont.lfCharSet, ANSI_CHARSET) << Name;
        EXPECT_EQ(F.Find(std::string("@") + Name), nullptr);
    }
    EXPECT_EQ(F.Find("DejaVu Sans Mono")->LogFont.lfPitchAndFamily, FIXED_PITCH);
    EXPECT_EQ(F.DefaultFace()->LogFont.lfCharSet, SHIFTJIS_CHARSET);
    // Unchanged fonts: an update keeps the table.
    EXPECT_EQ(&UpdateInstalledFonts(), &F);
}

// A font is shown under its Japanese family name where it has one, and every
// one of its names leads there.
TEST(Fonts, FacesAreShownUnderTheirJapaneseName)
{
    TInstalledFonts F;
    F.Build({
        {.Families = {"IPAPGothic", "IPA Pゴシック"}, .FileName = "/f/ipagp.ttf", .Japanese = true,
         .FamilyLangs = {"en", "ja"}},
        {.Families = {"Takao", "たかお"}, .FileName = "/f/takao.ttf", .Japanese = true, .FamilyLangs = {"en", "ja-jp"}},
        {.Families = {"DejaVu Sans"}, .FileName = "/f/DejaVuSans.ttf", .FamilyLangs = {"en"}},
        // Without languages every name is its own.
        {.Families = {"Plain", "Other"}, .FileName = "/f/plain.ttf"},
        // A Japanese name CP932 cannot write is no face: the Latin one stays.
        {.Families = {"WenQuanYi Zen Hei", "文泉驿正黑"}, .FileName = "/f/wqy.ttc", .FamilyLangs = {"en", "ja"}},
    });
    struct TCase {
        const char* Name;
        const char* Shown;
    } const Cases[] = {
        {"IPAPGothic", "IPA Pゴシック"}, {"ipapgothic", "IPA Pゴシック"}, {"IPA Pゴシック", "IPA Pゴシック"},
        {"@IPAPGothic", "@IPA Pゴシック"}, {"@IPA Pゴシック", "@IPA Pゴシック"}, {"Takao", "たかお"},
        {"DejaVu Sans", "DejaVu Sans"}, {"Plain", "Plain"}, {"Other", "Other"},
        {"WenQuanYi Zen Hei", "WenQuanYi Zen Hei"}, {"ＭＳ Ｐゴシック", ""},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(F.ShownName(C.Name), C.Shown) << C.Name;
    EXPECT_EQ(F.ShownNames(), (std::vector<std::string>{"DejaVu Sans", "IPA Pゴシック", "Other", "Plain",
                                                         "WenQuanYi Zen Hei", "たかお"}));
}

// On this machine: fontconfig's Japanese names reach the table.
TEST(Fonts, InstalledJapaneseFontsAreShownByTheirJapaneseName)
{
    const TInstalledFonts& F = InstalledFonts();
    if (!F.Find("IPAPGothic"))
        GTEST_SKIP() << "no IPA P Gothic here";
    EXPECT_EQ(F.ShownName("IPAPGothic"), "IPA Pゴシック");
    const std::vector<std::string> Shown = F.ShownNames();
    EXPECT_NE(std::find(Shown.begin(), Shown.end(), "IPA Pゴシック"), Shown.end());
    EXPECT_EQ(std::find(Shown.begin(), Shown.end(), "IPAPGothic"), Shown.end());
}
