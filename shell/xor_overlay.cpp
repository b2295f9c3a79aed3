#include "shell/xor_overlay.h"

#include <QPaintEvent>
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
    {
        QPainter DC(&FImage);
        DC.setRenderHint(QPainter::Antialiasing, false);
        DC.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        DC.setPen(QPen(QColor::fromRgb(Colour), 0));
        DC.setBrush(Qt::NoBrush);
        Body(DC);
    }
    update();
}

void TXorOverlay::paintEvent(QPaintEvent* Event)
{
    QPainter DC(this);
    DC.setCompositionMode(QPainter::CompositionMode_Source);
    DC.drawImage(Event->rect(), FImage, Event->rect());
}
