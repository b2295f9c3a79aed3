// A page whose items fail to draw: the item is left out (nothing it drew
// before it failed stays), the rest is drawn, the failure is handed out
// once, and the item is tried again when it changes or when a command draws
// the page for output. The dirty area never reaches past the page.
#include "object_test_support.h"
#include "draw_test_doubles.h"

#include "foundation/geometry.h"
#include "foundation/user_error.h"
#include "model/document.h"
#include "model/page.h"
#include "model/page_views.h"
#include "paint/macro_interpreter.h"
#include "paint/macro_list.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

namespace {

const std::string PaintFailed = "NilPictureContBright の実行に失敗。戻り値 = 00000007";

// A 60 x 40 page with a red rectangle and, right of it, a blue one that
// then has its brightness changed: the second macro fails on demand (in
// painting runs or in measuring runs).
struct TFailingPage {
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Libraries;
    TOLEDocumentWex Doc{nullptr, nullptr};
    TPage* Page = nullptr;
    TSilentFormDoc View;
    TRectObj* Red = nullptr;
    TRectObj* Blue = nullptr;
    bool FailPainting = false;
    bool FailMeasuring = false;
    int BlueRuns = 0; // painting runs of the failing function for Blue
    int BlueMeasures = 0;
    TPaintCallHook Old;

    TFailingPage()
    {
        Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(60, 40);
        Page->AddForm(&View);
        Old = SetPaintCallHook([this](std::string_view Function, const TMacroPaintArgs& Args) {
            if (Function != "NilPictureContBright" || !Blue || Args.Instance != Blue->ObjID())
                return 0;
            ++(Args.MeasureOnly ? BlueMeasures : BlueRuns);
            return (Args.MeasureOnly ? FailMeasuring : FailPainting) ? 7 : 0;
        });
    }
    ~TFailingPage()
    {
        SetPaintCallHook(Old);
        Page->RemoveForm(&View);
    }
    TFailingPage(const TFailingPage&) = delete;
    TFailingPage& operator=(const TFailingPage&) = delete;
    TRectObj* Add(const TRect& F, std::vector<std::unique_ptr<TMacro>> Macros)
    {
        auto S = std::make_unique<TRectObj>(Page, -1);
        S->SetFrame(F.Left, F.Top, F.Right, F.Bottom);
        S->Macros().Clear();
        for (auto& M : Macros)
            S->Macros().Add(std::move(M));
        S->SetFillPath(1);
        return static_cast<TRectObj*>(Page->RootGroup().AddChild(std::move(S), -1));
    }
    static std::unique_ptr<TMacro> Library(const char* Name)
    {
        auto M = std::make_unique<TMacro>();
        EXPECT_TRUE(M->LoadFromLibrary(Name)) << Name;
        return M;
    }
    void AddBoth(bool WithBlue = true)
    {
        std::vector<std::unique_ptr<TMacro>> R;
        R.push_back(MakeFillMacro("r", "10000FF"));
        Red = Add({4, 4, 24, 24}, std::move(R));
        if (!WithBlue)
            return;
        std::vector<std::unique_ptr<TMacro>> B;
        B.push_back(MakeFillMacro("b", "1FF0000"));
        B.push_back(Library("明るさ・コントラスト"));
        Blue = Add({20, 8, 30, 24}, std::move(B));
    }
    std::vector<uint8_t> Pixels() const
    {
        const TrecPicture& P = Page->PagePicture();
        return std::vector<uint8_t>(P.pBits, P.pBits + RecPictureGetImageSize(P));
    }
    uint32_t Rgb(int32_t X, int32_t Y) const
    {
        const uint8_t* P = RecPictureGetPixelPtr(Page->PagePicture(), X, Y);
        return uint32_t(P[2]) << 16 | uint32_t(P[1]) << 8 | P[0];
    }
    std::vector<std::string> TakeTexts()
    {
        std::vector<std::string> Texts;
        for (const TItemDrawFailure& F : Page->TakeDrawFailures()) {
            EXPECT_EQ(F.ItemID, Blue ? Blue->ObjID() : -1);
            try {
                std::rethrow_exception(F.Error);
            } catch (const Exception& E) {
                Texts.push_back(E.Message());
            }
        }
        return Texts;
    }
    // The page as it renders without Blue.
    static std::vector<uint8_t> PixelsWithoutBlue()
    {
        TFailingPage Other;
        Other.AddBoth(false);
        Other.Page->Update();
        return Other.Pixels();
    }
};

struct RenderFailureTest : ::testing::Test, TFailingPage {};

} // namespace

