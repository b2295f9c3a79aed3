// A paint box: a control that its owner paints. It can be opaque (nothing
// behind it is painted first), tells when the mouse enters and leaves, lets
// its owner change or suppress its hint, and hands the mouse wheel to its
// parent.
#pragma once

#include "ui/wex_events.h"

#include <QWidget>

class QPainter;

class TPaintBoxWex : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBoxWex(QWidget* Parent = nullptr);

    bool Opaque() const { return FOpaque; }
    void SetOpaque(bool Value);

    std::function<void(TPaintBoxWex* Sender, QPainter& Canvas)> OnPaint;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TShowHintEvent OnShowHint;

protected:
    bool event(QEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    void enterEvent(QEnterEvent* Event) override;
    void leaveEvent(QEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;

private:
    bool FOpaque = false;
};
