// Anchors: the small squares the user grabs on a page. In object mode a
// selection shows eight resize handles, a rotation centre and a rotation
// target around its bounds; in node-edit mode every point of the selected
// polylines gets a node anchor (a node on the curve) or a control anchor (a
// Bezier control point). TAnchors is the anchor list of one selection: it
// builds the anchors, hit-tests them (page units, tolerance 700 div zoom,
// i.e. seven device pixels), draws them in device units, keeps the node
// selection with undo records and realigns control points when a node's
// kind changes.
//
// A node anchor holds no point of its own: it names (polyline, point index)
// and reads and writes the polyline's base path there. Any change of a
// polyline's point count is followed by a rebuild of the anchors.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "foundation/geometry_types.h"
#include "foundation/tobject.h"

class TDrawItem;
class TPolyLineObj;
class TStream;
class TCursorService;

// Anchor kinds; 1 is no anchor but the hit-test result "inside the
// selection's bounds".
constexpr uint8_t akNone = 0;
constexpr uint8_t akInside = 1;
constexpr uint8_t akTop = 2;
constexpr uint8_t akLeft = 3;
constexpr uint8_t akRight = 4;
constexpr uint8_t akBottom = 5;
constexpr uint8_t akTopLeft = 6;
constexpr uint8_t akTopRight = 7;
constexpr uint8_t akBottomLeft = 8;
constexpr uint8_t akBottomRight = 9;
constexpr uint8_t akRotCenter = 10;
constexpr uint8_t akRotTarget = 11;
constexpr uint8_t akNode = 25;
constexpr uint8_t akControl = 26;

// Node-selection records of the selection (9 bytes: object ID, point index,
// selected state before the change); the window passes this code.
constexpr int32_t NodeSelectCode = 53;
constexpr int32_t NodeSelectRecordSize = 9;
// Point change records written into caller streams (applied by the page).
constexpr int32_t PointChangeRecordSize = 20;

// The empty rectangle of the anchors (MaxInt, MaxInt, MinInt, MinInt).
inline constexpr TRect AnchorsEmptyRect{2147483647, 2147483647, -2147483647 - 1,
                                        -2147483647 - 1};

// Bitmap resource of an anchor kind ("" for none); kinds 25 and 26 have a
// selected form.
const char* AnchorBitmapName(uint8_t Kind, bool Selected);
// The ten handle bitmaps in the order the user interface loads them.
extern const char* const gcAnchorBitmapNames[10];
// Cursor resource of a hit kind 1..11 ("" for others).
const char* AnchorCursorName(uint8_t HitKind);

// Registers the eleven cursors through Service once (a counter guards
// repeated starts; a failure leaves the counter where it was and passes
// on). AnchorsShutdown undoes one start.
void AnchorsStartup(TCursorService& Service);
void AnchorsShutdown();
// The cursor index registered for a hit kind; 0 (the default cursor) when
// the kind has none or the cursors are not registered.
int32_t AnchorCursor(uint8_t HitKind);

// What the anchors draw on: the document window's canvas. Page points are
// mapped with LPtoDP; between BeginDeviceMapping and EndDeviceMapping the
// canvas draws in device units (window origin and extent := its viewport's).
class TAnchorCanvas {
public:
    virtual ~TAnchorCanvas() = default;
    virtual TPoint LPtoDP(const TPoint& P) = 0;
    virtual void BeginDeviceMapping() = 0;
    virtual void EndDeviceMapping() = 0;
    virtual void SetPenColor(int32_t Colour) = 0;
    virtual void SetBrushColor(int32_t Colour) = 0;
    virtual void SetBrushSolid() = 0;
    virtual void MoveTo(int32_t X, int32_t Y) = 0;
    virtual void LineTo(int32_t X, int32_t Y) = 0;
    // The handle bitmaps, by resource name, drawn with transparent colour
    // 0xFF0000 and their top-left at (X, Y).
    virtual int32_t GetBitmapWidth(const char* Name) = 0;
    virtual void DrawBitmap(const char* Name, int32_t X, int32_t Y) = 0;
    // Invalidates (without erasing) a device rectangle of the canvas's window.
    virtual void InvalidateDeviceRect(const TRect& Rect) = 0;
};

// What the anchors use of their owner (the selection).
class TAnchorsOwner {
public:
    virtual ~TAnchorsOwner() = default;
    // The selection's own undo (kind 0) and redo (kind 1) records.
    virtual void AnchorsAddHistory(uint8_t Kind, int32_t Command, const void* Data,
                                   int32_t Size) = 0;
    virtual bool IsItemSelected(const TDrawItem* Item) const = 0;
    // Repaints the anchors in the selection's views.
    virtual void InvalidateAnchorViews() = 0;
    // Invalidates a page rectangle in every view of the page.
    virtual void InvalidatePageRect(const TRect& Rect) = 0;
};

