#include "store/picture_store.h"

#include "foundation/stream_text.h"
#include "foundation/stream_values.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"
#include "raster/bmp_conv.h"
#include "raster/jpeg_io.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <unordered_set>
#include <vector>

namespace {

constexpr int32_t UndoVersion = 25;
constexpr double ParamDEpsilon = 0.0001;
constexpr int32_t MaxHandle = std::numeric_limits<int32_t>::max();

// ---------------------------------------------------------------------------
// Stream and number text helpers

int64_t BytesLeft(TStream& Stream)
{
    return std::max<int64_t>(0, Stream.Size() - Stream.Position());
}

uint8_t LowByte(int32_t V)
{
    return static_cast<uint8_t>(static_cast<uint32_t>(V) & 0xFF);
}

// ---------------------------------------------------------------------------
// Pictures and temporary files

// A picture record freed unless released.
struct TPictureHolder {
    TrecPicture P{};
    TPictureHolder() = default;
    TPictureHolder(const TPictureHolder&) = delete;
    TPictureHolder& operator=(const TPictureHolder&) = delete;
    ~TPictureHolder() { RecPictureClear(P); }
    TrecPicture Release()
    {
        const TrecPicture R = P;
        P = TrecPicture{};
        return R;
    }
};

void RemoveFile(const std::string& Name)
{
    if (!Name.empty())
        std::remove(Name.c_str());
}

// A new temporary file for JPEG bytes, deleted unless handed to an item.
class TTmpJpeg {
public:
    TTmpJpeg()
    {
        makeTmpFilename("tav", FName);
        try {
            FFile = std::make_unique<TFileStream>(FName, fmCreate);
        } catch (...) {
            RemoveFile(FName);
            throw;
        }
    }
    TTmpJpeg(const TTmpJpeg&) = delete;
    TTmpJpeg& operator=(const TTmpJpeg&) = delete;
    ~TTmpJpeg()
    {
        FFile.reset();
        RemoveFile(FName);
    }

