#include "raster/tone_filters.h"

#include "foundation/colour_models.h"
#include "foundation/numbers.h"
#include "foundation/user_error.h"
#include "platform/test_support.h"
#include "raster/lighting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace {

using RGB = std::array<int, 3>;

// A zero-filled picture record that frees itself; At takes picture-relative x, y.
struct TPic {
    TrecPicture P;
    TPic(int32_t W, int32_t H, int32_t Bits, int32_t Left = 0, int32_t Top = 0)
    {
        RecPictureCreate(P, TPoint{Left, Top}, W, H, Bits, false);
        Fill(0);
    }
    ~TPic() { RecPictureClear(P); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    uint8_t* At(int32_t X, int32_t Y) const { return RecPictureGetPixelPtr(P, P.iLeft + X, P.iTop + Y); }
    int Get(int32_t X, int32_t Y) const { return At(X, Y)[0]; }
    void Set(int32_t X, int32_t Y, int V) const { At(X, Y)[0] = uint8_t(V); }
    RGB Rgb(int32_t X, int32_t Y) const { return {At(X, Y)[2], At(X, Y)[1], At(X, Y)[0]}; }
    void SetRGB(int32_t X, int32_t Y, RGB C) const { std::copy_n(std::array{C[2], C[1], C[0]}.data(), 3, At(X, Y)); }
    void Fill(int V) const { std::memset(P.pBits, V, size_t(RecPictureGetImageSize(P))); }
    std::vector<uint8_t> Bytes() const { return {P.pBits, P.pBits + RecPictureGetImageSize(P)}; }
};

// A byte operation on a 256 x 1 8-bit picture holding 0..255 gives its table.
std::vector<int> RampTable(uint8_t Kind, TFilterParam A, TFilterParam B, TFilterParam C, TFilterParam D,
                           TFilterParam F = {})
{
    TPic R(256, 1, 8);
    for (int V = 0; V < 256; ++V)
        R.Set(V, 0, V);
    EXPECT_EQ(RecPictureFilter(Kind, R.P, nullptr, A, B, C, D, 0, F), 0);
    std::vector<int> T(256);
    for (int V = 0; V < 256; ++V)
        T[V] = R.Get(V, 0);
    return T;
}

// Table entries (v, want).
void ExpectEntries(const std::vector<int>& T, std::initializer_list<std::pair<int, int>> Entries)
{
    for (const auto& [V, Want] : Entries)
        EXPECT_EQ(T[size_t(V)], Want) << "entry " << V;
}

// Runs the filter from generator state Seed, then rewinds the generator to replay its draws.
template <class... TArgs>
void Replay(uint32_t Seed, uint8_t Kind, TPic& Pic, const TrecPicture* Mask, TArgs... Args)
{
    RandomSeed = Seed;
    EXPECT_EQ(RecPictureFilter(Kind, Pic.P, Mask, Args...), 0);
    RandomSeed = Seed;
}

int Weighted(int M, int New, int Old) { return (M * New + (255 - M) * Old + 255) >> 8; }

// 4 x 4 8-bit picture of 100s with a 2 x 3 mask at (1, 2): values 255, 128, 0
// in its first column, 255 elsewhere. Overlap: x 1..2, y 2..3.
struct TMaskedCase {
    TPic Pic{4, 4, 8};
    TPic Mask{2, 3, 8, 1, 2};
    TMaskedCase()
    {
        Pic.Fill(100);
        Mask.Fill(255);
        Mask.Set(0, 0, 128);
        Mask.Set(0, 1, 0);
    }
    // Pixels outside the overlap keep 100; (1, 2) weighted at 128, (1, 3) kept.
    void Check(int New) const
    {
        for (int Y = 0; Y < 4; ++Y)
            for (int X = 0; X < 4; ++X) {
                const int Want = X == 1 && Y == 2 ? Weighted(128, New, 100) : X == 2 && Y >= 2 ? New : 100;
                EXPECT_EQ(Pic.Get(X, Y), Want) << X << "," << Y;
            }
    }
};

} // namespace

