#include "raster/lighting.h"

#include "foundation/numbers.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

// A zero-filled picture record that frees itself, addressed in page coordinates.
struct TPic {
    TrecPicture P;
    TRect R;
    TPic(int32_t L, int32_t T, int32_t W, int32_t H, int32_t Bits)
    {
        RecPictureCreate(P, TPoint{L, T}, W, H, Bits, false);
        RecPictureGetRect(P, R);
        std::memset(P.pBits, 0, size_t(RecPictureGetImageSize(P)));
    }
    ~TPic() { RecPictureClear(P); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    uint8_t* At(int32_t X, int32_t Y) { return RecPictureGetPixelPtr(P, X, Y); }
    void Set(int32_t X, int32_t Y, uint8_t B, uint8_t G, uint8_t Rd)
    {
        std::copy_n(std::array{B, G, Rd}.data(), 3, At(X, Y));
    }
    void Fill(uint8_t B, uint8_t G, uint8_t Rd) { Plane([=](int32_t, int32_t) { return Rd << 16 | G << 8 | B; }); }
    // Fills the picture from a function of the page point (for 24 bits 0xRRGGBB).
    template <class F>
    void Plane(F Fn)
    {
        const int32_t Bytes = RecPictureHeader(P)->biBitCount / 8;
        for (int32_t Y = R.Top; Y <= R.Bottom; ++Y)
            for (int32_t X = R.Left; X <= R.Right; ++X)
                for (int32_t K = 0; K < Bytes; ++K)
                    At(X, Y)[K] = uint8_t(uint32_t(Fn(X, Y)) >> (8 * K));
    }
    std::vector<uint8_t> Bytes()
    {
        std::vector<uint8_t> V;
        for (int32_t Y = R.Top; Y <= R.Bottom; ++Y)
            V.insert(V.end(), At(R.Left, Y), At(R.Left, Y) + 3 * (R.Right - R.Left + 1));
        return V;
    }
};

TrecLightUnion Light(uint8_t Kind, uint8_t C0, uint8_t C1, uint8_t C2, int32_t I,
                     std::initializer_list<double> Shape = {})
{
    TrecLightUnion L{"", {C0, C1, C2}, I, Kind};
    std::copy(Shape.begin(), Shape.end(), L.Shape);
    return L;
}

// The straight-down parallel light used by several tests.
const TrecLightUnion Down = Light(LightKindParallel, 50, 50, 50, 50, {0.3, 0.3, 0.3, 0.3});

// A picture of one surface colour (blue 200, green 100, red 7) lit by Set.
void Lit(TPic& Pic, const TLightsAmb& Set, const TrecPicture* Bump = nullptr, const TrecPicture* Mask = nullptr)
{
    Pic.Fill(200, 100, 7);
    ASSERT_EQ(RecPictureLight(Pic.P, Mask, &Set, Bump, nullptr, 0, nullptr, nullptr), 0);
}

void ExpectPixel(TPic& Pic, int32_t X, int32_t Y, int B, int G, int R)
{
    const uint8_t* Px = Pic.At(X, Y);
    EXPECT_EQ((std::array<int, 3>{Px[0], Px[1], Px[2]}), (std::array{B, G, R})) << "at " << X << "," << Y;
}

} // namespace

