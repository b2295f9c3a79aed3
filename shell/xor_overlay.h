// The rubber bands and drag outlines of the document window's mouse tools.
// At the start of a drag the view's picture is taken once into an image and
// the overlay, an opaque child covering the view, shows that image; bands
// are drawn into it with the XOR raster operation, so drawing the same band
// again erases it and the page picture is never painted during the drag.
// When the view's picture changes under a drag (the page painted anew, the
// view scrolled or resized), the overlay takes it again and its owner draws
// what it shows once more, with the view's mapping as it is now.
#pragma once

#include "foundation/rec_path.h"
#include "model/drag_frame_dc.h"
#include "platform/qt/qt_drawing.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QPolygonF>
#include <QTransform>
#include <QWidget>

#include <functional>
#include <vector>

// The core's drag-frame drawing on an overlay painter: the selection's
// outlines always XOR, in a cosmetic pen of the asked colour (0x00BBGGRR).
class TOverlayFrameDC : public TDragFrameDC {
public:
    explicit TOverlayFrameDC(QPainter& DC) : FDC(DC) {}
    int32_t GetROP2() const override { return R2_XORPEN; }
    int32_t SetROP2(int32_t) override { return R2_XORPEN; }
    void SelectSolidPen(int32_t Colour) override
    {
        FOldPen = FDC.pen();
        FDC.setPen(QPen(QColor(Colour & 0xFF, (Colour >> 8) & 0xFF, (Colour >> 16) & 0xFF), 0));
    }
    void RestorePen() override { FDC.setPen(FOldPen); }
    void PolyDrawPath(const TrecPath& Path) override { ::PolyDrawPath(FDC, Path); }

private:
    QPainter& FDC;
    QPen FOldPen;
};

// Outlines flattened to polylines, each in its colour (0xRRGGBB): a drag
// takes them down once in view pixels and draws them at every offset.
struct TXorLines {
    uint32_t Colour = 0;
    QList<QPolygonF> Figures;
};

// The core's drag-frame drawing taken down as flattened outlines under a
// mapping (for a drag, from page to view pixels).
class TOutlineRecorder : public TDragFrameDC {
public:
    explicit TOutlineRecorder(const QTransform& Mapping) : FMapping(Mapping) {}
    int32_t GetROP2() const override { return R2_XORPEN; }
    int32_t SetROP2(int32_t) override { return R2_XORPEN; }
    void SelectSolidPen(int32_t Colour) override
    {
        FColour = uint32_t(((Colour & 0xFF) << 16) | (Colour & 0xFF00) | ((Colour >> 16) & 0xFF));
    }
    void RestorePen() override {}
    void PolyDrawPath(const TrecPath& Path) override;
    std::vector<TXorLines> Lines;

private:
    QTransform FMapping;
    uint32_t FColour = 0;
};

// The outlines of a drag, drawn at any offset: at whole-pixel offsets the
// pixels found once are moved, and the lines are stepped again only at others.
class TXorOutline {
public:
    TXorOutline() = default;
    explicit TXorOutline(std::vector<TXorLines> Lines) : FLines(std::move(Lines)) {}

private:
    friend class TXorOverlay;
    struct TPixel {
        int32_t X;
        int32_t Y;
        uint32_t Colour;
    };
    std::vector<TXorLines> FLines;
    std::vector<TPixel> FPixels;  // at offset 0 within FBox, each once
    QRect FBox;                   // null until the pixels are found
};

class TXorOverlay : public QWidget {
public:
    explicit TXorOverlay(QWidget& View);

    // Takes the view's picture and covers the view; nothing when active.
    void Begin();
    // Uncovers the view.
    void End();
    bool Active() const { return FbActive; }
    // Draws with XOR and a cosmetic pen of Colour (0xRRGGBB), no brush, in
    // view pixels; Body may set a mapping of its own. Nothing when inactive.
    void Draw(uint32_t Colour, const std::function<void(QPainter&)>& Body);
    // XORs the pixels of the outline's lines moved by (DX, DY) view pixels,
    // each pixel once however many lines cross it; drawing the same again
    // erases them. Nothing when inactive.
    void DrawOutline(TXorOutline& Outline, double DX, double DY);
    // The view's picture changed: the overlay takes it again (later, once)
    // and calls OnRedraw to draw on it what it showed.
    void ViewChanged();
    std::function<void()> OnRedraw;
    // What the overlay shows.
    const QImage& Image() const { return FImage; }

protected:
    void paintEvent(QPaintEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void DrawLines(const std::vector<TXorLines>& Lines, double DX, double DY);
    QImage TakeView() const;
    void Retake();
    void Show(const QRect& Area);

    QWidget& FView;
    QImage FImage;
    QImage FScratch;  // black under the strokes of one Draw
    // Per pixel of the image, the DrawLines call that last XORed it.
    std::vector<uint32_t> FStamp;
    uint32_t FStampCount = 0;
    bool FbStale = false;  // the view's picture is to be taken again
    QRect FUnshown;        // drawn on since the last paint
    bool FbRetakePosted = false;
    bool FbActive = false;
};
