// Stand-in for the floating window that comes later: the colour palette
// window, a tool window created at its place in start-up; closing it tells
// the frame (TToolWindowClosedEvent).
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QTabWidget;
class TDrawItem;

class TfrmPltColorPlaceholder : public QWidget {
public:
    // Owner is the window told of the close (the frame).
    explicit TfrmPltColorPlaceholder(QWidget* Owner);

protected:
    void closeEvent(QCloseEvent* Event) override;
};

// The palette window (a child of the frame); nil before start-up.
extern QPointer<TfrmPltColorPlaceholder> frmPltColor;
