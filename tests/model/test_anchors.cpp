#include <gtest/gtest.h>

#include "object_test_support.h"

#include "foundation/user_error.h"
#include "model/anchors.h"
#include "model/cursor_service.h"
#include "model/poly_line_obj.h"

namespace {

auto ErrorOf = [](auto Fn) { return MessageOf<Exception>(Fn); };

// int32 values in stored (little-endian) order.
std::vector<uint8_t> I32s(std::initializer_list<int32_t> Values)
{
    std::vector<uint8_t> B;
    for (int32_t V : Values)
        PutI32(B, V);
    return B;
}

class TOwnerDouble : public TAnchorsOwner {
public:
    void AnchorsAddHistory(uint8_t Kind, int32_t Command, const void* Data, int32_t Size) override
    {
        const auto* P = static_cast<const uint8_t*>(Data);
        Records.emplace_back(Kind, Command, std::vector<uint8_t>(P, P + Size));
    }
    bool IsItemSelected(const TDrawItem*) const override { return SelectAll; }
    void InvalidateAnchorViews() override {}
    void InvalidatePageRect(const TRect& Rect) override { PageRects.push_back(Rect); }
    std::vector<std::tuple<int, int32_t, std::vector<uint8_t>>> Records; // (kind, code, data)
    bool SelectAll = true;
    std::vector<TRect> PageRects;
};

class TCursorDouble : public TCursorService {
public:
    int32_t SetCursorByResource(const void*, const std::string& Name) override
    {
        if (Fail)
            throw EOutOfResources("SetCursorByResource: Can't load Cursor");
        Names.push_back(Name);
        return 32767 - static_cast<int32_t>(Names.size()) + 1;
    }
    std::vector<std::string> Names;
    bool Fail = false;
};

// Device units are twice the page units.
class TCanvasDouble : public TAnchorCanvas {
public:
    TPoint LPtoDP(const TPoint& P) override { return {P.X * 2, P.Y * 2}; }
    void BeginDeviceMapping() override { Calls.push_back("begin"); }
    void EndDeviceMapping() override { Calls.push_back("end"); }
    void SetPenColor(int32_t) override {}
    void SetBrushColor(int32_t) override {}
    void SetBrushSolid() override {}
    void MoveTo(int32_t X, int32_t Y) override { Calls.push_back("move " + Pt(X, Y)); }
    void LineTo(int32_t X, int32_t Y) override { Calls.push_back("line " + Pt(X, Y)); }
    int32_t GetBitmapWidth(const char*) override { return 7; }
    void DrawBitmap(const char* Name, int32_t X, int32_t Y) override
    {
        Calls.push_back(std::string(Name) + " " + Pt(X, Y));
    }
    void InvalidateDeviceRect(const TRect& R) override
    {
        Calls.push_back("inval " + Pt(R.Left, R.Top) + " " + Pt(R.Right, R.Bottom));
    }
    static std::string Pt(int32_t X, int32_t Y) { return std::to_string(X) + "," + std::to_string(Y); }
    std::vector<std::string> Calls;
};

struct AnchorsTest : ::testing::Test {
    TTestPage Page;
    TDrawGroup Root{&Page, -1};
    TOwnerDouble Owner;
    TAnchors Anchors{&Owner};
    TPolyLineObj* Add(const TrecPath& Path, TDrawGroup* Group = nullptr)
    {
        TDrawGroup& G = Group ? *Group : Root;
        auto* P = static_cast<TPolyLineObj*>(G.AddChild(std::make_unique<TPolyLineObj>(&Page, -1), -1));
        P->SetPathRecord(Path);
        return P;
    }
    TNodeAnchor* Node(int32_t ListIndex)
    {
        return dynamic_cast<TNodeAnchor*>(Anchors.GetNodeAnchor(ListIndex));
    }
};

}  // namespace

