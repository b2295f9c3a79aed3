// Catalogue effects as a designer sees them: "Tavro 文字" in IPA Gothic at
// 120 px, painted with an effect on a white page and on a coloured one, against
// the goldens in tests/data/looks/ (a person looked at every one). After a
// deliberate change run once with TAVRO_LOOKS_WRITE=1 to write them anew;
// TAVRO_LOOKS_OUT=<folder> writes the renders there instead.
#include "golden_picture.h"
#include "model/object_test_support.h"
#include "model/page_link.h"
#include "model/text_object.h"
#include "model/text_outline.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "platform/fonts.h"
#include "raster/merge.h"
#include "raster/rec_picture.h"
#include "store/picture_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string& cGothicFile = IpaGothic;
const std::string cSample = "Tavro 文字";
constexpr int32_t cSize = 120;
// The golden keeps "o 文字", the part with the kanji's thin horizontal
// strokes and a round letter, at full scale, both pages one above the other.
constexpr int32_t cFullWidth = 640, cFullHeight = 160;
constexpr int32_t cCropLeft = 255, cCropTop = 10, cCropWidth = 375, cCropHeight = 140;
constexpr int32_t cPages = 2;
constexpr uint32_t cPageColours[cPages] = {0xFFFFFF, 0x8C5A28}; // white; a mid blue (0xBBGGRR)

// IPA Gothic from its file as the only font, for the scope: the sample lays
// out the same on every machine.
class TGothicOnly {
public:
    TGothicOnly() : FOld(SetTextFontSource(&FFonts)) {}
    ~TGothicOnly() { SetTextFontSource(FOld); }
    TGothicOnly(const TGothicOnly&) = delete;
    TGothicOnly& operator=(const TGothicOnly&) = delete;

private:
    TFileFonts FFonts{{IpaGothicSource()}};
    TTextFontSource* FOld;
};

using TValues = std::vector<std::pair<std::string, std::string>>;

struct TLook {
    std::string Effect;
    std::string Slug;          // file name of the golden
    std::string Beneath;       // a fill painted first ("" for none)
    TValues BeneathValues;
    TValues Values = {};       // of the effect; its defaults where empty
};

const TValues cPale{{"塗り方法", "1F0D090"}};
const TValues cWarm{{"塗り方法", "13080D0"}};
const TValues cDark{{"塗り方法", "1602010"}};

const std::vector<TLook>& Looks()
{
    static const std::vector<TLook> List = {
        {"縁取り（内側）", "stroke_inside", "塗り(ボカシ)", cPale},
        {"エンボス（光沢付け）", "emboss_glossy", "塗り(ボカシ)", cWarm},
        {"ベベル（光沢付け）", "bevel_glossy", "塗り(ボカシ)", cWarm},
        {"金属光沢", "metal", "塗り(ボカシ)", cWarm},
        {"光彩（内側）", "inner_glow", "塗り(ボカシ)", cDark},
        {"スタンプ", "stamp", "", {}},
        {"雲", "clouds", "", {}},
        {"ステンドグラス", "stained_glass", "", {}},
    };
    return List;
}

std::unique_ptr<TMacro> LibraryMacro(const std::string& Name, const TValues& Values)
{
    auto M = std::make_unique<TMacro>();
    if (!M->LoadFromLibrary(Name))
        return nullptr;
    for (const auto& [Caption, Value] : Values)
        M->SetParamValue(Caption, Value);
    return M;
}

struct TOwned {
    TrecPicture P;
    ~TOwned() { RecPictureClear(P); }
};

// The sample with the look's macros on a page of Colour, as a document
// paints it at normal quality.
void PaintSample(const TLook& Look, uint32_t Colour, TrecPicture& Page)
{
    TTextObj Text(nullptr, -1);
    Text.SetText(Utf8ToCp932(cSample));
    TrecCharAttr Attr = GothicAttr(cSize);
    TListCharStyle& Styles = Text.RichText().Styles;
    for (int32_t I = 0; I < Styles.Count(); ++I)
        if (TCharStyle* C = Styles.GetItem(I))
            C->Attr = Attr;
    Text.SetPathState(0);
    const TRect B = Text.GetPath().Bounds;
    Text.SetPosition((cFullWidth - (B.Right - B.Left)) / 2 - B.Left, (cFullHeight - (B.Bottom - B.Top)) / 2 - B.Top);
    if (!Look.Beneath.empty())
        Text.Macros().Add(LibraryMacro(Look.Beneath, Look.BeneathValues));
    Text.Macros().Add(LibraryMacro(Look.Effect, Look.Values));
    TrecDrawTarget Target;
    RecPictureCreate(Target.Picture, TPoint{0, 0}, cFullWidth, cFullHeight, 24, false);
    RecPictureFillColor(Target.Picture, static_cast<int32_t>(Colour));
    Page = Target.Picture; // the caller owns the picture from here
    TListRecPict Store(nullptr);
    Text.Paint(Target, 3, &Store, nullptr, 0);
}

