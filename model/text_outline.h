// Text to glyph outlines: a styled text (text_model.h) becomes a point path,
// each character drawn with its own font; the list of installed fonts that
// every face name is validated against, and the default font. The layout is
// simple: left-aligned lines, one baseline per line, the pen advanced by
// each glyph plus its extra advance. Texts can also be laid along another
// path, character by character.
//
// Face names passed in and out here are CP932, as the character attributes
// hold them.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/poly_line.h"
#include "foundation/rec_path.h"
#include "model/text_model.h"
#include "platform/fonts.h"
#include "platform/glyph_outline.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where fonts come from: the machine's installed fonts unless another source
// is installed (tests load theirs from font files).
class TTextFontSource {
public:
    virtual ~TTextFontSource() = default;
    // Every installed face with its record, vertical-writing "@" faces
    // included.
    virtual std::vector<TFontFace> FontFaces() = 0;
    // The font a record asks for; nullptr when none can be made.
    virtual std::unique_ptr<TGlyphFont> CreateFont(const TLogFont& LogFont) = 0;
};

// Installs Source (nullptr: the machine's fonts) and returns the one it
// replaces; the source is not owned. The installed-font list is emptied.
TTextFontSource* SetTextFontSource(TTextFontSource* Source);

// Installed-font list: face names sorted ignoring ASCII case, duplicates
// dropped, filled on first use and again after ClearFontList.

// CharSet := the face's character set and True; 1 and False when Name is
// not installed, after the list was read again once.
bool GetFontCharset(uint8_t& CharSet, const std::string& Name);
// The face's record; when missing, the error box "フォント (" + Name +
// ") が見つかりません" and nullopt.
std::optional<TLogFont> FindFontRecord(const std::string& Name);
// The first face in list order with that character set that is not a
// vertical-writing ("@") face.
std::optional<TLogFont> FindFontByCharset(uint8_t CharSet);
// The first Shift-JIS face, else the first ANSI face (never an "@" face),
// else the first face; EUserError "GetDefaultFont: There is not any
// Truetype Font" when there is none.
TLogFont GetDefaultFont();
// FaceName := Name (at most 31 bytes) with its character set when it is
// installed, else the default font's face and character set.
void ValidateFontName(const std::string& Name, std::string& FaceName, uint8_t& CharSet);
void ClearFontList();

// The height of the line that starts at byte Start: the carried descent
// plus the tallest styled character (Size + Rise for a positive Rise, else
// Size); Descent then becomes the line's deepest negative Rise. A line
// without a character of height 1 or more gives Default and leaves Descent.
int32_t LineHeight(const std::string& Text, const TListCharStyle& Styles, int32_t Start,
                   int32_t Default, int32_t& Descent);

// Layout of Text (CP932, lines joined with CR LF; a lone CR or LF breaks
// the line too) with its styles and paragraph style, the first line's top at
// (StartX, StartY), every further line starting at x 0. Dpi converts the
// line-spacing value of rules 1 and 2. EUserError
// "RecPolyLineGetStyledTextPath: Illegal iCntr" for a character without a
// style, "RecPolyLineGetStyledTextPath: Illegal FLineSpacingRule" for an
// unknown rule; False when a font cannot be made.
//
// Per character: each glyph's figures closed and appended. Counts gets
// CountTextChars + 1 entries, the points before each character and the
// total last; Centres as many, the midpoint of the pen before and after
// each character.
bool RecPolyLineGetStyledTextPath(TrecPolyLine& Result, int32_t StartX, int32_t StartY, int32_t Dpi,
                                  const std::string& Text, const TListCharStyle& Styles,
                                  const TParagraphStyle& Paragraph, std::vector<int32_t>& Counts,
                                  std::vector<TPoint>& Centres);
// The whole text as one recorded path: figures as the glyphs give them,
// without the closing step. On failure Result is empty.
bool GetTextOutlinePath(TrecPolyLine& Result, int32_t StartX, int32_t StartY, int32_t Dpi,
                        const std::string& Text, const TListCharStyle& Styles,
                        const TParagraphStyle& Paragraph);

// The layout at (0, 0) into Path (zeroed first); on failure the error box
// "MakeTextPath: GetTextPath Failed!" and what was made is kept. Bounds:
// left and top 0, right and bottom the largest x and y of the points, at
// least 0.
void MakeTextPath(const std::string& Text, int32_t Dpi, const TListCharStyle& Styles,
                  const TParagraphStyle& Paragraph, TrecPath& Path);
void MakeTextPathPerChar(const std::string& Text, int32_t Dpi, const TListCharStyle& Styles,
                         const TParagraphStyle& Paragraph, std::vector<int32_t>& Counts,
                         std::vector<TPoint>& Centres, TrecPath& Path);

// Lays the characters of a per-character layout along Guide (its figures
// taken one after another, Beziers flattened, closed figures with their
// closing edge). Character i (points Counts[i] up to Counts[i+1] - 1,
// centre Centres[i]) moves as one piece: the point (Centres[i].X, BaselineY)
// goes to the guide point at distance StartDistance + Centres[i].X from the
// guide's start, Offset pixels to the left of the direction of travel
// (above it for a left-to-right guide), and the character turns with the
// guide there. Before the start and past the end the guide goes on straight.
// Centres receive the moved centres. False, with nothing changed, when the
// guide has no length or Counts does not fit Path.
bool RecPolyLineFollowPath(TrecPolyLine& Path, const std::vector<int32_t>& Counts,
                           std::vector<TPoint>& Centres, const TrecPolyLine& Guide, int32_t BaselineY,
                           int32_t StartDistance, int32_t Offset);
// MakeTextPathPerChar, then the text's first baseline laid along Guide
// (RecPolyLineFollowPath). Bounds are those of the points. When the guide
// has no length the text stays as laid out.
void MakeTextPathOnPath(const std::string& Text, int32_t Dpi, const TListCharStyle& Styles,
                        const TParagraphStyle& Paragraph, const TrecPolyLine& Guide,
                        int32_t StartDistance, int32_t Offset, std::vector<int32_t>& Counts,
                        std::vector<TPoint>& Centres, TrecPath& Path);

// Text-drawing flags of the canvas below.
inline constexpr uint32_t DT_WORDBREAK = 0x0010;
inline constexpr uint32_t DT_CALCRECT = 0x0400;
inline constexpr uint32_t DT_EDITCONTROL = 0x2000;

// What the haloed cell text needs of a canvas; the user interface provides it.
class TOutlinedTextCanvas {
public:
    virtual ~TOutlinedTextCanvas() = default;
    virtual void SetBkModeTransparent() = 0;
    virtual void SetTextColor(uint32_t Colour) = 0; // 0x00BBGGRR
    // Draws Text (UTF-8) in Rect (right and bottom exclusive) and returns its
    // height; with DT_CALCRECT only measures, Rect receiving the extent.
    virtual int32_t DrawText(const std::string& Text, TRect& Rect, uint32_t Flags) = 0;
};

// A cell's text drawn at the bottom of Rect (when it is shorter than the
// cell) in TextColour over a one-pixel halo in HaloColour.
void DrawOutlinedText(TOutlinedTextCanvas& Canvas, const std::string& Text, const TRect& Rect,
                      uint32_t HaloColour, uint32_t TextColour);
