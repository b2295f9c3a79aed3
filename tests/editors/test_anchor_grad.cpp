// Stop anchors, their lists and the geometry of bars and preview points.
#include "editors/anchor_grad.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TGradAnchors AnchorsAt(const std::vector<int>& Xs)
{
    TGradAnchors A;
    for (int X : Xs)
        A.AddOrSet(AnchorColor, X, 0, 0);
    return A;
}

std::vector<int> Xs(const TGradAnchors& A)
{
    std::vector<int> Out;
    for (int I = 0; I < A.Count(); ++I)
        Out.push_back(A[I]->X);
    return Out;
}

} // namespace

TEST(AnchorGrad, StopPositionsAndPixels)
{
    struct Case { int Left, Width, Position, Pixel, Back; };
    for (const Case& C : std::vector<Case>{{24, 258, 0, 24, 0},
                                          {24, 258, 1023, 280, 1023},
                                          {24, 258, 512, 152, 511},
                                          {0, 1025, 100, 100, 100},
                                          {10, 2, 500, 10, 0}}) {
        EXPECT_EQ(StopBarPixel(C.Left, C.Width, C.Position), C.Pixel) << C.Position;
        EXPECT_EQ(StopBarPosition(C.Left, C.Width, C.Pixel), C.Back) << C.Pixel;
    }
}

TEST(AnchorGrad, FreeSlotRule)
{
    // A bar at 0, 20 wide: slots 0, 4, 8, 12, 16.
    struct Case { std::vector<int> Taken; int X; bool Found; int Slot; };
    for (const Case& C : std::vector<Case>{{{}, 6, true, 4},
                                           {{4}, 6, true, 0},          // a tie takes the left slot
                                           {{0, 4}, 5, true, 8},       // only the right is free
                                           {{4, 8}, 5, true, 0},       // the left is nearer
                                           {{8, 12}, 13, true, 16},    // the right is nearer
                                           {{0, 4, 8}, 9, true, 12},
                                           {{12, 16}, 19, true, 8},    // only the left is free
                                           {{0, 4, 8, 12, 16}, 9, false, -1}}) {
        const TGradAnchors A = AnchorsAt(C.Taken);
        int Slot = -1;
        EXPECT_EQ(FindFreeSlot(A, 0, 20, C.X, Slot), C.Found) << C.X;
        EXPECT_EQ(Slot, C.Slot) << C.X;
    }
    // The anchor being moved does not block its own slot.
    TGradAnchors A = AnchorsAt({4});
    int Slot = -1;
    ASSERT_TRUE(FindFreeSlot(A, 0, 20, 5, Slot, A[0]));
    EXPECT_EQ(Slot, 4);
}

TEST(AnchorGrad, ListKeepsXOrderAndSetsColourAtSameX)
{
    TGradAnchors A = AnchorsAt({20, 4, 12});
    EXPECT_EQ(Xs(A), (std::vector<int>{4, 12, 20}));
    A.AddOrSet(AnchorColor, 12, 0xFF, 0);
    EXPECT_EQ(A.Count(), 3);
    EXPECT_EQ(A[1]->Color, 0xFF);
    A.Mirror(0, 24);
    EXPECT_EQ(Xs(A), (std::vector<int>{4, 12, 20}));
    EXPECT_EQ(A[1]->Color, 0xFF);
    A.Mirror(0, 30);
    EXPECT_EQ(Xs(A), (std::vector<int>{10, 18, 26}));
    EXPECT_FALSE(A.DelAnchor(AnchorTrans, 10, 0)); // wrong kind
    EXPECT_TRUE(A.DelAnchor(AnchorColor, 10, 0));
    EXPECT_EQ(Xs(A), (std::vector<int>{18, 26}));
    auto Taken = A.Take(A[0]);
    EXPECT_EQ(Xs(A), (std::vector<int>{26}));
    Taken->X = 30;
    A.Put(std::move(Taken));
    EXPECT_EQ(Xs(A), (std::vector<int>{26, 30}));
}

