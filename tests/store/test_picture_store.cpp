// Picture store: handles, duplicate detection, derived pictures, JPEG bytes in
// temporary files, undo and redo, and the stream forms of every version.
#include "store/picture_store.h"

#include "foundation/stream_text.h"
#include "foundation/user_error.h"
#include "platform/test_support.h"
#include "raster/jpeg_io.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <tuple>
#include <vector>

#include <jpeglib.h>

namespace {

using TPairs = std::vector<std::pair<int32_t, int32_t>>;

// Owns a picture record for the test's lifetime.
struct TPic {
    TrecPicture P{};
    ~TPic() { RecPictureClear(P); }
};

// Deterministic pixels; widths are chosen so rows have no padding.
void FillPicture(TrecPicture& P, int32_t W, int32_t H, int32_t Bits, uint32_t Seed, TPoint At = {})
{
    RecPictureCreate(P, At, W, H, Bits, false);
    for (int64_t I = 0; I < RecPictureGetImageSize(P); ++I)
        P.pBits[I] = static_cast<uint8_t>((Seed = Seed * 1103515245u + 12345u) >> 16);
}

std::string Pixels(const TrecPicture& P)
{
    return P.pBits ? std::string(reinterpret_cast<const char*>(P.pBits), size_t(RecPictureGetImageSize(P))) : "(none)";
}

std::string FileBytes(const std::string& Name)
{
    std::ifstream In(Name, std::ios::binary);
    return {std::istreambuf_iterator<char>(In), std::istreambuf_iterator<char>()};
}

// A JPEG made by libjpeg's compressor: an RGB gradient.
std::string MakeJpeg(int W, int H)
{
    jpeg_compress_struct C;
    jpeg_error_mgr E;
    C.err = jpeg_std_error(&E);
    jpeg_create_compress(&C);
    unsigned char* Out = nullptr;
    unsigned long Len = 0;
    jpeg_mem_dest(&C, &Out, &Len);
    C.image_width = static_cast<JDIMENSION>(W), C.image_height = static_cast<JDIMENSION>(H);
    C.input_components = 3;
    C.in_color_space = JCS_RGB;
    jpeg_set_defaults(&C);
    jpeg_set_quality(&C, 90, TRUE);
    jpeg_start_compress(&C, TRUE);
    std::vector<unsigned char> Row(static_cast<size_t>(W) * 3);
    for (JSAMPROW R = Row.data(); C.next_scanline < C.image_height; jpeg_write_scanlines(&C, &R, 1))
        for (int X = 0; X < W; ++X) {
            const unsigned Y = C.next_scanline;
            Row[X * 3] = X * 255 / W, Row[X * 3 + 1] = Y * 255 / H, Row[X * 3 + 2] = (X + Y) * 7;
        }
    jpeg_finish_compress(&C);
    std::string Result(reinterpret_cast<char*>(Out), Len);
    jpeg_destroy_compress(&C);
    std::free(Out);
    return Result;
}

std::string Le32(int32_t V)
{
    const auto U = static_cast<uint32_t>(V);
    return {static_cast<char>(U), static_cast<char>(U >> 8), static_cast<char>(U >> 16), static_cast<char>(U >> 24)};
}

std::string LeDouble(double D)
{
    uint64_t U;
    std::memcpy(&U, &D, 8);
    return Le32(static_cast<int32_t>(U)) + Le32(static_cast<int32_t>(U >> 32));
}

template <class F>
std::string Bytes(F&& Write)
{
    TMemoryStream M;
    Write(M);
    return std::string(static_cast<const char*>(M.Memory()), static_cast<size_t>(M.Size()));
}

// M := a copy of S, at position 0 (S may be a temporary).
TMemoryStreamWex& Load(TMemoryStreamWex& M, const std::string& S)
{
    M.SetPointer(S.data(), static_cast<int64_t>(S.size()));
    M.SetSize(static_cast<int64_t>(S.size()));
    M.SetPosition(0);
    return M;
}

// One entry of a collection written by hand in the layout of Version.
std::string HandEntry(bool Text, int32_t Version, int32_t Handle, int32_t P1, uint8_t Flag, const TrecPicture& P)
{
    uint8_t H[40];
    WriteBitmapInfoHeader(*RecPictureHeader(P), H);
    const std::string Header(reinterpret_cast<char*>(H), 40);
    if (!Text) {
        std::string S = Le32(Handle) + Le32(-1) + Le32(P1) + Le32(-P1) + LeDouble(0.25);
        S += Version >= 10 ? std::string(1, char(Flag)) : "";
        S += Version >= 18 ? "\x01" : "";
        if (Version >= 15)
            return S + Bytes([&](TStream& St) { RecPictureSaveToStream(P, St); });
        return S + Le32(P.iLeft) + Le32(P.iTop) + Header + Pixels(P);
    }
    return Bytes([&](TStream& M) {
        for (const std::string& L : {std::to_string(Handle), std::string("-1"), std::to_string(P1),
                                     std::to_string(-P1), std::string("0.25")})
            StreamWriteln(M, L);
        if (Version >= 10)
            StreamWriteln(M, std::to_string(Flag));
        if (Version >= 18)
            StreamWriteln(M, "1");
        if (Version >= 16)
            return RecPictureSaveToTextStream(P, M);
        StreamWriteln(M, std::to_string(P.iLeft));
        StreamWriteln(M, std::to_string(P.iTop));
        StreamWritelnBin(M, H, 40, 1);
        StreamWritelnBin(M, P.pBits, static_cast<int32_t>(RecPictureGetImageSize(P)), 0);
    });
}

// Everything that defines a stored picture: its stored form (condition,
// picture or JPEG bytes) and its pixels.
std::string Describe(const TListRecPictItem& It)
{
    return Bytes([&](TStream& St) { It.WriteToStream(St); }) + "|" + Pixels(It.Picture);
}

// The live pictures by handle.
std::string Snapshot(const TListRecPict& S, bool BaseOnly = false)
{
    std::map<int32_t, std::string> Live;
    for (int32_t I = 0; I < S.Items().Count(); ++I) {
        const TListRecPictItem* It = S.ItemAt(I);
        if (S.Items().GetKey(I) >= 0 && !(It && BaseOnly && It->Condition->SourceHandle >= 0))
            Live[S.Items().GetKey(I)] = It ? Describe(*It) : "(nil)";
    }
    std::string R;
    for (auto& [H, D] : Live)
        R += std::to_string(H) + "=" + D + "\n";
    return R;
}

TPairs MapPairs(const TList2Item& M)
{
    TPairs R;
    for (int32_t I = 0; I < M.Count(); ++I)
        R.emplace_back(M.GetKey(I), static_cast<int32_t>(M.GetItem(I)));
    return R;
}

// The item under Handle; a missing one fails the test instead of crashing it.
TListRecPictItem& At(const TListRecPict& S, int32_t Handle)
{
    if (TListRecPictItem* It = S.GetItemByHandle(Handle))
        return *It;
    throw std::runtime_error("no picture under handle " + std::to_string(Handle));
}

TListPtrWex& SetHandles(TListPtrWex& L, std::initializer_list<int32_t> Handles)
{
    L.Clear();
    for (int32_t H : Handles)
        L.Add(reinterpret_cast<void*>(static_cast<intptr_t>(H)));
    return L;
}

} // namespace