    TFileStream& File() { return *FFile; }
    void HandTo(TListRecPictItem& Item)
    {
        Item.SetJpegFile(std::move(FFile), FName);
        FName.clear();
    }

private:
    std::string FName;
    std::unique_ptr<TFileStream> FFile;
};

// Copies Count bytes (none for 0) from Source's start.
void CopyWhole(TStream& Dest, TStream& Source, int64_t Count)
{
    if (Count <= 0)
        return;
    Source.SetPosition(0);
    Dest.CopyFrom(Source, Count);
}

int32_t JpegSizeOf(TFileStream& File)
{
    const int64_t Size = File.Size();
    if (Size > std::numeric_limits<int32_t>::max())
        throw EWriteError();
    return static_cast<int32_t>(Size);
}

// A JPEG byte count read from a stream must be positive and lie within it.
void CheckJpegSize(int32_t Size, TStream& Stream, const std::string& Who)
{
    if (Size <= 0)
        throw EReadError(Who + ": JPEG のバイト数(" + std::to_string(Size) + ")が不正です");
    if (Size > BytesLeft(Stream))
        throw EReadError(Who + ": JPEG のバイト数(" + std::to_string(Size) + ")がストリームの残り(" +
                         std::to_string(BytesLeft(Stream)) + " バイト)を超えています");
}

// P (empty) := the JPEG at Stream's position, placed at Left, Top.
void DecodeJpeg(TStream& Stream, TrecPicture& P, int32_t Left, int32_t Top)
{
    HGLOBAL Header = nullptr;
    uint8_t* Bits = nullptr;
    bool Cancel = false;
    JpegLoadFromStream(Stream, Header, Bits, false, 0, false, false, nullptr, TConvertProgressEvent{},
                       Cancel);
    P.pBIHeader = Header;
    P.pBits = Bits;
    P.iLeft = Left;
    P.iTop = Top;
}

std::unique_ptr<TTmpJpeg> ReadJpegBinary(TStream& Stream, TrecPicture& P)
{
    static const std::string Who = "TListRecPictItem.ReadFromStream";
    const int32_t Left = StreamReadInt32(Stream);
    const int32_t Top = StreamReadInt32(Stream);
    const int32_t Size = StreamReadInt32(Stream);
    CheckJpegSize(Size, Stream, Who);
    auto Jpeg = std::make_unique<TTmpJpeg>();
    Jpeg->File().CopyFrom(Stream, Size);
    Jpeg->File().SetPosition(0);
    DecodeJpeg(Jpeg->File(), P, Left, Top);
    return Jpeg;
}

std::unique_ptr<TTmpJpeg> ReadJpegText(TStream& Stream, TrecPicture& P)
{
    static const std::string Who = "TListRecPictItem.ReadFromStreamAsText";
    const int32_t Left = StreamReadIntLine(Stream);
    const int32_t Top = StreamReadIntLine(Stream);
    const int32_t Size = StreamReadIntLine(Stream);
    CheckJpegSize(Size, Stream, Who);
    TMemoryStream Bytes;
    Bytes.SetSize(Size);
    void* Buffer = Bytes.Memory();
    const int32_t Got = StreamReadlnBin(Stream, Buffer, Size);
    if (Got != Size)
        throw EReadError(Who + ": JPEG のバイト数(" + std::to_string(Size) + ")とデータの長さ(" +
                         std::to_string(Got) + ")が一致しません");
    Bytes.SetPosition(0);
    DecodeJpeg(Bytes, P, Left, Top);
    auto Jpeg = std::make_unique<TTmpJpeg>();
    Jpeg->File().WriteBuffer(Bytes.Memory(), Size);
    return Jpeg;
}

// Same depth and size, and the same pixels; palette and position do not
// count, nor the bytes that pad each row to four (nothing ever sets them: a
// picture read back from its PNG form has other padding than the one it was
// written from).
bool PicturesEqual(const TrecPicture& A, const TrecPicture& B)
{
    const BITMAPINFOHEADER* HA = RecPictureHeader(A);
    const BITMAPINFOHEADER* HB = RecPictureHeader(B);
    if (!HA || !HB || !A.pBits || !B.pBits)
        return false;
    if (HA->biBitCount != HB->biBitCount || HA->biWidth != HB->biWidth || HA->biHeight != HB->biHeight)
        return false;
    const int64_t Rows = std::abs(static_cast<int64_t>(HA->biHeight));
    const int64_t Size = GetDIBImageSize(HA);
    if (Rows == 0 || HA->biWidth <= 0 || Size <= 0)
        return true;
    const int64_t Stride = Size / Rows;
    const int64_t Bits = int64_t(HA->biWidth) * HA->biBitCount;
    const size_t Full = static_cast<size_t>(std::min(Stride, Bits / 8));
    const int32_t Rest = static_cast<int32_t>(Bits % 8);
    const auto Mask = static_cast<uint8_t>(0xFF00 >> Rest);
    for (int64_t Y = 0; Y < Rows; ++Y) {
        const uint8_t* RA = A.pBits + Y * Stride;
        const uint8_t* RB = B.pBits + Y * Stride;
        if (std::memcmp(RA, RB, Full) != 0)
            return false;
        if (Rest && int64_t(Full) < Stride && ((RA[Full] ^ RB[Full]) & Mask) != 0)
            return false;
    }
    return true;
}

bool IsJpegFileName(const std::string& FileName)
{
    const size_t Dot = FileName.find_last_of('.');
    const size_t Slash = FileName.find_last_of('/');
    if (Dot == std::string::npos || (Slash != std::string::npos && Dot < Slash))
        return false;
    std::string Ext = FileName.substr(Dot);
    for (char& C : Ext)
        if (C >= 'A' && C <= 'Z')
            C = static_cast<char>(C - 'A' + 'a');
    return Ext == ".jpg" || Ext == ".jpeg";
}

void* HandleEntry(int32_t Handle)
{
    return reinterpret_cast<void*>(static_cast<intptr_t>(Handle));
}

void* PositionEntry(int32_t Position)
{
    return reinterpret_cast<void*>(static_cast<intptr_t>(Position));
}

// While the history replays a step, pictures merged into the store come back
// through the step's own records; they are nobody's new pictures.
bool Replaying(const TUndoObject& Obj)
{
    const THistoryCommand* H = Obj.HistoryCommand();
    return H && (H->IsUndoing() || H->IsRedoing());
}

bool SameBase(const TListRecPictItem& A, const TListRecPictItem& B)
{
    const TListRecPictItemCondition& CA = *A.Condition;
    const TListRecPictItemCondition& CB = *B.Condition;
    return CA.SourceHandle == CB.SourceHandle && CA.Param1 == CB.Param1 && CA.Param2 == CB.Param2 &&
           CA.Flag == CB.Flag && std::fabs(CA.ParamD - CB.ParamD) <= ParamDEpsilon &&
           PicturesEqual(A.Picture, B.Picture);
}

} // namespace

