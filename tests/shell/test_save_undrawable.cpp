// A document holding an object that cannot be drawn (as an older file may
// hold one) is saved by 上書き保存 as it is: the save needs no drawing.
#include "shell_test_support.h"

#include "foundation/streams.h"
#include "model/param_shapes.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "shell/tavro_action.h"

#include <filesystem>

namespace {

std::string SpreadIn(const std::string& Path)
{
    TOLEDocumentWex Doc(nullptr, nullptr);
    TFileStream File(Path, fmOpenRead);
    Doc.LoadFromStream(File);
    auto* Rect = dynamic_cast<TDrawObject*>(static_cast<TPage*>(Doc.GetPage(0))->RootGroup().GetItem(0));
    std::string Spread;
    if (Rect && Rect->Macros().Count() > 0)
        Rect->Macros().GetMacro(0)->GetParamValue("図形の広がり", Spread);
    return Spread;
}

TEST_F(TFrameTest, ADocumentWhoseObjectCannotBeDrawnIsSaved)
{
    const std::string Path = Tmp / "undrawable.srn";
    {
        TOLEDocumentWex Doc(nullptr, nullptr);
        auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
        Page->SetPageSize(120, 80);
        auto R = std::make_unique<TRectObj>(Page, -1);
        R->SetFrame(10, 10, 60, 40);
        auto M = std::make_unique<TMacro>();
        ASSERT_TRUE(M->LoadFromLibrary("塗り(ボカシ)"));
        R->Macros().Clear();
        R->Macros().Add(std::move(M));
        TDrawObject* Rect = static_cast<TDrawObject*>(Page->RootGroup().AddChild(std::move(R), -1));
        Rect->Macros().GetMacro(0)->SetParamValue("図形の広がり|-1000,1000,-100,100", "-");
        Rect->Refresh();
        ASSERT_TRUE(Doc.SaveToFile(Path));
    }
    ASSERT_EQ(SpreadIn(Path), "-");
    Start({QString::fromStdString(Path)});
    Settle();
    TDocWindow* W = Frame->ActiveDocWindow();
    ASSERT_NE(W, nullptr);
    W->Document()->SetModified(true);
    Boxes.clear();
    Frame->actSave->trigger();
    EXPECT_TRUE(Boxes.empty()) << Boxes.front().Text;
    Settle();
    EXPECT_FALSE(W->Document()->Modified());
    EXPECT_TRUE(std::filesystem::exists(ChangeFileExt(Path, ".bak"))) << "the save wrote no new file";
    EXPECT_EQ(SpreadIn(Path), "-");
}

} // namespace
