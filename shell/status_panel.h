// A panel of the frame's status bar: a text, or while a page is drawn the
// drawing progress (DrawProgressText and a 104-pixel bar filled in navy).
#pragma once

#include "model/bitmap_trace.h"
#include "model/draw_progress.h"

#include <QLabel>

#include <optional>

class TStatusPanel : public QLabel, public TDrawProgressPanel {
public:
    explicit TStatusPanel(QWidget* Parent = nullptr);

    std::string GetText() const override;
    // Ends a progress display.
    void SetText(const std::string& Text) override;
    // Paints at once: drawing blocks the event loop.
    void ShowProgress(const TrecDrawProgress& Progress) override;
    // The progress of a bitmap trace ("変換中：" and its bar), at once.
    void ShowTraceProgress(const TTraceProgress& Progress);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    std::optional<TrecDrawProgress> FProgress;
    std::optional<TTraceProgress> FTrace;
};