TEST(Lighting, PixelsByHand)
{
    // Lit pictures of blue 200, green 100, red 7; sk is a surface byte.
    const TrecLightUnion Flat2 = Light(LightKindParallel, 50, 50, 50, 50, {0.0, 0.0, 0.5, 0.0});
    const TrecLightUnion Level = Light(LightKindParallel, 50, 50, 50, 50, {0.0, 0.0, 1.0, 0.0});
    const TrecLightUnion Point = Light(LightKindPoint, 50, 50, 50, 50, {0.5, 0.5, 0.8, 0.5});
    const TrecLightUnion Line = Light(LightKindLine, 255, 250, 255, 10, {0.2, 0.5, 0.4, 0.5});
    const TLightsAmb Mix{{Down}, {255, 0, 51}, 100, 5, 50};
    struct TCase {
        TLightsAmb Set;
        int32_t X, Y, B, G, R;
    };
    const TCase Cases[] = {
        // Ambient: Ak = 50 x 50 div 50 = 50, acc = sk x 50 div 256; Ak = (60, 15, 153).
        {TLightsAmb{{Light(LightKindAmbient, 50, 50, 50, 50)}}, 2, 1, 39, 19, 1},
        {TLightsAmb{{Light(LightKindAmbient, 100, 25, 255, 30)}}, 0, 0, 46, 5, 4},
        // Parallel, P1 = P2: straight down, Dk = 50 x 50 / 50 = 50. Ks = 0:
        // RoundOff(sk / 255 x 50). Ks = 100, M = 0: Sk = 1, rv = 1, P = 1:
        // RoundOff((sk / 255 + 1) x 50).
        {TLightsAmb{{Down}, {}, 0, 10}, 1, 1, 39, 20, 1},
        {TLightsAmb{{Down}, {}, 100, 10}, 3, 3, 89, 70, 51},
        // |P2 - P1| = 0.5: elevation pi/4, nl = rv = 0.7071, P = 0.5:
        // RoundOff((sk x 0.7071 / 255 + 0.5) x 50).
        {TLightsAmb{{Flat2}, {}, 100, 2}, 2, 2, 53, 39, 26},
        // Horizontal (|P2 - P1| >= 1): nl = rv = 0; P = 0 for Sh > 0 but 1 for Sh = 0.
        {TLightsAmb{{Level}, {}, 100, 2}, 2, 2, 0, 0, 0},
        {TLightsAmb{{Level}, {}, 100, 0}, 2, 2, 50, 50, 50},
        // The ambient colour tints highlights: Mk = 50 + c x 50 / 255 = 100, 50,
        // 60; Sk = Mk / 100: RoundOff((sk / 255 + Sk) x 50) = 89.2, 44.6, 31.4.
        {Mix, 0, 0, 89, 45, 31},
        // Point, Lp = (5, 5), second point (8, 5): q = 3; Dk = 50 x 50 x 3 x 801 / 50
        // = 120150. Under the light: L = (0, 0, 3), dist = 3 + 2400, nl = 1:
        // sk x 50 / 255. At (1, 2): |L| = sqrt 34, nl = 3 / sqrt 34:
        // 200 x 120150 x 0.5145 / 255 / 2405.83 = 20.15. Ks = 50: Sk = 60075,
        // P = nl^4 = 0.0701 adds 60075 x 0.0701 / 2405.83 = 1.75.
        {TLightsAmb{{Point}, {}, 0, 4}, 5, 5, 39, 20, 1},
        {TLightsAmb{{Point}, {}, 0, 4}, 1, 2, 20, 10, 1},
        {TLightsAmb{{Point}, {}, 50, 4}, 1, 2, 22, 12, 2},
        // Line from (2, 5) to (4, 5) at z = 400 x 0.2^2 = 16; Dk = c x 10 x 16.
        // Below it d2 = 256, nl = 1: sk x Dk / 255 / 256 = 125, 61.3, 4.4; the
        // line is unbounded, so also past its end. At (3, 1): d2 = 16 + 256,
        // nl = 16 / sqrt 272; at (3, 0): d2 = 25 + 256.
        {TLightsAmb{{Line}, {}, 0, 3}, 3, 5, 125, 61, 4},
        {TLightsAmb{{Line}, {}, 0, 3}, 10, 5, 125, 61, 4},
        {TLightsAmb{{Line}, {}, 0, 3}, 3, 1, 114, 56, 4},
        {TLightsAmb{{Line}, {}, 0, 3}, 3, 0, 109, 53, 4},
    };
    TPic Pic(0, 0, 11, 11, 24);
    for (const TCase& C : Cases) {
        SCOPED_TRACE(&C - Cases);
        Lit(Pic, C.Set);
        ExpectPixel(Pic, C.X, C.Y, C.B, C.G, C.R);
    }
    // No lights darken: (128 x 0 + 127 x old + 255) shr 8; a mask value of 0 leaves the pixel.
    TPic Mask(0, 0, 11, 11, 8);
    Mask.At(0, 0)[0] = 128;
    Lit(Pic, TLightsAmb{}, nullptr, &Mask.P);
    ExpectPixel(Pic, 0, 0, (127 * 200 + 255) >> 8, (127 * 100 + 255) >> 8, (127 * 7 + 255) >> 8);
    ExpectPixel(Pic, 1, 0, 200, 100, 7);
    Lit(Pic, TLightsAmb{});
    ExpectPixel(Pic, 1, 0, 0, 0, 0);
}

