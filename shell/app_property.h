// Application-wide properties the main form sets on the application object
// when it is loaded: the hint's colour, pauses and visibility, the
// two-digit-year window, the locale update flags, and the title and help file
// where the application has none yet.
#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <cstdint>

class QApplication;

class TAppProperty : public QObject {
    Q_OBJECT
public:
    explicit TAppProperty(QObject* Owner = nullptr) : QObject(Owner) {}

    QColor HintColor{255, 255, 225};  // the system's info-tip background
    int32_t HintPause = 200;          // ms
    int32_t HintShortPause = 50;      // ms
    int32_t HintHidePause = 10000;    // ms
    bool ShowHint = true;
    bool ShowMainForm = true;
    int32_t TwoDigitYearCenturyWindow = 50;
    bool UpdateFormatSettings = false;
    bool UpdateMetricSettings = true;
    QString Title;
    QString HelpFile;

    // Applies the values to App: the hint colour to the tool tips' palette,
    // the rest as App's properties of the same names; the title and the help
    // file only when App has none.
    void Loaded(QApplication& App) const;
};
