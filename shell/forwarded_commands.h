// The commands the frame hands to the active document window under the
// same handler name (the display-quality commands' actDispModeExecute, which
// takes its sender, is forwarded on its own).
#pragma once

#define TAVRO_FORWARDED_COMMANDS(X)                                                                 \
    X(actUndoExecute) X(actRedoExecute) X(actCutExecute) X(actCopyExecute) X(actPasteExecute)      \
    X(actDelExecute) X(actDupExecute) X(actSelAllExecute) X(actCopyAsBMPExecute)                   \
    X(actCloseExecute) X(actSaveExecute) X(actSaveAsExecute) X(actSaveBMPExecute)                  \
    X(actBmpTraceExecute) X(actMorvoExecute) X(actPrintSetupExecute) X(actPrintExecute)            \
    X(actBezierToLineExecute) X(actLineToBezierExecute) X(actNodeSymExecute)                       \
    X(actNodeSmoothExecute) X(actNodeSharpExecute) X(actNodeConnectExecute)                        \
    X(actNodeDivideExecute) X(actToPolyLineExecute) X(actMergeExecute) X(actUnMergeExecute)        \
    X(act1UpExecute) X(act1DownExecute) X(actTopExecute) X(actBottomExecute)                       \
    X(actArngLeftExecute) X(actArngRightExecute) X(actCenterHExecute) X(actImgCenterHExecute)      \
    X(actEqualHExecute) X(actArngTopExecute) X(actArngBottomExecute) X(actCenterVExecute)          \
    X(actImgCenterVExecute) X(actEqualVExecute) X(actGridOptionExecute) X(actSnapGridExecute)      \
    X(actSnapObjExecute) X(actZoomInExecute) X(actZoomOutExecute)                                  \
    X(actDispAnchorExecute) X(actShowGridExecute) X(actRulerExecute)
