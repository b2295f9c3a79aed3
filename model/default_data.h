// The drawing defaults: the attributes that new objects receive (fill macros,
// wireframe colour, text font and layout, rectangle, polygon and star records,
// a few flags) and the application's extra settings, kept in the defaults
// file "TavDef.dat". The application makes one TDefaultData at start-up and
// frees it at the end, which writes the file back.
//
// Class chain: TDrawObjDef (file handling, colour, two macro lists) ->
// TDrawObjTavDef (drawing attributes) -> TDefaultData (application settings).
// Only TDefaultData loads at construction and saves at destruction: a base
// constructor cannot reach the derived readers.
//
// File: "QVD" (the signature), version high and low byte, one spare byte,
// then the body of the version (25 written; 26 and above are ignored).
#pragma once

#include "foundation/tobject.h"
#include "model/draw_item.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TMacros;
class TStream;

// Version written; files above it are ignored.
constexpr int32_t DefaultDataVersion = 25;

inline constexpr const char* DefaultDataFileName = "TavDef.dat";
inline constexpr const char* DefaultDataSignature = "QVD";
inline constexpr const char* DefaultDataKey = "SOFTWARE\\ZELBAR\\Tavro\\4";
inline constexpr const char* DefaultDataValueName = "EnvData";

// The font of new text objects. The face name is CP932, zero-terminated and
// zero-filled: at most 31 bytes of text.
struct TrecDefaultFont {
    int32_t Height = 48;
    char FaceName[32] = {};
    uint8_t CharSet = 128;           // Shift-JIS
    uint8_t Byte1 = 0;
    uint8_t Style[4] = {0, 0, 0, 0};
    int32_t Value1 = 0;
    int32_t Value2 = 0;
};

// Copies the CP932 bytes of Name into Field, cut at a character boundary so
// that at most 31 bytes and the terminating zero fit; the rest is zeroed.
void SetFaceNameField(char (&Field)[32], const std::string& Cp932Name);

class TDrawObjDef : public TObject {
public:
    // Stores the arguments, reads the data folder from the registry value
    // ValueName of HKEY_CURRENT_USER Key, makes the two macro lists. Nothing
    // is loaded here (see TDefaultData).
    TDrawObjDef(const std::string& Name, const std::string& FileName, const std::string& Signature,
                const std::string& Key, const std::string& ValueName);
    ~TDrawObjDef() override;
    TDrawObjDef(const TDrawObjDef&) = delete;
    TDrawObjDef& operator=(const TDrawObjDef&) = delete;

    std::string ClassName() const override { return "TDrawObjDef"; }

    virtual void WriteBody(TStream& Stream);
    virtual void ReadBody(TStream& Stream, int32_t Version);

    // Data folder (the program's data folder when empty) + "/" + file name.
    std::string GetFileName() const;
    // False when the file cannot be opened or its version is above 25; a
    // pipe, device or socket in its place raises EFOpenError (its Error()
    // ErrNotRegularFile), never waited on.
    // EUserError "デフォルトデータファイル形式ではありません。" for another
    // signature; stream and conversion errors for a short or bad body. The
    // object is changed only when the whole body was read.
    bool LoadFromFile(const std::string& FileName);
    // Creates the folder when missing. While the file cannot be made the user
    // is asked to retry (Retry/Cancel); Cancel gives False.
    bool SaveToFile(const std::string& FileName);
    // A different folder is stored, written to the registry value, and the
    // file is saved there.
    void SetDataFolder(const std::string& Folder);

    const std::string& DataFolder() const { return FDataFolder; }
    const std::string& FileName() const { return FFileName; }
    const std::string& Signature() const { return FSignature; }

    uint8_t SaveOnDestroy = 1;
    // The wireframe colour of new objects (0x00BBGGRR).
    int32_t WireframeColor = 0;
    // The fill macros of new objects, and a second list kept with them.
    std::unique_ptr<TMacros> Macros;
    std::unique_ptr<TMacros> Macros2;

protected:
    // A detached copy for reading into: same settings and values, never
    // saved. LoadFromFile reads into one and takes it over on success.
    virtual std::unique_ptr<TDrawObjDef> CreateScratch() const = 0;
    // Takes over Source's values (not its file settings).
    virtual void AssignValues(const TDrawObjDef& Source);
    TDrawObjDef(const TDrawObjDef& Source, int);

