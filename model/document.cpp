#include "model/document.h"
#include "model/read_items.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "foundation/ini_file.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/layer.h"
#include "platform/message_box.h"
#include "platform/registry_store.h"
#include "platform/safe_write.h"

const char* const ApplicationTitle = "タヴロ";

std::unique_ptr<TDocuments> gDocuments;

namespace {

THistoryMenuLink* gHistoryMenu = nullptr;      // not owned
TSaveDialogLink* gSaveDialog = nullptr;     // not owned

bool PathExists(const std::string& Name)
{
    struct stat St;
    return lstat(Name.c_str(), &St) == 0;
}

// Retry/Cancel box of the save steps; True for Retry.
bool AskRetry(const std::string& Text)
{
    return MessageBox(nullptr, Text, ApplicationTitle, MB_RETRYCANCEL | MB_ICONERROR) == IDRETRY;
}

// The stream a save writes the new file through: buffered, on a file
// descriptor it owns, flushed to the disk by Sync.
class TSaveFileStream : public TStream {
public:
    // Name is only for messages: a failed write says which file and why.
    TSaveFileStream(int Fd, std::string Name) : FFd(Fd), FName(std::move(Name)) { FBuf.reserve(BufSize); }
    ~TSaveFileStream() override
    {
        if (FFd >= 0)
            ::close(FFd);
    }
    TSaveFileStream(const TSaveFileStream&) = delete;
    TSaveFileStream& operator=(const TSaveFileStream&) = delete;

    std::string ClassName() const override { return "TSaveFileStream"; }

    int32_t Read(void*, int32_t) override { return 0; }

    int32_t Write(const void* Buffer, int32_t Count) override
    {
        if (Count <= 0)
            return 0;
        const auto* P = static_cast<const uint8_t*>(Buffer);
        if (FBuf.size() + size_t(Count) > BufSize) {
            Flush();
            if (size_t(Count) >= BufSize) {
                WriteAll(P, size_t(Count));
                FPos += Count;
                FEnd = std::max(FEnd, FPos);
                return Count;
            }
        }
        FBuf.insert(FBuf.end(), P, P + Count);
        FPos += Count;
        FEnd = std::max(FEnd, FPos);
        return Count;
    }

    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override
    {
        int64_t Target = Offset;
        if (Origin == TSeekOrigin::soCurrent)
            Target = FPos + Offset;
        else if (Origin == TSeekOrigin::soEnd)
            Target = FEnd + Offset;
        if (Target == FPos)
            return FPos;
        Flush();
        if (Target < 0 || ::lseek(FFd, Target, SEEK_SET) < 0)
            throw Failure();
        FPos = Target;
        return FPos;
    }

    int64_t Size() override { return FEnd; }

    void Flush()
    {
        if (!FBuf.empty()) {
            const std::vector<uint8_t> Pending = std::move(FBuf);
            FBuf.clear();
            FBuf.reserve(BufSize);
            WriteAll(Pending.data(), Pending.size());
        }
    }

    // Everything on the disk, then closed; EWriteError on any failure.
    void SyncAndClose()
    {
        Flush();
        if (::fdatasync(FFd) != 0)
            throw Failure();
        const int Fd = FFd;
        FFd = -1;
        if (::close(Fd) != 0)
            throw Failure();
    }

private:
    static constexpr size_t BufSize = 1 << 16;

    void WriteAll(const uint8_t* P, size_t N)
    {
        // The buffered bytes belong at the position they were written at.
        while (N > 0) {
            const ssize_t Done = ::write(FFd, P, N);
            if (Done < 0) {
                if (errno == EINTR)
                    continue;
                throw Failure();
            }
            P += Done;
            N -= size_t(Done);
        }
    }

    // Made while errno still tells the system's reason (a full disk, a
    // write error of the device...).
    EWriteError Failure() const
    {
        return EWriteError("ﾌｧｲﾙ " + FName + " の書き込みに失敗しました。(" + std::strerror(errno) + ")");
    }

