// TfrmSelFontName ("フォント名の選択"): the installed faces of the checked
// character-set kinds, each item drawn in its own face (after its name when a
// sample text is given), in a size and a number of columns the user picks.
#pragma once

#include "foundation/string_list.h"

#include <QDialog>

#include <string>

class QCheckBox;
class QComboBox;
class QListWidget;
class QPushButton;
class QStatusBar;
class TEditTrackBarWex;

class TfrmSelFontName : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelFontName(QWidget* Owner = nullptr);
    ~TfrmSelFontName() override;

    static constexpr int MinWidth = 502;

    // The face the form stands on; selected again whenever the list is filled.
    const std::string& FontName() const { return FFontName; }
    void SetFontName(const std::string& Value);
    // Pixel size of the drawn faces (below 1: 16); items are two pixels taller.
    int ItemSize() const { return FSize; }
    void SetItemSize(int Value);
    // Columns of the list, 0 for one column as wide as the list.
    int Columns() const;
    void SetColumns(int Value);
    std::string SampleText;

    // The faces of the checked kinds, with the current face selected again
    // (else the first, or none for an empty list).
    void FillList();
    // Face names as listed.
    const TStringList& Faces() const { return FFaces; }

    QCheckBox* cboxAnsi = nullptr;
    QCheckBox* cboxETC = nullptr;
    QCheckBox* cboxVert = nullptr;
    QCheckBox* cboxSymbol = nullptr;
    TEditTrackBarWex* edtSize = nullptr;
    QComboBox* cmbColumns = nullptr;
    QListWidget* ListBox = nullptr;
    QStatusBar* StatusBar = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void done(int Result) override;

private:
    void KindClicked();
    void SizeChanged();
    void ItemClicked();
    void UpdateLayout();
    void FreeFaces();

    std::string FFontName;
    int FSize = 16;
    TStringList FFaces; // objects: owned TLogFont copies
    int FiUpdating = 0;
};
