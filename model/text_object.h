// TTextObj: a piece of styled text drawn as glyph outlines. Its rich text
// (one character style per CP932 byte) and paragraph style are laid out into
// the glyph path, its base path; the output path is the glyph path through
// the outline transform, turned about the position (X, Y) by the angle. The
// fill macros paint the whole text at once (paint kind 0) or glyph by glyph.
//
// A text can follow another path object (the linked path): its glyphs then
// stand on that path's output path, and the text ignores moves, turns and
// scaling of its own. The link is kept by the linked item's object ID (and
// the generation of that ID) and looked up in the history's object table
// whenever it is used. While the path is gone (deleted, or its creation
// undone) the text stands as it would be read back from a file, which
// stores no link to an item it does not hold: straight, at (X, Y). When the
// path comes back under its ID (undo of the deletion, redo of the creation)
// the text follows it again; an object that merely takes the same ID later
// is a stranger to it.
//
// Undo codes 32 to 48 (paint kind, layout, position and angle, scaling,
// paragraph style, inserted and deleted text, character attributes, the
// link moved to a replacing item); the others go to TLineObject.
//
// Stream forms after the line-object part: the paragraph style, the char
// styles, paint kind, two doubles, X, Y, the angle, the path-link byte, the
// linked item's ID, the 20 layout bytes, then the text as a line count and
// the lines. Type number 6.
#pragma once

#include "model/line_object.h"
#include "model/text_model.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

constexpr uint8_t doftText = 6;

// The resolution the line-spacing values of rules 1 and 2 are converted at.
constexpr int32_t TextLayoutDpi = 96;

// The paint kinds: 0 the whole text, 1 glyph by glyph from the first, 2 from
// the last (as every larger kind painted).
inline constexpr uint8_t MaxTextPaintKind = 2;
// A text on a path: its distance from the path's end and its offset from
// the path, in pixels, as the path page offers them.
inline constexpr int32_t MaxTextPathDistance = 100000;
// The layout's distance and offset within that reach; -1 leaves a field
// when merged and lies within it.
bool TextLayoutInRange(const TrecTextParam& Layout);
// Both brought to the nearer end of it; True when one changed.
bool HoldTextLayout(TrecTextParam& Layout);

// What the text object calls of the page selection's text editing. The page
// (or a test double) implements it; without it the calls are skipped.
class TTextCaretLink {
public:
    virtual ~TTextCaretLink() = default;
    // The caret of Item's text: Length bytes from Start selected (0: a plain
    // caret at Start).
    virtual void SetTextCaret(TDrawItem* Item, int32_t Start, int32_t Length) = 0;
    // Clears the selection's pending-typing byte.
    virtual void ClearPendingTyping() = 0;
};

class TTextObj : public TLineObject {
public:
    // An empty text; the paragraph style (rule, spacing, unit), the fill-path
    // flag and the layout record from the installed defaults.
    TTextObj(TPageLink* APage, int32_t AID);
    ~TTextObj() override;

    static const TDrawItemClass ClassInfo;
    const TDrawItemClass& GetClass() const override { return ClassInfo; }

    // The angle of a property object whose texts differ in angle.
    static constexpr float AngleUnchanged = std::numeric_limits<float>::max();

    // Codes 32 to 48; others go to TLineObject. A record that does not fit
    // the text raises (EUserError "TTextObj.Undo: Illegal Data." for a short
    // record or a range outside the text) before anything changes.
    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    // Paint kind 0, or no page: as the line object. Otherwise every glyph's
    // part of the output path is painted on its own (instance = glyph
    // number), from the first glyph (kind 1) or from the last (other kinds).
    void Paint(TrecDrawTarget& Target, uint8_t DisplayMode, TListRecPict* PictureStore,
               uint8_t* AbortFlag, int32_t Flags) override;
    bool SameAttributes(TDrawItem* Other) override;
    // The outline transform with the glyph ranges and centres, then (for a
    // text that follows no path) the turn about (X, Y).
    void RebuildPath() override;
    // A text linked to OldItem follows NewItem (nil: none) instead and lays
    // its glyphs anew; recorded as code 48 (undo: the old item's ID, redo:
    // the new one's, int32 each), so that undoing the replacement links the
    // text to the item it gives back.
    void ReplaceReference(TDrawItem* OldItem, TDrawItem* NewItem) override;
    void NotifyItemChanged(TDrawItem* Item) override;

    void WriteToStream(TStream& Stream) override;
    void ReadFromStream(TStream& Stream, TList2Item* IDMap, int32_t Version) override;
    void WriteToStreamAsText(TStream& Stream) override;
    void ReadFromStreamAsText(TStream& Stream, TList2Item* IDMap, int32_t Version) override;
    // The stored linked-item ID becomes the item that IDMap gives for it;
    // no link when the map does not hold it.
    void RelinkReadItems(const TList2Item* IDMap) override;

