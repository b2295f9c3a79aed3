// Documents whose fill macros hold values no editor makes, as written by
// another program or damaged where they lie: a rectangle with 塗り（陰影）,
// ベベル（照明） and 塗り(ボカシ) from the delivered catalogue, saved by the
// program and one stored value changed, and files of version 5, whose
// macros carry their own lines. Each opens with the value held, renders in
// every quality without a box or an error, and saves the held value.
#include "hand_made_document.h"
#include "object_test_support.h"

#include "foundation/rec_path.h"
#include "foundation/streams.h"
#include "model/document.h"
#include "model/page.h"
#include "model/page_views.h"
#include "model/param_shapes.h"
#include "paint/macro_list.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using TBytes = std::vector<uint8_t>;

const char* const Shadow = "塗り（陰影）";
const char* const Bevel = "ベベル（照明）";
const char* const Blur = "塗り(ボカシ)";

int32_t I32At(const TBytes& B, size_t Off)
{
    int32_t V;
    std::memcpy(&V, B.data() + Off, 4);
    return V;
}

// A length-prefixed string of raw (CP932) bytes.
void PutRaw(TBytes& B, const std::string& Raw)
{
    PutI32(B, int32_t(Raw.size()));
    B.insert(B.end(), Raw.begin(), Raw.end());
}

// The offset of the first length-prefixed string at or after From whose text
// (display part) is Text; npos when there is none.
size_t FindString(const TBytes& B, const std::string& Utf8, size_t From = 0)
{
    const std::string Want = Utf8ToCp932(Utf8);
    for (size_t I = From; I + 4 <= B.size(); ++I) {
        const int32_t L = I32At(B, I);
        if (L < int32_t(Want.size()) || L > 1000 || I + 4 + size_t(L) > B.size())
            continue;
        const std::string Text(B.begin() + long(I + 4), B.begin() + long(I + 4 + size_t(L)));
        if (Text.compare(0, Want.size(), Want) == 0 && (Text.size() == Want.size() || Text[Want.size()] == '|'))
            return I;
    }
    return std::string::npos;
}

// The stored value after the pair caption Caption (display part) of the
// macro named Macro; npos when there is none.
size_t ValueOffset(const TBytes& B, const std::string& Macro, const std::string& Caption)
{
    const size_t Name = FindString(B, Macro);
    EXPECT_NE(Name, std::string::npos) << Macro;
    const size_t At = Name == std::string::npos ? Name : FindString(B, Caption, Name);
    EXPECT_NE(At, std::string::npos) << Caption;
    return At == std::string::npos ? At : At + 4 + size_t(I32At(B, At));
}

std::string StoredValue(const TBytes& B, const std::string& Macro, const std::string& Caption)
{
    const size_t At = ValueOffset(B, Macro, Caption);
    if (At == std::string::npos || At + 4 > B.size())
        return "(not stored)";
    return Cp932ToUtf8(std::string(B.begin() + long(At + 4), B.begin() + long(At + 4 + size_t(I32At(B, At)))));
}

// Replaces the string at Offset with Raw, keeping the file's first chunk
// length in step.
void ReplaceString(TBytes& B, size_t Offset, const std::string& Raw)
{
    const int32_t Old = I32At(B, Offset);
    TBytes New;
    PutRaw(New, Raw);
    B.erase(B.begin() + long(Offset), B.begin() + long(Offset + 4 + size_t(Old)));
    B.insert(B.begin() + long(Offset), New.begin(), New.end());
    const int32_t Chunk = I32At(B, 10) + int32_t(Raw.size()) - Old;
    std::memcpy(B.data() + 10, &Chunk, 4);
}

// Records every message box.
class TBoxes {
public:
    TBoxes()
    {
        FOld = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Texts.push_back(Text);
            return IDOK;
        });
    }
    ~TBoxes() { SetMessageBoxHandler(FOld); }
    TBoxes(const TBoxes&) = delete;
    TBoxes& operator=(const TBoxes&) = delete;
    std::vector<std::string> Texts;

private:
    TMessageBoxHandler FOld;
};

