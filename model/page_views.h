// What pages and documents call of the windows that show them: the document
// window (a view of one page) and the main window with its status bar and
// tool buttons. The user interface implements these at start-up; the core
// runs without any of them, and tests install recording doubles.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/geometry_types.h"

class TOLECustomPage;
class TOLEDocumentWex;

// The document window: the view of one page.
class TOLEFormDoc {
public:
    virtual ~TOLEFormDoc() = default;

    // The page shown; nil when detached. Kept by the page's AddForm and
    // RemoveForm and cleared when the page or its document goes away.
    TOLECustomPage* Page() const { return FPage; }
    void SetPage(TOLECustomPage* Page) { FPage = Page; }

    // The page's layout changed: re-lay out the window, redraw its rulers.
    virtual void PageLayoutChanged() = 0;
    // Nil: the whole page area of the window; else through InvalidateDocRect.
    virtual void InvalidatePageRect(const TRect* Rect) = 0;
    // Undo and Redo actions from the document history; repaint.
    virtual void HistoryChanged() = 0;
    virtual std::string GetCaption() const = 0;
    virtual void SetCaption(const std::string& Caption) = 0;
    // The document is gone: the window closes itself later.
    virtual void Release() = 0;

    // A page rectangle mapped to the window, grown by 7 to the left and top
    // and 8 to the right and bottom; an empty rectangle is ignored.
    virtual void InvalidateDocRect(const TRect& Rect) = 0;
    // Flushes pending painting and draws the selection handles at once.
    virtual void RedrawAnchors() = 0;
    // Property panel, status texts and actions after a selection change.
    virtual void SelectionChanged(bool Refresh) = 0;
    // Checked state of show-grid and snap-to-grid from the page's flags.
    virtual void UpdateGridActions() = 0;
    // The display-quality action of the page's display mode.
    virtual void UpdateDispModeActions() = 0;
    // The ruler corner of the page's unit: "RHPIXEL", "RHCM", "RHINCH".
    virtual void UpdateRulerHead() = 0;
    virtual void InvalidateRulers() = 0;
    // The cursor of the page's mouse mode.
    virtual void UpdateCursor(int32_t Value) = 0;
    // The selection summary into panel 1 of the main window's status bar.
    virtual void ShowSelectionStatus() = 0;
    virtual void UpdateActionStates() = 0;
    // The window's zoom in percent (100: one pixel per page unit).
    virtual int32_t GetZoomPercent() const = 0;

private:
    TOLECustomPage* FPage = nullptr; // not owned
};

// A view that shows nothing and answers as a window at 100% would: it makes a
// page keep its pixels without a window (thumbnails, batch rendering) and is
// the base of doubles that follow only some calls.
class TSilentFormDoc : public TOLEFormDoc {
public:
    void PageLayoutChanged() override {}
    void InvalidatePageRect(const TRect*) override {}
    void HistoryChanged() override {}
    std::string GetCaption() const override { return FCaption; }
    void SetCaption(const std::string& Caption) override { FCaption = Caption; }
    void Release() override {}
    void InvalidateDocRect(const TRect&) override {}
    void RedrawAnchors() override {}
    void SelectionChanged(bool) override {}
    void UpdateGridActions() override {}
    void UpdateDispModeActions() override {}
    void UpdateRulerHead() override {}
    void InvalidateRulers() override {}
    void UpdateCursor(int32_t) override {}
    void ShowSelectionStatus() override {}
    void UpdateActionStates() override {}
    int32_t GetZoomPercent() const override { return 100; }

private:
    std::string FCaption;
};

// The main window: its active document window, status bar and tool buttons.
class TMainWindowLink {
public:
    virtual ~TMainWindowLink() = default;
    // The active document window; nil when none.
    virtual TOLEFormDoc* GetActiveForm() = 0;
    // Panel 1: selection status; panel 2: modifier-key hints.
    virtual void SetStatusText(int32_t Panel, const std::string& Text) = 0;
    // Presses the tool button of the mouse mode (and poly sub-mode).
    virtual void UpdateToolButton(uint8_t Mode, uint8_t SubMode) = 0;
};

// Installed by the main window (nil: none); not owned.
void SetMainWindowLink(TMainWindowLink* Link);
TMainWindowLink* GetMainWindowLink();

// Makes the document window of a new or opened document (which attaches
// itself to the document's first page with AddForm). Installed by the main
// window; without it documents have no window.
using TDocWindowFactory = TOLEFormDoc* (*)(TOLEDocumentWex& Document);
void SetDocWindowFactory(TDocWindowFactory Factory);
TDocWindowFactory GetDocWindowFactory();
