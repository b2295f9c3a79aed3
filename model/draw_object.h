// TDrawObject: the base of every leaf of the draw-item tree. It holds the
// output path (what is painted, bounded and hit-tested), the fill macros that
// paint over it, the wireframe colour and the layer; keeps the two extents
// the fill macros cover, invalidates them, draws the XOR drag outline,
// answers the point tests, records the undo commands of its fill macros
// (codes 10 to 17) and of moves (code 9), and adds its fields to the stream
// forms. Only its descendants are made.
//
// Stream forms after the common item part: int32 wireframe colour; a path
// object writes its fill-path flag byte, any other object its output path;
// int32 layer index; the fill macros. Text: the same, one value a line.
#pragma once

#include "foundation/rec_path.h"
#include "model/draw_item.h"
#include "paint/macro_interpreter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TLayer;
class TMacros;
class TMemoryStreamWex;
struct TrecPicture;

// The wireframe colour is a colour, 0x00BBGGRR: a stored one with a high
// byte is held to its low three bytes, which are what it shows.
inline int32_t HeldWireframeColor(int32_t Colour) { return Colour & 0xFFFFFF; }

class TDrawObject : public TDrawItem {
public:
    // Both extents empty; the wireframe colour and a copy of the fill macros
    // of the installed defaults; the page's current layer.
    TDrawObject(TPageLink* APage, int32_t AID);
    ~TDrawObject() override;

    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // Codes 9 to 17; others go to TDrawItem. Redo replays 11 (delete) and 14
    // (insert) itself, the others like Undo with the redo data.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    // The second and the first extent.
    TRect GetPaintExtent() override { return FrectExtent2; }
    TRect GetSourceExtent() override { return FrectExtent1; }
    // How far round each pixel it paints the painting reads what lies
    // beneath, measured with the extents (PaintDestinationReach).
    int32_t ReadReach() const { return FiReadReach; }
    void ResetExtents() override;
    // This part only clears the redraw request.
    void Paint(TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
               uint8_t* AbortFlag, int32_t Flags) override;
    // With a page and visible: computes empty extents first, hands their
    // union to the page, and requests a redraw.
    void Invalidate(bool Flag) override;
    // Only when the layer shows outlines (no layer: shown). Mode 1: XOR
    // with colour 0x80FF; other modes: the wireframe colour.
    void DrawDragFrame(TDragFrameDC& DC, int32_t Mode) override;
    TRect GetBounds() override;
    // A draw object with the same colour, layer and fill macros.
    bool SameAttributes(TDrawItem* Other) override;
    // The wireframe colour a colour, the fill-path flag 0 or 1, every set
    // value of the fill macros one its parameter takes.
    bool ValuesDrawable(int32_t Dpi) const override;
    // Those fields and the fill macros' values held to their ranges
    // (HeldWireframeColor, HoldMacrosValues).
    void BringValuesIntoRange(int32_t Dpi) override;
    // True when every plane painting the fill macros over the output path
    // makes is one the raster routines work on (RecordWorkable), measured
    // against Background without a pixel had. A plane is the item's box
    // widened by the effect's margins: a box within the largest picture,
    // long and thin, may still make planes past the working limit. A
    // measure that fails counts as unworkable.
    bool PlanesWorkable(TrecPicture& Background);
    // Puts back the parameter values of Snapshot, an earlier copy of the
    // fill macros (a preview undone), without checking or recording them:
    // a value the object held before, even one a parameter would no longer
    // take (an older file), is put back as it was. Macros or lines that no
    // longer match Snapshot are left.
    void PutBackParamValues(const TMacros& Snapshot);
    bool IsSameItem(const TDrawItem* Other) const override { return Other == this; }

    void WriteToStream(TStream& Stream) override;
    void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version) override;
    void WriteToStreamAsText(TStream& Stream) override;
    void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version) override;

    // Source must be a draw object (EConvertError "TDrawObject.Assign:
    // DrawItemSrc is not TDrawObject"): extents, colour, layer, fill macros
    // and the output path (current).
    void Assign(TDrawItem* Source) override;
    void CollectPictureHandles(TListPtrWex& List, const TListRecPict& Store) override;
    void SetLayer(TLayer* Layer) override;
    // Records code 9 (undo: -dx, -dy; redo: dx, dy); (0, 0) does nothing.
    // The descendants move the geometry.
    void MoveBy(int32_t DX, int32_t DY) override;
    bool SnapPoint(TPoint& Point, int32_t SqrRadius) override;
    // Rounded distance to the output path, at most 32768 (squared 2^30).
    int32_t DistanceTo(const TPoint& Point) override;
    bool HitTest(const TPoint& Point, int32_t Tolerance) override;
    // An on-curve point of the output path at a squared distance below
    // SqrTolerance; a Bezier triple is tested by its end point only.
    bool NodeNear(const TPoint& Point, int32_t SqrTolerance) override;

    // Colour, layer and fill macros merged over every leaf of Group: a
    // differing colour gives -1, a differing layer nil, the macros are
    // intersected. False for an empty group.
    bool TakeCommonAttributes(TDrawGroup& Group) override;
    std::optional<int32_t> GetStoredLayerIndex() const override;
    void LinkLayer(TLayer* Layer) override;

    bool DoSetWireframeColor(int32_t Colour) override;
    bool DoDeleteFMacro(int32_t Index) override;
    bool DoExchangeFMacro(int32_t Index1, int32_t Index2) override;
    bool DoMoveFMacro(int32_t FromIndex, int32_t ToIndex) override;
    bool DoInsertFMacro(int32_t Index, const TMacro& Macro) override;
    bool DoSetFMacros(TStream& Stream) override;
    bool DoSetFMacrosPaintParam(const TMacros& Macros) override;
    bool DoSetFMacroEnabled(int32_t Index, uint8_t Flag) override;
    bool DoClearMacrosPictCache(int32_t Index) override;
    // EUserError for a picture fill naming a picture Map does not hold.
    bool DoTranslatePictureHandles(const TList2Item& Map) override;
    bool DoDropMissingPictures(const TListRecPict& Store) override;
    bool DoSetItemLayer(TLayer* Layer) override;

    // On a change: the flag goes into the output path, the object is
    // invalidated, its caches cleared and extents reset, modified set.
    virtual void SetFillPath(uint8_t Flag);
    // On a change: stored, modified set.
    virtual void SetOutputPathState(uint8_t State);
    // The output path, rebuilt first when needed.
    virtual const TrecPath& GetPath();
    // After the fill-path flag changed elsewhere: caches cleared, extents
    // reset, modified set.
    void Refresh();

    int32_t WireframeColor() const { return FiWireframeColor; }
    TLayer* Layer() const { return FLayer; }
    TMacros& Macros() const { return *FMacros; }
    uint8_t FillPath() const { return FOutputPath.Flag; }
    uint8_t OutputPathState() const { return FbOutputPathState; }
    // Changes whenever the output path may have changed (it went stale, was
    // replaced or read): what is laid on this path compares it with the
    // value it saw when it was laid.
    uint32_t PathSerial() const { return FiPathSerial; }
    // The output path as it is, without a rebuild.
    const TrecPath& OutputPath() const { return FOutputPath; }

    // The re-rendering closure's bytes: redraw requested (set by
    // invalidation, cleared by painting) and counted.
    uint8_t RedrawPending() const { return FbRedraw; }
    void SetRedrawPending(uint8_t Value) { FbRedraw = Value; }
    uint8_t Counted() const { return FbCounted; }
    void SetCounted(uint8_t Value) { FbCounted = Value; }

