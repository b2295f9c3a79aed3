#include "paint/paint_functions_filter.h"

#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/rec_path.h"
#include "foundation/user_error.h"
#include "model/store/picture_store.h"
#include "paint/light_set.h"
#include "paint/paint_function_table.h"
#include "paint/picture_cache.h"
#include "raster/bmp_filter.h"
#include "raster/light_records.h"
#include "raster/tone_filters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <limits>
#include <string>
#include <vector>

namespace {

constexpr TRect cEmpty{-1, -1, -2, -2};

// A plane or picture owned by the test.
struct TPic {
    TrecPicture R;
    TPic(int32_t Left, int32_t Top, int32_t W, int32_t H, int32_t Bits, bool Measure = false)
    {
        EXPECT_EQ(AllocPlaneRecord(R, TPoint{Left, Top}, W, H, Bits, Measure), 0);
    }
    TPic(const TPic&) = delete;
    TPic& operator=(const TPic&) = delete;
    ~TPic() { RecPictureClear(R); }

    uint8_t* Px(int32_t X, int32_t Y) const { return RecPictureGetPixelPtr(R, X, Y); }
    uint8_t& At(int32_t X, int32_t Y) const { return *Px(X, Y); }
    int32_t W() const { return RecPictureHeader(R)->biWidth; }
    int32_t H() const { return RecPictureHeader(R)->biHeight; }
    int32_t Bytes() const { return RecPictureHeader(R)->biBitCount / 8; }
    template <class F>
    void Each(F&& Fn) const
    {
        for (int32_t Y = R.iTop; Y < R.iTop + H(); ++Y)
            for (int32_t X = R.iLeft; X < R.iLeft + W(); ++X)
                Fn(X, Y, Px(X, Y));
    }
    void Fill(uint8_t V) const
    {
        Each([&](int32_t, int32_t, uint8_t* P) { std::memset(P, V, static_cast<size_t>(Bytes())); });
    }
    std::vector<uint8_t> Image() const
    {
        return {R.pBits, R.pBits + RecPictureGetImageSize(R)};
    }
    void CopyFrom(const TPic& O) const
    {
        std::memcpy(R.pBits, O.R.pBits, static_cast<size_t>(RecPictureGetImageSize(R)));
    }
};

// The argument array of one call: one slot per parameter and the store.
struct TArgs {
    std::vector<void*> V;
    std::deque<std::string> Texts;
    explicit TArgs(const char* Name)
        : V(static_cast<size_t>(PaintFunctionTable()[FindPaintFunction(Name)].ParamCount) + 1, nullptr)
    {
    }
    TArgs& T(int32_t N, const std::string& Text) { return O(N, Texts.emplace_back(Text).data()); }
    TArgs& O(int32_t N, void* Object)
    {
        V[static_cast<size_t>(N - 1)] = Object;
        return *this;
    }
    TArgs& Store(void* S) { return O(static_cast<int32_t>(V.size()), S); }
};

struct TRun {
    int32_t Code = -1;
    TRect R1{7, 7, 7, 7};
    TRect R2{7, 7, 7, 7};
    void* Result = reinterpret_cast<void*>(1);
};

TRun Call(TPaintFunctionEntry F, TArgs& A, bool Measure = false, const uint8_t* Abort = nullptr)
{
    TRun R;
    R.Code = F(R.Result, A.V.data(), Abort, R.R1, R.R2, Measure);
    return R;
}

void ExpectRect(const TRect& R, int32_t L, int32_t T, int32_t Rt, int32_t B)
{
    EXPECT_EQ(R, (TRect{L, T, Rt, B}));
}

} // namespace

// ---------------------------------------------------------------------------
// Binding, codes and rectangles shared by the functions

TEST(PaintFunctionsFilter, MissingArgumentsAreReportedFirst)
{
    {
        TArgs A("NilPlaneContBright");
        const TRun R = Call(NilPlaneContBright, A);
        EXPECT_EQ(R.Code, 1);
        EXPECT_EQ(R.Result, nullptr);
        EXPECT_EQ(R.R1, cEmpty);
        EXPECT_EQ(R.R2, cEmpty);
    }
    TPic P(0, 0, 2, 2, 8);
    {
        TArgs A("NilPlaneLevel");
        A.O(1, &P.R).T(3, "0").T(4, "255").T(6, "0").T(7, "255");
        EXPECT_EQ(Call(NilPlaneLevel, A).Code, 5); // the gamma
    }
    {
        TArgs A("NilPictureHLS");
        A.O(1, &P.R).T(3, "0").T(4, "0").T(5, "0");
        EXPECT_EQ(Call(NilPictureHLS, A).Code, 6); // HLS needs its colourise choice
        TPic C(0, 0, 2, 2, 24);
        TArgs B("NilPictureHSI");
        B.O(1, &C.R).T(3, "0").T(4, "0").T(5, "0");
        EXPECT_EQ(Call(NilPictureHSI, B).Code, 0);
    }
    {
        TArgs A("NilPictureLight");
        A.O(1, &P.R);
        EXPECT_EQ(Call(NilPictureLight, A).Code, 4);
    }
    {
        // The bump plane is optional; the depth is not.
        TArgs A("NilPictureGlass1");
        A.O(1, &P.R).T(5, "No");
        EXPECT_EQ(Call(NilPictureGlass1, A).Code, 4);
    }
}

