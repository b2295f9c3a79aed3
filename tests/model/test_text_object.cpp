#include "golden_picture.h"
#include "model/text_object.h"

#include "object_test_support.h"

#include "foundation/lists.h"
#include "foundation/stream_text.h"
#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/text_outline.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/message_box.h"
#include "raster/merge.h"
#include "raster/png_io.h"
#include "store/picture_store.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

namespace {

// Installed by tools/setup (fonts-dejavu-core).
const std::string DejaVuSans = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

std::string Sjis(const std::string& Utf8) { return Utf8ToCp932(Utf8); }

// A page with a picture of its own size and the selection's text caret.
class TTextPage : public TTestPage, public TTextCaretLink {
public:
    TTextPage(int32_t W = 300, int32_t H = 200) { RecPictureCreate(Picture, TPoint{0, 0}, W, H, 24, false); }
    ~TTextPage() override { RecPictureClear(Picture); }
    TrecPicture* GetPagePicture() override { return &Picture; }
    void SetTextCaret(TDrawItem*, int32_t Start, int32_t Length) override
    {
        Carets.emplace_back(Start, Length);
    }
    void ClearPendingTyping() override { ++PendingCleared; }
    TrecPicture Picture;
    std::vector<std::pair<int32_t, int32_t>> Carets;
    int32_t PendingCleared = 0;
};

// A text object that keeps every record it makes.
class TRecText : public TTextObj {
public:
    using TTextObj::TTextObj;
    struct TRec {
        uint8_t Kind;
        int32_t Code;
        std::vector<uint8_t> Data;
    };
    void AddHistory(uint8_t Kind, int32_t Command, const void* Data, int32_t Size) override
    {
        if (CanRecord() && HistoryCommand()->IsCommandOpen()) {
            const auto* P = static_cast<const uint8_t*>(Data);
            Records.push_back({Kind, Command, std::vector<uint8_t>(P, P + Size)});
        }
        TTextObj::AddHistory(Kind, Command, Data, Size);
    }
    std::vector<TRec> Records;
};

class TTextTypeRegistration {
public:
    TTextTypeRegistration() : FOld(GetDrawItemFactory(doftText)) { RegisterTextObjType(); }
    ~TTextTypeRegistration() { RegisterDrawItemType(doftText, FOld); }

private:
    TDrawItemFactory FOld;
};

// A white 24-bit target of its own.
struct TOwnedTarget : TrecDrawTarget {
    TOwnedTarget(int32_t W, int32_t H)
    {
        RecPictureCreate(Picture, TPoint{0, 0}, W, H, 24, false);
        RecPictureFillColor(Picture, 0xFFFFFF);
    }
    ~TOwnedTarget() { RecPictureClear(Picture); }
    std::vector<uint8_t> Pixels() const
    {
        return std::vector<uint8_t>(Picture.pBits, Picture.pBits + RecPictureGetImageSize(Picture));
    }
};

std::vector<uint8_t> I32s(std::initializer_list<int32_t> Values)
{
    std::vector<uint8_t> B;
    for (int32_t V : Values)
        PutI32(B, V);
    return B;
}

// Every slot's 50 attribute bytes ("-" for an empty slot).
std::vector<std::string> AttrsOf(const TTextObj& T)
{
    std::vector<std::string> R;
    const TListCharStyle& S = T.RichText().Styles;
    for (int32_t I = 0; I < S.Count(); ++I) {
        const TCharStyle* C = S.GetItem(I);
        R.push_back(C ? std::string(reinterpret_cast<const char*>(&C->Attr), CharAttrSize) : "-");
    }
    return R;
}

class TextObject : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const std::string& F : {IpaGothic, DejaVuSans})
            if (!std::filesystem::exists(F))
                GTEST_SKIP() << "font file " << F << " is missing: run tools/setup";
        TFontSource D;
        D.Families = {"DejaVu Sans"};
        D.FileName = DejaVuSans;
        Fonts = std::make_unique<TFileFonts>(std::vector<TFontSource>{IpaGothicSource(), D});
        OldFonts = SetTextFontSource(Fonts.get());
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
        Installed = true;
    }
    void TearDown() override
    {
        if (!Installed)
            return;
        SetMessageBoxHandler(OldBox);
        SetTextFontSource(OldFonts);
        Catalogue.reset();
    }
    // The effect catalogue built beside the test program, for the scope.
    void LoadCatalogue() { Catalogue.emplace(); }
    static TrecCharAttr Gothic(int32_t Size) { return GothicAttr(Size); }
    // Text (UTF-8) in IPA Gothic at Size.
    template <class T = TTextObj>
    std::unique_ptr<T> MakeText(TPageLink* Page, const std::string& Utf8, int32_t Size = 40)
    {
        auto Obj = std::make_unique<T>(Page, -1);
        Obj->SetText(Sjis(Utf8));
        TListCharStyle& S = Obj->RichText().Styles;
        for (int32_t I = 0; I < S.Count(); ++I)
            if (TCharStyle* C = S.GetItem(I))
                C->Attr = Gothic(Size);
        Obj->SetPathState(0);
        return Obj;
    }
    std::unique_ptr<TFileFonts> Fonts;
    TTextFontSource* OldFonts = nullptr;
    TMessageBoxHandler OldBox;
    std::vector<std::string> Boxes;
    bool Installed = false;
    std::optional<TCatalogueLibraries> Catalogue;
    TTextTypeRegistration Registration;
};

// ---------------------------------------------------------------------------
// Stream forms

