#include "model/text_outline.h"

#include "foundation/user_error.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

namespace {

// Installed by tools/setup (fonts-ipafont-gothic, fonts-ipafont-mincho,
// fonts-dejavu-core).
const std::string IpaGothic = "/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf";
const std::string IpaMincho = "/usr/share/fonts/opentype/ipafont-mincho/ipam.ttf";
const std::string DejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
const std::string DejaVuSansBold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

const std::string Hiragana_A = "\x82\xA0"; // あ

TFontSource Source(const std::string& File, std::vector<std::string> Families, bool Japanese,
                   int32_t Weight = 400)
{
    return {std::move(Families), File, 0, Weight, false, 100, Japanese};
}

// Fonts from files only, so that layouts do not depend on the machine.
class TFileFonts : public TTextFontSource {
public:
    explicit TFileFonts(std::vector<TFontSource> Sources) { Installed.Build(std::move(Sources)); }
    std::vector<TFontFace> FontFaces() override
    {
        ++Reads;
        return Installed.Faces();
    }
    std::unique_ptr<TGlyphFont> CreateFont(const TLogFont& F) override
    {
        if (Fail || F.lfHeight >= 0)
            return nullptr;
        const TFontFace* Face = Installed.Find(Cp932ToUtf8(LogFontFaceName(F)));
        if (!Face)
            Face = Installed.DefaultFace();
        TFontMatch M;
        if (!Face || !Installed.Resolve(Face->Name, F.lfWeight, F.lfItalic != 0, M))
            return nullptr;
        const TGlyphStyle Style{M.SynthesizeBold, M.SynthesizeItalic, F.lfUnderline != 0, F.lfStrikeOut != 0};
        return TGlyphFont::Open(M.FileName, M.Index, -F.lfHeight, Style, Face->LogFont.lfCharSet);
    }
    TInstalledFonts Installed;
    bool Fail = false;
    int32_t Reads = 0;
};

// One character placed by hand with the font layer.
struct TPlaced {
    TrecPolyLine Path;
    int32_t Advance = 0;
};

TPlaced Place(const std::string& File, int32_t Size, const std::string& Cp932Char, int32_t X, int32_t Y,
              bool Close, TGlyphStyle Style = {})
{
    TPlaced R;
    auto Font = TGlyphFont::Open(File, 0, Size, Style);
    EXPECT_TRUE(Font) << File;
    if (!Font)
        return R;
    TGlyphPath G;
    R.Advance = Font->AppendChar(Cp932Char, X, Y, G);
    RecPolyLineSetCount(R.Path, static_cast<int32_t>(G.Points.size()));
    for (size_t I = 0; I < G.Points.size(); ++I) {
        R.Path.Points[I] = TPoint{G.Points[I].X, G.Points[I].Y};
        R.Path.pabType[I] = G.Types[I];
    }
    if (Close)
        RecPolyLineCloseFigures(R.Path);
    return R;
}

// A guide of straight lines through Points; Close closes it.
TrecPolyLine Guide(std::vector<TPoint> Points, bool Close = false)
{
    TrecPolyLine G;
    RecPolyLineSetCount(G, static_cast<int32_t>(Points.size()));
    for (size_t I = 0; I < Points.size(); ++I) {
        G.Points[I] = Points[I];
        G.pabType[I] = I == 0 ? PT_MOVETO : PT_LINETO;
    }
    if (Close)
        G.pabType[Points.size() - 1] |= PT_CLOSEFIGURE;
    return G;
}

void ExpectSamePath(const TrecPolyLine& A, const TrecPolyLine& B, int32_t From = 0)
{
    ASSERT_GE(A.Count, From + B.Count);
    for (int32_t I = 0; I < B.Count; ++I) {
        ASSERT_EQ(A.Points[From + I], B.Points[I]) << "point " << From + I;
        ASSERT_EQ(A.pabType[From + I], B.pabType[I]) << "point " << From + I;
    }
}

TrecCharAttr Attr(const std::string& Face, int32_t Size, int32_t Rise = 0, int32_t Extra = 0)
{
    TrecCharAttr A;
    SetCharAttrFaceName(A, Face);
    A.Size = Size;
    A.Rise = Rise;
    A.ExtraAdvance = Extra;
    return A;
}

class TextOutline : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const std::string& F : {IpaGothic, IpaMincho, DejaVuSans, DejaVuSansBold})
            if (!std::filesystem::exists(F))
                GTEST_SKIP() << "font file " << F << " is missing: run tools/setup";
        Fonts = std::make_unique<TFileFonts>(std::vector<TFontSource>{
            Source(IpaGothic, {"IPAGothic", "IPAゴシック"}, true),
            Source(IpaMincho, {"IPAMincho", "IPA明朝"}, true),
            Source(DejaVuSans, {"DejaVu Sans"}, false),
            Source(DejaVuSansBold, {"DejaVu Sans"}, false, 700),
        });
        Old = SetTextFontSource(Fonts.get());
        Installed = true;
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        if (!Installed)
            return;
        SetMessageBoxHandler(OldBox);
        SetTextFontSource(Old);
    }
    // Text styled throughout with A.
    void Style(const std::string& T, const TrecCharAttr& A)
    {
        Text = T;
        Styles.Clear();
        Styles.InsertText(0, T, A);
    }
    // The per-character layout at (0, 0).
    bool LayOut(int32_t StartX = 0, int32_t StartY = 0)
    {
        return RecPolyLineGetStyledTextPath(Result, StartX, StartY, 96, Text, Styles, Para, Counts, Centres);
    }
    // The baseline of every character as the layout reported it.
    std::vector<int32_t> Baselines() const
    {
        std::vector<int32_t> Y;
        for (size_t I = 0; I + 1 < Centres.size(); ++I)
            Y.push_back(Centres[I].Y);
        return Y;
    }
    std::unique_ptr<TFileFonts> Fonts;
    TTextFontSource* Old = nullptr;
    bool Installed = false;
    TMessageBoxHandler OldBox;
    std::vector<std::string> Boxes;
    std::string Text;
    TListCharStyle Styles;
    TParagraphStyle Para;
    TrecPolyLine Result;
    std::vector<int32_t> Counts;
    std::vector<TPoint> Centres;
};

} // namespace

