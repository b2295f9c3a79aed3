// Pens on the clipboard and in drags: "Tavro_Pen", one block of exactly the
// 36-byte pen record.
#pragma once

#include "foundation/pen_text.h"
#include "ui/data_object.h"

// "Tavro_Pen", registered on first use; EUserError "uOLE2Pen :
// RegisterClipboardFormat Failed." when the platform gives no number.
uint16_t CFTavroPen();

class TOle2DataObjPenWex : public TDataObject {
public:
    explicit TOle2DataObjPenWex(const TrecPenData& Pen);
    static TFormatEtcList GetFormats(); // "Tavro_Pen"

    // Pen := Source's record. False, and Pen unchanged, when Source has none,
    // its block is shorter than a record, or the record has a negative width
    // or a miter limit that is no finite number.
    static bool GetPen(IDataObject* Source, TrecPenData& Pen);

protected:
    HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) override;

private:
    TrecPenData FPen;
};

// Drags Pen, allowing a copy only.
void DragDropPen(const TrecPenData& Pen);
