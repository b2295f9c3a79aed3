// The frame's docks: one on each edge around the tool palette and the
// document area, empty (0 pixels) until tool windows enter them.
#include "shell_test_support.h"

#include "ui/dock97.h"
#include "ui/tool_window97.h"

#include <QMdiArea>

namespace {

TEST_F(TFrameTest, DocksLieAlongTheFourEdgesAndGrowWithTheirToolWindows)
{
    // One stored toolbar that was never placed: the docks start empty.
    std::vector<std::string> Sections;
    AppIniFile().ReadSections(Sections);
    for (const std::string& S : Sections)
        if (S.rfind("TBar4.0", 0) == 0)
            AppIniFile().EraseSection(S);
    AppIniFile().WriteString("TBar4.0", "1", "Empty,0");
    TfrmTavro& F = Start();
    QWidget* Central = F.centralWidget();
    struct {
        TDock97* Dock;
        const char* Name;
        TDockPosition Position;
    } Docks[] = {{F.Dock97Top, "Dock97Top", dpTop},
                 {F.Dock97Bottom, "Dock97Bottom", dpBottom},
                 {F.Dock97Left, "Dock97Left", dpLeft},
                 {F.Dock97Right, "Dock97Right", dpRight}};
    for (const auto& D : Docks) {
        ASSERT_NE(D.Dock, nullptr) << D.Name;
        EXPECT_EQ(D.Dock->objectName(), D.Name);
        EXPECT_EQ(D.Dock->Position(), D.Position);
        EXPECT_EQ(D.Dock->parentWidget(), Central);
        EXPECT_EQ(DockOrientationOf(D.Dock) == 1 ? D.Dock->height() : D.Dock->width(), 0) << D.Name;
    }
    EXPECT_EQ(F.Dock97Top->BoundLines(), BoundLineBit(blTop));

    auto* MdiArea = F.findChild<QMdiArea*>("ClientWindow");
    ASSERT_NE(MdiArea, nullptr);
    // The palette and the document area sit inside the docks.
    QWidget* Inside = MdiArea->parentWidget();
    ASSERT_EQ(Inside->parentWidget(), Central);
    EXPECT_EQ(Inside->pos(), QPoint(0, 0));
    auto* T = new TCustomToolWindow97(&F);
    T->SetClientAreaSize(QSize(40, 22));
    T->SetDockedTo(F.Dock97Left);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(F.Dock97Left->width(), 44);
    EXPECT_EQ(F.Dock97Left->geometry().left(), 0);
    EXPECT_EQ(Inside->x(), 44);
    T->SetDockedTo(F.Dock97Top);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(F.Dock97Left->width(), 0);
    EXPECT_EQ(F.Dock97Top->height(), 1 + 26);
    EXPECT_EQ(F.Dock97Top->geometry().top(), 0);
    EXPECT_EQ(F.Dock97Top->width(), Central->width());
    EXPECT_EQ(Inside->pos(), QPoint(0, 27));
}

} // namespace
