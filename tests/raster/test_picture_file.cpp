#include "raster/picture_file.h"

#include "foundation/ini_file.h"
#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "platform/message_box.h"
#include "platform/module_loader.h"
#include "platform/registry_store.h"
#include "platform/test_support.h"
#include "raster/bmp_conv.h"
#include "bmp_conv_test_util.h"
#include "golden_picture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <jpeglib.h>
#include <malloc.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct TBmpSpec {
    uint16_t Bits = 24;
    int32_t Width = 2;
    int32_t Height = 2;
    uint32_t Compression = BI_RGB;
    uint32_t ClrUsed = 0;
    uint32_t InfoSize = 40;
    std::string Table{}; // colour table bytes as stored
    std::string Masks{}; // stored after a 40-byte header, or inside a longer one
    std::string Rows{};  // pixel bytes as stored
    int64_t OffBits = -1; // -1: right after the table
    std::string Signature = "BM";
};

void Put32(std::string& S, size_t At, uint32_t V)
{
    for (int I = 0; I < 4; ++I)
        S[At + I] = static_cast<char>(V >> (8 * I));
}

std::string BuildBmp(const TBmpSpec& B)
{
    std::string Info(std::max<uint32_t>(B.InfoSize, 40), '\0');
    Put32(Info, 0, B.InfoSize);
    Put32(Info, 4, static_cast<uint32_t>(B.Width));
    Put32(Info, 8, static_cast<uint32_t>(B.Height));
    Put32(Info, 12, 1u | uint32_t{B.Bits} << 16); // planes, bit count
    Put32(Info, 16, B.Compression);
    Put32(Info, 20, 12345); // biSizeImage: never trusted
    Put32(Info, 32, B.ClrUsed);
    Info.resize(B.InfoSize);
    std::string Tail = B.Masks;
    if (B.InfoSize >= 52 && !B.Masks.empty()) {
        Info.replace(40, 12, B.Masks);
        Tail.clear();
    }
    Tail += B.Table;
    const size_t Off = B.OffBits >= 0 ? size_t(B.OffBits) : 14 + Info.size() + Tail.size();
    std::string File = B.Signature + std::string(12, '\0') + Info + Tail;
    Put32(File, 10, uint32_t(Off));
    File.resize(Off, '\0');
    File += B.Rows;
    Put32(File, 2, static_cast<uint32_t>(File.size()));
    return File;
}

// Grey-ish table entries i -> (i, i + 1, i + 2, 0).
std::string Table(int Entries)
{
    std::string T;
    for (int I = 0; I < Entries; ++I)
        T += {char(I), char(I + 1), char(I + 2), 0};
    return T;
}

// Stored rows of a W x H picture: byte k of row r is (r * 16 + k + 1) & 0x7F, padding included.
std::string Rows(int32_t W, int32_t H, uint16_t Bits)
{
    const int64_t Line = GetDIBLineSize(W, Bits);
    std::string S;
    for (int32_t R = 0; R < H; ++R)
        for (int64_t K = 0; K < Line; ++K)
            S += static_cast<char>((R * 16 + K + 1) & 0x7F);
    return S;
}

std::string Bytes(const void* P, size_t N) { return std::string(static_cast<const char*>(P), N); }

struct TRegistryReloadAtEnd {
    ~TRegistryReloadAtEnd() { RegistryReload(); }
};

// A private world: data, config and program folders, no system plug-ins.
class PictureFile : public ::testing::Test {
protected:
    TTempDir Tmp;
    TRegistryReloadAtEnd Reload;
    TSavedEnv Data{"XDG_DATA_HOME"}, Config{"XDG_CONFIG_HOME"}, Home{"HOME"};
    std::vector<std::string> Boxes;
    TMessageBoxHandler OldBox;
    std::string Program;
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    std::string InfoText;
    TPictureInfo Info{};

