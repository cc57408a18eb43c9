// Forwards to cli/errors.h, where the exit codes and ToolError now live, for the code that still
// throws ToolError from below cli/ (the journal, the collection's walk) until it returns a
// Failure (os/result.h) instead; the old names of the exit codes go with it.
#pragma once

#include "tools/cli/errors.h"

inline constexpr ExitCode kExitEveryRomFound = kExitDone;
inline constexpr ExitCode kExitSomeRomNotFound = kExitNotEverything;
inline constexpr ExitCode kExitBadUsage = kExitWrongUsage;
inline constexpr ExitCode kExitUnreadableFile = kExitCannotStart;
inline constexpr ExitCode kExitUnusablePlugin = kExitPluginUnusable;
inline constexpr ExitCode kExitRenameFailed = kExitChangeRefused;
inline constexpr ExitCode kExitListNotWritten = kExitOutputNotWritten;
