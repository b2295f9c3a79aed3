#include "editors/frm_sel_font_name.h"

#include "foundation/list_utils.h"
#include "foundation/platform_wrappers.h"
#include "ui/edit_track_bar_wex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace {

// A vertical-writing face is listed with "@" before its family's name.
QString FamilyOf(const QString& Face) { return Face.startsWith('@') ? Face.mid(1) : Face; }

class TFaceDelegate : public QStyledItemDelegate {
public:
    explicit TFaceDelegate(TfrmSelFontName* Form) : QStyledItemDelegate(Form), FForm(Form) {}

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        const int Columns = FForm->Columns();
        const int Width = Columns > 0 ? std::max(1, FForm->ListBox->viewport()->width() / Columns)
                                      : FForm->ListBox->viewport()->width();
        return {Width, FForm->ItemSize() + 2};
    }

    void paint(QPainter* P, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        const bool Selected = Option.state & QStyle::State_Selected;
        const QPalette& Pal = Option.palette;
        P->save();
        P->fillRect(Option.rect, Selected ? Pal.highlight() : Pal.base());
        P->setPen(Selected ? Pal.highlightedText().color() : Pal.text().color());
        QRect R = Option.rect.adjusted(1, 1, -1, -1);
        const QString Name = Index.data().toString();
        const int Size = FForm->ItemSize();
        QFont Face(FamilyOf(Name));
        Face.setPixelSize(Size);
        if (!FForm->SampleText.empty()) {
            QFont Label = FForm->font();
            const int LabelHeight = QFontMetrics(Label).height();
            Label.setPixelSize(std::max(1, std::min(LabelHeight, Size)));
            P->setFont(Label);
            const QString Head = Name + ":";
            P->drawText(R, Qt::AlignLeft | Qt::AlignVCenter, Head);
            R.setLeft(R.left() + QFontMetrics(Label).horizontalAdvance(Head));
            P->setFont(Face);
            P->drawText(R, Qt::AlignLeft | Qt::AlignVCenter, QString::fromStdString(FForm->SampleText));
        } else {
            P->setFont(Face);
            P->drawText(R, Qt::AlignLeft | Qt::AlignVCenter, Name);
        }
        P->restore();
    }

private:
    TfrmSelFontName* FForm;
};

} // namespace

TfrmSelFontName::TfrmSelFontName(QWidget* Owner) : QDialog(Owner)
{
    setObjectName("frmSelFontName");
    setWindowTitle("フォント名の選択");
    setMinimumWidth(MinWidth);
    auto* Main = new QVBoxLayout(this);

    auto* Top = new QHBoxLayout;
    cboxAnsi = new QCheckBox("英数字", this);
    cboxETC = new QCheckBox("漢字", this);
    cboxVert = new QCheckBox("縦書き", this);
    cboxSymbol = new QCheckBox("記号(その他)", this);
    for (QCheckBox* Box : {cboxAnsi, cboxETC, cboxVert, cboxSymbol}) {
        Top->addWidget(Box);
        connect(Box, &QCheckBox::clicked, this, [this] { KindClicked(); });
    }
    Top->addStretch();
    Main->addLayout(Top);
    // Size and columns on a row of their own, so that the kinds keep their
    // whole captions at the narrowest width.
    auto* Options = new QHBoxLayout;
    auto* SizeLabel = new QLabel("サイズ(&S)：", this);
    edtSize = new TEditTrackBarWex(this);
    edtSize->setObjectName("edtSize");
    edtSize->SetMin(1);
    edtSize->SetMax(999);
    edtSize->SetPrecision(1);
    edtSize->SetButtons(etbkbUpDown);
    edtSize->setFixedWidth(64);
    SizeLabel->setBuddy(edtSize);
    Options->addWidget(SizeLabel);
    Options->addWidget(edtSize);
    cmbColumns = new QComboBox(this);
    for (int I = 0; I <= 10; ++I)
        cmbColumns->addItem(QString::number(I));
    Options->addSpacing(12);
    Options->addWidget(new QLabel("列：", this));
    Options->addWidget(cmbColumns);
    Options->addStretch();
    Main->addLayout(Options);

    ListBox = new QListWidget(this);
    ListBox->setObjectName("ListBox");
    ListBox->setItemDelegate(new TFaceDelegate(this));
    ListBox->setUniformItemSizes(true);
    Main->addWidget(ListBox, 1);

    auto* Buttons = new QHBoxLayout;
    StatusBar = new QStatusBar(this);
    StatusBar->setSizeGripEnabled(false);
    btnOK = new QPushButton("OK", this);
    btnCancel = new QPushButton("キャンセル", this);
    btnOK->setDefault(true);
    Buttons->addWidget(StatusBar, 1);
    Buttons->addWidget(btnOK);
    Buttons->addWidget(btnCancel);
    Main->addLayout(Buttons);

    edtSize->OnChange = [this](QObject*) { SizeChanged(); };
    connect(cmbColumns, &QComboBox::currentIndexChanged, this, [this] { UpdateLayout(); });
    connect(ListBox, &QListWidget::itemClicked, this, [this] { ItemClicked(); });
    connect(ListBox, &QListWidget::itemDoubleClicked, this, [this] {
        ItemClicked();
        btnOK->click();
    });
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    ++FiUpdating;
    edtSize->SetPosition(FSize);
    --FiUpdating;
    resize(MinWidth, 400);
}

