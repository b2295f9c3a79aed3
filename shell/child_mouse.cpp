// The document window's mouse tools: the mouse-mode dispatcher, snapping,
// the drawing tools that create items and the select tool that picks,
// moves, scales and rotates the selection. Bands and outlines go to the XOR
// overlay; the page is only changed at the release, as one history command.
#include "shell/child_form.h"
#include "shell/history_bracket.h"
#include "shell/input_text.h"
#include "shell/xor_overlay.h"

#include "foundation/bezier.h"
#include "foundation/geometry.h"
#include "model/anchors.h"
#include "model/curve_fit.h"
#include "model/default_data.h"
#include "model/document.h"
#include "model/drag_frame_dc.h"
#include "model/draw_group.h"
#include "model/layer.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "model/selection.h"
#include "model/shape_outline.h"
#include "model/text_model.h"
#include "model/text_object.h"
#include "platform/cp932.h"
#include "platform/qt/qt_drawing.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/screen_cursors.h"
#include "store/history.h"
#include "ui/paint_box_wex.h"
#include "ui/scroll_bar_wex.h"

#include <QCursor>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

#include <cmath>
#include <map>
#include <numbers>

namespace {

constexpr uint32_t BandColour = 0xFFFF00;     // yellow
constexpr uint32_t OutlineColour = 0xFFFFFF;  // the focus rectangle; items pick their own

uint8_t ShiftOf(Qt::KeyboardModifiers M)
{
    return uint8_t((M & Qt::ShiftModifier ? ssShift : 0) | (M & Qt::AltModifier ? ssAlt : 0) |
                   (M & Qt::ControlModifier ? ssCtrl : 0));
}

int64_t Dist2(const TPoint& A, const TPoint& B)
{
    const int64_t DX = int64_t(B.X) - A.X;
    const int64_t DY = int64_t(B.Y) - A.Y;
    return DX * DX + DY * DY;
}

double AngleStep()
{
    const TDefaultData* D = GetDefaultAttributes();
    return D ? D->AngleStep : 15.0;
}

// One snapping axis: the nearest grid line at Origin + k x Step. No snapping
// for a step that is not a positive finite number.
int32_t SnapAxis(int32_t V, double Origin, double Step)
{
    if (!(Step > 0) || !std::isfinite(Step))
        return V;
    return static_cast<int32_t>(std::floor(std::floor((V - Origin + Step / 2) / Step) * Step)) +
           static_cast<int32_t>(Origin);
}

// The cursor of a resource name, loaded once.
QCursor NamedCursor(const char* Name)
{
    static std::map<std::string, int32_t> Indexes;
    auto It = Indexes.find(Name);
    if (It == Indexes.end())
        It = Indexes.emplace(Name, SetCursorByResource(nullptr, Name)).first;
    return ScreenCursors().Cursor(It->second);
}

// The mouse-mode table's resource names; nullptr: hit-test the selection.
const char* ModeCursorName(uint8_t Mode, uint8_t PolyMode)
{
    static const char* const Poly[8] = {nullptr, "CLINE",    "CBEZIER", "CFREEH",
                                        "CRECT", "CPOLYGON", "CSTAR",   "CELLIPSE"};
    if (Mode >= 15 && Mode <= 20)
        return PolyMode < 8 ? Poly[PolyMode] : nullptr;
    if (Mode == 3)
        return "CHNDOPN";
    if (Mode == 4 || Mode == 5)
        return "CHNDCLS";
    if (Mode >= 6 && Mode <= 12)
        return "CEDTNODE";
    if (Mode == 13)
        return "CADNODE";
    if (Mode == 14)
        return "CTEXT";
    if (Mode == 23 || Mode == 24 || Mode == 27 || Mode == 28)
        return AnchorCursorName(akLeft);
    if (Mode == 25 || Mode == 26 || Mode == 29 || Mode == 30)
        return AnchorCursorName(akTop);
    if (Mode == 31 || Mode == 32 || Mode == 37 || Mode == 38)
        return AnchorCursorName(akTopLeft);
    if (Mode >= 33 && Mode <= 36)
        return AnchorCursorName(akTopRight);
    return nullptr;
}

void SetPoint(TrecPolyLine& Path, int32_t I, const TPoint& P, uint8_t Type)
{
    Path.Points[I] = P;
    Path.pabType[I] = Type;
}

} // namespace

bool TfrmChild::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched != pboxkClient)
        return QWidget::eventFilter(Watched, Event);
    switch (Event->type()) {
    case QEvent::MouseButtonPress: {
        auto* E = static_cast<QMouseEvent*>(Event);
        pboxkClientMouseDown(E->button(), ShiftOf(E->modifiers()), E->position().x(), E->position().y());
        return true;
    }
    case QEvent::MouseMove: {
        auto* E = static_cast<QMouseEvent*>(Event);
        if (E->buttons() != Qt::NoButton)
            FormMouseMove(ShiftOf(E->modifiers()), E->position().x(), E->position().y());
        else
            pboxkClientMouseMove(ShiftOf(E->modifiers()), E->position().x(), E->position().y());
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* E = static_cast<QMouseEvent*>(Event);
        pboxkClientMouseUp(E->button(), ShiftOf(E->modifiers()), E->position().x(), E->position().y());
        return true;
    }
    default:
        return QWidget::eventFilter(Watched, Event);
    }
}

