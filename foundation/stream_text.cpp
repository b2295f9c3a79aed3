#include "foundation/stream_text.h"

#include "foundation/platform_wrappers.h"
#include "foundation/text_fields.h"
#include "foundation/user_error.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char SUB = '\x1A';

constexpr int32_t Hex16LineBytes = 40;
constexpr int32_t Jis7ChunkBytes = 65;
constexpr int32_t AlphabetSize = 91;

constexpr std::array<char, AlphabetSize> MakeAlphabet()
{
    std::array<char, AlphabetSize> A{};
    int N = 0;
    for (int C = 0x21; C <= 0x7E; ++C)
        if (C != 0x23 && C != 0x2E && C != 0x60)
            A[N++] = static_cast<char>(C);
    return A;
}

constexpr std::array<char, AlphabetSize> Alphabet = MakeAlphabet();

constexpr std::array<int8_t, 256> MakeAlphabetIndex()
{
    std::array<int8_t, 256> T{};
    for (auto& V : T)
        V = -1;
    for (int I = 0; I < AlphabetSize; ++I)
        T[static_cast<uint8_t>(Alphabet[I])] = static_cast<int8_t>(I);
    return T;
}

constexpr std::array<int8_t, 256> AlphabetIndex = MakeAlphabetIndex();

// Refuses a stored length the rest of the stream cannot hold, before anything
// is allocated for it.
void CheckStoredLength(TStream& Stream, int64_t Length, int64_t BytesPerUnit, const char* Who)
{
    if (Length < 0)
        throw EReadError(std::string(Who) + ": データの長さ(" + std::to_string(Length) +
                         ")が不正です");
    const int64_t Left = Stream.Size() - Stream.Position();
    if (Length > Left / BytesPerUnit)
        throw EReadError(std::string(Who) + ": データの長さ(" + std::to_string(Length) +
                         ")がストリームの残り(" + std::to_string(Left) +
                         " バイト)を超えています");
}

void ReadHex16Block(TStream& Stream, uint8_t* Dest, int32_t Length)
{
    if (Length == 0) {
        // The writer puts one empty line after an empty block: take it too.
        char Pair[2];
        const int32_t N = Stream.Read(Pair, 2);
        if (N != 2 || Pair[0] != CR || Pair[1] != LF)
            Stream.Seek(-N, TSeekOrigin::soCurrent);
        return;
    }
    char Line[Hex16LineBytes * 2 + 2];
    int32_t Done = 0;
    while (Done < Length) {
        const int32_t Chunk = std::min(Hex16LineBytes, Length - Done);
        Stream.ReadBuffer(Line, Chunk * 2 + 2);
        for (int32_t I = 0; I < Chunk * 2; ++I)
            if (Line[I] < '0' || Line[I] > '?')
                throw EUserError("StreamReadlnBin: 16 形式のデータに不正な文字があります");
        if (Line[Chunk * 2] != CR || Line[Chunk * 2 + 1] != LF)
            throw EUserError("StreamReadlnBin: 16 形式のデータの行末が不正です");
        for (int32_t I = 0; I < Chunk; ++I)
            Dest[Done + I] = static_cast<uint8_t>((Line[2 * I] - '0') * 16 + (Line[2 * I + 1] - '0'));
        Done += Chunk;
    }
}

void ReadJis7Block(TStream& Stream, uint8_t* Dest, int32_t Length)
{
    int32_t Done = 0;
    std::string Line;
    while (Done < Length) {
        StreamReadln(Stream, Line);
        const int32_t N = DecodeBinText(Line, Dest + Done, Length - Done);
        if (N <= 0)
            throw EUserError("StreamReadlnBin: JIS7 形式のデータが途中で終わっています(" +
                             std::to_string(Done) + "/" + std::to_string(Length) + " バイト)");
        Done += N;
    }
}

} // namespace

