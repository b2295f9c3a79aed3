// Pictures and the undo history: a picture stays in the document's store
// while any step of the history can bring back an item that uses it, and
// goes once nothing can; undo and redo give back the exact saved bytes of
// every state. The roads users reported, then seeded random sequences of the
// commands that touch pictures (TAVRO_PICTURE_HISTORY_SEEDS=n runs n seeds
// of each kind instead of a few).
#include "fuzz/picture_history_model.h"

#include "object_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

using namespace picture_history;

namespace {

struct PictureHistoryTest : ::testing::Test {
    TPrivateFolders Folders;
    TModelEnvironment Env;
    TModelDocument Doc;
    std::string Clip;

    void SetUp() override
    {
        // The clipboard of another document: one rectangle filled with a
        // 12 x 9 picture.
        TModelDocument Source;
        Source.AddPictureRect(Source.AddPicture(0, 12, 9), 4, 4, 30, 20);
        Source.Sel->AddItemSub(Source.Page->RootGroup().GetItem(0));
        Source.Sel->CopyToClipboard();
        Clip = Env.Clipboard.Data;
    }
    void Paste()
    {
        TMemoryStreamWex In;
        In.SetPointer(Clip.data(), static_cast<int64_t>(Clip.size()));
        Doc.Sel->PasteCommand(In, true, CaptionPaste);
    }
    THistoryCommand& H() { return Doc.History(); }
    // The fill editor: the picture Handle at the object's size as one command.
    void FillEdit(TDrawObject& Object, int32_t Handle)
    {
        const TRect B = Object.GetPath().Bounds;
        TMacros Macros;
        Macros.Assign(&Object.Macros());
        Macros.GetMacro(0)->SetParamValue(FillCaption,
                                          PictureFillValue(Handle, B.Right - B.Left, B.Bottom - B.Top));
        RunRolledBack(&H(), FillEditCaption, [&] { TDrawItem::SetFMacrosPaintParam(Object, Macros); });
    }
    TDrawObject& Item(int32_t I) { return dynamic_cast<TDrawObject&>(*Doc.Page->RootGroup().GetItem(I)); }
    int32_t BaseCount()
    {
        int32_t N = 0;
        const TListRecPict& S = Doc.Store();
        for (int32_t I = 0; I < S.Items().Count(); ++I)
            if (S.Items().GetKey(I) >= 0 && S.ItemAt(I) && S.ItemAt(I)->Condition->SourceHandle < 0)
                ++N;
        return N;
    }
};

TEST_F(PictureHistoryTest, PasteAndDuplicateUndoneAndRedoneKeepThePicture)
{
    const TBytes Empty = Doc.Saved();
    Paste();
    const TBytes Pasted = Doc.Saved();
    Doc.Sel->DuplicateCommand(CaptionDuplicate);
    const TBytes Duplicated = Doc.Saved();
    ASSERT_EQ(Doc.Page->RootGroup().GetCount(), 2);
    ASSERT_EQ(Doc.PictureFault(), "");
    for (int Round = 0; Round < 2; ++Round) {
        H().Undo();
        EXPECT_TRUE(Doc.Saved() == Pasted);
        H().Undo();
        EXPECT_TRUE(Doc.Saved() == Empty);
        H().Redo();
        EXPECT_TRUE(Doc.Saved() == Pasted);
        EXPECT_EQ(Doc.PictureFault(), "");
        H().Redo();
        EXPECT_TRUE(Doc.Saved() == Duplicated);
        EXPECT_EQ(Doc.PictureFault(), "");
    }
    EXPECT_EQ(Env.Boxes, std::vector<std::string>{});
}

TEST_F(PictureHistoryTest, PasteAndFillEditUndoneAndRedoneKeepThePicture)
{
    Paste();
    const TBytes Pasted = Doc.Saved();
    const std::vector<int32_t> Used = Doc.BaseHandles();
    ASSERT_EQ(Used.size(), 1u);
    FillEdit(Item(0), Used[0]);
    const TBytes Edited = Doc.Saved();
    ASSERT_TRUE(Edited != Pasted);
    H().Undo();
    H().Undo();
    H().Redo();
    EXPECT_TRUE(Doc.Saved() == Pasted);
    H().Redo();
    EXPECT_TRUE(Doc.Saved() == Edited);
    EXPECT_EQ(Doc.PictureFault(), "");
}

TEST_F(PictureHistoryTest, AFillEditAfterAPasteUndoneAndRedoneIsRedoneEveryTime)
{
    Paste();
    H().Undo();
    H().Redo();
    const TBytes Pasted = Doc.Saved();
    FillEdit(Item(0), Doc.BaseHandles().at(0));
    const TBytes Edited = Doc.Saved();
    for (int Round = 0; Round < 3; ++Round) {
        H().Undo();
        EXPECT_TRUE(Doc.Saved() == Pasted);
        // Redo once showed "TListRecPict.Undo: (GetItemByHandle(iHandle) <> nil)".
        EXPECT_NO_THROW(H().Redo()) << Round;
        EXPECT_TRUE(Doc.Saved() == Edited) << Round;
    }
    EXPECT_EQ(Doc.PictureFault(), "");
}

TEST_F(PictureHistoryTest, APictureLoadedInTheFillEditorComesBackWithItsEdit)
{
    Paste();
    const TBytes Pasted = Doc.Saved();
    int32_t Loaded;
    {
        THistoryLock Lock(&H());
        Loaded = Doc.AddPicture(4, 7, 5);
    }
    FillEdit(Item(0), Loaded);
    const TBytes Edited = Doc.Saved();
    H().Undo();
    EXPECT_TRUE(Doc.Saved() == Pasted);
    H().Redo();
    EXPECT_TRUE(Doc.Saved() == Edited);
    EXPECT_EQ(Doc.PictureFault(), "");
}

// The picture of a deleted item is kept while undo can bring the item back,
// but the document does not write it; once the history lets go of every
// step that could, the picture goes.
TEST_F(PictureHistoryTest, APictureGoesOnlyWhenNoStepCanBringItsItemBack)
{
    Paste();
    Doc.Sel->DeleteCommand(CaptionDelete);
    EXPECT_EQ(Doc.Page->RootGroup().GetCount(), 0);
    EXPECT_EQ(BaseCount(), 1);
    EXPECT_EQ(Doc.PictureFault(), "");
    TMemoryStream Written;
    Doc.Store().WriteToStream(Written, nullptr);
    EXPECT_EQ(StreamBytesOf(Written), (TBytes{0, 0, 0, 0}));
    // Undone all, the paste is still ahead: its picture stays.
    H().Undo();
    H().Undo();
    EXPECT_EQ(BaseCount(), 1);
    H().Redo();
    EXPECT_EQ(Doc.PictureFault(), "");
    H().Redo();
    // A new step drops nothing the history holds...
    Paste();
    EXPECT_EQ(BaseCount(), 1);
    // ...and a history emptied holds nothing: the picture now used stays.
    H().ClearHistory();
    Doc.Doc->CollectPictures();
    EXPECT_EQ(BaseCount(), 1);
    Doc.Sel->DeleteCommand(CaptionDelete);
    H().ClearHistory();
    Doc.Doc->CollectPictures();
    EXPECT_EQ(BaseCount(), 0);
}

TEST_F(PictureHistoryTest, APictureUndoneOutOfTheRedoStepsGoesWithThem)
{
    Paste();
    H().Undo();
    EXPECT_EQ(BaseCount(), 1);
    // A new step drops the steps ahead, and with them the only use of the
    // pasted picture.
    RunRolledBack(&H(), "ページサイズ", [&] { Doc.Page->SetPageSize(98, 72); });
    EXPECT_EQ(BaseCount(), 0);
}

// The ring keeps 200 steps: a paste pushed out of it can no longer be
// undone, and its picture goes with the item that the deletion removed.
TEST_F(PictureHistoryTest, APictureGoesWhenItsStepsLeaveTheRing)
{
    Paste();
    Doc.Sel->DeleteCommand(CaptionDelete);
    for (int32_t I = 0; I < THistoryCommand::MenuCount - 2; ++I)
        RunRolledBack(&H(), "ページサイズ", [&] { Doc.Page->SetPageSize(100 + I, 72); });
    EXPECT_EQ(BaseCount(), 1);
    RunRolledBack(&H(), "ページサイズ", [&] { Doc.Page->SetPageSize(99, 72); });
    // The deletion is the oldest step left: undo can still bring the item.
    EXPECT_EQ(BaseCount(), 1);
    RunRolledBack(&H(), "ページサイズ", [&] { Doc.Page->SetPageSize(98, 72); });
    EXPECT_EQ(BaseCount(), 0);
    while (H().CanUndo())
        H().Undo();
    EXPECT_EQ(Doc.Page->RootGroup().GetCount(), 0);
}

void RunSeeds(PictureHistoryTest& T, uint32_t First, int32_t Seeds, int32_t Steps, int32_t RollSize,
              int64_t Budget)
{
    for (int32_t S = 0; S < Seeds && !T.HasFailure(); ++S) {
        const uint32_t Seed = First + uint32_t(S);
        std::mt19937 Rng(Seed);
        TModelEnvironment& Env = T.Env;
        Env.Boxes.clear();
        TPictureHistoryModel Model(Env, [&](uint32_t N) { return uint32_t(Rng() % N); }, RollSize, Budget);
        std::string Fault;
        for (int32_t I = 0; I < Steps && Fault.empty(); ++I)
            Fault = Model.Step();
        if (Fault.empty())
            Fault = Model.Finish();
        EXPECT_EQ(Fault, "") << "seed " << Seed;
    }
}

int32_t SeedCount(int32_t Default)
{
    const char* Env = std::getenv("TAVRO_PICTURE_HISTORY_SEEDS");
    return Env ? std::max(1, std::atoi(Env)) : Default;
}

TEST_F(PictureHistoryTest, RandomPictureCommandsUndoAndRedoToTheSavedBytes)
{
    RunSeeds(*this, 100, SeedCount(6), 80, 0, 0);
}

// A small ring and block budget: old steps are dropped on the way.
TEST_F(PictureHistoryTest, RandomPictureCommandsWithAShortHistory)
{
    RunSeeds(*this, 500, SeedCount(4), 80, 2000, 1500);
}

} // namespace
