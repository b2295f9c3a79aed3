// Gradation object: the comma text form, stop editing, reverse, and the colour
// tables built from texts with reflect mode and stops sharing a position.
#include "paint/gradation_object.h"

#include "foundation/user_error.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

namespace {

const char* const ExampleText = "0000255,1,0,8192,16384,8192,2,0,0,1023,16777215,0,0,0,100,0,100";

struct TTables {
    TGradationTable R, G, B, A;
    explicit TTables(const TrecGradation& Grad)
    {
        for (TGradationTable* T : {&R, &G, &B, &A})
            T->fill(7);
        MakeGradationTable(Grad, R, G, B, A);
    }
};

TGradationObject FromText(const std::string& Text)
{
    TGradationObject G;
    EXPECT_TRUE(G.StrToGradation(Text));
    return G;
}

} // namespace

TEST(TGradationObject, ExampleTextReadsAndPrintsBack)
{
    EXPECT_EQ(TGradationObject().GradationToStr(), "00000,0,0,0,0,0,0,0,0,0,100,0,100");
    TGradationObject G = FromText(ExampleText);
    EXPECT_EQ(G.bShape + G.bRepetition, 0);
    EXPECT_EQ(G.iOpacity, 255);
    EXPECT_EQ(G.iRepeatCount, 1);
    EXPECT_EQ((std::vector<int32_t>{G.iX1, G.iY1, G.iX2, G.iY2}), (std::vector<int32_t>{0, 8192, 16384, 8192}));
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{0, 0}, {1023, 0xFFFFFF}}));
    EXPECT_TRUE(G.TransStops.empty());
    EXPECT_EQ(G.Adjust, TrecColorAdjust{});
    EXPECT_EQ(G.GradationToStr(), ExampleText);
    EXPECT_FALSE(G.StrToGradation("")); // an empty text changes nothing
    EXPECT_EQ(G.GradationToStr(), ExampleText);
}

TEST(TGradationObject, EveryFieldRoundTrips)
{
    TGradationObject G;
    // Shape, opacity, repetition, count, interpolation, option, points, stops, adjustment.
    static_cast<TrecGradation&>(G) = {4, 128, 2, 7, 1, 3, -100, 200, 300, -400,
                                      {{10, 0x123456}, {500, 0xABCDEF}, {900, 0}},
                                      {{0, 255}, {1023, 0x1280}}, {-30, 10, 90, -5, 120}};
    const std::string Text = G.GradationToStr();
    EXPECT_EQ(Text, "4213128,7,-100,200,300,-400,3,10,1193046,500,11259375,900,0,2,0,255,1023,4736,"
                    "-30,10,90,-5,120");
    TGradationObject Back;
    ASSERT_TRUE(Back.StrToGradation(Text));
    EXPECT_EQ(static_cast<const TrecGradation&>(Back), static_cast<const TrecGradation&>(G));
    // An older text without the adjustment gets the identity one.
    ASSERT_TRUE(Back.StrToGradation("0100200,1,0,0,16384,0,1,0,255,1,512,128"));
    EXPECT_EQ(Back.Adjust, TrecColorAdjust{});
    EXPECT_EQ(Back.bRepetition, 1);
    EXPECT_EQ(Back.iOpacity, 200);
    EXPECT_EQ(Back.TransStops, (std::vector<TrecGradTransStop>{{512, 128}}));
}

TEST(TGradationObject, BadNumbersAndStopCountsRaiseKeepingWhatWasRead)
{
    TGradationObject G = FromText(ExampleText);
    EXPECT_EQ(MessageOf<EConvertError>([&] { G.StrToGradation("1000128,5,x,0,0,0,0,0"); }),
              "'x' は有効な整数値ではありません");
    EXPECT_EQ(G.bShape, 1);
    EXPECT_EQ(G.iRepeatCount, 5);
    EXPECT_EQ(G.iX1, 0);
    EXPECT_EQ(G.iY1, 8192); // not reached
    EXPECT_EQ(G.ColStops.size(), 2u);
    EXPECT_THROW(G.StrToGradation("0000255,1"), EConvertError); // ends early: the number is empty
    EXPECT_THROW(G.StrToGradation("0000255,1,0,0,0,0,0,0,5,0"), EConvertError); // fewer than five adjustments
    G = FromText(ExampleText);
    const std::vector<TrecGradColStop> Before = G.ColStops;
    // Three pairs announced, two present: the list stays as it was.
    EXPECT_EQ(MessageOf<EConvertError>([&] { G.StrToGradation("0000100,1,0,0,0,0,3,0,0,1023,255,0"); }),
              "'3' は有効な整数値ではありません");
    EXPECT_EQ(G.iOpacity, 100);
    EXPECT_EQ(G.ColStops, Before);
    // A count no text could hold is refused before any list is made.
    for (const char* Text : {"0000100,1,0,0,0,0,2000000000,0,0", "0000100,1,0,0,0,0,-1,0,0"}) {
        EXPECT_THROW(G.StrToGradation(Text), EConvertError);
        EXPECT_EQ(G.ColStops, Before);
    }
    // The transparency count is checked as well; the colour stops read before
    // it keep their new value.
    EXPECT_THROW(G.StrToGradation("0000100,1,0,0,0,0,1,5,255,4,0,0"), EConvertError);
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{5, 255}}));
    EXPECT_TRUE(G.TransStops.empty());
    // A pair cut short leaves its list unchanged.
    EXPECT_THROW(G.StrToGradation("0000100,1,0,0,0,0,1,7,x"), EConvertError);
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{5, 255}}));
}

