#include "paint/paint_functions_filter.h"

#include "foundation/geometry.h"
#include "foundation/numbers.h"
#include "foundation/rec_path.h"
#include "foundation/user_error.h"
#include "store/picture_store.h"
#include "paint/light_set.h"
#include "paint/paint_function_entries.h"
#include "paint/paint_function_table.h"
#include "paint/picture_cache.h"
#include "platform/test_support.h"
#include "raster/bmp_filter.h"
#include "raster/light_records.h"
#include "raster/tone_filters.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace {

constexpr TRect cEmpty{-1, -1, -2, -2};
using TBytes = std::vector<uint8_t>;

// A plane or picture owned by the test.
struct TPic {
    TrecPicture R;
    TPic(int32_t Left, int32_t Top, int32_t W, int32_t H, int32_t Bits, bool Measure = false)
    {
        EXPECT_EQ(AllocPlaneRecord(R, TPoint{Left, Top}, W, H, Bits, Measure), 0);
    }
    ~TPic() { RecPictureClear(R); }
    uint8_t* Px(int32_t X, int32_t Y) const { return RecPictureGetPixelPtr(R, X, Y); }
    uint8_t& At(int32_t X, int32_t Y) const { return *Px(X, Y); }
    template <class F>
    void Each(F&& Fn) const
    {
        const BITMAPINFOHEADER* H = RecPictureHeader(R);
        for (int32_t Y = R.iTop; Y < R.iTop + H->biHeight; ++Y)
            for (int32_t X = R.iLeft; X < R.iLeft + H->biWidth; ++X)
                Fn(X, Y, Px(X, Y));
    }
    void Fill(uint8_t V) const
    {
        Each([&](int32_t, int32_t, uint8_t* P) { std::memset(P, V, RecPictureHeader(R)->biBitCount / 8u); });
    }
    void Row(int32_t Y, std::initializer_list<uint8_t> Values) const // from the left edge
    {
        std::memcpy(Px(R.iLeft, Y), Values.begin(), Values.size());
    }
    TBytes Bytes(int32_t X, int32_t Y, size_t N = 3) const { return {Px(X, Y), Px(X, Y) + N}; }
    TBytes Image() const { return {R.pBits, R.pBits + RecPictureGetImageSize(R)}; }
    void CopyFrom(const TPic& O) const
    {
        std::memcpy(R.pBits, O.R.pBits, static_cast<size_t>(RecPictureGetImageSize(R)));
    }
};

// One call of the table's function Name: a slot per parameter, numbered from
// 1, and the store; the first is the picture worked on.
struct TArgs {
    const char* Name;
    std::vector<void*> V;
    std::vector<std::shared_ptr<std::string>> Texts; // shared, so copies keep pointing at live texts
    TArgs(const char* N, const TPic* P = nullptr)
        : Name(N), V(static_cast<size_t>(PaintFunctionTable()[FindPaintFunction(N)].ParamCount) + 1, nullptr)
    {
        if (P)
            O(1, &P->R);
    }
    TArgs& T(int32_t N, const std::string& Text)
    {
        return O(N, Texts.emplace_back(std::make_shared<std::string>(Text))->data());
    }
    TArgs& O(int32_t N, const void* Object)
    {
        V[static_cast<size_t>(N - 1)] = const_cast<void*>(Object);
        return *this;
    }
    TArgs& Mask(const TPic& M) { return O(2, &M.R); }
    TArgs& Store(void* S) { return O(static_cast<int32_t>(V.size()), S); }
};

struct TRun {
    int32_t Code = -1;
    TRect R1{7, 7, 7, 7}, R2{7, 7, 7, 7};
    void* Result = reinterpret_cast<void*>(1);
    std::tuple<int32_t, TRect, TRect> All() const { return {Code, R1, R2}; }
};

TRun Call(const TArgs& A, bool Measure = false, const uint8_t* Abort = nullptr)
{
    TRun R;
    R.Code = PaintFunctionEntry(A.Name)(R.Result, A.V.data(), Abort, R.R1, R.R2, Measure);
    return R;
}

TRun SizeFilter(TPic& P, const char* Type, const char* Size, const char* Passes = "1", TPic* Mask = nullptr,
                bool Measure = false)
{
    const bool Plane = RecPictureHeader(P.R)->biBitCount == 8;
    TArgs A = TArgs(Plane ? "NilPlaneFilterSize" : "NilPictureFilterSize", &P).T(3, Type).T(4, Size).T(5, Passes);
    return Call(Mask ? A.Mask(*Mask).T(6, "No") : A.T(6, "No"), Measure);
}

// 3 x 3 plane, 0 everywhere but V in the centre.
void Spot(TPic& P, uint8_t V)
{
    P.Fill(0);
    P.At(1, 1) = V;
}

