// Styled text on the clipboard and in drags: "Wex_RtfTav" carries a text
// object's CP932 text with one character style per character, CF_TEXT the
// bare text, and text/html (written by QTextDocument) a rich form that other
// programs read, where a Windows program would offer "Rich Text Format".
//
// The "Wex_RtfTav" block: int32 L (text bytes), L flag bytes (1 where that
// byte starts a styled character) padded to a multiple of four, one 50-byte
// attribute record per flag in text order, then the text and a zero.
#pragma once

#include "model/text_model.h"
#include "ui/data_object.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <vector>

class QMimeData;

// "Wex_RtfTav", registered on first use; EUserError "uOLE2Color :
// RegisterClipboardFormat Failed." when the platform gives no number.
uint16_t CFWexRtfTav();

// The block of Rich: its text and the styles of Rich's slots that exist.
std::vector<uint8_t> WriteRtfTavBlock(const TRTFTav& Rich);
// Target := the rich text of a block of Size bytes (any bytes past the
// terminated text are ignored, as a global block may be rounded up). The
// block must hold L (at most MaxTextObjectBytes), the flags, the records they
// count and L text bytes without a zero followed by one, and every record
// must be drawable at Dpi (CharAttrDrawable); else False and Target is left
// empty. Flags on CR, LF or a trail byte give no style (their records are
// skipped); a character without a flag gets InsertionStyle; face names are
// cut to 31 bytes.
bool ReadRtfTavBlock(const uint8_t* Data, size_t Size, const TrecCharAttr& InsertionStyle, int32_t Dpi,
                     TRTFTav& Target);

enum class TRtfTavRead {
    Missing,  // no "Wex_RtfTav" served
    Read,     // Target holds the text
    Refused,  // unreadable, or values the text model cannot draw
    TooLarge, // a text longer than MaxTextObjectBytes, left unread
};

class TRtfTavDataObj : public TDataObject {
public:
    // Holds a copy of Rich.
    TRtfTavDataObj(const TRTFTav& Rich, const QString& Html);
    static TFormatEtcList GetFormats(); // "Wex_RtfTav", CF_TEXT

    const TRTFTav& RichText() const { return FRich; }
    const QString& Html() const { return FHtml; }

    // Target := Source's "Wex_RtfTav" through ReadRtfTavBlock (Target empty
    // unless Read).
    static TRtfTavRead ReadRichText(IDataObject* Source, TRTFTav& Target, const TrecCharAttr& InsertionStyle,
                                    int32_t Dpi);

protected:
    HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) override;

private:
    TRTFTav FRich;
    QString FHtml;
};

// The Qt data of Data: its formats rendered when asked, and text/html from
// its HTML (when there is any) after "Wex_RtfTav".
QMimeData* NewRtfTavMimeData(TRtfTavDataObj* Data);
// Puts Data on the clipboard (through NewRtfTavMimeData).
void SetRtfTavClipboard(TRtfTavDataObj* Data);
