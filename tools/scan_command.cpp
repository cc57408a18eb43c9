#include "tools/scan_command.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tools/file_reading.h"
#include "tools/progress_bar.h"
#include "tools/rom_files.h"
#include "tools/rom_lookup.h"
#include "tools/tool_error.h"
#include "tools/tool_platform.h"

namespace {

int RunScan(const Plugin& plugin, const Options& options) {
    const std::string listText = ReadGameList(GameListPath(options));
    std::vector<std::string> problems;
    const std::vector<std::filesystem::path> files = CollectRomFiles(options.paths, problems);

    std::vector<RomAnswer> answers;
    {
        ProgressBar progress("scanning", files.size());
        for (std::size_t done = 0; done < files.size(); ++done) {
            progress.Show(done);
            for (const RomChecksum& rom : ChecksumsOf(files[done], problems)) {
                RomAnswer& answer =
                    answers.emplace_back(LookUpRom(plugin, listText, CrcKey(rom.crc), 0));
                answer.file = rom.name;
            }
        }
    }

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

std::optional<Subcommand> AddScanCommand(CLI::App& app, Options& options) {
    CLI::App* scan = app.add_subcommand(
        "scan", "the same for ROM files, zip entries and folders, keyed by CRC-32");
    AddListOptions(*scan, options);
    scan->add_option("PATH", options.paths, "ROM files, zip archives and folders")->required();
    return Subcommand{scan, [&options](const Plugin& plugin) { return RunScan(plugin, options); }};
}
