// Undo history of a document. Every undoable object (TUndoObject) records its
// changes as pairs of byte records (kind 0 undo, kind 1 redo); records are
// grouped into captioned commands, the last 200 commands are kept in a ring of
// slots and the record bytes share one ring buffer. Undo and Redo replay the
// records through the objects' virtual Undo/Redo, finding them by object ID.
//
// A record the ring cannot take (one as large as the ring, or one that would
// overwrite the open command's own first record: a deleted or replaced
// picture) is kept in a block of its own, so that every command stays
// undoable. The blocks of the older commands share a budget: when a command
// ends beyond it, the oldest commands are dropped until the rest fits (the
// newest is always kept, whatever its size). Only when a block cannot be
// allocated does the command overflow: its end clears the history and tells
// the user once.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "foundation/tobject.h"

class THistoryCommand;

// Base of every object whose changes can be undone.
class TUndoObject : public TObject {
public:
    // Registers the object under a new ID when AHistory is given.
    explicit TUndoObject(THistoryCommand* AHistory);
    // Registers the object under AID (-1: a new ID); re-creating a deleted
    // object under its old ID uses this form.
    TUndoObject(THistoryCommand* AHistory, int32_t AID);
    ~TUndoObject() override;

    TUndoObject(const TUndoObject&) = delete;
    TUndoObject& operator=(const TUndoObject&) = delete;

    std::string ClassName() const override { return "TUndoObject"; }

    // Replays one record; receivers test the low seven bits of Command.
    virtual void Undo(int32_t Command, const void* Data, int32_t Size) = 0;
    virtual void Redo(int32_t Command, const void* Data, int32_t Size) = 0;
    // Kind 0 = undo record, 1 = redo record. Nothing without a history.
    virtual void AddHistory(uint8_t Kind, int32_t Command, const void* Data, int32_t Size);

    int32_t ObjID() const { return FiObjID; }
    THistoryCommand* HistoryCommand() const { return FHistory; }

protected:
    // For an object that makes its own history after construction (the
    // document); it then registers itself with AddObj.
    void SetHistoryCommand(THistoryCommand* AHistory) { FHistory = AHistory; }

private:
    friend class THistoryCommand;
    int32_t FiObjID = -1;
    THistoryCommand* FHistory = nullptr; // not owned: the document owns the history
};

// One record of a command.
struct TComItem {
    int32_t ID = 0;
    int32_t Command = 0;
    uint8_t Kind = 0;     // 0 undo, 1 redo
    int32_t Offset = -1;  // in the roll buffer; -1 when the bytes are not there
    int32_t Size = 0;
    // The bytes of a record kept out of the ring (shared by copies of the item).
    std::shared_ptr<const std::vector<uint8_t>> Block;
};

// One command slot of the ring.
struct TrecMenuItem {
    std::string Caption;
    int32_t ObjCount = 0;          // FiObjCount when the command was opened
    std::vector<TComItem> Items;   // in recording order
    uint8_t Used = 0;              // 1 while the command's records are in the buffer
    // Numbers the owner keeps alive while the command can be undone or
    // redone (the document: the pictures its items use before and after it).
    std::vector<int32_t> Refs;
};

class THistoryCommand {
public:
    static constexpr int32_t MenuCount = 200;
    static constexpr int32_t DefaultRollSize = 512000;
    // The blocks of records kept out of the ring that the older commands may
    // hold together.
    static constexpr int64_t DefaultBlockBudget = int64_t{256} << 20;
    // Told once when a record could not be kept for want of memory and the
    // history was cleared.
    static constexpr const char* HistoryLostText =
        "メモリが不足しているため、元に戻す操作の履歴を消去しました。";

    using TNotifyEvent = std::function<void(THistoryCommand*)>;

    THistoryCommand();
    // Live objects still registered are detached (their history becomes nil).
    ~THistoryCommand();

