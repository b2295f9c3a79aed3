// Installed fonts (fontconfig): the scalable TrueType and OpenType faces by
// every family name they carry, each with a LOGFONT-like record, the files
// behind a face name, and the choice of file for a weight and slant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

inline constexpr uint8_t ANSI_CHARSET = 0;
inline constexpr uint8_t DEFAULT_CHARSET = 1;
inline constexpr uint8_t SHIFTJIS_CHARSET = 128;

inline constexpr int32_t FW_NORMAL = 400;
inline constexpr int32_t FW_BOLD = 700;

inline constexpr uint8_t FIXED_PITCH = 1;
inline constexpr uint8_t VARIABLE_PITCH = 2;

// Bytes of a face name field, its terminating zero included.
inline constexpr size_t LF_FACESIZE = 32;

// The 60-byte font record of stored and exchanged forms. lfFaceName holds
// CP932 bytes (at most 31, zero-terminated), as the character attributes
// it is built from do. lfHeight < 0 asks for an em of -lfHeight pixels,
// lfHeight > 0 for a cell (ascent + descent) of lfHeight pixels.
struct TLogFont {
    int32_t lfHeight = 0;
    int32_t lfWidth = 0;
    int32_t lfEscapement = 0;
    int32_t lfOrientation = 0;
    int32_t lfWeight = 0;
    uint8_t lfItalic = 0;
    uint8_t lfUnderline = 0;
    uint8_t lfStrikeOut = 0;
    uint8_t lfCharSet = 0;
    uint8_t lfOutPrecision = 0;
    uint8_t lfClipPrecision = 0;
    uint8_t lfQuality = 0;
    uint8_t lfPitchAndFamily = 0;
    char lfFaceName[LF_FACESIZE] = {};
};
static_assert(sizeof(TLogFont) == 60);

// lfFaceName := Cp932Name cut to 31 bytes without splitting a double-byte
// character, the rest of the field zero.
void SetLogFontFaceName(TLogFont& LogFont, std::string_view Cp932Name);
// The CP932 bytes of lfFaceName up to its first zero (at most 31).
std::string LogFontFaceName(const TLogFont& LogFont);
// Utf8 as CP932 cut to 31 bytes at a character boundary; false when a
// character has no CP932 code.
bool FaceNameToCp932(std::string_view Utf8, std::string& Cp932);

// One font file (or one face of a collection) as fontconfig reports it.
struct TFontSource {
    std::vector<std::string> Families; // UTF-8, every name language
    std::string FileName;
    int32_t Index = 0;        // face index as FreeType takes it
    int32_t Weight = FW_NORMAL; // 100..900
    bool Italic = false;      // italic or oblique
    int32_t Width = 100;      // 100 = normal, 87 = semi-condensed...
    bool Japanese = false;    // covers the Japanese language
    bool Mono = false;
    bool Ascii = true;        // draws every printable ASCII character
    // The language of each family name ("en", "ja"; empty when not known),
    // parallel to Families.
    std::vector<std::string> FamilyLangs;
};

// A face of the enumeration.
struct TFontFace {
    std::string Name; // UTF-8; its CP932 form is lfFaceName
    TLogFont LogFont; // height and width 0; weight, italic and pitch of the regular style
    bool Vertical = false; // "@" face of a Japanese font
};

// The file that draws a face in a weight and slant, and what the file
// lacks that must be synthesised.
struct TFontMatch {
    std::string FileName;
    int32_t Index = 0;
    bool SynthesizeBold = false;
    bool SynthesizeItalic = false;
};

class TInstalledFonts {
public:
    // Faces from Sources: every family name that CP932 can write becomes a
    // face (cut to 31 CP932 bytes; names equal but for ASCII letter case are
    // one face). Its character set is 128 when one of its files covers
    // Japanese and draws ASCII, as the single-byte half of Shift-JIS asks
    // (a CJK fallback face without Latin letters is no Shift-JIS face), else
    // 0 when one draws ASCII, else 1 (a face of other scripts only). Each
    // Shift-JIS face also gets an "@" face. Sorted by name, ignoring ASCII
    // case.
    void Build(std::vector<TFontSource> Sources);
    // Tells tables apart: a number no other table built in this process has.
    uint64_t Serial() const { return FSerial; }

    const std::vector<TFontFace>& Faces() const { return FFaces; }
    // The face named Name (UTF-8), ignoring ASCII case; nullptr when none.
    const TFontFace* Find(std::string_view Name) const;
    // The first face with character set 128 that is not an "@" face, else
    // the first with 0, else the first; nullptr without faces.
    const TFontFace* DefaultFace() const;
    // The file of face Name closest to Weight and Italic: normal width
    // first, then the slant, then the nearest weight; ties go to the first
    // file by path. Bold (Weight >= 600) is synthesised when the file is
    // lighter than 600, italic when the file is upright. False when Name is
    // not a face.
    bool Resolve(std::string_view Name, int32_t Weight, bool Italic, TFontMatch& Match) const;

    // A font carries its family name in several languages, and each is a
    // face. The system shows the Japanese one where the font has it: the
    // face Name stands for, under the name it is shown by ("IPAPGothic"
    // gives "IPA Pゴシック"; an "@" face its shown name with "@"). Empty when
    // Name is no face.
    std::string ShownName(std::string_view Name) const;
    // Every face that is shown under its own name, without "@" faces: each
    // font once. In the order of Faces().
    std::vector<std::string> ShownNames() const;

private:
    struct TFaceFiles {
        std::vector<size_t> Sources; // into FSources, by path
    };
    std::vector<TFontSource> FSources;
    std::vector<TFontFace> FFaces;
    std::unordered_map<std::string, size_t> FIndex; // lower-case name -> FFaces
    std::unordered_map<std::string, std::string> FShown; // lower-case name -> the font's Japanese name
    std::vector<TFaceFiles> FFiles;                 // parallel to FFaces
    uint64_t FSerial = 0;
};

// Lower-case ASCII letters of S; other bytes unchanged.
std::string FontNameKey(std::string_view S);

// The installed scalable TrueType and OpenType fonts as fontconfig lists
// them (variable fonts by their named instances).
std::vector<TFontSource> ReadFontconfigSources();

// Initialises fontconfig once for the process (released at exit); false when
// it cannot be initialised.
bool EnsureFontconfig();

// The machine's faces, read on first use and kept.
const TInstalledFonts& InstalledFonts();
// Reads the installed fonts again when fontconfig reports a change (or
// they were never read). A change gives a new table; references to the
// old one stay valid.
const TInstalledFonts& UpdateInstalledFonts();
