// `qbt undo`: put back the names a `rename --apply` changed, as its journal records them.
#pragma once

#include <string>

#include "tools/cli/command.h"

struct UndoOptions {
    std::string journalToRead;
};

Report RunUndo(const UndoOptions& options);
Runner DefineUndo(CLI::App& command);
