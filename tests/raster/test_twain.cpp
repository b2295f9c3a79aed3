#include "raster/twain.h"

#include "platform/device_context.h"
#include "platform/dib.h"
#include "platform/message_box.h"
#include "platform/module_loader.h"
#include "platform/test_support.h"
#include "raster/plugins/fake_dsm.h"

#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <string>
#include <vector>

namespace {

struct TCall {
    int ToSource;
    uint32_t DG;
    uint16_t DAT;
    uint16_t MSG;
    bool operator==(const TCall&) const = default;
};

std::ostream& operator<<(std::ostream& O, const TCall& C)
{
    return O << (C.ToSource ? "source " : "manager ") << C.DG << "/" << C.DAT << "/" << C.MSG;
}

struct TBox {
    std::string Text;
    std::string Caption;
    uint32_t Flags;
};

// The fake source manager, kept loaded by the test so that its settings and
// log outlive the module's loading and unloading.
class Twain : public ::testing::Test {
protected:
    void* Fake = nullptr;
    FakeDsmResetProc Reset = nullptr;
    FakeDsmCallCountProc CallCount = nullptr;
    FakeDsmCallProc Call = nullptr;
    FakeDsmSetPixelTypesProc SetPixelTypes = nullptr;
    FakeDsmWindowsProc Windows = nullptr;
    std::vector<TBox> Boxes;
    TMessageBoxHandler OldHandler;
    size_t BlocksBefore = 0;

