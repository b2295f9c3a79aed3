// The options dialog: the image plug-in folder, the data folder (the
// defaults file and the settings move there), the display cache of the
// drawing defaults, and the association of document files with the program
// (the registry's classes and the desktop's entry and MIME type).
#pragma once

#include <QDialog>

#include <memory>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class TBrowseDialog;

// The text of the error box when the data folder cannot take the files.
inline constexpr const char* DataFileCreateFailedText = "データファイルの作成に失敗しました";
// Told when the desktop's side of the association could not be written or
// removed; the reason follows on the next line.
inline constexpr const char* AssociationWriteFailedText = "データファイルの拡張子を関連づけられませんでした。";
inline constexpr const char* AssociationRemoveFailedText = "データファイルの拡張子の関連づけを解除できませんでした。";

class TfrmOption : public QDialog {
    Q_OBJECT
public:
    explicit TfrmOption(QWidget* Parent = nullptr);
    ~TfrmOption() override;

    void FormShow();
    void btnRefSPIDirClick();
    void btnRefDefDataClick();
    void btnOKClick();

    // Writes the desktop's files for ProgramPath, then the classes' keys; a
    // desktop failure is told to the user and changes nothing, the
    // registry's is not told.
    void RegisterAssociation();
    // Removes the desktop's files, then the keys ".srn" and "TavroData"
    // whoever wrote them; a desktop failure is told and changes nothing.
    void UnregisterAssociation();

    // The program the association starts: this program unless set.
    std::string ProgramPath;

    QLineEdit* edtSPIDir;
    QPushButton* btnRefSPIDir;
    QLineEdit* edtDefDataDir;
    QPushButton* btnRefDefData;
    QCheckBox* cboxDispCache;
    QCheckBox* cboxRelateExt;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    std::unique_ptr<TBrowseDialog> dlgBrows;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void BrowseInto(QLineEdit* Edit);
    void ApplyDataFolder();

    // The data folder as the dialog showed it, to see whether it changed.
    std::string FShownDataDir;
};

// After the data folder moved from OldDir (ending with "/"): the user's style
// libraries come along into the new one, unless it has its own.
void MoveStyleLibraries(const std::string& OldDir);
