// The notice a floating tool window (a torn-off property page, the colour
// palette) posts to the main frame when it closes, carrying the window.
#pragma once

#include <QEvent>
#include <QPointer>
#include <QWidget>

class TToolWindowClosedEvent : public QEvent {
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(QEvent::User + 0x0801);

    explicit TToolWindowClosedEvent(QWidget* Window) : QEvent(EventType), FWindow(Window) {}
    // Null when the window has gone since.
    QWidget* Window() const { return FWindow; }

private:
    QPointer<QWidget> FWindow;
};
