#include "shell/user_toolbars.h"

#include "foundation/app_environment.h"
#include "foundation/ini_file.h"
#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "platform/cp932.h"
#include "shell/customize_form.h"
#include "shell/main_form.h"
#include "shell/tavro_action.h"
#include "ui/dock97.h"
#include "ui/tool_window_positions97.h"
#include "ui/toolbar97.h"
#include "ui/toolbar_button97.h"

#include <QComboBox>
#include <QFileInfo>
#include <QMenu>

#include <algorithm>
#include <cstdio>

namespace {

// The commands whose buttons show a checked state: each stands alone in a
// group that may be all up.
const char* const CheckCommands[] = {"actDispHigh", "actDispMid",    "actDispLow",   "actDispWire",
                                     "actDispColPlt", "actDispAnchor", "actShowGrid",  "actRuler",
                                     "actSnapGrid",  "actSnapObj",    "actCommonPage", "actMacPaintPropertyPage",
                                     "actShapePage", "actTextPage",   "actOutlinePage", "actDispSmooth"};

bool IsCheckCommand(const QString& Name)
{
    for (const char* C : CheckCommands)
        if (Name == C)
            return true;
    return false;
}

// Groups of check buttons start here, one per command number.
constexpr int32_t CheckGroupBase = 1000;

// A stored field as a 32-bit number; Default when it is none, also when its
// digits lie beyond 32 bits (cut to 32 bits they would name another command).
int32_t FieldAsInteger(const std::string& Field, int32_t Default)
{
    int32_t V = 0;
    return TryStrToInt(Field, V) ? V : Default;
}

// What reading the definitions takes at most: more than this many items on
// one toolbar, or toolbars, or items on all of them together, no one placed
// by hand (there are some 75 commands), and building them would hold the
// start-up (and the save at the end) for minutes and take gigabytes.
constexpr size_t MaxToolbarItems = 4096;
constexpr size_t MaxUserToolbars = 256;
constexpr size_t MaxAllToolbarItems = 8192;

std::string PositionSection(const std::string& ComponentName)
{
    return std::string(UserToolbarSection) + ComponentName;
}

} // namespace

size_t ToolbarNameLength(const std::string& Name)
{
    return size_t(std::count_if(Name.begin(), Name.end(), [](char C) { return (static_cast<unsigned char>(C) & 0xC0) != 0x80; }));
}

std::string ToolbarComponentName(const std::string& Name)
{
    std::string Result = "N";
    char Hex[4];
    for (unsigned char C : Utf8ToCp932(SettingsTextForCp932(Name))) {
        std::snprintf(Hex, sizeof Hex, "%02X", unsigned(C));
        Result += Hex;
    }
    return Result;
}

std::string CommaText(const std::vector<std::string>& Fields)
{
    std::string Out;
    for (size_t I = 0; I < Fields.size(); ++I) {
        const std::string& F = Fields[I];
        if (I)
            Out += ',';
        const bool Quote = F.empty() || std::any_of(F.begin(), F.end(), [](unsigned char C) {
                               return C <= ' ' || C == ',' || C == '"';
                           });
        if (!Quote) {
            Out += F;
            continue;
        }
        Out += '"';
        for (char C : F) {
            if (C == '"')
                Out += '"';
            Out += C;
        }
        Out += '"';
    }
    return Out;
}

std::vector<std::string> SplitCommaText(const std::string& Text)
{
    std::vector<std::string> Fields;
    SplitCommaText(Text, Fields, SIZE_MAX);
    return Fields;
}

size_t SplitCommaText(const std::string& Text, std::vector<std::string>& Fields, size_t MaxFields)
{
    Fields.clear();
    size_t Count = 0;
    size_t P = 0;
    const size_t N = Text.size();
    const auto SkipBlanks = [&] {
        while (P < N && (unsigned char)Text[P] <= ' ')
            ++P;
    };
    SkipBlanks();
    while (P < N) {
        // Fields past the last one kept are walked, not copied.
        std::string Field;
        const bool Keep = Count < MaxFields;
        if (Text[P] == '"') {
            ++P;
            while (P < N) {
                if (Text[P] == '"') {
                    if (P + 1 < N && Text[P + 1] == '"') {
                        if (Keep)
                            Field += '"';
                        P += 2;
                        continue;
                    }
                    ++P;
                    break;
                }
                if (Keep)
                    Field += Text[P];
                ++P;
            }
        } else {
            const size_t From = P;
            while (P < N && (unsigned char)Text[P] > ' ' && Text[P] != ',')
                ++P;
            if (Keep)
                Field.assign(Text, From, P - From);
        }
        if (Keep)
            Fields.push_back(std::move(Field));
        ++Count;
        SkipBlanks();
        if (P < N && Text[P] == ',') {
            ++P;
            SkipBlanks();
            if (P == N) {
                if (Count < MaxFields)
                    Fields.emplace_back();
                ++Count;
            }
        }
    }
    return Count;
}

