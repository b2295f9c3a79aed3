#include "foundation/string_list.h"

#include "foundation/lists.h"
#include "foundation/user_error.h"

namespace {

char LowerAscii(char C)
{
    return (C >= 'A' && C <= 'Z') ? static_cast<char>(C - 'A' + 'a') : C;
}

bool SameTextAscii(const std::string& A, const std::string& B)
{
    if (A.size() != B.size())
        return false;
    for (size_t I = 0; I < A.size(); ++I)
        if (LowerAscii(A[I]) != LowerAscii(B[I]))
            return false;
    return true;
}

} // namespace

void TStringList::CheckIndex(int32_t Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError(SListIndexError, Index);
}

int32_t TStringList::Add(const std::string& S)
{
    return AddObject(S, nullptr);
}

int32_t TStringList::AddObject(const std::string& S, void* Object)
{
    const int32_t Index = Count();
    InsertObject(Index, S, Object);
    return Index;
}

void TStringList::Insert(int32_t Index, const std::string& S)
{
    InsertObject(Index, S, nullptr);
}

void TStringList::InsertObject(int32_t Index, const std::string& S, void* Object)
{
    if (Index < 0 || Index > Count())
        throw EListError(SListIndexError, Index);
    FItems.insert(FItems.begin() + Index, TStringItem{S, Object});
}

void TStringList::Delete(int32_t Index)
{
    CheckIndex(Index);
    FItems.erase(FItems.begin() + Index);
}

void TStringList::Clear()
{
    FItems.clear();
}

const std::string& TStringList::Strings(int32_t Index) const
{
    CheckIndex(Index);
    return FItems[static_cast<size_t>(Index)].S;
}

void* TStringList::Objects(int32_t Index) const
{
    CheckIndex(Index);
    return FItems[static_cast<size_t>(Index)].Object;
}

void TStringList::PutObject(int32_t Index, void* Object)
{
    CheckIndex(Index);
    FItems[static_cast<size_t>(Index)].Object = Object;
}

int32_t TStringList::IndexOf(const std::string& S) const
{
    for (size_t I = 0; I < FItems.size(); ++I)
        if (SameTextAscii(FItems[I].S, S))
            return static_cast<int32_t>(I);
    return -1;
}

void TStringList::EndUpdate()
{
    if (FUpdateCount > 0)
        --FUpdateCount;
}
