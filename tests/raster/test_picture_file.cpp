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

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <jpeglib.h>
#include <malloc.h>
#include <png.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// ---- BMP files made here ------------------------------------------------------

struct TBmpSpec {
    uint16_t Bits = 24;
    int32_t Width = 2;
    int32_t Height = 2;
    uint32_t Compression = BI_RGB;
    uint32_t ClrUsed = 0;
    uint32_t InfoSize = 40;
    std::vector<uint8_t> Table; // colour table bytes as stored
    std::vector<uint8_t> Masks; // stored after a 40-byte header, or inside a longer one
    std::string Rows;           // pixel bytes as stored
    int64_t OffBits = -1;       // -1: right after the table
    std::string Signature = "BM";
};

void Put16(std::string& S, size_t At, uint16_t V)
{
    S[At] = static_cast<char>(V);
    S[At + 1] = static_cast<char>(V >> 8);
}

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
    Put16(Info, 12, 1);
    Put16(Info, 14, B.Bits);
    Put32(Info, 16, B.Compression);
    Put32(Info, 20, 12345); // biSizeImage: never trusted
    Put32(Info, 32, B.ClrUsed);
    Info.resize(B.InfoSize);
    std::string Tail;
    if (B.InfoSize >= 52 && !B.Masks.empty())
        std::memcpy(Info.data() + 40, B.Masks.data(), 12);
    else
        Tail.assign(B.Masks.begin(), B.Masks.end());
    Tail.append(B.Table.begin(), B.Table.end());
    const uint32_t Off = B.OffBits >= 0 ? static_cast<uint32_t>(B.OffBits)
                                        : static_cast<uint32_t>(14 + Info.size() + Tail.size());
    std::string File(14, '\0');
    File[0] = B.Signature[0];
    File[1] = B.Signature[1];
    Put32(File, 10, Off);
    File += Info + Tail;
    if (File.size() < Off)
        File.resize(Off, '\0');
    File.resize(Off);
    File += B.Rows;
    Put32(File, 2, static_cast<uint32_t>(File.size()));
    return File;
}

// Grey-ish table entries i -> (i, i + 1, i + 2, 0).
std::vector<uint8_t> Table(int Entries)
{
    std::vector<uint8_t> T;
    for (int I = 0; I < Entries; ++I) {
        T.push_back(static_cast<uint8_t>(I));
        T.push_back(static_cast<uint8_t>(I + 1));
        T.push_back(static_cast<uint8_t>(I + 2));
        T.push_back(0);
    }
    return T;
}

// Stored rows of a W x H picture: byte k of row r is r * 16 + k + 1 (0x80
// at most), padding included.
std::string Rows(int32_t W, int32_t H, uint16_t Bits)
{
    const int64_t Line = GetDIBLineSize(W, Bits);
    std::string S;
    for (int32_t R = 0; R < H; ++R)
        for (int64_t K = 0; K < Line; ++K)
            S += static_cast<char>((R * 16 + K + 1) & 0x7F);
    return S;
}

std::string Bytes(const void* P, size_t N)
{
    return std::string(static_cast<const char*>(P), N);
}

struct TBoxLog {
    std::vector<std::string> Texts;
    TMessageBoxHandler Old;
    TBoxLog()
    {
        Old = SetMessageBoxHandler([this](void*, const std::string& Text, const std::string&, uint32_t) {
            Texts.push_back(Text);
            return IDOK;
        });
    }
    ~TBoxLog() { SetMessageBoxHandler(Old); }
};

// A private world: data, config and program folders, no system plug-ins.
struct TRegistryReloadAtEnd {
    ~TRegistryReloadAtEnd() { RegistryReload(); }
};

