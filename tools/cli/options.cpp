#include "tools/cli/options.h"

#include "tools/host/game_list.h"
#include "tools/host/plugin.h"
#include "tools/os/platform.h"

void AddListOptions(CLI::App& command, ListOptions& list, bool& json) {
    command.add_option("--list", list.list, "the game list to search")
        ->type_name("FILE")
        ->default_str(PathToTerminal(DefaultGameListPath()));
    command
        .add_option("--list-encoding", list.listEncoding,
                    "the list's encoding, where its XML declaration is wrong or missing")
        ->type_name("NAME")
        ->check(
            [](const std::string& name) {
                return IsKnownListEncoding(name) ? std::string()
                                                 : "unknown list encoding \"" + name + "\"";
            },
            "");
    command.footer(ListEncodingHelp() + "\n\n" + command.get_footer());
    command.add_flag("--json", json, "JSON on standard output, for scripts");
}

void AddKeyTypeOption(CLI::App& command, int32_t& keyType) {
    command
        .add_option("--key-type", keyType,
                    "0 or 32 pad a key with zeros to 8 digits, 1 to 4, others leave it")
        ->type_name("N")
        ->capture_default_str();
}

GameList LoadGameList(const ListOptions& options) {
    const std::filesystem::path path =
        options.list.empty() ? DefaultGameListPath() : PathFromTerminal(options.list);
    GameList list{ReadGameList(path), {}};
    list.encoding = ValueEncodingOf(list.text, options.listEncoding);
    return list;
}

std::filesystem::path PluginPath(const std::string& typed) {
    return typed.empty() ? DefaultPluginPath() : PathFromTerminal(typed);
}
