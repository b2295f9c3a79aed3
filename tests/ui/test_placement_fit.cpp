// Stored placements of any numbers are fitted to the work area before use,
// and a window comes back where its frame was.
#include "platform/test_support.h"

#include "foundation/ini_file.h"
#include "platform/qt/window_routines.h"
#include "ui/preview_dialogs.h"
#include "ui/restore_pos.h"
#include "ui/work_area.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <climits>
#include <memory>

TEST(PlacementFit, SidesLargerThanTheAreaBecomeTheAreasAndThePositionComesIntoReach)
{
    const TRect A{0, 0, 1000, 700};
    struct TCase {
        int32_t Left, Top, Width, Height;
        TRect Want;
    };
    const TCase Cases[] = {
        {10, 20, 300, 200, {10, 20, 310, 220}},
        {INT_MIN, INT_MIN, 1000000000, 1000000000, {16 - 1000, 0, 16, 700}},
        {INT_MAX, INT_MAX, INT_MIN, INT_MIN, {984, 684, 984, 684}},
        {1000000000, 1000000000, 1000000000, 1000000000, {984, 684, 1984, 1384}},
    };
    for (const TCase& C : Cases)
        EXPECT_EQ(FitBoundsInArea(A, C.Left, C.Top, C.Width, C.Height), C.Want) << C.Left << "," << C.Top;
}

TEST(PlacementFit, TheFrameComesBackWhereItWasWithItsTitleBarInside)
{
    TRect A;
    ASSERT_TRUE(GetWorkAreaRect(A));
    TTempDir Tmp;
    TMemIniFile Ini(Tmp / "tavro.ini");
    Ini.WriteString("4.0", "PosMain", "10,0,300,200,1");
    for (int Run = 0; Run < 2; ++Run) {
        auto Form = std::make_unique<QWidget>();
        auto* Pos = new TRestorePos(Form.get());
        Pos->SetIniFile(&Ini);
        Pos->SetRegistryKey("4.0");
        Pos->SetRegistryName("PosMain");
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        ASSERT_NE(Form->frameGeometry(), Form->geometry());
        EXPECT_EQ(Form->frameGeometry().topLeft(), QPoint(A.Left + 10, A.Top)) << "run " << Run;
        EXPECT_EQ(Form->size(), QSize(300, 200)) << "run " << Run;
        Form.reset();
        // Written back as read: no drift by the frame's margins.
        EXPECT_EQ(Ini.ReadString("4.0", "PosMain", ""), "10,0,300,200,1") << "run " << Run;
    }
}

TEST(PlacementFit, FileDialogsFitTheirStoredRectanglesToo)
{
    TRect A;
    ASSERT_TRUE(GetWorkAreaRect(A));
    const int32_t AW = A.Right - A.Left, AH = A.Bottom - A.Top;
    const auto ExpectFits = [&](const QRect& G, const std::string& What) {
        EXPECT_LE(G.width(), AW) << What;
        EXPECT_LE(G.height(), AH) << What;
        EXPECT_GE(G.top(), A.Top) << What;
        EXPECT_LE(G.top(), A.Bottom - 16) << What;
        EXPECT_LE(G.left(), A.Right - 16) << What;
    };
    // Left, top, right, bottom: the sides overflow 32 bits.
    for (const char* Stored : {"-2147483648,-2147483648,2147483647,2147483647", "0,0,1000000000,1000000000"}) {
        TTempDir Tmp;
        TMemIniFile Ini(Tmp / "tavro.ini");
        Ini.WriteString("4.0", "SaveDlg", Stored);
        TSaveDialogWex D;
        D.SetIniFile(&Ini);
        D.SetRegistryKey("4.0");
        D.SetRegistryName("SaveDlg");
        D.show();
        ExpectFits(D.geometry(), Stored);
        D.reject();
    }
}
