// Kept fuzz inputs and seeds of the reader of path records, binary form.
#include "fuzz/fuzz_rec_path.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(RecPath)
