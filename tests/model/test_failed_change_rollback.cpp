// A change that fails after it changed the object: the command rolls back to
// the document's exact bytes and records nothing, even where the state the
// change left cannot be drawn (the rollback must not need to draw it).
#include "object_test_support.h"

#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/document.h"
#include "model/page.h"
#include "model/page_views.h"
#include "model/param_shapes.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/test_support.h"
#include "store/history.h"
#include "store/history_bracket.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct FailedChangeRollback : ::testing::Test {
    TPrivateFolders Folders;
    TRealObjectTypes Types;
    TInstalledDefaults Defaults;
    TCatalogueLibraries Catalogue;
    TOLEDocumentWex Doc{nullptr, nullptr};
    TSilentFormDoc View;
    TPage* Page = nullptr;
    TRectObj* Rect = nullptr;

    void SetUp() override
    {
        Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(200, 150);
        Page->AddForm(&View);
        auto R = std::make_unique<TRectObj>(Page, -1);
        R->SetFrame(40, 30, 120, 90);
        auto M = std::make_unique<TMacro>();
        ASSERT_TRUE(M->LoadFromLibrary("塗り(ボカシ)"));
        R->Macros().Clear();
        R->Macros().Add(std::move(M));
        R->SetFillPath(1);
        Rect = static_cast<TRectObj*>(Page->RootGroup().AddChild(std::move(R), -1));
        Rendered();
        Doc.History()->ClearHistory();
        Doc.SetModified(false);
    }
    void TearDown() override { Page->RemoveForm(&View); }
    std::vector<uint8_t> Saved()
    {
        TMemoryStream S;
        Doc.SaveToStream(S);
        const auto* P = static_cast<const uint8_t*>(S.Memory());
        return {P, P + S.Size()};
    }
    std::vector<uint8_t> Rendered()
    {
        Page->InvalidateRect(nullptr, false);
        Page->Update();
        const TrecPicture& Pic = Page->PagePicture();
        const auto* H = RecPictureHeader(Pic);
        const int64_t Stride = (int64_t(H->biWidth) * 3 + 3) & ~int64_t(3);
        return {Pic.pBits, Pic.pBits + Stride * H->biHeight};
    }
    // The object's fill macros with the blur set to Blur, as a stream.
    void MacrosWithBlur(const std::string& Blur, TMemoryStream& Out)
    {
        TMacros Macros;
        Macros.Assign(&Rect->Macros());
        Macros.GetMacro(0)->SetParamValue("ボカシ量", Blur);
        Macros.WriteToStream(Out);
        Out.SetPosition(0);
    }
    // A failed change left the document as Before, drawn as Picture, and
    // the history as it was: nothing recorded, no command or lock open.
    void ExpectUnchanged(const std::vector<uint8_t>& Before, const std::vector<uint8_t>& Picture)
    {
        THistoryCommand& H = *Doc.History();
        EXPECT_FALSE(Doc.Modified());
        EXPECT_EQ(Saved(), Before);
        EXPECT_FALSE(H.CanUndo());
        EXPECT_FALSE(H.IsCommandOpen());
        EXPECT_EQ(H.LockCount(), 0);
        EXPECT_EQ(Rendered(), Picture);
    }
};

TEST_F(FailedChangeRollback, FillMacrosThatCannotBeDrawnAreRolledBack)
{
    const std::vector<uint8_t> Before = Saved();
    const std::vector<uint8_t> Picture = Rendered();
    THistoryCommand& H = *Doc.History();
    struct TCase {
        const char* Name;
        std::function<void()> Run;
    };
    TMemoryStream Huge;
    MacrosWithBlur("2000000000", Huge);
    const TCase Cases[] = {
        {"paste of a paint style", [&] { RunJoined(&H, "描画スタイルの貼り付け", [&] {
             TDrawItem::SetFMacros(*Rect, Huge);
         }); }},
        {"paste of a paint style after an edit in the same command", [&] {
             TMemoryStream Small;
             MacrosWithBlur("5", Small);
             RunRolledBack(&H, "描画スタイルの貼り付け", [&] {
                 TDrawItem::SetFMacros(*Rect, Small);
                 Huge.SetPosition(0);
                 TDrawItem::SetFMacros(*Rect, Huge);
             });
         }},
    };
    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        Huge.SetPosition(0);
        EXPECT_THROW(C.Run(), Exception);
        ExpectUnchanged(Before, Picture);
    }
    // The object still takes a change that can be drawn, and undoes it.
    TMemoryStream Small;
    MacrosWithBlur("5", Small);
    RunRolledBack(&H, "描画スタイルの貼り付け", [&] { TDrawItem::SetFMacros(*Rect, Small); });
    EXPECT_NE(Saved(), Before);
    H.Undo();
    EXPECT_EQ(Saved(), Before);
    EXPECT_EQ(Rendered(), Picture);
}

