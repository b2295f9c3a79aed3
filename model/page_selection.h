// What a page calls of its selection (the set of selected items with its
// handles). The selection class implements it; a page gets its selection
// from the factory installed at start-up, and tests install doubles.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/geometry_types.h"

class TDrawItem;
class TPage;

class TPageSelection {
public:
    virtual ~TPageSelection() = default;

    // Change notifications wait while the update count is above 0.
    virtual void BeginUpdate() = 0;
    virtual void EndUpdate() = 0;
    // Empties the selection with an undo record (nothing when empty).
    virtual void ClearSelection() = 0;
    // Empties the selected-item list without records.
    virtual void EmptyItems() = 0;
    // The selected items become Items, in that order, without records.
    virtual void SetItems(const std::vector<TDrawItem*>& Items) = 0;
    virtual bool IsSelected(const TDrawItem* Item) const = 0;

    // 0 object mode, 1 node-edit mode.
    virtual uint8_t GetEditMode() const = 0;
    virtual void SetEditMode(uint8_t Mode) = 0;
    // Deselects every selected node (node-edit mode).
    virtual void ClearNodeSelection() = 0;
    virtual void RebuildAnchors() = 0;
    // Items call it with False after a change of geometry.
    virtual void SetAnchorsValid(bool Value) = 0;

    // The rectangle the windows repaint for the selection.
    virtual TRect GetExtent() = 0;
    // The union of the selected items' path bounds.
    virtual TRect GetBounds() = 0;
};

// Makes the selection of a new page. Nil (the default): pages have none.
using TPageSelectionFactory = std::unique_ptr<TPageSelection> (*)(TPage& Page);
void SetPageSelectionFactory(TPageSelectionFactory Factory);
TPageSelectionFactory GetPageSelectionFactory();
