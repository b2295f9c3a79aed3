// The application environment: the data folder, the one settings object on
// "tavro.ini" in it, whether the Japanese interface font is installed, and
// the page grid record with its comparison.
#pragma once

#include "foundation/ini_file.h"

#include <cstddef>
#include <cstdint>
#include <string>

// True when the font family "MS UI Gothic" was installed at start-up.
extern bool UIFontInstalled;

// The data folder, always ending with "/": the registry value "EnvData"
// under HKEY_CURRENT_USER "SOFTWARE\ZELBAR\Tavro\4", else the user's own
// "$XDG_DATA_HOME/tavro/" (created when missing). Never the program's
// folder, which every user shares and which is read-only once installed;
// the files delivered with the program are looked for there by their own
// readers.
void GetEnvDataDir(std::string& Dir);
// Whether a stored data-folder setting can name a folder at all; one that
// cannot is refused (GetEnvDataDir says so at start-up) and never used, by
// any reader of the setting.
bool DataFolderSettingUsable(const std::string& Folder);

// The program's settings object on data folder + "tavro.ini", created on
// first use. Changes stay in memory until FinalizeAppEnvironment.
TMemIniFile& AppIniFile();

// Start-up: sets UIFontInstalled and creates the settings object. A data
// folder that cannot take files, and a "tavro.ini" or registry stand-in
// that is there but cannot be read (a folder, a pipe, a device, no
// permission), are reported once in one box, naming them; the program goes
// on with the built-in settings.
void InitAppEnvironment();
// Shutdown: writes the settings back. A failure is reported through
// ErrorMessageBox (naming the file and the system's reason) and gives
// false; nothing is thrown. When start-up already said that the data folder
// cannot be written, the failure is not reported again.
bool FinalizeAppEnvironment();
// The data folder that start-up found it cannot write to (and said so);
// empty when it could. Writers of other files there stay silent about it.
const std::string& UnwritableDataDir();

// Drops the settings object without writing it, and forgets what start-up
// reported, so that the next AppIniFile() loads afresh. For tests.
void DiscardAppIniFile();

// Page grid settings, 36 bytes as stored in documents and undo records.
// Only the two flags have a meaning fixed here; the grid dialog gives the
// others theirs (unit, spacing, divisions, origin).
struct TrecGrid {
    int32_t Value0;
    uint8_t Byte0;
    uint8_t ShowGrid;
    uint8_t SnapGrid;
    // 1 filler byte
    int32_t Value1;
    int32_t Value2;
    int32_t Value3;
    int32_t Value4;
    int32_t Value5;
    int32_t Value6;
    uint8_t Byte1;
    // 3 filler bytes
};
static_assert(sizeof(TrecGrid) == 36);
static_assert(offsetof(TrecGrid, Value0) == 0);
static_assert(offsetof(TrecGrid, Byte0) == 4);
static_assert(offsetof(TrecGrid, ShowGrid) == 5);
static_assert(offsetof(TrecGrid, SnapGrid) == 6);
static_assert(offsetof(TrecGrid, Value1) == 8);
static_assert(offsetof(TrecGrid, Value6) == 28);
static_assert(offsetof(TrecGrid, Byte1) == 32);

// Field by field; the filler bytes do not count.
bool GridOptionEqual(const TrecGrid& A, const TrecGrid& B);
