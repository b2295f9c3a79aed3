// What the document framework calls of the user-interface components: the
// recent-file list and the save dialog, registered by the main window. The
// window calls (document windows, main window, window factory) are in
// model/page_views.h. The shell implements these over the components
// THistoryMenu and TSaveDialogWex of ui/ (hence the "Link" names: the
// components keep theirs); tests install recording doubles.
#pragma once

#include <string>

#include "model/page_views.h"

// The recent-file list: Add puts a non-empty name on top, drops an older
// entry of that name, trims the list and rebuilds the menu.
class THistoryMenuLink {
public:
    virtual ~THistoryMenuLink() = default;
    virtual void Add(const std::string& FileName) = 0;
};

// The save dialog: the caller sets FileName and InitialDir, Execute returns
// true when the user confirms, and FileName then holds the chosen path.
class TSaveDialogLink {
public:
    virtual ~TSaveDialogLink() = default;
    virtual bool Execute() = 0;

    std::string FileName;
    std::string InitialDir;
};
