// Kept fuzz inputs and seeds of the reader of the defaults file TavDef.dat.
#include "fuzz/fuzz_tav_def.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(TavDef)
