// The rubber bands and drag outlines of the document window's mouse tools.
// At the start of a drag the view's picture is taken once into an image and
// the overlay, an opaque child covering the view, shows that image; bands
// are drawn into it with the XOR raster operation, so drawing the same band
// again erases it and the page picture is never painted during the drag.
#pragma once

#include <QImage>
#include <QWidget>

#include <functional>

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
    bool FbActive = false;
};
