// The frame's creation, start-up and shutdown, and its handling of the
// window system's notices (clipboard, minimising, activation, fonts).
#include "shell/main_form.h"

#include "editors/frm_plt_color.h"
#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/default_data.h"
#include "model/document.h"
#include "model/page.h"
#include "model/text_outline.h"
#include "platform/clipboard_formats.h"
#include "platform/fonts.h"
#include "platform/module_loader.h"
#include "platform/qt/application_wex.h"
#include "platform/qt/clipboard_mime.h"
#include "platform/qt/dde_server.h"
#include "platform/qt/window_routines.h"
#include "raster/picture_file.h"
#include "shell/app_property.h"
#include "shell/child_menus.h"
#include "shell/doc_area.h"
#include "shell/doc_window.h"
#include "shell/menu_style.h"
#include "editors/frm_obj_property.h"
#include "shell/status_panel.h"
#include "shell/tavro_action.h"
#include "ui/toolbar_button97.h"
#include "ui/history_menu.h"
#include "ui/ole_qt_bridge.h"
#include "ui/preview_dialogs.h"
#include "ui/restore_pos.h"
#include "ui/rv_clip_detector.h"
#include "ui/dock97.h"
#include "ui/draw_item_clipboard.h"
#include "ui/tool_window_message.h"
#include "ui/tool_window97.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGridLayout>
#include <QComboBox>
#include <QHBoxLayout>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QShortcut>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QWindowStateChangeEvent>

#include <clocale>

TfrmTavro* frmTavro = nullptr;
int32_t giPixelsPerInchX = 96;
int32_t giPixelsPerInchY = 96;
std::string gstrHelpFolder;
std::string gstrHelpFile;

namespace {

constexpr const char* Section = "4.0";

QString& DdeNameSlot()
{
    static QString Name;
    return Name;
}

// The document framework's recent list and save dialog are the frame's
// components; these pass its calls on.
TOLEDocumentWex* DocumentOf(const TOLEFormDoc* View)
{
    TOLECustomPage* Page = View ? View->Page() : nullptr;
    return Page ? dynamic_cast<TOLEDocumentWex*>(Page->Document()) : nullptr;
}

TOLEFormDoc* MakeDocWindow(TOLEDocumentWex& Document)
{
    return frmTavro ? TDocWindow::CreateDoc(*frmTavro->MdiArea(), Document, *frmTavro) : nullptr;
}

// Posted to the frame to make its floating windows.
constexpr QEvent::Type MakeFloatingFormsEvent = static_cast<QEvent::Type>(QEvent::User + 0x0802);

// Windows that follow the frame when it is minimised: every top-level
// form but the frame (document windows live inside it).
bool IsFloatingForm(const QWidget* W)
{
    // A floating tool window hides and shows itself with its form; hiding it
    // here would be taken for the user closing it.
    if (!W->isWindow() || qobject_cast<const TCustomToolWindow97*>(W))
        return false;
    const Qt::WindowType Type = W->windowType();
    return Type == Qt::Tool || Type == Qt::Window || Type == Qt::Dialog;
}

// A floating form above the frame is minimised by the window manager along
// with it, and keeps that state while hidden. Shown again so, it would be
// taken for the user minimising it, and the manager would minimise the frame
// with it once more.
void ShowFloatingForm(QWidget* W, bool Visible)
{
    if (Visible && (W->windowState() & Qt::WindowMinimized))
        W->setWindowState(W->windowState() & ~Qt::WindowMinimized);
    W->setVisible(Visible);
}

} // namespace

class TfrmTavro::THistoryMenuAdapter : public THistoryMenuLink {
public:
    explicit THistoryMenuAdapter(THistoryMenu* Menu) : FMenu(Menu) {}
    void Add(const std::string& FileName) override { FMenu->Add(FileName); }

private:
    THistoryMenu* FMenu;
};

