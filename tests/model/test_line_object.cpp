#include <gtest/gtest.h>

#include "object_test_support.h"

#include "foundation/user_error.h"
#include "model/line_object.h"
#include "paint/macro_list.h"

#include <functional>
#include <numbers>

namespace {

auto ErrorOf = [](auto Fn) { return MessageOf<Exception>(Fn); };

int32_t GTransforms = 0;

void CountingCopy(const TOutline&, const TRect&, const TrecPath& Source, TrecPath& Dest)
{
    ++GTransforms;
    RecPolyLineAssign(Dest, Source);
}

// A leaf that records the references it was asked to replace.
class TRefLeaf : public TTestLeaf {
public:
    using TTestLeaf::TTestLeaf;
    void ReplaceReference(TDrawItem* OldItem, TDrawItem* NewItem) override
    {
        Replaced.emplace_back(OldItem, NewItem);
    }
    std::vector<std::pair<TDrawItem*, TDrawItem*>> Replaced;
};

using Recs = std::vector<std::pair<uint8_t, int32_t>>;
using VP = std::vector<TPoint>;

struct LineObjectTest : ::testing::Test {
    TTestMacroLibrary Library;
    TTestObjectTypes Types;
    TObjPage Page;
    TDrawGroup Root{&Page, -1};
    ~LineObjectTest() override { SetOutlineTransformHook(nullptr); }
    template <class T = TTestShape>
    T* Add()
    {
        return static_cast<T*>(Root.AddChild(std::make_unique<T>(&Page, -1), -1));
    }
    TTestPolyLine* AddLine(const TrecPath& Base)
    {
        auto* P = Add<TTestPolyLine>();
        P->SetBase(Base);
        return P;
    }
    // Set-up changes that make no record.
    void Quietly(const std::function<void()>& F)
    {
        Page.History.LockAddHistory();
        F();
        Page.History.UnLockAddHistory();
    }
    template <class T>
    Recs UndoRedo(T& Obj, const std::function<void()>& Change)
    {
        Obj.Records.clear();
        const auto Before = StateOf(Obj);
        Page.History.CommandStart("change");
        Change();
        Page.History.CommandEnd();
        const auto After = StateOf(Obj);
        EXPECT_NE(Before, After);
        Page.History.Undo();
        EXPECT_EQ(StateOf(Obj), Before);
        Page.History.Redo();
        EXPECT_EQ(StateOf(Obj), After);
        return Obj.Records;
    }
};

std::vector<TPoint> Rect4(int32_t L, int32_t T, int32_t R, int32_t B)
{
    return {{L, T}, {R, T}, {R, B}, {L, B}};
}

TOutline Outline(uint8_t Kind)
{
    TOutline O;
    O.FOutlineKind = Kind;
    return O;
}

}  // namespace

