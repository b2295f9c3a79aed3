// The arrow keys in the edit-node tool move the selected nodes exactly as a
// drag of them by the same offset does; the node tools pass over a line
// whose path macros reshape what it shows.
#include "mouse_test_support.h"

#include "foundation/rec_path.h"
#include "foundation/user_error.h"
#include "model/anchors.h"
#include "model/poly_line_obj.h"

#include <QKeyEvent>

#include <utility>

namespace {

using TPts = std::vector<std::pair<int32_t, int32_t>>;

// 0 (20,100) - 1 (60,100) ~ controls (80,60) (120,60) ~ 4 (140,100).
const TPts LineThenCurve{{20, 100}, {60, 100}, {80, 60}, {120, 60}, {140, 100}};

struct NodeKeysTest : MouseFormTest {
    TNodeTestLine* Line = nullptr;

    // The line, node 1 of Kind, selected as an item, in the tool of Mode.
    void MakeLine(uint8_t Kind, uint8_t Mode = 6)
    {
        const uint8_t Types[] = {PT_MOVETO, PT_LINETO, PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO};
        TrecPath Path;
        RecPolyLineSetCount(Path, int32_t(LineThenCurve.size()));
        for (size_t I = 0; I < LineThenCurve.size(); ++I) {
            Path.Points[I] = {LineThenCurve[I].first, LineThenCurve[I].second};
            Path.pabType[I] = Types[I];
        }
        Line = static_cast<TNodeTestLine*>(Page().RootGroup().AddChild(std::make_unique<TNodeTestLine>(&Page(), -1), -1));
        Line->SetPathRecord(Path);
        Line->SetNodeKind(1, Kind, nullptr);
        Page().SetMouseModeCommand(Mode, 0);
        Sel().AddItem(Line);
        H->ClearHistory();
    }
    void Reset()
    {
        Sel().ClearSelection();
        Page().RootGroup().Clear();
    }
    TPts Points() const
    {
        TPts R;
        for (int32_t I = 0; I < Line->PointCount(); ++I)
            R.emplace_back(Line->GetNodePoint(I).X, Line->GetNodePoint(I).Y);
        return R;
    }
    void Key(Qt::Key K, Qt::KeyboardModifiers M)
    {
        QKeyEvent E(QEvent::KeyPress, K, M);
        QApplication::sendEvent(W, &E);
    }
};

} // namespace

TEST_F(NodeKeysTest, ArrowKeysMoveNodesAsADragByTheSameOffset)
{
    struct Case {
        int32_t Node;  // the one selected node
        uint8_t Kind;  // of node 1, where the straight segment meets the curve
        Qt::Key Key;
        Qt::KeyboardModifiers Mods;
        TPoint Offset;
    };
    const Case Cases[] = {
        {1, nkSharp, Qt::Key_Down, Qt::ShiftModifier, {0, 5}},
        {1, nkSmooth, Qt::Key_Down, Qt::ShiftModifier, {0, 5}},
        {1, nkSymmetric, Qt::Key_Right, Qt::NoModifier, {1, 0}},
        // The resting neighbour's handle turns with the segment.
        {0, nkSmooth, Qt::Key_Up, Qt::ShiftModifier, {0, -5}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(testing::Message() << "node " << C.Node << " kind " << int(C.Kind));
        MakeLine(C.Kind);
        const TPoint From = Line->GetNodePoint(C.Node);
        Click(From);
        ExpectOneStep("選択ノードの移動", [&] { Key(C.Key, C.Mods); });
        const TPts ByKey = Points();
        Reset();

        MakeLine(C.Kind);
        Click(From);
        const TPoint To{From.X + C.Offset.X, From.Y + C.Offset.Y};
        const TPoint Far{From.X + 30, From.Y + 30};  // beyond the pick tolerance first
        Press(From);
        Moves(From, Far);
        Moves(Far, To);
        Release(To);
        EXPECT_EQ(ByKey, Points());
        Reset();
    }
    // Worked by hand for the smooth node 1 moved to (60,105): its handle,
    // sqrt(20^2 + 40^2) = 44.72 long, lies on the line from (20,100) through
    // (60,105) (length sqrt(1625) = 40.31) beyond the node: (60 + 40 *
    // 44.72 / 40.31, 105 + 5 * 44.72 / 40.31) = (104.38, 110.55).
    MakeLine(nkSmooth);
    Click({60, 100});
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(Points(), (TPts{{20, 100}, {60, 105}, {104, 111}, {120, 60}, {140, 100}}));
}

TEST_F(NodeKeysTest, ANudgeThatFailsLeavesTheDocumentAsItWas)
{
    for (int FailAt : {1, 2}) {
        SCOPED_TRACE(FailAt);
        MakeLine(nkSmooth);
        Click({60, 100});
        H->ClearHistory();
        const std::string Before = DocumentBytes(W);
        Line->FailAt = FailAt;
        Key(Qt::Key_Down, Qt::ShiftModifier);
        Line->FailAt = 0;
        EXPECT_EQ(Points(), LineThenCurve);
        EXPECT_TRUE(DocumentBytes(W) == Before);
        EXPECT_FALSE(H->CanUndo());
        Reset();
    }
}

TEST_F(NodeKeysTest, NodeToolsPassOverALineWhosePathMacrosReshapeIt)
{
    for (uint8_t Flag : {0, 1}) {
        SCOPED_TRACE(int(Flag));
        // Picking: a click on the straight segment of an unselected line.
        MakeLine(nkSharp);
        Line->SetPathMacroFlag(Flag);
        Sel().ClearSelection();
        Click({40, 100});
        EXPECT_EQ(Sel().Count(), Flag == 0 ? 1 : 0);
        Reset();
        // Adding: a click on the segment of the selected line.
        MakeLine(nkSharp, 13);
        Line->SetPathMacroFlag(Flag);
        Click({40, 101});
        EXPECT_EQ(Line->PointCount(), Flag == 0 ? 6 : 5);
        EXPECT_EQ(Sel().Count(), Flag == 0 ? 1 : 0);
        Reset();
    }
}
