// The document file: header and chunk bytes, the thumbnail, byte-identical
// round trips, hand-made files of older versions, refusals, and reads that
// fail part-way leaving the document as it was.
#include <gtest/gtest.h>

#include "hand_made_document.h"
#include "object_test_support.h"

#include "foundation/user_error.h"
#include "model/document.h"
#include "model/document_file.h"
#include "model/page.h"
#include "model/text_outline.h"
#include "paint/macro_list.h"
#include "raster/png_io.h"

namespace {

using TBytes = std::vector<uint8_t>;

int32_t I32At(const TBytes& B, size_t Off)
{
    int32_t V;
    std::memcpy(&V, B.data() + Off, 4);
    return V;
}

std::string TagAt(const TBytes& B, size_t Off)
{
    return std::string(reinterpret_cast<const char*>(B.data() + Off), 4);
}

// Offsets of the LRPT and PRVW tags of a file written now: each length
// field counts itself and the rest of its chunk.
std::pair<size_t, size_t> ChunkTags(const TBytes& B)
{
    const size_t Lrpt = 10 + size_t(I32At(B, 10));
    return {Lrpt, Lrpt + 4 + size_t(I32At(B, Lrpt + 4))};
}

// The thumbnail as colours 0x00RRGGBB, row by row from the top.
struct TThumb {
    int32_t W = 0, H = 0, Bits = 0, Colours = 0;
    std::vector<uint32_t> Pixels;
    uint32_t At(int32_t X, int32_t Y) const { return Pixels[size_t(Y) * size_t(W) + size_t(X)]; }
};

TThumb DecodeThumbnail(const TBytes& B)
{
    const size_t Png = ChunkTags(B).second + 8;
    TMemoryStreamWex S;
    S.SetPointer(B.data() + Png, static_cast<int64_t>(B.size() - Png));
    TrecPicture P;
    bool Cancel = false;
    PNGLoadFromStream(S, P.pBIHeader, P.pBits, Cancel);
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    TThumb T{H->biWidth, H->biHeight, H->biBitCount, int32_t(H->biClrUsed), {}};
    EXPECT_LE(T.Bits, 8);
    const auto* Table = reinterpret_cast<const uint8_t*>(H) + H->biSize;
    const int32_t Line = ((T.W * T.Bits + 31) / 32) * 4;
    for (int32_t Y = 0; Y < T.H; ++Y)
        for (int32_t X = 0; X < T.W; ++X) {
            const uint8_t* Row = P.pBits + size_t(T.H - 1 - Y) * size_t(Line);
            const int32_t Bit = X * T.Bits;
            const int32_t Index =
                (Row[Bit / 8] >> (8 - T.Bits - Bit % 8)) & ((1 << T.Bits) - 1);
            const uint8_t* Q = Table + 4 * Index;
            T.Pixels.push_back((uint32_t(Q[2]) << 16) | (uint32_t(Q[1]) << 8) | Q[0]);
        }
    RecPictureClear(P);
    EXPECT_EQ(S.Position(), S.Size()) << "the PNG ends the file";
    return T;
}

class DocumentFileTest : public ::testing::Test {
protected:
    DocumentFileTest()
        : Docs("画像", "srn", nullptr, "4.0", "DirData", DocumentFileHeader)
    {
        Docs.SetDocumentClass(&NewDocumentTDocument);
    }
    // A document outside the registry (so losing its views never frees it).
    std::unique_ptr<TDocument> Loose(int32_t W, int32_t H)
    {
        auto Doc = std::make_unique<TDocument>(nullptr, &Docs);
        Doc->AddPage(NewPageTPage(Doc->History()))->SetPageSize(W, H);
        Doc->SetModified(false);
        return Doc;
    }
    TPage& PageOf(TOLEDocumentWex& Doc) { return *static_cast<TPage*>(Doc.GetPage(0)); }
    TTestShape* AddShape(TPage& Page, const TRect& R, const char* Macro)
    {
        auto Shape = std::make_unique<TTestShape>(&Page, -1);
        Shape->SetRect(R);
        if (Macro)
            Shape->Macros().Insert(0, *TTestMacroLibrary::Get(Macro));
        return static_cast<TTestShape*>(Page.RootGroup().AddChild(std::move(Shape), -1));
    }
    TTestMacroLibrary Library;
    TTestObjectTypes Types;
    TDocuments Docs;
};

} // namespace

