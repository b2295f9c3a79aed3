#include "store/history.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "foundation/lists.h"
#include "foundation/user_error.h"
#include "platform/message_box.h"

#include <new>

namespace {

// Runs its action on scope exit unless dismissed: keeps the replay flags and
// the lock count sound when an object's Undo/Redo raises.
template <class F>
class TScopeExit {
public:
    explicit TScopeExit(F Fn) : FFn(std::move(Fn)) {}
    ~TScopeExit()
    {
        if (FActive)
            FFn();
    }
    void Dismiss() { FActive = false; }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FFn;
    bool FActive = true;
};

int32_t NextSlot(int32_t I)
{
    return I + 1 >= THistoryCommand::MenuCount ? 0 : I + 1;
}

int32_t PrevSlot(int32_t I)
{
    return I == 0 ? THistoryCommand::MenuCount - 1 : I - 1;
}

void CheckRecord(const char* Caller, const void* Data, int32_t Size)
{
    if (Size < 0)
        throw EUserError(std::string(Caller) + ": (Size < 0)");
    if (Data == nullptr && Size > 0)
        throw EUserError(std::string(Caller) + ": (Data = nil)");
}

} // namespace

// ---------------------------------------------------------------------------
// TUndoObject

TUndoObject::TUndoObject(THistoryCommand* AHistory) : TUndoObject(AHistory, -1)
{
}

TUndoObject::TUndoObject(THistoryCommand* AHistory, int32_t AID) : FHistory(AHistory)
{
    if (FHistory)
        FHistory->AddObj(this, AID);
}

TUndoObject::~TUndoObject()
{
    if (FHistory)
        FHistory->ReleaseObj(this);
}

void TUndoObject::AddHistory(uint8_t Kind, int32_t Command, const void* Data, int32_t Size)
{
    if (FHistory)
        FHistory->AddComItem(FiObjID, Kind, Command, Data, Size);
}

// ---------------------------------------------------------------------------
// THistoryCommand

THistoryCommand::THistoryCommand()
{
    FiObjCount = -1;
    ClearHistory();
    SetRollBufSize(DefaultRollSize);
}

THistoryCommand::~THistoryCommand()
{
    // Objects may outlive their history (the document frees its history before
    // its own base part); they must not reach back into it.
    for (TUndoObject* Obj : FlstObjID)
        if (Obj)
            Obj->FHistory = nullptr;
}

void THistoryCommand::SetRollBufSize(int32_t Size)
{
    if (FiRollStart >= 0 || Size < 0)
        throw EUserError("THistoryCommand.SetRollBufSize: Failed");
    FRollBuf.assign(static_cast<size_t>(Size), 0);
    FiRollSize = Size;
}

void THistoryCommand::AddObj(TUndoObject* Obj, int32_t FlwID)
{
    if (!Obj)
        throw EUserError("THistoryCommand.AddObj: (Obj = nil)");
    if (FlwID == -1) {
        const auto ID = static_cast<int32_t>(FlstObjID.size());
        // A redo appends the objects it makes again in the order they were
        // first made: they take back their IDs and generations.
        StampObj(ID, !FbUndoing && !FbRedoing);
        Obj->FiObjID = ID;
        FlstObjID.push_back(Obj);
        return;
    }
    if (FlwID < 0 || FlwID >= static_cast<int32_t>(FlstObjID.size()))
        throw EListError(SListIndexError, FlwID);
    if (FlstObjID[FlwID] != nullptr)
        throw EUserError("THistoryCommand.AddObj:(FlstObjID[FlwID] <> nil)");
    StampObj(FlwID, false);
    Obj->FiObjID = FlwID;
    FlstObjID[FlwID] = Obj;
}

void THistoryCommand::StampObj(int32_t ID, bool Fresh)
{
    const auto Index = static_cast<size_t>(ID);
    if (Index >= FlstObjGen.size())
        FlstObjGen.resize(Index + 1, 0);
    else if (!Fresh)
        return;
    else if (FStart.Valid && FbCommandOpen)
        FStart.Generations.emplace_back(ID, FlstObjGen[Index]);
    FlstObjGen[Index] = ++FiGenSerial;
}

