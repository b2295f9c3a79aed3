#include "editors/frm_plt_color.h"

#include "editors/color_dialog_wex.h"
#include "editors/frm_sel_color.h"
#include "editors/frm_set_pen.h"
#include "foundation/app_environment.h"
#include "foundation/colour_models.h"
#include "platform/qt/window_routines.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/ole2_color.h"
#include "ui/ole2_pen.h"
#include "ui/tool_window_message.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemView>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QStyleOptionComboBox>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <functional>

TMadeWhenAsked<QPointer<TfrmPltColor>> frmPltColor;

namespace {

// The pages of the field's fixed part and of the pen: the room a page has
// below the window's client height, and the column of mode buttons.
constexpr int FieldBelow = 32;
constexpr int ModeColumn = 64;
const QSize MinClient(222, 160);
const QSize DragBoxSize(40, 40);

int32_t RgbOf(int32_t R, int32_t G, int32_t B) { return R | (G << 8) | (B << 16); }

int32_t HsbColor(int32_t H, int32_t S, int32_t V)
{
    int32_t R = 0, G = 0, B = 0;
    HSBToRGB(H, S, V, R, G, B);
    return RgbOf(R, G, B);
}

// The colour of each item, drawn behind its text in the list and in the
// closed box.
using TItemColor = std::function<int32_t(int Index)>;

void PaintColorItem(QPainter& P, const QRect& R, const QString& Text, int32_t Color, bool Selected)
{
    P.fillRect(R, ColorOfRef(Color));
    P.setPen(ColorOfRef(SwatchTextColor(Color)));
    P.drawText(R.adjusted(3, 0, -2, 0), Qt::AlignVCenter | Qt::AlignLeft, Text);
    if (Selected) {
        P.setPen(QPen(ColorOfRef(SwatchTextColor(Color)), 1, Qt::DotLine));
        P.drawRect(R.adjusted(0, 0, -1, -1));
    }
}

class TColorItemDelegate : public QAbstractItemDelegate {
public:
    TColorItemDelegate(TItemColor Color, QObject* Parent) : QAbstractItemDelegate(Parent), FColor(std::move(Color)) {}

    void paint(QPainter* P, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        P->save();
        PaintColorItem(*P, Option.rect, Index.data().toString(), FColor(Index.row()),
                       Option.state & QStyle::State_Selected);
        P->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex&) const override
    {
        return QSize(40, Option.fontMetrics.height() + 2);
    }

private:
    TItemColor FColor;
};

// The fixed-part box: its items and the closed box show their colours.
class TComboHSV : public QComboBox {
public:
    TComboHSV(TItemColor Color, QWidget* Parent) : QComboBox(Parent), FColor(Color)
    {
        setItemDelegate(new TColorItemDelegate(std::move(Color), this));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter P(this);
        QStyleOptionComboBox Option;
        initStyleOption(&Option);
        Option.currentText.clear();
        P.drawComplexControl(QStyle::CC_ComboBox, Option);
        const QRect Edit = style()->subControlRect(QStyle::CC_ComboBox, &Option, QStyle::SC_ComboBoxEditField, this);
        if (currentIndex() >= 0)
            PaintColorItem(P, Edit, currentText(), FColor(currentIndex()), hasFocus());
        else
            P.fillRect(Edit, palette().color(QPalette::Base));
    }

private:
    TItemColor FColor;
};

// A picture of a cursor holding a pen stroke: what the drag box offers.
QImage MakeDragCursorImage()
{
    QImage Image(32, 32, QImage::Format_ARGB32_Premultiplied);
    Image.fill(Qt::transparent);
    QPainter P(&Image);
    P.setRenderHint(QPainter::Antialiasing);
    P.setPen(QPen(Qt::black, 4, Qt::SolidLine, Qt::RoundCap));
    P.drawLine(QPointF(5, 26), QPointF(26, 5));
    P.setPen(QPen(Qt::black, 1));
    P.setBrush(Qt::white);
    const QPointF Arrow[] = {{14, 14}, {14, 29}, {18, 25}, {21, 31}, {23, 30}, {20, 24}, {25, 24}};
    P.drawPolygon(Arrow, 7);
    return Image;
}

} // namespace

