#include "raster/twain.h"

#include "platform/device_context.h"
#include "platform/dib.h"
#include "platform/message_box.h"
#include "platform/module_loader.h"
#include "platform/test_support.h"
#include "raster/plugins/fake_dsm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <tuple>
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

const std::string ErrorBox = "TWAIN_ReportLastError: an error occurred";

std::tuple<int32_t, uint16_t, uint16_t> LastError()
{
    const TTwainError E = TWAIN_LastError();
    return {E.Kind, E.ReturnCode, E.ConditionCode};
}

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
    std::vector<std::string> Boxes;
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
        OldHandler = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string& Caption,
                                                 uint32_t Flags) {
            // Every box is the exclamation box of the TWAIN error caption.
            EXPECT_EQ(Caption, "TWAIN Error");
            EXPECT_EQ(Flags & MB_ICONMASK, MB_ICONEXCLAMATION);
            Boxes.push_back(Text);
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
    HGLOBAL Acquire(int Images, int Mode, uint32_t Types = 0)
    {
        Reset(Images, Mode);
        return TWAIN_AcquireImage(nullptr, Types);
    }
    std::vector<TCall> Log() const
    {
        std::vector<TCall> L(static_cast<size_t>(std::min(CallCount(), 10000)));
        for (size_t I = 0; I < L.size(); ++I)
            Call(int(I), &L[I].ToSource, &L[I].DG, &L[I].DAT, &L[I].MSG);
        return L;
    }
    long Count(const TCall& C) const
    {
        const std::vector<TCall> L = Log();
        return std::count(L.begin(), L.end(), C);
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
std::string FakePixel(int K) { return std::string{static_cast<char>(K & 0xFF), static_cast<char>(K >> 8), '\x5A'}; }

std::string LeftPixel(HGLOBAL Image)
{
    std::string S(static_cast<const char*>(GlobalLock(Image)) + 40, 3);
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
    std::vector<int> Sizes(5);
    Layout(Sizes.data());
    EXPECT_EQ(Sizes, (std::vector<int>{int(sizeof(TW_IDENTITY)), int(sizeof(TW_USERINTERFACE)), int(sizeof(TW_EVENT)),
                                       int(sizeof(TW_PENDINGXFERS)), int(sizeof(TW_CAPABILITY))}));
    dlclose(Fake);
}

TEST_F(Twain, WithoutSourceManagerBothEntryPointsSaySo)
{
    TTempDir Empty;
    SetModuleDirectories("", "", Empty.Dir);
    EXPECT_EQ(TWAIN_AcquireImage(nullptr, 0), nullptr);
    EXPECT_FALSE(TWAIN_SelectImageSource(nullptr));
    EXPECT_EQ(Boxes, std::vector<std::string>(2, "Unable to load Source Manager (TWAIN_32.DLL)"));
    EXPECT_EQ(CallCount(), 0);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
}

TEST_F(Twain, AcquiresOneImageThroughTheWholeProtocol)
{
    HGLOBAL Image = Acquire(1, FAKE_NORMAL);
    ASSERT_NE(Image, nullptr);
    EXPECT_EQ(TWAIN_State(), 1);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(Log(), (std::vector<TCall>{OpenDSM, OpenDS, EnableDS, ProcessEvent, NativeXfer, EndXfer, DisableDS,
                                         CloseDS, CloseDSM}));
    // The packed DIB: header, then the rows (one row of 2 pixels, 8 bytes).
    ASSERT_EQ(GlobalSize(Image), 48u);
    BITMAPINFOHEADER Info;
    ReadBitmapInfoHeader(static_cast<const uint8_t*>(GlobalLock(Image)), Info);
    GlobalUnlock(Image);
    EXPECT_EQ(std::tuple(Info.biWidth, Info.biHeight, Info.biBitCount), std::tuple(2, 1, uint16_t(24)));
    EXPECT_EQ(LeftPixel(Image), FakePixel(1));
    // A proxy stood in for the missing window.
    void *Parent = nullptr, *UIParent = nullptr;
    Windows(&Parent, &UIParent);
    EXPECT_NE(Parent, nullptr);
    EXPECT_EQ(UIParent, Parent);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore + 1);
    TWAIN_FreeImage(Image);
    TWAIN_FreeImage(nullptr);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
}

TEST_F(Twain, SeveralImagesReturnTheLastAndAtMost999)
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
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore + 1); // the first was freed
    TWAIN_FreeImage(Image);
    Reset(1, FAKE_ENDLESS);
    Seen.clear();
    Image = TWAIN_AcquireImage(nullptr, 0);
    ASSERT_NE(Image, nullptr);
    EXPECT_EQ(Seen.size(), size_t(TwainMaxImages));
    EXPECT_EQ(LeftPixel(Image), FakePixel(999));
    EXPECT_EQ(Count(ResetXfers), 1);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore + 1);
    TWAIN_FreeImage(Image);
}

