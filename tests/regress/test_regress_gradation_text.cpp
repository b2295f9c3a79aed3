// Kept fuzz inputs and seeds of the reader of gradation texts.
#include "fuzz/fuzz_gradation_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(GradationText)
