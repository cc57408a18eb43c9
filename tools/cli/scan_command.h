// `qbt scan`: ROM files and folders keyed by CRC-32, and zip archives where the build reads
// them (tools/zip_reading.h).
#pragma once

#include <optional>

#include "tools/command_line.h"

// Adds the subcommand to `app`, its arguments going to `options`.
std::optional<Subcommand> AddScanCommand(CLI::App& app, Options& options);