TEST(ToneFilters, Results)
{
    TrecPicture Empty;
    TPic P16(2, 2, 16), Pic(2, 2, 8), Far(2, 2, 8, 50, 50), Mask24(2, 2, 24);
    EXPECT_EQ(RecPictureFilter(1, Empty, nullptr), FilterResultBadPicture);
    EXPECT_EQ(RecPictureFilter(1, P16.P, nullptr), FilterResultBadPicture);
    Pic.Fill(10);
    EXPECT_EQ(RecPictureFilter(1, Pic.P, &Far.P), FilterResultOK);
    EXPECT_EQ(RecPictureFilter(12, Pic.P, &Far.P), FilterResultOK); // no overlap comes first
    EXPECT_EQ(RecPictureFilter(1, Pic.P, &Mask24.P), FilterResultBadPicture);
    EXPECT_EQ(RecPictureFilter(10, Pic.P, nullptr), FilterResultBadKind);
    EXPECT_EQ(RecPictureFilter(0, Pic.P, nullptr, 0, 201, 128, 0), FilterResultBadContrast);
    EXPECT_EQ(RecPictureFilter(0, Pic.P, nullptr, 0, -1, 128, 0), FilterResultBadContrast);
    // Kinds 4 to 6 read three bytes per pixel: an 8-bit picture is refused.
    for (uint8_t K = 4; K <= 6; ++K)
        EXPECT_EQ(RecPictureFilter(K, Pic.P, nullptr, 30, 10, 10, 1), FilterResultBadPicture);
    EXPECT_EQ(Pic.Bytes(), std::vector<uint8_t>(8, 10));
}

TEST(ToneFilters, ContrastBrightnessTableAndAutomaticAverage)
{
    auto Table = [](int Br, int Ct, int Av, int Cut) { return RampTable(0, Br, Ct, Av, Cut); };
    std::vector<int> Ramp(256);
    for (int V = 0; V < 256; ++V)
        Ramp[size_t(V)] = V;
    EXPECT_EQ(Table(0, 100, 128, 0), Ramp);
    // Contrast 0: the average plus brightness; with Cut the brightness sits inside the product.
    ExpectEntries(Table(10, 0, 100, 0), {{0, 110}, {255, 110}});
    ExpectEntries(Table(10, 0, 100, 1), {{0, 100}});
    // Factor 128: 100 + (v - 100) x 128 / 256 toward zero (-49.5 -> -49);
    // factor 19200 div 100 = 192: -0.75 -> 0, -1.5 -> -1.
    ExpectEntries(Table(0, 50, 100, 0), {{0, 50}, {1, 51}, {255, 177}});
    ExpectEntries(Table(0, 75, 100, 0), {{99, 100}, {98, 99}});
    // Factor 25600 div 50 = 512, clamped at both ends.
    ExpectEntries(Table(0, 150, 100, 0), {{0, 0}, {99, 98}, {110, 120}, {200, 255}});
    ExpectEntries(Table(20, 150, 100, 1), {{90, 120}}); // 100 + (90 + 20 - 100) x 2
    ExpectEntries(Table(20, 150, 100, 0), {{90, 100}}); // 100 + (90 - 100) x 2 + 20
    ExpectEntries(Table(0, 199, 100, 0), {{101, 200}}); // factor 25600: times 100
    // Contrast 200 as the tracer calls it: above 128 white, the rest black.
    ExpectEntries(Table(0, 200, 128, 0), {{128, 0}, {129, 255}});
    TPic Pic(2, 1, 24), Mask(2, 1, 8), Grey(3, 2, 8), Zero(3, 2, 8);
    Pic.SetRGB(0, 0, {30, 20, 10});
    Pic.SetRGB(1, 0, {61, 50, 40});
    // (211 div 2) div 3 = 35; contrast 0 flattens to it.
    EXPECT_EQ(RecPictureFilter(0, Pic.P, nullptr, 0, 0, -1, 0), 0);
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{35, 35, 35}));
    EXPECT_EQ(Pic.Rgb(1, 0), (RGB{35, 35, 35}));
    // Only pixels under a non-zero mask count: 151 div 3 = 50, plus Br with Cut.
    Pic.SetRGB(0, 0, {30, 20, 10});
    Pic.SetRGB(1, 0, {61, 50, 40});
    Mask.Set(1, 0, 255);
    EXPECT_EQ(RecPictureFilter(0, Pic.P, &Mask.P, 5, 0, -1, 1), 0);
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{30, 20, 10}));
    EXPECT_EQ(Pic.Rgb(1, 0), (RGB{55, 55, 55}));
    // Equal grey bytes: any contrast leaves them; an all-zero mask leaves
    // nothing to average and must not divide by zero.
    Grey.Fill(77);
    EXPECT_EQ(RecPictureFilter(0, Grey.P, nullptr, 0, 180, -1, 0), 0);
    EXPECT_EQ(RecPictureFilter(0, Grey.P, &Zero.P, 0, 0, -1, 0), 0);
    EXPECT_EQ(Grey.Bytes(), std::vector<uint8_t>(8, 77));
}

