#include "raster/picture_file.h"

#include "foundation/ini_file.h"
#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "platform/module_loader.h"
#include "platform/registry_store.h"
#include "raster/bmp_conv.h"
#include "raster/jpeg_io.h"
#include "raster/png_io.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr size_t InfoHeaderBytes = sizeof(BITMAPINFOHEADER);
constexpr size_t FileHeaderBytes = sizeof(BITMAPFILEHEADER);
constexpr int32_t PluginInfoBufferBytes = 260;
constexpr intptr_t MacHeaderOffset = 128;
constexpr size_t MaxHeaderBlockBytes = 4096;

const char SpiRegistryKey[] = "SOFTWARE\\ZELBAR\\LIB";
const char SpiRegistryValue[] = "SpiDir";
const char SpiSection[] = "SPI";
const char SpiKey[] = "Folder";

// One file mask of a plug-in, the plug-in it belongs to, and its line of
// the open dialog's filter.
struct TSpiMask {
    std::string Mask;
    std::string Path;
    std::string Description;
};

std::vector<TSpiMask> SpiMasks;
bool ScanDue = true;
std::string SpiFolder;

// ---- DIB headers from outside data ----------------------------------------

struct TDIBLayout {
    BITMAPINFOHEADER Info{};
    int64_t Height = 0; // rows, positive
    bool TopDown = false;
    int64_t ImageBytes = 0;
    int64_t MaskOffset = -1;  // three masks here when BI_BITFIELDS
    int64_t TableOffset = 0;  // colour table from here
    int64_t TableEntries = 0; // entries to take (up to 8 bits)
    int64_t HeaderEnd = 0;    // header, masks and stored table together
};

bool IsBitCountAccepted(uint16_t Bits)
{
    return Bits == 1 || Bits == 4 || Bits == 8 || Bits == 16 || Bits == 24 || Bits == 32;
}

// Reads and checks the header at P (Bytes available). Sizes are 64-bit;
// nothing outside P[0, Bytes) is touched.
bool ParseDIBHeader(const uint8_t* P, size_t Bytes, TDIBLayout& L)
{
    if (!P || Bytes < InfoHeaderBytes)
        return false;
    ReadBitmapInfoHeader(P, L.Info);
    const BITMAPINFOHEADER& I = L.Info;
    if (I.biSize < InfoHeaderBytes || I.biSize > Bytes)
        return false;
    if (!IsBitCountAccepted(I.biBitCount))
        return false;
    const bool Fields = I.biCompression == BI_BITFIELDS;
    if (I.biCompression != BI_RGB && !(Fields && (I.biBitCount == 16 || I.biBitCount == 32)))
        return false;
    if (I.biWidth <= 0 || I.biHeight == 0)
        return false;
    L.TopDown = I.biHeight < 0;
    L.Height = L.TopDown ? -int64_t{I.biHeight} : int64_t{I.biHeight};
    if (int64_t{I.biWidth} * L.Height > MaxPicturePixels)
        return false;
    L.ImageBytes = GetDIBLineSize(I.biWidth, I.biBitCount) * L.Height;

    // Headers of 52 bytes and more hold the masks themselves.
    L.TableOffset = I.biSize;
    if (Fields) {
        if (I.biSize >= 52) {
            L.MaskOffset = 40;
        } else {
            L.MaskOffset = I.biSize;
            L.TableOffset += 12;
        }
    }
    if (I.biBitCount <= 8) {
        const int64_t Max = int64_t{1} << I.biBitCount;
        L.TableEntries = I.biClrUsed ? int64_t{I.biClrUsed} : Max;
        if (L.TableEntries > Max)
            return false;
    }
    // Above 8 bits a stored table is only an optimisation hint: skipped.
    const int64_t Stored = I.biBitCount <= 8 ? L.TableEntries : int64_t{I.biClrUsed};
    L.HeaderEnd = L.TableOffset + Stored * 4;
    const int64_t Needed = I.biBitCount <= 8 ? L.HeaderEnd : L.TableOffset;
    return Needed <= static_cast<int64_t>(Bytes);
}

