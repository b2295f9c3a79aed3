#include "paint/macro_list.h"

#include "foundation/lists.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/store/picture_store.h"
#include "paint/macro_library.h"
#include "paint/paint_macro.h"
#include "paint/paint_spy_table.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <numbers>
#include <string>
#include <vector>

namespace {

const std::string G1 = "0000255,1,4096,0,12288,16384,2,0,0,1023,16777215,0,0,0,100,0,100";
// G1 turned by 90 degrees about (110, 70), from the bounds (10, 20, 209, 119)
// to (60, -30, 159, 169): (60, 20) -> (160, 20) and (160, 120) -> (60, 120).
const std::string G1Turned = "0000255,1,16384,4096,0,12288,2,0,0,1023,16777215,0,0,0,100,0,100";
const std::string F1 = "1,10,0,64,32,15,3,2,0";
const std::string F1Turned = "1,0,10,64,32,105,3,2,0";
const std::string F2 = "1,-4,6,8,8,0,1,0,0";
const std::string F2Turned = "1,-6,-4,8,8,90,1,0,0";

constexpr TRect OldBounds{10, 20, 209, 119};
constexpr TRect NewBounds{60, -30, 159, 169};
constexpr TPoint Centre{110, 70};
constexpr double Quarter = std::numbers::pi / 2;

// The nine parameters of NilPicturePaintFill2 / NilPlanePaintFill2 with the
// fill method Fill, and the eight of NilPictureLight with the reflection
// picture Reflection.
TTvmPairs FillArgs(const std::string& Fill, const std::string& Caption = "", const std::string& Opacity = "100")
{
    return {{"PictureBackGround", ""}, {"", ""}, {Opacity, ""}, {"", "*Primary"}, {"", ""},
            {Fill, Caption}, {"塗りつぶし", ""}, {"Yes", ""}, {"通常", ""}};
}
TTvmPairs LightArgs(const std::string& Reflection, const std::string& Caption = "")
{
    return {{"PictureBackGround", ""}, {"", ""}, {"", ""}, {"", "照明"}, {"", ""},
            {Reflection, Caption}, {"50", ""}, {"普通", ""}};
}

std::string I32(int32_t V)
{
    const uint32_t U = static_cast<uint32_t>(V);
    return {static_cast<char>(U), static_cast<char>(U >> 8), static_cast<char>(U >> 16),
            static_cast<char>(U >> 24)};
}
std::string LStr(const std::string& S)
{
    return I32(static_cast<int32_t>(S.size())) + S;
}
std::string Record(int32_t Macro, int32_t Line, int32_t Param, const std::string& Old, const std::string& New)
{
    return I32(Macro) + I32(Line) + I32(Param) + LStr(Old) + LStr(New);
}

class MacroListParams : public ::testing::Test {
protected:
    void SetUp() override
    {
        TTvmWriter W;
        W.Macro("変形")
            .Line("NilPicturePaintFill2", 9, "", FillArgs("21" + G1, "塗り", "215"))
            .Line("NilPlanePaintFill2", 9, "", FillArgs("41" + F1))
            .Line("NilPicturePaintFill2", 9, "", FillArgs("20" + G1))
            .Line("NilPictureLight", 8, "", LightArgs("41" + F2, "反射"))
            .Line("NilPicturePaintFill2", 9, "", FillArgs("21" + G1, "塗り"))
            .Line("NilPicturePaintFill2", 9, "", FillArgs("21"))
            .Line("NilPicturePaintFill2", 9, "", FillArgs("1FF0000"))
            .End();
        W.Macro("変形2").Line("NilPlanePaintFill2", 9, "", FillArgs("29" + G1)).End();
        W.Macro("収集")
            .Line("NilPicturePaintFill2", 9, "", FillArgs("41" + std::string("1,10,0,64,32,15,0,2,0")))
            .Line("NilPlanePaintFill2", 9, "", FillArgs("40" + std::string("1,0,0,8,8,0,1,0,0")))
            .Line("NilPictureLight", 8, "", LightArgs("41" + std::string("1,10,0,64,32,15,0,2,0")))
            .Line("NilPicturePaintFill2", 9, "", FillArgs("21" + G1))
            .Line("NilPicturePaintFill2", 9, "", FillArgs("4"))
            .Line("NilPicturePaintFill2", 9, "", FillArgs("41" + std::string("1,0,0,0,0,0,-1,0,0")))
            .Line("NilPicturePaintFill2", 9, "", FillArgs("41" + std::string("1,0,0,8,8,0.50,3,0,0")))
            .End();
        W.End();
        Dir.Put("Macro.tvm", W.B);
        Dir.Put("MacPath.tvm", TTvmWriter().End().B);
        LoadMacroLibraries(Dir.Dir);
    }
    void TearDown() override { FreeMacroLibraries(); }

    void Add(TMacros& List, const std::string& Name)
    {
        auto M = std::make_unique<TMacro>();
        ASSERT_TRUE(M->LoadFromLibrary(Name)) << Name;
        List.Add(std::move(M));
    }
    static std::string Fill(const TMacros& List, int32_t Macro, int32_t Line, size_t Param = 5)
    {
        return List.GetMacro(Macro)->Line(Line).Params[Param].Value.value_or("(nil)");
    }
    static std::string Bytes(TMemoryStream& S)
    {
        return {static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size())};
    }

    TTempDir Dir;
};

} // namespace

