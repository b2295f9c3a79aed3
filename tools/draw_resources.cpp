// Draws the program's own pictures and writes them as PNG files under
// resources/, with the .qrc files that compile them into the program:
//   cursors/C*.png      the mouse-tool cursors, 32x32, black and white with a
//                       "HotSpot" text entry ("x,y"), prefix /cursors
//   tools/sbtn*.png     the tool palette's glyphs, 24x24, prefix /tools
//   commands/act*.png   the command glyphs, 16x16, prefix /commands
//   icons/*.png         the program icon and the document icon, prefix /icons
//   controls/*.png      the small glyphs of the number edit's buttons, prefix
//                       /bitmaps
//   buttons/sbtn*.png   the property panel's speed-button glyphs, 16x16,
//                       prefix /buttons
// Everything is drawn here from code, so the pictures can be made again and
// changed in one place. Cursors are drawn without smoothing and get a white
// rim round every black pixel, so they stay crisp and readable on any ground.
//
// Usage: draw_resources RESOURCES_DIR [SHEET.png]
//   SHEET.png: also writes enlarged contact sheets, SHEET-1.png to SHEET-4.png.
// Built only on request: cmake --build build --target draw_resources

#include <QColor>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QPainterPathStroker>
#include <QPolygonF>
#include <QTextStream>
#include <QTransform>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// The palette: thin dark outlines, one accent colour with its pale tint.
const QColor Ink(0x2e, 0x2e, 0x2e);
const QColor Accent(0x22, 0x71, 0xd1);
const QColor AccentDark(0x16, 0x4c, 0x8f);
const QColor AccentPale(0xcf, 0xe2, 0xf8);
const QColor Paper(0xff, 0xff, 0xff);
const QColor Grey(0x96, 0x96, 0x96);
const QColor GreyPale(0xe4, 0xe4, 0xe4);

struct TPicture {
    QString Folder;  // under resources/, also the qrc file's subject
    QString Name;    // file name without ".png" and resource alias
    QImage Image;
    QPoint HotSpot{-1, -1};
};

QImage Canvas(int Size)
{
    QImage Image(Size, Size, QImage::Format_ARGB32);
    Image.fill(Qt::transparent);
    return Image;
}

QPen InkPen(qreal Width = 1.0, const QColor& Colour = Ink)
{
    QPen Pen(Colour, Width);
    Pen.setCapStyle(Qt::FlatCap);
    Pen.setJoinStyle(Qt::MiterJoin);
    return Pen;
}

// A smooth glyph: the painter works in pixel units with antialiasing on;
// one-pixel lines sit on pixel centres (x.5) to stay sharp.
QImage Glyph(int Size, const std::function<void(QPainter&)>& Draw)
{
    QImage Image = Canvas(Size);
    QPainter P(&Image);
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(InkPen());
    Draw(P);
    return Image;
}

// ---------------------------------------------------------------- cursors

bool IsBlack(QRgb C) { return qAlpha(C) == 255 && qRed(C) == 0 && qGreen(C) == 0 && qBlue(C) == 0; }

// Every transparent pixel touching a black one (8 neighbours) becomes white.
void AddRim(QImage& Image)
{
    const QImage Old = Image;
    for (int Y = 0; Y < Old.height(); ++Y)
        for (int X = 0; X < Old.width(); ++X) {
            if (qAlpha(Old.pixel(X, Y)) != 0)
                continue;
            bool Near = false;
            for (int DY = -1; DY <= 1 && !Near; ++DY)
                for (int DX = -1; DX <= 1 && !Near; ++DX) {
                    const int NX = X + DX, NY = Y + DY;
                    Near = NX >= 0 && NY >= 0 && NX < Old.width() && NY < Old.height() &&
                           IsBlack(Old.pixel(NX, NY));
                }
            if (Near)
                Image.setPixel(X, Y, qRgba(255, 255, 255, 255));
        }
}

// Pixel art: 'B' black, 'W' white, anything else transparent.
void PutArt(QImage& Image, int Left, int Top, const std::vector<const char*>& Rows)
{
    for (size_t Y = 0; Y < Rows.size(); ++Y)
        for (int X = 0; Rows[Y][X] != '\0'; ++X) {
            const char C = Rows[Y][X];
            if (C == 'B')
                Image.setPixel(Left + X, Top + int(Y), qRgba(0, 0, 0, 255));
            else if (C == 'W')
                Image.setPixel(Left + X, Top + int(Y), qRgba(255, 255, 255, 255));
        }
}

QImage CursorImage(const std::function<void(QImage&, QPainter&)>& Draw)
{
    QImage Image = Canvas(32);
    {
        QPainter P(&Image);
        P.setRenderHint(QPainter::Antialiasing, false);
        P.setPen(QPen(Qt::black, 0));
        P.setBrush(Qt::NoBrush);
        Draw(Image, P);
    }
    AddRim(Image);
    return Image;
}

// The drawing tools' cross: the hot spot at (8,8), a one-pixel dot there
// with a clear ring round it so the exact point stays visible.
const QPoint CrossCentre(8, 8);

void Crosshair(QPainter& P)
{
    const int X = CrossCentre.x(), Y = CrossCentre.y();
    P.drawLine(X - 7, Y, X - 2, Y);
    P.drawLine(X + 2, Y, X + 7, Y);
    P.drawLine(X, Y - 7, X, Y - 2);
    P.drawLine(X, Y + 2, X, Y + 7);
    P.drawPoint(X, Y);
}

void NodeBox(QPainter& P, int X, int Y) { P.fillRect(X - 1, Y - 1, 3, 3, Qt::black); }

QImage ToolCursor(const std::function<void(QPainter&)>& Shape)
{
    return CursorImage([&](QImage&, QPainter& P) {
        Crosshair(P);
        Shape(P);
    });
}

QPolygon StarPoints(QPointF C, double Outer, double Inner, int Tips)
{
    QPolygon Poly;
    for (int I = 0; I < Tips * 2; ++I) {
        const double R = (I % 2 == 0) ? Outer : Inner;
        const double A = -M_PI / 2 + I * M_PI / Tips;
        Poly << QPoint(int(std::lround(C.x() + R * std::cos(A))), int(std::lround(C.y() + R * std::sin(A))));
    }
    return Poly;
}

QPolygonF StarPointsF(QPointF C, double Outer, double Inner, int Tips)
{
    QPolygonF Poly;
    for (int I = 0; I < Tips * 2; ++I) {
        const double R = (I % 2 == 0) ? Outer : Inner;
        const double A = -M_PI / 2 + I * M_PI / Tips;
        Poly << QPointF(C.x() + R * std::cos(A), C.y() + R * std::sin(A));
    }
    return Poly;
}

QPolygonF RegularPolygon(QPointF C, double R, int Corners)
{
    QPolygonF Poly;
    for (int I = 0; I < Corners; ++I) {
        const double A = -M_PI / 2 + I * 2 * M_PI / Corners;
        Poly << QPointF(C.x() + R * std::cos(A), C.y() + R * std::sin(A));
    }
    return Poly;
}

// The open hand and the gripping hand of the hand tool.
const std::vector<const char*> OpenHand = {
    "       BB        ",
    "   BB BWWBBB     ",
    "  BWWBBWWBWWB    ",
    "  BWWBBWWBWWB B  ",
    "   BWWBWWBWWBBWB ",
    "   BWWBWWBWWBWWB ",
    " BB BWWWWWWWBWWB ",
    "BWWBBWWWWWWWWWWB ",
    "BWWWBWWWWWWWWWB  ",
    " BWWWWWWWWWWWWB  ",
    "  BWWWWWWWWWWWB  ",
    "  BWWWWWWWWWWB   ",
    "   BWWWWWWWWWB   ",
    "    BWWWWWWWB    ",
    "     BWWWWWWB    ",
    "     BWWWWWWB    ",
    "     BBBBBBBB    ",
};

const std::vector<const char*> ClosedHand = {
    "    BB BB BB     ",
    "   BWWBWWBWWBB   ",
    "   BWWWWWWWWBWB  ",
    "    BWWWWWWWWWB  ",
    "  BBBWWWWWWWWWB  ",
    " BWWWWWWWWWWWWB  ",
    " BWWWWWWWWWWWB   ",
    "  BWWWWWWWWWWB   ",
    "   BWWWWWWWWB    ",
    "    BWWWWWWWB    ",
    "     BWWWWWWB    ",
    "     BWWWWWWB    ",
    "     BBBBBBBB    ",
};

