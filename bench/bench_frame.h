// The window benchmarks' stand-in for the main frame of a document window:
// plain checkable commands, the smoothing flag, nothing recorded.
#pragma once

#include "shell/child_frame_link.h"

#include <QAction>
#include <QObject>

#include <cstdint>
#include <string>

class TBenchFrame : public TChildFrameLink {
public:
    TBenchFrame()
    {
        for (int32_t I = 0; I < 76; ++I)
            if (I != 74) {
                Actions[I] = new QAction(&Owner);
                Actions[I]->setCheckable(true);
            }
    }
    QAction* Action(int32_t Index) override { return Index >= 0 && Index < 76 ? Actions[Index] : nullptr; }
    bool SmoothDisplay() const override { return Smooth; }
    bool RulerVisible() const override { return true; }
    void ShowZoom(int32_t) override {}
    void ApplyZoom(int32_t) override {}
    void MouseWheel(QWheelEvent&) override {}
    void SetStatusText(int32_t, const std::string&) override {}
    void UpdateToolButton(uint8_t, uint8_t) override {}
    void UpdateDocumentActions() override {}
    void SetDispAnchor(bool) override {}
    void ClickToolButton(bool) override {}

    QObject Owner;
    QAction* Actions[76] = {};
    bool Smooth = false;
};
