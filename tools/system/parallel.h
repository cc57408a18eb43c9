// Many independent pieces of work (a file's checksum and lookups, say) on a few threads, with a
// progress bar: what rename, scan and audit do with a collection.
//
//     ForEachOnThreads(files.size(), JobsOrCores(options.jobs), "reading",
//                      [&](std::size_t index) { results[index] = Examine(files[index]); });
#pragma once

#include <cstddef>
#include <functional>
#include <string>

// `jobs`, or one a core when it is 0.
unsigned JobsOrCores(unsigned jobs);

// Calls `work(index)` once for every index below `count`, on `jobs` threads (the calling one
// among them), in no set order, with a progress bar labelled `label`. An exception that `work`
// lets out is thrown again here once every thread has stopped; the pieces not yet begun then
// are not begun.
void ForEachOnThreads(std::size_t count, unsigned jobs, const std::string& label,
                      const std::function<void(std::size_t)>& work);
