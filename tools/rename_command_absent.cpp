#include "tools/rename_command.h"

std::vector<Subcommand> AddRenameCommands(CLI::App&, Options&) { return {}; }
