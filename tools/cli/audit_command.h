// `qbt audit`: which games of the list a collection has, which it lacks, which files hold no game
// of the list and which games it holds more than once; the missing games as a list of their own.
#pragma once

#include <string>
#include <vector>

#include "tools/cli/command.h"
#include "tools/cli/options.h"
#include "tools/disk/disk.h"

struct AuditOptions {
    ListOptions list;
    bool json = false;
    bool csv = false;
    std::string missingList;  // as typed; empty: none written
    bool replace = false;     // --replace: an earlier missing list or other game list may go
    unsigned jobs = 0;        // 0: one per core
    bool verify = false;      // decompress every zip entry and check its CRC-32
    std::vector<std::string> paths;
};

Report RunAudit(const Plugin& plugin, const AuditOptions& options, Disk& disk);
Runner DefineAudit(CLI::App& command);
