// The main MDI frame "タヴロ": start-up and shutdown, the command table and
// its handlers, the tool palette, the zoom box, help, and every road by which
// a file is opened (menu, recent list, command line, the DDE stand-in,
// dropped files and URLs).
//
// Settings (section "4.0" of the settings file): "DspSmth", "MaxFrmChild",
// "Flags", "PosMain", "DirData", "DirGrph", "PgDWidth", "PgDHeight".
#pragma once

#include "model/page_views.h"
#include "shell/child_frame_link.h"
#include "shell/forwarded_commands.h"
#include "shell/user_toolbars.h"
#include "ui/drop_target.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "foundation/geometry_types.h"
#include "foundation/string_list.h"
#include "platform/global_memory.h"

class QComboBox;
class QLabel;
class QMdiArea;
class QMenu;
class QTimer;
class TToolbarButton97;
class TToolbar97;
struct TImageList97;
class TAction;
class TDdeServerConv;
class TDefaultData;
class THistoryMenu;
class TOLEDocumentWex;
class TFileDialogQ;
class TOpenPreviewDialogQ;
class TRestorePos;
class TRvClipDetector;
class TSaveDialogWex;
class TStatusPanel;
class TDock97;
class TfrmChild;
using TDocWindow = TfrmChild;

// The hint of a command: its caption without the accelerator suffix "(&X)..."
// or "(&X)" (X one byte); any other caption unchanged.
std::string CaptionToHint(const std::string& Caption);

// The path of a DDE execute text "[open("path")]" + CR LF (prefix and end
// compared without regard to case); false for any other text, and for one
// shorter than 12 characters, whose quote the prefix and the end would share.
bool DdeOpenPath(const std::string& Text, std::string& Path);

// The zoom the mouse wheel gives from Zoom: the next step of the ladder 10,
// 25, 50, 100, 200, 400, 800, 1600 downwards (Down) or upwards, for zooms
// between the steps too; the ends stay.
int32_t WheelZoomStep(int32_t Zoom, bool Down);

// The 15 lines of the help frame page for a help context: page Context div
// 10000 and anchor Context mod 10000 (four digits each), the contents and
// page frames taken from HelpUrl (the help folder as a URL ending in "/").
std::vector<std::string> HelpFrameLines(int32_t Context, const std::string& HelpUrl);

// Where the frame goes in a work area (Right and Bottom exclusive): a work
// area narrower than 801 pixels gives its full width and its height less
// 248; a wider one its left + 230, width - 230 and height - 300.
TRect FramePlacement(const TRect& WorkArea);

// The page of a new document when the stored defaults "PgDWidth" and
// "PgDHeight" are missing or refused.
inline constexpr int32_t DefaultPageWidth = 400;
inline constexpr int32_t DefaultPageHeight = 300;
// Whether stored page defaults make a page: each side at least 1, no more
// than MaxPicturePixels pixels.
bool PageDefaultsUsable(int32_t Width, int32_t Height);

// The screen's pixels per inch, the help folder (the registry value "Help"
// under HKEY_CURRENT_USER "SOFTWARE\ZELBAR\Tavro\4", else the program's
// folder + "help/") and the help frame page (in $XDG_CACHE_HOME/tavro).
void InitMainGlobals();

// The name the DDE stand-in serves: DdeServerName("TAVRO") unless set
// (an empty name restores it).
QString TavroDdeServerName();
void SetTavroDdeServerName(const QString& Name);

// The frame's global: the first frame made, nil when none.
class TfrmTavro;
extern TfrmTavro* frmTavro;
// Screen pixels per inch, read once at start-up.
extern int32_t giPixelsPerInchX;
extern int32_t giPixelsPerInchY;
// The help folder (ending in "/") and the help frame page written for it.
extern std::string gstrHelpFolder;
extern std::string gstrHelpFile;

