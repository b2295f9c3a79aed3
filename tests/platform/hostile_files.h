// Names that hold something other than a regular file, made in a test's own
// folder, for the tables of every reader and writer: a named pipe (also
// behind a link), a folder, a character device, a socket, a link to nothing,
// and the two that are fine (a link to a file, a file). Calls that could
// block run on a thread of their own with a deadline, so that a reader
// waiting on a pipe fails the test instead of hanging it.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

enum class THostileKind { Pipe, PipeBehindLink, Folder, Device, Socket, DanglingLink, LinkToFile, File };

struct THostileRow {
    THostileKind Kind;
    const char* What;
    // What a read gives (0: it reads), and what a write replacing it gives
    // (0: it is written, through the link for a link).
    int ReadError;
    int WriteError;
};

// The rows, with the error each gives; NotRegular is the code the program
// gives for a pipe, a device or a socket.
inline std::vector<THostileRow> HostileRows(int NotRegular)
{
    return {
        {THostileKind::Pipe, "a named pipe", NotRegular, NotRegular},
        {THostileKind::PipeBehindLink, "a link to a named pipe", NotRegular, NotRegular},
        {THostileKind::Folder, "a folder", EISDIR, EISDIR},
        {THostileKind::Device, "a character device", NotRegular, NotRegular},
        {THostileKind::Socket, "a socket", NotRegular, NotRegular},
        {THostileKind::DanglingLink, "a link to nothing", ENOENT, 0},
        {THostileKind::LinkToFile, "a link to a regular file", 0, 0},
        {THostileKind::File, "a regular file", 0, 0},
    };
}

// What a path holds, compared before and after a refused write: its kind,
// device and inode, a link's target, a file's bytes, a folder's names.
inline std::string Fingerprint(const std::string& Path)
{
    struct stat St {};
    if (::lstat(Path.c_str(), &St) != 0)
        return "(nothing)";
    std::string F = std::to_string(St.st_mode) + ":" + std::to_string(St.st_ino) + ":" + std::to_string(St.st_rdev);
    if (S_ISLNK(St.st_mode))
        F += " -> " + std::filesystem::read_symlink(Path).string() + " = " +
             Fingerprint((std::filesystem::path(Path).parent_path() / std::filesystem::read_symlink(Path)).string());
    else if (S_ISREG(St.st_mode)) {
        std::ifstream In(Path, std::ios::binary);
        F += " [" + std::string(std::istreambuf_iterator<char>(In), {}) + "]";
    } else if (S_ISDIR(St.st_mode)) {
        for (const auto& E : std::filesystem::directory_iterator(Path))
            F += " " + E.path().filename().string();
    }
    return F;
}

// The names in Folder, and what each holds.
inline std::map<std::string, std::string> FolderPrint(const std::string& Folder)
{
    std::map<std::string, std::string> Names;
    for (const auto& E : std::filesystem::directory_iterator(Folder))
        Names[E.path().filename().string()] = Fingerprint(E.path().string());
    return Names;
}

// Makes Name in Folder hold Kind; the old bytes of a file are "old". Pipes
// made are added to Pipes (to be released should a call wait on one).
// The device is a node of our own (the null device's numbers) where the
// test may make one, else a link to /dev/null: a real device is never the
// name a write is asked to replace, so that a writer that failed to refuse
// could not replace it.
inline void MakeHostile(const std::string& Folder, const std::string& Name, THostileKind Kind,
                        std::vector<std::string>& Pipes)
{
    const std::string Path = Folder + "/" + Name;
    const auto Pipe = [&](const std::string& At) {
        ASSERT_EQ(::mkfifo(At.c_str(), 0600), 0) << At;
        Pipes.push_back(At);
    };
    const auto Link = [&](const std::string& To) { std::filesystem::create_symlink(To, Path); };
    switch (Kind) {
    case THostileKind::Pipe:
        Pipe(Path);
        break;
    case THostileKind::PipeBehindLink:
        Pipe(Folder + "/" + Name + "-pipe");
        Link(Name + "-pipe");
        break;
    case THostileKind::Folder:
        std::filesystem::create_directories(Path + "/inside");
        break;
    case THostileKind::Device:
        if (::mknod(Path.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
            Link("/dev/null");
        break;
    case THostileKind::Socket: {
        const int Fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un Address{};
        Address.sun_family = AF_UNIX;
        ASSERT_LT(Path.size(), sizeof Address.sun_path) << Path;
        Path.copy(Address.sun_path, Path.size());
        ASSERT_EQ(::bind(Fd, reinterpret_cast<const sockaddr*>(&Address), sizeof Address), 0) << Path;
        ::close(Fd);
        break;
    }
    case THostileKind::DanglingLink:
        Link(Name + "-nowhere");
        break;
    case THostileKind::LinkToFile:
        std::ofstream(Path + "-file", std::ios::binary) << "old";
        Link(Name + "-file");
        break;
    case THostileKind::File:
        std::ofstream(Path, std::ios::binary) << "old";
        break;
    }
}

// Runs Call on a thread of its own and gives its result; a call still
// running after the deadline (waiting on a pipe) fails the test and is
// released: every pipe of Pipes is opened at both ends and shut again, so
// that a waiting open goes on and then meets the pipe's end (a writer's
// broken pipe is no signal then).
template <class F>
auto WithinDeadline(F&& Call, const std::vector<std::string>& Pipes, const std::string& What)
{
    ::signal(SIGPIPE, SIG_IGN);
    auto Result = std::async(std::launch::async, std::forward<F>(Call));
    if (Result.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        ADD_FAILURE() << What << ": still waiting after 5 s";
        do {
            for (const std::string& P : Pipes) {
                const int Fd = ::open(P.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
                if (Fd >= 0)
                    ::close(Fd);
            }
        } while (Result.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready);
    }
    return Result.get();
}
