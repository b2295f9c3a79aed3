// The node tools with synthetic mouse events on the document window's view:
// picking and selecting nodes, dragging nodes and control points of sharp,
// smooth and symmetric nodes, adding nodes, and drags that fail.
#include "mouse_test_support.h"

#include "foundation/rec_path.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/anchors.h"
#include "model/poly_line_obj.h"
#include "platform/message_box.h"
#include "shell/xor_overlay.h"
#include "store/history.h"

#include <QMouseEvent>

#include <utility>

namespace {

using TPts = std::vector<std::pair<int32_t, int32_t>>;

// A straight segment, then a curve: 0 (20,100) - 1 (60,100) ~ 4 (140,100).
const TPts LineThenCurve{{20, 100}, {60, 100}, {80, 60}, {120, 60}, {140, 100}};
const std::vector<uint8_t> LineThenCurveTypes{PT_MOVETO, PT_LINETO, PT_BEZIERTO, PT_BEZIERTO, PT_BEZIERTO};
// Two curves meeting at node 3 (80,40), its controls 2 and 4.
const TPts TwoCurves{{20, 20}, {40, 20}, {60, 40}, {80, 40}, {100, 40}, {120, 20}, {140, 20}};
const std::vector<uint8_t> TwoCurvesTypes(7, PT_BEZIERTO);

struct NodeMouseTest : MouseFormTest {
    TNodeTestLine* Line = nullptr;
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBoxes;

    void SetUp() override
    {
        MouseFormTest::SetUp();
        OldBoxes = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        SetMessageBoxHandler(OldBoxes);
        MouseFormTest::TearDown();
    }
    // The line of Points and Types with node Kind at Node, selected, in the
    // edit-node tool.
    void MakeLine(const TPts& Points, std::vector<uint8_t> Types, int32_t Node = 0, uint8_t Kind = nkSharp,
                  uint8_t Mode = 6)
    {
        Types[0] = PT_MOVETO;
        TrecPath Path;
        RecPolyLineSetCount(Path, int32_t(Points.size()));
        for (size_t I = 0; I < Points.size(); ++I) {
            Path.Points[I] = {Points[I].first, Points[I].second};
            Path.pabType[I] = Types[I];
        }
        Line = static_cast<TNodeTestLine*>(
            Page().RootGroup().AddChild(std::make_unique<TNodeTestLine>(&Page(), -1), -1));
        Line->SetPathRecord(Path);
        Line->SetNodeKind(Node, Kind, nullptr);
        Page().SetMouseModeCommand(Mode, 0);
        Sel().AddItem(Line);
        H->ClearHistory();
    }
    TPts Points() const
    {
        TPts R;
        for (int32_t I = 0; I < Line->PointCount(); ++I)
            R.emplace_back(Line->GetNodePoint(I).X, Line->GetNodePoint(I).Y);
        return R;
    }
    std::vector<int32_t> SelectedNodes()
    {
        std::vector<int32_t> R;
        TAnchors& A = Sel().GetAnchors();
        for (int32_t I = 0; I < A.GetCount(); ++I)
            if (auto* N = dynamic_cast<TNodeAnchor*>(A.GetNodeAnchor(I)); N && N->Kind == akNode && N->Selected)
                R.push_back(N->Index);
        return R;
    }
};

} // namespace

