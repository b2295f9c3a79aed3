// Clipboard format numbers: the standard ones and those registered by name.
// Registered formats get numbers from 0xC000 up, one per distinct name (names
// compare case-insensitively, as the platform does), so every unit that
// registers the same name shares one number. The window layer maps a number
// to the MIME type that carries it.
#pragma once

#include <cstdint>
#include <string>

constexpr uint16_t CF_TEXT = 1;
constexpr uint16_t CF_BITMAP = 2;
constexpr uint16_t CF_DIB = 8;
constexpr uint16_t CF_UNICODETEXT = 13;
constexpr uint16_t CF_HDROP = 15;

// 0 for an empty name or when no number is left.
uint16_t RegisterClipboardFormat(const std::string& Name);
// The registered name of Format; empty for a standard or unknown format.
std::string GetClipboardFormatName(uint16_t Format);
