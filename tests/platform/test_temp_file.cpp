#include "platform/temp_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class TempFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* Old = std::getenv("TMPDIR")) {
            FHadOld = true;
            FOld = Old;
        }
        std::string Template = (fs::temp_directory_path() / "tavro-tmp-XXXXXX").string();
        ASSERT_NE(mkdtemp(Template.data()), nullptr);
        FDir = Template;
    }
    void TearDown() override
    {
        if (FHadOld)
            setenv("TMPDIR", FOld.c_str(), 1);
        else
            unsetenv("TMPDIR");
        std::error_code Ec;
        fs::remove_all(FDir, Ec);
    }
    std::string FDir, FOld;
    bool FHadOld = false;
};

} // namespace

TEST_F(TempFile, TempPathHonoursTmpdir)
{
    setenv("TMPDIR", FDir.c_str(), 1);
    EXPECT_EQ(GetTempPath(), FDir + "/");
    setenv("TMPDIR", (FDir + "/").c_str(), 1);
    EXPECT_EQ(GetTempPath(), FDir + "/");
    // A TMPDIR that is no folder falls back to /tmp.
    setenv("TMPDIR", (FDir + "/missing").c_str(), 1);
    EXPECT_EQ(GetTempPath(), "/tmp/");
    unsetenv("TMPDIR");
    EXPECT_EQ(GetTempPath(), "/tmp/");
}

TEST_F(TempFile, CreatesUniqueEmptyFiles)
{
    std::string A, B;
    ASSERT_TRUE(GetTempFileName(FDir + "/", "tav", A));
    ASSERT_TRUE(GetTempFileName(FDir, "tav", B)); // a missing '/' is added
    EXPECT_NE(A, B);
    for (const std::string& Name : {A, B}) {
        EXPECT_EQ(fs::path(Name).parent_path(), fs::path(FDir));
        EXPECT_EQ(fs::path(Name).filename().string().rfind("tav", 0), 0u) << Name;
        EXPECT_TRUE(fs::is_regular_file(Name));
        EXPECT_EQ(fs::file_size(Name), 0u);
    }

    std::string C = "stale";
    EXPECT_FALSE(GetTempFileName(FDir + "/missing/", "tav", C));
    EXPECT_EQ(C, "");
    EXPECT_FALSE(GetTempFileName(FDir + "/", "../esc", C));
    EXPECT_FALSE(GetTempFileName("", "tav", C));
}