// Each test gets its own temporary folder as TMPDIR, so the store's "tav"
// files can be counted.
class PictureStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directory(TmpDir);
        setenv("TMPDIR", TmpDir.c_str(), 1);
        FillPicture(A.P, 4, 2, 24, 10);
        FillPicture(B.P, 4, 2, 24, 11);
    }
    int TavFiles() const
    {
        int N = 0;
        for (const auto& E : std::filesystem::directory_iterator(TmpDir))
            N += E.path().filename().string().rfind("tav", 0) == 0;
        return N;
    }
    // Adds a base picture from a JPEG file written by the test.
    int32_t AddJpeg(TListRecPict& S, const std::string& Name = "pic.jpg")
    {
        Dir.Put(Name, Jpeg);
        TPic J;
        bool Cancel = false;
        JpegLoadFromFile(Dir / Name, J.P.pBIHeader, J.P.pBits, false, 0, false, false, nullptr, {}, Cancel);
        J.P.iLeft = 7;
        J.P.iTop = -9;
        return S.AddPicture(-1, 0, 0, 0.0, TPoint{}, 0, 0, 0, J.P, Dir / Name);
    }
    static int32_t AddPlain(TListRecPict& S, uint32_t Seed, int32_t Source = -1)
    {
        TPic P;
        FillPicture(P.P, 8, 3, 24, Seed, {static_cast<int32_t>(Seed % 100), -2});
        return S.AddPicture(Source, 0, 0, 0.5, TPoint{}, 0, 0, 0, P.P, "");
    }
    static void LoadInto(TListRecPict& S, const std::string& Data, int32_t Version = 25)
    {
        TMemoryStreamWex M;
        S.LoadFromStream(Load(M, Data), Version);
    }
    // The handle map of merging a binary collection into S.
    static TPairs MergeBinary(TListRecPict& S, const std::string& Data)
    {
        TMemoryStreamWex M;
        TList2Item Map;
        S.ReadFromStreamBinary(Load(M, Data), Map, 25);
        return MapPairs(Map);
    }
    static std::string Saved(const TListRecPict& S, bool Text = false)
    {
        return Bytes([&](TStream& St) { Text ? S.WriteToStreamAsText(St, nullptr) : S.WriteToStream(St, nullptr); });
    }

    TTempDir Dir;
    TSavedEnv SavedTmp{"TMPDIR"};
    std::string TmpDir = Dir / "tmp";
    std::string Jpeg = MakeJpeg(24, 16);
    TPic A, B; // two small base pictures
};

TEST_F(PictureStore, HandlesGrowAndNeverRepeat)
{
    TListRecPict S(nullptr);
    EXPECT_EQ((std::vector{AddPlain(S, 1), AddPlain(S, 2), AddPlain(S, 3, 0)}), (std::vector{0, 1, 2})); // 2 derived
    TListPtrWex Used;
    S.RemoveUnused(SetHandles(Used, {0}));
    EXPECT_TRUE(S.GetItemByHandle(1) == nullptr && S.Items().GetKey(1) == -1);
    EXPECT_EQ(AddPlain(S, 2), 3); // the same picture again: a new handle, not 1
    // Written as 7, 3: the next handle is 8, not 4 (which would lead to a second 7).
    const std::string Two = Le32(2) + HandEntry(false, 25, 7, 1, 0, A.P) + HandEntry(false, 25, 3, 2, 0, B.P);
    TListRecPict L(nullptr);
    LoadInto(L, Two);
    EXPECT_EQ(L.NextHandle(), 8);
    EXPECT_EQ(Pixels(At(L, 3).Picture), Pixels(B.P));
    EXPECT_EQ(AddPlain(L, 20), 8);
    // Loading never lowers the counter; an empty collection adds one.
    LoadInto(S, Two);
    EXPECT_EQ(S.NextHandle(), 8);
    LoadInto(L, Le32(0));
    EXPECT_EQ(std::pair(L.NextHandle(), L.Items().Count()), std::pair(10, 0));
    LoadInto(L, Two);
    EXPECT_EQ(L.NextHandle(), 11);
}

