#include "ui/ctrl_grid_q.h"

#include "foundation/lists.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTextEdit>

namespace {

// The texts a cell and a control exchange.
QString ControlText(const QWidget* Control)
{
    if (const auto* Combo = qobject_cast<const QComboBox*>(Control))
        return Combo->currentText();
    if (const auto* Plain = qobject_cast<const QPlainTextEdit*>(Control))
        return Plain->toPlainText();
    if (const auto* Rich = qobject_cast<const QTextEdit*>(Control))
        return Rich->toPlainText();
    return Control->property("text").toString();
}

void SetControlText(QWidget* Control, const QString& Text)
{
    if (auto* Plain = qobject_cast<QPlainTextEdit*>(Control))
        Plain->setPlainText(Text);
    else if (auto* Rich = qobject_cast<QTextEdit*>(Control))
        Rich->setPlainText(Text);
    else if (Control->metaObject()->indexOfProperty("text") >= 0)
        Control->setProperty("text", Text);
}

// A combo box takes the item with the cell's text; without one no item and
// the text itself when there is one (an editable box shows it).
void PutCellText(QWidget* Control, const QString& Text)
{
    auto* Combo = qobject_cast<QComboBox*>(Control);
    if (!Combo) {
        SetControlText(Control, Text);
        return;
    }
    Combo->setCurrentIndex(Combo->findText(Text));
    if (Combo->currentIndex() < 0 && !Text.isEmpty())
        Combo->setCurrentText(Text);
}

// The focus is in the control or in a window of its own, such as the list
// of a combo box.
bool HasFocusWithin(const QWidget* Control)
{
    for (const QWidget* Focus = QApplication::focusWidget(); Focus; Focus = Focus->parentWidget())
        if (Focus == Control)
            return true;
    return false;
}

// One key per cell for the item index.
uint64_t CellKey(int Col, int Row)
{
    return (uint64_t(uint32_t(Col)) << 32) | uint32_t(Row);
}

// Floating controls give up at most this much text to their cell.
constexpr int kMaxCellText = 255;

} // namespace

// ---------------------------------------------------------------- items

int TCtrlGridQCtrls::Add(int32_t Col, int32_t Row, QWidget* Control, const QString& Text)
{
    if (!Control)
        throw EUserError("TCtrlGridQCtrls.Add: Control is nil");
    auto Item = std::make_unique<TCtrlGridQItem>();
    Item->Col = Col;
    Item->Row = Row;
    Item->Control = Control;
    Item->Text = Text;
    Item->Class = Control->metaObject();
    FGrid->Host(Control);
    if (!TCtrlGridQ::IsAlwaysVisible(Control) && !Control->isHidden())
        Control->hide();
    const int Index = GetCount();
    if (Col == -1 || Row == -1)
        FWildItems.push_back(Index);
    else
        FFirstAt.try_emplace(CellKey(Col, Row), Index);
    FItems.push_back(std::move(Item));
    if (OnChange)
        OnChange();
    return GetCount() - 1;
}

void TCtrlGridQCtrls::GetItem(int Index, TrecCtrlGridQCtrl& Rec) const
{
    if (Index < 0 || Index >= GetCount())
        throw EListError(SListIndexError, Index);
    const TCtrlGridQItem& Item = *FItems[Index];
    Rec = {Item.Col, Item.Row, Item.Control, Item.Text};
}

void TCtrlGridQCtrls::Clear()
{
    std::vector<std::unique_ptr<TCtrlGridQItem>> Items = std::move(FItems);
    FItems.clear();
    FFirstAt.clear();
    FWildItems.clear();
    for (const auto& Item : Items)
        if (Item->Control)
            FGrid->Unhost(Item->Control);
    FGrid->FCurrentControl = nullptr;
}

// ---------------------------------------------------------------- grid

TCtrlGridQ::TCtrlGridQ(QWidget* Parent) : TStringGridWex(Parent), FCtrls(std::make_unique<TCtrlGridQCtrls>(this))
{
    FCtrls->OnChange = [this] { ShowCellControl(); };
}

TCtrlGridQ::~TCtrlGridQ()
{
    // The items stop watching while the grid is whole; the controls go
    // with the viewport.
    FCtrls->Clear();
}

