#include "model/layer.h"

#include <algorithm>

#include "foundation/lists.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"

namespace {

constexpr int32_t StoredLayerSize = 7;

} // namespace

TLayers::TLayers()
{
    FCurrent = Add(std::make_unique<TLayer>());
}

TLayer* TLayers::GetLayer(int32_t Index) const
{
    if (Index < 0 || Index >= GetCount())
        throw EListError(SListIndexError, Index);
    return FList[static_cast<size_t>(Index)].get();
}

TLayer* TLayers::Add(std::unique_ptr<TLayer> Layer)
{
    if (!Layer)
        throw EUserError("TLayers.Add: (Layer = nil)");
    TLayer* P = Layer.get();
    FList.push_back(std::move(Layer));
    Renumber();
    return P;
}

void TLayers::SetCurrent(TLayer* Layer)
{
    for (const auto& L : FList)
        if (L.get() == Layer) {
            FCurrent = Layer;
            return;
        }
    throw EUserError("TLayers.SetCurrent: Not Found");
}

void TLayers::Renumber()
{
    for (size_t I = 0; I < FList.size(); ++I)
        FList[I]->Index = static_cast<int32_t>(I);
}

void TLayers::WriteToStream(TStream& Stream) const
{
    StreamWriteInt32(Stream, FCurrent ? FCurrent->Index : 0);
    StreamWriteInt32(Stream, GetCount());
    for (const auto& L : FList) {
        uint8_t B[StoredLayerSize] = {L->Display, L->Flag2};
        const auto U = static_cast<uint32_t>(L->Value);
        B[2] = uint8_t(U);
        B[3] = uint8_t(U >> 8);
        B[4] = uint8_t(U >> 16);
        B[5] = uint8_t(U >> 24);
        B[6] = L->Flag3;
        Stream.WriteBuffer(B, StoredLayerSize);
    }
}

void TLayers::ReadFromStream(TStream& Stream)
{
    const int32_t Current = StreamReadInt32(Stream);
    const int32_t Count = StreamReadInt32(Stream);
    const int64_t Left = Stream.Size() - Stream.Position();
    if (Count < 0 || Count > Left / StoredLayerSize)
        throw EUserError("TLayers.ReadFromStream: layer count " + std::to_string(Count) +
                         " does not fit the " + std::to_string(Left) + " bytes left");
    std::vector<std::unique_ptr<TLayer>> List;
    for (int32_t I = 0; I < Count; ++I) {
        uint8_t B[StoredLayerSize];
        Stream.ReadBuffer(B, StoredLayerSize);
        auto L = std::make_unique<TLayer>();
        // Any byte but 0 showed the outlines.
        L->Display = B[0] != 0;
        L->Flag2 = B[1];
        L->Value = static_cast<int32_t>(uint32_t(B[2]) | uint32_t(B[3]) << 8 |
                                        uint32_t(B[4]) << 16 | uint32_t(B[5]) << 24);
        L->Flag3 = B[6];
        List.push_back(std::move(L));
    }
    // A page always keeps a current layer.
    if (List.empty())
        List.push_back(std::make_unique<TLayer>());
    FList = std::move(List);
    Renumber();
    FCurrent = FList[static_cast<size_t>(std::clamp(Current, 0, GetCount() - 1))].get();
}
