#include "paint/picture_cache.h"

#include "foundation/user_error.h"
#include "platform/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

namespace {

// Every test ends with the global blocks it started with.
class PictureCache : public ::testing::Test {
protected:
    void SetUp() override { Blocks = GlobalBlockCount(); }
    void TearDown() override { EXPECT_EQ(GlobalBlockCount(), Blocks); }
    size_t Blocks = 0;
};

// The rectangle of the header and position; it needs no pixels.
TRect HeaderRect(const TrecPicture& P)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    return TRect{P.iLeft, P.iTop, P.iLeft + H->biWidth - 1, P.iTop + H->biHeight - 1};
}

bool AllZero(const TrecPicture& P)
{
    const int64_t Size = RecPictureGetImageSize(P);
    return Size > 0 && std::all_of(P.pBits, P.pBits + Size, [](uint8_t B) { return B == 0; });
}

} // namespace

TEST_F(PictureCache, AllocPlaneRecords)
{
    TrecPicture P;
    ASSERT_EQ(AllocPlaneRecord(P, TPoint{5, 6}, 10, 20, 8, true), 0);
    TRect R;
    RecPictureGetRect(P, R); // the rectangle of a record without pixels
    EXPECT_EQ(R, (TRect{5, 6, 14, 25}));
    EXPECT_EQ(P.pBits, nullptr);
    ASSERT_NE(P.pBIHeader, nullptr);
    EXPECT_EQ(GlobalSize(P.pBIHeader), 40u);
    // Only width, height and bit count are set.
    BITMAPINFOHEADER Expected{};
    Expected.biWidth = 10;
    Expected.biHeight = 20;
    Expected.biBitCount = 8;
    EXPECT_EQ(std::memcmp(P.pBIHeader, &Expected, 40), 0);
    // A record that already holds pixels is freed and made anew, zero-filled.
    ASSERT_EQ(AllocPlaneRecord(P, TPoint{-3, 4}, 5, 3, 24, false), 0);
    EXPECT_EQ(HeaderRect(P), (TRect{-3, 4, 1, 6}));
    std::memset(P.pBits, 0xAB, static_cast<size_t>(RecPictureGetImageSize(P)));
    ASSERT_EQ(AllocPlaneRecord(P, TPoint{0, 0}, 7, 2, 8, false), 0);
    EXPECT_EQ(RecPictureHeader(P)->biBitCount, 8);
    EXPECT_TRUE(AllZero(P));
    RecPictureClear(P);
    EXPECT_EQ(AllocPlaneRecord(P, TPoint{0, 0}, 0, 5, 8, false), 0x80000);
    EXPECT_EQ(AllocPlaneRecord(P, TPoint{0, 0}, 5, -1, 8, true), 0x80000);
    // About 30 GB of pixels: more than a bitmap can describe.
    EXPECT_EQ(AllocPlaneRecord(P, TPoint{0, 0}, 99999, 99999, 24, false), 0x80000);
    // An empty path's bounds (MaxInt, MinInt) span 1 in 32 bits: left
    // MaxInt - 1, top MaxInt - 2, width 1 + 1 + 3 + 1, height 1 + 2 + 4 + 1;
    // the rectangle wraps round and meets no picture.
    TrecPath Empty;
    for (const bool Measure : {true, false}) {
        ASSERT_EQ(AllocPlaneRecordForPath(P, Empty, 8, Measure, 1, 2, 3, 4), 0);
        EXPECT_EQ(std::tuple(P.iLeft, P.iTop, RecPictureHeader(P)->biWidth, RecPictureHeader(P)->biHeight),
                  std::tuple(2147483646, 2147483645, 6, 8));
        RecPictureGetRect(P, R);
        EXPECT_EQ(R, (TRect{2147483646, 2147483645, -2147483645, -2147483644}));
        EXPECT_EQ(P.pBits == nullptr, Measure);
    }
    EXPECT_TRUE(AllZero(P));
    TrecPath Path;
    Path.Bounds = TRect{10, 20, 30, 25};
    // left 10 - 1, top 20 - 2, width 20 + 1 + 3 + 1, height 5 + 2 + 4 + 1.
    ASSERT_EQ(AllocPlaneRecordForPath(P, Path, 8, true, 1, 2, 3, 4), 0);
    EXPECT_EQ(HeaderRect(P), (TRect{9, 18, 33, 29}));
    EXPECT_EQ(P.pBits, nullptr);
    ASSERT_EQ(AllocPlaneRecordForPath(P, Path, 24, false, 1, 2, 3, 4), 0);
    EXPECT_EQ(HeaderRect(P), (TRect{9, 18, 33, 29}));
    EXPECT_TRUE(AllZero(P));
    RecPictureClear(P);
}

TEST_F(PictureCache, AddFindClearDestroyAndFailure)
{
    TPictureCache Cache;
    Cache.Clear(); // an empty cache: nothing happens
    TrecPicture A, B, C;
    ASSERT_EQ(AllocPlaneRecord(A, TPoint{1, 1}, 4, 4, 8, false), 0);
    ASSERT_EQ(AllocPlaneRecord(B, TPoint{2, 2}, 4, 4, 24, false), 0);
    ASSERT_EQ(AllocPlaneRecord(C, TPoint{3, 3}, 4, 4, 8, true), 0);
    EXPECT_EQ(Cache.Add("Plane1\t7", A), 0);
    EXPECT_EQ(Cache.Add("Pict\t7", B), 1);
    // A second entry under a name present (letter case aside) keeps the first.
    EXPECT_EQ(Cache.Add("PLANE1\t7", C), 0);
    EXPECT_EQ(Cache.Count(), 2);
    RecPictureClear(C); // not taken by the cache
    TrecPicture* Found = Cache.Find("plane1\t7");
    ASSERT_NE(Found, nullptr);
    EXPECT_EQ(Found->pBits, A.pBits); // shares the pixels, now owned by the cache
    EXPECT_EQ(Found->iLeft, 1);
    EXPECT_EQ(Cache.Find("Plane1\t8"), nullptr);
    Cache.Clear();
    EXPECT_EQ(Cache.Count(), 0);
    EXPECT_EQ(Cache.Find("Pict\t7"), nullptr);
    // Destroying a cache frees what it holds (the fixture counts the blocks).
    TrecPicture D;
    ASSERT_EQ(AllocPlaneRecord(D, TPoint{0, 0}, 3, 3, 24, false), 0);
    TPictureCache Other;
    Other.Add("x", D);
    TrecPicture Good;
    ASSERT_EQ(AllocPlaneRecord(Good, TPoint{0, 0}, 3, 3, 8, false), 0);
    // A header that is no global block cannot be freed.
    alignas(8) uint8_t NotABlock[40] = {};
    TrecPicture Bad;
    Bad.pBIHeader = NotABlock;
    Cache.Add("bad", Bad);
    Cache.Add("good", Good);
    const std::string Msg = MessageOf<EUserError>([&] { Cache.Clear(); });
    const std::string Tail = "\r\nTPictureCache.Clear: RecPictureClear Failed";
    ASSERT_GE(Msg.size(), Tail.size()) << Msg;
    EXPECT_EQ(Msg.substr(Msg.size() - Tail.size()), Tail);
    EXPECT_EQ(Msg.rfind("GlobalFreeQ: GlobalFreeFailed(", 0), 0u) << Msg;
    // The good record was still freed (fixture) and the cache is empty.
    EXPECT_EQ(Cache.Count(), 0);
}
