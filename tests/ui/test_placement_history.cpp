// Window placement and the recent-files list: placement texts in the
// settings and the registry, the list's order and limits, and the menu
// entries in the three placements.
#include "platform/test_support.h"
#include "thread_cpu_time.h"

#include "foundation/ini_file.h"
#include "foundation/user_error.h"
#include "platform/qt/window_routines.h"
#include "platform/registry_store.h"
#include "ui/history_menu.h"
#include "ui/restore_pos.h"

#include <QAction>
#include <QMenu>
#include <QWidget>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>

namespace {

// A private registry file for the scope.
class TPrivateRegistry {
public:
    TPrivateRegistry()
    {
        FSaved.emplace("XDG_CONFIG_HOME");
        setenv("XDG_CONFIG_HOME", FTmp.Dir.c_str(), 1);
        RegistryReload();
    }
    ~TPrivateRegistry()
    {
        FSaved.reset();
        RegistryReload();
    }

private:
    TTempDir FTmp;
    std::optional<TSavedEnv> FSaved;
};

TRect WorkArea()
{
    TRect R;
    EXPECT_TRUE(GetWorkAreaRect(R));
    return R;
}

// A form with a placement component bound to the settings object under
// "4.0" / "PosMain".
struct TForm {
    std::unique_ptr<QWidget> Widget = std::make_unique<QWidget>();
    TRestorePos* Pos;
    explicit TForm(TMemIniFile* Ini, QRect Designed = QRect(50, 60, 250, 150))
    {
        Widget->setGeometry(Designed);
        Pos = new TRestorePos(Widget.get());
        Pos->SetIniFile(Ini);
        Pos->SetRegistryKey("4.0");
        Pos->SetRegistryName("PosMain");
    }
};

// The texts of a menu's items, separators as "-".
std::string MenuText(const QMenu* M)
{
    std::string S;
    for (const QAction* A : M->actions())
        S += (S.empty() ? "" : "|") + (A->isSeparator() ? std::string("-") : A->text().toStdString());
    return S;
}

std::string ListText(const TStringList& L)
{
    std::string S;
    for (int32_t I = 0; I < L.Count(); ++I)
        S += (I ? "|" : "") + L.Strings(I);
    return S;
}

} // namespace

TEST(RestorePos, RestoresStoredPlacementRelativeToWorkArea)
{
    const TRect A = WorkArea();
    struct TCase {
        const char* Stored;
        QRect Want;
        bool Maximised;
    };
    const TCase Cases[] = {
        {"10,20,300,200,1", QRect(A.Left + 10, A.Top + 20, 300, 200), false},
        // Maximised: the normal size is the stored one.
        {"10,20,300,200,3", QRect(A.Left + 10, A.Top + 20, 300, 200), true},
        // Missing fields keep the form's values; left and top still move by
        // the work area's origin.
        {"10,20", QRect(A.Left + 10, A.Top + 20, 250, 150), false},
        // Wholly left of the work area: 16 pixels are pulled back in.
        {"-1000,20,300,200,1", QRect(A.Left + 16 - 300, A.Top + 20, 300, 200), false},
        // Never saved: the designed bounds stay.
        {nullptr, QRect(50, 60, 250, 150), false},
    };
    for (const TCase& C : Cases) {
        TTempDir Tmp;
        TMemIniFile Ini(Tmp / "tavro.ini");
        if (C.Stored)
            Ini.WriteString("4.0", "PosMain", C.Stored);
        TForm F(&Ini);
        EXPECT_FALSE(F.Pos->RestorePending());
        EXPECT_EQ(F.Widget->normalGeometry(), C.Want) << (C.Stored ? C.Stored : "(none)");
        EXPECT_EQ(F.Widget->isMaximized(), C.Maximised) << (C.Stored ? C.Stored : "(none)");
    }
}

TEST(RestorePos, SavesFiveFieldsOnRequestAndFourForAFormWithoutWindow)
{
    const TRect A = WorkArea();
    TTempDir Tmp;
    TMemIniFile Ini(Tmp / "tavro.ini");
    // A maximised form writes its normal rectangle and show command 3.
    Ini.WriteString("4.0", "PosMain", "10,20,300,200,3");
    {
        TForm F(&Ini);
        F.Widget->show();
        ASSERT_TRUE(F.Widget->isMaximized());
        Ini.WriteString("4.0", "PosMain", "");
        F.Pos->Save();
        EXPECT_EQ(Ini.ReadString("4.0", "PosMain", ""), "10,20,300,200,3");
        Ini.WriteString("4.0", "PosMain", "");
    }
    // Its destruction writes the same again: the window still existed.
    EXPECT_EQ(Ini.ReadString("4.0", "PosMain", ""), "10,20,300,200,3");

    // A form never shown writes its geometry as four fields when destroyed.
    Ini.WriteString("4.0", "PosMain", "");
    {
        TForm F(&Ini, QRect(A.Left + 30, A.Top + 40, 200, 100));
        EXPECT_EQ(F.Widget->windowHandle(), nullptr);
    }
    EXPECT_EQ(Ini.ReadString("4.0", "PosMain", ""),
              std::to_string(A.Left + 30) + "," + std::to_string(A.Top + 40) + ",200,100");
}

