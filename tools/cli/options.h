// What main shares with the subcommands defined in files of their own: the settings read from
// the command line, and how a parsed subcommand is run.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "tools/file_reading.h"
#include "tools/list_encoding.h"
#include "tools/plugin_loader.h"
#include "tools/tool_platform.h"

struct Options {
    std::string plugin;  // paths as typed, in the terminal's codeset; empty for the default
    std::string list;
    std::string listEncoding;  // empty: as the list declares
    int32_t keyType = 0;
    bool json = false;
    std::vector<std::string> keys;
    std::vector<std::string> paths;
    std::string pattern;  // rename
    bool apply = false;
    std::string journal;
    unsigned jobs = 0;  // 0: one per core
};

// The paths given, or the defaults found from the executable. A default is kept as the system
// gives it, not passed through the terminal's codeset, which may lack characters of the folder
// the tool sits in.
inline std::filesystem::path PluginPath(const Options& options) {
    return options.plugin.empty() ? DefaultPluginPath() : PathFromTerminal(options.plugin);
}
inline std::filesystem::path GameListPath(const Options& options) {
    return options.list.empty() ? DefaultGameListPath() : PathFromTerminal(options.list);
}

// Runs once the command line is parsed and, unless the subcommand does without it, the plug-in
// loaded; returns the exit code.
struct Subcommand {
    CLI::App* command;
    std::function<int(const Plugin&)> run;
    bool needsPlugin = true;
};

// --key-type, for the subcommands that look keys up.
inline void AddKeyTypeOption(CLI::App& command, Options& options) {
    command
        .add_option("--key-type", options.keyType,
                    "0 or 32 pad a key with zeros to 8 digits, 1 to 4, others leave it")
        ->type_name("N")
        ->capture_default_str();
}

// --list, --list-encoding and --json, which every subcommand that looks ROMs up takes.
inline void AddListOptions(CLI::App& command, Options& options) {
    command.add_option("--list", options.list, "the game list to search")
        ->type_name("FILE")
        ->default_str(PathToTerminal(DefaultGameListPath()));
    command
        .add_option("--list-encoding", options.listEncoding,
                    "the list's encoding, where its XML declaration is wrong or missing")
        ->type_name("NAME")
        ->check(
            [](const std::string& name) {
                return IsKnownListEncoding(name) ? std::string()
                                                 : "unknown list encoding \"" + name + "\"";
            },
            "");
    command.footer(ListEncodingHelp() + "\n\n" + command.get_footer());
    command.add_flag("--json", options.json, "JSON on standard output, for scripts");
}

inline void PrintJson(const nlohmann::ordered_json& json) {
    // File names need not be UTF-8; a byte that is not becomes U+FFFD rather than an error.
    std::cout << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}
