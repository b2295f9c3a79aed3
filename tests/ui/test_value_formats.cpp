// The value clipboard formats on the real (offscreen) clipboard: the bytes
// each value travels as, the readers, the can-paste tests and the drags.
#include "ole_test_support.h"

#include "model/object_test_support.h"

#include "foundation/stream_text.h"
#include "foundation/user_error.h"
#include "paint/light_set.h"
#include "paint/macro_list.h"
#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"
#include "store/picture_store.h"
#include "ui/draw_item_clipboard.h"
#include "ui/drop_source.h"
#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_light.h"
#include "ui/ole2_mac_paint.h"
#include "ui/ole2_pen.h"
#include "ui/ole_qt_bridge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace std::string_literals;

namespace {

QString TavroMime(const char* Name)
{
    return QString(TavroMimePrefix) + Name;
}

TComPtr<IDataObject> Clipboard()
{
    TComPtr<IDataObject> D;
    OleGetClipboard(D);
    return D;
}

void PutText(const std::string& Utf8)
{
    PutForeignClipboard({{"text/plain", QByteArray::fromStdString(Utf8)}});
}

std::string Bytes(const std::function<void(TStream&)>& Write)
{
    TMemoryStream S;
    Write(S);
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

const std::string GradationText = "0000255,1,0,8192,16384,8192,2,0,0,1023,16777215,0,0,0,100,0,100";
// A light named "環" (two bytes in CP932, as its length says).
const std::string LightText = "50,FFFFFF80,20,0,1,2,環FF0000100,0,";

} // namespace

TEST(ValueFormats, ColourTravelsAsRedGreenBlueText)
{
    OleSetClipboard(MakeCom<TOle2DataObjColorWex>(0x00123456).Get());
    EXPECT_EQ(StdOf(ClipboardData(TavroMime("Wex_Color"))), "#563412\0"s);
    EXPECT_EQ(StdOf(ClipboardData("text/plain")), "#563412");
    EXPECT_TRUE(ClipboardHasColor());
    EXPECT_TRUE(ClipboardHasPaintFill());
    EXPECT_EQ(TOle2DataObjColorWex::GetColor(Clipboard().Get()), 0x123456);
}

// GetColor used to take any hexadecimal or decimal value; now it agrees
// with ClipboardHasColor: -1 outside 0 .. 0xFFFFFF and for bad digits. A
// colour written with "#" has six digits, as the program writes it: "#"
// alone is no black, "#12" no dark blue.
TEST(ValueFormats, ColourTextsReadAndRefused)
{
    struct Case {
        std::string Text;
        int32_t Colour;
    };
    for (const Case& C : {Case{"#a0b0c0", 0xC0B0A0}, Case{"#A0B0C0", 0xC0B0A0}, Case{"#000000", 0},
                          Case{"#FFFFFF", 0xFFFFFF}, Case{"255", 255}, Case{"0", 0}, Case{"#", -1},
                          Case{"#12", -1}, Case{"#12345", -1}, Case{"#GGGGGG", -1}, Case{"#1234567", -1},
                          Case{"#12G456", -1}, Case{"# 12345", -1}, Case{"-1", -1}, Case{"16777216", -1},
                          Case{"", -1}, Case{"red", -1}}) {
        PutText(C.Text);
        EXPECT_EQ(ClipboardHasColor(), C.Colour >= 0) << C.Text;
        EXPECT_EQ(TOle2DataObjColorWex::GetColor(Clipboard().Get()), C.Colour) << C.Text;
    }
    // The own format is trusted by the can-paste test, never by the reader.
    PutForeignClipboard({{TavroMime("Wex_Color"), "#12345678"}});
    EXPECT_TRUE(ClipboardHasColor());
    EXPECT_EQ(TOle2DataObjColorWex::GetColor(Clipboard().Get()), -1);
}

TEST(ValueFormats, PenTravelsAsItsThirtySixByteRecord)
{
    const TrecPenData Pen{0x2100, 5, {1, 2, 3, 4, 0xA0B0C0D0}, 4.5};
    OleSetClipboard(MakeCom<TOle2DataObjPenWex>(Pen).Get());
    const std::string Expected("\x00\x21\x00\x00" "\x05\x00\x00\x00" "\x01\x00\x00\x00" "\x02\x00\x00\x00"
                               "\x03\x00\x00\x00" "\x04\x00\x00\x00" "\xD0\xC0\xB0\xA0"
                               "\x00\x00\x00\x00\x00\x00\x12\x40", 36);
    EXPECT_EQ(StdOf(ClipboardData(TavroMime("Tavro_Pen"))), Expected);
    EXPECT_FALSE(ClipboardHasPaintFill()); // fills are colours and gradations only
    TrecPenData Back{};
    ASSERT_TRUE(TOle2DataObjPenWex::GetPen(Clipboard().Get(), Back));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&Back), sizeof Back), Expected);
}