TEST_F(DocumentFileTest, HeaderAndChunkBytes)
{
    TOLEDocumentWex* Doc = Docs.NewDocument(400, 300);
    const TBytes B = SaveBytes(*Doc);
    ASSERT_GT(B.size(), 40u);
    EXPECT_EQ(TBytes(B.begin(), B.begin() + 6), (TBytes{'T', 'A', 'V', 0x00, 0x19, 0x00}));
    EXPECT_EQ(TagAt(B, 6), "DOCD");
    EXPECT_EQ(I32At(B, 14), 1);
    // The chunk holds the count and exactly the page's own record.
    TMemoryStream PageForm;
    Doc->GetPage(0)->WriteToStream(PageForm);
    const auto [Lrpt, Prvw] = ChunkTags(B);
    ASSERT_EQ(size_t(I32At(B, 10)), 4 + 4 + size_t(PageForm.Size()));
    EXPECT_EQ(TBytes(B.begin() + 18, B.begin() + long(Lrpt)), Bytes(PageForm));
    EXPECT_EQ(TagAt(B, Lrpt), "LRPT");
    // An empty store: the length field and the store's count.
    EXPECT_EQ(I32At(B, Lrpt + 4), 8);
    EXPECT_EQ(I32At(B, Lrpt + 8), 0);
    EXPECT_EQ(TagAt(B, Prvw), "PRVW");
    EXPECT_EQ(Prvw + 4 + size_t(I32At(B, Prvw + 4)), B.size());
    EXPECT_EQ(TBytes(B.begin() + long(Prvw) + 8, B.begin() + long(Prvw) + 12),
              (TBytes{0x89, 'P', 'N', 'G'}));
    const TThumb T = DecodeThumbnail(B);
    EXPECT_EQ(std::tuple(T.W, T.H), std::tuple(160, 120));
    EXPECT_LE(T.Colours, 64);
    EXPECT_EQ(T.At(80, 60), 0xFFFFFFu);  // the white page
}

TEST_F(DocumentFileTest, ThumbnailSizesAndPixels)
{
    const struct {
        int32_t W, H, TW, TH;
    } Cases[] = {{400, 300, 160, 120}, {300, 400, 120, 160}, {200, 200, 160, 160},
                 {3, 7, 69, 160},      {1000, 1, 160, 1},    {1, 1000, 1, 160},
                 {0, 0, 1, 1},         {0, 50, 1, 1}};
    for (const auto& C : Cases) {
        int32_t TW = -1, TH = -1;
        DocumentThumbnailExtent(C.W, C.H, TW, TH);
        EXPECT_EQ(TW, C.TW) << C.W << "x" << C.H;
        EXPECT_EQ(TH, C.TH) << C.W << "x" << C.H;
    }
    // An empty page gets one pixel of its colour.
    auto Empty = Loose(0, 0);
    PageOf(*Empty).SetBkColor(0x0000FF);  // red as 0x00BBGGRR
    const TThumb T = DecodeThumbnail(SaveBytes(*Empty));
    EXPECT_EQ(std::tuple(T.W, T.H, T.At(0, 0)), std::tuple(1, 1, 0xFF0000u));
    // Rendered with pixels (a view is attached), and after the view left with them.
    auto WithView = Loose(200, 100);
    auto Without = Loose(200, 100);
    TSilentFormDoc View;
    PageOf(*WithView).AddForm(&View);
    PageOf(*Without).AddForm(&View);
    PageOf(*Without).RemoveForm(&View);
    ASSERT_EQ(Without->GetPage(0)->GetPagePicture(), nullptr);
    for (TOLEDocumentWex* Doc : {static_cast<TOLEDocumentWex*>(WithView.get()),
                                 static_cast<TOLEDocumentWex*>(Without.get())})
        AddShape(PageOf(*Doc), {20, 20, 119, 79}, "Red");
    const TThumb TA = DecodeThumbnail(SaveBytes(*WithView));
    const TThumb TB = DecodeThumbnail(SaveBytes(*Without));
    ASSERT_EQ(std::tuple(TB.W, TB.H), std::tuple(160, 80));
    EXPECT_EQ(TB.At(55, 40), 0xFF0000u);   // inside the shape
    EXPECT_EQ(TB.At(150, 70), 0xFFFFFFu);  // the page
    EXPECT_EQ(TA.Pixels, TB.Pixels);
    PageOf(*WithView).RemoveForm(&View);
}