TEST(ToneFilters, InvertWholeBufferAndMaskOverlap)
{
    // Without a mask every byte of the buffer, row fillers too.
    TPic Pic(3, 2, 8);
    Pic.Fill(40);
    EXPECT_EQ(RecPictureFilter(1, Pic.P, nullptr), 0);
    EXPECT_EQ(Pic.Bytes(), std::vector<uint8_t>(8, 215));
    TMaskedCase C;
    EXPECT_EQ(RecPictureFilter(1, C.Pic.P, &C.Mask.P), 0);
    C.Check(155);
    EXPECT_EQ(C.Pic.Get(1, 2), 128); // (127 x 100 + 128 x 155 + 255) shr 8
    // A 1 x 1 mask in the corner and a mask larger than the picture.
    TPic P2(4, 4, 8), Dot(1, 1, 8, 3, 3), Big(7, 9, 8, -2, -1);
    P2.Fill(100);
    Dot.Fill(255);
    Big.Fill(255);
    EXPECT_EQ(RecPictureFilter(1, P2.P, &Dot.P), 0);
    EXPECT_EQ(std::pair(P2.Get(3, 3), P2.Get(2, 3)), std::pair(155, 100));
    EXPECT_EQ(RecPictureFilter(1, P2.P, &Big.P), 0);
    EXPECT_EQ(std::pair(P2.Get(3, 3), P2.Get(0, 0)), std::pair(100, 155));
}

TEST(ToneFilters, LevelsTableAndToneCurve)
{
    auto Table = [](int I0, int I1, int O0, int O1, const double* G) { return RampTable(2, I0, I1, O0, O1, G); };
    const double Two = 2.0, One = 1.0;
    ExpectEntries(Table(0, 255, 0, 255, &Two), {{0, 0}, {255, 255}, {128, 64}, {200, 156}}); // Trunc(v^2 / 255)
    const std::vector<int> T = Table(50, 200, 20, 220, &One);
    ExpectEntries(T, {{49, 20}, {50, 20}, {51, 21}, {125, 120}, {200, 220}}); // 20 + Trunc(200 / 150) at 51
    EXPECT_EQ(Table(50, 200, 20, 220, nullptr), T); // no gamma: linear
    ExpectEntries(Table(100, 100, 10, 240, &One), {{100, 10}, {101, 240}}); // I1 <= I0: a step
    // Outputs beyond a byte are clamped, not wrapped: -100 + 39, -100 + Trunc(250.98), -100 + 392.
    ExpectEntries(Table(0, 255, -100, 400, &One), {{0, 0}, {20, 0}, {128, 150}, {200, 255}, {255, 255}});
    // With a mask of another size and place: Trunc((100/255)^2 x 255) = Trunc(39.2).
    TMaskedCase C;
    EXPECT_EQ(RecPictureFilter(2, C.Pic.P, &C.Mask.P, 0, 255, 0, 255, 0, &Two), 0);
    C.Check(39);
    // Tone curves.
    auto Curve = [](std::vector<TPoint> Pts) { return RampTable(3, int32_t(Pts.size()), 0, 0, 0, Pts.data()); };
    // Three waves: five points through a natural cubic spline (132.06, 229.76, 142.4994, 65.88, 159.96).
    ExpectEntries(Curve({{0, 0}, {63, 255}, {127, 0}, {191, 255}, {255, 0}}),
                  {{0, 0}, {20, 132}, {40, 230}, {63, 255}, {90, 142}, {150, 66}, {230, 160}});
    // One wave gives three points: the natural spline with its one inner
    // curvature z = (slope1 - slope0) / (2 (x2 - x0)): 94.10, 176.06, 238.64, 232.10, 154.59.
    ExpectEntries(Curve({{0, 0}, {127, 255}, {255, 0}}),
                  {{0, 0}, {32, 94}, {64, 176}, {100, 239}, {127, 255}, {160, 232}, {200, 155}, {255, 0}});
    // Two points: a straight line (50 + 58.82); one point: a constant; no curve: nothing changes.
    ExpectEntries(Curve({{0, 50}, {255, 200}}), {{100, 109}, {255, 200}});
    ExpectEntries(Curve({{10, 77}}), {{0, 77}, {255, 77}});
    ExpectEntries(Curve({{0, 0}, {100, 200}, {100, 50}}), {{77, 77}});
    ExpectEntries(Curve({}), {{200, 200}});
    TMaskedCase C2;
    const TPoint Flat[2] = {{0, 10}, {255, 10}};
    EXPECT_EQ(RecPictureFilter(3, C2.Pic.P, &C2.Mask.P, 2, 0, 0, 0, 0, Flat), 0);
    C2.Check(10);
}