TEST_F(RenderFailureTest, AnItemThatFailsAsItPaintsLeavesNothingOfItAndIsToldOnce)
{
    AddBoth();
    FailPainting = true;
    EXPECT_NO_THROW(Page->Update());
    EXPECT_EQ(BlueRuns, 1);
    EXPECT_EQ(Page->DirtyRect(), EmptyExtent);
    // The blue it painted before its second macro failed is gone.
    EXPECT_EQ(Pixels(), PixelsWithoutBlue());
    EXPECT_EQ(Rgb(10, 10), 0xFF0000u);
    EXPECT_EQ(TakeTexts(), std::vector<std::string>{PaintFailed});
    EXPECT_TRUE(Blue->LeftOutAt(3));
    EXPECT_FALSE(Blue->LeftOutAt(1));
    // Rendered again round it and over it, it is not tried again.
    for (int I = 0; I < 2; ++I) {
        Page->InvalidateRect(nullptr, false);
        Page->Update();
    }
    EXPECT_EQ(BlueRuns, 1);
    EXPECT_TRUE(TakeTexts().empty());
    EXPECT_EQ(Pixels(), PixelsWithoutBlue());
    // Changed, it is tried again: told again once.
    Blue->MoveBy(1, 0);
    Page->Update();
    Page->Update();
    EXPECT_EQ(BlueRuns, 2);
    EXPECT_EQ(TakeTexts(), std::vector<std::string>{PaintFailed});
    // Drawable, the next change draws it.
    FailPainting = false;
    Blue->MoveBy(-1, 0);
    Page->Update();
    EXPECT_EQ(BlueRuns, 3);
    EXPECT_FALSE(Blue->LeftOutAt(3));
    EXPECT_TRUE(TakeTexts().empty());
    EXPECT_NE(Pixels(), PixelsWithoutBlue());
}

TEST_F(RenderFailureTest, AnItemThatFailsToMeasureIsLeftOutWithoutRaising)
{
    AddBoth();
    // Never measured, as after a document is read.
    FailMeasuring = true;
    Blue->ResetExtents();
    EXPECT_NO_THROW(Page->Update());
    EXPECT_EQ(TakeTexts(), std::vector<std::string>{PaintFailed});
    EXPECT_EQ(Pixels(), PixelsWithoutBlue());
    EXPECT_EQ(BlueRuns, 0);
    const int Measures = BlueMeasures;
    for (int I = 0; I < 2; ++I) {
        Page->InvalidateRect(nullptr, false);
        EXPECT_NO_THROW(Page->Update());
    }
    EXPECT_EQ(BlueMeasures, Measures);
    EXPECT_EQ(BlueRuns, 0);
    EXPECT_TRUE(TakeTexts().empty());
    // Measurable again, a change has it drawn.
    FailMeasuring = false;
    Blue->MoveBy(1, 1);
    Page->Update();
    EXPECT_TRUE(TakeTexts().empty());
    EXPECT_NE(Pixels(), PixelsWithoutBlue());
    EXPECT_NE(Rgb(40, 20), 0xFFFFFFu);
}

// Switching the display mode clears the effects' caches, which is no change
// of the items: what failed in a mode stays left out in it.
TEST_F(RenderFailureTest, TheDisplayModeKeepsWhatFailedInEachMode)
{
    AddBoth();
    FailPainting = true;
    Page->Update();
    ASSERT_TRUE(Blue->LeftOutAt(3));
    Page->SetDisplayMode(2);
    EXPECT_TRUE(Blue->LeftOutAt(3));
    EXPECT_FALSE(Blue->LeftOutAt(2));
    Page->SetDisplayMode(3);
    EXPECT_TRUE(Blue->LeftOutAt(3));
    Page->TakeDrawFailures();
    const int Runs = BlueRuns;
    Page->InvalidateRect(nullptr, false);
    Page->Update();
    EXPECT_EQ(BlueRuns, Runs);
    EXPECT_TRUE(TakeTexts().empty());
}

