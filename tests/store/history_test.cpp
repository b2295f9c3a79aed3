// Ring of commands, roll buffer and messages of THistoryCommand.
#include <gtest/gtest.h>

#include "foundation/lists.h"
#include "tests/store/history_doubles.h"

namespace {

using TCall = TProbe::TCall;

// One command holding one undo record.
void OneRecordCommand(THistoryCommand& H, TProbe& P, const std::string& Caption, int32_t Code,
                      const std::string& Bytes)
{
    H.CommandStart(Caption);
    P.Record(0, Code, Bytes);
    H.CommandEnd();
}

} // namespace

TEST(HistoryCommand, RingKeepsTheLast200Commands)
{
    THistoryCommand H;
    TProbe P(&H);
    for (int32_t I = 0; I < 200; ++I)
        OneRecordCommand(H, P, "cmd" + std::to_string(I), I, Pattern(4, I));
    EXPECT_EQ(H.MenuStart(), 0);
    EXPECT_EQ(H.MenuEnd(), 199);
    EXPECT_EQ(H.RollStart(), 0);
    // The 201st command takes slot 0 again and drops command 0.
    H.CommandStart("cmd200");
    EXPECT_EQ(H.RollStart(), 4);
    P.Record(0, 200, Pattern(4, 200));
    H.CommandEnd();
    EXPECT_EQ(H.MenuEnd(), 0);
    EXPECT_EQ(H.MenuStart(), 1);
    EXPECT_EQ(H.MenuNo(), 0);
    // Command 1's data (offset 4) is now the oldest held.
    EXPECT_EQ(H.RollStart(), 4);
    EXPECT_EQ(H.RollEnd(), 201 * 4 - 1);

    int32_t Undos = 0;
    while (H.CanUndo()) {
        EXPECT_EQ(H.UndoCaption(), "cmd" + std::to_string(200 - Undos));
        H.Undo();
        ++Undos;
        ASSERT_LE(Undos, 201);
    }
    EXPECT_EQ(Undos, 200);
    EXPECT_EQ(H.MenuNo(), -1);
    EXPECT_EQ(H.UndoCaption(), "");
    ASSERT_EQ(P.Calls.size(), 200u);
    EXPECT_EQ(P.Calls.front(), (TCall{false, 200, Pattern(4, 200)}));
    EXPECT_EQ(P.Calls.back(), (TCall{false, 1, Pattern(4, 1)}));
    EXPECT_TRUE(H.CanRedo());
    EXPECT_EQ(H.RedoCaption(), "cmd1");
    H.Redo();
    EXPECT_EQ(H.MenuNo(), 1);
    EXPECT_EQ(H.UndoCaption(), "cmd1");
    EXPECT_EQ(H.RedoCaption(), "cmd2");
}

TEST(HistoryCommand, EmptyCommandDisappears)
{
    THistoryCommand H;
    TProbe P(&H);
    int32_t Changes = 0;
    H.OnChange = [&](THistoryCommand* Sender) {
        EXPECT_EQ(Sender, &H);
        ++Changes;
    };

    // Alone in the history: the history is empty again.
    H.CommandStart("nothing");
    EXPECT_TRUE(H.IsCommandOpen());
    H.CommandEnd();
    EXPECT_FALSE(H.IsCommandOpen());
    EXPECT_EQ(H.MenuStart(), -1);
    EXPECT_FALSE(H.CanUndo());
    EXPECT_EQ(Changes, 1);

    OneRecordCommand(H, P, "A", 1, "a");
    OneRecordCommand(H, P, "B", 2, "b");
    H.CommandStart("empty");
    EXPECT_EQ(H.UndoCaption(), "empty");
    H.CommandEnd();
    EXPECT_EQ(H.UndoCaption(), "B");
    EXPECT_EQ(H.MenuEnd(), 1);
    EXPECT_EQ(H.MenuNo(), 1);
    EXPECT_FALSE(H.CanRedo());
    H.Undo();
    EXPECT_EQ(P.Calls, (std::vector<TCall>{{false, 2, "b"}}));
}

