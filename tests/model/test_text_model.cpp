#include "model/text_model.h"

#include "draw_test_doubles.h"
#include "foundation/user_error.h"
#include "model/text_outline.h"
#include "platform/cp932.h"
#include "platform/message_box.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstddef>
#include <cstring>

namespace {

// Face names without glyphs: the model only asks which faces exist.
class TNamedFonts : public TTextFontSource {
public:
    std::vector<TFontFace> Faces;
    void Add(const std::string& Utf8, uint8_t CharSet)
    {
        TFontFace F;
        F.Name = Utf8;
        SetLogFontFaceName(F.LogFont, Utf8ToCp932(Utf8));
        F.LogFont.lfCharSet = CharSet;
        F.Vertical = Utf8[0] == '@';
        Faces.push_back(F);
    }
    std::vector<TFontFace> FontFaces() override { return Faces; }
    std::unique_ptr<TGlyphFont> CreateFont(const TLogFont&) override { return nullptr; }
};

// Little-endian bytes built by hand.
struct TBytes {
    std::string B;
    TBytes& I32(int32_t V)
    {
        for (int I = 0; I < 4; ++I)
            B += static_cast<char>((static_cast<uint32_t>(V) >> (8 * I)) & 0xFF);
        return *this;
    }
    TBytes& U8(uint8_t V)
    {
        B += static_cast<char>(V);
        return *this;
    }
    TBytes& F64(double V)
    {
        const auto U = std::bit_cast<uint64_t>(V);
        for (int I = 0; I < 8; ++I)
            B += static_cast<char>((U >> (8 * I)) & 0xFF);
        return *this;
    }
    TBytes& Str(const std::string& S)
    {
        I32(static_cast<int32_t>(S.size()));
        B += S;
        return *this;
    }
};

void Load(TMemoryStream& S, const std::string& Bytes)
{
    S.Clear();
    S.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    S.SetPosition(0);
}

const std::string Hiragana_A = "\x82\xA0";  // あ
const std::string Hyo = "\x95\x5C";         // 表: its trail byte is "\"

TrecCharAttr MakeAttr(const std::string& Face, int32_t Size)
{
    TrecCharAttr A;
    SetCharAttrFaceName(A, Face);
    A.Size = Size;
    A.CharSet = 128;
    return A;
}

class TextModel : public ::testing::Test {
protected:
    void SetUp() override
    {
        Fonts.Add("@IPAGothic", 128);
        Fonts.Add("DejaVu Sans", 0);
        Fonts.Add("IPAGothic", 128);
        Fonts.Add("Symbol Other", 2);
        Old = SetTextFontSource(&Fonts);
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHandler(OldBox);
        SetTextFontSource(Old);
    }
    TNamedFonts Fonts;
    TTextFontSource* Old = nullptr;
    TMessageBoxHandler OldBox;
    std::vector<std::string> Boxes;
};

} // namespace

TEST(TrecCharAttr, LayoutAndFaceName)
{
    EXPECT_EQ(sizeof(TrecCharAttr), 50u);
    EXPECT_EQ(offsetof(TrecCharAttr, Size), 0u);
    EXPECT_EQ(offsetof(TrecCharAttr, FaceName), 4u);
    EXPECT_EQ(offsetof(TrecCharAttr, CharSet), 36u);
    EXPECT_EQ(offsetof(TrecCharAttr, Unused), 37u);
    EXPECT_EQ(offsetof(TrecCharAttr, Bold), 38u);
    EXPECT_EQ(offsetof(TrecCharAttr, StrikeOut), 41u);
    EXPECT_EQ(offsetof(TrecCharAttr, Rise), 42u);
    EXPECT_EQ(offsetof(TrecCharAttr, ExtraAdvance), 46u);
    // A face name is cut at 31 bytes without splitting a double-byte character.
    TrecCharAttr A;
    std::string Long = std::string(30, 'x') + Hiragana_A;
    SetCharAttrFaceName(A, Long);
    EXPECT_EQ(CharAttrFaceName(A), std::string(30, 'x'));
    SetCharAttrFaceName(A, std::string(40, 'y'));
    EXPECT_EQ(CharAttrFaceName(A), std::string(31, 'y'));
    EXPECT_EQ(A.FaceName[31], 0);
}

