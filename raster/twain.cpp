#include "raster/twain.h"

#include "platform/dib.h"
#include "platform/message_box.h"
#include "platform/module_loader.h"
#include "raster/bmp_conv.h"
#include "raster/picture_file.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <exception>
#include <filesystem>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t CallbackEnabled = 0xF0F0F;
constexpr uint32_t IdleWaitMs = 2;

const char ErrorCaption[] = "TWAIN Error";
const char LoadFailedText[] = "Unable to load Source Manager (TWAIN_32.DLL)";
const char OpenFailedText[] = "Unable to open Source Manager (TWAIN_32.DLL)";

TW_IDENTITY MakeAppIdentity()
{
    TW_IDENTITY Id{};
    Id.Id = 0;
    Id.Version.MajorNum = 1;
    Id.Version.MinorNum = 0;
    Id.Version.Language = 13;
    Id.Version.Country = 1;
    std::strcpy(Id.Version.Info, "<?>");
    Id.ProtocolMajor = 1;
    Id.ProtocolMinor = 6;
    Id.SupportedGroups = DG_CONTROL_AND_IMAGE;
    std::strcpy(Id.Manufacturer, "<?>");
    std::strcpy(Id.ProductFamily, "<?>");
    std::strcpy(Id.ProductName, "<?>");
    return Id;
}

int32_t State = 1;
TW_IDENTITY AppId = MakeAppIdentity();
TW_IDENTITY SourceId{};
TW_USERINTERFACE UserInterface{};
TW_EVENT Event{};
uint16_t LastRC = TWRC_SUCCESS;
HMODULE ManagerModule = nullptr;
TDSMEntryProc DSMEntry = nullptr;
int32_t Availability = 0;
bool HideUI = false;
HWND ManagerWindow = nullptr;

HGLOBAL CurrentImage = nullptr;
int32_t ImageCount = 0;
TTwainImageCallback ImageCallback;
uint32_t CallbackEnable = 0;
bool StopAcquire = false;
TTwainError ErrorRecord;

TTwainWindowHost Host;
char ProxyToken;

// ---- window host with its defaults ----------------------------------------

bool HostIsWindow(HWND W)
{
    return Host.IsWindow ? Host.IsWindow(W) : W != nullptr;
}

HWND HostCreateProxy()
{
    return Host.CreateProxyWindow ? Host.CreateProxyWindow() : static_cast<HWND>(&ProxyToken);
}

void HostDestroyWindow(HWND W)
{
    if (Host.DestroyWindow)
        Host.DestroyWindow(W);
}

void HostEnableWindow(HWND W, bool Enable)
{
    if (Host.EnableWindow)
        Host.EnableWindow(W, Enable);
}

bool HostGetMessage(TTwainMessage& Msg)
{
    if (Host.GetMessage)
        return Host.GetMessage(Msg);
    // Without a window system the source runs on its own; poll it gently.
    std::this_thread::sleep_for(std::chrono::milliseconds(IdleWaitMs));
    Msg = TTwainMessage{};
    return true;
}

void HostDispatchMessage(const TTwainMessage& Msg)
{
    if (Host.DispatchMessage)
        Host.DispatchMessage(Msg);
}

// ---- boxes ------------------------------------------------------------------

void ErrorBox(const std::string& Text)
{
    MessageBox(nullptr, Text, ErrorCaption, MB_OK | MB_ICONEXCLAMATION);
}

void AssertionBox()
{
    MessageBox(nullptr, "Assertion failed", "EZTWAIN", MB_OK);
}

// ---- protocol calls -------------------------------------------------------

bool Mgr(uint32_t DG, uint16_t DAT, uint16_t MSG, void* Data)
{
    LastRC = TWRC_FAILURE;
    if (!DSMEntry)
        return false;
    LastRC = DSMEntry(&AppId, nullptr, DG, DAT, MSG, Data);
    return LastRC == TWRC_SUCCESS;
}

