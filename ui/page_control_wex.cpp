#include "ui/page_control_wex.h"

#include "platform/qt/window_routines.h"

#include "ui/anchors_control_wex.h"
#include "ui/tool_window_message.h"
#include "ui/ui_routines.h"
#include "ui/work_area.h"

#include <QChildEvent>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QStackedWidget>
#include <QTabBar>

#include <algorithm>

namespace {

int32_t PageTag(const QWidget* Page)
{
    const QVariant V = Page->property("Tag");
    return V.isValid() ? V.toInt() : -1;
}

} // namespace

// The dotted outline that follows a dragged tab: a window of its own over
// everything, which the mouse passes through. Following the mouse moves the
// window; it is painted again only when its shape changes.
class TPageControlWex::TDragOutline : public QWidget {
public:
    TDragOutline()
        : QWidget(nullptr,
                  Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_ShowWithoutActivating);
    }

    // Shape in screen coordinates.
    void SetShape(const QPolygon& Shape)
    {
        const QRect Bounds = Shape.boundingRect();
        const QPolygon Local = Shape.translated(-Bounds.topLeft());
        if (Local != FShape) {
            FShape = Local;
            setGeometry(Bounds);
            update();
        } else {
            move(Bounds.topLeft());
        }
        if (!isVisible())
            show();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter P(this);
        P.setPen(Qt::white);
        P.drawPolygon(FShape);
        P.setPen(QPen(Qt::black, 1, Qt::DotLine));
        P.drawPolygon(FShape);
    }

private:
    QPolygon FShape;
};

// ---------------------------------------------------------------------------
// TPageControlWex

TPageControlWex::TPageControlWex(QWidget* Parent) : QTabWidget(Parent)
{
    tabBar()->installEventFilter(this);
    connect(this, &QTabWidget::currentChanged, this, [this] {
        if (OnChange)
            OnChange(this);
    });
}

TPageControlWex::~TPageControlWex() = default;

void TPageControlWex::Loaded()
{
    FTabSheets.clear();
    FAnchors.clear();
    for (int I = 0; I < count(); ++I) {
        QWidget* Page = widget(I);
        Page->setProperty("Tag", I);
        FTabSheets.push_back(Page);
        FAnchors.push_back(std::make_unique<TAnchorsControlWex>());
        FAnchors.back()->SetTarget(Page);
    }
}

TAnchorsControlWex* TPageControlWex::AnchorsControl(int32_t Tag) const
{
    return Tag >= 0 && Tag < int32_t(FAnchors.size()) ? FAnchors[Tag].get() : nullptr;
}

std::vector<TfrmPltChild*> TPageControlWex::FloatingWindows() const
{
    std::vector<TfrmPltChild*> List;
    for (const QPointer<TfrmPltChild>& W : FFloating)
        if (W)
            List.push_back(W);
    return List;
}

QRect TearOffBounds(const QRect& Dropped, const QSize& Min, const QRect& Area)
{
    if (Area.isEmpty())
        return Dropped;
    auto Side = [](int Dropped, int Min, int Area) {
        return std::clamp(std::max(std::min(Dropped, Area / 2), Min), 1, Area);
    };
    const int W = Side(Dropped.width(), Min.width(), Area.width());
    const int H = Side(Dropped.height(), Min.height(), Area.height());
    const int X = std::clamp(Dropped.x(), Area.x(), Area.x() + Area.width() - W);
    const int Y = std::clamp(Dropped.y(), Area.y(), Area.y() + Area.height() - H);
    return QRect(X, Y, W, H);
}

TfrmPltChild* TPageControlWex::TearOffPage(QWidget* Page, const QRect& ScreenRect, TTearOffPlace Place)
{
    auto* Child = new TfrmPltChild(FOwnerWindow ? FOwnerWindow.data() : window(), this);
    Child->setWindowTitle(window()->windowTitle());
    Child->PageControl()->SetPopupMenu(FPopupMenu);
    MoveTabSheetKeepState(Page, Child->PageControl());
    QRect R = ScreenRect;
    ApplyMinMaxInfo(Child, R);
    TRect A;
    const bool Inside = Place == TTearOffPlace::New && GetWorkAreaRect(A);
    const QRect Area(A.Left, A.Top, A.Right - A.Left, A.Bottom - A.Top);
    if (Inside)
        R = TearOffBounds(R, Child->minimumSize(), Area);
    SetBoundsInWorkArea(Child, R.x(), R.y(), R.width(), R.height());
    FFloating.emplace_back(Child);
    Child->show();
    // Shown, the tabs take their real room and the least size may grow.
    if (Inside) {
        ApplyMinMaxInfo(Child);
        if (const QRect Fitted = TearOffBounds(Child->geometry(), Child->minimumSize(), Area);
            Fitted != Child->geometry())
            Child->setGeometry(Fitted);
    }
    return Child;
}

