// The document window's page-picture commands (see child_print.h), the
// commands it hands to the frame (scanner, batch conversion, the property
// panel's pages and the colour palette), and the frame's dialogs they use.
#include "shell/child_print.h"

#include "shell/child_form.h"
#include "shell/main_form.h"
#include "shell/setting_page_form.h"
#include "shell/status_panel.h"

#include "foundation/app_environment.h"
#include "foundation/platform_wrappers.h"
#include "foundation/user_error.h"
#include "model/bitmap_trace.h"
#include "model/document.h"
#include "model/draw_progress.h"
#include "model/layer.h"
#include "model/page.h"
#include "model/poly_line_obj.h"
#include "model/selection.h"
#include "paint/macro_library.h"
#include "paint/macro_list.h"
#include "paint/paint_macro.h"
#include "platform/clipboard_formats.h"
#include "platform/global_memory.h"
#include "platform/message_box.h"
#include "platform/qt/clipboard.h"
#include "platform/registry_store.h"
#include "platform/regular_file.h"
#include "raster/bmp_conv.h"
#include "raster/picture_file.h"
#include "ui/paint_box_wex.h"
#include "ui/preview_dialogs.h"

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr const char* Section = "4.0";

bool EndsWithBmp(const std::string& FileName)
{
    if (FileName.size() < 4)
        return false;
    std::string Tail = FileName.substr(FileName.size() - 4);
    for (char& C : Tail)
        C = char(std::tolower(static_cast<unsigned char>(C)));
    return Tail == ".bmp";
}
constexpr const char* NoResolutionText = "画像の解像度が設定されていません";
constexpr const char* LoadFailedText = "画像ファイルの読み込みに失敗しました。";
// Source rows per image handed to the printer: a large page never needs a
// second copy of all its pixels at once.
constexpr int32_t PrintBandRows = 1024;

std::unique_ptr<QPrinter>& SessionPrinter()
{
    static std::unique_ptr<QPrinter> P;
    return P;
}

TPrintDialogProc& PrintDialogProc()
{
    static TPrintDialogProc Proc;
    return Proc;
}

int32_t Scaled(int32_t Pixels, int32_t PrinterDPI, int32_t PageDPI)
{
    const int64_t V = (int64_t(Pixels) * PrinterDPI + PageDPI / 2) / PageDPI;
    return int32_t(std::clamp<int64_t>(V, 0, INT32_MAX));
}

// Rows First..First+Count-1 of a 24-bit picture (row 0 at the top) as an image.
QImage PictureBand(const TrecPicture& Picture, int32_t Width, int32_t First, int32_t Count)
{
    QImage Band(Width, Count, QImage::Format_BGR888);
    for (int32_t Y = 0; Y < Count; ++Y)
        std::memcpy(Band.scanLine(Y), RecPictureGetPixelPtr(Picture, 0, First + Y), size_t(Width) * 3);
    return Band;
}

// The page picture brought up to date; nil without pixels.
TrecPicture* CurrentPicture(TOLECustomPage& Page)
{
    Page.Update();
    TrecPicture* P = Page.GetPagePicture();
    const BITMAPINFOHEADER* H = P ? RecPictureHeader(*P) : nullptr;
    return H && H->biWidth > 0 && H->biHeight != 0 ? P : nullptr;
}

} // namespace

// ---------------------------------------------------------------------------
// Parts

TPrintPlacement PrintPlacement(int32_t PictureWidth, int32_t PictureHeight, int32_t PageDPI,
                               int32_t PrinterDPIX, int32_t PrinterDPIY, const TrecPrintPosition& Position,
                               int32_t PrintableWidth, int32_t PrintableHeight)
{
    TPrintPlacement R;
    R.Width = Scaled(PictureWidth, PrinterDPIX, PageDPI);
    R.Height = Scaled(PictureHeight, PrinterDPIY, PageDPI);
    R.Left = Position.CenterH ? (PrintableWidth - R.Width) / 2 : Position.Left;
    R.Top = Position.CenterV ? (PrintableHeight - R.Height) / 2 : Position.Top;
    return R;
}