    void SetUp() override
    {
        Fake = dlopen(TAVRO_TEST_TWAIN_DIR "/libtwaindsm.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(Fake, nullptr) << dlerror();
        Reset = reinterpret_cast<FakeDsmResetProc>(dlsym(Fake, "FakeDsmReset"));
        CallCount = reinterpret_cast<FakeDsmCallCountProc>(dlsym(Fake, "FakeDsmCallCount"));
        Call = reinterpret_cast<FakeDsmCallProc>(dlsym(Fake, "FakeDsmCall"));
        SetPixelTypes = reinterpret_cast<FakeDsmSetPixelTypesProc>(dlsym(Fake, "FakeDsmSetPixelTypes"));
        Windows = reinterpret_cast<FakeDsmWindowsProc>(dlsym(Fake, "FakeDsmWindows"));
        ASSERT_TRUE(Reset && CallCount && Call && SetPixelTypes && Windows);
        Reset(0, FAKE_NORMAL);
        SetModuleDirectories("", "", TAVRO_TEST_TWAIN_DIR);
        OldHandler = SetMessageBoxHandler(
            [this](void*, const std::string& Text, const std::string& Caption, uint32_t Flags) {
                Boxes.push_back({Text, Caption, Flags});
                return IDOK;
            });
        BlocksBefore = GlobalBlockCount();
    }
    void TearDown() override
    {
        SetMessageBoxHandler(OldHandler);
        TWAIN_SetImageCallback({});
        TWAIN_SetWindowHost({});
        SetModuleDirectories("", "", "");
        EXPECT_EQ(TWAIN_State(), 1);
        if (Fake)
            dlclose(Fake);
    }
    std::vector<TCall> Log() const
    {
        std::vector<TCall> L;
        for (int I = 0; I < CallCount() && I < 10000; ++I) {
            TCall C{};
            Call(I, &C.ToSource, &C.DG, &C.DAT, &C.MSG);
            L.push_back(C);
        }
        return L;
    }
    int Count(const TCall& C) const
    {
        int N = 0;
        for (const TCall& L : Log())
            N += L == C;
        return N;
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> T;
        for (const TBox& B : Boxes)
            T.push_back(B.Text);
        return T;
    }
};

const TCall OpenDSM{0, DG_CONTROL, DAT_PARENT, MSG_OPENDSM};
const TCall CloseDSM{0, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM};
const TCall OpenDS{0, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS};
const TCall CloseDS{0, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS};
const TCall UserSelect{0, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT};
const TCall EnableDS{1, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS};
const TCall DisableDS{1, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS};
const TCall ProcessEvent{1, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT};
const TCall NativeXfer{1, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET};
const TCall EndXfer{1, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER};
const TCall ResetXfers{1, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET};
const TCall SourceStatus{1, DG_CONTROL, DAT_STATUS, MSG_GET};
const TCall ManagerStatus{0, DG_CONTROL, DAT_STATUS, MSG_GET};
const TCall GetCap{1, DG_CONTROL, DAT_CAPABILITY, MSG_GET};
const TCall SetCap{1, DG_CONTROL, DAT_CAPABILITY, MSG_SET};

// The left pixel of fake image k as blue, green, red.
std::string FakePixel(int K)
{
    return std::string{static_cast<char>(K & 0xFF), static_cast<char>(K >> 8), '\x5A'};
}

std::string LeftPixel(HGLOBAL Image)
{
    const auto* P = static_cast<const uint8_t*>(GlobalLock(Image));
    std::string S(reinterpret_cast<const char*>(P) + 40, 3);
    GlobalUnlock(Image);
    return S;
}

} // namespace

TEST(TwainRecords, FakeManagerAgreesOnTheLayout)
{
    void* Fake = dlopen(TAVRO_TEST_TWAIN_DIR "/libtwaindsm.so", RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(Fake, nullptr);
    auto Layout = reinterpret_cast<FakeDsmLayoutProc>(dlsym(Fake, "FakeDsmLayout"));
    ASSERT_NE(Layout, nullptr);
    int Sizes[5] = {};
    Layout(Sizes);
    EXPECT_EQ(Sizes[0], int(sizeof(TW_IDENTITY)));
    EXPECT_EQ(Sizes[1], int(sizeof(TW_USERINTERFACE)));
    EXPECT_EQ(Sizes[2], int(sizeof(TW_EVENT)));
    EXPECT_EQ(Sizes[3], int(sizeof(TW_PENDINGXFERS)));
    EXPECT_EQ(Sizes[4], int(sizeof(TW_CAPABILITY)));
    dlclose(Fake);
}

TEST_F(Twain, WithoutSourceManagerBothEntryPointsSaySo)
{
    TTempDir Empty;
    SetModuleDirectories("", "", Empty.Dir);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 0), nullptr);
    EXPECT_FALSE(TWAIN_SelectImageSource(nullptr));
    ASSERT_EQ(Boxes.size(), 2u);
    for (const TBox& B : Boxes) {
        EXPECT_EQ(B.Text, "Unable to load Source Manager (TWAIN_32.DLL)");
        EXPECT_EQ(B.Caption, "TWAIN Error");
        EXPECT_EQ(B.Flags & MB_ICONMASK, MB_ICONEXCLAMATION);
    }
    EXPECT_EQ(CallCount(), 0);
    EXPECT_EQ(TWAIN_State(), 1);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
}

TEST_F(Twain, AcquiresOneImageThroughTheWholeProtocol)
{
    Reset(1, FAKE_NORMAL);
    HGLOBAL Image = TWAIN_AcquireImage(nullptr, 0);
    ASSERT_NE(Image, nullptr);
    EXPECT_EQ(TWAIN_State(), 1);
    EXPECT_TRUE(Boxes.empty());
    const std::vector<TCall> Expected = {OpenDSM,      OpenDS,     EnableDS,  ProcessEvent, NativeXfer,
                                         EndXfer,      DisableDS,  CloseDS,   CloseDSM};
    EXPECT_EQ(Log(), Expected);
    // The packed DIB: header, then the rows (one row of 2 pixels, 8 bytes).
    ASSERT_EQ(GlobalSize(Image), 48u);
    BITMAPINFOHEADER Info;
    ReadBitmapInfoHeader(static_cast<const uint8_t*>(GlobalLock(Image)), Info);
    GlobalUnlock(Image);
    EXPECT_EQ(Info.biWidth, 2);
    EXPECT_EQ(Info.biHeight, 1);
    EXPECT_EQ(Info.biBitCount, 24);
    EXPECT_EQ(LeftPixel(Image), FakePixel(1));
    // A proxy stood in for the missing window.
    void* Parent = nullptr;
    void* UIParent = nullptr;
    Windows(&Parent, &UIParent);
    EXPECT_NE(Parent, nullptr);
    EXPECT_EQ(UIParent, Parent);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore + 1);
    TWAIN_FreeImage(Image);
    TWAIN_FreeImage(nullptr);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
}

