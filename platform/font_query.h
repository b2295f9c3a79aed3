// Whether a font family is installed on this machine (fontconfig).
#pragma once

#include <string>

// True when at least one installed font has the family name Family
// (compared the way fontconfig compares family names: case-insensitively).
bool IsFontFamilyInstalled(const std::string& Family);
