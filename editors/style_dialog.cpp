// The style chooser: the group tree, the preview grid with its deferred
// second drawing pass, the group and item commands and the remembered layout.
#include "editors/style_dialog.h"

#include "ui/frm_rollup.h"
#include "ui/ui_routines.h"
#include "foundation/ini_file.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "platform/qt/window_routines.h"
#include "platform/qt/qt_services.h"
#include "platform/registry_store.h"
#include "ui/work_area.h"

#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QLabel>
#include <QLineEdit>
#include <QFileDialog>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <sstream>

namespace {

constexpr int ModeAdd = 0;
constexpr int ModeSelect = 1;

int ClampCell(int V) { return std::clamp(V, 16, 255); }

// Group names are kept as CP932 in the library file: the tree's in-place
// name editor leaves out what CP932 cannot hold, as the name boxes do.
class TCp932NameDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                          const QModelIndex& Index) const override
    {
        QWidget* Editor = QStyledItemDelegate::createEditor(Parent, Option, Index);
        if (auto* Line = qobject_cast<QLineEdit*>(Editor))
            KeepToCp932(*Line);
        return Editor;
    }
};

} // namespace

// Style and group names are kept as CP932 in the library file: the boxes
// leave out what CP932 cannot hold, and so does every place a name enters
// the tree, for an answer given past the box.
std::function<bool(const std::string&, const std::string&, std::string&)> TStyle::InputQuery = InputCp932QueryBox;

std::function<bool(const std::string&)> TStyle::ConfirmDelete = [](const std::string& Text) {
    QApplication::beep();
    return MessageBox(nullptr, Text, "警告", MB_YESNO | MB_ICONWARNING) == IDYES;
};

std::function<void(TfrmStyle&)> TStyle::OnShowModal;

TStyle::TStyle(QObject* Owner) : QObject(Owner) {}
TStyle::~TStyle() = default;

bool TStyle::Add(std::unique_ptr<TObject>& Data) { return Execute(ModeAdd, &Data, nullptr); }

bool TStyle::Select(const std::function<void(const TObject&)>& Assign)
{
    return Execute(ModeSelect, nullptr, &Assign);
}

bool TStyle::Execute(int Mode, std::unique_ptr<TObject>* AddData, const std::function<void(const TObject&)>* Assign)
{
    std::string Name;
    if (Mode == ModeAdd && !InputQuery("スタイルの追加", "スタイル名:", Name))
        return false;
    Name = KeepCp932Characters(Name);
    auto* OwnerWidget = qobject_cast<QWidget*>(parent());
    TfrmStyle Form(*this, Mode, OwnerWidget);
    Library.LoadLibrary(Form.Tree);
    if (Form.Tree.Empty())
        Form.Tree.AddGroup(nullptr, "新規");
    Form.FillTree();
    Form.sbtnSetting->setVisible(EnableSetting);
    // The owner's help topic stands for the chooser as a whole.
    if (HelpContext != 0)
        Form.setProperty("HelpContext", HelpContext);

    int Result;
    if (OnShowModal) {
        Form.show();
        OnShowModal(Form);
        Result = Form.result();
        Form.hide();
    } else {
        Result = Form.exec();
    }
    if (Result != QDialog::Accepted)
        return false;
    if (Mode == ModeAdd) {
        TStyleGroup* Group = Form.SelectedGroup();
        if (!Group)
            return false;
        Group->Items.push_back({Name, std::move(*AddData)});
        Form.Modified = true;
    } else if (TStyleEntry* Item = Form.CurrentItem(); Item && Item->Data) {
        (*Assign)(*Item->Data);
    }
    if (Form.Modified)
        Library.SaveToFile(Form.Tree);
    return true;
}

// ------------------------------------------------------------------ grid

TStyleGrid::TStyleGrid(TfrmStyle& Form) : QWidget(&Form), FForm(Form), FScroll(new QScrollBar(Qt::Vertical, this))
{
    setFocusPolicy(Qt::StrongFocus);
    connect(FScroll, &QScrollBar::valueChanged, this, [this] { update(); });
}

int TStyleGrid::ColCount() const
{
    return std::max(1, (width() - FScroll->sizeHint().width()) / FForm.CellWidth);
}

