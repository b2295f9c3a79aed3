#include "shell/child_form.h"

#include "editors/frm_obj_property.h"
#include "model/text_object.h"
#include "shell/history_bracket.h"
#include "shell/xor_overlay.h"

#include "shell/grid_option_form.h"

#include "foundation/app_environment.h"
#include "foundation/geometry.h"
#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/anchors.h"
#include "model/bitmap_trace.h"
#include "model/default_data.h"
#include "model/document.h"
#include "model/drag_frame_dc.h"
#include "model/draw_progress.h"
#include "model/page.h"
#include "model/selection.h"
#include "platform/clipboard_formats.h"
#include "platform/message_box.h"
#include "platform/qt/application_wex.h"
#include "platform/qt/clipboard.h"
#include "platform/qt/qt_drawing.h"
#include "platform/qt/qt_services.h"
#include "platform/qt/window_routines.h"
#include "raster/bmp_conv.h"
#include "ui/draw_item_clipboard.h"
#include "ui/paint_box_wex.h"
#include "ui/scroll_bar_wex.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QKeyEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPaintEngine>
#include <QWindow>
#include <QPainter>
#include <QPointer>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>
#include <QTransform>

#include <algorithm>
#include <functional>
#include <utility>
#include <climits>
#include <cmath>
#include <map>

namespace {

const char* const CaptionDelete = "選択図形の削除";
const char* const CaptionPaste = "貼り付け(&P)";
const char* const CaptionDuplicate = "複製(U)";
const char* const CaptionSelectAll = "全て選択(&L)";
const char* const CaptionDispMode = "画質の切替";
const char* const CaptionShowGrid = "グリッドの表示・非表示切替";
const char* const CaptionSnapGrid = "グリッドへスナップの有効／無効の切替";

constexpr int32_t ShadowWidth = 10;

QColor ColorOf(int32_t ColorRef)
{
    return QColor(ColorRef & 0xFF, (ColorRef >> 8) & 0xFF, (ColorRef >> 16) & 0xFF);
}

// A whole coordinate computed in floating point, clamped to what int32_t
// holds (a NaN to the least): far pages and high zooms reach past it.
int32_t ClampToInt32(double V)
{
    if (!(V > double(INT32_MIN)))
        return INT32_MIN;
    if (V >= double(INT32_MAX))
        return INT32_MAX;
    return int32_t(V);
}

// The same for view arithmetic done in 64 bits.
int32_t SaturateInt32(int64_t V)
{
    return int32_t(std::clamp<int64_t>(V, INT32_MIN, INT32_MAX));
}

bool Terminating()
{
    return QCoreApplication::closingDown();
}

const QPixmap& HandlePixmap(const char* Name)
{
    static std::map<std::string, QPixmap> Cache;
    auto It = Cache.find(Name);
    if (It == Cache.end())
        It = Cache.emplace(Name, QPixmap(QString(":/handles/") + Name)).first;
    return It->second;
}

// The anchors draw on the view in view pixels; page points reach them
// through the window's mapping. Without a painter only invalidation works.
class TViewAnchorCanvas : public TAnchorCanvas {
public:
    TViewAnchorCanvas(const TfrmChild& Window, QWidget& View, QPainter* DC)
        : FWindow(Window), FView(View), FDC(DC)
    {
    }
    TPoint LPtoDP(const TPoint& P) override { return FWindow.DocToView(P); }
    void BeginDeviceMapping() override {}
    void EndDeviceMapping() override {}
    void SetPenColor(int32_t Colour) override
    {
        if (FDC)
            FDC->setPen(ColorOf(Colour));
    }
    void SetBrushColor(int32_t Colour) override
    {
        if (FDC)
            FDC->setBrush(ColorOf(Colour));
    }
    void SetBrushSolid() override
    {
        if (FDC)
            FDC->setBrush(FDC->brush().color());
    }
    void MoveTo(int32_t X, int32_t Y) override { FPen = {X, Y}; }
    void LineTo(int32_t X, int32_t Y) override
    {
        if (FDC)
            FDC->drawLine(FPen.X, FPen.Y, X, Y);
        FPen = {X, Y};
    }
    int32_t GetBitmapWidth(const char* Name) override { return HandlePixmap(Name).width(); }
    void DrawBitmap(const char* Name, int32_t X, int32_t Y) override
    {
        if (FDC)
            FDC->drawPixmap(X, Y, HandlePixmap(Name));
    }
    void InvalidateDeviceRect(const TRect& R) override
    {
        FView.update(QRect(R.Left, R.Top, R.Right - R.Left, R.Bottom - R.Top));
    }

private:
    const TfrmChild& FWindow;
    QWidget& FView;
    QPainter* FDC;
    TPoint FPen{0, 0};
};

// The outlines of the wire-frame display, drawn in page coordinates.
class TPainterDragFrameDC : public TDragFrameDC {
public:
    explicit TPainterDragFrameDC(QPainter& DC) : FDC(DC) {}
    int32_t GetROP2() const override { return FRop; }
    int32_t SetROP2(int32_t Mode) override
    {
        const int32_t Old = FRop;
        FRop = Mode;
        FDC.setCompositionMode(Mode == R2_XORPEN ? QPainter::RasterOp_SourceXorDestination
                                                 : QPainter::CompositionMode_SourceOver);
        return Old;
    }
    void SelectSolidPen(int32_t Colour) override
    {
        FOldPen = FDC.pen();
        FDC.setPen(QPen(ColorOf(Colour), 0));
    }
    void RestorePen() override { FDC.setPen(FOldPen); }
    void PolyDrawPath(const TrecPath& Path) override { ::PolyDrawPath(FDC, Path); }

private:
    QPainter& FDC;
    QPen FOldPen;
    int32_t FRop = R2_COPYPEN;
};

} // namespace

void GetGridStep(const TrecGrid& Grid, int32_t DPI, double& SX, double& SY)
{
    const double DX = Grid.Value3;
    const double DY = Grid.Value4;
    const double UX = Grid.Value5;
    const double UY = Grid.Value6;
    switch (Grid.Byte1) {
    case 0:
        SX = UX / DX;
        SY = UY / DY;
        break;
    case 1:
        SX = UX * DPI / 2.54 / DX;
        SY = UY * DPI / 2.54 / DY;
        break;
    case 2:
        SX = UX * DPI / DX;
        SY = UY * DPI / DY;
        break;
    case 3:
        SX = UX * DPI / 72.0 / DX;
        SY = UY * DPI / 72.0 / DY;
        break;
    default:
        SX = 10.0;
        SY = 10.0;
        break;
    }
}

double GridDrawStep(double Step, int32_t Zoom)
{
    // A step of zero or below, or no number (a length on a page without a
    // resolution, or no divisions), never reaches the least spacing.
    if (!(Step > 0) || !std::isfinite(Step) || Zoom < 1)
        return 0.0;
    const double Least = 1000.0 / Zoom;
    if (Step < Least)
        Step *= std::ceil(Least / Step);
    return Step;
}

void DrawProgress(QPainter& DC, const QRect& Panel, const TTraceProgress* Progress)
{
    if (!Progress || Panel.isEmpty())
        return;
    DC.save();
    const QString Text = QString::fromUtf8("変換中：");
    DC.setPen(QApplication::palette().color(QPalette::WindowText));
    DC.drawText(Panel, Qt::AlignLeft | Qt::AlignVCenter, Text);
    const int TextWidth = DC.fontMetrics().horizontalAdvance(Text);
    const QRect Frame(Panel.left() + TextWidth, Panel.top() + 2, 104, Panel.height() - 4);
    DrawBevelFrame(DC, TRect{Frame.left(), Frame.top(), Frame.left() + Frame.width(),
                             Frame.top() + Frame.height()},
                   false, -1);
    const QRect Bar(Frame.left() + 2, Frame.top() + 2, 100, Frame.height() - 4);
    DC.fillRect(Bar, QApplication::palette().color(QPalette::Button));
    const int Done = Progress->Max > 0
                         ? static_cast<int>(std::clamp<int64_t>(int64_t(Progress->Position) * 100 / Progress->Max, 0, 100))
                         : 0;
    DC.fillRect(QRect(Bar.left(), Bar.top(), Done, Bar.height()), QColor(0, 0, 0x80));
    DC.restore();
}

// ---------------------------------------------------------------------------
// Construction and lifetime