TEST(PaintFunctionsFilter, NumbersAreRefusedWhenUnreadableOrTooLow)
{
    TPic P(0, 0, 2, 1, 8);
    P.At(0, 0) = 10;
    P.At(1, 0) = 20;
    const auto Before = P.Image();
    auto Cont = [&](const char* Contrast, const char* Bright, const char* Average) {
        TArgs A("NilPlaneContBright");
        A.O(1, &P.R).T(3, Contrast).T(4, Bright).T(5, Average);
        return Call(NilPlaneContBright, A).Code;
    };
    EXPECT_EQ(Cont("abc", "0", "0"), 0x10003);
    EXPECT_EQ(Cont("100", "", "0"), 0x10004);
    EXPECT_EQ(Cont("100", "-1000", "0"), 0x10004);
    EXPECT_EQ(Cont("100", "0", "1.5"), 0x10005);
    EXPECT_EQ(P.Image(), Before);
    // The lowest accepted value still works: brightness -999 makes everything 0.
    EXPECT_EQ(Cont("100", "-999", "0"), 0);
    EXPECT_EQ(P.At(0, 0), 0);
    EXPECT_EQ(P.At(1, 0), 0);
}

TEST(PaintFunctionsFilter, WorkAreaIsTheOverlapWithTheMask)
{
    TPic P(10, 20, 4, 3, 8);
    P.Fill(40);
    TPic M(12, 21, 5, 5, 8);
    M.Fill(255);
    auto Invert = [&](TPic* Mask, bool Measure) {
        TArgs A("NilPlaneFilterNoParam");
        A.O(1, &P.R).T(3, "反転");
        if (Mask)
            A.O(2, &Mask->R);
        return Call(NilPlaneFilterNoParam, A, Measure);
    };
    TRun R = Invert(nullptr, true);
    EXPECT_EQ(R.Code, 0);
    EXPECT_EQ(R.R1, cEmpty);
    ExpectRect(R.R2, 10, 20, 13, 22);
    EXPECT_EQ(P.At(10, 20), 40); // measuring paints nothing

    R = Invert(&M, false);
    EXPECT_EQ(R.Code, 0);
    ExpectRect(R.R2, 12, 21, 13, 22);
    EXPECT_EQ(P.At(11, 21), 40);
    EXPECT_EQ(P.At(12, 20), 40);
    // ((255 - m) v + m (255 - v) + 255) >> 8 at m = 255: (255 x 215 + 255) >> 8
    EXPECT_EQ(P.At(12, 21), 215);
    EXPECT_EQ(P.At(13, 22), 215);

    // A mask that misses reports the empty rectangle and paints nothing.
    TPic Far(100, 100, 2, 2, 8);
    Far.Fill(255);
    const auto Before = P.Image();
    R = Invert(&Far, false);
    EXPECT_EQ(R.Code, 0);
    EXPECT_EQ(R.R2, cEmpty);
    EXPECT_EQ(P.Image(), Before);
}

TEST(PaintFunctionsFilter, FacetsKeepAFlatPictureAndTakeAMask)
{
    TPic P(0, 0, 6, 6, 24);
    P.Fill(77);
    TPic M(2, 2, 2, 2, 8);
    M.Fill(128);
    TArgs A("NilPictureFilterNoParam");
    A.O(1, &P.R).O(2, &M.R).T(3, "面を刻む").T(4, "Yes");
    const TRun R = Call(NilPictureFilterNoParam, A);
    EXPECT_EQ(R.Code, 0);
    ExpectRect(R.R2, 2, 2, 3, 3);
    // (128 x 77 + 127 x 77 + 255) >> 8 = 77
    P.Each([](int32_t, int32_t, uint8_t* V) { EXPECT_EQ(V[0], 77); });
}

TEST(PaintFunctionsFilter, RecordsWithoutPixelsAreOnlyMeasured)
{
    TPic Measured(5, 6, 3, 2, 24, true);
    TArgs A("NilPictureFilterSobel");
    A.O(1, &Measured.R);
    const TRun R = Call(NilPictureFilterSobel, A);
    EXPECT_EQ(R.Code, 0);
    ExpectRect(R.R2, 5, 6, 7, 7);
}

// ---------------------------------------------------------------------------
// Tone operations

TEST(PaintFunctionsFilter, ContBrightThroughTheMask)
{
    TPic P(0, 0, 2, 1, 8);
    P.At(0, 0) = 10;
    P.At(1, 0) = 200;
    TPic M(0, 0, 2, 1, 8);
    M.At(0, 0) = 255;
    M.At(1, 0) = 0;
    TArgs A("NilPlaneContBright");
    A.O(1, &P.R).O(2, &M.R).T(3, "0").T(4, "0").T(5, "100").T(6, "No");
    EXPECT_EQ(Call(NilPlaneContBright, A).Code, 0);
    // Contrast 0 flattens to the average: (255 x 100 + 0 x 10 + 255) >> 8 = 100.
    EXPECT_EQ(P.At(0, 0), 100);
    EXPECT_EQ(P.At(1, 0), 200);

    TPic C(0, 0, 1, 1, 24);
    C.Px(0, 0)[0] = 10;
    C.Px(0, 0)[1] = 20;
    C.Px(0, 0)[2] = 30;
    TArgs B("NilPictureContBright");
    B.O(1, &C.R).T(3, "100").T(4, "5").T(5, "0");
    EXPECT_EQ(Call(NilPictureContBright, B).Code, 0);
    EXPECT_EQ(C.Px(0, 0)[0], 15);
    EXPECT_EQ(C.Px(0, 0)[1], 25);
    EXPECT_EQ(C.Px(0, 0)[2], 35);

    // A contrast the operation does not take is its own code.
    TArgs D("NilPictureContBright");
    D.O(1, &C.R).T(3, "201").T(4, "0").T(5, "0");
    EXPECT_EQ(Call(NilPictureContBright, D).Code, FilterResultBadContrast);
}