// ---------------------------------------------------------------------------
// TListRecPictItem

TListRecPictItem::TListRecPictItem() : Condition(std::make_unique<TListRecPictItemCondition>()) {}

TListRecPictItem::~TListRecPictItem()
{
    RecPictureClear(Picture);
    ReleaseJpeg();
}

void TListRecPictItem::ReleaseJpeg()
{
    FJpegFile.reset();
    RemoveFile(FJpegFileName);
    FJpegFileName.clear();
}

void TListRecPictItem::SetJpegFile(std::unique_ptr<TFileStream> File, const std::string& FileName)
{
    ReleaseJpeg();
    FJpegFile = std::move(File);
    FJpegFileName = FileName;
}

namespace {

// Puts what a reader or Assign built into the item; cannot fail.
void CommitItem(TListRecPictItem& Item, const TListRecPictItemCondition& Condition,
                TPictureHolder& Picture, std::unique_ptr<TTmpJpeg>& Jpeg)
{
    Item.Condition->Assign(Condition);
    RecPictureClear(Item.Picture);
    Item.Picture = Picture.Release();
    if (Jpeg)
        Jpeg->HandTo(Item);
    else
        Item.SetJpegFile(nullptr, std::string());
}

} // namespace

void TListRecPictItem::Assign(const TListRecPictItem& Source)
{
    if (&Source == this)
        return;
    TPictureHolder Pic;
    RecPictureCopy(Pic.P, Source.Picture, Source.Picture.hDIBSection != nullptr);
    std::unique_ptr<TTmpJpeg> Jpeg;
    if (Source.FJpegFile) {
        Jpeg = std::make_unique<TTmpJpeg>();
        CopyWhole(Jpeg->File(), *Source.FJpegFile, Source.FJpegFile->Size());
    }
    CommitItem(*this, *Source.Condition, Pic, Jpeg);
}

void TListRecPictItem::ReadFromStream(TStream& Stream, int32_t Version)
{
    TListRecPictItemCondition C;
    C.Assign(*Condition); // the fields kept in memory only stay
    C.SourceHandle = StreamReadInt32(Stream);
    C.Param1 = StreamReadInt32(Stream);
    C.Param2 = StreamReadInt32(Stream);
    C.ParamD = StreamReadDouble(Stream);
    C.Flag = Version >= 10 ? StreamReadByte(Stream) : 0;

    TPictureHolder Pic;
    std::unique_ptr<TTmpJpeg> Jpeg;
    if (Version >= 18) {
        if (StreamReadByte(Stream) == 0)
            Jpeg = ReadJpegBinary(Stream, Pic.P);
        else
            RecPictureLoadFromStream(Pic.P, Stream);
    } else if (Version >= 15) {
        RecPictureLoadFromStream(Pic.P, Stream);
    } else {
        RecPictureLoadFromStreamRaw(Pic.P, Stream);
    }
    CommitItem(*this, C, Pic, Jpeg);
}

void TListRecPictItem::ReadFromStreamAsText(TStream& Stream, int32_t Version)
{
    TListRecPictItemCondition C;
    C.Assign(*Condition);
    C.SourceHandle = StreamReadIntLine(Stream);
    C.Param1 = StreamReadIntLine(Stream);
    C.Param2 = StreamReadIntLine(Stream);
    C.ParamD = StrToFloat(StreamReadRequiredLine(Stream));
    C.Flag = Version >= 10 ? LowByte(StreamReadIntLine(Stream)) : 0;

    TPictureHolder Pic;
    std::unique_ptr<TTmpJpeg> Jpeg;
    if (Version >= 18) {
        if (LowByte(StreamReadIntLine(Stream)) == 0)
            Jpeg = ReadJpegText(Stream, Pic.P);
        else
            RecPictureLoadFromTextStream(Pic.P, Stream);
    } else if (Version >= 16) {
        RecPictureLoadFromTextStream(Pic.P, Stream);
    } else {
        RecPictureLoadFromTextStreamRaw(Pic.P, Stream);
    }
    CommitItem(*this, C, Pic, Jpeg);
}