uint32_t THistoryCommand::ObjGeneration(int32_t ID) const
{
    if (ID < 0 || static_cast<size_t>(ID) >= FlstObjGen.size())
        return 0;
    return FlstObjGen[static_cast<size_t>(ID)];
}

TUndoObject* THistoryCommand::GetObj(int32_t ID) const
{
    if (ID < 0 || ID >= static_cast<int32_t>(FlstObjID.size()))
        return nullptr;
    return FlstObjID[ID];
}

void THistoryCommand::ReleaseObj(TUndoObject* Obj)
{
    const int32_t ID = Obj->FiObjID;
    if (ID >= 0 && ID < static_cast<int32_t>(FlstObjID.size()) && FlstObjID[ID] == Obj)
        FlstObjID[ID] = nullptr;
}

void THistoryCommand::AddComItem(int32_t ID, uint8_t Kind, int32_t Command, const void* Data,
                                 int32_t Size)
{
    CheckRecord("THistoryCommand.AddComItem", Data, Size);
    if (!FbCommandOpen || FbUndoing || FbRedoing || FiLockCount >= 1 || FiMenuEnd < 0)
        return;
    TComItem Item;
    Item.ID = ID;
    Item.Command = Command;
    Item.Kind = Kind;
    Item.Size = Size;
    Item.Offset = SetDataToRollBuf(Data, Size);
    if (Item.Offset < 0) {
        try {
            const auto* P = static_cast<const uint8_t*>(Data);
            Item.Block = std::make_shared<const std::vector<uint8_t>>(P, P + Size);
            FbBlocksHeld = true;
        } catch (const std::bad_alloc&) {
            FbOverflow = 1;
            LockAddHistory();
        }
    }
    FMenuItems[FiMenuEnd].Items.push_back(std::move(Item));
}

// Offset of the first record of a command that holds bytes (-1 for one that
// did not fit); NoData when every record is empty. Empty records take the
// offset where the next bytes will go, so they must not count as data that a
// later write could overwrite.
int32_t THistoryCommand::FirstDataOffset(const TrecMenuItem& Slot)
{
    for (const TComItem& Item : Slot.Items)
        if (!Item.Block && (Item.Size > 0 || Item.Offset < 0))
            return Item.Offset;
    return NoData;
}

int32_t THistoryCommand::FirstRingOffset(const TrecMenuItem& Slot)
{
    for (const TComItem& Item : Slot.Items)
        if (!Item.Block)
            return Item.Offset;
    return NoData;
}

template <class F>
void THistoryCommand::ForEachKeptSlot(F Fn) const
{
    if (FiMenuStart < 0)
        return;
    for (int32_t I = FiMenuStart;; I = NextSlot(I)) {
        Fn(I);
        if (I == FiMenuEnd)
            break;
    }
}

int64_t THistoryCommand::BlockBytes() const
{
    int64_t Total = 0;
    if (!FbBlocksHeld)
        return 0;
    ForEachKeptSlot([&](int32_t I) {
        if (FMenuItems[I].Used)
            for (const TComItem& Item : FMenuItems[I].Items)
                if (Item.Block)
                    Total += int64_t(Item.Block->size());
    });
    return Total;
}

void THistoryCommand::KeepBlocksWithinBudget()
{
    int64_t Total = BlockBytes();
    for (int32_t I = FiMenuStart; I >= 0 && I != FiMenuEnd && Total > FiBlockBudget; I = NextSlot(I)) {
        TrecMenuItem& Slot = FMenuItems[I];
        if (!Slot.Used)
            continue;
        for (const TComItem& Item : Slot.Items)
            if (Item.Block)
                Total -= int64_t(Item.Block->size());
        Slot.Used = 0;
    }
}

