#include "editors/grad_stop_bar.h"

#include "paint/gradation_object.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

TGradStopBars::TGradStopBars(QWidget* Parent, int BarWidth) : QWidget(Parent)
{
    const int W = std::max(BarWidth, 8);
    FCol = QRect(Margin, AnchorStrip, W, BarHeight);
    FMixed = QRect(Margin, FCol.top() + BarHeight + 2, W, BarHeight);
    FTrans = QRect(Margin, FMixed.top() + BarHeight + 2, W, BarHeight);
    setFixedSize(W + 2 * Margin, FTrans.top() + BarHeight + AnchorStrip);
    setMouseTracking(false);
}

void TGradStopBars::SetGradation(TGradationObject* Gradation)
{
    FGrad = Gradation;
    RebuildAnchors();
}

void TGradStopBars::RebuildAnchors()
{
    FColAnchors.Clear();
    FTransAnchors.Clear();
    FTrash.reset();
    FDrag = nullptr;
    FMode = 0;
    if (FGrad) {
        const int ColY = FCol.top() - 9;
        const int TransY = FTrans.top() + FTrans.height() + 8;
        for (const auto& S : FGrad->ColStops)
            FColAnchors.AddOrSet(AnchorColor, StopBarPixel(FCol.left(), FCol.width(), S.iPosition), S.Color, ColY);
        for (const auto& S : FGrad->TransStops)
            FTransAnchors.AddOrSet(AnchorTrans, StopBarPixel(FTrans.left(), FTrans.width(), S.iPosition),
                                   GreyOfOpacity(S.iValue), TransY);
    }
    update();
}

void TGradStopBars::Reverse()
{
    if (!FGrad)
        return;
    // Rebuilt from the reversed stops rather than mirrored, so each anchor
    // stays on its stop's own pixel.
    FGrad->Reverse();
    RebuildAnchors();
    Changed();
}

void TGradStopBars::Changed()
{
    update();
    if (OnChange)
        OnChange();
}

void TGradStopBars::Status(const std::string& Text)
{
    if (OnStatus)
        OnStatus(Text);
}

int TGradStopBars::StopIndexOf(uint8_t Kind, const TAnchorCol* Anchor) const
{
    const TGradAnchors& List = Kind == AnchorColor ? FColAnchors : FTransAnchors;
    const QRect& Bar = Kind == AnchorColor ? FCol : FTrans;
    const int Stops = static_cast<int>(Kind == AnchorColor ? FGrad->ColStops.size() : FGrad->TransStops.size());
    // Stops and anchors run in parallel unless stops shared a pixel.
    if (List.Count() == Stops)
        return List.IndexOf(Anchor);
    for (int I = 0; I < Stops; ++I) {
        const int P = Kind == AnchorColor ? FGrad->ColStops[I].iPosition : FGrad->TransStops[I].iPosition;
        if (StopBarPixel(Bar.left(), Bar.width(), P) == Anchor->X ||
            P == StopBarPosition(Bar.left(), Bar.width(), Anchor->X))
            return I;
    }
    return -1;
}

int TGradStopBars::StopAt(uint8_t Kind, int32_t Position, int Except) const
{
    const int Stops = static_cast<int>(Kind == AnchorColor ? FGrad->ColStops.size() : FGrad->TransStops.size());
    for (int I = 0; I < Stops; ++I)
        if (I != Except &&
            (Kind == AnchorColor ? FGrad->ColStops[I].iPosition : FGrad->TransStops[I].iPosition) == Position)
            return I;
    return -1;
}

bool TGradStopBars::FreeSlot(uint8_t Kind, int32_t X, int32_t& Slot, const TAnchorCol* Except,
                             int ExceptStop) const
{
    const TGradAnchors& List = Kind == AnchorColor ? FColAnchors : FTransAnchors;
    const QRect& Bar = Kind == AnchorColor ? FCol : FTrans;
    auto Taken = [&](int32_t S) {
        return List.Occupied(S, Except) ||
               StopAt(Kind, StopBarPosition(Bar.left(), Bar.width(), S), ExceptStop) >= 0;
    };
    return FindFreeSlot(Taken, Bar.left(), Bar.width(), X, Slot);
}

void TGradStopBars::SetStopValue(uint8_t Kind, int Index, int32_t Value)
{
    if (Kind == AnchorColor) {
        if (Index >= 0 && Index < static_cast<int>(FGrad->ColStops.size()))
            FGrad->ColStops[Index].Color = Value;
    } else if (Index >= 0 && Index < static_cast<int>(FGrad->TransStops.size()))
        FGrad->TransStops[Index].iValue = Value;
}

