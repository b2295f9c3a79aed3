// Every folder of kept fuzz inputs has a replay test of its reader.
#include "regress/regress_replay.h"

#include <gtest/gtest.h>

#include <filesystem>

TEST(Regress, EveryInputFolderHasItsReader)
{
    const std::filesystem::path Dir = std::filesystem::path(TAVRO_TEST_DATA_DIR) / "regress";
    std::error_code Ec;
    for (const auto& E : std::filesystem::directory_iterator(Dir, Ec))
        if (E.is_directory()) {
            EXPECT_TRUE(RegressReaders().count(E.path().filename().string()))
                << E.path().filename().string() << " has no test_regress_<reader>.cpp";
        }
    EXPECT_FALSE(RegressReaders().empty());
}
