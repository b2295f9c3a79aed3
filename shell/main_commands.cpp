// The frame's commands: the command table, the menus, forwarding to the
// active document window, the tool palette, the zoom box, the window, view
// and property-page commands, and help.
#include "shell/main_form.h"

#include "shell/about_form.h"

#include "editors/frm_obj_property.h"
#include "editors/frm_plt_color.h"
#include "foundation/app_environment.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/default_data.h"
#include "model/document.h"
#include "model/page.h"
#include "model/selection.h"
#include "platform/message_box.h"
#include "platform/qt/application_wex.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/window_routines.h"
#include "platform/safe_write.h"
#include "shell/browser_open.h"
#include "shell/doc_window.h"
#include "shell/history_bracket.h"
#include "shell/option_form.h"
#include "shell/tavro_action.h"
#include "ui/frm_rollup.h"
#include "ui/history_menu.h"
#include "ui/page_control_wex.h"
#include "ui/toolbar_button97.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPointer>
#include <QResizeEvent>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>

namespace {

constexpr const char* HomePageUrl = "http://www.tavro.example/";
// The help's contents: its first page, of the program's screen.
constexpr int32_t HelpContentsContext = 10000;
constexpr uint8_t cfCheckable = 1;
constexpr uint8_t cfChecked = 2;
constexpr uint8_t cfDisabled = 4;

// The palette reports its height changes to the frame.
class TToolPalette : public QWidget {
public:
    TToolPalette(QWidget* Parent, TfrmTavro* Frame) : QWidget(Parent), FFrame(Frame) {}

protected:
    void resizeEvent(QResizeEvent* Event) override
    {
        QWidget::resizeEvent(Event);
        if (Event->size().height() != Event->oldSize().height())
            FFrame->pnlToolbarVResize();
    }

private:
    TfrmTavro* FFrame;
};

struct TToolRow {
    TToolbarButton97* TfrmTavro::*Button;
    const char* Name;
    const char* Hint;
    const char* Glyph; // the text shown while the button has no picture
    uint8_t Mode;
    uint8_t PolyMode;
    const char* Caption;
};

const TToolRow ToolRows[TfrmTavro::ToolButtonCount] = {
    {&TfrmTavro::sbtnArrow, "sbtnArrow", "", "選", 0, 0, "「選択・変形」ツールの選択"},
    {&TfrmTavro::sbtnEditNode, "sbtnEditNode", "", "節", 6, 0, "「ノード編集」ツールの選択"},
    {&TfrmTavro::sbtnAddNode, "sbtnAddNode", "", "追", 13, 0, "「ノード追加」ツールの選択"},
    {&TfrmTavro::sbtnHand, "sbtnHand", "", "手", 3, 0, "「ハンド」ツールの選択"},
    {&TfrmTavro::sbtnPolyLine, "sbtnPolyLine", "直線", "線", 15, 1, "「直線」ツールの選択"},
    {&TfrmTavro::sbtnPolyBezier, "sbtnPolyBezier", "曲線", "曲", 15, 2, "「ベジェ曲線」ツールの選択"},
    {&TfrmTavro::sbtnFreeHand, "sbtnFreeHand", "", "筆", 15, 3, "「手書き」ツールの選択"},
    {&TfrmTavro::sbtnRect, "sbtnRect", "四角", "四", 15, 4, "「四角形」ツールの選択"},
    {&TfrmTavro::sbtnPolygon, "sbtnPolygon", "多角形", "多", 15, 5, "「多角形」ツールの選択"},
    {&TfrmTavro::sbtnStar, "sbtnStar", "星型", "星", 15, 6, "「星型」ツールの選択"},
    {&TfrmTavro::sbtnEllipse, "sbtnEllipse", "円/楕円", "円", 15, 7, "「円／楕円」ツールの選択"},
    {&TfrmTavro::sbtnText, "sbtnText", "", "字", 14, 0, "「テキスト」ツールの選択"},
};

constexpr int32_t ZoomLadder[] = {10, 25, 50, 100, 200, 400, 800, 1600};

// The zoom box's text as an integer; 0 when it is none.
int32_t ZoomBoxValue(const QString& Text)
{
    int32_t Value = 0;
    return TryStrToInt(Text.toStdString(), Value) ? Value : 0;
}

} // namespace

std::string CaptionToHint(const std::string& Caption)
{
    const size_t N = Caption.size();
    if (N >= 7 && Caption.compare(N - 7, 2, "(&") == 0 && Caption.compare(N - 4, 4, ")...") == 0)
        return Caption.substr(0, N - 7);
    if (N >= 4 && Caption.compare(N - 4, 2, "(&") == 0 && Caption[N - 1] == ')')
        return Caption.substr(0, N - 4);
    return Caption;
}

int32_t WheelZoomStep(int32_t Zoom, bool Down)
{
    if (Down) {
        for (auto It = std::rbegin(ZoomLadder); It != std::rend(ZoomLadder); ++It)
            if (*It < Zoom)
                return *It;
        return ZoomLadder[0];
    }
    for (int32_t Step : ZoomLadder)
        if (Step > Zoom)
            return Step;
    return std::rbegin(ZoomLadder)[0];
}

std::vector<std::string> HelpFrameLines(int32_t Context, const std::string& HelpUrl)
{
    char Page[16];
    char Anchor[16];
    std::snprintf(Page, sizeof Page, "%.4d", Context / 10000);
    std::snprintf(Anchor, sizeof Anchor, "%.4d", Context % 10000);
    return {
        "<html>",
        "<head>",
        "<title>タヴロのヘルプ</title>",
        "</head>",
        "<frameset cols=\"170,*\">",
        "  <frame name=\"contents\" target=\"main\" src=\"" + HelpUrl + "menu.html\"",
        "   scrolling=\"auto\" marginwidth=\"0\" marginheight=\"0\">",
        "  <frame name=\"main\" src=\"" + HelpUrl + "f" + Page + ".html#" + Anchor + "\">",
        "  <noframes>",
        "  <body>",
        "  <p>このページにはフレームが使用されていますが、お使いのブラウザではサポートされていません。</p>",
        "  </body>",
        "  </noframes>",
        "</frameset>",
        "</html>",
    };
}

