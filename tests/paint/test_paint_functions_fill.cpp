#include "paint/paint_functions_fill.h"

#include "foundation/numbers.h"
#include "foundation/rec_path.h"
#include "store/picture_store.h"
#include "paint/paint_function_table.h"
#include "paint/picture_cache.h"
#include "raster/merge.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr TRect Empty{-1, -1, -2, -2};
using TBgr = std::vector<int>;

// A record owned by the test.
struct TPic {
    TrecPicture R;
    TPic(int32_t Bits, int32_t W, int32_t H, int32_t Left = 0, int32_t Top = 0, int32_t Fill = 0)
    {
        EXPECT_EQ(AllocPlaneRecord(R, TPoint{Left, Top}, W, H, Bits, false), 0);
        if (Fill != 0)
            RecPictureFillColor(R, Fill);
    }
    ~TPic() { RecPictureClear(R); }
    uint8_t* At(int32_t X, int32_t Y) { return RecPictureGetPixelPtr(R, X, Y); }
    void Set(int32_t X, int32_t Y, uint8_t B, uint8_t G = 0, uint8_t Rd = 0)
    {
        const uint8_t V[3] = {B, G, Rd};
        std::memcpy(At(X, Y), V, RecPictureHeader(R)->biBitCount / 8);
    }
    TBgr Bgr(int32_t X, int32_t Y) { return {At(X, Y)[0], At(X, Y)[1], At(X, Y)[2]}; }
};

TrecPath RectPath(int32_t L, int32_t T, int32_t R, int32_t B, uint8_t Flag = 1)
{
    TrecPath P;
    RecPolyLineSetCount(P, 4);
    P.Points = {{L, T}, {R, T}, {R, B}, {L, B}};
    P.pabType = {PT_MOVETO, PT_LINETO, PT_LINETO, PT_LINETO | PT_CLOSEFIGURE};
    P.Flag = Flag;
    RecPathCalcBounds(P);
    return P;
}

// The argument array of one call: parameters numbered from 1 as the table lists them.
struct TArgs {
    std::vector<void*> V;
    std::vector<std::shared_ptr<std::string>> Texts; // shared, so copies keep pointing at live texts
    explicit TArgs(const char* Function)
        : V(size_t(PaintFunctionTable()[FindPaintFunction(Function)].ParamCount) + 1)
    {
    }
    TArgs& T(int N, const std::string& S) { return O(N, Texts.emplace_back(std::make_shared<std::string>(S))->data()); }
    TArgs& Nil(int N) { return O(N, nullptr); }
    TArgs& O(int N, const void* P)
    {
        V[size_t(N - 1)] = const_cast<void*>(P);
        return *this;
    }
    TArgs& Store(TListRecPict* S) { return O(int(V.size()), S); }
};

struct TRun {
    int32_t Code;
    TPaintRecordPtr Result;
    TRect R1, R2;
};

TRun Call(TPaintFunctionEntry F, const TArgs& A, bool Measure = false, const uint8_t* Abort = nullptr)
{
    void* Result = reinterpret_cast<void*>(1);
    TRun Out{0, nullptr, TRect{7, 7, 7, 7}, TRect{7, 7, 7, 7}};
    Out.Code = F(Result, A.V.data(), Abort, Out.R1, Out.R2, Measure);
    Out.Result.reset(static_cast<TrecPicture*>(Result));
    return Out;
}

TRect HeaderRect(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return TRect{P.iLeft, P.iTop, P.iLeft + H->biWidth - 1, P.iTop + H->biHeight - 1};
}

// Every test ends with the global blocks it started with.
class PaintFunctionsFill : public ::testing::Test {
protected:
    void SetUp() override { Blocks = GlobalBlockCount(); }
    void TearDown() override { EXPECT_EQ(GlobalBlockCount(), Blocks); }
    size_t Blocks = 0;
};

} // namespace

