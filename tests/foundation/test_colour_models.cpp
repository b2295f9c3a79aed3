#include "foundation/colour_models.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>

TEST(ColourModels, ByteOrders)
{
    EXPECT_EQ(SwapRB(0x00112233), 0x00332211);
    EXPECT_EQ(SwapRB(static_cast<int32_t>(0xFF112233u)), 0x00332211);   // top byte cleared
    EXPECT_EQ(SwapRB(-1), 0x00FFFFFF);
    EXPECT_EQ(ReverseRGB(0x00ABCDEF), 0x00EFCDAB);
    uint8_t P[4] = {0, 0, 0, 0x77};
    ColorToPixel24(0x00123456, P);   // 0x00BBGGRR stored B, G, R
    EXPECT_EQ(P[0], 0x12);
    EXPECT_EQ(P[1], 0x34);
    EXPECT_EQ(P[2], 0x56);
    EXPECT_EQ(P[3], 0x77);
    SetPixel24(1, 2, 3, P);
    EXPECT_EQ(P[0], 2);
    EXPECT_EQ(P[1], 3);
    EXPECT_EQ(P[2], 1);
}

TEST(ColourModels, HSBValues)
{
    using A3 = std::array<int32_t, 3>;
    auto ToHSB = [](int32_t R, int32_t G, int32_t B) {
        A3 O{-7, -7, -7};
        RGBToHSB(R, G, B, O[0], O[1], O[2]);
        return O;
    };
    auto ToRGB = [](int32_t H, int32_t S, int32_t V) {
        A3 O{-7, -7, -7};
        HSBToRGB(H, S, V, O[0], O[1], O[2]);
        return O;
    };
    EXPECT_EQ(ToHSB(255, 0, 0), (A3{0, 256, 255}));
    EXPECT_EQ(ToHSB(0, 0, 255), (A3{240000, 256, 255}));
    EXPECT_EQ(ToHSB(128, 128, 128), (A3{0, 0, 128}));
    EXPECT_EQ(ToHSB(255, 255, 0), (A3{60000, 256, 255}));
    EXPECT_EQ(ToHSB(0, 255, 255), (A3{180000, 256, 255}));
    // (-60000 + 127) / 255 = -234.8 truncates to -234, plus 360000.
    EXPECT_EQ(ToHSB(255, 0, 1), (A3{359766, 256, 255}));
    EXPECT_EQ(ToHSB(200, 100, 100), (A3{0, 128, 200}));   // 25700 / 200

    EXPECT_EQ(ToRGB(120000, 256, 255), (A3{0, 255, 0}));
    EXPECT_EQ(ToRGB(77777, 0, 90), (A3{90, 90, 90}));
    // Sector 5, f 30000: fs = 128, q = (128 * 255 + 128) >> 8 = 128.
    EXPECT_EQ(ToRGB(330000, 256, 255), (A3{255, 0, 128}));
    // Hues outside 0..359999 wrap, negative ones too.
    EXPECT_EQ(ToRGB(-30000, 256, 255), (A3{255, 0, 128}));
    EXPECT_EQ(ToRGB(-240000, 256, 255), (A3{0, 255, 0}));
    EXPECT_EQ(ToRGB(480000, 256, 255), (A3{0, 255, 0}));
    // (-44 * 255 + 128) / 256 = -43.3 rounds toward zero, not down to -44.
    EXPECT_EQ(ToRGB(0, 300, 255), (A3{255, -43, -43}));
}

