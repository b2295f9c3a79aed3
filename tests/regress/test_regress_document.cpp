// Kept fuzz inputs and seeds of the reader of the document file (.srn).
#include "fuzz/fuzz_document.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(Document)