// ---------------------------------------------------------------------------
// The command table

struct TfrmTavro::TCommandRow {
    TAction* TfrmTavro::*Member; // nil: the zoom box
    const char* Name;
    const char* Caption;
    int32_t HelpContext;
    const char* Shortcut;
    void (TfrmTavro::*Handler)(QObject*);
    uint8_t Flags;
};

const std::vector<TfrmTavro::TCommandRow>& TfrmTavro::CommandTable()
{
    using F = TfrmTavro;
    static const std::vector<TCommandRow> Rows = {
        {&F::actNew, "actNew", "新規作成(&N)", 2000101, "Ctrl+N", &F::actNewExecute, 0},
        {&F::actOpen, "actOpen", "開く(&O)...", 2000102, "Ctrl+O", &F::actOpenExecute, 0},
        {&F::actOpenImage, "actOpenImage", "画像を開く(&I)...", 2000111, "", &F::actOpenImageExecute, 0},
        {&F::actClose, "actClose", "閉じる(&C)", 2000103, "", &F::actCloseExecute, 0},
        {&F::actSave, "actSave", "上書き保存(&S)", 2000104, "Ctrl+S", &F::actSaveExecute, 0},
        {&F::actSaveAs, "actSaveAs", "名前をつけて保存(&A)...", 2000105, "Ctrl+Shift+S", &F::actSaveAsExecute, 0},
        {&F::actSaveBMP, "actSaveBMP", "画像として保存...", 2000106, "", &F::actSaveBMPExecute, 0},
        {&F::actBmpTrace, "actBmpTrace", "ビットマップ画像のアウトライン変換", 2000112, "", &F::actBmpTraceExecute, 0},
        {&F::actSelectTwain, "actSelectTwain", "TWAIN機器の選択(&W)...", 2000120, "", &F::actSelectTWAINExecute, 0},
        {&F::actInputTwain, "actInputTwain", "TWAIN機器から画像を開く(&T)...", 2000121, "", &F::actInputTwainExecute, 0},
        {&F::actMorvo, "actMorvo", "モルヴォの起動", 2000107, "Ctrl+Shift+G", &F::actMorvoExecute, 0},
        {&F::actPrintSetup, "actPrintSetup", "ページ設定(&U)...", 2000108, "", &F::actPrintSetupExecute, 0},
        {&F::actPrint, "actPrint", "印刷(&P)...", 2000109, "", &F::actPrintExecute, 0},
        {&F::actConvertToBmp, "actConvertToBmp", "BMP一括変換(&C)", 2000122, "", &F::actConvertToBmpExecute, 0},
        {&F::actExit, "actExit", "終了(&X)", 2000110, "", &F::actExitExecute, 0},
        {&F::actUndo, "actUndo", "元に戻す", 2000208, "Ctrl+Z", &F::actUndoExecute, cfDisabled},
        {&F::actRedo, "actRedo", "やり直し", 2000209, "Ctrl+Y", &F::actRedoExecute, cfDisabled},
        {&F::actCut, "actCut", "切り取り(&T)", 2000201, "Ctrl+X", &F::actCutExecute, 0},
        {&F::actCopy, "actCopy", "コピー(&C)", 2000202, "Ctrl+C", &F::actCopyExecute, 0},
        {&F::actPaste, "actPaste", "貼り付け(&P)", 2000203, "Ctrl+V", &F::actPasteExecute, 0},
        {&F::actDel, "actDel", "削除(&D)", 2000204, "Del", &F::actDelExecute, 0},
        {&F::actDup, "actDup", "複製(U)", 2000205, "Ctrl+D", &F::actDupExecute, 0},
        {&F::actSelAll, "actSelAll", "全て選択(&L)", 2000206, "Ctrl+A", &F::actSelAllExecute, 0},
        {&F::actCopyAsBMP, "actCopyAsBMP", "BMP画像としてコピー(&B)", 2000207, "", &F::actCopyAsBMPExecute, 0},
        {&F::actDispHigh, "actDispHigh", "画質高(&H)", 2000302, "", &F::actDispModeExecute, cfCheckable},
        {&F::actDispMid, "actDispMid", "画質中(&M)", 2000303, "", &F::actDispModeExecute, cfCheckable},
        // 200304, not 2000304: the page the help has always opened for it.
        {&F::actDispLow, "actDispLow", "画質低(&L)", 200304, "", &F::actDispModeExecute, cfCheckable},
        {&F::actDispWire, "actDispWire", "ワイヤフレーム(&W)", 2000305, "", &F::actDispModeExecute, cfCheckable | cfChecked},
        {&F::actZoomIn, "actZoomIn", "拡大表示(&O)", 2000306, "", &F::actZoomInExecute, 0},
        {&F::actZoomOut, "actZoomOut", "縮小表示(&I)", 2000307, "", &F::actZoomOutExecute, 0},
        {&F::actCommonPage, "actCommonPage", "一般ページ", 2000311, "", &F::actDispPageClick, cfCheckable},
        {&F::actMacPaintPropertyPage, "actMacPaintPropertyPage", "マクロページ", 2000312, "", &F::actDispPageClick, cfCheckable},
        {&F::actShapePage, "actShapePage", "形状ページ", 2000313, "", &F::actDispPageClick, cfCheckable},
        {&F::actTextPage, "actTextPage", "テキストページ", 2000314, "", &F::actDispPageClick, cfCheckable},
        {&F::actOutlinePage, "actOutlinePage", "外形ページ", 2000313, "", &F::actDispPageClick, cfCheckable},
        {&F::actPageAll, "actPageAll", "全ページ表示", 2000319, "", &F::actPageAllExecute, 0},
        {&F::actDispColPlt, "actDispColPlt", "ドラッグパレット", 2000315, "", &F::actDispColPltExecute, cfCheckable},
        {&F::actDispAnchor, "actDispAnchor", "アンカー", 2000318, "", &F::actDispAnchorExecute, cfCheckable | cfChecked},
        {&F::actShowGrid, "actShowGrid", "グリッド", 2000316, "", &F::actShowGridExecute, cfCheckable | cfChecked},
        {&F::actRuler, "actRuler", "ルーラ", 2000320, "", &F::actRulerExecute, cfCheckable},
        {&F::act1Up, "act1Up", "１つ手前に", 2000401, "", &F::act1UpExecute, 0},
        {&F::act1Down, "act1Down", "１つ後ろへ", 2000402, "", &F::act1DownExecute, 0},
        {&F::actTop, "actTop", "１番手前に", 2000403, "", &F::actTopExecute, 0},
        {&F::actBottom, "actBottom", "１番後ろへ", 2000404, "", &F::actBottomExecute, 0},
        {&F::actArngLeft, "actArngLeft", "左寄せ配置", 2000405, "", &F::actArngLeftExecute, 0},
        {&F::actArngRight, "actArngRight", "右寄せ配置", 2000406, "", &F::actArngRightExecute, 0},
        {&F::actCenterH, "actCenterH", "水平に中央配置", 2000407, "", &F::actCenterHExecute, 0},
        {&F::actImgCenterH, "actImgCenterH", "水平に画像中央配置", 2000408, "", &F::actImgCenterHExecute, 0},
        {&F::actEqualH, "actEqualH", "水平に均等配置", 2000409, "", &F::actEqualHExecute, 0},
        {&F::actArngTop, "actArngTop", "上寄せ配置", 2000410, "", &F::actArngTopExecute, 0},
        {&F::actArngBottom, "actArngBottom", "下寄せ配置", 2000411, "", &F::actArngBottomExecute, 0},
        {&F::actCenterV, "actCenterV", "垂直に中央配置", 2000412, "", &F::actCenterVExecute, 0},
        {&F::actImgCenterV, "actImgCenterV", "垂直に画像中央配置", 2000413, "", &F::actImgCenterVExecute, 0},
        {&F::actEqualV, "actEqualV", "垂直に均等配置", 2000414, "", &F::actEqualVExecute, 0},
        {&F::actToPolyLine, "actToPolyLine", "線図形化", 2000501, "", &F::actToPolyLineExecute, 0},
        {&F::actMerge, "actMerge", "線合成", 2000502, "", &F::actMergeExecute, 0},
        {&F::actUnMerge, "actUnMerge", "線合成解除", 2000503, "", &F::actUnMergeExecute, 0},
        {&F::actBezierToLine, "actBezierToLine", "直線化", 2000601, "", &F::actBezierToLineExecute, 0},
        {&F::actLineToBezier, "actLineToBezier", "曲線化", 2000602, "", &F::actLineToBezierExecute, 0},
        {&F::actNodeSym, "actNodeSym", "ノード対称化", 2000603, "", &F::actNodeSymExecute, 0},
        {&F::actNodeSmooth, "actNodeSmooth", "ノードスムーズ化", 2000604, "", &F::actNodeSmoothExecute, 0},
        {&F::actNodeSharp, "actNodeSharp", "ノード突化", 2000605, "", &F::actNodeSharpExecute, 0},
        {&F::actNodeConnect, "actNodeConnect", "端点連結", 2000606, "", &F::actNodeConnectExecute, 0},
        {&F::actNodeDivide, "actNodeDivide", "分割", 2000607, "", &F::actNodeDivideExecute, 0},
        {&F::actOption, "actOption", "環境設定(&O)...", 2000703, "", &F::actOptionExecute, 0},
        {&F::actGridOption, "actGridOption", "グリッド・ルーラ設定", 2000701, "", &F::actGridOptionExecute, 0},
        {&F::actSnapGrid, "actSnapGrid", "グリッドへスナップ", 2000702, "", &F::actSnapGridExecute, cfCheckable | cfChecked},
        {&F::actSnapObj, "actSnapObj", "オブジェクトへスナップ", 2000704, "", &F::actSnapObjExecute, cfCheckable | cfChecked},
        {&F::actTileV, "actTileV", "縦に並べて表示(&V)", 2000801, "", &F::actTileVExecute, 0},
        {&F::actTileH, "actTileH", "横に並べて表示(&H)", 2000802, "", &F::actTileHExecute, 0},
        {&F::actCascade, "actCascade", "重ねて表示(&C)", 2000803, "", &F::actCascadeExecute, 0},
        {&F::actHelpContents, "actHelpContents", "目次(&C)", 2000901, "", &F::actHelpContentsExecute, 0},
        {&F::actHP, "actHP", "タヴロのホームページ(&H)", 2000903, "", &F::actHPExecute, 0},
        {&F::actAbout, "actAbout", "バージョン情報(&A)...", 2000902, "", &F::actAboutExecute, 0},
        {nullptr, "cmbZoom", "表示倍率ボックス", 0, "", nullptr, 0},
        {&F::actDispSmooth, "actDispSmooth", "綺麗に縮小表示(&S)", 2000321, "", &F::actDispSmoothExecute, cfCheckable},
    };
    return Rows;
}

