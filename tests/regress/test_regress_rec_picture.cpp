// Kept fuzz inputs and seeds of the reader of picture records, binary forms.
#include "fuzz/fuzz_rec_picture.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(RecPicture)
