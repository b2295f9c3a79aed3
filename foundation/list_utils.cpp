#include "foundation/list_utils.h"

#include <cstdlib>

void FreeStringsObjects(TStringList* Strings)
{
    if (!Strings)
        return;
    for (int32_t I = 0; I < Strings->Count(); ++I) {
        std::unique_ptr<TObject> Target(static_cast<TObject*>(Strings->Objects(I)));
        Strings->PutObject(I, nullptr);
    }
}

void FreeStringsPointers(TStringList* Strings)
{
    if (!Strings)
        return;
    for (int32_t I = 0; I < Strings->Count(); ++I) {
        void* Block = Strings->Objects(I);
        if (!Block)
            continue;
        Strings->PutObject(I, nullptr);
        std::free(Block);
    }
}

void ClearListObjects(TCustomListWex* List)
{
    if (!List)
        return;
    List->FreeObjects();
    List->SetCount(0);
}

void AssignList(TCustomListWex* Dest, const TCustomListWex* Source)
{
    if (!Dest || Dest == Source)
        return;
    Dest->Clear();
    if (!Source)
        return;
    Dest->SetCount(Source->Count());
    for (int32_t I = 0; I < Source->Count(); ++I)
        Dest->Put(I, Source->Get(I));
}
