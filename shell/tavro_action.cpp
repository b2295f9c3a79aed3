#include "shell/tavro_action.h"

TAction::TAction(const QString& Name, const QString& Caption, QObject* Owner) : QAction(Caption, Owner)
{
    setObjectName(Name);
    // Connected first, so it runs before every handler: QAction has already
    // turned the check mark, which the handlers set themselves.
    connect(this, &QAction::triggered, this, [this](bool Checked) {
        if (isCheckable())
            setChecked(!Checked);
    });
}

void TAction::SetHint(const QString& Value)
{
    FHint = Value;
    setToolTip(Value);
    setStatusTip(Value);
}
