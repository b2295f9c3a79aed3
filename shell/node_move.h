// Moving the selected nodes the way a node drag does, shared by the mouse
// drag and the arrow keys so that both give the same paths: the nodes and
// their own control points by one offset from where the move started, and a
// curve's control point kept on the extension of a straight segment that
// joins a moved node to a resting one.
#pragma once

#include <cstdint>

class TAnchors;
class TPage;

// Every anchor keeps its point as its start, every control point its
// distance from its node.
void StartNodeMove(TAnchors& A);
// Each selected node and its control points go to their start points plus
// (DX, DY); then, where a straight segment between a selected and an
// unselected node meets a curve at a node that is not sharp, the curve's
// control point goes on the segment's extension beyond that node at its
// kept distance. The items' paths are not rebuilt here.
void MoveSelectedNodesFromStart(TAnchors& A, int32_t DX, int32_t DY);
// Every anchor back at its start point.
void RestoreNodeStarts(TAnchors& A);
// The anchors that left their start points, as one node-change undo and
// redo pair of Page's history (nothing is added while it is locked). False
// when none moved.
bool RecordNodeMoves(TPage& Page, TAnchors& A);
