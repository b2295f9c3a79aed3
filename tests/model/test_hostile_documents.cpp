// Documents made by the program with one stored field changed, as another
// program or a damaged disk may leave them: each opens without a box, its
// page's records agree with the page, every item can be drawn and the page
// renders without a failure, and a save writes the value it now holds.
#include <gtest/gtest.h>

#include "object_test_support.h"

#include "model/document.h"
#include "model/page.h"
#include "model/read_items.h"
#include "model/shape_param_range.h"
#include "model/text_outline.h"
#include "paint/macro_list.h"
#include "platform/message_box.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include <unistd.h>

namespace {

using TBytes = std::vector<uint8_t>;

int32_t I32At(const TBytes& B, size_t Off)
{
    int32_t V;
    std::memcpy(&V, B.data() + Off, 4);
    return V;
}

void PutAt(TBytes& B, size_t Off, int32_t V) { std::memcpy(B.data() + Off, &V, 4); }

// Where the bytes Pattern begin in B; the test fails when they are not
// there exactly once.
size_t Find(const TBytes& B, const TBytes& Pattern)
{
    const auto At = std::search(B.begin(), B.end(), Pattern.begin(), Pattern.end());
    EXPECT_NE(At, B.end());
    EXPECT_EQ(std::search(At + 1, B.end(), Pattern.begin(), Pattern.end()), B.end());
    return size_t(At - B.begin());
}
TBytes Ints(std::initializer_list<int32_t> Values)
{
    TBytes B;
    for (int32_t V : Values)
        PutI32(B, V);
    return B;
}

// The page record's fields, from the file's start: the grid's flags, the
// print centring, the page picture header's width and height.
constexpr size_t ShowGridAt = 18 + 5;
constexpr size_t CenterHAt = 18 + 36 + 2 + 8;
constexpr size_t PictureWidthAt = 18 + 36 + 2 + 10 + 12 + 3 + 4 + 8 + 4;
constexpr size_t PictureHeightAt = PictureWidthAt + 4;
// The display mode and ruler unit bytes before the print position; the
// first layer's display flag after the picture header, the current layer
// and the layer count.
constexpr size_t DisplayModeAt = 18 + 36;
constexpr size_t RulerUnitAt = DisplayModeAt + 1;
constexpr size_t LayerDisplayAt = PictureWidthAt - 4 + 40 + 8;

// Frames of the items, unique in the file: X, Y, width, height.
const std::initializer_list<int32_t> RectFrame = {10, 20, 30, 40};
const std::initializer_list<int32_t> EllipseFrame = {50, 20, 31, 41};
const std::initializer_list<int32_t> StarFrame = {90, 20, 32, 42};

class HostileDocumentTest : public ::testing::Test {
protected:
    HostileDocumentTest() : Fonts({IpaGothicSource()}), OldFonts(SetTextFontSource(&Fonts))
    {
        OldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t) {
            Boxes.push_back(Caption + ":" + Text);
            return IDOK;
        });
    }
    ~HostileDocumentTest() override
    {
        SetMessageBoxHandler(OldBoxes);
        SetTextFontSource(OldFonts);
    }

    // A 400 x 300 page: a rectangle, an ellipse, a star, a text and a line,
    // each filled by the catalogue's 塗り(ボカシ).
    TBytes MadeByTheProgram()
    {
        TOLEDocumentWex Doc(nullptr, nullptr);
        auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(400, 300);
        const auto Shape = [&](std::unique_ptr<TParamObj> S, std::initializer_list<int32_t> F) {
            const std::vector<int32_t> V(F);
            S->SetFrame(V[0], V[1], V[2], V[3]);
            return Add(*Page, std::move(S));
        };
        Shape(std::make_unique<TRectObj>(Page, -1), RectFrame);
        Shape(std::make_unique<TEllipseObj>(Page, -1), EllipseFrame);
        auto Star = std::make_unique<TStarObj>(Page, -1);
        Star->SetParam(TrecStarParam{});
        Shape(std::move(Star), StarFrame);
        auto Text = std::make_unique<TTextObj>(Page, -1);
        Text->SetText("Ab");
        for (int32_t I = 0; I < Text->RichText().Styles.Count(); ++I)
            if (TCharStyle* C = Text->RichText().Styles.GetItem(I))
                C->Attr = GothicAttr(17);
        Text->SetPosition(10, 100);
        Add(*Page, std::move(Text));
        auto Line = std::make_unique<TPolyLineObj>(Page, -1);
        Line->SetPathRecord(MakePath({{10, 150, PT_MOVETO}, {60, 190, PT_LINETO}, {110, 150, PT_LINETO}}));
        Add(*Page, std::move(Line));
        return SaveBytes(Doc);
    }
    TDrawItem* Add(TPage& Page, std::unique_ptr<TDrawItem> Item)
    {
        auto& Obj = dynamic_cast<TDrawObject&>(*Item);
        Obj.Macros().Clear();
        Obj.Macros().Add(TTestMacroLibrary::Get("塗り(ボカシ)"));
        return Page.RootGroup().AddChild(std::move(Item), -1);
    }

    TFileFonts Fonts;
    TTextFontSource* OldFonts;
    TCatalogueLibraries Catalogue;
    TRealObjectTypes Types;
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBoxes;
};

