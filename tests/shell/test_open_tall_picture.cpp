// A picture a pixel wide and two million pixels tall opened as a document:
// its page renders pixel for pixel, with working memory a small multiple of
// the picture's own bytes, and the status bar hears the render advance.
// A picture at the size limit opens and renders whole too; that check takes
// about 2 GB and runs only when asked for (TAVRO_FULL_SIZE=1). A picture of
// any shape costs about what a square one of its pixels does.
#include "shell_test_support.h"

#include "raster/png_bytes.h"

#include "model/draw_progress.h"
#include "model/page_link.h"
#include "platform/global_memory.h"

#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <fstream>

namespace {

constexpr uint32_t Tall = 2'000'000;

// Row Y's colour as 0xRRGGBB: every row differs from its neighbours.
uint32_t ColourAt(uint32_t Y)
{
    return (Y % 251) << 16 | ((7 * Y) % 253) << 8 | (Y % 256);
}

// A 24-bit PNG of 1 x Tall in ColourAt's colours.
void WriteTallPng(const std::string& Path)
{
    std::string Raw;
    Raw.reserve(size_t(Tall) * 4);
    for (uint32_t Y = 0; Y < Tall; ++Y) {
        const uint32_t C = ColourAt(Y);
        Raw += {'\0', char(C >> 16), char(C >> 8), char(C)};
    }
    uLongf Packed = compressBound(uLong(Raw.size()));
    std::string Idat(Packed, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(Idat.data()), &Packed,
                        reinterpret_cast<const Bytef*>(Raw.data()), uLong(Raw.size()), 1),
              Z_OK);
    Idat.resize(Packed);
    std::string File = "\x89PNG\r\n\x1a\n";
    std::string Ihdr;
    PngPut32(Ihdr, 1);
    PngPut32(Ihdr, Tall);
    Ihdr += {8, 2, 0, 0, 0};
    PngChunk(File, "IHDR", Ihdr);
    PngChunk(File, "IDAT", Idat);
    PngChunk(File, "IEND", "");
    std::ofstream(Path, std::ios::binary) << File;
}

// An 8-bit grey PNG of Width x Height, each row a shade of its own, every
// row filtered "none".
void WriteGreyPng(const std::string& Path, uint32_t Width, uint32_t Height)
{
    std::string Raw;
    Raw.reserve((size_t(Width) + 1) * Height);
    for (uint32_t Y = 0; Y < Height; ++Y) {
        Raw += '\0';
        Raw.append(Width, char((Y * 37 + 11) % 251));
    }
    uLongf Packed = compressBound(uLong(Raw.size()));
    std::string Idat(Packed, '\0');
    ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(Idat.data()), &Packed,
                        reinterpret_cast<const Bytef*>(Raw.data()), uLong(Raw.size()), 1),
              Z_OK);
    Idat.resize(Packed);
    std::string File = "\x89PNG\r\n\x1a\n", Ihdr;
    PngPut32(Ihdr, Width);
    PngPut32(Ihdr, Height);
    Ihdr += {8, 0, 0, 0, 0};
    PngChunk(File, "IHDR", Ihdr);
    PngChunk(File, "IDAT", Idat);
    PngChunk(File, "IEND", "");
    std::ofstream(Path, std::ios::binary) << File;
}

// The bar widths shown, 0..100.
class TBarPanel : public TDrawProgressPanel {
public:
    std::string GetText() const override { return ""; }
    void SetText(const std::string&) override {}
    void ShowProgress(const TrecDrawProgress& P) override { Widths.push_back(DrawProgressBarWidth(P)); }
    std::vector<int32_t> Widths;
};

// A clock a second further on at every look: every report is due.
uint32_t LeapingClock()
{
    static uint32_t Now = 0;
    return Now += 1000;
}

} // namespace

TEST_F(TFrameTest, ATallNarrowPictureRendersExactlyInFewTimesItsBytesAndShowsProgress)
{
    const std::string Path = Tmp / "tall.png";
    WriteTallPng(Path);
    Start();
    const size_t PictureBytes = size_t(Tall) * 3;
    const size_t HeldBefore = HeldPixelBytes();
    ResetPeakHeldPixelBytes();
    Frame->OpenImage(Path);
    TPage* P = ActivePage();
    ASSERT_NE(P, nullptr);
    // Rendered here, where the panel and the clock are ours.
    P->InvalidateRect(nullptr, false);
    TBarPanel Panel;
    TDrawProgressPanel* Old = GetProgressStatusPanel();
    SetProgressStatusPanel(&Panel);
    SetDrawTickSource(&LeapingClock);
    P->Update();
    SetDrawTickSource(nullptr);
    SetProgressStatusPanel(Old);

    // What the open and the render held at most beyond what was held before:
    // the picture as stored, the page, and the fill's two working records (a
    // mask and a picture, both a pixel wider than the page: the rectangle's
    // frame lies on its edges), each in rows of whole 4-byte words.
    EXPECT_LE(PeakHeldPixelBytes() - HeldBefore, 7 * PictureBytes);

    ASSERT_TRUE(P->DirtyRect() == EmptyExtent);
    uint32_t Wrong = 0, First = Tall;
    for (uint32_t Y = 0; Y < Tall; ++Y) {
        const uint8_t* Px = RecPictureGetPixelPtr(P->PagePicture(), 0, int32_t(Y));
        const uint32_t C = Px ? uint32_t(Px[2] << 16 | Px[1] << 8 | Px[0]) : 0xFFFFFFFF;
        if (C != ColourAt(Y) && Wrong++ == 0)
            First = Y;
    }
    EXPECT_EQ(Wrong, 0u) << "first at row " << First;

    // The bar moves on through the one item's steps to its end.
    ASSERT_GE(Panel.Widths.size(), 3u);
    EXPECT_TRUE(std::is_sorted(Panel.Widths.begin(), Panel.Widths.end()));
    EXPECT_GT(Panel.Widths.front(), 0);
    EXPECT_LT(Panel.Widths.front(), 100);
    EXPECT_EQ(Panel.Widths.back(), 100);
}

