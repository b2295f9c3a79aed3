// The about box: the program's icon, its name and its version, in a box
// wide enough for its labels and for its caption in the title bar.
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

    // The caption as the title bar shows it (the application's name may
    // follow), and the width the box needs so that none of it is cut.
    QString ShownCaption() const;
    int CaptionWidth() const;

    QLabel* imgIcon;
    QLabel* lblProduct;
    QLabel* lblVersion;
    QPushButton* btnClose;
};
