// Toolbars: the empty toolbar, single-line layout when docked, wrapping
// when floating (wrap widths, groups moving whole, long groups, separators
// at line breaks), the item order and the sizes a resize snaps to.
#include "tool_window_test_support.h"
#include "ui/toolbar97.h"

#include <string>
#include <vector>

namespace {

class TToolbar97Test : public TDockFormTest {
protected:
    TToolbar97* MakeBar(TDock97* Dock)
    {
        auto* T = new TToolbar97(Form.get());
        T->setObjectName("tbarTest");
        SetApplicationActive(true);
        T->SetDockedTo(Dock);
        return T;
    }
    // Items from a pattern: a number is a button of that width (22 high),
    // "|" a separator, "b" a blank separator.
    std::vector<QWidget*> Fill(TToolbar97* T, const std::vector<std::string>& Pattern)
    {
        std::vector<QWidget*> Items;
        for (const std::string& P : Pattern) {
            if (P == "|" || P == "b") {
                auto* S = new TToolbarSep97(T);
                S->SetBlank(P == "b");
                Items.push_back(S);
            } else {
                auto* W = new QWidget(T->ClientArea());
                W->resize(std::stoi(P), 22);
                W->show();
                Items.push_back(W);
            }
        }
        return Items;
    }
};

TEST_F(TToolbar97Test, AnEmptyFloatingToolbarIsEightPixelsPlusItsMargins)
{
    TToolbar97* T = MakeBar(nullptr);
    EXPECT_EQ(T->ComputeLayout(false, 0, nullptr), QSize(8 + 4 + 4, 8 + 2 + 1));
    EXPECT_EQ(T->ComputeLayout(false, 0, Top), QSize(8, 8));
    EXPECT_EQ(T->ComputeLayout(false, 0, Left), QSize(8, 8));
}

TEST_F(TToolbar97Test, ADockedToolbarNeverWraps)
{
    TToolbar97* T = MakeBar(Top);
    T->SetFloatRightX(30);
    const std::vector<QWidget*> Items = Fill(T, {"23", "23", "|", "23", "40"});
    EXPECT_EQ(T->ComputeLayout(true, 1, Top), QSize(23 + 23 + 6 + 23 + 40, 22));
    const int Xs[] = {0, 23, 46, 52, 75};
    for (size_t I = 0; I < Items.size(); ++I) {
        EXPECT_EQ(Items[I]->pos(), QPoint(Xs[I], 0)) << I;
    }
    // The separator stands inline, as long as the line is thick.
    EXPECT_EQ(Items[2]->size(), QSize(6, 22));
    // In a vertical dock the items run downwards.
    EXPECT_EQ(T->ComputeLayout(true, 2, Left), QSize(40, 22 + 22 + 6 + 22 + 22));
    EXPECT_EQ(Items[4]->pos(), QPoint(0, 22 + 22 + 6 + 22));
    EXPECT_EQ(Items[2]->size(), QSize(40, 6));
}

TEST_F(TToolbar97Test, WrapWidthsOfAFloatingToolbar)
{
    struct TCase {
        int32_t FloatRightX;
        QSize Client;
        std::vector<QPoint> At;
    };
    // Buttons 23, 40 and 23 wide; the widest button + 8 is the least width.
    const TCase Cases[] = {
        {0, {4 + 86 + 4, 2 + 22 + 1}, {{4, 2}, {27, 2}, {67, 2}}},
        {200, {4 + 86 + 4, 2 + 22 + 1}, {{4, 2}, {27, 2}, {67, 2}}},
        {71, {71, 2 + 44 + 1}, {{4, 2}, {27, 2}, {4, 24}}},
        {20, {48, 2 + 66 + 1}, {{4, 2}, {4, 24}, {4, 46}}},
    };
    TToolbar97* T = MakeBar(nullptr);
    const std::vector<QWidget*> Items = Fill(T, {"23", "40", "23"});
    for (const TCase& C : Cases) {
        T->SetFloatRightX(C.FloatRightX);
        EXPECT_EQ(T->ComputeLayout(true, 0, nullptr), C.Client) << C.FloatRightX;
        for (size_t I = 0; I < Items.size(); ++I) {
            EXPECT_EQ(Items[I]->pos(), C.At[I]) << C.FloatRightX << " item " << I;
        }
    }
}

TEST_F(TToolbar97Test, ASeparatorAtALineBreakBecomesAnEtchedGap)
{
    for (const char* Kind : {"|", "b"}) {
        TToolbar97* T = MakeBar(nullptr);
        const std::vector<QWidget*> Items = Fill(T, {"23", "23", Kind, "23", "23"});
        T->SetFloatRightX(60);
        // The second group does not fit: it moves down by a line and 6 pixels,
        // and the width goes back to where the first group ended.
        EXPECT_EQ(T->ComputeLayout(true, 0, nullptr), QSize(4 + 46 + 4, 2 + 22 + 6 + 22 + 1)) << Kind;
        EXPECT_EQ(Items[2]->width(), 0);
        EXPECT_EQ(Items[3]->pos(), QPoint(4, 30));
        EXPECT_EQ(Items[4]->pos(), QPoint(27, 30));
        ASSERT_EQ(T->LineSeps().size(), 1u);
        EXPECT_EQ(T->LineSeps()[0].Y, 30);
        EXPECT_EQ(T->LineSeps()[0].Blank, std::string(Kind) == "b");
        // Unwrapped the separator gets its width back.
        T->SetFloatRightX(0);
        EXPECT_EQ(T->ComputeLayout(true, 0, nullptr).width(), 4 + 46 + 6 + 46 + 4);
        EXPECT_EQ(Items[2]->width(), 6);
        EXPECT_TRUE(T->LineSeps().empty());
        delete T;
    }
}

TEST_F(TToolbar97Test, GroupsMoveWholeAndALongGroupWrapsBetweenItsItems)
{
    TToolbar97* T = MakeBar(nullptr);
    // A | B C D E | F
    const std::vector<QWidget*> I = Fill(T, {"23", "|", "23", "23", "23", "23", "|", "23"});
    T->SetFloatRightX(60);
    T->ComputeLayout(true, 0, nullptr);
    EXPECT_EQ(I[0]->pos(), QPoint(4, 2));
    // B C D E do not fit after A: the group starts a line and wraps inside.
    EXPECT_EQ(I[2]->pos(), QPoint(4, 30));
    EXPECT_EQ(I[3]->pos(), QPoint(27, 30));
    EXPECT_EQ(I[4]->pos(), QPoint(4, 52));
    EXPECT_EQ(I[5]->pos(), QPoint(27, 52));
    // F would fit after E, but the group before wrapped: a new line.
    EXPECT_EQ(I[7]->pos(), QPoint(4, 52 + 22 + 6));
    EXPECT_EQ(T->LineSeps().size(), 2u);
}

TEST_F(TToolbar97Test, ItemsKeepTheirInsertionOrderAndALoadSortsThemByPosition)
{
    TToolbar97* T = MakeBar(Top);
    std::vector<QWidget*> Items = Fill(T, {"10", "20", "30"});
    EXPECT_EQ(T->OrderedControlCount(), 3);
    EXPECT_EQ(T->GetOrderedControl(0), Items[0]);
    // Moving an item at run time does not change the order.
    Items[0]->move(500, 0);
    T->ComputeLayout(true, 1, Top);
    EXPECT_EQ(T->GetOrderedControl(0), Items[0]);
    EXPECT_EQ(Items[1]->x(), 10);
    // A removed item leaves the order; the load sorts by Left.
    delete Items[1];
    EXPECT_EQ(T->OrderedControlCount(), 2);
    Items[0]->move(500, 0);
    Items[2]->move(0, 0);
    T->InitializeItemOrder();
    EXPECT_EQ(T->GetOrderedControl(0), Items[2]);
    EXPECT_EQ(T->GetOrderedControl(1), Items[0]);
}

// Items freed and new ones made in their place (the allocator hands the
// freed addresses out again): the order holds the new items once each.
TEST_F(TToolbar97Test, ItemsMadeAfterOthersWereFreedAreListedOnceInTheirOrder)
{
    TToolbar97* T = MakeBar(Top);
    for (int Round = 0; Round < 3; ++Round) {
        const QObjectList Old = T->ClientArea()->children();
        for (QObject* C : Old)
            delete C;
        const std::vector<QWidget*> Items = Fill(T, {"10", "|", "20", "30", "|", "40"});
        ASSERT_EQ(T->OrderedControlCount(), 6) << Round;
        for (int32_t I = 0; I < 6; ++I)
            EXPECT_EQ(T->GetOrderedControl(I), Items[size_t(I)]) << Round << " " << I;
        T->ComputeLayout(true, 1, Top);
        EXPECT_EQ(Items[0]->x(), 0) << Round;
    }
}

// Each item's number stays beside it in the order: it follows removals and
// the sorting of a load, and an item's own properties do not enter it.
TEST_F(TToolbar97Test, ItemNumbersFollowTheirItemsInTheOrder)
{
    TToolbar97* T = MakeBar(Top);
    std::vector<QWidget*> Items = Fill(T, {"10", "|", "20", "30"});
    const int32_t Numbers[] = {7, -1, 9, 11};
    for (size_t I = 0; I < Items.size(); ++I)
        T->SetItemTag(Items[I], Numbers[I]);
    EXPECT_EQ(T->OrderedTags(), (std::vector<int32_t>{7, -1, 9, 11}));
    Items[0]->setProperty("Tag", 99);
    static_cast<TToolbarSep97*>(Items[1])->SetTag(98);
    EXPECT_EQ(T->OrderedTags(), (std::vector<int32_t>{7, -1, 9, 11}));
    delete Items[2];
    QWidget Elsewhere;
    Items[3]->setParent(&Elsewhere);
    T->SetItemTag(Items[3], 5);
    EXPECT_EQ(T->OrderedTags(), (std::vector<int32_t>{7, -1}));
    auto* Late = new QWidget(T->ClientArea());
    EXPECT_EQ(T->OrderedTags(), (std::vector<int32_t>{7, -1, 0}));
    T->SetItemTag(Late, 3);
    Items[0]->move(500, 0);
    Late->move(0, 0);
    Items[1]->move(100, 0);
    T->InitializeItemOrder();
    EXPECT_EQ(T->OrderedTags(), (std::vector<int32_t>{3, -1, 7}));
    EXPECT_EQ(T->OrderedControls(), (std::vector<QWidget*>{Late, Items[1], Items[0]}));
}

TEST_F(TToolbar97Test, SeparatorsGoOnToolbarsOnlyAndLetPressesThrough)
{
    TToolbar97* T = MakeBar(Top);
    auto* S = new TToolbarSep97(T);
    EXPECT_EQ(S->Toolbar(), T);
    EXPECT_TRUE(T->IsTransparentChild(S));
    QCoreApplication::processEvents();
    EXPECT_TRUE(S->testAttribute(Qt::WA_TransparentForMouseEvents));
    try {
        S->SetParent(Form.get());
        FAIL();
    } catch (const EInvalidOperation& E) {
        EXPECT_STREQ(E.what(), "TToolbarSep97 can only be placed on a TToolbar97");
    }
    EXPECT_EQ(S->Toolbar(), T);
    S->SetSizeHorz(0);
    EXPECT_EQ(S->SizeHorz(), 1);
    // The thickness counts buttons only, at least 8.
    int32_t Size = 0;
    T->CalcBarThickness(Size, 1);
    EXPECT_EQ(Size, 8);
}

TEST_F(TToolbar97Test, ResizingOffersEachShapeOnceWidestFirst)
{
    TToolbar97* T = MakeBar(nullptr);
    Fill(T, {"23", "23", "23", "23"});
    T->Arrange();
    const QMargins F = T->FloatingFrameMargins();
    T->SizingStarted(htRight);
    // One line, two lines of two (three and one looks the same height), one per line.
    const std::vector<QSize> Want = {QSize(100, 25).grownBy(F), QSize(54, 47).grownBy(F), QSize(31, 91).grownBy(F)};
    EXPECT_EQ(T->SizingSizes(), Want);
    // Inside the sensitivity band the size holds; dragging the right edge
    // past the middle shape snaps to it, short of it holds the shape before.
    const QRect Orig = QRect(QPoint(10, 20), Want[0]);
    QRect R = Orig;
    R.setWidth(Want[0].width() - 12);
    T->SizingTrack(R, Orig);
    EXPECT_EQ(R, Orig);
    R.setWidth(Want[1].width() + 3);
    T->SizingTrack(R, Orig);
    EXPECT_EQ(R, Orig);
    R.setWidth(Want[1].width() - 3);
    T->SizingTrack(R, Orig);
    EXPECT_EQ(R, QRect(QPoint(10, 20), Want[1]));
    T->SizingEnded(true);
    EXPECT_EQ(T->FloatRightX(), Want[1].width() - 2 * F.left());
    // Top and bottom edges walk the shapes tallest first.
    T->SizingStarted(htBottom);
    EXPECT_EQ(T->SizingSizes().front(), Want[2]);
    T->SizingEnded(false);
}

} // namespace
