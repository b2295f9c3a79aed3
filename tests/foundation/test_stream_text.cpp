#include "foundation/stream_text.h"
#include "foundation/user_error.h"
#include "platform/global_memory.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "platform/test_support.h"

namespace {

using VS = std::vector<std::string>;

std::string Contents(TMemoryStream& S)
{
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

TMemoryStream& Load(TMemoryStream& S, const std::string& Bytes)
{
    S.Clear();
    S.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    S.SetPosition(0);
    return S;
}

VS Lines(TMemoryStream& S)
{
    VS Result;
    while (S.Position() < S.Size())
        Result.push_back(StreamReadln(S));
    return Result;
}

// The stream form of a block of Data.
std::string Block(const std::vector<uint8_t>& Data, int32_t Type)
{
    TMemoryStream S;
    StreamWritelnBin(S, Data.data(), static_cast<int32_t>(Data.size()), Type);
    return Contents(S);
}

// Accepts at most Room bytes, like a full disk.
class TLimitedStream : public TMemoryStream {
public:
    explicit TLimitedStream(int32_t Room) : FRoom(Room) {}
    int32_t Write(const void* Buffer, int32_t Count) override
    {
        const int32_t N = std::min(Count, FRoom);
        FRoom -= N;
        return TMemoryStream::Write(Buffer, N);
    }

private:
    int32_t FRoom;
};

} // namespace

TEST(StreamText, StringLayoutIsLittleEndianAndBadLengthsAreRefused)
{
    TMemoryStream S;
    StreamWriteString(S, "AB");
    StreamWriteString(S, std::string(300, 'x'));
    EXPECT_EQ(Contents(S), std::string("\x02\x00\x00\x00" "AB" "\x2C\x01\x00\x00", 10) + std::string(300, 'x'));
    S.SetPosition(0);
    EXPECT_EQ(StreamReadString(S), "AB");
    std::string T;
    StreamReadString(S, T);
    EXPECT_EQ(T, std::string(300, 'x'));
    TLimitedStream Full(5);
    EXPECT_THROW(StreamWriteString(Full, "abc"), EWriteError);
    // Bad lengths are refused and the target is kept: three of five bytes,
    // 2 GB announced with nothing there, the length itself cut short.
    T = "kept";
    for (std::string B : {std::string("\x05\x00\x00\x00" "abc", 7), std::string("\xFF\xFF\xFF\x7F", 4),
                          std::string("\x01\x00", 2)})
        EXPECT_THROW(StreamReadString(Load(S, B), T), EReadError);
    const std::string Neg = MessageOf<EReadError>([&] { StreamReadString(Load(S, std::string("\xFF\xFF\xFF\xFF" "abc", 7)), T); });
    EXPECT_NE(Neg.find("StreamReadString"), std::string::npos) << Neg;
    EXPECT_NE(Neg.find("-1"), std::string::npos) << Neg;
    EXPECT_EQ(T, "kept");
}

TEST(StreamText, ReadlnTerminators)
{
    TMemoryStream S;
    EXPECT_EQ(Lines(Load(S, "ab\r\nc")), (VS{"ab", "c"}));
    EXPECT_EQ(Lines(Load(S, "ab\n")), (VS{"ab"}));
    EXPECT_EQ(StreamReadln(S), ""); // nothing left: an empty line
    EXPECT_EQ(Lines(Load(S, "a\rb\x1A" "c\r\n")), (VS{"a", "b", "c"}));
    EXPECT_EQ(Lines(Load(S, "a\n\rb")), (VS{"a", "", "b"})); // LF CR: a line, then an empty one
    EXPECT_EQ(StreamReadln(Load(S, "a\r")), "a");
    EXPECT_EQ(S.Position(), 2);
    TMemoryStream W;
    StreamWriteln(W, "xy");
    StreamWriteln(W, "");
    EXPECT_EQ(Contents(W), "xy\r\n\r\n");
}

TEST(StreamText, EncodeAndDecodeBinText)
{
    auto Enc = [](std::vector<uint8_t> Bytes) {
        std::string S = "old";
        EncodeBinText(Bytes.data(), static_cast<int32_t>(Bytes.size()), S);
        return S;
    };
    EXPECT_EQ(Enc({}), "");
    EXPECT_EQ(Enc({0xFF}), "$m");
    // 0x0201: group 0 = 513 = 5 * 91 + 58 -> "'" "]"; group 1 = 0 -> "!!".
    EXPECT_EQ(Enc({0x01, 0x02}), "']!!");
    // All ones: full groups 8191 = 90 * 91 + 1 -> "~\"".
    EXPECT_EQ(Enc(std::vector<uint8_t>(13, 0xFF)), "~\"~\"~\"~\"~\"~\"~\"~\"");
    uint8_t Out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(DecodeBinText("$m", Out, 4), 2); // the padding byte counts without a bound
    EXPECT_EQ(Out[0] * 256 + Out[1], 0xFF00);
    Out[1] = 0xEE;
    EXPECT_EQ(DecodeBinText("$m", Out, 1), 1);
    EXPECT_EQ(Out[1], 0xEE);
    EXPECT_EQ(DecodeBinText("", Out, 4), 0);
    // Outside the alphabet, an odd count, beyond 13 bits.
    for (const char* Bad : {"#!", "!.", "!", "~~"})
        EXPECT_THROW(DecodeBinText(Bad, Out, 4), EUserError) << Bad;
}

TEST(StreamText, BlockLayouts)
{
    std::vector<uint8_t> Data(100);
    for (int I = 0; I < 100; ++I)
        Data[I] = static_cast<uint8_t>(I * 7 + 3);
    TMemoryStream S;
    VS L = Lines(Load(S, Block(Data, 1)));
    ASSERT_EQ(L.size(), 4u);
    EXPECT_EQ(L[2].size() * 100 + L[3].size(), 8044u); // 65 bytes, then 35
    EXPECT_EQ(L[0] + L[1], "JIS7100");
    EXPECT_EQ(Block({0x00, 0xAB, 0xFF}, 0), "16\r\n3\r\n00:;??\r\n");
    EXPECT_EQ(Block(std::vector<uint8_t>(40, 0x11), 0), "16\r\n40\r\n" + std::string(80, '1') + "\r\n");
    EXPECT_EQ(Block(std::vector<uint8_t>(41, 0x11), 0), "16\r\n41\r\n" + std::string(80, '1') + "\r\n11\r\n");
    // The empty block's one empty line is taken by the reader.
    EXPECT_EQ(Block({}, 0), "16\r\n0\r\n\r\n");
    uint8_t Buf[1];
    void* P = Buf;
    EXPECT_EQ(StreamReadlnBin(Load(S, "16\r\n0\r\n\r\nEND\r\n"), P, 1), 0);
    EXPECT_EQ(StreamReadln(S), "END");
    // Without a buffer the reader allocates one of the block's size.
    const size_t Blocks = GlobalBlockCount();
    void* Buffer = nullptr;
    EXPECT_EQ(StreamReadlnBin(Load(S, Block(Data, 1)), Buffer, 0), 100);
    EXPECT_EQ(std::vector<uint8_t>(static_cast<uint8_t*>(Buffer), static_cast<uint8_t*>(Buffer) + GlobalSize(Buffer)), Data);
    GlobalFree(Buffer);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(StreamText, BlockRoundTripsOfRandomData)
{
    std::mt19937 Rng(12345);
    std::vector<int32_t> Lengths; // every length over the 40- and 65-byte lines, a few long ones
    for (int32_t N = 0; N <= 70; ++N)
        Lengths.push_back(N);
    Lengths.insert(Lengths.end(), {130, 519, 520, 521, 4103});
    for (int32_t Type = 0; Type <= 1; ++Type)
        for (const int32_t N : Lengths) {
            std::vector<uint8_t> Data(static_cast<size_t>(N));
            for (auto& B : Data)
                B = static_cast<uint8_t>(Rng());
            TMemoryStream S;
            Load(S, Block(Data, Type) + "END\r\n");
            std::vector<uint8_t> Back(static_cast<size_t>(N) + 1, 0xCD);
            void* P = Back.data();
            SCOPED_TRACE(testing::Message() << "type " << Type << " length " << N);
            ASSERT_EQ(StreamReadlnBin(S, P, N + 1), N);
            EXPECT_EQ(P, Back.data());
            Data.push_back(0xCD); // the byte after stays
            EXPECT_EQ(Back, Data);
            EXPECT_EQ(StreamReadln(S), "END");
        }
}

TEST(StreamText, ReadlnBinBadInputRaisesAndChangesNothing)
{
    TMemoryStream S;
    void* P = nullptr;
    EXPECT_EQ(MessageOf<EUserError>([&] { StreamReadlnBin(Load(S, "17\r\n3\r\n00:;??\r\n"), P, 0); }),
              "StreamReadlnBin: このタイプ(17)には対応していません");
    EXPECT_THROW(StreamReadlnBin(Load(S, "jis7\r\n1\r\n!!\r\n"), P, 0), EUserError); // the type is case-sensitive
    EXPECT_THROW(StreamReadlnBin(Load(S, "JIS7\r\nten\r\n!!\r\n"), P, 0), EConvertError);
    uint8_t Small[2] = {7, 7};
    void* Q = Small;
    EXPECT_EQ(MessageOf<EUserError>([&] { StreamReadlnBin(Load(S, "16\r\n3\r\n00:;??\r\n"), Q, 2); }),
              "StreamReadlnBin: バッファ容量が足りません");
    EXPECT_EQ(Small[0], 7);
    // Lengths the stream cannot hold (two bytes need four characters).
    for (const char* B : {"JIS7\r\n-5\r\n!!\r\n", "JIS7\r\n2000000000\r\n!!\r\n", "16\r\n2\r\n00\r\n"})
        EXPECT_THROW(StreamReadlnBin(Load(S, B), P, 0), EReadError) << B;
    const size_t Blocks = GlobalBlockCount();
    const std::string Five = Block({1, 2, 3, 4, 5}, 1).substr(9); // the data line
    const VS Bad = {
        "JIS7\r\n10\r\n" + Five,                            // stream ends early
        "JIS7\r\n10\r\n" + Five + "\r\n" + Five,            // empty line inside
        "JIS7\r\n2\r\n!#\r\n",                              // outside the alphabet
        "16\r\n1\r\nA0\r\n",                                // outside "0".."?"
        "16\r\n1\r\n00\n\n",                                // not CR LF
        "16\r\n41\r\n" + std::string(80, '0') + "\r\n0",    // short second line
    };
    for (const std::string& B : Bad) {
        EXPECT_THROW(StreamReadlnBin(Load(S, B), P, 0), Exception) << B;
        std::vector<uint8_t> Mine(64, 0x77);
        Q = Mine.data();
        EXPECT_THROW(StreamReadlnBin(Load(S, B), Q, 64), Exception) << B;
        EXPECT_EQ(P, nullptr);
        EXPECT_EQ(Q, Mine.data());
        EXPECT_EQ(Mine, std::vector<uint8_t>(64, 0x77));
    }
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(StreamText, StreamToGlobalCopiesTheWholeStream)
{
    TMemoryStream S;
    S.WriteBuffer("hello", 5);
    HGLOBAL H = nullptr;
    ASSERT_TRUE(StreamToGlobal(S, H, GMEM_MOVEABLE | GMEM_SHARE));
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(H)), GlobalSize(H)), "hello");
    GlobalUnlock(H);
    EXPECT_EQ(GlobalFree(H), nullptr);
}