TEST_F(TextOutline, GlyphsAreTheFontLayersPlacedOnTheBaseline)
{
    Style("A" + Hiragana_A, Attr("IPAGothic", 40));
    ASSERT_TRUE(LayOut());
    const TPlaced A = Place(IpaGothic, 40, "A", 0, 40, true);
    const TPlaced B = Place(IpaGothic, 40, Hiragana_A, A.Advance, 40, true);
    ASSERT_TRUE(A.Path.Count > 0 && B.Path.Count > 0);
    ASSERT_EQ(Result.Count, A.Path.Count + B.Path.Count);
    ExpectSamePath(Result, A.Path);
    ExpectSamePath(Result, B.Path, A.Path.Count);
    EXPECT_EQ(Counts, (std::vector<int32_t>{0, A.Path.Count, A.Path.Count + B.Path.Count}));
    ASSERT_EQ(Centres.size(), 3u);
    EXPECT_EQ(Centres[0], (TPoint{A.Advance / 2, 40}));
    EXPECT_EQ(Centres[1], (TPoint{(2 * A.Advance + B.Advance) / 2, 40}));
    // The whole-text variant records the same glyphs without closing them.
    const TPlaced OpenA = Place(IpaGothic, 40, "A", 0, 40, false);
    const TPlaced OpenB = Place(IpaGothic, 40, Hiragana_A, A.Advance, 40, false);
    TrecPolyLine Whole;
    ASSERT_TRUE(GetTextOutlinePath(Whole, 0, 0, 96, Text, Styles, Para));
    ASSERT_EQ(Whole.Count, OpenA.Path.Count + OpenB.Path.Count);
    ExpectSamePath(Whole, OpenA.Path);
    ExpectSamePath(Whole, OpenB.Path, OpenA.Path.Count);
    // Bounds from the origin to the largest coordinates.
    TrecPath P;
    MakeTextPath(Text, 96, Styles, Para, P);
    int32_t MaxX = 0, MaxY = 0;
    for (int32_t I = 0; I < P.Count; ++I)
        std::tie(MaxX, MaxY) = std::tuple(std::max(MaxX, P.Points[I].X), std::max(MaxY, P.Points[I].Y));
    EXPECT_EQ(P.Bounds, (TRect{0, 0, MaxX, MaxY}));
    EXPECT_GT(MaxX, A.Advance);
}