class TCustomAnchor : public TObject {
public:
    explicit TCustomAnchor(uint8_t AKind) : Kind(AKind) {}
    std::string ClassName() const override { return "TCustomAnchor"; }

    // |X - px| <= Tolerance and |Y - py| <= Tolerance.
    virtual bool HitTest(int32_t X, int32_t Y, int32_t Tolerance);
    virtual void SetPoint(const TPoint& P) = 0;
    virtual void GetPoint(TPoint& P) const = 0;
    virtual void SetX(int32_t Value) = 0;
    virtual int32_t GetX() const = 0;
    virtual void SetY(int32_t Value) = 0;
    virtual int32_t GetY() const = 0;
    // The kind's bitmap centred on the point in device units.
    virtual void Draw(TAnchorCanvas& Canvas, int32_t Size);
    // Invalidates the point's square +- HalfSize in device units, right and
    // bottom widened by 1.
    void Invalidate(TAnchorCanvas& Canvas, int32_t HalfSize);

    TPoint Point() const
    {
        TPoint P;
        GetPoint(P);
        return P;
    }
    virtual uint8_t IsSelected() const { return 0; }

    uint8_t Kind;
};

// A handle with its own point.
class TAnchor : public TCustomAnchor {
public:
    TAnchor(uint8_t AKind, int32_t AX, int32_t AY) : TCustomAnchor(AKind), X(AX), Y(AY) {}
    std::string ClassName() const override { return "TAnchor"; }
    void SetPoint(const TPoint& P) override
    {
        X = P.X;
        Y = P.Y;
    }
    void GetPoint(TPoint& P) const override { P = {X, Y}; }
    void SetX(int32_t Value) override { X = Value; }
    int32_t GetX() const override { return X; }
    void SetY(int32_t Value) override { Y = Value; }
    int32_t GetY() const override { return Y; }

    int32_t X;
    int32_t Y;
};

// An anchor on point Index of Owner's base path. The point accessors raise
// EListError when Index is no longer a point of the path (stale anchors).
class TNodeAnchor : public TCustomAnchor {
public:
    TNodeAnchor(uint8_t AKind, TPolyLineObj* AOwner, int32_t AIndex, uint8_t APointType)
        : TCustomAnchor(AKind), Index(AIndex), Owner(AOwner), PointType(APointType)
    {
    }
    std::string ClassName() const override { return "TNodeAnchor"; }

    void SetPoint(const TPoint& P) override;
    void GetPoint(TPoint& P) const override;
    void SetX(int32_t Value) override;
    int32_t GetX() const override;
    void SetY(int32_t Value) override;
    int32_t GetY() const override;
    // Pen and brush colour 0, solid brush, then the bitmap.
    void Draw(TAnchorCanvas& Canvas, int32_t Size) override;
    uint8_t IsSelected() const override { return Selected; }

    // The owner's node kind at Index (0 sharp, 1 smooth, 2 symmetric).
    uint8_t GetNodeKind() const;
    void StoreStartPoint();
    // When the point left its start point: a point record with the start
    // point to UndoStream and one with the current point to RedoStream.
    void RecordMove(TStream* UndoStream, TStream* RedoStream);
    // The point at the far end of the straight segment that meets this
    // node; False when there is none.
    bool GetNeighbourPoint(TPoint& P) const;

    uint8_t Selected = 0;
    int32_t StartX = 0;
    int32_t StartY = 0;
    int32_t Index;
    // Node: its control anchors. Control: Link1 its node, Link2 the opposite
    // control anchor of the same node. Nil when none.
    TNodeAnchor* Link1 = nullptr;
    TNodeAnchor* Link2 = nullptr;
    // Point index of the neighbour across a straight segment, -1 when none.
    int32_t NeighbourIndex = -1;
    // Control anchor: its distance from its node when built.
    double HandleLength = 0.0;
    TPolyLineObj* Owner;  // not owned
    uint8_t PointType;
};

class TAnchors : public TObject {
public:
    // AOwner may be nil: then nothing is recorded or invalidated and every
    // polyline may add its nodes.
    explicit TAnchors(TAnchorsOwner* AOwner);
    ~TAnchors() override;
    std::string ClassName() const override { return "TAnchors"; }