void TfrmTavro::CreateCommands()
{
    const auto& Rows = CommandTable();
    FCommandCaptions.Clear();
    cmbZoom = new QComboBox(this);
    for (size_t I = 0; I < Rows.size(); ++I) {
        const TCommandRow& Row = Rows[I];
        if (!Row.Member) {
            cmbZoom->setObjectName(Row.Name);
            cmbZoom->setProperty("Tag", int(I));
            cmbZoom->setToolTip(Row.Caption);
            FCommands[I] = cmbZoom;
            FCommandCaptions.AddObject(Row.Caption, cmbZoom);
            continue;
        }
        auto* A = new TAction(Row.Name, Row.Caption, this);
        A->Tag = int32_t(I);
        A->HelpContext = Row.HelpContext;
        A->SetHint(QString::fromStdString(CaptionToHint(Row.Caption)));
        if (*Row.Shortcut)
            A->setShortcut(QKeySequence(Row.Shortcut));
        A->setCheckable(Row.Flags & cfCheckable);
        A->setChecked(Row.Flags & cfChecked);
        A->setEnabled(!(Row.Flags & cfDisabled));
        // From the picture: an icon made from a file name without a suffix
        // asks the MIME database what the file is, and reading that database
        // costs the start-up more than all the glyphs together.
        if (const QString Glyph = QString(":/commands/%1").arg(Row.Name); QFileInfo::exists(Glyph))
            A->setIcon(QIcon(QPixmap(Glyph)));
        const auto Handler = Row.Handler;
        // Every command starts from what the history holds: a value the
        // panel shows live is committed first (a save writes it, a close
        // asks for it); a commit that fails stops the command.
        connect(A, &QAction::triggered, this, [this, A, Handler] {
            RunReporting([&] {
                if (TfrmObjProperty* Panel = frmObjProperty.Made())
                    Panel->CommitPending();
                (this->*Handler)(A);
            });
        });
        this->*Row.Member = A;
        FCommands[I] = A;
        FCommandCaptions.AddObject(A->Hint().toStdString(), A);
        addAction(A);
    }
    actCustomize = new TAction("actCustomize", "ツールバーの設定(&C)...", this);
    actCustomize->HelpContext = 2000707;
    actCustomize->Tag = -1;
    actCustomize->SetHint(QString::fromStdString(CaptionToHint("ツールバーの設定(&C)...")));
    connect(actCustomize, &QAction::triggered, this, [this] { RunReporting([&] { actCustomizeExecute(actCustomize); }); });
}