bool TGradStopBars::AddStop(uint8_t Kind, int X)
{
    if (!FGrad)
        return false;
    const bool IsCol = Kind == AnchorColor;
    TGradAnchors& List = IsCol ? FColAnchors : FTransAnchors;
    const QRect& Bar = IsCol ? FCol : FTrans;
    int32_t Slot = 0;
    if (!FreeSlot(Kind, X, Slot))
        return false;
    const int32_t P = StopBarPosition(Bar.left(), Bar.width(), Slot);
    // The slot search keeps clear of every stop; a new stop never takes over
    // one the user made.
    if (StopAt(Kind, P) >= 0 || List.Occupied(Slot))
        return false;
    TGradationTable R, G, B, O;
    MakeGradationTable(*FGrad, R, G, B, O);
    int Index = (Slot - Bar.left()) * 1024 / Bar.width();
    if (FGrad->bRepetition == GradRepeatReflect)
        Index /= 2;
    Index = std::clamp(Index, 0, GradationTableSize - 1);
    int32_t Value = IsCol ? (R[Index] | (G[Index] << 8) | (B[Index] << 16)) : O[Index];
    // Cancelling gives back exactly this.
    const TrecGradation Before = *FGrad;
    TAnchorCol* Anchor = List.AddOrSet(Kind, Slot, IsCol ? Value : GreyOfOpacity(Value),
                                       IsCol ? FCol.top() - 9 : FTrans.top() + FTrans.height() + 8);
    if (IsCol)
        FGrad->SetColStop(P, Value);
    else
        FGrad->SetTransStop(P, Value);
    auto Apply = [this, Anchor, IsCol, P](int32_t V) {
        Anchor->Color = IsCol ? V : GreyOfOpacity(V);
        for (auto& S : FGrad->ColStops)
            if (IsCol && S.iPosition == P)
                S.Color = V;
        for (auto& S : FGrad->TransStops)
            if (!IsCol && S.iPosition == P)
                S.iValue = V;
        Changed();
    };
    const TPickValue& Pick = IsCol ? PickColor : PickTrans;
    const bool Ok = !Pick || Pick(Value, Apply);
    if (Ok)
        Apply(Value);
    else {
        List.DelAnchor(Kind, Anchor->X, Anchor->Y);
        static_cast<TrecGradation&>(*FGrad) = Before;
        Changed();
    }
    return Ok;
}

bool TGradStopBars::InZone(int X, int Y) const
{
    return X >= FCol.left() - 20 && X <= FCol.left() + FCol.width() + 20 && Y >= FCol.top() - 20 &&
           Y <= FTrans.top() + FTrans.height() + 20;
}

void TGradStopBars::MouseDown(int X, int Y)
{
    if (!FGrad)
        return;
    FDown = QPoint(X, Y);
    FMode = 0;
    FDrag = nullptr;
    if (FTransAnchors.HitTest(X, Y)) {
        FMode = 5;
        FDrag = FTransAnchors.Hit();
    } else if (FColAnchors.HitTest(X, Y)) {
        FMode = 3;
        FDrag = FColAnchors.Hit();
    } else if (FCol.contains(X, Y)) {
        AddStop(AnchorColor, X);
        return;
    } else if (FTrans.contains(X, Y)) {
        AddStop(AnchorTrans, X);
        return;
    }
    if (FDrag) {
        FDragStop = StopIndexOf(FMode == 3 ? AnchorColor : AnchorTrans, FDrag);
        const QRect& Bar = FMode == 3 ? FCol : FTrans;
        Status("位置=" + std::to_string(StopBarPosition(Bar.left(), Bar.width(), FDrag->X) * 100 / 1023) + "%");
    }
}

