// Kept fuzz inputs and seeds of the reader of picture-fill parameter texts.
#include "fuzz/fuzz_fill_pict_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(FillPictText)
