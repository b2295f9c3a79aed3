// Draw items on the clipboard holding values the page cannot draw (frames
// at the ends of int32, sides of zero, below zero or past any page, a
// character size below zero) are refused whole by every paste road, with
// the one message, the document's bytes and history as they were; a sound
// paste still works; the status line's centre cannot overflow.
#include "child_test_support.h"
#include "macro_page_test_link.h"
#include "shell_test_support.h"

#include "editors/frm_gradation.h"
#include "editors/frm_light.h"
#include "editors/macro_paint_page.h"
#include "foundation/stream_text.h"
#include "model/clipboard_service.h"
#include "model/poly_line_obj.h"
#include "model/text_object.h"
#include "model/layer.h"
#include "paint/fill_value.h"
#include "paint/light_set.h"
#include "paint/macro_list.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "store/picture_store.h"
#include "ui/ctrl_grid_tav.h"
#include "ui/draw_item_clipboard.h"
#include "ui/ole2_gradation.h"
#include "ui/ole2_light.h"
#include "ui/ole_qt_bridge.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QPushButton>

#include <functional>

namespace {

using TBuild = std::function<void(TPage&)>;

TBuild Rect(int32_t X, int32_t Y, int32_t W, int32_t H)
{
    return [=](TPage& P) {
        auto R = std::make_unique<TRectObj>(&P, -1);
        R->SetFrame(X, Y, W, H);
        P.RootGroup().AddChild(std::move(R), -1);
    };
}

// The clipboard text a copy of the items Build makes writes.
std::string Copied(const TBuild& Build)
{
    TOLEDocumentWex Doc(nullptr, nullptr);
    auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
    Page->SetPageSize(100, 100);
    Build(*Page);
    auto* Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
    for (int32_t I = 0; I < Page->RootGroup().GetCount(); ++I)
        Sel->AddItem(Page->RootGroup().GetItem(I));
    return CopiedText(*Sel);
}

struct THostile {
    const char* Name;
    TBuild Build;
};

const std::vector<THostile>& HostileItems()
{
    static const std::vector<THostile> Cases = {
        {"frame at the ends of int32", Rect(2147483600, 2147483600, 2147483647, 2147483647)},
        {"two thousand million wide", Rect(0, 5, 2000000000, 10)},
        {"negative width", Rect(0, 5, -20, 10)},
        {"zero height", Rect(0, 5, 20, 0)},
        {"far beyond any page", Rect(MaxItemReach, 5, 20, 10)},
        {"right edge one past the reach", Rect(1, 5, MaxItemReach, 10)},
        {"a sound one and one past the reach", [](TPage& P) {
             Rect(0, 5, 20, 10)(P);
             Rect(-MaxItemReach - 1, 5, 20, 10)(P);
         }},
        {"polyline point far out", [](TPage& P) {
             auto L = std::make_unique<TPolyLineObj>(&P, -1);
             TrecPath Path;
             RecPolyLineSetCount(Path, 2);
             Path.Points = {{0, 0}, {5, MaxItemReach + 1}};
             Path.pabType = {PT_MOVETO, PT_LINETO};
             L->SetPathRecord(Path);
             P.RootGroup().AddChild(std::move(L), -1);
         }},
        {"character size -5", [](TPage& P) {
             auto T = std::make_unique<TTextObj>(&P, -1);
             T->SetText("ab");
             T->SetPosition(10, 10);
             T->RichText().Styles.GetItem(1)->Attr.Size = -5;
             P.RootGroup().AddChild(std::move(T), -1);
         }},
    };
    return Cases;
}

// A rectangle painted by the catalogue's Macro, its parameter Caption set
// (unchecked, as a text from outside may hold it) to Value.
TBuild PaintedRect(const char* Macro, const char* Caption, const std::string& Value, int32_t W = 20, int32_t H = 10)
{
    return [=](TPage& P) {
        auto R = std::make_unique<TRectObj>(&P, -1);
        R->SetFrame(0, 5, W, H);
        R->Macros().Clear();
        R->Macros().Add(TTestMacroLibrary::Get(Macro));
        R->Macros().GetMacro(0)->SetParamValue(Caption, Value);
        P.RootGroup().AddChild(std::move(R), -1);
    };
}

// Values no parameter takes, and a frame larger than any picture; each
// made under the catalogue's libraries.
const std::vector<THostile>& HostileValues()
{
    static const std::vector<THostile> Cases = {
        {"反射率 below its range", PaintedRect("エンボス（照明）", "反射率", "-7")},
        {"照明設定 cut short", PaintedRect("エンボス（照明）", "照明設定", "8,FFFFFF60,20")},
        {"塗り方法 of no kind", PaintedRect("塗り(ボカシ)", "塗り方法", "0000255,0,0")},
        {"99999 x 99999 frame", PaintedRect("エンボス（照明）", "反射率", "50", 99999, 99999)},
        {"16384 x 16384 frame turned by 0.5", [](TPage& P) {
             PaintedRect("エンボス（照明）", "反射率", "50", 16384, 16384)(P);
             auto* R = dynamic_cast<TRectObj*>(P.RootGroup().GetItem(0));
             R->DoSetItemAngle(0.5);
         }},
        {"polyline spanning 20000 x 20000", [](TPage& P) {
             auto L = std::make_unique<TPolyLineObj>(&P, -1);
             TrecPath Path;
             RecPolyLineSetCount(Path, 2);
             Path.Points = {{0, 0}, {20000, 20000}};
             Path.pabType = {PT_MOVETO, PT_LINETO};
             L->SetPathRecord(Path);
             P.RootGroup().AddChild(std::move(L), -1);
         }},
    };
    return Cases;
}

struct THistoryState {
    int32_t Start, End, No, RollEnd;
    std::string Undo;
    bool operator==(const THistoryState&) const = default;
};
THistoryState StateOf(const THistoryCommand& H)
{
    return {H.MenuStart(), H.MenuEnd(), H.MenuNo(), H.RollEnd(), H.UndoCaption()};
}

std::vector<uint8_t> DocBytes(TOLEDocumentWex& Doc)
{
    TMemoryStream S;
    Doc.SaveToStream(S);
    return Bytes(S);
}

struct PasteDrawableTest : ChildFormTest {
    TRealObjectTypes Types;
    TClipboardServiceQt Clipboard;
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBoxes;
    void SetUp() override
    {
        ChildFormTest::SetUp();
        SetClipboardService(&Clipboard);
        OldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t) {
            Boxes.push_back(Caption + ":" + Text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHandler(OldBoxes);
        SetClipboardService(nullptr);
        ChildFormTest::TearDown();
    }
    // A window holding one rectangle, added as one undo step.
    TfrmChild* OpenWithOneStep()
    {
        TfrmChild* W = Open(400, 300);
        THistoryCommand& H = *W->Document()->History();
        H.CommandStart("one");
        PageOf(W).RootGroup().AddChild(std::make_unique<TRectObj>(&PageOf(W), -1), -1);
        H.CommandEnd();
        return W;
    }
};

} // namespace

TEST_F(PasteDrawableTest, ItemsThePageCannotDrawAreRefusedByTheWindowsPaste)
{
    TfrmChild* W = OpenWithOneStep();
    THistoryCommand& H = *W->Document()->History();
    for (const THostile& C : HostileItems()) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(Copied(C.Build)));
        ASSERT_TRUE(ClipboardHasDrawItem()) << C.Name;
        const std::vector<uint8_t> Before = DocBytes(*W->Document());
        const THistoryState State = StateOf(H);
        Boxes.clear();
        W->actPasteExecute();
        EXPECT_EQ(Boxes, std::vector<std::string>{"エラー:クリップボードからの読み込みに失敗しました"}) << C.Name;
        EXPECT_EQ(DocBytes(*W->Document()), Before) << C.Name;
        EXPECT_EQ(StateOf(H), State) << C.Name;
        EXPECT_EQ(PageOf(W).RootGroup().GetCount(), 1) << C.Name;
    }
    // The dropped-text road and the selection's own paste refuse them too.
    for (const THostile& C : HostileItems()) {
        const std::vector<uint8_t> Before = DocBytes(*W->Document());
        Boxes.clear();
        W->PasteText(Copied(C.Build));
        EXPECT_EQ(Boxes, std::vector<std::string>{"エラー:データの読み込みに失敗しました"}) << C.Name;
        TMemoryStream S;
        const std::string Text = Copied(C.Build);
        S.Write(Text.data(), int32_t(Text.size()));
        S.SetPosition(0);
        auto* Sel = dynamic_cast<TSelectedObjects*>(PageOf(W).Selection());
        EXPECT_THROW(Sel->PasteCommand(S, true, "paste"), EUserError) << C.Name;
        EXPECT_EQ(DocBytes(*W->Document()), Before) << C.Name;
        EXPECT_EQ(H.UndoCaption(), "one") << C.Name;
    }
}

