// Ring of commands, roll buffer and messages of THistoryCommand.
#include <gtest/gtest.h>

#include "tests/store/history_doubles.h"

#include "platform/message_box.h"

#include <algorithm>
#include <fstream>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using TCall = TProbe::TCall;
using TCalls = std::vector<TCall>;

// One command holding one undo record.
void OneRecordCommand(THistoryCommand& H, TProbe& P, const std::string& Caption, int32_t Code,
                      const std::string& Bytes)
{
    H.CommandStart(Caption);
    P.Record(0, Code, Bytes);
    H.CommandEnd();
}

int32_t UndoAll(THistoryCommand& H)
{
    int32_t N = 0;
    for (; H.CanUndo() && N <= THistoryCommand::MenuCount; ++N)
        H.Undo();
    return N;
}

// "menu start..end@current roll start..end", plus " lock N" while locked.
std::string Ring(const THistoryCommand& H)
{
    std::string S = std::to_string(H.MenuStart()) + ".." + std::to_string(H.MenuEnd()) + "@" +
                    std::to_string(H.MenuNo()) + " " + std::to_string(H.RollStart()) + ".." +
                    std::to_string(H.RollEnd());
    return H.LockCount() ? S + " lock " + std::to_string(H.LockCount()) : S;
}

const std::string EmptyRing = "-1..-1@-1 -1..-1";

// A history over a roll buffer of Size bytes, with one probe.
struct TSmall {
    THistoryCommand H;
    TProbe P{&H};
    explicit TSmall(int32_t Size) { H.SetRollBufSize(Size); }
};

} // namespace

TEST(HistoryCommand, RingKeepsTheLast200Commands)
{
    THistoryCommand H;
    TProbe P(&H);
    for (int32_t I = 0; I < 200; ++I)
        OneRecordCommand(H, P, "cmd" + std::to_string(I), I, Pattern(4, I));
    EXPECT_EQ(Ring(H), "0..199@199 0..799");
    // The 201st command takes slot 0 again and drops command 0, whose data
    // (offset 0..3) is no longer the oldest held.
    H.CommandStart("cmd200");
    EXPECT_EQ(H.RollStart(), 4);
    P.Record(0, 200, Pattern(4, 200));
    H.CommandEnd();
    EXPECT_EQ(Ring(H), "1..0@0 4..803");
    EXPECT_EQ(UndoAll(H), 200);
    EXPECT_EQ(H.UndoCaption(), "");
    ASSERT_EQ(P.Calls.size(), 200u);
    EXPECT_EQ(P.Calls.front(), (TCall{false, 200, Pattern(4, 200)}));
    EXPECT_EQ(P.Calls.back(), (TCall{false, 1, Pattern(4, 1)}));
    H.Redo();
    EXPECT_EQ(std::to_string(H.MenuNo()) + " " + H.UndoCaption() + " " + H.RedoCaption(), "1 cmd1 cmd2");
}

TEST(HistoryCommand, EmptyCommandDisappears)
{
    THistoryCommand H;
    TProbe P(&H);
    int32_t Changes = 0;
    H.OnChange = [&](THistoryCommand* Sender) { Changes += Sender == &H; };
    H.CommandStart("nothing"); // alone in the history: the history is empty again
    EXPECT_TRUE(H.IsCommandOpen());
    H.CommandEnd();
    EXPECT_FALSE(H.IsCommandOpen());
    EXPECT_EQ(Ring(H) + " " + std::to_string(Changes), EmptyRing + " 1");
    OneRecordCommand(H, P, "A", 1, ""); // an empty record holds no bytes: never overwritten
    OneRecordCommand(H, P, "B", 2, "b");
    H.CommandStart("empty");
    EXPECT_EQ(H.UndoCaption(), "empty");
    H.CommandEnd();
    EXPECT_EQ(H.UndoCaption() + " " + Ring(H), "B 0..1@1 0..0");
    EXPECT_FALSE(H.CanRedo());
    EXPECT_EQ(UndoAll(H), 2);
    EXPECT_EQ(P.Calls, (TCalls{{false, 2, "b"}, {false, 1, ""}}));
}

