// Kept fuzz inputs and seeds of the reader of the settings file.
#include "fuzz/fuzz_ini_file.cpp"
#include "regress/regress_replay.h"

TAVRO_REGRESS_TEST(IniFile)