protected:
    // True for line objects: they store their fill-path flag instead of the
    // output path.
    virtual bool IsPathObject() const { return false; }
    // The arguments of painting the fill macros over the output path onto
    // Target at the quality of DisplayMode, as this object's instance.
    TMacroPaintArgs FillMacroArgs(TrecPicture* Target, TListRecPict* Store, uint8_t DisplayMode,
                                  uint8_t* AbortFlag);
    // Measures the fill macros over the output path against Target (nil:
    // nothing is measured) into both extents and the read reach. An empty
    // output path (a text emptied or of blanks only) has nothing to paint:
    // both extents empty.
    void MeasureFillMacros(TrecPicture* Target, TListRecPict* Store, uint8_t DisplayMode);
    // Paints the fill macros over the output path onto Target; nothing for
    // an empty output path. Steps (the draw target's ItemSteps) hears how
    // far the macros are, in permille of the whole.
    using TItemStepsProc = std::function<void(int32_t Done, int32_t Total)>;
    void PaintFillMacros(TrecPicture& Target, TListRecPict* Store, uint8_t DisplayMode,
                         uint8_t* AbortFlag, const TItemStepsProc* Steps = nullptr);
    // Invalidate, replace the fill macros through Change, reset, invalidate.
    template <class F>
    void ChangeMacros(F&& Change);
    // Invalidates the object's area; where its present state cannot be
    // measured, the whole page.
    void InvalidateAsItIs();
    void ApplyParamChange(int32_t MacroIndex, int32_t LineIndex, int32_t ParamNumber,
                          const std::string& Cp932Text);
    // Records code 16 for every change that a parameter rewrite wrote to
    // Changes (int32 macro, line, 1-based parameter, old text, new text).
    void RecordParamChanges(TStream& Changes);
    void DeclareAnchorsInvalid();

    // Little-endian record fields shared by the stream forms and undo records.
    static void WriteRecordInt32(TStream& Stream, int32_t Value);
    static int32_t ReadRecordInt32(TStream& Stream);
    // A text line holding 0..255; EConvertError for a non-number, EReadError
    // outside a byte.
    static uint8_t ReadByteLine(TStream& Stream, const char* Caller);
    // Code 16's record: macro index, line index, 1-based parameter number,
    // the CP932 text and a zero byte.
    static std::string ParamChangeRecord(int32_t MacroIndex, int32_t LineIndex,
                                         int32_t ParamNumber, const std::string& Cp932Text);

    // Reads the fields of an undo record; EUserError with Message when the
    // record is too short.
    class TUndoRecordReader {
    public:
        TUndoRecordReader(const void* Data, int32_t Size, const char* Message)
            : FData(static_cast<const uint8_t*>(Data)), FSize(Data ? Size : 0), FMessage(Message)
        {
        }
        int32_t Int32();
        uint8_t Byte();
        double Double();
        bool AtEnd() const { return FPos >= FSize; }
        // The bytes left, for reading in place (the stream reads the record).
        void Rest(TMemoryStreamWex& Stream);
        // The bytes up to the next zero byte (the zero is required).
        std::string ZeroTerminated();

    private:
        void Need(int32_t Count) const;
        const uint8_t* FData;
        int32_t FSize;
        int32_t FPos = 0;
        const char* FMessage;
    };

    uint8_t FbRedraw = 0;
    TRect FrectExtent1 = EmptyExtent;
    TRect FrectExtent2 = EmptyExtent;
    int32_t FiReadReach = 0;
    uint8_t FbOutputPathState = 0;
    uint32_t FiPathSerial = 0;
    int32_t FiWireframeColor = 0;
    TrecPath FOutputPath;
    std::unique_ptr<TMacros> FMacros;
    TLayer* FLayer = nullptr;      // not owned: the page's layers own it
    int32_t FiLayerIndex = 0;      // the stored index until the layer is linked
    uint8_t FbCounted = 0;
};
