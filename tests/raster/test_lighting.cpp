#include "raster/lighting.h"

#include "foundation/numbers.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

class TPic {
public:
    TPic(int32_t L, int32_t T, int32_t W, int32_t H, int32_t Bits)
    {
        RecPictureCreate(P, TPoint{L, T}, W, H, Bits, false);
        RecPictureGetRect(P, R);
        for (int32_t Y = R.Top; Y <= R.Bottom; ++Y)
            std::memset(At(R.Left, Y), 0, static_cast<size_t>(W) * (Bits / 8));
    }
    ~TPic() { RecPictureClear(P); }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;

    uint8_t* At(int32_t X, int32_t Y) { return RecPictureGetPixelPtr(P, X, Y); }
    void Fill(uint8_t B, uint8_t G, uint8_t Rd)
    {
        for (int32_t Y = R.Top; Y <= R.Bottom; ++Y)
            for (int32_t X = R.Left; X <= R.Right; ++X)
                Set(X, Y, B, G, Rd);
    }
    void Set(int32_t X, int32_t Y, uint8_t B, uint8_t G, uint8_t Rd)
    {
        uint8_t* Px = At(X, Y);
        Px[0] = B;
        Px[1] = G;
        Px[2] = Rd;
    }
    // Fills an 8- or 16-bit plane from a function of the page point.
    template <class F> void Plane(F Fn)
    {
        const int32_t Bytes = RecPictureHeader(P)->biBitCount / 8;
        for (int32_t Y = R.Top; Y <= R.Bottom; ++Y)
            for (int32_t X = R.Left; X <= R.Right; ++X) {
                const uint32_t V = Fn(X, Y);
                uint8_t* Px = At(X, Y);
                Px[0] = static_cast<uint8_t>(V);
                if (Bytes == 2)
                    Px[1] = static_cast<uint8_t>(V >> 8);
            }
    }
    std::vector<uint8_t> Bytes()
    {
        std::vector<uint8_t> V;
        for (int32_t Y = R.Top; Y <= R.Bottom; ++Y)
            for (int32_t X = R.Left; X <= R.Right; ++X)
                for (int K = 0; K < 3; ++K)
                    V.push_back(At(X, Y)[K]);
        return V;
    }

    TrecPicture P;
    TRect R;
};

TrecLightUnion Light(uint8_t Kind, uint8_t C0, uint8_t C1, uint8_t C2, int32_t I,
                     std::initializer_list<double> Shape = {})
{
    TrecLightUnion L;
    L.Kind = Kind;
    L.Color[0] = C0;
    L.Color[1] = C1;
    L.Color[2] = C2;
    L.Intensity = I;
    int N = 0;
    for (double V : Shape)
        L.Shape[N++] = V;
    return L;
}

// A picture of one surface colour (blue 200, green 100, red 7) lit by Set.
void Lit(TPic& Pic, const TLightsAmb& Set, const TrecPicture* Bump = nullptr,
         const TrecPicture* Mask = nullptr)
{
    Pic.Fill(200, 100, 7);
    ASSERT_EQ(RecPictureLight(Pic.P, Mask, &Set, Bump, nullptr, 0, nullptr, nullptr), 0);
}

void ExpectPixel(TPic& Pic, int32_t X, int32_t Y, int B, int G, int R)
{
    const uint8_t* Px = Pic.At(X, Y);
    EXPECT_EQ(Px[0], B) << "at " << X << "," << Y;
    EXPECT_EQ(Px[1], G) << "at " << X << "," << Y;
    EXPECT_EQ(Px[2], R) << "at " << X << "," << Y;
}

} // namespace

TEST(Lighting, AmbientLight)
{
    TPic Pic(0, 0, 3, 2, 24);
    TLightsAmb Set;
    Set.Lights.push_back(Light(LightKindAmbient, 50, 50, 50, 50));
    Lit(Pic, Set);
    // Ak = 50 x 50 div 50 = 50; acc = sk x 50 div 256.
    ExpectPixel(Pic, 2, 1, 39, 19, 1);

    Set.Lights[0] = Light(LightKindAmbient, 100, 25, 255, 30);
    Lit(Pic, Set);
    // Ak = (60, 15, 153): 200 x 60 div 256 = 46, 100 x 15 div 256 = 5, 7 x 153 div 256 = 4.
    ExpectPixel(Pic, 0, 0, 46, 5, 4);
}

