// Kept fuzz inputs and seeds of the reader of macro library files.
#include "fuzz/fuzz_macro_library.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(MacroLibrary)