// The header block in the program's form: 40 bytes, then the masks or the
// colour table padded with black to 2^bits entries.
HGLOBAL MakeHeaderBlock(const TDIBLayout& L, const uint8_t* P)
{
    const uint16_t Bits = L.Info.biBitCount;
    size_t Tail = 0;
    if (Bits <= 8)
        Tail = (size_t{1} << Bits) * sizeof(RGBQUAD);
    else if (L.MaskOffset >= 0)
        Tail = 12;
    HGLOBAL H = GlobalAlloc(GPTR, InfoHeaderBytes + Tail);
    if (!H)
        return nullptr;
    BITMAPINFOHEADER Out = L.Info;
    Out.biSize = InfoHeaderBytes;
    Out.biHeight = static_cast<int32_t>(L.Height);
    Out.biPlanes = 1;
    Out.biSizeImage = static_cast<uint32_t>(L.ImageBytes);
    // The hint table above 8 bits is not copied: a count would misplace the rows.
    if (Bits > 8)
        Out.biClrUsed = 0;
    uint8_t* D = static_cast<uint8_t*>(H);
    WriteBitmapInfoHeader(Out, D);
    if (Bits <= 8)
        std::memcpy(D + InfoHeaderBytes, P + L.TableOffset,
                    static_cast<size_t>(L.TableEntries) * sizeof(RGBQUAD));
    else if (L.MaskOffset >= 0)
        std::memcpy(D + InfoHeaderBytes, P + L.MaskOffset, 12);
    return H;
}

void FlipRows(uint8_t* Bits, int64_t RowBytes, int64_t Rows)
{
    std::vector<uint8_t> Tmp(static_cast<size_t>(RowBytes));
    for (int64_t Top = 0, Bottom = Rows - 1; Top < Bottom; ++Top, --Bottom) {
        uint8_t* A = Bits + Top * RowBytes;
        uint8_t* B = Bits + Bottom * RowBytes;
        std::memcpy(Tmp.data(), A, Tmp.size());
        std::memcpy(A, B, Tmp.size());
        std::memcpy(B, Tmp.data(), Tmp.size());
    }
}

// ---- text helpers ------------------------------------------------------------

std::string LowerAscii(std::string S)
{
    for (char& C : S)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return S;
}

std::string FileNamePart(const std::string& Path)
{
    const size_t Slash = Path.rfind('/');
    return Slash == std::string::npos ? Path : Path.substr(Slash + 1);
}

// The extension with its dot, "" when the name has none.
std::string ExtractFileExt(const std::string& Path)
{
    const std::string Name = FileNamePart(Path);
    const size_t Dot = Name.rfind('.');
    return Dot == std::string::npos ? std::string() : Name.substr(Dot);
}

// Bytes of the UTF-8 character starting at S[I] (1 for a stray byte).
size_t CharBytes(const std::string& S, size_t I)
{
    const auto C = static_cast<uint8_t>(S[I]);
    size_t N = 1;
    if (C >= 0xF0)
        N = 4;
    else if (C >= 0xE0)
        N = 3;
    else if (C >= 0xC0)
        N = 2;
    return std::min(N, S.size() - I);
}

bool MatchMaskPart(const std::string& Mask, const std::string& Name)
{
    if (Mask.empty())
        return true;
    const std::string M = LowerAscii(Mask);
    const std::string N = LowerAscii(Name);
    size_t I = 0;
    size_t J = 0;
    for (;;) {
        if (I >= M.size())
            return J >= N.size();
        if (M[I] == '*')
            return true;
        if (J >= N.size())
            return false;
        const size_t LM = CharBytes(M, I);
        const size_t LN = CharBytes(N, J);
        if (M[I] != '?' && M.compare(I, LM, N, J, LN) != 0)
            return false;
        I += LM;
        J += LN;
    }
}

void SplitBaseExt(const std::string& Name, std::string& Base, std::string& Ext)
{
    const size_t Dot = Name.rfind('.');
    if (Dot == std::string::npos) {
        Base = Name;
        Ext.clear();
    } else {
        Base = Name.substr(0, Dot);
        Ext = Name.substr(Dot);
    }
}

// One trailing "/" goes; the root folder stays as it is.
std::string StripOneDelimiter(std::string S)
{
    if (S.size() > 1 && S.back() == '/')
        S.pop_back();
    return S;
}

// ---- plug-ins ------------------------------------------------------------------

// A text a plug-in wrote into Buffer: at most the length it reported and
// never past the buffer, to the first zero byte.
std::string PluginInfoText(TSpiGetPluginInfo GetPluginInfo, int32_t InfoNo)
{
    char Buffer[PluginInfoBufferBytes + 1] = {};
    const int32_t Len = GetPluginInfo(InfoNo, Buffer, PluginInfoBufferBytes);
    if (Len <= 0)
        return std::string();
    const size_t Max = std::min<size_t>(static_cast<size_t>(Len), PluginInfoBufferBytes);
    return std::string(Buffer, strnlen(Buffer, Max));
}