TEST_F(DocumentFileTest, RoundTripIsByteIdentical)
{
    TOLEDocumentWex* Doc = Docs.NewDocument(120, 90);
    TPage& Page = PageOf(*Doc);
    Page.SetBkColor(0xE0F0FF);
    Page.SetDPI(150);
    TLayer* Second = Page.GetLayers()->Add(std::make_unique<TLayer>());
    Second->Value = 1234;
    Second->Flag3 = 1;
    // Made in tree order: a reader numbers the items that way, and the
    // stored object IDs are the history's.
    AddShape(Page, {5, 5, 40, 30}, "Red");
    Page.GetLayers()->SetCurrent(Second);
    TTestShape* Top = AddShape(Page, {30, 20, 100, 80}, "Blue");
    Top->SetName("上");
    auto* Group = static_cast<TDrawGroup*>(
        Page.RootGroup().AddChild(std::make_unique<TDrawGroup>(&Page, -1), -1));
    auto Poly = std::make_unique<TTestPolyLine>(&Page, -1);
    Poly->SetBase(MakePath({{10, 60, PT_MOVETO}, {50, 85, PT_LINETO}, {90, 60, PT_LINETO}}));
    Group->AddChild(std::move(Poly), -1);
    Group->AddChild(std::make_unique<TTestShape>(&Page, -1), -1);
    TListRecPict* Store = Doc->GetPictureStore();
    for (int I = 0; I < 2; ++I) {
        TrecPicture P;
        RecPictureCreate(P, TPoint{3 * I, 4}, 17 + I, 9, 24, false);
        for (int64_t K = 0; K < RecPictureGetImageSize(P); ++K)
            P.pBits[K] = uint8_t(K * (7 + I));
        Store->AddPicture(-1, I, 0, 0.5, TPoint{0, 0}, 17 + I, 9, 0, P, "");
        RecPictureClear(P);
    }
    const TBytes First = SaveBytes(*Doc);
    // Opened as the shell opens: a new document without pages.
    auto Copy = std::make_unique<TDocument>(nullptr, &Docs);
    LoadBytes(*Copy, First);
    EXPECT_FALSE(Copy->Modified());
    ASSERT_EQ(Copy->GetPageCount(), 1);
    EXPECT_EQ(Copy->GetPictureStore()->Items().Count(), 2);
    EXPECT_EQ(SaveBytes(*Copy), First);
}