TfrmChild::TfrmChild(TOLEDocumentWex& Document, TChildFrameLink& Frame)
    : QWidget(nullptr), FDocument(&Document), FFrame(Frame)
{
    setFocusPolicy(Qt::StrongFocus);

    pboxkClient = new TPaintBoxWex(this);
    pboxkClient->SetOpaque(true);
    pboxkClient->OnPaint = [this](TPaintBoxWex*, QPainter& DC) {
        // The region being painted: the paint engine's system clip, in the
        // device's pixels.
        const QRect Device = DC.paintEngine()->systemClip().boundingRect();
        pboxkClientPaint(DC, DC.deviceTransform().inverted().mapRect(Device) & pboxkClient->rect());
    };
    pboxkClient->setMouseTracking(true);
    pboxkClient->installEventFilter(this);
    FOverlay = new TXorOverlay(*pboxkClient);
    FOverlay->OnRedraw = [this] { RedrawOverlay(); };
    pboxRulerH = new TPaintBoxWex(this);
    pboxRulerH->SetOpaque(true);
    pboxRulerH->OnPaint = [this](TPaintBoxWex*, QPainter& DC) { pboxRulerHPaint(DC); };
    pboxRulerH->resize(RulerThickness * 4, RulerThickness);
    pboxRulerV = new TPaintBoxWex(this);
    pboxRulerV->SetOpaque(true);
    pboxRulerV->OnPaint = [this](TPaintBoxWex*, QPainter& DC) { pboxRulerVPaint(DC); };
    pboxRulerV->resize(RulerThickness, RulerThickness * 4);
    imgRulerHead = new QLabel(this);
    imgRulerHead->setGeometry(2, 2, RulerThickness, RulerThickness);
    ScrollBarH = new TScrollBarWex(Qt::Horizontal, this);
    ScrollBarV = new TScrollBarWex(Qt::Vertical, this);
    connect(ScrollBarH, &QScrollBar::valueChanged, this, &TfrmChild::ScrollBarH1Change);
    connect(ScrollBarV, &QScrollBar::valueChanged, this, &TfrmChild::ScrollBarV1Change);
    // A click beside the thumb moves by the large change, not by the page
    // the thumb shows.
    for (TScrollBarWex* Bar : {ScrollBarH, ScrollBarV})
        connect(Bar, &QAbstractSlider::actionTriggered, this, [Bar](int Action) {
            const int Large = Bar->property("LargeChange").toInt();
            if (Action == QAbstractSlider::SliderPageStepAdd)
                Bar->setSliderPosition(Bar->value() + Large);
            else if (Action == QAbstractSlider::SliderPageStepSub)
                Bar->setSliderPosition(Bar->value() - Large);
        });
    PopupMenu = new QMenu(this);

    if (QAction* Ruler = Action(FrameCommand::actRuler))
        Ruler->setChecked(FFrame.RulerVisible());
}

QRect CascadedWindowPlace(QSize Wanted, QSize Area, int32_t Index, int32_t Step)
{
    const QSize Size = Wanted.boundedTo(Area).expandedTo(QSize(1, 1));
    const int32_t Room = std::max(0, std::min(Area.width() - Size.width(), Area.height() - Size.height()));
    const int32_t Places = Step > 0 ? Room / Step + 1 : 1;
    const int32_t At = (std::max(0, Index) % Places) * std::max(0, Step);
    return QRect(QPoint(At, At), Size);
}

QRect CascadedWindowPlace(QSize Wanted, QSize Area, const std::vector<QPoint>& Held, int32_t Step)
{
    const QRect First = CascadedWindowPlace(Wanted, Area, 0, Step);
    // A new window comes in front: a step below the lowest window on the
    // steps, it leaves every caption behind it in sight (a place freed
    // higher up would put it over the captions of those below).
    int32_t Lowest = -1;
    for (int32_t I = 0;; ++I) {
        const QRect Place = CascadedWindowPlace(Wanted, Area, I, Step);
        if (I > 0 && Place == First) {
            if (Lowest + 1 < I)
                return CascadedWindowPlace(Wanted, Area, Lowest + 1, Step);
            break;
        }
        if (std::find(Held.begin(), Held.end(), Place.topLeft()) != Held.end())
            Lowest = I;
    }
    // No room below it: the place fewest windows hold, from the corner.
    int32_t Best = 0;
    int64_t BestCount = -1;
    // Each step's place once; the index that starts over is the corner again.
    for (int32_t I = 0;; ++I) {
        const QRect Place = CascadedWindowPlace(Wanted, Area, I, Step);
        if (I > 0 && Place == First)
            break;
        const int64_t Count = std::count(Held.begin(), Held.end(), Place.topLeft());
        if (BestCount < 0 || Count < BestCount) {
            Best = I;
            BestCount = Count;
        }
        if (Count == 0)
            break;
    }
    return CascadedWindowPlace(Wanted, Area, Best, Step);
}

namespace {

// Runs Then once, when the watched widget is first shown.
class TOnFirstShow : public QObject {
public:
    TOnFirstShow(QObject* Parent, std::function<void()> Then) : QObject(Parent), FThen(std::move(Then)) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Show && FThen) {
            Watched->removeEventFilter(this);
            std::exchange(FThen, nullptr)();
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> FThen;
};

// Runs Then after each move of the watched widget.
class TOnMove : public QObject {
public:
    TOnMove(QObject* Parent, std::function<void()> Then) : QObject(Parent), FThen(std::move(Then)) {}

protected:
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == QEvent::Move)
            FThen();
        return false;
    }

private:
    std::function<void()> FThen;
};

bool IsNormalState(const QMdiSubWindow& Sub)
{
    return !(Sub.windowState() & (Qt::WindowMaximized | Qt::WindowMinimized));
}

// A title bar's height: each cascade step shows the caption of the window
// behind.
int32_t CascadeStep(const QMdiSubWindow& Sub)
{
    return Sub.style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, &Sub);
}

} // namespace

QSize TfrmChild::sizeHint() const
{
    if (!FDocument || FDocument->GetPageCount() == 0)
        return QWidget::sizeHint();
    // With room for the bars too: the view then holds the page also while
    // they are shown.
    const int32_t R = (RulersShown() ? RulerThickness : 0) +
                      style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ScrollBarV);
    const TOLECustomPage* P = FDocument->GetPage(0);
    // The view takes a tenth of the page's side as margin on each side.
    const auto Side = [this](int32_t Extent) {
        return int(std::min<int64_t>((int64_t(Extent) + 2 * (Extent / 10)) * FiZoom / 100, 1 << 20));
    };
    return QSize(4 + R + Side(P->Width()), 4 + R + Side(P->Height()));
}

void TfrmChild::PlaceNormal()
{
    auto* Area = qobject_cast<QMdiArea*>(FArea.data());
    if (!Area || !FSubWindow)
        return;
    FSubWindow->setGeometry(CascadedWindowPlace(FSubWindow->sizeHint(), Area->viewport()->size(), PlacesOfOthers(),
                                                CascadeStep(*FSubWindow)));
    FNormalPlace = FSubWindow->pos();
}

void TfrmChild::PlaceAwaiting(QMdiArea& Area)
{
    // In the order they were opened, which is the order they stand in once
    // shown (the last one opened is the active one): each one in front comes
    // a step lower and leaves the caption behind it in sight. Those to be
    // maximised are placed first too, so that a restore brings each back to
    // its own place.
    for (QMdiSubWindow* Sub : Area.subWindowList(QMdiArea::CreationOrder))
        if (auto* Child = qobject_cast<TfrmChild*>(Sub->widget()); Child && Child->FbAwaitingPlace) {
            Child->FbAwaitingPlace = false;
            Child->PlaceNormal();
            if (std::exchange(Child->FbMaximiseWhenPlaced, false))
                Sub->showMaximized();
        }
}

void TfrmChild::CascadeAll(QMdiArea& Area)
{
    // A minimised window keeps the place it comes back to.
    std::vector<QPoint> Held;
    std::vector<TfrmChild*> Cascaded;
    for (QMdiSubWindow* Sub : Area.subWindowList(QMdiArea::StackingOrder)) {
        auto* Child = qobject_cast<TfrmChild*>(Sub->widget());
        if (!Child || Sub->isHidden())
            continue;
        if (!Sub->isMinimized())
            Cascaded.push_back(Child);
        else if (Child->FNormalPlace)
            Held.push_back(*Child->FNormalPlace);
    }
    for (TfrmChild* Child : Cascaded) {
        QMdiSubWindow* Sub = Child->FSubWindow;
        if (Sub->isMaximized())
            Sub->showNormal();
        Sub->setGeometry(CascadedWindowPlace(Sub->sizeHint(), Area.viewport()->size(), Held, CascadeStep(*Sub)));
        Child->FNormalPlace = Sub->pos();
        Held.push_back(Sub->pos());
    }
}

std::vector<QPoint> TfrmChild::PlacesOfOthers() const
{
    std::vector<QPoint> Held;
    auto* Area = qobject_cast<QMdiArea*>(FArea.data());
    if (!Area)
        return Held;
    // Where the other open windows are when not maximised or minimised: a
    // maximised one comes back to its place when restored.
    for (QMdiSubWindow* Sub : Area->subWindowList(QMdiArea::CreationOrder)) {
        auto* Other = qobject_cast<TfrmChild*>(Sub->widget());
        if (Sub == FSubWindow || Sub->isHidden() || !Other || Other->FbAwaitingPlace)
            continue;
        if (IsNormalState(*Sub))
            Held.push_back(Sub->pos());
        else if (Other->FNormalPlace)
            Held.push_back(*Other->FNormalPlace);
    }
    return Held;
}

bool TfrmChild::ShowsSomePage() const
{
    // Rulers, bars and edges, and a view of at least this many pixels.
    constexpr int32_t LeastView = 48;
    const int32_t E = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ScrollBarV);
    const int32_t Least = 4 + (RulersShown() ? RulerThickness : 0) + E + LeastView;
    auto* Area = qobject_cast<QMdiArea*>(FArea.data());
    return width() >= Least && height() >= Least && Area && FSubWindow &&
           QRect(QPoint(0, 0), Area->viewport()->size()).intersects(FSubWindow->geometry());
}

