#include <gtest/gtest.h>

#include "object_test_support.h"

#include "foundation/user_error.h"
#include "model/poly_line_obj.h"
#include "platform/message_box.h"

#include <functional>

namespace {

std::string ErrorOf(const std::function<void()>& Fn)
{
    return MessageOf<Exception>(Fn);
}

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
class TPolyType {
public:
    TPolyType() : FOld(GetDrawItemFactory(1)) { RegisterPolyLineObjType(); }
    ~TPolyType() { RegisterDrawItemType(1, FOld); }

private:
    TDrawItemFactory FOld;
};

std::vector<uint8_t> TypesOf(const TrecPath& P)
{
    return std::vector<uint8_t>(P.pabType.begin(), P.pabType.begin() + P.Count);
}

struct PolyLineObjTest : ::testing::Test {
    TPolyType Type;
    TTestPage Page;
    TDrawGroup Root{&Page, -1};
    TRerun Rerun{&Page.History};
    TPolyLineObj* Add(const TrecPath& Path)
    {
        auto* P = static_cast<TPolyLineObj*>(
            Root.AddChild(std::make_unique<TPolyLineObj>(&Page, -1), -1));
        P->SetPathRecord(Path);
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

TrecPath TwoCurves()
{
    return MakePath({{0, 0, PT_MOVETO}, {0, 30, PT_BEZIERTO}, {30, 30, PT_BEZIERTO},
                     {30, 0, PT_BEZIERTO}, {30, -30, PT_BEZIERTO}, {60, -30, PT_BEZIERTO},
                     {60, 0, PT_BEZIERTO}});
}

}  // namespace

TEST_F(PolyLineObjTest, StreamFormsCountNodeKindsByTheBasePath)
{
    TTestPage Plain;
    Plain.WithHistory = false;
    const TrecPath Path = MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}, {10, 10, PT_LINETO}});
    TPolyLineObj P(&Plain, -1);
    TTestPolyLine Q(&Plain, -1);
    P.SetPathRecord(Path);
    Q.SetPathRecord(Path);
    P.SetNodeKind(1, nkSmooth, nullptr);
    P.SetNodeKind(2, nkSymmetric, nullptr);
    // The polyline form is the line-object form with type 1, then one byte per point.
    std::vector<uint8_t> Want = StateOf(Q);
    Want.insert(Want.end(), {0, 1, 2});
    EXPECT_EQ(StateOf(P), Want);
    TMemoryStream T;
    P.WriteToStreamAsText(T);
    const auto Text = Bytes(T);
    const std::string S(Text.begin(), Text.end());
    EXPECT_EQ(S.substr(0, 3), "1\r\n");
    EXPECT_EQ(S.substr(S.size() - 9), "0\r\n1\r\n2\r\n");
    // An outline that doubles the points must not change what is stored.
    SetOutlineTransformHook([](const TOutline&, const TRect&, const TrecPath& Src, TrecPath& Dst) {
        RecPolyLineAssign(Dst, Src);
        RecPolyLineAppend(Dst, Src);
    });
    P.GetPath();
    ASSERT_EQ(P.OutputPath().Count, 6);
    T.Clear();
    P.WriteToStream(T);
    T.SetPosition(0);
    auto Read = DrawItemReadFromStreamNew(T, &Plain, nullptr, -1, DrawItemStreamVersion);
    EXPECT_EQ(StateOf(*Read), Want);
    EXPECT_EQ(static_cast<TPolyLineObj*>(Read.get())->NodeKinds(), (std::vector<uint8_t>{0, 1, 2}));
    T.Clear();
    P.WriteToStreamAsText(T);
    T.SetPosition(0);
    auto ReadText = DrawItemReadFromStreamAsTextNew(T, &Plain, nullptr, DrawItemStreamVersion);
    EXPECT_EQ(StateOf(*ReadText), Want);
    SetOutlineTransformHook(nullptr);
    // A stream cut inside the node kinds is refused.
    TMemoryStream Cut;
    Cut.WriteBuffer(Want.data(), static_cast<int32_t>(Want.size() - 1));
    Cut.SetPosition(0);
    EXPECT_THROW(DrawItemReadFromStreamNew(Cut, &Plain, nullptr, -1, DrawItemStreamVersion),
                 EStreamError);
}

TEST_F(PolyLineObjTest, AssignTakesOnlyPolylinesAndCopiesNodeKinds)
{
    TPolyLineObj* P = Add(TwoCurves());
    P->SetNodeKind(3, nkSymmetric, nullptr);
    TPolyLineObj Copy(&Page, -1);
    Copy.Assign(P);
    EXPECT_EQ(Copy.NodeKinds(), P->NodeKinds());
    TTestPolyLine Other(&Page, -1);
    EXPECT_EQ(ErrorOf([&] { Copy.Assign(&Other); }),
              "TPolyLineObj.Assign: DrawItemSrc is not TPolyLineObj");
}