TArgs Stained(const TPic& P, const char* Corners, const char* Size, const char* LineWidth)
{
    return TArgs(RecPictureHeader(P.R)->biBitCount == 8 ? "NilPlaneStainedGlass" : "NilPictureStainedGlass", &P)
        .T(3, Corners).T(4, Size).T(5, LineWidth).T(10, "No").T(11, "No");
}

} // namespace

TEST(PaintFunctionsFilter, MissingArgumentsComeFirstAndNumbersAreRefused)
{
    const TRun R = Call(TArgs("NilPlaneContBright"));
    EXPECT_EQ(R.All(), std::tuple(1, cEmpty, cEmpty));
    EXPECT_EQ(R.Result, nullptr);
    TPic P(0, 0, 2, 2, 8), C(0, 0, 2, 2, 24);
    EXPECT_EQ(Call(TArgs("NilPlaneLevel", &P).T(3, "0").T(4, "255").T(6, "0").T(7, "255")).Code, 5); // the gamma
    // HLS needs its colourise choice, HSI does not.
    EXPECT_EQ(Call(TArgs("NilPictureHLS", &P).T(3, "0").T(4, "0").T(5, "0")).Code, 6);
    EXPECT_EQ(Call(TArgs("NilPictureHSI", &C).T(3, "0").T(4, "0").T(5, "0")).Code, 0);
    EXPECT_EQ(Call(TArgs("NilPictureLight", &P)).Code, 4);
    // The bump plane is optional; the depth is not.
    EXPECT_EQ(Call(TArgs("NilPictureGlass1", &P).T(5, "No")).Code, 4);
    TPic Q(0, 0, 2, 1, 8);
    Q.Row(0, {10, 20});
    const TBytes Before = Q.Image();
    auto Cont = [&](const char* Contrast, const char* Bright, const char* Average) {
        return Call(TArgs("NilPlaneContBright", &Q).T(3, Contrast).T(4, Bright).T(5, Average)).Code;
    };
    EXPECT_EQ(Cont("abc", "0", "0"), 0x10003);
    EXPECT_EQ(Cont("100", "", "0"), 0x10004);
    EXPECT_EQ(Cont("100", "-1000", "0"), 0x10004);
    EXPECT_EQ(Cont("100", "0", "1.5"), 0x10005);
    EXPECT_EQ(Q.Image(), Before);
    // The lowest accepted value still works: brightness -999 makes everything 0.
    EXPECT_EQ(Cont("100", "-999", "0"), 0);
    EXPECT_EQ(Q.Bytes(0, 0, 2), (TBytes{0, 0}));
}

TEST(PaintFunctionsFilter, WorkAreaIsTheOverlapWithTheMask)
{
    TPic P(10, 20, 4, 3, 8), M(12, 21, 5, 5, 8), Far(100, 100, 2, 2, 8);
    P.Fill(40);
    M.Fill(255);
    Far.Fill(255);
    const TArgs Invert = TArgs("NilPlaneFilterNoParam", &P).T(3, "反転");
    EXPECT_EQ(Call(Invert, true).All(), std::tuple(0, cEmpty, TRect{10, 20, 13, 22}));
    EXPECT_EQ(P.At(10, 20), 40); // measuring paints nothing
    EXPECT_EQ(Call(TArgs(Invert).Mask(M)).R2, (TRect{12, 21, 13, 22}));
    // ((255 - m) v + m (255 - v) + 255) >> 8 at m = 255: (255 x 215 + 255) >> 8
    EXPECT_EQ((TBytes{P.At(11, 21), P.At(12, 20), P.At(12, 21), P.At(13, 22)}), (TBytes{40, 40, 215, 215}));
    // A mask that misses reports the empty rectangle and paints nothing.
    const TBytes Before = P.Image();
    EXPECT_EQ(Call(TArgs(Invert).Mask(Far)).All(), std::tuple(0, cEmpty, cEmpty));
    EXPECT_EQ(P.Image(), Before);
    // A record without pixels is only measured.
    TPic Measured(5, 6, 3, 2, 24, true);
    EXPECT_EQ(Call(TArgs("NilPictureFilterSobel", &Measured)).All(), std::tuple(0, cEmpty, TRect{5, 6, 7, 7}));
}

