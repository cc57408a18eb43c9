// Options that several commands share, and what they lead to.
#pragma once

#include <CLI/CLI.hpp>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "tools/lists/game_list.h"

struct ListOptions {
    std::string list;          // as typed, in the terminal's codeset; empty: the sample list
    std::string listEncoding;  // empty: as the list declares
};

// --list, --list-encoding and --json, which every command that looks ROMs up takes. A command
// that renames needs --list: the sample list names no one's collection.
enum class ListRequired { kNo, kYes };
void AddListOptions(CLI::App& command, ListOptions& list, bool& json,
                    ListRequired required = ListRequired::kNo);

// -j/--jobs, for the commands that read many files.
void AddJobsOption(CLI::App& command, unsigned& jobs);

// --verify, for the commands that read archives: zip entries are decompressed and checked
// against the CRC-32 their directory records (the other formats always are).
void AddVerifyOption(CLI::App& command, bool& verify);

// What scan, rename and audit read, as their help names it.
inline constexpr const char* kCollectionPaths =
    "ROM files, archives (zip, 7z, RAR, gzip) and folders";

// --key-type, for the commands that look keys up.
void AddKeyTypeOption(CLI::App& command, int32_t& keyType);

// What a command may do with values whose encoding is in doubt (ValueEncoding::doubt): show
// them with a warning, or refuse before changing anything.
enum class InDoubt { kWarn, kRefuse };

// The list the options name: --list, else the sample list.
std::filesystem::path GameListPath(const ListOptions& options);

// The list the options name (the sample list when none is named, said on standard error), read
// whole and indexed, and the encoding of the plug-in's answers from it; what reading it found
// worth a warning is said on standard error. Throws ToolError when it cannot be read, or
// (kExitWrongUsage) when the encoding is in doubt and `inDoubt` is kRefuse. On the heap, since a
// GameList does not move.
std::unique_ptr<const GameList> OpenGameList(const ListOptions& options,
                                             InDoubt inDoubt = InDoubt::kWarn);

// The plug-in --plugin names: a path as typed, or empty for the default found from the
// executable, which is kept as the system gives it rather than passed through the terminal's
// codeset, which may lack characters of the folder qbt sits in.
std::filesystem::path PluginPath(const std::string& typed);
