// Docks: the areas along a form's edges that hold tool windows in rows.
//
// A TDock97 lays its tool windows out by row (DockRow) and position along
// the row (DockPos), grows and shrinks with them, draws its bound lines and
// a tiled background that continues onto the docked tool windows. Rows are
// compacted on every layout; a floating tool window that remembers the dock
// as its LastDock keeps its row reserved. Coordinates along and across the
// rows are those of the dock's client area, which excludes the bound lines.
#pragma once

#include "foundation/user_error.h"

#include <QColor>
#include <QImage>
#include <QPointer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QPainter;
class TCustomToolWindow97;

// The class library's invalid-operation error (misplaced controls,
// forbidden property changes).
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
};

enum TDockPosition { dpTop, dpBottom, dpLeft, dpRight };

enum TDockBoundLinesValues { blTop, blBottom, blLeft, blRight };
// A set of TDockBoundLinesValues, one bit each (1 << value).
using TDockBoundLines = uint32_t;
constexpr TDockBoundLines BoundLineBit(TDockBoundLinesValues V) { return 1u << V; }

// "Version" of the docking components; read-only, never stored.
inline constexpr const char* kToolbar97Version = "Toolbar97 version 1.77";

using TInsertRemoveEvent = std::function<void(QObject* Sender, bool Inserting, TCustomToolWindow97* Bar)>;
using TRequestDockEvent = std::function<void(QObject* Sender, TCustomToolWindow97* Bar, bool& Accept)>;

class TDock97;
// 0 for no dock (floating), 1 for top and bottom docks, 2 for left and right.
int32_t DockOrientationOf(const TDock97* Dock);

class TDock97 : public QWidget {
    Q_OBJECT
public:
    explicit TDock97(QWidget* Parent = nullptr, TDockPosition Position = dpTop);
    ~TDock97() override;

    // Re-parents the dock; a tool window or another dock as parent raises
    // EInvalidOperation and changes nothing.
    void SetParent(QWidget* AParent);

    bool AllowDrag() const { return FAllowDrag; }
    void SetAllowDrag(bool Value);
    const QImage& Background() const { return FBackground; }
    void SetBackground(const QImage& Value);
    bool BackgroundOnToolbars() const { return FBackgroundOnToolbars; }
    void SetBackgroundOnToolbars(bool Value);
    bool BackgroundTransparent() const { return FBackgroundTransparent; }
    void SetBackgroundTransparent(bool Value);
    TDockBoundLines BoundLines() const { return FBoundLines; }
    void SetBoundLines(TDockBoundLines Value);
    QColor Color() const { return FColor; }
    void SetColor(const QColor& Value);
    bool FixAlign() const { return FFixAlign; }
    void SetFixAlign(bool Value);
    bool LimitToOneRow() const { return FLimitToOneRow; }
    void SetLimitToOneRow(bool Value) { FLimitToOneRow = Value; }
    TDockPosition Position() const { return FPosition; }
    // Raises EInvalidOperation when the dock already holds controls.
    void SetPosition(TDockPosition Value);
    static const char* Version() { return kToolbar97Version; }

    TInsertRemoveEvent OnInsertRemoveBar;
    TRequestDockEvent OnRequestDock;
    std::function<void(QObject* Sender)> OnResize;

    // Nestable; layouts asked for meanwhile run once at the last EndUpdate.
    void BeginUpdate();
    void EndUpdate();

    void RegisterToolWindow(bool Inserting, TCustomToolWindow97* Bar);
    void UpdateShownList(TCustomToolWindow97* Bar, bool ForceRemove);
    bool IsShownHere(const TCustomToolWindow97* Bar) const;
    bool AnyToolWindowShown() const { return !FShownToolWindows.empty(); }
    const std::vector<TCustomToolWindow97*>& ToolWindows() const { return FToolWindows; }
    const std::vector<TCustomToolWindow97*>& ShownToolWindows() const { return FShownToolWindows; }

    int32_t GetHighestRow() const;
    // The thickness of Row without the tool windows' borders; 0 for an
    // empty or unknown row, which with Bar given becomes Bar's thickness.
    int32_t RowExtent(int32_t Row, const TCustomToolWindow97* Bar) const;
    // The row a tool window dropped at Offset across the rows goes to; with
    // Before a new row is to be opened there.
    int32_t FindRowAt(int32_t Offset, bool& Before) const;
    int32_t RowAtOffset(int32_t Offset) const;
    void OpenRowBefore(int32_t Row);
    int32_t CountOnRow(int32_t Row, const TCustomToolWindow97* Except) const;
    const std::vector<int32_t>& RowSizes() const { return FRowSizes; }

    // Lays the rows out and gives the dock its thickness; with KeepPositions
    // the positions the layout settles on are written back to the windows.
    void LayOutRows(bool KeepPositions);
    // The client area's length along the rows and its other side, as the
    // last layout saw them (full-size tool windows fill them).
    int32_t InnerWidth() const { return FInnerWidth; }
    int32_t InnerHeight() const { return FInnerHeight; }
    // The client area in widget coordinates (inside the bound lines).
    QRect ClientRect() const;
    // The dock's client origin in its parent's client coordinates; the
    // background tiles are anchored at the parent's origin.
    QPoint ClientOriginInParent() const;

    bool HasBackground() const { return FBackground.width() > 0 && FBackground.height() > 0; }
    // Tiles DrawRect (anchored at its top-left) within ClipRect, less
    // ExcludeRect when given.
    void PaintBackgroundTiles(QPainter& DC, const QRect& ClipRect, const QRect& DrawRect, const QRect* ExcludeRect);
    void RepaintToolWindows();
    void DropBackgroundCache();

    // Puts every dock among Parent's children along its edge when Parent has
    // no layout (top and bottom across the width, left and right between
    // them); a layout places them otherwise.
    static void AlignDocksIn(QWidget* Parent);

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void moveEvent(QMoveEvent* Event) override;
    void changeEvent(QEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    friend class TCustomToolWindow97;
    void SetThickness(int32_t Thickness);
    void WatchParent(QWidget* Parent);
    void ForgetToolWindow(TCustomToolWindow97* Bar);
    const QImage& Tile();

    bool FAllowDrag = true;
    QImage FBackground;
    bool FBackgroundOnToolbars = true;
    bool FBackgroundTransparent = false;
    TDockBoundLines FBoundLines = 0;
    QColor FColor;
    bool FFixAlign = false;
    bool FLimitToOneRow = false;
    TDockPosition FPosition = dpTop;

    std::vector<TCustomToolWindow97*> FToolWindows;
    std::vector<TCustomToolWindow97*> FShownToolWindows;
    std::vector<int32_t> FRowSizes;
    QImage FBackgroundCache;
    int32_t FUpdateCount = 0;
    bool FLayoutPending = false;
    bool FKeepPositions = false;
    int32_t FBorderX = 0;
    int32_t FBorderY = 0;
    int32_t FInnerWidth = 0;
    int32_t FInnerHeight = 0;
    QPointer<QWidget> FWatchedParent;
    bool FDestroying = false;
};

// Row numbers made dense: the distinct values in Rows keep their order and
// become 0, 1, 2...; negative values count as 0. Works on the values present,
// so a stored row of any size costs nothing.
void CompactRows(std::vector<int32_t>& Rows);