TEST(PaintFunctionsFilter, ToneOperations)
{
    TPic P(0, 0, 2, 1, 8), M(0, 0, 2, 1, 8), C(0, 0, 1, 1, 24);
    P.Row(0, {10, 200});
    M.Row(0, {255, 0});
    EXPECT_EQ(Call(TArgs("NilPlaneContBright", &P).Mask(M).T(3, "0").T(4, "0").T(5, "100").T(6, "No")).Code, 0);
    // Contrast 0 flattens to the average: (255 x 100 + 0 x 10 + 255) >> 8 = 100.
    EXPECT_EQ(P.Bytes(0, 0, 2), (TBytes{100, 200}));
    C.Row(0, {10, 20, 30});
    EXPECT_EQ(Call(TArgs("NilPictureContBright", &C).T(3, "100").T(4, "5").T(5, "0")).Code, 0);
    EXPECT_EQ(C.Bytes(0, 0), (TBytes{15, 25, 35}));
    // A contrast the operation does not take is its own code.
    EXPECT_EQ(Call(TArgs("NilPictureContBright", &C).T(3, "201").T(4, "0").T(5, "0")).Code, FilterResultBadContrast);
    C.Fill(128);
    EXPECT_EQ(Call(TArgs("NilPictureYCbCr", &C).T(3, "100").T(4, "0").T(5, "0").T(6, "No")).Code, 0);
    EXPECT_EQ(C.Bytes(0, 0), (TBytes{255, 255, 255}));
    // The colour models need three bytes a pixel: a plane is refused and left alone.
    EXPECT_EQ(Call(TArgs("NilPictureHSI", &P).T(3, "120").T(4, "0").T(5, "0").T(6, "Yes")).Code,
              FilterResultBadPicture);
    EXPECT_EQ(P.At(0, 0), 100);
    TPic L(0, 0, 3, 1, 8), T(0, 0, 3, 1, 24), Q(0, 0, 4, 1, 8);
    L.Row(0, {0, 128, 255});
    TArgs A = TArgs("NilPlaneLevel", &L).T(3, "0").T(4, "255").T(5, "2").T(6, "0").T(7, "255");
    EXPECT_EQ(Call(A).Code, 0);
    EXPECT_EQ(L.Bytes(0, 0), (TBytes{0, 64, 255})); // Trunc((128 / 255)^2 x 255)
    EXPECT_EQ(Call(A.T(5, "x")).Code, 0x10005);
    // One wave, the default: the curve through (0, 0), (127, 255), (255, 0).
    T.Px(1, 0)[0] = 127;
    T.Px(2, 0)[0] = 255;
    EXPECT_EQ(Call(TArgs("NilPictureToneMetal", &T).T(3, "unreadable")).Code, 0);
    EXPECT_EQ((TBytes{T.Px(0, 0)[0], T.Px(1, 0)[0], T.Px(2, 0)[0]}), (TBytes{0, 255, 0}));
    // Two waves: (0, 0), (85, 255), (170, 0), (255, 255). Wave counts whose
    // curve has no points or repeats x leave the plane.
    Q.Row(0, {0, 85, 170, 255});
    for (const char* Waves : {"2", "-5", "-1", "300"}) {
        EXPECT_EQ(Call(TArgs("NilPlaneToneMetal", &Q).T(3, Waves)).Code, 0);
        EXPECT_EQ(Q.Bytes(0, 0, 4), (TBytes{0, 255, 0, 255})) << Waves;
    }
}

TEST(PaintFunctionsFilter, CloudsAndNoise)
{
    TPic Free(0, 0, 4, 4, 8), P(0, 0, 4, 4, 8), M(1, 1, 2, 2, 8), N(0, 0, 5, 5, 24);
    const auto Cloud = [](const TArgs& A) {
        RandomSeed = 77;
        return Call(A);
    };
    EXPECT_EQ(Cloud(TArgs("NilPlaneCloud", &Free).T(3, "128").T(4, "100").T(5, "50")).Code, 0);
    // The same seed, the same texture, laid only where the mask is set.
    P.Fill(9);
    M.Fill(255);
    M.At(2, 2) = 0;
    EXPECT_EQ(Cloud(TArgs("NilPlaneCloud", &P).Mask(M).T(3, "128").T(4, "100").T(5, "50")).R2, (TRect{1, 1, 2, 2}));
    P.Each([&](int32_t X, int32_t Y, uint8_t* V) {
        const bool Masked = X >= 1 && X <= 2 && Y >= 1 && Y <= 2 && !(X == 2 && Y == 2);
        EXPECT_EQ(*V, Masked ? (255 * Free.At(X, Y) + 0 * 9 + 255) >> 8 : 9) << X << "," << Y;
    });
    // Impulse noise in black and white: whole pixels of 0 or 255.
    N.Fill(100);
    EXPECT_EQ(Call(TArgs("NilPictureNoise", &N).T(3, "白黒").T(4, "均等").T(5, "1000").T(6, "50")).Code, 0);
    N.Each([](int32_t, int32_t, uint8_t* V) {
        EXPECT_TRUE((V[0] == 0 || V[0] == 255) && V[1] == V[0] && V[2] == V[0]);
    });
}