void TListRecPictItem::WriteToStream(TStream& Stream) const
{
    StreamWriteInt32(Stream, Condition->SourceHandle);
    StreamWriteInt32(Stream, Condition->Param1);
    StreamWriteInt32(Stream, Condition->Param2);
    StreamWriteDouble(Stream, Condition->ParamD);
    StreamWriteByte(Stream, Condition->Flag);
    if (FJpegFile) {
        const int32_t Size = JpegSizeOf(*FJpegFile);
        StreamWriteByte(Stream, 0);
        StreamWriteInt32(Stream, Picture.iLeft);
        StreamWriteInt32(Stream, Picture.iTop);
        StreamWriteInt32(Stream, Size);
        CopyWhole(Stream, *FJpegFile, Size);
    } else {
        StreamWriteByte(Stream, 1);
        RecPictureSaveToStream(Picture, Stream);
    }
}

void TListRecPictItem::WriteToStreamAsText(TStream& Stream) const
{
    StreamWriteln(Stream, std::to_string(Condition->SourceHandle));
    StreamWriteln(Stream, std::to_string(Condition->Param1));
    StreamWriteln(Stream, std::to_string(Condition->Param2));
    StreamWriteln(Stream, FloatToStr(Condition->ParamD));
    StreamWriteln(Stream, std::to_string(Condition->Flag));
    if (FJpegFile) {
        const int32_t Size = JpegSizeOf(*FJpegFile);
        TMemoryStream Bytes;
        CopyWhole(Bytes, *FJpegFile, Size);
        StreamWriteln(Stream, "0");
        StreamWriteln(Stream, std::to_string(Picture.iLeft));
        StreamWriteln(Stream, std::to_string(Picture.iTop));
        StreamWriteln(Stream, std::to_string(Size));
        StreamWritelnBin(Stream, Bytes.Memory(), Size, 1);
    } else {
        StreamWriteln(Stream, "1");
        RecPictureSaveToTextStream(Picture, Stream);
    }
}

// ---------------------------------------------------------------------------
// TListRecPict

TListRecPict::TListRecPict(THistoryCommand* History) : TUndoObject(History) {}

TListRecPict::~TListRecPict()
{
    FItems.Clear();
    FNewBasePictures.Clear();
    FOwned.clear();
}

TListRecPictItem* TListRecPict::ItemAt(int32_t Index) const
{
    return reinterpret_cast<TListRecPictItem*>(FItems.GetItem(Index));
}

void TListRecPict::Reserve(size_t More)
{
    const int64_t Need = static_cast<int64_t>(FItems.Count()) + static_cast<int64_t>(More);
    if (Need >= MaxListSize)
        FItems.Error(SListCapacityError, static_cast<int32_t>(std::min<int64_t>(Need, MaxHandle)));
    if (Need > FItems.Capacity())
        FItems.SetCapacity(static_cast<int32_t>(Need));
    FOwned.reserve(static_cast<size_t>(Need));
    if (Need > FNewBasePictures.Capacity())
        FNewBasePictures.SetCapacity(static_cast<int32_t>(Need));
}

// Item is moved in only when the entry was made.
int32_t TListRecPict::Store(int32_t Handle, std::unique_ptr<TListRecPictItem>& Item)
{
    FOwned.push_back(nullptr);
    int32_t Position;
    try {
        Position = FItems.Add(Handle, reinterpret_cast<intptr_t>(Item.get()));
    } catch (...) {
        FOwned.pop_back();
        throw;
    }
    FOwned.back() = std::move(Item);
    return Position;
}

void TListRecPict::FreeAt(int32_t Index)
{
    FAside.erase(FItems.GetKey(Index));
    FItems.SetItem(Index, 0);
    FItems.SetKey(Index, -1);
    FOwned[static_cast<size_t>(Index)].reset();
}

int32_t TListRecPict::FindEqualBase(const TrecPicture& Picture) const
{
    // Derived pictures are never saved: matching one would lose the picture.
    for (int32_t I = 0; I < FItems.Count(); ++I) {
        const int32_t Handle = FItems.GetKey(I);
        const TListRecPictItem* Item = ItemAt(I);
        if (Handle >= 0 && Item && Item->Condition->SourceHandle < 0 && PicturesEqual(Item->Picture, Picture))
            return Handle;
    }
    return -1;
}

