// `qbt rename` (rename_command.cpp) and `qbt undo` (undo_command.cpp).
#pragma once

#include <vector>

#include "tools/command_line.h"

// Adds both subcommands to `app`, their arguments going to `options`.
std::vector<Subcommand> AddRenameCommands(CLI::App& app, Options& options);

// Puts back every name the journal `options.journal` records, last rename first; the exit code.
int RunUndo(const Options& options);
