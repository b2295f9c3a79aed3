#include "editors/color_dialog_wex.h"
#include <gtest/gtest.h>
TEST(ColorField, Placeholder) { EXPECT_EQ(FieldCols(7), 18); }
