#include "editors/frm_sel_macro.h"

#include "ui/frm_rollup.h"

#include <QCursor>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr TMacroKindCell H(const char* Text) { return {Text, -1, true}; }
constexpr TMacroKindCell K(const char* Text, int Image) { return {Text, Image, false}; }
constexpr TMacroKindCell E{"", -1, false};

// Rows of columns; every name is a macro of the catalogue (a test checks it).
const TMacroKindCell Cells[MacroKindRows][MacroKindCols] = {
    {H("塗り"), H("陰影"), H("特殊陰影")},
    {K("塗り(ボカシ)", 0), K("エンボス（照明）", 10), K("金属光沢", 18)},
    {K("塗り（影）", 1), K("エンボス（陰影）", 11), K("プラスチック", 19)},
    {K("切抜き", 2), K("エンボス（光沢付け）", 12), K("テクスチャ（陰影）", 20)},
    {K("グラデーションライン", 3), K("エンボス外（陰影）", 13), H("色調補正")},
    {H("特殊描画"), K("エンボス外（光沢付け）", 14), K("明るさ・コントラスト", 21)},
    {K("かすれ", 4), K("ベベル（照明）", 15), K("レベル調整", 22)},
    {K("かすれ(照明)", 5), K("ベベル（陰影）", 16), K("色相・明度・彩度調整", 23)},
    {K("スタンプ", 6), K("ベベル（光沢付け）", 27), K("色相・輝度・彩度調整", 24)},
    {K("石ころ", 7), K("ベベル外（陰影）", 17), K("YCbCr調整", 25)},
    {H("特殊効果"), K("ベベル外（光沢付け）", 28), E},
    {K("クリスタル", 8), E, E},
    {K("ぼかし", 9), E, E},
};

QColor Bgr(uint32_t C) { return QColor(C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF); }

} // namespace

const TMacroKindCell& MacroKindCell(int Col, int Row)
{
    static const TMacroKindCell Outside = E;
    if (Col < 0 || Col >= MacroKindCols || Row < 0 || Row >= MacroKindRows)
        return Outside;
    return Cells[Row][Col];
}

bool MacroKindSelectable(int Col, int Row)
{
    const TMacroKindCell& Cell = MacroKindCell(Col, Row);
    return !Cell.Header && Cell.ImageIndex >= 0;
}

QPixmap MacroKindImage(int ImageIndex)
{
    // One hue per kind on a shaded tile with the kind's number: enough to
    // tell the kinds apart at a glance and to find one again.
    QPixmap Pixmap(20, 20);
    Pixmap.fill(Qt::transparent);
    QPainter P(&Pixmap);
    P.setRenderHint(QPainter::Antialiasing);
    const QColor Base = QColor::fromHsv((ImageIndex * 37) % 360, 150, 220);
    QLinearGradient Shade(0, 0, 20, 20);
    Shade.setColorAt(0, Base.lighter(140));
    Shade.setColorAt(1, Base.darker(150));
    P.setPen(QColor(0x40, 0x40, 0x40));
    P.setBrush(Shade);
    P.drawRoundedRect(QRectF(0.5, 0.5, 19, 19), 3, 3);
    QFont F = P.font();
    F.setPixelSize(13);
    F.setBold(true);
    P.setFont(F);
    P.setPen(Qt::white);
    P.drawText(QRect(0, 0, 20, 20), Qt::AlignCenter, QString::number(ImageIndex));
    return Pixmap;
}

TMacroKindGrid::TMacroKindGrid(QWidget* Parent) : QWidget(Parent)
{
    setObjectName("grid");
    setFocusPolicy(Qt::StrongFocus);
    setFixedSize(sizeHint());
}

QSize TMacroKindGrid::sizeHint() const { return {ColWidth * MacroKindCols, RowHeight * MacroKindRows}; }

bool TMacroKindGrid::SelectCell(int Col, int Row)
{
    if (!MacroKindSelectable(Col, Row))
        return false;
    FCol = Col;
    FRow = Row;
    update();
    return true;
}

