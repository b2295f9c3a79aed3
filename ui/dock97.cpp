#include "ui/dock97.h"

#include "ui/tool_window97.h"

#include <QEvent>
#include <QLayout>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <map>

namespace {

const QColor kBtnFace(0xC0, 0xC0, 0xC0);
const QColor kBtnShadow(0x80, 0x80, 0x80);
const QColor kBtnHighlight(0xFF, 0xFF, 0xFF);

// The length along a dock of orientation O and the thickness across it.
int32_t LengthOf(const QWidget* W, int32_t O) { return O == 2 ? W->height() : W->width(); }

bool InLayout(const QWidget* W)
{
    const QWidget* P = W->parentWidget();
    return P && P->layout() && P->layout()->indexOf(const_cast<QWidget*>(W)) >= 0;
}

bool GAligning = false;

} // namespace

int32_t DockOrientationOf(const TDock97* Dock)
{
    if (!Dock)
        return 0;
    return Dock->Position() == dpTop || Dock->Position() == dpBottom ? 1 : 2;
}

void CompactRows(std::vector<int32_t>& Rows)
{
    std::map<int32_t, int32_t> Dense;
    for (int32_t& R : Rows) {
        R = std::max(R, 0);
        Dense.emplace(R, 0);
    }
    int32_t Next = 0;
    for (auto& [Value, Index] : Dense)
        Index = Next++;
    for (int32_t& R : Rows)
        R = Dense[R];
}

TDock97::TDock97(QWidget* Parent, TDockPosition Position) : QWidget(nullptr), FColor(kBtnFace)
{
    setObjectName("Dock97");
    FPosition = Position;
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    if (Parent)
        SetParent(Parent);
    LayOutRows(false);
}

TDock97::~TDock97()
{
    FDestroying = true;
    // The tool windows die with the dock or outlive it floating; neither may
    // reach back into it afterwards.
    const std::vector<TCustomToolWindow97*> Windows = FToolWindows;
    FToolWindows.clear();
    FShownToolWindows.clear();
    for (TCustomToolWindow97* W : Windows)
        W->DockForgotten(this);
    for (QObject* C : children())
        if (auto* W = qobject_cast<TCustomToolWindow97*>(C))
            W->DockForgotten(this);
}

void TDock97::SetParent(QWidget* AParent)
{
    if (qobject_cast<TCustomToolWindow97*>(AParent) || qobject_cast<TDock97*>(AParent))
        throw EInvalidOperation("A TDock97 control cannot be placed inside a tool window or another TDock97");
    setParent(AParent);
    WatchParent(AParent);
    if (AParent) {
        show();
        AlignDocksIn(AParent);
    }
}

void TDock97::WatchParent(QWidget* Parent)
{
    if (FWatchedParent)
        FWatchedParent->removeEventFilter(this);
    FWatchedParent = Parent;
    if (Parent)
        Parent->installEventFilter(this);
}

bool TDock97::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == FWatchedParent && Event->type() == QEvent::Resize)
        AlignDocksIn(FWatchedParent);
    return QWidget::eventFilter(Watched, Event);
}

void TDock97::AlignDocksIn(QWidget* Parent)
{
    if (!Parent || GAligning)
        return;
    std::vector<TDock97*> Docks;
    for (QObject* C : Parent->children())
        if (auto* D = qobject_cast<TDock97*>(C); D && !D->isHidden() && !InLayout(D))
            Docks.push_back(D);
    if (Docks.empty())
        return;
    GAligning = true;
    const int32_t W = Parent->width(), H = Parent->height();
    int32_t Top = 0, Bottom = H;
    for (TDock97* D : Docks)
        if (D->FPosition == dpTop) {
            D->setGeometry(0, Top, W, D->height());
            Top += D->height();
        }
    for (TDock97* D : Docks)
        if (D->FPosition == dpBottom) {
            Bottom -= D->height();
            D->setGeometry(0, Bottom, W, D->height());
        }
    int32_t Left = 0, Right = W;
    for (TDock97* D : Docks)
        if (D->FPosition == dpLeft) {
            D->setGeometry(Left, Top, D->width(), std::max(Bottom - Top, 0));
            Left += D->width();
        }
    for (TDock97* D : Docks)
        if (D->FPosition == dpRight) {
            Right -= D->width();
            D->setGeometry(Right, Top, D->width(), std::max(Bottom - Top, 0));
        }
    GAligning = false;
}