void TGradStopBars::MouseMove(int X, int Y)
{
    if ((FMode == 3 || FMode == 5) && (X - FDown.x()) * (X - FDown.x()) + (Y - FDown.y()) * (Y - FDown.y()) > 16)
        ++FMode;
    if (FMode != 4 && FMode != 6)
        return;
    const bool IsCol = FMode == 4;
    const uint8_t Kind = IsCol ? AnchorColor : AnchorTrans;
    TGradAnchors& List = IsCol ? FColAnchors : FTransAnchors;
    const QRect& Bar = IsCol ? FCol : FTrans;
    if (!InZone(X, Y)) {
        if (!FTrash) {
            if (IsCol)
                FGrad->DeleteColStop(FDragStop);
            else
                FGrad->DeleteTransStop(FDragStop);
            FTrash = List.Take(FDrag);
            Changed();
        }
        return;
    }
    if (FTrash) {
        // Back on the bars at a slot of its own: its old place may have
        // been a stop's pixel rather than a slot.
        int32_t Back = 0;
        if (!FreeSlot(Kind, FDrag->X, Back))
            return;
        FDrag->X = Back;
        List.Put(std::move(FTrash));
        const int32_t P = StopBarPosition(Bar.left(), Bar.width(), FDrag->X);
        if (IsCol)
            FGrad->SetColStop(P, FDrag->Color);
        else
            FGrad->SetTransStop(P, FDrag->Color & 0xFF);
        FDragStop = StopIndexOf(Kind, FDrag);
        Changed();
    }
    const int Cx = std::clamp(X, Bar.left(), Bar.left() + Bar.width() - 1);
    int32_t Slot = 0;
    if (!FreeSlot(Kind, Cx, Slot, FDrag, FDragStop) || Slot == FDrag->X)
        return;
    FDrag->X = Slot;
    const int32_t P = StopBarPosition(Bar.left(), Bar.width(), Slot);
    if (IsCol && FDragStop >= 0 && FDragStop < static_cast<int>(FGrad->ColStops.size()))
        FGrad->ColStops[FDragStop].iPosition = P;
    else if (!IsCol && FDragStop >= 0 && FDragStop < static_cast<int>(FGrad->TransStops.size()))
        FGrad->TransStops[FDragStop].iPosition = P;
    List.Sort();
    if (IsCol)
        FGrad->SortColStops();
    else
        FGrad->SortTransStops();
    FDragStop = StopIndexOf(Kind, FDrag);
    Changed();
    Status("位置=" + std::to_string(P * 100 / 1023) + "%");
}

void TGradStopBars::EditHit(uint8_t Kind)
{
    const TPickValue& Pick = Kind == AnchorColor ? PickColor : PickTrans;
    if (!Pick || FDragStop < 0)
        return;
    const int Index = FDragStop;
    TAnchorCol* Anchor = FDrag;
    int32_t Value = Kind == AnchorColor ? Anchor->Color : (Anchor->Color & 0xFF);
    auto Apply = [this, Kind, Index, Anchor](int32_t V) {
        Anchor->Color = Kind == AnchorColor ? V : GreyOfOpacity(V);
        SetStopValue(Kind, Index, V);
        Changed();
    };
    const int32_t Old = Value;
    if (Pick(Value, Apply))
        Apply(Value);
    else if (Value != Old)
        Apply(Old);
}

void TGradStopBars::MouseUp()
{
    if (FMode == 3)
        EditHit(AnchorColor);
    else if (FMode == 5)
        EditHit(AnchorTrans);
    FTrash.reset(); // a stop dropped off the bars stays deleted
    FDrag = nullptr;
    FDragStop = -1;
    FMode = 0;
    Status("");
    update();
}

void TGradStopBars::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton)
        MouseDown(Event->position().toPoint().x(), Event->position().toPoint().y());
}

void TGradStopBars::mouseMoveEvent(QMouseEvent* Event)
{
    // Without mouse tracking moves arrive only while a button is down.
    MouseMove(Event->position().toPoint().x(), Event->position().toPoint().y());
}

void TGradStopBars::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton)
        MouseUp();
}

void TGradStopBars::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    P.fillRect(rect(), palette().color(QPalette::Button));
    if (FGrad) {
        TGradationTable R, G, B, O;
        MakeGradationTable(*FGrad, R, G, B, O);
        const int W = FCol.width();
        for (int X = 0; X < W; ++X) {
            const int I = W > 1 ? X * (GradationTableSize - 1) / (W - 1) : 0;
            P.setPen(QColor(R[I], G[I], B[I]));
            P.drawLine(FCol.left() + X, FCol.top(), FCol.left() + X, FCol.bottom());
            P.setPen(QColor(O[I], O[I], O[I]));
            P.drawLine(FTrans.left() + X, FTrans.top(), FTrans.left() + X, FTrans.bottom());
            for (int Y = 0; Y < FMixed.height(); ++Y) {
                const int Check = ((X / 8) + (Y / 8)) % 2 ? 0 : 255;
                auto Mix = [&](int C) { return (C * O[I] + Check * (255 - O[I]) + 127) / 255; };
                P.setPen(QColor(Mix(R[I]), Mix(G[I]), Mix(B[I])));
                P.drawPoint(FMixed.left() + X, FMixed.top() + Y);
            }
        }
    }
    P.setPen(Qt::darkGray);
    P.setBrush(Qt::NoBrush);
    for (const QRect& Bar : {FCol, FMixed, FTrans})
        P.drawRect(Bar.adjusted(-1, -1, 0, 0));
    FColAnchors.Draw(P);
    FTransAnchors.Draw(P);
}
