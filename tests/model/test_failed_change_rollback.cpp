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
        EXPECT_FALSE(Doc.Modified());
        EXPECT_EQ(Saved(), Before);
        EXPECT_FALSE(H.CanUndo());
        EXPECT_FALSE(H.IsCommandOpen());
        EXPECT_EQ(H.LockCount(), 0);
        EXPECT_EQ(Rendered(), Picture);
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

} // namespace