TEST_F(PictureStore, DuplicateHandlesInAStreamFirstWins)
{
    TListRecPict S(nullptr);
    AddJpeg(S);
    // The second 5 carries JPEG bytes: dropping it must also delete its file.
    const std::string Jpg = Saved(S).substr(8);
    const std::string Data = Le32(4) + HandEntry(false, 25, 5, 1, 0, A.P) + Le32(5) + Jpg +
                             HandEntry(false, 25, 5, 2, 0, B.P) + Le32(-3) + Jpg;
    TListRecPict L(nullptr);
    LoadInto(L, Data);
    EXPECT_EQ(std::tuple(L.Items().Count(), At(L, 5).Condition->Param1, L.NextHandle()), std::tuple(1, 1, 6));
    EXPECT_EQ(TavFiles(), 1); // S's own
    EXPECT_EQ(MergeBinary(L, Data), (TPairs{{5, 5}})); // merging maps each stored handle once
}

TEST_F(PictureStore, DuplicateDetectionAmongBasePicturesOnly)
{
    TListRecPict S(nullptr);
    TPic P;
    FillPicture(P.P, 8, 3, 24, 1, {5, 5});
    const HGLOBAL Taken = P.P.pBIHeader;
    ASSERT_EQ(S.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, P.P, ""), 0);
    EXPECT_TRUE(P.P.pBIHeader == nullptr && At(S, 0).Picture.pBIHeader == Taken); // taken over
    // Same depth, size and pixels at another position: found, the caller keeps it.
    FillPicture(P.P, 8, 3, 24, 1, {-40, 2});
    EXPECT_EQ(S.AddPicture(-1, 9, 9, 9, TPoint{}, 0, 0, 0, P.P, ""), 0);
    EXPECT_TRUE(P.P.pBIHeader != nullptr && S.Items().Count() == 1);
    RecPictureClear(P.P);
    // Other pixels, size or depth are other pictures.
    EXPECT_EQ(AddPlain(S, 2), 1);
    FillPicture(P.P, 4, 3, 24, 1);
    EXPECT_EQ(S.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, P.P, ""), 2);
    FillPicture(P.P, 24, 3, 8, 1); // the same 72 bytes a row, 8 bits
    EXPECT_EQ(S.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, P.P, ""), 3);
    // A derived picture is never written, so a base picture equal to it must
    // be stored on its own, or it would be lost on save.
    EXPECT_EQ(AddPlain(S, 77, 0), 4);
    EXPECT_EQ(AddPlain(S, 77), 5);
    const std::string Data = Saved(S);
    EXPECT_EQ(Data.substr(0, 4), Le32(5));
    TListRecPict R(nullptr);
    LoadInto(R, Data);
    EXPECT_EQ(Pixels(At(R, 5).Picture), Pixels(At(S, 4).Picture));
    // A base picture of a merged stream equal to a stored one is mapped to it.
    EXPECT_EQ(MergeBinary(R, Data), (TPairs{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {5, 5}}));
    EXPECT_EQ(R.NextHandle(), 6);
    // A store of derived pictures only writes Count 0.
    TListRecPict Dv(nullptr);
    AddPlain(Dv, 3, 0);
    EXPECT_EQ(Saved(Dv), Le32(0));
}

TEST_F(PictureStore, DerivedPicturesFoundByCondition)
{
    TListRecPict S(nullptr);
    AddPlain(S, 1);
    TPic P;
    FillPicture(P.P, 4, 4, 24, 2);
    const int32_t D = S.AddPicture(0, 3, 4, 1.5, TPoint{5, 6}, 7, 8, 2, P.P, "x.jpg");
    EXPECT_EQ(At(S, D).JpegFile(), nullptr); // only base pictures keep JPEG bytes
    FillPicture(P.P, 4, 4, 24, 2);
    EXPECT_EQ(S.AddPicture(0, 3, 4, 1.5, TPoint{5, 6}, 7, 8, 2, P.P, ""), D + 1); // derived: no detection
    int32_t H = 99;
    const std::array<int32_t, 8> Cond{0, 3, 4, 2, 5, 6, 7, 8};
    const auto Find = [&](std::array<int32_t, 8> A, double D) {
        return S.FindByCondition(A[0], A[1], A[2], D, A[3], TPoint{A[4], A[5]}, A[6], A[7], &H);
    };
    EXPECT_EQ(Find(Cond, 1.50009), S.GetItemByHandle(D));
    EXPECT_EQ(H, D); // the first of the two
    EXPECT_NE(Find(Cond, 1.49991), nullptr);
    EXPECT_EQ(Find(Cond, 1.50011), nullptr);
    EXPECT_EQ(H, -1);
    for (size_t K = 0; K < Cond.size(); ++K) { // every other field of the condition counts
        std::array<int32_t, 8> A = Cond;
        A[K] = A[K] ? 0 : 1;
        EXPECT_EQ(Find(A, 1.5), nullptr) << K;
    }
    EXPECT_EQ(S.GetItemByHandle(-1), nullptr);
    // Derived pictures leave without undo records: the command stays empty.
    THistoryCommand Hist;
    TListRecPict U(&Hist);
    AddPlain(U, 1);
    AddPlain(U, 2, 0);
    U.CommitNew();
    TListPtrWex Used;
    Hist.CommandStart("drop");
    U.RemoveUnused(SetHandles(Used, {0}));
    Hist.CommandEnd();
    EXPECT_FALSE(Hist.CanUndo());
    EXPECT_EQ(U.GetItemByHandle(1), nullptr);
}