TEST_F(DocumentFileTest, StoredBytesComeBackByteForByte)
{
    // What a file may hold though no editor makes it: names that UTF-8
    // cannot carry, shape records at the ends of their ranges, a picture
    // header with a resolution and colour counts, a text with lone line
    // breaks. Opened and saved again and again, the file stays as it was.
    TRealObjectTypes Real;
    TOLEDocumentWex* Doc = Docs.NewDocument(120, 90);
    TPage& Page = PageOf(*Doc);
    constexpr int32_t MinInt = -2147483647 - 1;
    auto Add = [&](auto Obj, int32_t X, const char* Name, const auto& Param) {
        Obj->SetFrame(X, 5, 25, 30);
        Obj->SetParam(Param);
        Obj->SetName(Name);
        Page.RootGroup().AddChild(std::move(Obj), -1);
    };
    Add(std::make_unique<TRectObj>(&Page, -1), 0, "\xEE\xEF",
        TrecRectParam{1, {0, 0, 0}, -32768, 2, 3});
    Add(std::make_unique<TPolygonObj>(&Page, -1), 30, "\x85\x40",
        TrecPolygonParam{10000, 32768, 0, 100, -1, 1.7e308});
    Add(std::make_unique<TStarObj>(&Page, -1), 60, "\xFA\x40",
        TrecStarParam{1.0, 4, -32768, 32768, 100, 0, 100, -1, MinInt, -1, 1.7e308});
    Add(std::make_unique<TEllipseObj>(&Page, -1), 90, "x\x82",
        TrecEllipseParam{1.7e308, 1.7e308});
    auto Text = std::make_unique<TTextObj>(&Page, -1);
    Text->SetText("a\rb\n\r\nc\n");
    for (int32_t I : {0, 2, 6}) {
        // A face installed here, as the reader would take it.
        TrecCharAttr& A = Text->RichText().Styles.GetItem(I)->Attr;
        std::string Face;
        uint8_t CharSet = 0;
        ValidateFontName(CharAttrFaceName(A), Face, CharSet);
        SetCharAttrFaceName(A, Face);
        A.Size = 20 + I;
    }
    Page.RootGroup().AddChild(std::move(Text), -1);
    TBytes File = SaveBytes(*Doc);
    // The page picture's header follows the file header, the DOCD tag and
    // length, the page count and 75 bytes of page data.
    const size_t Header = 6 + 8 + 4 + 75;
    ASSERT_EQ(I32At(File, Header), 40);
    for (int32_t Field = 6; Field < 10; ++Field)  // pixels per metre x, y, colours used, important
        std::memcpy(File.data() + Header + 4 * Field, &Field, 4);
    TBytes Data = File;
    for (int Round = 0; Round < 3; ++Round) {
        auto Copy = std::make_unique<TDocument>(nullptr, &Docs);
        LoadBytes(*Copy, Data);
        Data = SaveBytes(*Copy);
        EXPECT_EQ(Data, File) << Round;
    }
}

TEST_F(DocumentFileTest, ReopenedDocumentIsStable)
{
    // Items made out of tree order are renumbered by the first read; from
    // then on every save and open gives the same bytes.
    auto Doc = Loose(60, 40);
    TPage& Page = PageOf(*Doc);
    auto* Group = static_cast<TDrawGroup*>(
        Page.RootGroup().AddChild(std::make_unique<TDrawGroup>(&Page, -1), -1));
    Group->AddChild(std::make_unique<TTestShape>(&Page, -1), -1);
    Page.RootGroup().AddChild(std::make_unique<TTestShape>(&Page, -1), 0);  // made last, first
    TBytes Data = SaveBytes(*Doc);
    for (int Round = 0; Round < 3; ++Round) {
        auto Copy = std::make_unique<TDocument>(nullptr, &Docs);
        LoadBytes(*Copy, Data);
        const TBytes Again = SaveBytes(*Copy);
        EXPECT_EQ(Again.size(), Data.size());
        EXPECT_EQ(Again == Data, Round > 0) << Round;
        Data = Again;
    }
}

TEST_F(DocumentFileTest, OlderVersionsLoad)
{
    TBytes Saved13, Saved14;
    for (int32_t Version : {13, 14}) {
        auto Doc = Loose(10, 10);
        LoadBytes(*Doc, HandMadeFile(Version, 64, 48, 0x00C0FF, 96));
        const TOLECustomPage* P = Doc->GetPage(0);
        EXPECT_EQ(std::tuple(P->Width(), P->Height(), P->DPI(), P->BkColor(), P->RulerUnit(),
                             P->PrintPosition().Left),
                  std::tuple(64, 48, 96, 0x00C0FF, 2, 5));
        (Version == 13 ? Saved13 : Saved14) = SaveBytes(*Doc);
    }
    EXPECT_EQ(Saved13, Saved14);
    // Version 2: no ruler unit, an extra byte after the pages; version 0: no
    // print position either; 22 and 25 with the visible flag.
    for (int32_t Version : {0, 1, 2, 3, 4, 18, 19, 22, 25}) {
        auto Doc = Loose(10, 10);
        LoadBytes(*Doc, HandMadeFile(Version, 30, 20, 0xFFFFFF, 72));
        EXPECT_EQ(Doc->GetPage(0)->Width(), 30) << Version;
        EXPECT_EQ(Doc->GetPage(0)->PrintPosition().Left, Version >= 2 ? 5 : 0) << Version;
    }
}

