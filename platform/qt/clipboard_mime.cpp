#include "platform/qt/clipboard_mime.h"

#include "platform/clipboard_formats.h"
#include "platform/cp932.h"
#include "platform/dib.h"
#include "platform/drop_files.h"

#include <QBuffer>
#include <QImage>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

const QString TextPlain = QStringLiteral("text/plain");
const QString UriList = QStringLiteral("text/uri-list");
const QString MozUrl = QStringLiteral("text/x-moz-url");
const QString DibMime = QString(TavroMimePrefix) + QStringLiteral("dib");
const QString BmpMime = QStringLiteral("image/bmp");
const QString PngMime = QStringLiteral("image/png");
const QString QtImageMime = QStringLiteral("application/x-qt-image");

QString RegisteredMime(uint16_t Format)
{
    const std::string Name = GetClipboardFormatName(Format);
    return Name.empty() ? QString() : QString(TavroMimePrefix) + QString::fromStdString(Name);
}

std::string_view View(const QByteArray& B)
{
    return std::string_view(B.constData(), static_cast<size_t>(B.size()));
}

QByteArray UpToZero(const QByteArray& B)
{
    const qsizetype Zero = B.indexOf('\0');
    return Zero < 0 ? B : B.left(Zero);
}

QByteArray WithZero(QByteArray B)
{
    B.append('\0');
    return B;
}

// A BMP file of a packed DIB: the file header's offset skips the info
// header, the masks and the colour table, each bounded by the block.
bool BmpOfDib(const QByteArray& Dib, QByteArray& Bmp)
{
    if (Dib.size() < static_cast<qsizetype>(sizeof(BITMAPINFOHEADER)))
        return false;
    BITMAPINFOHEADER H{};
    ReadBitmapInfoHeader(reinterpret_cast<const uint8_t*>(Dib.constData()), H);
    const uint64_t Size = static_cast<uint64_t>(Dib.size());
    if (H.biSize < sizeof(BITMAPINFOHEADER) || H.biSize > Size)
        return false;
    const uint64_t Colors = H.biClrUsed ? H.biClrUsed : (H.biBitCount <= 8 ? 1u << H.biBitCount : 0u);
    const uint64_t Masks = H.biCompression == BI_BITFIELDS && H.biSize == sizeof(BITMAPINFOHEADER) ? 12 : 0;
    const uint64_t Bits = H.biSize + Masks + Colors * sizeof(RGBQUAD);
    if (Bits > Size || Size + sizeof(BITMAPFILEHEADER) > 0xFFFFFFFFu)
        return false;
    const BITMAPFILEHEADER F{0x4D42, static_cast<uint32_t>(Size + sizeof F), 0, 0,
                             static_cast<uint32_t>(Bits + sizeof F)};
    Bmp = QByteArray(reinterpret_cast<const char*>(&F), sizeof F) + Dib;
    return true;
}

// The packed DIB of a picture: a BMP file as Qt writes it, without its file header.
bool DibOfImage(const QImage& Image, QByteArray& Dib)
{
    if (Image.isNull())
        return false;
    QByteArray Bmp;
    QBuffer Buffer(&Bmp);
    Buffer.open(QIODevice::WriteOnly);
    if (!Image.save(&Buffer, "BMP") || Bmp.size() <= static_cast<qsizetype>(sizeof(BITMAPFILEHEADER)))
        return false;
    Dib = Bmp.mid(sizeof(BITMAPFILEHEADER));
    return true;
}

bool IsUriList(const QMimeData& Mime)
{
    return Mime.hasFormat(UriList);
}

std::vector<std::string> LocalFilesOf(const QMimeData& Mime)
{
    std::vector<std::string> Names;
    if (IsUriList(Mime))
        for (const QUrl& U : Mime.urls())
            if (U.isLocalFile())
                Names.push_back(U.toLocalFile().toStdString());
    return Names;
}

QUrl FirstOtherUrlOf(const QMimeData& Mime)
{
    if (IsUriList(Mime))
        for (const QUrl& U : Mime.urls())
            if (U.isValid() && !U.isLocalFile() && !U.scheme().isEmpty())
                return U;
    return {};
}

// text/x-moz-url is UTF-16 "url\ntitle".
QUrl MozUrlOf(const QMimeData& Mime)
{
    if (!Mime.hasFormat(MozUrl))
        return {};
    QByteArray B = Mime.data(MozUrl);
    if (B.startsWith("\xFF\xFE"))
        B.remove(0, 2);
    std::u16string Text(static_cast<size_t>(B.size() / 2), u'\0');
    std::memcpy(Text.data(), B.constData(), Text.size() * 2);
    const QString Line = QString::fromStdU16String(Text).section(QLatin1Char('\n'), 0, 0).trimmed();
    const QUrl U(Line);
    return U.isValid() && !U.scheme().isEmpty() ? U : QUrl();
}

QUrl UrlOf(const QMimeData& Mime)
{
    const QUrl U = MozUrlOf(Mime);
    return U.isValid() ? U : FirstOtherUrlOf(Mime);
}

} // namespace

uint16_t CFUniformResourceLocator()
{
    static const uint16_t Format = RegisterClipboardFormat("UniformResourceLocator");
    return Format;
}

QStringList MimeTypesOfFormat(uint16_t Format)
{
    if (Format == 0)
        return {};
    if (Format == CF_TEXT)
        return {TextPlain};
    if (Format == CF_HDROP || Format == CFUniformResourceLocator())
        return {UriList};
    if (Format == CF_DIB)
        return {DibMime, BmpMime, PngMime};
    const QString Mime = RegisteredMime(Format);
    return Mime.isEmpty() ? QStringList() : QStringList{Mime};
}