bool DS(uint32_t DG, uint16_t DAT, uint16_t MSG, void* Data)
{
    LastRC = TWRC_FAILURE;
    if (State < 4) {
        AssertionBox();
        return false;
    }
    if (!DSMEntry)
        return false;
    LastRC = DSMEntry(&AppId, &SourceId, DG, DAT, MSG, Data);
    return LastRC == TWRC_SUCCESS;
}

uint16_t ConditionCode()
{
    TW_STATUS Status{};
    if (State >= 4) {
        if (!DS(DG_CONTROL, DAT_STATUS, MSG_GET, &Status))
            return 1;
    } else if (State == 3) {
        if (!Mgr(DG_CONTROL, DAT_STATUS, MSG_GET, &Status))
            return 1;
    } else {
        return TWCC_SEQERROR;
    }
    return Status.ConditionCode;
}

void RecordError(int32_t Kind)
{
    if (ErrorRecord.Kind != 0)
        return;
    ErrorRecord.Kind = Kind;
    if (Kind >= 2 && Kind <= 6) {
        ErrorRecord.ReturnCode = LastRC;
        ErrorRecord.ConditionCode = ConditionCode();
    }
}

// ---- protocol steps ---------------------------------------------------------

bool LoadSourceManager()
{
    if (State >= 2)
        return true;
    std::string Path = GetWindowsDirectory();
    if (Path.empty() || Path.back() != '/')
        Path += '/';
    Path += TwainManagerFileName;
    std::error_code Ec;
    if (!std::filesystem::exists(Path, Ec))
        return false;
    ManagerModule = LoadLibrary(Path);
    if (!ManagerModule)
        return false;
    DSMEntry = reinterpret_cast<TDSMEntryProc>(GetProcAddress(ManagerModule, "DSM_Entry"));
    if (!DSMEntry) {
        FreeLibrary(ManagerModule);
        ManagerModule = nullptr;
        return false;
    }
    State = 2;
    Availability = 1;
    return true;
}

bool OpenSourceManager(HWND Window)
{
    if (!LoadSourceManager())
        return false;
    if (State >= 3)
        return true;
    ManagerWindow = Window;
    if (Mgr(DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &ManagerWindow))
        State = 3;
    return State >= 3;
}

bool OpenDefaultSource()
{
    if (State != 3)
        return State >= 4;
    SourceId = TW_IDENTITY{};
    if (Mgr(DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &SourceId))
        State = 4;
    else
        RecordError(4);
    return State == 4;
}

bool EnableSource(HWND Window)
{
    if (State != 4)
        return State >= 5;
    UserInterface.ShowUI = HideUI ? 0 : 1;
    UserInterface.ModalUI = 0;
    UserInterface.hParent = Window;
    DS(DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &UserInterface);
    if (LastRC != TWRC_FAILURE)
        State = 5;
    else
        RecordError(5);
    return State == 5;
}

void DisableSource()
{
    if (State == 5 && DS(DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &UserInterface))
        State = 4;
}

void CloseSource()
{
    DisableSource();
    if (State == 4 && Mgr(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &SourceId))
        State = 3;
}

void CloseSourceManager()
{
    CloseSource();
    if (State == 3 && Mgr(DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &ManagerWindow))
        State = 2;
}

void UnloadSourceManager()
{
    if (State != 2)
        return;
    FreeLibrary(ManagerModule);
    ManagerModule = nullptr;
    DSMEntry = nullptr;
    State = 1;
}

// Ends pending transfers: the current one (state 7) and those waiting
// (state 6).
void EndTransfers()
{
    TW_PENDINGXFERS Pending{};
    if (State == 7 && DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &Pending))
        State = Pending.Count == 0 ? 5 : 6;
    if (State == 6 && DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &Pending))
        State = 5;
}