    void SetUp() override
    {
        setenv("XDG_DATA_HOME", (Tmp / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (Tmp / "config").c_str(), 1);
        setenv("HOME", (Tmp / "home").c_str(), 1);
        RegistryReload();
        OldBox = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Boxes.push_back(Text);
            return IDOK;
        });
        Program = Tmp / "program";
        fs::create_directories(Program);
        SetModuleDirectories(Program, Tmp / "nosystem", Tmp / "nowindows");
        InitPictureFile();
    }
    void TearDown() override
    {
        FreeResult();
        SetModuleDirectories("", "", "");
        InitPictureFile();
        SetMessageBoxHandler(OldBox);
    }
    void FreeResult()
    {
        HGLOBAL B = Bits;
        GlobalFreeQ(B);
        GlobalFreeQ(Header);
        Bits = nullptr;
    }
    // Copies a test plug-in into Dir under Name.
    void Install(const std::string& Plugin, const std::string& Dir, const std::string& Name = "")
    {
        fs::create_directories(Dir);
        fs::copy_file(std::string(TAVRO_TEST_SPI_DIR) + "/" + Plugin + ".spi",
                      Dir + "/" + (Name.empty() ? Plugin + ".spi" : Name), fs::copy_options::overwrite_existing);
    }
    int32_t Load(const std::string& Name, int32_t Mode = 0, bool Reduced = false,
                 TSpiProgressCallback Progress = nullptr, intptr_t Data = 0)
    {
        FreeResult();
        return LoadPicture(Name, Header, Bits, Mode, Progress, Data, Reduced, InfoText, Info);
    }
    int32_t LoadBmp(const std::string& Content)
    {
        FreeResult();
        return LoadBmpFile(Write("b.bmp", Content), Header, Bits);
    }
    const BITMAPINFOHEADER* H() const { return static_cast<const BITMAPINFOHEADER*>(Header); }
    std::string Write(const std::string& Name, const std::string& Content)
    {
        Tmp.Put(Name, Content);
        return Tmp / Name;
    }
    std::string Filter()
    {
        std::string F;
        GetPictureFileFilter(F);
        return F;
    }
};

// A TPIX file of the test plug-in: W x H pixels, pixel (x, y) = (r, g, b) =
// (x * 10 + 1, y * 10 + 2, 7), after Preamble bytes.
std::string Tpix(int W, int H, bool Comment, size_t Preamble = 0)
{
    std::string S = std::string(Preamble, 'p') + "TPIX" + std::string{char(W), 0, char(H), 0, char(Comment ? 1 : 0)};
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X)
            S += {char(X * 10 + 1), char(Y * 10 + 2), 7};
    return S;
}

int32_t ProgressCalls = 0;
int32_t CountProgress(int32_t, int32_t, intptr_t Data)
{
    ++ProgressCalls;
    return Data == 99 ? 1 : 0;
}

} // namespace

TEST_F(PictureFile, BmpReadsEveryDepth)
{
    for (uint16_t Depth : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(Depth);
        const TBmpSpec B{.Bits = Depth, .Width = 3, .ClrUsed = Depth == 8 ? 3u : 0u,
                         .Table = Depth > 8 ? "" : Table(Depth == 8 ? 3 : 1 << Depth), .Rows = Rows(3, 2, Depth)};
        FreeResult();
        const size_t Before = GlobalBlockCount();
        ASSERT_EQ(LoadBmp(BuildBmp(B)), lpOK);
        EXPECT_EQ(GlobalBlockCount(), Before + 2);
        EXPECT_EQ(H()->biSize, 40u);
        EXPECT_EQ(BmpShape(H()), (std::vector<int64_t>{3, 2, Depth, int64_t(B.Rows.size()), B.ClrUsed}));
        EXPECT_EQ(GlobalSize(Bits), B.Rows.size());
        EXPECT_EQ(Bytes(Bits, B.Rows.size()), B.Rows);
        // The table is padded with black to 2^bits entries.
        const size_t TableBytes = Depth <= 8 ? 4u << Depth : 0;
        ASSERT_EQ(GlobalSize(Header), 40 + TableBytes);
        EXPECT_EQ(Bytes(static_cast<uint8_t*>(Header) + 40, TableBytes),
                  B.Table + std::string(TableBytes - B.Table.size(), '\0'));
    }
}