TEST_F(PolyLineObjTest, SetNodeKindWritesTheTwentyByteRecord)
{
    TPolyLineObj* P = Add(TwoCurves());
    TMemoryStream S;
    EXPECT_FALSE(P->SetNodeKind(3, nkSharp, &S));
    EXPECT_EQ(S.Size(), 0);
    EXPECT_TRUE(P->SetNodeKind(3, nkSmooth, &S));
    std::vector<uint8_t> Want;
    PutI32(Want, P->ObjID());
    PutI32(Want, 3);
    Want.insert(Want.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(Bytes(S), Want);
    EXPECT_EQ(P->GetNodeKind(3), nkSmooth);
    EXPECT_EQ(ErrorOf([&] { P->SetNodeKind(7, 1, &S); }),
              "TPolyLineObj.SetNodeSmooth: iIndex incorrect");
    EXPECT_EQ(ErrorOf([&] { P->SetNodeKind(-1, 1, &S); }),
              "TPolyLineObj.SetNodeSmooth: iIndex incorrect");
}

TEST_F(PolyLineObjTest, InsertNodeOnLinesAndCurves)
{
    TPolyLineObj* L = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}}));
    int32_t Index = -2;
    UndoRedo([&] { Index = L->InsertNode({5, 1}); });
    EXPECT_EQ(Index, 1);
    EXPECT_EQ(PointsOf(L->BasePath()), (std::vector<TPoint>{{0, 0}, {5, 0}, {10, 0}}));
    EXPECT_EQ(L->NodeKinds(), (std::vector<uint8_t>{0, 2, 0}));
    EXPECT_EQ(TypesOf(L->BasePath()), (std::vector<uint8_t>{6, 2, 2}));
    const TrecPath Curve = MakePath(
        {{0, 0, PT_MOVETO}, {0, 30, PT_BEZIERTO}, {30, 30, PT_BEZIERTO}, {30, 0, PT_BEZIERTO}});
    TPolyLineObj* C = Add(Curve);
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
    EXPECT_EQ(TypesOf(C->BasePath()), (std::vector<uint8_t>{6, 4, 4, 4, 4, 4, 4}));
    EXPECT_EQ(C->NodeKinds(), (std::vector<uint8_t>{1, 1, 1, 2, 0, 0, 2}));
}

TEST_F(PolyLineObjTest, CloseFigure)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}, {10, 10, PT_LINETO}}));
    EXPECT_EQ(P->CloseFigure(0, 2), 3);
    EXPECT_EQ(TypesOf(P->BasePath()), (std::vector<uint8_t>{6, 2, 2, 3}));
    EXPECT_EQ(P->GetNodePoint(3), (TPoint{0, 0}));
    EXPECT_EQ(P->GetNodeKind(3), nkSmooth);
    EXPECT_EQ(P->CloseFigure(0, 3), -1);  // already closed
    EXPECT_EQ(P->PointCount(), 4);
    TPolyLineObj* Same =
        Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}, {10, 10, PT_LINETO}, {0, 0, PT_LINETO}}));
    EXPECT_EQ(Same->CloseFigureAt(1), -1);
    EXPECT_EQ(TypesOf(Same->BasePath()), (std::vector<uint8_t>{6, 2, 2, 3}));
    TPolyLineObj* Short = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}}));
    EXPECT_EQ(Short->CloseFigure(0, 1), -1);
    EXPECT_EQ(TypesOf(Short->BasePath()), (std::vector<uint8_t>{6, 2}));
}

