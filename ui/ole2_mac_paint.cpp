#include "ui/ole2_mac_paint.h"

#include "foundation/stream_text.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "paint/paint_macro.h"
#include "platform/clipboard_formats.h"
#include "platform/qt/clipboard.h"
#include "store/picture_store.h"
#include "ui/ole2_color.h"
#include "ui/ole2_gradation.h"
#include "ui/ole_qt_bridge.h"

#include <cstring>

namespace {

const char* const PaintMacroLine = "Tavro Paint Macro";
const char* const PaintStyleLine = "Tavro Paint Style";
// The stream version the clipboard forms are read with.
constexpr int32_t ClipboardStreamVersion = 25;

uint16_t RegisterMacPaint(const char* Name)
{
    return RegisterClipboardFormatOrRaise(Name, "uOLE2MacPaint: RegisterClipboardFormat Failed.");
}

// Bytes := Source's block of Format, a CF_TEXT block up to its first zero.
bool ReadBlock(IDataObject* Source, const FORMATETC& Format, std::string& Bytes)
{
    STGMEDIUM Medium;
    if (!Source || Source->GetData(Format, Medium) != S_OK)
        return false;
    const auto* Data = static_cast<const char*>(GlobalLock(Medium.hGlobal));
    if (Data) {
        Bytes.assign(Data, GlobalSize(Medium.hGlobal));
        GlobalUnlock(Medium.hGlobal);
        if (Format.cfFormat == CF_TEXT)
            Bytes.resize(std::strlen(Bytes.c_str()));
    }
    ReleaseStgMedium(Medium);
    return Data != nullptr;
}

// The own format (the first of Formats) served, or CF_TEXT whose first line is Line.
bool HasOwnOrTextLine(IDataObject* Source, const TFormatEtcList& Formats, const char* Line)
{
    for (const FORMATETC& F : Formats) {
        std::string Bytes;
        if (!ReadBlock(Source, F, Bytes))
            continue;
        if (F.cfFormat != CF_TEXT)
            return true;
        TMemoryStreamWex S;
        S.SetPointer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
        if (StreamReadln(S) == Line)
            return true;
    }
    return false;
}

HRESULT StreamToMedium(TMemoryStream& S, STGMEDIUM& Medium)
{
    HGLOBAL H = nullptr;
    if (!StreamToGlobal(S, H, GMEM_MOVEABLE | GMEM_DDESHARE))
        return STG_E_MEDIUMFULL;
    Medium.tymed = TYMED_HGLOBAL;
    Medium.hGlobal = H;
    return S_OK;
}

} // namespace

const TMacPaintFormats& CFMacPaint()
{
    static const TMacPaintFormats Formats = [] {
        TMacPaintFormats F{};
        F.PaintStyle = RegisterMacPaint("Tavro Paint Style");
        F.PaintMacro = RegisterMacPaint("Tavro Paint Macro");
        F.FillParam = RegisterMacPaint("Tavro_FillParam");
        return F;
    }();
    return Formats;
}

TDataObjectMacPaint::TDataObjectMacPaint(const TMacro& Macro)
    : TDataObject(GetFormats()), FMacro(std::make_unique<TMacro>())
{
    FMacro->Assign(Macro);
}

TDataObjectMacPaint::~TDataObjectMacPaint() = default;

TFormatEtcList TDataObjectMacPaint::GetFormats()
{
    return {MakeFormatEtc(CFMacPaint().PaintMacro), MakeFormatEtc(CF_TEXT)};
}

HRESULT TDataObjectMacPaint::RenderData(const FORMATETC& Format, STGMEDIUM& Medium)
{
    try {
        TMemoryStream S;
        if (Format.cfFormat == CF_TEXT) {
            StreamWriteln(S, PaintMacroLine);
            FMacro->WriteToStreamAsText(S);
        } else {
            FMacro->WriteToStream(S);
        }
        return StreamToMedium(S, Medium);
    } catch (...) {
        return STG_E_MEDIUMFULL;
    }
}

bool TDataObjectMacPaint::GetMacro(IDataObject* Source, TMacro& Macro)
{
    for (const FORMATETC& F : GetFormats()) {
        std::string Bytes;
        if (!ReadBlock(Source, F, Bytes))
            continue;
        try {
            TMemoryStreamWex S;
            S.SetPointer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
            TMacro Read;
            if (F.cfFormat == CF_TEXT) {
                if (StreamReadln(S) != PaintMacroLine)
                    continue;
                Read.ReadFromStreamAsText(S, ClipboardStreamVersion);
            } else {
                Read.ReadFromStream(S, ClipboardStreamVersion);
            }
            if (!MacroValuesInDeclaredRange(Read))
                continue;
            Macro.Clear();
            Macro.Assign(Read);
            return true;
        } catch (...) {
            // Foreign or damaged data is no macro; the next format may be.
        }
    }
    return false;
}

bool TDataObjectMacPaint::HasMacro(IDataObject* Source)
{
    return HasOwnOrTextLine(Source, GetFormats(), PaintMacroLine);
}