// A complete version-25 binary form: no page, so the object ID is -1. The
// lines are CP932; every character of the text they make (joined with CR
// LF) has a style of its own in the slot of its first byte.
using TLines = std::vector<std::string>;
std::vector<uint8_t> HandBuiltBinary(int32_t StyleCount = 11,
                                     const TLines& Lines = {Sjis("文字Ab"), "", "x"})
{
    std::string Text;
    for (const std::string& L : Lines)
        Text += (&L == &Lines.front() ? "" : "\r\n") + L;
    std::vector<bool> Styled(Text.size() + static_cast<size_t>(StyleCount), false);
    for (size_t I = 0; I < Text.size(); I += IsSjisLeadByte(static_cast<uint8_t>(Text[I])) ? 2 : 1)
        Styled[I] = Text[I] != '\r' && Text[I] != '\n';
    std::vector<uint8_t> B{doftText};
    PutI32(B, -1);                    // ID
    PutStr(B, "t");                   // name
    PutI32(B, 0);                     // parent
    B.push_back(1);                   // visible
    PutI32(B, 0xFF);                  // wireframe colour
    B.push_back(1);                   // fill-path flag
    PutBytes(B, I32s({0, 0, 0}));     // layer, fill macros, path macros
    PutBytes(B, {0, 1});              // outline kind, fill-path flag
    PutI32(B, 1);                     // paragraph: rule, unit, spacing
    B.push_back(3);
    PutF64(B, 1.5);
    // By default "文字Ab", CR LF, CR LF, "x": characters at 0, 2, 4, 5 and 10.
    TMemoryStream Empty;
    TrecPath NoGlyph;
    RecPathWriteToStream(NoGlyph, Empty);
    PutI32(B, StyleCount);
    for (int32_t I = 0; I < StyleCount; ++I) {
        if (!Styled[static_cast<size_t>(I)]) {
            B.push_back(0);
            continue;
        }
        B.push_back(1);
        PutStr(B, "IPAGothic");
        PutStr(B, std::to_string(30 + I));
        PutBytes(B, {uint8_t(I == 4), 0, uint8_t(I == 5), 0});
        PutI32(B, I == 10 ? -4 : 0);
        PutI32(B, I);
        PutBytes(B, Bytes(Empty));
    }
    B.push_back(2);                   // paint kind
    PutF64(B, 1.25);
    PutF64(B, -0.1);
    PutBytes(B, I32s({-5, 70000}));   // X, Y
    PutBytes(B, {0x00, 0x00, 0x80, 0x3E}); // 0.25f
    B.push_back(1);                   // path-link byte
    PutI32(B, 0);                     // linked item
    // The layout with its two filler pairs (kept as they are).
    PutBytes(B, I32s({7, -3}));
    PutBytes(B, {1, 2, 0xAA, 0xBB});
    PutI32(B, 9);
    PutBytes(B, {3, 4, 0xCC, 0xDD});
    PutI32(B, static_cast<int32_t>(Lines.size()));
    for (const std::string& L : Lines) {
        PutI32(B, static_cast<int32_t>(L.size()));
        B.insert(B.end(), L.begin(), L.end());
    }
    return B;
}

// Where the 20 layout bytes of HandBuiltBinary begin: the line count and
// the three lines (23 bytes) follow them.
size_t LayoutOffset(const std::vector<uint8_t>& B)
{
    return B.size() - 23 - 20;
}

// A text read from its binary form (bytes) or its text form (a string),
// which must be read to the end.
template <class TData>
std::unique_ptr<TTextObj> Read(const TData& Data, int32_t Version = 25)
{
    TMemoryStreamWex S;
    S.SetPointer(Data.data(), static_cast<int64_t>(Data.size()));
    auto Item = std::is_same_v<TData, std::string> ? DrawItemReadFromStreamAsTextNew(S, nullptr, nullptr, Version)
                                                   : DrawItemReadFromStreamNew(S, nullptr, nullptr, -1, Version);
    EXPECT_EQ(S.Position(), static_cast<int64_t>(Data.size()));
    return std::unique_ptr<TTextObj>(dynamic_cast<TTextObj*>(Item.release()));
}

std::string TextForm(TDrawItem& Item)
{
    TMemoryStream S;
    Item.WriteToStreamAsText(S);
    return StreamText(S);
}

TEST_F(TextObject, BinaryFormReadsAndWritesBackByteForByte)
{
    const std::vector<uint8_t> B = HandBuiltBinary();
    auto T = Read(B);
    ASSERT_TRUE(T);
    // Each field's value is pinned by the text form test, which writes them in order.
    EXPECT_EQ(T->Text(), Sjis("文字Ab\r\n\r\nx"));
    EXPECT_EQ((TPoint{T->X(), T->Y()}), (TPoint{-5, 70000}));
    EXPECT_EQ(T->RichText().Styles.GetItem(10)->Attr.Rise + 0, -4);  // (+ 0: packed fields are compared by value)
    EXPECT_EQ(T->RichText().Styles.GetItem(4)->Attr.Bold, 1);
    EXPECT_EQ(T->BasePathState(), 0);
    EXPECT_EQ(T->OutputPathState(), 0);
    EXPECT_EQ(StateOf(*T), B);
}

TEST_F(TextObject, TextFormReadsAndWritesBackLineForLine)
{
    auto FromBinary = Read(HandBuiltBinary());
    const std::string Text = TextForm(*FromBinary);
    // The text part after the line-object lines, as this system writes it.
    TMemoryStream Line, Styles;
    FromBinary->TLineObject::WriteToStreamAsText(Line);
    const std::string LinePart = StreamText(Line);
    FromBinary->RichText().Styles.WriteToStreamAsText(Styles);
    const std::string Expected = "6\r\n" + LinePart + "1\r\n3\r\n1.5\r\n" + StreamText(Styles) +
                                 "2\r\n1.25\r\n-0.1\r\n-5\r\n70000\r\n0.25\r\n1\r\n0\r\n"
                                 "7\r\n-3\r\n1\r\n2\r\n9\r\n3\r\n4\r\n3\r\n" +
                                 Sjis("文字Ab") + "\r\n\r\nx\r\n";
    EXPECT_EQ(Text, Expected);
    EXPECT_EQ(LinePart.substr(0, 13), "-1\r\nt\r\n0\r\n1\r\n");
    auto Back = Read(Text);
    ASSERT_TRUE(Back);
    EXPECT_EQ(TextForm(*Back), Text);
    // The text form has no filler bytes: they come back as zero.
    std::vector<uint8_t> B = HandBuiltBinary();
    const size_t Layout = LayoutOffset(B);
    for (size_t I : {Layout + 10, Layout + 11, Layout + 18, Layout + 19})
        B[I] = 0;
    EXPECT_EQ(StateOf(*Back), B);
}