// Back to state 1 whatever the source or manager refused on the way.
void ShutDownManager()
{
    EndTransfers();
    CloseSourceManager();
    UnloadSourceManager();
    if (State != 1) {
        FreeLibrary(ManagerModule);
        ManagerModule = nullptr;
        DSMEntry = nullptr;
        State = 1;
    }
}

// ---- pixel types ------------------------------------------------------------

uint16_t Get16(const uint8_t* P)
{
    uint16_t V;
    std::memcpy(&V, P, 2);
    return V;
}

uint32_t Get32(const uint8_t* P)
{
    uint32_t V;
    std::memcpy(&V, P, 4);
    return V;
}

void Put32(uint8_t* P, uint32_t V)
{
    std::memcpy(P, &V, 4);
}

bool InMask(uint32_t Mask, uint32_t PixelType)
{
    return PixelType < 32 && (Mask >> PixelType & 1) != 0;
}

// 0 when the container was accepted (and a list sent back), else the error kind.
int32_t FilterPixelTypes(TW_CAPABILITY& Cap, uint32_t Mask)
{
    auto* P = static_cast<uint8_t*>(Cap.hContainer);
    const size_t Size = ForeignBlockSize(P);
    if (Cap.ConType == TWON_ONEVALUE) {
        if (Size < sizeof(TW_ONEVALUE))
            return 9;
        const uint16_t Type = Get16(P);
        if (Type != TWTY_UINT16 && Type != TWTY_INT16)
            return 11;
        return InMask(Mask, Get32(P + 2) & 0xFFFF) ? 0 : 13;
    }
    if (Cap.ConType != TWON_ARRAY && Cap.ConType != TWON_ENUMERATION)
        return 10;
    const bool Enum = Cap.ConType == TWON_ENUMERATION;
    const size_t ListOffset =
        Enum ? offsetof(TW_ENUMERATION, ItemList) : offsetof(TW_ARRAY, ItemList);
    if (Size < ListOffset)
        return 9;
    const uint16_t Type = Get16(P);
    if (Type != TWTY_UINT16 && Type != TWTY_INT16)
        return 11;
    const uint32_t Count = Get32(P + 2);
    if (Count == 0)
        return 12;
    if (ListOffset + uint64_t{Count} * 2 > Size)
        return 9;
    uint8_t* List = P + ListOffset;
    uint32_t Kept = 0;
    for (uint32_t I = 0; I < Count; ++I) {
        const uint16_t Item = Get16(List + I * 2);
        if (InMask(Mask, Item)) {
            std::memcpy(List + Kept * 2, &Item, 2);
            ++Kept;
        }
    }
    if (Kept == 0)
        return 13;
    Put32(P + 2, Kept);
    if (Enum) {
        Put32(P + offsetof(TW_ENUMERATION, CurrentIndex), 0xFFFFFFFF);
        Put32(P + offsetof(TW_ENUMERATION, DefaultIndex), 0xFFFFFFFF);
    }
    if (!DS(DG_CONTROL, DAT_CAPABILITY, MSG_SET, &Cap))
        return 3;
    return 0;
}

bool NegotiatePixelTypes(uint32_t Mask)
{
    if (Mask == 0)
        return true;
    if (State != 4) {
        RecordError(7);
        return false;
    }
    TW_CAPABILITY Cap{ICAP_PIXELTYPE, 0xFFFF, nullptr};
    if (!DS(DG_CONTROL, DAT_CAPABILITY, MSG_GET, &Cap)) {
        RecordError(2);
        return false;
    }
    if (!Cap.hContainer) {
        RecordError(8);
        return false;
    }
    const int32_t Kind = FilterPixelTypes(Cap, Mask);
    ForeignBlockFree(Cap.hContainer);
    if (Kind != 0)
        RecordError(Kind);
    return Kind == 0;
}

// ---- transfers ----------------------------------------------------------------

