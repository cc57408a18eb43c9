// How qbt ends and how it complains: the one table of exit codes, the error that stops a run,
// and the one place that prints "qbt:" on standard error.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

// qbt's one table of exit codes: a script tells "could not start" (3) from "finished, but not
// everything" (1) from "interrupted" (the signal's own status).
enum ExitCode : int {
    kExitEveryRomFound = 0,
    kExitSomeRomNotFound = 1,  // finished; a key not in the list, a file unreadable or skipped
    kExitBadUsage = 2,         // the command line could not be understood, or cannot be acted on
    kExitUnreadableFile = 3,   // could not start, nothing done: a list, path or journal unreadable
    kExitUnusablePlugin = 4,   // the plug-in cannot be loaded or lacks one of the nine exports
    kExitUnexpected = 5,       // anything else, such as running out of memory
    kExitRenameFailed = 6,     // a rename, or the journal that precedes it, was refused
    kExitListNotWritten = 7,   // audit could not write the missing list
};

// The table above in words, for --help and the man page made from it.
inline constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  done: every key or ROM is in the list (rename: every ROM renamed or already\n"
    "     right; undo: every name is back; audit: every game of the list is there once,\n"
    "     and every file is a game of the list)\n"
    "  1  done, but not everything: a key or ROM is not in the list, or a file was\n"
    "     unreadable or skipped (rename: or in conflict; undo: an entry was skipped;\n"
    "     audit: or a game of the list is missing, or there more than once)\n"
    "  2  the command line is wrong (rename: also a pattern that cannot tell ROMs apart,\n"
    "     or --apply on a list whose encoding --list-encoding must name; audit: also a\n"
    "     --missing-list that would replace a file)\n"
    "  3  could not start, and nothing was done: the game list, a path named on the\n"
    "     command line, or a journal cannot be read, or is no journal (or no game list:\n"
    "     no game in it)\n"
    "  4  the plug-in cannot be loaded or lacks one of its nine exports\n"
    "  5  any other failure\n"
    "  6  rename, undo: the system refused a rename, or the journal could not be written;\n"
    "     no file was lost\n"
    "  7  audit: the missing list could not be written (the audit is printed all the same)\n"
    "  130, 143  rename, undo: stopped by Ctrl-C (SIGINT) or SIGTERM once the step under\n"
    "     way was done, after a summary and the undo command to run (qbt.exe: 0xC000013A)\n";

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
