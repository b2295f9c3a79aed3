#include "model/selection_commands.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <map>
#include <unordered_set>

#include "foundation/lists.h"
#include "foundation/platform_wrappers.h"
#include "foundation/poly_line.h"
#include "foundation/rec_path.h"
#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/clipboard_service.h"
#include "model/page.h"
#include "model/poly_line_obj.h"
#include "store/picture_store.h"
#include "model/text_object.h"
#include "platform/dib.h"

namespace {

// Holds the selection's notifications for a scope.
class TUpdateScope {
public:
    explicit TUpdateScope(TSelectedObjects& S) : FS(S) { FS.BeginUpdate(); }
    ~TUpdateScope() { FS.EndUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;

private:
    TSelectedObjects& FS;
};

void PutInt32(std::vector<uint8_t>& B, int32_t V)
{
    const auto U = static_cast<uint32_t>(V);
    for (int I = 0; I < 4; ++I)
        B.push_back(static_cast<uint8_t>(U >> (8 * I)));
}

int32_t GetInt32(const uint8_t* P)
{
    uint32_t U = 0;
    for (int I = 0; I < 4; ++I)
        U |= static_cast<uint32_t>(P[I]) << (8 * I);
    return static_cast<int32_t>(U);
}

bool HasAncestorIn(const TDrawItem* Item, const std::unordered_set<const TDrawItem*>& Set)
{
    for (const TDrawItem* P = Item->Parent(); P; P = P->Parent())
        if (Set.count(P))
            return true;
    return false;
}

// True when deleting the leaves of Doomed frees Item: it is one of them, or
// a non-root group whose children all go (an emptied group leaves its parent).
bool FreedBy(const TDrawItem* Item, const std::unordered_set<const TDrawItem*>& Doomed)
{
    if (Doomed.count(Item))
        return true;
    const auto* G = dynamic_cast<const TDrawGroup*>(Item);
    if (!G || !G->Parent() || G->GetCount() == 0)
        return false;
    for (int32_t I = 0; I < G->GetCount(); ++I)
        if (!FreedBy(G->GetItem(I), Doomed))
            return false;
    return true;
}

const char* NewItemCaption(const TDrawItem& Item)
{
    static const std::map<std::string, const char*> Captions{
        {"TPolyLineObj", CaptionNewPolyLine}, {"TEllipseObj", CaptionNewEllipse},
        {"TRectObj", CaptionNewRect},         {"TPolygonObj", CaptionNewPolygon},
        {"TStarObj", CaptionNewStar},         {"TTextObj", CaptionNewText}};
    auto It = Captions.find(Item.GetClass().Name);
    return It == Captions.end() ? nullptr : It->second;
}

int32_t FigureCount(const TrecPath& Path)
{
    int32_t N = 0;
    for (int32_t I = 0; I < Path.Count;) {
        int32_t First, Last;
        RecPolyLineGetFigureRange(Path, I, First, Last);
        if (Last < I)
            break;
        ++N;
        I = Last + 1;
    }
    return N;
}

// The working copy of a polyline's points that a divide edits.
struct TPathWork {
    std::vector<TPoint> Points;
    std::vector<uint8_t> Types;
    std::vector<uint8_t> Kinds;
    std::vector<uint8_t> Flags;