TEST_F(TextObject, LineBreaksAndStylesSurviveEveryRoundTrip)
{
    // Lines holding a lone CR and ending in a lone LF. The binary form keeps
    // them as they are; the text form, whose lines end in CR LF, turns them
    // into CR LF once and keeps each character's style with its character.
    const std::vector<uint8_t> B = HandBuiltBinary(11, {Sjis("文字\rAb\n"), "x"});
    auto T = Read(B);
    for (int Trip = 0; Trip < 3; ++Trip) {
        EXPECT_EQ(StateOf(*T), B) << Trip;
        T = Read(StateOf(*T));
    }
    const std::string First = TextForm(*T);
    for (int Trip = 0; Trip < 3; ++Trip) {
        T = Read(TextForm(*T));
        EXPECT_EQ(TextForm(*T), First) << Trip;
    }
    EXPECT_EQ(T->Text(), Sjis("文字\r\nAb\r\n\r\nx"));
    // Sizes 30 + the slot each character had in the binary form.
    using TSizes = std::vector<std::pair<int32_t, int32_t>>;
    TSizes Sizes;
    const TListCharStyle& S = T->RichText().Styles;
    for (int32_t I = 0; I < S.Count(); ++I)
        if (const TCharStyle* C = S.GetItem(I))
            Sizes.emplace_back(I, C->Attr.Size);
    EXPECT_EQ(Sizes, (TSizes{{0, 30}, {2, 32}, {6, 35}, {7, 36}, {12, 40}}));
}

TEST_F(TextObject, StylesBeyondTheTextAreDroppedAndMissingOnesPadded)
{
    EXPECT_EQ(Read(HandBuiltBinary(13))->RichText().Styles.Count(), 11);
    // Only the first six slots were stored: "x" (slot 10) gets the style of
    // the character before it instead of raising on every paint.
    auto Short = Read(HandBuiltBinary(6));
    ASSERT_TRUE(Short);
    const TListCharStyle& S = Short->RichText().Styles;
    ASSERT_EQ(S.Count(), 11);
    for (int32_t I : {6, 7, 8, 9})
        EXPECT_EQ(S.GetItem(I), nullptr) << I;
    ASSERT_NE(S.GetItem(10), nullptr);
    EXPECT_EQ(S.GetItem(10)->Attr.Size, 35);
    EXPECT_NO_THROW(Short->GetPath());
    EXPECT_GT(Short->GetPath().Count, 0);
}

TEST_F(TextObject, OldVersionsRead)
{
    // Version 8: one old attribute record for every character, the angle as
    // a double, no paint kind; the text is moved up by its height.
    TrecCharAttr A = Gothic(40);
    std::vector<uint8_t> B{doftText};
    PutI32(B, 12);                    // ID, name
    PutStr(B, "");
    PutBytes(B, I32s({0, 0}));        // parent, colour
    B.push_back(1);                   // fill-path flag (path object, v >= 8)
    // Layer, fill and path macros (v > 6; no outline before 17), fill-path flag.
    PutBytes(B, I32s({0, 0, 0}));
    B.push_back(1);
    const auto* P = reinterpret_cast<const uint8_t*>(&A);
    B.insert(B.end(), P, P + CharAttrSize);
    PutF64(B, 0.0);
    PutF64(B, 0.0);
    PutBytes(B, I32s({100, 300}));
    PutF64(B, 0.5);                   // angle as a double
    B.push_back(0);
    PutI32(B, 0);
    PutBytes(B, std::vector<uint8_t>(20, 0));
    PutI32(B, 2);
    PutStr(B, "Ab");
    PutStr(B, "字");
    auto Old = Read(B, 8);
    EXPECT_EQ(Old->Angle(), 0.5f);
    EXPECT_EQ(Old->PaintKind(), 0);
    const std::string G(reinterpret_cast<const char*>(&A), CharAttrSize);
    EXPECT_EQ(AttrsOf(*Old), (std::vector<std::string>{G, G, "-", "-", G, "-"}));
    TrecPath Laid;
    MakeTextPath(Old->Text(), TextLayoutDpi, Old->RichText().Styles, Old->ParagraphStyle(), Laid);
    RecPathCalcBounds(Laid);
    EXPECT_GT(Laid.Bounds.Bottom - Laid.Bounds.Top, 40);
    EXPECT_EQ(Old->X(), 100);
    EXPECT_EQ(Old->Y(), 300 - (Laid.Bounds.Bottom - Laid.Bounds.Top));
    EXPECT_EQ(Old->BasePathState(), 0);
    // Version 17: styles and a float angle, but no paint kind byte and no
    // visible flag.
    std::vector<uint8_t> V17 = HandBuiltBinary();
    const size_t Kind = LayoutOffset(V17) - 34;
    ASSERT_EQ(V17[Kind], 2);
    V17.erase(V17.begin() + static_cast<std::ptrdiff_t>(Kind));
    ASSERT_EQ(V17[14], 1);
    V17.erase(V17.begin() + 14);
    auto T17 = Read(V17, 17);
    EXPECT_EQ(T17->PaintKind(), 0);
    EXPECT_EQ(T17->Angle(), 0.25f);
    EXPECT_EQ(T17->Text(), Sjis("文字Ab\r\n\r\nx"));
    // The version-8 text form: no visible line and no outline lines; the
    // attribute record as one block.
    const std::string V8Line = "-1\r\nt\r\n0\r\n255\r\n1\r\n0\r\n0\r\n0\r\n1\r\n";
    const TrecCharAttr A30 = Gothic(30);
    TMemoryStream Block;
    StreamWritelnBin(Block, &A30, CharAttrSize, 1);
    const std::string Text = "6\r\n" + V8Line + StreamText(Block) + "0\r\n0\r\n10\r\n500\r\n0.5\r\n0\r\n0\r\n" +
                             "0\r\n5\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\n" + Sjis("字") + "\r\n";
    auto T = Read(Text, 8);
    ASSERT_TRUE(T);
    EXPECT_EQ(T->Text(), Sjis("字"));
    ASSERT_NE(T->RichText().Styles.GetItem(0), nullptr);
    EXPECT_EQ(T->RichText().Styles.GetItem(0)->Attr.Size, 30);
    EXPECT_EQ(T->Layout().Value2, 5);
    EXPECT_EQ(T->Angle(), 0.5f);
    EXPECT_LT(T->Y(), 500 - 20);
}

