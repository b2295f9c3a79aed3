#include "foundation/list_utils.h"
#include "foundation/platform_wrappers.h"
#include "foundation/string_list.h"
#include "platform/fonts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

bool Has(const TStringList& L, const std::string& Name)
{
    for (int32_t I = 0; I < L.Count(); ++I)
        if (L.Strings(I) == Name)
            return true;
    return false;
}

} // namespace

// tools/setup installs IPA Gothic (Japanese) and DejaVu (Latin).
TEST(GetFontNames, FiltersByCharacterSet)
{
    TStringList L;
    L.Add("stale entry");
    // Which of five names a call with these character-set flags lists.
    const auto Names = [&](bool Ansi, bool Other, bool ShiftJis, bool Vertical) {
        GetFontNames(&L, Ansi, Other, ShiftJis, Vertical, false);
        std::string R;
        for (const char* N : {"stale entry", "DejaVu Sans", "IPAGothic", "IPAゴシック", "@IPAゴシック"})
            R += Has(L, N) ? "1" : "0";
        return R;
    };
    EXPECT_EQ(Names(true, false, false, false), "01000");
    EXPECT_EQ(L.UpdateCount(), 0);
    EXPECT_EQ(Names(false, false, true, false), "00110"); // vertical faces need Vertical too
    EXPECT_EQ(Names(false, false, true, true), "00111");
    EXPECT_EQ(Names(false, true, false, true), "00000"); // Vertical without ShiftJis adds nothing
    GetFontNames(&L, true, true, true, true, false);
    EXPECT_EQ(static_cast<size_t>(L.Count()), InstalledFonts().Faces().size());
    for (int32_t I = 0; I < L.Count(); ++I)
        EXPECT_EQ(L.Objects(I), nullptr);
    GetFontNames(nullptr, true, true, true, true, true); // ignored
}

TEST(GetFontNames, AttachesLogFontCopies)
{
    TStringList L;
    GetFontNames(&L, false, false, true, true, true);
    ASSERT_GT(L.Count(), 1);
    bool Seen = false;
    for (int32_t I = 0; I < L.Count(); ++I) {
        const auto* Lf = static_cast<const TLogFont*>(L.Objects(I));
        ASSERT_NE(Lf, nullptr);
        EXPECT_EQ(Lf->lfCharSet, SHIFTJIS_CHARSET);
        EXPECT_EQ(Lf->lfFaceName[0] == '@', L.Strings(I)[0] == '@');
        if (L.Strings(I) == "@IPAゴシック") {
            EXPECT_STREQ(Lf->lfFaceName, "@IPA\x83\x53\x83\x56\x83\x62\x83\x4E"); // CP932 bytes
            Seen = true;
        }
    }
    EXPECT_TRUE(Seen);
    EXPECT_NE(L.Objects(0), L.Objects(1)); // each entry owns a separate block
    FreeStringsPointers(&L);
    for (int32_t I = 0; I < L.Count(); ++I)
        EXPECT_EQ(L.Objects(I), nullptr);
}
