#include "platform/qt/qt_message_box.h"

#include "model/document.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <vector>

namespace {

QMessageBox::StandardButton ButtonOfCode(int Code)
{
    switch (Code) {
    case IDCANCEL:
        return QMessageBox::Cancel;
    case IDRETRY:
        return QMessageBox::Retry;
    case IDYES:
        return QMessageBox::Yes;
    case IDNO:
        return QMessageBox::No;
    default:
        return QMessageBox::Ok;
    }
}

int CodeOfButton(QMessageBox::StandardButton Button)
{
    for (int Code : {IDOK, IDCANCEL, IDRETRY, IDYES, IDNO})
        if (ButtonOfCode(Code) == Button)
            return Code;
    return IDCANCEL;
}

// The buttons of a box in the order MB_DEFBUTTONn counts them.
std::vector<int> ButtonCodes(uint32_t Flags)
{
    switch (Flags & MB_TYPEMASK) {
    case MB_OKCANCEL:
        return {IDOK, IDCANCEL};
    case MB_YESNOCANCEL:
        return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO:
        return {IDYES, IDNO};
    case MB_RETRYCANCEL:
        return {IDRETRY, IDCANCEL};
    default:
        return {IDOK};
    }
}

QMessageBox::Icon IconOf(uint32_t Flags)
{
    switch (Flags & MB_ICONMASK) {
    case MB_ICONHAND:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONASTERISK:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int QtMessageBox(void* Owner, const std::string& Text, const std::string& Caption, uint32_t Flags)
{
    QWidget* Parent = Owner ? static_cast<QWidget*>(Owner) : QApplication::activeWindow();
    const std::vector<int> Codes = ButtonCodes(Flags);
    QMessageBox::StandardButtons Buttons;
    for (int Code : Codes)
        Buttons |= ButtonOfCode(Code);
    QMessageBox Box(IconOf(Flags), QString::fromStdString(Caption.empty() ? ApplicationTitle : Caption),
                    QString::fromStdString(ElideMessageText(Text)), Buttons, Parent);
    const size_t Default = (Flags & MB_DEFMASK) >> 8;
    Box.setDefaultButton(ButtonOfCode(Codes[Default < Codes.size() ? Default : 0]));
    // The box belongs to its owner, and closing it would leave the keys with
    // the owner's window; they go back to the control that asked, which may
    // sit in another window (a palette over the frame).
    const QPointer<QWidget> Asking = QApplication::focusWidget();
    Box.exec();
    if (Asking && Asking->isVisible() && Asking->isEnabled()) {
        Asking->activateWindow();
        Asking->setFocus(Qt::ActiveWindowFocusReason);
    }
    QAbstractButton* Clicked = Box.clickedButton();
    return CodeOfButton(Box.standardButton(Clicked ? Clicked : Box.escapeButton()));
}

TMessageBoxHandler InstallQtMessageBox()
{
    return SetMessageBoxHandler(QtMessageBox);
}