TEST(Lighting, NegativeLightDarkens)
{
    TPic Pic(0, 0, 11, 11, 24), Mask(0, 0, 11, 11, 8);
    TLightsAmb Set{{Light(LightKindAmbient, 255, 255, 255, 50)}, {}, 50, 4};
    Lit(Pic, Set);
    const std::vector<uint8_t> AmbientOnly = Pic.Bytes();
    ExpectPixel(Pic, 5, 5, 199, 99, 6); // sk x 255 div 256
    // Under the light only the highlight is taken away: |Sk| x P / dist =
    // 60075 / 2403 = 25; 6 - 25 is clamped to 0.
    Set.Lights.push_back(Light(LightKindPoint, 50, 50, 50, -50, {0.5, 0.5, 0.8, 0.5}));
    Lit(Pic, Set);
    ExpectPixel(Pic, 5, 5, 174, 74, 0);
    const std::vector<uint8_t> Darkened = Pic.Bytes();
    for (size_t I = 0; I < Darkened.size(); ++I)
        ASSERT_LE(Darkened[I], AmbientOnly[I]) << "byte " << I;
    // A negative parallel light: |Sk x P x Dk| = 0.5 x 1 x 50 = 25. With a
    // mask the unclamped accumulator is weighted, then clamped:
    // red (255 x -19 + 0 + 255) shr 8 = -19 -> 0.
    Set.Lights[1] = Light(LightKindParallel, 50, 50, 50, -50, {0.3, 0.3, 0.3, 0.3});
    Lit(Pic, Set);
    ExpectPixel(Pic, 2, 9, 174, 74, 0);
    Mask.Plane([](int32_t, int32_t) { return 255; });
    Lit(Pic, Set, nullptr, &Mask.P);
    ExpectPixel(Pic, 2, 9, 174, 74, 0);
}

namespace {

// The spot construction worked through by hand for centre (0.5, 0.5), axis
// direction 0, major radius 0.1 of the diagonal, minor 0.3 of the major,
// in the rectangle (0, 0, 100, 100).
struct THandSpot {
    double A, B, Theta, Alpha, Lf;
    TDPoint3D Apex, Axis;
};

THandSpot HandSpot()
{
    THandSpot S;
    const double Lm = std::sqrt(100.0 * 100 + 100.0 * 100) * 0.1; // 14.142
    // P0 = (50, 50), P1 = (50 + Lm, 50), P2 = (50 + Lm / 2, 50 + 0.3 Lm).
    S.A = Lm / 2;
    S.B = 0.3 * Lm;
    const double C = 2 * S.A, A4 = std::pow(S.A, 4);
    const double Bq = C * C * S.A * S.A - A4, Cq = -S.B * S.B * C * C;   // Bq = 3 a^4
    const double X = (std::sqrt(Bq * Bq - 4 * A4 * Cq) - Bq) / (2 * A4); // (sqrt(9 + 16 x 0.36) - 3) / 2
    S.Theta = std::acos(std::sqrt(X));
    const double T = std::sqrt(std::cos(S.Theta) * std::cos(S.Theta) * S.A * S.A - S.B * S.B) / S.A;
    S.Alpha = std::atan(T / std::sin(S.Theta));
    const double Ex = S.A * std::cos(S.Theta) - S.A * std::sin(S.Theta) * std::tan(S.Alpha);
    const double Ey = S.A * std::sin(S.Theta);
    const double R9 = std::sqrt(Ex * Ex + (Ey - C) * (Ey - C));
    const double E = std::sin(S.Theta - S.Alpha) * R9;
    // P0 - P1 = (-Lm, 0): the apex lies behind P0, away from P1; psi = ArcTan2(0, -Lm) = pi.
    S.Apex = TDPoint3D{50 - Lm * E / (2 * S.A), 50, std::cos(S.Theta - S.Alpha) * R9};
    S.Axis = TDPoint3D{-std::sin(S.Theta), 0, std::cos(S.Theta)};
    // The line through (b - s, h) and (-b - s, -h) meets x = 0 at y = h - 2h (b - s) / (2b).
    const double Sv = S.A * std::sin(S.Theta) * std::tan(S.Alpha), H = S.A * std::sin(S.Theta);
    S.Lf = C - std::nearbyint(H - 2 * H * (S.B - Sv) / (2 * S.B));
    return S;
}

} // namespace