// A negative width or a miter limit that is no number used to be taken, and
// so did widths and limits no pen dialog could set.
TEST(ValueFormats, PenRecordsRefused)
{
    const auto Record = [](int32_t Width, double Miter) {
        const TrecPenData P{0, Width, {}, Miter};
        return QByteArray(reinterpret_cast<const char*>(&P), sizeof P);
    };
    for (const QByteArray& Block : {Record(-1, 4), Record(1, std::nan("")), Record(1, INFINITY),
                                    Record(1, 4).left(35), QByteArray("not a pen"),
                                    // past what the pen dialog could make
                                    Record(MaxPenWidth + 1, 4), Record(2147483647, 4), Record(1, 5.5),
                                    Record(1, -0.5)}) {
        PutForeignClipboard({{TavroMime("Tavro_Pen"), Block}});
        TrecPenData Pen{7, 8, {}, 9};
        EXPECT_FALSE(TOle2DataObjPenWex::GetPen(Clipboard().Get(), Pen)) << Block.size();
        const double Miter = Pen.MiterLimit; // packed: no reference to it
        EXPECT_EQ(Pen.Width, 8);
        EXPECT_EQ(Miter, 9.0);
    }
    PutText("1,0,4");
    TrecPenData Pen{};
    EXPECT_FALSE(TOle2DataObjPenWex::GetPen(Clipboard().Get(), Pen));
}

TEST(ValueFormats, GradationAndLightTravelWithTheirHeaderLine)
{
    OleSetClipboard(MakeCom<TDataObjectGradation>(GradationClipboardHeader + GradationText).Get());
    EXPECT_EQ(StdOf(ClipboardData(TavroMime("Zelbar Gradation"))), "Zelbar Gradation\r\n" + GradationText + '\0');
    EXPECT_EQ(StdOf(ClipboardData("text/plain")), "Zelbar Gradation\r\n" + GradationText);
    EXPECT_TRUE(ClipboardHasGradation());
    EXPECT_TRUE(ClipboardHasPaintFill());
    EXPECT_FALSE(ClipboardHasLight());

    OleSetClipboard(MakeCom<TLightDataObject>(LightClipboardHeader + LightText).Get());
    EXPECT_EQ(StdOf(ClipboardData(TavroMime("Zelbar Light"))),
              "Zelbar Light\r\n50,FFFFFF80,20,0,1,2,\x8a\xc2" "FF0000100,0,\0"s);
    EXPECT_TRUE(ClipboardHasLight());
    std::string Text;
    TDataObject::GetDataString(Clipboard().Get(), Text, TLightDataObject::GetFormats());
    TLightsAmb Lights;
    ASSERT_TRUE(StrToLights(Lights, Text.substr(14)));
    EXPECT_EQ(Lights.Lights.at(0).Name, "環");
}