    int FFd;
    std::string FName;
    std::vector<uint8_t> FBuf;
    int64_t FPos = 0;  // logical position (buffer included)
    int64_t FEnd = 0;
};

// Makes a new empty file beside Name; Fd and TempName receive it. False when
// it cannot be made.
bool CreateTempBeside(const std::string& Name, int& Fd, std::string& TempName)
{
    if (!MakeTempBeside(Name, Fd, TempName))
        return false;
    // The permissions a plain new file would get (or the old file's).
    struct stat St;
    mode_t Mode;
    if (::stat(Name.c_str(), &St) == 0) {
        Mode = St.st_mode & 07777;
    } else {
        const mode_t Mask = ::umask(0);
        ::umask(Mask);
        Mode = 0666 & ~Mask;
    }
    ::fchmod(Fd, Mode);
    return true;
}

// The first bytes of a file, fewer when it is shorter or unreadable.
std::string FileHead(const std::string& Name, size_t Bytes)
{
    std::string Head(Bytes, '\0');
    const int Fd = OpenRegularFile(Name);
    size_t Got = 0;
    if (Fd >= 0) {
        while (Got < Bytes) {
            const ssize_t N = ::read(Fd, Head.data() + Got, Bytes - Got);
            if (N <= 0 && !(N < 0 && errno == EINTR))
                break;
            if (N > 0)
                Got += size_t(N);
        }
        ::close(Fd);
    }
    Head.resize(Got);
    return Head;
}

// A save killed half way leaves its temporary file beside the document. One
// is known as ours by its name and by starting as the document just written
// starts: the file header and the first chunk's tag, the same in every save
// (a save killed before writing leaves the file empty).
void RemoveInterruptedSaves(const std::string& Name)
{
    constexpr size_t HeadBytes = 10;
    const std::string Head = FileHead(Name, HeadBytes);
    if (Head.empty())
        return;
    RemoveStaleTempFiles(Name, [&Head](const std::string& Path) {
        const std::string Other = FileHead(Path, Head.size());
        return Head.compare(0, Other.size(), Other) == 0;
    });
}

void SyncFolderOf(const std::string& Name)
{
    std::string Dir = ExtractFilePath(Name);
    if (Dir.empty())
        Dir = ".";
    const int Fd = ::open(Dir.c_str(), O_RDONLY | O_DIRECTORY);
    if (Fd >= 0) {
        ::fsync(Fd);
        ::close(Fd);
    }
}

} // namespace

// ---------------------------------------------------------------------------
// File names

std::string ExtractFilePath(const std::string& Name)
{
    const size_t Slash = Name.rfind('/');
    return Slash == std::string::npos ? std::string() : Name.substr(0, Slash + 1);
}

std::string ExtractFileName(const std::string& Name)
{
    const size_t Slash = Name.rfind('/');
    return Slash == std::string::npos ? Name : Name.substr(Slash + 1);
}

std::string ChangeFileExt(const std::string& Name, const std::string& Ext)
{
    const size_t Slash = Name.rfind('/');
    const size_t Dot = Name.rfind('.');
    if (Dot != std::string::npos && (Slash == std::string::npos || Dot > Slash))
        return Name.substr(0, Dot) + Ext;
    return Name + Ext;
}

std::string CanonicalFileName(const std::string& Name)
{
    if (Name.find('/') == std::string::npos)
        return Name;
    std::error_code Ec;
    const std::filesystem::path Abs = std::filesystem::absolute(Name, Ec);
    if (Ec)
        return Name;
    const std::filesystem::path Canon = std::filesystem::weakly_canonical(Abs, Ec);
    return Ec ? Abs.lexically_normal().string() : Canon.string();
}

std::string DocumentCaption(const std::string& FileName, bool Modified)
{
    std::string S = ExtractFileBaseName(FileName);
    if (Modified)
        S += "(変更)";
    return S;
}

