#include "shell/app_property.h"

#include <QApplication>
#include <QPalette>
#include <QToolTip>

void TAppProperty::Loaded(QApplication& App) const
{
    QPalette Tips = QToolTip::palette();
    Tips.setColor(QPalette::ToolTipBase, HintColor);
    QToolTip::setPalette(Tips);
    App.setProperty("HintPause", HintPause);
    App.setProperty("HintShortPause", HintShortPause);
    App.setProperty("HintHidePause", HintHidePause);
    App.setProperty("ShowHint", ShowHint);
    App.setProperty("ShowMainForm", ShowMainForm);
    App.setProperty("TwoDigitYearCenturyWindow", TwoDigitYearCenturyWindow);
    App.setProperty("UpdateFormatSettings", UpdateFormatSettings);
    App.setProperty("UpdateMetricSettings", UpdateMetricSettings);
    if (!Title.isEmpty() && QApplication::applicationDisplayName().isEmpty())
        QApplication::setApplicationDisplayName(Title);
    if (!HelpFile.isEmpty() && App.property("HelpFile").toString().isEmpty())
        App.setProperty("HelpFile", HelpFile);
}
