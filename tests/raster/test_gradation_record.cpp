#include "raster/gradation_record.h"

#include "foundation/numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <vector>

namespace {

struct TTables {
    TGradationTable R, G, B, A;
    explicit TTables(uint8_t Init = 7)
    {
        for (TGradationTable* T : {&R, &G, &B, &A})
            T->fill(Init);
    }
    void Make(const TrecGradation& Grad) { MakeGradationTable(Grad, R, G, B, A); }
};

bool All(const TGradationTable& T, int V)
{
    return std::all_of(T.begin(), T.end(), [V](uint8_t X) { return X == V; });
}

// Table entries (index, want).
void ExpectAt(const TGradationTable& T, std::initializer_list<std::pair<int, int>> Entries)
{
    for (const auto& [I, Want] : Entries)
        EXPECT_EQ(T[size_t(I)], Want) << "entry " << I;
}

TrecGradation TwoStops(int32_t P0, int32_t C0, int32_t P1, int32_t C1, uint8_t Repetition,
                       uint8_t Interpolation = GradInterpLinear)
{
    TrecGradation Grad;
    Grad.bRepetition = Repetition;
    Grad.bInterpolation = Interpolation;
    Grad.ColStops = {{P0, C0}, {P1, C1}};
    return Grad;
}

} // namespace

TEST(MakeGradationTable, StopCountsAndUnknownModes)
{
    // No stops: full white and opacity.
    TTables T;
    T.Make(TrecGradation{});
    EXPECT_TRUE(All(T.R, 255) && All(T.G, 255) && All(T.B, 255) && All(T.A, 255));
    // One stop fills every entry, whatever the repetition; opacity is the stop's low byte.
    TrecGradation One;
    One.bRepetition = 7;
    One.ColStops = {{300, 0x123456}};
    One.TransStops = {{10, 0x7A80}};
    T.Make(One);
    EXPECT_TRUE(All(T.R, 0x56) && All(T.G, 0x34) && All(T.B, 0x12) && All(T.A, 0x80));
    // Two opacity stops interpolate their low bytes; no colour stops stay white.
    TrecGradation Op;
    Op.TransStops = {{0, 0x100}, {1023, 0x1FF}};
    T.Make(Op);
    ExpectAt(T.A, {{0, 0}, {512, 127}, {1023, 255}});
    EXPECT_EQ(T.R[512], 255);
    // Unknown repetition or interpolation leaves the tables unchanged.
    TrecGradation Bad = TwoStops(0, 0x000000, 1023, 0xFFFFFF, 3);
    Bad.TransStops = {{0, 0}, {1023, 255}};
    TTables U(7);
    U.Make(Bad);
    Bad.bRepetition = GradRepeatOneWay;
    Bad.bInterpolation = 2;
    U.Make(Bad);
    EXPECT_TRUE(All(U.R, 7) && All(U.G, 7) && All(U.A, 7));
}

TEST(MakeGradationTable, LinearOneDirectionReflectAndRepeat)
{
    // Red 255 -> 0 and blue 0 -> 255 from 0 to 1023: a + (x - pa)(b - a) div (pb - pa):
    // blue 255, 1275 and 130560 div 1023; red 255 + (-130560 div 1023), truncated toward zero.
    TTables T;
    T.Make(TwoStops(0, 0x0000FF, 1023, 0xFF0000, GradRepeatOneWay));
    ExpectAt(T.B, {{1, 0}, {5, 1}, {512, 127}, {1023, 255}});
    ExpectAt(T.R, {{0, 255}, {512, 128}, {1023, 0}});
    EXPECT_EQ(T.G[700], 0);
    // Stops inside the range: the end nodes hold the first and last stop; 256 x 255 div 512 = 127.5.
    T.Make(TwoStops(256, 0x000000, 768, 0x0000FF, GradRepeatOneWay));
    ExpectAt(T.R, {{100, 0}, {512, 127}, {767, 254}, {900, 255}});
    // Reflect: nodes (0, 0) (0, 0) (511, 255) (512, 255) (1023, 0) (1024, 0);
    // 255 x 255 div 511 = 127.25, 255 + (256 x -255) div 511 = 255 - 127.
    T.Make(TwoStops(0, 0x000000, 1023, 0xFFFFFF, GradRepeatReflect));
    ExpectAt(T.R, {{255, 127}, {511, 255}, {512, 255}, {768, 128}, {1023, 0}});
    // Odd positions halve toward minus infinity: 301 -> 150 and (2047 - 301) div 2 = 873;
    // 149 x 255 div 150 = 253.3, 255 + (1 x -255) div 150 = 254.
    T.Make(TwoStops(0, 0x000000, 301, 0x0000FF, GradRepeatReflect));
    ExpectAt(T.R, {{149, 253}, {150, 255}, {873, 255}, {874, 254}});
    // Repeat: nodes (-512, 255) (0, 0) (512, 255) (1024, 0); 255 - 127, 255 - 254 (130305 div 512).
    T.Make(TwoStops(0, 0x000000, 512, 0x0000FF, GradRepeatWrap));
    ExpectAt(T.R, {{256, 127}, {768, 128}, {1023, 1}});
    // Stops inside: nodes (-256, 255) (256, 0) (768, 255) (1280, 0); 255 + (255 x -255) div 512.
    T.Make(TwoStops(256, 0x000000, 768, 0x0000FF, GradRepeatWrap));
    ExpectAt(T.R, {{0, 128}, {256, 0}, {768, 255}, {1023, 128}});
}