class TfrmTavro::TSaveDialogAdapter : public TSaveDialogLink {
public:
    explicit TSaveDialogAdapter(TfrmTavro* Frame) : FFrame(Frame) {}
    bool Execute() override
    {
        TSaveDialogWex* Dialog = FFrame->dlgSave();
        Dialog->FileName = FileName;
        Dialog->InitialDir = InitialDir;
        if (!Dialog->Execute())
            return false;
        FileName = Dialog->FileName;
        return true;
    }

private:
    TfrmTavro* FFrame;
};

QString TavroDdeServerName()
{
    return DdeNameSlot().isEmpty() ? DdeServerName("TAVRO") : DdeNameSlot();
}

void SetTavroDdeServerName(const QString& Name)
{
    DdeNameSlot() = Name;
}

TRect FramePlacement(const TRect& WorkArea)
{
    const int32_t W = WorkArea.Right - WorkArea.Left;
    const int32_t H = WorkArea.Bottom - WorkArea.Top;
    if (W < 801)
        return TRect{WorkArea.Left, WorkArea.Top, WorkArea.Left + W, WorkArea.Top + H - 248};
    return TRect{WorkArea.Left + 230, WorkArea.Top, WorkArea.Left + W, WorkArea.Top + H - 300};
}

void InitMainGlobals()
{
    // The runtime's date format ("yyyy/mm/dd") has no counterpart here:
    // nothing formats dates.
    if (const QScreen* Screen = QGuiApplication::primaryScreen()) {
        giPixelsPerInchX = static_cast<int32_t>(Screen->logicalDotsPerInchX());
        giPixelsPerInchY = static_cast<int32_t>(Screen->logicalDotsPerInchY());
    }
    std::string Folder;
    GetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, "Help", Folder);
    if (Folder.empty())
        Folder = GetProgramDirectory() + "/help/";
    AddPathDelimiter(Folder);
    gstrHelpFolder = Folder;
    // The frame page is written per user, never into the program's folder.
    std::string Cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation).toStdString();
    if (Cache.empty())
        Cache = QDir::tempPath().toStdString();
    gstrHelpFile = Cache + "/tavro/tmpindex.html";
}

// ---------------------------------------------------------------------------
// FormCreate

TfrmTavro::TfrmTavro(QWidget* Parent) : QMainWindow(Parent)
{
    if (!frmTavro)
        frmTavro = this;
    setObjectName("frmTavro");
    setProperty("HelpContext", 10000);
    setAttribute(Qt::WA_DeleteOnClose, false);
    const QStringList Args = QCoreApplication::arguments();
    CommandLine = Args.mid(1);

    auto* Central = new QWidget(this);
    auto* Layout = new QHBoxLayout(Central);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->setSpacing(0);
    FMdiArea = new TDocArea(Central);
    FMdiArea->setObjectName("ClientWindow");
    CreateCommands();
    CreateToolPalette();
    Layout->addWidget(pnlToolbarV);
    Layout->addWidget(FMdiArea, 1);
    CreateDocks(Central);
    CreateZoomBox();
    CreateToolbarSupport();
    CreateMenus();
    // The document window's menus join the bar while one is active.
    AttachChildMenus(*this);
    ApplyMenuStyle(*menuBar());
    CreateStatusBar();
    CreateDialogs();
    HistoryMenu = new THistoryMenu(this);
    FHistoryLink = std::make_unique<THistoryMenuAdapter>(HistoryMenu);

    if (frmTavro == this) {
        SetMainWindowLink(this);
        SetDocWindowFactory(&MakeDocWindow);
        TOLEDocumentsWex::SetDocumentHistoryMenuAndSaveDialog(FHistoryLink.get(), FSaveDialogLink.get());
        SetProgressStatusPanel(FStatusPanels[1]);
    }

    // No application display name: the window system would add it after
    // every caption that does not end with it ("タヴロ - [画像1] — タヴロ"),
    // and the captions already say what they should.
    setWindowTitle("タヴロ");

    HistoryMenu->SetIniFile(&AppIniFile());
    HistoryMenu->SetKeyName(Section);
    HistoryMenu->SetHistoryNum(5);
    HistoryMenu->SetTargetMenuItem(mitemForHistory);
    HistoryMenu->OnHistorySelected = [this](THistoryMenu* Sender, const std::string& FileName) {
        HistoryMenuHistorySelected(Sender, FileName);
    };
    HistoryMenu->SetActive(true);

    PlaceInWorkArea();
    FRestorePos = new TRestorePos(this);
    FRestorePos->SetIniFile(&AppIniFile());
    FRestorePos->SetRegistryKey(Section);
    FRestorePos->SetRegistryName("PosMain");

    // The DDE server conversation "TAVRO": the first frame of the user serves it.
    TAVRO = new TDdeServerConv(this);
    TAVRO->OnExecuteMacro = [this](TDdeServerConv* Sender, const std::string& Text) {
        TAVROExecuteMacro(Sender, Text);
    };
    TAVRO->Start(TavroDdeServerName());

    auto* Undo = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Backspace), this);
    connect(Undo, &QShortcut::activated, this, [this] { FormShortCut(); });
    // The application's hint and locale properties.
    if (auto* App = qobject_cast<QApplication*>(QCoreApplication::instance()))
        (new TAppProperty(this))->Loaded(*App);
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState State) { ApplicationStateChanged(State); });
    qApp->installEventFilter(this);
}