TEST_F(PaintFunctionsFill, DummySeedAndMakers)
{
    TRun D = Call(Dummy, TArgs("Dummy"));
    EXPECT_EQ(std::tuple(D.Code, D.Result.get(), D.R1, D.R2),
              std::tuple(0, static_cast<TrecPicture*>(nullptr), Empty, Empty));
    void* Result = &D;
    TRect R1{1, 2, 3, 4}, R2 = R1;
    EXPECT_EQ(PathRough(Result, TArgs("PathRough").V.data(), nullptr, R1, R2, false), 9);
    EXPECT_EQ(Result, &D); // untouched
    EXPECT_EQ(R1, (TRect{1, 2, 3, 4}));
    const uint32_t Kept = RandomSeed;
    EXPECT_EQ(Call(SetRandomSeed, TArgs("SetRandomSeed").T(1, "7")).Code, 0);
    EXPECT_EQ(RandomSeed, 7u);
    EXPECT_EQ(Call(SetRandomSeed, TArgs("SetRandomSeed").T(1, "x")).Code, 0);
    EXPECT_EQ(RandomSeed, 2147483647u);
    EXPECT_EQ(Call(SetRandomSeed, TArgs("SetRandomSeed")).Code, 1);
    EXPECT_EQ(Call(SetRandomSeed, TArgs("SetRandomSeed").T(1, "-5000")).Code, 0x10001);
    RandomSeed = Kept;
    TListRecPict Store(nullptr);
    auto Make = [&](const char* X, const char* W) {
        TArgs A = TArgs("PlaneMake").T(1, X).T(2, "20").T(4, "2").T(5, "7").Store(&Store);
        return W ? A.T(3, W) : A;
    };
    TRun P = Call(PlaneMake, Make("10", "3"));
    ASSERT_EQ(P.Code, 0);
    EXPECT_EQ(P.R1, Empty);
    EXPECT_EQ(P.R2, (TRect{10, 20, 12, 21}));
    EXPECT_EQ(RecPictureHeader(*P.Result)->biBitCount, 8);
    EXPECT_EQ(*RecPictureGetPixelPtr(*P.Result, 12, 21), 7);
    EXPECT_EQ(Call(PlaneMake, Make("10", "3").Store(nullptr)).Code, 6);
    EXPECT_EQ(Call(PlaneMake, Make("10", nullptr)).Code, 3);
    EXPECT_EQ(Call(PlaneMake, Make("abc", "3")).Code, 0x10001);
    EXPECT_EQ(Call(PlaneMake, Make("-50000", "3")).R2, (TRect{-50000, 20, -49998, 21}));
    EXPECT_EQ(Call(PlaneMake, Make("10", "0")).Code, 0x80000);
    // Past the largest record the raster routines work on: refused before anything is allocated.
    TArgs Huge = TArgs("PlaneMake").T(1, "0").T(2, "0").T(3, "32768").T(4, "32769").T(5, "0").Store(&Store);
    EXPECT_EQ(Call(PlaneMake, Huge).Code, 0x80000);
    // The right edge would leave the int32 range.
    TRun Far = Call(PlaneMake, Make("2147483647", "3"));
    EXPECT_TRUE(Far.Code == 0x80000 && !Far.Result);
    TRun M = Call(PlaneMake, Make("10", "3"), true);
    ASSERT_EQ(M.Code, 0);
    EXPECT_TRUE(!M.Result->pBits && M.R2 == (TRect{10, 20, 12, 21}));
    TArgs PA = TArgs("PictureMake").T(1, "-1").T(2, "-2").T(3, "4").T(4, "5");
    EXPECT_EQ(Call(PictureMake, PA).Code, 5);
    TRun Pic = Call(PictureMake, PA.Store(&Store));
    ASSERT_EQ(Pic.Code, 0);
    EXPECT_EQ(RecPictureHeader(*Pic.Result)->biBitCount, 24);
    EXPECT_EQ(Pic.R2, (TRect{-1, -2, 2, 2}));
}

