// The property panel's macro page: the paint macros of the selection in a
// control grid (one column pair per macro, one row per distinct parameter
// caption, a live control in each value cell), the buttons that add, delete
// and reorder macros, and the paint styles of the style library. It knows
// the panel only through TMacroPageLink, so it can be built and tested alone.
//
// Edits: a control's live changes (typing, stepping, a track-bar drag, a
// dialog's test) repaint the selection without recording; the commit first
// puts the selection back as it was before the live changes and then applies
// the final value in one command, so every edit is one undo step from the
// value it started at.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QAction;
class QDialog;
class QHBoxLayout;
class QPainter;
class QRect;
class THistoryCommand;
class TOLEDocumentWex;
class TStyleItem;
class TfrmSelColor;
class TfrmSetPen;
class QMenu;
class QToolButton;
class QPushButton;
class TCtrlGridTav;
class TDrawObject;
class TMacro;
class TMacroPageLink;
class TMacros;
class TMemIniFile;
class TObject;
class TStream;
class TStyle;
class TRvClipDetector;
class QKeyEvent;

// The limits of a number cell as the custom range text of a parameter gives
// them: "min,max,barmin,barmax,linesize,pagesize,precision,style" where the
// style keyword "etbksExp1" is 1, "etbksExp2" 2, anything else 0. Fields
// that are missing or not numbers stay as they are; Integer rounds the
// limits half away from zero.
struct TQuickRange {
    double Min = 0, Max = 10, TrackBarMin = 0, TrackBarMax = 0;
    double LineSize = 1, PageSize = 5, Precision = 1;
    int Style = 0;
};
void ParseQuickRangeText(const std::string& Text, bool Integer, TQuickRange& Range);

// The texts a fill, colour and pen cell show for a parameter value.
std::string FillCellText(const std::string& Value);
std::string ColorCellText(const std::string& Value);
std::string PenCellText(const std::string& Value);

class TMacroPaintPage : public QWidget {
    Q_OBJECT
public:
    explicit TMacroPaintPage(TMacroPageLink& Link, QWidget* Parent = nullptr);
    ~TMacroPaintPage() override;

    // Settings object of the dialogs the page opens ("4.0" entries) and the
    // folders of the paint-style library "MacPaint.stl" (the user's data
    // folder, the program's folder holding the delivered copy).
    void SetIniFile(TMemIniFile* IniFile);
    void SetStyleFolders(const std::string& DataFolder, const std::string& ProgramFolder);

    // Rebuilds the grid from the property object's macros (the panel calls
    // it at the end of loading a selection, under its update lock).
    void SetCgridQuickParam();
    // No item: the grid gets no columns and rows, the buttons are disabled.
    void ClearGrid();
    // The grid's client height a whole number of rows (the panel calls it
    // when the page was resized).
    void RelayoutGrid();
    // A row under the buttons where the panel puts its own controls of this
    // page (the fill check box, the defaults button).
    QHBoxLayout* ExtraRow() const { return FExtraRow; }

    // Sets one quick parameter (macro column Col, row Row) to Value as one
    // command; nothing without an item, for an empty value or an unchanged
    // cell. Live: only repaint, nothing recorded (the commit records).
    void SetQuickParam(int Col, int Row, const std::string& Value, bool Live = false);
    // Puts the selection and the cells back as they were before the live
    // changes since the last commit; false when there were none.
    bool RevertLive();
    // Ends the live changes of a number cell as Enter in it would: one
    // command; what no commit takes is put back. Nothing while a cell's
    // dialog runs (its own OK or Cancel ends them).
    void CommitLive();

    void MacroAddClick();
    void MacroDelClick();
    void MacroLeftClick();
    void MacroRightClick();
    // Inserts a copy of Macro after the selected macro, as adding does.
    void InsertMacro(const TMacro& Macro, const std::string& Caption);
    void ToggleMacroEnabled(int Index);
    void MoveMacro(int From, int To);
    void btnStyleAddClick();
    void btnStyleLoadClick();
    // Enables the macro buttons for the loaded item and the selected macro.
    void UpdateMacroButtons();

    // The paint-style payload: the macro list, then (from version 20) the
    // picture store.
    static void StyleItemSave(TStream& Stream, const TObject* Item);
    static std::unique_ptr<TObject> StyleItemLoad(TStream& Stream, int32_t Version);

    // The macro kind the picker chose; tests replace it. False: cancelled.
    static std::function<bool(QWidget* Owner, std::string& Name)> PickMacro;
    // Runs the fill and light editors modally; tests drive them instead.
    static std::function<int(QDialog* Dialog)> RunDialog;
    // Handed to the pen form and the colour picker (tests press their buttons).
    static std::function<void(TfrmSetPen* Form)> PenFormShown;
    static std::function<int(TfrmSelColor* Form)> ColorDialogRun;

    // The style library's cells: the title, and late a sample shape
    // painted with the style's macros.
    static void StyleDrawCell(QPainter& Canvas, const std::string& Title, const TObject* Data, const QRect& Rect,
                              bool Selected);
    static void StyleDrawCellLate(QPainter& Canvas, const std::string& Title, const TObject* Data,
                                  const QRect& Rect, bool Selected);
    // Replaces the selection's macros with a paint style's, its pictures
    // joining the document's store, in one command.
    void ApplyStyle(TStyleItem& Item);

