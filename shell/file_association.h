// The desktop's side of associating ".srn" files with the program: a
// desktop entry that starts "PROGRAM -e FILE" (which hands the file to a
// running Tavro) and a shared-mime-info type that names ".srn" files and
// files starting with the document signature, both in the user's own data
// folder, with the desktop's caches brought up to date.
#pragma once

#include <string>
#include <vector>

inline constexpr const char* TavroMimeType = "application/x-tavro-document";
inline constexpr const char* TavroDesktopFileName = "tavro.desktop";
inline constexpr const char* TavroMimePackageFileName = "tavro.xml";

// "$XDG_DATA_HOME" (when absolute), else "$HOME/.local/share"; empty when
// neither gives a folder.
std::string DesktopDataHome();
// DesktopDataHome() + "/applications/tavro.desktop".
std::string DesktopEntryPath();
// DesktopDataHome() + "/mime/packages/tavro.xml".
std::string MimePackagePath();

// Program as one argument of a desktop entry's Exec line: quoted, with the
// characters the quoting and the file format reserve escaped.
std::string DesktopExecQuote(const std::string& Program);
// The lines of the desktop entry for Program (an absolute path).
std::vector<std::string> DesktopEntryLines(const std::string& Program);
// The lines of the MIME package.
std::vector<std::string> MimePackageLines();

// Writes both files for Program and updates the caches. False with Error
// (a sentence naming the file and the reason) when a file cannot be
// written or an update program fails; a missing update program is no
// failure.
bool WriteDesktopAssociation(const std::string& Program, std::string& Error);
// Removes both files (missing ones are fine) and updates the caches; False
// with Error as above.
bool RemoveDesktopAssociation(std::string& Error);
// True when both files are there.
bool DesktopAssociationExists();
