#include <gtest/gtest.h>

#include "object_test_support.h"

#include "foundation/user_error.h"
#include "model/poly_line_obj.h"
#include "platform/message_box.h"

#include <functional>
#include <sstream>

namespace {

auto ErrorOf = [](auto Fn) { return MessageOf<Exception>(Fn); };

// Redo of a node command runs the command again, as the selection's command
// record does; undo is the object's own records.
class TRerun : public TUndoObject {
public:
    explicit TRerun(THistoryCommand* H) : TUndoObject(H) {}
    void Undo(int32_t, const void*, int32_t) override {}
    void Redo(int32_t, const void*, int32_t) override { Fn(); }
    std::function<void()> Fn;
};

// Type 1 is the polyline for the scope.
struct TPolyType {
    TDrawItemFactory Old = GetDrawItemFactory(1);
    TPolyType() { RegisterPolyLineObjType(); }
    ~TPolyType() { RegisterDrawItemType(1, Old); }
};

// "x,y,type" of each point, blank separated.
std::string Desc(const TrecPath& P)
{
    std::string R;
    for (int32_t I = 0; I < P.Count; ++I)
        R += (I ? " " : "") + std::to_string(P.Points[I].X) + "," + std::to_string(P.Points[I].Y) +
             "," + std::to_string(P.pabType[I]);
    return R;
}

// The reverse: a path from "x,y,type" triples (6 move, 2 line, 4 curve, +1 closes).
TrecPath Path(const std::string& D)
{
    std::vector<std::tuple<int32_t, int32_t, uint8_t>> Pts;
    std::istringstream In(D);
    int32_t X, Y, T;
    char C;
    while (In >> X >> C >> Y >> C >> T)
        Pts.emplace_back(X, Y, uint8_t(T));
    return MakePath(Pts);
}

using VB = std::vector<uint8_t>;

struct PolyLineObjTest : ::testing::Test {
    TPolyType Type;
    TTestPage Page;
    TDrawGroup Root{&Page, -1};
    TRerun Rerun{&Page.History};
    TPolyLineObj* Add(const std::string& D)
    {
        auto* P = static_cast<TPolyLineObj*>(
            Root.AddChild(std::make_unique<TPolyLineObj>(&Page, -1), -1));
        P->SetPathRecord(Path(D));
        return P;
    }
    // Runs Change as one command; undo must give back the state before and
    // redo the state after, byte for byte (the whole root group).
    // With Rerun False the change records its own redo.
    void UndoRedo(const std::function<void()>& Change, bool ExpectChange = true, bool Rerun = true)
    {
        const auto Before = StateOf(Root);
        Page.History.ResetObjCount();
        Page.History.CommandStart("node");
        const uint8_t B = 0;
        if (Rerun)
            this->Rerun.AddHistory(1, 99, &B, 1);
        Change();
        Page.History.CommandEnd();
        const auto After = StateOf(Root);
        EXPECT_EQ(Before != After, ExpectChange);
        this->Rerun.Fn = Change;
        Page.History.Undo();
        EXPECT_EQ(StateOf(Root), Before);
        Page.History.Redo();
        EXPECT_EQ(StateOf(Root), After);
    }
};

const char* const TwoCurves = "0,0,6 0,30,4 30,30,4 30,0,4 30,-30,4 60,-30,4 60,0,4";

}  // namespace

