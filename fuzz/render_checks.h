// The promise every road into the model makes, held by the model readers'
// harnesses: what an input lets in answers ValuesDrawable and the page's
// records agree (PageReadFault), and it renders without a failure
// (PageRenderFault: the page whole, and every item at its own extent). A
// page that breaks the promise is a finding.
#pragma once

#include "foundation/lists.h"
#include "fuzz/fuzz_support.h"
#include "model/draw_group.h"
#include "model/layer.h"
#include "model/page.h"
#include "model/read_items.h"

#include <memory>
#include <string>

inline void FuzzRenderPage(TPage& Page)
{
    if (const std::string Fault = PageReadFault(Page); !Fault.empty())
        FuzzFault("let in: " + Fault);
    if (const std::string Fault = PageRenderFault(Page); !Fault.empty())
        FuzzFault("what was let in does not render: " + Fault);
}

// Item as a document's page takes what it reads: brought into range,
// linked to the page's layers and to the items it names, added on top;
// then the page keeps the promise.
inline void FuzzAdmitStoredAndRender(TPage& Page, std::unique_ptr<TDrawItem> Item, const TList2Item& IDMap)
{
    AdmitReadItems(*Item, Page.DPI(), TItemsRoad::Stored, "fuzz");
    TDrawItem::RelinkLayers(*Item, *Page.GetLayers(), true);
    Item->RelinkReadItems(&IDMap);
    Page.RootGroup().AddChild(std::move(Item), -1);
    FuzzRenderPage(Page);
}