// ---------------------------------------------------------------------------
// Class values

std::unique_ptr<TOLECustomPage> NewPageTPage(THistoryCommand* AHistory)
{
    return std::make_unique<TPage>(AHistory);
}

std::unique_ptr<TOLEDocumentWex> NewDocumentTOLEDocumentWex(THistoryCommand* AHistory,
                                                            TOLEDocumentsWex* ARegistry)
{
    return std::make_unique<TOLEDocumentWex>(AHistory, ARegistry);
}

std::unique_ptr<TOLEDocumentWex> NewDocumentTDocument(THistoryCommand* AHistory,
                                                      TOLEDocumentsWex* ARegistry)
{
    return std::make_unique<TDocument>(AHistory, ARegistry);
}

// ---------------------------------------------------------------------------
// TOLEDocumentsWex

TOLEDocumentsWex::TOLEDocumentsWex(const std::string& ADefaultName, const std::string& AExtension,
                                   TMemIniFile* AIniFile, const std::string& ASection,
                                   const std::string& AKey, const TDocumentFileHeader& AHeader)
    : FDefaultName(ADefaultName),
      FExtension(AExtension),
      FIniFile(AIniFile),
      FSection(ASection),
      FKey(AKey),
      FHeader(AHeader),
      // The framework's own page class is abstract: TPage is the one page.
      FPageClass(&NewPageTPage),
      FDocumentClass(&NewDocumentTOLEDocumentWex)
{
}

TOLEDocumentsWex::~TOLEDocumentsWex()
{
    while (!FlstDocument.empty()) {
        std::unique_ptr<TOLEDocumentWex> Doc = std::move(FlstDocument.back());
        FlstDocument.pop_back();
        Doc.reset();
    }
}

void TOLEDocumentsWex::SetPageClass(TPageClass C)
{
    if (!FlstDocument.empty())
        throw EUserError("TDocumentsWex.SetPageClass: (FlstDocument.Count <> nil)");
    FPageClass = C;
}

void TOLEDocumentsWex::SetDocumentClass(TDocumentClass C)
{
    if (!FlstDocument.empty())
        throw EUserError("TDocumentsWex.SetDocumentClass: (FlstDocument.Count <> nil)");
    FDocumentClass = C;
}

TOLEDocumentWex* TOLEDocumentsWex::FindByFileName(const std::string& Name) const
{
    const std::string Wanted = CanonicalFileName(Name);
    for (const auto& Doc : FlstDocument)
        if (CanonicalFileName(Doc->FileName()) == Wanted)
            return Doc.get();
    return nullptr;
}

bool TOLEDocumentsWex::CanCloseAll()
{
    for (size_t I = 0; I < FlstDocument.size(); ++I)
        if (!FlstDocument[I]->CanClose())
            return false;
    return true;
}

TOLEDocumentWex* TOLEDocumentsWex::AddDocument(std::unique_ptr<TOLEDocumentWex> Doc)
{
    if (!Doc)
        throw EUserError("TDocumentsWex.AddDocument: (Doc = nil)");
    FlstDocument.push_back(std::move(Doc));
    return FlstDocument.back().get();
}

bool TOLEDocumentsWex::IsDocumentFile(const std::string& FileName) const
{
    const std::string Head = FileHead(FileName, DocumentFileSignatureSize);
    return Head.size() == DocumentFileSignatureSize &&
           std::memcmp(Head.data(), FHeader.data(), DocumentFileSignatureSize) == 0;
}

std::string TOLEDocumentsWex::NextDefaultName() const
{
    for (int32_t N = 1;; ++N) {
        const std::string Name = FDefaultName + std::to_string(N);
        bool Used = false;
        for (const auto& Doc : FlstDocument)
            if (ChangeFileExt(Doc->FileName(), "") == Name) {
                Used = true;
                break;
            }
        if (!Used)
            return Name;
    }
}