TEST(ToneFilters, ColourModelShifts)
{
    // HSI: colourise with hue 120, every pixel green at saturation 255.
    TPic Pic(3, 1, 24);
    Pic.SetRGB(0, 0, {255, 0, 0});
    Pic.SetRGB(1, 0, {100, 100, 100});
    Pic.SetRGB(2, 0, {20, 90, 200});
    EXPECT_EQ(RecPictureFilter(4, Pic.P, nullptr, 120, 100, 0, 1), 0);
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{1, 255, 1}));
    EXPECT_EQ(Pic.Rgb(1, 0), (RGB{0, 100, 0}));
    int32_t H, S, L, R, G, B;
    RGBToHSB(Pic.Rgb(2, 0)[0], Pic.Rgb(2, 0)[1], Pic.Rgb(2, 0)[2], H, S, L);
    EXPECT_EQ(H, 120000);
    // Red turned by -30 degrees: hue 330000, Fs = 128: (255, 0, 128); grey gets brightness + 25.
    Pic.SetRGB(0, 0, {255, 0, 0});
    Pic.SetRGB(1, 0, {100, 100, 100});
    EXPECT_EQ(RecPictureFilter(4, Pic.P, nullptr, -30, 0, 10, 0), 0);
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{255, 0, 128}));
    EXPECT_EQ(Pic.Rgb(1, 0), (RGB{125, 125, 125}));
    // HLS: a pixel that does not survive the HLS round trip shows that nothing was done.
    RGBToHLS(0, 0, 13, H, S, L);
    HLSToRGB(H, S, L, R, G, B);
    ASSERT_NE(B, 13);
    Pic.SetRGB(0, 0, {0, 0, 13});
    EXPECT_EQ(RecPictureFilter(5, Pic.P, nullptr, 0, 0, 0, 0), 0);
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{0, 0, 13}));
    // Colourise 120 degrees: hue 2048, saturation 65280; grey 128 -> (2, 255, 2).
    Pic.SetRGB(1, 0, {128, 128, 128});
    EXPECT_EQ(RecPictureFilter(5, Pic.P, nullptr, 120, 100, 0, 1), 0);
    EXPECT_EQ(Pic.Rgb(1, 0), (RGB{2, 255, 2}));
    // Red turned by -60 degrees: hue (-1023 + 6144 + 6144) mod 6144 = 5121;
    // lightness -100 % is clamped to 0: black.
    Pic.SetRGB(0, 0, {255, 0, 0});
    EXPECT_EQ(RecPictureFilter(5, Pic.P, nullptr, -60, 0, 0, 0), 0);
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{255, 1, 254}));
    EXPECT_EQ(RecPictureFilter(5, Pic.P, nullptr, 0, 0, -100, 0), 0);
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{0, 0, 0}));
    // YCbCr: colourise with no chroma, Y = 130240000 div 4096 = 31796 -> grey 124.
    TPic Y(2, 1, 24), Mask(1, 1, 8);
    Y.SetRGB(0, 0, {200, 100, 50});
    Y.SetRGB(1, 0, {100, 100, 100});
    Mask.Fill(255);
    EXPECT_EQ(RecPictureFilter(6, Y.P, &Mask.P, 0, 0, 0, 1), 0);
    EXPECT_EQ(Y.Rgb(0, 0), (RGB{Weighted(255, 124, 200), Weighted(255, 124, 100), Weighted(255, 124, 50)}));
    EXPECT_EQ(Y.Rgb(1, 0), (RGB{100, 100, 100})); // outside the mask
    // Y + 10 %: 25600 + 6528 = 32128 -> 125.
    EXPECT_EQ(RecPictureFilter(6, Y.P, nullptr, 10, 0, 0, 0), 0);
    EXPECT_EQ(Y.Rgb(1, 0), (RGB{125, 125, 125}));
}

