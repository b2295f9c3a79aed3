// Watches the clipboard: OnClipChange fires once for every change of its
// content while a handler is set. With IgnoreFirst (the default) nothing
// fires when the watch starts; without it, the start fires once, as a
// change would.
#pragma once

#include "ui/wex_events.h"

#include <QMetaObject>
#include <QObject>

class TRvClipDetector : public QObject {
    Q_OBJECT
public:
    explicit TRvClipDetector(QObject* Owner = nullptr);
    ~TRvClipDetector() override;

    bool IgnoreFirst = true;

    const TNotifyEvent& OnClipChange() const { return FOnClipChange; }
    // A handler starts the watch (EOutOfResources "TRvClipDetector.SetOnClipChange:
    // Cannot Allocate HWnd" without a window system), an empty one ends it.
    void SetOnClipChange(TNotifyEvent Handler);

private:
    void ClipboardChanged();

    TNotifyEvent FOnClipChange;
    QMetaObject::Connection FWatch;
    bool FJoining = false;
};