TEST_F(PolyLineObjTest, StreamFormsCountNodeKindsByTheBasePath)
{
    TTestPage Plain;
    Plain.WithHistory = false;
    TPolyLineObj P(&Plain, -1);
    TTestPolyLine Q(&Plain, -1);
    P.SetPathRecord(Path("0,0,6 10,0,2 10,10,2"));
    Q.SetPathRecord(Path("0,0,6 10,0,2 10,10,2"));
    P.SetNodeKind(1, nkSmooth, nullptr);
    P.SetNodeKind(2, nkSymmetric, nullptr);
    // The polyline form is the line-object form with type 1, then one byte per point.
    VB Want = StateOf(Q);
    Want.insert(Want.end(), {0, 1, 2});
    EXPECT_EQ(StateOf(P), Want);
    TMemoryStream T;
    P.WriteToStreamAsText(T);
    const std::string S = StreamText(T);
    EXPECT_EQ(S.substr(0, 3), "1\r\n");
    EXPECT_EQ(S.substr(S.size() - 9), "0\r\n1\r\n2\r\n");
    // An outline that doubles the points must not change what is stored.
    SetOutlineTransformHook([](const TOutline&, const TRect&, const TrecPath& Src, TrecPath& Dst) {
        RecPolyLineAssign(Dst, Src);
        RecPolyLineAppend(Dst, Src);
    });
    P.GetPath();
    ASSERT_EQ(P.OutputPath().Count, 6);
    for (bool Text : {false, true}) {
        T.Clear();
        Text ? P.WriteToStreamAsText(T) : P.WriteToStream(T);
        T.SetPosition(0);
        auto Read = Text ? DrawItemReadFromStreamAsTextNew(T, &Plain, nullptr, DrawItemStreamVersion)
                         : DrawItemReadFromStreamNew(T, &Plain, nullptr, -1, DrawItemStreamVersion);
        EXPECT_EQ(StateOf(*Read), Want) << Text; // node kinds included
    }
    SetOutlineTransformHook(nullptr);
    // A stream cut inside the node kinds is refused.
    TMemoryStream Cut;
    Cut.WriteBuffer(Want.data(), static_cast<int32_t>(Want.size() - 1));
    Cut.SetPosition(0);
    EXPECT_THROW(DrawItemReadFromStreamNew(Cut, &Plain, nullptr, -1, DrawItemStreamVersion),
                 EStreamError);
}

TEST_F(PolyLineObjTest, SetNodeKindAndAssign)
{
    TPolyLineObj* P = Add(TwoCurves);
    TMemoryStream S;
    EXPECT_FALSE(P->SetNodeKind(3, nkSharp, &S));
    EXPECT_EQ(S.Size(), 0);
    EXPECT_TRUE(P->SetNodeKind(3, nkSmooth, &S));
    // The twenty-byte record: ID, index, then zeros.
    VB Want;
    PutI32(Want, P->ObjID());
    PutI32(Want, 3);
    Want.resize(20, 0);
    EXPECT_EQ(Bytes(S), Want);
    EXPECT_EQ(P->GetNodeKind(3), nkSmooth);
    for (int32_t Bad : {7, -1})
        EXPECT_EQ(ErrorOf([&] { P->SetNodeKind(Bad, 1, &S); }),
                  "TPolyLineObj.SetNodeSmooth: iIndex incorrect");
    // Assign copies the node kinds and takes only polylines.
    TPolyLineObj Copy(&Page, -1);
    Copy.Assign(P);
    EXPECT_EQ(Copy.NodeKinds(), P->NodeKinds());
    TTestPolyLine Other(&Page, -1);
    EXPECT_EQ(ErrorOf([&] { Copy.Assign(&Other); }),
              "TPolyLineObj.Assign: DrawItemSrc is not TPolyLineObj");
}

TEST_F(PolyLineObjTest, InsertNodeOnLinesAndCurves)
{
    TPolyLineObj* L = Add("0,0,6 10,0,2");
    int32_t Index = -2;
    UndoRedo([&] { Index = L->InsertNode({5, 1}); });
    EXPECT_EQ(Index, 1);
    EXPECT_EQ(Desc(L->BasePath()), "0,0,6 5,0,2 10,0,2");
    EXPECT_EQ(L->NodeKinds(), (VB{0, 2, 0}));
    TPolyLineObj* C = Add("0,0,6 0,30,4 30,30,4 30,0,4");
    C->SetNodeKind(3, nkSymmetric, nullptr);
    UndoRedo([&] { Index = C->InsertNode({15, 40}); });
    ASSERT_EQ(Index, 3);
    // The curve split near its middle: the new node lies on the old curve
    // (15, 22.5) and the outer controls halve their handles.
    const auto Near = [](TPoint A, TPoint B) { return std::abs(A.X - B.X) <= 1 && std::abs(A.Y - B.Y) <= 1; };
    ASSERT_EQ(C->PointCount(), 7);
    EXPECT_TRUE(Near(C->GetNodePoint(3), {15, 22}));
    EXPECT_TRUE(Near(C->GetNodePoint(1), {0, 15}));
    EXPECT_TRUE(Near(C->GetNodePoint(5), {30, 15}));
    EXPECT_EQ(C->GetNodePoint(6), (TPoint{30, 0}));
    const TrecPath& B = C->BasePath();
    EXPECT_EQ(VB(B.pabType.begin(), B.pabType.begin() + B.Count), (VB{6, 4, 4, 4, 4, 4, 4}));
    EXPECT_EQ(C->NodeKinds(), (VB{1, 1, 1, 2, 0, 0, 2}));
}

