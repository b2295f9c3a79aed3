#include "foundation/rec_path.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include "platform/test_support.h"

#include <array>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

const TRect EmptyBounds{2147483647, 2147483647, -2147483647 - 1, -2147483647 - 1};

TrecPath MakeRecPath(const std::vector<std::array<int32_t, 3>>& Pts, uint8_t Flag = 0)
{
    TrecPath P;
    RecPolyLineSetCount(P, static_cast<int32_t>(Pts.size()));
    for (size_t I = 0; I < Pts.size(); ++I) {
        P.Points[I] = TPoint{Pts[I][0], Pts[I][1]};
        P.pabType[I] = static_cast<uint8_t>(Pts[I][2]);
    }
    RecPathCalcBounds(P);
    P.Flag = Flag;
    return P;
}

// The two-point path of the stored-form examples.
TrecPath TwoPointPath() { return MakeRecPath({{0, 0, 6}, {10, -5, 2}}, 1); }
// What a failed read must leave alone.
TrecPath Sentinel() { return MakeRecPath({{1, 2, 6}, {3, 4, 3}}, 0x42); }

std::string Write(const TrecPath& P, bool Text)
{
    TMemoryStream S;
    Text ? RecPathWriteToStreamAsText(P, S) : RecPathWriteToStream(P, S);
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

void Read(TrecPath& P, const std::string& B, bool Text)
{
    TMemoryStream S;
    S.Write(B.data(), static_cast<int32_t>(B.size()));
    S.SetPosition(0);
    Text ? RecPathReadFromStreamAsText(P, S) : RecPathReadFromStream(P, S);
}

// The stored binary form built byte by byte, independently of the writer.
std::string ReferenceBinary(const TrecPath& P)
{
    std::string R(1, static_cast<char>(P.Flag));
    const auto Put32 = [&](int32_t V) {
        for (int K = 0; K < 4; ++K)
            R += static_cast<char>((static_cast<uint32_t>(V) >> (8 * K)) & 0xFF);
    };
    for (int32_t V : {P.Bounds.Left, P.Bounds.Top, P.Bounds.Right, P.Bounds.Bottom, P.Count})
        Put32(V);
    for (int32_t I = 0; I < P.Count; ++I)
        Put32(P.Points[I].X), Put32(P.Points[I].Y);
    return R + std::string(P.pabType.begin(), P.pabType.begin() + P.Count);
}

// The text form built independently of the writer; also the tests' dump of a record.
std::string ReferenceText(const TrecPath& P)
{
    std::string R;
    for (int32_t V : {int32_t{P.Flag}, P.Bounds.Left, P.Bounds.Top, P.Bounds.Right, P.Bounds.Bottom, P.Count})
        R += std::to_string(V) + "\r\n";
    for (int32_t I = 0; I < P.Count; ++I)
        R += std::to_string(P.Points[I].X) + "," + std::to_string(P.Points[I].Y) + "," + std::to_string(P.pabType[I]) + "\r\n";
    return R;
}

#define EXPECT_SAME_PATH(A, B) EXPECT_EQ(ReferenceText(A), ReferenceText(B))

// Up to 20 points anywhere in the coordinate range, any type bytes and flag.
TrecPath RandomPath(std::mt19937& Rng)
{
    std::uniform_int_distribution<int32_t> Any(-2147483647 - 1, 2147483647);
    std::vector<std::array<int32_t, 3>> V(Rng() % 21);
    for (auto& E : V)
        E = {Any(Rng), Any(Rng), static_cast<int32_t>(Rng() % 256)};
    return MakeRecPath(V, static_cast<uint8_t>(Rng()));
}

} // namespace

TEST(RecPath, BoundsAndHitTest)
{
    TrecPath P;
    RecPathCalcBounds(P);
    EXPECT_EQ(P.Bounds, EmptyBounds);
    for (TPoint Q : {TPoint{0, 0}, TPoint{2147483647, 2147483647}, TPoint{-2147483647 - 1, -2147483647 - 1}})
        EXPECT_FALSE(RecPathHitTest(P, Q, 2147483647, 1.0));
    EXPECT_EQ(TwoPointPath().Bounds, (TRect{0, -5, 10, 0}));
    TrecPath Q = MakeRecPath({{1, 2, 6}, {-3, 9, 2}}, 7);
    RecPathClear(Q);
    EXPECT_SAME_PATH(Q, MakeRecPath({}, 7));
    TrecPath L = MakeRecPath({{0, 0, 6}, {100, 0, 2}});
    EXPECT_TRUE(RecPathHitTest(L, TPoint{-3, 0}, 3, 1.0));
    EXPECT_FALSE(RecPathHitTest(L, TPoint{-4, 0}, 3, 1.0));
    // Bounds that do not cover the points reject at once.
    L.Bounds = TRect{200, 200, 300, 300};
    EXPECT_FALSE(RecPathHitTest(L, TPoint{50, 0}, 3, 1.0));
}

