#include <gtest/gtest.h>

#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/layer.h"

namespace {

std::vector<uint8_t> Bytes(TMemoryStream& S)
{
    const auto* P = static_cast<const uint8_t*>(S.Memory());
    return std::vector<uint8_t>(P, P + S.Size());
}

void ReadBytes(TLayers& L, const std::vector<uint8_t>& B)
{
    TMemoryStreamWex S;
    S.SetPointer(B.data(), static_cast<int64_t>(B.size()));
    L.ReadFromStream(S);
}

} // namespace

TEST(Layers, NewListHoldsOneCurrentLayer)
{
    TLayers L;
    ASSERT_EQ(L.GetCount(), 1);
    TLayer* First = L.GetLayer(0);
    EXPECT_EQ(L.GetCurrent(), First);
    EXPECT_EQ(First->Index, 0);
    EXPECT_EQ(First->Display, 1);
    EXPECT_EQ(First->Flag2, 1);
    EXPECT_EQ(First->Value, 0);
    EXPECT_EQ(First->Flag3, 0);
    EXPECT_EQ(First->Name, "");
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
    B->Value = -2;
    B->Flag3 = 7;
    B->Name = "レイヤ１";
    TLayer* C = L.Add(std::make_unique<TLayer>());
    C->Flag2 = 0;
    C->Value = 0x01020304;
    L.SetCurrent(C);
    TMemoryStream S;
    L.WriteToStream(S);
    const std::vector<uint8_t> Expected = {2, 0, 0, 0, 3, 0, 0, 0,
                                           0, 1, 0, 0, 0, 0, 0,
                                           1, 1, 0xFE, 0xFF, 0xFF, 0xFF, 7,
                                           1, 0, 4, 3, 2, 1, 0};
    EXPECT_EQ(Bytes(S), Expected);
    TLayers R;
    ReadBytes(R, Expected);
    ASSERT_EQ(R.GetCount(), 3);
    EXPECT_EQ(R.GetCurrent(), R.GetLayer(2));
    for (int32_t I = 0; I < 3; ++I) {
        EXPECT_EQ(R.GetLayer(I)->Index, I);
        EXPECT_EQ(R.GetLayer(I)->Name, ""); // names are not stored
    }
    EXPECT_EQ(R.GetLayer(0)->Display, 0);
    EXPECT_EQ(R.GetLayer(1)->Value, -2);
    EXPECT_EQ(R.GetLayer(1)->Flag3, 7);
    EXPECT_EQ(R.GetLayer(2)->Flag2, 0);
    EXPECT_EQ(R.GetLayer(2)->Value, 0x01020304);
}

TEST(Layers, CurrentPositionIsClampedAndOneLayerKept)
{
    const std::vector<uint8_t> Two = {1, 1, 1, 1, 1, 1, 1};
    auto Stored = [&](int32_t Current, int32_t Count) {
        std::vector<uint8_t> B;
        for (int32_t V : {Current, Count})
            for (int I = 0; I < 4; ++I)
                B.push_back(uint8_t(static_cast<uint32_t>(V) >> (8 * I)));
        for (int32_t I = 0; I < Count; ++I)
            B.insert(B.end(), Two.begin(), Two.end());
        return B;
    };
    TLayers L;
    ReadBytes(L, Stored(-1, 3));
    EXPECT_EQ(L.GetCurrent(), L.GetLayer(0));
    // At or past the count: the last layer.
    ReadBytes(L, Stored(3, 3));
    EXPECT_EQ(L.GetCurrent(), L.GetLayer(2));
    ReadBytes(L, Stored(0x7FFFFFFF, 2));
    EXPECT_EQ(L.GetCurrent(), L.GetLayer(1));
    // No layer stored: one new layer, current.
    ReadBytes(L, Stored(0, 0));
    ASSERT_EQ(L.GetCount(), 1);
    EXPECT_EQ(L.GetCurrent(), L.GetLayer(0));
    EXPECT_EQ(L.GetLayer(0)->Display, 1);
}

TEST(Layers, BadDataLeavesTheListUnchanged)
{
    TLayers L;
    L.Add(std::make_unique<TLayer>());
    TLayer* Current = L.GetLayer(1);
    L.SetCurrent(Current);
    auto Unchanged = [&] {
        EXPECT_EQ(L.GetCount(), 2);
        EXPECT_EQ(L.GetCurrent(), Current);
    };
    try {
        ReadBytes(L, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF});
        ADD_FAILURE();
    } catch (const EUserError& E) {
        EXPECT_EQ(E.Message(), "TLayers.ReadFromStream: layer count -1 does not fit the 0 bytes left");
    }
    Unchanged();
    // Two layers announced, one and a half stored.
    EXPECT_THROW(ReadBytes(L, {0, 0, 0, 0, 2, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 1, 1, 1}),
                 EUserError);
    Unchanged();
    EXPECT_THROW(ReadBytes(L, {0, 0, 0}), EReadError);
    Unchanged();
}
