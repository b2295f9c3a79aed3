// Drawing routines of the windows on a QPainter: point paths and
// bottom-aligned word-wrapped text.
#pragma once

#include "foundation/geometry_types.h"

#include <QPainterPath>
#include <QRect>
#include <QString>

#include <cstdint>

class QPainter;
struct TrecPolyLine;

// Strokes a point path with the painter's pen and composition mode (the
// raster operation), filling nothing. Types: 6 move (starts a figure), 2 line,
// 4 the first of three Bezier points; the close bit 1 on a line or on a
// Bezier's third point closes the figure back to its start with a join.
// Other types are skipped, and so is a Bezier cut short by the end.
void PolyDrawPath(QPainter& DC, const TPoint* Points, const uint8_t* Types, int32_t Count);
void PolyDrawPath(QPainter& DC, const TrecPolyLine& Path);
// The figures PolyDrawPath strokes, as a painter path.
QPainterPath PointPath(const TPoint* Points, const uint8_t* Types, int32_t Count);
QPainterPath PointPath(const TrecPolyLine& Path);

// Flags of word-wrapped text drawn from the top-left, the way an edit shows it.
constexpr int kWordBreakFlags = Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap;

// R with its top moved down so that Text, word-wrapped in the painter's
// font, ends at R's bottom; R itself when the text is as high as R or higher.
// Height receives the text's height.
QRect TextBottomRect(QPainter& DC, const QString& Text, const QRect& R, int* Height = nullptr);

// Draws Text word-wrapped in R, aligned to R's bottom when shorter; returns
// the text's height.
int DrawTextBottom(QPainter& DC, const QString& Text, const QRect& R);
