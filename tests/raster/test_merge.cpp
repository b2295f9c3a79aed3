#include "raster/merge.h"

#include "bmp_conv_test_util.h"
#include "instruction_sets_test_util.h"
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "raster/gradation_picture.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <type_traits>
#include <vector>

namespace {

using RGB = std::array<int, 3>;

// A picture record in plain global memory, zero-filled, that frees itself.
struct TPic {
    TrecPicture P;
    TPic(int32_t Left, int32_t Top, int32_t W, int32_t H, int32_t Bits)
    {
        RecPictureCreate(P, TPoint{Left, Top}, W, H, Bits, false);
        Fill(0);
    }
    ~TPic() { RecPictureClear(P); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    uint8_t* At(int32_t X, int32_t Y) const { return RecPictureGetPixelPtr(P, X, Y); }
    void SetRGB(int32_t X, int32_t Y, RGB C) const
    {
        At(X, Y)[0] = uint8_t(C[2]);
        At(X, Y)[1] = uint8_t(C[1]);
        At(X, Y)[2] = uint8_t(C[0]);
    }
    RGB Rgb(int32_t X, int32_t Y) const { return {At(X, Y)[2], At(X, Y)[1], At(X, Y)[0]}; }
    void Set(int32_t X, int32_t Y, int V) const { At(X, Y)[0] = uint8_t(V); }
    int Get(int32_t X, int32_t Y) const { return At(X, Y)[0]; }
    void Fill(int V) const { std::memset(P.pBits, V, size_t(RecPictureGetImageSize(P))); }
    std::vector<uint8_t> Bytes() const { return {P.pBits, P.pBits + RecPictureGetImageSize(P)}; }
};

// One pixel s merged over one pixel d (8 over 8, 24 over 24, grey 8 over 24).
template <class S, class D>
D Merge1(S Src, D Dst, uint8_t Mode, int O = 255)
{
    constexpr bool SGrey = std::is_same_v<S, int>, DGrey = std::is_same_v<D, int>;
    TPic Dp(0, 0, 1, 1, DGrey ? 8 : 24), Sp(0, 0, 1, 1, SGrey ? 8 : 24);
    if constexpr (DGrey)
        Dp.Set(0, 0, Dst);
    else
        Dp.SetRGB(0, 0, Dst);
    if constexpr (SGrey)
        Sp.Set(0, 0, Src);
    else
        Sp.SetRGB(0, 0, Src);
    RecPictureMerge(Dp.P, Sp.P, nullptr, O, Mode);
    if constexpr (DGrey)
        return Dp.Get(0, 0);
    else
        return Dp.Rgb(0, 0);
}

int Merge8(int S, int D, uint8_t Mode, int O = 255) { return Merge1(S, D, Mode, O); }
// 8 over 8 through a mask value M.
int Merge8Masked(int S, int D, int M, uint8_t Mode, int O)
{
    TPic Dp(0, 0, 1, 1, 8), Sp(0, 0, 1, 1, 8), Mk(0, 0, 1, 1, 8);
    Dp.Set(0, 0, D);
    Sp.Set(0, 0, S);
    Mk.Set(0, 0, M);
    RecPictureMerge(Dp.P, Sp.P, &Mk.P, O, Mode);
    return Dp.Get(0, 0);
}
RGB Merge24(RGB S, RGB D, uint8_t Mode, int O = 255) { return Merge1(S, D, Mode, O); }
RGB MergeGrey(int S, RGB D, uint8_t Mode, int O = 255) { return Merge1(S, D, Mode, O); }

} // namespace

// The table's formulas worked by hand on chosen bytes (s, d).
TEST(Merge, ByteModes)
{
    struct TCase { int S, D; uint8_t Mode; int Want; };
    // Mode 1: 20255 shr 8, s = 255 keeps d. Mode 2: 255 - (55 x 155 + 255) shr 8.
    // Mode 3: d < 128: 40255 shr 8, else 255 - (2 x 105 x 55 + 255) shr 8;
    // mode 4 the same on s. Modes 5 and 6: the smaller and the larger byte.
    // 8-bit destinations take s in modes 10 and 14 and keep d in modes 8 and
    // 9 (a grey has neither hue nor saturation); modes above 14 leave d.
    const TCase Cases[] = {
        {200, 10, 0, 200}, {200, 100, 1, 79}, {255, 77, 1, 77}, {0, 77, 1, 0}, {200, 100, 2, 221},
        {200, 100, 3, 157}, {200, 150, 3, 209}, {100, 200, 4, 157}, {150, 200, 4, 209}, {30, 200, 7, 170},
        {200, 30, 7, 170}, {128, 77, 11, 77}, {255, 0, 11, 254}, {200, 100, 11, 244}, {255, 100, 11, 255},
        {0, 200, 11, 0}, {0x3C, 0xF0, 12, 0x30}, {0x3C, 0xF0, 13, 0xFC}, {42, 200, 10, 42}, {42, 200, 14, 42},
        {42, 200, 5, 42}, {200, 42, 5, 42}, {42, 200, 6, 200}, {200, 42, 6, 200}, {42, 200, 8, 200},
        {42, 200, 9, 200}, {42, 200, 15, 200}, {42, 200, 255, 200},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(Merge8(C.S, C.D, C.Mode), C.Want) << C.S << " over " << C.D << " mode " << int(C.Mode);
    // 24 over 24 channel by channel; 8 over 24 with the grey s on each channel.
    EXPECT_EQ(Merge24({200, 255, 0}, {100, 77, 77}, 1), (RGB{79, 77, 0}));
    EXPECT_EQ(Merge24({1, 2, 3}, {4, 5, 6}, 0), (RGB{1, 2, 3}));
    EXPECT_EQ(MergeGrey(200, {100, 150, 0}, 3), (RGB{157, 209, 0}));
    EXPECT_EQ(MergeGrey(90, {7, 8, 9}, 0), (RGB{90, 90, 90}));
    EXPECT_EQ(MergeGrey(0x3C, {0xF0, 0x0F, 0xFF}, 12), (RGB{0x30, 0x0C, 0x3C}));
    EXPECT_EQ(MergeGrey(0x3C, {0xF0, 0x0F, 0x00}, 13), (RGB{0xFC, 0x3F, 0x3C}));
}

// Destination (200, 100, 100): hue 6144 (= 0), saturation 6528000 div 210 =
// 31085. Source (50, 50, 50): lightness 101 x 128 = 12928, m2 =
// (96365 div 4) x 12928 div 16320 = 19083, m1 = 6773 -> (74, 26, 26). An
// 8-bit 50 gives 12800: m2 = 18895, m1 = 6705 -> (73, 26, 26).
TEST(Merge, Mode10Lightness)
{
    EXPECT_EQ(Merge24({50, 50, 50}, {200, 100, 100}, 10), (RGB{74, 26, 26}));
    EXPECT_EQ(MergeGrey(50, {200, 100, 100}, 10), (RGB{73, 26, 26}));
    // a = 128, each term rounded: red 37 + 100, green and blue 13 + 50.
    EXPECT_EQ(Merge24({50, 50, 50}, {200, 100, 100}, 10, 128), (RGB{137, 63, 63}));
    // An 8-bit source is one byte per pixel: pixel 0's lightness comes from
    // its own byte, not from the bytes after it (255 would give white).
    TPic Dst(0, 0, 2, 1, 24), Src(0, 0, 2, 1, 8);
    Dst.SetRGB(0, 0, {200, 100, 100});
    Dst.SetRGB(1, 0, {200, 100, 100});
    Src.Set(0, 0, 50);
    Src.Set(1, 0, 255);
    RecPictureMerge(Dst.P, Src.P, nullptr, 255, 10);
    EXPECT_EQ(Dst.Rgb(0, 0), (RGB{73, 26, 26}));
    EXPECT_EQ(Dst.Rgb(1, 0), (RGB{255, 255, 255}));
}

// Mode 14 with a grey source: Y = 2048 s.
TEST(Merge, Mode14LumaFit)
{
    // Black counts as (1, 1, 1): each channel 288300 div 2048 = 140.
    EXPECT_EQ(Merge24({100, 150, 200}, {0, 0, 0}, 14), (RGB{140, 140, 140}));
    // None saturated: L = 37180, 204800 x c div L.
    EXPECT_EQ(MergeGrey(100, {10, 20, 30}, 14), (RGB{55, 110, 165}));
    // Red saturated (354): Y' = 450560 - 156060 over 131900: 223, 111.
    EXPECT_EQ(MergeGrey(220, {200, 100, 50}, 14), (RGB{255, 223, 111}));
    // Red and green saturated: blue = (512000 - 462570) div 234.
    EXPECT_EQ(MergeGrey(250, {250, 200, 10}, 14), (RGB{255, 255, 211}));
    // Red saturated, then green 261 on the second pass: blue =
    // (314980 - 306510) div 234; the blue 0 counted as 1.
    EXPECT_EQ(MergeGrey(230, {200, 190, 0}, 14), (RGB{255, 255, 36}));
}

// Source (50, 100, 200) over destination (200, 100, 100) in every routine
// that takes a mode, at weight 255 and 128. HLS of the source: hue
// (765 + 170) shl 10 div 255 = 3754, saturation 38400 x 255 div 250 = 39168;
// of the destination: hue 6144, saturation 31085, lightness 38528.
// Mode 8, HLSToRGB (3754, 31085, 38528): m2 = 69613 - 9632 x 31085 div 16320
// = 51267, m1 = 25789, sector 3, inc = 25478 x 682 div 1024 = 16968:
// (m1, m2 - inc, m2) div 256 = (100, 133, 200). Mode 9, HLSToRGB (6144,
// 39168, 38528): m2 = 77696 - 23116 = 54580, m1 = 22476: (213, 87, 87).
// Mode 14: Y = 197600, L = 266000: (148, 74, 74). At a = 128 modes 5, 6, 8
// and 9 round once, (128 b + 127 d + 255) shr 8; mode 14 rounds each term:
// red 74 + 100, green and blue 37 + 50.
TEST(Merge, DarkenLightenHueSaturationLumaInEveryRoutine)
{
    const RGB S{50, 100, 200}, D{200, 100, 100};
    struct TCase { uint8_t Mode; RGB Full, Half; };
    const TCase Cases[] = {
        {5, {50, 100, 100}, {125, 100, 100}},  {6, {200, 100, 200}, {200, 100, 150}},
        {8, {100, 133, 200}, {150, 117, 150}}, {9, {213, 87, 87}, {206, 94, 94}},
        {14, {148, 74, 74}, {174, 87, 87}},
    };
    const int32_t Color = S[0] | S[1] << 8 | S[2] << 16;
    TrecGradation Flat; // one colour, opaque
    Flat.iOpacity = 255;
    Flat.iRepeatCount = 1;
    Flat.iX2 = 16384;
    Flat.ColStops = {{0, Color}, {1023, Color}};
    Flat.TransStops = {{0, 255}, {1023, 255}};
    using TRoutine = std::function<void(const TPic&, uint8_t, int)>;
    const std::pair<const char*, TRoutine> Routines[] = {
        {"merge", [&](const TPic& P, uint8_t M, int O) {
             TPic Src(0, 0, 1, 1, 24);
             Src.SetRGB(0, 0, S);
             RecPictureMerge(P.P, Src.P, nullptr, O, M);
         }},
        {"merge masked", [&](const TPic& P, uint8_t M, int O) { // m = 255: a = o
             TPic Src(0, 0, 1, 1, 24), Mask(0, 0, 1, 1, 8);
             Src.SetRGB(0, 0, S);
             Mask.Fill(255);
             RecPictureMerge(P.P, Src.P, &Mask.P, O, M);
         }},
        {"blender", [&](const TPic& P, uint8_t M, int O) {
             const uint8_t Px[3] = {uint8_t(S[2]), uint8_t(S[1]), uint8_t(S[0])};
             TrecBlendPixel B{P.At(0, 0), Px, O, 255 - O, 3, M};
             if (O == 255)
                 BlendPixelFull(B);
             else
                 BlendPixelWeighted(B);
         }},
        {"colour", [&](const TPic& P, uint8_t M, int O) { RecPictureMergeColor(P.P, nullptr, O, Color, M); }},
        {"tile", [&](const TPic& P, uint8_t M, int O) {
             TPic Tile(0, 0, 1, 1, 24);
             Tile.SetRGB(0, 0, S);
             RecPictureMergeTile(P.P, nullptr, O, Tile.P, M);
         }},
        {"gradation", [&](const TPic& P, uint8_t M, int O) {
             RecPictureMergeGradation(P.P, nullptr, O, TRect{0, 0, 0, 0}, Flat, M);
         }},
    };
    for (const auto& [Name, Run] : Routines)
        for (const TCase& C : Cases)
            for (int O : {255, 128}) {
                TPic P(0, 0, 1, 1, 24);
                P.SetRGB(0, 0, D);
                Run(P, C.Mode, O);
                EXPECT_EQ(P.Rgb(0, 0), O == 255 ? C.Full : C.Half) << Name << " mode " << int(C.Mode) << " o " << O;
            }
    // A grey has no hue: a grey source leaves the pixel in mode 8, a grey
    // destination stays in mode 9. A grey source in mode 9 greys the
    // destination at its lightness, 38528 div 256 = 150.
    EXPECT_EQ(MergeGrey(150, D, 5), (RGB{150, 100, 100}));
    EXPECT_EQ(MergeGrey(150, D, 6, 128), (RGB{200, 125, 125})); // (128 x 150 + 127 x 100 + 255) shr 8
    EXPECT_EQ(MergeGrey(150, D, 8), D);
    EXPECT_EQ(MergeGrey(150, D, 9), (RGB{150, 150, 150}));
    EXPECT_EQ(Merge24(S, {90, 90, 90}, 9), (RGB{90, 90, 90}));
    EXPECT_EQ(Merge24(S, {90, 90, 90}, 8), (RGB{90, 90, 90}));
    // Weighted, a byte the mode leaves stays exact: 1 stays 1 under a = 128
    // (per-term rounding would give 2).
    EXPECT_EQ(Merge24({0, 0, 0}, {1, 1, 1}, 6, 128), (RGB{1, 1, 1}));
}

// a = (m o + 255) shr 8; mode 0 with one rounding, the others per term.
TEST(Merge, OpacityAndMaskWeighting)
{
    TPic Dst(0, 0, 4, 1, 24), Src(0, 0, 4, 1, 24), Mask(0, 0, 4, 1, 8);
    const int M[4] = {0, 255, 128, 200};
    for (int X = 0; X < 4; ++X) {
        Dst.SetRGB(X, 0, {100, 0, 50});
        Src.SetRGB(X, 0, {200, 255, 50});
        Mask.Set(X, 0, M[X]);
    }
    RecPictureMerge(Dst.P, Src.P, &Mask.P, 255, 0);
    // m = 0 leaves the pixel, 255 gives s; (25600 + 12700 + 255) shr 8; a = 51255 shr 8 = 200.
    EXPECT_EQ((std::vector<RGB>{Dst.Rgb(0, 0), Dst.Rgb(1, 0), Dst.Rgb(2, 0), Dst.Rgb(3, 0)}),
              (std::vector<RGB>{{100, 0, 50}, {200, 255, 50}, {150, 128, 50}, {178, 200, 50}}));
    EXPECT_EQ(Merge24({200, 255, 0}, {100, 0, 0}, 0, 100), (RGB{139, 100, 0})); // 35755 shr 8
    EXPECT_EQ(Merge8Masked(255, 0, 200, 0, 100), 79);                           // a = 20255 shr 8
    // A wide row (whole blocks): m = 171, o = 3: a = (513 + 255) shr 8 = 3,
    // so 255 over 0 gives (765 + 255) shr 8 = 3.
    TPic D(0, 0, 70, 1, 24), S(0, 0, 70, 1, 8), Mk(0, 0, 70, 1, 8);
    S.Fill(255);
    Mk.Fill(171);
    RecPictureMerge(D.P, S.P, &Mk.P, 3, 0);
    for (int X = 0; X < 70; ++X)
        EXPECT_EQ(D.Rgb(X, 0), (RGB{3, 3, 3})) << X;
    // Mode 1, a = 128, d = 101, s = 200: b = 79; 40 + (12827 + 255) shr 8 = 91.
    EXPECT_EQ(Merge24({200, 200, 200}, {101, 101, 101}, 1, 128), (RGB{91, 91, 91}));
    // Opacities outside 0..255 are clamped.
    EXPECT_EQ(Merge8(200, 100, 0, 1000), 200);
    EXPECT_EQ(Merge8(200, 100, 0, -5), 100);
    // Modes 12, 13: through a mask the weight is m alone, whatever o;
    // (15 x 128 + 240 x 127 + 255) shr 8 = 0x7F is combined with d.
    // Without a mask the opacity is not used.
    for (uint8_t Mode : {12, 13}) {
        EXPECT_EQ(Merge8Masked(0x0F, 0xF0, 128, Mode, 10), Mode == 12 ? 0x70 : 0xFF);
        EXPECT_EQ(Merge8(0x0F, 0xF0, Mode, 10), Mode == 12 ? 0x00 : 0xFF);
    }
}

TEST(Merge, SixteenBitDestination)
{
    TPic Dst(0, 0, 3, 1, 16), Src(0, 0, 3, 1, 8), Mask(0, 0, 3, 1, 8);
    Src.Set(0, 0, 0x12);
    Src.Set(1, 0, 0x34);
    RecPictureMerge(Dst.P, Src.P, nullptr, 255, 0);
    auto Word = [&](int X) { return Dst.At(X, 0)[0] | Dst.At(X, 0)[1] << 8; };
    EXPECT_EQ(std::pair(Word(0), Word(1)), std::pair(0x1200, 0x3400)); // s x 256
    // a = 128: 16384 x 127 div 255 + 18 x 128 = 8159 + 2304.
    Dst.At(0, 0)[1] = 0x40;
    Mask.Set(0, 0, 128);
    RecPictureMerge(Dst.P, Src.P, &Mask.P, 255, 0);
    EXPECT_EQ(std::pair(Word(0), Word(1)), std::pair(0x28DF, 0x3400)); // m = 0 at 1
    // Only mode 0 is defined there; the others leave it.
    const std::vector<uint8_t> Before = Dst.Bytes();
    RecPictureMerge(Dst.P, Src.P, nullptr, 255, 1);
    EXPECT_EQ(Dst.Bytes(), Before);
    // Clear-outside sets the 16-bit pixels outside to 0.
    TPic One(1, 0, 1, 1, 8);
    One.Set(1, 0, 0x80);
    RecPictureMerge(Dst.P, One.P, nullptr, 255, 0, true);
    EXPECT_EQ((std::vector<int>{Word(0), Word(1), Word(2)}), (std::vector<int>{0, 0x8000, 0}));
}

TEST(Merge, ClearOutside)
{
    TPic Dst(0, 0, 5, 4, 24), Src(1, 1, 2, 2, 24), Far(50, 50, 1, 1, 24);
    Dst.Fill(7);
    Src.Fill(200);
    RecPictureMerge(Dst.P, Src.P, nullptr, 0, 0, true); // opacity 0: nothing, even here
    EXPECT_EQ(Dst.Rgb(0, 0), (RGB{7, 7, 7}));
    // A picture over itself stays.
    const std::vector<uint8_t> Before = Dst.Bytes();
    RecPictureMerge(Dst.P, Dst.P, nullptr, 77, 0);
    EXPECT_EQ(Dst.Bytes(), Before);
    // With no overlap everything is outside.
    for (const TPic* S : {&Src, &Far}) {
        Dst.Fill(7);
        RecPictureMerge(Dst.P, S->P, nullptr, 255, 0, true);
        for (int Y = 0; Y < 4; ++Y)
            for (int X = 0; X < 5; ++X) {
                const int V = S == &Src && X >= 1 && X <= 2 && Y >= 1 && Y <= 2 ? 200 : 0;
                EXPECT_EQ(Dst.Rgb(X, Y), (RGB{V, V, V})) << X << "," << Y;
            }
    }
}

TEST(Merge, RefusedPictures)
{
    TPic D24(0, 0, 2, 2, 24), D8(0, 0, 2, 2, 8), D16(0, 0, 2, 2, 16), D32(0, 0, 2, 2, 32), D1(0, 0, 2, 2, 1);
    TPic T8(0, 0, 2, 2, 8), T24(0, 0, 2, 2, 24);
    TrecPicture Empty;
    TrecGradation G;
    const TRect R{0, 0, 1, 1};
    const char *Merge = "RecPictureMerge", *Color = "RecPictureMergeColor", *Fill = "RecPictureFillColor",
               *Tile = "RecPictureMergeTile", *Grad = "RecPictureMergeGradation";
    const std::pair<std::function<void()>, const char*> Cases[] = {
        {[&] { RecPictureMerge(D8.P, D24.P, nullptr, 255, 0); }, Merge},
        {[&] { RecPictureMerge(D16.P, D16.P, nullptr, 255, 0); }, Merge},
        {[&] { RecPictureMerge(D32.P, D24.P, nullptr, 255, 0); }, Merge},
        {[&] { RecPictureMerge(D24.P, D1.P, nullptr, 255, 0); }, Merge},
        {[&] { RecPictureMerge(D24.P, D24.P, &D24.P, 255, 0); }, Merge},
        {[&] { RecPictureMerge(Empty, D8.P, nullptr, 255, 0); }, Merge},
        {[&] { RecPictureMerge(D8.P, D24.P, nullptr, 0, 0); }, Merge}, // before the opacity
        // Masks of 1 or 4 bits were read as 8-bit rows, past their end.
        {[&] { RecPictureMergeColor(D24.P, &D1.P, 255, 0, 0); }, Color},
        {[&] { RecPictureMergeColor(D16.P, nullptr, 255, 0, 0); }, Color},
        // FillColor's row pattern is 8 or 24 bits wide.
        {[&] { RecPictureFillColor(D1.P, 0, nullptr); }, Fill},
        {[&] { RecPictureFillColor(D16.P, 0, nullptr); }, Fill},
        // The tile is walked with the destination's pixel size: a tile of
        // another depth was read past its rows.
        {[&] { RecPictureMergeTile(D24.P, nullptr, 255, T8.P, 0); }, Tile},
        {[&] { RecPictureMergeTile(D8.P, nullptr, 255, T24.P, 0); }, Tile},
        {[&] { RecPictureMergeTile(D8.P, nullptr, 255, Empty, 0); }, Tile},
        {[&] { RecPictureMergeTile(D8.P, &T24.P, 255, T8.P, 0); }, Tile},
        // The gradation's destination is walked three bytes a pixel.
        {[&] { RecPictureMergeGradation(D8.P, nullptr, 255, R, G, 0); }, Grad},
        {[&] { RecPictureMergeGradation(D24.P, &T24.P, 255, R, G, 0); }, Grad},
    };
    for (size_t I = 0; I < std::size(Cases); ++I)
        EXPECT_EQ(BmpMessageOf(Cases[I].first), std::string(Cases[I].second) + ": biBitCount incorrect") << I;
    RecPictureMergeTile(D24.P, nullptr, 0, T8.P, 0); // opacity 0 returns first
    // A pixel block shorter than the rows its header names.
    TrecPicture Short = D8.P;
    Short.pBits = static_cast<uint8_t*>(GlobalAllocQ(GMEM_FIXED, 4));
    EXPECT_EQ(BmpMessageOf([&] { RecPictureMerge(Short, D8.P, nullptr, 255, 0); }),
              "RecPictureMerge: pixel block too small");
    HGLOBAL Block = Short.pBits;
    GlobalFreeQ(Block);
}

TEST(Merge, TileRepeatsAlignedOnItsPosition)
{
    // A 3 x 2 tile at (1, 1): pixel (x, y) takes tile column (x - 1) mod 3 and
    // row (y - 1) mod 2, both non-negative.
    TPic Dst(0, 0, 7, 4, 24), Tile(1, 1, 3, 2, 24);
    for (int Y = 1; Y < 3; ++Y)
        for (int X = 1; X < 4; ++X)
            Tile.SetRGB(X, Y, {10 * (X - 1) + (Y - 1), 50, 60});
    RecPictureMergeTile(Dst.P, nullptr, 255, Tile.P, 0);
    for (int Y = 0; Y < 4; ++Y)
        for (int X = 0; X < 7; ++X)
            EXPECT_EQ(Dst.Rgb(X, Y), (RGB{10 * ((X + 2) % 3) + (Y + 1) % 2, 50, 60})) << X << "," << Y;
    // Through a mask at an offset, weight (255 x 128 + 255) shr 8 = 128:
    // (200 x 128 + 255) shr 8 = 100 on the overlap only.
    TPic D8(0, 0, 4, 3, 8), T8(0, 0, 1, 1, 8), M(2, 1, 5, 5, 8);
    T8.Set(0, 0, 200);
    M.Fill(255);
    RecPictureMergeTile(D8.P, &M.P, 128, T8.P, 0);
    for (int Y = 0; Y < 3; ++Y)
        for (int X = 0; X < 4; ++X)
            EXPECT_EQ(D8.Get(X, Y), X >= 2 && Y >= 1 ? 100 : 0) << X << "," << Y;
}

// Every destination pixel takes the tile's pixel at its page point, both
// coordinates wrapped into the tile (non-negative), as a plain walk over page
// points finds it: tiles smaller and larger than the destination, above,
// below, left and right of it, one to three pixels narrow, through a mask
// or not; and a destination whose rows run past 2^31 - 1, whose page rows
// are taken as 32-bit values.
TEST(Merge, TileMatchesAWalkOverPagePoints)
{
    std::mt19937 G(31337);
    for (int Case = 0; Case < 300; ++Case) {
        const int32_t Bits = Case % 2 ? 24 : 8;
        const int32_t DW = 1 + int32_t(G() % (Case % 3 ? 3 : 40)), DH = 1 + int32_t(G() % 60);
        const int32_t TW = 1 + int32_t(G() % 9), TH = 1 + int32_t(G() % 9);
        const int32_t DL = int32_t(G() % 200) - 100, DT = Case == 0 ? INT32_MAX - 20 : int32_t(G() % 200) - 100;
        const int32_t TL = int32_t(G() % 400) - 200, TT = int32_t(G() % 400) - 200;
        TPic Dst(DL, DT, DW, DH, Bits), Tile(TL, TT, TW, TH, Bits);
        for (int32_t Y = 0; Y < TH; ++Y)
            for (int32_t X = 0; X < TW; ++X)
                for (int C = 0; C < Bits / 8; ++C)
                    Tile.At(TL + X, TT + Y)[C] = uint8_t(1 + X * 23 + Y * 7 + C * 80);
        // Half the cases through a full mask over the whole destination.
        TPic Mask(DL, DT, DW, DH, 8);
        Mask.Fill(255);
        RecPictureMergeTile(Dst.P, Case % 4 < 2 ? &Mask.P : nullptr, 255, Tile.P, 0);
        int Wrong = 0;
        for (int64_t Y = DT; Y < int64_t(DT) + DH; ++Y)
            for (int32_t X = DL; X < DL + DW; ++X) {
                const int64_t PageY = int32_t(uint32_t(Y));
                const int64_t Tx = ((int64_t(X) - TL) % TW + TW) % TW, Ty = ((PageY - TT) % TH + TH) % TH;
                const uint8_t* Want = Tile.At(int32_t(TL + Tx), int32_t(TT + Ty));
                const uint8_t* Got = GetDIBPixelPtr(RecPictureHeader(Dst.P), Dst.P.pBits, X - DL, int32_t(Y - DT));
                Wrong += std::memcmp(Want, Got, size_t(Bits / 8)) != 0;
            }
        ASSERT_EQ(Wrong, 0) << "case " << Case << ": " << DW << " x " << DH << " at " << DL << "," << DT << ", tile "
                            << TW << " x " << TH << " at " << TL << "," << TT;
    }
}

// Filling an area sets its pixels and nothing else, whatever its width: a
// single pixel column, a few pixels, and rows long enough to be filled by
// doubling what is filled.
TEST(Merge, FillColorAtEveryWidthLeavesTheRestAlone)
{
    for (const int32_t Bits : {8, 24})
        for (const int32_t W : {1, 2, 3, 4, 5, 7, 9, 16, 17, 33, 100}) {
            SCOPED_TRACE(std::to_string(Bits) + " bits, " + std::to_string(W) + " wide");
            TPic P(10, 20, W + 2, 6, Bits);
            P.Fill(0xEE);
            const TRect R{11, 21, 11 + W - 1, 24};
            RecPictureFillColor(P.P, 0x00123456, &R);
            const std::vector<uint8_t> Pixel = Bits == 8 ? std::vector<uint8_t>{0x56} : std::vector<uint8_t>{0x12, 0x34, 0x56};
            for (int32_t Y = 20; Y < 26; ++Y)
                for (int32_t X = 10; X < 12 + W; ++X) {
                    const bool In = X >= 11 && X < 11 + W && Y >= 21 && Y <= 24;
                    const std::vector<uint8_t> Got(P.At(X, Y), P.At(X, Y) + Bits / 8);
                    EXPECT_EQ(Got, In ? Pixel : std::vector<uint8_t>(size_t(Bits / 8), 0xEE)) << X << "," << Y;
                }
            // The rows' padding is left as it was.
            const int64_t Line = GetDIBLineSize(W + 2, Bits);
            for (int32_t Row = 0; Row < 6; ++Row)
                for (int64_t B = int64_t(W + 2) * Bits / 8; B < Line; ++B)
                    EXPECT_EQ(P.P.pBits[Row * Line + B], 0xEE) << "padding of row " << Row;
        }
}

// Mode 10 over 8-bit pixels takes the source byte and touches one byte per
// pixel; it used to read and write three.
TEST(Merge, Mode10OnEightBitPixels)
{
    TPic D8(0, 0, 3, 1, 8), T8(0, 0, 1, 1, 8), M(1, 0, 1, 1, 8);
    for (int X = 0; X < 3; ++X)
        D8.Set(X, 0, X + 1);
    T8.Set(0, 0, 99);
    M.Set(1, 0, 255);
    RecPictureMergeTile(D8.P, &M.P, 255, T8.P, 10);
    EXPECT_EQ((std::vector<int>{D8.Get(0, 0), D8.Get(1, 0), D8.Get(2, 0)}), (std::vector<int>{1, 99, 3}));
    RecPictureMergeColor(D8.P, &M.P, 255, 0x00AB0000, 10); // bits 16..23
    EXPECT_EQ((std::vector<int>{D8.Get(0, 0), D8.Get(1, 0), D8.Get(2, 0)}), (std::vector<int>{1, 0xAB, 3}));
    uint8_t Dest[2] = {10, 20};
    const uint8_t Src[2] = {200, 77};
    TrecBlendPixel B{Dest, Src, 255, 0, 1, 10};
    BlendPixelFull(B);
    EXPECT_EQ(std::pair(Dest[0], Dest[1]), (std::pair<uint8_t, uint8_t>(200, 20)));
    // Weighted, two roundings: (20 x 127 + 255) shr 8 + (128 x 77 + 255) shr 8.
    B.iWeight = 128;
    B.iInvWeight = 127;
    BlendPixelWeighted(B);
    EXPECT_EQ(Dest[1], 10 + 39);
    EXPECT_TRUE(B.pDest == Dest + 2 && B.pSrc == Src + 2);
}

TEST(Merge, Blenders)
{
    // Mode 1 at weight 128 with one rounding: (127 x 101 + 128 x 79 + 255)
    // shr 8 = 90 where RecPictureMerge gives 91.
    uint8_t Dest[6] = {101, 101, 101, 5, 6, 7};
    const uint8_t Src[6] = {200, 200, 200, 9, 9, 9};
    TrecBlendPixel B{Dest, Src, 128, 127, 3, 1};
    BlendPixelWeighted(B);
    B.iWeight = 0; // weight 0 only moves the pointers
    B.iInvWeight = 255;
    BlendPixelWeighted(B);
    EXPECT_EQ((std::vector<uint8_t>(Dest, Dest + 6)), (std::vector<uint8_t>{90, 90, 90, 5, 6, 7}));
    EXPECT_TRUE(B.pDest == Dest + 6 && B.pSrc == Src + 6);
    const uint8_t Grey[3] = {50, 50, 50};
    uint8_t P[3] = {100, 100, 200};
    TrecBlendPixel C{P, Grey, 255, 0, 3, 10};
    BlendPixelFull(C);
    EXPECT_EQ((std::vector<uint8_t>(P, P + 3)), (std::vector<uint8_t>{26, 26, 74}));
    // On 8-bit pixels as in RecPictureMerge: 42 over 200.
    for (const auto& [Mode, Want] : {std::pair<uint8_t, int>{5, 42}, {6, 200}, {8, 200}, {9, 200}, {14, 42}}) {
        uint8_t Q = 200;
        const uint8_t S8 = 42;
        TrecBlendPixel E{&Q, &S8, 255, 0, 1, Mode};
        BlendPixelFull(E);
        EXPECT_EQ(Q, Want) << int(Mode);
    }
    // Modes above 14 leave the pixel.
    for (uint8_t Mode : {15, 255}) {
        uint8_t Q[3] = {1, 2, 3};
        TrecBlendPixel E{Q, Grey, 255, 0, 3, Mode};
        BlendPixelFull(E);
        EXPECT_EQ((std::vector<uint8_t>(Q, Q + 3)), (std::vector<uint8_t>{1, 2, 3})) << int(Mode);
    }
    // The colour merge goes through the blenders.
    TPic Dst(0, 0, 2, 2, 24), M(1, 1, 3, 3, 8);
    Dst.Fill(101);
    RecPictureMergeColor(Dst.P, nullptr, 128, 0x00C8C8C8, 1);
    EXPECT_EQ(Dst.Rgb(0, 1), (RGB{90, 90, 90}));
    Dst.Fill(0);
    M.Fill(255);
    RecPictureMergeColor(Dst.P, &M.P, 255, 0x00302010, 0); // 0x00BBGGRR
    EXPECT_EQ(std::pair(Dst.Rgb(1, 0), Dst.Rgb(1, 1)), std::pair(RGB{0, 0, 0}, RGB{0x10, 0x20, 0x30}));
}

TEST(Merge, FillColor)
{
    TPic Dst(5, 5, 3, 2, 24);
    RecPictureFillColor(Dst.P, 0x0000FF, nullptr);
    EXPECT_EQ((std::vector<uint8_t>(Dst.At(5, 5), Dst.At(5, 5) + 3)), (std::vector<uint8_t>{0, 0, 255}));
    const TRect R{6, 6, 100, 100}, Outside{50, 50, 60, 60};
    RecPictureFillColor(Dst.P, 0x00123456, &R);
    RecPictureFillColor(Dst.P, 0, &Outside);
    EXPECT_EQ((std::vector<RGB>{Dst.Rgb(6, 6), Dst.Rgb(7, 6), Dst.Rgb(5, 6), Dst.Rgb(6, 5)}),
              (std::vector<RGB>{{0x56, 0x34, 0x12}, {0x56, 0x34, 0x12}, {255, 0, 0}, {255, 0, 0}}));
    // 8 bits without a rectangle: every byte of the rows, padding included.
    TPic P8(0, 0, 3, 2, 8);
    RecPictureFillColor(P8.P, 0x00ABCD77, nullptr);
    EXPECT_EQ(P8.Bytes(), std::vector<uint8_t>(8, 0x77));
    const TRect One{1, 0, 1, 0};
    RecPictureFillColor(P8.P, 0x11, &One);
    EXPECT_EQ((std::vector<int>{P8.Get(0, 0), P8.Get(1, 0), P8.Get(1, 1)}), (std::vector<int>{0x77, 0x11, 0x77}));
}

// The optimised mode-0 weighted rows against a plain loop over page points,
// bit for bit: depth pairs 24/24, 24/8, 8/8, masks with long runs of 0 and
// 255 (the skipped and copied blocks) and soft values, any opacity.
static void CheckNormalWeighted()
{
    std::mt19937 Rng(5);
    auto Rand = [&](int Lo, int Hi) { return std::uniform_int_distribution<int>(Lo, Hi)(Rng); };
    for (int Case = 0; Case < 1000; ++Case) {
        const int DBits = Case % 3 == 2 ? 8 : 24, SBits = Case % 3 == 0 ? 24 : 8;
        // Up to 300 wide: several whole vector steps (up to 64 pixels) and every tail length.
        const int MaxW = Case % 5 == 0 ? 300 : 150;
        TPic D(Rand(-3, 3), Rand(-2, 2), Rand(1, MaxW), Rand(1, 7), DBits);
        TPic S(Rand(-3, 3), Rand(-2, 2), Rand(1, MaxW), Rand(1, 7), SBits);
        TPic M(Rand(-3, 3), Rand(-2, 2), Rand(1, MaxW), Rand(1, 7), 8);
        for (const TPic* P : {&D, &S})
            for (int64_t I = 0, N = RecPictureGetImageSize(P->P); I < N; ++I)
                P->P.pBits[I] = uint8_t(Rand(0, 255));
        for (int64_t I = 0, N = RecPictureGetImageSize(M.P); I < N;) {
            const int Kind = Rand(0, 2), Run = Rand(1, 120);
            for (int K = 0; K < Run && I < N; ++K, ++I)
                M.P.pBits[I] = uint8_t(Kind == 0 ? 0 : Kind == 1 ? 255 : Rand(0, 255));
        }
        const bool UseMask = Case % 4 != 3;
        const int O = Case % 2 == 0 ? 255 : Rand(1, 254);
        TPic Ref(D.P.iLeft, D.P.iTop, RecPictureHeader(D.P)->biWidth, RecPictureHeader(D.P)->biHeight, DBits);
        std::memcpy(Ref.P.pBits, D.P.pBits, size_t(RecPictureGetImageSize(D.P)));
        RecPictureMerge(D.P, S.P, UseMask ? &M.P : nullptr, O, 0);
        TRect R;
        RecPictureGetRect(Ref.P, R);
        for (int Y = R.Top; Y <= R.Bottom; ++Y)
            for (int X = R.Left; X <= R.Right; ++X) {
                const uint8_t* Sp = RecPictureGetPixelPtr(S.P, X, Y);
                const uint8_t* Mp = RecPictureGetPixelPtr(M.P, X, Y);
                if (Sp == nullptr || (UseMask && Mp == nullptr))
                    continue;
                const int A = UseMask ? (Mp[0] * O + 255) >> 8 : O;
                uint8_t* Dp = RecPictureGetPixelPtr(Ref.P, X, Y);
                for (int C = 0; C < DBits / 8 && A != 0; ++C)
                    Dp[C] = uint8_t(((SBits == 8 ? Sp[0] : Sp[C]) * A + Dp[C] * (255 - A) + 255) >> 8);
            }
        ASSERT_EQ(D.Bytes(), Ref.Bytes()) << "case " << Case;
    }
}

TEST(Merge, NormalWeightedMatchesReference)
{
    ForEachInstructionSet(CheckNormalWeighted);
}

// A source whose pixels are the destination's own, one row further on:
// every row reads the row merged just before it, in the page's order, as a
// plain loop over the page does.
TEST(Merge, SharedPixelsKeepPageRowOrder)
{
    constexpr int W = 70, H = 6;
    for (const bool UseMask : {true, false}) {
        std::mt19937 Rng(11);
        TPic Whole(0, 0, W, H + 1, 24), M(0, 0, W, H, 8);
        for (int64_t I = 0, N = RecPictureGetImageSize(Whole.P); I < N; ++I)
            Whole.P.pBits[I] = uint8_t(Rng());
        for (int64_t I = 0, N = RecPictureGetImageSize(M.P); I < N; ++I)
            M.P.pBits[I] = uint8_t(Rng());
        TPic D(0, 0, W, H, 24), S(0, 0, W, H, 24);
        const int64_t Line = RecPictureGetImageSize(D.P) / H;
        // Both views into Whole: the destination its bottom H rows, the
        // source its top H rows (one page row above the destination's).
        uint8_t* OwnD = D.P.pBits;
        uint8_t* OwnS = S.P.pBits;
        D.P.pBits = Whole.P.pBits;
        S.P.pBits = Whole.P.pBits + Line;
        std::vector<uint8_t> Ref(Whole.Bytes());
        for (int Y = 0; Y < H; ++Y) // page order: top row first
            for (int X = 0; X < W; ++X) {
                const int A = UseMask ? M.Get(X, Y) : 200;
                uint8_t* Dp = Ref.data() + (H - 1 - Y) * Line + 3 * X;
                const uint8_t* Sp = Ref.data() + (H - Y) * Line + 3 * X;
                for (int C = 0; C < 3 && A != 0; ++C)
                    Dp[C] = uint8_t((Sp[C] * A + Dp[C] * (255 - A) + 255) >> 8);
            }
        RecPictureMerge(D.P, S.P, UseMask ? &M.P : nullptr, UseMask ? 255 : 200, 0);
        EXPECT_EQ(Whole.Bytes(), Ref) << UseMask;
        D.P.pBits = OwnD;
        S.P.pBits = OwnS;
    }
}

// A gradation without stops is white and opaque: the weight is
// w1 = (m o + 255) shr 8 (o without a mask), w2 = (255 w1 + 255) shr 8 = w1,
// then (w2 g + 255) shr 8.
TEST(Merge, GradationWeights)
{
    TrecGradation White;
    White.iOpacity = 200;
    TPic Dst(5, 5, 3, 1, 24), M(6, 5, 2, 1, 8);
    const TRect R{5, 5, 7, 5};
    RecPictureMergeGradation(Dst.P, nullptr, 128, R, White, 0);
    // (128 x 200 + 255) shr 8 = 100; (100 x 255 + 255) shr 8 = 100.
    for (int X = 5; X < 8; ++X)
        EXPECT_EQ(Dst.Rgb(X, 5), (RGB{100, 100, 100})) << X;
    Dst.Fill(0);
    M.Set(6, 5, 100);
    RecPictureMergeGradation(Dst.P, &M.P, 255, R, White, 0);
    // 79, and 255 x 79 blends to 79.
    // Outside the mask, (100 x 200 + 255) shr 8, m = 0.
    EXPECT_EQ((std::vector<RGB>{Dst.Rgb(5, 5), Dst.Rgb(6, 5), Dst.Rgb(7, 5)}),
              (std::vector<RGB>{{0, 0, 0}, {79, 79, 79}, {0, 0, 0}}));
    // Everything at 255 reaches 255.
    White.iOpacity = 255;
    RecPictureMergeGradation(Dst.P, nullptr, 255, R, White, 0);
    EXPECT_EQ(Dst.Rgb(5, 5), (RGB{255, 255, 255}));
    RecPictureMergeGradation(Dst.P, nullptr, 0, R, White, 7); // opacity 0: nothing
}

// The gradation is placed on the mask (else the destination) with the
// rectangle taken relative to that picture's position, and weighted by its
// opacity picture: compared with the rendered colour and opacity pictures.
TEST(Merge, GradationPlacement)
{
    TrecGradation G;
    G.bShape = GradShapeLinear;
    G.iOpacity = 230;
    G.iRepeatCount = 1;
    G.iX2 = 16384;
    G.iY2 = 8192;
    G.ColStops = {{0, 0x000000FF}, {1023, 0x00FF8000}};
    G.TransStops = {{0, 255}, {1023, 40}};
    const TRect Rect{12, 21, 27, 29}; // page coordinates
    for (bool UseMask : {true, false}) {
        TPic Dst(10, 20, 16, 8, 24), M(12, 21, 10, 5, 8);
        for (int Y = 20; Y < 28; ++Y)
            for (int X = 10; X < 26; ++X)
                Dst.SetRGB(X, Y, {X * 7 % 256, Y * 13 % 256, (X + Y) % 256});
        for (int Y = 21; Y < 26; ++Y)
            for (int X = 12; X < 22; ++X)
                M.Set(X, Y, (X * 37 + Y * 11) % 256);
        const TPic& On = UseMask ? M : Dst;
        const int32_t OX = On.P.iLeft, OY = On.P.iTop;
        const int32_t W = RecPictureHeader(On.P)->biWidth, H = RecPictureHeader(On.P)->biHeight;
        TPic Ref(10, 20, 16, 8, 24);
        std::memcpy(Ref.P.pBits, Dst.P.pBits, size_t(RecPictureGetImageSize(Dst.P)));
        const int O = 180;
        RecPictureMergeGradation(Dst.P, UseMask ? &M.P : nullptr, O, Rect, G, 0);
        TrecPicture C, A;
        RecPictureRenderGradation(TRect{Rect.Left - OX, Rect.Top - OY, Rect.Right - OX, Rect.Bottom - OY},
                                  W, H, C, A, G);
        C.iLeft = A.iLeft = OX;
        C.iTop = A.iTop = OY;
        for (int Y = 20; Y < 28; ++Y)
            for (int X = 10; X < 26; ++X) {
                const uint8_t* Mp = UseMask ? M.At(X, Y) : nullptr;
                if (UseMask && Mp == nullptr)
                    continue;
                const int W1 = UseMask ? (Mp[0] * O + 255) >> 8 : O;
                const int W2 = (RecPictureGetPixelPtr(A, X, Y)[0] * W1 + 255) >> 8;
                const int Wt = (W2 * G.iOpacity + 255) >> 8;
                const uint8_t* Cp = RecPictureGetPixelPtr(C, X, Y);
                uint8_t* Dp = Ref.At(X, Y);
                for (int K = 0; K < 3; ++K)
                    Dp[K] = uint8_t(Wt == 255 ? Cp[K] : ((255 - Wt) * Dp[K] + Wt * Cp[K] + 255) >> 8);
            }
        RecPictureClear(C);
        RecPictureClear(A);
        EXPECT_EQ(Dst.Bytes(), Ref.Bytes()) << UseMask;
    }
    // Moving the destination and the rectangle together moves the picture.
    TPic D1(0, 0, 6, 4, 24), D2(100, -50, 6, 4, 24);
    RecPictureMergeGradation(D1.P, nullptr, 255, TRect{1, 0, 8, 3}, G, 0);
    RecPictureMergeGradation(D2.P, nullptr, 255, TRect{101, -50, 108, -47}, G, 0);
    EXPECT_EQ(D1.Bytes(), D2.Bytes());
}