TEST_F(PasteDrawableTest, ASoundPasteStillWorks)
{
    TfrmChild* W = OpenWithOneStep();
    QGuiApplication::clipboard()->setText(QString::fromStdString(Copied(Rect(-MaxItemReach, 7, MaxItemReach, 1))));
    W->actPasteExecute();
    EXPECT_TRUE(Boxes.empty());
    ASSERT_EQ(PageOf(W).RootGroup().GetCount(), 2);
    auto* R = dynamic_cast<TRectObj*>(PageOf(W).RootGroup().GetItem(1));
    ASSERT_NE(R, nullptr);
    EXPECT_EQ((std::vector<int32_t>{R->X(), R->Y(), R->Width(), R->Height()}),
              (std::vector<int32_t>{-MaxItemReach, 7, MaxItemReach, 1}));
    EXPECT_EQ(W->Document()->History()->UndoCaption(), "貼り付け(&P)");
}

TEST_F(PasteDrawableTest, TheStatusCentreOfAFrameAtTheEndsOfInt32)
{
    TfrmChild* W = Open(400, 300);
    // Without fill styles: nothing is painted or measured.
    auto R = std::make_unique<TRectObj>(&PageOf(W), -1);
    R->Macros().Clear();
    R->SetFrame(2147483600, -2147483600, 2147483647, 2147483647);
    TDrawItem* Item = PageOf(W).RootGroup().AddChild(std::move(R), -1);
    auto* Sel = dynamic_cast<TSelectedObjects*>(PageOf(W).Selection());
    Sel->AddItem(Item);
    W->SelectionChanged(false);
    EXPECT_EQ(Frame.Status[1], "中心=(3221225423,-1073741777),回転角=0.0'");
}

