#include "ui/toolbar97.h"

#include <QChildEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QSet>

#include <algorithm>
#include <climits>

namespace {

const QColor kSepShadow(0x80, 0x80, 0x80);
const QColor kSepHighlight(0xFF, 0xFF, 0xFF);

// Margins of the item area: a floating toolbar keeps its items off the frame.
struct TItemMargins {
    int32_t Left, Right, Top, Bottom;
};
TItemMargins ItemMargins(bool Floating)
{
    return Floating ? TItemMargins{4, 4, 2, 1} : TItemMargins{0, 0, 0, 0};
}

bool IsSep(const QWidget* W)
{
    return qobject_cast<const TToolbarSep97*>(W) != nullptr;
}

} // namespace

// ---------------------------------------------------------------------------
// TToolbarSep97

TToolbarSep97::TToolbarSep97(TCustomToolbar97* Toolbar) : QWidget(nullptr)
{
    resize(6, 6);
    if (Toolbar)
        SetParent(Toolbar);
}

TCustomToolbar97* TToolbarSep97::Toolbar() const
{
    QWidget* P = parentWidget();
    return P ? qobject_cast<TCustomToolbar97*>(P->parentWidget()) : nullptr;
}

void TToolbarSep97::SetParent(TCustomToolbar97* Toolbar)
{
    QWidget::setParent(Toolbar ? Toolbar->ClientArea() : nullptr);
    if (Toolbar) {
        show();
        Toolbar->Arrange();
    }
}

void TToolbarSep97::SetParent(QWidget* Parent)
{
    if (!Parent) {
        SetParent(static_cast<TCustomToolbar97*>(nullptr));
        return;
    }
    auto* T = qobject_cast<TCustomToolbar97*>(Parent);
    if (!T && Parent->parentWidget())
        if (auto* Owner = qobject_cast<TCustomToolbar97*>(Parent->parentWidget()); Owner && Owner->ClientArea() == Parent)
            T = Owner;
    if (!T)
        throw EInvalidOperation("TToolbarSep97 can only be placed on a TToolbar97");
    SetParent(T);
}

void TToolbarSep97::SetBlank(bool Value)
{
    if (FBlank == Value)
        return;
    FBlank = Value;
    update();
    if (TCustomToolbar97* T = Toolbar())
        T->ClientArea()->update();
}

void TToolbarSep97::SetSizeHorz(int32_t Value)
{
    FSizeHorz = std::max(Value, 1);
    if (TCustomToolbar97* T = Toolbar())
        T->Arrange();
}

void TToolbarSep97::SetSizeVert(int32_t Value)
{
    FSizeVert = std::max(Value, 1);
    if (TCustomToolbar97* T = Toolbar())
        T->Arrange();
}

void TToolbarSep97::paintEvent(QPaintEvent*)
{
    if (FBlank || width() == 0)
        return;
    QPainter P(this);
    const TCustomToolbar97* T = Toolbar();
    if (T && DockOrientationOf(T->DockedTo()) == 2) {
        const int32_t Y = height() / 2;
        P.fillRect(0, Y - 1, width(), 1, kSepShadow);
        P.fillRect(0, Y, width(), 1, kSepHighlight);
    } else {
        const int32_t X = width() / 2;
        P.fillRect(X - 1, 0, 1, height(), kSepShadow);
        P.fillRect(X, 0, 1, height(), kSepHighlight);
    }
}

// ---------------------------------------------------------------------------
// TCustomToolbar97

TCustomToolbar97::TCustomToolbar97(QWidget* Owner) : TCustomToolWindow97(Owner)
{
    ClientArea()->installEventFilter(this);
}

TCustomToolbar97::~TCustomToolbar97()
{
    if (ClientArea())
        ClientArea()->removeEventFilter(this);
}

bool TCustomToolbar97::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == ClientArea()) {
        QObject* C = Event->type() == QEvent::ChildAdded || Event->type() == QEvent::ChildRemoved
                         ? static_cast<QChildEvent*>(Event)->child()
                         : nullptr;
        // A child being destroyed is told of when it is no widget any more
        // (its widget part is gone), so every removal counts: the entry is
        // found by the next cleaning. Its address is free for the next item
        // made, so that cleaning must come before a new item is listed.
        if (C && Event->type() == QEvent::ChildRemoved)
            FOrderStale = true;
        else if (C && C->isWidgetType())
            ChildAdded(static_cast<QWidget*>(C));
    }
    return TCustomToolWindow97::eventFilter(Watched, Event);
}

