// The rubber bands and drag outlines of the document window's mouse tools.
// At the start of a drag the view's picture is taken once into an image and
// the overlay, an opaque child covering the view, shows that image; bands
// are drawn into it with the XOR raster operation, so drawing the same band
// again erases it and the page picture is never painted during the drag.
#pragma once

#include "foundation/rec_path.h"
#include "model/drag_frame_dc.h"
#include "platform/qt/qt_drawing.h"

#include <QImage>
#include <QPainter>
#include <QPen>
#include <QWidget>

#include <functional>

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
    // What the overlay shows.
    const QImage& Image() const { return FImage; }

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QWidget& FView;
    QImage FImage;
    QImage FScratch;  // black under the strokes of one Draw
    bool FbActive = false;
};
