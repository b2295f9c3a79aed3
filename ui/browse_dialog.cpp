#include "ui/browse_dialog.h"

#include "foundation/text_fields.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>

namespace {

bool IsWithin(const QString& Folder, const QString& Top)
{
    const QString F = QDir::cleanPath(Folder);
    const QString T = QDir::cleanPath(Top);
    return F == T || F.startsWith(T.endsWith('/') ? T : T + '/');
}

} // namespace

TBrowseDialog::TBrowseDialog(QObject* Owner) : QObject(Owner) {}

bool TBrowseDialog::Execute()
{
    QFileDialog Dialog(QApplication::activeWindow());
    Dialog.setOption(QFileDialog::DontUseNativeDialog);
    Dialog.setOption(QFileDialog::ShowDirsOnly);
    Dialog.setFileMode(QFileDialog::Directory);
    FStatus = new QLabel(&Dialog);
    FStatus->setVisible((Options & BIF_STATUSTEXT) != 0);
    if (auto* Grid = qobject_cast<QGridLayout*>(Dialog.layout()))
        Grid->addWidget(FStatus, Grid->rowCount(), 0, 1, Grid->columnCount());
    FOkButton = nullptr;
    if (auto* Box = Dialog.findChild<QDialogButtonBox*>("buttonBox"))
        FOkButton = Box->button(QDialogButtonBox::Open);
    if (FOkButton)
        FOkButton->installEventFilter(this);
    FOkState = 0;
    FInitialized = false;

    const QString Top = QString::fromStdString(Root);
    if (!Root.empty()) {
        Dialog.setSidebarUrls({QUrl::fromLocalFile(Top)});
        Dialog.setDirectory(Top);
    }
    connect(&Dialog, &QFileDialog::directoryEntered, this, [this, &Dialog, Top](const QString& Dir) {
        if (!Top.isEmpty() && !IsWithin(Dir, Top)) {
            Dialog.setDirectory(Top);
            SelectionChanged(Dialog, Top);
            return;
        }
        SelectionChanged(Dialog, Dir);
    });
    connect(&Dialog, &QFileDialog::currentChanged, this, [this, &Dialog](const QString& Path) {
        if (!Path.isEmpty())
            SelectionChanged(Dialog, Path);
    });
    Dialog.installEventFilter(this);

    const int Result = Dialog.exec();
    FStatus = nullptr;
    FOkButton = nullptr;
    if (Result != QDialog::Accepted || Dialog.selectedFiles().isEmpty())
        return false;
    Directory = Dialog.selectedFiles().first().toStdString();
    return true;
}

void TBrowseDialog::Initialized(QFileDialog& Dialog)
{
    if (!Directory.empty()) {
        std::string Dir = Directory;
        if (Dir.size() > 1)
            Dir = RemovePathDelimiter(Dir);
        Dialog.setDirectory(QString::fromStdString(Dir));
        // Selecting a folder is a selection change of its own.
        SelectionChanged(Dialog, Dialog.directory().absolutePath());
    }
    if (OnInitialized)
        OnInitialized(this, &Dialog);
    ApplyStatus(Dialog, "", 0);
}

void TBrowseDialog::SelectionChanged(QFileDialog& Dialog, const QString& Folder)
{
    if (!FInitialized)
        return;
    std::string StatusText;
    int32_t OkState = 0;
    if (OnSelectionChanged)
        OnSelectionChanged(this, &Dialog, Folder.toStdString(), StatusText, OkState);
    ApplyStatus(Dialog, StatusText, OkState);
}

void TBrowseDialog::ApplyStatus(QFileDialog& Dialog, const std::string& StatusText, int32_t OkState)
{
    if (FStatus)
        FStatus->setText(QString::fromStdString(StatusText));
    if (OkState == 1 || OkState == 2)
        FOkState = OkState;
    if (FOkButton && FOkState != 0)
        FOkButton->setEnabled(FOkState == 1);
}

bool TBrowseDialog::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::Show && !FInitialized && qobject_cast<QFileDialog*>(Watched)) {
        FInitialized = true;
        Initialized(*static_cast<QFileDialog*>(Watched));
    } else if (Watched == FOkButton && Event->type() == QEvent::EnabledChange && FOkState != 0 &&
               FOkButton->isEnabled() != (FOkState == 1)) {
        // The dialog sets the button after every change of its own; the
        // state asked for holds until the next selection changes it.
        FOkButton->setEnabled(FOkState == 1);
    }
    return QObject::eventFilter(Watched, Event);
}
