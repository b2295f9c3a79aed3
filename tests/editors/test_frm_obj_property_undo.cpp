// Undo of the panel's commands returns the document to its exact bytes:
// live edits of groups are put back before the commit, and the layer
// combo box is a command of its own.
#include "panel_test_support.h"

#include "foundation/streams.h"
#include "model/layer.h"
#include "model/object_test_support.h"
#include "model/selection.h"

#include <QLineEdit>

namespace {

class FrmObjPropertyUndo : public PanelTest {
public:
    std::vector<uint8_t> Saved()
    {
        TMemoryStream S;
        Doc->SaveToStream(S);
        const auto* P = static_cast<const uint8_t*>(S.Memory());
        return {P, P + S.Size()};
    }
    // A group of two rectangles at X 10 and 30.
    TDrawGroup* AddGroup()
    {
        auto G = std::make_unique<TDrawGroup>(&Page(), -1);
        for (int32_t X : {10, 30}) {
            auto R = std::make_unique<TRectObj>(&Page(), -1);
            R->SetFrame(X, 20, 15, 15);
            G->AddChild(std::move(R), -1);
        }
        return static_cast<TDrawGroup*>(Page().RootGroup().AddChild(std::move(G), -1));
    }
};

TEST_F(FrmObjPropertyUndo, LiveEditsOfGroupsAreRevertedBeforeTheCommit)
{
    struct TCase {
        const char* Name;
        bool WithSingle;  // a rectangle selected beside the group
    };
    for (const TCase& C : {TCase{"group and rectangle", true}, TCase{"group alone", false}}) {
        SCOPED_TRACE(C.Name);
        TDrawGroup* G = AddGroup();
        std::vector<TDrawItem*> Sel{G};
        if (C.WithSingle)
            Sel.push_back(Add<TRectObj>(50, 60, 20, 20));
        Load(Sel);
        const auto Before = Saved();
        TEditTrackBarWex* E = Panel.edtPosiX;
        // Typed (live) and committed, as with the keyboard and Enter.
        E->setText("77");
        E->setText("77");
        Panel.CommitEdit(E);
        EXPECT_EQ(Steps(), 1);
        EXPECT_EQ(History().UndoCaption(), "位置Xの設定");
        EXPECT_NE(Saved(), Before);
        History().Undo();
        EXPECT_EQ(Saved(), Before);
        EXPECT_EQ(static_cast<TRectObj*>(G->GetItem(0))->X(), 10);
        History().Redo();
        History().Undo();
        EXPECT_EQ(Saved(), Before);
        Load({});
    }
}

TEST_F(FrmObjPropertyUndo, ALayerChangeIsOneCommand)
{
    Page().GetLayers()->Add(std::make_unique<TLayer>());
    TLayer* L0 = Page().GetLayers()->GetLayer(0);
    TLayer* L1 = Page().GetLayers()->GetLayer(1);
    TDrawGroup* G = AddGroup();
    TRectObj* R = Add<TRectObj>(50, 60, 20, 20);
    struct TCase {
        const char* Name;
        std::vector<TDrawItem*> Sel;
    };
    for (const TCase& C : {TCase{"rectangle", {R}}, TCase{"group", {G}}}) {
        SCOPED_TRACE(C.Name);
        Load(C.Sel);
        const auto Before = Saved();
        Panel.cmbLayer->setCurrentIndex(1);
        emit Panel.cmbLayer->activated(1);
        EXPECT_EQ(Steps(), 1);
        EXPECT_EQ(History().UndoCaption(), "レイヤの変更");
        EXPECT_TRUE(Doc->Modified());
        const auto After = Saved();
        EXPECT_NE(After, Before);
        History().Undo();
        EXPECT_EQ(Saved(), Before);
        EXPECT_EQ(R->Layer(), L0);
        History().Redo();
        EXPECT_EQ(Saved(), After);
        EXPECT_EQ(static_cast<TDrawObject*>(C.Sel[0] == G ? G->GetItem(1) : R)->Layer(), L1);
        History().Undo();
        // The same layer again changes nothing.
        emit Panel.cmbLayer->activated(0);
        EXPECT_EQ(Saved(), Before);
    }
}

} // namespace

