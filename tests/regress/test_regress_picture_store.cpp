// Kept fuzz inputs and seeds of the reader of the picture store, binary form.
#include "fuzz/fuzz_picture_store.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(PictureStore)
