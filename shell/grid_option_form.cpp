#include "shell/grid_option_form.h"

#include "ui/edit_track_bar_wex.h"
#include "ui/frm_rollup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <limits>

namespace {

const char* const UnitNames[] = {"pixel", "cm", "inch", "point"};
constexpr int UnitCount = 4;

TEditTrackBarWex* NumberEdit(QWidget* Parent)
{
    // The number edit's rule without its buttons and stepping keys: digits
    // and control characters only (the rest beeps), and what it shows is
    // what the record holds.
    auto* E = new TEditTrackBarWex(Parent);
    E->SetButtons(0);
    E->LineSize = 0;
    E->PageSize = 0;
    E->SetMax(std::numeric_limits<int32_t>::max());
    E->setMaximumWidth(80);
    return E;
}

QComboBox* UnitBox(QWidget* Parent)
{
    auto* C = new QComboBox(Parent);
    for (const char* Name : UnitNames)
        C->addItem(Name);
    return C;
}

} // namespace

TfrmDocOption::TfrmDocOption(QWidget* Parent) : QDialog(Parent)
{
    setWindowTitle("グリッド・ルーラ設定");
    setProperty("HelpContext", GridOptionHelpContext);
    PageControl = new QTabWidget(this);

    auto* GridTab = new QWidget;
    cboxDispGrid = new QCheckBox("グリッドの表示", GridTab);
    cboxSnapToGrid = new QCheckBox("グリッドへスナップ", GridTab);
    cmbUnitType = UnitBox(GridTab);
    edtUnitNumX = NumberEdit(GridTab);
    edtGridNumX = NumberEdit(GridTab);
    edtUnitNumY = NumberEdit(GridTab);
    edtGridNumY = NumberEdit(GridTab);
    edtOffsetX = NumberEdit(GridTab);
    edtOffsetY = NumberEdit(GridTab);
    lblUnitX = new QLabel(GridTab);
    lblUnitY = new QLabel(GridTab);
    auto* Rows = new QGridLayout;
    auto Row = [&](int R, const char* Head, TEditTrackBarWex* Units, QLabel* Unit, TEditTrackBarWex* Divisions) {
        Rows->addWidget(new QLabel(Head, GridTab), R, 0);
        Rows->addWidget(Units, R, 1);
        Rows->addWidget(Unit, R, 2);
        Rows->addWidget(new QLabel("につきグリッド", GridTab), R, 3);
        Rows->addWidget(Divisions, R, 4);
        Rows->addWidget(new QLabel("個", GridTab), R, 5);
    };
    Row(0, "横方向：", edtUnitNumX, lblUnitX, edtGridNumX);
    Row(1, "縦方向：", edtUnitNumY, lblUnitY, edtGridNumY);
    auto* Origin = new QHBoxLayout;
    Origin->addWidget(new QLabel("基準座標：（X：", GridTab));
    Origin->addWidget(edtOffsetX);
    Origin->addWidget(new QLabel("，Y：", GridTab));
    Origin->addWidget(edtOffsetY);
    Origin->addWidget(new QLabel("）", GridTab));
    Origin->addStretch();
    auto* Flags = new QHBoxLayout;
    Flags->addWidget(cboxDispGrid);
    Flags->addWidget(cboxSnapToGrid);
    Flags->addStretch();
    Flags->addWidget(cmbUnitType);
    auto* GridLayout = new QVBoxLayout(GridTab);
    GridLayout->addLayout(Flags);
    GridLayout->addLayout(Rows);
    GridLayout->addLayout(Origin);
    GridLayout->addStretch();
    PageControl->addTab(GridTab, "グリッド");

    auto* RulerTab = new QWidget;
    cmbRulerUnitType = UnitBox(RulerTab);
    auto* RulerLayout = new QVBoxLayout(RulerTab);
    RulerLayout->addWidget(cmbRulerUnitType);
    RulerLayout->addStretch();
    RulerTab->setProperty("HelpContext", RulerTabHelpContext);
    PageControl->addTab(RulerTab, "ルーラ");

    auto* Buttons = new QDialogButtonBox(this);
    Buttons->addButton("OK", QDialogButtonBox::AcceptRole)->setDefault(true);
    Buttons->addButton("キャンセル", QDialogButtonBox::RejectRole);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* Layout = new QVBoxLayout(this);
    Layout->addWidget(PageControl);
    Layout->addWidget(Buttons);

    TieEdit(edtOffsetX, &TrecGrid::Value1, std::numeric_limits<int32_t>::min());
    TieEdit(edtOffsetY, &TrecGrid::Value2, std::numeric_limits<int32_t>::min());
    TieEdit(edtGridNumX, &TrecGrid::Value3, 1);
    TieEdit(edtGridNumY, &TrecGrid::Value4, 1);
    TieEdit(edtUnitNumX, &TrecGrid::Value5, 1);
    TieEdit(edtUnitNumY, &TrecGrid::Value6, 1);
    connect(cmbUnitType, &QComboBox::currentIndexChanged, this, [this](int Index) {
        if (FiUpdating || Index < 0)
            return;
        FGrid.Byte1 = uint8_t(Index);
        ShowUnitName();
    });
    connect(cmbRulerUnitType, &QComboBox::currentIndexChanged, this, [this](int Index) {
        if (!FiUpdating && Index >= 0)
            FbRulerUnit = uint8_t(Index);
    });
    connect(cboxDispGrid, &QCheckBox::toggled, this, [this](bool On) {
        if (!FiUpdating)
            FGrid.ShowGrid = On ? 1 : 0;
    });
    connect(cboxSnapToGrid, &QCheckBox::toggled, this, [this](bool On) {
        if (!FiUpdating)
            FGrid.SnapGrid = On ? 1 : 0;
    });
}

