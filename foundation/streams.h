// Byte streams: the abstract TStream, memory streams (owning or reading an
// outside buffer in place) and file streams. Every stored format is read and
// written through them. Short transfers through ReadBuffer / WriteBuffer raise
// EReadError / EWriteError; files that cannot be opened or made raise
// EFOpenError / EFCreateError naming the file.
#pragma once

#include "foundation/tobject.h"

#include <cstdint>
#include <memory>
#include <string>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
    std::string ClassName() const override { return "TStream"; }

    // Bytes actually moved; 0 at the end of the stream or for Count <= 0.
    virtual int32_t Read(void* Buffer, int32_t Count) = 0;
    virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
    // Returns the new position.
    virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t Pos) { Seek(Pos, TSeekOrigin::soBeginning); }
    virtual int64_t Size();
    virtual void SetSize(int64_t NewSize);

    // Exact transfers: anything short raises.
    void ReadBuffer(void* Buffer, int32_t Count);
    void WriteBuffer(const void* Buffer, int32_t Count);
    // Copies Count bytes from Source's position; Count <= 0 copies the whole
    // of Source from its start. Returns the bytes copied.
    int64_t CopyFrom(TStream& Source, int64_t Count);
};

// A stream over one block of memory. The position may lie beyond the end:
// reading there gives nothing, writing there fills the gap with zeros.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    TMemoryStream(const TMemoryStream&) = delete;
    TMemoryStream& operator=(const TMemoryStream&) = delete;
    ~TMemoryStream() override = default;

    std::string ClassName() const override { return "TMemoryStream"; }

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    int64_t Size() override { return FSize; }
    void SetSize(int64_t NewSize) override;

    // The stream's bytes (nullptr when it holds none).
    void* Memory() const { return FMemory; }
    // Empties the stream and releases its memory.
    void Clear();

    void LoadFromStream(TStream& Stream);
    void SaveToStream(TStream& Stream);
    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName);

protected:
    // Reads an outside buffer in place; nothing owned is kept.
    void AttachOutside(const void* Ptr, int64_t Size);

private:
    // Before any change: an outside buffer is copied into an owned one, so
    // it is never written into or reallocated.
    void MakeOwned(int64_t MinCapacity);

    std::unique_ptr<uint8_t[]> FOwned;
    int64_t FCapacity = 0;      // of FOwned
    uint8_t* FMemory = nullptr; // FOwned.get() or the outside buffer
    bool FOutside = false;
    int64_t FSize = 0;
    int64_t FPosition = 0;
};

// The memory stream of the system. SetPointer(Ptr, Size) makes the stream read
// the caller's buffer in place from position 0 without copying or freeing it;
// SetPointer(nullptr, 0) detaches. A write or SetSize first copies the outside
// bytes into a buffer of the stream's own.
class TMemoryStreamWex : public TMemoryStream {
public:
    std::string ClassName() const override { return "TMemoryStreamWex"; }
    void SetPointer(const void* Ptr, int64_t Size) { AttachOutside(Ptr, Size); }
};

// Open modes, combinable with the share flags, which are accepted and ignored.
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyNone = 0x0040;
constexpr uint16_t fmCreate = 0xFF00; // create or truncate, read-write

class TFileStream : public TStream {
public:
    // EFOpenError when an existing file cannot be opened, EFCreateError when
    // fmCreate cannot make the file.
    TFileStream(const std::string& FileName, uint16_t Mode);
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    ~TFileStream() override;

    std::string ClassName() const override { return "TFileStream"; }
    const std::string& FileName() const { return FFileName; }

    int32_t Read(void* Buffer, int32_t Count) override;
    int32_t Write(const void* Buffer, int32_t Count) override;
    int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
    void SetSize(int64_t NewSize) override; // EWriteError on failure

private:
    std::string FFileName;
    int FHandle = -1;
};
