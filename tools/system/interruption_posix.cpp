#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>

#include "tools/system/interruption.h"

namespace {

// The signal caught, or 0. A lock-free atomic is safe to store from a handler.
std::atomic<int> caught{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void Catch(int signal) { caught.store(signal); }

}  // namespace

void CatchInterruptions() {
    for (const int signal : {SIGINT, SIGTERM}) {
        struct sigaction inherited {};
        if (sigaction(signal, nullptr, &inherited) != 0 || inherited.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = Catch;
        sigemptyset(&action.sa_mask);
        // SA_RESTART: a read or write under way goes on rather than failing with EINTR.
        // SA_RESETHAND: the second signal has the default action and ends the process.
        action.sa_flags = SA_RESTART | SA_RESETHAND;
        sigaction(signal, &action, nullptr);
    }
}

bool Interrupted() { return caught.load() != 0; }

void EndAsInterrupted() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    const int signal = caught.load() != 0 ? caught.load() : SIGINT;
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t unblocked;
    sigemptyset(&unblocked);
    sigaddset(&unblocked, signal);
    sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
    raise(signal);
    _exit(128 + signal);  // not reached: the default action of both signals ends the process
}