// Each command opened and each undo or redo done counts one step; calls
// that do nothing count none, and a step's serial is there while it runs.
TEST(HistoryCommand, StepSerialCountsCommandsUndosAndRedos)
{
    THistoryCommand H;
    TProbe P(&H);
    std::vector<uint64_t> Seen;
    H.OnChange = [&](THistoryCommand* Sender) { Seen.push_back(Sender->StepSerial()); };
    EXPECT_EQ(H.StepSerial(), 0u);
    H.Undo();
    H.Redo();
    H.CommandStart("A");
    EXPECT_EQ(H.StepSerial(), 1u);
    P.Record(0, 1, "a");
    H.CommandEnd();
    H.CommandStart("empty");
    H.CommandEnd();
    H.Undo();
    H.Redo();
    H.Redo();
    EXPECT_EQ(Seen, (std::vector<uint64_t>{1, 2, 3, 4}));
}

TEST(HistoryCommand, MessagesAndRefusedCalls)
{
    THistoryCommand H;
    TProbe P(&H);
    EXPECT_EQ(ErrorOf([&] { H.CommandCancel(); }), "THistoryCommand.CommandCancel Error.");
    // Closing with nothing open on an empty history goes the cancel way.
    EXPECT_EQ(ErrorOf([&] { H.CommandEnd(); }), "THistoryCommand.CommandCancel Error.");
    H.LockAddHistory();
    H.UnLockAddHistory();
    EXPECT_EQ(ErrorOf([&] { H.UnLockAddHistory(); }), "UnLockAddHistory: (FiLockCount = 0)");
    EXPECT_EQ(H.LockCount(), 0);
    H.SetRollBufSize(64);
    EXPECT_EQ(ErrorOf([&] { H.SetRollBufSize(-1); }), "THistoryCommand.SetRollBufSize: Failed");
    H.CommandStart("A");
    EXPECT_EQ(ErrorOf([&] { H.CommandStart("B"); }), "THistoryCommand.CommandStart: Reenter");
    EXPECT_EQ(H.UndoCaption(), "A");
    EXPECT_EQ(ErrorOf([&] { H.AddComItem(P.ObjID(), 0, 1, "abc", -1); }), "THistoryCommand.AddComItem: (Size < 0)");
    EXPECT_EQ(ErrorOf([&] { H.AddComItem(P.ObjID(), 0, 1, nullptr, 3); }), "THistoryCommand.AddComItem: (Data = nil)");
    EXPECT_EQ(H.RollEnd(), -1);
    P.Record(0, 1, "x");
    H.AddComItem(P.ObjID(), 0, 7, nullptr, 0); // no bytes at all is a valid record
    H.CommandEnd();
    H.Undo();
    EXPECT_EQ(P.Calls, (TCalls{{false, 7, ""}, {false, 1, "x"}}));
    H.Redo();
    // The buffer holds a record: its size is fixed now.
    EXPECT_EQ(ErrorOf([&] { H.SetRollBufSize(1000); }), "THistoryCommand.SetRollBufSize: Failed");
    EXPECT_EQ(H.RollSize(), 64);
    // Undo of the open command, then more records: the redo tail would be written over.
    H.CommandStart("B");
    P.Record(0, 2, "y");
    H.Undo();
    EXPECT_EQ(ErrorOf([&] { P.Record(0, 3, "z"); }), "THistoryCommand.SetDataToRollBuf: (FiMenuNo <> FiMenuEnd).");
    H.CommandCancel();
    EXPECT_EQ(ErrorOf([&] { H.AddObj(&P, P.ObjID()); }), "THistoryCommand.AddObj:(FlstObjID[FlwID] <> nil)");
    EXPECT_EQ(ErrorOf([&] { H.AddObj(&P, 5); }), "リストのインデックスが範囲を超えています (5)");
}

TEST(HistoryCommand, ARecordAsLargeAsTheRingIsKeptApartAndReplaysExactly)
{
    THistoryCommand H;
    TProbe P(&H);
    OneRecordCommand(H, P, "kept before", 1, "abc");
    H.CommandStart("huge");
    P.Record(0, 2, "def");
    const std::string Huge = Pattern(512000, 7), Larger = Pattern(600000, 8);
    P.Record(0, 3, Huge);
    P.Record(1, 3, Larger);
    P.Record(0, 4, "ghi");
    // The ring holds the small records only; the command records on.
    EXPECT_FALSE(H.IsOverflow());
    EXPECT_EQ(Ring(H), "0..1@1 0..8");
    H.CommandEnd();
    EXPECT_EQ(H.BlockBytes(), 1112000);
    EXPECT_EQ(UndoAll(H), 2);
    EXPECT_EQ(P.Calls, (TCalls{{false, 4, "ghi"}, {false, 3, Huge}, {false, 2, "def"}, {false, 1, "abc"}}));
    P.Calls.clear();
    H.Redo();
    H.Redo();
    EXPECT_EQ(P.Calls, (TCalls{{true, 3, Larger}}));
    // One byte less than the ring goes into it, over both older commands'
    // first records (9..511999 and 0..7).
    OneRecordCommand(H, P, "fits", 5, Pattern(511999, 3));
    EXPECT_EQ(Ring(H), "0..2@2 0..7");
    EXPECT_EQ(UndoAll(H), 1);
}