TEST_F(AnchorsTest, HandlesInOrderAroundTheItemsBoundsAndTheirHitTest)
{
    auto* G = static_cast<TDrawGroup*>(Root.AddChild(std::make_unique<TDrawGroup>(&Page, -1), -1));
    TPolyLineObj* A = Add(MakePath({{10, 20, PT_MOVETO}, {50, 30, PT_LINETO}}));
    Add(MakePath({{100, 55, PT_MOVETO}, {111, 61, PT_LINETO}}), G);
    Anchors.SetHandlesForItems({A, G}, 0);
    // (kind, x, y) of each handle.
    std::vector<std::tuple<int, int32_t, int32_t>> Got;
    for (int32_t I = 0; I < Anchors.GetCount(); ++I) {
        const TPoint P = Anchors.GetNodeAnchor(I)->Point();
        Got.emplace_back(Anchors.GetNodeAnchor(I)->Kind, P.X, P.Y);
    }
    EXPECT_EQ(Got, (decltype(Got){{7, 111, 20}, {6, 10, 20}, {8, 10, 61}, {9, 111, 61}, {2, 60, 20},
                                  {3, 10, 40}, {4, 111, 40}, {5, 60, 61}, {10, 60, 40}, {11, 60, 30}}));
    ASSERT_NE(Anchors.GetRotationCenter(), nullptr);
    EXPECT_EQ(Anchors.GetRotationCenter()->Point(), (TPoint{60, 40}));
    EXPECT_EQ(Anchors.GetRect(), (TRect{10, 20, 111, 61}));
    // Node mode and items without points give no handles at all.
    Anchors.SetHandlesForItems({A}, 1);
    EXPECT_EQ(Anchors.GetCount(), 0);
    TPolyLineObj* Empty = Add(TrecPath{});
    Anchors.SetHandlesForItems({Empty}, 0);
    EXPECT_EQ(Anchors.GetCount(), 0);
    EXPECT_EQ(Anchors.GetRotationCenter(), nullptr);
    EXPECT_EQ(Anchors.GetRect(), AnchorsEmptyRect);
    // Centres truncate toward zero.
    Anchors.SetHandleRect({-11, -11, 0, 0});
    EXPECT_EQ(Anchors.GetNodeAnchor(4)->Point(), (TPoint{-5, -11}));
    // The hit tolerance is 700 div zoom.
    Anchors.SetHandleRect({0, 0, 100, 100});
    EXPECT_EQ(Anchors.HitTest(7, -7, 100), akTopLeft);
    EXPECT_EQ(Anchors.HitAnchor(), Anchors.GetNodeAnchor(1));
    EXPECT_EQ(Anchors.HitTest(8, 0, 100), 0);
    EXPECT_EQ(Anchors.HitAnchor(), nullptr);
    // (x, y, zoom, hit); a zoom of 0 or below hits nothing instead of dividing by it.
    for (auto [X, Y, Zoom, Hit] : {std::tuple{2, 2, 350, int(akTopLeft)}, {3, 0, 350, 0},
                                   {100, 50, 800, int(akRight)}, {101, 50, 800, 0}, {0, 0, 0, 0},
                                   {0, 0, -5, 0}})
        EXPECT_EQ(Anchors.HitTest(X, Y, Zoom), Hit) << X << "," << Y << " at " << Zoom;
}

