#include "platform/clipboard_formats.h"

#include <gtest/gtest.h>

TEST(ClipboardFormats, OneNumberPerNameWhateverItsCase)
{
    const uint16_t Color = RegisterClipboardFormat("Wex_Color");
    const uint16_t Pen = RegisterClipboardFormat("Tavro_Pen");
    EXPECT_GE(Color, 0xC000);
    EXPECT_NE(Color, Pen);
    EXPECT_EQ(RegisterClipboardFormat("WEX_COLOR"), Color);
    EXPECT_EQ(GetClipboardFormatName(Color), "Wex_Color");
    EXPECT_EQ(RegisterClipboardFormat(""), 0);
    EXPECT_EQ(GetClipboardFormatName(CF_TEXT), "");
    EXPECT_EQ(GetClipboardFormatName(0xFFFF), "");
}
