// The document window's menus: the entries they add to the frame's File, View and
// Settings menus, the Edit and arrangement menus, and putting them into the
// bar and taking them out as document windows come and go.
#include "shell/child_menus.h"

#include "shell/child_form.h"
#include "shell/main_form.h"
#include "shell/tavro_action.h"

#include "model/draw_group.h"
#include "model/draw_object.h"
#include "model/page.h"
#include "model/selection.h"
#include "model/text_object.h"
#include "platform/qt/application_wex.h"

#include <QActionGroup>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>

namespace {

constexpr const char* FileTitle = "ファイル(&F)";
constexpr const char* ViewTitle = "表示(&V)";
constexpr const char* SettingsTitle = "設定(&S)";

// The frame's top-level menu of Title; nil when the bar has none.
QMenu* TopMenu(QMenuBar& Bar, const char* Title)
{
    for (QAction* A : Bar.actions())
        if (A->menu() && A->text() == QString::fromUtf8(Title))
            return A->menu();
    return nullptr;
}

// The entry after A in Menu (nil: A is last or not there).
QAction* EntryAfter(const QWidget& Menu, const QAction* A)
{
    const QList<QAction*> Entries = Menu.actions();
    const qsizetype I = Entries.indexOf(const_cast<QAction*>(A));
    return I >= 0 && I + 1 < Entries.size() ? Entries[I + 1] : nullptr;
}

} // namespace

TChildMenus::TChildMenus(QMenuBar& Bar, QMdiArea& Area, std::function<QAction*(const char*)> Command,
                         QObject* Parent)
    : QObject(Parent), FBar(&Bar), FArea(&Area), FCommand(std::move(Command))
{
    setObjectName("ChildMenus");
    CreateOwnCommands();
    GroupCommands();
    CreateMenus(Bar);
    connect(&Area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* Sub) {
        // A window that goes may leave none active: looked at again once it
        // has left the area.
        if (Sub)
            connect(Sub, &QObject::destroyed, this, &TChildMenus::Refresh,
                    Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
        Refresh();
    });
}

void TChildMenus::CreateOwnCommands()
{
    struct TOwn {
        TAction* TChildMenus::*Member;
        const char* Name;
        const char* Caption;
        void (TfrmChild::*Handler)();
    };
    const TOwn Own[] = {
        {&TChildMenus::actGroup, "actGroup", "グループ化", &TfrmChild::actGroupExecute},
        {&TChildMenus::actUngroup, "actUngroup", "グループ化解除", &TfrmChild::actUngroupExecute},
        {&TChildMenus::actTextWithPath, "actTextWithPath", "テキストをパスに沿わせる",
         &TfrmChild::actTextWithPathExecute},
    };
    for (const TOwn& O : Own) {
        auto* A = new TAction(O.Name, O.Caption, this);
        A->Tag = -1;
        A->SetHint(O.Caption);
        const auto Handler = O.Handler;
        connect(A, &QAction::triggered, this, [this, Handler] {
            if (TfrmChild* C = ActiveChild())
                RunReporting([&] { (C->*Handler)(); });
        });
        this->*O.Member = A;
    }
}

void TChildMenus::GroupCommands()
{
    // The display qualities are one choice: the window checks the page's and
    // the others go, as radio entries show it. Optional, so that choosing
    // the checked one again leaves it checked.
    auto* Qualities = new QActionGroup(this);
    Qualities->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const char* Name : {"actDispHigh", "actDispMid", "actDispLow", "actDispWire"})
        if (QAction* A = FCommand(Name))
            Qualities->addAction(A);
}

void TChildMenus::CreateMenus(QMenuBar& Bar)
{
    FEdit = new QMenu("編集(&E)", &Bar);
    FEdit->setObjectName("mnuEdit");
    Fill(*FEdit, {"actUndo", "actRedo", "-", "actCut", "actCopy", "actPaste", "-", "actDel", "actDup", "-",
                  "actSelAll", "-", "actCopyAsBMP", "-", "actToPolyLine", "actMerge", "actUnMerge"});
    QMenu* Nodes = FEdit->addMenu("ノード(&N)");
    Fill(*Nodes, {"actBezierToLine", "actLineToBezier", "-", "actNodeSym", "actNodeSmooth", "actNodeSharp", "-",
                  "actNodeConnect", "actNodeDivide"});

    FArrange = new QMenu("配置(&A)", &Bar);
    FArrange->setObjectName("mnuArrange");
    Fill(*FArrange, {"act1Up", "act1Down", "actTop", "actBottom", "-", "actArngLeft", "actArngRight",
                     "actCenterH", "actImgCenterH", "actEqualH", "-", "actArngTop", "actArngBottom", "actCenterV",
                     "actImgCenterV", "actEqualV", "-", "actGroup", "actUngroup", "-", "actTextWithPath"});
    connect(FArrange, &QMenu::aboutToShow, this, &TChildMenus::UpdateOwnCommands);

    QMenu* File = TopMenu(Bar, FileTitle);
    Add(File, "actOpenImage", {"actClose", "-", "actSave", "actSaveAs", "actSaveBMP", "-", "actBmpTrace"});
    Add(File, "actInputTwain", {"-", "actMorvo", "-", "actPrintSetup", "actPrint"});
    QMenu* View = TopMenu(Bar, ViewTitle);
    Add(View, nullptr, {"actDispHigh", "actDispMid", "actDispLow", "actDispWire", "-", "actZoomIn", "actZoomOut",
                        "actDispSmooth", "-"});
    Add(View, "actDispColPlt", {"-", "actShowGrid", "actDispAnchor", "actRuler"});
    Add(TopMenu(Bar, SettingsTitle), "actOption", {"-", "actGridOption", "actSnapGrid", "actSnapObj", "-"});
}