TEST_F(TextOutline, EachCharacterHasItsOwnFont)
{
    // A: DejaVu Sans 20 bold (its bold file) with 7 extra pixels; b: IPAMincho
    // 40 bold and italic (both synthesised) and underlined.
    TrecCharAttr A = Attr("DejaVu Sans", 20, 0, 7);
    A.Bold = 1;
    TrecCharAttr B = Attr("IPAMincho", 40);
    B.Bold = B.Italic = B.Underline = 1;
    Text = "Ab";
    Styles.Clear();
    Styles.InsertText(0, "A", A);
    Styles.InsertText(1, "b", B);
    ASSERT_TRUE(LayOut());
    const TPlaced PA = Place(DejaVuSansBold, 20, "A", 0, 40, true);
    const TPlaced PB = Place(IpaMincho, 40, "b", PA.Advance + 7, 40, true, {true, true, true, false});
    ASSERT_EQ(Result.Count, PA.Path.Count + PB.Path.Count);
    ExpectSamePath(Result, PA.Path);
    ExpectSamePath(Result, PB.Path, PA.Path.Count);
    EXPECT_EQ(Centres[1].X, (2 * (PA.Advance + 7) + PB.Advance) / 2);
}

TEST_F(TextOutline, LineSpacingRules)
{
    const auto LinesAt = [&](const std::string& T, int32_t Size, int32_t Rule, uint8_t Unit, double Value,
                             int32_t Dpi = 96) {
        Style(T, Attr("IPAGothic", Size));
        Para.FLineSpacingRule = Rule;
        Para.SpacingUnit = Unit;
        Para.LineSpacing = Value;
        EXPECT_TRUE(RecPolyLineGetStyledTextPath(Result, 0, 0, Dpi, Text, Styles, Para, Counts, Centres));
        return Baselines();
    };
    using V = std::vector<int32_t>;
    EXPECT_EQ(LinesAt("A\r\nB", 40, 0, 0, 1.5), (V{40, 100}));
    EXPECT_EQ(LinesAt("A\r\nB", 42, 0, 0, 1.25), (V{42, 94}));  // 52.5 rounds to even
    EXPECT_EQ(LinesAt("A\r\nB", 42, 0, 0, 1.5), (V{42, 105}));
    EXPECT_EQ(LinesAt("A\r\nB", 40, 1, 0, 30), (V{40, 80}));     // at least: the line is higher
    EXPECT_EQ(LinesAt("A\r\nB", 40, 1, 0, 70), (V{40, 110}));
    EXPECT_EQ(LinesAt("A\r\nB", 40, 1, 3, 36), (V{40, 88}));     // 36 pt at 96 dpi = 48 px
    EXPECT_EQ(LinesAt("A\r\nB", 40, 2, 0, 25), (V{40, 65}));     // exactly, even below the size
    EXPECT_EQ(LinesAt("A\r\nB", 40, 2, 2, 1, 72), (V{40, 112})); // one inch at 72 dpi
    // An empty line takes the height of the line before it.
    EXPECT_EQ(LinesAt("A\r\n\r\nB", 40, 0, 0, 1.0), (V{40, 120}));
    EXPECT_EQ(LinesAt("A\r\n\r\nB", 40, 0, 0, 1.5), (V{40, 160}));
    // The second line's glyph lies on its baseline.
    LinesAt("A\r\nB", 40, 0, 0, 1.5);
    const TPlaced B = Place(IpaGothic, 40, "B", 0, 100, true);
    ExpectSamePath(Result, B.Path, Counts[1]);
    // An unknown rule is refused once a second line needs it.
    EXPECT_NO_THROW(LinesAt("AB", 40, 3, 0, 1.0));
    Style("A\r\nB", Attr("IPAGothic", 40));
    Para.FLineSpacingRule = 3;
    EXPECT_EQ(MessageOf<EUserError>([&] { LayOut(); }),
              "RecPolyLineGetStyledTextPath: Illegal FLineSpacingRule");
}

