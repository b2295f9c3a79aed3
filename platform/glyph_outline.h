// Glyph outlines (FreeType): a face at a pixel size gives each character's
// outline as a recorded path of move, line and cubic Bezier points in whole
// pixels, y down from the baseline, with its pen advance and the text
// metrics; synthetic bold and italic, underline and strike-out included.
//
// Outlines are read unhinted in font units and scaled exactly, every
// coordinate rounded once (halves away from zero): hinting fits stems to the
// pixel grid of one size, while these outlines are filled, scaled and warped
// at any size, and unhinted ones keep their proportions at every size.
#pragma once

#include "platform/fonts.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// Point types of recorded paths: the values of the system's point paths.
inline constexpr uint8_t GLYPH_PT_CLOSEFIGURE = 0x01;
inline constexpr uint8_t GLYPH_PT_LINETO = 0x02;
inline constexpr uint8_t GLYPH_PT_BEZIERTO = 0x04;
inline constexpr uint8_t GLYPH_PT_MOVETO = 0x06;

// Two int32 like the system's point record, so paths copy across as is.
struct TGlyphPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TGlyphPoint&, const TGlyphPoint&) = default;
};

// A recorded path: every figure starts with a move and its last point
// carries the close bit; a closing straight edge is left implicit.
struct TGlyphPath {
    std::vector<TGlyphPoint> Points;
    std::vector<uint8_t> Types;
    void Clear()
    {
        Points.clear();
        Types.clear();
    }
};

// Text metrics in pixels, as the platform's TEXTMETRIC reports them.
struct TTextMetric {
    int32_t tmHeight = 0;          // ascent + descent
    int32_t tmAscent = 0;          // Windows ascent of the OS/2 table
    int32_t tmDescent = 0;         // Windows descent
    int32_t tmInternalLeading = 0; // tmHeight - em
    int32_t tmExternalLeading = 0; // line gap beyond the Windows extent
    int32_t tmAveCharWidth = 0;
    int32_t tmMaxCharWidth = 0;
    int32_t tmWeight = 0;
    uint8_t tmItalic = 0;
    uint8_t tmUnderlined = 0;
    uint8_t tmStruckOut = 0;
    uint8_t tmCharSet = 0;
};

// What a font adds to the face's own outlines. Bold and Italic here are
// synthesised: strokes widened to the right by em / 24 (the advance grows
// as much, heights stay), and a shear of x by y * 0x366A / 0x10000
// (about 12 degrees) about the baseline.
struct TGlyphStyle {
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

inline constexpr int32_t GlyphBoldDivisor = 24;
inline constexpr int32_t GlyphItalicShear = 0x366A; // per 0x10000

class TGlyphFont {
public:
    ~TGlyphFont();
    TGlyphFont(const TGlyphFont&) = delete;
    TGlyphFont& operator=(const TGlyphFont&) = delete;

    // The font a LOGFONT-like record asks for: its face (the machine's
    // default face when the name is not installed) in the installed style
    // nearest lfWeight and lfItalic, the rest synthesised; em -lfHeight
    // pixels, or a cell of lfHeight pixels, 0 meaning a 16-pixel cell.
    // Width, escapement and orientation are not applied. nullptr when no
    // font at all can be loaded. Characters the face lacks come from the
    // machine's other faces (see AppendGlyph).
    static std::unique_ptr<TGlyphFont> Create(const TLogFont& LogFont);
    // The same with the faces of Fonts, which must outlive the font.
    static std::unique_ptr<TGlyphFont> Create(const TLogFont& LogFont, const TInstalledFonts& Fonts);
    // Face Index of FileName with an em of PixelSize pixels (1..65535),
    // Style added. nullptr when the file is no font or the size is out of
    // range.
    static std::unique_ptr<TGlyphFont> Open(const std::string& FileName, int32_t Index, int32_t PixelSize,
                                            const TGlyphStyle& Style, uint8_t CharSet = ANSI_CHARSET);

    const TTextMetric& TextMetric() const { return FMetric; }
    int32_t PixelSize() const { return FPixelSize; }
    const TGlyphStyle& Style() const { return FStyle; }
    const std::string& FileName() const;
    int32_t FaceIndex() const;
    // Design units per em of the face.
    int32_t UnitsPerEm() const;

    // The face's glyph for CodePoint; 0 (the missing-character glyph) when
    // it has none.
    uint32_t GlyphIndex(uint32_t CodePoint) const;
    // Draws CodePoint with the pen at (X, Y) on the baseline: appends its
    // figures, then the underline and strike-out rectangles over the
    // advance, to Path and returns the advance (the pen moves to
    // X + advance, Y).
    //
    // A character the face lacks is drawn, at the same size and weight and
    // slant, by the first face of the font's table (Create) that has it:
    // the table's default face, then every face in list order. Only when
    // none has it (or the font has no table, Open) is the face's
    // missing-character glyph drawn. A control character (below U+0020,
    // and U+007F) draws nothing: a tab advances as a space, the others
    // not at all.
    int32_t AppendGlyph(uint32_t CodePoint, int32_t X, int32_t Y, TGlyphPath& Path) const;
    // The same for one CP932 character: a lead byte with its trail byte, or
    // one byte.
    int32_t AppendChar(std::string_view Cp932Char, int32_t X, int32_t Y, TGlyphPath& Path) const;
    // The advance alone.
    int32_t Advance(uint32_t CodePoint) const;

    struct TFace; // an open face, shared by the fonts made from it

private:
    TGlyphFont(std::shared_ptr<TFace> Face, int32_t PixelSize, const TGlyphStyle& Style);
    // Where a character the face lacks is looked for; caller holds the lock.
    bool FindFallback(uint32_t CodePoint, std::shared_ptr<TFace>& Face, TGlyphStyle& Style,
                      uint32_t& Index) const;
    std::shared_ptr<TFace> FFace;
    int32_t FPixelSize;
    TGlyphStyle FStyle;
    // The faces characters missing here come from (none for Open), and the
    // weight and slant to look for there.
    const TInstalledFonts* FFallbacks = nullptr;
    int32_t FFallbackWeight = FW_NORMAL;
    bool FFallbackItalic = false;
    TTextMetric FMetric;
    // Underline and strike-out bands: top from the baseline (y down) and height.
    int32_t FUnderlineTop = 0, FUnderlineHeight = 0;
    int32_t FStrikeOutTop = 0, FStrikeOutHeight = 0;
};

// The code point of one CP932 character (lead and trail byte, or one byte);
// U+FFFD for a malformed one, 0 for an empty one.
uint32_t Cp932CharToCodePoint(std::string_view Cp932Char);

// N / D (D > 0) rounded to the nearest integer, halves away from zero.
int64_t GlyphRoundDiv(int64_t N, int64_t D);

// The glyph cache keeps scaled outlines by face, size, style and code
// point. Capacity in glyphs (default 4096; 0 switches it off and empties
// it); a full cache starts afresh.
void SetGlyphCacheCapacity(size_t Capacity);
size_t GlyphCacheCount();
