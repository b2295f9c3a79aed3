// Kept fuzz inputs and seeds of the reader of stream strings, lines and binary blocks.
#include "fuzz/fuzz_stream_text.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(StreamText)