TEST(PaintFunctionsFilter, LevelAndToneMetal)
{
    TPic P(0, 0, 3, 1, 8);
    P.At(0, 0) = 0;
    P.At(1, 0) = 128;
    P.At(2, 0) = 255;
    TArgs A("NilPlaneLevel");
    A.O(1, &P.R).T(3, "0").T(4, "255").T(5, "2").T(6, "0").T(7, "255");
    EXPECT_EQ(Call(NilPlaneLevel, A).Code, 0);
    EXPECT_EQ(P.At(0, 0), 0);
    EXPECT_EQ(P.At(1, 0), 64); // Trunc((128 / 255)^2 x 255)
    EXPECT_EQ(P.At(2, 0), 255);
    TArgs Bad("NilPlaneLevel");
    Bad.O(1, &P.R).T(3, "0").T(4, "255").T(5, "x").T(6, "0").T(7, "255");
    EXPECT_EQ(Call(NilPlaneLevel, Bad).Code, 0x10005);

    // One wave: the curve through (0, 0), (127, 255), (255, 0).
    TPic T(0, 0, 3, 1, 24);
    T.Px(0, 0)[0] = 0;
    T.Px(1, 0)[0] = 127;
    T.Px(2, 0)[0] = 255;
    TArgs B("NilPictureToneMetal");
    B.O(1, &T.R).T(3, "unreadable"); // reads as the default, one wave
    EXPECT_EQ(Call(NilPictureToneMetal, B).Code, 0);
    EXPECT_EQ(T.Px(0, 0)[0], 0);
    EXPECT_EQ(T.Px(1, 0)[0], 255);
    EXPECT_EQ(T.Px(2, 0)[0], 0);

    // Two waves: (0, 0), (85, 255), (170, 0), (255, 255).
    TPic Q(0, 0, 4, 1, 8);
    Q.At(0, 0) = 0;
    Q.At(1, 0) = 85;
    Q.At(2, 0) = 170;
    Q.At(3, 0) = 255;
    TArgs C("NilPlaneToneMetal");
    C.O(1, &Q.R).T(3, "2");
    EXPECT_EQ(Call(NilPlaneToneMetal, C).Code, 0);
    EXPECT_EQ(Q.At(0, 0), 0);
    EXPECT_EQ(Q.At(1, 0), 255);
    EXPECT_EQ(Q.At(2, 0), 0);
    EXPECT_EQ(Q.At(3, 0), 255);

    // Wave counts whose curve has no points or repeats x leave the plane.
    for (const char* Waves : {"-5", "-1", "300"}) {
        const auto Before = Q.Image();
        TArgs D("NilPlaneToneMetal");
        D.O(1, &Q.R).T(3, Waves);
        EXPECT_EQ(Call(NilPlaneToneMetal, D).Code, 0);
        EXPECT_EQ(Q.Image(), Before) << Waves;
    }
}

TEST(PaintFunctionsFilter, ColourShifts)
{
    TPic Grey(0, 0, 1, 1, 24);
    Grey.Fill(128);
    TArgs A("NilPictureYCbCr");
    A.O(1, &Grey.R).T(3, "100").T(4, "0").T(5, "0").T(6, "No");
    EXPECT_EQ(Call(NilPictureYCbCr, A).Code, 0);
    for (int K = 0; K < 3; ++K)
        EXPECT_EQ(Grey.Px(0, 0)[K], 255);

    // The colour models need three bytes a pixel: a plane is refused by the
    // operation and left alone.
    TPic Plane(0, 0, 1, 1, 8);
    Plane.Fill(50);
    TArgs B("NilPictureHSI");
    B.O(1, &Plane.R).T(3, "120").T(4, "0").T(5, "0").T(6, "Yes");
    EXPECT_EQ(Call(NilPictureHSI, B).Code, FilterResultBadPicture);
    EXPECT_EQ(Plane.At(0, 0), 50);
}

TEST(PaintFunctionsFilter, CloudsAreLaidThroughTheMask)
{
    TPic Free(0, 0, 4, 4, 8);
    TArgs A("NilPlaneCloud");
    A.O(1, &Free.R).T(3, "128").T(4, "100").T(5, "50");
    RandomSeed = 77;
    EXPECT_EQ(Call(NilPlaneCloud, A).Code, 0);

    // The same seed, the same texture, laid only where the mask is set.
    TPic P(0, 0, 4, 4, 8);
    P.Fill(9);
    TPic M(1, 1, 2, 2, 8);
    M.Fill(255);
    M.At(2, 2) = 0;
    TArgs B("NilPlaneCloud");
    B.O(1, &P.R).O(2, &M.R).T(3, "128").T(4, "100").T(5, "50");
    RandomSeed = 77;
    const TRun R = Call(NilPlaneCloud, B);
    EXPECT_EQ(R.Code, 0);
    ExpectRect(R.R2, 1, 1, 2, 2);
    P.Each([&](int32_t X, int32_t Y, uint8_t* V) {
        const bool Masked = X >= 1 && X <= 2 && Y >= 1 && Y <= 2 && !(X == 2 && Y == 2);
        const int32_t Expected = Masked ? (255 * Free.At(X, Y) + 0 * 9 + 255) >> 8 : 9;
        EXPECT_EQ(*V, Expected) << X << "," << Y;
    });
}

