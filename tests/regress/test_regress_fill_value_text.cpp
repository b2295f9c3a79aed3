// Kept fuzz inputs and seeds of the reader of fill-value texts.
#include "fuzz/fuzz_fill_value_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(FillValueText)
