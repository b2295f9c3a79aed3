// The stop bars: adding, moving, removing and editing stops with the mouse.
#include "editors/grad_stop_bar.h"

#include "paint/gradation_object.h"
#include "ui/golden_image.h"

#include <QTest>
#include <gtest/gtest.h>

#include <vector>

namespace {

// Black at 0 to white at 1023, opaque to clear; bars 258 wide.
struct TBars {
    TBars()
    {
        G.StrToGradation("0000255,1,3000,3000,13000,13000,2,0,0,1023,16777215,2,0,255,1023,0");
        W.SetGradation(&G);
        W.OnChange = [this] { ++Changes; };
        W.show();
    }
    int ColX(int Position) const { return StopBarPixel(W.ColBar().left(), W.ColBar().width(), Position); }
    int ColAnchorY() const { return W.ColBar().top() - 9; }
    int TransAnchorY() const { return W.TransBar().bottom() + 1 + 8; }
    QPoint ColBarAt(int X) const { return QPoint(X, W.ColBar().center().y()); }

    TGradationObject G;
    TGradStopBars W{nullptr, 258};
    int Changes = 0;
};

} // namespace

TEST(GradStopBars, AnchorsStandOnTheirStops)
{
    TBars T;
    ASSERT_EQ(T.W.ColAnchors().Count(), 2);
    EXPECT_EQ(T.W.ColAnchors()[1]->X, T.W.ColBar().left() + 256);
    EXPECT_EQ(T.W.ColAnchors()[0]->Y, T.W.ColBar().top() - 9);
    ASSERT_EQ(T.W.TransAnchors().Count(), 2);
    EXPECT_EQ(T.W.TransAnchors()[0]->Color, 0xFFFFFF); // grey of 255
    EXPECT_EQ(T.W.TransAnchors()[0]->Y, T.TransAnchorY());
}

TEST(GradStopBars, ClickingABarAddsAStopWithThePickedValue)
{
    struct Case { bool Color; bool Ok; int Picked; size_t Stops; };
    for (const Case& C : std::vector<Case>{{true, true, 0x0000FF, 3}, {true, false, 0, 2},
                                           {false, true, 77, 3}, {false, false, 0, 2}}) {
        TBars T;
        const TGradationObject Before = T.G;
        int Offered = -1;
        int Lives = 0;
        auto Pick = [&](int32_t& V, const std::function<void(int32_t)>& Live) {
            Offered = V;
            Live(C.Picked);
            ++Lives;
            V = C.Picked;
            return C.Ok;
        };
        (C.Color ? T.W.PickColor : T.W.PickTrans) = Pick;
        const QRect Bar = C.Color ? T.W.ColBar() : T.W.TransBar();
        // A quarter along: slot left + 64, position 255.
        QTest::mouseClick(&T.W, Qt::LeftButton, {}, QPoint(Bar.left() + 65, Bar.center().y()));
        EXPECT_EQ(Lives, 1);
        const auto& Stops = C.Color ? T.G.ColStops.size() : T.G.TransStops.size();
        ASSERT_EQ(Stops, C.Stops) << C.Color << C.Ok;
        if (!C.Ok) {
            EXPECT_EQ(static_cast<const TrecGradation&>(T.G), static_cast<const TrecGradation&>(Before));
            continue;
        }
        // The stop started from the gradation's own value there.
        EXPECT_NEAR(Offered & 0xFF, C.Color ? 64 : 191, 2);
        if (C.Color) {
            EXPECT_EQ(T.G.ColStops[1].iPosition, 255);
            EXPECT_EQ(T.G.ColStops[1].Color, C.Picked);
            EXPECT_EQ(T.W.ColAnchors()[1]->X, Bar.left() + 64);
        } else {
            EXPECT_EQ(T.G.TransStops[1].iValue, C.Picked);
            EXPECT_EQ(T.W.TransAnchors()[1]->Color, GreyOfOpacity(C.Picked));
        }
    }
}