// ---------------------------------------------------------------------------
// Mapping, snapping, readouts

int32_t TfrmChild::PickTolerance() const
{
    const TDefaultData* D = GetDefaultAttributes();
    const int32_t T = D ? D->PickTolerance : 5;
    return std::max(1, (T * 100 + FiZoom / 2) / FiZoom);
}

TPoint TfrmChild::SnapPoint(const TPoint& P) const
{
    TPage* Page = DrawingPage();
    if (!Page)
        return P;
    if (FbSnapObj) {
        TPoint Q = P;
        const int32_t T = PickTolerance();
        if (Page->RootGroup().SnapPoint(Q, T * T))
            return Q;
    }
    const TrecGrid& G = Page->Grid();
    if (!G.SnapGrid)
        return P;
    double SX = 0;
    double SY = 0;
    GetGridStep(G, Page->DPI(), SX, SY);
    return {SnapAxis(P.X, G.Value1, SX), SnapAxis(P.Y, G.Value2, SY)};
}

TPoint TfrmChild::ConstrainLinePoint(const TPoint& P, uint8_t Shift) const
{
    if (Shift == ssShift) {
        TPoint Q = P;
        if (AngleStep() != 0)
            SnapPointToAngle(FptMouseDown, Q, AngleStep());
        return Q;
    }
    return SnapPoint(P);
}

void TfrmChild::ShowMousePosition(const TPoint& P)
{
    FFrame.SetStatusText(0, "(X,Y)=(" + std::to_string(P.X) + "," + std::to_string(P.Y) + ")");
}

void TfrmChild::ShowDrawReadout(const TPoint& P)
{
    ShowMousePosition(P);
    TPage* Page = DrawingPage();
    if (!Page)
        return;
    const uint8_t Sub = Page->PolySubMode();
    if (Sub <= 3) {
        const int32_t DX = P.X - FptMouseDown.X;
        const int32_t DY = P.Y - FptMouseDown.Y;
        const auto Len = std::lround(std::sqrt(double(DX) * DX + double(DY) * DY));
        FFrame.SetStatusText(1, "(X,Y)=(" + std::to_string(P.X) + "," + std::to_string(P.Y) + "), (Δ)=(" +
                                    std::to_string(DX) + "," + std::to_string(DY) + "), Len=" +
                                    std::to_string(Len));
    } else {
        const TRect R = GetDragRect(FptMouseDown, P, FDragShift);
        FFrame.SetStatusText(1, "中心=(" + std::to_string((R.Left + R.Right) >> 1) + "," +
                                    std::to_string((R.Top + R.Bottom) >> 1) + "), (幅,高さ)=(" +
                                    std::to_string(R.Right - R.Left) + "," + std::to_string(R.Bottom - R.Top) +
                                    ")");
    }
}

void TfrmChild::UpdateCursor(int32_t)
{
    TPage* Page = DrawingPage();
    if (!Page)
        return;
    const uint8_t Mode = Page->MouseMode();
    const char* Name = ModeCursorName(Mode, Page->PolySubMode());
    QCursor C(Qt::ArrowCursor);
    if (Name && *Name) {
        C = NamedCursor(Name);
    } else if (!(Mode == 0 && (GetAsyncShiftState() & ssCtrl))) {
        if (TSelectedObjects* Sel = Selection()) {
            const char* Hit = AnchorCursorName(Sel->HitTest(FptLastMouse.X, FptLastMouse.Y, FiZoom) & 127);
            if (Hit && *Hit)
                C = NamedCursor(Hit);
        }
    }
    if (pboxkClient->cursor().shape() == C.shape() &&
        (C.shape() != Qt::BitmapCursor || pboxkClient->cursor().pixmap().cacheKey() == C.pixmap().cacheKey()))
        return;
    for (QWidget* W : {static_cast<QWidget*>(pboxkClient), static_cast<QWidget*>(pboxRulerH),
                       static_cast<QWidget*>(pboxRulerV), static_cast<QWidget*>(imgRulerHead)})
        W->setCursor(C);
}

// ---------------------------------------------------------------------------
// The dispatcher

