// The outlines of a mixed Latin and Japanese text in the default face, on a
// machine whose fonts include a CJK fallback face without Latin letters that
// sorts first: made as the text tool makes a text, and read back from a
// document file. Every character must be its face's own glyph (or a face's
// that has it), never the missing-character box.
#include "object_test_support.h"

#include "foundation/streams.h"
#include "model/document.h"
#include "model/page.h"
#include "model/text_object.h"
#include "model/text_outline.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

const std::string Droid = "/usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf";
const std::string DejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

// The machine's way of making fonts, over a table of our choosing.
class TTableFonts : public TTextFontSource {
public:
    explicit TTableFonts(std::vector<TFontSource> Sources) { Table.Build(std::move(Sources)); }
    std::vector<TFontFace> FontFaces() override { return Table.Faces(); }
    std::unique_ptr<TGlyphFont> CreateFont(const TLogFont& F) override { return TGlyphFont::Create(F, Table); }
    TInstalledFonts Table;
};

struct TextGlyphFaces : ::testing::Test {
    void SetUp() override
    {
        for (const std::string& F : {Droid, IpaGothic, DejaVu})
            if (!std::filesystem::exists(F))
                GTEST_SKIP() << F << " is missing: run tools/setup";
        Fonts = std::make_unique<TTableFonts>(std::vector<TFontSource>{
            {.Families = {"Droid Sans Fallback"}, .FileName = Droid, .Japanese = true, .Ascii = false},
            IpaGothicSource(),
            {.Families = {"DejaVu Sans"}, .FileName = DejaVu}});
        Old = SetTextFontSource(Fonts.get());
    }
    void TearDown() override
    {
        if (Fonts)
            SetTextFontSource(Old);
    }
    // The whole-text outline of T, from its rich text.
    static TrecPolyLine OutlineOf(const TTextObj& T)
    {
        TrecPolyLine P;
        EXPECT_TRUE(GetTextOutlinePath(P, 0, 0, TextLayoutDpi, T.Text(), T.RichText().Styles, T.ParagraphStyle()));
        return P;
    }
    // Text laid by hand at 48 pixels, each character from the first of
    // Files that has its glyph (a tab: a space's gap), on the baseline 48.
    static TrecPolyLine Expected(const std::string& Utf8, const std::vector<std::string>& Files)
    {
        TGlyphPath Path;
        int32_t X = 0;
        const std::string Cp = Utf8ToCp932(Utf8);
        for (size_t I = 0; I < Cp.size();) {
            const size_t N = IsSjisLeadByte(uint8_t(Cp[I])) ? 2 : 1;
            const uint32_t C = Cp932CharToCodePoint(std::string_view(Cp).substr(I, N));
            const uint32_t Drawn = C == '\t' ? ' ' : C;
            for (const std::string& F : Files) {
                const auto Font = TGlyphFont::Open(F, 0, 48, {});
                if (Font->GlyphIndex(Drawn) == 0)
                    continue;
                TGlyphPath Glyph;
                X += Font->AppendGlyph(Drawn, X, 48, Glyph);
                if (C != '\t') {
                    Path.Points.insert(Path.Points.end(), Glyph.Points.begin(), Glyph.Points.end());
                    Path.Types.insert(Path.Types.end(), Glyph.Types.begin(), Glyph.Types.end());
                }
                break;
            }
            I += N;
        }
        TrecPolyLine P;
        RecPolyLineSetCount(P, int32_t(Path.Points.size()));
        for (size_t I = 0; I < Path.Points.size(); ++I) {
            P.Points[I] = TPoint{Path.Points[I].X, Path.Points[I].Y};
            P.pabType[I] = Path.Types[I];
        }
        return P;
    }
    static void ExpectSame(const TrecPolyLine& Got, const TrecPolyLine& Want)
    {
        ASSERT_EQ(Got.Count, Want.Count);
        for (int32_t I = 0; I < Got.Count; ++I) {
            ASSERT_EQ((std::tuple{Got.Points[I].X, Got.Points[I].Y, Got.pabType[I]}),
                      (std::tuple{Want.Points[I].X, Want.Points[I].Y, Want.pabType[I]}))
                << "point " << I;
        }
    }
    // T saved in a document file and read back.
    std::unique_ptr<TOLEDocumentWex> RoundTrip(std::unique_ptr<TTextObj> T)
    {
        TOLEDocumentWex Doc(nullptr, nullptr);
        auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->RootGroup().AddChild(std::move(T), -1);
        const std::string Name = Tmp / "text.srn";
        EXPECT_TRUE(Doc.SaveToFile(Name));
        auto Read = std::make_unique<TOLEDocumentWex>(nullptr, nullptr);
        TFileStream File(Name, fmOpenRead);
        Read->LoadFromStream(File);
        return Read;
    }
    static TTextObj* TextOf(TOLEDocumentWex& Doc)
    {
        return dynamic_cast<TTextObj*>(static_cast<TPage*>(Doc.GetPage(0))->RootGroup().GetItem(0));
    }

    std::unique_ptr<TTableFonts> Fonts;
    TTextFontSource* Old = nullptr;
    TRealObjectTypes Types;
    TTempDir Tmp;
};

const std::string Mixed = "Tavro 文字\t123!";

} // namespace

TEST_F(TextGlyphFaces, ANewTextTakesAFaceThatDrawsLatinAndJapanese)
{
    auto T = std::make_unique<TTextObj>(nullptr, -1);
    T->SetNewText(Utf8ToCp932(Mixed));
    EXPECT_EQ(CharAttrFaceName(T->RichText().Styles.GetItem(0)->Attr), "IPAGothic");
    const TrecPolyLine Want = Expected(Mixed, {IpaGothic});
    ExpectSame(OutlineOf(*T), Want);
    auto Doc = RoundTrip(std::move(T));
    ASSERT_NE(TextOf(*Doc), nullptr);
    ExpectSame(OutlineOf(*TextOf(*Doc)), Want);
}

// A text stored in the fallback face (as new texts were given it): its
// Latin letters come from the default face, its kanji stay its own.
TEST_F(TextGlyphFaces, AStoredTextInAFaceWithoutLatinDrawsItsLettersFromAnotherFace)
{
    auto T = std::make_unique<TTextObj>(nullptr, -1);
    T->SetText(Utf8ToCp932(Mixed));
    T->SetCharFaceName(0, int32_t(T->Text().size()), "Droid Sans Fallback");
    auto Doc = RoundTrip(std::move(T));
    TTextObj* Read = TextOf(*Doc);
    ASSERT_NE(Read, nullptr);
    EXPECT_EQ(CharAttrFaceName(Read->RichText().Styles.GetItem(0)->Attr), "Droid Sans Fallback");
    ExpectSame(OutlineOf(*Read), Expected(Mixed, {Droid, IpaGothic}));
}
