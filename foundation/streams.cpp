#include "foundation/streams.h"

#include "foundation/user_error.h"
#include "platform/regular_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string ReasonText(int Err)
{
    return " (" + FileErrorText(Err) + ")";
}

std::string OpenErrorText(const std::string& FileName, int Err)
{
    return "ファイル " + FileName + " を開けません。" + ReasonText(Err);
}

std::string CreateErrorText(const std::string& FileName, int Err)
{
    return "ファイル " + FileName + " を作成できません。" + ReasonText(Err);
}

} // namespace

// ---------------------------------------------------------------- TStream

int64_t TStream::Size()
{
    const int64_t Pos = Seek(0, TSeekOrigin::soCurrent);
    const int64_t Result = Seek(0, TSeekOrigin::soEnd);
    Seek(Pos, TSeekOrigin::soBeginning);
    return Result;
}

void TStream::SetSize(int64_t NewSize)
{
    throw EStreamError("ストリームのサイズを変更できません");
}

void TStream::ReadBuffer(void* Buffer, int32_t Count)
{
    if (Count != 0 && Read(Buffer, Count) != Count)
        throw EReadError();
}

void TStream::WriteBuffer(const void* Buffer, int32_t Count)
{
    if (Count != 0 && Write(Buffer, Count) != Count)
        throw EWriteError();
}

int64_t TStream::CopyFrom(TStream& Source, int64_t Count)
{
    if (Count <= 0) {
        Source.SetPosition(0);
        Count = Source.Size();
    }
    const int64_t Result = Count;
    constexpr int32_t BufSize = 0xF000;
    std::vector<uint8_t> Buf(static_cast<size_t>(std::min<int64_t>(Count, BufSize)));
    while (Count > 0) {
        const int32_t N = static_cast<int32_t>(std::min<int64_t>(Count, BufSize));
        Source.ReadBuffer(Buf.data(), N);
        WriteBuffer(Buf.data(), N);
        Count -= N;
    }
    return Result;
}

// ---------------------------------------------------------------- TMemoryStream

int32_t TMemoryStream::Read(void* Buffer, int32_t Count)
{
    if (Count <= 0 || FPosition < 0 || FPosition >= FSize)
        return 0;
    const int32_t N = static_cast<int32_t>(std::min<int64_t>(FSize - FPosition, Count));
    std::memcpy(Buffer, FMemory + FPosition, static_cast<size_t>(N));
    FPosition += N;
    return N;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count)
{
    if (Count <= 0 || FPosition < 0)
        return 0;
    const int64_t End = FPosition + Count;
    MakeOwned(End);
    if (FPosition > FSize)
        std::memset(FMemory + FSize, 0, static_cast<size_t>(FPosition - FSize));
    std::memmove(FMemory + FPosition, Buffer, static_cast<size_t>(Count));
    FPosition = End;
    FSize = std::max(FSize, End);
    return Count;
}

int64_t TMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    switch (Origin) {
    case TSeekOrigin::soBeginning:
        FPosition = Offset;
        break;
    case TSeekOrigin::soCurrent:
        FPosition += Offset;
        break;
    case TSeekOrigin::soEnd:
        FPosition = FSize + Offset;
        break;
    }
    return FPosition;
}

void TMemoryStream::SetSize(int64_t NewSize)
{
    if (NewSize < 0)
        throw EStreamError("ストリームのサイズを変更できません");
    const int64_t OldPosition = FPosition;
    MakeOwned(NewSize);
    if (NewSize > FSize)
        std::memset(FMemory + FSize, 0, static_cast<size_t>(NewSize - FSize));
    FSize = NewSize;
    if (OldPosition > NewSize)
        FPosition = NewSize;
}

void TMemoryStream::Clear()
{
    FOwned.reset();
    FCapacity = 0;
    FMemory = nullptr;
    FOutside = false;
    FSize = 0;
    FPosition = 0;
}

void TMemoryStream::AttachOutside(const void* Ptr, int64_t Size)
{
    Clear();
    if (Ptr != nullptr && Size > 0) {
        // Only ever read: MakeOwned copies before any change.
        FMemory = static_cast<uint8_t*>(const_cast<void*>(Ptr));
        FOutside = true;
        FSize = Size;
    }
}

