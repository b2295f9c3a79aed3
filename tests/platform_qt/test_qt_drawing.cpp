// Point paths and bottom-aligned text on a QPainter.
#include "platform/qt/qt_drawing.h"

#include <QFont>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Black or white pixels of a 16 x 16 picture, one string per row.
std::vector<std::string> Rows(const QImage& Image)
{
    std::vector<std::string> Result;
    for (int Y = 0; Y < Image.height(); ++Y) {
        std::string Row;
        for (int X = 0; X < Image.width(); ++X)
            Row += (Image.pixel(X, Y) & 0xFFFFFF) ? '.' : '#';
        Result.push_back(Row);
    }
    return Result;
}

QImage Draw(const std::vector<TPoint>& Points, const std::vector<uint8_t>& Types, int Times = 1,
            QPainter::CompositionMode Mode = QPainter::CompositionMode_SourceOver)
{
    QImage Image(16, 16, QImage::Format_RGB32);
    Image.fill(Mode == QPainter::CompositionMode_SourceOver ? Qt::white : Qt::black);
    QPainter P(&Image);
    P.setCompositionMode(Mode);
    P.setPen(QPen(Mode == QPainter::CompositionMode_SourceOver ? Qt::black : Qt::white, 0));
    P.setBrush(Qt::red); // a path is never filled
    for (int I = 0; I < Times; ++I)
        PolyDrawPath(P, Points.data(), Types.data(), static_cast<int32_t>(Types.size()));
    return Image;
}

const std::vector<std::string> kSquare = {
    "................", "................", "..#########.....", "..#.......#.....",
    "..#.......#.....", "..#.......#.....", "..#.......#.....", "..#.......#.....",
    "..#.......#.....", "..#.......#.....", "..#########.....", "................",
    "................", "................", "................", "................",
};

TEST(PolyDrawPath, ClosedFigureOfLinesIsOneOutlineEvenUnderXor)
{
    const std::vector<TPoint> Square = {{2, 2}, {10, 2}, {10, 10}, {2, 10}};
    const std::vector<uint8_t> Types = {6, 2, 2, 3};
    EXPECT_EQ(Rows(Draw(Square, Types)), kSquare);
    // Every outline pixel, the figure's start included, is inverted once:
    // drawn once it is the same outline, drawn twice it is gone.
    QImage Once = Draw(Square, Types, 1, QPainter::RasterOp_SourceXorDestination);
    Once.invertPixels();
    EXPECT_EQ(Rows(Once), kSquare);
    EXPECT_EQ(Rows(Draw(Square, Types, 2, QPainter::RasterOp_SourceXorDestination)),
              std::vector<std::string>(16, "################"));
    // An open figure has no closing side.
    std::vector<std::string> Open = kSquare;
    for (int Y = 3; Y <= 9; ++Y)
        Open[Y][2] = '.';
    EXPECT_EQ(Rows(Draw({{2, 2}, {10, 2}, {10, 10}, {2, 10}}, {6, 2, 2, 2})), Open);
}

TEST(PolyDrawPath, BezierTripleClosesBackToTheFigureStart)
{
    const std::vector<std::string> Rows_ = Rows(Draw({{1, 12}, {1, 0}, {14, 0}, {14, 12}}, {6, 4, 4, 5}));
    // The closing line along row 12 and the curve's top at y = 12 * 0.25 = 3.
    EXPECT_EQ(Rows_[12].substr(2, 11), std::string(11, '#'));
    const std::vector<std::string> Open = Rows(Draw({{1, 12}, {1, 0}, {14, 0}, {14, 12}}, {6, 4, 4, 4}));
    EXPECT_EQ(Open[12].substr(2, 11), std::string(11, '.'));
    EXPECT_EQ(Rows_[3][7], '#');
    EXPECT_EQ(Rows_[2][7], '.');
    for (int Y = 4; Y < 12; ++Y)
        EXPECT_EQ(Rows_[Y][7], '.') << Y;
}

TEST(PolyDrawPath, UnknownTypesAndCutBeziersDrawNothing)
{
    const std::vector<std::string> Blank(16, "................");
    // A Bezier needs three points; a closed move and a lone close are no types.
    EXPECT_EQ(Rows(Draw({{1, 1}, {12, 12}, {3, 12}}, {6, 4, 4})), Blank);
    EXPECT_EQ(Rows(Draw({{1, 1}, {12, 12}, {3, 12}, {5, 5}}, {6, 7, 5, 1})), Blank);
}

TEST(DrawTextBottom, ShortTextEndsAtTheBottomTallTextStartsAtTheTop)
{
    QFont Font("DejaVu Sans");
    Font.setPixelSize(10);
    const QRect R(4, 4, 60, 30);
    // Draws Text; gives the first and last row holding ink.
    auto InkRows = [&](const QString& Text, int& Height) {
        QImage Image(80, 80, QImage::Format_RGB32);
        Image.fill(Qt::white);
        QPainter P(&Image);
        P.setFont(Font);
        Height = DrawTextBottom(P, Text, R);
        P.end();
        int Top = -1;
        int Bottom = -1;
        for (int Y = 0; Y < Image.height(); ++Y)
            for (int X = 0; X < Image.width(); ++X)
                if ((Image.pixel(X, Y) & 0xFFFFFF) != 0xFFFFFF) {
                    if (Top < 0)
                        Top = Y;
                    Bottom = Y;
                }
        return std::pair(Top, Bottom);
    };
    int Line = 0;
    auto [Top, Bottom] = InkRows("Hg", Line);
    ASSERT_GT(Line, 8);
    // The line box is the rectangle's last Line rows; the "g" hangs to its foot.
    EXPECT_GE(Top, R.top() + R.height() - Line);
    EXPECT_LE(Bottom, R.bottom());
    EXPECT_GE(Bottom, R.bottom() - 3);
    // Two lines wrapped at the blank.
    int Height = 0;
    std::tie(Top, Bottom) = InkRows("Hgggggg Hgggggg", Height);
    EXPECT_EQ(Height, 2 * Line);
    EXPECT_GE(Top, R.top() + R.height() - Height);
    EXPECT_GE(Bottom, R.bottom() - 3);
    // Higher than the rectangle: drawn from its top.
    std::tie(Top, Bottom) = InkRows("H H H H H H H H H H H H H H H H H H H H H H H H", Height);
    EXPECT_GT(Height, R.height());
    EXPECT_LT(Top, R.top() + Line);
}

} // namespace
