// TfrmChild: the MDI document window, a view of the first page of one
// document. It is the content widget of a QMdiSubWindow and the page's view
// (TOLEFormDoc). It lays out the view, the rulers with their head and the
// scroll bars; maps page coordinates to view pixels for a zoom percentage
// and a view origin; paints the page picture, its background and shadow,
// the grid and the selection handles; and carries the document commands
// that the main frame forwards to the active window.
//
// View mapping (x and y alike, view pixels relative to the view's top-left):
//   view = ((page - origin) x zoom + 50) div 100
//   page = (view x 100 + zoom div 2) div zoom + origin
// Painting draws page coordinates scaled by exactly zoom / 100.
#pragma once

#include "foundation/geometry_types.h"
#include "editors/obj_property_doc_link.h"
#include "foundation/poly_line.h"
#include "model/page_views.h"
#include "shell/child_frame_link.h"
#include "shell/ruler.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QLabel;
class QPainter;
class QRectF;
class QTransform;
class TOLEDocumentWex;
class TOLECustomPage;
class TPage;
class TPaintBoxWex;
class TScrollBarWex;
struct TrecGrid;
class TSelectedObjects;
struct TTraceProgress;
struct TXorLines;
class TXorOutline;

// The settings section and key of the maximised state of new windows.
inline constexpr const char* MaxFrmChildSection = "4.0";
inline constexpr const char* MaxFrmChildKey = "MaxFrmChild";

// The step of the page's grid in page pixels (x and y) by its grid unit:
// 0 spacing / divisions, 1 spacing x DPI / 2.54 / divisions, 2 spacing x
// DPI / divisions, 3 (point) spacing x DPI / 72 / divisions, any other
// unit 10.
void GetGridStep(const TrecGrid& Grid, int32_t DPI, double& SX, double& SY);
// The step at which grid dots are drawn: Step made at least 10 view pixels
// at Zoom by the smallest whole multiple. 0 (no grid) for a step that is no
// positive number, such as the step of a length unit on a page without a
// resolution.
double GridDrawStep(double Step, int32_t Zoom);

// The trace progress bar in a status-bar panel's rectangle: "変換中：", a
// sunken 104-pixel frame and a 100-pixel bar, done part in navy. Nothing
// without a record or with an empty panel.
void DrawProgress(QPainter& DC, const QRect& Panel, const TTraceProgress* Progress);

// Where a window that is not maximised goes inside a client area of Area:
// Wanted bounded by the area, Index steps of Step down and right from the
// top-left corner, starting over at the corner where the window would leave
// the area.
QRect CascadedWindowPlace(QSize Wanted, QSize Area, int32_t Index, int32_t Step);
// The same place for a new window among open ones whose top-left corners are
// Held: the first step no window holds, so that no new window exactly covers
// another; with every step held, the first of those held by the fewest.
QRect CascadedWindowPlace(QSize Wanted, QSize Area, const std::vector<QPoint>& Held, int32_t Step);

struct TrecPicture;

class TfrmChild : public QWidget, public TOLEFormDoc, public TObjPropertyDocLink {
    Q_OBJECT
public:
    // Makes the window of Document in Owner and attaches it to the
    // document's first page (maximised when "MaxFrmChild" is 1).
    static TfrmChild* CreateDoc(QMdiArea& Owner, TOLEDocumentWex& Document, TChildFrameLink& Frame);
    // Cascades the document windows of Area that are not minimised, back to
    // front, each at the first cascade place the ones behind it leave free.
    static void CascadeAll(QMdiArea& Area);
    // Detaches the window from its page; the document goes with its last
    // window.
    ~TfrmChild() override;

    // --- TOLEFormDoc
    // Runs the resize handler and refreshes view and rulers.
    void PageLayoutChanged() override;
    void InvalidatePageRect(const TRect* Rect) override;
    // actUndo and actRedo from the history; repaints the view.
    void HistoryChanged() override;
    std::string GetCaption() const override;
    void SetCaption(const std::string& Caption) override;
    // The document is gone: the window closes without asking.
    void Release() override;
    void InvalidateDocRect(const TRect& Rect) override;
    void RedrawAnchors() override;
    void SelectionChanged(bool Refresh) override;
    void UpdateGridActions() override;
    void UpdateDispModeActions() override;
    // The head of the page's ruler unit.
    void UpdateRulerHead() override;
    void InvalidateRulers() override;
    void UpdateCursor(int32_t Value) override;
    void ShowSelectionStatus() override;
    void UpdateActionStates() override;
    int32_t GetZoomPercent() const override { return FiZoom; }
    // The document framework must not call these on this window: both raise
    // EUserError naming themselves.
    [[noreturn]] void GetDocWinControl();
    [[noreturn]] void SetOnClose();

