// TMemIniFile: an in-memory settings file ("[section]" and "key=value"
// lines). Sections and keys are compared case-insensitively (ASCII).
// Comments, blank lines and lines it does not understand are kept in place
// and written back unchanged; a new key goes to the end of its section, a
// new section to the end of the file. The file is CP932 on disk, whatever
// is written to it: a character CP932 cannot hold is stored as "&#xHEX;"
// (and a "&" before "#x" as "&#x26;") and read back as itself. A UTF-8
// file (with a byte-order mark, or not valid CP932) is read and written
// back as CP932. Nothing touches the disk until UpdateFile.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class TStringList;

// Settings text (UTF-8) as the file stores it: every character one CP932
// holds, the others as "&#xHEX;" (upper-case digits), "&" before "#x" as
// "&#x26;". Different texts give different results.
std::string SettingsTextForCp932(const std::string& Utf8);
// The inverse, on the text decoded from the file's CP932; references of
// any other form are left as they are.
std::string SettingsTextFromCp932(const std::string& Text);

class TMemIniFile {
public:
    // Loads FileName; a missing or unreadable file gives an empty object.
    explicit TMemIniFile(const std::string& FileName);

    const std::string& FileName() const { return FFileName; }
    // Why the last load found nothing although the name exists (a folder, a
    // device, a file we may not read): the system's reason. Empty after a
    // good load or when there was no file.
    const std::string& LoadError() const { return FLoadError; }

    std::string ReadString(const std::string& Section, const std::string& Key,
                           const std::string& Default) const;
    void WriteString(const std::string& Section, const std::string& Key, const std::string& Value);
    // Decimal, or hexadecimal with "$" or "0x"; Default when the value is not an int32.
    int32_t ReadInteger(const std::string& Section, const std::string& Key, int32_t Default) const;
    void WriteInteger(const std::string& Section, const std::string& Key, int32_t Value);
    // Written "1"/"0"; read as ReadInteger(...) != 0.
    bool ReadBool(const std::string& Section, const std::string& Key, bool Default) const;
    void WriteBool(const std::string& Section, const std::string& Key, bool Value);

    // Key names of a section in file order (each once); Keys is cleared first.
    void ReadSection(const std::string& Section, std::vector<std::string>& Keys) const;
    // The keys with their values in file order, each key once with the value
    // ReadString reads; in one pass. Values is cleared first.
    void ReadSectionValues(const std::string& Section,
                           std::vector<std::pair<std::string, std::string>>& Values) const;
    // The section becomes Values (distinct keys) in their order, at the end
    // of the file, as EraseSection and WriteString for each would make it
    // (no section for none), in one pass; a key written with the value it
    // had keeps its line's bytes.
    void WriteSectionValues(const std::string& Section,
                            const std::vector<std::pair<std::string, std::string>>& Values);
    void ReadSection(const std::string& Section, TStringList& Keys) const;
    // Section names in file order (each once); Sections is cleared first.
    void ReadSections(std::vector<std::string>& Sections) const;
    void ReadSections(TStringList& Sections) const;

    bool SectionExists(const std::string& Section) const;
    bool ValueExists(const std::string& Section, const std::string& Key) const;
    // Removes every section of that name with all its lines.
    void EraseSection(const std::string& Section);
    // Removes every line of that key in the section.
    void DeleteKey(const std::string& Section, const std::string& Key);

    // Writes the contents to FileName(); raises EFCreateError naming the file
    // when it cannot be written (the old file is then left as it was).
    void UpdateFile();
    // Moves the object to another file; with Reload the contents are replaced
    // by that file's, else they are kept to be written there by UpdateFile.
    void Rename(const std::string& NewFileName, bool Reload = false);

private:
    enum class TLineKind : uint8_t { Other, Section, Key };
    struct TLine {
        TLineKind Kind = TLineKind::Other;
        std::string Text;   // the line as UTF-8, without terminator
        std::string Name;   // section or key name
        std::string Value;  // key value
        std::string Raw;    // the line's bytes on disk while unchanged
        bool HasRaw = false;
    };
    struct TSection {
        // Lines before the first header form a section without header.
        bool HasHeader = false;
        TLine Header;
        std::vector<TLine> Lines;
    };

    void LoadFromFile();
    void Parse(const std::string& Bytes);
    std::string BuildFileBytes() const;
    const TSection* FindSection(const std::string& Section) const;
    TSection* FindSection(const std::string& Section);
    // A new section of that name at the end of the file.
    TSection& AppendSection(const std::string& Section);
    const TLine* FindKey(const std::string& Section, const std::string& Key) const;

    std::string FFileName;
    std::string FLoadError;
    std::vector<TSection> FSections;
};
