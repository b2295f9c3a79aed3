// A stand-in document window until the real one arrives: the content of an
// MDI sub-window that shows its page's picture at the zoom (no rulers,
// scrolling or mouse tools) and answers the frame's calls. Of the forwarded
// commands it carries out undo and redo, cut, copy and delete of the
// selection, close, save and save as, and zoom in and out; the others do
// nothing.
#pragma once

#include "model/page_views.h"
#include "shell/forwarded_commands.h"

#include <QWidget>

#include <cstdint>
#include <string>

class QMdiSubWindow;
class TOLEDocumentWex;
class TfrmTavro;

class TfrmPlaceholderChild : public QWidget, public TOLEFormDoc {
public:
    // A window for the document's first page in the frame's MDI area,
    // maximised when "MaxFrmChild" (section "4.0", default 1) is 1.
    static TfrmPlaceholderChild* CreateDoc(TfrmTavro* Owner, TOLEDocumentWex& Document);
    ~TfrmPlaceholderChild() override;

    void SetZoom(int32_t Percent);
    void FormResize();
    void EndMakeLine();
    // Pastes draw items of the clipboard text form; a failure shows the
    // error box "データの読み込みに失敗しました".
    void PasteText(const std::string& Text);

#define TAVRO_DECLARE_HANDLER(Name) void Name(QObject* Sender);
    TAVRO_FORWARDED_COMMANDS(TAVRO_DECLARE_HANDLER)
#undef TAVRO_DECLARE_HANDLER

    // TOLEFormDoc
    void PageLayoutChanged() override;
    void InvalidatePageRect(const TRect* Rect) override;
    void HistoryChanged() override;
    std::string GetCaption() const override;
    void SetCaption(const std::string& Caption) override;
    void Release() override;
    void InvalidateDocRect(const TRect& Rect) override;
    void RedrawAnchors() override;
    void SelectionChanged(bool Refresh) override;
    void UpdateGridActions() override {}
    void UpdateDispModeActions() override {}
    void UpdateRulerHead() override {}
    void InvalidateRulers() override {}
    void UpdateCursor(int32_t) override {}
    void ShowSelectionStatus() override {}
    void UpdateActionStates() override;
    int32_t GetZoomPercent() const override { return FiZoom; }

    QMdiSubWindow* SubWindow() const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;

private:
    TfrmPlaceholderChild(TfrmTavro* Owner, TOLEDocumentWex& Document);
    class TPage* ShownPage() const;

    TfrmTavro* FOwner;
    int32_t FiZoom = 100;
    bool FbReleased = false;
};