    // --- view
    // 1..1600; keeps the page point at the view's centre in place.
    void SetZoom(int32_t Zoom);
    // Sets the origin within the scroll ranges and decides the scroll bars;
    // a page smaller than the view is centred.
    void SetViewOrigin(int32_t X, int32_t Y);
    TPoint ViewOrigin() const { return FViewOrigin; }
    TPoint DocToView(const TPoint& P) const;
    TPoint ViewToDoc(const TPoint& P) const;
    // Painter mappings for drawing in page coordinates on the view: the view
    // origin moved by (-DX, -DY), scaled by zoom / 100. The clip mapping
    // also clips to the visible page rectangle.
    void SetViewMapping(QPainter& DC, int32_t DX, int32_t DY) const;
    void SetClipMapping(QPainter& DC, int32_t DX, int32_t DY) const;
    // The mouse position in page coordinates.
    TPoint GetCursorDocPos() const;
    // The ruler step at the current zoom for the page's ruler unit.
    TRulerStep GetRulerStep() const;
    // The ruler unit the rulers show: the page's ruler-unit byte.
    uint8_t RulerUnit() const;
    // Toggles the mouse-position line of a ruler at a view position.
    void DrawRulerCursorH(int32_t X);
    void DrawRulerCursorV(int32_t Y);
    // The rectangle of a shape drag from S to C by the modifier keys held:
    // Shift a square from S, Alt centred on S, both a square centred on S.
    TRect GetDragRect(const TPoint& S, const TPoint& C) const;
    // The same with the modifier set Keys (ssShift, ssAlt).
    TRect GetDragRect(const TPoint& S, const TPoint& C, uint8_t Keys) const;
    // Fills PopupMenu: 0 nothing selected, 1 objects selected, 2 node editing.
    void BuildPopupMenu(int32_t Kind);

    // The resize handler: rulers, view, scroll bars.
    void FormResize();
    // Activation: tool buttons, zoom box and display actions from the page.
    void FormActivate();

    // --- commands forwarded by the frame
    void actUndoExecute();
    void actRedoExecute();
    void actCutExecute();
    void actCopyExecute();
    void actPasteExecute();
    void actDelExecute();
    void actDupExecute();
    void actSelAllExecute();
    void actCloseExecute();
    void actSaveExecute();
    void actSaveAsExecute();
    void actZoomInExecute();
    void actZoomOutExecute();
    // Shared by the four display-quality commands (Sender: one of them).
    void actDispModeExecute(QAction* Sender);
    void actDispAnchorExecute();
    void actShowGridExecute();
    void actSnapGridExecute();
    void actSnapObjExecute();
    void actRulerExecute();
    // The grid and ruler dialog; changes are one command of the action's caption.
    void actGridOptionExecute();
    // The page setup, one undoable command (child_print_setup.cpp).
    void actPrintSetupExecute();
    // The page picture (child_print.cpp): printed through the print dialog
    // at the printer's resolution; saved as a BMP file through the frame's
    // dialog; copied to the clipboard as a bitmap; traced from a picture
    // file into filled outlines, one command each; handed to the companion
    // program (copied, then the program started) when it is set up.
    void actPrintExecute();
    void actSaveBMPExecute();
    void actCopyAsBMPExecute();
    void actBmpTraceExecute();
    void actMorvoExecute();
    // Run the frame's commands of the same names.
    void actSelectTwainExecute();
    void actInputTwainExecute();
    void actConvertToBmpExecute();
    void actDispColPltExecute();
    void actPageAllExecute();
    // Node, line, stacking and alignment commands (child_commands.cpp).
    void actBezierToLineExecute();
    void actLineToBezierExecute();
    void actNodeSymExecute();
    void actNodeSmoothExecute();
    void actNodeSharpExecute();
    void actNodeConnectExecute();
    void actNodeDivideExecute();
    void actToPolyLineExecute();
    void actMergeExecute();
    void actUnMergeExecute();
    void act1UpExecute();
    void act1DownExecute();
    void actTopExecute();
    void actBottomExecute();
    void actArngLeftExecute();
    void actArngRightExecute();
    void actCenterHExecute();
    void actImgCenterHExecute();
    void actEqualHExecute();
    void actArngTopExecute();
    void actArngBottomExecute();
    void actCenterVExecute();
    void actImgCenterVExecute();
    void actEqualVExecute();
    void actGroupExecute();
    void actUngroupExecute();
    // Links the one selected text to the other selected item (not recorded).
    void actTextWithPathExecute();
    // Ends a line entered point by point (mode 18) with the segments placed.
    void EndMakeLine();
    // Pastes draw items of the clipboard text form (a dropped file or web
    // address) as one command "図形の貼り付け"; a failure shows the error box
    // "データの読み込みに失敗しました".
    void PasteText(const std::string& Text);

