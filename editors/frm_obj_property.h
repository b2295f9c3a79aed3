// The object property panel: one hidden form for the whole program whose six
// pages live on floating page windows (TfrmPltChild). It shows the selection
// of a document window (SetParam) and turns every edit into one undoable
// command on that document. The arrangement of pages over windows is kept
// in the settings as "DispPage".
//
// The macro page's grid (TMacroPaintPage) and the text page's rich edit
// (TRichEditWex bound to the text object by TRichEditTav) are units of their
// own, which the form creates and drives.
#pragma once

#include "editors/color_dialog_wex.h"
#include "editors/macro_page_link.h"
#include "model/draw_item.h"
#include "model/text_model.h"
#include "ui/made_when_asked.h"

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QAction;
class QCheckBox;
class QComboBox;
class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTextEdit;
class QToolBar;
class TMacroPaintPage;
class TRichEditTav;
class TTextObj;
class TComboBoxWex;
class TCustomEditTrackBarWex;
class TDocumentLink;
class TEditTrackBarWex;
class TEditWex;
class TObjPropertyDocLink;
class TPage;
class TPageControlWex;
class TPanelColorButton;
class TTabsheetWex;
class TfrmPltChild;
struct TMinMaxInfo;
struct TRect;

// The built-in layouts: one window with pages 0 to 4, page 1 active.
inline constexpr const char* DispPageNarrow = "230,328,568,248,0,0,1,1,1,2,1,3,1,4,1,1,-1";
inline constexpr const char* DispPageWide = "0,444,1022,300,0,0,1,1,1,2,1,4,1,3,1,1,-1";

class TfrmObjProperty : public QWidget, public TMacroPageLink {
    Q_OBJECT
public:
    // MainForm owns the floating page windows and the message boxes.
    explicit TfrmObjProperty(QWidget* MainForm = nullptr);
    ~TfrmObjProperty() override;

    // --- pages and layout
    // Start-up: detaches the path page, fills the combos, clears the panel
    // and restores "DispPage" of section "4.0".
    void RestoreDispPage();
    // Shutdown: writes the layout to "DispPage".
    void SaveDispPage();
    std::string PropPageConditionToStr() const;
    // Raises on a string it cannot restore.
    void PropPageConditionFromStr(const std::string& Text);
    // Empty: the built-in layout; a string that fails: warning, the pages
    // brought home, the built-in layout.
    void RestorePropPageCondition(const std::string& Text);
    void SetDefaultPropPageCondition();
    // Every page back in the panel, the page windows freed.
    void BringPagesHome();
    // The desktop work area; tests put their own.
    std::function<bool(TRect&)> GetWorkArea;

    void PageControlWexGetMinMaxInfo(int32_t Page, TMinMaxInfo& Info);
    void PageControlWexResize(TPageControlWex* PageControl);

    TPageControlWex* PageControlWex = nullptr;
    std::vector<QWidget*> FTabSheets; // the six pages; the index is the page number
    // The text page's wide arrangement: the least page width that takes it and
    // how far its right-hand groups move, both measured on the page's face.
    int TextWideWidth() const { return FTextWideWidth; }
    int TextWideShift() const { return FTextWideShift; }
    TTabsheetWex* TabSheetGeneral = nullptr;
    TTabsheetWex* TabSheetPaintProperty = nullptr;
    TTabsheetWex* TabSheetShape = nullptr;
    TTabsheetWex* TabSheetText = nullptr;
    QWidget* TabSheetOutline = nullptr;
    TTabsheetWex* TabSheetOnPath = nullptr;

    // --- loading the selection
    // No item, one draw item, or two or more (their merged properties).
    void SetParam(const std::vector<TDrawItem*>& Items, TObjPropertyDocLink* Doc, int32_t DPI = 96);
    void SetParam(TDrawItem* Item, TObjPropertyDocLink* Doc);
    void ClearPanel();
    // A length in pixels shown in a unit (0 pixel, 1 cm, 2 inch, 3 point) at
    // DPI: whole pixels, 0.01 cm or inch, 0.1 point, halves rounded up (also
    // for negative values); another unit raises "ToPixel: Invalid gut".
    static double ToPixel(int32_t Unit, double Value, int32_t DPI);
    // The line-spacing unit box: the single "行" for the multiple rule, the
    // four lengths for the others.
    void LineSpacingUnitFollowsRule();
    int32_t FiUpdating = 0;
    bool MultiSelection() const { return FbMulti; }
    const std::vector<TDrawItem*>& Targets() const { return FTargets; }
    TDocumentLink* Document() const { return FDocument; }
    // The document window whose selection is loaded; nil with none.
    TObjPropertyDocLink* DocLink() const { return FDoc; }

