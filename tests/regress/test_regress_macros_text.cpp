// Kept fuzz inputs and seeds of the reader of macro lists, text form.
#include "fuzz/fuzz_macros_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(MacrosText)