TEST(CountTextChars, LineBreaksAndDoubleByteCharacters)
{
    EXPECT_EQ(CountTextChars(""), 0);
    EXPECT_EQ(CountTextChars("AB\r\n" + Hiragana_A), 3);
    EXPECT_EQ(CountTextChars("AB" + Hyo + "C"), 4);
    // A lead byte at the end is no character.
    EXPECT_EQ(CountTextChars("AB\x82"), 2);
    // Lone CR and LF are line breaks, as CR LF is.
    EXPECT_EQ(CountTextChars("A\rB\nC\r\n"), 3);
    EXPECT_EQ(CountTextChars("\n\r\r\n"), 0);
}

TEST_F(TextModel, InsertTextGivesOneSlotPerByte)
{
    TListCharStyle L;
    const TrecCharAttr A = MakeAttr("IPAGothic", 40);
    L.InsertText(0, "AB\r\n" + Hiragana_A, A);
    ASSERT_EQ(L.Count(), 6);
    for (int32_t I : {0, 1, 4}) {
        ASSERT_NE(L.GetItem(I), nullptr) << I;
        EXPECT_EQ(std::memcmp(&L.GetItem(I)->Attr, &A, sizeof A), 0);
    }
    for (int32_t I : {2, 3, 5})
        EXPECT_EQ(L.GetItem(I), nullptr) << I;
    EXPECT_NE(L.GetItem(0), L.GetItem(1));
    // Inserting in the middle moves the later slots; a trail byte equal to
    // "\" gets no style.
    TCharStyle* B = L.GetItem(1);
    const TrecCharAttr A2 = MakeAttr("DejaVu Sans", 20);
    L.InsertText(1, Hyo + "Z", A2);
    ASSERT_EQ(L.Count(), 9);
    EXPECT_EQ(L.GetItem(1)->Attr.Size, 20);
    EXPECT_EQ(L.GetItem(2), nullptr);
    EXPECT_EQ(L.GetItem(3)->Attr.Size, 20);
    EXPECT_EQ(L.GetItem(4), B);
    EXPECT_NE(L.GetItem(7), nullptr);
    try {
        L.GetItem(-1);
        FAIL() << "no error";
    } catch (const EListError& E) {
        EXPECT_STREQ(E.what(), "リストのインデックスが範囲を超えています (-1)");
    }
    EXPECT_EQ(L.GetItem(9), nullptr);
}

TEST_F(TextModel, CharStyleFormsByteForByte)
{
    TCharStyle S;
    S.Attr = MakeAttr("IPAGothic", 40);
    S.Attr.Bold = 1;
    S.Attr.Underline = 1;
    S.Attr.Rise = -3;
    S.Attr.ExtraAdvance = 5;
    RecPolyLineSetCount(S.Glyph, 2);
    S.Glyph.Points[0] = {1, 2};
    S.Glyph.pabType[0] = 6;
    S.Glyph.Points[1] = {3, 4};
    S.Glyph.pabType[1] = 3;
    S.Glyph.Bounds = {1, 2, 3, 4};
    TMemoryStream M;
    S.WriteToStream(M);
    const std::string Attr =
        TBytes().Str("IPAGothic").Str("40").U8(1).U8(0).U8(1).U8(0).I32(-3).I32(5).B;
    const std::string Path = TBytes().U8(0).I32(1).I32(2).I32(3).I32(4).I32(2).I32(1).I32(2).I32(3).I32(4).U8(6).U8(3).B;
    EXPECT_EQ(StreamText(M), Attr + Path);
    TMemoryStream R;
    WriteCharStyleRec(R, S.Attr);
    EXPECT_EQ(StreamText(R), Attr);
    TCharStyle Back;
    M.SetPosition(0);
    Back.ReadFromStream(M, 25);
    EXPECT_EQ(std::memcmp(&Back.Attr, &S.Attr, sizeof S.Attr), 0);
    ASSERT_EQ(Back.Glyph.Count, 2);
    EXPECT_EQ(Back.Glyph.Points[1], (TPoint{3, 4}));
    EXPECT_EQ(Back.Glyph.Bounds, (TRect{1, 2, 3, 4}));
    EXPECT_EQ(M.Position(), M.Size());
    // The text form.
    S = TCharStyle();
    S.Attr = MakeAttr("DejaVu Sans", 12);
    S.Attr.CharSet = 0;
    S.Attr.Italic = 1;
    S.Attr.StrikeOut = 1;
    S.Attr.Rise = 7;
    S.Attr.ExtraAdvance = -2;
    M.Clear();
    S.WriteToStreamAsText(M);
    EXPECT_EQ(StreamText(M), "DejaVu Sans\r\n12\r\n0\r\n1\r\n0\r\n1\r\n7\r\n-2\r\n"
                           "0\r\n2147483647\r\n2147483647\r\n-2147483648\r\n-2147483648\r\n0\r\n");
    M.SetPosition(0);
    Back.ReadFromStreamAsText(M);
    EXPECT_EQ(std::memcmp(&Back.Attr, &S.Attr, sizeof S.Attr), 0);
    // A value that is no byte is refused and nothing changes.
    Load(M, "DejaVu Sans\r\n13\r\n256\r\n0\r\n0\r\n0\r\n0\r\n0\r\n");
    EXPECT_THROW(Back.ReadFromStreamAsText(M), EReadError);
    EXPECT_EQ(Back.Attr.Size, 12);
}

