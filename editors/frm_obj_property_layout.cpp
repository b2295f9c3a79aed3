// The panel's pages over the floating page windows: the "DispPage" layout
// text, the built-in layouts, the windows' size limits by page and the pages'
// relayout when their window changes size.
#include "editors/frm_obj_property.h"
#include "platform/fonts.h"

#include "editors/rich_edit_q.h"

#include "foundation/app_environment.h"
#include "foundation/ini_file.h"
#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "platform/qt/window_routines.h"
#include "ui/anchors_control_wex.h"
#include "ui/combo_box_wex.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/page_control_wex.h"
#include "ui/ui_routines.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QPushButton>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QStackedWidget>
#include <QStyle>
#include <QTabBar>
#include <QTextEdit>
#include <QToolBar>

#include <algorithm>
#include <set>

namespace {

constexpr const char* Section = "4.0";
constexpr const char* Key = "DispPage";
// How far a stored position or size of a page window is taken: the largest
// widget there can be.
constexpr int64_t StoredReach = QWIDGETSIZE_MAX;

void FillUnitCombo(QComboBox* Combo)
{
    Combo->clear();
    Combo->addItems({"pixel", "cm", "inch", "point"});
    Combo->setCurrentIndex(0);
}

// The page control a page sits in now and the page's index there.
QTabWidget* HolderOf(QWidget* Page, int& Index)
{
    for (QWidget* W = Page ? Page->parentWidget() : nullptr; W; W = W->parentWidget())
        if (auto* Tabs = qobject_cast<QTabWidget*>(W)) {
            Index = Tabs->indexOf(Page);
            if (Index >= 0)
                return Tabs;
        }
    Index = -1;
    return nullptr;
}

bool AnyTabVisible(const QTabWidget* Tabs)
{
    for (int I = 0; I < Tabs->count(); ++I)
        if (Tabs->isTabVisible(I))
            return true;
    return false;
}

} // namespace

bool TfrmObjProperty::WorkArea(TRect& R) const
{
    return GetWorkArea ? GetWorkArea(R) : GetWorkAreaRect(R);
}

void TfrmObjProperty::RestoreDispPage()
{
    ++FiUpdating;
    try {
        const int PathIndex = PageControlWex->indexOf(TabSheetOnPath);
        if (PathIndex >= 0) {
            // Its caption goes with it, for a layout that puts it in a window.
            TabSheetOnPath->setWindowTitle(PageControlWex->tabText(PathIndex));
            PageControlWex->removeTab(PathIndex);
            TabSheetOnPath->setParent(this);
            TabSheetOnPath->hide();
        }
        PageControlWex->SetOwnerWindow(FMainForm);
        // The page area the anchored controls keep their distances to.
        if (auto* Stack = PageControlWex->findChild<QStackedWidget*>(QString(), Qt::FindDirectChildrenOnly))
            Stack->resize(TabSheetGeneral->size());
        PageControlWex->Loaded();
        for (QComboBox* C : FTextUnitCombos)
            FillUnitCombo(C);
        cmbLineSpacingRule->clear();
        cmbLineSpacingRule->addItems({"倍数", "最小値", "固定値"});
        cmbLineSpacingRule->setCurrentIndex(0);
        LineSpacingUnitFollowsRule();
        // Each installed face once, under the name the system shows for it
        // (a Japanese font by its Japanese name).
        cmbFace->clear();
        for (const std::string& Face : InstalledFonts().ShownNames())
            cmbFace->addItem(QString::fromStdString(Face));
        const QScreen* Screen = QGuiApplication::primaryScreen();
        const int Fit = Screen ? Screen->geometry().height() / std::max(1, cmbFace->sizeHint().height()) : 16;
        cmbFace->setMaxVisibleItems(std::max(1, Fit / 2));
        ClearPanel();
        RestorePropPageCondition(AppIniFile().ReadString(Section, Key, ""));
        // Text comes into the rich edit through the paste command only, which
        // asks before a long text and keeps to what typing accepts.
        if (auto* Rich = dynamic_cast<TCustomRichEditWex*>(RichEdit))
            Rich->RevokeDropTarget();
    } catch (...) {
        --FiUpdating;
        throw;
    }
    --FiUpdating;
}

void TfrmObjProperty::SaveDispPage()
{
    AppIniFile().WriteString(Section, Key, PropPageConditionToStr());
}