QRect PltColorDefaultBounds(const QRect& WorkArea)
{
    const int Bottom = WorkArea.y() + WorkArea.height();
    if (WorkArea.width() > 800)
        return QRect(WorkArea.x(), Bottom - 520, 230, 220);
    return QRect(WorkArea.x(), Bottom - 248, 230, 248);
}

QStringList HSVItems(int Mode)
{
    QStringList Items;
    if (Mode == PltModeHue)
        for (int I = 0; I <= 350; I += 10)
            Items << QString::number(I);
    else if (Mode == PltModeSat || Mode == PltModeBri)
        for (int I = 0; I <= 100; I += 5)
            Items << QString::number(I);
    return Items;
}

int HSVItemIndex(int Mode, int32_t Hue, int32_t Sat, int32_t Bri)
{
    const int Count = static_cast<int>(HSVItems(Mode).size());
    if (Count == 0)
        return -1;
    int Index = 0;
    if (Mode == PltModeHue)
        Index = (Hue / 1000 + 5) / 10;
    else if (Mode == PltModeSat)
        Index = (Sat * 100 / 256 + 2) / 5;
    else
        Index = (Bri * 100 / 255 + 2) / 5;
    return Index >= 0 && Index < Count ? Index : Count - 1;
}

void HSVItemValue(int Mode, int Index, int32_t& Hue, int32_t& Sat, int32_t& Bri)
{
    if (Mode == PltModeHue)
        Hue = Index * 10000;
    else if (Mode == PltModeSat)
        Sat = Index * 1280 / 100;
    else if (Mode == PltModeBri)
        Bri = Index * 1275 / 100;
}

int32_t HSVItemColor(int Mode, int Index, int32_t Hue, int32_t Sat, int32_t Bri)
{
    HSVItemValue(Mode, Index, Hue, Sat, Bri);
    return HsbColor(Hue, Sat, Bri);
}

TrecPenData PltPenRecord(const QString& Width, int JoinItem, int CapItem, const QString& Miter)
{
    TrecPenData Pen{};
    if (CapItem >= 0 && CapItem < 3)
        Pen.Style |= PenCapBits(CapItem);
    if (JoinItem >= 0 && JoinItem < 3)
        Pen.Style |= PenJoinBits(JoinItem);
    bool Ok = false;
    const int W = Width.trimmed().toInt(&Ok);
    Pen.Width = Ok ? W : 0;
    const double M = Miter.trimmed().toDouble(&Ok);
    Pen.MiterLimit = Ok ? M : 0.0;
    return Pen;
}

// ---------------------------------------------------------------------------
// TfrmPltColor