TEST(ValueFormats, GradationAndLightTextsOnTheClipboard)
{
    struct Case {
        std::string Text;
        bool Gradation;
        bool Light;
    };
    for (const Case& C : {Case{"zelbar GRADATION\r\n" + GradationText, true, false},
                          Case{"Zelbar Gradation\r\nnot a gradation", false, false},
                          Case{"Zelbar Gradation", false, false}, Case{GradationText, false, false},
                          Case{"ZELBAR LIGHT\r\n" + LightText, false, true},
                          Case{"Zelbar Light\r\n50,FFFFFF80,20,0,1,9,AFF0000100,0,", false, false},
                          Case{"Zelbar Light\r\n", false, false}}) {
        PutText(C.Text);
        EXPECT_EQ(ClipboardHasGradation(), C.Gradation) << C.Text;
        EXPECT_EQ(ClipboardHasLight(), C.Light) << C.Text;
        EXPECT_FALSE(ClipboardHasPaintFill()) << C.Text; // no CF_TEXT fallback
    }
}

class ValueFormatsMacro : public ::testing::Test {
protected:
    TTestMacroLibrary Library;
    std::unique_ptr<TMacro> Red = TTestMacroLibrary::Get("Red");
    std::unique_ptr<TMacro> Blue = TTestMacroLibrary::Get("Blue");
};

TEST_F(ValueFormatsMacro, MacroTravelsAsItsStreamForms)
{
    OleSetClipboard(MakeCom<TDataObjectMacPaint>(*Red).Get());
    EXPECT_EQ(StdOf(ClipboardData(TavroMime("Tavro Paint Macro"))), Bytes([&](TStream& S) { Red->WriteToStream(S); }));
    EXPECT_EQ(StdOf(ClipboardData("text/plain")), Cp932ToUtf8(Bytes([&](TStream& S) {
                  StreamWriteln(S, "Tavro Paint Macro");
                  Red->WriteToStreamAsText(S);
              })));
    EXPECT_TRUE(ClipboardHasPaintMacro());
    EXPECT_FALSE(ClipboardHasPaintStyle());
    TMacro Back;
    ASSERT_TRUE(TDataObjectMacPaint::GetMacro(Clipboard().Get(), Back));
    EXPECT_TRUE(Back.Equals(*Red));
}

TEST_F(ValueFormatsMacro, MacroReadersOnForeignAndMalformedData)
{
    const std::string Text = Bytes([&](TStream& S) { Blue->WriteToStreamAsText(S); });
    const std::string RedBinary = Bytes([&](TStream& S) { Red->WriteToStream(S); });
    struct Case {
        std::vector<std::pair<QString, QByteArray>> Entries;
        bool Has;
        bool Read;
    };
    for (const Case& C : {
             Case{{{"text/plain", QByteArray::fromStdString("Tavro Paint Macro\r\n" + Text)}}, true, true},
             Case{{{"text/plain", QByteArray::fromStdString("tavro paint macro\r\n" + Text)}}, false, false},
             Case{{{"text/plain", "Tavro Paint Macro\r\n3\r\n"}}, true, false},
             Case{{{TavroMime("Tavro Paint Macro"), "\xff\xff\xff\x7f"}}, true, false},
             Case{{{TavroMime("Tavro Paint Macro"), "junk"},
                   {"text/plain", QByteArray::fromStdString("Tavro Paint Macro\r\n" + Text)}}, true, true},
         }) {
        PutForeignClipboard(C.Entries);
        EXPECT_EQ(ClipboardHasPaintMacro(), C.Has);
        TMacro Got;
        Got.Assign(*Red);
        EXPECT_EQ(TDataObjectMacPaint::GetMacro(Clipboard().Get(), Got), C.Read);
        EXPECT_TRUE(Got.Equals(C.Read ? *Blue : *Red));
    }
    // A name no library holds is no macro, and nothing is raised.
    gMacroLibrary = std::make_unique<TMacroLibrary>();
    PutForeignClipboard({{TavroMime("Tavro Paint Macro"), QByteArray::fromStdString(RedBinary)}});
    TMacro Got;
    EXPECT_FALSE(TDataObjectMacPaint::GetMacro(Clipboard().Get(), Got));
}