TEST_F(LineObjectTest, PathsAreRebuiltLazilyByState)
{
    SetOutlineTransformHook(&CountingCopy);
    GTransforms = 0;
    TTestShape* S = Add();
    // (base state, output state, base builds, outline transforms)
    auto State = [&] {
        return std::tuple(S->BasePathState(), S->OutputPathState(), S->Builds, GTransforms);
    };
    EXPECT_EQ(State(), std::tuple(0, 0, 0, 0));
    EXPECT_EQ(PointsOf(S->GetPath()), Rect4(10, 10, 50, 30));
    EXPECT_EQ(State(), std::tuple(2, 2, 1, 1));
    EXPECT_EQ(S->GetBounds(), (TRect{10, 10, 50, 30}));
    S->GetPath();
    EXPECT_EQ(State(), std::tuple(2, 2, 1, 1));
    // The base path edited in place: the output path needs new bounds only.
    S->SetPathState(1);
    EXPECT_EQ(S->OutputPathState(), 1);
    S->GetPath();
    EXPECT_EQ(State(), std::tuple(1, 2, 1, 1));
    // A parameter changed: everything is regenerated on the next request,
    // and the new area is invalidated.
    S->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
    S->SetRect({100, 100, 120, 110});
    EXPECT_EQ(State(), std::tuple(0, 0, 1, 1));
    Page.Invalidated.clear();
    EXPECT_EQ(PointsOf(S->GetPath()), Rect4(100, 100, 120, 110));
    EXPECT_EQ(State(), std::tuple(2, 2, 2, 2));
    ASSERT_FALSE(Page.Invalidated.empty());
    EXPECT_EQ(Page.Invalidated.back(), (TRect{96, 96, 124, 114}));
    // A shape read from a stream regenerates its base path on the first request.
    TMemoryStream Stored;
    S->WriteToStream(Stored);
    Stored.SetPosition(0);
    auto Read = DrawItemReadFromStreamNew(Stored, &Page, nullptr, -1, 25);
    auto* R = dynamic_cast<TTestShape*>(Read.get());
    ASSERT_NE(R, nullptr);
    EXPECT_EQ(std::tuple(R->BasePathState(), R->OutputPathState()), std::tuple(0, 0));
    EXPECT_EQ(PointsOf(R->GetPath()), Rect4(100, 100, 120, 110));
    EXPECT_EQ(R->Builds, 1);
    // Without the hook the output path goes through the real outline
    // transform: an envelope cuts the outline into short curves.
    SetOutlineTransformHook(nullptr);
    TOutline Envelope = Outline(1);
    Envelope.Params.TopArcCount = 1;
    Envelope.Params.BottomArcCount = 1;
    TDrawItem::SetOutline(*R, Envelope);
    EXPECT_EQ(R->OutputPathState(), 0);
    const TrecPath& Out = R->GetPath();
    EXPECT_GT(Out.Count, 4);
    EXPECT_EQ(PathPointKind(Out.pabType[1]), PT_BEZIERTO);
    EXPECT_EQ(R->BasePath().Count, 4);
}

TEST_F(LineObjectTest, RotateAndScaleTurnTheBasePathAndTheFillParameters)
{
    TTestPolyLine* P = AddLine(MakePath({{10, 0, PT_MOVETO}, {20, 0, PT_LINETO}}));
    Quietly([&] { P->Macros().Insert(0, *TTestMacroLibrary::Get("Tex")); });
    EXPECT_EQ(UndoRedo(*P, [&] { P->Rotate(0.0, 0.0, std::numbers::pi / 2); }),
              (Recs{{0, 22}, {1, 22}, {0, 16}, {1, 16}}));
    EXPECT_EQ(PointsOf(P->GetBasePath()), (VP{{0, 10}, {0, 20}}));
    // The picture fill turns with the object: angle + 90, offset turned.
    EXPECT_EQ(P->Macros().GetMacro(0)->Line(0).Params[5].Value, "411,0,10,16,16,90,-1,0,0");
    EXPECT_EQ(PointsOf(P->GetPath()), (VP{{0, 10}, {0, 20}}));
    // The centre is rounded to whole units.
    TTestPolyLine* Q = AddLine(MakePath({{10, 0, PT_MOVETO}}));
    Q->Rotate(0.6, -0.4, std::numbers::pi);
    EXPECT_EQ(PointsOf(Q->GetBasePath()), (VP{{-8, 0}}));
    // Scaling in units of 1024: the same size still records, and changes nothing.
    TTestPolyLine* S = AddLine(MakePath({{10, 0, PT_MOVETO}, {-15, 4, PT_LINETO}}));
    const auto Before = StateOf(*S);
    Page.History.CommandStart("same size");
    S->ScaleTo(0.0, 0.0, 1024.0, 1024.0);
    Page.History.CommandEnd();
    EXPECT_EQ(S->Records, (Recs{{0, 23}, {1, 23}}));
    EXPECT_EQ(StateOf(*S), Before);
    EXPECT_EQ(UndoRedo(*S, [&] { S->ScaleTo(0.0, 0.0, 1536.0, 2048.0); }), (Recs{{0, 23}, {1, 23}}));
    // Truncated toward zero: 10 x 1.5 = 15, -15 x 1.5 = -22.5 -> -22.
    EXPECT_EQ(PointsOf(S->GetBasePath()), (VP{{15, 0}, {-22, 8}}));
    EXPECT_EQ(S->GetBasePath().Bounds, (TRect{-22, 0, 15, 8}));
}