void TCustomToolbar97::ChildAdded(QWidget* Child)
{
    // A child is added only after it left (Qt tells of both), so a new one
    // is not in the list yet: an entry at its address is one that left.
    if (FOrderStale)
        CleanOrderList(Child);
    FOrderList.push_back({Child, 0});
}

void TCustomToolbar97::CleanOrderList(const QObject* Except)
{
    const QObjectList& Kids = ClientArea()->children();
    FOrderCleanVisits += FOrderList.size();
    // The list follows every widget child added, and the items are all the
    // client's children: with no child gone since the last cleaning and as
    // many children as entries, there is nothing to drop (and no item need
    // be looked at).
    if (!FOrderStale && size_t(Kids.size()) == FOrderList.size())
        return;
    // One pass with a set of the children: asking the child list about
    // every entry would cost the square of the item count.
    QSet<const QObject*> Present(Kids.begin(), Kids.end());
    Present.remove(Except);
    std::erase_if(FOrderList, [&Present](const TOrderItem& I) { return !Present.contains(I.Control); });
    FOrderStale = false;
}

QWidget* TCustomToolbar97::GetOrderedControl(int32_t Index)
{
    CleanOrderList();
    return Index >= 0 && size_t(Index) < FOrderList.size() ? FOrderList[size_t(Index)].Control : nullptr;
}

std::vector<QWidget*> TCustomToolbar97::OrderedControls()
{
    CleanOrderList();
    std::vector<QWidget*> Result;
    Result.reserve(FOrderList.size());
    for (const TOrderItem& I : FOrderList)
        Result.push_back(I.Control);
    return Result;
}

int32_t TCustomToolbar97::OrderedControlCount()
{
    CleanOrderList();
    return int32_t(FOrderList.size());
}

void TCustomToolbar97::SetItemTag(QWidget* Item, int32_t Tag)
{
    // Items are numbered as they are added: the last entry, as a rule. No
    // cleaning first (that would look at every entry per item): an entry
    // left by an item that went is dropped by the next one, number and all.
    for (auto It = FOrderList.rbegin(); It != FOrderList.rend(); ++It)
        if (It->Control == Item) {
            It->Tag = Tag;
            return;
        }
}

std::vector<int32_t> TCustomToolbar97::OrderedTags()
{
    CleanOrderList();
    std::vector<int32_t> Result;
    Result.reserve(FOrderList.size());
    for (const TOrderItem& I : FOrderList)
        Result.push_back(I.Tag);
    return Result;
}

void TCustomToolbar97::InitializeItemOrder()
{
    if (!OrderByPositionAtLoad)
        return;
    CleanOrderList();
    const bool Vertical = DockOrientationOf(DockedTo()) == 2;
    std::stable_sort(FOrderList.begin(), FOrderList.end(), [Vertical](const TOrderItem& A, const TOrderItem& B) {
        return Vertical ? A.Control->y() < B.Control->y() : A.Control->x() < B.Control->x();
    });
}

void TCustomToolbar97::SetFloatRightX(int32_t Value)
{
    if (FFloatRightX == Value)
        return;
    FFloatRightX = Value;
    if (Floating())
        Arrange();
}

void TCustomToolbar97::CalcBarThickness(int32_t& Size, int32_t Orientation)
{
    Size = 8;
    for (QObject* O : ClientArea()->children()) {
        auto* W = qobject_cast<QWidget*>(O);
        if (!W || W->isHidden() || IsSep(W))
            continue;
        Size = std::max(Size, Orientation == 2 ? W->width() : W->height());
    }
}

void TCustomToolbar97::GetMinimumSize(int32_t& Width, int32_t& Height)
{
    Width = 0;
    Height = 0;
}

bool TCustomToolbar97::IsTransparentChild(QWidget* Control)
{
    return IsSep(Control);
}

TToolWindowOptions TCustomToolbar97::GetOptions()
{
    return TToolWindowOptions{false, false, false};
}