TAction* TfrmTavro::ActionByName(const QString& Name) const
{
    for (QObject* C : FCommands)
        if (auto* A = dynamic_cast<TAction*>(C); A && A->objectName() == Name)
            return A;
    return Name == "actCustomize" ? actCustomize : nullptr;
}

void TfrmTavro::CreateMenus()
{
    QMenuBar* Bar = menuBar();
    QMenu* File = Bar->addMenu("ファイル(&F)");
    File->addActions({actNew, actOpen, actOpenImage});
    File->addSeparator();
    File->addActions({actSelectTwain, actInputTwain});
    File->addSeparator();
    File->addAction(actConvertToBmp);
    mitemForHistory = File->addSeparator();
    mitemForHistory->setObjectName("mitemForHistory");
    File->addAction(actExit);

    QMenu* View = Bar->addMenu("表示(&V)");
    QMenu* Pages = View->addMenu("選択図形のプロパティ");
    Pages->addActions({actCommonPage, actMacPaintPropertyPage, actShapePage, actTextPage, actOutlinePage});
    Pages->addSeparator();
    Pages->addAction(actPageAll);
    View->addAction(actDispColPlt);

    QMenu* Settings = Bar->addMenu("設定(&S)");
    Settings->addActions({actOption, actCustomize});

    FWindowMenu = Bar->addMenu("ウィンドウ(&W)");
    connect(FWindowMenu, &QMenu::aboutToShow, this, [this] { FillWindowMenu(); });
    FillWindowMenu();

    QMenu* Help = Bar->addMenu("ヘルプ(H)");
    Help->addActions({actHelpContents, actHP});
    Help->addSeparator();
    Help->addAction(actAbout);
    // The help buttons and F1 of the tool windows and dialogs; a request
    // with no context of its own shows the contents.
    SetShowHelpContextHook([](int32_t Context) {
        if (frmTavro)
            RunReporting([&] {
                bool CallHelp = true;
                frmTavro->AppPropertyHelp(1, Context != 0 ? Context : HelpContentsContext, CallHelp);
            });
    });
    // F1 in the frame and its document windows (the tool windows and the
    // dialogs take the key themselves).
    auto* HelpKey = new QShortcut(QKeySequence(Qt::Key_F1), this);
    connect(HelpKey, &QShortcut::activated, this, [this] {
        QWidget* Form = QApplication::activeWindow();
        ShowKeyHelp(Form ? Form : this);
    });
}

void TfrmTavro::FillWindowMenu()
{
    FWindowMenu->clear();
    FWindowMenu->addActions({actTileV, actTileH, actCascade});
    const QList<QMdiSubWindow*> Subs = FMdiArea->subWindowList(QMdiArea::CreationOrder);
    if (Subs.isEmpty())
        return;
    FWindowMenu->addSeparator();
    int N = 1;
    for (QMdiSubWindow* Sub : Subs) {
        QAction* Item = FWindowMenu->addAction(QString("&%1 %2").arg(N++).arg(Sub->windowTitle()));
        Item->setCheckable(true);
        Item->setChecked(Sub == FMdiArea->currentSubWindow());
        connect(Item, &QAction::triggered, FMdiArea, [this, Sub] { FMdiArea->setActiveSubWindow(Sub); });
    }
}