TEST(PaintFunctionsFilter, NoiseBindsItsChoices)
{
    TPic P(0, 0, 5, 5, 24);
    P.Fill(100);
    TArgs A("NilPictureNoise");
    A.O(1, &P.R).T(3, "白黒").T(4, "均等").T(5, "1000").T(6, "50");
    EXPECT_EQ(Call(NilPictureNoise, A).Code, 0);
    // Impulse noise in black and white: whole pixels of 0 or 255.
    P.Each([](int32_t, int32_t, uint8_t* V) {
        EXPECT_TRUE(V[0] == 0 || V[0] == 255);
        EXPECT_EQ(V[1], V[0]);
        EXPECT_EQ(V[2], V[0]);
    });
    TArgs B("NilPlaneNoise");
    B.O(1, &P.R).T(3, "白黒").T(4, "均等").T(5, "10");
    EXPECT_EQ(Call(NilPlaneNoise, B).Code, 6);
}

TEST(PaintFunctionsFilter, LightEdgeCases)
{
    TPic P(0, 0, 4, 4, 24);
    P.Fill(100);
    TPic Bump(2, 2, 5, 5, 8);
    const auto Before = P.Image();
    auto Light = [&](const char* Text, bool Measure = false) {
        TArgs A("NilPictureLight");
        A.O(1, &P.R).O(3, &Bump.R).T(4, Text);
        return Call(NilPictureLight, A, Measure);
    };
    EXPECT_EQ(Light("").Code, 1);
    EXPECT_EQ(Light("no light here").Code, 0x10004);
    // A set without lights paints nothing and succeeds.
    const TRun R = Light("50,FFFFFF80,20,0,0,");
    EXPECT_EQ(R.Code, 0);
    EXPECT_EQ(R.R1, cEmpty);
    ExpectRect(R.R2, 2, 2, 3, 3); // destination, mask and bump
    EXPECT_EQ(P.Image(), Before);
    // One red ambient light lights the picture; measuring does not.
    EXPECT_EQ(Light("50,FFFFFF80,20,0,1,1,AFF0000100,0,", true).Code, 0);
    EXPECT_EQ(P.Image(), Before);
    EXPECT_EQ(Light("50,FFFFFF80,20,0,1,1,AFF0000100,0,").Code, 0);
    EXPECT_NE(P.Image(), Before);
}

TEST(PaintFunctionsFilter, LightBindsPathReflectionAndQuality)
{
    const std::string Text = "50,FFFFFF80,20,0,1,1,P00FF00100,1,0.2,0.3,0.5,0.5,";
    TPic Src(0, 0, 6, 6, 24);
    Src.Each([](int32_t X, int32_t Y, uint8_t* V) {
        V[0] = static_cast<uint8_t>(X * 30);
        V[1] = static_cast<uint8_t>(Y * 30);
        V[2] = 90;
    });
    TPic Bump(0, 0, 6, 6, 8);
    Bump.Each([](int32_t X, int32_t Y, uint8_t* V) { *V = static_cast<uint8_t>((X + Y) * 20); });
    TPic Mask(0, 0, 6, 6, 8);
    Mask.Fill(255);
    TrecPath Path;
    RecPolyLineSetCount(Path, 2);
    Path.Points[0] = TPoint{-10, -10};
    Path.Points[1] = TPoint{20, 30};
    Path.pabType = {PT_MOVETO, PT_LINETO};
    RecPathCalcBounds(Path);

    // The reflection picture sits in the store; the reflectance counts.
    TListRecPict Store(nullptr);
    TrecPicture Refl;
    ASSERT_EQ(AllocPlaneRecord(Refl, TPoint{}, 3, 3, 24, false), 0);
    for (int64_t I = 0; I < RecPictureGetImageSize(Refl); ++I)
        Refl.pBits[I] = static_cast<uint8_t>(I * 23);
    const int32_t Handle = Store.AddPicture(-1, 0, 0, 0.0, TPoint{}, 0, 0, 0, Refl, "");
    const std::string ReflText = "411,0,0,3,3,0," + std::to_string(Handle) + ",0,0";

    TPic P(0, 0, 6, 6, 24);
    P.CopyFrom(Src);
    TArgs A("NilPictureLight");
    A.O(1, &P.R).O(2, &Mask.R).O(3, &Bump.R).T(4, Text).O(5, &Path).T(6, ReflText).T(7, "40").T(8, "きれい");
    A.Store(&Store);
    ASSERT_EQ(Call(NilPictureLight, A).Code, 0);

    TPic Expected(0, 0, 6, 6, 24);
    Expected.CopyFrom(Src);
    TLightsAmb Lights;
    ASSERT_TRUE(StrToLights(Lights, Text));
    const uint8_t Quality = 2;
    TListRecPictItem* Item = Store.GetItemByHandle(Handle);
    ASSERT_NE(Item, nullptr);
    ASSERT_EQ(RecPictureFilter(7, Expected.R, &Mask.R, static_cast<const void*>(&Lights),
                               static_cast<const void*>(&Bump.R), static_cast<const void*>(&Item->Picture), 40,
                               static_cast<const void*>(&Path.Bounds), static_cast<const void*>(&Quality)),
              0);
    EXPECT_EQ(P.Image(), Expected.Image());

    // Without a store there is no reflection picture to find.
    TPic P2(0, 0, 6, 6, 24);
    P2.CopyFrom(Src);
    A.O(1, &P2.R).Store(nullptr);
    ASSERT_EQ(Call(NilPictureLight, A).Code, 0);
    TPic Expected2(0, 0, 6, 6, 24);
    Expected2.CopyFrom(Src);
    ASSERT_EQ(RecPictureFilter(7, Expected2.R, &Mask.R, static_cast<const void*>(&Lights),
                               static_cast<const void*>(&Bump.R), static_cast<const void*>(nullptr), 0,
                               static_cast<const void*>(&Path.Bounds), static_cast<const void*>(&Quality)),
              0);
    EXPECT_EQ(P2.Image(), Expected2.Image());
}