int TStyleGrid::RowCount() const
{
    const TStyleGroup* G = FForm.SelectedGroup();
    const int N = G ? static_cast<int>(G->Items.size()) : 0;
    return std::max(1, (N + ColCount() - 1) / ColCount());
}

int TStyleGrid::TopRow() const { return FScroll->value(); }

QRect TStyleGrid::CellRect(int Index) const
{
    const int C = Index % ColCount(), R = Index / ColCount() - TopRow();
    return {C * FForm.CellWidth, R * FForm.CellHeight, FForm.CellWidth, FForm.CellHeight};
}

void TStyleGrid::SetCurrentIndex(int Index)
{
    Index = std::max(0, Index);
    Col = Index % ColCount();
    Row = Index / ColCount();
    if (Row >= RowCount())
        Row = 0;
    update();
    FForm.UpdateButtons();
}

void TStyleGrid::resizeEvent(QResizeEvent*) { Relayout(); }

void TStyleGrid::Relayout()
{
    const int W = FScroll->sizeHint().width();
    FScroll->setGeometry(width() - W, 0, W, height());
    const int Visible = std::max(1, height() / FForm.CellHeight);
    FScroll->setRange(0, std::max(0, RowCount() - Visible));
    FScroll->setPageStep(Visible);
}

void TStyleGrid::paintEvent(QPaintEvent*)
{
    QPainter P(this);
    const QColor GridColour = isEnabled() ? (FForm.Owner().OnDrawCell ? QColor(0x80, 0x80, 0x80)
                                                                       : palette().color(QPalette::Base))
                                          : palette().color(QPalette::Disabled, QPalette::Window);
    P.fillRect(rect(), GridColour);
    const TStyleGroup* G = FForm.SelectedGroup();
    if (!G)
        return;
    const int Count = static_cast<int>(G->Items.size());
    const int First = TopRow() * ColCount();
    const int Last = std::min(Count, First + (height() / FForm.CellHeight + 1) * ColCount());
    for (int I = First; I < Last; ++I) {
        const QRect R = CellRect(I);
        const bool Selected = I == FForm.DrawGrid->CurrentIndex();
        const TStyleEntry& E = G->Items[I];
        if (const QImage* Late = FForm.LateImage(I)) {
            P.drawImage(R.topLeft(), *Late);
        } else {
            if (FForm.Owner().LateDrawing && I < static_cast<int>(FForm.FPending.size()))
                FForm.FPending[I] = 1;
            P.save();
            P.setClipRect(R);
            if (FForm.Owner().OnDrawCell) {
                FForm.Owner().OnDrawCell(P, E.Title, E.Data.get(), R, Selected);
            } else {
                QColor Back = palette().color(QPalette::Base), Text = palette().color(QPalette::Text);
                if (!isEnabled()) {
                    Back = palette().color(QPalette::Disabled, QPalette::Window);
                    Text = palette().color(QPalette::Disabled, QPalette::WindowText);
                } else if (Selected && hasFocus()) {
                    Back = palette().color(QPalette::Highlight);
                    Text = palette().color(QPalette::HighlightedText);
                } else if (Selected) {
                    Back = QColor(0xC0, 0xC0, 0xC0);
                    Text = Qt::black;
                }
                P.fillRect(R, Back);
                P.setPen(Text);
                P.drawText(R, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromStdString(E.Title));
            }
            P.restore();
        }
        if (Selected) {
            P.setPen(QPen(palette().color(QPalette::Highlight), 2));
            P.drawRect(R.adjusted(1, 1, -1, -1));
        }
    }
    if (FForm.Owner().LateDrawing)
        FForm.QueueIdle();
}

void TStyleGrid::mousePressEvent(QMouseEvent* E)
{
    const int C = E->position().toPoint().x() / FForm.CellWidth;
    const int R = E->position().toPoint().y() / FForm.CellHeight + TopRow();
    if (C < ColCount()) {
        Col = C;
        Row = R;
        update();
    }
    FForm.UpdateButtons();
}

void TStyleGrid::mouseDoubleClickEvent(QMouseEvent* E)
{
    mousePressEvent(E);
    if (FForm.CurrentItem())
        FForm.accept();
}