TChildMenus::~TChildMenus()
{
    // The frame's menus keep only their own entries.
    SetMerged(false);
}

QMenu* TChildMenus::EditMenu() const
{
    return FEdit;
}

QMenu* TChildMenus::ArrangeMenu() const
{
    return FArrange;
}

QAction* TChildMenus::Separator()
{
    auto* A = new QAction(this);
    A->setSeparator(true);
    return A;
}

void TChildMenus::Fill(QMenu& Menu, std::initializer_list<const char*> Names)
{
    for (const char* Name : Names) {
        if (*Name == '-')
            Menu.addAction(Separator());
        else if (QAction* A = findChild<TAction*>(Name, Qt::FindDirectChildrenOnly); A || (A = FCommand(Name)))
            Menu.addAction(A);
    }
}

void TChildMenus::Add(QMenu* Menu, const char* Anchor, std::initializer_list<const char*> Names)
{
    if (!Menu)
        return;
    TAddition Addition{Menu, Anchor ? FCommand(Anchor) : nullptr, {}};
    if (Anchor && !Addition.Anchor)
        return;
    for (const char* Name : Names) {
        if (*Name == '-')
            Addition.Entries.push_back(Separator());
        else if (QAction* A = FCommand(Name))
            Addition.Entries.push_back(A);
    }
    FAdditions.push_back(std::move(Addition));
}

void TChildMenus::SetMerged(bool Merged)
{
    if (Merged == FbMerged || !FBar)
        return;
    FbMerged = Merged;
    if (Merged) {
        for (TAddition& A : FAdditions) {
            if (!A.Menu)
                continue;
            QAction* Before = A.Anchor ? EntryAfter(*A.Menu, A.Anchor) : A.Menu->actions().value(0);
            A.Menu->insertActions(Before, QList<QAction*>(A.Entries.begin(), A.Entries.end()));
        }
        // Edit after File, the arrangement after View (each at the end when
        // the bar has no such menu).
        for (auto [Menu, After] : {std::pair{FEdit.data(), FileTitle}, std::pair{FArrange.data(), ViewTitle}}) {
            const QMenu* Left = TopMenu(*FBar, After);
            FBar->insertMenu(Left ? EntryAfter(*FBar, Left->menuAction()) : nullptr, Menu);
        }
        return;
    }
    for (TAddition& A : FAdditions)
        if (A.Menu)
            for (QAction* E : A.Entries)
                A.Menu->removeAction(E);
    for (QMenu* M : {FEdit.data(), FArrange.data()})
        if (M)
            FBar->removeAction(M->menuAction());
}

TfrmChild* TChildMenus::ActiveChild(bool WithPage) const
{
    QMdiSubWindow* Sub = FArea ? FArea->currentSubWindow() : nullptr;
    auto* C = Sub ? dynamic_cast<TfrmChild*>(Sub->widget()) : nullptr;
    return C && (!WithPage || C->Page()) ? C : nullptr;
}

void TChildMenus::UpdateOwnCommands()
{
    TfrmChild* C = ActiveChild();
    TPage* P = C ? C->DrawingPage() : nullptr;
    auto* Sel = P ? dynamic_cast<TSelectedObjects*>(P->Selection()) : nullptr;
    const int32_t N = Sel ? Sel->Count() : 0;
    bool Groups = false;
    bool Text = false;
    for (int32_t I = 0; I < N; ++I) {
        TDrawItem* Item = Sel->GetItem(I);
        Groups = Groups || dynamic_cast<TDrawGroup*>(Item);
        Text = Text || dynamic_cast<TTextObj*>(Item);
    }
    actGroup->setEnabled(N >= 1);
    actUngroup->setEnabled(Groups);
    actTextWithPath->setEnabled(N == 2 && Text && dynamic_cast<TDrawObject*>(Sel->GetItem(0)) &&
                                dynamic_cast<TDrawObject*>(Sel->GetItem(1)));
}

void TChildMenus::Refresh()
{
    const bool Was = FbMerged;
    // A new window is activated before its page is attached.
    SetMerged(ActiveChild(false) != nullptr);
    if (Was && !FbMerged && OnUnmerged)
        OnUnmerged();
}

TChildMenus* AttachChildMenus(TfrmTavro& Frame)
{
    auto* Menus = new TChildMenus(
        *Frame.menuBar(), *Frame.MdiArea(),
        [&Frame](const char* Name) -> QAction* { return Frame.ActionByName(QString::fromUtf8(Name)); }, &Frame);
    Menus->OnUnmerged = [&Frame] { Frame.UpdateDocumentActions(); };
    return Menus;
}
