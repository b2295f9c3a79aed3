// The desktop's side of associating ".srn" files with the program: a
// desktop entry that starts "PROGRAM -e FILE" (which hands the file to a
// running Tavro) and shows the program's icon, the icon in the hicolor
// theme, and a shared-mime-info type that names ".srn" files and files
// starting with the document signature, all in the user's own data folder,
// with the desktop's caches brought up to date. A change that fails puts
// every file back as it was.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* TavroMimeType = "application/x-tavro-document";
inline constexpr const char* TavroDesktopFileName = "tavro.desktop";
inline constexpr const char* TavroMimePackageFileName = "tavro.xml";
// The icon's name in the icon theme, and the sizes installed.
inline constexpr const char* TavroIconName = "tavro";
inline constexpr int TavroIconSizes[] = {16, 32, 48, 256};

// "$XDG_DATA_HOME" (when absolute), else "$HOME/.local/share"; empty when
// neither gives a folder.
std::string DesktopDataHome();
// DesktopDataHome() + "/applications/tavro.desktop".
std::string DesktopEntryPath();
// DesktopDataHome() + "/mime/packages/tavro.xml".
std::string MimePackagePath();
// DesktopDataHome() + "/icons/hicolor/SIZExSIZE/apps/tavro.png".
std::string IconPath(int Size);

// Program as one argument of a desktop entry's Exec line: quoted, with the
// characters the quoting and the file format reserve escaped.
std::string DesktopExecQuote(const std::string& Program);
// The lines of the desktop entry for Program (an absolute path).
std::vector<std::string> DesktopEntryLines(const std::string& Program);
// The lines of the MIME package.
std::vector<std::string> MimePackageLines();

// Writes the entry, the icons and the MIME package for Program and updates
// the caches. False with Error (a sentence naming the file and the reason)
// when a file cannot be written or an update program fails; a missing
// update program is no failure. A failure leaves the files and the caches
// as they were.
bool WriteDesktopAssociation(const std::string& Program, std::string& Error);
// Removes those files (missing ones are fine) and updates the caches; False
// with Error as above, everything left as it was.
bool RemoveDesktopAssociation(std::string& Error);
// True when the entry and the MIME package are there: ".srn" files open
// with the program.
bool DesktopAssociationExists();
