// Document windows that are not maximised open cascaded in the frame's
// client area, each at a place no open window already holds.
#include "shell_test_support.h"

#include "shell/child_form.h"
#include "shell/tavro_action.h"

#include <QStyle>

#include <set>

namespace {

class TCascadeTest : public TFrameTest {
protected:
    // The top-left corners of the open document windows when not maximised.
    std::vector<QPoint> NormalPlaces()
    {
        std::vector<QPoint> Places;
        for (TDocWindow* W : Frame->DocWindows()) {
            W->SubWindow()->showNormal();
            Settle();
            Places.push_back(W->SubWindow()->pos());
        }
        return Places;
    }
    static size_t Distinct(const std::vector<QPoint>& Places)
    {
        std::set<std::pair<int, int>> Set;
        for (const QPoint& P : Places)
            Set.insert({P.x(), P.y()});
        return Set.size();
    }
    // The windows' captions and top-left corners, from the back to the front.
    using TPlaces = std::vector<std::pair<std::string, std::pair<int, int>>>;
    TPlaces Standing() const
    {
        TPlaces Places;
        for (QMdiSubWindow* Sub : Frame->MdiArea()->subWindowList(QMdiArea::StackingOrder))
            Places.push_back({Sub->windowTitle().toStdString(), {Sub->x(), Sub->y()}});
        return Places;
    }
    // A cascade step: a title bar's height.
    int Step() const
    {
        QMdiSubWindow* Sub = Frame->MdiArea()->subWindowList().at(0);
        return Sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, Sub);
    }
    // A frame with room for a few cascade steps and Count new documents'
    // windows in it, maximised or not.
    void StartWithWindows(bool Maximised, int Count)
    {
        AppIniFile().WriteInteger("4.0", "MaxFrmChild", Maximised ? 1 : 0);
        Start();
        Frame->resize(1400, 1000);
        Settle();
        for (int I = 1; I < Count; ++I)
            Frame->actNew->trigger();
        Settle();
    }
    void CloseWindow(size_t Index)
    {
        TDocWindow* W = Frame->DocWindows().at(Index);
        W->Document()->SetModified(false);
        W->SubWindow()->close();
        Settle();
    }
};

} // namespace

TEST(CascadedWindowPlace, ComesAStepBelowTheLowestOrWhereFewestStand)
{
    // 1000 x 800 with 300 x 200 windows: 26 places, 24 apart.
    std::vector<QPoint> All;
    for (int I = 0; I < 26; ++I)
        All.push_back({24 * I, 24 * I});
    struct TCase {
        const char* Name;
        std::vector<QPoint> Held;
        QPoint At;
    };
    const TCase Cases[] = {
        {"none", {}, {0, 0}},
        {"the first two", {{0, 0}, {24, 24}}, {48, 48}},
        // A freed place higher up would cover the captions below it.
        {"a gap in the middle", {{0, 0}, {48, 48}}, {72, 72}},
        {"the corner free", {{24, 24}, {48, 48}}, {72, 72}},
        // No room below the lowest: the first place no window holds.
        {"the last place held", {{0, 0}, {600, 600}}, {24, 24}},
        // A window moved off the steps holds none of them.
        {"off the steps", {{0, 0}, {30, 24}}, {24, 24}},
        // Every place once: the corner again, then the next held least.
        {"all", All, {0, 0}},
        {"all, the corner twice", [&] { auto H = All; H.push_back({0, 0}); return H; }(), {24, 24}},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(CascadedWindowPlace(QSize(300, 200), QSize(1000, 800), C.Held, 24), QRect(C.At, QSize(300, 200)))
            << C.Name;
    // A window as large as the area has one place only.
    EXPECT_EQ(CascadedWindowPlace(QSize(3000, 900), QSize(1000, 800), {{0, 0}}, 24), QRect(0, 0, 1000, 800));
}

// Three cascaded, the middle one closed: the next window comes a step below
// the third, neither on an open one nor over the third's caption; so does a
// file opened in place of the untouched first document.
TEST_F(TCascadeTest, ANewWindowCoversNoOpenOneNorItsCaption)
{
    StartWithWindows(false, 3);
    ASSERT_EQ(Frame->DocWindows().size(), 3u);
    const int S = Step();
    ASSERT_EQ(Distinct(NormalPlaces()), 3u);
    CloseWindow(1);
    Frame->actNew->trigger();
    Settle();
    ASSERT_EQ(Frame->DocWindows().size(), 3u);
    EXPECT_EQ(Frame->DocWindows()[2]->SubWindow()->pos(), QPoint(3 * S, 3 * S));
    EXPECT_EQ(Distinct(NormalPlaces()), 3u);

    while (!Frame->DocWindows().empty())
        CloseWindow(0);
    Frame->actNew->trigger();
    for (const char* Name : {"a1.srn", "b1.srn"}) {
        SaveDocumentFile(Tmp / Name, 1);
        Frame->OpenFile(Tmp / Name);
        Settle();
    }
    EXPECT_EQ(Standing(), (TPlaces{{"a1", {S, S}}, {"b1", {2 * S, 2 * S}}}));
}

// Maximised windows keep the places they come back to: one reopened after
// another closed gets its own.
TEST_F(TCascadeTest, MaximisedWindowsComeBackToPlacesOfTheirOwn)
{
    StartWithWindows(true, 2);
    ASSERT_EQ(Frame->DocWindows().size(), 2u);
    ASSERT_TRUE(Frame->DocWindows()[1]->SubWindow()->isMaximized());
    CloseWindow(0);
    Frame->actNew->trigger();
    Settle();
    ASSERT_EQ(Frame->DocWindows().size(), 2u);
    EXPECT_EQ(Distinct(NormalPlaces()), 2u);
}

// A window maximised from its place keeps that place for the windows that
// open after it.
TEST_F(TCascadeTest, AWindowMaximisedFromItsPlaceStillHoldsIt)
{
    StartWithWindows(false, 2);
    QMdiSubWindow* Second = Frame->DocWindows().at(1)->SubWindow();
    // Moved by hand onto the next step, then maximised.
    Second->move(48, 48);
    Settle();
    Second->showMaximized();
    Settle();
    Frame->actNew->trigger();
    Settle();
    ASSERT_EQ(Frame->DocWindows().size(), 3u);
    EXPECT_EQ(Distinct(NormalPlaces()), 3u);
}

// Started with the first window maximised, a second opened while it is, then
// the active one restored as its title bar's restore button does: no window
// lies on another's top-left.
TEST_F(TCascadeTest, RestoringAfterANewWindowWhileMaximisedLeavesNoneCovered)
{
    StartWithWindows(true, 1);
    ASSERT_EQ(Frame->DocWindows().size(), 1u);
    ASSERT_TRUE(Frame->DocWindows()[0]->SubWindow()->isMaximized());
    Frame->actNew->trigger();
    Settle();
    ASSERT_EQ(Frame->DocWindows().size(), 2u);
    QMdiSubWindow* Active = Frame->DocWindows()[1]->SubWindow();
    ASSERT_TRUE(Active->isMaximized());
    ASSERT_EQ(Active->mdiArea()->currentSubWindow(), Active);
    Active->showNormal();
    Settle();
    std::vector<QPoint> Places;
    for (TDocWindow* W : Frame->DocWindows()) {
        QMdiSubWindow* Sub = W->SubWindow();
        EXPECT_FALSE(Sub->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))
            << Sub->windowTitle().toStdString();
        Places.push_back(Sub->pos());
    }
    EXPECT_EQ(Distinct(Places), 2u);
}

