// The text model of text objects: a CP932 string in which every character
// carries its own style (face, size, bold, italic, underline, strike-out,
// baseline rise, extra advance), one style slot per byte of the string, and
// one paragraph style for the whole text (line-spacing rule and value, tab
// stops). The styles have binary and text stream forms that the text object
// and the rich-text clipboard data embed.
//
// The text is held as CP932 bytes, not UTF-8: slots, undo records and stored
// forms all count CP932 bytes. Face names are CP932 as well.
#pragma once

#include "foundation/lists.h"
#include "foundation/rec_path.h"
#include "foundation/streams.h"
#include "foundation/tobject.h"
#include "platform/fonts.h"

#include <array>
#include <cstdint>
#include <string>

// The character attribute record: 50 bytes, packed, little-endian; the unit
// of copying, of undo records and of the clipboard data.
#pragma pack(push, 1)
struct TrecCharAttr {
    int32_t Size = 0;         // 0: character height in pixels (font height -Size)
    char FaceName[32] = {};   // 4: CP932, zero-terminated, at most 31 bytes
    uint8_t CharSet = 0;      // 36
    uint8_t Unused = 0;       // 37: carried along unchanged
    uint8_t Bold = 0;         // 38: non-zero for weight 700
    uint8_t Italic = 0;       // 39
    uint8_t Underline = 0;    // 40
    uint8_t StrikeOut = 0;    // 41
    int32_t Rise = 0;         // 42: baseline raised by this many pixels
    int32_t ExtraAdvance = 0; // 46: added to the pen after the character
};
#pragma pack(pop)
static_assert(sizeof(TrecCharAttr) == 50);

inline constexpr int32_t CharAttrSize = 50;

// FaceName := Cp932Name cut to 31 bytes without splitting a double-byte
// character, the rest of the field zero.
void SetCharAttrFaceName(TrecCharAttr& Attr, const std::string& Cp932Name);
// The face name's bytes up to the first zero (at most 31).
std::string CharAttrFaceName(const TrecCharAttr& Attr);

// What the text model can draw: a character's height, baseline rise and
// extra advance stay below MaxCharAttrPoints points (the text page's own
// limit) at Dpi pixels an inch, a height is at least one pixel, and the
// bold, italic, underline and strike-out flags are 0 or 1. Values
// from outside (the clipboard) are checked against this before they reach a
// text object, whose outlines and paint planes grow with them.
inline constexpr int32_t MaxCharAttrPoints = 1000;
bool CharAttrDrawable(const TrecCharAttr& Attr, int32_t Dpi);
// Attr's height, rise and extra advance brought to the nearest value
// CharAttrDrawable takes at Dpi, a flag other than 0 made 1; True when one
// changed.
bool HoldCharAttr(TrecCharAttr& Attr, int32_t Dpi);

// The longest text, in CP932 bytes, that a paste may bring into a text
// object: every character becomes a style and a glyph outline of its own
// (some kilobytes each), and a lettering text of that length is far past
// any design.
inline constexpr int32_t MaxTextObjectBytes = 16384;

// Binary attributes: string FaceName, string Size in decimal, the bytes Bold,
// Italic, Underline, StrikeOut, int32 Rise and ExtraAdvance (the version 13
// form, always written).
void WriteCharStyleRec(TStream& Stream, const TrecCharAttr& Attr);
// Reads that form; below version 13 Rise and ExtraAdvance are two doubles
// rounded halves to even. The face goes through ValidateFontName, which sets
// CharSet. Attr is changed only when the whole record was read.
void ReadCharStyleRec(TStream& Stream, TrecCharAttr& Attr, int32_t Version);

// One character's style: its attributes and its glyph path.
class TCharStyle : public TObject {
public:
    std::string ClassName() const override { return "TCharStyle"; }

    TrecPath Glyph;
    TrecCharAttr Attr;

    // All 50 bytes and a copy of the glyph path.
    void Assign(const TCharStyle& Source);
    // Binary: the binary attributes, then the glyph path's binary form.
    void WriteToStream(TStream& Stream) const;
    void ReadFromStream(TStream& Stream, int32_t Version);
    // Text: lines FaceName, Size, Bold, Italic, Underline, StrikeOut, Rise,
    // ExtraAdvance, then the glyph path's text form.
    void WriteToStreamAsText(TStream& Stream) const;
    void ReadFromStreamAsText(TStream& Stream);
};

// Slot i belongs to byte i of the text: a character's style sits in the slot
// of its first byte; trail bytes, CR and LF have none. The list owns its
// styles: Clear, the destructor, reading and Assign free them (plain
// SetCount, Delete and DeleteRange do not: use DeleteRangeFree).
class TListCharStyle : public TListPtrWex {
public:
    TListCharStyle() = default;
    ~TListCharStyle() override;
    std::string ClassName() const override { return "TListCharStyle"; }

    // EListError (SListIndexError) for a negative index; nullptr at or past Count.
    TCharStyle* GetItem(int32_t Index) const;
    // Stores the pointer, which the list then owns; the old entry is not freed.
    void SetItem(int32_t Index, TCharStyle* Style);