class PictureFile : public ::testing::Test {
protected:
    TTempDir Tmp;
    TRegistryReloadAtEnd Reload;
    TSavedEnv Data{"XDG_DATA_HOME"}, Config{"XDG_CONFIG_HOME"}, Home{"HOME"};
    TBoxLog Boxes;
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
    }
    void FreeResult()
    {
        if (Header)
            GlobalFree(Header);
        if (Bits)
            GlobalFree(Bits);
        Header = nullptr;
        Bits = nullptr;
    }
    // Copies a test plug-in into Dir under Name.
    void Install(const std::string& Plugin, const std::string& Dir, const std::string& Name = "")
    {
        fs::create_directories(Dir);
        fs::copy_file(std::string(TAVRO_TEST_SPI_DIR) + "/" + Plugin + ".spi",
                      Dir + "/" + (Name.empty() ? Plugin + ".spi" : Name),
                      fs::copy_options::overwrite_existing);
    }
    int32_t Load(const std::string& Name, int32_t Mode = 0, bool Reduced = false,
                 TSpiProgressCallback Progress = nullptr, intptr_t Data = 0)
    {
        FreeResult();
        return LoadPicture(Name, Header, Bits, Mode, Progress, Data, Reduced, InfoText, Info);
    }
    const BITMAPINFOHEADER* H() const { return static_cast<const BITMAPINFOHEADER*>(Header); }
    std::string Write(const std::string& Name, const std::string& Content)
    {
        Tmp.Put(Name, Content);
        return Tmp / Name;
    }
};

// A TPIX file of the test plug-in: W x H pixels, pixel (x, y) = (r, g, b) =
// (x * 10 + 1, y * 10 + 2, 7), after Preamble bytes.
std::string Tpix(int W, int H, bool Comment, size_t Preamble = 0)
{
    std::string S(Preamble, 'p');
    S += "TPIX";
    S += static_cast<char>(W);
    S += '\0';
    S += static_cast<char>(H);
    S += '\0';
    S += static_cast<char>(Comment ? 1 : 0);
    for (int Y = 0; Y < H; ++Y)
        for (int X = 0; X < W; ++X) {
            S += static_cast<char>(X * 10 + 1);
            S += static_cast<char>(Y * 10 + 2);
            S += static_cast<char>(7);
        }
    return S;
}

int32_t ProgressCalls = 0;
int32_t CountProgress(int32_t, int32_t, intptr_t Data)
{
    ++ProgressCalls;
    return Data == 99 ? 1 : 0;
}

} // namespace

// ---- the BMP reader -------------------------------------------------------------

TEST_F(PictureFile, BmpReadsEveryDepth)
{
    for (uint16_t Depth : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(Depth);
        TBmpSpec B;
        B.Bits = Depth;
        B.Width = 3;
        B.Height = 2;
        B.Rows = Rows(3, 2, Depth);
        if (Depth <= 8) {
            B.ClrUsed = Depth == 8 ? 3 : 0;
            B.Table = Table(Depth == 8 ? 3 : 1 << Depth);
        }
        const std::string F = Write("d.bmp", BuildBmp(B));
        const size_t Before = GlobalBlockCount();
        ASSERT_EQ(LoadBmpFile(F, Header, Bits), lpOK);
        EXPECT_EQ(GlobalBlockCount(), Before + 2);
        EXPECT_EQ(H()->biSize, 40u);
        EXPECT_EQ(H()->biWidth, 3);
        EXPECT_EQ(H()->biHeight, 2);
        EXPECT_EQ(H()->biBitCount, Depth);
        EXPECT_EQ(H()->biSizeImage, B.Rows.size());
        EXPECT_EQ(Bytes(Bits, B.Rows.size()), B.Rows);
        EXPECT_EQ(GlobalSize(Bits), B.Rows.size());
        if (Depth <= 8) {
            // The table is padded with black to 2^bits entries; biClrUsed stays.
            const size_t Entries = size_t{1} << Depth;
            ASSERT_EQ(GlobalSize(Header), 40 + 4 * Entries);
            EXPECT_EQ(H()->biClrUsed, B.ClrUsed);
            const auto* T = static_cast<const uint8_t*>(Header) + 40;
            EXPECT_EQ(Bytes(T, B.Table.size()), Bytes(B.Table.data(), B.Table.size()));
            EXPECT_EQ(std::string(4 * Entries - B.Table.size(), '\0'),
                      Bytes(T + B.Table.size(), 4 * Entries - B.Table.size()));
        } else {
            EXPECT_EQ(GlobalSize(Header), 40u);
        }
        FreeResult();
    }
}