    THistoryCommand(const THistoryCommand&) = delete;
    THistoryCommand& operator=(const THistoryCommand&) = delete;

    void SetRollBufSize(int32_t Size);
    void SetBlockBudget(int64_t Bytes) { FiBlockBudget = Bytes; }
    // The bytes held in blocks by the commands that can still be undone or
    // redone.
    int64_t BlockBytes() const;
    void AddObj(TUndoObject* Obj, int32_t FlwID);
    // nil when no live object has this ID (destroyed or out of range).
    TUndoObject* GetObj(int32_t ID) const;
    // Which object an ID names, as a number: an object made new takes a new
    // generation with its ID, and an ID an undone step gave back is given
    // to the next new object; a replay that makes an object again (undo
    // under its old ID, redo in the same order) keeps the generation it had.
    // Whoever keeps an ID of an object that may be gone for a while tells
    // it from a stranger under the same ID by this. 0 for an ID never given.
    uint32_t ObjGeneration(int32_t ID) const;

    void AddComItem(int32_t ID, uint8_t Kind, int32_t Command, const void* Data, int32_t Size);
    int32_t SetDataToRollBuf(const void* Data, int32_t Size);

    void CommandStart(const std::string& Caption);
    // A command that recorded nothing is dropped by both, and the history is
    // left as CommandStart found it (the redo steps stay).
    void CommandEnd();
    void CommandCancel();
    // For a change that failed part-way: replays the undo records the open
    // command holds, newest first, so that its objects are as they were
    // before it, then puts the history back as it was before CommandStart
    // (the redo steps and the oldest step the command displaced, and the
    // record bytes it wrote over). The command is cancelled also when a
    // record cannot be replayed (the error passes on); after an overflow the
    // records are lost and cancelling empties the history.
    void CommandRollback();
    void ClearHistory();

    void LockAddHistory();
    void UnLockAddHistory();
    bool IsLockAddHistory() const { return FiLockCount > 0; }

    // When an object's Undo/Redo raises (or a replayed object is missing),
    // the replay flags and the lock count are restored and FiMenuNo keeps the
    // value it had before the call, so the same step can be tried again.
    void Undo();
    void Redo();
    bool CanUndo() const;
    bool CanRedo() const;

    void ResetObjCount();

    // Adds to the open command's Refs (nothing without one, or while
    // replaying).
    void AddCommandRefs(const std::vector<int32_t>& Refs);
    // The Refs of every command that undo or redo can still reach; while a
    // command is open, also of those its cancel or rollback would bring back.
    // Unsorted, with repeats.
    std::vector<int32_t> ReachableRefs() const;

    // Captions of the commands Undo and Redo would act on ("" when none).
    std::string UndoCaption() const;
    std::string RedoCaption() const;

    bool IsCommandOpen() const { return FbCommandOpen != 0; }
    // Grows by one as each command opens and as each undo or redo starts:
    // whoever keeps something taken from the document can tell whether it
    // was taken within or after the latest step, or before it.
    uint64_t StepSerial() const { return FiStepSerial; }
    bool IsUndoing() const { return FbUndoing != 0; }
    bool IsRedoing() const { return FbRedoing != 0; }
    bool IsOverflow() const { return FbOverflow != 0; }
    int32_t LockCount() const { return FiLockCount; }
    int32_t ObjCount() const { return FiObjCount; }
    int32_t ObjListCount() const { return static_cast<int32_t>(FlstObjID.size()); }
    int32_t MenuStart() const { return FiMenuStart; }
    int32_t MenuEnd() const { return FiMenuEnd; }
    int32_t MenuNo() const { return FiMenuNo; }
    int32_t RollStart() const { return FiRollStart; }
    int32_t RollEnd() const { return FiRollEnd; }
    int32_t RollSize() const { return FiRollSize; }