// Both pages of a look, cropped, one above the other.
void RenderLook(const TLook& Look, TrecPicture& Out)
{
    RecPictureCreate(Out, TPoint{0, 0}, cCropWidth, cPages * cCropHeight, 24, false);
    for (int32_t Page = 0; Page < cPages; ++Page) {
        TOwned Full;
        PaintSample(Look, cPageColours[Page], Full.P);
        for (int32_t Y = 0; Y < cCropHeight; ++Y)
            std::memcpy(RecPictureGetPixelPtr(Out, 0, Page * cCropHeight + Y),
                        RecPictureGetPixelPtr(Full.P, cCropLeft, cCropTop + Y), size_t{3} * cCropWidth);
    }
}

class EffectLooks : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        LoadMacroLibraries(std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    }
    static void TearDownTestSuite() { FreeMacroLibraries(); }
};

} // namespace

TEST_F(EffectLooks, EachLooksAsItsGoldenRender)
{
    if (!std::filesystem::exists(cGothicFile))
        GTEST_SKIP() << "font file " << cGothicFile << " is missing: run tools/setup";
    TGothicOnly Fonts;
    const char* Write = std::getenv("TAVRO_LOOKS_WRITE");
    const char* Out = std::getenv("TAVRO_LOOKS_OUT");
    const std::string Golden = std::string(TAVRO_TEST_DATA_DIR) + "/looks/";
    const std::string Target = Write && *Write ? Golden : Out && *Out ? std::string(Out) + "/" : "";
    for (const TLook& Look : Looks()) {
        SCOPED_TRACE(Look.Effect);
        TOwned Render;
        RenderLook(Look, Render.P);
        const std::string File = Look.Slug + ".png";
        if (!Target.empty()) {
            SavePng(Render.P, Target + File);
            // The full pages too, for a closer look.
            for (int32_t Page = 0; Out && *Out && Page < cPages; ++Page) {
                TOwned Full;
                PaintSample(Look, cPageColours[Page], Full.P);
                SavePng(Full.P, Target + Look.Slug + "_full" + std::to_string(Page) + ".png");
                TOwned Zoom;
                RecPictureCreate(Zoom.P, TPoint{0, 0}, 3 * 240, 3 * 130, 24, false);
                for (int32_t Y = 0; Y < 3 * 130; ++Y)
                    for (int32_t X = 0; X < 3 * 240; ++X)
                        std::memcpy(RecPictureGetPixelPtr(Zoom.P, X, Y),
                                    RecPictureGetPixelPtr(Full.P, 380 + X / 3, 20 + Y / 3), 3);
                SavePng(Zoom.P, Target + Look.Slug + "_zoom" + std::to_string(Page) + ".png");
            }
            continue;
        }
        const int64_t Differences = CountDifferences(Render.P, Golden + File, 3);
        EXPECT_GE(Differences, 0) << File << " is missing or of another size";
        EXPECT_LE(Differences, 20) << File;
    }
}

// ---------------------------------------------------------------- what the eye checks

namespace {

const TLook& LookOf(const std::string& Effect)
{
    for (const TLook& L : Looks())
        if (L.Effect == Effect)
            return L;
    throw std::runtime_error("no look for " + Effect);
}

int32_t Luminance(const uint8_t* P) // blue, green, red
{
    return (P[2] * 299 + P[1] * 587 + P[0] * 114) / 1000;
}

bool Near(const uint8_t* P, uint32_t Colour, int32_t Tolerance)
{
    return std::abs(P[0] - static_cast<int32_t>(Colour >> 16 & 0xFF)) <= Tolerance &&
           std::abs(P[1] - static_cast<int32_t>(Colour >> 8 & 0xFF)) <= Tolerance &&
           std::abs(P[2] - static_cast<int32_t>(Colour & 0xFF)) <= Tolerance;
}

// The sample's coverage: 255 inside the glyphs, 0 outside, on the full page.
struct TCoverage {
    TOwned Page;
    TCoverage()
    {
        PaintSample({"塗り(ボカシ)", "", "", {}, {{"塗り方法", "1000000"}}}, 0xFFFFFF, Page.P);
    }
    int32_t At(int32_t X, int32_t Y) const
    {
        if (X < 0 || Y < 0 || X >= cFullWidth || Y >= cFullHeight)
            return 0;
        return 255 - RecPictureGetPixelPtr(Page.P, X, Y)[0];
    }
    bool Inside(int32_t X, int32_t Y) const { return At(X, Y) >= 250; }
    // Fully inside, with the outside at most Reach pixels away.
    bool Edge(int32_t X, int32_t Y, int32_t Reach) const
    {
        if (!Inside(X, Y))
            return false;
        for (int32_t DY = -Reach; DY <= Reach; ++DY)
            for (int32_t DX = -Reach; DX <= Reach; ++DX)
                if (At(X + DX, Y + DY) <= 5)
                    return true;
        return false;
    }
};

// Share of the pixels where Where holds that also satisfy Test.
template <class TWhere, class TTest>
double Share(const TrecPicture& P, TWhere Where, TTest Test)
{
    int64_t All = 0, Hits = 0;
    for (int32_t Y = 0; Y < cFullHeight; ++Y)
        for (int32_t X = 0; X < cFullWidth; ++X)
            if (Where(X, Y)) {
                ++All;
                Hits += Test(RecPictureGetPixelPtr(P, X, Y)) ? 1 : 0;
            }
    return All ? static_cast<double>(Hits) / static_cast<double>(All) : 0.0;
}

class EffectLooksByEye : public EffectLooks {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(cGothicFile))
            GTEST_SKIP() << "font file " << cGothicFile << " is missing: run tools/setup";
        FFonts = std::make_unique<TGothicOnly>();
        FCover = std::make_unique<TCoverage>();
    }
    std::unique_ptr<TGothicOnly> FFonts;
    std::unique_ptr<TCoverage> FCover;
};

} // namespace