TEST_F(TextModel, ReadingRoundsOldValuesAndChecksFaces)
{
    TMemoryStream M;
    Load(M, TBytes().Str("IPAGothic").Str("30").U8(0).U8(1).U8(0).U8(0).F64(2.5).F64(3.5).B);
    TrecCharAttr A;
    ReadCharStyleRec(M, A, 12);
    EXPECT_EQ(std::tuple(+A.Rise, +A.ExtraAdvance, +A.Size, +A.Italic, +A.CharSet),
              std::tuple(2, 4, 30, 1, 128));
    Load(M, TBytes().Str("IPAGothic").Str("30").U8(0).U8(0).U8(0).U8(0).F64(-2.5).F64(-0.5).B);
    ReadCharStyleRec(M, A, 12);
    EXPECT_EQ(std::tuple(+A.Rise, +A.ExtraAdvance), std::tuple(-2, 0));
    // A NaN has no integer: refused, nothing changed.
    Load(M, TBytes().Str("IPAGothic").Str("31").U8(0).U8(0).U8(0).U8(0).F64(std::nan("")).F64(0).B);
    EXPECT_THROW(ReadCharStyleRec(M, A, 12), EReadError);
    EXPECT_EQ(A.Size, 30);
    // Face names are validated on reading.
    const std::tuple<std::string, std::string, int> Cases[] = {
        {"No Such Face", "IPAGothic", 128},  // the first Shift-JIS face that is no "@" face
        {"dejavu sans", "dejavu sans", 0},   // found ignoring case, kept as written
        {"Symbol Other", "Symbol Other", 2}};
    for (const auto& [Stored, Face, CharSet] : Cases) {
        Load(M, TBytes().Str(Stored).Str("30").U8(0).U8(0).U8(0).U8(0).I32(0).I32(0).B);
        ReadCharStyleRec(M, A, 25);
        EXPECT_EQ(std::tuple(CharAttrFaceName(A), int(A.CharSet)), std::tuple(Face, CharSet));
    }
}

TEST_F(TextModel, ListFormsByteForByteAndRoundTrip)
{
    TListCharStyle L;
    L.InsertText(0, "A\r\n" + Hiragana_A, MakeAttr("IPAGothic", 16));
    ASSERT_EQ(L.Count(), 5);
    TMemoryStream M;
    L.WriteToStream(M);
    TBytes Style;
    Style.Str("IPAGothic").Str("16").U8(0).U8(0).U8(0).U8(0).I32(0).I32(0);
    Style.U8(0).I32(2147483647).I32(2147483647).I32(-2147483647 - 1).I32(-2147483647 - 1).I32(0);
    const std::string Expected =
        TBytes().I32(5).U8(1).B + Style.B + TBytes().U8(0).U8(0).U8(1).B + Style.B + TBytes().U8(0).B;
    EXPECT_EQ(StreamText(M), Expected);
    TListCharStyle Back;
    Back.InsertText(0, "XYZ", MakeAttr("DejaVu Sans", 9));
    M.SetPosition(0);
    Back.ReadFromStream(M, 25);
    ASSERT_EQ(Back.Count(), 5);
    EXPECT_EQ(Back.GetItem(0)->Attr.Size, 16);
    EXPECT_EQ(Back.GetItem(1), nullptr);
    EXPECT_EQ(Back.GetItem(3)->Attr.Size, 16);
    EXPECT_EQ(Back.GetItem(4), nullptr);
    TMemoryStream T;
    L.WriteToStreamAsText(T);
    const std::string StyleText = "IPAGothic\r\n16\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n"
                                  "0\r\n2147483647\r\n2147483647\r\n-2147483648\r\n-2147483648\r\n0\r\n";
    EXPECT_EQ(StreamText(T), "5\r\n1\r\n" + StyleText + "0\r\n0\r\n1\r\n" + StyleText + "0\r\n");
    TListCharStyle BackText;
    T.SetPosition(0);
    BackText.ReadFromStreamAsText(T);
    TMemoryStream Again;
    BackText.WriteToStreamAsText(Again);
    EXPECT_EQ(StreamText(Again), StreamText(T));
}

