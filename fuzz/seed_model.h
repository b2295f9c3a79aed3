// Documents, pages and draw items for the model readers' harnesses and
// seeds: a document with one page that has a layer, the item types
// registered, and a group of every kind of item written by our own writers.
#pragma once

#include "foundation/rec_path.h"
#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "model/document.h"
#include "model/draw_group.h"
#include "model/layer.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "model/poly_line_obj.h"
#include "store/picture_store.h"
#include "model/text_object.h"

#include <memory>
#include <string>

inline void RegisterSeedItemTypes()
{
    static const bool Done = [] {
        RegisterParamShapeTypes();
        RegisterTextObjType();
        RegisterPolyLineObjType();
        return true;
    }();
    (void)Done;
}

// A document (no registry) holding one page with one current layer.
struct TSeedDocument {
    std::unique_ptr<TOLEDocumentWex> Doc;
    TPage* Page = nullptr;

    TSeedDocument()
    {
        RegisterSeedItemTypes();
        Doc = NewDocumentTDocument(nullptr, nullptr);
        Page = static_cast<TPage*>(Doc->AddPage(NewPageTPage(Doc->History())));
        TLayer* Layer = Page->GetLayers()->Add(std::make_unique<TLayer>());
        Page->GetLayers()->SetCurrent(Layer);
        // A picture to render into: the seed items lie on it.
        Page->SetPageSize(64, 48);
    }
};

// Adds one item of every stored type to Group, a nested group among them;
// the text item only WithText (laying text out loads the installed fonts).
inline void AddSeedItems(TDrawGroup& Group, bool WithText = true)
{
    TPageLink* Page = Group.Page();
    // Shapes with frames and records a page can draw (the records the
    // drawing tools start from): a paste refuses any other.
    const auto Shape = [&](auto S, int32_t X, int32_t Y, int32_t W, int32_t H) {
        S->SetFrame(X, Y, W, H);
        return static_cast<decltype(S.get())>(Group.AddChild(std::move(S), -1));
    };
    Shape(std::make_unique<TRectObj>(Page, -1), 10, 10, 40, 30);
    Shape(std::make_unique<TEllipseObj>(Page, -1), 20, 5, 30, 20);
    Shape(std::make_unique<TStarObj>(Page, -1), 0, 0, 50, 50)->SetParam(TrecStarParam{});
    Shape(std::make_unique<TPolygonObj>(Page, -1), 5, 5, 25, 25)->SetParam(TrecPolygonParam{});
    if (WithText) {
        auto Text = std::make_unique<TTextObj>(Page, -1);
        Text->SetText("Tavro\r\nabc");
        Group.AddChild(std::move(Text), -1);
    }
    auto Poly = std::make_unique<TPolyLineObj>(Page, -1);
    TrecPath P;
    RecPolyLineSetCount(P, 4);
    const TPoint Pts[] = {{0, 0}, {40, 0}, {40, 30}, {0, 30}};
    for (int32_t I = 0; I < 4; ++I) {
        P.Points[I] = Pts[I];
        P.pabType[I] = I == 0 ? PT_MOVETO : PT_LINETO;
    }
    P.pabType[3] |= PT_CLOSEFIGURE;
    RecPathCalcBounds(P);
    Poly->SetPathRecord(P);
    Group.AddChild(std::move(Poly), -1);
    auto Inner = std::make_unique<TDrawGroup>(Page, -1);
    auto InnerRect = std::make_unique<TRectObj>(Page, -1);
    InnerRect->SetFrame(1, 2, 3, 4);
    Inner->AddChild(std::move(InnerRect), -1);
    Group.AddChild(std::move(Inner), -1);
}
