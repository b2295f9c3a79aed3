#include "platform/safe_write.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "platform/test_support.h"

namespace fs = std::filesystem;

TEST(SafeWrite, FullDiskAtAnyByteKeepsTheOldFile)
{
    TTempDir Tmp;
    const std::string Old = "old contents\n";
    std::string New;
    for (int I = 0; I < 40; ++I)
        New += "line " + std::to_string(I) + " of the new contents\n";
    Tmp.Put("f.dat", Old);
    ::chmod((Tmp / "f.dat").c_str(), 0640);
    for (size_t N = 0; N < New.size(); ++N) {
        int Err;
        {
            TFileSizeLimit Full(N);
            Err = WriteFileReplacing(Tmp / "f.dat", New.data(), New.size());
        }
        ASSERT_EQ(Err, EFBIG) << N;
        ASSERT_EQ(Tmp.Get("f.dat"), Old) << N;
        ASSERT_EQ(std::distance(fs::directory_iterator(Tmp.Dir), fs::directory_iterator()), 1) << N;
    }
    ASSERT_EQ(WriteFileReplacing(Tmp / "f.dat", New.data(), New.size()), 0);
    EXPECT_EQ(Tmp.Get("f.dat"), New);
    EXPECT_EQ(fs::status(Tmp / "f.dat").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(WriteFileReplacing(Tmp / "none/f.dat", "x", 1), ENOENT);
}