    TOLEDocumentWex* Document() const { return FDocument; }
    // The page as a drawing page; nil when detached or of another class.
    TPage* DrawingPage() const;
    QMdiSubWindow* SubWindow() const { return FSubWindow; }
    bool SnapObj() const { return FbSnapObj != 0; }

    // The form's parts.
    TPaintBoxWex* pboxkClient;
    // The rubber bands and drag outlines (child_mouse.cpp).
    class TXorOverlay* Overlay() const { return FOverlay; }
    // A new item's outline waits over the view for the page's picture.
    bool NewItemOutlineShown() const { return !FNewItemOutline.empty(); }

    // --- mouse tools (child_mouse.cpp). Shift is a TShiftState (ssShift,
    // ssAlt, ssCtrl) read from the event.
    void pboxkClientMouseDown(Qt::MouseButton Button, uint8_t Shift, int32_t X, int32_t Y);
    void pboxkClientMouseMove(uint8_t Shift, int32_t X, int32_t Y);
    void FormMouseMove(uint8_t Shift, int32_t X, int32_t Y);
    void pboxkClientMouseUp(Qt::MouseButton Button, uint8_t Shift, int32_t X, int32_t Y);
    // The pick tolerance in page pixels (at least 1).
    int32_t PickTolerance() const;
    // The point on the grid (or on a nearby path with snap-to-objects).
    TPoint SnapPoint(const TPoint& P) const;
    // Shift alone: onto the nearest ray from the mouse-down point at the
    // angle step; otherwise SnapPoint.
    TPoint ConstrainLinePoint(const TPoint& P, uint8_t Shift) const;
    void EndMakeLine(const TPoint& Start, const TPoint& End);
    // Switches between the select tool and the hand tool (middle button,
    // Space).
    void ToolToggle();
    QLabel* imgRulerHead;
    TPaintBoxWex* pboxRulerH;
    TPaintBoxWex* pboxRulerV;
    TScrollBarWex* ScrollBarH;
    TScrollBarWex* ScrollBarV;
    QMenu* PopupMenu;

    // Room for the page with its margins at the zoom, rulers and edges
    // included: the size a window that is not maximised is given.
    QSize sizeHint() const override;
    // Gives the sub-window that size, bounded by the client area, at the
    // first cascade place no other open document window holds.
    void PlaceNormal();
    // The top-left corners the other open document windows have, or come
    // back to, when neither maximised nor minimised.
    std::vector<QPoint> PlacesOfOthers() const;
    // Whether the window is large enough to show some of its page, and
    // inside the client area at least in part.
    bool ShowsSomePage() const;
    // Places the windows still waiting for the client area's size, in the
    // order they were opened.
    static void PlaceAwaiting(QMdiArea& Area);

    // Dirty areas of at least this many pixels render under the wait cursor,
    // the windows shown first with the page as it was.
    static constexpr int64_t LongRenderPixels = 4'000'000;
    static bool LongRender(const TRect& Dirty);