// ---------------------------------------------------------------------------
// Size filters

namespace {

TRun SizeFilter(TPic& P, const char* Type, const char* Size, const char* Passes = "1",
                TPic* Mask = nullptr, bool Measure = false)
{
    TArgs A("NilPlaneFilterSize");
    A.O(1, &P.R).T(3, Type).T(4, Size).T(5, Passes).T(6, "No");
    if (Mask)
        A.O(2, &Mask->R);
    return Call(P.Bytes() == 1 ? NilPlaneFilterSize : NilPictureFilterSize, A, Measure);
}

// 3 x 3 plane, 0 everywhere but V in the centre.
void Spot(TPic& P, uint8_t V)
{
    P.Fill(0);
    P.At(1, 1) = V;
}

} // namespace

TEST(PaintFunctionsFilter, FilterSizeMeanMaximumMinimum)
{
    TPic P(0, 0, 3, 3, 8);
    // Mean over the 3 x 3 circle: each window holds the centre once, 9 div 9.
    Spot(P, 9);
    EXPECT_EQ(SizeFilter(P, "平均", "1").Code, 0);
    P.Each([](int32_t, int32_t, uint8_t* V) { EXPECT_EQ(*V, 1); });

    Spot(P, 200);
    EXPECT_EQ(SizeFilter(P, "最大", "1").Code, 0);
    P.Each([](int32_t, int32_t, uint8_t* V) { EXPECT_EQ(*V, 200); });
    Spot(P, 200);
    EXPECT_EQ(SizeFilter(P, "最小", "1").Code, 0);
    P.Each([](int32_t, int32_t, uint8_t* V) { EXPECT_EQ(*V, 0); });

    // A negative size turns maximum and minimum into each other.
    Spot(P, 200);
    EXPECT_EQ(SizeFilter(P, "最大", "-1").Code, 0);
    P.Each([](int32_t, int32_t, uint8_t* V) { EXPECT_EQ(*V, 0); });
    Spot(P, 200);
    EXPECT_EQ(SizeFilter(P, "最小", "-1").Code, 0);
    P.Each([](int32_t, int32_t, uint8_t* V) { EXPECT_EQ(*V, 200); });

    // Twice the mean: 1 everywhere, then 1 again.
    Spot(P, 9);
    EXPECT_EQ(SizeFilter(P, "平均", "1", "2").Code, 0);
    EXPECT_EQ(P.At(0, 0), 1);

    // The circular maximum takes planes only; its code is passed up.
    TPic C(0, 0, 3, 3, 24);
    C.Fill(5);
    EXPECT_EQ(SizeFilter(C, "最大", "1").Code, 3);
}

TEST(PaintFunctionsFilter, FilterSizeRefusalsAndEmptyRuns)
{
    TPic P(3, 4, 3, 3, 8);
    P.Fill(0);
    P.At(4, 5) = 9;
    const auto Before = P.Image();
    for (const char* Type : {"ガウス", "平均", "中央値", "油絵"})
        EXPECT_EQ(SizeFilter(P, Type, "-2").Code, 0x10004) << Type;
    EXPECT_EQ(SizeFilter(P, "平均", "wide").Code, 0x10004);
    EXPECT_EQ(SizeFilter(P, "平均", "1", "many").Code, 0); // the default, one pass
    EXPECT_NE(P.Image(), Before);
    P.Fill(0);
    P.At(4, 5) = 9;

    // Nothing to do: both rectangles empty, the plane untouched.
    for (const auto& [Size, Passes] : {std::pair{"0", "1"}, std::pair{"2", "0"}}) {
        const TRun R = SizeFilter(P, "平均", Size, Passes);
        EXPECT_EQ(R.Code, 0);
        EXPECT_EQ(R.R1, cEmpty);
        EXPECT_EQ(R.R2, cEmpty);
    }
    EXPECT_EQ(P.Image(), Before);
    const TRun M = SizeFilter(P, "平均", "1", "1", nullptr, true);
    ExpectRect(M.R2, 3, 4, 5, 6);
    EXPECT_EQ(P.Image(), Before);
}

TEST(PaintFunctionsFilter, FilterSizeMaskOfAnotherSize)
{
    // A 1 x 1 mask over the centre: the mean is weighted in there only.
    TPic P(0, 0, 3, 3, 8);
    Spot(P, 9);
    TPic M(1, 1, 1, 1, 8);
    M.Fill(255);
    const TRun R = SizeFilter(P, "平均", "1", "1", &M);
    EXPECT_EQ(R.Code, 0);
    ExpectRect(R.R2, 1, 1, 1, 1);
    P.Each([](int32_t X, int32_t Y, uint8_t* V) {
        // (255 x 1 + 0 x 9 + 255) >> 8 = 1 in the centre
        EXPECT_EQ(*V, X == 1 && Y == 1 ? 1 : 0) << X << "," << Y;
    });
}

