// Gradation object: the comma text form, stop editing, reverse, and the colour
// tables built from texts with reflect mode and stops sharing a position.
#include "paint/gradation_object.h"

#include "foundation/user_error.h"

#include <gtest/gtest.h>

namespace {

const char* const ExampleText = "0000255,1,0,8192,16384,8192,2,0,0,1023,16777215,0,0,0,100,0,100";

struct TTables {
    TGradationTable R, G, B, A;
    explicit TTables(const TrecGradation& Grad)
    {
        R.fill(7);
        G.fill(7);
        B.fill(7);
        A.fill(7);
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

TEST(TGradationObject, NewObjectText)
{
    TGradationObject G;
    EXPECT_EQ(G.GradationToStr(), "00000,0,0,0,0,0,0,0,0,0,100,0,100");
}

TEST(TGradationObject, ExampleTextReadsAndPrintsBack)
{
    TGradationObject G = FromText(ExampleText);
    EXPECT_EQ(G.bShape, 0);
    EXPECT_EQ(G.bRepetition, 0);
    EXPECT_EQ(G.iOpacity, 255);
    EXPECT_EQ(G.iRepeatCount, 1);
    EXPECT_EQ(G.iX1, 0);
    EXPECT_EQ(G.iY1, 8192);
    EXPECT_EQ(G.iX2, 16384);
    EXPECT_EQ(G.iY2, 8192);
    ASSERT_EQ(G.ColStops.size(), 2u);
    EXPECT_EQ(G.ColStops[0], (TrecGradColStop{0, 0}));
    EXPECT_EQ(G.ColStops[1], (TrecGradColStop{1023, 0xFFFFFF}));
    EXPECT_TRUE(G.TransStops.empty());
    EXPECT_EQ(G.Adjust, TrecColorAdjust{});
    EXPECT_EQ(G.GradationToStr(), ExampleText);
}

TEST(TGradationObject, EveryFieldRoundTrips)
{
    TGradationObject G;
    G.bShape = 4;
    G.bRepetition = 2;
    G.bInterpolation = 1;
    G.bOption = 3;
    G.iOpacity = 128;
    G.iRepeatCount = 7;
    G.iX1 = -100;
    G.iY1 = 200;
    G.iX2 = 300;
    G.iY2 = -400;
    G.ColStops = {{10, 0x123456}, {500, 0xABCDEF}, {900, 0}};
    G.TransStops = {{0, 255}, {1023, 0x1280}};
    G.Adjust = {-30, 10, 90, -5, 120};
    const std::string Text = G.GradationToStr();
    EXPECT_EQ(Text, "4213128,7,-100,200,300,-400,3,10,1193046,500,11259375,900,0,2,0,255,1023,4736,"
                    "-30,10,90,-5,120");
    TGradationObject Back;
    ASSERT_TRUE(Back.StrToGradation(Text));
    EXPECT_EQ(static_cast<const TrecGradation&>(Back), static_cast<const TrecGradation&>(G));
}

TEST(TGradationObject, OlderTextGetsTheIdentityAdjustment)
{
    TGradationObject G;
    G.Adjust = {10, 20, 30, 40, 50};
    ASSERT_TRUE(G.StrToGradation("0100200,1,0,0,16384,0,1,0,255,1,512,128"));
    EXPECT_EQ(G.Adjust, TrecColorAdjust{});
    EXPECT_EQ(G.bRepetition, 1);
    EXPECT_EQ(G.iOpacity, 200);
    EXPECT_EQ(G.TransStops, (std::vector<TrecGradTransStop>{{512, 128}}));
}

TEST(TGradationObject, EmptyTextChangesNothing)
{
    TGradationObject G = FromText(ExampleText);
    EXPECT_FALSE(G.StrToGradation(""));
    EXPECT_EQ(G.GradationToStr(), ExampleText);
}

TEST(TGradationObject, BadNumberRaisesAndKeepsWhatWasRead)
{
    TGradationObject G = FromText(ExampleText);
    try {
        G.StrToGradation("1000128,5,x,0,0,0,0,0");
        FAIL() << "no conversion error";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "'x' は有効な整数値ではありません");
    }
    EXPECT_EQ(G.bShape, 1);
    EXPECT_EQ(G.iOpacity, 128);
    EXPECT_EQ(G.iRepeatCount, 5);
    EXPECT_EQ(G.iX1, 0);
    EXPECT_EQ(G.iY1, 8192); // not reached
    EXPECT_EQ(G.ColStops.size(), 2u);

    // A text that ends early: the missing number is empty.
    EXPECT_THROW(G.StrToGradation("0000255,1"), EConvertError);
    // Fewer than five adjustment numbers.
    EXPECT_THROW(G.StrToGradation("0000255,1,0,0,0,0,0,0,5,0"), EConvertError);
}

TEST(TGradationObject, StopCountsAreCheckedAgainstTheFields)
{
    TGradationObject G = FromText(ExampleText);
    const std::vector<TrecGradColStop> Before = G.ColStops;

    // Three pairs announced, two present: the list stays as it was.
    try {
        G.StrToGradation("0000100,1,0,0,0,0,3,0,0,1023,255,0");
        FAIL() << "no conversion error";
    } catch (const EConvertError& E) {
        EXPECT_STREQ(E.what(), "'3' は有効な整数値ではありません");
    }
    EXPECT_EQ(G.iOpacity, 100);
    EXPECT_EQ(G.ColStops, Before);

    // A count no text could hold is refused before any list is made.
    EXPECT_THROW(G.StrToGradation("0000100,1,0,0,0,0,2000000000,0,0"), EConvertError);
    EXPECT_EQ(G.ColStops, Before);
    EXPECT_THROW(G.StrToGradation("0000100,1,0,0,0,0,-1,0,0"), EConvertError);
    EXPECT_EQ(G.ColStops, Before);

    // The transparency count is checked as well; the colour stops read before
    // it keep their new value.
    EXPECT_THROW(G.StrToGradation("0000100,1,0,0,0,0,1,5,255,4,0,0"), EConvertError);
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{5, 255}}));
    EXPECT_TRUE(G.TransStops.empty());

    // A pair cut short leaves its list unchanged.
    EXPECT_THROW(G.StrToGradation("0000100,1,0,0,0,0,1,7,x"), EConvertError);
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{5, 255}}));
}