// ---------------------------------------------------------------------------
// Properties

void TDock97::SetAllowDrag(bool Value)
{
    if (FAllowDrag == Value)
        return;
    FAllowDrag = Value;
    for (QObject* C : children())
        if (auto* W = qobject_cast<TCustomToolWindow97*>(C))
            W->UpdateFrame();
}

void TDock97::SetBackground(const QImage& Value)
{
    FBackground = Value;
    DropBackgroundCache();
}

void TDock97::SetBackgroundOnToolbars(bool Value)
{
    if (FBackgroundOnToolbars == Value)
        return;
    FBackgroundOnToolbars = Value;
    RepaintToolWindows();
}

void TDock97::SetBackgroundTransparent(bool Value)
{
    if (FBackgroundTransparent == Value)
        return;
    FBackgroundTransparent = Value;
    if (HasBackground())
        DropBackgroundCache();
}

void TDock97::SetBoundLines(TDockBoundLines Value)
{
    if (FBoundLines == Value)
        return;
    FBoundLines = Value;
    FBorderX = ((Value & BoundLineBit(blLeft)) ? 1 : 0) + ((Value & BoundLineBit(blRight)) ? 1 : 0);
    FBorderY = ((Value & BoundLineBit(blTop)) ? 1 : 0) + ((Value & BoundLineBit(blBottom)) ? 1 : 0);
    LayOutRows(false);
    update();
}

void TDock97::SetColor(const QColor& Value)
{
    if (FColor == Value)
        return;
    FColor = Value;
    if (HasBackground())
        DropBackgroundCache();
    update();
}

void TDock97::SetFixAlign(bool Value)
{
    if (FFixAlign == Value)
        return;
    FFixAlign = Value;
    LayOutRows(false);
}

void TDock97::SetPosition(TDockPosition Value)
{
    if (FPosition == Value)
        return;
    if (!findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly).isEmpty())
        throw EInvalidOperation("Cannot change Position of a TDock97 if it already contains controls");
    FPosition = Value;
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    LayOutRows(false);
    AlignDocksIn(parentWidget());
}

// ---------------------------------------------------------------------------
// Tool window lists

void TDock97::BeginUpdate()
{
    ++FUpdateCount;
}

void TDock97::EndUpdate()
{
    if (FUpdateCount > 0)
        --FUpdateCount;
    if (FUpdateCount == 0 && FLayoutPending)
        LayOutRows(FKeepPositions);
}

void TDock97::RegisterToolWindow(bool Inserting, TCustomToolWindow97* Bar)
{
    if (FDestroying)
        return;
    auto It = std::find(FToolWindows.begin(), FToolWindows.end(), Bar);
    if (Inserting) {
        if (It == FToolWindows.end())
            FToolWindows.push_back(Bar);
    } else if (It != FToolWindows.end()) {
        FToolWindows.erase(It);
    }
    UpdateShownList(Bar, false);
}

bool TDock97::IsShownHere(const TCustomToolWindow97* Bar) const
{
    return Bar->parentWidget() == this && Bar->Visible();
}

void TDock97::UpdateShownList(TCustomToolWindow97* Bar, bool ForceRemove)
{
    if (FDestroying)
        return;
    const bool Belongs = !ForceRemove && IsShownHere(Bar) &&
                         std::find(FToolWindows.begin(), FToolWindows.end(), Bar) != FToolWindows.end();
    auto It = std::find(FShownToolWindows.begin(), FShownToolWindows.end(), Bar);
    const bool Listed = It != FShownToolWindows.end();
    if (Belongs == Listed)
        return;
    if (Belongs)
        FShownToolWindows.push_back(Bar);
    else
        FShownToolWindows.erase(It);
    LayOutRows(false);
    if (OnInsertRemoveBar)
        OnInsertRemoveBar(this, Belongs, Bar);
}

void TDock97::ForgetToolWindow(TCustomToolWindow97* Bar)
{
    FToolWindows.erase(std::remove(FToolWindows.begin(), FToolWindows.end(), Bar), FToolWindows.end());
    auto It = std::find(FShownToolWindows.begin(), FShownToolWindows.end(), Bar);
    if (It != FShownToolWindows.end()) {
        FShownToolWindows.erase(It);
        if (!FDestroying)
            LayOutRows(false);
    }
}