TEST(Lighting, SpotConeAndLight)
{
    const THandSpot H = HandSpot();
    EXPECT_NEAR(H.Theta, 0.86479, 1e-5);
    EXPECT_NEAR(H.Alpha, 0.31369, 1e-5);
    // The rectangle's top-left moves the apex, nothing else.
    for (TPoint D : {TPoint{0, 0}, TPoint{-30, 40}}) {
        TSpotCone Cone;
        ASSERT_TRUE(SubSpot(Light(LightKindSpot, 0, 0, 0, 5, {0.5, 0.5, 0.0, 0.1, 0.3, 0.05}),
                            TRect{D.X, D.Y, D.X + 100, D.Y + 100}, Cone));
        const double Got[8] = {Cone.Apex.X - D.X, Cone.Apex.Y - D.Y, Cone.Apex.Z, Cone.Axis.X, Cone.Axis.Y, Cone.Axis.Z,
                               Cone.Cone, Cone.Lf};
        const double Want[8] = {H.Apex.X, H.Apex.Y, H.Apex.Z, H.Axis.X, H.Axis.Y, H.Axis.Z, H.Alpha, H.Lf};
        for (int I = 0; I < 8; ++I)
            EXPECT_NEAR(Got[I], Want[I], 1e-9) << I;
    }
    // Lit by that spot.
    const double S = 0.05;
    TPic Pic(0, 0, 101, 101, 24);
    Lit(Pic, TLightsAmb{{Light(LightKindSpot, 255, 255, 255, 5, {0.5, 0.5, 0.0, 0.1, 0.3, S})}, {}, 20, 2});
    const double Dk = 255.0 * 5 * H.Lf, Sk = 100.0 * 20 * Dk / 100 / 100;
    // Flat surface: nl = L.z and rv = 2 nl - L.z = L.z.
    auto Expected = [&](int32_t X, int32_t Y, double Sk8, const char* Zone) {
        double L[3] = {H.Apex.X - X, H.Apex.Y - Y, H.Apex.Z};
        const double Dist = std::sqrt(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]);
        for (double& V : L)
            V /= Dist;
        const double G = std::acos(L[0] * H.Axis.X + L[1] * H.Axis.Y + L[2] * H.Axis.Z);
        double A = 0.05 / Dist;
        EXPECT_STREQ(Zone, G >= H.Alpha + S ? "out" : G > H.Alpha - S ? "soft" : "in");
        if (G >= H.Alpha + S)
            return 0.0;
        if (G > H.Alpha - S)
            A *= (std::cos(Pi * (G - (H.Alpha - S)) / S / 2) + 1) / 2;
        return double(RoundOff((Sk8 * Dk * L[2] / 255 + Sk * L[2] * L[2]) * A));
    };
    struct {
        int32_t X, Y;
        const char* Zone;
    } Points[] = {{57, 50, "in"}, {60, 50, "in"}, {64, 50, "soft"}, {70, 50, "out"}, {0, 0, "out"}};
    for (const auto& P : Points)
        ExpectPixel(Pic, P.X, P.Y, int(Expected(P.X, P.Y, 200, P.Zone)), int(Expected(P.X, P.Y, 100, P.Zone)),
                    int(Expected(P.X, P.Y, 7, P.Zone)));
    EXPECT_GT(Pic.At(57, 50)[0], 20); // the lit ellipse is really lit
}