QPrinter& CurrentPrinter()
{
    std::unique_ptr<QPrinter>& P = SessionPrinter();
    if (!P) {
        P = std::make_unique<QPrinter>(QPrinter::HighResolution);
        // Gone with the application, before the print support it uses.
        static bool Registered = false;
        if (!Registered) {
            Registered = true;
            qAddPostRoutine([] { SessionPrinter().reset(); });
        }
    }
    return *P;
}

void ResetCurrentPrinter()
{
    SessionPrinter().reset();
}

void SetPrintDialogProc(TPrintDialogProc Proc)
{
    PrintDialogProc() = std::move(Proc);
}

bool RunPrintDialog(QPrinter& Printer, QWidget* Parent)
{
    if (PrintDialogProc())
        return PrintDialogProc()(Printer, Parent);
    QPrintDialog Dialog(&Printer, Parent);
    return Dialog.exec() == QDialog::Accepted;
}

bool PrintPicture(QPrinter& Printer, const std::string& Title, const TrecPicture& Picture,
                  const TPrintPlacement& Placement)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(Picture);
    if (!H || H->biBitCount != 24)
        return false;
    const int32_t Width = H->biWidth;
    const int32_t Height = H->biHeight < 0 ? -H->biHeight : H->biHeight;
    Printer.setDocName(QString::fromStdString(Title));
    QPainter DC;
    if (!DC.begin(&Printer))
        return false;
    // Stretched as it is, pixel for pixel blocks, like a copy onto the
    // printer's canvas.
    DC.setRenderHint(QPainter::SmoothPixmapTransform, false);
    // Pixels as they are: a PDF file would otherwise get them JPEG-compressed.
    DC.setRenderHint(QPainter::LosslessImageRendering, true);
    const double Scale = Height > 0 ? double(Placement.Height) / Height : 0.0;
    for (int32_t First = 0; First < Height; First += PrintBandRows) {
        const int32_t Count = std::min(PrintBandRows, Height - First);
        const QRectF Target(Placement.Left, Placement.Top + First * Scale, Placement.Width, Count * Scale);
        DC.drawImage(Target, PictureBand(Picture, Width, First, Count));
    }
    return DC.end();
}

std::string MorvoPath()
{
    std::string Path;
    if (!RegQueryString(HKEY_CURRENT_USER, MorvoKey, MorvoValueName, Path))
        Path.clear();
    return Path;
}

std::string MorvoCommandLine(const std::string& Path)
{
    return "\"" + Path + "\" /c";
}

QStringList MorvoArguments()
{
    return {"/c"};
}

bool StartMorvo(const std::string& Path)
{
    return QProcess::startDetached(QString::fromStdString(Path), MorvoArguments());
}

std::string TraceFillValue(uint32_t Colour)
{
    static const char Digits[] = "0123456789ABCDEF";
    std::string Hex;
    do {
        Hex.insert(Hex.begin(), Digits[Colour & 15]);
        Colour >>= 4;
    } while (Colour);
    return "1" + Hex;
}

int32_t TraceIntoPage(TrecPicture& Picture, TPage& Page, TSelectedObjects& Selection,
                      const std::function<void(int32_t Position, int32_t Max)>& Progress)
{
    std::vector<std::unique_ptr<TrecPolyLine>> Paths;
    std::vector<uint32_t> Colours;
    TTraceProgress State;
    TTraceProgressProc Report;
    if (Progress)
        Report = [&](TTraceProgress& P) { Progress(P.Position, P.Max); };
    TraceOutline(Picture, Paths, Colours, State, Report);

    const int32_t Index = gMacroLibrary ? gMacroLibrary->IndexOf(TraceMacroName) : -1;
    int32_t Added = 0;
    for (size_t I = 0; I < Paths.size(); ++I) {
        auto Line = std::make_unique<TPolyLineObj>(&Page, -1);
        TrecPath Path;
        RecPolyLineAssign(Path, *Paths[I]);
        Line->SetPathRecord(Path);
        if (TLayers* L = Page.GetLayers())
            Line->SetLayer(L->GetCurrent());
        if (Index < 0)
            throw EUserError("TfrmTavro.OpenImageFile: gslstMacroPaint.IndexOf(strMacroName) < 0");
        auto Macro = std::make_unique<TMacro>();
        Macro->Assign(*gMacroLibrary->Objects(Index));
        Macro->SetParamValue(TraceMacroParam, TraceFillValue(Colours[I]));
        Line->Macros().Clear();
        Line->Macros().Add(std::move(Macro));
        // Its path filled (a new item is shown already).
        Line->SetFillPath(1);
        Selection.ClearSelection();
        Selection.CommandAddNewDrawItem(std::move(Line), nullptr);
        ++Added;
    }
    return Added;
}