void TStyleGrid::keyPressEvent(QKeyEvent* E)
{
    FForm.FLastKey = E->key();
    const int Count = FForm.SelectedGroup() ? static_cast<int>(FForm.SelectedGroup()->Items.size()) : 0;
    int Index = CurrentIndex();
    switch (E->key()) {
    case Qt::Key_Left: --Index; break;
    case Qt::Key_Right: ++Index; break;
    case Qt::Key_Up: Index -= ColCount(); break;
    case Qt::Key_Down: Index += ColCount(); break;
    default: QWidget::keyPressEvent(E); return;
    }
    if (Index >= 0 && Index < std::max(1, Count))
        SetCurrentIndex(Index);
}

void TStyleGrid::keyReleaseEvent(QKeyEvent* E)
{
    if (E->isAutoRepeat() || E->key() != FForm.FLastKey) {
        QWidget::keyReleaseEvent(E);
        return;
    }
    FForm.FLastKey = 0;
    if (E->key() == Qt::Key_Delete && FForm.sbtnDel->isEnabled())
        FForm.DeleteSelected(true);
}

void TStyleGrid::wheelEvent(QWheelEvent* E) { FScroll->setValue(FScroll->value() - E->angleDelta().y() / 120); }

void TStyleGrid::focusInEvent(QFocusEvent*)
{
    FForm.UpdateButtons();
    update();
}

// ------------------------------------------------------------------ form

TfrmStyle::TfrmStyle(TStyle& Owner, int Mode, QWidget* Parent) : QDialog(Parent), FOwner(Owner), FMode(Mode)
{
    setObjectName("frmStyle");
    resize(520, 380);
    auto* Main = new QVBoxLayout(this);
    pnlTop = new QFrame(this);
    auto* Top = new QHBoxLayout(pnlTop);
    Top->setContentsMargins(0, 0, 0, 0);
    auto Button = [&](const char* Name, const char* Hint, QStyle::StandardPixmap Icon, const char* Text) {
        auto* B = new QToolButton(pnlTop);
        B->setObjectName(Name);
        B->setToolTip(QString::fromUtf8(Hint));
        if (Icon != QStyle::SP_CustomBase)
            B->setIcon(style()->standardIcon(Icon));
        else
            B->setText(QString::fromUtf8(Text));
        Top->addWidget(B);
        return B;
    };
    sbtnAdd = Button("sbtnAdd", "追加(Ins)", QStyle::SP_FileDialogNewFolder, "");
    sbtnDel = Button("sbtnDel", "削除(Del)", QStyle::SP_TrashIcon, "");
    sbtnRename = Button("sbtnRename", "名前の変更", QStyle::SP_CustomBase, "名前");
    sbtnAppendFromFile = Button("sbtnAppendFromFile", "スタイルの追加", QStyle::SP_DialogOpenButton, "");
    sbtnSetting = Button("sbtnSetting", "設定", QStyle::SP_CustomBase, "設定");
    Top->addStretch();
    Main->addWidget(pnlTop);

    auto* Split = new QSplitter(this);
    tvGroup = new QTreeWidget(Split);
    tvGroup->setObjectName("tvGroup");
    tvGroup->setHeaderHidden(true);
    tvGroup->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tvGroup->setItemDelegate(new TCp932NameDelegate(tvGroup));
    DrawGrid = new TStyleGrid(*this);
    DrawGrid->setObjectName("DrawGrid");
    Split->addWidget(tvGroup);
    Split->addWidget(DrawGrid);
    Split->setStretchFactor(1, 3);
    Split->setSizes({150, 370});
    Main->addWidget(Split, 1);

    auto* Bottom = new QHBoxLayout;
    Bottom->addStretch();
    btnOK = new QPushButton("OK", this);
    btnCancel = new QPushButton("キャンセル", this);
    btnOK->setDefault(true);
    Bottom->addWidget(btnOK);
    Bottom->addWidget(btnCancel);
    Main->addLayout(Bottom);

    if (Mode == ModeAdd) {
        setWindowTitle("スタイルを追加するグループの選択");
        DrawGrid->setEnabled(false);
    } else {
        setWindowTitle("スタイルの選択");
    }

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(sbtnAdd, &QToolButton::clicked, this, [this] { AddGroup(); });
    connect(sbtnDel, &QToolButton::clicked, this, [this] { DeleteSelected(DrawGrid->hasFocus()); });
    connect(sbtnRename, &QToolButton::clicked, this, [this] { RenameSelected(DrawGrid->hasFocus()); });
    connect(sbtnAppendFromFile, &QToolButton::clicked, this, [this] {
        const QString Folder = QString::fromStdString(FOwner.Library.FileName).section('/', 0, -2);
        const QString Path = QFileDialog::getOpenFileName(this, "スタイルの追加", Folder, "スタイルファイル(*.stl)");
        if (!Path.isEmpty())
            AppendFromFile(Path.toStdString());
    });
    connect(sbtnSetting, &QToolButton::clicked, this, [this] { RunSettings(); });
    connect(tvGroup, &QTreeWidget::currentItemChanged, this, [this] { ShowGroup(); });
    connect(tvGroup, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* Item) {
        auto* G = static_cast<TStyleGroup*>(Item->data(0, Qt::UserRole).value<void*>());
        const std::string Name = KeepCp932Characters(Item->text(0).toStdString());
        if (Name != Item->text(0).toStdString()) {
            const QSignalBlocker Block(tvGroup);
            Item->setText(0, QString::fromStdString(Name));
        }
        if (G && G->Name != Name) {
            G->Name = Name;
            Modified = true;
        }
    });
    tvGroup->installEventFilter(this);

    setProperty("HelpContext", 5020000);
    int Context = 5020001;
    for (QWidget* W : {sbtnAdd, sbtnDel, sbtnRename, sbtnAppendFromFile, sbtnSetting})
        W->setProperty("HelpContext", Context++);
    btnOK->setProperty("HelpContext", 5020091);
    btnCancel->setProperty("HelpContext", 5020092);
}

