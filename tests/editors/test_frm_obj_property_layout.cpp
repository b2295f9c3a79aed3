// The panel's pages over page windows: "DispPage" restored and saved, the
// built-in layouts by work-area width, garbled layouts, size limits, and the
// text page's two arrangements.
#include "editors/frm_obj_property.h"
#include "foundation/app_environment.h"
#include "foundation/ini_file.h"
#include "picker_test_support.h"
#include "ui/combo_box_wex.h"
#include "ui/edit_track_bar_wex.h"
#include "ui/edit_wex.h"
#include "ui/frm_rollup.h"
#include "ui/page_control_wex.h"
#include "ui/window_test_support.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QTextEdit>
#include <gtest/gtest.h>

#include <map>

namespace {

// A panel on a work area of our choosing.
struct TPanel {
    explicit TPanel(TRect Work = TRect{0, 0, 1024, 740})
    {
        Form.GetWorkArea = [Work](TRect& R) {
            R = Work;
            return true;
        };
    }
    std::vector<TfrmPltChild*> Windows() const { return Form.PageControlWex->FloatingWindows(); }
    // The page numbers of a window's tabs in order.
    std::vector<int> PagesOf(TfrmPltChild* W) const
    {
        std::vector<int> Numbers;
        for (int I = 0; I < W->PageControl()->count(); ++I)
            Numbers.push_back(int(std::find(Form.FTabSheets.begin(), Form.FTabSheets.end(),
                                            W->PageControl()->widget(I)) -
                                  Form.FTabSheets.begin()));
        return Numbers;
    }
    TfrmObjProperty Form;
};

// The real desktop's work area (the windows are fitted into it).
TRect RealWork()
{
    TRect R;
    EXPECT_TRUE(GetWorkAreaRect(R));
    return R;
}

void SetDispPage(const std::string& S)
{
    AppIniFile().WriteString("4.0", "DispPage", S);
}

struct TDefaultCase {
    int Width;
    std::vector<int> Pages;
    int Left, WidthOfWindow;
};

// Where each page window stood when it was first shown.
struct TShownPlaces : QObject {
    TShownPlaces() { qApp->installEventFilter(this); }
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Show)
            if (auto* W = qobject_cast<TfrmPltChild*>(Watched); W && !Places.count(W))
                Places[W] = W->geometry();
        return false;
    }
    std::map<QObject*, QRect> Places;
};

TEST(FrmObjPropertyLayout, BuiltInLayoutByWorkAreaWidth)
{
    const TDefaultCase Cases[] = {
        {800, {0, 1, 2, 3, 4}, 230, 800 - 230},
        {1024, {0, 1, 2, 4, 3}, 0, 1024},
    };
    for (const TDefaultCase& C : Cases) {
        SetDispPage("");
        TPanel P(TRect{0, 0, C.Width, 560});
        TShownPlaces Shown;
        P.Form.RestoreDispPage();
        // Shown on the band where it stays (its tabs may then make it a
        // little taller): a window moved after its showing flashes at its
        // first place and drags what lay under it along.
        for (TfrmPltChild* W : P.Windows()) {
            EXPECT_EQ(Shown.Places[W].left(), W->geometry().left()) << C.Width;
            EXPECT_EQ(Shown.Places[W].bottom(), W->geometry().bottom()) << C.Width;
        }
        ASSERT_EQ(P.Windows().size(), 1u) << C.Width;
        TfrmPltChild* W = P.Windows()[0];
        EXPECT_EQ(P.PagesOf(W), C.Pages) << C.Width;
        EXPECT_EQ(W->PageControl()->currentWidget(), P.Form.TabSheetPaintProperty);
        EXPECT_EQ(W->x(), C.Left) << C.Width;
        EXPECT_EQ(W->width(), C.WidthOfWindow) << C.Width;
        EXPECT_EQ(W->y() + W->height(), 560) << C.Width;
        EXPECT_FALSE(P.Form.isVisible());
        // The path page stays out of every window.
        EXPECT_EQ(P.Form.PageControlWex->indexOf(P.Form.TabSheetOnPath), -1);
    }
}

TEST(FrmObjPropertyLayout, SavingAfterTheNarrowLayoutGivesItsPages)
{
    SetDispPage("");
    TPanel P(TRect{0, 0, 800, 560});
    P.Form.RestoreDispPage();
    const std::string S = P.Form.PropPageConditionToStr();
    TfrmPltChild* W = P.Windows()[0];
    EXPECT_EQ(S, W->GetPositionString() + ",0,1,1,1,2,1,3,1,4,1,1,-1");
}

