#include "ui/ole2_pen.h"

#include "ui/drop_source.h"
#include "ui/ole_qt_bridge.h"

#include <cmath>
#include <cstring>

uint16_t CFTavroPen()
{
    static const uint16_t Format =
        RegisterClipboardFormatOrRaise("Tavro_Pen", "uOLE2Pen : RegisterClipboardFormat Failed.");
    return Format;
}

TOle2DataObjPenWex::TOle2DataObjPenWex(const TrecPenData& Pen) : TDataObject(GetFormats()), FPen(Pen) {}

TFormatEtcList TOle2DataObjPenWex::GetFormats()
{
    return {MakeFormatEtc(CFTavroPen())};
}

HRESULT TOle2DataObjPenWex::RenderData(const FORMATETC&, STGMEDIUM& Medium)
{
    HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE, sizeof FPen);
    void* Data = GlobalLock(H);
    if (!Data) {
        if (H)
            GlobalFree(H);
        return STG_E_MEDIUMFULL;
    }
    std::memcpy(Data, &FPen, sizeof FPen);
    GlobalUnlock(H);
    Medium.tymed = TYMED_HGLOBAL;
    Medium.hGlobal = H;
    return S_OK;
}

bool TOle2DataObjPenWex::GetPen(IDataObject* Source, TrecPenData& Pen)
{
    TrecPenData Read{};
    if (!GetDataBuffer(Source, &Read, sizeof Read, GetFormats()))
        return false;
    if (Read.Width < 0 || !std::isfinite(Read.MiterLimit) || !PenDataInRange(Read))
        return false;
    Pen = Read;
    return true;
}

void DragDropPen(const TrecPenData& Pen)
{
    const auto Data = MakeCom<TOle2DataObjPenWex>(Pen);
    const auto Source = MakeCom<TDropSource>();
    uint32_t Effect = 0;
    DoDragDrop(Data.Get(), Source.Get(), DROPEFFECT_COPY, Effect);
}