// The node tools' arrow: black with the white rim, tip at (1,1).
const std::vector<const char*> DarkArrow = {
    "B          ",
    "BB         ",
    "BBB        ",
    "BBBB       ",
    "BBBBB      ",
    "BBBBBB     ",
    "BBBBBBB    ",
    "BBBBBBBB   ",
    "BBBBBBBBB  ",
    "BBBBBBBBBB ",
    "BBBBBBB    ",
    "BBB BBBB   ",
    "BB  BBBB   ",
    "B    BBBB  ",
    "     BBBB  ",
    "      BB   ",
};

std::vector<TPicture> Cursors()
{
    std::vector<TPicture> Out;
    auto Add = [&](const char* Name, QImage Image, QPoint Hot) {
        Out.push_back({"cursors", Name, std::move(Image), Hot});
    };
    // The hands: the hot spot in the middle of the palm.
    Add("CHNDOPN", CursorImage([](QImage& I, QPainter&) { PutArt(I, 8, 7, OpenHand); }), QPoint(16, 16));
    Add("CHNDCLS", CursorImage([](QImage& I, QPainter&) { PutArt(I, 8, 11, ClosedHand); }), QPoint(16, 16));
    // Node editing and adding: a dark arrow with a node square beside it.
    Add("CEDTNODE", CursorImage([](QImage& I, QPainter& P) {
            PutArt(I, 1, 1, DarkArrow);
            P.fillRect(12, 16, 6, 6, Qt::black);
        }),
        QPoint(1, 1));
    Add("CADNODE", CursorImage([](QImage& I, QPainter& P) {
            PutArt(I, 1, 1, DarkArrow);
            P.drawRect(12, 16, 5, 5);
            P.drawLine(21, 15, 21, 21);
            P.drawLine(18, 18, 24, 18);
        }),
        QPoint(1, 1));
    // The drawing tools: the cross with the shape they make below right.
    Add("CLINE", ToolCursor([](QPainter& P) {
            P.drawLine(17, 26, 26, 17);
            NodeBox(P, 17, 26);
            NodeBox(P, 26, 17);
        }),
        CrossCentre);
    Add("CBEZIER", ToolCursor([](QPainter& P) {
            QPainterPath Curve(QPointF(16.5, 26.5));
            Curve.cubicTo(16.5, 15.5, 27.5, 28.5, 27.5, 17.5);
            P.drawPath(Curve);
            NodeBox(P, 16, 26);
            NodeBox(P, 27, 17);
        }),
        CrossCentre);
    Add("CFREEH", ToolCursor([](QPainter& P) {
            QPainterPath Curve(QPointF(15.5, 24.5));
            Curve.cubicTo(17.5, 14.5, 21.5, 16.5, 20.5, 22.5);
            Curve.cubicTo(19.5, 28.5, 25.5, 27.5, 26.5, 18.5);
            P.drawPath(Curve);
        }),
        CrossCentre);
    Add("CRECT", ToolCursor([](QPainter& P) { P.drawRect(16, 18, 11, 8); }), CrossCentre);
    Add("CPOLYGON", ToolCursor([](QPainter& P) {
            QPolygon Poly;
            for (const QPointF& C : RegularPolygon(QPointF(22, 22.5), 6.5, 5))
                Poly << QPoint(int(std::lround(C.x())), int(std::lround(C.y())));
            P.drawPolygon(Poly);
        }),
        CrossCentre);
    Add("CSTAR", ToolCursor([](QPainter& P) { P.drawPolygon(StarPoints(QPointF(22, 22.5), 7.5, 3.2, 5)); }),
        CrossCentre);
    Add("CELLIPSE", ToolCursor([](QPainter& P) { P.drawEllipse(16, 18, 12, 9); }), CrossCentre);
    Add("CTEXT", ToolCursor([](QPainter& P) {
            P.drawLine(16, 28, 21, 16);
            P.drawLine(22, 16, 27, 28);
            P.drawLine(21, 16, 22, 16);
            P.drawLine(18, 24, 25, 24);
        }),
        CrossCentre);
    return Out;
}

// ---------------------------------------------------------- shared shapes

void Node(QPainter& P, QPointF C, bool Filled = true, qreal Half = 1.5)
{
    P.save();
    P.setPen(InkPen());
    P.setBrush(Filled ? QBrush(Accent) : QBrush(Paper));
    P.drawRect(QRectF(C.x() - Half, C.y() - Half, Half * 2, Half * 2));
    P.restore();
}

void Handle(QPainter& P, QPointF Node, QPointF End, qreal Radius = 1.5)
{
    P.save();
    P.setPen(InkPen(1.0, Grey));
    P.drawLine(Node, End);
    P.setBrush(Paper);
    P.setPen(InkPen(1.0, Ink));
    P.drawEllipse(End, Radius, Radius);
    P.restore();
}

// A filled shape with the dark outline.
void Shape(QPainter& P, const QPainterPath& Path, const QColor& Fill = Accent)
{
    P.save();
    P.setPen(InkPen());
    P.setBrush(Fill);
    P.drawPath(Path);
    P.restore();
}

QPainterPath RectPath(qreal X, qreal Y, qreal W, qreal H)
{
    QPainterPath Path;
    Path.addRect(X, Y, W, H);
    return Path;
}

QPainterPath PolyPath(const QPolygonF& Poly)
{
    QPainterPath Path;
    Path.addPolygon(Poly);
    Path.closeSubpath();
    return Path;
}

// The pointer arrow, tip at (X, Y), Scale 1 = 16 pixels tall.
QPainterPath ArrowPath(qreal X, qreal Y, qreal S)
{
    QPolygonF Poly;
    Poly << QPointF(0, 0) << QPointF(0, 13) << QPointF(3.2, 10) << QPointF(5.6, 15.2) << QPointF(7.6, 14.3)
         << QPointF(5.3, 9.3) << QPointF(9.6, 9.3);
    QTransform T;
    T.translate(X, Y);
    T.scale(S, S);
    return PolyPath(T.map(Poly));
}

// A capital A with a counter, as one outline (for the text tool).
QPainterPath LetterA(QRectF Box, qreal Stroke)
{
    const qreal L = Box.left(), R = Box.right(), T = Box.top(), B = Box.bottom();
    const qreal Mid = (L + R) / 2;
    const qreal Top = Stroke * 0.9;
    QPainterPath Outer;
    Outer.moveTo(Mid - Top, T);
    Outer.lineTo(Mid + Top, T);
    Outer.lineTo(R, B);
    Outer.lineTo(R - Stroke * 1.25, B);
    Outer.lineTo(R - Stroke * 1.25 - (B - T) * 0.11, B - (B - T) * 0.27);
    Outer.lineTo(L + Stroke * 1.25 + (B - T) * 0.11, B - (B - T) * 0.27);
    Outer.lineTo(L + Stroke * 1.25, B);
    Outer.lineTo(L, B);
    Outer.closeSubpath();
    // The counter: the triangle above the crossbar.
    const qreal CB = B - (B - T) * 0.27 - Stroke * 0.95;
    const qreal Half = (CB - (T + Stroke * 1.9)) * (R - L) / 2 / (B - T);
    QPainterPath Counter;
    Counter.moveTo(Mid, T + Stroke * 1.9);
    Counter.lineTo(Mid + Half, CB);
    Counter.lineTo(Mid - Half, CB);
    Counter.closeSubpath();
    return Outer.subtracted(Counter);
}

// The open hand (tool palette), in a 24-pixel box.
QPainterPath HandPath()
{
    QPainterPath Hand;
    auto Finger = [&](qreal X, qreal Top, qreal Bottom, qreal W) {
        QPainterPath F;
        F.addRoundedRect(QRectF(X, Top, W, Bottom - Top), W / 2, W / 2);
        Hand = Hand.united(F);
    };
    Finger(7.5, 4.5, 14, 3);
    Finger(10.5, 2.5, 13, 3);
    Finger(13.5, 3.5, 13, 3);
    Finger(16.5, 5.5, 14, 3);
    QPainterPath Palm;
    Palm.moveTo(7.5, 11);
    Palm.lineTo(19.5, 11);
    Palm.lineTo(19.5, 16);
    Palm.cubicTo(19.5, 19.5, 17.5, 21.5, 15, 21.5);
    Palm.lineTo(11, 21.5);
    Palm.cubicTo(9, 21.5, 8, 20.5, 6.5, 18.5);
    Palm.closeSubpath();
    Hand = Hand.united(Palm);
    QPainterPath Thumb;
    Thumb.addRoundedRect(QRectF(-1.5, -5.5, 3, 8), 1.5, 1.5);
    QTransform T;
    T.translate(6.6, 15.5);
    T.rotate(-42);
    Hand = Hand.united(T.map(Thumb));
    return Hand.simplified();
}