// The frame's Ctrl+V reaches the active window's paste; a pasted item the
// panel cannot show is told once and ends nothing.
TEST_F(TFrameTest, CtrlVRefusesItemsThePageCannotDraw)
{
    TClipboardServiceQt Clipboard;
    SetClipboardService(&Clipboard);
    Start();
    Frame->actNewExecute(nullptr);
    Settle();
    TDocWindow* C = Frame->ActiveDocWindow();
    ASSERT_NE(C, nullptr);
    QWidget* Window = C->SubWindow()->widget();
    ASSERT_TRUE(ActivateAndWait(Frame.get()));
    const auto CtrlV = [&](const std::string& Text) {
        QGuiApplication::clipboard()->setText(QString::fromStdString(Text));
        Boxes.clear();
        QTest::keyClick(Window, Qt::Key_V, Qt::ControlModifier);
        Settle();
    };
    TOLEDocumentWex& Doc = *gDocuments->GetDocument(gDocuments->GetCount() - 1);
    const std::vector<uint8_t> Before = DocBytes(Doc);
    CtrlV(Copied(HostileItems().front().Build));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "クリップボードからの読み込みに失敗しました");
    EXPECT_EQ(DocBytes(Doc), Before);
    EXPECT_FALSE(Doc.History()->CanUndo());
    EXPECT_EQ(ActivePage()->RootGroup().GetCount(), 0);
    // A sound paste whose fill style the panel cannot show (no library
    // here holds it) is pasted; the panel's failure is told, the program
    // goes on.
    CtrlV(Copied(Rect(1, 2, 3, 4)));
    EXPECT_EQ(ActivePage()->RootGroup().GetCount(), 1);
    EXPECT_TRUE(Doc.History()->CanUndo());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "TfrmObjProperty.SetCgridQuickParam: MacroDef Not Found.");
    SetClipboardService(nullptr);
}

// Fill-macro values the parameter would refuse and frames larger than any
// picture are refused by the paste as a whole, with its one message, the
// bytes and history unchanged; checked against the library's captions, and
// against the item's own where no library holds the macro (a text from
// another installation). The sound value beside them pastes in both.
TEST_F(PasteDrawableTest, ValuesTheParameterRefusesAndHugeFramesAreRefused)
{
    std::vector<std::pair<std::string, std::string>> Texts;
    std::string Sound;
    {
        TCatalogueLibraries Catalogue;
        for (const THostile& C : HostileValues())
            Texts.emplace_back(C.Name, Copied(C.Build));
        Sound = Copied(PaintedRect("エンボス（照明）", "反射率", "50"));
    }
    TfrmChild* W = OpenWithOneStep();
    THistoryCommand& H = *W->Document()->History();
    const auto PasteAll = [&](const char* Where) {
        for (const auto& [Name, Text] : Texts) {
            SCOPED_TRACE(std::string(Where) + ": " + Name);
            QGuiApplication::clipboard()->setText(QString::fromStdString(Cp932ToUtf8(Text)));
            ASSERT_TRUE(ClipboardHasDrawItem());
            const std::vector<uint8_t> Before = DocBytes(*W->Document());
            const THistoryState State = StateOf(H);
            const int32_t Count = PageOf(W).RootGroup().GetCount();
            Boxes.clear();
            W->actPasteExecute();
            EXPECT_EQ(Boxes, std::vector<std::string>{"エラー:クリップボードからの読み込みに失敗しました"});
            EXPECT_EQ(DocBytes(*W->Document()), Before);
            EXPECT_EQ(StateOf(H), State);
            EXPECT_EQ(PageOf(W).RootGroup().GetCount(), Count);
        }
        SCOPED_TRACE(Where);
        QGuiApplication::clipboard()->setText(QString::fromStdString(Cp932ToUtf8(Sound)));
        const int32_t Count = PageOf(W).RootGroup().GetCount();
        Boxes.clear();
        W->actPasteExecute();
        EXPECT_EQ(PageOf(W).RootGroup().GetCount(), Count + 1);
        EXPECT_EQ(H.UndoCaption(), "貼り付け(&P)");
    };
    {
        TCatalogueLibraries Catalogue;
        PasteAll("with the library");
    }
    PasteAll("from another installation");
}