TEST(HistoryCommand, RingBufferWrapsAndDropsOverwrittenCommands)
{
    TSmall S(100);
    OneRecordCommand(S.H, S.P, "A", 1, Pattern(60, 1)); // 0..59
    OneRecordCommand(S.H, S.P, "B", 2, Pattern(40, 2)); // 60..99: ends at the buffer's end
    EXPECT_EQ(Ring(S.H), "0..1@1 0..-1");
    OneRecordCommand(S.H, S.P, "C", 3, Pattern(10, 3)); // 0..9, over A's data
    EXPECT_EQ(Ring(S.H), "0..2@2 60..9");
    EXPECT_EQ(UndoAll(S.H), 2); // A lost its data
    EXPECT_EQ(S.P.Calls, (TCalls{{false, 3, Pattern(10, 3)}, {false, 2, Pattern(40, 2)}}));
    EXPECT_EQ(S.H.MenuNo(), 0);
    S.H.Redo();
    S.H.Redo();
    EXPECT_TRUE(!S.H.CanRedo() && S.H.UndoCaption() == "C");
    // A record split over the buffer's end replays whole.
    TSmall T(100);
    T.H.CommandStart("A");
    T.P.Record(1, 1, Pattern(70, 1)); // 0..69
    T.H.CommandEnd();
    T.H.CommandStart("B");
    T.P.Record(0, 2, Pattern(50, 2)); // 70..99 and 0..19
    T.P.Record(1, 2, Pattern(30, 3)); // 20..49
    T.H.CommandEnd();
    EXPECT_EQ(Ring(T.H), "0..1@1 70..49");
    T.H.Undo();
    EXPECT_FALSE(T.H.CanUndo()); // A was overwritten
    T.H.Redo();
    EXPECT_EQ(T.P.Calls, (TCalls{{false, 2, Pattern(50, 2)}, {true, 2, Pattern(30, 3)}}));
    // Survival boundaries. A: 0..19, B: 20..49, C: 50..89; then D wraps: 90..99 and 0..19 or 0..20.
    for (int32_t D : {30, 31}) {
        TSmall U(100);
        OneRecordCommand(U.H, U.P, "A", 1, Pattern(20, 1));
        OneRecordCommand(U.H, U.P, "B", 2, Pattern(30, 2));
        OneRecordCommand(U.H, U.P, "C", 3, Pattern(40, 3));
        OneRecordCommand(U.H, U.P, "D", 4, Pattern(D, 4));
        if (D == 30) {
            // Ending just before B's first byte keeps B; one more byte drops it.
            EXPECT_EQ(U.H.RollStart(), 20);
            OneRecordCommand(U.H, U.P, "E", 5, Pattern(1, 5));
        }
        EXPECT_EQ(U.H.RollStart(), 50);
        EXPECT_EQ(UndoAll(U.H), D == 30 ? 3 : 2); // E, D, C or D, C
    }
}

