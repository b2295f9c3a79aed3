// Showing a page in the desktop's browser (the help, the home page) through
// xdg-open, and telling the user when no browser can show it: xdg-open may
// be missing, or find no browser and end with a failure.
#pragma once

#include <string>

class QWidget;

// The first line of the box when the help cannot be shown; the help file
// follows on a line of its own.
inline constexpr const char* HelpBrowserFailedText =
    "ブラウザを起動できないため、ヘルプを表示できません。次のファイルをブラウザで開いてください。";
// The same for the home page; its address follows.
inline constexpr const char* HomePageBrowserFailedText =
    "ブラウザを起動できないため、ホームページを表示できません。次のアドレスをブラウザで開いてください。";

// Hands Target (a file's path or an address) to xdg-open. When xdg-open
// cannot be started, or ends with a failure, a warning box over Owner (while
// it lives) says Failure and Target; once xdg-open has ended, the box comes
// from the event loop.
void OpenInBrowser(QWidget* Owner, const std::string& Target, const std::string& Failure);