TDataObjectPaintStyle::TDataObjectPaintStyle(const TMacros& Macros, TStream& Pictures)
    : TDataObject(GetFormats()), FMacros(std::make_unique<TMacros>()), FPictures(std::make_unique<TMemoryStream>())
{
    FMacros->Assign(&Macros);
    const int64_t Rest = Pictures.Size() - Pictures.Position();
    if (Rest > 0)
        FPictures->CopyFrom(Pictures, Rest);
}

TDataObjectPaintStyle::~TDataObjectPaintStyle() = default;

TFormatEtcList TDataObjectPaintStyle::GetFormats()
{
    return {MakeFormatEtc(CFMacPaint().PaintStyle), MakeFormatEtc(CF_TEXT)};
}

HRESULT TDataObjectPaintStyle::RenderData(const FORMATETC& Format, STGMEDIUM& Medium)
{
    try {
        TMemoryStream S;
        FPictures->SetPosition(0);
        if (Format.cfFormat != CF_TEXT) {
            FMacros->WriteToStream(S);
            if (FPictures->Size() > 0)
                S.CopyFrom(*FPictures, FPictures->Size());
            return StreamToMedium(S, Medium);
        }
        StreamWriteln(S, PaintStyleLine);
        FMacros->WriteToStreamAsText(S);
        int32_t Count = 0;
        FPictures->ReadBuffer(&Count, sizeof Count);
        // Each picture takes at least its handle's four bytes.
        if (Count < 0 || Count > (FPictures->Size() - FPictures->Position()) / 4)
            return STG_E_MEDIUMFULL;
        StreamWriteln(S, std::to_string(Count));
        for (int32_t I = 0; I < Count; ++I) {
            int32_t Handle = 0;
            FPictures->ReadBuffer(&Handle, sizeof Handle);
            TListRecPictItem Item;
            Item.ReadFromStream(*FPictures, ClipboardStreamVersion);
            StreamWriteln(S, std::to_string(Handle));
            Item.WriteToStreamAsText(S);
        }
        return StreamToMedium(S, Medium);
    } catch (...) {
        return STG_E_MEDIUMFULL;
    }
}

bool TDataObjectPaintStyle::GetPaintStyle(IDataObject* Source, TMacros& Macros, TMemoryStream* Pictures,
                                          bool* TooLarge)
{
    if (TooLarge)
        *TooLarge = false;
    for (const FORMATETC& F : GetFormats()) {
        std::string Bytes;
        if (!ReadBlock(Source, F, Bytes))
            continue;
        try {
            TMemoryStreamWex S;
            S.SetPointer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
            TMacros Read;
            char Kind = '0';
            // The count leads the list in both forms: a style past the limit
            // is refused before any macro of it is read.
            int32_t Count = 0;
            if (F.cfFormat == CF_TEXT) {
                if (StreamReadln(S) != PaintStyleLine)
                    return false;
                const int64_t At = S.Position();
                if (!TryStrToInt(StreamReadln(S), Count))
                    Count = 0;
                S.SetPosition(At);
            } else if (Bytes.size() >= sizeof Count) {
                std::memcpy(&Count, Bytes.data(), sizeof Count);
            }
            if (Count > MaxPaintStyleMacros) {
                if (TooLarge)
                    *TooLarge = true;
                return false;
            }
            if (F.cfFormat == CF_TEXT) {
                Read.ReadFromStreamAsText(S, ClipboardStreamVersion);
                Kind = '1';
            } else {
                Read.ReadFromStream(S, ClipboardStreamVersion);
            }
            for (int32_t I = 0; I < Read.Count(); ++I)
                if (!MacroValuesInDeclaredRange(*Read.GetMacro(I)))
                    return false;
            Macros.Assign(&Read);
            if (Pictures) {
                const int64_t At = S.Position();
                Pictures->Clear();
                Pictures->WriteBuffer(&Kind, 1);
                if (At < static_cast<int64_t>(Bytes.size()))
                    Pictures->WriteBuffer(Bytes.data() + At, static_cast<int32_t>(Bytes.size() - At));
            }
            return true;
        } catch (...) {
            return false;
        }
    }
    return false;
}

bool TDataObjectPaintStyle::HasPaintStyle(IDataObject* Source)
{
    return HasOwnOrTextLine(Source, GetFormats(), PaintStyleLine);
}

namespace {

bool ClipboardHasOwnOrTextLine(uint16_t Own, bool (*Has)(IDataObject*))
{
    if (IsClipboardFormatAvailable(Own))
        return true;
    if (!IsClipboardFormatAvailable(CF_TEXT))
        return false;
    TComPtr<IDataObject> Data;
    return OleGetClipboard(Data) == S_OK && Has(Data.Get());
}

} // namespace

bool ClipboardHasPaintMacro()
{
    return ClipboardHasOwnOrTextLine(CFMacPaint().PaintMacro, &TDataObjectMacPaint::HasMacro);
}

bool ClipboardHasPaintStyle()
{
    return ClipboardHasOwnOrTextLine(CFMacPaint().PaintStyle, &TDataObjectPaintStyle::HasPaintStyle);
}

bool ClipboardHasPaintFill()
{
    return IsClipboardFormatAvailable(CFWexColor()) || IsClipboardFormatAvailable(CFZelbarGradation());
}