TEST(HistoryCommand, ARecordThatWouldOverwriteItsOwnCommandIsKeptApart)
{
    TSmall S(100);
    S.H.CommandStart("A");
    S.P.Record(0, 1, Pattern(60, 1)); // 0..59
    S.P.Record(0, 2, Pattern(50, 2)); // would end at 9, over offset 0
    EXPECT_EQ(Ring(S.H), "0..0@0 0..59");
    S.H.CommandEnd();
    S.H.Undo();
    EXPECT_EQ(S.P.Calls, (TCalls{{false, 2, Pattern(50, 2)}, {false, 1, Pattern(60, 1)}}));
    // An older command is dropped as the ring's rules say; the record that
    // would reach the open command's own first record drops nothing.
    TSmall T(100);
    OneRecordCommand(T.H, T.P, "A", 1, Pattern(30, 1)); // 0..29
    T.H.CommandStart("B");
    T.P.Record(0, 2, Pattern(40, 2)); // 30..69
    T.P.Record(0, 3, Pattern(50, 3)); // 70..99, 0..19: drops A
    EXPECT_EQ(Ring(T.H), "0..1@1 30..19");
    T.P.Record(0, 4, Pattern(20, 4)); // would end at 39, over offset 30
    EXPECT_EQ(Ring(T.H), "0..1@1 30..19");
    T.H.CommandEnd();
    OneRecordCommand(T.H, T.P, "C", 5, Pattern(10, 5)); // 20..29: B stays
    EXPECT_EQ(UndoAll(T.H), 2);
    EXPECT_EQ(T.P.Calls, (TCalls{{false, 5, Pattern(10, 5)}, {false, 4, Pattern(20, 4)},
                                 {false, 3, Pattern(50, 3)}, {false, 2, Pattern(40, 2)}}));
    // A record larger than the ring leaves the older commands in it.
    TSmall U(100);
    OneRecordCommand(U.H, U.P, "A", 1, Pattern(30, 1));
    OneRecordCommand(U.H, U.P, "B", 2, Pattern(40, 2));
    OneRecordCommand(U.H, U.P, "C", 3, Pattern(150, 3));
    EXPECT_EQ(Ring(U.H), "0..2@2 0..69");
    EXPECT_EQ(UndoAll(U.H), 3);
}

TEST(HistoryCommand, OlderCommandsKeepTheirBlocksWithinTheBudget)
{
    TSmall S(100);
    S.H.SetBlockBudget(250);
    OneRecordCommand(S.H, S.P, "small", 1, "s");
    OneRecordCommand(S.H, S.P, "A", 2, Pattern(150, 2));
    EXPECT_EQ(S.H.BlockBytes(), 150);
    // B's block brings the blocks past the budget: the oldest commands go
    // until they fit again.
    OneRecordCommand(S.H, S.P, "B", 3, Pattern(150, 3));
    EXPECT_EQ(S.H.BlockBytes(), 150);
    EXPECT_EQ(UndoAll(S.H), 1);
    S.H.Redo();
    // The newest command is kept whatever its size.
    OneRecordCommand(S.H, S.P, "C", 4, Pattern(400, 4));
    EXPECT_EQ(S.H.BlockBytes(), 400);
    S.P.Calls.clear();
    EXPECT_EQ(UndoAll(S.H), 1);
    EXPECT_EQ(S.P.Calls, (TCalls{{false, 4, Pattern(400, 4)}}));
}

TEST(HistoryCommand, RollingBackAfterEverythingWasUndoneKeepsTheRedoBlocks)
{
    TSmall S(100);
    OneRecordCommand(S.H, S.P, "A", 1, "a");
    S.H.CommandStart("B");
    S.P.Record(1, 2, Pattern(300, 2));
    S.H.CommandEnd();
    UndoAll(S.H);
    S.H.CommandStart("C");
    S.P.Record(0, 3, Pattern(200, 3));
    S.H.CommandRollback();
    S.P.Calls.clear();
    S.H.Redo();
    S.H.Redo();
    EXPECT_EQ(S.P.Calls, (TCalls{{true, 2, Pattern(300, 2)}}));
    EXPECT_EQ(S.H.BlockBytes(), 300);
}

TEST(HistoryCommand, NewCommandAfterUndoDropsRedoTailAndCancelStepsBack)
{
    THistoryCommand H;
    TProbe P(&H);
    OneRecordCommand(H, P, "A", 1, Pattern(10, 1)); // 0..9
    OneRecordCommand(H, P, "B", 2, Pattern(10, 2)); // 10..19
    OneRecordCommand(H, P, "C", 3, Pattern(10, 3)); // 20..29
    H.Undo();
    H.Undo();
    H.CommandStart("D");
    EXPECT_FALSE(H.CanRedo());
    P.Record(0, 4, Pattern(5, 4));
    EXPECT_EQ(Ring(H), "0..1@1 0..14"); // right after A's data
    H.CommandEnd();
    // A cancelled command leaves the one before it as it was.
    H.CommandStart("E");
    P.Record(0, 5, "e");
    H.CommandCancel();
    EXPECT_TRUE(!H.IsCommandOpen() && !H.CanRedo());
    EXPECT_EQ(H.UndoCaption(), "D");
    P.Calls.clear();
    EXPECT_EQ(UndoAll(H), 2);
    EXPECT_EQ(P.Calls, (TCalls{{false, 4, Pattern(5, 4)}, {false, 1, Pattern(10, 1)}}));
    // Everything undone: the next command starts a fresh history; cancelling
    // the only command empties it.
    H.CommandStart("F");
    P.Record(0, 6, "f");
    EXPECT_EQ(Ring(H), "0..0@0 0..0");
    H.CommandCancel();
    EXPECT_EQ(Ring(H), EmptyRing);
}