TEST_F(PictureFile, BmpTopDownRowsAreFlipped)
{
    TBmpSpec B;
    B.Bits = 8;
    B.Width = 4;
    B.Height = -3;
    B.Table = Table(256);
    B.Rows = std::string("\x01\x02\x03\x04" "\x11\x12\x13\x14" "\x21\x22\x23\x24", 12);
    ASSERT_EQ(LoadBmpFile(Write("t.bmp", BuildBmp(B)), Header, Bits), lpOK);
    EXPECT_EQ(H()->biHeight, 3);
    EXPECT_EQ(Bytes(Bits, 12), std::string("\x21\x22\x23\x24" "\x11\x12\x13\x14" "\x01\x02\x03\x04", 12));
}

TEST_F(PictureFile, BmpSkipsAGapBeforeThePixels)
{
    TBmpSpec B;
    B.Bits = 4;
    B.Table = Table(16);
    B.Rows = Rows(2, 2, 4);
    B.OffBits = 6000;
    ASSERT_EQ(LoadBmpFile(Write("gap.bmp", BuildBmp(B)), Header, Bits), lpOK);
    EXPECT_EQ(Bytes(Bits, B.Rows.size()), B.Rows);
    EXPECT_EQ(Bytes(static_cast<uint8_t*>(Header) + 40, 64), Bytes(B.Table.data(), 64));
}

TEST_F(PictureFile, BmpBitfieldsMasksAfterOrInsideTheHeader)
{
    const std::vector<uint8_t> Masks = {0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0}; // 5-6-5
    for (uint32_t InfoSize : {40u, 108u}) {
        SCOPED_TRACE(InfoSize);
        TBmpSpec B;
        B.Bits = 16;
        B.Compression = BI_BITFIELDS;
        B.InfoSize = InfoSize;
        B.Masks = Masks;
        B.Rows = Rows(2, 2, 16);
        ASSERT_EQ(LoadBmpFile(Write("f.bmp", BuildBmp(B)), Header, Bits), lpOK);
        EXPECT_EQ(H()->biSize, 40u);
        EXPECT_EQ(H()->biCompression, BI_BITFIELDS);
        ASSERT_EQ(GlobalSize(Header), 52u);
        EXPECT_EQ(Bytes(static_cast<uint8_t*>(Header) + 40, 12), Bytes(Masks.data(), 12));
        EXPECT_EQ(Bytes(Bits, B.Rows.size()), B.Rows);
        FreeResult();
    }
}