TOLEDocumentWex* TOLEDocumentsWex::NewDocument(int32_t Width, int32_t Height)
{
    std::unique_ptr<TOLEDocumentWex> Doc = FDocumentClass(nullptr, this);
    Doc->SetFileName(NextDefaultName());
    std::unique_ptr<TOLECustomPage> Page = FPageClass(Doc->History());
    TOLECustomPage* P = Doc->AddPage(std::move(Page));
    P->SetPageSize(Width, Height);
    TOLEDocumentWex* Result = AddDocument(std::move(Doc));
    Result->SetModified(false);
    return Result;
}

void TOLEDocumentsWex::FreeDocument(TOLEDocumentWex* Doc)
{
    for (auto It = FlstDocument.begin(); It != FlstDocument.end(); ++It)
        if (It->get() == Doc) {
            std::unique_ptr<TOLEDocumentWex> Owned = std::move(*It);
            FlstDocument.erase(It);
            Owned.reset();
            return;
        }
}

bool TOLEDocumentsWex::Owns(const TOLEDocumentWex* Doc) const
{
    for (const auto& D : FlstDocument)
        if (D.get() == Doc)
            return true;
    return false;
}

TOLEDocumentWex* TOLEDocumentsWex::GetDocument(int32_t Index) const
{
    if (Index < 0 || Index >= GetCount())
        throw EListError(SListIndexError, Index);
    return FlstDocument[size_t(Index)].get();
}

void TOLEDocumentsWex::SetDocumentHistoryMenuAndSaveDialog(THistoryMenuLink* List,
                                                           TSaveDialogLink* Dialog)
{
    gHistoryMenu = List;
    gSaveDialog = Dialog;
}

THistoryMenuLink* TOLEDocumentsWex::DocumentHistoryMenu()
{
    return gHistoryMenu;
}

TSaveDialogLink* TOLEDocumentsWex::DocumentSaveDialog()
{
    return gSaveDialog;
}

// ---------------------------------------------------------------------------
// TDocuments

TOLEDocumentWex* TDocuments::NewDocument(int32_t Width, int32_t Height)
{
    TOLEDocumentWex* Doc = TOLEDocumentsWex::NewDocument(Width, Height);
    if (TDocWindowFactory Factory = GetDocWindowFactory()) {
        // The window re-lays itself out as its resize handler would.
        if (TOLEFormDoc* Form = Factory(*Doc))
            Form->PageLayoutChanged();
    }
    if (auto* Page = dynamic_cast<TPage*>(Doc->GetPage(0))) {
        // The page keeps its unnamed first layer; the user draws on a
        // second, named one.
        TLayers* Layers = Page->GetLayers();
        auto Layer = std::make_unique<TLayer>();
        Layer->Name = "レイヤ１";
        Layers->SetCurrent(Layers->Add(std::move(Layer)));
    }
    return Doc;
}

void InitDocuments(TMemIniFile* Ini)
{
    gDocuments = std::make_unique<TDocuments>("画像", "srn", Ini, "4.0", "DirData",
                                              DocumentFileHeader);
    gDocuments->SetPageClass(&NewPageTPage);
    gDocuments->SetDocumentClass(&NewDocumentTDocument);
}

void FinalizeDocuments()
{
    gDocuments.reset();
}

// ---------------------------------------------------------------------------
// TOLEDocumentWex