TEST(RestorePos, RegistryRoundTripWithoutSettingsObject)
{
    TPrivateRegistry Reg;
    const TRect A = WorkArea();
    const std::string Key = "Software\\Tavro\\Test";
    auto Make = [&] {
        auto W = std::make_unique<QWidget>();
        W->setGeometry(A.Left + 70, A.Top + 80, 320, 240);
        auto* P = new TRestorePos(W.get());
        P->SetRegistryKey(Key);
        P->SetRegistryName("PosDlg");
        return W;
    };
    std::string S;
    {
        auto W = Make();
        W->findChild<TRestorePos*>()->Save();
        ASSERT_TRUE(RegQueryString(HKEY_CURRENT_USER, Key, "PosDlg", S));
        EXPECT_EQ(S, "70,80,320,240,1");
    }
    ASSERT_TRUE(RegSetString(HKEY_CURRENT_USER, Key, "PosDlg", "5,6,111,99,1"));
    EXPECT_EQ(Make()->geometry(), QRect(A.Left + 5, A.Top + 6, 111, 99));
}

TEST(HistoryList, MovesToTopAndKeepsTen)
{
    THistoryList L;
    for (const char* N : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j"})
        L.Add(N);
    EXPECT_EQ(ListText(L), "j|i|h|g|f|e|d|c|b|a");
    L.Add("C");  // held already (the list ignores ASCII case): moved as spelled there
    EXPECT_EQ(ListText(L), "c|j|i|h|g|f|e|d|b|a");
    L.Add("k");  // the 11th distinct name pushes the oldest out
    EXPECT_EQ(ListText(L), "k|c|j|i|h|g|f|e|d|b");
}

TEST(HistoryMenu, LoadsStoredListWithBugEntriesAndCountClamped)
{
    struct TCase {
        const char* Count;
        std::vector<std::pair<int, const char*>> Entries;
        const char* Want;
    };
    const TCase Cases[] = {
        {"3", {{0, "a"}, {2, "c"}}, "a|BUG|c"},
        // A count above ten reads only the ten most recent entries.
        {"11", {{0, "a"}, {1, "b"}, {10, "old"}}, "a|b|BUG"},
        {"2147483647", {{0, "a"}}, "a|BUG"},
        {"-4", {{0, "a"}}, ""},
        {"x", {{0, "a"}}, ""},
    };
    for (const TCase& C : Cases) {
        TTempDir Tmp;
        TMemIniFile Ini(Tmp / "tavro.ini");
        Ini.WriteString("History", "Count", C.Count);
        for (const auto& [I, Name] : C.Entries)
            Ini.WriteString("History", "H" + std::to_string(I), Name);
        QMenu Menu;
        THistoryMenu H;
        H.SetIniFile(&Ini);
        H.SetTargetMenuItem(Menu.menuAction());
        const auto Start = ThreadCpuTime();
        H.SetActive(true);
        EXPECT_LT(ThreadCpuTime() - Start, std::chrono::seconds(1)) << C.Count;
        EXPECT_EQ(ListText(H.List()), C.Want) << "Count " << C.Count;
    }
}

TEST(HistoryMenu, SavesListInSettingsAndRegistry)
{
    TPrivateRegistry Reg;
    TTempDir Tmp;
    TMemIniFile Ini(Tmp / "tavro.ini");
    QMenu Menu;
    for (TMemIniFile* Store : {&Ini, static_cast<TMemIniFile*>(nullptr)}) {
        THistoryMenu H;
        H.SetIniFile(Store);
        H.SetKeyName("Software\\Tavro");
        H.SetTargetMenuItem(Menu.menuAction());
        H.SetActive(true);
        H.Add("/d/one.srn");
        H.Add("/d/two.srn");
        H.SetActive(false);
    }
    EXPECT_EQ(Ini.ReadString("History", "Count", ""), "2");
    EXPECT_EQ(Ini.ReadString("History", "H0", ""), "/d/two.srn");
    EXPECT_EQ(Ini.ReadString("History", "H1", ""), "/d/one.srn");
    std::string S;
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, "Software\\Tavro\\History", "Count", S));
    EXPECT_EQ(S, "2");
    EXPECT_TRUE(RegQueryString(HKEY_CURRENT_USER, "Software\\Tavro\\History", "H0", S));
    EXPECT_EQ(S, "/d/two.srn");

    // Read back into a new component from the registry.
    THistoryMenu H;
    H.SetKeyName("Software\\Tavro");
    H.SetTargetMenuItem(Menu.menuAction());
    H.SetActive(true);
    EXPECT_EQ(ListText(H.List()), "/d/two.srn|/d/one.srn");
}