class ValueFormatsStyle : public ValueFormatsMacro {
protected:
    void SetUp() override
    {
        Style.Insert(0, *Red);
        Style.Insert(1, *Blue);
        TListRecPictItem Item;
        RecPictureCreate(Item.Picture, TPoint{0, 0}, 2, 1, 24, false);
        std::memcpy(Item.Picture.pBits, "\x01\x02\x03\x04\x05\x06\0\0", 8);
        ItemText = Bytes([&](TStream& S) { Item.WriteToStreamAsText(S); });
        Pictures = "prefix" + Bytes([&](TStream& S) {
                       const int32_t Count = 1;
                       const int32_t Handle = 7;
                       S.WriteBuffer(&Count, 4);
                       S.WriteBuffer(&Handle, 4);
                       Item.WriteToStream(S);
                   });
    }
    TComPtr<TDataObjectPaintStyle> Object() const
    {
        TMemoryStream S;
        S.WriteBuffer(Pictures.data(), static_cast<int32_t>(Pictures.size()));
        S.SetPosition(6); // after "prefix"
        return MakeCom<TDataObjectPaintStyle>(Style, S);
    }
    TMacros Style;
    std::string Pictures;
    std::string ItemText;
};

TEST_F(ValueFormatsStyle, StyleTravelsAsListAndPictureBytes)
{
    OleSetClipboard(Object().Get());
    const std::string List = Bytes([&](TStream& S) { Style.WriteToStream(S); });
    EXPECT_EQ(StdOf(ClipboardData(TavroMime("Tavro Paint Style"))), List + Pictures.substr(6));
    EXPECT_EQ(StdOf(ClipboardData("text/plain")), Cp932ToUtf8(Bytes([&](TStream& S) {
                  StreamWriteln(S, "Tavro Paint Style");
                  Style.WriteToStreamAsText(S);
              })) + "1\r\n7\r\n" + ItemText);
    EXPECT_TRUE(ClipboardHasPaintStyle());

    TMacros Back;
    TMemoryStream Got;
    ASSERT_TRUE(TDataObjectPaintStyle::GetPaintStyle(Clipboard().Get(), Back, &Got));
    EXPECT_TRUE(Back.Equals(Style));
    EXPECT_EQ(Bytes([&](TStream& S) { S.CopyFrom(Got, 0); }), "0" + Pictures.substr(6));
}

TEST_F(ValueFormatsStyle, StyleFromTextGivesTheRestAsText)
{
    const std::string Text = Cp932ToUtf8(BlockOf(Object().Get(), CF_TEXT));
    PutText(Text);
    EXPECT_TRUE(ClipboardHasPaintStyle());
    TMacros Back;
    TMemoryStream Got;
    ASSERT_TRUE(TDataObjectPaintStyle::GetPaintStyle(Clipboard().Get(), Back, &Got));
    EXPECT_TRUE(Back.Equals(Style));
    EXPECT_EQ(Bytes([&](TStream& S) { S.CopyFrom(Got, 0); }), "11\r\n7\r\n" + ItemText);

    PutText("tavro paint style\r\n0\r\n");
    EXPECT_FALSE(ClipboardHasPaintStyle());
    TMemoryStream Kept;
    Kept.WriteBuffer("k", 1);
    EXPECT_FALSE(TDataObjectPaintStyle::GetPaintStyle(Clipboard().Get(), Back, &Kept));
    EXPECT_TRUE(Back.Equals(Style));
    EXPECT_EQ(Kept.Size(), 1);
}