namespace {

// Pages made while it lives get the document window's selection.
struct TWithSelections {
    TWithSelections() : Old(GetPageSelectionFactory()) { SetPageSelectionFactory(&NewSelectedObjects); }
    ~TWithSelections() { SetPageSelectionFactory(Old); }
    TPageSelectionFactory Old;
};

class FrmObjPropertyRound : public TWithSelections, public FrmObjPropertyUndo {};

} // namespace

// A designer's round: grouping twice, a value typed over a group and a
// rectangle, a layer change, and a paste that breaks off in its middle. The
// document saves, reads back to the same bytes, and its undo walks back to
// the bytes it started from (and redo forth again), with no empty group on
// the way.
TEST_F(FrmObjPropertyRound, ARoundOfGroupingEditsLayersAndAFailedPasteSavesReopensAndUndoesToItsBytes)
{
    Page().GetLayers()->Add(std::make_unique<TLayer>());
    TRectObj* A = Add<TRectObj>(10, 20, 15, 15);
    TRectObj* B = Add<TRectObj>(30, 20, 15, 15);
    TRectObj* C = Add<TRectObj>(50, 60, 20, 20);
    ASSERT_NE(dynamic_cast<TSelectedObjects*>(Page().Selection()), nullptr);
    auto& Sel = *dynamic_cast<TSelectedObjects*>(Page().Selection());
    Load({});
    const auto Start = Saved();

    // The paste stream of A and B, to be cut short later.
    Sel.ClearSelection();
    Sel.AddItem(A);
    Sel.AddItem(B);
    TMemoryStream Clip;
    Sel.SaveToStream(Clip, true);

    Sel.GroupCommand("グループ化");
    Sel.GroupCommand("グループ化");
    ASSERT_EQ(Sel.Items().size(), 1u);
    auto* G = dynamic_cast<TDrawGroup*>(Sel.Items()[0]);
    ASSERT_NE(G, nullptr);
    EXPECT_EQ(EmptyGroupsBelow(Page().RootGroup()), 0);

    Sel.AddItem(C);
    Panel.SetParam({G, C}, &Link);
    Panel.edtPosiX->setText("77");
    Panel.edtPosiX->setText("77");
    Panel.CommitEdit(Panel.edtPosiX);
    Panel.cmbLayer->setCurrentIndex(1);
    emit Panel.cmbLayer->activated(1);
    const int StepsDone = Steps();
    EXPECT_EQ(StepsDone, 4);
    const auto Done = Saved();

    // Half a paste stream: the paste reads some items, then fails.
    TMemoryStream Half;
    Half.Write(Clip.Memory(), static_cast<int32_t>(Clip.Size() / 2));
    Half.SetPosition(0);
    EXPECT_ANY_THROW(Sel.PasteCommand(Half, false, "貼り付け"));
    EXPECT_EQ(Saved(), Done);
    EXPECT_EQ(Steps(), StepsDone);

    // Read back, the document keeps every byte but the object numbers,
    // which a reading hands out afresh; a second reading changes nothing.
    auto Reopened = [this](const std::vector<uint8_t>& Bytes) {
        TMemoryStream File;
        File.Write(Bytes.data(), static_cast<int32_t>(Bytes.size()));
        File.SetPosition(0);
        TDocument Again(nullptr, &Docs);
        Again.LoadFromStream(File);
        TMemoryStream Back;
        Again.SaveToStream(Back);
        const auto* P = static_cast<const uint8_t*>(Back.Memory());
        return std::vector<uint8_t>(P, P + Back.Size());
    };
    const auto Once = Reopened(Done);
    EXPECT_EQ(Once.size(), Done.size());
    EXPECT_EQ(Reopened(Once), Once);

    Panel.SetParam({}, nullptr);
    for (int I = 0; I < StepsDone; ++I) {
        History().Undo();
        EXPECT_EQ(EmptyGroupsBelow(Page().RootGroup()), 0) << I;
    }
    EXPECT_FALSE(History().CanUndo());
    EXPECT_EQ(Saved(), Start);
    for (int I = 0; I < StepsDone; ++I)
        History().Redo();
    EXPECT_EQ(Saved(), Done);
}