TEST_F(PolyLineObjTest, CloseFigureAndRemoveDegenerateFigures)
{
    TPolyLineObj* P = Add("0,0,6 10,0,2 10,10,2");
    EXPECT_EQ(P->CloseFigure(0, 2), 3);
    EXPECT_EQ(Desc(P->BasePath()), "0,0,6 10,0,2 10,10,2 0,0,3");
    EXPECT_EQ(P->GetNodeKind(3), nkSmooth);
    EXPECT_EQ(P->CloseFigure(0, 3), -1);  // already closed
    EXPECT_EQ(P->PointCount(), 4);
    TPolyLineObj* Same = Add("0,0,6 10,0,2 10,10,2 0,0,2");
    EXPECT_EQ(Same->CloseFigureAt(1), -1);
    EXPECT_EQ(Desc(Same->BasePath()), "0,0,6 10,0,2 10,10,2 0,0,3");
    TPolyLineObj* Short = Add("0,0,6 10,0,2");
    EXPECT_EQ(Short->CloseFigure(0, 1), -1);
    EXPECT_EQ(Desc(Short->BasePath()), "0,0,6 10,0,2");
    TPolyLineObj* D = Add("0,0,6 10,0,2 0,0,3 50,50,6 60,50,2 70,70,6");
    EXPECT_EQ(D->CountNodes(0, 2), 3);
    EXPECT_TRUE(D->RemoveDegenerateFigures());
    EXPECT_EQ(Desc(D->BasePath()), "50,50,6 60,50,2");
    EXPECT_FALSE(D->RemoveDegenerateFigures());
}

TEST_F(PolyLineObjTest, SegmentConversionsKeepTheShapeAndRenumber)
{
    TPolyLineObj* P = Add("0,0,6 10,5,2 40,5,2");
    P->SetNodeKind(0, nkSymmetric, nullptr);
    std::vector<int32_t> Sel;
    // Each run (and the redo, which runs it again) starts from the same list.
    auto Convert = [&](bool ToCurve, const std::vector<int32_t>& Nodes, bool Changes = true) {
        UndoRedo([&, Nodes] {
            Sel = Nodes;
            ToCurve ? P->ToCurve(Sel) : P->ToLine(Sel);
        }, Changes);
    };
    Convert(true, {0, 1, 2});
    // (2 * start + end) / 3 + 0.5 truncated, and the other third.
    EXPECT_EQ(Desc(P->BasePath()), "0,0,6 3,2,4 7,3,4 10,5,4 20,5,4 30,5,4 40,5,4");
    EXPECT_EQ(P->GetNodeKind(0), nkSmooth);
    EXPECT_EQ(Sel, (std::vector<int32_t>{0, 3, 6}));
    // Back to lines for the second segment only.
    Convert(false, {3, 6});
    EXPECT_EQ(Desc(P->BasePath()), "0,0,6 3,2,4 7,3,4 10,5,4 40,5,2");
    EXPECT_EQ(Sel, (std::vector<int32_t>{3, 4}));
    // Nodes that bound no segment change nothing and record nothing.
    Convert(false, {0, 4}, false);
    std::vector<int32_t> Bad{1, 3};
    EXPECT_EQ(ErrorOf([&] { P->ToLine(Bad); }), "TPolyLineObj.ToLine: iIndex incorrect (1)");
    EXPECT_EQ(Bad, (std::vector<int32_t>{1, 3}));
}