class TfrmTavro : public QMainWindow, public TMainWindowLink, public TChildFrameLink {
public:
    static constexpr int32_t CommandCount = 76;
    static constexpr int32_t ZoomBoxCommand = 74;
    static constexpr int32_t ToolButtonCount = 12;

    // FormCreate: the commands, menus, palette, zoom box, status bar,
    // dialogs, recent-files menu and placement.
    explicit TfrmTavro(QWidget* Parent = nullptr);
    // FormDestroy: writes "DspSmth" and the placement, leaves the drop
    // registration, frees the document windows (last first) and leaves the
    // clipboard watch.
    ~TfrmTavro() override;

    // The arguments after the program's name; the application's by default.
    QStringList CommandLine;

    void StartUp();
    // The palette and the panel with its page windows, which StartUp leaves
    // due (see frmPltColor, frmObjProperty): made and shown as the settings
    // have them, the active window's selection loaded. Runs once, after the
    // frame's first paint or at the first use of either window.
    void MakeFloatingForms();
    // A new document of the stored page defaults; defaults that make no
    // page are removed from the settings, reported once, and the built-in
    // size is used.
    void NewDocument();
    void DefaultDataChanged(TDefaultData* Sender);
    // Closes the frame when every open document agrees.
    void FileExit();

    // TMainWindowLink and TChildFrameLink
    TOLEFormDoc* GetActiveForm() override;
    void SetStatusText(int32_t Panel, const std::string& Text) override;
    void UpdateToolButton(uint8_t Mode, uint8_t SubMode) override;
    void ClickToolButton(bool Hand) override;
    QAction* Action(int32_t Index) override;
    bool SmoothDisplay() const override { return FbSmooth != 0; }
    bool RulerVisible() const override;
    void ShowZoom(int32_t Zoom) override;
    void MouseWheel(QWheelEvent& Event) override;
    bool ShutdownBegun() const override { return FbClosing; }
    // dlgSaveBMP and dlgOpenImage for the document windows (child_print.cpp).
    bool ExecuteSaveBmpDialog(std::string& FileName, const std::string& InitialDir) override;
    bool ExecuteOpenImageDialog(std::string& FileName, const std::string& InitialDir) override;

    // Command table: index = Tag; 74 is the zoom box.
    QObject* Command(int32_t Index) const { return FCommands[size_t(Index)]; }
    const TStringList& CommandCaptions() const { return FCommandCaptions; }
    TAction* ActionByName(const QString& Name) const;