TEST_F(TextModel, ListReadersRefuseBadDataAndKeepTheList)
{
    TListCharStyle L;
    L.InsertText(0, "AB", MakeAttr("IPAGothic", 16));
    TCharStyle* First = L.GetItem(0);
    TMemoryStream M;
    Load(M, TBytes().I32(-1).B);
    EXPECT_THROW(L.ReadFromStream(M, 25), EReadError);
    Load(M, TBytes().I32(1000).U8(0).B); // more slots than bytes
    EXPECT_THROW(L.ReadFromStream(M, 25), EReadError);
    Load(M, TBytes().I32(2).U8(0).U8(2).B); // a flag other than 0 and 1
    EXPECT_THROW(L.ReadFromStream(M, 25), EReadError);
    Load(M, TBytes().I32(2).U8(0).U8(1).Str("IPAGothic").B); // cut short inside a style
    EXPECT_THROW(L.ReadFromStream(M, 25), EReadError);
    Load(M, "3\r\n0\r\n0\r\nx\r\n");
    EXPECT_THROW(L.ReadFromStreamAsText(M), EConvertError);
    Load(M, "900\r\n0\r\n");
    EXPECT_THROW(L.ReadFromStreamAsText(M), EReadError);
    ASSERT_EQ(L.Count(), 2);
    EXPECT_EQ(L.GetItem(0), First);
    EXPECT_EQ(First->Attr.Size, 16);
}

TEST_F(TextModel, ListAssignCopiesEveryStyle)
{
    TListCharStyle Src;
    Src.InsertText(0, "A\r\n" + Hiragana_A, MakeAttr("IPAGothic", 16));
    Src.SetCapacity(40);
    RecPolyLineSetCount(Src.GetItem(0)->Glyph, 3);
    Src.GetItem(0)->Glyph.Points[2] = {7, 8};
    TListCharStyle Dst;
    Dst.InsertText(0, "XYZW", MakeAttr("DejaVu Sans", 9));
    Dst.Assign(Src);
    EXPECT_EQ(Dst.Count(), 5);
    EXPECT_EQ(Dst.Capacity(), 40);
    ASSERT_NE(Dst.GetItem(0), nullptr);
    EXPECT_NE(Dst.GetItem(0), Src.GetItem(0));
    EXPECT_EQ(Dst.GetItem(0)->Glyph.Count, 3);
    EXPECT_EQ(Dst.GetItem(0)->Glyph.Points[2], (TPoint{7, 8}));
    EXPECT_EQ(Dst.GetItem(1), nullptr);
    EXPECT_NE(Dst.GetItem(3), nullptr);
    Src.GetItem(3)->Attr.Size = 99;
    EXPECT_EQ(Dst.GetItem(3)->Attr.Size, 16);
    TTabs Tabs;
    EXPECT_THROW(Dst.Assign(Tabs), EConvertError);
    EXPECT_EQ(Dst.Count(), 5);
    TRTFTav R1, R2;
    R1.Text = "A\r\n" + Hiragana_A;
    R1.Styles.Assign(Src);
    R2.Assign(R1);
    EXPECT_EQ(R2.Text, R1.Text);
    EXPECT_EQ(R2.Styles.Count(), 5);
    EXPECT_NE(R2.Styles.GetItem(0), R1.Styles.GetItem(0));
    R2.Clear();
    EXPECT_EQ(R2.Text, "");
    EXPECT_EQ(R2.Styles.Count(), 0);
}