TEST_F(ValueFormatsStyle, PictureCountBeyondTheBytesFailsTheTextRendering)
{
    TMemoryStream S;
    const int32_t Count = 1000000;
    S.WriteBuffer(&Count, 4);
    S.SetPosition(0);
    const auto D = MakeCom<TDataObjectPaintStyle>(Style, S);
    STGMEDIUM M;
    EXPECT_EQ(D->GetData(MakeFormatEtc(CF_TEXT), M), STG_E_MEDIUMFULL);
    EXPECT_EQ(D->GetData(MakeFormatEtc(CFMacPaint().PaintStyle), M), S_OK);
    ReleaseStgMedium(M);
}

TEST(DrawItemClipboard, DrawItemTextAfterBlankLines)
{
    struct Case {
        std::vector<std::pair<QString, QByteArray>> Entries;
        bool Expected;
    };
    for (const Case& C : {Case{{{"text/plain", "\r\n\n\rTavro DrawItem\r\n25\r\n"}}, true},
                          Case{{{"text/plain", "Tavro DrawItems"}}, true},
                          Case{{{"text/plain", "tavro drawitem\r\n"}}, false},
                          Case{{{"text/plain", "\r\nTavro Draw"}}, false},
                          Case{{{"text/plain", " Tavro DrawItem"}}, false},
                          Case{{{TavroMime("Tavro DrawItem"), "x"}}, true}}) {
        PutForeignClipboard(C.Entries);
        EXPECT_EQ(ClipboardHasDrawItem(), C.Expected) << StdOf(C.Entries[0].second);
    }
}

// The compare used to read 14 bytes wherever the blank lines ended.
TEST(DrawItemClipboard, TheBlockTestStaysInsideTheBlock)
{
    const char Bytes[] = "\r\nTavro DrawItem";
    EXPECT_TRUE(BlockBeginsWithDrawItem(Bytes, 16));
    EXPECT_FALSE(BlockBeginsWithDrawItem(Bytes, 15));
    EXPECT_FALSE(BlockBeginsWithDrawItem(Bytes, 2));
}

TEST(DrawItemClipboard, TheCoreCopyReachesTheClipboard)
{
    TClipboardServiceQt C;
    ASSERT_TRUE(C.OpenClipboard());
    EXPECT_FALSE(C.OpenClipboard());
    C.EmptyClipboard();
    TMemoryStream S;
    const std::string Text = "Tavro DrawItem\r\n25\r\n\x93\xfa\0"s;
    S.WriteBuffer(Text.data(), static_cast<int32_t>(Text.size()));
    C.SetClipboardStream(CF_TEXT, S);
    C.CloseClipboard();
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "Tavro DrawItem\r\n25\r\n日");
    EXPECT_TRUE(ClipboardHasDrawItem());

    ASSERT_TRUE(OpenClipboard(nullptr));
    HGLOBAL H = GetClipboardData(CF_TEXT);
    ASSERT_NE(H, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(H)), GlobalSize(H)), Text);
    GlobalUnlock(H);
    CloseClipboard();
}