    int32_t Count() const { return static_cast<int32_t>(Points.size()); }
    void Range(int32_t I, int32_t& First, int32_t& Last) const
    {
        First = I;
        while (First > 0 && (Types[static_cast<size_t>(First)] & 0xFE) != 6)
            --First;
        Last = I;
        while (Last + 1 < Count() && (Types[static_cast<size_t>(Last) + 1] & 0xFE) != 6)
            ++Last;
    }
    void Erase(int32_t From, int32_t To) // inclusive
    {
        Points.erase(Points.begin() + From, Points.begin() + To + 1);
        Types.erase(Types.begin() + From, Types.begin() + To + 1);
        Kinds.erase(Kinds.begin() + From, Kinds.begin() + To + 1);
        Flags.erase(Flags.begin() + From, Flags.begin() + To + 1);
    }
};

// Base path and node kinds of Object := Points..Kinds (no records).
void StorePath(TPolyLineObj& Object, const std::vector<TPoint>& Points,
               const std::vector<uint8_t>& Types, const std::vector<uint8_t>& Kinds)
{
    TrecPath Path;
    RecPolyLineSetCount(Path, static_cast<int32_t>(Points.size()));
    for (size_t I = 0; I < Points.size(); ++I) {
        Path.Points[I] = Points[I];
        Path.pabType[I] = Types[I];
    }
    RecPathCalcBounds(Path);
    Object.SetPathRecord(Path);
    for (size_t I = 0; I < Kinds.size(); ++I)
        Object.SetNodeKind(static_cast<int32_t>(I), Kinds[I], nullptr);
}

} // namespace

// Opens the history command, runs Body and closes it; Body returns False
// when it changed nothing, and the command is then dropped. Anything raised
// rolls back what the command recorded, so that the tree is as it was
// before it, cancels the command and passes on.
template <class F>
void TSelectedObjects::RunCommand(const std::string& Caption, F&& Body)
{
    THistoryCommand* H = HistoryCommand();
    const bool Opened = H && !H->IsUndoing() && !H->IsRedoing();
    if (Opened)
        H->CommandStart(Caption);
    bool Changed = false;
    try {
        Changed = Body();
    } catch (...) {
        if (Opened && H->IsCommandOpen())
            H->CommandRollback();
        throw;
    }
    if (Opened && H->IsCommandOpen()) {
        if (Changed)
            H->CommandEnd();
        else
            H->CommandCancel();
    }
}

// ---------------------------------------------------------------------------
// New items, delete, clipboard

void TSelectedObjects::CommandAddNewDrawItem(std::unique_ptr<TDrawItem> Item,
                                             const TToolButton& ToolButton)
{
    if (!Item)
        throw EUserError("CommandAddNewDrawItem : ClassType Invalidate.");
    const char* Caption = NewItemCaption(*Item);
    if (!Caption) {
        MarkDrawItemSilent(*Item);
        throw EUserError("CommandAddNewDrawItem : ClassType Invalidate.");
    }
    if (!FPage) {
        MarkDrawItemSilent(*Item);
        throw EUserError("CommandAddNewDrawItem : (Page = nil)");
    }
    RunCommand(Caption, [&] {
        THistoryCommand* H = HistoryCommand();
        if (H && !H->IsLockAddHistory()) {
            TMemoryStream S;
            Item->WriteToStream(S);
            AddHistory(1, CmdAddNewDrawItem, S.Memory(), static_cast<int32_t>(S.Size()));
        }
        InvalidateView();
        // Measured before the tree holds it: an item whose effects cannot be
        // measured on the page raises here and leaves nothing behind (taking
        // it out again would measure it once more).
        Item->CalcExtents();
        TDrawItem* Added = FPage->RootGroup().AddChild(std::move(Item), -1);
        AddItemSub(Added);
        if (ToolButton)
            ToolButton();
        return true;
    });
}

void TSelectedObjects::DeleteItems()
{
    TUpdateScope Scope(*this);
    for (TDrawItem* Item : FItems)
        Item->Invalidate(true);
    InvalidateView();
    const std::vector<TDrawItem*> Selected = FItems;
    for (size_t I = Selected.size(); I-- > 0;)
        RemoveItemSub(Selected[I]);
    // An item inside a selected group goes with the group: it is never
    // touched after the group is freed.
    const std::unordered_set<const TDrawItem*> Set(Selected.begin(), Selected.end());
    // A group emptied by a deletion removes itself, and can take selected
    // items with it: every item is looked up again by its ID before use.
    std::vector<int32_t> IDs;
    for (TDrawItem* Item : Selected)
        IDs.push_back(Item->ObjID());
    THistoryCommand* History = Selected.empty() ? nullptr : Selected.front()->HistoryCommand();
    std::vector<bool> Skip(Selected.size());
    for (size_t I = 0; I < Selected.size(); ++I)
        Skip[I] = HasAncestorIn(Selected[I], Set);
    for (size_t I = Selected.size(); I-- > 0;) {
        if (Skip[I])
            continue;
        TDrawItem* Item = Selected[I];
        if (History && History->GetObj(IDs[I]) != Item)
            continue; // already freed with an emptied group
        if (!Item->Parent())
            continue;
        Item->Parent()->DeleteChild(Item);
    }
}

void TSelectedObjects::DeleteCommand(const std::string& Caption)
{
    if (FItems.empty())
        return;
    RunCommand(Caption, [&] {
        AddHistory(1, CmdDelete, nullptr, 0);
        DeleteItems();
        return true;
    });
}

bool TSelectedObjects::IsOnlyEmptyTexts() const
{
    if (FItems.empty())
        return false;
    for (TDrawItem* Item : FItems) {
        const auto* T = dynamic_cast<const TTextObj*>(Item);
        if (!T || !T->Text().empty())
            return false;
    }
    return true;
}

void TSelectedObjects::DeleteEmptyTexts()
{
    if (!IsOnlyEmptyTexts())
        return;
    AddHistory(1, CmdDelete, nullptr, 0);
    DeleteItems();
}

void TSelectedObjects::WriteDrawItemClipboard()
{
    TClipboardService* Clipboard = GetClipboardService();
    if (!Clipboard)
        return;
    if (!Clipboard->OpenClipboard()) {
        ErrorMessageBox(MsgClipboardBusy);
        return;
    }
    try {
        Clipboard->EmptyClipboard();
        if (!FItems.empty() && FPage) {
            TMemoryStream S;
            StreamWriteln(S, gcstrCFDrawItem);
            StreamWriteln(S, std::to_string(SelectionStreamVersion));
            WriteItemsAsText(S, FPage->RootGroup());
            TListPtrWex Handles;
            CollectPictureHandles(Handles);
            TDocumentLink* Doc = FPage->GetDocument();
            if (TListRecPict* Store = Doc ? Doc->GetPictureStore() : nullptr) {
                Store->WriteToStreamAsText(S, &Handles);
            } else {
                TListRecPict Empty(nullptr);
                Empty.WriteToStreamAsText(S, &Handles);
            }
            const uint8_t Zero = 0;
            S.WriteBuffer(&Zero, 1);
            Clipboard->SetClipboardStream(CF_TEXT, S);
        }
    } catch (...) {
        Clipboard->CloseClipboard();
        throw;
    }
    Clipboard->CloseClipboard();
}

void TSelectedObjects::CutToClipboard()
{
    if (FItems.empty()) {
        WriteDrawItemClipboard();
        return;
    }
    RunCommand(CaptionCut, [&] {
        AddHistory(1, CmdCut, nullptr, 0);
        WriteDrawItemClipboard();
        DeleteItems();
        return true;
    });
}

// Copying changes nothing in the document, so it leaves no history command.
void TSelectedObjects::CopyToClipboard()
{
    WriteDrawItemClipboard();
}

// ---------------------------------------------------------------------------
// Structure

void TSelectedObjects::Ungroup()
{
    // Selected groups, last to first; a group inside another selected group
    // goes out with its ancestor's children and is not dissolved itself.
    const std::unordered_set<const TDrawItem*> Set(FItems.begin(), FItems.end());
    std::vector<TDrawGroup*> Groups;
    for (size_t I = FItems.size(); I-- > 0;) {
        auto* G = dynamic_cast<TDrawGroup*>(FItems[I]);
        if (G && G->Parent() && !HasAncestorIn(G, Set))
            Groups.push_back(G);
    }
    if (Groups.empty())
        return;
    RunCommand(CaptionUngroup, [&] {
        AddHistory(1, CmdUngroup, nullptr, 0);
        RecordSelectedItems();
        for (TDrawGroup* G : Groups) {
            TDrawGroup* Parent = G->Parent();
            std::vector<TDrawItem*> Children;
            for (int32_t I = 0; I < G->GetCount(); ++I)
                Children.push_back(G->GetItem(I));
            // The last child's move deletes the emptied group itself.
            RemoveFromList(G);
            if (Children.empty())
                Parent->DeleteChild(G);
            for (TDrawItem* C : Children) {
                Parent->AddChildToEnd(C);
                if (!IsSelected(C))
                    FItems.push_back(C);
            }
        }
        FbBoundsValid = 0;
        FbAnchorsValid = 0;
        return true;
    });
    Changed(true);
}

void TSelectedObjects::CommandToPolyLine()
{
    if (!FPage)
        return;
    bool Any = false;
    for (TDrawItem* Item : FItems) {
        auto* L = dynamic_cast<TLineObject*>(Item);
        Any = Any || (L && !L->IsPolyLine());
    }
    if (!Any)
        return;
    RunCommand(CaptionToPolyLine, [&] {
        AddHistory(1, CmdToPolyLine, nullptr, 0);
        // Undo puts the list back in its order.
        RecordSelectedItems();
        TUpdateScope Scope(*this);
        for (int32_t I = 0; I < Count(); ++I) {
            TDrawItem* Item = FItems[static_cast<size_t>(I)];
            RemoveItemSub(Item);
            TDrawItem* Now = Item;
            if (auto* L = dynamic_cast<TLineObject*>(Item))
                if (TLineObject* Poly = L->ConvertToPolyLine(&FPage->RootGroup(), -1))
                    Now = Poly;
            InsertItem(I, Now);
        }
        return true;
    });
}

void TSelectedObjects::MergeLines()
{
    if (!FPage)
        return;
    // Every line in the selection (groups walked), each once, in walk order.
    std::vector<TLineObject*> Lines;
    std::unordered_set<const TDrawItem*> Seen;
    std::function<void(TDrawItem*)> Walk = [&](TDrawItem* Item) {
        if (auto* G = dynamic_cast<TDrawGroup*>(Item)) {
            for (int32_t I = 0; I < G->GetCount(); ++I)
                Walk(G->GetItem(I));
        } else if (auto* L = dynamic_cast<TLineObject*>(Item)) {
            if (Seen.insert(L).second)
                Lines.push_back(L);
        }
    };
    for (TDrawItem* Item : FItems)
        Walk(Item);
    if (Lines.empty())
        return;
    TPolyLineObj* Result = nullptr;
    RunCommand(CaptionMergeLines, [&] {
        AddHistory(1, CmdMergeLines, nullptr, 0);
        RecordSelectedItems();
        // Unselected before any is deleted: the list never holds freed items.
        EmptyItems();
        TDrawGroup& Root = FPage->RootGroup();
        for (TLineObject* L : Lines) {
            TDrawGroup* Parent = L->Parent();
            const int32_t Index = Parent ? Parent->IndexOf(L) : -1;
            if (Index < 0)
                throw EUserError("TDrawGroup.MergeRecPath:(iIndex < 0)");
            if (!Result) {
                std::unique_ptr<TDrawItem> New;
                if (L->IsPolyLine()) {
                    New = CreateDrawItem(TPolyLineObj::ClassInfo, FPage, -1);
                    New->Assign(L);
                    Result = static_cast<TPolyLineObj*>(New.get());
                    Parent->AddChild(std::move(New), Index);
                    Root.ReplaceReference(L, Result);
                    Parent->DeleteChild(L);
                } else {
                    Result = dynamic_cast<TPolyLineObj*>(L->ConvertToPolyLine(&Root, -1));
                    if (!Result)
                        throw EUserError("TDrawGroup.MergeRecPath: no polyline");
                }
                continue;
            }
            Result->RecordBasePath(0);
            Result->AppendLine(*L);
            Root.ReplaceReference(L, Result);
            Parent->DeleteChild(L);
        }
        // Appending leaves the bounds stale: the stored form must not.
        Result->NodesChanged();
        AddItemSub(Result);
        return true;
    });
    Changed(true);
}

void TSelectedObjects::UnmergeLines()
{
    std::vector<TPolyLineObj*> Splits;
    for (TDrawItem* Item : FItems)
        if (auto* P = dynamic_cast<TPolyLineObj*>(Item))
            if (P->Parent() && FigureCount(P->GetBasePath()) > 1)
                Splits.push_back(P);
    if (Splits.empty())
        return;
    RunCommand(CaptionUnmergeLines, [&] {
        AddHistory(1, CmdUnmergeLines, nullptr, 0);
        RecordSelectedItems();
        std::vector<TPolyLineObj*> Pieces;
        TDrawGroup::UnmergeLines(std::vector<TDrawItem*>(FItems), &Pieces);
        FItems.insert(FItems.end(), Pieces.begin(), Pieces.end());
        FbBoundsValid = 0;
        FbAnchorsValid = 0;
        return true;
    });
    Changed(true);
}

// ---------------------------------------------------------------------------
// Window commands

void TSelectedObjects::PasteCommand(TStream& Stream, bool AsText, const std::string& Caption)
{
    if (!FPage)
        return;
    // A clipboard whose items are all left out (groups holding nothing)
    // pastes nothing: the command is rolled back, so neither the cleared
    // selection nor an empty step stays behind.
    struct TNothingPasted {};
    try {
        RunCommand(Caption, [&] {
            const int32_t Before = FPage->RootGroup().GetCount();
            if (AsText)
                FPage->PasteFromStreamAsText(Stream);
            else
                FPage->PasteFromStream(Stream);
            if (FPage->RootGroup().GetCount() == Before)
                throw TNothingPasted{};
            return true;
        });
    } catch (const TNothingPasted&) {
    }
}

void TSelectedObjects::DuplicateCommand(const std::string& Caption)
{
    if (FItems.empty() || !FPage)
        return;
    RunCommand(Caption, [&] {
        TUpdateScope Scope(*this);
        TDrawGroup& Root = FPage->RootGroup();
        std::vector<TDrawItem*> Sorted;
        Root.SortByZOrder(FItems, Sorted);
        std::vector<TDrawItem*> Clones;
        for (TDrawItem* Item : Sorted) {
            std::unique_ptr<TDrawItem> Clone = CreateDrawItem(Item->GetClass(), FPage, -1);
            Clone->Assign(Item);
            // Each clone's own redo record brings it back on redo.
            Clones.push_back(Root.AddChildCommand(std::move(Clone)));
        }
        ClearSelection();
        for (TDrawItem* C : Clones)
            AddItem(C);
        return true;
    });
}

void TSelectedObjects::GroupCommand(const std::string& Caption)
{
    if (FItems.empty() || !FPage)
        return;
    RunCommand(Caption, [&] {
        TUpdateScope Scope(*this);
        TDrawGroup& Root = FPage->RootGroup();
        auto* Group = static_cast<TDrawGroup*>(
            Root.AddChildCommand(std::make_unique<TDrawGroup>(FPage, -1)));
        const std::vector<TDrawItem*> Items = FItems;
        for (TDrawItem* Item : Items)
            Group->AddChildToEnd(Item);
        // The items now stand inside the group: left selected, a second
        // grouping would take them out of it and leave it empty. The group
        // is selected in their place, within this step (undo gives the
        // items and their selection back, redo the group selected).
        ClearSelection();
        AddItem(Group);
        return true;
    });
}

void TSelectedObjects::MoveCommand(int32_t DX, int32_t DY)
{
    if (FItems.empty() || (DX == 0 && DY == 0))
        return;
    RunCommand(CaptionMove, [&] {
        MoveBy(DX, DY);
        return true;
    });
}

void TSelectedObjects::ScaleCommand(double CX, double CY, double FX, double FY)
{
    if (FItems.empty() || (FX == 1024.0 && FY == 1024.0))
        return;
    RunCommand(CaptionScale, [&] {
        ScaleTo(CX, CY, FX, FY);
        return true;
    });
}

void TSelectedObjects::RotateCommand(double CX, double CY, double Angle)
{
    if (FItems.empty() || Angle == 0.0)
        return;
    RunCommand(CaptionRotate, [&] {
        RotateBy(CX, CY, Angle);
        return true;
    });
}

// ---------------------------------------------------------------------------
// Node selection

TPolyLineObj* TSelectedObjects::FindPolyLine(int32_t ID, const char* Caller) const
{
    auto* P = dynamic_cast<TPolyLineObj*>(FindItem(ID, Caller));
    if (!P)
        throw EUserError(std::string(Caller) + ": Not a TPolyLineObj (" + std::to_string(ID) + ")");
    return P;
}

// The selected nodes survive a rebuild: the node selection is the user's
// and must not depend on when the anchors happen to be rebuilt (undo and
// redo rebuild them at other moments than the first run did). The anchors
// only ever name objects of the list (see RemoveFromList), so a selected
// anchor's owner found in the list is alive.
void TSelectedObjects::RebuildNodeAnchors()
{
    struct TKeep {
        TPolyLineObj* Owner;
        int32_t Index;
        uint8_t Selected;
    };
    std::vector<TKeep> Keep;
    bool Any = false;
    for (int32_t I = 0; I < FAnchors->GetCount(); ++I) {
        auto* N = dynamic_cast<TNodeAnchor*>(FAnchors->GetNodeAnchor(I));
        if (N && N->Kind == akNode && N->Owner && IsSelected(N->Owner)) {
            Keep.push_back({N->Owner, N->Index, N->Selected});
            Any = Any || N->Selected;
        }
    }
    FAnchors->Clear();
    for (TDrawItem* Item : FItems)
        if (auto* P = dynamic_cast<TPolyLineObj*>(Item))
            P->AddNodeAnchors(*FAnchors);
    if (!Any)
        return;
    for (const TKeep& K : Keep)
        if (K.Index < K.Owner->PointCount())
            if (TNodeAnchor* N = FAnchors->FindNodeAnchor(K.Owner, K.Index))
                N->Selected = K.Selected;
}

// The node anchors in the order of the list (each object's anchors in their
// own order). Rebuilt anchors stand in that order already; anchors added
// piecemeal may not, and the commands must not depend on how they were built.
std::vector<TNodeAnchor*> TSelectedObjects::OrderedNodeAnchors()
{
    TAnchors& A = GetAnchors();
    std::vector<TNodeAnchor*> R;
    for (TDrawItem* Item : FItems)
        for (int32_t I = 0; I < A.GetCount(); ++I) {
            auto* N = dynamic_cast<TNodeAnchor*>(A.GetNodeAnchor(I));
            if (N && static_cast<TDrawItem*>(N->Owner) == Item)
                R.push_back(N);
        }
    return R;
}

std::vector<TSelectedObjects::TNodeEntry> TSelectedObjects::CollectSelectedNodes()
{
    std::vector<TNodeEntry> Entries;
    const std::vector<TNodeAnchor*> Anchors = OrderedNodeAnchors();
    for (size_t I = Anchors.size(); I-- > 0;) {
        TNodeAnchor* N = Anchors[I];
        if (!N->Owner)
            continue;
        auto It = std::find_if(Entries.begin(), Entries.end(),
                               [&](const TNodeEntry& E) { return E.Object == N->Owner; });
        if (It == Entries.end()) {
            Entries.push_back({N->Owner, {}});
            It = Entries.end() - 1;
        }
        if (N->Kind == akNode && N->Selected)
            It->Indexes.push_back(N->Index);
    }
    return Entries;
}

// Undo record 52 (the node selection) followed by 51 (the item list): undo
// puts the list back first, then the anchors and their selection.
void TSelectedObjects::RecordNodeSelection(const std::vector<TNodeEntry>& Entries)
{
    THistoryCommand* H = HistoryCommand();
    if (!H || H->IsLockAddHistory())
        return;
    std::vector<uint8_t> B;
    for (const TNodeEntry& E : Entries) {
        PutInt32(B, E.Object->ObjID());
        std::vector<uint8_t> Flags(static_cast<size_t>(E.Object->PointCount()), 0);
        for (int32_t I : E.Indexes)
            if (I >= 0 && I < E.Object->PointCount())
                Flags[static_cast<size_t>(I)] = 1;
        B.insert(B.end(), Flags.begin(), Flags.end());
    }
    AddHistory(0, CmdNodeSnapshot, B.data(), static_cast<int32_t>(B.size()));
    RecordSelectedItems();
}

void TSelectedObjects::SnapshotNodeSelection()
{
    RecordNodeSelection(CollectSelectedNodes());
}

void TSelectedObjects::UndoNodeSnapshot(const void* Data, int32_t Size)
{
    const auto* P = static_cast<const uint8_t*>(Data);
    struct TRec {
        TPolyLineObj* Object;
        int32_t Offset;
    };
    std::vector<TRec> Recs;
    int32_t Off = 0;
    while (Off < Size) {
        if (Size - Off < 4)
            throw EUserError("TSelectedObjects.Undo: Illegal Data.");
        TPolyLineObj* Obj = FindPolyLine(GetInt32(P + Off), "TSelectedObjects.Undo");
        Off += 4;
        if (Size - Off < Obj->PointCount())
            throw EUserError("TSelectedObjects.Undo: Illegal Data.");
        Recs.push_back({Obj, Off});
        Off += Obj->PointCount();
    }
    FAnchors->Clear();
    for (const TRec& R : Recs)
        if (!IsSelected(R.Object))
            FItems.push_back(R.Object);
    RebuildNodeAnchors();
    // Each node gets its own stored state (a closing point's included).
    for (const TRec& R : Recs)
        for (int32_t I = 0; I < R.Object->PointCount(); ++I)
            if (TNodeAnchor* A = FAnchors->FindNodeAnchor(R.Object, I))
                A->Selected = P[R.Offset + I] ? 1 : 0;
    FbAnchorsValid = 1;
    FbBoundsValid = 0;
    Changed(true);
}

void TSelectedObjects::ReplayNodeSelect(const void* Data, int32_t Size, bool Invert)
{
    if (Size < 0 || Size % NodeSelectRecordSize != 0)
        throw EUserError("TSelectedObjects.Undo: Illegal Data.");
    const auto* P = static_cast<const uint8_t*>(Data);
    TAnchors& A = GetAnchors();
    for (int32_t Off = 0; Off < Size; Off += NodeSelectRecordSize) {
        TPolyLineObj* Obj = FindPolyLine(GetInt32(P + Off), "TSelectedObjects.Undo");
        const int32_t Index = GetInt32(P + Off + 4);
        TNodeAnchor* N = A.FindNodeAnchor(Obj, Index);
        if (!N) {
            RebuildAnchors();
            N = A.FindNodeAnchor(Obj, Index);
        }
        if (!N)
            continue; // the node is gone: nothing to restore
        // Every changed anchor has its own record: set each one as it was,
        // without the closing point's pull on its figure's first node.
        const uint8_t State = P[Off + 8];
        N->Selected = Invert ? static_cast<uint8_t>(State ^ 1) : State;
    }
    InvalidateView();
}

void TSelectedObjects::ClearNodeSelection()
{
    GetAnchors().ClearNodeSelection(NodeSelectCode);
}

void TSelectedObjects::SelectNodesInRect(const TRect& Rect, int32_t Code, TDrawGroup& Group)
{
    GetAnchors();
    const std::vector<TDrawItem*> Before = FItems;
    SelectInRect(Rect, false, Group);
    FAnchors->SetRect(AnchorsEmptyRect);
    for (TDrawItem* Item : FItems)
        if (std::find(Before.begin(), Before.end(), Item) == Before.end())
            if (auto* P = dynamic_cast<TPolyLineObj*>(Item))
                P->AddNodeAnchors(*FAnchors);
    FbAnchorsValid = 1;
    FAnchors->SelectNodesInRect(Rect, Code);
    InvalidateView();
}

// ---------------------------------------------------------------------------
// Node commands

void TSelectedObjects::CommandSetNodeType(uint8_t NodeType)
{
    if (NodeType > 2)
        throw EUserError("TSelectedObjects.CommandSetNodeType: Illegal NodeAnchorType");
    static const char* const Captions[3] = {CaptionNodeSharp, CaptionNodeSmooth,
                                            CaptionNodeSymmetric};
    RunCommand(Captions[NodeType], [&] {
        AddHistory(1, CmdSetNodeType, &NodeType, 1);
        THistoryCommand* H = HistoryCommand();
        std::unique_ptr<TMemoryStream> S;
        if (H && !H->IsLockAddHistory())
            S = std::make_unique<TMemoryStream>();
        const bool Done = GetAnchors().ApplyNodeType(NodeType, S.get());
        if (Done && S && S->Size() > 0 && FPage) {
            // A control point shared by two realigned nodes moves twice:
            // only its first (oldest) record is kept, so that undo lands on
            // the state before the command whatever order it applies them in.
            const auto* B = static_cast<const uint8_t*>(S->Memory());
            const int64_t N = S->Size() / PointChangeRecordSize;
            std::vector<uint8_t> Out;
            std::vector<std::array<int32_t, 3>> Seen;
            for (int64_t I = 0; I < N; ++I) {
                const uint8_t* R = B + I * PointChangeRecordSize;
                const std::array<int32_t, 3> Key{GetInt32(R), GetInt32(R + 4), R[8]};
                if (std::find(Seen.begin(), Seen.end(), Key) != Seen.end())
                    continue;
                Seen.push_back(Key);
                Out.insert(Out.end(), R, R + PointChangeRecordSize);
            }
            FPage->AddHistory(0, TPage::CmdNodeChange, Out.data(),
                              static_cast<int32_t>(Out.size()));
        }
        return Done;
    });
}

void TSelectedObjects::CommandDeleteNodes()
{
    // Selected nodes per object, anchors from the last to the first; the
    // closing point of a closed figure stands for its first node.
    std::vector<TNodeEntry> Map;
    const std::vector<TNodeAnchor*> Anchors = OrderedNodeAnchors();
    for (size_t I = Anchors.size(); I-- > 0;) {
        TNodeAnchor* N = Anchors[I];
        if (N->Kind != akNode || !N->Selected || !N->Owner)
            continue;
        if (N->Owner->GetPointType(N->Index) & 1)
            continue;
        auto It = std::find_if(Map.begin(), Map.end(),
                               [&](const TNodeEntry& E) { return E.Object == N->Owner; });
        if (It == Map.end())
            Map.push_back({N->Owner, {N->Index}});
        else
            It->Indexes.push_back(N->Index);
    }
    if (Map.empty())
        return;
    RunCommand(CaptionDeleteNodes, [&] {
        AddHistory(1, CmdDeleteNodes, nullptr, 0);
        // The whole node selection (closing points too), so that undo
        // gives back exactly what was selected.
        SnapshotNodeSelection();
        for (TNodeEntry& E : Map)
            E.Object->DeletePoint(E.Indexes);
        FAnchors->Clear();

        // Lines left with fewer than 2 points go; they (and groups emptied
        // by them) leave the list before anything is freed.
        const std::vector<TDrawItem*> Items = FItems;
        TDrawGroup::DeleteShortLines(Items, [&](const std::vector<TPolyLineObj*>& Short) {
            const std::unordered_set<const TDrawItem*> Doomed(Short.begin(), Short.end());
            for (TDrawItem* Item : Items)
                if (FreedBy(Item, Doomed))
                    RemoveFromList(Item);
        });

        // Every selected polyline gets its anchors again (none selected),
        // not only the edited ones: valid anchors cover the whole list.
        FAnchors->Clear();
        RebuildNodeAnchors();
        FbAnchorsValid = 1;
        FbBoundsValid = 0;
        Changed(true);
        return true;
    });
}

void TSelectedObjects::SelectListedNodes(TPolyLineObj* Object, const std::vector<int32_t>& Indexes)
{
    Object->AddNodeAnchors(*FAnchors);
    for (int32_t I : Indexes)
        if (TNodeAnchor* N = FAnchors->FindNodeAnchor(Object, I))
            FAnchors->SetNodeSelected(N, 1, -1);
}

void TSelectedObjects::DivideAtNodes(TPolyLineObj* Object, const std::vector<int32_t>& Indexes)
{
    if (Indexes.empty())
        return;
    TUpdateScope Scope(*this);
    const TrecPath& Base = Object->GetBasePath();
    Object->Invalidate(true);
    TPathWork W;
    for (int32_t I = 0; I < Base.Count; ++I) {
        W.Points.push_back(Base.Points[static_cast<size_t>(I)]);
        W.Types.push_back(Base.pabType[static_cast<size_t>(I)]);
        W.Kinds.push_back(Object->GetNodeKind(I));
        W.Flags.push_back(0);
    }
    for (int32_t I : Indexes)
        if (I >= 0 && I < W.Count())
            W.Flags[static_cast<size_t>(I)] = 1;
    Object->RecordBasePath(0);

    std::vector<int32_t> List = Indexes;
    for (size_t K = List.size(); K-- > 0;) {
        const int32_t Index = List[K];
        if (Index < 0 || Index >= W.Count())
            continue;
        int32_t First, Last;
        W.Range(Index, First, Last);
        if (W.Types[static_cast<size_t>(Last)] & 1) {
            if (Index != First && Index != Last) {
                // Rotate: Index .. Last, then First + 1 .. Index (the first
                // point repeats as the last one of a closed figure).
                TPathWork R;
                auto Take = [&](int32_t From, int32_t To) {
                    for (int32_t J = From; J <= To; ++J) {
                        R.Points.push_back(W.Points[static_cast<size_t>(J)]);
                        R.Types.push_back(W.Types[static_cast<size_t>(J)]);
                        R.Kinds.push_back(W.Kinds[static_cast<size_t>(J)]);
                        R.Flags.push_back(W.Flags[static_cast<size_t>(J)]);
                    }
                };
                Take(Index, Last);
                Take(First + 1, Index);
                for (auto& T : R.Types)
                    T = static_cast<uint8_t>(T & 0xFE);
                R.Types[0] = 6;
                for (int32_t J = First; J <= Last; ++J) {
                    const size_t D = static_cast<size_t>(J);
                    const size_t S = static_cast<size_t>(J - First);
                    W.Points[D] = R.Points[S];
                    W.Types[D] = R.Types[S];
                    W.Kinds[D] = R.Kinds[S];
                    W.Flags[D] = R.Flags[S];
                }
                for (size_t E = 0; E < K; ++E)
                    if (List[E] > First && List[E] < Index)
                        List[E] += Last - Index;
            } else {
                W.Types[static_cast<size_t>(Last)] &= 0xFE;
            }
        } else if (Index > First && Index < Last) {
            std::unique_ptr<TDrawItem> New = CreateDrawItem(TPolyLineObj::ClassInfo, FPage, -1);
            auto* Piece = static_cast<TPolyLineObj*>(New.get());
            Piece->Assign(Object);
            std::vector<TPoint> Pts(W.Points.begin() + Index, W.Points.begin() + Last + 1);
            std::vector<uint8_t> Types(W.Types.begin() + Index, W.Types.begin() + Last + 1);
            std::vector<uint8_t> Kinds(W.Kinds.begin() + Index, W.Kinds.begin() + Last + 1);
            std::vector<uint8_t> Flags(W.Flags.begin() + Index, W.Flags.begin() + Last + 1);
            Types[0] = 6;
            StorePath(*Piece, Pts, Types, Kinds);
            W.Erase(Index + 1, Last);
            Object->Parent()->AddChild(std::move(New), -1);
            AddItemSub(Piece);
            Piece->AddNodeAnchors(*FAnchors);
            for (size_t J = 0; J < Flags.size(); ++J)
                if (Flags[J] && !(Types[J] & 1))
                    if (TNodeAnchor* N = FAnchors->FindNodeAnchor(Piece, static_cast<int32_t>(J)))
                        FAnchors->SetNodeSelected(N, 1, -1);
            Piece->SetPathState(1);
        }
    }
    StorePath(*Object, W.Points, W.Types, W.Kinds);
    AddItemSub(Object);
    Object->AddNodeAnchors(*FAnchors);
    for (int32_t J = 0; J < W.Count(); ++J)
        if (W.Flags[static_cast<size_t>(J)] && !(W.Types[static_cast<size_t>(J)] & 1))
            if (TNodeAnchor* N = FAnchors->FindNodeAnchor(Object, J))
                FAnchors->SetNodeSelected(N, 1, -1);
    Object->SetPathState(0);
    Object->Invalidate(true);
    FbAnchorsValid = 1;
}

void TSelectedObjects::ApplySegmentType(uint8_t SegmentType, TPolyLineObj* Object,
                                        std::vector<int32_t>& Indexes)
{
    std::sort(Indexes.begin(), Indexes.end());
    switch (SegmentType) {
    case 0:
        // Only the last entry's pieces stay selected: the anchors of the
        // others go with them.
        FItems.clear();
        FAnchors->Clear();
        DivideAtNodes(Object, Indexes);
        return;
    case 1:
        Object->ToLine(Indexes);
        break;
    case 2:
        Object->ToCurve(Indexes);
        break;
    default:
        throw EUserError("TSelectedObjects.CommandSetSegmentType: Illegal SegmentType");
    }
    SelectListedNodes(Object, Indexes);
}

void TSelectedObjects::CommandSetSegmentType(uint8_t SegmentType)
{
    if (SegmentType > 2)
        throw EUserError("TSelectedObjects.CommandSetSegmentType: Illegal SegmentType");
    std::vector<TNodeEntry> Entries = CollectSelectedNodes();
    bool Any = false;
    for (const TNodeEntry& E : Entries)
        Any = Any || !E.Indexes.empty();
    if (!Any)
        return;
    AddHistory(1, CmdSegmentType0 + SegmentType, nullptr, 0);
    RecordNodeSelection(Entries);
    FAnchors->Clear();
    TUpdateScope Scope(*this);
    for (TNodeEntry& E : Entries)
        ApplySegmentType(SegmentType, E.Object, E.Indexes);
    FbAnchorsValid = 1;
    FbBoundsValid = 0;
}

bool TSelectedObjects::JoinEndNodes(std::string& Message)
{
    Message.clear();
    std::vector<TNodeAnchor*> Sel;
    for (TNodeAnchor* N : OrderedNodeAnchors())
        if (N->Kind == akNode && N->Selected && N->Owner)
            Sel.push_back(N);
    if (Sel.size() != 2) {
        Message = MsgSelectTwoEndNodes;
        return false;
    }
    for (TNodeAnchor* N : Sel) {
        int32_t First, Last;
        RecPolyLineGetFigureRange(N->Owner->GetBasePath(), N->Index, First, Last);
        if (N->Index != First && N->Index != Last) {
            Message = MsgSelectLineEnds;
            return false;
        }
        if (N->Owner->GetPointType(Last) & 1) {
            Message = MsgClosedFigure;
            return false;
        }
    }
    TPolyLineObj* Obj1 = Sel[0]->Owner;
    TPolyLineObj* Obj2 = Sel[1]->Owner;
    const int32_t Index1 = Sel[0]->Index;
    const int32_t Index2 = Sel[1]->Index;
    RunCommand(CaptionJoinEndNodes, [&] {
        AddHistory(1, CmdJoinEndNodes, nullptr, 0);
        SnapshotNodeSelection();
        int32_t JoinA = -1, JoinB = -1;
        {
            TUpdateScope Scope(*this);
            Obj1->JoinEndNodes(Index1, *Obj2, Index2, JoinA, JoinB);
            if (Obj2 != Obj1 && Obj2->PointCount() == 0) {
                RemoveItemSub(Obj2);
                if (Obj2->Parent())
                    Obj2->Parent()->DeleteChild(Obj2);
            }
        }
        RebuildAnchors();
        for (int32_t J : {JoinA, JoinB})
            if (TNodeAnchor* N = FAnchors->FindNodeAnchor(Obj1, J))
                FAnchors->SetNodeSelected(N, 1, -1);
        return true;
    });
    return true;
}