TEST_F(Twain, TwoImagesReturnTheSecondAndFreeTheFirst)
{
    Reset(2, FAKE_NORMAL);
    std::vector<std::string> Seen;
    TWAIN_SetImageCallback([&](HGLOBAL Image) { Seen.push_back(LeftPixel(Image)); });
    HGLOBAL Image = TWAIN_AcquireImage(nullptr, 0);
    ASSERT_NE(Image, nullptr);
    EXPECT_EQ(LeftPixel(Image), FakePixel(2));
    EXPECT_EQ(Seen, (std::vector<std::string>{FakePixel(1), FakePixel(2)}));
    EXPECT_EQ(Count(NativeXfer), 2);
    EXPECT_EQ(Count(EndXfer), 2);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore + 1);
    TWAIN_FreeImage(Image);
}

TEST_F(Twain, CancellingReturnsNothing)
{
    // The user closes the source's dialog.
    Reset(1, FAKE_USER_CLOSES);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 0), nullptr);
    EXPECT_EQ(Count(NativeXfer), 0);
    EXPECT_EQ(Count(DisableDS), 1);
    // The transfer is cancelled; the source then asks to be closed.
    Reset(1, FAKE_XFER_CANCEL);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 0), nullptr);
    EXPECT_EQ(Count(NativeXfer), 1);
    EXPECT_EQ(Count(EndXfer), 1);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(TWAIN_LastError().Kind, 0);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
}

TEST_F(Twain, FailedTransferEndsTheAcquisition)
{
    Reset(1, FAKE_XFER_FAILS);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 0), nullptr);
    EXPECT_EQ(Count(NativeXfer), 1);
    EXPECT_EQ(Count(ResetXfers), 1);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"TWAIN_ReportLastError: an error occurred"});
    const TTwainError E = TWAIN_LastError();
    EXPECT_EQ(E.Kind, 6);
    EXPECT_EQ(E.ReturnCode, TWRC_FAILURE);
    EXPECT_EQ(E.ConditionCode, 9);

    // An image block shorter than its header states is refused the same way.
    Boxes.clear();
    Reset(2, FAKE_SHORT_IMAGE);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 0), nullptr);
    EXPECT_EQ(Count(NativeXfer), 1);
    EXPECT_EQ(TWAIN_LastError().Kind, 6);
    EXPECT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
}

TEST_F(Twain, AtMost999ImagesPerAcquisition)
{
    Reset(1, FAKE_ENDLESS);
    int Calls = 0;
    TWAIN_SetImageCallback([&](HGLOBAL) { ++Calls; });
    HGLOBAL Image = TWAIN_AcquireImage(nullptr, 0);
    ASSERT_NE(Image, nullptr);
    EXPECT_EQ(Calls, TwainMaxImages);
    EXPECT_EQ(LeftPixel(Image), FakePixel(999));
    EXPECT_EQ(Count(ResetXfers), 1);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore + 1);
    TWAIN_FreeImage(Image);
}

TEST_F(Twain, PixelTypeNegotiation)
{
    uint16_t Items[16];
    Reset(1, FAKE_NORMAL);
    HGLOBAL Image = TWAIN_AcquireImage(nullptr, 1u << 0 | 1u << 2);
    ASSERT_NE(Image, nullptr);
    TWAIN_FreeImage(Image);
    // The enumeration comes back with the admitted types and no index set.
    ASSERT_EQ(SetPixelTypes(Items, 16), 2);
    EXPECT_EQ(Items[0], 0);
    EXPECT_EQ(Items[1], 2);
    EXPECT_EQ(Log()[2], GetCap);
    EXPECT_EQ(Log()[3], SetCap);

    // Nothing left: no call to set, the source is not enabled.
    Reset(1, FAKE_NORMAL);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 1u << 5), nullptr);
    EXPECT_EQ(TWAIN_LastError().Kind, 13);
    EXPECT_EQ(Count(SetCap), 0);
    EXPECT_EQ(Count(EnableDS), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"TWAIN_ReportLastError: an error occurred"});

    // One value: accepted when admitted, else refused.
    Reset(1, FAKE_ONEVALUE);
    Image = TWAIN_AcquireImage(nullptr, 1u << 2);
    ASSERT_NE(Image, nullptr);
    TWAIN_FreeImage(Image);
    EXPECT_EQ(Count(SetCap), 0);
    Reset(1, FAKE_ONEVALUE);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 1u << 1), nullptr);
    EXPECT_EQ(TWAIN_LastError().Kind, 13);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
}

