// A scroll bar with a proportional thumb: Page is the part of the range one
// view shows.
#pragma once

#include <QScrollBar>

#include <cstdint>

class TScrollBarWex : public QScrollBar {
    Q_OBJECT
public:
    explicit TScrollBarWex(Qt::Orientation Orientation, QWidget* Parent = nullptr);

    uint32_t Page() const { return FPage; }
    void SetPage(uint32_t Value);
    // Range Min..Max, Position clamped into it, and the page.
    void SetParams(int Position, int Min, int Max, uint32_t Page);

private:
    uint32_t FPage = 0;
};
