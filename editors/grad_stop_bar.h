// The stop bars of the gradation page: the colour bar with its colour-stop
// anchors above it, the mixed bar (colour over a checkerboard by opacity)
// and the opacity bar with its opacity-stop anchors below it. Clicking a
// bar adds a stop at the nearest free 4-pixel slot and lets the caller pick
// its value; dragging an anchor moves its stop, dragging it well off the bars
// removes it (and back again restores it until the button goes up); a click
// on an anchor without moving edits its value.
#pragma once

#include "editors/anchor_grad.h"

#include <QRect>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>

class TGradationObject;

class TGradStopBars : public QWidget {
    Q_OBJECT
public:
    // The bars' geometry in the widget at width BarWidth.
    static constexpr int Margin = 24;
    static constexpr int BarHeight = 14;
    static constexpr int AnchorStrip = 14;
    explicit TGradStopBars(QWidget* Parent = nullptr, int BarWidth = 256);

    // The gradation edited; the anchors are rebuilt from its stops.
    void SetGradation(TGradationObject* Gradation);
    void RebuildAnchors();
    // Both bars and the gradation run the other way.
    void Reverse();

    QRect ColBar() const { return FCol; }
    QRect MixedBar() const { return FMixed; }
    QRect TransBar() const { return FTrans; }
    const TGradAnchors& ColAnchors() const { return FColAnchors; }
    const TGradAnchors& TransAnchors() const { return FTransAnchors; }
    uint8_t DragMode() const { return FMode; }
    bool Trashed() const { return FTrash != nullptr; }

    // Picking a value for a stop: Value in and out, Live shows a value while
    // the user picks; true on OK. Unset: the value is kept as it is.
    using TPickValue = std::function<bool(int32_t& Value, const std::function<void(int32_t)>& Live)>;
    TPickValue PickColor; // 0x00BBGGRR
    TPickValue PickTrans; // opacity byte
    // After every change of the gradation (repaint the preview, quick test).
    std::function<void()> OnChange;
    // The status text ("" clears it).
    std::function<void(const std::string&)> OnStatus;

    // Mouse handling in widget coordinates, also reached by the events.
    void MouseDown(int X, int Y);
    void MouseMove(int X, int Y);
    void MouseUp();
    // A stop added on the bar of Kind (AnchorColor, AnchorTrans) at the
    // click X; false when no slot is free or the pick was cancelled.
    bool AddStop(uint8_t Kind, int X);

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    bool InZone(int X, int Y) const;
    int StopIndexOf(uint8_t Kind, const TAnchorCol* Anchor) const;
    // The index of the stop of Kind at Position other than Except, -1 when none.
    int StopAt(uint8_t Kind, int32_t Position, int Except = -1) const;
    // The free-slot search of a bar: a slot is taken by an anchor standing on
    // it (other than Except) and also by a stop (other than ExceptStop) at
    // the slot's position, since an anchor rebuilt from a stop stands on the
    // stop's own pixel, which need not be a slot.
    bool FreeSlot(uint8_t Kind, int32_t X, int32_t& Slot, const TAnchorCol* Except = nullptr,
                  int ExceptStop = -1) const;
    void SetStopValue(uint8_t Kind, int Index, int32_t Value);
    void Changed();
    void Status(const std::string& Text);
    void EditHit(uint8_t Kind);

    TGradationObject* FGrad = nullptr;
    QRect FCol, FMixed, FTrans;
    TGradAnchors FColAnchors, FTransAnchors;
    uint8_t FMode = 0;
    QPoint FDown;
    TAnchorCol* FDrag = nullptr;
    int FDragStop = -1;
    std::unique_ptr<TAnchorCol> FTrash;
};

// The grey anchor colour of an opacity value.
inline int32_t GreyOfOpacity(int32_t V)
{
    V &= 0xFF;
    return V | (V << 8) | (V << 16);
}