TEST(RecPath, AssignAppendOffsetScaleRotate)
{
    const TrecPath Src = MakeRecPath({{1, 2, 6}, {5, 7, 3}}, 9);
    TrecPath D = MakeRecPath({{0, 0, 6}});
    RecPathAssign(D, Src, false);
    EXPECT_SAME_PATH(D, Src);
    TrecPath A = MakeRecPath({{100, 100, 6}, {110, 100, 2}});
    RecPathAppend(A, Src); // the bounds are not updated
    RecPathOffset(A, -10, 20);
    EXPECT_EQ(ReferenceText(A), "0\r\n90\r\n120\r\n100\r\n120\r\n4\r\n90,120,6\r\n100,120,2\r\n-9,22,6\r\n-5,27,3\r\n");
    // The empty bounds stay empty instead of wrapping into a real rectangle.
    TrecPath E;
    RecPathOffset(E, 5, 5);
    EXPECT_EQ(E.Bounds, EmptyBounds);
    TrecPath M(std::move(A));
    EXPECT_TRUE(M.Count == 4 && A.Count == 0 && A.Bounds == EmptyBounds); // NOLINT: moved-from is empty
    TrecPath P = MakeRecPath({{-3, 3, 6}, {5, 5, 2}});
    RecPathScale(P, 0, 0, 512.0, 512.0); // Trunc(-1.5), Trunc(1.5)
    EXPECT_EQ(ReferenceText(P), "0\r\n-1\r\n1\r\n2\r\n2\r\n2\r\n-1,1,6\r\n2,2,2\r\n");
    // (5 - 10) * 1536 / 1024 + 10 = 2.5 -> 2; (5 - 0) * 0.5 = 2.5 -> 2.
    TrecPath C = MakeRecPath({{5, 5, 6}});
    RecPathScale(C, 10, 0, 1536.0, 512.0);
    EXPECT_EQ(C.Points[0], (TPoint{2, 2}));
    TrecPath R = MakeRecPath({{0, 0, 6}, {10, 0, 2}});
    RecPathRotate(R, 0, 0, std::numbers::pi / 2);
    EXPECT_EQ(ReferenceText(R), "0\r\n0\r\n0\r\n0\r\n10\r\n2\r\n0,0,6\r\n0,10,2\r\n");
}

TEST(RecPath, StoredForms)
{
    TrecPath E;
    E.Flag = 0x5A;
    const std::string Empty = Write(E, false);
    EXPECT_EQ(Empty, std::string("\x5A\xFF\xFF\xFF\x7F\xFF\xFF\xFF\x7F\x00\x00\x00\x80\x00\x00\x00\x80\x00\x00\x00\x00", 21));
    const std::string Two = Write(TwoPointPath(), false);
    EXPECT_EQ(Two, std::string("\x01\x00\x00\x00\x00\xFB\xFF\xFF\xFF\x0A\x00\x00\x00\x00\x00\x00\x00\x02\x00\x00\x00"
                               "\x00\x00\x00\x00\x00\x00\x00\x00\x0A\x00\x00\x00\xFB\xFF\xFF\xFF\x06\x02",
                               39));
    TrecPath Back;
    Read(Back, Two, false);
    EXPECT_SAME_PATH(Back, TwoPointPath());
    Read(Back, Empty, false); // replaces the points read before
    EXPECT_SAME_PATH(Back, E);
    EXPECT_EQ(Write(TwoPointPath(), true), "1\r\n0\r\n-5\r\n10\r\n0\r\n2\r\n0,0,6\r\n10,-5,2\r\n");
    // Empty lines between points are skipped; bare line feeds, no final line end.
    for (const char* T : {"1\r\n0\r\n-5\r\n10\r\n0\r\n2\r\n0,0,6\r\n\r\n10,-5,2\r\n", "1\n0\n-5\n10\n0\n2\n0,0,6\n10,-5,2"}) {
        Read(Back, T, true);
        EXPECT_SAME_PATH(Back, TwoPointPath());
    }
    // The flag and types keep their low 8 bits; missing or bad fields give 0.
    Read(Back, "257\r\n1\r\n2\r\n3\r\n4\r\n4\r\n1,2,262\r\n5\r\nx,3,2\r\n7,8\r\n", true);
    EXPECT_EQ(ReferenceText(Back), "1\r\n1\r\n2\r\n3\r\n4\r\n4\r\n1,2,6\r\n5,0,0\r\n0,3,2\r\n7,8,0\r\n");
    Back = TwoPointPath();
    EXPECT_EQ(MessageOf<EConvertError>([&] { Read(Back, "1\r\nabc\r\n", true); }), "'abc' は有効な整数値ではありません");
    EXPECT_SAME_PATH(Back, TwoPointPath());
}

