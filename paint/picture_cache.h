// Planes (8-bit) and pictures (24-bit) made by the paint functions, and the
// per-macro cache that keeps such records from one paint to the next.
//
// A measure-only record carries a size but no pixels: no bitmap, no bits, and
// a zero-filled 40-byte header block in which only the width, the height and
// the bit count are set; its left and top are set as usual.
#pragma once

#include "foundation/geometry_types.h"
#include "foundation/rec_path.h"
#include "raster/rec_picture.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Makes Record (whatever it held is freed first) at Position with the given
// size and depth, pixels zero-filled in plain global memory, or as a
// measure-only record. Returns 0, or 0x80000 when the memory cannot be had,
// the size is not positive or the pixels would be more than the raster
// routines work on (MaxWorkPixels: refused before anything is allocated).
int32_t AllocPlaneRecord(TrecPicture& Record, const TPoint& Position, int32_t Width,
                         int32_t Height, int32_t BitCount, bool MeasureOnly);

// As AllocPlaneRecord for the path's bounds widened by the margins: left =
// bounds left - LeftMargin, width = bounds right - bounds left + LeftMargin +
// RightMargin + 1, and likewise vertically. An empty path gives a record of
// 2 + LeftMargin + RightMargin by 2 + TopMargin + BottomMargin whose
// rectangle wraps round past MaxInt: it meets no picture.
int32_t AllocPlaneRecordForPath(TrecPicture& Record, const TrecPath& Path, int32_t BitCount,
                                bool MeasureOnly, int32_t LeftMargin, int32_t TopMargin,
                                int32_t RightMargin, int32_t BottomMargin);

// While one lives, every measure-only record made is judged against what
// painting could make for real (RecordWorkable): the measure of an item
// tells whether its paint would fail for a record too large, before any
// pixel is had. Watches nest; the innermost one hears.
class TMeasuredRecords {
public:
    TMeasuredRecords();
    ~TMeasuredRecords();
    TMeasuredRecords(const TMeasuredRecords&) = delete;
    TMeasuredRecords& operator=(const TMeasuredRecords&) = delete;

    // False once a record was one painting could not make.
    bool Workable = true;
    // The first such record's size, else the largest record's (by pixels).
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitCount = 0;

    void Note(int32_t AWidth, int32_t AHeight, int32_t ABitCount);

private:
    TMeasuredRecords* FOuter;
};

// Named picture records owned by the cache. Names compare without regard to
// ASCII letter case.
class TPictureCache {
public:
    TPictureCache() = default;
    TPictureCache(const TPictureCache&) = delete;
    TPictureCache& operator=(const TPictureCache&) = delete;
    ~TPictureCache();

    // Frees every record and empties the cache. When freeing a record fails
    // the others are still freed and the cache is emptied before EUserError
    // "TPictureCache.Clear: RecPictureClear Failed" is raised.
    void Clear();
    // The record stored under Name, or nullptr.
    TrecPicture* Find(const std::string& Name) const;
    // Stores Record under Name and returns its index; the cache then owns the
    // record's bitmap, header and pixels. When Name is present already, nothing
    // is stored (the caller keeps its record) and the existing index is returned.
    int32_t Add(const std::string& Name, const TrecPicture& Record);
    int32_t Count() const { return static_cast<int32_t>(FItems.size()); }

private:
    struct TItem {
        std::string Name;
        std::unique_ptr<TrecPicture> Record;
    };
    int32_t IndexOf(const std::string& Name) const;

    std::vector<TItem> FItems;
};