void TfrmChild::pboxkClientMouseDown(Qt::MouseButton Button, uint8_t Shift, int32_t X, int32_t Y)
{
    TPage* Page = DrawingPage();
    if (!Page)
        return;
    const TPoint P = ViewToDoc({X, Y});
    FDragShift = Shift;
    if (Button == Qt::LeftButton) {
        FHandStart = QPoint(X, Y);
        LeftDown(Shift, P);
    } else if (Button == Qt::RightButton) {
        const uint8_t Mode = Page->MouseMode();
        if (Mode == 0) {
            TSelectedObjects* Sel = Selection();
            const uint8_t Hit = Sel ? Sel->HitTest(P.X, P.Y, FiZoom) : 0;
            BuildPopupMenu(Hit >= 1 && Hit <= 11 ? 1 : 0);
            PopupMenu->popup(QCursor::pos());
        } else if (Mode == 6) {
            BuildPopupMenu(2);
            PopupMenu->popup(QCursor::pos());
        }
        FptMouseDown = P;
    }
    pboxkClient->update();
}

void TfrmChild::LeftDown(uint8_t Shift, const TPoint& Point)
{
    TPage* Page = DrawingPage();
    TPoint P = Point;
    const uint8_t Mode = Page->MouseMode();
    FbCaptured = Mode != 14;
    switch (Mode) {
    case 0: {
        static const uint8_t ByHit[12] = {1, 21, 25, 23, 27, 29, 31, 33, 35, 37, 39, 41};
        TSelectedObjects* Sel = Selection();
        const uint8_t Hit = (Shift & ssCtrl) || !Sel ? 0 : Sel->HitTest(P.X, P.Y, FiZoom);
        if (Hit >= 1 && Hit <= 9)
            P = SnapPoint(P);
        Page->SetMouseMode(Hit < 12 ? ByHit[Hit] : 1);
        break;
    }
    case 3:
        FHandBarX = ScrollBarH->value();
        FHandBarY = ScrollBarV->value();
        Page->SetMouseMode(5);
        UpdateCursor(0);
        break;
    case 6:
    case 13:
        NodeDown(P);
        break;
    case 14:
        TextTool(P);
        break;
    case 15:
    case 18:
        P = SnapPoint(P);
        Page->SetMouseMode(Mode + 1);
        break;
    default:
        break;
    }
    FptMouseDown = P;
    FptPrevDrag = P;
}

void TfrmChild::ShowRulerCursors(int32_t X, int32_t Y)
{
    if (X != FiRulerPosH)
        DrawRulerCursorH(X);
    if (Y != FiRulerPosV)
        DrawRulerCursorV(Y);
}

void TfrmChild::pboxkClientMouseMove(uint8_t Shift, int32_t X, int32_t Y)
{
    TPage* Page = DrawingPage();
    if (!Page)
        return;
    FDragShift = Shift;
    ShowRulerCursors(X, Y);
    TPoint P = ViewToDoc({X, Y});
    FptLastMouse = P;
    UpdateCursor(0);
    const uint8_t Mode = Page->MouseMode();
    if (Mode == 14 || Mode == 15 || Mode == 18)
        P = SnapPoint(P);
    ShowMousePosition(P);
}

void TfrmChild::FormMouseMove(uint8_t Shift, int32_t X, int32_t Y)
{
    TPage* Page = DrawingPage();
    if (!Page)
        return;
    FDragShift = Shift;
    ShowRulerCursors(X, Y);
    const TPoint P = ViewToDoc({X, Y});
    const uint8_t Mode = Page->MouseMode();
    switch (Mode) {
    case 4:
        Page->SetMouseMode(5);
        break;
    case 5: {
        const auto Step = [this](int Start, int From, int To) {
            return Start + int(std::lround((From - To) * 100.0 / FiZoom));
        };
        // The view repaints once the mouse rests, not at every step.
        ++FiScrollUpdating;
        if (ScrollBarH->isVisible())
            ScrollBarH->setValue(Step(FHandBarX, FHandStart.x(), X));
        if (ScrollBarV->isVisible())
            ScrollBarV->setValue(Step(FHandBarY, FHandStart.y(), Y));
        --FiScrollUpdating;
        break;
    }
    case 16:
    case 17:
    case 19:
    case 20:
        DrawingMove(Shift, P);
        break;
    default:
        if (Mode >= 7 && Mode <= 12)
            NodeMove(Shift, P);
        else if (Mode == 1 || Mode == 2 || Mode >= 21)
            SelectMove(Shift, P);
        break;
    }
    ShowMousePosition(P);
    FptLastMouse = P;
}

void TfrmChild::ToolToggle()
{
    TPage* Page = DrawingPage();
    if (!Page)
        return;
    const bool Hand = Page->MouseMode() == 0;
    pboxkClient->setCursor(Hand ? NamedCursor("CHNDOPN") : QCursor(Qt::ArrowCursor));
    FFrame.ClickToolButton(Hand);
}

