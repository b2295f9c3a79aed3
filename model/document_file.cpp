#include "model/document_file.h"

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "foundation/streams.h"
#include "foundation/user_error.h"
#include "model/document.h"
#include "model/page.h"
#include "raster/bmp_conv.h"
#include "raster/png_io.h"
#include "raster/stretch_dib.h"

namespace {

// A picture record freed when it goes out of scope.
struct TPictureHolder {
    TPictureHolder() = default;
    TPictureHolder(const TPictureHolder&) = delete;
    TPictureHolder& operator=(const TPictureHolder&) = delete;
    ~TPictureHolder()
    {
        try {
            RecPictureClear(P);
        } catch (...) {
        }
    }
    TrecPicture P;
};

void FillPicture24(TrecPicture& P, int32_t Colour)
{
    const BITMAPINFOHEADER* H = RecPictureHeader(P);
    const int32_t W = H->biWidth;
    const int32_t Rows = H->biHeight < 0 ? -H->biHeight : H->biHeight;
    const int64_t Line = ((int64_t(W) * 24 + 31) / 32) * 4;
    const uint8_t B = uint8_t(Colour >> 16), G = uint8_t(Colour >> 8), R = uint8_t(Colour);
    for (int32_t Y = 0; Y < Rows; ++Y) {
        uint8_t* Row = P.pBits + Y * Line;
        for (int32_t X = 0; X < W; ++X) {
            Row[3 * X] = B;
            Row[3 * X + 1] = G;
            Row[3 * X + 2] = R;
        }
    }
}

bool HasPixels(const TrecPicture* P)
{
    if (!P || !P->pBIHeader || !P->pBits)
        return false;
    const BITMAPINFOHEADER* H = RecPictureHeader(*P);
    return H->biBitCount == 24 && H->biWidth > 0 && H->biHeight != 0;
}

void SkipBytes(TStream& Stream, int32_t Count)
{
    uint8_t Buf[8];
    Stream.ReadBuffer(Buf, Count);
}

} // namespace

// ---------------------------------------------------------------------------

void DocumentThumbnailExtent(int32_t W, int32_t H, int32_t& TW, int32_t& TH)
{
    if (W <= 0 || H <= 0) {
        TW = 1;
        TH = 1;
        return;
    }
    const int64_t S = DocumentThumbnailSize;
    if (H >= W) {
        TH = DocumentThumbnailSize;
        TW = static_cast<int32_t>((int64_t(W) * S + H / 2) / H);
    } else {
        TW = DocumentThumbnailSize;
        TH = static_cast<int32_t>((int64_t(H) * S + W / 2) / W);
    }
    if (TW < 1)
        TW = 1;
    if (TH < 1)
        TH = 1;
}

void WriteDocumentThumbnail(TStream& Stream, const TrecPicture& PagePicture, int32_t BkColor)
{
    const bool Pixels = HasPixels(&PagePicture);
    int32_t W = 0, H = 0;
    if (Pixels) {
        const BITMAPINFOHEADER* Hdr = RecPictureHeader(PagePicture);
        W = Hdr->biWidth;
        H = Hdr->biHeight < 0 ? -Hdr->biHeight : Hdr->biHeight;
    }
    int32_t TW = 0, TH = 0;
    DocumentThumbnailExtent(W, H, TW, TH);

    TPictureHolder Thumb;
    RecPictureCreate(Thumb.P, TPoint{0, 0}, TW, TH, 24, false);
    if (Pixels)
        StretchDIB(RecPictureHeader(PagePicture), PagePicture.pBits, 0, 0, W, H,
                   RecPictureHeader(Thumb.P), Thumb.P.pBits, 0, 0, TW, TH, nullptr, nullptr, 2,
                   1, 0);
    else
        FillPicture24(Thumb.P, BkColor);

    TPictureHolder Palette;
    HGLOBAL PalHeader = nullptr;
    uint8_t* PalBits = nullptr;
    BmpConv24toNHigh(PalHeader, PalBits, RecPictureHeader(Thumb.P), Thumb.P.pBits,
                     DocumentThumbnailColors, 1, false, false, false, nullptr, 0, 0, nullptr, 0,
                     nullptr, TConvertProgressEvent());
    Palette.P.pBIHeader = PalHeader;
    Palette.P.pBits = PalBits;
    bool Cancel = false;
    PNGSaveToStream(Stream, RecPictureHeader(Palette.P), Palette.P.pBits, -1, false, nullptr,
                    TConvertProgressEvent(), Cancel);
}

TDocumentChunkWriter::TDocumentChunkWriter(TStream& Stream, const char (&Tag)[5])
    : FStream(Stream)
{
    FStream.WriteBuffer(Tag, 4);
    FLengthPos = FStream.Position();
    // The placeholder is the position itself, as the format always had it.
    const auto Placeholder = static_cast<int32_t>(static_cast<uint32_t>(FLengthPos));
    FStream.WriteBuffer(&Placeholder, 4);
}

