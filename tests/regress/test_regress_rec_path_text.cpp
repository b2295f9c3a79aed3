// Kept fuzz inputs and seeds of the reader of path records, text form.
#include "fuzz/fuzz_rec_path_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(RecPathText)