void TfrmChild::pboxkClientMouseUp(Qt::MouseButton Button, uint8_t Shift, int32_t X, int32_t Y)
{
    TPage* Page = DrawingPage();
    if (Page && Button == Qt::MiddleButton)
        ToolToggle();
    if (!Page || Button != Qt::LeftButton)
        return;
    FDragShift = Shift;
    const TPoint P = ViewToDoc({X, Y});
    const uint8_t Mode = Page->MouseMode();
    const uint8_t Sub = Page->PolySubMode();
    FbCaptured = false;
    switch (Mode) {
    case 4:
    case 5:
        Page->SetMouseMode(3);
        UpdateCursor(0);
        break;
    case 16:
        Page->SetMouseMode(15);
        break;
    case 17:
        if (Sub == 1 || Sub == 2) {
            Page->SetMouseMode(18);
        } else {
            const TPoint E = Sub == 3 ? P : SnapPoint(P);
            Page->SetMouseMode(15);
            EndMakeLine(FptMouseDown, E);
        }
        break;
    case 19:
        Page->SetMouseMode(15);
        EndMakeLine(FptMouseDown, ConstrainLinePoint(P, Shift));
        break;
    case 20:
        Page->SetMouseMode(18);
        break;
    default:
        if (Mode >= 7 && Mode <= 12)
            NodeUp(Shift, P);
        else if (Mode == 1 || Mode == 2 || Mode >= 21)
            SelectUp(Shift, P);
        break;
    }
    if (Page->MouseMode() != 18 && FOverlay->Active()) {
        FOverlay->End();
        pboxkClient->update();
    }
    if (Mode < 15 || Mode > 20) {
        QAction* A = Action(FrameCommand::actDispAnchor);
        FFrame.SetDispAnchor(A ? A->isChecked() : true);
    }
}

// ---------------------------------------------------------------------------
// Drawing tools

void TfrmChild::DrawXorPath()
{
    if (FWorkPath.Count <= 0)
        return;
    FOverlay->Draw(BandColour, [&](QPainter& DC) {
        SetViewMapping(DC, 0, 0);
        PolyDrawPath(DC, FWorkPath);
    });
}

void TfrmChild::BuildShapePath(const TRect& R)
{
    const TDefaultData* D = GetDefaultAttributes();
    TrecPath Path;
    switch (DrawingPage()->PolySubMode()) {
    case 4: {
        TrecRectParam Copy;
        GetRectPath(R, D ? D->RectParam : TrecRectParam{}, Copy, Path);
        break;
    }
    case 5: {
        TrecPolygonParam Copy;
        GetPolygonPath(R, D ? D->PolygonParam : TrecPolygonParam{}, Copy, Path);
        break;
    }
    case 6: {
        TrecStarParam Copy;
        GetStarPath(R, D ? D->StarParam : TrecStarParam{}, Copy, Path);
        break;
    }
    default:
        GetEllipsePath(R, Path);
        break;
    }
    RecPolyLineAssign(FWorkPath, Path);
}

