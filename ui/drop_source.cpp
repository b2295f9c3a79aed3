#include "ui/drop_source.h"

HRESULT TDropSource::QueryContinueDrag(bool EscapePressed, uint32_t KeyState)
{
    if (!(KeyState & MK_LBUTTON))
        return DRAGDROP_S_DROP;
    if (EscapePressed)
        return DRAGDROP_S_CANCEL;
    return S_OK;
}

HRESULT TDropSource::GiveFeedback(uint32_t)
{
    return DRAGDROP_S_USEDEFAULTCURSORS;
}
