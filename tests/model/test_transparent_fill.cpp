// A fill whose gradation is partly or wholly transparent, rendered by the page
// as a window shows it: where the gradation is transparent the white page
// must show through. The values inside the shape follow from the blend
// formulas by hand: black at opacity 128 over white is (255 x 127 + 255) shr 8
// = 127 in each channel, red at overall opacity 128 is 127, 127, 255.
#include "object_test_support.h"

#include "model/document.h"
#include "model/page.h"
#include "model/page_views.h"
#include "model/param_shapes.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace {

constexpr int32_t W = 120, H = 100;
// The rectangle's frame; the checks keep 2 pixels off its edges.
constexpr int32_t FL = 20, FT = 10, FW = 80, FH = 70;

using TBgr = std::array<int, 3>;

TBgr PixelAt(const TrecPicture& P, int32_t X, int32_t Y)
{
    const int64_t Line = (int64_t(RecPictureHeader(P)->biWidth) * 3 + 3) & ~int64_t(3);
    const uint8_t* Px = P.pBits + (RecPictureHeader(P)->biHeight - 1 - Y) * Line + 3 * X;
    return {Px[0], Px[1], Px[2]};
}

// A linear gradation from the top edge to the bottom one: two colour stops
// and two opacity stops at the ends, overall opacity Overall.
std::string Gradation(int Overall, int Color0, int Color1, int Opacity0, int Opacity1)
{
    return "20" + std::string("0000") + std::to_string(Overall) + ",1,8192,0,8192,16384,2,0," +
           std::to_string(Color0) + ",1023," + std::to_string(Color1) + ",2,0," + std::to_string(Opacity0) +
           ",1023," + std::to_string(Opacity1);
}

struct TransparentFill : ::testing::Test {
    TPrivateFolders Folders;
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Catalogue;
};

} // namespace

TEST_F(TransparentFill, WhatLiesBeneathShowsThroughTheGradation)
{
    struct Case {
        const char* Name;
        const char* Macro;
        std::string Method;
        const char* Mode;
        TBgr Inside; // every pixel inside; {-1} for the fade checked below
    };
    const std::vector<Case> Cases = {
        // The delivered white fade: white at both ends, opaque to clear.
        {"white fade", "塗り(ボカシ)", Gradation(255, 0xFFFFFF, 0xFFFFFF, 255, 0), "通常", {255, 255, 255}},
        {"clear white", "塗り(ボカシ)", Gradation(255, 0xFFFFFF, 0xFFFFFF, 0, 0), "通常", {255, 255, 255}},
        {"white, overall clear", "塗り(ボカシ)", Gradation(0, 0xFFFFFF, 0xFFFFFF, 255, 255), "通常", {255, 255, 255}},
        {"black at half", "塗り(ボカシ)", Gradation(255, 0, 0, 128, 128), "通常", {127, 127, 127}},
        {"red, overall half", "塗り(ボカシ)", Gradation(128, 0x0000FF, 0x0000FF, 255, 255), "通常", {127, 127, 255}},
        {"clear black, multiplied", "塗り(ボカシ)", Gradation(255, 0, 0, 0, 0), "乗算", {255, 255, 255}},
        {"black at half, multiplied", "塗り(ボカシ)", Gradation(255, 0, 0, 128, 128), "乗算", {127, 127, 127}},
        {"black fade", "塗り(ボカシ)", Gradation(255, 0, 0, 255, 0), "通常", {-1, -1, -1}},
        // Effects that fill through a shape of their own: a clear gradation
        // leaves the page as it was, streaks, edges and all.
        {"clear black, streaked", "かすれ", Gradation(255, 0, 0, 0, 0), "通常", {255, 255, 255}},
        {"clear black, inner stroke", "縁取り（内側）", Gradation(255, 0, 0, 0, 0), "通常", {255, 255, 255}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(C.Name);
        TOLEDocumentWex Doc(nullptr, nullptr);
        TPage& Page = *static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page.SetPageSize(W, H);
        TSilentFormDoc View;
        Page.AddForm(&View);
        auto Rect = std::make_unique<TRectObj>(&Page, -1);
        Rect->SetFrame(FL, FT, FW, FH);
        auto M = std::make_unique<TMacro>();
        ASSERT_TRUE(M->LoadFromLibrary(C.Macro));
        M->SetParamValue("塗り方法", C.Method);
        M->SetParamValue("描画方法", C.Mode);
        Rect->Macros().Clear();
        Rect->Macros().Add(std::move(M));
        Rect->SetFillPath(1);
        Page.RootGroup().AddChild(std::move(Rect), -1);
        // Twice: the second render reuses the effect's cached planes.
        for (int Pass = 0; Pass < 2; ++Pass) {
            Page.InvalidateRect(nullptr, false);
            Page.Update();
            const TrecPicture& P = Page.PagePicture();
            int Wrong = 0;
            for (int32_t Y = 0; Y < H; ++Y)
                for (int32_t X = 0; X < W; ++X) {
                    const bool In = X >= FL + 2 && X < FL + FW - 2 && Y >= FT + 2 && Y < FT + FH - 2;
                    const bool Out = X < FL - 2 || X >= FL + FW + 2 || Y < FT - 2 || Y >= FT + FH + 2;
                    TBgr Want = In ? C.Inside : TBgr{255, 255, 255};
                    // A clear fill leaves every pixel white, edges too.
                    if (!In && !Out && C.Inside != TBgr{255, 255, 255})
                        continue;
                    if (In && C.Inside[0] < 0) {
                        // Black, opaque at the top edge and clear at the bottom one: each row
                        // lets more of the white through, and the last rows nearly all of it.
                        const TBgr Here = PixelAt(P, X, Y), Above = PixelAt(P, X, Y - 1);
                        if (Here[0] != Here[1] || Here[1] != Here[2] || (Y > FT + 2 && Here[0] < Above[0]))
                            ++Wrong;
                        if (Y == FT + 2 && Here[0] > 20)
                            ++Wrong;
                        if (Y == FT + FH - 3 && Here[0] < 235)
                            ++Wrong;
                        continue;
                    }
                    if (PixelAt(P, X, Y) != Want && Wrong++ < 3)
                        ADD_FAILURE() << "pass " << Pass << " at (" << X << ", " << Y << "): " << PixelAt(P, X, Y)[0]
                                      << ", " << PixelAt(P, X, Y)[1] << ", " << PixelAt(P, X, Y)[2];
                }
            EXPECT_EQ(Wrong, 0) << "pass " << Pass;
        }
        Page.RemoveForm(&View);
    }
}