// The text of a comment block a plug-in handed over, which is freed; read no
// further than the block, terminator or not.
std::string TakeForeignText(HGLOBAL Block)
{
    if (!Block)
        return std::string();
    const size_t Size = ForeignBlockSize(Block);
    const char* P = static_cast<const char*>(Block);
    std::string Text(P, strnlen(P, Size));
    ForeignBlockFree(Block);
    return Text;
}

void ScanFolder(std::string Dir)
{
    if (Dir.empty())
        return;
    if (Dir.back() != '/')
        Dir += '/';
    std::error_code Ec;
    std::filesystem::directory_iterator It(Dir, Ec);
    if (Ec)
        return;
    std::vector<std::string> Names;
    for (; !Ec && It != std::filesystem::directory_iterator(); It.increment(Ec)) {
        std::error_code FileEc;
        if (!It->is_regular_file(FileEc))
            continue;
        const std::string Name = It->path().filename().string();
        if (MatchFileMask("*.spi", Name))
            Names.push_back(Name);
    }
    std::sort(Names.begin(), Names.end());
    for (const std::string& Name : Names) {
        const std::string Path = Dir + Name;
        HMODULE M = LoadLibrary(Path);
        if (!M)
            continue;
        auto GetPluginInfo =
            reinterpret_cast<TSpiGetPluginInfo>(GetProcAddress(M, "GetPluginInfo"));
        if (GetPluginInfo) {
            const std::string Description = PluginInfoText(GetPluginInfo, 3);
            const std::string Masks = PluginInfoText(GetPluginInfo, 2);
            size_t Start = 0;
            while (Start <= Masks.size()) {
                size_t End = Masks.find(';', Start);
                if (End == std::string::npos)
                    End = Masks.size();
                if (End > Start) {
                    std::string Mask = Masks.substr(Start, End - Start);
                    SpiMasks.push_back({Mask, Path, Description + "(" + Mask + ")"});
                }
                Start = End + 1;
            }
        }
        FreeLibrary(M);
    }
}

std::string SettingsFileName()
{
    std::string Dir;
    if (GetSpecialFolderPath(CSIDL_LOCAL_APPDATA, Dir))
        return Dir + "/Zelbar/CommSet.ini";
    return GetProgramDirectory() + "/CommSet.ini";
}

void WriteSettingsFolder(const std::string& Folder)
{
    const std::string FileName = SettingsFileName();
    std::error_code Ec;
    std::filesystem::create_directories(std::filesystem::path(FileName).parent_path(), Ec);
    TMemIniFile Ini(FileName);
    Ini.WriteString(SpiSection, SpiKey, Folder);
    Ini.UpdateFile();
}

void ScanConfiguredFolder()
{
    const std::string FileName = SettingsFileName();
    std::error_code Ec;
    if (std::filesystem::exists(FileName, Ec)) {
        TMemIniFile Ini(FileName);
        const std::string S = StripOneDelimiter(Ini.ReadString(SpiSection, SpiKey, ""));
        if (!S.empty()) {
            SpiFolder = S;
            ScanFolder(S);
        }
        return;
    }
    std::string S;
    GetRegistryVal(HKEY_CURRENT_USER, SpiRegistryKey, SpiRegistryValue, S);
    S = StripOneDelimiter(S);
    if (S.empty())
        return;
    SpiFolder = S;
    ScanFolder(S);
    try {
        WriteSettingsFolder(S);
    } catch (const std::exception& E) {
        ErrorMessageBox(E.what());
    }
}

void ScanPluginsIfDue()
{
    if (!ScanDue)
        return;
    ScanDue = false;
    ScanFolder(GetProgramDirectory());
    ScanConfiguredFolder();
    ScanFolder(GetSystemDirectory());
    ScanFolder(GetWindowsDirectory());
}