// The values of every parameter of Macro whose caption's display part is
// Caption.
std::set<std::string> ValuesOf(const TMacro& Macro, const std::string& Caption)
{
    std::set<std::string> Values;
    for (int32_t L = 0; L < Macro.LineCount(); ++L)
        for (const TMacroParam& P : Macro.Line(L).Params)
            if (P.Caption && DisplayPart(*P.Caption) == Caption)
                Values.insert(P.Value.value_or("(nil)"));
    return Values;
}

// ---------------------------------------------------------------- version 5

// A macro as version 5 stored it: its name, then its lines - here the
// library macro Lines' lines, each value through Value(line, parameter,
// caption, value) as raw CP932 bytes.
using TValueOf = std::function<std::string(int32_t, size_t, const std::string&, const std::string&)>;

// Line(line, function, count, result) may change a line's head; a smaller
// count stores that many parameters.
using TLineOf = std::function<void(int32_t, std::string&, int32_t&, std::string&)>;

TBytes MacroV5(const std::string& Name, const TMacro& Lines, const TValueOf& Value,
               const TValueOf& Caption = nullptr, const TLineOf& LineOf = nullptr)
{
    TBytes B;
    PutStr(B, Name);
    PutI32(B, Lines.LineCount());
    for (int32_t L = 0; L < Lines.LineCount(); ++L) {
        const TMacroLine& Line = Lines.Line(L);
        std::string Function = Line.FunctionName;
        std::string Result = Line.ResultName;
        int32_t Count = int32_t(Line.Params.size());
        if (LineOf)
            LineOf(L, Function, Count, Result);
        PutStr(B, Function);
        PutI32(B, Count);
        PutStr(B, Result);
        for (size_t P = 0; P < Line.Params.size() && P < size_t(Count); ++P) {
            const std::string C = Line.Params[P].Caption.value_or("");
            const std::string V = Line.Params[P].Value.value_or("");
            PutRaw(B, Value(L, P, DisplayPart(C), Utf8ToCp932(V)));
            PutRaw(B, Caption ? Caption(L, P, C, Utf8ToCp932(C)) : Utf8ToCp932(C));
        }
    }
    return B;
}

const TMacro& Library(const char* Name)
{
    const TMacro* M = TMacro::FindInLibrary(Name);
    EXPECT_NE(M, nullptr) << Name;
    return *M;
}

// The value of a parameter as stored, the user's caption's one replaced.
TValueOf Replace(const std::string& Caption, const std::string& Raw)
{
    return [=](int32_t, size_t, const std::string& C, const std::string& V) { return C == Caption ? Raw : V; };
}

TValueOf ReplaceAt(int32_t Line, size_t Param, const std::string& Raw)
{
    return [=](int32_t L, size_t P, const std::string&, const std::string& V) {
        return L == Line && P == Param ? Raw : V;
    };
}

struct HostileMacroDocuments : ::testing::Test {
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Catalogue;

    static TPage& PageOf(TOLEDocumentWex& Doc) { return *static_cast<TPage*>(Doc.GetPage(0)); }

    static TBytes Save(TOLEDocumentWex& Doc)
    {
        TMemoryStream S;
        Doc.SaveToStream(S);
        return Bytes(S);
    }

    // The program's own document: a filled rectangle with the three effects.
    static TBytes Made()
    {
        TOLEDocumentWex Doc(nullptr, nullptr);
        TPage& Page = *static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page.SetPageSize(200, 150);
        auto Rect = std::make_unique<TRectObj>(&Page, -1);
        Rect->SetFrame(40, 30, 120, 90);
        Rect->Macros().Clear();
        for (const char* Name : {Shadow, Bevel, Blur}) {
            auto M = std::make_unique<TMacro>();
            EXPECT_TRUE(M->LoadFromLibrary(Name));
            Rect->Macros().Add(std::move(M));
        }
        Rect->SetFillPath(1);
        Page.RootGroup().AddChild(std::move(Rect), -1);
        return Save(Doc);
    }