TEST(Lighting, EmptySetDarkens)
{
    TPic Pic(0, 0, 2, 1, 24);
    TPic Mask(0, 0, 2, 1, 8);
    Mask.At(0, 0)[0] = 128;
    Mask.At(1, 0)[0] = 0;
    TLightsAmb Set;
    Lit(Pic, Set, nullptr, &Mask.P);
    // (128 x 0 + 127 x old + 255) shr 8; a mask value of 0 leaves the pixel.
    ExpectPixel(Pic, 0, 0, (127 * 200 + 255) >> 8, (127 * 100 + 255) >> 8, (127 * 7 + 255) >> 8);
    ExpectPixel(Pic, 1, 0, 200, 100, 7);
    Lit(Pic, Set);
    ExpectPixel(Pic, 1, 0, 0, 0, 0);
}

TEST(Lighting, ParallelLight)
{
    TPic Pic(10, 20, 4, 4, 24);
    TLightsAmb Set;
    // P1 = P2: straight down, L = (0, 0, 1); Dk = 50 x 50 / 50 = 50.
    Set.Lights.push_back(Light(LightKindParallel, 50, 50, 50, 50, {0.3, 0.3, 0.3, 0.3}));
    Set.Sh = 10;
    Lit(Pic, Set);
    // Ks = 0: RoundOff(sk / 255 x 50): 39.2, 19.6, 1.37.
    ExpectPixel(Pic, 11, 21, 39, 20, 1);

    // Ks = 100, M = 0: Sk = 100 x 100 / 100 / 100 = 1; rv = 1, P = 1.
    Set.Ks = 100;
    Lit(Pic, Set);
    ExpectPixel(Pic, 13, 23, 89, 70, 51); // RoundOff((sk / 255 + 1) x 50)

    // |P2 - P1| = 0.5: elevation pi/4, L = (cos 45, 0, sin 45); nl = rv = 0.7071, P = 0.5.
    Set.Sh = 2;
    Set.Lights[0] = Light(LightKindParallel, 50, 50, 50, 50, {0.0, 0.0, 0.5, 0.0});
    Lit(Pic, Set);
    ExpectPixel(Pic, 12, 22, 53, 39, 26); // RoundOff((sk x 0.7071 / 255 + 0.5) x 50)

    // Horizontal light (|P2 - P1| >= 1): nl = rv = 0; P = 0 for Sh > 0 but 1 for Sh = 0.
    Set.Lights[0] = Light(LightKindParallel, 50, 50, 50, 50, {0.0, 0.0, 1.0, 0.0});
    Lit(Pic, Set);
    ExpectPixel(Pic, 12, 22, 0, 0, 0);
    Set.Sh = 0;
    Lit(Pic, Set);
    ExpectPixel(Pic, 12, 22, 50, 50, 50);
}

TEST(Lighting, MixTintsHighlights)
{
    TPic Pic(0, 0, 1, 1, 24);
    TLightsAmb Set;
    Set.Lights.push_back(Light(LightKindParallel, 50, 50, 50, 50, {0.3, 0.3, 0.3, 0.3}));
    Set.Ks = 100;
    Set.Sh = 5;
    Set.M = 50;
    Set.Color[0] = 255;
    Set.Color[1] = 0;
    Set.Color[2] = 51;
    Lit(Pic, Set);
    // Mk = 50 + c x 50 / 255 = 100, 50, 60; Sk = Mk / 100; acc = RoundOff((sk / 255 + Sk) x 50).
    ExpectPixel(Pic, 0, 0, 89, 45, 31); // 89.2, 44.6, 31.4
}

TEST(Lighting, PointLight)
{
    TPic Pic(0, 0, 11, 11, 24);
    TLightsAmb Set;
    // Lp = (5, 5), second point (8, 5): q = 3; Dk = 50 x 50 x 3 x 801 / 50 = 120150.
    Set.Lights.push_back(Light(LightKindPoint, 50, 50, 50, 50, {0.5, 0.5, 0.8, 0.5}));
    Set.Sh = 4;
    Lit(Pic, Set);
    // Under the light: L = (0, 0, 3), dist = 3 + 2400, nl = 1: sk x 120150 / 255 / 2403 = sk x 50 / 255.
    ExpectPixel(Pic, 5, 5, 39, 20, 1);
    // At (1, 2): L = (4, 3, 3), |L| = sqrt 34, dist = sqrt 34 + 2400, nl = 3 / sqrt 34:
    // 200 x 120150 x 0.5145 / 255 / 2405.83 = 20.15.
    ExpectPixel(Pic, 1, 2, 20, 10, 1);

    // Ks = 50, M = 0: Sk = 100 x 50 x 120150 / 10^4 = 60075; rv = nl, P = nl^4 = 0.0701:
    // adds 60075 x 0.0701 / 2405.83 = 1.75.
    Set.Ks = 50;
    Lit(Pic, Set);
    ExpectPixel(Pic, 1, 2, 22, 12, 2);
}