int32_t TListRecPict::TakeEqualBase(const TrecPicture& Picture)
{
    const int32_t Found = FindEqualBase(Picture);
    // Wanted again: a picture set aside for the history is the document's.
    // While the history replays a step, the step's own record of it takes it
    // back (or the document, once the step's items use it).
    if (Found >= 0 && !Replaying(*this))
        FAside.erase(Found);
    return Found;
}

int32_t TListRecPict::AddPicture(int32_t SourceHandle, int32_t Param1, int32_t Param2, double ParamD,
                                 const TPoint& Offset, int32_t Width, int32_t Height, uint8_t Flag,
                                 TrecPicture& Picture, const std::string& FileName)
{
    if (SourceHandle == -1) {
        const int32_t Found = TakeEqualBase(Picture);
        if (Found >= 0)
            return Found;
    }
    if (FNextHandle == MaxHandle)
        throw EUserError("TListRecPict.AddPicture: 画像の番号が残っていません");

    auto Item = std::make_unique<TListRecPictItem>();
    TListRecPictItemCondition& C = *Item->Condition;
    C.SourceHandle = SourceHandle;
    C.Param1 = Param1;
    C.Param2 = Param2;
    C.ParamD = ParamD;
    C.OffsetX = Offset.X;
    C.OffsetY = Offset.Y;
    C.Width = Width;
    C.Height = Height;
    C.Flag = Flag;
    // The JPEG bytes are copied first, so that a file that cannot be read
    // leaves the store and the caller's picture as they were.
    if (SourceHandle == -1 && IsJpegFileName(FileName)) {
        TTmpJpeg Jpeg;
        TFileStream Source(FileName, fmOpenRead | fmShareDenyWrite);
        Jpeg.File().CopyFrom(Source, 0);
        Jpeg.HandTo(*Item);
    }

    Reserve(1);
    Item->Picture = Picture;
    const int32_t Handle = FNextHandle;
    const int32_t Position = Store(Handle, Item); // cannot fail after Reserve
    Picture = TrecPicture{};
    if (SourceHandle < 0 && !Replaying(*this))
        FNewBasePictures.Add(PositionEntry(Position));
    ++FNextHandle;
    return Handle;
}

TListRecPictItem* TListRecPict::FindByCondition(int32_t SourceHandle, int32_t Param1, int32_t Param2,
                                                double ParamD, uint8_t Flag, const TPoint& Offset,
                                                int32_t Width, int32_t Height, int32_t* Handle) const
{
    for (int32_t I = 0; I < FItems.Count(); ++I) {
        const int32_t Key = FItems.GetKey(I);
        TListRecPictItem* Item = ItemAt(I);
        if (Key < 0 || !Item)
            continue;
        const TListRecPictItemCondition& C = *Item->Condition;
        if (C.SourceHandle == SourceHandle && C.Param1 == Param1 && C.Param2 == Param2 &&
            C.OffsetX == Offset.X && C.OffsetY == Offset.Y && C.Width == Width && C.Height == Height &&
            C.Flag == Flag && std::fabs(C.ParamD - ParamD) <= ParamDEpsilon) {
            if (Handle)
                *Handle = Key;
            return Item;
        }
    }
    if (Handle)
        *Handle = -1;
    return nullptr;
}

TListRecPictItem* TListRecPict::ItemOf(int32_t Handle) const
{
    if (Handle < 0)
        return nullptr;
    const int32_t I = FItems.IndexOfKey(Handle);
    return I < 0 ? nullptr : ItemAt(I);
}

TListRecPictItem* TListRecPict::GetItemByHandle(int32_t Handle) const
{
    return IsSetAside(Handle) ? nullptr : ItemOf(Handle);
}

void TListRecPict::Assign(const TListRecPict& Source)
{
    if (&Source == this)
        return;
    TReadList Copies;
    for (int32_t I = 0; I < Source.FItems.Count(); ++I) {
        const int32_t Handle = Source.FItems.GetKey(I);
        const TListRecPictItem* Item = Source.ItemAt(I);
        if (Handle < 0 || !Item || Item->Condition->SourceHandle != -1 || ItemOf(Handle))
            continue;
        auto Copy = std::make_unique<TListRecPictItem>();
        Copy->Assign(*Item);
        Copies.push_back({Handle, std::move(Copy)});
    }
    Reserve(Copies.size());
    FNextHandle = std::max(FNextHandle, Source.FNextHandle);
    for (TReadEntry& E : Copies)
        Store(E.Handle, E.Item);
}