int32_t TDock97::GetHighestRow() const
{
    int32_t Highest = -1;
    for (const TCustomToolWindow97* W : FToolWindows)
        Highest = std::max(Highest, W->DockRow());
    return Highest;
}

int32_t TDock97::RowExtent(int32_t Row, const TCustomToolWindow97* Bar) const
{
    int32_t Result = Row >= 0 && Row < int32_t(FRowSizes.size()) ? FRowSizes[size_t(Row)] : 0;
    if (Result == 0 && Bar)
        const_cast<TCustomToolWindow97*>(Bar)->CalcBarThickness(Result, DockOrientationOf(this));
    return Result;
}

int32_t TDock97::FindRowAt(int32_t Offset, bool& Before) const
{
    const int32_t Highest = GetHighestRow();
    int32_t O = 0;
    for (int32_t Row = 0; Row <= Highest + 1; ++Row) {
        const bool Virtual = Row == Highest + 1;
        const int32_t S = Row < int32_t(FRowSizes.size()) ? FRowSizes[size_t(Row)] : 0;
        if (!Virtual && S == 0)
            continue;
        if (Offset < O + 5) {
            Before = true;
            return Row;
        }
        if (Virtual) {
            Before = false;
            return Row;
        }
        const int32_t E = O + S + 4;
        if (Offset < E - 5) {
            Before = false;
            return Row;
        }
        O = E;
    }
    Before = false;
    return Highest + 1;
}

int32_t TDock97::RowAtOffset(int32_t Offset) const
{
    const int32_t Highest = GetHighestRow();
    int32_t O = 0;
    for (int32_t Row = 0; Row <= Highest; ++Row) {
        const int32_t S = Row < int32_t(FRowSizes.size()) ? FRowSizes[size_t(Row)] : 0;
        if (S == 0)
            continue;
        O += S + 4;
        if (Offset < O)
            return Row;
    }
    return Highest + 1;
}

void TDock97::OpenRowBefore(int32_t Row)
{
    for (TCustomToolWindow97* W : FToolWindows)
        if (W->FDockRow >= Row)
            ++W->FDockRow;
}

int32_t TDock97::CountOnRow(int32_t Row, const TCustomToolWindow97* Except) const
{
    int32_t N = 0;
    for (const TCustomToolWindow97* W : FToolWindows)
        N += W != Except && W->DockRow() == Row;
    return N;
}

// ---------------------------------------------------------------------------
// Layout

QRect TDock97::ClientRect() const
{
    const int32_t L = (FBoundLines & BoundLineBit(blLeft)) ? 1 : 0;
    const int32_t T = (FBoundLines & BoundLineBit(blTop)) ? 1 : 0;
    return QRect(L, T, std::max(width() - FBorderX, 0), std::max(height() - FBorderY, 0));
}

QPoint TDock97::ClientOriginInParent() const
{
    return pos() + ClientRect().topLeft();
}

void TDock97::SetThickness(int32_t Thickness)
{
    const bool Horizontal = DockOrientationOf(this) == 1;
    if (InLayout(this)) {
        if (Horizontal)
            setFixedHeight(Thickness);
        else
            setFixedWidth(Thickness);
        return;
    }
    // The outer edge stays where it is.
    QRect R = geometry();
    switch (FPosition) {
    case dpTop:
        R.setHeight(Thickness);
        break;
    case dpBottom:
        R.setTop(R.bottom() + 1 - Thickness);
        break;
    case dpLeft:
        R.setWidth(Thickness);
        break;
    case dpRight:
        R.setLeft(R.right() + 1 - Thickness);
        break;
    }
    if (R != geometry())
        setGeometry(R);
    AlignDocksIn(parentWidget());
}