bool TCtrlGridQ::IsAlwaysVisible(const QWidget* Control)
{
    if (qobject_cast<const QPushButton*>(Control))
        return true;
    // Qt's own framed controls (labels, text and list views...) float.
    for (const QMetaObject* Class = Control->metaObject(); Class; Class = Class->superClass()) {
        if (Class == &QFrame::staticMetaObject)
            return true;
        if (Class->className()[0] == 'Q')
            return false;
    }
    return false;
}

void TCtrlGridQ::Host(QWidget* Control)
{
    if (Control->parentWidget() != viewport()) {
        const bool Shown = !Control->isHidden();
        Control->setParent(viewport());
        Control->setVisible(Shown);
    }
    Control->installEventFilter(this);
    for (QWidget* Child : Control->findChildren<QWidget*>())
        Child->installEventFilter(this);
}

void TCtrlGridQ::Unhost(QWidget* Control)
{
    for (const auto& Item : FCtrls->FItems)
        if (Item->Control == Control)
            return; // another item still hosts it
    Control->removeEventFilter(this);
    for (QWidget* Child : Control->findChildren<QWidget*>())
        Child->removeEventFilter(this);
}

int TCtrlGridQCtrls::IndexOf(int Col, int Row) const
{
    int Found = -1;
    if (const auto It = FFirstAt.find(CellKey(Col, Row)); It != FFirstAt.end())
        Found = It->second;
    for (const int I : FWildItems) {
        if (Found >= 0 && I > Found)
            break;
        const TCtrlGridQItem& Item = *FItems[size_t(I)];
        if ((Item.Col == Col || Item.Col == -1) && (Item.Row == Row || Item.Row == -1))
            return I;
    }
    return Found;
}

int TCtrlGridQ::CellItemIndex(int Col, int Row) const
{
    return FCtrls->IndexOf(Col, Row);
}

QWidget* TCtrlGridQ::GetCellControl(int Col, int Row) const
{
    const int Index = CellItemIndex(Col, Row);
    return Index < 0 ? nullptr : FCtrls->FItems[Index]->Control.data();
}

QString TCtrlGridQ::GetCellItemText(int Col, int Row) const
{
    const int Index = CellItemIndex(Col, Row);
    return Index < 0 ? QString() : FCtrls->FItems[Index]->Text;
}

TCtrlGridQItem* TCtrlGridQ::FindItemByControl(const QWidget* Control) const
{
    for (const auto& Item : FCtrls->FItems)
        if (Item->Control == Control)
            return Item.get();
    return nullptr;
}

TCtrlGridQItem* TCtrlGridQ::HostItemOf(QObject* Object) const
{
    for (QObject* O = Object; O && O != viewport(); O = O->parent())
        if (O->isWidgetType())
            if (TCtrlGridQItem* Item = FindItemByControl(static_cast<QWidget*>(O)))
                return Item;
    return nullptr;
}

// ---------------------------------------------------------------- showing

void TCtrlGridQ::HideControl(QWidget* Control)
{
    // The grid keeps the focus that its control had.
    if (HasFocusWithin(Control))
        setFocus();
    Control->hide();
}

void TCtrlGridQ::EndCellEdit()
{
    if (FLockCount > 0 || !FCurrentControl)
        return;
    QWidget* Control = FCurrentControl;
    const int Col = FCurrentCol;
    const int Row = FCurrentRow;
    // Cleared first: hiding a focused control moves the focus, which comes
    // back here.
    FCurrentControl = nullptr;
    if (IsAlwaysVisible(Control))
        return;
    QString Text = ControlText(Control).left(kMaxCellText);
    if (OnControlHide)
        OnControlHide(this, Col, Row, Text);
    HideControl(Control);
    if (Col < ColCount() && Row < RowCount())
        SetEditText(Col, Row, Text);
}