TEST_F(TextObject, ReadersRefuseBadData)
{
    const std::vector<uint8_t> B = HandBuiltBinary();
    // A line count the rest of the stream cannot hold; a short stream.
    std::vector<uint8_t> Huge(B.begin(), B.end() - 23);
    PutI32(Huge, 0x7FFFFFFF);
    for (const std::vector<uint8_t>& Bad : {Huge, std::vector<uint8_t>(B.begin(), B.end() - 3)}) {
        TMemoryStreamWex S;
        S.SetPointer(Bad.data(), static_cast<int64_t>(Bad.size()));
        EXPECT_THROW(DrawItemReadFromStreamNew(S, nullptr, nullptr, -1, 25), EReadError);
    }
}

// ---------------------------------------------------------------------------
// Creation, text, assignment

TEST_F(TextObject, NewTextTakesTheDefaults)
{
    TInstalledDefaults Defaults;
    Defaults.Data->Value1 = 2;
    Defaults.Data->Byte1 = 3;
    Defaults.Data->Double1 = 12.5;
    Defaults.Data->FillPath = 0;
    Defaults.Data->Font.Style[1] = 1;
    Defaults.Data->Font.Value2 = 6;
    TTextObj T(nullptr, -1);
    EXPECT_EQ(T.ParagraphStyle().FLineSpacingRule, 2);
    EXPECT_EQ(T.ParagraphStyle().SpacingUnit, 3);
    EXPECT_EQ(T.ParagraphStyle().LineSpacing, 12.5);
    EXPECT_EQ(T.Layout().Value2, 5);
    EXPECT_EQ(T.FillPath(), 0);
    // Line breaks get no style.
    T.SetText(Sjis("a\r\n字"));
    const TListCharStyle& S = T.RichText().Styles;
    ASSERT_EQ(S.Count(), 5);
    for (int32_t I : {1, 2, 4})
        EXPECT_EQ(S.GetItem(I), nullptr) << I;
    const TrecCharAttr& A = S.GetItem(3)->Attr;
    EXPECT_EQ(A.Size, 48);
    EXPECT_EQ(CharAttrFaceName(A), Sjis("ＭＳ Ｐゴシック"));
    EXPECT_EQ(A.CharSet, 128);
    EXPECT_EQ(A.Italic, 1);
    EXPECT_EQ(A.ExtraAdvance + 0, 6);
}

TEST_F(TextObject, AssignCopiesAndSameAttributesCompares)
{
    auto Src = Read(HandBuiltBinary());
    TTextObj Dst(nullptr, -1);
    Dst.Assign(Src.get());
    EXPECT_EQ(StateOf(Dst), StateOf(*Src));
    EXPECT_EQ(AttrsOf(Dst), AttrsOf(*Src));
    EXPECT_TRUE(Dst.SameAttributes(Src.get()));
    Dst.SetPosition(1, 2);
    EXPECT_FALSE(Dst.SameAttributes(Src.get()));
    TTestShape Shape(nullptr, -1);
    EXPECT_EQ(MessageOf<EConvertError>([&] { Dst.Assign(&Shape); }),
              "TTextObj.Assign: DrawItemSrc is not TTextObj");
}

TEST_F(TextObject, CommonAttributesMarkWhatDiffers)
{
    TDrawGroup G(nullptr, -1);
    auto* A = static_cast<TTextObj*>(G.AddChild(Read(HandBuiltBinary()), -1));
    auto* B = static_cast<TTextObj*>(G.AddChild(Read(HandBuiltBinary()), -1));
    TrecTextParam L = A->Layout();
    L.Value1 = 8;
    L.Byte3 = 0;
    TDrawItem::SetTextLayoutParam(*B, L);
    TDrawItem::SetTextPaintKind(*B, 1);
    TTextObj Prop(nullptr, -1);
    ASSERT_TRUE(Prop.TakeCommonAttributes(G));
    // Paint kind, layout Value1, Value2, Byte3, Byte4.
    const TrecTextParam& PL = Prop.Layout();
    EXPECT_EQ((std::vector<int32_t>{Prop.PaintKind(), PL.Value1, PL.Value2, PL.Byte3, PL.Byte4}),
              (std::vector<int32_t>{255, -1, -3, 255, 4}));
    EXPECT_EQ(Prop.Angle(), 0.25f);
    B->Rotate(0, 0, 0.5);
    ASSERT_TRUE(Prop.TakeCommonAttributes(G));
    EXPECT_EQ(Prop.Angle(), TTextObj::AngleUnchanged);
}

// ---------------------------------------------------------------------------
// Undo codes 32 to 47

