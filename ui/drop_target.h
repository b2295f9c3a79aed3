// A drop target for a fixed list of accepted formats: a drag is taken when
// the dragged data object offers one of them (the first in list order
// decides), and its effect follows the modifier keys before the owner's
// handlers may change it. The owner registers it on a widget
// (RegisterDragDrop) and revokes it itself.
#pragma once

#include "ui/data_object.h"

#include <functional>

// Ctrl+Shift link, Ctrl copy, Shift move, neither Default.
uint32_t KeyStateDropEffect(uint32_t KeyState, uint32_t Default);

using TDropTargetEvent =
    std::function<void(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect)>;

class TDropTarget : public TInterfacedObject<IDropTarget> {
public:
    explicit TDropTarget(const TFormatEtcList& Formats);

    // All answer S_OK. Drop hands OnDrop the data object held since
    // DragEnter, not its argument, and lets go of it.
    HRESULT DragEnter(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect) override;
    HRESULT DragOver(uint32_t KeyState, POINTL Pt, uint32_t& Effect) override;
    HRESULT DragLeave() override;
    HRESULT Drop(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect) override;

    TDropTargetEvent OnDragEnter;
    TDropTargetEvent OnDragOver;
    TDropTargetEvent OnDrop;
    std::function<void()> OnDragLeave;

    const TFormatEtcList& Formats() const { return FFormats; }
    // The data object of the drag under way (nil outside a drag) and the
    // index of the accepted format it matched.
    IDataObject* DataObject() const { return FDataObject.Get(); }
    int32_t FormatIndex() const { return FFormatIndex; }

private:
    TFormatEtcList FFormats;
    TComPtr<IDataObject> FDataObject;
    int32_t FFormatIndex = -1;
};
