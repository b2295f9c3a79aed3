// A page window sized down to its least size still shows every control its
// page shows whole: each page alone in a window for each kind of selection,
// and every page of the window that holds them all.
#include "panel_test_support.h"

#include "ui/frm_rollup.h"

#include <QCoreApplication>

#include <functional>

namespace {

using PageWindowMinimum = PanelTest;

// Sizes the window to nothing (its least size holds) and checks that every
// control its current page shows lies inside its client area.
void ExpectPageWhole(TfrmPltChild* W, QWidget* Page, const std::string& Name)
{
    W->PageControl()->setCurrentWidget(Page);
    W->show();
    QCoreApplication::processEvents();
    W->resize(1, 1);
    QCoreApplication::processEvents();
    ASSERT_EQ(W->size(), W->minimumSize()) << Name;
    const QRect Client = W->ClientRect();
    int Seen = 0;
    for (QWidget* C : Page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (C->isHidden())
            continue;
        ++Seen;
        const QRect R(C->mapTo(W, QPoint(0, 0)), C->size());
        EXPECT_TRUE(Client.contains(R)) << Name << ": " << C->objectName().toStdString() << " at " << R.x() << ","
                                        << R.y() << " " << R.width() << "x" << R.height() << " outside "
                                        << Client.width() << "x" << Client.height();
    }
    EXPECT_GT(Seen, 0) << Name;
}

TEST_F(PageWindowMinimum, EachPageAloneShowsWholeAtItsLeastSize)
{
    auto Outlined = [this](int32_t Kind) {
        return [this, Kind]() -> TDrawItem* {
            TRectObj* R = Add<TRectObj>(10, 10, 80, 60);
            TOutline O;
            O.FOutlineKind = Kind;
            TDrawItem::SetOutline(*R, O);
            return R;
        };
    };
    auto Star = [this]() -> TDrawItem* {
        TStarObj* S = Add<TStarObj>(10, 10, 80, 80);
        S->SetParam(TrecStarParam{});
        return S;
    };
    auto Polygon = [this]() -> TDrawItem* {
        TPolygonObj* P = Add<TPolygonObj>(10, 10, 80, 80);
        P->SetParam(TrecPolygonParam{});
        return P;
    };
    auto Rect = [this]() -> TDrawItem* { return Add<TRectObj>(10, 10, 80, 60); };
    auto Text = [this]() -> TDrawItem* {
        auto T = std::make_unique<TTextObj>(&Page(), -1);
        return Page().RootGroup().AddChild(std::move(T), -1);
    };
    struct TCase {
        std::string Name;
        QWidget* Page;
        std::function<TDrawItem*()> Make;
    };
    std::vector<TCase> Cases = {{"一般", Panel.TabSheetGeneral, Rect},
                                {"マクロ", Panel.TabSheetPaintProperty, Rect},
                                {"形状 star", Panel.TabSheetShape, Star},
                                {"形状 polygon", Panel.TabSheetShape, Polygon},
                                {"形状 rectangle", Panel.TabSheetShape, Rect},
                                {"テキスト", Panel.TabSheetText, Text}};
    for (int32_t Kind = 0; Kind <= 8; ++Kind)
        Cases.push_back({"外形 " + std::to_string(Kind), Panel.TabSheetOutline, Outlined(Kind)});
    for (const TCase& C : Cases) {
        Load({C.Make()});
        TfrmPltChild* W = Panel.PageControlWex->TearOffPage(C.Page, QRect(10, 10, 20, 20));
        ASSERT_NE(W, nullptr) << C.Name;
        ASSERT_EQ(W->PageControl()->count(), 1) << C.Name;
        ExpectPageWhole(W, C.Page, C.Name);
        Load({});
    }
}

TEST_F(PageWindowMinimum, AWindowOfSeveralPagesHoldsTheLargestNeed)
{
    TStarObj* S = Add<TStarObj>(10, 10, 80, 80);
    S->SetParam(TrecStarParam{});
    Load({S});
    TfrmPltChild* W = qobject_cast<TfrmPltChild*>(Panel.TabSheetShape->window());
    ASSERT_NE(W, nullptr);
    ASSERT_GE(W->PageControl()->count(), 3);
    for (QWidget* Page : {Panel.TabSheetGeneral, Panel.TabSheetShape, Panel.TabSheetPaintProperty})
        if (W->PageControl()->indexOf(Page) >= 0)
            ExpectPageWhole(W, Page, Page->objectName().toStdString());
}

} // namespace
