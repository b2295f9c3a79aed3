#include "shell/browser_open.h"

#include "foundation/platform_wrappers.h"
#include "platform/shell_open.h"

#include <QCoreApplication>
#include <QPointer>
#include <QWidget>

#include <mutex>

namespace {

// Where the reaper's thread hands an ended xdg-open over to the event loop:
// an object of the application's, gone with it, so that a launcher ending
// while the program ends reaches nothing.
class TLaunchReports : public QObject {
public:
    explicit TLaunchReports(QObject* Parent) : QObject(Parent) {}
    ~TLaunchReports() override
    {
        std::lock_guard<std::mutex> G(Lock);
        Current = nullptr;
    }

    static inline std::mutex Lock;
    static inline TLaunchReports* Current = nullptr;
};

void TellFailure(QWidget* Owner, const std::string& Target, const std::string& Failure)
{
    WarningMessageBox(Owner, Failure + "\r\n" + Target);
}

} // namespace

void OpenInBrowser(QWidget* Owner, const std::string& Target, const std::string& Failure)
{
    {
        std::lock_guard<std::mutex> G(TLaunchReports::Lock);
        if (!TLaunchReports::Current && QCoreApplication::instance())
            TLaunchReports::Current = new TLaunchReports(QCoreApplication::instance());
    }
    QPointer<QWidget> Guard(Owner);
    // xdg-open ends at once when the desktop's own opener takes the page,
    // and only with the browser when it starts one itself; a failure
    // (no browser found, none that could show it) is its exit status.
    const bool Started = SpawnWatched({"xdg-open", Target}, [Guard, Target, Failure](int Status) {
        if (Status == 0)
            return;
        std::lock_guard<std::mutex> G(TLaunchReports::Lock);
        if (TLaunchReports::Current)
            QMetaObject::invokeMethod(TLaunchReports::Current, [Guard, Target, Failure] {
                TellFailure(Guard.data(), Target, Failure);
            }, Qt::QueuedConnection);
    });
    if (!Started)
        TellFailure(Owner, Target, Failure);
}
