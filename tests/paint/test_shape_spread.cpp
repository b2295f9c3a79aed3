// 図形の広がり of 塗り(ボカシ) on a white page, painted black: a shrink eats the
// same depth from every side of the shape, a growth adds it.
#include "paint/macro_library.h"
#include "path_points.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "raster/rec_picture.h"
#include "store/picture_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr int32_t cPage = 220;

void Rectangle(TrecPath& P, const TRect& R)
{
    AddPoint(P, R.Left, R.Top, PT_MOVETO);
    AddPoint(P, R.Right, R.Top, PT_LINETO);
    AddPoint(P, R.Right, R.Bottom, PT_LINETO);
    AddPoint(P, R.Left, R.Bottom, PT_LINETO | PT_CLOSEFIGURE);
}

// Four Bezier quarters round (100, 100), radii 60 and 40: bounds 40..160, 60..140.
void Ellipse(TrecPath& P)
{
    const int32_t Pts[][2] = {{160, 100}, {160, 122}, {133, 140}, {100, 140}, {67, 140}, {40, 122}, {40, 100},
                              {40, 78},   {67, 60},   {100, 60},  {133, 60},  {160, 78}, {160, 100}};
    AddPoint(P, Pts[0][0], Pts[0][1], PT_MOVETO);
    for (int32_t I = 1; I < 13; ++I)
        AddPoint(P, Pts[I][0], Pts[I][1], PT_BEZIERTO | (I == 12 ? PT_CLOSEFIGURE : 0));
}

class ShapeSpread : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        LoadMacroLibraries(std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    }
    static void TearDownTestSuite() { FreeMacroLibraries(); }

    ~ShapeSpread() override { RecPictureClear(Page); }

    // The page after painting Path with the spread.
    void PaintSpread(TrecPath& Path, int32_t Spread)
    {
        RecPathCalcBounds(Path);
        Path.Flag = 1;
        auto M = std::make_unique<TMacro>();
        ASSERT_TRUE(M->LoadFromLibrary("塗り(ボカシ)"));
        M->SetParamValue("図形の広がり", std::to_string(Spread));
        M->SetParamValue("塗り方法", "1000000");
        TMacros List;
        List.Add(std::move(M));
        RecPictureClear(Page);
        RecPictureCreate(Page, TPoint{}, cPage, cPage, 24, false);
        std::memset(Page.pBits, 0xFF, static_cast<size_t>(RecPictureGetImageSize(Page)));
        TListRecPict Store(nullptr);
        TMacroPaintArgs Args;
        Args.Target = &Page;
        Args.PrimaryPath = &Path;
        Args.Quality = cPaintQualityNormal;
        Args.Store = &Store;
        TRect R1, R2;
        List.Paint(Args, {}, nullptr, R1, R2);
    }
    int32_t Blue(int32_t X, int32_t Y) const { return RecPictureGetPixelPtr(Page, X, Y)[0]; }

    TrecPicture Page{};
};

} // namespace

// A fill covers the path's rectangle short of its right and bottom lines:
// (L, T) .. (R - 1, B - 1). Spread by -N it is that rectangle inset by N on
// every side; by +N every pixel within the filter's circle of it (squared
// distance up to N^2 + N).
TEST_F(ShapeSpread, RectangleShrinksAndGrowsByTheSameDepthOnEverySide)
{
    const struct {
        TRect Path;
        int32_t Spread;
    } Cases[] = {
        {{40, 50, 160, 150}, -30}, {{40, 50, 160, 150}, -10}, {{40, 50, 160, 150}, -1},
        {{40, 50, 160, 150}, 0},   {{40, 50, 160, 150}, 10},  {{40, 50, 160, 150}, 30},
        {{0, 0, 90, 40}, -10},     {{70, 20, 100, 200}, -15}, // inset past its middle: nothing left
        {{70, 20, 100, 200}, -14},
    };
    for (const auto& C : Cases) {
        SCOPED_TRACE(std::to_string(C.Spread) + " on " + std::to_string(C.Path.Left) + "," +
                     std::to_string(C.Path.Top));
        TrecPath Path;
        Rectangle(Path, C.Path);
        PaintSpread(Path, C.Spread);
        int32_t Wrong = 0;
        for (int32_t Y = 0; Y < cPage; ++Y)
            for (int32_t X = 0; X < cPage; ++X) {
                const int32_t DX = std::max({C.Path.Left - X, 0, X - (C.Path.Right - 1)});
                const int32_t DY = std::max({C.Path.Top - Y, 0, Y - (C.Path.Bottom - 1)});
                const int32_t N = std::abs(C.Spread);
                const bool Painted =
                    C.Spread < 0 ? X >= C.Path.Left + N && X <= C.Path.Right - 1 - N && Y >= C.Path.Top + N &&
                                       Y <= C.Path.Bottom - 1 - N
                                 : DX * DX + DY * DY <= N * N + N;
                Wrong += Blue(X, Y) != (Painted ? 0 : 255);
            }
        EXPECT_EQ(Wrong, 0);
    }
}

// An ellipse touches its bounds at one point per side: shrunk by N, nothing
// is left within N of the unshrunk fill's bounds, and it keeps its centre.
TEST_F(ShapeSpread, EllipseShrinksEvenlyWithoutSpikesAtItsBounds)
{
    const auto PaintedBounds = [&] {
        TRect B{cPage, cPage, -1, -1};
        for (int32_t Y = 0; Y < cPage; ++Y)
            for (int32_t X = 0; X < cPage; ++X)
                if (Blue(X, Y) != 255)
                    B = TRect{std::min(B.Left, X), std::min(B.Top, Y), std::max(B.Right, X), std::max(B.Bottom, Y)};
        return B;
    };
    TrecPath Path;
    Ellipse(Path);
    PaintSpread(Path, 0);
    const TRect Fill = PaintedBounds();
    for (const int32_t N : {1, 3, 10, 25}) {
        SCOPED_TRACE(N);
        TrecPath Shrunk;
        Ellipse(Shrunk);
        PaintSpread(Shrunk, -N);
        const TRect B = PaintedBounds();
        EXPECT_GE(B.Left, Fill.Left + N);
        EXPECT_GE(B.Top, Fill.Top + N);
        EXPECT_LE(B.Right, Fill.Right - N);
        EXPECT_LE(B.Bottom, Fill.Bottom - N);
        EXPECT_EQ(B.Left - Fill.Left, Fill.Right - B.Right);
        EXPECT_EQ(B.Top - Fill.Top, Fill.Bottom - B.Bottom);
    }
}