TEST(FrmObjPropertyLayout, TwoWindowsRoundTrip)
{
    const std::string Stored = "10,20,300,200,0,2,1,0,0,0,400,30,340,220,0,4,1,1,1,3,1,3,-1";
    std::string Saved;
    {
        SetDispPage(Stored);
        TPanel P(RealWork());
        P.Form.RestoreDispPage();
        ASSERT_EQ(P.Windows().size(), 2u);
        EXPECT_EQ(P.PagesOf(P.Windows()[0]), (std::vector<int>{2, 0}));
        EXPECT_EQ(P.PagesOf(P.Windows()[1]), (std::vector<int>{4, 1, 3}));
        EXPECT_EQ(P.Windows()[0]->PageControl()->currentWidget(), P.Form.TabSheetGeneral);
        EXPECT_EQ(P.Windows()[1]->PageControl()->currentWidget(), P.Form.TabSheetText);
        // The general page's tab is hidden.
        EXPECT_FALSE(P.Windows()[0]->PageControl()->isTabVisible(1));
        P.Form.SaveDispPage();
        Saved = AppIniFile().ReadString("4.0", "DispPage", "");
    }
    // What was saved restores the same arrangement.
    SetDispPage(Saved);
    TPanel P(RealWork());
    P.Form.RestoreDispPage();
    EXPECT_EQ(P.Form.PropPageConditionToStr(), Saved);
}

// Stored numbers at the ends of the 32-bit range, with a work area whose
// origin is added to them: every window is made, within reach on the
// screen, and what is saved is where the windows are.
TEST(FrmObjPropertyLayout, StoredNumbersAtTheEndsOfTheRangeGiveReachableWindows)
{
    const std::string Max = "2147483647", Min = "-2147483648";
    std::string Five;
    for (int Page = 0; Page < 5; ++Page)
        Five += Max + "," + Max + ",300,200,0," + std::to_string(Page) + ",1," + std::to_string(Page) + ",";
    struct TCase {
        std::string Stored;
        size_t Windows;
    };
    const TCase Cases[] = {
        {Max + ",20,300,200,0,2,1,2,-1", 1},
        {"10,20," + Max + ",200,0,2,1,2,-1", 1},
        {Max + "," + Max + "," + Max + "," + Max + ",0,2,1,2,-1", 1},
        {Min + "," + Min + "," + Min + "," + Min + ",0,2,1,2,-1", 1},
        {"2147483600,10,300," + Max + ",1,2,1,0,1,0,-1", 1},
        {Five + "-1", 5},
    };
    const TRect Real = RealWork();
    for (const TCase& C : Cases) {
        SetDispPage(C.Stored);
        TPanel P(TRect{Real.Left + 24, Real.Top + 30, Real.Right, Real.Bottom});
        P.Form.RestoreDispPage();
        ASSERT_EQ(P.Windows().size(), C.Windows) << C.Stored;
        for (TfrmPltChild* W : P.Windows()) {
            EXPECT_LE(W->x(), Real.Right - 16) << C.Stored;
            EXPECT_GE(W->x() + W->width(), Real.Left + 16) << C.Stored;
            EXPECT_GE(W->y(), Real.Top) << C.Stored;
            EXPECT_LE(W->width(), Real.Right - Real.Left) << C.Stored;
        }
        P.Form.SaveDispPage();
        const std::string Saved = AppIniFile().ReadString("4.0", "DispPage", "");
        EXPECT_EQ(Saved.find("214748"), std::string::npos) << C.Stored << " saved " << Saved;
    }
}

TEST(FrmObjPropertyLayout, RestoredWindowStretchesThePagesAfterItsFirst)
{
    // As the wide built-in layout saves itself: one window, the general page
    // first. The pages moved in after it fill the window as it does.
    SetDispPage("0,400,1024,300,0,0,1,1,1,2,1,4,1,3,1,1,-1");
    TPanel P(TRect{0, 0, 1024, 740});
    P.Form.RestoreDispPage();
    ASSERT_EQ(P.Windows().size(), 1u);
    TfrmPltChild* W = P.Windows()[0];
    W->show();
    const struct {
        QWidget* Page;
        const char* Stretching;
    } Cases[] = {{P.Form.TabSheetPaintProperty, "MacroPageHost"}, {P.Form.TabSheetText, "RichEdit"}};
    for (const auto& C : Cases) {
        W->PageControl()->setCurrentWidget(C.Page);
        QApplication::processEvents();
        const auto* Child = C.Page->findChild<QWidget*>(C.Stretching);
        ASSERT_TRUE(Child) << C.Stretching;
        EXPECT_GT(Child->width(), C.Page->width() - 40) << C.Stretching << " in a page " << C.Page->width() << " wide";
    }
}