    TCtrlGridTav* cgridMacroPaint;
    QToolButton* sbtnPaintMacroAdd;
    QToolButton* sbtnMacroDel;
    QToolButton* sbtnMacroLeft;
    QToolButton* sbtnMacroRight;
    QToolButton* sbtnMacroCopy;
    QToolButton* sbtnMacroPaste;
    QPushButton* btnStyleAdd;
    QPushButton* btnStyleLoad;
    QToolButton* sbtnStyleCopy;
    QToolButton* sbtnStylePaste;
    QMenu* pMenuMacro;
    TStyle* Style;

    // --- the value clipboard (macro_paint_page_clip.cpp)
    // A value cell's colour, fill, pen or light set on the clipboard in its
    // own format, and back into the cell as one command.
    bool CanCopyValue(int Col, int Row) const;
    bool CanPasteValue(int Col, int Row) const;
    void ValueCopy(int Col, int Row);
    void ValuePaste(int Col, int Row);
    // The value-button menu at Global for the cell (Col, Row).
    void PopupValueMenu(int Col, int Row, const QPoint& Global);
    void MacroCopyClick();
    void MacroPasteClick();
    void sbtnStyleCopyClick();
    void sbtnStylePasteClick();
    // The paste buttons follow what the clipboard can be pasted as.
    void UpdateClipButtons();
    // To the value column of the macro Step away (wrapping at the ends).
    void MoveToMacro(int Step);
    // Control an edit hosted in the grid: its text is set into its cell
    // (as Enter does); false for any other control.
    bool SetHostedEditText(QWidget* Control);
    // Each macro again from its library definition with the same values set
    // by caption; EUserError for a name the library lacks.
    static std::unique_ptr<TMacros> MacrosDuplicateForClipBoard(const TMacros& Macros);
    QMenu* pMenuBtn = nullptr;
    QAction* mitemBtnCopy = nullptr;
    QAction* mitemBtnPaste = nullptr;
    TRvClipDetector* RvClipDetector = nullptr;

    // The macros of the property object; nil without one.
    TMacros* BufMacros() const;
    // The selected macro (the grid's selected item), -1 for none.
    int SelectedMacro() const;
    // The full caption of a row of macro Item (1-based Row); "" for none.
    std::string RowCaption(int Item, int Row) const;

protected:
    void resizeEvent(QResizeEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    struct TQuickRow {
        std::string Caption; // the first parameter's, tag included
        int32_t Kind = 0;
    };
    void BuildButtons();
    void FreeControls();
    void DrawCell(QPainter& Canvas, int Col, int Row, const QRect& Rect, uint8_t State);
    int ExtraRowHeight() const;
    THistoryCommand* History() const;
    void Exchange(int Item, int Other, const std::string& Caption);
    void HostControl(int Col, int Row, int32_t Kind, const void* Limits, const std::string& Caption);
    void WireNumberEdit(class TEditTrackBarWex* Edit, int Col, int Row);
    void CellClicked(int Col, int Row, int32_t Kind, uint32_t Kinds);
    void EditFill(int Col, int Row, uint32_t Kinds);
    void EditLight(int Col, int Row);
    void EditPen(int Col, int Row);
    void EditColor(int Col, int Row);
    // Runs a value dialog the way every cell dialog runs: live tests into the
    // cell, one command on OK, the old text back on Cancel.
    void RunCellDialog(int Col, int Row, const std::function<bool(const std::function<void(const std::string&)>& Test,
                                                                   std::string& Result)>& Run);
    void RepaintCellControl(int Col, int Row);
    // The cell's control shows the cell's value again (a number edit its
    // number), nothing applied.
    void ShowCellValue(int Col, int Row);
    // Applies the property object's macro values to the selection.
    void ApplyParams(bool Record);
    // The macro-list changes: one command, then the grid again.
    void Command(const std::string& Caption, const std::function<void()>& Change);
    void SelectItemCell(int Item, int Row);
    void HeaderMouseUp(Qt::MouseButton Button, int X, int Y);
    std::string CellValue(int Col, int Row) const;
    TDrawObject* FirstObject() const;

    TMacroPageLink& FLink;
    TMemIniFile* FIniFile = nullptr;
    QHBoxLayout* FExtraRow = nullptr;
    int FRebuilding = 0;
    std::vector<std::vector<TQuickRow>> FRows; // per macro, its rows below the header
    QAction* FMenuAdd = nullptr;
    QAction* FMenuCopy = nullptr;
    QAction* FMenuPaste = nullptr;
    QAction* FMenuDel = nullptr;
    QAction* FMenuLeft = nullptr;
    QAction* FMenuRight = nullptr;
    // The macro lists of the selection's objects and of the property object
    // before the first live change since the last commit, and the old texts
    // of the cells that changed live.
    struct TLiveSnapshot {
        std::vector<std::pair<TDrawObject*, std::unique_ptr<TMacros>>> Objects;
        std::unique_ptr<TMacros> Buf;
        std::map<std::pair<int, int>, std::string> Cells;
        bool WasModified = true; // the document's flag before them
    };
    std::unique_ptr<TLiveSnapshot> FLive;
    int FiCellDialogs = 0; // cell dialogs running
    void TakeLiveSnapshot();
    TOLEDocumentWex* PageDocument() const;
    // macro_paint_page_clip.cpp
    void BuildClip();
    void WatchCellControl(QWidget* Control);
    bool CellControlEvent(QObject* Watched, QEvent* Event);
    bool FindCellOf(QObject* Watched, int& Col, int& Row) const;
    void ContextMenuAt(const QPoint& Pos);
    void MoveFrom(int Col, int Row, int Step);
    int FPopupCol = -1, FPopupRow = -1;
    // A right press on a value button that no menu request has answered yet.
    bool FValueMenuPending = false;
    int FLastLeftCol = 0;
};