TEST(DrawItemClipboard, ARefusedBlockIsReportedAndFreed)
{
    TRecordedBoxes Boxes;
    const size_t Blocks = GlobalBlockCount();
    TClipboardServiceQt C;
    ASSERT_TRUE(C.OpenClipboard());
    TMemoryStream S;
    S.WriteBuffer("x", 1);
    C.SetClipboardStream(CF_TEXT, S); // not emptied: the clipboard is not ours
    C.EmptyClipboard();
    C.SetClipboardStream(CF_BITMAP, S); // no way to carry it
    C.CloseClipboard();
    const std::string Message = "クリップボードにデータを転送できません。";
    EXPECT_EQ(Boxes.Texts, (std::vector<std::string>{Message, Message}));
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

// Shutdown used to empty the clipboard, wiping what the user had copied in
// other programs.
TEST(ClipboardShutdown, OtherProgramsDataStaysAndOursOutlivesItsObjects)
{
    PutText("copied elsewhere");
    EXPECT_EQ(OleFlushClipboard(), S_OK);
    EXPECT_EQ(StdOf(ClipboardData("text/plain")), "copied elsewhere");

    bool Gone = false;
    OleSetClipboard(MakeCom<TBytesDataObject>(TBlocks{{CFWexColor(), "#563412\0"s}}, &Gone).Get());
    EXPECT_FALSE(Gone);
    EXPECT_EQ(OleFlushClipboard(), S_OK);
    EXPECT_TRUE(Gone);
    EXPECT_EQ(StdOf(ClipboardData(TavroMime("Wex_Color"))), "#563412\0"s);
}

namespace {

struct TRecordedDrag {
    TComPtr<IDataObject> Data;
    TComPtr<IDropSource> Source;
    uint32_t OkEffects = 0;
};

} // namespace

TEST(ValueFormats, DragStartsOfferACopyOfTheValue)
{
    std::vector<TRecordedDrag> Drags;
    const TDoDragDropHandler Old = SetDoDragDropHandler(
        [&](IDataObject* Data, IDropSource* Source, uint32_t OkEffects, uint32_t& Effect) {
            Drags.push_back({TComPtr<IDataObject>(Data), TComPtr<IDropSource>(Source), OkEffects});
            Effect = DROPEFFECT_COPY;
            return DRAGDROP_S_DROP;
        });
    const TrecPenData Pen{0x1000, 3, {}, 2.5};
    DragDropColor(0x00123456);
    DragDropPen(Pen);
    DragDropGradation(GradationText);
    SetDoDragDropHandler(Old);

    ASSERT_EQ(Drags.size(), 3u);
    for (const TRecordedDrag& D : Drags) {
        EXPECT_EQ(D.OkEffects, DROPEFFECT_COPY);
        EXPECT_EQ(D.Source->QueryContinueDrag(false, 0), DRAGDROP_S_DROP);
    }
    EXPECT_EQ(TOle2DataObjColorWex::GetColor(Drags[0].Data.Get()), 0x123456);
    TrecPenData Back{};
    ASSERT_TRUE(TOle2DataObjPenWex::GetPen(Drags[1].Data.Get(), Back));
    EXPECT_EQ(std::memcmp(&Back, &Pen, sizeof Pen), 0);
    EXPECT_EQ(BlockOf(Drags[2].Data.Get(), CFZelbarGradation()), "Zelbar Gradation\r\n" + GradationText + '\0');
}

// Each unit raises its own message when the platform has no format number
// left; the draw-item format's failure is silent. Run in a fresh process, so
// that no format is registered yet.
TEST(ValueFormatsDeathTest, RegistrationFailuresRaiseTheUnitsMessages)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto Run = [] {
        for (int I = 0; RegisterClipboardFormat(std::to_string(I) + " filler") != 0; ++I) {
        }
        std::string Got;
        const std::vector<std::function<void()>> Units{
            [] { CFWexColor(); }, [] { CFTavroPen(); }, [] { CFZelbarGradation(); }, [] { CFZelbarLight(); },
            [] { CFMacPaint(); }, [] { CFRichTextFormat(); }, [] { CFDrawItem(); }};
        for (const auto& Unit : Units)
            Got += MessageOf<EUserError>(Unit) + "|";
        const std::string Expected =
            "uOLE2Color : RegisterClipboardFormat Failed.|uOLE2Pen : RegisterClipboardFormat Failed.|"
            "uOLE2Gra: RegisterClipboardFormat Failed.|uOLE2Light: RegisterClipboardFormat Failed.|"
            "uOLE2MacPaint: RegisterClipboardFormat Failed.|uOLE2Win : RegisterClipboardFormat Failed.|"
            "(nothing raised)|";
        if (Got != Expected || CFDrawItem() != 0) {
            std::fprintf(stderr, "%s\n", Got.c_str());
            std::exit(1);
        }
        std::exit(0);
    };
    EXPECT_EXIT(Run(), ::testing::ExitedWithCode(0), "");
}