TEST_F(Twain, SourceFailuresAreRecordedWithTheirCodes)
{
    Reset(1, FAKE_NO_SOURCE);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 0), nullptr);
    TTwainError E = TWAIN_LastError();
    EXPECT_EQ(E.Kind, 4);
    EXPECT_EQ(E.ReturnCode, TWRC_FAILURE);
    EXPECT_EQ(E.ConditionCode, 9);
    EXPECT_EQ(Count(ManagerStatus), 1); // state 3: the manager is asked
    EXPECT_EQ(Count(EnableDS), 0);

    Reset(1, FAKE_ENABLE_FAILS);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 0), nullptr);
    E = TWAIN_LastError();
    EXPECT_EQ(E.Kind, 5);
    EXPECT_EQ(Count(SourceStatus), 1);
    EXPECT_EQ(Count(CloseDS), 1);
    EXPECT_EQ(Count(CloseDSM), 1);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"TWAIN_ReportLastError: an error occurred",
                                                    "TWAIN_ReportLastError: an error occurred"}));
}

TEST_F(Twain, SelectingASource)
{
    Reset(0, FAKE_NORMAL);
    EXPECT_TRUE(TWAIN_SelectImageSource(nullptr));
    EXPECT_EQ(Log(), (std::vector<TCall>{OpenDSM, UserSelect, CloseDSM}));
    Reset(0, FAKE_SELECT_CANCEL);
    EXPECT_FALSE(TWAIN_SelectImageSource(nullptr));
    EXPECT_TRUE(Boxes.empty());

    // Windows the host does not know, and proxies it cannot make.
    int Window = 0;
    TTwainWindowHost Host;
    Host.IsWindow = [&](HWND W) { return W == &Window; };
    Host.CreateProxyWindow = []() -> HWND { return nullptr; };
    TWAIN_SetWindowHost(Host);
    Reset(1, FAKE_NORMAL);
    int Other = 0;
    EXPECT_FALSE(TWAIN_SelectImageSource(&Other));
    EXPECT_FALSE(TWAIN_SelectImageSource(nullptr));
    EXPECT_EQ(TWAIN_AcquireImage(&Other, 0), nullptr);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{"TWAIN_SelectImageSource: window handle is invalid",
                                                    "TWAIN_SelectImageSource: Unable to create proxy window",
                                                    "Unable to create proxy window"}));
    EXPECT_EQ(CallCount(), 0);
    EXPECT_TRUE(TWAIN_SelectImageSource(&Window));
}

TEST_F(Twain, MessageLoopUsesTheWindowHost)
{
    int Window = 0;
    std::vector<std::string> Events;
    int Dispatched = 0;
    int Messages = 0;
    TTwainWindowHost Host;
    Host.IsWindow = [&](HWND W) { return W == &Window; };
    Host.CreateProxyWindow = [&]() -> HWND {
        Events.push_back("proxy");
        return nullptr;
    };
    Host.EnableWindow = [&](HWND W, bool On) {
        EXPECT_EQ(W, &Window);
        Events.push_back(On ? "enable" : "disable");
    };
    // Three ordinary messages, then the application quits.
    Host.GetMessage = [&](TTwainMessage& M) {
        M = TTwainMessage{&Window, 0x200, 0, 0};
        return ++Messages <= 3;
    };
    Host.DispatchMessage = [&](const TTwainMessage& M) {
        EXPECT_EQ(M.message, 0x200u);
        ++Dispatched;
    };
    TWAIN_SetWindowHost(Host);
    Reset(0, FAKE_NORMAL); // a source with nothing to send
    EXPECT_EQ(TWAIN_AcquireImage(&Window, 0), nullptr);
    EXPECT_EQ(Dispatched, 3);
    EXPECT_EQ(Count(ProcessEvent), 3);
    EXPECT_EQ(Events, (std::vector<std::string>{"disable", "enable"}));
    void* Parent = nullptr;
    void* UIParent = nullptr;
    Windows(&Parent, &UIParent);
    EXPECT_EQ(Parent, &Window);
    EXPECT_EQ(UIParent, &Window);
}