std::string TfrmObjProperty::PropPageConditionToStr() const
{
    std::string S;
    for (TfrmPltChild* W : PageControlWex->FloatingWindows()) {
        TPageControlWex* PC = W->PageControl();
        // A window left without pages holds nothing to restore.
        if (PC->count() == 0)
            continue;
        if (!S.empty())
            S += ",";
        S += W->GetPositionString();
        int32_t Active = -1;
        int32_t Last = -1;
        for (int I = 0; I < PC->count(); ++I) {
            const auto It = std::find(FTabSheets.begin(), FTabSheets.end(), PC->widget(I));
            const int32_t Number = It == FTabSheets.end() ? -1 : int32_t(It - FTabSheets.begin());
            S += "," + std::to_string(Number) + "," + (PC->isTabVisible(I) ? "1" : "0");
            if (I == PC->currentIndex())
                Active = Number;
            Last = Number;
        }
        S += "," + std::to_string(Active >= 0 ? Active : Last);
    }
    return S + ",-1";
}

void TfrmObjProperty::PropPageConditionFromStr(const std::string& Text)
{
    TRect Work;
    if (!WorkArea(Work))
        Work = TRect{};
    int32_t Pos = 1;
    // An empty or missing field takes its default; any other field that is no
    // number makes the whole layout unreadable.
    auto Next = [&](int32_t Default) {
        std::string Field;
        GetField(Text, Pos, ',', Field, "");
        int32_t V = Default;
        if (!Field.empty() && !TryStrToInt(Field, V))
            throw EUserError("TfrmObjProperty.PropPageConditionFromStr: Not a number " + Field);
        return V;
    };
    // Every page goes to one window at most: a page named twice would leave
    // the window it first went to without it, possibly without any page.
    std::set<QWidget*> Placed;
    auto PageOf = [&](int32_t Number) {
        if (Number < 0 || Number >= int32_t(FTabSheets.size()))
            throw EUserError("TfrmObjProperty.PropPageConditionFromStr: Illegal page " + std::to_string(Number));
        QWidget* Page = FTabSheets[size_t(Number)];
        if (!Placed.insert(Page).second)
            throw EUserError("TfrmObjProperty.PropPageConditionFromStr: Page in two groups " +
                             std::to_string(Number));
        return Page;
    };
    auto SetTabVisible = [](QWidget* Page, bool Visible) {
        int Index = -1;
        if (QTabWidget* Tabs = HolderOf(Page, Index))
            Tabs->setTabVisible(Index, Visible);
    };
    // The stored numbers may be any: the origin is added in 64 bits, and the
    // rectangle is brought within the reach of a window before it is made (a
    // rectangle's right edge is its left plus its width, in int); the work
    // area then fits it, as it does the frame's placement.
    const auto Coordinate = [](int64_t V) { return int32_t(std::clamp<int64_t>(V, -StoredReach, StoredReach)); };
    const auto Side = [](int32_t V) { return int32_t(std::clamp<int64_t>(V, 0, StoredReach)); };
    int32_t Left = Next(-1);
    while (Left != -1) {
        const int32_t Top = Next(y());
        const int32_t Width = Next(width());
        const int32_t Height = Next(height());
        const int32_t Rolled = Next(0);
        const QRect Stored(Coordinate(int64_t(Left) + Work.Left), Coordinate(int64_t(Top) + Work.Top), Side(Width),
                           Side(Height));
        QWidget* Page = PageOf(Next(-1));
        const bool Visible = Next(0) != 0;
        TfrmPltChild* Child = PageControlWex->TearOffPage(Page, Stored);
        SetTabVisible(Page, Visible);
        Child->SetRolledUp(Rolled != 0);
        TPageControlWex* PC = Child->PageControl();
        int32_t Number = Next(-1);
        while (Number < 0 || Number >= int32_t(FTabSheets.size()) ||
               PC->indexOf(FTabSheets[size_t(Number)]) < 0) {
            QWidget* Next2 = PageOf(Number);
            const bool Visible2 = Next(0) != 0;
            MoveTabSheetKeepState(Next2, PC);
            SetTabVisible(Next2, Visible2);
            Number = Next(-1);
        }
        if (AnyTabVisible(PC))
            PC->setCurrentWidget(FTabSheets[size_t(Number)]);
        else
            Child->hide();
        ApplyMinMaxInfo(Child);
        Left = Next(-1);
    }
    // A layout that shows no page leaves the user no panel to work with.
    const std::vector<TfrmPltChild*> Windows = PageControlWex->FloatingWindows();
    if (std::none_of(Windows.begin(), Windows.end(), [](TfrmPltChild* W) { return AnyTabVisible(W->PageControl()); }))
        throw EUserError("TfrmObjProperty.PropPageConditionFromStr: No page shown");
}