// ---------------------------------------------------------------------------
// The window's handlers

void TfrmChild::actPrintExecute()
{
    TOLECustomPage* P = Page();
    if (!P || !FDocument)
        return;
    // The page setup placed the page on this printer, in its pixels.
    QPrinter& Printer = CurrentPrinter();
    if (!RunPrintDialog(Printer, this))
        return;
    // A PDF file replaces only a regular file: a pipe in its place would
    // hold the program up, a link to a device take the pages.
    if (Printer.outputFormat() == QPrinter::PdfFormat && !Printer.outputFileName().isEmpty()) {
        const std::string Pdf = Printer.outputFileName().toStdString();
        std::string Target;
        if (const int Err = ReplaceTarget(Pdf, Target))
            throw EUserError(Pdf + " を作成できません。(" + FileErrorText(Err) + ")");
    }
    // Printed at high quality whatever the view shows.
    P->RenderInMode(3);
    const int32_t DPIX = Printer.logicalDpiX();
    const int32_t DPIY = Printer.logicalDpiY();
    if (P->DPI() < 1) {
        MessageBox(this, NoResolutionText, "エラー", MB_OK | MB_ICONERROR);
        return;
    }
    const TrecPicture* Picture = P->GetPagePicture();
    if (!Picture)
        return;
    const BITMAPINFOHEADER* H = RecPictureHeader(*Picture);
    const QRect Printable = Printer.pageLayout().paintRectPixels(Printer.resolution());
    // Placed where the page setup shows it: a stored place off the paper
    // counts as missing there too.
    const TPrinterSpec Spec = ReadPrinterSpec(Printer);
    const TrecPrintPosition Position =
        Spec.Valid ? PrintPositionOnPaper(P->PrintPosition(), Spec) : P->PrintPosition();
    const TPrintPlacement Place = PrintPlacement(H->biWidth, H->biHeight < 0 ? -H->biHeight : H->biHeight,
                                                 P->DPI(), DPIX, DPIY, Position, Printable.width(),
                                                 Printable.height());
    if (!PrintPicture(Printer, DocumentCaption(FDocument->FileName(), false), *Picture, Place))
        throw EUserError("印刷を開始できません。");
}

void TfrmChild::actSaveBMPExecute()
{
    TOLECustomPage* P = Page();
    if (!P || !FDocument)
        return;
    std::string FileName = ChangeFileExt(FDocument->FileName(), ".bmp");
    std::string Folder = ExtractFilePath(FDocument->FileName());
    if (Folder.empty())
        Folder = AppIniFile().ReadString(Section, "DirData", "");
    if (!FFrame.ExecuteSaveBmpDialog(FileName, Folder))
        return;
    // A picture saved under another extension would be taken for what that
    // extension names (a typed "a1.srn" for a document) and then not open:
    // the format's own extension is added.
    if (!EndsWithBmp(FileName))
        FileName += ".bmp";
    const TrecPicture* Picture = CurrentPicture(*P);
    if (!Picture)
        return;
    if (!SaveBmpFile(FileName, RecPictureHeader(*Picture), Picture->pBits, false))
        throw EUserError(FileName + " を作成できません。");
}