    // --- macro page link
    TDrawItem* DrawItem() const override { return FDrawItem; }
    TDrawItem* DrawItemBuf() const override { return FDrawItemBuf.get(); }
    TPage* Page() const override { return FPage; }
    bool Updating() const override { return FiUpdating > 0; }
    void BeginUpdate() override { ++FiUpdating; }
    void EndUpdate() override { --FiUpdating; }
    void ItemsEdited() override;
    void ItemsChangedLive() override;
    void SetHandlesHidden(bool Hidden) override;
    QWidget* DialogOwner() const override;

    // Where the macro grid page goes, and what the panel asks of it: load
    // the loaded item's macros (or empty the grid for nil), and fit its rows
    // after the page changed size. The form sets both hooks to its own
    // MacroPage; tests may replace them.
    QWidget* MacroPageHost = nullptr;
    TMacroPaintPage* MacroPage = nullptr;
    std::function<void(TDrawItem* PropertyObject)> OnMacroPageLoad;
    std::function<void()> OnMacroPageResize;
    // Puts Edit in the rich edit's place (same bounds and anchors); the
    // placeholder is freed.
    void SetRichEdit(QTextEdit* Edit);
    // The binding of RichEdit to the text object shown (a single text
    // object; nothing is bound for other selections).
    TRichEditTav* RichEditTav() const { return FRichEditTav.get(); }
    TTextObj* BoundText() const { return FBoundText; }
    // Around a step of the document's history (undo, redo) on the bound
    // text: the caret and selection of the edit are kept before it, and
    // afterwards the edit shows the text again with them (cut to the text).
    void KeepTextCaret();
    void ReloadText();

    // --- edits
    // A commit of a number edit: one command with the edit's caption.
    void CommitEdit(TCustomEditTrackBarWex* Edit);
    // A value shown live in the items (typed, stepped or dragged in a number
    // edit of the panel or of the macro page) has two endings: this one
    // commits it as one step, as Enter in its edit would (what no commit
    // takes, the items give back). Every road that leaves the edit without
    // its own commit calls it first: a step of the document's history, a
    // reload of the panel, closing or saving the document, quitting.
    void CommitPending();
    // The other ending, Escape: the items as the last commit left them.
    void RevertEdit(TCustomEditTrackBarWex* Edit);
    void ModifyStart(TCustomEditTrackBarWex* Edit);
    void ModifyEnd(TCustomEditTrackBarWex* Edit);
    bool Modifying() const { return FbModifying; }
    // True while the panel applies an edit or a value is dragged: it must
    // not be loaded again under its own feet.
    bool Busy() const { return FiUpdating > 0 || FbModifying || FbCommitting; }
    // The history's step serial when the panel last took its copies of the
    // items (as it loads them, and within or after each change of its own).
    // Copies from before a step were left behind by a change made elsewhere.
    uint64_t CopiesStep() const { return FiCopiesStep; }
    // The command caption of an edit (e.g. "回転角の設定").
    std::string EditCaption(TCustomEditTrackBarWex* Edit) const;
    void btnDefaultClick(QPushButton* Button);
    void btnSeedClick();
    void pnlcolbtnDrawColClick();
    void pnlcolbtnDrawColColorDropped(int32_t Color);
    TColorDialogWex ColorDialogWex;
    // The random seed of btnSeedClick (0 to 0x3FFFFFFF); tests fix it.
    std::function<int32_t()> RandomSeed;