// A parameter set to a value its macro refuses (a number only begun, one
// below what the paint functions read) or one that cannot be drawn changes
// nothing and records nothing, live or as a command; the object stays
// drawable and takes the next value.
TEST_F(FailedChangeRollback, AParameterValueRefusedOrNotDrawableChangesNothing)
{
    // A rectangle that cannot be measured while its blur is 7.
    auto F = std::make_unique<TUnmeasurableAt<TRectObj>>(Page, "ボカシ量", "7");
    F->SetFrame(10, 100, 60, 140);
    F->Macros().Clear();
    F->Macros().Add(TTestMacroLibrary::Get("塗り(ボカシ)"));
    F->SetFillPath(1);
    auto* Fragile = static_cast<TDrawObject*>(Page->RootGroup().AddChild(std::move(F), -1));
    Rendered();
    THistoryCommand& H = *Doc.History();
    H.ClearHistory();
    Doc.SetModified(false);
    const std::vector<uint8_t> Before = Saved();
    const std::vector<uint8_t> Picture = Rendered();
    const std::string Refused = "図形の広がり の値は読み込めないか、範囲外のため、設定できません。";
    struct TCase {
        TDrawObject* Object;
        const char* Caption;
        const char* Value;
        std::string Message;
    } const Cases[] = {
        {Rect, "図形の広がり", "-", Refused},
        {Rect, "図形の広がり", "1e", Refused},
        {Rect, "図形の広がり", "-1000", Refused},
        {Rect, "図形の広がり", "1001", Refused},
        {Fragile, "ボカシ量", "7", UnmeasurableMessage},
    };
    for (const TCase& C : Cases) {
        for (const bool Live : {true, false}) {
            SCOPED_TRACE(std::string(C.Value) + (Live ? " live" : " command"));
            TMacros Macros;
            Macros.Assign(&C.Object->Macros());
            Macros.GetMacro(0)->SetParamValue(C.Caption, C.Value);
            const auto Set = [&] {
                if (Live) {
                    THistoryLock Lock(&H);
                    TDrawItem::SetFMacrosPaintParam(*C.Object, Macros);
                } else {
                    RunJoined(&H, "プロパティの設定", [&] { TDrawItem::SetFMacrosPaintParam(*C.Object, Macros); });
                }
            };
            EXPECT_EQ(MessageOf<Exception>(Set), C.Message);
            ExpectUnchanged(Before, Picture);
        }
    }
    // The lowest value every function reads is taken, and undone exactly.
    TMacros Low;
    Low.Assign(&Rect->Macros());
    Low.GetMacro(0)->SetParamValue("図形の広がり", "-3");
    RunJoined(&H, "プロパティの設定", [&] { TDrawItem::SetFMacrosPaintParam(*Rect, Low); });
    EXPECT_EQ(H.UndoCaption(), "プロパティの設定");
    H.Undo();
    EXPECT_FALSE(H.CanUndo());
    EXPECT_EQ(Saved(), Before);
    EXPECT_EQ(Rendered(), Picture);
}

// Saving writes the document's data; drawing gives only the thumbnail. An
// object that cannot be drawn (as a file may hold it) is saved as it is.
TEST_F(FailedChangeRollback, ADocumentWithAnObjectThatCannotBeDrawnStillSaves)
{
    Rect->Macros().GetMacro(0)->SetParamValue("図形の広がり|-1000,1000,-100,100", "-");
    Rect->Refresh();
    EXPECT_THROW(Rendered(), Exception) << "the object was meant not to draw";
    std::vector<uint8_t> Bytes;
    ASSERT_NO_THROW(Bytes = Saved());
    // The file holds the object's macros as they are, the value included.
    TMemoryStream Mine;
    Rect->Macros().WriteToStream(Mine);
    const std::string Own(static_cast<const char*>(Mine.Memory()), size_t(Mine.Size()));
    EXPECT_NE(std::string(Bytes.begin(), Bytes.end()).find(Own), std::string::npos);
    TMemoryStream S;
    S.WriteBuffer(Bytes.data(), int64_t(Bytes.size()));
    S.SetPosition(0);
    TOLEDocumentWex Copy{nullptr, nullptr};
    Copy.LoadFromStream(S);
    ASSERT_EQ(Copy.GetPageCount(), 1);
    const TDrawItem* Item = static_cast<TPage*>(Copy.GetPage(0))->RootGroup().GetItem(0);
    const auto* Read = dynamic_cast<const TDrawObject*>(Item);
    ASSERT_NE(Read, nullptr);
    // Opened, the value that reads as no number is the library's.
    std::string Spread;
    ASSERT_TRUE(Read->Macros().GetMacro(0)->GetParamValue("図形の広がり", Spread));
    EXPECT_EQ(Spread, "0");
    // A value that can be drawn mends the object, as one step.
    TMacros Good;
    Good.Assign(&Rect->Macros());
    Good.GetMacro(0)->SetParamValue("図形の広がり", "2");
    THistoryCommand& H = *Doc.History();
    H.ClearHistory();
    RunJoined(&H, "プロパティの設定", [&] { TDrawItem::SetFMacrosPaintParam(*Rect, Good); });
    EXPECT_EQ(H.UndoCaption(), "プロパティの設定");
    EXPECT_NO_THROW(Rendered());
}

} // namespace