TEST_F(PaintFunctionsFill, PathSizedMakers)
{
    const TrecPath Path = RectPath(100, 100, 140, 120);
    auto Refer = [&](const char* Fill, const char* M1 = "0", const char* M2 = "0", const char* Kind = "絶対値",
                     const char* Factor = "0", const char* X3 = "0", const char* Y3 = "0",
                     const char* Name = "PlaneSetReferSize") {
        TArgs A = TArgs(Name).O(1, &Path).T(2, "4,0,10.00").T(3, Fill).T(4, "9").T(6, M2).T(7, Kind);
        A.T(8, Factor).T(9, X3).T(10, Y3);
        return M1 ? A.T(5, M1) : A;
    };
    // A "線" fill with pen width 4 widens by 4 / 2 + 2 on each side; both
    // rectangles may be one variable.
    TRect Both;
    void* Result = nullptr;
    TArgs A = Refer("線");
    ASSERT_EQ(PlaneSetReferSize(Result, A.V.data(), nullptr, Both, Both, false), 0);
    TPaintRecordPtr Owned(static_cast<TrecPicture*>(Result));
    EXPECT_EQ(Both, (TRect{96, 96, 144, 124}));
    EXPECT_EQ(Owned->pBits, nullptr); // it only measures
    // 18 = |-6| + (3 + 4) + 2.5 x 2; 13 = 1 + 7 + 5.
    TRun R = Call(PlaneSetReferSize, Refer("線", "3", "2.5", "絶対値", "2", "-6", "1"));
    EXPECT_EQ(R.R1, (TRect{82, 87, 158, 133}));
    EXPECT_EQ(R.R2, R.R1);
    // No outline: no pen margin; a negative margin 1 counts as 0.
    EXPECT_EQ(Call(PlaneSetReferSize, Refer("塗りつぶし", "-5")).R2, (TRect{100, 100, 140, 120}));
    // A Gaussian of size 3 reaches 5 pixels: 25 / (2 x 9 / (2 ln 10)) > ln 128 first at 5.
    EXPECT_EQ(Call(PlaneSetReferSize, Refer("塗りつぶし", "0", "3", "ガウス", "1")).R2, (TRect{95, 95, 145, 125}));
    // No Gaussian reaches farther than the largest kernel, of radius 1000:
    // 1452 pixels (1000 x sqrt(ln 128 / ln 10) = 1451.6). A margin beyond
    // it, which the parameter's range (up to 99999) takes, measures as it.
    for (const char* M2 : {"1000", "1000.5", "99999"})
        EXPECT_EQ(Call(PlaneSetReferSize, Refer("塗りつぶし", "0", M2, "ガウス", "1")).R2,
                  (TRect{-1352, -1352, 1592, 1572}))
            << M2;
    EXPECT_EQ(Call(PlaneSetReferSize, Refer("線", nullptr)).Code, 0x10005);
    EXPECT_EQ(Call(PlaneSetReferSize, Refer("線").Nil(4)).Code, 4);
    // "プロパティ指定": a filled path has no outline; an unfilled one is outlined,
    // and a pen that does not parse counts as width 1: 1 / 2 + 2.
    TrecPath Open = RectPath(100, 100, 140, 120, 0);
    TArgs Prop = Refer("プロパティ指定").T(2, "junk");
    EXPECT_EQ(Call(PlaneSetReferSize, Prop).R2, (TRect{100, 100, 140, 120}));
    EXPECT_EQ(Call(PlaneSetReferSize, Prop.O(1, &Open)).R2, (TRect{98, 98, 142, 122}));
    TRun Plane = Call(PlaneMakeForPath2, Refer("線", "0", "0", "絶対値", "0", "0", "0", "PlaneMakeForPath2"));
    ASSERT_EQ(Plane.Code, 0);
    EXPECT_EQ(Plane.R2, Empty);
    EXPECT_EQ(HeaderRect(*Plane.Result), (TRect{96, 96, 144, 124}));
    EXPECT_EQ(*RecPictureGetPixelPtr(*Plane.Result, 96, 96), 9);
    TRun Pic = Call(PictureMakeForPath2,
                    Refer("線", "0", "0", "絶対値", "0", "0", "0", "PictureMakeForPath2").T(4, "dummy"));
    ASSERT_EQ(Pic.Code, 0);
    EXPECT_EQ(RecPictureHeader(*Pic.Result)->biBitCount, 24);
    EXPECT_EQ(HeaderRect(*Pic.Result), (TRect{96, 96, 144, 124}));
    TRun F = Call(PlaneMakeForPath,
                  TArgs("PlaneMakeForPath").O(1, &Path).T(2, "1").T(3, "2").T(4, "3").T(5, "4").T(6, "9"));
    EXPECT_EQ(F.R2, (TRect{99, 98, 143, 124}));
    EXPECT_EQ(*RecPictureGetPixelPtr(*F.Result, 143, 124), 9);
    EXPECT_EQ(Call(PlaneMakeForPath, TArgs("PlaneMakeForPath").O(1, &Path)).R2, Path.Bounds);
}

