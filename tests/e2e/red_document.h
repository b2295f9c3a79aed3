// The X tests' red document: a page whose rectangle is pure red inside, so
// that the screen tells by its red pixels where and how large it stands.
#pragma once

#include "model/document.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"

#include <QImage>
#include <gtest/gtest.h>

#include <memory>
#include <string>

// A 300 x 200 page with a 200 x 150 rectangle filled pure red.
inline void WriteRedDocument(const std::string& Path)
{
    TOLEDocumentWex Doc(nullptr, nullptr);
    auto* Page = static_cast<TPage*>(Doc.AddPage(NewPageTPage(Doc.History())));
    Page->SetPageSize(300, 200);
    auto Rect = std::make_unique<TRectObj>(Page, -1);
    Rect->SetFrame(50, 25, 200, 150);
    auto Macro = std::make_unique<TMacro>();
    ASSERT_TRUE(Macro->LoadFromLibrary("塗り(ボカシ)"));
    Macro->SetParamValue("塗り方法", "10000FF");
    Rect->Macros().Clear();
    Rect->Macros().Add(std::move(Macro));
    Rect->SetFillPath(1);
    Page->RootGroup().AddChild(std::move(Rect), -1);
    ASSERT_TRUE(Doc.SaveToFile(Path));
}

// The pure red pixels of a picture of the screen (the rectangle's
// anti-aliased edge is not pure red).
inline int RedPixels(const QImage& Picture)
{
    const QImage Img = Picture.convertToFormat(QImage::Format_RGB32);
    int N = 0;
    for (int Y = 0; Y < Img.height(); ++Y) {
        const auto* Row = reinterpret_cast<const QRgb*>(Img.constScanLine(Y));
        for (int X = 0; X < Img.width(); ++X)
            N += (Row[X] & 0xFFFFFF) == 0xFF0000;
    }
    return N;
}
