#include "paint/macro_list.h"

#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "paint/paint_macro.h"

#include <algorithm>

namespace {

void* AsEntry(TMacro* Macro)
{
    return static_cast<TObject*>(Macro);
}

TMacro* AsMacro(void* Entry)
{
    return static_cast<TMacro*>(static_cast<TObject*>(Entry));
}

int32_t CheckMacroCount(int32_t Count, const char* Who)
{
    if (Count < 0)
        throw EReadError(std::string(Who) + ": マクロ数(" + std::to_string(Count) + ")が不正です");
    return Count;
}

} // namespace

TMacros::TMacros() = default;

TMacros::~TMacros()
{
    FList.FreeObjects();
}

void TMacros::Assign(const TObject* Source)
{
    const auto* Other = dynamic_cast<const TMacros*>(Source);
    if (Other == nullptr)
        RaiseAssignError(this, Source);
    if (Other == this)
        return;
    Clear();
    for (int32_t I = 0; I < Other->Count(); ++I)
        Insert(Count(), *Other->GetMacro(I));
}

void TMacros::SetParamValueByTag(const std::string& Tag, const std::string& Value)
{
    for (int32_t I = 0; I < Count(); ++I)
        GetMacro(I)->SetParamValueByTag(Tag, Value);
}

void TMacros::Clear()
{
    FList.FreeObjects();
    FList.Clear();
}

void TMacros::Delete(int32_t Index)
{
    FList.DeleteRangeFree(Index, 1);
}

void TMacros::Insert(int32_t Index, const TMacro& Macro)
{
    auto Copy = std::make_unique<TMacro>();
    Copy->Assign(Macro);
    Insert(Index, std::move(Copy));
}

void TMacros::Insert(int32_t Index, std::unique_ptr<TMacro> Macro)
{
    FList.Insert(std::clamp(Index, 0, Count()), AsEntry(Macro.get()));
    Macro.release(); // owned by the list from now on
}

void TMacros::Exchange(int32_t Index1, int32_t Index2)
{
    for (const int32_t Index : {Index1, Index2})
        if (Index < 0 || Index >= Count())
            FList.Error(SListIndexError, Index);
    FList.Exchange(Index1, Index2);
}

int32_t TMacros::Add(std::unique_ptr<TMacro> Macro)
{
    const int32_t Index = FList.Add(AsEntry(Macro.get()));
    Macro.release(); // owned by the list from now on
    return Index;
}

void TMacros::Move(int32_t CurIndex, int32_t NewIndex)
{
    FList.Move(CurIndex, NewIndex);
}

TMacro* TMacros::GetMacro(int32_t Index) const
{
    return AsMacro(FList.Get(Index));
}

bool TMacros::Equals(const TMacros& Other) const
{
    if (Count() != Other.Count())
        return false;
    for (int32_t I = 0; I < Count(); ++I)
        if (!GetMacro(I)->Equals(*Other.GetMacro(I)))
            return false;
    return true;
}

void TMacros::IntersectWith(const TMacros& Other)
{
    if (Count() == 0)
        return;
    bool Match = Count() == Other.Count();
    for (int32_t I = 0; Match && I < Count(); ++I)
        Match = GetMacro(I)->Name() == Other.GetMacro(I)->Name();
    if (!Match) {
        Clear();
        return;
    }
    for (int32_t I = 0; I < Count(); ++I)
        GetMacro(I)->IntersectWith(*Other.GetMacro(I));
}

void TMacros::WriteToStream(TStream& Stream) const
{
    const uint32_t N = static_cast<uint32_t>(Count());
    const uint8_t B[4] = {static_cast<uint8_t>(N), static_cast<uint8_t>(N >> 8),
                          static_cast<uint8_t>(N >> 16), static_cast<uint8_t>(N >> 24)};
    Stream.WriteBuffer(B, 4);
    for (int32_t I = 0; I < Count(); ++I)
        GetMacro(I)->WriteToStream(Stream);
}

void TMacros::ReadFromStream(TStream& Stream, int32_t Version)
{
    Clear();
    uint8_t B[4];
    Stream.ReadBuffer(B, 4);
    const int32_t N = CheckMacroCount(
        static_cast<int32_t>(static_cast<uint32_t>(B[0]) | (static_cast<uint32_t>(B[1]) << 8) |
                             (static_cast<uint32_t>(B[2]) << 16) | (static_cast<uint32_t>(B[3]) << 24)),
        "TMacros.ReadFromStream");
    for (int32_t I = 0; I < N; ++I) {
        auto Macro = std::make_unique<TMacro>();
        Macro->ReadFromStream(Stream, Version);
        Add(std::move(Macro));
    }
}

void TMacros::WriteToStreamAsText(TStream& Stream) const
{
    StreamWriteln(Stream, std::to_string(Count()));
    for (int32_t I = 0; I < Count(); ++I)
        GetMacro(I)->WriteToStreamAsText(Stream);
}

void TMacros::ReadFromStreamAsText(TStream& Stream, int32_t Version)
{
    Clear();
    const int32_t N = CheckMacroCount(StrToInt(StreamReadln(Stream)), "TMacros.ReadFromStreamAsText");
    for (int32_t I = 0; I < N; ++I) {
        auto Macro = std::make_unique<TMacro>();
        Macro->ReadFromStreamAsText(Stream, Version);
        Add(std::move(Macro));
    }
}