TEST_F(PictureStore, UndoRedoOfAddingAndRemovingRestoresTheState)
{
    THistoryCommand H;
    TListRecPict S(&H);
    TListPtrWex Used;
    // What the document does: collect the used pictures, then commit.
    H.OnCommandEnding = [&](THistoryCommand*) {
        S.RemoveUnused(Used);
        S.CommitNew();
    };
    H.OnUndo = H.OnRedo = [&](THistoryCommand*) { S.RemoveUnused(Used); };
    const std::string Empty = Snapshot(S);
    H.CommandStart("add");
    const int32_t J = AddJpeg(S);
    const int32_t P = AddPlain(S, 5);
    AddPlain(S, 6, P); // derived: not recorded
    SetHandles(Used, {J, P, 2});
    H.CommandEnd();
    const std::string Added = Snapshot(S, true); // the derived picture lives in memory only
    EXPECT_NE(Added, Snapshot(S));
    EXPECT_EQ(S.NewBasePictures().Count(), 0);
    H.CommandStart("remove");
    SetHandles(Used, {P});
    H.CommandEnd();
    const std::string Removed = Snapshot(S);
    EXPECT_TRUE(S.GetItemByHandle(J) == nullptr && TavFiles() == 0);
    const auto Replay = [&](bool Undo, std::initializer_list<int32_t> Keep) {
        SetHandles(Used, Keep);
        Undo ? H.Undo() : H.Redo();
        return Snapshot(S);
    };
    EXPECT_EQ(Replay(true, {J, P, 2}), Added); // the JPEG picture comes back with its bytes
    EXPECT_EQ(TavFiles(), 1);
    EXPECT_EQ(Replay(true, {}), Empty);
    EXPECT_EQ(S.NextHandle(), 3); // handles are not given back
    EXPECT_EQ(Replay(false, {J, P}), Added);
    EXPECT_EQ(S.NewBasePictures().Count(), 0); // re-added pictures are not new
    EXPECT_EQ(Replay(false, {P}), Removed);
    EXPECT_EQ(Replay(true, {J, P}), Added);
    // Replaying onto a handle that is present, and unknown codes.
    const std::string Rec = Le32(P) + Bytes([&](TStream& St) { At(S, P).WriteToStream(St); });
    const auto Size = static_cast<int32_t>(Rec.size());
    const std::string Present = "TListRecPict.Undo: (GetItemByHandle(iHandle) <> nil)";
    EXPECT_EQ(MessageOf<EUserError>([&] { S.Redo(0, Rec.data(), Size); }), Present);
    EXPECT_EQ(MessageOf<EUserError>([&] { S.Undo(0x81, Rec.data(), Size); }), Present);
    EXPECT_EQ(MessageOf<EUserError>([&] { S.Undo(2, nullptr, 0); }) + MessageOf<EUserError>([&] { S.Redo(5, nullptr, 0); }),
              "TDrawItem.Undo: Illegal Command.TDrawItem.Undo: Illegal Command.");
    EXPECT_EQ(Snapshot(S), Added);
}

TEST_F(PictureStore, BinaryAndTextLayouts)
{
    TListRecPict S(nullptr);
    TPic P;
    FillPicture(P.P, 8, 3, 24, 4, {-3, 12});
    const std::string Png = Bytes([&](TStream& St) { RecPictureSaveToStream(P.P, St); });
    const std::string PngText = Bytes([&](TStream& St) { RecPictureSaveToTextStream(P.P, St); });
    S.AddPicture(-1, 3, -4, 0.5, TPoint{1, 1}, 2, 2, 200, P.P, "");
    const int32_t J = AddJpeg(S);
    TListPtrWex F;
    const auto Bin = [&](std::initializer_list<int32_t> H) {
        return Bytes([&](TStream& St) { S.WriteToStream(St, &SetHandles(F, H)); });
    };
    const auto Txt = [&](std::initializer_list<int32_t> H) {
        return Bytes([&](TStream& St) { S.WriteToStreamAsText(St, &SetHandles(F, H)); });
    };
    EXPECT_EQ(Bin({0}), Le32(1) + Le32(0) + Le32(-1) + Le32(3) + Le32(-4) + LeDouble(0.5) + "\xC8\x01" + Png);
    EXPECT_EQ(Txt({0}), "1\r\n0\r\n-1\r\n3\r\n-4\r\n0.5\r\n200\r\n1\r\n" + PngText);
    EXPECT_EQ(Bin({J}), Le32(1) + Le32(J) + Le32(-1) + Le32(0) + Le32(0) + LeDouble(0) + std::string(2, '\0') +
                            Le32(7) + Le32(-9) + Le32(static_cast<int32_t>(Jpeg.size())) + Jpeg);
    EXPECT_EQ(Txt({J}), "1\r\n1\r\n-1\r\n0\r\n0\r\n0\r\n0\r\n0\r\n7\r\n-9\r\n" + std::to_string(Jpeg.size()) + "\r\n" +
                            Bytes([&](TStream& St) {
                                StreamWritelnBin(St, Jpeg.data(), static_cast<int32_t>(Jpeg.size()), 1);
                            }));
    EXPECT_EQ(Bin({}), Le32(0));
    EXPECT_EQ(Txt({}), "0\r\n");
    // ParamD as general text with 15 digits.
    for (const auto& [D, Line] : {std::pair{123.25, "123.25"}, {-0.0001, "-0.0001"}, {0.00001, "1E-5"}, {1e15, "1E15"},
                                  {100000000000000.0, "100000000000000"}, {1.0 / 3, "0.333333333333333"},
                                  {2.5e-7, "2.5E-7"}}) {
        At(S, 0).Condition->ParamD = D;
        std::string T = Txt({0});
        for (int N = 0; N < 5; ++N)
            T.erase(0, T.find('\n') + 1);
        EXPECT_EQ(T.substr(0, T.find('\r')), Line);
    }
}

