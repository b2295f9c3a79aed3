#include "paint/macro_list.h"

#include "foundation/lists.h"
#include "store/picture_store.h"
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
const std::string F1 = "1,10,0,64,32,15,3,2,0", F1Turned = "1,0,10,64,32,105,3,2,0";
const std::string F2 = "1,-4,6,8,8,0,1,0,0", F2Turned = "1,-6,-4,8,8,90,1,0,0";
const std::string F3 = "1,10,0,64,32,15,0,2,0"; // handle 0
constexpr TRect OldBounds{10, 20, 209, 119};
constexpr TRect NewBounds{60, -30, 159, 169};

// NilPicturePaintFill2 (NilPlanePaintFill2) with the fill method Fill, and
// NilPictureLight with the reflection picture Fill.
TTvmWriter& Fill(TTvmWriter& W, const std::string& Fill, const char* Function = "NilPicturePaintFill2",
                 const std::string& Caption = "")
{
    return W.Line(Function, 9, "",
                  {{"PictureBackGround", ""}, {"", ""}, {"215", ""}, {"", "*Primary"}, {"", ""}, {Fill, Caption},
                   {"塗りつぶし", ""}, {"Yes", ""}, {"通常", ""}});
}
TTvmWriter& Light(TTvmWriter& W, const std::string& Reflection, const std::string& Caption = "")
{
    return W.Line("NilPictureLight", 8, "",
                  {{"PictureBackGround", ""}, {"", ""}, {"", ""}, {"", "照明"}, {"", ""}, {Reflection, Caption},
                   {"50", ""}, {"普通", ""}});
}

std::string Record(int32_t Macro, int32_t Line, const std::string& Old, const std::string& New)
{
    return I32(Macro) + I32(Line) + I32(6) + LStr(Old) + LStr(New);
}

class MacroListParams : public ::testing::Test {
protected:
    void SetUp() override
    {
        TTvmWriter W;
        Fill(W.Macro("変形"), "21" + G1, "NilPicturePaintFill2", "塗り");
        Fill(W, "41" + F1, "NilPlanePaintFill2"); // internal parameters turn too
        Fill(W, "20" + G1);                       // option digit 0: stays in place
        Light(W, "41" + F2, "反射");
        Fill(W, "21" + G1, "NilPicturePaintFill2", "塗り"); // a shared caption turns once
        Fill(W, "21");
        Fill(W, "1FF0000").End();
        Fill(W.Macro("変形2"), "29" + G1, "NilPlanePaintFill2").End();
        Fill(W.Macro("収集"), "41" + F3);
        Fill(W, "40" + std::string("1,0,0,8,8,0,1,0,0"), "NilPlanePaintFill2");
        Light(W, "41" + F3);
        Fill(W, "21" + G1);
        Fill(W, "4");
        Fill(W, "41" + std::string("1,0,0,0,0,0,-1,0,0"));
        Fill(W, "41" + std::string("1,0,0,8,8,0.50,3,0,0")).End().End();
        Dir.Put("Macro.tvm", W.B);
        Dir.Put("MacPath.tvm", TTvmWriter().End().B);
        LoadMacroLibraries(Dir.Dir);
    }
    void TearDown() override { FreeMacroLibraries(); }

    static std::unique_ptr<TMacros> List(std::initializer_list<const char*> Names)
    {
        auto L = std::make_unique<TMacros>();
        for (const char* Name : Names) {
            auto M = std::make_unique<TMacro>();
            EXPECT_TRUE(M->LoadFromLibrary(Name)) << Name;
            L->Add(std::move(M));
        }
        return L;
    }
    // The fill parameter of each line of a macro.
    static std::vector<std::string> Fills(const TMacros& L, int32_t Macro)
    {
        std::vector<std::string> V;
        for (int32_t I = 0; I < L.GetMacro(Macro)->LineCount(); ++I)
            V.push_back(L.GetMacro(Macro)->Line(I).Params[5].Value.value_or("(nil)"));
        return V;
    }

