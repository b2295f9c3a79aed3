// Stored placements of any numbers are fitted to the work area before use,
// and a window comes back where its frame was.
#include "platform/test_support.h"

#include "foundation/ini_file.h"
#include "platform/qt/window_routines.h"
#include "ui/preview_dialogs.h"
#include "ui/restore_pos.h"
#include "ui/work_area.h"
#include "window_wait.h"

#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <string>
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
        ASSERT_TRUE(BecomesExposed(Form.get()));
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

TEST(PlacementFit, StoredPlacesReadAsTwoNumbersOrNone)
{
    struct TCase {
        const char* Text;
        bool Ok;
        int64_t Left, Top;
    };
    const TCase Cases[] = {
        {"120,-8", true, 120, -8},
        {" 10 , 20 ", true, 10, 20},
        {"+5,7,99", true, 5, 7},
        {"-4000000000,3", true, -4000000000LL, 3},
        {"", false, 0, 0},
        {"12", false, 0, 0},
        {"12,", false, 0, 0},
        {"a,1", false, 0, 0},
        {"1,2x", false, 0, 0},
        {"-,1", false, 0, 0},
        {"1234567890123456789,1", false, 0, 0},
    };
    for (const TCase& C : Cases) {
        int64_t L = 0, T = 0;
        EXPECT_EQ(ReadStoredPlace(C.Text, L, T), C.Ok) << C.Text;
        if (C.Ok) {
            EXPECT_EQ(L, C.Left) << C.Text;
            EXPECT_EQ(T, C.Top) << C.Text;
        }
    }
}

// A window is placed by its stored place, kept in the work area (a place
// above the top comes down to it), or centred without one; the place written
// back is the one read.
TEST(PlacementFit, EditorsArePlacedByTheirStoredPlaceOrCentred)
{
    TRect A;
    ASSERT_TRUE(GetWorkAreaRect(A));
    struct TCase {
        std::string Stored;
        QPoint Want;
    };
    const int W = 200, H = 100;
    const TCase Cases[] = {
        {std::to_string(A.Left + 120) + "," + std::to_string(A.Top - 8), {A.Left + 120, A.Top}},
        {std::to_string(A.Left + 30) + "," + std::to_string(A.Top + 40), {A.Left + 30, A.Top + 40}},
        {"x", {(A.Left + A.Right) / 2 - W / 2, (A.Top + A.Bottom) / 2 - H / 2}},
    };
    for (const TCase& C : Cases) {
        QWidget Form;
        Form.setMinimumSize(W, H);
        Form.setMaximumSize(W, H);
        PlaceWindowStoredOrCentred(&Form, nullptr, C.Stored);
        Form.show();
        ASSERT_TRUE(BecomesExposed(&Form));
        EXPECT_LE(std::abs(Form.x() - C.Want.x()), 1) << C.Stored;
        EXPECT_LE(std::abs(Form.y() - C.Want.y()), 1) << C.Stored;
        if (C.Stored != "x")
            EXPECT_EQ(StoredPlaceText(&Form), std::to_string(C.Want.x()) + "," + std::to_string(C.Want.y()));
    }
}
