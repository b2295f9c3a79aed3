#include "ui/tool_window_hooks.h"

#include <QApplication>
#include <QEvent>
#include <QtGui/qevent.h>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

namespace {

struct THookEntry {
    THookProc Proc;
    int32_t UseCount;
    THookProcCodes Codes;
};

// The three notices of the original hooks: window messages (activation and
// position changes), window destruction, and messages taken from the queue.
enum THookKind { hkCallWndProc, hkDestroy, hkGetMessage, hkCount };

THookKind KindOf(THookProcCode Code)
{
    switch (Code) {
    case hpAppActivateDeactivate:
    case hpWindowPosChanged:
        return hkCallWndProc;
    case hpDestroyWindow:
        return hkDestroy;
    case hpGetMessageMouseMove:
        break;
    }
    return hkGetMessage;
}

class THookFilter : public QObject {
public:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
};

struct THookState {
    std::vector<THookEntry> Entries;
    std::array<int32_t, hkCount> KindCounts{};
    std::unique_ptr<THookFilter> Filter;
    int32_t LastActive = -1;
};

THookState& State()
{
    static THookState S;
    return S;
}

void Dispatch(int32_t Code, QObject* Target, QEvent* Event)
{
    // A procedure may install or remove others: walk a copy.
    const std::vector<THookEntry> Entries = State().Entries;
    for (const THookEntry& E : Entries)
        if (E.Codes & (1u << Code))
            E.Proc(Code, Target, Event);
}

bool THookFilter::eventFilter(QObject* Watched, QEvent* Event)
{
    THookState& S = State();
    switch (Event->type()) {
    case QEvent::ApplicationStateChange:
        if (Watched == QCoreApplication::instance()) {
            S.LastActive = static_cast<QApplicationStateChangeEvent*>(Event)->applicationState() == Qt::ApplicationActive;
            if (S.KindCounts[hkCallWndProc] > 0)
                Dispatch(hpAppActivateDeactivate, Watched, Event);
        }
        break;
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowStateChange:
        if (S.KindCounts[hkCallWndProc] > 0 && Watched->isWidgetType() && static_cast<QWidget*>(Watched)->isWindow())
            Dispatch(hpWindowPosChanged, Watched, Event);
        break;
    case QEvent::DeferredDelete:
        if (S.KindCounts[hkDestroy] > 0 && Watched->isWidgetType() && static_cast<QWidget*>(Watched)->isWindow())
            Dispatch(hpDestroyWindow, Watched, Event);
        break;
    case QEvent::MouseMove:
        if (S.KindCounts[hkGetMessage] > 0)
            Dispatch(hpGetMessageMouseMove, Watched, Event);
        break;
    default:
        break;
    }
    return false;
}

void UpdateFilter()
{
    THookState& S = State();
    const bool Needed = std::any_of(S.KindCounts.begin(), S.KindCounts.end(), [](int32_t C) { return C > 0; });
    if (Needed && !S.Filter) {
        S.Filter = std::make_unique<THookFilter>();
        if (QCoreApplication* App = QCoreApplication::instance())
            App->installEventFilter(S.Filter.get());
    } else if (!Needed && S.Filter) {
        if (QCoreApplication* App = QCoreApplication::instance())
            App->removeEventFilter(S.Filter.get());
        S.Filter.reset();
        // Unwatched, the last state seen goes stale.
        S.LastActive = -1;
    }
}

void CountKinds(THookProcCodes Codes, int32_t Delta)
{
    THookState& S = State();
    bool Seen[hkCount] = {};
    for (int32_t C = hpAppActivateDeactivate; C <= hpGetMessageMouseMove; ++C)
        if (Codes & (1u << C)) {
            const THookKind K = KindOf(THookProcCode(C));
            if (!Seen[K]) {
                Seen[K] = true;
                S.KindCounts[K] = std::max(0, S.KindCounts[K] + Delta);
            }
        }
}

} // namespace

void InstallHookProc(THookProc Proc, THookProcCodes Codes, bool RegisterOnly)
{
    THookState& S = State();
    auto It = std::find_if(S.Entries.begin(), S.Entries.end(), [&](const THookEntry& E) { return E.Proc == Proc; });
    if (It != S.Entries.end())
        ++It->UseCount;
    else
        S.Entries.push_back({Proc, 1, Codes});
    if (!RegisterOnly) {
        CountKinds(Codes, +1);
        UpdateFilter();
    }
}

void UninstallHookProc(THookProc Proc)
{
    THookState& S = State();
    auto It = std::find_if(S.Entries.begin(), S.Entries.end(), [&](const THookEntry& E) { return E.Proc == Proc; });
    if (It == S.Entries.end())
        return;
    const THookProcCodes Codes = It->Codes;
    if (--It->UseCount <= 0)
        S.Entries.erase(It);
    CountKinds(Codes, -1);
    UpdateFilter();
}

int32_t HookUseCount(THookProcCode Code)
{
    return State().KindCounts[KindOf(Code)];
}

bool HookFilterInstalled()
{
    return State().Filter != nullptr;
}

bool ApplicationIsActive()
{
    const THookState& S = State();
    if (S.LastActive >= 0)
        return S.LastActive != 0;
    return QGuiApplication::applicationState() == Qt::ApplicationActive;
}