TfrmSelFontName::~TfrmSelFontName() { FreeFaces(); }

void TfrmSelFontName::FreeFaces() { FreeStringsPointers(&FFaces); }

void TfrmSelFontName::SetFontName(const std::string& Value)
{
    FFontName = Value;
    const int32_t Index = FFaces.IndexOf(Value);
    if (Index >= 0)
        ListBox->setCurrentRow(Index);
    StatusBar->showMessage(QString::fromStdString(Value));
}

void TfrmSelFontName::SetItemSize(int Value)
{
    FSize = Value < 1 ? 16 : std::min(Value, 999);
    if (static_cast<int>(std::lround(edtSize->Position())) != FSize) {
        ++FiUpdating;
        edtSize->SetPosition(FSize);
        --FiUpdating;
    }
    UpdateLayout();
}

int TfrmSelFontName::Columns() const { return std::max(0, cmbColumns->currentIndex()); }

void TfrmSelFontName::SetColumns(int Value) { cmbColumns->setCurrentIndex(std::clamp(Value, 0, 10)); }

void TfrmSelFontName::FillList()
{
    ++FiUpdating;
    FreeFaces();
    ListBox->clear();
    GetFontNames(&FFaces, cboxAnsi->isChecked(), cboxSymbol->isChecked(), cboxETC->isChecked(),
                 cboxVert->isChecked(), true);
    for (int32_t I = 0; I < FFaces.Count(); ++I)
        ListBox->addItem(QString::fromStdString(FFaces.Strings(I)));
    const int32_t Index = FFaces.IndexOf(FFontName);
    if (Index >= 0)
        ListBox->setCurrentRow(Index);
    else if (FFaces.Count() > 0)
        ListBox->setCurrentRow(0);
    --FiUpdating;
}

void TfrmSelFontName::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    FillList();
    UpdateLayout();
    StatusBar->showMessage(QString::fromStdString(FFontName));
}

void TfrmSelFontName::resizeEvent(QResizeEvent* Event)
{
    QDialog::resizeEvent(Event);
    UpdateLayout();
}

void TfrmSelFontName::done(int Result)
{
    // Closing stands on the selected item, so an empty list leaves no face.
    QListWidgetItem* Item = ListBox->currentItem();
    FFontName = Item ? Item->text().toStdString() : std::string();
    QDialog::done(Result);
}

void TfrmSelFontName::KindClicked()
{
    if (isVisible())
        FillList();
}

void TfrmSelFontName::SizeChanged()
{
    if (FiUpdating != 0 || edtSize->text().trimmed().isEmpty())
        return;
    const int Value = static_cast<int>(std::lround(edtSize->Position()));
    if (Value >= 1 && Value != FSize)
        SetItemSize(Value);
}

void TfrmSelFontName::ItemClicked()
{
    QListWidgetItem* Item = ListBox->currentItem();
    if (!Item)
        return;
    FFontName = Item->text().toStdString();
    StatusBar->showMessage(Item->text());
}

void TfrmSelFontName::UpdateLayout()
{
    // Several columns flow top to bottom and wrap, as a multi-column list
    // box does; the items' width follows the list's.
    ListBox->setFlow(QListView::TopToBottom);
    ListBox->setWrapping(Columns() > 0);
    ListBox->setResizeMode(QListView::Adjust);
    ListBox->doItemsLayout();
    ListBox->viewport()->update();
}