TEST(GradStopBars, ClickOnAnOccupiedSlotTakesTheNearestFreeOne)
{
    TBars T;
    T.W.PickColor = [](int32_t&, const std::function<void(int32_t)>&) { return true; };
    QTest::mouseClick(&T.W, Qt::LeftButton, {}, T.ColBarAt(T.W.ColBar().left() + 1));
    ASSERT_EQ(T.W.ColAnchors().Count(), 3);
    EXPECT_EQ(T.W.ColAnchors()[1]->X, T.W.ColBar().left() + 4);
}

TEST(GradStopBars, NoStopIsAddedWhenEverySlotIsTaken)
{
    TGradationObject G;
    G.SetColStop(0, 0);
    TGradStopBars W(nullptr, 8); // slots at left and left + 4
    W.SetGradation(&G);
    EXPECT_TRUE(W.AddStop(AnchorColor, W.ColBar().left() + 5));
    EXPECT_FALSE(W.AddStop(AnchorColor, W.ColBar().left() + 5));
    EXPECT_EQ(G.ColStops.size(), 2u);
}

TEST(GradStopBars, DraggingMovesAStopAndKeepsTheOrder)
{
    TBars T;
    T.G.SetColStop(512, 0x0000FF);
    T.W.RebuildAnchors();
    std::vector<std::string> Status;
    T.W.OnStatus = [&](const std::string& S) { Status.push_back(S); };
    const QPoint From(T.ColX(0), T.ColAnchorY());
    QTest::mousePress(&T.W, Qt::LeftButton, {}, From);
    EXPECT_EQ(T.W.DragMode(), 3);
    EXPECT_EQ(Status, std::vector<std::string>{"位置=0%"});
    QTest::mouseMove(&T.W, From + QPoint(3, 0)); // not yet a drag
    EXPECT_EQ(T.W.DragMode(), 3);
    // Past the red stop in the middle: the black one now comes second.
    const QPoint To(T.ColX(800) + 1, T.ColAnchorY());
    QTest::mouseMove(&T.W, To);
    EXPECT_EQ(T.W.DragMode(), 4);
    QTest::mouseRelease(&T.W, Qt::LeftButton, {}, To);
    EXPECT_EQ(T.W.DragMode(), 0);
    EXPECT_EQ(Status.back(), ""); // cleared when the button goes up
    ASSERT_EQ(T.G.ColStops.size(), 3u);
    EXPECT_EQ(T.G.ColStops[0].Color, 0x0000FF);
    EXPECT_EQ(T.G.ColStops[1].Color, 0);
    const int Slot = T.W.ColBar().left() + (T.ColX(800) + 1 - T.W.ColBar().left()) / 4 * 4;
    EXPECT_EQ(T.W.ColAnchors()[1]->X, Slot);
    EXPECT_EQ(T.G.ColStops[1].iPosition, StopBarPosition(T.W.ColBar().left(), 258, Slot));
    // Against the end stop's slot it stops one slot short.
    QTest::mousePress(&T.W, Qt::LeftButton, {}, QPoint(Slot, T.ColAnchorY()));
    QTest::mouseMove(&T.W, QPoint(T.W.ColBar().right() + 10, T.ColAnchorY()));
    QTest::mouseRelease(&T.W, Qt::LeftButton, {}, QPoint(T.W.ColBar().right() + 10, T.ColAnchorY()));
    EXPECT_EQ(T.W.ColAnchors()[1]->X, T.W.ColBar().left() + 252);
    EXPECT_EQ(T.G.ColStops[2].Color, 0xFFFFFF);
    EXPECT_GT(T.Changes, 0);
}

TEST(GradStopBars, DraggingOffTheBarsRemovesAStopUntilItComesBack)
{
    struct Case { bool Back; size_t Stops; };
    for (const Case& C : std::vector<Case>{{false, 1}, {true, 2}}) {
        TBars T;
        const int Y = T.TransAnchorY();
        const QPoint From(T.ColX(1023), Y);
        QTest::mousePress(&T.W, Qt::LeftButton, {}, From);
        EXPECT_EQ(T.W.DragMode(), 5);
        const int Off = T.W.TransBar().bottom() + 1 + 21;
        QTest::mouseMove(&T.W, QPoint(From.x(), Off));
        EXPECT_TRUE(T.W.Trashed());
        EXPECT_EQ(T.G.TransStops.size(), 1u);
        QPoint End(From.x(), Off);
        if (C.Back) {
            End = QPoint(T.ColX(512), Y);
            QTest::mouseMove(&T.W, End);
            EXPECT_FALSE(T.W.Trashed());
        }
        QTest::mouseRelease(&T.W, Qt::LeftButton, {}, End);
        ASSERT_EQ(T.G.TransStops.size(), C.Stops) << C.Back;
        EXPECT_EQ(T.W.TransAnchors().Count(), static_cast<int>(C.Stops));
        if (C.Back) {
            EXPECT_EQ(T.G.TransStops[1].iValue, 0); // the clear stop, now in the middle
            EXPECT_NEAR(T.G.TransStops[1].iPosition, 512, 4);
        }
    }
}