namespace {

// A shape whose record holds what a text from outside may: its stored
// record replaced and read back, as a reader takes it, not held.
template <class TShape, class TRec, size_t N>
TBuild ShapeWith(std::array<uint8_t, N> (*ToBytes)(const TRec&), std::function<void(TRec&)> Set)
{
    return [=](TPage& P) {
        TShape S(&P, -1);
        S.SetFrame(10, 10, 60, 40);
        S.SetParam(TRec{});
        TRec Rec = S.Param();
        Set(Rec);
        TMemoryStream M;
        S.WriteToStream(M);
        const auto B = ToBytes(Rec);
        M.SetPosition(M.Size() - int32_t(N));
        M.WriteBuffer(B.data(), int32_t(N));
        M.SetPosition(0);
        auto Item = DrawItemReadFromStreamNew(M, &P, nullptr, -1, DrawItemStreamVersion);
        // Added without its fill styles, which could not measure it.
        auto& Obj = dynamic_cast<TDrawObject&>(*Item);
        TMacros Styles;
        Styles.Assign(&Obj.Macros());
        Obj.Macros().Clear();
        P.RootGroup().AddChild(std::move(Item), -1);
        Obj.Macros().Assign(&Styles);
    };
}

TBuild Line(std::vector<uint8_t> Types, std::vector<uint8_t> Kinds = {})
{
    return [=](TPage& P) {
        auto L = std::make_unique<TPolyLineObj>(&P, -1);
        TrecPath Path;
        RecPolyLineSetCount(Path, int32_t(Types.size()));
        for (size_t I = 0; I < Types.size(); ++I)
            Path.Points[I] = {int32_t(10 + 20 * I), int32_t(I % 2 ? 50 : 10)};
        Path.pabType = Types;
        L->SetPathRecord(Path);
        for (size_t I = 0; I < Kinds.size(); ++I)
            L->SetNodeKindRaw(int32_t(I), Kinds[I]);
        P.RootGroup().AddChild(std::move(L), -1);
    };
}

// The "Tavro DrawItem" text of the items Build makes, written as a copy
// writes it (a copy would measure them first, which some cannot be).
std::string ItemsText(const TBuild& Build)
{
    TOLEDocumentWex Doc(nullptr, nullptr);
    auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
    Build(*Page);
    TMemoryStream S;
    StreamWriteln(S, "Tavro DrawItem");
    StreamWriteln(S, std::to_string(DrawItemStreamVersion));
    Page->RootGroup().WriteToStreamAsText(S);
    TListRecPict(nullptr).WriteToStreamAsText(S, nullptr);
    return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
}

// The first item's shape record, line types and node kinds, or the value of
// its fill macro's parameter Caption, as text.
std::string RectField(TPage& P) { return std::to_string(dynamic_cast<TRectObj&>(*P.RootGroup().GetItem(0)).Param().CornerRadius); }
const TrecPolygonParam& PolyOf(TPage& P) { return dynamic_cast<TPolygonObj&>(*P.RootGroup().GetItem(0)).Param(); }
const TrecStarParam& StarOf(TPage& P) { return dynamic_cast<TStarObj&>(*P.RootGroup().GetItem(0)).Param(); }
std::string LineField(TPage& P)
{
    auto& L = dynamic_cast<TPolyLineObj&>(*P.RootGroup().GetItem(0));
    std::string S;
    for (int32_t I = 0; I < L.PointCount(); ++I)
        S += std::to_string(L.GetPointType(I)) + "/" + std::to_string(L.GetNodeKind(I)) + " ";
    return S;
}
std::string ParamOf(TPage& P, const char* Caption)
{
    std::string V;
    dynamic_cast<TDrawObject&>(*P.RootGroup().GetItem(0)).Macros().GetMacro(0)->GetParamValue(Caption, V);
    return V;
}

// A gradation fill whose brightness scale is Scale percent.
std::string GradationText(int32_t Scale)
{
    TGradationObject G;
    G.bShape = GradShapeLinear;
    G.iOpacity = 255;
    G.iRepeatCount = 1;
    G.iX2 = 16384;
    G.SetColStop(0, 0xFF);
    G.SetColStop(1023, 0xFFFFFF);
    G.Adjust.iBrightScale = Scale;
    return G.GradationToStr();
}
std::string BrightScale(TPage& P)
{
    TFillValue F;
    StrToFillValue(ParamOf(P, "塗り方法"), F);
    return std::to_string(F.Gradation.Adjust.iBrightScale);
}
// A light set whose one light has Intensity and the set Shininess.
std::string LightText(int32_t Intensity, int32_t Shininess)
{
    return "10,FFFFFF90," + std::to_string(Shininess) + ",60,1,8,平行光源FFFFFF" + std::to_string(Intensity) +
           ",2,0.5,0.5,0.3,0.3,";
}

// Item added without its fill styles, which could not measure it.
void AddUnmeasured(TPage& P, std::unique_ptr<TDrawItem> Item)
{
    auto& Obj = dynamic_cast<TDrawObject&>(*Item);
    TMacros Styles;
    Styles.Assign(&Obj.Macros());
    Obj.Macros().Clear();
    P.RootGroup().AddChild(std::move(Item), -1);
    Obj.Macros().Assign(&Styles);
}

// A rectangle whose fields Set changes as a stored form may hold them.
struct TOpenRect : TRectObj {
    using TRectObj::TRectObj;
    using TRectObj::FbVisible;
    using TRectObj::FiLayerIndex;
    using TRectObj::FiWireframeColor;
    using TRectObj::FLayer;
    using TRectObj::FOutline;
};
TBuild OpenRect(std::function<void(TOpenRect&)> Set)
{
    return [=](TPage& P) {
        auto R = std::make_unique<TOpenRect>(&P, -1);
        R->SetFrame(10, 10, 60, 40);
        TOpenRect& Added = *R;
        AddUnmeasured(P, std::move(R));
        Set(Added);
    };
}
TBuild TextWith(std::function<void(TTextObj&)> Set)
{
    return [=](TPage& P) {
        auto T = std::make_unique<TTextObj>(&P, -1);
        T->SetText("ab");
        T->SetPosition(10, 10);
        Set(*T);
        AddUnmeasured(P, std::move(T));
    };
}
// The first item Build makes with line Line of its text form (from the end
// when negative) := Value, read back as a reader takes it.
TBuild WithLine(TBuild Build, int Line, std::string Value)
{
    return [=](TPage& P) {
        TOLEDocumentWex Doc(nullptr, nullptr);
        auto* Scratch = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Build(*Scratch);
        TMemoryStream S;
        Scratch->RootGroup().GetItem(0)->WriteToStreamAsText(S);
        std::vector<std::string> Lines;
        std::string Text(static_cast<const char*>(S.Memory()), size_t(S.Size()));
        for (size_t At = 0, End; (End = Text.find("\r\n", At)) != std::string::npos; At = End + 2)
            Lines.push_back(Text.substr(At, End - At));
        Lines[Line < 0 ? Lines.size() + Line : size_t(Line)] = Value;
        TMemoryStream T;
        for (const std::string& L : Lines)
            StreamWriteln(T, L);
        T.SetPosition(0);
        AddUnmeasured(P, DrawItemReadFromStreamAsTextNew(T, &P, nullptr, DrawItemStreamVersion));
    };
}
TTextObj& TextOf(TPage& P) { return dynamic_cast<TTextObj&>(*P.RootGroup().GetItem(0)); }
TRectObj& RectOf(TPage& P) { return dynamic_cast<TRectObj&>(*P.RootGroup().GetItem(0)); }

struct THostileValue {
    const char* Field;
    std::string Value;
    TBuild Build;
    std::function<std::string(TPage&)> Read; // the field as an opened document holds it
    std::string Held;                        // what it holds
    bool DocumentOnly = false;               // its paste was refused before
};

const std::vector<THostileValue>& HostileFields()
{
    using R = TrecRectParam;
    using G = TrecPolygonParam;
    using S = TrecStarParam;
    const auto Rect = [](auto Set) { return ShapeWith<TRectObj, R>(RectParamToBytes, Set); };
    const auto Poly = [](auto Set) { return ShapeWith<TPolygonObj, G>(PolygonParamToBytes, Set); };
    const auto Star = [](auto Set) { return ShapeWith<TStarObj, S>(StarParamToBytes, Set); };
    const auto Str = [](auto V) { return std::to_string(V); };
    static const std::vector<THostileValue> Cases = {
        {"角のR", "2147483647", Rect([](R& P) { P.CornerRadius = 2147483647; }), RectField, "32768"},
        {"角のR", "-2147483648", Rect([](R& P) { P.CornerRadius = -2147483647 - 1; }), RectField, "-32768"},
        {"角のR (polygon)", "2147483647", Poly([](G& P) { P.CornerSize = 2147483647; }),
         [=](TPage& P) { return Str(PolyOf(P).CornerSize); }, "32768"},
        {"振れ(径)", "2147483647", Poly([](G& P) { P.RadiusVariation = 2147483647; }),
         [=](TPage& P) { return Str(PolyOf(P).RadiusVariation); }, "100"},
        {"振れ(頂点) (polygon)", "-5", Poly([](G& P) { P.AngleVariation = -5; }),
         [=](TPage& P) { return Str(PolyOf(P).AngleVariation); }, "0"},
        {"角数 (polygon)", "2147483647", Poly([](G& P) { P.Count = 2147483647; }),
         [=](TPage& P) { return Str(PolyOf(P).Count); }, "10000"},
        {"凸角のR", "-2147483648", Star([](S& P) { P.Corner1 = -2147483647 - 1; }),
         [=](TPage& P) { return Str(StarOf(P).Corner1); }, "-32768"},
        {"凹角のR", "2147483647", Star([](S& P) { P.Corner2 = 2147483647; }),
         [=](TPage& P) { return Str(StarOf(P).Corner2); }, "32768"},
        {"振れ(頂点)", "2147483647", Star([](S& P) { P.AngleVariation = 2147483647; }),
         [=](TPage& P) { return Str(StarOf(P).AngleVariation); }, "100"},
        {"振れ(内径)", "-2147483648", Star([](S& P) { P.InnerVariation = -2147483647 - 1; }),
         [=](TPage& P) { return Str(StarOf(P).InnerVariation); }, "0"},
        {"振れ(外径)", "101", Star([](S& P) { P.OuterVariation = 101; }),
         [=](TPage& P) { return Str(StarOf(P).OuterVariation); }, "100"},
        {"内径", "1e300", Star([](S& P) { P.InnerRadius = 1e300; }),
         [=](TPage& P) { return Str(StarOf(P).InnerRadius); }, Str(1.0)},
        {"角数 (star)", "2", Star([](S& P) { P.Count = 2; }), [=](TPage& P) { return Str(StarOf(P).Count); }, "3"},
        {"second node's type", "255", Line({PT_MOVETO, 255, PT_LINETO}), LineField, "6/0 2/0 2/0 "},
        {"Bezier points not in threes", "6 4 4 2", Line({PT_MOVETO, PT_BEZIERTO, PT_BEZIERTO, PT_LINETO}),
         LineField, "6/0 2/0 2/0 2/0 "},
        {"a triple's first point closing", "6 5 4 4", Line({PT_MOVETO, PT_BEZIERTO | 1, PT_BEZIERTO, PT_BEZIERTO}),
         LineField, "6/0 4/0 4/0 4/0 "},
        {"node kind", "7", Line({PT_MOVETO, PT_LINETO}, {0, 7}), LineField, "6/0 2/0 "},
        {"明度倍率", "99999 %", PaintedRect("塗り(ボカシ)", "塗り方法", "20" + GradationText(99999)),
         BrightScale, "900"},
        {"照明設定 明るさ", "999", PaintedRect("エンボス（照明）", "照明設定", LightText(999, 30)),
         [](TPage& P) { return ParamOf(P, "照明設定"); }, LightText(100, 30)},
        {"照明設定 広がり", "0", PaintedRect("エンボス（照明）", "照明設定", LightText(44, 0)),
         [](TPage& P) { return ParamOf(P, "照明設定"); }, LightText(44, 1)},
        {"文字サイズ", "5000", TextWith([](TTextObj& T) { T.RichText().Styles.GetItem(0)->Attr.Size = 5000; }),
         [=](TPage& P) { return Str(TextOf(P).RichText().Styles.GetItem(0)->Attr.Size); }, "999", true},
        {"縦位置", "-2147483648",
         TextWith([](TTextObj& T) { T.RichText().Styles.GetItem(1)->Attr.Rise = -2147483647 - 1; }),
         [=](TPage& P) { return Str(TextOf(P).RichText().Styles.GetItem(1)->Attr.Rise); }, "-999", true},
        {"行間の規則", "7", TextWith([](TTextObj& T) { T.ParagraphStyle().FLineSpacingRule = 7; }),
         [=](TPage& P) { return Str(TextOf(P).ParagraphStyle().FLineSpacingRule); }, "0"},
        {"行間", "1e300", TextWith([](TTextObj& T) { T.ParagraphStyle().LineSpacing = 1e300; }),
         [=](TPage& P) { return Str(TextOf(P).ParagraphStyle().LineSpacing); }, Str(10.0)},
        {"行間の単位", "9", TextWith([](TTextObj& T) {
             T.ParagraphStyle().FLineSpacingRule = LineSpacingExactly;
             T.ParagraphStyle().SpacingUnit = 9;
         }),
         [=](TPage& P) { return Str(TextOf(P).ParagraphStyle().SpacingUnit); }, "0"},
        {"描画方法", "200", WithLine(TextWith([](TTextObj&) {}), -17, "200"),
         [=](TPage& P) { return Str(TextOf(P).PaintKind()); }, "2"},
        {"パス端から文字までの距離", "2147483647", WithLine(TextWith([](TTextObj&) {}), -9, "2147483647"),
         [=](TPage& P) { return Str(TextOf(P).Layout().Value1); }, "100000"},
        {"文字の高さ", "5000 %", OpenRect([](TOpenRect& O) {
             O.FOutline.FOutlineKind = 1;
             O.FOutline.Params.HeightScale = 50;
         }),
         [=](TPage& P) { return Str(RectOf(P).Outline().Params.HeightScale); }, Str(10.0)},
        {"半径", "NaN", OpenRect([](TOpenRect& O) {
             O.FOutline.FOutlineKind = OutlineKindArc;
             O.FOutline.Params.ArcFactor = std::nan("");
         }),
         [=](TPage& P) { return Str(RectOf(P).Outline().Params.ArcFactor); }, Str(0.5)},
        {"波数(上)", "-5", OpenRect([](TOpenRect& O) {
             O.FOutline.FOutlineKind = 5;
             O.FOutline.Params.TopArcCount = -5;
         }),
         [=](TPage& P) { return Str(RectOf(P).Outline().Params.TopArcCount); }, "0"},
        {"アウトラインの種類", "255", OpenRect([](TOpenRect& O) { O.FOutline.FOutlineKind = 255; }),
         [=](TPage& P) { return Str(RectOf(P).Outline().FOutlineKind); }, "0"},
        {"表示色", "0x7F123456", OpenRect([](TOpenRect& O) { O.FiWireframeColor = 0x7F123456; }),
         [=](TPage& P) { return Str(RectOf(P).WireframeColor()); }, Str(0x123456)},
        {"内部を塗り潰す", "7", OpenRect([](TOpenRect& O) { O.SetFillPath(7); }),
         [=](TPage& P) { return Str(RectOf(P).FillPath()); }, "1"},
        {"表示", "9", OpenRect([](TOpenRect& O) { O.FbVisible = 9; }),
         [=](TPage& P) { return Str(RectOf(P).Visible()); }, "1"},
        {"表示 (a line past a byte)", "256", WithLine(OpenRect([](TOpenRect&) {}), 4, "256"),
         [=](TPage& P) { return Str(RectOf(P).Visible()); }, "1"},
        {"太字", "7", TextWith([](TTextObj& T) { T.RichText().Styles.GetItem(0)->Attr.Bold = 7; }),
         [=](TPage& P) { return Str(int(TextOf(P).RichText().Styles.GetItem(0)->Attr.Bold)); }, "1"},
        {"名前", "254 bytes, あ, 44 bytes",
         WithLine(OpenRect([](TOpenRect&) {}), 2, std::string(254, 'a') + "\x82\xa0" + std::string(44, 'b')),
         [](TPage& P) { return RectOf(P).Name(); }, std::string(254, 'a')},
        {"レイヤ", "99", OpenRect([](TOpenRect& O) {
             O.FLayer = nullptr;
             O.FiLayerIndex = 99;
         }),
         [=](TPage& P) { return Str(RectOf(P).Layer()->Index); }, "0", true},
        {"ベベル形状", "255", Rect([](R& P) { P.Bevel = 255; }),
         [=](TPage& P) { return Str(RectOf(P).Param().Bevel); }, "1"},
        {"線種", "1000,0,1.00", PaintedRect("塗り(ボカシ)", "線種", "1000,0,1.00"),
         [](TPage& P) { return ParamOf(P, "線種"); }, "100,0,1.00", true},
        {"塗り方法 picture 99", "401,0,0,0,0,0,99,0,0", PaintedRect("塗り(ボカシ)", "塗り方法", "401,0,0,0,0,0,99,0,0"),
         [](TPage& P) { return ParamOf(P, "塗り方法"); }, "401,0,0,0,0,0,-1,0,0"},
    };
    return Cases;
}

enum class TRoad { Paste, Drop, Document, ValueMenu, FillEditor, LightEditor };
const char* const RoadNames[] = {"paste", "drop", "document", "value menu", "fill editor", "light editor"};

} // namespace