TEST(ToneFilters, LightingPassesItsArguments)
{
    TLightsAmb Set{{TrecLightUnion{"", {200, 200, 200}, 40, LightKindAmbient}}};
    TPic A(3, 2, 24), B(3, 2, 24), Bump(3, 2, 8), Mask(2, 2, 8, 1, 0), FarBump(2, 2, 8, 40, 40);
    A.Fill(150);
    B.Fill(150);
    Mask.Fill(200);
    const TRect Rc{0, 0, 10, 10};
    const uint8_t Quality = 1;
    EXPECT_EQ(RecPictureFilter(7, A.P, &Mask.P, &Set, &Bump.P, nullptr, 30, &Rc, &Quality), 0);
    EXPECT_EQ(RecPictureLight(B.P, &Mask.P, &Set, &Bump.P, nullptr, 30, &Rc, &Quality), 0);
    EXPECT_EQ(A.Bytes(), B.Bytes());
    EXPECT_NE(A.Get(1, 0), 150);
    EXPECT_EQ(A.Get(0, 0), 150);
    EXPECT_EQ(RecPictureFilter(7, A.P, nullptr, &Set, &FarBump.P), FilterResultBumpMissed);
}

namespace {

// Levels 0 and 1 displace nothing, but each bottom midpoint's "+ 1" half
// rounds up: on an 8 x 8 or 16 x 16 grid the corners of the first square of
// the first displaced level are then (0, 0) = 0, (2, 0) = 1, (0, 2) = 0,
// (2, 2) = 1. Its centre (1, 1) from its five draws r0..r4:
int FirstCentre(const double* R)
{
    const double Top = double(RoundOff(R[0] + 0.5));    // (0 + 1) / 2
    const double Bottom = double(RoundOff(R[1] + 1.0)); // (1 + 0 + 1) / 2
    const double Left = double(RoundOff(R[2]));         // (0 + 0) / 2
    const double Right = double(RoundOff(R[3] + 1.0));  // (1 + 1) / 2
    const double Centre = double(RoundOff(R[4] + (Top + Bottom + Left + Right) / 4));
    return int(std::clamp<int64_t>(RoundOff(Centre / 128) + 128, 0, 255));
}

int Pix(double G) { return int(std::clamp<int64_t>(RoundOff(G / 128) + 128, 0, 255)); }

// Replays the generator from Seed: 97 setup draws, Skip more, then N
// displacements of amplitude A.
std::vector<double> Draws(uint32_t Seed, int Skip, int N, double A)
{
    RandomSeed = Seed;
    for (int I = 0; I < 97 + Skip; ++I)
        RandomFloat();
    std::vector<double> R(static_cast<size_t>(N));
    for (double& V : R)
        V = RandomFloat() * A - A / 2;
    return R;
}

} // namespace

