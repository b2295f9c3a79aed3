#include "editors/font_name_dialog.h"

#include "editors/frm_sel_font_name.h"
#include "foundation/text_fields.h"
#include "ui/restore_pos.h"
#include "ui/work_area.h"

#include <QCheckBox>

#include <algorithm>

#include <memory>

namespace {

bool FieldBool(const std::string& S, int32_t& Pos, bool Default)
{
    return GetFieldInt(S, Pos, ',', Default ? 1 : 0) != 0;
}

} // namespace

TFontNameDialog::TFontNameDialog(QObject* Owner) : QObject(Owner) {}

bool TFontNameDialog::Execute()
{
    QWidget* OwnerForm = qobject_cast<QWidget*>(parent());
    auto Form = std::make_unique<TfrmSelFontName>(OwnerForm ? OwnerForm->window() : nullptr);
    Form->SampleText = Text;

    const bool Named = !RegistryKey.empty() && !RegistryName.empty();
    const std::string Stored = Named ? ReadUserSettingText(IniFile, RegistryKey, RegistryName) : std::string();
    int32_t Pos = 1;
    const int32_t Left = GetFieldInt(Stored, Pos, ',', Form->x());
    const int32_t Top = GetFieldInt(Stored, Pos, ',', Form->y());
    const int32_t Width = GetFieldInt(Stored, Pos, ',', Form->width());
    const int32_t Height = GetFieldInt(Stored, Pos, ',', Form->height());
    Form->cboxAnsi->setChecked(FieldBool(Stored, Pos, Ansi));
    Form->cboxETC->setChecked(FieldBool(Stored, Pos, OEM));
    Form->cboxSymbol->setChecked(FieldBool(Stored, Pos, Symbol));
    Form->cboxVert->setChecked(FieldBool(Stored, Pos, Vertical));
    const int32_t StoredSize = GetFieldInt(Stored, Pos, ',', Size > 0 ? Size : 24);
    std::string Face;
    GetField(Stored, Pos, ',', Face, std::string());
    const int32_t Columns = GetFieldInt(Stored, Pos, ',', 0);

    // Stored bounds may come from another screen layout: keep the form in
    // reach, and the numbers in the ranges of their controls.
    if (!Stored.empty())
        SetBoundsInWorkArea(Form.get(), Left, Top, std::max(Width, TfrmSelFontName::MinWidth), Height);
    Form->SetItemSize(StoredSize);
    Form->SetColumns(Columns);
    Form->SetFontName(FontName.empty() ? Face : FontName);
    if (OnShowForm)
        OnShowForm(Form.get());

    const bool Result = Form->exec() == QDialog::Accepted;
    if (Result)
        FontName = Form->FontName();
    if (Named) {
        const std::string Head =
            JoinInts({Form->x(), Form->y(), Form->width(), Form->height(), Form->cboxAnsi->isChecked() ? 1 : 0,
                      Form->cboxETC->isChecked() ? 1 : 0, Form->cboxSymbol->isChecked() ? 1 : 0,
                      Form->cboxVert->isChecked() ? 1 : 0, Form->ItemSize()});
        WriteUserSettingText(IniFile, RegistryKey, RegistryName,
                             Head + "," + FontName + "," + std::to_string(Form->Columns()));
    }
    return Result;
}