// --------------------------------------------------------- tool palette

std::vector<TPicture> Tools()
{
    std::vector<TPicture> Out;
    auto Add = [&](const char* Name, const std::function<void(QPainter&)>& Draw) {
        Out.push_back({"tools", Name, Glyph(24, Draw)});
    };
    Add("sbtnArrow", [](QPainter& P) { Shape(P, ArrowPath(7.5, 3.5, 1.1), Paper); });
    Add("sbtnEditNode", [](QPainter& P) {
        P.setPen(InkPen());
        QPainterPath Curve(QPointF(1.5, 19.5));
        Curve.cubicTo(1.5, 15, 3.5, 11.5, 6.5, 8.5);
        Curve.cubicTo(9.5, 5.5, 14, 3.5, 21.5, 3.5);
        P.drawPath(Curve);
        Handle(P, QPointF(6.5, 8.5), QPointF(2.5, 12.5));
        Handle(P, QPointF(6.5, 8.5), QPointF(10.5, 4.5));
        Node(P, QPointF(6.5, 8.5), true, 2);
        Shape(P, ArrowPath(10.5, 11.5, 0.78), Ink);
    });
    Add("sbtnAddNode", [](QPainter& P) {
        P.setPen(InkPen());
        QPainterPath Curve(QPointF(2.5, 19.5));
        Curve.cubicTo(6.5, 7.5, 14, 21.5, 21.5, 9.5);
        P.drawPath(Curve);
        Node(P, QPointF(11.8, 14.3), true, 2);
        P.setPen(InkPen(2.0, Accent));
        P.drawLine(QPointF(17, 2), QPointF(17, 10));
        P.drawLine(QPointF(13, 6), QPointF(21, 6));
    });
    Add("sbtnHand", [](QPainter& P) {
        Shape(P, HandPath(), Paper);
        P.setPen(InkPen(1.0, Grey));
        P.drawLine(QPointF(10.5, 11), QPointF(10.5, 13));
        P.drawLine(QPointF(13.5, 11), QPointF(13.5, 13));
        P.drawLine(QPointF(16.5, 11), QPointF(16.5, 13));
    });
    Add("sbtnPolyLine", [](QPainter& P) {
        const QPointF Pts[] = {{3.5, 19.5}, {8.5, 6.5}, {15.5, 16.5}, {20.5, 4.5}};
        P.setPen(InkPen());
        P.drawPolyline(Pts, 4);
        for (const QPointF& C : Pts)
            Node(P, C);
    });
    Add("sbtnPolyBezier", [](QPainter& P) {
        P.setPen(InkPen());
        QPainterPath Curve(QPointF(3.5, 19.5));
        Curve.cubicTo(3.5, 5, 20.5, 19, 20.5, 4.5);
        P.drawPath(Curve);
        Handle(P, QPointF(3.5, 19.5), QPointF(3.5, 9.5));
        Handle(P, QPointF(20.5, 4.5), QPointF(20.5, 14.5));
        Node(P, QPointF(3.5, 19.5));
        Node(P, QPointF(20.5, 4.5));
    });
    Add("sbtnFreeHand", [](QPainter& P) {
        P.setPen(InkPen(1.5, Accent));
        QPainterPath Trace(QPointF(2.5, 20));
        Trace.cubicTo(5, 13, 9, 14, 8, 18);
        Trace.cubicTo(7, 22, 12, 22, 13.5, 16);
        P.drawPath(Trace);
        // The pencil, its point at the end of the trace.
        QPainterPath Pencil;
        Pencil.moveTo(0, 0);
        Pencil.lineTo(3, -1.6);
        Pencil.lineTo(14, -1.6);
        Pencil.lineTo(14, 1.6);
        Pencil.lineTo(3, 1.6);
        Pencil.closeSubpath();
        QTransform T;
        T.translate(13.5, 15.5);
        T.rotate(-52);
        Shape(P, T.map(Pencil), Paper);
        P.setPen(InkPen());
        P.drawLine(T.map(QPointF(3, -1.6)), T.map(QPointF(3, 1.6)));
        P.drawLine(T.map(QPointF(11, -1.6)), T.map(QPointF(11, 1.6)));
        P.setBrush(Ink);
        P.drawPolygon(T.map(QPolygonF({QPointF(0, 0), QPointF(1.2, -0.7), QPointF(1.2, 0.7)})));
    });
    Add("sbtnRect", [](QPainter& P) { Shape(P, RectPath(3.5, 6.5, 17, 12)); });
    Add("sbtnPolygon", [](QPainter& P) { Shape(P, PolyPath(RegularPolygon(QPointF(12, 12.6), 9.2, 5))); });
    Add("sbtnStar", [](QPainter& P) { Shape(P, PolyPath(StarPointsF(QPointF(12, 12.9), 10.2, 4.2, 5))); });
    Add("sbtnEllipse", [](QPainter& P) {
        QPainterPath E;
        E.addEllipse(QRectF(2.5, 5.5, 19, 13));
        Shape(P, E);
    });
    Add("sbtnText", [](QPainter& P) { Shape(P, LetterA(QRectF(3.5, 3.5, 17, 17), 3.2)); });
    return Out;
}

// ------------------------------------------------------- command glyphs

// A page with a folded corner.
void Page(QPainter& P, QRectF R, qreal Fold = 4)
{
    QPainterPath Path;
    Path.moveTo(R.left(), R.top());
    Path.lineTo(R.right() - Fold, R.top());
    Path.lineTo(R.right(), R.top() + Fold);
    Path.lineTo(R.right(), R.bottom());
    Path.lineTo(R.left(), R.bottom());
    Path.closeSubpath();
    Shape(P, Path, Paper);
    P.save();
    P.setPen(InkPen());
    P.drawPolyline(QPolygonF({QPointF(R.right() - Fold, R.top()), QPointF(R.right() - Fold, R.top() + Fold),
                              QPointF(R.right(), R.top() + Fold)}));
    P.restore();
}

void TextLines(QPainter& P, qreal X0, qreal X1, qreal Y0, int Count, qreal Step = 2)
{
    P.save();
    P.setPen(InkPen(1.0, Grey));
    for (int I = 0; I < Count; ++I)
        P.drawLine(QPointF(X0, Y0 + I * Step), QPointF(X1, Y0 + I * Step));
    P.restore();
}

void Magnifier(QPainter& P, int Sign)
{
    P.save();
    P.setPen(InkPen(2.6, AccentDark));
    P.drawLine(QPointF(10.2, 10.2), QPointF(14.5, 14.5));
    P.setPen(InkPen());
    P.setBrush(AccentPale);
    P.drawEllipse(QPointF(6.5, 6.5), 5, 5);
    P.setPen(InkPen(1.5, Ink));
    P.drawLine(QPointF(4, 6.5), QPointF(9, 6.5));
    if (Sign > 0)
        P.drawLine(QPointF(6.5, 4), QPointF(6.5, 9));
    P.restore();
}

// An arrow from A to B with a filled head.
void Arrow(QPainter& P, QPointF A, QPointF B, const QColor& Colour, qreal Width = 1.6, qreal Head = 3.5)
{
    P.save();
    const QLineF L(A, B);
    const qreal Angle = std::atan2(B.y() - A.y(), B.x() - A.x());
    const QPointF Back(B.x() - std::cos(Angle) * Head, B.y() - std::sin(Angle) * Head);
    P.setPen(InkPen(Width, Colour));
    P.drawLine(A, Back);
    const QPointF Side(-std::sin(Angle) * Head * 0.75, std::cos(Angle) * Head * 0.75);
    P.setPen(Qt::NoPen);
    P.setBrush(Colour);
    P.drawPolygon(QPolygonF({B, Back + Side, Back - Side}));
    P.restore();
}

// A curved arrow turning back: the undo sign, mirrored for redo.
void TurnArrow(QPainter& P, bool Mirror)
{
    P.save();
    if (Mirror) {
        P.translate(16, 0);
        P.scale(-1, 1);
    }
    QPainterPath Arc(QPointF(4, 6));
    Arc.lineTo(9, 6);
    Arc.cubicTo(16, 6, 16, 14, 9, 14);
    Arc.lineTo(6, 14);
    P.setPen(InkPen(2.2, Accent));
    P.setBrush(Qt::NoBrush);
    P.drawPath(Arc);
    P.setPen(Qt::NoPen);
    P.setBrush(Accent);
    P.drawPolygon(QPolygonF({QPointF(0.5, 6), QPointF(5.5, 1.5), QPointF(5.5, 10.5)}));
    P.restore();
}

