#include "model/page.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/lists.h"
#include "foundation/platform_wrappers.h"
#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/streams.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "model/draw_object.h"
#include "model/draw_progress.h"
#include "model/line_object.h"
#include "model/read_items.h"
#include "paint/macro_list.h"
#include "store/history_bracket.h"
#include "store/picture_store.h"
#include "raster/bmp_conv.h"
#include "raster/merge.h"

const char* const gcstrCFDrawItem = "Tavro DrawItem";

// Where the steps of a render hand an item that fails: it is left out of
// the renders in the display mode, and its failure kept for the views.
struct TRenderLeaveOut {
    uint8_t Mode;
    std::vector<TItemDrawFailure>& Failures;

    // Runs Step for Item; true when it ran through, else Item is left out.
    template <class F>
    bool Run(TDrawItem& Item, F&& Step)
    {
        try {
            Step();
            return true;
        } catch (...) {
            Item.LeaveOutOfRenders(Mode, std::current_exception());
            Failures.push_back(TItemDrawFailure{Item.ObjID(), Item.DrawFailureMark().Failure});
            return false;
        }
    }
};

namespace {

TMainWindowLink* gMainWindowLink = nullptr;
TDocWindowFactory gDocWindowFactory = nullptr;
TPageSelectionFactory gPageSelectionFactory = nullptr;

const char* const kIllegalCommand = "TOLECustomPage.Undo: Illegal Command.";
const char* const kIllegalSize = "TPage.Undo: Illegal MemStream.Size.";

bool IsEmptyRect(const TRect& R)
{
    return R.Left > R.Right || R.Top > R.Bottom;
}

void CheckRecordSize(int32_t Size, int32_t Expected, const char* Caller)
{
    if (Size != Expected)
        throw EUserError(std::string(Caller) + ": Illegal Data Size.");
}

template <class T>
T ReadRecord(const void* Data, int32_t Size, const char* Caller)
{
    CheckRecordSize(Size, static_cast<int32_t>(sizeof(T)), Caller);
    T V;
    std::memcpy(&V, Data, sizeof(T));
    return V;
}

// The header of a page picture without pixels: 24-bit, size 0.
HGLOBAL NewPageHeader()
{
    HGLOBAL H = GlobalAllocQ(GMEM_FIXED | GMEM_ZEROINIT, sizeof(BITMAPINFOHEADER));
    auto* B = static_cast<BITMAPINFOHEADER*>(H);
    B->biSize = sizeof(BITMAPINFOHEADER);
    B->biPlanes = 1;
    B->biBitCount = 24;
    return H;
}

// Frees the pixels and keeps the header.
void FreePixels(TrecPicture& P)
{
    if (P.hDIBSection) {
        HBITMAP Old = P.hDIBSection;
        P.hDIBSection = nullptr;
        P.pBits = nullptr;
        DeleteObject(Old);
    } else if (P.pBits) {
        HGLOBAL Old = P.pBits;
        P.pBits = nullptr;
        GlobalFreeQ(Old);
    }
}

void CheckPageSize(int64_t Width, int64_t Height, const char* Caller)
{
    if (!PageSizeAllowed(Width, Height))
        throw EUserError(std::string(Caller) + ": Illegal Size (" + std::to_string(Width) + " x " +
                         std::to_string(Height) + ")");
}

// Makes Picture Width x Height, 24-bit, at Pt; without Pixels, or with a
// side of 0, only the header.
void MakePagePicture(TrecPicture& Picture, const TPoint& Pt, int32_t Width, int32_t Height,
                     bool Pixels = true)
{
    if (Pixels && Width > 0 && Height > 0) {
        RecPictureCreate(Picture, Pt, Width, Height, 24, true);
        return;
    }
    FreePixels(Picture);
    if (!Picture.pBIHeader)
        Picture.pBIHeader = NewPageHeader();
    BITMAPINFOHEADER* H = RecPictureHeader(Picture);
    std::memset(H, 0, sizeof(BITMAPINFOHEADER));
    H->biSize = sizeof(BITMAPINFOHEADER);
    H->biPlanes = 1;
    H->biBitCount = 24;
    H->biWidth = Width;
    H->biHeight = Height;
    Picture.iLeft = Pt.X;
    Picture.iTop = Pt.Y;
}

// The page picture keeps the stored header's resolution and colour counts,
// so that they are written back as they were read.
void KeepStoredHeaderFields(TrecPicture& Picture, const BITMAPINFOHEADER& Stored)
{
    BITMAPINFOHEADER* H = RecPictureHeader(Picture);
    H->biXPelsPerMeter = Stored.biXPelsPerMeter;
    H->biYPelsPerMeter = Stored.biYPelsPerMeter;
    H->biClrUsed = Stored.biClrUsed;
    H->biClrImportant = Stored.biClrImportant;
}

void CollectPaintOrder(TDrawGroup& Group, uint8_t Mode, std::vector<TDrawObject*>& List);

// The draw objects of Item in painting order: Item itself, or those of the
// group; those left out of renders in display mode Mode are not painted.
void CollectItemPaintOrder(TDrawItem& Item, uint8_t Mode, std::vector<TDrawObject*>& List)
{
    if (auto* G = dynamic_cast<TDrawGroup*>(&Item))
        CollectPaintOrder(*G, Mode, List);
    else if (auto* O = dynamic_cast<TDrawObject*>(&Item); O && O->Visible() && !O->LeftOutAt(Mode))
        List.push_back(O);
}

// The draw objects of the tree in painting order; hidden groups paint
// nothing, so their objects are left out.
void CollectPaintOrder(TDrawGroup& Group, uint8_t Mode, std::vector<TDrawObject*>& List)
{
    if (!Group.Visible())
        return;
    for (int32_t I = 0; I < Group.GetCount(); ++I)
        CollectItemPaintOrder(*Group.GetItem(I), Mode, List);
}

// R grown by By on every side, within the int32 range.
TRect Widened(const TRect& R, int32_t By)
{
    const auto Clamp = [](int64_t V) {
        return static_cast<int32_t>(std::clamp<int64_t>(V, INT32_MIN, INT32_MAX));
    };
    return TRect{Clamp(int64_t{R.Left} - By), Clamp(int64_t{R.Top} - By), Clamp(int64_t{R.Right} + By),
                 Clamp(int64_t{R.Bottom} + By)};
}

// An object that reads round the pixels it paints (a blur of what lies
// beneath) paints other pixels as far round a change beneath it: the dirty
// area grows over each such object it reaches, from the lowest up.
TRect SpreadOverReaders(const std::vector<TDrawObject*>& Objects, TRect Dirty)
{
    for (TDrawObject* O : Objects) {
        const int32_t Reach = O->ReadReach();
        TRect Near = Widened(Dirty, Reach);
        if (Reach > 0 && RectIntersect(Near, O->GetPaintExtent()))
            RectUnion(Dirty, Near, Dirty);
    }
    return Dirty;
}

// The area a rendering must cover for Kept to come out as a rendering of
// the whole page paints it. From the top down, an object that paints into
// the area reads what lies beneath as far round as its reach, and all of its
// source extent: those are rendered too, so that its reading never meets the
// rendering's edge. Only Kept is copied into the page afterwards.
TRect RenderArea(const std::vector<TDrawObject*>& Objects, const TRect& Kept)
{
    TRect Area = Kept;
    for (size_t I = Objects.size(); I-- > 0;) {
        TDrawObject* O = Objects[I];
        TRect Hit = Area;
        if (!RectIntersect(Hit, O->GetPaintExtent()))
            continue;
        if (O->ReadReach() > 0)
            RectUnion(Area, Widened(Hit, O->ReadReach()), Area);
        RectUnion(Area, O->GetSourceExtent(), Area);
    }
    return Area;
}

// The re-rendering closure: every object whose painting depends on pixels
// that change (or changes pixels that others depend on) gets a redraw
// request. Objects are numbered in painting order.
class TRedrawClosure {
public:
    TRedrawClosure(std::vector<TDrawObject*>& Objects, TRenderLeaveOut& LeaveOut)
        : FObjects(Objects), FLeaveOut(LeaveOut)
    {
    }