// The source's packed DIB, checked and copied into one moveable block.
HGLOBAL CopyImage(void* Block)
{
    if (!Block)
        return nullptr;
    const auto* P = static_cast<const uint8_t*>(Block);
    const size_t Size = ForeignBlockSize(Block);
    const int64_t Offset = PackedDIBBitsOffset(P, Size);
    if (Offset < 0)
        return nullptr;
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    const auto HeaderBytes = static_cast<size_t>(Offset);
    if (CopyCheckedDIB(P, HeaderBytes, P + Offset, Size - HeaderBytes, Header, Bits) != lpOK)
        return nullptr;
    const size_t OwnHeaderBytes = GlobalSize(Header);
    const size_t BitsBytes = GlobalSize(Bits);
    HGLOBAL Packed = GlobalAlloc(GMEM_MOVEABLE, OwnHeaderBytes + BitsBytes);
    if (Packed) {
        auto* D = static_cast<uint8_t*>(GlobalLock(Packed));
        std::memcpy(D, Header, OwnHeaderBytes);
        std::memcpy(D + OwnHeaderBytes, Bits, BitsBytes);
        GlobalUnlock(Packed);
    }
    GlobalFree(Header);
    GlobalFree(Bits);
    return Packed;
}

void DropCurrentImage()
{
    if (CurrentImage)
        GlobalFree(CurrentImage);
    CurrentImage = nullptr;
}

void TakeImage(HGLOBAL Image)
{
    // The one before has been offered to the callback; only the last is kept.
    DropCurrentImage();
    CurrentImage = Image;
    ++ImageCount;
    if (CallbackEnable == CallbackEnabled && ImageCallback) {
        try {
            ImageCallback(Image);
        } catch (const std::exception& E) {
            ErrorBox(E.what());
        } catch (...) {
            ErrorBox("TWAIN_ReportLastError: an error occurred");
        }
    }
}

void DoTransfers()
{
    if (State != 6) {
        AssertionBox();
        return;
    }
    while (State == 6) {
        void* Block = nullptr;
        DS(DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &Block);
        if (LastRC == TWRC_XFERDONE) {
            State = 7;
            HGLOBAL Image = CopyImage(Block);
            ForeignBlockFree(Block);
            if (!Image) {
                // A block that is not the picture it claims: the acquisition ends.
                DropCurrentImage();
                RecordError(6);
                StopAcquire = true;
                return;
            }
            TakeImage(Image);
        } else if (LastRC == TWRC_CANCEL) {
            State = 7;
            DropCurrentImage();
        } else {
            // Asking again would get the same answer for ever.
            DropCurrentImage();
            RecordError(6);
            StopAcquire = true;
            return;
        }
        TW_PENDINGXFERS Pending{};
        if (!DS(DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &Pending)) {
            StopAcquire = true;
            return;
        }
        State = Pending.Count == 0 ? 5 : 6;
        if (State == 6 && ImageCount >= TwainMaxImages)
            EndTransfers();
    }
}

// True when the source claimed the message.
bool OfferMessage(TTwainMessage& Msg)
{
    if (State < 5)
        return false;
    Event.pEvent = &Msg;
    Event.TWMessage = MSG_NULL;
    DS(DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &Event);
    const bool Claimed = LastRC == TWRC_DSEVENT;
    switch (Event.TWMessage) {
    case MSG_XFERREADY:
        State = 6;
        DoTransfers();
        break;
    case MSG_CLOSEDSREQ:
        DisableSource();
        break;
    default:
        break;
    }
    return Claimed;
}

// ---- drawing --------------------------------------------------------------------