TEST(TGradationObject, SetStopsKeepPositionOrder)
{
    TGradationObject G;
    G.SetColStop(500, 1);
    G.SetColStop(100, 2);
    G.SetColStop(900, 3);
    G.SetColStop(500, 4); // same position: colour replaced, count unchanged
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{100, 2}, {500, 4}, {900, 3}}));
    G.SetColStop(0, 5);
    G.SetColStop(1023, 6);
    EXPECT_EQ(G.ColStops.front(), (TrecGradColStop{0, 5}));
    EXPECT_EQ(G.ColStops.back(), (TrecGradColStop{1023, 6}));

    G.SetTransStop(300, 10);
    G.SetTransStop(200, 20);
    G.SetTransStop(300, 30);
    EXPECT_EQ(G.TransStops, (std::vector<TrecGradTransStop>{{200, 20}, {300, 30}}));
}

TEST(TGradationObject, DeleteStops)
{
    TGradationObject G;
    G.ColStops = {{0, 1}, {10, 2}, {20, 3}};
    G.DeleteColStop(-1);
    G.DeleteColStop(3);
    EXPECT_EQ(G.ColStops.size(), 3u);
    G.DeleteColStop(1);
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{0, 1}, {20, 3}}));
    EXPECT_FALSE(G.DeleteColStopAt(10));
    EXPECT_TRUE(G.DeleteColStopAt(20));
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{0, 1}}));

    G.TransStops = {{5, 1}, {6, 2}};
    G.DeleteTransStop(2);
    EXPECT_EQ(G.TransStops.size(), 2u);
    G.DeleteTransStop(0);
    EXPECT_TRUE(G.DeleteTransStopAt(6));
    EXPECT_FALSE(G.DeleteTransStopAt(6));
    EXPECT_TRUE(G.TransStops.empty());
}

