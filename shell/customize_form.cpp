#include "shell/customize_form.h"

#include "ui/ui_routines.h"
#include "platform/message_box.h"
#include "shell/main_form.h"
#include "ui/toolbar_button97.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int CommandRole = Qt::UserRole;
constexpr int UsedRole = Qt::UserRole + 1;
const QColor UsedColor(0x80, 0x80, 0x80);

std::string Trimmed(const std::string& S)
{
    const size_t B = S.find_first_not_of(" \t\r\n");
    if (B == std::string::npos)
        return "";
    const size_t E = S.find_last_not_of(" \t\r\n");
    return S.substr(B, E - B + 1);
}

} // namespace

// ---------------------------------------------------------------------------
// TfrmCustomTBar

TfrmCustomTBar::TfrmCustomTBar(QWidget* Owner, const std::vector<int32_t>& Items, const std::vector<int32_t>* BuiltIn,
                               const std::vector<std::string>& Captions, const TImageList97* Images, bool ZoomUsed)
    : QDialog(Owner), FHasBuiltIn(BuiltIn != nullptr), FZoomUsed(ZoomUsed), FZoomCommand(TfrmTavro::ZoomBoxCommand)
{
    setWindowTitle("ツールバーボタンの編集");
    if (BuiltIn)
        FBuiltIn = *BuiltIn;
    lvCommand = new QListWidget(this);
    lvTBar = new QListWidget(this);
    btnAdd = new QPushButton("<< 追加(&A)", this);
    btnDel = new QPushButton("削除(&D)", this);
    btn1Up = new QPushButton("一つ上に(&P)", this);
    btn1Down = new QPushButton("一つ下に(&N)", this);
    btnReset = new QPushButton("初期状態(&R)", this);
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* Grid = new QGridLayout(this);
    auto* TBarLabel = new QLabel("表示するボタン(&T):", this);
    TBarLabel->setBuddy(lvTBar);
    auto* CommandLabel = new QLabel("コマンド一覧(&C)", this);
    CommandLabel->setBuddy(lvCommand);
    Grid->addWidget(TBarLabel, 0, 0);
    Grid->addWidget(CommandLabel, 0, 2);
    Grid->addWidget(lvTBar, 1, 0);
    auto* Middle = new QVBoxLayout;
    for (QPushButton* B : {btnAdd, btnDel, btn1Up, btn1Down, btnReset})
        Middle->addWidget(B);
    Middle->addStretch(1);
    Grid->addLayout(Middle, 1, 1);
    Grid->addWidget(lvCommand, 1, 2);
    Grid->addWidget(Buttons, 2, 0, 1, 3);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* Blank = new QListWidgetItem("(空白)", lvCommand);
    Blank->setData(CommandRole, -1);
    for (size_t I = 0; I < Captions.size(); ++I) {
        auto* Item = new QListWidgetItem(QString::fromStdString(Captions[I]), lvCommand);
        Item->setData(CommandRole, int(I));
        if (Images && I < Images->Images.size() && !Images->Images[I].isNull())
            Item->setIcon(QIcon(Images->Images[I]));
    }
    for (int32_t C : Items)
        AddItem(C);
    if (FZoomUsed)
        SetUsed(FZoomCommand, true);

    connect(btnAdd, &QPushButton::clicked, this, [this] { Add(); });
    connect(btnDel, &QPushButton::clicked, this, [this] { Del(); });
    connect(btn1Up, &QPushButton::clicked, this, [this] { MoveBy(-1); });
    connect(btn1Down, &QPushButton::clicked, this, [this] { MoveBy(1); });
    connect(btnReset, &QPushButton::clicked, this, [this] { Reset(); });
    for (QListWidget* L : {lvCommand, lvTBar})
        connect(L, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

std::vector<int32_t> TfrmCustomTBar::Items() const
{
    std::vector<int32_t> Result;
    for (int I = 0; I < lvTBar->count(); ++I)
        Result.push_back(lvTBar->item(I)->data(CommandRole).toInt());
    return Result;
}

bool TfrmCustomTBar::Used(int32_t Command) const
{
    if (Command < 0 || Command + 1 >= lvCommand->count())
        return false;
    return lvCommand->item(Command + 1)->data(UsedRole).toBool();
}

void TfrmCustomTBar::SetUsed(int32_t Command, bool Used)
{
    if (Command < 0 || Command + 1 >= lvCommand->count())
        return;
    QListWidgetItem* Item = lvCommand->item(Command + 1);
    Item->setData(UsedRole, Used);
    Item->setBackground(Used ? QBrush(UsedColor) : QBrush());
    Item->setFlags(Used ? (Item->flags() & ~Qt::ItemIsSelectable) : (Item->flags() | Qt::ItemIsSelectable));
}

void TfrmCustomTBar::AddItem(int32_t Command)
{
    if (Command + 1 < 0 || Command + 1 >= lvCommand->count())
        return;
    const QListWidgetItem* Source = lvCommand->item(Command + 1);
    auto* Item = new QListWidgetItem(Source->icon(), Source->text(), lvTBar);
    Item->setData(CommandRole, Command);
    if (Command >= 0)
        SetUsed(Command, true);
    if (Command == FZoomCommand)
        FZoomUsed = true;
}

void TfrmCustomTBar::Add()
{
    const int Row = lvCommand->currentRow();
    if (Row < 0)
        return;
    const int32_t Command = lvCommand->item(Row)->data(CommandRole).toInt();
    if (Used(Command))
        return;
    AddItem(Command);
    lvTBar->setCurrentRow(lvTBar->count() - 1);
    for (int Next = Row + 1; Next < lvCommand->count(); ++Next)
        if (!Used(lvCommand->item(Next)->data(CommandRole).toInt())) {
            lvCommand->setCurrentRow(Next);
            break;
        }
    UpdateButtons();
}

void TfrmCustomTBar::Del()
{
    const int Row = lvTBar->currentRow();
    if (Row < 0)
        return;
    const int32_t Command = lvTBar->item(Row)->data(CommandRole).toInt();
    delete lvTBar->takeItem(Row);
    SetUsed(Command, false);
    if (Command == FZoomCommand)
        FZoomUsed = false;
    if (lvTBar->count() > 0)
        lvTBar->setCurrentRow(std::min(Row, lvTBar->count() - 1));
    UpdateButtons();
}

void TfrmCustomTBar::MoveBy(int32_t Step)
{
    const int Row = lvTBar->currentRow();
    const int To = Row + Step;
    if (Row < 0 || To < 0 || To >= lvTBar->count())
        return;
    QListWidgetItem* Item = lvTBar->takeItem(Row);
    lvTBar->insertItem(To, Item);
    lvTBar->setCurrentRow(To);
    UpdateButtons();
}

void TfrmCustomTBar::Reset()
{
    if (!FHasBuiltIn)
        return;
    while (lvTBar->count() > 0) {
        lvTBar->setCurrentRow(0);
        Del();
    }
    for (int32_t C : FBuiltIn) {
        // The zoom box stays where it is when another toolbar holds it.
        if (C == FZoomCommand && FZoomUsed)
            continue;
        AddItem(C);
    }
    UpdateButtons();
}

void TfrmCustomTBar::UpdateButtons()
{
    const int CRow = lvCommand->currentRow();
    const int TRow = lvTBar->currentRow();
    btnAdd->setEnabled(CRow >= 0 && !Used(lvCommand->item(CRow)->data(CommandRole).toInt()));
    btnDel->setEnabled(TRow >= 0);
    btn1Up->setEnabled(TRow > 0);
    btn1Down->setEnabled(TRow >= 0 && TRow < lvTBar->count() - 1);
    btnReset->setEnabled(FHasBuiltIn && !FBuiltIn.empty());
}

// ---------------------------------------------------------------------------
// TfrmCustomize

std::function<int(TfrmCustomize&)> TfrmCustomize::Run = [](TfrmCustomize& Dialog) { return Dialog.exec(); };
std::function<int(TfrmCustomTBar&)> TfrmCustomize::RunEditor = [](TfrmCustomTBar& Editor) { return Editor.exec(); };
std::function<bool(const std::string&, const std::string&, std::string&)> TfrmCustomize::InputQuery = InputQueryBox;

TfrmCustomize::TfrmCustomize(QWidget* Owner, const TImageList97* Images, const std::vector<uint8_t>& Exists,
                             const std::vector<TUserToolbarDef>& BuiltIn, const std::vector<TUserToolbarDef>& Defs,
                             const std::vector<std::string>& Captions, bool ZoomUsed)
    : QDialog(Owner), Toolbars(Defs), FImages(Images), FBuiltIn(BuiltIn), FCaptions(Captions), FZoomUsed(ZoomUsed)
{
    setWindowTitle("ユーザー設定");
    PageControl = new QTabWidget(this);
    auto* Page = new QWidget(PageControl);
    PageControl->addTab(Page, "ツールバー");
    // Shortcut assignment is not offered; its page stays out of sight.
    auto* Keys = new QWidget(PageControl);
    PageControl->addTab(Keys, "キーボード");
    PageControl->setTabVisible(1, false);
    clboxTBar = new QListWidget(Page);
    btnNewTBar = new QPushButton("新規作成(&N)...", Page);
    btnRenameTBar = new QPushButton("名前の変更(&F)...", Page);
    btnDelTBar = new QPushButton("削除(&D)", Page);
    btnEditButton = new QPushButton("ボタンの編集(&B)...", Page);
    auto* Row = new QHBoxLayout(Page);
    Row->addWidget(clboxTBar, 1);
    auto* Side = new QVBoxLayout;
    for (QPushButton* B : {btnNewTBar, btnRenameTBar, btnDelTBar, btnEditButton})
        Side->addWidget(B);
    Side->addStretch(1);
    Row->addLayout(Side);
    auto* Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* Main = new QVBoxLayout(this);
    Main->addWidget(PageControl);
    Main->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (size_t I = 0; I < Toolbars.size(); ++I) {
        auto* Item = new QListWidgetItem(QString::fromStdString(Toolbars[I].Name), clboxTBar);
        Item->setFlags(Item->flags() | Qt::ItemIsUserCheckable);
        Item->setCheckState(I < Exists.size() && Exists[I] ? Qt::Checked : Qt::Unchecked);
    }
    connect(btnNewTBar, &QPushButton::clicked, this, [this] { NewTBar(); });
    connect(btnRenameTBar, &QPushButton::clicked, this, [this] { RenameTBar(); });
    connect(btnDelTBar, &QPushButton::clicked, this, [this] { DelTBar(); });
    connect(btnEditButton, &QPushButton::clicked, this, [this] { EditButton(); });
    connect(clboxTBar, &QListWidget::currentRowChanged, this, [this] { UpdateButtons(); });
    UpdateButtons();
}

bool TfrmCustomize::Checked(int32_t Index) const
{
    return clboxTBar->item(Index) && clboxTBar->item(Index)->checkState() == Qt::Checked;
}

void TfrmCustomize::UpdateButtons()
{
    const int Row = clboxTBar->currentRow();
    btnEditButton->setEnabled(Row >= 0);
    const bool Own = Row >= int(FBuiltIn.size());
    btnRenameTBar->setEnabled(Row >= 0 && Own);
    btnDelTBar->setEnabled(Row >= 0 && Own);
}

bool TfrmCustomize::AskName(const std::string& Caption, std::string& Name, int32_t Except)
{
    for (;;) {
        if (!InputQuery(Caption, "ツールバーの名前", Name))
            return false;
        const std::string T = Trimmed(Name);
        if (T.empty()) {
            MessageBox(this, "名前が空欄です。", Caption, MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        if (ToolbarNameLength(T) > MaxToolbarNameLength) {
            MessageBox(this, "名前が長すぎます。" + std::to_string(MaxToolbarNameLength) + " 文字までにしてください。",
                       Caption, MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        bool Duplicate = false;
        for (size_t I = 0; I < Toolbars.size(); ++I)
            if (int32_t(I) != Except && Toolbars[I].Name == T)
                Duplicate = true;
        if (Duplicate) {
            MessageBox(this, "その名前は、既に登録されています。", Caption, MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        Name = T;
        return true;
    }
}

void TfrmCustomize::NewTBar()
{
    std::string Name;
    if (!AskName("新規作成", Name, -1))
        return;
    Toolbars.push_back({Name, {}});
    auto* Item = new QListWidgetItem(QString::fromStdString(Name), clboxTBar);
    Item->setFlags(Item->flags() | Qt::ItemIsUserCheckable);
    Item->setCheckState(Qt::Checked);
    clboxTBar->setCurrentRow(clboxTBar->count() - 1);
    UpdateButtons();
}

void TfrmCustomize::RenameTBar()
{
    const int Row = clboxTBar->currentRow();
    if (Row < int(FBuiltIn.size()))
        return;
    std::string Name = Toolbars[size_t(Row)].Name;
    if (!AskName("名前の変更", Name, Row))
        return;
    Toolbars[size_t(Row)].Name = Name;
    clboxTBar->item(Row)->setText(QString::fromStdString(Name));
}

void TfrmCustomize::DelTBar()
{
    const int Row = clboxTBar->currentRow();
    if (Row < int(FBuiltIn.size()))
        return;
    const std::string Text = "ツールバー\"" + Toolbars[size_t(Row)].Name + "\"を削除しますよろしいですか？";
    if (MessageBox(this, Text, "カスタマイズ", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    for (int32_t C : Toolbars[size_t(Row)].Items)
        if (C == TfrmTavro::ZoomBoxCommand)
            FZoomUsed = false;
    Toolbars.erase(Toolbars.begin() + Row);
    delete clboxTBar->takeItem(Row);
    UpdateButtons();
}

void TfrmCustomize::EditButton()
{
    const int Row = clboxTBar->currentRow();
    if (Row < 0)
        return;
    TUserToolbarDef& Def = Toolbars[size_t(Row)];
    const std::vector<int32_t>* BuiltIn = nullptr;
    for (const TUserToolbarDef& B : FBuiltIn)
        if (B.Name == Def.Name)
            BuiltIn = &B.Items;
    // The editor flags the zoom box as used when it stands on any toolbar;
    // on this one it is flagged by the item itself.
    const bool OnThis = std::count(Def.Items.begin(), Def.Items.end(), TfrmTavro::ZoomBoxCommand) > 0;
    TfrmCustomTBar Editor(this, Def.Items, BuiltIn, FCaptions, FImages, FZoomUsed && !OnThis);
    if (RunEditor(Editor) != QDialog::Accepted)
        return;
    Def.Items = Editor.Items();
    bool Anywhere = false;
    for (const TUserToolbarDef& T : Toolbars)
        Anywhere |= std::count(T.Items.begin(), T.Items.end(), TfrmTavro::ZoomBoxCommand) > 0;
    FZoomUsed = Anywhere;
}
