// The drawing-progress display of the status bar: groups report the item
// being painted to the panel the application registered once.
#pragma once

#include <cstdint>
#include <string>

struct TrecDrawProgress {
    int32_t Index = 0;     // 1-based item being painted
    int32_t Count = 0;
    int32_t SubStep = 0;
    int32_t SubCount = 1;
};

// The text drawn before the bar.
extern const char* const DrawProgressText;

// The status-bar panel; the user interface implements it.
class TDrawProgressPanel {
public:
    virtual ~TDrawProgressPanel() = default;
    virtual std::string GetText() const = 0;
    virtual void SetText(const std::string& Text) = 0;
    // Draws DrawProgressText and a bar 104 pixels wide filled
    // DrawProgressBarWidth pixels in 0x800000.
    virtual void ShowProgress(const TrecDrawProgress& Progress) = 0;
};

// Registers the panel (nil: none); not owned.
void SetProgressStatusPanel(TDrawProgressPanel* Panel);
TDrawProgressPanel* GetProgressStatusPanel();

// ((Index - 1) x SubCount + SubStep) x 100 div (SubCount x Count), 0..100;
// 0 for a zero count.
int32_t DrawProgressBarWidth(const TrecDrawProgress& Progress);
