#pragma once

#include <cstdio>
#include <ctime>

// A window program tells the bench runner when its window is on screen by printing this line with
// the system-wide monotonic clock; the runner read the same clock just before it started the process.
namespace ShownStamp {

inline constexpr const char *Prefix = "ordovant-bench-shown ";

inline long long monotonicNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000000000LL + now.tv_nsec;
}

inline void print()
{
    std::printf("%s%lld\n", Prefix, monotonicNanoseconds());
    std::fflush(stdout);
}

} // namespace ShownStamp