TEST(HistoryMenu, EntriesInTheThreePlacements)
{
    struct TCase {
        const char* Name;
        int32_t Mode;
        const char* WantFile;    // the File menu afterwards
        const char* WantRecent;  // the sub-menu of "Recent" afterwards
    };
    const TCase Cases[] = {
        {"sub-menu", 0, "Open|Recent|Exit", "Clear|&0 /a|&1 /b"},
        {"plain item", 1, "Open|Recent|Exit", "&0 /a|&1 /b"},
        {"separator", 2, "Open|-|-|&0 /a|&1 /b|Exit", ""},
    };
    for (const TCase& C : Cases) {
        QMenu File;
        File.addAction("Open");
        QAction* Target;
        std::unique_ptr<QMenu> Recent;
        if (C.Mode == 0) {
            Recent = std::make_unique<QMenu>("Recent");
            Recent->addAction("Clear");
            Target = File.addMenu(Recent.get());
        } else if (C.Mode == 1) {
            Target = File.addAction("Recent");
        } else {
            Target = File.addSeparator();
        }
        File.addAction("Exit");
        TTempDir Tmp;
        TMemIniFile Ini(Tmp / "tavro.ini");
        THistoryMenu H;
        H.SetIniFile(&Ini);
        H.SetTargetMenuItem(Target);
        EXPECT_EQ(H.PlacementMode(), C.Mode) << C.Name;
        H.SetActive(true);
        H.SetHistoryNum(2);
        for (const char* N : {"/c", "/b", "/a"})
            H.Add(N);
        EXPECT_EQ(MenuText(&File), C.WantFile) << C.Name;
        EXPECT_EQ(Target->menu() ? MenuText(Target->menu()) : "", C.WantRecent) << C.Name;

        H.SetActive(false);
        EXPECT_EQ(MenuText(&File), C.Mode == 2 ? "Open|-|Exit" : "Open|Recent|Exit") << C.Name;
        EXPECT_EQ(Target->menu() ? MenuText(Target->menu()) : "", C.Mode == 0 ? "Clear" : "") << C.Name;
    }
}

TEST(HistoryMenu, CaptionsNumberAllTenAndChoosingMovesToTop)
{
    QMenu Menu;
    TTempDir Tmp;
    TMemIniFile Ini(Tmp / "tavro.ini");
    THistoryMenu H;
    H.SetIniFile(&Ini);
    H.SetTargetMenuItem(Menu.menuAction());
    H.SetActive(true);
    H.SetHistoryNum(12);
    EXPECT_EQ(H.HistoryNum(), 10);
    for (int I = 10; I >= 0; --I)
        H.Add("/f" + std::to_string(I));
    EXPECT_EQ(MenuText(&Menu), "&0 /f0|&1 /f1|&2 /f2|&3 /f3|&4 /f4|&5 /f5|&6 /f6|&7 /f7|&8 /f8|&9 /f9");

    std::string Chosen;
    H.OnHistorySelected = [&](THistoryMenu* Sender, const std::string& Name) {
        EXPECT_EQ(Sender, &H);
        Chosen = Name;
    };
    Menu.actions()[3]->trigger();
    EXPECT_EQ(Chosen, "/f3");
    EXPECT_EQ(MenuText(&Menu), "&0 /f3|&1 /f0|&2 /f1|&3 /f2|&4 /f4|&5 /f5|&6 /f6|&7 /f7|&8 /f8|&9 /f9");
}

TEST(HistoryMenu, ActivatingWithoutTargetIsRefused)
{
    THistoryMenu H;
    EXPECT_EQ(MessageOf<EUserError>([&] { H.SetActive(true); }), "ターゲットが指定されていません");
    EXPECT_FALSE(H.Active());
}
