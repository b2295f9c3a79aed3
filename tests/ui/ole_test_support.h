// Test doubles and helpers of the data-object and clipboard tests.
#pragma once

#include "platform/message_box.h"
#include "ui/data_object.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

using TBlocks = std::vector<std::pair<uint16_t, std::string>>;

// A data object serving the given blocks, in their order; counts its
// renders and notes its end in *Gone.
class TBytesDataObject final : public TDataObject {
public:
    explicit TBytesDataObject(TBlocks Blocks, bool* Gone = nullptr)
        : TDataObject(ListOf(Blocks)), FBlocks(std::move(Blocks)), FGone(Gone)
    {
    }
    ~TBytesDataObject() override
    {
        if (FGone)
            *FGone = true;
    }
    int Renders = 0;

protected:
    HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) override
    {
        ++Renders;
        for (const auto& [F, Bytes] : FBlocks)
            if (F == Format.cfFormat) {
                Medium.hGlobal = GlobalAlloc(GMEM_MOVEABLE, Bytes.size());
                std::memcpy(GlobalLock(Medium.hGlobal), Bytes.data(), Bytes.size());
                GlobalUnlock(Medium.hGlobal);
                Medium.tymed = TYMED_HGLOBAL;
                return S_OK;
            }
        return DV_E_FORMATETC;
    }

private:
    static TFormatEtcList ListOf(const TBlocks& Blocks)
    {
        TFormatEtcList L;
        for (const auto& B : Blocks)
            L.push_back(MakeFormatEtc(B.first));
        return L;
    }
    TBlocks FBlocks;
    bool* FGone;
};

// The bytes of Source's block of Format; "(none)" when not served.
inline std::string BlockOf(IDataObject* Source, uint16_t Format)
{
    STGMEDIUM M;
    if (Source->GetData(MakeFormatEtc(Format), M) != S_OK)
        return "(none)";
    std::string S(static_cast<const char*>(GlobalLock(M.hGlobal)), GlobalSize(M.hGlobal));
    GlobalUnlock(M.hGlobal);
    ReleaseStgMedium(M);
    return S;
}

inline std::string StdOf(const QByteArray& B)
{
    return B.toStdString();
}

// Another program's data on the clipboard: each MIME type with its bytes.
inline void PutForeignClipboard(const std::vector<std::pair<QString, QByteArray>>& Entries)
{
    auto* Mime = new QMimeData; // the clipboard takes it
    for (const auto& [Type, Bytes] : Entries)
        Mime->setData(Type, Bytes);
    QGuiApplication::clipboard()->setMimeData(Mime);
}

inline QByteArray ClipboardData(const QString& Type)
{
    const QMimeData* Mime = QGuiApplication::clipboard()->mimeData();
    return Mime ? Mime->data(Type) : QByteArray();
}

// Records the texts of message boxes for the scope.
class TRecordedBoxes {
public:
    TRecordedBoxes()
        : FOld(SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
              Texts.push_back(Text);
              return IDOK;
          }))
    {
    }
    ~TRecordedBoxes() { SetMessageBoxHandler(FOld); }
    TRecordedBoxes(const TRecordedBoxes&) = delete;
    TRecordedBoxes& operator=(const TRecordedBoxes&) = delete;
    std::vector<std::string> Texts;

private:
    TMessageBoxHandler FOld;
};