// One row of the picture as 24-bit pixels.
void RowTo24(const std::vector<uint8_t>& RowHeader, const uint8_t* Src, uint8_t* Dst)
{
    const auto* H = reinterpret_cast<const BITMAPINFOHEADER*>(RowHeader.data());
    switch (H->biBitCount) {
    case 1:
        BmpConv1to24(H, Src, Dst);
        break;
    case 4:
        BmpConv4to24(H, Src, Dst);
        break;
    case 8:
        BmpConv8to24(H, Src, Dst);
        break;
    case 16:
        BmpConv16to24(H, Src, Dst);
        break;
    case 32:
        BmpConv32to24(H, Src, Dst);
        break;
    default:
        std::memcpy(Dst, Src, static_cast<size_t>(H->biWidth) * 3);
        break;
    }
}

void DrawPackedDIB(TDeviceContext& DC, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                   const uint8_t* P, size_t Size, int32_t XSrc, int32_t YSrc)
{
    const int64_t Offset = PackedDIBBitsOffset(P, Size);
    if (Offset < 0 || Width <= 0 || Height <= 0)
        return;
    BITMAPINFOHEADER Info;
    ReadBitmapInfoHeader(P, Info);
    const bool TopDown = Info.biHeight < 0;
    const int64_t Rows = TopDown ? -int64_t{Info.biHeight} : int64_t{Info.biHeight};
    const int64_t Stride = GetDIBLineSize(Info.biWidth, Info.biBitCount);
    if (Offset + Stride * Rows > static_cast<int64_t>(Size))
        return;

    // A one-row header with the whole table or the masks, for the converters.
    const bool Fields = Info.biCompression == BI_BITFIELDS;
    const size_t TableAt = Info.biSize + (Fields && Info.biSize < 52 ? 12 : 0);
    const size_t MasksAt = Info.biSize >= 52 ? 40 : Info.biSize;
    size_t Tail = 0;
    if (Info.biBitCount <= 8)
        Tail = (size_t{1} << Info.biBitCount) * 4;
    else if (Fields)
        Tail = 12;
    std::vector<uint8_t> RowHeader(sizeof(BITMAPINFOHEADER) + Tail, 0);
    BITMAPINFOHEADER One = Info;
    One.biSize = sizeof(BITMAPINFOHEADER);
    One.biHeight = 1;
    One.biSizeImage = 0;
    WriteBitmapInfoHeader(One, RowHeader.data());
    if (Info.biBitCount <= 8) {
        const size_t Stored = std::min<size_t>(Tail, static_cast<size_t>(Offset) - TableAt);
        std::memcpy(RowHeader.data() + 40, P + TableAt, Stored);
    } else if (Fields) {
        std::memcpy(RowHeader.data() + 40, P + MasksAt, 12);
    }

    const int64_t X0 = std::max<int64_t>(XSrc, 0);
    const int64_t X1 = std::min<int64_t>(int64_t{XSrc} + Width, Info.biWidth);
    if (X0 >= X1)
        return;
    std::vector<uint8_t> Row(static_cast<size_t>(GetDIBLineSize(Info.biWidth, 24)));
    for (int64_t J = 0; J < Height; ++J) {
        const int64_t Up = int64_t{YSrc} + Height - 1 - J; // counted from the bottom row
        if (Up < 0 || Up >= Rows)
            continue;
        const int64_t MemoryRow = TopDown ? Rows - 1 - Up : Up;
        RowTo24(RowHeader, P + Offset + MemoryRow * Stride, Row.data());
        DC.BitBlt(static_cast<int32_t>(X + (X0 - XSrc)), static_cast<int32_t>(Y + J),
                  static_cast<int32_t>(X1 - X0), Row.data() + X0 * 3, SRCCOPY);
    }
}

} // namespace

TTwainWindowHost TWAIN_SetWindowHost(TTwainWindowHost NewHost)
{
    TTwainWindowHost Old = std::move(Host);
    Host = std::move(NewHost);
    return Old;
}