// ---------------------------------------------------------------------------
// Forwarding

#define TAVRO_DEFINE_FORWARDER(Name)                     \
    void TfrmTavro::Name(QObject* Sender)                \
    {                                                    \
        if (TDocWindow* C = ActiveDocWindow())           \
            C->Name();                                   \
    }
TAVRO_FORWARDED_COMMANDS(TAVRO_DEFINE_FORWARDER)
#undef TAVRO_DEFINE_FORWARDER

void TfrmTavro::actDispModeExecute(QObject* Sender)
{
    if (TDocWindow* C = ActiveDocWindow())
        C->actDispModeExecute(qobject_cast<QAction*>(Sender));
}

QAction* TfrmTavro::Action(int32_t Index)
{
    return Index >= 0 && Index < CommandCount ? dynamic_cast<QAction*>(FCommands[size_t(Index)]) : nullptr;
}

bool TfrmTavro::RulerVisible() const
{
    const TDefaultData* Defaults = GetDefaultAttributes();
    return Defaults && Defaults->ShowRuler() != 0;
}

void TfrmTavro::ShowZoom(int32_t Zoom)
{
    cmbZoom->setEditText(QString::number(Zoom));
}

void TfrmTavro::MouseWheel(QWheelEvent& Event)
{
    if ((Event.modifiers() & Qt::ControlModifier) && MouseWheelZoom(Event.angleDelta().y()))
        Event.accept();
    else
        Event.ignore();
}

void TfrmTavro::actNewExecute(QObject*)
{
    NewDocument();
}

void TfrmTavro::actExitExecute(QObject*)
{
    close();
}

void TfrmTavro::FormShortCut()
{
    // Alt+Backspace: the old keyboard's undo.
    if (ActiveDocWindow() && actUndo->isEnabled())
        actUndo->trigger();
}

// ---------------------------------------------------------------------------
// Tool palette

std::array<TToolbarButton97*, TfrmTavro::ToolButtonCount> TfrmTavro::ToolButtons() const
{
    std::array<TToolbarButton97*, ToolButtonCount> Buttons{};
    for (size_t I = 0; I < Buttons.size(); ++I)
        Buttons[I] = this->*ToolRows[I].Button;
    return Buttons;
}

void TfrmTavro::CreateToolPalette()
{
    pnlToolbarV = new TToolPalette(this, this);
    pnlToolbarV->setObjectName("pnlToolbarV");
    pnlToolbarV->setProperty("HelpContext", 100);
    for (const TToolRow& Row : ToolRows) {
        auto* B = new TToolbarButton97(pnlToolbarV);
        B->setObjectName(Row.Name);
        // One group: a tool stays pressed until another is taken.
        B->SetGroupIndex(1);
        B->resize(24, 24);
        const QString Resource = QString(":/tools/%1").arg(Row.Name);
        if (QFileInfo::exists(Resource))
            B->SetGlyph(QPixmap(Resource));
        else
            B->SetCaption(QString::fromUtf8(Row.Glyph));
        if (*Row.Hint)
            B->setToolTip(QString::fromUtf8(Row.Hint));
        B->OnClick = [this](TToolbarButton97* Sender) { sbtnToolsClick(Sender); };
        this->*Row.Button = B;
    }
    sbtnArrow->SetDown(true);
    for (int I = 0; I < 4; ++I)
        ToolButtons()[size_t(I)]->move(1, 1 + 24 * I);
    pnlToolbarV->setFixedWidth(28);
    pnlToolbarVResize();
}

void TfrmTavro::pnlToolbarVResize()
{
    struct TLayout {
        int32_t Width;
        QPoint Pos[8]; // line, Bezier, free hand; rectangle, ellipse, polygon, star, text
    };
    static const TLayout Layouts[3] = {
        {76, {{25, 1}, {25, 25}, {25, 49}, {49, 1}, {49, 25}, {49, 49}, {49, 73}, {49, 97}}},
        {52, {{1, 101}, {1, 125}, {1, 149}, {25, 1}, {25, 25}, {25, 49}, {25, 73}, {25, 97}}},
        {28, {{1, 101}, {1, 125}, {1, 149}, {1, 177}, {1, 201}, {1, 225}, {1, 249}, {1, 273}}},
    };
    const int H = pnlToolbarV->height();
    const TLayout& L = H < 172 ? Layouts[0] : H < 296 ? Layouts[1] : Layouts[2];
    if (FiToolbarLayoutWidth == L.Width)
        return;
    TToolbarButton97* const Order[8] = {sbtnPolyLine, sbtnPolyBezier, sbtnFreeHand, sbtnRect,
                                   sbtnEllipse,  sbtnPolygon,    sbtnStar,     sbtnText};
    for (int I = 0; I < 8; ++I)
        Order[I]->move(L.Pos[I]);
    FiToolbarLayoutWidth = L.Width;
    pnlToolbarV->setFixedWidth(L.Width);
}

void TfrmTavro::sbtnToolsClick(QObject* Sender)
{
    TDocWindow* C = ActiveDocWindow();
    auto* Page = C ? dynamic_cast<TPage*>(C->Page()) : nullptr;
    if (!Page)
        return;
    const TToolRow* Row = nullptr;
    for (const TToolRow& R : ToolRows)
        if (this->*R.Button == Sender)
            Row = &R;
    if (!Row)
        throw EUserError("sbtnToolsClick: Illegal Sender");
    if (Page->MouseMode() == 18 && Row->Mode != 19)
        C->EndMakeLine();
    THistoryCommand* History = Page->HistoryCommand();
    if (!History || History->IsCommandOpen()) {
        Page->SetMouseModeCommand(Row->Mode, Row->PolyMode);
        return;
    }
    // A tool that cannot be taken leaves the old one.
    RunReported(History, Row->Caption, [&] { Page->SetMouseModeCommand(Row->Mode, Row->PolyMode); });
}