TEST_F(PictureFile, BmpRefusesBadFilesAndKeepsTheVariables)
{
    TBmpSpec Good;
    Good.Rows = Rows(2, 2, 24);
    const std::string GoodFile = BuildBmp(Good);

    struct TCase {
        const char* Name;
        std::string Content;
        int32_t Expected;
    };
    std::vector<TCase> Cases;
    Cases.push_back({"shorter than a file header", GoodFile.substr(0, 13), lpNoFileHeader});
    Cases.push_back({"header cut", GoodFile.substr(0, 30), lpHeaderIncomplete});
    Cases.push_back({"one pixel byte missing", GoodFile.substr(0, GoodFile.size() - 1), lpBitsIncomplete});
    auto Variant = [&](const char* Name, int32_t Expected, auto Change) {
        TBmpSpec B = Good;
        Change(B);
        Cases.push_back({Name, BuildBmp(B), Expected});
    };
    Variant("bit count 0", lpBadHeader, [](TBmpSpec& B) { B.Bits = 0; });
    Variant("bit count 3", lpBadHeader, [](TBmpSpec& B) { B.Bits = 3; });
    Variant("bit count 2", lpBadHeader, [](TBmpSpec& B) { B.Bits = 2; B.Table = Table(4); });
    Variant("RLE8", lpBadHeader, [](TBmpSpec& B) {
        B.Bits = 8;
        B.Compression = BI_RLE8;
        B.Table = Table(256);
    });
    Variant("RLE4", lpBadHeader, [](TBmpSpec& B) {
        B.Bits = 4;
        B.Compression = BI_RLE4;
        B.Table = Table(16);
    });
    Variant("bitfields at 24 bits", lpBadHeader, [](TBmpSpec& B) {
        B.Compression = BI_BITFIELDS;
        B.Masks.assign(12, 0xFF);
    });
    Variant("width 0", lpBadHeader, [](TBmpSpec& B) { B.Width = 0; });
    Variant("negative width", lpBadHeader, [](TBmpSpec& B) { B.Width = -2; });
    Variant("height 0", lpBadHeader, [](TBmpSpec& B) { B.Height = 0; });
    Variant("above the pixel cap", lpBadHeader, [](TBmpSpec& B) {
        B.Width = 1 << 15;
        B.Height = (1 << 13) + 1;
    });
    Variant("more colours than the depth holds", lpBadHeader, [](TBmpSpec& B) {
        B.Bits = 4;
        B.ClrUsed = 17;
        B.Table = Table(17);
        B.Rows = Rows(2, 2, 4);
    });
    Variant("table cut by the pixel offset", lpBadHeader, [](TBmpSpec& B) {
        B.Bits = 8;
        B.Table = Table(256);
        B.Rows = Rows(2, 2, 8);
        B.OffBits = 14 + 40 + 100;
    });
    {
        std::string InFileHeader = GoodFile;
        Put32(InFileHeader, 10, 10);
        Cases.push_back({"pixel offset inside the file header", InFileHeader, lpBadHeader});
    }
    Variant("pixel offset inside the info header", lpBadHeader, [](TBmpSpec& B) { B.OffBits = 40; });
    {
        std::string PastEnd = GoodFile;
        Put32(PastEnd, 10, static_cast<uint32_t>(GoodFile.size() + 1));
        Cases.push_back({"pixel offset past the end", PastEnd, lpHeaderIncomplete});
    }
    Variant("info size beyond the offset", lpBadHeader, [](TBmpSpec& B) {
        B.InfoSize = 108;
        B.OffBits = 14 + 40;
    });
    Variant("OS/2 signature", lpBadHeader, [](TBmpSpec& B) { B.Signature = "BA"; });
    Variant("info header of a core bitmap", lpBadHeader, [](TBmpSpec& B) { B.InfoSize = 12; });

    for (const TCase& C : Cases) {
        SCOPED_TRACE(C.Name);
        HGLOBAL KeepH = reinterpret_cast<HGLOBAL>(0x1234);
        uint8_t* KeepB = reinterpret_cast<uint8_t*>(0x5678);
        HGLOBAL HH = KeepH;
        uint8_t* BB = KeepB;
        const size_t Before = GlobalBlockCount();
        EXPECT_EQ(LoadBmpFile(Write("bad.bmp", C.Content), HH, BB), C.Expected);
        EXPECT_EQ(HH, KeepH);
        EXPECT_EQ(BB, KeepB);
        EXPECT_EQ(GlobalBlockCount(), Before);
    }
    EXPECT_EQ(LoadBmpFile(Tmp / "missing.bmp", Header, Bits), lpOpenFailed);
}

// ---- LoadPicture with the built-in readers ---------------------------------

namespace {

void WritePng(const std::string& File, int W, int H)
{
    std::vector<uint8_t> Px(static_cast<size_t>(W) * H * 3);
    for (size_t I = 0; I < Px.size(); ++I)
        Px[I] = static_cast<uint8_t>(I * 7);
    png_image Image{};
    Image.version = PNG_IMAGE_VERSION;
    Image.width = static_cast<png_uint_32>(W);
    Image.height = static_cast<png_uint_32>(H);
    Image.format = PNG_FORMAT_RGB;
    ASSERT_TRUE(png_image_write_to_file(&Image, File.c_str(), 0, Px.data(), 0, nullptr));
}

void WriteJpeg(const std::string& File, int W, int H)
{
    FILE* F = std::fopen(File.c_str(), "wb");
    ASSERT_NE(F, nullptr);
    jpeg_compress_struct C{};
    jpeg_error_mgr Err{};
    C.err = jpeg_std_error(&Err);
    jpeg_create_compress(&C);
    jpeg_stdio_dest(&C, F);
    C.image_width = static_cast<JDIMENSION>(W);
    C.image_height = static_cast<JDIMENSION>(H);
    C.input_components = 1;
    C.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&C);
    jpeg_start_compress(&C, TRUE);
    std::vector<JSAMPLE> Row(static_cast<size_t>(W), 128);
    while (C.next_scanline < C.image_height) {
        JSAMPROW R = Row.data();
        jpeg_write_scanlines(&C, &R, 1);
    }
    jpeg_finish_compress(&C);
    jpeg_destroy_compress(&C);
    std::fclose(F);
}

} // namespace

