// Event shapes shared by the system's own controls.
#pragma once

#include <QPoint>
#include <QRect>
#include <QString>

#include <functional>

class QObject;

using TNotifyEvent = std::function<void(QObject* Sender)>;

// A changed text about to be taken when the control is left; Accept (true
// on entry) false refuses it.
using TChangingEvent =
    std::function<void(QObject* Sender, const QString& NewText, const QString& OldText, bool& Accept)>;

// What a control's hint is about to show; the handler may change it.
struct THintInfo {
    QString HintStr;
    QPoint HintPos;   // global
    QRect CursorRect; // in the control; the hint goes when the mouse leaves it
};
using TShowHintEvent = std::function<void(QObject* Sender, bool& CanShow, THintInfo& HintInfo)>;
