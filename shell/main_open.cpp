// Opening documents: every road ends in TfrmTavro::OpenFile (documents) or
// TfrmTavro::OpenImageFile (pictures, which become a document holding one
// picture rectangle); the batch conversion to BMP and the TWAIN input.
#include "shell/main_form.h"

#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/document.h"
#include "model/layer.h"
#include "model/page.h"
#include "model/param_shapes.h"
#include "paint/fill_value.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/clipboard_formats.h"
#include "platform/device_context.h"
#include "platform/dib.h"
#include "platform/message_box.h"
#include "platform/qt/application_wex.h"
#include "platform/qt/clipboard_mime.h"
#include "platform/qt/dde_server.h"
#include "platform/safe_write.h"
#include "raster/bmp_conv.h"
#include "raster/picture_file.h"
#include "raster/rec_picture.h"
#include "raster/twain.h"
#include "shell/doc_window.h"
#include "shell/http_get.h"
#include "ui/data_object.h"
#include "ui/draw_item_clipboard.h"
#include "ui/file_data_object.h"
#include "ui/preview_dialogs.h"

#include <QCoreApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>


namespace {

constexpr const char* Section = "4.0";
constexpr const char* ImageMacroName = "塗り(ボカシ)";

bool SameIgnoringCase(const std::string& A, const std::string& B)
{
    if (A.size() != B.size())
        return false;
    for (size_t I = 0; I < A.size(); ++I) {
        const auto Lower = [](unsigned char C) { return C >= 'A' && C <= 'Z' ? C + 32 : C; };
        if (Lower(static_cast<unsigned char>(A[I])) != Lower(static_cast<unsigned char>(B[I])))
            return false;
    }
    return true;
}

// The extension from the last "." of the last component, with the dot.
std::string ExtensionOf(const std::string& Name)
{
    const size_t Slash = Name.find_last_of('/');
    const size_t Dot = Name.find_last_of('.');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
        return "";
    return Name.substr(Dot);
}

// The unmodified untitled start document when it is the only one open.
TOLEDocumentWex* LoneUntitledDocument()
{
    if (!gDocuments || gDocuments->GetCount() != 1)
        return nullptr;
    TOLEDocumentWex* Doc = gDocuments->GetDocument(0);
    return Doc->FileName() == gDocuments->DefaultName() + "1" && !Doc->Modified() ? Doc : nullptr;
}

// A global block freed when the guard goes, unless taken back.
struct TBlockGuard {
    HGLOBAL Block;
    ~TBlockGuard()
    {
        if (Block)
            GlobalFree(Block);
    }
    HGLOBAL Release() { return std::exchange(Block, nullptr); }
};

// Reads a dropped file as draw-item text: its first line is checked before
// anything else is read, and a file larger than MaxBytes is refused.
bool ReadDrawItemTextFile(const std::string& Path, int64_t MaxBytes, std::string& Text)
{
    // Only a regular file: a dropped pipe or device is never read.
    const int Fd = OpenRegularFile(Path);
    if (Fd < 0)
        return false;
    struct TClose {
        int Fd;
        ~TClose() { ::close(Fd); }
    } Close{Fd};
    struct stat St {};
    if (::fstat(Fd, &St) != 0 || St.st_size > MaxBytes)
        return false;
    const auto ReadUpTo = [Fd](char* To, size_t Count) {
        size_t Done = 0;
        while (Done < Count) {
            const ssize_t N = ::read(Fd, To + Done, Count - Done);
            if (N < 0 && errno == EINTR)
                continue;
            if (N <= 0)
                break;
            Done += size_t(N);
        }
        return Done;
    };
    const size_t Size = size_t(St.st_size);
    char Head[64] = {};
    const size_t HeadBytes = ReadUpTo(Head, std::min(Size, sizeof Head));
    if (!BlockBeginsWithDrawItem(Head, HeadBytes))
        return false;
    Text.assign(Size, '\0');
    std::memcpy(Text.data(), Head, HeadBytes);
    return HeadBytes == std::min(Size, sizeof Head) &&
           ReadUpTo(Text.data() + HeadBytes, Size - HeadBytes) == Size - HeadBytes;
}

// A file that does not open is told in one box: which file, and why. Raised
// outside any handler, so that the reason is not chained with an address.
[[noreturn]] void RefuseOpen(const std::string& Name, const std::string& Reason)
{
    throw EUserError(Name + " の読み込みに失敗しました。\n" + Reason);
}

} // namespace