TEST_F(DocumentFileTest, ReadPagesGetPixelsOnlyWithAView)
{
    TSilentFormDoc View;
    auto Shown = Loose(10, 10);
    PageOf(*Shown).AddForm(&View);
    auto Hidden = Loose(10, 10);
    const TBytes Small = HandMadeFile(25, 64, 48, 0, 72, 3);
    LoadBytes(*Shown, Small);
    LoadBytes(*Hidden, Small);
    // The view goes to the first read page, which alone gets pixels.
    ASSERT_EQ(View.Page(), Shown->GetPage(0));
    for (int32_t I = 0; I < 3; ++I) {
        ASSERT_EQ(Shown->GetPage(I)->GetPagePicture() != nullptr, I == 0) << I;
        ASSERT_EQ(Hidden->GetPage(I)->GetPagePicture(), nullptr) << I;
        const BITMAPINFOHEADER* H = RecPictureHeader(Hidden->GetPage(I)->PagePicture());
        EXPECT_EQ(std::tuple(H->biWidth, H->biHeight), std::tuple(64, 48)) << I;
    }
    Shown->GetPage(0)->RemoveForm(&View);
    // Twelve pages of 16384 x 16384 (about 10 GB of pixels) read without
    // allocating any; a view makes the pixels of its own page only.
    const TBytes Huge = HandMadeFile(25, 16384, 16384, 0, 72, 12);
    LoadBytes(*Hidden, Huge);
    ASSERT_EQ(Hidden->GetPageCount(), 12);
    for (int32_t I = 0; I < 12; ++I) {
        const TOLECustomPage* P = Hidden->GetPage(I);
        EXPECT_EQ(std::tuple(P->Width(), P->Height(), RecPictureHeader(P->PagePicture())->biWidth,
                             P->PagePicture().pBits),
                  std::tuple(16384, 16384, 16384, nullptr))
            << I;
    }
}

TEST_F(DocumentFileTest, RefusalsLeaveDocumentUnchanged)
{
    auto Doc = Loose(40, 30);
    AddShape(PageOf(*Doc), {1, 1, 9, 9}, "Red");
    Doc->SetFileName("/keep/me.srn");
    Doc->SetModified(true);
    const TOLECustomPage* Page = Doc->GetPage(0);
    const TBytes Before = SaveBytes(*Doc);
    TBytes Newer = HandMadeFile(25, 64, 48, 0, 72);
    Newer[4] = 26;
    EXPECT_EQ(MessageOf<EUserError>([&] { LoadBytes(*Doc, Newer); }),
              "新しいバージョンのデータです。このバージョンでは読み込めません。");
    TBytes Foreign = HandMadeFile(25, 64, 48, 0, 72);
    Foreign[0] = 'X';
    EXPECT_EQ(MessageOf<EUserError>([&] { LoadBytes(*Doc, Foreign); }), "データ形式が違います。");
    EXPECT_EQ(Doc->GetPage(0), Page);
    EXPECT_TRUE(Doc->Modified());
    EXPECT_EQ(Doc->FileName(), "/keep/me.srn");
    EXPECT_EQ(SaveBytes(*Doc), Before);
    // Byte 5 is not read.
    TBytes Odd = HandMadeFile(25, 64, 48, 0, 72);
    Odd[5] = 0x7F;
    LoadBytes(*Doc, Odd);
    EXPECT_EQ(Doc->GetPage(0)->Width(), 64);
}