    void Run(const TRect& Dirty)
    {
        bool Changed = true;
        while (Changed) {
            Changed = false;
            for (size_t I = FObjects.size(); I-- > 0;) {
                TDrawObject* O = FObjects[I];
                if (O->Counted())
                    continue;
                if (O->RedrawPending() || RectsIntersect(O->GetSourceExtent(), Dirty)) {
                    O->SetRedrawPending(1);
                    Propagate(I);
                    Changed = true;
                }
            }
        }
    }

private:
    void Propagate(size_t Index)
    {
        TDrawObject* O = FObjects[Index];
        // Counted first: every pass of Run then counts at least one more
        // object, so the closure ends.
        O->SetCounted(1);
        if (!O->Visible() || !O->Page())
            return;
        // One that fails is left out of the painting; its extents stay as
        // they are (empty when it was never measured).
        FLeaveOut.Run(*O, [O] {
            O->RebuildPath();
            if (IsEmptyRect(O->GetPaintExtent()) || IsEmptyRect(O->GetSourceExtent()))
                O->CalcExtents();
        });

        // Below: what O reads may be changed by objects painted before it.
        TRect R = O->GetSourceExtent();
        for (size_t I = Index; I-- > 0;) {
            TDrawObject* X = FObjects[I];
            if (!RectsIntersect(X->GetPaintExtent(), R))
                continue;
            X->SetRedrawPending(1);
            RectUnion(R, X->GetSourceExtent(), R);
            if (!X->Counted())
                Propagate(I);
        }
        // Above: what O changes is read by O itself and the objects after it.
        if (Index + 1 >= FObjects.size())
            return;
        R = O->GetPaintExtent();
        for (size_t I = Index; I < FObjects.size(); ++I) {
            TDrawObject* X = FObjects[I];
            if (!RectsIntersect(X->GetSourceExtent(), R))
                continue;
            X->SetRedrawPending(1);
            RectUnion(R, X->GetPaintExtent(), R);
            if (!X->Counted())
                Propagate(I);
        }
    }

    std::vector<TDrawObject*>& FObjects;
    TRenderLeaveOut& FLeaveOut;
};

// Step 1 of rendering: every item's path is brought up to date, and every
// item shown whose extents were never computed (both empty; an effect that
// reads nothing beneath has an empty source extent) measures and
// invalidates itself. An item that fails at either is left out.
void PrepareItem(TDrawItem& Item, bool Shown, TRenderLeaveOut& LeaveOut);

void PrepareItems(TDrawGroup& Group, bool Shown, TRenderLeaveOut& LeaveOut)
{
    Shown = Shown && Group.Visible();
    for (int32_t I = 0; I < Group.GetCount(); ++I)
        PrepareItem(*Group.GetItem(I), Shown, LeaveOut);
}

void PrepareItem(TDrawItem& Item, bool Shown, TRenderLeaveOut& LeaveOut)
{
    if (auto* G = dynamic_cast<TDrawGroup*>(&Item)) {
        PrepareItems(*G, Shown, LeaveOut);
        return;
    }
    if (Item.LeftOutAt(LeaveOut.Mode))
        return;
    LeaveOut.Run(Item, [&] {
        Item.RebuildPath();
        if (Shown && IsEmptyRect(Item.GetPaintExtent()) && IsEmptyRect(Item.GetSourceExtent()))
            Item.CalcExtentsAndInvalidate();
    });
}

// Restores the progress panel's text (when a panel is registered).
class TPanelTextKeeper {
public:
    TPanelTextKeeper() : FPanel(GetProgressStatusPanel())
    {
        if (FPanel)
            FText = FPanel->GetText();
    }
    ~TPanelTextKeeper()
    {
        if (FPanel)
            FPanel->SetText(FText);
    }
    TPanelTextKeeper(const TPanelTextKeeper&) = delete;
    TPanelTextKeeper& operator=(const TPanelTextKeeper&) = delete;

private:
    TDrawProgressPanel* FPanel;
    std::string FText;
};

class TPictureGuard {
public:
    explicit TPictureGuard(TrecPicture& P) : FPicture(P) {}
    ~TPictureGuard() { RecPictureClear(FPicture); }
    TPictureGuard(const TPictureGuard&) = delete;
    TPictureGuard& operator=(const TPictureGuard&) = delete;

private:
    TrecPicture& FPicture;
};

void CopyIntoPicture(TrecPicture& Dest, const TrecPicture& Src, const TRect& R)
{
    const size_t Bytes = static_cast<size_t>(R.Right - R.Left + 1) * 3;
    for (int32_t Y = R.Top; Y <= R.Bottom; ++Y) {
        const uint8_t* S = RecPictureGetPixelPtr(Src, R.Left, Y);
        uint8_t* D = RecPictureGetPixelPtr(Dest, R.Left, Y);
        if (S && D)
            std::memcpy(D, S, Bytes);
    }
}

// The page's base data as stored after the grid.
struct TBaseData {
    uint8_t DisplayMode = 3;
    uint8_t RulerUnit = 0;
    TrecPrintPosition PrintPosition;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t DPI = 72;
    uint8_t Unit = 1;
    uint8_t Next = 0;
    uint8_t Next2 = 0;
    int32_t BkColor = 0xFFFFFF;
    int32_t Left = 0;
    int32_t Top = 0;
    BITMAPINFOHEADER Header{};
};

// Reads the base data for Version; the fields absent from older versions
// keep the values Data holds. The picture header is checked before it is
// used to allocate anything.
void ReadBaseFields(TStream& Stream, int32_t Version, TBaseData& Data)
{
    if (Version >= 19)
        Data.DisplayMode = StreamReadByte(Stream);
    if (Version >= 4)
        Data.RulerUnit = StreamReadByte(Stream);
    if (Version >= 2)
        Stream.ReadBuffer(&Data.PrintPosition, sizeof(TrecPrintPosition));
    Data.Width = StreamReadInt32(Stream);
    Data.Height = StreamReadInt32(Stream);
    Data.DPI = StreamReadInt32(Stream);
    Data.Unit = StreamReadByte(Stream);
    Data.Next = StreamReadByte(Stream);
    Data.Next2 = StreamReadByte(Stream);
    Data.BkColor = StreamReadInt32(Stream);
    Data.Left = StreamReadInt32(Stream);
    Data.Top = StreamReadInt32(Stream);
    uint8_t Raw[sizeof(BITMAPINFOHEADER)];
    Stream.ReadBuffer(Raw, sizeof(Raw));
    ReadBitmapInfoHeader(Raw, Data.Header);

    const BITMAPINFOHEADER& H = Data.Header;
    if (H.biSize != sizeof(BITMAPINFOHEADER) || H.biPlanes != 1 || H.biBitCount != 24 ||
        H.biCompression != BI_RGB)
        throw EUserError("TOLECustomPage.ReadFromStream: Illegal Bitmap Header");
    // The page's own size is stored apart from its picture's and is what the
    // views lay out by: both are capped.
    CheckPageSize(Data.Width, Data.Height, "TOLECustomPage.ReadFromStream");
    CheckPageSize(H.biWidth, H.biHeight, "TOLECustomPage.ReadFromStream");
    // Refusing the file for one of these would lock the user out of the
    // drawing; a value out of its range counts as missing, as the settings'
    // page defaults do.
    Data.DPI = StoredPageDPI(Data.DPI);
    Data.Unit = StoredPageUnit(Data.Unit);
    Data.DisplayMode = StoredPageDisplayMode(Data.DisplayMode);
    Data.RulerUnit = StoredPageRulerUnit(Data.RulerUnit);
    Data.BkColor = StoredPageBkColor(Data.BkColor);
    // Any byte but 0 centred the print.
    Data.PrintPosition.CenterH = Data.PrintPosition.CenterH != 0;
    Data.PrintPosition.CenterV = Data.PrintPosition.CenterV != 0;
    // The page picture is a rendering of the page, remade whenever the page
    // is drawn: a header that disagrees with the page's own size (or place)
    // would lay the page out by one size and paint it by another. It is
    // made at the page's size at the origin, as resizing the page makes it;
    // nothing is lost, and the next save writes a header that agrees.
    Data.Header.biWidth = Data.Width;
    Data.Header.biHeight = Data.Height;
    Data.Left = 0;
    Data.Top = 0;
}

} // namespace

