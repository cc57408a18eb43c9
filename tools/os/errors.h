// Exit codes of qbt, and the error that carries one up to main.
#pragma once

#include <stdexcept>
#include <string>

enum ExitCode : int {
    kExitEveryRomFound = 0,
    kExitSomeRomNotFound = 1,  // the lookups ran; at least one key is not in the list
    kExitBadUsage = 2,         // the command line could not be understood
    kExitUnreadableFile = 3,   // the game list, or a file or folder given to scan, cannot be read
    kExitUnusablePlugin = 4,   // the plug-in cannot be loaded or lacks one of the nine exports
    kExitUnexpected = 5,       // anything else, such as running out of memory
    kExitRenameFailed = 6,     // a rename, or the journal that precedes it, was refused
};

struct ToolError : std::runtime_error {
    ToolError(ExitCode code, const std::string& message)
        : std::runtime_error(message), exitCode(code) {}
    ExitCode exitCode;
};
