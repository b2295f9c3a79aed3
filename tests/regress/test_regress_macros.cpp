// Kept fuzz inputs and seeds of the reader of macro lists, binary form.
#include "fuzz/fuzz_macros.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(Macros)
