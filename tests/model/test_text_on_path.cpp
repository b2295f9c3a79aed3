// A text on a path stands as the document would be read back: while its path
// is gone (deleted, cut, its creation undone, its group deleted) the text is
// straight, exactly as a saved and reopened page shows it, and when the path
// comes back the text follows it again, the page's bytes exactly as before.
#include "object_test_support.h"

#include "foundation/app_environment.h"
#include "model/clipboard_service.h"
#include "model/page.h"
#include "model/selection_commands.h"
#include "platform/message_box.h"
#include "store/picture_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

class TPathDocument : public TPageDocumentLink {
public:
    void SetModified(bool) override {}
    TListRecPict* GetPictureStore() override { return &Store; }
    void AddForm(TOLEFormDoc*) override {}
    void RemoveForm(TOLEFormDoc*) override {}
    THistoryCommand History;
    TListRecPict Store{&History};
};

class TSilentClipboard : public TClipboardService {
public:
    bool OpenClipboard() override { return true; }
    void EmptyClipboard() override {}
    void SetClipboardStream(uint32_t, TMemoryStream&) override {}
    void CloseClipboard() override {}
};

// The first text of the tree, depth first; nil when there is none.
TTextObj* FirstText(TDrawGroup& Group)
{
    for (int32_t I = 0; I < Group.GetCount(); ++I) {
        TDrawItem* Item = Group.GetItem(I);
        if (auto* T = dynamic_cast<TTextObj*>(Item))
            return T;
        if (auto* G = dynamic_cast<TDrawGroup*>(Item))
            if (TTextObj* T = FirstText(*G))
                return T;
    }
    return nullptr;
}

struct TextOnPathTest : ::testing::Test {
    TPrivateFolders Folders;
    TRealObjectTypes Types;
    TSilentClipboard Clipboard;
    std::unique_ptr<TFileFonts> Fonts;
    TTextFontSource* OldFonts = nullptr;
    TMessageBoxHandler OldBoxes;
    std::vector<std::string> Boxes;
    std::unique_ptr<TPathDocument> Doc;
    std::unique_ptr<TPage> Page;
    TSelectedObjects* Sel = nullptr;
    bool Installed = false;

    void SetUp() override
    {
        if (!std::filesystem::exists(IpaGothic))
            GTEST_SKIP() << "font file " << IpaGothic << " is missing: run tools/setup";
        DiscardAppIniFile();
        Fonts = std::make_unique<TFileFonts>(std::vector<TFontSource>{IpaGothicSource()});
        OldFonts = SetTextFontSource(Fonts.get());
        SetClipboardService(&Clipboard);
        OldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
        SetPageSelectionFactory(&NewSelectedObjects);
        NewPage();
        Installed = true;
    }
    // An empty page of a new document.
    void NewPage()
    {
        Page.reset();
        Doc = std::make_unique<TPathDocument>();
        Page = std::make_unique<TPage>(&Doc->History);
        Page->SetDocument(Doc.get());
        Sel = dynamic_cast<TSelectedObjects*>(Page->Selection());
        ASSERT_NE(Sel, nullptr);
    }
    void TearDown() override
    {
        if (!Installed)
            return;
        Page.reset();
        Doc.reset();
        SetPageSelectionFactory(nullptr);
        SetMessageBoxHandler(OldBoxes);
        SetClipboardService(nullptr);
        SetTextFontSource(OldFonts);
        DiscardAppIniFile();
    }