TEST_F(LineObjectTest, LineCommandsUndoAndRedoExactly)
{
    TTestShape* S = Add();
    Quietly([&] { S->SetFillPath(1); });
    EXPECT_EQ(UndoRedo(*S, [&] { TDrawItem::SetItemsFillPath(*S, 0); }), (Recs{{0, 19}, {1, 19}}));
    EXPECT_EQ(S->FillPath(), 0);
    EXPECT_EQ(S->BasePath().Flag, 0);
    TOutline Arc = Outline(OutlineKindArc);
    Arc.Params.ArcFactor = 0.75;
    EXPECT_EQ(UndoRedo(*S, [&] { TDrawItem::SetOutline(*S, Arc); }), (Recs{{0, 20}, {1, 20}}));
    EXPECT_TRUE(S->Outline().Equals(Arc));
    Page.History.Undo();
    EXPECT_EQ(S->Outline().FOutlineKind, 0);
    // Code 18 restores the path macros from their stored form.
    TMacros List;
    List.Insert(0, *TTestMacroLibrary::Get("Blue"));
    TMemoryStream Data;
    List.WriteToStream(Data);
    const int32_t Anchors = Page.AnchorsInvalidated;
    S->GetPath();
    S->Undo(18, Data.Memory(), int32_t(Data.Size()));
    EXPECT_TRUE(S->PathMacros().Equals(List));
    EXPECT_EQ(S->OutputPathState(), 0);
    EXPECT_GT(Page.AnchorsInvalidated, Anchors);
    S->PathMacros().Clear();
    S->Redo(18, Data.Memory(), int32_t(Data.Size()));
    EXPECT_TRUE(S->PathMacros().Equals(List));
    EXPECT_EQ(ErrorOf([&] { S->Undo(21, nullptr, 0); }), "TDrawItem.Undo: Illegal Command.");
    EXPECT_EQ(ErrorOf([&] { S->Redo(22, "\0\0\0\0", 4); }), "TLineObject.Undo: Illegal Data.");
    EXPECT_THROW(S->Undo(22, "\1\2", 2), EReadError);
    // An empty scaling record restores nothing.
    const auto Before = StateOf(*S);
    S->Undo(23, nullptr, 0);
    EXPECT_EQ(StateOf(*S), Before);
}

TEST_F(LineObjectTest, ConvertToPolyLineReplacesTheObject)
{
    auto* Holder = static_cast<TRefLeaf*>(Root.AddChild(std::make_unique<TRefLeaf>(&Page, -1), -1));
    TTestShape* S = Add();
    TTestShape* After = Add();
    TLayer* L = Page.Layers.Add(std::make_unique<TLayer>());
    Quietly([&] {
        S->SetName("S");
        S->SetLayer(L);
        TDrawItem::SetWireframeColor(*S, 9);
        S->Macros().Insert(0, *TTestMacroLibrary::Get("Red"));
        S->SetFillPath(1);
    });
    const int32_t OldID = S->ObjID();
    const std::vector<TPoint> Out = PointsOf(S->GetPath());
    TMacros Macros;
    Macros.Assign(&S->Macros());
    Page.Document.Modified = false;
    Page.History.CommandStart("to polyline");
    TLineObject* New = S->ConvertToPolyLine(Holder, -1);
    Page.History.CommandEnd();
    // S is freed from here on.
    auto* P = dynamic_cast<TTestPolyLine*>(New);
    ASSERT_NE(P, nullptr);
    EXPECT_EQ(Page.History.GetObj(OldID), nullptr);
    ASSERT_EQ(Root.GetCount(), 3);
    EXPECT_EQ(Root.GetItem(1), P);
    EXPECT_EQ(Root.GetItem(2), After);
    // (parent, name, wireframe colour, layer, fill path, path states, outline kind)
    EXPECT_EQ(std::tuple(P->Parent(), P->Name(), P->WireframeColor(), P->Layer(), int(P->FillPath()),
                         P->BasePathState(), P->OutputPathState(), int(P->Outline().FOutlineKind)),
              std::tuple(&Root, "S", 9, L, 1, 2, 2, 0));
    EXPECT_TRUE(P->Macros().Equals(Macros));
    EXPECT_EQ(PointsOf(P->BasePath()), Out);
    EXPECT_EQ(PointsOf(P->OutputPath()), Out);
    EXPECT_EQ(P->NodeKinds, std::vector<uint8_t>(4, 0));
    ASSERT_EQ(Holder->Replaced.size(), 1u);
    EXPECT_EQ(Holder->Replaced[0].second, P);
    EXPECT_TRUE(Page.Document.Modified);
    // Undo puts the shape back in its place under its old ID.
    Page.History.Undo();
    ASSERT_EQ(Root.GetCount(), 3);
    auto* Back = dynamic_cast<TTestShape*>(Root.GetItem(1));
    ASSERT_NE(Back, nullptr);
    EXPECT_EQ(Back->ObjID(), OldID);
    EXPECT_EQ(Back->Name(), "S");
    // A polyline is not converted; an object outside a group cannot be.
    TTestPolyLine* Poly = AddLine(MakePath({{0, 0, PT_MOVETO}, {5, 5, PT_LINETO}}));
    const auto WithPoly = StateOf(Root);
    EXPECT_EQ(Poly->ConvertToPolyLine(nullptr, -1), nullptr);
    EXPECT_EQ(StateOf(Root), WithPoly);
    TTestShape Loose(&Page, -1);
    EXPECT_EQ(ErrorOf([&] { Loose.ConvertToPolyLine(nullptr, -1); }),
              "TLineObject.ConvertToPolyLine: (iIndex < 0)");
}