TfrmStyle::~TfrmStyle() = default;

void TfrmStyle::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_F1) {
        ShowKeyHelp(this);
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TfrmStyle::ShowGroup()
{
    ResetPending();
    DrawGrid->Col = DrawGrid->Row = 0;
    DrawGrid->FScroll->setValue(0);
    DrawGrid->Relayout();
    DrawGrid->update();
    UpdateButtons();
}

bool TfrmStyle::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == tvGroup) {
        if (Event->type() == QEvent::FocusIn)
            UpdateButtons();
        if (Event->type() == QEvent::KeyPress)
            FLastKey = static_cast<QKeyEvent*>(Event)->key();
        if (Event->type() == QEvent::KeyRelease) {
            auto* K = static_cast<QKeyEvent*>(Event);
            if (!K->isAutoRepeat() && K->key() == FLastKey) {
                FLastKey = 0;
                if (K->key() == Qt::Key_Insert && sbtnAdd->isEnabled())
                    AddGroup();
                else if (K->key() == Qt::Key_Delete && sbtnDel->isEnabled())
                    DeleteSelected(false);
            }
        }
    }
    return QDialog::eventFilter(Watched, Event);
}

QTreeWidgetItem* TfrmStyle::ItemOf(const TStyleGroup* Group) const
{
    for (QTreeWidgetItemIterator It(tvGroup); *It; ++It)
        if ((*It)->data(0, Qt::UserRole).value<void*>() == Group)
            return *It;
    return nullptr;
}

void TfrmStyle::FillTree()
{
    const QSignalBlocker Block(tvGroup);
    tvGroup->clear();
    const QIcon Closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    // The item last made at each level: the parent of the next group below it.
    std::vector<QTreeWidgetItem*> Path;
    Tree.ForEachGroup([&](TStyleGroup* Group, int32_t Level) {
        Path.resize(static_cast<size_t>(Level));
        auto* Item = Level > 0 ? new QTreeWidgetItem(Path.back()) : new QTreeWidgetItem(tvGroup);
        Item->setText(0, QString::fromStdString(Group->Name));
        Item->setIcon(0, Closed);
        Item->setFlags(Item->flags() | Qt::ItemIsEditable);
        Item->setData(0, Qt::UserRole, QVariant::fromValue<void*>(Group));
        Path.push_back(Item);
    });
    tvGroup->expandAll();
    if (!Tree.Empty())
        tvGroup->setCurrentItem(tvGroup->topLevelItem(0));
    // The change of group was not signalled: the grid shows the group now
    // selected, not the cells of the one that was.
    ShowGroup();
}

TStyleGroup* TfrmStyle::SelectedGroup() const
{
    QTreeWidgetItem* Item = tvGroup->currentItem();
    return Item ? static_cast<TStyleGroup*>(Item->data(0, Qt::UserRole).value<void*>()) : nullptr;
}

