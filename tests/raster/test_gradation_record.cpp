#include "raster/gradation_record.h"

#include "foundation/numbers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

struct TTables {
    TGradationTable R, G, B, A;
    explicit TTables(uint8_t Init = 7)
    {
        R.fill(Init);
        G.fill(Init);
        B.fill(Init);
        A.fill(Init);
    }
    void Make(const TrecGradation& Grad) { MakeGradationTable(Grad, R, G, B, A); }
};

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

TEST(MakeGradationTable, NoStopsGiveFullWhiteAndOpacity)
{
    TTables T;
    T.Make(TrecGradation{});
    for (int I = 0; I < GradationTableSize; ++I) {
        ASSERT_EQ(T.R[I], 255);
        ASSERT_EQ(T.G[I], 255);
        ASSERT_EQ(T.B[I], 255);
        ASSERT_EQ(T.A[I], 255);
    }
}

TEST(MakeGradationTable, OneStopFillsEveryEntry)
{
    TrecGradation Grad;
    Grad.bRepetition = 7; // not read with one stop
    Grad.ColStops = {{300, 0x123456}};
    Grad.TransStops = {{10, 0x7A80}}; // the low byte is the opacity
    TTables T;
    T.Make(Grad);
    EXPECT_TRUE(std::all_of(T.R.begin(), T.R.end(), [](uint8_t V) { return V == 0x56; }));
    EXPECT_TRUE(std::all_of(T.G.begin(), T.G.end(), [](uint8_t V) { return V == 0x34; }));
    EXPECT_TRUE(std::all_of(T.B.begin(), T.B.end(), [](uint8_t V) { return V == 0x12; }));
    EXPECT_TRUE(std::all_of(T.A.begin(), T.A.end(), [](uint8_t V) { return V == 0x80; }));
}

TEST(MakeGradationTable, LinearOneDirection)
{
    // Red 255 -> 0 and blue 0 -> 255 from position 0 to 1023: a + (x - pa)(b - a) div (pb - pa).
    TTables T;
    T.Make(TwoStops(0, 0x0000FF, 1023, 0xFF0000, GradRepeatOneWay));
    EXPECT_EQ(T.R[0], 255);
    EXPECT_EQ(T.B[0], 0);
    EXPECT_EQ(T.B[1], 0);        // 255 div 1023
    EXPECT_EQ(T.B[5], 1);        // 1275 div 1023
    EXPECT_EQ(T.B[512], 127);    // 130560 div 1023 = 127.6
    EXPECT_EQ(T.R[512], 128);    // 255 + (-130560 div 1023): the division truncates toward zero
    EXPECT_EQ(T.R[1023], 0);
    EXPECT_EQ(T.B[1023], 255);
    EXPECT_EQ(T.G[700], 0);
    // Stops inside the range: the end nodes hold the first and last stop.
    T.Make(TwoStops(256, 0x000000, 768, 0x0000FF, GradRepeatOneWay));
    EXPECT_EQ(T.R[0], 0);
    EXPECT_EQ(T.R[100], 0);
    EXPECT_EQ(T.R[512], 127); // 256 * 255 div 512 = 127.5
    EXPECT_EQ(T.R[767], 254); // 511 * 255 div 512 = 254.5
    EXPECT_EQ(T.R[900], 255);
    EXPECT_EQ(T.R[1023], 255);
}

TEST(MakeGradationTable, ReflectRunsThereAndBack)
{
    // Nodes (0, 0) (0, 0) (511, 255) (512, 255) (1023, 0) (1024, 0).
    TTables T;
    T.Make(TwoStops(0, 0x000000, 1023, 0xFFFFFF, GradRepeatReflect));
    EXPECT_EQ(T.R[0], 0);
    EXPECT_EQ(T.R[255], 127); // 255 * 255 div 511 = 127.25
    EXPECT_EQ(T.R[511], 255);
    EXPECT_EQ(T.R[512], 255);
    EXPECT_EQ(T.R[768], 128); // 255 + (256 * -255) div 511 = 255 - 127
    EXPECT_EQ(T.R[1023], 0);
    // Odd positions halve toward minus infinity: 301 -> 150 and (2047 - 301) div 2 = 873.
    T.Make(TwoStops(0, 0x000000, 301, 0x0000FF, GradRepeatReflect));
    EXPECT_EQ(T.R[149], 253); // 149 * 255 div 150 = 253.3
    EXPECT_EQ(T.R[150], 255);
    EXPECT_EQ(T.R[873], 255);
    EXPECT_EQ(T.R[874], 254); // 255 + (1 * -255) div 150 = 255 - 1
}

