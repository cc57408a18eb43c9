// `qbt rename` and `qbt undo`, where the build reads ROM files (rename_command.cpp); the Windows
// build, which cannot read them yet, takes rename_command_absent.cpp and has neither.
#pragma once

#include <vector>

#include "tools/command_line.h"

// Adds both subcommands to `app`, their arguments going to `options`.
std::vector<Subcommand> AddRenameCommands(CLI::App& app, Options& options);