    TAction* actNew = nullptr;
    TAction* actOpen = nullptr;
    TAction* actOpenImage = nullptr;
    TAction* actClose = nullptr;
    TAction* actSave = nullptr;
    TAction* actSaveAs = nullptr;
    TAction* actSaveBMP = nullptr;
    TAction* actBmpTrace = nullptr;
    TAction* actSelectTwain = nullptr;
    TAction* actInputTwain = nullptr;
    TAction* actMorvo = nullptr;
    TAction* actPrintSetup = nullptr;
    TAction* actPrint = nullptr;
    TAction* actConvertToBmp = nullptr;
    TAction* actExit = nullptr;
    TAction* actUndo = nullptr;
    TAction* actRedo = nullptr;
    TAction* actCut = nullptr;
    TAction* actCopy = nullptr;
    TAction* actPaste = nullptr;
    TAction* actDel = nullptr;
    TAction* actDup = nullptr;
    TAction* actSelAll = nullptr;
    TAction* actCopyAsBMP = nullptr;
    TAction* actDispHigh = nullptr;
    TAction* actDispMid = nullptr;
    TAction* actDispLow = nullptr;
    TAction* actDispWire = nullptr;
    TAction* actZoomIn = nullptr;
    TAction* actZoomOut = nullptr;
    TAction* actCommonPage = nullptr;
    TAction* actMacPaintPropertyPage = nullptr;
    TAction* actShapePage = nullptr;
    TAction* actTextPage = nullptr;
    TAction* actOutlinePage = nullptr;
    TAction* actPageAll = nullptr;
    TAction* actDispColPlt = nullptr;
    TAction* actDispAnchor = nullptr;
    TAction* actShowGrid = nullptr;
    TAction* actRuler = nullptr;
    TAction* act1Up = nullptr;
    TAction* act1Down = nullptr;
    TAction* actTop = nullptr;
    TAction* actBottom = nullptr;
    TAction* actArngLeft = nullptr;
    TAction* actArngRight = nullptr;
    TAction* actCenterH = nullptr;
    TAction* actImgCenterH = nullptr;
    TAction* actEqualH = nullptr;
    TAction* actArngTop = nullptr;
    TAction* actArngBottom = nullptr;
    TAction* actCenterV = nullptr;
    TAction* actImgCenterV = nullptr;
    TAction* actEqualV = nullptr;
    TAction* actToPolyLine = nullptr;
    TAction* actMerge = nullptr;
    TAction* actUnMerge = nullptr;
    TAction* actBezierToLine = nullptr;
    TAction* actLineToBezier = nullptr;
    TAction* actNodeSym = nullptr;
    TAction* actNodeSmooth = nullptr;
    TAction* actNodeSharp = nullptr;
    TAction* actNodeConnect = nullptr;
    TAction* actNodeDivide = nullptr;
    TAction* actOption = nullptr;
    TAction* actGridOption = nullptr;
    TAction* actSnapGrid = nullptr;
    TAction* actSnapObj = nullptr;
    TAction* actTileV = nullptr;
    TAction* actTileH = nullptr;
    TAction* actCascade = nullptr;
    TAction* actHelpContents = nullptr;
    TAction* actHP = nullptr;
    TAction* actAbout = nullptr;
    TAction* actDispSmooth = nullptr;
    TAction* actCustomize = nullptr; // not in the command table
    QComboBox* cmbZoom = nullptr;

    // Tool palette, in the order of the mode table.
    QWidget* pnlToolbarV = nullptr;
    TToolbarButton97* sbtnArrow = nullptr;
    TToolbarButton97* sbtnEditNode = nullptr;
    TToolbarButton97* sbtnAddNode = nullptr;
    TToolbarButton97* sbtnHand = nullptr;
    TToolbarButton97* sbtnPolyLine = nullptr;
    TToolbarButton97* sbtnPolyBezier = nullptr;
    TToolbarButton97* sbtnFreeHand = nullptr;
    TToolbarButton97* sbtnRect = nullptr;
    TToolbarButton97* sbtnPolygon = nullptr;
    TToolbarButton97* sbtnStar = nullptr;
    TToolbarButton97* sbtnEllipse = nullptr;
    TToolbarButton97* sbtnText = nullptr;
    std::array<TToolbarButton97*, ToolButtonCount> ToolButtons() const;

    QMdiArea* MdiArea() const { return FMdiArea; }
    // The toolbar the zoom box stands on; none when it is on none.
    TToolbar97* ZoomToolbar() const;
    // The docks along the frame's four edges that hold the toolbars.
    TDock97* Dock97Top = nullptr;
    TDock97* Dock97Bottom = nullptr;
    TDock97* Dock97Left = nullptr;
    TDock97* Dock97Right = nullptr;
    QAction* mitemForHistory = nullptr;
    THistoryMenu* HistoryMenu = nullptr;
    // The file dialogs, each made on its first use: a file dialog starts a
    // file-system model and loads its icons, which start-up need not wait for.
    TOpenPreviewDialogQ* dlgOpen();
    TOpenPreviewDialogQ* dlgOpenImage();
    TSaveDialogWex* dlgSave();
    TSaveDialogWex* dlgSaveBMP();
    TStatusPanel* StatusPanel(int32_t Index) const;
    TDdeServerConv* DdeServer() const { return TAVRO; }
    TRvClipDetector* ClipDetector() const { return FClipDetector; }
    IDropTarget* DropTarget() const;

