// Objects in the history: IDs, creation and deletion under undo, failures
// during replay, and a model-based run of random edits.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "tests/store/history_doubles.h"

namespace {

using TState = std::map<int32_t, std::pair<int32_t, std::string>>;

// What a failed replay must leave: "menu N lock L", plus flags still set.
std::string ReplayState(const THistoryCommand& H)
{
    return "menu " + std::to_string(H.MenuNo()) + " lock " + std::to_string(H.LockCount()) +
           (H.IsUndoing() ? " undoing" : "") + (H.IsRedoing() ? " redoing" : "");
}

} // namespace

TEST(HistoryObjects, RegistrationAndIDs)
{
    auto H = std::make_unique<THistoryCommand>();
    TProbe A(H.get()), B(H.get());
    EXPECT_EQ(A.ObjID(), 0);
    EXPECT_EQ(B.ObjID(), 1);
    {
        TProbe C(H.get());
        EXPECT_EQ(H->GetObj(2), &C);
    }
    // The entry of a destroyed object is nil; the list keeps its length.
    EXPECT_EQ(H->ObjListCount(), 3);
    for (int32_t ID : {2, 3, -1})
        EXPECT_EQ(H->GetObj(ID), nullptr) << ID;
    TProbe Again(H.get(), 2);
    EXPECT_TRUE(H->GetObj(2) == &Again && H->ObjListCount() == 3);
    // No history: no ID, nothing recorded.
    TProbe Loose(nullptr);
    EXPECT_EQ(Loose.ObjID(), -1);
    Loose.Record(0, 1, "x");
    // A history freed before its objects detaches them.
    H.reset();
    EXPECT_EQ(A.HistoryCommand(), nullptr);
    A.Record(0, 1, "ignored"); // must not reach the freed history
}

TEST(HistoryObjects, UndoOfCreationShortensTheListAndRedoReusesIDs)
{
    THistoryCommand H;
    TCreator C(&H);
    H.ResetObjCount();
    EXPECT_EQ(H.ObjCount(), 1);
    H.CommandStart("make");
    TValueObj* X = C.Make(5, "five");
    EXPECT_EQ(C.Make(6, "six")->ObjID(), 2);
    X->SetValue(50); // edited in the same command after its creation
    H.CommandEnd();
    EXPECT_EQ(X->ObjID(), 1);
    const TState Made = C.Snapshot();
    H.Undo();
    EXPECT_TRUE(C.Objects.empty() && H.ObjListCount() == 1);
    H.Redo();
    EXPECT_EQ(C.Snapshot(), Made);
    H.CommandStart("remove");
    C.Remove(1);
    H.CommandEnd();
    EXPECT_TRUE(H.GetObj(1) == nullptr && H.ObjListCount() == 3);
    H.Undo(); // re-created under ID 1
    EXPECT_EQ(C.Snapshot(), Made);
    H.Redo();
    H.CommandStart("make more");
    EXPECT_EQ(C.Make(7, "")->ObjID(), 3); // a later command's objects take the next IDs
    H.CommandEnd();
}