TEST_F(LineObjectTest, PolylineStreamFormsRoundTrip)
{
    TTestPolyLine* P = AddLine(MakePath({{0, 0, PT_MOVETO}, {30, 0, PT_BEZIERTO},
                                         {30, 30, PT_BEZIERTO}, {0, 30, PT_BEZIERTO | PT_CLOSEFIGURE}}));
    const TOutline Arc = Outline(OutlineKindArc);
    Quietly([&] {
        P->PathMacros().Insert(0, *TTestMacroLibrary::Get("Blue"));
        TDrawItem::SetOutline(*P, Arc);
    });
    for (bool Text : {false, true}) {
        TMemoryStream S;
        Text ? P->WriteToStreamAsText(S) : P->WriteToStream(S);
        S.SetPosition(0);
        auto Read = Text ? DrawItemReadFromStreamAsTextNew(S, &Page, nullptr, 25)
                         : DrawItemReadFromStreamNew(S, &Page, nullptr, -1, 25);
        auto* R = dynamic_cast<TTestPolyLine*>(Read.get());
        ASSERT_NE(R, nullptr) << Text;
        EXPECT_EQ(S.Position(), S.Size());
        EXPECT_EQ(std::tuple(R->BasePathState(), R->OutputPathState()), std::tuple(2, 0));
        // The whole binary form (path, path macros, outline...) but the ID.
        Root.AddChild(std::move(Read), -1);
        std::vector<uint8_t> A = StateOf(*R), B = StateOf(*P);
        std::copy(B.begin() + 1, B.begin() + 5, A.begin() + 1);
        EXPECT_EQ(A, B) << Text;
    }
}

TEST_F(LineObjectTest, CommonAttributesAndSameAttributes)
{
    TTestShape* A = Add();
    TTestShape* B = Add();
    Quietly([&] {
        A->SetFillPath(1);
        TDrawItem::SetOutline(*B, Outline(OutlineKindArc));
    });
    EXPECT_FALSE(A->SameAttributes(B));
    auto Prop = Root.MakePropertyObject();
    auto* O = dynamic_cast<TLineObject*>(Prop.get());
    ASSERT_NE(O, nullptr);
    EXPECT_EQ(O->FillPath(), 255);
    EXPECT_EQ(O->Outline().FOutlineKind, OutlineKindMerged);
    Quietly([&] {
        B->SetFillPath(1);
        TDrawItem::SetOutline(*B, TOutline());
    });
    EXPECT_TRUE(A->SameAttributes(B));
}