TEST_F(PictureFile, BmpTopDownGapsAndBitfields)
{
    const TBmpSpec B{.Bits = 8, .Width = 4, .Height = -3, .Table = Table(256),
                     .Rows = std::string("\x01\x02\x03\x04" "\x11\x12\x13\x14" "\x21\x22\x23\x24", 12),
                     .OffBits = 6000}; // a gap before the pixels is skipped
    ASSERT_EQ(LoadBmp(BuildBmp(B)), lpOK);
    EXPECT_EQ(H()->biHeight, 3);
    EXPECT_EQ(Bytes(Bits, 12), std::string("\x21\x22\x23\x24" "\x11\x12\x13\x14" "\x01\x02\x03\x04", 12));
    EXPECT_EQ(Bytes(static_cast<uint8_t*>(Header) + 40, 1024), B.Table);
    const std::string Masks("\x00\xF8\0\0\xE0\x07\0\0\x1F\0\0\0", 12); // 5-6-5
    for (uint32_t InfoSize : {40u, 108u}) { // masks after or inside the header
        const TBmpSpec F{
            .Bits = 16, .Compression = BI_BITFIELDS, .InfoSize = InfoSize, .Masks = Masks, .Rows = Rows(2, 2, 16)};
        ASSERT_EQ(LoadBmp(BuildBmp(F)), lpOK);
        EXPECT_EQ(std::pair(H()->biSize, H()->biCompression), std::pair(40u, uint32_t(BI_BITFIELDS)));
        ASSERT_EQ(GlobalSize(Header), 52u);
        EXPECT_EQ(Bytes(static_cast<uint8_t*>(Header) + 40, 12), Masks);
        EXPECT_EQ(Bytes(Bits, F.Rows.size()), F.Rows);
    }
}

TEST_F(PictureFile, BmpRefusesBadFilesAndKeepsTheVariables)
{
    const TBmpSpec Good{.Rows = Rows(2, 2, 24)};
    const std::string GoodFile = BuildBmp(Good);
    std::vector<std::pair<std::string, int32_t>> Cases = {
        {GoodFile.substr(0, 13), lpNoFileHeader},
        {GoodFile.substr(0, 30), lpHeaderIncomplete},
        {GoodFile.substr(0, GoodFile.size() - 1), lpBitsIncomplete},
    };
    auto Bad = [&](TBmpSpec B) {
        if (B.Rows.empty())
            B.Rows = Good.Rows;
        Cases.emplace_back(BuildBmp(B), lpBadHeader);
    };
    Bad({.Bits = 0});
    Bad({.Bits = 3});
    Bad({.Bits = 2, .Table = Table(4)});
    Bad({.Bits = 8, .Compression = BI_RLE8, .Table = Table(256)});
    Bad({.Compression = BI_BITFIELDS, .Masks = std::string(12, '\xFF')});
    Bad({.Width = 0});
    Bad({.Width = -2});
    Bad({.Height = 0});
    Bad({.Width = 1 << 15, .Height = (1 << 13) + 1}); // above the pixel cap
    Bad({.Bits = 4, .ClrUsed = 17, .Table = Table(17), .Rows = Rows(2, 2, 4)});
    Bad({.Signature = "BA"}); // OS/2
    Bad({.InfoSize = 12});    // core header
    // The pixel offset cuts the table, lies inside the file or info header, or past the end.
    Bad({.Bits = 8, .Table = Table(256), .Rows = Rows(2, 2, 8), .OffBits = 154});
    Bad({.OffBits = 40});
    Bad({.InfoSize = 108, .OffBits = 14 + 40});
    for (auto [Off, Expected] : {std::pair{size_t(10), lpBadHeader}, {GoodFile.size() + 1, lpHeaderIncomplete}}) {
        std::string Moved = GoodFile;
        Put32(Moved, 10, uint32_t(Off));
        Cases.emplace_back(Moved, Expected);
    }
    for (size_t I = 0; I < Cases.size(); ++I) {
        SCOPED_TRACE(I);
        HGLOBAL HH = reinterpret_cast<HGLOBAL>(0x1234);
        uint8_t* BB = reinterpret_cast<uint8_t*>(0x5678);
        const size_t Before = GlobalBlockCount();
        EXPECT_EQ(LoadBmpFile(Write("bad.bmp", Cases[I].first), HH, BB), Cases[I].second);
        EXPECT_TRUE(HH == reinterpret_cast<HGLOBAL>(0x1234) && BB == reinterpret_cast<uint8_t*>(0x5678));
        EXPECT_EQ(GlobalBlockCount(), Before);
    }
    EXPECT_EQ(LoadBmpFile(Tmp / "missing.bmp", Header, Bits), lpOpenFailed);
}