TEST(GradStopBars, ClickingAnAnchorEditsItsValue)
{
    TBars T;
    int Offered = -1;
    T.W.PickTrans = [&](int32_t& V, const std::function<void(int32_t)>&) {
        Offered = V;
        V = 100;
        return true;
    };
    QTest::mouseClick(&T.W, Qt::LeftButton, {}, QPoint(T.ColX(0), T.TransAnchorY()));
    EXPECT_EQ(Offered, 255);
    EXPECT_EQ(T.G.TransStops[0].iValue, 100);
    EXPECT_EQ(T.W.TransAnchors()[0]->Color, GreyOfOpacity(100));
}

TEST(GradStopBars, ReverseMirrorsAnchorsAndStops)
{
    TBars T;
    T.W.Reverse();
    EXPECT_EQ(T.G.ColStops[0].Color, 0xFFFFFF);
    EXPECT_EQ(T.W.ColAnchors()[0]->X, T.W.ColBar().left());
    EXPECT_EQ(T.W.ColAnchors()[0]->Color, 0xFFFFFF);
    EXPECT_EQ(T.W.TransAnchors()[0]->Color, 0);
}

TEST(GradStopBars, Golden)
{
    TBars T;
    T.G.SetColStop(512, 0x0000FF);
    T.W.RebuildAnchors();
    ExpectMatchesGolden(T.W.grab().toImage(), "../editors/grad_stop_bars.png");
}

namespace {

// A red colour stop and a clear opacity stop at 623, blue and opaque at 975,
// as a reopened gradation has them: their anchors stand on the stops' own
// pixels (left + 155 and left + 243), which are not 4-pixel slots, while the
// slot left + 156 maps back to position 623.
const char* const cReopened = "0000255,1,3000,3000,13000,13000,2,623,255,975,16711680,2,623,0,975,255";

std::vector<std::pair<int, int>> AnchorsOf(const TGradAnchors& A)
{
    std::vector<std::pair<int, int>> Out;
    for (int I = 0; I < A.Count(); ++I)
        Out.emplace_back(A[I]->X, A[I]->Color);
    return Out;
}

} // namespace