TEST(Lighting, NegativeLightDarkens)
{
    TPic Pic(0, 0, 11, 11, 24);
    TLightsAmb Set;
    Set.Lights.push_back(Light(LightKindAmbient, 255, 255, 255, 50));
    Set.Ks = 50;
    Set.Sh = 4;
    Lit(Pic, Set);
    const std::vector<uint8_t> AmbientOnly = Pic.Bytes();
    ExpectPixel(Pic, 5, 5, 199, 99, 6); // sk x 255 div 256

    Set.Lights.push_back(Light(LightKindPoint, 50, 50, 50, -50, {0.5, 0.5, 0.8, 0.5}));
    Lit(Pic, Set);
    // Under the light only the highlight is taken away: |Sk| x P / dist = 60075 / 2403 = 25;
    // 6 - 25 is clamped to 0.
    ExpectPixel(Pic, 5, 5, 174, 74, 0);
    const std::vector<uint8_t> Darkened = Pic.Bytes();
    for (size_t I = 0; I < Darkened.size(); ++I)
        ASSERT_LE(Darkened[I], AmbientOnly[I]) << "byte " << I;

    // A negative parallel light: |Sk x P x Dk| = 0.5 x 1 x 50 = 25.
    Set.Lights[1] = Light(LightKindParallel, 50, 50, 50, -50, {0.3, 0.3, 0.3, 0.3});
    Lit(Pic, Set);
    ExpectPixel(Pic, 2, 9, 174, 74, 0);
    // With a mask the unclamped accumulator is weighted, then clamped:
    // red: (255 x -19 + 0 + 255) shr 8 = -19 -> 0.
    TPic Mask(0, 0, 11, 11, 8);
    Mask.Plane([](int32_t, int32_t) { return 255; });
    Lit(Pic, Set, nullptr, &Mask.P);
    ExpectPixel(Pic, 2, 9, 174, 74, 0);
}

TEST(Lighting, LineLight)
{
    TPic Pic(0, 0, 11, 11, 24);
    TLightsAmb Set;
    // From (2, 5) to (4, 5) at z = 400 x 0.2^2 = 16; Dk = c x 10 x 16 = 40800, 40000, 40800.
    Set.Lights.push_back(Light(LightKindLine, 255, 250, 255, 10, {0.2, 0.5, 0.4, 0.5}));
    Set.Sh = 3;
    Lit(Pic, Set);
    // Straight below the line: d2 = 256, nl = 1: sk x Dk / 255 / 256 = 125, 61.3, 4.4.
    ExpectPixel(Pic, 3, 5, 125, 61, 4);
    // The line is unbounded: past its end the foot is (10, 5, 16), the same light.
    ExpectPixel(Pic, 10, 5, 125, 61, 4);
    // At (3, 1): d2 = 16 + 256, nl = 16 / sqrt 272: 114.1, 55.9, 3.99.
    ExpectPixel(Pic, 3, 1, 114, 56, 4);
    // At (3, 0): d2 = 25 + 256, nl = 16 / sqrt 281: 108.7, 53.3, 3.8.
    ExpectPixel(Pic, 3, 0, 109, 53, 4);
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
    const double C = 2 * S.A;
    const double A4 = std::pow(S.A, 4);
    const double Bq = C * C * S.A * S.A - A4; // 3 a^4
    const double Cq = -S.B * S.B * C * C;
    const double X = (std::sqrt(Bq * Bq - 4 * A4 * Cq) - Bq) / (2 * A4); // (sqrt(9 + 16 x 0.36) - 3) / 2
    S.Theta = std::acos(std::sqrt(X));
    const double T = std::sqrt(std::cos(S.Theta) * std::cos(S.Theta) * S.A * S.A - S.B * S.B) / S.A;
    S.Alpha = std::atan(T / std::sin(S.Theta));
    const double Ex = S.A * std::cos(S.Theta) - S.A * std::sin(S.Theta) * std::tan(S.Alpha);
    const double Ey = S.A * std::sin(S.Theta);
    const double R9 = std::sqrt(Ex * Ex + (Ey - C) * (Ey - C));
    const double E = std::sin(S.Theta - S.Alpha) * R9;
    // P0 - P1 = (-Lm, 0): the apex lies behind P0, away from P1.
    S.Apex = TDPoint3D{50 - Lm * E / (2 * S.A), 50, std::cos(S.Theta - S.Alpha) * R9};
    // psi = ArcTan2(0, -Lm) = pi.
    S.Axis = TDPoint3D{-std::sin(S.Theta), 0, std::cos(S.Theta)};
    // The line through (b - s, h) and (-b - s, -h) meets x = 0 at y = h - 2h (b - s) / (2b).
    const double Sv = S.A * std::sin(S.Theta) * std::tan(S.Alpha);
    const double H = S.A * std::sin(S.Theta);
    const double Y = H - 2 * H * (S.B - Sv) / (2 * S.B);
    S.Lf = C - std::nearbyint(Y);
    return S;
}

} // namespace

