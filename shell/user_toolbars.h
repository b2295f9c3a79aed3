// The frame's user toolbars: their definitions in the settings file
// (section "TBar4.0": one key per toolbar, the comma text of its name, its
// visibility and its command numbers; sections "TBar4.0" + component name:
// where it is), the names they are known by, and the comma text the
// definitions are written in.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr const char* UserToolbarSection = "TBar4.0";

// A toolbar definition: its name (also its caption) and its items, the
// command numbers in order, -1 for a separator.
struct TUserToolbarDef {
    std::string Name;
    std::vector<int32_t> Items;
};

// The longest name a toolbar takes, in characters: more is a caption no
// one reads to its end, and the component name and the settings grow with
// it (four hex digits and more for each character).
inline constexpr size_t MaxToolbarNameLength = 255;
// The characters of a UTF-8 name (a byte that starts none counts as one).
size_t ToolbarNameLength(const std::string& Name);

// "N" and the name's Shift-JIS bytes as two upper-case hex digits each; a
// character Shift-JIS cannot hold counts as the reference the settings file
// stores for it ("&#x1F600;"), so different names give different names.
std::string ToolbarComponentName(const std::string& Name);

// The comma text of Fields: a field that is empty or holds a space, a
// comma, a quote or a control character is quoted, its quotes doubled.
std::string CommaText(const std::vector<std::string>& Fields);
// Splits a comma text: fields end at commas and at spaces outside quotes.
std::vector<std::string> SplitCommaText(const std::string& Text);
// The same, keeping no more than MaxFields fields in Fields; answers how
// many there are in all. A text of a million fields is walked once, not
// copied field by field.
size_t SplitCommaText(const std::string& Text, std::vector<std::string>& Fields, size_t MaxFields);

// The built-in definitions as comma texts of the name and the command
// names ("$" a separator, "cmbZoom" the zoom box).
const std::vector<std::string>& BuiltInToolbarTexts();