TPage& PageOf(TOLEDocumentWex& Doc) { return *static_cast<TPage*>(Doc.GetPage(0)); }
template <class T> T& ItemOf(TOLEDocumentWex& Doc, int32_t Index)
{
    return dynamic_cast<T&>(*PageOf(Doc).RootGroup().GetItem(Index));
}
std::string FrameOf(TParamObj& S)
{
    return std::to_string(S.X()) + "," + std::to_string(S.Y()) + "," + std::to_string(S.Width()) + "," +
           std::to_string(S.Height());
}

} // namespace

TEST_F(HostileDocumentTest, EveryFieldOpensHeldDrawsAndSavesAsHeld)
{
    if (!std::filesystem::exists(IpaGothic))
        GTEST_SKIP() << "font file " << IpaGothic << " is missing: run tools/setup";
    const TBytes Good = MadeByTheProgram();
    ASSERT_EQ(std::tuple(I32At(Good, 66), I32At(Good, 70)), std::tuple(400, 300));
    ASSERT_EQ(std::tuple(I32At(Good, PictureWidthAt), I32At(Good, PictureHeightAt)), std::tuple(400, 300));
    const size_t Rect = Find(Good, Ints(RectFrame));
    const size_t Ellipse = Find(Good, Ints(EllipseFrame));
    const size_t Star = Find(Good, Ints(StarFrame));
    const size_t StarCount = Star + 16 + 4 + 8; // after the angle and the inner radius
    ASSERT_EQ(I32At(Good, StarCount), 5);
    // The first character's style: its size as the string "17" (the
    // second character's comes later), then the bold, italic, underline and
    // strike-out bytes.
    const TBytes Size17 = {2, 0, 0, 0, '1', '7'};
    const size_t Bold = size_t(std::search(Good.begin(), Good.end(), Size17.begin(), Size17.end()) - Good.begin()) + 6;
    ASSERT_LT(Bold, Good.size());
    const size_t LinePoint = Find(Good, Ints({60, 190}));
    ASSERT_EQ(std::tuple(int(Good[DisplayModeAt]), int(Good[RulerUnitAt])), std::tuple(3, 0));
    ASSERT_EQ(std::tuple(I32At(Good, LayerDisplayAt - 4), int(Good[LayerDisplayAt])), std::tuple(1, 1));

    const int32_t Min = -2147483647 - 1, Max = 2147483647;
    const int32_t Reach = MaxItemReach;
    struct TRow {
        const char* Name;
        std::function<void(TBytes&)> Patch;
        std::function<std::string(TOLEDocumentWex&)> Read; // the field as the opened document holds it
        std::string Held;
        std::vector<std::pair<size_t, int32_t>> Saved; // int32 fields a save writes
    };
    const auto Frame = [](int32_t Index) {
        return [Index](TOLEDocumentWex& D) { return FrameOf(ItemOf<TParamObj>(D, Index)); };
    };
    const auto Patch4 = [](size_t At, std::vector<int32_t> V) {
        return [At, V](TBytes& B) {
            for (size_t I = 0; I < V.size(); ++I)
                PutAt(B, At + 4 * I, V[I]);
        };
    };
    const auto Count = [](TOLEDocumentWex& D) { return std::to_string(ItemOf<TStarObj>(D, 2).Param().Count); };
    const auto Points = [](TOLEDocumentWex& D) {
        auto& L = ItemOf<TPolyLineObj>(D, 4);
        std::string S;
        for (int32_t I = 0; I < L.PointCount(); ++I)
            S += std::to_string(L.GetNodePoint(I).X) + "," + std::to_string(L.GetNodePoint(I).Y) + " ";
        return S;
    };
    const auto Byte = [](size_t At, uint8_t V) { return [At, V](TBytes& B) { B[At] = V; }; };
    // The byte as the opened document holds it and as a save writes it.
    const auto HeldByte = [](size_t At, std::function<uint8_t(TOLEDocumentWex&)> Get) {
        return [At, Get](TOLEDocumentWex& D) {
            return std::to_string(int(Get(D))) + " saved " + std::to_string(int(SaveBytes(D)[At]));
        };
    };
    const auto Header = [](TOLEDocumentWex& D) {
        const BITMAPINFOHEADER* H = RecPictureHeader(PageOf(D).PagePicture());
        return std::to_string(H->biWidth) + " x " + std::to_string(H->biHeight);
    };
    const std::vector<TRow> Rows = {
        // A frame too large to paint keeps its proportions down to what
        // the largest picture holds, its corners within the item reach.
        {"frame at the ends of int32", Patch4(Rect, {Min, Min, Max, Max}), Frame(0),
         std::to_string(-Reach) + "," + std::to_string(-Reach) + ",16384,16384", {{Rect, -Reach}, {Rect + 8, 16384}}},
        {"frame 0..100000", Patch4(Rect, {0, 0, 100000, 100000}), Frame(0), "0,0,16384,16384",
         {{Rect + 8, 16384}, {Rect + 12, 16384}}},
        {"width 2147483647", Patch4(Rect + 8, {Max}), Frame(0), "10,20,65536,1", {{Rect + 8, 65536}, {Rect + 12, 1}}},
        {"99999 x 99999", Patch4(Rect + 8, {99999, 99999}), Frame(0), "10,20,16384,16384", {{Rect + 12, 16384}}},
        {"x past the reach", Patch4(Rect, {Max}), Frame(0), std::to_string(Reach - 30) + ",20,30,40",
         {{Rect, Reach - 30}}},
        {"width -7", Patch4(Rect + 8, {-7}), Frame(0), "10,20,1,40", {{Rect + 8, 1}}},
        {"ellipse width 2147483647", Patch4(Ellipse + 8, {Max}), Frame(1), "50,20,65536,1", {{Ellipse + 8, 65536}}},
        {"star height 2147483647", Patch4(Star + 12, {Max}), Frame(2), "90,20,1,65536", {{Star + 12, 65536}}},
        // The generators draw a star of three points: 3 stays, fewer become 3.
        {"star count 3", Patch4(StarCount, {3}), Count, "3", {{StarCount, 3}}},
        {"star count 2", Patch4(StarCount, {2}), Count, "3", {{StarCount, 3}}},
        {"star count 0", Patch4(StarCount, {0}), Count, "3", {{StarCount, 3}}},
        {"star count -5", Patch4(StarCount, {-5}), Count, "3", {{StarCount, 3}}},
        {"bold 255", Byte(Bold, 255),
         [](TOLEDocumentWex& D) {
             return std::to_string(ItemOf<TTextObj>(D, 3).RichText().Styles.GetItem(0)->Attr.Bold);
         },
         "1", {}},
        {"strike-out 2", Byte(Bold + 3, 2),
         [](TOLEDocumentWex& D) {
             return std::to_string(ItemOf<TTextObj>(D, 3).RichText().Styles.GetItem(0)->Attr.StrikeOut);
         },
         "1", {}},
        // A line too long to paint is scaled towards its box's corner.
        {"line point at the end of int32", Patch4(LinePoint, {Max}), Points, "10,150 65546,150 10,150 ",
         {{LinePoint, 65546}, {LinePoint + 4, 150}}},
        // The page picture is the page's rendering: made at the page's size.
        {"page picture width 1", Patch4(PictureWidthAt, {1}), Header, "400 x 300", {{PictureWidthAt, 400}}},
        {"page picture width 16384", Patch4(PictureWidthAt, {16384}), Header, "400 x 300", {{PictureWidthAt, 400}}},
        {"page picture height 1", Patch4(PictureHeightAt, {1}), Header, "400 x 300", {{PictureHeightAt, 300}}},
        {"show-grid flag 7", Byte(ShowGridAt, 7),
         [](TOLEDocumentWex& D) { return std::to_string(int(SaveBytes(D)[ShowGridAt])); }, "1", {}},
        {"print centring 9", Byte(CenterHAt, 9),
         [](TOLEDocumentWex& D) { return std::to_string(int(PageOf(D).PrintPosition().CenterH)); }, "1", {}},
        // A mode or unit the page has no use for is its default, and saved
        // so; any layer display byte but 0 shows the outlines.
        {"display mode 200", Byte(DisplayModeAt, 200), HeldByte(DisplayModeAt, [](TOLEDocumentWex& D) {
             return PageOf(D).DisplayMode();
         }), "3 saved 3", {}},
        {"display mode 4", Byte(DisplayModeAt, 4), HeldByte(DisplayModeAt, [](TOLEDocumentWex& D) {
             return PageOf(D).DisplayMode();
         }), "3 saved 3", {}},
        {"ruler unit 9", Byte(RulerUnitAt, 9), HeldByte(RulerUnitAt, [](TOLEDocumentWex& D) {
             return PageOf(D).RulerUnit();
         }), "0 saved 0", {}},
        {"ruler unit 255", Byte(RulerUnitAt, 255), HeldByte(RulerUnitAt, [](TOLEDocumentWex& D) {
             return PageOf(D).RulerUnit();
         }), "0 saved 0", {}},
        {"layer display flag 5", Byte(LayerDisplayAt, 5), HeldByte(LayerDisplayAt, [](TOLEDocumentWex& D) {
             return PageOf(D).GetLayers()->GetLayer(0)->Display;
         }), "1 saved 1", {}},
        // Within the largest picture but long and thin, the blur's planes
        // would reach past what the raster routines work on: brought down
        // as a larger frame is.
        {"frame 268435456 x 1", Patch4(Rect, {0, 20, 1 << 28, 1}), Frame(0), "0,20,65536,1",
         {{Rect + 8, 65536}, {Rect + 12, 1}}},
    };
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TBytes File = Good;
        Row.Patch(File);
        ASSERT_NE(File, Good);
        TOLEDocumentWex Doc(nullptr, nullptr);
        Boxes.clear();
        ASSERT_NO_THROW(LoadBytes(Doc, File));
        EXPECT_EQ(Row.Read(Doc), Row.Held);
        EXPECT_EQ(PageReadFault(PageOf(Doc)), "");
        EXPECT_EQ(PageRenderFault(PageOf(Doc)), "");
        EXPECT_EQ(Boxes, std::vector<std::string>{});
        const TBytes Saved = SaveBytes(Doc);
        for (const auto& [At, Value] : Row.Saved)
            EXPECT_EQ(I32At(Saved, At), Value) << At;
        // Read again, it is what was saved.
        TOLEDocumentWex Again(nullptr, nullptr);
        LoadBytes(Again, Saved);
        EXPECT_EQ(Row.Read(Again), Row.Held);
    }
}

