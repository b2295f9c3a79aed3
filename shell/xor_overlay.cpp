#include "shell/xor_overlay.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPicture>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

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
    FbStale = false;
    FUnshown = QRect();
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
    FStamp = {};
    FbStale = false;
}

void TXorOverlay::ViewChanged()
{
    if (!FbActive)
        return;
    FbStale = true;
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
    if (!FbActive || !FbStale)
        return;
    FbStale = false;
    // A clean picture, and what was shown drawn on it again: the view may
    // map the page otherwise now, so the old pixels would not be erased.
    FImage = TakeView();
    FUnshown = QRect();
    setGeometry(FView.rect());
    if (OnRedraw)
        OnRedraw();
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
    Show(Area);
}

namespace {

// The smallest rectangle holding the pixels changed so far.
struct TChangedBox {
    int Left = std::numeric_limits<int>::max();
    int Top = std::numeric_limits<int>::max();
    int Right = -1;
    int Bottom = -1;
    void Add(int X, int Y)
    {
        Left = std::min(Left, X);
        Right = std::max(Right, X);
        Top = std::min(Top, Y);
        Bottom = std::max(Bottom, Y);
    }
    bool Empty() const { return Right < Left; }
    QRect Rect() const { return QRect(QPoint(Left, Top), QPoint(Right, Bottom)); }
};

// Steps the lines moved by (DX, DY) pixel by pixel within Box, calling
// Plot(X, Y, Colour) for each pixel (a pixel where lines meet more than once).
template <class F>
void StepLines(const std::vector<TXorLines>& Lines, double DX, double DY, const QRect& Box, F&& Plot)
{
    // Only the part within a pixel of the box is stepped.
    const double X0 = Box.left() - 1;
    const double Y0 = Box.top() - 1;
    const double X1 = Box.right() + 1;
    const double Y1 = Box.bottom() + 1;
    for (const TXorLines& L : Lines) {
        const uint32_t Colour = L.Colour & 0x00FFFFFFu;
        for (const QPolygonF& Figure : L.Figures)
            for (qsizetype I = 1; I < Figure.size(); ++I) {
                double AX = Figure[I - 1].x() + DX;
                double AY = Figure[I - 1].y() + DY;
                double BX = Figure[I].x() + DX;
                double BY = Figure[I].y() + DY;
                if (!ClipSegment(AX, AY, BX, BY, X0, Y0, X1, Y1))
                    continue;
                int X = int(std::floor(AX + 0.5));
                int Y = int(std::floor(AY + 0.5));
                const int XE = int(std::floor(BX + 0.5));
                const int YE = int(std::floor(BY + 0.5));
                const int SX = X < XE ? 1 : -1;
                const int SY = Y < YE ? 1 : -1;
                const int EX = std::abs(XE - X);
                const int EY = -std::abs(YE - Y);
                int Err = EX + EY;
                for (;;) {
                    Plot(X, Y, Colour);
                    if (X == XE && Y == YE)
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
    }
}

}  // namespace

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
    TChangedBox Changed;
    StepLines(Lines, DX, DY, FImage.rect(), [&](int X, int Y, uint32_t Colour) {
        if (unsigned(X) >= unsigned(W) || unsigned(Y) >= unsigned(H))
            return;
        uint32_t& Seen = FStamp[size_t(Y) * size_t(W) + size_t(X)];
        if (Seen == Stamp)
            return;
        Seen = Stamp;
        Bits[Y * Stride + X] ^= Colour;
        Changed.Add(X, Y);
    });
    if (!Changed.Empty())
        Show(Changed.Rect());
}

void TXorOverlay::DrawOutline(TXorOutline& Outline, double DX, double DY)
{
    if (!FbActive)
        return;
    const double RX = std::round(DX);
    const double RY = std::round(DY);
    if (RX != DX || RY != DY || std::abs(RX) > 1e7 || std::abs(RY) > 1e7) {
        DrawLines(Outline.FLines, DX, DY);
        return;
    }
    // A whole-pixel offset: the pixels of the outline are the same, moved.
    const int IX = int(RX);
    const int IY = int(RY);
    const int W = FImage.width();
    const int H = FImage.height();
    const QRect Needed = FImage.rect().translated(-IX, -IY);
    if (Outline.FBox.isNull() || !Outline.FBox.contains(Needed)) {
        // Found for the view and as far again round it, so that the moves
        // nearby use them too.
        Outline.FBox = Needed.adjusted(-W, -H, W, H);
        Outline.FPixels.clear();
        const QRect& Box = Outline.FBox;
        StepLines(Outline.FLines, 0, 0, Box, [&](int X, int Y, uint32_t Colour) {
            if (Box.contains(X, Y))
                Outline.FPixels.push_back({X, Y, Colour});
        });
        // Each pixel once, whichever lines meet on it, and row by row.
        using TPixel = TXorOutline::TPixel;
        std::stable_sort(Outline.FPixels.begin(), Outline.FPixels.end(), [](const TPixel& A, const TPixel& B) {
            return A.Y != B.Y ? A.Y < B.Y : A.X < B.X;
        });
        Outline.FPixels.erase(std::unique(Outline.FPixels.begin(), Outline.FPixels.end(),
                                          [](const TPixel& A, const TPixel& B) { return A.X == B.X && A.Y == B.Y; }),
                              Outline.FPixels.end());
    }
    auto* Bits = reinterpret_cast<uint32_t*>(FImage.bits());
    const qsizetype Stride = FImage.bytesPerLine() / 4;
    TChangedBox Changed;
    for (const TXorOutline::TPixel& P : Outline.FPixels) {
        const int X = P.X + IX;
        const int Y = P.Y + IY;
        if (unsigned(X) >= unsigned(W) || unsigned(Y) >= unsigned(H))
            continue;
        Bits[Y * Stride + X] ^= P.Colour;
        Changed.Add(X, Y);
    }
    if (!Changed.Empty())
        Show(Changed.Rect());
}

void TXorOverlay::Show(const QRect& Area)
{
    // Shown again with what waits to be shown, as one rectangle: the raster
    // engine copies a rectangle at full speed but a region of several
    // through its slow clipped path.
    FUnshown |= Area;
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
