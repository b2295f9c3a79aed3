#include "ui/combo_box_wex.h"

#include <QAbstractItemView>
#include <QFocusEvent>
#include <QKeyEvent>

TCustomComboBoxWex::TCustomComboBoxWex(QWidget* Parent) : QComboBox(Parent) {}

void TCustomComboBoxWex::showPopup()
{
    QComboBox::showPopup();
    QWidget* List = view()->window();
    if (DropDownWidth > 0 && List->width() < DropDownWidth)
        List->resize(DropDownWidth, List->height());
}

void TCustomComboBoxWex::hidePopup()
{
    // Qt also asks for this whenever the box is hidden, list open or not.
    if (OnCloseUp && view()->window()->isVisible())
        OnCloseUp(this);
    QComboBox::hidePopup();
}

void TCustomComboBoxWex::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Return || Event->key() == Qt::Key_Enter) {
        if (EnterNext) {
            focusNextChild();
            Event->accept();
            return;
        }
        QComboBox::keyPressEvent(Event);
        if (WantReturns)
            Event->accept();
        return;
    }
    bool Point = false;
    bool Sign = false;
    QChar Key = TypedKey(Event->text());
    if (!Key.isNull() && NumberFilterOptions(InputType, Point, Sign)) {
        ComboNumberKeyFilter(*this, Point, Sign, Key);
        if (Key.isNull()) {
            Event->accept();
            return;
        }
    }
    QComboBox::keyPressEvent(Event);
}

void TCustomComboBoxWex::focusOutEvent(QFocusEvent* Event)
{
    // The list opening or another program's window taking over is no leaving.
    const bool Leaving = Event->reason() != Qt::PopupFocusReason && Event->reason() != Qt::ActiveWindowFocusReason;
    if (Leaving && FUpdating == 0 && OnChanging && currentText() != FLastText) {
        bool Accept = true;
        OnChanging(this, currentText(), FLastText, Accept);
        if (Accept) {
            FLastText = currentText();
        } else {
            ++FUpdating;
            const int Index = findText(FLastText, Qt::MatchExactly | Qt::MatchCaseSensitive);
            if (Index >= 0 || !isEditable())
                setCurrentIndex(Index);
            else
                setEditText(FLastText);
            --FUpdating;
        }
    }
    QComboBox::focusOutEvent(Event);
}