TEST_F(PaintFunctionsFill, DuplicatesAndPlaneMove)
{
    TPic Src(24, 3, 2, -5, 7);
    Src.Set(-5, 7, 1, 2, 3);
    Src.Set(-3, 8, 4, 5, 6);
    TRun D = Call(PictureDuplicate, TArgs("PictureDuplicate").O(1, &Src.R));
    ASSERT_EQ(D.Code, 0);
    EXPECT_EQ(D.R2, (TRect{-5, 7, -3, 8}));
    EXPECT_EQ(std::memcmp(D.Result->pBits, Src.R.pBits, size_t(RecPictureGetImageSize(Src.R))), 0);
    EXPECT_EQ(Call(PictureDuplicate, TArgs("PictureDuplicate")).Code, 1);
    TPic Plane(8, 2, 2, 1, 1, 77);
    auto Dup = [&](const char* NoCopy, const char* Bits, const char* Flag, const char* NoExec) {
        TArgs A = TArgs("PlaneDuplicate").O(1, &Plane.R).T(2, NoCopy).T(5, NoExec);
        A = Bits ? A.T(3, Bits) : A;
        return Flag ? A.T(4, Flag) : A;
    };
    EXPECT_EQ(*RecPictureGetPixelPtr(*Call(PlaneDuplicate, Dup("No", nullptr, "1FFFFFF", "No")).Result, 2, 2), 77);
    EXPECT_EQ(*RecPictureGetPixelPtr(*Call(PlaneDuplicate, Dup("Yes", "8", nullptr, "No")).Result, 2, 2), 0);
    EXPECT_EQ(RecPictureHeader(*Call(PlaneDuplicate, Dup("Yes", "16", nullptr, "No")).Result)->biBitCount, 16);
    // Nothing to copy, or told not to run: a record without pixels.
    for (const TArgs& A :
         {Dup("No", nullptr, "0", "No"), Dup("No", nullptr, "5", "No"), Dup("No", nullptr, nullptr, "Yes")})
        EXPECT_EQ(Call(PlaneDuplicate, A).Result->pBits, nullptr);
    TRun M = Call(PlaneDuplicate, Dup("No", nullptr, nullptr, "No"), true);
    EXPECT_EQ(M.Result->pBits, nullptr);
    EXPECT_EQ(M.R2, (TRect{1, 1, 2, 2}));
    TPic P(8, 4, 3, 10, 20);
    TPic Mask(8, 2, 2, 14, 22);
    auto Move = [&](const char* DX, const char* DY) {
        TArgs A = TArgs("NilPlaneMove").O(1, &P.R).O(2, &Mask.R).T(3, DX);
        return Call(NilPlaneMove, DY ? A.T(4, DY) : A);
    };
    EXPECT_EQ(Move("0", "0").R2, Empty);
    EXPECT_EQ((TPoint{P.R.iLeft, P.R.iTop}), (TPoint{10, 20}));
    TRun Moved = Move("1", "-1000"); // the whole range is legal
    EXPECT_EQ(Moved.Code, 0);
    EXPECT_EQ((TPoint{P.R.iLeft, P.R.iTop}), (TPoint{11, -980}));
    EXPECT_EQ(Moved.R2, Empty); // the mask no longer overlaps
    Move("3", "1001");
    EXPECT_EQ(Move("-1", "0").R2, (TRect{14, 22, 15, 23})); // plane at (13, 21)
    EXPECT_EQ(Move("x", "1").Code, 0x10003);
    EXPECT_EQ(Move("1", "").Code, 0x10004);
    EXPECT_EQ(Move("1", nullptr).Code, 4);
    // A move out of the int32 range is refused and moves nothing.
    P.R.iLeft = 2147483646;
    EXPECT_EQ(Move("5", "0").Code, 0x10003);
    EXPECT_EQ(P.R.iLeft, 2147483646);
}

