// What a document window (TfrmChild) needs of the main frame: its commands
// by table index, the smoothing flag, the ruler flag, the zoom box, the
// status bar, the tool buttons and the enabling of the document commands.
// The frame implements it; tests use a recording double.
#pragma once

#include <cstdint>
#include <string>

class QAction;
class QWheelEvent;

// Indexes of the frame's command table that the document window uses.
namespace FrameCommand {
constexpr int32_t actClose = 3;
constexpr int32_t actSelectTwain = 8;
constexpr int32_t actInputTwain = 9;
constexpr int32_t actConvertToBmp = 13;
constexpr int32_t actUndo = 15;
constexpr int32_t actRedo = 16;
constexpr int32_t actCut = 17;
constexpr int32_t actCopy = 18;
constexpr int32_t actPaste = 19;
constexpr int32_t actDel = 20;
constexpr int32_t actDup = 21;
constexpr int32_t actSelAll = 22;
constexpr int32_t actCopyAsBMP = 23;
constexpr int32_t actDispHigh = 24;
constexpr int32_t actDispMid = 25;
constexpr int32_t actDispLow = 26;
constexpr int32_t actDispWire = 27;
constexpr int32_t actZoomIn = 28;
constexpr int32_t actZoomOut = 29;
constexpr int32_t actPageAll = 35;
constexpr int32_t actDispColPlt = 36;
constexpr int32_t actDispAnchor = 37;
constexpr int32_t actShowGrid = 38;
constexpr int32_t actRuler = 39;
constexpr int32_t act1Up = 40;
constexpr int32_t act1Down = 41;
constexpr int32_t actTop = 42;
constexpr int32_t actBottom = 43;
constexpr int32_t actArngLeft = 44;
constexpr int32_t actArngRight = 45;
constexpr int32_t actCenterH = 46;
constexpr int32_t actImgCenterH = 47;
constexpr int32_t actEqualH = 48;
constexpr int32_t actArngTop = 49;
constexpr int32_t actArngBottom = 50;
constexpr int32_t actCenterV = 51;
constexpr int32_t actImgCenterV = 52;
constexpr int32_t actEqualV = 53;
constexpr int32_t actToPolyLine = 54;
constexpr int32_t actMerge = 55;
constexpr int32_t actUnMerge = 56;
constexpr int32_t actBezierToLine = 57;
constexpr int32_t actLineToBezier = 58;
constexpr int32_t actNodeSym = 59;
constexpr int32_t actNodeSmooth = 60;
constexpr int32_t actNodeSharp = 61;
constexpr int32_t actNodeConnect = 62;
constexpr int32_t actNodeDivide = 63;
constexpr int32_t actGridOption = 65;
constexpr int32_t actSnapGrid = 66;
constexpr int32_t actSnapObj = 67;
} // namespace FrameCommand

class TChildFrameLink {
public:
    virtual ~TChildFrameLink() = default;

    // The command of a table index; nil for the zoom box and indexes
    // outside the table.
    virtual QAction* Action(int32_t Index) = 0;
    // The smoothing flag ("DspSmth", actDispSmooth): reduced views are
    // drawn smoothly.
    virtual bool SmoothDisplay() const = 0;
    // The defaults' show-ruler flag, which actRuler shows.
    virtual bool RulerVisible() const = 0;
    // The zoom box shows Zoom.
    virtual void ShowZoom(int32_t Zoom) = 0;
    // TfrmTavro.ApplyZoom: clamps to 10..1600 and sets the active window's
    // zoom.
    virtual void ApplyZoom(int32_t Zoom) = 0;
    // The frame's mouse-wheel handling (Ctrl+wheel zooms).
    virtual void MouseWheel(QWheelEvent& Event) = 0;
    // Panel 1: selection status; panel 2: modifier-key hints.
    virtual void SetStatusText(int32_t Panel, const std::string& Text) = 0;
    // Presses the tool button of a mouse mode and poly mode.
    virtual void UpdateToolButton(uint8_t Mode, uint8_t SubMode) = 0;
    // Enables the document commands by whether a document window exists;
    // a window calls it when it opens and when it has gone.
    virtual void UpdateDocumentActions() = 0;
    // The handles' visibility of every window's selection.
    virtual void SetDispAnchor(bool Visible) = 0;
    // Presses and clicks the hand tool's button (Hand) or the select tool's.
    virtual void ClickToolButton(bool Hand) = 0;
    // The frame's dialogs of the page-picture commands: saving the page as
    // a BMP file (FileName proposed, then chosen) and choosing a picture to
    // trace. False when cancelled (and where there is no dialog).
    virtual bool ExecuteSaveBmpDialog(std::string& FileName, const std::string& InitialDir)
    {
        (void)FileName, (void)InitialDir;
        return false;
    }
    virtual bool ExecuteOpenImageDialog(std::string& FileName, const std::string& InitialDir)
    {
        (void)FileName, (void)InitialDir;
        return false;
    }
    // True from the frame's accepted close on: what the windows record of
    // their state then no longer counts.
    virtual bool ShutdownBegun() const { return false; }
};