    // The int32 and the two lists of this part (version 15 and later first,
    // older files last).
    void WriteDefPart(TStream& Stream);
    void ReadDefInt(TStream& Stream);
    void ReadMacroLists(TStream& Stream, int32_t Version);

    // Tries the data folder's file, the program folder's, then the ".org"
    // copy in the program folder. A file that cannot be read is kept as
    // FileName + ".bad" (a pipe or a device is left where it is) and the
    // next one is tried; the user is told once.
    // The delivered ".org" copy is read at every call: one that does not
    // read raises EUserError naming it as damaged. A file (any of the three)
    // naming a macro no library holds raises DamagedMacroLibraryError of
    // "Macro.tvm". Either leaves every file as it was.
    void LoadDefaults();
    // When save-on-destroy is set: SaveToFile(GetFileName()). Never raises;
    // a failure is shown in an error box.
    void SaveAtEnd() noexcept;

private:
    std::string FName;
    std::string FFileName;
    std::string FSignature;
    std::string FKey;
    std::string FValueName;
    std::string FDataFolder;
};

class TDrawObjTavDef : public TDrawObjDef {
public:
    TDrawObjTavDef(const std::string& Name, const std::string& FileName,
                   const std::string& Signature, const std::string& Key,
                   const std::string& ValueName);
    std::string ClassName() const override { return "TDrawObjTavDef"; }

    void WriteBody(TStream& Stream) override;
    void ReadBody(TStream& Stream, int32_t Version) override;

    // The face name as UTF-8, and set from UTF-8 (cut to 31 CP932 bytes).
    std::string GetFaceName() const;
    void SetFaceName(const std::string& Name);

    // The default fill-path flag of new shapes and text (first flag byte).
    uint8_t FillPath = 1;
    // The display cache: macros keep their rendered pictures between paints
    // (second flag byte).
    uint8_t DisplayCache = 1;
    TrecTextParam TextParam;
    TrecDefaultFont Font;
    int32_t Value1 = 0;
    uint8_t Byte1 = 0;
    double Double1 = 1.0;
    TrecRectParam RectParam;
    TrecPolygonParam PolygonParam;
    TrecStarParam StarParam;

protected:
    TDrawObjTavDef(const TDrawObjTavDef& Source, int);
    void AssignValues(const TDrawObjDef& Source) override;
    // The drawing part after the records that old files store first.
    void ReadTavPart(TStream& Stream, int32_t Version);
    void ReadShapeRecords(TStream& Stream, int32_t Version);
};

class TDefaultData : public TDrawObjTavDef {
public:
    // As TDrawObjDef, then the defaults file is loaded (LoadDefaults, whose
    // errors for a damaged installation come out of here).
    TDefaultData(const std::string& Name = "Zelbar\\tavro\\4",
                 const std::string& FileName = DefaultDataFileName,
                 const std::string& Signature = DefaultDataSignature,
                 const std::string& Key = DefaultDataKey,
                 const std::string& ValueName = DefaultDataValueName);
    // Writes the file when save-on-destroy is set.
    ~TDefaultData() override;
    std::string ClassName() const override { return "TDefaultData"; }

    void WriteBody(TStream& Stream) override;
    void ReadBody(TStream& Stream, int32_t Version) override;

    uint8_t ShowRuler() const { return FShowRuler; }
    // Fires OnChange when the value changes.
    void SetShowRuler(uint8_t Value);

    // The angle step of the Shift constraint in degrees (0: off).
    double AngleStep = 15.0;
    int32_t Value3 = 3;
    // The pick tolerance in screen pixels.
    int32_t PickTolerance = 5;

    std::function<void(TDefaultData*)> OnChange;

protected:
    TDefaultData(const TDefaultData& Source, int);
    std::unique_ptr<TDrawObjDef> CreateScratch() const override;
    void AssignValues(const TDrawObjDef& Source) override;

private:
    uint8_t FShowRuler = 0;
};

// The defaults new objects take their attributes from, installed by the
// application at start-up; nil: built-in values (colour 0, no macros, the
// flags 1).
void SetDefaultAttributes(TDefaultData* Data);
TDefaultData* GetDefaultAttributes();

// The default font height through the installed defaults (48 without).
int32_t GetDefaultFontHeight();