TEST_F(PictureFile, LoadPictureBuiltInReadersAndInfoRecord)
{
    ASSERT_EQ(Load(Write("Pic.BMP", BuildBmp({.Bits = 8, .Width = 5, .Height = 3, .Table = Table(256),
                                              .Rows = Rows(5, 3, 8)}))),
              lpOK);
    EXPECT_EQ(std::vector<int32_t>({H()->biWidth, Info.left, Info.top, Info.width, Info.height, Info.x_density,
                                    Info.y_density, Info.colorDepth}),
              std::vector<int32_t>({5, 0, 0, 5, 3, 1, 1, 8}));
    EXPECT_TRUE(Info.hInfo == nullptr && InfoText.empty());
    TrecPicture Pic;
    RecPictureCreate(Pic, {}, 7, 4, 24, false);
    std::memset(Pic.pBits, 0x55, size_t(RecPictureGetImageSize(Pic)));
    SavePng(Pic, Tmp / "p.png");
    RecPictureClear(Pic);
    ASSERT_EQ(Load(Tmp / "p.png"), lpOK);
    EXPECT_EQ(std::vector<int32_t>({H()->biWidth, Info.height, Info.colorDepth}), std::vector<int32_t>({7, 4, 24}));
    // Full size, then one eighth for the quick preview; ".rtk" is JPEG too.
    FILE* F = std::fopen((Tmp / "j.jpg").c_str(), "wb");
    ASSERT_NE(F, nullptr);
    jpeg_compress_struct C{};
    jpeg_error_mgr Err{};
    C.err = jpeg_std_error(&Err);
    jpeg_create_compress(&C);
    jpeg_stdio_dest(&C, F);
    C.image_width = 64;
    C.image_height = 40;
    C.input_components = 1;
    C.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&C);
    jpeg_start_compress(&C, TRUE);
    std::vector<JSAMPLE> Row(64, 128);
    for (JSAMPROW R = Row.data(); C.next_scanline < C.image_height;)
        jpeg_write_scanlines(&C, &R, 1);
    jpeg_finish_compress(&C);
    jpeg_destroy_compress(&C);
    std::fclose(F);
    ASSERT_EQ(Load(Tmp / "j.jpg"), lpOK);
    EXPECT_EQ(std::vector<int32_t>({H()->biWidth, H()->biHeight, Info.colorDepth}), std::vector<int32_t>({64, 40, 8}));
    ASSERT_EQ(Load(Tmp / "j.jpg", 0, true), lpOK);
    EXPECT_EQ(std::pair(H()->biWidth, H()->biHeight), std::pair(8, 5));
    fs::copy_file(Tmp / "j.jpg", Tmp / "j.rtk");
    ASSERT_EQ(Load(Tmp / "j.rtk"), lpOK);
    EXPECT_EQ(H()->biWidth, 64);
    // Reader errors, unknown kinds and missing files: -20, variables untouched.
    FreeResult();
    const size_t Before = GlobalBlockCount();
    EXPECT_EQ(Load(Write("broken.png", "\x89PNG\r\n\x1a\nrubbish")), lpNotRead);
    EXPECT_EQ(Load(Write("broken.jpg", "\xFF\xD8\xFF\xE0 rubbish")), lpNotRead);
    EXPECT_EQ(Load(Write("x.tiff", "II*\0")), lpNotRead);
    EXPECT_EQ(Load(Tmp / "none.png"), lpNotRead);
    EXPECT_TRUE(Header == nullptr && Bits == nullptr && Info.width == 0);
    EXPECT_EQ(GlobalBlockCount(), Before);
}