QSize TCustomToolbar97::ComputeLayout(bool CanMoveControls, int32_t, TDock97* DockingTo)
{
    const int32_t O = DockOrientationOf(DockingTo);
    const bool Floating = O == 0;
    const bool Vertical = O == 2;
    const TItemMargins M = ItemMargins(Floating);

    CleanOrderList();
    std::vector<QWidget*> Items;
    for (const TOrderItem& I : FOrderList)
        if (!I.Control->isHidden())
            Items.push_back(I.Control);

    int32_t Limit = INT_MAX;
    if (Floating && FFloatRightX != 0) {
        Limit = FFloatRightX;
        for (QWidget* W : Items)
            if (!IsSep(W))
                Limit = std::max(Limit, W->width() + 8);
    }
    int32_t BarThickness = 8;
    CalcBarThickness(BarThickness, O);
    int32_t LineThickness = BarThickness;
    if (DockingTo && DockingTo == DockedTo())
        LineThickness = std::max(DockingTo->RowExtent(DockRow(), this), BarThickness);

    struct TGroup {
        int32_t Length = 0;
        std::vector<QWidget*> Items;
    };
    std::vector<TGroup> Groups(1);
    for (QWidget* W : Items) {
        Groups.back().Items.push_back(W);
        if (IsSep(W))
            Groups.emplace_back();
        else
            Groups.back().Length += Vertical ? W->height() : W->width();
    }
    if (Groups.back().Items.empty())
        Groups.pop_back();

    if (CanMoveControls)
        FLineSeps.clear();
    int32_t Y = M.Top, X = M.Left, MaxX = M.Left;
    const bool AllowWrap = Floating;
    bool MustBreak = false;
    TToolbarSep97* PrevSep = nullptr;
    int32_t MaxXBeforeSep = MaxX;
    for (size_t G = 0; G < Groups.size(); ++G) {
        const TGroup& Group = Groups[G];
        if (AllowWrap && G > 0 && (MustBreak || X + Group.Length + M.Right > Limit)) {
            X = M.Left;
            Y += BarThickness + 6;
            MustBreak = false;
            if (PrevSep) {
                if (CanMoveControls) {
                    PrevSep->setGeometry(PrevSep->x(), PrevSep->y(), 0, PrevSep->height());
                    FLineSeps.push_back({Y, PrevSep->Blank()});
                }
                MaxX = MaxXBeforeSep;
            }
        }
        MaxX = std::max(MaxX, X);
        PrevSep = nullptr;
        for (QWidget* W : Group.Items) {
            auto* Sep = qobject_cast<TToolbarSep97*>(W);
            const int32_t Length = Sep ? (Vertical ? Sep->SizeVert() : Sep->SizeHorz()) : Vertical ? W->height() : W->width();
            if (!Sep && AllowWrap && X > M.Left && X + Length + M.Right > Limit) {
                X = M.Left;
                Y += BarThickness;
                MustBreak = true;
            }
            if (Sep) {
                PrevSep = Sep;
                MaxXBeforeSep = MaxX;
            }
            if (CanMoveControls) {
                if (Sep) {
                    if (Vertical)
                        Sep->setGeometry(Y, X, LineThickness, Sep->SizeVert());
                    else
                        Sep->setGeometry(X, Y, Sep->SizeHorz(), LineThickness);
                } else if (Vertical) {
                    W->move(Y + (LineThickness - W->width()) / 2, X);
                } else {
                    W->move(X, Y + (LineThickness - W->height()) / 2);
                }
            }
            X += Length;
            MaxX = std::max(MaxX, X);
        }
    }
    if (Items.empty())
        MaxX += 8;
    if (CanMoveControls)
        ClientArea()->update();
    const int32_t Along = MaxX + M.Right;
    const int32_t Across = Y + BarThickness + M.Bottom;
    return Vertical ? QSize(Across, Along) : QSize(Along, Across);
}

void TCustomToolbar97::PaintClient(QPainter& P, const QRect& Rect)
{
    TCustomToolWindow97::PaintClient(P, Rect);
    if (!Floating())
        return;
    const int32_t W = ClientArea()->width();
    for (const TLineSep& S : FLineSeps) {
        if (S.Blank)
            continue;
        P.fillRect(1, S.Y - 4, W - 2, 1, kSepShadow);
        P.fillRect(1, S.Y - 3, W - 2, 1, kSepHighlight);
    }
}

void TCustomToolbar97::LoadExtraPosition(const std::function<int32_t(const std::string&, int32_t)>& ReadInt)
{
    FFloatRightX = ReadInt("FloatRightX", 0);
}

void TCustomToolbar97::SaveExtraPosition(const std::function<void(const std::string&, int32_t)>& WriteInt)
{
    WriteInt("FloatRightX", FFloatRightX);
}

// ---------------------------------------------------------------------------
// Sizing a floating toolbar