TEST(HistoryCommand, Messages)
{
    THistoryCommand H;
    TProbe P(&H);
    EXPECT_EQ(ErrorOf([&] { H.CommandCancel(); }), "THistoryCommand.CommandCancel Error.");
    // Closing with nothing open on an empty history goes the cancel way.
    EXPECT_EQ(ErrorOf([&] { H.CommandEnd(); }), "THistoryCommand.CommandCancel Error.");
    EXPECT_EQ(ErrorOf([&] { H.UnLockAddHistory(); }), "UnLockAddHistory: (FiLockCount = 0)");
    H.LockAddHistory();
    H.LockAddHistory();
    EXPECT_EQ(H.LockCount(), 2);
    H.UnLockAddHistory();
    H.UnLockAddHistory();
    EXPECT_FALSE(H.IsLockAddHistory());
    EXPECT_EQ(ErrorOf([&] { H.UnLockAddHistory(); }), "UnLockAddHistory: (FiLockCount = 0)");

    H.CommandStart("A");
    EXPECT_EQ(ErrorOf([&] { H.CommandStart("B"); }), "THistoryCommand.CommandStart: Reenter");
    EXPECT_TRUE(H.IsCommandOpen());
    EXPECT_EQ(H.UndoCaption(), "A");
    P.Record(0, 1, "x");
    H.CommandEnd();

    // The buffer holds data: its size is fixed now.
    EXPECT_EQ(ErrorOf([&] { H.SetRollBufSize(1000); }), "THistoryCommand.SetRollBufSize: Failed");
    EXPECT_EQ(H.RollSize(), 512000);

    // Undo of the open command, then more records: the redo tail would be
    // written over.
    H.CommandStart("B");
    P.Record(0, 2, "y");
    H.Undo();
    EXPECT_EQ(ErrorOf([&] { P.Record(0, 3, "z"); }),
              "THistoryCommand.SetDataToRollBuf: (FiMenuNo <> FiMenuEnd).");
    H.CommandCancel();

    EXPECT_EQ(ErrorOf([&] { H.AddObj(&P, P.ObjID()); }),
              "THistoryCommand.AddObj:(FlstObjID[FlwID] <> nil)");
    EXPECT_EQ(ErrorOf([&] { H.AddObj(&P, 5); }), "リストのインデックスが範囲を超えています (5)");
}

TEST(HistoryCommand, SetRollBufSizeBeforeData)
{
    THistoryCommand H;
    H.SetRollBufSize(64);
    EXPECT_EQ(H.RollSize(), 64);
    EXPECT_EQ(ErrorOf([&] { H.SetRollBufSize(-1); }), "THistoryCommand.SetRollBufSize: Failed");
    EXPECT_EQ(H.RollSize(), 64);
}

TEST(HistoryCommand, AddComItemRefusesBadRecords)
{
    THistoryCommand H;
    TProbe P(&H);
    H.CommandStart("A");
    EXPECT_EQ(ErrorOf([&] { H.AddComItem(P.ObjID(), 0, 1, "abc", -1); }),
              "THistoryCommand.AddComItem: (Size < 0)");
    EXPECT_EQ(ErrorOf([&] { H.AddComItem(P.ObjID(), 0, 1, nullptr, 3); }),
              "THistoryCommand.AddComItem: (Data = nil)");
    EXPECT_EQ(H.RollEnd(), -1);
    // No bytes at all is a valid record.
    H.AddComItem(P.ObjID(), 0, 7, nullptr, 0);
    H.CommandEnd();
    ASSERT_TRUE(H.CanUndo());
    H.Undo();
    EXPECT_EQ(P.Calls, (std::vector<TCall>{{false, 7, ""}}));
}