void THistoryCommand::ReleaseUnreachableBlocks()
{
    // Most histories never hold a block: no walk over every record then.
    if (!FbBlocksHeld)
        return;
    std::array<bool, MenuCount> Keep{};
    ForEachKeptSlot([&](int32_t I) { Keep[I] = FMenuItems[I].Used != 0; });
    bool Held = false;
    for (int32_t I = 0; I < MenuCount; ++I)
        for (TComItem& Item : FMenuItems[I].Items)
            if (Item.Block) {
                if (Keep[I])
                    Held = true;
                else
                    Item.Block.reset();
            }
    FbBlocksHeld = Held;
}

void THistoryCommand::ClearAfterOverflow()
{
    ClearHistory();
    FbOverflow = 0;
    UnLockAddHistory();
    MessageBox(nullptr, HistoryLostText, "警告", MB_OK | MB_ICONWARNING);
}

// New bytes occupy the positions after FiRollEnd up to NewEnd (ring order);
// the data starting at Off survives unless that run covers Off.
bool THistoryCommand::Survives(int32_t Off, int32_t NewEnd) const
{
    if (Off <= FiRollEnd)
        return NewEnd >= FiRollEnd || NewEnd < Off;
    return NewEnd >= FiRollEnd && NewEnd < Off;
}

int32_t THistoryCommand::SetDataToRollBuf(const void* Data, int32_t Size)
{
    CheckRecord("THistoryCommand.SetDataToRollBuf", Data, Size);
    if (Size >= FiRollSize)
        return -1;
    if (FiMenuNo != FiMenuEnd)
        throw EUserError("THistoryCommand.SetDataToRollBuf: (FiMenuNo <> FiMenuEnd).");

    int64_t End64 = int64_t(FiRollEnd) + Size;
    if (End64 >= FiRollSize)
        End64 -= FiRollSize;
    const int32_t NewEnd = static_cast<int32_t>(End64);

    // A record that would overwrite the open command's own first record is
    // kept out of the ring, before anything older is dropped for it.
    if (FiMenuStart >= 0 && FiRollStart >= 0 && FiMenuEnd >= 0) {
        const int32_t Own = FirstDataOffset(FMenuItems[FiMenuEnd]);
        if (Own != NoData && (Own < 0 || !Survives(Own, NewEnd)))
            return -1;
    }

    if (FiMenuStart >= 0 && FiRollStart >= 0) {
        FiRollStart = 0;
        bool Survivor = false;
        int32_t I = FiMenuStart;
        while (I != FiMenuEnd && !FMenuItems[I].Used)
            I = NextSlot(I);
        while (I != FiMenuEnd) {
            TrecMenuItem& Slot = FMenuItems[I];
            const int32_t Off = FirstDataOffset(Slot);
            if (Off == NoData) {
                // Nothing of it lies in the buffer, so nothing can be overwritten.
                I = NextSlot(I);
                continue;
            }
            if (Off >= 0 && Survives(Off, NewEnd)) {
                FiRollStart = Off;
                Survivor = true;
                break;
            }
            Slot.Used = 0;
            I = NextSlot(I);
        }
        // No older command keeps data in front of the write: the open
        // command's own first record must not be overwritten either, also
        // when no older command held data at all.
        if (!Survivor && FiMenuEnd >= 0) {
            const TrecMenuItem& Open = FMenuItems[FiMenuEnd];
            const int32_t Off = FirstDataOffset(Open);
            if (Off != NoData) {
                if (Off < 0 || !Survives(Off, NewEnd))
                    return -1;
                FiRollStart = Off;
            }
        }
    }

    int32_t Start;
    if (FiRollStart < 0) {
        Start = 0;
        FiRollStart = 0;
    } else {
        Start = FiRollEnd + 1;
        if (Start >= FiRollSize)
            Start = 0;
    }

    SaveOverwritten(Start, Size);
    const auto* Src = static_cast<const uint8_t*>(Data);
    if (int64_t(Start) + Size < FiRollSize) {
        if (Size > 0)
            std::memcpy(FRollBuf.data() + Start, Src, static_cast<size_t>(Size));
        FiRollEnd = Start + Size - 1;
    } else {
        const int32_t First = FiRollSize - Start;
        const int32_t Second = Size - First;
        std::memcpy(FRollBuf.data() + Start, Src, static_cast<size_t>(First));
        if (Second > 0)
            std::memcpy(FRollBuf.data(), Src + First, static_cast<size_t>(Second));
        FiRollEnd = Second - 1;
    }
    return Start;
}

