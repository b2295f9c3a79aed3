// A scroll box that tells when the user scrolled it with one of its own
// scroll bars (after the contents moved); moving the bars from code tells
// nothing.
#pragma once

#include "ui/wex_events.h"

#include <QScrollArea>

class TScrollBoxWex : public QScrollArea {
    Q_OBJECT
public:
    explicit TScrollBoxWex(QWidget* Parent = nullptr);

    TNotifyEvent OnHScroll;
    TNotifyEvent OnVScroll;
};