// ---------------------------------------------------------------------------
// Registries

void SetMainWindowLink(TMainWindowLink* Link)
{
    gMainWindowLink = Link;
}

TMainWindowLink* GetMainWindowLink()
{
    return gMainWindowLink;
}

void SetDocWindowFactory(TDocWindowFactory Factory)
{
    gDocWindowFactory = Factory;
}

TDocWindowFactory GetDocWindowFactory()
{
    return gDocWindowFactory;
}

void SetPageSelectionFactory(TPageSelectionFactory Factory)
{
    gPageSelectionFactory = Factory;
}

TPageSelectionFactory GetPageSelectionFactory()
{
    return gPageSelectionFactory;
}

TrecGrid& DefaultPageGrid()
{
    static TrecGrid Grid = [] {
        TrecGrid G;
        std::memset(&G, 0, sizeof(G));
        G.SnapGrid = 1;
        G.Value3 = 1;
        G.Value4 = 1;
        G.Value5 = 10;
        G.Value6 = 10;
        return G;
    }();
    return Grid;
}

std::string MouseModeHint(uint8_t Mode, uint8_t SubMode)
{
    static const char* const Angle = "[Shift]:角度拘束";
    if (Mode <= 1)
        return "[Shift]:追加選択";
    if (Mode == 2)
        return "[Shift]:追加選択, [Ctrl]:範囲内側の図形のみ選択";
    if (Mode >= 15 && Mode <= 20) {
        if (SubMode >= 1 && SubMode <= 2)
            return Angle;
        if (SubMode >= 3 && SubMode <= 6)
            return "[Shift]:正方, [Alt]:中心";
        return "";
    }
    if (Mode == 21 || Mode == 22 || Mode == 39 || Mode == 40)
        return Angle;
    if (Mode >= 23 && Mode <= 38)
        return "[Shift]:中心, [Ctrl]:同形状, [Alt]:整数倍";
    return "";
}

void FillDrawTarget(TrecDrawTarget& Target)
{
    if (Target.Picture.pBits)
        RecPictureFillColor(Target.Picture, Target.BkColor);
}

// ---------------------------------------------------------------------------
// TOLECustomPage

TOLECustomPage::TOLECustomPage(THistoryCommand* AHistory) : TUndoObject(AHistory)
{
    FPagePicture.pBIHeader = NewPageHeader();
}

TOLECustomPage::~TOLECustomPage()
{
    FbDestroying = 1;
    for (size_t I = FViews.size(); I-- > 0;)
        FViews[I]->SetPage(nullptr);
    FViews.clear();
    RecPictureClear(FPagePicture);
}

void TOLECustomPage::Record(int32_t Command, const void* Old, const void* New, int32_t Size)
{
    THistoryCommand* H = HistoryCommand();
    if (!H || H->IsLockAddHistory())
        return;
    AddHistory(0, Command, Old, Size);
    AddHistory(1, Command, New, Size);
}

void TOLECustomPage::SetModified()
{
    if (FDocument)
        FDocument->SetModified(true);
}

void TOLECustomPage::InvalidateViews(const TRect* Rect)
{
    for (TOLEFormDoc* V : FViews)
        V->InvalidatePageRect(Rect);
}

void TOLECustomPage::Undo(int32_t Command, const void* Data, int32_t Size)
{
    static const char* const Caller = "TOLECustomPage.Undo";
    switch (Command & 0x7F) {
    case CmdPageSize: {
        const auto V = ReadRecord<std::array<int32_t, 2>>(Data, Size, Caller);
        SetPageSize(V[0], V[1]);
        break;
    }
    case CmdRulerUnit:
        SetRulerUnit(ReadRecord<uint8_t>(Data, Size, Caller));
        break;
    case CmdPrintPosition:
        SetPrintPosition(ReadRecord<TrecPrintPosition>(Data, Size, Caller));
        break;
    case CmdDPI:
        SetDPI(ReadRecord<int32_t>(Data, Size, Caller));
        break;
    case CmdBkColor:
        SetBkColor(ReadRecord<int32_t>(Data, Size, Caller));
        // The picture is painted on the background: going back repaints it
        // all, as the change did.
        InvalidateAll();
        break;
    case CmdUnit:
        SetUnit(ReadRecord<uint8_t>(Data, Size, Caller));
        break;
    case CmdDisplayMode:
        SetDisplayMode(ReadRecord<uint8_t>(Data, Size, Caller));
        break;
    default:
        throw EUserError(kIllegalCommand);
    }
}

void TOLECustomPage::Redo(int32_t Command, const void* Data, int32_t Size)
{
    Undo(Command, Data, Size);
}

void TOLECustomPage::SetRulerUnit(uint8_t Value)
{
    if (Value == FbRulerUnit)
        return;
    Record(CmdRulerUnit, &FbRulerUnit, &Value, 1);
    FbRulerUnit = Value;
    SetModified();
}

void TOLECustomPage::SetDisplayMode(uint8_t Value)
{
    if (Value == FbDisplayMode)
        return;
    Record(CmdDisplayMode, &FbDisplayMode, &Value, 1);
    FbDisplayMode = Value;
}

void TOLECustomPage::RenderInMode(uint8_t Mode)
{
    if (Mode == FbDisplayMode) {
        Update();
        return;
    }
    const uint8_t Old = FbDisplayMode;
    {
        // The temporary mode is no change of the document.
        THistoryLock Lock(HistoryCommand());
        struct TRestore {
            TOLECustomPage& Page;
            uint8_t Mode;
            ~TRestore()
            {
                try {
                    Page.SetDisplayMode(Mode);
                } catch (...) {
                }
            }
        } Restore{*this, Old};
        SetDisplayMode(Mode);
        InvalidateRect(nullptr, false);
        Update();
    }
    InvalidateRect(nullptr, true);
}

void TOLECustomPage::SetPageSize(int32_t Width, int32_t Height)
{
    CheckPageSize(Width, Height, "TOLECustomPage.SetPageSize");
    const BITMAPINFOHEADER* H = RecPictureHeader(FPagePicture);
    const int32_t OldW = H ? H->biWidth : 0;
    const int32_t OldH = H ? H->biHeight : 0;
    if (Width != OldW || Height != OldH) {
        const int32_t Old[2] = {OldW, OldH};
        const int32_t New[2] = {Width, Height};
        Record(CmdPageSize, Old, New, 8);
        RecreatePicture(Width, Height);
        FiWidth = Width;
        FiHeight = Height;
        SetModified();
    }
    for (TOLEFormDoc* V : FViews)
        V->PageLayoutChanged();
    InvalidateRect(nullptr, true);
}

void TOLECustomPage::RecreatePicture(int32_t Width, int32_t Height)
{
    MakePagePicture(FPagePicture, TPoint{0, 0}, Width, Height);
}

void TOLECustomPage::SetPrintPosition(const TrecPrintPosition& Rec)
{
    if (std::memcmp(&Rec, &FPrintPosition, sizeof(Rec)) == 0)
        return;
    Record(CmdPrintPosition, &FPrintPosition, &Rec, sizeof(Rec));
    FPrintPosition = Rec;
    SetModified();
    InvalidateViews(nullptr);
}

void TOLECustomPage::SetDPI(int32_t Value)
{
    if (!PageDPIInRange(Value))
        throw EUserError("TOLECustomPage.SetDPI: Illegal DPI (" + std::to_string(Value) + ")");
    if (Value == FiDPI)
        return;
    Record(CmdDPI, &FiDPI, &Value, 4);
    FiDPI = Value;
    SetModified();
}