    // Frees every anchor and forgets the rotation centre and the hit anchor.
    void Clear();
    int32_t GetCount() const { return static_cast<int32_t>(FList.size()); }
    // Any anchor by list index (EListError outside).
    TCustomAnchor* GetNodeAnchor(int32_t Index) const;
    const TRect& GetRect() const { return FRect; }
    void SetRect(const TRect& Rect) { FRect = Rect; }
    TAnchor* GetRotationCenter() const { return FRotationCenter; }
    TNodeAnchor* GetFirstSelected() const;
    int32_t GetSelectedCount() const;
    // Bounds of the selected anchors' points; AnchorsEmptyRect when none.
    void GetSelectedBounds(TRect& Rect) const;

    // Clear, then the eight resize handles of Rect in the order 7, 6, 8, 9,
    // 2, 3, 4, 5.
    void SetHandleRect(const TRect& Rect);
    // Clear; in object mode (NodeMode 0) the handles of the union of the
    // items' path bounds plus rotation centre and target, none when the
    // union is empty.
    void SetHandlesForItems(const std::vector<TDrawItem*>& Items, uint8_t NodeMode);
    // R grows by the output path bounds of every draw object in Item.
    static void UnionItemBounds(TDrawItem& Item, TRect& R);
    TAnchor* AddHandle(uint8_t Kind, int32_t X, int32_t Y);
    // Builds and links one anchor of a polyline's walk (AddType 0 a plain
    // node, 1 a curve's second control, 2 the node that ends a curve, 3 a
    // curve's first control). EUserError "TAnchors.AddNodeAnchor: Failed"
    // (nothing added) for any failure, with the cause chained.
    TNodeAnchor* AddNodeAnchor(uint8_t Kind, int32_t Index, TPolyLineObj* Owner, bool AfterCurve,
                               uint8_t PointType, uint8_t AddType);

    // Tolerance 700 div ZoomPercent; control anchors first, then all in list
    // order. Returns the hit anchor's kind (0 when none, and always for a
    // zoom below 1).
    uint8_t HitTest(int32_t X, int32_t Y, int32_t ZoomPercent);
    TCustomAnchor* HitAnchor() const { return FHitAnchor; }
    // Nothing without a canvas, when hidden or for a zoom below 1.
    void Draw(TAnchorCanvas* Canvas, int32_t ZoomPercent);

    TNodeAnchor* FindNodeAnchor(const TPolyLineObj* Owner, int32_t Index) const;
    // Code < 0: no records. Otherwise the 9-byte records of the changes are
    // recorded with the owner as undo and redo records under Code (nothing
    // when nothing changed).
    void SetNodeSelected(TNodeAnchor* Anchor, uint8_t Selected, int32_t Code);
    void SetNodeSelectedByIndex(int32_t ListIndex, uint8_t Selected, int32_t Code);
    void ClearNodeSelection(int32_t Code);
    void SelectNodesInRect(const TRect& Rect, int32_t Code);

    // Sets the anchor's point; for a node anchor with UndoStream a point
    // record with the old point (and with RedoStream one with the new) and
    // the owner's output path state 0. Nothing when the point is unchanged.
    void MoveNodeAnchor(TCustomAnchor* Anchor, const TPoint& NewPoint, TStream* UndoStream,
                        TStream* RedoStream);
    void StoreStartPoints();
    void RecordMovedNodes(TStream* UndoStream, TStream* RedoStream);
    // Sets the node kind of every selected node anchor, realigning control
    // points for smooth and symmetric; node-kind and point records go to
    // Stream (may be nil). True when any node kind changed.
    bool ApplyNodeType(uint8_t NodeType, TStream* Stream);
    // NodeState: 0 nothing, 1 end nodes only, 2 all smooth, 3 all sharp,
    // 4 all symmetric, 5 mixed. SegmentState: 0 none, 1 lines, 2 curves,
    // 3 both. Joinable: exactly two selected nodes, all end nodes.
    void GetSeletedState(uint8_t& NodeState, uint8_t& SegmentState, bool& Joinable) const;

    uint8_t Visible = 1;
    TAnchorsOwner* Owner() const { return FOwner; }

private:
    void SetSelectedSub(TNodeAnchor* Anchor, uint8_t Selected, TStream* Records);
    void RecordSelection(TStream* Records, int32_t Code);
    std::vector<std::unique_ptr<TCustomAnchor>> FList;
    TAnchorsOwner* FOwner;          // not owned
    TAnchor* FRotationCenter = nullptr;
    TRect FRect = AnchorsEmptyRect;
    TCustomAnchor* FHitAnchor = nullptr;
};
