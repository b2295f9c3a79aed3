// A document window on a 200 x 150 page with snapping off, driven by
// synthetic mouse events on its view, for the mouse tool tests.
#pragma once

#include "child_test_support.h"

#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/poly_line_obj.h"
#include "store/history.h"

#include <QMouseEvent>

// A line for the node tests: its FailAt-th path rebuild from now fails (0:
// none), and its path-macro flag can be set.
class TNodeTestLine : public TPolyLineObj {
public:
    using TPolyLineObj::TPolyLineObj;
    void RebuildPath() override
    {
        if (FailAt > 0 && --FailAt == 0)
            throw EUserError("no rebuild");
        TPolyLineObj::RebuildPath();
    }
    void SetPathMacroFlag(uint8_t Flag) { FbPathMacro = Flag; }
    int FailAt = 0;
};

inline std::string DocumentBytes(TfrmChild* W)
{
    TMemoryStream S;
    W->Document()->SaveToStream(S);
    return std::string(static_cast<const char*>(S.Memory()), size_t(S.Size()));
}

struct MouseFormTest : ChildFormTest {
    TfrmChild* W = nullptr;
    THistoryCommand* H = nullptr;

    void SetUp() override
    {
        ChildFormTest::SetUp();
        W = Open(200, 150);
        if (W->SnapObj())
            W->actSnapObjExecute();
        H = W->Document()->History();
        TrecGrid G = Page().Grid();
        G.SnapGrid = 0;
        Page().SetGridOption(G);
    }
    TPage& Page() { return PageOf(W); }
    TSelectedObjects& Sel() { return *dynamic_cast<TSelectedObjects*>(Page().Selection()); }
    QPoint View(const TPoint& P) const
    {
        const TPoint V = W->DocToView(P);
        return {V.X, V.Y};
    }
    void Send(QEvent::Type Type, const TPoint& P, Qt::MouseButtons Held, Qt::KeyboardModifiers Keys = {})
    {
        const Qt::MouseButton B = Type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
        QMouseEvent E(Type, View(P), W->pboxkClient->mapToGlobal(View(P)), B, Held, Keys);
        QApplication::sendEvent(W->pboxkClient, &E);
    }
    void Press(const TPoint& P, Qt::KeyboardModifiers Keys = {}) { Send(QEvent::MouseButtonPress, P, Qt::LeftButton, Keys); }
    void Release(const TPoint& P, Qt::KeyboardModifiers Keys = {}) { Send(QEvent::MouseButtonRelease, P, Qt::NoButton, Keys); }
    // Steps moves from From towards To, the button held.
    void Moves(const TPoint& From, const TPoint& To, Qt::KeyboardModifiers Keys = {}, int Steps = 4)
    {
        for (int I = 1; I <= Steps; ++I)
            Send(QEvent::MouseMove, {From.X + (To.X - From.X) * I / Steps, From.Y + (To.Y - From.Y) * I / Steps},
                 Qt::LeftButton, Keys);
    }
    void Drag(const TPoint& From, const TPoint& To, Qt::KeyboardModifiers Keys = {}, int Steps = 4)
    {
        Press(From, Keys);
        Moves(From, To, Keys, Steps);
        Release(To, Keys);
    }
    void Click(const TPoint& P, Qt::KeyboardModifiers Keys = {})
    {
        QTest::mouseClick(W->pboxkClient, Qt::LeftButton, Keys, View(P));
    }
    // Runs Edit, which must record one command Caption; undo gives back the
    // document byte for byte, redo the edited one.
    template <class F>
    void ExpectOneStep(const std::string& Caption, F&& Edit)
    {
        H->ClearHistory();
        const std::string Before = DocumentBytes(W);
        Edit();
        const std::string After = DocumentBytes(W);
        EXPECT_NE(After, Before);
        EXPECT_EQ(H->UndoCaption(), Caption);
        W->actUndoExecute();
        EXPECT_FALSE(H->CanUndo());
        EXPECT_EQ(DocumentBytes(W), Before);
        W->actRedoExecute();
        EXPECT_EQ(DocumentBytes(W), After);
    }
};