// Runs Op as one command; undo must give back the state before it (stored
// form and every attribute byte), redo the state after it. Returns the
// records made: one undo and one redo record of Code.
std::vector<TRecText::TRec> ExpectUndoRedo(TTextPage& Page, TRecText& T, int32_t Code,
                                           const std::function<void()>& Op)
{
    const auto Before = StateOf(T);
    const auto BeforeAttrs = AttrsOf(T);
    T.Records.clear();
    Page.History.CommandStart("edit");
    Op();
    Page.History.CommandEnd();
    const auto After = StateOf(T);
    const auto AfterAttrs = AttrsOf(T);
    EXPECT_TRUE(Before != After || BeforeAttrs != AfterAttrs) << "nothing changed";
    Page.History.Undo();
    EXPECT_EQ(StateOf(T), Before);
    EXPECT_EQ(AttrsOf(T), BeforeAttrs);
    EXPECT_EQ(T.BasePathState(), 0);
    Page.History.Redo();
    EXPECT_EQ(StateOf(T), After);
    EXPECT_EQ(AttrsOf(T), AfterAttrs);
    EXPECT_EQ(T.Records.size(), 2u);
    for (const auto& Rec : T.Records)
        EXPECT_EQ(Rec.Code, Code);
    return T.Records;
}

TEST_F(TextObject, LayoutCodesUndoAndRedo)
{
    TTextPage Page;
    auto T = MakeText<TRecText>(&Page, "文字\r\nAb");
    ExpectUndoRedo(Page, *T, 32, [&] { TDrawItem::SetTextPaintKind(*T, 2); });
    TrecTextParam L;
    L.Value1 = 4;
    L.Value2 = -1; // leave unchanged
    L.Byte2 = 7;
    const auto R33 = ExpectUndoRedo(Page, *T, 33, [&] { TDrawItem::SetTextLayoutParam(*T, L); });
    EXPECT_EQ(R33[0].Data.size(), 20u);
    EXPECT_EQ(T->Layout().Value2, 0);
    const auto R34 = ExpectUndoRedo(Page, *T, 34, [&] { T->Rotate(10.0, 20.0, 0.5); });
    EXPECT_EQ(R34[0].Data.size(), 12u);
    ExpectUndoRedo(Page, *T, 36, [&] { T->SetLineSpacing(1.75); });
    ExpectUndoRedo(Page, *T, 37, [&] { T->SetLineSpacingRule(1); });
    ExpectUndoRedo(Page, *T, 38, [&] { T->SetSpacingUnit(2); });
    EXPECT_GT(Page.AnchorsInvalidated, 0);
}

TEST_F(TextObject, ScalingUndoAndRedoAndItsRules)
{
    TTextPage Page;
    auto T = MakeText<TRecText>(&Page, "A\r\n字");
    T->SetPosition(100, 50);
    const auto R = ExpectUndoRedo(Page, *T, 35, [&] { T->ScaleTo(0.0, 0.0, 2048.0, 1536.0); });
    // X, Y and one pair for each styled slot: the line break is skipped.
    EXPECT_EQ(R[0].Data, I32s({100, 50, 0, 40, 3, 40}));
    auto F64s = [](std::initializer_list<double> Values) {
        std::vector<uint8_t> B;
        for (double V : Values)
            PutF64(B, V);
        return B;
    };
    EXPECT_EQ(R[1].Data, F64s({0.0, 0.0, 2048.0, 1536.0}));
    // The larger factor for both axes.
    EXPECT_EQ((TPoint{T->X(), T->Y()}), (TPoint{200, 100}));
    EXPECT_EQ(T->RichText().Styles.GetItem(3)->Attr.Size, 80);
    // One factor 1024 and the other smaller: the smaller one.
    T->ScaleTo(0.0, 0.0, 1024.0, 512.0);
    EXPECT_EQ(T->RichText().Styles.GetItem(0)->Attr.Size, 40);
    T->ScaleTo(0.0, 0.0, 512.0, 1024.0);
    EXPECT_EQ(T->RichText().Styles.GetItem(0)->Attr.Size, 20);
    EXPECT_EQ(T->X(), 50);
    // A flip scales by its size; it used to become 1/1024 and size 1.
    T->Records.clear();
    Page.History.CommandStart("flip");
    T->ScaleTo(10.0, 0.0, -2048.0, -2048.0);
    Page.History.CommandEnd();
    EXPECT_EQ(T->RichText().Styles.GetItem(0)->Attr.Size, 40);
    EXPECT_EQ(T->X(), 90);
    EXPECT_EQ(T->Records[1].Data, F64s({10.0, 0.0, 2048.0, 2048.0}));
    // A factor of 0 stays 1.0 (1/1024): sizes collapse to 1, not to 0.
    T->ScaleTo(0.0, 0.0, 0.0, 0.0);
    EXPECT_EQ(T->RichText().Styles.GetItem(0)->Attr.Size, 1);
    EXPECT_EQ(T->RichText().Styles.GetItem(3)->Attr.Size, 1);
}

TEST_F(TextObject, TextCodesUndoAndRedo)
{
    TTextPage Page;
    auto T = MakeText<TRecText>(&Page, "文字Ab");
    // 39: typed text; the redo record carries one attribute record.
    TrecCharAttr Bold = Gothic(32);
    Bold.Bold = 1;
    const auto R39 = ExpectUndoRedo(Page, *T, 39, [&] { T->TypeText(4, Sjis("漢x"), Bold); });
    EXPECT_EQ(T->Text(), Sjis("文字漢xAb"));
    EXPECT_EQ(T->RichText().Styles.GetItem(6)->Attr.Bold, 1);
    EXPECT_EQ(T->RichText().Styles.GetItem(5), nullptr);
    EXPECT_EQ(Page.Carets.back(), (std::pair<int32_t, int32_t>{7, 0}));
    EXPECT_EQ(R39[0].Data, I32s({4, 3}));
    // 40: pasted styled text, 41: deleted text.
    TRTFTav Clip;
    Clip.Text = Sjis("Q\r\n字");
    TrecCharAttr Italic = Gothic(24);
    Italic.Italic = 1;
    Clip.Styles.InsertText(0, Clip.Text, Italic);
    ExpectUndoRedo(Page, *T, 40, [&] { T->PasteText(0, Clip); });
    EXPECT_EQ(T->Text().substr(0, 5), Clip.Text);
    EXPECT_EQ(T->RichText().Styles.GetItem(3)->Attr.Italic, 1);
    EXPECT_EQ(Page.Carets.back(), (std::pair<int32_t, int32_t>{5, 0}));
    const int32_t Pending = Page.PendingCleared;
    ExpectUndoRedo(Page, *T, 41, [&] { T->DeleteText(1, 6); });
    EXPECT_EQ(T->Text(), Sjis("Q字漢xAb"));
    EXPECT_EQ(Page.PendingCleared, Pending + 2);
    // Undoing the deletion selects the text it brings back.
    Page.History.Undo();
    EXPECT_EQ(Page.Carets.back(), (std::pair<int32_t, int32_t>{1, 6}));
    Page.History.Redo();
    EXPECT_EQ(Page.Carets.back(), (std::pair<int32_t, int32_t>{1, 0}));
    EXPECT_THROW(T->DeleteText(3, 100), EUserError);
    EXPECT_THROW(T->TypeText(-1, "a", Bold), EUserError);
}

