// What a killed save left beside a file: only our own temporary files are
// found (the name + "." + six mkstemp characters, regular, one link, ours),
// and only those the caller recognises go.
#include "platform/safe_write.h"

#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <unistd.h>

TEST(StaleTempFiles, NamePattern)
{
    const struct {
        const char* Entry;
        bool Ours;
    } Cases[] = {
        {"doc.srn.a1B2c3", true}, {"doc.srn.XXXXXX", true}, {"doc.srn.a1B2c", false},
        {"doc.srn.a1B2c3d", false}, {"doc.srn.a1-2c3", false}, {"doc.srn_a1B2c3", false},
        {"Doc.srn.a1B2c3", false}, {"xdoc.srn.a1B2c3", false}, {"doc.srn", false},
        {"doc.srn.backup", false}, {"doc.srn.zzzzzZ", true},
    };
    for (const auto& C : Cases)
        EXPECT_EQ(IsTempNameOf("/some/where/doc.srn", C.Entry), C.Ours) << C.Entry;
}

TEST(StaleTempFiles, OnlyOursThatTheCallerKnowsGo)
{
    TTempDir Tmp;
    namespace fs = std::filesystem;
    const std::string Doc = Tmp / "doc.srn";
    Tmp.Put("doc.srn", "DOC");
    Tmp.Put("doc.srn.Ab3dE9", "DOC-partial");   // ours
    Tmp.Put("doc.srn.000000", "");              // ours, killed before writing
    Tmp.Put("doc.srn.backup", "DOC copy");      // a word a person typed: never asked
    Tmp.Put("doc.srn.bak", "DOC");              // not the pattern
    Tmp.Put("other.srn.Ab3dE9", "DOC");         // another document's
    fs::create_directory(Tmp / "doc.srn.folder");
    fs::create_symlink(Tmp / "doc.srn", Tmp / "doc.srn.linked");
    Tmp.Put("target", "DOC");
    fs::create_hard_link(Tmp / "target", Tmp / "doc.srn.hardln");
    std::vector<std::string> Asked;
    const int Removed = RemoveStaleTempFiles(Doc, [&](const std::string& Path) {
        Asked.push_back(fs::path(Path).filename().string());
        return Tmp.Get(fs::path(Path).filename().string()).rfind("DOC", 0) == 0 ||
               fs::file_size(Path) == 0;
    });
    EXPECT_EQ(Removed, 2);
    std::sort(Asked.begin(), Asked.end());
    EXPECT_EQ(Asked, (std::vector<std::string>{"doc.srn.000000", "doc.srn.Ab3dE9"}));
    for (const char* Kept : {"doc.srn", "doc.srn.backup", "doc.srn.bak", "other.srn.Ab3dE9", "doc.srn.folder",
                             "doc.srn.linked", "doc.srn.hardln"})
        EXPECT_TRUE(fs::exists(fs::symlink_status(Tmp / Kept))) << Kept;
    EXPECT_FALSE(fs::exists(Tmp / "doc.srn.Ab3dE9"));
    EXPECT_FALSE(fs::exists(Tmp / "doc.srn.000000"));
}

// Every temporary file the savers make is one the clean-up recognises: a
// name mkstemp gives as a word (one in about 185) is never used.
TEST(StaleTempFiles, EveryTemporaryNameMadeIsRecognised)
{
    TTempDir Tmp;
    const std::string Doc = Tmp / "doc.srn";
    int Unrecognised = 0;
    for (int I = 0; I < 3000; ++I) {
        int Fd = -1;
        std::string Name;
        ASSERT_TRUE(MakeTempBeside(Doc, Fd, Name));
        ::close(Fd);
        const std::string Entry = std::filesystem::path(Name).filename().string();
        Unrecognised += !IsTempNameOf(Doc, Entry);
        ASSERT_EQ(::unlink(Name.c_str()), 0);
    }
    EXPECT_EQ(Unrecognised, 0);
    EXPECT_TRUE(std::filesystem::is_empty(Tmp.Dir));
}
