// TRestorePos: keeps a form's placement from one run to the next, in the
// settings object (section RegistryKey, key RegistryName) once one is given,
// else in the registry under HKEY_CURRENT_USER\RegistryKey, value
// RegistryName.
//
// Placement text: "left,top,width,height,showcmd" with left and top those of
// the window's frame (title bar included) relative to the work area's
// top-left, the client size of the normal (not maximised) window, and the
// show command 1 normal, 2 minimised, 3 maximised. A stored text is fitted
// to the work area before use, whatever numbers it holds: no side larger
// than the work area's, the title bar inside it (SetBoundsInWorkArea).
//
// Restoring happens when a name, the key or the settings object changes
// while no placement has been applied yet. Saving happens on request and
// when the form is destroyed: a form whose window exists then still has its
// placement and writes the five fields; a form that never had a window
// writes "left,top,width,height" from its position and size as they stand
// (left and top absolute).
#pragma once

#include <QObject>
#include <QPoint>
#include <QRect>
#include <QPointer>

#include <initializer_list>
#include <string>

class QWidget;
class TMemIniFile;

// The text stored under Key and Name: in IniFile when it is given, else in
// the registry under HKEY_CURRENT_USER. Reading gives "" when there is none;
// writing to the registry raises ERegistryError when the store refuses.
std::string ReadUserSettingText(TMemIniFile* IniFile, const std::string& Key, const std::string& Name);
void WriteUserSettingText(TMemIniFile* IniFile, const std::string& Key, const std::string& Name,
                          const std::string& Text);
// The comma-separated decimal text of stored placements.
std::string JoinInts(std::initializer_list<int32_t> Values);

class TRestorePos : public QObject {
public:
    // Owner is the form; the component is its child and hears of its
    // destruction. A null owner makes a component that never acts.
    explicit TRestorePos(QWidget* Owner);

    const std::string& RegistryKey() const { return FRegistryKey; }
    void SetRegistryKey(const std::string& Value);
    const std::string& RegistryName() const { return FRegistryName; }
    void SetRegistryName(const std::string& Value);
    TMemIniFile* IniFile() const { return FIniFile; }
    void SetIniFile(TMemIniFile* IniFile);

    bool RestorePending() const { return FRestorePending; }

    // Applies the stored placement (nothing without a name or a stored
    // text; the form's own values fill missing fields).
    virtual void Restore();
    // Writes the placement (needs both names).
    virtual void Save();

protected:
    QWidget* OwnerForm() const { return FOwner; }
    bool OwnerDestroying() const { return FOwnerDestroying; }
    void SetRestorePending(bool Value) { FRestorePending = Value; }
    std::string ReadText() const;
    void WriteText(const std::string& Text);

private:
    void OwnerDestroyed(QWidget* Owner);

    QPointer<QWidget> FOwner;
    std::string FRegistryKey;
    std::string FRegistryName;
    TMemIniFile* FIniFile = nullptr;
    bool FRestorePending = true;
    bool FSavedWhileDestroying = false;
    bool FOwnerDestroying = false;
    // What Restore applied: the frame's position and the normal rectangle
    // Qt then kept.
    QPoint FRestoredFramePos;
    QRect FRestoredNormal;
};