TEST_F(EffectLooksByEye, InnerStrokeLeavesTheStrokesOfLargeTextTheirFill)
{
    TOwned Render;
    PaintSample(LookOf("縁取り（内側）"), 0xFFFFFF, Render.P);
    const double Pen = Share(Render.P, [&](int32_t X, int32_t Y) { return FCover->Inside(X, Y); },
                             [](const uint8_t* P) { return Near(P, 0x303030, 16); });
    EXPECT_LT(Pen, 0.5) << "the pen covers " << Pen << " of the glyphs";
}

// The lit edge of a glossy relief, a metal face and the clouds stay darker
// than the white page, so the outline reads.
TEST_F(EffectLooksByEye, EdgesStayReadableOnWhite)
{
    for (const char* Effect : {"エンボス（光沢付け）", "ベベル（光沢付け）", "金属光沢", "雲"}) {
        SCOPED_TRACE(Effect);
        TOwned Render;
        PaintSample(LookOf(Effect), 0xFFFFFF, Render.P);
        const double Faint = Share(Render.P, [&](int32_t X, int32_t Y) { return FCover->Edge(X, Y, 1); },
                                   [](const uint8_t* P) { return Luminance(P) > 225; });
        EXPECT_LT(Faint, 0.02) << Faint << " of the edge fades into the page";
    }
}

// Light only lightens: no channel of the fill beneath gets darker.
TEST_F(EffectLooksByEye, InnerGlowOnlyLightensTheFill)
{
    const TLook& Glow = LookOf("光彩（内側）");
    TOwned Fill, Render;
    PaintSample({Glow.Beneath, "", "", {}, Glow.BeneathValues}, cPageColours[1], Fill.P);
    PaintSample(Glow, cPageColours[1], Render.P);
    int64_t Darker = 0;
    for (int32_t Y = 0; Y < cFullHeight; ++Y)
        for (int32_t X = 0; X < cFullWidth; ++X)
            for (int K = 0; K < 3; ++K)
                Darker += RecPictureGetPixelPtr(Render.P, X, Y)[K] + 2 < RecPictureGetPixelPtr(Fill.P, X, Y)[K];
    EXPECT_EQ(Darker, 0);
}

// Ink specks standing alone outside the letters make the stamp's edge
// look like pixel noise.
TEST_F(EffectLooksByEye, StampEdgeIsRaggedNotSpeckled)
{
    TOwned Render;
    PaintSample(LookOf("スタンプ"), 0xFFFFFF, Render.P);
    auto Ink = [&](int32_t X, int32_t Y) {
        return X >= 0 && Y >= 0 && X < cFullWidth && Y < cFullHeight &&
               Luminance(RecPictureGetPixelPtr(Render.P, X, Y)) < 200;
    };
    int64_t Alone = 0, Outside = 0;
    for (int32_t Y = 0; Y < cFullHeight; ++Y)
        for (int32_t X = 0; X < cFullWidth; ++X)
            if (FCover->At(X, Y) == 0 && Ink(X, Y)) {
                ++Outside;
                int32_t Neighbours = 0;
                for (int32_t DY = -1; DY <= 1; ++DY)
                    for (int32_t DX = -1; DX <= 1; ++DX)
                        Neighbours += (DX || DY) && Ink(X + DX, Y + DY);
                Alone += Neighbours <= 1;
            }
    EXPECT_LT(Alone, 50) << Alone << " of the " << Outside << " ink pixels outside the letters stand alone";
}

// Lead lines are a frame round a few pieces, not a net over the fill.
TEST_F(EffectLooksByEye, StainedGlassLeadIsNoNet)
{
    TOwned Render;
    PaintSample(LookOf("ステンドグラス"), 0xFFFFFF, Render.P);
    const double Lead = Share(Render.P, [&](int32_t X, int32_t Y) { return FCover->Inside(X, Y); },
                              [](const uint8_t* P) { return Near(P, 0x303030, 40); });
    EXPECT_LT(Lead, 0.16) << "lead covers " << Lead << " of the glyphs";
}
