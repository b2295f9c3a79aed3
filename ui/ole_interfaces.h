// The shapes of the platform's data-transfer interfaces as plain C++: the
// format and medium records, the result codes, and reference-counted
// IDataObject, IEnumFORMATETC, IDropSource and IDropTarget. Objects start
// with a count of zero and are freed by the release that brings the count
// back to zero; TComPtr holds one reference.
#pragma once

#include "platform/global_memory.h"

#include <cstdint>
#include <utility>

using HRESULT = int32_t;

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = static_cast<HRESULT>(0x80004001);
constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005);
constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057);
constexpr HRESULT DV_E_FORMATETC = static_cast<HRESULT>(0x80040064);
constexpr HRESULT DATA_S_SAMEFORMATETC = 0x00040130;
constexpr HRESULT OLE_E_ADVISENOTSUPPORTED = static_cast<HRESULT>(0x80040003);
constexpr HRESULT STG_E_MEDIUMFULL = static_cast<HRESULT>(0x80030070);
constexpr HRESULT DRAGDROP_S_DROP = 0x00040100;
constexpr HRESULT DRAGDROP_S_CANCEL = 0x00040101;
constexpr HRESULT DRAGDROP_S_USEDEFAULTCURSORS = 0x00040102;
constexpr HRESULT DRAGDROP_E_NOTREGISTERED = static_cast<HRESULT>(0x80040100);
constexpr HRESULT DRAGDROP_E_ALREADYREGISTERED = static_cast<HRESULT>(0x80040101);

constexpr uint32_t DVASPECT_CONTENT = 1;
constexpr uint32_t TYMED_HGLOBAL = 1;
constexpr uint32_t DATADIR_GET = 1;
constexpr uint32_t DATADIR_SET = 2;

// Key-state bits of drag and drop.
constexpr uint32_t MK_LBUTTON = 0x01;
constexpr uint32_t MK_RBUTTON = 0x02;
constexpr uint32_t MK_SHIFT = 0x04;
constexpr uint32_t MK_CONTROL = 0x08;
constexpr uint32_t MK_MBUTTON = 0x10;
constexpr uint32_t MK_ALT = 0x20;

constexpr uint32_t DROPEFFECT_NONE = 0;
constexpr uint32_t DROPEFFECT_COPY = 1;
constexpr uint32_t DROPEFFECT_MOVE = 2;
constexpr uint32_t DROPEFFECT_LINK = 4;

struct FORMATETC {
    uint16_t cfFormat = 0;
    void* ptd = nullptr;
    uint32_t dwAspect = DVASPECT_CONTENT;
    int32_t lindex = -1;
    uint32_t tymed = TYMED_HGLOBAL;
};

// The record every format list of the program uses: content, index -1,
// global memory.
inline FORMATETC MakeFormatEtc(uint16_t Format)
{
    return FORMATETC{Format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

struct STGMEDIUM {
    uint32_t tymed = 0;
    HGLOBAL hGlobal = nullptr;
};

// Frees the medium's block and zeroes the record.
void ReleaseStgMedium(STGMEDIUM& Medium);

struct POINTL {
    int32_t x = 0;
    int32_t y = 0;
};

class IUnknown {
public:
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    virtual ~IUnknown() = default;
};

// One reference to an interface; the raw pointer it is given gains one.
template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) {}
    explicit TComPtr(T* P) : FP(P)
    {
        if (FP)
            FP->AddRef();
    }
    TComPtr(const TComPtr& O) : TComPtr(O.FP) {}
    template <class U>
    TComPtr(const TComPtr<U>& O) : TComPtr(O.Get())
    {
    }
    TComPtr(TComPtr&& O) noexcept : FP(std::exchange(O.FP, nullptr)) {}
    ~TComPtr()
    {
        if (FP)
            FP->Release();
    }
    TComPtr& operator=(TComPtr O) noexcept
    {
        std::swap(FP, O.FP);
        return *this;
    }
    T* Get() const { return FP; }
    T* operator->() const { return FP; }
    T& operator*() const { return *FP; }
    explicit operator bool() const { return FP != nullptr; }
    void Reset() { *this = TComPtr(); }

private:
    T* FP = nullptr;
};

// A new object held by its first reference.
template <class T, class... A>
TComPtr<T> MakeCom(A&&... Args)
{
    return TComPtr<T>(new T(std::forward<A>(Args)...));
}

// The reference count of every object of the family: zero at creation.
template <class I>
class TInterfacedObject : public I {
public:
    uint32_t AddRef() override { return ++FRefCount; }
    uint32_t Release() override
    {
        const uint32_t N = --FRefCount;
        if (N == 0)
            delete this;
        return N;
    }
    uint32_t RefCount() const { return FRefCount; }

private:
    uint32_t FRefCount = 0;
};

class IEnumFORMATETC : public IUnknown {
public:
    virtual HRESULT Next(uint32_t Celt, FORMATETC* Elt, uint32_t* Fetched) = 0;
    virtual HRESULT Skip(uint32_t Celt) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(TComPtr<IEnumFORMATETC>& Enum) = 0;
};

class IAdviseSink;
class IEnumSTATDATA;

class IDataObject : public IUnknown {
public:
    virtual HRESULT GetData(const FORMATETC& Format, STGMEDIUM& Medium) = 0;
    virtual HRESULT GetDataHere(const FORMATETC& Format, STGMEDIUM& Medium) = 0;
    virtual HRESULT QueryGetData(const FORMATETC& Format) = 0;
    virtual HRESULT GetCanonicalFormatEtc(const FORMATETC& In, FORMATETC& Out) = 0;
    virtual HRESULT SetData(const FORMATETC& Format, STGMEDIUM& Medium, bool Release) = 0;
    virtual HRESULT EnumFormatEtc(uint32_t Direction, TComPtr<IEnumFORMATETC>& Enum) = 0;
    virtual HRESULT DAdvise(const FORMATETC& Format, uint32_t Advf, IAdviseSink* Sink,
                            uint32_t& Connection) = 0;
    virtual HRESULT DUnadvise(uint32_t Connection) = 0;
    virtual HRESULT EnumDAdvise(IEnumSTATDATA** Enum) = 0;
};

class IDropSource : public IUnknown {
public:
    virtual HRESULT QueryContinueDrag(bool EscapePressed, uint32_t KeyState) = 0;
    virtual HRESULT GiveFeedback(uint32_t Effect) = 0;
};

class IDropTarget : public IUnknown {
public:
    virtual HRESULT DragEnter(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect) = 0;
    virtual HRESULT DragOver(uint32_t KeyState, POINTL Pt, uint32_t& Effect) = 0;
    virtual HRESULT DragLeave() = 0;
    virtual HRESULT Drop(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect) = 0;
};
