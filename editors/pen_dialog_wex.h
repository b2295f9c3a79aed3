// TPenDialogWex: runs the pen form modally on a pen parameter string and
// remembers the form's position and its live-test switch as "left,top,flag"
// under RegistryName (in the settings object when one is set, else in the
// registry under the current user). A stored position is kept inside the
// work area, so that a monitor taken away never hides the dialog.
#pragma once

#include "editors/frm_set_pen.h"

#include <QObject>

#include <cstdint>
#include <string>

class QWidget;
class TMemIniFile;

class TPenDialogWex : public QObject {
    Q_OBJECT
public:
    explicit TPenDialogWex(QObject* Owner = nullptr);

    std::string strParam;
    std::string RegistryKey;
    std::string RegistryName;
    bool SavePosition = true;
    int32_t LeftPos = -1;
    int32_t TopPos = -1;
    TMemIniFile* IniFile = nullptr;
    TPenApplyEvent OnApply;
    // Called with the form before it is shown (tests and callers that add to it).
    std::function<void(TfrmSetPen*)> OnShowForm;

    // True on OK, with strParam the form's string.
    bool Execute();
};