TEST(AnchorGrad, HitTests)
{
    struct Case { int Dx, Dy; bool Stop, Point1, Point2; };
    const TAnchorCol Stop(AnchorColor, 50, 50, 0);
    const TAnchorPnt P1(AnchorPoint1, 50, 50), P2(AnchorPoint2, 50, 50);
    for (const Case& C : std::vector<Case>{{0, 0, true, true, true},
                                           {3, -3, true, true, true},
                                           {4, 4, true, true, false},
                                           {5, 0, false, true, false},
                                           {0, -6, false, false, false}}) {
        EXPECT_EQ(Stop.HitTest(50 + C.Dx, 50 + C.Dy), C.Stop) << C.Dx << "," << C.Dy;
        EXPECT_EQ(P1.HitTest(50 + C.Dx, 50 + C.Dy), C.Point1) << C.Dx << "," << C.Dy;
        EXPECT_EQ(P2.HitTest(50 + C.Dx, 50 + C.Dy), C.Point2) << C.Dx << "," << C.Dy;
    }
    TGradAnchors A;
    A.AddOrSet(AnchorTrans, 10, 0, 5);
    EXPECT_EQ(A.HitTest(30, 5), 0);
    EXPECT_EQ(A.HitTest(12, 7), AnchorTrans);
    EXPECT_EQ(A.Hit()->X, 10);
}

TEST(AnchorGrad, PreviewPointMapping)
{
    // Outline 200 wide in a 300-pixel preview.
    struct Case { int Unit, Zoom, Pixel; };
    for (const Case& C : std::vector<Case>{{0, 100, 50}, {16384, 100, 250}, {8192, 100, 150},
                                           {16384, 50, 200}, {3000, 25, 134}, {-16384, 10, 120}}) {
        EXPECT_EQ(GradUnitToPreview(C.Unit, 200, C.Zoom, 300), C.Pixel) << C.Unit << "@" << C.Zoom;
        EXPECT_NEAR(PreviewToGradUnit(C.Pixel, 200, C.Zoom, 300), C.Unit, 16384 * 100 / 200 / C.Zoom)
            << C.Unit << "@" << C.Zoom;
    }
    EXPECT_EQ(PreviewToGradUnit(250, 200, 100, 300), 16384);
}

TEST(AnchorGrad, PointsText)
{
    EXPECT_EQ(GradPointsText(0, 8192, 16384, 8192, 200, 100), "基準1=(0, 50)%, 基準2=(100, 50)%, 角度=90.0度");
    EXPECT_EQ(GradPointsText(3000, 3000, 13000, 13000, 100, 100), "基準1=(18, 18)%, 基準2=(79, 79)%, 角度=135.0度");
    // Straight up is -90 degrees, turned to 0.
    EXPECT_EQ(GradPointsText(0, 16384, 0, 0, 100, 100), "基準1=(0, 100)%, 基準2=(0, 0)%, 角度=0.0度");
    // Left gives 180 + 90.
    EXPECT_EQ(GradPointsText(16384, 0, 0, 0, 100, 100), "基準1=(100, 0)%, 基準2=(0, 0)%, 角度=270.0度");
}

TEST(AnchorGrad, ShiftConstraintTakesTheNearestRay)
{
    struct Case { int X, Y; double Step; int Cx, Cy; };
    for (const Case& C : std::vector<Case>{{100, 10, 15, 100, 0},    // nearly level
                                           {100, 90, 45, 95, 95},    // nearly diagonal
                                           {-5, 100, 90, 0, 100},   // nearly straight down
                                           {30, 40, 0, 30, 40},     // no step
                                           {0, 0, 15, 0, 0}}) {     // on the other point
        int32_t X = C.X, Y = C.Y;
        ConstrainToAngle(0, 0, X, Y, C.Step);
        EXPECT_EQ(X, C.Cx) << C.X << "," << C.Y;
        EXPECT_EQ(Y, C.Cy) << C.X << "," << C.Y;
    }
}