TEST(PaintFunctionsFilter, FilterSizeMedianGaussOil)
{
    // Window side 3, the rank above the middle: the 6th smallest of 0..8.
    TPic P(0, 0, 3, 3, 8);
    const uint8_t Values[9] = {7, 2, 5, 0, 8, 1, 6, 3, 4};
    for (int32_t I = 0; I < 9; ++I)
        P.At(I % 3, I / 3) = Values[I];
    EXPECT_EQ(SizeFilter(P, "中央値", "3").Code, 0);
    EXPECT_EQ(P.At(1, 1), 5);

    // The median refuses a mask by itself; here it goes through a copy.
    for (int32_t I = 0; I < 9; ++I)
        P.At(I % 3, I / 3) = Values[I];
    TPic M(1, 1, 1, 1, 8);
    M.Fill(255);
    EXPECT_EQ(SizeFilter(P, "中央値", "3", "1", &M).Code, 0);
    EXPECT_EQ(P.At(1, 1), (255 * 5 + 0 * 8 + 255) >> 8);
    EXPECT_EQ(P.At(0, 0), 7);

    // Gaussian: the blur of that radius.
    TPic G(0, 0, 5, 4, 24);
    G.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = V[1] = V[2] = static_cast<uint8_t>(X * 50 + Y); });
    TPic E(0, 0, 5, 4, 24);
    E.CopyFrom(G);
    EXPECT_EQ(SizeFilter(G, "ガウス", "2").Code, 0);
    BMPGaussBlur8(E.R, nullptr, 0, 2.0);
    EXPECT_EQ(G.Image(), E.Image());

    // Oil painting leaves a picture narrower than 3 pixels alone.
    TPic O(0, 0, 2, 8, 24);
    O.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = static_cast<uint8_t>(X + 8 * Y); });
    const auto Before = O.Image();
    EXPECT_EQ(SizeFilter(O, "油絵", "5").Code, 0);
    EXPECT_EQ(O.Image(), Before);
}

// ---------------------------------------------------------------------------
// Emboss, directional blur, Sobel, diffusion

namespace {

TRun Emboss(TPic& P, const char* Size, const char* Percent, const char* Lo = nullptr,
            const char* Hi = nullptr)
{
    TArgs A("NilPlaneFilterEmboss");
    A.O(1, &P.R).T(3, Size).T(4, "0").T(5, Percent);
    if (Lo)
        A.T(7, Lo);
    if (Hi)
        A.T(8, Hi);
    return Call(NilPlaneFilterEmboss, A);
}

void Row3(TPic& P)
{
    P.At(0, 0) = 10;
    P.At(1, 0) = 50;
    P.At(2, 0) = 100;
}

} // namespace

TEST(PaintFunctionsFilter, EmbossGainOffsetAndLimits)
{
    // Size 3 at 0 degrees: right neighbour minus left one, plus 128.
    TPic P(0, 0, 3, 1, 8);
    Row3(P);
    EXPECT_EQ(Emboss(P, "3", "100").Code, 0);
    EXPECT_EQ(P.At(0, 0), 168); // 50 - 10 + 128, the left edge repeated
    EXPECT_EQ(P.At(1, 0), 218); // 100 - 10 + 128
    EXPECT_EQ(P.At(2, 0), 178); // 100 - 50 + 128
    // Half the gain: 256 x 40 div 512 + 128.
    Row3(P);
    EXPECT_EQ(Emboss(P, "3.2", "50").Code, 0);
    EXPECT_EQ(P.At(0, 0), 148);
    // The results limited to 0..200.
    Row3(P);
    EXPECT_EQ(Emboss(P, "3", "100", "0", "200").Code, 0);
    EXPECT_EQ(P.At(0, 0), 168);
    EXPECT_EQ(P.At(1, 0), 200);
    EXPECT_EQ(P.At(2, 0), 178);
    // An unreadable size is the default -1: no kernel, nothing changes.
    Row3(P);
    EXPECT_EQ(Emboss(P, "?", "100").Code, 0);
    EXPECT_EQ(P.At(1, 0), 50);
    EXPECT_EQ(Emboss(P, "3", "0").Code, 0);
    EXPECT_EQ(P.At(1, 0), 50);
}

TEST(PaintFunctionsFilter, GradateMoveAlongARow)
{
    // Length 3 at 0 degrees: weights 2112, 4096, 2112 (sum 8320).
    TPic P(0, 0, 5, 1, 8);
    P.Fill(0);
    P.At(2, 0) = 90;
    TArgs A("NilPlaneFilterGradateMove");
    A.O(1, &P.R).T(3, "3").T(4, "0");
    EXPECT_EQ(Call(NilPlaneFilterGradateMove, A).Code, 0);
    EXPECT_EQ(P.At(0, 0), 0);
    EXPECT_EQ(P.At(1, 0), 22); // 90 x 2112 div 8320
    EXPECT_EQ(P.At(2, 0), 44); // 90 x 4096 div 8320
    EXPECT_EQ(P.At(3, 0), 22);
    EXPECT_EQ(P.At(4, 0), 0);
    TArgs B("NilPlaneFilterGradateMove");
    B.O(1, &P.R).T(3, "").T(4, "0");
    EXPECT_EQ(Call(NilPlaneFilterGradateMove, B).Code, 0x10003);
}

TEST(PaintFunctionsFilter, SobelWithAndWithoutMask)
{
    TPic P(0, 0, 3, 3, 24);
    P.Fill(60);
    TArgs A("NilPictureFilterSobel");
    A.O(1, &P.R);
    EXPECT_EQ(Call(NilPictureFilterSobel, A).Code, 0);
    P.Each([](int32_t, int32_t, uint8_t* V) { EXPECT_EQ(V[0], 255); });

    // Through a mask, by way of a copy: only the masked pixel turns white.
    P.Fill(60);
    TPic M(2, 0, 1, 1, 8);
    M.Fill(255);
    A.O(2, &M.R);
    const TRun R = Call(NilPictureFilterSobel, A);
    EXPECT_EQ(R.Code, 0);
    ExpectRect(R.R2, 2, 0, 2, 0);
    P.Each([](int32_t X, int32_t Y, uint8_t* V) { EXPECT_EQ(V[1], X == 2 && Y == 0 ? 255 : 60); });
}

