// The one door to the files the program reads and the check before it
// writes one over: every kind of name that is no regular file is refused
// at once (never waited on) and left as it was, and the two that are fine
// read and write through.
#include "platform/module_loader.h"
#include "platform/regular_file.h"
#include "platform/safe_write.h"

#include <gtest/gtest.h>

#include <cstring>

#include "platform/hostile_files.h"
#include "platform/test_support.h"

namespace {

std::string Label(const THostileRow& Row, const char* Call)
{
    return std::string(Call) + " of " + Row.What;
}

} // namespace

TEST(RegularFile, EveryKindThatIsNoFileIsRefusedAtOnceAndLeftAsItWas)
{
    for (const THostileRow& Row : HostileRows(ErrNotRegularFile)) {
        SCOPED_TRACE(Row.What);
        TTempDir Tmp;
        std::vector<std::string> Pipes;
        MakeHostile(Tmp.Dir, "f", Row.Kind, Pipes);
        const std::string Path = Tmp / "f";
        const auto Before = FolderPrint(Tmp.Dir);

        // Opening to read, and to write in place.
        for (const int Access : {O_RDONLY, O_WRONLY, O_RDWR}) {
            const auto [Fd, Err] = WithinDeadline(
                [&] {
                    errno = 0;
                    const int F = OpenRegularFile(Path, Access);
                    return std::pair{F, errno};
                },
                Pipes, Label(Row, "OpenRegularFile"));
            if (Row.ReadError == 0) {
                ASSERT_GE(Fd, 0) << Access;
                // Blocking again, closed on exec, no terminal taken.
                const int Flags = ::fcntl(Fd, F_GETFL);
                EXPECT_EQ(Flags & O_NONBLOCK, 0);
                EXPECT_EQ(Flags & O_ACCMODE, Access);
                EXPECT_NE(::fcntl(Fd, F_GETFD) & FD_CLOEXEC, 0);
                ::close(Fd);
            } else {
                EXPECT_EQ(Fd, -1) << Access;
                EXPECT_EQ(Err, Row.ReadError) << Access;
            }
        }
        std::string Bytes = "unchanged";
        EXPECT_EQ(WithinDeadline([&] { return ReadRegularFile(Path, Bytes); }, Pipes, Label(Row, "ReadRegularFile")),
                  Row.ReadError);
        EXPECT_EQ(Bytes, Row.ReadError == 0 ? "old" : "");
        EXPECT_EQ(FolderPrint(Tmp.Dir), Before) << "a read changed the folder";

        // The replacing write: nothing made, nothing changed when refused;
        // through the link when it names a file.
        const std::string New = "new contents";
        EXPECT_EQ(WithinDeadline([&] { return WriteFileReplacing(Path, New.data(), New.size()); }, Pipes,
                                 Label(Row, "WriteFileReplacing")),
                  Row.WriteError);
        if (Row.WriteError != 0) {
            EXPECT_EQ(FolderPrint(Tmp.Dir), Before) << "a refused write changed the folder";
        } else {
            std::string After;
            EXPECT_EQ(ReadRegularFile(Path, After), 0);
            EXPECT_EQ(After, New);
            // A link to a file stays a link; the file it names took the bytes.
            EXPECT_EQ(std::filesystem::is_symlink(Path), Row.Kind == THostileKind::LinkToFile);
            EXPECT_EQ(FolderPrint(Tmp.Dir).size(), Before.size()) << "a temporary file was left";
        }
        std::string Target;
        EXPECT_EQ(ReplaceTarget(Path, Target), Row.WriteError);
    }
}

// The in-place road (a folder that takes no new files) and a file made
// anew keep to the same rule: a pipe is not emptied, nor waited on.
TEST(RegularFile, CreatingRefusesWhatIsNoFileBeforeEmptyingAnything)
{
    for (const THostileRow& Row : HostileRows(ErrNotRegularFile)) {
        SCOPED_TRACE(Row.What);
        TTempDir Tmp;
        std::vector<std::string> Pipes;
        MakeHostile(Tmp.Dir, "f", Row.Kind, Pipes);
        const auto Before = FolderPrint(Tmp.Dir);
        const auto [Fd, Err] = WithinDeadline(
            [&] {
                errno = 0;
                const int F = CreateRegularFile(Tmp / "f");
                return std::pair{F, errno};
            },
            Pipes, Label(Row, "CreateRegularFile"));
        if (Row.WriteError != 0) {
            EXPECT_EQ(Fd, -1);
            EXPECT_EQ(Err, Row.WriteError);
            EXPECT_EQ(FolderPrint(Tmp.Dir), Before);
            continue;
        }
        ASSERT_GE(Fd, 0);
        EXPECT_EQ(::fcntl(Fd, F_GETFL) & O_NONBLOCK, 0);
        ASSERT_EQ(::write(Fd, "x", 1), 1);
        ::close(Fd);
        std::string After;
        EXPECT_EQ(ReadRegularFile(Tmp / "f", After), 0);
        EXPECT_EQ(After, "x") << "the old bytes were not emptied";
    }
}

TEST(RegularFile, ErrorTexts)
{
    EXPECT_EQ(FileErrorText(ErrNotRegularFile), "通常のファイルではありません");
    EXPECT_EQ(FileErrorText(EISDIR), std::strerror(EISDIR));
    EXPECT_EQ(FileErrorText(ENOENT), std::strerror(ENOENT));
}

// A module named by a path that holds a pipe is not handed to the loader,
// whose own open would wait for a writer.
TEST(RegularFile, AModuleThatIsNoFileIsNotLoaded)
{
    for (const THostileRow& Row : HostileRows(ErrNotRegularFile)) {
        if (Row.ReadError == 0 || Row.ReadError == ENOENT)
            continue;
        SCOPED_TRACE(Row.What);
        TTempDir Tmp;
        std::vector<std::string> Pipes;
        MakeHostile(Tmp.Dir, "p.spi", Row.Kind, Pipes);
        // (The loader's error is kept per thread.)
        const auto [Module, Error] = WithinDeadline(
            [&] {
                HMODULE M = LoadLibrary(Tmp / "p.spi");
                return std::pair{M, GetModuleLoadError()};
            },
            Pipes, Label(Row, "LoadLibrary"));
        EXPECT_EQ(Module, nullptr);
        EXPECT_EQ(Error, Tmp / "p.spi" + ": " + FileErrorText(Row.ReadError));
    }
}