void THistoryCommand::SaveOverwritten(int32_t Start, int32_t Size)
{
    if (!FStart.Valid || !FbCommandOpen || Size <= 0)
        return;
    const int32_t First = std::min(Size, FiRollSize - Start);
    FStart.Overwritten.emplace_back(
        Start, std::vector<uint8_t>(FRollBuf.begin() + Start, FRollBuf.begin() + Start + First));
    if (Size > First)
        FStart.Overwritten.emplace_back(
            0, std::vector<uint8_t>(FRollBuf.begin(), FRollBuf.begin() + (Size - First)));
}

bool THistoryCommand::RestoreStartState()
{
    if (!FStart.Valid || FbOverflow)
        return false;
    // Objects the command made were freed again by the replay; the IDs it
    // gave out are taken back only when none of them is alive.
    for (size_t I = FStart.ObjListSize; I < FlstObjID.size(); ++I)
        if (FlstObjID[I] != nullptr)
            return false;
    for (auto It = FStart.Overwritten.rbegin(); It != FStart.Overwritten.rend(); ++It)
        std::memcpy(FRollBuf.data() + It->first, It->second.data(), It->second.size());
    // The IDs the command gave out name what they named before it, so that
    // the redo steps put back below make their objects under them again.
    for (auto It = FStart.Generations.rbegin(); It != FStart.Generations.rend(); ++It)
        FlstObjGen[static_cast<size_t>(It->first)] = It->second;
    FlstObjID.resize(FStart.ObjListSize);
    if (FStart.SlotIndex >= 0)
        FMenuItems[FStart.SlotIndex] = std::move(FStart.Slot);
    for (int32_t I = 0; I < MenuCount; ++I)
        FMenuItems[I].Used = FStart.Used[I];
    FiMenuStart = FStart.MenuStart;
    FiMenuEnd = FStart.MenuEnd;
    FiMenuNo = FStart.MenuNo;
    FiRollStart = FStart.RollStart;
    FiRollEnd = FStart.RollEnd;
    FiObjCount = FStart.ObjCount;
    FStart = TStartState();
    FbCommandOpen = 0;
    return true;
}

void THistoryCommand::AskBeforeStep()
{
    if (FbUndoing || FbRedoing || FbCommandOpen || !BeforeStep)
        return;
    // A copy: the hook may end its own turn while it runs.
    const TNotifyEvent Hook = BeforeStep;
    Hook(this);
}