TEST(MakeGradationTable, SmoothPassesThroughTheNodes)
{
    // Equal stops: the closed spline is flat.
    TTables T;
    T.Make(TwoStops(0, 0x405060, 1023, 0x405060, GradRepeatOneWay, GradInterpSmooth));
    EXPECT_TRUE(All(T.R, 0x60) && All(T.B, 0x40));
    // The doubled node at 0 counts once: nodes (0, 0), (1023, 255), (1024, 255).
    T.Make(TwoStops(0, 0x000000, 1023, 0x0000FF, GradRepeatOneWay, GradInterpSmooth));
    const double X[] = {0, 1023, 1024}, Y[] = {0, 255, 255};
    double Z[3];
    ASSERT_TRUE(PeriodicSplineSetup(2, X, Y, Z));
    for (int P = 0; P < GradationTableSize; ++P)
        ASSERT_EQ(T.R[P], RoundOff(std::clamp(PeriodicSplineEval(2, X, Y, Z, P), 0.0, 255.0))) << P;
    EXPECT_EQ(T.R[1023], 255);
    // Three stops: the middle one is hit exactly and the curve differs from straight lines.
    TrecGradation Grad = TwoStops(0, 0x000000, 1023, 0x000000, GradRepeatOneWay, GradInterpSmooth);
    Grad.ColStops.insert(Grad.ColStops.begin() + 1, TrecGradColStop{400, 0x0000C8});
    T.Make(Grad);
    EXPECT_EQ(T.R[400], 200);
    EXPECT_NE(T.R[200], 100);
    // Stops out of order still fill the whole table, as the linear rule does.
    Grad = TwoStops(900, 0x0000FF, 100, 0x000000, GradRepeatOneWay, GradInterpSmooth);
    TTables S(7), L(7);
    S.Make(Grad);
    Grad.bInterpolation = GradInterpLinear;
    L.Make(Grad);
    EXPECT_EQ(S.R, L.R);
}

TEST(AdjustColorHSB, IdentityShiftsAndClamps)
{
    EXPECT_EQ(AdjustColorHSB(0x12345678, TrecColorAdjust{}), 0x12345678);
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{120, 0, 100, 0, 100}), 0x00FF00);
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{-120, 0, 100, 0, 100}), 0xFF0000);
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{0, 0, 0, 0, 100}), 0x000000);
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{0, 0, 100, 0, 0}), 0xFFFFFF);
    EXPECT_EQ(AdjustColorHSB(0x000080, TrecColorAdjust{0, 200, 100, 0, 100}), 0x0000FF); // +200 % stays 255
    // A shift near the int32 limit (2147483647 = 127 mod 360) does not overflow.
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{2147483647, 0, 100, 0, 100}),
              AdjustColorHSB(0x0000FF, TrecColorAdjust{127, 0, 100, 0, 100}));
    // The table builder adjusts every colour stop.
    TrecGradation Grad;
    Grad.ColStops = {{0, 0x0000FF}};
    Grad.Adjust.iHueShift = 120;
    TTables T;
    T.Make(Grad);
    EXPECT_TRUE(All(T.R, 0) && All(T.G, 255));
}

TEST(MakeDrawPathColorTable, EvenlySpacedEntries)
{
    using V = std::vector<int32_t>;
    int32_t T[9];
    auto Table = [&](const TrecDrawPathStop* Stops, int32_t N, int32_t Count) {
        MakeDrawPathColorTable(Stops, N, T, Count);
        return V(T, T + Count);
    };
    // Red 0 -> 200 over positions 0..100; entry i at x = (100 i + 2) div 4.
    TrecDrawPathStop Stops[] = {{0, 0x000000, 1.0}, {100, 0x0000C8, 1.0}};
    EXPECT_EQ(Table(Stops, 2, 5), (V{0, 50, 100, 150, 200}));
    // Curve 2: f = t^2; 12.5 and 112.5 round away from zero.
    Stops[1].dCurve = 2.0;
    EXPECT_EQ(Table(Stops, 2, 5), (V{0, 13, 50, 113, 200}));
    // Curve 1001: f = 1 - sqrt(1 - t^2); t = 0.5 gives 200 x 0.1340 = 26.8.
    Stops[1].dCurve = 1001.0;
    EXPECT_EQ(Table(Stops, 2, 5)[2], 27);
    // Falling channels, another channel, an offset first position.
    const TrecDrawPathStop Down[] = {{50, 0xC800, 1.0}, {150, 0x0000, 1.0}};
    EXPECT_EQ(Table(Down, 2, 5), (V{0xC800, 150 << 8, 100 << 8, 50 << 8, 0}));
    // x = (i x 100 + 1) div 2: the middle entry lands on the middle stop.
    const TrecDrawPathStop Three[] = {{0, 0x000000, 1.0}, {50, 0x000064, 5.0}, {100, 0x0000C8, 0.3}};
    EXPECT_EQ(Table(Three, 3, 3), (V{0, 100, 200}));
    // Nine entries: entry 5 at x = (500 + 4) div 8 = 63, t = 13 / 50 on the
    // third stop's curve: 100 + 100 x 0.26^0.3.
    const V Nine = Table(Three, 3, 9);
    EXPECT_EQ(std::tuple(Nine[0], Nine[5], Nine[8]),
              std::tuple(0, int32_t(RoundOff(100 + 100 * std::pow(0.26, 0.3))), 200));
    // One entry: the last stop. No entries or no stops: nothing written.
    EXPECT_EQ(Table(Three, 3, 1), V{200});
    T[0] = T[1] = -1;
    MakeDrawPathColorTable(Three, 3, T, 0);
    MakeDrawPathColorTable(Three, 0, T, 2);
    EXPECT_EQ(V(T, T + 2), (V{-1, -1}));
}
