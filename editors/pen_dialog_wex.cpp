#include "editors/pen_dialog_wex.h"

#include "foundation/text_fields.h"
#include "ui/frm_rollup.h"
#include "ui/restore_pos.h"

#include <QCheckBox>
#include <QCursor>
#include <QPushButton>
#include <QPointer>

#include <memory>

TPenDialogWex::TPenDialogWex(QObject* Owner) : QObject(Owner) {}

bool TPenDialogWex::Execute()
{
    QWidget* OwnerForm = qobject_cast<QWidget*>(parent());
    if (OwnerForm)
        OwnerForm = OwnerForm->window();
    auto Form = std::make_unique<TfrmSetPen>(OwnerForm);
    Form->strParam = strParam;
    Form->OnApply = OnApply;

    const bool Named = !RegistryKey.empty() && !RegistryName.empty();
    const std::string Stored = Named ? ReadUserSettingText(IniFile, RegistryKey, RegistryName) : std::string();
    int32_t Pos = 1;
    LeftPos = GetFieldInt(Stored, Pos, ',', -1);
    TopPos = GetFieldInt(Stored, Pos, ',', -1);
    const bool Preview = GetFieldInt(Stored, Pos, ',', 0) != 0;
    if (LeftPos >= 0 && TopPos >= 0 && SavePosition) {
        SetPosInWorkArea(Form.get(), LeftPos, TopPos);
    } else if (OwnerForm) {
        const QPoint Cursor = QCursor::pos();
        SetPosInWorkArea(Form.get(), Cursor.x(), Cursor.y());
    }
    Form->cboxPreview->setChecked(Preview);
    Form->btnApply->setEnabled(!Preview);
    if (OnShowForm)
        OnShowForm(Form.get());

    const bool Result = Form->exec() == QDialog::Accepted;
    if (Result)
        strParam = Form->strParam;
    LeftPos = Form->x();
    TopPos = Form->y();
    if (Named)
        WriteUserSettingText(IniFile, RegistryKey, RegistryName,
                             JoinInts({LeftPos, TopPos, Form->cboxPreview->isChecked() ? 1 : 0}));
    return Result;
}