    // Source must be a text object (EConvertError "TTextObj.Assign:
    // DrawItemSrc is not TTextObj").
    void Assign(TDrawItem* Source) override;
    // Only without a linked path: moves the position (code 9).
    void MoveBy(int32_t DX, int32_t DY) override;
    // True for a linked text (it does not move); else the position and the
    // paths.
    bool MoveKeepsReach(int32_t DX, int32_t DY) override;
    // Only without path macros and linked path: turns the position about the
    // centre and adds Angle (code 34); the fill parameters turn along (16).
    void Rotate(double CX, double CY, double Angle) override;
    // Only without a linked path: one factor for both axes scales the
    // position and every character's size (code 35).
    void ScaleTo(double CX, double CY, double FX, double FY) override;
    // The line-object part, then angle, paint kind and layout, differing
    // values giving AngleUnchanged, 255, -1 (int32 fields) and 255 (bytes).
    bool TakeCommonAttributes(TDrawGroup& Group) override;
    // The position within reach (a text of any length), every character style drawable at Dpi, the paragraph style, layout and
    // paint kind within their ranges.
    bool ValuesDrawable(int32_t Dpi) const override;
    // Every character style (HoldCharAttr at Dpi), the paragraph style
    // (HoldParagraph), the layout and the paint kind held to their ranges.
    void BringValuesIntoRange(int32_t Dpi) override;
    // Lays the text out into the base path (whole or per glyph), at (X, Y)
    // or along the linked path.
    void BuildBasePath() override;

    // Each held to its range first (a kind above 2 is 2).
    bool DoSetTextPaintKind(uint8_t Kind) override;               // 32
    bool DoSetTextLayoutParam(const TrecTextParam& Rec) override; // 33
    bool DoSetItemAngle(double Angle) override;
    bool DoSetItemPosX(int32_t X) override;
    bool DoSetItemPosY(int32_t Y) override;

    // Replaces the text (CP932); every character gets a new style from the
    // default character attributes. Not recorded.
    void SetText(const std::string& Cp932Text);
    // The text tool's new text: SetText, then the default face through the
    // font check as a loaded text's face goes (a face the machine lacks
    // becomes its default font), so that the recorded copy reads back as
    // this text. Not recorded.
    void SetNewText(const std::string& Cp932Text);
    // Rebuilds the glyph path when Flag differs from the path-link byte.
    void InvalidateTextPath(uint8_t Flag);
    // Reads int32 position, the string and one TCharStyle (version 25) per
    // character, and inserts them at that byte position; the caret then sits
    // after the text (Select false) or selects it. EUserError for a position
    // outside the text; nothing changes when the record cannot be read.
    void InsertStyledText(TStream& Stream, bool Select);

    // Recorded edits of the paragraph style and the text (the rich-text
    // editor's). Positions and lengths count CP932 bytes. The rule, the
    // unit and the spacing are held to their ranges (the spacing to that
    // of the rule and unit it is set under).
    void SetLineSpacing(double Value);              // 36
    void SetLineSpacingRule(int32_t Rule);          // 37
    void SetSpacingUnit(uint8_t Unit);              // 38
    // Typed text, every character with Attr.
    void TypeText(int32_t Position, const std::string& Cp932Text, const TrecCharAttr& Attr); // 39
    // Source's text with its styles.
    void PasteText(int32_t Position, const TRTFTav& Source);                       // 40
    void DeleteText(int32_t Position, int32_t Length);                              // 41
    // Attributes of every character in the range (empty slots are skipped).
    void SetCharFaceName(int32_t Position, int32_t Length, const std::string& Cp932Name); // 42
    void SetCharBold(int32_t Position, int32_t Length, uint8_t Value);              // 43
    void SetCharItalic(int32_t Position, int32_t Length, uint8_t Value);            // 44
    void SetCharSize(int32_t Position, int32_t Length, int32_t Value);              // 45
    void SetCharRise(int32_t Position, int32_t Length, int32_t Value);              // 46
    void SetCharExtraAdvance(int32_t Position, int32_t Length, int32_t Value);      // 47

    // Links the text to Item (nil: none); the glyph path is rebuilt.
    void SetLinkedPath(TDrawItem* Item);
    // The linked item when it is there, else nil (also while it is gone for
    // now).
    TDrawItem* LinkedPath() const;
    // The ID the link keeps, also while its item is gone; 0 for none.
    int32_t LinkedID() const { return FiLinkedID; }
    // Places the text without recording (a new text).
    void SetPosition(int32_t X, int32_t Y);

