// The outline shown while a tool window is dragged or sized. An X11 client
// cannot draw on the desktop, so the outline is a frameless top-level window
// of its own that takes no input and is masked to the frame: an 8 by 8
// half-tone pattern (alternate pixels), anchored to the screen so that it
// does not crawl while the outline moves.
#pragma once

#include <QRect>
#include <QWidget>

#include <cstdint>

class TDragOutline97 : public QWidget {
public:
    TDragOutline97();
    // An empty Rect hides the outline.
    void SetOutline(const QRect& Rect, int32_t Thickness);
    QRect Outline() const { return FRect; }
    int32_t Thickness() const { return FThickness; }
    // The pattern's pixel at a screen point: true for the dark one.
    static bool PatternDark(int32_t X, int32_t Y) { return ((X ^ Y) & 1) == 0; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QRect FRect;
    int32_t FThickness = 0;
};
