// A document holding an object that cannot be drawn (as a value set on it
// may leave it) is saved by 上書き保存 as it is: the save needs no drawing.
#include "shell_test_support.h"

#include "foundation/streams.h"
#include "model/param_shapes.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "shell/tavro_action.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

// The value the file stores after the caption 図形の広がり (its tag
// included), as the bytes hold it: the reader would hold it to its range.
std::string StoredSpread(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    const std::string B{std::istreambuf_iterator<char>(In), {}};
    const std::string Caption = Utf8ToCp932("図形の広がり|-1000,1000,-100,100");
    std::string Prefix(4, '\0');
    const uint32_t N = static_cast<uint32_t>(Caption.size());
    std::memcpy(Prefix.data(), &N, 4);
    const size_t At = B.find(Prefix + Caption);
    if (At == std::string::npos || At + 8 + N > B.size())
        return "(none)";
    uint32_t L = 0;
    std::memcpy(&L, B.data() + At + 4 + N, 4);
    return B.substr(At + 8 + N, L);
}

TDrawObject* RectOf(TOLEDocumentWex& Doc)
{
    return dynamic_cast<TDrawObject*>(static_cast<TPage*>(Doc.GetPage(0))->RootGroup().GetItem(0));
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
        Page->RootGroup().AddChild(std::move(R), -1);
        ASSERT_TRUE(Doc.SaveToFile(Path));
    }
    ASSERT_EQ(StoredSpread(Path), "0");
    Start({QString::fromStdString(Path)});
    Settle();
    TDocWindow* W = Frame->ActiveDocWindow();
    ASSERT_NE(W, nullptr);
    TDrawObject* Rect = RectOf(*W->Document());
    ASSERT_NE(Rect, nullptr);
    Rect->Macros().GetMacro(0)->SetParamValue("図形の広がり|-1000,1000,-100,100", "-");
    Rect->Refresh();
    Settle();
    W->Document()->SetModified(true);
    Boxes.clear();
    Frame->actSave->trigger();
    EXPECT_TRUE(Boxes.empty()) << Boxes.front().Text;
    Settle();
    EXPECT_FALSE(W->Document()->Modified());
    EXPECT_TRUE(std::filesystem::exists(ChangeFileExt(Path, ".bak"))) << "the save wrote no new file";
    EXPECT_EQ(StoredSpread(Path), "-");
}

} // namespace
