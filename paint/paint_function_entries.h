// The entry points of the built-in paint functions by table name. The table
// of descriptors is data of its own; it takes each entry point from here when
// the run-time table is made.
#pragma once

#include "paint/paint_function_table.h"

#include <string_view>

// The function named exactly Name, or nil.
TPaintFunctionEntry PaintFunctionEntry(std::string_view Name);