TEST_F(MacroListParams, TransformParamsTurnsFillsThatFollowTheObject)
{
    TMacros List;
    Add(List, "変形");
    Add(List, "変形2");
    TMemoryStream Undo;
    List.TransformParams(Quarter, Centre, OldBounds, NewBounds, &Undo);

    EXPECT_EQ(Fill(List, 0, 0), "21" + G1Turned);
    EXPECT_EQ(Fill(List, 0, 0, 2), "215"); // not a fill parameter
    EXPECT_EQ(Fill(List, 0, 1), "41" + F1Turned); // internal parameters turn too
    EXPECT_EQ(Fill(List, 0, 2), "20" + G1);       // option digit 0: stays in place
    EXPECT_EQ(Fill(List, 0, 3), "41" + F2Turned); // reflection picture
    EXPECT_EQ(Fill(List, 0, 4), "21" + G1Turned); // a shared caption turns once
    EXPECT_EQ(Fill(List, 0, 5), "21");
    EXPECT_EQ(Fill(List, 0, 6), "1FF0000");
    EXPECT_EQ(Fill(List, 1, 0), "29" + G1Turned);

    EXPECT_EQ(Bytes(Undo), Record(0, 0, 6, "21" + G1, "21" + G1Turned) +
                               Record(0, 1, 6, "41" + F1, "41" + F1Turned) +
                               Record(0, 3, 6, "41" + F2, "41" + F2Turned) +
                               Record(0, 4, 6, "21" + G1, "21" + G1Turned) +
                               Record(1, 0, 6, "29" + G1, "29" + G1Turned));

    // Without a stream the values change all the same.
    TMacros Again;
    Add(Again, "変形");
    Again.TransformParams(Quarter, Centre, OldBounds, NewBounds, nullptr);
    EXPECT_EQ(Fill(Again, 0, 0), "21" + G1Turned);
}

TEST_F(MacroListParams, TransformParamsSkipsGradationsOfBoundsWithoutSize)
{
    for (const TRect& Bounds : {TRect{60, -30, 59, 169}, TRect{60, -30, 159, -31}}) {
        TMacros List;
        Add(List, "変形");
        TMemoryStream Undo;
        List.TransformParams(Quarter, Centre, OldBounds, Bounds, &Undo);
        EXPECT_EQ(Fill(List, 0, 0), "21" + G1);
        EXPECT_EQ(Fill(List, 0, 4), "21" + G1);
        EXPECT_EQ(Fill(List, 0, 1), "41" + F1Turned); // no division in a picture fill
        EXPECT_EQ(Bytes(Undo), Record(0, 1, 6, "41" + F1, "41" + F1Turned) +
                                   Record(0, 3, 6, "41" + F2, "41" + F2Turned));
    }
}

TEST_F(MacroListParams, CollectPicturesAddsHandlesAndDerivedPicturesOnce)
{
    TListRecPict Store(nullptr);
    TrecPicture A{}, B{}, D{};
    RecPictureCreate(A, TPoint{}, 4, 2, 24, false);
    RecPictureCreate(B, TPoint{}, 2, 4, 24, false);
    RecPictureCreate(D, TPoint{}, 64, 32, 24, false);
    std::memset(A.pBits, 1, static_cast<size_t>(RecPictureGetImageSize(A)));
    std::memset(B.pBits, 2, static_cast<size_t>(RecPictureGetImageSize(B)));
    ASSERT_EQ(Store.AddPicture(-1, 0, 0, 0.0, TPoint{}, 0, 0, 0, A, ""), 0);
    ASSERT_EQ(Store.AddPicture(-1, 0, 0, 0.0, TPoint{}, 0, 0, 0, B, ""), 1);
    // What the picture fill stores for handle 0 over a 200 x 100 area.
    ASSERT_EQ(Store.AddPicture(0, 64, 32, 15.0, TPoint{10, 0}, 200, 100, 2, D, ""), 2);

    TMacros List;
    Add(List, "収集");
    TListPtrWex Handles;
    Handles.Add(reinterpret_cast<void*>(intptr_t{1}));
    List.CollectPictures(Handles, Store, OldBounds);
    std::vector<intptr_t> Got;
    for (int32_t I = 0; I < Handles.Count(); ++I)
        Got.push_back(reinterpret_cast<intptr_t>(Handles.Get(I)));
    EXPECT_EQ(Got, (std::vector<intptr_t>{1, 0, 2, 3}));

    // Another owner size finds no derived picture.
    TListPtrWex Other;
    List.CollectPictures(Other, Store, TRect{0, 0, 99, 99});
    EXPECT_EQ(Other.Count(), 3);
    EXPECT_EQ(Other.IndexOf(reinterpret_cast<void*>(intptr_t{2})), -1);
}

TEST_F(MacroListParams, RemapPicturesRewritesMappedHandlesOnly)
{
    TMacros List;
    Add(List, "収集");
    TList2Item Map;
    Map.Add(0, 5);
    Map.Add(1, 7);
    List.RemapPictures(Map);
    EXPECT_EQ(Fill(List, 0, 0), "41" + std::string("1,10,0,64,32,15,5,2,0"));
    EXPECT_EQ(Fill(List, 0, 1), "40" + std::string("1,0,0,8,8,0,7,0,0"));
    EXPECT_EQ(Fill(List, 0, 2), "41" + std::string("1,10,0,64,32,15,5,2,0"));
    EXPECT_EQ(Fill(List, 0, 3), "21" + G1);
    EXPECT_EQ(Fill(List, 0, 4), "4");
    EXPECT_EQ(Fill(List, 0, 5), "41" + std::string("1,0,0,0,0,0,-1,0,0"));
    EXPECT_EQ(Fill(List, 0, 6), "41" + std::string("1,0,0,8,8,0.50,3,0,0")); // not a key: kept as written
}