TEST_F(TextObject, CharacterCodesUndoRedoAndSkipEmptySlots)
{
    TTextPage Page;
    // Line breaks and a trail byte inside the range have no style.
    auto T = MakeText<TRecText>(&Page, "A\r\n字b");
    const int32_t N = static_cast<int32_t>(T->Text().size());
    const auto R42 = ExpectUndoRedo(Page, *T, 42, [&] { T->SetCharFaceName(0, N, "DejaVu Sans"); });
    std::vector<uint8_t> Undo42 = I32s({0, N});
    for (int I = 0; I < 3; ++I) {
        PutStr(Undo42, "IPAGothic");
        Undo42.push_back(128);
    }
    EXPECT_EQ(R42[0].Data, Undo42);
    EXPECT_EQ(CharAttrFaceName(T->RichText().Styles.GetItem(3)->Attr), "DejaVu Sans");
    EXPECT_EQ(T->RichText().Styles.GetItem(3)->Attr.CharSet, 0);
    // An unknown face takes the default font's.
    T->SetCharFaceName(0, 1, "No Such Face");
    EXPECT_EQ(CharAttrFaceName(T->RichText().Styles.GetItem(0)->Attr), "IPAGothic");
    const auto R43 = ExpectUndoRedo(Page, *T, 43, [&] { T->SetCharBold(0, N, 1); });
    std::vector<uint8_t> Undo43 = I32s({0, N}), Redo43 = Undo43;
    PutBytes(Undo43, {0, 0, 0});
    Redo43.push_back(1);
    EXPECT_EQ(R43[0].Data, Undo43);
    EXPECT_EQ(R43[1].Data, Redo43);
    ExpectUndoRedo(Page, *T, 44, [&] { T->SetCharItalic(1, 4, 1); });
    const auto R45 = ExpectUndoRedo(Page, *T, 45, [&] { T->SetCharSize(0, N, 60); });
    EXPECT_EQ(R45[0].Data.size(), 8u + 3 * 4);
    ExpectUndoRedo(Page, *T, 46, [&] { T->SetCharRise(3, 3, -6); });
    ExpectUndoRedo(Page, *T, 47, [&] { T->SetCharExtraAdvance(0, 2, 9); });
    EXPECT_EQ(T->RichText().Styles.GetItem(0)->Attr.ExtraAdvance + 0, 9);
    // Undo and redo put the caret on the recorded range.
    Page.History.Undo();
    EXPECT_EQ(Page.Carets.back(), (std::pair<int32_t, int32_t>{0, 2}));
    EXPECT_NO_THROW(T->GetPath());
    // A record that does not fit the text changes nothing.
    const auto State = StateOf(*T);
    std::vector<uint8_t> Bad = I32s({0, 100});
    Bad.push_back(1);
    EXPECT_THROW(T->Redo(43, Bad.data(), static_cast<int32_t>(Bad.size())), EUserError);
    EXPECT_THROW(T->Undo(45, Bad.data(), 6), EUserError);
    EXPECT_EQ(StateOf(*T), State);
}

TEST_F(TextObject, InsertStyledTextChecksItsPosition)
{
    TTextPage Page;
    auto T = MakeText(&Page, "ab");
    std::vector<uint8_t> R = I32s({3});
    PutStr(R, "x");
    TMemoryStreamWex In;
    In.SetPointer(R.data(), static_cast<int64_t>(R.size()));
    EXPECT_THROW(T->InsertStyledText(In, true), EUserError);
    EXPECT_EQ(T->Text(), "ab");
    // One style per character, none for the line break; the caret selects.
    std::vector<uint8_t> Ok = I32s({1});
    PutStr(Ok, "x\r\n");
    TCharStyle Style;
    Style.Attr = Gothic(12);
    TMemoryStream One;
    Style.WriteToStream(One);
    PutBytes(Ok, Bytes(One));
    In.SetPointer(Ok.data(), static_cast<int64_t>(Ok.size()));
    T->InsertStyledText(In, true);
    EXPECT_EQ(T->Text(), "ax\r\nb");
    EXPECT_EQ(T->RichText().Styles.GetItem(1)->Attr.Size, 12);
    EXPECT_EQ(T->RichText().Styles.GetItem(2), nullptr);
    EXPECT_EQ(T->RichText().Styles.GetItem(4)->Attr.Size, 40);
    EXPECT_EQ(Page.Carets.back(), (std::pair<int32_t, int32_t>{1, 3}));
}

// ---------------------------------------------------------------------------
// Geometry and the link