TEST_F(Twain, DrawsImagesAtTheSameSize)
{
    Reset(1, FAKE_NORMAL);
    HGLOBAL Image = TWAIN_AcquireImage(nullptr, 0);
    ASSERT_NE(Image, nullptr);
    TMemoryDC DC(4, 3);
    TWAIN_DrawImageToDC(DC, 1, 1, 2, 1, Image, 0, 0);
    EXPECT_EQ(DC.Pixel(1, 1), 0x5A0001u);
    EXPECT_EQ(DC.Pixel(2, 1), 0x030201u);
    EXPECT_EQ(DC.Pixel(0, 1), 0u);
    EXPECT_EQ(DC.Pixel(3, 1), 0u);
    TWAIN_FreeImage(Image);

    // An 8-bit 2 x 2 picture: bottom row indices 1, 2, top row 3, 4; entry
    // i is red 16 i. Source y counts from the bottom row.
    HGLOBAL P = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 1024 + 8);
    auto* B = static_cast<uint8_t*>(GlobalLock(P));
    BITMAPINFOHEADER H{40, 2, 2, 1, 8, BI_RGB, 8, 0, 0, 0, 0};
    WriteBitmapInfoHeader(H, B);
    for (int I = 0; I < 256; ++I)
        B[40 + I * 4 + 2] = static_cast<uint8_t>(I * 16);
    const uint8_t Rows[8] = {1, 2, 0, 0, 3, 4, 0, 0};
    std::memcpy(B + 1064, Rows, 8);
    GlobalUnlock(P);
    TMemoryDC Whole(2, 2);
    TWAIN_DrawImageToDC(Whole, 0, 0, 2, 2, P, 0, 0);
    EXPECT_EQ(Whole.Pixel(0, 0), 0x300000u);
    EXPECT_EQ(Whole.Pixel(1, 0), 0x400000u);
    EXPECT_EQ(Whole.Pixel(0, 1), 0x100000u);
    EXPECT_EQ(Whole.Pixel(1, 1), 0x200000u);
    TMemoryDC Part(2, 2);
    TWAIN_DrawImageToDC(Part, 0, 1, 1, 1, P, 1, 1); // the top right pixel
    EXPECT_EQ(Part.Pixel(0, 1), 0x400000u);
    EXPECT_EQ(Part.Pixel(0, 0), 0u);
    // Rectangles reaching past the picture draw only what is there.
    TMemoryDC Past(3, 3);
    TWAIN_DrawImageToDC(Past, 0, 0, 3, 3, P, -1, 0);
    EXPECT_EQ(Past.Pixel(1, 1), 0x300000u);
    EXPECT_EQ(Past.Pixel(2, 2), 0x200000u);
    EXPECT_EQ(Past.Pixel(0, 2), 0u);
    // A block too short for its rows draws nothing.
    HGLOBAL Short = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 40 + 1024 + 4);
    std::memcpy(GlobalLock(Short), GlobalLock(P), 40 + 1024 + 4);
    GlobalUnlock(Short);
    GlobalUnlock(P);
    TMemoryDC None(2, 2);
    TWAIN_DrawImageToDC(None, 0, 0, 2, 2, Short, 0, 0);
    EXPECT_EQ(None.BlitCount(), 0);
    GlobalFree(Short);
    GlobalFree(P);
}
