// The document window as the frame sees it. The frame reaches its document
// windows through QMdiArea and calls of them, besides the TOLEFormDoc
// interface of the core (Page, GetZoomPercent, InvalidatePageRect,
// UpdateActionStates), only:
//   the forwarded command handlers of TAVRO_FORWARDED_COMMANDS (Sender),
//   CreateDoc (frame, document), SetZoom (percent), FormResize, EndMakeLine,
//   PasteText (bytes of the clipboard text form).
#pragma once

#include "shell/placeholder_child.h"

using TDocWindow = TfrmPlaceholderChild;