TEST_F(TextObject, MovesAndTurnsAboutItsPosition)
{
    TTextPage Page;
    auto T = MakeText(&Page, "Ab");
    T->SetPosition(10, 20);
    const TRect B0 = T->GetPath().Bounds;
    T->MoveBy(5, -7);
    EXPECT_EQ((TPoint{T->X(), T->Y()}), (TPoint{15, 13}));
    const TRect B1 = T->GetPath().Bounds;
    EXPECT_EQ((TPoint{B1.Left - B0.Left, B1.Top - B0.Top}), (TPoint{5, -7}));
    // Turning about the position itself turns the glyphs about it.
    T->Rotate(15.0, 13.0, M_PI / 2);
    EXPECT_EQ((TPoint{T->X(), T->Y()}), (TPoint{15, 13}));
    const TRect B2 = T->GetPath().Bounds;
    EXPECT_NEAR(B2.Right - B2.Left, B1.Bottom - B1.Top, 2);
    EXPECT_NEAR(B2.Bottom - B2.Top, B1.Right - B1.Left, 2);
    // Path macros stop turning.
    T->PathMacros().Add(std::make_unique<TMacro>());
    T->Rotate(0.0, 0.0, 1.0);
    EXPECT_FLOAT_EQ(T->Angle(), float(M_PI / 2));
}

TEST_F(TextObject, FollowsItsLinkedPathAndRelinksAfterARead)
{
    TTestObjectTypes Types;
    TTextPage Page;
    TDrawGroup Root(&Page, -1);
    auto* Guide = static_cast<TTestPolyLine*>(Root.AddChild(std::make_unique<TTestPolyLine>(&Page, -1), -1));
    Guide->SetBase(MakePath({{100, 200, PT_MOVETO}, {1000, 200, PT_LINETO}}));
    auto* T = static_cast<TTextObj*>(Root.AddChild(MakeText(&Page, "文字Ab"), -1));
    TrecTextParam L;
    L.Value1 = 30;
    L.Value2 = 5;
    TDrawItem::SetTextLayoutParam(*T, L);
    T->SetLinkedPath(Guide);
    T->InvalidateTextPath(1);
    ASSERT_EQ(T->LinkedPath(), Guide);
    // The glyphs stand on the guide, as the layout along a path places them.
    std::vector<int32_t> Counts;
    std::vector<TPoint> Centres;
    TrecPath Expected;
    MakeTextPathOnPath(T->Text(), TextLayoutDpi, T->RichText().Styles, T->ParagraphStyle(), Guide->GetPath(), 30,
                       5, Counts, Centres, Expected);
    const TrecPath& Glyphs = T->GetBasePath();
    ASSERT_GT(Glyphs.Count, 0);
    EXPECT_EQ(PointsOf(Glyphs), PointsOf(Expected));
    EXPECT_LE(Glyphs.Bounds.Bottom, 200 - 5 + 10);
    // A linked text ignores moves, turns and scaling of its own.
    const auto State = StateOf(*T);
    T->MoveBy(10, 10);
    T->ScaleTo(0, 0, 2048, 2048);
    T->Rotate(0, 0, 1.0);
    EXPECT_EQ(StateOf(*T), State);
    // The guide moves: the text follows when told.
    Guide->MoveBy(0, 100);
    T->NotifyItemChanged(Guide);
    EXPECT_EQ(T->BasePathState(), 0);
    EXPECT_GT(T->GetBasePath().Bounds.Top, 200);
    // Read into another page, whose items get other IDs: the link goes to
    // the new guide through the ID map.
    TMemoryStream S;
    Root.WriteToStream(S);
    TTextPage Other;
    TDrawGroup Filler(&Other, -1);
    for (int I = 0; I < 5; ++I)
        Filler.AddChild(std::make_unique<TTestPolyLine>(&Other, -1), -1);
    TList2Item Map;
    S.SetPosition(0);
    auto Read = DrawItemReadFromStreamNew(S, &Other, &Map, -1, 25);
    auto* Group = dynamic_cast<TDrawGroup*>(Read.get());
    ASSERT_TRUE(Group);
    Group->RelinkReadItems(&Map);
    auto* NewGuide = Group->GetItem(0);
    auto* NewText = dynamic_cast<TTextObj*>(Group->GetItem(1));
    ASSERT_TRUE(NewText);
    EXPECT_NE(NewGuide->ObjID(), Guide->ObjID());
    EXPECT_EQ(NewText->LinkedPath(), NewGuide);
    EXPECT_EQ(NewText->LinkedID(), NewGuide->ObjID());
    EXPECT_EQ(PointsOf(NewText->GetBasePath()), PointsOf(T->GetBasePath()));
    // A link the map does not hold ends.
    TList2Item Empty;
    NewText->RelinkReadItems(&Empty);
    EXPECT_EQ(NewText->LinkedPath(), nullptr);
    // Deleting the guide ends the link; undoing the deletion restores it.
    Page.History.CommandStart("delete");
    Root.DeleteChild(Guide);
    Page.History.CommandEnd();
    EXPECT_EQ(T->LinkedPath(), nullptr);
    T->SetPathState(0);
    EXPECT_NO_THROW(T->GetPath());
    EXPECT_GT(T->GetPath().Count, 0);
    Page.History.Undo();
    TDrawItem* Restored = Root.GetItem(0);
    ASSERT_NE(Restored, nullptr);
    EXPECT_EQ(T->LinkedPath(), Restored);
    // Replacing the linked item (only) moves the link; a text never follows
    // itself.
    TDrawItem* B = Root.AddChild(MakeText(&Page, "b"), -1);
    Page.Document.Modified = false;
    T->ReplaceReference(B, Restored);
    EXPECT_EQ(T->LinkedPath(), Restored);
    T->ReplaceReference(Restored, B);
    EXPECT_EQ(T->LinkedPath(), B);
    EXPECT_TRUE(Page.Document.Modified);
    T->SetLinkedPath(T);
    EXPECT_EQ(T->LinkedPath(), nullptr);
}

// ---------------------------------------------------------------------------
// Painting