TEST_F(PolyLineObjTest, SegmentConversionsKeepTheShapeAndRenumber)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {10, 5, PT_LINETO}, {40, 5, PT_LINETO}}));
    P->SetNodeKind(0, nkSymmetric, nullptr);
    std::vector<int32_t> Sel{0, 1, 2};
    UndoRedo([&] {
        std::vector<int32_t> S{0, 1, 2};
        P->ToCurve(S);
        Sel = S;
    });
    // (2 * start + end) / 3 + 0.5 truncated, and the other third.
    EXPECT_EQ(PointsOf(P->BasePath()), (std::vector<TPoint>{{0, 0}, {3, 2}, {7, 3}, {10, 5},
                                                            {20, 5}, {30, 5}, {40, 5}}));
    EXPECT_EQ(TypesOf(P->BasePath()), (std::vector<uint8_t>{6, 4, 4, 4, 4, 4, 4}));
    EXPECT_EQ(P->GetNodeKind(0), nkSmooth);
    EXPECT_EQ(Sel, (std::vector<int32_t>{0, 3, 6}));
    // Back to lines for the second segment only.
    UndoRedo([&] {
        std::vector<int32_t> S{3, 6};
        P->ToLine(S);
        Sel = S;
    });
    EXPECT_EQ(TypesOf(P->BasePath()), (std::vector<uint8_t>{6, 4, 4, 4, 2}));
    EXPECT_EQ(P->GetNodePoint(4), (TPoint{40, 5}));
    EXPECT_EQ(Sel, (std::vector<int32_t>{3, 4}));
    // Nodes that bound no segment change nothing and record nothing.
    UndoRedo([&] {
        std::vector<int32_t> S{0, 4};
        P->ToLine(S);
    }, false);
    std::vector<int32_t> Bad{1, 3};
    EXPECT_EQ(ErrorOf([&] { P->ToLine(Bad); }), "TPolyLineObj.ToLine: iIndex incorrect (1)");
    EXPECT_EQ(Bad, (std::vector<int32_t>{1, 3}));
}

TEST_F(PolyLineObjTest, DeletePointByPlaceInTheFigure)
{
    // Between two curves: the outer control points stay.
    TPolyLineObj* C = Add(TwoCurves());
    UndoRedo([&] { C->DeletePoint({3}); });
    EXPECT_EQ(PointsOf(C->BasePath()),
              (std::vector<TPoint>{{0, 0}, {0, 30}, {60, -30}, {60, 0}}));
    // Curve then line: the remaining control is (node + 2 * neighbour) / 3.
    TPolyLineObj* CL = Add(MakePath({{0, 0, PT_MOVETO}, {0, 30, PT_BEZIERTO}, {30, 30, PT_BEZIERTO},
                                     {30, 0, PT_BEZIERTO}, {60, 0, PT_LINETO}}));
    UndoRedo([&] { CL->DeletePoint({3}); });
    EXPECT_EQ(PointsOf(CL->BasePath()), (std::vector<TPoint>{{0, 0}, {0, 30}, {50, 0}, {60, 0}}));
    EXPECT_EQ(TypesOf(CL->BasePath()), (std::vector<uint8_t>{6, 4, 4, 4}));
    // Two lines; then the first and the last node of an open figure.
    TPolyLineObj* L = Add(MakePath(
        {{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}, {20, 0, PT_LINETO}, {30, 0, PT_LINETO}}));
    UndoRedo([&] { L->DeletePoint({1}); });
    EXPECT_EQ(PointsOf(L->BasePath()), (std::vector<TPoint>{{0, 0}, {20, 0}, {30, 0}}));
    UndoRedo([&] { L->DeletePoint({0, 2}); });
    EXPECT_EQ(PointsOf(L->BasePath()), (std::vector<TPoint>{{20, 0}}));
    EXPECT_EQ(TypesOf(L->BasePath()), (std::vector<uint8_t>{6}));
    // The start of a closed figure: the node before it starts the figure.
    TPolyLineObj* Sq = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}, {10, 10, PT_LINETO},
                                     {0, 10, PT_LINETO}, {0, 0, PT_LINETO | PT_CLOSEFIGURE}}));
    UndoRedo([&] { Sq->DeletePoint({0}); });
    EXPECT_EQ(PointsOf(Sq->BasePath()),
              (std::vector<TPoint>{{0, 10}, {10, 0}, {10, 10}, {0, 10}}));
    EXPECT_EQ(TypesOf(Sq->BasePath()), (std::vector<uint8_t>{6, 2, 2, 3}));
}

TEST_F(PolyLineObjTest, DeletePointRefusesBadIndexes)
{
    std::vector<std::string> Boxes;
    auto Old = SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
        Boxes.push_back(Text);
        return IDOK;
    });
    TPolyLineObj* C = Add(TwoCurves());
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

TEST_F(PolyLineObjTest, RemoveDegenerateFigures)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO},
                                    {0, 0, PT_LINETO | PT_CLOSEFIGURE}, {50, 50, PT_MOVETO},
                                    {60, 50, PT_LINETO}, {70, 70, PT_MOVETO}}));
    EXPECT_EQ(P->CountNodes(0, 2), 3);
    EXPECT_TRUE(P->RemoveDegenerateFigures());
    EXPECT_EQ(PointsOf(P->BasePath()), (std::vector<TPoint>{{50, 50}, {60, 50}}));
    EXPECT_FALSE(P->RemoveDegenerateFigures());
}

