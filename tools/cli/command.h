// A command of qbt, as main's table lists it.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>

#include "tools/cli/report.h"
#include "tools/host/plugin.h"

// Loads the plug-in --plugin names, once asked: a command that needs none never is.
using PluginLoader = std::function<Plugin()>;

// Runs a parsed command.
using Runner = std::function<Report(const PluginLoader& loadPlugin)>;

struct Command {
    std::string name;
    std::string help;  // one line
    // Declares the command's options on `command`, bound to an options struct of its own, and
    // returns what runs it once the command line is parsed.
    Runner (*define)(CLI::App& command);
};