// A command drawing the page for output tries what the views leave out and
// raises its failure (the views do not hand it out again); once drawable,
// the item is in the output and no longer left out.
TEST_F(RenderFailureTest, AnOutputRenderTriesTheItemAgainAndRaisesItsFailure)
{
    AddBoth();
    FailPainting = true;
    Page->Update();
    ASSERT_EQ(TakeTexts().size(), 1u);
    try {
        Page->RenderForOutput(3);
        ADD_FAILURE() << "the output render went through without the item";
    } catch (const EUserError& E) {
        EXPECT_EQ(E.Message(), PaintFailed);
    }
    EXPECT_EQ(BlueRuns, 2);
    EXPECT_TRUE(TakeTexts().empty());
    EXPECT_TRUE(Blue->LeftOutAt(3));
    EXPECT_EQ(Pixels(), PixelsWithoutBlue());
    // A failure the views met and did not take yet stays theirs.
    Blue->MoveBy(1, 0);
    Page->Update();
    EXPECT_THROW(Page->RenderForOutput(3), EUserError);
    EXPECT_EQ(TakeTexts(), std::vector<std::string>{PaintFailed});
    FailPainting = false;
    EXPECT_NO_THROW(Page->RenderForOutput(3));
    EXPECT_FALSE(Blue->LeftOutAt(3));
    EXPECT_NE(Pixels(), PixelsWithoutBlue());
    EXPECT_TRUE(TakeTexts().empty());
}

// Whatever rectangle is invalidated, the dirty area is its part on the page.
TEST_F(RenderFailureTest, TheDirtyAreaStaysOnThePage)
{
    const TRect Page59{0, 0, 59, 39};
    const struct {
        TRect Invalidated;
        TRect Dirty;
    } Cases[] = {
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, Page59},
        {{-100, -100, 10, 10}, {0, 0, 10, 10}},
        {{50, 30, INT32_MAX, 35}, {50, 30, 59, 35}},
        {{INT32_MIN, 5, -1, 6}, EmptyExtent},
        {{1000, 1000, 2000, 2000}, EmptyExtent},
        {{59, 39, 59, 39}, {59, 39, 59, 39}},
        {{10, 10, 5, 20}, EmptyExtent},
        {{10, 20, 20, 10}, EmptyExtent},
    };
    Page->Update();
    for (const auto& C : Cases) {
        SCOPED_TRACE(::testing::Message() << C.Invalidated.Left << "," << C.Invalidated.Top << ","
                                          << C.Invalidated.Right << "," << C.Invalidated.Bottom);
        Page->InvalidateRect(&C.Invalidated, false);
        EXPECT_EQ(Page->DirtyRect(), C.Dirty);
        Page->Update();
    }
}

// An effect that reads all of what lies beneath (a crystal's refraction)
// has a source beyond any page: a change beneath it widens the area to
// render by that source, but never past the page. (A cancelled render keeps
// that area dirty.)
TEST_F(RenderFailureTest, AnEffectReadingEverythingWidensTheDirtyAreaOnlyToThePageEdge)
{
    AddBoth(false);
    std::vector<std::unique_ptr<TMacro>> M;
    M.push_back(Library("クリスタル"));
    TRectObj* Crystal = Add({10, 10, 30, 20}, std::move(M));
    auto Leaf = std::make_unique<TTestLeaf>(Page, -1);
    Leaf->X = 50;
    Leaf->Y = 30;
    auto* L = static_cast<TTestLeaf*>(Page->RootGroup().AddChild(std::move(Leaf), -1));
    Page->Update();
    ASSERT_FALSE(Page->UpdateCancelled());
    ASSERT_FALSE(RectInRect(Crystal->GetSourceExtent(), TRect{-1000, -1000, 1000, 1000}));
    L->AbortOnPaint = true;
    Red->MoveBy(1, 0);
    Page->Update();
    ASSERT_TRUE(Page->UpdateCancelled());
    EXPECT_EQ(Page->DirtyRect(), (TRect{0, 0, 59, 39}));
}

// An item whose effect reaches past the page invalidates only the page.
TEST_F(RenderFailureTest, AnItemReachingPastThePageDirtiesOnlyThePage)
{
    std::vector<std::unique_ptr<TMacro>> M;
    M.push_back(Library("クリスタル"));
    TRectObj* Crystal = Add({10, 10, 30, 20}, std::move(M));
    Page->Update();
    TRect Reach;
    RectUnion(Crystal->GetPaintExtent(), Crystal->GetSourceExtent(), Reach);
    ASSERT_FALSE(RectInRect(Reach, TRect{0, 0, 59, 39}));
    Crystal->MoveBy(1, 0);
    const TRect D = Page->DirtyRect();
    EXPECT_TRUE(RectInRect(D, TRect{0, 0, 59, 39}));
    EXPECT_FALSE(D == EmptyExtent);
}
