// The style library component and its chooser window: a tree of groups on the
// left and a grid of preview cells on the right. The component knows nothing
// of the values it stores; its owner reads, writes and draws them through the
// handlers. Add stores a value under a new name, Select picks one.
#pragma once

#include "editors/style_file.h"

#include <QDialog>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QToolButton;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class QFrame;
class QScrollBar;
class TMemIniFile;
class TfrmStyle;

// The cell being drawn: the painter is set to the cell's device.
using TDrawStyleCellEvent = std::function<void(QPainter& Canvas, const std::string& strTitle,
                                               const TObject* perobjDraw, const QRect& Rect, bool Selected)>;

class TStyle : public QObject {
    Q_OBJECT
public:
    explicit TStyle(QObject* Owner = nullptr);
    ~TStyle() override;

    int32_t HelpContext = 0;
    bool EnableSetting = false;
    bool LateDrawing = false;
    std::string RegistryKey;
    std::string RegistryName;
    TDrawStyleCellEvent OnDrawCell;
    TDrawStyleCellEvent OnDrawCellLate;
    // Header, version, file name, delivered folder and item handlers.
    TCustomStyle Library;

    void SetIniFile(TMemIniFile* IniFile) { FIniFile = IniFile; }
    TMemIniFile* IniFile() const { return FIniFile; }

    // True: the selected group took Data over (Data is then nil).
    bool Add(std::unique_ptr<TObject>& Data);
    // True: Assign was given the chosen item's object (unless the cell held none).
    bool Select(const std::function<void(const TObject& Item)>& Assign);

    // Questions the chooser asks; tests replace them.
    static std::function<bool(const std::string& Caption, const std::string& Prompt, std::string& Value)> InputQuery;
    static std::function<bool(const std::string& Text)> ConfirmDelete;
    // Called with the chooser shown modally; tests drive it and close it.
    static std::function<void(TfrmStyle& Form)> OnShowModal;

private:
    bool Execute(int Mode, std::unique_ptr<TObject>* AddData,
                 const std::function<void(const TObject&)>* Assign);
    TMemIniFile* FIniFile = nullptr;
};

// The preview cells of the shown group.
class TStyleGrid : public QWidget {
    Q_OBJECT
public:
    explicit TStyleGrid(TfrmStyle& Form);
    int ColCount() const;
    int RowCount() const;
    int TopRow() const;
    int Col = 0;
    int Row = 0;
    int CurrentIndex() const { return Row * ColCount() + Col; }
    QRect CellRect(int Index) const; // in widget coordinates
    void SetCurrentIndex(int Index);
    // Columns, rows and scroll range for the cell size and the shown group.
    void Relayout();

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseDoubleClickEvent(QMouseEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void keyReleaseEvent(QKeyEvent*) override;
    void wheelEvent(QWheelEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void focusInEvent(QFocusEvent*) override;

private:
    TfrmStyle& FForm;
    friend class TfrmStyle;
    QScrollBar* FScroll;
};

class QLineEdit;
class QCheckBox;

// The chooser's settings: the cell size and the (hidden) toolbar choice.
class TfrmSettingfrmStyle : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSettingfrmStyle(QWidget* Parent = nullptr);
    QLineEdit* edtX;
    QLineEdit* edtY;
    QCheckBox* cboxDispBtn;
    // StrToIntDef of each edit with the old value, clamped to 16..255.
    int CellWidth(int Old) const;
    int CellHeight(int Old) const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
};

class TfrmStyle : public QDialog {
    Q_OBJECT
public:
    TfrmStyle(TStyle& Owner, int Mode, QWidget* Parent = nullptr);
    ~TfrmStyle() override;

    TStyleTree Tree;
    bool Modified = false;
    int CellWidth = 100;
    int CellHeight = 100;
    bool ToolbarVisible = true;

    QTreeWidget* tvGroup;
    TStyleGrid* DrawGrid;
    QFrame* pnlTop;
    QToolButton* sbtnAdd;
    QToolButton* sbtnDel;
    QToolButton* sbtnRename;
    QToolButton* sbtnAppendFromFile;
    QToolButton* sbtnSetting;
    QPushButton* btnOK;
    QPushButton* btnCancel;

    TStyleGroup* SelectedGroup() const;
    // The item of the current cell, nil when the cell holds none.
    TStyleEntry* CurrentItem() const;
    void SelectGroup(TStyleGroup* Group);
    // Rebuilds the tree view from Tree.
    void FillTree();

    void AddGroup();
    void DeleteSelected(bool GridFocused);
    void RenameSelected(bool GridFocused);
    void AppendFromFile(const std::string& Path);
    void ApplySettings(int Width, int Height, bool Toolbar);
    // Opens the settings dialog (Prepare may drive it in tests) and applies it.
    void RunSettings();
    static std::function<void(TfrmSettingfrmStyle&)> OnSettingsShown;

    // "left,top,width,height,group,item,cellw,cellh,toolbar". Shown, the
    // chooser takes the remembered layout, but centred over its owner
    // control when the component has one.
    std::string LayoutString() const;
    void ApplyLayout(const std::string& Text);

    // The deferred pass: draws the lowest pending cell; false when none is left.
    bool DrawLateCell();
    const QImage* LateImage(int Index) const;
    void QueueIdle();

    int Mode() const { return FMode; }
    TStyle& Owner() const { return FOwner; }
    void UpdateButtons();

protected:
    void showEvent(QShowEvent*) override;
    void keyPressEvent(QKeyEvent*) override;
    void done(int Result) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ResetPending();
    // The selected group's cells from the first, drawn anew.
    void ShowGroup();
    QTreeWidgetItem* ItemOf(const TStyleGroup* Group) const;
    TStyle& FOwner;
    int FMode;
    int FLastKey = 0;
    std::vector<uint8_t> FPending;
    std::vector<QImage> FLate;
    bool FIdleQueued = false;
    friend class TStyleGrid;
};