// The docks at the four edges around the palette and the document area.
void TfrmTavro::CreateDocks(QWidget* Inside)
{
    auto* Frame = new QWidget(this);
    auto* Grid = new QGridLayout(Frame);
    Grid->setContentsMargins(0, 0, 0, 0);
    Grid->setSpacing(0);
    const auto Make = [Frame](const char* Name, TDockPosition Position) {
        auto* Dock = new TDock97(nullptr, Position);
        Dock->setObjectName(Name);
        Dock->setParent(Frame);
        return Dock;
    };
    Dock97Top = Make("Dock97Top", dpTop);
    Dock97Top->SetBoundLines(BoundLineBit(blTop));
    Dock97Bottom = Make("Dock97Bottom", dpBottom);
    Dock97Left = Make("Dock97Left", dpLeft);
    Dock97Right = Make("Dock97Right", dpRight);
    Grid->addWidget(Dock97Top, 0, 0, 1, 3);
    Grid->addWidget(Dock97Left, 1, 0);
    Grid->addWidget(Inside, 1, 1);
    Grid->addWidget(Dock97Right, 1, 2);
    Grid->addWidget(Dock97Bottom, 2, 0, 1, 3);
    Grid->setRowStretch(1, 1);
    Grid->setColumnStretch(1, 1);
    for (TDock97* Dock : {Dock97Top, Dock97Bottom, Dock97Left, Dock97Right})
        Dock->LayOutRows(false);
    setCentralWidget(Frame);
}

void TfrmTavro::CreateStatusBar()
{
    QStatusBar* Bar = statusBar();
    for (size_t I = 0; I < FStatusPanels.size(); ++I) {
        FStatusPanels[I] = new TStatusPanel(Bar);
        Bar->addWidget(FStatusPanels[I], I == 1 ? 2 : 1);
    }
}

TStatusPanel* TfrmTavro::StatusPanel(int32_t Index) const
{
    return FStatusPanels.at(size_t(Index));
}

void TfrmTavro::CreateDialogs()
{
    FSaveDialogLink = std::make_unique<TSaveDialogAdapter>(this);
}

void TfrmTavro::SetUpFileDialog(TFileDialogQ& Dialog, const char* RegistryName)
{
    Dialog.SetRegistryName(RegistryName);
    Dialog.SetIniFile(&AppIniFile());
    Dialog.SetRegistryKey(Section);
}