void TOLECustomPage::SetBkColor(int32_t Value)
{
    if (!PageBkColorInRange(Value))
        throw EUserError("TOLECustomPage.SetBkColor: Illegal Color (" + std::to_string(Value) + ")");
    if (Value == FiBkColor)
        return;
    Record(CmdBkColor, &FiBkColor, &Value, 4);
    FiBkColor = Value;
    SetModified();
}

void TOLECustomPage::SetUnit(uint8_t Value)
{
    if (!PageUnitInRange(Value))
        throw EUserError("TOLECustomPage.SetUnit: Illegal Unit (" + std::to_string(Value) + ")");
    if (Value == FbUnit)
        return;
    Record(CmdUnit, &FbUnit, &Value, 1);
    FbUnit = Value;
}

TrecPicture* TOLECustomPage::GetPagePicture()
{
    return FPagePicture.pBits ? &FPagePicture : nullptr;
}

void TOLECustomPage::InvalidateRect(const TRect* Rect, bool Invalidate)
{
    if (!FPagePicture.pBits)
        return;
    // Nothing past the picture is ever rendered: the dirty area stays on it,
    // however far an effect's reach widened what an item invalidates.
    TRect Whole;
    RecPictureGetRect(FPagePicture, Whole);
    TRect Part = Rect ? *Rect : Whole;
    if (RectIntersect(Part, Whole))
        RectUnion(FrectDirty, Part, FrectDirty);
    if (Invalidate)
        InvalidateViews(Rect);
}

void TOLECustomPage::AddForm(TOLEFormDoc* View)
{
    FViews.push_back(View);
    View->SetPage(this);
    if (FDocument)
        FDocument->AddForm(View);
    const BITMAPINFOHEADER* H = RecPictureHeader(FPagePicture);
    if (!FPagePicture.pBits && H && H->biWidth > 0 && H->biHeight > 0) {
        void* Bits = nullptr;
        FPagePicture.hDIBSection = CreateDIBSection(H, DIB_RGB_COLORS, &Bits);
        FPagePicture.pBits = static_cast<uint8_t*>(Bits);
        if (!FPagePicture.hDIBSection) {
            FPagePicture.pBits = nullptr;
            ErrorMessageBox("TOLECustomPage.AddForm: CreateDIBSection Error!");
        } else {
            InvalidateRect(nullptr, false);
        }
    }
}

void TOLECustomPage::RemoveForm(TOLEFormDoc* View)
{
    auto It = std::find(FViews.begin(), FViews.end(), View);
    if (It != FViews.end())
        FViews.erase(It);
    if (FViews.empty())
        FreePixels(FPagePicture);
    View->SetPage(nullptr);
    // Last: the document may free itself and this page.
    if (TPageDocumentLink* Doc = FDocument)
        Doc->RemoveForm(View);
}

TOLEFormDoc* TOLECustomPage::GetForm(int32_t Index) const
{
    if (Index < 0 || Index >= GetFormCount())
        throw EListError("List index out of bounds (%d)", Index);
    return FViews[static_cast<size_t>(Index)];
}

TOLEFormDoc* TOLECustomPage::ActiveForm() const
{
    TMainWindowLink* Main = GetMainWindowLink();
    if (!Main)
        return nullptr;
    TOLEFormDoc* Active = Main->GetActiveForm();
    return Active && Active->Page() == this ? Active : nullptr;
}

void TOLECustomPage::WriteToStream(TStream& Stream)
{
    StreamWriteByte(Stream, FbDisplayMode);
    StreamWriteByte(Stream, FbRulerUnit);
    Stream.WriteBuffer(&FPrintPosition, sizeof(FPrintPosition));
    StreamWriteInt32(Stream, FiWidth);
    StreamWriteInt32(Stream, FiHeight);
    StreamWriteInt32(Stream, FiDPI);
    StreamWriteByte(Stream, FbUnit);
    StreamWriteByte(Stream, FbNext);
    StreamWriteByte(Stream, FbNext2);
    StreamWriteInt32(Stream, FiBkColor);
    StreamWriteInt32(Stream, FPagePicture.iLeft);
    StreamWriteInt32(Stream, FPagePicture.iTop);
    BITMAPINFOHEADER H = *RecPictureHeader(FPagePicture);
    H.biSizeImage = static_cast<uint32_t>(GetDIBLineSize(H.biWidth, H.biBitCount) * H.biHeight);
    uint8_t Raw[sizeof(BITMAPINFOHEADER)];
    WriteBitmapInfoHeader(H, Raw);
    Stream.WriteBuffer(Raw, sizeof(Raw));
}

void TOLECustomPage::ReadBaseData(TStream& Stream, int32_t Version, uint8_t DisplayModeBefore)
{
    TBaseData D;
    D.DisplayMode = DisplayModeBefore;
    D.RulerUnit = FbRulerUnit;
    D.PrintPosition = FPrintPosition;
    ReadBaseFields(Stream, Version, D);

    TrecPicture Picture;
    TPictureGuard Guard(Picture);
    MakePagePicture(Picture, TPoint{D.Left, D.Top}, D.Header.biWidth, D.Header.biHeight,
                    !FViews.empty());
    if (Picture.pBits)
        std::memset(Picture.pBits, 0, static_cast<size_t>(RecPictureGetImageSize(Picture)));
    KeepStoredHeaderFields(Picture, D.Header);

    std::swap(FPagePicture, Picture);
    FbDisplayMode = D.DisplayMode;
    FbRulerUnit = D.RulerUnit;
    FPrintPosition = D.PrintPosition;
    FiWidth = D.Width;
    FiHeight = D.Height;
    FiDPI = D.DPI;
    FbUnit = D.Unit;
    FbNext = D.Next;
    FbNext2 = D.Next2;
    FiBkColor = D.BkColor;
}

void TOLECustomPage::ReadFromStream(TStream& Stream, int32_t Version)
{
    ReadBaseData(Stream, Version, FbDisplayMode);
}

// ---------------------------------------------------------------------------
// TPage

TPage::TPage(THistoryCommand* AHistory) : TOLECustomPage(AHistory)
{
    const TMemIniFile& Ini = AppIniFile();
    static const char* const Section = "4.0";
    FiDPI = StoredPageDPI(Ini.ReadInteger(Section, "PgDDPI", DefaultPageDPI));
    FPrintPosition.Left = Ini.ReadInteger(Section, "PgDLeft", 0);
    FPrintPosition.Top = Ini.ReadInteger(Section, "PgDTop", 0);
    FPrintPosition.CenterH = Ini.ReadBool(Section, "PgDHCtr", false) ? 1 : 0;
    FPrintPosition.CenterV = Ini.ReadBool(Section, "PgDVCtr", false) ? 1 : 0;
    FiBkColor = StoredPageBkColor(Ini.ReadInteger(Section, "PgDBkCol", DefaultPageBkColor));
    FbUnit = StoredPageUnit(Ini.ReadInteger(Section, "PgDUnit", DefaultPageUnit));
    FGrid = DefaultPageGrid();
    FLayers = std::make_unique<TLayers>();
    FRootGroup = std::make_unique<TDrawGroup>(this, -1);
    if (TPageSelectionFactory Factory = GetPageSelectionFactory())
        FSelection = Factory(*this);
}

TPage::~TPage()
{
    FbDestroying = 1;
    FSelection.reset();
    FRootGroup.reset();
    FLayers.reset();
}

void TPage::Undo(int32_t Command, const void* Data, int32_t Size)
{
    static const char* const Caller = "TPage.Undo";
    switch (Command & 0x7F) {
    case CmdGridOption:
        SetGridOption(ReadRecord<TrecGrid>(Data, Size, Caller));
        break;
    case CmdSnapGrid:
        SetSnapGrid(ReadRecord<uint8_t>(Data, Size, Caller));
        break;
    case CmdShowGrid:
        SetShowGrid(ReadRecord<uint8_t>(Data, Size, Caller));
        break;
    case CmdNodeChange:
        UndoNodeChange(Data, Size, false);
        break;
    case CmdMouseMode: {
        const auto V = ReadRecord<std::array<uint8_t, 2>>(Data, Size, Caller);
        SetMouseModeCommand(V[0], V[1]);
        if (TMainWindowLink* Main = GetMainWindowLink(); Main && ActiveForm())
            Main->UpdateToolButton(V[0], V[1]);
        break;
    }
    case CmdPaste:
        UndoPaste(Data, Size);
        break;
    default:
        TOLECustomPage::Undo(Command, Data, Size);
    }
}