TfrmChild* TfrmChild::CreateDoc(QMdiArea& Owner, TOLEDocumentWex& Document, TChildFrameLink& Frame)
{
    auto* Child = new TfrmChild(Document, Frame);
    QMdiSubWindow* Sub = Owner.addSubWindow(Child);
    Sub->setAttribute(Qt::WA_DeleteOnClose);
    Child->FSubWindow = Sub;
    Child->FArea = &Owner;
    // The place it has when not maximised or minimised, kept while it is
    // (a person may move it) for the windows that open after it.
    Sub->installEventFilter(new TOnMove(Sub, [Child] {
        if (Child->FSubWindow->isVisible() && IsNormalState(*Child->FSubWindow))
            Child->FNormalPlace = Child->FSubWindow->pos();
    }));
    Frame.UpdateDocumentActions();
    QObject::connect(&Owner, &QMdiArea::subWindowActivated, Child, [Child](QMdiSubWindow* W) {
        if (W && W == Child->FSubWindow)
            Child->FormActivate();
    });
    QObject::connect(Sub, &QMdiSubWindow::windowStateChanged, Child,
                     [Child](Qt::WindowStates Old, Qt::WindowStates New) {
                         // Only a change of size state counts (activation
                         // toggles a flag of its own), and none once the frame
                         // has begun to shut down: freeing the windows then
                         // must not undo what its close query wrote.
                         constexpr Qt::WindowStates Size = Qt::WindowMaximized | Qt::WindowMinimized;
                         if ((Old & Size) == (New & Size))
                             return;
                         if (Terminating() || Child->FbLoading || Child->FbDestroying ||
                             Child->FFrame.ShutdownBegun())
                             return;
                         AppIniFile().WriteInteger(MaxFrmChildSection, MaxFrmChildKey,
                                                   (New & Qt::WindowMaximized) ? 1 : 0);
                         // Restored to a place that shows nothing of the page
                         // (one it had before the client area had a size), or
                         // onto another window's place (one it never had of
                         // its own: maximised from the start, the window
                         // opened after it took the corner, and the area puts
                         // it back where it was made): it takes a place that
                         // shows it, once the restore has put it back.
                         if ((Old & Qt::WindowMaximized) && !(New & Size))
                             QTimer::singleShot(0, Child, [Child] {
                                 // A released window (its document gone) only waits to close.
                                 if (!Child->FDocument || !IsNormalState(*Child->FSubWindow))
                                     return;
                                 const std::vector<QPoint> Held = Child->PlacesOfOthers();
                                 if (!Child->ShowsSomePage() ||
                                     std::find(Held.begin(), Held.end(), Child->FSubWindow->pos()) != Held.end())
                                     Child->PlaceNormal();
                             });
                     });
    // Its place when not maximised (a restore gives it back). The client
    // area has its size only once the frame is shown: windows opened before
    // take their places when the first of them shows, and only then are
    // maximised: maximised before, a window would come back from its first
    // restore to where it was made, over another's caption.
    const bool Maximised = AppIniFile().ReadInteger(MaxFrmChildSection, MaxFrmChildKey, 1) == 1;
    if (Owner.isVisible()) {
        Child->PlaceNormal();
    } else {
        Child->FbAwaitingPlace = true;
        Child->FbMaximiseWhenPlaced = Maximised;
        Sub->installEventFilter(new TOnFirstShow(Sub, [&Owner] { PlaceAwaiting(Owner); }));
    }
    if (Maximised && !Child->FbAwaitingPlace)
        Sub->showMaximized();
    else
        Sub->show();

    if (Document.GetPageCount() > 0)
        Document.GetPage(0)->AddForm(Child);
    Child->UpdateRulerHead();
    Child->SetCaption(DocumentCaption(Document.FileName(), Document.Modified()));
    Child->UpdateDispModeActions();
    Child->UpdateGridActions();
    if (QAction* SnapObj = Child->Action(FrameCommand::actSnapObj))
        SnapObj->setChecked(Child->FbSnapObj != 0);
    // Centred: the page's middle at the view's middle.
    if (TOLECustomPage* P = Child->Page()) {
        const int32_t Z = Child->FiZoom;
        Child->FViewOrigin = {(P->Width() - Child->pboxkClient->width() * 100 / Z) / 2,
                              (P->Height() - Child->pboxkClient->height() * 100 / Z) / 2};
    }
    try {
        Child->FormResize();
        Child->PageLayoutChanged();
    } catch (...) {
        // The window shows even when its first layout fails.
    }
    Child->FbBlank = 0;
    Child->FbLoading = false;
    // The window was activated when it was shown, before it had a page: the
    // status, the commands and the panel still show the window before it
    // until they follow this one's (empty or loaded) selection.
    if (Owner.currentSubWindow() == Sub)
        Child->SelectionChanged(false);
    Child->pboxkClient->update();
    Child->InvalidateRulers();
    return Child;
}

TfrmChild* CreateChildForm(QMdiArea& Area, TOLEDocumentWex& Document, TChildFrameLink& Frame)
{
    return TfrmChild::CreateDoc(Area, Document, Frame);
}

TfrmChild::~TfrmChild()
{
    FbDestroying = true;
    // The panel shows nothing of a window that goes.
    if (TfrmObjProperty* Panel = frmObjProperty.Made(); Panel && Panel->DocLink() == this)
        Panel->SetParam({}, nullptr);
    if (TOLECustomPage* P = Page())
        P->RemoveForm(this);
    if (!Terminating() && FArea) {
        // Counted once this window has left the area.
        TChildFrameLink* Frame = &FFrame;
        QTimer::singleShot(0, FArea, [Frame] { Frame->UpdateDocumentActions(); });
    }
}

void TfrmChild::closeEvent(QCloseEvent* Event)
{
    // FormCloseQuery: the document decides whether this view may go, with
    // the value the panel shows live committed to it first.
    if (!FbReleased && FDocument && Page()) {
        bool CanClose = false;
        try {
            if (TfrmObjProperty* Panel = frmObjProperty.Made())
                Panel->CommitPending();
            CanClose = FDocument->CanCloseForm(this);
        } catch (...) {
            Event->ignore();
            throw;
        }
        if (!CanClose) {
            Event->ignore();
            return;
        }
        // FormClose: the selection goes without a record.
        if (TSelectedObjects* Sel = Selection()) {
            THistoryCommand* H = Sel->HistoryCommand();
            if (H)
                H->LockAddHistory();
            try {
                Sel->ClearSelectionSub();
            } catch (...) {
            }
            if (H)
                H->UnLockAddHistory();
        }
    }
    Event->accept();
}

void TfrmChild::Release()
{
    FbReleased = true;
    FDocument = nullptr;
    if (FSubWindow)
        QTimer::singleShot(0, FSubWindow, [Sub = FSubWindow] { Sub->close(); });
}

void TfrmChild::GetDocWinControl()
{
    throw EUserError("GetDocWinControl");
}

void TfrmChild::SetOnClose()
{
    throw EUserError("SetOnClose");
}

std::string TfrmChild::GetCaption() const
{
    return FCaption;
}

void TfrmChild::SetCaption(const std::string& Caption)
{
    FCaption = Caption;
    setWindowTitle(QString::fromStdString(Caption));
}

TPage* TfrmChild::DrawingPage() const
{
    return dynamic_cast<TPage*>(Page());
}

TSelectedObjects* TfrmChild::Selection() const
{
    TPage* P = DrawingPage();
    return P ? dynamic_cast<TSelectedObjects*>(P->Selection()) : nullptr;
}

// ---------------------------------------------------------------------------
// Layout

bool TfrmChild::RulersShown() const
{
    return FFrame.RulerVisible();
}

void TfrmChild::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    FormResize();
}

void TfrmChild::showEvent(QShowEvent* Event)
{
    QWidget::showEvent(Event);
    UpdateActionStates();
    UpdateRulerHead();
}

void TfrmChild::LayoutView()
{
    const bool R = RulersShown();
    const int32_t RV = R ? pboxRulerV->width() : 0;
    const int32_t RH = R ? pboxRulerH->height() : 0;
    const int32_t SV = ScrollBarV->isHidden() ? 0 : ScrollBarV->width();
    const int32_t SH = ScrollBarH->isHidden() ? 0 : ScrollBarH->height();
    pboxkClient->setGeometry(2 + RV, 2 + RH, std::max(0, width() - 4 - SV - RV),
                             std::max(0, height() - 4 - SH - RH));
}

void TfrmChild::FormResize()
{
    if (Terminating() || FbDestroying)
        return;
    const bool R = RulersShown();
    pboxRulerH->setVisible(R);
    pboxRulerV->setVisible(R);
    imgRulerHead->setVisible(R);
    const int32_t E = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, ScrollBarV);
    ScrollBarV->resize(E, ScrollBarV->height());
    ScrollBarH->resize(ScrollBarH->width(), E);
    LayoutView();
    SetViewOrigin(FViewOrigin.X, FViewOrigin.Y);

    const int32_t W = width();
    const int32_t H = height();
    const int32_t SV = ScrollBarV->isHidden() ? 0 : E;
    const int32_t SH = ScrollBarH->isHidden() ? 0 : E;
    QRect BarV(W - E - 2, 2, E, std::max(0, H - 2 - SH - 2));
    QRect BarH(2, H - E - 2, std::max(0, W - 2 - SV - 2), E);
    if (R) {
        pboxRulerV->setGeometry(2, 2 + RulerThickness, RulerThickness, std::max(0, H - RulerThickness - 4));
        pboxRulerH->setGeometry(2 + RulerThickness, 2, std::max(0, W - RulerThickness - 4), RulerThickness);
        imgRulerHead->setGeometry(2, 2, RulerThickness, RulerThickness);
        BarV.setTop(BarV.top() + RulerThickness);
        BarH.setLeft(BarH.left() + RulerThickness);
    }
    ScrollBarV->setGeometry(BarV);
    ScrollBarH->setGeometry(BarH);
    SetViewOrigin(FViewOrigin.X, FViewOrigin.Y);
    update();
    pboxkClient->update();
    InvalidateRulers();
}