TEST_F(TextOutline, RiseRaisesTheLineAndCarriesDescent)
{
    // B raised by 10 on a line of size 40: the line is 50 high.
    Style("AB\r\nC", Attr("IPAGothic", 40));
    Styles.GetItem(1)->Attr.Rise = 10;
    ASSERT_TRUE(LayOut());
    EXPECT_EQ(Baselines(), (std::vector<int32_t>{50, 45, 90}));  // B's midway to the raised pen
    const TPlaced A = Place(IpaGothic, 40, "A", 0, 50, true);
    const TPlaced B = Place(IpaGothic, 40, "B", A.Advance, 40, true);
    ExpectSamePath(Result, B.Path, Counts[1]);
    // B lowered by 8: the next line is 8 higher.
    Styles.GetItem(1)->Attr.Rise = -8;
    ASSERT_TRUE(LayOut());
    EXPECT_EQ(Baselines(), (std::vector<int32_t>{40, 44, 88}));
    const TPlaced Low = Place(IpaGothic, 40, "B", A.Advance, 48, true);
    ExpectSamePath(Result, Low.Path, Counts[1]);
    // The descent waits through an empty line for the next styled one.
    Style("B\r\n\r\nC", Attr("IPAGothic", 40));
    Styles.GetItem(0)->Attr.Rise = -8;
    ASSERT_TRUE(LayOut());
    EXPECT_EQ(Centres[1].Y, 128);
}

TEST_F(TextOutline, LaterLinesStartAtZeroAndEveryBreakCounts)
{
    Style("A\r\nB", Attr("IPAGothic", 40));
    ASSERT_TRUE(LayOut(100, 10));
    const TPlaced A = Place(IpaGothic, 40, "A", 100, 50, true);
    const TPlaced B = Place(IpaGothic, 40, "B", 0, 90, true);
    EXPECT_EQ(Centres[0], (TPoint{100 + A.Advance / 2, 50}));
    EXPECT_EQ(Centres[1], (TPoint{B.Advance / 2, 90}));
    ExpectSamePath(Result, A.Path);
    ExpectSamePath(Result, B.Path, Counts[1]);
    // Lone CR and LF break the line as CR LF does.
    Style("A\r\nB", Attr("IPAGothic", 40));
    ASSERT_TRUE(LayOut());
    TrecPolyLine Expected;
    RecPolyLineAssign(Expected, Result);
    const std::vector<int32_t> ExpectedCounts = Counts;
    const std::vector<TPoint> ExpectedCentres = Centres;
    TrecPath ExpectedWhole;
    MakeTextPath(Text, 96, Styles, Para, ExpectedWhole);
    for (const std::string T : {"A\rB", "A\nB"}) {
        Style(T, Attr("IPAGothic", 40));
        ASSERT_TRUE(LayOut()) << T;
        EXPECT_EQ(Counts, ExpectedCounts);
        EXPECT_EQ(Centres, ExpectedCentres);
        ASSERT_EQ(Result.Count, Expected.Count);
        ExpectSamePath(Result, Expected);
        TrecPath W;
        MakeTextPath(Text, 96, Styles, Para, W);
        ASSERT_EQ(W.Count, ExpectedWhole.Count);
        ExpectSamePath(W, ExpectedWhole);
    }
    // LF then CR are two breaks.
    Style("A\n\rB", Attr("IPAGothic", 40));
    ASSERT_TRUE(LayOut());
    EXPECT_EQ(Centres[1].Y, 120);
    EXPECT_EQ(Counts.size(), 3u);
}