void TfrmChild::DrawingMove(uint8_t Shift, const TPoint& P)
{
    TPage* Page = DrawingPage();
    const uint8_t Mode = Page->MouseMode();
    const uint8_t Sub = Page->PolySubMode();
    const int64_t Tol = PickTolerance();
    const auto Prepare = [&](const TPoint& Q) { return Sub <= 2 ? ConstrainLinePoint(Q, Shift) : SnapPoint(Q); };
    // The control points of the last segment after its end moved.
    const auto Smooth = [&] {
        TrecPolyLine& W = FWorkPath;
        const int32_t N = W.Count;
        if (N < 5) {
            W.Points[N - 3] = InterpolatePoint(W.Points[N - 4], W.Points[N - 1], 3, 1);
            W.Points[N - 2] = InterpolatePoint(W.Points[N - 4], W.Points[N - 1], 1, 3);
            return;
        }
        TPoint Seven[7];
        std::copy(W.Points.begin() + (N - 7), W.Points.begin() + N, Seven);
        if (N <= 7)
            SmoothBezierNodeBoth(Seven);
        else
            SmoothBezierNode(Seven);
        std::copy(Seven, Seven + 7, W.Points.begin() + (N - 7));
    };
    if (Mode == 16 || Mode == 19) {
        const int64_t Limit = Mode == 16 && Sub == 3 ? 15 : Tol * Tol;
        if (Dist2(FptMouseDown, P) <= Limit) {
            ShowMousePosition(P);
            return;
        }
    }
    const TPoint Q = Prepare(P);
    if (Mode == 16) {
        Page->SetMouseMode(17);
        RecPolyLineClear(FWorkPath);
        FOverlay->Begin();
        const TPoint D = FptMouseDown;
        if (Sub == 1) {
            RecPolyLineSetCount(FWorkPath, 2);
            SetPoint(FWorkPath, 0, D, 6);
            SetPoint(FWorkPath, 1, Q, 2);
        } else if (Sub == 2 || Sub == 3) {
            RecPolyLineSetCount(FWorkPath, 4);
            SetPoint(FWorkPath, 0, D, 6);
            SetPoint(FWorkPath, 1, InterpolatePoint(D, Q, 3, 1), 4);
            SetPoint(FWorkPath, 2, InterpolatePoint(D, Q, 1, 3), 4);
            SetPoint(FWorkPath, 3, Q, 4);
            if (Sub == 3)
                FFreeHand = {{double(D.X), double(D.Y)}, {double(Q.X), double(Q.Y)}};
        } else {
            BuildShapePath(GetDragRect(D, Q, Shift));
        }
        DrawXorPath();
    } else if (Mode == 17 || Mode == 20) {
        if (Sub != 3)
            DrawXorPath();
        TrecPolyLine& W = FWorkPath;
        if (Sub == 1) {
            W.Points[W.Count - 1] = Q;
        } else if (Sub == 2) {
            if (!(W.Points[W.Count - 1] == Q)) {
                W.Points[W.Count - 1] = Q;
                Smooth();
            }
        } else if (Sub == 3) {
            const TDPoint& L = FFreeHand.back();
            const double DX = Q.X - L.X;
            const double DY = Q.Y - L.Y;
            if (DX * DX + DY * DY >= 25) {
                if (FFreeHand.size() % 64 == 0)
                    FFreeHand.reserve(FFreeHand.size() + 64);
                FFreeHand.push_back({double(Q.X), double(Q.Y)});
                std::vector<TDPoint> Curve;
                int32_t Segments = 0;
                FitCurve(FFreeHand.data(), int32_t(FFreeHand.size()), Curve, 4.0, Segments);
                if (Segments > 0) {
                    DrawXorPath();
                    RecPolyLineSetCount(W, 3 * Segments + 1);
                    const auto R = [](const TDPoint& C) {
                        return TPoint{int32_t(std::lround(C.X)), int32_t(std::lround(C.Y))};
                    };
                    SetPoint(W, 0, R(Curve[0]), 6);
                    for (int32_t S = 0; S < Segments; ++S)
                        for (int32_t K = 1; K <= 3; ++K)
                            SetPoint(W, 3 * S + K, R(Curve[4 * S + K]), 4);
                    DrawXorPath();
                }
            }
        } else {
            BuildShapePath(GetDragRect(FptMouseDown, Q, Shift));
        }
        if (Sub != 3)
            DrawXorPath();
    } else {  // 19: the next segment
        DrawXorPath();
        Page->SetMouseMode(20);
        TrecPolyLine& W = FWorkPath;
        W.Points[W.Count - 1] = FptMouseDown;
        if (Sub == 1) {
            RecPolyLineSetCount(W, W.Count + 1);
            SetPoint(W, W.Count - 1, Q, 2);
        } else if (!(W.Points[W.Count - 1] == Q)) {
            const int32_t N = W.Count;
            RecPolyLineSetCount(W, N + 3);
            SetPoint(W, N, InterpolatePoint(W.Points[N - 1], Q, 3, 1), 4);
            SetPoint(W, N + 1, InterpolatePoint(W.Points[N - 1], Q, 1, 3), 4);
            SetPoint(W, N + 2, Q, 4);
            Smooth();
        }
        DrawXorPath();
    }
    FptPrevDrag = Q;
    ShowDrawReadout(Q);
}

void TfrmChild::EndMakeLine()
{
    TPage* Page = DrawingPage();
    if (!Page || Page->MouseMode() != 18)
        return;
    Page->SetMouseMode(15);
    EndMakeLine(FptMouseDown, FptPrevDrag);
    FOverlay->End();
    pboxkClient->update();
}

void TfrmChild::EndMakeLine(const TPoint& Start, const TPoint& End)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    if (!Page || !Sel || FWorkPath.Count <= 0)
        return;
    Sel->BeginUpdate();
    const TRect R = GetDragRect(Start, End, FDragShift);
    const TDefaultData* D = GetDefaultAttributes();
    std::unique_ptr<TDrawItem> Item;
    const uint8_t Sub = Page->PolySubMode();
    if (Sub <= 3) {
        auto Line = std::make_unique<TPolyLineObj>(Page, -1);
        TrecPath Path;
        RecPolyLineAssign(Path, FWorkPath);
        Line->SetPathRecord(Path);
        Item = std::move(Line);
    } else {
        std::unique_ptr<TParamObj> Shape;
        if (Sub == 4) {
            auto S = std::make_unique<TRectObj>(Page, -1);
            S->SetParam(D ? D->RectParam : TrecRectParam{});
            Shape = std::move(S);
        } else if (Sub == 5) {
            auto S = std::make_unique<TPolygonObj>(Page, -1);
            S->SetParam(D ? D->PolygonParam : TrecPolygonParam{});
            Shape = std::move(S);
        } else if (Sub == 6) {
            auto S = std::make_unique<TStarObj>(Page, -1);
            S->SetParam(D ? D->StarParam : TrecStarParam{});
            Shape = std::move(S);
        } else {
            Shape = std::make_unique<TEllipseObj>(Page, -1);
        }
        Shape->SetFrame(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top);
        Item = std::move(Shape);
    }
    if (TLayers* L = Page->GetLayers())
        Item->SetLayer(L->GetCurrent());
    TDrawItem* Added = Item.get();
    try {
        Sel->ClearSelection();
        Sel->CommandAddNewDrawItem(std::move(Item), nullptr);
        ShowNewItemOutline(*Added);
    } catch (...) {
        RecPolyLineClear(FWorkPath);
        Sel->EndUpdate();
        throw;
    }
    RecPolyLineClear(FWorkPath);
    Sel->EndUpdate();
    ShowSelectionStatus();
    UpdateActionStates();
}