    TDrawGroup& Root() { return Page->RootGroup(); }
    std::unique_ptr<TTextObj> NewText()
    {
        auto T = std::make_unique<TTextObj>(Page.get(), -1);
        T->SetText(Utf8ToCp932("Tavro文字"));
        TListCharStyle& S = T->RichText().Styles;
        for (int32_t I = 0; I < S.Count(); ++I)
            if (TCharStyle* C = S.GetItem(I))
                C->Attr = GothicAttr(30);
        T->SetPosition(40, 250);
        TrecTextParam L;
        L.Value1 = 10;
        L.Value2 = 4;
        TDrawItem::SetTextLayoutParam(*T, L);
        return T;
    }
    // A free-hand stroke: a wave from the left to the right of the page.
    std::unique_ptr<TPolyLineObj> NewStroke()
    {
        auto P = std::make_unique<TPolyLineObj>(Page.get(), -1);
        P->SetPathRecord(MakePath({{20, 120, PT_MOVETO},
                                   {90, 60, PT_LINETO},
                                   {160, 130, PT_LINETO},
                                   {230, 70, PT_LINETO},
                                   {330, 110, PT_LINETO}}));
        return P;
    }
    std::unique_ptr<TEllipseObj> NewEllipse()
    {
        auto E = std::make_unique<TEllipseObj>(Page.get(), -1);
        E->SetFrame(60, 40, 240, 160);
        return E;
    }
    // Links Text to Path as the window's command does.
    static void Link(TTextObj& Text, TDrawItem& Path)
    {
        Text.SetLinkedPath(&Path);
        Text.InvalidateTextPath(1);
    }
    void Select(const std::vector<TDrawItem*>& Items)
    {
        Sel->ClearSelection();
        for (TDrawItem* I : Items)
            Sel->AddItem(I);
    }
    std::vector<uint8_t> PageBytes()
    {
        TMemoryStream S;
        Page->WriteToStream(S);
        return Bytes(S);
    }
    // The glyph path of the page's text as it stands now.
    std::vector<TPoint> Glyphs()
    {
        TTextObj* T = FirstText(Root());
        return T ? PointsOf(T->GetPath()) : std::vector<TPoint>{};
    }
    // The glyph path of the text of the page written and read back, as a
    // saved document reopens it.
    std::vector<TPoint> ReopenedGlyphs()
    {
        TMemoryStream S;
        Page->WriteToStream(S);
        S.SetPosition(0);
        TPathDocument Other;
        TPage Read(&Other.History);
        Read.SetDocument(&Other);
        Read.ReadFromStream(S, PageStreamVersion);
        TTextObj* T = FirstText(Read.RootGroup());
        return T ? PointsOf(T->GetPath()) : std::vector<TPoint>{};
    }
};

} // namespace

// Each way the path leaves, then comes back and leaves again: the text
// always stands as the page read back shows it, and coming back gives the
// page's bytes and the bent glyphs of before exactly.
TEST_F(TextOnPathTest, TheTextStandsAsTheReadBackPageWhileItsPathIsGone)
{
    struct TCase {
        const char* Name;
        bool Ellipse;      // the path is an ellipse (else a stroke)
        bool InGroup;      // the path stands in a group with a rectangle
        bool ByCommand;    // the path is made by the creation command
        bool TextGoes;     // the text leaves the page too
        std::function<void(TextOnPathTest&, TTextObj*, TDrawItem*)> Leave;
        std::function<void(TextOnPathTest&)> Back, Again;
    };
    auto Undo = [](TextOnPathTest& F) { F.Doc->History.Undo(); };
    auto Redo = [](TextOnPathTest& F) { F.Doc->History.Redo(); };
    auto Twice = [](std::function<void(TextOnPathTest&)> Step) {
        return [Step](TextOnPathTest& F) {
            Step(F);
            Step(F);
        };
    };
    const TCase Cases[] = {
        {"delete the path", false, false, false, false,
         [](TextOnPathTest& F, TTextObj*, TDrawItem* P) {
             F.Select({P});
             F.Sel->DeleteCommand("削除");
         },
         Undo, Redo},
        {"cut the path", false, false, false, false,
         [](TextOnPathTest& F, TTextObj*, TDrawItem* P) {
             F.Select({P});
             F.Sel->CutToClipboard();
         },
         Undo, Redo},
        {"undo the path's creation", false, false, true, false,
         [](TextOnPathTest& F, TTextObj*, TDrawItem*) { F.Doc->History.Undo(); }, Redo, Undo},
        {"delete the group holding the path", false, true, false, false,
         [](TextOnPathTest& F, TTextObj*, TDrawItem* P) {
             F.Select({P->Parent()});
             F.Sel->DeleteCommand("削除");
         },
         Undo, Redo},
        {"delete the path and the text, the path first", false, false, false, true,
         [](TextOnPathTest& F, TTextObj* T, TDrawItem* P) {
             F.Select({P, T});
             F.Sel->DeleteCommand("削除");
         },
         Undo, Redo},
        {"delete the text and the path, the text first", false, false, false, true,
         [](TextOnPathTest& F, TTextObj* T, TDrawItem* P) {
             F.Select({T, P});
             F.Sel->DeleteCommand("削除");
         },
         Undo, Redo},
        {"delete the path, then the text", false, false, false, true,
         [](TextOnPathTest& F, TTextObj* T, TDrawItem* P) {
             F.Select({P});
             F.Sel->DeleteCommand("削除");
             F.Select({T});
             F.Sel->DeleteCommand("削除");
         },
         Twice(Undo), Twice(Redo)},
        {"delete the ellipse path", true, false, false, false,
         [](TextOnPathTest& F, TTextObj*, TDrawItem* P) {
             F.Select({P});
             F.Sel->DeleteCommand("削除");
         },
         Undo, Redo},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        NewPage();
        auto* T = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
        const std::vector<TPoint> Straight = PointsOf(T->GetPath());
        TDrawGroup* Holder = &Root();
        if (C.InGroup) {
            Holder = static_cast<TDrawGroup*>(Root().AddChild(std::make_unique<TDrawGroup>(Page.get(), -1), -1));
            auto R = std::make_unique<TRectObj>(Page.get(), -1);
            R->SetFrame(300, 10, 20, 20);
            Holder->AddChild(std::move(R), -1);
        }
        // Made as a tool makes it, after the last step ended (undoing its
        // creation gives its ID back), or held as a document read holds it.
        Doc->History.ResetObjCount();
        std::unique_ptr<TDrawItem> New = C.Ellipse ? std::unique_ptr<TDrawItem>(NewEllipse()) : NewStroke();
        TDrawItem* P = New.get();
        if (C.ByCommand) {
            Sel->CommandAddNewDrawItem(std::move(New), {});
        } else {
            Holder->AddChild(std::move(New), -1);
            Doc->History.ResetObjCount();
        }
        Link(*T, *P);
        const std::vector<TPoint> Bent = Glyphs();
        ASSERT_TRUE(Bent != Straight);
        ASSERT_TRUE(ReopenedGlyphs() == Bent);
        const std::vector<uint8_t> Before = PageBytes();

        C.Leave(*this, T, P);
        const std::vector<uint8_t> Gone = PageBytes();
        EXPECT_TRUE(Glyphs() == ReopenedGlyphs());
        if (!C.TextGoes)
            EXPECT_TRUE(Glyphs() == Straight);
        else
            EXPECT_EQ(FirstText(Root()), nullptr);

        C.Back(*this);
        EXPECT_TRUE(PageBytes() == Before);
        EXPECT_TRUE(Glyphs() == Bent);
        ASSERT_NE(FirstText(Root()), nullptr);
        EXPECT_NE(FirstText(Root())->LinkedPath(), nullptr);

        C.Again(*this);
        EXPECT_TRUE(PageBytes() == Gone);
        EXPECT_TRUE(Glyphs() == ReopenedGlyphs());
        if (!C.TextGoes)
            EXPECT_TRUE(Glyphs() == Straight);
    }
}