    const std::string& Text() const { return FRichText->Text; }
    TRTFTav& RichText() const { return *FRichText; }
    TParagraphStyle& ParagraphStyle() const { return *FParagraph; }
    uint8_t PaintKind() const { return FbPaintKind; }
    uint8_t PathLink() const { return FbPathLink; }
    const TrecTextParam& Layout() const { return FLayout; }
    int32_t X() const { return FiX; }
    int32_t Y() const { return FiY; }
    float Angle() const { return FAngle; }
    double Double1() const { return FDouble1; }
    double Double2() const { return FDouble2; }
    // First point of every glyph in the base path, the total last; empty
    // for paint kind 0.
    const std::vector<int32_t>& GlyphRanges() const { return FGlyphRanges; }
    // The centre of every glyph's advance, one per range entry.
    const std::vector<TPoint>& GlyphOffsets() const { return FGlyphOffsets; }
    // The glyph ranges as indexes of the output path.
    const std::vector<int32_t>& OutputRanges() const { return FOutputRanges; }

private:
    // The glyph path goes stale when the linked path went, came back or
    // changed since it was laid (a linked text checks its own link first).
    void CheckPathSource() override;
    // Undo and redo of codes 32 to 48; False for other codes.
    bool Replay(int32_t Command, const void* Data, int32_t Size, bool IsRedo);
    void ApplyPosition(int32_t X, int32_t Y, float Angle);
    void DoScale(double CX, double CY, double FX, double FY);
    void ApplyLayoutChange();
    void DeleteRange(int32_t Position, int32_t Length);
    void InsertTyped(int32_t Position, const std::string& Text, const TrecCharAttr& Attr);
    void SetCaret(int32_t Start, int32_t Length);
    // Recorded change of a byte or int32 attribute of the range (43 to 47).
    template <class T, class Get, class Set>
    void SetCharValue(int32_t Code, int32_t Position, int32_t Length, T Value, Get GetFn, Set SetFn);
    void CheckRange(int32_t Position, int32_t Length, const char* Message) const;
    // Every character start without a style gets one (as InsertText gives).
    void PadStyles();
    void ReadTextPart(TStream& Stream, int32_t Version, bool AsText);
    void PaintGlyphs(TrecPicture& Target, TListRecPict* Store, uint8_t DisplayMode,
                     uint8_t* AbortFlag);
    TDrawObject* LinkedGuide() const;
    // Links to Item (nil: none), taking its ID and that ID's generation.
    void LinkTo(const TDrawItem* Item);
    uint32_t GenerationOf(int32_t ID) const;
    // The linked item's ID as the stream forms write it: 0 while the item
    // is gone, except in a deletion record (WritingDeletionRecord) while the
    // item may still come back under its ID.
    int32_t StoredLinkID() const;

    uint8_t FbPathLink = 0;
    uint8_t FbPaintKind = 0;
    std::vector<int32_t> FGlyphRanges;
    std::vector<TPoint> FGlyphOffsets;
    std::vector<int32_t> FOutputRanges;
    // The link: the item's object ID (0 none), the generation of that ID
    // the link means, and the item it named last (used without a history;
    // it gives nil once that item is freed).
    int32_t FiLinkedID = 0;
    uint32_t FiLinkedGen = 0;
    TDrawItemRef FLinked;
    // What the glyph path was laid on: the linked item's ID, or none.
    bool FbLaidOnPath = false;
    int32_t FiLaidOnID = 0;
    // The path serial (PathSerial) the linked item's path had then.
    uint32_t FiLaidOnSerial = 0;
    bool FbCheckingSource = false;
    TrecTextParam FLayout;
    std::unique_ptr<TRTFTav> FRichText;
    std::unique_ptr<TParagraphStyle> FParagraph;
    double FDouble1 = 0.0;
    double FDouble2 = 0.0;
    int32_t FiX = 0;
    int32_t FiY = 0;
    float FAngle = 0.0f;
};

// The default character attributes of new text (the installed defaults'
// font; without them 48 pixels of "ＭＳ Ｐゴシック").
TrecCharAttr DefaultCharAttr();
// The character attributes a defaults' font record gives (it has the
// attribute record's layout), and that record given A's values back.
struct TrecDefaultFont;
TrecCharAttr CharAttrOfDefaultFont(const TrecDefaultFont& F);
void SetDefaultFontCharAttr(TrecDefaultFont& F, const TrecCharAttr& A);

// Registers TTextObj as type 6 of the draw-item readers.
void RegisterTextObjType();
