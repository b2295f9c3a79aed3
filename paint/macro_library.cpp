#include "paint/macro_library.h"

#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "paint/macro_library_check.h"
#include "paint/paint_macro.h"
#include "platform/cp932.h"
#include "platform/regular_file.h"

#include <filesystem>
#include <system_error>

std::unique_ptr<TMacroLibrary> gMacroLibrary;
std::unique_ptr<TMacroLibrary> gMacPathLibrary;

namespace {

constexpr uint16_t cMaxLineParams = 256;

const char cSignature[3] = {'t', 'v', 'm'};
// Bytes of a stored string before its terminating 0.
constexpr size_t cMaxStringBytes = 254;

// Reads one library file; any damage is reported against its name.
class TMacroFileReader {
public:
    TMacroFileReader(TMemoryStream& Stream, const std::string& FileName)
        : FStream(Stream), FFileName(FileName)
    {
    }

    [[noreturn]] void Malformed() const { throw EUserError(FFileName + "の中身が異常です。"); }

    uint8_t ReadByte() { return StreamReadByte(FStream); }
    uint32_t ReadUInt32() { return static_cast<uint32_t>(StreamReadInt32(FStream)); }

    // The byte after a lead byte is taken whatever it is, so a string ends
    // only at a 0 that starts a character; its text is what precedes the
    // first 0 byte.
    // The bytes are taken from the file's copy in memory, not one read each:
    // the libraries hold thousands of strings, read at every start.
    std::string ReadString()
    {
        const auto* Data = static_cast<const uint8_t*>(FStream.Memory());
        const int64_t Size = FStream.Size();
        int64_t Pos = FStream.Position();
        const auto Next = [&] {
            if (Pos >= Size) {
                // Past the end: the stream raises its own read error.
                FStream.SetPosition(Size);
                ReadByte();
            }
            return Data[Pos++];
        };
        std::string Buffer;
        for (;;) {
            const uint8_t C = Next();
            if (C == 0)
                break;
            Buffer += static_cast<char>(C);
            if (IsLeadByteChar(C))
                Buffer += static_cast<char>(Next());
            if (Buffer.size() > cMaxStringBytes)
                Malformed();
        }
        FStream.SetPosition(Pos);
        return Cp932ToUtf8(std::string_view(Buffer).substr(0, Buffer.find('\0')));
    }

    TMacroLine ReadLine()
    {
        TMacroLine Line;
        Line.FunctionName = ReadString();
        Line.CountWord = ReadUInt32();
        // No paint function takes more than 256 arguments; a larger count is
        // damage, and would make every line of the file a large allocation.
        if (Line.ParamCount() > cMaxLineParams)
            Malformed();
        Line.Params.resize(Line.ParamCount());
        Line.ResultName = ReadString();
        size_t Next = 0;
        while (ReadByte() == 0) {
            // More pairs than parameters: the file is damaged.
            if (Next >= Line.Params.size())
                Malformed();
            TMacroParam& P = Line.Params[Next++];
            P.Value = ReadString();
            P.Caption = ReadString();
        }
        return Line;
    }

private:
    TMemoryStream& FStream;
    const std::string& FFileName;
};

std::string ProgramFolder()
{
    std::error_code Ec;
    const std::filesystem::path Exe = std::filesystem::read_symlink("/proc/self/exe", Ec);
    std::string Folder = Ec ? std::string() : Exe.parent_path().string();
    AddPathDelimiter(Folder);
    return Folder;
}

// The libraries come with the program and are never written: one that does
// not read whole was damaged where it lies, and only installing the program
// again brings it back; so is a pipe or a device in a library's place (never
// waited on). Raised outside the handler, so that the stream's own reason is
// not chained in front of it.
void ReadInstalledLibrary(std::unique_ptr<TMacroLibrary>& Library, const std::string& FileName)
{
    bool Damaged = false;
    try {
        TMacro::ReadMacroFile(Library, FileName);
    } catch (const EFOpenError& E) {
        if (E.Error() != ErrNotRegularFile)
            throw;
        Damaged = true;
    } catch (const Exception&) {
        Damaged = true;
    }
    if (Damaged)
        throw DamagedMacroLibraryError(FileName);
}

std::string gMacroLibraryFileName;
std::string gMacPathLibraryFileName;

} // namespace

