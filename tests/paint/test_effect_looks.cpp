// Catalogue effects as a designer sees them: "Tavro 文字" in IPA Gothic at
// 120 px, painted with an effect on a white page and on a coloured one, against
// the goldens in tests/data/looks/ (a person looked at every one). After a
// deliberate change run once with TAVRO_LOOKS_WRITE=1 to write them anew;
// TAVRO_LOOKS_OUT=<folder> writes the renders there instead.
#include "golden_picture.h"
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
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string cGothicFile = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
const std::string cSample = "Tavro 文字";
constexpr int32_t cSize = 120;
// The golden keeps the part that shows most, "o 文字" at full scale, of both
// pages one above the other.
constexpr int32_t cFullWidth = 640, cFullHeight = 160;
constexpr int32_t cCropLeft = 255, cCropTop = 10, cCropWidth = 375, cCropHeight = 140;
constexpr int32_t cPages = 2;
constexpr uint32_t cPageColours[cPages] = {0xFFFFFF, 0x8C5A28}; // white; a mid blue (0xBBGGRR)

// IPA Gothic from its file as the only font: the sample lays out the same on
// every machine.
class TGothicOnly : public TTextFontSource {
public:
    TGothicOnly()
    {
        TFontSource G;
        G.Families = {"IPAGothic", "IPAゴシック"};
        G.FileName = cGothicFile;
        G.Japanese = true;
        FInstalled.Build({G});
        FOld = SetTextFontSource(this);
    }
    ~TGothicOnly() override { SetTextFontSource(FOld); }
    std::vector<TFontFace> FontFaces() override { return FInstalled.Faces(); }
    std::unique_ptr<TGlyphFont> CreateFont(const TLogFont& F) override
    {
        const TFontFace* Face = FInstalled.Find(Cp932ToUtf8(LogFontFaceName(F)));
        TFontMatch M;
        if (!Face || !FInstalled.Resolve(Face->Name, F.lfWeight, F.lfItalic != 0, M))
            return nullptr;
        const TGlyphStyle Style{M.SynthesizeBold, M.SynthesizeItalic, false, false};
        return TGlyphFont::Open(M.FileName, M.Index, -F.lfHeight, Style, Face->LogFont.lfCharSet);
    }

private:
    TInstalledFonts FInstalled;
    TTextFontSource* FOld = nullptr;
};

using TValues = std::vector<std::pair<std::string, std::string>>;

struct TLook {
    std::string Effect;
    std::string Slug;          // file name of the golden
    std::string Beneath;       // a fill painted first ("" for none)
    TValues BeneathValues;
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
    TrecCharAttr Attr;
    std::string Face;
    uint8_t CharSet = 0;
    ValidateFontName("IPAGothic", Face, CharSet);
    SetCharAttrFaceName(Attr, Face);
    Attr.CharSet = CharSet;
    Attr.Size = cSize;
    TListCharStyle& Styles = Text.RichText().Styles;
    for (int32_t I = 0; I < Styles.Count(); ++I)
        if (TCharStyle* C = Styles.GetItem(I))
            C->Attr = Attr;
    Text.SetPathState(0);
    const TRect B = Text.GetPath().Bounds;
    Text.SetPosition((cFullWidth - (B.Right - B.Left)) / 2 - B.Left, (cFullHeight - (B.Bottom - B.Top)) / 2 - B.Top);
    if (!Look.Beneath.empty())
        Text.Macros().Add(LibraryMacro(Look.Beneath, Look.BeneathValues));
    Text.Macros().Add(LibraryMacro(Look.Effect, {}));
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