TfrmPltColor::TfrmPltColor(QWidget* ParentWindow, TMemIniFile* IniFile)
    : TfrmRollup(ParentWindow), FParentWindow(ParentWindow)
{
    setObjectName("frmPltColor");
    setWindowTitle("ドラッグパレット");
    // A floating window does not keep the program running on its own.
    setAttribute(Qt::WA_QuitOnClose, false);
    if (QFontDatabase::families().contains("MS UI Gothic")) {
        QFont F = font();
        F.setFamily("MS UI Gothic");
        setFont(F);
    }

    PageControl = new QTabWidget(ClientArea());
    PageControl->setObjectName("PageControl");
    PageControl->tabBar()->installEventFilter(this);

    // The colour page.
    TabSheetPallete = new QWidget;
    TabSheetPallete->setObjectName("TabSheetPallete");
    PageControl->addTab(TabSheetPallete, "色");
    TabSheetPallete->installEventFilter(this);
    pboxPal = new TPickerBox(QSize(150, 160), TabSheetPallete);
    pboxPal->setObjectName("pboxPal");
    // The field follows the page's size.
    pboxPal->setMinimumSize(0, 0);
    pboxPal->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    pboxPal->OnPaint = [this](QPainter& P) { PaintField(P, pboxPal->size(), FMode, 0, FHue, FSat, FBri); };
    pboxPal->OnMouseDown = [this](QMouseEvent* E) {
        if (E->button() == Qt::LeftButton)
            PalMouseDown(E->position().toPoint());
    };
    pboxPal->OnHint = [this](QPoint At) {
        TCellHint Hint;
        int C = 0, R = 0;
        if (CellAt(pboxPal->size(), At, FMode, C, R)) {
            int32_t H = FHue, S = FSat, V = FBri;
            Hint.Text = CellHintText(FMode, C, R, 0, FHue, FSat, FBri);
            Hint.Color = CellColor(FMode, C, R, 0, H, S, V);
            Hint.Cell = CellRect(pboxPal->size(), FMode, C, R);
        }
        return Hint;
    };
    struct TModeButton {
        QRadioButton*& Button;
        const char* Name;
        const char* Caption;
        int Tag;
    };
    const TModeButton Buttons[] = {{rbtnRGB, "rbtnRGB", "一般", PltModePalette},
                                   {rbtnWeb, "rbtnWeb", "Web", PltModeWeb},
                                   {rbtnH, "rbtnH", "色相", PltModeHue},
                                   {rbtnS, "rbtnS", "彩度", PltModeSat},
                                   {rbtnV, "rbtnV", "明るさ", PltModeBri}};
    for (const TModeButton& B : Buttons) {
        B.Button = new QRadioButton(QString::fromUtf8(B.Caption), TabSheetPallete);
        B.Button->setObjectName(B.Name);
        B.Button->setProperty("Tag", B.Tag);
        const int Tag = B.Tag;
        connect(B.Button, &QRadioButton::toggled, this, [this, Tag](bool Checked) {
            if (Checked)
                ModeChosen(Tag);
        });
    }
    rbtnRGB->setChecked(true);
    cmbHSV = new TComboHSV([this](int Index) { return HSVItemColor(FMode, Index, FHue, FSat, FBri); },
                           TabSheetPallete);
    cmbHSV->setObjectName("cmbHSV");
    connect(cmbHSV, &QComboBox::currentIndexChanged, this, [this](int Index) { cmbHSVChange(Index); });

    // The pen page.
    TabSheetPen = new QWidget;
    TabSheetPen->setObjectName("TabSheetPen");
    PageControl->addTab(TabSheetPen, "線種");
    auto* Grid = new QGridLayout(TabSheetPen);
    Grid->setContentsMargins(4, 4, 4, 4);
    Grid->setSpacing(3);
    edtWidth = new TEditTrackBarWex(TabSheetPen);
    edtWidth->setObjectName("edtWidth");
    edtWidth->SetMin(1);
    edtWidth->SetMax(MaxPenWidth);
    edtWidth->SetPrecision(1);
    edtWidth->SetPosition(1);
    auto* WidthLabel = new QLabel("幅(&W)：", TabSheetPen);
    WidthLabel->setBuddy(edtWidth);
    Grid->addWidget(WidthLabel, 0, 0);
    Grid->addWidget(edtWidth, 0, 1);
    const auto MakeGroup = [this](const char* Name, const char* Caption, const char* const (&Items)[3],
                                  QButtonGroup*& Group, int Checked) {
        auto* Box = new QGroupBox(QString::fromUtf8(Caption), TabSheetPen);
        Box->setObjectName(Name);
        auto* Layout = new QVBoxLayout(Box);
        Layout->setContentsMargins(4, 2, 4, 2);
        Layout->setSpacing(0);
        Group = new QButtonGroup(Box);
        for (int I = 0; I < 3; ++I) {
            auto* Radio = new QRadioButton(QString::fromUtf8(Items[I]), Box);
            Group->addButton(Radio, I);
            Layout->addWidget(Radio);
        }
        Group->button(Checked)->setChecked(true);
        return Box;
    };
    const char* const JoinNames[] = {"面取り", "角", "丸"};
    const char* const CapNames[] = {"丸", "角", "平"};
    radiogrpNode = MakeGroup("radiogrpNode", "角形状(&R)", JoinNames, NodeButtons, 2);
    radiogrpCap = MakeGroup("radiogrpCap", "先端形状(&E)", CapNames, CapButtons, 0);
    auto* Groups = new QHBoxLayout;
    Groups->addWidget(radiogrpNode);
    Groups->addWidget(radiogrpCap);
    Grid->addLayout(Groups, 1, 0, 1, 3);
    edtMiterLen = new TEditTrackBarWex(TabSheetPen);
    edtMiterLen->setObjectName("edtMiterLen");
    edtMiterLen->SetMin(1);
    edtMiterLen->SetMax(MaxPenMiterLimit);
    edtMiterLen->SetPrecision(0.1);
    edtMiterLen->LineSize = 0.1;
    edtMiterLen->SetPosition(5);
    Grid->addWidget(new QLabel("マイター制限値：", TabSheetPen), 2, 0);
    Grid->addWidget(edtMiterLen, 2, 1);
    ImageDragCur = MakeDragCursorImage();
    pboxDrag = new TPickerBox(DragBoxSize, TabSheetPen);
    pboxDrag->setObjectName("pboxDrag");
    pboxDrag->setFixedSize(DragBoxSize);
    pboxDrag->setToolTip("ドラッグして線種を設定");
    pboxDrag->OnPaint = [this](QPainter& P) {
        DrawBevelFrame(P, TRect{0, 0, pboxDrag->width(), pboxDrag->height()}, true, 0xC0C0C0);
        P.drawImage(QPoint(2, 2), ImageDragCur);
    };
    pboxDrag->OnMouseDown = [this](QMouseEvent* E) {
        if (E->button() == Qt::LeftButton)
            DragDropPen(PenRecord());
    };
    Grid->addWidget(pboxDrag, 0, 2, 1, 1, Qt::AlignRight | Qt::AlignTop);
    Grid->setColumnStretch(1, 1);
    Grid->setRowStretch(3, 1);

    // Rolled up, the window keeps its tab row in view.
    OnRollUp = [this](QObject*, QRect& R) {
        const QTabBar* Bar = PageControl->tabBar();
        R.setHeight(R.height() + PageControl->y() + Bar->y() + Bar->height());
    };

    FillHSV();
    if (TRect Work; GetWorkAreaRect(Work))
        setGeometry(PltColorDefaultBounds(QRect(Work.Left, Work.Top, Work.Right - Work.Left, Work.Bottom - Work.Top)));
    PageControl->setGeometry(ClientArea()->rect());
    // The stored placement, when there is one, wins over the first bounds.
    RestorePos = new TRestorePosRollUp(this);
    RestorePos->setObjectName("RestorePos");
    RestorePos->SetIniFile(IniFile ? IniFile : &AppIniFile());
    RestorePos->SetRegistryKey("4.0");
    RestorePos->SetRegistryName("PosPltColor");
}

