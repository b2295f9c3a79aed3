// Kept fuzz inputs and seeds of the reader of pen texts.
#include "fuzz/fuzz_pen_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(PenText)
