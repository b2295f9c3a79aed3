#include "editors/rtf_tav_data_obj.h"

#include "platform/clipboard_formats.h"
#include "platform/cp932.h"
#include "ui/ole_qt_bridge.h"

#include <QClipboard>
#include <QGuiApplication>

#include <cstring>
#include <memory>

namespace {

constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;

void PutI32(uint8_t* P, int32_t V)
{
    const auto U = static_cast<uint32_t>(V);
    for (int I = 0; I < 4; ++I)
        P[I] = static_cast<uint8_t>(U >> (8 * I));
}

int32_t GetI32(const uint8_t* P)
{
    uint32_t U = 0;
    for (int I = 0; I < 4; ++I)
        U |= static_cast<uint32_t>(P[I]) << (8 * I);
    return static_cast<int32_t>(U);
}

size_t Padded(size_t L)
{
    return (L + 3) / 4 * 4;
}

// Text/html after "Wex_RtfTav", so that a reader of ours meets its own form first.
class TRtfTavMimeData : public TOleMimeData {
public:
    TRtfTavMimeData(IDataObject* Source, const QString& Html) : TOleMimeData(Source), FHtml(Html) {}

    QStringList formats() const override
    {
        QStringList F = TOleMimeData::formats();
        if (!FHtml.isEmpty() && !F.contains(HtmlType()))
            F.insert(F.isEmpty() ? 0 : 1, HtmlType());
        return F;
    }
    bool hasFormat(const QString& MimeType) const override
    {
        return (MimeType == HtmlType() && !FHtml.isEmpty()) || TOleMimeData::hasFormat(MimeType);
    }

protected:
    QVariant retrieveData(const QString& MimeType, QMetaType Type) const override
    {
        if (MimeType == HtmlType() && !FHtml.isEmpty())
            return FHtml.toUtf8();
        return TOleMimeData::retrieveData(MimeType, Type);
    }

private:
    static QString HtmlType() { return QStringLiteral("text/html"); }
    QString FHtml;
};

} // namespace

uint16_t CFWexRtfTav()
{
    static const uint16_t Format =
        RegisterClipboardFormatOrRaise("Wex_RtfTav", "uOLE2Color : RegisterClipboardFormat Failed.");
    return Format;
}

std::vector<uint8_t> WriteRtfTavBlock(const TRTFTav& Rich)
{
    const size_t L = Rich.Text.size();
    const size_t L4 = Padded(L);
    std::vector<const TCharStyle*> Styled;
    for (size_t I = 0; I < L; ++I)
        if (const TCharStyle* S = Rich.Styles.GetItem(static_cast<int32_t>(I)))
            Styled.push_back(S);
    std::vector<uint8_t> B(4 + L4 + CharAttrSize * Styled.size() + L + 1, 0);
    PutI32(B.data(), static_cast<int32_t>(L));
    uint8_t* Record = B.data() + 4 + L4;
    for (size_t I = 0; I < L; ++I)
        if (const TCharStyle* S = Rich.Styles.GetItem(static_cast<int32_t>(I))) {
            B[4 + I] = 1;
            std::memcpy(Record, &S->Attr, CharAttrSize);
            Record += CharAttrSize;
        }
    std::memcpy(Record, Rich.Text.data(), L);
    return B;
}

