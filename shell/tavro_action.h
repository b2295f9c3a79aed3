// The frame's commands: QActions that carry what the program's command
// table needs besides a caption and a shortcut: the command number (Tag),
// the help context and the hint. A checkable command does not turn its
// check mark itself when triggered: its handler sets it, so that the
// handler sees the state the user saw.
#pragma once

#include <QAction>
#include <QString>

#include <cstdint>

class TAction : public QAction {
public:
    TAction(const QString& Name, const QString& Caption, QObject* Owner);

    int32_t Tag = 0;
    int32_t HelpContext = 0;

    const QString& Hint() const { return FHint; }
    // Also the tool tip and the status tip.
    void SetHint(const QString& Value);

private:
    QString FHint;
};