TEST(PictureFileMask, MatchFileMask)
{
    for (auto [Mask, Name] : std::initializer_list<std::pair<const char*, const char*>>{
             {"*.*", "README"}, {"*.jpg", "/home/u/Photo.JPG"}, {"*.", "README"}, {"a?c.txt", "abc.txt"},
             {"ab*", "abcdef.anything"}, {"?.png", "写.png"}, {"写?.png", "写真.png"}, {"*.spi", "/x/y/IFJPEG.SPI"}})
        EXPECT_TRUE(MatchFileMask(Mask, Name)) << Mask << " " << Name;
    // A multi-byte character is one character; only the file name counts.
    for (auto [Mask, Name] : std::initializer_list<std::pair<const char*, const char*>>{
             {"*.jpg", "photo.jpeg"}, {"*.jpg", "photo.jp"}, {"*.pic", "README"}, {"a?c.txt", "ac.txt"},
             {"a?c.txt", "abcd.txt"}, {"写.png", "真.png"}, {"*.b", "/tmp/a.b/file"}})
        EXPECT_FALSE(MatchFileMask(Mask, Name)) << Mask << " " << Name;
}

TEST_F(PictureFile, FilterListsMasksOnceAndGuardsTheInfoBuffer)
{
    EXPECT_EQ(Filter(), "全ての画像|*.bmp;*.png;*.jpeg;*.jpg|ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|PNG(*.png)|*.png|JPEG|*.jpeg;*.jpg");
    Install("good_plugin", Program);
    Install("bad_plugin", Program);
    InitPictureFile();
    const std::string F = Filter();
    // The bad plug-in filled all 260 bytes without a terminator.
    const std::string D(260, 'D');
    EXPECT_EQ(F, "全ての画像|*.bmp;*.png;*.jpeg;*.jpg;*.bad;*.bmp;*.tpx;*.tpix|"
                 "ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|PNG(*.png)|*.png|JPEG|*.jpeg;*.jpg|" +
                     D + "(*.bad)|*.bad|" + D + "(*.bmp)|*.bmp|Test pixels(*.tpx)|*.tpx|Test pixels(*.tpix)|*.tpix");
    // Once per run: a plug-in added now is found after the next start-up.
    Install("no_export", Program);
    EXPECT_EQ(Filter(), F);
    InitPictureFile();
    EXPECT_NE(Filter().find("|Incomplete(*.tpx)|*.tpx"), std::string::npos);
}

TEST_F(PictureFile, GoodPluginReadsPictureInfoAndComment)
{
    Install("good_plugin", Program);
    const std::string F = Write("pic.tpx", Tpix(3, 2, true));
    const size_t Before = GlobalBlockCount();
    ProgressCalls = 0;
    ASSERT_EQ(Load(F, 0, false, CountProgress, 5), lpOK);
    EXPECT_EQ(GlobalBlockCount(), Before + 2);
    EXPECT_EQ(ProgressCalls, 2);
    EXPECT_EQ(H()->biBitCount, 24);
    // Bottom row (y = 1) first, blue-green-red, rows padded to 12 bytes.
    EXPECT_EQ(Bytes(Bits, 24), std::string("\x07\x0C\x01\x07\x0C\x0B\x07\x0C\x15\0\0\0"
                                           "\x07\x02\x01\x07\x02\x0B\x07\x02\x15\0\0\0", 24));
    // x_density 0 from the plug-in becomes 1.
    EXPECT_EQ(std::vector<int32_t>({Info.width, Info.height, Info.x_density, Info.y_density, Info.colorDepth}),
              std::vector<int32_t>({3, 2, 1, 72, 24}));
    EXPECT_EQ(Info.hInfo, nullptr);
    EXPECT_EQ(InfoText, "made by the good plug-in");
    // Both masks lead to the plug-in; the preview is what the quick mode reads.
    ASSERT_EQ(Load(Write("pic.TPIX", Tpix(3, 2, false)), 0, true), lpOK);
    EXPECT_EQ(std::pair(H()->biWidth, H()->biHeight), std::pair(1, 1));
    EXPECT_EQ(Bytes(Bits, 3), std::string("\x07\x02\x01", 3));
    EXPECT_EQ(InfoText, "");
    // A 128-byte preamble: the second attempt at offset 128 reads it.
    ASSERT_EQ(Load(Write("mac.tpx", Tpix(2, 2, false, 128))), lpOK);
    EXPECT_EQ(H()->biWidth, 2);
    EXPECT_EQ(Load(F, 0, false, CountProgress, 99), lpNotRead); // stopped by the progress callback
    EXPECT_EQ(Load(F, 2), lpNotRead);                            // mode 2 never asks a plug-in
    EXPECT_EQ(Load(Write("junk.tpx", "nothing of the kind")), lpNoPictureInfo);
    EXPECT_TRUE(Header == nullptr && InfoText.empty());
    // A plug-in lacking an entry point is skipped, though listed first for *.tpx.
    Install("no_export", Program, "a_incomplete.spi");
    InitPictureFile();
    ASSERT_EQ(Load(F), lpOK);
    EXPECT_EQ(H()->biWidth, 3);
    fs::remove(Program + "/good_plugin.spi");
    InitPictureFile();
    EXPECT_EQ(Load(F), lpNotRead);
}