void TPage::Redo(int32_t Command, const void* Data, int32_t Size)
{
    if ((Command & 0x7F) == CmdPaste) {
        TMemoryStreamWex S;
        S.SetPointer(Data, Size);
        PasteFromStream(S);
        return;
    }
    if ((Command & 0x7F) == CmdNodeChange) {
        UndoNodeChange(Data, Size, true);
        return;
    }
    Undo(Command, Data, Size);
}

void TPage::SetRulerUnit(uint8_t Value)
{
    TOLECustomPage::SetRulerUnit(Value);
    for (TOLEFormDoc* V : FViews) {
        V->UpdateRulerHead();
        V->InvalidateRulers();
    }
}

void TPage::SetDisplayMode(uint8_t Value)
{
    if (Value == FbDisplayMode)
        return;
    TOLECustomPage::SetDisplayMode(Value);
    // Clearing the caches invalidates every item, which is no change of
    // theirs: what failed in a mode stays left out in it.
    std::vector<std::pair<TDrawItem*, TDrawItem::TDrawFailureMark>> Marks;
    KeepDrawFailureMarks(*FRootGroup, Marks);
    TDrawItem::ClearMacrosPictCache(*FRootGroup, -1);
    for (auto& [Item, Mark] : Marks)
        Item->RestoreDrawFailureMark(std::move(Mark));
    if (TOLEFormDoc* Active = ActiveForm())
        Active->UpdateDispModeActions();
}

void TPage::KeepDrawFailureMarks(TDrawGroup& Group,
                                 std::vector<std::pair<TDrawItem*, TDrawItem::TDrawFailureMark>>& Marks)
{
    for (int32_t I = 0; I < Group.GetCount(); ++I) {
        TDrawItem* Item = Group.GetItem(I);
        if (auto* G = dynamic_cast<TDrawGroup*>(Item))
            KeepDrawFailureMarks(*G, Marks);
        if (Item->DrawFailureMark().Modes)
            Marks.emplace_back(Item, Item->DrawFailureMark());
    }
}

void TPage::SetAnchorsValid(bool Value)
{
    if (FSelection)
        FSelection->SetAnchorsValid(Value);
}

void TPage::SetGridOption(const TrecGrid& Rec)
{
    if (GridOptionEqual(Rec, FGrid))
        return;
    Record(CmdGridOption, &FGrid, &Rec, sizeof(TrecGrid));
    FGrid = Rec;
    SetModified();
    for (TOLEFormDoc* V : FViews)
        V->UpdateGridActions();
    InvalidateAll();
}

void TPage::SetSnapGrid(uint8_t Flag)
{
    if (Flag == FGrid.SnapGrid)
        return;
    Record(CmdSnapGrid, &FGrid.SnapGrid, &Flag, 1);
    FGrid.SnapGrid = Flag;
    SetModified();
    for (TOLEFormDoc* V : FViews)
        V->UpdateGridActions();
}

void TPage::SetShowGrid(uint8_t Flag)
{
    if (Flag == FGrid.ShowGrid)
        return;
    Record(CmdShowGrid, &FGrid.ShowGrid, &Flag, 1);
    FGrid.ShowGrid = Flag;
    SetModified();
    for (TOLEFormDoc* V : FViews)
        V->UpdateGridActions();
    InvalidateAll();
}

void TPage::SetMouseMode(uint8_t Mode)
{
    if (Mode == FbMouseMode)
        return;
    FbMouseMode = Mode;
    ShowMouseModeStatus();
}

void TPage::ShowMouseModeStatus()
{
    TOLEFormDoc* Active = ActiveForm();
    if (!Active)
        return;
    Active->UpdateCursor(0);
    TMainWindowLink* Main = GetMainWindowLink();
    if (FbMouseMode < 3)
        Active->ShowSelectionStatus();
    else
        Main->SetStatusText(1, "");
    Main->SetStatusText(2, MouseModeHint(FbMouseMode, FbPolySubMode));
}

void TPage::SetMouseModeCommand(uint8_t Mode, uint8_t SubMode)
{
    if (Mode == FbMouseMode && SubMode == FbPolySubMode)
        return;
    const bool KeepsNodes = Mode == 3 || Mode == 6 || Mode == 13;
    if (FSelection) {
        if (!KeepsNodes && FSelection->GetEditMode() == 1)
            FSelection->ClearNodeSelection();
        if (!KeepsNodes && Mode != 0)
            FSelection->ClearSelection();
    }
    const uint8_t Old[2] = {FbMouseMode, FbPolySubMode};
    const uint8_t New[2] = {Mode, SubMode};
    Record(CmdMouseMode, Old, New, 2);
    // The sub-mode first: the status hint of the drawing modes depends on it.
    const bool SubChanged = SubMode != FbPolySubMode;
    FbPolySubMode = SubMode;
    if (Mode != FbMouseMode)
        SetMouseMode(Mode);
    else if (SubChanged)
        ShowMouseModeStatus();
    if (FSelection) {
        if (Mode != 3) {
            const uint8_t EditMode = (Mode == 6 || Mode == 13) ? 1 : 0;
            if (FSelection->GetEditMode() != EditMode)
                FSelection->SetEditMode(EditMode);
        }
        FSelection->RebuildAnchors();
    }
    if (TOLEFormDoc* Active = ActiveForm())
        Active->UpdateActionStates();
}

void TPage::CollectPictureHandles(TListPtrWex& List)
{
    TDocumentLink* Doc = GetDocument();
    TListRecPict* Store = Doc ? Doc->GetPictureStore() : nullptr;
    if (Store)
        FRootGroup->CollectPictureHandles(List, *Store);
}

void TPage::CollectNamedPictures(TListPtrWex& List)
{
    TDocumentLink* Doc = GetDocument();
    const TListRecPict* Store = Doc ? Doc->GetPictureStore() : nullptr;
    if (!Store)
        return;
    std::vector<const TDrawItem*> Pending{FRootGroup.get()};
    while (!Pending.empty()) {
        const TDrawItem* Item = Pending.back();
        Pending.pop_back();
        if (const auto* G = dynamic_cast<const TDrawGroup*>(Item)) {
            for (int32_t I = 0; I < G->GetCount(); ++I)
                Pending.push_back(G->GetItem(I));
        } else if (const auto* O = dynamic_cast<const TDrawObject*>(Item)) {
            // Without the outline's bounds no derived picture is found:
            // only the base pictures count here. A fill value that cannot
            // be read names none.
            try {
                O->Macros().CollectPictures(List, *Store, TRect{0, 0, 0, 0});
            } catch (const EUserError&) {
            }
        }
    }
}

void TPage::SelectionChanged(bool Flag)
{
    for (TOLEFormDoc* V : FViews)
        V->SelectionChanged(Flag);
}

void TPage::InvalidateSelection()
{
    if (!FSelection)
        return;
    const TRect R = FSelection->GetExtent();
    for (TOLEFormDoc* V : FViews)
        V->InvalidatePageRect(&R);
}

void TPage::InvalidateSelectionHandles()
{
    if (!FSelection)
        return;
    const TRect B = FSelection->GetBounds();
    for (TOLEFormDoc* V : FViews) {
        const int32_t Zoom = std::max(1, V->GetZoomPercent());
        const int32_t D = 700 / Zoom;
        const TRect R{B.Left - D, B.Top - D, B.Right + D, B.Bottom + D};
        V->InvalidatePageRect(&R);
    }
}

void TPage::RedrawAnchors()
{
    for (TOLEFormDoc* V : FViews)
        V->RedrawAnchors();
}