TEST(FrmObjPropertyLayout, AGarbledLayoutWarnsOnceAndUsesTheBuiltInOne)
{
    const char* Garbled[] = {
        "230,328,568,248,0,9,1,1,1,1,-1",                          // page 9
        "10,20,300,200,0,0,1,0,400,30,340,220,0,2,1,0,1,2,-1",    // page 0 in two groups
        "10,20,300,200,0,0,1,1,1,2,1",                             // cut short
        "abc,def",                                                 // no numbers
        "10,20,300,200,0,0,1,1,x,2,1,1,-1",                        // a flag that is no number
        "-1",                                                      // no window
        "0,0,300,200,0,0,0,0,-1",                                  // its only page hidden
        "0,0,300,200,0,2,0,2,10,20,300,200,0,3,0,4,0,3,-1",        // every page hidden
        "0,0,300,200,0,5,1,5,10,20,300,200,0,9,1,9,-1",            // the path page, then page 9
    };
    for (const char* S : Garbled) {
        TBoxRecorder Boxes;
        SetDispPage(S);
        TPanel P(TRect{0, 0, 800, 560});
        P.Form.RestoreDispPage();
        ASSERT_EQ(Boxes.Texts.size(), 1u) << S;
        EXPECT_EQ(Boxes.Texts[0], "プロパティページの表示状態の復元に失敗しました。標準の設定を使用します。");
        ASSERT_EQ(P.Windows().size(), 1u) << S;
        EXPECT_EQ(P.PagesOf(P.Windows()[0]), (std::vector<int>{0, 1, 2, 3, 4})) << S;
        // Saving works and names every page once.
        EXPECT_EQ(P.Form.PropPageConditionToStr(), P.Windows()[0]->GetPositionString() + ",0,1,1,1,2,1,3,1,4,1,1,-1");
        // The path page is kept, out of every window.
        EXPECT_EQ(P.Form.TabSheetOnPath->parentWidget(), &P.Form) << S;
    }
}

// Page numbers run to 5, the path page: a layout may put it in a window.
TEST(FrmObjPropertyLayout, ThePathPageCanHaveAWindow)
{
    const std::string Stored = "10,20,300,200,0,5,1,2,1,5,-1";
    TBoxRecorder Boxes;
    SetDispPage(Stored);
    TPanel P(RealWork());
    P.Form.RestoreDispPage();
    EXPECT_TRUE(Boxes.Texts.empty());
    ASSERT_EQ(P.Windows().size(), 1u);
    TfrmPltChild* W = P.Windows()[0];
    EXPECT_EQ(P.PagesOf(W), (std::vector<int>{5, 2}));
    EXPECT_EQ(W->PageControl()->tabText(0), "パス沿設定");
    EXPECT_EQ(W->PageControl()->currentWidget(), P.Form.TabSheetOnPath);
    EXPECT_EQ(P.Form.PropPageConditionToStr(), W->GetPositionString() + ",5,1,2,1,5,-1");
}

TEST(FrmObjPropertyLayout, AWindowWithoutPagesIsLeftOutWhenSaving)
{
    SetDispPage("10,20,300,200,0,2,1,2,400,30,340,220,0,4,1,4,-1");
    TPanel P(RealWork());
    P.Form.RestoreDispPage();
    ASSERT_EQ(P.Windows().size(), 2u);
    // The page leaves its window by hand: the window is left without pages.
    P.Windows()[0]->PageControl()->removeTab(0);
    P.Form.TabSheetShape->setParent(P.Windows()[1]->PageControl());
    P.Windows()[1]->PageControl()->addTab(P.Form.TabSheetShape, "形状");
    EXPECT_EQ(P.Form.PropPageConditionToStr(), P.Windows()[1]->GetPositionString() + ",4,1,2,1,4,-1");
}