TEST(Lighting, SpotCone)
{
    const THandSpot H = HandSpot();
    EXPECT_NEAR(H.Theta, 0.86479, 1e-5);
    EXPECT_NEAR(H.Alpha, 0.31369, 1e-5);
    TSpotCone Cone;
    ASSERT_TRUE(SubSpot(Light(LightKindSpot, 0, 0, 0, 5, {0.5, 0.5, 0.0, 0.1, 0.3, 0.05}),
                        TRect{0, 0, 100, 100}, Cone));
    EXPECT_NEAR(Cone.Apex.X, H.Apex.X, 1e-9);
    EXPECT_NEAR(Cone.Apex.Y, H.Apex.Y, 1e-9);
    EXPECT_NEAR(Cone.Apex.Z, H.Apex.Z, 1e-9);
    EXPECT_NEAR(Cone.Axis.X, H.Axis.X, 1e-12);
    EXPECT_NEAR(Cone.Axis.Y, H.Axis.Y, 1e-12);
    EXPECT_NEAR(Cone.Axis.Z, H.Axis.Z, 1e-12);
    EXPECT_NEAR(Cone.Cone, H.Alpha, 1e-12);
    EXPECT_NEAR(Cone.Lf, H.Lf, 1e-9);

    // The rectangle's top-left moves the apex, nothing else.
    TSpotCone Moved;
    ASSERT_TRUE(SubSpot(Light(LightKindSpot, 0, 0, 0, 5, {0.5, 0.5, 0.0, 0.1, 0.3, 0.05}),
                        TRect{-30, 40, 70, 140}, Moved));
    EXPECT_NEAR(Moved.Apex.X, H.Apex.X - 30, 1e-9);
    EXPECT_NEAR(Moved.Apex.Y, H.Apex.Y + 40, 1e-9);
    EXPECT_NEAR(Moved.Lf, H.Lf, 1e-9);
}

