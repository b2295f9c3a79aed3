#include "foundation/colour_models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <vector>

using A3 = std::array<int32_t, 3>;

// One conversion's three outputs.
template <class F>
A3 Conv(F Fn, int32_t A, int32_t B, int32_t C)
{
    A3 O{-7, -7, -7};
    Fn(A, B, C, O[0], O[1], O[2]);
    return O;
}

TEST(ColourModels, ByteOrders)
{
    EXPECT_EQ(SwapRB(0x00112233), 0x00332211);
    EXPECT_EQ(SwapRB(static_cast<int32_t>(0xFF112233u)), 0x00332211);   // top byte cleared
    EXPECT_EQ(SwapRB(-1), 0x00FFFFFF);
    EXPECT_EQ(ReverseRGB(0x00ABCDEF), 0x00EFCDAB);
    uint8_t P[4] = {0, 0, 0, 0x77};
    ColorToPixel24(0x00123456, P);   // 0x00BBGGRR stored B, G, R
    EXPECT_EQ(std::vector<uint8_t>(P, P + 4), (std::vector<uint8_t>{0x12, 0x34, 0x56, 0x77}));
    SetPixel24(1, 2, 3, P);
    EXPECT_EQ(std::vector<uint8_t>(P, P + 3), (std::vector<uint8_t>{2, 3, 1}));
}

TEST(ColourModels, HSBValues)
{
    EXPECT_EQ(Conv(RGBToHSB, 255, 0, 0), (A3{0, 256, 255}));
    EXPECT_EQ(Conv(RGBToHSB, 0, 0, 255), (A3{240000, 256, 255}));
    EXPECT_EQ(Conv(RGBToHSB, 128, 128, 128), (A3{0, 0, 128}));
    // (-60000 + 127) / 255 = -234.8 truncates to -234, plus 360000.
    EXPECT_EQ(Conv(RGBToHSB, 255, 0, 1), (A3{359766, 256, 255}));
    EXPECT_EQ(Conv(RGBToHSB, 200, 100, 100), (A3{0, 128, 200}));   // 25700 / 200
    EXPECT_EQ(Conv(HSBToRGB, 120000, 256, 255), (A3{0, 255, 0}));
    EXPECT_EQ(Conv(HSBToRGB, 77777, 0, 90), (A3{90, 90, 90}));
    // Sector 5, f 30000: fs = 128, q = (128 * 255 + 128) >> 8 = 128.
    EXPECT_EQ(Conv(HSBToRGB, 330000, 256, 255), (A3{255, 0, 128}));
    // Hues outside 0..359999 wrap, negative ones too.
    EXPECT_EQ(Conv(HSBToRGB, -30000, 256, 255), (A3{255, 0, 128}));
    EXPECT_EQ(Conv(HSBToRGB, 480000, 256, 255), (A3{0, 255, 0}));
    // (-44 * 255 + 128) / 256 = -43.3 rounds toward zero, not down to -44.
    EXPECT_EQ(Conv(HSBToRGB, 0, 300, 255), (A3{255, -43, -43}));
}

TEST(ColourModels, HLSAndYCbCrValues)
{
    EXPECT_EQ(GetLightness(0, 0, 0), 128);
    EXPECT_EQ(GetLightness(255, 255, 255), 65408);
    EXPECT_EQ(Conv(RGBToHLS, 255, 0, 0), (A3{6144, 65280, 32768}));   // red lands on 6144, not 0
    EXPECT_EQ(Conv(RGBToHLS, 100, 0, 0), (A3{6144, 65280, 12928}));
    EXPECT_EQ(Conv(RGBToHLS, 100, 100, 100), (A3{0, 0, 25728}));
    // m2 = 32768 + 65280 - 8192 * 65280 / 16320 = 65280, m1 = 256.
    EXPECT_EQ(Conv(HLSToRGB, 6144, 65280, 32768), (A3{255, 1, 1}));
    EXPECT_EQ(Conv(HLSToRGB, 0, 0, 65408), (A3{255, 255, 255}));   // 255.5 limited to 255
    // Hues outside 0..6144 wrap.
    EXPECT_EQ(Conv(HLSToRGB, -1000, 40000, 30000), Conv(HLSToRGB, 5144, 40000, 30000));
    EXPECT_EQ(Conv(HLSToRGB, 7168, 40000, 30000), Conv(HLSToRGB, 1024, 40000, 30000));
    EXPECT_EQ(Conv(RGBToYCbCr, 0, 0, 0), (A3{0, 32640, 32640}));
    EXPECT_EQ(Conv(RGBToYCbCr, 65280, 65280, 65280), (A3{65280, 32640, 32640}));
    // Y = 1225 * 65280 / 4096 = 19523.4; Cb = -11012.8 truncated toward zero.
    EXPECT_EQ(Conv(RGBToYCbCr, 65280, 0, 0), (A3{19523, 21628, 65280}));
    // G = 65280 - 32640 * 4335 / 4096 (34544.5); R and B limited.
    EXPECT_EQ(Conv(YCbCrToRGB, 65280, 65280, 65280), (A3{65280, 30736, 65280}));
}

// Round trips over every fifth 8-bit colour. Worst errors, and why:
// - HSB: 1 per channel; S keeps only 8 bits.
// - HLS: 1 on the largest and smallest channel, 2 on the middle one, the
//   only one made from the hue, which is truncated three times.
// - YCbCr, fed R x 256 as the tone filters do: 12 on the 16-bit scale (the two
//   1/4096 matrices are not exact inverses, and four divisions truncate).
TEST(ColourModels, RoundTrips)
{
    int Worst[5] = {}; // HSB, HLS outer, HLS middle, YCbCr 16-bit, YCbCr 8-bit
    const auto Note = [&](int I, int Error) { Worst[I] = std::max(Worst[I], std::abs(Error)); };
    for (int R = 0; R < 256; R += 5)
        for (int G = 1; G < 256; G += 5)
            for (int B = 2; B < 256; B += 5) {
                const int In[3] = {R, G, B}, Max = std::max({R, G, B}), Min = std::min({R, G, B});
                const A3 S = Conv(RGBToHSB, R, G, B), Hsb = Conv(HSBToRGB, S[0], S[1], S[2]);
                const A3 H = Conv(RGBToHLS, R, G, B), Hls = Conv(HLSToRGB, H[0], H[1], H[2]);
                const A3 Y = Conv(RGBToYCbCr, R * 256, G * 256, B * 256), Ycc = Conv(YCbCrToRGB, Y[0], Y[1], Y[2]);
                for (int K = 0; K < 3; ++K) {
                    Note(0, Hsb[K] - In[K]);
                    Note(In[K] == Max || In[K] == Min ? 1 : 2, Hls[K] - In[K]);
                    Note(3, Ycc[K] - In[K] * 256);
                    Note(4, Ycc[K] / 256 - In[K]);
                }
            }
    const int Limit[5] = {1, 1, 2, 12, 1};
    for (int I = 0; I < 5; ++I)
        EXPECT_LE(Worst[I], Limit[I]) << I;
}
