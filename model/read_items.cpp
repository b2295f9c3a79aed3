#include "model/read_items.h"

#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/page.h"
#include "model/page_link.h"
#include "model/page_views.h"
#include "platform/message_box.h"
#include "raster/rec_picture.h"
#include "store/picture_store.h"

#include <exception>
#include <utility>

namespace {

std::string WhatOf(const std::exception_ptr& E)
{
    try {
        std::rethrow_exception(E);
    } catch (const std::exception& X) {
        return X.what();
    } catch (...) {
        return "(not an exception)";
    }
}

// Notes the first box shown while it lives; every box takes its default
// answer.
class TBoxNote {
public:
    TBoxNote()
    {
        FOld = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption, uint32_t Flags) {
            if (First.empty())
                First = "a box was shown: " + Caption + ": " + Text;
            return DefaultMessageBoxAnswer(Flags);
        });
    }
    ~TBoxNote() { SetMessageBoxHandler(std::move(FOld)); }
    TBoxNote(const TBoxNote&) = delete;
    TBoxNote& operator=(const TBoxNote&) = delete;
    std::string First;

private:
    TMessageBoxHandler FOld;
};

// Every draw object below Group painted into a 16 x 16 picture at the
// top-left of its paint extent; the first failure.
std::string PaintEachAtItsExtent(TPage& Page, TDrawGroup& Group)
{
    TDocumentLink* Doc = Page.GetDocument();
    for (int32_t I = 0; I < Group.GetCount(); ++I) {
        TDrawItem& Item = *Group.GetItem(I);
        if (auto* G = dynamic_cast<TDrawGroup*>(&Item)) {
            if (std::string F = PaintEachAtItsExtent(Page, *G); !F.empty())
                return F;
            continue;
        }
        const TRect E = Item.GetPaintExtent();
        if (E.Left > E.Right || E.Top > E.Bottom)
            continue;
        TrecDrawTarget Target;
        Target.Width = 16;
        Target.Height = 16;
        Target.DPI = Page.DPI();
        Target.BkColor = Page.BkColor();
        std::exception_ptr Failure;
        Target.Failure = &Failure;
        uint8_t Abort = 0;
        try {
            RecPictureCreate(Target.Picture, TPoint{E.Left, E.Top}, 16, 16, 24, false);
            Item.Paint(Target, Page.DisplayMode(), Doc ? Doc->GetPictureStore() : nullptr, &Abort, 0);
        } catch (...) {
            Failure = std::current_exception();
        }
        RecPictureClear(Target.Picture);
        if (Failure)
            return Item.ClassName() + " " + std::to_string(I) + " fails to paint: " + WhatOf(Failure);
    }
    return "";
}

} // namespace

void AdmitReadItems(TDrawItem& Items, int32_t Dpi, TItemsRoad Road, const char* Caller)
{
    if (Road == TItemsRoad::Stored)
        Items.BringValuesIntoRange(Dpi);
    else if (!Items.ValuesDrawable(Dpi))
        throw EUserError(std::string(Caller) + ": values that cannot be drawn");
}

std::string PageReadFault(TOLECustomPage& Page)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(Page.PagePicture());
    if (!H)
        return "no page picture header";
    if (H->biWidth != Page.Width() || H->biHeight != Page.Height() || H->biBitCount != 24 ||
        H->biPlanes != 1 || H->biSize != sizeof(BITMAPINFOHEADER))
        return "page picture header " + std::to_string(H->biWidth) + " x " + std::to_string(H->biHeight) + " x " +
               std::to_string(H->biBitCount) + " for a page of " + std::to_string(Page.Width()) + " x " +
               std::to_string(Page.Height());
    if (Page.PagePicture().iLeft != 0 || Page.PagePicture().iTop != 0)
        return "page picture not at the origin";
    if (Page.PrintPosition().CenterH > 1 || Page.PrintPosition().CenterV > 1)
        return "print centring flag not 0 or 1";
    auto* P = dynamic_cast<TPage*>(&Page);
    if (!P)
        return "";
    if (P->Grid().ShowGrid > 1 || P->Grid().SnapGrid > 1)
        return "grid flag not 0 or 1";
    TDrawGroup& Root = P->RootGroup();
    for (int32_t I = 0; I < Root.GetCount(); ++I)
        if (!Root.GetItem(I)->ValuesDrawable(Page.DPI()))
            return "item " + std::to_string(I) + " (" + Root.GetItem(I)->ClassName() + ") cannot be drawn";
    return "";
}

std::string PageRenderFault(TPage& Page)
{
    TBoxNote Boxes;
    TSilentFormDoc View;
    Page.AddForm(&View);
    struct TDetach {
        TPage& P;
        TSilentFormDoc& V;
        ~TDetach() { P.RemoveForm(&V); }
    } Detach{Page, View};
    std::string Fault;
    Page.InvalidateRect(nullptr, false);
    try {
        Page.Update();
        if (std::exception_ptr F = Page.TakePaintFailure())
            Fault = "the page's render fails: " + WhatOf(F);
    } catch (...) {
        Fault = "the page's render raises: " + WhatOf(std::current_exception());
    }
    if (Fault.empty())
        Fault = PaintEachAtItsExtent(Page, Page.RootGroup());
    return Fault.empty() ? Boxes.First : Fault;
}