void TfrmChild::TextTool(const TPoint& Point)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    Sel->BeginUpdate();
    try {
        TfrmInputText Dialog(this);
        if (Dialog.exec() == QDialog::Accepted) {
            const TPoint P = SnapPoint(Point);
            auto Text = std::make_unique<TTextObj>(Page, -1);
            if (TLayers* L = Page->GetLayers())
                Text->SetLayer(L->GetCurrent());
            Text->SetPosition(P.X, P.Y);
            Text->SetNewText(Utf8ToCp932(Dialog.Text()));
            TDrawItem* Added = Text.get();
            Sel->ClearSelection();
            Sel->CommandAddNewDrawItem(std::move(Text), nullptr);
            ShowNewItemOutline(*Added);
        }
    } catch (...) {
        Sel->EndUpdate();
        throw;
    }
    Sel->EndUpdate();
    ShowSelectionStatus();
    UpdateActionStates();
    pboxkClient->update();
}

void TfrmChild::ShowNewItemOutline(TDrawItem& Item)
{
    // The item's own outline, in its wireframe colour: the view shows it
    // until the page's picture has the item, which a long rendering delays.
    TOutlineRecorder Outline{QTransform()};
    Item.DrawDragFrame(Outline, 0);
    FNewItemOutline = std::move(Outline.Lines);
    pboxkClient->update();
}

// ---------------------------------------------------------------------------
// Select tool

void TfrmChild::MoveOffset(uint8_t Shift, const TPoint& Point, int32_t& DX, int32_t& DY) const
{
    const TPoint P = SnapPoint(Point);
    DX = P.X - FptMouseDown.X;
    DY = P.Y - FptMouseDown.Y;
    const double Step = AngleStep();
    if ((Shift & ssShift) && Step != 0) {
        const double Len = std::sqrt(double(DX) * DX + double(DY) * DY);
        const double S = Step * std::numbers::pi / 180;
        const double A = std::floor(std::atan2(DY, DX) / S + 0.5) * S;
        DX = int32_t(std::lround(Len * std::cos(A)));
        DY = int32_t(std::lround(Len * std::sin(A)));
    }
}

void TfrmChild::ScaleFactors(uint8_t Shift, const TPoint& Point, double& CX, double& CY, double& FX,
                             double& FY) const
{
    // Mode pairs 23 left, 25 top, 27 right, 29 bottom, 31 top-left,
    // 33 top-right, 35 bottom-left, 37 bottom-right.
    static const uint8_t KindOfPair[8] = {akLeft,    akTop,      akRight,       akBottom,
                                          akTopLeft, akTopRight, akBottomLeft, akBottomRight};
    const uint8_t H = KindOfPair[std::clamp((DrawingPage()->MouseMode() - 23) / 2, 0, 7)];
    const TPoint P = SnapPoint(Point);
    TSelectedObjects* Sel = Selection();
    const TRect B = Sel->GetBounds();
    const double W = std::max(1, B.Right - B.Left);
    const double Ht = std::max(1, B.Bottom - B.Top);
    const bool Top = H == akTop || H == akTopLeft || H == akTopRight;
    const bool Bottom = H == akBottom || H == akBottomLeft || H == akBottomRight;
    const bool Left = H == akLeft || H == akTopLeft || H == akBottomLeft;
    const bool Right = H == akRight || H == akTopRight || H == akBottomRight;
    const bool Corner = H >= akTopLeft;
    if (Shift & ssShift) {
        CX = (B.Left + B.Right) / 2.0;
        CY = (B.Top + B.Bottom) / 2.0;
        FY = Top || Bottom ? std::abs(P.Y - CY) * 2 * 1024 / Ht : 1024;
        FX = Left || Right ? std::abs(P.X - CX) * 2 * 1024 / W : 1024;
    } else {
        CY = Bottom ? B.Top : B.Bottom;
        FY = Top ? (B.Bottom - P.Y) * 1024 / Ht : Bottom ? (P.Y - B.Top) * 1024 / Ht : 1024;
        CX = Left ? B.Right : B.Left;
        FX = Left ? (B.Right - P.X) * 1024 / W : Right ? (P.X - B.Left) * 1024 / W : 1024;
    }
    if (Shift & ssAlt) {
        const auto Whole = [](double F) {
            return F >= 0 ? std::trunc((F + 512) / 1024) * 1024 : std::trunc((F - 512) / 1024) * 1024;
        };
        FX = Whole(FX);
        FY = Whole(FY);
    }
    if ((Shift & ssCtrl) && Corner) {
        const double M = std::max(std::abs(FX), std::abs(FY));
        FX = std::copysign(M, FX);
        FY = std::copysign(M, FY);
    }
}

