// TPolyLineObj: the freely edited path (stored type 1). Its base path is its
// stored geometry and every node edit changes it in place. The class keeps
// one node kind per base-path point (0 sharp corner, 1 smooth, 2 symmetric)
// and the node-editing operations of the node mode and the selection's
// commands.
//
// Undo code 24: the base path (binary form) followed by one node-kind byte
// per point. The editing commands record it (undo) before they change
// anything and record nothing when nothing changes; redo is the caller's
// command record, which runs the command again.
//
// Stream forms: the line-object form (ending with the base path), then one
// node kind per base-path point (binary: one byte each; text: one line each).
#pragma once

#include <cstdint>
#include <vector>

#include "model/line_object.h"
#include "model/page.h"

class TAnchors;

// Node kinds.
constexpr uint8_t nkSharp = 0;
constexpr uint8_t nkSmooth = 1;
constexpr uint8_t nkSymmetric = 2;

// Stored type number of the polyline.
constexpr uint8_t doftPolyLine = 1;
// Undo command of the polyline.
constexpr int32_t PolyLineUndoCode = 24;

class TPolyLineObj : public TLineObject, public TPolyLineNodes {
public:
    TPolyLineObj(TPageLink* APage, int32_t AID);
    ~TPolyLineObj() override;

    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // Code 24 (undo and redo alike: the record holds the state to restore);
    // others go to TLineObject.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    void WriteToStream(TStream& Stream) override;
    void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version) override;
    void WriteToStreamAsText(TStream& Stream) override;
    void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version) override;

    // EConvertError "TPolyLineObj.Assign: DrawItemSrc is not TPolyLineObj"
    // for any other source; copies the node kinds.
    void Assign(TDrawItem* Source) override;
    void MoveBy(int32_t DX, int32_t DY) override;
    // Every point within reach, the types a path the painters can walk
    // (RecPolyLineWalkable), every node kind one of the three.
    bool ValuesDrawable(int32_t Dpi) const override;
    // The types mended (RecPolyLineMendTypes) and unknown node kinds made
    // sharp: the line keeps every point.
    void BringValuesIntoRange(int32_t Dpi) override;
    // The points scaled towards the box's corner until the box is one that
    // paints (BoxHeldToPaint).
    void BringBoxDownToPaint() override;

    bool IsPolyLine() const override { return true; }
    // Points and types copied from Path; every node kind 0.
    void SetPathRecord(const TrecPath& Path) override;

    // TPolyLineNodes (the page's point and node-kind records).
    int32_t GetNodeCount() override { return FBasePath.Count; }
    void SetNodeKindRaw(int32_t Index, uint8_t Kind) override;
    void SetNodePointRaw(int32_t Index, const TPoint& Point) override;

    // Point access by index; EListError outside 0..Count-1.
    int32_t PointCount() const { return FBasePath.Count; }
    uint8_t GetNodeKind(int32_t Index) const;
    TPoint GetNodePoint(int32_t Index) const;
    uint8_t GetPointType(int32_t Index) const;
    const std::vector<uint8_t>& NodeKinds() const { return FNodeKinds; }
    // True for a node: a move or line point, or a Bezier triple's end.
    bool IsNode(int32_t Index) const;

    // After points were moved in place (anchors): base bounds and output
    // path are rebuilt, the object is invalidated.
    void NodesChanged();

    // Records the base path and the node kinds as code 24 (kind 0 undo,
    // 1 redo) when recording is possible.
    void RecordBasePath(uint8_t Kind);

    // The primitives below change the path without records.
    // Appends Other's base path and its node kinds (0 for a line object
    // that is no polyline).
    void AppendLine(TLineObject& Other);
    // Nodes among points First..Last (a Bezier triple counts once).
    int32_t CountNodes(int32_t First, int32_t Last) const;
    // EUserError "TPolyLineObj.SetNodeSmooth: iIndex incorrect" outside the
    // path; False for an unchanged kind. With UndoStream a 20-byte node-kind
    // record with the old kind is written first.
    bool SetNodeKind(int32_t Index, uint8_t Kind, TStream* UndoStream);
    // Index 0..Count (EListError outside).
    void InsertPoint(int32_t Index, const TPoint& Point, uint8_t NodeKind, uint8_t Type);
    // Start and N within the path (EListError otherwise).
    void DeletePoints(int32_t Start, int32_t N);
    void MovePoints(int32_t From, int32_t To, int32_t N);
    // -1 when nothing was inserted, else the index of the closing point.
    int32_t CloseFigure(int32_t First, int32_t Last);
    int32_t CloseFigureAt(int32_t Index);
    void LineToCurve(int32_t First, int32_t Last);
    void CurveToLine(int32_t First, int32_t Last);
    // Reverses the figure holding Index, node kinds with their points.
    void ReverseFigure(int32_t Index);

    // The recorded node commands.
    // Drops closed figures of fewer than 4 and open ones of fewer than 2
    // nodes. True when a figure was dropped.
    bool RemoveDegenerateFigures();
    // Inserts a node at the place of the path nearest to Point; returns its
    // index, -1 (nothing changed) for a path without segments.
    int32_t InsertNode(const TPoint& Point);
    // Segments between consecutive selected nodes become lines / curves;
    // Selected is renumbered for the new points. Any index that is no node
    // raises EUserError before anything changes.
    void ToLine(std::vector<int32_t>& Selected);
    void ToCurve(std::vector<int32_t>& Selected);
    // Deletes the selected nodes (any order). An index that is no node of
    // the path shows the error box "TPolyLineObj.DeletePoint: iIndexDel
    // incorrect !" and changes nothing.
    void DeletePoint(const std::vector<int32_t>& Selected);
    // Every figure after the first becomes a new polyline appended to the
    // parent group (and to Result). EUserError without a parent group.
    void SplitFigures(std::vector<TPolyLineObj*>* Result);
    // Joins the end node Index1 of an open figure of this object with the
    // end node Index2 of an open figure of Other (which may be this object):
    // the same figure is closed; otherwise the second figure follows the
    // first one's end (equal end points merge, else a straight segment
    // joins them) and leaves Other, which may be left without points.
    // EUserError (nothing changed) for indexes that are no end nodes of
    // open figures. JoinA and JoinB receive the joined nodes' indexes.
    void JoinEndNodes(int32_t Index1, TPolyLineObj& Other, int32_t Index2, int32_t& JoinA,
                      int32_t& JoinB);

    // Adds anchors for every point when this object is in the selection of
    // Anchors' owner. EUserError "SetNodeAnchorSub: NodeAnchor Already
    // Added." when anchors of this object exist.
    void AddNodeAnchors(TAnchors& Anchors);

private:
    struct TWork;
    void SyncKinds();
    void LoadWork(TWork& W);
    // Stores W when it differs from the current state: record, store,
    // path states, invalidation. False when nothing changed.
    bool Commit(TWork& W);
    void ApplyWork(TWork& W);
    void RestoreRecord(const void* Data, int32_t Size);

    std::vector<uint8_t> FNodeKinds;
};

// Registers TPolyLineObj as stored type 1.
void RegisterPolyLineObjType();
