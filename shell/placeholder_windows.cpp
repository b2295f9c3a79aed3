#include "shell/placeholder_windows.h"

#include "platform/qt/window_routines.h"
#include "ui/tool_window_message.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

std::unique_ptr<TfrmObjPropertyPlaceholder> frmObjProperty;

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

TfrmObjPropertyPlaceholder::TfrmObjPropertyPlaceholder(QWidget* Owner) : QWidget(nullptr, Qt::Tool), FOwner(Owner)
{
    setObjectName("frmObjProperty");
    setWindowTitle("図形のプロパティ");
    setAttribute(Qt::WA_QuitOnClose, false);
    FPageControl = new QTabWidget(this);
    const auto AddSheet = [this](const char* Name, const char* Caption) {
        auto* Sheet = new QWidget(FPageControl);
        Sheet->setObjectName(Name);
        FPageControl->addTab(Sheet, Caption);
        return Sheet;
    };
    TabSheetGeneral = AddSheet("TabSheetGeneral", "一般");
    TabSheetPaintProperty = AddSheet("TabSheetPaintProperty", "マクロ");
    TabSheetShape = AddSheet("TabSheetShape", "形状");
    TabSheetText = AddSheet("TabSheetText", "テキスト");
    TabSheetOutline = AddSheet("TabSheetOutline", "外形");
    auto* Layout = new QVBoxLayout(this);
    Layout->setContentsMargins(0, 0, 0, 0);
    Layout->addWidget(FPageControl);
    PlaceInWorkArea(this, 0, 0, 226, 320);
}

void TfrmObjPropertyPlaceholder::closeEvent(QCloseEvent* Event)
{
    QWidget::closeEvent(Event);
    PostClosed(FOwner, this);
}