void TfrmTavro::ClickToolButton(bool Hand)
{
    TToolbarButton97* B = Hand ? sbtnHand : sbtnArrow;
    B->SetDown(true);
    sbtnToolsClick(B);
}

void TfrmTavro::UpdateToolButton(uint8_t Mode, uint8_t SubMode)
{
    TToolbarButton97* B = nullptr;
    switch (Mode) {
    case 0: B = sbtnArrow; break;
    case 3: B = sbtnHand; break;
    case 6: B = sbtnEditNode; break;
    case 13: B = sbtnAddNode; break;
    case 14: B = sbtnText; break;
    case 15:
        if (SubMode >= 1 && SubMode <= 7) {
            TToolbarButton97* const Poly[7] = {sbtnPolyLine, sbtnPolyBezier, sbtnFreeHand, sbtnRect,
                                          sbtnPolygon,  sbtnStar,       sbtnEllipse};
            B = Poly[SubMode - 1];
        }
        break;
    default:
        break;
    }
    if (B)
        B->SetDown(true);
    if (TDocWindow* C = ActiveDocWindow())
        C->UpdateActionStates();
}

// ---------------------------------------------------------------------------
// Zoom box and wheel

void TfrmTavro::CreateZoomBox()
{
    cmbZoom->setEditable(true);
    cmbZoom->setInsertPolicy(QComboBox::NoInsert);
    // A typed percentage is taken as typed: "5" must not complete to the
    // list's "50" while the box has the keys.
    cmbZoom->setCompleter(nullptr);
    cmbZoom->addItems({"10", "25", "50", "100", "200", "400", "800"});
    cmbZoom->setMinimumContentsLength(5);
    cmbZoom->hide();
    cmbZoom->installEventFilter(this);
    cmbZoom->lineEdit()->installEventFilter(this);
    connect(cmbZoom, qOverload<int>(&QComboBox::activated), this, [this](int) {
        ApplyZoom(ZoomBoxValue(cmbZoom->currentText()));
        FocusActiveDocWindow();
    });
}

void TfrmTavro::cmbZoomKeyPress(QKeyEvent* Event, bool& Handled)
{
    const int Key = Event->key();
    if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        cmbZoomExit();
        FocusActiveDocWindow();
        Handled = true;
        return;
    }
    if (Key == Qt::Key_Escape) {
        if (TDocWindow* C = ActiveDocWindow())
            cmbZoom->setEditText(QString::number(C->GetZoomPercent()));
        cmbZoom->lineEdit()->selectAll();
        Handled = true;
        return;
    }
    const QString Text = Event->text();
    if (!Text.isEmpty() && Text[0].unicode() >= 32 && !(Text[0] >= '0' && Text[0] <= '9')) {
        MessageBeep(0);
        Handled = true;
    }
}

void TfrmTavro::cmbZoomExit()
{
    ApplyZoom(ZoomBoxValue(cmbZoom->currentText()));
}

void TfrmTavro::ApplyZoom(int32_t Percent)
{
    TDocWindow* C = ActiveDocWindow();
    if (!C)
        return;
    if (Percent > 0) {
        Percent = std::clamp(Percent, 10, 1600);
        if (Percent != C->GetZoomPercent()) {
            cmbZoom->setEditText(QString::number(Percent));
            C->SetZoom(Percent);
        }
    } else {
        cmbZoom->setEditText(QString::number(C->GetZoomPercent()));
    }
    cmbZoom->lineEdit()->selectAll();
}

bool TfrmTavro::MouseWheelZoom(int Delta)
{
    TDocWindow* C = ActiveDocWindow();
    if (!C || Delta == 0)
        return false;
    // Rolling away from the user zooms out.
    ApplyZoom(WheelZoomStep(C->GetZoomPercent(), Delta > 0));
    return true;
}

void TfrmTavro::FocusActiveDocWindow()
{
    if (TDocWindow* C = ActiveDocWindow())
        C->setFocus();
}

bool TfrmTavro::HadKeysWhenLeft(QWidget* W) const
{
    return FFocusWhenLeft && (FFocusWhenLeft == W || W->isAncestorOf(FFocusWhenLeft));
}

bool TfrmTavro::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == cmbZoom || (cmbZoom && Watched == cmbZoom->lineEdit())) {
        switch (Event->type()) {
        case QEvent::KeyPress: {
            bool Handled = false;
            cmbZoomKeyPress(static_cast<QKeyEvent*>(Event), Handled);
            if (Handled)
                return true;
            break;
        }
        case QEvent::FocusIn:
            // The frame made active again gives the keys to the first control
            // in line when none of its own had them (a window shortcut reaches
            // the document without them): they go to the document window, or
            // where they were, unless the zoom box had them.
            if (static_cast<QFocusEvent*>(Event)->reason() == Qt::ActiveWindowFocusReason && !HadKeysWhenLeft(cmbZoom)) {
                QTimer::singleShot(0, this, [this] {
                    const QList<QMdiSubWindow*> Subs = MdiArea()->subWindowList(QMdiArea::ActivationHistoryOrder);
                    if (FFocusWhenLeft)
                        FFocusWhenLeft->setFocus(Qt::ActiveWindowFocusReason);
                    else if (!Subs.isEmpty())
                        Subs.last()->widget()->setFocus(Qt::ActiveWindowFocusReason);
                });
                break;
            }
            if (Watched == cmbZoom->lineEdit())
                QTimer::singleShot(0, cmbZoom->lineEdit(), &QLineEdit::selectAll);
            break;
        case QEvent::FocusOut:
            if (Watched == cmbZoom->lineEdit() && static_cast<QFocusEvent*>(Event)->reason() != Qt::PopupFocusReason)
                cmbZoomExit();
            break;
        default:
            break;
        }
        return false;
    }
    if (Event->type() == QEvent::Wheel) {
        auto* W = qobject_cast<QWidget*>(Watched);
        auto* Wheel = static_cast<QWheelEvent*>(Event);
        if (W && W->window() == this && (Wheel->modifiers() & Qt::ControlModifier) &&
            MouseWheelZoom(Wheel->angleDelta().y()))
            return true;
    }
    return false;
}