namespace {

bool MovesLeft(TToolWindowHit H)
{
    return H == htLeft || H == htTopLeft || H == htBottomLeft;
}
bool MovesTop(TToolWindowHit H)
{
    return H == htTop || H == htTopLeft || H == htTopRight;
}
bool Vertically(TToolWindowHit H)
{
    return H == htTop || H == htBottom;
}

} // namespace

void TCustomToolbar97::SizingStarted(TToolWindowHit Hit)
{
    FSizingHit = Hit;
    FSizes.clear();
    const int32_t Saved = FFloatRightX;
    const auto Trial = [this](int32_t Limit) {
        FFloatRightX = Limit;
        return ComputeLayout(false, 0, nullptr);
    };
    // The client sizes, widest first; the widest stands for "no wrapping".
    std::vector<QSize> Found{Trial(0)};
    int32_t Limit = Found.front().width() - 1;
    while (Limit >= 8) {
        const QSize S = Trial(Limit);
        if (S.width() > Limit)
            break;
        if (S.width() < Limit) {
            Limit = S.width();
            continue;
        }
        if (Found.size() > 1 && Found.back().height() == S.height())
            Found.back() = S;
        else
            Found.push_back(S);
        Limit = S.width() - 1;
    }
    FFloatRightX = Saved;
    const QMargins F = FloatingFrameMargins();
    FWidestWidth = Found.front().width() + F.left() + F.right();
    for (const QSize& S : Found)
        FSizes.push_back(S.grownBy(F));
    const bool ByHeight = Vertically(Hit);
    std::stable_sort(FSizes.begin(), FSizes.end(), [ByHeight](const QSize& A, const QSize& B) {
        return ByHeight ? A.height() > B.height() : A.width() > B.width();
    });
    const auto Dim = [ByHeight](const QSize& S) { return ByHeight ? S.height() : S.width(); };
    FSensitivity = 12;
    const QSize Current = size();
    for (size_t I = 0; I < FSizes.size(); ++I) {
        if (FSizes[I] != Current)
            continue;
        if (I > 0)
            FSensitivity = std::min(FSensitivity, Dim(FSizes[I - 1]) - Dim(Current) - 1);
        if (I + 1 < FSizes.size())
            FSensitivity = std::min(FSensitivity, Dim(Current) - Dim(FSizes[I + 1]) - 1);
    }
    FSensitivity = std::max(FSensitivity, 0);
    FPendingFloatRightX = FFloatRightX;
    FLeftBand = false;
    FLastDirection = 0;
    FSizingActive = true;
}

void TCustomToolbar97::SizingTrack(QRect& Rect, const QRect& OrigRect)
{
    if (!FSizingActive || FSizes.empty())
        return;
    const bool ByHeight = Vertically(FSizingHit);
    const auto Dim = [ByHeight](const QSize& S) { return ByHeight ? S.height() : S.width(); };
    const int32_t Delta = Dim(Rect.size()) - Dim(OrigRect.size());
    const int32_t Direction = Delta > 0 ? 1 : Delta < 0 ? -1 : 0;
    if (Direction != FLastDirection) {
        FLeftBand = false;
        FLastDirection = Direction;
    }
    if (!FLeftBand && std::abs(Delta) <= FSensitivity) {
        Rect = OrigRect;
        return;
    }
    FLeftBand = true;
    const int32_t Want = Dim(Rect.size());
    // The list runs from the largest to the smallest.
    const QSize* Pick = nullptr;
    if (Direction > 0) {
        for (const QSize& S : FSizes)
            if (Dim(S) <= Want) {
                Pick = &S;
                break;
            }
        if (!Pick)
            Pick = &FSizes.back();
    } else {
        for (auto It = FSizes.rbegin(); It != FSizes.rend(); ++It)
            if (Dim(*It) >= Want) {
                Pick = &*It;
                break;
            }
        if (!Pick)
            Pick = &FSizes.front();
    }
    const QSize S = *Pick;
    const int32_t Left = MovesLeft(FSizingHit) ? OrigRect.right() + 1 - S.width() : OrigRect.left();
    const int32_t Top = MovesTop(FSizingHit) ? OrigRect.bottom() + 1 - S.height() : OrigRect.top();
    Rect = QRect(QPoint(Left, Top), S);
    const int32_t FrameLeft = FloatingFrameMargins().left();
    FPendingFloatRightX = S.width() == FWidestWidth ? 0 : S.width() - 2 * FrameLeft;
}

void TCustomToolbar97::SizingEnded(bool Accepted)
{
    if (Accepted && FSizingActive)
        FFloatRightX = FPendingFloatRightX;
    FSizingActive = false;
    FSizes.clear();
}