void TPage::DrawItems(TrecDrawTarget& Target, int32_t Count, uint8_t Mode)
{
    TPanelTextKeeper Keep;
    TDocumentLink* Doc = GetDocument();
    TListRecPict* Store = Doc ? Doc->GetPictureStore() : nullptr;
    FiDrawStartTime = DrawTickCount();
    const int32_t N = std::clamp(Count, 0, FRootGroup->GetCount());
    for (int32_t I = 0; I < N; ++I)
        FRootGroup->GetItem(I)->Paint(Target, Mode, Store, nullptr, 0);
}

void TPage::ExtendDirtyRect(std::vector<TDrawObject*>& Objects, TRenderLeaveOut& LeaveOut)
{
    // Until no more sources join: the area reading objects spread into may
    // reach the source of another object, which then re-renders whole.
    // Nothing past the page is rendered: however far an effect reads, the
    // area stays on it.
    TRect Sources = EmptyExtent;
    for (bool First = true;; First = false) {
        TRedrawClosure(Objects, LeaveOut).Run(FrectDirty);
        TRect Region = EmptyExtent;
        for (TDrawObject* O : Objects)
            if (O->RedrawPending())
                RectUnion(Region, O->GetSourceExtent(), Region);
        if (!First && Region == Sources)
            return;
        Sources = Region;
        RectUnion(FrectDirty, Region, FrectDirty);
        FrectDirty = SpreadOverReaders(Objects, FrectDirty);
        ClipToPicture(FrectDirty);
    }
}

void TPage::InvalidateRect(const TRect* Rect, bool Invalidate)
{
    // An item that covers nothing invalidates an empty rectangle: no pixel
    // changes with it.
    if (!FbFreshInvalidating && (!Rect || !IsEmptyRect(*Rect)))
        FFreshItems.clear();
    TOLECustomPage::InvalidateRect(Rect, Invalidate);
}

bool TPage::FreshItemsOnTop(TRenderLeaveOut& LeaveOut)
{
    if (FFreshItems.empty())
        return false;
    const int32_t First = FRootGroup->GetCount() - static_cast<int32_t>(FFreshItems.size());
    if (First < 0 || !FPagePicture.pBits) {
        FFreshItems.clear();
        return false;
    }
    for (size_t I = 0; I < FFreshItems.size(); ++I)
        if (FRootGroup->GetItem(First + static_cast<int32_t>(I)) != FFreshItems[I]) {
            FFreshItems.clear();
            return false;
        }
    {
        struct TScope {
            bool& Flag;
            ~TScope() { Flag = false; }
        } Scope{FbFreshInvalidating = true};
        for (TDrawItem* Item : FFreshItems)
            PrepareItem(*Item, FRootGroup->Visible(), LeaveOut);
    }
    // The items beneath are as the picture shows them: whatever they
    // invalidate now forgets the fresh items.
    PrepareItems(*FRootGroup, true, LeaveOut);
    return !FFreshItems.empty();
}

void TPage::Update()
{
    FbCancelled = false;
    // An item that fails as it paints is left out and the area rendered
    // again without it, so that nothing it drew before it failed stays. The
    // first round meets every item that fails (the rest paint on), so the
    // second draws what stays; the rounds are bounded all the same.
    constexpr int32_t MaxRounds = 4;
    for (int32_t Round = 1; RenderDirty(Round == MaxRounds); ++Round) {
    }
}

bool TPage::RenderDirty(bool LastRound)
{
    TRenderLeaveOut LeaveOut{FbDisplayMode, FDrawFailures};
    // Taken now: whatever happens below, the fresh items are painted or
    // the area is rendered whole.
    const bool FreshOnly = FreshItemsOnTop(LeaveOut);
    const std::vector<TDrawItem*> Fresh = std::move(FFreshItems);
    FFreshItems.clear();
    // The objects that are painted, in painting order.
    std::vector<TDrawObject*> Objects;
    if (!FreshOnly) {
        PrepareItems(*FRootGroup, true, LeaveOut);
        CollectPaintOrder(*FRootGroup, FbDisplayMode, Objects);
        for (TDrawObject* O : Objects)
            O->SetCounted(0);
        ExtendDirtyRect(Objects, LeaveOut);
    } else {
        for (TDrawItem* Item : Fresh)
            CollectItemPaintOrder(*Item, FbDisplayMode, Objects);
    }
    if (IsEmptyRect(FrectDirty) || !FPagePicture.pBits)
        return false;

    TRect R = FrectDirty;
    TRect Whole;
    RecPictureGetRect(FPagePicture, Whole);
    if (!RectIntersect(R, Whole)) {
        FrectDirty = EmptyExtent;
        return false;
    }
    // Rendered: R and what its objects read round it; kept: R alone.
    TRect Area = RenderArea(Objects, R);
    RectIntersect(Area, Whole);

    TrecDrawTarget Target;
    TPictureGuard Guard(Target.Picture);
    Target.Width = Area.Right - Area.Left + 1;
    Target.Height = Area.Bottom - Area.Top + 1;
    Target.DPI = FiDPI;
    Target.Unit = FbUnit;
    Target.Next = FbNext;
    Target.BkColor = FiBkColor;
    // A render of the whole page draws straight into the page picture: a
    // second picture of the page's size is what a page of a hundred million
    // pixels cannot afford. A part renders aside and is copied in, so that
    // the rest of the page is never touched.
    const bool InPlace = Area == Whole;
    if (InPlace)
        Target.Picture = FPagePicture;
    else
        RecPictureCreate(Target.Picture, TPoint{Area.Left, Area.Top}, Target.Width, Target.Height, 24,
                         true);
    // The borrowed blocks stay the page's, whatever happens below.
    struct TGiveBack {
        TrecDrawTarget& T;
        bool On;
        ~TGiveBack()
        {
            if (On)
                T.Picture = TrecPicture{};
        }
    } GiveBack{Target, InPlace};
    // Fresh items go over the picture as it is; anything else is rendered
    // from the background up.
    if (!FreshOnly)
        FillDrawTarget(Target);
    else if (!InPlace)
        CopyIntoPicture(Target.Picture, FPagePicture, Area);

    std::vector<TItemDrawFailure> Failed;
    {
        TPanelTextKeeper Keep;
        FiDrawStartTime = DrawTickCount();
        FbAbort = 0;
        TDocumentLink* Doc = GetDocument();
        Target.Failures = &Failed;
        const int32_t First = FreshOnly ? FRootGroup->GetCount() - static_cast<int32_t>(Fresh.size()) : 0;
        FRootGroup->PaintFrom(First, Target, FbDisplayMode, Doc ? Doc->GetPictureStore() : nullptr,
                              &FbAbort, 0);
        FDrawFailures.insert(FDrawFailures.end(), Failed.begin(), Failed.end());
    }
    if (FbAbort) {
        // A cancelled rendering is incomplete: the area stays dirty.
        FbAbort = 0;
        FbCancelled = true;
        return false;
    }
    if (!Failed.empty() && !LastRound) {
        // Rendered again without them; drawn in place, they may have
        // touched any pixel of the page.
        if (InPlace)
            FrectDirty = Whole;
        return true;
    }
    if (!InPlace)
        CopyIntoPicture(FPagePicture, Target.Picture, R);
    InvalidateViews(&R);
    FrectDirty = EmptyExtent;
    return false;
}

std::exception_ptr TPage::TakePaintFailure()
{
    std::vector<TItemDrawFailure> Failures = TakeDrawFailures();
    return Failures.empty() ? nullptr : Failures.front().Error;
}