TEST_F(PictureStore, ReadsEveryVersionBranch)
{
    TPic P;
    FillPicture(P.P, 8, 3, 24, 9, {4, -6});
    for (bool Text : {false, true})
        for (int32_t V : {9, 10, 14, 15, 16, 17, 18, 25}) {
            SCOPED_TRACE((Text ? "text " : "binary ") + std::to_string(V));
            const std::string Entry = HandEntry(Text, V, 4, 11, 0x5A, P.P);
            TListRecPict S(nullptr);
            TList2Item Map;
            TMemoryStreamWex M;
            if (Text)
                S.ReadFromStreamAsText(Load(M, "1\r\n" + Entry), Map, V);
            else
                S.ReadFromStreamBinary(Load(M, Le32(1) + Entry), Map, V);
            EXPECT_EQ(M.Position(), M.Size());
            ASSERT_EQ(MapPairs(Map), (TPairs{{4, 0}}));
            const TListRecPictItemCondition& C = *At(S, 0).Condition;
            EXPECT_EQ((std::tuple{C.Param1, C.Param2, C.ParamD, int(C.Flag)}),
                      (std::tuple{11, -11, 0.25, V >= 10 ? 0x5A : 0}));
            EXPECT_EQ(Pixels(At(S, 0).Picture), Pixels(P.P));
            EXPECT_EQ((TPoint{At(S, 0).Picture.iLeft, At(S, 0).Picture.iTop}), (TPoint{4, -6}));
        }
    // The thresholds differ: a version 15 item is PNG in binary but raw in text.
    TListRecPict S(nullptr);
    TList2Item Map;
    TMemoryStreamWex M;
    EXPECT_THROW(S.LoadFromStream(Load(M, Le32(1) + HandEntry(false, 15, 4, 11, 1, P.P)), 14), Exception);
    EXPECT_THROW(S.ReadFromStreamAsText(Load(M, "1\r\n" + HandEntry(true, 15, 4, 11, 1, P.P)), Map, 16), Exception);
    EXPECT_EQ(Map.Count() + S.Items().Count(), 0);
}

TEST_F(PictureStore, RoundTripsWithJpegBytes)
{
    {
        TListRecPict S(nullptr);
        const int32_t J = AddJpeg(S, "a.JPEG");
        const TListRecPictItem& It = At(S, J);
        ASSERT_NE(It.JpegFile(), nullptr);
        EXPECT_EQ(It.JpegFileName().rfind(TmpDir + "/tav", 0), 0u);
        EXPECT_TRUE(FileBytes(It.JpegFileName()) == Jpeg && It.Picture.hDIBSection == nullptr);
        AddPlain(S, 3);
        AddPlain(S, 4, 0); // derived: not written
        TPic Png;
        FillPicture(Png.P, 4, 2, 8, 5);
        EXPECT_EQ(At(S, S.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, Png.P, Dir / "b.png")).JpegFile(), nullptr);
        EXPECT_EQ(TavFiles(), 1);
        const std::string Base = Snapshot(S, true);
        const std::string Bin = Saved(S), Txt = Saved(S, true);
        for (int32_t V : {18, 25}) {
            TListRecPict L(nullptr);
            LoadInto(L, Bin, V);
            EXPECT_EQ(Snapshot(L), Base);
            EXPECT_NE(At(L, J).JpegFileName(), It.JpegFileName());
            EXPECT_EQ(Saved(L), Bin);
            TListRecPict T(nullptr);
            TList2Item Map;
            TMemoryStreamWex M;
            T.ReadFromStreamAsText(Load(M, Txt), Map, V);
            EXPECT_EQ(MapPairs(Map), (TPairs{{0, 0}, {1, 1}, {3, 2}}));
            for (auto [Old, New] : MapPairs(Map))
                EXPECT_EQ(Describe(At(T, New)), Describe(At(S, Old)));
        }
        // Assign copies base pictures under their handles, JPEG bytes into a file of its own.
        TListRecPict A(nullptr);
        AddPlain(A, 50);
        AddPlain(A, 51);
        TListPtrWex Used;
        A.RemoveUnused(SetHandles(Used, {1}));
        A.Assign(S);
        EXPECT_EQ(A.NextHandle(), S.NextHandle());
        EXPECT_NE(Pixels(At(A, 1).Picture), Pixels(At(S, 1).Picture)); // kept its own
        // 0 (removed), 1, and the copies of 0 and 3: no second 1, no 2.
        EXPECT_TRUE(A.GetItemByHandle(2) == nullptr && A.Items().Count() == 4);
        EXPECT_EQ(Pixels(At(A, 3).Picture), Pixels(At(S, 3).Picture));
        EXPECT_EQ(FileBytes(At(A, 0).JpegFileName()), Jpeg);
        EXPECT_NE(At(A, 0).JpegFileName(), At(S, 0).JpegFileName());
        EXPECT_EQ(TavFiles(), 2);
    }
    EXPECT_EQ(TavFiles(), 0); // every item took its file with it
    // A JPEG file that cannot be read: nothing stored, the caller keeps its picture.
    TListRecPict S(nullptr);
    TPic P;
    FillPicture(P.P, 4, 2, 24, 1);
    EXPECT_THROW(S.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, P.P, Dir / "missing.jpg"), EFOpenError);
    EXPECT_NE(P.P.pBIHeader, nullptr);
    EXPECT_EQ(S.Items().Count() + S.NextHandle() + TavFiles(), 0);
}

