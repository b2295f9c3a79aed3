// TLineObject: the base of every draw object whose shape is a path
// (polylines, the parametric shapes, text). Its base path is the object's own
// geometry; the output path is the base path passed through the object's
// outline transform. Each path has a state byte (0 rebuild, 1 bounds only,
// 2 current) and is rebuilt lazily when somebody asks for it.
//
// Undo codes 18 to 23 (path macros, fill-path flag, outline, rotation,
// scaling); the others go to TDrawObject.
//
// Stream forms after the draw-object part: the path macros, the outline
// (from version 17), then a polyline's base path or any other line object's
// fill-path flag byte (from version 8). Below version 7 the base path comes
// first, then the path macros. Only polylines store their base path: the
// others regenerate it from their parameters.
#pragma once

#include "model/draw_object.h"
#include "model/outline_transform.h"

#include <cstdint>
#include <memory>

class TMacros;

// The outline transform the rebuild passes the base path through: Dest :=
// Outline applied to Source within Rect (the base path's bounds). Installed
// by whoever provides the transform; the default is TOutline::Transform,
// which copies for outline kind 0. Counts and centres (text) stay empty here.
using TOutlineTransformHook = void (*)(const TOutline& Outline, const TRect& Rect,
                                       const TrecPath& Source, TrecPath& Dest);
// Nil restores the default.
void SetOutlineTransformHook(TOutlineTransformHook Hook);

class TLineObject : public TDrawObject {
public:
    // Both path states 0; a new outline of kind 0 with its default parameters.
    TLineObject(TPageLink* APage, int32_t AID);
    ~TLineObject() override;

    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // Codes 18 to 23; Redo replays 22 and 23 by rotating and scaling again.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    // Render the fill macros in measuring mode (visible, on a page, both
    // extents empty, at least one macro) into the page picture.
    void CalcExtents() override;
    void CalcExtentsAndInvalidate() override;
    // Visible only: clears the redraw request, rebuilds, measures when an
    // extent is empty (on the page, or on Target without one) and paints the
    // fill macros when Target meets an extent.
    void Paint(TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
               uint8_t* AbortFlag, int32_t Flags) override;
    // A line object with the draw-object attributes, the same fill-path
    // flag and an equal outline.
    bool SameAttributes(TDrawItem* Other) override;
    // Output path state 2: nothing; 0: ensure the base path, transform it
    // into the output path, bounds, state 2, invalidate; 1: bounds only.
    void RebuildPath() override;

    void WriteToStream(TStream& Stream) override;
    void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version) override;
    void WriteToStreamAsText(TStream& Stream) override;
    void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version) override;

    // Source must be a line object (EConvertError "TLineObject.Assign:
    // DrawItemSrc is not TLineObject").
    void Assign(TDrawItem* Source) override;
    // Declares the handles invalid, records code 9, resets the extents,
    // invalidates, sets the modified flag; the descendants move their
    // geometry first.
    void MoveBy(int32_t DX, int32_t DY) override;
    // The base path's and the output path's bounds.
    bool MoveKeepsReach(int32_t DX, int32_t DY) override;
    // Rotates the base path about the centre (rounded to whole units) by
    // Angle radians; codes 22 (undo: the base path; redo: the three
    // doubles) and 16 for every fill parameter that turns with the object.
    void Rotate(double CX, double CY, double Angle) override;
    // Scales the base path (factors in 1/1024); code 23 (undo: the base
    // path; redo: the four doubles).
    void ScaleTo(double CX, double CY, double FX, double FY) override;
    bool TakeCommonAttributes(TDrawGroup& Group) override;
    // The outline within its ranges (OutlineInRange), the base path's
    // fill-path flag 0 or 1, the path macros' values as the fill macros'
    // (MacrosValuesAccepted).
    bool ValuesDrawable(int32_t Dpi) const override;
    void BringValuesIntoRange(int32_t Dpi) override;

    // A flag other than 0 is 1.
    bool DoSetItemsFillPath(uint8_t Flag) override;   // 19
    // The change held to the outline's ranges (HoldOutline, sentinels kept).
    bool DoSetOutline(const TOutline& Change) override; // 20

    // Stores the flag in the output and the base path.
    void SetFillPath(uint8_t Flag) override;
    // 2 also declares the base path current; caches cleared, extents reset.
    void SetOutputPathState(uint8_t State) override;

    // On a change: 0 also asks for a new output path, 1 turns a current
    // output path into "bounds only"; caches cleared, extents reset.
    void SetPathState(uint8_t State);
    // Regenerates the base path; here it only declares it current.
    virtual void BuildBasePath();
    // The base path, regenerated first when needed.
    const TrecPath& GetBasePath();

    // The polyline class (type 1) answers True: its base path is its stored
    // geometry.
    virtual bool IsPolyLine() const { return false; }
    // The base path := a copy of Path (a polyline also resets its node kinds
    // to 0); then SetPathState(1) and output path state 0.
    virtual void SetPathRecord(const TrecPath& Path);
    // Replaces this object in its parent by a new polyline (made through the
    // registered type 1 under AID) carrying the name, colour, layer, fill
    // macros and the current output path as its base and output path. Caller
    // (a group holding references) has references to this object replaced.
    // This object is freed: the caller must not touch it afterwards. Nil,
    // and nothing changed, for a polyline. EUserError "TLineObject.
    // ConvertToPolyLine: (iIndex < 0)" when the parent does not hold it.
    TLineObject* ConvertToPolyLine(TDrawItem* Caller, int32_t AID);

    uint8_t BasePathState() const { return FbBasePathState; }
    const TOutline& Outline() const { return FOutline; }
    TMacros& PathMacros() const { return *FPathMacros; }
    // Set, the path macros would reshape the output path, which the nodes
    // then no longer describe: the node tools leave such a line alone.
    uint8_t PathMacroFlag() const { return FbPathMacro; }
    // The base path as it is, without regeneration.
    const TrecPath& BasePath() const { return FBasePath; }

protected:
    bool IsPathObject() const override { return true; }
    // Checks the path's source first (CheckPathSource), then rebuilds the
    // base path when it is not current.
    void EnsureBasePath();
    // A base path laid on another item (a text on a path) is declared stale
    // here when that item went or came back since; nothing for the others.
    virtual void CheckPathSource() {}

    // Set while a path is being built: the invalidations that building
    // causes neither build it again nor measure the unfinished output path;
    // the rebuild measures once it is done.
    bool FbBuilding = false;
    class TBuildGuard {
    public:
        explicit TBuildGuard(bool& Flag) : FFlag(Flag), FOld(Flag) { FFlag = true; }
        ~TBuildGuard() { FFlag = FOld; }
        TBuildGuard(const TBuildGuard&) = delete;
        TBuildGuard& operator=(const TBuildGuard&) = delete;

    private:
        bool& FFlag;
        bool FOld;
    };

    uint8_t FbBasePathState = 0;
    TOutline FOutline;
    TrecPath FBasePath;
    std::unique_ptr<TMacros> FPathMacros;
    uint8_t FbPathMacro = 0;

private:
    void RestoreBasePath(const void* Data, int32_t Size);
    void ReadLinePart(TStream& Stream, int32_t Version, bool Text);
};
