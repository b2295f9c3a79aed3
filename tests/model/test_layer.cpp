#include <gtest/gtest.h>

#include "object_test_support.h"

#include "foundation/user_error.h"
#include "model/layer.h"

namespace {

void ReadBytes(TLayers& L, const std::vector<uint8_t>& B)
{
    TMemoryStreamWex S;
    S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    L.ReadFromStream(S);
}

std::vector<uint8_t> Written(TLayers& L)
{
    TMemoryStream S;
    L.WriteToStream(S);
    return Bytes(S);
}

} // namespace

TEST(Layers, NewListHoldsOneCurrentLayer)
{
    TLayers L;
    ASSERT_EQ(L.GetCount(), 1);
    EXPECT_EQ(L.GetCurrent(), L.GetLayer(0));
    // Current 0, one layer: shown, second flag set, value 0, last flag 0.
    EXPECT_EQ(Written(L), (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0}));
    TLayer* Second = L.Add(std::make_unique<TLayer>());
    EXPECT_EQ(Second->Index, 1);
    L.SetCurrent(Second);
    EXPECT_EQ(L.GetCurrent(), Second);
    TLayer Foreign;
    EXPECT_THROW(L.SetCurrent(&Foreign), EUserError);
    EXPECT_THROW(L.GetLayer(2), EListError);
}

TEST(Layers, StreamFormByteForByteAndBack)
{
    TLayers L;
    L.GetLayer(0)->Display = 0;
    TLayer* B = L.Add(std::make_unique<TLayer>());
    std::tie(B->Value, B->Flag3, B->Name) = std::tuple(-2, 7, "レイヤ１");
    TLayer* C = L.Add(std::make_unique<TLayer>());
    std::tie(C->Flag2, C->Value) = std::tuple(0, 0x01020304);
    L.SetCurrent(C);
    const std::vector<uint8_t> Expected = {2, 0, 0, 0, 3, 0, 0, 0,
                                           0, 1, 0, 0, 0, 0, 0,
                                           1, 1, 0xFE, 0xFF, 0xFF, 0xFF, 7,
                                           1, 0, 4, 3, 2, 1, 0};
    EXPECT_EQ(Written(L), Expected);
    TLayers R;
    ReadBytes(R, Expected);
    ASSERT_EQ(R.GetCount(), 3);
    EXPECT_EQ(R.GetCurrent(), R.GetLayer(2));
    for (int32_t I = 0; I < 3; ++I)
        EXPECT_EQ(R.GetLayer(I)->Index, I);
    EXPECT_EQ(R.GetLayer(1)->Name, ""); // names are not stored
    EXPECT_EQ(Written(R), Expected);
}

TEST(Layers, CurrentPositionIsClampedAndOneLayerKept)
{
    auto Stored = [&](int32_t Current, int32_t Count) {
        std::vector<uint8_t> B;
        PutI32(B, Current);
        PutI32(B, Count);
        B.resize(B.size() + 7 * size_t(Count), 1);
        return B;
    };
    TLayers L;
    // (current stored, count, current expected): below 0 the first; at or past the count the last.
    for (auto [Cur, N, Want] : {std::tuple{-1, 3, 0}, {3, 3, 2}, {0x7FFFFFFF, 2, 1}}) {
        ReadBytes(L, Stored(Cur, N));
        EXPECT_EQ(L.GetCurrent(), L.GetLayer(Want)) << Cur;
    }
    // No layer stored: one new layer, current.
    ReadBytes(L, Stored(0, 0));
    ASSERT_EQ(L.GetCount(), 1);
    EXPECT_EQ(L.GetCurrent(), L.GetLayer(0));
    EXPECT_EQ(L.GetLayer(0)->Display, 1);
}

TEST(Layers, BadDataLeavesTheListUnchanged)
{
    TLayers L;
    TLayer* Current = L.Add(std::make_unique<TLayer>());
    L.SetCurrent(Current);
    EXPECT_EQ(MessageOf<EUserError>([&] { ReadBytes(L, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}); }),
              "TLayers.ReadFromStream: layer count -1 does not fit the 0 bytes left");
    // Two layers announced, one and a half stored; a cut count.
    EXPECT_THROW(ReadBytes(L, {0, 0, 0, 0, 2, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 1, 1}), EUserError);
    EXPECT_THROW(ReadBytes(L, {0, 0, 0}), EReadError);
    EXPECT_EQ(L.GetCount(), 2);
    EXPECT_EQ(L.GetCurrent(), Current);
}
