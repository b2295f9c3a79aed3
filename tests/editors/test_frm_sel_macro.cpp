#include "editors/frm_sel_macro.h"
#include "paint/macro_library.h"
#include "ui/golden_image.h"
#include "ui/window_test_support.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace {

QPoint CellCentre(int Col, int Row)
{
    return {Col * TMacroKindGrid::ColWidth + TMacroKindGrid::ColWidth / 2,
            Row * TMacroKindGrid::RowHeight + TMacroKindGrid::RowHeight / 2};
}

TEST(FrmSelMacro, EveryKindInTheGridIsAMacroOfTheCatalogue)
{
    auto Old = std::move(gMacroLibrary);
    auto OldPath = std::move(gMacPathLibrary);
    LoadMacroLibraries(std::filesystem::read_symlink("/proc/self/exe").parent_path().string());
    int Kinds = 0;
    for (int Col = 0; Col < MacroKindCols; ++Col)
        for (int Row = 0; Row < MacroKindRows; ++Row)
            if (MacroKindSelectable(Col, Row)) {
                ++Kinds;
                EXPECT_GE(gMacroLibrary->IndexOf(MacroKindCell(Col, Row).Text), 0) << MacroKindCell(Col, Row).Text;
            }
    EXPECT_EQ(Kinds, 10 + 10 + 8);
    gMacroLibrary = std::move(Old);
    gMacPathLibrary = std::move(OldPath);
}

TEST(FrmSelMacro, EveryKindPictureButOneIsUsedOnce)
{
    std::multiset<int> Used;
    for (int Col = 0; Col < MacroKindCols; ++Col)
        for (int Row = 0; Row < MacroKindRows; ++Row)
            if (MacroKindCell(Col, Row).ImageIndex >= 0)
                Used.insert(MacroKindCell(Col, Row).ImageIndex);
    std::multiset<int> Expected;
    for (int I = 0; I <= 28; ++I)
        if (I != 26)
            Expected.insert(I);
    EXPECT_EQ(Used, Expected);
}

TEST(FrmSelMacro, HeadersAndEmptyCellsRefuseAClick)
{
    TfrmSelMacro Form;
    EXPECT_EQ(Form.SelText(), "塗り(ボカシ)");
    const struct { int Col, Row; } Refused[] = {{0, 5}, {2, 4}, {0, 0}, {1, 11}, {2, 10}, {2, 12}};
    for (const auto& C : Refused) {
        QTest::mouseClick(Form.grid, Qt::LeftButton, {}, CellCentre(C.Col, C.Row));
        EXPECT_EQ(Form.grid->Col(), 0);
        EXPECT_EQ(Form.grid->Row(), 1) << C.Col << "," << C.Row;
    }
    QTest::mouseClick(Form.grid, Qt::LeftButton, {}, CellCentre(1, 3));
    EXPECT_EQ(Form.SelText(), "エンボス（光沢付け）");
    // The keys step over the header below.
    QTest::keyClick(Form.grid, Qt::Key_Right);
    QTest::keyClick(Form.grid, Qt::Key_Down);
    EXPECT_EQ(Form.SelText(), "明るさ・コントラスト");
}

TEST(FrmSelMacro, DoubleClickOnAKindClosesWithOk)
{
    TfrmSelMacro Form;
    QTimer::singleShot(0, &Form, [&Form] {
        QTest::mouseDClick(Form.grid, Qt::LeftButton, {}, CellCentre(2, 9));
    });
    EXPECT_EQ(Form.exec(), QDialog::Accepted);
    EXPECT_EQ(Form.SelText(), "YCbCr調整");
    EXPECT_TRUE(WorkArea().contains(Form.frameGeometry().topLeft()));
}

TEST(FrmSelMacro, GridLooksAsDrawn)
{
    TfrmSelMacro Form;
    Form.grid->SelectCell(1, 6);
    ExpectMatchesGolden(Form.grid->grab().toImage(), "editors_macro_grid.png", 8, 200);
}

} // namespace

// The picker opens with its top-left at the mouse cursor, moved back inside
// the work area where it would leave it.
TEST(FrmSelMacro, OpensAtTheMouseCursorInsideTheWorkArea)
{
    const QRect Work = WorkArea();
    const QPoint Inside = Work.topLeft() + QPoint(30, 20);
    QCursor::setPos(Inside);
    if (QCursor::pos() != Inside)
        GTEST_SKIP() << "the platform cannot move the mouse cursor";
    {
        TfrmSelMacro Form;
        EXPECT_EQ(Form.frameGeometry().topLeft(), Inside);
    }
    QCursor::setPos(Work.bottomRight() - QPoint(5, 5));
    TfrmSelMacro Form;
    const QRect Placed = Form.frameGeometry();
    EXPECT_TRUE(Work.contains(Placed)) << Placed.x() << "," << Placed.y();
    EXPECT_EQ(Placed.right(), Work.right());
    EXPECT_EQ(Placed.bottom(), Work.bottom());
}