TOpenPreviewDialogQ* TfrmTavro::dlgOpen()
{
    if (!FdlgOpen) {
        FdlgOpen = new TOpenPreviewDialogQ(this);
        FdlgOpen->Filter = "タヴロデータファイル(*.srn)|*.srn|All Files (*.*)|*.*";
        FdlgOpen->setDefaultSuffix("srn");
        FdlgOpen->AllowMultiSelect = true;
        SetUpFileDialog(*FdlgOpen, "DlgOpen");
    }
    return FdlgOpen;
}

TOpenPreviewDialogQ* TfrmTavro::dlgOpenImage()
{
    if (!FdlgOpenImage) {
        FdlgOpenImage = new TOpenPreviewDialogQ(this);
        FdlgOpenImage->Title = "画像を開く";
        FdlgOpenImage->AllowMultiSelect = true;
        FdlgOpenImage->PreviewTypes = opdftGraphic;
        FdlgOpenImage->OptionsEx = opdoPreview;
        GetPictureFileFilter(FdlgOpenImage->Filter);
        SetUpFileDialog(*FdlgOpenImage, "DlgOpenImage");
    }
    return FdlgOpenImage;
}

TSaveDialogWex* TfrmTavro::dlgSave()
{
    if (!FdlgSave) {
        FdlgSave = new TSaveDialogWex(this);
        FdlgSave->Filter = "タヴロデータファイル(*.srn)|*.srn";
        FdlgSave->setDefaultSuffix("srn");
        SetUpFileDialog(*FdlgSave, "DlgSave");
    }
    return FdlgSave;
}

TSaveDialogWex* TfrmTavro::dlgSaveBMP()
{
    if (!FdlgSaveBMP) {
        FdlgSaveBMP = new TSaveDialogWex(this);
        FdlgSaveBMP->Filter = "ビットマップ(*.bmp)|*.bmp";
        FdlgSaveBMP->setDefaultSuffix("bmp");
        SetUpFileDialog(*FdlgSaveBMP, "DlgSaveBMP");
    }
    return FdlgSaveBMP;
}

void TfrmTavro::PlaceInWorkArea()
{
    TRect R;
    if (!GetWorkAreaRect(R))
        return;
    // By the whole window, title bar and border included: it ends where the
    // property panel's band at the work area's bottom begins.
    const TRect P = FramePlacement(R);
    SetWindowFrameBounds(this, P.Left, P.Top, P.Right - P.Left, P.Bottom - P.Top);
}

// ---------------------------------------------------------------------------
// StartUp

