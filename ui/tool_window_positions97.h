// Where every tool window of a form is (docked where, in which row and
// position, or floating where), saved and restored through the caller's
// callbacks, which decide where the values go. The key of each value is
// the tool window's objectName; the value names are "Rev", "Visible",
// "DockedTo", "LastDock", "DockRow", "DockPos", "FloatLeft", "FloatTop"
// and, for toolbars, "FloatRightX".
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TCustomToolWindow97;
class TDock97;

using TPositionReadIntProc =
    std::function<int32_t(const std::string& ToolWindowName, const std::string& Value, int32_t Default, void* ExtraData)>;
using TPositionReadStringProc = std::function<std::string(const std::string& ToolWindowName, const std::string& Value,
                                                          const std::string& Default, void* ExtraData)>;
using TPositionWriteIntProc =
    std::function<void(const std::string& ToolWindowName, const std::string& Value, int32_t Data, void* ExtraData)>;
using TPositionWriteStringProc = std::function<void(const std::string& ToolWindowName, const std::string& Value,
                                                    const std::string& Data, void* ExtraData)>;

// The tool windows a form owns, in the order they were made; and its docks.
std::vector<TCustomToolWindow97*> FormToolWindows(QWidget* Form);
std::vector<TDock97*> FormDocks(QWidget* Form);

// Raises Exception for a tool window without a name, or docked in a
// nameless dock that allows dragging; values written before stay written.
void SaveToolWindowPositions(QWidget* Form, const TPositionWriteIntProc& WriteInt,
                             const TPositionWriteStringProc& WriteString, void* ExtraData);
// Only "Rev" 2 and 3 are taken. A stored dock that is gone or does not
// allow dragging leaves the window where it is (its visibility is still
// applied); a floating window wholly off every screen is moved back on.
// Stored rows below 0 count as 0 and the rows of each dock are made dense.
// A stored row above kToolWindowRowLimit97, or a position or "FloatRightX"
// beyond +-kToolWindowCoordinateLimit97 (a wrap width below 0), is refused
// and counts as missing.
// The docks lay out once, at the end, also when the load fails.
void LoadToolWindowPositions(QWidget* Form, const TPositionReadIntProc& ReadInt,
                             const TPositionReadStringProc& ReadString, void* ExtraData);

// A quicksort of a pointer list; Compare answers negative, zero or positive.
void ListSortEx(std::vector<void*>& List, const std::function<int32_t(void*, void*, void*)>& Compare, void* Data);