TEST(HistoryCommand, RecordOfRollSizeOverflows)
{
    THistoryCommand H;
    TProbe P(&H);
    OneRecordCommand(H, P, "kept before", 1, "abc");

    H.CommandStart("huge");
    P.Record(0, 2, "def");
    P.Record(0, 3, std::string(512000, 'x'));
    EXPECT_TRUE(H.IsOverflow());
    EXPECT_EQ(H.LockCount(), 1);
    const int32_t EndAfterOverflow = H.RollEnd();
    P.Record(0, 4, "ghi");  // the rest of the command records nothing
    EXPECT_EQ(H.RollEnd(), EndAfterOverflow);
    H.CommandEnd();
    EXPECT_FALSE(H.IsOverflow());
    EXPECT_EQ(H.LockCount(), 0);
    EXPECT_FALSE(H.IsCommandOpen());
    EXPECT_EQ(H.MenuStart(), -1);
    EXPECT_EQ(H.RollStart(), -1);
    EXPECT_FALSE(H.CanUndo());
    EXPECT_FALSE(H.CanRedo());

    // One byte less fits in an empty buffer.
    H.CommandStart("fits");
    P.Record(0, 5, Pattern(511999, 3));
    H.CommandEnd();
    EXPECT_FALSE(H.IsOverflow());
    EXPECT_EQ(H.RollStart(), 0);
    EXPECT_EQ(H.RollEnd(), 511998);
    P.Calls.clear();
    H.Undo();
    ASSERT_EQ(P.Calls.size(), 1u);
    EXPECT_EQ(P.Calls[0].Bytes, Pattern(511999, 3));

    // CommandCancel releases the overflow lock the same way.
    H.CommandStart("huge again");
    P.Record(1, 6, std::string(600000, 'y'));
    EXPECT_EQ(H.LockCount(), 1);
    H.CommandCancel();
    EXPECT_EQ(H.LockCount(), 0);
    EXPECT_EQ(H.MenuStart(), -1);
}

TEST(HistoryCommand, RecordEndingAtBufferEnd)
{
    THistoryCommand H;
    H.SetRollBufSize(100);
    TProbe P(&H);
    OneRecordCommand(H, P, "A", 1, Pattern(60, 1));  // 0..59
    EXPECT_EQ(H.RollEnd(), 59);
    OneRecordCommand(H, P, "B", 2, Pattern(40, 2));  // 60..99
    EXPECT_EQ(H.RollEnd(), -1);
    EXPECT_EQ(H.RollStart(), 0);
    OneRecordCommand(H, P, "C", 3, Pattern(10, 3));  // 0..9, over A's data
    EXPECT_EQ(H.RollEnd(), 9);
    EXPECT_EQ(H.RollStart(), 60);

    H.Undo();
    H.Undo();
    EXPECT_EQ(P.Calls, (std::vector<TCall>{{false, 3, Pattern(10, 3)}, {false, 2, Pattern(40, 2)}}));
    // A lost its data.
    EXPECT_FALSE(H.CanUndo());
    EXPECT_EQ(H.MenuNo(), 0);
    EXPECT_EQ(H.UndoCaption(), "");
    EXPECT_TRUE(H.CanRedo());
}

TEST(HistoryCommand, WrappedRecordReplaysItsBytes)
{
    THistoryCommand H;
    H.SetRollBufSize(100);
    TProbe P(&H);
    H.CommandStart("A");
    P.Record(1, 1, Pattern(70, 1));  // 0..69
    H.CommandEnd();
    H.CommandStart("B");
    P.Record(0, 2, Pattern(50, 2));  // 70..99 and 0..19
    EXPECT_EQ(H.RollEnd(), 19);
    P.Record(1, 2, Pattern(30, 3));  // 20..49
    EXPECT_EQ(H.RollEnd(), 49);
    EXPECT_EQ(H.RollStart(), 70);
    H.CommandEnd();

    H.Undo();
    EXPECT_FALSE(H.CanUndo());  // A was overwritten
    H.Redo();
    EXPECT_EQ(P.Calls, (std::vector<TCall>{{false, 2, Pattern(50, 2)}, {true, 2, Pattern(30, 3)}}));
}

TEST(HistoryCommand, OverwrittenCommandsLoseTheirUsedFlag)
{
    THistoryCommand H;
    H.SetRollBufSize(100);
    TProbe P(&H);
    OneRecordCommand(H, P, "A", 1, Pattern(30, 1));  // 0..29
    OneRecordCommand(H, P, "B", 2, Pattern(30, 2));  // 30..59
    OneRecordCommand(H, P, "C", 3, Pattern(30, 3));  // 60..89
    EXPECT_EQ(H.RollStart(), 0);
    OneRecordCommand(H, P, "D", 4, Pattern(30, 4));  // 90..99, 0..19: A lost
    EXPECT_EQ(H.RollStart(), 30);
    EXPECT_EQ(H.RollEnd(), 19);

    int32_t Undos = 0;
    while (H.CanUndo()) {
        H.Undo();
        ++Undos;
    }
    EXPECT_EQ(Undos, 3);
    EXPECT_EQ(H.MenuNo(), 0);
    EXPECT_EQ(P.Calls.back(), (TCall{false, 2, Pattern(30, 2)}));
    // Redo still runs through all three.
    H.Redo();
    H.Redo();
    H.Redo();
    EXPECT_FALSE(H.CanRedo());
    EXPECT_EQ(H.MenuNo(), H.MenuEnd());
    EXPECT_EQ(H.UndoCaption(), "D");
}

