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
class QLabel;
class QTabWidget;
class TEditTrackBarWex;

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
