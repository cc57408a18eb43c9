#include "tools/cli/lookup_command.h"

#include <algorithm>
#include <memory>

#include "tools/cli/rom_report.h"
#include "tools/system/text_encoding.h"

Report RunInfo(const Plugin& plugin) {
    const FieldAnswer author = AskIdentity(plugin.GetPluginAuthor);
    FieldAnswer description = AskIdentity(plugin.GetPluginInfo);
    description.text =
        ConvertText(description.text, TextEncoding::kShiftJis, TextEncoding::kTerminal);
    Report report;
    report.table = {{"version", std::to_string(plugin.GetPluginVersion())},
                    {"author", CellText(author)},
                    {"description", CellText(description)}};
    return report;
}

Report RunVersion(std::string_view toolVersion, const PluginLoader& loadPlugin) {
    Report report;
    report.linesAfter = {"qbt " + std::string(toolVersion)};
    try {
        report.linesAfter.push_back("plug-in " + std::to_string(loadPlugin().GetPluginVersion()));
    } catch (const ToolError& error) {
        report.messages.push_back(error.what());
        report.exitCode = error.exitCode;
    }
    return report;
}

Runner DefineInfo(CLI::App&) {
    return [](const PluginLoader& loadPlugin) { return RunInfo(loadPlugin()); };
}

Report RunLookup(const Plugin& plugin, const LookupOptions& options) {
    const std::unique_ptr<const GameList> opened = OpenGameList(options.list);
    const GameList& list = *opened;
    std::vector<RomAnswer> answers;
    for (const std::string& key : options.keys) {
        answers.push_back(LookUpRom(plugin, list, key, options.keyType));
    }
    Report report;
    if (options.json) {
        report.json = nlohmann::ordered_json::array();
        for (const RomAnswer& answer : answers) report.json->push_back(RomJson(answer));
    } else {
        report.table = RomTable(answers);
    }
    const bool allFound = std::all_of(answers.begin(), answers.end(), IsInList);
    report.exitCode = allFound ? kExitDone : kExitNotEverything;
    return report;
}

Runner DefineLookup(CLI::App& command) {
    auto options = std::make_shared<LookupOptions>();
    AddListOptions(command, options->list, options->json);
    AddKeyTypeOption(command, options->keyType);
    command.add_option("KEY", options->keys, "ROM checksums in hexadecimal")->required();
    return [options](const PluginLoader& loadPlugin) { return RunLookup(loadPlugin(), *options); };
}
