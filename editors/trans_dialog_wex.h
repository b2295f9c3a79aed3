// The opacity picker as a component: TTransDialogWex runs the modal form
// TfrmSelTrans ("不透明度の設定") on an opacity byte shown as a percentage,
// and remembers the form's place and its live-test option. The conversions
// and the bar's mapping are pure routines for the tests.
#pragma once

#include "editors/color_dialog_wex.h"

#include <cstdint>
#include <functional>
#include <string>

class QWidget;
class TMemIniFile;
class TfrmSelTrans;

// Percent of an opacity byte and back, each rounded to the nearest step:
// 128 shows 50 %, 50 % gives 128.
int TransPercentOfByte(int Byte);
int TransByteOfPercent(int Percent);
// The bar of height Height: the percentage at y (100 at the top), the y of
// the indicator for a percentage, and the grey of a picture row counted
// from the bottom of Rows rows.
int TransBarPercentAt(int Y, int Height);
int TransBarMarkerY(int Percent, int Height);
int TransBarGrey(int RowFromBottom, int Rows);

class TTransDialogWex {
public:
    explicit TTransDialogWex(QWidget* Owner = nullptr) : FOwner(Owner) {}

    int Trans = 255; // the opacity byte in and out
    int HelpContext = 0;
    std::string RegistryKey;
    std::string RegistryName;
    bool SavePosition = true;
    int LeftPos = -1;
    int TopPos = -1;
    intptr_t Context = 0;
    TColorProc OnApply; // both take the opacity byte
    TColorProc OnPreview;

    TMemIniFile* Storage() const { return FStorage; }
    void SetStorage(TMemIniFile* Value) { FStorage = Value; }

    // Runs the form; true on OK. Run, when set, stands in for the modal
    // loop as in TColorDialogWex.
    bool Execute();
    std::function<int(TfrmSelTrans* Form)> Run;

private:
    QWidget* FOwner;
    TMemIniFile* FStorage = nullptr;
};