void TPageControlWex::contextMenuEvent(QContextMenuEvent* Event)
{
    if (!FPopupMenu) {
        QTabWidget::contextMenuEvent(Event);
        return;
    }
    FPopupMenu->popup(Event->globalPos());
    Event->accept();
}

bool TPageControlWex::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched != tabBar())
        return QTabWidget::eventFilter(Watched, Event);
    TPageControlWex* O = Origin();
    switch (Event->type()) {
    case QEvent::MouseButtonPress: {
        auto* M = static_cast<QMouseEvent*>(Event);
        if (M->button() == Qt::LeftButton)
            O->TabMouseDown(this, M->position().toPoint(), M->globalPosition().toPoint());
        return false;
    }
    case QEvent::MouseMove:
        if (O->FPressed && O->FSource == this) {
            O->TabMouseMove(static_cast<QMouseEvent*>(Event)->globalPosition().toPoint());
            return O->FDragging;
        }
        return false;
    case QEvent::MouseButtonRelease: {
        auto* M = static_cast<QMouseEvent*>(Event);
        if (M->button() != Qt::LeftButton || !O->FPressed || O->FSource != this)
            return false;
        const bool Dragged = O->FDragging;
        O->TabMouseUp(M->globalPosition().toPoint());
        return Dragged;
    }
    default:
        return false;
    }
}

void TPageControlWex::TabMouseDown(TPageControlWex* Source, const QPoint& Local, const QPoint& Global)
{
    if (auto* Child = qobject_cast<TfrmPltChild*>(Source->window()); Child && Child->PageControl() == Source)
        Child->SetRolledUp(false);
    const int I = Source->tabBar()->tabAt(Local);
    if (I < 0)
        return;
    FPressed = true;
    FDragging = false;
    FSource = Source;
    FPressedIndex = I;
    FPressPoint = FLastPoint = Global;
}

void TPageControlWex::TabMouseMove(const QPoint& Global)
{
    if (!FPressed || !FSource)
        return;
    if (!FDragging) {
        const QPoint D = Global - FPressPoint;
        if (D.x() * D.x() + D.y() * D.y() <= 25)
            return;
        FDragging = true;
        const QTabBar* Bar = FSource->tabBar();
        const QRect T = Bar->tabRect(FPressedIndex);
        FTabRect = QRect(Bar->mapToGlobal(T.topLeft()), T.size() - QSize(2, 2));
        // The page area: the pages' stack inside the control.
        const QWidget* Page = FSource->widget(FPressedIndex);
        const QWidget* Area = Page->parentWidget() ? Page->parentWidget() : Page;
        FPageRect = QRect(Area->mapToGlobal(QPoint(0, 0)), Area->size());
        FTabOffset = FPressPoint - FTabRect.topLeft();
        if (!FOutline)
            FOutline = std::make_unique<TDragOutline>();
    }
    FLastPoint = Global;
    ShowOutline(Global);
}

void TPageControlWex::ShowOutline(const QPoint& Global)
{
    if (FloatingWindowAt(Global)) {
        FOutline->SetShape(QPolygon(QRect(Global - FTabOffset, FTabRect.size()), true));
        return;
    }
    // The tab joined to its page, where the mouse has taken them.
    const QPoint D = Global - FPressPoint;
    const QRect T = FTabRect.translated(D);
    const QRect P = FPageRect.translated(D);
    FOutline->SetShape(QPolygon({T.topLeft(), T.topRight(), QPoint(T.right(), P.top()), P.topRight(), P.bottomRight(),
                                 P.bottomLeft(), P.topLeft(), QPoint(T.left(), P.top())}));
}

TfrmPltChild* TPageControlWex::FloatingWindowAt(const QPoint& Global) const
{
    for (auto It = FFloating.rbegin(); It != FFloating.rend(); ++It)
        if (*It && (*It)->isVisible() && (*It)->frameGeometry().contains(Global))
            return *It;
    return nullptr;
}

void TPageControlWex::TabMouseUp(const QPoint& Global)
{
    const bool Dragging = FDragging;
    FPressed = false;
    FDragging = false;
    TPageControlWex* Source = FSource;
    FSource = nullptr;
    if (!Dragging || !Source)
        return;
    if (FOutline)
        FOutline->hide();
    QWidget* Page = Source->widget(FPressedIndex);
    if (!Page)
        return;
    QWidget* SourceForm = Source->window();
    TfrmPltChild* Target = FloatingWindowAt(Global);
    const bool OnOwnForm = Target && Target == SourceForm;
    if (!Target) {
        TearOffPage(Page, FPageRect.translated(Global - FPressPoint + QPoint(1, 1)), TTearOffPlace::New);
    } else if (!OnOwnForm) {
        MoveTabSheetKeepState(Page, Target->PageControl());
        ApplyMinMaxInfo(Target);
        // The page's area may differ in size from the one it left.
        if (TAnchorsControlWex* A = AnchorsControl(PageTag(Page)))
            A->Realign();
        Target->PageControl()->setCurrentWidget(Page);
    }
    if (Source->count() > 0) {
        if (!OnOwnForm)
            Source->setCurrentIndex(std::min(FPressedIndex, Source->count() - 1));
    } else if (auto* Child = qobject_cast<TfrmPltChild*>(SourceForm)) {
        // This runs inside the window's own mouse handling: it goes once
        // that is over.
        std::erase(FFloating, QPointer<TfrmPltChild>(Child));
        Child->hide();
        Child->deleteLater();
    }
}