TEST_F(DocumentFileTest, TruncatedFileChangesNothing)
{
    auto Source = Loose(50, 40);
    AddShape(PageOf(*Source), {2, 2, 30, 30}, "Red");
    TListRecPict* Store = Source->GetPictureStore();
    TrecPicture P;
    RecPictureCreate(P, TPoint{0, 0}, 8, 8, 24, false);
    std::memset(P.pBits, 0x55, size_t(RecPictureGetImageSize(P)));
    Store->AddPicture(-1, 0, 0, 0.0, TPoint{0, 0}, 8, 8, 0, P, "");
    RecPictureClear(P);
    const TBytes File = SaveBytes(*Source);
    const size_t End = ChunkTags(File).second;  // what the reader reads
    auto Doc = Loose(20, 10);
    AddShape(PageOf(*Doc), {1, 1, 5, 5}, "Blue");
    Doc->SetModified(false);
    const TBytes Before = SaveBytes(*Doc);
    const TOLECustomPage* Page = Doc->GetPage(0);
    for (size_t N = 0; N < End; N += (N < 300 ? 1 : 13)) {
        const TBytes Cut(File.begin(), File.begin() + long(N));
        EXPECT_THROW(LoadBytes(*Doc, Cut), Exception) << N;
        ASSERT_EQ(Doc->GetPage(0), Page) << N;
        ASSERT_FALSE(Doc->Modified()) << N;
    }
    EXPECT_EQ(SaveBytes(*Doc), Before);
    // The whole file without its thumbnail is enough.
    TDocument Fresh(nullptr, &Docs);
    LoadBytes(Fresh, TBytes(File.begin(), File.begin() + long(End)));
    EXPECT_EQ(SaveBytes(Fresh), File);
}

namespace {

// The program's own item types, the effect catalogue and IPA Gothic.
class CatalogueDocumentTest : public ::testing::Test {
protected:
    CatalogueDocumentTest() : Fonts({IpaGothicSource()}), OldFonts(SetTextFontSource(&Fonts))
    {
        Docs.SetDocumentClass(&NewDocumentTDocument);
    }
    ~CatalogueDocumentTest() override { SetTextFontSource(OldFonts); }
    static TPage& PageOf(TOLEDocumentWex& Doc) { return *static_cast<TPage*>(Doc.GetPage(0)); }
    static void AddText(TPage& Page, const std::string& Utf8, int32_t X, int32_t Y)
    {
        auto Text = std::make_unique<TTextObj>(&Page, -1);
        Text->SetText(Utf8ToCp932(Utf8));
        TListCharStyle& Styles = Text->RichText().Styles;
        for (int32_t I = 0; I < Styles.Count(); ++I)
            if (TCharStyle* C = Styles.GetItem(I))
                C->Attr = GothicAttr(16);
        Text->SetPosition(X, Y);
        Page.RootGroup().AddChild(std::move(Text), -1);
    }
    TFileFonts Fonts;
    TTextFontSource* OldFonts;
    TCatalogueLibraries Catalogue;
    TRealObjectTypes Types;
    TDocuments Docs{"画像", "srn", nullptr, "4.0", "DirData", DocumentFileHeader};
};

} // namespace

