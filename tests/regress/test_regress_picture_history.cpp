// Kept fuzz inputs and seeds of the picture model of the undo history.
#include "fuzz/fuzz_picture_history.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(PictureHistory)