// An ID names the same object while undo and redo make it again; a new
// object that takes an ID an undone step gave back is another, and a
// command rolled back leaves the ID to the object its redo step makes.
TEST(HistoryObjects, GenerationsTellAnObjectMadeAgainFromAStrangerUnderItsID)
{
    THistoryCommand H;
    TCreator C(&H);
    H.ResetObjCount();
    H.CommandStart("make");
    const int32_t ID = C.Make(5, "five")->ObjID();
    H.CommandEnd();
    const uint32_t G = H.ObjGeneration(ID);
    EXPECT_NE(G, 0u);
    EXPECT_NE(G, H.ObjGeneration(C.ObjID()));
    for (int32_t Never : {ID + 1, -1})
        EXPECT_EQ(H.ObjGeneration(Never), 0u) << Never;
    H.CommandStart("remove");
    C.Remove(ID);
    H.CommandEnd();
    struct TStep {
        const char* Name;
        std::function<void()> Run;
        bool Alive;
    };
    const TStep Steps[] = {
        {"removal undone", [&] { H.Undo(); }, true},
        {"creation undone", [&] { H.Undo(); }, false},
        {"creation redone", [&] { H.Redo(); }, true},
        {"creation undone again", [&] { H.Undo(); }, false},
        {"a failed command's object rolled back",
         [&] {
             H.CommandStart("fails");
             EXPECT_EQ(C.Make(9, "")->ObjID(), ID);
             EXPECT_NE(H.ObjGeneration(ID), G);
             H.CommandRollback();
         },
         false},
        {"creation redone after the rollback", [&] { H.Redo(); }, true},
    };
    for (const TStep& S : Steps) {
        S.Run();
        EXPECT_EQ(H.ObjGeneration(ID), G) << S.Name;
        EXPECT_EQ(H.GetObj(ID) != nullptr, S.Alive) << S.Name;
    }
    H.Undo();
    H.CommandStart("make another");
    EXPECT_EQ(C.Make(7, "")->ObjID(), ID);
    H.CommandEnd();
    EXPECT_NE(H.ObjGeneration(ID), G);
    EXPECT_NE(H.ObjGeneration(ID), 0u);
}

TEST(HistoryObjects, UndoRefusesObjectsThatOutliveTheirCreation)
{
    THistoryCommand H;
    TProbe Owner(&H);
    H.CommandStart("make without undo");
    auto Made = std::make_unique<TProbe>(&H);
    Owner.Record(0, 1, "m"); // this undo record does not free Made
    H.CommandEnd();
    EXPECT_EQ(ErrorOf([&] { H.Undo(); }), "ThistoryCommand.Undo: FlstObjID[1] <> nil");
    EXPECT_EQ(ReplayState(H), "menu 0 lock 0");
    Made.reset();
    H.Undo();
    EXPECT_EQ(std::tuple(Owner.Calls.size(), H.ObjListCount(), H.MenuNo()), std::tuple(2u, 1, -1));
}

TEST(HistoryObjects, ExceptionInReplayLeavesHistoryUsable)
{
    THistoryCommand H;
    TValueObj A(&H), B(&H);
    H.CommandStart("set both");
    A.SetValue(1);
    B.SetValue(2);
    H.CommandEnd();
    // Records are undone last first: B fails before A is reached.
    B.FailUndo = true;
    H.LockAddHistory(); // an outer lock must survive the failure as it was
    EXPECT_THROW(H.Undo(), std::runtime_error);
    EXPECT_EQ(ReplayState(H), "menu 0 lock 1");
    H.UnLockAddHistory();
    EXPECT_EQ(A.Value, 1);
    // A fails after B was undone; the retry undoes both.
    B.FailUndo = false;
    A.FailUndo = true;
    EXPECT_THROW(H.Undo(), std::runtime_error);
    EXPECT_EQ(B.Value, 0);
    EXPECT_EQ(ReplayState(H), "menu 0 lock 0");
    A.FailUndo = false;
    H.Undo();
    EXPECT_EQ(A.Value, 0);
    A.FailRedo = true;
    EXPECT_THROW(H.Redo(), std::runtime_error);
    EXPECT_EQ(ReplayState(H), "menu -1 lock 0");
    A.FailRedo = false;
    H.Redo();
    EXPECT_EQ(A.Value * 10 + B.Value, 12);
}

TEST(HistoryObjects, MissingObjectDuringReplayIsReported)
{
    THistoryCommand H;
    TProbe Keep(&H);
    auto Gone = std::make_unique<TValueObj>(&H);
    H.CommandStart("set");
    Gone->SetValue(4);
    Keep.Record(0, 1, "k");
    H.CommandEnd();
    Gone.reset(); // freed without a record
    EXPECT_EQ(ErrorOf([&] { H.Undo(); }), "THistoryCommand.Undo: object 1 not found");
    EXPECT_EQ(ReplayState(H), "menu 0 lock 0");
    // An ID beyond the object list, on the redo side.
    H.CommandStart("unknown");
    H.AddComItem(999, 1, 1, "r", 1);
    Keep.Record(0, 2, "u");
    H.CommandEnd();
    H.Undo();
    EXPECT_EQ(ErrorOf([&] { H.Redo(); }), "THistoryCommand.Redo: object 999 not found");
    EXPECT_EQ(ReplayState(H), "menu 0 lock 0");
    // The history still takes new commands.
    H.CommandStart("after");
    Keep.Record(0, 3, "a");
    H.CommandEnd();
    EXPECT_EQ(H.UndoCaption(), "after");
}

