#include "editors/frm_sel_trans.h"

#include "editors/frm_sel_color.h"
#include "foundation/numbers.h"
#include "foundation/text_fields.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/ui_routines.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

TfrmSelTrans::TfrmSelTrans(QWidget* Owner) : QDialog(Owner)
{
    setWindowTitle(QStringLiteral("不透明度の設定"));
    auto* Main = new QHBoxLayout(this);
    pboxVBar = new TPickerBox(QSize(40, 200), this);
    Main->addWidget(pboxVBar);
    auto* Side = new QVBoxLayout;
    Main->addLayout(Side);
    pboxColor = new TPickerBox(QSize(72, 64), this);
    Side->addWidget(pboxColor);
    auto* Row = new QHBoxLayout;
    Row->addWidget(new QLabel(QStringLiteral("不透明度："), this));
    edtTrans = new TEditTrackBarWex(this);
    edtTrans->SetMin(0);
    edtTrans->SetMax(100);
    edtTrans->SetTrackBarMax(255);
    edtTrans->setFixedWidth(70);
    Row->addWidget(edtTrans);
    Row->addWidget(new QLabel(QStringLiteral("%"), this));
    Side->addLayout(Row);
    btnApply = new QPushButton(QStringLiteral("テスト"), this);
    cboxPreview = new QCheckBox(QStringLiteral("即テスト"), this);
    btnOK = new QPushButton(QStringLiteral("OK"), this);
    btnCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    btnOK->setDefault(true);
    for (QWidget* W : {static_cast<QWidget*>(btnApply), static_cast<QWidget*>(cboxPreview),
                       static_cast<QWidget*>(btnOK), static_cast<QWidget*>(btnCancel)})
        Side->addWidget(W);
    Side->addStretch();
    btnApply->hide();
    cboxPreview->hide();

    QObject::connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    QObject::connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    QObject::connect(btnApply, &QPushButton::clicked, this, [this] {
        if (FApply)
            FApply(TransByteOfPercent(FPercent), FContext);
    });
    QObject::connect(cboxPreview, &QCheckBox::toggled, this, [this](bool On) {
        btnApply->setEnabled(!On);
        if (On && FPreview)
            FPreview(TransByteOfPercent(FPercent), FContext);
    });
    edtTrans->OnChange = [this](QObject*) { edtFactorChange(); };

    pboxVBar->OnPaint = [this](QPainter& P) { PaintBar(P); };
    pboxVBar->OnMouseDown = [this](QMouseEvent* E) {
        FDrag = true;
        BarMouse(int(E->position().y()));
    };
    pboxVBar->OnMouseMove = [this](QMouseEvent* E) {
        if (FDrag)
            BarMouse(int(E->position().y()));
    };
    pboxVBar->OnMouseUp = [this](QMouseEvent*) { FDrag = false; };
    pboxColor->OnPaint = [this](QPainter& P) { PaintSwatch(P); };
    pboxColor->OnMouseDown = [this](QMouseEvent* E) {
        if (E->position().y() >= pboxColor->height() / 2)
            SetPercent(FStartPercent);
    };
    SetStartPercent(100);
    // The picker is narrow; its caption would be cut in the title bar.
    KeepCaptionWhole(this);
}

TfrmSelTrans::~TfrmSelTrans() = default;

void TfrmSelTrans::SetCallerValues(intptr_t Context, TColorProc Apply, TColorProc Preview)
{
    FContext = Context;
    FApply = std::move(Apply);
    FPreview = std::move(Preview);
    btnApply->setVisible(bool(FApply));
    cboxPreview->setVisible(bool(FPreview));
}

void TfrmSelTrans::SetStartPercent(int Percent)
{
    FStartPercent = FPercent = std::clamp(Percent, 0, 100);
    ++FUpdating;
    edtTrans->SetPosition(FPercent);
    --FUpdating;
    pboxVBar->update();
    pboxColor->update();
}

void TfrmSelTrans::SetPercent(int Percent)
{
    ++FUpdating;
    FPercent = std::clamp(Percent, 0, 100);
    edtTrans->SetPosition(FPercent);
    --FUpdating;
    pboxVBar->update();
    pboxColor->update();
    if (cboxPreview->isChecked() && FPreview)
        FPreview(TransByteOfPercent(FPercent), FContext);
}

void TfrmSelTrans::edtFactorChange()
{
    const std::string Text = edtTrans->text().trimmed().toStdString();
    if (FUpdating != 0 || Text.empty())
        return;
    int32_t V = 0;
    if (!TryStrToInt(Text, V))
        return;
    V = std::clamp(V, 0, 100);
    if (V != FPercent)
        SetPercent(V);
}

void TfrmSelTrans::BarMouse(int Y)
{
    const int P = TransBarPercentAt(Y, pboxVBar->height());
    if (P != FPercent)
        SetPercent(P);
}

void TfrmSelTrans::PaintBar(QPainter& P)
{
    const int W = pboxVBar->width(), H = pboxVBar->height();
    const int Rows = H - 4;
    QImage Image(std::max(W - 20, 1), Rows, QImage::Format_RGB32);
    for (int Y = 0; Y < Rows; ++Y) {
        const int G = TransBarGrey(Rows - 1 - Y, Rows);
        auto* Line = reinterpret_cast<QRgb*>(Image.scanLine(Y));
        std::fill(Line, Line + Image.width(), qRgb(G, G, G));
    }
    P.drawImage(QRect(8, 2, W - 16, Rows), Image);
    DrawSunkenEdge(P, QRect(6, 0, W - 12, H));
    const int Y = TransBarMarkerY(FPercent, H) + 2;
    P.setPen(Qt::NoPen);
    P.setBrush(Qt::black);
    const QPoint Left[3] = {{0, Y - 4}, {5, Y}, {0, Y + 4}};
    const QPoint Right[3] = {{W - 1, Y - 4}, {W - 6, Y}, {W - 1, Y + 4}};
    P.drawPolygon(Left, 3);
    P.drawPolygon(Right, 3);
}

void TfrmSelTrans::PaintSwatch(QPainter& P)
{
    const QSize Size = pboxColor->size();
    const int Half = Size.height() / 2;
    const int New = TransByteOfPercent(FPercent), Old = TransByteOfPercent(FStartPercent);
    P.fillRect(QRect(0, 0, Size.width(), Half), QColor(New, New, New));
    P.fillRect(QRect(0, Half, Size.width(), Size.height() - Half), QColor(Old, Old, Old));
    P.setPen(New >= 192 ? Qt::black : Qt::white);
    P.drawText(QRect(3, 1, Size.width() - 3, Half), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("新"));
    P.setPen(Old >= 192 ? Qt::black : Qt::white);
    P.drawText(QRect(3, Half + 1, Size.width() - 3, Half), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("旧"));
    DrawSunkenEdge(P, QRect(QPoint(0, 0), Size));
}
