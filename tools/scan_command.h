// `qbt scan`, where the build has zlib and libzip: scan_command.cpp. The Windows build has
// neither and takes scan_command_absent.cpp, which leaves the subcommand out and says so in the
// help.
#pragma once

#include <optional>

#include "tools/command_line.h"

// Adds the subcommand to `app`, its arguments going to `options`; nothing where it is not built.
std::optional<Subcommand> AddScanCommand(CLI::App& app, Options& options);
