#include "tools/system/parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/system/progress_bar.h"

unsigned JobsOrCores(unsigned jobs) {
    return jobs > 0 ? jobs : std::max(1u, std::thread::hardware_concurrency());
}

void ForEachOnThreads(std::size_t count, unsigned jobs, const std::string& label,
                      const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::exception_ptr failure;
    std::mutex failing;
    ProgressBar progress(label, count);
    const auto worker = [&] {
        for (std::size_t index; (index = next++) < count;) {
            try {
                work(index);
            } catch (...) {
                const std::lock_guard<std::mutex> lock(failing);
                if (!failure) failure = std::current_exception();
                next = count;
            }
            progress.Show(++done);
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned helper = 1; helper < jobs && helper < count; ++helper) {
        helpers.emplace_back(worker);
    }
    worker();
    for (std::thread& helper : helpers) helper.join();
    if (failure) std::rethrow_exception(failure);
}
