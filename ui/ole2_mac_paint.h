// Paint macros and whole paint styles on the clipboard.
//   "Tavro Paint Macro": the macro's binary stream form. CF_TEXT: the line
//     "Tavro Paint Macro", then the macro's text form.
//   "Tavro Paint Style": the macro list's binary form, then the picture
//     bytes unchanged (int32 count, then per picture an int32 handle and the
//     picture-store item's binary form). CF_TEXT: the line "Tavro Paint
//     Style", the list's text form, the picture count, then per picture its
//     handle and the item's text form.
// Blocks hold the stream's bytes exactly, with no terminating zero; a
// CF_TEXT block is read up to its first zero.
#pragma once

#include "ui/data_object.h"

#include <memory>

class TMacro;
class TMacros;
class TMemoryStream;
class TStream;

// One object's paint style on the clipboard holds at most this many macros:
// each macro paints the object once more and takes a column pair of the
// macro page, and a style is some tens of them. A larger style is refused
// before its macros are read.
inline constexpr int32_t MaxPaintStyleMacros = 256;

struct TMacPaintFormats {
    uint16_t PaintStyle;
    uint16_t PaintMacro;
    uint16_t FillParam; // registered, never offered nor read
};
// The three formats, registered on first use in the order "Tavro Paint
// Style", "Tavro Paint Macro", "Tavro_FillParam"; EUserError "uOLE2MacPaint:
// RegisterClipboardFormat Failed." when any gets no number.
const TMacPaintFormats& CFMacPaint();

class TDataObjectMacPaint : public TDataObject {
public:
    explicit TDataObjectMacPaint(const TMacro& Macro);
    ~TDataObjectMacPaint() override;
    static TFormatEtcList GetFormats(); // "Tavro Paint Macro", CF_TEXT

    // Macro := the first of Source's formats that reads as a macro whose
    // values lie in their declared ranges (MacroValuesInDeclaredRange).
    // False, and Macro unchanged, when none does; nothing is raised.
    static bool GetMacro(IDataObject* Source, TMacro& Macro);
    // The own format, or CF_TEXT whose first line is "Tavro Paint Macro".
    static bool HasMacro(IDataObject* Source);

protected:
    HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) override;

private:
    std::unique_ptr<TMacro> FMacro;
};

class TDataObjectPaintStyle : public TDataObject {
public:
    // Keeps a copy of Macros and the bytes of Pictures from its position on.
    TDataObjectPaintStyle(const TMacros& Macros, TStream& Pictures);
    ~TDataObjectPaintStyle() override;
    static TFormatEtcList GetFormats(); // "Tavro Paint Style", CF_TEXT

    // Reads the first of Source's formats that it serves. Macros := its
    // list; Pictures (when given) := '0' and the picture bytes of the own
    // format, or '1' and the text after the list of CF_TEXT. False, with
    // Macros and Pictures unchanged, when that format does not read as a
    // style, a macro's values lie outside their declared ranges, or it holds
    // more than MaxPaintStyleMacros macros (then TooLarge, when given, is set
    // and nothing of it is read); nothing is raised.
    static bool GetPaintStyle(IDataObject* Source, TMacros& Macros, TMemoryStream* Pictures,
                              bool* TooLarge = nullptr);
    static bool HasPaintStyle(IDataObject* Source);

protected:
    HRESULT RenderData(const FORMATETC& Format, STGMEDIUM& Medium) override;

private:
    std::unique_ptr<TMacros> FMacros;
    std::unique_ptr<TMemoryStream> FPictures;
};

// The own format on the clipboard, or CF_TEXT that begins with its line.
bool ClipboardHasPaintMacro();
bool ClipboardHasPaintStyle();
// "Wex_Color" or "Zelbar Gradation" on the clipboard.
bool ClipboardHasPaintFill();