TStyleEntry* TfrmStyle::CurrentItem() const
{
    TStyleGroup* G = SelectedGroup();
    const int Index = DrawGrid->CurrentIndex();
    if (!G || Index < 0 || Index >= static_cast<int>(G->Items.size()))
        return nullptr;
    return &G->Items[Index];
}

void TfrmStyle::SelectGroup(TStyleGroup* Group)
{
    if (QTreeWidgetItem* Item = ItemOf(Group))
        tvGroup->setCurrentItem(Item);
}

void TfrmStyle::UpdateButtons()
{
    const bool HasItem = CurrentItem() != nullptr;
    sbtnAdd->setEnabled(!DrawGrid->hasFocus());
    if (DrawGrid->hasFocus()) {
        sbtnDel->setEnabled(HasItem);
        btnOK->setEnabled(FMode == ModeSelect ? HasItem : SelectedGroup() != nullptr);
    } else {
        sbtnDel->setEnabled(SelectedGroup() != nullptr);
        btnOK->setEnabled(FMode == ModeSelect ? HasItem : SelectedGroup() != nullptr);
    }
}

void TfrmStyle::AddGroup()
{
    std::string Name;
    if (!TStyle::InputQuery("グループの追加", "追加するグループ", Name))
        return;
    Name = KeepCp932Characters(Name);
    TStyleGroup* G = Tree.AddGroup(SelectedGroup(), Name);
    Modified = true;
    FillTree();
    SelectGroup(G);
}

void TfrmStyle::DeleteSelected(bool GridFocused)
{
    if (!GridFocused) {
        TStyleGroup* G = SelectedGroup();
        if (!G)
            return;
        if (Tree.NodeCount() == 1) {
            MessageBox(nullptr, "グループは最低１つ必要です", "警告", MB_OK | MB_ICONWARNING);
            return;
        }
        if (!TStyle::ConfirmDelete("\"" + G->Name + "\" を削除します。よろしいですか？"))
            return;
        Tree.DeleteGroup(G);
        Modified = true;
        FillTree();
        return;
    }
    TStyleEntry* E = CurrentItem();
    if (!E || !TStyle::ConfirmDelete("\"" + E->Title + "\" を削除します。よろしいですか？"))
        return;
    TStyleGroup* G = SelectedGroup();
    G->Items.erase(G->Items.begin() + DrawGrid->CurrentIndex());
    Modified = true;
    ResetPending();
    DrawGrid->update();
    UpdateButtons();
}

void TfrmStyle::RenameSelected(bool GridFocused)
{
    if (!GridFocused) {
        if (QTreeWidgetItem* Item = tvGroup->currentItem())
            tvGroup->editItem(Item);
        return;
    }
    TStyleEntry* E = CurrentItem();
    if (!E)
        return;
    std::string Name = E->Title;
    if (!TStyle::InputQuery("名前の変更", "名前を入力してください", Name))
        return;
    Name = KeepCp932Characters(Name);
    if (Name != E->Title) {
        E->Title = Name;
        Modified = true;
        // The cell's finished drawing shows the old title: draw it again.
        const int Index = DrawGrid->CurrentIndex();
        if (Index >= 0 && Index < static_cast<int>(FLate.size()))
            FLate[static_cast<size_t>(Index)] = QImage();
        DrawGrid->update(DrawGrid->CellRect(Index));
    }
}

void TfrmStyle::AppendFromFile(const std::string& Path)
{
    TStyleTree Read;
    FOwner.Library.LoadFromFile(Path, Read); // errors reach the caller; nothing changed yet
    TStyleGroup* Keep = SelectedGroup();
    Tree.Append(std::move(Read));
    Modified = true;
    FillTree();
    SelectGroup(Keep);
}

void TfrmStyle::ApplySettings(int Width, int Height, bool Toolbar)
{
    CellWidth = ClampCell(Width);
    CellHeight = ClampCell(Height);
    ToolbarVisible = Toolbar;
    pnlTop->setVisible(Toolbar);
    ResetPending();
    DrawGrid->Relayout();
    DrawGrid->update();
}

std::function<void(TfrmSettingfrmStyle&)> TfrmStyle::OnSettingsShown;