TEST(FrmObjPropertyLayout, MinimumClientSizesByPage)
{
    SetDispPage("");
    TPanel P;
    P.Form.RestoreDispPage();
    const struct {
        int Page;
        QSize Size;
    } Cases[] = {{0, {160, 76}}, {1, {328, 87}}, {2, {278, 196}}, {4, {278, 196}}};
    TPageControlWex* PC = P.Windows()[0]->PageControl();
    const QSize Overhead = PC->size() - PC->currentWidget()->size();
    for (const auto& C : Cases) {
        TMinMaxInfo Info{QSize(10, 10), QSize(5000, 5000)};
        P.Form.PageControlWexGetMinMaxInfo(C.Page, Info);
        // At least these; more where the page's controls need it.
        EXPECT_GE(Info.MinTrackSize.width(), C.Size.width() + Overhead.width()) << C.Page;
        EXPECT_GE(Info.MinTrackSize.height(), C.Size.height() + Overhead.height()) << C.Page;
        EXPECT_EQ(Info.MaxTrackSize, QSize(5000, 5000));
    }
    // A window holding only the general page cannot be made smaller.
    TfrmPltChild* W = P.Form.PageControlWex->TearOffPage(P.Form.TabSheetGeneral, QRect(10, 10, 20, 20));
    // Sized by hand to nothing once it is shown.
    QCoreApplication::processEvents();
    QRect R(W->x(), W->y(), 1, 1);
    ApplyMinMaxInfo(W, R);
    W->resize(R.size());
    QCoreApplication::processEvents();
    EXPECT_GE(W->PageControl()->currentWidget()->width(), 160);
    EXPECT_GE(W->PageControl()->currentWidget()->height(), 76);
}

TEST(FrmObjPropertyLayout, TextPageSwitchesArrangementWhereTheWideOneFits)
{
    SetDispPage("");
    TPanel P;
    P.Form.RestoreDispPage();
    QWidget* Text = P.Form.TabSheetText;
    TfrmPltChild* W = P.Windows()[0];
    W->PageControl()->setCurrentWidget(Text);
    QCoreApplication::processEvents();
    const int Delta = W->width() - Text->parentWidget()->width();
    // The window is sized so that the page gets Width.
    auto Relayout = [&](int Width) {
        W->resize(Width + Delta, W->height());
        QCoreApplication::processEvents();
        ASSERT_EQ(Text->width(), Width);
    };
    // Narrow: as narrow as the window of all pages goes.
    const int Narrow = std::max(400, W->minimumWidth() - Delta);
    ASSERT_LT(Narrow, 626);
    Relayout(Narrow);
    const QPoint Spacing = P.Form.lblSpacing->pos();
    const QPoint Face = P.Form.cmbFace->pos();
    const QPoint Kind = P.Form.cmbTextPaintKind->pos();
    const int RichTop = P.Form.RichEdit->y();
    const int RichBottom = P.Form.RichEdit->geometry().bottom();
    ASSERT_LT(Spacing.x(), 303);
    // At 626 pixels at least, more where the face's captions need it.
    const int Wide = P.Form.TextWideWidth();
    const int Shift = P.Form.TextWideShift();
    ASSERT_GE(Wide, 626);
    ASSERT_GE(Shift, 313);
    Relayout(Wide);
    EXPECT_EQ(P.Form.lblSpacing->pos(), Spacing + QPoint(Shift, -24));
    EXPECT_EQ(P.Form.cmbFace->pos(), Face + QPoint(0, -24));
    EXPECT_EQ(P.Form.cmbTextPaintKind->pos(), Kind + QPoint(Shift, -48));
    EXPECT_EQ(P.Form.RichEdit->y(), RichTop - 48);
    EXPECT_EQ(P.Form.RichEdit->geometry().bottom(), RichBottom);
    Relayout(Wide + 74);
    EXPECT_EQ(P.Form.lblSpacing->pos(), Spacing + QPoint(Shift, -24));
    EXPECT_EQ(P.Form.RichEdit->y(), RichTop - 48);
    Relayout(Wide - 1);
    EXPECT_EQ(P.Form.lblSpacing->pos(), Spacing);
    EXPECT_EQ(P.Form.cmbTextPaintKind->pos(), Kind);
    EXPECT_EQ(P.Form.RichEdit->y(), RichTop);
    EXPECT_EQ(P.Form.RichEdit->geometry().bottom(), RichBottom);
    Relayout(Narrow);
    EXPECT_EQ(P.Form.cmbFace->pos(), Face);
}

TEST(FrmObjPropertyLayout, PagesGrabbedForALook)
{
    TTempDir Dir;
    SetDispPage("");
    TPanel P;
    P.Form.RestoreDispPage();
    TfrmPltChild* W = P.Windows()[0];
    W->resize(640, 260);
    for (int I = 0; I < 5; ++I) {
        W->PageControl()->setCurrentWidget(P.Form.FTabSheets[size_t(I)]);
        const QImage Shot = W->grab().toImage();
        EXPECT_FALSE(Shot.isNull());
        Shot.save(QString::fromStdString(Dir.Dir) + QString("/page%1.png").arg(I));
        if (const char* Out = std::getenv("TAVRO_PANEL_SHOTS"))
            Shot.save(QString(Out) + QString("/page%1.png").arg(I));
    }
}

} // namespace