TEST(Lighting, SpotLight)
{
    const THandSpot H = HandSpot();
    const double S = 0.05;
    TPic Pic(0, 0, 101, 101, 24);
    TLightsAmb Set;
    Set.Lights.push_back(Light(LightKindSpot, 255, 255, 255, 5, {0.5, 0.5, 0.0, 0.1, 0.3, S}));
    Set.Ks = 20;
    Set.Sh = 2;
    Lit(Pic, Set);
    const double Dk = 255.0 * 5 * H.Lf;
    const double Sk = 100.0 * 20 * Dk / 100 / 100;
    // Flat surface: nl = L.z and rv = 2 nl - L.z = L.z.
    auto Expected = [&](int32_t X, int32_t Y, double Sk8, const char* Zone) {
        double L[3] = {H.Apex.X - X, H.Apex.Y - Y, H.Apex.Z};
        const double Dist = std::sqrt(L[0] * L[0] + L[1] * L[1] + L[2] * L[2]);
        for (double& V : L)
            V /= Dist;
        const double G = std::acos(L[0] * H.Axis.X + L[1] * H.Axis.Y + L[2] * H.Axis.Z);
        double A = 0.05 / Dist;
        if (G >= H.Alpha + S) {
            EXPECT_STREQ(Zone, "out");
            return 0.0;
        }
        if (G > H.Alpha - S) {
            EXPECT_STREQ(Zone, "soft");
            A *= (std::cos(Pi * (G - (H.Alpha - S)) / S / 2) + 1) / 2;
        } else {
            EXPECT_STREQ(Zone, "in");
        }
        return static_cast<double>(RoundOff((Sk8 * Dk * L[2] / 255 + Sk * L[2] * L[2]) * A));
    };
    struct {
        int32_t X, Y;
        const char* Zone;
    } Points[] = {{57, 50, "in"}, {60, 50, "in"}, {64, 50, "soft"}, {70, 50, "out"}, {0, 0, "out"}};
    for (const auto& P : Points) {
        const uint8_t* Px = Pic.At(P.X, P.Y);
        EXPECT_EQ(Px[0], Expected(P.X, P.Y, 200, P.Zone)) << P.X << "," << P.Y;
        EXPECT_EQ(Px[1], Expected(P.X, P.Y, 100, P.Zone)) << P.X << "," << P.Y;
        EXPECT_EQ(Px[2], Expected(P.X, P.Y, 7, P.Zone)) << P.X << "," << P.Y;
    }
    EXPECT_GT(Pic.At(57, 50)[0], 20); // the lit ellipse is really lit
}

TEST(Lighting, DegenerateLightsAddNothing)
{
    TPic Pic(0, 0, 11, 11, 24);
    TLightsAmb Set;
    Set.Ks = 100;
    Set.Sh = 0; // P = 1 wherever a highlight term is computed
    Set.Lights.push_back(Light(LightKindAmbient, 255, 255, 255, 50));
    Lit(Pic, Set);
    const std::vector<uint8_t> AmbientOnly = Pic.Bytes();

    // A point light whose two points coincide has no reach (q = 0) and stands
    // exactly on pixel (5, 5): that pixel, like all others, gets nothing.
    Set.Lights.push_back(Light(LightKindPoint, 255, 255, 255, 100, {0.5, 0.5, 0.5, 0.5}));
    Lit(Pic, Set);
    EXPECT_EQ(Pic.Bytes(), AmbientOnly);

    // A spot of zero size has no cone: it lights nothing, also under its centre.
    TSpotCone Cone;
    const TrecLightUnion Spot = Light(LightKindSpot, 255, 255, 255, 100, {0.5, 0.5, 0.3, 0.0, 0.5, 0.1});
    EXPECT_FALSE(SubSpot(Spot, TRect{0, 0, 10, 10}, Cone));
    // A spot in a one-point rectangle (zero diagonal) likewise.
    EXPECT_FALSE(SubSpot(Light(LightKindSpot, 255, 255, 255, 100, {0.5, 0.5, 0.3, 0.2, 0.5, 0.1}),
                         TRect{5, 5, 5, 5}, Cone));
    Set.Lights[1] = Spot;
    Lit(Pic, Set);
    EXPECT_EQ(Pic.Bytes(), AmbientOnly);

    // A thin spot stays finite.
    ASSERT_TRUE(SubSpot(Light(LightKindSpot, 0, 0, 0, 1, {0.5, 0.5, 0.0, 0.4, 0.0, 0.0}),
                        TRect{0, 0, 100000, 100000}, Cone));
    EXPECT_TRUE(std::isfinite(Cone.Cone) && std::isfinite(Cone.Apex.Z) && std::isfinite(Cone.Lf));
}

