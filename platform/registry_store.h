// A persistent key-value store that stands in for the registry: keys under
// two roots, "\"-separated key paths, named string and DWORD values, held in
// "$XDG_CONFIG_HOME/tavro/registry.ini". Key and value names compare
// case-insensitively (ASCII); the default value has the empty name.
// Every change is written to the file at once (temporary file + rename);
// the write functions return false when the file cannot be written, and the
// store then stays as it was.
#pragma once

#include <cstdint>
#include <string>

using HKEY = uintptr_t;
constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001;

constexpr uint32_t REG_SZ = 1;
constexpr uint32_t REG_DWORD = 4;

// The file behind the store, as found at the last load; empty when neither
// XDG_CONFIG_HOME nor HOME gives a folder.
std::string RegistryFilePath();
// Forgets what is held and reads the file again (finding its path anew).
void RegistryReload();
// Why the file could not be read at the last load (an errno value or one of
// platform/regular_file.h); 0 when it read or was not there. The store then
// starts empty and every write is refused (the file, whatever it is, stays
// as it is) until a reload reads it.
int RegistryLoadError();

bool RegKeyExists(HKEY Root, const std::string& Key);
// Creates the key and any missing parents; true when it exists afterwards.
// Key names may not hold control characters.
bool RegCreateKey(HKEY Root, const std::string& Key);
// Removes the key with its values and all keys below it.
bool RegDeleteKeyTree(HKEY Root, const std::string& Key);

// Type of a value (REG_SZ or REG_DWORD); false when there is no such value.
bool RegQueryValueType(HKEY Root, const std::string& Key, const std::string& Name, uint32_t& Type);
// The queries fail when the key or value is missing or has the other type.
bool RegQueryString(HKEY Root, const std::string& Key, const std::string& Name, std::string& Value);
bool RegQueryDword(HKEY Root, const std::string& Key, const std::string& Name, uint32_t& Value);
// The setters need an existing key.
bool RegSetString(HKEY Root, const std::string& Key, const std::string& Name, const std::string& Value);
bool RegSetDword(HKEY Root, const std::string& Key, const std::string& Name, uint32_t Value);
bool RegDeleteValue(HKEY Root, const std::string& Key, const std::string& Name);