const std::vector<std::string>& BuiltInToolbarTexts()
{
    static const std::vector<std::string> Texts = {
        "一般,actNew,actOpen,actSave,actPrint,$,actUndo,actRedo,$,actCut,actCopy,actPaste,actDel,$,actZoomIn,"
        "actZoomOut,cmbZoom,$,actDispHigh,actDispMid,actDispLow,\"\",actDispWire,actDispAnchor",
        "位置,actTop,act1Up,act1Down,actBottom,$,actArngLeft,actArngRight,actArngTop,actArngBottom,actCenterH,"
        "actImgCenterH,actCenterV,actImgCenterV,actEqualH,actEqualV",
        "ノード,actNodeSym,actNodeSmooth,actNodeSharp,$,actNodeConnect,actNodeDivide,$,actBezierToLine,actLineToBezier",
    };
    return Texts;
}

// ---------------------------------------------------------------------------
// The frame's side

void TfrmTavro::CreateToolbarSupport()
{
    ImageListBtn = std::make_unique<TImageList97>();
    ImageListBtn->Size = QSize(16, 16);
    ImageListBtn->Images.resize(CommandCount);
    for (size_t I = 0; I < FCommands.size(); ++I) {
        if (!FCommands[I])
            continue;
        const QString Glyph = QString(":/commands/%1").arg(FCommands[I]->objectName());
        if (QFileInfo::exists(Glyph))
            ImageListBtn->Images[I] = QPixmap(Glyph);
    }
    pmnuTBarPopup = new QMenu(this);
    pmnuTBarPopup->setObjectName("pmnuTBarPopup");
    pmnuTBarPopup->addSeparator();
    pmnuTBarPopup->addAction(actCustomize);
    connect(pmnuTBarPopup, &QMenu::aboutToShow, this, [this] { FillTBarPopup(); });
    for (TDock97* D : {Dock97Top, Dock97Bottom, Dock97Left, Dock97Right}) {
        D->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(D, &QWidget::customContextMenuRequested, this,
                [this, D](const QPoint& P) { pmnuTBarPopup->popup(D->mapToGlobal(P)); });
    }
}

void TfrmTavro::FillTBarPopup()
{
    const QList<QAction*> Items = pmnuTBarPopup->actions();
    for (QAction* A : Items) {
        if (A->isSeparator())
            break;
        pmnuTBarPopup->removeAction(A);
        A->deleteLater();
    }
    QAction* Before = pmnuTBarPopup->actions().value(0);
    for (TCustomToolWindow97* W : FormToolWindows(this)) {
        auto* Item = new QAction(W->Caption(), pmnuTBarPopup);
        Item->setCheckable(true);
        Item->setChecked(W->Visible());
        QPointer<TCustomToolWindow97> Target(W);
        connect(Item, &QAction::triggered, this, [Target] {
            if (Target)
                Target->setVisible(!Target->Visible());
        });
        pmnuTBarPopup->insertAction(Before, Item);
    }
}

std::vector<TToolbar97*> TfrmTavro::UserToolbars() const
{
    std::vector<TToolbar97*> Result;
    for (TCustomToolWindow97* W : FormToolWindows(const_cast<TfrmTavro*>(this)))
        if (auto* T = qobject_cast<TToolbar97*>(W))
            Result.push_back(T);
    return Result;
}

TToolbar97* TfrmTavro::ZoomToolbar() const
{
    for (TToolbar97* T : UserToolbars())
        if (cmbZoom->parentWidget() == T->ClientArea())
            return T;
    return nullptr;
}