    // ReloadPanel from a notice of the model (or the panel's late making):
    // a panel that cannot show the items is reported (once while the same
    // failure lasts), never raised.
    void ReloadPanelReported();

protected:
    void resizeEvent(QResizeEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void paintEvent(QPaintEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TfrmChild(TOLEDocumentWex& Document, TChildFrameLink& Frame);

    QAction* Action(int32_t Index) const { return FFrame.Action(Index); }
    // Triggers the frame's command of a table index.
    void RunFrameCommand(int32_t Index);
    TSelectedObjects* Selection() const;
    bool RulersShown() const;
    // Step 3 of the resize handler: the view's place and size.
    void LayoutView();
    // One axis of SetViewOrigin; true when the bar's visibility changed.
    bool SetAxisOrigin(int32_t& Origin, int32_t PageExtent, int32_t ViewExtent, TScrollBarWex& Bar);
    void ScrollBarH1Change(int Position);
    void ScrollBarV1Change(int Position);
    // The page rectangle a view rectangle shows, grown above 100 %.
    QRectF PageRectOfView(const QRect& View) const;
    void pboxkClientPaint(QPainter& DC, const QRect& Clip);
    void DrawBackground(QPainter& DC, const QRectF& R);
    // The failures of the items the page's renders left out, each told once
    // after the paint.
    void TellDrawFailures();
    void DrawPage(QPainter& DC, const QRectF& R);
    // Renders what the page has dirty before the view paints it, where the
    // status bar can show the drawing progress (a paint cannot repaint it).
    void PostRenderAhead();
    void RenderAhead();
    bool LongRenderDue() const;
    // Brings the view copy up to date: made anew for the whole view when
    // the view moved or zoomed, else the areas the page reported new; false
    // when the view shows no pixel of the picture.
    bool RefreshViewCopy(const TrecPicture& Picture, bool Smooth);
    // Converts (from 100 %) or reduces (below) Part of the copy, in the
    // copy's pixels, from the picture; Copy is the copy's rectangle.
    void FillViewCopy(const TrecPicture& Picture, const QRect& Copy, const QRect& Part, bool Smooth);
    void DrawGrid(QPainter& DC, const QRectF& R);
    void DrawAnchors(QPainter& DC);
    void pboxRulerHPaint(QPainter& DC);
    void pboxRulerVPaint(QPainter& DC);
    // child_commands.cpp: alignment by Kind (0 left, 1 right, 2 centre,
    // 3 page centre; horizontal, or vertical when Vertical), equal spacing,
    // and the arrow keys; true when the key was an arrow.
    void AlignSelection(const char* Caption, int32_t Kind, bool Vertical);
    void SpaceSelection(const char* Caption, bool Vertical);
    bool NudgeSelection(int Key, Qt::KeyboardModifiers Modifiers);
    // The frame's status text, command states and property panel are the
    // active window's: true for the area's current window, and while there
    // is none.
    bool ShowsFrameState() const;
    // Hands the selection to the property panel.
    void ReloadPanel();
    // The selection's bounds again (no handle rebuild), the panel reloaded
    // when asked, status and view updated.
    void RefreshSelection(bool ReloadPanelFlag);
    // --- TObjPropertyDocLink
    void SelectionEdited() override;
    void SetHandlesHidden(bool Hidden) override;
    void RepaintView() override;
    // One step forward or back of the one selected item; all selected items
    // to the top or the bottom of the page: one command each.
    void StepSelectedItem(const char* Caption, bool Up);
    void StackSelection(const char* Caption, bool Top);
    // Undo or redo of the document's history, the selection updated once.
    void ReplayHistory(bool Redo);
    // Runs Body inside a history command of Caption; a failure cancels it.
    template <class F>
    void RunCommand(const std::string& Caption, F&& Body);

    TOLEDocumentWex* FDocument;  // not owned; nil once released
    TChildFrameLink& FFrame;
    QMdiSubWindow* FSubWindow = nullptr;
    // The area as a plain object: it may be half destroyed when this window goes.
    QPointer<QObject> FArea;
    // The sub-window's top-left when last neither maximised nor minimised.
    std::optional<QPoint> FNormalPlace;
    // Opened before the client area had its size: no place of its own yet.
    bool FbAwaitingPlace = false;
    // And to be maximised once it has one.
    bool FbMaximiseWhenPlaced = false;
    int32_t FiZoom = 100;
    TPoint FViewOrigin{0, 0};
    int32_t FiRulerPosH = -1;
    int32_t FiRulerPosV = -1;
    uint8_t FbSnapObj = 1;
    uint8_t FbBlank = 1;
    bool FbLoading = true;
    bool FbReleased = false;
    bool FbDestroying = false;
    int32_t FiUpdating = 0;
    std::string FCaption;
    // The panel's last failure to show the selection, told once while it
    // lasts ("" when the panel shows it).
    std::string FstrPanelFailure;
    // The part of the page picture the view shows, as the screen draws it
    // fastest (32-bit rows, top down), so that a paint is one plain blit of
    // the clip box. Never more than the view's pixels, whatever the page's
    // size: page pixels from 100 % up (its key's rectangle in page pixels),
    // view pixels already reduced below (the rectangle in view pixels, for
    // the origin and zoom it was made at).
    struct TViewCopyKey {
        const uint8_t* Source = nullptr;
        TPoint PictureAt{0, 0};
        QRect Rect;
        TPoint Origin{0, 0};  // reduced copies only
        int32_t Zoom = 0;     // 0 for copies in page pixels
        bool Smooth = false;
        friend bool operator==(const TViewCopyKey&, const TViewCopyKey&) = default;
    };
    QImage FViewCopy;
    TViewCopyKey FViewCopyKey;
    TRect FrectViewCopyStale{-1, -1, -2, -2};  // empty: adds nothing to a union
    bool FbViewCopyAllStale = true;
    bool FbRenderPosted = false;  // a RenderAhead waits in the event queue
    bool FbRenderingAhead = false;

    // Mouse tool state (child_mouse.cpp).
    void LeftDown(uint8_t Shift, const TPoint& P);
    void DrawingMove(uint8_t Shift, const TPoint& P);
    // The text dialog; OK adds its text at the snapped point as one command.
    void TextTool(const TPoint& P);
    void SelectMove(uint8_t Shift, const TPoint& P);
    void SelectUp(uint8_t Shift, const TPoint& P);
    void DrawXorPath();
    void DrawDragOutline();
    // The selection's outline in view pixels, for a move to draw at offsets.
    void TakeDragOutline();
    void RedrawOverlay();
    void ShowNewItemOutline(class TDrawItem& Item);
    void ShowMousePosition(const TPoint& P);
    // The rulers' mouse-position lines at view point (X, Y).
    void ShowRulerCursors(int32_t X, int32_t Y);
    void ShowDrawReadout(const TPoint& P);
    void BuildShapePath(const TRect& R);
    void MoveOffset(uint8_t Shift, const TPoint& P, int32_t& DX, int32_t& DY) const;
    void ScaleFactors(uint8_t Shift, const TPoint& P, double& CX, double& CY, double& FX, double& FY) const;
    double RotationAngle(uint8_t Shift, const TPoint& P);
    // Node editing and adding (child_node_mouse.cpp): presses in modes 6
    // and 13, moves and releases in modes 7 to 12.
    void NodeDown(const TPoint& P);
    void NodeMove(uint8_t Shift, const TPoint& P);
    void NodeUp(uint8_t Shift, const TPoint& P);
    void AddNodeAt(const TPoint& P);
    void NodeDragGeometry(const TPoint& P);
    void DrawNodeOutline();
    void RestoreNodeStarts();
    void EndNodeDrag(const std::string& Message);
    void CommitNodeDrag(uint8_t Shift, const TPoint& P);
    class TXorOverlay* FOverlay = nullptr;
    // The selection's outline at the start of a move, in view pixels: each
    // step draws it at the offset.
    std::unique_ptr<TXorOutline> FDragOutline;
    // A new item's outline in page pixels, shown over the page until the
    // page's picture has the item.
    std::vector<TXorLines> FNewItemOutline;
    TPoint FptMouseDown{0, 0};
    TPoint FptPrevDrag{0, 0};
    TPoint FptLastMouse{0, 0};
    TrecPolyLine FWorkPath;
    std::vector<TDPoint> FFreeHand;
    uint8_t FDragShift = 0;
    TPoint FptDragPoint{0, 0};
    TDPoint FRotCenter{0, 0};
    double FdLastAngle = 0.0;
    bool FbCaptured = false;
    QPoint FHandStart;
    // Above 0 while the hand tool scrolls: scroll changes only invalidate.
    int32_t FiScrollUpdating = 0;
    int FHandBarX = 0;
    int FHandBarY = 0;
};

// The factory the frame installs (through SetDocWindowFactory): the window
// of Document in Area, tied to the frame.
TfrmChild* CreateChildForm(QMdiArea& Area, TOLEDocumentWex& Document, TChildFrameLink& Frame);
