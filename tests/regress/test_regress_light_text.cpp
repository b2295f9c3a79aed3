// Kept fuzz inputs and seeds of the reader of light-set texts.
#include "fuzz/fuzz_light_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(LightText)
