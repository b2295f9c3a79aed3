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
    GetFontNames(&L, true, false, false, false, false);
    EXPECT_FALSE(Has(L, "stale entry"));
    EXPECT_TRUE(Has(L, "DejaVu Sans"));
    EXPECT_FALSE(Has(L, "IPAGothic"));
    EXPECT_EQ(L.UpdateCount(), 0);

    GetFontNames(&L, false, false, true, false, false);
    EXPECT_TRUE(Has(L, "IPAGothic"));
    EXPECT_TRUE(Has(L, "IPAゴシック"));
    EXPECT_FALSE(Has(L, "@IPAゴシック")); // vertical faces need Vertical too
    EXPECT_FALSE(Has(L, "DejaVu Sans"));

    GetFontNames(&L, false, false, true, true, false);
    EXPECT_TRUE(Has(L, "@IPAゴシック"));
    EXPECT_TRUE(Has(L, "IPAゴシック"));

    GetFontNames(&L, false, true, false, true, false); // Vertical alone adds nothing
    EXPECT_FALSE(Has(L, "@IPAゴシック"));
    EXPECT_FALSE(Has(L, "IPAゴシック"));
    EXPECT_FALSE(Has(L, "DejaVu Sans"));

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
    ASSERT_GT(L.Count(), 0);
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
    // Each entry owns a separate block.
    ASSERT_GT(L.Count(), 1);
    EXPECT_NE(L.Objects(0), L.Objects(1));
    FreeStringsPointers(&L);
    for (int32_t I = 0; I < L.Count(); ++I)
        EXPECT_EQ(L.Objects(I), nullptr);
}
