// Kept fuzz inputs and seeds of the reader of BMP files.
#include "fuzz/fuzz_bmp.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(Bmp)