TEST(RecPath, RandomRoundTripsByteForByte)
{
    std::mt19937 Rng(2024);
    std::vector<std::array<int32_t, 3>> V; // the last path is larger than one write chunk
    for (int32_t I = 0; I < 20000; ++I)
        V.push_back({I * 3, -I, I == 0 ? 6 : 2});
    for (int N = 0; N <= 60; ++N) {
        const TrecPath P = N < 60 ? RandomPath(Rng) : MakeRecPath(V, 3);
        for (bool Text : {false, true}) {
            const std::string S = Write(P, Text);
            ASSERT_EQ(S, Text ? ReferenceText(P) : ReferenceBinary(P));
            TrecPath Back = MakeRecPath({{9, 9, 6}});
            Read(Back, S, Text);
            EXPECT_SAME_PATH(Back, P);
        }
    }
}

TEST(RecPath, TruncatedStreamsFailAndKeepTheRecord)
{
    const TrecPath P = MakeRecPath({{5, -7, 6}, {-1000000, 3, 2}, {2147483647, 0, 4}, {8, 8, 4}, {0, 1, 5}}, 3);
    const std::string B = Write(P, false);
    for (size_t L = 0; L < B.size(); ++L) {
        TrecPath R = Sentinel();
        EXPECT_THROW(Read(R, B.substr(0, L), false), EReadError) << "length " << L;
        EXPECT_SAME_PATH(R, Sentinel());
    }
    // Text: every cut before the last point line has begun fails (a read or
    // conversion error); within the last line a cut cannot be told from a
    // line with fewer fields.
    const std::string T = Write(P, true);
    for (size_t L = 0; L <= T.rfind("\r\n", T.size() - 3) + 2; ++L) {
        TrecPath R = Sentinel();
        EXPECT_THROW(Read(R, T.substr(0, L), true), Exception) << "length " << L;
        EXPECT_SAME_PATH(R, Sentinel());
    }
}

TEST(RecPath, AbsurdCountsAreRefused)
{
    const std::string B = Write(TwoPointPath(), false); // count 2, 18 bytes follow
    const auto WithCount = [&](int32_t N) {
        std::string C = B;
        for (int K = 0; K < 4; ++K)
            C[17 + K] = static_cast<char>((static_cast<uint32_t>(N) >> (8 * K)) & 0xFF);
        return C;
    };
    for (int32_t N : {-1, -2147483647 - 1, 3, 2147483647}) {
        TrecPath R = TwoPointPath();
        EXPECT_NE(MessageOf<EReadError>([&] { Read(R, WithCount(N), false); }).find("RecPathReadFromStream"),
                  std::string::npos) << N;
        EXPECT_SAME_PATH(R, TwoPointPath());
    }
    // Exactly what the rest holds is fine: count 1 leaves the last 9 bytes unread.
    TrecPath One;
    Read(One, WithCount(1), false);
    EXPECT_EQ(One.Count, 1);
    // The last: three points announced, two given, then only empty lines; the
    // reader must fail at the end of the stream instead of waiting for more.
    for (const char* T : {"1\r\n0\r\n-5\r\n10\r\n0\r\n-2\r\n0,0,6\r\n10,-5,2\r\n",
                          "1\r\n0\r\n-5\r\n10\r\n0\r\n2000000000\r\n0,0,6\r\n10,-5,2\r\n",
                          "0\r\n0\r\n0\r\n0\r\n0\r\n3\r\n0,0,6\r\n1,1,2\r\n\r\n\r\n\r\n\r\n"}) {
        TrecPath R = TwoPointPath();
        EXPECT_NE(MessageOf<EReadError>([&] { Read(R, T, true); }).find("RecPathReadFromStreamAsText"),
                  std::string::npos) << T;
        EXPECT_SAME_PATH(R, TwoPointPath());
    }
}
