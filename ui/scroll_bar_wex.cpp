#include "ui/scroll_bar_wex.h"

#include <algorithm>
#include <climits>

TScrollBarWex::TScrollBarWex(Qt::Orientation Orientation, QWidget* Parent) : QScrollBar(Orientation, Parent)
{
    setPageStep(0);
}

void TScrollBarWex::SetPage(uint32_t Value)
{
    FPage = Value;
    // The thumb's share of the bar is page / (max - min + page), as the
    // window system draws a page beyond the range's end.
    setPageStep(static_cast<int>(std::min<uint32_t>(Value, INT_MAX)));
}

void TScrollBarWex::SetParams(int Position, int Min, int Max, uint32_t Page)
{
    setRange(Min, Max);
    setValue(Position);
    SetPage(Page);
}