TEST_F(PictureStore, MergeFromMovesBasePictures)
{
    TPic C, E;
    FillPicture(C.P, 4, 2, 24, 10); // equal to A
    FillPicture(E.P, 4, 2, 24, 13);
    TListRecPict Src(nullptr);
    LoadInto(Src, Le32(2) + HandEntry(false, 25, 3, 1, 0, A.P) + HandEntry(false, 25, 9, 2, 0, B.P));
    AddPlain(Src, 12, 3); // derived, handle 10
    TListRecPict Dst(nullptr);
    Dst.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, C.P, "");
    for (int N = 0; N < 4; ++N)
        AddPlain(Dst, 30 + N, 0);
    Dst.CommitNew();
    TList2Item Map;
    Dst.MergeFrom(Src, Map);
    EXPECT_EQ(MapPairs(Map), (TPairs{{3, 0}, {9, 5}}));
    EXPECT_TRUE(Dst.NextHandle() == 6 && Pixels(At(Dst, 5).Picture) == Pixels(B.P));
    // 9 moved out; 3 (equal to one held) and 10 (derived) stay.
    EXPECT_TRUE(!Src.GetItemByHandle(9) && Src.GetItemByHandle(3) && Src.GetItemByHandle(10));
    ASSERT_EQ(Dst.NewBasePictures().Count(), 1);
    EXPECT_EQ(Dst.Items().GetKey(static_cast<int32_t>(reinterpret_cast<intptr_t>(Dst.NewBasePictures().Get(0)))), 5);
    // A derived picture in a stream names its source in another numbering: not merged.
    std::string Derived = HandEntry(false, 25, 4, 1, 0, E.P);
    Derived.replace(4, 4, Le32(0));
    EXPECT_EQ(MergeBinary(Dst, Le32(1) + Derived), TPairs{});
    EXPECT_EQ(Dst.NextHandle(), 6);
}

TEST_F(PictureStore, BadStreamsLeaveTheStoreUnchanged)
{
    TListRecPict Src(nullptr);
    AddJpeg(Src);
    AddPlain(Src, 2);
    const std::string Bin = Saved(Src), Txt = Saved(Src, true);
    TListRecPict S(nullptr);
    AddPlain(S, 7);
    AddJpeg(S, "own.jpg");
    const std::string Before = Snapshot(S);
    const int32_t Next = S.NextHandle();
    auto Unchanged = [&] { // TavFiles: Src's and S's own
        EXPECT_EQ(std::tuple(Snapshot(S), S.NextHandle(), TavFiles()), std::tuple(Before, Next, 2));
    };
    TMemoryStreamWex M;
    TList2Item Map;
    for (size_t L = 0; L < Bin.size(); ++L) {
        EXPECT_THROW(S.LoadFromStream(Load(M, Bin.substr(0, L)), 25), Exception) << L;
        EXPECT_THROW(S.ReadFromStreamBinary(Load(M, Bin.substr(0, L)), Map, 25), Exception) << L;
    }
    // A text stream may lose its last line end and still be whole.
    for (size_t L = 0; L + 2 < Txt.size(); L += (L < 200 || L + 300 > Txt.size()) ? 1 : 7)
        EXPECT_THROW(S.ReadFromStreamAsText(Load(M, Txt.substr(0, L)), Map, 25), Exception) << L;
    Unchanged();
    EXPECT_EQ(Map.Count(), 0);
    // Corrupt counts and JPEG sizes are refused before anything is made, the
    // sizes themselves, not some later failure of the copy or decode.
    const std::string JpegEntry = Bin.substr(4, 4 + 22 + 12 + Jpeg.size());
    const size_t SizeAt = 4 + 22 + 8;
    auto WithSize = [&](int32_t Size) { return Le32(1) + std::string(JpegEntry).replace(SizeAt, 4, Le32(Size)); };
    std::string BadJpeg = Le32(1) + JpegEntry;
    BadJpeg[4 + SizeAt + 4] = 'X'; // no SOI marker
    for (const std::string& Bad : {Le32(-1), Le32(0x7FFFFFFF), Le32(3) + Bin.substr(4), WithSize(0x7FFFFFF0), BadJpeg})
        EXPECT_THROW(S.LoadFromStream(Load(M, Bad), 25), Exception);
    for (int32_t Size : {-5, 0, static_cast<int32_t>(Jpeg.size()) + 1}) {
        const std::string Msg = MessageOf<EReadError>([&] { S.LoadFromStream(Load(M, WithSize(Size)), 25); });
        EXPECT_NE(Msg.find("JPEG のバイト数(" + std::to_string(Size) + ")"), std::string::npos) << Msg;
    }
    for (const char* Bad : {"-1\r\n", "abc\r\n", "99999\r\n0\r\n", "1\r\n0\r\n-1\r\n0\r\n0\r\n0.5x\r\n"})
        EXPECT_THROW(S.ReadFromStreamAsText(Load(M, Bad), Map, 25), Exception);
    std::string TxtBad = Txt;
    const std::string SizeLine = "\r\n" + std::to_string(Jpeg.size()) + "\r\nJIS7";
    TxtBad.replace(TxtBad.find(SizeLine), SizeLine.size(), "\r\n-5\r\nJIS7");
    EXPECT_NE(MessageOf<EReadError>([&] { S.ReadFromStreamAsText(Load(M, TxtBad), Map, 25); }).find("JPEG のバイト数(-5)"),
              std::string::npos);
    Unchanged();
    EXPECT_EQ(Map.Count(), 0);
    // The item reader leaves its item as it was too; the condition is read
    // before the JPEG fails.
    std::string ItemBad = BadJpeg.substr(8);
    ItemBad.replace(4, 4, Le32(77));
    EXPECT_THROW(At(S, 1).ReadFromStream(Load(M, ItemBad), 25), Exception);
    Unchanged();
}