// A document holding what cannot be drawn even brought into range is
// refused at open: the message names the file and the item and says why,
// and nothing of the document opens (no page, not modified, no box).
TEST_F(HostileDocumentTest, WhatCannotBeDrawnRefusesTheDocumentNamingIt)
{
    if (!std::filesystem::exists(IpaGothic))
        GTEST_SKIP() << "font file " << IpaGothic << " is missing: run tools/setup";
    struct TRow {
        const char* Name;
        std::function<void(TPage&)> Build; // after a sound rectangle
        std::string Why;
    };
    const std::vector<TRow> Rows = {
        // Characters of 999 points, 4000 of them: a text some 2 million
        // pixels long and 700 high, whose blur plane no routine works on.
        // A text has no frame to bring down.
        {"a text too large to paint",
         [this](TPage& P) {
             auto Text = std::make_unique<TTextObj>(&P, -1);
             Text->SetText(std::string(4000, 'W'));
             for (int32_t I = 0; I < Text->RichText().Styles.Count(); ++I)
                 if (TCharStyle* C = Text->RichText().Styles.GetItem(I))
                     C->Attr = GothicAttr(1000);
             Text->SetPosition(0, 0);
             Add(P, std::move(Text));
         },
         "2 番目の図形を描画できません。 (大きすぎます)"},
    };
    const std::filesystem::path Dir = std::filesystem::temp_directory_path() /
                                      ("tavro-undrawable-" + std::to_string(::getpid()));
    std::filesystem::create_directories(Dir);
    for (const TRow& Row : Rows) {
        SCOPED_TRACE(Row.Name);
        TBytes File;
        {
            TOLEDocumentWex Doc(nullptr, nullptr);
            auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
            Page->SetPageSize(400, 300);
            auto R = std::make_unique<TRectObj>(Page, -1);
            R->SetFrame(10, 20, 30, 40);
            Add(*Page, std::move(R));
            Row.Build(*Page);
            File = SaveBytes(Doc);
        }
        const std::string Path = (Dir / "undrawable.srn").string();
        {
            std::ofstream Out(Path, std::ios::binary);
            Out.write(reinterpret_cast<const char*>(File.data()), std::streamsize(File.size()));
        }
        TOLEDocumentWex Doc(nullptr, nullptr);
        Doc.SetFileName(Path);
        Boxes.clear();
        std::string Message = "(nothing raised)";
        try {
            Doc.Open();
        } catch (const Exception& E) {
            Message = E.Message();
        }
        EXPECT_EQ(Message, Path + " を開けません。\n" + Row.Why);
        EXPECT_EQ(Doc.GetPageCount(), 0);
        EXPECT_FALSE(Doc.Modified());
        EXPECT_EQ(Boxes, std::vector<std::string>{});
        // Read from memory, the same refusal, and the page is left empty.
        TOLEDocumentWex Again(nullptr, nullptr);
        EXPECT_THROW(LoadBytes(Again, File), EUndrawableDocument);
        EXPECT_EQ(Again.GetPageCount(), 0);
    }
    std::filesystem::remove_all(Dir);
}