// A path replaced by another item (turned into a polyline): the text follows
// the new item, and undoing the replacement links it to the one given back.
TEST_F(TextOnPathTest, AReplacedPathHandsTheTextOnAndUndoGivesItBack)
{
    auto* T = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
    auto* E = static_cast<TEllipseObj*>(Root().AddChild(NewEllipse(), -1));
    Link(*T, *E);
    const int32_t EllipseID = E->ObjID();
    Doc->History.ClearHistory();
    Doc->History.ResetObjCount();
    const std::vector<TPoint> OnEllipse = Glyphs();
    const std::vector<uint8_t> Before = PageBytes();

    Select({E});
    Sel->CommandToPolyLine();
    auto* Poly = dynamic_cast<TPolyLineObj*>(Root().GetItem(1));
    ASSERT_NE(Poly, nullptr);
    EXPECT_EQ(T->LinkedPath(), Poly);
    const std::vector<uint8_t> After = PageBytes();
    const std::vector<TPoint> OnPoly = Glyphs();
    EXPECT_TRUE(OnPoly == ReopenedGlyphs());

    Doc->History.Undo();
    EXPECT_TRUE(PageBytes() == Before);
    EXPECT_EQ(T->LinkedID(), EllipseID);
    EXPECT_TRUE(Glyphs() == OnEllipse);
    Doc->History.Redo();
    EXPECT_TRUE(PageBytes() == After);
    EXPECT_TRUE(Glyphs() == OnPoly);
}

// An item that takes the ID of a path whose creation was undone (a new
// command made it) is a stranger to the text: the text stays straight and
// is stored without a link.
TEST_F(TextOnPathTest, AnItemTakingTheGonePathsIDIsNoPathOfTheText)
{
    auto* T = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
    const std::vector<TPoint> Straight = Glyphs();
    Doc->History.ResetObjCount();
    auto Stroke = NewStroke();
    const int32_t PathID = Stroke->ObjID();
    TDrawItem* P = Stroke.get();
    Sel->CommandAddNewDrawItem(std::move(Stroke), {});
    Link(*T, *P);
    Doc->History.Undo();
    EXPECT_TRUE(Glyphs() == Straight);

    auto Other = NewStroke();
    ASSERT_EQ(Other->ObjID(), PathID);
    Sel->CommandAddNewDrawItem(std::move(Other), {});
    EXPECT_EQ(T->LinkedPath(), nullptr);
    EXPECT_TRUE(Glyphs() == Straight);
    // Stored with the stroke's ID, the text would follow it when read back.
    EXPECT_TRUE(ReopenedGlyphs() == Straight);
}