TEST(PaintFunctionsFilter, LightCodesSetsAndBindings)
{
    TPic P(0, 0, 4, 4, 24), Small(2, 2, 5, 5, 8);
    P.Fill(100);
    const TBytes Before = P.Image();
    auto Light = [&](const char* Text, bool Measure = false) {
        return Call(TArgs("NilPictureLight", &P).O(3, &Small.R).T(4, Text), Measure);
    };
    EXPECT_EQ(Light("").Code, 1);
    // A set without lights, or a text that yields none, paints nothing and
    // succeeds.
    for (const char* Text : {"50,FFFFFF80,20,0,0,", "no light here"}) {
        EXPECT_EQ(Light(Text).All(), std::tuple(0, cEmpty, TRect{2, 2, 3, 3})) << Text; // picture, mask, bump
        EXPECT_EQ(P.Image(), Before) << Text;
    }
    // One red ambient light lights the picture; measuring does not.
    EXPECT_EQ(Light("50,FFFFFF80,20,0,1,1,AFF0000100,0,", true).Code, 0);
    EXPECT_EQ(P.Image(), Before);
    EXPECT_EQ(Light("50,FFFFFF80,20,0,1,1,AFF0000100,0,").Code, 0);
    EXPECT_NE(P.Image(), Before);
    const std::string Text = "50,FFFFFF80,20,0,1,1,P00FF00100,1,0.2,0.3,0.5,0.5,";
    TPic Src(0, 0, 6, 6, 24), Bump(0, 0, 6, 6, 8), Mask(0, 0, 6, 6, 8);
    Src.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = uint8_t(X * 30), V[1] = uint8_t(Y * 30), V[2] = 90; });
    Bump.Each([](int32_t X, int32_t Y, uint8_t* V) { *V = static_cast<uint8_t>((X + Y) * 20); });
    Mask.Fill(255);
    TrecPath Path;
    RecPolyLineSetCount(Path, 2);
    Path.Points = {TPoint{-10, -10}, TPoint{20, 30}};
    Path.pabType = {PT_MOVETO, PT_LINETO};
    RecPathCalcBounds(Path);
    // The reflection picture sits in the store; the reflectance counts.
    TListRecPict Store(nullptr);
    TrecPicture Refl;
    ASSERT_EQ(AllocPlaneRecord(Refl, TPoint{}, 3, 3, 24, false), 0);
    for (int64_t I = 0; I < RecPictureGetImageSize(Refl); ++I)
        Refl.pBits[I] = static_cast<uint8_t>(I * 23);
    const int32_t Handle = Store.AddPicture(-1, 0, 0, 0.0, TPoint{}, 0, 0, 0, Refl, "");
    TLightsAmb Lights;
    ASSERT_TRUE(StrToLights(Lights, Text));
    const uint8_t Quality = 2;
    // The paint function against the filter it binds, with and without a store.
    for (TListRecPict* S : {&Store, static_cast<TListRecPict*>(nullptr)}) {
        TPic P(0, 0, 6, 6, 24), Expected(0, 0, 6, 6, 24);
        P.CopyFrom(Src);
        Expected.CopyFrom(Src);
        ASSERT_EQ(Call(TArgs("NilPictureLight", &P).Mask(Mask).O(3, &Bump.R).T(4, Text).O(5, &Path)
                           .T(6, "411,0,0,3,3,0," + std::to_string(Handle) + ",0,0").T(7, "40").T(8, "きれい").Store(S))
                      .Code, 0);
        const TrecPicture* Reflection = S ? &Store.GetItemByHandle(Handle)->Picture : nullptr;
        ASSERT_EQ(RecPictureFilter(7, Expected.R, &Mask.R, static_cast<const void*>(&Lights),
                                   static_cast<const void*>(&Bump.R), static_cast<const void*>(Reflection), S ? 40 : 0,
                                   static_cast<const void*>(&Path.Bounds), static_cast<const void*>(&Quality)),
                  0);
        EXPECT_EQ(P.Image(), Expected.Image()) << (S ? "store" : "no store");
    }
    // A text that breaks off in its second light lights with the first.
    const std::string Light1 = "1,P00FF00100,1,0.2,0.3,0.5,0.5,";
    TPic Cut(0, 0, 6, 6, 24), Whole(0, 0, 6, 6, 24);
    Cut.CopyFrom(Src);
    Whole.CopyFrom(Src);
    for (TPic* Pic : {&Cut, &Whole})
        ASSERT_EQ(Call(TArgs("NilPictureLight", Pic).O(3, &Bump.R)
                           .T(4, (Pic == &Cut ? "50,FFFFFF80,20,0,2," + Light1 + "9,BFF" : "50,FFFFFF80,20,0,1," + Light1)))
                      .Code, 0);
    EXPECT_EQ(Cut.Image(), Whole.Image());
    EXPECT_NE(Cut.Image(), Src.Image());
}

