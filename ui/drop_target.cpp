#include "ui/drop_target.h"

uint32_t KeyStateDropEffect(uint32_t KeyState, uint32_t Default)
{
    const bool Ctrl = KeyState & MK_CONTROL;
    const bool Shift = KeyState & MK_SHIFT;
    if (Ctrl && Shift)
        return DROPEFFECT_LINK;
    if (Ctrl)
        return DROPEFFECT_COPY;
    if (Shift)
        return DROPEFFECT_MOVE;
    return Default;
}

TDropTarget::TDropTarget(const TFormatEtcList& Formats) : FFormats(Formats) {}

HRESULT TDropTarget::DragEnter(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect)
{
    FDataObject.Reset();
    FFormatIndex = -1;
    Effect = DROPEFFECT_NONE;
    for (size_t I = 0; DataObj && I < FFormats.size(); ++I)
        if (DataObj->QueryGetData(FFormats[I]) == S_OK) {
            FDataObject = TComPtr<IDataObject>(DataObj);
            FFormatIndex = static_cast<int32_t>(I);
            break;
        }
    if (FDataObject) {
        Effect = KeyStateDropEffect(KeyState, DROPEFFECT_MOVE);
        if (OnDragEnter)
            OnDragEnter(FDataObject.Get(), KeyState, Pt, Effect);
    }
    return S_OK;
}

HRESULT TDropTarget::DragOver(uint32_t KeyState, POINTL Pt, uint32_t& Effect)
{
    if (!FDataObject) {
        Effect = DROPEFFECT_NONE;
        return S_OK;
    }
    Effect = KeyStateDropEffect(KeyState, DROPEFFECT_MOVE);
    if (OnDragOver)
        OnDragOver(FDataObject.Get(), KeyState, Pt, Effect);
    return S_OK;
}

HRESULT TDropTarget::DragLeave()
{
    if (OnDragLeave)
        OnDragLeave();
    FDataObject.Reset();
    return S_OK;
}

HRESULT TDropTarget::Drop(IDataObject*, uint32_t KeyState, POINTL Pt, uint32_t& Effect)
{
    // Held by the local until the handler is done, whatever it does.
    const TComPtr<IDataObject> Held = std::move(FDataObject);
    FDataObject.Reset();
    if (!Held) {
        Effect = DROPEFFECT_NONE;
        return S_OK;
    }
    Effect = KeyStateDropEffect(KeyState, DROPEFFECT_MOVE);
    if (OnDrop)
        OnDrop(Held.Get(), KeyState, Pt, Effect);
    return S_OK;
}