TEST_F(PictureFile, LoadPictureBuiltInReadersAndInfoRecord)
{
    TBmpSpec B;
    B.Bits = 8;
    B.Width = 5;
    B.Height = 3;
    B.Table = Table(256);
    B.Rows = Rows(5, 3, 8);
    const std::string Bmp = Write("Pic.BMP", BuildBmp(B));
    ASSERT_EQ(Load(Bmp), lpOK);
    EXPECT_EQ(H()->biWidth, 5);
    EXPECT_EQ(Info.left, 0);
    EXPECT_EQ(Info.top, 0);
    EXPECT_EQ(Info.width, 5);
    EXPECT_EQ(Info.height, 3);
    EXPECT_EQ(Info.x_density, 1);
    EXPECT_EQ(Info.y_density, 1);
    EXPECT_EQ(Info.colorDepth, 8);
    EXPECT_EQ(Info.hInfo, nullptr);
    EXPECT_EQ(InfoText, "");

    const std::string Png = Tmp / "p.png";
    WritePng(Png, 7, 4);
    ASSERT_EQ(Load(Png), lpOK);
    EXPECT_EQ(H()->biWidth, 7);
    EXPECT_EQ(Info.height, 4);
    EXPECT_EQ(Info.colorDepth, 24);

    // Full size, then one eighth for the quick preview; ".rtk" is JPEG too.
    const std::string Jpg = Tmp / "j.jpg";
    WriteJpeg(Jpg, 64, 40);
    ASSERT_EQ(Load(Jpg), lpOK);
    EXPECT_EQ(H()->biWidth, 64);
    EXPECT_EQ(H()->biHeight, 40);
    EXPECT_EQ(Info.colorDepth, 8);
    ASSERT_EQ(Load(Jpg, 0, true), lpOK);
    EXPECT_EQ(H()->biWidth, 8);
    EXPECT_EQ(H()->biHeight, 5);
    fs::copy_file(Jpg, Tmp / "j.rtk");
    ASSERT_EQ(Load(Tmp / "j.rtk"), lpOK);
    EXPECT_EQ(H()->biWidth, 64);

    // Reader errors, unknown kinds and missing files: -20, variables untouched.
    FreeResult();
    const size_t Before = GlobalBlockCount();
    EXPECT_EQ(Load(Write("broken.png", "\x89PNG\r\n\x1a\nrubbish")), lpNotRead);
    EXPECT_EQ(Load(Write("broken.jpg", "\xFF\xD8\xFF\xE0 rubbish")), lpNotRead);
    EXPECT_EQ(Load(Write("x.tiff", "II*\0")), lpNotRead);
    EXPECT_EQ(Load(Tmp / "none.png"), lpNotRead);
    EXPECT_EQ(Header, nullptr);
    EXPECT_EQ(Bits, nullptr);
    EXPECT_EQ(Info.width, 0);
    EXPECT_EQ(GlobalBlockCount(), Before);
}

// ---- masks and the filter ---------------------------------------------------------

TEST(PictureFileMask, MatchFileMask)
{
    EXPECT_TRUE(MatchFileMask("*.*", "README"));
    EXPECT_TRUE(MatchFileMask("*.*", "a.b"));
    EXPECT_TRUE(MatchFileMask("*.JPG", "photo.jpg"));
    EXPECT_TRUE(MatchFileMask("*.jpg", "/home/u/Photo.JPG"));
    EXPECT_FALSE(MatchFileMask("*.jpg", "photo.jpeg"));
    EXPECT_FALSE(MatchFileMask("*.jpg", "photo.jp"));
    EXPECT_FALSE(MatchFileMask("*.pic", "README"));
    EXPECT_TRUE(MatchFileMask("*.", "README"));
    EXPECT_TRUE(MatchFileMask("a?c.txt", "abc.txt"));
    EXPECT_FALSE(MatchFileMask("a?c.txt", "ac.txt"));
    EXPECT_FALSE(MatchFileMask("a?c.txt", "abcd.txt"));
    EXPECT_TRUE(MatchFileMask("ab*.txt", "abcdef.txt"));
    EXPECT_TRUE(MatchFileMask("ab*", "abcdef.anything"));
    // A multi-byte character is one character.
    EXPECT_TRUE(MatchFileMask("?.png", "写.png"));
    EXPECT_TRUE(MatchFileMask("写?.png", "写真.png"));
    EXPECT_FALSE(MatchFileMask("写.png", "真.png"));
    // Only the file name counts, not dots in folder names.
    EXPECT_FALSE(MatchFileMask("*.b", "/tmp/a.b/file"));
    EXPECT_TRUE(MatchFileMask("*.spi", "/x/y/IFJPEG.SPI"));
}

