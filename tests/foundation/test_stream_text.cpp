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

std::string Contents(TMemoryStream& S)
{
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

void Load(TMemoryStream& S, const std::string& Bytes)
{
    S.Clear();
    S.WriteBuffer(Bytes.data(), static_cast<int32_t>(Bytes.size()));
    S.SetPosition(0);
}

std::vector<std::string> Lines(TMemoryStream& S)
{
    std::vector<std::string> Result;
    while (S.Position() < S.Size())
        Result.push_back(StreamReadln(S));
    return Result;
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
    const std::string B = Contents(S);
    ASSERT_EQ(B.size(), 4u + 2u + 4u + 300u);
    EXPECT_EQ(B.substr(0, 6), std::string("\x02\x00\x00\x00" "AB", 6));
    EXPECT_EQ(B.substr(6, 4), std::string("\x2C\x01\x00\x00", 4));
    S.SetPosition(0);
    EXPECT_EQ(StreamReadString(S), "AB");
    std::string T;
    StreamReadString(S, T);
    EXPECT_EQ(T, std::string(300, 'x'));
    TLimitedStream Full(5);
    EXPECT_THROW(StreamWriteString(Full, "abc"), EWriteError);
    // Bad lengths are refused and the target is kept.
    T = "kept";
    Load(S, std::string("\x05\x00\x00\x00" "abc", 7)); // three of five bytes
    EXPECT_THROW(StreamReadString(S, T), EReadError);
    EXPECT_EQ(T, "kept");
    Load(S, std::string("\xFF\xFF\xFF\xFF" "abc", 7)); // -1
    const std::string Neg = MessageOf<EReadError>([&] { StreamReadString(S, T); });
    EXPECT_NE(Neg.find("StreamReadString"), std::string::npos) << Neg;
    EXPECT_NE(Neg.find("-1"), std::string::npos) << Neg;
    // 2 GB announced with nothing there; the length itself cut short.
    for (std::string B : {std::string("\xFF\xFF\xFF\x7F", 4), std::string("\x01\x00", 2)}) {
        Load(S, B);
        EXPECT_THROW(StreamReadString(S, T), EReadError);
    }
    EXPECT_EQ(T, "kept");
}

TEST(StreamText, ReadlnTerminators)
{
    TMemoryStream S;
    using VS = std::vector<std::string>;
    Load(S, "ab\r\nc");
    EXPECT_EQ(Lines(S), (VS{"ab", "c"}));
    Load(S, "ab\n");
    EXPECT_EQ(Lines(S), (VS{"ab"}));
    EXPECT_EQ(StreamReadln(S), "");   // nothing left: an empty line
    Load(S, "a\rb\x1A" "c\r\n");
    EXPECT_EQ(Lines(S), (VS{"a", "b", "c"}));
    Load(S, "a\n\rb"); // LF CR: a line, then an empty one
    EXPECT_EQ(Lines(S), (VS{"a", "", "b"}));
    Load(S, "a\r");
    EXPECT_EQ(StreamReadln(S), "a");
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
    EXPECT_EQ(Enc({0x00}), "!!");
    EXPECT_EQ(Enc({0xFF}), "$m");
    // 0x0201: group 0 = 513 = 5 * 91 + 58 -> "'" "]"; group 1 = 0 -> "!!".
    EXPECT_EQ(Enc({0x01, 0x02}), "']!!");
    // All ones: full groups 8191 = 90 * 91 + 1 -> "~\"".
    EXPECT_EQ(Enc(std::vector<uint8_t>(13, 0xFF)), "~\"~\"~\"~\"~\"~\"~\"~\"");
    EXPECT_EQ(Enc(std::vector<uint8_t>(65, 0x5A)).size(), 80u);
    uint8_t Out[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(DecodeBinText("$m", Out, 4), 2); // the padding byte counts without a bound
    EXPECT_EQ(Out[0], 0xFF);
    EXPECT_EQ(Out[1], 0x00);
    Out[1] = 0xEE;
    EXPECT_EQ(DecodeBinText("$m", Out, 1), 1);
    EXPECT_EQ(Out[1], 0xEE);
    EXPECT_EQ(DecodeBinText("", Out, 4), 0);
    EXPECT_THROW(DecodeBinText("#!", Out, 4), EUserError); // outside the alphabet
    EXPECT_THROW(DecodeBinText("!.", Out, 4), EUserError);
    EXPECT_THROW(DecodeBinText("!", Out, 4), EUserError);  // odd count
    EXPECT_THROW(DecodeBinText("~~", Out, 4), EUserError); // beyond 13 bits
}

TEST(StreamText, Jis7BlockLayoutOf100Bytes)
{
    std::vector<uint8_t> Data(100);
    for (int I = 0; I < 100; ++I)
        Data[I] = static_cast<uint8_t>(I * 7 + 3);
    TMemoryStream S;
    StreamWritelnBin(S, Data.data(), 100, 1);
    StreamWriteln(S, "END");
    S.SetPosition(0);
    std::vector<std::string> L = Lines(S);
    ASSERT_EQ(L.size(), 5u);
    EXPECT_EQ(L[2].size() * 100 + L[3].size(), 8044u);   // 65 bytes, then 35
    L[2] = L[3] = "";
    EXPECT_EQ(L, (std::vector<std::string>{"JIS7", "100", "", "", "END"}));
    const size_t Blocks = GlobalBlockCount();
    S.SetPosition(0);
    void* Buffer = nullptr;
    EXPECT_EQ(StreamReadlnBin(S, Buffer, 0), 100);
    EXPECT_EQ(GlobalSize(Buffer), 100u);
    EXPECT_EQ(std::memcmp(Buffer, Data.data(), 100), 0);
    EXPECT_EQ(StreamReadln(S), "END");
    GlobalFree(Buffer);
    EXPECT_EQ(GlobalBlockCount(), Blocks);
}

TEST(StreamText, Hex16BlockLayout)
{
    const uint8_t Three[3] = {0x00, 0xAB, 0xFF};
    TMemoryStream S;
    StreamWritelnBin(S, Three, 3, 0);
    EXPECT_EQ(Contents(S), "16\r\n3\r\n00:;??\r\n");
    const std::vector<uint8_t> Forty(40, 0x11), FortyOne(41, 0x11);
    S.Clear();
    StreamWritelnBin(S, Forty.data(), 40, 0);
    EXPECT_EQ(Contents(S), "16\r\n40\r\n" + std::string(80, '1') + "\r\n");
    S.Clear();
    StreamWritelnBin(S, FortyOne.data(), 41, 0);
    EXPECT_EQ(Contents(S), "16\r\n41\r\n" + std::string(80, '1') + "\r\n11\r\n");
    // The empty block's one empty line is taken by the reader.
    S.Clear();
    StreamWritelnBin(S, nullptr, 0, 0);
    StreamWriteln(S, "END");
    EXPECT_EQ(Contents(S), "16\r\n0\r\n\r\nEND\r\n");
    S.SetPosition(0);
    uint8_t Buf[1];
    void* P = Buf;
    EXPECT_EQ(StreamReadlnBin(S, P, 1), 0);
    EXPECT_EQ(StreamReadln(S), "END");
}

TEST(StreamText, BlockRoundTripsOfRandomData)
{
    std::mt19937 Rng(12345);
    std::vector<int32_t> Lengths;   // every length over the 40- and 65-byte lines, a few long ones
    for (int32_t N = 0; N <= 70; ++N)
        Lengths.push_back(N);
    for (int32_t N : {130, 519, 520, 521, 4103})
        Lengths.push_back(N);
    for (int32_t Type = 0; Type <= 1; ++Type) {
        for (const int32_t N : Lengths) {
            std::vector<uint8_t> Data(static_cast<size_t>(N));
            for (auto& B : Data)
                B = static_cast<uint8_t>(Rng());
            TMemoryStream S;
            StreamWritelnBin(S, Data.data(), N, Type);
            StreamWriteln(S, "END");
            S.SetPosition(0);
            std::vector<uint8_t> Back(static_cast<size_t>(N) + 1, 0xCD);
            void* P = Back.data();
            SCOPED_TRACE(testing::Message() << "type " << Type << " length " << N);
            ASSERT_EQ(StreamReadlnBin(S, P, N + 1), N);
            EXPECT_EQ(P, Back.data());
            Data.push_back(0xCD);   // the byte after stays
            EXPECT_EQ(Back, Data);
            EXPECT_EQ(StreamReadln(S), "END");
        }
    }
}

TEST(StreamText, ReadlnBinHeaderErrors)
{
    TMemoryStream S;
    void* P = nullptr;
    Load(S, "17\r\n3\r\n00:;??\r\n");
    EXPECT_EQ(MessageOf<EUserError>([&] { StreamReadlnBin(S, P, 0); }),
              "StreamReadlnBin: このタイプ(17)には対応していません");
    Load(S, "jis7\r\n1\r\n!!\r\n"); // the type is case-sensitive
    EXPECT_THROW(StreamReadlnBin(S, P, 0), EUserError);
    Load(S, "JIS7\r\nten\r\n!!\r\n");
    EXPECT_THROW(StreamReadlnBin(S, P, 0), EConvertError);
    uint8_t Small[2] = {7, 7};
    void* Q = Small;
    Load(S, "16\r\n3\r\n00:;??\r\n");
    EXPECT_EQ(MessageOf<EUserError>([&] { StreamReadlnBin(S, Q, 2); }),
              "StreamReadlnBin: バッファ容量が足りません");
    EXPECT_EQ(Small[0], 7);
    // Lengths the stream cannot hold.
    for (const char* B : {"JIS7\r\n-5\r\n!!\r\n", "JIS7\r\n2000000000\r\n!!\r\n",
                          "16\r\n2\r\n00\r\n" /* two bytes need four characters */}) {
        Load(S, B);
        EXPECT_THROW(StreamReadlnBin(S, P, 0), EReadError) << B;
    }
    EXPECT_EQ(P, nullptr);
}

TEST(StreamText, ReadlnBinBadDataRaisesAndChangesNothing)
{
    const size_t Blocks = GlobalBlockCount();
    std::string Five;
    const uint8_t Data[5] = {1, 2, 3, 4, 5};
    EncodeBinText(Data, 5, Five);
    const std::vector<std::string> Bad = {
        "JIS7\r\n10\r\n" + Five + "\r\n",                         // stream ends early
        "JIS7\r\n10\r\n" + Five + "\r\n\r\n" + Five + "\r\n",     // empty line inside
        "JIS7\r\n2\r\n!#\r\n",                                    // outside the alphabet
        "16\r\n1\r\nA0\r\n",                                      // outside "0".."?"
        "16\r\n1\r\n00\n\n",                                      // not CR LF
        "16\r\n41\r\n" + std::string(80, '0') + "\r\n0",          // short second line
    };
    for (const std::string& B : Bad) {
        TMemoryStream S;
        Load(S, B);
        void* P = nullptr;
        EXPECT_THROW(StreamReadlnBin(S, P, 0), Exception) << B;
        Load(S, B);
        std::vector<uint8_t> Mine(64, 0x77);
        void* Q = Mine.data();
        EXPECT_THROW(StreamReadlnBin(S, Q, 64), Exception) << B;
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
    EXPECT_EQ(GlobalSize(H), 5u);
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(H)), 5), "hello");
    GlobalUnlock(H);
    EXPECT_EQ(GlobalFree(H), nullptr);
}