    // --- controls
    TEditWex* edtObjName = nullptr;
    QLabel* lblObjName = nullptr;
    TComboBoxWex* cmbLayer = nullptr;
    QLabel* lblLayer = nullptr;
    // general
    TPanelColorButton* pnlcolbtnDrawCol = nullptr;
    QLabel* lblObjAngle = nullptr;
    TEditTrackBarWex* edtObjAngle = nullptr;
    QLabel* lblPosiX = nullptr;
    TEditTrackBarWex* edtPosiX = nullptr;
    QLabel* lblPosiY = nullptr;
    TEditTrackBarWex* edtPosiY = nullptr;
    QPushButton* btnDefGeneral = nullptr;
    // macro
    QCheckBox* cboxFillPath = nullptr;
    QPushButton* btnDefMacPaint = nullptr;
    // shape
    QLabel* lblWidth = nullptr;
    TEditTrackBarWex* edtWidth = nullptr;
    QLabel* lblHeight = nullptr;
    TEditTrackBarWex* edtHeight = nullptr;
    QLabel* lblCornerNum = nullptr;
    TEditTrackBarWex* edtCornerNum = nullptr;
    QLabel* lblRIn = nullptr;
    TEditTrackBarWex* edtRIn = nullptr;
    QLabel* lblAbsolute = nullptr;
    TEditTrackBarWex* edtAbsRIn = nullptr;
    QLabel* lblPixel = nullptr;
    QLabel* lblAngleRatio = nullptr;
    TEditTrackBarWex* edtAngleRatio = nullptr;
    QLabel* lblROutRatio = nullptr;
    TEditTrackBarWex* edtROutRatio = nullptr;
    QLabel* lblRInRatio = nullptr;
    TEditTrackBarWex* edtRInRatio = nullptr;
    QLabel* lblCnrROut = nullptr;
    TEditTrackBarWex* edtCnrROut = nullptr;
    QLabel* lblCnrRIn = nullptr;
    TEditTrackBarWex* edtCnrRIn = nullptr;
    QPushButton* btnRandomSeed = nullptr;
    QCheckBox* cboxBeveled = nullptr;
    QLabel* lblRNum = nullptr;
    TComboBoxWex* cmbRNum = nullptr;
    QLabel* lblRPos = nullptr;
    TComboBoxWex* cmbRPos = nullptr;
    QPushButton* btnDefShape = nullptr;
    // text
    QLabel* lblLineSpacing = nullptr;
    TComboBoxWex* cmbLineSpacingRule = nullptr;
    TEditTrackBarWex* edtLineSpacing = nullptr;
    TComboBoxWex* cmbUTLineSpacing = nullptr;
    TComboBoxWex* cmbZoom = nullptr;
    QLabel* lblSpacing = nullptr;
    TEditTrackBarWex* edtSpacing = nullptr;
    TComboBoxWex* cmbUTSpacing = nullptr;
    QLabel* lblBase = nullptr;
    TEditTrackBarWex* edtBase = nullptr;
    TComboBoxWex* cmbUTBase = nullptr;
    TComboBoxWex* cmbFace = nullptr;
    QPushButton* btnRefFont = nullptr;
    QLabel* lblSize = nullptr;
    TEditTrackBarWex* edtSize = nullptr;
    TComboBoxWex* cmbUTSize = nullptr;
    QToolBar* ToolBarFontStyle = nullptr;
    TComboBoxWex* cmbTextPaintKind = nullptr;
    QLabel* lblTextPaintKind = nullptr;
    QTextEdit* RichEdit = nullptr;
    QPushButton* btnDefText = nullptr;
    // The text page's handlers (frm_obj_property_text.cpp). The two font
    // style buttons are the actions of ToolBarFontStyle.
    QAction* tbtnBold = nullptr;
    QAction* tbtnItalic = nullptr;
    void LoadTextPage();
    void RichEditSelectionChange();
    // The item of cmbFace for Face, listed under any of its names; -1 when
    // the face is not installed.
    int ListedFace(const QString& Face) const;
    // A length edit's live change (typed or dragged): the characters take
    // the value without a command; EdtFontClick, its commit, puts them back
    // and records the value as one command.
    void TextLengthLive(TCustomEditTrackBarWex* Edit);
    void EdtFontClick(TCustomEditTrackBarWex* Edit);
    void SetTextProperty(TCustomEditTrackBarWex* Edit);
    void cmbUTChange(QComboBox* Combo);
    void cmbLineSpacingRuleChange();
    void cmbUTLineSpacingChange();
    void tbtnFontClick(QAction* Button);
    void cmbFaceChange();
    void btnRefFontClick();
    // The face picker: Face in and out, Sample the selected text; True when
    // confirmed. Runs TFontNameDialog unless a test sets it.
    std::function<bool(std::string& Face, const std::string& Sample)> PickFontName;
    // A refused value; beeps unless a test sets it.
    std::function<void()> OnTextBeep;
    // outline
    QLabel* lblOutlineKind = nullptr;
    TComboBoxWex* cmbOutline = nullptr;
    QCheckBox* cboxTransChar = nullptr;
    QPushButton* btnDefOutline = nullptr;
    // By Tag 1 to 9 (index Tag - 1): the outline's parameter rows.
    QLabel* FOutlineLabels[9] = {};
    TEditTrackBarWex* FOutlineEdits[9] = {};
    QLabel* FOutlinePercents[9] = {};
    TEditTrackBarWex* edtTopLeft = nullptr;
    TEditTrackBarWex* edtTopWidth = nullptr;
    TEditTrackBarWex* edtBtmWidth = nullptr;
    TEditTrackBarWex* edtHeightTop = nullptr;
    TEditTrackBarWex* edtHeightBtm = nullptr;
    TEditTrackBarWex* edtWaveNumTop = nullptr;
    TEditTrackBarWex* edtWaveNumBtm = nullptr;
    TEditTrackBarWex* edtRadius = nullptr;
    TEditTrackBarWex* edtTextHeight = nullptr;
    // --- the edit menu (frm_obj_property_clip.cpp): its shortcuts work on
    // every page, wherever the page is shown, on the focused control.
    QMenu* PopupMenuPageControl = nullptr;
    QAction* mitemCtrlX = nullptr;
    QAction* mitemCtrlC = nullptr;
    QAction* mitemCtrlV = nullptr;
    QAction* mitemCtrlA = nullptr;
    QAction* mitemDel = nullptr;
    QAction* mitemCtrlL = nullptr;
    void mitemCtrlXClick();
    void mitemCtrlCClick();
    void mitemCtrlVClick();
    void mitemCtrlAClick();
    void mitemDelClick();
    void mitemCtrlLClick();
    // Pastes the clipboard's text into the rich edit as one command; a text
    // of more than 20 characters asks first.
    void PasteRichText();
    // The owner's undo and redo of the document's history: their keys run
    // them from every control of the pages, wherever a page is shown, in
    // place of a control's own undo of its text.
    void SetHistoryCommands(QAction* Undo, QAction* Redo);
    QAction* UndoCommand() const { return FUndoCommand; }
    QAction* RedoCommand() const { return FRedoCommand; }

