// `qbt info`: the plug-in's identity; `qbt lookup`: the six fields of checksums given by hand.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli/command.h"
#include "tools/cli/options.h"

Report RunInfo(const Plugin& plugin);
// `qbt --version`: qbt's own version, then the plug-in's, which a plug-in that cannot be loaded
// leaves out with the reason.
Report RunVersion(std::string_view toolVersion, const PluginLoader& loadPlugin);
Runner DefineInfo(CLI::App& command);

struct LookupOptions {
    ListOptions list;
    int32_t keyType = 0;
    bool json = false;
    std::vector<std::string> keys;
};

Report RunLookup(const Plugin& plugin, const LookupOptions& options);
Runner DefineLookup(CLI::App& command);