bool BlockToMime(uint16_t Format, const QByteArray& Block, const QString& MimeType, QByteArray& Out)
{
    if (!MimeTypesOfFormat(Format).contains(MimeType))
        return false;
    if (Format == CF_TEXT) {
        Out = QByteArray::fromStdString(Cp932ToUtf8(View(UpToZero(Block))));
        return true;
    }
    if (Format == CF_HDROP) {
        const std::vector<std::string> Names = DropFilesNames(Block.constData(), static_cast<size_t>(Block.size()));
        if (Names.empty())
            return false;
        Out.clear();
        for (const std::string& N : Names)
            Out += QUrl::fromLocalFile(QString::fromStdString(N)).toEncoded() + "\r\n";
        return true;
    }
    if (Format == CFUniformResourceLocator()) {
        const QByteArray Url = UpToZero(Block);
        if (Url.isEmpty())
            return false;
        Out = Url + "\r\n";
        return true;
    }
    if (Format == CF_DIB && MimeType != DibMime) {
        QByteArray Bmp;
        if (!BmpOfDib(Block, Bmp))
            return false;
        if (MimeType == BmpMime) {
            Out = Bmp;
            return true;
        }
        const QImage Image = QImage::fromData(Bmp, "BMP");
        if (Image.isNull())
            return false;
        Out.clear();
        QBuffer Buffer(&Out);
        Buffer.open(QIODevice::WriteOnly);
        return Image.save(&Buffer, "PNG");
    }
    Out = Block;
    return true;
}

std::vector<uint16_t> FormatsOfMime(const QMimeData& Mime)
{
    std::vector<uint16_t> Formats;
    const auto Add = [&](uint16_t F) {
        if (F != 0 && std::find(Formats.begin(), Formats.end(), F) == Formats.end())
            Formats.push_back(F);
    };
    for (const QString& Type : Mime.formats()) {
        if (Type == DibMime || Type == BmpMime || Type == PngMime || Type == QtImageMime)
            Add(CF_DIB);
        else if (Type.startsWith(QLatin1String(TavroMimePrefix)))
            Add(RegisterClipboardFormat(Type.mid(static_cast<qsizetype>(std::strlen(TavroMimePrefix))).toStdString()));
        else if (Type == TextPlain)
            Add(CF_TEXT);
        else if (Type == UriList)
            for (const QUrl& U : Mime.urls()) {
                if (U.isLocalFile())
                    Add(CF_HDROP);
                else if (U.isValid() && !U.scheme().isEmpty())
                    Add(CFUniformResourceLocator());
            }
        else if (Type == MozUrl && MozUrlOf(Mime).isValid())
            Add(CFUniformResourceLocator());
    }
    return Formats;
}

bool MimeHasFormat(const QMimeData& Mime, uint16_t Format)
{
    if (Format == 0)
        return false;
    if (Format == CF_TEXT)
        return Mime.hasFormat(TextPlain);
    if (Format == CF_HDROP)
        return !LocalFilesOf(Mime).empty();
    if (Format == CFUniformResourceLocator())
        return UrlOf(Mime).isValid();
    if (Format == CF_DIB)
        return Mime.hasFormat(DibMime) || Mime.hasFormat(BmpMime) || Mime.hasFormat(PngMime) ||
               Mime.hasImage();
    const QString Type = RegisteredMime(Format);
    return !Type.isEmpty() && Mime.hasFormat(Type);
}

bool MimeToBlock(const QMimeData& Mime, uint16_t Format, QByteArray& Block)
{
    if (!MimeHasFormat(Mime, Format))
        return false;
    if (Format == CF_TEXT) {
        Block = WithZero(QByteArray::fromStdString(Utf8ToCp932(View(Mime.data(TextPlain)))));
        return true;
    }
    if (Format == CF_HDROP) {
        Block = QByteArray::fromStdString(DropFilesBytes(LocalFilesOf(Mime)));
        return true;
    }
    if (Format == CFUniformResourceLocator()) {
        Block = WithZero(UrlOf(Mime).toEncoded());
        return true;
    }
    if (Format == CF_DIB) {
        if (Mime.hasFormat(DibMime)) {
            Block = Mime.data(DibMime);
            return !Block.isEmpty();
        }
        if (Mime.hasFormat(BmpMime))
            return DibOfImage(QImage::fromData(Mime.data(BmpMime), "BMP"), Block);
        if (Mime.hasFormat(PngMime))
            return DibOfImage(QImage::fromData(Mime.data(PngMime), "PNG"), Block);
        return DibOfImage(qvariant_cast<QImage>(Mime.imageData()), Block);
    }
    Block = Mime.data(RegisteredMime(Format));
    return !Block.isEmpty();
}

QStringList TFormatMimeData::formats() const
{
    QStringList Types;
    for (const auto& [Type, Format] : FOffers)
        Types << Type;
    return Types;
}

bool TFormatMimeData::hasFormat(const QString& MimeType) const
{
    return std::any_of(FOffers.begin(), FOffers.end(), [&](const auto& O) { return O.first == MimeType; });
}

void TFormatMimeData::OfferFormat(uint16_t Format)
{
    for (const QString& Type : MimeTypesOfFormat(Format))
        if (!hasFormat(Type))
            FOffers.emplace_back(Type, Format);
}

QVariant TFormatMimeData::retrieveData(const QString& MimeType, QMetaType) const
{
    for (const auto& [Type, Format] : FOffers) {
        if (Type != MimeType)
            continue;
        QByteArray Block;
        QByteArray Out;
        if (RenderBlock(Format, Block) && BlockToMime(Format, Block, MimeType, Out))
            return Out;
        return {};
    }
    return {};
}