bool DdeOpenPath(const std::string& Text, std::string& Path)
{
    // The prefix's and the end's quotes must be two characters.
    if (Text.size() < 12)
        return false;
    if (!SameIgnoringCase(Text.substr(0, 7), "[open(\"") ||
        !SameIgnoringCase(Text.substr(Text.size() - 5), "\")]\r\n"))
        return false;
    Path = Text.substr(7, Text.size() - 12);
    return true;
}

// ---------------------------------------------------------------------------
// OpenFile

void TfrmTavro::OpenFile(const std::string& FileName)
{
    // No file system holds such a name, and spelling it out component by
    // component would take minutes.
    if (FileName.size() > PATH_MAX)
        RefuseOpen(FileName, FileName + " を開けません。");
    // A document saved under another extension (a typed "mydoc.png") is
    // known by its first bytes.
    if (!SameIgnoringCase(ExtensionOf(FileName), ".srn") && !gDocuments->IsDocumentFile(FileName)) {
        OpenImage(FileName);
        return;
    }
    const std::string Name = GetLongFileName(FileName);
    if (TOLEDocumentWex* Open = gDocuments->FindByFileName(Name)) {
        TOLECustomPage* Page = Open->GetPageCount() > 0 ? Open->GetPage(0) : nullptr;
        auto* C = Page && Page->GetFormCount() > 0 ? dynamic_cast<TDocWindow*>(Page->GetForm(0)) : nullptr;
        if (C && C->SubWindow())
            MdiArea()->setActiveSubWindow(C->SubWindow());
        return;
    }
    if (Name.empty())
        return;
    AppIniFile().WriteString(Section, "DirData", ExtractFilePath(Name));
    std::unique_ptr<TOLEDocumentWex> Doc = gDocuments->DocumentClass()(nullptr, gDocuments.get());
    TOLEDocumentWex* Lone = LoneUntitledDocument();
    Doc->SetFileName(Name);
    bool Failed = false;
    std::string Reason;
    try {
        Doc->Open();
    } catch (const Exception& E) {
        Failed = true;
        Reason = E.Message();
    } catch (...) {
        Failed = true;
        Reason = SUnexpectedError;
    }
    if (Failed) {
        Doc->SetFileName("");
        Doc.reset();
        RefuseOpen(Name, Reason);
    }
    if (Lone) {
        if (Lone->GetPageCount() > 0) {
            TOLECustomPage* Page = Lone->GetPage(0);
            for (int32_t I = Page->GetFormCount(); I-- > 0;)
                Page->GetForm(I)->Release();
        }
        Lone->SetFileName("");
        gDocuments->FreeDocument(Lone);
    }
    TOLEDocumentWex* Added = gDocuments->AddDocument(std::move(Doc));
    Added->SetModified(false);
    TDocWindow::CreateDoc(*MdiArea(), *Added, *this);
}

void TfrmTavro::OpenFiles(const TStringList& Files)
{
    for (int32_t I = 0; I < Files.Count(); ++I) {
        OpenFile(Files.Strings(I));
        setEnabled(false);
        QCoreApplication::processEvents();
        setEnabled(true);
    }
}

// ---------------------------------------------------------------------------
// Pictures