void TDocumentChunkWriter::End()
{
    const int64_t EndPos = FStream.Position();
    const int64_t Length = EndPos - FLengthPos;
    if (Length > std::numeric_limits<int32_t>::max())
        throw EWriteError();
    const auto L = static_cast<int32_t>(Length);
    FStream.SetPosition(FLengthPos);
    FStream.WriteBuffer(&L, 4);
    FStream.SetPosition(EndPos);
}

// ---------------------------------------------------------------------------
// TOLEDocumentWex: the file form

void TOLEDocumentWex::SaveToStream(TStream& Stream)
{
    TOLECustomPage* First = FPages.empty() ? nullptr : FPages.front().get();
    // The first page's picture is the thumbnail's source. Without a view
    // the page has no pixels (and its items nothing to measure against):
    // a hidden view gives it some for the time of the save.
    TSilentFormDoc Hidden;
    struct TDetach {
        TOLEDocumentWex& Doc;
        TOLECustomPage* Page = nullptr;
        TSilentFormDoc& View;
        ~TDetach()
        {
            if (!Page)
                return;
            try {
                Page->RemoveForm(&View);
            } catch (...) {
            }
            --Doc.FiKeepAlive;
        }
    } Detach{*this, nullptr, Hidden};
    if (First) {
        if (!First->GetPagePicture()) {
            ++FiKeepAlive;
            Detach.Page = First;
            First->AddForm(&Hidden);
        }
        // Brought up to date at full quality. The thumbnail is all that the
        // drawing gives the file: an object that cannot be drawn leaves it
        // as far as it got, and the document's data is written whole.
        try {
            First->RenderInMode(3);
        } catch (const Exception&) {
        }
    }

    Stream.WriteBuffer(FileHeader().data(), 6);

    TDocumentChunkWriter Docd(Stream, "DOCD");
    const auto Count = static_cast<int32_t>(FPages.size());
    Stream.WriteBuffer(&Count, 4);
    for (const auto& Page : FPages)
        Page->WriteToStream(Stream);
    Docd.End();

    TDocumentChunkWriter Lrpt(Stream, "LRPT");
    FPictures->WriteToStream(Stream, nullptr);
    Lrpt.End();

    if (!First)
        return;
    TDocumentChunkWriter Prvw(Stream, "PRVW");
    const TrecPicture* Pic = First->GetPagePicture();
    WriteDocumentThumbnail(Stream, Pic ? *Pic : TrecPicture{}, First->BkColor());
    Prvw.End();
}

void TOLEDocumentWex::LoadFromStream(TStream& Stream)
{
    // Items made and dropped by a failed read may report changes: the
    // flag is put back then.
    const uint8_t ModifiedBefore = FbModified;
    try {
        LoadFile(Stream);
    } catch (...) {
        if (FbModified != ModifiedBefore) {
            FbModified = ModifiedBefore;
            UpdateCaptions();
        }
        throw;
    }
    SetModified(false);
}

void TOLEDocumentWex::LoadFile(TStream& Stream)
{
    uint8_t Header[6];
    Stream.ReadBuffer(Header, 6);
    if (std::memcmp(Header, FileHeader().data(), DocumentFileSignatureSize) != 0)
        throw EUserError("データ形式が違います。");
    const int32_t Version = Header[3] * 256 + Header[4];
    if (Version > DocumentFileVersion)
        throw EUserError("新しいバージョンのデータです。このバージョンでは読み込めません。");
    if (Version >= DocumentFileChunkVersion)
        SkipBytes(Stream, 8);

    // The new pages are built apart; the document changes only when the
    // whole file has been read.
    int32_t Count = 0;
    Stream.ReadBuffer(&Count, 4);
    if (Count < 0 || Count > Stream.Size() - Stream.Position())
        throw EReadError();
    std::vector<std::unique_ptr<TOLECustomPage>> Pages;
    Pages.reserve(size_t(Count));
    for (int32_t I = 0; I < Count; ++I) {
        std::unique_ptr<TOLECustomPage> Page = MakePage();
        Page->ReadFromStream(Stream, Version);
        Pages.push_back(std::move(Page));
    }
    if (Version <= 2)
        SkipBytes(Stream, 1);
    if (Version >= DocumentFileChunkVersion)
        SkipBytes(Stream, 8);
    // Replaces the store only when its part was read whole.
    FPictures->LoadFromStream(Stream, Version);
    // A picture fill naming a picture the file does not hold names none.
    for (const auto& Page : Pages)
        if (auto* P = dynamic_cast<TPage*>(Page.get()))
            TDrawItem::DropMissingPictures(P->RootGroup(), *FPictures);

    ReplacePages(Pages);

    if (!FViews.empty() && !FPages.empty()) {
        TOLEFormDoc* View = FViews.front();
        if (!View->Page()) {
            FPages.front()->AddForm(View);
            View->PageLayoutChanged();
            View->InvalidatePageRect(nullptr);
        }
    }
}