// Two overlapping squares with an arrow to the right: the stacking commands.
void Stacking(QPainter& P, bool FrontUp, int Arrow1, bool Bar)
{
    const QPainterPath Back = RectPath(0.5, 0.5, 8, 8);
    const QPainterPath Front = RectPath(3.5, 6.5, 8, 8);
    if (FrontUp) {
        Shape(P, Back, Paper);
        Shape(P, Front, Accent);
    } else {
        Shape(P, Front, Accent);
        Shape(P, Back, Paper);
    }
    const qreal X = 13.5;
    if (Arrow1 < 0)
        Arrow(P, QPointF(X, 13), QPointF(X, Bar ? 3 : 4), Ink, 1.4, 3.4);
    else
        Arrow(P, QPointF(X, 3), QPointF(X, Bar ? 13 : 12), Ink, 1.4, 3.4);
    if (Bar) {
        P.save();
        P.setPen(InkPen(1.0, Ink));
        const qreal Y = Arrow1 < 0 ? 0.5 : 15.5;
        P.drawLine(QPointF(10.5, Y), QPointF(16, Y));
        P.restore();
    }
}

// The alignment glyphs are drawn for the horizontal direction (objects placed
// along x); the vertical ones are the same picture mirrored on the diagonal.
using TDraw = std::function<void(QPainter&)>;

TDraw Transposed(TDraw Draw)
{
    return [Draw](QPainter& P) {
        P.setTransform(QTransform(0, 1, 1, 0, 0, 0));
        Draw(P);
    };
}

void Guide(QPainter& P, qreal X, bool Dashed = false)
{
    P.save();
    QPen Pen = InkPen(1.0, Ink);
    if (Dashed)
        Pen.setDashPattern({2, 1});
    P.setPen(Pen);
    P.drawLine(QPointF(X, 0), QPointF(X, 16));
    P.restore();
}

void Bars(QPainter& P, qreal X0, qreal W0, qreal X1, qreal W1)
{
    Shape(P, RectPath(X0, 2.5, W0, 4));
    Shape(P, RectPath(X1, 9.5, W1, 4), AccentPale);
}

