// The planes painting makes for an item as large as the largest picture reach
// past it (its frame adds a pixel each way): the routines that paint into
// them take them. The record is left as allocated, so only the rows written
// here are ever touched and the test stays small in memory.
#include "foundation/poly_line.h"
#include "foundation/rec_path.h"
#include "raster/bmp_conv.h"
#include "raster/bmp_filter.h"
#include "raster/draw_path.h"
#include "raster/rec_picture.h"
#include "raster/tone_filters.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(WorkRecords, PaintingRoutinesTakeThePlaneOfTheLargestPicture)
{
    constexpr int32_t Side = 16385; // the plane of a 16384 x 16384 picture's frame
    static_assert(int64_t{Side} * Side > MaxPicturePixels);
    TrecPicture Plane, Mask;
    RecPictureCreate(Plane, TPoint{0, 0}, Side, Side, 8, false);
    RecPictureCreate(Mask, TPoint{Side - 20, Side - 20}, 20, 20, 8, false);
    std::memset(Mask.pBits, 255, size_t(RecPictureGetImageSize(Mask)));
    for (int32_t Y = Side - 40; Y < Side; ++Y)
        std::memset(RecPictureGetPixelPtr(Plane, 0, Y), 10, size_t(Side));
    auto At = [&](int32_t X, int32_t Y) { return int(*RecPictureGetPixelPtr(Plane, X, Y)); };

    TrecPath Square;
    Square.Count = 4;
    Square.Points = {{Side - 20, Side - 20}, {Side, Side - 20}, {Side, Side}, {Side - 20, Side}};
    Square.pabType = {PT_MOVETO, PT_LINETO, PT_LINETO, PT_LINETO | PT_CLOSEFIGURE};
    RecPathCalcBounds(Square);
    TrecPenData Pen{};
    SetPenDataColor(Pen, 200);
    ASSERT_EQ(DIBSectionDrawPath(Plane, Square, Pen, false, 1.0, false), 0);
    EXPECT_EQ(At(Side - 1, Side - 1), 200);
    EXPECT_EQ(At(Side - 21, Side - 1), 10);

    ASSERT_EQ(RecPictureFilter(1, Plane, &Mask), FilterResultOK); // inverted within the mask
    EXPECT_EQ(At(Side - 20, Side - 10), 55);
    EXPECT_EQ(At(Side - 21, Side - 10), 10);

    BMPGaussBlur8(Plane, &Mask, 0, 3.0, 0); // the square's edge takes some of the 10 beside it
    EXPECT_GT(At(Side - 20, Side - 10), 10);
    EXPECT_LT(At(Side - 20, Side - 10), 55);
    EXPECT_EQ(At(Side - 21, Side - 10), 10);

    RecPictureClear(Mask);
    RecPictureClear(Plane);
}