    // Opens File, renders it at normal and low quality and checks it holds;
    // returns the rectangle's macros through Check and the saved bytes.
    static TBytes OpenAndRender(const TBytes& File, const std::function<void(const TMacros&)>& Check)
    {
        TBoxes Boxes;
        TOLEDocumentWex Doc(nullptr, nullptr);
        TMemoryStreamWex S;
        S.SetPointer(File.data(), int64_t(File.size()));
        EXPECT_NO_THROW(Doc.LoadFromStream(S));
        if (Doc.GetPageCount() != 1 || PageOf(Doc).RootGroup().GetCount() != 1) {
            ADD_FAILURE() << "no rectangle";
            return {};
        }
        TPage& Page = PageOf(Doc);
        auto* Rect = dynamic_cast<TDrawObject*>(Page.RootGroup().GetItem(0));
        EXPECT_NE(Rect, nullptr);
        if (!Rect)
            return {};
        EXPECT_TRUE(Page.RootGroup().ValuesDrawable(72));
        Check(Rect->Macros());
        TSilentFormDoc View;
        Page.AddForm(&View);
        for (uint8_t Mode : {uint8_t(3), uint8_t(1)})
            EXPECT_NO_THROW(Page.RenderInMode(Mode)) << int(Mode);
        Page.RemoveForm(&View);
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>());
        return Save(Doc);
    }
};

} // namespace

TEST_F(HostileMacroDocuments, OpenHeldRenderAndSaveTheHeldValue)
{
    const TBytes Original = Made();
    const std::string Lights = *Library(Bevel).Line(Library(Bevel).LineCount() - 1).Params[3].Value;
    struct Row {
        const char* Macro;
        const char* Caption;
        std::string Stored; // raw CP932 bytes
        std::string Held;
    };
    const std::vector<Row> Rows = {
        {Shadow, "影のずらし量(X)", "nan", "4"},
        {Shadow, "影のずらし量(X)", "inf", "4"},
        {Shadow, "影のずらし量(X)", "-inf", "4"},
        {Shadow, "影のずらし量(X)", "1e308", "4"},
        {Shadow, "影のずらし量(X)", std::string(400, '7'), "4"},
        {Shadow, "影のずらし量(X)", "\x81", "4"},
        {Shadow, "影のずらし量(X)", "", "4"},
        {Shadow, "影のボカシ量", "nan", "2"},
        {Bevel, "斜辺の幅", "nan", "4"},
        {Bevel, "斜辺の幅", "inf", "4"},
        {Bevel, "斜辺の幅", std::string(400, '7'), "4"},
        {Bevel, "斜辺の幅", "\x81", "4"},
        {Bevel, "反射率", "\x81\x40", "30"},
        {Blur, "ボカシ量", "\x81", "0"},
        {Blur, "描画方法", "フィルタ", "通常"},
        {Blur, "塗りつぶし指定", "", "プロパティ指定"},
        {Shadow, "線種", "nan,0,1.00", "-1,0,1.00"},
        {Shadow, "線種", "2,99999,1.00", "2,512,1.00"},
        {Shadow, "線種", "1e308,0,1.00", "-1,0,1.00"},
        {Shadow, "塗り方法", "411,0,0,0,0,0,-1,99999,-1", "411,0,0,0,0,0,-1,1,1"},
        {Shadow, "塗り方法", "1\x81", "1B06000"},
        {Bevel, "照明設定", "nan", Lights},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE("row " + std::to_string(&R - Rows.data()) + ": " + R.Macro + " " + R.Caption);
        TBytes File = Original;
        ReplaceString(File, ValueOffset(File, R.Macro, R.Caption), R.Stored);
        const TBytes Saved = OpenAndRender(File, [&](const TMacros& Macros) {
            for (int32_t M = 0; M < Macros.Count(); ++M) {
                if (Macros.GetMacro(M)->Name() == R.Macro) {
                    EXPECT_EQ(ValuesOf(*Macros.GetMacro(M), R.Caption), std::set<std::string>{R.Held});
                }
            }
        });
        if (!Saved.empty()) {
            EXPECT_EQ(StoredValue(Saved, R.Macro, R.Caption), R.Held);
        }
    }
}