void THistoryCommand::CommandStart(const std::string& Caption)
{
    if (FbUndoing || FbRedoing)
        return;
    if (FbCommandOpen)
        throw EUserError("THistoryCommand.CommandStart: Reenter");
    AskBeforeStep();
    ++FiStepSerial;

    FStart = TStartState();
    FStart.MenuStart = FiMenuStart;
    FStart.MenuEnd = FiMenuEnd;
    FStart.MenuNo = FiMenuNo;
    FStart.RollStart = FiRollStart;
    FStart.RollEnd = FiRollEnd;
    FStart.ObjCount = FiObjCount;
    FStart.ObjListSize = FlstObjID.size();
    for (int32_t I = 0; I < MenuCount; ++I)
        FStart.Used[I] = FMenuItems[I].Used;

    if (FiMenuStart >= 0) {
        if (FiMenuNo < 0) {
            // The redo steps' blocks stay until the command ends: a
            // rollback brings the steps back.
            ResetRing();
        } else if (FiMenuNo != FiMenuEnd) {
            // New data overwrites the dropped redo tail from its first
            // record in the ring on.
            for (int32_t I = NextSlot(FiMenuNo);; I = NextSlot(I)) {
                const int32_t Off = FirstRingOffset(FMenuItems[I]);
                if (Off != NoData) {
                    FiRollEnd = Off - 1;
                    break;
                }
                if (I == FiMenuEnd)
                    break;
            }
            FiMenuEnd = FiMenuNo;
        }
    }

    if (FiMenuStart >= 0) {
        FiMenuEnd = NextSlot(FiMenuEnd);
        if (FiMenuEnd == FiMenuStart) {
            FiMenuStart = NextSlot(FiMenuStart);
            const TrecMenuItem& Oldest = FMenuItems[FiMenuStart];
            if (const int32_t Off = FirstRingOffset(Oldest); Oldest.Used && Off != NoData)
                FiRollStart = Off;
        }
    } else {
        FiMenuStart = 0;
        FiMenuEnd = 0;
    }

    FiMenuNo = FiMenuEnd;
    if (FiObjCount == -1)
        FiObjCount = static_cast<int32_t>(FlstObjID.size());

    TrecMenuItem& Slot = FMenuItems[FiMenuEnd];
    FStart.SlotIndex = FiMenuEnd;
    FStart.Slot = std::move(Slot);
    FStart.Valid = true;
    Slot.Used = 1;
    Slot.Caption = Caption;
    Slot.ObjCount = FiObjCount;
    Slot.Items.clear();
    Slot.Refs.clear();
    FbCommandOpen = 1;
    if (OnCommandStart)
        OnCommandStart(this);
}

void THistoryCommand::CommandEnd()
{
    if (FbUndoing || FbRedoing)
        return;
    if (OnCommandEnding)
        OnCommandEnding(this);
    if (FiMenuEnd >= 0 && !FMenuItems[FiMenuEnd].Items.empty() && !FbOverflow) {
        FbCommandOpen = 0;
        KeepBlocksWithinBudget();
    } else {
        CommandCancel();
    }
    FStart = TStartState();
    ReleaseUnreachableBlocks();
    if (OnChange)
        OnChange(this);
    FiObjCount = static_cast<int32_t>(FlstObjID.size());
}

void THistoryCommand::CommandCancel()
{
    if (FbUndoing || FbRedoing)
        return;
    if (!FbCommandOpen)
        throw EUserError("THistoryCommand.CommandCancel Error.");
    // A command that recorded nothing leaves the history as it found it
    // (its redo steps too).
    if (FiMenuEnd >= 0 && FMenuItems[FiMenuEnd].Items.empty() && RestoreStartState())
        return;
    if (FbOverflow) {
        ClearAfterOverflow();
    } else if (FiMenuStart != FiMenuEnd) {
        FiMenuEnd = PrevSlot(FiMenuEnd);
        FiMenuNo = FiMenuEnd;
    } else {
        ClearHistory();
    }
    FbCommandOpen = 0;
    FStart = TStartState();
    ReleaseUnreachableBlocks();
}

void THistoryCommand::ClearHistory()
{
    ResetRing();
    if (!FbCommandOpen)
        ReleaseUnreachableBlocks();
}

void THistoryCommand::ResetRing()
{
    FiMenuStart = -1;
    FiMenuEnd = -1;
    FiMenuNo = -1;
    FiRollStart = -1;
    FiRollEnd = -1;
}

void THistoryCommand::LockAddHistory()
{
    ++FiLockCount;
}

void THistoryCommand::UnLockAddHistory()
{
    if (FiLockCount == 0)
        throw EUserError("UnLockAddHistory: (FiLockCount = 0)");
    --FiLockCount;
}

TUndoObject* THistoryCommand::ReplayTarget(const TComItem& Item, const char* Caller) const
{
    TUndoObject* Obj = GetObj(Item.ID);
    if (!Obj)
        throw EUserError(std::string(Caller) + ": object " + std::to_string(Item.ID) +
                         " not found");
    return Obj;
}

