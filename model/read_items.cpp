#include "model/read_items.h"

#include "foundation/user_error.h"
#include "model/draw_group.h"
#include "model/draw_object.h"
#include "model/layer.h"
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
        // No failure list: a failure raises here, nothing is left out.
        std::exception_ptr Failure;
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

// A picture of a few pixels at the origin that items are measured against.
struct TMeasureBackground {
    TrecPicture Picture;
    TMeasureBackground() { RecPictureCreate(Picture, TPoint{0, 0}, 16, 16, 24, false); }
    ~TMeasureBackground() { RecPictureClear(Picture); }
    TMeasureBackground(const TMeasureBackground&) = delete;
    TMeasureBackground& operator=(const TMeasureBackground&) = delete;
};

// Do for Item when it is a draw object, else for every one below it.
template <class F>
void ForEachObject(TDrawItem& Item, F&& Do)
{
    if (auto* G = dynamic_cast<TDrawGroup*>(&Item)) {
        for (int32_t I = 0; I < G->GetCount(); ++I)
            ForEachObject(*G->GetItem(I), Do);
    } else if (auto* O = dynamic_cast<TDrawObject*>(&Item)) {
        Do(*O);
    }
}

bool PlanesWorkableAgainst(TDrawItem& Item, TMeasureBackground& B)
{
    bool Workable = true;
    ForEachObject(Item, [&](TDrawObject& O) { Workable = Workable && O.PlanesWorkable(B.Picture); });
    return Workable;
}

std::string CannotDrawText(int32_t Index, const char* Why)
{
    return std::to_string(Index + 1) + " 番目の図形を描画できません。 (" + Why + ")";
}

} // namespace

std::string ItemTooLargeText(int32_t Index) { return CannotDrawText(Index, "大きすぎます"); }
std::string ItemValuesText(int32_t Index) { return CannotDrawText(Index, "範囲外の値があります"); }

bool ItemPlanesWorkable(TDrawItem& Item)
{
    TMeasureBackground B;
    return PlanesWorkableAgainst(Item, B);
}

void AdmitReadItems(TDrawItem& Items, int32_t Dpi, TItemsRoad Road, const char* Caller)
{
    TMeasureBackground B;
    if (Road == TItemsRoad::Pasted) {
        if (!Items.ValuesDrawable(Dpi) || !PlanesWorkableAgainst(Items, B))
            throw EUserError(std::string(Caller) + ": values that cannot be drawn");
        return;
    }
    Items.BringValuesIntoRange(Dpi);
    ForEachObject(Items, [&](TDrawObject& O) {
        if (!O.PlanesWorkable(B.Picture))
            O.BringBoxDownToPaint();
    });
    auto* G = dynamic_cast<TDrawGroup*>(&Items);
    const int32_t Count = G ? G->GetCount() : 1;
    for (int32_t I = 0; I < Count; ++I) {
        TDrawItem& Item = G ? *G->GetItem(I) : Items;
        if (!Item.ValuesDrawable(Dpi))
            throw EUndrawableDocument(ItemValuesText(I));
        if (!PlanesWorkableAgainst(Item, B))
            throw EUndrawableDocument(ItemTooLargeText(I));
    }
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
    if (Page.DisplayMode() > MaxPageDisplayMode)
        return "display mode " + std::to_string(Page.DisplayMode()) + " beyond " + std::to_string(MaxPageDisplayMode);
    if (Page.RulerUnit() > MaxPageRulerUnit)
        return "ruler unit " + std::to_string(Page.RulerUnit()) + " beyond " + std::to_string(MaxPageRulerUnit);
    if (TLayers* Layers = Page.GetLayers())
        for (int32_t I = 0; I < Layers->GetCount(); ++I)
            if (Layers->GetLayer(I)->Display > 1)
                return "layer " + std::to_string(I) + " display flag not 0 or 1";
    auto* P = dynamic_cast<TPage*>(&Page);
    if (!P)
        return "";
    if (P->Grid().ShowGrid > 1 || P->Grid().SnapGrid > 1)
        return "grid flag not 0 or 1";
    TDrawGroup& Root = P->RootGroup();
    for (int32_t I = 0; I < Root.GetCount(); ++I) {
        if (!Root.GetItem(I)->ValuesDrawable(Page.DPI()))
            return "item " + std::to_string(I) + " (" + Root.GetItem(I)->ClassName() + ") cannot be drawn";
        if (!ItemPlanesWorkable(*Root.GetItem(I)))
            return "item " + std::to_string(I) + " (" + Root.GetItem(I)->ClassName() +
                   ") makes planes past the working limit";
    }
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
