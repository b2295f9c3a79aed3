// How clipboard formats travel as MIME types through QClipboard and QDrag:
//   a registered format      application/x-tavro-<format name>, the block as it is
//   CF_TEXT                  text/plain, the CP932 text as UTF-8 (the block
//                            holds the text up to its first zero)
//   CF_HDROP                 text/uri-list with one file: entry per name
//   "UniformResourceLocator" read from text/x-moz-url or the first entry of
//                            text/uri-list that is no file; offered as text/uri-list
//   CF_DIB                   application/x-tavro-dib (the packed DIB as it is),
//                            image/bmp and image/png for other programs
// Converters never raise: malformed bytes make them give false.
#pragma once

#include <QByteArray>
#include <QMimeData>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <utility>
#include <vector>

inline constexpr char TavroMimePrefix[] = "application/x-tavro-";

// The number of the platform's own URL format, "UniformResourceLocator".
uint16_t CFUniformResourceLocator();

// The MIME types that carry Format, in offer order; empty when it cannot travel.
QStringList MimeTypesOfFormat(uint16_t Format);
// Out := Block (Format's bytes) as MimeType's bytes.
bool BlockToMime(uint16_t Format, const QByteArray& Block, const QString& MimeType, QByteArray& Out);

// The formats Mime carries, in its order, each once.
std::vector<uint16_t> FormatsOfMime(const QMimeData& Mime);
bool MimeHasFormat(const QMimeData& Mime, uint16_t Format);
// Block := Format's bytes made from what Mime carries.
bool MimeToBlock(const QMimeData& Mime, uint16_t Format, QByteArray& Block);

// A QMimeData whose formats are rendered only when someone asks for them.
class TFormatMimeData : public QMimeData {
public:
    QStringList formats() const override;
    bool hasFormat(const QString& MimeType) const override;

protected:
    // Offers Format under its MIME types that no earlier format took.
    void OfferFormat(uint16_t Format);
    virtual bool RenderBlock(uint16_t Format, QByteArray& Block) const = 0;
    QVariant retrieveData(const QString& MimeType, QMetaType Type) const override;

private:
    std::vector<std::pair<QString, uint16_t>> FOffers;
};
