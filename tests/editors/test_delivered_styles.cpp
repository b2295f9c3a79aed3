// The style libraries delivered beside the program: they load through the
// program's reader, write back byte for byte, and hold what a designer needs.
#include "editors/style_file.h"
#include "editors/style_items.h"

#include "foundation/streams.h"
#include "platform/cp932.h"
#include "paint/gradation_object.h"
#include "paint/light_set.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

namespace {

std::string ProgramFolder()
{
    return std::filesystem::read_symlink("/proc/self/exe").parent_path().string();
}

std::string FileBytes(const std::string& Path)
{
    std::ifstream In(Path, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), {}};
}

class DeliveredStyles : public ::testing::TestWithParam<TStyleKind> {
protected:
    static void SetUpTestSuite() { LoadMacroLibraries(ProgramFolder()); }
    static void TearDownTestSuite() { FreeMacroLibraries(); }
};

size_t ItemCount(const TStyleTree& Tree)
{
    size_t N = 0;
    for (int32_t I = 0; I < Tree.NodeCount(); ++I)
        N += Tree.NodeAt(I)->Items.size();
    return N;
}

} // namespace

TEST_P(DeliveredStyles, LoadAndWriteBackByteForByte)
{
    TCustomStyle Style = MakeStyleLibrary(GetParam(), ProgramFolder(), "");
    const std::string Bytes = FileBytes(Style.FileName);
    ASSERT_FALSE(Bytes.empty()) << Style.FileName;
    const std::string Org = Style.FileName.substr(0, Style.FileName.size() - 4) + ".org";
    EXPECT_EQ(FileBytes(Org), Bytes);

    TStyleTree Tree;
    Style.LoadFromFile(Style.FileName, Tree);
    TMemoryStream M;
    SaveStyleStream(M, Style.DataFileHeader, Style.Version, Tree, Style.OnItemSave);
    EXPECT_EQ(std::string(static_cast<const char*>(M.Memory()), static_cast<size_t>(M.Size())), Bytes);

    std::set<std::string> Groups;
    for (int32_t I = 0; I < Tree.NodeCount(); ++I)
        Groups.insert(Tree.NodeAt(I)->Name);
    switch (GetParam()) {
    case TStyleKind::Gradation:
        EXPECT_GE(ItemCount(Tree), 20u);
        for (const char* G : {"メタル", "夕焼け", "パステル", "ネオン"})
            EXPECT_TRUE(Groups.count(G)) << G;
        for (int32_t I = 0; I < Tree.NodeCount(); ++I)
            for (const TStyleEntry& E : Tree.NodeAt(I)->Items) {
                TGradationObject G;
                EXPECT_TRUE(G.StrToGradation(dynamic_cast<TobjStyleItemGrad&>(*E.Data).Text)) << E.Title;
                EXPECT_GE(G.ColStops.size(), 2u) << E.Title;
            }
        break;
    case TStyleKind::Light:
        EXPECT_GE(ItemCount(Tree), 12u);
        for (int32_t I = 0; I < Tree.NodeCount(); ++I)
            for (const TStyleEntry& E : Tree.NodeAt(I)->Items) {
                TLightsAmb L;
                EXPECT_TRUE(StrToLights(L, dynamic_cast<TobjStyleItemLight&>(*E.Data).Text)) << E.Title;
                EXPECT_FALSE(L.Lights.empty()) << E.Title;
            }
        break;
    case TStyleKind::MacroPaint:
        EXPECT_GE(ItemCount(Tree), 20u);
        for (int32_t I = 0; I < Tree.NodeCount(); ++I)
            for (const TStyleEntry& E : Tree.NodeAt(I)->Items) {
                const auto& Item = dynamic_cast<TStyleItem&>(*E.Data);
                ASSERT_GT(Item.Count(), 0) << E.Title;
                for (int32_t K = 0; K < Item.Count(); ++K)
                    EXPECT_GE(gMacroLibrary->IndexOf(Item.GetMacro(K)->Name()), 0) << E.Title;
            }
        break;
    }
}

INSTANTIATE_TEST_SUITE_P(Libraries, DeliveredStyles,
                         ::testing::Values(TStyleKind::Gradation, TStyleKind::Light, TStyleKind::MacroPaint));

// A paint-style library of version 19 (no picture block) holding a catalogue
// macro with one parameter of its own loads, and its parameter survives.
TEST(OlderPaintStyles, LoadWithTheirMacrosAndParameters)
{
    LoadMacroLibraries(ProgramFolder());
    std::string B;
    auto I32 = [&](int32_t V) {
        for (int I = 0; I < 4; ++I)
            B.push_back(static_cast<char>(static_cast<uint32_t>(V) >> (8 * I)));
    };
    auto S = [&](const std::string& Utf8) {
        const std::string C = Utf8ToCp932(Utf8);
        I32(static_cast<int32_t>(C.size()));
        B += C;
    };
    S("StyleSepranMacroPaint"), S("19"), S("1"), S("0"), S("古いスタイル"), S("1");
    S("赤い塗り");
    I32(1); // one macro
    S("塗り(ボカシ)"), I32(1); // no enabled byte before version 24
    S("塗り方法"), S("10000FF");
    TMemoryStreamWex M;
    M.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    TStyleTree Tree;
    int32_t Version = 0;
    ASSERT_NO_THROW(LoadStyleStream(M, "StyleSepranMacroPaint", LoadMacroItem, Tree, &Version));
    EXPECT_EQ(Version, 19);
    const auto& Item = dynamic_cast<TStyleItem&>(*Tree.NodeAt(0)->Items.at(0).Data);
    ASSERT_EQ(Item.Count(), 1);
    std::string Value;
    EXPECT_TRUE(Item.GetMacro(0)->GetParamValue("塗り方法", Value));
    EXPECT_EQ(Value, "10000FF");
    FreeMacroLibraries();
}