TEST_F(PaintFunctionsFill, FillColEmbossAndMerges)
{
    TPic P(8, 4, 1, 0, 0, 100);
    TPic Mask(8, 4, 1, 1, 0); // covers columns 1..3
    Mask.Set(1, 0, 255);
    Mask.Set(2, 0, 128);
    EXPECT_EQ(Call(NilPlaneFillCol, TArgs("NilPlaneFillCol").O(1, &P.R).O(2, &Mask.R).T(3, "200")).R2,
              (TRect{1, 0, 3, 0}));
    // ((255 - m) d + m c + 255) shr 8: (127 x 100 + 128 x 200 + 255) shr 8 = 150.
    EXPECT_EQ((std::vector<int>{*P.At(0, 0), *P.At(1, 0), *P.At(2, 0), *P.At(3, 0)}),
              (std::vector<int>{100, 200, 150, 100}));
    EXPECT_EQ(Call(NilPlaneFillCol, TArgs("NilPlaneFillCol").O(1, &P.R).T(3, "abc")).Code, 0x10003);
    Call(NilPlaneFillCol, TArgs("NilPlaneFillCol").O(1, &P.R).T(3, "9"));
    EXPECT_EQ(*P.At(0, 0) + *P.At(3, 0), 18);
    TPic Pic(24, 4, 1, 0, 0);
    TPic Bump(8, 4, 1);
    const uint8_t M[] = {0, 127, 200, 255};
    for (int X = 0; X < 4; ++X) {
        Pic.Set(X, 0, 100, 50, 200);
        Bump.Set(X, 0, M[X]);
    }
    TListRecPict Store(nullptr);
    TArgs E = TArgs("NilPictureFillColEmboss").O(1, &Pic.R).O(2, &Bump.R).T(3, "255").T(4, "1056816"); // 0x102030
    EXPECT_EQ(Call(NilPictureFillColEmboss, E).Code, 5);
    EXPECT_EQ(Call(NilPictureFillColEmboss, E.Store(&Store)).R2, (TRect{0, 0, 3, 0}));
    // Weight 254 towards red (0, 0, 255), none, 146 towards (16, 32, 48), 256 becoming 255.
    EXPECT_EQ((std::vector<TBgr>{Pic.Bgr(0, 0), Pic.Bgr(1, 0), Pic.Bgr(2, 0), Pic.Bgr(3, 0)}),
              (std::vector<TBgr>{{1, 1, 254}, {100, 50, 200}, {52, 40, 113}, {16, 32, 48}}));
    TPic D(24, 2, 1, 0, 0);
    D.Set(0, 0, 10, 20, 30);
    D.Set(1, 0, 10, 20, 30);
    TPic S(24, 2, 1, 1, 0);
    S.Set(1, 0, 200, 100, 0);
    TArgs A = TArgs("NilPictureMerge").O(1, &D.R).O(2, &S.R).T(4, "通常").T(5, "50");
    EXPECT_EQ(Call(NilPictureMerge, A, true).R2, (TRect{1, 0, 1, 0}));
    EXPECT_EQ(D.Bgr(1, 0), (TBgr{10, 20, 30})); // measuring paints nothing
    EXPECT_EQ(Call(NilPictureMerge, A).Code, 0);
    // Opacity 127, one rounding.
    EXPECT_EQ((std::vector<TBgr>{D.Bgr(0, 0), D.Bgr(1, 0)}), (std::vector<TBgr>{{10, 20, 30}, {105, 60, 15}}));
    TPic Grey(8, 2, 1, 0, 0, 200);
    TPic One(8, 1, 1, 0, 0, 255);
    EXPECT_EQ(Call(NilPictureMergePlane, TArgs("NilPictureMergePlane").O(1, &D.R).O(2, &Grey.R).O(3, &One.R)).R2,
              (TRect{0, 0, 0, 0}));
    EXPECT_EQ((std::vector<TBgr>{D.Bgr(0, 0), D.Bgr(1, 0)}), (std::vector<TBgr>{{200, 200, 200}, {105, 60, 15}}));
    EXPECT_EQ(Call(NilPictureMergePlane, TArgs("NilPictureMergePlane").O(1, &D.R)).Code, 2);
    TPic PD(8, 3, 1, 0, 0, 40);
    TPic PS(8, 1, 1, 1, 0, 90);
    auto PlaneMerge = [&](const char* Flag, const char* NoExec) {
        TArgs A = TArgs("NilPlaneMerge").O(1, &PD.R).O(2, &PS.R).T(6, NoExec).T(7, "Yes");
        return Call(NilPlaneMerge, Flag ? A.T(5, Flag) : A);
    };
    EXPECT_EQ(PlaneMerge("0", "No").R2, (TRect{1, 0, 1, 0}));
    PlaneMerge("5", "No");
    PlaneMerge(nullptr, "Yes");
    EXPECT_EQ(*PD.At(0, 0) + *PD.At(1, 0), 80);
    PlaneMerge("1FFFFFF", "No"); // clears the rest of the destination
    EXPECT_EQ((std::vector<int>{*PD.At(0, 0), *PD.At(1, 0), *PD.At(2, 0)}), (std::vector<int>{0, 90, 0}));
}