// One GetPicture or GetPreview call; true when it succeeded and its blocks
// passed the checks (they are copied into Header and Bits and freed).
bool CallGetPicture(TSpiGetPicture Get, const std::string& FileName, intptr_t Offset,
                    TSpiProgressCallback Progress, intptr_t Data, HGLOBAL& Header,
                    uint8_t*& Bits)
{
    HGLOBAL HInfo = nullptr;
    HGLOBAL HBits = nullptr;
    if (Get(FileName.c_str(), Offset, 0, &HInfo, &HBits, Progress, Data) != 0)
        return false;
    int32_t R = lpBadHeader;
    if (HInfo && HBits)
        R = CopyCheckedDIB(static_cast<const uint8_t*>(HInfo), ForeignBlockSize(HInfo),
                           static_cast<const uint8_t*>(HBits), ForeignBlockSize(HBits), Header,
                           Bits);
    ForeignBlockFree(HInfo);
    ForeignBlockFree(HBits);
    return R == lpOK;
}

void TryPlugins(const std::string& FileName, TSpiProgressCallback Progress, intptr_t Data,
                bool Reduced, HGLOBAL& Header, uint8_t*& Bits, std::string& InfoText,
                TPictureInfo& Info, int32_t& Result)
{
    for (const TSpiMask& Entry : SpiMasks) {
        if (!MatchFileMask(Entry.Mask, FileName))
            continue;
        HMODULE M = LoadLibrary(Entry.Path);
        if (!M)
            continue;
        auto GetPictureInfo =
            reinterpret_cast<TSpiGetPictureInfo>(GetProcAddress(M, "GetPictureInfo"));
        auto GetPicture = reinterpret_cast<TSpiGetPicture>(GetProcAddress(M, "GetPicture"));
        auto GetPreview = reinterpret_cast<TSpiGetPicture>(GetProcAddress(M, "GetPreview"));
        if (!GetProcAddress(M, "GetPluginInfo") || !GetPictureInfo || !GetPicture ||
            !GetPreview) {
            FreeLibrary(M);
            continue;
        }
        TPictureInfo PI{};
        int32_t R = GetPictureInfo(FileName.c_str(), 0, 0, &PI);
        if (R != 0) {
            PI = TPictureInfo{};
            R = GetPictureInfo(FileName.c_str(), MacHeaderOffset, 0, &PI);
        }
        if (R != 0) {
            Result = lpNoPictureInfo;
            FreeLibrary(M);
            continue;
        }
        const std::string Text = TakeForeignText(PI.hInfo);
        PI.hInfo = nullptr;
        bool Done = false;
        if (Reduced)
            Done = CallGetPicture(GetPreview, FileName, 0, Progress, Data, Header, Bits) ||
                   CallGetPicture(GetPreview, FileName, MacHeaderOffset, Progress, Data, Header,
                                  Bits);
        if (!Done)
            Done = CallGetPicture(GetPicture, FileName, 0, Progress, Data, Header, Bits) ||
                   CallGetPicture(GetPicture, FileName, MacHeaderOffset, Progress, Data, Header,
                                  Bits);
        FreeLibrary(M);
        if (Done) {
            if (PI.x_density == 0)
                PI.x_density = 1;
            if (PI.y_density == 0)
                PI.y_density = 1;
            Info = PI;
            InfoText = Text;
            Result = lpOK;
            return;
        }
    }
}

} // namespace

int32_t CopyCheckedDIB(const uint8_t* HeaderBlock, size_t HeaderBytes, const uint8_t* BitsBlock,
                       size_t BitsBytes, HGLOBAL& Header, uint8_t*& Bits)
{
    TDIBLayout L;
    if (!ParseDIBHeader(HeaderBlock, HeaderBytes, L))
        return lpBadHeader;
    if (!BitsBlock || static_cast<int64_t>(BitsBytes) < L.ImageBytes)
        return lpBitsIncomplete;
    HGLOBAL H = MakeHeaderBlock(L, HeaderBlock);
    if (!H)
        return lpOutOfMemory;
    auto* B = static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, static_cast<size_t>(L.ImageBytes)));
    if (!B) {
        GlobalFree(H);
        return lpOutOfMemory;
    }
    std::memcpy(B, BitsBlock, static_cast<size_t>(L.ImageBytes));
    if (L.TopDown)
        FlipRows(B, GetDIBLineSize(L.Info.biWidth, L.Info.biBitCount), L.Height);
    Header = H;
    Bits = B;
    return lpOK;
}

int64_t PackedDIBBitsOffset(const uint8_t* Block, size_t Bytes)
{
    TDIBLayout L;
    if (!ParseDIBHeader(Block, Bytes, L) || L.HeaderEnd > static_cast<int64_t>(Bytes))
        return -1;
    return L.HeaderEnd;
}

