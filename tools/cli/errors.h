// How qbt ends and how it complains: the one table of exit codes, what each kind of failure
// means for it, and the one place that prints "qbt:" on standard error. Only cli/ and main
// decide either; the rooms below return a Failure (base/result.h).
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "tools/base/result.h"

// qbt's one table of exit codes, the same for every command: a script tells "could not start"
// (3) from "done, but not everything" (1) from "interrupted" (the signal's own status).
enum ExitCode : int {
    kExitDone = 0,
    kExitNotEverything = 1,     // done, but a key not in the list, a file unreadable, damaged, skipped
    kExitWrongUsage = 2,        // the command line could not be understood, or cannot be acted on
    kExitCannotStart = 3,       // nothing done: a list, path or journal unreadable
    kExitPluginUnusable = 4,    // the plug-in cannot be loaded or lacks one of the nine exports
    kExitUnexpected = 5,        // anything else, such as running out of memory
    kExitChangeRefused = 6,     // a rename, or the journal that precedes it, was refused
    kExitOutputNotWritten = 7,  // the run is reported, but a file it was to write is not there
};

// The table above in words, for --help and the man page made from it.
inline constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  done: every key or ROM is in the list (rename: every ROM renamed or already\n"
    "     right; undo: every name is back; audit: every game of the list is there once,\n"
    "     and every file is a game of the list)\n"
    "  1  done, but not everything: a key or ROM is not in the list, or a file was\n"
    "     unreadable, damaged or skipped (rename: or in conflict; undo: an entry was\n"
    "     skipped; audit: or a game of the list is missing, or there more than once)\n"
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

// What a failure that stops the run means for the exit code.
ExitCode ExitCodeOf(FailureKind kind);

// A run that cannot go on: thrown up to main, which says why and exits with `exitCode`.
// Whatever concerns one file only is not an error but an outcome in the command's report.
struct ToolError : std::runtime_error {
    ToolError(ExitCode code, const std::string& message)
        : std::runtime_error(message), exitCode(code) {}
    explicit ToolError(const Failure& failure)
        : ToolError(ExitCodeOf(failure.kind), failure.message) {}
    ExitCode exitCode;
};

// The value, or the run stops with the failure's exit code and message: for a command, where a
// failure ends everything.
template <typename T>
T ValueOrStop(Result<T> result) {
    if (!result.Ok()) throw ToolError(result.Why());
    return std::move(*result);
}

// "qbt: <message>" on standard error.
void Say(std::string_view message);

// "qbt: warning: <message>" on standard error.
void Warn(std::string_view message);