TEST_F(NodeMouseTest, ClickOnSegmentRubberBandAndNodeClicksSelectNodes)
{
    MakeLine(LineThenCurve, LineThenCurveTypes);
    Click({40, 100});  // the straight segment: its two nodes
    EXPECT_EQ(SelectedNodes(), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(H->UndoCaption(), "ノードの選択／解除");
    Click({140, 100});  // a node alone
    EXPECT_EQ(SelectedNodes(), (std::vector<int32_t>{4}));
    Click({20, 100}, Qt::ShiftModifier);  // Shift adds, and takes away again
    EXPECT_EQ(SelectedNodes(), (std::vector<int32_t>{0, 4}));
    Click({20, 100}, Qt::ShiftModifier);
    EXPECT_EQ(SelectedNodes(), (std::vector<int32_t>{4}));
    Drag({10, 90}, {70, 115});  // a band round nodes 0 and 1
    EXPECT_EQ(SelectedNodes(), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(H->UndoCaption(), "ノードの選択･解除");
    EXPECT_FALSE(W->Overlay()->Active());
    Click({190, 10});  // empty space: nothing selected
    EXPECT_EQ(Sel().Count(), 0);
    EXPECT_EQ(Page().MouseMode(), 6);
}

TEST_F(NodeMouseTest, NodeAndControlDragsFollowTheNodeKinds)
{
    struct Case {
        const TPts& Points;
        const std::vector<uint8_t>& Types;
        int32_t Node;
        uint8_t Kind;
        TPoint From, To;
        TPts Expected;
    };
    const Case Cases[] = {
        // The node and its control move by the offset.
        {LineThenCurve, LineThenCurveTypes, 1, nkSharp, {60, 100}, {70, 110},
         {{20, 100}, {70, 110}, {90, 70}, {120, 60}, {140, 100}}},
        // A smooth node keeps its control on the straight segment's
        // extension at the control's distance: sqrt(2000) from (70,110)
        // away from (20,100).
        {LineThenCurve, LineThenCurveTypes, 1, nkSmooth, {60, 100}, {70, 110},
         {{20, 100}, {70, 110}, {114, 119}, {120, 60}, {140, 100}}},
        // Control 4 of the node joining two curves.
        {TwoCurves, TwoCurvesTypes, 3, nkSharp, {100, 40}, {100, 60},
         {{20, 20}, {40, 20}, {60, 40}, {80, 40}, {100, 60}, {120, 20}, {140, 20}}},
        // Symmetric: the opposite control mirrors through the node.
        {TwoCurves, TwoCurvesTypes, 3, nkSymmetric, {100, 40}, {100, 60},
         {{20, 20}, {40, 20}, {60, 20}, {80, 40}, {100, 60}, {120, 20}, {140, 20}}},
        // Smooth: opposite direction, its own distance 20.
        {TwoCurves, TwoCurvesTypes, 3, nkSmooth, {100, 40}, {100, 60},
         {{20, 20}, {40, 20}, {66, 26}, {80, 40}, {100, 60}, {120, 20}, {140, 20}}},
    };
    for (const Case& C : Cases) {
        SCOPED_TRACE(int(C.Kind));
        MakeLine(C.Points, C.Types, C.Node, C.Kind);
        Click(Line->GetNodePoint(C.Node));  // the node selected
        H->ClearHistory();
        ExpectOneStep("ノードの移動", [&] { Drag(C.From, C.To); });
        EXPECT_EQ(Points(), C.Expected);
        EXPECT_EQ(Page().MouseMode(), 6);
        Sel().ClearSelection();
        Page().RootGroup().Clear();
    }
}

TEST_F(NodeMouseTest, DragsThatChangeNothingRecordNothing)
{
    MakeLine(LineThenCurve, LineThenCurveTypes);
    Drag({60, 100}, {70, 110});  // an unselected node stays
    Click({60, 100});
    H->ClearHistory();
    Press({60, 100});
    Moves({60, 100}, {70, 110});
    Moves({70, 110}, {60, 100});
    Release({60, 100});
    EXPECT_EQ(Points(), LineThenCurve);
    EXPECT_FALSE(H->CanUndo());
}

TEST_F(NodeMouseTest, AddingANodeOnASegment)
{
    MakeLine(LineThenCurve, LineThenCurveTypes, 0, nkSharp, 13);
    ExpectOneStep("ノード追加", [&] { Click({40, 101}); });
    TPts Expected = LineThenCurve;
    Expected.insert(Expected.begin() + 1, {40, 100});
    EXPECT_EQ(Points(), Expected);
    EXPECT_EQ(SelectedNodes(), (std::vector<int32_t>{1}));
}

TEST_F(NodeMouseTest, AFailedCommitPutsTheNodesBack)
{
    // The release's first rebuild erases the outline; the second is inside
    // the command, before anything is recorded.
    for (int FailAt : {1, 2}) {
        SCOPED_TRACE(FailAt);
        MakeLine(LineThenCurve, LineThenCurveTypes);
        Click({60, 100});
        H->ClearHistory();
        Boxes.clear();
        const std::string Before = DocumentBytes(W);
        Press({60, 100});
        Moves({60, 100}, {70, 110});
        Line->FailAt = FailAt;
        Release({70, 110});
        EXPECT_EQ(Points(), LineThenCurve);
        EXPECT_TRUE(DocumentBytes(W) == Before);
        EXPECT_FALSE(H->CanUndo());
        EXPECT_EQ(Boxes, (std::vector<std::string>{"no rebuild"}));
        EXPECT_EQ(Page().MouseMode(), 6);
        Sel().ClearSelection();
        Page().RootGroup().Clear();
    }
}

TEST_F(NodeMouseTest, AControlDragThatCannotGoOnShowsOneBoxAndEnds)
{
    MakeLine(TwoCurves, TwoCurvesTypes, 3, nkSmooth);
    Press({100, 40});
    auto* Hit = dynamic_cast<TNodeAnchor*>(Sel().GetAnchors().HitAnchor());
    ASSERT_NE(Hit, nullptr);
    ASSERT_EQ(Hit->Kind, akControl);
    Hit->Link2 = Hit->Link1;  // the opposite reference names a node
    Moves({100, 40}, {100, 60});
    Moves({100, 60}, {100, 80});
    Release({100, 80});
    EXPECT_EQ(Boxes, (std::vector<std::string>{"TfrmChild.MMNodeCalcSub Error!"}));
    EXPECT_EQ(Points(), TwoCurves);
    EXPECT_EQ(Page().MouseMode(), 6);
    EXPECT_FALSE(W->Overlay()->Active());
    EXPECT_FALSE(H->CanUndo());
}
