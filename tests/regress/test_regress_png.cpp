// Kept fuzz inputs and seeds of the reader of PNG.
#include "fuzz/fuzz_png.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(Png)
