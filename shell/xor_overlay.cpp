#include "shell/xor_overlay.h"

#include <QPaintEvent>
#include <QPicture>

#include <cstring>
#include <QPainter>

TXorOverlay::TXorOverlay(QWidget& View) : QWidget(&View), FView(View)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
}

void TXorOverlay::Begin()
{
    if (FbActive)
        return;
    // One image pixel per view pixel whatever the screen's pixel ratio, so
    // the bands land where the view maps them.
    FImage = QImage(FView.size(), QImage::Format_RGB32);
    FImage.fill(Qt::white);
    FView.render(&FImage);
    setGeometry(FView.rect());
    FbActive = true;
    show();
    raise();
}

void TXorOverlay::End()
{
    if (!FbActive)
        return;
    FbActive = false;
    hide();
    FImage = QImage();
}

void TXorOverlay::Draw(uint32_t Colour, const std::function<void(QPainter&)>& Body)
{
    if (!FbActive)
        return;
    // The strokes are recorded first to learn where they fall, drawn plainly
    // onto a black scratch of that size and then XORed into the picture:
    // Qt's own XOR strokes are handed to worker threads once they are long,
    // which costs more than the drawing, and only the touched area is shown
    // again. Drawing the same strokes twice still gives the picture back.
    QPicture Strokes;
    {
        QPainter Rec(&Strokes);
        Rec.setRenderHint(QPainter::Antialiasing, false);
        Rec.setPen(QPen(QColor::fromRgb(Colour), 0));
        Rec.setBrush(Qt::NoBrush);
        Body(Rec);
    }
    const QRect Area = Strokes.boundingRect().adjusted(-2, -2, 2, 2) & FImage.rect();
    if (Area.isEmpty())
        return;
    if (FScratch.width() < Area.width() || FScratch.height() < Area.height())
        FScratch = QImage(Area.size().expandedTo(FScratch.size()), QImage::Format_RGB32);
    for (int Y = 0; Y < Area.height(); ++Y)
        std::memset(FScratch.scanLine(Y), 0, size_t(Area.width()) * 4);
    {
        QPainter DC(&FScratch);
        DC.setRenderHint(QPainter::Antialiasing, false);
        DC.translate(-Area.left(), -Area.top());
        DC.drawPicture(0, 0, Strokes);
    }
    for (int Y = 0; Y < Area.height(); ++Y) {
        const auto* S = reinterpret_cast<const uint32_t*>(FScratch.constScanLine(Y));
        auto* D = reinterpret_cast<uint32_t*>(FImage.scanLine(Area.top() + Y)) + Area.left();
        for (int X = 0; X < Area.width(); ++X)
            D[X] ^= S[X] & 0x00FFFFFFu;
    }
    update(Area);
}

void TXorOverlay::paintEvent(QPaintEvent* Event)
{
    QPainter DC(this);
    DC.setCompositionMode(QPainter::CompositionMode_Source);
    DC.drawImage(Event->rect(), FImage, Event->rect());
}
