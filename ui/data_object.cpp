#include "ui/data_object.h"

#include "foundation/user_error.h"
#include "platform/clipboard_formats.h"
#include "platform/cp932.h"

#include <cstring>

namespace {

// The block of the first format of Formats that Source serves, locked; the
// medium is released when the guard ends.
class TServedBlock {
public:
    TServedBlock(IDataObject* Source, const TFormatEtcList& Formats)
    {
        if (!Source)
            return;
        for (const FORMATETC& F : Formats) {
            if (Source->GetData(F, FMedium) != S_OK)
                continue;
            FData = static_cast<const uint8_t*>(GlobalLock(FMedium.hGlobal));
            FSize = FData ? GlobalSize(FMedium.hGlobal) : 0;
            return;
        }
    }
    ~TServedBlock()
    {
        if (FData)
            GlobalUnlock(FMedium.hGlobal);
        ReleaseStgMedium(FMedium);
    }
    TServedBlock(const TServedBlock&) = delete;
    TServedBlock& operator=(const TServedBlock&) = delete;

    const uint8_t* Data() const { return FData; }
    size_t Size() const { return FSize; }

private:
    STGMEDIUM FMedium;
    const uint8_t* FData = nullptr;
    size_t FSize = 0;
};

} // namespace

TDataObject::TDataObject(const TFormatEtcList& Formats) : FFormats(Formats) {}

HRESULT TDataObject::GetData(const FORMATETC& Format, STGMEDIUM& Medium)
{
    Medium = STGMEDIUM{};
    if (QueryGetData(Format) != S_OK)
        return DV_E_FORMATETC;
    return RenderData(Format, Medium);
}

HRESULT TDataObject::GetDataHere(const FORMATETC&, STGMEDIUM&)
{
    return E_NOTIMPL;
}

HRESULT TDataObject::QueryGetData(const FORMATETC& Format)
{
    for (const FORMATETC& F : FFormats)
        if (F.cfFormat == Format.cfFormat && F.dwAspect == Format.dwAspect && (F.tymed & Format.tymed))
            return S_OK;
    return DV_E_FORMATETC;
}

HRESULT TDataObject::GetCanonicalFormatEtc(const FORMATETC& In, FORMATETC& Out)
{
    Out = In;
    Out.ptd = nullptr;
    return DATA_S_SAMEFORMATETC;
}

HRESULT TDataObject::SetData(const FORMATETC&, STGMEDIUM&, bool)
{
    return E_NOTIMPL;
}

HRESULT TDataObject::EnumFormatEtc(uint32_t Direction, TComPtr<IEnumFORMATETC>& Enum)
{
    Enum.Reset();
    if (Direction != DATADIR_GET)
        return E_NOTIMPL;
    Enum = MakeCom<TEnumFormatEtc>(FFormats.data(), static_cast<int32_t>(FFormats.size()), this);
    return S_OK;
}

HRESULT TDataObject::DAdvise(const FORMATETC&, uint32_t, IAdviseSink*, uint32_t&)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TDataObject::DUnadvise(uint32_t)
{
    return OLE_E_ADVISENOTSUPPORTED;
}

HRESULT TDataObject::EnumDAdvise(IEnumSTATDATA** Enum)
{
    if (Enum)
        *Enum = nullptr;
    return OLE_E_ADVISENOTSUPPORTED;
}

bool TDataObject::GetDataString(IDataObject* Source, std::string& Text, const TFormatEtcList& Formats,
                                size_t MaxBytes)
{
    Text.clear();
    const TServedBlock Block(Source, Formats);
    if (!Block.Data())
        return true;
    const void* Zero = std::memchr(Block.Data(), 0, Block.Size());
    const size_t Length = Zero ? static_cast<const uint8_t*>(Zero) - Block.Data() : Block.Size();
    if (Length > MaxBytes)
        return false;
    Text = Cp932ToUtf8(std::string_view(reinterpret_cast<const char*>(Block.Data()), Length));
    return true;
}

bool TDataObject::GetDataBuffer(IDataObject* Source, void* Buffer, size_t Size, const TFormatEtcList& Formats)
{
    const TServedBlock Block(Source, Formats);
    if (!Block.Data() || Block.Size() < Size)
        return false;
    std::memcpy(Buffer, Block.Data(), Size);
    return true;
}

TEnumFormatEtc::TEnumFormatEtc(const FORMATETC* Formats, int32_t Count, IUnknown* Owner, int32_t Index)
    : FFormats(Formats), FCount(Count), FIndex(Index), FOwner(Owner)
{
}

HRESULT TEnumFormatEtc::Next(uint32_t Celt, FORMATETC* Elt, uint32_t* Fetched)
{
    if (!Elt && Celt > 0)
        return E_INVALIDARG;
    uint32_t N = 0;
    while (N < Celt && FIndex < FCount)
        Elt[N++] = FFormats[FIndex++];
    if (Fetched)
        *Fetched = N;
    return N < Celt ? S_FALSE : S_OK;
}

HRESULT TEnumFormatEtc::Skip(uint32_t Celt)
{
    if (Celt > static_cast<uint32_t>(FCount - FIndex)) {
        FIndex = FCount;
        return S_FALSE;
    }
    FIndex += static_cast<int32_t>(Celt);
    return S_OK;
}

HRESULT TEnumFormatEtc::Reset()
{
    FIndex = 0;
    return S_OK;
}

HRESULT TEnumFormatEtc::Clone(TComPtr<IEnumFORMATETC>& Enum)
{
    Enum = MakeCom<TEnumFormatEtc>(FFormats, FCount, FOwner.Get(), FIndex);
    return S_OK;
}

TTextDataObject::TTextDataObject(const std::string& Text) : TTextDataObject(Text, GetFormats()) {}

TTextDataObject::TTextDataObject(const std::string& Text, const TFormatEtcList& Formats)
    : TDataObject(Formats), FText(Text)
{
}

TFormatEtcList TTextDataObject::GetFormats()
{
    return {MakeFormatEtc(CF_TEXT)};
}

HRESULT TTextDataObject::RenderData(const FORMATETC&, STGMEDIUM& Medium)
{
    const std::string Bytes = Utf8ToCp932(FText);
    HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, Bytes.size() + 1);
    if (!H)
        return STG_E_MEDIUMFULL;
    std::memcpy(GlobalLock(H), Bytes.c_str(), Bytes.size() + 1);
    GlobalUnlock(H);
    Medium.tymed = TYMED_HGLOBAL;
    Medium.hGlobal = H;
    return S_OK;
}

TRTFDataObject::TRTFDataObject(const std::string& Text) : TTextDataObject(Text, GetFormats()) {}

TFormatEtcList TRTFDataObject::GetFormats()
{
    return {MakeFormatEtc(CFRichTextFormat())};
}

uint16_t CFRichTextFormat()
{
    static const uint16_t Format =
        RegisterClipboardFormatOrRaise("Rich Text Format", "uOLE2Win : RegisterClipboardFormat Failed.");
    return Format;
}

bool DataObjectHasFormat(IDataObject* Source, uint16_t Format)
{
    return Source && Source->QueryGetData(MakeFormatEtc(Format)) == S_OK;
}

uint16_t RegisterClipboardFormatOrRaise(const std::string& Name, const std::string& Message)
{
    const uint16_t Format = RegisterClipboardFormat(Name);
    if (Format == 0)
        throw EUserError(Message);
    return Format;
}