void TfrmChild::actCopyAsBMPExecute()
{
    TOLECustomPage* P = Page();
    const TrecPicture* Picture = P ? CurrentPicture(*P) : nullptr;
    if (!Picture)
        return;
    HGLOBAL Data = RecPictureSaveToClipboardFormat(*Picture);
    if (!OpenClipboard(this)) {
        GlobalFree(Data);
        return;
    }
    EmptyClipboard();
    if (!SetClipboardData(CF_DIB, Data))
        GlobalFree(Data);
    CloseClipboard();
}

void TfrmChild::actMorvoExecute()
{
    const std::string Path = MorvoPath();
    if (Path.empty())
        return;
    actCopyAsBMPExecute();
    if (!StartMorvo(Path))
        throw EUserError(MorvoCommandLine(Path) + " を起動できません。");
}

void TfrmChild::actBmpTraceExecute()
{
    TPage* P = DrawingPage();
    TSelectedObjects* Sel = Selection();
    if (!P || !Sel)
        return;
    std::string FileName;
    if (!FFrame.ExecuteOpenImageDialog(FileName, AppIniFile().ReadString(Section, "DirGrph", "")))
        return;
    AppIniFile().WriteString(Section, "DirGrph", ExtractFilePath(FileName));

    TrecPicture Picture;
    std::string InfoText;
    TPictureInfo Info{};
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    if (LoadPicture(FileName, Header, Bits, 0, nullptr, 0, false, InfoText, Info) != lpOK)
        throw EUserError(LoadFailedText);
    Picture.pBIHeader = Header;
    Picture.pBits = Bits;
    struct TFree {
        TrecPicture& P;
        ~TFree() { RecPictureClear(P); }
    } Free{Picture};

    TDrawProgressPanel* Panel = GetProgressStatusPanel();
    auto Progress = [Panel](int32_t Position, int32_t Max) {
        if (auto* Status = dynamic_cast<TStatusPanel*>(Panel))
            Status->ShowTraceProgress(TTraceProgress{Position, Max});
    };
    ++FiUpdating;
    Sel->BeginUpdate();
    struct TEnd {
        TfrmChild& W;
        TSelectedObjects& Sel;
        TDrawProgressPanel* Panel;
        ~TEnd()
        {
            Sel.EndUpdate();
            --W.FiUpdating;
            if (Panel)
                Panel->SetText("");
        }
    } End{*this, *Sel, Panel};
    TraceIntoPage(Picture, *P, *Sel, Progress);
    Sel->CalcBounds();
    SelectionChanged(true);
}

void TfrmChild::RunFrameCommand(int32_t Index)
{
    if (QAction* A = Action(Index))
        A->trigger();
}

void TfrmChild::actSelectTwainExecute() { RunFrameCommand(FrameCommand::actSelectTwain); }
void TfrmChild::actInputTwainExecute() { RunFrameCommand(FrameCommand::actInputTwain); }
void TfrmChild::actConvertToBmpExecute() { RunFrameCommand(FrameCommand::actConvertToBmp); }
void TfrmChild::actDispColPltExecute() { RunFrameCommand(FrameCommand::actDispColPlt); }
// The page entries are the frame's commands: their checks are the menu's.
void TfrmChild::actPageAllExecute() { RunFrameCommand(FrameCommand::actPageAll); }

// ---------------------------------------------------------------------------
// The frame's dialogs

bool TfrmTavro::ExecuteSaveBmpDialog(std::string& FileName, const std::string& InitialDir)
{
    TSaveDialogWex* D = dlgSaveBMP();
    D->FileName = FileName;
    D->InitialDir = InitialDir;
    if (!D->Execute())
        return false;
    FileName = D->FileName;
    return true;
}

bool TfrmTavro::ExecuteOpenImageDialog(std::string& FileName, const std::string& InitialDir)
{
    TOpenPreviewDialogQ* D = dlgOpenImage();
    D->FileName.clear();
    D->InitialDir = InitialDir;
    if (!D->Execute())
        return false;
    FileName = D->FileName;
    return !FileName.empty();
}
