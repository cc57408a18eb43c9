// How qbt ends and how it complains: the one table of exit codes, the error that stops a run,
// and the one place that prints "qbt:" on standard error.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

enum ExitCode : int {
    kExitEveryRomFound = 0,
    kExitSomeRomNotFound = 1,  // the lookups ran; at least one key is not in the list
    kExitBadUsage = 2,         // the command line could not be understood
    kExitUnreadableFile = 3,   // the game list, or a file or folder given to scan, cannot be read
    kExitUnusablePlugin = 4,   // the plug-in cannot be loaded or lacks one of the nine exports
    kExitUnexpected = 5,       // anything else, such as running out of memory
    kExitRenameFailed = 6,     // a rename, or the journal that precedes it, was refused
};

// The table above in words, for --help and the man page made from it.
inline constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  every key or ROM is in the list (info: the plug-in answered; rename: every ROM\n"
    "     renamed or already right; undo: every name is back)\n"
    "  1  at least one key or ROM is not in the list (rename: or was skipped or in\n"
    "     conflict; undo: an entry was skipped)\n"
    "  2  the command line is wrong\n"
    "  3  the game list, a file or folder given to scan or rename, or the journal cannot\n"
    "     be read\n"
    "  4  the plug-in cannot be loaded or lacks one of its nine exports\n"
    "  5  any other failure\n"
    "  6  rename, undo: the system refused a rename, or the journal could not be written;\n"
    "     no file was lost\n";

// A run that cannot go on: thrown up to main, which says why and exits with `exitCode`.
// Whatever concerns one file only is not an error but an outcome in the command's report.
struct ToolError : std::runtime_error {
    ToolError(ExitCode code, const std::string& message)
        : std::runtime_error(message), exitCode(code) {}
    ExitCode exitCode;
};

// "qbt: <message>" on standard error.
void Say(std::string_view message);

// "qbt: warning: <message>" on standard error.
void Warn(std::string_view message);