TEST(Lighting, BumpNormal)
{
    TPic Pic(0, 0, 8, 6, 24);
    TLightsAmb Set;
    Set.Dp = 50;
    Set.Lights.push_back(Light(LightKindParallel, 50, 50, 50, 50, {0.3, 0.3, 0.3, 0.3}));

    // A flat bump picture gives N = (0, 0, 1): the same as none.
    TPic Flat(0, 0, 8, 6, 8);
    Flat.Plane([](int32_t, int32_t) { return 77; });
    Lit(Pic, Set);
    const std::vector<uint8_t> NoBump = Pic.Bytes();
    Lit(Pic, Set, &Flat.P);
    EXPECT_EQ(Pic.Bytes(), NoBump);

    // A ramp of 10 per column: dz1 = 20 x 50 / 500 = 2, d1 = d2 = 2: N = (-4, 0, 4) / |..|;
    // at the left edge of both pictures hl = h0, d1 = 1, dz1 = 1: the same direction.
    // Light straight down: nl = 0.7071, rv = 0: RoundOff(sk x 0.7071 / 255 x 50).
    TPic Ramp(0, 0, 8, 6, 8);
    Ramp.Plane([](int32_t X, int32_t) { return 10 * X; });
    Lit(Pic, Set, &Ramp.P);
    ExpectPixel(Pic, 3, 2, 28, 14, 1);
    ExpectPixel(Pic, 0, 0, 28, 14, 1);
    ExpectPixel(Pic, 7, 5, 28, 14, 1);

    // 16-bit samples: the z parts are further divided by 256.
    TPic Ramp16(0, 0, 8, 6, 16);
    Ramp16.Plane([](int32_t, int32_t Y) { return 2560 * Y; });
    Lit(Pic, Set, &Ramp16.P);
    ExpectPixel(Pic, 3, 2, 28, 14, 1);

    // A bump picture larger than the area is read beyond the area's edges:
    // h = X^2 at X = 0 uses hl = h(-1) = 1, hr = h(1) = 1: flat.
    TPic Wide(-2, -2, 12, 10, 8);
    Wide.Plane([](int32_t X, int32_t) { return X * X; });
    Lit(Pic, Set, &Wide.P);
    ExpectPixel(Pic, 0, 3, 39, 20, 1);
}

TEST(Lighting, BumpPartlyCovering)
{
    TPic Pic(0, 0, 10, 10, 24);
    TLightsAmb Set;
    Set.Dp = 50;
    Set.Lights.push_back(Light(LightKindParallel, 50, 50, 50, 50, {0.3, 0.3, 0.3, 0.3}));
    // Columns 3..6 only, rising 10 per column.
    TPic Bump(3, 0, 4, 10, 8);
    Bump.Plane([](int32_t X, int32_t) { return 10 * (X - 3); });
    Lit(Pic, Set, &Bump.P);
    // Outside the bump picture its edge samples repeat: flat, sk x 50 / 255.
    ExpectPixel(Pic, 0, 4, 39, 20, 1);
    ExpectPixel(Pic, 2, 4, 39, 20, 1);
    ExpectPixel(Pic, 8, 4, 39, 20, 1);
    ExpectPixel(Pic, 9, 9, 39, 20, 1);
    // At its left column hl is clamped to h0 with d1 = 1: N = (-1 x 2, 0, 2), tilted 45 degrees.
    ExpectPixel(Pic, 3, 4, 28, 14, 1);
    ExpectPixel(Pic, 4, 4, 28, 14, 1);
    ExpectPixel(Pic, 6, 4, 28, 14, 1);

    // Also offset in both directions, 16-bit, partly outside the picture.
    TPic Bump2(-3, 5, 6, 20, 16);
    Bump2.Plane([](int32_t, int32_t Y) { return 2560 * Y; });
    Lit(Pic, Set, &Bump2.P);
    ExpectPixel(Pic, 1, 7, 28, 14, 1);
    ExpectPixel(Pic, 1, 5, 28, 14, 1); // top column of the bump: ha = h0, d2 = 1
    ExpectPixel(Pic, 1, 2, 39, 20, 1); // above it: flat
    ExpectPixel(Pic, 8, 7, 28, 14, 1); // right of it: the edge column's slope

    // A bump picture that misses the area: 6, nothing changed.
    TPic Far(50, 50, 4, 4, 8);
    Pic.Fill(1, 2, 3);
    EXPECT_EQ(RecPictureLight(Pic.P, nullptr, &Set, &Far.P, nullptr, 0, nullptr, nullptr), 6);
    ExpectPixel(Pic, 4, 4, 1, 2, 3);
}

TEST(Lighting, BumpOneColumnWide)
{
    // Area and bump one column wide: both sides clamp to h0, d1 would be 0 and
    // the normal the zero vector; it stays (0, 0, 1) in x.
    TPic Pic(0, 0, 1, 5, 24);
    TPic Bump(0, 0, 1, 5, 8);
    Bump.Plane([](int32_t, int32_t) { return 9; });
    TLightsAmb Set;
    Set.Dp = 50;
    Set.Lights.push_back(Light(LightKindParallel, 50, 50, 50, 50, {0.3, 0.3, 0.3, 0.3}));
    Lit(Pic, Set, &Bump.P);
    ExpectPixel(Pic, 0, 2, 39, 20, 1);
}