TOLEDocumentWex::TOLEDocumentWex(THistoryCommand* AHistory, TOLEDocumentsWex* ARegistry)
    : TUndoObject(nullptr), FRegistry(ARegistry)
{
    if (AHistory)
        throw EUserError("TOLEDocumentWex.Create: (HistoryCommand <> nil).");
    FHistory = std::make_unique<THistoryCommand>();
    SetHistoryCommand(FHistory.get());
    FHistory->AddObj(this, -1);
    FPictures = std::make_unique<TListRecPict>(FHistory.get());
    // A picture stays while any step of the history can bring back an item
    // that uses it: each command keeps the handles its items use before and
    // after it, and what goes at its end or at an undo or redo is only what
    // neither the document nor any step still reachable uses. Undo and redo
    // then find every picture a step names under the handle it named.
    FHistory->OnChange = [this](THistoryCommand* H) {
        // The command is closed now: the steps it dropped (those ahead of
        // it, the oldest ones) hold nothing any more.
        if (const std::unique_ptr<TListPtrWex> Used = std::move(FUsedAtEnd); Used && !H->IsCommandOpen())
            KeepPictures(*Used);
        RefreshViews();
    };
    FHistory->OnCommandEnding = [this](THistoryCommand* H) {
        auto Used = std::make_unique<TListPtrWex>();
        UsedPictures(*Used);
        H->AddCommandRefs(HandlesOf(*Used));
        KeepPictures(*Used);
        FPictures->CommitNew();
        FUsedAtEnd = std::move(Used);
    };
    FHistory->OnUndo = [this](THistoryCommand*) { CollectPictures(); };
    FHistory->OnRedo = [this](THistoryCommand*) { CollectPictures(); };
    // A command rolled back changed nothing: the document is as unmodified
    // as it was before it.
    FHistory->OnCommandStart = [this](THistoryCommand* H) {
        FbModifiedAtStart = FbModified;
        FUsedAtEnd.reset();
        // The pictures the items name as the step starts: undoing it brings
        // them back.
        TListPtrWex Named;
        for (int32_t I = 0; I < FExtraPictures.Count(); ++I)
            Named.Add(FExtraPictures.Get(I));
        for (const auto& Page : FPages)
            Page->CollectNamedPictures(Named);
        H->AddCommandRefs(HandlesOf(Named));
    };
    FHistory->OnRolledBack = [this](THistoryCommand*) {
        if (!FbModifiedAtStart && FbModified)
            SetModified(false);
    };
}

TOLEDocumentWex::~TOLEDocumentWex()
{
    FbDestroying = true;
    FHistory->OnChange = nullptr;
    FHistory->OnCommandEnding = nullptr;
    FHistory->OnUndo = nullptr;
    FHistory->OnRedo = nullptr;
    FHistory->OnCommandStart = nullptr;
    FHistory->OnRolledBack = nullptr;
    OnChange = nullptr;
    // Pages detach their views as they go.
    while (!FPages.empty()) {
        std::unique_ptr<TOLECustomPage> Page = std::move(FPages.back());
        FPages.pop_back();
        Page.reset();
    }
    const std::vector<TOLEFormDoc*> Views = std::move(FViews);
    FViews.clear();
    for (TOLEFormDoc* View : Views) {
        View->SetPage(nullptr);
        View->Release();
    }
    FExtraPictures.Clear();
    FPictures.reset();
    // The history goes with the members; it detaches this object first.
}

void TOLEDocumentWex::Undo(int32_t, const void*, int32_t)
{
    throw EUserError("TOLEDocumentWex: Undo Not Supported.");
}

void TOLEDocumentWex::Redo(int32_t, const void*, int32_t)
{
    throw EUserError("TOLEDocumentWex: Redo Not Supported.");
}

const TDocumentFileHeader& TOLEDocumentWex::FileHeader() const
{
    return FRegistry ? FRegistry->Header() : DocumentFileHeader;
}

std::unique_ptr<TOLECustomPage> TOLEDocumentWex::MakePage()
{
    const TPageClass Class = FRegistry ? FRegistry->PageClass() : &NewPageTPage;
    std::unique_ptr<TOLECustomPage> Page = Class(FHistory.get());
    Page->SetDocument(this);
    return Page;
}

TOLECustomPage* TOLEDocumentWex::GetPage(int32_t Index) const
{
    if (Index < 0 || Index >= GetPageCount())
        throw EListError(SListIndexError, Index);
    return FPages[size_t(Index)].get();
}