TEST_F(PictureFile, MisbehavingPluginBlocksAreRefusedAndFreed)
{
    Install("bad_plugin", Program);
    const size_t Before = GlobalBlockCount();
    for (char Mode : {'\x01', '\x02', '\x03', '\x05'}) {
        SCOPED_TRACE(int(Mode));
        EXPECT_EQ(Load(Write("x.bad", std::string("BADP") + Mode)), lpNotRead);
        EXPECT_TRUE(Header == nullptr && Bits == nullptr && Info.width == 0);
        EXPECT_EQ(GlobalBlockCount(), Before);
    }
    EXPECT_EQ(Load(Write("x.bad", "BADP\x06")), lpNoPictureInfo);
    // Each refused call hands over 40 + 16 bytes; kept, they would add up.
    const std::string Refused = Write("r.bad", "BADP\x01");
    Load(Refused);
    const size_t Start = mallinfo2().uordblks;
    for (int I = 0; I < 200; ++I)
        Load(Refused);
    EXPECT_LT(mallinfo2().uordblks, Start + 200 * 24);
    // A sound top-down picture is flipped; the comment without a terminator
    // ends with its block.
    ASSERT_EQ(Load(Write("x.bad", "BADP\x04")), lpOK);
    EXPECT_EQ(H()->biHeight, 2);
    EXPECT_EQ(Bytes(Bits, 16), std::string("\0\0\xFF\xFF\xFF\xFF\0\0\xFF\0\0\0\xFF\0\0\0", 16));
    EXPECT_EQ(InfoText.substr(0, 24), std::string(24, 'X'));
    EXPECT_LE(InfoText.size(), 24u);
    EXPECT_EQ(Info.x_density, 96);
}

TEST_F(PictureFile, PluginModesOrderThePluginsAndTheBuiltInReaders)
{
    Install("bad_plugin", Program); // claims *.bmp
    // Not a BMP: the built-in reader refuses it; mode 0 asks the plug-in
    // afterwards, mode 1 first, mode 2 never.
    const std::string Fake = Write("fake.bmp", "BADP\x04");
    EXPECT_EQ(Load(Fake, 0), lpOK);
    EXPECT_EQ(Load(Fake, 1), lpOK);
    EXPECT_EQ(Load(Fake, 2), lpNoFileHeader);
    // A real BMP: the plug-in does not know it (-11 on the way), the built-in reader does.
    EXPECT_EQ(Load(Write("real.bmp", BuildBmp({.Rows = Rows(2, 2, 24)})), 1), lpOK);
    EXPECT_EQ(H()->biBitCount, 24);
    // Shorter than a file header: -2, then the plug-in is tried and fails.
    const std::string Short = Write("short.bmp", "BM12345");
    EXPECT_EQ(Load(Short, 2), lpNoFileHeader);
    EXPECT_EQ(Load(Short, 0), lpNoPictureInfo);
}

