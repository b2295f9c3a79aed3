// The paint-style chooser opens over the macro page that opened it, also
// once the page has been torn off to a window of its own far from where the
// chooser was last closed.
#include "panel_test_support.h"

#include "editors/macro_paint_page.h"
#include "editors/style_dialog.h"
#include "editors/style_items.h"
#include "foundation/app_environment.h"
#include "foundation/ini_file.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>

namespace {

class StyleChooserPlace : public PanelTest {
protected:
    void TearDown() override { TStyle::OnShowModal = nullptr; }
};

} // namespace

TEST_F(StyleChooserPlace, OpensCentredOverTheTornOffMacroPage)
{
    Load({Add<TRectObj>(10, 10, 50, 40)});
    const QRect Work = QGuiApplication::primaryScreen()->availableGeometry();
    // Last closed at the work area's top-left corner.
    AppIniFile().WriteString("4.0", StyleLibraryInfo(TStyleKind::MacroPaint).RegistryName,
                             std::to_string(Work.left()) + "," + std::to_string(Work.top()) + ",240,180,0,0,100,100,1");

    TMacroPaintPage* Page = Panel.MacroPage;
    TfrmPltChild* W = Panel.PageControlWex->TearOffPage(Panel.TabSheetPaintProperty,
                                                        QRect(Work.left() + 20, Work.top() + 20, 400, 300));
    QCoreApplication::processEvents();
    W->move(Work.right() - W->width() - 10, Work.bottom() - W->height() - 10);
    QCoreApplication::processEvents();
    ASSERT_EQ(Page->window(), W);

    QRect Shown;
    QSize Client;
    QRect Owner;
    TStyle::OnShowModal = [&](TfrmStyle& F) {
        Shown = F.frameGeometry();
        Client = F.size();
        Owner = QRect(Page->mapToGlobal(QPoint(0, 0)), Page->size());
        F.reject();
    };
    Page->btnStyleLoad->click();
    ASSERT_FALSE(Shown.isNull());
    ASSERT_TRUE(W->geometry().contains(Owner.center()));
    // Centred over the page, then kept inside the work area.
    const int X = std::clamp(Owner.center().x() - Shown.width() / 2, Work.left(), Work.right() + 1 - Shown.width());
    const int Y = std::clamp(Owner.center().y() - Shown.height() / 2, Work.top(), Work.bottom() + 1 - Shown.height());
    EXPECT_TRUE(Work.contains(Shown)) << Shown.x() << "," << Shown.y();
    EXPECT_LE(std::abs(Shown.x() - X), 1) << Shown.x() << " for " << X;
    EXPECT_LE(std::abs(Shown.y() - Y), 1) << Shown.y() << " for " << Y;
    // The remembered size stays.
    EXPECT_EQ(Client, QSize(240, 180));
}
