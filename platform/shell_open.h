// Starting other programs: a detached program from an argument vector (never
// through a shell), and opening a document or address with the desktop's
// handler. Tests install a spawn handler that records instead of starting.
#pragma once

#include <functional>
#include <string>
#include <vector>

constexpr int SW_SHOWNORMAL = 1;

// Receives the argument vector (program first); true when it started.
using TSpawnHandler = std::function<bool(const std::vector<std::string>& Argv)>;

// Installs Handler (an empty one restores the real spawner) and returns the
// one it replaces.
TSpawnHandler SetSpawnHandler(TSpawnHandler Handler);

// Starts Argv[0] (looked up in PATH) with the arguments Argv without waiting
// for it; the child is reaped in the background. False when Argv is empty or
// the program cannot be started.
bool SpawnDetached(const std::vector<std::string>& Argv);

// Hears how a watched program ended: its exit status, or -1 when a signal
// ended it. Called on the reaper's thread.
using TExitHandler = std::function<void(int ExitStatus)>;

// As SpawnDetached; OnExit hears how the program ended. With a spawn handler
// installed, the handler says whether it started and OnExit is not called.
bool SpawnWatched(const std::vector<std::string>& Argv, TExitHandler OnExit);

// Opens Target (a file or URL) with "xdg-open"; false when it cannot be run.
bool ShellExecuteOpen(const std::string& Target);

// Splits a registered command line into program and arguments: blanks
// separate, double quotes group (and are removed); no other escapes.
std::vector<std::string> SplitCommandLine(const std::string& CommandLine);