TEST_F(TextOutline, UnstyledCharacterAndTrailingLeadByte)
{
    Text = "AB";
    Styles.Clear();
    Styles.InsertText(0, "A", Attr("IPAGothic", 40));
    Styles.SetCount(2);
    EXPECT_EQ(MessageOf<EUserError>([&] { LayOut(); }), "RecPolyLineGetStyledTextPath: Illegal iCntr");
    // A lead byte without its trail byte is not drawn and not counted.
    Style("A\x82", Attr("IPAGothic", 40));
    ASSERT_TRUE(LayOut());
    const TPlaced A = Place(IpaGothic, 40, "A", 0, 40, true);
    EXPECT_EQ(Counts, (std::vector<int32_t>{0, A.Path.Count}));
    EXPECT_EQ(Result.Count, A.Path.Count);
}

TEST_F(TextOutline, EmptyTextAndFontFailure)
{
    Style("", Attr("IPAGothic", 40));
    TrecPath Empty;
    MakeTextPathPerChar(Text, 96, Styles, Para, Counts, Centres, Empty);
    EXPECT_EQ(std::tuple(Empty.Count, Empty.Bounds, Counts, Centres.size()),
              std::tuple(0, TRect{0, 0, 0, 0}, std::vector<int32_t>{0}, 1u));
    MakeTextPath(Text, 96, Styles, Para, Empty);
    EXPECT_EQ(std::tuple(Empty.Count, Empty.Bounds), std::tuple(0, TRect{0, 0, 0, 0}));
    EXPECT_TRUE(Boxes.empty());
    Style("AB", Attr("IPAGothic", 40));
    Fonts->Fail = true;
    TrecPolyLine Whole;
    EXPECT_FALSE(GetTextOutlinePath(Whole, 0, 0, 96, Text, Styles, Para));
    EXPECT_EQ(Whole.Count, 0);
    EXPECT_FALSE(LayOut());
    TrecPath P;
    P.Flag = 3;
    MakeTextPath(Text, 96, Styles, Para, P);
    EXPECT_EQ(Boxes, std::vector<std::string>{"MakeTextPath: GetTextPath Failed!"});
    EXPECT_EQ(std::tuple(P.Count, P.Flag, P.Bounds), std::tuple(0, 0, TRect{0, 0, 0, 0}));
}

TEST_F(TextOutline, InstalledFontList)
{
    uint8_t CharSet = 0;
    const auto CharSetOf = [&](const std::string& Face) {
        const bool Found = GetFontCharset(CharSet, Face);
        return std::pair(Found, int(CharSet));
    };
    EXPECT_EQ(CharSetOf("ipagothic"), std::pair(true, 128));
    EXPECT_EQ(CharSetOf(Utf8ToCp932("IPA明朝")), std::pair(true, 128));
    EXPECT_EQ(CharSetOf("DejaVu Sans"), std::pair(true, 0));
    // A missing face reads the list once more before giving up.
    const int32_t Reads = Fonts->Reads;
    EXPECT_EQ(CharSetOf("Nowhere Sans"), std::pair(false, 1));
    EXPECT_EQ(CharSetOf("IPAGothic"), std::pair(true, 128));
    EXPECT_EQ(Fonts->Reads, Reads + 1);
    EXPECT_FALSE(FindFontRecord("Nowhere Sans"));
    EXPECT_EQ(Boxes, std::vector<std::string>{"フォント (Nowhere Sans) が見つかりません"});
    auto R = FindFontRecord("IPAMincho");
    ASSERT_TRUE(R);
    EXPECT_EQ(LogFontFaceName(*R), "IPAMincho");
    // "@IPAGothic" sorts first but is never the default.
    auto First = FindFontByCharset(128);
    ASSERT_TRUE(First);
    EXPECT_EQ(LogFontFaceName(*First), "IPAGothic");
    EXPECT_TRUE(GetFontCharset(CharSet, "@IPAGothic"));
    EXPECT_EQ(LogFontFaceName(GetDefaultFont()), "IPAGothic");
    EXPECT_FALSE(FindFontByCharset(2));
    std::string Face;
    ValidateFontName("Nowhere Sans", Face, CharSet);
    EXPECT_EQ(std::pair(Face, int(CharSet)), std::pair(std::string("IPAGothic"), 128));
    ValidateFontName("DejaVu Sans", Face, CharSet);
    EXPECT_EQ(std::pair(Face, int(CharSet)), std::pair(std::string("DejaVu Sans"), 0));
    ClearFontList();
    const int32_t AfterClear = Fonts->Reads;
    EXPECT_TRUE(GetFontCharset(CharSet, "DejaVu Sans"));
    EXPECT_EQ(Fonts->Reads, AfterClear + 1);
}

