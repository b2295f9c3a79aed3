// Kept fuzz inputs and seeds of the reader of picture records, text forms.
#include "fuzz/fuzz_rec_picture_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(RecPictureText)
