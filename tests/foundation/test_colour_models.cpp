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
    EXPECT_EQ(Conv(RGBToHSB, 255, 255, 0), (A3{60000, 256, 255}));
    EXPECT_EQ(Conv(RGBToHSB, 0, 255, 255), (A3{180000, 256, 255}));
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
    EXPECT_EQ(GetLightness(255, 0, 40), 32768);
    EXPECT_EQ(Conv(RGBToHLS, 255, 0, 0), (A3{6144, 65280, 32768}));   // red lands on 6144, not 0
    EXPECT_EQ(Conv(RGBToHLS, 0, 255, 0), (A3{2048, 65280, 32768}));
    EXPECT_EQ(Conv(RGBToHLS, 255, 255, 0), (A3{1024, 65280, 32768}));
    EXPECT_EQ(Conv(RGBToHLS, 100, 0, 0), (A3{6144, 65280, 12928}));
    EXPECT_EQ(Conv(RGBToHLS, 100, 100, 100), (A3{0, 0, 25728}));
    // m2 = 32768 + 65280 - 8192 * 65280 / 16320 = 65280, m1 = 256.
    EXPECT_EQ(Conv(HLSToRGB, 0, 65280, 32768), (A3{255, 1, 1}));
    EXPECT_EQ(Conv(HLSToRGB, 6144, 65280, 32768), (A3{255, 1, 1}));
    EXPECT_EQ(Conv(HLSToRGB, 0, 0, 65408), (A3{255, 255, 255}));   // 255.5 limited to 255
    EXPECT_EQ(Conv(HLSToRGB, 0, 65280, 0), (A3{0, 0, 0}));
    // Hues outside 0..6144 wrap.
    EXPECT_EQ(Conv(HLSToRGB, -1000, 40000, 30000), Conv(HLSToRGB, 5144, 40000, 30000));
    EXPECT_EQ(Conv(HLSToRGB, 7168, 40000, 30000), Conv(HLSToRGB, 1024, 40000, 30000));
    EXPECT_EQ(Conv(RGBToYCbCr, 0, 0, 0), (A3{0, 32640, 32640}));
    EXPECT_EQ(Conv(RGBToYCbCr, 65280, 65280, 65280), (A3{65280, 32640, 32640}));
    // Y = 1225 * 65280 / 4096 = 19523.4; Cb = -11012.8 truncated toward zero.
    EXPECT_EQ(Conv(RGBToYCbCr, 65280, 0, 0), (A3{19523, 21628, 65280}));
    // G = 65280 - 32640 * 4335 / 4096 (34544.5); R and B limited.
    EXPECT_EQ(Conv(YCbCrToRGB, 65280, 65280, 65280), (A3{65280, 30736, 65280}));
    EXPECT_EQ(Conv(YCbCrToRGB, 0, 0, 0)[0], 0);
}

// Round trips over every third 8-bit colour. Worst errors, and why:
// - HSB: 1 per channel; S keeps only 8 bits.
// - HLS: 1 on the largest and smallest channel, 2 on the middle one, the
//   only one made from the hue, which is truncated three times.
// - YCbCr, fed R x 256 as the tone filters do: 12 on the 16-bit scale (the two
//   1/4096 matrices are not exact inverses, and four divisions truncate).
TEST(ColourModels, RoundTrips)
{
    int HsbWorst = 0, HlsOuter = 0, HlsMiddle = 0, Ycc16 = 0, Ycc8 = 0;
    for (int R = 0; R < 256; R += 3)
        for (int G = 1; G < 256; G += 3)
            for (int B = 2; B < 256; B += 3) {
                const int In[3] = {R, G, B};
                const int Max = std::max({R, G, B}), Min = std::min({R, G, B});
                int32_t A, Bv, C, Out[3];
                RGBToHSB(R, G, B, A, Bv, C);
                HSBToRGB(A, Bv, C, Out[0], Out[1], Out[2]);
                for (int K = 0; K < 3; ++K)
                    HsbWorst = std::max(HsbWorst, std::abs(Out[K] - In[K]));
                RGBToHLS(R, G, B, A, Bv, C);
                HLSToRGB(A, Bv, C, Out[0], Out[1], Out[2]);
                for (int K = 0; K < 3; ++K) {
                    int& Worst = In[K] == Max || In[K] == Min ? HlsOuter : HlsMiddle;
                    Worst = std::max(Worst, std::abs(Out[K] - In[K]));
                }
                RGBToYCbCr(R * 256, G * 256, B * 256, A, Bv, C);
                YCbCrToRGB(A, Bv, C, Out[0], Out[1], Out[2]);
                for (int K = 0; K < 3; ++K) {
                    Ycc16 = std::max(Ycc16, std::abs(Out[K] - In[K] * 256));
                    Ycc8 = std::max(Ycc8, std::abs(Out[K] / 256 - In[K]));
                }
            }
    EXPECT_LE(HsbWorst, 1);
    EXPECT_LE(HlsOuter, 1);
    EXPECT_LE(HlsMiddle, 2);
    EXPECT_LE(Ycc16, 12);
    EXPECT_LE(Ycc8, 1);
}
