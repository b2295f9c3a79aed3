// The per-document picture store: every picture the drawing uses, each under
// an int32 handle that draw items and paint parameters keep instead of the
// pixels. It also caches pictures derived from a stored one (a fill picture
// fitted to a size...): a derived picture carries its source's handle and the
// parameters it was made with, so the same derivation is found again.
//
// Only base pictures (SourceHandle < 0) are ever streamed. A base picture
// added from a JPEG file keeps the file's bytes in a temporary file, and the
// stored forms carry those bytes instead of the pixels.
//
// Handles only grow and are never reused: a removed picture leaves its entry
// in Items with the key -1 and no item. No two live entries share a handle.
//
// Binary collection: int32 Count, then Count x {int32 Handle, item}; item:
//   int32 SourceHandle, Param1, Param2; double ParamD; byte Flag (version 10
//   on); byte Source (version 18 on): 0 = int32 Left, Top, JpegSize and the
//   JPEG bytes follow, else the picture record (version 15 on its PNG form,
//   below its old raw form). All little-endian.
// Text collection: the same values one per line (ParamD with "."), the JPEG
//   bytes as one "JIS7" block; the picture record's text form from version
//   16, the old raw text form below.
// Undo data (codes: 0 pictures added, 1 pictures removed): repeated
//   {int32 Handle, binary item}, read as version 25. A handle whose picture
//   is set aside for the history (KeepPictures) takes it back as it is.
//
// Readers build what they read apart and only then change the store: a read
// that fails leaves the store as it was and leaves no temporary file behind.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/lists.h"
#include "foundation/streams.h"
#include "foundation/tobject.h"
#include "store/history.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

// How a picture was made.
class TListRecPictItemCondition : public TObject {
public:
    std::string ClassName() const override { return "TListRecPictItemCondition"; }
    void Assign(const TListRecPictItemCondition& Source) { *this = Source; }

    int32_t SourceHandle = -1; // negative: a base picture
    int32_t Param1 = 0;
    int32_t Param2 = 0;
    double ParamD = 0.0;       // compared within 0.0001
    int32_t OffsetX = 0;       // OffsetX..Height live in memory only
    int32_t OffsetY = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t Flag = 0;
};

// One stored picture. Freeing it clears the picture and deletes the
// temporary file of its JPEG bytes.
class TListRecPictItem : public TObject {
public:
    TListRecPictItem();
    TListRecPictItem(const TListRecPictItem&) = delete;
    TListRecPictItem& operator=(const TListRecPictItem&) = delete;
    ~TListRecPictItem() override;

    std::string ClassName() const override { return "TListRecPictItem"; }

    // Condition, picture and (into a temporary file of its own) JPEG bytes.
    void Assign(const TListRecPictItem& Source);

    // The item forms. A reader that fails leaves the item unchanged.
    void ReadFromStream(TStream& Stream, int32_t Version);
    void ReadFromStreamAsText(TStream& Stream, int32_t Version);
    void WriteToStream(TStream& Stream) const;
    void WriteToStreamAsText(TStream& Stream) const;

    // The JPEG bytes, nil when the picture has none.
    TFileStream* JpegFile() const { return FJpegFile.get(); }
    const std::string& JpegFileName() const { return FJpegFileName; }
    // Takes over an open temporary file (read-write) and its name; the one
    // held before is deleted.
    void SetJpegFile(std::unique_ptr<TFileStream> File, const std::string& FileName);

    const std::unique_ptr<TListRecPictItemCondition> Condition;
    TrecPicture Picture; // owned

private:
    void ReleaseJpeg();

    std::unique_ptr<TFileStream> FJpegFile;
    std::string FJpegFileName;
};

class TListRecPict : public TUndoObject {
public:
    // Undo command codes.
    static constexpr int32_t CmdPicturesAdded = 0;
    static constexpr int32_t CmdPicturesRemoved = 1;

    explicit TListRecPict(THistoryCommand* History);
    ~TListRecPict() override;

    std::string ClassName() const override { return "TListRecPict"; }

    // Stores Picture and returns its handle. A base picture (SourceHandle -1)
    // equal to a stored base picture is not stored: that one's handle is the
    // result and the caller keeps its record. Otherwise the store takes the
    // record over and the caller's variable is zeroed. A base picture from a
    // ".jpg"/".jpeg" FileName keeps that file's bytes.
    int32_t AddPicture(int32_t SourceHandle, int32_t Param1, int32_t Param2, double ParamD,
                       const TPoint& Offset, int32_t Width, int32_t Height, uint8_t Flag,
                       TrecPicture& Picture, const std::string& FileName);
    // The first picture made this way; Handle (optional) := its handle or -1.
    TListRecPictItem* FindByCondition(int32_t SourceHandle, int32_t Param1, int32_t Param2,
                                      double ParamD, uint8_t Flag, const TPoint& Offset,
                                      int32_t Width, int32_t Height, int32_t* Handle) const;
    // nil for a negative handle, one that is not stored or one set aside.
    TListRecPictItem* GetItemByHandle(int32_t Handle) const;