TEST(ColourModels, HLSAndYCbCrValues)
{
    using A3 = std::array<int32_t, 3>;
    auto ToHLS = [](int32_t R, int32_t G, int32_t B) {
        A3 O{-7, -7, -7};
        RGBToHLS(R, G, B, O[0], O[1], O[2]);
        return O;
    };
    auto ToRGB = [](int32_t H, int32_t S, int32_t L) {
        A3 O{-7, -7, -7};
        HLSToRGB(H, S, L, O[0], O[1], O[2]);
        return O;
    };
    EXPECT_EQ(GetLightness(0, 0, 0), 128);
    EXPECT_EQ(GetLightness(255, 255, 255), 65408);
    EXPECT_EQ(GetLightness(255, 0, 40), 32768);
    EXPECT_EQ(ToHLS(255, 0, 0), (A3{6144, 65280, 32768}));   // red lands on 6144, not 0
    EXPECT_EQ(ToHLS(0, 255, 0), (A3{2048, 65280, 32768}));
    EXPECT_EQ(ToHLS(0, 0, 255), (A3{4096, 65280, 32768}));
    EXPECT_EQ(ToHLS(255, 255, 0), (A3{1024, 65280, 32768}));
    EXPECT_EQ(ToHLS(100, 0, 0), (A3{6144, 65280, 12928}));
    EXPECT_EQ(ToHLS(100, 100, 100), (A3{0, 0, 25728}));
    // m2 = 32768 + 65280 - 8192 * 65280 / 16320 = 65280, m1 = 256.
    EXPECT_EQ(ToRGB(0, 65280, 32768), (A3{255, 1, 1}));
    EXPECT_EQ(ToRGB(6144, 65280, 32768), (A3{255, 1, 1}));
    EXPECT_EQ(ToRGB(0, 0, 65408), (A3{255, 255, 255}));   // 255.5 limited to 255
    EXPECT_EQ(ToRGB(0, 65280, 0), (A3{0, 0, 0}));
    // Hues outside 0..6144 wrap.
    EXPECT_EQ(ToRGB(-1000, 40000, 30000), ToRGB(5144, 40000, 30000));
    EXPECT_EQ(ToRGB(7168, 40000, 30000), ToRGB(1024, 40000, 30000));

    A3 O;
    RGBToYCbCr(0, 0, 0, O[0], O[1], O[2]);
    EXPECT_EQ(O, (A3{0, 32640, 32640}));
    RGBToYCbCr(65280, 65280, 65280, O[0], O[1], O[2]);
    EXPECT_EQ(O, (A3{65280, 32640, 32640}));
    // Y = 1225 * 65280 / 4096 = 19523.4; Cb = -11012.8 truncated toward zero.
    RGBToYCbCr(65280, 0, 0, O[0], O[1], O[2]);
    EXPECT_EQ(O, (A3{19523, 21628, 65280}));
    // G = 65280 - 32640 * 4335 / 4096 (34544.5); R and B limited.
    YCbCrToRGB(65280, 65280, 65280, O[0], O[1], O[2]);
    EXPECT_EQ(O, (A3{65280, 30736, 65280}));
    YCbCrToRGB(0, 0, 0, O[0], O[1], O[2]);
    EXPECT_EQ(O[0], 0);
}

// Round trips over every 8-bit colour. Worst errors seen, and why:
// - HSB: 1 per channel. V is exact; S keeps only 8 bits, so the smallest
//   channel V (256 - S) / 256 can be half a unit off before its own rounding.
// - HLS: 1 on the largest and smallest channel, 2 on the middle one (1380 of
//   the 16.7 million colours). The hue is truncated three times (distance on a
//   0..255 scale, then 1024 per sector, then the step inside the sector) and the
//   middle channel is the only one made from it.
// - YCbCr, fed R x 256 as the tone filters do: 12 on the 16-bit scale. The two
//   1/4096 matrices are not exact inverses (about 0.00012 of full scale, near 8)
//   and each of the four divisions truncates (up to about 4 more); after the
//   shift back to bytes that is one unit.
TEST(ColourModels, RoundTrips)
{
    int HsbWorst = 0, HlsOuter = 0, HlsMiddle = 0, Ycc16 = 0, Ycc8 = 0;
    for (int R = 0; R < 256; ++R)
        for (int G = 0; G < 256; ++G)
            for (int B = 0; B < 256; ++B) {
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