// Nothing lies outside a plane: a shrink by 2 empties every pixel within 2 of
// its edge, the 2 x 2 middle of a full 6 x 6 plane keeps its 200. Under a
// mask of 128 over the left half (at 10, 20, where the plane lies) the edge
// becomes (127 x 200 + 255) >> 8 = 100 there and stays 200 on the right.
// Wrapped, the plane has no edge.
TEST(PaintFunctionsFilter, ShrinkingAPlaneEmptiesItsEdge)
{
    TPic P(10, 20, 6, 6, 8), Half(10, 20, 3, 6, 8);
    Half.Fill(128);
    const auto Edge = [](int32_t X, int32_t Y) { return X < 12 || X > 13 || Y < 22 || Y > 23; };
    for (const auto& [Type, Size] : {std::pair{"最小", "2"}, std::pair{"最大", "-2"}}) {
        P.Fill(200);
        ASSERT_EQ(SizeFilter(P, Type, Size).Code, 0);
        P.Each([&](int32_t X, int32_t Y, uint8_t* V) { EXPECT_EQ(*V, Edge(X, Y) ? 0 : 200) << Type << X << Y; });
    }
    P.Fill(200);
    ASSERT_EQ(SizeFilter(P, "最小", "2", "1", &Half).Code, 0);
    P.Each([&](int32_t X, int32_t Y, uint8_t* V) { EXPECT_EQ(*V, X < 13 && Edge(X, Y) ? 100 : 200) << X << Y; });
    P.Fill(200);
    ASSERT_EQ(Call(TArgs("NilPlaneFilterSize", &P).T(3, "最小").T(4, "2").T(5, "1").T(6, "Yes")).Code, 0);
    P.Each([&](int32_t X, int32_t Y, uint8_t* V) { EXPECT_EQ(*V, 200) << X << Y; });
}

TEST(PaintFunctionsFilter, FilterSizeMeanMaximumMinimumMedianGaussOil)
{
    // Mean over the 3 x 3 circle: each window holds the centre once, 9 div 9;
    // twice: 1 everywhere, then 1 again. A negative size turns maximum and
    // minimum into each other.
    struct TCase {
        uint8_t Centre;
        const char *Type, *Size, *Passes;
        uint8_t All;
    };
    const TCase Cases[] = {{9, "平均", "1", "1", 1},    {9, "平均", "1", "2", 1},    {200, "最大", "1", "1", 200},
                           {200, "最小", "1", "1", 0}, {200, "最大", "-1", "1", 0}, {200, "最小", "-1", "1", 200}};
    TPic P(0, 0, 3, 3, 8), C(0, 0, 3, 3, 24);
    for (const TCase& K : Cases) {
        Spot(P, K.Centre);
        EXPECT_EQ(SizeFilter(P, K.Type, K.Size, K.Passes).Code, 0);
        P.Each([&](int32_t X, int32_t Y, uint8_t* V) { EXPECT_EQ(*V, K.All) << K.Type << K.Size << " " << X << Y; });
    }
    // The circular maximum takes planes only; its code is passed up.
    EXPECT_EQ(SizeFilter(C, "最大", "1").Code, 3);
    TPic R(3, 4, 3, 3, 8);
    R.At(4, 5) = 9;
    const TBytes Before = R.Image();
    for (const char* Type : {"ガウス", "平均", "中央値", "油絵"})
        EXPECT_EQ(SizeFilter(R, Type, "-2").Code, 0x10004) << Type;
    EXPECT_EQ(SizeFilter(R, "平均", "wide").Code, 0x10004);
    // Nothing to do: both rectangles empty, the plane untouched.
    for (const auto& [Size, Passes] : {std::pair{"0", "1"}, std::pair{"2", "0"}})
        EXPECT_EQ(SizeFilter(R, "平均", Size, Passes).All(), std::tuple(0, cEmpty, cEmpty));
    EXPECT_EQ(SizeFilter(R, "平均", "1", "1", nullptr, true).R2, (TRect{3, 4, 5, 6}));
    EXPECT_EQ(R.Image(), Before);
    EXPECT_EQ(SizeFilter(R, "平均", "1", "many").Code, 0); // the default, one pass
    EXPECT_NE(R.Image(), Before);
    // A 1 x 1 mask over the centre: the mean is weighted in there only,
    // (255 x 1 + 0 x 9 + 255) >> 8 = 1.
    TPic Q(0, 0, 3, 3, 8), M(1, 1, 1, 1, 8);
    Spot(Q, 9);
    M.Fill(255);
    EXPECT_EQ(SizeFilter(Q, "平均", "1", "1", &M).R2, (TRect{1, 1, 1, 1}));
    Q.Each([](int32_t X, int32_t Y, uint8_t* V) { EXPECT_EQ(*V, X == 1 && Y == 1 ? 1 : 0) << X << "," << Y; });
    // Window side 3, the rank above the middle: the 6th smallest of 0..8. The
    // median refuses a mask by itself; with one it goes through a copy.
    const uint8_t Rows[3][3] = {{7, 2, 5}, {0, 8, 1}, {6, 3, 4}};
    for (TPic* Mask : {static_cast<TPic*>(nullptr), &M}) {
        for (int32_t Y = 0; Y < 3; ++Y)
            std::memcpy(P.Px(0, Y), Rows[Y], 3);
        EXPECT_EQ(SizeFilter(P, "中央値", "3", "1", Mask).Code, 0);
        EXPECT_EQ(P.At(1, 1), Mask ? (255 * 5 + 0 * 8 + 255) >> 8 : 5);
    }
    EXPECT_EQ(P.At(0, 0), 7);
    // Gaussian: the blur of that radius.
    TPic G(0, 0, 5, 4, 24), E(0, 0, 5, 4, 24);
    G.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = V[1] = V[2] = static_cast<uint8_t>(X * 50 + Y); });
    E.CopyFrom(G);
    EXPECT_EQ(SizeFilter(G, "ガウス", "2").Code, 0);
    BMPGaussBlur8(E.R, nullptr, 0, 2.0);
    EXPECT_EQ(G.Image(), E.Image());
    // Oil painting leaves a picture narrower than 3 pixels alone.
    TPic O(0, 0, 2, 8, 24);
    O.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = static_cast<uint8_t>(X + 8 * Y); });
    const TBytes Oil = O.Image();
    EXPECT_EQ(SizeFilter(O, "油絵", "5").Code, 0);
    EXPECT_EQ(O.Image(), Oil);
}