bool TfrmChild::SetAxisOrigin(int32_t& Origin, int32_t PageExtent, int32_t ViewExtent, TScrollBarWex& Bar)
{
    // In 64 bits: a page side with its margins reaches past int32_t near
    // the largest sides; the bar's range saturates there instead.
    const int64_t K = FiZoom > 100 ? FiZoom / 100 : 1;
    const int64_t V = (int64_t(ViewExtent) * 100 / FiZoom) / K * K;
    const int64_t M = int64_t(PageExtent) / 10;
    const int64_t O = int64_t(PageExtent) + 2 * M - V;
    const bool WasVisible = !Bar.isHidden();
    const bool Visible = O >= 0;
    const QSignalBlocker Block(&Bar);
    if (Visible) {
        const int64_t P = std::clamp<int64_t>(int64_t(Origin) + M, 0, O);
        Origin = SaturateInt32(P - M);
        Bar.setEnabled(true);
        Bar.SetParams(SaturateInt32(P), 0, SaturateInt32(O), static_cast<uint32_t>(std::max<int64_t>(V, 0)));
        Bar.setProperty("LargeChange", SaturateInt32(std::max<int64_t>(1, (V * 8 / 10) / K * K)));
        Bar.setSingleStep(SaturateInt32(std::max<int64_t>(1, (V / 5) / K * K)));
    } else {
        Bar.setEnabled(false);
        Origin = SaturateInt32(-((V - PageExtent) / 2));
    }
    Bar.setVisible(Visible);
    return WasVisible != Visible;
}

void TfrmChild::SetViewOrigin(int32_t X, int32_t Y)
{
    TOLECustomPage* P = Page();
    if (!P) {
        FViewOrigin = {X, Y};
        return;
    }
    if (SetAxisOrigin(X, P->Width(), pboxkClient->width(), *ScrollBarH))
        LayoutView();
    if (SetAxisOrigin(Y, P->Height(), pboxkClient->height(), *ScrollBarV)) {
        LayoutView();
        // The vertical bar took or gave back width.
        if (SetAxisOrigin(X, P->Width(), pboxkClient->width(), *ScrollBarH))
            LayoutView();
    }
    FViewOrigin = {X, Y};
}

void TfrmChild::SetZoom(int32_t Zoom)
{
    if (Zoom < 1 || Zoom > 1600 || Zoom == FiZoom)
        return;
    ++FiUpdating;
    try {
        FFrame.ShowZoom(Zoom);
        const int32_t VW = pboxkClient->width();
        const int32_t VH = pboxkClient->height();
        const int32_t W0 = VW * 100 / FiZoom;
        const int32_t H0 = VH * 100 / FiZoom;
        FiZoom = Zoom;
        const int32_t W1 = VW * 100 / FiZoom;
        const int32_t H1 = VH * 100 / FiZoom;
        SetViewOrigin(SaturateInt32(int64_t(FViewOrigin.X) + (W0 - W1) / 2),
                      SaturateInt32(int64_t(FViewOrigin.Y) + (H0 - H1) / 2));
    } catch (...) {
        --FiUpdating;
        throw;
    }
    --FiUpdating;
    FormResize();
}

void TfrmChild::ScrollBarH1Change(int Position)
{
    if (TOLECustomPage* P = Page())
        FViewOrigin.X = Position - P->Width() / 10;
    FOverlay->ViewChanged();
    if (FiScrollUpdating == 0) {
        pboxkClient->repaint();
        pboxRulerH->repaint();
    } else {
        pboxkClient->update();
        pboxRulerH->update();
    }
}

void TfrmChild::ScrollBarV1Change(int Position)
{
    if (TOLECustomPage* P = Page())
        FViewOrigin.Y = Position - P->Height() / 10;
    FOverlay->ViewChanged();
    if (FiScrollUpdating == 0) {
        pboxkClient->repaint();
        pboxRulerV->repaint();
    } else {
        pboxkClient->update();
        pboxRulerV->update();
    }
}

// ---------------------------------------------------------------------------
// Mapping

TPoint TfrmChild::DocToView(const TPoint& P) const
{
    return {DocToViewCoord(P.X, FViewOrigin.X, FiZoom), DocToViewCoord(P.Y, FViewOrigin.Y, FiZoom)};
}

TPoint TfrmChild::ViewToDoc(const TPoint& P) const
{
    return {ViewToDocCoord(P.X, FViewOrigin.X, FiZoom), ViewToDocCoord(P.Y, FViewOrigin.Y, FiZoom)};
}

void TfrmChild::SetViewMapping(QPainter& DC, int32_t DX, int32_t DY) const
{
    const double S = FiZoom / 100.0;
    QTransform T;
    T.scale(S, S);
    T.translate(-(double(FViewOrigin.X) - DX), -(double(FViewOrigin.Y) - DY));
    DC.setTransform(T);
}

void TfrmChild::SetClipMapping(QPainter& DC, int32_t DX, int32_t DY) const
{
    SetViewMapping(DC, DX, DY);
    const int32_t VW = pboxkClient->width();
    const int32_t VH = pboxkClient->height();
    const int32_t Z = FiZoom;
    const int32_t EW = Z <= 100 ? VW * 100 / Z : (VW * 100 + Z - 1) / Z;
    const int32_t EH = Z <= 100 ? VH * 100 / Z : (VH * 100 + Z - 1) / Z;
    DC.setClipRect(QRectF(double(FViewOrigin.X) - DX, double(FViewOrigin.Y) - DY, EW, EH), Qt::IntersectClip);
}

TPoint TfrmChild::GetCursorDocPos() const
{
    const QPoint P = pboxkClient->mapFromGlobal(QCursor::pos());
    return ViewToDoc({P.x(), P.y()});
}

QRectF TfrmChild::PageRectOfView(const QRect& View) const
{
    const double F = 100.0 / FiZoom;
    double L = FViewOrigin.X + View.left() * F;
    double T = FViewOrigin.Y + View.top() * F;
    double R = FViewOrigin.X + (View.right() + 1) * F;
    double B = FViewOrigin.Y + (View.bottom() + 1) * F;
    if (FiZoom > 100) {
        L -= 1;
        T -= 1;
        R += 2;
        B += 2;
    }
    return QRectF(QPointF(L, T), QPointF(R, B));
}

TRect TfrmChild::GetDragRect(const TPoint& S, const TPoint& C) const
{
    return GetDragRect(S, C, GetAsyncShiftState());
}

TRect TfrmChild::GetDragRect(const TPoint& S, const TPoint& C, uint8_t Keys) const
{
    const bool Shift = (Keys & ssShift) != 0;
    const bool Alt = (Keys & ssAlt) != 0;
    const int32_t AX = std::abs(C.X - S.X);
    const int32_t AY = std::abs(C.Y - S.Y);
    const int32_t D = std::max(AX, AY);
    if (Shift && Alt)
        return {S.X - D, S.Y - D, S.X + D, S.Y + D};
    if (Alt)
        return {S.X - AX, S.Y - AY, S.X + AX, S.Y + AY};
    TPoint E = C;
    if (Shift)
        E = {C.X < S.X ? S.X - D : S.X + D, C.Y < S.Y ? S.Y - D : S.Y + D};
    return {std::min(S.X, E.X), std::min(S.Y, E.Y), std::max(S.X, E.X), std::max(S.Y, E.Y)};
}

void TfrmChild::BuildPopupMenu(int32_t Kind)
{
    using namespace FrameCommand;
    static const std::vector<int32_t> Items[3] = {
        {actShowGrid, actSnapGrid, actSnapObj, -1, actPaste},
        {act1Up, act1Down, actTop, actBottom, -1, actShowGrid, actSnapGrid, actSnapObj, -1, actCut, actCopy,
         actPaste, actDel, actDup},
        {actNodeSym, actNodeSmooth, actNodeSharp, -1, actNodeConnect, actNodeDivide, -1, actBezierToLine,
         actLineToBezier, -1, actDel, actSelAll, -1, actShowGrid, actSnapGrid, actSnapObj}};
    PopupMenu->clear();
    if (Kind < 0 || Kind > 2)
        return;
    for (int32_t Index : Items[Kind]) {
        if (Index < 0)
            PopupMenu->addSeparator();
        else if (QAction* A = Action(Index))
            PopupMenu->addAction(A);
    }
}

// ---------------------------------------------------------------------------
// The page's calls

void TfrmChild::PageLayoutChanged()
{
    FormResize();
    pboxkClient->update();
    // A page read anew may bring another ruler unit.
    UpdateRulerHead();
    InvalidateRulers();
}

void TfrmChild::InvalidatePageRect(const TRect* Rect)
{
    // The page calls this for every area it painted anew (and for areas it
    // is about to): the view copy takes those pixels at the next paint.
    // Posted before the view's own update, so it runs first.
    PostRenderAhead();
    if (Rect) {
        if (Rect->Left <= Rect->Right && Rect->Top <= Rect->Bottom)
            RectUnion(FrectViewCopyStale, *Rect, FrectViewCopyStale);
        InvalidateDocRect(*Rect);
    } else {
        FbViewCopyAllStale = true;
        pboxkClient->update();
        // A whole new picture under a drag (a part is the drag's own edit,
        // which its outline shows): the overlay takes it again.
        FOverlay->ViewChanged();
    }
}