TEST_F(PictureFile, FilterTextWithoutPlugins)
{
    std::string F;
    GetPictureFileFilter(F);
    EXPECT_EQ(F, "全ての画像|*.bmp;*.png;*.jpeg;*.jpg|ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|PNG(*.png)|*.png|"
                 "JPEG|*.jpeg;*.jpg");
}

TEST_F(PictureFile, ScanListsMasksOnceAndGuardsTheInfoBuffer)
{
    Install("good_plugin", Program);
    Install("bad_plugin", Program);
    std::string F;
    GetPictureFileFilter(F);
    // The bad plug-in filled all 260 bytes without a terminator.
    const std::string D(260, 'D');
    EXPECT_EQ(F, "全ての画像|*.bmp;*.png;*.jpeg;*.jpg;*.bad;*.bmp;*.tpx;*.tpix|"
                 "ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|PNG(*.png)|*.png|JPEG|*.jpeg;*.jpg|" +
                     D + "(*.bad)|*.bad|" + D + "(*.bmp)|*.bmp|"
                     "Test pixels(*.tpx)|*.tpx|Test pixels(*.tpix)|*.tpix");

    // Once per run: a plug-in added now is found after the next start-up.
    Install("no_export", Program);
    std::string Again;
    GetPictureFileFilter(Again);
    EXPECT_EQ(Again, F);
    InitPictureFile();
    GetPictureFileFilter(Again);
    EXPECT_NE(Again.find("|Incomplete(*.tpx)|*.tpx"), std::string::npos);
}

// ---- the plug-in contract -----------------------------------------------------------

TEST_F(PictureFile, GoodPluginReadsPictureInfoAndComment)
{
    Install("good_plugin", Program);
    const std::string F = Write("pic.tpx", Tpix(3, 2, true));
    const size_t Before = GlobalBlockCount();
    ProgressCalls = 0;
    ASSERT_EQ(Load(F, 0, false, CountProgress, 5), lpOK);
    EXPECT_EQ(GlobalBlockCount(), Before + 2);
    EXPECT_EQ(ProgressCalls, 2);
    EXPECT_EQ(H()->biWidth, 3);
    EXPECT_EQ(H()->biHeight, 2);
    EXPECT_EQ(H()->biBitCount, 24);
    // Bottom row (y = 1) first, blue-green-red, rows padded to 12 bytes.
    const std::string Expected("\x07\x0C\x01\x07\x0C\x0B\x07\x0C\x15\0\0\0"
                               "\x07\x02\x01\x07\x02\x0B\x07\x02\x15\0\0\0",
                               24);
    EXPECT_EQ(Bytes(Bits, 24), Expected);
    EXPECT_EQ(Info.width, 3);
    EXPECT_EQ(Info.height, 2);
    EXPECT_EQ(Info.x_density, 1); // 0 from the plug-in
    EXPECT_EQ(Info.y_density, 72);
    EXPECT_EQ(Info.colorDepth, 24);
    EXPECT_EQ(Info.hInfo, nullptr);
    EXPECT_EQ(InfoText, "made by the good plug-in");

    // Both masks lead to the plug-in; the preview is what the quick mode reads.
    const std::string G = Write("pic.TPIX", Tpix(3, 2, false));
    ASSERT_EQ(Load(G, 0, true), lpOK);
    EXPECT_EQ(H()->biWidth, 1);
    EXPECT_EQ(H()->biHeight, 1);
    EXPECT_EQ(Bytes(Bits, 3), std::string("\x07\x02\x01", 3));
    EXPECT_EQ(InfoText, "");

    // A 128-byte preamble: the second attempt at offset 128 reads it.
    ASSERT_EQ(Load(Write("mac.tpx", Tpix(2, 2, false, 128))), lpOK);
    EXPECT_EQ(H()->biWidth, 2);

    // A progress callback that stops the plug-in: nothing read.
    EXPECT_EQ(Load(F, 0, false, CountProgress, 99), lpNotRead);
    // Mode 2 never asks a plug-in.
    EXPECT_EQ(Load(F, 2), lpNotRead);
    // A matching plug-in that does not know the file: -11.
    EXPECT_EQ(Load(Write("junk.tpx", "nothing of the kind")), lpNoPictureInfo);
    EXPECT_EQ(Header, nullptr);
    EXPECT_EQ(InfoText, "");
}