void TPageControlWex::ChildResized(TfrmPltChild* Child)
{
    TPageControlWex* PC = Child->PageControl();
    for (int I = 0; I < PC->count(); ++I)
        if (TAnchorsControlWex* A = AnchorsControl(PageTag(PC->widget(I))))
            A->Realign();
    if (OnResizeOwner)
        OnResizeOwner(this, Child);
}

// ---------------------------------------------------------------------------
// TfrmPltChild

TfrmPltChild::TfrmPltChild(QWidget* OwnerWindow, TPageControlWex* Origin)
    : TfrmRollup(OwnerWindow), FPageControl(new TPageControlWex(ClientArea())), FOwnerWindow(OwnerWindow),
      FOrigin(Origin)
{
    if (QFontDatabase::families().contains("MS UI Gothic")) {
        QFont F = font();
        F.setFamily("MS UI Gothic");
        setFont(F);
    }
    setWindowTitle(QString());
    FPageControl->setGeometry(ClientArea()->rect());
    // The pages are realigned once their area has its new size, which the
    // page control settles only after the window's own resize (and, for a
    // window being shown, only as it becomes visible).
    if (auto* Stack = FPageControl->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly))
        Stack->installEventFilter(this);
    FPageControl->FOrigin = Origin;
    QPointer<TPageControlWex> Relay(Origin);
    FPageControl->OnChange = [Relay](QObject* Sender) {
        if (Relay && Relay->OnChange)
            Relay->OnChange(Sender);
    };
    // Rolled up, the window keeps its tab row in view.
    OnRollUp = [this](QObject*, QRect& R) {
        if (FPageControl->count() > 0) {
            const QTabBar* Bar = FPageControl->tabBar();
            R.setHeight(R.height() + Bar->y() + Bar->height());
        }
    };
}

void TfrmPltChild::GetMinMaxInfo(TMinMaxInfo& Info)
{
    TfrmRollup::GetMinMaxInfo(Info);
    if (RolledUp() || !FOrigin || !FOrigin->OnGetMinMaxInfo)
        return;
    // The pages ask in client sizes.
    const QSize Frame = size() - ClientRect().size();
    Info.MinTrackSize -= Frame;
    Info.MaxTrackSize -= Frame;
    for (int I = 0; I < FPageControl->count(); ++I)
        FOrigin->OnGetMinMaxInfo(FOrigin, PageTag(FPageControl->widget(I)), Info);
    Info.MinTrackSize += Frame;
    Info.MaxTrackSize += Frame;
}

void TfrmPltChild::resizeEvent(QResizeEvent* Event)
{
    TfrmRollup::resizeEvent(Event);
    FPageControl->setGeometry(ClientArea()->rect());
}

bool TfrmPltChild::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::Resize && FOrigin && Watched->parent() == FPageControl)
        FOrigin->ChildResized(this);
    // A page that comes into a window already of its size (a layout being
    // restored) gets that size only from the page area's layout, when it is
    // first shown: it is realigned then, as the window's resize would have.
    if (Event->type() == QEvent::ChildAdded && Watched->parent() == FPageControl)
        if (auto* Page = qobject_cast<QWidget*>(static_cast<QChildEvent*>(Event)->child()))
            Page->installEventFilter(this);
    if (Event->type() == QEvent::Resize && FOrigin && Watched->parent() && Watched->parent()->parent() == FPageControl)
        if (TAnchorsControlWex* A = FOrigin->AnchorsControl(PageTag(static_cast<QWidget*>(Watched))))
            A->Realign();
    return TfrmRollup::eventFilter(Watched, Event);
}

void TfrmPltChild::closeEvent(QCloseEvent* Event)
{
    // Closed by the user, the window's pages are no longer shown. Closed
    // because its owner went (the program quits: the frame is hidden first),
    // they stay shown: the layout saved at the end brings them back.
    const bool OwnerGone = FOwnerWindow && !FOwnerWindow->isVisible();
    for (int I = 0; I < FPageControl->count() && !OwnerGone; ++I)
        FPageControl->setTabVisible(I, false);
    if (FOwnerWindow)
        QCoreApplication::postEvent(FOwnerWindow, new TToolWindowClosedEvent(this));
    TfrmRollup::closeEvent(Event);
}