void TfrmObjProperty::BringPagesHome()
{
    for (int I = 0; I < int(FTabSheets.size()); ++I) {
        QWidget* Page = FTabSheets[size_t(I)];
        if (Page == TabSheetOnPath) {
            // Out of any window it was put in, before the windows go.
            int Index = -1;
            if (QTabWidget* Tabs = HolderOf(Page, Index); Tabs && Tabs != PageControlWex) {
                Tabs->removeTab(Index);
                Page->setParent(this);
                Page->hide();
            }
            continue;
        }
        if (PageControlWex->indexOf(Page) < 0)
            MoveTabSheetKeepState(Page, PageControlWex);
        PageControlWex->tabBar()->moveTab(PageControlWex->indexOf(Page), std::min(I, PageControlWex->count() - 1));
        PageControlWex->setTabVisible(PageControlWex->indexOf(Page), true);
    }
    for (TfrmPltChild* W : PageControlWex->FloatingWindows())
        delete W;
}

void TfrmObjProperty::RestorePropPageCondition(const std::string& Text)
{
    if (Text.empty()) {
        SetDefaultPropPageCondition();
        return;
    }
    try {
        PropPageConditionFromStr(Text);
    } catch (...) {
        WarningMessageBox(FMainForm, "プロパティページの表示状態の復元に失敗しました。標準の設定を使用します。");
        BringPagesHome();
        SetDefaultPropPageCondition();
    }
}

void TfrmObjProperty::SetDefaultPropPageCondition()
{
    TRect W;
    if (!WorkArea(W)) {
        PropPageConditionFromStr(DispPageNarrow);
        return;
    }
    const bool Wide = W.Right - W.Left > 800;
    // The window is made where it goes, along the work area's bottom: made
    // elsewhere and moved, it would show at the first place for a moment and
    // carry what lay under it there along with it.
    const std::string Layout = Wide ? DispPageWide : DispPageNarrow;
    int32_t Pos = 1;
    for (int I = 0; I < 3; ++I)
        GetFieldInt(Layout, Pos, ',', 0);
    const int32_t Height = GetFieldInt(Layout, Pos, ',', 0);
    const int32_t Left = Wide ? 0 : 230;
    const int32_t Width = Wide ? W.Right - W.Left : W.Right - W.Left - 230;
    PropPageConditionFromStr(std::to_string(Left) + "," + std::to_string(W.Bottom - W.Top - Height) + "," +
                             std::to_string(Width) + "," + std::to_string(Height) + "," + Layout.substr(size_t(Pos - 1)));
    const std::vector<TfrmPltChild*> Windows = PageControlWex->FloatingWindows();
    if (Windows.empty())
        return;
    // The least size the pages need may have made it taller.
    TfrmPltChild* First = Windows.front();
    if (const QRect F = First->frameGeometry(); F.bottom() + 1 != W.Bottom || F.width() != Width)
        SetWindowBounds(First, W.Left + Left, W.Bottom - First->height(), Width, First->height());
}

void TfrmObjProperty::PageControlWexGetMinMaxInfo(int32_t Page, TMinMaxInfo& Info)
{
    const std::vector<QWidget*>& Pages = PageControlWex->TabSheets().empty() ? FTabSheets : PageControlWex->TabSheets();
    if (Page < 0 || Page >= int32_t(Pages.size()))
        return;
    QWidget* Sheet = Pages[size_t(Page)];
    int Index = -1;
    QTabWidget* Holder = HolderOf(Sheet, Index);
    if (!Holder || Holder->currentIndex() < 0)
        return;
    QSize Min;
    if (Sheet == TabSheetGeneral)
        Min = QSize(160, 76);
    else if (Sheet == TabSheetPaintProperty)
        Min = QSize(328, 87);
    else if (Sheet == TabSheetShape)
        Min = QSize(278, 196);
    else if (Sheet == TabSheetText)
        Min = QSize(std::max(297, FTextNarrowWidth), 166);
    else if (Sheet == TabSheetOutline)
        Min = QSize(278, 196);
    else
        throw EUserError("PageControlWexGetMinMaxInfo");
    // No less than the page's controls need to show whole.
    if (const auto Need = FPageNeeds.find(Sheet); Need != FPageNeeds.end())
        Min = Min.expandedTo(Need->second);
    // The tabs and the page control's frame around the page.
    QWidget* Shown = Holder->currentWidget();
    QSize Overhead = Holder->size() - Shown->size();
    if (!Holder->isVisible() || Overhead.width() < 0 || Overhead.height() < 0) {
        // Not laid out yet: the tab row and the frame the style gives.
        const int Frame = Holder->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, Holder);
        Overhead = QSize(2 * Frame, Holder->tabBar()->sizeHint().height() + 2 * Frame);
    }
    Min += Overhead;
    Info.MinTrackSize = Info.MinTrackSize.expandedTo(Min);
}