void TListRecPict::MergeFrom(TListRecPict& Source, TList2Item& HandleMap)
{
    if (&Source == this)
        return;
    const int32_t Count = Source.FItems.Count();
    if (static_cast<int64_t>(FNextHandle) + Count > MaxHandle)
        throw EUserError("TListRecPict.MergeFrom: 画像の番号が残っていません");
    Reserve(static_cast<size_t>(Count));
    HandleMap.SetCapacity(std::max(HandleMap.Capacity(), HandleMap.Count() + Count));
    for (int32_t I = 0; I < Count; ++I) {
        const int32_t Handle = Source.FItems.GetKey(I);
        std::unique_ptr<TListRecPictItem>& Slot = Source.FOwned[static_cast<size_t>(I)];
        // Derived pictures belong to Source's numbering of their sources.
        if (Handle < 0 || !Slot || Slot->Condition->SourceHandle >= 0)
            continue;
        const int32_t Found = TakeEqualBase(Slot->Picture);
        if (Found >= 0) {
            HandleMap.Add(Handle, Found);
            continue;
        }
        const int32_t NewHandle = FNextHandle++;
        const int32_t Position = Store(NewHandle, Slot);
        if (!Replaying(*this))
            FNewBasePictures.Add(PositionEntry(Position));
        Source.FItems.SetItem(I, 0);
        Source.FItems.SetKey(I, -1);
        HandleMap.Add(Handle, NewHandle);
    }
}

void TListRecPict::WriteToStream(TStream& Stream, const TListPtrWex* Filter) const
{
    std::vector<int32_t> Written;
    for (int32_t I = 0; I < FItems.Count(); ++I) {
        const int32_t Handle = FItems.GetKey(I);
        const TListRecPictItem* Item = ItemAt(I);
        if (Handle >= 0 && Item && Item->Condition->SourceHandle < 0 &&
            !IsSetAside(Handle) && (!Filter || Filter->IndexOf(HandleEntry(Handle)) >= 0))
            Written.push_back(I);
    }
    StreamWriteInt32(Stream, static_cast<int32_t>(Written.size()));
    for (int32_t I : Written) {
        StreamWriteInt32(Stream, FItems.GetKey(I));
        ItemAt(I)->WriteToStream(Stream);
    }
}

void TListRecPict::WriteToStreamAsText(TStream& Stream, const TListPtrWex* Filter) const
{
    std::vector<int32_t> Written;
    for (int32_t I = 0; I < FItems.Count(); ++I) {
        const int32_t Handle = FItems.GetKey(I);
        const TListRecPictItem* Item = ItemAt(I);
        if (Handle >= 0 && Item && Item->Condition->SourceHandle < 0 &&
            !IsSetAside(Handle) && (!Filter || Filter->IndexOf(HandleEntry(Handle)) >= 0))
            Written.push_back(I);
    }
    StreamWriteln(Stream, std::to_string(Written.size()));
    for (int32_t I : Written) {
        StreamWriteln(Stream, std::to_string(FItems.GetKey(I)));
        ItemAt(I)->WriteToStreamAsText(Stream);
    }
}

TListRecPict::TReadList TListRecPict::ReadCollection(TStream& Stream, int32_t Version, bool AsText,
                                                     int64_t& MaxRead)
{
    const std::string Who = AsText ? "TListRecPict.ReadFromStreamAsText" : "TListRecPict.ReadFromStream";
    const int32_t Count = AsText ? StreamReadIntLine(Stream) : StreamReadInt32(Stream);
    // An entry takes at least 24 bytes in binary (handle and condition) and
    // 5 in text (a digit and a line end per number, before the picture).
    const int64_t MinEntry = AsText ? 5 : 24;
    if (Count < 0 || Count > BytesLeft(Stream) / MinEntry)
        throw EReadError(Who + ": 画像の数(" + std::to_string(Count) + ")が不正です");
    TReadList Read;
    std::unordered_set<int32_t> Seen;
    for (int32_t N = 0; N < Count; ++N) {
        const int32_t Handle = AsText ? StreamReadIntLine(Stream) : StreamReadInt32(Stream);
        auto Item = std::make_unique<TListRecPictItem>();
        if (AsText)
            Item->ReadFromStreamAsText(Stream, Version);
        else
            Item->ReadFromStream(Stream, Version);
        MaxRead = std::max<int64_t>(MaxRead, Handle);
        // The first picture under a handle wins; a later one is freed here.
        if (Handle < 0 || !Seen.insert(Handle).second)
            continue;
        Read.push_back({Handle, std::move(Item)});
    }
    return Read;
}