TEST(MakeGradationTable, RepeatWrapsAroundTheEnds)
{
    // Nodes (-512, 255) (0, 0) (512, 255) (1024, 0).
    TTables T;
    T.Make(TwoStops(0, 0x000000, 512, 0x0000FF, GradRepeatWrap));
    EXPECT_EQ(T.R[0], 0);
    EXPECT_EQ(T.R[256], 127);
    EXPECT_EQ(T.R[512], 255);
    EXPECT_EQ(T.R[768], 128);  // 255 + (256 * -255) div 512 = 255 - 127
    EXPECT_EQ(T.R[1023], 1);   // 255 - 254 (130305 div 512)
    // Stops inside: nodes (-256, 255) (256, 0) (768, 255) (1280, 0).
    T.Make(TwoStops(256, 0x000000, 768, 0x0000FF, GradRepeatWrap));
    EXPECT_EQ(T.R[0], 128);
    EXPECT_EQ(T.R[256], 0);
    EXPECT_EQ(T.R[768], 255);
    EXPECT_EQ(T.R[1023], 128); // 255 + (255 * -255) div 512 = 255 - 127
}

TEST(MakeGradationTable, OpacityStopsUseTheirLowByte)
{
    TrecGradation Grad;
    Grad.TransStops = {{0, 0x100}, {1023, 0x1FF}};
    TTables T;
    T.Make(Grad);
    EXPECT_EQ(T.A[0], 0);
    EXPECT_EQ(T.A[512], 127);
    EXPECT_EQ(T.A[1023], 255);
    EXPECT_EQ(T.R[512], 255); // no colour stops
}

TEST(MakeGradationTable, UnknownModesLeaveTablesUnchanged)
{
    TrecGradation Grad = TwoStops(0, 0x000000, 1023, 0xFFFFFF, 3);
    Grad.TransStops = {{0, 0}, {1023, 255}};
    TTables T(7);
    T.Make(Grad);
    EXPECT_EQ(T.R[500], 7);
    EXPECT_EQ(T.A[500], 7);
    Grad.bRepetition = GradRepeatOneWay;
    Grad.bInterpolation = 2;
    T.Make(Grad);
    EXPECT_EQ(T.G[500], 7);
    EXPECT_EQ(T.A[500], 7);
}

TEST(MakeGradationTable, SmoothPassesThroughTheNodes)
{
    // Equal stops: the closed spline is flat.
    TTables T;
    T.Make(TwoStops(0, 0x405060, 1023, 0x405060, GradRepeatOneWay, GradInterpSmooth));
    EXPECT_TRUE(std::all_of(T.R.begin(), T.R.end(), [](uint8_t V) { return V == 0x60; }));
    EXPECT_TRUE(std::all_of(T.B.begin(), T.B.end(), [](uint8_t V) { return V == 0x40; }));

    // The doubled node at 0 counts once: nodes (0, 0), (1023, 255), (1024, 255).
    T.Make(TwoStops(0, 0x000000, 1023, 0x0000FF, GradRepeatOneWay, GradInterpSmooth));
    const double X[] = {0, 1023, 1024};
    const double Y[] = {0, 255, 255};
    double Z[3];
    ASSERT_TRUE(PeriodicSplineSetup(2, X, Y, Z));
    for (int P = 0; P < GradationTableSize; ++P) {
        const double V = std::clamp(PeriodicSplineEval(2, X, Y, Z, P), 0.0, 255.0);
        ASSERT_EQ(T.R[P], RoundOff(V)) << P;
    }
    EXPECT_EQ(T.R[0], 0);
    EXPECT_EQ(T.R[1023], 255);

    // Three stops: the middle one is hit exactly and the curve differs from straight lines.
    TrecGradation Grad = TwoStops(0, 0x000000, 1023, 0x000000, GradRepeatOneWay, GradInterpSmooth);
    Grad.ColStops.insert(Grad.ColStops.begin() + 1, TrecGradColStop{400, 0x0000C8});
    T.Make(Grad);
    EXPECT_EQ(T.R[400], 200);
    TTables L;
    Grad.bInterpolation = GradInterpLinear;
    L.Make(Grad);
    EXPECT_EQ(L.R[200], 100);
    EXPECT_NE(T.R[200], 100);
}

TEST(MakeGradationTable, SmoothWithStopsOutOfOrderStillFillsTheTable)
{
    TrecGradation Grad = TwoStops(900, 0x0000FF, 100, 0x000000, GradRepeatOneWay, GradInterpSmooth);
    TTables T(7), L(7);
    T.Make(Grad);
    Grad.bInterpolation = GradInterpLinear;
    L.Make(Grad);
    EXPECT_EQ(T.R, L.R);
}

