#include "platform/qt/qt_drawing.h"

#include "foundation/poly_line.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

QPainterPath PointPath(const TPoint* Points, const uint8_t* Types, int32_t Count)
{
    QPainterPath Path;
    auto At = [&](int32_t I) { return QPointF(Points[I].X, Points[I].Y); };
    for (int32_t I = 0; I < Count;) {
        switch (Types[I]) {
        case 6:
            Path.moveTo(At(I));
            ++I;
            break;
        case 2:
        case 3:
            Path.lineTo(At(I));
            if (Types[I] == 3)
                Path.closeSubpath();
            ++I;
            break;
        case 4:
            if (Count - I < 3) {
                I = Count;
                break;
            }
            Path.cubicTo(At(I), At(I + 1), At(I + 2));
            if (Types[I + 2] == 5)
                Path.closeSubpath();
            I += 3;
            break;
        default:
            ++I;
            break;
        }
    }
    return Path;
}

QPainterPath PointPath(const TrecPolyLine& Path)
{
    return PointPath(Path.Points.data(), Path.pabType.data(),
                     std::min<int32_t>(Path.Count,
                                       static_cast<int32_t>(std::min(Path.Points.size(), Path.pabType.size()))));
}

void PolyDrawPath(QPainter& DC, const TPoint* Points, const uint8_t* Types, int32_t Count)
{
    DC.strokePath(PointPath(Points, Types, Count), DC.pen());
}

void PolyDrawPath(QPainter& DC, const TrecPolyLine& Path)
{
    DC.strokePath(PointPath(Path), DC.pen());
}

QRect TextBottomRect(QPainter& DC, const QString& Text, const QRect& R, int* Height)
{
    const int H = DC.boundingRect(R, kWordBreakFlags, Text).height();
    if (Height)
        *Height = H;
    QRect Result = R;
    if (H > 0 && H < R.height())
        Result.setTop(R.top() + R.height() - H);
    return Result;
}

int DrawTextBottom(QPainter& DC, const QString& Text, const QRect& R)
{
    int Height = 0;
    DC.drawText(TextBottomRect(DC, Text, R, &Height), kWordBreakFlags, Text);
    return Height;
}