bool TWAIN_SelectImageSource(HWND Window)
{
    HWND W = Window;
    bool Proxy = false;
    if (W && !HostIsWindow(W)) {
        ErrorBox("TWAIN_SelectImageSource: window handle is invalid");
        return false;
    }
    if (!W) {
        W = HostCreateProxy();
        if (!W) {
            ErrorBox("TWAIN_SelectImageSource: Unable to create proxy window");
            return false;
        }
        Proxy = true;
    }
    bool Selected = false;
    if (!LoadSourceManager()) {
        ErrorBox(LoadFailedText);
    } else if (!OpenSourceManager(W)) {
        ErrorBox(OpenFailedText);
    } else {
        TW_IDENTITY Id{};
        Selected = Mgr(DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &Id);
    }
    ShutDownManager();
    if (Proxy)
        HostDestroyWindow(W);
    return Selected;
}

HGLOBAL TWAIN_AcquireImage(HWND Window, uint32_t PixelTypeMask)
{
    CurrentImage = nullptr;
    ImageCount = 0;
    ErrorRecord = TTwainError{};
    StopAcquire = false;

    HWND W = Window;
    bool Proxy = false;
    if (!W || !HostIsWindow(W)) {
        W = HostCreateProxy();
        if (!W) {
            ErrorBox("Unable to create proxy window");
            return nullptr;
        }
        Proxy = true;
    }
    if (!LoadSourceManager()) {
        ErrorBox(LoadFailedText);
    } else if (!OpenSourceManager(W)) {
        ErrorBox(OpenFailedText);
    } else if (!OpenDefaultSource() || !NegotiatePixelTypes(PixelTypeMask) ||
               !EnableSource(W)) {
        TWAIN_ReportLastError("");
    } else {
        HostEnableWindow(W, false);
        TTwainMessage Msg;
        while (State >= 5 && !CurrentImage && !StopAcquire) {
            if (!HostGetMessage(Msg))
                break;
            if (!OfferMessage(Msg))
                HostDispatchMessage(Msg);
        }
        HostEnableWindow(W, true);
        if (ErrorRecord.Kind != 0)
            TWAIN_ReportLastError("");
    }
    ShutDownManager();
    if (Proxy)
        HostDestroyWindow(W);
    HGLOBAL Result = CurrentImage;
    CurrentImage = nullptr;
    return Result;
}

void TWAIN_FreeImage(HGLOBAL Image)
{
    if (Image)
        GlobalFree(Image);
}

void TWAIN_DrawImageToDC(TDeviceContext& DC, int32_t X, int32_t Y, int32_t Width, int32_t Height,
                         HGLOBAL Image, int32_t XSrc, int32_t YSrc)
{
    if (!Image)
        return;
    const size_t Size = GlobalSize(Image);
    const auto* P = static_cast<const uint8_t*>(GlobalLock(Image));
    if (!P)
        return;
    try {
        DrawPackedDIB(DC, X, Y, Width, Height, P, Size, XSrc, YSrc);
    } catch (const std::exception&) {
        // A picture the converters refuse draws nothing.
    }
    GlobalUnlock(Image);
}

void TWAIN_ReportLastError(const std::string& Message)
{
    ErrorBox("TWAIN_ReportLastError: an error occurred");
}

int32_t TWAIN_State()
{
    return State;
}

bool TWAIN_IsAvailable()
{
    if (Availability == 0) {
        if (State >= 2) {
            Availability = 1;
        } else if (LoadSourceManager()) {
            UnloadSourceManager();
        } else {
            Availability = -1;
        }
    }
    return Availability > 0;
}

int32_t TWAIN_EasyVersion()
{
    return 106;
}

bool TWAIN_GetHideUI()
{
    return HideUI;
}

void TWAIN_SetHideUI(bool Hide)
{
    HideUI = Hide;
}

void TWAIN_SetImageCallback(TTwainImageCallback Callback)
{
    ImageCallback = std::move(Callback);
    CallbackEnable = ImageCallback ? CallbackEnabled : 0;
}

TTwainError TWAIN_LastError()
{
    return ErrorRecord;
}
