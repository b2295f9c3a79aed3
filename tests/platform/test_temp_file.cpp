#include "platform/temp_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/test_support.h"

namespace fs = std::filesystem;

TEST(TempFile, TempPathHonoursTmpdirAndFilesAreUniqueAndEmpty)
{
    TTempDir Tmp;
    TSavedEnv Saved("TMPDIR");
    setenv("TMPDIR", Tmp.Dir.c_str(), 1);
    EXPECT_EQ(GetTempPath(), Tmp.Dir + "/");
    setenv("TMPDIR", (Tmp.Dir + "/").c_str(), 1);
    EXPECT_EQ(GetTempPath(), Tmp.Dir + "/");
    // A TMPDIR that is no folder falls back to /tmp.
    setenv("TMPDIR", (Tmp / "missing").c_str(), 1);
    EXPECT_EQ(GetTempPath(), "/tmp/");
    unsetenv("TMPDIR");
    EXPECT_EQ(GetTempPath(), "/tmp/");
    std::string A, B;
    ASSERT_TRUE(GetTempFileName(Tmp.Dir + "/", "tav", A));
    ASSERT_TRUE(GetTempFileName(Tmp.Dir, "tav", B)); // a missing '/' is added
    EXPECT_NE(A, B);
    for (const std::string& Name : {A, B}) {
        EXPECT_EQ(fs::path(Name).parent_path(), fs::path(Tmp.Dir));
        EXPECT_EQ(fs::path(Name).filename().string().rfind("tav", 0), 0u) << Name;
        EXPECT_TRUE(fs::is_regular_file(Name));
        EXPECT_EQ(fs::file_size(Name), 0u);
    }
    std::string C = "stale";
    EXPECT_FALSE(GetTempFileName(Tmp / "missing/", "tav", C));
    EXPECT_EQ(C, "");
    EXPECT_FALSE(GetTempFileName(Tmp.Dir + "/", "../esc", C));
    EXPECT_FALSE(GetTempFileName("", "tav", C));
}