TEST_F(PolyLineObjTest, DeletePointByPlaceInTheFigure)
{
    // (path, nodes deleted, path after)
    for (auto [Before, Nodes, After] : {
             // Between two curves: the outer control points stay.
             std::tuple<const char*, std::vector<int32_t>, const char*>{
                 TwoCurves, {3}, "0,0,6 0,30,4 60,-30,4 60,0,4"},
             // Curve then line: the remaining control is (node + 2 * neighbour) / 3.
             {"0,0,6 0,30,4 30,30,4 30,0,4 60,0,2", {3}, "0,0,6 0,30,4 50,0,4 60,0,4"},
             // Between two lines; the first and the last node of an open figure.
             {"0,0,6 10,0,2 20,0,2 30,0,2", {1}, "0,0,6 20,0,2 30,0,2"},
             {"0,0,6 20,0,2 30,0,2", {0, 2}, "20,0,6"},
             // The start of a closed figure: the node before it starts the figure.
             {"0,0,6 10,0,2 10,10,2 0,10,2 0,0,3", {0}, "0,10,6 10,0,2 10,10,2 0,10,3"}}) {
        TPolyLineObj* P = Add(Before);
        UndoRedo([&] { P->DeletePoint(Nodes); });
        EXPECT_EQ(Desc(P->BasePath()), After) << Before;
    }
}

TEST_F(PolyLineObjTest, DeletePointRefusesBadIndexes)
{
    std::vector<std::string> Boxes;
    auto Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
        Boxes.push_back(Text);
        return IDOK;
    });
    TPolyLineObj* C = Add(TwoCurves);
    const auto Before = StateOf(*C);
    Page.History.CommandStart("bad");
    C->DeletePoint({3, 7});
    C->DeletePoint({1});  // a control point is no node
    C->DeletePoint({-1});
    Page.History.CommandEnd();
    SetMessageBoxHandler(Old);
    EXPECT_EQ(StateOf(*C), Before);
    EXPECT_FALSE(Page.History.CanUndo());
    ASSERT_EQ(Boxes.size(), 3u);
    EXPECT_EQ(Boxes[0], "TPolyLineObj.DeletePoint: iIndexDel incorrect !");
}

TEST_F(PolyLineObjTest, SplitFiguresIntoObjects)
{
    TPolyLineObj* P = Add("0,0,6 10,0,2 50,50,6 60,50,2 70,70,6 80,70,2");
    P->SetNodeKind(3, nkSmooth, nullptr);
    std::vector<TPolyLineObj*> Pieces;
    UndoRedo([&] {
        Pieces.clear();
        P->SplitFigures(&Pieces);
    });
    ASSERT_EQ(Root.GetCount(), 3);
    ASSERT_EQ(Pieces.size(), 2u);
    EXPECT_EQ(Desc(P->BasePath()), "0,0,6 10,0,2");
    auto* A = dynamic_cast<TPolyLineObj*>(Root.GetItem(1));
    ASSERT_NE(A, nullptr);
    EXPECT_EQ(Desc(A->BasePath()), "50,50,6 60,50,2");
    EXPECT_EQ(A->NodeKinds(), (VB{0, 1}));
    EXPECT_EQ(PointsOf(A->OutputPath()), PointsOf(A->BasePath()));
    TPolyLineObj Loose(&Page, -1);
    Loose.SetPathRecord(Path("0,0,6 5,5,6"));
    EXPECT_EQ(ErrorOf([&] { Loose.SplitFigures(nullptr); }),
              "TPolyLineObj.SplitFigures: (Parent = nil)");
}

