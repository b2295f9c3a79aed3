// A paint style of three macros built from the program's paint functions (a
// soft shadow, a gradation fill, a bevel lit by a light set), painted through
// TMacros::Paint on a 60 x 40 rounded shape in an 80 x 60 picture.
#include "paint/macro_list.h"

#include "foundation/rec_path.h"
#include "store/picture_store.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"
#include "paint/paint_spy_table.h"
#include "paint/picture_cache.h"
#include "platform/test_support.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int32_t Width = 80, Height = 60, Background = 0xC8C8C8;
constexpr TRect Empty{-1, -1, -2, -2};
const char* const Pen = "1,0,1.00";
// An ambient light and a parallel one.
const char* const Lights = "40,FFFFFF0,10,0,2,3,ambFFFFFF70,0,3,sunFFFFFF60,2,0.2,0.2,0.5,0.5,";

// The rounded rectangle (5, 5) - (65, 45), corners of radius 10; its bounds
// are exactly that.
TrecPath RoundedShape()
{
    const int32_t C = 4; // the control points' inset, 10 x (1 - 0.5523), on whole pixels
    const TPoint Pts[] = {{15, 5},      {55, 5},      {65 - C, 5}, {65, 5 + C},  {65, 15}, {65, 35},
                          {65, 45 - C}, {65 - C, 45}, {55, 45},    {15, 45},     {5 + C, 45}, {5, 45 - C},
                          {5, 35},      {5, 15},      {5, 5 + C},  {5 + C, 5},   {15, 5}};
    const uint8_t L = PT_LINETO, B = PT_BEZIERTO;
    const uint8_t Types[] = {PT_MOVETO, L, B, B, B, L, B, B, B, L, B, B, B, L, B, B, B | PT_CLOSEFIGURE};
    TrecPath P;
    RecPolyLineSetCount(P, 17);
    P.Points.assign(std::begin(Pts), std::end(Pts));
    P.pabType.assign(std::begin(Types), std::end(Types));
    RecPathCalcBounds(P);
    return P;
}

TTvmPairs PlaneForPath(const std::string& Blur, const std::string& BlurKind)
{
    return {{"", "*Primary"}, {Pen, ""}, {"塗りつぶし", ""}, {"0", ""}, {"2", ""},
            {Blur, ""},       {BlurKind, ""}, {"1", ""},      {"0", ""}, {"0", ""}};
}
TTvmPairs FillPath(const std::string& Plane)
{
    return {{Plane, ""}, {"", ""}, {"100", ""}, {"", "*Primary"}, {Pen, ""}, {"255", ""}, {"塗りつぶし", ""},
            {"Yes", ""}, {"通常", ""}};
}
TTvmPairs Gauss(const std::string& Plane, const std::string& Size)
{
    return {{Plane, ""}, {"", ""}, {"ガウス", ""}, {Size, ""}, {"1", ""}, {"No", ""}};
}

struct TPicture {
    TrecPicture P{};
    TPicture()
    {
        RecPictureCreate(P, TPoint{0, 0}, Width, Height, 24, false);
        RecPictureFillColor(P, Background);
    }
    ~TPicture() { RecPictureClear(P); }
    // 0x00BBGGRR
    int32_t At(int32_t X, int32_t Y) const
    {
        const uint8_t* Px = RecPictureGetPixelPtr(P, X, Y);
        return Px[0] << 16 | Px[1] << 8 | Px[2];
    }
    std::vector<uint8_t> All() const { return {P.pBits, P.pBits + RecPictureGetImageSize(P)}; }
};

int32_t Red(int32_t C) { return C & 0xFF; }
int32_t Green(int32_t C) { return (C >> 8) & 0xFF; }
int32_t Blue(int32_t C) { return (C >> 16) & 0xFF; }

class PaintStack : public ::testing::Test {
protected:
    void SetUp() override
    {
        TTvmWriter W;
        // Margin 2 plus the blur kernel's half-width, moved by (6, 6), black at 80 %.
        W.Macro("影")
            .Line("PlaneMakeForPath2", 10, "S", PlaneForPath("2", "ガウス"))
            .Line("NilPlanePaintFillCol", 9, "", FillPath("S"))
            .Line("NilPlaneFilterSize", 6, "", Gauss("S", "2"))
            .Line("NilPlaneMove", 4, "", {{"S", ""}, {"", ""}, {"6", ""}, {"6", ""}})
            .Line("NilPicturePaintFill2", 0x10000 | 9, "",
                  {{"PictureBackGround", ""}, {"S", ""}, {"80", ""}, {"", ""}, {"", ""}, {"1000000", ""},
                   {"塗りつぶし", ""}, {"Yes", ""}, {"通常", ""}})
            .End();
        // Linear, left to right over the bounds: red (0x00BBGGRR 0x0000FF) to blue.
        W.Macro("グラデ")
            .Line("NilPicturePaintFill2", 0x10000 | 9, "",
                  {{"PictureBackGround", ""}, {"", ""}, {"100", ""}, {"", "*Primary"}, {Pen, ""},
                   {"210000255,1,0,8192,16384,8192,2,0,255,1023,16711680,0,0,0,100,0,100", ""},
                   {"塗りつぶし", ""}, {"Yes", ""}, {"通常", ""}})
            .End();
        W.Macro("ベベル")
            .Line("PlaneMakeForPath2", 10, "M", PlaneForPath("0", "絶対値"))
            .Line("NilPlanePaintFillCol", 9, "", FillPath("M"))
            .Line("PlaneDuplicate", 5, "B", {{"M", ""}, {"No", ""}, {"8", ""}, {"", ""}, {"No", ""}})
            .Line("NilPlaneFilterSize", 6, "", Gauss("B", "3"))
            .Line("NilPictureLight", 0x10000 | 8, "",
                  {{"PictureBackGround", ""}, {"M", ""}, {"B", ""}, {Lights, ""}, {"", "*Primary"}, {"", ""},
                   {"0", ""}, {"普通", ""}})
            .End()
            .End();
        Dir.Put("Macro.tvm", W.B);
        Dir.Put("MacPath.tvm", TTvmWriter().End().B);
        LoadMacroLibraries(Dir.Dir);
        for (const char* Name : {"影", "グラデ", "ベベル"}) {
            auto M = std::make_unique<TMacro>();
            ASSERT_TRUE(M->LoadFromLibrary(Name)) << Name;
            Stack.Add(std::move(M));
        }
    }
    void TearDown() override { FreeMacroLibraries(); }