// ---------------------------------------------------------------------------
// TMacroLibrary

TMacroLibrary::TMacroLibrary() = default;
TMacroLibrary::~TMacroLibrary() = default;

const TMacro* TMacroLibrary::Objects(int32_t Index) const
{
    FNames.Strings(Index); // the list's index error outside the range
    return FMacros[static_cast<size_t>(Index)].get();
}

int32_t TMacroLibrary::AddObject(const std::string& Name, std::unique_ptr<TMacro> Macro)
{
    FMacros.push_back(std::move(Macro));
    return FNames.AddObject(Name, FMacros.back().get());
}

// ---------------------------------------------------------------------------
// Reading a library file

void TMacro::ReadMacroFile(std::unique_ptr<TMacroLibrary>& Library, const std::string& FileName)
{
    TMemoryStream Content;
    {
        std::unique_ptr<TFileStream> File;
        try {
            File = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
        } catch (const EFOpenError& E) {
            throw EFOpenError("TMacro.ReadMacroFile:" + FileName + " にアクセスできません。", E.Error());
        }
        Content.LoadFromStream(*File);
    }
    Content.SetPosition(0);

    TMacroFileReader Reader(Content, FileName);
    char Header[6];
    Content.ReadBuffer(Header, 6);
    if (Header[0] != cSignature[0] || Header[1] != cSignature[1] || Header[2] != cSignature[2])
        Reader.Malformed();

    // The new list replaces the old one only once the whole file is read.
    auto NewLibrary = std::make_unique<TMacroLibrary>();
    while (Reader.ReadByte() == 0) {
        auto Macro = std::make_unique<TMacro>();
        Macro->FstrName = Reader.ReadString();
        while (Reader.ReadByte() == 0)
            Macro->FLines.push_back(Reader.ReadLine());
        const std::string Name = Macro->FstrName;
        NewLibrary->AddObject(Name, std::move(Macro));
    }
    // The list ends at the file's last byte: a damaged continuation byte
    // would otherwise end it early and drop every macro after it unnoticed.
    if (Content.Position() != Content.Size())
        Reader.Malformed();
    Library = std::move(NewLibrary);
}

void LoadMacroLibraries(const std::string& Folder)
{
    gMacroLibrary = std::make_unique<TMacroLibrary>();
    gMacPathLibrary = std::make_unique<TMacroLibrary>();
    std::string Dir = Folder.empty() ? ProgramFolder() : Folder;
    AddPathDelimiter(Dir);
    gMacroLibraryFileName = Dir + "Macro.tvm";
    gMacPathLibraryFileName = Dir + "MacPath.tvm";
    ReadInstalledLibrary(gMacroLibrary, gMacroLibraryFileName);
    ReadInstalledLibrary(gMacPathLibrary, gMacPathLibraryFileName);
}

void CheckMacroLibraries()
{
    // A byte changed inside a name or a value reads whole: what it breaks
    // shows only against what the program knows of its own macros.
    if (!gMacroLibrary || !MacroLibraryFault(*gMacroLibrary, false, nullptr).empty())
        throw DamagedMacroLibraryError(MacroLibraryFileName());
    if (!gMacPathLibrary || !MacroLibraryFault(*gMacPathLibrary, true, gMacroLibrary.get()).empty())
        throw DamagedMacroLibraryError(gMacPathLibraryFileName);
}

std::string MacroLibraryFileName()
{
    return gMacroLibraryFileName.empty() ? ProgramFolder() + "Macro.tvm" : gMacroLibraryFileName;
}

EUserError DamagedMacroLibraryError(const std::string& FileName)
{
    return EUserError("マクロライブラリファイル " + FileName +
                      " は壊れているため読み込めません。プログラムを再インストールしてください。");
}

void FreeMacroLibraries()
{
    gMacroLibrary.reset();
    gMacPathLibrary.reset();
}