    // Frame state: reduced views drawn smoothly ("DspSmth"), a document
    // window holds the mouse capture, the palette shows at start.
    uint8_t FbSmooth = 0;
    uint8_t FbCapture = 0;
    uint8_t FbPaletteVisible = 1;

    // The HTTP fetch of dropped URLs and the dropped files read as text.
    int32_t HttpTimeoutMs = 60000;
    int64_t HttpMaxBytes = int64_t(64) << 20;
    int64_t DroppedFileMaxBytes = int64_t(64) << 20;

    // Document windows, in MDI order: a window counts from its creation
    // until it has left the MDI area.
    std::vector<TDocWindow*> DocWindows() const;
    TDocWindow* ActiveDocWindow() const;

    // Forwarded commands (nothing without an active document window).
#define TAVRO_DECLARE_HANDLER(Name) void Name(QObject* Sender);
    TAVRO_FORWARDED_COMMANDS(TAVRO_DECLARE_HANDLER)
#undef TAVRO_DECLARE_HANDLER

    void actDispModeExecute(QObject* Sender);

    // Frame commands.
    void actNewExecute(QObject* Sender);
    void actOpenExecute(QObject* Sender);
    void actOpenImageExecute(QObject* Sender);
    void actConvertToBmpExecute(QObject* Sender);
    void actSelectTWAINExecute(QObject* Sender);
    void actInputTwainExecute(QObject* Sender);
    void actExitExecute(QObject* Sender);
    void actDispPageClick(QObject* Sender);
    void actPageAllExecute(QObject* Sender);
    void actDispColPltExecute(QObject* Sender);
    void actDispSmoothExecute(QObject* Sender);
    void actOptionExecute(QObject* Sender);
    void actCustomizeExecute(QObject* Sender);

    // --- user toolbars (shell/user_toolbars.cpp)
    // A toolbar definition: its name (also its caption) and its items, the
    // command numbers in order, -1 for a separator.
    using TToolbarDef = TUserToolbarDef;
    // The definitions, and per definition whether its toolbar shows (1) or
    // exists hidden (0).
    std::vector<TToolbarDef> ToolbarDefs;
    std::vector<uint8_t> ToolbarExists;
    // The stored definitions the limits on all toolbars together left
    // unread, as they were: the save keeps them after the toolbars there are.
    std::vector<std::string> UnreadToolbarTexts;
    // The command pictures, by command number.
    std::unique_ptr<TImageList97> ImageListBtn;
    // On every dock and toolbar: one item per toolbar, then the settings.
    QMenu* pmnuTBarPopup = nullptr;
    // Reads section "TBar4.0", makes its toolbars and loads their positions;
    // false when the section had no key.
    bool LoadUserToolbars();
    void MakeDefaultToolbars(std::vector<TToolbarDef>& Defs) const;
    void BuildUserToolbars();
    void SaveUserToolbars();
    void FillToolbarItems(TToolbar97* Toolbar, const std::vector<int32_t>& Items);
    void AddToolbarItem(int32_t Command, TToolbar97* Toolbar);
    void ToolbarVisibleChanged(QObject* Sender);
    // The frame's user toolbars, in the order they were made.
    std::vector<TToolbar97*> UserToolbars() const;
    void actTileVExecute(QObject* Sender);
    void actTileHExecute(QObject* Sender);
    void actCascadeExecute(QObject* Sender);
    void actHelpContentsExecute(QObject* Sender);
    void actHPExecute(QObject* Sender);
    void actAboutExecute(QObject* Sender);

    void sbtnToolsClick(QObject* Sender);
    void pnlToolbarVResize();
    void ApplyZoom(int32_t Percent) override;
    void SetDocumentControlsEnabled(bool Enabled);
    void UpdateDocumentActions() override;
    void SetDispAnchor(bool Visible) override;
    void UpdatePageActions();
    // Rewrites the help frame page for Context.
    void ShowHelpContext(int32_t Context);
    // The application's help event: HELP_CONTEXT (1) writes the frame page
    // for Data and opens it, clearing CallHelp; true in every case.
    bool AppPropertyHelp(uint16_t Command, int32_t Data, bool& CallHelp);

