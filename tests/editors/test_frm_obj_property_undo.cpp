// Undo of the panel's commands returns the document to its exact bytes:
// live edits of groups are put back before the commit, and the layer
// combo box is a command of its own.
#include "panel_test_support.h"

#include "foundation/streams.h"
#include "model/layer.h"

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
