// TBrowseDialog: picks a folder with Qt's own (non-native) file dialog in
// folder mode. Directory is the folder selected at the start and the one
// chosen at the end; Root, when set, is the top folder: the dialog starts
// there and does not go above it. OnInitialized fires once the dialog shows
// (after Directory is selected), OnSelectionChanged for each newly selected
// folder; after either, the status text is shown (with BIF_STATUSTEXT in
// Options) and the OK state applied: 1 enables the accept button, 2
// disables it, 0 leaves it to the dialog.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <string>

class QFileDialog;
class QLabel;
class QPushButton;

constexpr uint8_t BIF_RETURNONLYFSDIRS = 0x01;
constexpr uint8_t BIF_STATUSTEXT = 0x04;
constexpr uint8_t BIF_EDITBOX = 0x10;

class TBrowseDialog : public QObject {
public:
    using TBrowseInitializedEvent = std::function<void(TBrowseDialog* Sender, QWidget* Dialog)>;
    using TBrowseSelectionChangedEvent =
        std::function<void(TBrowseDialog* Sender, QWidget* Dialog, const std::string& Folder,
                           std::string& StatusText, int32_t& OkState)>;

    explicit TBrowseDialog(QObject* Owner = nullptr);

    std::string Directory;
    std::string Root;
    // The browse flags; the dialog always has its name field, and shows the
    // status text only with BIF_STATUSTEXT.
    uint8_t Options = BIF_EDITBOX;
    TBrowseInitializedEvent OnInitialized;
    TBrowseSelectionChangedEvent OnSelectionChanged;

    // Runs the dialog modally over the active window; True with Directory
    // set when a folder was chosen.
    bool Execute();

private:
    void Initialized(QFileDialog& Dialog);
    void SelectionChanged(QFileDialog& Dialog, const QString& Folder);
    void ApplyStatus(QFileDialog& Dialog, const std::string& StatusText, int32_t OkState);
    bool eventFilter(QObject* Watched, QEvent* Event) override;

    QLabel* FStatus = nullptr;
    QPushButton* FOkButton = nullptr;
    int32_t FOkState = 0;
    bool FInitialized = false;
};
