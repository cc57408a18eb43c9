// A command of qbt, as main's table lists it.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "tools/cli/report.h"
#include "tools/host/plugin.h"

// Runs a parsed command with the plug-in loaded (or a Plugin of nulls, for a command that does
// without one).
using Runner = std::function<Report(const Plugin&)>;

struct Command {
    std::string name;
    std::string help;  // one line
    // Declares the command's options on `command`, bound to an options struct of its own, and
    // returns what runs it once the command line is parsed.
    Runner (*define)(CLI::App& command);
    bool needsPlugin = true;
};
