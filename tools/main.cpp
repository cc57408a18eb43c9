// qbt: the plug-in's main job from a shell. It loads the plug-in the way a host does and asks it
// about ROM checksums given by hand (lookup) or read from ROM files and zip archives (scan), and
// renames the files after the answers (rename, undo).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <clocale>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "tools/command_line.h"
#include "tools/file_reading.h"
#include "tools/plugin_loader.h"
#include "tools/rename_command.h"
#include "tools/rom_lookup.h"
#include "tools/scan_command.h"
#include "tools/tool_error.h"
#include "tools/tool_platform.h"

namespace {

constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  every key or ROM is in the list (info: the plug-in answered; rename: every ROM\n"
    "     renamed or already right; undo: every name is back)\n"
    "  1  at least one key or ROM is not in the list (rename: or was skipped or in\n"
    "     conflict; undo: an entry was skipped)\n"
    "  2  the command line is wrong\n"
    "  3  the game list, a file or folder given to scan or rename, or the journal cannot\n"
    "     be read\n"
    "  4  the plug-in cannot be loaded or lacks one of its nine exports\n"
    "  5  any other failure\n"
    "  6  rename, undo: the system refused a rename, or the journal could not be written;\n"
    "     no file was lost\n";

int RunInfo(const Plugin& plugin) {
    const FieldAnswer author = AskLikeHost(
        [&](char** out, int32_t outSize) { return plugin.GetPluginAuthor(out, outSize); });
    FieldAnswer description = AskLikeHost(
        [&](char** out, int32_t outSize) { return plugin.GetPluginInfo(out, outSize); });
    description.text =
        ConvertText(description.text, TextEncoding::kShiftJis, TextEncoding::kTerminal);
    std::cout << "version      " << plugin.GetPluginVersion() << '\n'
              << "author       " << CellText(author) << '\n'
              << "description  " << CellText(description) << '\n';
    return kExitEveryRomFound;
}

int RunLookup(const Plugin& plugin, const Options& options) {
    const std::string listText = ReadGameList(GameListPath(options));
    const ValueEncoding encoding = ValueEncodingOf(listText, options.listEncoding);
    std::vector<RomAnswer> answers;
    for (const std::string& key : options.keys) {
        answers.push_back(LookUpRom(plugin, listText, key, options.keyType, encoding));
    }
    if (options.json) {
        nlohmann::ordered_json json = nlohmann::ordered_json::array();
        for (const RomAnswer& answer : answers) json.push_back(ToJson(answer));
        PrintJson(json);
    } else {
        PrintTable(std::cout, answers);
    }
    const bool allFound = std::all_of(answers.begin(), answers.end(), IsInList);
    return allFound ? kExitEveryRomFound : kExitSomeRomNotFound;
}

}  // namespace

int main(int argc, char** argv) {
    // Values come back in the codeset of the locale: the terminal's, not the C locale's ASCII.
    std::setlocale(LC_ALL, "");

    Options options;
    CLI::App app{
        "qbt: look ROMs up in a Quillbridge game list through the Quillbridge_to_Tamberlow "
        "plug-in, loaded and called exactly as a host does.",
        "qbt"};
    app.footer(kExitCodeHelp);  // before the subcommands are added, which take it over
    app.require_subcommand(1);
    app.fallthrough();  // --plugin may come after the subcommand too
    app.add_option("--plugin", options.plugin, "the plug-in library to load")
        ->type_name("PATH")
        ->default_str(PathToTerminal(DefaultPluginPath()));

    CLI::App* info = app.add_subcommand("info", "the plug-in's version, author and description");

    CLI::App* lookup = app.add_subcommand(
        "lookup",
        "the six fields of each key: publisher, title, save type, media, region, release");
    AddListOptions(*lookup, options);
    AddKeyTypeOption(*lookup, options);
    lookup->add_option("KEY", options.keys, "ROM checksums in hexadecimal")->required();

    std::vector<Subcommand> subcommands{
        {info, [](const Plugin& plugin) { return RunInfo(plugin); }},
        {lookup, [&options](const Plugin& plugin) { return RunLookup(plugin, options); }}};
    if (std::optional<Subcommand> scan = AddScanCommand(app, options)) {
        subcommands.push_back(*scan);
    }
    for (const Subcommand& renaming : AddRenameCommands(app, options)) {
        subcommands.push_back(renaming);
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : kExitBadUsage;
    }

    try {
        for (const Subcommand& subcommand : subcommands) {
            if (!subcommand.command->parsed()) continue;
            return subcommand.run(subcommand.needsPlugin ? LoadPlugin(PluginPath(options))
                                                         : Plugin{});
        }
        return kExitBadUsage;  // not reached: exactly one subcommand is required
    } catch (const ToolError& error) {
        std::cerr << "qbt: " << error.what() << '\n';
        return error.exitCode;
    } catch (const std::exception& error) {
        std::cerr << "qbt: " << error.what() << '\n';
        return kExitUnexpected;
    }
}
