// Kept fuzz inputs and seeds of the reader of the page paste stream, binary form.
#include "fuzz/fuzz_page_paste.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(PagePaste)