TEST_F(AnchorsTest, NodeAnchorsOfAPathAndTheirLinks)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {0, 0, PT_BEZIERTO}, {30, 30, PT_BEZIERTO},
                                    {30, 0, PT_BEZIERTO}, {30, -30, PT_BEZIERTO},
                                    {60, -30, PT_BEZIERTO}, {60, 0, PT_BEZIERTO},
                                    {90, 0, PT_LINETO}}));
    P->AddNodeAnchors(Anchors);
    ASSERT_EQ(Anchors.GetCount(), 8);
    std::vector<uint8_t> Kinds;
    for (int32_t I = 0; I < 8; ++I) {
        Kinds.push_back(Anchors.GetNodeAnchor(I)->Kind);
        EXPECT_EQ(Node(I)->Index, I);
    }
    EXPECT_EQ(Kinds, (std::vector<uint8_t>{25, 26, 26, 25, 26, 26, 25, 25}));
    // (node, Link1, Link2) for the links set.
    for (auto [N, L1, L2] : {std::tuple{0, 1, -1}, {1, 0, -1}, {2, 3, 4}, {3, 2, 4}, {4, 3, 2},
                             {6, 5, -1}}) {
        EXPECT_EQ(Node(N)->Link1, Node(L1)) << N;
        if (L2 >= 0) {
            EXPECT_EQ(Node(N)->Link2, Node(L2)) << N;
        }
    }
    EXPECT_DOUBLE_EQ(Node(2)->HandleLength, 30.0);
    EXPECT_DOUBLE_EQ(Node(4)->HandleLength, 30.0);
    EXPECT_EQ(std::tuple(Node(7)->NeighbourIndex, Node(6)->NeighbourIndex, Node(3)->NeighbourIndex),
              std::tuple(6, 7, -1));
    EXPECT_EQ(Owner.PageRects, (std::vector<TRect>{{0, -30, 90, 30}}));
    // The control lying on its node is found first.
    EXPECT_EQ(Anchors.HitTest(0, 0, 100), akControl);
    EXPECT_EQ(Anchors.HitAnchor(), Node(1));
    EXPECT_EQ(ErrorOf([&] { P->AddNodeAnchors(Anchors); }),
              "SetNodeAnchorSub: NodeAnchor Already Added.");
    Owner.SelectAll = false;
    TAnchors Other(&Owner);
    P->AddNodeAnchors(Other);
    EXPECT_EQ(Other.GetCount(), 0);
    // The cause is chained before the replacing message.
    const std::string Failed =
        ErrorOf([&] { Anchors.AddNodeAnchor(akNode, 0, P, false, PT_MOVETO, 4); });
    EXPECT_EQ(Failed.find("TAnchors.AddNodeAnchor: AddAnchorType Illegal"), 0u);
    EXPECT_EQ(Failed.substr(Failed.size() - 30), "TAnchors.AddNodeAnchor: Failed");
    EXPECT_EQ(Anchors.GetCount(), 8);
}

TEST_F(AnchorsTest, SelectingTheClosingPointSelectsTheStartAndMovingNodesRecords)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}, {10, 10, PT_LINETO},
                                    {0, 0, PT_LINETO | PT_CLOSEFIGURE}}));
    P->AddNodeAnchors(Anchors);
    EXPECT_EQ(Node(0)->NeighbourIndex, 2);
    Anchors.SetNodeSelected(Node(3), 1, NodeSelectCode);
    EXPECT_EQ(Node(0)->Selected, 1);
    EXPECT_EQ(Anchors.GetSelectedCount(), 2);
    // (ID, index, old state byte) for the closing point, then for the start.
    std::vector<uint8_t> Want = I32s({P->ObjID(), 3}), Start = I32s({P->ObjID(), 0});
    Want.push_back(0);
    PutBytes(Want, Start);
    Want.push_back(0);
    ASSERT_EQ(Owner.Records.size(), 2u);
    EXPECT_EQ(Owner.Records[0], std::tuple(0, 53, Want));
    EXPECT_EQ(Owner.Records[1], std::tuple(1, 53, Want));
    // Clearing records old state 1 for both; unchanged selections record nothing.
    Anchors.ClearNodeSelection(NodeSelectCode);
    EXPECT_EQ(Owner.Records.size(), 4u);
    EXPECT_EQ(std::get<2>(Owner.Records[2]).size(), 18u);
    Anchors.ClearNodeSelection(NodeSelectCode);
    EXPECT_EQ(Owner.Records.size(), 4u);
    Anchors.SetNodeSelected(Node(0), 1, -1);
    EXPECT_EQ(Node(3)->Selected, 0);
    EXPECT_EQ(Owner.Records.size(), 4u);
    TRect R;
    Anchors.GetSelectedBounds(R);
    EXPECT_EQ(R, (TRect{0, 0, 0, 0}));
    Anchors.ClearNodeSelection(-1);
    Anchors.SelectNodesInRect({5, -1, 10, 10}, -1);
    EXPECT_EQ(Node(1)->Selected + Node(2)->Selected, 2);
    EXPECT_EQ(Node(0)->Selected + Node(3)->Selected, 0);
    // Moving nodes: a move back to the start records nothing; the records
    // are (ID, index, point count 1, the point).
    Anchors.StoreStartPoints();
    TMemoryStream Undo, Redo;
    Anchors.MoveNodeAnchor(Node(1), {10, 0}, &Undo, &Redo);
    EXPECT_EQ(Undo.Size(), 0);
    Anchors.MoveNodeAnchor(Node(1), {12, 3}, nullptr, nullptr);
    EXPECT_EQ(P->GetPath().Bounds, (TRect{0, 0, 12, 10}));
    Anchors.RecordMovedNodes(&Undo, &Redo);
    EXPECT_EQ(Bytes(Undo), I32s({P->ObjID(), 1, 1, 10, 0}));
    EXPECT_EQ(Bytes(Redo), I32s({P->ObjID(), 1, 1, 12, 3}));
}