TEST(Lighting, DegenerateLightsAddNothing)
{
    TPic Pic(0, 0, 11, 11, 24);
    TLightsAmb Set{{Light(LightKindAmbient, 255, 255, 255, 50)}, {}, 100, 0}; // P = 1 wherever computed
    Lit(Pic, Set);
    const std::vector<uint8_t> AmbientOnly = Pic.Bytes();
    // A point light whose two points coincide has no reach (q = 0) and stands
    // exactly on pixel (5, 5): that pixel, like all others, gets nothing.
    Set.Lights.push_back(Light(LightKindPoint, 255, 255, 255, 100, {0.5, 0.5, 0.5, 0.5}));
    Lit(Pic, Set);
    EXPECT_EQ(Pic.Bytes(), AmbientOnly);
    // A spot of zero size, or in a one-point rectangle, has no cone: it
    // lights nothing, also under its centre.
    TSpotCone Cone;
    const TrecLightUnion Spot = Light(LightKindSpot, 255, 255, 255, 100, {0.5, 0.5, 0.3, 0.0, 0.5, 0.1});
    EXPECT_FALSE(SubSpot(Spot, TRect{0, 0, 10, 10}, Cone));
    EXPECT_FALSE(SubSpot(Light(LightKindSpot, 255, 255, 255, 100, {0.5, 0.5, 0.3, 0.2, 0.5, 0.1}), TRect{5, 5, 5, 5},
                         Cone));
    Set.Lights[1] = Spot;
    Lit(Pic, Set);
    EXPECT_EQ(Pic.Bytes(), AmbientOnly);
    // A thin spot stays finite.
    ASSERT_TRUE(SubSpot(Light(LightKindSpot, 0, 0, 0, 1, {0.5, 0.5, 0.0, 0.4, 0.0, 0.0}), TRect{0, 0, 100000, 100000},
                        Cone));
    EXPECT_TRUE(std::isfinite(Cone.Cone) && std::isfinite(Cone.Apex.Z) && std::isfinite(Cone.Lf));
}

TEST(Lighting, BumpNormalAndPartlyCoveringBumps)
{
    // Light straight down: a flat bump (N = (0, 0, 1)) gives sk x 50 / 255,
    // a 45-degree slope nl = 0.7071, rv = 0: RoundOff(sk x 0.7071 / 255 x 50).
    TPic Pic(0, 0, 8, 6, 24), Flat(0, 0, 8, 6, 8), Ramp(0, 0, 8, 6, 8), Ramp16(0, 0, 8, 6, 16), Wide(-2, -2, 12, 10, 8);
    const TLightsAmb Set{.Lights = {Down}, .Dp = 50};
    Flat.Plane([](int32_t, int32_t) { return 77; });
    Lit(Pic, Set);
    const std::vector<uint8_t> NoBump = Pic.Bytes();
    Lit(Pic, Set, &Flat.P);
    EXPECT_EQ(Pic.Bytes(), NoBump);
    // A ramp of 10 per column: dz1 = 20 x 50 / 500 = 2, d1 = d2 = 2: N = (-4, 0, 4) / |..|;
    // at the edges hl = h0, d1 = 1, dz1 = 1: the same direction.
    Ramp.Plane([](int32_t X, int32_t) { return 10 * X; });
    Lit(Pic, Set, &Ramp.P);
    for (TPoint Q : {TPoint{3, 2}, TPoint{0, 0}, TPoint{7, 5}})
        ExpectPixel(Pic, Q.X, Q.Y, 28, 14, 1);
    // 16-bit samples: the z parts are further divided by 256.
    Ramp16.Plane([](int32_t, int32_t Y) { return 2560 * Y; });
    Lit(Pic, Set, &Ramp16.P);
    ExpectPixel(Pic, 3, 2, 28, 14, 1);
    // A bump picture larger than the area is read beyond the area's edges:
    // h = X^2 at X = 0 uses hl = h(-1) = 1, hr = h(1) = 1: flat.
    Wide.Plane([](int32_t X, int32_t) { return X * X; });
    Lit(Pic, Set, &Wide.P);
    ExpectPixel(Pic, 0, 3, 39, 20, 1);
    // Area and bump one column wide: both sides clamp to h0, d1 would be 0
    // and the normal the zero vector; it stays (0, 0, 1) in x.
    TPic Thin(0, 0, 1, 5, 24), Column(0, 0, 1, 5, 8);
    Column.Plane([](int32_t, int32_t) { return 9; });
    Lit(Thin, Set, &Column.P);
    ExpectPixel(Thin, 0, 2, 39, 20, 1);
    TPic Big(0, 0, 10, 10, 24), Bump(3, 0, 4, 10, 8), Bump2(-3, 5, 6, 20, 16), Far(50, 50, 4, 4, 8);
    // Columns 3..6 only, rising 10 per column. Outside the bump picture its
    // edge samples repeat: flat. At its left column hl is clamped to h0 with
    // d1 = 1: N = (-1 x 2, 0, 2), tilted 45 degrees.
    Bump.Plane([](int32_t X, int32_t) { return 10 * (X - 3); });
    Lit(Big, Set, &Bump.P);
    for (TPoint Q : {TPoint{0, 4}, TPoint{2, 4}, TPoint{8, 4}, TPoint{9, 9}})
        ExpectPixel(Big, Q.X, Q.Y, 39, 20, 1);
    for (TPoint Q : {TPoint{3, 4}, TPoint{4, 4}, TPoint{6, 4}})
        ExpectPixel(Big, Q.X, Q.Y, 28, 14, 1);
    // Offset in both directions, 16-bit, partly outside the picture.
    Bump2.Plane([](int32_t, int32_t Y) { return 2560 * Y; });
    Lit(Big, Set, &Bump2.P);
    ExpectPixel(Big, 1, 7, 28, 14, 1);
    ExpectPixel(Big, 1, 5, 28, 14, 1); // top row of the bump: ha = h0, d2 = 1
    ExpectPixel(Big, 1, 2, 39, 20, 1); // above it: flat
    ExpectPixel(Big, 8, 7, 28, 14, 1); // right of it: the edge column's slope
    // A bump picture that misses the area: 6, nothing changed.
    Big.Fill(1, 2, 3);
    EXPECT_EQ(RecPictureLight(Big.P, nullptr, &Set, &Far.P, nullptr, 0, nullptr, nullptr), 6);
    ExpectPixel(Big, 4, 4, 1, 2, 3);
}