TEST(GradStopBars, ANewStopNeverTakesOverAStopBesideItsSlot)
{
    struct Case { bool Color; bool Ok; int Offset; };
    std::vector<Case> Cases;
    for (bool Color : {true, false})
        for (bool Ok : {false, true})
            for (int Offset : {156, 157, 158, 159})
                Cases.push_back({Color, Ok, Offset});
    for (const Case& C : Cases) {
        TGradationObject G;
        G.StrToGradation(cReopened);
        TGradStopBars W(nullptr, 258);
        W.SetGradation(&G);
        const TrecGradation Before = G;
        const auto ColBefore = AnchorsOf(W.ColAnchors());
        const auto TransBefore = AnchorsOf(W.TransAnchors());
        ASSERT_EQ(ColBefore.front().first, W.ColBar().left() + 155);
        auto Pick = [&](int32_t& V, const std::function<void(int32_t)>& Live) {
            Live(33);
            V = 77;
            return C.Ok;
        };
        (C.Color ? W.PickColor : W.PickTrans) = Pick;
        const QRect Bar = C.Color ? W.ColBar() : W.TransBar();
        QTest::mouseClick(&W, Qt::LeftButton, {}, QPoint(Bar.left() + C.Offset, Bar.center().y()));
        const std::string What = std::string(C.Color ? "colour" : "opacity") + (C.Ok ? " ok +" : " cancel +") +
                                 std::to_string(C.Offset);
        if (!C.Ok) {
            // Exactly as it was, anchors and all.
            EXPECT_EQ(G, Before) << What;
            EXPECT_EQ(AnchorsOf(W.ColAnchors()), ColBefore) << What;
            EXPECT_EQ(AnchorsOf(W.TransAnchors()), TransBefore) << What;
            continue;
        }
        // The old stops keep their places and values beside the new one.
        if (C.Color) {
            ASSERT_EQ(G.ColStops.size(), 3u) << What;
            EXPECT_EQ(G.TransStops, Before.TransStops) << What;
            int Old = 0;
            for (const auto& S : G.ColStops)
                if (S.iPosition == 623 || S.iPosition == 975)
                    EXPECT_EQ(S, Before.ColStops[Old++]) << What;
                else
                    EXPECT_EQ(S.Color, 77) << What;
            EXPECT_EQ(Old, 2) << What;
            EXPECT_EQ(W.ColAnchors().Count(), 3) << What;
        } else {
            ASSERT_EQ(G.TransStops.size(), 3u) << What;
            EXPECT_EQ(G.ColStops, Before.ColStops) << What;
            int Old = 0;
            for (const auto& S : G.TransStops)
                if (S.iPosition == 623 || S.iPosition == 975)
                    EXPECT_EQ(S, Before.TransStops[Old++]) << What;
                else
                    EXPECT_EQ(S.iValue, 77) << What;
            EXPECT_EQ(Old, 2) << What;
            EXPECT_EQ(W.TransAnchors().Count(), 3) << What;
        }
    }
}

TEST(GradStopBars, ADraggedStopNeverLandsOnAnotherStopsPosition)
{
    TGradationObject G;
    G.StrToGradation("0000255,1,3000,3000,13000,13000,3,0,0,623,255,975,16711680,0");
    TGradStopBars W(nullptr, 258);
    W.SetGradation(&G);
    const int Y = W.ColBar().top() - 9;
    const int Left = W.ColBar().left();
    // The black stop at 0 dragged to the slot whose position is the red stop's.
    QTest::mousePress(&W, Qt::LeftButton, {}, QPoint(Left, Y));
    QTest::mouseMove(&W, QPoint(Left + 157, Y));
    QTest::mouseRelease(&W, Qt::LeftButton, {}, QPoint(Left + 157, Y));
    ASSERT_EQ(G.ColStops.size(), 3u);
    EXPECT_NE(G.ColStops[0].iPosition, G.ColStops[1].iPosition);
    EXPECT_NE(G.ColStops[1].iPosition, G.ColStops[2].iPosition);
    int Red = 0;
    for (const auto& S : G.ColStops)
        Red += S.iPosition == 623 && S.Color == 255;
    EXPECT_EQ(Red, 1);
}

TEST(GradStopBars, AStopBackFromTheTrashTakesASlotOfItsOwn)
{
    // Green at 619 and red at 623 stand on the pixels left + 154 and + 155;
    // pixel + 155 reads back as 619, the green stop's position.
    TGradationObject G;
    G.StrToGradation("0000255,1,3000,3000,13000,13000,3,0,0,619,65280,623,255,0");
    TGradStopBars W(nullptr, 258);
    W.SetGradation(&G);
    const int Y = W.ColBar().top() - 9;
    const QPoint From(W.ColBar().left() + 159, Y); // only the red anchor is hit
    QTest::mousePress(&W, Qt::LeftButton, {}, From);
    QTest::mouseMove(&W, QPoint(From.x(), W.TransBar().bottom() + 40));
    ASSERT_TRUE(W.Trashed());
    QTest::mouseMove(&W, From);
    QTest::mouseRelease(&W, Qt::LeftButton, {}, From);
    ASSERT_EQ(G.ColStops.size(), 3u);
    EXPECT_EQ(G.ColStops[1], (TrecGradColStop{619, 65280}));
    EXPECT_EQ(G.ColStops[2].Color, 255);
    EXPECT_GT(G.ColStops[2].iPosition, 619);
    EXPECT_EQ(W.ColAnchors().Count(), 3);
}