void TListRecPict::LoadFromStream(TStream& Stream, int32_t Version)
{
    int64_t MaxRead = FNextHandle;
    TReadList Read = ReadCollection(Stream, Version, false, MaxRead);
    if (MaxRead >= MaxHandle)
        throw EReadError("TListRecPict.LoadFromStream: 画像の番号(" + std::to_string(MaxRead) + ")が大きすぎます");
    // Room first, so that nothing after the old content is freed can fail.
    FItems.SetCapacity(std::max<int32_t>(FItems.Capacity(), static_cast<int32_t>(Read.size())));
    FOwned.reserve(Read.size());
    FNewBasePictures.Clear();
    FItems.SetCount(0);
    FOwned.clear();
    FAside.clear();
    for (TReadEntry& E : Read)
        Store(E.Handle, E.Item);
    FNextHandle = static_cast<int32_t>(MaxRead + 1);
}

void TListRecPict::Merge(TReadList& Read, TList2Item& HandleMap)
{
    if (static_cast<int64_t>(FNextHandle) + static_cast<int64_t>(Read.size()) > MaxHandle)
        throw EReadError("TListRecPict: 画像の番号が残っていません");
    Reserve(Read.size());
    const int32_t More = static_cast<int32_t>(Read.size());
    HandleMap.SetCapacity(std::max(HandleMap.Capacity(), HandleMap.Count() + More));
    for (TReadEntry& E : Read) {
        // Derived pictures belong to another store's numbering of their sources.
        if (E.Item->Condition->SourceHandle >= 0)
            continue;
        const int32_t Found = TakeEqualBase(E.Item->Picture);
        if (Found >= 0) {
            HandleMap.Add(E.Handle, Found);
            continue;
        }
        const int32_t NewHandle = FNextHandle++;
        const int32_t Position = Store(NewHandle, E.Item);
        if (!Replaying(*this))
            FNewBasePictures.Add(PositionEntry(Position));
        HandleMap.Add(E.Handle, NewHandle);
    }
}

void TListRecPict::ReadFromStreamBinary(TStream& Stream, TList2Item& HandleMap, int32_t Version)
{
    int64_t MaxRead = -1;
    TReadList Read = ReadCollection(Stream, Version, false, MaxRead);
    Merge(Read, HandleMap);
}

void TListRecPict::ReadFromStreamAsText(TStream& Stream, TList2Item& HandleMap, int32_t Version)
{
    int64_t MaxRead = -1;
    TReadList Read = ReadCollection(Stream, Version, true, MaxRead);
    Merge(Read, HandleMap);
}

namespace {

void AddRecord(TUndoObject& Obj, uint8_t Kind, int32_t Command, TMemoryStream& Data)
{
    // A record this large can never be kept; passing the largest size makes
    // the history refuse it as it refuses any oversized record.
    const int64_t Size = std::min<int64_t>(Data.Size(), std::numeric_limits<int32_t>::max());
    Obj.AddHistory(Kind, Command, Data.Memory(), static_cast<int32_t>(Size));
}

bool Recording(const TUndoObject& Obj)
{
    return Obj.HistoryCommand() && !Obj.HistoryCommand()->IsLockAddHistory();
}

} // namespace