// The enabled byte is on or off; a pair whose caption names no user
// parameter would set the library's internal values, and is passed over.
TEST_F(HostileMacroDocuments, FlagsAndInternalCaptions)
{
    const TBytes Original = Made();
    TBytes File = Original;
    const size_t Name = FindString(File, Bevel);
    const size_t Enabled = Name + 4 + size_t(I32At(File, Name));
    ASSERT_EQ(File[Enabled], 1);
    File[Enabled] = 255;
    TBytes Saved = OpenAndRender(File, [&](const TMacros& Macros) { EXPECT_EQ(Macros.GetMacro(1)->Enabled(), 1); });
    ASSERT_FALSE(Saved.empty());
    EXPECT_EQ(Saved[FindString(Saved, Bevel) + 4 + size_t(I32At(Saved, FindString(Saved, Bevel)))], 1);

    for (const std::string Caption : {"", "*Primary", "|0,1", "*Primary|0,1"}) {
        SCOPED_TRACE(Caption);
        File = Original;
        const size_t At = ValueOffset(File, Blur, "不透明度");
        ReplaceString(File, At, "Shape");
        ReplaceString(File, FindString(File, "不透明度", FindString(File, Blur)), Caption);
        Saved = OpenAndRender(File, [&](const TMacros& Macros) {
            EXPECT_TRUE(Macros.GetMacro(2)->Equals(Library(Blur)));
        });
        if (!Saved.empty()) {
            EXPECT_EQ(StoredValue(Saved, Blur, "不透明度"), "100");
        }
    }
}

// Version 5: the macros carry their lines. A save writes the current form,
// which reopens with the library's lines: the document shows those from the
// start, the stored lines giving the user's values by caption, held to the
// library's ranges; the stored internal values are not taken.
TEST_F(HostileMacroDocuments, Version5MacrosWithTheirOwnLines)
{
    const auto LibraryValue = [](const char* Macro, int32_t Line, size_t Param) {
        return *Library(Macro).Line(Line).Params[Param].Value;
    };
    struct Row {
        const char* Stored;     // the name the file gives
        const char* Lines;      // the library macro whose lines it carries
        TValueOf Value;
        TValueOf Caption;
        int32_t Line;           // the parameter that is checked
        size_t Param;
        std::string Held;
        const char* SavedCaption; // saved as a user value; nil: not saved
    };
    const std::vector<Row> Rows = {
        // Old names, renamed to the library's on reading.
        {"塗り(影)", Shadow, Replace("影のずらし量(X)", "nan"), nullptr, 3, 2, "4", "影のずらし量(X)"},
        {"塗り(影)", Shadow, Replace("影のずらし量(X)", "\x81"), nullptr, 3, 2, "4", "影のずらし量(X)"},
        {"ベベル", Bevel, Replace("斜辺の幅", "nan"), nullptr, 3, 3, "4", "斜辺の幅"},
        {"塗り", Blur, Replace("ボカシ量", "nan"), nullptr, 3, 3, "0", "ボカシ量"},
        // Internal values: NilPlaneLevel's input minimum of ベベル, the
        // blur of 塗り(ボカシ) - the library's, whatever the file holds.
        {"ベベル", Bevel, ReplaceAt(4, 2, "nan"), nullptr, 4, 2, LibraryValue(Bevel, 4, 2), nullptr},
        {"ベベル", Bevel, ReplaceAt(4, 2, "1000000"), nullptr, 4, 2, LibraryValue(Bevel, 4, 2), nullptr},
        {"ベベル", Bevel, ReplaceAt(4, 2, "200"), nullptr, 4, 2, LibraryValue(Bevel, 4, 2), nullptr},
        {"塗り", Blur, ReplaceAt(3, 2, "中間"), nullptr, 3, 2, LibraryValue(Blur, 3, 2), nullptr},
        // A range the file gives a user caption is no range of the
        // library's parameter, nor saved.
        {"塗り", Blur, Replace("ボカシ量", "1000000"),
         [](int32_t, size_t, const std::string& C, const std::string& Raw) {
             return DisplayPart(C) == "ボカシ量" ? Utf8ToCp932("ボカシ量|0,1000000,0,100") : Raw;
         },
         3, 3, "1000", "ボカシ量"}, // the library's range ends at 1000
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE("row " + std::to_string(&R - Rows.data()) + ": " + R.Stored);
        const TBytes Macro = MacroV5(R.Stored, Library(R.Lines), R.Value, R.Caption);
        const TBytes File = HandMadeFile(5, PageRecord(5, 200, 150, 0xFFFFFF, 72, RectV5({Macro}), 1));
        const TBytes Saved = OpenAndRender(File, [&](const TMacros& Macros) {
            ASSERT_EQ(Macros.Count(), 1);
            const TMacro& Read = *Macros.GetMacro(0);
            ASSERT_EQ(Read.LineCount(), Library(R.Lines).LineCount());
            EXPECT_EQ(Read.Line(R.Line).Params[R.Param].Value, R.Held);
            if (R.SavedCaption) {
                EXPECT_EQ(ValuesOf(Read, R.SavedCaption), std::set<std::string>{R.Held});
            }
        });
        if (R.SavedCaption && !Saved.empty()) {
            EXPECT_EQ(StoredValue(Saved, Library(R.Lines).Name(), R.SavedCaption), R.Held);
            EXPECT_EQ(FindString(Saved, "ボカシ量|0,1000000,0,100"), std::string::npos);
        }
    }
}