TOLECustomPage* TOLEDocumentWex::AddPage(std::unique_ptr<TOLECustomPage> Page)
{
    if (!Page)
        throw EUserError("TOLEDocumentWex.AddPage: (Page = nil)");
    Page->SetDocument(this);
    FPages.push_back(std::move(Page));
    return FPages.back().get();
}

void TOLEDocumentWex::ReplacePages(std::vector<std::unique_ptr<TOLECustomPage>>& Pages)
{
    // The old pages detach their views; those views must not free the
    // document meanwhile.
    ++FiKeepAlive;
    std::vector<std::unique_ptr<TOLECustomPage>> Old = std::move(FPages);
    FPages = std::move(Pages);
    Pages.clear();
    try {
        while (!Old.empty()) {
            Old.back().reset();
            Old.pop_back();
        }
    } catch (...) {
        --FiKeepAlive;
        throw;
    }
    --FiKeepAlive;
}

void TOLEDocumentWex::AddForm(TOLEFormDoc* View)
{
    if (View && std::find(FViews.begin(), FViews.end(), View) == FViews.end())
        FViews.push_back(View);
}

void TOLEDocumentWex::RemoveForm(TOLEFormDoc* View)
{
    const auto It = std::find(FViews.begin(), FViews.end(), View);
    if (It == FViews.end())
        return;
    FViews.erase(It);
    if (FViews.empty() && !FbDestroying && FiKeepAlive == 0 && FRegistry && FRegistry->Owns(this))
        FRegistry->FreeDocument(this);
}

void TOLEDocumentWex::SetFileName(const std::string& Name)
{
    FFileName = Name;
    UpdateCaptions();
}

void TOLEDocumentWex::SetModified(bool Value)
{
    const uint8_t B = Value ? 1 : 0;
    if (B != FbModified) {
        FbModified = B;
        UpdateCaptions();
    }
    if (OnChange)
        OnChange(this);
}

void TOLEDocumentWex::UpdateCaptions()
{
    const std::string Caption = DocumentCaption(FFileName, Modified());
    for (const auto& Page : FPages)
        for (int32_t I = 0; I < Page->GetFormCount(); ++I) {
            TOLEFormDoc* View = Page->GetForm(I);
            if (View->GetCaption() != Caption)
                View->SetCaption(Caption);
        }
}

void TOLEDocumentWex::RefreshViews()
{
    for (const auto& Page : FPages)
        for (int32_t I = 0; I < Page->GetFormCount(); ++I)
            Page->GetForm(I)->HistoryChanged();
}

void TOLEDocumentWex::UsedPictures(TListPtrWex& Used) const
{
    for (int32_t I = 0; I < FExtraPictures.Count(); ++I)
        if (Used.IndexOf(FExtraPictures.Get(I)) < 0)
            Used.Add(FExtraPictures.Get(I));
    for (const auto& Page : FPages)
        Page->CollectPictureHandles(Used);
}

std::vector<int32_t> TOLEDocumentWex::HandlesOf(const TListPtrWex& List)
{
    std::vector<int32_t> Handles;
    Handles.reserve(size_t(List.Count()));
    for (int32_t I = 0; I < List.Count(); ++I)
        Handles.push_back(static_cast<int32_t>(reinterpret_cast<intptr_t>(List.Get(I))));
    return Handles;
}

void TOLEDocumentWex::KeepPictures(const TListPtrWex& Used)
{
    FPictures->KeepPictures(Used, FHistory->ReachableRefs());
}

void TOLEDocumentWex::CollectPictures()
{
    TListPtrWex Used;
    UsedPictures(Used);
    KeepPictures(Used);
}

std::string TOLEDocumentWex::CloseQueryText() const
{
    return (FFileName.empty() ? std::string("(無題)") : FFileName) +
           " は変更されています。保存しますか？";
}

