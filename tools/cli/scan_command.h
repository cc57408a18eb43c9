// `qbt scan`: the six fields of ROM files, archives' entries and whole folders, keyed by CRC-32.
#pragma once

#include <string>
#include <vector>

#include "tools/cli/command.h"
#include "tools/cli/options.h"
#include "tools/disk/disk.h"

struct ScanOptions {
    ListOptions list;
    bool json = false;
    unsigned jobs = 0;  // 0: one per core
    bool verify = false;
    std::vector<std::string> paths;
};

Report RunScan(const Plugin& plugin, const ScanOptions& options, Disk& disk);

// The one-line help: what this build reads.
std::string ScanHelp();
Runner DefineScan(CLI::App& command);