double TfrmChild::RotationAngle(uint8_t Shift, const TPoint& P)
{
    const double AX = FptMouseDown.X - FRotCenter.X;
    const double AY = FptMouseDown.Y - FRotCenter.Y;
    const double BX = P.X - FRotCenter.X;
    const double BY = P.Y - FRotCenter.Y;
    // A zero vector has no direction: the last angle stands.
    double Angle = FdLastAngle;
    if ((AX != 0 || AY != 0) && (BX != 0 || BY != 0))
        Angle = std::atan2(AX * BY - AY * BX, AX * BX + AY * BY);
    FdLastAngle = Angle;
    const double Step = AngleStep();
    if ((Shift & ssShift) && Step != 0) {
        const double S = Step * std::numbers::pi / 180;
        Angle = std::floor((S / 2 + Angle) / S) * S;
    }
    return Angle;
}

// The outline of the current drag with the modifier set and point of the
// last step: drawing it again erases it.
void TfrmChild::DrawDragOutline()
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    const uint8_t Mode = Page->MouseMode();
    const TPoint P = FptDragPoint;
    if (Mode == 22) {
        // The outline taken at the drag's start, moved: the items are not
        // asked again at every step.
        int32_t DX = 0;
        int32_t DY = 0;
        MoveOffset(FDragShift, P, DX, DY);
        const double S = FiZoom / 100.0;
        if (FDragOutline)
            FOverlay->DrawOutline(*FDragOutline, DX * S, DY * S);
        return;
    }
    FOverlay->Draw(OutlineColour, [&](QPainter& DC) {
        TOverlayFrameDC FrameDC(DC);
        if (Mode == 2 || Mode == 8) {
            DC.resetTransform();
            const TPoint A = DocToView(FptMouseDown);
            const TPoint B = DocToView(P);
            DC.setPen(QPen(Qt::white, 0, Qt::DotLine));
            DC.drawRect(QRect(QPoint(std::min(A.X, B.X), std::min(A.Y, B.Y)),
                              QPoint(std::max(A.X, B.X), std::max(A.Y, B.Y))));
        } else if (Mode >= 24 && Mode <= 38) {
            double CX, CY, FX, FY;
            ScaleFactors(FDragShift, P, CX, CY, FX, FY);
            SetViewMapping(DC, 0, 0);
            Sel->ScaleDragGroup(FrameDC, CX, CY, FX, FY);
        } else if (Mode == 42) {
            SetViewMapping(DC, 0, 0);
            Sel->RotateDragGroup(FrameDC, FRotCenter.X, FRotCenter.Y, RotationAngle(FDragShift, P));
        }
    });
}

void TfrmChild::TakeDragOutline()
{
    QTransform Mapping;
    Mapping.scale(FiZoom / 100.0, FiZoom / 100.0);
    Mapping.translate(-double(FViewOrigin.X), -double(FViewOrigin.Y));
    TOutlineRecorder Outline(Mapping);
    if (TSelectedObjects* Sel = Selection())
        Sel->DrawXorOutline(Outline, 1);
    FDragOutline = std::make_unique<TXorOutline>(std::move(Outline.Lines));
}

void TfrmChild::RedrawOverlay()
{
    // What the drag under way shows, drawn once on the overlay's new picture
    // with the view's mapping as it is now; the drag's next step erases it.
    TPage* Page = DrawingPage();
    if (!Page || !FOverlay->Active())
        return;
    const uint8_t Mode = Page->MouseMode();
    if (Mode >= 17 && Mode <= 20) {
        DrawXorPath();
    } else if (Mode == 10 || Mode == 12) {
        DrawNodeOutline();
    } else if (Mode == 2 || Mode == 8 || Mode == 22 || (Mode >= 24 && Mode <= 38 && Mode % 2 == 0) ||
               Mode == 42) {
        if (Mode == 22)
            TakeDragOutline();
        DrawDragOutline();
    }
}