// The editor makes a text longer than one paste brings (two pastes, or
// typing on): saved, it opens, is held drawable and renders.
TEST_F(HostileDocumentTest, ATextLongerThanOnePasteOpensAndDraws)
{
    if (!std::filesystem::exists(IpaGothic))
        GTEST_SKIP() << "font file " << IpaGothic << " is missing: run tools/setup";
    TBytes File;
    {
        TOLEDocumentWex Doc(nullptr, nullptr);
        auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(400, 300);
        auto Text = std::make_unique<TTextObj>(Page, -1);
        Text->SetText(std::string(size_t(MaxTextObjectBytes) + 1, 'a'));
        for (int32_t I = 0; I < Text->RichText().Styles.Count(); ++I)
            if (TCharStyle* C = Text->RichText().Styles.GetItem(I))
                C->Attr = GothicAttr(2);
        Text->SetPosition(0, 10);
        Add(*Page, std::move(Text));
        File = SaveBytes(Doc);
    }
    TOLEDocumentWex Doc(nullptr, nullptr);
    Boxes.clear();
    ASSERT_NO_THROW(LoadBytes(Doc, File));
    EXPECT_EQ(ItemOf<TTextObj>(Doc, 0).RichText().Text.size(), size_t(MaxTextObjectBytes) + 1);
    EXPECT_EQ(PageReadFault(PageOf(Doc)), "");
    EXPECT_EQ(PageRenderFault(PageOf(Doc)), "");
    EXPECT_EQ(Boxes, std::vector<std::string>{});
}
