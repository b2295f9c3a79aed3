// Helpers that release what string lists and lists point to. None of them
// raises; a null list is ignored.
#pragma once

#include <memory>

#include "foundation/lists.h"
#include "foundation/string_list.h"

// Deletes every entry's object as a TObject and clears the entry's pointer.
void FreeStringsObjects(TStringList* Strings);
// std::free of every entry's object block; clears the entry's pointer.
void FreeStringsPointers(TStringList* Strings);
// Deletes every entry's TObject, then empties the list.
void ClearListObjects(TCustomListWex* List);
// ClearListObjects, then releases the list itself.
template <class TList>
void FreeListAndObjects(std::unique_ptr<TList>& List)
{
    if (!List)
        return;
    ClearListObjects(List.get());
    List.reset();
}
// Dest becomes a copy of Source's entries (a null Source empties Dest).
void AssignList(TCustomListWex* Dest, const TCustomListWex* Source);