TEST(ToneFilters, CloudsSmallGridsAndDisplacementOrder)
{
    // 1 x 1: no subdivision, the base value; the generator moved by 97 draws.
    TPic One(1, 1, 24), Four(4, 4, 8);
    RandomSeed = 4711;
    EXPECT_EQ(RecPictureFilter(8, One.P, nullptr, 77, 5000, 10), 0);
    EXPECT_EQ(One.Rgb(0, 0), (RGB{77, 77, 77}));
    const uint32_t Seed = RandomSeed;
    Draws(4711, 0, 0, 0);
    EXPECT_EQ(Seed, RandomSeed);
    // 4 x 4: levels 0 and 1 draw nothing and add nothing; the base is clamped.
    RandomSeed = 4711;
    EXPECT_EQ(RecPictureFilter(8, Four.P, nullptr, 300, 5000, 10), 0);
    EXPECT_EQ(Four.Bytes(), std::vector<uint8_t>(16, 255));
    EXPECT_EQ(Seed, RandomSeed);
    // 8 x 8, base 128: only level 2 draws, with a = 2 x (20001 div 2) = 20000.
    // A grid unit shows in a pixel only near an odd multiple of 64, so many
    // seeds run. Later squares overwrite shared midpoints: square 0's bottom
    // (1, 2) by the top of square 4 (draw 20), its top (1, 0) by the bottom
    // of square 12 (draw 61), its left (0, 1) by the right of square 3 (draw 18).
    for (uint32_t Seed = 1; Seed <= 3000; ++Seed) {
        TPic Pic(8, 8, 8);
        RandomSeed = Seed;
        ASSERT_EQ(RecPictureFilter(8, Pic.P, nullptr, 128, 20001, 0), 0);
        const std::vector<double> R = Draws(Seed, 0, 80, 20000);
        ASSERT_EQ(Pic.Get(1, 1), FirstCentre(R.data())) << Seed;
        ASSERT_EQ(Pic.Get(1, 2), Pix(double(RoundOff(R[20] + 0.5)))) << Seed;
        ASSERT_EQ(Pic.Get(1, 0), Pix(double(RoundOff(R[61] + 1.0)))) << Seed;
        ASSERT_EQ(Pic.Get(0, 1), Pix(double(RoundOff(R[18])))) << Seed;
        ASSERT_EQ(Pic.Get(0, 0), 128);
    }
    // 16 x 16, height 1: amp[0] = 0, but level 2 still draws its 80 numbers;
    // amp[1] = 2 x (RoundOff(e^10) div 2) = 22026 at attenuation -1000.
    for (uint32_t Seed = 1; Seed <= 300; ++Seed) {
        TPic Pic(16, 16, 8);
        RandomSeed = Seed;
        ASSERT_EQ(RecPictureFilter(8, Pic.P, nullptr, 128, 1, -1000), 0);
        ASSERT_EQ(Pic.Get(1, 1), FirstCentre(Draws(Seed, 80, 5, 22026).data())) << Seed;
    }
}

TEST(ToneFilters, CloudsUncappedGridAndRefusedHugeGrid)
{
    TPic A(40, 30, 24);
    RandomSeed = 123;
    RecPictureFilter(8, A.P, nullptr, 128, 8000, 30);
    int Distinct = 0;
    for (int V = 0, X = 0; X < 40; ++X)
        if (A.Get(X, X * 29 / 39) != V)
            ++Distinct, V = A.Get(X, X * 29 / 39);
    EXPECT_GT(Distinct, 5); // a texture, not a flat fill
    EXPECT_EQ(A.Rgb(7, 9)[0], A.Rgb(7, 9)[2]);
    // The mask is not consulted, but it must still overlap.
    TPic M(2, 2, 8, 100, 100), C(4, 4, 8), M2(1, 1, 8, 3, 3);
    EXPECT_EQ(RecPictureFilter(8, C.P, &M.P, 50, 0, 0), 0);
    EXPECT_EQ(C.Get(0, 0), 0);
    EXPECT_EQ(RecPictureFilter(8, C.P, &M2.P, 50, 0, 0), 0);
    EXPECT_EQ(C.Bytes(), std::vector<uint8_t>(16, 50));
    // The grid follows the longer side in full: a 1 x 600 strip and a
    // 600 x 600 square share grid N = 1024 and so their first column.
    TPic Strip(1, 600, 8), Square(600, 600, 8);
    for (TPic* P : {&Strip, &Square}) {
        RandomSeed = 5;
        RecPictureFilter(8, P->P, nullptr, 128, 9000, 20);
    }
    for (int Y = 0; Y < 600; ++Y)
        ASSERT_EQ(Strip.Get(0, Y), Square.Get(0, Y)) << Y;
    // 1 x 2^20 needs a 2^20 x 2^20 grid (2 TB): refused before any draw.
    TPic Tall(1, 1 << 20, 8);
    Tall.Fill(9);
    RandomSeed = 31;
    EXPECT_EQ(MessageOf<EUserError>([&] { RecPictureFilter(8, Tall.P, nullptr, 128, 100, 10); }),
              "メモリが足りません");
    EXPECT_EQ(RandomSeed, 31u);
    EXPECT_EQ(Tall.Get(0, 12345), 9);
}

