// The frame's client area of document windows. Its window keys (Ctrl+Tab,
// Ctrl+Shift+Tab) step through the documents only where the frame has the
// keys: a dialog opened over a document window keeps them, and the window
// behind it stays the active one.
#pragma once

#include <QMdiArea>

class TDocArea : public QMdiArea {
    Q_OBJECT
public:
    using QMdiArea::QMdiArea;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
};
