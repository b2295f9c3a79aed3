// Kept fuzz inputs and seeds of the reader of draw items, text form.
#include "fuzz/fuzz_draw_item_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(DrawItemText)
