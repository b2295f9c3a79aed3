#include "editors/frm_set_pen.h"

#include "foundation/pen_text.h"
#include "foundation/platform_wrappers.h"
#include "platform/qt/window_routines.h"
#include "ui/edit_track_bar_wex.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <cmath>

namespace {

// Radio items in the order the groups show them, with the platform's bits.
constexpr uint32_t CapBits[] = {0x000, 0x100, 0x200};     // round, square, flat
constexpr uint32_t JoinBits[] = {0x1000, 0x2000, 0x0000}; // bevel, miter, round
const char* const CapNames[] = {"丸", "角", "平"};
const char* const JoinNames[] = {"面取り", "角", "丸"};

int ItemOf(uint32_t Bits, uint32_t Mask, const uint32_t (&Table)[3])
{
    if (Bits == Mask)
        return -1;
    for (int I = 0; I < 3; ++I)
        if (Table[I] == Bits)
            return I;
    return -2;
}

QGroupBox* MakeRadioGroup(const QString& Caption, const char* const (&Names)[3], QButtonGroup*& Buttons,
                          QWidget* Parent)
{
    auto* Box = new QGroupBox(Caption, Parent);
    auto* Layout = new QVBoxLayout(Box);
    Buttons = new QButtonGroup(Box);
    for (int I = 0; I < 3; ++I) {
        auto* Radio = new QRadioButton(QString::fromUtf8(Names[I]), Box);
        Buttons->addButton(Radio, I);
        Layout->addWidget(Radio);
    }
    return Box;
}

// Selects Item (-1 or less: none). An exclusive group cannot be emptied by
// unchecking, so exclusivity is lifted for the moment.
void SelectItem(QButtonGroup* Buttons, int Item)
{
    Buttons->setExclusive(false);
    for (QAbstractButton* B : Buttons->buttons())
        B->setChecked(Buttons->id(B) == Item);
    Buttons->setExclusive(true);
}

} // namespace

int PenCapItem(uint32_t Flags) { return ItemOf(Flags & PenCapMask, PenCapMask, CapBits); }
int PenJoinItem(uint32_t Flags) { return ItemOf(Flags & PenJoinMask, PenJoinMask, JoinBits); }
uint32_t PenCapBits(int Item) { return Item >= 0 && Item < 3 ? CapBits[Item] : PenCapMask; }
uint32_t PenJoinBits(int Item) { return Item >= 0 && Item < 3 ? JoinBits[Item] : PenJoinMask; }

