// Main of the window test programs: one application object of the program's
// own class for every test, on the offscreen platform unless the caller chose
// another (the e2e tests use Xvfb).
#include "platform/qt/application_wex.h"

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    TApplicationWex App(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