TEST(HistoryCommand, NewCommandAfterUndoDropsRedoTail)
{
    THistoryCommand H;
    TProbe P(&H);
    OneRecordCommand(H, P, "A", 1, Pattern(10, 1));  // 0..9
    OneRecordCommand(H, P, "B", 2, Pattern(10, 2));  // 10..19
    OneRecordCommand(H, P, "C", 3, Pattern(10, 3));  // 20..29
    H.Undo();
    H.Undo();
    EXPECT_EQ(H.RedoCaption(), "B");
    H.CommandStart("D");
    EXPECT_FALSE(H.CanRedo());
    EXPECT_EQ(H.MenuEnd(), 1);
    P.Record(0, 4, Pattern(5, 4));
    EXPECT_EQ(H.RollEnd(), 14);  // right after A's data
    H.CommandEnd();
    EXPECT_EQ(H.UndoCaption(), "D");
    P.Calls.clear();
    H.Undo();
    H.Undo();
    EXPECT_FALSE(H.CanUndo());
    EXPECT_EQ(P.Calls, (std::vector<TCall>{{false, 4, Pattern(5, 4)}, {false, 1, Pattern(10, 1)}}));

    // Everything undone: the next command starts a fresh history.
    H.CommandStart("E");
    EXPECT_EQ(H.MenuStart(), 0);
    EXPECT_EQ(H.MenuEnd(), 0);
    EXPECT_EQ(H.RollStart(), -1);
    P.Record(0, 5, "e");
    EXPECT_EQ(H.RollEnd(), 0);
    H.CommandEnd();
    EXPECT_FALSE(H.CanRedo());
}

TEST(HistoryCommand, CommandCancelStepsBack)
{
    THistoryCommand H;
    TProbe P(&H);
    OneRecordCommand(H, P, "A", 1, "a");
    H.CommandStart("B");
    P.Record(0, 2, "b");
    H.CommandCancel();
    EXPECT_FALSE(H.IsCommandOpen());
    EXPECT_EQ(H.MenuEnd(), 0);
    EXPECT_EQ(H.UndoCaption(), "A");
    EXPECT_FALSE(H.CanRedo());
    H.Undo();
    EXPECT_EQ(P.Calls, (std::vector<TCall>{{false, 1, "a"}}));

    // Cancelling the only command empties the history.
    H.Redo();
    H.Undo();
    H.CommandStart("C");
    P.Record(0, 3, "c");
    H.CommandCancel();
    EXPECT_EQ(H.MenuStart(), -1);
}

TEST(HistoryCommand, NothingRecordedWhileLockedOrReplaying)
{
    THistoryCommand H;
    TValueObj V(&H);
    H.CommandStart("locked");
    H.LockAddHistory();
    EXPECT_TRUE(H.IsLockAddHistory());
    V.SetValue(5);
    H.UnLockAddHistory();
    H.CommandEnd();
    EXPECT_EQ(H.MenuStart(), -1);  // nothing recorded: the command vanished
    EXPECT_EQ(H.RollEnd(), -1);

    // Without an open command nothing is recorded either.
    V.SetValue(6);
    EXPECT_EQ(H.RollEnd(), -1);

    H.CommandStart("set");
    V.SetValue(7);
    H.CommandEnd();
    const int32_t End = H.RollEnd();
    EXPECT_EQ(End, 7);  // two 4-byte records
    // V's replay calls its recording setters; the history stays as it is.
    H.Undo();
    EXPECT_EQ(V.Value, 6);
    EXPECT_EQ(H.RollEnd(), End);
    H.Redo();
    EXPECT_EQ(V.Value, 7);
    EXPECT_EQ(H.RollEnd(), End);
    EXPECT_FALSE(H.CanRedo());
    H.Undo();
    EXPECT_EQ(V.Value, 6);
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
        Log.push_back("ending");
        EXPECT_TRUE(Sender->IsCommandOpen());
        P.Record(1, 9, "late");
    };
    H.CommandStart("A");
    H.CommandEnd();
    EXPECT_EQ(Log, (std::vector<std::string>{"ending", "change"}));
    EXPECT_TRUE(H.CanUndo());
    Log.clear();
    H.Undo();
    H.Redo();
    EXPECT_EQ(Log, (std::vector<std::string>{"undo", "change", "redo", "change"}));
    EXPECT_EQ(P.Calls, (std::vector<TCall>{{true, 9, "late"}}));
}