TEST(PaintFunctionsFilter, DiffuseModesPassesAndAbort)
{
    TPic Src(0, 0, 6, 5, 8);
    Src.Each([](int32_t X, int32_t Y, uint8_t* V) { *V = static_cast<uint8_t>((X * 37 + Y * 91) % 256); });
    auto Diffuse = [&](TPic& P, const char* Mode, const char* Passes, const uint8_t* Abort = nullptr) {
        TArgs A("NilPlaneFilterDiffuse");
        A.O(1, &P.R).T(3, Mode).T(4, Passes).T(5, "No");
        return Call(NilPlaneFilterDiffuse, A, false, Abort).Code;
    };
    TPic P(0, 0, 6, 5, 8);
    P.CopyFrom(Src);
    EXPECT_EQ(Diffuse(P, "薄く", "3"), 0);
    P.Each([&](int32_t X, int32_t Y, uint8_t* V) { EXPECT_LE(*V, Src.At(X, Y)); });
    P.CopyFrom(Src);
    EXPECT_EQ(Diffuse(P, "濃く", "3"), 0);
    P.Each([&](int32_t X, int32_t Y, uint8_t* V) { EXPECT_GE(*V, Src.At(X, Y)); });

    // Two passes are two runs of the filter from the same seed.
    P.CopyFrom(Src);
    RandomSeed = 5;
    EXPECT_EQ(Diffuse(P, "通常", "2"), 0);
    TPic E(0, 0, 6, 5, 8);
    E.CopyFrom(Src);
    RandomSeed = 5;
    for (int I = 0; I < 2; ++I)
        BMPBufFilter(1, E.R.pBIHeader, E.R.pBits, nullptr, 3, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0);
    EXPECT_EQ(P.Image(), E.Image());

    const uint8_t Stop = 1;
    P.CopyFrom(Src);
    EXPECT_EQ(Diffuse(P, "通常", "4", &Stop), 0);
    EXPECT_EQ(P.Image(), Src.Image());
}

// ---------------------------------------------------------------------------
// Glass

TEST(PaintFunctionsFilter, GlassReportsTheWholePageFirst)
{
    TPic P(0, 0, 4, 4, 24);
    P.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = V[1] = V[2] = static_cast<uint8_t>(X * 60 + Y); });
    const auto Before = P.Image();
    TPic Bump(0, 0, 4, 4, 16);
    Bump.Fill(0x40); // flat: nothing moves
    TPic Mask(1, 2, 8, 8, 8);
    Mask.Fill(255);
    TArgs A("NilPictureGlass1");
    A.O(1, &P.R).O(2, &Mask.R).O(3, &Bump.R).T(4, "50").T(5, "No");
    TRun R = Call(NilPictureGlass1, A);
    EXPECT_EQ(R.Code, 0);
    constexpr int32_t Lo = std::numeric_limits<int32_t>::min();
    constexpr int32_t Hi = std::numeric_limits<int32_t>::max();
    ExpectRect(R.R1, Lo, Lo, Hi, Hi);
    ExpectRect(R.R2, 1, 2, 3, 3);
    EXPECT_EQ(P.Image(), Before);
    // Users of the first rectangle must take its size in 64 bits, and its
    // overlap with a picture is that picture.
    EXPECT_EQ(int64_t{R.R1.Right} - R.R1.Left + 1, int64_t{1} << 32);
    TRect Clip = R.R1;
    ASSERT_TRUE(RectIntersect(Clip, TRect{0, 0, 3, 3}));
    ExpectRect(Clip, 0, 0, 3, 3);

    // Without a bump plane, and when measuring, the glass moves nothing.
    A.O(3, nullptr);
    R = Call(NilPictureGlass1, A);
    EXPECT_EQ(R.Code, 0);
    ExpectRect(R.R1, Lo, Lo, Hi, Hi);
    EXPECT_EQ(P.Image(), Before);
}

TEST(PaintFunctionsFilter, GlassBindsDepthWrapAndMask)
{
    TPic Src(0, 0, 6, 6, 24);
    Src.Each([](int32_t X, int32_t Y, uint8_t* V) {
        V[0] = static_cast<uint8_t>(X * 40);
        V[1] = static_cast<uint8_t>(Y * 40);
        V[2] = 7;
    });
    TPic Bump(0, 0, 6, 6, 16);
    Bump.Each([](int32_t X, int32_t Y, uint8_t* V) {
        const uint16_t S = static_cast<uint16_t>((X * X + Y) * 1500);
        std::memcpy(V, &S, 2);
    });
    TPic Mask(0, 0, 6, 6, 8);
    Mask.Each([](int32_t X, int32_t, uint8_t* V) { *V = static_cast<uint8_t>(X * 50); });

    TPic P(0, 0, 6, 6, 24);
    P.CopyFrom(Src);
    TArgs A("NilPictureGlass1");
    A.O(1, &P.R).O(2, &Mask.R).O(3, &Bump.R).T(4, "x").T(5, "Yes"); // depth: the default 25
    EXPECT_EQ(Call(NilPictureGlass1, A).Code, 0);

    TPic E(0, 0, 6, 6, 24);
    E.CopyFrom(Src);
    TPic Copy(0, 0, 6, 6, 24);
    Copy.CopyFrom(Src);
    BMPAllBufFilter(0, E.R, Copy.R, &Mask.R, 1, Bump.R, 25);
    EXPECT_EQ(P.Image(), E.Image());
    EXPECT_NE(P.Image(), Src.Image());
}