TfrmSetPen::TfrmSetPen(QWidget* Owner) : QDialog(Owner)
{
    setObjectName("frmSetPen");
    setWindowTitle("線種の設定");
    auto* Main = new QVBoxLayout(this);

    auto* Edits = new QGridLayout;
    edtWidth = new TEditTrackBarWex(this);
    edtWidth->setObjectName("edtWidth");
    edtWidth->SetMin(1);
    edtWidth->SetMax(MaxPenWidth);
    edtWidth->SetPrecision(1);
    edtMiterLen = new TEditTrackBarWex(this);
    edtMiterLen->setObjectName("edtMiterLen");
    edtMiterLen->SetMin(1);
    edtMiterLen->SetMax(MaxPenMiterLimit);
    edtMiterLen->SetPrecision(0.1);
    edtMiterLen->LineSize = 0.1;
    auto* WidthLabel = new QLabel("幅(&W):", this);
    WidthLabel->setBuddy(edtWidth);
    Edits->addWidget(WidthLabel, 0, 0);
    Edits->addWidget(edtWidth, 0, 1);
    Edits->addWidget(new QLabel("マイター制限値：", this), 1, 0);
    Edits->addWidget(edtMiterLen, 1, 1);
    Main->addLayout(Edits);

    auto* Groups = new QHBoxLayout;
    radiogrpNode = MakeRadioGroup("角形状(&R)", JoinNames, NodeButtons, this);
    radiogrpCap = MakeRadioGroup("先端形状(&E)", CapNames, CapButtons, this);
    // The dash styles are shown for the look of the form; the pen string has
    // no field for them.
    radiogrpStyle = new QGroupBox("線種[NTのみ](&S)", this);
    auto* StyleLayout = new QVBoxLayout(radiogrpStyle);
    for (const char* Name : {"実線", "破線", "点線", "一点鎖線", "二点鎖線"}) {
        auto* Radio = new QRadioButton(QString::fromUtf8(Name), radiogrpStyle);
        Radio->setChecked(StyleLayout->count() == 0);
        StyleLayout->addWidget(Radio);
    }
    Groups->addWidget(radiogrpNode);
    Groups->addWidget(radiogrpCap);
    Groups->addWidget(radiogrpStyle);
    Main->addLayout(Groups);

    auto* Buttons = new QHBoxLayout;
    btnApply = new QPushButton("テスト", this);
    cboxPreview = new QCheckBox("即テスト", this);
    btnOK = new QPushButton("OK", this);
    btnCancel = new QPushButton("キャンセル", this);
    btnOK->setDefault(true);
    Buttons->addWidget(btnApply);
    Buttons->addWidget(cboxPreview);
    Buttons->addStretch();
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);
    Main->addLayout(Buttons);

    edtWidth->OnChange = [this](QObject*) { Changed(); };
    edtMiterLen->OnChange = [this](QObject*) { Changed(); };
    connect(NodeButtons, &QButtonGroup::idClicked, this, [this](int) { Changed(); });
    connect(CapButtons, &QButtonGroup::idClicked, this, [this](int) { Changed(); });
    connect(btnApply, &QPushButton::clicked, this, [this] { Apply(); });
    connect(cboxPreview, &QCheckBox::clicked, this, [this] { PreviewClicked(); });
    connect(btnOK, &QPushButton::clicked, this, [this] {
        ControlsToField();
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    adjustSize();
    if (Owner && Owner->isWindow())
        CenterWindowInWorkArea(this, Owner);
}

TfrmSetPen::~TfrmSetPen() = default;

void TfrmSetPen::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    btnApply->setVisible(static_cast<bool>(OnApply));
    cboxPreview->setVisible(static_cast<bool>(OnApply));
    FieldToControls();
}

void TfrmSetPen::FieldToControls()
{
    ++FiLoading;
    TrecPenData Pen;
    StrToPenData(strParam, Pen);
    if (Pen.Width == -1) {
        edtWidth->SetPosition(10);
        edtWidth->setText("");
    } else {
        edtWidth->SetPosition(Pen.Width);
    }
    if (Pen.MiterLimit == -1.0) {
        edtMiterLen->SetPosition(5);
        edtMiterLen->setText("");
    } else {
        edtMiterLen->SetPosition(Pen.MiterLimit);
    }
    const int Cap = PenCapItem(Pen.Style);
    SelectItem(CapButtons, Cap);
    const int Join = PenJoinItem(Pen.Style);
    SelectItem(NodeButtons, Join);
    --FiLoading;
    if (Cap == -2)
        ErrorMessageBox(this, "TfrmSetPen.FieldToControls: Illegal EndCap");
    if (Join == -2)
        ErrorMessageBox(this, "TfrmSetPen.FieldToControls: Illegal Style");
}

void TfrmSetPen::ControlsToField()
{
    TrecPenData Pen;
    StrToPenData(strParam, Pen);
    Pen.Width = edtWidth->text().trimmed().isEmpty() ? -1 : static_cast<int32_t>(std::lround(edtWidth->Position()));
    Pen.MiterLimit = edtMiterLen->text().trimmed().isEmpty() ? -1.0 : edtMiterLen->Position();
    Pen.Style = (Pen.Style & ~(PenCapMask | PenJoinMask)) | PenCapBits(CapButtons->checkedId()) |
                PenJoinBits(NodeButtons->checkedId());
    PenDataToStr(Pen, strParam);
}

void TfrmSetPen::Apply()
{
    if (FiLoading != 0 || !isVisible())
        return;
    ControlsToField();
    if (OnApply)
        OnApply(this, strParam);
}

void TfrmSetPen::Changed()
{
    if (cboxPreview->isChecked())
        Apply();
}

void TfrmSetPen::PreviewClicked()
{
    btnApply->setEnabled(!cboxPreview->isChecked());
    if (cboxPreview->isChecked())
        Apply();
}