TEST_F(TextOutline, DefaultFontWithoutJapaneseOrAnyFonts)
{
    TFileFonts Latin({Source(DejaVuSans, {"DejaVu Sans"}, false)});
    SetTextFontSource(&Latin);
    EXPECT_EQ(LogFontFaceName(GetDefaultFont()), "DejaVu Sans");
    EXPECT_EQ(GetDefaultFont().lfCharSet, 0);
    TFileFonts None({});
    SetTextFontSource(&None);
    EXPECT_EQ(MessageOf<EUserError>([] { GetDefaultFont(); }),
              "GetDefaultFont: There is not any Truetype Font");
    SetTextFontSource(Fonts.get());
}

TEST_F(TextOutline, TextFollowsAStraightGuide)
{
    Style("AB", Attr("IPAGothic", 40));
    ASSERT_TRUE(LayOut());
    TrecPolyLine Flat;
    RecPolyLineAssign(Flat, Result);
    const std::vector<TPoint> FlatCentres = Centres;
    // Follows Guide from the flat layout; each point must land where Moved puts it.
    const auto Follow = [&](const TrecPolyLine& Guide, int32_t Start, int32_t Offset, auto Moved) {
        RecPolyLineAssign(Result, Flat);
        Centres = FlatCentres;
        ASSERT_TRUE(RecPolyLineFollowPath(Result, Counts, Centres, Guide, 40, Start, Offset));
        for (int32_t I = 0; I < Result.Count; ++I)
            ASSERT_EQ(Result.Points[I], Moved(Flat.Points[I])) << I;
    };
    // Along x from (100, 200): each character moves by (110, 155).
    Follow(Guide({{100, 200}, {1000, 200}}), 10, 5, [](TPoint P) { return TPoint{P.X + 110, P.Y + 155}; });
    EXPECT_EQ(Centres[1], (TPoint{FlatCentres[1].X + 110, 195}));
    // Down along y from (300, 0): the text turns a quarter, its top to +x.
    Follow(Guide({{300, 0}, {300, 1000}}), 10, 0, [](TPoint P) { return TPoint{300 - (P.Y - 40), 10 + P.X}; });
    // A guide shorter than the text goes on straight past its end.
    Follow(Guide({{0, 0}, {5, 0}}), 0, 0, [](TPoint P) { return TPoint{P.X, P.Y - 40}; });
    // No length, or counts that do not fit: nothing changes.
    RecPolyLineAssign(Result, Flat);
    EXPECT_FALSE(RecPolyLineFollowPath(Result, Counts, Centres, Guide({{0, 0}, {0, 0}}), 40, 0, 0));
    std::vector<int32_t> Short{0, 3};
    EXPECT_FALSE(RecPolyLineFollowPath(Result, Short, Centres, Guide({{0, 0}, {9, 0}}), 40, 0, 0));
    ExpectSamePath(Result, Flat);
}