void TfrmTavro::StartUp()
{
    // Numbers are written and read with "." whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");

    TMemIniFile& Ini = AppIniFile();
    FbSmooth = Ini.ReadBool(Section, "DspSmth", false) ? 1 : 0;
    actDispSmooth->setChecked(FbSmooth != 0);

    // A first start shows the built-in toolbars, one row each.
    if (!LoadUserToolbars()) {
        MakeDefaultToolbars(ToolbarDefs);
        ToolbarExists.assign(ToolbarDefs.size(), 1);
        BuildUserToolbars();
    }

    if (TDefaultData* Defaults = GetDefaultAttributes())
        Defaults->OnChange = [this](TDefaultData* Sender) { DefaultDataChanged(Sender); };

    if (!gDocuments)
        throw EUserError("uDocumentAC.initialization: gDocuments = nil");
    if (gDocuments->GetCount() == 0) {
        gDocuments->SetPageClass(&NewPageTPage);
        gDocuments->SetDocumentClass(&NewDocumentTDocument);
    }
    gDocuments->SetStatusPanel(FStatusPanels[1]);
    FbCapture = 0;

    FMdiArea->hide();
    struct TShowAgain {
        QMdiArea* Area;
        ~TShowAgain() { Area->show(); }
    } ShowAgain{FMdiArea};
    OpenCommandLine();
    if (DocWindows().empty())
        NewDocument();

    const std::string Flags = Ini.ReadString(Section, "Flags", "");
    FbPaletteVisible = 1;
    if (!Flags.empty()) {
        int32_t Pos = 1;
        for (int I = 0; I < 3; ++I)
            GetFieldInt(Flags, Pos, ',', 0);
        FbPaletteVisible = GetFieldInt(Flags, Pos, ',', 1) != 0 ? 1 : 0;
    }

    FClipDetector = new TRvClipDetector(this);
    FClipDetector->IgnoreFirst = false;
    FClipDetector->SetOnClipChange([this](QObject*) { ClipDetectorClipChange(); });

    FDropTarget = MakeCom<TDropTarget>(TFormatEtcList{MakeFormatEtc(CF_HDROP), MakeFormatEtc(CFUniformResourceLocator())});
    FDropTarget->OnDragEnter = [this](IDataObject* D, uint32_t K, POINTL P, uint32_t& E) { DropTargetDragEnter(D, K, P, E); };
    FDropTarget->OnDragOver = [this](IDataObject* D, uint32_t K, POINTL P, uint32_t& E) { DropTargetDragOver(D, K, P, E); };
    FDropTarget->OnDrop = [this](IDataObject* D, uint32_t K, POINTL P, uint32_t& E) { DropTargetDrop(D, K, P, E); };
    RegisterDragDrop(this, FDropTarget.Get());

    // The palette and the panel's page windows cost more to make than the
    // frame: they are made right after the frame's first paint, so that the
    // frame does not wait for them (or at once by the first use of either).
    const auto Make = [this] { MakeFloatingForms(); };
    frmPltColor.MakeWhenAsked(Make);
    frmObjProperty.MakeWhenAsked(Make);
    FbFloatingFormsDue = true;
    FFloatingFormsTimer = new QTimer(this);
    FFloatingFormsTimer->setSingleShot(true);
    connect(FFloatingFormsTimer, &QTimer::timeout, this, [this] {
        // Behind all that is queued by then: what the window system said of
        // the frame's showing, and the user's first keys and clicks.
        QCoreApplication::postEvent(this, new QEvent(MakeFloatingFormsEvent), Qt::LowEventPriority);
    });
    UpdatePageActions();

    if (gDocuments->GetCount() > 0)
        gDocuments->GetDocument(0)->History()->ResetObjCount();
    FbStarted = true;
}

void TfrmTavro::MakeFloatingForms()
{
    if (!FbFloatingFormsDue)
        return;
    FbFloatingFormsDue = false;
    if (FFloatingFormsTimer)
        FFloatingFormsTimer->stop();
    frmPltColor.MakeWhenAsked(nullptr);
    frmObjProperty.MakeWhenAsked(nullptr);
    // The frame keeps the keys (or takes them, when the window system has
    // not given them to it yet): a floating window shown now must not take
    // them from it, as the frame shown after the floating windows took them.
    const bool FrameActive = isActiveWindow() || !QApplication::activeWindow();
    if (!frmPltColor)
        frmPltColor = new TfrmPltColor(this);
    frmPltColor->setVisible(FbPaletteVisible != 0);
    if (!frmObjProperty) {
        // The panel form stays hidden: its pages live in page windows.
        frmObjProperty = std::make_unique<TfrmObjProperty>(this);
        frmObjProperty->RestoreDispPage();
    }
    // Ctrl+Z and Ctrl+Y in the panel's controls are the document's.
    frmObjProperty->SetHistoryCommands(actUndo, actRedo);
    FFontTable = &InstalledFonts();
    UpdatePageActions();
    // The active document window's selection, which its activation could
    // not give a panel not yet made.
    if (TDocWindow* C = ActiveDocWindow())
        C->ReloadPanelReported();
    if (windowState() & Qt::WindowMinimized)
        FrameShown(false);
    else if (FrameActive)
        activateWindow();
}