void TListRecPict::CommitNew()
{
    if (FNewBasePictures.Count() == 0)
        return;
    if (Recording(*this)) {
        TMemoryStream Data;
        for (int32_t N = 0; N < FNewBasePictures.Count(); ++N) {
            const auto I = static_cast<int32_t>(reinterpret_cast<intptr_t>(FNewBasePictures.Get(N)));
            if (I < 0 || I >= FItems.Count())
                continue;
            const int32_t Handle = FItems.GetKey(I);
            const TListRecPictItem* Item = ItemAt(I);
            if (Handle < 0 || !Item || Item->Condition->SourceHandle >= 0)
                continue;
            StreamWriteInt32(Data, Handle);
            Item->WriteToStream(Data);
        }
        if (Data.Size() > 0)
            AddRecord(*this, 1, CmdPicturesAdded, Data);
    }
    FNewBasePictures.Clear();
}

void TListRecPict::RemoveUnused(const TListPtrWex& UsedHandles)
{
    const bool Record = Recording(*this);
    for (int32_t I = 0; I < FItems.Count(); ++I) {
        const int32_t Handle = FItems.GetKey(I);
        if (Handle < 0 || UsedHandles.IndexOf(HandleEntry(Handle)) >= 0)
            continue;
        const TListRecPictItem* Item = ItemAt(I);
        if (Record && Item && Item->Condition->SourceHandle < 0) {
            TMemoryStream Data;
            StreamWriteInt32(Data, Handle);
            Item->WriteToStream(Data);
            AddRecord(*this, 0, CmdPicturesRemoved, Data);
        }
        FreeAt(I);
    }
}

void TListRecPict::KeepPictures(const TListPtrWex& Used, const std::vector<int32_t>& Held)
{
    std::unordered_set<int32_t> InUse;
    for (int32_t I = 0; I < Used.Count(); ++I)
        InUse.insert(static_cast<int32_t>(reinterpret_cast<intptr_t>(Used.Get(I))));
    const std::unordered_set<int32_t> Kept(Held.begin(), Held.end());
    for (int32_t I = 0; I < FItems.Count(); ++I) {
        const int32_t Handle = FItems.GetKey(I);
        if (Handle < 0)
            continue;
        const TListRecPictItem* Item = ItemAt(I);
        if (InUse.count(Handle))
            FAside.erase(Handle);
        else if (Kept.count(Handle) && Item && Item->Condition->SourceHandle < 0)
            FAside.insert(Handle);
        else
            FreeAt(I);
    }
}

void TListRecPict::ReAdd(const void* Data, int32_t Size)
{
    static const std::string Present = "TListRecPict.Undo: (GetItemByHandle(iHandle) <> nil)";
    TMemoryStreamWex Stream;
    Stream.SetPointer(Data, std::max(0, Size));
    TReadList Read;
    std::vector<int32_t> Back;
    std::unordered_set<int32_t> Seen;
    while (Stream.Position() < Stream.Size()) {
        const int32_t Handle = StreamReadInt32(Stream);
        auto Item = std::make_unique<TListRecPictItem>();
        Item->ReadFromStream(Stream, UndoVersion);
        if (Handle < 0 || Handle == MaxHandle)
            throw EUserError("TListRecPict.Undo: 画像の番号(" + std::to_string(Handle) + ")が不正です");
        if (!Seen.insert(Handle).second)
            throw EUserError(Present);
        // A picture set aside for the history is the very one the step
        // brings back: it only returns to the document.
        if (const TListRecPictItem* Held = ItemOf(Handle)) {
            if (!IsSetAside(Handle) || !SameBase(*Held, *Item))
                throw EUserError(Present);
            Back.push_back(Handle);
            continue;
        }
        Read.push_back({Handle, std::move(Item)});
    }
    for (int32_t Handle : Back)
        FAside.erase(Handle);
    Reserve(Read.size());
    for (TReadEntry& E : Read) {
        FNextHandle = std::max(FNextHandle, E.Handle + 1);
        Store(E.Handle, E.Item);
    }
}

void TListRecPict::Undo(int32_t Command, const void* Data, int32_t Size)
{
    switch (Command & 0x7F) {
    case CmdPicturesAdded:
        break;
    case CmdPicturesRemoved:
        ReAdd(Data, Size);
        break;
    default:
        throw EUserError("TDrawItem.Undo: Illegal Command.");
    }
}

void TListRecPict::Redo(int32_t Command, const void* Data, int32_t Size)
{
    switch (Command & 0x7F) {
    case CmdPicturesAdded:
        ReAdd(Data, Size);
        break;
    case CmdPicturesRemoved:
        break;
    default:
        Undo(Command, Data, Size);
    }
}