TEST_F(PaintFunctionsFill, FillWithoutPathAndNothingMethods)
{
    TPic P(8, 5, 4, 10, 20, 1);
    TArgs A = TArgs("NilPlanePaintFill2").O(1, &P.R).T(3, "100").T(6, "0");
    TRun N = Call(NilPlanePaintFill2, A);
    EXPECT_EQ(std::pair(N.R1, N.R2), std::pair(Empty, TRect{12, 21, 12, 21})); // the centre of (10, 20, 14, 23)
    EXPECT_EQ(*P.At(10, 20), 1);
    TPic Neg(8, 2, 2, -5, -5);
    EXPECT_EQ(Call(NilPlanePaintFill2, TArgs("NilPlanePaintFill2").O(1, &Neg.R).T(3, "1").T(6, "5")).R2,
              (TRect{-4, -4, -4, -4})); // halves toward zero
    TPic Away(8, 1, 1, 100, 100, 255);
    EXPECT_EQ(Call(NilPlanePaintFill2, TArgs(A).O(2, &Away.R)).R2, Empty);
    EXPECT_EQ(Call(NilPlanePaintFill2, TArgs("NilPlanePaintFill2").O(1, &P.R).T(6, "1")).Code, 3);
    EXPECT_EQ(Call(NilPlanePaintFill2, TArgs("NilPlanePaintFill2").O(1, &P.R).T(3, "1")).Code, 6);
    // Density 5 is the method text "1050505": every byte of the colour is 5.
    TArgs Col = TArgs("NilPlanePaintFillCol").O(1, &P.R).T(3, "100").T(6, "5");
    EXPECT_EQ(Call(NilPlanePaintFillCol, Col).R2, (TRect{10, 20, 14, 23}));
    EXPECT_EQ(*P.At(10, 20) + *P.At(14, 23), 10);
    Call(NilPlanePaintFillCol100, TArgs("NilPlanePaintFillCol100").O(1, &P.R).T(3, "100").T(6, "50"));
    EXPECT_EQ(*P.At(12, 22), 128); // 127.5 rounded
    EXPECT_EQ(Call(NilPlanePaintFillCol, Col.T(6, "x")).Code, 0x10006);
    // A mask limits the fill; a mask that misses reports the destination's corner.
    TPic Mask(8, 2, 1, 13, 20);
    Mask.Set(13, 20, 255);
    EXPECT_EQ(Call(NilPlanePaintFill2, TArgs(A).T(6, "1C8C8C8").O(2, &Mask.R)).R2, (TRect{13, 20, 14, 20}));
    EXPECT_EQ((std::vector<int>{*P.At(12, 20), *P.At(13, 20), *P.At(14, 20)}), (std::vector<int>{128, 200, 128}));
    EXPECT_EQ(Call(NilPlanePaintFill2, TArgs(A).T(6, "1C8C8C8").O(2, &Away.R)).R2, (TRect{10, 20, 10, 20}));
}

TEST_F(PaintFunctionsFill, FillAlongPath)
{
    const TrecPath Sq = RectPath(103, 202, 113, 212);
    auto Fill = [&](TPic& P, const char* Opacity) {
        return TArgs("NilPicturePaintFill2").O(1, &P.R).T(3, Opacity).O(4, &Sq).T(5, "1,0,1.00").T(6, "1405080")
            .T(7, "塗りつぶし").T(8, "No").T(9, "通常");
    };
    // Straight into the destination, or through a plane of the path at
    // opacity 127; reported with the margin, pen width 1 + 3.
    TPic Fast(24, 16, 14, 100, 200), Slow(24, 16, 14, 100, 200), Measured(24, 16, 14, 100, 200);
    EXPECT_EQ(Call(NilPicturePaintFill2, Fill(Fast, "100")).R2, (TRect{99, 198, 117, 216}));
    EXPECT_EQ(Call(NilPicturePaintFill2, Fill(Slow, "50")).R2, (TRect{99, 198, 117, 216}));
    for (int32_t Y = 200; Y < 214; ++Y)
        for (int32_t X = 100; X < 116; ++X) {
            const bool In = X >= 103 && X < 113 && Y >= 202 && Y < 212;
            ASSERT_EQ(Fast.Bgr(X, Y), In ? (TBgr{0x40, 0x50, 0x80}) : (TBgr{0, 0, 0}));
            ASSERT_EQ(Slow.Bgr(X, Y), In ? (TBgr{32, 40, 64}) : (TBgr{0, 0, 0}));
        }
    EXPECT_EQ(Call(NilPicturePaintFill2, Fill(Measured, "50"), true).R2, (TRect{99, 198, 117, 216}));
    EXPECT_EQ(Measured.Bgr(105, 205), (TBgr{0, 0, 0}));
    // The outer half of the outline never clears the destination's inside.
    TPic Outer(8, 30, 30, 0, 0, 50);
    const TrecPath Big = RectPath(5, 5, 25, 25);
    TArgs O = TArgs("NilPlanePaintFill2").O(1, &Outer.R).T(3, "100").O(4, &Big).T(5, "4,0,10.00").T(6, "1C8C8C8");
    EXPECT_EQ(Call(NilPlanePaintFill2, O.T(7, "線(外側)").T(8, "No")).R2, (TRect{-2, -2, 32, 32}));
    EXPECT_EQ((std::vector<int>{*Outer.At(2, 15), *Outer.At(3, 15), *Outer.At(4, 15), *Outer.At(5, 15),
                                *Outer.At(15, 15)}),
              (std::vector<int>{50, 200, 200, 50, 50}));
}

