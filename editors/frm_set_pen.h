// TfrmSetPen ("線種の設定"): outline width, corner join, end cap and miter
// limit, read from and written to a pen parameter string
// ("width,flags,miter"); an empty edit or no radio item stands for "leave
// this value unchanged". With an apply event the form offers a live test.
#pragma once

#include "ui/wex_events.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <string>

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;
class TEditTrackBarWex;

using TPenApplyEvent = std::function<void(QObject* Sender, const std::string& PenParam)>;

class TfrmSetPen : public QDialog {
    Q_OBJECT
public:
    // Centred over Owner when it is a window.
    explicit TfrmSetPen(QWidget* Owner = nullptr);
    ~TfrmSetPen() override;

    std::string strParam;
    TPenApplyEvent OnApply;

    // The string into the controls; a flag value that names no cap or join
    // shows an error box and selects nothing for it.
    void FieldToControls();
    // The controls into strParam.
    void ControlsToField();
    // Writes the string and hands it to OnApply (only while showing and not
    // while the controls are being loaded).
    void Apply();

    TEditTrackBarWex* edtWidth = nullptr;
    TEditTrackBarWex* edtMiterLen = nullptr;
    QGroupBox* radiogrpNode = nullptr;
    QGroupBox* radiogrpCap = nullptr;
    QGroupBox* radiogrpStyle = nullptr;
    QButtonGroup* NodeButtons = nullptr;
    QButtonGroup* CapButtons = nullptr;
    QPushButton* btnApply = nullptr;
    QCheckBox* cboxPreview = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnCancel = nullptr;

protected:
    void showEvent(QShowEvent* Event) override;

private:
    void Changed();
    void PreviewClicked();

    int FiLoading = 0;
};

// Join and cap bits of the flags field and the radio item of each (-1: the
// bits of "leave unchanged"; -2: bits that name nothing).
constexpr uint32_t PenCapMask = 0x0F00;
constexpr uint32_t PenJoinMask = 0xF000;
int PenCapItem(uint32_t Flags);
int PenJoinItem(uint32_t Flags);
uint32_t PenCapBits(int Item);
uint32_t PenJoinBits(int Item);