TEST_F(PolyLineObjTest, GroupLineOperations)
{
    auto AddGroup = [&] {
        return static_cast<TDrawGroup*>(Root.AddChild(std::make_unique<TDrawGroup>(&Page, -1), -1));
    };
    auto AddTo = [&](TDrawGroup* G, const char* D) {
        auto* P = static_cast<TPolyLineObj*>(G->AddChild(std::make_unique<TPolyLineObj>(&Page, -1), -1));
        P->SetPathRecord(Path(D));
        return P;
    };
    // Short lines: a degenerate closed figure goes from a line that keeps an
    // open one; a group whose only line is degenerate goes with it; a single
    // point goes. Undo brings back every dropped figure.
    TPolyLineObj* Keep = Add("0,0,6 10,0,2 0,0,3 50,50,6 60,50,2");
    AddTo(AddGroup(), "0,0,6 10,0,2 0,0,3");
    Add("5,5,6");
    UndoRedo([&] { Root.DeleteShortLines(); });
    ASSERT_EQ(Root.GetCount(), 1);
    EXPECT_EQ(Root.GetItem(0), Keep);
    EXPECT_EQ(Desc(Keep->BasePath()), "50,50,6 60,50,2");

    // Unmerging splits the direct children only.
    Keep->SetPathRecord(Path("0,0,6 10,0,2 50,50,6 60,50,2"));
    TPolyLineObj* Inner = AddTo(AddGroup(), "0,0,6 1,1,2 5,5,6 6,6,2");
    std::vector<TPolyLineObj*> Pieces;
    UndoRedo([&] {
        Pieces.clear();
        Root.UnmergeLines(&Pieces);
    });
    ASSERT_EQ(Pieces.size(), 1u);
    EXPECT_EQ(std::tuple(Root.GetCount(), Root.IndexOf(Pieces[0])), std::tuple(3, 2));
    EXPECT_EQ(Desc(Keep->BasePath()), "0,0,6 10,0,2");
    EXPECT_EQ(Desc(Pieces[0]->BasePath()), "50,50,6 60,50,2");
    EXPECT_EQ(Inner->PointCount(), 4);

    // Points moved in place reach the output paths of the whole tree.
    for (TPolyLineObj* P : {Keep, Inner}) {
        P->GetPath();
        P->SetNodePointRaw(1, {20, 7});
        P->NodesChanged();
    }
    UpdateGroupLinePaths(Root);
    EXPECT_EQ(Desc(Keep->OutputPath()), "0,0,6 20,7,2");
    EXPECT_EQ(Desc(Inner->OutputPath()), "0,0,6 20,7,2 5,5,6 6,6,2");
}

TEST_F(PolyLineObjTest, JoinEndNodes)
{
    // Equal touching ends merge; the first figure is reversed to end there.
    TPolyLineObj* A = Add("10,0,6 0,0,2");
    TPolyLineObj* B = Add("10,0,6 20,5,2");
    int32_t J1 = -1, J2 = -1;
    UndoRedo([&] { A->JoinEndNodes(0, *B, 0, J1, J2); });
    EXPECT_EQ(Desc(A->BasePath()), "0,0,6 10,0,2 20,5,2");
    EXPECT_EQ(B->PointCount(), 0);
    EXPECT_EQ(std::tuple(J1, J2), std::tuple(1, 1));
    // Different ends get a straight segment; the second figure is reversed.
    TPolyLineObj* C = Add("0,0,6 10,0,2 100,0,6 50,0,2");
    UndoRedo([&] { C->JoinEndNodes(1, *C, 3, J1, J2); });
    EXPECT_EQ(Desc(C->BasePath()), "0,0,6 10,0,2 50,0,2 100,0,2");
    EXPECT_EQ(J2, 2);
    // The two ends of one figure: it is closed.
    UndoRedo([&] { C->JoinEndNodes(0, *C, 3, J1, J2); });
    EXPECT_EQ(Desc(C->BasePath()), "0,0,6 10,0,2 50,0,2 100,0,2 0,0,3");
    const auto Before = StateOf(Root);
    EXPECT_EQ(ErrorOf([&] { C->JoinEndNodes(2, *C, 0, J1, J2); }),
              "TPolyLineObj.JoinEndNodes: not an end node of an open figure (2)");
    EXPECT_EQ(ErrorOf([&] { C->JoinEndNodes(9, *C, 0, J1, J2); }),
              "TPolyLineObj.JoinEndNodes: iIndex incorrect (9)");
    EXPECT_EQ(StateOf(Root), Before);
}

TEST_F(PolyLineObjTest, MoveByAndUndoRecord)
{
    TPolyLineObj* P = Add("0,0,6 10,0,2");
    UndoRedo([&] { P->MoveBy(5, -2); }, true, false);
    EXPECT_EQ(Desc(P->BasePath()), "5,-2,6 15,-2,2");
    // Broken undo data is refused without a change.
    const auto Before = StateOf(*P);
    const uint8_t Junk[3] = {1, 2, 3};
    EXPECT_EQ(ErrorOf([&] { P->Undo(24, Junk, 3); }), "TPolyLineObj.Undo: Illegal Data.");
    EXPECT_EQ(StateOf(*P), Before);
}