TEST_F(CatalogueDocumentTest, EveryEffectOnEveryItemSavesBackUnchanged)
{
    if (!std::filesystem::exists(IpaGothic))
        GTEST_SKIP() << "font file " << IpaGothic << " is missing: run tools/setup";
    // Each effect on every kind of item, given to them all before any of
    // them built its path; saved (which renders the thumbnail), reopened,
    // rendered and saved again.
    std::string Failures;
    for (const std::string& Name : TCatalogueLibraries::Effects()) {
        TOLEDocumentWex* Doc = Docs.NewDocument(96, 64);
        TPage& Page = PageOf(*Doc);
        TDrawGroup& Root = Page.RootGroup();
        auto Shape = [&](std::unique_ptr<TParamObj> Obj, int32_t X, int32_t Y, TDrawGroup& To) {
            Obj->SetFrame(X, Y, 20, 14);
            // The records the drawing tools start from.
            if (auto* S = dynamic_cast<TStarObj*>(Obj.get()))
                S->SetParam(TrecStarParam{});
            if (auto* P = dynamic_cast<TPolygonObj*>(Obj.get()))
                P->SetParam(TrecPolygonParam{});
            To.AddChild(std::move(Obj), -1);
        };
        Shape(std::make_unique<TRectObj>(&Page, -1), 4, 4, Root);
        Shape(std::make_unique<TEllipseObj>(&Page, -1), 28, 4, Root);
        Shape(std::make_unique<TPolygonObj>(&Page, -1), 52, 4, Root);
        auto Poly = std::make_unique<TPolyLineObj>(&Page, -1);
        Poly->SetPathRecord(MakePath({{4, 30, PT_MOVETO}, {20, 44, PT_LINETO}, {30, 30, PT_LINETO}}));
        Root.AddChild(std::move(Poly), -1);
        AddText(Page, "字A", 36, 28);
        AddText(Page, " ", 36, 50);
        auto* Group = static_cast<TDrawGroup*>(Root.AddChild(std::make_unique<TDrawGroup>(&Page, -1), -1));
        Shape(std::make_unique<TStarObj>(&Page, -1), 70, 30, *Group);
        Shape(std::make_unique<TRectObj>(&Page, -1), 70, 46, *Group);
        TMacro Effect;
        ASSERT_TRUE(Effect.LoadFromLibrary(Name)) << Name;
        try {
            TDrawItem::InsertFMacro(Root, 0, Effect);
            const TBytes First = SaveBytes(*Doc);
            TDocument Copy(nullptr, &Docs);
            LoadBytes(Copy, First);
            PageOf(Copy).Update();
            if (SaveBytes(Copy) != First)
                Failures += Name + ": saved back otherwise\n";
        } catch (const Exception& E) {
            Failures += Name + ": " + E.what() + "\n";
        }
    }
    EXPECT_EQ(Failures, "");
}

TEST_F(DocumentFileTest, StoredPageSidesPastTheCapAreRefused)
{
    auto Source = Loose(64, 48);
    AddShape(PageOf(*Source), {2, 2, 30, 30}, "Red");
    const TBytes File = SaveBytes(*Source);
    // The page's own width and height, apart from its picture header's.
    ASSERT_EQ(std::tuple(I32At(File, 66), I32At(File, 70)), std::tuple(64, 48));
    auto Doc = Loose(20, 10);
    AddShape(PageOf(*Doc), {1, 1, 5, 5}, "Blue");
    Doc->SetModified(false);
    const TBytes Before = SaveBytes(*Doc);
    const TOLECustomPage* Page = Doc->GetPage(0);
    const struct {
        size_t At;
        int32_t Value;
        const char* Message;
    } Cases[] = {
        {66, INT32_MAX, "TOLECustomPage.ReadFromStream: Illegal Size (2147483647 x 48)"},
        {70, INT32_MAX, "TOLECustomPage.ReadFromStream: Illegal Size (64 x 2147483647)"},
        {66, (1 << 28) + 1, "TOLECustomPage.ReadFromStream: Illegal Size (268435457 x 48)"},
        {70, -1, "TOLECustomPage.ReadFromStream: Illegal Size (64 x -1)"},
    };
    for (const auto& C : Cases) {
        TBytes Bad = File;
        std::memcpy(Bad.data() + C.At, &C.Value, 4);
        EXPECT_EQ(MessageOf<EUserError>([&] { LoadBytes(*Doc, Bad); }), C.Message) << C.At;
        ASSERT_EQ(Doc->GetPage(0), Page);
        EXPECT_FALSE(Doc->Modified());
    }
    EXPECT_EQ(SaveBytes(*Doc), Before);
    // A side of 0 does not let the other past the cap either.
    EXPECT_THROW(Doc->GetPage(0)->SetPageSize(INT32_MAX, 0), EUserError);
    EXPECT_EQ(Doc->GetPage(0)->Width(), 20);
}