TEST_F(TextObject, PaintKindsPaintTheWholeTextOrGlyphByGlyph)
{
    LoadCatalogue();
    TTextPage Page(400, 160);
    auto T = MakeText(&Page, "文字", 80);
    // The second glyph overlaps the first, so the order shows.
    T->RichText().Styles.GetItem(0)->Attr.ExtraAdvance = -40;
    T->SetPosition(20, 20);
    auto M = std::make_unique<TMacro>();
    ASSERT_TRUE(M->LoadFromLibrary("グラデーション塗り"));
    T->Macros().Add(std::move(M));
    auto Render = [&](uint8_t Kind) {
        TDrawItem::SetTextPaintKind(*T, Kind);
        TOwnedTarget Target(400, 160);
        T->Paint(Target, 3, nullptr, nullptr, 0);
        return Target.Pixels();
    };
    // The same macros run by hand over a path.
    auto PaintByHand = [&](TOwnedTarget& P, TrecPath& Path, int32_t Instance) {
        TMacroPaintArgs Args;
        Args.Target = &P.Picture;
        Args.PrimaryPath = &Path;
        Args.Instance = Instance;
        TRect R1, R2;
        T->Macros().Paint(Args, {}, nullptr, R1, R2);
    };
    // ... over each glyph in a given order.
    auto ByGlyph = [&](std::vector<int32_t> Order) {
        TOwnedTarget P(400, 160);
        const TrecPath& Out = T->GetPath();
        const std::vector<int32_t>& R = T->OutputRanges();
        for (int32_t I : Order) {
            TrecPath G;
            RecPolyLineSetCount(G, R[I + 1] - R[I]);
            std::copy(Out.Points.begin() + R[I], Out.Points.begin() + R[I + 1], G.Points.begin());
            std::copy(Out.pabType.begin() + R[I], Out.pabType.begin() + R[I + 1], G.pabType.begin());
            RecPathCalcBounds(G);
            G.Flag = Out.Flag;
            PaintByHand(P, G, I);
        }
        return P.Pixels();
    };
    const auto First = Render(1);
    ASSERT_EQ(T->OutputRanges().size(), 3u);
    EXPECT_EQ(First, ByGlyph({0, 1}));
    const auto Last = Render(2);
    EXPECT_EQ(Last, ByGlyph({1, 0}));
    EXPECT_NE(First, Last);
    // Kind 0: the whole path at once.
    const auto Whole = Render(0);
    EXPECT_TRUE(T->OutputRanges().empty());
    TOwnedTarget P(400, 160);
    PaintByHand(P, const_cast<TrecPath&>(T->GetPath()), T->ObjID());
    EXPECT_EQ(Whole, P.Pixels());
    EXPECT_NE(Whole, First);
}

// "文字Ab" in IPA Gothic with a catalogue fill and its drop shadow, painted
// by the page's root group without a display. TAVRO_TEXT_WRITE=1 writes the
// golden anew (look at it before keeping it).
TEST_F(TextObject, JapaneseTextRendersThroughItsMacros)
{
    LoadCatalogue();
    constexpr int32_t W = 320, H = 120;
    TTextPage Page(W, H);
    TDrawGroup Root(&Page, -1);
    auto* T = static_cast<TTextObj*>(Root.AddChild(MakeText(&Page, "文字Ab", 64), -1));
    T->SetPosition(24, 16);
    for (const char* Name : {"塗り（影）", "グラデーション塗り"}) {
        auto M = std::make_unique<TMacro>();
        ASSERT_TRUE(M->LoadFromLibrary(Name)) << Name;
        T->Macros().Add(std::move(M));
    }
    TOwnedTarget Target(W, H);
    Root.Paint(Target, 3, nullptr, nullptr, 0);
    EXPECT_TRUE(Boxes.empty());
    const std::string Golden = std::string(TAVRO_TEST_DATA_DIR) + "/text/text_object_japanese.png";
    const char* Write = std::getenv("TAVRO_TEXT_WRITE");
    if (Write && *Write) {
        std::filesystem::create_directories(std::filesystem::path(Golden).parent_path());
        SavePng(Target.Picture, Golden);
    } else {
        const int64_t Differences = CountDifferences(Target.Picture, Golden, 3);
        EXPECT_GE(Differences, 0) << Golden << " is missing or of another size";
        EXPECT_LE(Differences, W * H / 500);
        if (Differences != 0 && std::getenv("TMPDIR"))
            SavePng(Target.Picture, std::string(std::getenv("TMPDIR")) + "/text_object_japanese.png");
    }
}

// Texts without glyphs (blanks only, or emptied) have an empty path: with
// every catalogue effect they measure and paint nothing, and fail nowhere.
TEST_F(TextObject, TextsWithoutGlyphsPaintNothing)
{
    LoadCatalogue();
    const struct {
        std::string Text;
        bool Emptied;
    } Cases[] = {{"字", false}, {" ", false}, {"　\r\n ", false}, {"字", true}};
    for (const auto& [Text, Emptied] : Cases) {
        SCOPED_TRACE(Text + (Emptied ? " emptied" : ""));
        auto T = MakeText(nullptr, Text, 24);
        T->SetPosition(10, 8);
        for (const std::string& Name : TCatalogueLibraries::Effects()) {
            auto M = std::make_unique<TMacro>();
            ASSERT_TRUE(M->LoadFromLibrary(Name)) << Name;
            T->Macros().Add(std::move(M));
        }
        if (Emptied)
            T->SetText("");
        TOwnedTarget Target(60, 40);
        const std::vector<uint8_t> White = Target.Pixels();
        TListRecPict Store(nullptr);
        ASSERT_NO_THROW(T->Paint(Target, 3, &Store, nullptr, 0));
        // The glyph shows that the effects paint at all.
        const bool Glyph = Text == "字" && !Emptied;
        EXPECT_EQ(Target.Pixels() != White, Glyph);
        EXPECT_EQ(T->GetPaintExtent().Left <= T->GetPaintExtent().Right, Glyph);
    }
    EXPECT_TRUE(Boxes.empty());
}

} // namespace