void TfrmTavro::OpenCommandLine()
{
    if (CommandLine.isEmpty())
        return;
    const QString First = CommandLine.first();
    if (First.compare("/e", Qt::CaseInsensitive) == 0 || First.compare("-e", Qt::CaseInsensitive) == 0)
        return;
    // One file that fails is reported and the others still open: start-up
    // must go on to make the windows that shutdown relies on.
    for (const QString& Arg : CommandLine) {
        try {
            OpenFile(Arg.toStdString());
        } catch (...) {
            ShowEventException(std::current_exception());
        }
    }
}

bool PageDefaultsUsable(int32_t Width, int32_t Height)
{
    return Width >= 1 && Height >= 1 && PageSizeAllowed(Width, Height);
}

void TfrmTavro::NewDocument()
{
    if (!gDocuments)
        return;
    TMemIniFile& Ini = AppIniFile();
    int32_t Width = Ini.ReadInteger(Section, "PgDWidth", DefaultPageWidth);
    int32_t Height = Ini.ReadInteger(Section, "PgDHeight", DefaultPageHeight);
    if (!PageDefaultsUsable(Width, Height)) {
        // Raising here would end the start-up, and the next one, for as
        // long as the file holds the values: they are refused and removed
        // instead, so the user is told once.
        Ini.DeleteKey(Section, "PgDWidth");
        Ini.DeleteKey(Section, "PgDHeight");
        WarningMessageBox("設定ファイル " + Ini.FileName() + " の新規ページのサイズ (\"PgDWidth\" = " +
                          std::to_string(Width) + ", \"PgDHeight\" = " + std::to_string(Height) +
                          ") は使えません。既定の " + std::to_string(DefaultPageWidth) + " x " +
                          std::to_string(DefaultPageHeight) + " を使います。");
        Width = DefaultPageWidth;
        Height = DefaultPageHeight;
    }
    gDocuments->NewDocument(Width, Height);
}

void TfrmTavro::DefaultDataChanged(TDefaultData* Sender)
{
    if (Sender)
        actRuler->setChecked(Sender->ShowRuler() != 0);
    for (TDocWindow* C : DocWindows()) {
        C->FormResize();
        C->update();
    }
}

void TfrmTavro::FileExit()
{
    if (!gDocuments || gDocuments->CanCloseAll())
        close();
}

// ---------------------------------------------------------------------------
// Shutdown

bool TfrmTavro::FormCloseQuery()
{
    const std::vector<TDocWindow*> Windows = DocWindows();
    bool Max = Windows.empty();
    for (TDocWindow* C : Windows)
        if (QMdiSubWindow* Sub = C->SubWindow(); Sub && Sub->isMaximized())
            Max = true;
    AppIniFile().WriteInteger(Section, "MaxFrmChild", Max ? 1 : 0);
    for (TDocWindow* C : Windows)
        if (TOLEDocumentWex* Doc = DocumentOf(C); Doc && !Doc->CanCloseForm(C))
            return false;
    return true;
}

void TfrmTavro::FormClose()
{
    // Palette shown: as the settings had it while it is still due.
    const bool Palette =
        FbFloatingFormsDue ? FbPaletteVisible != 0 : frmPltColor.Made() && frmPltColor.Made()->isVisible();
    AppIniFile().WriteString(Section, "Flags", std::string("1,1,1,") + (Palette ? "1" : "0"));
}

void TfrmTavro::closeEvent(QCloseEvent* Event)
{
    if (FbClosing) {
        Event->accept();
        return;
    }
    // A save that raises (a write error, a full disk) must leave the frame
    // and its documents as they were: the close is refused before the error
    // goes on to the one place that reports it.
    bool CanClose = false;
    try {
        // The value the panel shows live is the document's before it is asked.
        if (TfrmObjProperty* Panel = frmObjProperty.Made())
            Panel->CommitPending();
        CanClose = FormCloseQuery();
    } catch (...) {
        Event->ignore();
        throw;
    }
    if (!CanClose) {
        Event->ignore();
        return;
    }
    FormClose();
    FbClosing = true;
    Event->accept();
}