namespace {

// Pixels of W x H at Bits from Seed, every byte that pads a row to four
// set to Pad.
void FillPadded(TrecPicture& P, int32_t W, int32_t H, int32_t Bits, uint32_t Seed, uint8_t Pad)
{
    FillPicture(P, W, H, Bits, Seed);
    const int64_t Stride = RecPictureGetImageSize(P) / H;
    const int64_t Used = (int64_t(W) * Bits + 7) / 8;
    const int32_t Rest = int32_t(int64_t(W) * Bits % 8);
    for (int32_t Y = 0; Y < H; ++Y) {
        uint8_t* Row = P.pBits + Y * Stride;
        std::memset(Row + Used, Pad, size_t(Stride - Used));
        if (Rest)
            Row[Used - 1] = uint8_t((Row[Used - 1] & (0xFF00 >> Rest)) | (Pad & (0xFF >> Rest)));
    }
}

// Replays the binary collection Data into its store on every redo, as a
// page's paste does.
class TMergeOnRedo : public TUndoObject {
public:
    TMergeOnRedo(THistoryCommand* H, TListRecPict& Store, std::string Data)
        : TUndoObject(H), FStore(Store), FData(std::move(Data))
    {
    }
    void Undo(int32_t, const void*, int32_t) override {}
    void Redo(int32_t, const void*, int32_t) override
    {
        TMemoryStreamWex M;
        TList2Item Map;
        FStore.ReadFromStreamBinary(Load(M, FData), Map, 25);
    }

private:
    TListRecPict& FStore;
    std::string FData;
};

} // namespace

// The bytes that pad a row are no part of a picture: a picture equal to a
// stored one but for them is found (also one read back from its stored
// form), one differing in a pixel, or in the used bits of a last byte, is not.
TEST_F(PictureStore, RowPaddingDoesNotMakePicturesDiffer)
{
    struct TCase {
        int32_t W, Bits;
    };
    for (const TCase C : {TCase{5, 24}, TCase{6, 24}, TCase{3, 8}, TCase{3, 1}, TCase{5, 4}}) {
        SCOPED_TRACE(std::to_string(C.W) + " x " + std::to_string(C.Bits));
        TListRecPict S(nullptr);
        TPic P;
        FillPadded(P.P, C.W, 3, C.Bits, 4, 0xA5);
        ASSERT_EQ(S.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, P.P, ""), 0);
        FillPadded(P.P, C.W, 3, C.Bits, 4, 0x3C);
        EXPECT_EQ(S.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, P.P, ""), 0);
        EXPECT_EQ(MergeBinary(S, Saved(S)), (TPairs{{0, 0}}));
        // A pixel of the last row's last used byte differs.
        const int64_t Stride = RecPictureGetImageSize(P.P) / 3;
        P.P.pBits[2 * Stride + (int64_t(C.W) * C.Bits + 7) / 8 - 1] ^= 0x80;
        EXPECT_EQ(S.AddPicture(-1, 0, 0, 0, TPoint{}, 0, 0, 0, P.P, ""), 1);
    }
}

