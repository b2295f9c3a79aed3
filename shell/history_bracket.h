// The history command around one edit of the document window. What the body
// raises rolls the command back, so everything it changed before is undone
// and the document is as it was; a body that reports no change (returns
// false) leaves no command. Without a history the body just runs.
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

// Drops what the body raises: the edit simply did not happen.
template <class F>
void RunDropping(THistoryCommand* H, const std::string& Caption, F&& Body)
{
    try {
        RunRolledBack(H, Caption, Body);
    } catch (...) {
    }
}