TfrmTavro::~TfrmTavro()
{
    FormDestroy();
}

void TfrmTavro::FormDestroy()
{
    FbClosing = true;
    // Floating windows never made are not made now: their makers go.
    if (FbFloatingFormsDue) {
        FbFloatingFormsDue = false;
        frmPltColor.MakeWhenAsked(nullptr);
        frmObjProperty.MakeWhenAsked(nullptr);
    }
    // The panel's page windows are this window's: their pages go back to
    // the panel, which outlives the frame.
    if (TfrmObjProperty* Panel = frmObjProperty.Made())
        Panel->BringPagesHome();
    qApp->removeEventFilter(this);
    AppIniFile().WriteBool(Section, "DspSmth", FbSmooth != 0);
    if (FbStarted)
        SaveUserToolbars();
    if (FRestorePos)
        FRestorePos->Save();
    if (FDropTarget) {
        RevokeDragDrop(this);
        FDropTarget.Reset();
    }
    const QList<QMdiSubWindow*> Subs = FMdiArea->subWindowList(QMdiArea::CreationOrder);
    for (auto It = Subs.rbegin(); It != Subs.rend(); ++It)
        delete *It;
    if (FClipDetector)
        FClipDetector->SetOnClipChange(nullptr);
    if (frmTavro == this) {
        if (TDefaultData* Defaults = GetDefaultAttributes())
            Defaults->OnChange = nullptr;
        if (gDocuments)
            gDocuments->SetStatusPanel(nullptr);
        SetProgressStatusPanel(nullptr);
        TOLEDocumentsWex::SetDocumentHistoryMenuAndSaveDialog(nullptr, nullptr);
        SetDocWindowFactory(nullptr);
        SetMainWindowLink(nullptr);
        frmTavro = nullptr;
    }
}

// ---------------------------------------------------------------------------
// Window system notices

void TfrmTavro::ClipDetectorClipChange()
{
    actPaste->setEnabled(ClipboardHasDrawItem());
}

void TfrmTavro::changeEvent(QEvent* Event)
{
    QMainWindow::changeEvent(Event);
    if (Event->type() == QEvent::ActivationChange && !isActiveWindow())
        FFocusWhenLeft = focusWidget();
    if (Event->type() != QEvent::WindowStateChange)
        return;
    const bool WasMinimized = static_cast<QWindowStateChangeEvent*>(Event)->oldState() & Qt::WindowMinimized;
    const bool Minimized = windowState() & Qt::WindowMinimized;
    if (WasMinimized != Minimized)
        FrameShown(!Minimized);
}

void TfrmTavro::FrameShown(bool Shown)
{
    if (FbClosing)
        return;
    for (QWidget* W : QApplication::topLevelWidgets()) {
        if (W == this || !IsFloatingForm(W))
            continue;
        // A modal window runs its own loop, which hiding it would end as if
        // cancelled, and its work with it: it stays.
        if (!Shown && W->isModal() && W->isVisible())
            continue;
        if (!Shown) {
            W->setProperty("Tag", W->isVisible() ? 1 : 0);
            W->hide();
        } else if (W->property("Tag").isValid()) {
            ShowFloatingForm(W, W->property("Tag").toInt() != 0);
        }
    }
    if (Shown && FActiveForm) {
        QWidget* Form = FActiveForm;
        FActiveForm = nullptr;
        if (dynamic_cast<TDocWindow*>(Form)) {
            setFocus();
        } else {
            ShowFloatingForm(Form, true);
            Form->activateWindow();
        }
    }
}