TEST_F(AnchorsTest, SymmetricAndSmoothRealignControls)
{
    // Gives node Node of a new object on Path the kind Kind (own anchors);
    // the same kind again changes nothing.
    auto Apply = [&](const TrecPath& Path, int32_t Node, uint8_t Kind, TStream* S = nullptr) {
        TPolyLineObj* P = Add(Path);
        TAnchors A(&Owner);
        P->AddNodeAnchors(A);
        A.SetNodeSelected(dynamic_cast<TNodeAnchor*>(A.GetNodeAnchor(Node)), 1, -1);
        EXPECT_TRUE(A.ApplyNodeType(Kind, S));
        EXPECT_FALSE(A.ApplyNodeType(Kind, nullptr));
        return P;
    };
    const TrecPath Path = MakePath({{0, 0, PT_MOVETO}, {0, 30, PT_BEZIERTO}, {10, 20, PT_BEZIERTO},
                                    {30, 0, PT_BEZIERTO}, {60, 10, PT_BEZIERTO},
                                    {60, -30, PT_BEZIERTO}, {60, 0, PT_BEZIERTO}});
    TMemoryStream S;
    TPolyLineObj* P = Apply(Path, 3, nkSymmetric, &S);
    // d = (50, -10); each control (d + 1) div 2 from the node.
    EXPECT_EQ(P->GetNodePoint(4), (TPoint{55, -4}));
    EXPECT_EQ(P->GetNodePoint(2), (TPoint{5, 4}));
    EXPECT_EQ(P->GetNodeKind(3), nkSymmetric);
    // A node-kind record, then the old points of B and A.
    ASSERT_EQ(S.Size(), 60);
    const auto All = Bytes(S);
    EXPECT_EQ(std::vector<uint8_t>(All.begin() + 20, All.begin() + 40),
              I32s({P->ObjID(), 4, 1, 60, 10}));
    // Smooth: along d at the stored lengths sqrt(1000) and sqrt(800).
    TPolyLineObj* Q = Apply(Path, 3, nkSmooth);
    EXPECT_EQ(Q->GetNodePoint(4), (TPoint{61, -6}));
    EXPECT_EQ(Q->GetNodePoint(2), (TPoint{2, 6}));
    // Next to a line: on its extension, at its length of sqrt(200).
    EXPECT_EQ(Apply(MakePath({{0, 0, PT_MOVETO}, {30, 0, PT_LINETO}, {40, 10, PT_BEZIERTO},
                              {60, 10, PT_BEZIERTO}, {70, 0, PT_BEZIERTO}}), 1, nkSmooth)
                  ->GetNodePoint(2),
              (TPoint{44, 0}));
    // Both controls on one spot give no direction: only the kind changes.
    const TrecPath Same = MakePath({{0, 0, PT_MOVETO}, {0, 30, PT_BEZIERTO}, {30, 30, PT_BEZIERTO},
                                    {30, 0, PT_BEZIERTO}, {30, 30, PT_BEZIERTO},
                                    {60, 30, PT_BEZIERTO}, {60, 0, PT_BEZIERTO}});
    TPolyLineObj* C = Apply(Same, 3, nkSmooth);
    EXPECT_EQ(PointsOf(C->BasePath()), PointsOf(Same));
    EXPECT_EQ(C->GetNodeKind(3), nkSmooth);
}