void StreamWriteString(TStream& Stream, const std::string& S)
{
    if (S.size() > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        throw EWriteError();
    const uint32_t Len = static_cast<uint32_t>(S.size());
    const uint8_t Prefix[4] = {static_cast<uint8_t>(Len), static_cast<uint8_t>(Len >> 8),
                               static_cast<uint8_t>(Len >> 16), static_cast<uint8_t>(Len >> 24)};
    Stream.WriteBuffer(Prefix, 4);
    Stream.WriteBuffer(S.data(), static_cast<int32_t>(S.size()));
}

void StreamReadString(TStream& Stream, std::string& S)
{
    uint8_t Prefix[4];
    Stream.ReadBuffer(Prefix, 4);
    const int32_t Len = static_cast<int32_t>(static_cast<uint32_t>(Prefix[0]) |
                                             (static_cast<uint32_t>(Prefix[1]) << 8) |
                                             (static_cast<uint32_t>(Prefix[2]) << 16) |
                                             (static_cast<uint32_t>(Prefix[3]) << 24));
    CheckStoredLength(Stream, Len, 1, "StreamReadString");
    std::string Result(static_cast<size_t>(Len), '\0');
    Stream.ReadBuffer(Result.data(), Len);
    S = std::move(Result);
}

std::string StreamReadString(TStream& Stream)
{
    std::string S;
    StreamReadString(Stream, S);
    return S;
}

void StreamWriteln(TStream& Stream, const std::string& S)
{
    Stream.WriteBuffer(S.data(), static_cast<int32_t>(S.size()));
    Stream.WriteBuffer("\r\n", 2);
}

void StreamReadln(TStream& Stream, std::string& S)
{
    std::string Result;
    char C;
    while (Stream.Read(&C, 1) == 1) {
        if (C == CR) {
            if (Stream.Read(&C, 1) == 1 && C != LF)
                Stream.Seek(-1, TSeekOrigin::soCurrent);
            break;
        }
        if (C == LF || C == SUB)
            break;
        Result += C;
    }
    S = std::move(Result);
}

std::string StreamReadln(TStream& Stream)
{
    std::string S;
    StreamReadln(Stream, S);
    return S;
}

void StreamWritelnBin(TStream& Stream, const void* Data, int32_t Length, int32_t BlockType)
{
    if (BlockType != 0 && BlockType != 1)
        throw EUserError("StreamWritelnBin: このタイプ(" + std::to_string(BlockType) +
                         ")には対応していません");
    if (Length < 0)
        throw EWriteError("StreamWritelnBin: データの長さ(" + std::to_string(Length) +
                          ")が不正です");
    const uint8_t* P = static_cast<const uint8_t*>(Data);
    StreamWriteln(Stream, BlockType == 0 ? "16" : "JIS7");
    StreamWriteln(Stream, std::to_string(Length));
    std::string Line;
    if (BlockType == 0) {
        if (Length == 0)
            StreamWriteln(Stream, "");
        for (int32_t Done = 0; Done < Length;) {
            const int32_t Chunk = std::min(Hex16LineBytes, Length - Done);
            Line.clear();
            for (int32_t I = 0; I < Chunk; ++I) {
                Line += static_cast<char>('0' + (P[Done + I] >> 4));
                Line += static_cast<char>('0' + (P[Done + I] & 15));
            }
            StreamWriteln(Stream, Line);
            Done += Chunk;
        }
        return;
    }
    for (int32_t Done = 0; Done < Length;) {
        const int32_t Chunk = std::min(Jis7ChunkBytes, Length - Done);
        EncodeBinText(P + Done, Chunk, Line);
        StreamWriteln(Stream, Line);
        Done += Chunk;
    }
}

int32_t StreamReadlnBin(TStream& Stream, void*& Buffer, int32_t Capacity)
{
    const std::string Type = StreamReadln(Stream);
    const bool Hex16 = Type == "16";
    if (!Hex16 && Type != "JIS7")
        throw EUserError("StreamReadlnBin: このタイプ(" + Type + ")には対応していません");
    const int32_t Length = StrToInt(StreamReadln(Stream));
    // Each byte takes at least one character ("16": two).
    CheckStoredLength(Stream, Length, Hex16 ? 2 : 1, "StreamReadlnBin");
    if (Buffer != nullptr && Capacity < Length)
        throw EUserError("StreamReadlnBin: バッファ容量が足りません");

    // Decode into a block of our own so that a failure leaves the caller's
    // buffer untouched.
    HGLOBAL Block = nullptr;
    std::vector<uint8_t> Temp;
    uint8_t* Dest;
    if (Buffer == nullptr) {
        Block = GlobalAllocQ(GMEM_FIXED, static_cast<size_t>(Length));
        Dest = static_cast<uint8_t*>(Block);
    } else {
        Temp.resize(static_cast<size_t>(Length));
        Dest = Temp.data();
    }
    try {
        if (Hex16)
            ReadHex16Block(Stream, Dest, Length);
        else
            ReadJis7Block(Stream, Dest, Length);
    } catch (...) {
        if (Block != nullptr)
            GlobalFree(Block);
        throw;
    }
    if (Block != nullptr)
        Buffer = Block;
    else if (Length > 0)
        std::memcpy(Buffer, Temp.data(), static_cast<size_t>(Length));
    return Length;
}

void EncodeBinText(const void* Data, int32_t Count, std::string& S)
{
    S.clear();
    if (Count <= 0)
        return;
    const uint8_t* P = static_cast<const uint8_t*>(Data);
    const int64_t Groups = (int64_t{8} * Count + 12) / 13;
    S.reserve(static_cast<size_t>(Groups * 2));
    for (int64_t K = 0; K < Groups; ++K) {
        const int64_t Bit = 13 * K;
        const int64_t Byte = Bit / 8;
        uint32_t Window = 0;
        for (int I = 0; I < 3; ++I)
            if (Byte + I < Count)
                Window |= static_cast<uint32_t>(P[Byte + I]) << (8 * I);
        const uint32_t V = (Window >> (Bit % 8)) & 0x1FFF;
        S += Alphabet[V / AlphabetSize];
        S += Alphabet[V % AlphabetSize];
    }
}

int32_t DecodeBinText(const std::string& S, void* Dest, int32_t MaxLen)
{
    if (S.size() % 2 != 0)
        throw EUserError("DecodeBinText: 文字数が奇数です(" + std::to_string(S.size()) + ")");
    uint8_t* Out = static_cast<uint8_t*>(Dest);
    int32_t Written = 0;
    uint32_t Acc = 0;
    int Bits = 0;
    for (size_t I = 0; I < S.size(); I += 2) {
        const int Hi = AlphabetIndex[static_cast<uint8_t>(S[I])];
        const int Lo = AlphabetIndex[static_cast<uint8_t>(S[I + 1])];
        const int V = Hi * AlphabetSize + Lo;
        // The encoder never makes a value beyond 13 bits.
        if (Hi < 0 || Lo < 0 || V > 0x1FFF)
            throw EUserError("DecodeBinText: 不正な文字があります(" + std::to_string(I + 1) +
                             " 文字目)");
        Acc |= static_cast<uint32_t>(V) << Bits;
        Bits += 13;
        while (Bits >= 8) {
            if (Written < MaxLen)
                Out[Written++] = static_cast<uint8_t>(Acc);
            Acc >>= 8;
            Bits -= 8;
        }
    }
    if (Bits > 0 && Written < MaxLen)
        Out[Written++] = static_cast<uint8_t>(Acc);
    return Written;
}

bool StreamToGlobal(TMemoryStream& Stream, HGLOBAL& H, uint32_t Flags)
{
    HGLOBAL Block = nullptr;
    try {
        const size_t Size = static_cast<size_t>(Stream.Size());
        Block = GlobalAlloc(Flags, Size);
        if (Block == nullptr) {
            H = nullptr;
            return false;
        }
        if (Size > 0) {
            void* P = GlobalLock(Block);
            if (P == nullptr)
                throw EOutOfResources("StreamToGlobal: GlobalLock");
            std::memcpy(P, Stream.Memory(), Size);
            GlobalUnlock(Block);
        }
        H = Block;
        return true;
    } catch (...) {
        try {
            GlobalFreeQ(Block);
        } catch (...) {
        }
        H = nullptr;
        return false;
    }
}