int32_t LoadBmpFile(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits)
{
    std::unique_ptr<TFileStream> F;
    try {
        F = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
    } catch (const std::exception&) {
        return lpOpenFailed;
    }
    try {
        const int64_t FileSize = F->Size();
        uint8_t FileHeader[FileHeaderBytes];
        if (FileSize < static_cast<int64_t>(FileHeaderBytes) ||
            F->Read(FileHeader, FileHeaderBytes) != static_cast<int32_t>(FileHeaderBytes))
            return lpNoFileHeader;
        // Other two-letter signatures are OS/2 arrays and icons, laid out
        // differently: reading them as bitmaps gives garbage.
        if (FileHeader[0] != 'B' || FileHeader[1] != 'M')
            return lpBadHeader;
        const uint32_t OffBits = uint32_t{FileHeader[10]} | uint32_t{FileHeader[11]} << 8 |
                                 uint32_t{FileHeader[12]} << 16 | uint32_t{FileHeader[13]} << 24;
        if (OffBits < FileHeaderBytes + InfoHeaderBytes)
            return lpBadHeader;
        if (int64_t{OffBits} > FileSize)
            return lpHeaderIncomplete;
        // The longest info header, masks and a full table fit well in this;
        // a gap up to the pixels is skipped unread.
        std::vector<uint8_t> Block(
            std::min<size_t>(OffBits - FileHeaderBytes, MaxHeaderBlockBytes));
        if (F->Read(Block.data(), static_cast<int32_t>(Block.size())) !=
            static_cast<int32_t>(Block.size()))
            return lpHeaderIncomplete;
        TDIBLayout L;
        if (!ParseDIBHeader(Block.data(), Block.size(), L))
            return lpBadHeader;
        if (FileSize - int64_t{OffBits} < L.ImageBytes)
            return lpBitsIncomplete;
        F->Seek(OffBits, TSeekOrigin::soBeginning);
        HGLOBAL H = MakeHeaderBlock(L, Block.data());
        if (!H)
            return lpOutOfMemory;
        auto* B =
            static_cast<uint8_t*>(GlobalAlloc(GMEM_FIXED, static_cast<size_t>(L.ImageBytes)));
        if (!B) {
            GlobalFree(H);
            return lpOutOfMemory;
        }
        int64_t Done = 0;
        while (Done < L.ImageBytes) {
            const auto Chunk =
                static_cast<int32_t>(std::min<int64_t>(L.ImageBytes - Done, 1 << 30));
            const int32_t Got = F->Read(B + Done, Chunk);
            if (Got <= 0)
                break;
            Done += Got;
        }
        if (Done < L.ImageBytes) {
            GlobalFree(B);
            GlobalFree(H);
            return lpBitsIncomplete;
        }
        if (L.TopDown)
            FlipRows(B, GetDIBLineSize(L.Info.biWidth, L.Info.biBitCount), L.Height);
        Header = H;
        Bits = B;
        return lpOK;
    } catch (const std::bad_alloc&) {
        return lpOutOfMemory;
    } catch (const std::exception&) {
        return lpHeaderIncomplete;
    }
}

int32_t LoadPicture(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits,
                    int32_t PluginMode, TSpiProgressCallback Progress, intptr_t CallbackData,
                    bool Reduced, std::string& InfoText, TPictureInfo& Info)
{
    std::string Reason;
    return LoadPicture(FileName, Header, Bits, PluginMode, Progress, CallbackData, Reduced,
                       InfoText, Info, Reason);
}

