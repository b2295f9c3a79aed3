// Kept fuzz inputs and seeds of the reader of the picture store, text form.
#include "fuzz/fuzz_picture_store_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(PictureStoreText)
