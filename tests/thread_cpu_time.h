// The processor time the calling thread has used so far. A bound on what a
// step costs is put in it rather than in wall-clock time: a loop that walks
// too far costs the same however busy the machine is, while the time that
// passes grows with everything else the machine runs.
#pragma once

#include <chrono>
#include <ctime>

inline std::chrono::nanoseconds ThreadCpuTime()
{
    timespec T{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &T);
    return std::chrono::seconds(T.tv_sec) + std::chrono::nanoseconds(T.tv_nsec);
}