void TfrmChild::PostRenderAhead()
{
    if (FbRenderPosted || FbRenderingAhead)
        return;
    FbRenderPosted = true;
    QMetaObject::invokeMethod(this, [this] {
        FbRenderPosted = false;
        RenderAhead();
    }, Qt::QueuedConnection);
}

bool TfrmChild::LongRenderDue() const
{
    const TOLECustomPage* P = Page();
    if (!P)
        return false;
    return LongRender(P->DirtyRect());
}

bool TfrmChild::LongRender(const TRect& Dirty)
{
    // The dirty area lies on the page (never past it, however far an effect
    // reaches); counted so that no rectangle can overflow the count.
    return RectPixelCount(Dirty) >= LongRenderPixels;
}

void TfrmChild::RenderAhead()
{
    TOLECustomPage* P = Page();
    // Only what the next paint would render anyway; while a mouse button is
    // down a drag is under way, and its outlines go over the page as it is.
    if (!P || Terminating() || FbDestroying || FbBlank || FbLoading || P->DisplayMode() == 0 ||
        !pboxkClient->isVisible() || QGuiApplication::mouseButtons() != Qt::NoButton)
        return;
    // A large area takes seconds (a picture of a hundred million pixels
    // takes a quarter of a minute): the windows show first, with the page as
    // it was, and the wait cursor says the program is at work while the
    // status bar shows how far it is.
    const bool Long = LongRenderDue();
    if (Long) {
        const QWindow* Shown = window()->windowHandle();
        if (!Shown || !Shown->isExposed()) {
            // Not on the screen yet: once it is.
            FbRenderPosted = true;
            QTimer::singleShot(50, this, [this] {
                FbRenderPosted = false;
                RenderAhead();
            });
            return;
        }
        QApplication::setOverrideCursor(Qt::WaitCursor);
    }
    FbRenderingAhead = true;
    if (Long) {
        window()->repaint();
        if (TDrawProgressPanel* Panel = GetProgressStatusPanel())
            Panel->ShowProgress(TrecDrawProgress{1, 1, 0, 1});
    }
    try {
        P->Update();
    } catch (...) {
        // The page as a whole could not be rendered (no memory for the area,
        // mostly): the paint that follows renders again and the failure
        // reaches the event boundary, told once while it lasts.
    }
    TellDrawFailures();
    FbRenderingAhead = false;
    if (Long)
        QApplication::restoreOverrideCursor();
}

void TfrmChild::FillViewCopy(const TrecPicture& Picture, const QRect& Copy, const QRect& Part, bool Smooth)
{
    const BITMAPINFOHEADER* Hd = RecPictureHeader(Picture);
    const int32_t PW = Hd->biWidth;
    const int32_t PH = Hd->biHeight;
    const size_t Line = GetDIBLineSize(PW, 24);
    // Row Y of the picture, counted from its top.
    auto Row = [&](int64_t Y) { return Picture.pBits + size_t(PH - 1 - Y) * Line; };
    if (FiZoom >= 100) {
        const int64_t X0 = int64_t(Copy.left()) + Part.left() - Picture.iLeft;
        for (int32_t Y = Part.top(); Y < Part.top() + Part.height(); ++Y) {
            const uint8_t* S = Row(int64_t(Copy.top()) + Y - Picture.iTop) + size_t(X0) * 3;
            auto* D = reinterpret_cast<uint32_t*>(FViewCopy.scanLine(Y)) + Part.left();
            for (int32_t X = 0; X < Part.width(); ++X, S += 3)
                D[X] = 0xFF000000u | uint32_t(S[2]) << 16 | uint32_t(S[1]) << 8 | S[0];
        }
        return;
    }
    // Each view pixel takes the page pixel under its centre, or with
    // smoothing the mean of up to 4 x 4 pixels spread over the page area it
    // covers.
    const double Step = 100.0 / FiZoom;
    const int32_t N = Smooth ? std::clamp(int32_t(std::ceil(Step)), 1, 4) : 1;
    auto Samples = [&](int32_t V0, int32_t Count, int32_t Origin, int64_t At, int32_t Extent) {
        std::vector<int32_t> S(size_t(Count) * N);
        for (int32_t V = 0; V < Count; ++V)
            for (int32_t I = 0; I < N; ++I) {
                const double Page = Origin + (V0 + V + (I + 0.5) / N) * Step;
                S[size_t(V) * N + I] = int32_t(std::clamp<int64_t>(int64_t(std::floor(Page)) - At, 0, Extent - 1));
            }
        return S;
    };
    const std::vector<int32_t> Cols =
        Samples(Copy.left() + Part.left(), Part.width(), FViewOrigin.X, Picture.iLeft, PW);
    const std::vector<int32_t> Rows =
        Samples(Copy.top() + Part.top(), Part.height(), FViewOrigin.Y, Picture.iTop, PH);
    const uint32_t Count = uint32_t(N * N);
    std::vector<const uint8_t*> Lines(static_cast<size_t>(N));
    for (int32_t Y = 0; Y < Part.height(); ++Y) {
        for (int32_t J = 0; J < N; ++J)
            Lines[size_t(J)] = Row(Rows[size_t(Y) * N + J]);
        auto* D = reinterpret_cast<uint32_t*>(FViewCopy.scanLine(Part.top() + Y)) + Part.left();
        for (int32_t X = 0; X < Part.width(); ++X) {
            const int32_t* C = &Cols[size_t(X) * N];
            uint32_t B = 0, G = 0, R = 0;
            for (const uint8_t* L : Lines)
                for (int32_t I = 0; I < N; ++I) {
                    const uint8_t* S = L + size_t(C[I]) * 3;
                    B += S[0];
                    G += S[1];
                    R += S[2];
                }
            D[X] = 0xFF000000u | (R + Count / 2) / Count << 16 | (G + Count / 2) / Count << 8 |
                   (B + Count / 2) / Count;
        }
    }
}

bool TfrmChild::RefreshViewCopy(const TrecPicture& Picture, bool Smooth)
{
    const BITMAPINFOHEADER* Hd = RecPictureHeader(Picture);
    const int32_t PW = Hd->biWidth;
    const int32_t PH = Hd->biHeight;
    const int64_t PL = Picture.iLeft;
    const int64_t PT = Picture.iTop;
    const bool Reduced = FiZoom < 100;
    TViewCopyKey Key;
    Key.Source = Picture.pBits;
    Key.PictureAt = {Picture.iLeft, Picture.iTop};
    if (Reduced) {
        // The view pixels the picture covers, its edges rounded as the
        // painter rounds those of the background's rectangles.
        const double F = FiZoom / 100.0;
        auto First = [F](int64_t Page, int32_t Origin) {
            return ClampToInt32(std::floor(double(Page - Origin) * F + 0.5));
        };
        const QRect View = pboxkClient->rect();
        const int32_t VX0 = std::max(View.left(), First(PL, FViewOrigin.X));
        const int32_t VY0 = std::max(View.top(), First(PT, FViewOrigin.Y));
        const int32_t VX1 = std::min(View.left() + View.width(), First(PL + PW, FViewOrigin.X));
        const int32_t VY1 = std::min(View.top() + View.height(), First(PT + PH, FViewOrigin.Y));
        if (VX0 >= VX1 || VY0 >= VY1)
            return false;
        Key.Rect = QRect(VX0, VY0, VX1 - VX0, VY1 - VY0);
        Key.Origin = FViewOrigin;
        Key.Zoom = FiZoom;
        Key.Smooth = Smooth;
    } else {
        const QRectF R = PageRectOfView(pboxkClient->rect());
        const int64_t X0 = std::max<int64_t>(PL, ClampToInt32(std::floor(R.left())));
        const int64_t Y0 = std::max<int64_t>(PT, ClampToInt32(std::floor(R.top())));
        const int64_t X1 = std::min<int64_t>(PL + PW, ClampToInt32(std::ceil(R.right())));
        const int64_t Y1 = std::min<int64_t>(PT + PH, ClampToInt32(std::ceil(R.bottom())));
        if (X0 >= X1 || Y0 >= Y1)
            return false;
        Key.Rect = QRect(int32_t(X0), int32_t(Y0), int32_t(X1 - X0), int32_t(Y1 - Y0));
    }
    // The part of the copy to make: all of it when the view moved, zoomed
    // or the picture changed; else what the page reported new, if anything.
    QRect Part(QPoint(0, 0), Key.Rect.size());
    if (Key == FViewCopyKey && !FViewCopy.isNull() && !FbViewCopyAllStale) {
        const TRect S = FrectViewCopyStale;
        if (S.Left > S.Right || S.Top > S.Bottom)
            return true;
        // In the copy's pixels, kept near the copy: a far stale area only
        // meets it or not.
        auto Near = [](int64_t V, int32_t Extent) { return int(std::clamp<int64_t>(V, -2, int64_t(Extent) + 1)); };
        const int32_t CW = Key.Rect.width();
        const int32_t CH = Key.Rect.height();
        if (Reduced) {
            // The view pixels whose page area meets the stale pixels, one
            // more each side for the rounding.
            const double F = FiZoom / 100.0;
            auto View = [F](int64_t Page, int32_t Origin, int32_t CopyAt, bool Up) {
                const double V = double(Page - Origin) * F;
                return int64_t(ClampToInt32(Up ? std::ceil(V) : std::floor(V))) - CopyAt;
            };
            Part &= QRect(QPoint(Near(View(S.Left, FViewOrigin.X, Key.Rect.left(), false) - 1, CW),
                                 Near(View(S.Top, FViewOrigin.Y, Key.Rect.top(), false) - 1, CH)),
                          QPoint(Near(View(int64_t(S.Right) + 1, FViewOrigin.X, Key.Rect.left(), true), CW),
                                 Near(View(int64_t(S.Bottom) + 1, FViewOrigin.Y, Key.Rect.top(), true), CH)));
        } else {
            Part &= QRect(QPoint(Near(int64_t(S.Left) - Key.Rect.left(), CW), Near(int64_t(S.Top) - Key.Rect.top(), CH)),
                          QPoint(Near(int64_t(S.Right) - Key.Rect.left(), CW),
                                 Near(int64_t(S.Bottom) - Key.Rect.top(), CH)));
        }
    }
    FbViewCopyAllStale = false;
    FrectViewCopyStale = TRect{-1, -1, -2, -2};
    FViewCopyKey = TViewCopyKey();
    if (FViewCopy.size() != Key.Rect.size())
        FViewCopy = QImage(Key.Rect.size(), QImage::Format_RGB32);
    if (FViewCopy.isNull())
        return false;
    if (!Part.isEmpty())
        FillViewCopy(Picture, Key.Rect, Part, Smooth);
    FViewCopyKey = Key;
    return true;
}

