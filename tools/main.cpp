// qbt: the plug-in's main job from a shell. It loads the plug-in the way a host does and asks it
// about ROM checksums given by hand (lookup) or read from ROM files and zip archives (scan).
#include <CLI/CLI.hpp>
#include <algorithm>
#include <clocale>
#include <iostream>
#include <string>
#include <vector>

#include "tools/plugin_loader.h"
#include "tools/rom_files.h"
#include "tools/rom_lookup.h"
#include "tools/tool_error.h"
#include "tools/tool_platform.h"

namespace {

constexpr const char* kExitCodeHelp =
    "Exit codes:\n"
    "  0  every key or ROM is in the list (info: the plug-in answered)\n"
    "  1  at least one key or ROM is not in the list\n"
    "  2  the command line is wrong\n"
    "  3  the game list, or a file or folder given to scan, cannot be read\n"
    "  4  the plug-in cannot be loaded or lacks one of its nine exports\n"
    "  5  any other failure\n";

// A scan of this many files or more shows its progress, when standard error is a terminal.
constexpr std::size_t kFilesWorthAProgressBar = 20;

struct Options {
    std::string plugin;
    std::string list = QBT_DEFAULT_LIST;
    int32_t keyType = 0;
    bool json = false;
    std::vector<std::string> keys;
    std::vector<std::string> paths;
};

void PrintJson(const nlohmann::ordered_json& json) {
    // File names need not be UTF-8; a byte that is not becomes U+FFFD rather than an error.
    std::cout << json.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
}

int RunInfo(const Plugin& plugin) {
    const FieldAnswer author = AskLikeHost(
        [&](char** out, int32_t outSize) { return plugin.GetPluginAuthor(out, outSize); });
    FieldAnswer description = AskLikeHost(
        [&](char** out, int32_t outSize) { return plugin.GetPluginInfo(out, outSize); });
    description.text = ShiftJisToTerminal(description.text);
    std::cout << "version      " << plugin.GetPluginVersion() << '\n'
              << "author       " << CellText(author) << '\n'
              << "description  " << CellText(description) << '\n';
    return kExitEveryRomFound;
}

int RunLookup(const Plugin& plugin, const Options& options) {
    const std::string listText = ReadGameList(options.list);
    std::vector<RomAnswer> answers;
    for (const std::string& key : options.keys) {
        answers.push_back(LookUpRom(plugin, listText, key, options.keyType));
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

struct Progress {
    std::size_t total;
    bool visible;
    std::size_t drawnPercent = 101;
};

void DrawProgress(Progress& progress, std::size_t done) {
    if (!progress.visible) return;
    const std::size_t percent = done * 100 / progress.total;
    if (percent == progress.drawnPercent) return;
    progress.drawnPercent = percent;
    constexpr std::size_t kBarWidth = 30;
    const std::size_t filled = percent * kBarWidth / 100;
    std::cerr << "\rscanning [" << std::string(filled, '#') << std::string(kBarWidth - filled, '.')
              << "] " << done << '/' << progress.total << std::flush;
}

void ClearProgress(const Progress& progress) {
    if (progress.visible) std::cerr << "\r\033[K" << std::flush;
}

int RunScan(const Plugin& plugin, const Options& options) {
    const std::string listText = ReadGameList(options.list);
    std::vector<std::string> problems;
    const std::vector<std::filesystem::path> files = CollectRomFiles(options.paths, problems);

    Progress progress{files.size(),
                      StandardErrorIsTerminal() && files.size() >= kFilesWorthAProgressBar};
    std::vector<RomAnswer> answers;
    for (std::size_t done = 0; done < files.size(); ++done) {
        DrawProgress(progress, done);
        for (const RomChecksum& rom : ChecksumsOf(files[done], problems)) {
            RomAnswer& answer =
                answers.emplace_back(LookUpRom(plugin, listText, CrcKey(rom.crc), 0));
            answer.file = rom.name;
        }
    }
    ClearProgress(progress);

    const auto found =
        static_cast<std::size_t>(std::count_if(answers.begin(), answers.end(), IsInList));
    const std::size_t notFound = answers.size() - found;
    if (options.json) {
        nlohmann::ordered_json json;
        json["roms"] = nlohmann::ordered_json::array();
        for (const RomAnswer& answer : answers) json["roms"].push_back(ToJson(answer));
        json["found"] = found;
        json["not_found"] = notFound;
        json["unreadable"] = problems.size();
        PrintJson(json);
    } else {
        PrintTable(std::cout, answers);
        std::cout << '\n' << found << " found, " << notFound << " not in the list";
        if (!problems.empty()) std::cout << ", " << problems.size() << " unreadable";
        std::cout << '\n';
    }
    for (const std::string& problem : problems) std::cerr << "qbt: " << problem << '\n';
    if (!problems.empty()) return kExitUnreadableFile;
    return notFound == 0 ? kExitEveryRomFound : kExitSomeRomNotFound;
}

}  // namespace

int main(int argc, char** argv) {
    // Values come back in the codeset of the locale: the terminal's, not the C locale's ASCII.
    std::setlocale(LC_ALL, "");

    Options options;
    options.plugin = DefaultPluginPath().string();
    CLI::App app{
        "qbt: look ROMs up in a Quillbridge game list through the Quillbridge_to_Tamberlow "
        "plug-in, loaded and called exactly as a host does.",
        "qbt"};
    app.require_subcommand(1);
    app.fallthrough();  // --plugin may come after the subcommand too
    app.add_option("--plugin", options.plugin, "the plug-in library to load")
        ->type_name("PATH")
        ->capture_default_str();

    CLI::App* info = app.add_subcommand("info", "the plug-in's version, author and description");

    CLI::App* lookup = app.add_subcommand(
        "lookup",
        "the six fields of each key: publisher, title, save type, media, region, release");
    CLI::App* scan = app.add_subcommand(
        "scan", "the same for ROM files, zip entries and folders, keyed by CRC-32");
    for (CLI::App* command : {lookup, scan}) {
        command->add_option("--list", options.list, "the game list to search")
            ->type_name("FILE")
            ->capture_default_str();
        command->add_flag("--json", options.json, "JSON on standard output, for scripts");
    }
    lookup
        ->add_option("--key-type", options.keyType,
                     "0 or 32 pad a key with zeros to 8 digits, 1 to 4, others leave it")
        ->type_name("N")
        ->capture_default_str();
    lookup->add_option("KEY", options.keys, "ROM checksums in hexadecimal")->required();
    scan->add_option("PATH", options.paths, "ROM files, zip archives and folders")->required();
    for (CLI::App* command : {&app, info, lookup, scan}) command->footer(kExitCodeHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error);
        return status == 0 ? 0 : kExitBadUsage;
    }

    try {
        const Plugin plugin = LoadPlugin(options.plugin);
        if (info->parsed()) return RunInfo(plugin);
        if (lookup->parsed()) return RunLookup(plugin, options);
        return RunScan(plugin, options);
    } catch (const ToolError& error) {
        std::cerr << "qbt: " << error.what() << '\n';
        return error.exitCode;
    } catch (const std::exception& error) {
        std::cerr << "qbt: " << error.what() << '\n';
        return kExitUnexpected;
    }
}
