// The view mapping, the ruler steps, ticks and labels, and the grid steps.
#include "shell/child_form.h"
#include "shell/ruler.h"

#include "foundation/app_environment.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QRegion>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

TEST(ViewMapping, PageToViewAndBack)
{
    struct Row {
        int32_t Zoom, Origin, Doc, View, ViewBack, DocBack;
    };
    // view = ((doc - origin) x zoom + 50) div 100; doc = (view x 100 +
    // zoom div 2) div zoom + origin; divisions toward zero.
    const Row Rows[] = {
        {100, 0, 37, 37, 37, 37},
        {200, 10, 15, 10, 10, 15},
        {150, 10, 15, 8, 8, 15},     // 800 div 100; (800 + 75) div 150 + 10
        {150, 10, 0, -14, -14, 2},   // -1450 div 100; (-1400 + 75) div 150 + 10
        {50, -300, 0, 150, 150, 0},
        {33, 0, 100, 33, 33, 100},   // 3350 div 100; (3300 + 16) div 33
        {10, 0, 1234, 123, 123, 1230},
        {1600, 5, 6, 16, 16, 6},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(testing::Message() << "zoom " << R.Zoom << " origin " << R.Origin << " doc " << R.Doc);
        EXPECT_EQ(DocToViewCoord(R.Doc, R.Origin, R.Zoom), R.View);
        EXPECT_EQ(ViewToDocCoord(R.ViewBack, R.Origin, R.Zoom), R.DocBack);
    }
}

TEST(RulerStep, TickStepByZoomResolutionAndUnit)
{
    struct Row {
        int32_t Zoom, DPI;
        uint8_t Unit;
        double UnitStep, PixelStep;
        int32_t Kind;
    };
    const Row Rows[] = {
        // b = 20 / 72 x 2.54 = 0.706: log -0.151, mantissa 0.849: 0.5 cm,
        // a tick every 14.17 page pixels.
        {100, 72, RulerUnitCm, 0.5, 72 * 0.5 / 2.54, 5},
        // b = 20: mantissa 0.301: 20 pixels.
        {100, 72, RulerUnitPixel, 20, 20, 2},
        // b = 0.278 inch: mantissa 0.444: 0.2 inch = 14.4 pixels.
        {100, 72, RulerUnitInch, 0.2, 14.4, 2},
        // Points at 72 dpi are pixels: 20 pt; at 144 dpi b = 10 pt: 10 pt.
        {100, 72, RulerUnitPoint, 20, 20, 2},
        {100, 144, RulerUnitPoint, 10, 20, 1},
        // b = 5: mantissa 0.699.
        {400, 72, RulerUnitPixel, 5, 5, 5},
        // b = 1.25 / 300 x 2.54 = 0.0106: 0.01 cm.
        {1600, 300, RulerUnitCm, 0.01, 300 * 0.01 / 2.54, 1},
        {10, 72, RulerUnitPixel, 200, 200, 2},
        // An unknown unit counts as pixel.
        {100, 72, 9, 20, 20, 2},
        // Pixels need no resolution.
        {100, 0, RulerUnitPixel, 20, 20, 2},
        // Lengths on a page without a resolution: no ticks (instead of a
        // step of zero or no number).
        {100, 0, RulerUnitCm, 0, 0, 0},
        {100, -72, RulerUnitCm, 0, 0, 0},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE(testing::Message() << "zoom " << R.Zoom << " dpi " << R.DPI << " unit " << int(R.Unit));
        const TRulerStep S = GetRulerStep(R.Zoom, R.DPI, R.Unit);
        EXPECT_EQ(S.Kind, R.Kind);
        EXPECT_NEAR(S.UnitStep, R.UnitStep, 1e-12);
        EXPECT_NEAR(S.PixelStep, R.PixelStep, 1e-9);
    }
}

TEST(RulerTicks, KindsLabelsAndPlaces)
{
    // Half centimetres at 72 dpi: long with a label every 5 cm, medium
    // every centimetre, short between.
    const auto Ticks = RulerTicks(0, 200, 100, 72, RulerUnitCm);
    ASSERT_EQ(Ticks.size(), 16u); // 0 .. floor(200 / 14.17 + 1)
    EXPECT_EQ(Ticks[0].Pos, 0);
    EXPECT_EQ(Ticks[0].Length, TTickLength::Long);
    EXPECT_EQ(Ticks[0].Label, "0");
    EXPECT_EQ(Ticks[1].Length, TTickLength::Short);
    EXPECT_EQ(Ticks[2].Length, TTickLength::Medium);
    EXPECT_EQ(Ticks[2].Pos, 28); // 28.35
    EXPECT_EQ(Ticks[2].Label, "");
    EXPECT_EQ(Ticks[10].Length, TTickLength::Long);
    EXPECT_EQ(Ticks[10].Pos, 142); // 5 cm = 141.73
    EXPECT_EQ(Ticks[10].Label, "5");

    // Pixels at 100 %, view starting at page -50: every 20, labelled every
    // 100, negative values with their sign; kind 1 at 400 % marks the fives.
    const auto P = RulerTicks(-50, 100, 100, 72, RulerUnitPixel);
    ASSERT_EQ(P.front().Pos, -10); // -60
    EXPECT_EQ(P[0].Label, "");
    EXPECT_EQ(P[3].Pos, 50);
    EXPECT_EQ(P[3].Label, "0");
    const auto Q = RulerTicks(0, 200, 1600, 72, RulerUnitPixel); // b = 1.25: every pixel
    ASSERT_EQ(Q.size(), 14u);
    EXPECT_EQ(Q[4].Length, TTickLength::Short);
    EXPECT_EQ(Q[5].Length, TTickLength::Medium);
    EXPECT_EQ(Q[10].Label, "10");
    EXPECT_EQ(Q[10].Pos, 160);

    EXPECT_TRUE(RulerTicks(0, 400, 100, 0, RulerUnitCm).empty());
    EXPECT_TRUE(RulerTicks(0, 400, 100, -1, RulerUnitPoint).empty());
}