bool ReadRtfTavBlock(const uint8_t* Data, size_t Size, const TrecCharAttr& InsertionStyle, int32_t Dpi,
                     TRTFTav& Target)
{
    Target.Clear();
    if (!Data || Size < 4)
        return false;
    const int32_t SignedL = GetI32(Data);
    if (SignedL < 0 || SignedL > MaxTextObjectBytes || static_cast<size_t>(SignedL) > Size)
        return false;
    const size_t L = static_cast<size_t>(SignedL);
    const size_t L4 = Padded(L);
    if (4 + L4 > Size)
        return false;
    const uint8_t* Flags = Data + 4;
    size_t N = 0;
    for (size_t I = 0; I < L; ++I)
        N += Flags[I] != 0;
    const size_t TextAt = 4 + L4 + CharAttrSize * N;
    // The text must fill its L bytes and end there.
    if (TextAt > Size || Size - TextAt < L + 1)
        return false;
    const uint8_t* Text = Data + TextAt;
    if (Text[L] != 0 || std::memchr(Text, 0, L))
        return false;
    // Every record, used or skipped, must be one the text model can draw.
    for (size_t I = 0; I < N; ++I) {
        TrecCharAttr Attr;
        std::memcpy(&Attr, Data + 4 + L4 + CharAttrSize * I, CharAttrSize);
        if (!CharAttrDrawable(Attr, Dpi))
            return false;
    }
    TRTFTav Read;
    Read.Text.assign(reinterpret_cast<const char*>(Text), L);
    Read.Styles.InsertSpace(0, static_cast<int32_t>(L));
    const uint8_t* Record = Data + 4 + L4;
    std::vector<bool> Starts(L, false);
    for (size_t I = 0; I < L; I += IsSjisLeadByte(Text[I]) ? 2 : 1)
        Starts[I] = Text[I] != CR && Text[I] != LF;
    for (size_t I = 0; I < L; ++I) {
        if (!Starts[I] && !Flags[I])
            continue;
        auto Style = std::make_unique<TCharStyle>();
        if (Flags[I]) {
            std::memcpy(&Style->Attr, Record, CharAttrSize);
            Style->Attr.FaceName[sizeof Style->Attr.FaceName - 1] = 0;
            Record += CharAttrSize;
        } else {
            Style->Attr = InsertionStyle;
        }
        if (Starts[I])
            Read.Styles.SetItem(static_cast<int32_t>(I), Style.release());
    }
    Target.Assign(Read);
    return true;
}

TRtfTavDataObj::TRtfTavDataObj(const TRTFTav& Rich, const QString& Html) : TDataObject(GetFormats()), FHtml(Html)
{
    FRich.Assign(Rich);
}

TFormatEtcList TRtfTavDataObj::GetFormats()
{
    return {MakeFormatEtc(CFWexRtfTav()), MakeFormatEtc(CF_TEXT)};
}

HRESULT TRtfTavDataObj::RenderData(const FORMATETC& Format, STGMEDIUM& Medium)
{
    std::vector<uint8_t> Block;
    if (Format.cfFormat == CFWexRtfTav()) {
        Block = WriteRtfTavBlock(FRich);
    } else {
        // The text is CP932 already, as the block wants it.
        Block.assign(FRich.Text.begin(), FRich.Text.end());
        Block.push_back(0);
    }
    HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE, Block.size());
    void* P = GlobalLock(H);
    if (!P) {
        if (H)
            GlobalFree(H);
        return STG_E_MEDIUMFULL;
    }
    std::memcpy(P, Block.data(), Block.size());
    GlobalUnlock(H);
    Medium.tymed = TYMED_HGLOBAL;
    Medium.hGlobal = H;
    return S_OK;
}

TRtfTavRead TRtfTavDataObj::ReadRichText(IDataObject* Source, TRTFTav& Target, const TrecCharAttr& InsertionStyle,
                                         int32_t Dpi)
{
    Target.Clear();
    STGMEDIUM Medium;
    if (!Source || Source->GetData(MakeFormatEtc(CFWexRtfTav()), Medium) != S_OK)
        return TRtfTavRead::Missing;
    TRtfTavRead Result = TRtfTavRead::Refused;
    if (const void* P = GlobalLock(Medium.hGlobal)) {
        const auto* Bytes = static_cast<const uint8_t*>(P);
        const size_t Size = GlobalSize(Medium.hGlobal);
        if (Size >= 4 && GetI32(Bytes) > MaxTextObjectBytes)
            Result = TRtfTavRead::TooLarge;
        else if (ReadRtfTavBlock(Bytes, Size, InsertionStyle, Dpi, Target))
            Result = TRtfTavRead::Read;
        GlobalUnlock(Medium.hGlobal);
    }
    ReleaseStgMedium(Medium);
    return Result;
}

QMimeData* NewRtfTavMimeData(TRtfTavDataObj* Data)
{
    return new TRtfTavMimeData(Data, Data ? Data->Html() : QString());
}

void SetRtfTavClipboard(TRtfTavDataObj* Data)
{
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QGuiApplication::clipboard()->setMimeData(NewRtfTavMimeData(Data));
}
