#include "tools/cli/options.h"

#include "tools/cli/errors.h"
#include "tools/host/plugin.h"
#include "tools/system/terminal.h"

void AddListOptions(CLI::App& command, ListOptions& list, bool& json, ListRequired required) {
    CLI::Option* option =
        command.add_option("--list", list.list, "the game list to search")->type_name("FILE");
    if (required == ListRequired::kYes) {
        option->required();
    } else {
        option->description("the game list to search (by default a sample of 41 invented games)")
            ->default_str(PathToTerminal(DefaultGameListPath()));
    }
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

void AddJobsOption(CLI::App& command, unsigned& jobs) {
    command.add_option("-j,--jobs", jobs, "threads for checksums and lookups")
        ->type_name("N")
        ->default_str("one per core");
}

void AddVerifyOption(CLI::App& command, bool& verify) {
    command.add_flag("--verify", verify,
                     "decompress every zip and 7z entry and compare it with the CRC-32 the "
                     "archive records (RAR and gzip are always checked): a mismatch is damaged, "
                     "never renamed or counted present, and the exit status is 1");
}

void AddKeyTypeOption(CLI::App& command, int32_t& keyType) {
    command
        .add_option("--key-type", keyType,
                    "0 or 32 pad a key with zeros to 8 digits, 1 to 4, others leave it")
        ->type_name("N")
        ->capture_default_str();
}

std::filesystem::path GameListPath(const ListOptions& options) {
    return options.list.empty() ? DefaultGameListPath() : PathFromTerminal(options.list);
}

std::unique_ptr<const GameList> OpenGameList(const ListOptions& options, InDoubt inDoubt) {
    const std::filesystem::path path = GameListPath(options);
    if (options.list.empty())
        Say("the sample list " + PathToTerminal(path) + " (--list names yours)");
    std::unique_ptr<const GameList> list = ValueOrStop(LoadGameList(path, options.listEncoding));
    for (const std::string& warning : list->warnings) Warn(warning);
    const std::string& doubt = list->encoding.doubt;
    if (!doubt.empty() && inDoubt == InDoubt::kRefuse) {
        throw ToolError(kExitWrongUsage, doubt +
                                             "; nothing is renamed until --list-encoding "
                                             "names it (" +
                                             kKnownListEncodings + ")");
    }
    if (!doubt.empty()) {
        Warn(doubt +
             "; its values are shown so, perhaps wrongly, and rename --apply refuses "
             "until --list-encoding names the encoding");
    }
    return list;
}

std::filesystem::path PluginPath(const std::string& typed) {
    return typed.empty() ? DefaultPluginPath() : PathFromTerminal(typed);
}
