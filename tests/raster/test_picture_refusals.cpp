// What the picture loader refuses, and how it says so: only regular files are
// opened (a pipe would block, a device never end), and every refusal carries
// a reason the user can be shown.
#include "raster/picture_file.h"

#include "platform/fifo_watch.h"
#include "platform/test_support.h"
#include "png_bytes.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

struct TRefusal {
    const char* Name;       // made in a private folder; absolute names are used as they are
    std::string Bytes;      // the file's contents ("" and Folder false: no file at all)
    bool Folder;
    int32_t Result;
    const char* Reason;     // "" for "<path> を開けません。"
};

} // namespace

TEST(PictureRefusals, EachRefusalHasItsReason)
{
    const TRefusal Cases[] = {
        {"missing.png", "", false, lpNotRead, ""},
        {"folder.png", "", true, lpOpenFailed, ""},
        {"/dev/zero", "", false, lpOpenFailed, ""},
        {"deep.png", PngBytes(4, 3, 16, 2), false, lpNotRead,
         "PNGLoadFromStream: Not Suppoert (BitDepth = 16)"},
        {"huge.png", PngBytes(60000, 60000, 8, 2), false, lpNotRead, "PNGLoadFromStream: Illegal Size"},
        {"odd.xyz", "xyz", false, lpNotRead, "画像ファイルの読み込みに失敗しました。"},
    };
    TTempDir Tmp;
    for (const TRefusal& C : Cases) {
        const std::string Path = C.Name[0] == '/' ? std::string(C.Name) : Tmp / C.Name;
        if (C.Folder)
            std::filesystem::create_directory(Path);
        else if (!C.Bytes.empty())
            Tmp.Put(C.Name, C.Bytes);
        HGLOBAL Header = nullptr;
        uint8_t* Bits = nullptr;
        std::string Text, Reason;
        TPictureInfo Info{};
        EXPECT_EQ(LoadPicture(Path, Header, Bits, 1, nullptr, 0, false, Text, Info, Reason), C.Result)
            << C.Name;
        EXPECT_EQ(Reason, *C.Reason ? std::string(C.Reason) : Path + " を開けません。") << C.Name;
        EXPECT_EQ(Header, nullptr);
        EXPECT_EQ(Bits, nullptr);
    }
}

TEST(PictureRefusals, APipeIsNeverOpened)
{
    TTempDir Tmp;
    TFifoWatch Pipe(Tmp / "pipe.png");
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    std::string Text, Reason;
    TPictureInfo Info{};
    EXPECT_EQ(LoadPicture(Pipe.Path(), Header, Bits, 0, nullptr, 0, false, Text, Info, Reason), lpOpenFailed);
    EXPECT_FALSE(Pipe.ReaderBlocked());
    EXPECT_EQ(Reason, Pipe.Path() + " を開けません。");
}