TEST_F(TFrameTest, APictureAtTheSizeLimitRendersWhole)
{
    if (!std::getenv("TAVRO_FULL_SIZE"))
        GTEST_SKIP() << "takes about 2 GB: set TAVRO_FULL_SIZE=1 to run it";
    // 1-bit, 16384 x 16384 (2^28 pixels): bands of 64 rows, 0x0F and 0xF0 in turn.
    constexpr uint32_t Side = 16384;
    auto Byte = [](uint32_t Y) { return (Y / 64) % 2 ? char(0xF0) : char(0x0F); };
    std::string Raw;
    for (uint32_t Y = 0; Y < Side; ++Y)
        Raw += '\0' + std::string(Side / 8, Byte(Y));
    uLongf Packed = compressBound(uLong(Raw.size()));
    std::string Idat(Packed, '\0');
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(Idat.data()), &Packed,
                       reinterpret_cast<const Bytef*>(Raw.data()), uLong(Raw.size())),
              Z_OK);
    Idat.resize(Packed);
    std::string File = "\x89PNG\r\n\x1a\n", Ihdr;
    PngPut32(Ihdr, Side);
    PngPut32(Ihdr, Side);
    Ihdr += {1, 0, 0, 0, 0};
    PngChunk(File, "IHDR", Ihdr);
    PngChunk(File, "IDAT", Idat);
    PngChunk(File, "IEND", "");
    const std::string Path = Tmp / "limit.png";
    std::ofstream(Path, std::ios::binary) << File;

    Start();
    const size_t HeldBefore = HeldPixelBytes();
    ResetPeakHeldPixelBytes();
    Frame->OpenImage(Path);
    TPage* P = ActivePage();
    ASSERT_NE(P, nullptr);
    P->InvalidateRect(nullptr, false);
    P->Update();
    EXPECT_FALSE(P->TakePaintFailure());
    EXPECT_TRUE(Boxes.empty());
    // The picture as stored, the page, and the fill's mask a pixel wider and
    // taller than the page.
    EXPECT_LE(PeakHeldPixelBytes() - HeldBefore, 8 * size_t(Side) * Side);
    uint64_t Wrong = 0;
    for (uint32_t Y = 0; Y < Side; ++Y) {
        const uint8_t* Px = RecPictureGetPixelPtr(P->PagePicture(), 0, int32_t(Y));
        for (uint32_t X = 0; X < Side; ++X, Px += 3) {
            const uint8_t Want = (uint8_t(Byte(Y)) >> (7 - X % 8)) & 1 ? 255 : 0;
            Wrong += Px[0] != Want || Px[1] != Want || Px[2] != Want;
        }
    }
    EXPECT_EQ(Wrong, 0u);
}

// Pictures of one pixel count opened as documents and rendered: a column a
// pixel or two wide, a single row and a square. Each shows its last row at
// its last pixel, and the pixel memory held at most follows the pixels, not
// the rows: a picture of short rows holds at most a small multiple of the
// square's (its rows are padded to whole 4-byte words), not a multiple per
// row. (Their times are compared in bench_picture_shape.)
TEST_F(TFrameTest, APicturesCostFollowsItsPixelsNotItsShape)
{
    constexpr uint32_t Pixels = uint32_t{1} << 22;
    struct TShape {
        uint32_t Width, Height;
    };
    const TShape Shapes[] = {{2048, 2048}, {1, Pixels}, {2, Pixels / 2}, {Pixels, 1}};
    Start();
    size_t SquareBytes = 0;
    for (const TShape& S : Shapes) {
        const std::string Name = std::to_string(S.Width) + " x " + std::to_string(S.Height);
        SCOPED_TRACE(Name);
        const std::string Path = Tmp / ("shape" + std::to_string(S.Width) + ".png");
        WriteGreyPng(Path, S.Width, S.Height);
        const size_t HeldBefore = HeldPixelBytes();
        ResetPeakHeldPixelBytes();
        Frame->OpenImage(Path);
        TPage* P = ActivePage();
        ASSERT_NE(P, nullptr);
        ASSERT_EQ(P->Width(), int32_t(S.Width));
        P->InvalidateRect(nullptr, false);
        P->Update();
        const size_t Bytes = PeakHeldPixelBytes() - HeldBefore;
        // The last row's shade, at the page's last pixel.
        const uint8_t* Px = RecPictureGetPixelPtr(P->PagePicture(), int32_t(S.Width) - 1, int32_t(S.Height) - 1);
        ASSERT_NE(Px, nullptr);
        const uint8_t Shade = uint8_t(((S.Height - 1) * 37 + 11) % 251);
        EXPECT_EQ(std::vector<int>(Px, Px + 3), std::vector<int>(3, Shade));
        if (S.Width == S.Height)
            SquareBytes = Bytes;
        else
            EXPECT_LE(Bytes, 3 * SquareBytes) << Name << ": " << Bytes << " bytes against the square's " << SquareBytes;
        Frame->ActiveDocWindow()->SubWindow()->close();
        Settle();
    }
}