TEST(PaintFunctionsFilter, MaskedMeanFiltersOnlyUnderTheMaskAsTheWholePictureWould)
{
    // The mean under a mask works on the mask's part of the picture and the
    // radius round it; the result is the whole picture's mean weighted by the
    // mask, for masks inside the picture, at its edges and beyond them.
    std::mt19937 G(9);
    struct TCase {
        int32_t Left, Top, W, H;
        const char* Size;
    };
    const TCase Cases[] = {{12, 9, 10, 7, "3"}, {-4, -3, 9, 30, "5"}, {30, 20, 20, 20, "4"}, {1, 1, 40, 30, "2"}};
    for (const int32_t Bits : {8, 24})
        for (const TCase& K : Cases) {
            TPic P(3, 2, 41, 31, Bits), Want(3, 2, 41, 31, Bits), M(K.Left, K.Top, K.W, K.H, 8);
            std::uniform_int_distribution<int> D(0, 255);
            P.Each([&](int32_t, int32_t, uint8_t* V) {
                for (int32_t C = 0; C < Bits / 8; ++C)
                    V[C] = static_cast<uint8_t>(D(G));
            });
            M.Each([&](int32_t X, int32_t, uint8_t* V) { *V = X % 5 == 0 ? 0 : static_cast<uint8_t>(D(G)); });
            Want.CopyFrom(P);
            // The whole picture's mean (through a full mask, which weights
            // nothing and leaves 24-bit results unrounded as a mask does),
            // then the mask weighting.
            TPic Whole(3, 2, 41, 31, Bits), Full(3, 2, 41, 31, 8);
            Whole.CopyFrom(P);
            Full.Fill(255);
            ASSERT_EQ(SizeFilter(Whole, "平均", K.Size, "1", &Full).Code, 0);
            Want.Each([&](int32_t X, int32_t Y, uint8_t* V) {
                if (X < K.Left || Y < K.Top || X >= K.Left + K.W || Y >= K.Top + K.H)
                    return;
                if (const int32_t W = M.At(X, Y); W != 0)
                    for (int32_t C = 0; C < Bits / 8; ++C)
                        V[C] = static_cast<uint8_t>((W * Whole.Px(X, Y)[C] + (255 - W) * V[C] + 255) >> 8);
            });
            ASSERT_EQ(SizeFilter(P, "平均", K.Size, "1", &M).Code, 0);
            EXPECT_EQ(P.Image(), Want.Image()) << Bits << " mask at " << K.Left << "," << K.Top;
        }
}

TEST(PaintFunctionsFilter, EmbossGradateMoveAndSobel)
{
    TPic P(0, 0, 3, 1, 8);
    const auto Emboss = [&](const char* Size, const char* Percent, bool Limits = false) {
        P.Row(0, {10, 50, 100});
        TArgs A = TArgs("NilPlaneFilterEmboss", &P).T(3, Size).T(4, "0").T(5, Percent);
        EXPECT_EQ(Call(Limits ? A.T(7, "0").T(8, "200") : A).Code, 0);
        return P.Bytes(0, 0);
    };
    // Size 3 at 0 degrees: right neighbour minus left one, plus 128, the edges repeated.
    EXPECT_EQ(Emboss("3", "100"), (TBytes{168, 218, 178}));
    EXPECT_EQ(Emboss("3.2", "50")[0], 148); // half the gain: 256 x 40 div 512 + 128
    EXPECT_EQ(Emboss("3", "100", true), (TBytes{168, 200, 178})); // limited to 0..200
    // An unreadable size is the default -1: no kernel, nothing changes; so does gain 0.
    EXPECT_EQ(Emboss("?", "100"), (TBytes{10, 50, 100}));
    EXPECT_EQ(Emboss("3", "0"), (TBytes{10, 50, 100}));
    // Length 3 at 0 degrees: weights 2112, 4096, 2112 (sum 8320); 90 x 2112
    // div 8320 and 90 x 4096 div 8320.
    TPic W(0, 0, 5, 1, 8);
    W.Row(0, {0, 0, 90, 0, 0});
    EXPECT_EQ(Call(TArgs("NilPlaneFilterGradateMove", &W).T(3, "3").T(4, "0")).Code, 0);
    EXPECT_EQ(W.Bytes(0, 0, 5), (TBytes{0, 22, 44, 22, 0}));
    EXPECT_EQ(Call(TArgs("NilPlaneFilterGradateMove", &W).T(3, "").T(4, "0")).Code, 0x10003);
    TPic S(0, 0, 3, 3, 24), M(2, 0, 1, 1, 8);
    S.Fill(60);
    EXPECT_EQ(Call(TArgs("NilPictureFilterSobel", &S)).Code, 0);
    S.Each([](int32_t, int32_t, uint8_t* V) { EXPECT_EQ(V[0], 255); });
    // Through a mask, by way of a copy: only the masked pixel turns white.
    S.Fill(60);
    M.Fill(255);
    EXPECT_EQ(Call(TArgs("NilPictureFilterSobel", &S).Mask(M)).R2, (TRect{2, 0, 2, 0}));
    S.Each([](int32_t X, int32_t Y, uint8_t* V) { EXPECT_EQ(V[1], X == 2 && Y == 0 ? 255 : 60); });
}