// ---------------------------------------------------------------------------
// Enabling by whether a document exists

void TfrmTavro::SetDocumentControlsEnabled(bool Enabled)
{
    for (TToolbarButton97* B : ToolButtons())
        B->setEnabled(Enabled);
    cmbZoom->setEnabled(Enabled);
    for (size_t I = 2; I < FCommands.size(); ++I)
        if (auto* A = dynamic_cast<TAction*>(FCommands[I]); A && A != actPaste)
            A->setEnabled(Enabled);
    for (QAction* Top : menuBar()->actions()) {
        QMenu* Menu = Top->menu();
        if (!Menu)
            continue;
        std::vector<QMenu*> Menus{Menu};
        while (!Menus.empty()) {
            QMenu* M = Menus.back();
            Menus.pop_back();
            for (QAction* A : M->actions()) {
                if (A->menu())
                    Menus.push_back(A->menu());
                // Paste follows the clipboard alone (ClipDetectorClipChange),
                // whatever window is open.
                else if (dynamic_cast<TAction*>(A) && A != actPaste)
                    A->setEnabled(true);
            }
        }
    }
    actCustomize->setEnabled(true);
}

void TfrmTavro::UpdateDocumentActions()
{
    if (FbClosing)
        return;
    const bool Any = !DocWindows().empty();
    SetDocumentControlsEnabled(Any);
    if (!Any)
        ReattachHistoryMenu();
    // Enabled wholesale above: the commands that depend on the selection
    // and the history follow the active window's again.
    else if (TDocWindow* C = ActiveDocWindow())
        C->UpdateActionStates();
}

void TfrmTavro::ReattachHistoryMenu()
{
    if (!HistoryMenu)
        return;
    HistoryMenu->SetActive(false);
    HistoryMenu->SetTargetMenuItem(mitemForHistory);
    HistoryMenu->SetActive(true);
}

// ---------------------------------------------------------------------------
// Window and view commands

void TfrmTavro::TileDocWindows(bool Vertical)
{
    const QList<QMdiSubWindow*> Subs = FMdiArea->subWindowList(QMdiArea::CreationOrder);
    QList<QMdiSubWindow*> Shown;
    for (QMdiSubWindow* S : Subs)
        if (!S->isMinimized() && !S->isHidden())
            Shown << S;
    if (Shown.isEmpty())
        return;
    const QRect Area = FMdiArea->viewport()->rect();
    const int N = int(Shown.size());
    for (int I = 0; I < N; ++I) {
        QMdiSubWindow* S = Shown[I];
        S->showNormal();
        if (Vertical) {
            const int X0 = Area.width() * I / N;
            const int X1 = Area.width() * (I + 1) / N;
            S->setGeometry(X0, 0, X1 - X0, Area.height());
        } else {
            const int Y0 = Area.height() * I / N;
            const int Y1 = Area.height() * (I + 1) / N;
            S->setGeometry(0, Y0, Area.width(), Y1 - Y0);
        }
    }
}

void TfrmTavro::actTileVExecute(QObject*)
{
    TileDocWindows(true);
}

void TfrmTavro::actTileHExecute(QObject*)
{
    TileDocWindows(false);
}

void TfrmTavro::actCascadeExecute(QObject*)
{
    // At the places new windows take, so that the next one comes in front of
    // them, lower down.
    TDocWindow::CascadeAll(*FMdiArea);
}

void TfrmTavro::actDispColPltExecute(QObject*)
{
    if (!frmPltColor)
        return;
    frmPltColor->setVisible(!frmPltColor->isVisible());
    actDispColPlt->setChecked(frmPltColor->isVisible());
}

void TfrmTavro::actDispSmoothExecute(QObject*)
{
    actDispSmooth->setChecked(!actDispSmooth->isChecked());
    FbSmooth = actDispSmooth->isChecked() ? 1 : 0;
    for (TDocWindow* C : DocWindows())
        C->InvalidatePageRect(nullptr);
}

void TfrmTavro::SetDispAnchor(bool Visible)
{
    for (TDocWindow* C : DocWindows()) {
        auto* Page = dynamic_cast<TPage*>(C->Page());
        auto* Sel = Page ? dynamic_cast<TSelectedObjects*>(Page->Selection()) : nullptr;
        if (!Sel || Sel->GetAnchorsVisible() == Visible)
            continue;
        Sel->SetAnchorsVisible(Visible);
        Sel->InvalidateView();
    }
}

