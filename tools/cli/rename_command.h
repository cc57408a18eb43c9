// `qbt rename`: name ROM files after their games in the list; a dry run unless --apply.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/cli/command.h"
#include "tools/cli/options.h"
#include "tools/disk/disk.h"

struct RenameOptions {
    ListOptions list;
    int32_t keyType = 0;
    bool json = false;
    std::string pattern;
    bool apply = false;
    std::string journalToWrite;  // empty: a new one in the current folder
    unsigned jobs = 0;           // 0: one per core
    bool noCompanions = false;   // saves and patches stay where they are
    bool verify = false;         // damaged archives found and left alone
    std::vector<std::string> paths;
};

Report RunRename(const Plugin& plugin, const RenameOptions& options, Disk& disk);
Runner DefineRename(CLI::App& command);