QSize TfrmObjProperty::DesignedPageNeed(const QWidget* Page) const
{
    // The pages are designed in the page area of Page's size; a control kept
    // to the right or bottom keeps its distance to that edge, one stretched
    // keeps a little room of its own. A control kept to the bottom stands
    // below the content kept to the top.
    constexpr int Margin = 4, Stretched = 20;
    const QSize Design = Page->size();
    const bool Outline = Page == TabSheetOutline;
    int Width = 0, Top = 0, Height = 0;
    std::vector<int> Bottomed;
    for (const QWidget* W : Page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (W->isWindow())
            continue;
        const QRect R = W->geometry();
        const TAnchors A = GetAnchors(W);
        const int Right = Design.width() - (R.x() + R.width());
        const int Bottom = Design.height() - (R.y() + R.height());
        if ((A & akLeft) && (A & akRight))
            Width = std::max(Width, R.x() + Stretched + Right);
        else if (A & akRight)
            Width = std::max(Width, R.width() + Right);
        else
            Width = std::max(Width, R.x() + R.width() + Margin);
        // The outline rows are stacked by kind, not shown where designed.
        const int32_t Tag = W->property("Tag").toInt();
        if (Outline && Tag >= 1 && Tag <= 11 && Tag != 10)
            continue;
        if ((A & akTop) && (A & akBottom))
            Height = std::max(Height, R.y() + Stretched + Bottom);
        else if (A & akBottom)
            Bottomed.push_back(R.height() + Bottom);
        else
            Top = std::max(Top, R.y() + R.height() + Margin);
    }
    if (Outline)
        Top = std::max(Top, OutlineRowsBottom() + Margin);
    Height = std::max(Height, Top);
    for (const int B : Bottomed)
        Height = std::max(Height, Top + B);
    return QSize(Width, Height);
}

void TfrmObjProperty::PageControlWexResize(TPageControlWex* PC)
{
    if (!PC || PC->count() == 0 || PC->currentIndex() < 0)
        return;
    for (int I = 0; I < PC->count(); ++I) {
        QWidget* Page = PC->widget(I);
        if (Page == TabSheetPaintProperty) {
            if (OnMacroPageResize)
                OnMacroPageResize();
        } else if (Page == TabSheetText) {
            RelayoutTextPage(Page);
        } else if (Page == TabSheetOutline) {
            if (FDrawItemBuf)
                StackOutlineRows();
        }
    }
}

void TfrmObjProperty::RelayoutTextPage(QWidget* Page)
{
    // The page area's width: the page itself takes it only after its
    // window's resize has been handled.
    QWidget* Area = qobject_cast<QStackedWidget*>(Page->parentWidget()) ? Page->parentWidget() : Page;
    const int Width = Area->width();
    int DX = 0, DY = 0;
    if (lblSpacing->x() < 303 && Width >= FTextWideWidth)
        DX = FTextWideShift, DY = -24;
    else if (lblSpacing->x() > 303 && Width < FTextWideWidth)
        DX = -FTextWideShift, DY = 24;
    else
        return;
    for (QWidget* W : std::initializer_list<QWidget*>{lblSpacing, edtSpacing, cmbUTSpacing, lblBase, edtBase, cmbUTBase})
        W->move(W->x() + DX, W->y() + DY);
    for (QWidget* W : std::initializer_list<QWidget*>{cmbFace, btnRefFont, lblSize, edtSize, cmbUTSize})
        W->move(W->x(), W->y() + DY);
    for (QWidget* W : std::initializer_list<QWidget*>{ToolBarFontStyle, cmbTextPaintKind, lblTextPaintKind})
        W->move(W->x() + DX, W->y() + 2 * DY);
    RichEdit->setGeometry(RichEdit->x(), RichEdit->y() + 2 * DY, RichEdit->width(), RichEdit->height() - 2 * DY);
}

void TfrmObjProperty::StackOutlineRows()
{
    int32_t Y = 40;
    for (int I = 0; I < 9; ++I) {
        TEditTrackBarWex* E = FOutlineEdits[I];
        if (!E || E->isHidden())
            continue;
        FOutlineLabels[I]->move(0, Y);
        E->move(FOutlineEditX, Y - 4);
        if (FOutlinePercents[I])
            FOutlinePercents[I]->move(FOutlineEditX + FOutlineEditW + 3, Y);
        Y += 20;
    }
    cboxTransChar->move(0, Y);
}
