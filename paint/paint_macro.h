// A paint macro: one named paint effect of a draw object, a program of lines
// that each call a built-in paint function with parameter values. Documents
// keep only a macro's name, its on/off byte and its user parameters; the lines
// come back from the macro libraries by name.
//
// Captions name user parameters; several parameters may share one. A caption
// may carry a tag after its first "|": matching by caption compares the part
// before it, matching by tag the part after it. A parameter without a
// caption, with an empty one or with one beginning with "*" is internal.
//
// Binary form: name (int32 length + CP932 bytes), enabled byte (from version
// 24), int32 n, n x {caption, value} as length-prefixed CP932 strings. Below
// version 6 the lines themselves follow the name instead. Text form: one CR LF
// line each for the name, the enabled byte, n, then caption and value lines.
#pragma once

#include "foundation/tobject.h"
#include "foundation/user_error.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TStream;
class TStringList;
class TPictureCache;
class TMacroLibrary;

// A stored macro whose name neither library holds.
class EMacroNotRegistered : public EUserError {
public:
    using EUserError::EUserError;
};

// One parameter of a line. Either text may be absent (nil), which differs
// from an empty text.
struct TMacroParam {
    std::optional<std::string> Value;
    std::optional<std::string> Caption;

    bool operator==(const TMacroParam&) const = default;
};

// One line: a call of the paint function FunctionName, its result stored
// under ResultName. CountWord holds the parameter count in its low 16 bits
// and the line flags in its high 16 bits; Params has one entry per counted
// parameter.
struct TMacroLine {
    std::string FunctionName;
    std::string ResultName;
    uint32_t CountWord = 0;
    std::vector<TMacroParam> Params;

    uint16_t ParamCount() const { return static_cast<uint16_t>(CountWord & 0xFFFFu); }
    uint16_t Flags() const { return static_cast<uint16_t>(CountWord >> 16); }

    bool operator==(const TMacroLine&) const = default;
};

class TMacro : public TObject {
public:
    // An empty macro, enabled.
    TMacro();
    ~TMacro() override;
    TMacro(const TMacro&) = delete;
    TMacro& operator=(const TMacro&) = delete;

    std::string ClassName() const override { return "TMacro"; }

    // The library macro of that name. When no library holds it: the warning
    // box "マクロ <name> は、存在しません。無視します" and an empty macro with
    // the enabled byte 0.
    static std::unique_ptr<TMacro> CreateByName(const std::string& Name);

    // Clears the picture cache; no name, enabled, no lines.
    void Clear();
    // Name, enabled byte and a deep copy of the lines; not the picture cache.
    void Assign(const TMacro& Source);
    // Assigns the named macro of the first library, else of the second
    // (names compared without regard to ASCII case). False, and nothing
    // changed, when neither holds it.
    bool LoadFromLibrary(const std::string& Name);
    // The loaded libraries' macro of that name, or nil: read in place, not copied.
    static const TMacro* FindInLibrary(const std::string& Name);

    // Every parameter whose caption matches Caption's display part gets Value
    // and Caption (tag included).
    void SetParamValue(const std::string& Caption, const std::string& Value);
    // Every parameter whose caption's tag equals Tag gets Value.
    void SetParamValueByTag(const std::string& Tag, const std::string& Value);
    // From the second line on: the first non-empty value of a parameter
    // matching Caption (empty when all matches are empty). False when none
    // matches.
    bool GetParamValue(const std::string& Caption, std::string& Value) const;
    // The user parameters in line and parameter order: each caption once
    // (compared without regard to ASCII case) with the first non-empty value.
    // Only parameters the function table declares with a kind other than 0
    // and whose value is set count.
    void GetParams(TStringList& Captions, TStringList& Values) const;

    // Same name, enabled byte and lines (texts compared exactly; nil and ""
    // differ).
    bool Equals(const TMacro& Other) const;
    // Merges a macro of the same name for a multi-selection: a differing
    // enabled byte becomes 255, a set value that differs from Other's value
    // at the same line and position becomes nil.
    void IntersectWith(const TMacro& Other);

    void WriteToStream(TStream& Stream) const;
    // EMacroNotRegistered "\"<name>\"は登録されていません" from version 6 on
    // when no library holds the name; the macro keeps the name and has no lines.
    // Both readers read a stored enabled byte other than 0 as 1, and pass
    // over a pair whose caption names no user parameter (empty or internal).
    void ReadFromStream(TStream& Stream, int32_t Version);
    void WriteToStreamAsText(TStream& Stream) const;
    // A name no library holds is kept, the macro has no lines, and its
    // remaining lines are still read so that the stream stays in step.
    void ReadFromStreamAsText(TStream& Stream, int32_t Version);

    // Reads a macro library file into a new list and then replaces Library
    // with it; on any failure Library is left as it was (macro_library.cpp).
    static void ReadMacroFile(std::unique_ptr<TMacroLibrary>& Library, const std::string& FileName);

    const std::string& Name() const { return FstrName; }
    // 1 on, 0 off, 255 mixed (a merged multi-selection).
    uint8_t Enabled() const { return FEnabled; }
    void SetEnabled(uint8_t Value) { FEnabled = Value; }
    int32_t LineCount() const { return static_cast<int32_t>(FLines.size()); }
    // EListError for an index outside 0 .. LineCount - 1.
    const TMacroLine& Line(int32_t Index) const;
    // Sets one parameter's value by its place (the rewrite of a transform and
    // its undo address parameters this way); EListError for a bad place.
    void SetLineParamValue(int32_t LineIndex, int32_t ParamIndex, const std::string& Value);
    // The pictures rendered for this macro, kept between paints; any change of
    // a value clears it.
    TPictureCache& PictureCache() { return *FPictureCache; }

private:
    void ClearPictureCache();

    std::string FstrName;
    uint8_t FEnabled = 1;
    std::vector<TMacroLine> FLines;
    std::unique_ptr<TPictureCache> FPictureCache;
};

// True when Stored begins with Text (case-sensitive) and the next character
// is the end of Stored or "|".
bool MatchParamCaption(std::string_view Stored, std::string_view Text);

// The renames of macro names written by older versions, applied in order.
std::string MigrateMacroName(const std::string& Name, int32_t Version);
// The names those renames lead to: every one is a macro of the library.
std::vector<std::string> MigratedMacroNames();
// The renames of parameter captions of the macro MacroName (already migrated),
// applied in order; some apply only below version 23.
std::string MigrateMacroParamCaption(const std::string& MacroName, const std::string& Caption,
                                     int32_t Version);