void TfrmTavro::ApplicationStateChanged(Qt::ApplicationState State)
{
    if (FbClosing)
        return;
    if (State == Qt::ApplicationInactive) {
        FActiveForm = QApplication::activeWindow();
        return;
    }
    if (State != Qt::ApplicationActive)
        return;
    CMFontChange();
    if (windowState() & Qt::WindowMinimized)
        return;
    if (FActiveForm && FActiveForm != this) {
        QWidget* Form = FActiveForm;
        FActiveForm = nullptr;
        if (!Form->isVisible())
            Form->show();
        Form->activateWindow();
    }
}

void TfrmTavro::CMFontChange()
{
    // Fonts installed while the program ran: the list of installed fonts is
    // read again when the fonts have changed since. It is first read for
    // the panel, after the frame has shown: nothing to compare before.
    if (!FFontTable)
        return;
    const void* Table = &UpdateInstalledFonts();
    if (Table == FFontTable)
        return;
    FFontTable = Table;
    ClearFontList();
}

bool TfrmTavro::event(QEvent* Event)
{
    if (Event->type() == TToolWindowClosedEvent::EventType) {
        QWidget* Window = static_cast<TToolWindowClosedEvent*>(Event)->Window();
        if (Window && Window == frmPltColor.Made())
            actDispColPlt->setChecked(false);
        else
            UpdatePageActions();
        return true;
    }
    if (Event->type() == MakeFloatingFormsEvent) {
        // Never under a dialog: their showing would take the activation
        // from it, and they would stand over its owner. They come when it
        // closes (WindowUnblocked).
        if (FbFloatingFormsDue && !QApplication::activeModalWidget())
            MakeFloatingForms();
        return true;
    }
    switch (Event->type()) {
    // The floating windows due come after the frame's first paint (once
    // that paint and its flush to the window system are done), or after
    // the dialog that blocked the frame then has closed; a frame shown
    // where it is not painted (minimised, on another desktop) has them a
    // little later all the same.
    case QEvent::Show:
        if (FbFloatingFormsDue && !FFloatingFormsTimer->isActive())
            FFloatingFormsTimer->start(FloatingFormsLatestMs);
        break;
    case QEvent::Paint:
    case QEvent::WindowUnblocked:
        if (FbFloatingFormsDue)
            FFloatingFormsTimer->start(0);
        break;
    case QEvent::WindowActivate:
        if (!ActiveDocWindow())
            ReattachHistoryMenu();
        break;
    case QEvent::StyleChange:
    case QEvent::ThemeChange:
        // The system's metrics may have changed: the windows lay out again.
        for (TDocWindow* C : DocWindows())
            C->FormResize();
        break;
    default:
        break;
    }
    return QMainWindow::event(Event);
}

// ---------------------------------------------------------------------------
// The core's calls

TOLEFormDoc* TfrmTavro::GetActiveForm()
{
    return ActiveDocWindow();
}

void TfrmTavro::SetStatusText(int32_t Panel, const std::string& Text)
{
    if (Panel >= 0 && Panel < int32_t(FStatusPanels.size()))
        FStatusPanels[size_t(Panel)]->SetText(Text);
}

std::vector<TDocWindow*> TfrmTavro::DocWindows() const
{
    std::vector<TDocWindow*> Result;
    for (QMdiSubWindow* Sub : FMdiArea->subWindowList(QMdiArea::CreationOrder))
        if (auto* C = dynamic_cast<TDocWindow*>(Sub->widget()))
            Result.push_back(C);
    return Result;
}

TDocWindow* TfrmTavro::ActiveDocWindow() const
{
    QMdiSubWindow* Sub = FMdiArea->currentSubWindow();
    auto* C = Sub ? dynamic_cast<TDocWindow*>(Sub->widget()) : nullptr;
    return C && C->Page() ? C : nullptr;
}

IDropTarget* TfrmTavro::DropTarget() const
{
    return FDropTarget.Get();
}