void TfrmTavro::OpenImage(const std::string& FileName)
{
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    std::string InfoText;
    TPictureInfo Info{};
    std::string Reason;
    // Told as a document that does not load is told, and nothing opens.
    if (LoadPicture(FileName, Header, Bits, 1, nullptr, 0, false, InfoText, Info, Reason) != lpOK)
        RefuseOpen(FileName, Reason);
    if (TOLEDocumentWex* Doc = OpenImageFile(Header, Bits, FileName))
        Doc->MakeUniqueFileName(FileName);
}

TOLEDocumentWex* TfrmTavro::OpenImageFile(HGLOBAL Info, uint8_t* Bits, const std::string& FileName)
{
    // Both blocks are ours from here on, and each is freed exactly once:
    // by its guard, or by the picture record that takes it over.
    TBlockGuard InfoBlock{Info};
    TBlockGuard BitsBlock{Bits};
    TOLEDocumentWex* Lone = LoneUntitledDocument();
    const auto* H = static_cast<const BITMAPINFOHEADER*>(GlobalLock(Info));
    if (!H || !Bits)
        throw EUserError("TfrmTavro.OpenImageFile: Info = nil");
    const int32_t Width = H->biWidth;
    const int32_t Height = H->biHeight < 0 ? -H->biHeight : H->biHeight;
    const uint16_t BitCount = H->biBitCount;
    GlobalUnlock(Info);

    TOLEDocumentWex* Doc = gDocuments->NewDocument(Width, Height);
    TrecPicture Picture;
    struct TPictureGuard {
        TrecPicture& P;
        ~TPictureGuard() { RecPictureClear(P); }
    } PictureGuard{Picture};
    try {
        auto* Page = dynamic_cast<TPage*>(Doc->GetPage(0));
        if (!Page)
            throw EUserError("TfrmTavro.OpenImageFile: Page is not TPage");
        auto Rect = std::make_unique<TRectObj>(Page, -1);
        Rect->SetFrame(0, 0, Width, Height);

        const size_t InfoSize = GlobalSize(Info);
        HGLOBAL Copy = GlobalAllocQ(GMEM_FIXED, InfoSize);
        std::memcpy(Copy, Info, InfoSize);
        GlobalFree(InfoBlock.Release());
        Picture.pBIHeader = Copy;
        Picture.pBits = static_cast<uint8_t*>(BitsBlock.Release());
        if (BitCount != 24) {
            TrecPicture Converted;
            RecPictureConvertTo24(Converted, Picture, false);
            RecPictureClear(Picture);
            Picture = Converted;
        }
        Picture.iLeft = 0;
        Picture.iTop = 0;

        TFillPictParam Param;
        Param.iWidth = Width;
        Param.iHeight = Height;
        Param.iHandle = Doc->GetPictureStore()->AddPicture(-1, 0, 0, 0.0, TPoint{0, 0}, Width, Height, 0,
                                                           Picture, FileName);

        const int32_t Index = gMacroLibrary ? gMacroLibrary->IndexOf(ImageMacroName) : -1;
        if (Index < 0)
            throw EUserError("TfrmTavro.OpenImageFile: gslstMacroPaint.IndexOf(strMacroName) < 0");
        auto Macro = std::make_unique<TMacro>();
        Macro->Assign(*gMacroLibrary->Objects(Index));
        Macro->SetParamValue("塗り方法", "41" + FillPictParamToStr(Param));

        Rect->Macros().Clear();
        Rect->Macros().Add(std::move(Macro));
        Rect->SetFillPath(1);
        Rect->SetLayer(Page->GetLayers()->GetCurrent());
        Page->RootGroup().AddChild(std::move(Rect), -1);
        Page->InvalidateRect(nullptr, true);
    } catch (...) {
        gDocuments->FreeDocument(Doc);
        throw;
    }
    if (Lone) {
        Lone->SetFileName("");
        gDocuments->FreeDocument(Lone);
    }
    return Doc;
}

// ---------------------------------------------------------------------------
// Menu commands

