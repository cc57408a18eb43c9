#include <windows.h>

#include <atomic>
#include <cstdio>
#include <iostream>

#include "tools/system/interruption.h"

namespace {

// What cmd.exe and PowerShell report for a program ended by Ctrl-C.
constexpr UINT kControlCExit = 0xC000013A;

std::atomic<bool> caught{false};
HANDLE finished = nullptr;  // set once the summary is out

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI Catch(DWORD event) {
    switch (event) {
        case CTRL_C_EVENT:
        case CTRL_BREAK_EVENT:
            // A second one: not handled here, so the default handler ends the process.
            return caught.exchange(true) ? FALSE : TRUE;
        case CTRL_CLOSE_EVENT:
            // The system ends the process as soon as this returns, and after about 5 seconds in
            // any case: wait for the step under way and the summary, within that time.
            caught.store(true);
            WaitForSingleObject(finished, 4500);
            return TRUE;
        default: return FALSE;
    }
}

}  // namespace

void CatchInterruptions() {
    finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A process started with Ctrl-C ignored (CREATE_NEW_PROCESS_GROUP, or a parent's
    // SetConsoleCtrlHandler(NULL, TRUE)) keeps ignoring it: the system then calls no handler.
    SetConsoleCtrlHandler(Catch, TRUE);
}

bool Interrupted() { return caught.load(); }

void EndAsInterrupted() {
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    if (finished != nullptr) SetEvent(finished);
    ExitProcess(kControlCExit);
}
