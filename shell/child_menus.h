// The document window's menus, merged into the frame's menu bar while a
// document window is active and taken out again when none is. Every entry is
// the frame's own command object, so a menu shows the command's enabling,
// check mark and shortcut as the window sets them.
//
// Layout (the help's chapters): the File menu gains closing, saving, tracing,
// the external program and printing; "編集(&E)" (history, clipboard, delete,
// duplicate, select all, copy as bitmap, line and node commands) follows it;
// the View menu gains the display qualities, zooming and the grid, anchor and
// ruler switches; "配置(&A)" (stacking, alignment and spacing, grouping, text
// on a path) follows it; the Settings menu gains the grid and ruler options
// and the two snaps.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QAction;
class QMdiArea;
class QMenu;
class QMenuBar;
class TAction;
class TfrmChild;
class TfrmTavro;

class TChildMenus : public QObject {
    Q_OBJECT
public:
    // Command gives the frame's command of an object name (nil when there is
    // none). Group, ungroup and text on a path have no frame command: their
    // entries are commands of this object, run by Area's active window.
    TChildMenus(QMenuBar& Bar, QMdiArea& Area, std::function<QAction*(const char* Name)> Command,
                QObject* Parent);
    ~TChildMenus() override;

    // Puts the menus into the bar or takes them out; nothing when they
    // already are so.
    void SetMerged(bool Merged);
    bool Merged() const { return FbMerged; }
    // Merged exactly while Area has an active document window. A change
    // that took the menus out runs OnUnmerged: the frame's enabling of the
    // document commands must not count entries that left the bar.
    void Refresh();
    std::function<void()> OnUnmerged;

    QMenu* EditMenu() const;
    QMenu* ArrangeMenu() const;
    TAction* actGroup = nullptr;
    TAction* actUngroup = nullptr;
    TAction* actTextWithPath = nullptr;
    // Enables those three by the active window's selection as their
    // handlers need it (run when their menu opens).
    void UpdateOwnCommands();

private:
    // Entries a frame menu gains after its command Anchor (first when nil).
    struct TAddition {
        QPointer<QMenu> Menu;
        QAction* Anchor;
        std::vector<QAction*> Entries;
    };
    // The commands of group, ungroup and text on a path.
    void CreateOwnCommands();
    // The commands still to come (kept greyed) and the display qualities.
    void GroupCommands();
    void CreateMenus(QMenuBar& Bar);
    QAction* Separator();
    // Fills Menu from Names: command names, "-" a separator.
    void Fill(QMenu& Menu, std::initializer_list<const char*> Names);
    void Add(QMenu* Menu, const char* Anchor, std::initializer_list<const char*> Names);
    // The active document window; nil when none (or, WithPage, when it has
    // no page).
    TfrmChild* ActiveChild(bool WithPage = true) const;

    QPointer<QMenuBar> FBar;
    QPointer<QMdiArea> FArea;
    std::function<QAction*(const char*)> FCommand;
    QPointer<QMenu> FEdit;
    QPointer<QMenu> FArrange;
    std::vector<TAddition> FAdditions;
    bool FbMerged = false;
};

// The frame's document menus: made over its bar, area and commands, merged
// while it has an active document window.
TChildMenus* AttachChildMenus(TfrmTavro& Frame);
