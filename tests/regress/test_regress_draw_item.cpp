// Kept fuzz inputs and seeds of the reader of draw items, binary form.
#include "fuzz/fuzz_draw_item.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(DrawItem)
