// Two shapes of one colour, the upper one over the lower, both in the
// default fill, rendered by the page as a window shows it (display cache
// on) and again after the document was saved and read back: where the
// lower shape is solid, the upper shape's anti-aliased edge must blend with
// that colour, leaving no lighter seam.
#include "object_test_support.h"

#include "foundation/streams.h"
#include "model/document.h"
#include "model/page.h"
#include "model/page_views.h"
#include "model/param_shapes.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "raster/merge.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <numbers>

namespace {

constexpr int32_t W = 200, H = 150;
// The default fill's colour "B06000" (0xBBGGRR) as the bytes blue, green, red.
constexpr uint8_t Colour[3] = {0xB0, 0x60, 0x00};

const uint8_t* PixelAt(const TrecPicture& P, int32_t X, int32_t Y)
{
    const int64_t Line = (int64_t(RecPictureHeader(P)->biWidth) * 3 + 3) & ~int64_t(3);
    return P.pBits + (RecPictureHeader(P)->biHeight - 1 - Y) * Line + 3 * X;
}

bool IsColour(const uint8_t* Px, int Tolerance = 0)
{
    for (int C = 0; C < 3; ++C)
        if (std::abs(Px[C] - Colour[C]) > Tolerance)
            return false;
    return true;
}

bool IsWhite(const uint8_t* Px)
{
    return Px[0] == 255 && Px[1] == 255 && Px[2] == 255;
}

struct TOwnedPicture {
    TOwnedPicture()
    {
        RecPictureCreate(P, TPoint{0, 0}, W, H, 24, false);
        RecPictureFillColor(P, 0xFFFFFF);
    }
    ~TOwnedPicture() { RecPictureClear(P); }
    TrecPicture P;
};

struct OverlapRender : ::testing::Test {
    TPrivateFolders Folders;
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Catalogue;

    static void Fill(TParamObj& O)
    {
        auto M = std::make_unique<TMacro>();
        ASSERT_TRUE(M->LoadFromLibrary("塗り(ボカシ)"));
        O.Macros().Clear();
        O.Macros().Add(std::move(M));
        O.SetFillPath(1);
    }
    // A star filling most of the page, and Upper over it.
    static void Scene(TPage& Page, const std::function<std::unique_ptr<TParamObj>(TPage&)>& Upper)
    {
        auto Star = std::make_unique<TStarObj>(&Page, -1);
        TrecStarParam S;
        S.StartAngle = std::numbers::pi;
        Star->SetParam(S);
        Star->SetFrame(10, 10, 180, 130);
        Fill(*Star);
        Page.RootGroup().AddChild(std::move(Star), -1);
        std::unique_ptr<TParamObj> U = Upper(Page);
        Fill(*U);
        Page.RootGroup().AddChild(std::move(U), -1);
    }
    static TPage& PageOf(TOLEDocumentWex& Doc) { return *static_cast<TPage*>(Doc.GetPage(0)); }
    // The page's picture as its window gets it.
    static const TrecPicture& Rendered(TPage& Page)
    {
        Page.InvalidateRect(nullptr, false);
        Page.Update();
        return Page.PagePicture();
    }
    // Item I of the page alone over white.
    static void Alone(TPage& Page, int32_t I, TOwnedPicture& Out)
    {
        TrecDrawTarget T;
        T.Picture = Out.P;
        Page.RootGroup().GetItem(I)->Paint(T, 3, nullptr, nullptr, 0);
    }
    // Pixels where the star alone is solid must keep its colour; returns how
    // many of them lie on the upper shape's anti-aliased edge.
    static int64_t ExpectNoSeam(TPage& Page, const TrecPicture& Both)
    {
        TOwnedPicture Star, Upper;
        Alone(Page, 0, Star);
        Alone(Page, 1, Upper);
        int64_t Edge = 0, Seam = 0;
        for (int32_t Y = 0; Y < H; ++Y)
            for (int32_t X = 0; X < W; ++X) {
                if (!IsColour(PixelAt(Star.P, X, Y)))
                    continue;
                const uint8_t* U = PixelAt(Upper.P, X, Y);
                Edge += !IsWhite(U) && !IsColour(U);
                if (!IsColour(PixelAt(Both, X, Y), 1) && Seam++ < 5)
                    ADD_FAILURE() << "seam at (" << X << ", " << Y << ")";
            }
        EXPECT_EQ(Seam, 0);
        return Edge;
    }
};

} // namespace

TEST_F(OverlapRender, TheUpperEdgeBlendsWithTheSameColourBeneath)
{
    struct Case {
        const char* Name;
        std::function<std::unique_ptr<TParamObj>(TPage&)> Upper;
        bool Smooth; // edges that cut pixels
    };
    const Case Cases[] = {
        {"rectangle",
         [](TPage& P) {
             auto R = std::make_unique<TRectObj>(&P, -1);
             R->SetFrame(60, 50, 70, 50);
             return std::unique_ptr<TParamObj>(std::move(R));
         },
         false},
        {"turned rectangle",
         [](TPage& P) {
             auto R = std::make_unique<TRectObj>(&P, -1);
             R->SetFrame(60, 55, 70, 40);
             R->Rotate(95, 75, 0.35);
             return std::unique_ptr<TParamObj>(std::move(R));
         },
         true},
        {"ellipse",
         [](TPage& P) {
             auto E = std::make_unique<TEllipseObj>(&P, -1);
             E->SetFrame(55, 45, 80, 60);
             return std::unique_ptr<TParamObj>(std::move(E));
         },
         true},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TOLEDocumentWex Doc(nullptr, nullptr);
        TPage& Page = *static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page.SetPageSize(W, H);
        TSilentFormDoc View;
        Page.AddForm(&View);
        Scene(Page, C.Upper);
        const int64_t Edge = ExpectNoSeam(Page, Rendered(Page));
        EXPECT_EQ(Edge > 0, C.Smooth);
        // Twice: the second render reuses the effects' cached planes.
        ExpectNoSeam(Page, Rendered(Page));

        TMemoryStream Saved;
        Doc.SaveToStream(Saved);
        Saved.SetPosition(0);
        TOLEDocumentWex Read(nullptr, nullptr);
        Read.LoadFromStream(Saved);
        TSilentFormDoc ReadView;
        PageOf(Read).AddForm(&ReadView);
        ExpectNoSeam(PageOf(Read), Rendered(PageOf(Read)));
        PageOf(Read).RemoveForm(&ReadView);
        Page.RemoveForm(&View);
    }
}
