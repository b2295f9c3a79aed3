#include "model/default_data.h"

#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/draw_object.h"
#include "model/page.h"
#include "model/shape_param_range.h"
#include "model/text_object.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/macro_param_range.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "platform/message_box.h"
#include "platform/module_loader.h"
#include "platform/safe_write.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <filesystem>

static_assert(std::endian::native == std::endian::little, "records are stored as they lie in memory");

namespace {

constexpr const char* kApplicationTitle = "タヴロ";
constexpr const char* kBadSuffix = ".bad";

TDefaultData* gDefaultAttributes = nullptr;

// Fixed-layout records, stored as they lie in memory.
template <class T>
void WriteRaw(TStream& Stream, const T& V)
{
    Stream.WriteBuffer(&V, static_cast<int32_t>(sizeof(T)));
}

template <class T>
T ReadRaw(TStream& Stream)
{
    T V;
    Stream.ReadBuffer(&V, static_cast<int32_t>(sizeof(T)));
    return V;
}

// Pascal Round of a stored double into an int32 (values beyond saturate).
int32_t RoundStoredDouble(double D)
{
    if (!(D == D))
        return 0;
    const double R = std::nearbyint(D);
    if (R >= 2147483647.0)
        return 2147483647;
    if (R <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<int32_t>(R);
}

std::string FaceFieldBytes(const char (&Field)[32])
{
    return std::string(Field, strnlen(Field, sizeof(Field)));
}

}  // namespace

void SetFaceNameField(char (&Field)[32], const std::string& Cp932Name)
{
    size_t Len = 0;
    const size_t Limit = sizeof(Field) - 1;
    // Whole characters only: a lead byte takes its trail byte with it. A zero
    // byte ends the name as it does in the field.
    while (Len < Cp932Name.size() && Cp932Name[Len] != '\0') {
        const size_t CharLen = IsSjisLeadByte(static_cast<uint8_t>(Cp932Name[Len])) ? 2 : 1;
        if (Len + CharLen > Limit || Len + CharLen > Cp932Name.size())
            break;
        Len += CharLen;
    }
    std::memset(Field, 0, sizeof(Field));
    std::memcpy(Field, Cp932Name.data(), Len);
}

// ---------------------------------------------------------------------------
// TDrawObjDef

TDrawObjDef::TDrawObjDef(const std::string& Name, const std::string& FileName,
                         const std::string& Signature, const std::string& Key,
                         const std::string& ValueName)
    : Macros(std::make_unique<TMacros>()),
      Macros2(std::make_unique<TMacros>()),
      FName(Name),
      FFileName(FileName),
      FSignature(Signature.substr(0, 3)),
      FKey(Key),
      FValueName(ValueName)
{
    GetRegistryVal(HKEY_CURRENT_USER, FKey, FValueName, FDataFolder);
    // A setting start-up refuses is not this object's folder either: the
    // defaults then live in the folder start-up chose instead, and the
    // refused one is never written to.
    if (!DataFolderSettingUsable(FDataFolder))
        FDataFolder.clear();
}

TDrawObjDef::TDrawObjDef(const TDrawObjDef& Source, int)
    : TObject(),
      SaveOnDestroy(0),
      Macros(std::make_unique<TMacros>()),
      Macros2(std::make_unique<TMacros>()),
      FName(Source.FName),
      FFileName(Source.FFileName),
      FSignature(Source.FSignature),
      FKey(Source.FKey),
      FValueName(Source.FValueName),
      FDataFolder(Source.FDataFolder)
{
}

TDrawObjDef::~TDrawObjDef() = default;

void TDrawObjDef::AssignValues(const TDrawObjDef& Source)
{
    WireframeColor = Source.WireframeColor;
    Macros->Assign(Source.Macros.get());
    Macros2->Assign(Source.Macros2.get());
}

void TDrawObjDef::WriteDefPart(TStream& Stream)
{
    StreamWriteInt32(Stream, WireframeColor);
    Macros->WriteToStream(Stream);
    Macros2->WriteToStream(Stream);
}

void TDrawObjDef::ReadDefInt(TStream& Stream)
{
    WireframeColor = HeldWireframeColor(StreamReadInt32(Stream));
}

void TDrawObjDef::ReadMacroLists(TStream& Stream, int32_t Version)
{
    Macros->ReadFromStream(Stream, Version);
    Macros2->ReadFromStream(Stream, Version);
    // Every new object starts from these: their values are held as an
    // object's own (older files carry the macros' lines too).
    HoldMacrosValues(*Macros);
    HoldMacrosValues(*Macros2);
}

void TDrawObjDef::WriteBody(TStream& Stream)
{
    WriteDefPart(Stream);
}

void TDrawObjDef::ReadBody(TStream& Stream, int32_t Version)
{
    ReadDefInt(Stream);
    ReadMacroLists(Stream, Version);
}

std::string TDrawObjDef::GetFileName() const
{
    std::string Dir = FDataFolder;
    if (Dir.empty())
        GetEnvDataDir(Dir);
    AddPathDelimiter(Dir);
    return Dir + FFileName;
}

bool TDrawObjDef::LoadFromFile(const std::string& FileName)
{
    std::unique_ptr<TFileStream> File;
    try {
        File = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
    } catch (const EFOpenError& E) {
        // A pipe or a device in the file's place is no missing file: it is
        // never waited on, and said so.
        if (E.Error() == ErrNotRegularFile)
            throw;
        return false;
    }
    uint8_t Header[6];
    File->ReadBuffer(Header, 6);
    if (FSignature.size() != 3 || std::memcmp(Header, FSignature.data(), 3) != 0)
        throw EUserError("デフォルトデータファイル形式ではありません。");
    const int32_t Version = Header[3] * 256 + Header[4];
    if (Version > DefaultDataVersion)
        return false;
    std::unique_ptr<TDrawObjDef> Scratch = CreateScratch();
    Scratch->ReadBody(*File, Version);
    AssignValues(*Scratch);
    return true;
}

bool TDrawObjDef::SaveToFile(const std::string& FileName)
{
    std::error_code Ec;
    const std::filesystem::path Folder = std::filesystem::path(FileName).parent_path();
    if (!Folder.empty())
        std::filesystem::create_directories(Folder, Ec);

    // The body is made first, so that a failure leaves the old file alone.
    TMemoryStream Body;
    const uint8_t Header[6] = {static_cast<uint8_t>(FSignature.size() > 0 ? FSignature[0] : 0),
                               static_cast<uint8_t>(FSignature.size() > 1 ? FSignature[1] : 0),
                               static_cast<uint8_t>(FSignature.size() > 2 ? FSignature[2] : 0),
                               static_cast<uint8_t>(DefaultDataVersion >> 8),
                               static_cast<uint8_t>(DefaultDataVersion & 0xFF), 0};
    Body.WriteBuffer(Header, 6);
    WriteBody(Body);

    // Written beside the old file and renamed over it: a full disk leaves the
    // previous defaults whole.
    while (const int Err = WriteFileReplacing(FileName, Body.Memory(), static_cast<size_t>(Body.Size()))) {
        // Only an explicit Retry tries again: an unattended box gives up.
        // What is not a file is said: the person may move it away first.
        const std::string Why = Err == ErrNotRegularFile ? "(" + FileErrorText(Err) + ")" : "";
        const int Answer = MessageBox(nullptr, "ﾌｧｲﾙ " + FileName + " の作成に失敗しました。" + Why,
                                      kApplicationTitle, MB_RETRYCANCEL | MB_ICONERROR);
        if (Answer != IDRETRY)
            return false;
    }
    return true;
}

void TDrawObjDef::SetDataFolder(const std::string& Folder)
{
    if (Folder == FDataFolder)
        return;
    FDataFolder = Folder;
    SetRegistryVal(HKEY_CURRENT_USER, FKey, FValueName, Folder);
    SaveToFile(GetFileName());
}

void TDrawObjDef::LoadDefaults()
{
    std::string ProgramDir = GetProgramDirectory();
    AddPathDelimiter(ProgramDir);
    const std::string First = GetFileName();
    const std::string Second = ProgramDir + FFileName;
    const std::string Factory = Second + ".org";

    // The factory copy comes with the program and is read at every start,
    // so that delivered files that disagree show at once rather than on the
    // day the user's own file goes. One that does not read is the
    // installation damaged as well.
    // Every macro the factory copy names is one of the library delivered
    // with it: a name the library lacks is the library's damage, never the
    // copy's. Nothing is set aside, and the run ends before its end could
    // write the defaults without that macro.
    std::unique_ptr<TDrawObjDef> FactoryValues = CreateScratch();
    bool HaveFactory = false;
    bool LibraryLacksMacro = false;
    bool FactoryDamaged = false;
    try {
        HaveFactory = FactoryValues->LoadFromFile(Factory);
    } catch (const EMacroNotRegistered&) {
        LibraryLacksMacro = true;
    } catch (const std::exception&) {
        FactoryDamaged = true;
    }
    // Raised out of the handlers, so that the message is the box's alone.
    if (LibraryLacksMacro)
        throw DamagedMacroLibraryError(MacroLibraryFileName());
    if (FactoryDamaged)
        throw EUserError("デフォルトデータファイル " + Factory +
                         " は壊れているため読み込めません。プログラムを再インストールしてください。");

    std::string Report;
    auto TryLoad = [&](const std::string& Path) -> bool {
        try {
            return LoadFromFile(Path);
        } catch (const std::exception& E) {
            if (!Report.empty())
                Report += "\r\n\r\n";
            Report += "デフォルトデータファイル " + Path + " を読み込めませんでした。\r\n" + E.what();
            // No file to keep: a pipe or a device is left where it is (the
            // end of the run refuses to write over it, too).
            if (const auto* Open = dynamic_cast<const EFOpenError*>(&E); Open && Open->Error() == ErrNotRegularFile)
                return false;
            // The file would be overwritten at the end of the run: keep it.
            // So also when it names a macro the library lacks (one that
            // agrees with the factory copy): it may come from another
            // installation, and must not keep the program from starting.
            const std::string Bad = Path + kBadSuffix;
            std::error_code Ec;
            std::filesystem::copy_file(Path, Bad, std::filesystem::copy_options::overwrite_existing,
                                       Ec);
            if (Ec)
                Report += "\r\n" + Bad + " を作成できませんでした。";
            else
                Report += "\r\nこのファイルは " + Bad + " として残しました。";
            return false;
        }
    };

    bool Loaded = TryLoad(First);
    if (!Loaded && Second != First)
        Loaded = TryLoad(Second);
    if (!Loaded && HaveFactory)
        AssignValues(*FactoryValues);

    if (!Report.empty())
        MessageBox(nullptr, Report, kApplicationTitle, MB_OK | MB_ICONWARNING);
}

void TDrawObjDef::SaveAtEnd() noexcept
{
    if (!SaveOnDestroy)
        return;
    // Start-up already told the user that the data folder takes no files.
    const std::string& Closed = UnwritableDataDir();
    if (!Closed.empty() && GetFileName().rfind(Closed, 0) == 0)
        return;
    try {
        SaveToFile(GetFileName());
    } catch (const std::exception& E) {
        try {
            ErrorMessageBox(E.what());
        } catch (...) {
        }
    }
}

// ---------------------------------------------------------------------------
// TDrawObjTavDef

TDrawObjTavDef::TDrawObjTavDef(const std::string& Name, const std::string& FileName,
                               const std::string& Signature, const std::string& Key,
                               const std::string& ValueName)
    : TDrawObjDef(Name, FileName, Signature, Key, ValueName)
{
    TextParam.Value1 = 0;
    TextParam.Value2 = 5;
    SetFaceName("ＭＳ Ｐゴシック");
    RectParam = TrecRectParam{};
    RectParam.CornerCount = 4;
    RectParam.CornerPosition = 0;
    PolygonParam = TrecPolygonParam{};
    PolygonParam.Count = 5;
    PolygonParam.Seed = 0x0F0F0F0F;
    PolygonParam.StartAngle = 3.141592653589793;
    StarParam = TrecStarParam{};
    StarParam.InnerRadius = 0.5;
    StarParam.Count = 5;
    StarParam.Seed = 0x0F0F0F0F;
    StarParam.StartAngle = 3.141592653589793;
}

TDrawObjTavDef::TDrawObjTavDef(const TDrawObjTavDef& Source, int) : TDrawObjDef(Source, 0) {}

void TDrawObjTavDef::AssignValues(const TDrawObjDef& Source)
{
    TDrawObjDef::AssignValues(Source);
    const auto& S = static_cast<const TDrawObjTavDef&>(Source);
    FillPath = S.FillPath;
    DisplayCache = S.DisplayCache;
    TextParam = S.TextParam;
    Font = S.Font;
    Value1 = S.Value1;
    Byte1 = S.Byte1;
    Double1 = S.Double1;
    RectParam = S.RectParam;
    PolygonParam = S.PolygonParam;
    StarParam = S.StarParam;
}

std::string TDrawObjTavDef::GetFaceName() const
{
    return Cp932ToUtf8(FaceFieldBytes(Font.FaceName));
}

void TDrawObjTavDef::SetFaceName(const std::string& Name)
{
    SetFaceNameField(Font.FaceName, Utf8ToCp932(Name));
}

void TDrawObjTavDef::WriteBody(TStream& Stream)
{
    TDrawObjDef::WriteBody(Stream);
    WriteRaw(Stream, TextParam);
    StreamWriteString(Stream, FaceFieldBytes(Font.FaceName));
    StreamWriteString(Stream, std::to_string(Font.Height));
    Stream.WriteBuffer(Font.Style, 4);
    StreamWriteInt32(Stream, Font.Value1);
    StreamWriteInt32(Stream, Font.Value2);
    StreamWriteInt32(Stream, Value1);
    StreamWriteByte(Stream, Byte1);
    StreamWriteDouble(Stream, Double1);
    StreamWriteByte(Stream, DisplayCache);
    StreamWriteByte(Stream, FillPath);
    WriteRaw(Stream, RectParam);
    WriteRaw(Stream, PolygonParam);
    WriteRaw(Stream, StarParam);
}

namespace {

// Every new text takes its first character style from the font record: it
// is held as a character style is, at the resolution of a new page.
void HoldDefaultFont(TrecDefaultFont& F)
{
    TrecCharAttr A = CharAttrOfDefaultFont(F);
    HoldCharAttr(A, DefaultPageDPI);
    SetDefaultFontCharAttr(F, A);
}

} // namespace

void TDrawObjTavDef::ReadTavPart(TStream& Stream, int32_t Version)
{
    TextParam = ReadRaw<TrecTextParam>(Stream);
    std::string Face;
    StreamReadString(Stream, Face);
    std::string Height;
    StreamReadString(Stream, Height);
    const int32_t H = StrToInt(Height);
    SetFaceNameField(Font.FaceName, Face);
    Font.Height = H;
    Stream.ReadBuffer(Font.Style, 4);
    if (Version >= 11) {
        if (Version <= 12) {
            Font.Value1 = RoundStoredDouble(StreamReadDouble(Stream));
            Font.Value2 = RoundStoredDouble(StreamReadDouble(Stream));
        } else {
            Font.Value1 = StreamReadInt32(Stream);
            Font.Value2 = StreamReadInt32(Stream);
        }
        Value1 = StreamReadInt32(Stream);
        Byte1 = StreamReadByte(Stream);
        Double1 = StreamReadDouble(Stream);
    }
    if (Version >= 12)
        DisplayCache = StreamReadByte(Stream);
    if (Version >= 15)
        FillPath = StreamReadByte(Stream);
    else
        FillPath = 1;
    // Every new text starts from these: they are held as a text's own.
    HoldTextLayout(TextParam);
    Double1 = HeldLineSpacing(Value1, Byte1, Double1);
    Value1 = HeldLineSpacingRule(Value1);
    Byte1 = HeldSpacingUnit(Byte1);
    FillPath = FillPath != 0;
    DisplayCache = DisplayCache != 0;
    HoldDefaultFont(Font);
}

void TDrawObjTavDef::ReadShapeRecords(TStream& Stream, int32_t Version)
{
    if (Version < 25) {
        Stream.ReadBuffer(&RectParam, 8);
        RectParam.CornerCount = 4;
        RectParam.CornerPosition = 0;
    } else {
        RectParam = ReadRaw<TrecRectParam>(Stream);
    }
    PolygonParam = ReadRaw<TrecPolygonParam>(Stream);
    StarParam = ReadRaw<TrecStarParam>(Stream);
    // Every new shape starts from these: they are held as a shape's own.
    HoldRectParam(RectParam, false);
    HoldPolygonParam(PolygonParam, false);
    HoldStarParam(StarParam, false);
}

void TDrawObjTavDef::ReadBody(TStream& Stream, int32_t Version)
{
    if (Version >= 15) {
        TDrawObjDef::ReadBody(Stream, Version);
        ReadTavPart(Stream, Version);
        ReadShapeRecords(Stream, Version);
    } else {
        // The application's part, read first by TDefaultData, precedes this.
        ReadDefInt(Stream);
        ReadShapeRecords(Stream, Version);
        ReadTavPart(Stream, Version);
        ReadMacroLists(Stream, Version);
    }
}

// ---------------------------------------------------------------------------
// TDefaultData

TDefaultData::TDefaultData(const std::string& Name, const std::string& FileName,
                           const std::string& Signature, const std::string& Key,
                           const std::string& ValueName)
    : TDrawObjTavDef(Name, FileName, Signature, Key, ValueName)
{
    LoadDefaults();
}

TDefaultData::TDefaultData(const TDefaultData& Source, int) : TDrawObjTavDef(Source, 0) {}

TDefaultData::~TDefaultData()
{
    if (gDefaultAttributes == this)
        gDefaultAttributes = nullptr;
    SaveAtEnd();
}

std::unique_ptr<TDrawObjDef> TDefaultData::CreateScratch() const
{
    std::unique_ptr<TDefaultData> Scratch(new TDefaultData(*this, 0));
    Scratch->AssignValues(*this);
    return Scratch;
}

void TDefaultData::AssignValues(const TDrawObjDef& Source)
{
    TDrawObjTavDef::AssignValues(Source);
    const auto& S = static_cast<const TDefaultData&>(Source);
    AngleStep = S.AngleStep;
    Value3 = S.Value3;
    PickTolerance = S.PickTolerance;
    FShowRuler = S.FShowRuler;
}

void TDefaultData::WriteBody(TStream& Stream)
{
    TDrawObjTavDef::WriteBody(Stream);
    StreamWriteDouble(Stream, AngleStep);
    StreamWriteInt32(Stream, Value3);
    StreamWriteInt32(Stream, PickTolerance);
    StreamWriteByte(Stream, FShowRuler);
}

void TDefaultData::ReadBody(TStream& Stream, int32_t Version)
{
    auto ReadOwn = [&] {
        AngleStep = StreamReadDouble(Stream);
        Value3 = StreamReadInt32(Stream);
        PickTolerance = StreamReadInt32(Stream);
    };
    if (Version < 15) {
        ReadOwn();
        TDrawObjTavDef::ReadBody(Stream, Version);
    } else {
        TDrawObjTavDef::ReadBody(Stream, Version);
        ReadOwn();
    }
    if (Version >= 16)
        FShowRuler = StreamReadByte(Stream) != 0;
}

void TDefaultData::SetShowRuler(uint8_t Value)
{
    if (Value == FShowRuler)
        return;
    FShowRuler = Value;
    if (OnChange)
        OnChange(this);
}

// ---------------------------------------------------------------------------

void SetDefaultAttributes(TDefaultData* Data)
{
    gDefaultAttributes = Data;
}

TDefaultData* GetDefaultAttributes()
{
    return gDefaultAttributes;
}

int32_t GetDefaultFontHeight()
{
    return gDefaultAttributes ? gDefaultAttributes->Font.Height : 48;
}