// KeepPictures: what the document uses stays and is written; a base
// picture only the history holds is set aside, out of the document until the
// same picture is wanted again, which takes it back under its handle;
// anything else goes, without undo records.
TEST_F(PictureStore, KeepPicturesSetsAsideWhatOnlyTheHistoryHolds)
{
    THistoryCommand H;
    TListRecPict S(&H);
    for (uint32_t Seed : {1u, 2u, 3u})
        AddPlain(S, Seed);
    AddPlain(S, 4, 0); // derived from 0: handle 3
    S.CommitNew();
    TListPtrWex Used;
    H.CommandStart("keep");
    S.KeepPictures(SetHandles(Used, {0}), {1, 3});
    H.CommandEnd();
    EXPECT_FALSE(H.CanUndo()) << "no undo record";
    EXPECT_NE(S.GetItemByHandle(0), nullptr);
    // Set aside: kept, but out of the document, also for a filter naming it.
    EXPECT_TRUE(S.IsSetAside(1));
    EXPECT_EQ(S.GetItemByHandle(1), nullptr);
    EXPECT_EQ(S.Items().GetKey(1), 1);
    // Gone: an unused base picture, and a derived one the history holds.
    EXPECT_EQ(std::tuple(S.Items().GetKey(2), S.Items().GetKey(3)), std::tuple(-1, -1));
    EXPECT_EQ(Saved(S).substr(0, 4), Le32(1));
    EXPECT_EQ(Saved(S, true).substr(0, 3), "1\r\n");
    EXPECT_EQ(Bytes([&](TStream& St) { S.WriteToStream(St, &SetHandles(Used, {0, 1})); }).substr(0, 4), Le32(1));
    // The same picture added again is the one set aside, back in its place;
    // a picture gone is gone.
    EXPECT_EQ(AddPlain(S, 2), 1);
    EXPECT_FALSE(S.IsSetAside(1));
    EXPECT_NE(S.GetItemByHandle(1), nullptr);
    EXPECT_EQ(AddPlain(S, 3), 4);
    EXPECT_EQ(S.NewBasePictures().Count(), 1) << "only the picture stored anew is new";
    TListRecPict Back(nullptr);
    LoadInto(Back, Saved(S));
    EXPECT_EQ(std::tuple(Back.Items().Count(), Back.Items().GetKey(0), Back.Items().GetKey(1), Back.Items().GetKey(2)),
              std::tuple(3, 0, 1, 4));
    // Merged again, likewise.
    S.KeepPictures(SetHandles(Used, {0, 4}), {1});
    ASSERT_TRUE(S.IsSetAside(1));
    TListRecPict Other(nullptr);
    AddPlain(Other, 2);
    EXPECT_EQ(MergeBinary(S, Saved(Other)), (TPairs{{0, 1}}));
    EXPECT_FALSE(S.IsSetAside(1));
}

// A step's record of pictures added brings a picture set aside for it back
// into the document; a picture the document uses, or another picture under
// the handle, is still refused.
TEST_F(PictureStore, ReplayTakesBackAPictureSetAsideForIt)
{
    THistoryCommand H;
    TListRecPict S(&H);
    const int32_t P = AddPlain(S, 5);
    const std::string Rec = Le32(P) + Bytes([&](TStream& St) { At(S, P).WriteToStream(St); });
    const auto Size = static_cast<int32_t>(Rec.size());
    const std::string Present = "TListRecPict.Undo: (GetItemByHandle(iHandle) <> nil)";
    TListPtrWex None;
    S.KeepPictures(None, {P});
    ASSERT_TRUE(S.IsSetAside(P));
    EXPECT_NO_THROW(S.Redo(TListRecPict::CmdPicturesAdded, Rec.data(), Size));
    EXPECT_FALSE(S.IsSetAside(P));
    EXPECT_EQ(Saved(S).substr(0, 4), Le32(1));
    EXPECT_EQ(MessageOf<EUserError>([&] { S.Redo(TListRecPict::CmdPicturesAdded, Rec.data(), Size); }), Present);
    S.KeepPictures(None, {P});
    EXPECT_NO_THROW(S.Undo(TListRecPict::CmdPicturesRemoved, Rec.data(), Size));
    EXPECT_FALSE(S.IsSetAside(P));
    // Other pixels under the handle.
    TListRecPict Other(nullptr);
    AddPlain(Other, 6);
    const std::string Wrong = Le32(P) + Bytes([&](TStream& St) { At(Other, 0).WriteToStream(St); });
    S.KeepPictures(None, {P});
    EXPECT_EQ(MessageOf<EUserError>([&] { S.Redo(0, Wrong.data(), int32_t(Wrong.size())); }), Present);
    EXPECT_TRUE(S.IsSetAside(P));
}

// Pictures a replayed step merges into the store come back through the
// step's own records: they are not new, and the next command records nothing
// of them.
TEST_F(PictureStore, PicturesMergedWhileReplayingAreNotNew)
{
    THistoryCommand H;
    TListRecPict S(&H);
    TListRecPict Source(nullptr);
    AddPlain(Source, 7);
    TMergeOnRedo Merger(&H, S, Saved(Source));
    H.CommandStart("merge");
    Merger.Redo(0, nullptr, 0);
    EXPECT_EQ(S.NewBasePictures().Count(), 1);
    Merger.AddHistory(1, 0, "m", 1);
    H.CommandEnd();
    S.CommitNew(); // outside the command: records nothing
    H.Undo();
    TListPtrWex None;
    S.KeepPictures(None, {});
    EXPECT_EQ(Saved(S), Le32(0));
    H.Redo();
    EXPECT_EQ(Saved(S).substr(0, 4), Le32(1));
    EXPECT_EQ(S.NewBasePictures().Count(), 0);
}
