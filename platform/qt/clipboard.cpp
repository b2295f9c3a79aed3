#include "platform/qt/clipboard.h"

#include "platform/qt/clipboard_mime.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

// Formats handed over between EmptyClipboard and CloseClipboard.
class TBlockMimeData : public TFormatMimeData {
public:
    void SetBlock(uint16_t Format, const QByteArray& Block)
    {
        FBlocks[Format] = Block;
        OfferFormat(Format);
    }
    bool Empty() const { return FBlocks.empty(); }

protected:
    bool RenderBlock(uint16_t Format, QByteArray& Block) const override
    {
        const auto It = FBlocks.find(Format);
        if (It == FBlocks.end())
            return false;
        Block = It->second;
        return true;
    }

private:
    std::map<uint16_t, QByteArray> FBlocks;
};

struct TClipboardState {
    bool Open = false;
    std::unique_ptr<TBlockMimeData> Pending; // set by EmptyClipboard
    std::vector<HGLOBAL> HandedOut;
};

TClipboardState& State()
{
    static TClipboardState S;
    return S;
}

QClipboard* Clipboard()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) ? QGuiApplication::clipboard()
                                                                          : nullptr;
}

void FreeHandedOut()
{
    for (HGLOBAL H : State().HandedOut)
        GlobalFree(H);
    State().HandedOut.clear();
}

} // namespace

bool OpenClipboard(void*)
{
    TClipboardState& S = State();
    if (S.Open || !Clipboard())
        return false;
    S.Open = true;
    return true;
}

bool CloseClipboard()
{
    TClipboardState& S = State();
    if (!S.Open)
        return false;
    S.Open = false;
    FreeHandedOut();
    if (S.Pending && !S.Pending->Empty())
        Clipboard()->setMimeData(S.Pending.release());
    S.Pending.reset();
    return true;
}

bool EmptyClipboard()
{
    TClipboardState& S = State();
    if (!S.Open)
        return false;
    FreeHandedOut();
    Clipboard()->clear();
    S.Pending = std::make_unique<TBlockMimeData>();
    return true;
}

HGLOBAL SetClipboardData(uint16_t Format, HGLOBAL Data)
{
    TClipboardState& S = State();
    if (!S.Open || !S.Pending || MimeTypesOfFormat(Format).isEmpty())
        return nullptr;
    const void* Bytes = GlobalLock(Data);
    if (!Bytes)
        return nullptr;
    S.Pending->SetBlock(Format, QByteArray(static_cast<const char*>(Bytes),
                                           static_cast<qsizetype>(GlobalSize(Data))));
    GlobalUnlock(Data);
    GlobalFree(Data);
    return Data;
}

HGLOBAL GetClipboardData(uint16_t Format)
{
    TClipboardState& S = State();
    const QMimeData* Mime = S.Open ? Clipboard()->mimeData() : nullptr;
    QByteArray Block;
    if (!Mime || !MimeToBlock(*Mime, Format, Block))
        return nullptr;
    HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE, static_cast<size_t>(Block.size()));
    void* Data = GlobalLock(H);
    if (!Data) {
        if (H)
            GlobalFree(H);
        return nullptr;
    }
    std::memcpy(Data, Block.constData(), static_cast<size_t>(Block.size()));
    GlobalUnlock(H);
    S.HandedOut.push_back(H);
    return H;
}

QByteArray ClipboardPlainTextUtf8()
{
    QClipboard* C = Clipboard();
    const QMimeData* Mime = C ? C->mimeData() : nullptr;
    const QString Type = QStringLiteral("text/plain");
    return Mime && Mime->hasFormat(Type) ? Mime->data(Type) : QByteArray();
}

bool IsClipboardFormatAvailable(uint16_t Format)
{
    QClipboard* C = Clipboard();
    const QMimeData* Mime = C ? C->mimeData() : nullptr;
    return Mime && MimeHasFormat(*Mime, Format);
}