    // path
    QLabel* lblTextStartPos = nullptr;
    TEditTrackBarWex* edtTextStartPos = nullptr;
    TEditTrackBarWex* edtVOffset = nullptr;

private:
    QPointer<QAction> FUndoCommand, FRedoCommand;
    std::unique_ptr<TRichEditTav> FRichEditTav;
    // The text object the rich edit is bound to.
    TTextObj* FBoundText = nullptr;
    int32_t FiKeptStart = 0, FiKeptLength = 0;
    void BindRichEdit(TTextObj* Text);
    // The text page's wiring and its state: the unit each length edit's
    // value is in now, and the rich edit's key filter.
    void BindTextPage();
    int32_t& TextUnitOf(TCustomEditTrackBarWex* Edit);
    void SetTextRanges(TCustomEditTrackBarWex* Edit, int32_t Unit);
    void SetLineSpacingRanges(int32_t Rule, int32_t Unit);
    std::vector<TTextObj*> TextTargets() const;
    int32_t FiUnitSize = 0, FiUnitBase = 0, FiUnitSpacing = 0;
    QObject* FTextKeys = nullptr;
    // The bound text and the insertion style as they were before the first
    // live change of a length edit since its last commit.
    void RevertTextLive();
    std::unique_ptr<TDrawItem> FTextLiveOrigin;
    TTextObj* FTextLiveFor = nullptr;
    TrecCharAttr FTextLiveInsertion{};
    bool FbTextLiveApplying = false;
    void FormCreate();
    void BuildEditMenu();
    void BuildGeneralPage();
    void BuildMacroPage();
    void BuildShapePage();
    void BuildTextPage();
    void FitTextPageRows();
    int FTextWideShift = 313; // how far the wide arrangement moves the right-hand groups
    int FTextWideWidth = 626; // the least page width that takes the wide arrangement
    int FOutlineEditX = 64;   // where the outline page's edits start, past its widest caption
    int FOutlineEditW = 64;   // their width, holding the widest value
    int FTextNarrowWidth = 297; // the least text page width that shows the narrow rows whole
    // The least client size of each page that shows every control it can
    // show whole, from the controls' designed places and anchors.
    std::map<const QWidget*, QSize> FPageNeeds;
    QSize DesignedPageNeed(const QWidget* Page) const;
    // The bottom of the outline rows as stacked for the kind showing most.
    int OutlineRowsBottom() const;
    void FitTextEdits();
    void BuildOutlinePage();
    void BuildPathPage();
    TEditTrackBarWex* NumberEdit(QWidget* Page, const char* Name, int X, int Y, int W, double Min, double Max,
                                 int32_t Tag = 0);
    void BindEdit(TEditTrackBarWex* Edit);
    void BindHandlers();
    bool WorkArea(TRect& R) const;
    void RelayoutTextPage(QWidget* Page);
    void StackOutlineRows();