void TfrmStyle::RunSettings()
{
    TfrmSettingfrmStyle Dlg(this);
    Dlg.edtX->setText(QString::number(CellWidth));
    Dlg.edtY->setText(QString::number(CellHeight));
    Dlg.cboxDispBtn->setChecked(ToolbarVisible);
    Dlg.adjustSize();
    const QRect R = geometry();
    SetBoundsInWorkArea(&Dlg, R.center().x() - Dlg.width() / 2, R.center().y() - Dlg.height() / 2, Dlg.width(),
                        Dlg.height());
    int Result;
    if (OnSettingsShown) {
        Dlg.show();
        OnSettingsShown(Dlg);
        Result = Dlg.result();
    } else {
        Result = Dlg.exec();
    }
    if (Result == QDialog::Accepted)
        ApplySettings(Dlg.CellWidth(CellWidth), Dlg.CellHeight(CellHeight), Dlg.cboxDispBtn->isChecked());
}

TfrmSettingfrmStyle::TfrmSettingfrmStyle(QWidget* Parent) : QDialog(Parent)
{
    setWindowTitle("設定");
    auto* Main = new QVBoxLayout(this);
    auto* Row = new QHBoxLayout;
    Row->addWidget(new QLabel("項目の表示サイズ　X:", this));
    edtX = new QLineEdit(this);
    edtX->setMaxLength(3);
    Row->addWidget(edtX);
    Row->addWidget(new QLabel("Y:", this));
    edtY = new QLineEdit(this);
    edtY->setMaxLength(3);
    Row->addWidget(edtY);
    Main->addLayout(Row);
    cboxDispBtn = new QCheckBox("ツールバーを標示する", this);
    cboxDispBtn->setVisible(false);
    Main->addWidget(cboxDispBtn);
    auto* Buttons = new QHBoxLayout;
    Buttons->addStretch();
    auto* Ok = new QPushButton("OK", this);
    auto* Cancel = new QPushButton("キャンセル", this);
    Ok->setDefault(true);
    Buttons->addWidget(Ok);
    Buttons->addWidget(Cancel);
    Main->addLayout(Buttons);
    connect(Ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(Cancel, &QPushButton::clicked, this, &QDialog::reject);
    edtX->installEventFilter(this);
    edtY->installEventFilter(this);
}

bool TfrmSettingfrmStyle::eventFilter(QObject* Watched, QEvent* Event)
{
    if ((Watched == edtX || Watched == edtY) && Event->type() == QEvent::KeyPress) {
        const auto* K = static_cast<QKeyEvent*>(Event);
        const QString T = K->text();
        // Digits and control keys only; anything else is refused audibly.
        if (!T.isEmpty() && !T.at(0).isDigit() && T.at(0).unicode() >= 0x20) {
            MessageBeep(0);
            return true;
        }
    }
    return QDialog::eventFilter(Watched, Event);
}

namespace {
int EditValue(const QLineEdit* Edit, int Old)
{
    bool Ok = false;
    const int V = Edit->text().toInt(&Ok);
    return ClampCell(Ok ? V : Old);
}
} // namespace

int TfrmSettingfrmStyle::CellWidth(int Old) const { return EditValue(edtX, Old); }
int TfrmSettingfrmStyle::CellHeight(int Old) const { return EditValue(edtY, Old); }

void TfrmStyle::ResetPending()
{
    const TStyleGroup* G = SelectedGroup();
    const size_t N = G ? G->Items.size() : 0;
    FPending.assign(N, 0);
    FLate.assign(N, QImage());
}

void TfrmStyle::QueueIdle()
{
    if (FIdleQueued)
        return;
    FIdleQueued = true;
    // One cell per idle moment, so the window stays responsive while the
    // slow previews come in.
    QTimer::singleShot(0, this, [this] {
        FIdleQueued = false;
        if (DrawLateCell())
            QueueIdle();
    });
}

const QImage* TfrmStyle::LateImage(int Index) const
{
    return Index >= 0 && Index < static_cast<int>(FLate.size()) && !FLate[Index].isNull() ? &FLate[Index] : nullptr;
}

bool TfrmStyle::DrawLateCell()
{
    const TStyleGroup* G = SelectedGroup();
    if (!FOwner.OnDrawCellLate || !G)
        return false;
    const auto It = std::find(FPending.begin(), FPending.end(), 1);
    if (It == FPending.end())
        return false;
    const int Index = static_cast<int>(It - FPending.begin());
    // The flag is cleared first: a cell whose drawing fails must not be
    // tried again at every idle moment.
    FPending[Index] = 0;
    if (Index >= static_cast<int>(G->Items.size()))
        return true;
    QImage Img(CellWidth, CellHeight, QImage::Format_RGB32);
    Img.fill(QColor(0x80, 0x80, 0x80));
    {
        QPainter P(&Img);
        const QRect R(0, 0, CellWidth, CellHeight);
        try {
            FOwner.OnDrawCellLate(P, G->Items[Index].Title, G->Items[Index].Data.get(), R,
                                  Index == DrawGrid->CurrentIndex());
        } catch (const std::exception&) {
            P.fillRect(R, QColor(0xC0, 0xC0, 0xC0));
            P.setPen(Qt::black);
            P.drawLine(R.topLeft(), R.bottomRight());
            P.drawLine(R.topRight(), R.bottomLeft());
            P.drawText(R, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, QString::fromStdString(G->Items[Index].Title));
        }
    }
    FLate[Index] = std::move(Img);
    DrawGrid->update(DrawGrid->CellRect(Index));
    return true;
}

std::string TfrmStyle::LayoutString() const
{
    const TStyleGroup* G = SelectedGroup();
    const int GroupIndex = G ? std::max(0, Tree.IndexOf(G)) : 0;
    const QRect R = geometry();
    std::ostringstream S;
    S << R.left() << ',' << R.top() << ',' << R.width() << ',' << R.height() << ',' << GroupIndex << ','
      << DrawGrid->CurrentIndex() << ',' << CellWidth << ',' << CellHeight << ',' << (ToolbarVisible ? 1 : 0);
    return S.str();
}

void TfrmStyle::ApplyLayout(const std::string& Text)
{
    if (Text.empty())
        return;
    try {
        std::vector<int64_t> V;
        std::stringstream In(Text);
        for (std::string Part; std::getline(In, Part, ',');)
            V.push_back(std::stoll(Part));
        if (V.size() < 4)
            return;
        SetBoundsInWorkArea(this, V[0], V[1], V[2], V[3]);
        if (V.size() < 9)
            return;
        int64_t Group = V[4], Item = V[5];
        if (Group < 0 || Group >= Tree.NodeCount()) {
            Group = 0;
            Item = 0;
        }
        CellWidth = ClampCell(static_cast<int>(std::clamp<int64_t>(V[6], 0, 1000)));
        CellHeight = ClampCell(static_cast<int>(std::clamp<int64_t>(V[7], 0, 1000)));
        ToolbarVisible = V[8] != 0;
        pnlTop->setVisible(ToolbarVisible);
        SelectGroup(Tree.NodeAt(static_cast<int32_t>(Group)));
        const TStyleGroup* G = SelectedGroup();
        DrawGrid->Relayout();
        if (G && Item >= 0 && Item <= static_cast<int64_t>(G->Items.size()))
            DrawGrid->SetCurrentIndex(static_cast<int>(Item));
    } catch (const std::exception&) {
        // A damaged stored layout is no reason to refuse the library.
    }
}

void TfrmStyle::showEvent(QShowEvent* E)
{
    QDialog::showEvent(E);
    Modified = false;
    std::string Text;
    if (FOwner.IniFile())
        Text = FOwner.IniFile()->ReadString(FOwner.RegistryKey, FOwner.RegistryName, "");
    else if (!FOwner.RegistryKey.empty())
        RegQueryString(HKEY_CURRENT_USER, FOwner.RegistryKey, FOwner.RegistryName, Text);
    ApplyLayout(Text);
    // Over the control that opened it, wherever that is now (the macro page
    // may have been torn off to a window of its own since the chooser was
    // last closed): the remembered place is for a chooser without one.
    if (auto* Owner = qobject_cast<QWidget*>(FOwner.parent()))
        CenterWindowInWorkArea(this, Owner);
    UpdateButtons();
}

void TfrmStyle::done(int Result)
{
    const std::string Text = LayoutString();
    if (FOwner.IniFile())
        FOwner.IniFile()->WriteString(FOwner.RegistryKey, FOwner.RegistryName, Text);
    else if (!FOwner.RegistryKey.empty())
        RegSetString(HKEY_CURRENT_USER, FOwner.RegistryKey, FOwner.RegistryName, Text);
    QDialog::done(Result);
}