void TfrmDocOption::TieEdit(TEditTrackBarWex* Edit, int32_t TrecGrid::*Field, int32_t Minimum)
{
    Edit->SetMin(Minimum);
    // Typed, a number is digits only, whatever the range holds; a step
    // typed below 1 is refused when the edit is left, as a size is in the
    // property panel, and the edit shows the step it had.
    Edit->InputType = ekitPlusInteger;
    Edit->RefuseBelowMin = true;
    Edit->OnChange = [this, Edit, Field](QObject*) {
        if (!FiUpdating)
            FGrid.*Field = int32_t(Edit->Position());
    };
    FTied.emplace_back(Edit, Field);
}

void TfrmDocOption::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_F1) {
        ShowKeyHelp(this);
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TfrmDocOption::SetUp(const TrecGrid& Grid, uint8_t RulerUnit)
{
    FGrid = Grid;
    FbRulerUnit = RulerUnit;
    FillControls();
}

void TfrmDocOption::FillControls()
{
    ++FiUpdating;
    // A stored step below 1 shows, and is held, as 1.
    for (const auto& [Edit, Field] : FTied) {
        Edit->SetPosition(FGrid.*Field);
        FGrid.*Field = int32_t(Edit->Position());
    }
    cmbUnitType->setCurrentIndex(FGrid.Byte1 < UnitCount ? FGrid.Byte1 : -1);
    ShowUnitName();
    cboxDispGrid->setChecked(FGrid.ShowGrid != 0);
    cboxSnapToGrid->setChecked(FGrid.SnapGrid != 0);
    cmbRulerUnitType->setCurrentIndex(FbRulerUnit < UnitCount ? FbRulerUnit : -1);
    --FiUpdating;
}

void TfrmDocOption::ShowUnitName()
{
    const QString Name = FGrid.Byte1 < UnitCount ? UnitNames[FGrid.Byte1] : QString();
    lblUnitX->setText(Name);
    lblUnitY->setText(Name);
}