TEST_F(TextModel, ParagraphStyleForms)
{
    TParagraphStyle P;
    EXPECT_EQ(P.LineSpacing, 1.0);
    P.FLineSpacingRule = 1;
    P.SpacingUnit = 3;
    P.LineSpacing = 1.5;
    TMemoryStream M;
    P.WriteToStream(M);
    EXPECT_EQ(StreamText(M), TBytes().I32(1).U8(3).F64(1.5).B);
    TParagraphStyle Back;
    M.SetPosition(0);
    Back.ReadFromStream(M);
    EXPECT_EQ(std::tuple(Back.FLineSpacingRule, Back.SpacingUnit, Back.LineSpacing), std::tuple(1, 3, 1.5));
    const auto Text = [](int32_t Rule, double Spacing) {
        TParagraphStyle S;
        S.FLineSpacingRule = Rule;
        S.LineSpacing = Spacing;
        TMemoryStream T;
        S.WriteToStreamAsText(T);
        return StreamText(T);
    };
    EXPECT_EQ(Text(200, 0.1), "-56\r\n0\r\n0.1\r\n"); // low byte as a signed 8-bit number
    EXPECT_EQ(Text(0, 0.0001), "0\r\n0\r\n0.0001\r\n");
    EXPECT_EQ(Text(0, 0.00001), "0\r\n0\r\n1E-5\r\n");
    EXPECT_EQ(Text(0, 123456789012345.0), "0\r\n0\r\n123456789012345\r\n");
    EXPECT_EQ(Text(0, 1e15), "0\r\n0\r\n1E15\r\n");
    EXPECT_EQ(Text(0, -2.0 / 3.0), "0\r\n0\r\n-0.666666666666667\r\n");
    Load(M, "-1\r\n2\r\n2.25\r\n");
    Back.ReadFromStreamAsText(M);
    EXPECT_EQ(std::tuple(Back.FLineSpacingRule, Back.SpacingUnit, Back.LineSpacing), std::tuple(-1, 2, 2.25));
    Load(M, "1\r\n2\r\nwide\r\n");
    EXPECT_THROW(Back.ReadFromStreamAsText(M), EConvertError);
    EXPECT_EQ(Back.LineSpacing, 2.25);
    // Assign copies the tabs and the trailing fields.
    TParagraphStyle Src;
    Src.FLineSpacingRule = 2;
    Src.SpacingUnit = 1;
    Src.LineSpacing = 0.75;
    Src.Extra = {1, 2, 3, 4};
    Src.Tabs.AddTab({10, 20, 30});
    Src.Tabs.AddTab({-1, -2, -3});
    TParagraphStyle Dst;
    Dst.Tabs.AddTab({5, 5, 5});
    Dst.Assign(Src);
    EXPECT_EQ(std::tuple(Dst.FLineSpacingRule, Dst.SpacingUnit, Dst.LineSpacing), std::tuple(2, 1, 0.75));
    EXPECT_EQ(Dst.Extra, (std::array<int32_t, 4>{1, 2, 3, 4}));
    ASSERT_EQ(Dst.Tabs.Count(), 2);
    EXPECT_EQ(Dst.Tabs.GetTab(1).Value3, -3);
    EXPECT_NE(&Dst.Tabs.GetTab(0), &Src.Tabs.GetTab(0));
    EXPECT_EQ(Dst.Tabs.Capacity(), Src.Tabs.Capacity());
    EXPECT_THROW(Dst.Tabs.GetTab(2), EListError);
}

TEST_F(TextModel, MakeCharFont)
{
    TrecCharAttr A = MakeAttr("IPAGothic", 36);
    A.Bold = 1;
    A.Italic = 5;
    A.StrikeOut = 1;
    A.CharSet = 0; // the installed face decides
    TLogFont F;
    F.lfWidth = 99;
    MakeCharFont(F, A);
    EXPECT_EQ(std::tuple(F.lfHeight, F.lfWidth, F.lfWeight, F.lfItalic, F.lfUnderline,
                         F.lfStrikeOut, F.lfCharSet),
              std::tuple(-36, 0, 700, 1, 0, 1, 128));
    EXPECT_EQ(LogFontFaceName(F), "IPAGothic");
    SetCharAttrFaceName(A, "Gone Face");
    A.Bold = 0;
    MakeCharFont(F, A);
    EXPECT_EQ(F.lfWeight, 400);
    EXPECT_EQ(F.lfCharSet, 1);
    EXPECT_EQ(LogFontFaceName(F), "Gone Face");
    EXPECT_TRUE(Boxes.empty());
}
