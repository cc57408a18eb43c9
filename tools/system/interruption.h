// Ctrl-C and SIGTERM during a run. A rename or undo stopped between two steps leaves the journal
// and the names in agreement, so an interruption is only noted here and looked at between steps;
// the command then stops, says what it did and how to take it back, and ends as the signal would
// have ended it.
#pragma once

// From here on SIGINT and SIGTERM (in qbt.exe: Ctrl-C, Ctrl-Break and closing the console) only
// set a flag. A signal the parent process ignores stays ignored, as nohup and background jobs
// expect. A second one ends the process at once: the journal covers that as it covers SIGKILL.
void CatchInterruptions();

// Whether an interruption came; any thread may ask.
bool Interrupted();

// Ends the process as the interruption would have: the signal raised again with its default
// action, so that the shell sees 130 or 143; in qbt.exe the exit code of a Ctrl-C. Output
// buffered in stdio and iostreams is written first.
[[noreturn]] void EndAsInterrupted();
