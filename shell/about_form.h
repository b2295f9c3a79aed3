// The about box: the program's icon, its name and its version.
#pragma once

#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;

// The version label's text before a build number is known.
extern const char* const AboutVersionText;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    // Build: the build number of the program's version; negative for none,
    // which leaves the version label as designed.
    explicit TfrmAbout(QWidget* Parent = nullptr, int32_t Build = ProgramBuildNumber());

    // The build number of the running program's version; -1 when it has none.
    static int32_t ProgramBuildNumber();

    QLabel* imgIcon;
    QLabel* lblProduct;
    QLabel* lblVersion;
    QPushButton* btnClose;
};