namespace {

// Random edits against snapshots: every undo must give back the state
// before its command, every redo the state after it.
void RunModel(uint32_t Seed, int32_t RollSize, int32_t MaxBytes, int32_t Steps)
{
    SCOPED_TRACE("seed " + std::to_string(Seed));
    std::mt19937 Rng(Seed);
    auto Rand = [&](int32_t N) { return static_cast<int32_t>(Rng() % static_cast<uint32_t>(N)); };
    THistoryCommand H;
    if (RollSize != THistoryCommand::DefaultRollSize)
        H.SetRollBufSize(RollSize);
    TCreator C(&H);
    std::vector<TState> Snaps{C.Snapshot()};
    size_t Pos = 0;
    int32_t Commands = 0, Undos = 0, Redos = 0;
    for (int32_t Step = 0; Step < Steps; ++Step) {
        const int32_t R = Rand(20);
        // Sometimes undo or redo a long way at once.
        if (R < 4 && H.CanUndo()) {
            for (int32_t I = 0, N = R == 0 ? 1 + Rand(30) : 1; I < N && H.CanUndo(); ++I, ++Undos) {
                ASSERT_GT(Pos, 0u);
                H.Undo();
                ASSERT_EQ(C.Snapshot(), Snaps[--Pos]) << "after undo, step " << Step;
            }
        } else if (R < 8 && H.CanRedo()) {
            for (int32_t I = 0, N = R == 4 ? 1 + Rand(30) : 1; I < N && H.CanRedo(); ++I, ++Redos) {
                H.Redo();
                ASSERT_LT(++Pos, Snaps.size());
                ASSERT_EQ(C.Snapshot(), Snaps[Pos]) << "after redo, step " << Step;
            }
        } else {
            H.CommandStart("edit " + std::to_string(Step));
            for (int32_t E = 0, Edits = 1 + Rand(3); E < Edits; ++E) {
                const int32_t Kind = Rand(10);
                if (C.Objects.empty() || Kind < 2) {
                    C.Make(static_cast<int32_t>(Rng()), Pattern(Rand(MaxBytes + 1), Rand(256)));
                    continue;
                }
                auto It = std::next(C.Objects.begin(), Rand(static_cast<int32_t>(C.Objects.size())));
                if (Kind < 3 && C.Objects.size() > 1)
                    C.Remove(It->first);
                else if (Kind < 6)
                    It->second->SetValue(static_cast<int32_t>(Rng()));
                else
                    It->second->SetBytes(Pattern(Rand(MaxBytes + 1), Rand(256)));
            }
            H.CommandEnd();
            ASSERT_GE(H.MenuStart(), 0) << "unexpected overflow";
            Snaps.resize(++Pos);
            Snaps.push_back(C.Snapshot());
            ++Commands;
        }
        ASSERT_EQ(H.CanRedo(), Pos + 1 < Snaps.size());
        ASSERT_EQ(H.LockCount(), 0);
    }
    // The run must have exercised both directions.
    EXPECT_GT(Commands, Steps / 3);
    EXPECT_GT(Undos, Steps / 10);
    EXPECT_GT(Redos, Steps / 20);
}

} // namespace

TEST(HistoryObjects, RandomEditsUndoAndRedoExactly)
{
    // In a small ring commands stay below the buffer size, so old commands
    // are dropped and records wrap, but nothing overflows; in the default
    // buffer the run goes past the 200 command slots.
    for (uint32_t Seed = 1; Seed <= 2; ++Seed)
        RunModel(Seed, 4000, 300, 1500);
    RunModel(77, THistoryCommand::DefaultRollSize, 200, 1500);
}