TEST_F(PictureFile, SetSpiFolderWritesTheSettingsFile)
{
    const std::string Ini = Tmp / "data/Zelbar/CommSet.ini";
    auto Stored = [](const std::string& File) { return TMemIniFile(File).ReadString("SPI", "Folder", "?"); };
    EXPECT_EQ(GetSpiFolder(), "");
    SetSpiFolder("/opt/spi/");
    EXPECT_EQ(GetSpiFolder(), "/opt/spi");
    EXPECT_EQ(Stored(Ini), "/opt/spi");
    fs::remove(Ini);
    SetSpiFolder("/opt/spi"); // unchanged: nothing written
    EXPECT_FALSE(fs::exists(Ini));
    // A file that cannot be written: raised, and the folder stays.
    Tmp.Put("afile", "x");
    setenv("XDG_DATA_HOME", (Tmp / "afile").c_str(), 1);
    EXPECT_THROW(SetSpiFolder("/opt/fourth"), EFCreateError);
    EXPECT_EQ(GetSpiFolder(), "/opt/spi");
    // Without a data folder the file lies in the program's folder.
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    std::string P;
    EXPECT_FALSE(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, P));
    SetSpiFolder("/opt/third");
    EXPECT_EQ(Stored(Program + "/CommSet.ini"), "/opt/third");
    // A relative XDG_DATA_HOME is ignored in favour of HOME.
    setenv("XDG_DATA_HOME", "relative", 1);
    setenv("HOME", "/home/someone/", 1);
    ASSERT_TRUE(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, P));
    EXPECT_EQ(P, "/home/someone/.local/share");
    EXPECT_FALSE(GetSpecialFolderPath(26, P));
}

TEST_F(PictureFile, ScanUsesTheConfiguredOrTheRegistryFolder)
{
    const std::string Plugins = Tmp / "plugins", Tpx = "|Test pixels(*.tpx)|*.tpx";
    Install("good_plugin", Plugins);
    fs::create_directories(Tmp / "data/Zelbar");
    Tmp.Put("data/Zelbar/CommSet.ini", "[SPI]\r\nFolder=" + Plugins + "/\r\n");
    InitPictureFile();
    EXPECT_NE(Filter().find(Tpx), std::string::npos);
    EXPECT_EQ(GetSpiFolder(), Plugins);
    // The same folder as the program's: its plug-ins are listed twice.
    SetModuleDirectories(Plugins, Tmp / "nosystem", Tmp / "nowindows");
    InitPictureFile();
    const std::string F = Filter();
    ASSERT_NE(F.find(Tpx), std::string::npos);
    EXPECT_NE(F.find(Tpx, F.find(Tpx) + 1), std::string::npos);
    // The Windows folder is scanned too; a settings file without the key keeps the registry out.
    SetModuleDirectories(Program, Tmp / "nosystem", Plugins);
    Tmp.Put("data/Zelbar/CommSet.ini", "[SPI]\r\n");
    InitPictureFile();
    EXPECT_NE(Filter().find(Tpx), std::string::npos);
    EXPECT_EQ(GetSpiFolder(), "");
    // Without a settings file the registry's folder is taken over and stored.
    SetModuleDirectories(Program, Tmp / "nosystem", Tmp / "nowindows");
    SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\LIB", "SpiDir", Plugins + "/");
    InitPictureFile();
    EXPECT_EQ(Filter().find(Tpx), std::string::npos);
    fs::remove(Tmp / "data/Zelbar/CommSet.ini");
    InitPictureFile();
    EXPECT_NE(Filter().find(Tpx), std::string::npos);
    EXPECT_EQ(GetSpiFolder(), Plugins);
    EXPECT_EQ(TMemIniFile(Tmp / "data/Zelbar/CommSet.ini").ReadString("SPI", "Folder", "?"), Plugins);
    EXPECT_TRUE(Boxes.empty());
}
