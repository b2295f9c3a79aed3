// The history command around one edit, shared by every window that records
// edits (the document window, the property panel and its pages). What the
// body raises rolls the command back, so everything it changed before is
// undone; a body that reports no change (returns false) leaves no command.
// Without a history the body just runs.
#pragma once

#include "store/history.h"

#include <string>
#include <type_traits>

// Passes what the body raises on.
template <class F>
void RunRolledBack(THistoryCommand* H, const std::string& Caption, F&& Body)
{
    if (H)
        H->CommandStart(Caption);
    try {
        bool Changed = true;
        if constexpr (std::is_same_v<std::invoke_result_t<F&>, bool>)
            Changed = Body();
        else
            Body();
        if (H)
            Changed ? H->CommandEnd() : H->CommandCancel();
    } catch (...) {
        try {
            if (H && H->IsCommandOpen())
                H->CommandRollback();
        } catch (...) {
        }
        throw;
    }
}

// Inside a command already open (a drag, a dialog's live tests) the edit
// becomes part of it; otherwise it is a command of its own.
template <class F>
void RunJoined(THistoryCommand* H, const std::string& Caption, F&& Body)
{
    if (H && H->IsCommandOpen()) {
        Body();
        return;
    }
    RunRolledBack(H, Caption, Body);
}

// Recording locked for the scope (nothing without a history): changes made
// meanwhile leave no undo records.
class THistoryLock {
public:
    explicit THistoryLock(THistoryCommand* History) : FHistory(History)
    {
        if (FHistory)
            FHistory->LockAddHistory();
    }
    ~THistoryLock()
    {
        if (FHistory)
            FHistory->UnLockAddHistory();
    }
    THistoryLock(const THistoryLock&) = delete;
    THistoryLock& operator=(const THistoryLock&) = delete;

private:
    THistoryCommand* FHistory;
};