TEST(HistoryCommand, CommandLargerThanTheBufferOverflows)
{
    // Alone in the history: the second record would run over the first.
    {
        THistoryCommand H;
        H.SetRollBufSize(100);
        TProbe P(&H);
        H.CommandStart("A");
        P.Record(0, 1, Pattern(60, 1));  // 0..59
        P.Record(0, 2, Pattern(50, 2));  // would end at 9, over offset 0
        EXPECT_TRUE(H.IsOverflow());
        EXPECT_EQ(H.LockCount(), 1);
        EXPECT_EQ(H.RollEnd(), 59);
        H.CommandEnd();
        EXPECT_EQ(H.MenuStart(), -1);
        EXPECT_EQ(H.LockCount(), 0);
        EXPECT_FALSE(H.CanUndo());
    }
    // An older command dropped first; then the open command is the only one
    // holding data and must still protect its own first record.
    {
        THistoryCommand H;
        H.SetRollBufSize(100);
        TProbe P(&H);
        OneRecordCommand(H, P, "A", 1, Pattern(30, 1));  // 0..29
        H.CommandStart("B");
        P.Record(0, 2, Pattern(40, 2));  // 30..69
        P.Record(0, 3, Pattern(50, 3));  // 70..99, 0..19: drops A
        EXPECT_FALSE(H.IsOverflow());
        EXPECT_EQ(H.RollStart(), 30);
        EXPECT_EQ(H.RollEnd(), 19);
        P.Record(0, 4, Pattern(20, 4));  // would end at 39, over offset 30
        EXPECT_TRUE(H.IsOverflow());
        EXPECT_EQ(H.RollEnd(), 19);
        H.CommandEnd();
        EXPECT_EQ(H.MenuStart(), -1);
        EXPECT_EQ(H.LockCount(), 0);
        EXPECT_TRUE(P.Calls.empty());
    }
    // Exactly filling the buffer is still fine.
    {
        THistoryCommand H;
        H.SetRollBufSize(100);
        TProbe P(&H);
        H.CommandStart("A");
        P.Record(0, 1, Pattern(60, 1));
        P.Record(0, 2, Pattern(40, 2));
        H.CommandEnd();
        EXPECT_EQ(H.RollEnd(), -1);
        H.Undo();
        EXPECT_EQ(P.Calls, (std::vector<TCall>{{false, 2, Pattern(40, 2)}, {false, 1, Pattern(60, 1)}}));
    }
}

TEST(HistoryCommand, SurvivalBoundaries)
{
    auto UndoCount = [](THistoryCommand& H) {
        int32_t N = 0;
        while (H.CanUndo()) {
            H.Undo();
            ++N;
        }
        return N;
    };
    auto Fill = [](THistoryCommand& H, TProbe& P) {
        H.SetRollBufSize(100);
        OneRecordCommand(H, P, "A", 1, Pattern(20, 1));  // 0..19
        OneRecordCommand(H, P, "B", 2, Pattern(30, 2));  // 20..49
        OneRecordCommand(H, P, "C", 3, Pattern(40, 3));  // 50..89
    };
    {
        // Wrapping write ending just before B's first byte keeps B.
        THistoryCommand H;
        TProbe P(&H);
        Fill(H, P);
        OneRecordCommand(H, P, "D", 4, Pattern(30, 4));  // 90..99, 0..19
        EXPECT_EQ(H.RollStart(), 20);
        // The next byte (offset 20) is B's first: one more byte drops B.
        OneRecordCommand(H, P, "E", 5, Pattern(1, 5));
        EXPECT_EQ(H.RollStart(), 50);
        EXPECT_EQ(UndoCount(H), 3);  // E, D, C
    }
    {
        // Ending exactly on B's first byte drops it.
        THistoryCommand H;
        TProbe P(&H);
        Fill(H, P);
        OneRecordCommand(H, P, "D", 4, Pattern(31, 4));  // 90..99, 0..20
        EXPECT_EQ(H.RollStart(), 50);
        EXPECT_EQ(UndoCount(H), 2);  // D, C
    }
}