void TCtrlGridQ::ShowCellControl()
{
    if (FLockCount > 0 || FShowing)
        return;
    const QScopedValueRollback Showing(FShowing, true);
    EndCellEdit();
    const int Col = this->Col();
    const int Row = this->Row();
    if (!FShowControls || Col >= ColCount() || Row >= RowCount())
        return;
    QWidget* Control = GetCellControl(Col, Row);
    if (!Control)
        return;
    const QRect Rect = CellRect(Col, Row);
    const QRect Full = FullCellRect(Col, Row);
    if (Rect.isEmpty() || Rect.left() != Full.left() || Rect.top() != Full.top())
        return;
    if (!IsAlwaysVisible(Control)) {
        Control->setGeometry(Rect);
        PutCellText(Control, Cells(Col, Row));
        if (isVisible())
            Control->show();
    }
    FCurrentControl = Control;
    FCurrentCol = Col;
    FCurrentRow = Row;
    if (OnControlShow)
        OnControlShow(this, Control, ControlText(Control));
}

void TCtrlGridQ::RealignControls()
{
    if (FLockCount > 0 || FUpdateCount > 0)
        return;
    for (const auto& Item : FCtrls->FItems) {
        QWidget* Control = Item->Control;
        if (!Control || !IsAlwaysVisible(Control))
            continue;
        const bool OneCell = Item->Col >= 0 && Item->Row >= 0 && Item->Col < ColCount() && Item->Row < RowCount();
        const QRect Rect = OneCell ? CellRect(Item->Col, Item->Row) : QRect();
        if (!Rect.isEmpty() && Rect == FullCellRect(Item->Col, Item->Row)) {
            Control->setGeometry(Rect);
            Control->show();
        } else if (!Control->isHidden())
            HideControl(Control);
    }
}

void TCtrlGridQ::ControlsMoved()
{
    ShowCellControl();
    RealignControls();
}

void TCtrlGridQ::SetShowControls(bool Value)
{
    if (FLockCount > 0)
        return;
    FShowControls = Value;
    if (Value)
        ShowCellControl();
}

void TCtrlGridQ::MoveToCell(int Col, int Row)
{
    if (Col == this->Col() && Row == this->Row())
        return;
    MoveCurrent(Col, Row, true);
    Click();
}

void TCtrlGridQ::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        setUpdatesEnabled(false);
}

void TCtrlGridQ::EndUpdate()
{
    if (FUpdateCount == 0 || --FUpdateCount > 0)
        return;
    RealignControls();
    setUpdatesEnabled(true);
    viewport()->update();
}

void TCtrlGridQ::LockControls() { ++FLockCount; }

void TCtrlGridQ::UnlockControls()
{
    if (FLockCount > 0 && --FLockCount == 0)
        RealignControls();
}

// ---------------------------------------------------------------- grid changes

bool TCtrlGridQ::CanEditShow() const { return !FCurrentControl && TStringGridWex::CanEditShow(); }

void TCtrlGridQ::CurrentChanged() { ShowCellControl(); }

void TCtrlGridQ::TopLeftChanged()
{
    TStringGridWex::TopLeftChanged();
    // A move of the current cell shows its control once it is done.
    if (!MovingCurrent())
        ShowCellControl();
    RealignControls();
}

void TCtrlGridQ::ColWidthsChanged()
{
    TStringGridWex::ColWidthsChanged();
    ControlsMoved();
}

void TCtrlGridQ::RowHeightsChanged()
{
    TStringGridWex::RowHeightsChanged();
    ControlsMoved();
}

bool TCtrlGridQ::DoScroll(Qt::Orientation Orientation, int Pos, TScrollCode Code)
{
    bool Handled = false;
    if (OnScroll)
        OnScroll(this, Orientation == Qt::Horizontal ? 0 : 1, Handled, Pos, Code);
    return Handled;
}

void TCtrlGridQ::resizeEvent(QResizeEvent* Event)
{
    TStringGridWex::resizeEvent(Event);
    ControlsMoved();
}

// ---------------------------------------------------------------- keys and focus

void TCtrlGridQ::KeyDown(int& Key, Qt::KeyboardModifiers Shift)
{
    if ((Key != Qt::Key_Return && Key != Qt::Key_Enter) || !FCurrentControl) {
        TStringGridWex::KeyDown(Key, Shift);
        return;
    }
    Key = 0;
    QWidget* Control = FCurrentControl;
    if (Cells(FCurrentCol, FCurrentRow).isEmpty()) {
        const QString Text = GetCellItemText(FCurrentCol, FCurrentRow);
        if (auto* Combo = qobject_cast<QComboBox*>(Control))
            Combo->setCurrentIndex(Combo->findText(Text));
        else
            SetControlText(Control, Text);
    }
    if (Control->isVisible() && Control->isEnabled() && Control->focusPolicy() != Qt::NoFocus &&
        !HasFocusWithin(Control))
        Control->setFocus(Qt::OtherFocusReason);
}

