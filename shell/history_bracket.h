// The history command around one edit of the document window: every
// recorded edit goes through these brackets (roll back on failure, no step
// without change). They live in store/ so that the property panel and its
// pages, below the shell, share them.
#pragma once

#include "platform/qt/application_wex.h"
#include "store/history_bracket.h"

#include <string>

// A command of the document window: a change that raises is rolled back and
// its failure shown once, and the window goes on (the user must be able to
// tell that the command did not happen).
template <class F>
void RunReported(THistoryCommand* H, const std::string& Caption, F&& Body)
{
    RunReporting([&] { RunRolledBack(H, Caption, Body); });
}
