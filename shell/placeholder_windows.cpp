#include "shell/placeholder_windows.h"

#include "platform/qt/window_routines.h"
#include "ui/tool_window_message.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

QPointer<TfrmPltColorPlaceholder> frmPltColor;

namespace {

// Places a floating window at (Left, Top) of the work area by its frame, so
// that its title bar is on the screen; the screen's origin without a work
// area.
void PlaceInWorkArea(QWidget* Window, int32_t Left, int32_t Top, int32_t Width, int32_t Height)
{
    TRect Work;
    if (!GetWorkAreaRect(Work))
        Work = TRect{};
    SetWindowBounds(Window, Work.Left + Left, Work.Top + Top, Width, Height);
}

void PostClosed(QWidget* Owner, QWidget* Window)
{
    if (Owner)
        QCoreApplication::postEvent(Owner, new TToolWindowClosedEvent(Window));
}

} // namespace

TfrmPltColorPlaceholder::TfrmPltColorPlaceholder(QWidget* Owner) : QWidget(Owner, Qt::Tool)
{
    setObjectName("frmPltColor");
    setWindowTitle("色");
    // A floating window does not keep the program running on its own.
    setAttribute(Qt::WA_QuitOnClose, false);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(new QLabel("色", this));
    // Left of the frame, where its placement leaves room for floating windows.
    PlaceInWorkArea(this, 0, 340, 226, 120);
}

void TfrmPltColorPlaceholder::closeEvent(QCloseEvent* Event)
{
    QWidget::closeEvent(Event);
    PostClosed(parentWidget(), this);
}