TEST(HistoryCommand, RollbackUndoesTheOpenCommandAndCancelsIt)
{
    THistoryCommand H;
    TValueObj A(&H), B(&H);
    H.CommandStart("A");
    A.SetValue(1);
    H.CommandEnd();
    // Newest first, undo records only, nothing recorded by the replay.
    H.CommandStart("B");
    A.SetValue(2);
    B.SetBytes("x");
    A.SetValue(3);
    H.CommandRollback();
    EXPECT_EQ(std::tuple(A.Value, B.Bytes), std::tuple(1, std::string()));
    EXPECT_EQ(std::tuple(H.IsCommandOpen(), H.UndoCaption(), H.CanRedo()), std::tuple(false, "A", false));
    // The buffer ends with A's records (0..7) again: B's are taken back and
    // the replay added none.
    EXPECT_EQ(Ring(H), "0..0@0 0..7");
    // A record that cannot be replayed: cancelled all the same, the error
    // goes on.
    H.CommandStart("C");
    B.SetBytes("y");
    B.FailUndo = true;
    EXPECT_THROW(H.CommandRollback(), std::runtime_error);
    EXPECT_EQ(std::tuple(H.IsCommandOpen(), H.UndoCaption(), H.LockCount(), H.IsUndoing(), B.Bytes),
              std::tuple(false, "A", 0, false, "y"));
    EXPECT_EQ(MessageOf<EUserError>([&] { H.CommandRollback(); }), "THistoryCommand.CommandCancel Error.");
}

TEST(HistoryCommand, NothingRecordedWhileLockedOrReplaying)
{
    THistoryCommand H;
    TValueObj V(&H);
    H.CommandStart("locked");
    H.LockAddHistory();
    V.SetValue(5);
    H.UnLockAddHistory();
    H.CommandEnd();
    V.SetValue(6); // no open command: nothing recorded either
    EXPECT_EQ(Ring(H), EmptyRing);
    H.CommandStart("set");
    V.SetValue(7);
    H.CommandEnd();
    // V's replay calls its recording setters; the history stays as it is.
    H.Undo();
    EXPECT_EQ(V.Value, 6);
    H.Redo();
    EXPECT_EQ(V.Value, 7);
    EXPECT_EQ(Ring(H), "0..0@0 0..7"); // two 4-byte records
}

TEST(HistoryCommand, EventsAndTheirOrder)
{
    THistoryCommand H;
    TProbe P(&H);
    std::vector<std::string> Log;
    H.OnChange = [&](THistoryCommand*) { Log.push_back("change"); };
    H.OnUndo = [&](THistoryCommand*) { Log.push_back("undo"); };
    H.OnRedo = [&](THistoryCommand*) { Log.push_back("redo"); };
    // A record made while the command is ending still belongs to it.
    H.OnCommandEnding = [&](THistoryCommand* Sender) {
        Log.push_back(Sender->IsCommandOpen() ? "ending" : "ending closed");
        P.Record(1, 9, "late");
    };
    H.CommandStart("A");
    H.CommandEnd();
    H.Undo();
    H.Redo();
    EXPECT_EQ(Log, (std::vector<std::string>{"ending", "change", "undo", "change", "redo", "change"}));
    EXPECT_EQ(P.Calls, (TCalls{{true, 9, "late"}}));
}