TEST(TGradationObject, EditStopsAndReverse)
{
    TGradationObject G;
    for (const auto& [Pos, Col] : {std::pair{500, 1}, {100, 2}, {900, 3}, {500, 4}})
        G.SetColStop(Pos, Col); // same position: colour replaced, count unchanged
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{100, 2}, {500, 4}, {900, 3}}));
    G.SetTransStop(300, 10);
    G.SetTransStop(200, 20);
    G.SetTransStop(300, 30);
    EXPECT_EQ(G.TransStops, (std::vector<TrecGradTransStop>{{200, 20}, {300, 30}}));
    G.DeleteColStop(-1);
    G.DeleteColStop(3);
    EXPECT_EQ(G.ColStops.size(), 3u);
    G.DeleteColStop(1);
    EXPECT_FALSE(G.DeleteColStopAt(500));
    EXPECT_TRUE(G.DeleteColStopAt(900));
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{100, 2}}));
    G.DeleteTransStop(2);
    G.DeleteTransStop(0);
    EXPECT_TRUE(G.DeleteTransStopAt(300));
    EXPECT_FALSE(G.DeleteTransStopAt(300));
    EXPECT_TRUE(G.TransStops.empty());
    G.ColStops = {{0, 0x0000FF}, {300, 0x00FF00}};
    G.TransStops = {{0, 255}, {100, 50}, {1023, 0}};
    G.Reverse();
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{723, 0x00FF00}, {1023, 0x0000FF}}));
    EXPECT_EQ(G.TransStops, (std::vector<TrecGradTransStop>{{0, 0}, {923, 50}, {1023, 255}}));
}

TEST(TGradationObject, TablesPlainAndReflected)
{
    TGradationObject G = FromText(ExampleText);
    TTables T(G);
    for (TGradationTable* C : {&T.R, &T.G, &T.B}) // 512 * 255 div 1023 in the middle
        EXPECT_EQ((std::vector<int>{(*C)[0], (*C)[512], (*C)[1023]}), (std::vector<int>{0, 127, 255}));
    EXPECT_EQ(T.A[0] + T.A[1023], 2 * 255); // no transparency stops
    // Reflect: nodes 0, 511 (white), 512 (white), 1023 (black), 1024 (black).
    G.bRepetition = GradRepeatReflect;
    TTables R(G);
    // 256 * 255 div 511 and 255 - 256 * 255 div 511.
    EXPECT_EQ((std::vector<int>{R.R[0], R.R[256], R.R[511], R.R[512], R.R[768], R.R[1023]}),
              (std::vector<int>{0, 127, 255, 255, 128, 0}));
    // Stops 0 and 1 both land on node 0 when halved.
    TTables H(FromText("0100255,1,0,0,0,0,2,0,0,1,16777215,0"));
    EXPECT_EQ((std::vector<int>{H.R[0], H.R[1022], H.R[1023]}), (std::vector<int>{255, 255, 0}));
}

TEST(TGradationObject, StopsSharingAPositionMakeAStep)
{
    // Black up to 500, white from it; transparent up to 300.
    TGradationObject G =
        FromText("0000255,1,0,0,0,0,4,0,0,500,0,500,16777215,1023,16777215,2,300,0,300,255");
    TTables T(G);
    EXPECT_EQ((std::vector<int>{T.R[0], T.R[499], T.G[500], T.B[1023], T.A[299], T.A[300]}),
              (std::vector<int>{0, 0, 255, 255, 0, 255}));
    G.bInterpolation = GradInterpSmooth;
    TTables S(G);
    EXPECT_EQ(S.R[500], 255);
    EXPECT_EQ(S.A[300], 255);
    const TrecDrawPathStop Stops[4] = {{0, 0, 1.0}, {500, 0, 1.0}, {500, 0xFFFFFF, 1.0}, {1000, 0, 1.0}};
    int32_t Table[5] = {-1, -1, -1, -1, -1};
    MakeDrawPathColorTable(Stops, 4, Table, 5);
    // Positions 0, 250, 500 (the end of the run into 500), 750 (half way back
    // from white, 127.5 rounded away from zero), 1000.
    EXPECT_EQ((std::vector<int32_t>(Table, Table + 5)), (std::vector<int32_t>{0, 0, 0, 0x808080, 0}));
}
