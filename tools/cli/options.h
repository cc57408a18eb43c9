// Options that several commands share, and what they lead to.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <string>

#include "tools/host/list_encoding.h"

struct ListOptions {
    std::string list;          // as typed, in the terminal's codeset; empty: the sample list
    std::string listEncoding;  // empty: as the list declares
};

// --list, --list-encoding and --json, which every command that looks ROMs up takes.
void AddListOptions(CLI::App& command, ListOptions& list, bool& json);

// --key-type, for the commands that look keys up.
void AddKeyTypeOption(CLI::App& command, int32_t& keyType);

struct GameList {
    std::string text;  // as the plug-in is handed it
    ValueEncoding encoding;
};

// The list the options name, read whole, and the encoding of the plug-in's answers from it.
GameList LoadGameList(const ListOptions& options);

// The plug-in --plugin names: a path as typed, or empty for the default found from the
// executable, which is kept as the system gives it rather than passed through the terminal's
// codeset, which may lack characters of the folder qbt sits in.
std::filesystem::path PluginPath(const std::string& typed);