TEST(TGradationObject, ReverseMirrorsBothLists)
{
    TGradationObject G;
    G.ColStops = {{0, 0x0000FF}, {300, 0x00FF00}};
    G.TransStops = {{0, 255}, {100, 50}, {1023, 0}};
    G.Reverse();
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{723, 0x00FF00}, {1023, 0x0000FF}}));
    EXPECT_EQ(G.TransStops, (std::vector<TrecGradTransStop>{{0, 0}, {923, 50}, {1023, 255}}));
    G.Reverse();
    EXPECT_EQ(G.ColStops, (std::vector<TrecGradColStop>{{0, 0x0000FF}, {300, 0x00FF00}}));
}

TEST(TGradationObject, TablesOfTheExampleText)
{
    TTables T(FromText(ExampleText));
    for (TGradationTable* C : {&T.R, &T.G, &T.B}) {
        EXPECT_EQ((*C)[0], 0);
        EXPECT_EQ((*C)[512], 127); // 512 * 255 div 1023
        EXPECT_EQ((*C)[1023], 255);
    }
    EXPECT_EQ(T.A[0], 255); // no transparency stops
    EXPECT_EQ(T.A[1023], 255);
}

TEST(TGradationObject, ReflectRunsThereAndBack)
{
    TGradationObject G = FromText(ExampleText);
    G.bRepetition = GradRepeatReflect;
    TTables T(G);
    // Nodes 0, 511 (white), 512 (white), 1023 (black), 1024 (black).
    EXPECT_EQ(T.R[0], 0);
    EXPECT_EQ(T.R[256], 127); // 256 * 255 div 511
    EXPECT_EQ(T.R[511], 255);
    EXPECT_EQ(T.R[512], 255);
    EXPECT_EQ(T.R[768], 128); // 255 - 256 * 255 div 511
    EXPECT_EQ(T.R[1023], 0);
}

TEST(TGradationObject, StopsSharingAPositionMakeAStep)
{
    // Black up to 500, white from it.
    TGradationObject G = FromText("0000255,1,0,0,0,0,4,0,0,500,0,500,16777215,1023,16777215,2,"
                                  "300,0,300,255");
    TTables T(G);
    EXPECT_EQ(T.R[0], 0);
    EXPECT_EQ(T.R[499], 0);
    EXPECT_EQ(T.G[500], 255);
    EXPECT_EQ(T.B[1023], 255);
    EXPECT_EQ(T.A[299], 0);
    EXPECT_EQ(T.A[300], 255);

    G.bInterpolation = GradInterpSmooth;
    TTables S(G);
    EXPECT_EQ(S.R[500], 255);
    EXPECT_EQ(S.A[300], 255);
}

TEST(TGradationObject, ReflectHalvingOntoOnePosition)
{
    // Stops 0 and 1 both land on node 0 when halved.
    TTables T(FromText("0100255,1,0,0,0,0,2,0,0,1,16777215,0"));
    EXPECT_EQ(T.R[0], 255);
    EXPECT_EQ(T.R[1022], 255);
    EXPECT_EQ(T.R[1023], 0);
}

TEST(TGradationObject, PathColourTableWithStopsSharingAPosition)
{
    const TrecDrawPathStop Stops[4] = {{0, 0, 1.0}, {500, 0, 1.0}, {500, 0xFFFFFF, 1.0}, {1000, 0, 1.0}};
    int32_t Table[5] = {-1, -1, -1, -1, -1};
    MakeDrawPathColorTable(Stops, 4, Table, 5);
    // Positions 0, 250, 500, 750, 1000.
    EXPECT_EQ(Table[0], 0);
    EXPECT_EQ(Table[1], 0);
    EXPECT_EQ(Table[2], 0);        // the end of the run into 500
    EXPECT_EQ(Table[3], 0x808080); // half way back from white, 127.5 rounded away from zero
    EXPECT_EQ(Table[4], 0);
}