    TTempDir Dir;
};

} // namespace

TEST_F(MacroListParams, TransformParamsTurnsFillsThatFollowTheObject)
{
    auto L = List({"変形", "変形2"});
    TMemoryStream Undo;
    L->TransformParams(std::numbers::pi / 2, TPoint{110, 70}, OldBounds, NewBounds, &Undo);
    EXPECT_EQ(Fills(*L, 0), (std::vector<std::string>{"21" + G1Turned, "41" + F1Turned, "20" + G1, "41" + F2Turned,
                                                      "21" + G1Turned, "21", "1FF0000"}));
    EXPECT_EQ(L->GetMacro(0)->Line(0).Params[2].Value, "215"); // not a fill parameter
    EXPECT_EQ(Fills(*L, 1), std::vector<std::string>{"29" + G1Turned});
    EXPECT_EQ(StreamBytes(Undo), Record(0, 0, "21" + G1, "21" + G1Turned) + Record(0, 1, "41" + F1, "41" + F1Turned) +
                                     Record(0, 3, "41" + F2, "41" + F2Turned) +
                                     Record(0, 4, "21" + G1, "21" + G1Turned) +
                                     Record(1, 0, "29" + G1, "29" + G1Turned));
    // Without a stream the values change all the same.
    auto Again = List({"変形"});
    Again->TransformParams(std::numbers::pi / 2, TPoint{110, 70}, OldBounds, NewBounds, nullptr);
    EXPECT_EQ(Fills(*Again, 0)[0], "21" + G1Turned);
    // Bounds without width or height: gradations stay (their positions divide
    // by the size), picture fills still turn.
    for (const TRect& Bounds : {TRect{60, -30, 59, 169}, TRect{60, -30, 159, -31}}) {
        auto Flat = List({"変形"});
        Undo.Clear();
        Flat->TransformParams(std::numbers::pi / 2, TPoint{110, 70}, OldBounds, Bounds, &Undo);
        EXPECT_EQ(Fills(*Flat, 0)[0], "21" + G1);
        EXPECT_EQ(Fills(*Flat, 0)[4], "21" + G1);
        EXPECT_EQ(StreamBytes(Undo),
                  Record(0, 1, "41" + F1, "41" + F1Turned) + Record(0, 3, "41" + F2, "41" + F2Turned));
    }
}

TEST_F(MacroListParams, CollectAndRemapPictures)
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
    auto L = List({"収集"});
    const auto Handles = [&](const TRect& Bounds, std::vector<intptr_t> Held) {
        TListPtrWex H;
        for (intptr_t I : Held)
            H.Add(reinterpret_cast<void*>(I));
        L->CollectPictures(H, Store, Bounds);
        std::vector<intptr_t> Got;
        for (int32_t I = 0; I < H.Count(); ++I)
            Got.push_back(reinterpret_cast<intptr_t>(H.Get(I)));
        return Got;
    };
    // Handles and derived pictures are added once; another owner size finds
    // no derived picture.
    EXPECT_EQ(Handles(OldBounds, {1}), (std::vector<intptr_t>{1, 0, 2, 3}));
    EXPECT_EQ(Handles(TRect{0, 0, 99, 99}, {}), (std::vector<intptr_t>{0, 1, 3}));
    TList2Item Map;
    Map.Add(0, 5);
    Map.Add(1, 7);
    L->RemapPictures(Map);
    EXPECT_EQ(Fills(*L, 0), (std::vector<std::string>{"411,10,0,64,32,15,5,2,0", "401,0,0,8,8,0,7,0,0",
                                                      "411,10,0,64,32,15,5,2,0", "21" + G1, "4",
                                                      "411,0,0,0,0,0,-1,0,0",
                                                      "411,0,0,8,8,0.50,3,0,0"})); // not a key: kept as written
}