    TNotifyEvent OnChange;
    // When a command opens, and when CommandRollback has put everything
    // back (the owner restores what it keeps beside the history, such as
    // its modified flag).
    TNotifyEvent OnCommandStart;
    TNotifyEvent OnRolledBack;
    TNotifyEvent OnCommandEnding;
    TNotifyEvent OnRedo;
    TNotifyEvent OnUndo;
    // Asked with the history before each of its steps (a command opening, an
    // undo, a redo), of every history: a window that shows a value in a
    // document's objects outside the history (one being typed) ends it
    // first, so that no step is recorded or replayed over values the history
    // does not hold. Nil for none.
    static inline TNotifyEvent BeforeStep;

private:
    friend class TUndoObject;
    void AskBeforeStep();
    void ReleaseObj(TUndoObject* Obj);
    // A new generation for ID when Fresh or when the ID is given the first
    // time; an open command keeps the one it replaces for its rollback.
    void StampObj(int32_t ID, bool Fresh);
    bool Survives(int32_t Off, int32_t NewEnd) const;
    static constexpr int32_t NoData = -2;
    static int32_t FirstDataOffset(const TrecMenuItem& Slot);
    // Offset of the slot's first record in the ring (empty ones included);
    // NoData when every record is kept in a block.
    static int32_t FirstRingOffset(const TrecMenuItem& Slot);
    // Calls Fn with the index of every kept command, oldest first.
    template <class F>
    void ForEachKeptSlot(F Fn) const;
    void KeepBlocksWithinBudget();
    // Frees the blocks of slots that can no longer be undone or redone.
    void ReleaseUnreachableBlocks();
    void ClearAfterOverflow();
    void ResetRing();
    const void* RecordData(const TComItem& Item, std::vector<uint8_t>& Temp,
                           const char* Caller) const;
    TUndoObject* ReplayTarget(const TComItem& Item, const char* Caller) const;
    // The slot's kind-0 records, last to first.
    void ReplayUndoRecords(const TrecMenuItem& Slot, const char* Caller);

    // The history as CommandStart found it, for CommandRollback.
    struct TStartState {
        bool Valid = false;
        int32_t MenuStart = -1, MenuEnd = -1, MenuNo = -1;
        int32_t RollStart = -1, RollEnd = -1, ObjCount = -1;
        size_t ObjListSize = 0;
        std::array<uint8_t, MenuCount> Used{};
        int32_t SlotIndex = -1;  // the slot the command took, as it was
        TrecMenuItem Slot;
        // Record bytes the command wrote over: offset and old bytes, in order.
        std::vector<std::pair<int32_t, std::vector<uint8_t>>> Overwritten;
        // Generations the command's new objects replaced: ID and old value.
        std::vector<std::pair<int32_t, uint32_t>> Generations;
    };
    void SaveOverwritten(int32_t Start, int32_t Size);
    bool RestoreStartState();

    TStartState FStart;
    uint8_t FbOverflow = 0;
    uint8_t FbRedoing = 0;
    uint8_t FbUndoing = 0;
    int32_t FiObjCount = -1;
    std::vector<TUndoObject*> FlstObjID; // not owned; nil for destroyed objects
    // One per ID ever given; never shortened, so that a redo finds it.
    std::vector<uint32_t> FlstObjGen;
    uint32_t FiGenSerial = 0;
    uint8_t FbCommandOpen = 0;
    std::array<TrecMenuItem, MenuCount> FMenuItems;
    int32_t FiMenuStart = -1;
    int32_t FiMenuEnd = -1;
    int32_t FiMenuNo = -1;
    int32_t FiRollStart = -1;
    int32_t FiRollEnd = -1;
    int32_t FiRollSize = 0;
    std::vector<uint8_t> FRollBuf;
    int64_t FiBlockBudget = DefaultBlockBudget;
    bool FbBlocksHeld = false;  // some slot may hold a block
    int32_t FiLockCount = 0;
    uint64_t FiStepSerial = 0;
};
