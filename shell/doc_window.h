// The document window as the frame sees it. The frame reaches its document
// windows through QMdiArea and calls of them, besides the TOLEFormDoc
// interface of the core (Page, GetZoomPercent, InvalidatePageRect,
// UpdateActionStates), only:
//   the forwarded command handlers of TAVRO_FORWARDED_COMMANDS and
//   actDispModeExecute (the display-quality command that was triggered),
//   CreateDoc (MDI area, document, frame), CascadeAll, SubWindow, SetZoom (percent),
//   FormResize, EndMakeLine, PasteText (bytes of the clipboard text form).
#pragma once

#include "shell/child_form.h"

using TDocWindow = TfrmChild;
