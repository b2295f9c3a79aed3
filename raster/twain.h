// Scanner and camera input through a TWAIN data source manager: choosing a
// source and acquiring images by native transfer, each image a packed DIB
// (header, colour table or masks, bottom-up rows) in one global memory block.
//
// The source manager is a shared object, "libtwaindsm.so" in the Windows
// folder of platform/module_loader.h ("/usr/local/lib"), opened at run time
// and reached only through its entry DSM_Entry. Blocks the source hands over
// (images, capability containers) are malloc'ed by it; the module checks
// each image against the sizes its header states, copies it into global
// memory and frees the source's block.
//
// Windows are opaque handles served by a window host that the user interface
// installs (tests install fakes); without one, every non-null handle counts
// as a window and the message loop only feeds idle messages to the source.
// Everything runs on the user-interface thread; all state is the module's.
#pragma once

#include "platform/device_context.h"
#include "platform/global_memory.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// ---- the TWAIN protocol's records and codes (2-byte packing) --------------

#pragma pack(push, 2)
using TW_STR32 = char[34];

struct TW_VERSION {
    uint16_t MajorNum;
    uint16_t MinorNum;
    uint16_t Language;
    uint16_t Country;
    TW_STR32 Info;
};

struct TW_IDENTITY {
    uint32_t Id;
    TW_VERSION Version;
    uint16_t ProtocolMajor;
    uint16_t ProtocolMinor;
    uint32_t SupportedGroups;
    TW_STR32 Manufacturer;
    TW_STR32 ProductFamily;
    TW_STR32 ProductName;
};

struct TW_USERINTERFACE {
    uint16_t ShowUI;
    uint16_t ModalUI;
    void* hParent;
};

struct TW_EVENT {
    void* pEvent;
    uint16_t TWMessage;
};

struct TW_PENDINGXFERS {
    uint16_t Count;
    uint32_t Reserved;
};

struct TW_STATUS {
    uint16_t ConditionCode;
    uint16_t Reserved;
};

struct TW_CAPABILITY {
    uint16_t Cap;
    uint16_t ConType;
    void* hContainer;
};

struct TW_ONEVALUE {
    uint16_t ItemType;
    uint32_t Item;
};

struct TW_ARRAY {
    uint16_t ItemType;
    uint32_t NumItems;
    uint8_t ItemList[1];
};

struct TW_ENUMERATION {
    uint16_t ItemType;
    uint32_t NumItems;
    uint32_t CurrentIndex;
    uint32_t DefaultIndex;
    uint8_t ItemList[1];
};
#pragma pack(pop)

static_assert(sizeof(TW_IDENTITY) == 156);
static_assert(offsetof(TW_ARRAY, ItemList) == 6);
static_assert(offsetof(TW_ENUMERATION, ItemList) == 14);

// Destination nullptr addresses the manager.
extern "C" {
using TDSMEntryProc = uint16_t (*)(TW_IDENTITY* Origin, TW_IDENTITY* Dest, uint32_t DG,
                                   uint16_t DAT, uint16_t MSG, void* Data);
}

constexpr uint32_t DG_CONTROL = 0x0001;
constexpr uint32_t DG_IMAGE = 0x0002;

constexpr uint16_t DAT_CAPABILITY = 0x0001;
constexpr uint16_t DAT_EVENT = 0x0002;
constexpr uint16_t DAT_IDENTITY = 0x0003;
constexpr uint16_t DAT_PARENT = 0x0004;
constexpr uint16_t DAT_PENDINGXFERS = 0x0005;
constexpr uint16_t DAT_STATUS = 0x0008;
constexpr uint16_t DAT_USERINTERFACE = 0x0009;
constexpr uint16_t DAT_IMAGENATIVEXFER = 0x0104;

constexpr uint16_t MSG_NULL = 0x0000;
constexpr uint16_t MSG_GET = 0x0001;
constexpr uint16_t MSG_SET = 0x0006;
constexpr uint16_t MSG_RESET = 0x0007;
constexpr uint16_t MSG_XFERREADY = 0x0101;
constexpr uint16_t MSG_CLOSEDSREQ = 0x0102;
constexpr uint16_t MSG_OPENDSM = 0x0301;
constexpr uint16_t MSG_CLOSEDSM = 0x0302;
constexpr uint16_t MSG_OPENDS = 0x0401;
constexpr uint16_t MSG_CLOSEDS = 0x0402;
constexpr uint16_t MSG_USERSELECT = 0x0403;
constexpr uint16_t MSG_DISABLEDS = 0x0501;
constexpr uint16_t MSG_ENABLEDS = 0x0502;
constexpr uint16_t MSG_PROCESSEVENT = 0x0601;
constexpr uint16_t MSG_ENDXFER = 0x0701;

