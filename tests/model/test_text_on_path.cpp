// A text on a path stands as the document would be read back: while its path
// is gone (deleted, cut, its creation undone, its group deleted) the text is
// straight, exactly as a saved and reopened page shows it, and when the path
// comes back the text follows it again, the page's bytes exactly as before.
#include "object_test_support.h"

#include "foundation/app_environment.h"
#include "model/anchors.h"
#include "model/clipboard_service.h"
#include "model/outline_transform.h"
#include "model/page.h"
#include "model/selection_commands.h"
#include "store/history_bracket.h"
#include "platform/message_box.h"
#include "store/picture_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

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
    std::unique_ptr<TQuietPageDocument> Doc;
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
        Doc = std::make_unique<TQuietPageDocument>();
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
    // What Look finds in the page written and read back, as a saved
    // document reopens it.
    template <typename TLook>
    auto Reopened(TLook&& Look)
    {
        TMemoryStream S;
        Page->WriteToStream(S);
        S.SetPosition(0);
        TQuietPageDocument Other;
        TPage Read(&Other.History);
        Read.SetDocument(&Other);
        Read.ReadFromStream(S, PageStreamVersion);
        return Look(Read.RootGroup());
    }
    // The glyph path of the reopened page's text.
    std::vector<TPoint> ReopenedGlyphs()
    {
        return Reopened([](TDrawGroup& Root) {
            TTextObj* T = FirstText(Root);
            return T ? PointsOf(T->GetPath()) : std::vector<TPoint>{};
        });
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

// Copies of a text on a path made without a history (the property panel's
// copies of the selection, a copy of such a copy, a drag's clones) follow
// the path while it lives, and once it is freed name nothing: they stand
// straight, and a text assigned from one takes no pointer to the freed path.
TEST_F(TextOnPathTest, CopiesWithoutAHistoryNeverHoldAFreedPath)
{
    auto* T = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
    const std::vector<TPoint> Straight = Glyphs();
    TDrawItem* P = Root().AddChild(NewStroke(), -1);
    Link(*T, *P);
    Doc->History.ClearHistory();
    const std::vector<TPoint> Bent = Glyphs();
    auto CopyOf = [](TDrawItem* Item) {
        std::unique_ptr<TDrawItem> Copy = CreateDrawItem(Item->GetClass(), nullptr, -1);
        MarkDrawItemSilent(*Copy);
        Copy->Assign(Item);
        return std::unique_ptr<TTextObj>(static_cast<TTextObj*>(Copy.release()));
    };
    std::unique_ptr<TTextObj> Panel = CopyOf(T);
    std::unique_ptr<TTextObj> OfPanel = CopyOf(Panel.get());
    Select({T, P});
    Sel->DuplicateToDragGroup();
    auto* Clone = dynamic_cast<TTextObj*>(Sel->DragGroup().GetItem(0));
    ASSERT_NE(Clone, nullptr);
    const std::pair<const char*, TTextObj*> Copies[] = {
        {"the panel's copy", Panel.get()}, {"a copy of it", OfPanel.get()}, {"a drag's clone", Clone}};
    for (const auto& [Name, Copy] : Copies) {
        SCOPED_TRACE(Name);
        EXPECT_EQ(Copy->LinkedPath(), P);
        EXPECT_TRUE(PointsOf(Copy->GetPath()) == Bent);
    }

    Select({P});
    Sel->DeleteCommand("削除");
    ASSERT_EQ(Root().GetCount(), 1);
    for (const auto& [Name, Copy] : Copies) {
        SCOPED_TRACE(Name);
        EXPECT_EQ(Copy->LinkedPath(), nullptr);
        EXPECT_TRUE(PointsOf(Copy->GetPath()) == Straight);
        TMemoryStream S;
        Copy->WriteToStream(S);
        EXPECT_GT(S.Size(), 0);
    }
    // As the panel puts its copy back after a live change.
    {
        THistoryLock Lock(&Doc->History);
        T->Assign(Panel.get());
    }
    EXPECT_EQ(T->LinkedPath(), nullptr);
    EXPECT_TRUE(Glyphs() == Straight);
    EXPECT_TRUE(Glyphs() == ReopenedGlyphs());
}

namespace {

// The glyph paths of every text of Group, depth first.
void CollectGlyphs(TDrawGroup& Group, std::vector<std::vector<TPoint>>& Out)
{
    for (int32_t I = 0; I < Group.GetCount(); ++I) {
        TDrawItem* Item = Group.GetItem(I);
        if (auto* T = dynamic_cast<TTextObj*>(Item))
            Out.push_back(PointsOf(T->GetPath()));
        else if (auto* G = dynamic_cast<TDrawGroup*>(Item))
            CollectGlyphs(*G, Out);
    }
}

std::vector<std::vector<TPoint>> AllGlyphs(TDrawGroup& Group)
{
    std::vector<std::vector<TPoint>> Out;
    CollectGlyphs(Group, Out);
    return Out;
}

} // namespace

// Every kind of change of the path, then its undo and redo: at each state the
// text lies on the path as it is, exactly as the page read back shows it, and
// the undo gives back the page's bytes and the glyphs of before.
TEST_F(TextOnPathTest, TheTextFollowsEveryChangeOfItsPathAndItsUndo)
{
    struct TCase {
        const char* Name;
        bool Ellipse;   // the path is an ellipse (else a stroke)
        bool Reshapes;  // the glyphs must move (the fill-path flag need not move them)
        std::function<void(TextOnPathTest&, TDrawItem*)> Change;
    };
    auto InCommand = [](TextOnPathTest& F, const std::function<void()>& Body) {
        F.Doc->History.CommandStart("change");
        Body();
        F.Doc->History.CommandEnd();
    };
    const TCase Cases[] = {
        {"move the stroke", false, true, [](TextOnPathTest& F, TDrawItem* P) {
             F.Select({P});
             F.Sel->MoveCommand(17, -9);
         }},
        {"move the ellipse", true, true, [](TextOnPathTest& F, TDrawItem* P) {
             F.Select({P});
             F.Sel->MoveCommand(-12, 21);
         }},
        {"scale the stroke", false, true, [](TextOnPathTest& F, TDrawItem* P) {
             F.Select({P});
             F.Sel->ScaleCommand(20, 60, 1536, 1024);
         }},
        {"scale the ellipse", true, true, [](TextOnPathTest& F, TDrawItem* P) {
             F.Select({P});
             F.Sel->ScaleCommand(60, 40, 1024, 700);
         }},
        {"rotate the stroke", false, true, [](TextOnPathTest& F, TDrawItem* P) {
             F.Select({P});
             F.Sel->RotateCommand(160, 100, 0.4);
         }},
        {"rotate the ellipse", true, true, [](TextOnPathTest& F, TDrawItem* P) {
             F.Select({P});
             F.Sel->RotateCommand(150, 100, -0.7);
         }},
        {"delete a node of the stroke", false, true, [](TextOnPathTest& F, TDrawItem* P) {
             auto* Poly = static_cast<TPolyLineObj*>(P);
             F.Sel->SetEditMode(1);
             F.Select({P});
             TAnchors& A = F.Sel->GetAnchors();
             A.SetNodeSelected(A.FindNodeAnchor(Poly, 1), 1, -1);
             F.Sel->CommandDeleteNodes();
         }},
        {"the ellipse's X in the panel", true, true, [InCommand](TextOnPathTest& F, TDrawItem* P) {
             InCommand(F, [&] { TDrawItem::SetItemsPosX(*P, 90); });
         }},
        {"the ellipse's size in the panel", true, true, [InCommand](TextOnPathTest& F, TDrawItem* P) {
             InCommand(F, [&] { TDrawItem::SetParamSize(*P, 260, 90); });
         }},
        {"an arc outline on the stroke", false, true, [InCommand](TextOnPathTest& F, TDrawItem* P) {
             TOutline Arc;
             Arc.FOutlineKind = OutlineKindArc;
             Arc.Params.ArcFactor = 0.75;
             InCommand(F, [&] { TDrawItem::SetOutline(*P, Arc); });
         }},
        {"the stroke's fill-path flag", false, false, [InCommand](TextOnPathTest& F, TDrawItem* P) {
             InCommand(F, [&] { TDrawItem::SetItemsFillPath(*P, 1); });
         }},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        NewPage();
        auto* T = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
        std::unique_ptr<TDrawItem> New = C.Ellipse ? std::unique_ptr<TDrawItem>(NewEllipse()) : NewStroke();
        TDrawItem* P = Root().AddChild(std::move(New), -1);
        Link(*T, *P);
        Doc->History.ClearHistory();
        // Laid on the path as it was: the change must lay it anew.
        const std::vector<TPoint> Bent = Glyphs();
        ASSERT_TRUE(ReopenedGlyphs() == Bent);
        const std::vector<uint8_t> Before = PageBytes();

        C.Change(*this, P);
        ASSERT_TRUE(Doc->History.CanUndo());
        const std::vector<uint8_t> After = PageBytes();
        ASSERT_TRUE(After != Before);
        const std::vector<TPoint> Changed = Glyphs();
        EXPECT_TRUE(Changed == ReopenedGlyphs());
        if (C.Reshapes)
            EXPECT_TRUE(Changed != Bent);

        Doc->History.Undo();
        EXPECT_TRUE(PageBytes() == Before);
        EXPECT_TRUE(Glyphs() == Bent);
        EXPECT_TRUE(Glyphs() == ReopenedGlyphs());

        Doc->History.Redo();
        EXPECT_TRUE(PageBytes() == After);
        EXPECT_TRUE(Glyphs() == Changed);
        EXPECT_TRUE(Glyphs() == ReopenedGlyphs());
    }
}

// A text laid on a text laid on a path follows the path's changes through the
// middle text.
TEST_F(TextOnPathTest, ATextOnATextFollowsThePathBeneathBoth)
{
    auto* Outer = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
    auto* Middle = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
    TDrawItem* P = Root().AddChild(NewStroke(), -1);
    Link(*Middle, *P);
    Link(*Outer, *Middle);
    Doc->History.ClearHistory();
    const auto Before = AllGlyphs(Root());
    ASSERT_TRUE(Before[0] != Before[1]);

    Select({P});
    Sel->MoveCommand(25, 30);
    const auto Moved = AllGlyphs(Root());
    EXPECT_TRUE(Moved[0] != Before[0]);
    EXPECT_TRUE(Moved[1] != Before[1]);
    // Asked for the outer text first, then the middle one.
    Doc->History.Undo();
    EXPECT_TRUE(PointsOf(Outer->GetPath()) == Before[0]);
    EXPECT_TRUE(PointsOf(Middle->GetPath()) == Before[1]);
    Doc->History.Redo();
    EXPECT_TRUE(PointsOf(Outer->GetPath()) == Moved[0]);
    EXPECT_TRUE(AllGlyphs(Root()) == Moved);

    // As the page reads back.
    EXPECT_TRUE(Reopened([](TDrawGroup& Root) { return AllGlyphs(Root); }) == Moved);
}

// Texts linked in a ring stand straight, each of them, and stay laid: asking
// one for its glyphs never lays the other anew, and the page reads back the
// same. A text linked to itself is linked to nothing.
TEST_F(TextOnPathTest, TextsLinkedInARingStandStraightAndStayLaid)
{
    auto* A = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
    auto* B = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
    auto* C = static_cast<TTextObj*>(Root().AddChild(NewText(), -1));
    const auto Straight = AllGlyphs(Root());
    A->SetLinkedPath(A);
    EXPECT_EQ(A->LinkedPath(), nullptr);
    Link(*A, *B);
    Link(*B, *A);
    // C lies on A, which is in the ring: C follows A as A stands.
    Link(*C, *A);
    const auto Laid = AllGlyphs(Root());
    EXPECT_TRUE(Laid[0] == Straight[0]);
    EXPECT_TRUE(Laid[1] == Straight[1]);
    for (int Round = 0; Round < 3; ++Round) {
        A->GetPath();
        EXPECT_EQ(B->BasePathState(), 2);
        B->GetPath();
        EXPECT_EQ(A->BasePathState(), 2);
        C->GetPath();
        EXPECT_EQ(A->BasePathState(), 2);
        EXPECT_EQ(B->BasePathState(), 2);
    }
    EXPECT_TRUE(AllGlyphs(Root()) == Laid);

    EXPECT_TRUE(Reopened([](TDrawGroup& Root) { return AllGlyphs(Root); }) == Laid);
}