TfrmPltColor::~TfrmPltColor() = default;

void TfrmPltColor::SetMode(int Mode)
{
    for (QRadioButton* B : {rbtnRGB, rbtnWeb, rbtnH, rbtnS, rbtnV})
        if (B->property("Tag").toInt() == Mode)
            B->setChecked(true);
}

void TfrmPltColor::SetFixed(int32_t Hue, int32_t Sat, int32_t Bri)
{
    FHue = Hue;
    FSat = Sat;
    FBri = Bri;
    FillHSV();
    pboxPal->update();
}

TrecPenData TfrmPltColor::PenRecord() const
{
    TrecPenData Pen =
        PltPenRecord(edtWidth->text(), NodeButtons->checkedId(), CapButtons->checkedId(), edtMiterLen->text());
    // A typed number counts as the edit settles it, within its range, not
    // as typed: a width or limit past the range is one no pen button takes,
    // and one still short of the range is dragged as its least value.
    using TTyped = TCustomEditTrackBarWex::TTyped;
    if (const TTyped W = edtWidth->ReadTyped(edtWidth->text()); W.Kind != TTyped::None)
        Pen.Width = static_cast<int32_t>(std::lround(W.Value));
    if (const TTyped M = edtMiterLen->ReadTyped(edtMiterLen->text()); M.Kind != TTyped::None)
        Pen.MiterLimit = M.Value;
    return Pen;
}