TEST_F(AnchorsTest, SelectedStateAndJoinable)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_LINETO}, {20, 0, PT_LINETO}}));
    TPolyLineObj* Q = Add(MakePath({{0, 50, PT_MOVETO}, {10, 50, PT_LINETO}}));
    P->AddNodeAnchors(Anchors);
    Q->AddNodeAnchors(Anchors);
    // (node state, segment state, joinable)
    auto State = [&] {
        uint8_t NodeState = 9, SegmentState = 9;
        bool Joinable = true;
        Anchors.GetSeletedState(NodeState, SegmentState, Joinable);
        return std::tuple(int(NodeState), int(SegmentState), Joinable);
    };
    EXPECT_EQ(State(), std::tuple(0, 0, false));
    Anchors.SetNodeSelected(Node(0), 1, -1);
    Anchors.SetNodeSelected(Node(4), 1, -1);
    EXPECT_EQ(State(), std::tuple(1, 0, true));
    // A sharp middle node next to the start: one line segment.
    Anchors.SetNodeSelected(Node(1), 1, -1);
    EXPECT_EQ(State(), std::tuple(3, 1, false));
    P->SetNodeKind(1, nkSmooth, nullptr);
    Anchors.SetNodeSelected(Node(4), 0, -1);
    EXPECT_EQ(State(), std::tuple(2, 1, false));
}

TEST_F(AnchorsTest, DrawsBitmapsCentredInDeviceUnits)
{
    TPolyLineObj* P = Add(MakePath({{0, 0, PT_MOVETO}, {10, 0, PT_BEZIERTO}, {20, 5, PT_BEZIERTO},
                                    {30, 0, PT_BEZIERTO}}));
    P->AddNodeAnchors(Anchors);
    Anchors.SetNodeSelected(Node(3), 1, -1);
    TCanvasDouble C;
    Anchors.Draw(&C, 100);
    EXPECT_EQ(C.Calls, (std::vector<std::string>{"begin", "move 20,0", "line 0,0", "end",
                                                 "begin", "move 40,10", "line 60,0", "end",
                                                 "begin", "BMNODE -3,-3", "end",
                                                 "begin", "BMCTRL 17,-3", "end",
                                                 "begin", "BMCTRL 37,7", "end",
                                                 "begin", "BMNODESEL 57,-3", "end"}));
    C.Calls.clear();
    Anchors.Visible = 0;
    Anchors.Draw(&C, 100);
    Anchors.Visible = 1;
    Anchors.Draw(&C, 0);
    Anchors.Draw(nullptr, 100);
    EXPECT_TRUE(C.Calls.empty());
    Node(0)->Invalidate(C, 3);
    EXPECT_EQ(C.Calls, (std::vector<std::string>{"inval -6,-6 7,7"}));
}

TEST(AnchorCursors, RegisteredOnceInKindOrder)
{
    TCursorDouble Service;
    Service.Fail = true;
    EXPECT_THROW(AnchorsStartup(Service), EOutOfResources);
    EXPECT_EQ(AnchorCursor(1), 0);
    Service.Fail = false;
    AnchorsStartup(Service);
    AnchorsStartup(Service);
    EXPECT_EQ(Service.Names,
              (std::vector<std::string>{"CSIZEALL", "CSIZEV", "CSIZEH", "CSIZEH", "CSIZEV",
                                        "CSIZNWSE", "CSIZNESW", "CSIZNESW", "CSIZNWSE", "CROTCTR",
                                        "CROTTGT"}));
    EXPECT_EQ(AnchorCursor(1), 32767);
    EXPECT_EQ(AnchorCursor(11), 32757);
    EXPECT_EQ(AnchorCursor(25), 0);
    AnchorsShutdown();
    EXPECT_EQ(AnchorCursor(1), 32767);
    AnchorsShutdown();
    EXPECT_EQ(AnchorCursor(1), 0);
    EXPECT_STREQ(AnchorBitmapName(akBottomLeft, false), "BMRT");
    EXPECT_STREQ(AnchorBitmapName(akControl, true), "BMCTRLSEL");
}
