// Picture files: LoadPicture reads BMP, PNG and JPEG with the built-in
// readers and every other kind through image plug-ins, builds the open
// dialog's filter and keeps the plug-in folder in the shared settings file.
//
// Image plug-ins are shared objects named *.spi exporting, with C linkage,
// GetPluginInfo, GetPictureInfo, GetPicture and GetPreview (signatures
// below). Texts are UTF-8, file names are passed as they are. The blocks a
// plug-in returns (header, bits, comment text) are allocated with malloc and
// become the program's: it checks them against the sizes their headers
// state, copies them into global memory and frees them.
//
// Plug-ins are looked for in the program's folder, the configured folder,
// then the system folder and the Windows folder of platform/module_loader.h.
// The configured folder lives in "$XDG_DATA_HOME/Zelbar/CommSet.ini"
// (section "SPI", key "Folder"); the registry value "SpiDir" under
// "SOFTWARE\ZELBAR\LIB" is taken over when that file does not exist.
#pragma once

#include "platform/dib.h"
#include "platform/global_memory.h"

#include <cstddef>
#include <cstdint>
#include <string>

// The picture information record a plug-in fills. hInfo may receive a
// malloc'ed, zero-terminated comment text.
struct TPictureInfo {
    int32_t left;
    int32_t top;
    int32_t width;
    int32_t height;
    uint16_t x_density;
    uint16_t y_density;
    int16_t colorDepth;
    HGLOBAL hInfo;
};
static_assert(offsetof(TPictureInfo, x_density) == 16);
static_assert(offsetof(TPictureInfo, colorDepth) == 20);
static_assert(offsetof(TPictureInfo, hInfo) == 24);

// Non-zero stops the plug-in's decoding.
using TSpiProgressCallback = int32_t (*)(int32_t Num, int32_t Denom, intptr_t Data);

// Plug-in entry points. Flag 0: Name is a file and Offset the position of
// the picture in it. 0 is success.
extern "C" {
using TSpiGetPluginInfo = int32_t (*)(int32_t InfoNo, char* Buffer, int32_t BufferLength);
using TSpiGetPictureInfo = int32_t (*)(const char* Name, intptr_t Offset, uint32_t Flag,
                                       TPictureInfo* Info);
using TSpiGetPicture = int32_t (*)(const char* Name, intptr_t Offset, uint32_t Flag,
                                   HGLOBAL* Header, HGLOBAL* Bits, TSpiProgressCallback Progress,
                                   intptr_t Data);
}

// Results of LoadPicture and LoadBmpFile.
constexpr int32_t lpOK = 0;
constexpr int32_t lpOpenFailed = -1;       // the file cannot be opened
constexpr int32_t lpNoFileHeader = -2;     // fewer than 14 bytes
constexpr int32_t lpHeaderIncomplete = -3; // the header and colour table are not all there
constexpr int32_t lpBadHeader = -4;        // not a BMP, or a header this reader refuses
constexpr int32_t lpBitsIncomplete = -5;   // the pixel rows are not all there
constexpr int32_t lpOutOfMemory = -6;
constexpr int32_t lpNoPictureInfo = -11;   // a matching plug-in could not read the information
constexpr int32_t lpNotRead = -20;         // nothing could read the file

// Reads FileName into Header and Bits (new fixed global blocks: a 40-byte
// header with the colour table padded to 2^bits entries or the three
// BITFIELDS masks, and bottom-up rows), and fills InfoText (a plug-in's
// comment) and Info. The old values of Header and Bits are not freed; on
// failure they are left as they were, InfoText is empty and Info zeroed.
// PluginMode 0 tries the plug-ins after the built-in readers, 1 before
// them, any other value never. Reduced asks for a quick small picture
// (JPEG at 1/8, a plug-in's preview). Never raises.
// Only regular files are read: anything else that exists (a folder, a pipe,
// a device) is lpOpenFailed before it is opened.
int32_t LoadPicture(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits,
                    int32_t PluginMode, TSpiProgressCallback Progress, intptr_t CallbackData,
                    bool Reduced, std::string& InfoText, TPictureInfo& Info);
// The same; on failure Reason says why for the user: FileName + " を開けません。"
// when it is missing or cannot be opened, the refusing reader's own message, or
// "画像ファイルの読み込みに失敗しました。".
int32_t LoadPicture(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits,
                    int32_t PluginMode, TSpiProgressCallback Progress, intptr_t CallbackData,
                    bool Reduced, std::string& InfoText, TPictureInfo& Info,
                    std::string& Reason);

// The built-in BMP reader: one of the results above (0, -1 to -6). Accepts
// BI_RGB pictures of 1, 4, 8, 16, 24 and 32 bits and BI_BITFIELDS of 16 and
// 32 bits, bottom-up or top-down (flipped), with an info header of 40 bytes
// or more and at most MaxPicturePixels pixels; run-length compression is
// refused.
int32_t LoadBmpFile(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits);

// Checks a DIB given as its header block (info header, then masks or colour
// table; HeaderBytes long) and its pixel rows (BitsBytes long), and copies it
// into new fixed blocks in the form LoadPicture gives. Returns 0,
// lpBadHeader, lpBitsIncomplete or lpOutOfMemory; Header and Bits are only
// set on success.
int32_t CopyCheckedDIB(const uint8_t* HeaderBlock, size_t HeaderBytes, const uint8_t* BitsBlock,
                       size_t BitsBytes, HGLOBAL& Header, uint8_t*& Bits);
// Where the rows of the packed DIB at Block (Bytes long) start: the bytes of
// its header, masks and colour table. -1 when the header is refused or the
// block is too short for them.
int64_t PackedDIBBitsOffset(const uint8_t* Block, size_t Bytes);

// The open dialog's filter for pictures, with every plug-in's masks.
void GetPictureFileFilter(std::string& Filter);

// The plug-in folder (no trailing "/"), empty until configured.
std::string GetSpiFolder();
// Removes one trailing "/"; a folder that differs from the current one is
// written to the settings file at once (its folder made when missing) and
// kept. Raises EFCreateError when the file cannot be written, keeping the
// old folder. Plug-ins in a new folder are found at the next run.
void SetSpiFolder(const std::string& Folder);

// True when FileName (its part after the last "/") matches Mask: base and
// extension separately, "*" matching the rest, "?" one character, letters
// compared without ASCII case.
bool MatchFileMask(const std::string& Mask, const std::string& FileName);

// Special folders: CSIDL_LOCAL_APPDATA is "$XDG_DATA_HOME" (when absolute),
// else "$HOME/.local/share". False for others or when no folder is known.
constexpr int32_t CSIDL_LOCAL_APPDATA = 28;
bool GetSpecialFolderPath(int32_t CSIDL, std::string& Path);

// Start-up: empties the plug-in lists and the folder; the next LoadPicture
// or GetPictureFileFilter scans the plug-in folders again. Shutdown frees
// the lists.
void InitPictureFile();
void FinalizePictureFile();