const void* THistoryCommand::RecordData(const TComItem& Item, std::vector<uint8_t>& Temp,
                                        const char* Caller) const
{
    if (Item.Block) {
        if (Item.Block->size() != size_t(Item.Size))
            throw EUserError(std::string(Caller) + ": record of object " +
                             std::to_string(Item.ID) + " not stored");
        return Item.Block->data();
    }
    if (Item.Offset < 0 || Item.Offset >= FiRollSize || Item.Size < 0 || Item.Size >= FiRollSize)
        throw EUserError(std::string(Caller) + ": record of object " +
                         std::to_string(Item.ID) + " not stored");
    if (int64_t(Item.Offset) + Item.Size <= FiRollSize)
        return FRollBuf.data() + Item.Offset;
    // The record wraps the buffer end: hand the object one piece.
    const int32_t First = FiRollSize - Item.Offset;
    Temp.resize(static_cast<size_t>(Item.Size));
    std::memcpy(Temp.data(), FRollBuf.data() + Item.Offset, static_cast<size_t>(First));
    std::memcpy(Temp.data() + First, FRollBuf.data(), static_cast<size_t>(Item.Size - First));
    return Temp.data();
}

void THistoryCommand::ReplayUndoRecords(const TrecMenuItem& Slot, const char* Caller)
{
    std::vector<uint8_t> Temp;
    for (size_t I = Slot.Items.size(); I-- > 0;) {
        const TComItem Item = Slot.Items[I];
        if (Item.Kind != 0)
            continue;
        TUndoObject* Obj = ReplayTarget(Item, Caller);
        const void* Data = RecordData(Item, Temp, Caller);
        Obj->Undo(Item.Command, Data, Item.Size);
    }
}

void THistoryCommand::CommandRollback()
{
    if (FbUndoing || FbRedoing)
        return;
    if (!FbCommandOpen)
        throw EUserError("THistoryCommand.CommandCancel Error.");
    if (!FbOverflow) {
        const int32_t SavedLock = FiLockCount;
        LockAddHistory();
        FbUndoing = 1;
        try {
            ReplayUndoRecords(FMenuItems[FiMenuEnd], "THistoryCommand.CommandRollback");
        } catch (...) {
            FbUndoing = 0;
            FiLockCount = SavedLock;
            CommandCancel();
            throw;
        }
        FbUndoing = 0;
        FiLockCount = SavedLock;
        if (RestoreStartState()) {
            if (OnRolledBack)
                OnRolledBack(this);
            return;
        }
    }
    CommandCancel();
}

void THistoryCommand::Undo()
{
    AskBeforeStep();
    if (FiMenuStart < 0 || FiMenuNo < 0 || !FMenuItems[FiMenuNo].Used)
        return;
    ++FiStepSerial;

    const int32_t SavedLock = FiLockCount;
    const int32_t SavedMenuNo = FiMenuNo;
    LockAddHistory();
    FbUndoing = 1;
    TScopeExit Guard([this, SavedLock, SavedMenuNo] {
        FbUndoing = 0;
        FiLockCount = SavedLock;
        FiMenuNo = SavedMenuNo;
    });

    const TrecMenuItem& Slot = FMenuItems[FiMenuNo];
    ReplayUndoRecords(Slot, "THistoryCommand.Undo");

    // Objects made by the command are gone again; redo re-creates them under
    // the same IDs by appending in the same order.
    const int32_t Count = static_cast<int32_t>(FlstObjID.size());
    for (int32_t I = Slot.ObjCount; I < Count; ++I)
        if (FlstObjID[I] != nullptr)
            throw EUserError("ThistoryCommand.Undo: FlstObjID[" + std::to_string(I) + "] <> nil");
    FlstObjID.resize(static_cast<size_t>(Slot.ObjCount));

    FiMenuNo = FiMenuNo == FiMenuStart ? -1 : PrevSlot(FiMenuNo);

    Guard.Dismiss();
    FiLockCount = SavedLock;
    FbUndoing = 0;
    FiObjCount = static_cast<int32_t>(FlstObjID.size());
    if (OnUndo)
        OnUndo(this);
    if (OnChange)
        OnChange(this);
}