TEST(PaintFunctionsFilter, DiffuseModesPassesAndAbort)
{
    TPic Src(0, 0, 6, 5, 8), P(0, 0, 6, 5, 8), E(0, 0, 6, 5, 8);
    Src.Each([](int32_t X, int32_t Y, uint8_t* V) { *V = static_cast<uint8_t>((X * 37 + Y * 91) % 256); });
    auto Diffuse = [&](const char* Mode, const char* Passes, const uint8_t* Abort = nullptr) {
        P.CopyFrom(Src);
        RandomSeed = 5;
        return Call(TArgs("NilPlaneFilterDiffuse", &P).T(3, Mode).T(4, Passes).T(5, "No"), false, Abort).Code;
    };
    EXPECT_EQ(Diffuse("薄く", "3"), 0);
    P.Each([&](int32_t X, int32_t Y, uint8_t* V) { EXPECT_LE(*V, Src.At(X, Y)); });
    EXPECT_EQ(Diffuse("濃く", "3"), 0);
    P.Each([&](int32_t X, int32_t Y, uint8_t* V) { EXPECT_GE(*V, Src.At(X, Y)); });
    // Two passes are two runs of the filter from the same seed.
    EXPECT_EQ(Diffuse("通常", "2"), 0);
    E.CopyFrom(Src);
    RandomSeed = 5;
    for (int I = 0; I < 2; ++I)
        BMPBufFilter(1, E.R.pBIHeader, E.R.pBits, nullptr, 3, nullptr, 0, 0, 0, nullptr, nullptr, 0, 0);
    EXPECT_EQ(P.Image(), E.Image());
    const uint8_t Stop = 1;
    EXPECT_EQ(Diffuse("通常", "4", &Stop), 0);
    EXPECT_EQ(P.Image(), Src.Image());
}

TEST(PaintFunctionsFilter, GlassReportsTheWholePageFirst)
{
    TPic P(0, 0, 4, 4, 24), Bump(0, 0, 4, 4, 16), Mask(1, 2, 8, 8, 8);
    P.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = V[1] = V[2] = static_cast<uint8_t>(X * 60 + Y); });
    const TBytes Before = P.Image();
    Bump.Fill(0x40); // flat: nothing moves
    Mask.Fill(255);
    TArgs A = TArgs("NilPictureGlass1", &P).Mask(Mask).O(3, &Bump.R).T(4, "50").T(5, "No");
    constexpr int32_t Lo = std::numeric_limits<int32_t>::min(), Hi = std::numeric_limits<int32_t>::max();
    // Without a bump plane the glass moves nothing either.
    for (const void* B : {static_cast<const void*>(&Bump.R), static_cast<const void*>(nullptr)}) {
        const TRun R = Call(A.O(3, B));
        EXPECT_EQ(R.All(), std::tuple(0, TRect{Lo, Lo, Hi, Hi}, TRect{1, 2, 3, 3}));
        EXPECT_EQ(P.Image(), Before);
        // Users of the first rectangle must take its size in 64 bits, and its
        // overlap with a picture is that picture.
        EXPECT_EQ(int64_t{R.R1.Right} - R.R1.Left + 1, int64_t{1} << 32);
        TRect Clip = R.R1;
        ASSERT_TRUE(RectIntersect(Clip, TRect{0, 0, 3, 3}));
        EXPECT_EQ(Clip, (TRect{0, 0, 3, 3}));
    }
    // Depth unreadable: the default 25, against the filter it binds.
    TPic Src(0, 0, 6, 6, 24), B(0, 0, 6, 6, 16), M(0, 0, 6, 6, 8);
    TPic Q(0, 0, 6, 6, 24), E(0, 0, 6, 6, 24), C(0, 0, 6, 6, 24);
    Src.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = uint8_t(X * 40), V[1] = uint8_t(Y * 40), V[2] = 7; });
    B.Each([](int32_t X, int32_t Y, uint8_t* V) {
        const uint16_t S = static_cast<uint16_t>((X * X + Y) * 1500);
        std::memcpy(V, &S, 2);
    });
    M.Each([](int32_t X, int32_t, uint8_t* V) { *V = static_cast<uint8_t>(X * 50); });
    for (TPic* T : {&Q, &E, &C})
        T->CopyFrom(Src);
    EXPECT_EQ(Call(TArgs("NilPictureGlass1", &Q).Mask(M).O(3, &B.R).T(4, "x").T(5, "Yes")).Code, 0);
    BMPAllBufFilter(0, E.R, C.R, &M.R, 1, B.R, 25);
    EXPECT_EQ(Q.Image(), E.Image());
    EXPECT_NE(Q.Image(), Src.Image());
}