void TPage::RenderForOutput(uint8_t Mode)
{
    // The items left out of the views' renders in Mode are tried again,
    // where they stand (or, never measured, anywhere on the page).
    std::vector<TDrawItem*> LeftOut;
    CollectLeftOut(*FRootGroup, Mode, LeftOut);
    for (TDrawItem* Item : LeftOut) {
        Item->ForgetDrawFailureAt(Mode);
        TRect Area;
        RectUnion(Item->GetPaintExtent(), Item->GetSourceExtent(), Area);
        InvalidateRect(IsEmptyRect(Area) ? nullptr : &Area, false);
        if (auto* O = dynamic_cast<TDrawObject*>(Item))
            O->SetRedrawPending(1);
    }
    const size_t Before = FDrawFailures.size();
    RenderInMode(Mode);
    if (FDrawFailures.size() <= Before)
        return;
    // The command tells it; the views keep what they have yet to tell.
    const std::exception_ptr First = FDrawFailures[Before].Error;
    FDrawFailures.resize(Before);
    std::rethrow_exception(First);
}

void TPage::CollectLeftOut(TDrawGroup& Group, uint8_t Mode, std::vector<TDrawItem*>& Items)
{
    for (int32_t I = 0; I < Group.GetCount(); ++I) {
        TDrawItem* Item = Group.GetItem(I);
        if (auto* G = dynamic_cast<TDrawGroup*>(Item))
            CollectLeftOut(*G, Mode, Items);
        if (Item->LeftOutAt(Mode))
            Items.push_back(Item);
    }
}

void TPage::ClipToPicture(TRect& Rect) const
{
    if (IsEmptyRect(Rect))
        return;
    TRect Whole;
    RecPictureGetRect(FPagePicture, Whole);
    RectIntersect(Rect, Whole);
}

void TPage::WriteToStream(TStream& Stream)
{
    // Field by field: the filler bytes are written as 0.
    TrecGrid G;
    std::memset(&G, 0, sizeof(G));
    G.Value0 = FGrid.Value0;
    G.Byte0 = FGrid.Byte0;
    G.ShowGrid = FGrid.ShowGrid;
    G.SnapGrid = FGrid.SnapGrid;
    G.Value1 = FGrid.Value1;
    G.Value2 = FGrid.Value2;
    G.Value3 = FGrid.Value3;
    G.Value4 = FGrid.Value4;
    G.Value5 = FGrid.Value5;
    G.Value6 = FGrid.Value6;
    G.Byte1 = FGrid.Byte1;
    Stream.WriteBuffer(&G, sizeof(TrecGrid));
    TOLECustomPage::WriteToStream(Stream);
    FLayers->WriteToStream(Stream);
    FRootGroup->WriteToStream(Stream);
}

void TPage::ReadFromStream(TStream& Stream, int32_t Version)
{
    if (Version > PageStreamVersion || Version < 0)
        throw EUserError("TPage.ReadFromStream: Illegal Version (" + std::to_string(Version) + ")");
    uint8_t DisplayMode = FbDisplayMode;
    if (Version >= 3 && Version <= 18)
        DisplayMode = StreamReadByte(Stream);
    TrecGrid Grid;
    Stream.ReadBuffer(&Grid, sizeof(TrecGrid));
    // Any byte but 0 showed the grid or snapped to it.
    Grid.ShowGrid = Grid.ShowGrid != 0;
    Grid.SnapGrid = Grid.SnapGrid != 0;

    TBaseData D;
    D.DisplayMode = DisplayMode;
    D.RulerUnit = FbRulerUnit;
    D.PrintPosition = FPrintPosition;
    ReadBaseFields(Stream, Version, D);

    auto Layers = std::make_unique<TLayers>();
    Layers->ReadFromStream(Stream);

    if (StreamReadByte(Stream) != doftGroup)
        throw EUserError("TPage.ReadFromStream: (DrawObjFileType <> doftGroup)");
    TList2Item IDMap;
    // The root group reads in place (keeping its ID, so that the items get
    // the IDs they had when written); a failed read leaves it unchanged.
    if (FSelection)
        FSelection->EmptyItems();
    FRootGroup->ReadFromStream(Stream, &IDMap, Version);
    FRootGroup->DropEmptyGroups();
    try {
        // A value beyond its range (from another program or an older one)
        // is brought into it: the document opens and draws, where a paste
        // of the same item is refused.
        AdmitReadItems(*FRootGroup, D.DPI, TItemsRoad::Stored, "TPage.ReadFromStream");
        TDrawItem::RelinkLayers(*FRootGroup, *Layers, true);
    } catch (...) {
        // The items refer to layers that do not exist: they cannot stay.
        for (int32_t I = 0; I < FRootGroup->GetCount(); ++I)
            MarkDrawItemSilent(*FRootGroup->GetItem(I));
        FRootGroup->Clear();
        throw;
    }
    FRootGroup->RelinkReadItems(&IDMap);

    // Everything was read: nothing below can fail but the picture.
    TrecPicture Picture;
    TPictureGuard Guard(Picture);
    MakePagePicture(Picture, TPoint{D.Left, D.Top}, D.Header.biWidth, D.Header.biHeight,
                    !FViews.empty());
    if (Picture.pBits)
        std::memset(Picture.pBits, 0, static_cast<size_t>(RecPictureGetImageSize(Picture)));
    KeepStoredHeaderFields(Picture, D.Header);

    std::swap(FPagePicture, Picture);
    FGrid = Grid;
    FbDisplayMode = D.DisplayMode;
    FbRulerUnit = D.RulerUnit;
    FPrintPosition = D.PrintPosition;
    FiWidth = D.Width;
    FiHeight = D.Height;
    FiDPI = D.DPI;
    FbUnit = D.Unit;
    FbNext = D.Next;
    FbNext2 = D.Next2;
    FiBkColor = D.BkColor;
    FrectDirty = EmptyExtent;

    std::swap(FLayers, Layers);
    Layers.reset();
    InvalidateRect(nullptr, true);
}

// ---------------------------------------------------------------------------
// Paste

template <class ReadBody>
void TPage::Paste(TStream& Stream, const char* ErrorText, ReadBody&& Read)
{
    TPageSelection* Sel = FSelection.get();
    struct TResume {
        TPageSelection* Sel;
        ~TResume()
        {
            if (Sel)
                Sel->EndUpdate();
        }
    } Resume{Sel};
    if (Sel) {
        Sel->BeginUpdate();
        Sel->ClearSelection();
    }

    TList2Item IDMap;
    std::unique_ptr<TDrawGroup> Group;
    std::vector<TDrawItem*> Pasted;
    std::unique_ptr<TMemoryStream> RedoStream;
    // Pasted over a complete picture (or over items pasted so), the items
    // are fresh: what they invalidate on the way in is their own area.
    const bool Fresh = FPagePicture.pBits && (IsEmptyRect(FrectDirty) || !FFreshItems.empty());
    FbFreshInvalidating = Fresh;
    try {
        TDocumentLink* Doc = GetDocument();
        TListRecPict* Store = Doc ? Doc->GetPictureStore() : nullptr;
        // Without a document the pictures are read (the stream must be
        // sound) but have nowhere to go.
        std::unique_ptr<TListRecPict> Scratch;
        if (!Store) {
            Scratch = std::make_unique<TListRecPict>(nullptr);
            Store = Scratch.get();
        }

        Group = std::make_unique<TDrawGroup>(this, -1);
        const int32_t Version = Read.Header(Stream);
        Read.Body(*Group, Stream, IDMap, Version);
        TList2Item HandleMap;
        Read.Pictures(*Store, Stream, HandleMap, Version);
        TDrawItem::TranslatePictureHandles(*Group, HandleMap);
        Group->RelinkReadItems(&IDMap);
        // A text from outside may hold any numbers: what the page could
        // not draw (or place without overflow) never reaches it.
        AdmitReadItems(*Group, FiDPI, TItemsRoad::Pasted, "TPage.Paste");
        Group->SetLayer(FLayers->GetCurrent());

        THistoryCommand* History = HistoryCommand();
        if (History && !History->IsLockAddHistory()) {
            // Redo pastes the binary form of what was read.
            RedoStream = std::make_unique<TMemoryStream>();
            StreamWriteInt32(*RedoStream, PageStreamVersion);
            Group->WriteToStream(*RedoStream);
            TListPtrWex Used;
            Group->CollectPictureHandles(Used, *Store);
            Store->WriteToStream(*RedoStream, &Used);
        }

        // Groups holding nothing (from clipboards of earlier versions) stay
        // out of the page. Only now: redo reads them again, as it must to
        // give the items the same IDs, and leaves them out again.
        Group->DropEmptyGroups();
        THistoryLock Lock(History);
        for (int32_t I = 0; I < Group->GetCount(); ++I)
            Pasted.push_back(Group->GetItem(I));
        for (TDrawItem* Item : Pasted)
            FRootGroup->AddChildToEnd(Item);
        SetModified();
    } catch (...) {
        FbFreshInvalidating = false;
        FFreshItems.clear();
        if (Sel)
            Sel->EmptyItems();
        if (Group)
            MarkDrawItemSilent(*Group);
        Group.reset();
        throw EUserError(ErrorText);
    }
    FbFreshInvalidating = false;
    if (Fresh)
        FFreshItems.insert(FFreshItems.end(), Pasted.begin(), Pasted.end());
    MarkDrawItemSilent(*Group);
    Group.reset();

    if (Sel)
        Sel->SetItems(Pasted);
    if (RedoStream) {
        std::vector<int32_t> IDs;
        for (TDrawItem* Item : Pasted)
            IDs.push_back(Item->ObjID());
        AddHistory(0, CmdPaste, IDs.data(), static_cast<int32_t>(IDs.size() * 4));
        AddHistory(1, CmdPaste, RedoStream->Memory(), static_cast<int32_t>(RedoStream->Size()));
    }
}