TEST(RulerTicks, LabelTextAndDigitImages)
{
    const std::pair<double, const char*> Labels[] = {
        {5, "5"}, {2.5, "2.5"}, {-0.25, "-0.25"}, {4.99999, "5"}, {0.00004, "0"}, {-0.00004, "0"}, {1.23456, "1.2346"}};
    for (const auto& [Value, Text] : Labels)
        EXPECT_EQ(RulerLabel(Value), Text) << Value;
    EXPECT_EQ(RulerDigitIndex('0'), 0);
    EXPECT_EQ(RulerDigitIndex('9'), 9);
    EXPECT_EQ(RulerDigitIndex('-'), 10);
    EXPECT_EQ(RulerDigitIndex('.'), 11);
    EXPECT_EQ(RulerDigitIndex('e'), 0);
}

TEST(GridStep, ByUnitAndAtLeastTenViewPixels)
{
    TrecGrid G;
    std::memset(&G, 0, sizeof(G));
    G.Value3 = 2;  // divisions x
    G.Value4 = 4;  // divisions y
    G.Value5 = 10; // spacing x
    G.Value6 = 2;  // spacing y
    struct Row {
        uint8_t Unit;
        int32_t DPI;
        double SX, SY;
    };
    const Row Rows[] = {
        {0, 72, 5, 0.5},
        {1, 254, 500, 50},     // 10 cm at 254 dpi over 2 divisions
        {2, 72, 360, 36},
        {3, 144, 10, 1},       // points: spacing x DPI / 72 / divisions
        {4, 72, 10, 10},
        {1, 0, 0, 0},
    };
    for (const Row& R : Rows) {
        G.Byte1 = R.Unit;
        double SX = -1;
        double SY = -1;
        GetGridStep(G, R.DPI, SX, SY);
        EXPECT_DOUBLE_EQ(SX, R.SX) << int(R.Unit);
        EXPECT_DOUBLE_EQ(SY, R.SY) << int(R.Unit);
    }
    // At 25 % a 5-pixel grid is drawn every 40 pixels (8 x 5); 40 stays.
    EXPECT_DOUBLE_EQ(GridDrawStep(5, 25), 40);
    EXPECT_DOUBLE_EQ(GridDrawStep(40, 25), 40);
    EXPECT_DOUBLE_EQ(GridDrawStep(3, 100), 12);
    EXPECT_DOUBLE_EQ(GridDrawStep(28.346, 100), 28.346);
    // Steps that no multiple makes long enough: no grid (a length unit
    // without a resolution, a negative resolution, no divisions).
    for (double Step : {0.0, -28.3, std::numeric_limits<double>::infinity(), std::nan("")})
        EXPECT_EQ(GridDrawStep(Step, 100), 0.0) << Step;
}

// A ruler painted only in part (a mouse line's repaint) has there what the
// whole ruler has: the ticks and labels outside are left out, none inside.
TEST(RulerPaint, PartPaintedAsTheWhole)
{
    const auto Ticks = RulerTicks(-3, 400, 100, 72, RulerUnitPixel);
    for (bool Horizontal : {true, false}) {
        SCOPED_TRACE(Horizontal);
        const QSize Size = Horizontal ? QSize(400, RulerThickness) : QSize(RulerThickness, 400);
        QImage Whole(Size, QImage::Format_RGB32);
        {
            QPainter DC(&Whole);
            PaintRuler(DC, Horizontal, 400, Ticks, -1);
        }
        for (int32_t At : {0, 47, 100, 151, 399}) {
            const QRect Strip = Horizontal ? QRect(At, 0, 2, RulerThickness) : QRect(0, At, RulerThickness, 2);
            QImage Part(Size, QImage::Format_RGB32);
            Part.fill(Qt::red);
            {
                QPainter DC(&Part);
                DC.paintEngine()->setSystemClip(QRegion(Strip));
                PaintRuler(DC, Horizontal, 400, Ticks, -1);
            }
            EXPECT_EQ(Part.copy(Strip), Whole.copy(Strip)) << At;
        }
    }
}