void TCtrlGridQ::keyPressEvent(QKeyEvent* Event)
{
    QWidget* Control = FCurrentControl;
    const QString Text = Event->text();
    const bool Typed = !Text.isEmpty() && Text[0] >= QChar(' ') &&
                       !(Event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (!Typed || !hasFocus() || !Control || IsAlwaysVisible(Control) || !Control->isVisible() ||
        !Control->isEnabled() || Control->focusPolicy() == Qt::NoFocus) {
        TStringGridWex::keyPressEvent(Event);
        return;
    }
    // As Enter would, then the character, which replaces an edit's text as
    // it would the grid's own editor's.
    int Enter = Qt::Key_Return;
    KeyDown(Enter, Qt::NoModifier);
    if (auto* Edit = qobject_cast<QLineEdit*>(Control))
        Edit->selectAll();
    QApplication::sendEvent(Control, Event);
}

void TCtrlGridQ::focusInEvent(QFocusEvent* Event)
{
    TStringGridWex::focusInEvent(Event);
    ShowCellControl();
}

void TCtrlGridQ::focusOutEvent(QFocusEvent* Event)
{
    TStringGridWex::focusOutEvent(Event);
    if (Event->reason() == Qt::PopupFocusReason || !FCurrentControl)
        return;
    // Going into the current control counts as Enter on the grid.
    if (HasFocusWithin(FCurrentControl)) {
        int Key = Qt::Key_Return;
        KeyDown(Key, Qt::NoModifier);
    } else
        EndCellEdit();
}

bool TCtrlGridQ::eventFilter(QObject* Watched, QEvent* Event)
{
    const QEvent::Type Type = Event->type();
    if (Type != QEvent::KeyPress && Type != QEvent::FocusOut)
        return TStringGridWex::eventFilter(Watched, Event);
    TCtrlGridQItem* Item = HostItemOf(Watched);
    // Windows of the control's own (a combo box's list) keep their keys.
    if (!Item || Item->Control->metaObject() != Item->Class ||
        static_cast<QWidget*>(Watched)->window() != Item->Control->window())
        return TStringGridWex::eventFilter(Watched, Event);
    QPointer<QWidget> Control = Item->Control.data();

    if (Type == QEvent::FocusOut) {
        const Qt::FocusReason Reason = static_cast<QFocusEvent*>(Event)->reason();
        if (Reason == Qt::PopupFocusReason || Reason == Qt::ActiveWindowFocusReason)
            return false;
        // The control's own leaving comes first: it may still correct its text.
        Watched->event(Event);
        if (Control && Control == FCurrentControl && !HasFocusWithin(Control))
            EndCellEdit();
        return true;
    }

    auto* Key = static_cast<QKeyEvent*>(Event);
    if (Key->key() == Qt::Key_Up || Key->key() == Qt::Key_Down) {
        const auto* Combo = qobject_cast<const QComboBox*>(Control.data());
        if ((Key->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) || (Combo && Combo->view()->isVisible()))
            return false;
        if (Key->key() == Qt::Key_Up && Row() > 0)
            SetRow(Row() - 1);
        else if (Key->key() == Qt::Key_Down && Row() < RowCount() - 1)
            SetRow(Row() + 1);
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    if (Key->key() == Qt::Key_Escape) {
        Watched->event(Event); // the control's own handling first
        if (Control && !IsAlwaysVisible(Control)) {
            const bool Current = Control == FCurrentControl;
            const int Col = Current ? FCurrentCol : this->Col();
            const int Row = Current ? FCurrentRow : this->Row();
            if (Col < ColCount() && Row < RowCount())
                PutCellText(Control, Cells(Col, Row));
        }
        setFocus(Qt::OtherFocusReason);
        return true;
    }
    return false;
}
