#include "ui/rv_clip_detector.h"

#include "foundation/user_error.h"

#include <QClipboard>
#include <QGuiApplication>

TRvClipDetector::TRvClipDetector(QObject* Owner) : QObject(Owner) {}

TRvClipDetector::~TRvClipDetector()
{
    disconnect(FWatch);
}

void TRvClipDetector::SetOnClipChange(TNotifyEvent Handler)
{
    if (!Handler) {
        disconnect(FWatch);
        FWatch = {};
        FOnClipChange = nullptr;
        return;
    }
    if (FWatch) {
        FOnClipChange = std::move(Handler);
        return;
    }
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw EOutOfResources("TRvClipDetector.SetOnClipChange: Cannot Allocate HWnd");
    FOnClipChange = std::move(Handler);
    FWatch = connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, &TRvClipDetector::ClipboardChanged);
    // Joining the watch counts as the first notice of the content now there.
    FJoining = true;
    try {
        ClipboardChanged();
    } catch (...) {
        FJoining = false;
        throw;
    }
    FJoining = false;
}

void TRvClipDetector::ClipboardChanged()
{
    if (FOnClipChange && !(IgnoreFirst && FJoining))
        FOnClipChange(this);
}