TEST(AdjustColorHSB, IdentityAndShifts)
{
    EXPECT_EQ(AdjustColorHSB(0x12345678, TrecColorAdjust{}), 0x12345678);
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{120, 0, 100, 0, 100}), 0x00FF00);
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{-120, 0, 100, 0, 100}), 0xFF0000);
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{0, 0, 0, 0, 100}), 0x000000);
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{0, 0, 100, 0, 0}), 0xFFFFFF);
    // Offsets clamp: brightness +200 % stays 255.
    EXPECT_EQ(AdjustColorHSB(0x000080, TrecColorAdjust{0, 200, 100, 0, 100}), 0x0000FF);
    // A shift near the int32 limit (2147483647 = 127 mod 360) does not overflow.
    EXPECT_EQ(AdjustColorHSB(0x0000FF, TrecColorAdjust{2147483647, 0, 100, 0, 100}),
              AdjustColorHSB(0x0000FF, TrecColorAdjust{127, 0, 100, 0, 100}));
    // The table builder adjusts every colour stop.
    TrecGradation Grad;
    Grad.ColStops = {{0, 0x0000FF}};
    Grad.Adjust.iHueShift = 120;
    TTables T;
    T.Make(Grad);
    EXPECT_EQ(T.R[10], 0);
    EXPECT_EQ(T.G[10], 255);
}

TEST(MakeDrawPathColorTable, EvenlySpacedEntries)
{
    // Red 0 -> 200 over positions 0..100; entry i at x = (100 i + 2) div 4.
    TrecDrawPathStop Stops[] = {{0, 0x000000, 1.0}, {100, 0x0000C8, 1.0}};
    int32_t Table[5];
    MakeDrawPathColorTable(Stops, 2, Table, 5);
    EXPECT_EQ(Table[0], 0);
    EXPECT_EQ(Table[1], 50);  // x = 25
    EXPECT_EQ(Table[2], 100); // x = 50
    EXPECT_EQ(Table[3], 150); // x = 75
    EXPECT_EQ(Table[4], 200);

    // Curve 2: f = t^2; 12.5 and 112.5 round away from zero.
    Stops[1].dCurve = 2.0;
    MakeDrawPathColorTable(Stops, 2, Table, 5);
    EXPECT_EQ(Table[1], 13);
    EXPECT_EQ(Table[2], 50);
    EXPECT_EQ(Table[3], 113);
    EXPECT_EQ(Table[4], 200);

    // Curve 1001: f = 1 - sqrt(1 - t^2); t = 0.5 gives 200 x 0.1340 = 26.8.
    Stops[1].dCurve = 1001.0;
    MakeDrawPathColorTable(Stops, 2, Table, 5);
    EXPECT_EQ(Table[2], 27);
    EXPECT_EQ(Table[0], 0);
    EXPECT_EQ(Table[4], 200);

    // Falling channels, another channel, an offset first position.
    TrecDrawPathStop Down[] = {{50, 0xC800, 1.0}, {150, 0x0000, 1.0}};
    MakeDrawPathColorTable(Down, 2, Table, 5);
    EXPECT_EQ(Table[0], 0xC800);
    EXPECT_EQ(Table[1], 150 << 8);
    EXPECT_EQ(Table[4], 0);
}

TEST(MakeDrawPathColorTable, MiddleStopsAndEnds)
{
    // x = (i x 100 + 1) div 2: 0, 50, 100. The middle entry lands on the middle stop.
    TrecDrawPathStop Stops[] = {{0, 0x000000, 1.0}, {50, 0x000064, 5.0}, {100, 0x0000C8, 0.3}};
    int32_t Table[3];
    MakeDrawPathColorTable(Stops, 3, Table, 3);
    EXPECT_EQ(Table[0], 0);
    EXPECT_EQ(Table[1], 100);
    EXPECT_EQ(Table[2], 200);
    // Nine entries: x = 12.5 steps; entry 5 at x = (500 + 4) div 8 = 63, t = 13 / 50 on the
    // third stop's curve: 100 + 100 x 0.26^0.3.
    int32_t Nine[9];
    MakeDrawPathColorTable(Stops, 3, Nine, 9);
    EXPECT_EQ(Nine[0], 0);
    EXPECT_EQ(Nine[8], 200);
    EXPECT_EQ(Nine[5], RoundOff(100 + 100 * std::pow(0.26, 0.3)));

    // One entry: the last stop. None, or no stops: nothing written.
    int32_t One[1] = {-1};
    MakeDrawPathColorTable(Stops, 3, One, 1);
    EXPECT_EQ(One[0], 200);
    int32_t Untouched[2] = {-1, -1};
    MakeDrawPathColorTable(Stops, 3, Untouched, 0);
    MakeDrawPathColorTable(Stops, 0, Untouched, 2);
    EXPECT_EQ(Untouched[0], -1);
    EXPECT_EQ(Untouched[1], -1);
}
