// The least sizes of the palette and of the page windows as the windows
// themselves hold them (and so tell the window manager): every road of
// sizing, not only the frame's own drag, stops there.
#include "editors/frm_obj_property.h"
#include "editors/frm_plt_color.h"
#include "editors/picker_test_support.h"
#include "foundation/app_environment.h"
#include "foundation/ini_file.h"
#include "ui/page_control_wex.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace {

TEST(ToolWindowMinimum, PaletteHoldsItsLeastClientSize)
{
    TTestIni Ini;
    TfrmPltColor Form(nullptr, Ini.Ini.get());
    Form.show();
    const QSize Frame = Form.size() - Form.ClientRect().size();
    EXPECT_EQ(Form.minimumSize(), QSize(222, 160) + Frame);
    Form.resize(100, 80);
    EXPECT_EQ(Form.ClientRect().size(), QSize(222, 160));
}

TEST(ToolWindowMinimum, PageWindowsHoldWhatTheirPagesNeed)
{
    AppIniFile().WriteString("4.0", "DispPage", "");
    TfrmObjProperty Form;
    Form.GetWorkArea = [](TRect& R) {
        R = TRect{0, 0, 1024, 740};
        return true;
    };
    Form.RestoreDispPage();
    QCoreApplication::processEvents();
    const std::vector<TfrmPltChild*> Windows = Form.PageControlWex->FloatingWindows();
    ASSERT_FALSE(Windows.empty());
    for (TfrmPltChild* W : Windows) {
        TMinMaxInfo Info;
        W->GetMinMaxInfo(Info);
        EXPECT_EQ(W->minimumSize(), Info.MinTrackSize);
    }
    // The text page's narrow rows whole, in a window sized by hand to nothing.
    TMinMaxInfo Text{QSize(10, 10), QSize(5000, 5000)};
    Form.PageControlWexGetMinMaxInfo(3, Text);
    TfrmPltChild* W = qobject_cast<TfrmPltChild*>(Form.TabSheetText->window());
    ASSERT_NE(W, nullptr);
    W->PageControl()->setCurrentWidget(Form.TabSheetText);
    const QSize Frame = W->size() - W->ClientRect().size();
    EXPECT_GE(W->minimumSize().width(), Text.MinTrackSize.width() + Frame.width());
    EXPECT_GE(W->minimumSize().width(), 297 + Frame.width());
    W->resize(10, 10);
    QCoreApplication::processEvents();
    const QSize PageControlOverhead = W->PageControl()->size() - Form.TabSheetText->size();
    // (At least: the window's other pages may need more.)
    EXPECT_GE(Form.TabSheetText->width(), Text.MinTrackSize.width() - PageControlOverhead.width());
    EXPECT_GE(Form.TabSheetText->height(), 166);
}

} // namespace
