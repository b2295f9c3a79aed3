#include "foundation/streams.h"
#include "foundation/user_error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "platform/hostile_files.h"
#include "platform/regular_file.h"
#include "platform/test_support.h"

namespace {

std::string Contents(TMemoryStream& S)
{
    return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

} // namespace

TEST(TMemoryStream, ReadWriteSeekAndSize)
{
    TMemoryStream S;
    S.WriteBuffer("hello", 5);
    EXPECT_EQ(S.Position(), 5);
    EXPECT_EQ(S.Seek(1, TSeekOrigin::soBeginning), 1);
    char Buf[8] = {};
    EXPECT_EQ(S.Read(Buf, 8), 4);
    EXPECT_STREQ(Buf, "ello");
    EXPECT_EQ(S.Read(Buf, 1), 0); // at the end
    EXPECT_EQ(S.Seek(-2, TSeekOrigin::soEnd), 3);
    S.WriteBuffer("p!", 2);
    EXPECT_EQ(Contents(S), "help!");
    // Writing beyond the end fills the gap with zeros.
    S.SetPosition(7);
    S.WriteBuffer("x", 1);
    EXPECT_EQ(Contents(S), std::string("help!\0\0x", 8));
    // Shrinking pulls the position back to the new end.
    S.SetSize(3);
    EXPECT_EQ(S.Position(), 3);
    EXPECT_EQ(Contents(S), "hel");
    S.SetPosition(0);
    EXPECT_THROW(S.ReadBuffer(Buf, 4), EReadError);
    S.Clear();
    EXPECT_EQ(S.Size(), 0);
}

TEST(TMemoryStreamWex, SetPointerReadsInPlaceAndNeverWritesTheOutsideBuffer)
{
    char Outside[] = "abcdef";
    TMemoryStreamWex S;
    S.WriteBuffer("zz", 2); // owned bytes are dropped by SetPointer
    S.SetPointer(Outside, 6);
    EXPECT_EQ(S.Memory(), Outside);
    EXPECT_EQ(S.Size() + S.Position(), 6);
    char Buf[4] = {};
    S.ReadBuffer(Buf, 3);
    EXPECT_STREQ(Buf, "abc");
    // A write copies first: the caller's bytes stay as they were.
    S.WriteBuffer("XYZW", 4);
    EXPECT_STREQ(Outside, "abcdef");
    EXPECT_NE(S.Memory(), Outside);
    EXPECT_EQ(Contents(S), "abcXYZW");
    S.SetPointer(Outside, 6);
    S.SetSize(10);
    EXPECT_STREQ(Outside, "abcdef");
    EXPECT_EQ(Contents(S), std::string("abcdef\0\0\0\0", 10));
    S.SetPointer(nullptr, 0);
    EXPECT_EQ(S.Size(), 0);
}

TEST(TMemoryStream, FilesRoundTripAndErrorsNameTheFile)
{
    TTempDir Tmp;
    const std::string Name = Tmp / "a.bin";
    TMemoryStream Out;
    const std::string Data("a\0b\r\nc", 6);
    Out.WriteBuffer(Data.data(), 6);
    Out.SaveToFile(Name);
    TMemoryStream In;
    In.LoadFromFile(Name);
    EXPECT_EQ(Contents(In), Data);
    const std::string Missing = Tmp / "no_such_file.bin", BadDir = Tmp / "no_such_dir/x.bin";
    EXPECT_NE(MessageOf<EFOpenError>([&] { In.LoadFromFile(Missing); }).find(Missing), std::string::npos);
    EXPECT_EQ(Contents(In), Data); // a failed load keeps the contents
    EXPECT_NE(MessageOf<EFCreateError>([&] { Out.SaveToFile(BadDir); }).find(BadDir), std::string::npos);
}

TEST(TFileStream, ModesSeekSizeAndCopy)
{
    TTempDir Tmp;
    const std::string Name = Tmp / "f.bin";
    {
        TFileStream F(Name, fmCreate);
        F.WriteBuffer("0123456789", 10);
        F.SetSize(4);
        EXPECT_EQ(F.Size() + F.Position(), 8);
    }
    {
        TFileStream F(Name, fmOpenReadWrite);
        F.Seek(0, TSeekOrigin::soEnd);
        F.WriteBuffer("ab", 2);
    }
    {
        TFileStream F(Name, fmOpenRead | fmShareDenyWrite);
        EXPECT_EQ(F.Size(), 6);
        EXPECT_THROW(F.WriteBuffer("x", 1), EWriteError);
        F.SetPosition(2);
        TMemoryStream M;
        EXPECT_EQ(M.CopyFrom(F, 3), 3);
        EXPECT_EQ(Contents(M), "23a");
        // Count 0 copies the whole source from its start.
        M.Clear();
        EXPECT_EQ(M.CopyFrom(F, 0), 6);
        EXPECT_EQ(Contents(M), "0123ab");
        char Buf[8];
        F.SetPosition(4);
        EXPECT_THROW(F.ReadBuffer(Buf, 3), EReadError);
    }
    EXPECT_THROW(TFileStream(Tmp / "missing", fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(Tmp / "no_such_dir/x", fmCreate), EFCreateError);
}

// Every mode of the file stream opens only a regular file: a pipe, device,
// socket or folder is refused at once with the system's words for it (a
// pipe is never waited on), and nothing of it changes; a link is followed.
TEST(TFileStream, WhatIsNoFileIsRefusedInEveryMode)
{
    const uint16_t Read = fmOpenRead | fmShareDenyWrite;
    const struct {
        uint16_t Mode;
        const char* Name;
    } Modes[] = {{Read, "read"},
                 {fmOpenWrite, "write"},
                 {fmOpenReadWrite, "read-write"},
                 {fmCreate, "create"}};
    for (const THostileRow& Row : HostileRows(ErrNotRegularFile))
        for (const auto& M : Modes) {
            SCOPED_TRACE(std::string(Row.What) + ", " + M.Name);
            TTempDir Tmp;
            std::vector<std::string> Pipes;
            MakeHostile(Tmp.Dir, "f", Row.Kind, Pipes);
            const std::string Path = Tmp / "f";
            const auto Before = FolderPrint(Tmp.Dir);
            const bool Create = M.Mode == fmCreate;
            // A link to nothing is made through by a create, as open does.
            const int Expected = Create ? Row.WriteError : Row.ReadError;
            const auto [Error, Message, Bytes] = WithinDeadline(
                [&]() -> std::tuple<int, std::string, std::string> {
                    try {
                        TFileStream F(Path, M.Mode);
                        // Read only when opened for reading alone: a pipe
                        // opened for both would wait on itself.
                        std::string Got(8, '\0');
                        Got.resize(M.Mode == Read ? size_t(F.Read(Got.data(), 8)) : 0);
                        return {0, "", Got};
                    } catch (const EFOpenError& E) {
                        return {E.Error(), E.what(), ""};
                    } catch (const EFCreateError& E) {
                        return {E.Error(), E.what(), ""};
                    }
                },
                Pipes, Row.What);
            EXPECT_EQ(Error, Expected);
            if (Expected != 0) {
                EXPECT_EQ(Message, "ファイル " + Path + (Create ? " を作成できません。" : " を開けません。") + " (" +
                                       FileErrorText(Expected) + ")");
                EXPECT_EQ(FolderPrint(Tmp.Dir), Before);
            } else if (M.Mode == Read) {
                EXPECT_EQ(Bytes, "old");
            }
        }
}
