#include "editors/trans_dialog_wex.h"

#include "editors/frm_sel_trans.h"
#include "ui/restore_pos.h"

#include <QCheckBox>

#include <algorithm>

int TransPercentOfByte(int Byte) { return (std::clamp(Byte, 0, 255) * 100 + 127) / 255; }

int TransByteOfPercent(int Percent) { return (std::clamp(Percent, 0, 100) * 255 + 50) / 100; }

int TransBarPercentAt(int Y, int Height)
{
    const int Span = Height - 5;
    if (Span <= 0)
        return 0;
    return std::clamp(Span - (Y - 2), 0, Span) * 100 / Span;
}

int TransBarMarkerY(int Percent, int Height) { return (Height - 4) - Percent * (Height - 4) / 100; }

int TransBarGrey(int RowFromBottom, int Rows) { return Rows > 1 ? RowFromBottom * 255 / (Rows - 1) : 255; }

bool TTransDialogWex::Execute()
{
    TfrmSelTrans Form(FOwner);
    Form.HelpContext = HelpContext;
    Form.SetCallerValues(Context, OnApply, OnPreview);
    Form.SetStartPercent(TransPercentOfByte(Trans));

    const std::vector<int32_t> Saved = ReadPickerSetting(FStorage, RegistryKey, RegistryName);
    auto Field = [&](size_t I, int32_t Default) { return I < Saved.size() ? Saved[I] : Default; };
    PlacePickerForm(&Form, FOwner, Field(0, LeftPos), Field(1, TopPos), SavePosition);
    Form.cboxPreview->setChecked(Field(2, 0) != 0);

    const int Result = RunPickerForm(Form, Run);
    if (Result == QDialog::Accepted)
        Trans = TransByteOfPercent(Form.Percent());
    WritePickerSetting(FStorage, RegistryKey, RegistryName,
                       JoinInts({Form.x(), Form.y(), Form.cboxPreview->isChecked() ? 1 : 0}));
    return Result == QDialog::Accepted;
}
