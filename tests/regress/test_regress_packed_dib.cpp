// Kept fuzz inputs and seeds of the reader of packed DIBs.
#include "fuzz/fuzz_packed_dib.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(PackedDib)
