// A data folder that takes no files costs the user one box at start-up, not
// one more for each file the program would write there at the end.
#include "shell_test_support.h"

TEST(SettingsPlace, AnUnwritableDataFolderIsReportedOnceForSettingsAndDefaults)
{
    TTempDir Tmp;
    Tmp.Put("plain", "x");
    std::vector<std::string> Boxes;
    const TMessageBoxHandler Old =
        SetMessageBoxHandler([&](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDCANCEL;
        });
    SetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, Tmp / "plain/env");
    DiscardAppIniFile();
    InitAppEnvironment();
    {
        TDefaultData Defaults;
        Defaults.SaveOnDestroy = 1;
    }
    EXPECT_FALSE(FinalizeAppEnvironment());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_NE(Boxes[0].find(Tmp / "plain/env/"), std::string::npos) << Boxes[0];

    // The shell's own world again.
    SetMessageBoxHandler(Old);
    SetRegistryVal(HKEY_CURRENT_USER, DefaultDataKey, DefaultDataValueName, TShellEnvironment::Data);
    DiscardAppIniFile();
    InitDocuments(&AppIniFile());
}