void TfrmTavro::actOpenExecute(QObject*)
{
    dlgOpen()->FileName.clear();
    dlgOpen()->InitialDir = AppIniFile().ReadString(Section, "DirData", "");
    if (dlgOpen()->Execute())
        OpenFiles(dlgOpen()->Files);
}

void TfrmTavro::actOpenImageExecute(QObject*)
{
    dlgOpenImage()->FileName.clear();
    dlgOpenImage()->InitialDir = AppIniFile().ReadString(Section, "DirGrph", "");
    if (!dlgOpenImage()->Execute())
        return;
    AppIniFile().WriteString(Section, "DirGrph", ExtractFilePath(dlgOpenImage()->FileName));
    OpenFiles(dlgOpenImage()->Files);
}

void TfrmTavro::HistoryMenuHistorySelected(THistoryMenu*, const std::string& FileName)
{
    OpenFile(FileName);
}

void TfrmTavro::actConvertToBmpExecute(QObject*)
{
    dlgOpen()->FileName.clear();
    dlgOpen()->InitialDir = AppIniFile().ReadString(Section, "DirData", "");
    if (!dlgOpen()->Execute())
        return;
    for (int32_t I = 0; I < dlgOpen()->Files.Count(); ++I)
        if (!ConvertFileToBmp(dlgOpen()->Files.Strings(I)))
            return;
}

bool TfrmTavro::ConvertFileToBmp(const std::string& FileName)
{
    // The picture beside a document is often the one it was drawn from:
    // it is replaced only when the person says so, asked as a save asks.
    const std::string Bmp = ChangeFileExt(FileName, ".bmp");
    std::error_code Ec;
    if (std::filesystem::exists(Bmp, Ec))
        switch (MessageBox(this, Bmp + " は既に存在します。上書きしますか？", ApplicationTitle,
                           MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON2)) {
        case IDYES:
            break;
        case IDNO:
            return true;
        default:
            return false;
        }
    std::unique_ptr<TOLEDocumentWex> Doc = gDocuments->DocumentClass()(nullptr, gDocuments.get());
    try {
        Doc->SetFileName(FileName);
        Doc->Open();
        if (Doc->GetPageCount() > 0) {
            TOLECustomPage* Page = Doc->GetPage(0);
            // A view without a window gives the page its pixels.
            TSilentFormDoc View;
            Page->AddForm(&View);
            struct TDetach {
                TOLECustomPage* Page;
                TOLEFormDoc* View;
                ~TDetach() { Page->RemoveForm(View); }
            } Detach{Page, &View};
            Page->RenderInMode(3);
            TrecPicture* Picture = Page->GetPagePicture();
            if (!Picture)
                throw EUserError(FileName + " の描画に失敗しました。");
            if (!SaveBmpFile(Bmp, RecPictureHeader(*Picture), Picture->pBits, false))
                throw EUserError(Bmp + " を作成できません。");
        }
    } catch (...) {
        WarningMessageBox(this, FileName + " の変換に失敗しました。");
    }
    return true;
}

void TfrmTavro::actSelectTWAINExecute(QObject*)
{
    TWAIN_SelectImageSource(reinterpret_cast<HWND>(this));
}

void TfrmTavro::actInputTwainExecute(QObject*)
{
    HGLOBAL Image = TWAIN_AcquireImage(reinterpret_cast<HWND>(this), 0);
    if (!Image)
        return;
    struct TImageGuard {
        HGLOBAL Image;
        ~TImageGuard() { TWAIN_FreeImage(Image); }
    } ImageGuard{Image};
    const auto* H = static_cast<const BITMAPINFOHEADER*>(GlobalLock(Image));
    if (!H)
        return;
    const int32_t Width = H->biWidth;
    const int32_t Height = H->biHeight < 0 ? -H->biHeight : H->biHeight;
    GlobalUnlock(Image);
    TrecPicture Picture;
    RecPictureCreate(Picture, TPoint{0, 0}, Width, Height, 24, false);
    const ptrdiff_t Stride = CalcLineBytes(Width, 24);
    // The record's rows are bottom-up: the surface starts at its top row.
    TMemoryDC DC(Picture.pBits + Stride * (Height - 1), Width, Height, -Stride);
    TWAIN_DrawImageToDC(DC, 0, 0, Width, Height, Image, 0, 0);
    OpenImageFile(Picture.pBIHeader, Picture.pBits, "");
}