void TfrmChild::InvalidateDocRect(const TRect& Rect)
{
    if (Rect.Left > Rect.Right || Rect.Top > Rect.Bottom)
        return;
    const TPoint A = DocToView({Rect.Left, Rect.Top});
    const TPoint B = DocToView({Rect.Right, Rect.Bottom});
    // With the handles' margin, kept near the view: far corners saturate.
    auto Near = [](int64_t V, int32_t Extent) { return int(std::clamp<int64_t>(V, -16, int64_t(Extent) + 16)); };
    const int32_t W = pboxkClient->width();
    const int32_t H = pboxkClient->height();
    pboxkClient->update(QRect(QPoint(Near(int64_t(A.X) - 7, W), Near(int64_t(A.Y) - 7, H)),
                              QPoint(Near(int64_t(B.X) + 7, W), Near(int64_t(B.Y) + 7, H))));
}

void TfrmChild::HistoryChanged()
{
    THistoryCommand* H = FDocument ? FDocument->History() : nullptr;
    if (ShowsFrameState()) {
        if (QAction* Undo = Action(FrameCommand::actUndo))
            Undo->setEnabled(H && H->CanUndo());
        if (QAction* Redo = Action(FrameCommand::actRedo))
            Redo->setEnabled(H && H->CanRedo());
    }
    // Every recorded change, undo and redo of the document ends here. The
    // panel takes its copies again within or after each change of its own;
    // one made elsewhere (a mouse tool, a key, a menu command) leaves its
    // values and revert copies behind, and its next edit would write the old
    // values back. Once the change is done (the event that made it has
    // returned), a panel whose copies are older than the step loads the items
    // again.
    TfrmObjProperty* Panel = frmObjProperty.Made();
    if (Panel && Panel->DocLink() == this && H && Panel->CopiesStep() < H->StepSerial()) {
        const uint64_t Step = H->StepSerial();
        QTimer::singleShot(0, this, [this, Step] {
            TfrmObjProperty* Panel = frmObjProperty.Made();
            if (Panel && Panel->DocLink() == this && Panel->CopiesStep() < Step && !Panel->Busy())
                ReloadPanelReported();
        });
    }
    pboxkClient->update();
}

bool TfrmChild::ShowsFrameState() const
{
    auto* Area = qobject_cast<QMdiArea*>(FArea.data());
    QMdiSubWindow* Current = Area ? Area->currentSubWindow() : nullptr;
    return !Current || Current == FSubWindow;
}

void TfrmChild::RedrawAnchors()
{
    // The handles are part of every paint of the view.
    pboxkClient->repaint();
}

void TfrmChild::SelectionChanged(bool Refresh)
{
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    Sel->CalcBounds();
    if (Refresh)
        Sel->RebuildAnchors();
    // The model tells of a change it has made, often from a destructor.
    ReloadPanelReported();
    ShowSelectionStatus();
    UpdateActionStates();
    pboxkClient->update();
}

void TfrmChild::ReloadPanelReported()
{
    try {
        ReloadPanel();
        FstrPanelFailure.clear();
    } catch (const std::exception& E) {
        if (FstrPanelFailure != E.what()) {
            FstrPanelFailure = E.what();
            ShowEventException(std::current_exception());
        }
    }
}

void TfrmChild::UpdateGridActions()
{
    TPage* P = DrawingPage();
    if (!P)
        return;
    if (QAction* A = Action(FrameCommand::actShowGrid))
        A->setChecked(P->Grid().ShowGrid != 0);
    if (QAction* A = Action(FrameCommand::actSnapGrid))
        A->setChecked(P->Grid().SnapGrid != 0);
}

void TfrmChild::UpdateDispModeActions()
{
    TOLECustomPage* P = Page();
    if (!P || P->DisplayMode() > 3)
        return;
    if (QAction* A = Action(FrameCommand::actDispWire - P->DisplayMode()))
        A->setChecked(true);
}

uint8_t TfrmChild::RulerUnit() const
{
    // The unit the grid and ruler options set, not the page setup's.
    TOLECustomPage* P = Page();
    return P ? P->RulerUnit() : RulerUnitPixel;
}

void TfrmChild::UpdateRulerHead()
{
    imgRulerHead->setPixmap(RulerHeadPixmap(RulerUnit()));
}

void TfrmChild::InvalidateRulers()
{
    pboxRulerH->update();
    pboxRulerV->update();
    imgRulerHead->update();
}

void TfrmChild::FormActivate()
{
    if (Terminating())
        return;
    if (TPage* P = DrawingPage())
        FFrame.UpdateToolButton(P->MouseMode(), P->PolySubMode());
    FFrame.ShowZoom(FiZoom);
    UpdateDispModeActions();
    if (TSelectedObjects* Sel = Selection())
        if (QAction* A = Action(FrameCommand::actDispAnchor))
            A->setChecked(Sel->GetAnchorsVisible());
    // Coming from another window: the panel and the commands follow this
    // window's selection, and a maximised window lays out anew.
    static QPointer<TfrmChild> ActiveBefore;
    if (ActiveBefore && ActiveBefore != this) {
        SelectionChanged(false);
        if (FSubWindow && FSubWindow->isMaximized())
            FormResize();
    }
    ActiveBefore = this;
}

// ---------------------------------------------------------------------------
// Painting

void TfrmChild::paintEvent(QPaintEvent*)
{
    // The form's own face: a sunken edge round the client area.
    QPainter DC(this);
    DC.fillRect(rect(), palette().color(QPalette::Window));
    DrawBevelFrame(DC, TRect{0, 0, width(), height()}, false, -1);
}

void TfrmChild::pboxkClientPaint(QPainter& DC, const QRect& Clip)
{
    if (Terminating() || FbDestroying || !Page() || FbBlank) {
        DC.fillRect(Clip, Qt::white);
        return;
    }
    const QRect ViewClip = Clip.isEmpty() ? pboxkClient->rect() : Clip;
    const QRectF R = PageRectOfView(ViewClip);
    DC.save();
    SetClipMapping(DC, 0, 0);
    DrawBackground(DC, R);
    DrawPage(DC, R);
    if (!FNewItemOutline.empty()) {
        // Gone once the picture has the item (a wireframe has every item).
        const TRect& D = Page()->DirtyRect();
        if (D.Left > D.Right || D.Top > D.Bottom || Page()->DisplayMode() == 0) {
            FNewItemOutline.clear();
        } else {
            for (const TXorLines& L : FNewItemOutline) {
                DC.setPen(QPen(QColor::fromRgb(L.Colour), 0));
                for (const QPolygonF& F : L.Figures)
                    DC.drawPolyline(F);
            }
        }
    }
    DC.restore();
    DrawGrid(DC, R);
    DrawAnchors(DC);
}

void TfrmChild::DrawBackground(QPainter& DC, const QRectF& R)
{
    TOLECustomPage* P = Page();
    const double W = P->Width();
    const double H = P->Height();
    const int32_t K = FiZoom >= 100 ? 1 : 100 / FiZoom;
    const double WK = double(P->Width() / K * K);
    const double HK = double(P->Height() / K * K);
    const double S = ShadowWidth;
    auto Fill = [&](double L, double T, double Rt, double B, const QColor& C) {
        if (L >= Rt || T >= B)
            return;
        const QRectF A = QRectF(QPointF(L, T), QPointF(Rt, B)) & R;
        if (!A.isEmpty())
            DC.fillRect(A, C);
    };
    const QColor Grey(128, 128, 128);
    const double X0 = R.left();
    const double X1 = R.right();
    const double Y0 = R.top();
    const double Y1 = R.bottom();
    Fill(X0, Y0, X1, 0, Grey);              // above
    Fill(X0, 0, 0, H + S, Grey);            // left
    Fill(W + S, 0, X1, H + S, Grey);        // right of the shadow
    Fill(X0, H + S, X1, Y1, Grey);          // below
    Fill(WK, 0, W + S, S, Grey);            // corner top right
    Fill(0, HK, S, H + S, Grey);            // corner bottom left
    Fill(WK, S, W + S, H + S, Qt::black);   // shadow right
    Fill(S, HK, W, H + S, Qt::black);       // shadow below
}