bool TOLEDocumentWex::CanClose()
{
    if (!Modified())
        return true;
    switch (MessageBox(nullptr, CloseQueryText(), ApplicationTitle,
                       MB_YESNOCANCEL | MB_ICONEXCLAMATION)) {
    case IDYES:
        return Save();
    case IDNO:
        return true;
    default:
        return false;
    }
}

bool TOLEDocumentWex::CanCloseForm(TOLEFormDoc* Form)
{
    if (FViews.size() == 1) {
        if (FViews[0] != Form)
            throw EUserError("TOLEDocumentWex.CanCloseForm: <> List.Items[0] <> pointer(Form)");
        return CanClose();
    }
    return true;
}

void TOLEDocumentWex::AddToRecentFiles() const
{
    if (THistoryMenuLink* List = TOLEDocumentsWex::DocumentHistoryMenu())
        List->Add(FFileName);
}

void TOLEDocumentWex::Open()
{
    // Read into memory at once: the file is shut before anything changes.
    TMemoryStream Data;
    bool Opened = false;
    // Only a regular file is opened: a pipe would wait for a writer, a device
    // never end, and a folder is no document either.
    try {
        TFileStream File(FFileName, fmOpenRead | fmShareDenyWrite);
        Opened = true;
        Data.LoadFromStream(File);
    } catch (const EFOpenError&) {
        Opened = false;
    }
    if (!Opened)
        throw EUserError(FFileName + " を開けません。");
    Data.SetPosition(0);
    const std::string Name = FFileName;
    // A drawing holding what cannot be drawn is refused whole, naming the
    // file; the message is made outside the handler, so that it is not
    // chained with an address.
    std::string Undrawable;
    try {
        LoadFromStream(Data);
    } catch (const EUndrawableDocument& E) {
        Undrawable = E.Message();
    }
    if (!Undrawable.empty())
        throw EUserError(Name + " を開けません。\n" + Undrawable);
    FFileName = Name;
    AddToRecentFiles();
    SetModified(false);
}

bool TOLEDocumentWex::Save()
{
    if (FbNameProposed || ExtractFilePath(FFileName).empty())
        return SaveAs();
    return SaveToFile(FFileName);
}

std::string TOLEDocumentWex::LastFolder() const
{
    if (!FRegistry)
        return {};
    if (TMemIniFile* Ini = FRegistry->IniFile())
        return Ini->ReadString(FRegistry->Section(), FRegistry->Key(), "");
    std::string Value;
    if (RegQueryString(HKEY_CURRENT_USER, FRegistry->Section(), FRegistry->Key(), Value))
        return Value;
    return {};
}

void TOLEDocumentWex::StoreLastFolder(const std::string& Folder) const
{
    if (!FRegistry)
        return;
    if (TMemIniFile* Ini = FRegistry->IniFile()) {
        Ini->WriteString(FRegistry->Section(), FRegistry->Key(), Folder);
        return;
    }
    if (RegCreateKey(HKEY_CURRENT_USER, FRegistry->Section()))
        RegSetString(HKEY_CURRENT_USER, FRegistry->Section(), FRegistry->Key(), Folder);
}