TEST_F(PaintFunctionsFill, APathWithoutAPenLaysTheFillOverItsBoundsThroughTheGivenMask)
{
    // Black to white from left to right over the path's bounds, columns 4..7.
    const std::string Method = "200000255,1,0,8192,16384,8192,2,0,0,1023,16777215,0";
    const TrecPath Path = RectPath(4, 0, 7, 0);
    struct Case { const char* Pen; std::vector<int> Columns; };
    // An empty pen is no pen: nothing is drawn, the mask stays (column 0 is
    // masked out), and columns past the bounds take the gradation's end.
    for (const Case& C : std::vector<Case>{{"", {100, 0, 255, 255}}, {nullptr, {100, 0, 255, 255}}}) {
        TPic P(24, 12, 1, 0, 0, 0x646464);
        TPic Mask(8, 12, 1, 0, 0, 255);
        Mask.Set(0, 0, 0);
        TArgs A = TArgs("NilPicturePaintFill2").O(1, &P.R).O(2, &Mask.R).T(3, "100").O(4, &Path).T(6, Method)
                      .T(7, "塗りつぶし").T(8, "No").T(9, "通常");
        if (C.Pen)
            A.T(5, C.Pen);
        EXPECT_EQ(Call(NilPicturePaintFill2, A).Code, 0);
        EXPECT_EQ((std::vector<int>{P.Bgr(0, 0)[0], P.Bgr(4, 0)[0], P.Bgr(8, 0)[0], P.Bgr(10, 0)[0]}), C.Columns)
            << (C.Pen ? "empty pen" : "no pen");
    }
}

TEST_F(PaintFunctionsFill, GradationAndPictureFills)
{
    TPic P(24, 3, 2, 0, 0);
    Call(NilPicturePaintFill2, TArgs("NilPicturePaintFill2").O(1, &P.R).T(3, "100")
                                   .T(6, "200000255,1,0,8192,16384,8192,1,0,255,0,0,0,100,0,100"));
    EXPECT_EQ(P.Bgr(2, 1), (TBgr{0, 0, 255})); // one red stop, opaque
    // A missing picture: a 16 x 16 board of 8-pixel cells centred on the area,
    // placed at 7 - 8, so its cell edges fall on columns and rows 7 and 15.
    TPic Board(24, 16, 16, 0, 0);
    Call(NilPicturePaintFill2, TArgs("NilPicturePaintFill2").O(1, &Board.R).T(3, "100").T(6, "411,0,0,0,0,0,-1,0,0"));
    const TBgr Light{192, 192, 192}, White{255, 255, 255};
    for (const auto& [X, Y, C] : {std::tuple{0, 0, Light}, {6, 6, Light}, {7, 0, White}, {0, 7, White}, {7, 7, Light},
                                  {15, 0, Light}})
        EXPECT_EQ(Board.Bgr(X, Y), C) << X << "," << Y;
    TListRecPict Store(nullptr);
    TrecPicture Stored;
    AllocPlaneRecord(Stored, TPoint{}, 2, 2, 24, false);
    const uint8_t Colors[4][3] = {{10, 0, 0}, {20, 0, 0}, {30, 0, 0}, {0, 0, 255}}; // (0,0) (1,0) (0,1) (1,1)
    for (int I = 0; I < 4; ++I)
        std::memcpy(RecPictureGetPixelPtr(Stored, I % 2, I / 2), Colors[I], 3);
    const int32_t H = Store.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, Stored, "");
    auto Text = [&](int W, int OX) {
        return "411," + std::to_string(OX) + ",0," + std::to_string(W) + "," + std::to_string(W) + ",0," +
               std::to_string(H) + ",0,0";
    };
    auto FillWith = [&](TPic& Into, int W, int OX) {
        return TArgs("NilPicturePaintFill2").O(1, &Into.R).T(3, "100").T(6, Text(W, OX)).Store(&Store);
    };
    // Same size, no angle: the stored picture tiled with its centre on the area's.
    TPic T(24, 4, 4, 0, 0);
    Call(NilPicturePaintFill2, FillWith(T, 2, 1));
    // Offset 1: column 1 shows the picture's column 0.
    EXPECT_EQ((std::vector<int>{T.Bgr(1, 0)[0], T.Bgr(0, 0)[0], T.Bgr(2, 0)[0], T.Bgr(1, 3)[0]}),
              (std::vector<int>{10, 20, 20, 30}));
    // Another size: scaled by pixel repetition, turned by 0 over the area and kept as derived.
    TPic Big(24, 8, 8, 0, 0);
    Call(NilPicturePaintFill2, FillWith(Big, 4, 0));
    const int32_t Count = Store.Items().Count();
    int32_t Derived = -1;
    ASSERT_NE(Store.FindByCondition(H, 4, 4, 0.0, 0, TPoint{}, 8, 8, &Derived), nullptr);
    for (int32_t Y = 0; Y < 8; ++Y)
        for (int32_t X = 0; X < 8; ++X)
            ASSERT_EQ(Big.Bgr(X, Y)[0], Colors[(X % 4) / 2 + 2 * ((Y % 4) / 2)][0]) << X << "," << Y;
    TPic Moved(24, 8, 8, 50, 60);
    Call(NilPicturePaintFill2, FillWith(Moved, 4, 0));
    EXPECT_EQ(Store.Items().Count(), Count); // reused, placed on the new area
    EXPECT_EQ(std::memcmp(Moved.R.pBits, Big.R.pBits, size_t(RecPictureGetImageSize(Big.R))), 0);
    // A plane takes the picture as grey: (1225 R + 2404 G + 467 B) shr 12.
    TPic Plane(8, 4, 4, 0, 0);
    Call(NilPlanePaintFill2, TArgs("NilPlanePaintFill2").O(1, &Plane.R).T(3, "100").T(6, Text(2, 0)).Store(&Store));
    EXPECT_EQ(*Plane.At(1, 1), 76); // red 255
    EXPECT_EQ(*Plane.At(0, 0), 1);  // blue 10
}