void TMemoryStream::MakeOwned(int64_t MinCapacity)
{
    if (!FOutside && MinCapacity <= FCapacity)
        return;
    int64_t NewCapacity = std::max<int64_t>(MinCapacity, FSize);
    if (!FOutside)
        NewCapacity = std::max<int64_t>(NewCapacity, FCapacity + FCapacity / 2);
    NewCapacity = std::max<int64_t>(NewCapacity, 256);
    std::unique_ptr<uint8_t[]> NewBuf(new uint8_t[static_cast<size_t>(NewCapacity)]);
    if (FSize > 0)
        std::memcpy(NewBuf.get(), FMemory, static_cast<size_t>(FSize));
    FOwned = std::move(NewBuf);
    FCapacity = NewCapacity;
    FMemory = FOwned.get();
    FOutside = false;
}

void TMemoryStream::LoadFromStream(TStream& Stream)
{
    Stream.SetPosition(0);
    const int64_t N = Stream.Size();
    std::unique_ptr<uint8_t[]> Buf(new uint8_t[static_cast<size_t>(std::max<int64_t>(N, 1))]);
    int64_t Done = 0;
    while (Done < N) {
        const int32_t Chunk = static_cast<int32_t>(std::min<int64_t>(N - Done, 0x40000000));
        Stream.ReadBuffer(Buf.get() + Done, Chunk);
        Done += Chunk;
    }
    // Replace the contents only once everything has been read.
    Clear();
    FOwned = std::move(Buf);
    FCapacity = std::max<int64_t>(N, 1);
    FMemory = FOwned.get();
    FSize = N;
}

void TMemoryStream::SaveToStream(TStream& Stream)
{
    int64_t Done = 0;
    while (Done < FSize) {
        const int32_t Chunk = static_cast<int32_t>(std::min<int64_t>(FSize - Done, 0x40000000));
        Stream.WriteBuffer(FMemory + Done, Chunk);
        Done += Chunk;
    }
}

void TMemoryStream::LoadFromFile(const std::string& FileName)
{
    TFileStream F(FileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(F);
}

void TMemoryStream::SaveToFile(const std::string& FileName)
{
    TFileStream F(FileName, fmCreate);
    SaveToStream(F);
}

// ---------------------------------------------------------------- TFileStream

TFileStream::TFileStream(const std::string& FileName, uint16_t Mode) : FFileName(FileName)
{
    // Only regular files: a pipe would wait for a writer, a device never end.
    if (Mode == fmCreate) {
        FHandle = CreateRegularFile(FileName, O_RDWR);
        if (FHandle < 0) {
            const int Err = errno;
            throw EFCreateError(CreateErrorText(FileName, Err), Err);
        }
        return;
    }
    int Access = O_RDONLY;
    switch (Mode & 0x0003) {
    case fmOpenWrite:
        Access = O_WRONLY;
        break;
    case fmOpenReadWrite:
        Access = O_RDWR;
        break;
    default:
        break;
    }
    FHandle = OpenRegularFile(FileName, Access);
    if (FHandle < 0) {
        const int Err = errno;
        throw EFOpenError(OpenErrorText(FileName, Err), Err);
    }
}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

int32_t TFileStream::Read(void* Buffer, int32_t Count)
{
    int32_t Done = 0;
    while (Done < Count) {
        const ssize_t N = ::read(FHandle, static_cast<uint8_t*>(Buffer) + Done,
                                 static_cast<size_t>(Count - Done));
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            break;
        Done += static_cast<int32_t>(N);
    }
    return Done;
}

int32_t TFileStream::Write(const void* Buffer, int32_t Count)
{
    int32_t Done = 0;
    while (Done < Count) {
        const ssize_t N = ::write(FHandle, static_cast<const uint8_t*>(Buffer) + Done,
                                  static_cast<size_t>(Count - Done));
        if (N < 0 && errno == EINTR)
            continue;
        if (N <= 0)
            break;
        Done += static_cast<int32_t>(N);
    }
    return Done;
}

int64_t TFileStream::Seek(int64_t Offset, TSeekOrigin Origin)
{
    int Whence = SEEK_SET;
    if (Origin == TSeekOrigin::soCurrent)
        Whence = SEEK_CUR;
    else if (Origin == TSeekOrigin::soEnd)
        Whence = SEEK_END;
    return ::lseek(FHandle, static_cast<off_t>(Offset), Whence);
}

void TFileStream::SetSize(int64_t NewSize)
{
    if (NewSize < 0 || ::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
        throw EWriteError("ファイル " + FFileName + " のサイズを変更できません。");
    if (Position() > NewSize)
        SetPosition(NewSize);
}