TEST_F(PictureFile, PluginWithoutAllEntryPointsIsSkipped)
{
    // Listed first for *.tpx, but lacking GetPreview: the good one answers.
    Install("no_export", Program, "a_incomplete.spi");
    Install("good_plugin", Program);
    ASSERT_EQ(Load(Write("pic.tpx", Tpix(3, 2, false))), lpOK);
    EXPECT_EQ(H()->biWidth, 3);
    EXPECT_EQ(H()->biHeight, 2);

    fs::remove(Program + "/good_plugin.spi");
    InitPictureFile();
    EXPECT_EQ(Load(Tmp / "pic.tpx"), lpNotRead);
}

TEST_F(PictureFile, MisbehavingPluginBlocksAreRefused)
{
    Install("bad_plugin", Program);
    const size_t Before = GlobalBlockCount();
    for (char Mode : {'\x01', '\x02', '\x03', '\x05'}) {
        SCOPED_TRACE(int(Mode));
        EXPECT_EQ(Load(Write("x.bad", std::string("BADP") + Mode)), lpNotRead);
        EXPECT_EQ(Header, nullptr);
        EXPECT_EQ(Bits, nullptr);
        EXPECT_EQ(Info.width, 0);
        EXPECT_EQ(GlobalBlockCount(), Before);
    }
    EXPECT_EQ(Load(Write("x.bad", "BADP\x06")), lpNoPictureInfo);

    // A sound top-down picture is flipped; the comment without a terminator
    // ends with its block.
    ASSERT_EQ(Load(Write("x.bad", "BADP\x04")), lpOK);
    EXPECT_EQ(H()->biHeight, 2);
    EXPECT_EQ(Bytes(Bits, 16), std::string("\0\0\xFF\xFF\xFF\xFF\0\0"
                                           "\xFF\0\0\0\xFF\0\0\0",
                                           16));
    EXPECT_EQ(InfoText.substr(0, 24), std::string(24, 'X'));
    EXPECT_LE(InfoText.size(), 24u);
    EXPECT_EQ(Info.x_density, 96);
}

TEST_F(PictureFile, RefusedPluginBlocksAreFreed)
{
    Install("bad_plugin", Program);
    const std::string F = Write("x.bad", "BADP\x01");
    Load(F);
    const size_t Start = mallinfo2().uordblks;
    for (int I = 0; I < 200; ++I)
        Load(F);
    // Each refused call hands over 40 + 16 bytes; kept, they would add up.
    EXPECT_LT(mallinfo2().uordblks, Start + 200 * 24);
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
    // A real BMP: the plug-in does not know it (-11 on the way), the
    // built-in reader does.
    TBmpSpec B;
    B.Rows = Rows(2, 2, 24);
    const std::string Real = Write("real.bmp", BuildBmp(B));
    EXPECT_EQ(Load(Real, 1), lpOK);
    EXPECT_EQ(H()->biBitCount, 24);
    // Shorter than a file header: -2, then the plug-in is tried and fails.
    const std::string Short = Write("short.bmp", "BM12345");
    EXPECT_EQ(Load(Short, 2), lpNoFileHeader);
    EXPECT_EQ(Load(Short, 0), lpNoPictureInfo);
}

// ---- the plug-in folder ------------------------------------------------------------