// A failed command leaves the history exactly as it was: the redo steps it
// would have dropped, the oldest step a full ring would have lost, and the
// record bytes it wrote over all come back.
TEST(HistoryCommand, RollbackPutsTheHistoryBackAsItWas)
{
    struct TCase {
        const char* Name;
        int32_t Commands;  // one-record commands before the failing one
        int32_t Undone;    // of them undone first
        int32_t RollSize;
    };
    const TCase Cases[] = {
        {"redo steps", 3, 2, THistoryCommand::DefaultRollSize},
        {"everything undone", 3, 3, THistoryCommand::DefaultRollSize},
        {"full ring", THistoryCommand::MenuCount, 0, THistoryCommand::DefaultRollSize},
        {"records written over", 6, 0, 40},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        THistoryCommand H;
        H.SetRollBufSize(C.RollSize);
        TProbe P(&H);
        TValueObj V(&H);
        for (int32_t I = 0; I < C.Commands; ++I)
            OneRecordCommand(H, P, "cmd" + std::to_string(I), I, Pattern(4, I));
        for (int32_t I = 0; I < C.Undone; ++I)
            H.Undo();
        const std::string Before = Ring(H);
        const std::string UndoCaption = H.UndoCaption(), RedoCaption = H.RedoCaption();
        P.Calls.clear();
        H.CommandStart("failed");
        V.SetBytes(std::string(12, 'z'));
        V.SetValue(9);
        H.CommandRollback();
        EXPECT_EQ(V.Value, 0);
        EXPECT_EQ(V.Bytes, "");
        EXPECT_EQ(Ring(H), Before);
        EXPECT_EQ(H.UndoCaption(), UndoCaption);
        EXPECT_EQ(H.RedoCaption(), RedoCaption);
        EXPECT_FALSE(H.IsCommandOpen());
        // Every step is still there and replays its own bytes (the
        // commands record undo bytes only).
        while (H.CanRedo())
            H.Redo();
        const int32_t Steps = UndoAll(H);
        EXPECT_EQ(Steps, std::min(C.Commands, C.RollSize / 4));
        ASSERT_EQ(static_cast<int32_t>(P.Calls.size()), Steps);
        for (int32_t I = 0; I < Steps; ++I) {
            const int32_t Code = C.Commands - 1 - I;
            EXPECT_EQ(P.Calls[size_t(I)], (TCall{false, Code, Pattern(4, Code)})) << I;
        }
    }
}

// A command that changed nothing is dropped without touching the history:
// the steps undone before it can still be redone.
TEST(HistoryCommand, ACommandWithoutChangeKeepsTheRedoSteps)
{
    for (const bool ByEnd : {true, false}) {
        SCOPED_TRACE(ByEnd ? "CommandEnd" : "CommandCancel");
        THistoryCommand H;
        TProbe P(&H);
        for (int32_t I = 0; I < 3; ++I)
            OneRecordCommand(H, P, "cmd" + std::to_string(I), I, Pattern(4, I));
        H.Undo();
        H.Undo();
        const std::string Before = Ring(H);
        H.CommandStart("nothing");
        ByEnd ? H.CommandEnd() : H.CommandCancel();
        EXPECT_EQ(Ring(H), Before);
        EXPECT_EQ(H.UndoCaption(), "cmd0");
        EXPECT_EQ(H.RedoCaption(), "cmd1");
        H.Redo();
        H.Redo();
        EXPECT_FALSE(H.CanRedo());
        EXPECT_EQ(UndoAll(H), 3);
    }
}