// Display quality: the same disc at falling resolution, then its outline.
void QualityDisc(QPainter& P, int Cell)
{
    if (Cell == 0) {
        P.setPen(InkPen());
        P.setBrush(Qt::NoBrush);
        P.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        P.drawLine(QPointF(4, 11.5), QPointF(11.5, 4));
        return;
    }
    QImage Disc(16, 16, QImage::Format_ARGB32);
    Disc.fill(Qt::transparent);
    {
        QPainter D(&Disc);
        D.setRenderHint(QPainter::Antialiasing);
        QRadialGradient Light(QPointF(5.5, 5), 11);
        Light.setColorAt(0, AccentPale);
        Light.setColorAt(1, Accent);
        D.setPen(Qt::NoPen);
        D.setBrush(Light);
        D.drawEllipse(QRectF(1, 1, 14, 14));
    }
    if (Cell > 1) {
        const QImage Small = Disc.scaled(16 / Cell, 16 / Cell, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        Disc = Small.scaled(16, 16, Qt::IgnoreAspectRatio, Qt::FastTransformation);
    }
    P.drawImage(0, 0, Disc);
}

void Grid(QPainter& P, const QColor& Colour)
{
    P.save();
    P.setPen(Qt::NoPen);
    P.setBrush(Colour);
    for (int Y = 1; Y < 16; Y += 4)
        for (int X = 1; X < 16; X += 4)
            P.drawRect(QRectF(X, Y, 2, 2));
    P.restore();
}

void Window(QPainter& P, QRectF R)
{
    Shape(P, RectPath(R.x(), R.y(), R.width(), R.height()), Paper);
    P.save();
    P.setPen(Qt::NoPen);
    P.setBrush(Accent);
    P.drawRect(QRectF(R.x() + 0.5, R.y() + 0.5, R.width() - 1, 2.5));
    P.restore();
}

void Disk(QPainter& P)
{
    QPainterPath Body;
    Body.moveTo(1.5, 1.5);
    Body.lineTo(12.5, 1.5);
    Body.lineTo(14.5, 3.5);
    Body.lineTo(14.5, 14.5);
    Body.lineTo(1.5, 14.5);
    Body.closeSubpath();
    Shape(P, Body, Accent);
    Shape(P, RectPath(4.5, 1.5, 7, 4), Paper);
    P.fillRect(QRectF(9, 2.5, 1.5, 2), Ink);
    Shape(P, RectPath(3.5, 8.5, 9, 6), Paper);
    TextLines(P, 5, 11, 10.5, 2, 2);
}

std::vector<TPicture> Commands()
{
    std::vector<TPicture> Out;
    auto Add = [&](const char* Name, const TDraw& Draw) { Out.push_back({"commands", Name, Glyph(16, Draw)}); };

    // File
    Add("actNew", [](QPainter& P) {
        Page(P, QRectF(2.5, 0.5, 11, 15));
        P.setPen(Qt::NoPen);
        P.setBrush(Accent);
        P.drawPolygon(StarPointsF(QPointF(8, 9), 3.6, 1.3, 4));
    });
    Add("actOpen", [](QPainter& P) {
        QPainterPath Back;
        Back.moveTo(0.5, 13.5);
        Back.lineTo(0.5, 2.5);
        Back.lineTo(5.5, 2.5);
        Back.lineTo(7, 4.5);
        Back.lineTo(12.5, 4.5);
        Back.lineTo(12.5, 7);
        Shape(P, Back, AccentPale);
        QPainterPath Front;
        Front.moveTo(0.5, 13.5);
        Front.lineTo(3.5, 7.5);
        Front.lineTo(15.5, 7.5);
        Front.lineTo(12.5, 13.5);
        Front.closeSubpath();
        Shape(P, Front, Accent);
    });
    Add("actOpenImage", [](QPainter& P) {
        Shape(P, RectPath(0.5, 2.5, 15, 11), Paper);
        P.setPen(Qt::NoPen);
        P.setBrush(Accent);
        P.drawPolygon(QPolygonF({QPointF(1, 13), QPointF(6, 6.5), QPointF(9.5, 10.5), QPointF(11.5, 8.5),
                                 QPointF(15, 13)}));
        P.setBrush(Grey);
        P.drawEllipse(QPointF(11.5, 5.5), 1.6, 1.6);
    });
    Add("actClose", [](QPainter& P) {
        Window(P, QRectF(0.5, 0.5, 15, 15));
        P.setPen(InkPen(1.8, Ink));
        P.drawLine(QPointF(5, 6.5), QPointF(11, 12.5));
        P.drawLine(QPointF(11, 6.5), QPointF(5, 12.5));
    });
    Add("actSave", Disk);
    Add("actSaveAs", [](QPainter& P) {
        Disk(P);
        QPainterPath Pen;
        Pen.moveTo(0, 0);
        Pen.lineTo(2.2, -1.3);
        Pen.lineTo(9, -1.3);
        Pen.lineTo(9, 1.3);
        Pen.lineTo(2.2, 1.3);
        Pen.closeSubpath();
        QTransform T;
        T.translate(9, 15);
        T.rotate(-45);
        Shape(P, T.map(Pen), Paper);
    });
    Add("actPrint", [](QPainter& P) {
        Shape(P, RectPath(3.5, 0.5, 9, 6), Paper);
        Shape(P, RectPath(0.5, 5.5, 15, 7), AccentPale);
        Shape(P, RectPath(3.5, 10.5, 9, 5), Paper);
        TextLines(P, 5, 11, 12.5, 2);
        P.fillRect(QRectF(12, 7, 2, 1.5), Accent);
    });
    Add("actPrintSetup", [](QPainter& P) {
        Page(P, QRectF(2.5, 0.5, 11, 15));
        P.save();
        QPen Dash = InkPen(1.0, Accent);
        Dash.setDashPattern({1, 1});
        P.setPen(Dash);
        P.drawRect(QRectF(4.5, 5.5, 7, 8));
        P.restore();
    });
    Add("actExit", [](QPainter& P) {
        Shape(P, RectPath(0.5, 0.5, 9, 15), Paper);
        Arrow(P, QPointF(5, 8), QPointF(15.5, 8), Accent, 2, 4.5);
    });
    // Edit
    Add("actUndo", [](QPainter& P) { TurnArrow(P, false); });
    Add("actRedo", [](QPainter& P) { TurnArrow(P, true); });
    Add("actCut", [](QPainter& P) {
        P.setPen(InkPen(1.3, Ink));
        P.drawLine(QPointF(5.5, 10), QPointF(11.5, 0.5));
        P.drawLine(QPointF(10.5, 10), QPointF(4.5, 0.5));
        P.setPen(InkPen(1.6, Accent));
        P.setBrush(Qt::NoBrush);
        P.drawEllipse(QPointF(4.3, 12.3), 2.6, 2.6);
        P.drawEllipse(QPointF(11.7, 12.3), 2.6, 2.6);
    });
    Add("actCopy", [](QPainter& P) {
        Page(P, QRectF(0.5, 0.5, 9, 11), 3);
        Page(P, QRectF(5.5, 4.5, 9, 11), 3);
        TextLines(P, 7, 12, 9.5, 3);
    });
    Add("actPaste", [](QPainter& P) {
        Shape(P, RectPath(0.5, 1.5, 12, 14), Accent);
        Shape(P, RectPath(3.5, 0.5, 6, 3), Paper);
        Page(P, QRectF(6.5, 5.5, 9, 10), 3);
        TextLines(P, 8, 13, 10.5, 3);
    });
    Add("actDel", [](QPainter& P) {
        P.setPen(InkPen(3.0, Accent));
        P.drawLine(QPointF(3, 3), QPointF(13, 13));
        P.drawLine(QPointF(13, 3), QPointF(3, 13));
    });
    Add("actDup", [](QPainter& P) {
        Shape(P, RectPath(0.5, 0.5, 9, 9), Paper);
        Shape(P, RectPath(4.5, 4.5, 9, 9), Accent);
        P.setPen(InkPen(1.4, Ink));
        P.drawLine(QPointF(13.5, 9.5), QPointF(13.5, 15.5));
        P.drawLine(QPointF(10.5, 12.5), QPointF(16, 12.5));
    });
    Add("actSelAll", [](QPainter& P) {
        Shape(P, RectPath(3.5, 3.5, 5, 5));
        QPainterPath E;
        E.addEllipse(QRectF(7.5, 7.5, 5, 5));
        Shape(P, E, AccentPale);
        QPen Dash = InkPen();
        Dash.setDashPattern({2, 1});
        P.setPen(Dash);
        P.setBrush(Qt::NoBrush);
        P.drawRect(QRectF(0.5, 0.5, 15, 15));
    });
    Add("actCopyAsBMP", [](QPainter& P) {
        Page(P, QRectF(0.5, 0.5, 9, 11), 3);
        Shape(P, RectPath(5.5, 5.5, 10, 10), Paper);
        P.setPen(Qt::NoPen);
        P.setBrush(Accent);
        P.drawPolygon(QPolygonF({QPointF(6, 15), QPointF(9, 10), QPointF(11, 12.5), QPointF(12.5, 11), QPointF(15, 15)}));
    });
    // View
    Add("actZoomIn", [](QPainter& P) { Magnifier(P, +1); });
    Add("actZoomOut", [](QPainter& P) { Magnifier(P, -1); });
    Add("actDispHigh", [](QPainter& P) { QualityDisc(P, 1); });
    Add("actDispMid", [](QPainter& P) { QualityDisc(P, 2); });
    Add("actDispLow", [](QPainter& P) { QualityDisc(P, 4); });
    Add("actDispWire", [](QPainter& P) { QualityDisc(P, 0); });
    Add("actDispSmooth", [](QPainter& P) {
        QualityDisc(P, 1);
        Arrow(P, QPointF(15, 1), QPointF(10.5, 5.5), Ink, 1.4, 3.2);
    });
    Add("actShowGrid", [](QPainter& P) { Grid(P, Ink); });
    Add("actDispAnchor", [](QPainter& P) {
        QPainterPath E;
        E.addEllipse(QRectF(3.5, 3.5, 9, 9));
        Shape(P, E, AccentPale);
        for (QPointF C : {QPointF(2, 2), QPointF(14, 2), QPointF(2, 14), QPointF(14, 14), QPointF(8, 2),
                          QPointF(8, 14), QPointF(2, 8), QPointF(14, 8)})
            Shape(P, RectPath(C.x() - 1.5, C.y() - 1.5, 3, 3), Ink);
    });
    Add("actRuler", [](QPainter& P) {
        Shape(P, RectPath(0.5, 4.5, 15, 7), AccentPale);
        P.setPen(InkPen());
        for (int X = 2; X < 15; X += 2)
            P.drawLine(QPointF(X + 0.5, 4.5), QPointF(X + 0.5, X % 4 == 0 ? 9 : 7));
    });
    Add("actPageAll", [](QPainter& P) {
        for (int I = 0; I < 3; ++I)
            Shape(P, RectPath(0.5 + I * 2, 0.5 + I * 3, 10, 9), I == 2 ? Accent : Paper);
    });
    Add("actDispColPlt", [](QPainter& P) {
        Shape(P, RectPath(0.5, 0.5, 15, 15), Paper);
        const QColor Swatches[] = {Accent, AccentPale, Ink, Grey, AccentDark, GreyPale, Paper, Accent, Grey};
        for (int I = 0; I < 9; ++I)
            Shape(P, RectPath(2.5 + (I % 3) * 4, 2.5 + (I / 3) * 4, 3, 3), Swatches[I]);
    });
    // Arrange
    Add("act1Up", [](QPainter& P) { Stacking(P, true, -1, false); });
    Add("act1Down", [](QPainter& P) { Stacking(P, false, +1, false); });
    Add("actTop", [](QPainter& P) { Stacking(P, true, -1, true); });
    Add("actBottom", [](QPainter& P) { Stacking(P, false, +1, true); });
    const TDraw ArngLeft = [](QPainter& P) {
        Guide(P, 1.5);
        Bars(P, 2.5, 12, 2.5, 8);
    };
    const TDraw ArngRight = [](QPainter& P) {
        Guide(P, 14.5);
        Bars(P, 1.5, 12, 5.5, 8);
    };
    const TDraw Center = [](QPainter& P) {
        Guide(P, 8, true);
        Bars(P, 1.5, 13, 3.5, 9);
    };
    const TDraw ImgCenter = [](QPainter& P) {
        P.save();
        P.setPen(InkPen(1.0, Grey));
        P.drawRect(QRectF(0.5, 0.5, 15, 15));
        P.restore();
        Shape(P, RectPath(4.5, 5.5, 7, 5));
        Guide(P, 8, true);
    };
    const TDraw Equal = [](QPainter& P) {
        const qreal Heights[] = {9, 13, 7};
        for (int I = 0; I < 3; ++I)
            Shape(P, RectPath(0.5 + I * 5.5, 8 - Heights[I] / 2, 4, Heights[I]), I == 1 ? Accent : AccentPale);
    };
    Add("actArngLeft", ArngLeft);
    Add("actArngRight", ArngRight);
    Add("actCenterH", Center);
    Add("actImgCenterH", ImgCenter);
    Add("actEqualH", Equal);
    Add("actArngTop", Transposed(ArngLeft));
    Add("actArngBottom", Transposed(ArngRight));
    Add("actCenterV", Transposed(Center));
    Add("actImgCenterV", Transposed(ImgCenter));
    Add("actEqualV", Transposed(Equal));
    // Paths and nodes
    Add("actToPolyLine", [](QPainter& P) {
        P.setPen(InkPen());
        P.setBrush(AccentPale);
        P.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        for (QPointF C : {QPointF(8, 1.5), QPointF(14.5, 8), QPointF(8, 14.5), QPointF(1.5, 8)})
            Node(P, C);
    });
    Add("actMerge", [](QPainter& P) {
        QPainterPath A = RectPath(0.5, 0.5, 9, 9);
        QPainterPath B;
        B.addEllipse(QRectF(5.5, 5.5, 10, 10));
        Shape(P, A.united(B));
    });
    Add("actUnMerge", [](QPainter& P) {
        Shape(P, RectPath(0.5, 0.5, 8, 8), AccentPale);
        QPainterPath B;
        B.addEllipse(QRectF(6.5, 6.5, 9, 9));
        Shape(P, B);
    });
    Add("actBezierToLine", [](QPainter& P) {
        P.setPen(InkPen(1.0, Grey));
        QPainterPath Was(QPointF(2.5, 13.5));
        Was.cubicTo(2.5, 3, 8, 3, 13.5, 2.5);
        P.drawPath(Was);
        P.setPen(InkPen(1.4, Ink));
        P.drawLine(QPointF(2.5, 13.5), QPointF(13.5, 2.5));
        Node(P, QPointF(2.5, 13.5));
        Node(P, QPointF(13.5, 2.5));
    });
    Add("actLineToBezier", [](QPainter& P) {
        P.setPen(InkPen(1.4, Ink));
        QPainterPath Curve(QPointF(2.5, 13.5));
        Curve.cubicTo(2.5, 3, 8, 3, 13.5, 2.5);
        P.drawPath(Curve);
        Handle(P, QPointF(2.5, 13.5), QPointF(2.5, 5.5), 1.3);
        Node(P, QPointF(2.5, 13.5));
        Node(P, QPointF(13.5, 2.5));
    });
    Add("actNodeSym", [](QPainter& P) {
        P.setPen(InkPen());
        QPainterPath Curve(QPointF(0.5, 13.5));
        Curve.quadTo(8, 1.5, 15.5, 13.5);
        P.drawPath(Curve);
        Handle(P, QPointF(8, 7.5), QPointF(2, 7.5), 1.3);
        Handle(P, QPointF(8, 7.5), QPointF(14, 7.5), 1.3);
        Node(P, QPointF(8, 7.5));
    });
    Add("actNodeSmooth", [](QPainter& P) {
        P.setPen(InkPen());
        QPainterPath Curve(QPointF(0.5, 13.5));
        Curve.cubicTo(3, 6, 8, 7.5, 8, 7.5);
        Curve.cubicTo(11, 7.5, 14, 6, 15.5, 12.5);
        P.drawPath(Curve);
        Handle(P, QPointF(8, 7.5), QPointF(1.8, 7.5), 1.3);
        Handle(P, QPointF(8, 7.5), QPointF(11.5, 7.5), 1.3);
        Node(P, QPointF(8, 7.5));
    });
    Add("actNodeSharp", [](QPainter& P) {
        P.setPen(InkPen());
        QPainterPath Curve(QPointF(0.5, 14.5));
        Curve.quadTo(4, 7, 8, 4.5);
        Curve.quadTo(12, 7, 15.5, 14.5);
        P.drawPath(Curve);
        Handle(P, QPointF(8, 4.5), QPointF(3.5, 10.5), 1.3);
        Handle(P, QPointF(8, 4.5), QPointF(12.5, 10.5), 1.3);
        Node(P, QPointF(8, 4.5));
    });
    Add("actNodeConnect", [](QPainter& P) {
        P.setPen(InkPen());
        QPainterPath Left(QPointF(0.5, 12.5));
        Left.quadTo(2, 6, 6, 6);
        QPainterPath Right(QPointF(15.5, 12.5));
        Right.quadTo(14, 6, 10, 6);
        P.drawPath(Left);
        P.drawPath(Right);
        P.setPen(InkPen(1.0, Accent));
        P.drawLine(QPointF(6, 6), QPointF(10, 6));
        Node(P, QPointF(6, 6), false);
        Node(P, QPointF(10, 6), false);
        Arrow(P, QPointF(3, 1.5), QPointF(7, 1.5), Accent, 1.2, 2.5);
        Arrow(P, QPointF(13, 1.5), QPointF(9, 1.5), Accent, 1.2, 2.5);
    });
    Add("actNodeDivide", [](QPainter& P) {
        P.setPen(InkPen());
        QPainterPath Left(QPointF(0.5, 13.5));
        Left.quadTo(1.5, 6, 6, 5);
        QPainterPath Right(QPointF(15.5, 13.5));
        Right.quadTo(14.5, 6, 10, 5);
        P.drawPath(Left);
        P.drawPath(Right);
        Node(P, QPointF(6, 5));
        Node(P, QPointF(10, 5));
        P.setPen(InkPen(1.0, Accent));
        P.drawLine(QPointF(8, 8.5), QPointF(8, 15.5));
    });
    // Settings
    Add("actSnapGrid", [](QPainter& P) {
        Grid(P, Grey);
        P.save();
        P.setPen(InkPen(1.0, Ink));
        P.drawLine(QPointF(10.5, 4), QPointF(10.5, 17));
        P.drawLine(QPointF(4, 10.5), QPointF(17, 10.5));
        P.restore();
        Node(P, QPointF(10.5, 10.5), true, 2);
    });
    Add("actSnapObj", [](QPainter& P) {
        P.setPen(InkPen());
        P.setBrush(AccentPale);
        P.drawEllipse(QRectF(-7.5, 2.5, 18, 18));
        P.save();
        P.setPen(InkPen(1.0, Ink));
        P.drawLine(QPointF(10.5, 4), QPointF(10.5, 16));
        P.drawLine(QPointF(5, 10.5), QPointF(16, 10.5));
        P.restore();
        Node(P, QPointF(10.5, 10.5), true, 2);
    });
    Add("actGridOption", [](QPainter& P) {
        Grid(P, Ink);
        Shape(P, RectPath(8.5, 8.5, 7, 7), Paper);
        P.setPen(InkPen(1.0, Accent));
        P.drawLine(QPointF(10, 10.5), QPointF(14, 10.5));
        P.drawLine(QPointF(10, 13.5), QPointF(14, 13.5));
    });
    Add("actOption", [](QPainter& P) {
        QPainterPath Gear;
        const QPointF C(8, 8);
        for (int I = 0; I < 32; ++I) {
            const qreal R = (I % 4 < 2) ? 7.4 : 5.3;
            const qreal A = (I - 0.5) * M_PI / 16;
            const QPointF Pt(C.x() + R * std::cos(A), C.y() + R * std::sin(A));
            if (I == 0)
                Gear.moveTo(Pt);
            else
                Gear.lineTo(Pt);
        }
        Gear.closeSubpath();
        QPainterPath Hole;
        Hole.addEllipse(C, 2.2, 2.2);
        Shape(P, Gear.subtracted(Hole));
    });
    Add("actCustomize", [](QPainter& P) {
        Shape(P, RectPath(0.5, 2.5, 15, 6), Paper);
        for (int I = 0; I < 3; ++I)
            Shape(P, RectPath(2.5 + I * 4, 4.5, 2, 2), I == 0 ? Accent : Grey);
        Arrow(P, QPointF(8, 15.5), QPointF(8, 9.5), Accent, 1.6, 3.5);
    });
    // Windows
    Add("actTileV", [](QPainter& P) {
        Window(P, QRectF(0.5, 0.5, 7, 15));
        Window(P, QRectF(8.5, 0.5, 7, 15));
    });
    Add("actTileH", [](QPainter& P) {
        Window(P, QRectF(0.5, 0.5, 15, 7));
        Window(P, QRectF(0.5, 8.5, 15, 7));
    });
    Add("actCascade", [](QPainter& P) {
        Window(P, QRectF(0.5, 0.5, 10, 8));
        Window(P, QRectF(2.5, 3.5, 10, 8));
        Window(P, QRectF(5.5, 6.5, 10, 9));
    });
    // Help
    Add("actHelpContents", [](QPainter& P) {
        Shape(P, RectPath(1.5, 0.5, 12, 15), Accent);
        Shape(P, RectPath(3.5, 12.5, 10, 3), Paper);
        QPen Mark = InkPen(1.8, Paper);
        Mark.setCapStyle(Qt::RoundCap);
        P.setPen(Mark);
        P.setBrush(Qt::NoBrush);
        QPainterPath Q(QPointF(5.2, 4.8));
        Q.cubicTo(5.2, 1.9, 10.8, 1.9, 10.8, 4.8);
        Q.cubicTo(10.8, 6.8, 8, 6.6, 8, 8.6);
        P.drawPath(Q);
        P.setPen(Qt::NoPen);
        P.setBrush(Paper);
        P.drawEllipse(QPointF(8, 10.6), 1.05, 1.05);
    });
    Add("actHP", [](QPainter& P) {
        P.setPen(InkPen());
        P.setBrush(AccentPale);
        P.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        P.setBrush(Qt::NoBrush);
        P.setPen(InkPen(1.0, Accent));
        P.drawEllipse(QRectF(4.5, 0.5, 7, 15));
        P.drawLine(QPointF(8, 0.5), QPointF(8, 15.5));
        P.drawLine(QPointF(0.5, 8), QPointF(15.5, 8));
        P.drawLine(QPointF(2, 4.5), QPointF(14, 4.5));
        P.drawLine(QPointF(2, 11.5), QPointF(14, 11.5));
    });
    Add("actAbout", [](QPainter& P) {
        P.setPen(InkPen());
        P.setBrush(Accent);
        P.drawEllipse(QRectF(0.5, 0.5, 15, 15));
        P.setPen(Qt::NoPen);
        P.setBrush(Paper);
        P.drawEllipse(QPointF(8, 4.5), 1.3, 1.3);
        P.drawRect(QRectF(6.8, 7, 2.4, 6));
    });
    return Out;
}

// ------------------------------------------------- panel button glyphs

// A paint macro as the macro page shows it: a small swatch filled with a
// gradation, the look of one fill effect.
void Swatch(QPainter& P, QRectF R)
{
    QLinearGradient Fill(R.topLeft(), R.bottomRight());
    Fill.setColorAt(0, AccentPale);
    Fill.setColorAt(1, Accent);
    P.save();
    P.setPen(InkPen());
    P.setBrush(Fill);
    P.drawRect(R);
    P.restore();
}

// Cuts a clear margin of Gap pixels round Path out of what is drawn so far,
// then draws Path over it: a sign stays readable over a swatch, and the
// disabled face (the glyph's silhouette) still shows it apart.
void Badge(QPainter& P, const QPainterPath& Path, const QColor& Fill, qreal Gap = 1.2)
{
    P.save();
    QPainterPathStroker Rim;
    Rim.setWidth(2 * Gap + 1);
    Rim.setJoinStyle(Qt::MiterJoin);
    P.setCompositionMode(QPainter::CompositionMode_Clear);
    P.setPen(Qt::NoPen);
    P.setBrush(Qt::black);
    P.drawPath(Rim.createStroke(Path).united(Path));
    P.restore();
    Shape(P, Path, Fill);
}

// A plus sign (or a minus, without the upright) of arm length Arm and
// thickness Bar round C.
QPainterPath PlusPath(QPointF C, qreal Arm, qreal Bar, bool Upright = true)
{
    QPainterPath Plus = RectPath(C.x() - Arm, C.y() - Bar / 2, 2 * Arm, Bar);
    if (Upright)
        Plus = Plus.united(RectPath(C.x() - Bar / 2, C.y() - Arm, Bar, 2 * Arm));
    return Plus.simplified();
}

// A broad arrow with its tip at Tip, Length long, pointing left (Dir -1)
// or right (+1).
QPainterPath BroadArrowPath(QPointF Tip, qreal Length, int Dir)
{
    const qreal Head = 5, Half = 4, Bar = 2;
    const qreal X = Tip.x(), Y = Tip.y(), Back = X - Dir * Head, End = X - Dir * Length;
    return PolyPath(QPolygonF({QPointF(X, Y), QPointF(Back, Y - Half), QPointF(Back, Y - Bar),
                               QPointF(End, Y - Bar), QPointF(End, Y + Bar), QPointF(Back, Y + Bar),
                               QPointF(Back, Y + Half)}));
}

// A stack of three flat layers, the top one at Top, Width wide: a paint
// style is a whole stack of macros, where one swatch is one macro.
void Layers(QPainter& P, QPointF Top, qreal Width)
{
    const qreal H = Width / 2, Step = 2.5;
    const QColor Fills[] = {AccentDark, Accent, AccentPale};
    for (int I = 2; I >= 0; --I) {
        const QPointF C(Top.x(), Top.y() + H / 2 + I * Step);
        Shape(P,
              PolyPath(QPolygonF({QPointF(C.x(), C.y() - H / 2), QPointF(C.x() + Width / 2, C.y()),
                                  QPointF(C.x(), C.y() + H / 2), QPointF(C.x() - Width / 2, C.y())})),
              Fills[2 - I]);
    }
}

// The speed buttons of the property panel's macro page, by button name.
// Copying and pasting one macro use the edit commands' glyphs; the style
// buttons show the layer stack in their place.
std::vector<TPicture> Buttons()
{
    std::vector<TPicture> Out;
    auto Add = [&](const char* Name, const TDraw& Draw) { Out.push_back({"buttons", Name, Glyph(16, Draw)}); };
    Add("sbtnPaintMacroAdd", [](QPainter& P) {
        Swatch(P, QRectF(0.5, 4.5, 11, 11));
        Badge(P, PlusPath(QPointF(11, 5), 3.5, 3), AccentPale);
    });
    Add("sbtnMacroDel", [](QPainter& P) {
        Swatch(P, QRectF(0.5, 4.5, 11, 11));
        Badge(P, PlusPath(QPointF(11, 5), 3.5, 3, false), Paper);
    });
    Add("sbtnMacroLeft", [](QPainter& P) {
        Swatch(P, QRectF(5.5, 1.5, 10, 10));
        Badge(P, BroadArrowPath(QPointF(0.5, 11.5), 11, -1), Paper);
    });
    Add("sbtnMacroRight", [](QPainter& P) {
        Swatch(P, QRectF(0.5, 1.5, 10, 10));
        Badge(P, BroadArrowPath(QPointF(15.5, 11.5), 11, +1), Paper);
    });
    Add("sbtnStyleCopy", [](QPainter& P) {
        Page(P, QRectF(0.5, 0.5, 9, 11), 3);
        Layers(P, QPointF(10.5, 5), 10);
    });
    Add("sbtnStylePaste", [](QPainter& P) {
        Shape(P, RectPath(0.5, 1.5, 11, 13), Accent);
        Shape(P, RectPath(3, 0.5, 6, 3), Paper);
        Layers(P, QPointF(10.5, 5), 10);
    });
    return Out;
}

// ------------------------------------------------------------------ icons

// The program's mark: a decorated capital T, white with a dark outline and a
// drop shadow, on an accent tile. Drawn in a 256 unit box, simplified below 32.
void DrawMark(QPainter& P, int Size, bool OnTile)
{
    P.save();
    P.scale(Size / 256.0, Size / 256.0);
    if (OnTile) {
        QLinearGradient Tile(0, 16, 0, 240);
        Tile.setColorAt(0, Accent.lighter(125));
        Tile.setColorAt(1, AccentDark);
        P.setPen(Size >= 32 ? QPen(AccentDark.darker(130), 256.0 / Size) : Qt::NoPen);
        P.setBrush(Tile);
        P.drawRoundedRect(QRectF(12, 12, 232, 232), 44, 44);
    }
    QPainterPath T;
    T.moveTo(52, 58);
    T.cubicTo(52, 46, 60, 40, 72, 40);
    T.lineTo(198, 40);
    T.cubicTo(210, 40, 216, 48, 212, 60);
    T.lineTo(206, 82);
    T.cubicTo(204, 90, 198, 94, 188, 94);
    T.lineTo(152, 94);
    T.lineTo(152, 196);
    T.cubicTo(152, 214, 140, 222, 124, 222);
    T.cubicTo(110, 222, 102, 212, 102, 198);
    T.lineTo(102, 94);
    T.lineTo(68, 94);
    T.cubicTo(58, 94, 52, 88, 52, 78);
    T.closeSubpath();
    const bool Small = Size < 32;
    if (!Small) {
        P.setPen(Qt::NoPen);
        P.setBrush(QColor(0, 0, 0, 90));
        P.drawPath(T.translated(12, 12));
    }
    P.setPen(QPen(OnTile ? Ink : AccentDark, Small ? 0 : std::max(256.0 / Size, 5.0)));
    if (Small)
        P.setPen(Qt::NoPen);
    QLinearGradient Face(0, 40, 0, 222);
    Face.setColorAt(0, Paper);
    Face.setColorAt(1, OnTile ? AccentPale : Accent.lighter(140));
    P.setBrush(OnTile ? QBrush(Face) : QBrush(Accent));
    P.drawPath(T);
    if (!Small) {
        // The decoration: a highlight stroke along the bar and down the stem.
        QPainterPath Shine;
        Shine.moveTo(74, 56);
        Shine.lineTo(192, 56);
        P.setPen(QPen(OnTile ? Paper : AccentPale, 8, Qt::SolidLine, Qt::RoundCap));
        P.setBrush(Qt::NoBrush);
        P.drawPath(Shine);
        P.drawLine(QPointF(120, 110), QPointF(120, 190));
    }
    P.restore();
}

QImage ProgramIcon(int Size)
{
    QImage Image = Canvas(Size);
    QPainter P(&Image);
    P.setRenderHint(QPainter::Antialiasing);
    if (Size > 16) {
        DrawMark(P, Size, true);
        return Image;
    }
    // At 16 pixels the mark is set on the pixel grid by hand.
    QLinearGradient Tile(0, 0, 0, 16);
    Tile.setColorAt(0, Accent.lighter(125));
    Tile.setColorAt(1, AccentDark);
    P.setPen(InkPen(1.0, AccentDark));
    P.setBrush(Tile);
    P.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    P.setRenderHint(QPainter::Antialiasing, false);
    P.fillRect(4, 4, 10, 3, AccentDark.darker(140));
    P.fillRect(7, 7, 4, 7, AccentDark.darker(140));
    P.fillRect(3, 3, 10, 3, Paper);
    P.fillRect(6, 6, 4, 7, Paper);
    return Image;
}

// The document icon: a page with a folded corner carrying the mark.
QImage DocumentIcon(int Size)
{
    QImage Image = Canvas(Size);
    QPainter P(&Image);
    P.setRenderHint(QPainter::Antialiasing);
    const qreal U = Size / 16.0;
    const qreal Line = std::max(1.0, Size / 64.0);
    const qreal H = Line / 2;
    const QRectF R(2 * U + H, H, 12 * U - Line, Size - Line);
    const qreal Fold = 4 * U;
    QPainterPath Sheet;
    Sheet.moveTo(R.left(), R.top());
    Sheet.lineTo(R.right() - Fold, R.top());
    Sheet.lineTo(R.right(), R.top() + Fold);
    Sheet.lineTo(R.right(), R.bottom());
    Sheet.lineTo(R.left(), R.bottom());
    Sheet.closeSubpath();
    P.setPen(QPen(Ink, Line));
    P.setBrush(Paper);
    P.drawPath(Sheet);
    P.setBrush(GreyPale);
    P.drawPolygon(QPolygonF({QPointF(R.right() - Fold, R.top()), QPointF(R.right() - Fold, R.top() + Fold),
                             QPointF(R.right(), R.top() + Fold)}));
    if (Size <= 16) {
        P.setRenderHint(QPainter::Antialiasing, false);
        P.fillRect(5, 6, 6, 2, Accent);
        P.fillRect(7, 8, 2, 5, Accent);
        return Image;
    }
    P.translate(R.left() + 1.5 * U, 5.5 * U);
    DrawMark(P, int(std::lround(9 * U)), false);
    return Image;
}

std::vector<TPicture> Icons()
{
    std::vector<TPicture> Out;
    Out.push_back({"icons", "tavro", ProgramIcon(256)});
    for (int Size : {16, 32, 48})
        Out.push_back({"icons", QString("tavro%1").arg(Size), ProgramIcon(Size)});
    Out.push_back({"icons", "srn", DocumentIcon(256)});
    for (int Size : {16, 32, 48})
        Out.push_back({"icons", QString("srn%1").arg(Size), DocumentIcon(Size)});
    return Out;
}

// ------------------------------------------------------------ control glyphs

// Glyphs of the edit buttons, drawn pixel by pixel: at this size any
// smoothing would blur them.
QImage PixelGlyph(const char* const* Rows, int Height)
{
    const int Width = int(std::strlen(Rows[0]));
    QImage Image(Width, Height, QImage::Format_ARGB32);
    Image.fill(Qt::transparent);
    for (int Y = 0; Y < Height; ++Y)
        for (int X = 0; X < Width; ++X)
            if (Rows[Y][X] == '#')
                Image.setPixelColor(X, Y, Qt::black);
    return Image;
}

std::vector<TPicture> Controls()
{
    static const char* const Ellipsis[] = {"##.##.##", "##.##.##"};
    static const char* const TrackBar[] = {"...###...", "...###...", "...###...", "....#....",
                                           "#########", ".........", "#.......#"};
    static const char* const Up[] = {"..#..", ".###.", "#####"};
    static const char* const Down[] = {"#####", ".###.", "..#.."};
    return {{"controls", "EKELLIPS", PixelGlyph(Ellipsis, 2)},
            {"controls", "ETBKDIV", PixelGlyph(TrackBar, 7)},
            {"controls", "ETBKUP", PixelGlyph(Up, 3)},
            {"controls", "ETBKDOWN", PixelGlyph(Down, 3)}};
}

// ------------------------------------------------------------ the output

bool WriteQrc(const QDir& Root, const QString& QrcName, const QString& Prefix, const QString& Comment,
              const std::vector<TPicture>& Pictures)
{
    QFile File(Root.filePath(QrcName));
    if (!File.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream S(&File);
    S << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n  <!-- " << Comment
      << " Written by tools/draw_resources. -->\n  <qresource prefix=\"/" << Prefix << "\">\n";
    for (const TPicture& Pic : Pictures)
        S << "    <file alias=\"" << Pic.Name << "\">" << Pic.Folder << "/" << Pic.Name << ".png</file>\n";
    S << "  </qresource>\n</RCC>\n";
    return true;
}

bool WritePictures(const QDir& Root, const std::vector<TPicture>& Pictures)
{
    for (const TPicture& Pic : Pictures) {
        if (!Root.mkpath(Pic.Folder))
            return false;
        QImage Image = Pic.Image;
        if (Pic.HotSpot.x() >= 0)
            Image.setText("HotSpot", QString("%1,%2").arg(Pic.HotSpot.x()).arg(Pic.HotSpot.y()));
        if (!Image.save(Root.filePath(Pic.Folder + "/" + Pic.Name + ".png"), "png"))
            return false;
    }
    return true;
}

// Every picture enlarged, on a light and on a dark ground side by side,
// cursors with their hot spot marked in red, for looking them over.
QImage ContactSheet(const std::vector<TPicture>& Pictures)
{
    int Widest = 0;
    for (const TPicture& Pic : Pictures)
        Widest = std::max(Widest, Pic.Image.width());
    const int Shown = std::min(96, Widest * std::max(1, 96 / Widest));
    const int Cell = Shown + 8;
    const int Columns = std::max(1, 900 / (2 * Cell));
    const int Rows = int((Pictures.size() + Columns - 1) / Columns);
    QImage Sheet(Columns * 2 * Cell, Rows * Cell, QImage::Format_ARGB32);
    Sheet.fill(QColor(0xf4, 0xf4, 0xf4));
    QPainter P(&Sheet);
    for (size_t I = 0; I < Pictures.size(); ++I) {
        const QImage& Img = Pictures[I].Image;
        const int Scale = std::max(1, Shown / Img.width());
        const QImage Big = Img.width() > Shown
                               ? Img.scaled(Shown, Shown, Qt::KeepAspectRatio, Qt::SmoothTransformation)
                               : Img.scaled(Img.width() * Scale, Img.height() * Scale);
        for (int Ground = 0; Ground < 2; ++Ground) {
            const int X = (int(I % Columns) * 2 + Ground) * Cell;
            const int Y = int(I / Columns) * Cell;
            P.fillRect(X + 2, Y + 2, Cell - 4, Cell - 4, Ground == 0 ? QColor(0xff, 0xff, 0xff) : QColor(0x50, 0x50, 0x50));
            const int OX = X + (Cell - Big.width()) / 2, OY = Y + (Cell - Big.height()) / 2;
            P.drawImage(OX, OY, Big);
            if (Pictures[I].HotSpot.x() >= 0) {
                P.setPen(QPen(Qt::red, 1));
                P.setBrush(Qt::NoBrush);
                P.drawRect(OX + Pictures[I].HotSpot.x() * Scale, OY + Pictures[I].HotSpot.y() * Scale, Scale - 1,
                           Scale - 1);
            }
        }
    }
    return Sheet;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: draw_resources RESOURCES_DIR [SHEET.png]\n");
        return 2;
    }
    const QDir Root(QString::fromLocal8Bit(argv[1]));
    const std::vector<std::vector<TPicture>> Groups = {Cursors(), Tools(), Commands(), Icons(), Controls(), Buttons()};
    struct TQrc {
        const char* File;
        const char* Prefix;
        const char* Comment;
    };
    const TQrc Qrcs[] = {
        {"tool_cursors.qrc", "cursors", "The mouse tools' cursors, each PNG with its \"HotSpot\" text entry."},
        {"tools.qrc", "tools", "The tool palette's glyphs, by button name."},
        {"commands.qrc", "commands", "The command glyphs, by action name."},
        {"icons.qrc", "icons", "The program icon and the .srn document icon."},
        {"controls.qrc", "bitmaps", "The glyphs of the number edit's ellipsis, track-bar and repeat buttons."},
        {"buttons.qrc", "buttons", "The property panel's speed-button glyphs, by button name."},
    };
    for (size_t I = 0; I < Groups.size(); ++I) {
        if (!WritePictures(Root, Groups[I]) ||
            !WriteQrc(Root, Qrcs[I].File, Qrcs[I].Prefix, Qrcs[I].Comment, Groups[I])) {
            std::fprintf(stderr, "draw_resources: cannot write under %s\n", argv[1]);
            return 1;
        }
    }
    if (argc == 3) {
        // One sheet per group: SHEET-1.png, SHEET-2.png, ...
        QString Base = QString::fromLocal8Bit(argv[2]);
        if (Base.endsWith(".png"))
            Base.chop(4);
        for (size_t I = 0; I < Groups.size(); ++I)
            if (!ContactSheet(Groups[I]).save(QString("%1-%2.png").arg(Base).arg(I + 1), "png")) {
                std::fprintf(stderr, "draw_resources: cannot write %s\n", argv[2]);
                return 1;
            }
    }
    return 0;
}