void TfrmChild::SelectMove(uint8_t Shift, const TPoint& P)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    const uint8_t Mode = Page->MouseMode();
    const int32_t Tol = PickTolerance();
    if (Mode % 2 == 1) {  // pressed, not moved yet
        if (Dist2(FptMouseDown, P) <= int64_t(Tol) * Tol)
            return;
        if (Mode == 39) {
            Page->SetMouseMode(40);
        } else {
            if (Mode == 41)
                if (TAnchor* C = Sel->GetAnchors().GetRotationCenter())
                    FRotCenter = {double(C->X), double(C->Y)};
            if (Mode != 1) {
                Sel->SetAnchorsVisible(false);
                Sel->DuplicateToDragGroup();
            }
            FdLastAngle = 0;
            // The overlay takes the view's picture as it is now, without
            // the anchors.
            FOverlay->Begin();
            if (Mode == 21)
                TakeDragOutline();
            Page->SetMouseMode(Mode + 1);
            FptDragPoint = P;
            FDragShift = Shift;
            DrawDragOutline();
            return;
        }
    }
    const uint8_t Now = Page->MouseMode();
    if (Now == 40) {
        TAnchor* C = Sel->GetAnchors().GetRotationCenter();
        const TPoint Q = SnapPoint(P);
        if (C && (C->X != Q.X || C->Y != Q.Y)) {
            C->X = Q.X;
            C->Y = Q.Y;
            pboxkClient->update();
        }
        return;
    }
    DrawDragOutline();  // erase
    FptDragPoint = P;
    FDragShift = Shift;
    DrawDragOutline();
    if (Now == 22) {
        int32_t DX = 0;
        int32_t DY = 0;
        MoveOffset(Shift, P, DX, DY);
        FFrame.SetStatusText(1, "(dx,dy)=(" + std::to_string(DX) + "," + std::to_string(DY) + ")");
    } else if (Now >= 24 && Now <= 38) {
        double CX, CY, FX, FY;
        ScaleFactors(Shift, P, CX, CY, FX, FY);
        const TRect B = Sel->GetBounds();
        FFrame.SetStatusText(
            1, "(Sx,Sy)=(" + std::to_string(std::lround(FX / 1024 * 100)) + "," +
                   std::to_string(std::lround(FY / 1024 * 100)) + ")%,(幅,高)=(" +
                   std::to_string(std::lround(std::abs((B.Right - B.Left) * FX / 1024))) + "," +
                   std::to_string(std::lround(std::abs((B.Bottom - B.Top) * FY / 1024))) + ")");
    } else if (Now == 42) {
        char Text[32];
        std::snprintf(Text, sizeof Text, "Angle=%.1f'", RotationAngle(Shift, P) * 180 / std::numbers::pi);
        FFrame.SetStatusText(1, Text);
    }
}

void TfrmChild::SelectUp(uint8_t Shift, const TPoint& P)
{
    TPage* Page = DrawingPage();
    TSelectedObjects* Sel = Selection();
    const uint8_t Mode = Page->MouseMode();
    if (!Sel) {
        Page->SetMouseMode(0);
        return;
    }
    THistoryCommand* H = FDocument ? FDocument->History() : nullptr;
    if (Mode == 1 || Mode == 2) {
        if (Mode == 2) {
            DrawDragOutline();
            FOverlay->End();
        }
        RunReported(H, "図形の選択･解除", [&] {
            Sel->BeginUpdate();
            try {
                Sel->DeleteEmptyTexts();
                if (!(Shift & ssShift)) {
                    Sel->InvalidateView();
                    Sel->ClearSelection();
                }
                TDrawGroup& Root = Page->RootGroup();
                if (Mode == 1) {
                    const int32_t Tol = PickTolerance();
                    for (int32_t I = 0; I < Root.GetCount(); ++I) {
                        TDrawItem* Item = Root.GetItem(I);
                        if (Item->HitTest(P, Tol)) {
                            if (Sel->IsSelected(Item))
                                Sel->RemoveItem(Item);
                            else
                                Sel->AddItem(Item);
                            break;
                        }
                    }
                } else {
                    const TRect R{std::min(FptMouseDown.X, FptDragPoint.X), std::min(FptMouseDown.Y, FptDragPoint.Y),
                                  std::max(FptMouseDown.X, FptDragPoint.X), std::max(FptMouseDown.Y, FptDragPoint.Y)};
                    Sel->SelectInRect(R, (Shift & ssCtrl) != 0, Root);
                }
            } catch (...) {
                Sel->EndUpdate();
                throw;
            }
            Sel->EndUpdate();
        });
        Page->SetMouseMode(0);
        ShowSelectionStatus();
        pboxkClient->update();
        return;
    }
    if (Mode == 22 || (Mode >= 24 && Mode <= 38 && Mode % 2 == 0) || Mode == 42) {
        DrawDragOutline();  // erase
        FOverlay->End();
        FDragOutline.reset();
        FptDragPoint = P;
        FDragShift = Shift;
        if (Mode == 22) {
            int32_t DX = 0;
            int32_t DY = 0;
            MoveOffset(Shift, P, DX, DY);
            if (DX != 0 || DY != 0)
                RunReported(H, "選択図形の移動", [&] { Sel->MoveBy(DX, DY); });
        } else if (Mode == 42) {
            const double A = RotationAngle(Shift, P);
            if (A != 0)
                RunReported(H, "選択図形の回転", [&] { Sel->RotateBy(FRotCenter.X, FRotCenter.Y, A); });
        } else {
            double CX, CY, FX, FY;
            ScaleFactors(Shift, P, CX, CY, FX, FY);
            if (FX != 1024 || FY != 1024)
                RunReported(H, "選択図形の拡大／縮小", [&] { Sel->ScaleTo(CX, CY, FX, FY); });
        }
        Sel->InvalidateView();
        pboxkClient->update();
    }
    Page->SetMouseMode(0);
}
