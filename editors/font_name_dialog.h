// TFontNameDialog: runs the font-name form modally and remembers its bounds
// and options as "left,top,width,height,ansi,oem,symbol,vertical,size,face,
// columns" under RegistryName (in the settings object when one is set, else
// in the registry under the current user). Stored bounds are fitted into the
// work area and stored numbers into their ranges before use.
#pragma once

#include <QObject>

#include <functional>
#include <string>

class TMemIniFile;
class TfrmSelFontName;

class TFontNameDialog : public QObject {
    Q_OBJECT
public:
    explicit TFontNameDialog(QObject* Owner = nullptr);

    std::string FontName;
    std::string Text; // sample text
    int Size = 24;
    bool Ansi = true;
    bool OEM = true; // the Japanese (Shift-JIS) faces
    bool Symbol = false;
    bool Vertical = false;
    std::string RegistryKey;
    std::string RegistryName;
    TMemIniFile* IniFile = nullptr;
    // Called with the form just before it is shown.
    std::function<void(TfrmSelFontName*)> OnShowForm;

    // True on OK, with FontName the face chosen.
    bool Execute();
};
