// Draw items on the clipboard holding values the page cannot draw (frames
// at the ends of int32, sides of zero, below zero or past any page, a
// character size below zero) are refused whole by every paste road, with
// the one message, the document's bytes and history as they were; a sound
// paste still works; the status line's centre cannot overflow.
#include "child_test_support.h"
#include "shell_test_support.h"

#include "model/clipboard_service.h"
#include "model/poly_line_obj.h"
#include "model/text_object.h"
#include "paint/macro_list.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "ui/draw_item_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>

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
TBuild PaintedRect(const char* Macro, const char* Caption, const char* Value, int32_t W = 20, int32_t H = 10)
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
    Frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Frame.get()));
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