// What a version-5 document shows is what its save opens with, also where
// the stored lines are not the library's lines of that name.
TEST_F(HostileMacroDocuments, Version5SaveReopensAsShown)
{
    const auto Open = [](const TBytes& File) {
        auto Doc = std::make_unique<TOLEDocumentWex>(nullptr, nullptr);
        TMemoryStreamWex S;
        S.SetPointer(File.data(), int64_t(File.size()));
        EXPECT_NO_THROW(Doc->LoadFromStream(S));
        return Doc;
    };
    struct Row {
        const char* Stored;
        const char* Lines;
        TValueOf Value;
    };
    const std::vector<Row> Rows = {
        {"塗り(影)", Shadow, Replace("影のずらし量(X)", "7")},
        {"塗り(影)", Bevel, Replace("斜辺の幅", "9")},   // ベベル's lines under 塗り（陰影）'s name
        {"塗り", Shadow, Replace("影のずらし量(X)", "7")},
        {"ベベル", Bevel, ReplaceAt(4, 2, "200")},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE("row " + std::to_string(&R - Rows.data()));
        const TBytes File =
            HandMadeFile(5, PageRecord(5, 200, 150, 0xFFFFFF, 72, RectV5({MacroV5(R.Stored, Library(R.Lines), R.Value)}), 1));
        const auto First = Open(File);
        ASSERT_EQ(First->GetPageCount(), 1);
        const auto Second = Open(Save(*First));
        ASSERT_EQ(Second->GetPageCount(), 1);
        const auto MacrosOf = [](TOLEDocumentWex& Doc) -> const TMacros& {
            return dynamic_cast<TDrawObject&>(*PageOf(Doc).RootGroup().GetItem(0)).Macros();
        };
        ASSERT_EQ(MacrosOf(*First).Count(), 1);
        ASSERT_EQ(MacrosOf(*Second).Count(), 1);
        EXPECT_TRUE(MacrosOf(*First).GetMacro(0)->Equals(*MacrosOf(*Second).GetMacro(0)));
        EXPECT_EQ(MacrosOf(*First).GetMacro(0)->Line(0).FunctionName,
                  Library(MigrateMacroName(R.Stored, 5).c_str()).Line(0).FunctionName);
    }
}