// The values of every field beyond its range, on every road they enter by:
// a paste (the window's Ctrl+V of a "Tavro DrawItem" text, a dropped text,
// a cell's value menu, the fill and light editors' 貼付け) is refused with
// that road's message and changes nothing; a document holding them opens
// with each brought into its range, drawn without a box.
TEST_F(PasteDrawableTest, ValuesBeyondTheirRangesAreRefusedOrBroughtIntoRange)
{
    const std::string Refused = "エラー:クリップボードからの読み込みに失敗しました";
    const std::string Dropped = "エラー:データの読み込みに失敗しました";
    const std::string GradRefused = std::string("警告:") + GradationPasteRefused;
    const std::string LightRefused = std::string("警告:") + LightPasteRefused;
    struct TRow {
        TRoad Road;
        size_t Hostile; // index into HostileFields()
        std::string Expect;
    };
    std::vector<TRow> Rows;
    for (size_t I = 0; I < HostileFields().size(); ++I) {
        if (!HostileFields()[I].DocumentOnly)
            Rows.push_back({TRoad::Paste, I, Refused});
        Rows.push_back({TRoad::Document, I, HostileFields()[I].Held});
    }
    for (size_t I : {0, 8, 13, 14, 17, 18})
        Rows.push_back({TRoad::Drop, I, Dropped});
    Rows.push_back({TRoad::ValueMenu, 17, GradRefused});
    Rows.push_back({TRoad::ValueMenu, 18, LightRefused});
    Rows.push_back({TRoad::FillEditor, 17, GradRefused});
    Rows.push_back({TRoad::LightEditor, 18, LightRefused});

    TCatalogueLibraries Catalogue;
    TfrmChild* W = OpenWithOneStep();
    TOLEDocumentWex& Doc = *W->Document();
    THistoryCommand& H = *Doc.History();
    for (const TRow& Row : Rows) {
        const THostileValue& C = HostileFields()[Row.Hostile];
        SCOPED_TRACE(std::string(RoadNames[int(Row.Road)]) + ": " + C.Field + " " + C.Value);
        const bool Grad = Row.Hostile == 17;
        const char* Caption = Grad ? "塗り方法" : "照明設定";
        Boxes.clear();
        if (Row.Road == TRoad::Document) {
            TOLEDocumentWex Source(nullptr, nullptr);
            auto* Page = static_cast<TPage*>(Source.AddPage(NewPageTPage(Source.History())));
            Page->SetPageSize(400, 300);
            C.Build(*Page);
            TMemoryStream S;
            Source.SaveToStream(S);
            S.SetPosition(0);
            Doc.LoadFromStream(S);
            W->pboxkClient->grab();
            EXPECT_EQ(C.Read(PageOf(W)), Row.Expect);
            EXPECT_EQ(Boxes, std::vector<std::string>{});
            EXPECT_FALSE(Doc.Modified());
            continue;
        }
        // The value menu's cell: the first item painted by the effect.
        auto* Item = dynamic_cast<TDrawObject*>(PageOf(W).RootGroup().GetItem(0));
        ASSERT_NE(Item, nullptr);
        if (Row.Road == TRoad::ValueMenu) {
            Item->Macros().Clear();
            Item->Macros().Add(TTestMacroLibrary::Get(Grad ? "塗り(ボカシ)" : "エンボス（照明）"));
        }
        const std::vector<uint8_t> Before = DocBytes(Doc);
        const THistoryState State = StateOf(H);
        const auto Offer = [&] {
            if (Grad)
                OleSetClipboard(MakeCom<TDataObjectGradation>(GradationClipboardHeader + GradationText(99999)).Get());
            else
                OleSetClipboard(MakeCom<TLightDataObject>(LightClipboardHeader + LightText(999, 30)).Get());
        };
        if (Row.Road == TRoad::Paste) {
            QGuiApplication::clipboard()->setText(QString::fromStdString(Cp932ToUtf8(ItemsText(C.Build))));
            ASSERT_TRUE(ClipboardHasDrawItem());
            W->actPasteExecute();
        } else if (Row.Road == TRoad::Drop) {
            W->PasteText(ItemsText(C.Build));
        } else if (Row.Road == TRoad::ValueMenu) {
            auto Buf = std::make_unique<TRectObj>(nullptr, -1);
            Buf->Macros().Assign(&Item->Macros());
            test_support::TMacroPageTestLink Link;
            Link.Item = Item;
            Link.Buf = Buf.get();
            Link.PageOf = &PageOf(W);
            TMacroPaintPage P(Link);
            P.SetCgridQuickParam();
            int Cell = -1;
            for (int R = 1; R <= P.cgridMacroPaint->ItemRows[0]; ++R)
                if (P.RowCaption(0, R).starts_with(Caption))
                    Cell = R;
            ASSERT_GT(Cell, 0);
            Offer();
            P.PopupValueMenu(1, Cell, QPoint(10, 10));
            ASSERT_TRUE(P.mitemBtnPaste->isEnabled());
            P.pMenuBtn->hide();
            P.mitemBtnPaste->trigger();
        } else if (Row.Road == TRoad::FillEditor) {
            TfrmGradation F(nullptr, &AppIniFile(), "4.0", "FlgGrad", "PosGrad", "DirGrph");
            F.SetUp("20" + GradationText(100), QPainterPath(), nullptr);
            Offer();
            F.sbtnGraPaste->click();
            EXPECT_EQ(F.Gradation().GradationToStr(), GradationText(100));
        } else {
            TfrmLight F(nullptr, &AppIniFile(), "4.0", "frmLight", "PosLight");
            F.ApplyLightText(LightText(44, 30));
            Offer();
            F.PasteLight();
            EXPECT_EQ(F.LightText(), LightText(44, 30));
        }
        EXPECT_EQ(Boxes, std::vector<std::string>{Row.Expect});
        EXPECT_EQ(DocBytes(Doc), Before);
        EXPECT_EQ(StateOf(H), State);
    }
}
