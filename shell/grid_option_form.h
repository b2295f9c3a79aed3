// The grid and ruler options dialog of a page: the grid record's flags,
// spans, divisions, origin and unit, and the page's ruler unit.
#pragma once

#include "foundation/app_environment.h"

#include <QDialog>

#include <cstdint>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLabel;
class QTabWidget;
class TEditTrackBarWex;

// The help topics: the dialog's is its command's, the ruler tab has its own.
inline constexpr int32_t GridOptionHelpContext = 2000701;
inline constexpr int32_t RulerTabHelpContext = 2060200;

class TfrmDocOption : public QDialog {
    Q_OBJECT
public:
    explicit TfrmDocOption(QWidget* Parent = nullptr);

    // Takes a copy of Grid and the ruler unit and fills the controls.
    void SetUp(const TrecGrid& Grid, uint8_t RulerUnit);
    // The edited copies, read back after OK.
    const TrecGrid& Grid() const { return FGrid; }
    uint8_t RulerUnit() const { return FbRulerUnit; }

    QTabWidget* PageControl;
    QCheckBox* cboxDispGrid;
    QCheckBox* cboxSnapToGrid;
    QComboBox* cmbUnitType;
    TEditTrackBarWex* edtUnitNumX;
    TEditTrackBarWex* edtGridNumX;
    TEditTrackBarWex* edtUnitNumY;
    TEditTrackBarWex* edtGridNumY;
    TEditTrackBarWex* edtOffsetX;
    TEditTrackBarWex* edtOffsetY;
    QLabel* lblUnitX;
    QLabel* lblUnitY;
    QComboBox* cmbRulerUnitType;

protected:
    // F1: the help of the control under the mouse or with the keys.
    void keyPressEvent(QKeyEvent* Event) override;

private:
    // Ties Edit to Field, which it shows and holds from Minimum up; a field
    // with Minimum 1 is a step and never 0: typed lower, it is refused.
    void TieEdit(TEditTrackBarWex* Edit, int32_t TrecGrid::*Field, int32_t Minimum);
    void FillControls();
    void ShowUnitName();

    std::vector<std::pair<TEditTrackBarWex*, int32_t TrecGrid::*>> FTied;
    TrecGrid FGrid{};
    uint8_t FbRulerUnit = 0;
    int32_t FiUpdating = 0;
};