// ---------------------------------------------------------------------------
// DDE

void TfrmTavro::TAVROExecuteMacro(TDdeServerConv*, const std::string& Text)
{
    // The text as it was sent: cut into lines and joined again, a line feed
    // in the file's name would come back as CR LF.
    std::string Path;
    if (!DdeOpenPath(Text, Path))
        return;
    struct TEnableAgain {
        TfrmTavro* Frame;
        ~TEnableAgain() { Frame->setEnabled(true); }
    } EnableAgain{this};
    OpenFile(Path);
    setEnabled(false);
    QCoreApplication::processEvents();
}

// ---------------------------------------------------------------------------
// Drops

void TfrmTavro::DropTargetDragEnter(IDataObject*, uint32_t, POINTL, uint32_t& Effect)
{
    Effect = FDropTarget && FDropTarget->FormatIndex() == 1 ? DROPEFFECT_LINK : DROPEFFECT_COPY;
}

void TfrmTavro::DropTargetDragOver(IDataObject* DataObj, uint32_t KeyState, POINTL Pt, uint32_t& Effect)
{
    DropTargetDragEnter(DataObj, KeyState, Pt, Effect);
}

void TfrmTavro::DropTargetDrop(IDataObject* DataObj, uint32_t, POINTL, uint32_t& Effect)
{
    if (FDropTarget && FDropTarget->FormatIndex() == 1) {
        if (!ActiveDocWindow())
            return;
        Effect = DROPEFFECT_LINK;
        DropUrl(DataObj);
        return;
    }
    Effect = DROPEFFECT_COPY;
    TStringList Files;
    TFileDataObject::GetFileList(DataObj, Files);
    OpenFiles(Files);
}

void TfrmTavro::DropUrl(IDataObject* DataObj)
{
    std::string Url;
    TDataObject::GetDataString(DataObj, Url, TTextDataObject::GetFormats());
    if (Url.empty())
        TDataObject::GetDataString(DataObj, Url, {MakeFormatEtc(CFUniformResourceLocator())});
    const size_t End = Url.find_first_of("\r\n");
    if (End != std::string::npos)
        Url.resize(End);
    const size_t Colon = Url.find(':');
    const std::string Scheme = Colon == std::string::npos ? std::string() : Url.substr(0, Colon + 1);
    if (Scheme == "http:" || Scheme == "https:") {
        // The fetch runs the event loop for up to a minute, in which another
        // document may be opened (a hand-over) or chosen: the text goes to
        // the window it was dropped on, while that is open.
        const QPointer<TDocWindow> Target = ActiveDocWindow();
        const std::string Body = HttpGet(Url, HttpTimeoutMs, HttpMaxBytes);
        if (Target)
            Target->PasteText(Body);
        return;
    }
    if (Scheme != "file:")
        return;
    const std::string Path = FileURLToPath(Url);
    if ((Path.size() >= 4 && Path.compare(Path.size() - 4, 4, ".srn") == 0) || gDocuments->IsDocumentFile(Path)) {
        OpenFile(Path);
        return;
    }
    std::string Text;
    if (!ReadDrawItemTextFile(Path, DroppedFileMaxBytes, Text)) {
        ErrorMessageBox(this, "データの読み込みに失敗しました");
        return;
    }
    if (TDocWindow* C = ActiveDocWindow())
        C->PasteText(Text);
}
