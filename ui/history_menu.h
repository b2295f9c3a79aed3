// The recent-files list and its menu entries.
//
// THistoryList holds file names, most recent first, at most MaxCount.
// THistoryMenu loads it from section SectionName of the settings object (or
// of the registry key HKEY_CURRENT_USER\KeyName\SectionName when there is no
// settings object): "Count" and "H0".."H<Count-1>", H0 the most recent; a
// missing entry reads "BUG", and a Count above MaxCount reads only the
// first MaxCount entries. It shows up to HistoryNum entries as menu items
// captioned "&0 name".."&9 name" at TargetMenuItem:
//   mode 0, a target with sub-items: appended to its sub-items;
//   mode 1, a target without sub-items: appended to its sub-items (a menu
//           is made for it), after a separator when it has others by then;
//   mode 2, a separator as target: a separator and the entries go right
//           after it in its menu.
// The mode is fixed when the target is set.
#pragma once

#include "foundation/string_list.h"

#include <QObject>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QMenu;
class TMemIniFile;

class THistoryList : public TStringList {
public:
    static constexpr int32_t MaxCount = 10;

    std::string ClassName() const override { return "THistoryList"; }

    // Puts S on top: an entry the list holds already (compared as IndexOf
    // does) is moved there as it is spelled; a new one is inserted and the
    // list cut to MaxCount from the end.
    // Returns 0.
    int32_t Add(const std::string& S);
};

class THistoryMenu : public QObject {
public:
    using THistorySelectedEvent = std::function<void(THistoryMenu* Sender, const std::string& FileName)>;

    explicit THistoryMenu(QObject* Owner = nullptr);
    // An active component saves its list (a refusing store is reported).
    ~THistoryMenu() override;

    bool Active() const { return FActive; }
    // True loads the list and shows it (EUserError "ターゲットが指定されていません"
    // without a target, staying inactive); false saves the list and removes
    // the entries.
    void SetActive(bool Value);
    int32_t HistoryNum() const { return FHistoryNum; }
    // At most THistoryList::MaxCount.
    void SetHistoryNum(int32_t Value);
    QAction* TargetMenuItem() const { return FTarget; }
    // A null target deactivates; a destroyed target becomes null.
    void SetTargetMenuItem(QAction* Value);
    const std::string& KeyName() const { return FKeyName; }
    void SetKeyName(const std::string& Value);
    const std::string& SectionName() const { return FSectionName; }
    void SetSectionName(const std::string& Value);
    void SetIniFile(TMemIniFile* IniFile) { FIniFile = IniFile; }

    // Fired with the chosen entry's file name before it moves to the top.
    THistorySelectedEvent OnHistorySelected;

    // A non-empty name goes to the top of the list and the entries are
    // rebuilt.
    void Add(const std::string& FileName);

    const THistoryList& List() const { return FList; }
    int32_t PlacementMode() const { return FiMode; }

private:
    void LoadList();
    void SaveList();
    void MakeMenu();
    void ClearMenu();
    void HistoryClick(QAction* Item);
    QMenu* ParentMenuOfTarget() const;

    THistoryList FList;
    bool FActive = false;
    int32_t FHistoryNum = 8;
    QPointer<QAction> FTarget;
    std::string FKeyName;
    std::string FSectionName = "History";
    TMemIniFile* FIniFile = nullptr;
    int32_t FiMode = 0;
    bool FNumbering = true;
    int32_t FiNumWidth = 0;
    bool FLoaded = false;
    // The items this component put into the menus, in order.
    std::vector<QAction*> FItems;
    // The sub-menu made for a target without one (mode 1).
    std::unique_ptr<QMenu> FOwnMenu;
};
