#include "shell/xor_overlay.h"

#include <QPaintEvent>
#include <QPicture>

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <cstring>

void TOutlineRecorder::PolyDrawPath(const TrecPath& Path)
{
    Lines.push_back({FColour, PointPath(Path).toSubpathPolygons(FMapping)});
}

namespace {

// Cuts the segment A-B to the rectangle X0..X1, Y0..Y1; false when none of
// it is inside.
bool ClipSegment(double& AX, double& AY, double& BX, double& BY, double X0, double Y0, double X1, double Y1)
{
    if (!std::isfinite(AX) || !std::isfinite(AY) || !std::isfinite(BX) || !std::isfinite(BY))
        return false;
    const double DX = BX - AX;
    const double DY = BY - AY;
    const double P[4] = {-DX, DX, -DY, DY};
    const double Q[4] = {AX - X0, X1 - AX, AY - Y0, Y1 - AY};
    double T0 = 0;
    double T1 = 1;
    for (int I = 0; I < 4; ++I) {
        if (P[I] == 0) {
            if (Q[I] < 0)
                return false;
            continue;
        }
        const double R = Q[I] / P[I];
        if (P[I] < 0) {
            if (R > T1)
                return false;
            T0 = std::max(T0, R);
        } else {
            if (R < T0)
                return false;
            T1 = std::min(T1, R);
        }
    }
    const double SX = AX;
    const double SY = AY;
    AX = SX + T0 * DX;
    AY = SY + T0 * DY;
    BX = SX + T1 * DX;
    BY = SY + T1 * DY;
    return true;
}

}  // namespace

TXorOverlay::TXorOverlay(QWidget& View) : QWidget(&View), FView(View)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    hide();
    FView.installEventFilter(this);
}

QImage TXorOverlay::TakeView() const
{
    // One image pixel per view pixel whatever the screen's pixel ratio, so
    // the bands land where the view maps them; the overlay itself is not
    // part of the picture.
    QImage Image(FView.size(), QImage::Format_RGB32);
    Image.fill(Qt::white);
    FView.render(&Image, QPoint(), QRegion(), QWidget::DrawWindowBackground);
    return Image;
}

void TXorOverlay::Begin()
{
    if (FbActive)
        return;
    FImage = TakeView();
    FBase = FImage;
    FStale = QRegion();
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
    FBase = QImage();
    FStale = QRegion();
}

void TXorOverlay::ViewChanged(const QRect& Area)
{
    if (!FbActive)
        return;
    FStale += Area.isEmpty() ? FView.rect() : Area;
    if (FbRetakePosted)
        return;
    // Later, once: the change may come from inside the page's own update,
    // and the picture is taken by painting the view.
    FbRetakePosted = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            FbRetakePosted = false;
            Retake();
        },
        Qt::QueuedConnection);
}

void TXorOverlay::Retake()
{
    if (!FbActive || FStale.isEmpty())
        return;
    FStale = QRegion();
    // What is drawn is the difference between the picture shown and the
    // view's picture it was drawn on: laid again over the new picture.
    const QImage Fresh = TakeView();
    QImage Shown = Fresh;
    const int W = std::min(Shown.width(), FImage.width());
    const int H = std::min(Shown.height(), FImage.height());
    for (int Y = 0; Y < H; ++Y) {
        const auto* S = reinterpret_cast<const uint32_t*>(FImage.constScanLine(Y));
        const auto* B = reinterpret_cast<const uint32_t*>(FBase.constScanLine(Y));
        auto* D = reinterpret_cast<uint32_t*>(Shown.scanLine(Y));
        for (int X = 0; X < W; ++X)
            D[X] ^= (S[X] ^ B[X]) & 0x00FFFFFFu;
    }
    FBase = Fresh;
    FImage = Shown;
    setGeometry(FView.rect());
    update();
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
    FUnshown |= Area;
    update(FUnshown);
}

void TXorOverlay::DrawLines(const std::vector<TXorLines>& Lines, double DX, double DY)
{
    if (!FbActive)
        return;
    const int W = FImage.width();
    const int H = FImage.height();
    if (FStamp.size() != size_t(W) * size_t(H)) {
        FStamp.assign(size_t(W) * size_t(H), 0);
        FStampCount = 0;
    }
    if (++FStampCount == 0) {
        std::fill(FStamp.begin(), FStamp.end(), 0);
        FStampCount = 1;
    }
    const uint32_t Stamp = FStampCount;
    auto* Bits = reinterpret_cast<uint32_t*>(FImage.bits());
    const qsizetype Stride = FImage.bytesPerLine() / 4;
    std::vector<QRect> Touched;
    for (const TXorLines& L : Lines) {
        const uint32_t Colour = L.Colour & 0x00FFFFFFu;
        for (const QPolygonF& Figure : L.Figures) {
            int Left = W;
            int Top = H;
            int Right = -1;
            int Bottom = -1;
            const auto Plot = [&](int X, int Y) {
                if (unsigned(X) >= unsigned(W) || unsigned(Y) >= unsigned(H))
                    return;
                uint32_t& Seen = FStamp[size_t(Y) * size_t(W) + size_t(X)];
                if (Seen == Stamp)
                    return;
                Seen = Stamp;
                Bits[Y * Stride + X] ^= Colour;
                Left = std::min(Left, X);
                Right = std::max(Right, X);
                Top = std::min(Top, Y);
                Bottom = std::max(Bottom, Y);
            };
            for (qsizetype I = 1; I < Figure.size(); ++I) {
                double AX = Figure[I - 1].x() + DX;
                double AY = Figure[I - 1].y() + DY;
                double BX = Figure[I].x() + DX;
                double BY = Figure[I].y() + DY;
                // Only the part within a pixel of the picture is stepped.
                if (!ClipSegment(AX, AY, BX, BY, -1, -1, W, H))
                    continue;
                int X = int(std::floor(AX + 0.5));
                int Y = int(std::floor(AY + 0.5));
                const int X1 = int(std::floor(BX + 0.5));
                const int Y1 = int(std::floor(BY + 0.5));
                const int SX = X < X1 ? 1 : -1;
                const int SY = Y < Y1 ? 1 : -1;
                const int EX = std::abs(X1 - X);
                const int EY = -std::abs(Y1 - Y);
                int Err = EX + EY;
                for (;;) {
                    Plot(X, Y);
                    if (X == X1 && Y == Y1)
                        break;
                    const int E2 = 2 * Err;
                    if (E2 >= EY) {
                        Err += EY;
                        X += SX;
                    }
                    if (E2 <= EX) {
                        Err += EX;
                        Y += SY;
                    }
                }
            }
            if (Right >= Left)
                Touched.push_back(QRect(QPoint(Left, Top), QPoint(Right, Bottom)));
        }
    }
    // Only the touched parts are shown again.
    // Only the touched part is shown again, as one rectangle with what
    // waits to be shown: the raster engine copies a rectangle at full speed
    // but a region of several through its slow clipped path.
    for (const QRect& R : Touched)
        FUnshown |= R;
    if (!FUnshown.isEmpty())
        update(FUnshown);
}

bool TXorOverlay::eventFilter(QObject* Watched, QEvent* Event)
{
    // A view of another size has another picture.
    if (Watched == &FView && Event->type() == QEvent::Resize && FbActive)
        ViewChanged();
    return false;
}

void TXorOverlay::paintEvent(QPaintEvent* Event)
{
    FUnshown = QRect();
    QPainter DC(this);
    DC.setCompositionMode(QPainter::CompositionMode_Source);
    DC.drawImage(Event->rect(), FImage, Event->rect());
}