TToolbar97* TfrmTavro::NewUserToolbar(const std::string& Name)
{
    auto* T = new TToolbar97(this);
    T->setObjectName(QString::fromStdString(ToolbarComponentName(Name)));
    T->SetCaption(QString::fromStdString(Name));
    T->setAttribute(Qt::WA_AlwaysShowToolTips);
    T->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(T, &QWidget::customContextMenuRequested, this,
            [this, T](const QPoint& P) { pmnuTBarPopup->popup(T->mapToGlobal(P)); });
    T->ClientArea()->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(T->ClientArea(), &QWidget::customContextMenuRequested, this,
            [this, T](const QPoint& P) { pmnuTBarPopup->popup(T->ClientArea()->mapToGlobal(P)); });
    T->OnVisibleChanged = [this](QObject* Sender) { ToolbarVisibleChanged(Sender); };
    return T;
}

bool TfrmTavro::LoadUserToolbars()
{
    ToolbarDefs.clear();
    UnreadToolbarTexts.clear();
    TMemIniFile& Ini = AppIniFile();
    std::vector<std::pair<std::string, std::string>> Stored;
    Ini.ReadSectionValues(UserToolbarSection, Stored);
    ToolbarExists.clear();
    std::string Refused;
    const auto Refuse = [&Refused](const std::string& Why) {
        if (!Refused.empty())
            Refused += "\r\n";
        Refused += "\"" + std::string(UserToolbarSection) + "\" " + Why;
    };
    size_t Taken = 0;
    // Where the limits on all toolbars together stop the reading: what
    // follows is good to use once there is room, and stays as it is.
    size_t Unread = Stored.size();
    if (Stored.size() > MaxUserToolbars) {
        Refuse("にはツールバーが " + std::to_string(Stored.size()) + " 個あり、上限の " + std::to_string(MaxUserToolbars) +
               " 個を超える分は使いません。");
        Unread = MaxUserToolbars;
    }
    // Each limit is checked before anything is built of what it refuses.
    size_t AllItems = 0;
    std::vector<std::string> Fields;
    std::vector<TToolbar97*> Made;
    for (size_t K = 0; K < Unread; ++K) {
        const size_t Count = SplitCommaText(Stored[K].second, Fields, MaxToolbarItems + 2);
        const size_t Items = Count - std::min<size_t>(Count, 2);
        if (Items > MaxToolbarItems) {
            Refuse("の " + std::to_string(K + 1) + " 番目のツールバーは項目が " + std::to_string(Items) + " 個あり、上限の " +
                   std::to_string(MaxToolbarItems) + " 個を超えるため使いません。");
            continue;
        }
        if (const size_t Length = Count > 0 ? ToolbarNameLength(Fields[0]) : 0; Length > MaxToolbarNameLength) {
            Refuse("の " + std::to_string(K + 1) + " 番目のツールバーは名前が " + std::to_string(Length) +
                   " 文字あり、上限の " + std::to_string(MaxToolbarNameLength) + " 文字を超えるため使いません。");
            continue;
        }
        if (AllItems + Items > MaxAllToolbarItems) {
            Refuse("の " + std::to_string(K + 1) + " 番目からのツールバーは、項目が合わせて上限の " +
                   std::to_string(MaxAllToolbarItems) + " 個を超えるため使いません。");
            Unread = K;
            break;
        }
        AllItems += Items;
        ++Taken;
        if (Fields.size() < 2)
            continue;
        TToolbar97* T = NewUserToolbar(Fields[0]);
        Made.push_back(T);
        ToolbarExists.push_back(FieldAsInteger(Fields[1], 1) != 0 ? 1 : 0);
        ToolbarDefs.push_back({Fields[0], {}});
        T->BeginUpdate();
        for (size_t I = 2; I < Fields.size(); ++I) {
            const int32_t Item = FieldAsInteger(Fields[I], -1);
            if (Item != -1 && (Item < 0 || Item >= CommandCount))
                continue;
            AddToolbarItem(Item, T);
            ToolbarDefs.back().Items.push_back(Item);
        }
        T->EndUpdate();
    }
    for (size_t K = Unread; K < Stored.size(); ++K)
        UnreadToolbarTexts.push_back(std::move(Stored[K].second));
    LoadToolWindowPositions(
        this,
        [&Ini](const std::string& Name, const std::string& Value, int32_t Default, void*) {
            return Ini.ReadInteger(PositionSection(Name), Value, Default);
        },
        [&Ini](const std::string& Name, const std::string& Value, const std::string& Default, void*) {
            return Ini.ReadString(PositionSection(Name), Value, Default);
        },
        nullptr);
    // A toolbar with no place of its own (no position section, or one naming
    // a dock that is not there) would wait on the frame, listed as shown but
    // nowhere to be seen, and be saved floating in the screen's corner: it
    // goes to the end of the top dock, a row of its own, as a new one does.
    Dock97Top->BeginUpdate();
    for (size_t I = 0; I < Made.size(); ++I) {
        TToolbar97* T = Made[I];
        if (T->Docked() || T->parentWidget() != this)
            continue;
        T->SetDockRow(Dock97Top->GetHighestRow() + 1);
        T->SetDockedTo(Dock97Top);
        T->setVisible(ToolbarExists[I] == 1);
    }
    Dock97Top->EndUpdate();
    // A definition refused for itself (too many items, too long a name) is
    // not written back: the save at the end writes the toolbars there are,
    // then those left unread.
    if (!Refused.empty())
        WarningMessageBox("設定ファイル " + Ini.FileName() + " のツールバーの定義:\r\n" + Refused);
    // Nothing usable is a first start: the built-in toolbars.
    return Taken > 0;
}

