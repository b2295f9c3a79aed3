#include "platform/shell_open.h"

#include <cerrno>
#include <mutex>
#include <thread>

#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

extern char** environ;

namespace {

std::mutex HandlerLock;
TSpawnHandler CurrentHandler;

int WaitForExit(pid_t Pid)
{
    int Status = 0;
    while (waitpid(Pid, &Status, 0) < 0)
        if (errno != EINTR)
            return -1;
    return WIFEXITED(Status) ? WEXITSTATUS(Status) : -1;
}

bool PosixSpawnDetached(const std::vector<std::string>& Argv, TExitHandler OnExit)
{
    std::vector<char*> Args;
    Args.reserve(Argv.size() + 1);
    for (const std::string& A : Argv)
        Args.push_back(const_cast<char*>(A.c_str()));
    Args.push_back(nullptr);

    // The child starts a session of its own, so that the terminal's signals
    // to this program do not reach it.
    posix_spawnattr_t Attr;
    if (posix_spawnattr_init(&Attr) != 0)
        return false;
    posix_spawnattr_setflags(&Attr, POSIX_SPAWN_SETSID);
    pid_t Pid = 0;
    int Rc = posix_spawnp(&Pid, Args[0], nullptr, &Attr, Args.data(), environ);
    posix_spawnattr_destroy(&Attr);
    if (Rc != 0)
        return false;
    const auto Reap = [Pid, OnExit = std::move(OnExit)] {
        const int Status = WaitForExit(Pid);
        if (OnExit)
            OnExit(Status);
    };
    try {
        std::thread(Reap).detach();
    } catch (...) {
        // No thread for the reaper: wait here rather than leave a zombie.
        Reap();
    }
    return true;
}

} // namespace

TSpawnHandler SetSpawnHandler(TSpawnHandler Handler)
{
    std::lock_guard<std::mutex> G(HandlerLock);
    TSpawnHandler Previous = std::move(CurrentHandler);
    CurrentHandler = std::move(Handler);
    return Previous;
}

bool SpawnWatched(const std::vector<std::string>& Argv, TExitHandler OnExit)
{
    if (Argv.empty() || Argv[0].empty())
        return false;
    TSpawnHandler Handler;
    {
        std::lock_guard<std::mutex> G(HandlerLock);
        Handler = CurrentHandler;
    }
    return Handler ? Handler(Argv) : PosixSpawnDetached(Argv, std::move(OnExit));
}

bool SpawnDetached(const std::vector<std::string>& Argv)
{
    return SpawnWatched(Argv, nullptr);
}

bool ShellExecuteOpen(const std::string& Target)
{
    if (Target.empty())
        return false;
    return SpawnDetached({"xdg-open", Target});
}

std::vector<std::string> SplitCommandLine(const std::string& CommandLine)
{
    std::vector<std::string> Result;
    std::string Current;
    bool InArg = false, InQuotes = false;
    for (char C : CommandLine) {
        if (C == '"') {
            InQuotes = !InQuotes;
            InArg = true; // "" is an empty argument
        } else if (!InQuotes && (C == ' ' || C == '\t' || C == '\n' || C == '\r')) {
            if (InArg)
                Result.push_back(std::move(Current));
            Current.clear();
            InArg = false;
        } else {
            Current += C;
            InArg = true;
        }
    }
    if (InArg)
        Result.push_back(std::move(Current));
    return Result;
}
