// The open dialog with a preview pane and the save dialog, both Qt's own
// (non-native) file dialog so that they look and work alike everywhere and
// can host the pane.
//
// Filters are given in the "description|mask;mask|description|mask" form;
// like the platform's filter lists, an empty description ends the list.
//
// Both dialogs remember their window in a settings text under RegistryKey /
// RegistryName (the settings object's section and key once one is set, else
// the registry under HKEY_CURRENT_USER), comma-separated:
//   TOpenPreviewDialogQ: preview check (0 or 1), left, top, right, bottom,
//                        preview pane width (at least 3);
//   TSaveDialogWex:      left, top, right, bottom.
// The rectangle is the dialog's client rectangle, right and bottom exclusive;
// it is read when the dialog first shows and written when it closes.
//
// The open dialog's panel, right of the file list: the preview pane, the
// "フォルダを開く" button (opdoAllowOpenFolder), the "プレビュー" check box
// 10 pixels from the left and 25 above the bottom, and the size grip (the
// "BMSIZE" picture) at its bottom-right corner. While opdoPreview is set and
// the box is checked, each new selection is previewed: a .wav file with
// opdftWave is played without waiting for it (silent without an audio
// device); .ico and .ani files get no picture; any other file with
// opdftGraphic is loaded by LoadPicture (reduced with opdoQuick), its
// progress drawn in the pane, and shown fitted into the pane inset by 2
// pixels, centred; without a picture the pane is a sunken grey face. Of
// several quoted names the first is previewed.
#pragma once

#include "foundation/string_list.h"
#include "platform/dib.h"
#include "platform/global_memory.h"

#include <QFileDialog>
#include <QImage>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

class QCheckBox;
class QPushButton;
class QSoundEffect;
class TMemIniFile;

// Qt name filters for a "description|mask|..." filter; each becomes
// "description (masks)" with the masks separated by blanks.
QStringList FilterToNameFilters(const std::string& Filter);

// The file name to preview of the dialog's selection text: the first of
// several quoted names, else the text itself.
std::string PreviewNameFromSpec(const std::string& Spec);

// What both dialogs share: the class library's file-dialog properties, the
// settings text and the size grip.
class TFileDialogQ : public QFileDialog {
public:
    explicit TFileDialogQ(QWidget* Parent);

    std::string Filter;
    std::string FileName;
    TStringList Files;
    std::string InitialDir;
    std::string Title;

    const std::string& RegistryKey() const { return FRegistryKey; }
    void SetRegistryKey(const std::string& Value) { FRegistryKey = Value; }
    const std::string& RegistryName() const { return FRegistryName; }
    void SetRegistryName(const std::string& Value) { FRegistryName = Value; }
    void SetIniFile(TMemIniFile* IniFile) { FIniFile = IniFile; }

protected:
    // Applies Filter, InitialDir, FileName and Title before the dialog runs.
    void PrepareDialog();
    // FileName and Files from an accepted dialog.
    void TakeSelection();
    std::string ReadSettingText() const;
    void WriteSettingText(const std::string& Text);
    // Applies left, top, right, bottom read from S at Pos (the current
    // rectangle filling missing fields), kept inside the work area.
    void ApplyRectFields(const std::string& S, int32_t& Pos);
    std::string RectFieldsText() const;
    QWidget* SizeGrip() const { return FGrip; }

    void resizeEvent(QResizeEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;

    QWidget* FGrip = nullptr;  // child of the dialog, or of the open dialog's panel

private:
    std::string FRegistryKey;
    std::string FRegistryName;
    TMemIniFile* FIniFile = nullptr;
};

enum TOpenPreviewDialogFileType : uint32_t { opdftGraphic = 1, opdftWave = 2 };
using TOpenPreviewDialogFileTypes = uint32_t;  // or-ed TOpenPreviewDialogFileType
enum TOpenPreviewDialogOption : uint32_t { opdoAllowOpenFolder = 1, opdoPreview = 2, opdoQuick = 4 };
using TOpenPreviewDialogOptions = uint32_t;  // or-ed TOpenPreviewDialogOption

class TPreviewPane;

class TOpenPreviewDialogQ : public TFileDialogQ {
public:
    explicit TOpenPreviewDialogQ(QWidget* Parent = nullptr);
    ~TOpenPreviewDialogQ() override;

    TOpenPreviewDialogFileTypes PreviewTypes = 0;
    TOpenPreviewDialogOptions OptionsEx = 0;
    bool CheckPreview = true;
    bool AllowMultiSelect = false;

    // Builds the filter when Filter is empty and opdoPreview is set, runs the
    // dialog and takes the selection. The folder button ends it with True
    // and the folder as FileName and only entry of Files.
    bool Execute();

    // The pane and the panel's controls exist from the first show until the
    // dialog closes.
    int32_t PaneWidth() const { return FPaneWidth; }
    QWidget* PreviewPane() const;
    QCheckBox* PreviewCheck() const { return FCheck; }
    QPushButton* OpenFolderButton() const { return FFolderButton; }
    // The picture shown (nullptr when none) and the sound player (nullptr
    // until a sound was played).
    const BITMAPINFOHEADER* PreviewHeader() const;
    QSoundEffect* SoundPlayer() const { return FSound.get(); }

    // The selection or folder changed: previews the selection when it is new.
    void SelectionChanged();

protected:
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void BuildFilter();
    void CreatePanel();
    void LayoutPanel();
    void DestroyPanel();
    std::string SelectionText() const;
    void Preview(const std::string& Path);
    void ClearPicture();
    void OpenFolderClick();
    void PreviewCheckClick(bool Checked);

    QPointer<QWidget> FPanel;
    TPreviewPane* FPane = nullptr;
    QCheckBox* FCheck = nullptr;
    QPushButton* FFolderButton = nullptr;
    int32_t FPaneWidth = 200;
    std::string FLastPreviewed;
    std::string FChosenFolder;
    bool FFolderChosen = false;
    HGLOBAL FPictureHeader = nullptr;
    uint8_t* FPictureBits = nullptr;
    std::unique_ptr<QSoundEffect> FSound;

    friend class TPreviewPane;
};

class TSaveDialogWex : public TFileDialogQ {
public:
    explicit TSaveDialogWex(QWidget* Parent = nullptr);

    // Runs the save dialog; True with FileName when the user accepted.
    bool Execute();

protected:
    void showEvent(QShowEvent* Event) override;
    void done(int Result) override;

private:
    bool FShown = false;
};