bool TOLEDocumentWex::SaveAs()
{
    TSaveDialogLink* Dialog = TOLEDocumentsWex::DocumentSaveDialog();
    if (!Dialog)
        return false;
    Dialog->FileName = ExtractFileName(FFileName);
    std::string Folder = ExtractFilePath(FFileName);
    if (Folder.empty())
        Folder = LastFolder();
    Dialog->InitialDir = Folder;
    if (!Dialog->Execute())
        return false;
    const std::string Name = Dialog->FileName;
    StoreLastFolder(ExtractFilePath(Name));
    // The dialog does not ask; a name made up for a picture is not ours yet.
    if ((FbNameProposed || Name != FFileName) && PathExists(Name) &&
        MessageBox(nullptr, Name + " は既に存在します。上書きしますか？", ApplicationTitle,
                   MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
        return false;
    // SaveToFile takes the name (and updates the captions) once written and
    // adds it to the recent files.
    return SaveToFile(Name);
}

bool TOLEDocumentWex::SaveToFile(const std::string& Name)
{
    // 0. Only a regular file is replaced, the one a link names included (the
    // link stays); a pipe, a device or a folder in its place is left alone.
    std::string Target;
    while (const int Err = ReplaceTarget(Name, Target))
        if (!AskRetry("ﾌｧｲﾙ " + Name + " の作成に失敗しました。(" + FileErrorText(Err) + ")"))
            return false;

    // 1. The complete new file beside the old one.
    int Fd = -1;
    std::string Temp;
    while (!CreateTempBeside(Target, Fd, Temp))
        if (!AskRetry("ﾌｧｲﾙ " + Name + " の作成に失敗しました。"))
            return false;
    {
        auto File = std::make_unique<TSaveFileStream>(Fd, Name);
        try {
            WriteDocumentFile(*File);
            File->SyncAndClose();
        } catch (...) {
            File.reset();
            ::unlink(Temp.c_str());
            throw;
        }
    }

    // 2. The old file becomes the backup: a second name for it while it
    // keeps its own, so the name always holds a whole file.
    bool MovedAway = false;
    std::string Bak;
    if (PathExists(Target)) {
        // Beside the file itself: a second name for it must be on its disk.
        Bak = ChangeFileExt(Target, ".bak");
        for (;;) {
            // An old backup goes only when it is a file (or a link): a pipe
            // or a device of that name is no backup of ours.
            std::string BakFile;
            const int Refused = ReplaceTarget(Bak, BakFile);
            if (!Refused && (!PathExists(Bak) || ::unlink(Bak.c_str()) == 0))
                break;
            const std::string Why = Refused == ErrNotRegularFile ? "(" + FileErrorText(Refused) + ")" : "";
            if (!AskRetry("旧ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ " + Bak + " の削除に失敗しました。" + Why)) {
                ::unlink(Temp.c_str());
                return false;
            }
        }
        for (;;) {
            if (::link(Target.c_str(), Bak.c_str()) == 0)
                break;
            // File systems without hard links: move the old file instead.
            if ((errno == EPERM || errno == EOPNOTSUPP || errno == EMLINK || errno == ENOSYS) &&
                ::rename(Target.c_str(), Bak.c_str()) == 0) {
                MovedAway = true;
                break;
            }
            if (!AskRetry("ﾊﾞｯｸｱｯﾌﾟﾌｧｲﾙ " + Bak + " の作成に失敗しました。")) {
                ::unlink(Temp.c_str());
                return false;
            }
        }
    }

    // 3. The new file takes the name.
    while (::rename(Temp.c_str(), Target.c_str()) != 0)
        if (!AskRetry("ﾌｧｲﾙ " + Name + " の作成に失敗しました。")) {
            ::unlink(Temp.c_str());
            if (MovedAway)
                ::rename(Bak.c_str(), Target.c_str());
            return false;
        }
    SyncFolderOf(Target);
    RemoveInterruptedSaves(Target);

    FbNameProposed = false;
    SetFileName(Name);
    AddToRecentFiles();
    SetModified(false);
    return true;
}

void TOLEDocumentWex::MakeUniqueFileName(const std::string& Name)
{
    const std::string Ext = FRegistry ? FRegistry->Extension() : std::string("srn");
    const std::string Base = ChangeFileExt(Name, "");
    std::string Result = Base + "." + Ext;
    for (int32_t N = 1; PathExists(Result) || (FRegistry && FRegistry->FindByFileName(Result));
         ++N)
        Result = Base + "_" + std::to_string(N) + "." + Ext;
    SetFileName(Result);
    FbNameProposed = true;
}