// ---------------------------------------------------------------------------
// Stained glass

namespace {

TArgs Stained(const char* Name, TrecPicture& P, const char* Corners, const char* Size,
              const char* LineWidth)
{
    TArgs A(Name);
    A.O(1, &P).T(3, Corners).T(4, Size).T(5, LineWidth).T(10, "No").T(11, "No");
    return A;
}

} // namespace

TEST(PaintFunctionsFilter, StainedGlassRectangularCells)
{
    // Cells of 4 start at the area's corner; each takes its centre (2, 2).
    TPic P(0, 0, 8, 8, 8);
    P.Each([](int32_t X, int32_t Y, uint8_t* V) { *V = static_cast<uint8_t>(X * 10 + Y); });
    TArgs A = Stained("NilPlaneStainedGlass", P.R, "4", "4", "0");
    EXPECT_EQ(Call(NilPlaneStainedGlass, A).Code, 0);
    P.Each([](int32_t X, int32_t Y, uint8_t* V) {
        EXPECT_EQ(*V, (X / 4 * 4 + 2) * 10 + (Y / 4 * 4 + 2)) << X << "," << Y;
    });

    // Pictures keep the byte order of the sampled pixel; offsets move the cells.
    TPic C(10, 10, 4, 4, 24);
    C.Each([](int32_t X, int32_t Y, uint8_t* V) {
        V[0] = static_cast<uint8_t>(X);
        V[1] = static_cast<uint8_t>(Y);
        V[2] = 99;
    });
    TArgs B = Stained("NilPictureStainedGlass", C.R, "4", "2", "0");
    B.T(8, "1").T(9, "1");
    EXPECT_EQ(Call(NilPictureStainedGlass, B).Code, 0);
    // Cell [11, 13) x [11, 13) takes pixel (12, 12), cell [9, 11) pixel 10;
    // cell [13, 15) has its centre 14 outside and takes the edge column 13.
    EXPECT_EQ(C.Px(11, 12)[0], 12);
    EXPECT_EQ(C.Px(11, 12)[1], 12);
    EXPECT_EQ(C.Px(11, 12)[2], 99);
    EXPECT_EQ(C.Px(10, 10)[0], 10);
    EXPECT_EQ(C.Px(10, 10)[1], 10);
    EXPECT_EQ(C.Px(13, 10)[0], 13);
}

TEST(PaintFunctionsFilter, StainedGlassEdgeCases)
{
    TPic P(0, 0, 6, 6, 8);
    P.Each([](int32_t X, int32_t, uint8_t* V) { *V = static_cast<uint8_t>(X * 40); });
    const auto Before = P.Image();
    {
        TArgs A = Stained("NilPlaneStainedGlass", P.R, "4", "5", "1");
        A.T(10, "Yes");
        try {
            Call(NilPlaneStainedGlass, A);
            ADD_FAILURE() << "no error";
        } catch (const EUserError& E) {
            EXPECT_STREQ(E.what(), "MakeRectPoint: boolLoop Not Implememt");
        }
        // Measuring builds no lattice, so it does not refuse.
        EXPECT_EQ(Call(NilPlaneStainedGlass, A, true).Code, 0);
    }
    for (const char* Size : {"0", "-3"}) {
        TArgs A = Stained("NilPlaneStainedGlass", P.R, "4", Size, "1");
        const TRun R = Call(NilPlaneStainedGlass, A);
        EXPECT_EQ(R.Code, 0);
        ExpectRect(R.R2, 0, 0, 5, 5);
    }
    EXPECT_EQ(P.Image(), Before);
    TArgs Missing("NilPlaneStainedGlass");
    Missing.O(1, &P.R).T(3, "4").T(4, "5");
    EXPECT_EQ(Call(NilPlaneStainedGlass, Missing).Code, 5);
}

TEST(PaintFunctionsFilter, StainedGlassHexagonsLinesAndMask)
{
    // Hexagonal cells over two halves take one of the two values each.
    TPic P(0, 0, 20, 12, 8);
    P.Each([](int32_t X, int32_t, uint8_t* V) { *V = X < 10 ? 0 : 200; });
    TArgs A = Stained("NilPlaneStainedGlass", P.R, "6", "4", "0");
    RandomSeed = 3;
    A.T(7, "30");
    EXPECT_EQ(Call(NilPlaneStainedGlass, A).Code, 0);
    bool Dark = false, Light = false;
    P.Each([&](int32_t, int32_t, uint8_t* V) {
        EXPECT_TRUE(*V == 0 || *V == 200);
        Dark |= *V == 0;
        Light |= *V == 200;
    });
    EXPECT_TRUE(Dark && Light);

    // Lines in "線の色" (its low byte on a plane) over a flat plane, inside the mask only.
    TPic Q(0, 0, 12, 12, 8);
    Q.Fill(10);
    TPic M(0, 0, 6, 12, 8);
    M.Fill(255);
    TArgs B = Stained("NilPlaneStainedGlass", Q.R, "4", "4", "2");
    B.O(2, &M.R).T(6, "16777215");
    const TRun R = Call(NilPlaneStainedGlass, B);
    EXPECT_EQ(R.Code, 0);
    ExpectRect(R.R2, 0, 0, 5, 11);
    int32_t Lines = 0;
    Q.Each([&](int32_t X, int32_t, uint8_t* V) {
        if (X >= 6)
            EXPECT_EQ(*V, 10);
        else
            Lines += *V > 10;
    });
    EXPECT_GT(Lines, 0);
    EXPECT_EQ(Q.At(2, 2), 10); // a cell's middle stays the cell's colour
}