    // Copies Source's pictures with SourceHandle -1 under their own handles
    // (a handle already held here keeps its picture); NextHandle becomes at
    // least Source's.
    void Assign(const TListRecPict& Source);
    // Moves Source's base pictures here under new handles (an equal picture
    // already held is used instead and stays in Source); HandleMap receives
    // old handle -> new handle.
    void MergeFrom(TListRecPict& Source, TList2Item& HandleMap);

    // Handle lists (Filter, UsedHandles) hold handles cast through intptr_t.
    // The base pictures (not those set aside); with a Filter only the handles
    // it holds.
    void WriteToStream(TStream& Stream, const TListPtrWex* Filter) const;
    void WriteToStreamAsText(TStream& Stream, const TListPtrWex* Filter) const;
    // Replaces the content. The first of several pictures under one handle
    // wins; later ones, and negative handles, are dropped. NextHandle :=
    // the larger of NextHandle and every handle read, plus 1.
    void LoadFromStream(TStream& Stream, int32_t Version);
    // Read a collection and merge its base pictures as MergeFrom does.
    void ReadFromStreamBinary(TStream& Stream, TList2Item& HandleMap, int32_t Version);
    void ReadFromStreamAsText(TStream& Stream, TList2Item& HandleMap, int32_t Version);

    // The base pictures added since the last call become one redo record.
    // Those stored while the history replays a step are not listed: the
    // step's own records bring them back.
    void CommitNew();
    // Frees every picture whose handle UsedHandles lacks; each base picture
    // gets an undo record.
    void RemoveUnused(const TListPtrWex& UsedHandles);
    // The document's lifetime rule. Used: the handles its items use now;
    // Held: the handles a step of its history can bring back an item using.
    // A picture Used names is the document's; a base picture only Held names
    // is set aside: out of the document (not found by its handle, not
    // written) but kept under its handle, so that the same picture added or
    // merged again, or a step's record of it, takes it back under the very
    // handle the history's steps name; any other picture is freed, without
    // undo records, since no step needs it.
    void KeepPictures(const TListPtrWex& Used, const std::vector<int32_t>& Held);
    // Whether the picture under Handle is set aside.
    bool IsSetAside(int32_t Handle) const { return FAside.count(Handle) != 0; }

    void Undo(int32_t Command, const void* Data, int32_t Size) override;
    void Redo(int32_t Command, const void* Data, int32_t Size) override;

    // Keys are handles (-1: removed), items the TListRecPictItem* (not owning);
    // pictures set aside are among them.
    const TList2Item& Items() const { return FItems; }
    TListRecPictItem* ItemAt(int32_t Index) const;
    // Positions in Items of the base pictures added since the last commit.
    const TListPtrWex& NewBasePictures() const { return FNewBasePictures; }
    int32_t NextHandle() const { return FNextHandle; }

private:
    struct TReadEntry {
        int32_t Handle;
        std::unique_ptr<TListRecPictItem> Item;
    };
    using TReadList = std::vector<TReadEntry>;

    static TReadList ReadCollection(TStream& Stream, int32_t Version, bool AsText,
                                    int64_t& MaxHandle);
    void Reserve(size_t More);
    int32_t Store(int32_t Handle, std::unique_ptr<TListRecPictItem>& Item);
    void FreeAt(int32_t Index);
    int32_t FindEqualBase(const TrecPicture& Picture) const;
    // FindEqualBase, and the picture found is no longer set aside (but
    // while the history replays a step).
    int32_t TakeEqualBase(const TrecPicture& Picture);
    // The item under Handle, set aside or not.
    TListRecPictItem* ItemOf(int32_t Handle) const;
    void Merge(TReadList& Read, TList2Item& HandleMap);
    void ReAdd(const void* Data, int32_t Size);

    TListPtrWex FNewBasePictures;
    int32_t FNextHandle = 0;
    TList2Item FItems;
    // Owns the item of each entry of FItems, position for position.
    std::vector<std::unique_ptr<TListRecPictItem>> FOwned;
    // Handles of the pictures kept only for the history.
    std::unordered_set<int32_t> FAside;
};
