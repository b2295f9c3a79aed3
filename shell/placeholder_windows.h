// Stand-in for the floating window that comes later: the object property
// panel. It is a tool window created at its place in start-up; closing it
// tells the frame (TToolWindowClosedEvent).
// The panel holds the five property pages as tabs of one page control; a
// page counts as shown while the panel is visible and its tab is.
#pragma once

#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QTabWidget;
class TDrawItem;

class TfrmObjPropertyPlaceholder : public QWidget {
public:
    explicit TfrmObjPropertyPlaceholder(QWidget* Owner);

    QTabWidget* PageControl() const { return FPageControl; }
    QWidget* TabSheetGeneral = nullptr;
    QWidget* TabSheetPaintProperty = nullptr;
    QWidget* TabSheetShape = nullptr;
    QWidget* TabSheetText = nullptr;
    QWidget* TabSheetOutline = nullptr;

    // The hand-over of a document window's selection: no item, the one
    // selected item, or the selected items (two or more), with the page's
    // resolution. The stand-in only counts the calls and keeps the last.
    struct TSetParamCall {
        QWidget* Form = nullptr;
        std::vector<TDrawItem*> Items;
        int32_t DPI = 0;
    };
    void SetParam(QWidget* Form, const std::vector<TDrawItem*>& Items, int32_t DPI)
    {
        LastSetParam = {Form, Items, DPI};
        ++SetParamCount;
    }
    TSetParamCall LastSetParam;
    int32_t SetParamCount = 0;

    // The page layout ("DispPage") is the real panel's: nothing yet.
    void RestoreDispPage() {}
    void SaveDispPage() {}

protected:
    void closeEvent(QCloseEvent* Event) override;

private:
    QTabWidget* FPageControl = nullptr;
    QPointer<QWidget> FOwner;
};

// The panel (kept until the end of the main block); nil before start-up.
extern std::unique_ptr<TfrmObjPropertyPlaceholder> frmObjProperty;