void TfrmTavro::MakeDefaultToolbars(std::vector<TToolbarDef>& Defs) const
{
    Defs.clear();
    std::vector<std::string> Names;
    for (QObject* C : FCommands)
        Names.push_back(C ? C->objectName().toStdString() : std::string());
    for (const std::string& Text : BuiltInToolbarTexts()) {
        const std::vector<std::string> Fields = SplitCommaText(Text);
        TToolbarDef Def{Fields.at(0), {}};
        for (size_t I = 1; I < Fields.size(); ++I) {
            if (Fields[I] == "$") {
                Def.Items.push_back(-1);
                continue;
            }
            for (size_t C = 0; C < Names.size(); ++C)
                if (!Fields[I].empty() && Fields[I] == Names[C])
                    Def.Items.push_back(int32_t(C));
        }
        Defs.push_back(std::move(Def));
    }
}

void TfrmTavro::BuildUserToolbars()
{
    Dock97Top->BeginUpdate();
    std::vector<TToolbar97*> Leftovers = UserToolbars();
    for (size_t I = 0; I < ToolbarDefs.size(); ++I) {
        const TToolbarDef& Def = ToolbarDefs[I];
        const bool Shown = I < ToolbarExists.size() && ToolbarExists[I] == 1;
        const QString Name = QString::fromStdString(Def.Name);
        auto It = std::find_if(Leftovers.begin(), Leftovers.end(), [&](TToolbar97* T) { return T->Caption() == Name; });
        if (It == Leftovers.end()) {
            if (!Shown)
                continue;
            TToolbar97* T = NewUserToolbar(Def.Name);
            T->SetDockRow(Dock97Top->GetHighestRow() + 1);
            T->SetDockedTo(Dock97Top);
            FillToolbarItems(T, Def.Items);
            T->setVisible(true);
            continue;
        }
        TToolbar97* T = *It;
        Leftovers.erase(It);
        FillToolbarItems(T, Def.Items);
        T->setVisible(Shown);
    }
    for (TToolbar97* T : Leftovers) {
        const std::string Section = PositionSection(T->objectName().toStdString());
        if (AppIniFile().SectionExists(Section))
            AppIniFile().EraseSection(Section);
        FillToolbarItems(T, {});
        delete T;
    }
    Dock97Top->EndUpdate();
}

void TfrmTavro::FillToolbarItems(TToolbar97* Toolbar, const std::vector<int32_t>& Items)
{
    Toolbar->BeginUpdate();
    const QObjectList Children = Toolbar->ClientArea()->children();
    for (QObject* C : Children) {
        if (C == cmbZoom) {
            cmbZoom->hide();
            cmbZoom->setParent(this);
        } else if (C->isWidgetType()) {
            delete C;
        }
    }
    for (int32_t Item : Items)
        AddToolbarItem(Item, Toolbar);
    Toolbar->EndUpdate();
}