void TDock97::LayOutRows(bool KeepPositions)
{
    if (KeepPositions)
        FKeepPositions = true;
    if (FUpdateCount >= 1 || FDestroying) {
        FLayoutPending = true;
        return;
    }
    ++FUpdateCount;
    raise();
    const int32_t O = DockOrientationOf(this);
    const bool Horizontal = O == 1;
    int32_t NewThickness = 0;
    if (!AnyToolWindowShown()) {
        NewThickness = FFixAlign ? 1 : 0;
        FRowSizes.clear();
    } else {
        FInnerWidth = std::max(width() - FBorderX, 0);
        FInnerHeight = std::max(height() - FBorderY, 0);
        const int32_t Inner = Horizontal ? FInnerWidth : FInnerHeight;

        if (FLimitToOneRow)
            for (TCustomToolWindow97* W : FToolWindows)
                W->FDockRow = 0;
        std::vector<int32_t> Rows;
        for (TCustomToolWindow97* W : FToolWindows)
            Rows.push_back(W->FDockRow);
        CompactRows(Rows);
        for (size_t I = 0; I < FToolWindows.size(); ++I)
            FToolWindows[I]->FDockRow = Rows[I];

        const auto ByRowPos = [](const TCustomToolWindow97* A, const TCustomToolWindow97* B) {
            return A->FDockRow != B->FDockRow ? A->FDockRow < B->FDockRow : A->FDockPos < B->FDockPos;
        };
        std::stable_sort(FToolWindows.begin(), FToolWindows.end(), ByRowPos);
        std::stable_sort(FShownToolWindows.begin(), FShownToolWindows.end(), ByRowPos);

        // A full-size window has its row to itself.
        for (int32_t Row = 0; Row <= GetHighestRow(); ++Row)
            for (TCustomToolWindow97* W : FToolWindows)
                if (W->FDockRow == Row && W->FFullSize && CountOnRow(Row, W) > 0) {
                    for (TCustomToolWindow97* Other : FToolWindows)
                        if (Other != W && Other->FDockRow >= Row)
                            ++Other->FDockRow;
                    break;
                }
        std::stable_sort(FToolWindows.begin(), FToolWindows.end(), ByRowPos);
        std::stable_sort(FShownToolWindows.begin(), FShownToolWindows.end(), ByRowPos);

        const int32_t Highest = GetHighestRow();
        FRowSizes.assign(size_t(Highest + 1), 0);
        for (TCustomToolWindow97* W : FShownToolWindows) {
            int32_t T = 0;
            W->CalcBarThickness(T, O);
            int32_t& S = FRowSizes[size_t(W->FDockRow)];
            S = std::max({S, T, 8});
        }

        // Positions and the lengths after them are summed in 64 bits: a
        // stored position may lie anywhere, and a row may hold many windows.
        std::map<const TCustomToolWindow97*, int64_t> Work;
        for (int32_t Row = 0; Row <= Highest; ++Row) {
            int64_t Cur = 0;
            for (TCustomToolWindow97* W : FShownToolWindows) {
                if (W->FDockRow != Row)
                    continue;
                if (W->FFullSize) {
                    W->FDockPos = 0;
                    continue;
                }
                if (W->FDockPos > Cur)
                    Cur = W->FDockPos;
                else
                    W->FDockPos = WithinToolWindowReach97(Cur);
                Cur += LengthOf(W, O);
            }
        }
        for (TCustomToolWindow97* W : FToolWindows)
            Work[W] = W->FDockPos;

        for (int32_t Row = 0; Row <= Highest; ++Row) {
            std::vector<TCustomToolWindow97*> OnRow;
            for (TCustomToolWindow97* W : FShownToolWindows)
                if (W->FDockRow == Row && !W->FFullSize)
                    OnRow.push_back(W);
            int64_t Limit = Inner;
            for (auto It = OnRow.rbegin(); It != OnRow.rend(); ++It) {
                int64_t& P = Work[*It];
                const int64_t Len = LengthOf(*It, O);
                if (P > Limit - Len)
                    P = Limit - Len;
                Limit = P;
            }
            int64_t Cur = 0;
            for (TCustomToolWindow97* W : OnRow) {
                int64_t& P = Work[W];
                if (P < Cur)
                    P = Cur;
                else
                    Cur = P;
                Cur += LengthOf(W, O);
            }
        }
        if (FKeepPositions)
            for (TCustomToolWindow97* W : FToolWindows)
                W->FDockPos = WithinToolWindowReach97(Work[W]);

        const QPoint Origin = ClientRect().topLeft();
        int32_t Offset = 0;
        for (int32_t Row = 0; Row <= Highest; ++Row) {
            const int32_t Thick = FRowSizes[size_t(Row)] > 0 ? FRowSizes[size_t(Row)] + 4 : 0;
            for (TCustomToolWindow97* W : FShownToolWindows) {
                if (W->FDockRow != Row)
                    continue;
                const int32_t P = WithinToolWindowReach97(Work[W]);
                QRect R = Horizontal ? QRect(P, Offset, W->FFullSize ? FInnerWidth : W->width(), Thick)
                                     : QRect(Offset, P, Thick, W->FFullSize ? FInnerHeight : W->height());
                ++W->FInSetBounds;
                W->SetBoundsInternal(R.translated(Origin));
                --W->FInSetBounds;
            }
            Offset += Thick;
        }
        NewThickness = (Horizontal ? FBorderY : FBorderX) + Offset;
    }
    SetThickness(NewThickness);
    --FUpdateCount;
    FLayoutPending = false;
    FKeepPositions = false;
}

