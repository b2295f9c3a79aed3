// Document files written byte by byte as a program of any version wrote
// them: a page record of that version with its root group, and the file
// around the pages. Tests of older forms build them here.
#pragma once

#include "object_test_support.h"

#include <cstdint>
#include <vector>

// A page record of Version; its root group (ID 7) holds Count items whose
// binary forms of Version are Items.
inline std::vector<uint8_t> PageRecord(int32_t Version, int32_t W, int32_t H, int32_t Bk, int32_t DPI,
                                       const std::vector<uint8_t>& Items = {}, int32_t Count = 0)
{
    std::vector<uint8_t> B;
    if (Version >= 3 && Version <= 18)
        B.push_back(3); // display mode
    // Grid: int32 0, bytes 0, show 0, snap 1, filler; 0, 0, 1, 1, 10, 10; byte 0 + 3 fillers.
    PutI32(B, 0);
    B.insert(B.end(), {0, 0, 1, 0});
    for (int32_t V : {0, 0, 1, 1, 10, 10})
        PutI32(B, V);
    B.insert(B.end(), {0, 0, 0, 0});
    if (Version >= 19)
        B.push_back(3);
    if (Version >= 4)
        B.push_back(2); // ruler unit
    if (Version >= 2)
        for (int I = 0; I < 10; ++I)
            B.push_back(uint8_t(I == 0 ? 5 : 0)); // print position left 5
    for (int32_t V : {W, H, DPI})
        PutI32(B, V);
    B.insert(B.end(), {1, 0, 0}); // unit
    for (int32_t V : {Bk, 0, 0, 40, W, H}) // colour, picture left, top; BITMAPINFOHEADER
        PutI32(B, V);
    B.insert(B.end(), {1, 0, 24, 0});
    for (int32_t V : {0, ((W * 24 + 31) / 32) * 4 * H, 0, 0, 0, 0, /* layers */ 0, 1})
        PutI32(B, V);
    B.insert(B.end(), {1, 1, 0, 0, 0, 0, 0});
    // Root group: type 0, ID, name, parent 0, (visible), the items.
    B.push_back(0);
    for (int32_t V : {7, 0, 0})
        PutI32(B, V);
    if (Version >= 22)
        B.push_back(1);
    PutI32(B, Count);
    PutBytes(B, Items);
    return B;
}

// A file of Version holding Pages copies of Page and no pictures.
inline std::vector<uint8_t> HandMadeFile(int32_t Version, const std::vector<uint8_t>& Page, int32_t Pages = 1)
{
    std::vector<uint8_t> B = {'T', 'A', 'V', uint8_t(Version >> 8), uint8_t(Version), 0};
    const bool Tags = Version >= 14;
    if (Tags) {
        B.insert(B.end(), {'D', 'O', 'C', 'D'});
        PutI32(B, int32_t(4 + 4 + Pages * Page.size()));
    }
    PutI32(B, Pages);
    for (int32_t I = 0; I < Pages; ++I)
        PutBytes(B, Page);
    if (Version <= 2)
        B.push_back(0xEE);
    if (Tags) {
        B.insert(B.end(), {'L', 'R', 'P', 'T'});
        PutI32(B, 8);
    }
    PutI32(B, 0); // no pictures
    return B;
}

// A file of Version holding Pages empty pages.
inline std::vector<uint8_t> HandMadeFile(int32_t Version, int32_t W, int32_t H, int32_t Bk, int32_t DPI,
                                         int32_t Pages = 1)
{
    return HandMadeFile(Version, PageRecord(Version, W, H, Bk, DPI), Pages);
}
