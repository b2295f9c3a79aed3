// A part of the page rendered alone (any dirty rectangle) gives exactly the
// pixels of the whole page rendered, also under effects that read round what
// they paint, draw random numbers over their area or follow the page's edges.
#include "object_test_support.h"

#include "model/document.h"
#include "model/page.h"
#include "model/page_views.h"
#include "paint/macro_list.h"

#include <gtest/gtest.h>

namespace {

struct TCase {
    const char* Function; // on the target through the shape; else a library effect
    std::vector<std::string> Args;
};

std::unique_ptr<TMacro> EffectOf(const TCase& C)
{
    if (!std::string_view(C.Function).starts_with("Nil")) {
        auto M = std::make_unique<TMacro>();
        EXPECT_TRUE(M->LoadFromLibrary(C.Function));
        return M;
    }
    std::vector<TTestParam> Call = {{"PictureBackGround", ""}, {"Shape", ""}};
    for (const std::string& A : C.Args)
        Call.push_back({A, ""});
    const TTestParam Path{"", "*Primary"}, Pen{"2,0,1.00", ""}, Inside{"塗りつぶし", ""}, Zero{"0", ""};
    return MakeTestMacro(C.Function, {{"PlaneMakeForPath2", "Shape",
                                       {Path, Pen, Inside, Zero, Zero, Zero, {"絶対値", ""}, {"1", ""}, Zero, Zero}},
                                      {"NilPlanePaintFillCol", "",
                                       {{"Shape", ""}, {"", ""}, {"100", ""}, Path, Pen, {"255", ""}, Inside,
                                        {"No", ""}, {"通常", ""}}},
                                      {"SetRandomSeed", "", {{"7", ""}}},
                                      {C.Function, "", Call}});
}

} // namespace

TEST(PartialRender, EveryDirtyRectangleGivesThePixelsOfTheWholePage)
{
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Libraries;
    const std::string Gradation = "210000255,1,8192,0,8192,16384,3,0,4251903,512,1073392,1023,2109664,0,0,0,100,0,100";
    const TCase Cases[] = {
        {"ぼかし", {}},
        {"NilPictureFilterSize", {"ガウス", "3", "2", "No"}},
        {"NilPictureFilterSize", {"平均", "3", "1", "No"}},
        {"NilPictureFilterSize", {"中央値", "5", "1", "No"}},
        {"NilPictureFilterEmboss", {"5", "45", "100", "128", "0", "255", "No"}},
        {"NilPictureFilterGradateMove", {"7", "30", "No"}},
        {"NilPictureFilterSobel", {}},
        {"NilPictureFilterNoParam", {"面を刻む", "No"}},
        {"ノイズ", {}},
        {"NilPictureFilterDiffuse", {"通常", "2", "No"}},
        {"NilPictureFilterSize", {"油絵", "3", "1", "No"}},
        {"NilPictureCloud", {"128", "12800", "40"}},
        {"NilPictureStainedGlass", {"4", "6", "1", "0", "30", "0", "0", "No", "No"}},
        {"NilPictureContBright", {"150", "10", "-1", "No"}}, // about the mean
        {"NilPictureFilterSize", {"ガウス", "3", "1", "Yes"}}, // wrapping
        {"NilPicturePaintFill2", {"100", "", "", Gradation, "塗りつぶし", "No", "通常"}},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(std::string(C.Function) + (C.Args.empty() ? "" : " " + C.Args[0]));
        TOLEDocumentWex Doc(nullptr, nullptr);
        TPage& Page = *static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page.SetPageSize(96, 72);
        TSilentFormDoc View;
        Page.AddForm(&View);
        const auto Add = [&](std::unique_ptr<TParamObj> S, const TRect& F, std::unique_ptr<TMacro> M) {
            S->SetFrame(F.Left, F.Top, F.Right, F.Bottom);
            S->Macros().Clear();
            S->Macros().Add(std::move(M));
            S->SetFillPath(1);
            return Page.RootGroup().AddChild(std::move(S), -1);
        };
        const auto Pixels = [&](bool Whole) {
            if (Whole)
                Page.InvalidateRect(nullptr, false);
            Page.Update();
            const TrecPicture& P = Page.PagePicture();
            return std::vector<uint8_t>(P.pBits, P.pBits + RecPictureGetImageSize(P));
        };
        // A gradation, stripes both ways, and three shapes with the effect.
        Add(std::make_unique<TEllipseObj>(&Page, -1), {-20, -10, 130, 90}, MakeFillMacro("g", Gradation));
        std::vector<TDrawItem*> Stripes;
        for (int32_t X = 2; X < 96; X += 11)
            Stripes.push_back(Add(std::make_unique<TRectObj>(&Page, -1), {X, 0, 5, 72}, MakeFillMacro("r", "10000FF")));
        for (int32_t Y = 3; Y < 72; Y += 9)
            Add(std::make_unique<TRectObj>(&Page, -1), {0, Y, 96, 4}, MakeFillMacro("b", "1FF8000"));
        const std::vector<uint8_t> Beneath = Pixels(true);
        Add(std::make_unique<TEllipseObj>(&Page, -1), {12, 8, 42, 36}, EffectOf(C));
        Add(std::make_unique<TEllipseObj>(&Page, -1), {40, 26, 38, 32}, EffectOf(C));
        Add(std::make_unique<TRectObj>(&Page, -1), {30, 2, 26, 22}, EffectOf(C));
        const std::vector<uint8_t> Whole = Pixels(true);
        ASSERT_FALSE(Page.TakePaintFailure());
        ASSERT_NE(Whole, Beneath);

        int32_t Wrong = 0;
        for (const int32_t Side : {5, 21})
            for (int32_t Y = -3; Y < 72; Y += 11)
                for (int32_t X = -3; X < 96; X += 13) {
                    const TRect Dirty{X, Y, X + Side - 1, Y + Side - 1};
                    Page.InvalidateRect(&Dirty, false);
                    if (Pixels(false) != Whole && ++Wrong)
                        Pixels(true);
                }
        EXPECT_EQ(Wrong, 0);
        // A change beneath changes what is read round it.
        Stripes[4]->MoveBy(3, 2);
        const std::vector<uint8_t> Moved = Pixels(false);
        EXPECT_TRUE(Moved == Pixels(true));
        Page.RemoveForm(&View);
    }
}