void TfrmChild::TellDrawFailures()
{
    TPage* Draw = DrawingPage();
    if (!Draw)
        return;
    // The items that failed were left out of the picture (and stay out
    // until they change): each failure is told once, the same text once.
    std::vector<std::string> Texts;
    std::vector<std::exception_ptr> Told;
    for (const TItemDrawFailure& F : Draw->TakeDrawFailures()) {
        std::string Text = EventExceptionText(F.Error);
        if (std::find(Texts.begin(), Texts.end(), Text) == Texts.end()) {
            Texts.push_back(std::move(Text));
            Told.push_back(F.Error);
        }
    }
    if (Told.empty())
        return;
    // After the paint, from the event loop: a modal box inside a paint
    // event would paint the window again from within its paint.
    QMetaObject::invokeMethod(
        this,
        [Told] {
            for (const std::exception_ptr& E : Told)
                ShowEventException(E);
        },
        Qt::QueuedConnection);
}

void TfrmChild::DrawPage(QPainter& DC, const QRectF& R)
{
    TOLECustomPage* P = Page();
    const QRectF Whole(0, 0, P->Width(), P->Height());
    if (P->DisplayMode() == 0) {
        const QRectF A = Whole & R;
        if (A.isEmpty())
            return;
        DC.fillRect(A, Qt::white);
        if (TPage* Draw = DrawingPage()) {
            TPainterDragFrameDC Frame(DC);
            Draw->RootGroup().DrawDragFrame(Frame, 0);
        }
        return;
    }
    // A long rendering waiting to run ahead is left to it.
    if (!FbRenderingAhead && !(FbRenderPosted && LongRenderDue())) {
        // The status bar's progress repaints at once, which would paint the
        // window again from inside this paint (Qt's painting breaks on it):
        // a render inside a paint goes without progress.
        TDrawProgressPanel* Panel = GetProgressStatusPanel();
        SetProgressStatusPanel(nullptr);
        struct TRestore {
            TDrawProgressPanel* Panel;
            ~TRestore() { SetProgressStatusPanel(Panel); }
        } Restore{Panel};
        P->Update();
        TellDrawFailures();
    }
    const TrecPicture* Pic = P->GetPagePicture();
    const BITMAPINFOHEADER* Hd = Pic ? RecPictureHeader(*Pic) : nullptr;
    if (!Hd || Hd->biBitCount != 24 || Hd->biWidth <= 0 || Hd->biHeight <= 0)
        return;
    if (!RefreshViewCopy(*Pic, FiZoom < 100 && FFrame.SmoothDisplay()))
        return;
    const QRect& C = FViewCopyKey.Rect;
    if (FiZoom >= 100) {
        // The whole page pixels the rectangle touches, within the copy.
        const int32_t X0 = std::max(C.left(), ClampToInt32(std::floor(R.left())));
        const int32_t Y0 = std::max(C.top(), ClampToInt32(std::floor(R.top())));
        const int32_t X1 = std::min(C.left() + C.width(), ClampToInt32(std::ceil(R.right())));
        const int32_t Y1 = std::min(C.top() + C.height(), ClampToInt32(std::ceil(R.bottom())));
        if (X0 >= X1 || Y0 >= Y1)
            return;
        DC.drawImage(QRectF(X0, Y0, X1 - X0, Y1 - Y0), FViewCopy,
                     QRect(X0 - C.left(), Y0 - C.top(), X1 - X0, Y1 - Y0));
        return;
    }
    // Already in view pixels: the clip's part, one to one.
    const double F = FiZoom / 100.0;
    const QRect Part = QRect(QPoint(ClampToInt32(std::floor((R.left() - FViewOrigin.X) * F)),
                                    ClampToInt32(std::floor((R.top() - FViewOrigin.Y) * F))),
                             QPoint(ClampToInt32(std::ceil((R.right() - FViewOrigin.X) * F)),
                                    ClampToInt32(std::ceil((R.bottom() - FViewOrigin.Y) * F)))) &
                       C;
    if (Part.isEmpty())
        return;
    DC.save();
    DC.resetTransform();
    DC.drawImage(Part.topLeft(), FViewCopy, Part.translated(-C.topLeft()));
    DC.restore();
}

void TfrmChild::DrawGrid(QPainter& DC, const QRectF& R)
{
    TPage* P = DrawingPage();
    if (!P || !P->Grid().ShowGrid)
        return;
    const TrecGrid& G = P->Grid();
    double SX = 0;
    double SY = 0;
    GetGridStep(G, P->DPI(), SX, SY);
    SX = GridDrawStep(SX, FiZoom);
    SY = GridDrawStep(SY, FiZoom);
    if (SX <= 0 || SY <= 0)
        return;
    const double OX = G.Value1;
    const double OY = G.Value2;
    const double Left = std::max(0.0, R.left());
    const double Top = std::max(0.0, R.top());
    const double Right = std::min<double>(P->Width(), R.right());
    const double Bottom = std::min<double>(P->Height(), R.bottom());
    if (Left >= Right || Top >= Bottom)
        return;
    // Grid point i lies at origin + Floor(i x step), as snapping puts it.
    auto First = [](double From, double O, double Step) {
        auto I = static_cast<int64_t>(std::ceil((From - O) / Step)) - 1;
        while (O + std::floor(double(I) * Step) < From)
            ++I;
        return I;
    };
    QPolygon Dots;
    for (int64_t J = First(Top, OY, SY);; ++J) {
        const double Y = OY + std::floor(double(J) * SY);
        if (Y >= Bottom)
            break;
        for (int64_t I = First(Left, OX, SX);; ++I) {
            const double X = OX + std::floor(double(I) * SX);
            if (X >= Right)
                break;
            const TPoint V = DocToView({int32_t(X), int32_t(Y)});
            Dots << QPoint(V.X, V.Y);
        }
    }
    DC.save();
    DC.resetTransform();
    DC.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    DC.setPen(QColor(255, 255, 255));
    DC.drawPoints(Dots);
    DC.restore();
}

void TfrmChild::DrawAnchors(QPainter& DC)
{
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    DC.save();
    DC.resetTransform();
    TViewAnchorCanvas Canvas(*this, *pboxkClient, &DC);
    Sel->GetAnchors().Draw(&Canvas, FiZoom);
    DC.restore();
}

TRulerStep TfrmChild::GetRulerStep() const
{
    TOLECustomPage* P = Page();
    return ::GetRulerStep(FiZoom, P ? P->DPI() : 0, RulerUnit());
}

void TfrmChild::pboxRulerHPaint(QPainter& DC)
{
    TOLECustomPage* P = Page();
    const auto Ticks = P && !FbBlank ? RulerTicks(FViewOrigin.X, pboxkClient->width(), FiZoom, P->DPI(), RulerUnit())
                                     : std::vector<TRulerTick>();
    PaintRuler(DC, true, pboxRulerH->width(), Ticks, FiRulerPosH);
}

void TfrmChild::pboxRulerVPaint(QPainter& DC)
{
    TOLECustomPage* P = Page();
    const auto Ticks = P && !FbBlank ? RulerTicks(FViewOrigin.Y, pboxkClient->height(), FiZoom, P->DPI(), RulerUnit())
                                     : std::vector<TRulerTick>();
    PaintRuler(DC, false, pboxRulerV->height(), Ticks, FiRulerPosV);
}

void TfrmChild::DrawRulerCursorH(int32_t X)
{
    // Drawn again at the same place the line goes, as an XOR line would.
    if (FiRulerPosH >= 0)
        pboxRulerH->update(FiRulerPosH, 0, 1, RulerThickness);
    FiRulerPosH = FiRulerPosH == X ? -1 : X;
    pboxRulerH->update(X, 0, 1, RulerThickness);
}

void TfrmChild::DrawRulerCursorV(int32_t Y)
{
    if (FiRulerPosV >= 0)
        pboxRulerV->update(0, FiRulerPosV, RulerThickness, 1);
    FiRulerPosV = FiRulerPosV == Y ? -1 : Y;
    pboxRulerV->update(0, Y, RulerThickness, 1);
}

// ---------------------------------------------------------------------------
// Keys and wheel

