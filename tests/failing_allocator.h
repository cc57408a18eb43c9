// The test program's own allocator: operator new in all its forms and the C allocation functions
// (malloc, calloc, realloc, free), which glibc also uses inside iconv_open. Outside a watch it
// only passes everything on to glibc. During a watch it counts allocation attempts, fails the one
// chosen, and keeps every block handed out, so that the watch can tell which were never freed.
//
//     StartWatching(3);                // the fourth allocation from now fails
//     const int32_t result = GetTitle(...);
//     const WatchReport report = StopWatching();
//     // report.failed, report.attempts, report.leaked
//
// Not for sanitizer builds, whose runtimes replace the same functions.
#pragma once

#include <cstddef>

inline constexpr std::size_t kFailNone = static_cast<std::size_t>(-1);

struct WatchReport {
    std::size_t attempts;  // allocations asked for during the watch, the failed one included
    bool failed;           // whether the chosen one was reached (and failed)
    std::size_t leaked;    // blocks allocated during the watch and not freed by its end
};

void StartWatching(std::size_t failAt);
WatchReport StopWatching();