TEST(Lighting, Reflection)
{
    TPic Pic(0, 0, 11, 11, 24), Mask(0, 0, 11, 11, 8), Refl(0, 0, 4, 4, 24);
    Mask.Plane([](int32_t, int32_t) { return 255; });
    Refl.Fill(10, 20, 30);
    Refl.Set(2, 2, 200, 120, 40);
    Refl.Set(1, 2, 100, 60, 20);
    const TLightsAmb Set;
    auto Run = [&](uint8_t Quality, const TrecPicture* M, int32_t R = 50) {
        Pic.Fill(200, 100, 7);
        ASSERT_EQ(RecPictureLight(Pic.P, M, &Set, nullptr, &Refl.P, R, nullptr, &Quality), 0);
    };
    // Centre pixel, flat: reflected vector (0, 0, 1), phi = 0: sample (2, 2).
    // R = 50 x 256 div 100 = 128; fast: byte x 128 shr 8; bilinear: v x
    // ((0 + 100 - 0) x 128 + 50) div 25600.
    Run(0, &Mask.P);
    ExpectPixel(Pic, 5, 5, 100, 60, 20);
    Run(1, &Mask.P);
    ExpectPixel(Pic, 5, 5, 200 * 12850 / 25600, 120 * 12850 / 25600, 40 * 12850 / 25600);
    // Pixel (0, 5): c = (5, 0, 20); reflected (-5, 0, 20) / sqrt 425: theta = pi,
    // phi = ArcCos(20 / sqrt 425) / (pi / 2); sx = 2 - 2 phi = 1.688, sy = 2.
    const double Fx = (2 - 2 * std::acos(20 / std::sqrt(425.0)) / (Pi / 2)) - 1;
    auto Bilinear = [&](int P1, int P2) {
        return int(int64_t(std::trunc((1 - Fx) * P1 + Fx * P2 + 0.5)) * 12850 / 25600);
    };
    ExpectPixel(Pic, 0, 5, Bilinear(100, 200), Bilinear(60, 120), Bilinear(20, 40));
    Run(0, &Mask.P); // RoundOff(1.688) = 2
    ExpectPixel(Pic, 0, 5, 100, 60, 20);
    // No mask, or reflectance 0: no reflection.
    Run(0, nullptr);
    ExpectPixel(Pic, 5, 5, 0, 0, 0);
    Run(0, &Mask.P, 0);
    ExpectPixel(Pic, 5, 5, 0, 0, 0);
}