TEST_F(Twain, CancelsAndFailuresReturnNothing)
{
    EXPECT_EQ(Acquire(1, FAKE_USER_CLOSES), nullptr); // the user closes the source's dialog
    EXPECT_EQ(Count(NativeXfer), 0);
    EXPECT_EQ(Count(DisableDS), 1);
    EXPECT_EQ(Acquire(1, FAKE_XFER_CANCEL), nullptr); // the transfer is cancelled; the source then asks to be closed
    EXPECT_EQ(Count(NativeXfer), 1);
    EXPECT_EQ(Count(EndXfer), 1);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_EQ(TWAIN_LastError().Kind, 0);
    EXPECT_EQ(Acquire(1, FAKE_XFER_FAILS), nullptr);
    EXPECT_EQ(Count(NativeXfer), 1);
    EXPECT_EQ(Count(ResetXfers), 1);
    EXPECT_EQ(Boxes, std::vector<std::string>{ErrorBox});
    EXPECT_EQ(LastError(), std::make_tuple(6, TWRC_FAILURE, 9));
    // An image block shorter than its header states is refused the same way.
    EXPECT_EQ(Acquire(2, FAKE_SHORT_IMAGE), nullptr);
    EXPECT_EQ(Count(NativeXfer), 1);
    EXPECT_EQ(TWAIN_LastError().Kind, 6);
    EXPECT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Acquire(1, FAKE_NO_SOURCE), nullptr);
    EXPECT_EQ(LastError(), std::make_tuple(4, TWRC_FAILURE, 9));
    EXPECT_EQ(Count(ManagerStatus), 1); // state 3: the manager is asked
    EXPECT_EQ(Count(EnableDS), 0);
    EXPECT_EQ(Acquire(1, FAKE_ENABLE_FAILS), nullptr);
    EXPECT_EQ(TWAIN_LastError().Kind, 5);
    EXPECT_EQ(Count(SourceStatus), 1);
    EXPECT_EQ(Count(CloseDS), 1);
    EXPECT_EQ(Count(CloseDSM), 1);
    EXPECT_EQ(Boxes, std::vector<std::string>(4, ErrorBox));
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
}

TEST_F(Twain, PixelTypeNegotiation)
{
    uint16_t Items[16];
    HGLOBAL Image = Acquire(1, FAKE_NORMAL, 1u << 0 | 1u << 2);
    ASSERT_NE(Image, nullptr);
    TWAIN_FreeImage(Image);
    // The enumeration comes back with the admitted types and no index set.
    ASSERT_EQ(SetPixelTypes(Items, 16), 2);
    EXPECT_EQ(std::pair(Items[0], Items[1]), (std::pair<uint16_t, uint16_t>(0, 2)));
    EXPECT_EQ(std::pair(Log()[2], Log()[3]), std::pair(GetCap, SetCap));
    // Nothing left: no call to set, the source is not enabled.
    EXPECT_EQ(Acquire(1, FAKE_NORMAL, 1u << 5), nullptr);
    EXPECT_EQ(TWAIN_LastError().Kind, 13);
    EXPECT_EQ(Count(SetCap), 0);
    EXPECT_EQ(Count(EnableDS), 0);
    EXPECT_EQ(Boxes, std::vector<std::string>{ErrorBox});
    // One value: accepted when admitted, else refused.
    Image = Acquire(1, FAKE_ONEVALUE, 1u << 2);
    ASSERT_NE(Image, nullptr);
    TWAIN_FreeImage(Image);
    EXPECT_EQ(Count(SetCap), 0);
    EXPECT_EQ(Acquire(1, FAKE_ONEVALUE, 1u << 1), nullptr);
    EXPECT_EQ(TWAIN_LastError().Kind, 13);
    EXPECT_EQ(GlobalBlockCount(), BlocksBefore);
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
    int Window = 0, Other = 0;
    TTwainWindowHost Host;
    Host.IsWindow = [&](HWND W) { return W == &Window; };
    Host.CreateProxyWindow = []() -> HWND { return nullptr; };
    TWAIN_SetWindowHost(Host);
    Reset(1, FAKE_NORMAL);
    EXPECT_FALSE(TWAIN_SelectImageSource(&Other));
    EXPECT_FALSE(TWAIN_SelectImageSource(nullptr));
    EXPECT_EQ(TWAIN_AcquireImage(&Other, 0), nullptr);
    EXPECT_EQ(Boxes, (std::vector<std::string>{"TWAIN_SelectImageSource: window handle is invalid",
                                               "TWAIN_SelectImageSource: Unable to create proxy window",
                                               "Unable to create proxy window"}));
    EXPECT_EQ(CallCount(), 0);
    EXPECT_TRUE(TWAIN_SelectImageSource(&Window));
}