    void Paint(TPicture& Into, bool UseCache, bool MeasureOnly = false)
    {
        TMacroPaintArgs A;
        A.Target = &Into.P;
        A.PrimaryPath = &Path;
        A.Store = &Store;
        A.UseCache = UseCache;
        A.MeasureOnly = MeasureOnly; // Table nil: the program's table
        Stack.Paint(A, nullptr, nullptr, Rect1, Rect2);
    }

    TTempDir Dir;
    TrecPath Path = RoundedShape();
    TListRecPict Store{nullptr};
    TMacros Stack;
    TRect Rect1{}, Rect2{};
};

} // namespace

TEST_F(PaintStack, PaintsInsideTheRectanglesAndRerunsFromTheCache)
{
    TPicture P;
    Paint(P, false);
    // The gradation runs red to blue over the shape; the lights keep the hue.
    const int32_t Left = P.At(12, 25), Right = P.At(58, 25);
    EXPECT_GT(Red(Left), Blue(Left) + 60) << std::hex << Left;
    EXPECT_GT(Blue(Right), Red(Right) + 60) << std::hex << Right;
    // The bevel: the lit slope of the top edge and the bottom one differ, while
    // the gradation is the same down a column.
    const auto Sum = [](int32_t C) { return Red(C) + Green(C) + Blue(C); };
    EXPECT_GT(std::abs(Sum(P.At(35, 7)) - Sum(P.At(35, 43))), 15) << std::hex << P.At(35, 7) << " " << P.At(35, 43);
    // The shadow lies right of and below the shape, black over grey staying
    // grey, not left of or above it.
    for (const auto& [X, Y] : {std::pair{68, 25}, std::pair{35, 48}, std::pair{68, 48}}) {
        const int32_t C = P.At(X, Y);
        EXPECT_TRUE(Red(C) == Green(C) && Blue(C) == Green(C) && Red(C) < 0xC8 - 40) << X << "," << Y << std::hex << C;
    }
    EXPECT_EQ(P.At(2, 25), Background);
    EXPECT_EQ(P.At(35, 2), Background);
    // Far from the shape and its shadow nothing changes. Shadow: bounds (5, 5,
    // 65, 45) widened by 2 + 3 (the half-width of the Gaussian kernel for size
    // 2), moved by 6: (6, 6, 76, 56). Gradation: the fill mask, bounds widened
    // by pen width 1 + 3: (1, 1, 69, 49). Bevel: the planes, bounds widened by
    // 2: (3, 3, 67, 47).
    EXPECT_EQ(Rect1, Empty);
    EXPECT_EQ(Rect2, (TRect{1, 1, 76, 56}));
    TPicture Fresh, Measured;
    int32_t Changed = 0;
    for (int32_t Y = 0; Y < Height; ++Y)
        for (int32_t X = 0; X < Width; ++X)
            if (P.At(X, Y) != Fresh.At(X, Y)) {
                ++Changed;
                EXPECT_TRUE(X >= Rect2.Left && X <= Rect2.Right && Y >= Rect2.Top && Y <= Rect2.Bottom)
                    << X << "," << Y;
            }
    EXPECT_GT(Changed, 60 * 40);
    // Measuring reports the same rectangles and paints nothing.
    Rect1 = Rect2 = TRect{0, 0, 0, 0};
    Paint(Measured, false, true);
    EXPECT_EQ(Rect1, Empty);
    EXPECT_EQ(Rect2, (TRect{1, 1, 76, 56}));
    EXPECT_EQ(Measured.All(), Fresh.All());
    TPicture Filling, Reusing;
    EXPECT_EQ(Stack.GetMacro(0)->PictureCache().Count(), 0);
    Paint(Filling, true);
    // The inputs of the final lines are kept under their names and the instance.
    const TrecPicture* Shadow = Stack.GetMacro(0)->PictureCache().Find("S\t0");
    ASSERT_NE(Shadow, nullptr);
    EXPECT_NE(Stack.GetMacro(2)->PictureCache().Find("M\t0"), nullptr);
    EXPECT_NE(Stack.GetMacro(2)->PictureCache().Find("B\t0"), nullptr);
    const TPoint ShadowAt{Shadow->iLeft, Shadow->iTop};
    Paint(Reusing, true);
    // The move is not a final line: a reusing run leaves the plane where it is.
    EXPECT_EQ((TPoint{Shadow->iLeft, Shadow->iTop}), ShadowAt);
    EXPECT_EQ(Filling.All(), P.All());
    EXPECT_EQ(Reusing.All(), P.All());
}