TEST(PaintFunctionsFilter, StainedGlass)
{
    // Cells of 4 start at the area's corner; each takes its centre (2, 2).
    TPic P(0, 0, 8, 8, 8), C(10, 10, 4, 4, 24);
    P.Each([](int32_t X, int32_t Y, uint8_t* V) { *V = static_cast<uint8_t>(X * 10 + Y); });
    EXPECT_EQ(Call(Stained(P, "4", "4", "0")).Code, 0);
    P.Each([](int32_t X, int32_t Y, uint8_t* V) { EXPECT_EQ(*V, (X / 4 * 4 + 2) * 10 + (Y / 4 * 4 + 2)) << X << Y; });
    // Pictures keep the byte order of the sampled pixel; offsets move the
    // cells: [11, 13) x [11, 13) takes pixel (12, 12), [9, 11) pixel 10, and
    // [13, 15) has its centre 14 outside and takes the edge column 13.
    C.Each([](int32_t X, int32_t Y, uint8_t* V) { V[0] = uint8_t(X), V[1] = uint8_t(Y), V[2] = 99; });
    EXPECT_EQ(Call(Stained(C, "4", "2", "0").T(8, "1").T(9, "1")).Code, 0);
    EXPECT_EQ(C.Bytes(11, 12), (TBytes{12, 12, 99}));
    EXPECT_EQ(C.Bytes(10, 10, 2), (TBytes{10, 10}));
    EXPECT_EQ(C.Px(13, 10)[0], 13);
    TPic S(0, 0, 6, 6, 8);
    S.Each([](int32_t X, int32_t, uint8_t* V) { *V = static_cast<uint8_t>(X * 40); });
    const TBytes Before = S.Image();
    const TArgs Loop = Stained(S, "4", "5", "1").T(10, "Yes");
    EXPECT_EQ(MessageOf<EUserError>([&] { Call(Loop); }), "MakeRectPoint: boolLoop Not Implememt");
    EXPECT_EQ(Call(Loop, true).Code, 0); // measuring builds no lattice
    for (const char* Size : {"0", "-3"})
        EXPECT_EQ(Call(Stained(S, "4", Size, "1")).All(), std::tuple(0, cEmpty, TRect{0, 0, 5, 5}));
    EXPECT_EQ(S.Image(), Before);
    EXPECT_EQ(Call(TArgs("NilPlaneStainedGlass", &S).T(3, "4").T(4, "5")).Code, 5);
    // Hexagonal cells over two halves take one of the two values each.
    TPic H(0, 0, 20, 12, 8);
    H.Each([](int32_t X, int32_t, uint8_t* V) { *V = X < 10 ? 0 : 200; });
    RandomSeed = 3;
    EXPECT_EQ(Call(Stained(H, "6", "4", "0").T(7, "30")).Code, 0);
    int32_t Count[2] = {};
    H.Each([&](int32_t, int32_t, uint8_t* V) {
        EXPECT_TRUE(*V == 0 || *V == 200);
        ++Count[*V == 200];
    });
    EXPECT_TRUE(Count[0] > 0 && Count[1] > 0);
    // Lines in "線の色" (its low byte on a plane) over a flat plane, inside the mask only.
    TPic Q(0, 0, 12, 12, 8), M(0, 0, 6, 12, 8);
    Q.Fill(10);
    M.Fill(255);
    EXPECT_EQ(Call(Stained(Q, "4", "4", "2").Mask(M).T(6, "16777215")).R2, (TRect{0, 0, 5, 11}));
    int32_t Lines = 0;
    Q.Each([&](int32_t X, int32_t, uint8_t* V) {
        EXPECT_TRUE(X < 6 || *V == 10);
        Lines += X < 6 && *V > 10;
    });
    EXPECT_GT(Lines, 0);
    EXPECT_EQ(Q.At(2, 2), 10); // a cell's middle stays the cell's colour
}