TEST_F(Twain, MessageLoopUsesTheWindowHost)
{
    int Window = 0, Dispatched = 0, Messages = 0;
    std::vector<std::string> Events;
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
    void *Parent = nullptr, *UIParent = nullptr;
    Windows(&Parent, &UIParent);
    EXPECT_EQ(std::pair(Parent, UIParent), (std::pair<void*, void*>(&Window, &Window)));
}

TEST_F(Twain, DrawsImagesAtTheSameSize)
{
    HGLOBAL Image = Acquire(1, FAKE_NORMAL);
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
    uint8_t B[40 + 1024 + 8] = {};
    WriteBitmapInfoHeader(BITMAPINFOHEADER{40, 2, 2, 1, 8, BI_RGB, 8, 0, 0, 0, 0}, B);
    for (int I = 0; I < 256; ++I)
        B[40 + I * 4 + 2] = static_cast<uint8_t>(I * 16);
    const uint8_t Rows[8] = {1, 2, 0, 0, 3, 4, 0, 0};
    std::memcpy(B + 1064, Rows, 8);
    auto Block = [&](size_t Size) {
        HGLOBAL H = GlobalAlloc(GMEM_MOVEABLE, Size);
        std::memcpy(GlobalLock(H), B, Size);
        GlobalUnlock(H);
        return H;
    };
    HGLOBAL P = Block(sizeof B);
    auto Draw = [&](TMemoryDC& To, int32_t X, int32_t Y, int32_t W, int32_t H, HGLOBAL Img, int32_t XS, int32_t YS) {
        TWAIN_DrawImageToDC(To, X, Y, W, H, Img, XS, YS);
        std::vector<uint32_t> Px;
        for (int32_t J = 0; J < To.Height(); ++J)
            for (int32_t I = 0; I < To.Width(); ++I)
                Px.push_back(To.Pixel(I, J) >> 20);
        return Px;
    };
    TMemoryDC Whole(2, 2), Part(2, 2), Past(3, 3), None(2, 2);
    EXPECT_EQ(Draw(Whole, 0, 0, 2, 2, P, 0, 0), (std::vector<uint32_t>{3, 4, 1, 2}));
    EXPECT_EQ(Draw(Part, 0, 1, 1, 1, P, 1, 1), (std::vector<uint32_t>{0, 0, 4, 0})); // the top right pixel
    // Rectangles reaching past the picture draw only what is there.
    EXPECT_EQ(Draw(Past, 0, 0, 3, 3, P, -1, 0), (std::vector<uint32_t>{0, 0, 0, 0, 3, 4, 0, 1, 2}));
    // A block too short for its rows draws nothing.
    HGLOBAL Short = Block(sizeof B - 4);
    Draw(None, 0, 0, 2, 2, Short, 0, 0);
    EXPECT_EQ(None.BlitCount(), 0);
    GlobalFree(Short);
    GlobalFree(P);
}
