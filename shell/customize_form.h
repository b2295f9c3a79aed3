// The toolbar customisation dialog "ユーザー設定": the list of toolbars
// with their check boxes (shown or not), new, rename and delete for the
// user's own toolbars, and the button editor "ツールバーボタンの編集"
// (TfrmCustomTBar) for any toolbar.
#pragma once

#include "shell/user_toolbars.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QListWidget;
class QPushButton;
class QTabWidget;
struct TImageList97;

class TfrmCustomTBar : public QDialog {
public:
    // Items: the toolbar's command numbers; BuiltIn: the built-in items of a
    // built-in toolbar of that name (empty otherwise); ZoomUsed: whether the
    // zoom box stands on any toolbar.
    TfrmCustomTBar(QWidget* Owner, const std::vector<int32_t>& Items, const std::vector<int32_t>* BuiltIn,
                   const std::vector<std::string>& Captions, const TImageList97* Images, bool ZoomUsed);

    QListWidget* lvCommand = nullptr;
    QListWidget* lvTBar = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDel = nullptr;
    QPushButton* btn1Up = nullptr;
    QPushButton* btn1Down = nullptr;
    QPushButton* btnReset = nullptr;

    // The toolbar's items as the list shows them now.
    std::vector<int32_t> Items() const;
    bool ZoomUsed() const { return FZoomUsed; }
    // Whether a command (number) is flagged as on the toolbar.
    bool Used(int32_t Command) const;

    void Add();
    void Del();
    void MoveBy(int32_t Step);
    void Reset();
    void UpdateButtons();

private:
    void AddItem(int32_t Command);
    void SetUsed(int32_t Command, bool Used);

    std::vector<int32_t> FBuiltIn;
    bool FHasBuiltIn = false;
    bool FZoomUsed = false;
    int32_t FZoomCommand = -1;
};

class TfrmCustomize : public QDialog {
public:
    TfrmCustomize(QWidget* Owner, const TImageList97* Images, const std::vector<uint8_t>& Exists,
                  const std::vector<TUserToolbarDef>& BuiltIn, const std::vector<TUserToolbarDef>& Defs,
                  const std::vector<std::string>& Captions, bool ZoomUsed);

    QTabWidget* PageControl = nullptr;
    QListWidget* clboxTBar = nullptr;
    QPushButton* btnNewTBar = nullptr;
    QPushButton* btnRenameTBar = nullptr;
    QPushButton* btnDelTBar = nullptr;
    QPushButton* btnEditButton = nullptr;

    // The toolbars as the dialog holds them, in list order.
    std::vector<TUserToolbarDef> Toolbars;
    bool Checked(int32_t Index) const;
    bool ZoomUsed() const { return FZoomUsed; }

    void NewTBar();
    void RenameTBar();
    void DelTBar();
    void EditButton();
    void UpdateButtons();

    // Shows the dialog; tests answer in place of a person.
    static std::function<int(TfrmCustomize& Dialog)> Run;
    static std::function<bool(const std::string& Caption, const std::string& Prompt, std::string& Value)> InputQuery;
    static std::function<int(TfrmCustomTBar& Editor)> RunEditor;

private:
    // Asks for a name until it is valid; false when the user cancels.
    bool AskName(const std::string& Caption, std::string& Name, int32_t Except);

    const TImageList97* FImages;
    std::vector<TUserToolbarDef> FBuiltIn;
    std::vector<std::string> FCaptions;
    bool FZoomUsed = false;
};