TEST(Lighting, PlacementAndRefusedInput)
{
    // Lights are placed in the given rectangle, not in the area: Lp = (0, 0),
    // second point (6, 0), q = 6; under the light sk x 50 / 255 again.
    TPic Pic(0, 0, 11, 11, 24);
    const TLightsAmb Set{{Light(LightKindPoint, 50, 50, 50, 50, {0.5, 0.5, 0.8, 0.5})}};
    const TRect Rc{-10, -10, 10, 10};
    Pic.Fill(200, 100, 7);
    ASSERT_EQ(RecPictureLight(Pic.P, nullptr, &Set, nullptr, nullptr, 0, &Rc, nullptr), 0);
    ExpectPixel(Pic, 0, 0, 39, 20, 1);
    EXPECT_LT(Pic.At(5, 5)[0], 39);
    // 3 for a picture that is not 24-bit, no light set or a bump that is not 8 or 16 bits.
    TPic Grey(0, 0, 4, 4, 8), Small(0, 0, 4, 4, 24), Bump24(0, 0, 4, 4, 24), FarMask(10, 10, 4, 4, 8);
    TrecPicture Empty;
    EXPECT_EQ(RecPictureLight(Grey.P, nullptr, &Set, nullptr, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(RecPictureLight(Empty, nullptr, &Set, nullptr, nullptr, 0, nullptr, nullptr), 3);
    Small.Fill(1, 2, 3);
    EXPECT_EQ(RecPictureLight(Small.P, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr), 3);
    EXPECT_EQ(RecPictureLight(Small.P, nullptr, &Set, &Bump24.P, nullptr, 0, nullptr, nullptr), 3);
    // A mask that misses the picture: 0, nothing changed.
    EXPECT_EQ(RecPictureLight(Small.P, &FarMask.P, &Set, nullptr, nullptr, 0, nullptr, nullptr), 0);
    ExpectPixel(Small, 2, 2, 1, 2, 3);
}

TEST(Lighting, ThreadedRowsMatchOneThread)
{
    // A large picture is lit with its rows split over threads; lit tile by
    // tile (each too small to be split) it must come out byte for byte the same.
    constexpr int32_t W = 512, H = 512, TileH = 64;
    const TLightsAmb Set{{Light(LightKindAmbient, 40, 40, 40, 30),
                          Light(LightKindPoint, 255, 200, 100, 70, {0.3, 0.4, 0.5, 0.4}),
                          Light(LightKindParallel, 100, 255, 100, 30, {0.1, 0.1, 0.4, 0.3}),
                          Light(LightKindLine, 200, 200, 255, 20, {0.1, 0.8, 0.9, 0.7}),
                          Light(LightKindSpot, 255, 255, 255, 40, {0.6, 0.5, 0.7, 0.3, 0.5, 0.2}),
                          Light(LightKindPoint, 255, 255, 255, -60, {0.7, 0.2, 0.9, 0.2})},
                         {90, 200, 255}, 40, 7, 30, 60};
    TPic Bump(-1, -1, W + 2, H + 2, 8), Mask(0, 0, W, H, 8), Refl(0, 0, 37, 23, 24);
    Bump.Plane([](int32_t X, int32_t Y) { return (X * 7 + Y * 13 + X * Y / 5) & 255; });
    Mask.Plane([](int32_t X, int32_t Y) { return (X + 3 * Y) % 256; });
    for (int32_t Y = 0; Y < 23; ++Y)
        for (int32_t X = 0; X < 37; ++X)
            Refl.Set(X, Y, uint8_t(X * 7), uint8_t(Y * 11), uint8_t(X * Y));
    const TRect Rc{0, 0, W - 1, H - 1};
    const uint8_t Quality = 1;
    auto Run = [&](int32_t Top, int32_t Height) {
        TPic P(0, Top, W, Height, 24);
        for (int32_t Y = Top; Y < Top + Height; ++Y)
            for (int32_t X = 0; X < W; ++X)
                P.Set(X, Y, uint8_t(X), uint8_t(Y), uint8_t(X ^ Y));
        EXPECT_EQ(RecPictureLight(P.P, &Mask.P, &Set, &Bump.P, &Refl.P, 60, &Rc, &Quality), 0);
        return P.Bytes();
    };
    const std::vector<uint8_t> Threaded = Run(0, H);
    std::vector<uint8_t> Tiled;
    for (int32_t Top = 0; Top < H; Top += TileH) {
        const std::vector<uint8_t> B = Run(Top, TileH);
        Tiled.insert(Tiled.end(), B.begin(), B.end());
    }
    EXPECT_TRUE(Threaded == Tiled);
    EXPECT_NE(Threaded[3 * (100 * W + 100)], 100); // the lights did something
}