int32_t LoadPicture(const std::string& FileName, HGLOBAL& Header, uint8_t*& Bits,
                    int32_t PluginMode, TSpiProgressCallback Progress, intptr_t CallbackData,
                    bool Reduced, std::string& InfoText, TPictureInfo& Info,
                    std::string& Reason)
{
    InfoText.clear();
    Info = TPictureInfo{};
    Reason.clear();
    // Opening a pipe blocks until a writer comes, and a device never ends.
    struct stat St {};
    const bool Found = ::stat(FileName.c_str(), &St) == 0;
    if (Found && !S_ISREG(St.st_mode)) {
        Reason = FileName + " を開けません。";
        return lpOpenFailed;
    }
    try {
        ScanPluginsIfDue();
    } catch (const std::exception&) {
        // A folder that cannot be listed leaves the built-in readers.
    }
    int32_t Result = lpNotRead;
    const std::string Ext = LowerAscii(ExtractFileExt(FileName));
    HGLOBAL H = nullptr;
    uint8_t* B = nullptr;
    std::string Text;
    TPictureInfo PI{};

    if (PluginMode == 1)
        TryPlugins(FileName, Progress, CallbackData, Reduced, H, B, Text, PI, Result);
    if (Result < 0) {
        bool Builtin = false;
        if (Ext == ".bmp") {
            Result = LoadBmpFile(FileName, H, B);
            Builtin = true;
        } else if (Ext == ".png" || Ext == ".jpeg" || Ext == ".jpg" || Ext == ".rtk") {
            Builtin = true;
            bool Cancel = false;
            try {
                if (Ext == ".png")
                    PNGLoadFromFile(FileName, H, B, Cancel);
                else
                    JpegLoadFromFile(FileName, H, B, false, Reduced ? 3 : 0, false, false,
                                     nullptr, TConvertProgressEvent(), Cancel);
                Result = lpOK;
            } catch (const Exception& E) {
                // The reader's own words; others (out of memory) get the general one.
                H = nullptr;
                B = nullptr;
                Result = lpNotRead;
                Reason = E.what();
            } catch (...) {
                H = nullptr;
                B = nullptr;
                Result = lpNotRead;
            }
        }
        if (Builtin && Result == lpOK) {
            const auto* BH = static_cast<const BITMAPINFOHEADER*>(H);
            PI = TPictureInfo{};
            PI.width = BH->biWidth;
            PI.height = BH->biHeight;
            PI.x_density = 1;
            PI.y_density = 1;
            PI.colorDepth = static_cast<int16_t>(BH->biBitCount);
        }
    }
    if (Result < 0 && PluginMode == 0)
        TryPlugins(FileName, Progress, CallbackData, Reduced, H, B, Text, PI, Result);
    if (Result == lpOK) {
        Header = H;
        Bits = B;
        InfoText = Text;
        Info = PI;
        Reason.clear();
    } else if (Result == lpOpenFailed || !Found) {
        Reason = FileName + " を開けません。";
    } else if (Reason.empty()) {
        Reason = "画像ファイルの読み込みに失敗しました。";
    }
    return Result;
}

void GetPictureFileFilter(std::string& Filter)
{
    ScanPluginsIfDue();
    Filter = "全ての画像|*.bmp;*.png;*.jpeg;*.jpg";
    for (const TSpiMask& M : SpiMasks)
        Filter += ";" + M.Mask;
    Filter += "|ﾋﾞｯﾄﾏｯﾌﾟ(*.bmp)|*.bmp|PNG(*.png)|*.png|JPEG|*.jpeg;*.jpg";
    for (const TSpiMask& M : SpiMasks)
        Filter += "|" + M.Description + "|" + M.Mask;
}

std::string GetSpiFolder()
{
    return SpiFolder;
}

void SetSpiFolder(const std::string& Folder)
{
    const std::string S = StripOneDelimiter(Folder);
    if (S == SpiFolder)
        return;
    // Kept only once written, so that setting it again retries the write.
    WriteSettingsFolder(S);
    SpiFolder = S;
}

bool MatchFileMask(const std::string& Mask, const std::string& FileName)
{
    std::string MaskBase;
    std::string MaskExt;
    std::string NameBase;
    std::string NameExt;
    SplitBaseExt(Mask, MaskBase, MaskExt);
    SplitBaseExt(FileNamePart(FileName), NameBase, NameExt);
    if (MaskExt == ".*")
        MaskExt = "*";
    if (NameExt.empty())
        NameExt = ".";
    return MatchMaskPart(MaskBase, NameBase) && MatchMaskPart(MaskExt, NameExt);
}

bool GetSpecialFolderPath(int32_t CSIDL, std::string& Path)
{
    if (CSIDL != CSIDL_LOCAL_APPDATA)
        return false;
    const char* Xdg = std::getenv("XDG_DATA_HOME");
    if (Xdg && Xdg[0] == '/') {
        Path = StripOneDelimiter(Xdg);
        return true;
    }
    const char* Home = std::getenv("HOME");
    if (Home && Home[0]) {
        Path = StripOneDelimiter(Home) + "/.local/share";
        return true;
    }
    return false;
}

void InitPictureFile()
{
    SpiMasks.clear();
    SpiFolder.clear();
    ScanDue = true;
}

void FinalizePictureFile()
{
    SpiMasks.clear();
    SpiMasks.shrink_to_fit();
    ScanDue = true;
}
