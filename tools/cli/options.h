// Options that several commands share, and what they lead to.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/host/game_list.h"

struct ListOptions {
    std::string list;          // as typed, in the terminal's codeset; empty: the sample list
    std::string listEncoding;  // empty: as the list declares
};

// --list, --list-encoding and --json, which every command that looks ROMs up takes.
void AddListOptions(CLI::App& command, ListOptions& list, bool& json);

// -j/--jobs, for the commands that read many files.
void AddJobsOption(CLI::App& command, unsigned& jobs);

// --key-type, for the commands that look keys up.
void AddKeyTypeOption(CLI::App& command, int32_t& keyType);

// The list the options name: --list, else the sample list.
std::filesystem::path GameListPath(const ListOptions& options);

// The list the options name, read whole and indexed, and the encoding of the plug-in's answers
// from it.
GameList LoadGameList(const ListOptions& options);

// The plug-in --plugin names: a path as typed, or empty for the default found from the
// executable, which is kept as the system gives it rather than passed through the terminal's
// codeset, which may lack characters of the folder qbt sits in.
std::filesystem::path PluginPath(const std::string& typed);