    // Frees every style, then empties the list.
    void Clear() override;
    // Opens Text's length of empty slots at Position and gives every
    // character other than CR and LF a new style with a copy of Attr.
    void InsertText(int32_t Position, const std::string& Text, const TrecCharAttr& Attr);
    // Source must be a TListCharStyle (else EConvertError): frees its own
    // styles, takes Source's capacity and count and copies every style.
    void Assign(const TCustomListWex& Source) override;

    // Binary: int32 Count, then per slot a byte 1 and the style's binary
    // form, or a byte 0. Text: a Count line, then per slot a line "1" and
    // the style's text form, or a line "0". A bad count, flag or style
    // raises and leaves the list as it was.
    void WriteToStream(TStream& Stream) const;
    void ReadFromStream(TStream& Stream, int32_t Version);
    void WriteToStreamAsText(TStream& Stream) const;
    void ReadFromStreamAsText(TStream& Stream);
};

// The styled text of a text object.
class TRTFTav : public TObject {
public:
    std::string ClassName() const override { return "TRTFTav"; }

    std::string Text; // CP932 bytes
    TListCharStyle Styles;

    void Assign(const TRTFTav& Source);
    void Clear();
};

// A tab stop: three 32-bit values, copied with the paragraph style.
struct TrecTabStop {
    int32_t Value1 = 0;
    int32_t Value2 = 0;
    int32_t Value3 = 0;
};
static_assert(sizeof(TrecTabStop) == 12);

// The tab stops of a paragraph: a list of owned 12-byte records.
class TTabs : public TListPtrWex {
public:
    TTabs() = default;
    ~TTabs() override;
    std::string ClassName() const override { return "TTabs"; }

    // Frees every record, then empties the list.
    void Clear() override;
    int32_t AddTab(const TrecTabStop& Tab);
    // EListError for an index outside 0..Count-1.
    const TrecTabStop& GetTab(int32_t Index) const;
    // Source must be a TTabs (else EConvertError): frees its records, takes
    // Source's capacity and count and copies every record.
    void Assign(const TCustomListWex& Source) override;
};

// Line-spacing rules.
inline constexpr int32_t LineSpacingMultiple = 0; // times the line height
inline constexpr int32_t LineSpacingAtLeast = 1;
inline constexpr int32_t LineSpacingExactly = 2;
// The units of a line-spacing length: pixel, cm, inch, point.
inline constexpr int32_t LineSpacingUnitCount = 4;
// The text page's line-spacing ranges: 0 to 10 times the line height, or a
// length of 0 to 999 pixels, 99 cm, 99 inches or 999 points.
inline constexpr double MaxLineSpacingMultiple = 10;
inline constexpr double MaxLineSpacingLength[LineSpacingUnitCount] = {999, 99, 99, 999};

class TParagraphStyle : public TObject {
public:
    std::string ClassName() const override { return "TParagraphStyle"; }

    int32_t FLineSpacingRule = LineSpacingMultiple;
    // Unit of LineSpacing for rules 1 and 2: 0 pixel, 1 cm, 2 inch, 3 point.
    uint8_t SpacingUnit = 0;
    double LineSpacing = 1.0;
    TTabs Tabs;
    // Set by the text object; copied by Assign, not streamed here.
    std::array<int32_t, 4> Extra{};

    void Assign(const TParagraphStyle& Source);

    // Binary: int32 rule, byte unit, double LineSpacing (13 bytes).
    void WriteToStream(TStream& Stream) const;
    void ReadFromStream(TStream& Stream);
    // Text: the rule as its low byte taken as a signed 8-bit number, the
    // unit, LineSpacing in general format with 15 significant digits.
    void WriteToStreamAsText(TStream& Stream) const;
    void ReadFromStreamAsText(TStream& Stream);
};

// A paragraph the layout can draw: a rule of the three, a unit of the
// four, and a line spacing within the rule's (and unit's) range.
bool ParagraphInRange(const TParagraphStyle& P);
// Rule := Rule, or the multiple when it is none of the three.
int32_t HeldLineSpacingRule(int32_t Rule);
// Unit := Unit, or pixels when it is none of the four.
uint8_t HeldSpacingUnit(uint8_t Unit);
// Value brought into the range of Rule and Unit (each held first); a value
// that is no number is 1.
double HeldLineSpacing(int32_t Rule, uint8_t Unit, double Value);
// P's rule, unit and spacing held so; True when one changed.
bool HoldParagraph(TParagraphStyle& P);

// LogFont := the font of Attr (all 60 bytes zeroed first): height -Size,
// weight 700 or 400, italic, underline and strike-out 1 or 0, the face name,
// and the installed face's character set (GetFontCharset; 1 when the face
// is not installed).
void MakeCharFont(TLogFont& LogFont, const TrecCharAttr& Attr);

// The characters of a CP932 text: line breaks (CR LF, a lone CR or a lone
// LF) are no characters, a lead byte and its trail byte are one, and a lead
// byte at the very end ends the count.
int32_t CountTextChars(const std::string& Text);
