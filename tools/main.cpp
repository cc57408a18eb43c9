// qbt: the plug-in's main job from a shell, called the way a host calls it. This file holds the
// table of commands and dispatches; each command lives in cli/.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <clocale>
#include <exception>

#include "tools/cli/audit_command.h"
#include "tools/cli/lookup_command.h"
#include "tools/cli/rename_command.h"
#include "tools/cli/scan_command.h"
#include "tools/cli/undo_command.h"
#include "tools/system/interruption.h"
#include "tools/system/terminal.h"

namespace {

std::vector<Command> Commands() {
    return {
        {"info", "the plug-in's version, author and description", DefineInfo},
        {"lookup",
         "the six fields of each key: publisher, title, save type, media, region, release",
         DefineLookup},
        {"scan", ScanHelp(), DefineScan},
        {"rename", "name ROM files after their games in the list (a dry run unless --apply)",
         DefineRename},
        {"undo", "put back the names a rename --apply changed, as its journal records them",
         DefineUndo},
        {"audit", "which games of the list a collection has, lacks, or has more than once",
         DefineAudit},
    };
}

using ParsedCommands = std::vector<std::pair<CLI::App*, Runner>>;

// Runs the command the line names, or --version, and prints its report; the exit code.
int Dispatch(const ParsedCommands& commands, const std::string& plugin) {
    const PluginLoader loadPlugin = [&] { return ValueOrStop(LoadPlugin(PluginPath(plugin))); };
    for (const auto& [parsed, run] : commands) {
        if (!parsed->parsed()) continue;
        const Report report = run(loadPlugin);
        PrintReport(report);
        if (report.interrupted) EndAsInterrupted();
        return report.exitCode;
    }
    const Report report = RunVersion(QBT_VERSION, loadPlugin);
    PrintReport(report);
    return report.exitCode;
}

bool AnyParsed(const ParsedCommands& commands) {
    return std::any_of(commands.begin(), commands.end(),
                       [](const auto& command) { return command.first->parsed(); });
}

// What a word where the command belongs gets: the commands there are, not CLI11's "not
// expected".
int RefuseUnknownCommand(const std::string& word) {
    std::string known;
    for (const Command& command : Commands()) known += (known.empty() ? "" : ", ") + command.name;
    Say("unknown command '" + word + "'; the commands are " + known +
        " (qbt --help tells more)");
    return kExitWrongUsage;
}

}  // namespace

int main(int argc, char** argv) {
    // Values from a list in an encoding of its own are shown in the terminal's codeset, and a
    // release number's first character is read in this locale, as a host would have it.
    std::setlocale(LC_ALL, "");
    const StandardStreams streams;

    CLI::App app{
        "qbt: look ROMs up in a Quillbridge game list through the Quillbridge_to_Tamberlow "
        "plug-in, loaded and called exactly as a host does.",
        "qbt"};
    app.footer(kExitCodeHelp);  // before the commands are added, which take it over
    app.require_subcommand(0, 1);  // one, unless --version: checked below
    app.fallthrough();  // --plugin may come after the command too
    std::string plugin;
    app.add_option("--plugin", plugin, "the plug-in library to load")
        ->type_name("PATH")
        ->default_str(PathToTerminal(DefaultPluginPath()));
    bool version = false;
    app.add_flag("-V,--version", version, "print qbt's version and the plug-in's, and exit");
    ParsedCommands commands;
    for (const Command& command : Commands()) {
        CLI::App* parsed = app.add_subcommand(command.name, command.help);
        commands.emplace_back(parsed, command.define(*parsed));
    }

    try {
        app.parse(argc, argv);
        if (!version && !AnyParsed(commands)) throw CLI::RequiredError("A subcommand");
    } catch (const CLI::ExtrasError& error) {
        if (AnyParsed(commands) || app.remaining().empty()) return app.exit(error), kExitWrongUsage;
        return RefuseUnknownCommand(app.remaining().front());
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? kExitDone : kExitWrongUsage;
    }
    try {
        return Dispatch(commands, plugin);
    } catch (const ToolError& error) {
        Say(error.what());
        return error.exitCode;
    } catch (const std::exception& error) {
        Say(error.what());
        return kExitUnexpected;
    }
}
