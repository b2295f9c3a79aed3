// The shell's file-list block (CF_HDROP): a 20-byte DROPFILES header, then
// the names as zero-terminated strings ended by one more zero. Names are the
// file system's bytes (UTF-8 here); blocks of wide names are not made and
// read as holding no file.
#pragma once

#include "platform/global_memory.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#pragma pack(push, 1)
struct DROPFILES {
    uint32_t pFiles; // offset of the first name
    int32_t ptX;
    int32_t ptY;
    int32_t fNC;
    int32_t fWide;
};
#pragma pack(pop)
static_assert(sizeof(DROPFILES) == 20);

// The block's bytes for Names: pFiles 20, point (0, 0), fNC -1, fWide 0.
std::string DropFilesBytes(const std::vector<std::string>& Names);
// The same in a new global block (Flags); nullptr when memory runs out.
HGLOBAL DropFilesBlock(const std::vector<std::string>& Names, uint32_t Flags);
// The complete names of a block of Size bytes at Data.
std::vector<std::string> DropFilesNames(const void* Data, size_t Size);

// Index 0xFFFFFFFF: the number of names. Otherwise the length of name Index
// when Buffer is nil, else the name copied into Buffer (at most Size - 1
// bytes and a zero) and the bytes copied. 0 for a bad block or index.
// Nothing outside the block is read: a name must end inside it.
uint32_t DragQueryFile(HGLOBAL Drop, uint32_t Index, char* Buffer, uint32_t Size);