// A version-5 macro the library lacks, or whose stored lines could not run,
// would be saved in a form that never opens again: the document is refused
// whole, with one message, and the document keeps what it had.
TEST_F(HostileMacroDocuments, Version5MacrosTheReaderCannotKeepAreRefused)
{
    const auto Rename = [](int32_t Line, const char* Function) -> TLineOf {
        return [=](int32_t L, std::string& F, int32_t&, std::string&) {
            if (L == Line)
                F = Function;
        };
    };
    const TValueOf Same = [](int32_t, size_t, const std::string&, const std::string& V) { return V; };
    struct Row {
        const char* Stored;
        const char* Lines;
        TLineOf LineOf;
        std::string Message;
    };
    const std::string BlurDamaged = std::string("マクロ\"") + Blur + "\"は壊れているため読み込めません";
    const std::vector<Row> Rows = {
        {"旧ボカシ", Blur, nullptr, "\"旧ボカシ\"は登録されていません"},
        {"(旧)かすれ2", Blur, nullptr, "\"(旧)かすれ2\"は登録されていません"},
        {"塗り", Blur, Rename(3, "NoSuchFunction"), BlurDamaged},
        {"塗り", Blur,
         [](int32_t L, std::string&, int32_t& Count, std::string&) {
             if (L == 3)
                 --Count;
         },
         BlurDamaged},
        {"塗り", Blur,
         [](int32_t L, std::string&, int32_t&, std::string& Result) {
             if (L == 0)
                 Result.clear();
         },
         BlurDamaged},
    };
    for (const Row& R : Rows) {
        SCOPED_TRACE("row " + std::to_string(&R - Rows.data()) + ": " + R.Stored);
        const TBytes File = HandMadeFile(
            5, PageRecord(5, 200, 150, 0xFFFFFF, 72, RectV5({MacroV5(R.Stored, Library(R.Lines), Same, nullptr, R.LineOf)}), 1));
        TBoxes Boxes;
        TOLEDocumentWex Doc(nullptr, nullptr);
        TMemoryStreamWex S;
        S.SetPointer(File.data(), int64_t(File.size()));
        EXPECT_EQ(MessageOf<EUserError>([&] { Doc.LoadFromStream(S); }), R.Message);
        EXPECT_EQ(Doc.GetPageCount(), 0);
        EXPECT_FALSE(Doc.Modified());
        EXPECT_EQ(Boxes.Texts, std::vector<std::string>());
    }
}

// A paint style reaches an object as a whole: one value its parameter would
// refuse - one that does not keep the object from drawing too - changes
// nothing and records nothing; a stored enabled byte is on or off.
TEST_F(HostileMacroDocuments, AStyleWithAValueTheObjectRefusesChangesNothing)
{
    TOLEDocumentWex Doc(nullptr, nullptr);
    TPage& Page = *static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
    Page.SetPageSize(200, 150);
    auto Owned = std::make_unique<TRectObj>(&Page, -1);
    TRectObj& Rect = *Owned;
    Rect.SetFrame(40, 30, 120, 90);
    Page.RootGroup().AddChild(std::move(Owned), -1);
    const TBytes Before = StateOf(Rect);
    const auto Style = [](const std::string& Caption, const std::string& Value) {
        TMacros Macros;
        for (const char* Name : {Shadow, Blur}) {
            auto M = std::make_unique<TMacro>();
            EXPECT_TRUE(M->LoadFromLibrary(Name));
            Macros.Add(std::move(M));
        }
        Macros.GetMacro(0)->SetParamValue(Caption, Value);
        Macros.GetMacro(0)->SetEnabled(255);
        auto S = std::make_unique<TMemoryStream>();
        Macros.WriteToStream(*S);
        S->SetPosition(0);
        return S;
    };
    TBoxes Boxes;
    THistoryCommand& H = *Doc.History();
    struct Row {
        const char* Caption;
        const char* Value;
    };
    for (const Row& R : {Row{"線種", "2,99999,1.00"}, Row{"線種", "nan,0,1.00"}, Row{"塗り方法", "411,0,0,0,0,0,-1,0,-1"},
                         Row{"影のずらし量(X)", "nan"}}) {
        SCOPED_TRACE(R.Value);
        const auto S = Style(R.Caption, R.Value);
        H.CommandStart("描画スタイルの読み込み");
        EXPECT_EQ(MessageOf<Exception>([&] { TDrawItem::SetFMacros(Rect, *S); }),
                  std::string(R.Caption) + " の値は読み込めないか、範囲外のため、設定できません。");
        H.CommandEnd();
        EXPECT_EQ(StateOf(Rect), Before);
        EXPECT_FALSE(H.CanUndo());
    }
    const auto Good = Style("線種", "2,4096,1.00");
    H.CommandStart("描画スタイルの読み込み");
    TDrawItem::SetFMacros(Rect, *Good);
    H.CommandEnd();
    ASSERT_EQ(Rect.Macros().Count(), 2);
    EXPECT_EQ(Rect.Macros().GetMacro(0)->Enabled(), 1);
    EXPECT_EQ(ValuesOf(*Rect.Macros().GetMacro(0), "線種"), std::set<std::string>{"2,4096,1.00"});
    H.Undo();
    EXPECT_EQ(StateOf(Rect), Before);
    EXPECT_EQ(Boxes.Texts, std::vector<std::string>());
}
