#include "ui/number_key_filter.h"

#include "platform/qt/qt_services.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <tuple>

namespace {

void Eat(QChar& Key)
{
    MessageBeep(0);
    Key = QChar();
}

void Filter(const QString& Text, int SelStart, int SelLength, bool Point, bool Sign, bool PointEvenOverAll,
            QChar& Key)
{
    const char16_t C = Key.unicode();
    if ((C == u'.' && !Point) || (C == u'-' && !Sign)) {
        Eat(Key);
        return;
    }
    if (C >= 32 && C != u'-' && C != u'.' && !(C >= u'0' && C <= u'9')) {
        Eat(Key);
        return;
    }
    const bool AllSelected = SelLength == Text.size();
    if (C == u'-' && !AllSelected && !(SelStart == 0 && !Text.contains(u'-')))
        Eat(Key);
    else if (C == u'.' && Text.contains(u'.') && (PointEvenOverAll || !AllSelected))
        Eat(Key);
}

void Selection(const QLineEdit& Edit, int& Start, int& Length)
{
    if (Edit.hasSelectedText()) {
        Start = Edit.selectionStart();
        Length = static_cast<int>(Edit.selectedText().size());
    } else {
        Start = Edit.cursorPosition();
        Length = 0;
    }
}

// Hands a typed character on to the edit and beeps when the edit's text,
// caret and selection stay as they were.
class TRefusedKeyBeep : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() != QEvent::KeyPress)
            return false;
        const auto* Key = static_cast<QKeyEvent*>(Event);
        const QChar Typed = TypedKey(Key->text());
        if (Typed.isNull() || Typed.unicode() < 32 ||
            (Key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)))
            return false;
        auto* Edit = qobject_cast<QLineEdit*>(Watched);
        if (!Edit)
            Edit = Watched->findChild<QLineEdit*>();
        if (!Edit || Edit->isReadOnly())
            return false;
        const auto State = [Edit] {
            return std::tuple(Edit->text(), Edit->cursorPosition(), Edit->selectionStart(), Edit->selectionLength());
        };
        const auto Before = State();
        Watched->event(Event);
        if (State() == Before)
            MessageBeep(0);
        return true;
    }
};

} // namespace

bool NumberFilterOptions(TEditWexInputType InputType, bool& Point, bool& Sign)
{
    switch (InputType) {
    case ekitInteger:
        Point = false;
        Sign = true;
        return true;
    case ekitPlusInteger:
        Point = false;
        Sign = false;
        return true;
    case ekitReal:
        Point = true;
        Sign = true;
        return true;
    case ekitPlusReal:
        Point = true;
        Sign = false;
        return true;
    default:
        return false;
    }
}

void NumberKeyFilter(const QString& Text, int SelStart, int SelLength, bool Point, bool Sign, QChar& Key)
{
    Filter(Text, SelStart, SelLength, Point, Sign, false, Key);
}

void ComboNumberKeyFilter(const QString& Text, int SelStart, int SelLength, bool Point, bool Sign, QChar& Key)
{
    Filter(Text, SelStart, SelLength, Point, Sign, true, Key);
}

void NumberKeyFilter(const QLineEdit& Edit, bool Point, bool Sign, QChar& Key)
{
    int Start = 0;
    int Length = 0;
    Selection(Edit, Start, Length);
    NumberKeyFilter(Edit.text(), Start, Length, Point, Sign, Key);
}

void ComboNumberKeyFilter(const QComboBox& Combo, bool Point, bool Sign, QChar& Key)
{
    int Start = 0;
    int Length = 0;
    if (const QLineEdit* Edit = Combo.lineEdit())
        Selection(*Edit, Start, Length);
    ComboNumberKeyFilter(Combo.currentText(), Start, Length, Point, Sign, Key);
}

QChar TypedKey(const QString& EventText)
{
    if (EventText.isEmpty() || EventText == QChar(0x7F))
        return QChar();
    return EventText.size() == 1 ? EventText[0] : QChar(QChar::ReplacementCharacter);
}

void BeepOnRefusedKeys(QWidget* Edit)
{
    Edit->installEventFilter(new TRefusedKeyBeep(Edit));
}