bool TMacroKindGrid::CellAt(const QPoint& P, int& Col, int& Row) const
{
    if (P.x() < 0 || P.y() < 0)
        return false;
    Col = P.x() / ColWidth;
    Row = P.y() / RowHeight;
    return Col < MacroKindCols && Row < MacroKindRows;
}

void TMacroKindGrid::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    QFont Normal = font();
    QFont Bold = Normal;
    Bold.setBold(true);
    for (int Row = 0; Row < MacroKindRows; ++Row)
        for (int Col = 0; Col < MacroKindCols; ++Col) {
            const QRect R(Col * ColWidth, Row * RowHeight, ColWidth, RowHeight);
            const TMacroKindCell& Cell = MacroKindCell(Col, Row);
            const bool Selected = Col == FCol && Row == FRow;
            P.fillRect(R, Bgr(Selected ? 0x800000 : Cell.Header ? 0x338080 : 0x66CCCC));
            if (Cell.ImageIndex >= 0)
                P.drawPixmap(R.left() + 1, R.top() + 1, MacroKindImage(Cell.ImageIndex));
            P.setFont(Cell.Header ? Bold : Normal);
            P.setPen(Selected ? Qt::white : Qt::black);
            P.drawText(QRect(R.left() + 23, R.top() + 4, R.width() - 24, R.height() - 4),
                       Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(Cell.Text));
            P.setPen(Bgr(0x404040));
            P.drawLine(R.left(), R.bottom(), R.right(), R.bottom());
            P.drawLine(R.right(), R.top(), R.right(), R.bottom());
        }
}

void TMacroKindGrid::mousePressEvent(QMouseEvent* Event)
{
    int Col = 0;
    int Row = 0;
    if (Event->button() == Qt::LeftButton && CellAt(Event->position().toPoint(), Col, Row))
        SelectCell(Col, Row);
}

void TMacroKindGrid::mouseDoubleClickEvent(QMouseEvent* Event)
{
    int Col = 0;
    int Row = 0;
    if (Event->button() == Qt::LeftButton && CellAt(Event->position().toPoint(), Col, Row) &&
        MacroKindSelectable(Col, Row)) {
        SelectCell(Col, Row);
        emit CellDoubleClicked();
    }
}

void TMacroKindGrid::keyPressEvent(QKeyEvent* Event)
{
    int DCol = 0;
    int DRow = 0;
    switch (Event->key()) {
    case Qt::Key_Left: DCol = -1; break;
    case Qt::Key_Right: DCol = 1; break;
    case Qt::Key_Up: DRow = -1; break;
    case Qt::Key_Down: DRow = 1; break;
    default: QWidget::keyPressEvent(Event); return;
    }
    // Steps over headers and empty cells to the next cell that can be chosen.
    for (int Col = FCol + DCol, Row = FRow + DRow;
         Col >= 0 && Col < MacroKindCols && Row >= 0 && Row < MacroKindRows; Col += DCol, Row += DRow)
        if (SelectCell(Col, Row))
            break;
}

TfrmSelMacro::TfrmSelMacro(QWidget* Owner) : QDialog(Owner)
{
    setObjectName("frmSelMacro");
    setWindowTitle("マクロ選択");
    auto* Main = new QVBoxLayout(this);
    Main->addWidget(new QLabel("マクロを選択してください。", this));
    grid = new TMacroKindGrid(this);
    Main->addWidget(grid);
    auto* Buttons = new QHBoxLayout;
    btnOK = new QPushButton("OK", this);
    btnCancel = new QPushButton("キャンセル", this);
    btnOK->setDefault(true);
    Buttons->addStretch();
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);
    Main->addLayout(Buttons);
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(grid, &TMacroKindGrid::CellDoubleClicked, btnOK, &QPushButton::click);
    grid->SelectCell(0, 1);
    grid->setFocus();
    adjustSize();
    const QPoint Cursor = QCursor::pos();
    SetPosInWorkArea(this, Cursor.x(), Cursor.y());
}

std::string TfrmSelMacro::SelText() const { return MacroKindCell(grid->Col(), grid->Row()).Text; }