void THistoryCommand::Redo()
{
    AskBeforeStep();
    if (FiMenuStart < 0 || FiMenuNo == FiMenuEnd)
        return;
    ++FiStepSerial;

    const int32_t SavedLock = FiLockCount;
    const int32_t SavedMenuNo = FiMenuNo;
    LockAddHistory();
    FbRedoing = 1;
    TScopeExit Guard([this, SavedLock, SavedMenuNo] {
        FbRedoing = 0;
        FiLockCount = SavedLock;
        FiMenuNo = SavedMenuNo;
    });

    FiMenuNo = FiMenuNo < 0 ? FiMenuStart : NextSlot(FiMenuNo);
    const TrecMenuItem& Slot = FMenuItems[FiMenuNo];
    if (Slot.Used) {
        std::vector<uint8_t> Temp;
        for (size_t I = 0; I < Slot.Items.size(); ++I) {
            const TComItem Item = Slot.Items[I];
            if (Item.Kind != 1)
                continue;
            TUndoObject* Obj = ReplayTarget(Item, "THistoryCommand.Redo");
            const void* Data = RecordData(Item, Temp, "THistoryCommand.Redo");
            Obj->Redo(Item.Command, Data, Item.Size);
        }
    }

    Guard.Dismiss();
    FbRedoing = 0;
    FiLockCount = SavedLock;
    FiObjCount = static_cast<int32_t>(FlstObjID.size());
    if (OnRedo)
        OnRedo(this);
    if (OnChange)
        OnChange(this);
}

bool THistoryCommand::CanUndo() const
{
    return FiMenuStart >= 0 && FiMenuNo >= 0 && FMenuItems[FiMenuNo].Used == 1;
}

bool THistoryCommand::CanRedo() const
{
    return FiMenuStart >= 0 && FiMenuNo != FiMenuEnd;
}

void THistoryCommand::AddCommandRefs(const std::vector<int32_t>& Refs)
{
    if (!FbCommandOpen || FbUndoing || FbRedoing || FiMenuEnd < 0)
        return;
    std::vector<int32_t>& Held = FMenuItems[FiMenuEnd].Refs;
    Held.insert(Held.end(), Refs.begin(), Refs.end());
    std::sort(Held.begin(), Held.end());
    Held.erase(std::unique(Held.begin(), Held.end()), Held.end());
}

std::vector<int32_t> THistoryCommand::ReachableRefs() const
{
    std::vector<int32_t> Out;
    const auto Add = [&Out](const TrecMenuItem& Slot) { Out.insert(Out.end(), Slot.Refs.begin(), Slot.Refs.end()); };
    ForEachKeptSlot([&](int32_t I) {
        if (FMenuItems[I].Used)
            Add(FMenuItems[I]);
    });
    // A cancel or rollback puts back the history as the command found it:
    // the steps ahead it dropped, the oldest one it pushed out, those whose
    // records it wrote over.
    if (FbCommandOpen && FStart.Valid && FStart.MenuStart >= 0)
        for (int32_t I = FStart.MenuStart;; I = NextSlot(I)) {
            if (FStart.Used[size_t(I)])
                Add(I == FStart.SlotIndex ? FStart.Slot : FMenuItems[size_t(I)]);
            if (I == FStart.MenuEnd)
                break;
        }
    return Out;
}

void THistoryCommand::ResetObjCount()
{
    FiObjCount = static_cast<int32_t>(FlstObjID.size());
}

std::string THistoryCommand::UndoCaption() const
{
    return CanUndo() ? FMenuItems[FiMenuNo].Caption : std::string();
}

std::string THistoryCommand::RedoCaption() const
{
    if (!CanRedo())
        return {};
    return FMenuItems[FiMenuNo < 0 ? FiMenuStart : NextSlot(FiMenuNo)].Caption;
}
