// `qbt undo`: put back the names a `rename --apply` changed, as its journals record them.
#pragma once

#include <string>
#include <vector>

#include "tools/cli/command.h"
#include "tools/disk/disk.h"

struct UndoOptions {
    std::vector<std::string> journals;  // undone last named first
    bool dryRun = false;
    bool json = false;
};

Report RunUndo(const UndoOptions& options, Disk& disk);
Runner DefineUndo(CLI::App& command);
