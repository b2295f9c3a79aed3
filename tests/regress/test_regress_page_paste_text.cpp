// Kept fuzz inputs and seeds of the reader of the page paste from the clipboard text.
#include "fuzz/fuzz_page_paste_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(PagePasteText)
