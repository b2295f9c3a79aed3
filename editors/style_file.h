// A style library without its window: the grouped tree of named presets, its
// file form (*.stl), and the rules by which a library file is opened and
// saved so that a user's presets are never lost. No Qt here, so that the
// build-time generator of the delivered libraries writes them with the very
// code that reads them.
//
// File form: every value is a counted string (int32 little-endian byte count,
// then that many CP932 bytes); numbers are decimal text. Header, version,
// group count N, then N groups in tree order (depth first), each: level,
// name, item count M, then M items: title followed by the owner's payload.
#pragma once

#include "foundation/tobject.h"
#include "foundation/user_error.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TStream;

class EStyleError : public Exception {
public:
    using Exception::Exception;
};
class EStyleInvalidateData : public EStyleError {
public:
    EStyleInvalidateData();
};

struct TStyleEntry {
    std::string Title;
    std::unique_ptr<TObject> Data; // nil when the library has no item reader
};

struct TStyleGroup {
    std::string Name;
    TStyleGroup* Parent = nullptr;
    std::vector<TStyleEntry> Items;
    std::vector<std::unique_ptr<TStyleGroup>> Children;
};

// Reads one item's payload; Version is the version the file itself carries.
using TStyleItemLoad = std::function<std::unique_ptr<TObject>(TStream& Stream, int32_t Version)>;
using TStyleItemSave = std::function<void(TStream& Stream, const TObject* Data)>;

// The deepest level a group may lie at (0 is the top). Real libraries go two
// or three deep; a file nesting further is damaged, and no edit goes beyond
// it, so no library this program writes is one it then refuses.
inline constexpr int32_t StyleMaxLevel = 99;

// The groups in tree order; absolute indexes count nodes depth first.
class TStyleTree {
public:
    std::vector<std::unique_ptr<TStyleGroup>> Roots;

    void Clear() { Roots.clear(); }
    bool Empty() const { return Roots.empty(); }
    int32_t NodeCount() const;
    // nil outside 0 .. NodeCount - 1.
    TStyleGroup* NodeAt(int32_t Index) const;
    int32_t IndexOf(const TStyleGroup* Group) const; // -1 when not in the tree
    static int32_t LevelOf(const TStyleGroup* Group);
    // Calls Visit for every group in tree order with its level (0 at the top).
    // Visit must not change the tree.
    void ForEachGroup(const std::function<void(TStyleGroup* Group, int32_t Level)>& Visit) const;

    // A new group after the last sibling of Selected (top level when nil).
    TStyleGroup* AddGroup(const TStyleGroup* Selected, const std::string& Name);
    // A new last child of Parent (top level when nil). EStyleError, nothing
    // added, when the child would lie deeper than StyleMaxLevel.
    TStyleGroup* AddChild(TStyleGroup* Parent, const std::string& Name);
    // Removes Group with its subgroups and all their items.
    void DeleteGroup(TStyleGroup* Group);
    // Moves Group with its subtree to position Index (clamped) among the
    // children of NewParent (top level when nil). False, nothing moved, when
    // NewParent is Group itself or lies inside it, or when the subtree would
    // then nest deeper than StyleMaxLevel.
    bool MoveGroup(TStyleGroup* Group, TStyleGroup* NewParent, int32_t Index);
    // Moves one item to position ToIndex (clamped) of To (may be From).
    static void MoveItem(TStyleGroup& From, int32_t FromIndex, TStyleGroup& To, int32_t ToIndex);
    // Takes Other's top-level groups, with their nesting and items, after the
    // last top-level group of this tree.
    void Append(TStyleTree&& Other);

private:
    std::vector<std::unique_ptr<TStyleGroup>>& SiblingsOf(TStyleGroup* Parent);
};

// Counted strings: UTF-8 in memory, CP932 in the file.
void StyleWriteString(TStream& Stream, const std::string& Utf8);
// A count below 0 or beyond the bytes the stream has left is bad data,
// refused before anything is allocated; a short stream raises EReadError.
std::string StyleReadString(TStream& Stream);
int32_t StyleReadNumber(TStream& Stream); // EStyleInvalidateData for no integer

// Reads a whole library. Tree changes only when everything was read; Version
// (optional) receives the file's version, which every item reader is given.
// The levels place each group the way indentation does: a level above the
// previous group's nests the group one below it (however much larger the
// number), a level no larger closes the groups at that level and above and
// adds it beside them. Negative levels count as 0. So the groups keep the
// file's order, a first group at level 1 is a top-level group like the
// level-0 groups after it, and a saved library gives back the same levels.
// A file nesting deeper than StyleMaxLevel is bad data.
void LoadStyleStream(TStream& Stream, const std::string& Header, const TStyleItemLoad& ItemLoad,
                     TStyleTree& Tree, int32_t* Version = nullptr);
void SaveStyleStream(TStream& Stream, const std::string& Header, int32_t Version,
                     const TStyleTree& Tree, const TStyleItemSave& ItemSave);

// The configuration of one library and its file rules.
class TCustomStyle {
public:
    std::string DataFileHeader;
    int32_t Version = 100;
    std::string FileName;       // full path of the user's library
    std::string ProgramFolder;  // where the delivered copy lies ("" : none)
    TStyleItemLoad OnItemLoad;
    TStyleItemSave OnItemSave;

    // Opens the library into Tree: the user's file; when it is missing, the
    // delivered file of the same name in ProgramFolder, then FileName with
    // ".org" in place of its extension; when all fail, an empty tree. A user
    // file that exists but cannot be read is never overwritten: the user is
    // told, the file is renamed aside to FileName + ".bad" (".bad2", ...
    // when taken), and the delivered library is used. When even the rename
    // fails the file stays as it is and SaveToFile refuses to replace it.
    void LoadLibrary(TStyleTree& Tree);
    // The name the unreadable file went to ("" when none was renamed).
    const std::string& SetAsideName() const { return FSetAside; }

    // Writes through a new file beside FileName renamed into place.
    // EFCreateError when that fails or when the file may not be replaced.
    void SaveToFile(const TStyleTree& Tree) const;

    // Only a regular file is read: anything else (a named pipe would wait
    // for a writer for ever, a device would never end) raises EFOpenError
    // without being opened for a blocking read.
    void LoadFromFile(const std::string& Path, TStyleTree& Tree) const;

    // The data folder moved: FileName becomes NewFolder + its own name, and
    // the user's library comes along when NewFolder has none yet (one that
    // is there is never overwritten). False when the copy failed; FileName
    // moves all the same, and the delivered library stands in there.
    bool MoveToFolder(const std::string& NewFolder);

private:
    bool FKeepUserFile = false;
    std::string FSetAside;
};

// The message shown when a library file cannot be read; Aside is where it went.
std::string StyleUnreadableMessage(const std::string& Path, const std::string& Aside);