TEST_F(PolyLineObjTest, SplitFiguresIntoObjects)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}, {50, 50, PT_MOVETO},
                                    {60, 50, PT_LINETO}, {70, 70, PT_MOVETO},
                                    {80, 70, PT_LINETO}}));
    P->SetNodeKind(3, nkSmooth, nullptr);
    std::vector<TPolyLineObj*> Pieces;
    UndoRedo([&] {
        Pieces.clear();
        P->SplitFigures(&Pieces);
    });
    ASSERT_EQ(Root.GetCount(), 3);
    ASSERT_EQ(Pieces.size(), 2u);
    EXPECT_EQ(PointsOf(P->BasePath()), (std::vector<TPoint>{{0, 0}, {10, 0}}));
    auto* A = dynamic_cast<TPolyLineObj*>(Root.GetItem(1));
    ASSERT_NE(A, nullptr);
    EXPECT_EQ(PointsOf(A->BasePath()), (std::vector<TPoint>{{50, 50}, {60, 50}}));
    EXPECT_EQ(A->NodeKinds(), (std::vector<uint8_t>{0, 1}));
    EXPECT_EQ(PointsOf(A->OutputPath()), PointsOf(A->BasePath()));
    TPolyLineObj Loose(&Page, -1);
    Loose.SetPathRecord(MakePath({{0, 0, PT_MOVETO}, {5, 5, PT_MOVETO}}));
    EXPECT_EQ(ErrorOf([&] { Loose.SplitFigures(nullptr); }),
              "TPolyLineObj.SplitFigures: (Parent = nil)");
}

TEST_F(PolyLineObjTest, JoinEndNodes)
{
    // Equal touching ends merge; the first figure is reversed to end there.
    TPolyLineObj* A = Add(MakePath({{10, 0, PT_MOVETO}, {0, 0, PT_LINETO}}));
    TPolyLineObj* B = Add(MakePath({{10, 0, PT_MOVETO}, {20, 5, PT_LINETO}}));
    int32_t J1 = -1, J2 = -1;
    UndoRedo([&] { A->JoinEndNodes(0, *B, 0, J1, J2); });
    EXPECT_EQ(PointsOf(A->BasePath()), (std::vector<TPoint>{{0, 0}, {10, 0}, {20, 5}}));
    EXPECT_EQ(TypesOf(A->BasePath()), (std::vector<uint8_t>{6, 2, 2}));
    EXPECT_EQ(B->PointCount(), 0);
    EXPECT_EQ(J1, 1);
    EXPECT_EQ(J2, 1);
    // Different ends get a straight segment; the second figure is reversed.
    TPolyLineObj* C = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO},
                                    {100, 0, PT_MOVETO}, {50, 0, PT_LINETO}}));
    UndoRedo([&] { C->JoinEndNodes(1, *C, 3, J1, J2); });
    EXPECT_EQ(PointsOf(C->BasePath()), (std::vector<TPoint>{{0, 0}, {10, 0}, {50, 0}, {100, 0}}));
    EXPECT_EQ(TypesOf(C->BasePath()), (std::vector<uint8_t>{6, 2, 2, 2}));
    EXPECT_EQ(J2, 2);
    // The two ends of one figure: it is closed.
    UndoRedo([&] { C->JoinEndNodes(0, *C, 3, J1, J2); });
    EXPECT_EQ(TypesOf(C->BasePath()), (std::vector<uint8_t>{6, 2, 2, 2, 3}));
    const auto Before = StateOf(Root);
    EXPECT_EQ(ErrorOf([&] { C->JoinEndNodes(2, *C, 0, J1, J2); }),
              "TPolyLineObj.JoinEndNodes: not an end node of an open figure (2)");
    EXPECT_EQ(ErrorOf([&] { C->JoinEndNodes(9, *C, 0, J1, J2); }),
              "TPolyLineObj.JoinEndNodes: iIndex incorrect (9)");
    EXPECT_EQ(StateOf(Root), Before);
}

TEST_F(PolyLineObjTest, MoveByAndUndoRecord)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}}));
    UndoRedo([&] { P->MoveBy(5, -2); }, true, false);
    EXPECT_EQ(PointsOf(P->BasePath()), (std::vector<TPoint>{{5, -2}, {15, -2}}));
    // Broken undo data is refused without a change.
    const auto Before = StateOf(*P);
    const uint8_t Junk[3] = {1, 2, 3};
    EXPECT_EQ(ErrorOf([&] { P->Undo(24, Junk, 3); }), "TPolyLineObj.Undo: Illegal Data.");
    EXPECT_EQ(StateOf(*P), Before);
}
