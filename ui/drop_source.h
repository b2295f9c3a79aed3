// The drop source of the program's drags: the drag drops when the left
// button is up, is cancelled by Escape, and shows the default cursors.
#pragma once

#include "ui/ole_interfaces.h"

class TDropSource : public TInterfacedObject<IDropSource> {
public:
    // The button is tested first: releasing it and pressing Escape in one
    // step drops.
    HRESULT QueryContinueDrag(bool EscapePressed, uint32_t KeyState) override;
    HRESULT GiveFeedback(uint32_t Effect) override;
};