TEST_F(TextOutline, TextFollowsCornersAndClosedGuides)
{
    Style("AB", Attr("IPAGothic", 40, 0, 210));
    ASSERT_TRUE(LayOut());
    TrecPolyLine Flat;
    RecPolyLineAssign(Flat, Result);
    const std::vector<TPoint> C0 = Centres;
    // A closed square; its closing edge (0,100) -> (0,0) runs upward.
    const TrecPolyLine Square = Guide({{0, 0}, {100, 0}, {100, 100}, {0, 100}}, true);
    // A's centre at 120 lies on the right edge (going down), B's at 350 on
    // the closing edge (going up).
    const int32_t StartA = 120 - C0[0].X;
    ASSERT_TRUE(RecPolyLineFollowPath(Result, Counts, Centres, Square, 40, StartA, 0));
    const int32_t SB = StartA + C0[1].X;
    ASSERT_GT(SB, 300);
    ASSERT_LT(SB, 400);
    EXPECT_EQ(Centres[0], (TPoint{100, 20}));
    EXPECT_EQ(Centres[1], (TPoint{0, 400 - SB}));
    for (int32_t I = Counts[0]; I < Counts[1]; ++I) {
        const TPoint P = Flat.Points[I];
        ASSERT_EQ(Result.Points[I], (TPoint{100 - (P.Y - 40), 20 + P.X - C0[0].X})) << I;
    }
    for (int32_t I = Counts[1]; I < Counts[2]; ++I) {
        const TPoint P = Flat.Points[I];
        ASSERT_EQ(Result.Points[I], (TPoint{P.Y - 40, 400 - SB - (P.X - C0[1].X)})) << I;
    }
    // The convenience call: the first baseline on the guide, true bounds.
    TrecPath OnPath;
    MakeTextPathOnPath(Text, 96, Styles, Para, Square, StartA, 0, Counts, Centres, OnPath);
    ASSERT_EQ(OnPath.Count, Result.Count);
    ExpectSamePath(OnPath, Result);
    TrecPath Bounds;
    RecPolyLineAssign(Bounds, Result);
    RecPathCalcBounds(Bounds);
    EXPECT_EQ(OnPath.Bounds, Bounds.Bounds);
    EXPECT_LT(OnPath.Bounds.Left, 0);
}

namespace {

struct TRecordingCanvas : TOutlinedTextCanvas {
    int32_t Height = 0;
    std::vector<std::string> Calls;
    void SetBkModeTransparent() override { Calls.push_back("transparent"); }
    void SetTextColor(uint32_t C) override { Calls.push_back("colour " + std::to_string(C)); }
    int32_t DrawText(const std::string& Text, TRect& R, uint32_t Flags) override
    {
        Calls.push_back(Text + " " + std::to_string(R.Left) + "," + std::to_string(R.Top) + "," +
                        std::to_string(R.Right) + "," + std::to_string(R.Bottom) + " " + std::to_string(Flags));
        if (Flags & DT_CALCRECT)
            R.Bottom = R.Top + Height;
        return Height;
    }
};

} // namespace

TEST(DrawOutlinedText, HaloThenTextAtTheCellBottom)
{
    TRecordingCanvas C;
    C.Height = 20;
    DrawOutlinedText(C, "abc", TRect{10, 0, 110, 50}, 0xFFFFFF, 0x0000FF);
    const std::vector<std::string> Expected{
        "transparent",         "abc 10,0,110,50 9232", "colour 16777215",    "abc 9,30,109,50 8208",
        "abc 11,30,111,50 8208", "abc 10,29,110,49 8208", "abc 10,31,110,51 8208", "abc 9,29,109,49 8208",
        "abc 11,29,111,49 8208", "abc 11,31,111,51 8208", "abc 9,31,109,51 8208",  "colour 255",
        "abc 10,30,110,50 8208"};
    EXPECT_EQ(C.Calls, Expected);
    // A text as high as the cell (or not measured) stays at the top.
    for (int32_t H : {50, 0}) {
        TRecordingCanvas T;
        T.Height = H;
        DrawOutlinedText(T, "x", TRect{0, 0, 10, 50}, 0, 1);
        EXPECT_EQ(T.Calls.back(), "x 0,0,10,50 8208");
    }
}