    // loading
    // After a change of its own the panel loads the items again, so that
    // every control shows what they hold now (a turn moves the position, a
    // width changes the absolute radius). Posted: the change's event and
    // its control are done first. The macro grid, the rich edit bound to
    // the same text and the focused edit's caret stay as they are.
    void PostShowItemsAgain();
    void ShowItemsAgain();
    bool FbShowPosted = false;
    bool FbShowingAgain = false;
    void LoadShapePage();
    void LoadOutlinePage();
    void LoadRectCorners(int32_t Count, int32_t Position);
    // Every number edit of the panel is enabled and disabled through this
    // one routine; a disabled edit is empty.
    static void EnableEdit(TCustomEditTrackBarWex* Edit, bool Flag);
    void EnablePage(QWidget* Page, bool Flag);
    // Empties what a disabled control of a page shows.
    void ShowNoValue(QWidget* Control);
    void ShowOutlineRows(const std::vector<int32_t>& Tags);
    void ShowShapeTags(const std::vector<int32_t>& Tags);
    void MoveShapeRow(int32_t Tag, int32_t Y);
    void SetRowTop(QWidget* Control, int32_t Y);

    // edits
    void LiveChange(TCustomEditTrackBarWex* Edit);
    // Applies Edit's Value to the targets and the property object.
    void ApplyEdit(TCustomEditTrackBarWex* Edit, double Value);
    void RevertLive();
    void TakeCopies();
    // One command: Body applied to the targets, rolled back when it raises.
    void RunCommand(const std::string& Caption, const std::function<void()>& Body);
    void OneStep(const std::string& Caption, const std::function<void()>& Body);
    void RefreshAfterEdit(bool Live);
    void ApplyWireframeColor(int32_t Color);
    void RatioEdit(TCustomEditTrackBarWex* Edit, double Value);
    void OutlineEdit(TCustomEditTrackBarWex* Edit, double Value);
    void SizeEdit(TCustomEditTrackBarWex* Edit);
    void CornerNumEdit();
    void RInEdit(TCustomEditTrackBarWex* Edit, double Value);
    void cmbOutlineChange();
    void RelabelOutline(int32_t Kind);

    QWidget* FMainForm;
    std::vector<QComboBox*> FTextUnitCombos;
    TObjPropertyDocLink* FDoc = nullptr;
    TPage* FPage = nullptr;
    TDocumentLink* FDocument = nullptr;
    TDrawItem* FDrawItem = nullptr;
    std::unique_ptr<TDrawItem> FProxy; // stands for a multi-selection
    std::vector<TDrawItem*> FTargets;
    std::vector<std::unique_ptr<TDrawItem>> FDrawItemCopy; // one per target
    std::unique_ptr<TDrawItem> FDrawItemBuf;
    std::unique_ptr<TDrawItem> FDrawItemOrg;
    bool FbMulti = false;
    bool FbModifying = false;
    bool FbLiveChanged = false;
    bool FbCommitting = false; // CommitEdit applies the edit
    bool FbEndingLive = false; // CommitPending runs
    bool FbLiveWasModified = true; // the document's flag before the live changes
    // The edit whose value is live in the items.
    QPointer<TCustomEditTrackBarWex> FLiveEdit;
    void HoldLive(TCustomEditTrackBarWex* Edit);
    uint64_t FiCopiesStep = 0;
    int32_t FiDPI = 96;
};

// The program's panel, made by the frame after start-up (or at its first
// use) and kept until the end of the main block (which saves its layout);
// nil before.
extern TMadeWhenAsked<std::unique_ptr<TfrmObjProperty>> frmObjProperty;