constexpr uint16_t TWRC_SUCCESS = 0;
constexpr uint16_t TWRC_FAILURE = 1;
constexpr uint16_t TWRC_CHECKSTATUS = 2;
constexpr uint16_t TWRC_CANCEL = 3;
constexpr uint16_t TWRC_DSEVENT = 4;
constexpr uint16_t TWRC_NOTDSEVENT = 5;
constexpr uint16_t TWRC_XFERDONE = 6;

constexpr uint16_t TWCC_SEQERROR = 11;

constexpr uint16_t ICAP_PIXELTYPE = 0x0101;
constexpr uint16_t TWON_ARRAY = 3;
constexpr uint16_t TWON_ENUMERATION = 4;
constexpr uint16_t TWON_ONEVALUE = 5;
constexpr uint16_t TWTY_INT16 = 1;
constexpr uint16_t TWTY_UINT16 = 4;

constexpr uint16_t DG_CONTROL_AND_IMAGE = 3;

// The source manager's file and the name the messages give it.
constexpr char TwainManagerFileName[] = "libtwaindsm.so";

// ---- windows ------------------------------------------------------------------

using HWND = void*;

// A window message as the source sees it through DAT_EVENT.
struct TTwainMessage {
    HWND hwnd = nullptr;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// The window services acquisition needs. Members left empty fall back to
// the defaults above (any non-null handle is a window; a proxy is a private
// token; enabling and destroying do nothing; GetMessage waits a little and
// returns an idle message; DispatchMessage does nothing).
struct TTwainWindowHost {
    std::function<bool(HWND)> IsWindow;
    // A hidden window of class "STATIC" titled "Acquire Proxy"; nullptr on failure.
    std::function<HWND()> CreateProxyWindow;
    std::function<void(HWND)> DestroyWindow;
    std::function<void(HWND, bool)> EnableWindow;
    // The next message; false at WM_QUIT.
    std::function<bool(TTwainMessage&)> GetMessage;
    // Translates and dispatches a message the source did not claim.
    std::function<void(const TTwainMessage&)> DispatchMessage;
};
// Installs Host and returns the one it replaces.
TTwainWindowHost TWAIN_SetWindowHost(TTwainWindowHost Host);

// ---- the entry points ---------------------------------------------------------

// Shows the manager's source-selection dialog; true when a source was chosen.
// Window 0 makes a proxy window for the time of the call.
bool TWAIN_SelectImageSource(HWND Window);

// Acquires from the default source; returns the packed DIB (a global memory
// handle the caller owns and frees with TWAIN_FreeImage) of the last image
// transferred, or nullptr. PixelTypeMask: bit n admits TWAIN pixel type n;
// 0 admits any. Images transferred before the last are freed once the next
// has arrived; at most TwainMaxImages are taken per acquisition, further
// pending transfers are dropped. A failed transfer ends the acquisition.
HGLOBAL TWAIN_AcquireImage(HWND Window, uint32_t PixelTypeMask);
constexpr int32_t TwainMaxImages = 999;

// Frees an image of TWAIN_AcquireImage (nothing for nullptr).
void TWAIN_FreeImage(HGLOBAL Image);

// Draws the Width x Height rectangle at (XSrc, YSrc) of the image (origin at
// the picture's lower left, as bottom-up rows are stored) at the same size to
// (X, Y) of DC with SRCCOPY. Parts outside the picture are not drawn; a
// block that is not a sound packed DIB draws nothing.
void TWAIN_DrawImageToDC(TDeviceContext& DC, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                         HGLOBAL Image, int32_t XSrc, int32_t YSrc);

// The error box: "TWAIN_ReportLastError: an error occurred", whatever Message.
void TWAIN_ReportLastError(const std::string& Message);

// ---- state queries and settings -------------------------------------------

// Protocol state: 1 manager not loaded, 2 loaded, 3 open, 4 source open,
// 5 source enabled, 6 transfer ready, 7 transferring.
int32_t TWAIN_State();
// True when the source manager can be loaded (tested once, then cached).
bool TWAIN_IsAvailable();
int32_t TWAIN_EasyVersion(); // 106
bool TWAIN_GetHideUI();
void TWAIN_SetHideUI(bool Hide);

// Called with every image as it arrives; the handle stays the module's (it
// is valid until the next image arrives, or is the one returned). An empty
// function turns the calls off.
using TTwainImageCallback = std::function<void(HGLOBAL Image)>;
void TWAIN_SetImageCallback(TTwainImageCallback Callback);

// The first error of the latest acquisition. Kinds: 0 none, 2 capability
// get failed, 3 capability set failed, 4 no source opened, 5 source not
// enabled, 6 transfer failed or image refused, 7 wrong state, 8 no
// container, 9 container unusable, 10 other container type, 11 other item
// type, 12 empty list, 13 no pixel type left.
struct TTwainError {
    int32_t Kind = 0;
    uint16_t ReturnCode = 0;
    uint16_t ConditionCode = 0;
};
TTwainError TWAIN_LastError();