TEST(ToneFilters, NoiseDrawsMaskAndImpulse)
{
    TPic Pic(2, 1, 24);
    Pic.SetRGB(0, 0, {100, 100, 100});
    Pic.SetRGB(1, 0, {250, 5, 128});
    const std::vector<uint8_t> Before = Pic.Bytes();
    RandomSeed = 1;
    EXPECT_EQ(RecPictureFilter(9, Pic.P, nullptr, 1, 1, 0, 0), 0); // size 0
    EXPECT_EQ(Pic.Bytes(), Before);
    EXPECT_EQ(RandomSeed, 1u);
    auto Add = [](int V, int64_t D) { return int(std::clamp<int64_t>(V + D, 0, 255)); };
    // Uniform, one draw per pixel for its three bytes.
    Replay(42, 9, Pic, nullptr, 0, 1, 20, 0);
    const int D0 = RandomInt(41) - 20, D1 = RandomInt(41) - 20;
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{Add(100, D0), Add(100, D0), Add(100, D0)}));
    EXPECT_EQ(Pic.Rgb(1, 0), (RGB{Add(250, D1), Add(5, D1), Add(128, D1)}));
    // Size 999 still adds (only 1000 is impulse noise).
    Pic.SetRGB(0, 0, {100, 100, 100});
    Replay(44, 9, Pic, nullptr, 0, 1, 999, 0);
    const int D2 = RandomInt(1999) - 999;
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{Add(100, D2), Add(100, D2), Add(100, D2)}));
    // Gaussian, colour: each byte its own draw, in byte order blue, green, red.
    Pic.SetRGB(0, 0, {100, 100, 100});
    TPic Mask(1, 1, 8);
    Mask.Fill(255);
    Replay(43, 9, Pic, &Mask.P, 1, 0, 10, 250);
    int64_t G[3];
    for (int64_t& V : G)
        V = RoundOff(RandomGauss(0, 2.5) * 10);
    EXPECT_EQ(Pic.Rgb(0, 0), (RGB{Weighted(255, Add(100, G[2]), 100), Weighted(255, Add(100, G[1]), 100),
                                  Weighted(255, Add(100, G[0]), 100)}));
    // A masked-out pixel draws nothing: the next pixel gets the first draw.
    TPic Grey(3, 1, 8), Part(2, 1, 8, 1, 0);
    Grey.Fill(100);
    Part.Set(1, 0, 128);
    Replay(77, 9, Grey, &Part.P, 0, 1, 50, 0);
    const int D = RandomInt(101) - 50;
    EXPECT_EQ(Grey.Bytes(), (std::vector<uint8_t>{100, 100, uint8_t(Weighted(128, 100 + D, 100)), 100}));
    // Size 1000: impulse noise, every touched byte 0 or 255; one draw per
    // pixel without the colour flag.
    TPic Big(20, 10, 24);
    Big.Fill(128);
    RandomSeed = 3;
    EXPECT_EQ(RecPictureFilter(9, Big.P, nullptr, 0, 0, 1000, 100), 0);
    int Whites = 0;
    for (int Y = 0; Y < 10; ++Y)
        for (int X = 0; X < 20; ++X) {
            const RGB C = Big.Rgb(X, Y);
            EXPECT_TRUE((C[0] == 0 || C[0] == 255) && C[0] == C[1] && C[0] == C[2]) << X << "," << Y;
            Whites += C[0] == 255;
        }
    EXPECT_GT(Whites, 50);
    EXPECT_LT(Whites, 150);
    RandomSeed = 3;
    EXPECT_EQ(Big.Get(0, 0), RandomInt(2) ? 255 : 0);
}