// `tavro a1.srn b1.srn c1.srn`: the windows take the cascade places in the
// order the files were named, the last one in front and lowest, so that every
// caption shows.
TEST_F(TCascadeTest, DocumentsOpenedAtStartUpStandEachAStepBelowTheOneBehind)
{
    AppIniFile().WriteInteger("4.0", "MaxFrmChild", 0);
    QStringList Files;
    for (const char* Name : {"a1.srn", "b1.srn", "c1.srn"}) {
        SaveDocumentFile(Tmp / Name, 1);
        Files << QString::fromStdString(Tmp / Name);
    }
    Start(Files);
    Settle();
    const int S = Step();
    ASSERT_GT(S, 0);
    EXPECT_EQ(Standing(), (TPlaces{{"a1", {0, 0}}, {"b1", {S, S}}, {"c1", {2 * S, 2 * S}}}));
}

// 重ねて表示 puts the windows, a maximised one and one moved by hand
// among them, at the places new windows take, back to front; the next new
// window then comes in front of them one step lower.
TEST_F(TCascadeTest, CascadedWindowsLeaveTheNextPlaceToANewWindow)
{
    StartWithWindows(false, 3);
    ASSERT_EQ(Frame->DocWindows().size(), 3u);
    Frame->DocWindows()[0]->SubWindow()->move(200, 30);
    Frame->DocWindows()[2]->SubWindow()->showMaximized();
    Settle();
    const TPlaces Before = Standing();
    Frame->actCascade->trigger();
    Settle();
    const int S = Step();
    TPlaces Expected;
    for (size_t I = 0; I < Before.size(); ++I)
        Expected.push_back({Before[I].first, {int(I) * S, int(I) * S}});
    EXPECT_EQ(Standing(), Expected);
    for (TDocWindow* W : Frame->DocWindows())
        EXPECT_FALSE(W->SubWindow()->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
    Frame->actNew->trigger();
    Settle();
    ASSERT_EQ(Standing().size(), 4u);
    EXPECT_EQ(Standing().back().second, std::make_pair(3 * S, 3 * S));
}

// Opened maximised at start-up, the windows come back to the cascade places
// in the order the files were named, whichever is restored first (by its
// restore button), and keep them through maximising and minimising after.
TEST_F(TCascadeTest, DocumentsOpenedMaximisedComeBackToPlacesInTheirOrder)
{
    QStringList Files;
    for (const char* Name : {"a1.srn", "b1.srn", "c1.srn"}) {
        SaveDocumentFile(Tmp / Name, 1);
        Files << QString::fromStdString(Tmp / Name);
    }
    for (int First : {2, 0, 1}) {
        AppIniFile().WriteInteger("4.0", "MaxFrmChild", 1);
        Start(Files);
        Settle();
        const QList<QMdiSubWindow*> Subs = Frame->MdiArea()->subWindowList(QMdiArea::CreationOrder);
        const auto Places = [&Subs] {
            std::vector<std::pair<int, int>> P;
            for (QMdiSubWindow* W : Subs)
                P.push_back({W->x(), W->isMaximized() ? -1 : W->y()});
            return P;
        };
        Frame->MdiArea()->setActiveSubWindow(Subs[First]);
        Settle();
        ASSERT_TRUE(Subs[First]->isMaximized());
        Subs[First]->showNormal();
        Settle();
        const int S = Step();
        const std::vector<std::pair<int, int>> Expected = {{0, 0}, {S, S}, {2 * S, 2 * S}};
        EXPECT_EQ(Places(), Expected) << First;
        for (QMdiSubWindow* W : Subs)
            for (auto Show :
                 {&QWidget::showMaximized, &QWidget::showNormal, &QWidget::showMinimized, &QWidget::showNormal}) {
                (W->*Show)();
                Settle();
            }
        EXPECT_EQ(Places(), Expected) << First;
        Close();
    }
}