    // Opening documents.
    void OpenFile(const std::string& FileName);
    void OpenFiles(const TStringList& Files);
    // Takes Info (BITMAPINFO) and Bits over, each freed exactly once.
    TOLEDocumentWex* OpenImageFile(HGLOBAL Info, uint8_t* Bits, const std::string& FileName);
    void OpenImage(const std::string& FileName);
    // False when the person chose to stop the whole conversion.
    bool ConvertFileToBmp(const std::string& FileName);
    void HistoryMenuHistorySelected(THistoryMenu* Sender, const std::string& FileName);
    void TAVROExecuteMacro(TDdeServerConv* Sender, const std::string& Text);
    // Opens the command line's files (each failure reported on its own).
    void OpenCommandLine();
    // The drop target's events.
    void DropTargetDragEnter(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect);
    void DropTargetDragOver(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect);
    void DropTargetDrop(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect);

protected:
    bool event(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    struct TCommandRow;
    static const std::vector<TCommandRow>& CommandTable();
    void CreateCommands();
    void CreateMenus();
    void CreateToolPalette();
    void CreateZoomBox();
    void CreateStatusBar();
    void CreateDocks(QWidget* Inside);
    void CreateToolbarSupport();
    TToolbar97* NewUserToolbar(const std::string& Name);
    void FillTBarPopup();
    void CreateDialogs();
    // Gives a new file dialog the settings object and section of the frame.
    void SetUpFileDialog(TFileDialogQ& Dialog, const char* RegistryName);
    TOpenPreviewDialogQ* FdlgOpen = nullptr;
    TOpenPreviewDialogQ* FdlgOpenImage = nullptr;
    TSaveDialogWex* FdlgSave = nullptr;
    TSaveDialogWex* FdlgSaveBMP = nullptr;
    void PlaceInWorkArea();
    void FormDestroy();
    // Close query and close of the frame; false when a document refuses.
    bool FormCloseQuery();
    void FormClose();
    void FormShortCut();
    void FrameShown(bool Shown);
    void ApplicationStateChanged(Qt::ApplicationState State);
    void ClipDetectorClipChange();
    void FillWindowMenu();
    void ReattachHistoryMenu();
    void TileDocWindows(bool Vertical);
    bool MouseWheelZoom(int Delta);
    void cmbZoomKeyPress(QKeyEvent* Event, bool& Handled);
    void cmbZoomExit();
    void FocusActiveDocWindow();
    void PasteDroppedText(const std::string& Text);
    void DropUrl(IDataObject* DataObj);
    void CMFontChange();

    std::array<QObject*, CommandCount> FCommands{};
    TStringList FCommandCaptions;
    QMdiArea* FMdiArea = nullptr;
    QMenu* FWindowMenu = nullptr;
    int32_t FiToolbarLayoutWidth = 0;
    std::array<TStatusPanel*, 3> FStatusPanels{};
    TRestorePos* FRestorePos = nullptr;
    TDdeServerConv* TAVRO = nullptr;
    TRvClipDetector* FClipDetector = nullptr;
    TComPtr<TDropTarget> FDropTarget;
    QPointer<QWidget> FActiveForm;
    // Where the frame's keys were when it last stopped being the active
    // window (none: no control of its own had them).
    QPointer<QWidget> FFocusWhenLeft;
    bool HadKeysWhenLeft(QWidget* W) const;
    const void* FFontTable = nullptr;
    bool FbClosing = false;
    bool FbStarted = false;
    bool FbFloatingFormsDue = false;
    QTimer* FFloatingFormsTimer = nullptr;
    static constexpr int FloatingFormsLatestMs = 2000;
    class THistoryMenuAdapter;
    class TSaveDialogAdapter;
    std::unique_ptr<THistoryMenuAdapter> FHistoryLink;
    std::unique_ptr<TSaveDialogAdapter> FSaveDialogLink;
};
