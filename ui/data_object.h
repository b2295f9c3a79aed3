// The base of every clipboard and drag value: a data object over a fixed
// list of formats that renders each asked format into a new global block,
// its format enumerator, the plain-text and rich-text objects, and the
// readers that take a value out of any data object.
//
// Texts are UTF-8 in memory and CP932 in the blocks: a text object renders
// the CP932 bytes of its text with a terminating zero, and GetDataString
// gives such a block back as UTF-8.
#pragma once

#include "ui/ole_interfaces.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using TFormatEtcList = std::vector<FORMATETC>;

class TDataObject : public TInterfacedObject<IDataObject> {
public:
    explicit TDataObject(const TFormatEtcList& Formats);

    HRESULT GetData(const FORMATETC& Format, STGMEDIUM& Medium) override;
    HRESULT GetDataHere(const FORMATETC& Format, STGMEDIUM& Medium) override;
    // A record offers the format when format and aspect are equal and the
    // medium kinds share a bit; device and index are not compared.
    HRESULT QueryGetData(const FORMATETC& Format) override;
    HRESULT GetCanonicalFormatEtc(const FORMATETC& In, FORMATETC& Out) override;
    HRESULT SetData(const FORMATETC& Format, STGMEDIUM& Medium, bool Release) override;
    // DATADIR_GET only; the enumerator reads this object's list and keeps
    // the object alive.
    HRESULT EnumFormatEtc(uint32_t Direction, TComPtr<IEnumFORMATETC>& Enum) override;
    HRESULT DAdvise(const FORMATETC& Format, uint32_t Advf, IAdviseSink* Sink,
                    uint32_t& Connection) override;
    HRESULT DUnadvise(uint32_t Connection) override;
    HRESULT EnumDAdvise(IEnumSTATDATA** Enum) override;

    const TFormatEtcList& Formats() const { return FFormats; }

    // The readers of the data-object classes: Formats is the list of the
    // class asked (its GetFormats), walked in order; the first format Source
    // serves is taken and no other. Neither reads past the block.
    // Text := the block's bytes up to its first zero (or its end), as UTF-8;
    // empty when no format is served. A text of more than MaxBytes bytes is
    // refused before it is converted: False, and Text empty.
    static bool GetDataString(IDataObject* Source, std::string& Text, const TFormatEtcList& Formats,
                              size_t MaxBytes = SIZE_MAX);
    // Copies Size bytes of the block into Buffer. A block shorter than Size
    // is refused: False, and Buffer is untouched, as when nothing is served.
    static bool GetDataBuffer(IDataObject* Source, void* Buffer, size_t Size,
                              const TFormatEtcList& Formats);

protected:
    // Renders Format (one this object offers) into a new block.
    virtual HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) = 0;

private:
    TFormatEtcList FFormats;
};

class TEnumFormatEtc : public TInterfacedObject<IEnumFORMATETC> {
public:
    // Enumerates Count records at Formats in place; Owner, when given, is
    // held so that they outlive the enumerator.
    TEnumFormatEtc(const FORMATETC* Formats, int32_t Count, IUnknown* Owner, int32_t Index = 0);

    HRESULT Next(uint32_t Celt, FORMATETC* Elt, uint32_t* Fetched) override;
    HRESULT Skip(uint32_t Celt) override;
    HRESULT Reset() override;
    HRESULT Clone(TComPtr<IEnumFORMATETC>& Enum) override;

    int32_t Index() const { return FIndex; }

private:
    const FORMATETC* FFormats;
    int32_t FCount;
    int32_t FIndex;
    TComPtr<IUnknown> FOwner;
};

class TTextDataObject : public TDataObject {
public:
    explicit TTextDataObject(const std::string& Text);
    static TFormatEtcList GetFormats(); // CF_TEXT

    const std::string& Text() const { return FText; }

protected:
    TTextDataObject(const std::string& Text, const TFormatEtcList& Formats);
    // The text whatever format is asked.
    HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) override;

private:
    std::string FText;
};

class TRTFDataObject : public TTextDataObject {
public:
    explicit TRTFDataObject(const std::string& Text);
    static TFormatEtcList GetFormats(); // "Rich Text Format"
};

// The number of "Rich Text Format", registered on first use; EUserError
// "uOLE2Win : RegisterClipboardFormat Failed." when none is given.
uint16_t CFRichTextFormat();

// True when Source offers Format as {content, index -1, global memory}.
bool DataObjectHasFormat(IDataObject* Source, uint16_t Format);

// The registration of the value formats: the number of Name, or EUserError
// Message when the platform gives none.
uint16_t RegisterClipboardFormatOrRaise(const std::string& Name, const std::string& Message);