TEST_F(PaintFunctionsFill, PathGradations)
{
    const TrecPath Sq = RectPath(5, 5, 15, 15);
    auto Grad = [&](const char* Name, TPic& P, const char* In, const char* Out) {
        return TArgs(Name).O(1, &P.R).T(3, "100").O(4, &Sq).T(5, "6,0,10.00").T(6, In).T(7, Out).T(8, "1").T(9, "No");
    };
    // Plane: 255 outside to 0 inside over three steps is limited to 255, 254, 253.
    TPic P(8, 20, 20);
    EXPECT_EQ(Call(NilPlaneDrawPathGradation, Grad("NilPlaneDrawPathGradation", P, "0", "255")).R2,
              (TRect{2, 2, 18, 18}));
    const int Row[] = {0, 0, 255, 254, 253, 253, 254, 255, 0};
    for (int X = 0; X < 9; ++X)
        EXPECT_EQ(*P.At(X, 10), Row[X]) << X;
    // Picture: blue at the edge, red on the centre line, the middle step between.
    TPic C(24, 20, 20);
    Call(NilPictureDrawPathGradation, Grad("NilPictureDrawPathGradation", C, "255", "16711680"));
    EXPECT_EQ((std::vector<TBgr>{C.Bgr(2, 10), C.Bgr(3, 10), C.Bgr(4, 10)}),
              (std::vector<TBgr>{{255, 0, 0}, {127, 0, 128}, {0, 0, 255}}));
    // Half opacity through a mask over columns 0..2.
    TPic H(24, 20, 20);
    TPic Mask(8, 3, 20, 0, 0, 255);
    Call(NilPictureDrawPathGradation,
         Grad("NilPictureDrawPathGradation", H, "255", "16711680").T(3, "50").O(2, &Mask.R));
    EXPECT_EQ((std::vector<TBgr>{H.Bgr(2, 10), H.Bgr(3, 10)}), (std::vector<TBgr>{{127, 0, 0}, {0, 0, 0}}));
    TPic Q(8, 20, 20);
    const TArgs G = Grad("NilPlaneDrawPathGradation", Q, "0", "255");
    EXPECT_EQ(Call(NilPlaneDrawPathGradation, G, true).R2, (TRect{2, 2, 18, 18}));
    const uint8_t Abort = 1;
    EXPECT_EQ(Call(NilPlaneDrawPathGradation, G, false, &Abort).Code, 0);
    EXPECT_EQ(*Q.At(2, 10), 0); // neither measuring nor an abort paints
    EXPECT_EQ(Call(NilPlaneDrawPathGradation, TArgs(G).Nil(8)).Code, 8);
    EXPECT_EQ(Call(NilPlaneDrawPathGradation, TArgs(G).T(8, "g")).Code, 0x10008);
}