TEST(Lighting, Reflection)
{
    TPic Pic(0, 0, 11, 11, 24);
    TPic Mask(0, 0, 11, 11, 8);
    Mask.Plane([](int32_t, int32_t) { return 255; });
    TPic Refl(0, 0, 4, 4, 24);
    Refl.Fill(10, 20, 30);
    Refl.Set(2, 2, 200, 120, 40);
    Refl.Set(1, 2, 100, 60, 20);
    TLightsAmb Set;
    auto Run = [&](uint8_t Quality, const TrecPicture* M) {
        Pic.Fill(200, 100, 7);
        ASSERT_EQ(RecPictureLight(Pic.P, M, &Set, nullptr, &Refl.P, 50, nullptr, &Quality), 0);
    };
    // Centre pixel, flat: reflected vector (0, 0, 1), phi = 0: sample (cx, cy) = (2, 2).
    // R = 50 x 256 div 100 = 128; fast: byte x 128 shr 8.
    Run(0, &Mask.P);
    ExpectPixel(Pic, 5, 5, 100, 60, 20);
    // Bilinear: v = the sample; v x ((0 + 100 - 0) x 128 + 50) div 25600.
    Run(1, &Mask.P);
    ExpectPixel(Pic, 5, 5, 200 * 12850 / 25600, 120 * 12850 / 25600, 40 * 12850 / 25600);

    // Pixel (0, 5): c = (5, 0, 20); reflected (-5, 0, 20) / sqrt 425: theta = pi,
    // phi = ArcCos(20 / sqrt 425) / (pi / 2); sx = 2 - 2 phi = 1.688, sy = 2.
    const double Phi = std::acos(20 / std::sqrt(425.0)) / (Pi / 2);
    const double Fx = (2 - 2 * Phi) - 1;
    auto Bilinear = [&](int P1, int P2) {
        const int64_t V = static_cast<int64_t>(std::trunc((1 - Fx) * P1 + Fx * P2 + 0.5));
        return static_cast<int>(V * 12850 / 25600);
    };
    Run(1, &Mask.P);
    ExpectPixel(Pic, 0, 5, Bilinear(100, 200), Bilinear(60, 120), Bilinear(20, 40));
    Run(0, &Mask.P); // RoundOff(1.688) = 2
    ExpectPixel(Pic, 0, 5, 100, 60, 20);

    // No mask, or reflectance 0: no reflection.
    Run(0, nullptr);
    ExpectPixel(Pic, 5, 5, 0, 0, 0);
    Pic.Fill(200, 100, 7);
    const uint8_t Q = 0;
    ASSERT_EQ(RecPictureLight(Pic.P, &Mask.P, &Set, nullptr, &Refl.P, 0, nullptr, &Q), 0);
    ExpectPixel(Pic, 5, 5, 0, 0, 0);
}

TEST(Lighting, PlacementRectangle)
{
    // Lights are placed in the given rectangle, not in the area.
    TPic Pic(0, 0, 11, 11, 24);
    TLightsAmb Set;
    Set.Lights.push_back(Light(LightKindPoint, 50, 50, 50, 50, {0.5, 0.5, 0.8, 0.5}));
    const TRect Rc{-10, -10, 10, 10}; // Lp = (0, 0), second point (6, 0): q = 6
    Pic.Fill(200, 100, 7);
    ASSERT_EQ(RecPictureLight(Pic.P, nullptr, &Set, nullptr, nullptr, 0, &Rc, nullptr), 0);
    ExpectPixel(Pic, 0, 0, 39, 20, 1); // under the light: sk x 50 / 255 again
    EXPECT_LT(Pic.At(5, 5)[0], 39);
}

