// The opacity picker form "不透明度の設定": a grey value bar, a number edit in
// percent and an old/new swatch, with the caller's live test.
#pragma once

#include "editors/trans_dialog_wex.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class TEditTrackBarWex;
class TPickerBox;

class TfrmSelTrans : public QDialog {
    Q_OBJECT
public:
    explicit TfrmSelTrans(QWidget* Owner = nullptr);
    ~TfrmSelTrans() override;

    int HelpContext = 0;
    void SetCallerValues(intptr_t Context, TColorProc Apply, TColorProc Preview);
    // The starting and current percentage, calling nobody.
    void SetStartPercent(int Percent);
    // A change of the value: the edit shows it, the preview hears of it.
    void SetPercent(int Percent);
    int Percent() const { return FPercent; }
    int StartPercent() const { return FStartPercent; }

    TPickerBox *pboxColor, *pboxVBar;
    TEditTrackBarWex* edtTrans;
    QPushButton *btnApply, *btnOK, *btnCancel;
    QCheckBox* cboxPreview;

private:
    void edtFactorChange();
    void BarMouse(int Y);
    void PaintBar(class QPainter& P);
    void PaintSwatch(class QPainter& P);

    int FPercent = 100;
    int FStartPercent = 100;
    int FUpdating = 0;
    bool FDrag = false;
    intptr_t FContext = 0;
    TColorProc FApply, FPreview;
};