void TfrmChild::keyPressEvent(QKeyEvent* Event)
{
    // Ctrl changes what a press would do: the cursor shows it at once.
    if (Event->key() == Qt::Key_Control) {
        UpdateCursor(0);
        QWidget::keyPressEvent(Event);
        return;
    }
    if (Event->key() == Qt::Key_Space && (Event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier &&
        !Event->isAutoRepeat()) {
        ToolToggle();
        Event->accept();
        return;
    }
    if (NudgeSelection(Event->key(), Event->modifiers())) {
        Event->accept();
        return;
    }
    // FormShortCut: the keypad's plus and minus zoom.
    if (Event->modifiers() & Qt::KeypadModifier) {
        const int32_t Index = Event->key() == Qt::Key_Plus    ? FrameCommand::actZoomIn
                              : Event->key() == Qt::Key_Minus ? FrameCommand::actZoomOut
                                                              : -1;
        if (Index >= 0) {
            if (QAction* A = Action(Index))
                A->trigger();
            Event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(Event);
}

void TfrmChild::keyReleaseEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Control)
        UpdateCursor(0);
    QWidget::keyReleaseEvent(Event);
}

void TfrmChild::wheelEvent(QWheelEvent* Event)
{
    FFrame.MouseWheel(*Event);
}

// ---------------------------------------------------------------------------
// Commands

template <class F>
void TfrmChild::RunCommand(const std::string& Caption, F&& Body)
{
    RunReported(FDocument ? FDocument->History() : nullptr, Caption, std::forward<F>(Body));
}

void TfrmChild::actUndoExecute()
{
    ReplayHistory(false);
}

void TfrmChild::actRedoExecute()
{
    ReplayHistory(true);
}

void TfrmChild::ReplayHistory(bool Redo)
{
    // An undo may take a new item away again before its picture is made.
    FNewItemOutline.clear();
    THistoryCommand* H = FDocument ? FDocument->History() : nullptr;
    if (!H)
        return;
    // Nothing to replay changes nothing: above all it marks nothing modified.
    if (Redo ? !H->CanRedo() : !H->CanUndo()) {
        UpdateActionStates();
        return;
    }
    QPointer<QWidget> Focused = QApplication::focusWidget();
    setFocus();
    TSelectedObjects* Sel = Selection();
    // The panel's text edit keeps its caret over a step on the one selected
    // text, which shows the text as the step left it.
    TfrmObjProperty* Panel = frmObjProperty.Made();
    const bool OneText =
        Panel && Sel && Sel->Count() == 1 && Panel->BoundText() && Sel->GetItem(0) == Panel->BoundText();
    if (OneText)
        Panel->KeepTextCaret();
    if (Sel)
        Sel->BeginUpdate();
    try {
        Redo ? H->Redo() : H->Undo();
    } catch (...) {
        if (Sel)
            Sel->EndUpdate();
        throw;
    }
    if (Sel)
        Sel->EndUpdate();
    Panel = frmObjProperty.Made();
    if (OneText && Panel && Sel->Count() == 1 && Sel->GetItem(0) == Panel->BoundText())
        Panel->ReloadText();
    FDocument->SetModified(true);
    UpdateActionStates();
    if (Focused)
        Focused->setFocus();
    pboxkClient->update();
}

void TfrmChild::actCutExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->CutToClipboard();
}

void TfrmChild::actCopyExecute()
{
    if (TSelectedObjects* Sel = Selection())
        Sel->CopyToClipboard();
}

void TfrmChild::actPasteExecute()
{
    TSelectedObjects* Sel = Selection();
    if (!Sel || !ClipboardHasDrawItem() || !OpenClipboard(this))
        return;
    const uint16_t Own = CFDrawItem();
    const bool AsText = !(Own != 0 && IsClipboardFormatAvailable(Own));
    HGLOBAL Data = GetClipboardData(AsText ? CF_TEXT : Own);
    void* Bytes = Data ? GlobalLock(Data) : nullptr;
    Sel->InvalidateView();
    try {
        if (!Bytes)
            throw EUserError("actPasteExecute: no data");
        TMemoryStreamWex Stream;
        Stream.SetPointer(Bytes, int64_t(GlobalSize(Data)));
        Sel->PasteCommand(Stream, AsText, CaptionPaste);
    } catch (...) {
        MessageBox(this, "クリップボードからの読み込みに失敗しました", "エラー", MB_OK | MB_ICONERROR);
    }
    if (Bytes)
        GlobalUnlock(Data);
    CloseClipboard();
    Sel->CalcBounds();
    SelectionChanged(false);
}

void TfrmChild::actDelExecute()
{
    TSelectedObjects* Sel = Selection();
    TPage* P = DrawingPage();
    if (!Sel || !P)
        return;
    if (P->MouseMode() == 6)
        Sel->CommandDeleteNodes();
    else
        Sel->DeleteCommand(CaptionDelete);
}

void TfrmChild::actDupExecute()
{
    if (TSelectedObjects* Sel = Selection()) {
        try {
            Sel->DuplicateCommand(CaptionDuplicate);
        } catch (...) {
            // Cancelled by the selection; nothing of it stays.
            ShowEventException(std::current_exception());
        }
    }
}

void TfrmChild::actSelAllExecute()
{
    TSelectedObjects* Sel = Selection();
    TPage* P = DrawingPage();
    if (!Sel || !P)
        return;
    RunCommand(CaptionSelectAll, [&] {
        Sel->BeginUpdate();
        try {
            Sel->ClearSelection();
            TDrawGroup& Root = P->RootGroup();
            for (int32_t I = 0; I < Root.GetCount(); ++I)
                Sel->AddItem(Root.GetItem(I));
            Sel->CalcBounds();
            Sel->RebuildAnchors();
        } catch (...) {
            Sel->EndUpdate();
            throw;
        }
        Sel->EndUpdate();
    });
}

void TfrmChild::actCloseExecute()
{
    if (FSubWindow)
        FSubWindow->close();
}

void TfrmChild::actSaveExecute()
{
    if (FDocument)
        FDocument->Save();
}

void TfrmChild::actSaveAsExecute()
{
    if (FDocument)
        FDocument->SaveAs();
}

void TfrmChild::PasteText(const std::string& Text)
{
    TSelectedObjects* Sel = Selection();
    if (!Sel)
        return;
    TMemoryStream Stream;
    Stream.Write(Text.data(), static_cast<int32_t>(Text.size()));
    Stream.SetPosition(0);
    try {
        Sel->PasteCommand(Stream, true, "図形の貼り付け");
    } catch (...) {
        ErrorMessageBox(this, "データの読み込みに失敗しました");
    }
    pboxkClient->update();
}

void TfrmChild::actZoomInExecute()
{
    if (FiZoom <= 800)
        FFrame.ApplyZoom(FiZoom * 2);
}

void TfrmChild::actZoomOutExecute()
{
    if (FiZoom >= 20)
        FFrame.ApplyZoom(FiZoom / 2);
}

void TfrmChild::actDispModeExecute(QAction* Sender)
{
    TOLECustomPage* P = Page();
    if (!P || !Sender)
        return;
    // The four commands lie high, middle, low, wire frame in the table:
    // wire frame's index minus the sender's is the mode.
    int32_t Mode = -1;
    for (int32_t I = FrameCommand::actDispHigh; I <= FrameCommand::actDispWire; ++I)
        if (Action(I) == Sender)
            Mode = FrameCommand::actDispWire - I;
    // Asked of the page, not of the command's check, which a checkable
    // command has already changed when it runs.
    if (Mode < 0 || Mode == P->DisplayMode())
        return;
    RunCommand(CaptionDispMode, [&] { P->SetDisplayMode(uint8_t(Mode)); });
    P->InvalidateRect(nullptr, true);
    UpdateDispModeActions();
    pboxkClient->update();
}

void TfrmChild::actDispAnchorExecute()
{
    TSelectedObjects* Sel = Selection();
    const bool Visible = !(Sel ? Sel->GetAnchorsVisible() : true);
    if (QAction* A = Action(FrameCommand::actDispAnchor))
        A->setChecked(Visible);
    FFrame.SetDispAnchor(Visible);
}

void TfrmChild::actShowGridExecute()
{
    TPage* P = DrawingPage();
    if (!P)
        return;
    RunCommand(CaptionShowGrid, [&] { P->SetShowGrid(P->Grid().ShowGrid ? 0 : 1); });
    UpdateGridActions();
}

void TfrmChild::actSnapGridExecute()
{
    TPage* P = DrawingPage();
    if (!P)
        return;
    RunCommand(CaptionSnapGrid, [&] { P->SetSnapGrid(P->Grid().SnapGrid ? 0 : 1); });
    UpdateGridActions();
}

void TfrmChild::actGridOptionExecute()
{
    TPage* P = DrawingPage();
    if (!P)
        return;
    TfrmDocOption Dialog(this);
    Dialog.SetUp(P->Grid(), P->RulerUnit());
    Dialog.adjustSize();
    if (TRect Work; GetWorkAreaRect(Work))
        Dialog.move((Work.Left + Work.Right - Dialog.width()) / 2, (Work.Top + Work.Bottom - Dialog.height()) / 2);
    if (Dialog.exec() != QDialog::Accepted)
        return;
    const bool GridChanged = !GridOptionEqual(Dialog.Grid(), P->Grid());
    const bool UnitChanged = Dialog.RulerUnit() != P->RulerUnit();
    if (!GridChanged && !UnitChanged)
        return;
    QAction* A = Action(FrameCommand::actGridOption);
    RunCommand(A ? A->text().toStdString() : std::string(), [&] {
        if (GridChanged)
            P->SetGridOption(Dialog.Grid());
        if (UnitChanged)
            P->SetRulerUnit(Dialog.RulerUnit());
    });
    pboxkClient->update();
}

void TfrmChild::actSnapObjExecute()
{
    FbSnapObj = FbSnapObj ? 0 : 1;
    if (QAction* A = Action(FrameCommand::actSnapObj))
        A->setChecked(FbSnapObj != 0);
}

void TfrmChild::actRulerExecute()
{
    // The defaults' change event re-lays out every window.
    if (TDefaultData* D = GetDefaultAttributes())
        D->SetShowRuler(FFrame.RulerVisible() ? 0 : 1);
}
