#include "platform/cp932.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string ToCp(const std::string& Utf8)
{
    std::string Out = "stale";
    EXPECT_TRUE(TryUtf8ToCp932(Utf8, Out)) << Utf8;
    return Out;
}

std::string FromCp(const std::string& Cp)
{
    std::string Out = "stale";
    EXPECT_TRUE(TryCp932ToUtf8(Cp, Out));
    return Out;
}

} // namespace

TEST(Cp932, KnownCodesLeadBytesAndRoundTrip)
{
    EXPECT_EQ(ToCp("画像1"), "\x89\xE6\x91\x9C" "1");
    EXPECT_EQ(ToCp("ｱｲ"), "\xB1\xB2");          // half-width katakana: one byte each
    EXPECT_EQ(ToCp("①"), "\x87\x40");            // NEC row 13
    EXPECT_EQ(ToCp("ⅰ"), "\xFA\x40");            // IBM extension
    EXPECT_EQ(ToCp("～"), "\x81\x60");           // U+FF5E full-width tilde
    EXPECT_EQ(ToCp("\xE3\x80\x9C"), "\x81\x60"); // U+301C wave dash goes to the same code
    EXPECT_EQ(ToCp("\\~"), "\\~");               // plain ASCII, no yen sign
    EXPECT_EQ(FromCp("\x81\x60"), "～");
    EXPECT_EQ(FromCp("\x87\x40\xFA\x40\xB1"), "①ⅰｱ");
    EXPECT_EQ(FromCp("\\~"), "\\~");
    const std::string Msg = "リストのインデックスが範囲を超えています";
    const std::string Cp = ToCp(Msg);
    ASSERT_EQ(Cp.size(), 40u); // twenty double-byte characters
    for (size_t I = 0; I < Cp.size(); I += 2)
        EXPECT_TRUE(IsSjisLeadByte(static_cast<uint8_t>(Cp[I]))) << I;
    EXPECT_EQ(FromCp(Cp), Msg);
    EXPECT_EQ(Utf8ToCp932(Msg), Cp);
    EXPECT_EQ(Cp932ToUtf8(Cp), Msg);
    for (int B : {0x7F, 0x80, 0x81, 0x9F, 0xA0, 0xDF, 0xE0, 0xFC, 0xFD})
        EXPECT_EQ(IsSjisLeadByte(uint8_t(B)), (B >= 0x81 && B <= 0x9F) || (B >= 0xE0 && B <= 0xFC)) << B;
}

TEST(Cp932, UnmappableOrMalformedUtf8)
{
    // An emoji CP932 cannot hold: one "?" per character in the lossy form.
    EXPECT_EQ(Utf8ToCp932("a\xF0\x9F\x98\x80" "b画"), "a?b\x89\xE6");
    EXPECT_EQ(Utf8ToCp932("\xF0\x9F\x98\x80\xF0\x9F\x98\x80"), "??");
    for (const char* Bad : {"a\xF0\x9F\x98\x80", "a\xC3", "\xFF", "\xC0\xAF", "\xED\xA0\x80", "x\x80y"}) {
        std::string Out = "stale";
        EXPECT_FALSE(TryUtf8ToCp932(Bad, Out)) << Bad;
        EXPECT_EQ(Out, "");
    }
    // Lossy: each malformed byte becomes one "?".
    EXPECT_EQ(Utf8ToCp932("a\xC3"), "a?");
    EXPECT_EQ(Utf8ToCp932("\xE7\x94" "あ"), "??\x82\xA0"); // truncated 画 then あ
}

TEST(Cp932, KeepCp932CharactersLeavesOutWhatCp932CannotHold)
{
    const struct {
        const char *In, *Kept;
    } Cases[] = {
        {"平行光源1", "平行光源1"},
        {"a€b✓c", "abc"},
        {"\xF0\x9F\x98\x80朝\xF0\x9F\x98\x80", "朝"},
        {"ｶﾅ～①", "ｶﾅ～①"},
        {"x\x80y\xC3", "xy"},
        {"€", ""},
        {"", ""},
    };
    for (const auto& C : Cases) {
        const std::string Kept = KeepCp932Characters(C.In);
        EXPECT_EQ(Kept, C.Kept) << C.In;
        std::string Cp;
        EXPECT_TRUE(TryUtf8ToCp932(Kept, Cp)) << C.In;
    }
}

TEST(Cp932, MalformedCp932)
{
    const std::string Fffd = "\xEF\xBF\xBD";
    for (const char* Bad : {"\x81", "a\x85\x40", "\xA0", "\x81\x20", "\xFD"}) {
        std::string Out = "stale";
        EXPECT_FALSE(TryCp932ToUtf8(Bad, Out));
        EXPECT_EQ(Out, "");
    }
    EXPECT_EQ(Cp932ToUtf8("a\x81"), "a" + Fffd);                  // truncated lead byte
    EXPECT_EQ(Cp932ToUtf8("\x85\x40" "b"), Fffd + "b");           // undefined pair: one character
    EXPECT_EQ(Cp932ToUtf8("\x81\x20" "b"), Fffd + " b");          // lead byte without a trail byte
    EXPECT_EQ(Cp932ToUtf8("\xA0\x82\xA0"), Fffd + "あ");
}