TEST(Lighting, RefusedInput)
{
    TLightsAmb Set;
    Set.Lights.push_back(Light(LightKindAmbient, 255, 255, 255, 50));
    TPic Grey(0, 0, 4, 4, 8);
    EXPECT_EQ(RecPictureLight(Grey.P, nullptr, &Set, nullptr, nullptr, 0, nullptr, nullptr), 3);
    TrecPicture Empty;
    EXPECT_EQ(RecPictureLight(Empty, nullptr, &Set, nullptr, nullptr, 0, nullptr, nullptr), 3);

    TPic Pic(0, 0, 4, 4, 24);
    Pic.Fill(1, 2, 3);
    EXPECT_EQ(RecPictureLight(Pic.P, nullptr, nullptr, nullptr, nullptr, 0, nullptr, nullptr), 3);
    TPic Bump24(0, 0, 4, 4, 24);
    EXPECT_EQ(RecPictureLight(Pic.P, nullptr, &Set, &Bump24.P, nullptr, 0, nullptr, nullptr), 3);
    TPic FarMask(10, 10, 4, 4, 8);
    EXPECT_EQ(RecPictureLight(Pic.P, &FarMask.P, &Set, nullptr, nullptr, 0, nullptr, nullptr), 0);
    ExpectPixel(Pic, 2, 2, 1, 2, 3);
}

TEST(Lighting, ThreadedRowsMatchOneThread)
{
    // A large picture is lit with its rows split over threads; lit tile by
    // tile (each too small to be split) it must come out byte for byte the same.
    constexpr int32_t W = 512, H = 512, TileH = 64;
    TLightsAmb Set;
    Set.Ks = 40;
    Set.Sh = 7;
    Set.M = 30;
    Set.Dp = 60;
    Set.Color[0] = 90;
    Set.Color[1] = 200;
    Set.Color[2] = 255;
    Set.Lights.push_back(Light(LightKindAmbient, 40, 40, 40, 30));
    Set.Lights.push_back(Light(LightKindPoint, 255, 200, 100, 70, {0.3, 0.4, 0.5, 0.4}));
    Set.Lights.push_back(Light(LightKindParallel, 100, 255, 100, 30, {0.1, 0.1, 0.4, 0.3}));
    Set.Lights.push_back(Light(LightKindLine, 200, 200, 255, 20, {0.1, 0.8, 0.9, 0.7}));
    Set.Lights.push_back(Light(LightKindSpot, 255, 255, 255, 40, {0.6, 0.5, 0.7, 0.3, 0.5, 0.2}));
    Set.Lights.push_back(Light(LightKindPoint, 255, 255, 255, -60, {0.7, 0.2, 0.9, 0.2}));
    TPic Bump(-1, -1, W + 2, H + 2, 8);
    Bump.Plane([](int32_t X, int32_t Y) { return (X * 7 + Y * 13 + X * Y / 5) & 255; });
    TPic Mask(0, 0, W, H, 8);
    Mask.Plane([](int32_t X, int32_t Y) { return (X + 3 * Y) % 256; });
    TPic Refl(0, 0, 37, 23, 24);
    for (int32_t Y = 0; Y < 23; ++Y)
        for (int32_t X = 0; X < 37; ++X)
            Refl.Set(X, Y, static_cast<uint8_t>(X * 7), static_cast<uint8_t>(Y * 11), static_cast<uint8_t>(X * Y));
    const TRect Rc{0, 0, W - 1, H - 1};
    const uint8_t Quality = 1;
    auto Surface = [](TPic& P) {
        for (int32_t Y = P.R.Top; Y <= P.R.Bottom; ++Y)
            for (int32_t X = 0; X < W; ++X)
                P.Set(X, Y, static_cast<uint8_t>(X), static_cast<uint8_t>(Y), static_cast<uint8_t>(X ^ Y));
    };

    TPic Whole(0, 0, W, H, 24);
    Surface(Whole);
    ASSERT_EQ(RecPictureLight(Whole.P, &Mask.P, &Set, &Bump.P, &Refl.P, 60, &Rc, &Quality), 0);
    const std::vector<uint8_t> Threaded = Whole.Bytes();

    std::vector<uint8_t> Tiled;
    for (int32_t Top = 0; Top < H; Top += TileH) {
        TPic Tile(0, Top, W, TileH, 24);
        Surface(Tile);
        ASSERT_EQ(RecPictureLight(Tile.P, &Mask.P, &Set, &Bump.P, &Refl.P, 60, &Rc, &Quality), 0);
        const std::vector<uint8_t> B = Tile.Bytes();
        Tiled.insert(Tiled.end(), B.begin(), B.end());
    }
    ASSERT_EQ(Threaded.size(), Tiled.size());
    EXPECT_TRUE(Threaded == Tiled);
    // The lights did something.
    EXPECT_NE(Threaded[3 * (100 * W + 100)], 100);
}