namespace {

struct TPageCommand {
    TAction* TfrmTavro::*Action;
    int32_t Page; // the panel's page number
};

const TPageCommand PageCommands[5] = {
    {&TfrmTavro::actCommonPage, 0},
    {&TfrmTavro::actMacPaintPropertyPage, 1},
    {&TfrmTavro::actShapePage, 2},
    {&TfrmTavro::actTextPage, 3},
    {&TfrmTavro::actOutlinePage, 4},
};

QWidget* PanelSheet(int32_t Page)
{
    return frmObjProperty && Page < int32_t(frmObjProperty->FTabSheets.size())
               ? frmObjProperty->FTabSheets[size_t(Page)]
               : nullptr;
}

// The page control holding Sheet and the sheet's index there.
QTabWidget* PageControlOf(QWidget* Sheet, int& Index)
{
    for (QWidget* W = Sheet ? Sheet->parentWidget() : nullptr; W; W = W->parentWidget())
        if (auto* Tabs = qobject_cast<QTabWidget*>(W)) {
            Index = Tabs->indexOf(Sheet);
            if (Index >= 0)
                return Tabs;
        }
    return nullptr;
}

bool PageShown(QWidget* Sheet)
{
    int Index = -1;
    QTabWidget* Tabs = PageControlOf(Sheet, Index);
    return Tabs && Tabs->window()->isVisible() && Tabs->isTabVisible(Index);
}

} // namespace

void TfrmTavro::actDispPageClick(QObject* Sender)
{
    QWidget* Sheet = nullptr;
    TAction* Action = nullptr;
    for (const TPageCommand& P : PageCommands)
        if (Sender && Sender->objectName() == (this->*P.Action)->objectName()) {
            Action = this->*P.Action;
            Sheet = PanelSheet(P.Page);
        }
    if (!Action)
        throw EUserError("DispPageClick: Illegal Sender");
    int Index = -1;
    QTabWidget* Tabs = PageControlOf(Sheet, Index);
    if (!Tabs)
        return;
    QWidget* Form = Tabs->window();
    if (PageShown(Sheet)) {
        Action->setChecked(false);
        Tabs->setTabVisible(Index, false);
        bool AnyVisible = false;
        for (int I = 0; I < Tabs->count(); ++I)
            AnyVisible = AnyVisible || Tabs->isTabVisible(I);
        if (!AnyVisible)
            Form->hide();
        return;
    }
    Action->setChecked(true);
    // A page still in the panel goes into a window of its own near the
    // frame's top right corner, wholly on the screen.
    if (frmObjProperty && Tabs == frmObjProperty->PageControlWex) {
        const QPoint At = mapToGlobal(QPoint(width() - 50, 0));
        frmObjProperty->PageControlWex->TearOffPage(Sheet, QRect(At, QSize(50, 50)),
                                                    TPageControlWex::TTearOffPlace::New);
        return;
    }
    Tabs->setTabVisible(Index, true);
    Form->show();
    Tabs->setCurrentIndex(Index);
}

void TfrmTavro::actPageAllExecute(QObject*)
{
    for (const TPageCommand& P : PageCommands)
        if (!(this->*P.Action)->isChecked())
            actDispPageClick(this->*P.Action);
}

void TfrmTavro::UpdatePageActions()
{
    if (FbFloatingFormsDue) {
        // The page commands are checked when the panel comes; the palette
        // shows as the settings have it.
        actDispColPlt->setChecked(FbPaletteVisible != 0);
        return;
    }
    for (const TPageCommand& P : PageCommands)
        (this->*P.Action)->setChecked(PageShown(PanelSheet(P.Page)));
    actDispColPlt->setChecked(frmPltColor && frmPltColor->isVisible());
}

void TfrmTavro::actOptionExecute(QObject*)
{
    std::string OldDir;
    GetEnvDataDir(OldDir);
    // After a box the dialog or the move showed, the window manager picks
    // the window that gets the keys next: they go back where they were.
    const QPointer<QWidget> Active = QApplication::activeWindow();
    const QPointer<QWidget> Focus = QApplication::focusWidget();
    {
        TfrmOption Dialog(this);
        Dialog.adjustSize();
        CenterWindowInWorkArea(&Dialog, this);
        if (Dialog.exec() == QDialog::Accepted)
            MoveStyleLibraries(OldDir);
    }
    if (Active)
        Active->activateWindow();
    if (Focus)
        Focus->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------
// Help

void TfrmTavro::ShowHelpContext(int32_t Context)
{
    const std::string Url = QUrl::fromLocalFile(QString::fromStdString(gstrHelpFolder)).toString().toStdString();
    const std::vector<std::string> Lines = HelpFrameLines(Context, Url.empty() || Url.back() == '/' ? Url : Url + "/");
    QDir().mkpath(QFileInfo(QString::fromStdString(gstrHelpFile)).absolutePath());
    std::string Page;
    for (const std::string& L : Lines)
        Page += L + "\r\n";
    // Replaced whole, and only when it is a file: a pipe put in its place
    // would hold the program up, a link to a device take the page.
    if (WriteFileReplacing(gstrHelpFile, Page.data(), Page.size()) != 0)
        throw EUserError(gstrHelpFile + " を書き込めません。");
}

bool TfrmTavro::AppPropertyHelp(uint16_t Command, int32_t Data, bool& CallHelp)
{
    if (Command != 1)
        return true;
    ShowHelpContext(Data);
    // A box that says the help cannot be shown belongs to the window that
    // asked, which must not drop behind the frame.
    QWidget* Asker = QApplication::activeWindow();
    OpenInBrowser(Asker ? Asker : this, gstrHelpFile, HelpBrowserFailedText);
    CallHelp = false;
    return true;
}

void TfrmTavro::actHelpContentsExecute(QObject*)
{
    bool CallHelp = true;
    AppPropertyHelp(1, HelpContentsContext, CallHelp);
}

void TfrmTavro::actHPExecute(QObject*)
{
    OpenInBrowser(this, HomePageUrl, HomePageBrowserFailedText);
}

void TfrmTavro::actAboutExecute(QObject*)
{
    TfrmAbout About(this);
    About.exec();
}
