// Pieces the macro-page tests share: a link handing the page one item of a
// page (and the owner of its dialogs), and the kind of a macro's parameter.
#pragma once

#include "editors/macro_page_link.h"
#include "paint/paint_function_table.h"
#include "paint/paint_macro.h"

#include <cstdint>
#include <string>

class QWidget;

namespace test_support {

class TMacroPageTestLink : public TMacroPageLink {
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
    QWidget* DialogOwner() const override { return Owner; }
    QWidget* Owner = nullptr;
    TDrawItem* Item = nullptr;
    TDrawItem* Buf = nullptr;
    TPage* PageOf = nullptr;
};

// The kind of the first parameter of Macro captioned Caption; -1 for none.
inline int32_t ParamKindOf(const TMacro& Macro, const std::string& Caption)
{
    const TPaintFunctionRec* Table = PaintFunctionTable();
    for (int32_t L = 0; L < Macro.LineCount(); ++L) {
        const TMacroLine& Line = Macro.Line(L);
        const int32_t F = FindPaintFunction(Table, Line.FunctionName);
        for (size_t P = 0; P < Line.Params.size(); ++P)
            if (F >= 0 && Line.Params[P].Caption.value_or("") == Caption && int32_t(P) < Table[F].ParamCount)
                return Table[F].Params[P].Kind;
    }
    return -1;
}

} // namespace test_support