void TfrmTavro::AddToolbarItem(int32_t Command, TToolbar97* Toolbar)
{
    if (Command == -1) {
        auto* Sep = new TToolbarSep97(Toolbar);
        Sep->SetTag(-1);
        Toolbar->SetItemTag(Sep, -1);
        return;
    }
    if (Command < 0 || Command >= CommandCount)
        return;
    if (Command == ZoomBoxCommand) {
        cmbZoom->setParent(Toolbar->ClientArea());
        cmbZoom->show();
        cmbZoom->setProperty("Tag", Command);
        Toolbar->SetItemTag(cmbZoom, Command);
        Toolbar->Arrange();
        return;
    }
    auto* A = dynamic_cast<TAction*>(FCommands[size_t(Command)]);
    if (!A)
        return;
    auto* B = new TToolbarButton97(Toolbar->ClientArea());
    B->setObjectName(A->objectName() + "Button");
    B->SetTag(Command);
    Toolbar->SetItemTag(B, Command);
    B->resize(24, 24);
    if (IsCheckCommand(A->objectName())) {
        B->SetGroupIndex(CheckGroupBase + Command);
        B->SetAllowAllUp(true);
    }
    if (!ImageListBtn->Images[size_t(Command)].isNull()) {
        B->SetImages(ImageListBtn.get());
        B->SetImageIndex(Command);
        B->SetDisplayMode(dmGlyphOnly);
        B->setToolTip(A->Hint());
    } else {
        B->SetCaption(A->Hint());
        B->SetDisplayMode(dmTextOnly);
        B->resize(B->fontMetrics().horizontalAdvance(A->Hint()) + 8, 24);
    }
    B->SetAction(A);
    B->show();
    Toolbar->Arrange();
}

void TfrmTavro::SaveUserToolbars()
{
    TMemIniFile& Ini = AppIniFile();
    SaveToolWindowPositions(
        this,
        [&Ini](const std::string& Name, const std::string& Value, int32_t Data, void*) {
            Ini.WriteInteger(PositionSection(Name), Value, Data);
        },
        [&Ini](const std::string& Name, const std::string& Value, const std::string& Data, void*) {
            Ini.WriteString(PositionSection(Name), Value, Data);
        },
        nullptr);
    std::vector<std::pair<std::string, std::string>> Values;
    for (TToolbar97* T : UserToolbars()) {
        std::vector<std::string> Fields{T->Caption().toStdString(), T->Visible() ? "1" : "0"};
        // The numbers as the toolbar keeps them beside its items, in one
        // pass: asking each item (by its index, or for a property by name)
        // would cost far more than writing the number.
        const std::vector<int32_t> Tags = T->OrderedTags();
        Fields.reserve(Fields.size() + Tags.size());
        for (int32_t Tag : Tags)
            Fields.push_back(std::to_string(Tag));
        Values.emplace_back(std::to_string(Values.size() + 1), CommaText(Fields));
    }
    for (const std::string& Text : UnreadToolbarTexts)
        Values.emplace_back(std::to_string(Values.size() + 1), Text);
    // In one pass: written key by key, each would be looked for among all
    // before it.
    Ini.WriteSectionValues(UserToolbarSection, Values);
}

void TfrmTavro::ToolbarVisibleChanged(QObject* Sender)
{
    auto* T = qobject_cast<TToolbar97*>(Sender);
    if (!T)
        return;
    for (size_t I = 0; I < ToolbarDefs.size() && I < ToolbarExists.size(); ++I)
        if (QString::fromStdString(ToolbarDefs[I].Name) == T->Caption())
            ToolbarExists[I] = T->Visible() ? 1 : 0;
}

void TfrmTavro::actCustomizeExecute(QObject*)
{
    std::vector<TToolbarDef> BuiltIn;
    MakeDefaultToolbars(BuiltIn);
    std::vector<std::string> Captions;
    for (int32_t I = 0; I < FCommandCaptions.Count(); ++I)
        Captions.push_back(FCommandCaptions.Strings(I));
    TfrmCustomize Dialog(this, ImageListBtn.get(), ToolbarExists, BuiltIn, ToolbarDefs, Captions,
                         cmbZoom->parentWidget() != this && !cmbZoom->isHidden());
    if (TfrmCustomize::Run(Dialog) != QDialog::Accepted)
        return;
    ToolbarDefs.clear();
    ToolbarExists.assign(Dialog.Toolbars.size(), 0);
    for (size_t I = 0; I < Dialog.Toolbars.size(); ++I) {
        ToolbarDefs.push_back(Dialog.Toolbars[I]);
        ToolbarExists[I] = Dialog.Checked(int32_t(I)) ? 1 : 0;
    }
    BuildUserToolbars();
}