void TfrmPltColor::ModeChosen(int Mode)
{
    if (Mode == FMode)
        return;
    FMode = Mode;
    FillHSV();
    pboxPal->update();
}

void TfrmPltColor::FillHSV()
{
    ++FUpdating;
    cmbHSV->clear();
    cmbHSV->addItems(HSVItems(FMode));
    const bool Fixed = FMode >= PltModeHue && FMode <= PltModeBri;
    cmbHSV->setEnabled(Fixed);
    QPalette Pal = cmbHSV->palette();
    const QColor Back = Fixed ? palette().color(QPalette::Base) : QColor(0x80, 0x80, 0x80);
    for (const QPalette::ColorGroup G : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        Pal.setColor(G, QPalette::Base, Back);
        Pal.setColor(G, QPalette::Button, Fixed ? palette().color(QPalette::Button) : Back);
    }
    cmbHSV->setPalette(Pal);
    cmbHSV->setCurrentIndex(HSVItemIndex(FMode, FHue, FSat, FBri));
    --FUpdating;
    cmbHSV->update();
}

void TfrmPltColor::cmbHSVChange(int Index)
{
    if (FUpdating != 0 || Index < 0)
        return;
    HSVItemValue(FMode, Index, FHue, FSat, FBri);
    cmbHSV->update();
    pboxPal->update();
}

void TfrmPltColor::PalMouseDown(QPoint At)
{
    int C = 0, R = 0;
    if (!CellAt(pboxPal->size(), At, FMode, C, R))
        return;
    int32_t H = FHue, S = FSat, V = FBri;
    const int32_t Color = CellColorHSB(FMode, C, R, 0, H, S, V);
    if (Color < 0)
        return;
    if (FMode >= PltModeHue && FMode <= PltModeBri) {
        FHue = H;
        FSat = S;
        FBri = V;
    }
    cmbHSV->update();
    DragDropColor(Color);
}

void TfrmPltColor::LayoutPalettePage()
{
    const int W = TabSheetPallete->width(), H = TabSheetPallete->height();
    const int FieldW = std::max(W - ModeColumn - 6, 8);
    const int FieldH = std::clamp(ClientArea()->height() - FieldBelow, 8, std::max(H - 4, 8));
    pboxPal->setGeometry(2, 2, FieldW, FieldH);
    const int X = 2 + FieldW + 4, ColW = std::max(W - X - 2, 8);
    int Y = 2;
    for (QRadioButton* B : {rbtnRGB, rbtnWeb, rbtnH, rbtnS, rbtnV}) {
        B->setGeometry(X, Y, ColW, 18);
        Y += 18;
    }
    cmbHSV->setGeometry(X, Y + 4, ColW, cmbHSV->sizeHint().height());
}

void TfrmPltColor::GetMinMaxInfo(TMinMaxInfo& Info)
{
    TfrmRollup::GetMinMaxInfo(Info);
    if (RolledUp())
        return;
    const QSize Frame = size() - ClientRect().size();
    Info.MinTrackSize = Info.MinTrackSize.expandedTo(MinClient + Frame);
}

void TfrmPltColor::closeEvent(QCloseEvent* Event)
{
    TfrmRollup::closeEvent(Event);
    if (Event->isAccepted() && FParentWindow)
        QCoreApplication::postEvent(FParentWindow, new TToolWindowClosedEvent(this));
}

void TfrmPltColor::resizeEvent(QResizeEvent* Event)
{
    TfrmRollup::resizeEvent(Event);
    // Rolled up, the client keeps its size and so do the pages.
    if (!RolledUp())
        PageControl->setGeometry(ClientArea()->rect());
    LayoutPalettePage();
}

bool TfrmPltColor::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == PageControl->tabBar() && Event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(Event)->button() == Qt::LeftButton && RolledUp())
        SetRolledUp(false);
    else if (Watched == TabSheetPallete && Event->type() == QEvent::Resize)
        LayoutPalettePage();
    return TfrmRollup::eventFilter(Watched, Event);
}
