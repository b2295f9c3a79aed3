// A link for a paint page under test with no document behind it: it hands
// out the items and page a test sets, and ignores the page's notices.
#pragma once

#include "editors/macro_page_link.h"

class TStubPageLink : public TMacroPageLink {
public:
    TDrawItem* DrawItem() const override { return Item; }
    TDrawItem* DrawItemBuf() const override { return Buf; }
    TPage* Page() const override { return PageOf; }
    bool Updating() const override { return false; }
    void BeginUpdate() override {}
    void EndUpdate() override {}
    void ItemsEdited() override {}
    void ItemsChangedLive() override {}
    void SetHandlesHidden(bool) override {}
    QWidget* DialogOwner() const override { return nullptr; }
    TDrawItem* Item = nullptr;
    TDrawItem* Buf = nullptr;
    TPage* PageOf = nullptr;
};
