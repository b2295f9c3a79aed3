// Work-area placement, the palette test and the bevel frame, on the
// offscreen screen.
#include "platform/qt/window_routines.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

#include <map>

namespace {

TRect WorkArea()
{
    TRect R;
    EXPECT_TRUE(GetWorkAreaRect(R));
    return R;
}

} // namespace

TEST(WindowRoutines, KeepPosInWorkAreaLeavesSixteenPixelsInside)
{
    const TRect A = WorkArea();
    struct TCase {
        int32_t X, Y, W, H, WantX, WantY;
    };
    const TCase Cases[] = {
        {A.Left - 500, A.Top + 10, 100, 50, A.Left + 16 - 100, A.Top + 10},  // wholly left
        {A.Left + 10, A.Top - 300, 100, 50, A.Left + 10, A.Top},             // above: title bar in
        {A.Right + 40, A.Bottom + 40, 100, 50, A.Right - 16, A.Bottom - 16}, // right and below
        {A.Left - 84, A.Top + 20, 100, 50, A.Left - 84, A.Top + 20},         // 16 inside already
        {A.Right - 16, A.Bottom - 16, 100, 50, A.Right - 16, A.Bottom - 16},
    };
    for (const TCase& C : Cases) {
        int32_t X = C.X, Y = C.Y;
        KeepPosInWorkArea(X, Y, C.W, C.H);
        EXPECT_EQ(X, C.WantX) << C.X << "," << C.Y;
        EXPECT_EQ(Y, C.WantY) << C.X << "," << C.Y;
    }
}

TEST(WindowRoutines, CenterWindowInWorkAreaCentresThenKeepsInside)
{
    const TRect A = WorkArea();
    QWidget Ref, Win;
    Ref.setGeometry(A.Left + 100, A.Top + 100, 301, 201);
    Win.setGeometry(0, 0, 100, 50);
    CenterWindowInWorkArea(&Win, &Ref);
    EXPECT_EQ(Win.pos(), QPoint(A.Left + 100 + 150 - 50, A.Top + 100 + 100 - 25));

    // Centred over a window at the bottom-right corner it is pulled back in;
    // over one at the top-left it is pushed in.
    Ref.setGeometry(A.Right - 40, A.Bottom - 40, 40, 40);
    CenterWindowInWorkArea(&Win, &Ref);
    EXPECT_EQ(Win.pos(), QPoint(A.Right - 100, A.Bottom - 50));
    Ref.setGeometry(A.Left, A.Top, 20, 20);
    CenterWindowInWorkArea(&Win, &Ref);
    EXPECT_EQ(Win.pos(), QPoint(A.Left, A.Top));
    EXPECT_EQ(Win.size(), QSize(100, 50));
}

// Over a control inside a window: centred over its place on the screen, not
// over its place within the window.
TEST(WindowRoutines, CenterWindowInWorkAreaOverAControlUsesItsScreenPlace)
{
    const TRect A = WorkArea();
    QWidget Owner, Win;
    Owner.setGeometry(A.Left + 60, A.Top + 40, 500, 400);
    auto* Control = new QWidget(&Owner);
    Control->setGeometry(200, 150, 201, 101);
    Win.setGeometry(0, 0, 100, 50);
    CenterWindowInWorkArea(&Win, Control);
    EXPECT_EQ(Win.pos(), QPoint(A.Left + 60 + 200 + 100 - 50, A.Top + 40 + 150 + 50 - 25));

    // Still kept inside when the control lies at the work area's corner.
    Owner.move(A.Right - 300, A.Bottom - 180);
    CenterWindowInWorkArea(&Win, Control);
    EXPECT_EQ(Win.pos(), QPoint(A.Right - 100, A.Bottom - 50));
}

TEST(WindowRoutines, TrueColourScreenIsNoPaletteDevice)
{
    ASSERT_GT(QGuiApplication::primaryScreen()->depth(), 8);
    EXPECT_FALSE(IsPaletteDevice());
}

// W white, S silver, K black, G grey, F the fill colour, M untouched.
TEST(WindowRoutines, DrawBevelFramePixels)
{
    const std::map<char, QRgb> Colours = {{'W', 0xFFFFFFFF}, {'S', 0xFFC0C0C0}, {'K', 0xFF000000},
                                          {'G', 0xFF808080}, {'F', 0xFF563412}, {'M', 0xFF0A0B0C}};
    struct TCase {
        bool Raised;
        int32_t Fill;
        const char* Rows[6];
    };
    const TCase Cases[] = {
        {true, 0x123456, {"WWWWWWM", "WSSSSMK", "WSFFFGK", "WSFFFGK", "WGGGGGK", "KKKKKKK"}},
        {false, -1, {"KKKKKKM", "KGGGGMW", "KGMMMSW", "KGMMMSW", "KSSSSSW", "WWWWWWW"}},
    };
    for (const TCase& C : Cases) {
        QImage Img(9, 8, QImage::Format_RGB32);
        Img.fill(Colours.at('M'));
        {
            QPainter P(&Img);
            DrawBevelFrame(P, TRect{1, 1, 8, 7}, C.Raised, C.Fill);
        }
        for (int Y = 0; Y < 8; ++Y)
            for (int X = 0; X < 9; ++X) {
                const bool Inside = X >= 1 && X < 8 && Y >= 1 && Y < 7;
                const char Want = Inside ? C.Rows[Y - 1][X - 1] : 'M';
                EXPECT_EQ(Img.pixel(X, Y), Colours.at(Want))
                    << (C.Raised ? "raised" : "sunken") << " at " << X << "," << Y;
            }
    }
}