TEST_F(PictureFile, SetSpiFolderWritesTheSettingsFile)
{
    const std::string Ini = Tmp / "data/Zelbar/CommSet.ini";
    EXPECT_EQ(GetSpiFolder(), "");
    SetSpiFolder("/opt/spi/");
    EXPECT_EQ(GetSpiFolder(), "/opt/spi");
    ASSERT_TRUE(fs::exists(Ini));
    EXPECT_EQ(TMemIniFile(Ini).ReadString("SPI", "Folder", "?"), "/opt/spi");
    // Unchanged: nothing written.
    fs::remove(Ini);
    SetSpiFolder("/opt/spi");
    EXPECT_FALSE(fs::exists(Ini));
    SetSpiFolder("/opt/other");
    EXPECT_EQ(TMemIniFile(Ini).ReadString("SPI", "Folder", "?"), "/opt/other");

    // A file that cannot be written: raised, and the folder stays.
    Tmp.Put("afile", "x");
    setenv("XDG_DATA_HOME", (Tmp / "afile").c_str(), 1);
    EXPECT_THROW(SetSpiFolder("/opt/fourth"), EFCreateError);
    EXPECT_EQ(GetSpiFolder(), "/opt/other");

    // Without a data folder the file lies in the program's folder.
    unsetenv("XDG_DATA_HOME");
    unsetenv("HOME");
    std::string P;
    EXPECT_FALSE(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, P));
    SetSpiFolder("/opt/third");
    EXPECT_EQ(TMemIniFile(Program + "/CommSet.ini").ReadString("SPI", "Folder", "?"), "/opt/third");

    // A relative XDG_DATA_HOME is ignored in favour of HOME.
    setenv("XDG_DATA_HOME", "relative", 1);
    setenv("HOME", "/home/someone/", 1);
    ASSERT_TRUE(GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, P));
    EXPECT_EQ(P, "/home/someone/.local/share");
    EXPECT_FALSE(GetSpecialFolderPath(26, P));
}

TEST_F(PictureFile, ScanUsesTheConfiguredFolder)
{
    const std::string Plugins = Tmp / "plugins";
    Install("good_plugin", Plugins);
    fs::create_directories(Tmp / "data/Zelbar");
    Tmp.Put("data/Zelbar/CommSet.ini", "[SPI]\r\nFolder=" + Plugins + "/\r\n");
    std::string F;
    GetPictureFileFilter(F);
    EXPECT_NE(F.find("|Test pixels(*.tpx)|*.tpx"), std::string::npos);
    EXPECT_EQ(GetSpiFolder(), Plugins);

    // The same folder as the program's: its plug-ins are listed twice.
    SetModuleDirectories(Plugins, Tmp / "nosystem", Tmp / "nowindows");
    InitPictureFile();
    GetPictureFileFilter(F);
    const size_t First = F.find("|Test pixels(*.tpx)|*.tpx");
    ASSERT_NE(First, std::string::npos);
    EXPECT_NE(F.find("|Test pixels(*.tpx)|*.tpx", First + 1), std::string::npos);

    // The system and Windows folders are scanned too.
    SetModuleDirectories(Program, Tmp / "nosystem", Plugins);
    Tmp.Put("data/Zelbar/CommSet.ini", "[SPI]\r\n");
    InitPictureFile();
    GetPictureFileFilter(F);
    EXPECT_NE(F.find("|Test pixels(*.tpx)|*.tpx"), std::string::npos);
    EXPECT_EQ(GetSpiFolder(), "");
}

TEST_F(PictureFile, RegistryFolderIsTakenOverWhenThereIsNoSettingsFile)
{
    const std::string Plugins = Tmp / "plugins";
    Install("good_plugin", Plugins);
    SetRegistryVal(HKEY_CURRENT_USER, "SOFTWARE\\ZELBAR\\LIB", "SpiDir", Plugins + "/");

    // A settings file without the key: the registry is not asked.
    fs::create_directories(Tmp / "data/Zelbar");
    Tmp.Put("data/Zelbar/CommSet.ini", "[Other]\r\nKey=1\r\n");
    std::string F;
    GetPictureFileFilter(F);
    EXPECT_EQ(F.find("*.tpx"), std::string::npos);

    fs::remove(Tmp / "data/Zelbar/CommSet.ini");
    InitPictureFile();
    GetPictureFileFilter(F);
    EXPECT_NE(F.find("|Test pixels(*.tpx)|*.tpx"), std::string::npos);
    EXPECT_EQ(GetSpiFolder(), Plugins);
    EXPECT_EQ(TMemIniFile(Tmp / "data/Zelbar/CommSet.ini").ReadString("SPI", "Folder", "?"), Plugins);
    EXPECT_TRUE(Boxes.Texts.empty());
}
