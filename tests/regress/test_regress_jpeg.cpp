// Kept fuzz inputs and seeds of the reader of JPEG.
#include "fuzz/fuzz_jpeg.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(Jpeg)