TEST(FrmObjPropertyLayout, TextPageControlsStandClearInBothArrangements)
{
    SetDispPage("");
    TPanel P;
    P.Form.RestoreDispPage();
    QWidget* Text = P.Form.TabSheetText;
    TfrmPltChild* W = P.Windows()[0];
    W->PageControl()->setCurrentWidget(Text);
    W->show();
    QCoreApplication::processEvents();
    const int Delta = W->width() - Text->parentWidget()->width();
    TfrmObjProperty& F = P.Form;
    for (const int Width : {400, F.TextWideWidth()}) {
        W->resize(Width + Delta, W->height());
        QCoreApplication::processEvents();
        // Every control of the page against every other on its line: none
        // under another (a caption's colon was hidden by its edit).
        std::vector<QWidget*> All = {F.lblLineSpacing, F.cmbLineSpacingRule, F.edtLineSpacing, F.cmbUTLineSpacing,
                                     F.cmbZoom, F.lblSpacing, F.edtSpacing, F.cmbUTSpacing, F.lblBase, F.edtBase,
                                     F.cmbUTBase, F.cmbFace, F.btnRefFont, F.lblSize, F.edtSize, F.cmbUTSize,
                                     F.ToolBarFontStyle, F.lblTextPaintKind, F.cmbTextPaintKind};
        for (size_t I = 0; I < All.size(); ++I)
            for (size_t J = I + 1; J < All.size(); ++J)
                EXPECT_FALSE(All[I]->geometry().intersects(All[J]->geometry()))
                    << Width << ": " << All[I]->objectName().toStdString() << " and "
                    << All[J]->objectName().toStdString();
        // Nothing of the page is cut at its right edge.
        for (QWidget* C : All)
            EXPECT_LE(C->geometry().right(), Width - 1) << Width << ": " << C->objectName().toStdString();
        // A unit shows whole, beside the drop-down arrow.
        for (QComboBox* C : {F.cmbUTLineSpacing, F.cmbUTSpacing, F.cmbUTBase, F.cmbUTSize})
            EXPECT_GE(C->width(), C->fontMetrics().horizontalAdvance("pixel") + 20) << C->objectName().toStdString();
    }
}

// Every number edit of the panel holds its widest value in the screen's
// face, the text page's length edits in each of their units; at its least
// width the text page shows every control of its rows whole.
TEST(FrmObjPropertyLayout, EveryEditHoldsItsWidestValueAndTheNarrowTextPageShowsItsRowsWhole)
{
    SetDispPage("");
    TPanel P;
    TfrmObjProperty& F = P.Form;
    F.RestoreDispPage();
    for (TEditTrackBarWex* E : F.findChildren<TEditTrackBarWex*>()) {
        const QString Widest = E->WidestText();
        EXPECT_GE(EditTextRoom(E), E->fontMetrics().horizontalAdvance(Widest) + 1)
            << E->objectName().toStdString() << " " << Widest.toStdString();
    }
    for (int Unit : {1, 2, 3, 0})
        for (QComboBox* C : std::initializer_list<QComboBox*>{F.cmbUTSize, F.cmbUTBase, F.cmbUTSpacing}) {
            C->setCurrentIndex(Unit);
            for (TEditTrackBarWex* E : {F.edtSize, F.edtBase, F.edtSpacing}) {
                const QString Widest = E->WidestText();
                EXPECT_GE(EditTextRoom(E), E->fontMetrics().horizontalAdvance(Widest) + 1)
                    << E->objectName().toStdString() << " unit " << Unit << " " << Widest.toStdString();
            }
        }
    // サイズ at 400 pixels, as the designer saw it cut to "00".
    EXPECT_GE(EditTextRoom(F.edtSize), F.edtSize->fontMetrics().horizontalAdvance("400") + 1);
    // The narrow arrangement within the least width of the page.
    TMinMaxInfo Info{QSize(10, 10), QSize(5000, 5000)};
    F.PageControlWexGetMinMaxInfo(3, Info);
    TPageControlWex* PC = P.Windows()[0]->PageControl();
    const int Least = Info.MinTrackSize.width() - (PC->width() - PC->currentWidget()->width());
    EXPECT_GE(Least, 297);
    if (F.lblSpacing->x() > 303) {
        F.TabSheetText->parentWidget()->resize(Least, F.TabSheetText->height());
        for (TfrmPltChild* W : P.Windows())
            F.PageControlWexResize(W->PageControl());
    }
    ASSERT_LT(F.lblSpacing->x(), 303);
    for (QWidget* W : F.TabSheetText->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
        if (W->y() < 100 && !W->isHidden())
            EXPECT_LT(W->geometry().right(), Least) << W->objectName().toStdString();
}