// Only a record that cannot be had in memory clears the history, and says
// so once. In a child process whose address space is capped just above
// what it holds, a record of 1 GiB (zero pages, reserved only) cannot be
// copied. Address-space caps and AddressSanitizer's shadow cannot meet.
#if !defined(__SANITIZE_ADDRESS__)
TEST(HistoryCommand, ARecordThatCannotBeHadClearsTheHistoryAndSaysSoOnce)
{
    constexpr size_t Huge = size_t{1} << 30;
    std::fflush(nullptr);
    const pid_t Child = ::fork();
    if (Child == 0) {
        std::vector<std::string> Boxes;
        SetMessageBoxHandler([&](void*, const std::string& Text, const std::string& Caption, uint32_t) {
            Boxes.push_back(Caption + ":" + Text);
            return IDOK;
        });
        THistoryCommand H;
        TProbe P(&H);
        OneRecordCommand(H, P, "older", 1, "abc");
        void* Zeros = ::mmap(nullptr, Huge, PROT_READ, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        long Pages = 0;
        std::ifstream("/proc/self/statm") >> Pages;
        rlimit Cap{};
        Cap.rlim_cur = Cap.rlim_max = rlim_t(Pages) * rlim_t(::sysconf(_SC_PAGESIZE)) + (rlim_t{64} << 20);
        if (Zeros == MAP_FAILED || ::setrlimit(RLIMIT_AS, &Cap) != 0)
            ::_exit(10);
        H.CommandStart("huge");
        P.AddHistory(0, 2, Zeros, int32_t(Huge));
        const bool Overflow = H.IsOverflow();
        H.CommandEnd();
        const bool Cleared = !H.CanUndo() && !H.CanRedo() && H.MenuStart() == -1 && H.LockCount() == 0;
        const bool ToldOnce =
            Boxes == std::vector<std::string>{std::string("警告:") + THistoryCommand::HistoryLostText};
        ::_exit(Overflow ? (Cleared ? (ToldOnce ? 0 : 3) : 2) : 1);
    }
    int Status = 0;
    ASSERT_EQ(::waitpid(Child, &Status, 0), Child);
    ASSERT_TRUE(WIFEXITED(Status));
    EXPECT_EQ(WEXITSTATUS(Status), 0);
}
#endif

namespace {

// The reachable refs, sorted, each once.
std::vector<int32_t> Reachable(const THistoryCommand& H)
{
    std::vector<int32_t> R = H.ReachableRefs();
    std::sort(R.begin(), R.end());
    R.erase(std::unique(R.begin(), R.end()), R.end());
    return R;
}

// A command with one record whose refs are Refs.
void RefCommand(THistoryCommand& H, TProbe& P, std::vector<int32_t> Refs)
{
    H.CommandStart("refs");
    H.AddCommandRefs(Refs);
    P.Record(0, 1, "x");
    H.CommandEnd();
}

} // namespace

// A command's refs stay reachable while undo or redo can reach the command:
// undone ones until a new command drops them, the oldest until the ring
// pushes it out, none once the history is cleared.
TEST(HistoryCommand, CommandRefsAreReachableWhileTheCommandIs)
{
    THistoryCommand H;
    TProbe P(&H);
    RefCommand(H, P, {5, 1});
    RefCommand(H, P, {2, 2});
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{1, 2, 5}));
    H.Undo();
    H.Undo();
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{1, 2, 5}));
    // Nothing without an open command, or while replaying.
    H.AddCommandRefs({9});
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{1, 2, 5}));
    H.Redo();
    // A new command drops the undone second one: while it is open, its
    // cancel would bring that one back.
    H.CommandStart("new");
    H.AddCommandRefs({7});
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{1, 2, 5, 7}));
    P.Record(0, 1, "y");
    H.CommandEnd();
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{1, 5, 7}));
    // An empty command is dropped with its refs.
    H.CommandStart("empty");
    H.AddCommandRefs({8});
    H.CommandEnd();
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{1, 5, 7}));
    // The ring full, the oldest command's refs go with it; while the
    // command that pushes it out is open they still count.
    for (int32_t I = 0; I < THistoryCommand::MenuCount - 2; ++I)
        RefCommand(H, P, {});
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{1, 5, 7}));
    H.CommandStart("201st");
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{1, 5, 7}));
    P.Record(0, 1, "z");
    H.CommandEnd();
    EXPECT_EQ(Reachable(H), (std::vector<int32_t>{7}));
    H.ClearHistory();
    EXPECT_EQ(Reachable(H), std::vector<int32_t>{});
}

// Refs go with commands the roll buffer overwrites, and a rolled-back
// command leaves those it displaced reachable again.
TEST(HistoryCommand, CommandRefsGoWithOverwrittenCommandsAndComeBackWithARollback)
{
    TSmall S(100);
    S.H.CommandStart("first");
    S.H.AddCommandRefs({1});
    S.P.Record(0, 1, std::string(30, 'a'));
    S.H.CommandEnd();
    const auto Big = [&] {
        S.H.CommandStart("big");
        S.H.AddCommandRefs({2});
        S.P.Record(0, 1, std::string(50, 'b'));
        S.P.Record(0, 1, std::string(30, 'c')); // wraps over the first command's bytes
    };
    Big();
    EXPECT_EQ(Reachable(S.H), (std::vector<int32_t>{1, 2})) << "a rollback would bring the first back";
    S.H.CommandRollback();
    EXPECT_EQ(Reachable(S.H), (std::vector<int32_t>{1}));
    EXPECT_EQ(S.H.UndoCaption(), "first");
    Big();
    S.H.CommandEnd();
    EXPECT_EQ(Reachable(S.H), (std::vector<int32_t>{2}));
    S.H.Undo();
    EXPECT_FALSE(S.H.CanUndo());
}