// ---------------------------------------------------------------------------
// Painting

const QImage& TDock97::Tile()
{
    if (!FBackgroundTransparent)
        return FBackground;
    if (FBackgroundCache.isNull()) {
        FBackgroundCache = FBackground.convertToFormat(QImage::Format_RGB32);
        const QRgb Key = FBackgroundCache.pixel(0, FBackgroundCache.height() - 1);
        const QRgb Fill = FColor.rgb();
        for (int32_t Y = 0; Y < FBackgroundCache.height(); ++Y) {
            auto* Line = reinterpret_cast<QRgb*>(FBackgroundCache.scanLine(Y));
            for (int32_t X = 0; X < FBackgroundCache.width(); ++X)
                if (Line[X] == Key)
                    Line[X] = Fill;
        }
    }
    return FBackgroundCache;
}

void TDock97::PaintBackgroundTiles(QPainter& DC, const QRect& ClipRect, const QRect& DrawRect,
                                   const QRect* ExcludeRect)
{
    if (!HasBackground())
        return;
    const QImage& T = Tile();
    DC.save();
    QRegion Clip(ClipRect);
    if (ExcludeRect)
        Clip -= QRegion(*ExcludeRect);
    DC.setClipRegion(Clip, Qt::IntersectClip);
    const QRect Area = ClipRect & DrawRect;
    const int32_t TW = T.width(), TH = T.height();
    const auto FloorDiv = [](int32_t A, int32_t B) { return A >= 0 ? A / B : -((-A + B - 1) / B); };
    const int32_t X0 = DrawRect.left() + FloorDiv(Area.left() - DrawRect.left(), TW) * TW;
    const int32_t Y0 = DrawRect.top() + FloorDiv(Area.top() - DrawRect.top(), TH) * TH;
    for (int32_t Y = Y0; Y <= Area.bottom(); Y += TH)
        for (int32_t X = X0; X <= Area.right(); X += TW)
            DC.drawImage(X, Y, T);
    DC.restore();
}

void TDock97::RepaintToolWindows()
{
    update();
    for (TCustomToolWindow97* W : FShownToolWindows) {
        W->update();
        W->FClient->update();
    }
}

void TDock97::DropBackgroundCache()
{
    FBackgroundCache = QImage();
    RepaintToolWindows();
}

void TDock97::paintEvent(QPaintEvent* Event)
{
    QPainter P(this);
    P.setClipRegion(Event->region());
    P.fillRect(rect(), FColor);
    const QRect C = ClientRect();
    if (HasBackground())
        PaintBackgroundTiles(P, C, QRect(-pos(), QSize(1 << 20, 1 << 20)), nullptr);
    if (FBoundLines && AnyToolWindowShown()) {
        if (FBoundLines & BoundLineBit(blTop))
            P.fillRect(0, 0, width(), 1, kBtnShadow);
        if (FBoundLines & BoundLineBit(blLeft))
            P.fillRect(0, 0, 1, height(), kBtnShadow);
        if (FBoundLines & BoundLineBit(blBottom))
            P.fillRect(0, height() - 1, width(), 1, kBtnHighlight);
        if (FBoundLines & BoundLineBit(blRight))
            P.fillRect(width() - 1, 0, 1, height(), kBtnHighlight);
    }
}

void TDock97::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    LayOutRows(false);
    if (OnResize)
        OnResize(this);
}

void TDock97::moveEvent(QMoveEvent* Event)
{
    QWidget::moveEvent(Event);
    if (HasBackground())
        RepaintToolWindows();
}

void TDock97::changeEvent(QEvent* Event)
{
    if ((Event->type() == QEvent::PaletteChange || Event->type() == QEvent::StyleChange) && HasBackground())
        DropBackgroundCache();
    QWidget::changeEvent(Event);
}