namespace {

void CheckPasteVersion(int32_t Version, const char* Caller)
{
    if (Version < 0 || Version > PageStreamVersion)
        throw EUserError(std::string(Caller) + ": Unsupported Version (" + std::to_string(Version) +
                         ")");
}

struct TBinaryPasteReader {
    int32_t Header(TStream& Stream)
    {
        const int32_t Version = StreamReadInt32(Stream);
        CheckPasteVersion(Version, "TPage.PasteFromStream");
        if (StreamReadByte(Stream) != doftGroup)
            throw EUserError("TPage.PasteFromStream:(DrawObjFileType <> doftGroup)");
        return Version;
    }
    void Body(TDrawGroup& Group, TStream& Stream, TList2Item& IDMap, int32_t Version)
    {
        Group.ReadFromStream(Stream, &IDMap, Version);
    }
    void Pictures(TListRecPict& Store, TStream& Stream, TList2Item& Map, int32_t Version)
    {
        Store.ReadFromStreamBinary(Stream, Map, Version);
    }
};

struct TTextPasteReader {
    int32_t Header(TStream& Stream)
    {
        std::string Line;
        do {
            if (Stream.Position() >= Stream.Size())
                throw EUserError("TPage.PasteFromStreamAsText:(strLine <> gcstrCFDrawItem)");
            Line = StreamReadln(Stream);
        } while (Line.empty());
        if (Line != gcstrCFDrawItem)
            throw EUserError("TPage.PasteFromStreamAsText:(strLine <> gcstrCFDrawItem)");
        const int32_t Version = StrToInt(StreamReadln(Stream));
        CheckPasteVersion(Version, "TPage.PasteFromStreamAsText");
        if (StrToInt(StreamReadln(Stream)) != doftGroup)
            throw EUserError(
                "TPage.PasteFromStreamAsText:(StrToInt(StreamReadln(Stream)) <> Ord(doftGroup))");
        return Version;
    }
    void Body(TDrawGroup& Group, TStream& Stream, TList2Item& IDMap, int32_t Version)
    {
        Group.ReadFromStreamAsText(Stream, &IDMap, Version);
    }
    void Pictures(TListRecPict& Store, TStream& Stream, TList2Item& Map, int32_t Version)
    {
        Store.ReadFromStreamAsText(Stream, Map, Version);
    }
};

} // namespace

void TPage::PasteFromStream(TStream& Stream)
{
    Paste(Stream, "TPage.PasteFromStream: フォーマットが不正です", TBinaryPasteReader{});
}

void TPage::PasteFromStreamAsText(TStream& Stream)
{
    Paste(Stream, "TPage.PasteFromStreamAsText: フォーマットが不正です", TTextPasteReader{});
}

void TPage::UndoPaste(const void* Data, int32_t Size)
{
    if (Size < 0 || Size % 4 != 0)
        throw EUserError(kIllegalSize);
    THistoryCommand* History = HistoryCommand();
    const int32_t Count = Size / 4;
    std::vector<TDrawItem*> Items;
    for (int32_t I = 0; I < Count; ++I) {
        int32_t ID;
        std::memcpy(&ID, static_cast<const uint8_t*>(Data) + 4 * I, 4);
        auto* Item = History ? dynamic_cast<TDrawItem*>(History->GetObj(ID)) : nullptr;
        if (!Item || !Item->Parent())
            throw EUserError("TPage.Undo: Pasted Item Not Found (" + std::to_string(ID) + ")");
        Items.push_back(Item);
    }
    struct TResume {
        TPageSelection* Sel;
        ~TResume()
        {
            if (Sel)
                Sel->EndUpdate();
        }
    } Resume{FSelection.get()};
    if (FSelection) {
        FSelection->BeginUpdate();
        FSelection->EmptyItems();
    }
    for (TDrawItem* Item : Items)
        Item->Parent()->DeleteChild(Item);
}

// Undo records hold old values in recording order, so they are applied last
// to first and a point recorded twice ends at its oldest value; redo records
// hold new values and are applied first to last.
void TPage::UndoNodeChange(const void* Data, int32_t Size, bool Forward)
{
    constexpr int32_t RecordSize = 20;
    if (Size < 0 || Size % RecordSize != 0)
        throw EUserError(kIllegalSize);
    struct TNodeRecord {
        TLineObject* Line;
        TPolyLineNodes* Nodes;
        int32_t Index;
        uint8_t Kind;
        uint8_t NodeType;
        TPoint Point;
    };
    THistoryCommand* History = HistoryCommand();
    std::vector<TNodeRecord> Records;
    // Every record is checked before anything changes.
    for (int32_t Off = 0; Off < Size; Off += RecordSize) {
        const uint8_t* P = static_cast<const uint8_t*>(Data) + Off;
        int32_t ID;
        TNodeRecord R{};
        std::memcpy(&ID, P, 4);
        std::memcpy(&R.Index, P + 4, 4);
        R.Kind = P[8];
        R.NodeType = P[9];
        std::memcpy(&R.Point.X, P + 12, 4);
        std::memcpy(&R.Point.Y, P + 16, 4);
        TUndoObject* Obj = History ? History->GetObj(ID) : nullptr;
        R.Line = dynamic_cast<TLineObject*>(Obj);
        R.Nodes = dynamic_cast<TPolyLineNodes*>(Obj);
        if (!R.Line || !R.Nodes || !R.Line->IsPolyLine())
            throw EUserError("TPage.Undo: Illegal Object (" + std::to_string(ID) + ").");
        if (R.Kind > 1)
            throw EUserError("TPage.Undo: Illegal ChangeKind.");
        if (R.Index < 0 || R.Index >= R.Nodes->GetNodeCount())
            throw EUserError("TPage.Undo: Illegal Node Index (" + std::to_string(R.Index) + ").");
        Records.push_back(R);
    }
    if (!Forward)
        std::reverse(Records.begin(), Records.end());
    for (const TNodeRecord& R : Records) {
        if (R.Kind == 0) {
            R.Nodes->SetNodeKindRaw(R.Index, R.NodeType);
        } else {
            R.Nodes->SetNodePointRaw(R.Index, R.Point);
            R.Line->SetPathState(1);
            R.Line->SetOutputPathState(0);
        }
    }
}

bool PageSizeAllowed(int64_t Width, int64_t Height)
{
    // Each side is capped as well as the area: a side of 0 would otherwise
    // let the other reach any length.
    return Width >= 0 && Height >= 0 && Width <= MaxPicturePixels && Height <= MaxPicturePixels &&
           Width * Height <= MaxPicturePixels;
}
